#include "kvlib/memtable/memtabledata/Aggregates.h"

#include "kvlib/memtable/memtabledata/ExprEvaluator.h"
#include "kvlib/memtable/memtabledata/RecordsView.h"

namespace AggregatesKv {

// The dataset can compute: open, and not being loaded.
bool DataSetComputes(TDataSet* DataSet) {
  return DataSet && DataSet->GetActive() && !DataSet->GetComponentState().Contains(csLoading);
}

}  // namespace AggregatesKv

// ---- Item ----------------------------------------------------------------------------------------

TMTAggregateKv::TMTAggregateKv(TMTAggregatesKv* AAggregates, TDataSet* ADataSet)
    : FAggregates(AAggregates), FAggrExpr(new TDataSetExprParserKv(ADataSet, dsptAggregateKv)), FDataSet(ADataSet) {}

TMTAggregateKv::~TMTAggregateKv() {
  if (FDataSet && FDataSet->GetAggFields()) {
    TFields* Fields = FDataSet->GetAggFields();
    for (Integer I = 0; I < Fields->GetCount(); ++I)
      if (auto* F = dynamic_cast<TAggregateField*>(Fields->GetField(I)))
        if (F->GetHandle() == this) F->SetHandle(nullptr);
  }
}

void TMTAggregateKv::Assign(const TMTAggregateKv* Source) {
  SetActive(Source->GetActive());
  SetExpression(Source->GetExpression());
}

void TMTAggregateKv::Assign(TAggregateField* Source) {
  SetActive(Source->GetActive());
  SetExpression(Source->GetExpression());
}

String TMTAggregateKv::GetDisplayName() const { return FExpression.empty() ? String(L"TMTAggregateKv") : FExpression; }

void TMTAggregateKv::Reset() {
  FInUse = false;
  if (FDataSet && FDataSet->GetActive() && FActive && !FExpression.empty() && FAggregates->GetActive()) {
    FAggrExpr->ParseExpression(FExpression);
    FDataType = ftFloat;
    FInUse = true;
  } else {
    FValue = Null;
  }
}

void TMTAggregateKv::Recalc() {
  FValue = FInUse ? FAggrExpr->CalcAggregateValue(FAggregates->GetOwner()) : Variant(Null);
}

void TMTAggregateKv::SetExpression(const String& Value) {
  if (Value == FExpression) return;
  String Old = FExpression;
  bool OldInUse = FInUse;
  FExpression = Value;
  try {
    Reset();
  } catch (...) {
    // An expression that does not compile leaves the previous one in force (the evaluator
    // kept its byte code).
    FExpression = Old;
    FInUse = OldInUse;
    throw;
  }
  if (FAggregates->GetUpdateCount() == 0) Recalc();
}

void TMTAggregateKv::SetActive(bool Value) {
  if (Value == FActive) return;
  FActive = Value;
  if (FDataSet && FAggregates->GetUpdateCount() == 0) {
    try {
      Reset();
      Recalc();
    } catch (...) {
      FActive = false;
      FInUse = false;
      FValue = Null;
      throw;
    }
  }
}

// ---- Collection ----------------------------------------------------------------------------------

TMTAggregatesKv::TMTAggregatesKv(TRecordsViewKv* AOwner) : FOwner(AOwner) {}

TMTAggregatesKv::~TMTAggregatesKv() = default;

TDataSet* TMTAggregatesKv::GetDataSet() const { return FOwner ? FOwner->GetDataSet() : nullptr; }

TMTAggregateKv* TMTAggregatesKv::Add() {
  FItems.push_back(std::make_unique<TMTAggregateKv>(this, GetDataSet()));
  return FItems.back().get();
}

void TMTAggregatesKv::Clear() { FItems.clear(); }

TMTAggregateKv* TMTAggregatesKv::GetItem(Integer Index) const {
  if (Index < 0 || Index >= GetCount()) throw EListError(L"List index out of bounds (" + IntToStr(Index) + L")");
  return FItems[size_t(Index)].get();
}

void TMTAggregatesKv::SetActive(bool Value) {
  if (Value == FActive) return;
  FActive = Value;
  Reset();
}

void TMTAggregatesKv::Reset() {
  BeginUpdate();
  try {
    Clear();
    TDataSet* DS = GetDataSet();
    TFields* Fields = DS ? DS->GetAggFields() : nullptr;
    for (Integer I = 0; Fields && I < Fields->GetCount(); ++I) {
      auto* F = dynamic_cast<TAggregateField*>(Fields->GetField(I));
      if (!F) continue;
      TMTAggregateKv* Item = Add();
      Item->Assign(F);
      Item->Reset();
      F->SetHandle(Item);
      F->SetResultType(Item->GetDataType());
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  Recalc();
}

void TMTAggregatesKv::Recalc() {
  bool Computes = AggregatesKv::DataSetComputes(GetDataSet()) && FUpdateCount == 0;
  for (auto& Item : FItems) {
    if (Computes) Item->Recalc();
    else Item->ClearValue();
  }
}
