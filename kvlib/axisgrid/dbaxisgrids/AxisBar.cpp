#include "kvlib/axisgrid/dbaxisgrids/AxisBar.h"

#include "framework/DB.h"
#include "framework/FMTBcd.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "kvlib/axisgrid/dbaxisgrids/AxisGrid.h"
#include "kvlib/foundation/DBUtilsKv.h"
#include "kvlib/foundation/DynVarsKv.h"
#include "kvlib/grids/gridskv/InplaceEdit.h"
#include "kvlib/foundation/ToolCtrlsKv.h"

namespace axisbarkv {

bool IsMemoType(TFieldType T) { return T == ftMemo || T == ftOraClob || T == ftWideMemo; }

// The record that answers the link flags of every bar: made from the first grid that asks,
// freed with the program's statics.
std::unique_ptr<TAxisColCellParamsKv>& LinkFlagsParams() {
  static std::unique_ptr<TAxisColCellParamsKv> P;
  return P;
}

// Suspends a font's change event for a copy that must not count as the user's.
struct TFontChangeMute {
  TFont* Font;
  TNotifyEvent Saved;
  explicit TFontChangeMute(TFont* F) : Font(F), Saved(F->GetOnChange()) { F->SetOnChange(TNotifyEvent()); }
  ~TFontChangeMute() { Font->SetOnChange(Saved); }
};

}  // namespace axisbarkv

// ---- Creation and destruction ----------------------------------------------------------------

namespace axisbarkv {

TCustomDBAxisGridKv* GridOfCollection(TCollection* Collection) {
  auto* Bars = dynamic_cast<TGridAxisBarsKv*>(Collection);
  return Bars ? Bars->GetGrid() : nullptr;
}

// The grid of a collection that is not inside an update, which lays out once the new bar is in.
TCustomDBAxisGridKv* GridToLayOut(TCollection* Collection) {
  TCustomDBAxisGridKv* G = GridOfCollection(Collection);
  return G && Collection->GetUpdateCount() == 0 ? G : nullptr;
}

}  // namespace axisbarkv

TAxisBarKv::TAxisBarKv(TCollection* Collection) : TCollectionItem(nullptr) {
  using namespace axisbarkv;
  FGrid = GridOfCollection(Collection);
  if (FGrid) FCheckModifyColCellParamsKv.reset(FGrid->CreateColCellParams());
  TAxisGridLayoutBlockKv Layout(GridToLayOut(Collection));
  FDynProps = std::make_unique<TDynVarsKv>(this);
  FFont = std::make_unique<TFont>();
  FFont->Assign(DefaultFont());
  FFont->SetOnChange({this, &TAxisBarKv::FontChanged});
  FDropDownSpecRow = std::make_unique<TAxisBarSpecRowKv>(this);
  FDropDownSpecRow->SetOnChanged({this, &TAxisBarKv::DropDownSpecRowChanged});
  FDropDownBox = std::make_unique<TColumnDropDownBoxKv>(this);
  FMRUList = std::make_unique<TMRUListKv>(this);
  FImageChangeLink = std::make_unique<TChangeLink>();
  FImageChangeLink->SetOnChange({this, &TAxisBarKv::ImageListChange});
  // Joined last, so that the grid's layout sees a whole bar.
  SetCollection(Collection);
}

TAxisBarKv::~TAxisBarKv() {
  SetCollection(nullptr);
  if (FImageList) FImageList->UnRegisterChanges(FImageChangeLink.get());
}

TAxisBarEditButtonKv* TAxisBarKv::CreateEditButton() { return new TAxisBarEditButtonKv(nullptr); }

TAxisBarEditButtonsKv* TAxisBarKv::CreateEditButtons() {
  auto* B = new TAxisBarEditButtonsKv(this, TAxisBarVisibleEditButtonKv::StaticClass());
  B->SetOnChanged([this](TObject*) { Changed(false); });
  return B;
}

TCellButtonsKv* TAxisBarKv::CreateCellButtons() {
  auto* B = new TCellButtonsKv(this, TCellButtonKv::StaticClass());
  B->SetOnChanged([this](TObject*) { Changed(false); });
  return B;
}

TAxisBarMainEditButtonKv* TAxisBarKv::CreateMainEditButton() {
  auto* B = new TAxisBarMainEditButtonKv(this);
  B->SetOnChanged([this](TObject*) { Changed(false); });
  return B;
}

TDBLookupDataKv* TAxisBarKv::CreateLookupData() { return new TDBLookupDataKv(this); }

TAxisBarTitleKv* TAxisBarKv::GetTitle() {
  if (!FTitle) FTitle.reset(CreateTitle());
  return FTitle.get();
}

TDBLookupDataKv* TAxisBarKv::GetLookupParams() {
  if (!FLookupParams) FLookupParams.reset(CreateLookupData());
  return FLookupParams.get();
}

TAxisBarMainEditButtonKv* TAxisBarKv::GetEditButton() {
  if (!FEditButton) FEditButton.reset(CreateMainEditButton());
  return FEditButton.get();
}

TAxisBarEditButtonsKv* TAxisBarKv::GetEditButtons() {
  if (!FEditButtons) FEditButtons.reset(CreateEditButtons());
  return FEditButtons.get();
}

TCellButtonsKv* TAxisBarKv::GetCellButtons() {
  if (!FCellButtons) FCellButtons.reset(CreateCellButtons());
  return FCellButtons.get();
}
TAxisBarTitleKv* TAxisBarKv::CreateTitle() { return new TAxisBarTitleKv(this); }

Integer TAxisBarKv::GetDefaultRowHeight() { return FGrid ? FGrid->GetDefaultRowHeight() : 0; }

TEditButtonDrawBackTimeKv TAxisBarKv::GetEditButtonDrawBackTime() {
  return FGrid ? FGrid->GetAxisBarDefValues()->GetEditButtonDrawBackTime() : edbtWhenHotKv;
}

// ---- Collection item -----------------------------------------------------------------------------

void TAxisBarKv::SetCollection(TCollection* Value) {
  TCollectionItem::SetCollection(Value);
  FGrid = axisbarkv::GridOfCollection(Value);
}

void TAxisBarKv::GridAttached(TCustomDBAxisGridKv* Grid) {
  FGrid = Grid;
  if (Grid && !FCheckModifyColCellParamsKv) FCheckModifyColCellParamsKv.reset(Grid->CreateColCellParams());
}

String TAxisBarKv::GetDisplayName() const {
  if (!FFieldName.empty()) return FFieldName;
  return TCollectionItem::GetDisplayName();
}

String TAxisBarKv::GetName() const { return L"Column_" + IntToStr(GetIndex()) + L"_" + FFieldName; }

void TAxisBarKv::SetIndex(Integer Value) {
  auto* Bars = dynamic_cast<TGridAxisBarsKv*>(GetCollection());
  if (Bars && FGrid && Bars->GetState() == csDefault && FGrid->GetDataLink()->GetActive()) {
    TField* Target = FGrid->GetDataLink()->GetFields(Value);
    if (Target && GetField() && GetField() != Target) GetField()->SetIndex(Target->GetIndex());
  }
  Integer Old = GetIndex();
  if (Bars && Old >= 0 && Old != Value && Value >= 0 && Value < Bars->GetCount()) Bars->AxisBarChanged(this, 2);
  TCollectionItem::SetIndex(Value);
}

void TAxisBarKv::Changed(bool AllItems) { TCollectionItem::Changed(AllItems); }

// ---- Field binding -------------------------------------------------------------------------------

TField* TAxisBarKv::GetField() {
  if (FField) return FField;
  if (FFieldName.empty() || !FGrid) return FField;
  TDataSet* DataSet = FGrid->GetDataLink()->GetDataSet();
  if (!DataSet) return FField;
  if (!DataSet->GetActive() && DataSet->GetDefaultFields()) return FField;
  TField* Found = DataSet->FindField(FFieldName);
  if (Found != FField) {
    FField = Found;
    if (Found) {
      FFieldName = Found->GetFieldName();
      FGrid->FreeNotification(Found);
      GetLookupParams()->UpdateLookupState();
    }
  }
  return FField;
}

void TAxisBarKv::SetField(TField* Value) {
  if (Value == FField) return;
  FField = Value;
  if (Value) {
    FFieldName = Value->GetFieldName();
    if (FGrid) FGrid->FreeNotification(Value);
    GetLookupParams()->UpdateLookupState();
  } else if (FFieldName.empty()) {
    GetLookupParams()->UpdateLookupState();
  }
  if (!Value && IsDefaultBar()) {
    FFieldName.clear();
    RestoreDefaults();
  }
  Changed(false);
}

void TAxisBarKv::BindField() {
  TField* Found = nullptr;
  if (FGrid && !FFieldName.empty() && !FGrid->GetLoading()) {
    if (TDataSet* DataSet = FGrid->GetDataLink()->GetDataSet()) Found = DataSet->FindField(FFieldName);
  }
  SetField(Found);
}

void TAxisBarKv::SetFieldName(const String& Value) {
  if (FFieldName == Value) return;
  FFieldName = Value;
  BindField();
}

// ---- Assigned properties --------------------------------------------------------------------------

template <class T>
void TAxisBarKv::SetAssigned(TAxisBarKvValue Member, T& Field, const T& Value) {
  if (FAssignedValues.Contains(Member) && Field == Value) return;
  Field = Value;
  FAssignedValues << Member;
  Changed(false);
}

TColor TAxisBarKv::DefaultColor() { return FGrid ? FGrid->GetColor() : clWindow; }
TColor TAxisBarKv::GetColor() { return FAssignedValues.Contains(cvColor) ? FColor : DefaultColor(); }
void TAxisBarKv::SetColor(TColor Value) { SetAssigned(cvColor, FColor, Value); }

TFont* TAxisBarKv::DefaultFont() { return FGrid ? FGrid->GetFont() : FFont.get(); }

void TAxisBarKv::RefreshDefaultFont() {
  if (FAssignedValues.Contains(cvFont)) return;
  TFont* Def = DefaultFont();
  if (Def == FFont.get()) return;
  axisbarkv::TFontChangeMute Mute(FFont.get());
  FFont->Assign(Def);
}

TFont* TAxisBarKv::GetFont() {
  RefreshDefaultFont();
  return FFont.get();
}

void TAxisBarKv::SetFont(TFont* Value) {
  FFont->Assign(Value);
  FAssignedValues << cvFont;
  Changed(false);
}

void TAxisBarKv::FontChanged(TObject*) {
  FAssignedValues << cvFont;
  Changed(false);
}

TAlignment TAxisBarKv::DefaultAlignment() {
  TField* F = GetField();
  return F ? F->GetAlignment() : taLeftJustify;
}

TAlignment TAxisBarKv::GetAlignment() {
  return FAssignedValues.Contains(cvAlignment) ? FAlignment : DefaultAlignment();
}

void TAxisBarKv::SetAlignment(TAlignment Value) {
  if (IsDefaultBar() && FGrid && FGrid->GetDataLink()->GetActive() && GetField()) {
    GetField()->SetAlignment(Value);
    return;
  }
  SetAssigned(cvAlignment, FAlignment, Value);
}

void TAxisBarKv::SetAlignmentStored(bool Value) {
  if (Value && !FAssignedValues.Contains(cvAlignment)) {
    FAlignment = DefaultAlignment();
    FAssignedValues << cvAlignment;
    Changed(false);
  } else if (!Value && FAssignedValues.Contains(cvAlignment)) {
    FAssignedValues >> cvAlignment;
    Changed(false);
  }
}

bool TAxisBarKv::DefaultReadOnly() {
  TField* F = GetField();
  return (FGrid && FGrid->GetReadOnly()) || (F && F->GetReadOnly());
}

bool TAxisBarKv::GetReadOnly() { return FAssignedValues.Contains(cvReadOnly) ? FReadonly : DefaultReadOnly(); }

void TAxisBarKv::SetReadOnly(bool Value) {
  if (IsDefaultBar() && FGrid && FGrid->GetDataLink()->GetActive() && GetField()) {
    GetField()->SetReadOnly(Value);
    return;
  }
  SetAssigned(cvReadOnly, FReadonly, Value);
}

TImeMode TAxisBarKv::DefaultImeMode() { return FImeMode; }
String TAxisBarKv::DefaultImeName() { return FImeName; }
TImeMode TAxisBarKv::GetImeMode() { return FAssignedValues.Contains(cvImeMode) ? FImeMode : DefaultImeMode(); }
String TAxisBarKv::GetImeName() { return FAssignedValues.Contains(cvImeName) ? FImeName : DefaultImeName(); }

void TAxisBarKv::SetImeMode(TImeMode Value) {
  if (FAssignedValues.Contains(cvImeMode) || Value != DefaultImeMode()) {
    FImeMode = Value;
    FAssignedValues << cvImeMode;
  }
  Changed(false);
}

void TAxisBarKv::SetImeName(const String& Value) {
  if (FAssignedValues.Contains(cvImeName) || Value != DefaultImeName()) {
    FImeName = Value;
    FAssignedValues << cvImeName;
  }
  Changed(false);
}

bool TAxisBarKv::GetWordWrap() {
  if (FAssignedValues.Contains(cvWordWrap)) return FWordWrap;
  TField* F = GetField();
  if (!FGrid || !F) return false;
  switch (F->GetDataType()) {
    case ftString: case ftMemo: case ftFmtMemo: case ftWideString: case ftOraClob: case ftWideMemo:
      return true;
    default:
      return false;
  }
}

void TAxisBarKv::SetWordWrap(bool Value) {
  bool Old = GetWordWrap();
  FWordWrap = Value;
  FAssignedValues << cvWordWrap;
  if (Old != Value) Changed(false);
}

String TAxisBarKv::GetLookupDisplayFields() {
  return FAssignedValues.Contains(cvLookupDisplayFields) ? FLookupDisplayFields
                                                         : GetLookupParams()->GetLookupDisplayFieldName();
}

void TAxisBarKv::SetLookupDisplayFields(const String& Value) {
  if (FAssignedValues.Contains(cvLookupDisplayFields) || Value != GetLookupParams()->GetLookupDisplayFieldName()) {
    FLookupDisplayFields = Value;
    FAssignedValues << cvLookupDisplayFields;
  }
  FDropDownBox->SetListField(Value);
  Changed(false);
}

bool TAxisBarKv::GetCheckboxes() {
  if (FAssignedValues.Contains(cvCheckboxes)) return FCheckboxes;
  TField* F = GetField();
  return F && F->GetDataType() == ftBoolean;
}
void TAxisBarKv::SetCheckboxes(bool Value) { SetAssigned(cvCheckboxes, FCheckboxes, Value); }

#define AXISBARKV_DEFVALUE_PROP(Name, Member, Fallback)                                                   \
  bool TAxisBarKv::Get##Name() {                                                                          \
    if (FAssignedValues.Contains(Member)) return F##Name;                                                 \
    return FGrid ? FGrid->GetAxisBarDefValues()->Get##Name() : Fallback;                                  \
  }
AXISBARKV_DEFVALUE_PROP(AlwaysShowEditButton, cvAlwaysShowEditButton, false)
AXISBARKV_DEFVALUE_PROP(EndEllipsis, cvEndEllipsis, false)
AXISBARKV_DEFVALUE_PROP(AutoDropDown, cvAutoDropDown, false)
AXISBARKV_DEFVALUE_PROP(DblClickNextVal, cvDblClickNextVal, false)
AXISBARKV_DEFVALUE_PROP(ToolTips, cvToolTips, false)
AXISBARKV_DEFVALUE_PROP(DropDownSizing, cvDropDownSizing, false)
AXISBARKV_DEFVALUE_PROP(DropDownShowTitles, cvDropDownShowTitles, false)
AXISBARKV_DEFVALUE_PROP(HighlightRequired, cvHighlightRequired, false)
#undef AXISBARKV_DEFVALUE_PROP

void TAxisBarKv::SetAlwaysShowEditButton(bool Value) {
  SetAssigned(cvAlwaysShowEditButton, FAlwaysShowEditButton, Value);
}
void TAxisBarKv::SetEndEllipsis(bool Value) { SetAssigned(cvEndEllipsis, FEndEllipsis, Value); }
void TAxisBarKv::SetHighlightRequired(bool Value) { SetAssigned(cvHighlightRequired, FHighlightRequired, Value); }

namespace axisbarkv {
// Stores without a change notification.
void SetQuiet(TAxisBarKvValues& Assigned, TAxisBarKvValue Member, bool& Field, bool Value) {
  if (!Assigned.Contains(Member) || Field != Value) {
    Field = Value;
    Assigned << Member;
  }
}
}  // namespace axisbarkv

void TAxisBarKv::SetAutoDropDown(bool Value) { axisbarkv::SetQuiet(FAssignedValues, cvAutoDropDown, FAutoDropDown, Value); }
void TAxisBarKv::SetDblClickNextVal(bool Value) {
  axisbarkv::SetQuiet(FAssignedValues, cvDblClickNextVal, FDblClickNextVal, Value);
}
void TAxisBarKv::SetToolTips(bool Value) { axisbarkv::SetQuiet(FAssignedValues, cvToolTips, FToolTips, Value); }
void TAxisBarKv::SetDropDownSizing(bool Value) {
  axisbarkv::SetQuiet(FAssignedValues, cvDropDownSizing, FDropDownSizing, Value);
}
void TAxisBarKv::SetDropDownShowTitles(bool Value) {
  axisbarkv::SetQuiet(FAssignedValues, cvDropDownShowTitles, FDropDownShowTitles, Value);
}

TTextLayout TAxisBarKv::GetLayout() {
  if (FAssignedValues.Contains(cvLayout)) return FLayout;
  return FGrid ? FGrid->GetAxisBarDefValues()->GetLayout() : tlTop;
}
void TAxisBarKv::SetLayout(TTextLayout Value) { SetAssigned(cvLayout, FLayout, Value); }

TBiDiMode TAxisBarKv::GetBiDiMode() {
  if (FAssignedValues.Contains(cvBiDiMode)) return FBiDiMode;
  return FGrid ? FGrid->GetBiDiMode() : FBiDiMode;
}
void TAxisBarKv::SetBiDiMode(TBiDiMode Value) { SetAssigned(cvBiDiMode, FBiDiMode, Value); }

bool TAxisBarKv::GetTextEditing() {
  if (FAssignedValues.Contains(cvTextEditing)) return FTextEditing;
  switch (GetBarType()) {
    case ctKeyImageList: case ctCheckboxes: case ctGraphicData: case ctInContentCellButton:
      return false;
    default:
      return true;
  }
}

void TAxisBarKv::SetTextEditing(bool Value) {
  if (FAssignedValues.Contains(cvTextEditing) || Value != GetTextEditing() || (FGrid && FGrid->GetLoading())) {
    FTextEditing = Value;
    FAssignedValues << cvTextEditing;
  }
  Changed(false);
}

bool TAxisBarKv::GetLimitTextToListValues() {
  if (FLimitTextToListValuesStored) return FLimitTextToListValues;
  TAxisBarKvType T = GetBarType();
  return (T == ctLookupField || T == ctKeyPickList) && !FOnNotInList;
}

void TAxisBarKv::SetLimitTextToListValues(bool Value) {
  if (!FLimitTextToListValuesStored || FLimitTextToListValues != Value) {
    FLimitTextToListValuesStored = true;
    FLimitTextToListValues = Value;
  }
}

void TAxisBarKv::SetLimitTextToListValuesStored(bool Value) {
  if (Value) {
    FLimitTextToListValues = GetLimitTextToListValues();
    FLimitTextToListValuesStored = true;
  } else {
    FLimitTextToListValuesStored = false;
    FLimitTextToListValues = GetLimitTextToListValues();
  }
}

// ---- Plain properties -------------------------------------------------------------------------------

void TAxisBarKv::InvalidateGrid() {
  if (FGrid) FGrid->Invalidate();
}

void TAxisBarKv::SetDisplayFormat(const String& Value) {
  if (FDisplayFormat == Value) return;
  FDisplayFormat = Value;
  Changed(false);
}

void TAxisBarKv::SetEditMask(const String& Value) {
  if (FEditMask == Value) return;
  FEditMask = Value;
  Changed(false);
}

void TAxisBarKv::SetDropDownWidth(Integer Value) {
  if (FDropDownWidth == Value) return;
  FDropDownWidth = Value;
  Changed(false);
}

void TAxisBarKv::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  Changed(true);
}

void TAxisBarKv::SetShowImageAndText(bool Value) {
  if (FShowImageAndText == Value) return;
  FShowImageAndText = Value;
  Changed(false);
}

void TAxisBarKv::SetNotInKeyListIndex(Integer Value) {
  if (FNotInKeyListIndex == Value) return;
  FNotInKeyListIndex = Value;
  InvalidateGrid();
}

TStrings* TAxisBarKv::GetKeyList() {
  if (!FKeyList) {
    FKeyList = std::make_unique<TStringList>();
    FKeyList->SetCaseSensitive(true);
  }
  return FKeyList.get();
}

void TAxisBarKv::SetKeyList(TStrings* Value) {
  if (!Value)
    FKeyList.reset();
  else
    GetKeyList()->Assign(Value);
  InvalidateGrid();
}

TStrings* TAxisBarKv::GetPickList() {
  if (!FPickList) FPickList = std::make_unique<TStringList>();
  return FPickList.get();
}

void TAxisBarKv::SetPickList(TStrings* Value) {
  if (!Value)
    FPickList.reset();
  else
    GetPickList()->Assign(Value);
}

TCustomImageList* TAxisBarKv::GetImageList() const { return FImageList; }

void TAxisBarKv::SetImageList(TCustomImageList* Value) {
  if (FImageList == Value) return;
  if (FImageList) FImageList->UnRegisterChanges(FImageChangeLink.get());
  FImageList = Value;
  if (Value) {
    Value->RegisterChanges(FImageChangeLink.get());
    if (FGrid) FGrid->FreeNotification(Value);
  }
  InvalidateGrid();
}

void TAxisBarKv::ImageListChange(TObject*) { InvalidateGrid(); }

TPopupMenu* TAxisBarKv::GetPopupMenu() const { return FPopupMenu; }

void TAxisBarKv::SetPopupMenu(TPopupMenu* Value) {
  FPopupMenu = Value;
  if (Value && FGrid) FGrid->FreeNotification(Value);
}

TCellButtonStyleKv TAxisBarKv::GetButtonStyle() { return GetEditButton()->GetButtonStyle(); }
void TAxisBarKv::SetButtonStyle(TCellButtonStyleKv Value) { GetEditButton()->SetButtonStyle(Value); }

void TAxisBarKv::DropDownSpecRowChanged(TObject*) { Changed(false); }

void TAxisBarKv::DoCellDataLinkClick() {
  if (FOnCellDataLinkClick) FOnCellDataLinkClick(FGrid, this);
}

void TAxisBarKv::NotifyLookupChanged() {
  if (FGrid) FGrid->FillLookupValues(this);
}

void TAxisBarKv::SetTextArea(const TRect&) {
  throw Exception(L" TAxisBarKv.SetTextArea must be realized in the inherited class.");
}

void TAxisBarKv::GetValueAsVariant(Variant& Value) {
  TField* F = GetField();
  Value = F ? F->GetAsVariant() : Variant(Null);
}

void TAxisBarKv::SetValueFromVariantText(const Variant& Value) { SetValueAsText(VarToStr(Value)); }

void TAxisBarKv::RestoreDefaults() {
  bool FontWasAssigned = FAssignedValues.Contains(cvFont);
  GetTitle()->RestoreDefaults();
  FAssignedValues = TAxisBarKvValues();
  RefreshDefaultFont();
  FPickList.reset();
  GetEditButton()->SetButtonStyle(cbsAuto);
  Changed(FontWasAssigned);
  FKeyList.reset();
}

// ---- The value shown ----------------------------------------------------------------------------

bool TAxisBarKv::GridDataSetActive() { return FGrid && FGrid->DataSetActive(); }
bool TAxisBarKv::GridLinkActive() { return FGrid && FGrid->GetDataLink()->GetActive(); }

TAxisBarKvType TAxisBarKv::GetBarType() {
  if (GetCellButtons()->InContentButtonCount() > 0) return ctInContentCellButton;
  if (GetCheckboxes()) return ctCheckboxes;
  if (GetLookupParams()->LookupIsSetUp()) return ctLookupField;
  if (FDropDownBox->GetListSource()) return ctDataList;
  TField* F = GetField();
  if (F && F->IsBlob() && F->GetDataType() == ftGraphic && FGrid && FGrid->GetDrawGraphicData()) return ctGraphicData;
  if (HasPickList() && !HasKeyList()) return ctPickList;
  if (FImageList && !FShowImageAndText) return ctKeyImageList;
  if (HasKeyList() && HasPickList()) return ctKeyPickList;
  return ctCommon;
}

String FormatFieldValue(TField* Field, const String& Format) {
  if (Format.empty()) return Field->GetDisplayText();
  if (Field->IsNull()) return String();
  TFieldType T = Field->GetDataType();
  if (T == ftFMTBcd) return FormatBcd(Format, Field->GetAsBCD());
  if (IsNumericFieldType(T)) return FormatFloat(Format, Field->GetAsFloat());
  if (T == ftDate || T == ftTime || T == ftDateTime || T == ftTimeStamp) {
    String S;
    DateTimeToString(S, Format, Field->GetAsDateTime());
    return S;
  }
  return String();
}

String TAxisBarKv::DisplayText() {
  if (!GridDataSetActive()) return String();
  TDBLookupDataKv* Lookup = GetLookupParams();
  if (Lookup->GetLookupActive() && GridLinkActive()) {
    if (FDropDownSpecRow->GetVisible()) {
      Variant Key;
      Lookup->GetKeyValue(Key);
      if (DBVarValuesEqual(Key, FDropDownSpecRow->GetValue()) ||
          (FDropDownSpecRow->GetShowIfNotInKeyList() && Lookup->GetKeyFieldsIsNull()))
        return FDropDownSpecRow->GetCellText(0);
    }
    Variant Value;
    Lookup->GetLookupValue(Value);
    return FieldValueToDisplayText(Value, Lookup->GetLookupDisplayField(), FDisplayFormat);
  }
  TField* F = GetField();
  if (!F || GetBarType() == ctKeyImageList) return String();
  if (HasKeyList()) {
    Integer I = FKeyList->IndexOf(F->GetText());
    Integer PickCount = FPickList ? FPickList->GetCount() : 0;
    if (I >= 0 && I < PickCount) return FPickList->GetStrings(I);
    if (FNotInKeyListIndex >= 0 && FNotInKeyListIndex < PickCount) return FPickList->GetStrings(FNotInKeyListIndex);
    return String();
  }
  if (FGrid->GetDrawMemoText() && axisbarkv::IsMemoType(F->GetDataType())) return F->GetAsString();
  return FormatFieldValue(F, FDisplayFormat);
}

String TAxisBarKv::EditText() {
  if (GetBarType() == ctKeyImageList) return String();
  if (HasKeyList()) return DisplayText();
  TField* F = GetField();
  if (!F) return String();
  if (FGrid && FGrid->GetDrawMemoText() && axisbarkv::IsMemoType(F->GetDataType())) return F->GetAsString();
  if (GetBarType() == ctLookupField) return DisplayText();
  if (!F->GetEditMask().empty()) return FormatMaskTextKv(F->GetEditMask(), F->GetText());
  return F->GetText();
}

Variant TAxisBarKv::EditValue() {
  Variant V = Null;
  if (HasKeyList()) return DisplayText();
  TField* F = GetField();
  if (!F) return V;
  if (FGrid && FGrid->GetDrawMemoText() && axisbarkv::IsMemoType(F->GetDataType())) return F->GetAsString();
  if (GetBarType() == ctLookupField) return DisplayText();
  return F->GetAsVariant();
}

Integer TAxisBarKv::GetImageIndex() {
  TField* F = GetField();
  if (!F || !GridLinkActive()) return -1;
  Integer R;
  if (HasKeyList())
    R = FKeyList->IndexOf(F->GetText());
  else if (HasPickList())
    R = FPickList->IndexOf(F->GetText());
  else if (F->IsNull() || !IsNumericFieldType(F->GetDataType()))
    R = -1;
  else {
    try {
      R = F->GetAsInteger();
    } catch (const Exception&) {
      R = -1;
    }
  }
  return R == -1 ? FNotInKeyListIndex : R;
}

Integer TAxisBarKv::GetCellHeight(Integer Row) { return FGrid ? FGrid->GetRowHeights(Row) : 0; }

bool TAxisBarKv::CurLineWordWrap(Integer RowHeight) {
  if (!GetWordWrap() || !FGrid) return false;
  TCanvas* Canvas = FGrid->GetCanvas();
  TFont* Saved = new TFont();
  std::unique_ptr<TFont> Guard(Saved);
  Saved->Assign(Canvas->GetFont());
  Canvas->GetFont()->Assign(GetFont());
  TEXTMETRICW TM{};
  GetTextMetricsW(Canvas->GetHandle(), &TM);
  Canvas->GetFont()->Assign(Saved);
  return FGrid->GetInterlinear() + TM.tmHeight < RowHeight;
}

// ---- Bidirectional rules ------------------------------------------------------------------------

bool TAxisBarKv::UseRightToLeftReading() { return SysLocale.MiddleEast && GetBiDiMode() != bdLeftToRight; }

bool TAxisBarKv::UseRightToLeftAlignment() {
  if (!SysLocale.MiddleEast || GetBiDiMode() != bdRightToLeft) return false;
  TField* F = GetField();
  return !F || OkToChangeFieldAlignment(F, GetAlignment());
}

bool TAxisBarKv::UseRightToLeftScrollBar() {
  TBiDiMode M = GetBiDiMode();
  return SysLocale.MiddleEast && (M == bdRightToLeft || M == bdRightToLeftNoAlign);
}

Integer TAxisBarKv::DrawTextBiDiModeFlagsReadingOnly() { return UseRightToLeftReading() ? DT_RTLREADING : 0; }

// ---- Cell parameters ------------------------------------------------------------------------------

void TAxisBarKv::FillColCellParams(TAxisColCellParamsKv* Params) {
  if (FGrid) {
    TGridCoord Cell = FGrid->GetAxisBarCell(this);
    Params->SetCol(Cell.X);
    Params->SetRow(Cell.Y);
  }
  Params->SetState(TGridDrawState());
  if (FGrid) {
    FGrid->GetDummiFont()->Assign(GetFont());
    Params->SetFont(FGrid->GetDummiFont());
  }
  Params->SetBackground(GetColor());
  Params->SetAlignment(GetAlignment());
  Params->SetImageIndex(GetImageIndex());
  Params->SetText(DisplayText());
  Params->SetCheckboxState(cbUnchecked);
  Params->SetReadOnly(GetReadOnly());
  Params->SetTextEditing(GetTextEditing());
  Params->SetBlankCell(false);
  Params->SetTextIsLink(FCellDataIsLink);
  Params->SetImageIsLink(FCellDataIsLink);
  Params->SetAxisBarIndex(GetIndex());
}

void TAxisBarKv::GetColCellParams(bool, TAxisColCellParamsKv* Params) {
  if (!FGrid || !Params->GetFont()) return;
  TGridCoord Hot = FGrid->GetHotTrackCell();
  if (Hot.X == Params->GetCol() && Hot.Y == Params->GetRow() && FGrid->IsMouseOverCellText()) {
    TFontStyles S = Params->GetFont()->GetStyle();
    S << fsUnderline;
    Params->GetFont()->SetStyle(S);
  }
}

TAxisColCellParamsKv* TAxisBarKv::LinkFlagsParams() {
  auto& P = axisbarkv::LinkFlagsParams();
  if (!P) P.reset(FGrid->CreateColCellParams());
  FillColCellParams(P.get());
  P->SetFont(FGrid->GetCanvas()->GetFont());
  GetColCellParams(false, P.get());
  return P.get();
}

bool TAxisBarKv::GetCellDataIsLink() { return FGrid ? LinkFlagsParams()->GetTextIsLink() : FCellDataIsLink; }
bool TAxisBarKv::GetCellImageIsLink() { return FGrid ? LinkFlagsParams()->GetImageIsLink() : FCellDataIsLink; }

// ---- Modify tests ---------------------------------------------------------------------------------

bool TAxisBarKv::CanModify(bool TryEdit) {
  bool Verdict = true;
  if (FGrid) {
    TAxisGridDataLinkKv* Link = FGrid->GetDataLink();
    if (FGrid->GetReadOnly() || !Link->GetActive() || Link->GetReadOnly()) Verdict = false;
  }
  if (GetReadOnly()) Verdict = false;
  TField* Tested = nullptr;
  if (GetLookupParams()->GetLookupActive()) {
    TFieldsArrKv Keys;
    GetLookupParams()->GetKeyFields(Keys);
    if (GetLookupParams()->GetKeyFieldNames().empty() || Keys.empty())
      Verdict = false;
    else {
      Tested = Keys[0];
      if (!FieldsArrCanModify(Keys)) Verdict = false;
    }
  } else {
    Tested = GetField();
    if (!Tested) Verdict = false;
  }
  if (Verdict && Tested) {
    if (!Tested->CanModify())
      Verdict = false;
    else if (!Tested->IsBlob() || Tested->GetOnSetText())
      Verdict = FGrid ? FGrid->CanAppendOrEdit() : true;
    else
      Verdict = FGrid && FGrid->GetDrawMemoText() && axisbarkv::IsMemoType(Tested->GetDataType()) &&
                FGrid->CanAppendOrEdit();
  }
  bool Result = Verdict;
  if (FCheckModifyColCellParamsKv) {
    FillColCellParams(FCheckModifyColCellParamsKv.get());
    FCheckModifyColCellParamsKv->SetReadOnly(!Verdict);
    GetColCellParams(true, FCheckModifyColCellParamsKv.get());
    Result = !FCheckModifyColCellParamsKv->GetReadOnly();
  }
  if (TryEdit && Result && FGrid) {
    TAxisGridDataLinkKv* Link = FGrid->GetDataLink();
    Link->Edit();
    Result = Link->GetEditing();
    if (Result) Link->Modified();
  }
  return Result;
}

bool TAxisBarKv::CanEditAcceptKey(Char Key) {
  TField* F = GetField();
  if (!F) return bool(FOnUpdateData);
  if (HasKeyList()) return true;
  return F->IsValidChar(Key);
}

String TAxisBarKv::GetAcceptableEditText(const String& InputEditText) {
  String R;
  for (Char C : InputEditText)
    if (CanEditAcceptKey(C)) R += C;
  return R;
}

bool CanEditInplace(TAxisBarKv* AxisBar) {
  TCustomDBAxisGridKv* Grid = AxisBar->GetGrid();
  if (!AxisBar->GetVisible() || AxisBar->GetReadOnly() || !Grid || !Grid->GetDataLink()->GetActive()) return false;
  if (AxisBar->GetLookupParams()->GetLookupActive()) return true;
  TField* F = AxisBar->GetField();
  return F && !F->GetCalculated() && !F->GetReadOnly();
}

String GetAxisBarEditMask(TAxisBarKv* AxisBar) {
  TCustomDBAxisGridKv* Grid = AxisBar->GetGrid();
  if (!Grid || !Grid->GetDataLink()->GetActive()) return String();
  if (!AxisBar->GetEditMask().empty()) return AxisBar->GetEditMask();
  TField* F = AxisBar->GetField();
  if (F && !AxisBar->HasKeyList()) return F->GetEditMask();
  return String();
}

String GetAxisBarEditText(TAxisBarKv* AxisBar) {
  TCustomDBAxisGridKv* Grid = AxisBar->GetGrid();
  if (!Grid || !Grid->GetDataLink()->GetActive()) return String();
  String Text;
  TField* F = AxisBar->GetField();
  if (F) {
    Grid->SetEditKeyValue(Null);
    if (AxisBar->HasKeyList()) {
      String Key = F->GetText();
      Grid->SetEditKeyValue(Key);
      Integer I = AxisBar->GetKeyList()->IndexOf(Key);
      if (I >= 0 && I < AxisBar->GetPickList()->GetCount()) Text = AxisBar->GetPickList()->GetStrings(I);
    } else if (Grid->GetDrawMemoText() && axisbarkv::IsMemoType(F->GetDataType())) {
      Text = AdjustLineBreaks(F->GetAsString());
    } else {
      Text = F->GetText();
    }
  }
  TAxisColCellParamsKv Params;
  Params.SetText(Text);
  Params.SetFont(Grid->GetCanvas()->GetFont());
  AxisBar->GetColCellParams(true, &Params);
  Grid->SetEditTextValue(Params.GetText());
  return Params.GetText();
}

void SetAxisBarEditText(TAxisBarKv* AxisBar, const String& Text) {
  if (TCustomDBAxisGridKv* Grid = AxisBar->GetGrid()) Grid->SetEditTextValue(Text);
}

bool GetAxisBarTextEditing(TAxisBarKv* AxisBar) {
  TAxisColCellParamsKv Params;
  AxisBar->FillColCellParams(&Params);
  TCustomDBAxisGridKv* Grid = AxisBar->GetGrid();
  if (!Grid || !Grid->GetLoading()) AxisBar->GetColCellParams(false, &Params);
  return Params.GetTextEditing();
}

TDataSet* GetListDataSet(TAxisBarKv* AxisBar) {
  if (TDataSource* S = AxisBar->GetDropDownBox()->GetListSource())
    if (S->GetDataSet()) return S->GetDataSet();
  if (AxisBar->GetLookupParams()->LookupIsSetUp()) return AxisBar->GetLookupParams()->GetLookupDataSet();
  return nullptr;
}

String TAxisBarKv::GetDropDownBoxListField() {
  if (GetBarType() != ctDataList) return GetLookupParams()->GetLookupDisplayFieldName();
  if (!FDropDownBox->GetListField().empty()) return FDropDownBox->GetListField();
  TDataSource* S = FDropDownBox->GetListSource();
  TDataSet* DS = S ? S->GetDataSet() : nullptr;
  if (!DS) return String();
  if (TField* F = DS->FindField(FFieldName)) return F->GetFieldName();
  return DS->GetFields()->GetCount() > 0 ? DS->GetFields()->GetField(0)->GetFieldName() : String();
}

// ---- Writing a value ---------------------------------------------------------------------------------

void TAxisBarKv::SetValueAsText(const String& Text) { UpdateDataValues(Text, Text, true); }
void TAxisBarKv::SetValueAsVariant(const Variant& Value) { UpdateDataValues(String(), Value, false); }

void TAxisBarKv::UpdateDataValues(const String& AText, const Variant& AValue, bool AUseText) {
  if (!FGrid) return;
  TAxisGridDataLinkKv* Link = FGrid->GetDataLink();
  // Cleared on every path, failures included, but only when this call set it.
  struct TInUpdateGuard {
    TAxisGridDataLinkKv* Link = nullptr;
    ~TInUpdateGuard() {
      if (Link) Link->SetInUpdateData(false);
    }
  } Guard;
  if (!Link->GetInUpdateData()) {
    Link->SetInUpdateData(true);
    Guard.Link = Link;
  }
  String Text = AText;
  Variant Value = AValue;
  bool UseText = AUseText;
  bool Handled = false;
  if (FOnUpdateData) FOnUpdateData(this, Text, Value, UseText, Handled);
  if (Handled) return;
  TField* F = GetField();
  bool Lookup = GetLookupParams()->GetLookupActive();
  if (!F && !Lookup) return;
  if (!UseText && Lookup)
    SetFieldsValues(Link->GetDataSet(), GetLookupParams()->GetKeyFieldNames(), Value);
  else if (!UseText)
    F->SetAsVariant(Value);
  else if (FGrid->GetDrawMemoText() && axisbarkv::IsMemoType(F->GetDataType()))
    F->SetAsString(Text);
  else
    F->SetText(Text);
  TInplaceEdit* Editor = FGrid->GetInplaceEditor();
  if (FMRUList->GetAutoAdd() && FMRUList->GetActive() && Editor && Editor->GetVisible() && FGrid->GetEditorMode())
    FMRUList->Add(Text);
}

Integer TAxisBarKv::LocatePickList(const String& Str, bool PartialKey) {
  if (!FPickList) return -1;
  Integer Options = PartialKey ? slPartialKeyKv : 0;
  Integer I = StringsLocate(FPickList.get(), Str, Options);
  if (I < 0 && FCaseInsensitiveTextSearch) I = StringsLocate(FPickList.get(), Str, Options | slCaseInsensitiveKv);
  return I;
}

PUBLISHED_DEF(TAxisBarKv) {
  PROP(FieldName);
  PROP(Visible).Default(true);
  PROP(DisplayFormat);
  PROP(EditMask);
  PROP(NotInKeyListIndex).Default(-1);
  PROP(ShowImageAndText).Default(false);
  PROP(CaseInsensitiveTextSearch).Default(true);
  PROP_READONLY(Title);
  PROP_READONLY(LookupParams);
  PROP_READONLY(DropDownBox);
  PROP_READONLY(CellButtons);
  PROP_READONLY(EditButtons);
}
