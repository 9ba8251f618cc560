#include "kvlib/editors/dbctrls/DBEditKv.h"

#include <cmath>
#include <utility>

#include "framework/ActnList.h"
#include "framework/DB.h"
#include "framework/DBCtrls.h"
#include "framework/classes/Reader.h"
#include "framework/classes/Writer.h"
#include "kvlib/editors/dbctrls/EditButtonsBoxKv.h"
#include "kvlib/editors/dbctrls/FieldDataLinkKv.h"
#include "kvlib/foundation/DynVarsKv.h"
#include "kvlib/foundation/toolctrls/DropDownParts.h"

PUBLISHED_DEF(TDBEditKv) {
  PROP(Alignment).Stored(&TDBEditKv::IsAlignmentStored);
  PROP(AlwaysShowBorder).Default(false);
  PROP(AutoSelect).Default(true);
  PROP(AutoSize).Default(true);
  PROP(BorderStyle).Default(bsSingle);
  PROP(CharCase).Default(ecNormal);
  PROP(ControlLabel);
  PROP(ControlLabelLocation);
  PROP(DataField);
  PROP(DataSource);
  PROP(DynProps);
  PROP(EditButtons);
  PROP(EmptyDataInfo);
  PROP(Flat).Default(false);
  PROP(HighlightRequired).Default(false);
  PROP(Images);
  PROP(MaxLength).Default(0);
  PROP(MRUList);
  PROP(PasswordChar).Default(0);
  PROP(ReadOnly).Default(false);
  PROP(Text).Stored(&TDBEditKv::IsTextStored);
  PROP(Tooltips).Default(false);
  PROP(WantTabs).Default(false);
  PROP(WantReturns).Default(false);
  PROP(WordWrap).Default(false);
  EVENT(OnChange);
  EVENT(OnCheckDrawRequiredState);
  EVENT(OnCloseDropDownForm);
  EVENT(OnGetFieldData);
  EVENT(OnGetImageIndex);
  EVENT(OnOpenDropDownForm);
  EVENT(OnUpdateData);
}

String FlattenLineBreaksKv(const String& Text) {
  size_t End = Text.size();
  while (End > 0 && (Text[End - 1] == L'\r' || Text[End - 1] == L'\n')) --End;
  String R;
  R.reserve(End);
  for (size_t I = 0; I < End; ++I) {
    Char C = Text[I];
    if (C != L'\r' && C != L'\n') {
      R += C;
      continue;
    }
    // A pair of different break characters is one break.
    if (I + 1 < End && (Text[I + 1] == L'\r' || Text[I + 1] == L'\n') && Text[I + 1] != C) ++I;
    R += L' ';
  }
  return R;
}

// ---- Construction -----------------------------------------------------------------------------

TCustomDBEditKv::TCustomDBEditKv(TComponent* AOwner) : TCustomMaskEdit(AOwner) {
  FControlStyle << csCaptureMouse << csReplicatable;
  FDataLink.reset(CreateDataLink());
  FDataLink->SetControl(this);
  FDataLink->SetOnDataChange({this, &TCustomDBEditKv::LinkDataChanged});
  FDataLink->SetOnEditingChange({this, &TCustomDBEditKv::LinkEditingChanged});
  FDataLink->SetOnUpdateData({this, &TCustomDBEditKv::LinkUpdateData});
  FDataLink->SetOnActiveChange({this, &TCustomDBEditKv::LinkActiveChanged});

  FEditButton.reset(CreateEditButton());
  FEditButton->SetOnChanged({this, &TCustomDBEditKv::EditButtonsChanged});
  FEditButton->SetOnRefComponentChanged({this, &TCustomDBEditKv::EditButtonImagesChanged});
  FEditButtons.reset(CreateEditButtons());
  FEditButtons->SetOnChanged({this, &TCustomDBEditKv::EditButtonsChanged});
  FEditButtons->SetOnRefComponentChanged({this, &TCustomDBEditKv::EditButtonImagesChanged});

  FEditImage.reset(CreateEditImage());
  FMRUList = std::make_unique<TMRUListKv>(this);
  FMRUList->SetOnSetDropDown({this, &TCustomDBEditKv::MRUListDropDown});
  FMRUList->SetOnSetCloseUpEvent({this, &TCustomDBEditKv::MRUListCloseUp});
  FMRUList->SetOnFillAutogenItems({this, &TCustomDBEditKv::FillMRUAutogenItems});
  FDynProps = std::make_unique<TDynVarsKv>(this);
  FEmptyDataInfo = std::make_unique<TControlEmptyDataInfoKv>(this);

  UpdateReadOnlyState();
  RefreshEditImageIndex();

  FButtonsBox = new TEditButtonsBoxKv(this);
  FButtonsBox->SetBounds(0, 0, 0, 0);
  FButtonsBox->SetVisible(false);
  FButtonsBox->SetParent(this);
  FButtonsBox->SetOnDown({this, &TCustomDBEditKv::EditButtonDown});
  FButtonsBox->SetOnButtonClick({this, &TCustomDBEditKv::EditButtonClick});
  FButtonsBox->SetOnButtonMouseMove({this, &TCustomDBEditKv::EditButtonMouseMove});
  FButtonsBox->SetOnButtonMouseUp({this, &TCustomDBEditKv::EditButtonMouseUp});
  FButtonsBox->SetOnCreateEditButtonControl({this, &TCustomDBEditKv::CreateEditButtonControl});

  FControlLabel = new TControlLabelKv(this);
  FControlLabel->FreeNotification(this);
  FControlLabel->SetFocusControl(this);
  FControlLabelLocation = std::make_unique<TControlLabelLocationKv>(this);
}

TCustomDBEditKv::~TCustomDBEditKv() {
  // The label and the strip go with the component list (before this destructor when the edit is
  // deleted); the references forget them when they go.
  FDataLink->SetOnDataChange(nullptr);
  FDataLink->SetOnEditingChange(nullptr);
  FDataLink->SetOnUpdateData(nullptr);
  FDataLink->SetOnActiveChange(nullptr);
  FDataLink->SetDataSource(nullptr);
  FEditImage.reset();
  FEditButton.reset();
  FEditButtons.reset();
  FDataLink.reset();
  FCanvas.reset();
  FMRUList.reset();
  FEmptyDataInfo.reset();
  FDynProps.reset();
  FControlLabelLocation.reset();

}

bool TCustomDBEditKv::CanDropDown() { return GetEnabled() && FDataLink->GetActive(); }
TFieldDataLinkKv* TCustomDBEditKv::CreateDataLink() { return new TFieldDataLinkKv(); }
TEditButtonKv* TCustomDBEditKv::CreateEditButton() { return new TEditButtonKv(static_cast<TWinControl*>(this)); }
TEditButtonsKv* TCustomDBEditKv::CreateEditButtons() {
  return new TEditButtonsKv(this, TVisibleEditButtonKv::StaticClass());
}
TEditImageKv* TCustomDBEditKv::CreateEditImage() { return new TEditImageKv(this); }
bool TCustomDBEditKv::DataIndepended() { return FDataLink->GetDataIndepended(); }
String TCustomDBEditKv::GetDataFieldSlot() { return FDataLink->GetFieldName(); }
TDataSource* TCustomDBEditKv::GetDataSourceSlot() { return FDataLink->GetDataSource(); }
TField* TCustomDBEditKv::GetField() { return FDataLink->GetField(); }

TAlignment TCustomDBEditKv::DefaultAlignment() {
  TField* Field = GetField();
  return Field ? Field->GetAlignment() : taLeftJustify;
}

String TCustomDBEditKv::DefaultEditMask() {
  TField* Field = GetField();
  return Field ? Field->GetEditMask() : String();
}

bool TCustomDBEditKv::IsValidChar(Char InputChar) {
  TField* Field = GetField();
  return !Field || Field->IsValidChar(InputChar);
}

void TCustomDBEditKv::EditDataSet() {
  if (DataIndepended()) return;
  if (TDataSource* Source = GetDataSource())
    if (TDataSet* DataSet = Source->GetDataSet()) DataSet->Edit();
}

String TCustomDBEditKv::ValueToTextKv(const Variant& Value) {
  if (VarIsArray(Value)) return String();
  try {
    return VarToStr(Value);
  } catch (const Exception&) {
    return String();
  }
}

// ---- Text and value ---------------------------------------------------------------------------

void TCustomDBEditKv::SetText(const String& Value) {
  if (GetComponentState().Contains(csDesigning) && !DataIndepended()) return;
  EditDataSet();
  InternalSetText(Value);
  PostOrReload();
}

void TCustomDBEditKv::SetVarValue(const Variant& Value) {
  if (GetComponentState().Contains(csDesigning) && !DataIndepended()) return;
  EditDataSet();
  InternalSetValue(Value);
  PostOrReload();
}

Variant TCustomDBEditKv::GetVariantValue() { return Variant(GetText()); }

void TCustomDBEditKv::InternalSetText(const String& AText) {
  bool Old = FInternalTextSetting;
  FInternalTextSetting = true;
  try {
    TCustomMaskEdit::SetText(AText);
  } catch (...) {
    FInternalTextSetting = Old;
    throw;
  }
  FInternalTextSetting = Old;
}

void TCustomDBEditKv::InternalSetValue(const Variant& AValue) { InternalSetText(ValueToTextKv(AValue)); }

void TCustomDBEditKv::Undo() {
  EditDataSet();
  if (FHandle) SendMessageW(FHandle, WM_UNDO, 0, 0);
  if (!Focused()) PostOrReload();
}

void TCustomDBEditKv::PostOrReload() {
  if (FDataPosting) return;
  try {
    UpdateData();
  } catch (...) {
    FDataLink->Reset();
    throw;
  }
}

void TCustomDBEditKv::Reset() {
  FDataLink->Reset();
  SelectAll();
}

void TCustomDBEditKv::Deselect() {
  Integer Len = Integer(GetEditText().size());
  if (FHandle) SendMessageW(FHandle, EM_SETSEL, WPARAM(Len), LPARAM(Len));
}

void TCustomDBEditKv::ValidateEdit() { TCustomMaskEdit::ValidateEdit(); }

bool TCustomDBEditKv::IsEmpty() {
  if (DataIndepended()) return VarIsNull(FDataLink->DataIndependentValue) || VarIsEmpty(FDataLink->DataIndependentValue);
  TField* Field = GetField();
  return Field ? Field->IsNull() : GetEditText().empty();
}

// ---- Loading and posting ----------------------------------------------------------------------

void TCustomDBEditKv::LinkDataChanged(TObject*) {
  if (GetComponentState().Contains(csDestroying)) return;
  DataChanged();
  UpdateEditButtonsState();
  if (FControlLabel) FControlLabel->RefreshCaption();
}

void TCustomDBEditKv::DataChanged() {
  TField* Field = GetField();
  if (Field) {
    Variant Value;
    bool Handled = false;
    DoEvent(FOnGetFieldData, this, Value, Handled);
    if (!Handled) {
      if (Field->IsBlob()) Value = Variant(Field->GetAsString());
      else if (FFocused && FDataLink->GetCanModify()) Value = Variant(Field->GetText());
      else Value = Variant(Field->GetDisplayText());
      if (FAssignedValues.Contains(evAlignmentKv) ? false : Field->GetAlignment() != FAlignment) Invalidate();
      if (!FAssignedValues.Contains(evEditMaskKv)) TCustomMaskEdit::SetEditMask(Field->GetEditMask());
      if (!GetComponentState().Contains(csDesigning) && GetMaxLength() == 0 &&
          (Field->GetDataType() == ftString || Field->GetDataType() == ftWideString))
        SetMaxLength(Field->GetSize());
    }
    String Text = ValueToTextKv(Value);
    if (FFocused && FDataLink->GetCanModify()) {
      InternalSetText(Text);
    } else {
      String Mask = TCustomMaskEdit::GetEditMask();
      String Shown = Mask.empty() ? Text : FormatMaskTextKv(Mask, Text);
      bool Old = FInternalTextSetting;
      FInternalTextSetting = true;
      try {
        SetEditText(Shown);
      } catch (...) {
        FInternalTextSetting = Old;
        throw;
      }
      FInternalTextSetting = Old;
    }
  } else {
    if (!FAssignedValues.Contains(evEditMaskKv)) TCustomMaskEdit::SetEditMask(String());
    InternalSetText(DataIndepended() ? ValueToTextKv(FDataLink->DataIndependentValue) : String());
  }
  UpdateReadOnlyState();
  SetModified(false);
}

void TCustomDBEditKv::LinkUpdateData(TObject*) {
  if (!FDataPosting) UpdateData();
}

void TCustomDBEditKv::UpdateData() {
  if (FFocused) ValidateEdit();
  bool Handled = false;
  FDataPosting = true;
  try {
    DoEvent(FOnUpdateData, this, Handled);
    if (!Handled) InternalUpdatePostData();
  } catch (...) {
    FDataPosting = false;
    throw;
  }
  FDataPosting = false;
  SetModified(false);
  if (FMRUList->GetAutoAdd() && FMRUList->GetActive() && IsShowing()) FMRUList->Add(GetText());
}

void TCustomDBEditKv::InternalUpdatePostData() {
  if (DataIndepended()) FDataLink->SetText(GetEditText());
  else FDataLink->SetText(GetText());
}

void TCustomDBEditKv::Change() {
  if (GetComponentState().Contains(csDestroying)) return;
  if (!FInternalTextSetting) {
    FDataLink->Modified();
    FUserTextChanged = true;
  }
  if (FHandle && !FInternalTextSetting) SendMessageW(FHandle, EM_SETMODIFY, 1, 0);
  RefreshEditImageIndex();
  inherited::Change();
}

// ---- Edit mode and read-only state ------------------------------------------------------------

bool TCustomDBEditKv::EditCanModify() { return !FReadOnly && FDataLink->Edit(); }

void TCustomDBEditKv::UpdateReadOnlyState() {
  bool RO = FReadOnly;
  if (!RO) {
    RO = !FDataLink->GetEditing();
    if (RO && FOnUpdateData && !DataIndepended())
      if (TDataSource* Source = GetDataSource())
        if (TDataSet* DataSet = Source->GetDataSet(); DataSet && DataSet->GetState() == dsEdit) RO = false;
  }
  if (RO && FInplaceMode && FIntfInplaceEditHolder && FIntfInplaceEditHolder->CanEditorModify(this)) RO = false;
  TCustomMaskEdit::SetReadOnly(RO);
}

void TCustomDBEditKv::SetReadOnly(bool Value) {
  if (FReadOnly == Value) return;
  FReadOnly = Value;
  UpdateReadOnlyState();
}

void TCustomDBEditKv::UpdateMaxLengthAndFlags() {
  UpdateMaxLengthFromField();
  UpdateEditButtonsState();
}

void TCustomDBEditKv::UpdateMaxLengthFromField() {
  if (GetMaxLength() <= 0) return;
  TDataSource* Source = GetDataSource();
  TDataSet* DataSet = Source ? Source->GetDataSet() : nullptr;
  if (!DataSet || GetDataField().empty()) return;
  TField* Field = DataSet->FindField(GetDataField());
  if (Field && (Field->GetDataType() == ftString || Field->GetDataType() == ftWideString) &&
      Field->GetSize() == GetMaxLength())
    SetMaxLength(0);
}

// ---- Properties -------------------------------------------------------------------------------

void TCustomDBEditKv::SetDataSourceSlot(TDataSource* Value) {
  if (Value == GetDataSource()) return;
  TComponentState CS = GetComponentState();
  bool Fixed = FDataLink->GetDataSourceFixed() && (CS.Contains(csLoading) || CS.Contains(csDestroying));
  if (!Fixed) FDataLink->SetDataSource(Value);
  if (Value) Value->FreeNotification(this);
  LinkDataChanged(this);
  Invalidate();
  FInternalDataSourceRef = Value;
  FDataLink->UpdateDataIndepended();
}

void TCustomDBEditKv::SetDataFieldSlot(const String& Value) {
  if (!GetComponentState().Contains(csDesigning)) UpdateMaxLengthFromField();
  FDataLink->SetFieldName(Value);
  UpdateEditButtonsState();
  Invalidate();
}

TAlignment TCustomDBEditKv::GetAlignment() {
  return FAssignedValues.Contains(evAlignmentKv) ? FAlignment : DefaultAlignment();
}

void TCustomDBEditKv::SetAlignment(TAlignment Value) {
  if (FAssignedValues.Contains(evAlignmentKv) && Value == FAlignment) return;
  FAlignment = Value;
  FAssignedValues << evAlignmentKv;
  if (FHandle) RecreateWnd();
  Invalidate();
}

void TCustomDBEditKv::SetEditMask(const String& Value) {
  if (FAssignedValues.Contains(evEditMaskKv) && Value == TCustomMaskEdit::GetEditMask()) return;
  bool Loading = GetComponentState().Contains(csLoading);
  String Kept = Loading && DataIndepended() ? GetText() : String();
  TCustomMaskEdit::SetEditMask(Value);
  FAssignedValues << evEditMaskKv;
  if (Loading && DataIndepended()) InternalSetText(Kept);
  if (DataIndepended()) InternalUpdatePostData();
  else LinkDataChanged(this);
}

void TCustomDBEditKv::SetAlwaysShowBorder(bool Value) {
  if (FAlwaysShowBorder == Value) return;
  FAlwaysShowBorder = Value;
  UpdateBorderActive();
}

void TCustomDBEditKv::SetControlLabel(TControlLabelKv* Value) {
  if (FControlLabel && Value) FControlLabel->Assign(Value);
}

void TCustomDBEditKv::SetControlLabelLocation(TControlLabelLocationKv* Value) {
  FControlLabelLocation->Assign(Value);
}

void TCustomDBEditKv::SetMRUList(TMRUListKv* Value) { FMRUList->Assign(Value); }
void TCustomDBEditKv::SetDynProps(TDynVarsKv* Value) { FDynProps->Assign(Value); }
void TCustomDBEditKv::SetEmptyDataInfo(TControlEmptyDataInfoKv* Value) { FEmptyDataInfo->Assign(Value); }

void TCustomDBEditKv::SetFlat(bool Value) {
  if (FFlat == Value) return;
  FFlat = Value;
  if (FHandle) RecreateWnd();
}

void TCustomDBEditKv::SetHighlightRequired(bool Value) {
  if (FHighlightRequired == Value) return;
  FHighlightRequired = Value;
  Invalidate();
}

TCustomImageList* TCustomDBEditKv::GetImages() const { return FEditImage->GetImages(); }
void TCustomDBEditKv::SetImages(TCustomImageList* Value) { FEditImage->SetImages(Value); }

void TCustomDBEditKv::SetOwnShowHint(bool Value) {
  FShowHint = Value;
  UpdateHintShowing();
}

void TCustomDBEditKv::SetTooltips(bool Value) {
  FTooltips = Value;
  UpdateHintShowing();
}

void TCustomDBEditKv::UpdateHintShowing() { TControl::SetShowHint(FTooltips || FShowHint); }

void TCustomDBEditKv::SetWordWrap(bool Value) {
  if (FWordWrap == Value) return;
  FWordWrap = Value;
  if (FHandle) RecreateWnd();
}

void TCustomDBEditKv::SetPasswordChar(Char Value) {
  if (Value == GetPasswordChar()) return;
  TCustomMaskEdit::SetPasswordChar(Value);
  if (FHandle) RecreateWnd();
}

bool TCustomDBEditKv::IsTextStored() { return DataIndepended() && !GetText().empty(); }
bool TCustomDBEditKv::IsValueStored() { return DataIndepended() && !VarIsNull(FDataLink->DataIndependentValue); }

void TCustomDBEditKv::RefreshEditImageIndex() {
  if (!FEditImage || !FEditImage->GetVisible() || !FEditImage->GetImages()) return;
  Integer Index = DefaultImageIndex();
  Variant V = GetValue();
  TVarType T = VarType(V);
  if (T == varSmallint || T == varInteger || T == varSingle || T == varDouble || T == varCurrency)
    Index = Integer(std::llround(V.AsDouble()));
  DoEvent(FOnGetImageIndex, this, Index);
  FEditImage->SetImageIndex(Index);
}

bool TCustomDBEditKv::ExecuteAction(TBasicAction* Action) {
  return ExecuteDataControlActionKv(this, FDataLink.get(), Action);
}

bool TCustomDBEditKv::UpdateAction(TBasicAction* Action) {
  return UpdateDataControlActionKv(this, FDataLink.get(), Action);
}

bool TCustomDBEditKv::UseRightToLeftAlignment() const {
  // The framework's data-aware rule: a centred field stays centred whatever the reading order.
  if (!inherited::UseRightToLeftAlignment()) return false;
  TField* Field = FDataLink ? FDataLink->GetField() : nullptr;
  return !Field || Field->GetAlignment() != taCenter;
}

// ---- Life cycle -------------------------------------------------------------------------------

void TCustomDBEditKv::Loaded() {
  inherited::Loaded();
  UpdateMaxLengthFromField();
  if (GetComponentState().Contains(csDesigning)) LinkDataChanged(this);
  UpdateBorderActive();
}

void TCustomDBEditKv::Notification(TComponent* AComponent, TOperation Operation) {
  inherited::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FControlLabel) FControlLabel = nullptr;
  if (AComponent == FButtonsBox) FButtonsBox = nullptr;
  if (AComponent == FMRUListControl) FMRUListControl = nullptr;
  ForgetButtonsReference(AComponent);
  if (FDataLink && AComponent == FInternalDataSourceRef) {
    FInternalDataSourceRef = nullptr;
    SetDataSource(nullptr);
  }
  if (AComponent == FInplaceEditHolder) {
    FInplaceEditHolder = nullptr;
    FIntfInplaceEditHolder = nullptr;
    FInplaceMode = false;
  }
}

void TCustomDBEditKv::DefineProperties(TFiler* Filer) {
  inherited::DefineProperties(Filer);
  Filer->DefineProperty(
      L"EditMask", [this](TReader* Reader) { SetEditMask(Reader->ReadString()); },
      [this](TWriter* Writer) { Writer->WriteString(TCustomMaskEdit::GetEditMask()); },
      FAssignedValues.Contains(evEditMaskKv));
}

void TCustomDBEditKv::SetParent(TWinControl* AParent) {
  inherited::SetParent(AParent);
  if (!FControlLabel) return;
  FControlLabel->UpdateParent();
  FControlLabel->UpdateVisibility();
  FControlLabel->RefreshCaption();
}

void TCustomDBEditKv::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  inherited::SetBounds(ALeft, ATop, AWidth, AHeight);
  UpdateLabelPos();
}

// ---- The label --------------------------------------------------------------------------------

String TCustomDBEditKv::GetFieldDisplayName() {
  TField* Field = GetField();
  return Field ? Field->GetDisplayName() : GetName();
}

Integer TCustomDBEditKv::GetTextBaseline() {
  Integer X = 0, Y = 0;
  GetTextMargins(X, Y);
  return FontHeight(TControl::GetFont()) + Y;
}

void TCustomDBEditKv::UpdateLabelPos() {
  if (!FControlLabel || !FControlLabelLocation) return;
  TPoint Pos;
  FControlLabelLocation->CalcLabelPosForControl(FControlLabel->GetWidth(), FControlLabel->GetHeight(), Pos);
  FControlLabel->SetBounds(Pos.X, Pos.Y, FControlLabel->GetWidth(), FControlLabel->GetHeight());
}

void TCustomDBEditKv::LabelPositionChanged() {
  if (!GetComponentState().Contains(csLoading)) UpdateLabelPos();
}

