#pragma once
// The records list of the in-memory table's storage, with its change log and its notifications,
// and the notificator that listens to a storage object or a records view.
//
// Positions are kept in O(log n): the records sit in chunks of at most 124, a Fenwick tree sums the
// chunks' sizes, and a record knows its chunk. Inserting, deleting or moving a record in the middle
// shifts one chunk; a record's position is found from its chunk when asked.

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "framework/Classes.h"
#include "framework/Contnrs.h"
#include "kvlib/foundation/KvLibCore.h"
#include "kvlib/memtable/memtabledata/Records.h"

class TMTDataStructKv;
class TMemTableDataKv;
class TMTIndexesKv;
class TRecordLayoutKv;

enum TRecordsListNotification {
  rlnRecAddingKv, rlnRecAddedKv, rlnRecChangingKv, rlnRecChangedKv, rlnRecDeletingKv, rlnRecDeletedKv,
  rlnListChangingKv, rlnListChangedKv, rlnRecMarkingForDelKv, rlnRecMarkedForDelKv
};

struct TRecordsRangeKv {
  Integer LowIndex = 0;
  Integer HighIndex = 0;
};

using TCompareRecords = Closure<Integer(TMemoryRecordKv* Rec1, TMemoryRecordKv* Rec2, TObject* ParamSort)>;
// Each record's new values and new old values, laid out for a new structure.
using TLaidValuesKv = std::vector<std::pair<TRecDataValues, TRecDataValues>>;

class TRecordsListKv : public TComponent {
  DECLARE_CLASS(TRecordsListKv, TComponent)
 public:
  // AOwner must be a storage object or null; the list is not owned as a component.
  explicit TRecordsListKv(TComponent* AOwner);
  ~TRecordsListKv() override;

  // A record laid out for the list's structure, not yet in the list. It lives by the list's
  // layouts: one that is never added must be freed before the list.
  TMemoryRecordKv* NewRecord();
  Integer AddRecord(TMemoryRecordKv* Rec);
  void InsertRecord(Integer Index, TMemoryRecordKv* Rec);
  Integer FetchRecord(TMemoryRecordKv* Rec);
  void DeleteRecord(Integer Index);
  void DeleteRecords(const std::vector<TRecordsRangeKv>& RecordsRanges);
  void PersistDeleteRecord(Integer Index);
  void PersistDeleteRecords(const std::vector<TRecordsRangeKv>& RecordsRanges);
  void PersistRemoveRecord(Integer Index);
  void Move(Integer CurIndex, Integer NewIndex);
  Integer IndexOf(TMemoryRecordKv* Item) const;
  TMemoryRecordKv* GetRec(Integer Index) const;
  // Stores into the slot without any bookkeeping: the list neither frees nor announces the record
  // it replaces; the indexes are rebuilt when next used.
  void SetRec(Integer Index, TMemoryRecordKv* Value);
  TMemoryRecordKv* operator[](Integer Index) const { return GetRec(Index); }
  Variant GetValue(Integer RecNo, Integer ValNo) const;
  void SetValue(Integer RecNo, Integer ValNo, const Variant& Value);
  void SortData(const TCompareRecords& Compare, TObject* ParamSort);
  virtual void QuickSort(Integer L, Integer R, const TCompareRecords& Compare, TObject* ParamSort);
  void Clear();
  virtual void BeginUpdate() { ++FUpdateCount; }
  virtual void EndUpdate();

  bool GetCachedUpdates() const { return FCachedUpdates; }
  void SetCachedUpdates(bool Value) { FCachedUpdates = Value; }
  // Some change waits in the delta list (emptied slots do not count).
  bool HasCachedChanges() const;
  void MergeChangeLog();
  void CancelUpdates();
  void RevertRecord(Integer Index);
  void RefreshRecord(Integer Index, TMemoryRecordKv* FromRec);
  void CleanupChangedRecs();
  void SetAutoIncValue(TMemoryRecordKv* Rec);
  // Replaces the records with those of another list (read from a stream), fetched in order.
  void AdoptRecords(TRecordsListKv* From);

  Integer GetCount() const { return FCount; }
  TMTDataStructKv* GetDataStruct() const;
  TObjectListKv* GetDeltaList() { return &FDeltaList; }
  TObjectListKv* GetDeletedList() { return &FDeletedList; }
  TMTIndexesKv* GetIndexes() const { return FIndexes.get(); }
  TMemTableDataKv* GetMemTableData() const { return FMemTableData; }
  Integer GetRecValCount() const;

  virtual void Notify(TMemoryRecordKv* Rec, Integer Index, TRecordsListNotification Action);
  virtual void RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex);

 protected:
  void DefineProperties(TFiler* Filer) override;

 private:
  friend class TMemoryRecordKv;
  friend class TMemTableDataKv;
  friend class TMTDataStructKv;
  friend class TMTIndexKv;
  class TReadRecords;
  struct TChunk;
  struct TChunkPlace {
    TChunk* Chunk;
    Integer At;
  };

  // ---- Positions
  TChunkPlace PlaceOf(Integer Index) const;
  Integer PositionOf(const TMemoryRecordKv* Rec) const;
  Integer ChunkBase(const TChunk* C) const;
  TChunk* NewChunk(Integer Ordinal);
  void FreeChunk(TChunk* C);
  // Renumbers the chunks from From on and sums their sizes anew (chunks came or went).
  void ReindexChunks(Integer From);
  void ChunkResized(const TChunk* C, Integer Delta);
  void PutRecord(TMemoryRecordKv* Rec, TChunk* C, Integer At);
  // Takes the record at Index out of its chunk (not freed); answers it.
  TMemoryRecordKv* TakeOut(Integer Index);
  void PutIn(Integer Index, TMemoryRecordKv* Rec);
  void AppendRecord(TMemoryRecordKv* Rec);
  // The records in order, and the list made of them anew.
  std::vector<TMemoryRecordKv*> AllRecords() const;
  void RebuildChunks(const std::vector<TMemoryRecordKv*>& Recs);
  // Drops the emptied slots (records set to nil).
  void Pack();
  // Frees every record and chunk.
  void FreeAll();

  // ---- Layouts
  // The layout new records take, for the structure as it is now.
  TRecordLayoutKv* CurrentLayout();
  TRecordLayoutKv* MakeLayout(Word TextRoom);
  // Every record's values laid out for the structure as it is now; the indexes are rebuilt.
  void RelayoutAll();
  void TakeLaidValues(TLaidValuesKv& Laid);
  // The room for texts follows the texts the list takes.
  void NoteTexts(const TMemoryRecordKv* Rec);

  // ---- Indexes behind the notifications
  bool KeysField(Integer Field) const;
  // Writes a listed record's values without an announcement; the indexes follow.
  void Rekey(TMemoryRecordKv* Rec, const std::function<void()>& Write);
  // The indexes find the record's entry anew (its values changed without an announcement).
  void ReplaceInIndexes(TMemoryRecordKv* Rec);
  bool HasActiveIndexes() const;

  void InternalAddRecord(TMemoryRecordKv* Rec, Integer Index, bool Fetching, bool Append);
  void TakeDeltaSlot(TMemoryRecordKv* Rec);
  void EmptyDeltaSlot(TMemoryRecordKv* Rec);
  enum TApplyKind { akInsert, akModify, akDelete };
  bool HasApplier() const;
  void ApplyImmediately(TMemoryRecordKv* Rec, TApplyKind Kind);
  void PersistRemoveRecordInBatch(TMemoryRecordKv* Rec);
  // Makes a change of the record's values and announces it (rlnRecChangingKv) with the new values
  // in place; a listener's refusal puts the former values back and reaches the caller.
  void ChangeValues(TMemoryRecordKv* Rec, Integer Index, const std::function<void()>& Change);
  void ReadData(TReader* Reader);
  void WriteData(TWriter* Writer);

  bool FCachedUpdates = false;
  TObjectListKv FDeletedList{true};
  TObjectListKv FDeltaList;
  std::unique_ptr<TMTIndexesKv> FIndexes;
  TMemTableDataKv* FMemTableData = nullptr;
  UInt64 FNewHashCode = 1;
  Integer FUpdateCount = 0;
  bool FIndexesCurrent = false;  // the indexes already follow the list-wide change being announced

  std::vector<TChunk*> FChunks;     // in order
  std::vector<TChunk*> FChunkById;  // a record's chunk number - 1 finds its chunk here
  std::vector<Cardinal> FFreeChunkIds;
  std::vector<Integer> FChunkSums;  // Fenwick sums of the chunks' sizes, from 1
  Integer FCount = 0;
  mutable Integer FHintOrdinal = -1;  // the chunk last looked up, for walks in order
  mutable Integer FHintBase = 0;

  std::vector<std::unique_ptr<TRecordLayoutKv>> FLayouts;  // every layout a record may still have
  TRecordLayoutKv* FNewLayout = nullptr;
  Int64 FTextBytes = 0;  // of the records taken so far, for the room of new ones
  Int64 FTextRecords = 0;
  Int64 FNextRoomCheck = 16;
  std::unordered_map<const TMemoryRecordKv*, std::unique_ptr<TMemoryRecordKv::TChanges>> FChanges;

  // The scratch list a stream is read into keeps the records read for AdoptRecords instead of
  // fetching them itself.
  bool FKeepRead = false;
  std::unique_ptr<TReadRecords> FKeptRead;
};

using TRecordsListNotificatorDataEventKv =
    Closure<void(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action)>;
using TRecordsListApplyUpdatesEventKv = Closure<void(TMemTableDataKv* AMemTableData)>;
using TRecordsListFetchRecordsEventKv = Closure<Integer(Integer Count)>;
using TRecordsListRecordMovedEventKv = Closure<void(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex)>;

class TRecordsListNotificatorKv : public TComponent {
  DECLARE_CLASS(TRecordsListNotificatorKv, TComponent)
 public:
  explicit TRecordsListNotificatorKv(TComponent* AOwner);
  ~TRecordsListNotificatorKv() override;

  virtual Integer FetchRecords(Integer Count);
  virtual void AfterDataEvent(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action);
  virtual void DataEvent(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action);
  virtual void RecordAdded(TMemoryRecordKv*, Integer) {}
  virtual void RecordChanged(TMemoryRecordKv*, Integer) {}
  virtual void RecordDeleted(TMemoryRecordKv*, Integer) {}
  virtual void RecordListChanged() {}
  virtual void RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex);
  virtual void StructChanged(TMemTableDataKv* AMemTableData);
  void CallApplyUpdates(TMemTableDataKv* AMemTableData);
  bool HasApplyUpdatesHandler() const { return bool(FOnApplyUpdates); }

  TComponent* GetDataObject() const { return FDataObject; }
  void SetDataObject(TComponent* Value);
  TMemTableDataKv* GetMemTableData() const { return FMemTableData; }

  TRecordsListNotificatorDataEventKv GetOnAfterDataEvent() const { return FOnAfterDataEvent; }
  void SetOnAfterDataEvent(TRecordsListNotificatorDataEventKv Value) { FOnAfterDataEvent = Value; }
  TRecordsListApplyUpdatesEventKv GetOnApplyUpdates() const { return FOnApplyUpdates; }
  void SetOnApplyUpdates(TRecordsListApplyUpdatesEventKv Value) { FOnApplyUpdates = Value; }
  TRecordsListNotificatorDataEventKv GetOnDataEvent() const { return FOnDataEvent; }
  void SetOnDataEvent(TRecordsListNotificatorDataEventKv Value) { FOnDataEvent = Value; }
  TRecordsListFetchRecordsEventKv GetOnFetchRecords() const { return FOnFetchRecords; }
  void SetOnFetchRecords(TRecordsListFetchRecordsEventKv Value) { FOnFetchRecords = Value; }
  TRecordsListRecordMovedEventKv GetOnRecordMoved() const { return FOnRecordMoved; }
  void SetOnRecordMoved(TRecordsListRecordMovedEventKv Value) { FOnRecordMoved = Value; }
  TRecordsListApplyUpdatesEventKv GetOnStructChanged() const { return FOnStructChanged; }
  void SetOnStructChanged(TRecordsListApplyUpdatesEventKv Value) { FOnStructChanged = Value; }

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void DestroyContents() override;
  // Attaching to another kind of data object (a records view) is its own business.
  virtual bool AttachTo(TComponent* ADataObject);
  virtual void DetachFrom(TComponent* ADataObject);

 private:
  TMemTableDataKv* FMemTableData = nullptr;
  TRecordsListNotificatorDataEventKv FOnAfterDataEvent;
  TRecordsListApplyUpdatesEventKv FOnApplyUpdates;
  TRecordsListNotificatorDataEventKv FOnDataEvent;
  TRecordsListFetchRecordsEventKv FOnFetchRecords;
  TRecordsListRecordMovedEventKv FOnRecordMoved;
  TComponent* FDataObject = nullptr;  // a free notification clears it
  TRecordsListApplyUpdatesEventKv FOnStructChanged;
};
