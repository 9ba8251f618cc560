#include "kvlib/memtable/memtablekv/MemTable.h"

#include <algorithm>
#include <cstring>

#include "framework/db/DBConsts.h"
#include "framework/db/Params.h"

namespace MemTableKv {
const wchar_t* const SNoData = L"MemTable doesn't have data.";
const wchar_t* const SExternalWithDriver = L"Assigning to ExternalMemData is not allowed if DataDriver is assigned";
const wchar_t* const SUnknownFieldType = L"Field '%s' is of an unknown type";

TBookmarkDataKv ReadBookmark(const TBookmark& B) {
  TBookmarkDataKv D;
  if (B.Size() >= Integer(sizeof(D))) std::memcpy(&D, B.Data(), sizeof(D));
  return D;
}

void WriteBookmark(const TBookmark& B, const TBookmarkDataKv& D) {
  if (B.Size() >= Integer(sizeof(D))) std::memcpy(B.Data(), &D, sizeof(D));
}
}  // namespace MemTableKv

PUBLISHED_DEF(TMemTableKv) {
  PROP_RW(CachedUpdates, GetCachedUpdates, SetCachedUpdates).Default(false);
  PROP_RW(FetchAllOnOpen, GetFetchAllOnOpen, SetFetchAllOnOpen).Default(false);
  PROP_RW(ReadOnly, GetReadOnly, SetReadOnly).Default(false);
  PROP_RW(StoreDefs, GetStoreDefs, SetStoreDefs).Default(false);
}

// ---- TMTRecBuf --------------------------------------------------------------------------------------

Variant TMTRecBuf::GetValue(TField* Field, Integer DataIndex) const {
  if (UseMemRec && MemRec && Field->GetFieldNo() > 0 && DataIndex >= 0)
    return MemRec->GetDataValue(DataIndex, dvvValueKv);
  Integer I = Field->GetIndex();
  if (UseMemRec && RecView && Field->GetFieldNo() <= 0 && RecView->HasLookupBuffer() &&
      I < Integer(RecView->GetLookupBuffer().size()))
    return RecView->GetLookupBuffer()[size_t(I)];
  return I >= 0 && I < Integer(Values.size()) ? Values[size_t(I)] : Variant();
}

void TMTRecBuf::SetValue(TField* Field, Integer DataIndex, const Variant& Value, const std::vector<Integer>& DataIndexes,
                         TFields* Fields) {
  Integer I = Field->GetIndex();
  if (I >= Integer(Values.size())) Values.resize(size_t(I) + 1);
  bool Computed = Field->GetFieldKind() == fkCalculated || Field->GetFieldKind() == fkLookup;
  if (UseMemRec && Computed) {
    if (RecView) {
      TRecDataValues& L = RecView->GetLookupBuffer();
      if (I >= Integer(L.size())) L.resize(size_t(I) + 1);
      L[size_t(I)] = Value;
    }
  } else if (UseMemRec && Field->GetFieldNo() > 0 && DataIndex >= 0) {
    // Copy on the first write: every data value of the record comes over.
    for (Integer F = 0; F < Fields->GetCount() && F < Integer(DataIndexes.size()); ++F) {
      TField* Fd = Fields->GetField(F);
      if (Fd->GetFieldNo() > 0 && DataIndexes[size_t(F)] >= 0 && MemRec)
        Values[size_t(F)] = MemRec->GetDataValue(DataIndexes[size_t(F)], dvvValueKv);
    }
    UseMemRec = false;
  }
  Values[size_t(I)] = Value;
}

Variant TMTRecBuf::GetOldValue(TField* Field, Integer DataIndex) const {
  if (UseMemRec && MemRec && Field->GetFieldNo() > 0 && DataIndex >= 0)
    return MemRec->HasOldData() ? MemRec->GetDataValue(DataIndex, dvvOldValueKv) : GetValue(Field, DataIndex);
  Integer I = Field->GetIndex();
  return I >= 0 && I < Integer(Values.size()) ? Values[size_t(I)] : Variant();
}

void TMTRecBuf::SetLength(Integer N) {
  if (Integer(Values.size()) != N) Values.resize(size_t(std::max(N, 0)));
  Clear();
}

void TMTRecBuf::Clear() {
  for (Variant& V : Values) V = Variant();
}

// ---- Construction --------------------------------------------------------------------------------

TCustomMemTableKv::TCustomMemTableKv(TComponent* AOwner) : TDataSet(AOwner), FParams(new TParams(this)) {
  FInternMemTableData = CreateMemTableData();
  FInternMemTableData->SetName(L"MemTableData");
  FRecordsView = std::make_unique<TRecordsViewKv>(this);
  FRecordsView->SetOnCalcLookupBuffer(
      [this](TMemoryRecordKv* Item, TMemRecViewKv* RecView) { ViewCalcLookupBuffer(Item, RecView); });
  FRecordsView->SetOnFetchRecords([this](Integer Count) { return ViewFetchRecords(Count); });
  FRecordsView->SetOnStructChanged([this](TMemTableDataKv* D) { ViewStructChanged(D); });
  FRecordsView->SetMemTableData(FInternMemTableData);
}

TCustomMemTableKv::~TCustomMemTableKv() {
  Destroying();
  Close();
  SetDataDriver(nullptr);
  if (FExternalMemData) FExternalMemData->RemoveFreeNotification(this);
  FExternalMemData = nullptr;
  FRecordsView.reset();
  FRecordCache.clear();
  FIndexDefs.reset();
}

TMemTableDataKv* TCustomMemTableKv::CreateMemTableData() { return new TMemTableDataKv(this); }

TMemTableDataKv* TCustomMemTableKv::GetMemTableData() const {
  return FExternalMemData ? FExternalMemData->FInternMemTableData : FInternMemTableData;
}

TMTRecBuf* TCustomMemTableKv::RecBuf(TRecordBuffer Buffer) const {
  if (Buffer <= 0 || Buffer > NativeInt(FRecordCache.size())) return nullptr;
  return FRecordCache[size_t(Buffer - 1)].get();
}

void TCustomMemTableKv::SetParams(TParams* Value) { FParams->Assign(Value); }

TIndexDefs* TCustomMemTableKv::GetIndexDefs() {
  if (!FIndexDefs) FIndexDefs = std::make_unique<TIndexDefs>(this);
  return FIndexDefs.get();
}

void TCustomMemTableKv::SetIndexDefs(TIndexDefs* Value) { GetIndexDefs()->Assign(Value); }

void TCustomMemTableKv::UpdateIndexDefs() {
  if (GetComponentState().Contains(csDesigning) && FIndexDefs && FIndexDefs->GetCount() > 0) return;
  if (!GetActive() || GetIndexDefs()->GetUpdated()) return;
  GetFieldDefs()->Update();
  FIndexDefs->Clear();
  FIndexDefs->SetUpdated(true);
}

// ---- Activation --------------------------------------------------------------------------------------

void TCustomMemTableKv::SetActive(bool Value) {
  if (Value == GetActive()) return;
  TDataSet::SetActive(Value);
}

void TCustomMemTableKv::Loaded() {
  FInLoaded = true;
  try {
    TDataSet::Loaded();
  } catch (...) {
    FInLoaded = false;
    throw;
  }
  FInLoaded = false;
}

void TCustomMemTableKv::InternalHandleException() { TDataSet::InternalHandleException(); }

void TCustomMemTableKv::Notification(TComponent* AComponent, TOperation Operation) {
  TDataSet::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FExternalMemData) {
    // The shared storage goes: back to the own one, which may have nothing to open on.
    try {
      SetExternalMemData(nullptr);
    } catch (const EDatabaseError&) {
      FExternalMemData = nullptr;
    }
  }
  if (AComponent == FDataSetReader) FDataSetReader = nullptr;
  if (AComponent == FDataDriver) SetDataDriver(nullptr);
}

void TCustomMemTableKv::OpenCursor(bool InfoQuery) {
  if (!InfoQuery) {
    TMemTableDataKv* Data = GetMemTableData();
    if (FDataDriver) {
      FDataSetReader = FDataDriver->GetDataReader();
      if (FDataSetReader) FDataSetReader->FreeNotification(this);
      if (FOptions.Contains(mtoPersistentStructKv)) Data->ResetRecords();
      else if (GetFields()->GetCount() > 0) Data->GetDataStruct()->BuildStructFromFields(GetFields());
      else FDataDriver->BuildDataStruct(Data);
    } else if (Data->IsEmpty()) {
      DatabaseError(MemTableKv::SNoData, this);
    }
    InternalCreateIndexes();
    FActive = true;
  }
  TDataSet::OpenCursor(InfoQuery);
  if (!InfoQuery) {
    RefilterView();
    Resync({});
    FBOF = true;  // opened on the first row
  }
}

void TCustomMemTableKv::InternalOpen() {
  SetBookmarkSize(Integer(sizeof(TBookmarkDataKv)));
  GetFieldDefs()->SetUpdated(false);
  GetFieldDefs()->Update();
  if (GetDefaultFields()) CreateFields();
  BindFields(true);
  if (GetFields()->GetCount() == 0) DatabaseError(SNoFieldsDefined);
  FRecBufSize = -1;
  RebuildFieldMaps();
  InternalFirst();
  FRecordsView->GetAggregates()->Reset();
  TMemTableDataKv* Data = GetMemTableData();
  bool HasInternalCalc = false;
  for (TField* F : *GetFields()) HasInternalCalc = HasInternalCalc || F->GetFieldKind() == fkInternalCalc;
  if (FExternalMemData || !HasInternalCalc) {
    Data->SetOnFieldCalculation(nullptr);
  } else {
    Data->SetOnFieldCalculation(
        [this](TMemoryRecordKv* MemRec, TVariantArrayKv& Values) { InternalCalcRecord(MemRec, Values); });
    Data->GetRecordsList()->GetIndexes()->UpdateIndexes();
  }
}

void TCustomMemTableKv::InternalClose() {
  FActive = false;
  FAutoInc = 1;
  FRecordsView->GetAggregates()->Clear();
  BindFields(false);
  if (GetDefaultFields()) DestroyFields();
  FDataSetReader = nullptr;
  GetMemTableData()->SetOnFieldCalculation(nullptr);
  FRecordPos = -1;
  FDataIndexes.clear();
  if (FDataDriver) FDataDriver->ConsumerClosed(this);
}

void TCustomMemTableKv::InternalInitFieldDefs() {
  GetMemTableData()->GetDataStruct()->BuildFieldDefsFromStruct(GetFieldDefs());
}

void TCustomMemTableKv::CreateFields() {
  TMTDataStructKv* S = GetMemTableData()->GetDataStruct();
  for (TFieldDef* D : GetFieldDefs()->FlatList()) {
    TFieldType T = D->GetDataType();
    if (T == ftADT || T == ftArray || T == ftReference || T == ftDataSet) continue;
    if (D->GetAttributes().Contains(faHiddenCol) && !GetFieldDefs()->GetHiddenFields()) continue;
    TField* F = D->CreateField(this);
    if (TMTDataFieldKv* DF = S->FindField(D->GetName())) DF->AssignPropsTo(F);
  }
  String Keys = PSGetKeyFields();
  Integer Pos = 1;
  while (Pos <= Length(Keys)) {
    String Name = ExtractFieldName(Keys, Pos);
    if (TField* F = FindField(Name)) F->SetProviderFlags(F->GetProviderFlags() + TProviderFlags{pfInKey});
  }
}

TFieldClass TCustomMemTableKv::GetFieldClass(TFieldType FieldType) {
  // Object references have no field class of their own yet: a variant field carries them.
  if (FieldType == ftUnknown) return TVariantField::StaticClass();
  return TDataSet::GetFieldClass(FieldType);
}

void TCustomMemTableKv::InternalCreateIndexes() {
  if (!FIndexDefs || FIndexDefs->GetCount() == 0) return;
  TMTIndexesKv* Indexes = GetMemTableData()->GetRecordsList()->GetIndexes();
  Integer First = Indexes->GetCount();
  for (Integer I = 0; I < FIndexDefs->GetCount(); ++I) {
    TIndexDef* D = (*FIndexDefs)[I];
    TMTIndexKv* X = Indexes->Add();
    X->SetFields(D->GetFields());
    X->SetUnique(D->GetOptions().Contains(ixUnique));
    X->SetPrimary(D->GetOptions().Contains(ixPrimary));
  }
  for (Integer I = First; I < Indexes->GetCount(); ++I) Indexes->GetItems(I)->SetActive(true);
}

void TCustomMemTableKv::CreateDataSet() {
  CheckInactive();
  if (GetFields()->GetCount() > 0) GetFieldDefs()->Clear();
  if (GetFieldDefs()->GetCount() == 0) {
    FAutoIncrementFieldName.clear();
    for (TField* F : *GetFields()) {
      if (F->GetFieldKind() != fkData && F->GetFieldKind() != fkInternalCalc) continue;
      TFieldType T = F->GetDataType();
      if (T == ftCursor || T == ftArray || T == ftReference || T == ftDataSet || T == ftConnection ||
          T == ftParams || T == ftStream || T == ftObject || Integer(T) > Integer(ftSingle))
        DatabaseErrorFmt(MemTableKv::SUnknownFieldType, {F->GetDisplayName()});
      if (F->GetAutoGenerateValue() == arAutoInc) FAutoIncrementFieldName = F->GetFieldName();
    }
    TFieldDefs* Defs = GetFieldDefs();
    Defs->BeginUpdate();
    try {
      for (TField* F : *GetFields()) {
        if (F->GetFieldKind() != fkData && F->GetFieldKind() != fkInternalCalc) continue;
        TFieldDef* D = Defs->AddFieldDef();
        D->SetName(F->GetFieldName());
        D->SetDataType(F->GetDataType());
        D->SetSize(F->GetSize());
        D->SetInternalCalcField(F->GetFieldKind() == fkInternalCalc);
        TFieldAttributes A = D->GetAttributes();
        if (F->GetRequired()) A += TFieldAttributes{faRequired};
        if (F->GetReadOnly()) A += TFieldAttributes{faReadonly};
        D->SetAttributes(A);
        if (auto* B = dynamic_cast<TBCDField*>(F)) D->SetPrecision(B->GetPrecision());
        if (auto* B = dynamic_cast<TFMTBCDField*>(F)) D->SetPrecision(B->GetPrecision());
      }
    } catch (...) {
      Defs->EndUpdate();
      throw;
    }
    Defs->EndUpdate();
  }
  TMemTableDataKv* Data = GetMemTableData();
  Data->DestroyTable();
  Data->GetDataStruct()->BuildStructFromFieldDefs(GetFieldDefs());
  if (!FAutoIncrementFieldName.empty())
    if (TMTDataFieldKv* F = Data->GetDataStruct()->FindField(FAutoIncrementFieldName)) F->SetAutoIncrement(true);
  InternalCreateIndexes();
  Open();
}

void TCustomMemTableKv::EmptyTable() {
  BeginRecordsViewUpdate();
  try {
    GetMemTableData()->GetRecordsList()->Clear();
    GetMemTableData()->GetAutoIncrement()->Reset();
  } catch (...) {
    EndRecordsViewUpdate(false);
    throw;
  }
  EndRecordsViewUpdate(false);
  FRecordPos = -1;
  if (GetActive()) RefilterView();
}

void TCustomMemTableKv::ViewStructChanged(TMemTableDataKv*) {
  if (!GetActive() || FRestoringDriver) return;
  // Reopened on the new structure; the driver must not rebuild it meanwhile.
  TDataDriverKv* Driver = FDataDriver;
  FDataDriver = nullptr;
  FRestoringDriver = true;
  try {
    Close();
    if (GetMemTableData()->GetDataStruct()->GetCount() > 0) Open();
  } catch (...) {
    FDataDriver = Driver;
    FRestoringDriver = false;
    throw;
  }
  FDataDriver = Driver;
  FRestoringDriver = false;
}

void TCustomMemTableKv::SetExternalMemData(TCustomMemTableKv* Value) {
  if (Value == FExternalMemData) return;
  if (Value == this) throw Exception(SCircularDataLink);
  if (Value && FDataDriver) throw Exception(MemTableKv::SExternalWithDriver);
  bool WasActive = GetActive();
  if (!GetComponentState().Contains(csLoading)) Close();
  if (FExternalMemData) FExternalMemData->RemoveFreeNotification(this);
  FRecordsView->SetMemTableData(Value ? Value->FInternMemTableData : FInternMemTableData);
  if (Value) Value->FreeNotification(this);
  FExternalMemData = Value;
  if (WasActive && !GetComponentState().Contains(csDestroying)) Open();
}

// ---- Field maps -------------------------------------------------------------------------------------

void TCustomMemTableKv::RebuildFieldMaps() {
  FDataIndexes.assign(size_t(GetFields()->GetCount()), -1);
  FCalcFieldIndexes.assign(size_t(GetFields()->GetCount()), -1);
  TMTDataStructKv* S = GetMemTableData()->GetDataStruct();
  Integer Calc = 0;
  for (Integer I = 0; I < GetFields()->GetCount(); ++I) {
    TField* F = GetFields()->GetField(I);
    if (F->GetFieldNo() > 0) FDataIndexes[size_t(I)] = S->FieldIndex(F->GetFieldName());
    if (F->GetFieldKind() == fkCalculated || F->GetFieldKind() == fkLookup) FCalcFieldIndexes[size_t(I)] = Calc++;
  }
}

Integer TCustomMemTableKv::DataIndexOf(TField* Field) const {
  Integer I = Field->GetIndex();
  return I >= 0 && I < Integer(FDataIndexes.size()) ? FDataIndexes[size_t(I)] : -1;
}

// ---- Record buffers -----------------------------------------------------------------------------------

TRecordBuffer TCustomMemTableKv::AllocRecBuf() {
  size_t I = 0;
  while (I < FRecordCache.size() && FRecordCache[I]->InUse) ++I;
  if (I == FRecordCache.size()) FRecordCache.push_back(std::make_unique<TMTRecBuf>());
  TMTRecBuf* B = FRecordCache[I].get();
  B->InUse = true;
  B->RecordNumber = -2;
  B->SetLength(GetFields()->GetCount());
  return TRecordBuffer(I + 1);
}

void TCustomMemTableKv::FreeRecBuf(TRecordBuffer& Buffer) {
  TMTRecBuf* B = RecBuf(Buffer);
  if (B) {
    // The last entry goes when more than two spares would be left; handles in use never move.
    if (size_t(Buffer) == FRecordCache.size() && GetBufferCount() < Integer(FRecordCache.size()) - 2) {
      FRecordCache.pop_back();
    } else {
      B->InUse = false;
      B->RecordNumber = -1;
      B->Clear();
      B->RecView = nullptr;
      B->MemRec = nullptr;
      B->UseMemRec = false;
    }
  }
  Buffer = 0;
}

void TCustomMemTableKv::InitRecord(TRecordBuffer Buffer) {
  TDataSet::InitRecord(Buffer);
  TMTRecBuf* B = RecBuf(Buffer);
  B->BookmarkData = TBookmarkDataKv();
  B->BookmarkFlag = bfInserted;
  B->RecordNumber = -1;
}

void TCustomMemTableKv::InternalInitRecord(TRecordBuffer Buffer) {
  TMTRecBuf* B = RecBuf(Buffer);
  if (Integer(B->Values.size()) != GetFields()->GetCount()) B->Values.resize(size_t(GetFields()->GetCount()));
  B->Clear();
  B->RecView = nullptr;
  B->MemRec = nullptr;
  B->UseMemRec = false;
}

void TCustomMemTableKv::FillRecBufFromRecord(TMemoryRecordKv* Rec, Integer Row, TRecordBuffer Buffer, bool Calculate) {
  TMTRecBuf* B = RecBuf(Buffer);
  B->RecordNumber = Row;
  B->BookmarkFlag = bfCurrent;
  B->MemRec = Rec;
  B->RecView = nullptr;
  B->BookmarkData.RecId = Rec->GetHashCode();
  B->BookmarkData.RecViewIndex = Row;
  B->BookmarkData.InSortedListIndex = -1;  // found when a bookmark of it is compared
  B->UseMemRec = true;
  if (Row >= 0) B->RecView = FRecordsView->RecordView(Row);
  if (Calculate && (GetCalcFieldsSize() > 0 || GetInternalCalcFields())) CalculateFields(Buffer);
}

// ---- Cursor -------------------------------------------------------------------------------------------

void TCustomMemTableKv::FetchMore(bool All) {
  if (!FDataDriver || FDataDriver->ProviderEOF()) return;
  BeginRecordsViewUpdate();
  try {
    GetMemTableData()->FetchRecords(All ? -1 : 1);
  } catch (...) {
    EndRecordsViewUpdate(false);
    throw;
  }
  EndRecordsViewUpdate(false);
}

TGetResult TCustomMemTableKv::GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) {
  TGetResult Result = grOK;
  Integer Count = FRecordsView->ViewItemsCount();
  switch (GetMode) {
    case gmCurrent:
      if (FRecordPos < 0 || FRecordPos >= Count) Result = grError;
      break;
    case gmNext:
      if (FRecordPos >= Count - 1) {
        FetchMore(FFetchAllOnOpen);
        Count = FRecordsView->ViewItemsCount();
      }
      if (FRecordPos < Count - 1) {
        ++FRecordPos;
      } else {
        FRecordPos = Count;
        Result = grEOF;
      }
      break;
    case gmPrior:
      if (FRecordPos > 0) {
        FRecordPos = std::min(FRecordPos, Count) - 1;
        if (FRecordPos < 0) Result = grBOF;
      } else {
        FRecordPos = -1;
        FInstantReadCurRowNum = 0;
        Result = grBOF;
      }
      break;
  }
  if (FRecordPos >= 0) FInstantReadCurRowNum = FRecordPos;
  if (Result == grOK) FillRecBufFromRecord(FRecordsView->Rec(FRecordPos), FRecordPos, Buffer);
  else if (Result == grError && DoCheck) DatabaseError(SNoDataFound, this);
  return Result;
}

void TCustomMemTableKv::InternalFirst() {
  FRecordPos = -1;
  FInstantReadCurRowNum = 0;
}

void TCustomMemTableKv::InternalLast() {
  FetchMore(true);
  Integer Count = FRecordsView->ViewItemsCount();
  FRecordPos = Count;
  FInstantReadCurRowNum = dsEditModes.Contains(GetState()) ? Count : Count - 1;
}

Integer TCustomMemTableKv::GetRecordCount() {
  CheckActive();
  return FRecordsView->ViewItemsCount();
}

Integer TCustomMemTableKv::GetRecNo() {
  CheckActive();
  TMTRecBuf* B = RecBuf(GetActiveBuffer());
  if (!B || (GetState() != dsInsert && IsEmpty())) return -1;
  return B->RecordNumber + 1;
}

void TCustomMemTableKv::SetRecNo(Integer Value) {
  CheckBrowseMode();
  if (Value < 1 || Value > FRecordsView->ViewItemsCount()) return;
  DoBeforeScroll();
  FRecordPos = Value - 1;
  Resync({});
  DoAfterScroll();
}

TMemoryRecordKv* TCustomMemTableKv::GetRec() {
  TRecordBuffer B = 0;
  if (!GetActiveRecBuf(B)) return nullptr;
  return RecBuf(B)->MemRec;
}

TMemRecViewKv* TCustomMemTableKv::GetRecView() {
  TRecordBuffer B = 0;
  if (!GetActiveRecBuf(B)) return nullptr;
  return RecBuf(B)->RecView;
}

bool TCustomMemTableKv::GotoRec(TMemoryRecordKv* Rec) {
  CheckActive();
  Integer Row = FRecordsView->IndexOfRec(Rec);
  if (Row < 0) return false;
  SetRecNo(Row + 1);
  return true;
}

// ---- Bookmarks ----------------------------------------------------------------------------------------

void TCustomMemTableKv::RefreshBookmark(TBookmarkDataKv& D, TMemRecViewKv*& Node) {
  Node = nullptr;
  if (D.RecId == 0) {
    D.RecViewIndex = -1;
    D.InSortedListIndex = -1;
    return;
  }
  // The row hint first: a record at that row with the same identity is the one.
  if (D.RecViewIndex >= 0 && D.RecViewIndex < FRecordsView->ViewItemsCount()) {
    TMemRecViewKv* N = FRecordsView->RecordView(D.RecViewIndex);
    if (N && N->GetRec()->GetHashCode() == D.RecId) {
      Node = N;
      if (D.InSortedListIndex < 0 || FRecordsView->SortedListItem(D.InSortedListIndex) != N)
        D.InSortedListIndex = N->GetInSortedListIndex();
      return;
    }
  }
  Node = FRecordsView->NodeOfRecId(D.RecId);
  if (!Node) {
    D.RecViewIndex = -1;
    D.InSortedListIndex = -1;
    return;
  }
  D.RecViewIndex = FRecordsView->IndexOfRec(Node->GetRec());
  D.InSortedListIndex = Node->GetInSortedListIndex();
}

TMemRecViewKv* TCustomMemTableKv::ResolveBookmark(const TBookmark& Bookmark, TBookmarkDataKv* Out) {
  if (Bookmark.Size() < Integer(sizeof(TBookmarkDataKv))) {
    if (Out) *Out = TBookmarkDataKv();
    return nullptr;
  }
  TBookmarkDataKv D = MemTableKv::ReadBookmark(Bookmark);
  TMemRecViewKv* Node = nullptr;
  RefreshBookmark(D, Node);
  // The bytes are shared: every holder of the bookmark sees the refreshed hints.
  MemTableKv::WriteBookmark(Bookmark, D);
  if (Out) *Out = D;
  return Node;
}

TMemoryRecordKv* TCustomMemTableKv::BookmarkToRec(const TBookmark& Bookmark) {
  TMemRecViewKv* N = ResolveBookmark(Bookmark);
  return N ? N->GetRec() : nullptr;
}

TBookmark TCustomMemTableKv::RecToBookmark(TMemoryRecordKv* Rec) {
  TBookmark B(Integer(sizeof(TBookmarkDataKv)));
  TBookmarkDataKv D;
  D.RecId = Rec ? Rec->GetHashCode() : 0;
  MemTableKv::WriteBookmark(B, D);
  return B;
}

bool TCustomMemTableKv::BookmarkValid(const TBookmark& Bookmark) {
  if (Bookmark.IsEmpty() || !GetActive()) return false;
  TBookmarkDataKv D;
  ResolveBookmark(Bookmark, &D);
  return D.InSortedListIndex >= 0;
}

bool TCustomMemTableKv::UniBookmarkValid(const TBytes& Bookmark) { return BookmarkValid(TBookmark(Bookmark)); }

bool TCustomMemTableKv::BookmarkStrValid(const AnsiString& Bookmark) {
  return BookmarkValid(TBookmark(TBytes(Bookmark.begin(), Bookmark.end())));
}

Integer TCustomMemTableKv::BookmarkToRecNo(const TBookmark& Bookmark) {
  if (Bookmark.IsEmpty() || !GetActive()) return 0;
  TBookmarkDataKv D;
  ResolveBookmark(Bookmark, &D);
  return D.RecViewIndex + 1;
}

Integer TCustomMemTableKv::UniBookmarkToRecNo(const TBytes& Bookmark) { return BookmarkToRecNo(TBookmark(Bookmark)); }

Integer TCustomMemTableKv::BookmarkStrToRecNo(const AnsiString& Bookmark) {
  return BookmarkToRecNo(TBookmark(TBytes(Bookmark.begin(), Bookmark.end())));
}

bool TCustomMemTableKv::BookmarkInVisibleView(const TBookmark& Bookmark) {
  if (Bookmark.IsEmpty() || !GetActive()) return false;
  TBookmarkDataKv D;
  ResolveBookmark(Bookmark, &D);
  return D.InSortedListIndex >= 0 && D.RecViewIndex >= 0;
}

Integer TCustomMemTableKv::CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
  bool E1 = Bookmark1.IsEmpty(), E2 = Bookmark2.IsEmpty();
  if (E1 || E2) return TDataSet::CompareBookmarks(Bookmark1, Bookmark2);
  TBookmarkDataKv D1, D2;
  ResolveBookmark(Bookmark1, &D1);
  ResolveBookmark(Bookmark2, &D2);
  if (D1.InSortedListIndex < D2.InSortedListIndex) return -1;
  if (D1.InSortedListIndex > D2.InSortedListIndex) return 1;
  return 0;
}

Integer TCustomMemTableKv::GotoBookmarkData(const TBookmark& Bookmark) {
  TBookmarkDataKv D;
  ResolveBookmark(Bookmark, &D);
  if (D.RecViewIndex < 0 || D.RecViewIndex >= FRecordsView->ViewItemsCount()) DatabaseError(SRecordNotFound, this);
  FRecordPos = D.RecViewIndex;
  FInstantReadCurRowNum = D.RecViewIndex;
  return D.RecViewIndex;
}

void TCustomMemTableKv::InternalGotoBookmark(const TBookmark& Bookmark) { GotoBookmarkData(Bookmark); }

void TCustomMemTableKv::InternalSetToRecord(TRecordBuffer Buffer) {
  TMTRecBuf* B = RecBuf(Buffer);
  // A new record with no neighbour under it has nowhere to go.
  if (!B || B->BookmarkData.RecId == 0) return;
  TBookmark Bm(Integer(sizeof(TBookmarkDataKv)));
  MemTableKv::WriteBookmark(Bm, B->BookmarkData);
  GotoBookmarkData(Bm);
  B->BookmarkData = MemTableKv::ReadBookmark(Bm);
}

void TCustomMemTableKv::GetBookmarkData(TRecordBuffer Buffer, TBookmark& Bookmark) {
  if (TMTRecBuf* B = RecBuf(Buffer)) MemTableKv::WriteBookmark(Bookmark, B->BookmarkData);
}

void TCustomMemTableKv::SetBookmarkData(TRecordBuffer Buffer, const TBookmark& Bookmark) {
  if (TMTRecBuf* B = RecBuf(Buffer)) B->BookmarkData = MemTableKv::ReadBookmark(Bookmark);
}

TBookmarkFlag TCustomMemTableKv::GetBookmarkFlag(TRecordBuffer Buffer) {
  TMTRecBuf* B = RecBuf(Buffer);
  return B ? B->BookmarkFlag : bfCurrent;
}

void TCustomMemTableKv::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) {
  if (TMTRecBuf* B = RecBuf(Buffer)) B->BookmarkFlag = Value;
}

// ---- Re-synchronisation and the view --------------------------------------------------------------------

void TCustomMemTableKv::Resync(TResyncMode Mode) {
  if (FRecordsViewUpdating > 0) {
    FRecordsViewUpdated = true;
    return;
  }
  TDataSet::Resync(Mode);
}

void TCustomMemTableKv::EndRecordsViewUpdate(bool DoResync) {
  if (FRecordsViewUpdating > 0) --FRecordsViewUpdating;
  if (DoResync && FRecordsViewUpdating == 0 && FRecordsViewUpdated) {
    FRecordsViewUpdated = false;
    if (GetState() != dsEdit && GetState() != dsInsert) Resync({});
  }
}

void TCustomMemTableKv::RefilterView() {
  BeginRecordsViewUpdate();
  try {
    FRecordsView->RefreshFilteredRecsList(true);
  } catch (...) {
    EndRecordsViewUpdate(false);
    throw;
  }
  EndRecordsViewUpdate(false);
  if (!GetActive() && GetState() != dsOpening && !FActive) return;
  ClearBuffers();
  InternalFirst();
  FBOF = true;
  GetNextRecord();
  GetNextRecords();
  NotifyEventReceivers(-1, 0, -1);
  DataEvent(deDataSetChange, 0);
}

void TCustomMemTableKv::NotifyEventReceivers(Integer, Integer, Integer) {}

void TCustomMemTableKv::DataEvent(TDataEvent Event, NativeInt Info) {
  if (Event == deFieldListChange) {
    if (GetActive() && !GetComponentState().Contains(csLoading)) {
      FRecordsView->GetAggregates()->Reset();
      RebuildFieldMaps();
      Resync({});
    } else {
      RebuildFieldMaps();
    }
  }
  TDataSet::DataEvent(Event, Info);
}

// ---- The driver's fetch -----------------------------------------------------------------------------------

Integer TCustomMemTableKv::ViewFetchRecords(Integer Count) {
  if (!FDataDriver) return 0;
  TMemTableDataKv* Data = GetMemTableData();
  Integer N0 = FRecordsView->ViewItemsCount();
  Integer R = FDataDriver->ReadData(Data, Count);
  // Records the filter refuses do not count: Count visible rows come when the provider has them.
  while (Count >= 0 && !FDataDriver->ProviderEOF() && FRecordsView->ViewItemsCount() < N0 + Count) {
    Integer More = FDataDriver->ReadData(Data, 1);
    if (More <= 0) break;
    R += More;
  }
  return R;
}

Integer TCustomMemTableKv::FetchRecords(Integer Count) {
  if (!GetActive()) return 0;
  Integer R = 0;
  BeginRecordsViewUpdate();
  try {
    R = GetMemTableData()->FetchRecords(Count);
  } catch (...) {
    EndRecordsViewUpdate(false);
    throw;
  }
  if (R > 0) FRecordsViewUpdated = true;
  EndRecordsViewUpdate(R > 0);
  return R;
}

void TCustomMemTableKv::SetDataDriver(TDataDriverKv* Value) {
  if (Value == FDataDriver) return;
  if (Value && FExternalMemData)
    throw Exception(L"Assigning to DataDriver is not allowed if ExternalMemData is assigned");
  if (FDataDriver) {
    FDataDriver->SetDataDriverConsumer(nullptr);
    FDataDriver->RemoveFreeNotification(this);
  }
  FDataDriver = Value;
  if (Value) {
    // A driver serves one table.
    if (auto* Other = dynamic_cast<TCustomMemTableKv*>(Value->GetDataDriverConsumer()); Other && Other != this)
      Other->SetDataDriver(nullptr);
    Value->SetDataDriverConsumer(this);
    Value->FreeNotification(this);
    DriverStructChanged();
    FRecordsView->SetOnApplyUpdates([this](TMemTableDataKv* D) { ViewApplyUpdates(D); });
  } else {
    FRecordsView->SetOnApplyUpdates(nullptr);
  }
}
