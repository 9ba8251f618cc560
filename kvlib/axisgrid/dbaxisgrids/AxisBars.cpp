#include "kvlib/axisgrid/dbaxisgrids/AxisBars.h"

#include "framework/DB.h"
#include "kvlib/axisgrid/dbaxisgrids/AxisGrid.h"

TGridAxisBarsKv::TGridAxisBarsKv(TCustomDBAxisGridKv* Grid, TAxisBarKvClass ColumnClass)
    : TCollection(TCollectionItemClass(TClass(ColumnClass))), FGrid(Grid) {}

void TGridAxisBarsKv::ActiveChanged() {
  for (Integer I = 0; I < GetCount(); ++I) GetAxisBar(I)->GetLookupParams()->UpdateLookupState();
}

TAxisBarKv* TGridAxisBarsKv::AddBar(bool Stored) {
  if (!FGrid || GetUpdateCount() > 0) {
    auto* Bar = static_cast<TAxisBarKv*>(TCollection::Add());
    Bar->SetStored(Stored);
    return Bar;
  }
  TAxisGridLayoutBlockKv Block(FGrid);
  auto* Bar = static_cast<TAxisBarKv*>(TCollection::Add());
  Bar->SetStored(Stored);
  return Bar;
}

TAxisBarKv* TGridAxisBarsKv::AddDefaultBar() { return AddBar(false); }

TDBGridBarsState TGridAxisBarsKv::GetState() const {
  return GetCount() > 0 && GetAxisBar(0)->GetStored() ? csCustomized : csDefault;
}

void TGridAxisBarsKv::SetState(TDBGridBarsState Value) {
  if (Value == GetState()) return;
  if (Value == csCustomized)
    RebuildBars();
  else
    Clear();
}

void TGridAxisBarsKv::AddAllBars(bool DeleteExisting) {
  TDataSet* DataSet = FGrid ? FGrid->GetDataLink()->GetDataSet() : nullptr;
  if (!DataSet) {
    if (DeleteExisting) Clear();
    return;
  }
  TAxisGridLayoutBlockKv Block(FGrid);
  if (DeleteExisting) Clear();
  TList Fields;
  FGrid->GetDatasetFieldList(&Fields);
  for (Integer I = 0; I < Fields.GetCount(); ++I) Add()->SetFieldName(static_cast<TField*>(Fields[I])->GetFieldName());
}

void TGridAxisBarsKv::RestoreDefaults() {
  BeginUpdate();
  struct TEnd {
    TCollection* C;
    ~TEnd() { C->EndUpdate(); }
  } End{this};
  for (Integer I = 0; I < GetCount(); ++I) GetAxisBar(I)->RestoreDefaults();
}

TAxisBarKv* TGridAxisBarsKv::FindBarByName(const String& ColumnName) const {
  for (Integer I = 0; I < GetCount(); ++I)
    if (GetAxisBar(I)->GetName() == ColumnName) return GetAxisBar(I);
  return nullptr;
}

void TGridAxisBarsKv::GetBarNames(TStrings* List) const {
  for (Integer I = 0; I < GetCount(); ++I) List->Add(GetAxisBar(I)->GetName());
}

bool TGridAxisBarsKv::CheckItemInList(TAxisBarKv* AxisBar) const {
  for (Integer I = 0; I < GetCount(); ++I)
    if (GetAxisBar(I) == AxisBar) return true;
  return false;
}

void TGridAxisBarsKv::Assign(TPersistent* Source) {
  if (!FGrid) {
    TCollection::Assign(Source);
    return;
  }
  TAxisGridLayoutBlockKv Block(FGrid);
  TCollection::Assign(Source);
}

TPersistent* TGridAxisBarsKv::GetOwner() {
  if (FGrid && FGrid->FAxisBarOwner) return FGrid->FAxisBarOwner;
  return FGrid;
}

void TGridAxisBarsKv::Notify(TCollectionItem* Item, TCollectionNotification Action) {
  auto* Bar = static_cast<TAxisBarKv*>(Item);
  if (Action == cnAdded) Bar->GridAttached(FGrid);
  if (Action == cnDeleting && FGrid) FGrid->AxisBarDeleting(Bar);
  TCollection::Notify(Item, Action);
  if (Action == cnExtracting)
    AxisBarChanged(Bar, 0);
  else if (Action == cnDeleting)
    AxisBarChanged(Bar, 1);
}

void TAxisBarsKvList::Assign(TAxisBarsKvList* List) {
  Clear();
  for (Integer I = 0; I < List->GetCount(); ++I) Add(List->GetItems(I));
}
