#pragma once
// DBLookupUtilsKv: a bar's lookup. Key fields of the grid's dataset are matched against key
// fields of a lookup dataset to show a display value, either from the bar's own lookup field or
// from names set on the bar. A sorted cache of every key/display pair answers each look-up by
// bisection, so painting never moves the lookup dataset; a change of the lookup data marks the
// cache stale and the next look-up refills it.

#include <memory>
#include <utility>
#include <vector>

#include "framework/Classes.h"
#include "framework/db/DataLink.h"
#include "kvlib/foundation/DBGridServicesKv.h"
#include "kvlib/foundation/MemTableIntfKv.h"

class TAxisBarKv;
class TDataSet;
class TDataSource;
class TDBLookupDataKv;
class TField;

// Watches the grid's data source for the data side of a lookup.
class TDataSourceLinkKv : public TDataLink {
  DECLARE_CLASS(TDataSourceLinkKv, TDataLink)
 public:
  TDataSourceLinkKv() = default;
  TDBLookupDataKv* GetLookupData() const { return FLookupData; }

 protected:
  void ActiveChanged() override;
  void LayoutChanged() override;

 private:
  friend class TDBLookupDataKv;
  TDBLookupDataKv* FLookupData = nullptr;
};

// Watches the lookup dataset through the lookup's private source.
class TListSourceLinkKv : public TDataLink {
  DECLARE_CLASS(TListSourceLinkKv, TDataLink)
 public:
  TListSourceLinkKv();
  TDBLookupDataKv* GetLookupData() const { return FLookupData; }

 protected:
  void ActiveChanged() override;
  // Also sent by First, Last and Locate: only a changed record count counts as a change here;
  // edits and posts are heard through RecordChanged and EditingChanged.
  void DataSetChanged() override;
  // A scroll changes no pair: the cache stays.
  void DataSetScrolled(Integer) override {}
  void EditingChanged() override;
  void LayoutChanged() override;
  void RecordChanged(TField* Field) override;

 private:
  friend class TDBLookupDataKv;
  TDBLookupDataKv* FLookupData = nullptr;
};

class TLookupPairKv {
 public:
  TLookupPairKv(Variant KeyValue, Variant DisplayValue)
      : KeyValue(std::move(KeyValue)), DisplayValue(std::move(DisplayValue)) {}
  Variant KeyValue;
  Variant DisplayValue;
};

// Key/display pairs, sorted by key under DBVarCompareValue (Null first, arrays element-wise).
class TLookupListKv {
 public:
  TLookupListKv() = default;
  ~TLookupListKv();
  TLookupListKv(const TLookupListKv&) = delete;
  TLookupListKv& operator=(const TLookupListKv&) = delete;

  // Appends unsorted; SortData orders the list before any search.
  void Add(Variant KeyValue, Variant DisplayValue);
  void Reserve(Integer Count);
  void Clear();
  Integer GetCount() const { return Integer(FList.size()); }
  // Stable, so equal keys keep the dataset's order and a search finds the first of them.
  void SortData();
  // The display value of the first pair with that key, Unassigned when none. Raises when the key
  // cannot be compared with the pairs' keys.
  Variant ValueOfKey(const Variant& KeyValue) const;
  // As ValueOfKey, but a key that cannot be compared counts as not found (answers false).
  bool FindValue(const Variant& KeyValue, Variant& DisplayValue) const;

 private:
  // The list index of the first pair with KeyValue when Found; Comparable false when a comparison
  // failed.
  Integer LowerBound(const Variant& KeyValue, bool& Comparable, bool& Found) const;
  std::vector<TLookupPairKv> FList;
  // When every key is an integer (the usual case): the keys as numbers, in list order, so that a
  // look-up compares machine integers instead of variants. Same order as DBVarCompareValue.
  std::vector<Int64> FIntKeys;
  // FIntKeys[I] is the key of FList[FIntOrder[I]]; the list itself stays in the dataset's order.
  std::vector<Integer> FIntOrder;
  bool FIntKeyed = false;
};

class TDBLookupDataKv : public TPersistent, public IDBLookupDataKv, public IMTEventReceiverKv {
  DECLARE_CLASS(TDBLookupDataKv, TPersistent)
 public:
  explicit TDBLookupDataKv(TAxisBarKv* AxisBar);
  ~TDBLookupDataKv() override;

  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }

  // ---- New virtual operations, in slot order --------------------------------------------------
  // Null, or the value of view row RowNum when the grid's dataset is an in-memory table.
  virtual void GetLookupValueOfRow(Integer RowNum, Variant& Value);
  virtual void ReevaluateDataFields() { UpdateDataFields(); }
  virtual void UpdateIntMemTable();
  virtual void LookupParamsHook() {}
  // The lookup data changed: the cache is refilled on the next look-up.
  virtual void LookupDataSetChanged();
  virtual void ReceiveMTEvent(Integer RowNum, TMTViewEventTypeKv Event, Integer OldRowNum);
  virtual void UpdateDataFields();
  virtual void UpdateLookupFields();
  virtual void UpdateLookupSource();
  virtual void RefreshLookupListCache();

  void Assign(TPersistent* Source) override;
  // Null unless the lookup works; with the cache, Unassigned for a key not in the lookup data.
  void GetLookupValue(Variant& Value);
  void GetKeyValue(Variant& Value);
  // Re-evaluates both sides against the bar's field and the datasets.
  virtual void UpdateLookupState() { UpdateDataFields(); }

  // IDBLookupDataKv
  bool GetLookupActive() override { return FLookupActive; }
  void GetKeyFields(TFieldsArrKv& Fields) override { Fields = FKeyFields; }
  // IMTEventReceiverKv
  void MTViewEvent(Integer RowNum, TMTViewEventTypeKv Event, Integer OldRowNum) override {
    ReceiveMTEvent(RowNum, Event, OldRowNum);
  }

  TAxisBarKv* GetAxisBar() const { return FAxisBar; }
  TDataSource* GetDataSource() const;
  const TFieldsArrKv& GetKeyFieldsArr() const { return FKeyFields; }
  const TFieldsArrKv& GetLookupKeyFields() const { return FLookupKeyFields; }
  bool LookupIsSetUp() const { return FLookupIsSetUp; }
  bool GetLookupInDataField() const { return FLookupInDataField; }
  TField* GetLookupDisplayField() const { return FLookupDisplayField; }
  TDataSource* GetLookupListSource() const { return FInternalLookupSource.get(); }
  bool GetKeyFieldsIsNull() const;
  // How many times the cache was filled from the lookup dataset.
  Integer GetCacheFillCount() const { return FCacheFillCount; }

  String GetKeyFieldNames() const;
  void SetKeyFieldNames(const String& Value);
  TDataSet* GetLookupDataSet() const;
  void SetLookupDataSet(TDataSet* Value);
  String GetLookupDisplayFieldName() const;
  void SetLookupDisplayFieldName(const String& Value);
  String GetLookupKeyFieldNames() const;
  void SetLookupKeyFieldNames(const String& Value);
  bool GetLookupCache() const { return FLookupCache; }
  void SetLookupCache(bool Value);
  bool LookupDataIsStored() const { return !FLookupInDataField; }

  PUBLISHED_DECL(TDBLookupDataKv);

 protected:
  TPersistent* GetOwner() override;
  void CheckNotFixed();
  void CheckNotCircular();
  void SetLookupInDataField(bool Value);

 private:
  enum class TCacheStateKv { Stale, Valid, Failed };
  TField* BoundLookupField() const;
  // The bound lookup field while the lookup comes from it, else nil.
  TField* DataFieldLookup() const;
  void SetLookupSideName(String& Name, const String& Value);
  bool ComputeLookupActive() const;
  void UpdateLookupIsSetUp();
  void UpdateLookupActive();
  void Notify();
  void FillCache();
  bool CanUseDataSet(TDataSet* DataSet) const;
  friend class TListSourceLinkKv;
  // A dataset change notice: a change when the record count differs from the last fill's.
  void ListDataSetChanged();

  TAxisBarKv* FAxisBar;
  std::unique_ptr<TDataSourceLinkKv> FDataLink;
  std::unique_ptr<TDataSource> FInternalLookupSource;
  String FKeyFieldNames;
  TFieldsArrKv FKeyFields;
  bool FLookupActive = false;
  bool FLookupCache = true;
  TComponentRef<TDataSet> FLookupDataSet;
  TField* FLookupDisplayField = nullptr;
  String FLookupDisplayFieldName;
  bool FLookupInDataField = false;
  bool FLookupIsSetUp = false;
  String FLookupKeyFieldNames;
  TFieldsArrKv FLookupKeyFields;
  std::unique_ptr<TListSourceLinkKv> FLookupLink;
  bool FLookupListActive = false;
  std::unique_ptr<TLookupListKv> FLookupListCache;
  bool FDataFieldsUpdating = false;
  IMemTableKv* FIntMemTable = nullptr;
  // The dataset FIntMemTable belongs to: a table being destroyed is not called.
  TComponentRef<TDataSet> FIntMemTableDataSet;
  TCacheStateKv FCacheState = TCacheStateKv::Stale;
  // Set while the cache fills: the fill's own change notices do not mark it stale.
  bool FFilling = false;
  bool FDestroying = false;
  Integer FCacheFillCount = 0;
  Integer FFilledRecordCount = -1;
};
