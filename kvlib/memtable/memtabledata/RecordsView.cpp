#include "kvlib/memtable/memtabledata/RecordsView.h"

#include <algorithm>
#include <cstring>

#include "framework/SysUtils.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/memtable/memtabledata/Aggregates.h"
#include "kvlib/memtable/memtabledata/Collation.h"
#include "kvlib/memtable/memtabledata/DataFields.h"
#include "kvlib/memtable/memtabledata/Internal.h"
#include "kvlib/memtable/memtabledata/Storage.h"

namespace RecordsViewKv {

const wchar_t* const SPostNotifyInfoDefined = L"PostNotifyInfo already defined";
const wchar_t* const SInvalidFieldName = L"Invalid field name: ";
const wchar_t* const SUnsupportedAggrFunc = L"Unsupported aggrigate function: ";
const wchar_t* const SReferenceLoop = L"Reference-loop found";

// A removed slot: probes pass over it.
TMemRecViewKv* const RemovedSlot = reinterpret_cast<TMemRecViewKv*>(alignof(std::max_align_t));

bool TurkishUser() { return SysLocale.PriLangID == 0x1F; }

// Appends V's bytes in an order that is the comparison's; false for a value without one.
bool AppendValueKey(const TMTValueRefKv& V, bool CaseIns, bool Desc, std::string& Key, std::string& Scratch) {
  size_t From = Key.size();
  switch (V.Kind) {
    case mvkNullKv:
      Key += char(0);
      break;
    case mvkIntegerKv:
      if (V.Int > (Int64(1) << 53) || V.Int < -(Int64(1) << 53)) return false;
      [[fallthrough]];
    case mvkFloatKv: case mvkCurrencyKv: case mvkDateKv: case mvkBooleanKv: {
      double D = V.AsDouble();
      if (D != D) return false;
      if (D == 0) D = 0;  // -0 equals 0
      UInt64 Bits;
      std::memcpy(&Bits, &D, 8);
      Bits = (Bits >> 63) ? ~Bits : Bits ^ (UInt64(1) << 63);
      Key += char(1);
      for (int S = 56; S >= 0; S -= 8) Key += char(Byte(Bits >> S));
      break;
    }
    case mvkTextKv:
      if (!TurkishUser()) return false;
      if (CaseIns) TurkishSortKeyNoCaseKv(V.Text, size_t(V.Length), Scratch);
      else TurkishSortKeyKv(V.Text, size_t(V.Length), Scratch);
      Key += char(2);
      // Zero bytes doubled, two zeros at the end: a key never runs into the next field's.
      for (char C : Scratch) {
        Key += C;
        if (C == 0) Key += char(0xFF);
      }
      Key += char(0);
      Key += char(0);
      break;
    default:
      return false;
  }
  if (Desc)
    for (size_t I = From; I < Key.size(); ++I) Key[I] = char(~Byte(Key[I]));
  return true;
}

size_t SlotOf(UInt64 Key, size_t Mask) { return size_t((Key * 0x9E3779B97F4A7C15ULL) >> 17) & Mask; }

}  // namespace RecordsViewKv

Integer TMemRecViewKv::GetInSortedListIndex() const { return FRecordsView->FSortedList.IndexOf(this); }

TRecDataValues& TMemRecViewKv::GetLookupBuffer() {
  if (!FLookupBuffer) FLookupBuffer = std::make_unique<TRecDataValues>();
  return *FLookupBuffer;
}

Integer TRecordsViewOrderByList::GetFieldIndex(const String& FieldName) {
  TMemTableDataKv* Data = FRecordsView ? FRecordsView->GetMemTableData() : nullptr;
  if (!Data) return -1;
  return Data->GetDataStruct()->FieldIndex(FieldName);
}


TRecordsViewKv::TRecordsViewKv(TDataSet* ADataSet)
    : TRecordsListNotificatorKv(nullptr),
      FDataSet(ADataSet),
      FAggregates(new TMTAggregatesKv(this)),
      FOrderByList(new TRecordsViewOrderByList(this)),
      FMemoryTreeList(new TMemoryTreeListKv(this)) {}

TRecordsViewKv::~TRecordsViewKv() { Teardown(); }

void TRecordsViewKv::DestroyContents() {
  // Going away: the handlers (whose owners may be gone already) hear nothing more.
  FOnViewDataEvent = nullptr;
  FOnViewRecordMovedEvent = nullptr;
  FOnFilterRecord = nullptr;
  FOnCalcLookupBuffer = nullptr;
  FOnGetPrefilteredList = nullptr;
  FOnCompareRecords = nullptr;
  FOnGetSortKey = nullptr;
  SetOnDataEvent(nullptr);
  SetOnAfterDataEvent(nullptr);
  SetOnRecordMoved(nullptr);
  SetDataObject(nullptr);
  FreeNodes();
  // Listeners of this view lose their data object.
  while (!FNotificators.empty()) FNotificators.back()->SetDataObject(nullptr);
  TRecordsListNotificatorKv::DestroyContents();
}

void TRecordsViewKv::SetMemTableData(TMemTableDataKv* Value) { SetDataObject(Value); }

// ---- The identity map ----------------------------------------------------------------------------

// Empties the map and keeps its room: a refresh fills it again.
void TRecordsViewKv::MapClear() {
  std::fill(FMap.begin(), FMap.end(), nullptr);
  FMapUsed = 0;
}

void TRecordsViewKv::MapGrow(size_t NewCapacity) {
  std::vector<TMemRecViewKv*, TMemTableAllocatorKv<TMemRecViewKv*>> Old(NewCapacity, nullptr);
  Old.swap(FMap);
  FMapUsed = 0;
  for (TMemRecViewKv* N : Old)
    if (N && N != RecordsViewKv::RemovedSlot) MapPut(N);
}

void TRecordsViewKv::MapPut(TMemRecViewKv* Node) {
  // Kept at most half full, removed slots counted, so a probe ends soon.
  if ((FMapUsed + 1) * 2 > FMap.size()) {
    size_t Live = 0;
    for (TMemRecViewKv* N : FMap) Live += N && N != RecordsViewKv::RemovedSlot;
    size_t Cap = 64;
    while (Cap < (Live + 1) * 3) Cap *= 2;
    MapGrow(Cap);
  }
  UInt64 Key = Node->FRec->GetHashCode();
  size_t Mask = FMap.size() - 1;
  for (size_t I = RecordsViewKv::SlotOf(Key, Mask);; I = (I + 1) & Mask) {
    TMemRecViewKv*& S = FMap[I];
    if (!S) {
      ++FMapUsed;
      S = Node;
      return;
    }
    if (S != RecordsViewKv::RemovedSlot && S->FRec == Node->FRec) {
      S = Node;
      return;
    }
  }
}

TMemRecViewKv* TRecordsViewKv::MapGet(const TMemoryRecordKv* ARec) const {
  if (FMap.empty() || !ARec) return nullptr;
  UInt64 Key = ARec->GetHashCode();
  size_t Mask = FMap.size() - 1;
  for (size_t I = RecordsViewKv::SlotOf(Key, Mask);; I = (I + 1) & Mask) {
    TMemRecViewKv* S = FMap[I];
    if (!S) return nullptr;
    if (S != RecordsViewKv::RemovedSlot && S->FRec == ARec) return S;
  }
}

void TRecordsViewKv::MapRemove(TMemoryRecordKv* ARec) {
  if (FMap.empty()) return;
  UInt64 Key = ARec->GetHashCode();
  size_t Mask = FMap.size() - 1;
  for (size_t I = RecordsViewKv::SlotOf(Key, Mask);; I = (I + 1) & Mask) {
    TMemRecViewKv*& S = FMap[I];
    if (!S) return;
    if (S != RecordsViewKv::RemovedSlot && S->FRec == ARec) {
      S = RecordsViewKv::RemovedSlot;
      return;
    }
  }
}

TMemRecViewKv* TRecordsViewKv::NodeOfRec(TMemoryRecordKv* ARec) const { return MapGet(ARec); }

TMemRecViewKv* TRecordsViewKv::NodeOfRecId(UInt64 RecId) const {
  if (FMap.empty() || RecId == 0) return nullptr;
  size_t Mask = FMap.size() - 1;
  for (size_t I = RecordsViewKv::SlotOf(RecId, Mask);; I = (I + 1) & Mask) {
    TMemRecViewKv* S = FMap[I];
    if (!S) return nullptr;
    if (S != RecordsViewKv::RemovedSlot && S->FRec->GetHashCode() == RecId) return S;
  }
}

// ---- Reading -------------------------------------------------------------------------------------

TMemoryRecordKv* TRecordsViewKv::Rec(Integer Index) const {
  TMemRecViewKv* N = RecordView(Index);
  return N ? N->FRec : nullptr;
}

TMemRecViewKv* TRecordsViewKv::RecordView(Integer Index) const { return FViewList.Get(Index); }

TMemRecViewKv* TRecordsViewKv::SortedListItem(Integer Index) const { return FSortedList.Get(Index); }

// A record has at most one row: its node's place answers what a scan of the rows would.
Integer TRecordsViewKv::IndexOfRec(TMemoryRecordKv* ARec) {
  TMemRecViewKv* N = MapGet(ARec);
  return N ? FViewList.IndexOf(N) : -1;
}

Integer TRecordsViewKv::IndexOfSortedListRec(TMemoryRecordKv* ARec) {
  TMemRecViewKv* N = MapGet(ARec);
  return N ? FSortedList.IndexOf(N) : -1;
}

// Positions are found from the nodes' places when asked: nothing waits to be renumbered.
void TRecordsViewKv::UpdateSortedListIndexes() {}

namespace RecordsViewKv {
TMemoryRecordKv* RowRec(const TRecordsViewKv* V, Integer Index) {
  TMemoryRecordKv* R = V->Rec(Index);
  if (!R) throw EListError(L"List index out of bounds (" + IntToStr(Index) + L")");
  return R;
}
}  // namespace RecordsViewKv

Variant TRecordsViewKv::Value(Integer RecNo, Integer ValNo) const {
  return RecordsViewKv::RowRec(this, RecNo)->GetDataValue(ValNo, dvvValueKv);
}

// ---- Changing ------------------------------------------------------------------------------------

namespace RecordsViewKv {
TRecordsListKv* ListOf(TRecordsViewKv* V) {
  TMemTableDataKv* D = V->GetMemTableData();
  if (!D) throw Exception(L"The records view has no storage");
  return D->GetRecordsList();
}
}  // namespace RecordsViewKv

TMemoryRecordKv* TRecordsViewKv::NewRecord() { return RecordsViewKv::ListOf(this)->NewRecord(); }
Integer TRecordsViewKv::AddRecord(TMemoryRecordKv* ARec) { return RecordsViewKv::ListOf(this)->AddRecord(ARec); }

void TRecordsViewKv::InsertRecord(Integer Index, TMemoryRecordKv* ARec) {
  TRecordsListKv* L = RecordsViewKv::ListOf(this);
  if (FViewAsTreeList) {
    // Behind the record of the row before, so it lands among that row's family.
    TMemoryRecordKv* Before = Index > 0 ? Rec(std::min(Index, Count()) - 1) : nullptr;
    L->InsertRecord(Before ? Before->GetIndex() + 1 : 0, ARec);
    return;
  }
  TMemoryRecordKv* At = Count() > 0 ? Rec(std::min(Index, Count() - 1)) : nullptr;
  L->InsertRecord(At ? At->GetIndex() : 0, ARec);
}

void TRecordsViewKv::DeleteRecord(Integer Index) {
  RecordsViewKv::ListOf(this)->DeleteRecord(RecordsViewKv::RowRec(this, Index)->GetIndex());
}

void TRecordsViewKv::SetValue(Integer RecNo, Integer ValNo, const Variant& AValue) {
  RecordsViewKv::ListOf(this)->SetValue(RecordsViewKv::RowRec(this, RecNo)->GetIndex(), ValNo, AValue);
}

void TRecordsViewKv::RevertRecord(Integer Index) {
  RecordsViewKv::ListOf(this)->RevertRecord(RecordsViewKv::RowRec(this, Index)->GetIndex());
}

void TRecordsViewKv::RefreshRecord(Integer Index, TMemoryRecordKv* FromRec) {
  RecordsViewKv::ListOf(this)->RefreshRecord(RecordsViewKv::RowRec(this, Index)->GetIndex(), FromRec);
}

void TRecordsViewKv::MergeChangeLog() { RecordsViewKv::ListOf(this)->MergeChangeLog(); }
void TRecordsViewKv::CancelUpdates() { RecordsViewKv::ListOf(this)->CancelUpdates(); }

TRecDataValues TRecordsViewKv::OldRecVals(Integer Index) const { return RecordsViewKv::RowRec(this, Index)->GetOldData(); }

void TRecordsViewKv::LockCachedUpdates() {
  ++FCachedUpdatesLockCount;
  if (GetMemTableData()) GetMemTableData()->GetRecordsList()->SetCachedUpdates(false);
}

void TRecordsViewKv::UnlockCachedUpdates() {
  if (FCachedUpdatesLockCount > 0) --FCachedUpdatesLockCount;
  if (FCachedUpdatesLockCount == 0 && GetMemTableData())
    GetMemTableData()->GetRecordsList()->SetCachedUpdates(FCachedUpdates);
}

// ---- Settings ------------------------------------------------------------------------------------

void TRecordsViewKv::SetSortOrder(const String& Value) {
  if (Value == FSortOrder) return;
  FOrderByList->ParseOrderByStr(Value);  // a parse error leaves everything as it was
  for (Integer I = 0; I < FOrderByList->GetCount(); ++I) FOrderByList->GetItem(I)->CaseIns = FSortOrderCaseInsensitive;
  FSortOrder = Value;
  ApplySortOrder();
}

void TRecordsViewKv::SetSortOrderCaseInsensitive(bool Value) {
  if (Value == FSortOrderCaseInsensitive) return;
  FSortOrderCaseInsensitive = Value;
  for (Integer I = 0; I < FOrderByList->GetCount(); ++I) FOrderByList->GetItem(I)->CaseIns = Value;
  ApplySortOrder();
}

void TRecordsViewKv::SetStatusFilter(TUpdateStatusSetKv Value) {
  if (Value == FStatusFilter) return;
  FStatusFilter = Value;
  RefreshFilteredRecsList(true);
}

// ---- Filtering and sorting -----------------------------------------------------------------------

bool TRecordsViewKv::IsRecordInFilter(TMemoryRecordKv* ARec, Integer, TMemRecViewKv* Node) {
  Integer Status = Integer(ARec->GetUpdateStatus());
  if (Status > 7 || !FStatusFilter.Contains(TUpdateStatus(Status))) return false;
  return FOnFilterRecord ? FOnFilterRecord(ARec, Node) : true;
}

Integer TRecordsViewKv::CompareViewRecords(TMemoryRecordKv* Rec1, TMemoryRecordKv* Rec2) {
  if (!FSortOrder.empty()) {
    if (FOnCompareRecords) return FOnCompareRecords(Rec1, Rec2, FOrderByList.get());
    // Without the table's comparison: the order-by fields, then the storage order. Texts under a
    // Turkish user go by the Turkish collation, as the keys do.
    for (Integer I = 0; I < FOrderByList->GetCount(); ++I) {
      TOrderByItemKv* It = FOrderByList->GetItem(I);
      TMTValueRefKv A = Rec1->GetValueRef(It->MTFieldIndex), B = Rec2->GetValueRef(It->MTFieldIndex);
      Integer C;
      if (A.Kind == mvkTextKv && B.Kind == mvkTextKv && RecordsViewKv::TurkishUser()) {
        if (It->CaseIns) {
          thread_local std::string KA, KB;
          TurkishSortKeyNoCaseKv(A.Text, size_t(A.Length), KA);
          TurkishSortKeyNoCaseKv(B.Text, size_t(B.Length), KB);
          Integer R = KA.compare(KB);
          C = R < 0 ? -1 : (R > 0 ? 1 : 0);
        } else {
          C = TurkishCompareKv(A.Text, A.Length, B.Text, B.Length);
        }
      } else if (It->CaseIns && A.Kind == mvkTextKv && B.Kind == mvkTextKv) {
        C = AnsiCompareText(String(A.TextView()), String(B.TextView()));
      } else {
        TVariantRelationship R = CompareValueRefsKv(A, B);
        C = R == vrLessThan ? -1 : (R == vrGreaterThan ? 1 : 0);
      }
      if (C != 0) return It->Desc ? -C : C;
    }
  }
  return Rec1->GetIndex() - Rec2->GetIndex();
}

Integer TRecordsViewKv::FindInsertPos(TMemRecViewKv* Node, Integer Hint) {
  Integer N = Count();
  TMemoryRecordKv* R = Node->FRec;
  auto Cmp = [&](Integer I) { return CompareViewRecords(FViewList.Get(I)->FRec, R); };
  if (N == 0 || Cmp(0) > 0) return 0;
  if (Cmp(N - 1) < 0) return N;
  if (Hint >= 0 && Hint <= N) {
    bool BeforeOk = Hint == 0 || Cmp(Hint - 1) <= 0;
    bool AtOk = Hint == N || Cmp(Hint) >= 0;
    if (BeforeOk && AtOk) return Hint;
  }
  Integer Lo = 0, Hi = N - 1, Mid = Hi / 2;
  for (;;) {
    Integer C = Cmp(Mid);
    if (C == 0) return Mid;
    if (C > 0) Hi = Mid;
    else Lo = Mid;
    Integer Next = (Lo + Hi) / 2;
    if (Next == Mid) return Mid + 1;
    Mid = Next;
  }
}

void TRecordsViewKv::InsertIntoView(Integer Pos, TMemRecViewKv* Node) { FViewList.Insert(std::min(Pos, Count()), Node); }

void TRecordsViewKv::RemoveFromView(Integer Pos) { FViewList.Delete(Pos); }

void TRecordsViewKv::CalcLookupBuffer(TMemRecViewKv* Node) {
  if (FOnCalcLookupBuffer) FOnCalcLookupBuffer(Node->FRec, Node);
}

void TRecordsViewKv::UpdateAllLookupBuffer() {
  FViewList.ForEach([this](TMemRecViewKv* N) {
    N->FLookupBuffer.reset();
    CalcLookupBuffer(N);
  });
}

void TRecordsViewKv::ApplySortOrder() {
  if (FViewAsTreeList) SortTreeNodes();
  else SortViewLists();
}

void TRecordsViewKv::SortViewLists() {
  SortData(FOrderByList.get(), FOnCompareRecords);
}

bool TRecordsViewKv::MakeSortKey(TMemoryRecordKv* ARec, std::string& Key) {
  Key.clear();
  if (FOnGetSortKey) return FOnGetSortKey(ARec, FOrderByList.get(), Key);
  if (FSortOrder.empty()) return true;
  // The table's own comparison may order otherwise than any key the view could make.
  if (FOnCompareRecords) return false;
  thread_local std::string Scratch;
  for (Integer I = 0; I < FOrderByList->GetCount(); ++I) {
    TOrderByItemKv* It = FOrderByList->GetItem(I);
    if (!RecordsViewKv::AppendValueKey(ARec->GetValueRef(It->MTFieldIndex), It->CaseIns, It->Desc, Key, Scratch))
      return false;
  }
  return true;
}

bool TRecordsViewKv::SortByKeys(TMTNodeListKv& List) {
  struct TKeyed {
    size_t Offset;
    Integer Length;
    Integer Index;
    TMemRecViewKv* Node;
  };
  std::vector<TKeyed> Keyed;
  Keyed.reserve(size_t(List.Count()));
  // Every key in one block: no allocation per record.
  std::string Block, Key;
  bool Ok = true;
  List.ForEach([&](TMemRecViewKv* N) {
    if (!Ok) return;
    if (!MakeSortKey(N->FRec, Key)) {
      Ok = false;
      return;
    }
    Keyed.push_back({Block.size(), Integer(Key.size()), N->FRec->GetIndex(), N});
    Block += Key;
  });
  if (!Ok) return false;
  const char* B = Block.data();
  // Ties go by storage index, as the comparison's do.
  std::sort(Keyed.begin(), Keyed.end(), [B](const TKeyed& X, const TKeyed& Y) {
    int C = std::memcmp(B + X.Offset, B + Y.Offset, size_t(std::min(X.Length, Y.Length)));
    if (C != 0) return C < 0;
    if (X.Length != Y.Length) return X.Length < Y.Length;
    return X.Index < Y.Index;
  });
  std::vector<TMemRecViewKv*> Rows;
  Rows.reserve(Keyed.size());
  for (const TKeyed& K : Keyed) Rows.push_back(K.Node);
  List.Assign(Rows);
  return true;
}

void TRecordsViewKv::SortByComparison(TMTNodeListKv& List) {
  // Ties go by storage index, so the order is total and equals any correct sort's.
  auto Less = [this](TMemRecViewKv* A, TMemRecViewKv* B) {
    Integer C = CompareViewRecords(A->FRec, B->FRec);
    if (C == 0) C = A->FRec->GetIndex() - B->FRec->GetIndex();
    return C < 0;
  };
  std::vector<TMemRecViewKv*> Rows = List.ToVector();
  std::sort(Rows.begin(), Rows.end(), Less);
  List.Assign(Rows);
}

void TRecordsViewKv::SortData(TObject*, const TCompareRecords&) {
  // One sort of all records: the view's rows are the sorted records it holds, in that order (the
  // order is total, so sorting the rows apart would give the same).
  if (!SortByKeys(FSortedList)) SortByComparison(FSortedList);
  std::vector<TMemRecViewKv*> Rows;
  Rows.reserve(size_t(FViewList.Count()));
  FSortedList.ForEach([&](TMemRecViewKv* N) {
    if (FViewList.Contains(N)) Rows.push_back(N);
  });
  // A prefiltered source may hold nodes of its own; those rows keep the comparison.
  if (Integer(Rows.size()) == FViewList.Count()) FViewList.Assign(Rows);
  else if (!SortByKeys(FViewList)) SortByComparison(FViewList);
  ViewDataEvent(nullptr, -1, rlnListChangedKv);
}

void TRecordsViewKv::FreeNodes() {
  FMemoryTreeList->Clear();
  FViewList.Clear();
  FSortedList.ForEach([](TMemRecViewKv* N) { delete N; });
  FSortedList.Clear();
  MapClear();
}

void TRecordsViewKv::RefreshFilteredRecsList(bool NotifyListChanged) {
  if (FViewAsTreeList) return RefreshTree(NotifyListChanged);
  FreeNodes();
  TMemTableDataKv* Data = GetMemTableData();
  if (Data) {
    TRecordsListKv* L = Data->GetRecordsList();
    Integer N = L->GetCount();
    // Room for every record at most half full: 8 to 16 bytes a record.
    size_t Cap = 64;
    while (Cap < size_t(N) * 2) Cap *= 2;
    if (FMap.size() < Cap || FMap.size() > Cap * 4) MapGrow(Cap);
    for (Integer I = 0; I < N; ++I) {
      auto* Node = new TMemRecViewKv(this, L->GetRec(I));
      FSortedList.AppendBulk(Node);
      MapPut(Node);
    }
    FSortedList.EndBulk();
    std::vector<TMemRecViewKv*>* Source = FOnGetPrefilteredList ? FOnGetPrefilteredList() : nullptr;
    FFilterAborted = false;
    Integer At = 0;
    auto Test = [&](TMemRecViewKv* Node) {
      if (FFilterAborted) return;
      if (IsRecordInFilter(Node->FRec, At++, nullptr)) FViewList.AppendBulk(Node);
    };
    if (Source) {
      for (TMemRecViewKv* Node : *Source) Test(Node);
    } else {
      FSortedList.ForEach(Test);
    }
    if (FFilterAborted) {
      FViewList.Clear();
    } else {
      FViewList.EndBulk();
      FViewList.ForEach([this](TMemRecViewKv* Node) { CalcLookupBuffer(Node); });
    }
  }
  if (!FSortOrder.empty()) SortViewLists();
  else if (NotifyListChanged) ViewDataEvent(nullptr, -1, rlnListChangedKv);
  else RecalcAggregates();
}

void TRecordsViewKv::RecalcAggregates() { FAggregates->Recalc(); }

// ---- Notifications -------------------------------------------------------------------------------

void TRecordsViewKv::Remember(TPost& Post, TMemoryRecordKv* ARec, Integer Index, TRecordsListNotification Action) {
  if (Post.Set && Post.Action != Action && Action != rlnListChangedKv)
    throw Exception(RecordsViewKv::SPostNotifyInfoDefined);
  Post.Rec = ARec;
  Post.Index = Index;
  Post.Action = Action;
  Post.Set = true;
}

void TRecordsViewKv::DataEvent(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action) {
  TRecordsListNotificatorKv::DataEvent(MemRec, Index, Action);
  if (FDisableFilterCount >= 1) return;
  if (FViewAsTreeList) return TreeDataEvent(MemRec, Index, Action);
  TPost Post;
  switch (Action) {
    case rlnRecAddedKv: {
      auto* Node = new TMemRecViewKv(this, MemRec);
      FSortedList.Insert(Index >= 0 && Index < SortedListItemCount() ? Index : SortedListItemCount(), Node);
      MapPut(Node);
      if (IsRecordInFilter(MemRec, Index, nullptr)) {
        Integer Row = FindInsertPos(Node, -1);
        InsertIntoView(Row, Node);
        CalcLookupBuffer(Node);
        Remember(Post, MemRec, FViewList.IndexOf(Node), rlnRecAddedKv);
      }
      break;
    }
    case rlnRecChangedKv:
    case rlnRecMarkedForDelKv: {
      TMemRecViewKv* Node = MapGet(MemRec);
      if (!Node) break;
      Integer Old = IndexOfRec(MemRec);
      if (Old >= 0) RemoveFromView(Old);
      Integer New = -1;
      if (IsRecordInFilter(MemRec, Index, nullptr)) {
        New = std::min(FindInsertPos(Node, Old), Count());
        InsertIntoView(New, Node);
        CalcLookupBuffer(Node);
      }
      if (Old >= 0 && New >= 0) {
        if (Old != New) ViewRecordMovedEvent(MemRec, Old, New);
        Remember(Post, MemRec, New, Action);
      } else if (New >= 0) {
        Remember(Post, MemRec, New, rlnRecAddedKv);
      } else if (Old >= 0) {
        Remember(Post, MemRec, Old, rlnRecDeletedKv);
      }
      break;
    }
    case rlnRecDeletedKv: {
      TMemRecViewKv* Node = MapGet(MemRec);
      if (!Node) break;
      Integer Row = IndexOfRec(MemRec);
      if (Row >= 0) {
        RemoveFromView(Row);
        Remember(Post, MemRec, Row, rlnRecDeletedKv);
      }
      FSortedList.Delete(FSortedList.IndexOf(Node));
      MapRemove(MemRec);
      delete Node;
      break;
    }
    case rlnListChangedKv:
      RefreshFilteredRecsList(false);
      Remember(Post, MemRec, Index, rlnListChangedKv);
      break;
    default:
      return;
  }
  if (Post.Set) ViewDataEvent(Post.Rec, Post.Index, Post.Action);
  else RecalcAggregates();
}

void TRecordsViewKv::RecordMoved(TMemoryRecordKv* MemRec, Integer OldIndex, Integer NewIndex) {
  TRecordsListNotificatorKv::RecordMoved(MemRec, OldIndex, NewIndex);
  if (FDisableFilterCount >= 1) return;
  if (FViewAsTreeList) FMemoryTreeList->IndexesRecordMoved(MemRec, OldIndex, NewIndex);
  TMemRecViewKv* Node = MapGet(MemRec);
  if (!Node) return;
  if (FViewAsTreeList) {
    FMemoryTreeList->RecordMoved(Node);
    if (FMemoryTreeList->GetVisibleItemsObsolete()) {
      FMemoryTreeList->SetVisibleItemsObsolete(false);
      ViewDataEvent(nullptr, -1, rlnListChangedKv);
    }
    return;
  }
  // The sorted list follows the storage's order when the view has no order of its own.
  if (FSortOrder.empty()) {
    FSortedList.Delete(FSortedList.IndexOf(Node));
    FSortedList.Insert(std::clamp(NewIndex, 0, SortedListItemCount()), Node);
  }
  Integer Old = IndexOfRec(MemRec);
  if (Old < 0) return;
  RemoveFromView(Old);
  Integer New = std::min(FindInsertPos(Node, Old), Count());
  InsertIntoView(New, Node);
  if (New != Old) {
    ViewRecordMovedEvent(MemRec, Old, New);
    ViewDataEvent(nullptr, -1, rlnListChangingKv);
  }
}

void TRecordsViewKv::ViewDataEvent(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action) {
  FCatchChanged = true;
  RecalcAggregates();
  if (FOnViewDataEvent) FOnViewDataEvent(MemRec, Index, Action);
  for (size_t I = 0; I < FNotificators.size(); ++I) FNotificators[I]->DataEvent(MemRec, Index, Action);
}

void TRecordsViewKv::ViewRecordMovedEvent(TMemoryRecordKv* MemRec, Integer OldIndex, Integer NewIndex) {
  if (FOnViewRecordMovedEvent) FOnViewRecordMovedEvent(MemRec, OldIndex, NewIndex);
  for (size_t I = 0; I < FNotificators.size(); ++I) FNotificators[I]->RecordMoved(MemRec, OldIndex, NewIndex);
}

void TRecordsViewKv::AddNotificator(TRecordsListNotificatorKv* Notificator) {
  if (std::find(FNotificators.begin(), FNotificators.end(), Notificator) == FNotificators.end())
    FNotificators.push_back(Notificator);
}

void TRecordsViewKv::RemoveNotificator(TRecordsListNotificatorKv* Notificator) {
  FNotificators.erase(std::remove(FNotificators.begin(), FNotificators.end(), Notificator), FNotificators.end());
}

// ---- Tree mode -----------------------------------------------------------------------------------

Integer TRecordsViewKv::AccountableItemsCount() const {
  return FViewAsTreeList ? FMemoryTreeList->AccountableCount() : Count();
}

TMemoryRecordKv* TRecordsViewKv::AccountableRecord(Integer Index) const {
  if (!FViewAsTreeList) return Rec(Index);
  TMemRecViewKv* N = FMemoryTreeList->GetAccountableItem(Index);
  return N ? N->FRec : nullptr;
}

void TRecordsViewKv::SetViewAsTreeList(bool Value) {
  if (Value == FViewAsTreeList) return;
  FViewAsTreeList = Value;
  RefreshFilteredRecsList(true);
}

void TRecordsViewKv::SetTreeViewKeyFieldName(const String& Value) {
  FTreeViewKeyFieldName = Value;
  UpdateFields();
}

void TRecordsViewKv::SetTreeViewRefParentFieldName(const String& Value) {
  FTreeViewRefParentFieldName = Value;
  UpdateFields();
}

void TRecordsViewKv::UpdateFields() {
  TMemTableDataKv* Data = GetMemTableData();
  auto Resolve = [&](const String& Names, TIntArray& Fields) {
    Fields.clear();
    if (Names.empty() || !Data) return;
    TList List;
    Data->GetDataStruct()->GetFieldList(&List, Names);
    for (Integer I = 0; I < List.GetCount(); ++I)
      Fields.push_back(static_cast<TMTDataFieldKv*>(List.GetItems(I))->GetIndex());
  };
  Resolve(FTreeViewKeyFieldName, FTreeViewKeyFields);
  Resolve(FTreeViewRefParentFieldName, FTreeViewRefParentFields);
}

void TRecordsViewKv::RebuildMemoryTreeList() {
  FreeNodes();
  TMemTableDataKv* Data = GetMemTableData();
  if (!FViewAsTreeList || !Data) return;
  UpdateFields();
  FMemoryTreeList->PrepareIndexes();
  TRecordsListKv* L = Data->GetRecordsList();
  Integer N = L->GetCount();
  size_t Cap = 64;
  while (Cap < size_t(N) * 2) Cap *= 2;
  if (FMap.size() < Cap || FMap.size() > Cap * 4) MapGrow(Cap);
  std::vector<TMemRecViewKv*> Nodes;
  Nodes.reserve(size_t(N));
  // Every record has its node before any is placed: a parent found by an index whose node is
  // not in the tree yet counts as absent, as it would for a search of the tree.
  for (Integer I = 0; I < N; ++I) {
    auto* Node = new TMemRecViewKv(this, L->GetRec(I));
    Nodes.push_back(Node);
    FSortedList.AppendBulk(Node);
    MapPut(Node);
  }
  FSortedList.EndBulk();
  FMemoryTreeList->SetSortOrder(FSortOrder);
  FMemoryTreeList->BeginBulk();
  TMTScopeExitKv End([this] { FMemoryTreeList->EndBulk(); });
  for (TMemRecViewKv* Node : Nodes) FMemoryTreeList->AddChildAtKey(Node);
}

void TRecordsViewKv::RefreshFilteredRecsTreeList() {
  if (!FViewAsTreeList) return;
  TMemoryTreeListKv* T = FMemoryTreeList.get();
  T->BeginBulk();
  {
    TMTScopeExitKv End([T] { T->EndBulk(); });
    T->UpdateNodesState(nullptr);
    if (!T->GetFilterNodeIfParentVisible()) T->ShowSubtreesOfFilteredNodes(nullptr);
    if (!FSortOrder.empty()) T->SortData(true);
  }
  T->SetVisibleItemsObsolete(false);
}

void TRecordsViewKv::SortTreeNodes() {
  if (!FViewAsTreeList) return;
  if (FMemoryTreeList->GetSortOrder() != FSortOrder) FMemoryTreeList->SetSortOrder(FSortOrder);
  else FMemoryTreeList->Resort();
  FMemoryTreeList->SetVisibleItemsObsolete(false);
}

void TRecordsViewKv::RefreshTree(bool NotifyListChanged) {
  RebuildMemoryTreeList();
  RefreshFilteredRecsTreeList();
  if (NotifyListChanged) ViewDataEvent(nullptr, -1, rlnListChangedKv);
  else RecalcAggregates();
}

void TRecordsViewKv::AddTreeNode(TMemoryRecordKv* MemRec) {
  TMemRecViewKv* Node = MapGet(MemRec);
  if (!Node) {
    Node = new TMemRecViewKv(this, MemRec);
    MapPut(Node);
  }
  try {
    FMemoryTreeList->AddChildAtKey(Node);
  } catch (...) {
    // A node the tree refused stays with no list and no map entry.
    MapRemove(MemRec);
    delete Node;
    throw;
  }
  FMemoryTreeList->UpdateNodeState(Node, true);
}

// The node goes with its record; its descendants are placed anew by key, so they find another
// parent of the same key or go to the top level.
void TRecordsViewKv::DeleteTreeNode(TMemRecViewKv* Node) {
  TMemoryTreeListKv* T = FMemoryTreeList.get();
  std::vector<TMemRecViewKv*> Desc;
  for (Integer I = 0; I < Node->GetNodesCount(); ++I) {
    std::vector<TMemRecViewKv*> Todo{Node->GetNodeItems(I)};
    while (!Todo.empty()) {
      TMemRecViewKv* N = Todo.back();
      Todo.pop_back();
      Desc.push_back(N);
      for (Integer C = N->GetNodesCount() - 1; C >= 0; --C) Todo.push_back(N->GetNodeItems(C));
    }
  }
  TMemRecViewKv* Parent = Node->GetNodeParent();
  T->ExtractNode(Node);
  MapRemove(Node->FRec);
  delete Node;  // its links go, and with them the subtree's links to it
  for (TMemRecViewKv* N : Desc) T->AddChildAtKey(N);
  // Children before parents, so each parent counts its children as they are now.
  for (auto It = Desc.rbegin(); It != Desc.rend(); ++It) T->UpdateNodeState(*It, true);
  if (Parent) T->UpdateNodeState(Parent, true);
}

void TRecordsViewKv::TreeDataEvent(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action) {
  TMemoryTreeListKv* T = FMemoryTreeList.get();
  if (Action != rlnListChangedKv) T->NotifyIndexes(MemRec, Index, Action);
  switch (Action) {
    case rlnRecAddingKv:
    case rlnRecChangingKv:
      // Refused before the storage changes.
      if (T->CheckReferenceLoop(MemRec, Variant())) throw Exception(RecordsViewKv::SReferenceLoop);
      return;
    case rlnRecAddedKv:
      AddTreeNode(MemRec);
      break;
    case rlnRecChangedKv: {
      TMemRecViewKv* Node = MapGet(MemRec);
      // A record that had left the tree (a cancelled deletion) comes back.
      if (!Node || !Node->GetNodeParent()) {
        AddTreeNode(MemRec);
        break;
      }
      T->UpdateParent(Node);
      T->UpdateNodeState(Node, true);
      break;
    }
    case rlnRecDeletedKv:
    case rlnRecMarkedForDelKv: {
      TMemRecViewKv* Node = MapGet(MemRec);
      if (!Node) return;
      DeleteTreeNode(Node);
      break;
    }
    case rlnListChangedKv:
      RefreshTree(false);
      T->SetVisibleItemsObsolete(true);
      break;
    default:
      return;
  }
  if (T->GetVisibleItemsObsolete()) {
    T->SetVisibleItemsObsolete(false);
    ViewDataEvent(nullptr, -1, rlnListChangedKv);
  } else {
    RecalcAggregates();
  }
}

// ---- Aggregates over the rows --------------------------------------------------------------------

Variant TRecordsViewKv::CalcAggrFieldFunc(const String& FieldName, const String& AggrFuncName) {
  if (FieldName == L"*" && AggrFuncName == L"COUNT") return Variant(Count());
  TMemTableDataKv* Data = GetMemTableData();
  Integer Field = Data ? Data->GetDataStruct()->FieldIndex(FieldName) : -1;
  if (Field < 0) throw Exception(String(RecordsViewKv::SInvalidFieldName) + FieldName);
  enum { afSum, afCount, afMin, afMax, afAvg } Func;
  if (AggrFuncName == L"SUM") Func = afSum;
  else if (AggrFuncName == L"COUNT") Func = afCount;
  else if (AggrFuncName == L"MIN") Func = afMin;
  else if (AggrFuncName == L"MAX") Func = afMax;
  else if (AggrFuncName == L"AVG") Func = afAvg;
  else throw Exception(String(RecordsViewKv::SUnsupportedAggrFunc) + AggrFuncName);
  Variant Result(0), Running = Null;
  FViewList.ForEach([&](TMemRecViewKv* Node) {
    Variant V = Node->FRec->GetDataValue(Field, dvvValueKv);
    if (VarIsNull(V) || V.IsEmpty()) return;
    switch (Func) {
      case afCount: Result = Result + Variant(1); break;
      case afSum: case afAvg: Result = Result + V; break;
      case afMin: if (VarIsNull(Running) || V < Running) Running = V; break;
      case afMax: if (VarIsNull(Running) || Running < V) Running = V; break;
    }
  });
  if (Func == afMin || Func == afMax) return Running;
  // AVG divides by every row, those without a value included; an empty view has no average.
  if (Func == afAvg) return Count() == 0 ? Variant(Null) : Result / Variant(Count());
  return Result;
}
