#pragma once
// The records view (TRecordsViewKv): the part of the in-memory table a dataset navigates. Over the
// storage's records it keeps a sorted list (one node per record) and a view list (the nodes that
// pass the filters, in the view's order), follows the storage's change notifications
// incrementally, and tells its own listeners what changed in terms of view rows.
//
// A record finds its node through an identity map keyed by the record's never-reused hash code;
// the nodes know their positions, renumbered lazily after a change in the middle of a list.

#include <memory>
#include <string>
#include <vector>

#include "kvlib/foundation/DBUtilsKv.h"
#include "kvlib/memtable/memtabledata/MemoryTree.h"
#include "kvlib/memtable/memtabledata/NodeList.h"
#include "kvlib/memtable/memtabledata/RecordsList.h"

class TRecordsViewKv;
class TMTAggregatesKv;

// The node of one record in one records view, from the storage's pool.
class TMemRecViewKv {
 public:
  TMemRecViewKv(TRecordsViewKv* AView, TMemoryRecordKv* ARec) : FRec(ARec), FRecordsView(AView) {}
  ~TMemRecViewKv();
  TMemRecViewKv(const TMemRecViewKv&) = delete;
  TMemRecViewKv& operator=(const TMemRecViewKv&) = delete;
  static void* operator new(size_t Size) { return MemTableAllocKv(Size); }
  static void operator delete(void* P, size_t Size) noexcept { MemTableFreeKv(P, Size); }

  TMemoryRecordKv* GetRec() const { return FRec; }
  TRecordsViewKv* GetRecordsView() const { return FRecordsView; }
  // The position in the view's sorted list, found from the node's place (O(log n)).
  Integer GetInSortedListIndex() const;
  // Values of the table's calculated and lookup fields; made on first use only.
  TRecDataValues& GetLookupBuffer();
  bool HasLookupBuffer() const { return FLookupBuffer != nullptr; }
  void SetLookupBufferLength(Integer NewLength) { GetLookupBuffer().resize(size_t(NewLength)); }

  // ---- In the view's record tree
  bool GetNodeExpanded() const;
  bool GetNodeHasChildren() const;
  void SetNodeHasChildren(bool Value);
  bool GetNodeHasVisibleChildren() const;
  Integer GetNodeIndex();
  Integer GetNodeLevel() const;
  bool GetNodeVisible() const;
  // The parent node (the tree's root for a top-level record); null apart from the tree.
  TMemRecViewKv* GetNodeParent() const;
  Integer GetNodesCount() const;
  TMemRecViewKv* GetNodeItems(Integer Index) const;
  Integer GetVisibleNodesCount() const;

 private:
  friend class TRecordsViewKv;
  friend class TMTNodeListKv;
  friend class TMemoryTreeListKv;
  TMemoryRecordKv* FRec;
  TRecordsViewKv* FRecordsView;
  TMTNodeChunkKv* FChunk[2] = {nullptr, nullptr};  // the view list's and the sorted list's
  Integer FAt[2] = {-1, -1};
  std::unique_ptr<TRecDataValues> FLookupBuffer;
  TMTTreeLinksKv* FLinks = nullptr;  // owned; made when the node first joins a tree
};

// The sort order of a view: field names resolved to storage field indexes.
class TRecordsViewOrderByList : public TOrderByList {
  DECLARE_CLASS(TRecordsViewOrderByList, TOrderByList)
 public:
  explicit TRecordsViewOrderByList(TRecordsViewKv* AView = nullptr) : TOrderByList(true), FRecordsView(AView) {}

 protected:
  void SetItemFieldIndex(TOrderByItemKv* Item, Integer Index) override { Item->MTFieldIndex = Index; }
  Integer GetFieldIndex(const String& FieldName) override;

 private:
  TRecordsViewKv* FRecordsView;
};

using TRecordsViewFilterEventKv = Closure<bool(TMemoryRecordKv* Rec, TMemRecViewKv* Node)>;
using TRecordsListCalcLookupBufferEventKv = Closure<void(TMemoryRecordKv* Item, TMemRecViewKv* RecView)>;
using TGetPrefilteredListEventKv = Closure<std::vector<TMemRecViewKv*>*()>;
// One sort key per record for the view's order (byte order of the keys is the records' order);
// false when the record has none, and the sort then compares records.
using TGetSortKeyEventKv = Closure<bool(TMemoryRecordKv* Rec, TOrderByList* OrderBy, std::string& Key)>;
using TUpdateStatusSetKv = Set<TUpdateStatus, 8>;

class TRecordsViewKv : public TRecordsListNotificatorKv {
  DECLARE_CLASS(TRecordsViewKv, TRecordsListNotificatorKv)
 public:
  explicit TRecordsViewKv(TDataSet* ADataSet);
  ~TRecordsViewKv() override;

  TMemTableDataKv* GetMemTableDataObject() const { return GetMemTableData(); }
  void SetMemTableData(TMemTableDataKv* Value);
  TDataSet* GetDataSet() const { return FDataSet; }

  // ---- Reading
  Integer Count() const { return FViewList.Count(); }
  Integer ViewItemsCount() const { return Count(); }
  // The visible records, collapsed or not, in tree mode; else the rows.
  Integer AccountableItemsCount() const;
  TMemoryRecordKv* Rec(Integer Index) const;
  TMemoryRecordKv* ViewRecord(Integer Index) const { return Rec(Index); }
  TMemRecViewKv* RecordView(Integer Index) const;
  TMemoryRecordKv* AccountableRecord(Integer Index) const;
  // The view row of Rec, -1 when it has none; through the identity map.
  Integer IndexOfRec(TMemoryRecordKv* ARec);
  TMemRecViewKv* SortedListItem(Integer Index) const;
  Integer SortedListItemCount() const { return FSortedList.Count(); }
  Integer IndexOfSortedListRec(TMemoryRecordKv* ARec);
  // The node of a record of the storage, or null.
  TMemRecViewKv* NodeOfRec(TMemoryRecordKv* ARec) const;
  // The node of the record whose hash code is RecId, or null: an identity kept elsewhere (a
  // bookmark) finds its record here, never another one.
  TMemRecViewKv* NodeOfRecId(UInt64 RecId) const;
  Variant Value(Integer RecNo, Integer ValNo) const;

  // ---- Changing, forwarded to the records list
  TMemoryRecordKv* NewRecord();
  Integer AddRecord(TMemoryRecordKv* ARec);
  void InsertRecord(Integer Index, TMemoryRecordKv* ARec);
  void DeleteRecord(Integer Index);
  void SetValue(Integer RecNo, Integer ValNo, const Variant& AValue);
  void RevertRecord(Integer Index);
  void RefreshRecord(Integer Index, TMemoryRecordKv* FromRec);
  void MergeChangeLog();
  void CancelUpdates();
  // A copy of the old values of the record at view row Index.
  TRecDataValues OldRecVals(Integer Index) const;
  void LockCachedUpdates();
  void UnlockCachedUpdates();

  // ---- Settings
  const String& GetSortOrder() const { return FSortOrder; }
  void SetSortOrder(const String& Value);
  bool GetSortOrderCaseInsensitive() const { return FSortOrderCaseInsensitive; }
  void SetSortOrderCaseInsensitive(bool Value);
  TUpdateStatusSetKv GetStatusFilter() const { return FStatusFilter; }
  void SetStatusFilter(TUpdateStatusSetKv Value);
  void InstantDisableFilter() { ++FDisableFilterCount; }
  void InstantEnableFilter() { --FDisableFilterCount; }
  bool GetFilterAborted() const { return FFilterAborted; }
  void SetFilterAborted(bool Value) { FFilterAborted = Value; }
  bool GetCatchChanged() const { return FCatchChanged; }
  void SetCatchChanged(bool Value) { FCatchChanged = Value; }
  TRecordsViewOrderByList* GetOrderByList() const { return FOrderByList.get(); }
  TMTAggregatesKv* GetAggregates() const { return FAggregates.get(); }

  // ---- Tree mode: the rows are the record tree's visible nodes whose ancestors are expanded,
  // the sorted list is the tree's nodes depth-first.
  bool GetViewAsTreeList() const { return FViewAsTreeList; }
  void SetViewAsTreeList(bool Value);
  TMemoryTreeListKv* GetMemoryTreeList() const { return FMemoryTreeList.get(); }
  const String& GetTreeViewKeyFieldName() const { return FTreeViewKeyFieldName; }
  void SetTreeViewKeyFieldName(const String& Value);
  const String& GetTreeViewRefParentFieldName() const { return FTreeViewRefParentFieldName; }
  void SetTreeViewRefParentFieldName(const String& Value);
  const TIntArray& GetTreeViewKeyFields() const { return FTreeViewKeyFields; }
  const TIntArray& GetTreeViewRefParentFields() const { return FTreeViewRefParentFields; }
  void UpdateFields();
  void RebuildMemoryTreeList();
  void RefreshFilteredRecsTreeList();
  void SortTreeNodes();

  // ---- Operations
  virtual bool IsRecordInFilter(TMemoryRecordKv* ARec, Integer, TMemRecViewKv* Node);
  virtual void AddNotificator(TRecordsListNotificatorKv* Notificator);
  virtual void RemoveNotificator(TRecordsListNotificatorKv* Notificator);
  virtual void ViewDataEvent(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action);
  virtual void ViewRecordMovedEvent(TMemoryRecordKv* MemRec, Integer OldIndex, Integer NewIndex);
  virtual void ApplySortOrder();
  virtual void SortViewLists();
  void SortData(TObject* ParamSort, const TCompareRecords& Compare);
  void RefreshFilteredRecsList(bool NotifyListChanged);
  void UpdateSortedListIndexes();
  void UpdateAllLookupBuffer();
  Integer CompareViewRecords(TMemoryRecordKv* Rec1, TMemoryRecordKv* Rec2);
  // An aggregate over the view rows: "COUNT" of "*", or SUM, COUNT, MIN, MAX, AVG of a field.
  Variant CalcAggrFieldFunc(const String& FieldName, const String& AggrFuncName);

  void DataEvent(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action) override;
  void RecordMoved(TMemoryRecordKv* MemRec, Integer OldIndex, Integer NewIndex) override;

  // ---- Events
  void SetOnCompareRecords(TCompareRecords Value) { FOnCompareRecords = Value; }
  void SetOnGetSortKey(TGetSortKeyEventKv Value) { FOnGetSortKey = Value; }
  // The view's own key for a record by its order-by fields, when the table compares nothing
  // itself: numbers by value, texts by the Turkish collation under a Turkish user (without its
  // case level for a case-insensitive order). False for a value of another kind, or for a text
  // under any other user.
  bool MakeSortKey(TMemoryRecordKv* ARec, std::string& Key);
  void SetOnFilterRecord(TRecordsViewFilterEventKv Value) { FOnFilterRecord = Value; }
  void SetOnCalcLookupBuffer(TRecordsListCalcLookupBufferEventKv Value) { FOnCalcLookupBuffer = Value; }
  void SetOnGetPrefilteredList(TGetPrefilteredListEventKv Value) { FOnGetPrefilteredList = Value; }
  void SetOnViewDataEvent(TRecordsListNotificatorDataEventKv Value) { FOnViewDataEvent = Value; }
  void SetOnViewRecordMovedEvent(TRecordsListRecordMovedEventKv Value) { FOnViewRecordMovedEvent = Value; }

 protected:
  void DestroyContents() override;

 private:
  friend class TMemRecViewKv;
  friend class TMemoryTreeListKv;
  // ---- Tree mode's handling of the storage's notifications and of a refresh.
  void TreeDataEvent(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action);
  void AddTreeNode(TMemoryRecordKv* MemRec);
  void DeleteTreeNode(TMemRecViewKv* Node);
  void RefreshTree(bool NotifyListChanged);
  // ---- The identity map: record hash code to node, open addressing with linear probing; a
  // slot holds the node (whose record gives the key), null when empty.
  void MapClear();
  void MapPut(TMemRecViewKv* Node);
  void MapRemove(TMemoryRecordKv* ARec);
  TMemRecViewKv* MapGet(const TMemoryRecordKv* ARec) const;
  void MapGrow(size_t NewCapacity);

  void FreeNodes();
  Integer FindInsertPos(TMemRecViewKv* Node, Integer Hint);
  void InsertIntoView(Integer Pos, TMemRecViewKv* Node);
  void RemoveFromView(Integer Pos);
  void CalcLookupBuffer(TMemRecViewKv* Node);
  void RecalcAggregates();
  // Sorts a list by one key per record made once; false (the list untouched) when a record has none.
  bool SortByKeys(TMTNodeListKv& List);
  void SortByComparison(TMTNodeListKv& List);
  struct TPost {
    TMemoryRecordKv* Rec = nullptr;
    Integer Index = -1;
    TRecordsListNotification Action = rlnRecAddingKv;
    bool Set = false;
  };
  static void Remember(TPost& Post, TMemoryRecordKv* ARec, Integer Index, TRecordsListNotification Action);

  TDataSet* FDataSet;
  std::unique_ptr<TMTAggregatesKv> FAggregates;
  bool FCachedUpdates = true;
  Integer FCachedUpdatesLockCount = 0;
  bool FCatchChanged = false;
  bool FFilterAborted = false;
  TMTNodeListKv FViewList{0};
  std::vector<TRecordsListNotificatorKv*> FNotificators;
  std::unique_ptr<TRecordsViewOrderByList> FOrderByList;
  TMTNodeListKv FSortedList{1};
  String FSortOrder;
  bool FSortOrderCaseInsensitive = false;
  TUpdateStatusSetKv FStatusFilter{usUnmodified, usModified, usInserted};
  Integer FDisableFilterCount = 0;
  std::vector<TMemRecViewKv*, TMemTableAllocatorKv<TMemRecViewKv*>> FMap;
  size_t FMapUsed = 0;  // filled and removed slots
  TCompareRecords FOnCompareRecords;
  TGetSortKeyEventKv FOnGetSortKey;
  TRecordsViewFilterEventKv FOnFilterRecord;
  TRecordsListCalcLookupBufferEventKv FOnCalcLookupBuffer;
  TGetPrefilteredListEventKv FOnGetPrefilteredList;
  TRecordsListNotificatorDataEventKv FOnViewDataEvent;
  TRecordsListRecordMovedEventKv FOnViewRecordMovedEvent;
  std::unique_ptr<TMemoryTreeListKv> FMemoryTreeList;
  bool FViewAsTreeList = false;
  String FTreeViewKeyFieldName;
  TIntArray FTreeViewKeyFields;
  String FTreeViewRefParentFieldName;
  TIntArray FTreeViewRefParentFields;
};
