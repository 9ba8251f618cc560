#pragma once
// DBSumLst: the summary producer. It keeps, for one dataset, a list of summaries (sum, average,
// count, minimum, maximum over one field each) current by hooking the dataset's events, and
// offers virtual record numbers (the bookmarks of all records in scan order).
//
// Values accumulate by field type: integers in 128-bit integers, currency as exact scaled
// integers, BCD in BCD, floats in double; results are FMTBcd variants when they fit and Double
// otherwise (1e300 + 1e300, infinities). A post or delete on a plain dataset (not filtered, no
// master, no external or virtual-record mode) updates the values from the record's values
// before and after instead of walking every record again.
//
// Hooks are chained through small shared links: unhooking gives a handler back only while the
// dataset still holds the producer's own, and a link left inside someone else's chain passes
// calls straight on once the producer is gone. The dataset and its master are watched through
// free notification, so a freed dataset is never written to.

#include <array>
#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/FMTBcd.h"
#include "framework/Variants.h"
#include "framework/db/DataSet.h"
#include "kvlib/foundation/DBUtilsKv.h"

class TField;
class TDBSumListProducer;
class IMemTableKv;

DECLARE_ENUM(TGroupOperation, goSum, goAvg, goCount, goMin, goMax)

// The running state of one summary, kept in the field's own kind of number.
struct TDBSumAccumulatorKv {
  enum TKind { akInt, akCurrency, akFloat, akBcd };
  // One value read from a field or a variant; Null skips it.
  struct TValue {
    bool IsNull = true;
    __int128 I = 0;  // integers, and currency in units of 1/10000
    Double F = 0;
    TBcd B{};
  };

  TKind Kind = akBcd;
  Integer NotNullCount = 0;
  Integer RecordCount = 0;
  __int128 SumI = 0;
  Double SumF = 0;
  TBcd SumB{};
  bool HasExtreme = false;
  TValue Extreme;
  Integer ExtremeHolders = 0;

  static TKind KindOf(TField* Field);
  static TValue Read(TKind Kind, TField* Field);
  static TValue FromVariant(TKind Kind, const Variant& V);
  // Negative, 0 or positive.
  static Integer Compare(TKind Kind, const TValue& A, const TValue& B);

  void Reset(TKind AKind);
  void AddSum(const TValue& V);
  // False when the value cannot be taken back exactly (a non-finite float sum).
  bool RemoveSum(const TValue& V);
  // Sign is -1 for a minimum, +1 for a maximum.
  void AddExtreme(const TValue& V, Integer Sign);
  // False when V was the only holder of the extreme: only a full pass knows the next one.
  bool RemoveExtreme(const TValue& V);

  Variant SumResult() const;  // Null without values
  Variant AvgResult() const;  // 0 without values
  Variant ExtremeResult() const;  // Null without values
  static Variant ToResult(TKind Kind, const TValue& V);
};

class TDBSum : public TCollectionItem {
  DECLARE_CLASS(TDBSum, TCollectionItem)
 public:
  explicit TDBSum(TCollection* Collection);

  // GroupOperation, FieldName, Value and SumValue.
  void Assign(TPersistent* Source) override;

  String GetFieldName() const { return FFieldName; }
  void SetFieldName(const String& Value);
  TGroupOperation GetGroupOperation() const { return FGroupOperation; }
  void SetGroupOperation(TGroupOperation Value);

  PUBLISHED_DECL(TDBSum);

 private:
  friend class TDBSumListProducer;
  String FFieldName;
  TGroupOperation FGroupOperation = goSum;

 public:
  Variant Value;  // copied by Assign, cleared by ClearSumValues; free for the application

 private:
  Integer FNotNullRecordCount = 0;
  Variant FSumValueAsSum;

 public:
  Variant VarValue;  // the minimum or maximum
  Variant SumValue;  // the result

 private:
  TField* FField = nullptr;  // resolved by a pass or an update
  TDBSumAccumulatorKv FAcc;
};

class TDBSumCollection : public TCollection {
  DECLARE_CLASS(TDBSumCollection, TCollection)
 public:
  explicit TDBSumCollection(TDBSumListProducer* AOwner);
  TDBSum* GetItem(Integer Index) const { return static_cast<TDBSum*>(TCollection::GetItem(Index)); }
  TDBSum* Add() { return static_cast<TDBSum*>(TCollection::Add()); }
  // The first item of that operation whose FieldName matches without regard to case; null when none.
  TDBSum* GetSumByOpAndFName(TGroupOperation AGroupOperation, const String& AFieldName) const;

 protected:
  TPersistent* GetOwner() override;
  // Any item change recalculates, unless the producer's owner is loading or being destroyed.
  void Update(TCollectionItem* Item) override;

 private:
  TDBSumListProducer* FOwner;
};

class TSLBookmarkListKv : public TBMListKv {
  DECLARE_CLASS(TSLBookmarkListKv, TBMListKv)
 public:
  explicit TSLBookmarkListKv(TDBSumListProducer* AProducer) : FSumListProducer(AProducer) {}
  ~TSLBookmarkListKv() override { Clear(); }

 protected:
  TDataSet* GetDataSet() override;

 private:
  TDBSumListProducer* FSumListProducer;
};

class TDBSumListProducer : public TPersistent {
  DECLARE_CLASS(TDBSumListProducer, TPersistent)
 public:
  explicit TDBSumListProducer(TComponent* AOwner);
  // Deactivates without clearing the values.
  ~TDBSumListProducer() override;

  void Assign(TPersistent* Source) override;
  TComponent* GetOwner() override { return FOwner; }

  bool GetActive() const { return FActive; }
  void SetActive(bool Value);
  void Activate(bool ARecalcAll);
  void Deactivate(bool AClearSumValues);
  void ActivateIfReady();
  TDataSet* GetDataSet() const { return FDataSet; }
  void SetDataSet(TDataSet* Value);
  bool GetExternalRecalc() const { return FExternalRecalc; }
  void SetExternalRecalc(bool Value);
  bool GetVirtualRecords() const { return FVirtualRecords; }
  void SetVirtualRecords(bool Value);
  TDBSumCollection* GetSumCollection() const { return FSumCollection.get(); }
  void SetSumCollection(TDBSumCollection* Value);
  TNotifyEvent GetSumListChanged() const { return FSumListChanged; }
  void SetSumListChanged(const TNotifyEvent& Value) { FSumListChanged = Value; }
  TNotifyEvent GetOnAfterRecalcAll() const { return FOnAfterRecalcAll; }
  void SetOnAfterRecalcAll(const TNotifyEvent& Value) { FOnAfterRecalcAll = Value; }
  TNotifyEvent GetOnRecalcAll() const { return FOnRecalcAll; }
  void SetOnRecalcAll(const TNotifyEvent& Value) { FOnRecalcAll = Value; }

  void RecalcAllSilently();
  bool BookmarkInVisibleView(const TBookmark& Bookmark);
  Integer RecNo() { return GetRecNo(); }
  // Whether the dataset's events are hooked.
  bool GetEventsOverloaded() const { return FEventsOverloaded; }

  // Every post and delete walks the dataset again, as without incremental updates: for the
  // tests and the benchmark that compare the two.
  void SetFullRecalcOnly(bool Value) { FFullRecalcOnly = Value; }

  virtual Integer GetRecNo();
  virtual Integer FindVirtualRecord(const TBookmark& Bookmark);
  virtual void SetRecNo(Integer Value);
  virtual void DataSetAfterClose(TDataSet* DataSet);
  virtual void DataSetAfterOpen(TDataSet* DataSet);
  virtual void DataSetAfterPost(TDataSet* DataSet);
  virtual void DataSetAfterScroll(TDataSet* DataSet);
  virtual void DataSetAfterDelete(TDataSet* DataSet);
  virtual void ResetDataSetEvents();
  virtual bool IsSequenced();
  virtual Integer RecordCount();
  virtual void ClearSumValues();
  virtual void RecalcAll();
  // Over a dataset that is an in-memory table: the table's own aggregates, without a walk.
  virtual void RecalcAllForIntMemTable();
  virtual void SetDataSetEvents();
  virtual void DataSetBeforePost(TDataSet* DataSet);
  virtual void DataSetBeforeDelete(TDataSet* DataSet);
  virtual void MasterDataSetAfterScroll(TDataSet* DataSet);

 protected:
  bool OwnerLoading() const;
  bool OwnerDesignIdle() const;
  void DoSumListChanged();

  bool FVirtualRecords = false;
  bool Changing = false;
  bool FActive = true;
  TDataSet* FDataSet = nullptr;
  bool FDesignTimeWork = false;
  bool FEventsOverloaded = false;
  bool FExternalRecalc = false;
  String Filter;
  bool Filtered = false;
  TDataSet* FMasterDataset = nullptr;
  Integer FOldRecNo = -1;
  TNotifyEvent FOnAfterRecalcAll, FOnRecalcAll;
  TComponent* FOwner;
  bool FRecalcAllSilently = false;
  std::unique_ptr<TDBSumCollection> FSumCollection;
  TNotifyEvent FSumListChanged;
  std::unique_ptr<TSLBookmarkListKv> FVirtualRecList;
  bool FDataSetChanging = false;

 private:
  // The dataset's table interface; null when it has none or is being destroyed.
  IMemTableKv* IntMemTable() const;
  bool IntMemTablePathPossible();
  class TWatcher;
  struct THookLink;
  enum THookEvent {
    heAfterOpen, heAfterPost, heAfterScroll, heAfterDelete, heAfterClose, heBeforePost, heBeforeDelete,
    heMasterAfterScroll, heCount
  };
  // The values of the record being posted or deleted, read before the change, per item.
  struct TPendingChange {
    enum TKind { pcNone, pcInsert, pcEdit, pcDelete } Kind = pcNone;
    std::vector<TDBSumAccumulatorKv::TValue> Before;
  };

  void CallOld(THookEvent Event, TDataSet* DataSet);
  void Hook(TDataSet* Target, THookEvent Event);
  void Unhook(TDataSet* Target, THookEvent Event, bool Restore);
  void Watch(TDataSet* Target);
  void Unwatch(TDataSet* Target);
  void DataSetFreed(TComponent* AComponent);
  void RememberFilter();
  void FinishResults();
  bool IncrementalPossible();
  void ChangeRecalc(TPendingChange::TKind Kind);

  std::unique_ptr<TWatcher> FWatcher;
  std::array<std::shared_ptr<THookLink>, heCount> FHooks;
  std::array<TDataSetNotifyEvent, heCount> FInstalled;  // what each hook put into the dataset
  TPendingChange FPending;
  // The values came from a complete pass (not external, not an aborted walk).
  bool FValuesComplete = false;
  bool FFullRecalcOnly = false;
};
