#pragma once
// Indexes of the in-memory table's records list. An index keeps its records in key order, equal
// keys by record position, in runs of at most 256 entries; an entry is the record itself, whose
// key and position are read from it when needed, so that a record that comes, goes or moves
// changes one entry and renumbers nothing.

#include <memory>
#include <unordered_map>
#include <vector>

#include "framework/Classes.h"
#include "framework/DB.h"
#include "kvlib/memtable/memtabledata/RecordsList.h"

class TMTDataStructKv;

// One entry as the index hands it out: the record's key and position when asked. Valid until the
// index changes.
class TIndexItemKv {
 public:
  Variant Value;
  Integer RecIndex = 0;
};

class EUniqueKeyViolationKv : public EDatabaseError {
  DECLARE_CLASS(EUniqueKeyViolationKv, EDatabaseError)
 public:
  EUniqueKeyViolationKv(const String& AFieldNames, const Variant& AValue);
  String FieldNames;
  Variant Value;
};

class TMTIndexKv : public TCollectionItem {
  DECLARE_CLASS(TMTIndexKv, TCollectionItem)
 public:
  explicit TMTIndexKv(TCollection* Collection);
  // A detached index over ARecordsList, in no collection.
  static TMTIndexKv* CreateApart(TRecordsListKv* ARecordsList);
  ~TMTIndexKv() override;

  TRecordsListKv* RecordsList() const;
  bool GetActive() const { return FActive; }
  void SetActive(bool Value);
  const String& GetFields() const { return FFields; }
  void SetFields(const String& Value);
  bool GetPrimary() const { return FPrimary; }
  void SetPrimary(bool Value);
  bool GetUnique() const { return FUnique; }
  void SetUnique(bool Value);

  void RebuildIndex();
  void ClearIndex();
  // Sorts the entries from L to R in the index's order.
  void QuickSort(Integer L, Integer R);
  void CheckUnique();
  Integer GetCount();
  TIndexItemKv* GetItems(Integer Index);
  Variant GetKeyValue(Integer Index);
  // An entry's key is its record's: a key other than the record's own is refused.
  void SetKeyValue(Integer Index, const Variant& Value);
  bool FindKeyValueIndex(const Variant& Value, Integer& Index);
  bool FindRecordIndexByKey(const Variant& Value, Integer& Index);
  void FillMatchedKeyList(const Variant& Value, std::vector<TIndexItemKv*>& List);
  void FillMatchedRecsList(const Variant& Value, TList* List);
  void Notify(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action);
  virtual void RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex);
  // Puts the entry of the record at RecIndexValue at Index (where its key belongs).
  virtual void InsertItem(Integer Index, const Variant& Value, Integer RecIndexValue);
  // Records left the list at once: their entries go, in one pass.
  void RecordsRemoved();
  // Entries shifted, split off or moved so far: what the index's changes cost, so that a test can
  // tell local changes from ones that rework the whole list.
  Int64 GetEntryMoves() const { return FEntryMoves; }

 private:
  friend class TMTIndexesKv;
  friend class TRecordsListKv;
  // The entries are kept in runs, in order: a change shifts the entries of one run only. A
  // rebuild leaves a single run; a change to a run longer than RunMax splits it first.
  using TEntryRun = std::vector<TMemoryRecordKv*>;
  static constexpr size_t RunMax = 256;
  struct TSlot {
    size_t Run = 0;
    size_t At = 0;
  };
  // A key looked for: its parts read in place (a few in the probe itself, with no allocation).
  struct TProbe {
    static constexpr size_t Inline = 8;
    TMTValueRefKv InlineParts[Inline];
    std::vector<TMTValueRefKv> MoreParts;
    std::vector<Variant> Held;  // the elements of a key of several fields
    size_t Count = 0;
    bool Comparable = true;
    bool HasPrefix = false;  // the first part in the fences' order
    UInt64 Prefix = 0;
    void Resize(size_t N) {
      Count = N;
      if (N > Inline) MoreParts.resize(N);
    }
    TMTValueRefKv* Parts() { return Count > Inline ? MoreParts.data() : InlineParts; }
    const TMTValueRefKv* Parts() const { return Count > Inline ? MoreParts.data() : InlineParts; }
  };

  bool IsMaintained() const { return FActive && !FFields.empty(); }
  // Changes the list made without telling: the index is rebuilt before it is next used.
  void MarkStale() { FStale = true; }
  void Sync();
  bool UsesField(Integer Field);
  void BeginRekey(TMemoryRecordKv* Rec);
  void EndRekey(TMemoryRecordKv* Rec);

  TMemoryRecordKv*& EntryAt(TSlot S) { return FRuns[S.Run][S.At]; }
  TMemoryRecordKv* Entry(Integer Index);
  // The run and place of a position; Index = Count gives the place behind the last entry.
  TSlot SlotOf(Integer Index) const;
  Integer PositionOf(TSlot S) const;
  // Counts the runs' entries anew after runs came or went.
  void IndexRuns();
  void RunResized(size_t Run, Integer Delta);
  void SplitRun(size_t Run);
  // All the entries in one run, for sorting.
  void JoinRuns();
  void InsertAt(TSlot S, TMemoryRecordKv* Rec);
  void EraseAt(TSlot S);
  // The slot after S, or false at the end.
  bool Next(TSlot& S) const;
  bool Prev(TSlot& S) const;
  // The number of a key part in the fences' order; false for a part of another kind.
  bool FencePrefix(const TMTValueRefKv& Part, UInt64& Prefix) const;
  UInt64 EntryPrefix(TMemoryRecordKv* Rec);
  void SetFence(size_t Run);
  // Compares a run's last entry with Key through its fence when the numbers differ.
  TVariantRelationship CompareLast(size_t Run, const TProbe& Key);
  void Changed() {
    if (!FHanded.empty()) std::unordered_map<Integer, TIndexItemKv>().swap(FHanded);
  }

  // The key fields, resolved for the structure's layout of now (an unknown name raises).
  const TIntArray& KeyFields(const TMTDataStructKv* S);
  Variant KeyOf(TMemoryRecordKv* Rec, TDataValueVersionKv Version);
  // The key an entry has: the record's posted key (its key before a refresh while one is open).
  Variant EntryKeyOf(TMemoryRecordKv* Rec);
  void ReadKey(TMemoryRecordKv* Rec, TMTValueRefKv* Parts);
  TProbe MakeProbe(const Variant& Value);
  // The record's key read in place (valid while its values stay).
  TProbe ProbeOfRecord(TMemoryRecordKv* Rec);
  TVariantRelationship CompareRecordKeys(TMemoryRecordKv* A, TMemoryRecordKv* B);
  TVariantRelationship ComparePart(const TMTValueRefKv& A, const TMTValueRefKv& B) const;
  // An entry with a key looked for.
  TVariantRelationship CompareEntry(TMemoryRecordKv* Rec, const TProbe& Key);
  // Equal keys order by position: a record that just left or moved counts at its former place.
  Int64 PositionKey(TMemoryRecordKv* Rec) const;
  // A bisection for Key: an entry with an equal key, or where Key would go.
  bool FindKey(const TProbe& Key, TSlot& S);
  // A bisection for the place of (Key, position of Rec); true when the entry there is Rec's.
  bool FindPlace(const TProbe& Key, TMemoryRecordKv* Rec, TSlot& S);
  // The entry of Rec under Key, by bisection, or by a walk over the entries (for a record whose
  // entry is not under its key: one changed behind the index's back).
  bool FindEntryOfRecord(const TProbe& Key, TMemoryRecordKv* Rec, TSlot& S);
  // Enters Rec's entry at its place (its key read from it, or Key when given).
  void EnterRecord(TMemoryRecordKv* Rec, const Variant* Key = nullptr);
  bool IsUniqueKind() const { return FUnique || FPrimary; }

  bool FActive = false;
  String FFields;
  Variant FOldValue;
  TMemoryRecordKv* FAnnounced = nullptr;  // the record whose change FOldValue is from
  bool FReturning = false;                // it comes back from a deletion mark
  bool FPrimary = false;
  std::vector<TEntryRun> FRuns;
  std::vector<Integer> FRunSums;  // Fenwick sums of the runs' sizes, from 1
  // Each run's last key as a number in the key's order (see IndexPrefixOf), side by side: a lookup
  // finds its run among them without reading a record per step. Kept while every key is of the
  // field's own kind; equal numbers leave the order to the keys.
  std::vector<UInt64> FFences;
  bool FFenced = false;
  TMTValueKindKv FFenceKind = mvkNullKv;
  Integer FCount = 0;
  Int64 FEntryMoves = 0;
  TRecordsListKv* FRecordsList = nullptr;
  bool FUnique = false;
  bool FKeyed = false;  // texts compare by the Turkish collation
  bool FStale = false;
  // While a record's entry is looked for or placed: the key and position it counts with.
  TMemoryRecordKv* FOverride = nullptr;
  const TProbe* FOverrideKey = nullptr;
  TMemoryRecordKv* FGone = nullptr;
  Int64 FGonePosition = 0;
  Variant FRekeyOld;
  // The key fields' positions, for the structure and layout they were resolved in.
  TIntArray FKeyFields;
  const TMTDataStructKv* FKeyStruct = nullptr;
  Int64 FKeyLayout = -1;
  String FKeyFieldNames;
  std::unordered_map<Integer, TIndexItemKv> FHanded;  // entries handed out since the last change
};

class TMTIndexesKv : public TCollection {
  DECLARE_CLASS(TMTIndexesKv, TCollection)
 public:
  explicit TMTIndexesKv(TRecordsListKv* ARecList);
  TMTIndexKv* Add() { return static_cast<TMTIndexKv*>(TCollection::Add()); }
  TMTIndexKv* GetItems(Integer Index) const { return static_cast<TMTIndexKv*>(GetItem(Index)); }
  TMTIndexKv* GetIndexForFields(const String& Fields) const;
  void UpdateIndexes();
  void Notify(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action);
  virtual void RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex);
  TRecordsListKv* GetRecList() const { return FRecList; }

 private:
  friend class TRecordsListKv;
  void MarkStale();
  void BeginRekey(TMemoryRecordKv* Rec);
  void EndRekey(TMemoryRecordKv* Rec);
  TRecordsListKv* FRecList;
};
