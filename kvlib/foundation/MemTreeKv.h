#pragma once
// MemTreeKv: the family's generic ordered tree. TTreeListKv holds one hidden root node;
// TBaseTreeNodeKv is its node, with parent, level, index, text, data, expanded and visible
// flags, its children in order and a lazily rebuilt list of its visible children. The grids'
// group and title trees and the in-memory table's record tree derive from both.
//
// A node owns its children. While every child of a node is visible the child list serves as
// the visible list, so attaching and sorting on fully visible trees keep no second list. A node
// makes its lists when first needed: leaves, most of a large tree, keep none.

#include <memory>

#include "framework/classes/Component.h"
#include "framework/classes/Persistent.h"
#include "kvlib/foundation/KvLibCore.h"

class TTreeListKv;
class TBaseTreeNodeKv;

using TTreeNodeClassKv = TClassRef<TBaseTreeNodeKv>;
// Negative, 0 or positive.
using TCompareNodesKv = Closure<Integer(TBaseTreeNodeKv* Node1, TBaseTreeNodeKv* Node2, TObject* ParamSort)>;
using TTreeNodeNotifyEvent = Closure<void(TBaseTreeNodeKv* Sender)>;
using TTreeNodeNotifyResultEvent = Closure<void(TBaseTreeNodeKv* Sender, bool& Result)>;

DECLARE_ENUM(TNodeAttachModeKv, naAddKv, naAddFirstKv, naAddChildKv, naAddChildFirstKv, naInsertKv, naAddAfterKv)

class TBaseTreeNodeKv : public TPersistent {
  DECLARE_CLASS(TBaseTreeNodeKv, TPersistent)
 public:
  // The tree makes nodes of its node class through this constructor.
  using TCtorArgs = ::TCtorArgs<>;
  TBaseTreeNodeKv();
  // Destroys the whole subtree.
  ~TBaseTreeNodeKv() override;

  Integer GetCount() const { return FItems ? FItems->GetCount() : 0; }
  TBaseTreeNodeKv* GetItem(Integer Index) const;
  // These four rebuild the visible list first when it is obsolete.
  Integer GetVisibleCount();
  TBaseTreeNodeKv* GetVisibleItem(Integer VisibleIndex);
  TObjectListKv* GetVisibleItems();
  bool GetHasVisibleChildren();

  // Raw child-list operations; TTreeListKv keeps parent, index and level around them.
  Integer Add(TBaseTreeNodeKv* Node);
  void Insert(Integer Index, TBaseTreeNodeKv* Node);
  // Takes the child out of the list without destroying it.
  void Delete(Integer Index);
  void Exchange(Integer Index1, Integer Index2);
  // Empties both lists without destroying the children.
  virtual void Clear();

  // Sets the level of the node and of its subtree below it. Raises past the tree's MaxLevel.
  void SetLevel(Integer Value);
  void SetExpanded(bool Value);
  void SetVisible(bool Value);

  void QuickSort(Integer L, Integer R, TObject* ParamSort, const TCompareNodesKv& Compare);
  virtual void SortData(TObject* ParamSort, bool Recurse, const TCompareNodesKv& Compare);
  // Whether Node is this node or one of its ancestors below the root.
  bool HasAncestor(TBaseTreeNodeKv* Node) const;
  bool BuildVisibleItems();

  TObject* GetData() const { return FData; }
  void SetData(TObject* Value) { FData = Value; }
  const String& GetText() const { return FText; }
  void SetText(const String& Value) { FText = Value; }
  bool GetExpanded() const { return FExpanded; }
  bool GetVisible() const { return FVisible; }
  bool GetHasChildren() const { return FHasChildren; }
  Integer GetIndex() const { return FIndex; }
  Integer GetLevel() const { return FLevel; }
  Integer GetVisibleIndex() const { return FVisibleIndex; }
  TTreeListKv* GetOwner() const { return FOwner; }
  TBaseTreeNodeKv* GetParent() const { return FParent; }

 protected:
  virtual bool ExpandedChanging();
  virtual bool CanChangeVisible() { return true; }
  virtual void VisibleItemsBecomeObsolete() { FVisibleItemsObsolete = true; }
  virtual void ChildVisibleChanged(TBaseTreeNodeKv* Node);
  virtual void ExpandedChanged();
  virtual void VisibleChanged();

  TObject* FData = nullptr;
  bool FExpanded = false;
  bool FHasChildren = false;
  bool FHasVisibleChildren = false;
  Integer FIndex = -1;
  std::unique_ptr<TObjectListKv> FItems;  // made by the first child
  Integer FLevel = 0;
  TTreeListKv* FOwner = nullptr;
  TBaseTreeNodeKv* FParent = nullptr;
  String FText;
  bool FVisible = true;
  Integer FVisibleCount = 0;
  Integer FVisibleIndex = 0;
  std::unique_ptr<TObjectListKv> FVisibleItems;  // made when a child is hidden
  bool FVisibleItemsObsolete = false;

 private:
  friend class TTreeListKv;
  void CheckSameOwner(TBaseTreeNodeKv* Node) const;
  // Levels below this node, 0 for a leaf.
  Integer SubtreeHeight() const;
  // Where this node sits in its parent's list; its stored index when that is current.
  Integer ActualIndex() const;
  TObjectListKv& Items();
};

// The tree: a hidden root at level 0 and its subtree. Created without an owner component.
class TTreeListKv : public TComponent {
  DECLARE_CLASS(TTreeListKv, TComponent)
 public:
  explicit TTreeListKv(TTreeNodeClassKv ItemClass);
  ~TTreeListKv() override;

  TBaseTreeNodeKv* CreateNodeApart(const String& Text, TObject* Data);
  // Parent nil: a top-level node.
  TBaseTreeNodeKv* AddChild(const String& Text, TBaseTreeNodeKv* Parent, TObject* Data);
  // Attaches a node created apart (or extracted). Destination nil stands for the root, which
  // takes only the child modes. A node still attached elsewhere is refused: move it instead.
  void AddNode(TBaseTreeNodeKv* Node, TBaseTreeNodeKv* Destination, bool ReIndex, TNodeAttachModeKv Mode);
  // Detaches Node and attaches it at Destination; refuses a destination inside Node's subtree
  // ("Reference-loop found") and one deeper than MaxLevel allows, before anything changes.
  virtual void MoveTo(TBaseTreeNodeKv* Node, TBaseTreeNodeKv* Destination, bool ReIndex, TNodeAttachModeKv Mode);
  // Takes Node out of its parent; it becomes a node apart again (no parent, index -1).
  void ExtractNode(TBaseTreeNodeKv* Node, bool ReIndex);
  void DeleteChildren(TBaseTreeNodeKv* Node);
  void DeleteNode(TBaseTreeNodeKv* Node, bool ReIndex);
  void Clear();
  // Node nil: the root. ToIndex and FromIndex -1: the last child and the first.
  void ReIndexChildren(TBaseTreeNodeKv* Node, bool Recurse, Integer ToIndex, Integer FromIndex);

  void Expand(TBaseTreeNodeKv* Node, bool Recurse);
  void Collapse(TBaseTreeNodeKv* Node, bool Recurse);
  TBaseTreeNodeKv* FindNodeByData(TBaseTreeNodeKv* Node, TObject* Data);

  // Depth-first, parent before children; the root itself is never answered.
  TBaseTreeNodeKv* GetPrevSibling(TBaseTreeNodeKv* Node);
  TBaseTreeNodeKv* GetNextSibling(TBaseTreeNodeKv* Node);
  TBaseTreeNodeKv* GetFirstChild(TBaseTreeNodeKv* Node);
  TBaseTreeNodeKv* GetLastChild(TBaseTreeNodeKv* Node);
  TBaseTreeNodeKv* GetFirst();
  TBaseTreeNodeKv* GetLast(TBaseTreeNodeKv* Node);
  TBaseTreeNodeKv* GetNext(TBaseTreeNodeKv* Node);
  TBaseTreeNodeKv* GetPrevious(TBaseTreeNodeKv* Node);
  bool HasChildren(TBaseTreeNodeKv* Node);

  // Visible-only walk; with ConsiderCollapsed the children of collapsed nodes count as hidden.
  TBaseTreeNodeKv* GetFirstVisible();
  TBaseTreeNodeKv* GetNextVisible(TBaseTreeNodeKv* Node, bool ConsiderCollapsed);
  // Whether every ancestor of Node below the root is visible (and expanded).
  bool GetPathVisible(TBaseTreeNodeKv* Node, bool ConsiderCollapsed);
  // The nearest ancestor that is shown itself; the root when none is.
  TBaseTreeNodeKv* GetVisibleAncestor(TBaseTreeNodeKv* Node, bool ConsiderCollapsed);
  TBaseTreeNodeKv* GetNextVisibleSibling(TBaseTreeNodeKv* Node);
  TBaseTreeNodeKv* GetPriorVisibleSibling(TBaseTreeNodeKv* Node);

  // An empty Compare sorts with the tree's own CompareTreeNodes.
  virtual void SortData(TObject* ParamSort, bool Recurse, const TCompareNodesKv& Compare);

  TBaseTreeNodeKv* GetRoot() const { return FRoot; }
  TTreeNodeClassKv GetItemClass() const { return FItemClass; }
  Integer GetMaxLevel() const { return FMaxLevel; }
  TTreeNodeNotifyEvent GetOnExpandedChanged() const { return FOnExpandedChanged; }
  void SetOnExpandedChanged(const TTreeNodeNotifyEvent& Value) { FOnExpandedChanged = Value; }
  TTreeNodeNotifyResultEvent GetOnExpandedChanging() const { return FOnExpandedChanging; }
  void SetOnExpandedChanging(const TTreeNodeNotifyResultEvent& Value) { FOnExpandedChanging = Value; }

 protected:
  virtual Integer CompareTreeNodes(TBaseTreeNodeKv* Node1, TBaseTreeNodeKv* Node2, TObject* ParamSort);
  virtual bool ExpandedChanging(TBaseTreeNodeKv* Node);
  virtual void ExpandedChanged(TBaseTreeNodeKv* Node);
  // Change 0: Node was attached; 1: Node was detached from OldParent at OldIndex.
  virtual void NodeParentChanged(TBaseTreeNodeKv* Node, Integer Change, TBaseTreeNodeKv* OldParent,
                                 Integer OldIndex);

  TTreeNodeClassKv FItemClass;
  Integer FMaxLevel = 1000;
  TBaseTreeNodeKv* FRoot = nullptr;
  TTreeNodeNotifyEvent FOnExpandedChanged;
  TTreeNodeNotifyResultEvent FOnExpandedChanging;

 private:
  friend class TBaseTreeNodeKv;
  // Raises when Node cannot go to Destination in Mode: another tree, or too deep.
  void CheckAttach(TBaseTreeNodeKv* Node, TBaseTreeNodeKv* Destination, TNodeAttachModeKv Mode);
  // Takes Node out of its parent's list and clears its parent; answers the index it had.
  Integer Detach(TBaseTreeNodeKv* Node, bool ReIndex);
  // Whether Node is shown: visible, and its path visible.
  bool IsShown(TBaseTreeNodeKv* Node, bool ConsiderCollapsed);
};
