#pragma once
// The aggregates of a records view (TMTAggregatesKv): one item per aggregate field of the view's
// dataset, each compiling its expression once and keeping its last value, which the dataset
// hands out as the aggregate field's value.

#include <memory>
#include <vector>

#include "framework/DB.h"
#include "framework/Variants.h"

class TRecordsViewKv;
class TDataSetExprParserKv;
class TMTAggregatesKv;

class TMTAggregateKv {
 public:
  TMTAggregateKv(TMTAggregatesKv* AAggregates, TDataSet* ADataSet);
  // The aggregate fields pointing to this item lose their handle.
  ~TMTAggregateKv();
  TMTAggregateKv(const TMTAggregateKv&) = delete;
  TMTAggregateKv& operator=(const TMTAggregateKv&) = delete;

  // Active, then Expression, from another item or from an aggregate field.
  void Assign(const TMTAggregateKv* Source);
  void Assign(TAggregateField* Source);
  String GetDisplayName() const;
  void Reset();
  void Recalc();
  void ClearValue() { FValue = Null; }

  bool GetActive() const { return FActive; }
  // A failing first calculation makes the item inactive again and reaches the caller.
  void SetActive(bool Value);
  const String& GetExpression() const { return FExpression; }
  void SetExpression(const String& Value);
  TMTAggregatesKv* GetAggregates() const { return FAggregates; }
  TDataSet* GetDataSet() const { return FDataSet; }
  TFieldType GetDataType() const { return FDataType; }
  bool GetInUse() const { return FInUse; }
  const Variant& GetValue() const { return FValue; }

 private:
  TMTAggregatesKv* FAggregates;
  bool FActive = false;
  std::unique_ptr<TDataSetExprParserKv> FAggrExpr;
  TDataSet* FDataSet;
  TFieldType FDataType = ftUnknown;
  String FExpression;
  bool FInUse = false;
  Variant FValue = Null;
};

class TMTAggregatesKv {
 public:
  explicit TMTAggregatesKv(TRecordsViewKv* AOwner);
  ~TMTAggregatesKv();
  TMTAggregatesKv(const TMTAggregatesKv&) = delete;
  TMTAggregatesKv& operator=(const TMTAggregatesKv&) = delete;

  TMTAggregateKv* Add();
  void Clear();
  Integer GetCount() const { return Integer(FItems.size()); }
  TMTAggregateKv* GetItem(Integer Index) const;
  TDataSet* GetDataSet() const;
  TRecordsViewKv* GetOwner() const { return FOwner; }

  bool GetActive() const { return FActive; }
  void SetActive(bool Value);
  // Items anew from the dataset's aggregate fields, then Recalc.
  void Reset();
  void Recalc();
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate() { --FUpdateCount; }
  Integer GetUpdateCount() const { return FUpdateCount; }

 private:
  bool FActive = false;
  TRecordsViewKv* FOwner;
  std::vector<std::unique_ptr<TMTAggregateKv>> FItems;
  Integer FUpdateCount = 0;
};
