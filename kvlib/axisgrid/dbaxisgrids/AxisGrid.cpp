#include "kvlib/axisgrid/dbaxisgrids/AxisGrid.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "framework/DB.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "kvlib/foundation/DynVarsKv.h"
#include "kvlib/foundation/KvLibLangConsts.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/grids/gridskv/InplaceEdit.h"

namespace axisgridkv {

bool IsMemoType(TFieldType T) { return T == ftMemo || T == ftOraClob || T == ftWideMemo; }

}  // namespace axisgridkv

// ---- TAxisGridDataLinkKv ------------------------------------------------------------------------

TAxisGridDataLinkKv::TAxisGridDataLinkKv(TCustomDBAxisGridKv* AGrid) : FGrid(AGrid) { SetVisualControl(true); }

TAxisGridDataLinkKv::~TAxisGridDataLinkKv() { ClearMapping(); }

bool TAxisGridDataLinkKv::AddMapping(const String& FieldName) {
  if (FFieldCount >= GetMaxMapSize()) throw EInvalidGridOperationKv(STooManyColumns);
  TDataSet* DataSet = GetDataSet();
  TField* Field = nullptr;
  if (FSparseMap)
    Field = DataSet ? DataSet->FindField(FieldName) : nullptr;
  else if (DataSet)
    Field = DataSet->FieldByName(FieldName);
  AddMappingOf(Field, Field ? DataSet->GetFields()->IndexOf(Field) : -1);
  return true;
}

void TAxisGridDataLinkKv::AddMappingOf(TField* Field, Integer FieldIndex) {
  const Integer Bound = GetMaxMapSize();
  if (FFieldCount >= Bound) throw EInvalidGridOperationKv(STooManyColumns);
  if (FFieldMapSize == FFieldCount) {
    Integer NewSize = FFieldMapSize == 0 ? 8 : (FFieldMapSize > Bound / 2 ? Bound : FFieldMapSize * 2);
    if (NewSize < FFieldCount) NewSize = FFieldCount + 1;
    if (NewSize > Bound) NewSize = Bound;
    FFieldMap.resize(size_t(NewSize));
    FFieldMapSize = NewSize;
  }
  FFieldMap[size_t(FFieldCount)] = Field ? FieldIndex : -1;
  if (Field) FGrid->FreeNotification(Field);
  ++FFieldCount;
}

void TAxisGridDataLinkKv::ClearMapping() {
  FFieldMap.clear();
  FFieldMap.shrink_to_fit();
  FFieldMapSize = 0;
  FFieldCount = 0;
}

Integer TAxisGridDataLinkKv::GetMappedIndex(Integer ColIndex) const {
  if (ColIndex < 0 || ColIndex >= FFieldCount) return -1;
  return FFieldMap[size_t(ColIndex)];
}

TField* TAxisGridDataLinkKv::GetFields(Integer I) {
  Integer Index = GetMappedIndex(I);
  if (Index < 0) return nullptr;
  TDataSet* DataSet = GetDataSet();
  if (!DataSet || Index >= DataSet->GetFieldCount()) return nullptr;
  return DataSet->GetFields()->GetField(Index);
}

bool TAxisGridDataLinkKv::GetDefaultFields() {
  TDataSet* DataSet = GetDataSet();
  bool Result = DataSet ? DataSet->GetDefaultFields() : true;
  if (Result && FSparseMap)
    for (Integer I = 0; I < FFieldCount; ++I)
      if (FFieldMap[size_t(I)] < 0) return false;
  return Result;
}

void TAxisGridDataLinkKv::TakeLastBookmark() {
  if (GetActive() && GetDataSet()) FLastBookmark = GetDataSet()->GetBookmark();
}

void TAxisGridDataLinkKv::ActiveChanged() {
  FGrid->LinkActive(GetActive());
  FModified = false;
  TakeLastBookmark();
}

void TAxisGridDataLinkKv::DataSetChanged() {
  FGrid->DataChanged();
  FModified = false;
  TakeLastBookmark();
}

void TAxisGridDataLinkKv::DataSetScrolled(Integer Distance) {
  FGrid->Scroll(Distance);
  TakeLastBookmark();
}

void TAxisGridDataLinkKv::LayoutChanged() {
  bool Saved = FGrid->FLayoutFromDataset;
  FGrid->FLayoutFromDataset = true;
  try {
    FGrid->LayoutChanged();
  } catch (...) {
    FGrid->FLayoutFromDataset = Saved;
    throw;
  }
  FGrid->FLayoutFromDataset = Saved;
  TDataLink::LayoutChanged();
}

void TAxisGridDataLinkKv::FocusControl(TField*& Field) {
  if (!Field) return;
  FGrid->SetSelectedField(Field);
  if (FGrid->GetSelectedField() == Field && FGrid->AcquireEditFocus()) {
    Field = nullptr;
    FGrid->ShowEditor();
  }
}

void TAxisGridDataLinkKv::EditingChanged() {
  if (GetDataSet() && GetDataSet()->GetState() == dsBrowse) FModified = false;
  FGrid->EditingChanged();
}

void TAxisGridDataLinkKv::RecordChanged(TField* Field) {
  FGrid->RecordChanged(Field);
  FModified = false;
}

void TAxisGridDataLinkKv::UpdateData() {
  if (FInUpdateData || !GetActive()) return;
  FInUpdateData = true;
  struct TLeave {
    TAxisGridDataLinkKv* L;
    ~TLeave() { L->FInUpdateData = false; }
  } Leave{this};
  if (FModified) FGrid->UpdateData();
  FModified = false;
}

void TAxisGridDataLinkKv::Reset() {
  if (FModified)
    RecordChanged(nullptr);
  else
    FGrid->CancelEditing();
}

void TAxisGridDataLinkKv::CheckBrowseMode() {
  if (GetDataSet()) FLastDataSetState = GetDataSet()->GetState();
  TDataLink::CheckBrowseMode();
}

// ---- Creation and destruction --------------------------------------------------------------------

TCustomDBAxisGridKv::TCustomDBAxisGridKv(TComponent* AOwner) : TCustomGridKv(AOwner) {
  FAcquireFocus = true;
  FVisibleAxisBars = std::make_unique<TAxisBarsKvList>();
  FAllowedOperations = {alopInsertKv, alopUpdateKv, alopDeleteKv, alopAppendKv};
  SetRowCount(2);
  SetColCount(2);
  SetColor(clWindow);
  SetParentColor(false);
  FUserChange = true;
  FDefaultDrawing = true;
  FInterlinear = 4;
  FDummiFont = std::make_unique<TFont>();
  FDynProps = std::make_unique<TDynVarsKv>(this);
}

TCustomDBAxisGridKv::~TCustomDBAxisGridKv() {
  // Child windows and owned components go while the grid is whole; the data source is let go
  // before the bars and the link.
  Teardown();
  SetDataSource(nullptr);
  FIntMemTable = nullptr;
  FColCellParamsKv.reset();
  FAxisBars.reset();
  FColumnDefValues.reset();
  FVisibleAxisBars.reset();
  FDataLink.reset();
  FDynProps.reset();
  FHintFont.reset();
  FDummiFont.reset();
}

TAxisBarDefValuesKv* TCustomDBAxisGridKv::CreateAxisBarDefValues() { return new TAxisBarDefValuesKv(this); }
TGridAxisBarsKv* TCustomDBAxisGridKv::CreateAxisBars() { return new TGridAxisBarsKv(this, TAxisBarKv::StaticClass()); }
TAxisColCellParamsKv* TCustomDBAxisGridKv::CreateColCellParams() { return new TAxisColCellParamsKv(); }

TGridAxisBarsKv* TCustomDBAxisGridKv::GetAxisBars() {
  if (!FAxisBars) FAxisBars.reset(CreateAxisBars());
  return FAxisBars.get();
}

TAxisBarDefValuesKv* TCustomDBAxisGridKv::GetAxisBarDefValues() {
  if (!FColumnDefValues) FColumnDefValues.reset(CreateAxisBarDefValues());
  return FColumnDefValues.get();
}

TAxisGridDataLinkKv* TCustomDBAxisGridKv::GetDataLink() {
  if (!FDataLink) FDataLink.reset(CreateDataLink());
  return FDataLink.get();
}

TAxisColCellParamsKv* TCustomDBAxisGridKv::GetColCellParams() {
  if (!FColCellParamsKv) FColCellParamsKv.reset(CreateColCellParams());
  return FColCellParamsKv.get();
}
TAxisGridDataLinkKv* TCustomDBAxisGridKv::CreateDataLink() { return new TAxisGridDataLinkKv(this); }

// ---- Side owner ----------------------------------------------------------------------------------

bool TCustomDBAxisGridKv::IsSidePropertyName(const String& PropertyName) { return PropertyName == L"DataSource"; }
bool TCustomDBAxisGridKv::CanSideOwnComponent(TComponent* AComponent) { return Is<TDataSource>(AComponent); }

// ---- Small queries --------------------------------------------------------------------------------

void TCustomDBAxisGridKv::GetMouseDownInfo(TPoint& Pos, Cardinal& Time) {
  Pos = ClientToScreen(FDownMousePos);
  Time = FDownMouseMessageTime;
  FDownMouseMessageTime = 0;
}

bool TCustomDBAxisGridKv::AcquireEditFocus() {
  if (!FAcquireFocus || GetComponentState().Contains(csDesigning)) return true;
  // A grid that cannot take the focus cannot edit: no success reported for it.
  if (!CanFocus() || !HandleAllocated() || !IsWindowVisible(GetHandle())) return false;
  if (!IsFocusWithin()) SetFocus();
  return IsFocusWithin();
}

bool TCustomDBAxisGridKv::CanAppendOrEdit() {
  TDataSet* DataSet = GetDataLink()->GetDataSet();
  if (!DataSet) return false;
  TDataSetState S = DataSet->GetState();
  if (S == dsInsert) return FAllowedOperations.Contains(alopInsertKv) || FAllowedOperations.Contains(alopAppendKv);
  if (S == dsEdit) return true;
  return FAllowedOperations.Contains(alopUpdateKv);
}

bool TCustomDBAxisGridKv::CanEditModifyCell() {
  Integer Index = GetSelectedIndex();
  if (Index < 0 || Index >= GetAxisBars()->GetCount()) return false;
  return GetAxisBars()->GetAxisBar(Index)->CanModify(true);
}

void TCustomDBAxisGridKv::GetCellDataRect(Integer ACol, Integer ARow, TRect& ARect) {
  GetCellContentRect(ACol, ARow, ARect);
}

TColor TCustomDBAxisGridKv::GetSelectionColor() { return GrayColor(clHighlight); }

TFont* TCustomDBAxisGridKv::GetTitleFont() {
  throw Exception(L"Write TCustomDBAxisGridKv.GetTitleFont in the inherited class");
}

void TCustomDBAxisGridKv::SetTitleFont(TFont*) {
  throw Exception(L"Write TCustomDBAxisGridKv.SetTitleFont in the inherited class");
}

void TCustomDBAxisGridKv::SetSelectedIndex(Integer) {
  throw Exception(L" TCustomDBAxisGridKv.SetSelectedIndex must be realized in the inherited class.");
}

void TCustomDBAxisGridKv::UpdateCellTextBoundsAtPos(const TPoint&) {
  throw Exception(L" UpdateCellTextBoundsAtPos must be realized in the inherited class.");
}

void TCustomDBAxisGridKv::UpdatePlaceBoxListForCell(Integer, Integer) {
  throw Exception(L"Realize TCustomDBAxisGridKv.UpdatePlaceBoxListForCell in an inherited class");
}

bool TCustomDBAxisGridKv::IsFocusWithin() {
  if (!HandleAllocated()) return false;
  HWND Focus = GetFocus();
  return Focus && (Focus == GetHandle() || IsChild(GetHandle(), Focus));
}

bool TCustomDBAxisGridKv::IsWaitingClickMessage(LPARAM Value) {
  if (!HandleAllocated()) return false;
  MSG M;
  return PeekMessageW(&M, GetHandle(), WM_USER, WM_USER, PM_NOREMOVE) && M.wParam == WPARAM(GetHandle()) &&
         M.lParam == Value;
}

void TCustomDBAxisGridKv::DoEditButtonClick() { DoEvent(FOnEditButtonClick, this); }

TGridCoord TCustomDBAxisGridKv::GetAxisBarCell(TAxisBarKv*) { return FCurCell; }

void TCustomDBAxisGridKv::GetDatasetFieldList(TList* FieldList) {
  TDataSet* DataSet = GetDataLink()->GetDataSet();
  if (!DataSet) return;
  for (Integer I = 0; I < DataSet->GetFieldCount(); ++I) FieldList->Add(DataSet->GetFields()->GetField(I));
}

void TCustomDBAxisGridKv::AdjustCellContentRect(TRect& ARect, bool Right, bool Bottom) {
  if (Right) ARect.Right += 2;
  if (Bottom) ARect.Bottom += 2;
}

void TCustomDBAxisGridKv::UpdateSelectionActive() {
  Invalidate();
  FSelectionActive = IsFocusWithin();
}

// ---- Locks -----------------------------------------------------------------------------------------

void TCustomDBAxisGridKv::BeginUpdate() {
  if (FUpdateLock == 0) FLayoutChangedInUpdateLock = false;
  ++FUpdateLock;
}

void TCustomDBAxisGridKv::EndUpdate() {
  if (FUpdateLock > 0) --FUpdateLock;
  if (FUpdateLock == 0 && FLayoutChangedInUpdateLock && !GetDestroying()) {
    LayoutChanged();
    FLayoutChangedInUpdateLock = false;
  }
}

void TCustomDBAxisGridKv::BeginLayout() {
  BeginUpdate();
  if (FLayoutLock == 0) GetAxisBars()->BeginUpdate();
  ++FLayoutLock;
}

void TCustomDBAxisGridKv::EndLayout() {
  if (FLayoutLock == 0) return;
  struct TClose {
    TCustomDBAxisGridKv* G;
    ~TClose() noexcept(false) {
      if (G->FLayoutLock == 1) {
        G->GetAxisBars()->EndUpdate();
        G->FLayoutChangedInUpdateLock = false;
      }
      if (G->FLayoutLock > 0) --G->FLayoutLock;
      G->EndUpdate();
      if (!G->GetDestroying()) G->UpdateBoundaries();
    }
  };
  TClose Close{this};
  if (FLayoutLock == 1) InternalLayout();
}

void TCustomDBAxisGridKv::EndLayoutQuiet() {
  if (FLayoutLock <= 0) return;
  if (FLayoutLock == 1) GetAxisBars()->EndUpdate();
  --FLayoutLock;
  EndUpdate();
}

bool TCustomDBAxisGridKv::TryBeginLayout() {
  if (FUpdateLock == 0 && FLayoutLock == 0) {
    BeginLayout();
    return true;
  }
  return false;
}

void TCustomDBAxisGridKv::LayoutChanged() {
  if (TryBeginLayout())
    EndLayout();
  else if (FUpdateLock > 0)
    FLayoutChangedInUpdateLock = true;
}

void TCustomDBAxisGridKv::EndLayoutDeferred() {
  if (HandleAllocated()) {
    MSG M;
    if (!PeekMessageW(&M, GetHandle(), WM_DEFERREDLAYOUTKV, WM_DEFERREDLAYOUTKV, PM_NOREMOVE))
      PostMessageW(GetHandle(), WM_DEFERREDLAYOUTKV, GetDeferredLayoutParam(), 0);
  }
  EndLayoutQuiet();
  EndUpdate();
}

void TCustomDBAxisGridKv::WMDeferredLayout(TMessage&) {
  if (TryBeginLayout())
    EndLayout();
  else
    EndLayoutDeferred();
}

void TCustomDBAxisGridKv::Loaded() {
  TCustomGridKv::Loaded();
  LayoutChanged();
  EndLayoutDeferred();
}

// ---- The layout pass -------------------------------------------------------------------------------

void TCustomDBAxisGridKv::InternalLayout() {
  if (GetLoading() || GetDestroying()) return;
  if (HandleAllocated()) RemovePendingMessage(GetHandle(), WM_DEFERREDLAYOUTKV);
  LockPaint();
  struct TUnlock {
    TCustomDBAxisGridKv* G;
    ~TUnlock() { G->UnlockPaint(); }
  } Unlock{this};

  TGridAxisBarsKv* Bars = GetAxisBars();
  // A default bar followed by a stored one: the default bars go.
  bool SeenDefault = false;
  for (Integer I = 0; I < Bars->GetCount(); ++I) {
    if (!Bars->GetAxisBar(I)->GetStored()) {
      SeenDefault = true;
    } else if (SeenDefault) {
      for (Integer J = Bars->GetCount() - 1; J >= 0; --J)
        if (!Bars->GetAxisBar(J)->GetStored()) Bars->Delete(J);
      break;
    }
  }

  GetDataLink()->ClearMapping();
  if (GetDataLink()->GetActive()) DefineFieldMap();

  if (Bars->GetState() == csCustomized) {
    BindAxisBarsToFields();
  } else {
    if (!GetDataLink()->GetActive() && GetDataLink()->GetDefaultFields()) {
      Bars->Clear();
    } else {
      // The fields of the map, found by pointer so that the pass stays linear in the fields.
      std::unordered_map<TField*, Integer> Mapped;
      for (Integer I = 0; I < GetDataLink()->GetFieldCount(); ++I)
        if (TField* F = GetDataLink()->GetFields(I)) Mapped.emplace(F, I);
      for (Integer J = Bars->GetCount() - 1; J >= 0; --J) {
        TField* F = Bars->GetAxisBar(J)->GetField();
        if (!F || !Mapped.count(F)) Bars->Delete(J);
      }
    }
    if (Bars->BuildsBarsPerField()) {
      Integer N = GetDataLink()->GetFieldCount();
      if (N == 0 && Bars->GetCount() == 0) N = 1;
      // Each field's bar found through an index, so that the pass stays linear in the fields;
      // the bars placed so far are exactly those before position I.
      std::unordered_map<TField*, TAxisBarKv*> BarOfField;
      for (Integer J = 0; J < Bars->GetCount(); ++J)
        if (TField* F = Bars->GetAxisBar(J)->GetField()) BarOfField.emplace(F, Bars->GetAxisBar(J));
      std::unordered_set<TAxisBarKv*> Placed;
      for (Integer I = 0; I < N; ++I) {
        TField* F = GetDataLink()->GetFields(I);
        TAxisBarKv* Bar = nullptr;
        if (F) {
          auto It = BarOfField.find(F);
          if (It != BarOfField.end() && !Placed.count(It->second)) Bar = It->second;
          if (!Bar) {
            Bar = Bars->AddDefaultBar();
            Bar->SetField(F);
          }
        } else {
          Bar = Bars->AddDefaultBar();
        }
        Placed.insert(Bar);
        if (Bars->GetAxisBar(I) != Bar) Bar->SetIndex(I);
      }
    } else if (!Bars->KeepsDefaultBars()) {
      Bars->Clear();
      for (Integer I = 0; I < GetDataLink()->GetFieldCount(); ++I) Bars->AddDefaultBar()->SetField(GetDataLink()->GetFields(I));
    } else if (Bars->GetCount() == 0) {
      Bars->AddDefaultBar();
    }
  }
  FVisibleAxisBars->Clear();
}

void TCustomDBAxisGridKv::DefineFieldMap() {
  if (GetAxisBars()->GetState() == csCustomized) {
    GetDataLink()->SetSparseMap(true);
    for (Integer I = 0; I < GetAxisBars()->GetCount(); ++I) GetDataLink()->AddMapping(GetAxisBars()->GetAxisBar(I)->GetFieldName());
  } else {
    GetDataLink()->SetSparseMap(false);
    TDataSet* DataSet = GetDataLink()->GetDataSet();
    // By position: a name lookup per field would make the map quadratic in the fields.
    for (Integer I = 0; I < DataSet->GetFieldCount(); ++I) {
      TField* F = DataSet->GetFields()->GetField(I);
      if (F->GetVisible()) GetDataLink()->AddMappingOf(F, I);
    }
  }
}

void TCustomDBAxisGridKv::BindAxisBarsToFields() {
  for (Integer I = 0; I < GetAxisBars()->GetCount(); ++I) {
    TAxisBarKv* Bar = GetAxisBars()->GetAxisBar(I);
    if (GetDataLink()->GetActive() || !GetDataLink()->GetDefaultFields())
      Bar->BindField();
    else
      Bar->SetField(nullptr);
  }
}

// ---- Data source --------------------------------------------------------------------------------------

TDataSource* TCustomDBAxisGridKv::GetDataSource() { return FDataLink ? FDataLink->GetDataSource() : nullptr; }

bool TCustomDBAxisGridKv::DataSetActive() {
  return GetDataLink()->GetActive() && GetDataLink()->GetDataSet() && GetDataLink()->GetDataSet()->GetActive();
}

void TCustomDBAxisGridKv::SetDataSource(TDataSource* Value) {
  if (Value == GetDataSource()) return;
  TComponent* OldSideOwned = nullptr;
  TComponent* NewSideOwned = nullptr;
  bool Designing = GetComponentState().Contains(csDesigning) && !GetLoading();
  if (Designing) {
    ISideOwnedComponentKv* Intf = nullptr;
    TDataSource* Old = GetDataLink()->GetDataSource();
    if (Old && Supports(Old, Intf) && Intf->IsSideParentedBy(this)) OldSideOwned = Old;
    if (Value && Supports(Value, Intf) && Intf->IsSideParentedBy(nullptr)) NewSideOwned = Value;
  }
  if (OldSideOwned && !GetDestroying()) {
    String Q = L"Component \"" + OldSideOwned->GetName() + L"\" belongs to \"" + GetName() + L"\"" +
               L"and will be deleted if DataSource property is assigned by a new component or nil." + L"\r\n" +
               L"Do you want to assign new component to the DataSource property and delete \"" +
               OldSideOwned->GetName() + L"\" ?";
    // A refusal leaves both sources as they are: the new one is the user's, not ours to free.
    if (MessageDlg(Q, mtConfirmation, mbYesNo, 0) != mrYes) return;
  }
  try {
    GetDataLink()->SetDataSource(Value);
    if (Value) Value->FreeNotification(this);
  } catch (...) {
    delete NewSideOwned;
    throw;
  }
  if (NewSideOwned) {
    ISideOwnedComponentKv* Intf = nullptr;
    if (Supports(NewSideOwned, Intf)) Intf->SetSideParent(this);
  }
  delete OldSideOwned;
}

// ---- Link reactions ------------------------------------------------------------------------------------

void TCustomDBAxisGridKv::LinkActive(bool Value) {
  if (GetDestroying()) return;
  if (!Value) HideEditor();
  LayoutChanged();
  if (Value && CanReshowEditor() && GetOptions().Contains(goAlwaysShowEditorKv)) ShowEditor();
  if (!GetLoading()) GetAxisBars()->ActiveChanged();
}

void TCustomDBAxisGridKv::EditingChanged() {
  if (GetDestroying() || !GetDataLink()->GetDataSet()) return;
  if (GetDataLink()->GetDataSet()->GetState() == dsBrowse && GetDataLink()->GetLastDataSetState() == dsEdit)
    for (Integer I = 0; I < GetAxisBars()->GetCount(); ++I) GetAxisBars()->GetAxisBar(I)->FieldDataChanged(nullptr);
}

void TCustomDBAxisGridKv::RecordChanged(TField* Field) {
  if (!HandleAllocated()) return;
  if (Field) {
    for (Integer I = 0; I < GetAxisBars()->GetCount(); ++I) {
      TAxisBarKv* Bar = GetAxisBars()->GetAxisBar(I);
      Bar->FieldDataChanged(Field);
      if (Bar->GetField() == Field) InvalidateRow(GetAxisBarCell(Bar).Y);
    }
  } else {
    Invalidate();
  }
  TField* Selected = GetSelectedField();
  if ((!Field || Field == Selected) && Selected) {
    TAxisBarKv* Bar = FindFieldColumn(Selected->GetFieldName());
    String Current;
    if (axisgridkv::IsMemoType(Selected->GetDataType()) && FDrawMemoText)
      Current = AdjustLineBreaks(Selected->GetAsString());
    else if (Bar && Bar->GetBarType() == ctKeyPickList)
      Current = Bar->DisplayText();
    else if (Bar)
      Current = Bar->EditText();
    else
      Current = Selected->GetText();
    if (Current != FEditText) {
      InvalidateEditor();
      if (TInplaceEdit* Editor = GetInplaceEditor()) Editor->Deselect();
    }
  }
}

void TCustomDBAxisGridKv::UpdateData() {
  Integer Index = GetSelectedIndex();
  if (Index < 0 || Index >= GetAxisBars()->GetCount()) return;
  TAxisBarKv* Bar = GetAxisBars()->GetAxisBar(Index);
  TDBLookupDataKv* Lookup = Bar->GetLookupParams();
  if (Lookup->GetLookupActive()) {
    // Text typed without a chosen key: its key is taken from the list, which the handler may
    // first extend.
    TDataSet* List = GetListDataSet(Bar);
    if ((VarIsEmpty(FEditKeyValue) || VarIsNull(FEditKeyValue)) && !FEditText.empty() && Bar->GetOnNotInList() && List) {
      const String DisplayName = Lookup->GetLookupDisplayFieldName();
      bool Found = List->Locate(DisplayName, FEditText, {loCaseInsensitive});
      if (!Found) {
        bool Accept = false;
        Bar->GetOnNotInList()(Bar, FEditText, Accept);
        Found = Accept && List->Locate(DisplayName, FEditText, {loCaseInsensitive});
      }
      if (Found) FEditKeyValue = List->GetFieldValues(Lookup->GetLookupKeyFieldNames());
    }
    TFieldsArrKv Keys;
    Lookup->GetKeyFields(Keys);
    if (FieldsArrCanModify(Keys)) {
      GetDataLink()->Edit();
      // No key clears every key field (a Null cannot be spread over several).
      bool NoKey = VarIsEmpty(FEditKeyValue) || VarIsNull(FEditKeyValue);
      Bar->UpdateDataValues(FEditText, NoKey ? Variant(EmptyParam) : FEditKeyValue, false);
    }
    return;
  }
  if (!GetSelectedField()) {
    Bar->UpdateDataValues(FEditText, FEditText, true);
    return;
  }
  switch (Bar->GetBarType()) {
    case ctPickList:
      if (Bar->GetOnNotInList() && Bar->LocatePickList(FEditText, false) == -1) {
        bool Recheck = false;
        Bar->GetOnNotInList()(Bar, FEditText, Recheck);
      }
      Bar->UpdateDataValues(FEditText, FEditText, true);
      break;
    case ctKeyPickList:
      Bar->UpdateDataValues(FEditText, FEditKeyValue, false);
      break;
    default:
      Bar->UpdateDataValues(FEditText, FEditText, true);
      break;
  }
}

// ---- Selection and lookup by field -----------------------------------------------------------------------

TField* TCustomDBAxisGridKv::GetSelectedField() {
  Integer Index = GetSelectedIndex();
  if (Index < 0 || Index >= GetAxisBars()->GetCount()) return nullptr;
  return GetAxisBars()->GetAxisBar(Index)->GetField();
}

void TCustomDBAxisGridKv::SetSelectedField(TField* Value) {
  if (!Value) return;
  for (Integer I = 0; I < GetAxisBars()->GetCount(); ++I)
    if (GetAxisBars()->GetAxisBar(I)->GetField() == Value) {
      SetSelectedIndex(I);
      return;
    }
}

TAxisBarKv* TCustomDBAxisGridKv::FindFieldColumn(const String& FieldName) {
  for (Integer I = 0; I < GetAxisBars()->GetCount(); ++I)
    if (CompareTextLocale(GetAxisBars()->GetAxisBar(I)->GetFieldName(), FieldName) == 0) return GetAxisBars()->GetAxisBar(I);
  return nullptr;
}

TAxisBarKv* TCustomDBAxisGridKv::GetFieldAxisBars(const String& FieldName) {
  TAxisBarKv* Bar = FindFieldColumn(FieldName);
  if (!Bar) throw EInvalidGridOperationKv(Format(KvLibLanguageConsts()->GetFieldNameNotFound(), {FieldName}));
  return Bar;
}

// ---- Editor -------------------------------------------------------------------------------------------

void TCustomDBAxisGridKv::ShowEditor() { TCustomGridKv::ShowEditor(); }
void TCustomDBAxisGridKv::HideEditor() { TCustomGridKv::HideEditor(); }
void TCustomDBAxisGridKv::InvalidateEditor() { TCustomGridKv::InvalidateEditor(); }

void TCustomDBAxisGridKv::SetEditText(Integer, Integer, const String& Value) { FEditText = Value; }

String TCustomDBAxisGridKv::GetEditText(Integer, Integer) {
  Integer Index = GetSelectedIndex();
  if (Index < 0 || Index >= GetAxisBars()->GetCount()) return String();
  return GetAxisBarEditText(GetAxisBars()->GetAxisBar(Index));
}

// ---- Properties --------------------------------------------------------------------------------------

void TCustomDBAxisGridKv::SetDrawGraphicData(bool Value) {
  if (FDrawGraphicData == Value) return;
  FDrawGraphicData = Value;
  LayoutChanged();
}

void TCustomDBAxisGridKv::SetDrawMemoText(bool Value) {
  if (FDrawMemoText == Value) return;
  FDrawMemoText = Value;
  LayoutChanged();
}

void TCustomDBAxisGridKv::SetReadOnly(bool Value) {
  if (FReadOnly == Value) return;
  FReadOnly = Value;
  Invalidate();
  if (!GetComponentState().Contains(csReading)) {
    EditButtonHeightChanged();
    DataChanged();
  }
}

void TCustomDBAxisGridKv::SetAllowedOperations(TDBGridKvAllowedOperations Value) {
  if (FAllowedOperations == Value) return;
  FAllowedOperations = Value;
  if (!GetDestroying()) GetDataLink()->LayoutChanged();
}

// ---- Components going away, scaling, fonts -------------------------------------------------------------------

void TCustomDBAxisGridKv::DropRemovedComponent(TComponent* AComponent) {
  bool IsMenu = Is<TPopupMenu>(AComponent);
  bool IsImages = Is<TCustomImageList>(AComponent);
  auto* Source = dynamic_cast<TDataSource*>(AComponent);
  auto* Field = dynamic_cast<TField*>(AComponent);
  if (IsMenu)
    for (Integer I = 0; I < GetAxisBars()->GetCount(); ++I) {
      TAxisBarKv* Bar = GetAxisBars()->GetAxisBar(I);
      if (Bar->GetPopupMenu() == AComponent) Bar->SetPopupMenu(nullptr);
      if (Bar->GetTitle()->GetPopupMenu() == AComponent) Bar->GetTitle()->SetPopupMenu(nullptr);
    }
  if (IsImages)
    for (Integer I = 0; I < GetAxisBars()->GetCount(); ++I)
      if (GetAxisBars()->GetAxisBar(I)->GetImageList() == AComponent) GetAxisBars()->GetAxisBar(I)->SetImageList(nullptr);
  if (Source) {
    for (Integer I = 0; I < GetAxisBars()->GetCount(); ++I) {
      TColumnDropDownBoxKv* Box = GetAxisBars()->GetAxisBar(I)->GetDropDownBox();
      if (Box->GetListSource() == Source) Box->SetListSource(nullptr);
    }
    if (Source == GetDataSource()) SetDataSource(nullptr);
  }
  if (Field) {
    TDataSet* DataSet = GetDataLink()->GetDataSet();
    bool Direct = DataSet && DataSet->ControlsDisabled();
    std::vector<TAxisBarKv*> Marked;
    for (Integer I = 0; I < GetAxisBars()->GetCount(); ++I) {
      TAxisBarKv* Bar = GetAxisBars()->GetAxisBar(I);
      if (Bar->GetFieldRef() != Field) continue;
      if (Direct)
        Bar->SetField(nullptr);
      else
        Marked.push_back(Bar);
    }
    if (!Marked.empty()) {
      BeginLayout();
      try {
        for (TAxisBarKv* Bar : Marked) Bar->SetField(nullptr);
      } catch (...) {
        EndLayoutQuiet();
        throw;
      }
      if (!DataSet || DataSet->ControlsDisabled())
        EndLayoutDeferred();
      else
        EndLayout();
    }
  }
}

void TCustomDBAxisGridKv::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomGridKv::Notification(AComponent, Operation);
  if (Operation == opRemove && FAxisBars && FDataLink) DropRemovedComponent(AComponent);
}

void TCustomDBAxisGridKv::ChangeScale(Integer M, Integer D, bool IsDpiChange) {
  if (M != D) {
    GetAxisBars()->BeginUpdate();
    struct TEnd {
      TCollection* C;
      ~TEnd() { C->EndUpdate(); }
    } End{GetAxisBars()};
    for (Integer I = 0; I < GetAxisBars()->GetCount(); ++I) {
      TAxisBarKv* Bar = GetAxisBars()->GetAxisBar(I);
      if (Bar->GetAssignedValues().Contains(cvFont))
        Bar->GetFont()->SetHeight(MulDiv(Bar->GetFont()->GetHeight(), M, D));
      if (Bar->GetAssignedValues().Contains(cvTitleFont))
        Bar->GetTitle()->GetFont()->SetHeight(MulDiv(Bar->GetTitle()->GetFont()->GetHeight(), M, D));
    }
  }
  TCustomGridKv::ChangeScale(M, D, IsDpiChange);
}

void TCustomDBAxisGridKv::CMFontChanged(TMessage& Message) {
  TCustomGridKv::CMFontChanged(Message);
  TAxisGridLayoutBlockKv Block(this);
  for (Integer I = 0; I < GetAxisBars()->GetCount(); ++I) GetAxisBars()->GetAxisBar(I)->GetFont();
}
