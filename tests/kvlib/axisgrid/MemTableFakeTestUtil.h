#pragma once
// An array dataset that also answers the in-memory table's interface with inert answers, for
// tests that override the few operations they exercise.

#include "framework/DB.h"
#include "kvlib/foundation/MemTableIntfKv.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace axisgridtest {

class TFakeMemTableDataSet : public TArrayDataSet, public IMemTableKv {
 public:
  using TArrayDataSet::TArrayDataSet;

  Integer FetchRecords(Integer) override { return 0; }
  void GetAggregatedValuesForRange(const TBookmark&, const TBookmark&, const String&, TAggrResultArr&,
                                   TAggrFunctionsKv) override {}
  bool BookmarkInVisibleView(const TBookmark&) override { return true; }
  Integer GetInstantReadCurRow() override { return -1; }
  bool QueryAlwaysFalse() override { return false; }
  bool GetTreeNodeExpanded() override { return false; }
  bool GetTreeNodeHasVisibleChildren() override { return false; }
  Integer GetTreeNodeLevel() override { return -1; }
  Integer GetPrevVisibleTreeNodeLevel() override { return -1; }
  Integer GetNextVisibleTreeNodeLevel() override { return -1; }
  TMemoryRecordKv* GetRec() override { return nullptr; }
  Integer InstantReadIndexOfBookmark(const TBookmark&) override { return -1; }
  Integer InstantReadRowCount() override { return GetRecordCount(); }
  Integer InstantReadViewRow() override { return -1; }
  bool IsInOperatorSupported() override { return true; }
  bool GetViewAsTreeList() override { return false; }
  TMemTableFilterItemKv* AddExtraFilter(const String&, const TFilterRecordEvent&) override { return nullptr; }
  bool UpdateExtraFilter(TMemTableFilterItemKv*, const String&, const TFilterRecordEvent&) override { return false; }
  bool DeleteExtraFilter(TMemTableFilterItemKv*) override { return false; }
  bool ParentHasNextSibling(Integer) override { return false; }
  bool ParentHasPriorSibling(Integer) override { return false; }
  bool GotoRec(TMemoryRecordKv*) override { return false; }
  Integer SetTreeNodeExpanded(Integer, bool) override { return -1; }
  IPtr<IMemTableDataFieldValueListKv> CreateFieldValueList(const String&) override { return {}; }
  bool MoveRecords(TBMListKv*, Integer, Integer, bool) override { return false; }
  String GetLikeOneCharWildcard() override { return L"_"; }
  String GetLikeManyCharsWildcard() override { return L"%"; }
  void MTDisableControls() override {}
  void MTEnableControls(bool) override {}
  void InstantReadEnter(Integer) override {}
  void InstantReadLeave() override {}
  void RegisterEventReceiver(TObject*) override {}
  void UnregisterEventReceiver(TObject*) override {}
  void AbortFilter() override {}
};

}  // namespace axisgridtest
