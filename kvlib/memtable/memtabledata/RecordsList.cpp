#include "kvlib/memtable/memtabledata/RecordsList.h"

#include <algorithm>
#include <cstring>

#include "framework/SysUtils.h"
#include "kvlib/memtable/memtabledata/DataFields.h"
#include "kvlib/memtable/memtabledata/Indexes.h"
#include "kvlib/memtable/memtabledata/Internal.h"
#include "kvlib/memtable/memtabledata/RecordLayout.h"
#include "kvlib/memtable/memtabledata/RecordsView.h"
#include "kvlib/memtable/memtabledata/Storage.h"

namespace {

using TRecordPtrKv = std::unique_ptr<TMemoryRecordKv>;

// A record's place word holds its chunk's number in 24 bits.
constexpr size_t RecordsChunkIdLimit = 0x00FFFFFF;

}  // namespace

TRecordsListKv::TRecordsListKv(TComponent* AOwner) : TComponent(nullptr) {
  if (AOwner) {
    FMemTableData = dynamic_cast<TMemTableDataKv*>(AOwner);
    if (!FMemTableData) throw Exception(AOwner->ClassName());
  }
  FIndexes = std::make_unique<TMTIndexesKv>(this);
  FChunkSums.push_back(0);
}

TRecordsListKv::~TRecordsListKv() {
  // The indexes go first: they only point at the records.
  FIndexes.reset();
  FKeptRead.reset();
  for (Pointer O : FDeltaList)
    if (O) static_cast<TMemoryRecordKv*>(O)->SetUpdateIndex(-1);
  FDeltaList.Clear();
  FDeletedList.Clear();
  FreeAll();
}

TMTDataStructKv* TRecordsListKv::GetDataStruct() const {
  return FMemTableData ? FMemTableData->GetDataStruct() : nullptr;
}

Integer TRecordsListKv::GetRecValCount() const {
  TMTDataStructKv* S = GetDataStruct();
  return S ? S->GetCount() : 0;
}

// ---- Positions ----------------------------------------------------------------------------------

Integer TRecordsListKv::ChunkBase(const TChunk* C) const {
  if (C->Ordinal == FHintOrdinal) return FHintBase;
  Integer Sum = 0;
  for (size_t I = size_t(C->Ordinal); I > 0; I -= I & (~I + 1)) Sum += FChunkSums[I];
  return Sum;
}

TRecordsListKv::TChunkPlace TRecordsListKv::PlaceOf(Integer Index) const {
  if (Index < 0 || Index >= FCount) TList::Error(SListIndexError, Index);
  // A walk in order stays in a chunk or steps to the next one.
  if (FHintOrdinal >= 0 && size_t(FHintOrdinal) < FChunks.size()) {
    TChunk* C = FChunks[size_t(FHintOrdinal)];
    if (Index >= FHintBase && Index < FHintBase + C->Count) return {C, Index - FHintBase};
    if (Index >= FHintBase + C->Count && size_t(FHintOrdinal) + 1 < FChunks.size()) {
      TChunk* Next = FChunks[size_t(FHintOrdinal) + 1];
      Integer Base = FHintBase + C->Count;
      if (Index < Base + Next->Count) {
        FHintOrdinal = Next->Ordinal;
        FHintBase = Base;
        return {Next, Index - Base};
      }
    }
  }
  // Down the Fenwick sums: the last chunk whose records before it are not more than Index.
  size_t N = FChunks.size(), At = 0, Step = 1;
  while (Step * 2 <= N) Step *= 2;
  Integer Rest = Index;
  for (; Step; Step >>= 1)
    if (At + Step <= N && FChunkSums[At + Step] <= Rest) {
      At += Step;
      Rest -= FChunkSums[At];
    }
  FHintOrdinal = Integer(At);
  FHintBase = Index - Rest;
  return {FChunks[At], Rest};
}

Integer TRecordsListKv::PositionOf(const TMemoryRecordKv* Rec) const {
  Cardinal Id = Rec->Chunk();
  if (Id == 0 || Id > FChunkById.size() || !FChunkById[Id - 1]) return -1;
  const TChunk* C = FChunkById[Id - 1];
  for (Integer I = 0; I < C->Count; ++I)
    if (C->Items[I] == Rec) return ChunkBase(C) + I;
  return -1;
}

TRecordsListKv::TChunk* TRecordsListKv::NewChunk(Integer Ordinal) {
  std::unique_ptr<TChunk> C(new TChunk());
  if (FFreeChunkIds.empty()) {
    if (FChunkById.size() >= RecordsChunkIdLimit) throw EListError(L"Too many records");
    FChunkById.push_back(nullptr);
    FFreeChunkIds.push_back(Cardinal(FChunkById.size() - 1));
  }
  FChunks.reserve(FChunks.size() + 1);
  C->Id = FFreeChunkIds.back();
  C->Ordinal = Ordinal;
  FFreeChunkIds.pop_back();
  FChunkById[C->Id] = C.get();
  FChunks.insert(FChunks.begin() + Ordinal, C.get());
  return C.release();
}

void TRecordsListKv::FreeChunk(TChunk* C) {
  FChunks.erase(FChunks.begin() + C->Ordinal);
  FChunkById[C->Id] = nullptr;
  FFreeChunkIds.push_back(C->Id);
  delete C;
}

void TRecordsListKv::ReindexChunks(Integer From) {
  size_t N = FChunks.size();
  for (size_t I = size_t(std::max(0, From)); I < N; ++I) FChunks[I]->Ordinal = Integer(I);
  FChunkSums.assign(N + 1, 0);
  for (size_t I = 1; I <= N; ++I) {
    FChunkSums[I] += FChunks[I - 1]->Count;
    size_t Up = I + (I & (~I + 1));
    if (Up <= N) FChunkSums[Up] += FChunkSums[I];
  }
  FHintOrdinal = -1;
}

void TRecordsListKv::ChunkResized(const TChunk* C, Integer Delta) {
  for (size_t I = size_t(C->Ordinal) + 1; I < FChunkSums.size(); I += I & (~I + 1)) FChunkSums[I] += Delta;
  FCount += Delta;
  // The chunks after this one begin elsewhere now.
  if (FHintOrdinal > C->Ordinal) FHintOrdinal = -1;
}

void TRecordsListKv::PutRecord(TMemoryRecordKv* Rec, TChunk* C, Integer At) {
  std::memmove(C->Items + At + 1, C->Items + At, size_t(C->Count - At) * sizeof(TMemoryRecordKv*));
  C->Items[At] = Rec;
  ++C->Count;
  Rec->SetChunk(C->Id + 1);
  ChunkResized(C, 1);
}

void TRecordsListKv::AppendRecord(TMemoryRecordKv* Rec) {
  TChunk* C = FChunks.empty() ? nullptr : FChunks.back();
  if (!C || C->Count == TChunk::Capacity) {
    C = NewChunk(Integer(FChunks.size()));
    // A chunk at the end joins the sums without counting them all anew.
    size_t I = FChunks.size();
    Integer Below = 0;
    for (size_t K = I - 1; K > I - (I & (~I + 1)); K -= K & (~K + 1)) Below += FChunkSums[K];
    FChunkSums.push_back(Below);
  }
  PutRecord(Rec, C, C->Count);
}

void TRecordsListKv::PutIn(Integer Index, TMemoryRecordKv* Rec) {
  if (Index == FCount) {
    AppendRecord(Rec);
    return;
  }
  TChunkPlace P = PlaceOf(Index);
  if (P.Chunk->Count == TChunk::Capacity) {
    // Full: its second half goes to a new chunk after it.
    TChunk* C = P.Chunk;
    TChunk* D = NewChunk(C->Ordinal + 1);
    Integer Half = C->Count / 2;
    D->Count = C->Count - Half;
    std::memcpy(D->Items, C->Items + Half, size_t(D->Count) * sizeof(TMemoryRecordKv*));
    C->Count = Half;
    for (Integer I = 0; I < D->Count; ++I) D->Items[I]->SetChunk(D->Id + 1);
    ReindexChunks(C->Ordinal);
    P = P.At < Half ? TChunkPlace{C, P.At} : TChunkPlace{D, P.At - Half};
  }
  PutRecord(Rec, P.Chunk, P.At);
}

TMemoryRecordKv* TRecordsListKv::TakeOut(Integer Index) {
  TChunkPlace P = PlaceOf(Index);
  TChunk* C = P.Chunk;
  TMemoryRecordKv* Rec = C->Items[P.At];
  std::memmove(C->Items + P.At, C->Items + P.At + 1, size_t(C->Count - P.At - 1) * sizeof(TMemoryRecordKv*));
  --C->Count;
  Rec->SetChunk(0);
  ChunkResized(C, -1);
  if (C->Count == 0) {
    Integer At = C->Ordinal;
    FreeChunk(C);
    ReindexChunks(At);
  } else if (size_t(C->Ordinal) + 1 < FChunks.size() &&
             C->Count + FChunks[size_t(C->Ordinal) + 1]->Count <= TChunk::Capacity / 2) {
    // Two thin chunks become one, so deletions leave no trail of near-empty ones.
    TChunk* Next = FChunks[size_t(C->Ordinal) + 1];
    std::memcpy(C->Items + C->Count, Next->Items, size_t(Next->Count) * sizeof(TMemoryRecordKv*));
    for (Integer I = 0; I < Next->Count; ++I) Next->Items[I]->SetChunk(C->Id + 1);
    C->Count += Next->Count;
    Integer At = C->Ordinal;
    FreeChunk(Next);
    ReindexChunks(At);
  }
  return Rec;
}

std::vector<TMemoryRecordKv*> TRecordsListKv::AllRecords() const {
  std::vector<TMemoryRecordKv*> Recs;
  Recs.reserve(size_t(FCount));
  for (const TChunk* C : FChunks) Recs.insert(Recs.end(), C->Items, C->Items + C->Count);
  return Recs;
}

void TRecordsListKv::RebuildChunks(const std::vector<TMemoryRecordKv*>& Recs) {
  for (TChunk* C : FChunks) delete C;
  FChunks.clear();
  FChunkById.clear();
  FFreeChunkIds.clear();
  FCount = 0;
  size_t Chunks = (Recs.size() + TChunk::Capacity - 1) / TChunk::Capacity;
  FChunks.reserve(Chunks);
  FChunkById.reserve(Chunks);
  size_t At = 0;
  while (At < Recs.size()) {
    std::unique_ptr<TChunk> C(new TChunk());
    C->Id = Cardinal(FChunkById.size());
    C->Ordinal = Integer(FChunks.size());
    C->Count = Integer(std::min<size_t>(TChunk::Capacity, Recs.size() - At));
    for (Integer I = 0; I < C->Count; ++I) {
      C->Items[I] = Recs[At + size_t(I)];
      C->Items[I]->SetChunk(C->Id + 1);
    }
    At += size_t(C->Count);
    FCount += C->Count;
    FChunkById.push_back(C.get());
    FChunks.push_back(C.release());
  }
  ReindexChunks(0);
}

void TRecordsListKv::Pack() {
  std::vector<TMemoryRecordKv*> Recs;
  Recs.reserve(size_t(FCount));
  for (const TChunk* C : FChunks)
    for (Integer I = 0; I < C->Count; ++I)
      if (C->Items[I]) Recs.push_back(C->Items[I]);
  if (Integer(Recs.size()) != FCount) RebuildChunks(Recs);
}

void TRecordsListKv::FreeAll() {
  for (TChunk* C : FChunks)
    for (Integer I = 0; I < C->Count; ++I)
      if (TMemoryRecordKv* Rec = C->Items[I]) {
        Rec->SetChunk(0);
        delete Rec;
      }
  RebuildChunks({});
}

TMemoryRecordKv* TRecordsListKv::GetRec(Integer Index) const {
  TChunkPlace P = PlaceOf(Index);
  return P.Chunk->Items[P.At];
}

void TRecordsListKv::SetRec(Integer Index, TMemoryRecordKv* Value) {
  TChunkPlace P = PlaceOf(Index);
  TMemoryRecordKv*& Slot = P.Chunk->Items[P.At];
  if (Slot == Value) return;
  // The record put out leaves the list unless it stands elsewhere in it (records swapped in turn).
  if (Slot && Slot->Chunk() == P.Chunk->Id + 1) {
    bool Stays = false;
    for (Integer I = 0; I < P.Chunk->Count && !Stays; ++I) Stays = I != P.At && P.Chunk->Items[I] == Slot;
    if (!Stays) Slot->SetChunk(0);
  }
  Slot = Value;
  if (Value) Value->SetChunk(P.Chunk->Id + 1);
  FIndexes->MarkStale();
}

Integer TRecordsListKv::IndexOf(TMemoryRecordKv* Item) const {
  if (!Item || Item->GetRecordsList() != this) return -1;
  return PositionOf(Item);
}

// ---- Layouts ------------------------------------------------------------------------------------

TRecordLayoutKv* TRecordsListKv::MakeLayout(Word TextRoom) {
  auto L = std::make_unique<TRecordLayoutKv>(this, GetDataStruct(), TextRoom);
  if (L->HasTexts()) {
    // The record's block ends on the pool's grain: what it rounds up to goes to the texts.
    size_t Bytes = TMemoryRecordKv::ValuesOffset + L->TextRoomAt + L->TextRoom;
    size_t Rounded = (Bytes + 7) / 8 * 8;
    if (Rounded - TMemoryRecordKv::ValuesOffset - L->TextRoomAt <= 0xFFFF)
      L = std::make_unique<TRecordLayoutKv>(this, GetDataStruct(),
                                            Word(Rounded - TMemoryRecordKv::ValuesOffset - L->TextRoomAt));
  }
  FLayouts.push_back(std::move(L));
  return FLayouts.back().get();
}

TRecordLayoutKv* TRecordsListKv::CurrentLayout() {
  TMTDataStructKv* S = GetDataStruct();
  if (FNewLayout && FNewLayout->Struct == S && FNewLayout->Current()) return FNewLayout;
  // Room for texts of the declared sizes, up to 16 characters each, until texts are seen.
  size_t Room = 0;
  for (Integer I = 0; S && I < S->GetCount(); ++I) {
    TMTDataFieldKv* F = S->GetDataField(I);
    TVarType T = F->VarDataType();
    if (T == varUString || T == varString || T == varOleStr) Room += size_t(std::clamp(F->GetSize(), 0, 16)) * sizeof(Char);
  }
  if (FTextRecords > 0) Room = size_t((FTextBytes + FTextRecords - 1) / FTextRecords);
  FNewLayout = MakeLayout(Word(std::min<size_t>(Room, 4096)));
  return FNewLayout;
}

void TRecordsListKv::NoteTexts(const TMemoryRecordKv* Rec) {
  const TRecordLayoutKv* L = Rec->FLayout;
  if (!L || !L->HasTexts()) return;
  FTextBytes += Int64(Rec->Current().TextChars() * sizeof(Char));
  if (++FTextRecords < FNextRoomCheck) return;
  FNextRoomCheck *= 4;
  // New records keep as much room as the texts taken so far need on average.
  Int64 Average = (FTextBytes + FTextRecords - 1) / FTextRecords;
  if (FNewLayout && FNewLayout->Current() && std::abs(Int64(FNewLayout->TextRoom) - Average) < 8) return;
  FNewLayout = nullptr;
  CurrentLayout();
}

void TRecordsListKv::RelayoutAll() {
  TRecordLayoutKv* L = CurrentLayout();
  for (TChunk* C : FChunks)
    for (Integer I = 0; I < C->Count; ++I) {
      TMemoryRecordKv* Rec = C->Items[I];
      if (Rec && !Rec->FLayout->Current()) Rec->Relayout(L);
    }
  FIndexes->MarkStale();
}

void TRecordsListKv::TakeLaidValues(TLaidValuesKv& Laid) {
  for (Integer R = 0; R < FCount && size_t(R) < Laid.size(); ++R) {
    TMemoryRecordKv* Rec = GetRec(R);
    Rec->CheckLayout();
    Rec->SetCurrentValues(Laid[size_t(R)].first);
    if (!Laid[size_t(R)].second.empty()) Rec->SetOldValues(Laid[size_t(R)].second);
  }
  FIndexes->MarkStale();
}

// ---- The indexes behind the notifications ---------------------------------------------------------

bool TRecordsListKv::HasActiveIndexes() const {
  for (Integer I = 0; I < FIndexes->GetCount(); ++I)
    if (FIndexes->GetItems(I)->IsMaintained()) return true;
  return false;
}

bool TRecordsListKv::KeysField(Integer Field) const {
  for (Integer I = 0; I < FIndexes->GetCount(); ++I)
    if (FIndexes->GetItems(I)->UsesField(Field)) return true;
  return false;
}

void TRecordsListKv::Rekey(TMemoryRecordKv* Rec, const std::function<void()>& Write) {
  FIndexes->BeginRekey(Rec);
  TMTScopeExitKv Done([&] { FIndexes->EndRekey(Rec); });
  Write();
}

void TRecordsListKv::ReplaceInIndexes(TMemoryRecordKv* Rec) {
  if (FIndexes->GetCount() > 0) FIndexes->Notify(Rec, Rec->GetIndex(), rlnRecChangedKv);
}

// ---- Records ------------------------------------------------------------------------------------

TMemoryRecordKv* TRecordsListKv::NewRecord() {
  TMemoryRecordKv* Rec = TMemoryRecordKv::Make(CurrentLayout());
  Rec->FHashCode = FNewHashCode++;
  return Rec;
}

void TRecordsListKv::Notify(TMemoryRecordKv* Rec, Integer Index, TRecordsListNotification Action) {
  if (FUpdateCount > 0) {
    // Dropped: the indexes are rebuilt when the update ends, or when used before.
    FIndexes->MarkStale();
    return;
  }
  if (!FIndexesCurrent && FIndexes->GetCount() > 0) FIndexes->Notify(Rec, Index, Action);
  if (FMemTableData) FMemTableData->Notify(Rec, Index, Action);
}

void TRecordsListKv::RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex) {
  FIndexes->RecordMoved(Item, OldIndex, NewIndex);
  if (FMemTableData) FMemTableData->RecordMoved(Item, OldIndex, NewIndex);
}

void TRecordsListKv::EndUpdate() {
  if (FUpdateCount == 0) return;
  if (--FUpdateCount == 0) Notify(nullptr, -1, rlnListChangedKv);
}

void TRecordsListKv::TakeDeltaSlot(TMemoryRecordKv* Rec) { Rec->SetUpdateIndex(FDeltaList.Add(Rec)); }

void TRecordsListKv::EmptyDeltaSlot(TMemoryRecordKv* Rec) {
  Integer Slot = Rec->GetUpdateIndex();
  if (Slot >= 0 && Slot < FDeltaList.GetCount() && FDeltaList.GetItems(Slot) == Rec) FDeltaList.SetItems(Slot, nullptr);
  Rec->SetUpdateIndex(-1);
}

bool TRecordsListKv::HasApplier() const { return FMemTableData && FMemTableData->HasApplier(); }

void TRecordsListKv::SetAutoIncValue(TMemoryRecordKv* Rec) {
  if (FMemTableData) FMemTableData->SetAutoIncValue(Rec);
}

void TRecordsListKv::InternalAddRecord(TMemoryRecordKv* Rec, Integer Index, bool Fetching, bool Append) {
  if (Rec->GetRecordsList() != this) throw Exception(L"Record.RecordsList is not the same.");
  if (Rec->GetAttached()) throw Exception(L"The record is already attached to RecordsList.");
  Integer At = Append ? FCount : Index;
  if (At < 0 || At > FCount) TList::Error(SListIndexError, At);
  Rec->CheckLayout();
  Notify(Rec, At, rlnRecAddingKv);
  if (!Fetching) SetAutoIncValue(Rec);
  if (!FCachedUpdates && !Fetching && HasApplier()) ApplyImmediately(Rec, akInsert);
  PutIn(At, Rec);
  NoteTexts(Rec);
  if (FCachedUpdates) {
    Rec->SetUpdateStatus(usInserted);
    if (Rec->GetUpdateIndex() < 0) TakeDeltaSlot(Rec);
  } else {
    Rec->SetUpdateStatus(usUnmodified);
  }
  Rec->SetEditState(resBrowseKv);
  Notify(Rec, At, rlnRecAddedKv);
}

Integer TRecordsListKv::AddRecord(TMemoryRecordKv* Rec) {
  InternalAddRecord(Rec, -1, false, true);
  return FCount - 1;
}

void TRecordsListKv::InsertRecord(Integer Index, TMemoryRecordKv* Rec) { InternalAddRecord(Rec, Index, false, false); }

Integer TRecordsListKv::FetchRecord(TMemoryRecordKv* Rec) {
  bool Saved = FCachedUpdates;
  FCachedUpdates = false;
  TMTScopeExitKv Restore([&] { FCachedUpdates = Saved; });
  InternalAddRecord(Rec, -1, true, true);
  return FCount - 1;
}

void TRecordsListKv::DeleteRecord(Integer Index) {
  TMemoryRecordKv* Rec = GetRec(Index);
  if (!FCachedUpdates) {
    PersistDeleteRecord(Index);
    return;
  }
  if (Rec->GetUpdateStatus() == usDeleted) throw Exception(L"Can't MarkDel the Deleted record");
  if (Rec->GetUpdateStatus() == usInserted) {
    EmptyDeltaSlot(Rec);
    PersistDeleteRecord(Index);
    return;
  }
  // A modified record keeps the values it had before its first change, so cancelling the
  // deletion gives back the original record rather than its edited form.
  Rec->SetUpdateError(nullptr);
  Rec->SetUpdateStatus(usDeleted);
  if (Rec->GetUpdateIndex() < 0) TakeDeltaSlot(Rec);
  Notify(Rec, Index, rlnRecMarkedForDelKv);
}

void TRecordsListKv::PersistDeleteRecord(Integer Index) {
  TMemoryRecordKv* Rec = GetRec(Index);
  Notify(Rec, Index, rlnRecDeletingKv);
  if (!FCachedUpdates && HasApplier()) ApplyImmediately(Rec, akDelete);
  TRecordPtrKv Gone(TakeOut(Index));
  EmptyDeltaSlot(Rec);
  Notify(Rec, Index, rlnRecDeletedKv);
}

void TRecordsListKv::DeleteRecords(const std::vector<TRecordsRangeKv>& RecordsRanges) {
  if (FCachedUpdates) throw Exception(L"Delete a range of record in CachedUpdates mode is not supported");
  PersistDeleteRecords(RecordsRanges);
}

void TRecordsListKv::PersistDeleteRecords(const std::vector<TRecordsRangeKv>& RecordsRanges) {
  for (const TRecordsRangeKv& R : RecordsRanges)
    if (R.LowIndex < 0 || R.HighIndex >= FCount || R.LowIndex > R.HighIndex)
      TList::Error(SListIndexError, R.LowIndex < 0 ? R.LowIndex : R.HighIndex);
  bool Apply = !FCachedUpdates && HasApplier();
  std::vector<TMemoryRecordKv*> Gone;
  size_t Most = 0;
  for (const TRecordsRangeKv& R : RecordsRanges) Most += size_t(R.HighIndex - R.LowIndex + 1);
  Gone.reserve(Most);  // taking a record out never fails for want of room
  {
    // The records whose deletion was made leave the list even when the applier refuses a later one.
    TMTScopeExitKv Finish([&] {
      Pack();
      // The indexes drop the entries of the records that went in one pass instead of sorting anew.
      for (Integer I = 0; I < FIndexes->GetCount(); ++I) FIndexes->GetItems(I)->RecordsRemoved();
      for (TMemoryRecordKv* Rec : Gone) {
        EmptyDeltaSlot(Rec);
        delete Rec;
      }
    });
    for (const TRecordsRangeKv& R : RecordsRanges)
      for (Integer I = R.LowIndex; I <= R.HighIndex; ++I) {
        TChunkPlace P = PlaceOf(I);
        TMemoryRecordKv* Rec = P.Chunk->Items[P.At];
        if (!Rec) continue;
        if (Apply) ApplyImmediately(Rec, akDelete);
        P.Chunk->Items[P.At] = nullptr;
        Rec->SetChunk(0);
        Gone.push_back(Rec);
      }
  }
  FIndexesCurrent = true;
  TMTScopeExitKv Current([this] { FIndexesCurrent = false; });
  Notify(nullptr, -1, rlnListChangedKv);
}

void TRecordsListKv::PersistRemoveRecord(Integer Index) {
  TMemoryRecordKv* Rec = GetRec(Index);
  Notify(Rec, Index, rlnRecDeletingKv);
  FDeletedList.Add(Rec);
  TakeOut(Index);
  Notify(Rec, Index, rlnRecDeletedKv);
}

void TRecordsListKv::PersistRemoveRecordInBatch(TMemoryRecordKv* Rec) {
  Integer Index = Rec->GetIndex();
  Notify(Rec, Index, rlnRecDeletingKv);
  FDeletedList.Add(Rec);
  TChunkPlace P = PlaceOf(Index);
  P.Chunk->Items[P.At] = nullptr;
  Rec->SetChunk(0);
  Notify(Rec, Index, rlnRecDeletedKv);
}

void TRecordsListKv::Move(Integer CurIndex, Integer NewIndex) {
  if (CurIndex == NewIndex) return;
  TMemoryRecordKv* Rec = GetRec(CurIndex);
  if (NewIndex < 0 || NewIndex >= FCount) TList::Error(SListIndexError, NewIndex);
  TakeOut(CurIndex);
  PutIn(NewIndex, Rec);
  RecordMoved(Rec, CurIndex, NewIndex);
}

Variant TRecordsListKv::GetValue(Integer RecNo, Integer ValNo) const {
  TMemoryRecordKv* Rec = GetRec(RecNo);
  if (ValNo < 0 || ValNo >= Rec->FieldCount()) TList::Error(SListIndexError, ValNo);
  Rec->CheckLayout();
  return Rec->RefIn(Rec->Current(), TMemoryRecordKv::vsCurrent, ValNo).ToVariant();
}

void TRecordsListKv::SetValue(Integer RecNo, Integer ValNo, const Variant& Value) {
  TMemoryRecordKv* Rec = GetRec(RecNo);
  if (ValNo < 0 || ValNo >= Rec->FieldCount()) TList::Error(SListIndexError, ValNo);
  Rec->CheckLayout();
  ChangeValues(Rec, RecNo, [&] {
    TPackedValuesKv Cur = Rec->Current();
    Rec->StoreIn(Cur, TMemoryRecordKv::vsCurrent, ValNo, Value);
  });
  Notify(Rec, RecNo, rlnRecChangedKv);
}

void TRecordsListKv::ChangeValues(TMemoryRecordKv* Rec, Integer Index, const std::function<void()>& Change) {
  // The new values are in place while the listeners are asked, so a unique index sees the new
  // key and can refuse it; the values before stand as the record's current ones meanwhile (an
  // open edit keeps its own copy). A refusal puts the values back.
  Rec->CheckLayout();
  bool OwnCopy = !Rec->HasTmpOld();
  TValuesCopyPtrKv Before(TValuesCopyKv::Make(Rec->FLayout, nullptr));
  TPackedValuesKv Saved = Before->Values();
  Rec->CopySet(Saved, TMemoryRecordKv::vsSaved, Rec->Current(), TMemoryRecordKv::vsCurrent);
  if (OwnCopy) Rec->TakeTmpOld();
  TMTScopeExitKv DropCopy([&] {
    if (OwnCopy) Rec->DropTmpOld();
  });
  TMTScopeExitKv DropSaved([&] {
    Rec->DropOddSet(TMemoryRecordKv::vsSaved);
    Rec->ReleaseChanges();
  });
  TMTScopeExitKv PutBack([&] {
    TPackedValuesKv Cur = Rec->Current();
    Rec->CopySet(Cur, TMemoryRecordKv::vsCurrent, Saved, TMemoryRecordKv::vsSaved);
  });
  Change();
  Notify(Rec, Index, rlnRecChangingKv);
  PutBack.Dismiss();
}

void TRecordsListKv::SortData(const TCompareRecords& Compare, TObject* ParamSort) {
  if (FCount > 1) QuickSort(0, FCount - 1, Compare, ParamSort);
  Notify(nullptr, -1, rlnListChangedKv);
}

namespace {

void RecordsQuickSort(std::vector<TMemoryRecordKv*>& Items, Integer L, Integer R, const TCompareRecords& Compare,
                      TObject* ParamSort) {
  while (L < R) {
    Integer I = L, J = R;
    TMemoryRecordKv* P = Items[size_t((L + R) >> 1)];
    do {
      while (Compare(Items[size_t(I)], P, ParamSort) < 0) ++I;
      while (Compare(Items[size_t(J)], P, ParamSort) > 0) --J;
      if (I <= J) {
        if (I != J) std::swap(Items[size_t(I)], Items[size_t(J)]);
        ++I;
        --J;
      }
    } while (I <= J);
    if (L < J) RecordsQuickSort(Items, L, J, Compare, ParamSort);
    L = I;
  }
}

}  // namespace

void TRecordsListKv::QuickSort(Integer L, Integer R, const TCompareRecords& Compare, TObject* ParamSort) {
  if (L < 0 || R >= FCount || L >= R) return;
  std::vector<TMemoryRecordKv*> Items = AllRecords();
  RecordsQuickSort(Items, L, R, Compare, ParamSort);
  RebuildChunks(Items);
  FIndexes->MarkStale();
}

void TRecordsListKv::Clear() {
  FKeptRead.reset();
  FDeletedList.Clear();
  for (Pointer O : FDeltaList)
    if (O) static_cast<TMemoryRecordKv*>(O)->SetUpdateIndex(-1);
  FDeltaList.Clear();
  for (Integer I = 0; I < FIndexes->GetCount(); ++I) FIndexes->GetItems(I)->ClearIndex();
  FreeAll();
  Notify(nullptr, -1, rlnListChangedKv);
}

bool TRecordsListKv::HasCachedChanges() const {
  for (Pointer O : FDeltaList)
    if (O) return true;
  return false;
}

void TRecordsListKv::MergeChangeLog() {
  Integer Live = 0;
  TMemoryRecordKv* Single = nullptr;
  for (Pointer O : FDeltaList)
    if (O) {
      ++Live;
      Single = static_cast<TMemoryRecordKv*>(O);
    }
  if (FDeltaList.GetCount() == 0) return;
  if (Live == 1) {
    Single->MergeChanges();
  } else if (Live > 1) {
    BeginUpdate();
    TMTScopeExitKv Close([this] {
      Pack();
      EndUpdate();
    });
    std::vector<TMemoryRecordKv*> Recs;
    for (Pointer O : FDeltaList)
      if (O) Recs.push_back(static_cast<TMemoryRecordKv*>(O));
    for (TMemoryRecordKv* Rec : Recs) Rec->MergeChangesInList(true);
  }
  FDeletedList.Clear();
  FDeltaList.Clear();
}

void TRecordsListKv::CancelUpdates() {
  for (Integer I = FCount - 1; I >= 0; --I) {
    TMemoryRecordKv* Rec = GetRec(I);
    switch (Rec->GetUpdateStatus()) {
      case usModified:
      case usDeleted:
        if (Rec->HasOldData()) {
          TPackedValuesKv Cur = Rec->Current();
          Rec->CopySet(Cur, TMemoryRecordKv::vsCurrent, Rec->FindChanges()->Old->Values(), TMemoryRecordKv::vsOld);
        }
        Rec->ClearOldData();
        Rec->SetUpdateStatus(usUnmodified);
        Rec->SetUpdateIndex(-1);
        Rec->SetUpdateError(nullptr);
        break;
      case usInserted: {
        EmptyDeltaSlot(Rec);
        TRecordPtrKv Gone(TakeOut(I));
        break;
      }
      default:
        break;
    }
  }
  FDeltaList.Clear();
  FIndexes->MarkStale();
  Notify(nullptr, -1, rlnListChangedKv);
}

void TRecordsListKv::RevertRecord(Integer Index) {
  TMemoryRecordKv* Rec = GetRec(Index);
  if (Rec->GetUpdateStatus() == usInserted) {
    EmptyDeltaSlot(Rec);
    PersistDeleteRecord(Index);
  } else {
    // A reverted record keeps no change: its slot no longer counts as one waiting.
    bool Logged = Rec->GetUpdateStatus() != usUnmodified;
    Rec->RevertRecord();
    if (Logged) EmptyDeltaSlot(Rec);
  }
}

void TRecordsListKv::RefreshRecord(Integer Index, TMemoryRecordKv* FromRec) { GetRec(Index)->RefreshRecord(FromRec); }

void TRecordsListKv::CleanupChangedRecs() {
  FDeletedList.Clear();
  FDeltaList.Pack();
  // The slots moved: each record learns its new one.
  for (Integer I = 0; I < FDeltaList.GetCount(); ++I) static_cast<TMemoryRecordKv*>(FDeltaList.GetItems(I))->SetUpdateIndex(I);
}

void TRecordsListKv::ApplyImmediately(TMemoryRecordKv* Rec, TApplyKind Kind) {
  auto ValuesOf = [Rec](TDataValueVersionKv Version) {
    TRecDataValues V;
    for (Integer I = 0; I < Rec->FieldCount(); ++I) V.push_back(Rec->GetDataValue(I, Version));
    return V;
  };
  std::unique_ptr<TMemTableDataShadowKv> Shadow(new TMemTableDataShadowKv(FMemTableData));
  TRecordsListKv* SL = Shadow->GetRecordsList();
  SL->SetCachedUpdates(true);
  TRecordPtrKv Made(SL->NewRecord());
  TMemoryRecordKv* S = Made.get();
  switch (Kind) {
    case akModify:
      S->SetCurrentValues(ValuesOf(dvvOldestValue));
      SL->FetchRecord(S);
      Made.release();  // the shadow list has it
      S->Edit();
      S->SetCurrentValues(ValuesOf(dvvValueKv));
      S->Post();
      break;
    case akInsert:
      S->SetCurrentValues(ValuesOf(dvvValueKv));
      S->Post();
      Made.release();
      break;
    case akDelete:
      S->SetCurrentValues(ValuesOf(dvvOldestValue));
      SL->FetchRecord(S);
      Made.release();
      SL->DeleteRecord(S->GetIndex());
      break;
  }
  FMemTableData->ApplyUpdates(Shadow.get());
  if (Kind != akDelete) Rec->SetCurrentValues(S->GetCurrentValues());
}

void TRecordsListKv::AdoptRecords(TRecordsListKv* From) {
  // The records a scratch list kept from its read, or those in its list.
  std::unique_ptr<TReadRecords> Kept = std::move(From->FKeptRead);
  TReadRecords Listed;
  TReadRecords& Recs = Kept ? *Kept : Listed;
  for (TMemoryRecordKv* Rec : From->AllRecords()) {
    TRecordPtrKv Owned(Rec);
    Rec->SetChunk(0);
    Recs.Add(Owned);
  }
  From->RebuildChunks({});
  Clear();
  // The scratch's layouts describe fields of the same types in the same order as this list's
  // structure: they become this list's, so the records keep their values where they are.
  TMTDataStructKv* S = GetDataStruct();
  for (std::unique_ptr<TRecordLayoutKv>& L : From->FLayouts) {
    bool Same = S && L->Count() == S->GetCount();
    for (Integer I = 0; Same && I < L->Count(); ++I) Same = L->Fields[size_t(I)].VarType == S->GetDataField(I)->VarDataType();
    if (Same) {
      for (Integer I = 0; I < L->Count(); ++I) L->Fields[size_t(I)].GUID = S->GetDataField(I)->GetGUID();
      L->Struct = S;
      L->Version = S->GetLayoutVersion();
    }
    L->List = this;
    FLayouts.push_back(std::move(L));
  }
  From->FLayouts.clear();
  From->FNewLayout = nullptr;
  for (size_t I = 0; I < Recs.Count(); ++I) {
    if (I + 8 < Recs.Count()) __builtin_prefetch(Recs.Peek(I + 8), 1);
    TRecordPtrKv Rec(Recs.Take(I));
    Rec->FHashCode = FNewHashCode++;
    if (Rec->FLayout->Struct != S) Rec->Relayout(CurrentLayout());
    FetchRecord(Rec.get());
    Rec.release();
  }
}
// ---- Notificators -------------------------------------------------------------------------------

TRecordsListNotificatorKv::TRecordsListNotificatorKv(TComponent* AOwner) : TComponent(AOwner) {}

TRecordsListNotificatorKv::~TRecordsListNotificatorKv() {
  // One on the stack is torn down after its derived parts are gone: it detaches here, quietly.
  if (FDataObject) {
    TRecordsListNotificatorKv::DetachFrom(FDataObject);
    FDataObject->RemoveFreeNotification(this);
    FDataObject = nullptr;
  }
}

void TRecordsListNotificatorKv::DestroyContents() {
  // Detached while whole, so a descendant's own detaching runs.
  SetDataObject(nullptr);
  TComponent::DestroyContents();
}

Integer TRecordsListNotificatorKv::FetchRecords(Integer Count) { return FOnFetchRecords ? FOnFetchRecords(Count) : 0; }

void TRecordsListNotificatorKv::AfterDataEvent(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action) {
  DoEvent(FOnAfterDataEvent, MemRec, Index, Action);
}

void TRecordsListNotificatorKv::DataEvent(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action) {
  DoEvent(FOnDataEvent, MemRec, Index, Action);
  switch (Action) {
    case rlnRecAddedKv: RecordAdded(MemRec, Index); break;
    case rlnRecChangedKv: RecordChanged(MemRec, Index); break;
    case rlnRecDeletedKv: RecordDeleted(MemRec, Index); break;
    case rlnListChangedKv: RecordListChanged(); break;
    default: break;
  }
}

void TRecordsListNotificatorKv::RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex) {
  DoEvent(FOnRecordMoved, Item, OldIndex, NewIndex);
}

void TRecordsListNotificatorKv::StructChanged(TMemTableDataKv* AMemTableData) { DoEvent(FOnStructChanged, AMemTableData); }

void TRecordsListNotificatorKv::CallApplyUpdates(TMemTableDataKv* AMemTableData) { DoEvent(FOnApplyUpdates, AMemTableData); }

bool TRecordsListNotificatorKv::AttachTo(TComponent* ADataObject) {
  if (auto* M = dynamic_cast<TMemTableDataKv*>(ADataObject)) {
    M->AddNotificator(this);
    FMemTableData = M;
    return true;
  }
  if (auto* V = dynamic_cast<TRecordsViewKv*>(ADataObject)) {
    // The view's rows, not the storage's records, reach this notificator.
    V->AddNotificator(this);
    FMemTableData = V->GetMemTableData();
    return true;
  }
  return false;
}

void TRecordsListNotificatorKv::DetachFrom(TComponent* ADataObject) {
  if (auto* M = dynamic_cast<TMemTableDataKv*>(ADataObject)) M->RemoveNotificator(this);
  else if (auto* V = dynamic_cast<TRecordsViewKv*>(ADataObject)) V->RemoveNotificator(this);
  FMemTableData = nullptr;
}

void TRecordsListNotificatorKv::SetDataObject(TComponent* Value) {
  if (FDataObject == Value) return;
  DataEvent(nullptr, -1, rlnListChangingKv);
  if (FDataObject) {
    DetachFrom(FDataObject);
    FDataObject->RemoveFreeNotification(this);
    FDataObject = nullptr;
  }
  if (Value) {
    AttachTo(Value);
    Value->FreeNotification(this);
  }
  FDataObject = Value;
  DataEvent(nullptr, -1, rlnListChangedKv);
}

void TRecordsListNotificatorKv::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FDataObject) SetDataObject(nullptr);
}

