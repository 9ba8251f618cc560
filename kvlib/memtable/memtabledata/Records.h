#pragma once
// One stored record of the in-memory table (TMemoryRecordKv) with its value versions, and the
// holder of an update error. A record keeps its current values packed by field type in one block
// of the storage's pool, itself included; the versions an edit or a cached change needs are made
// only for the records that have them.

#include <exception>
#include <memory>
#include <new>

#include "framework/Classes.h"
#include "framework/DB.h"
#include "kvlib/memtable/memtabledata/Values.h"

class TMTDataStructKv;
class TRecordsListKv;
class TRecordLayoutKv;
class TPackedValuesKv;

// Attaches the error of a record change that failed to apply to the record; owns the exception.
class TUpdateErrorKv : public TPersistent {
  DECLARE_CLASS(TUpdateErrorKv, TPersistent)
 public:
  explicit TUpdateErrorKv(std::exception_ptr AException);
  // The exception the holder keeps, or null when it is not one of the framework's.
  const Exception* GetExceptionObject() const { return FObject; }
  std::exception_ptr GetException() const { return FException; }

 private:
  std::exception_ptr FException;
  const Exception* FObject = nullptr;
};

enum TRecordEditStateKv { resBrowseKv, resEditKv, resInsertKv, resEditForRefresh };
enum TDataValueVersionKv { dvvOldValueKv, dvvCurValueKv, dvvEditValueKv, dvvValueKv, dvvOldestValue, dvvRefreshValue };

class TMemoryRecordKv : public TPersistent {
  DECLARE_CLASS(TMemoryRecordKv, TPersistent)
 public:
  // A record of no structure and no list; its records list's NewRecord makes the usual ones.
  TMemoryRecordKv();
  ~TMemoryRecordKv() override;
  static void* operator new(size_t Size);
  // The block is as large as the record's values make it.
  static void operator delete(TMemoryRecordKv* P, std::destroying_delete_t) noexcept;

  void Edit();
  void EditForRefresh();
  void Post();
  // Ends an edit; a record being inserted frees itself (the caller must not use it afterwards).
  void Cancel();
  TRecordEditStateKv EditState() const { return TRecordEditStateKv(FPlace >> EditStateShift & 3); }
  void MergeChanges();
  void RevertRecord();
  void RefreshRecord(TMemoryRecordKv* Rec);
  void UpdateCalculatedFields();

  Variant GetDataValue(Integer FieldIndex, TDataValueVersionKv DataValueVersion);
  void SetDataValue(Integer FieldIndex, TDataValueVersionKv DataValueVersion, const Variant& Value);
  Variant GetDataValues(const String& FieldNames, TDataValueVersionKv DataValueVersion);
  void SetDataValues(const String& FieldNames, TDataValueVersionKv DataValueVersion, const Variant& VarValue);
  Variant GetDataIndexValues(const TIntArray& FieldIndexes, TDataValueVersionKv DataValueVersion);
  void SetDataIndexValues(const TIntArray& FieldIndexes, TDataValueVersionKv DataValueVersion, const Variant& VarValue);
  void ReadRecordData(TReader* Reader);
  void WriteRecordData(TWriter* Writer);

  // A stored value read in place, without a variant: numbers and dates by value, a text as a view
  // of its characters. Valid until the record's values change. The field index is checked as
  // GetDataValue checks it.
  TMTValueRefKv GetValueRef(Integer FieldIndex, TDataValueVersionKv DataValueVersion = dvvValueKv);
  // DBVarCompareValue of the stored value with Value's, as GetDataValue's variant would compare.
  TVariantRelationship CompareDataValue(Integer FieldIndex, const TMTValueRefKv& Value,
                                        TDataValueVersionKv DataValueVersion = dvvValueKv);

  // The position in the records list (kept by the list; found in O(log n)), -1 when not in one.
  Integer GetIndex() const;
  bool GetAttached() const { return (FPlace & PlaceMask) != 0; }
  TMTDataStructKv* GetDataStruct() const;
  // A count from 1 per list, never reused, so an identity kept elsewhere never finds another record.
  UInt64 GetHashCode() const { return FHashCode; }
  // A copy of the values before the first cached change; empty when there are none.
  TRecDataValues GetOldData() const;
  bool HasOldData() const;
  TRecordsListKv* GetRecordsList() const;
  TUpdateErrorKv* GetUpdateError() const;
  void SetUpdateError(TUpdateErrorKv* Value);
  Integer GetUpdateIndex() const;
  void SetUpdateIndex(Integer Value);
  TUpdateStatus GetUpdateStatus() const { return TUpdateStatus(FPlace >> UpdateStatusShift & 3); }
  void SetUpdateStatus(TUpdateStatus Value) { SetBits(UpdateStatusShift, 3, Cardinal(Value)); }

 private:
  friend class TRecordsListKv;
  friend class TMTDataStructKv;
  friend class TMTIndexKv;
  friend class TRecordLayoutKv;
  struct TChanges;
  struct TLonelyChanges;
  static TLonelyChanges& LonelyChanges();
  enum TValueSet { vsCurrent, vsTmpOld, vsOld, vsRefreshOld, vsSaved };

  // The place word: the list's chunk (+1, 0 while not listed) and the record's small states.
  static constexpr Cardinal PlaceMask = 0x00FFFFFF;
  static constexpr int EditStateShift = 24, UpdateStatusShift = 26, EditChangedBit = 28, HasChangesBit = 29,
                       ValuesOutBit = 30;
  void SetBits(int Shift, Cardinal Mask, Cardinal Value) {
    FPlace = (FPlace & ~(Mask << Shift)) | ((Value & Mask) << Shift);
  }
  void SetEditState(TRecordEditStateKv S) { SetBits(EditStateShift, 3, Cardinal(S)); }
  void SetEditChanged(bool B) { SetBits(EditChangedBit, 1, B); }
  bool HasChanges() const { return FPlace >> HasChangesBit & 1; }
  Cardinal Chunk() const { return FPlace & PlaceMask; }
  void SetChunk(Cardinal C) { FPlace = (FPlace & ~PlaceMask) | (C & PlaceMask); }

  // The record's block: the record, then its current values (4 bytes past an 8-byte boundary).
  // Values laid out anew for a larger structure go to a block of their own, whose address and the
  // record block's size then take the place of the values.
  static constexpr size_t ValuesOffset = 28;
  static size_t BlockSize(const TRecordLayoutKv* Layout);
  static TMemoryRecordKv* Make(TRecordLayoutKv* Layout);
  Byte* InlineValues() const { return reinterpret_cast<Byte*>(const_cast<TMemoryRecordKv*>(this)) + ValuesOffset; }
  bool ValuesOut() const { return FPlace >> ValuesOutBit & 1; }
  Byte* ValuesData() const;
  TPackedValuesKv Current() const;

  // The layout is the structure's of now: values laid out for an older one follow their fields.
  void CheckLayout();
  TChanges* FindChanges() const;
  TChanges& Changes();
  // Lets the changes go once they keep nothing.
  void ReleaseChanges();
  bool HasTmpOld() const;
  // A pre-edit copy of the values, or none; the hidden copy a refresh keeps for the indexes.
  void TakeTmpOld();
  void DropTmpOld();
  void TakeRefreshOld();
  void DropRefreshOld();
  void SetOldFromTmpOld();
  void ClearOldData();
  // The set a version reads and writes; its odd values are in the changes under Set.
  TPackedValuesKv ValuesFor(TDataValueVersionKv DataValueVersion, TValueSet& Set);
  // The set the indexes read a record's key from: the posted values, or those before a refresh.
  TPackedValuesKv IndexValues(TValueSet& Set);
  const Variant* OddValue(TValueSet Set, Integer Field) const;
  TMTValueRefKv RefIn(const TPackedValuesKv& Values, TValueSet Set, Integer Field) const;
  // Stores a value of any type as it is (one of another type than the field's beside the record).
  void StoreIn(TPackedValuesKv& Values, TValueSet Set, Integer Field, const Variant& Value);
  void DropOdd(TValueSet Set, Integer Field);
  void DropOddSet(TValueSet Set);
  // Copies one set into another of the same layout, odd values included.
  void CopySet(TPackedValuesKv& To, TValueSet ToSet, const TPackedValuesKv& From, TValueSet FromSet);
  Integer FieldCount() const;
  void CheckFieldIndex(Integer FieldIndex) const;
  void MergeChangesInList(bool Batch);
  // The current values as variants, and written back from them (laid out for the structure now).
  TRecDataValues GetCurrentValues();
  void SetCurrentValues(const TRecDataValues& Values);
  void SetOldValues(const TRecDataValues& Values);
  // Rewrites the values for another layout of the same list; values follow their fields.
  void Relayout(TRecordLayoutKv* To);

  TRecordLayoutKv* FLayout = nullptr;
  UInt64 FHashCode = 0;
  Cardinal FPlace = Cardinal(resInsertKv) << EditStateShift;
};

using TMemoryRecordKvClass = TClassRef<TMemoryRecordKv>;
