#pragma once
// The record tree (TMemoryTreeListKv): the records of a view in tree mode, each under the record
// whose key its parent reference names. A record whose reference names no record, or itself, is
// a top-level record.
//
// The nodes are the view's own (TMemRecViewKv); the tree adds their links (parent, children in
// order, level, expanded and visible states). The view's two node lists serve as the tree's flat
// lists and are kept up to date at every change instead of being rebuilt: its sorted list holds
// every node depth-first, its view list the visible nodes whose ancestors are all expanded. A
// node's place in either is found in O(log n), and the place of a node entering the view list by
// a bisection over the depth-first positions, so a change touches only the nodes it concerns.

#include <memory>
#include <vector>

#include "kvlib/foundation/DBUtilsKv.h"
#include "kvlib/memtable/memtabledata/RecordsList.h"
#include "kvlib/memtable/memtabledata/Values.h"

class TMemoryRecordKv;
class TMemRecViewKv;
class TMemoryTreeListKv;
class TMTIndexKv;
class TMTNodeListKv;
class TRecordsViewKv;

// The tree's part of a node; from the storage's pool, made when the node joins a tree.
struct TMTTreeLinksKv {
  static void* operator new(size_t Size) { return MemTableAllocKv(Size); }
  static void operator delete(void* P, size_t Size) noexcept { MemTableFreeKv(P, Size); }

  TMemRecViewKv* Parent = nullptr;  // null apart from the tree (and for the root)
  std::vector<TMemRecViewKv*, TMemTableAllocatorKv<TMemRecViewKv*>> Children;
  Integer Index = -1;       // among the parent's children, current below the parent's IndexedTo
  Integer IndexedTo = 0;    // the children before this position know their Index
  Integer Level = 0;        // 1 for a top-level record
  Integer VisibleChildren = 0;
  bool Expanded = false;
  bool Visible = true;
  bool HasChildren = false;  // the flag a caller sets (children still to come)
  bool LockUpdate = false;   // an expanded change is not reported meanwhile
};

// Where MoveTo puts a node: after Destination, before it, or as its last or first child.
enum TMTTreeAttachModeKv { tamAddKv, tamInsertKv, tamAddChildKv, tamAddChildFirstKv };

using TMTTreeNodeEventKv = Closure<void(TMemRecViewKv* Node)>;
using TMTTreeNodeQueryEventKv = Closure<void(TMemRecViewKv* Node, bool& Allow)>;

class TMemoryTreeListOrderByList : public TOrderByList {
  DECLARE_CLASS(TMemoryTreeListOrderByList, TOrderByList)
 public:
  explicit TMemoryTreeListOrderByList(TMemoryTreeListKv* ATreeList = nullptr) : TOrderByList(true), FTreeList(ATreeList) {}

 protected:
  void SetItemFieldIndex(TOrderByItemKv* Item, Integer Index) override { Item->MTFieldIndex = Index; }
  Integer GetFieldIndex(const String& FieldName) override;

 private:
  TMemoryTreeListKv* FTreeList;
};

class TMemoryTreeListKv {
 public:
  static constexpr Integer MaxLevel = 1000;

  explicit TMemoryTreeListKv(TRecordsViewKv* ARecordsView);
  virtual ~TMemoryTreeListKv();
  TMemoryTreeListKv(const TMemoryTreeListKv&) = delete;
  TMemoryTreeListKv& operator=(const TMemoryTreeListKv&) = delete;

  TRecordsViewKv* GetRecordsView() const { return FRecordsViewKv; }
  TMemRecViewKv* GetRoot() const { return FRoot.get(); }
  bool GetDefaultNodeExpanded() const { return FDefaultNodeExpanded; }
  void SetDefaultNodeExpanded(bool Value) { FDefaultNodeExpanded = Value; }
  bool GetDefaultNodeHasChildren() const { return FDefaultNodeHasChildren; }
  void SetDefaultNodeHasChildren(bool Value) { FDefaultNodeHasChildren = Value; }
  bool GetFilterNodeIfParentVisible() const { return FFilterNodeIfParentVisible; }
  void SetFilterNodeIfParentVisible(bool Value) { FFilterNodeIfParentVisible = Value; }
  bool GetFullBuildCheck() const { return FFullBuildCheck; }
  void SetFullBuildCheck(bool Value) { FFullBuildCheck = Value; }
  const String& GetSortOrder() const { return FSortOrder; }
  // Parses the order (a parse error keeps the old one) and sorts every level by it.
  void SetSortOrder(const String& Value);
  TMemoryTreeListOrderByList* GetOrderByList() const { return FOrderByList.get(); }
  const String& KeyFieldNames() const;
  const String& ParentFieldNames() const;
  void SetOnExpandedChanging(TMTTreeNodeQueryEventKv Value) { FOnExpandedChanging = Value; }
  void SetOnExpandedChanged(TMTTreeNodeEventKv Value) { FOnExpandedChanged = Value; }

  // ---- Building (the view made the node; it is not in the tree yet)
  // Puts the node under the parent its record's reference names; answers the node.
  TMemRecViewKv* AddChildAtKey(TMemRecViewKv* Node);
  // Puts the node under Parent (the root when null) at its ordered place.
  TMemRecViewKv* AddChild(TMemRecViewKv* Parent, TMemRecViewKv* Node);
  // Moves a changed record's node to the parent and place its values name; answers the parent.
  TMemRecViewKv* UpdateParent(TMemRecViewKv* Node);
  // Takes Node and its subtree out of the tree; they keep their links among themselves.
  void ExtractNode(TMemRecViewKv* Node);
  // Every node leaves the tree (the view frees them); the tree is empty.
  void Clear();
  // While bulk is on, the flat lists are left alone; BuildVisibleItems makes them whole after.
  void BeginBulk() { FBulk = true; }
  void EndBulk();

  // ---- Lookups
  TMemRecViewKv* GetParentNodeAtKey(TMemRecViewKv* StartNode, TMemoryRecordKv* MemRecord);
  TMemRecViewKv* GetParentNodeAtKeyValue(TMemRecViewKv* StartNode, const Variant& RefKeyValue);
  TMemRecViewKv* GetParentNodeForRefValue(const Variant& RefValue);
  TMemRecViewKv* GetParentNodeForRec(TMemoryRecordKv* MemRecord);
  // The node of MemRecord when it is in the tree below StartNode (the root when null).
  TMemRecViewKv* GetNode(TMemRecViewKv* StartNode, TMemoryRecordKv* MemRecord);
  TMemRecViewKv* GetNodeAtValue(TMemRecViewKv* StartNode, const String& FieldNames, const Variant& Value);
  void GetChildNodesForKey(TMemRecViewKv* StartNode, TMemoryRecordKv* MemRecord, std::vector<TMemRecViewKv*>& ChildList);
  // The place among ParentNode's children where Rec's node belongs; -1: at the end.
  Integer GetIndexForNode(TMemoryRecordKv* Rec, TMemRecViewKv* ParentNode);
  // Whether the reference (the record's own when NewRefValue is unassigned) makes the record its
  // own ancestor; for a record about to be added, also whether a node it would adopt (a full
  // build check) is among its ancestors-to-be.
  bool CheckReferenceLoop(TMemoryRecordKv* MemRecord, const Variant& NewRefValue);
  // The records of Node's children, each followed by its descendants' when ARecurse.
  void GetRecordsList(std::vector<TMemoryRecordKv*>& List, TMemRecViewKv* Node, bool ARecurse);
  Variant KeyOf(TMemoryRecordKv* Rec) const;
  Variant RefOf(TMemoryRecordKv* Rec) const;

  // ---- Visibility
  void UpdateNodeState(TMemRecViewKv* Node, bool IsUpdateParent);
  void UpdateNodesState(TMemRecViewKv* Parent);
  virtual void ShowSubtreesOfFilteredNodes(TMemRecViewKv* Node);
  // Makes the flat lists anew from the tree (after a build or a sort).
  void BuildVisibleItems();
  bool GetVisibleItemsObsolete() const { return FVisibleItemsObsolete; }
  void SetVisibleItemsObsolete(bool Value) { FVisibleItemsObsolete = Value; }

  // ---- The flat lists
  Integer VisibleExpandedCount() const;
  virtual TMemRecViewKv* GetVisibleExpandedItem(Integer Index);
  Integer AccountableCount();
  TMemRecViewKv* GetAccountableItem(Integer Index);
  Integer FlatListCount() const;
  TMemRecViewKv* GetFlatListItem(Integer Index);

  // ---- Sorting, moving, expanding
  virtual void Resort();
  // Sorts the children of every node (or of the root's only, without ARecurse) by the view's order.
  virtual void SortData(bool ARecurse);
  virtual Integer CompareTreeNodes(TMemoryRecordKv* Rec1, TMemoryRecordKv* Rec2);
  // Raises "Reference-loop found" when Destination lies in Node's subtree, and the level error
  // when the subtree would sink below the maximum level, before anything changes.
  virtual void MoveTo(TMemRecViewKv* Node, TMemRecViewKv* Destination, TMTTreeAttachModeKv Mode);
  void SetExpanded(TMemRecViewKv* Node, bool Value);
  void Expand(TMemRecViewKv* Node, bool Recurse);
  void Collapse(TMemRecViewKv* Node, bool Recurse);
  TMemRecViewKv* GetNext(TMemRecViewKv* Node);
  TMemRecViewKv* GetPrevious(TMemRecViewKv* Node);
  TMemRecViewKv* GetNextVisibleSibling(TMemRecViewKv* Node);
  TMemRecViewKv* GetPriorVisibleSibling(TMemRecViewKv* Node);
  // The node's place among its parent's children.
  Integer ChildIndex(TMemRecViewKv* Node);
  // Moves the node among its siblings to where its record's storage index puts it.
  void RecordMoved(TMemRecViewKv* Node);

  // ---- The tree's own indexes: where the storage has no active index on the key fields (or, with
  // the full build check, on the reference fields), the tree keeps one, so that finding a parent
  // or the children that name a record is a bisection rather than a search of the tree. The view
  // hands them the storage's notifications.
  void PrepareIndexes();
  void NotifyIndexes(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action);
  void IndexesRecordMoved(TMemoryRecordKv* MemRec, Integer OldIndex, Integer NewIndex);

 private:
  TMTTreeLinksKv& L(TMemRecViewKv* Node) const;
  TMTNodeListKv& Flat() const;
  TMTNodeListKv& Shown() const;
  TMTIndexKv* ActiveIndexFor(const String& FieldNames) const;
  TMemRecViewKv* NodeOfRecordAt(Integer StorageIndex) const;
  bool InTree(TMemRecViewKv* Node) const;
  // The ordered place for Rec among Parent's children (Skip, when given, counted as absent).
  Integer OrderedPlace(TMemRecViewKv* Parent, TMemoryRecordKv* Rec, TMemRecViewKv* Skip);
  // Links Node (with its subtree) under Parent at Pos and enters the subtree into the lists.
  void Attach(TMemRecViewKv* Node, TMemRecViewKv* Parent, Integer Pos);
  // Unlinks Node (with its subtree) from its parent and the lists.
  void Detach(TMemRecViewKv* Node);
  void SetLevels(TMemRecViewKv* Node, Integer Level);
  Integer SubtreeHeight(TMemRecViewKv* Node);
  void SetVisible(TMemRecViewKv* Node, bool Value);
  // Whether the node belongs in the view list: visible, under a shown and expanded parent.
  bool ShouldShow(TMemRecViewKv* Node);
  // Brings the view-list places of Node and of its descendants up to date.
  void SyncShown(TMemRecViewKv* Node);
  Integer ShownPlaceOf(TMemRecViewKv* Node);
  TMemRecViewKv* LastDescendant(TMemRecViewKv* Node);
  template <class F>
  void PreOrder(TMemRecViewKv* Node, F Action);
  void Changed();
  void ForgetStacked(TMemRecViewKv* Node);
  void CollectChildrenByIndex(TMTIndexKv* Index, TMemRecViewKv* NewNode, std::vector<TMemRecViewKv*>& Found);
  // The in-tree nodes of the records an index finds under Value.
  void NodesUnder(TMTIndexKv* Index, const Variant& Value, std::vector<TMemRecViewKv*>& Found);
  // The node a depth-first search for the key would meet first, through the tree's own index.
  TMemRecViewKv* FirstNodeWithKey(const Variant& Value);

  bool FDefaultNodeExpanded = false;
  bool FDefaultNodeHasChildren = false;
  bool FFilterNodeIfParentVisible = true;
  bool FFullBuildCheck = false;
  std::vector<TMemRecViewKv*> FInsertedNodeStack;
  std::unique_ptr<TMemoryTreeListOrderByList> FOrderByList;
  String FSortOrder;
  std::vector<TMemRecViewKv*> FVisibleItems;  // the accountable list, made when read after a change
  bool FVisibleItemsObsolete = false;
  bool FAccountableObsolete = true;
  bool FBulk = false;
  TRecordsViewKv* FRecordsViewKv;
  std::unique_ptr<TMemRecViewKv> FRoot;
  std::unique_ptr<TMTIndexKv> FOwnKeyIndex;
  std::unique_ptr<TMTIndexKv> FOwnRefIndex;
  TMTTreeNodeQueryEventKv FOnExpandedChanging;
  TMTTreeNodeEventKv FOnExpandedChanged;
};
