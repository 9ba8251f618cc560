#include "kvlib/axisgrid/dbaxisgrids/DBLookupUtilsKv.h"

#include <algorithm>

#include "framework/DB.h"
#include "kvlib/axisgrid/dbaxisgrids/AxisBar.h"
#include "kvlib/axisgrid/dbaxisgrids/AxisGrid.h"
#include "kvlib/foundation/DBUtilsKv.h"
#include "kvlib/foundation/KvLibCore.h"
#include "kvlib/foundation/ToolCtrlsKv.h"

namespace dblookuputilskv {

bool Destroying(TComponent* C) { return C && C->GetComponentState().Contains(csDestroying); }

// Integer kinds that fit Int64: their numeric order is DBVarCompareValue's.
bool IntKey(const Variant& V, Int64& Out) {
  switch (V.Type()) {
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
      Out = V.AsInt64();
      return true;
    default:
      return false;
  }
}

// Restores a dataset's controls and Active state when a fill ends, by any path.
struct TFillGuard {
  TDataSet* DataSet;
  bool WasActive;
  bool& Filling;
  ~TFillGuard() {
    try {
      DataSet->EnableControls();
      if (DataSet->GetActive() != WasActive) DataSet->SetActive(WasActive);
    } catch (...) {
    }
    Filling = false;
  }
};

}  // namespace dblookuputilskv

// ---- Data links ---------------------------------------------------------------------------------

void TDataSourceLinkKv::ActiveChanged() {
  TDataLink::ActiveChanged();
  if (FLookupData) FLookupData->UpdateDataFields();
}

void TDataSourceLinkKv::LayoutChanged() {
  if (FLookupData) FLookupData->UpdateDataFields();
}

TListSourceLinkKv::TListSourceLinkKv() { SetVisualControl(true); }

void TListSourceLinkKv::ActiveChanged() {
  if (!FLookupData) return;
  FLookupData->UpdateLookupFields();
  FLookupData->UpdateIntMemTable();
}

void TListSourceLinkKv::DataSetChanged() {
  if (FLookupData) FLookupData->ListDataSetChanged();
}

void TListSourceLinkKv::EditingChanged() {
  if (FLookupData) FLookupData->LookupDataSetChanged();
}

void TListSourceLinkKv::LayoutChanged() {
  if (FLookupData) FLookupData->UpdateLookupFields();
}

void TListSourceLinkKv::RecordChanged(TField*) {
  if (FLookupData) FLookupData->LookupDataSetChanged();
}

// ---- TLookupListKv ------------------------------------------------------------------------------

TLookupListKv::~TLookupListKv() { Clear(); }

void TLookupListKv::Add(Variant KeyValue, Variant DisplayValue) {
  FList.emplace_back(std::move(KeyValue), std::move(DisplayValue));
  FIntKeyed = false;
}

void TLookupListKv::Reserve(Integer Count) {
  if (Count > 0) FList.reserve(size_t(Count));
}

void TLookupListKv::Clear() {
  FList.clear();
  FIntKeys.clear();
  FIntOrder.clear();
  FIntKeyed = false;
}

void TLookupListKv::SortData() {
  FIntKeys.clear();
  FIntOrder.clear();
  std::vector<Int64> Keys;
  Keys.reserve(FList.size());
  Int64 K;
  for (const TLookupPairKv& P : FList) {
    if (!dblookuputilskv::IntKey(P.KeyValue, K)) break;
    Keys.push_back(K);
  }
  FIntKeyed = !FList.empty() && Keys.size() == FList.size();
  if (!FIntKeyed) {
    // A merge sort: no recursion deeper than log n, and keys that cannot be ordered (treated
    // as equal) cannot drive it out of the list.
    std::stable_sort(FList.begin(), FList.end(), [](const TLookupPairKv& A, const TLookupPairKv& B) {
      return DBVarCompareValue(A.KeyValue, B.KeyValue) == vrLessThan;
    });
    return;
  }
  // Sorted as (key, position) pairs: equal keys keep the dataset's order, and the pairs
  // themselves are reached through the positions instead of being moved.
  std::vector<std::pair<Int64, Integer>> Order(FList.size());
  for (size_t I = 0; I < Order.size(); ++I) Order[I] = {Keys[I], Integer(I)};
  std::sort(Order.begin(), Order.end());
  FIntKeys.resize(Order.size());
  FIntOrder.resize(Order.size());
  for (size_t I = 0; I < Order.size(); ++I) {
    FIntKeys[I] = Order[I].first;
    FIntOrder[I] = Order[I].second;
  }
}

Integer TLookupListKv::LowerBound(const Variant& KeyValue, bool& Comparable, bool& Found) const {
  Comparable = true;
  Found = false;
  Int64 K;
  if (FIntKeyed && dblookuputilskv::IntKey(KeyValue, K)) {
    auto It = std::lower_bound(FIntKeys.begin(), FIntKeys.end(), K);
    Found = It != FIntKeys.end() && *It == K;
    return Found ? FIntOrder[size_t(It - FIntKeys.begin())] : -1;
  }
  // The list index of sorted position P.
  auto At = [this](Integer P) { return FIntKeyed ? FIntOrder[size_t(P)] : P; };
  Integer Lo = 0, Hi = GetCount() - 1;
  while (Lo <= Hi) {
    Integer Mid = Lo + (Hi - Lo) / 2;
    switch (DBVarCompareValue(FList[size_t(At(Mid))].KeyValue, KeyValue)) {
      case vrLessThan:
        Lo = Mid + 1;
        break;
      case vrGreaterThan:
        Hi = Mid - 1;
        break;
      case vrEqual:
        Found = true;
        Hi = Mid - 1;
        break;
      default:
        Comparable = false;
        return -1;
    }
  }
  return Found ? At(Lo) : -1;
}

bool TLookupListKv::FindValue(const Variant& KeyValue, Variant& DisplayValue) const {
  bool Comparable, Found;
  Integer I = LowerBound(KeyValue, Comparable, Found);
  DisplayValue = Unassigned;
  if (!Comparable || !Found) return false;
  DisplayValue = FList[size_t(I)].DisplayValue;
  return true;
}

Variant TLookupListKv::ValueOfKey(const Variant& KeyValue) const {
  bool Comparable, Found;
  Integer I = LowerBound(KeyValue, Comparable, Found);
  if (!Comparable) throw Exception(L"TMTIndexKv.FindKeyValueIndex: values is not comparable.");
  return Found ? FList[size_t(I)].DisplayValue : Variant(Unassigned);
}

// ---- TDBLookupDataKv ----------------------------------------------------------------------------

TDBLookupDataKv::TDBLookupDataKv(TAxisBarKv* AxisBar)
    : FAxisBar(AxisBar),
      FDataLink(std::make_unique<TDataSourceLinkKv>()),
      FInternalLookupSource(std::make_unique<TDataSource>(nullptr)),
      FLookupLink(std::make_unique<TListSourceLinkKv>()),
      FLookupListCache(std::make_unique<TLookupListKv>()) {
  FDataLink->FLookupData = this;
  FInternalLookupSource->SetName(L"FInternalLookupSource");
  FLookupLink->FLookupData = this;
  FLookupLink->SetDataSource(FInternalLookupSource.get());
  FLookupCache = true;
}

TDBLookupDataKv::~TDBLookupDataKv() {
  FDestroying = true;
  try {
    SetLookupDataSet(nullptr);
    FInternalLookupSource->SetDataSet(nullptr);
  } catch (...) {
  }
  if (FIntMemTable && FIntMemTableDataSet && !dblookuputilskv::Destroying(FIntMemTableDataSet))
    FIntMemTable->UnregisterEventReceiver(this);
  FIntMemTable = nullptr;
  FLookupLink->FLookupData = nullptr;
  FDataLink->FLookupData = nullptr;
  FDataLink->SetDataSource(nullptr);
  FLookupLink->SetDataSource(nullptr);
}

TPersistent* TDBLookupDataKv::GetOwner() { return FAxisBar; }

TDataSource* TDBLookupDataKv::GetDataSource() const {
  TCustomDBAxisGridKv* Grid = FAxisBar ? FAxisBar->GetGrid() : nullptr;
  return Grid ? Grid->GetDataSource() : nullptr;
}

TField* TDBLookupDataKv::BoundLookupField() const {
  TField* F = FAxisBar ? FAxisBar->GetFieldRef() : nullptr;
  if (!F || dblookuputilskv::Destroying(F) || !F->GetLookup()) return nullptr;
  return F;
}

void TDBLookupDataKv::Assign(TPersistent* Source) {
  if (auto* S = dynamic_cast<TDBLookupDataKv*>(Source)) {
    SetKeyFieldNames(S->GetKeyFieldNames());
    SetLookupCache(S->GetLookupCache());
    SetLookupDataSet(S->GetLookupDataSet());
    SetLookupDisplayFieldName(S->GetLookupDisplayFieldName());
    SetLookupKeyFieldNames(S->GetLookupKeyFieldNames());
    return;
  }
  TPersistent::Assign(Source);
}

// ---- Properties -----------------------------------------------------------------------------------

TField* TDBLookupDataKv::DataFieldLookup() const { return FLookupInDataField ? BoundLookupField() : nullptr; }

String TDBLookupDataKv::GetKeyFieldNames() const {
  TField* F = DataFieldLookup();
  return F ? F->GetKeyFields() : FKeyFieldNames;
}

void TDBLookupDataKv::SetKeyFieldNames(const String& Value) {
  CheckNotFixed();
  if (Value == FKeyFieldNames) return;
  FKeyFieldNames = Value;
  UpdateDataFields();
}

TDataSet* TDBLookupDataKv::GetLookupDataSet() const {
  TField* F = DataFieldLookup();
  return F ? F->GetLookupDataSet() : FLookupDataSet.Get();
}

void TDBLookupDataKv::SetLookupDataSet(TDataSet* Value) {
  if (Value == FLookupDataSet) return;
  if (!FDestroying) CheckNotFixed();
  // Refused before the private source moves: raising from inside its link notices would leave
  // the source half attached.
  if (Value && Value->IsLinkedTo(GetDataSource())) DatabaseError(SCircularDataLink);
  FLookupDataSet = Value;
  TCustomDBAxisGridKv* Grid = FAxisBar ? FAxisBar->GetGrid() : nullptr;
  if (Value && Grid) Value->FreeNotification(Grid);
  UpdateLookupSource();
}

String TDBLookupDataKv::GetLookupDisplayFieldName() const {
  TField* F = DataFieldLookup();
  return F ? F->GetLookupResultField() : FLookupDisplayFieldName;
}

void TDBLookupDataKv::SetLookupDisplayFieldName(const String& Value) { SetLookupSideName(FLookupDisplayFieldName, Value); }

String TDBLookupDataKv::GetLookupKeyFieldNames() const {
  TField* F = DataFieldLookup();
  return F ? F->GetLookupKeyFields() : FLookupKeyFieldNames;
}

void TDBLookupDataKv::SetLookupKeyFieldNames(const String& Value) { SetLookupSideName(FLookupKeyFieldNames, Value); }

void TDBLookupDataKv::SetLookupSideName(String& Name, const String& Value) {
  CheckNotFixed();
  if (Value == Name) return;
  Name = Value;
  UpdateLookupFields();
}

void TDBLookupDataKv::SetLookupCache(bool Value) {
  if (Value == FLookupCache) return;
  FLookupCache = Value;
  RefreshLookupListCache();
}

bool TDBLookupDataKv::GetKeyFieldsIsNull() const {
  if (!FLookupActive) return false;
  for (TField* F : FKeyFields)
    if (!F->IsNull()) return false;
  return true;
}

// ---- Checks -----------------------------------------------------------------------------------------

void TDBLookupDataKv::CheckNotFixed() {
  if (FLookupInDataField) DatabaseError(SPropDefByLookup);
  if (FDataLink->GetDataSourceFixed()) DatabaseError(SNotAllowedInDBCtrlGrid);
}

void TDBLookupDataKv::CheckNotCircular() {
  TDataSet* DataSet = FLookupLink->GetDataSet();
  if (FLookupLink->GetActive() && DataSet && DataSet->IsLinkedTo(GetDataSource())) DatabaseError(SCircularDataLink);
}

// ---- Data side ----------------------------------------------------------------------------------------

void TDBLookupDataKv::UpdateDataFields() {
  if (FDataFieldsUpdating) return;
  FDataFieldsUpdating = true;
  try {
    FKeyFields.clear();
    CheckNotCircular();
    TField* F = FAxisBar ? FAxisBar->GetFieldRef() : nullptr;
    if (!F || dblookuputilskv::Destroying(F) || !F->GetLookup()) {
      FDataLink->SetDataSource(!FKeyFieldNames.empty() ? GetDataSource() : nullptr);
      if (TDataSet* DS = FDataLink->GetDataSet()) FieldsArrByNames(DS, nullptr, FKeyFieldNames, FKeyFields);
      SetLookupInDataField(false);
    } else {
      FDataLink->SetDataSource(!F->GetKeyFields().empty() ? GetDataSource() : nullptr);
      TDataSet* DS = FDataLink->GetDataSet();
      if (DS && DS->GetActive()) FieldsArrByNames(DS, nullptr, F->GetKeyFields(), FKeyFields);
      SetLookupInDataField(true);
    }
    UpdateLookupFields();
  } catch (...) {
    FKeyFields.clear();
    FLookupActive = false;
    FDataFieldsUpdating = false;
    throw;
  }
  FDataFieldsUpdating = false;
  UpdateLookupIsSetUp();
  UpdateLookupActive();
}

void TDBLookupDataKv::SetLookupInDataField(bool Value) {
  TField* F = FAxisBar ? FAxisBar->GetFieldRef() : nullptr;
  TDataSet* FieldLookup = F ? F->GetLookupDataSet() : nullptr;
  if (Value == FLookupInDataField && FInternalLookupSource->GetDataSet() == FieldLookup) return;
  FLookupInDataField = Value;
  FInternalLookupSource->SetDataSet(Value ? FieldLookup : FLookupDataSet.Get());
  FLookupLink->SetDataSource(FInternalLookupSource.get());
  UpdateLookupFields();
}

// ---- Lookup side --------------------------------------------------------------------------------------

void TDBLookupDataKv::UpdateLookupFields() {
  FLookupDisplayField = nullptr;
  FLookupKeyFields.clear();
  FLookupLink->SetDataSource(FInternalLookupSource.get());
  bool ListActive = false;
  bool WasActive = FLookupListActive;
  // A name that fails to resolve leaves the lookup inactive, not half resolved.
  FLookupListActive = false;
  FLookupActive = false;
  String KeyNames = GetLookupKeyFieldNames();
  if (FLookupLink->GetActive() && !KeyNames.empty()) {
    TDataSet* DS = FLookupLink->GetDataSet();
    try {
      CheckNotCircular();
      FieldsArrByNames(DS, nullptr, KeyNames, FLookupKeyFields);
      String DisplayName = GetLookupDisplayFieldName();
      if (!DisplayName.empty()) FLookupDisplayField = DS->FieldByName(DisplayName);
    } catch (...) {
      FLookupKeyFields.clear();
      FLookupDisplayField = nullptr;
      RefreshLookupListCache();
      throw;
    }
    ListActive = !FLookupKeyFields.empty() && FLookupDisplayField;
  }
  bool Changed = ListActive != WasActive;
  FLookupListActive = ListActive;
  // Outside a data-side update any resolved lookup side may name other fields than the cache
  // was filled from: it is refilled.
  if (!FDataFieldsUpdating && (FLookupDisplayField || !FLookupKeyFields.empty())) Changed = true;
  if (Changed) RefreshLookupListCache();
  if (!FDataFieldsUpdating) {
    UpdateLookupIsSetUp();
    UpdateLookupActive();
  }
}

void TDBLookupDataKv::UpdateLookupSource() { FInternalLookupSource->SetDataSet(GetLookupDataSet()); }

bool TDBLookupDataKv::CanUseDataSet(TDataSet* DataSet) const {
  return DataSet && !dblookuputilskv::Destroying(DataSet);
}

void TDBLookupDataKv::UpdateIntMemTable() {
  TDataSet* DS = FLookupLink->GetActive() ? FLookupLink->GetDataSet() : nullptr;
  IMemTableKv* Table = nullptr;
  if (!CanUseDataSet(DS) || !Supports(DS, Table)) Table = nullptr;
  if (Table != FIntMemTable) {
    IMemTableKv* Old = FIntMemTable;
    TDataSet* OldDataSet = FIntMemTableDataSet;
    FIntMemTable = Table;
    FIntMemTableDataSet = Table ? DS : nullptr;
    if (Table) Table->RegisterEventReceiver(this);
    // A table that is going away is not called.
    if (Old && OldDataSet && !dblookuputilskv::Destroying(OldDataSet)) Old->UnregisterEventReceiver(this);
  }
  RefreshLookupListCache();
}

void TDBLookupDataKv::ReceiveMTEvent(Integer, TMTViewEventTypeKv, Integer) {
  if (!FFilling) UpdateLookupState();
  LookupDataSetChanged();
}

void TDBLookupDataKv::ListDataSetChanged() {
  TDataSet* DS = FLookupLink->GetDataSet();
  if (FCacheState == TCacheStateKv::Stale || FFilling) return;
  if (!DS || DS->GetRecordCount() != FFilledRecordCount) LookupDataSetChanged();
}

void TDBLookupDataKv::LookupDataSetChanged() {
  if (!FFilling) FCacheState = TCacheStateKv::Stale;
}

// ---- State flags -----------------------------------------------------------------------------------------

bool TDBLookupDataKv::ComputeLookupActive() const {
  // Keys that cannot pair up element by element would make every look-up fail: not active.
  return !FKeyFields.empty() && FKeyFields.size() == FLookupKeyFields.size() && FLookupDisplayField &&
         FDataLink->GetActive() && FLookupLink->GetActive();
}

void TDBLookupDataKv::Notify() {
  if (!FDestroying && FAxisBar) FAxisBar->NotifyLookupChanged();
}

void TDBLookupDataKv::UpdateLookupIsSetUp() {
  FLookupActive = ComputeLookupActive();
  bool SetUp = !GetKeyFieldNames().empty() && !GetLookupKeyFieldNames().empty() &&
               !GetLookupDisplayFieldName().empty() && GetLookupDataSet();
  bool Changed = SetUp != FLookupIsSetUp;
  FLookupIsSetUp = SetUp;
  if (SetUp || Changed) Notify();
}

void TDBLookupDataKv::UpdateLookupActive() {
  bool Active = ComputeLookupActive();
  bool Changed = Active != FLookupActive;
  FLookupActive = Active;
  if (Active || Changed) Notify();
}

// ---- Values ------------------------------------------------------------------------------------------------

void TDBLookupDataKv::GetKeyValue(Variant& Value) { GetFieldsValues(FKeyFields, Value); }

void TDBLookupDataKv::GetLookupValue(Variant& Value) {
  Value = Null;
  if (!FDataLink->GetActive() || !FLookupListActive || FKeyFields.empty()) return;
  Variant Key;
  GetKeyValue(Key);
  TDataSet* DS = FLookupLink->GetDataSet();
  if (FLookupCache) {
    if (FCacheState == TCacheStateKv::Stale && DS && DS->GetState() == dsBrowse) FillCache();
    // A stale cache whose dataset is being edited answers from the last fill.
    if (FCacheState != TCacheStateKv::Failed) {
      FLookupListCache->FindValue(Key, Value);
      return;
    }
  }
  if (DS && DS->GetActive() && FKeyFields.size() == FLookupKeyFields.size())
    Value = DS->Lookup(GetLookupKeyFieldNames(), Key, GetLookupDisplayFieldName());
}

void TDBLookupDataKv::GetLookupValueOfRow(Integer RowNum, Variant& Value) {
  Value = Null;
  TDataSet* DS = FDataLink->GetDataSet();
  IMemTableKv* Table = nullptr;
  if (!CanUseDataSet(DS) || !Supports(DS, Table)) return;
  Table->InstantReadEnter(RowNum);
  try {
    GetLookupValue(Value);
  } catch (...) {
    Table->InstantReadLeave();
    throw;
  }
  Table->InstantReadLeave();
}

// ---- Cache --------------------------------------------------------------------------------------------------

void TDBLookupDataKv::RefreshLookupListCache() {
  if (FFilling) return;
  FLookupListCache->Clear();
  FCacheState = TCacheStateKv::Stale;
}

void TDBLookupDataKv::FillCache() {
  FLookupListCache->Clear();
  TDataSet* DS = FLookupLink->GetDataSet();
  if (!FLookupListActive || !FLookupDisplayField || !FLookupCache || !DS || DS->GetState() != dsBrowse) return;
  FCacheState = TCacheStateKv::Failed;
  try {
    FFilling = true;
    dblookuputilskv::TFillGuard Guard{DS, DS->GetActive(), FFilling};
    DS->DisableControls();
    TBookmark Bookmark = DS->GetBookmark();
    FLookupListCache->Reserve(DS->GetRecordCount());
    DS->First();
    Variant Key;
    while (!DS->GetEof()) {
      GetFieldsValues(FLookupKeyFields, Key);
      FLookupListCache->Add(std::move(Key), FLookupDisplayField->GetAsVariant());
      DS->Next();
    }
    if (DataSetBookmarkValid(DS, Bookmark)) DS->GotoBookmark(Bookmark);
  } catch (...) {
    // Pairs read so far are not sorted: answer through Lookup until the next refill.
    FLookupListCache->Clear();
    ++FCacheFillCount;
    return;
  }
  FLookupListCache->SortData();
  FFilledRecordCount = DS->GetRecordCount();
  FCacheState = TCacheStateKv::Valid;
  ++FCacheFillCount;
}

PUBLISHED_DEF(TDBLookupDataKv) {
  PROP(KeyFieldNames).Stored(&TDBLookupDataKv::LookupDataIsStored);
  PROP(LookupCache).Default(true);
  PROP(LookupDataSet).Stored(&TDBLookupDataKv::LookupDataIsStored);
  PROP(LookupDisplayFieldName).Stored(&TDBLookupDataKv::LookupDataIsStored);
  PROP(LookupKeyFieldNames).Stored(&TDBLookupDataKv::LookupDataIsStored);
}
