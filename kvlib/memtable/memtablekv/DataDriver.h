#pragma once
// The seam between the in-memory table and the provider it is filled from and writes back to:
// the abstract data driver (TDataDriverKv) and the consumer interface a driver keeps its table
// through. A concrete driver fills every operation.

#include "framework/Classes.h"
#include "framework/DB.h"

class TMemTableDataKv;
class TMemoryRecordKv;
class TDataDriverKv;

// What a driver knows of the table it serves: one consumer at a time. Found by dynamic_cast.
class IDataDriverConsumerKv : public virtual IInterface {
 public:
  virtual void SetDataDriverConsumer(TComponent* Consumer) = 0;
  virtual TComponent* GetDataDriverConsumer() = 0;
};

class TDataDriverKv : public TComponent, public IDataDriverConsumerKv {
  DECLARE_CLASS(TDataDriverKv, TComponent)
 public:
  explicit TDataDriverKv(TComponent* AOwner) : TComponent(AOwner) {}

  // Adds up to Count records (all for a negative Count); answers how many came.
  virtual Integer ReadData(TMemTableDataKv* MemTableData, Integer Count) = 0;
  // The reader has no more records.
  virtual bool ProviderEOF() = 0;
  // Applies the change log of MemTableData; answers the count applied.
  virtual Integer ApplyUpdates(TMemTableDataKv* MemTableData) = 0;
  virtual void RefreshRecord(TMemoryRecordKv* Rec) = 0;
  virtual void RefreshReader() = 0;
  virtual TDataSet* GetDataReader() = 0;
  virtual void BuildDataStruct(TMemTableDataKv* MemTableData) = 0;
  virtual void ConsumerClosed(TDataSet* Consumer) = 0;
  virtual bool ConnectionIsPostponed() = 0;
  virtual void AddPostponedActivationDataSet(TDataSet* DataSet) = 0;

  void SetDataDriverConsumer(TComponent* Consumer) override { FConsumer = Consumer; }
  TComponent* GetDataDriverConsumer() override { return FConsumer; }

 private:
  TComponent* FConsumer = nullptr;  // the table clears itself before it goes
};
