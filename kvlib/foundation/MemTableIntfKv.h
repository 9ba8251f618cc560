#pragma once
// MemTableIntfKv: the in-memory table's interface as the grids see it. The grids never call the
// table's class: they ask a dataset for IMemTableKv and, when it answers, use its fast paths
// (instant read of any view row, tree-node queries, extra filters, value lists, record moves,
// aggregates) and register as IMTEventReceiverKv to hear of row changes. The table serves both;
// this header only declares them, so a grid unit need not include the table.
//
// The operations keep their order: descendants and callers rely on the layout.

#include <array>

#include "framework/db/DBTypes.h"
#include "framework/db/DataSet.h"

class TBMListKv;
class TMemoryRecordKv;
class TMemTableFilterItemKv;
class IMemTableDataFieldValueListKv;

DECLARE_ENUM(TMTViewEventTypeKv, mtRowInsertedKv, mtRowChangedKv, mtRowDeletedKv, mtRowMovedKv,
             mtViewDataChangedKv)

DECLARE_ENUM(TAggrFunctionKv, agfSumKv, agfCountKv, agfAvg, agfMin, agfMax)
using TAggrFunctionsKv = Set<TAggrFunctionKv, 5>;
// One slot per aggregate function, in the enumeration's order; Null when there is no value.
using TAggrResultArr = std::array<Variant, 5>;

// Receives the view events of a table it registered with. Row numbers count view rows from 0;
// -1 stands for no particular row.
class IMTEventReceiverKv : public virtual IInterface {
 public:
  virtual void MTViewEvent(Integer RowNum, TMTViewEventTypeKv Event, Integer OldRowNum) = 0;
};

class IMemTableKv : public virtual IInterface {
 public:
  // Fetches up to Count more records (-1: all); answers how many came.
  virtual Integer FetchRecords(Integer Count) = 0;
  virtual Integer GetInstantReadCurRow() = 0;
  virtual bool QueryAlwaysFalse() = 0;
  virtual bool GetTreeNodeExpanded() = 0;
  virtual bool GetTreeNodeHasVisibleChildren() = 0;
  // -1 without a node.
  virtual Integer GetTreeNodeLevel() = 0;
  virtual Integer GetPrevVisibleTreeNodeLevel() = 0;
  virtual Integer GetNextVisibleTreeNodeLevel() = 0;
  // Nil when there is none.
  virtual TMemoryRecordKv* GetRec() = 0;
  // -1 for an empty bookmark or a record outside the view.
  virtual Integer InstantReadIndexOfBookmark(const TBookmark& Bookmark) = 0;
  virtual Integer InstantReadRowCount() = 0;
  virtual Integer InstantReadViewRow() = 0;
  virtual bool IsInOperatorSupported() = 0;
  virtual bool GetViewAsTreeList() = 0;
  virtual TMemTableFilterItemKv* AddExtraFilter(const String& Filter, const TFilterRecordEvent& FilterProc) = 0;
  // False when Item is not one of the table's extra filters.
  virtual bool UpdateExtraFilter(TMemTableFilterItemKv* Item, const String& Filter,
                                 const TFilterRecordEvent& FilterProc) = 0;
  virtual bool DeleteExtraFilter(TMemTableFilterItemKv* Item) = 0;
  virtual bool ParentHasNextSibling(Integer ParentLevel) = 0;
  virtual bool ParentHasPriorSibling(Integer ParentLevel) = 0;
  // False when Rec is not in the view.
  virtual bool GotoRec(TMemoryRecordKv* Rec) = 0;
  // Answers the record number to move to, or -1.
  virtual Integer SetTreeNodeExpanded(Integer RowNum, bool Value) = 0;
  virtual IPtr<IMemTableDataFieldValueListKv> CreateFieldValueList(const String& FieldName) = 0;
  virtual bool MoveRecords(TBMListKv* BookmarkList, Integer ToRecNo, Integer TreeLevel, bool CheckOnly) = 0;
  virtual String GetLikeOneCharWildcard() = 0;
  virtual String GetLikeManyCharsWildcard() = 0;
  virtual bool BookmarkInVisibleView(const TBookmark& Bookmark) = 0;
  // Empty bookmarks: the whole view.
  virtual void GetAggregatedValuesForRange(const TBookmark& FromBM, const TBookmark& ToBM, const String& FieldName,
                                           TAggrResultArr& ResultArr, TAggrFunctionsKv AggrFuncs) = 0;
  virtual void MTDisableControls() = 0;
  virtual void MTEnableControls(bool ForceUpdateState) = 0;
  // Every enter is paired with one leave, on failure paths too.
  virtual void InstantReadEnter(Integer RowNum) = 0;
  virtual void InstantReadLeave() = 0;
  // Adds once; the object should implement IMTEventReceiverKv.
  virtual void RegisterEventReceiver(TObject* AObject) = 0;
  virtual void UnregisterEventReceiver(TObject* AObject) = 0;
  virtual void AbortFilter() = 0;
};
