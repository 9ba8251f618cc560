#pragma once
// TGridAxisBarsKv: the bars of one axis grid. Default bars are made by the grid from the
// dataset's fields and not stored; once the first bar is a stored one the collection counts as
// customized. TAxisBarsKvList is a plain list of bars that owns none of them.

#include "framework/Classes.h"
#include "kvlib/axisgrid/dbaxisgrids/AxisBar.h"
#include "kvlib/foundation/KvLibCore.h"

class TCustomDBAxisGridKv;

DECLARE_ENUM(TDBGridBarsState, csDefault, csCustomized)

using TAxisBarKvClass = TClassRef<TAxisBarKv>;

class TGridAxisBarsKv : public TCollection {
  DECLARE_CLASS(TGridAxisBarsKv, TCollection)
 public:
  TGridAxisBarsKv(TCustomDBAxisGridKv* Grid, TAxisBarKvClass ColumnClass);

  // ---- New virtual operations, in order -------------------------------------------------------
  // Whether a customized collection keeps its bars through the layout pass.
  virtual bool KeepsDefaultBars() { return true; }
  // Whether the layout pass builds the bars from the fields.
  virtual bool BuildsBarsPerField() { return GetState() == csDefault; }
  // Kind 0: extracted, 1: deleted, 2: moved.
  virtual void AxisBarChanged(TAxisBarKv*, Integer /*Kind*/) {}
  // Every bar's lookup re-evaluates its state.
  virtual void ActiveChanged();

  // A stored bar; outside a collection update the grid lays out once it is in.
  TAxisBarKv* Add() { return AddBar(true); }
  // A bar the grid makes from a field: not stored.
  TAxisBarKv* AddDefaultBar();
  TAxisBarKv* GetAxisBar(Integer Index) const { return static_cast<TAxisBarKv*>(GetItem(Index)); }
  void SetAxisBar(Integer Index, TAxisBarKv* Value) { SetItem(Index, Value); }
  TAxisBarKv* operator[](Integer Index) const { return GetAxisBar(Index); }
  TCustomDBAxisGridKv* GetGrid() const { return FGrid; }
  TDBGridBarsState GetState() const;
  void SetState(TDBGridBarsState Value);
  // One stored bar per field of the dataset, hidden fields too.
  void AddAllBars(bool DeleteExisting);
  void RebuildBars() { AddAllBars(true); }
  void RestoreDefaults();
  // Case-sensitive; nil when no bar has the name.
  TAxisBarKv* FindBarByName(const String& ColumnName) const;
  void GetBarNames(TStrings* List) const;
  bool CheckItemInList(TAxisBarKv* AxisBar) const;
  // Inside one layout block of the grid.
  void Assign(TPersistent* Source) override;

 protected:
  TPersistent* GetOwner() override;
  // A change of one bar does not repaint through the collection.
  void Update(TCollectionItem*) override {}
  void Notify(TCollectionItem* Item, TCollectionNotification Action) override;

 private:
  TAxisBarKv* AddBar(bool Stored);
  TCustomDBAxisGridKv* FGrid;
};

// The same collection under the data grid's name for its items.
class TBaseColumnsKv : public TGridAxisBarsKv {
  DECLARE_CLASS(TBaseColumnsKv, TGridAxisBarsKv)
 public:
  using TGridAxisBarsKv::TGridAxisBarsKv;
  TBaseColumnKv* GetColumn(Integer Index) const { return static_cast<TBaseColumnKv*>(GetAxisBar(Index)); }
  void SetColumn(Integer Index, TBaseColumnKv* Value) { SetAxisBar(Index, Value); }
};

class TAxisBarsKvList : public TObjectListKv {
  DECLARE_CLASS(TAxisBarsKvList, TObjectListKv)
 public:
  TAxisBarsKvList() : TObjectListKv(false) {}
  TAxisBarKv* GetAxisBar(Integer Index) const { return static_cast<TAxisBarKv*>(GetItems(Index)); }
  void SetAxisBar(Integer Index, TAxisBarKv* Value) { SetItems(Index, Value); }
  // Empties this list, then appends every bar of List in order.
  void Assign(TAxisBarsKvList* List);
};
