#pragma once
// The storage object of the in-memory table (TMemTableDataKv): it owns the data structure, the
// records list (with the indexes) and the auto-increment counter, computes calculated fields,
// hands every change of the records to the attached notificators and streams itself as a
// component, with the records list's "Data".

#include <memory>

#include "framework/Classes.h"
#include "framework/Contnrs.h"
#include "kvlib/foundation/KvLibCore.h"
#include "kvlib/memtable/memtabledata/DataFields.h"
#include "kvlib/memtable/memtabledata/RecordsList.h"

// ---- The storage object -------------------------------------------------------------------------

class TAutoIncrementKv : public TPersistent {
  DECLARE_CLASS(TAutoIncrementKv, TPersistent)
 public:
  TAutoIncrementKv();
  void Assign(TPersistent* Source) override;
  Integer Promote();
  void Reset() { FCurValue = FInitValue; }
  Integer GetInitValue() const { return FInitValue; }
  void SetInitValue(Integer Value);
  Integer GetStep() const { return FStep; }
  void SetStep(Integer Value) { FStep = Value; }
  Integer GetCurValue() const { return FCurValue; }
  void SetCurValue(Integer Value) { FCurValue = Value; }
  PUBLISHED_DECL(TAutoIncrementKv);

 private:
  Integer FStep = -1;
  Integer FInitValue = -1;
  Integer FCurValue = -1;
};

using TMemoryRecordEventKv = Closure<void(TMemoryRecordKv* MemRec, TVariantArrayKv& FieldValues)>;

class TMemTableDataKv : public TComponent {
  DECLARE_CLASS(TMemTableDataKv, TComponent)
 public:
  explicit TMemTableDataKv(TComponent* AOwner);
  ~TMemTableDataKv() override;

  virtual TRecordsListKv* CreateRecordsList();
  TAutoIncrementKv* GetAutoIncrement() const { return FAutoIncrement.get(); }
  virtual TMTDataStructKv* GetDataStruct() const { return FDataStruct; }
  TRecordsListKv* GetRecordsList() const { return FRecordsList.get(); }
  virtual void AddNotificator(TRecordsListNotificatorKv* Notificator);
  void RemoveNotificator(TRecordsListNotificatorKv* Notificator);
  Integer NotificatorCount() const { return FNotificators.GetCount(); }
  virtual void ApplyUpdates(TMemTableDataKv* AMemTableData);
  virtual void FieldNameChanging(TMTDataFieldKv*, const String&) {}
  virtual void Notify(TMemoryRecordKv* Rec, Integer Index, TRecordsListNotification Action);
  virtual void RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex);
  virtual void SetAutoIncrement(TAutoIncrementKv* Value);
  virtual void SetAutoIncValue(TMemoryRecordKv* Rec);
  virtual void StructChanged();
  virtual TMTDataStructKv* BeginRestruct();
  virtual Integer FetchRecords(Integer Count);
  virtual void CancelRestruct();
  // Applies the prepared structure: the records' values are laid out anew for it.
  virtual void CommitRestruct();
  virtual void DestroyTable();
  virtual void ResetRecords();
  void CalcRecordFields(TMemoryRecordKv* Rec);
  bool HasApplier() const;

  bool IsEmpty() const { return GetDataStruct()->GetCount() == 0; }
  bool GetRestructMode() const { return FRestructMode; }
  bool GetStoreStructInStream() const { return FStoreStructInStream; }
  void SetStoreStructInStream(bool Value) { FStoreStructInStream = Value; }
  bool GetStoreRecordsInStream() const { return FStoreRecordsInStream; }
  void SetStoreRecordsInStream(bool Value) { FStoreRecordsInStream = Value; }
  TMemoryRecordEventKv GetOnFieldCalculation() const { return FOnFieldCalculation; }
  void SetOnFieldCalculation(TMemoryRecordEventKv Value);
  const TIntArray& GetIncFieldIndexes() const { return FIncFieldIndexes; }

  void ReadState(TReader* Reader) override;
  void GetChildren(TGetChildProc Proc, TComponent* Root) override;

 protected:
  void DefineProperties(TFiler* Filer) override;
  void DestroyContents() override;

 private:
  void ReaderCreateComponent(TReader* Reader, TComponentClass ComponentClass, TComponent*& Component);
  void ReaderAncestorNotFound(TReader* Reader, const String& ComponentName, TComponentClass ComponentClass,
                              TComponent*& Component);

  std::unique_ptr<TAutoIncrementKv> FAutoIncrement;
  TMemTableDataKv* FReadInto = nullptr;  // the scratch storage a stream is read into
  std::unique_ptr<TMemTableDataKv> FScratch;
  bool FReadStruct = false;
  bool FReadRecords = false;
  TMTDataStructKv* FDataStruct = nullptr;  // owned as a component
  TIntArray FIncFieldIndexes;
  std::unique_ptr<TMTDataStructKv> FNewDataStruct;
  TObjectListKv FNotificators;
  std::unique_ptr<TRecordsListKv> FRecordsList;  // no component owner
  bool FRestructMode = false;
  bool FStoreStructInStream = false;
  bool FStoreRecordsInStream = false;
  TMemoryRecordEventKv FOnFieldCalculation;
};

// A throw-away storage object over another's structure, used to hand one change to the appliers.
class TMemTableDataShadowKv : public TMemTableDataKv {
  DECLARE_CLASS(TMemTableDataShadowKv, TMemTableDataKv)
 public:
  explicit TMemTableDataShadowKv(TMemTableDataKv* AMasterTable);
  TMTDataStructKv* GetDataStruct() const override;
  void SetAutoIncValue(TMemoryRecordKv*) override {}
  TMemTableDataKv* GetMasterTable() const { return FMasterTable; }

 private:
  TMemTableDataKv* FMasterTable;
};
