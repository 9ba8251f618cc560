#include "kvlib/memtable/memtabledata/MemoryTree.h"

#include <algorithm>
#include <unordered_set>

#include "framework/SysUtils.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/memtable/memtabledata/DataFields.h"
#include "kvlib/memtable/memtabledata/Indexes.h"
#include "kvlib/memtable/memtabledata/NodeList.h"
#include "kvlib/memtable/memtabledata/RecordsView.h"
#include "kvlib/memtable/memtabledata/Storage.h"

namespace MemoryTreeKv {
const wchar_t* const SReferenceLoop = L"Reference-loop found";
const wchar_t* const SMaxLevelExceed = L"TBaseTreeNodeKv.SetLevel: Max level exceed - ";
}  // namespace MemoryTreeKv

namespace MemoryTreeKv {
// The first node below Start, depth-first, whose Value(node) equals Wanted.
template <class F>
TMemRecViewKv* FindBelow(TMemRecViewKv* Start, const Variant& Wanted, F Value) {
  for (Integer I = 0; I < Start->GetNodesCount(); ++I) {
    TMemRecViewKv* C = Start->GetNodeItems(I);
    if (DBVarValuesEqual(Value(C->GetRec()), Wanted)) return C;
    if (TMemRecViewKv* R = FindBelow(C, Wanted, Value)) return R;
  }
  return nullptr;
}
}  // namespace MemoryTreeKv

// ---- The node's tree read-outs -------------------------------------------------------------------

TMemRecViewKv::~TMemRecViewKv() { delete FLinks; }

bool TMemRecViewKv::GetNodeExpanded() const { return FLinks && FLinks->Expanded; }
bool TMemRecViewKv::GetNodeHasChildren() const { return FLinks && FLinks->HasChildren; }
void TMemRecViewKv::SetNodeHasChildren(bool Value) {
  if (!FLinks) FLinks = new TMTTreeLinksKv;
  FLinks->HasChildren = Value;
}
bool TMemRecViewKv::GetNodeHasVisibleChildren() const { return FLinks && FLinks->VisibleChildren > 0; }
Integer TMemRecViewKv::GetNodeLevel() const { return FLinks ? FLinks->Level : 0; }
bool TMemRecViewKv::GetNodeVisible() const { return !FLinks || FLinks->Visible; }
TMemRecViewKv* TMemRecViewKv::GetNodeParent() const { return FLinks ? FLinks->Parent : nullptr; }
Integer TMemRecViewKv::GetNodesCount() const { return FLinks ? Integer(FLinks->Children.size()) : 0; }
TMemRecViewKv* TMemRecViewKv::GetNodeItems(Integer Index) const {
  if (!FLinks || Index < 0 || Index >= Integer(FLinks->Children.size())) return nullptr;
  return FLinks->Children[size_t(Index)];
}
Integer TMemRecViewKv::GetVisibleNodesCount() const { return FLinks ? FLinks->VisibleChildren : 0; }
Integer TMemRecViewKv::GetNodeIndex() {
  TMemoryTreeListKv* T = FRecordsView->GetMemoryTreeList();
  return FLinks && FLinks->Parent ? T->ChildIndex(this) : -1;
}

Integer TMemoryTreeListOrderByList::GetFieldIndex(const String& FieldName) {
  TMemTableDataKv* Data = FTreeList ? FTreeList->GetRecordsView()->GetMemTableData() : nullptr;
  return Data ? Data->GetDataStruct()->FieldIndex(FieldName) : -1;
}

// ---- The tree ------------------------------------------------------------------------------------

TMemoryTreeListKv::TMemoryTreeListKv(TRecordsViewKv* ARecordsView)
    : FOrderByList(new TMemoryTreeListOrderByList(this)),
      FRecordsViewKv(ARecordsView),
      FRoot(new TMemRecViewKv(ARecordsView, nullptr)) {
  L(FRoot.get()).Expanded = true;
}

TMemoryTreeListKv::~TMemoryTreeListKv() = default;

TMTTreeLinksKv& TMemoryTreeListKv::L(TMemRecViewKv* Node) const {
  if (!Node->FLinks) Node->FLinks = new TMTTreeLinksKv;
  return *Node->FLinks;
}

TMTNodeListKv& TMemoryTreeListKv::Flat() const { return FRecordsViewKv->FSortedList; }
TMTNodeListKv& TMemoryTreeListKv::Shown() const { return FRecordsViewKv->FViewList; }

const String& TMemoryTreeListKv::KeyFieldNames() const { return FRecordsViewKv->GetTreeViewKeyFieldName(); }
const String& TMemoryTreeListKv::ParentFieldNames() const { return FRecordsViewKv->GetTreeViewRefParentFieldName(); }

Variant TMemoryTreeListKv::KeyOf(TMemoryRecordKv* Rec) const {
  return Rec->GetDataIndexValues(FRecordsViewKv->GetTreeViewKeyFields(), dvvValueKv);
}

Variant TMemoryTreeListKv::RefOf(TMemoryRecordKv* Rec) const {
  return Rec->GetDataIndexValues(FRecordsViewKv->GetTreeViewRefParentFields(), dvvValueKv);
}

bool TMemoryTreeListKv::InTree(TMemRecViewKv* Node) const {
  return Node == FRoot.get() || (Node->FLinks && Node->FLinks->Parent);
}

TMTIndexKv* TMemoryTreeListKv::ActiveIndexFor(const String& FieldNames) const {
  TMemTableDataKv* Data = FRecordsViewKv->GetMemTableData();
  if (!Data || FieldNames.empty()) return nullptr;
  TMTIndexKv* Ix = Data->GetRecordsList()->GetIndexes()->GetIndexForFields(FieldNames);
  return Ix && Ix->GetActive() && !Ix->GetFields().empty() ? Ix : nullptr;
}

// The node of the record at a storage position, when that node is in the tree.
TMemRecViewKv* TMemoryTreeListKv::NodeOfRecordAt(Integer StorageIndex) const {
  TMemoryRecordKv* Rec = FRecordsViewKv->GetMemTableData()->GetRecordsList()->GetRec(StorageIndex);
  TMemRecViewKv* Node = FRecordsViewKv->MapGet(Rec);
  return Node && InTree(Node) ? Node : nullptr;
}

template <class F>
void TMemoryTreeListKv::PreOrder(TMemRecViewKv* Node, F Action) {
  Action(Node);
  if (Node->FLinks)
    for (TMemRecViewKv* C : Node->FLinks->Children) PreOrder(C, Action);
}

void TMemoryTreeListKv::Changed() {
  FVisibleItemsObsolete = true;
  FAccountableObsolete = true;
}

void TMemoryTreeListKv::Clear() {
  TMTTreeLinksKv& R = L(FRoot.get());
  R.Children.clear();
  R.IndexedTo = 0;
  R.VisibleChildren = 0;
  FInsertedNodeStack.clear();
  FVisibleItems.clear();
  Changed();
}

void TMemoryTreeListKv::EndBulk() {
  FBulk = false;
  BuildVisibleItems();
}

// ---- Places among siblings -----------------------------------------------------------------------

Integer TMemoryTreeListKv::ChildIndex(TMemRecViewKv* Node) {
  TMTTreeLinksKv& N = L(Node);
  TMTTreeLinksKv& P = L(N.Parent);
  if (N.Index >= 0 && N.Index < P.IndexedTo && P.Children[size_t(N.Index)] == Node) return N.Index;
  // Places shift after an insert or a removal; they are counted again when next asked.
  for (size_t I = size_t(P.IndexedTo); I < P.Children.size(); ++I) L(P.Children[I]).Index = Integer(I);
  P.IndexedTo = Integer(P.Children.size());
  return N.Index;
}

Integer TMemoryTreeListKv::CompareTreeNodes(TMemoryRecordKv* Rec1, TMemoryRecordKv* Rec2) {
  Integer C = FRecordsViewKv->CompareViewRecords(Rec1, Rec2);
  return C != 0 ? C : Rec1->GetIndex() - Rec2->GetIndex();
}

// Siblings stay in storage order, or in the view's order with ties by storage order (a total
// order), so the place is a bisection and equals where a sort of all of them puts the record.
Integer TMemoryTreeListKv::OrderedPlace(TMemRecViewKv* Parent, TMemoryRecordKv* Rec, TMemRecViewKv* Skip) {
  auto& C = L(Parent).Children;
  Integer SkipAt = Skip ? ChildIndex(Skip) : -1;
  Integer N = Integer(C.size()) - (SkipAt >= 0 ? 1 : 0);
  auto At = [&](Integer I) { return C[size_t(SkipAt >= 0 && I >= SkipAt ? I + 1 : I)]->FRec; };
  bool ByStorage = FSortOrder.empty();
  Integer RecIndex = Rec->GetIndex();
  auto Greater = [&](Integer I) {
    TMemoryRecordKv* R = At(I);
    return ByStorage ? R->GetIndex() > RecIndex : CompareTreeNodes(R, Rec) > 0;
  };
  if (N == 0 || !Greater(N - 1)) return N;
  Integer Lo = 0, Hi = N - 1;  // the first greater one is within
  while (Lo < Hi) {
    Integer Mid = (Lo + Hi) / 2;
    if (Greater(Mid)) Hi = Mid;
    else Lo = Mid + 1;
  }
  return Lo;
}

Integer TMemoryTreeListKv::GetIndexForNode(TMemoryRecordKv* Rec, TMemRecViewKv* ParentNode) {
  if (!ParentNode) ParentNode = FRoot.get();
  TMemRecViewKv* Own = FRecordsViewKv->MapGet(Rec);
  TMemRecViewKv* Skip = Own && InTree(Own) && L(Own).Parent == ParentNode ? Own : nullptr;
  Integer Pos = OrderedPlace(ParentNode, Rec, Skip);
  return Pos >= Integer(L(ParentNode).Children.size()) - (Skip ? 1 : 0) ? -1 : Pos;
}

// ---- Linking ---------------------------------------------------------------------------------------

void TMemoryTreeListKv::SetLevels(TMemRecViewKv* Node, Integer Level) {
  L(Node).Level = Level;
  for (TMemRecViewKv* C : L(Node).Children) SetLevels(C, Level + 1);
}

Integer TMemoryTreeListKv::SubtreeHeight(TMemRecViewKv* Node) {
  Integer H = 0;
  for (TMemRecViewKv* C : L(Node).Children) H = std::max(H, SubtreeHeight(C) + 1);
  return H;
}

TMemRecViewKv* TMemoryTreeListKv::LastDescendant(TMemRecViewKv* Node) {
  while (Node->FLinks && !Node->FLinks->Children.empty()) Node = Node->FLinks->Children.back();
  return Node;
}

void TMemoryTreeListKv::Attach(TMemRecViewKv* Node, TMemRecViewKv* Parent, Integer Pos) {
  TMTTreeLinksKv& P = L(Parent);
  TMTTreeLinksKv& N = L(Node);
  P.Children.insert(P.Children.begin() + Pos, Node);
  P.IndexedTo = std::min(P.IndexedTo, Pos);
  N.Parent = Parent;
  N.Index = Pos;
  SetLevels(Node, P.Level + 1);
  if (N.Visible) ++P.VisibleChildren;
  Changed();
  if (FBulk) return;
  // The subtree follows its depth-first predecessor in the flat list.
  TMemRecViewKv* Pred = Pos > 0 ? LastDescendant(P.Children[size_t(Pos - 1)]) : (Parent == FRoot.get() ? nullptr : Parent);
  Integer At = Pred ? Flat().IndexOf(Pred) + 1 : 0;
  PreOrder(Node, [&](TMemRecViewKv* X) { Flat().Insert(At++, X); });
  SyncShown(Node);
}

void TMemoryTreeListKv::Detach(TMemRecViewKv* Node) {
  TMTTreeLinksKv& N = L(Node);
  TMTTreeLinksKv& P = L(N.Parent);
  if (!FBulk) {
    Integer At = Flat().IndexOf(Node);
    Integer Count = 0;
    PreOrder(Node, [&](TMemRecViewKv* X) {
      ++Count;
      if (Shown().Contains(X)) Shown().Delete(Shown().IndexOf(X));
    });
    if (At >= 0)
      for (Integer I = 0; I < Count; ++I) Flat().Delete(At);
  }
  Integer I = ChildIndex(Node);
  P.Children.erase(P.Children.begin() + I);
  P.IndexedTo = std::min(P.IndexedTo, I);
  if (N.Visible) --P.VisibleChildren;
  N.Parent = nullptr;
  N.Index = -1;
  // The stack's nodes may have left with the subtree.
  FInsertedNodeStack.clear();
  Changed();
}

void TMemoryTreeListKv::ExtractNode(TMemRecViewKv* Node) {
  if (Node != FRoot.get() && InTree(Node)) Detach(Node);
}

// ---- Adding ----------------------------------------------------------------------------------------

TMemRecViewKv* TMemoryTreeListKv::AddChild(TMemRecViewKv* Parent, TMemRecViewKv* Node) {
  if (!Parent) Parent = FRoot.get();
  if (L(Parent).Level + 1 > MaxLevel) throw Exception(MemoryTreeKv::SMaxLevelExceed + IntToStr(MaxLevel));
  TMTTreeLinksKv& N = L(Node);
  N.Children.clear();
  N.IndexedTo = 0;
  N.VisibleChildren = 0;
  N.Visible = true;
  N.LockUpdate = true;
  N.Expanded = FDefaultNodeExpanded;
  N.LockUpdate = false;
  N.HasChildren = FDefaultNodeHasChildren;
  Attach(Node, Parent, OrderedPlace(Parent, Node->FRec, nullptr));
  return Node;
}

void TMemoryTreeListKv::NodesUnder(TMTIndexKv* Index, const Variant& Value, std::vector<TMemRecViewKv*>& Found) {
  std::vector<TIndexItemKv*> Items;
  Index->FillMatchedKeyList(Value, Items);
  // The items live until the index changes: their positions are taken first.
  std::vector<Integer> At;
  At.reserve(Items.size());
  for (TIndexItemKv* It : Items) At.push_back(It->RecIndex);
  for (Integer I : At)
    if (TMemRecViewKv* N = NodeOfRecordAt(I)) Found.push_back(N);
}

void TMemoryTreeListKv::CollectChildrenByIndex(TMTIndexKv* Index, TMemRecViewKv* NewNode,
                                               std::vector<TMemRecViewKv*>& Found) {
  NodesUnder(Index, KeyOf(NewNode->FRec), Found);
  Found.erase(std::remove(Found.begin(), Found.end(), NewNode), Found.end());
}

TMemRecViewKv* TMemoryTreeListKv::FirstNodeWithKey(const Variant& Value) {
  std::vector<TMemRecViewKv*> Found;
  NodesUnder(FOwnKeyIndex.get(), Value, Found);
  if (Found.size() <= 1) return Found.empty() ? nullptr : Found[0];
  // Several records of one key: the first depth-first, as the search would meet it.
  if (FBulk) return MemoryTreeKv::FindBelow(FRoot.get(), Value, [this](TMemoryRecordKv* R) { return KeyOf(R); });
  return *std::min_element(Found.begin(), Found.end(),
                           [this](TMemRecViewKv* A, TMemRecViewKv* B) { return Flat().IndexOf(A) < Flat().IndexOf(B); });
}

void TMemoryTreeListKv::PrepareIndexes() {
  TMemTableDataKv* Data = FRecordsViewKv->GetMemTableData();
  auto Make = [&](std::unique_ptr<TMTIndexKv>& Own, const String& Names, bool Wanted) {
    Own.reset();
    if (!Wanted || !Data || Names.empty() || ActiveIndexFor(Names)) return;
    Own.reset(TMTIndexKv::CreateApart(Data->GetRecordsList()));
    Own->SetFields(Names);
    Own->SetActive(true);
  };
  Make(FOwnKeyIndex, KeyFieldNames(), true);
  Make(FOwnRefIndex, ParentFieldNames(), FFullBuildCheck);
}

void TMemoryTreeListKv::NotifyIndexes(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action) {
  if (FOwnKeyIndex) FOwnKeyIndex->Notify(MemRec, Index, Action);
  if (FOwnRefIndex) FOwnRefIndex->Notify(MemRec, Index, Action);
}

void TMemoryTreeListKv::IndexesRecordMoved(TMemoryRecordKv* MemRec, Integer OldIndex, Integer NewIndex) {
  if (FOwnKeyIndex) FOwnKeyIndex->RecordMoved(MemRec, OldIndex, NewIndex);
  if (FOwnRefIndex) FOwnRefIndex->RecordMoved(MemRec, OldIndex, NewIndex);
}

TMemRecViewKv* TMemoryTreeListKv::AddChildAtKey(TMemRecViewKv* Node) {
  TMemoryRecordKv* Rec = Node->FRec;
  TMemRecViewKv* Parent = nullptr;
  bool ReplaceTop = false;
  auto& S = FInsertedNodeStack;
  // Records loaded parent first find their parent among the nodes just added.
  if (S.size() > 1) {
    Variant Ref = RefOf(Rec);
    if (DBVarValuesEqual(Ref, KeyOf(S[S.size() - 2]->FRec))) {
      Parent = S[S.size() - 2];
      ReplaceTop = true;
    } else if (DBVarValuesEqual(Ref, KeyOf(S.back()->FRec))) {
      Parent = S.back();
    } else {
      S.pop_back();
      S.pop_back();
      while (!S.empty() && !DBVarValuesEqual(Ref, KeyOf(S.back()->FRec))) S.pop_back();
      if (!S.empty()) Parent = S.back();
    }
  }
  if (!Parent) {
    if (TMTIndexKv* Ix = ActiveIndexFor(KeyFieldNames())) {
      Integer At;
      if (Ix->FindRecordIndexByKey(RefOf(Rec), At)) Parent = NodeOfRecordAt(At);
    } else {
      Parent = GetParentNodeAtKey(nullptr, Rec);
    }
  }
  AddChild(Parent, Node);
  if (FFullBuildCheck) {
    // Children that came before their parent move under it.
    std::vector<TMemRecViewKv*> Kids;
    if (TMTIndexKv* Ix = ActiveIndexFor(ParentFieldNames())) CollectChildrenByIndex(Ix, Node, Kids);
    else GetChildNodesForKey(nullptr, Rec, Kids);
    std::sort(Kids.begin(), Kids.end(),
              [](TMemRecViewKv* A, TMemRecViewKv* B) { return A->FRec->GetIndex() < B->FRec->GetIndex(); });
    for (TMemRecViewKv* K : Kids) {
      // A node above the new one cannot go under it (data with a cycle: it stays where it is).
      bool Above = false;
      for (TMemRecViewKv* A = Node; A && A != FRoot.get(); A = L(A).Parent) Above |= A == K;
      if (Above || L(K).Parent == Node) continue;
      if (L(Node).Level + SubtreeHeight(K) + 1 > MaxLevel) continue;
      Detach(K);
      Attach(K, Node, OrderedPlace(Node, K->FRec, nullptr));
    }
    S.clear();
  }
  if (ReplaceTop && !S.empty()) S.back() = Node;
  else S.push_back(Node);
  return Node;
}

TMemRecViewKv* TMemoryTreeListKv::UpdateParent(TMemRecViewKv* Node) {
  TMemRecViewKv* NewParent = GetParentNodeAtKey(nullptr, Node->FRec);
  TMemRecViewKv* Old = L(Node).Parent;
  if (NewParent != Old) {
    MoveTo(Node, NewParent, tamAddChildKv);
    // The former parent may have shown only because of this child.
    if (Old != FRoot.get()) UpdateNodeState(Old, true);
  } else if (!FSortOrder.empty()) {
    Integer Pos = OrderedPlace(Old, Node->FRec, Node);
    if (Pos != ChildIndex(Node)) {
      Detach(Node);
      Attach(Node, Old, Pos);
    }
  }
  return NewParent;
}

void TMemoryTreeListKv::MoveTo(TMemRecViewKv* Node, TMemRecViewKv* Destination, TMTTreeAttachModeKv Mode) {
  if (!Destination) Destination = FRoot.get();
  bool AsChild = Mode == tamAddChildKv || Mode == tamAddChildFirstKv || Destination == FRoot.get();
  TMemRecViewKv* NewParent = AsChild ? Destination : L(Destination).Parent;
  for (TMemRecViewKv* A = NewParent; A && A != FRoot.get(); A = L(A).Parent)
    if (A == Node) throw Exception(MemoryTreeKv::SReferenceLoop);
  if (Destination == Node) throw Exception(MemoryTreeKv::SReferenceLoop);
  if (L(NewParent).Level + 1 + SubtreeHeight(Node) > MaxLevel)
    throw Exception(MemoryTreeKv::SMaxLevelExceed + IntToStr(MaxLevel));
  Detach(Node);
  Integer Pos;
  if (AsChild) {
    // A record's children keep the tree's order; the first-child mode puts it first.
    Pos = Mode == tamAddChildFirstKv ? 0 : OrderedPlace(NewParent, Node->FRec, nullptr);
  } else {
    Integer D = ChildIndex(Destination);
    Pos = Mode == tamInsertKv ? D : Integer(L(NewParent).Children.size());
  }
  Attach(Node, NewParent, Pos);
}

void TMemoryTreeListKv::RecordMoved(TMemRecViewKv* Node) {
  if (!InTree(Node) || Node == FRoot.get()) return;
  TMemRecViewKv* P = L(Node).Parent;
  Integer Pos = OrderedPlace(P, Node->FRec, Node);
  if (Pos == ChildIndex(Node)) return;
  Detach(Node);
  Attach(Node, P, Pos);
}

// ---- Lookups ---------------------------------------------------------------------------------------


TMemRecViewKv* TMemoryTreeListKv::GetParentNodeAtKey(TMemRecViewKv* StartNode, TMemoryRecordKv* MemRecord) {
  Variant Ref = RefOf(MemRecord);
  if (DBVarValuesEqual(KeyOf(MemRecord), Ref)) return FRoot.get();
  if (!StartNode) StartNode = FRoot.get();
  if (StartNode == FRoot.get())
    if (TMTIndexKv* Ix = ActiveIndexFor(KeyFieldNames())) {
      Integer At;
      TMemRecViewKv* N = Ix->FindRecordIndexByKey(Ref, At) ? NodeOfRecordAt(At) : nullptr;
      return N ? N : FRoot.get();
    }
  return GetParentNodeAtKeyValue(StartNode, Ref);
}

TMemRecViewKv* TMemoryTreeListKv::GetParentNodeAtKeyValue(TMemRecViewKv* StartNode, const Variant& RefKeyValue) {
  if (FOwnKeyIndex && (!StartNode || StartNode == FRoot.get())) {
    TMemRecViewKv* N = FirstNodeWithKey(RefKeyValue);
    return N ? N : FRoot.get();
  }
  TMemRecViewKv* N = MemoryTreeKv::FindBelow(StartNode ? StartNode : FRoot.get(), RefKeyValue,
                                             [this](TMemoryRecordKv* R) { return KeyOf(R); });
  return N ? N : FRoot.get();
}

TMemRecViewKv* TMemoryTreeListKv::GetParentNodeForRefValue(const Variant& RefValue) {
  if (TMTIndexKv* Ix = ActiveIndexFor(KeyFieldNames())) {
    Integer At;
    return Ix->FindRecordIndexByKey(RefValue, At) ? NodeOfRecordAt(At) : nullptr;
  }
  return GetParentNodeAtKeyValue(nullptr, RefValue);
}

TMemRecViewKv* TMemoryTreeListKv::GetParentNodeForRec(TMemoryRecordKv* MemRecord) {
  if (FInsertedNodeStack.empty()) return nullptr;
  if (ActiveIndexFor(KeyFieldNames())) return GetParentNodeForRefValue(RefOf(MemRecord));
  return GetParentNodeAtKey(nullptr, MemRecord);
}

TMemRecViewKv* TMemoryTreeListKv::GetNode(TMemRecViewKv* StartNode, TMemoryRecordKv* MemRecord) {
  // The identity map finds the node; it counts when it lies below StartNode.
  TMemRecViewKv* N = FRecordsViewKv->MapGet(MemRecord);
  if (!N || N == FRoot.get() || !InTree(N)) return nullptr;
  if (!StartNode || StartNode == FRoot.get()) return N;
  for (TMemRecViewKv* A = L(N).Parent; A; A = L(A).Parent)
    if (A == StartNode) return N;
  return nullptr;
}

TMemRecViewKv* TMemoryTreeListKv::GetNodeAtValue(TMemRecViewKv* StartNode, const String& FieldNames, const Variant& Value) {
  return MemoryTreeKv::FindBelow(StartNode ? StartNode : FRoot.get(), Value,
                                 [&](TMemoryRecordKv* R) { return R->GetDataValues(FieldNames, dvvValueKv); });
}

void TMemoryTreeListKv::GetChildNodesForKey(TMemRecViewKv* StartNode, TMemoryRecordKv* MemRecord,
                                            std::vector<TMemRecViewKv*>& ChildList) {
  if (!StartNode) StartNode = FRoot.get();
  Variant Key = KeyOf(MemRecord);
  if (FOwnRefIndex && StartNode == FRoot.get()) {
    std::vector<TMemRecViewKv*> Found;
    NodesUnder(FOwnRefIndex.get(), Key, Found);
    // The search does not look below a node it takes.
    std::unordered_set<TMemRecViewKv*> Taken(Found.begin(), Found.end());
    TMemRecViewKv* Own = FRecordsViewKv->MapGet(MemRecord);
    Taken.erase(Own);
    for (TMemRecViewKv* N : Found) {
      if (N == Own) continue;
      bool Below = false;
      for (TMemRecViewKv* A = L(N).Parent; A && !Below; A = L(A).Parent) Below = Taken.count(A) > 0;
      if (!Below) ChildList.push_back(N);
    }
    return;
  }
  for (TMemRecViewKv* C : L(StartNode).Children) {
    if (C->FRec != MemRecord && DBVarValuesEqual(RefOf(C->FRec), Key)) ChildList.push_back(C);
    else GetChildNodesForKey(C, MemRecord, ChildList);
  }
}

bool TMemoryTreeListKv::CheckReferenceLoop(TMemoryRecordKv* MemRecord, const Variant& NewRefValue) {
  Variant Ref = NewRefValue.IsEmpty() ? RefOf(MemRecord) : NewRefValue;
  if (VarIsNull(Ref)) return false;
  Variant Key = KeyOf(MemRecord);
  if (DBVarCompareValue(Ref, Key) == vrEqual) return false;
  TMemRecViewKv* Own = FRecordsViewKv->MapGet(MemRecord);
  bool Adding = !Own || !InTree(Own);
  for (TMemRecViewKv* A = GetParentNodeForRefValue(Ref); A && A != FRoot.get(); A = L(A).Parent) {
    if (A->FRec == MemRecord) return true;
    // A record about to be added adopts the nodes that name it: one of its ancestors-to-be among
    // them would close a loop once the record is in the storage.
    if (Adding && FFullBuildCheck && DBVarValuesEqual(RefOf(A->FRec), Key)) return true;
  }
  return false;
}

void TMemoryTreeListKv::GetRecordsList(std::vector<TMemoryRecordKv*>& List, TMemRecViewKv* Node, bool ARecurse) {
  if (!Node) Node = FRoot.get();
  for (TMemRecViewKv* C : L(Node).Children) {
    List.push_back(C->FRec);
    if (ARecurse) GetRecordsList(List, C, true);
  }
}

// ---- Visibility ------------------------------------------------------------------------------------

void TMemoryTreeListKv::SetVisible(TMemRecViewKv* Node, bool Value) {
  TMTTreeLinksKv& N = L(Node);
  if (N.Visible == Value) return;
  N.Visible = Value;
  if (N.Parent) L(N.Parent).VisibleChildren += Value ? 1 : -1;
  Changed();
  SyncShown(Node);
}

bool TMemoryTreeListKv::ShouldShow(TMemRecViewKv* Node) {
  if (!InTree(Node) || Node == FRoot.get() || !L(Node).Visible) return false;
  TMemRecViewKv* P = L(Node).Parent;
  return P == FRoot.get() || (L(P).Expanded && Shown().Contains(P));
}

Integer TMemoryTreeListKv::ShownPlaceOf(TMemRecViewKv* Node) {
  // The view list is the flat list's shown nodes in the same order.
  Integer F = Flat().IndexOf(Node);
  Integer Lo = 0, Hi = Shown().Count();
  while (Lo < Hi) {
    Integer Mid = (Lo + Hi) / 2;
    if (Flat().IndexOf(Shown().Get(Mid)) < F) Lo = Mid + 1;
    else Hi = Mid;
  }
  return Lo;
}

void TMemoryTreeListKv::SyncShown(TMemRecViewKv* Node) {
  if (FBulk) return;
  bool Want = ShouldShow(Node);
  bool Has = Shown().Contains(Node);
  if (Want && !Has) Shown().Insert(ShownPlaceOf(Node), Node);
  else if (!Want && Has) Shown().Delete(Shown().IndexOf(Node));
  // Below a node that neither shows nor showed, nothing shows.
  if (!Want && !Has) return;
  if (Node->FLinks)
    for (TMemRecViewKv* C : Node->FLinks->Children) SyncShown(C);
}

void TMemoryTreeListKv::UpdateNodeState(TMemRecViewKv* Node, bool IsUpdateParent) {
  if (!Node) Node = FRoot.get();
  Changed();
  if (Node != FRoot.get() && InTree(Node)) {
    bool V = L(Node).VisibleChildren > 0 || FRecordsViewKv->IsRecordInFilter(Node->FRec, -1, Node);
    SetVisible(Node, V);
    FRecordsViewKv->CalcLookupBuffer(Node);
  }
  if (!IsUpdateParent || Node == FRoot.get()) return;
  TMemRecViewKv* P = L(Node).Parent;
  if (P && P != FRoot.get() && L(P).Visible != L(Node).Visible) UpdateNodeState(P, true);
}

void TMemoryTreeListKv::UpdateNodesState(TMemRecViewKv* Parent) {
  if (!Parent) Parent = FRoot.get();
  for (TMemRecViewKv* C : L(Parent).Children) {
    UpdateNodesState(C);
    UpdateNodeState(C, false);
  }
}

void TMemoryTreeListKv::ShowSubtreesOfFilteredNodes(TMemRecViewKv* Node) {
  if (!Node) Node = FRoot.get();
  for (TMemRecViewKv* C : L(Node).Children) {
    if (!L(C).Visible) continue;
    if (L(C).VisibleChildren == 0) PreOrder(C, [this](TMemRecViewKv* X) { SetVisible(X, true); });
    else ShowSubtreesOfFilteredNodes(C);
  }
}

void TMemoryTreeListKv::BuildVisibleItems() {
  Flat().Release();
  Shown().Release();
  for (TMemRecViewKv* C : L(FRoot.get()).Children)
    PreOrder(C, [this](TMemRecViewKv* X) {
      Flat().AppendBulk(X);
      if (ShouldShow(X)) Shown().AppendBulk(X);
    });
  Flat().EndBulk();
  Shown().EndBulk();
  FAccountableObsolete = true;
}

// ---- The flat lists --------------------------------------------------------------------------------

Integer TMemoryTreeListKv::VisibleExpandedCount() const { return Shown().Count(); }
TMemRecViewKv* TMemoryTreeListKv::GetVisibleExpandedItem(Integer Index) { return Shown().Get(Index); }
Integer TMemoryTreeListKv::FlatListCount() const { return Flat().Count(); }
TMemRecViewKv* TMemoryTreeListKv::GetFlatListItem(Integer Index) { return Flat().Get(Index); }

Integer TMemoryTreeListKv::AccountableCount() {
  if (FAccountableObsolete) {
    FVisibleItems.clear();
    std::vector<TMemRecViewKv*> Todo(L(FRoot.get()).Children.rbegin(), L(FRoot.get()).Children.rend());
    while (!Todo.empty()) {
      TMemRecViewKv* N = Todo.back();
      Todo.pop_back();
      if (!L(N).Visible) continue;
      FVisibleItems.push_back(N);
      Todo.insert(Todo.end(), L(N).Children.rbegin(), L(N).Children.rend());
    }
    FAccountableObsolete = false;
  }
  return Integer(FVisibleItems.size());
}

TMemRecViewKv* TMemoryTreeListKv::GetAccountableItem(Integer Index) {
  return Index >= 0 && Index < AccountableCount() ? FVisibleItems[size_t(Index)] : nullptr;
}

// ---- Sorting and expanding -------------------------------------------------------------------------

void TMemoryTreeListKv::SetSortOrder(const String& Value) {
  if (Value == FSortOrder) return;
  FOrderByList->ParseOrderByStr(Value);
  for (Integer I = 0; I < FOrderByList->GetCount(); ++I)
    FOrderByList->GetItem(I)->CaseIns = FRecordsViewKv->GetSortOrderCaseInsensitive();
  FSortOrder = Value;
  if (!L(FRoot.get()).Children.empty()) Resort();
}

void TMemoryTreeListKv::Resort() { SortData(true); }

void TMemoryTreeListKv::SortData(bool ARecurse) {
  auto Less = [this](TMemRecViewKv* A, TMemRecViewKv* B) { return CompareTreeNodes(A->FRec, B->FRec) < 0; };
  std::vector<TMemRecViewKv*> Todo{FRoot.get()};
  while (!Todo.empty()) {
    TMTTreeLinksKv& P = L(Todo.back());
    Todo.pop_back();
    // The order is total, so any sort gives it; the storage order needs no comparison of values.
    if (FSortOrder.empty())
      std::sort(P.Children.begin(), P.Children.end(),
                [](TMemRecViewKv* A, TMemRecViewKv* B) { return A->FRec->GetIndex() < B->FRec->GetIndex(); });
    else
      std::sort(P.Children.begin(), P.Children.end(), Less);
    P.IndexedTo = 0;
    if (ARecurse)
      for (TMemRecViewKv* C : P.Children)
        if (C->FLinks && !C->FLinks->Children.empty()) Todo.push_back(C);
  }
  Changed();
  if (FBulk) return;
  BuildVisibleItems();
  FRecordsViewKv->ViewDataEvent(nullptr, -1, rlnListChangedKv);
}

void TMemoryTreeListKv::SetExpanded(TMemRecViewKv* Node, bool Value) {
  if (!Node || Node == FRoot.get()) return;
  TMTTreeLinksKv& N = L(Node);
  if (N.Expanded == Value) return;
  bool Report = !N.LockUpdate;
  if (Report && FOnExpandedChanging) {
    bool Allow = true;
    FOnExpandedChanging(Node, Allow);
    if (!Allow) return;
  }
  N.Expanded = Value;
  Changed();
  SyncShown(Node);
  if (Report && FOnExpandedChanged) FOnExpandedChanged(Node);
}

void TMemoryTreeListKv::Expand(TMemRecViewKv* Node, bool Recurse) {
  if (!Node) Node = FRoot.get();
  SetExpanded(Node, true);
  if (Recurse)
    for (TMemRecViewKv* C : std::vector<TMemRecViewKv*>(L(Node).Children.begin(), L(Node).Children.end())) Expand(C, true);
}

void TMemoryTreeListKv::Collapse(TMemRecViewKv* Node, bool Recurse) {
  if (!Node) Node = FRoot.get();
  SetExpanded(Node, false);
  if (Recurse)
    for (TMemRecViewKv* C : std::vector<TMemRecViewKv*>(L(Node).Children.begin(), L(Node).Children.end())) Collapse(C, true);
}

TMemRecViewKv* TMemoryTreeListKv::GetNext(TMemRecViewKv* Node) {
  if (!Node || !InTree(Node)) return nullptr;
  return Node == FRoot.get() ? Flat().Get(0) : Flat().Get(Flat().IndexOf(Node) + 1);
}

TMemRecViewKv* TMemoryTreeListKv::GetPrevious(TMemRecViewKv* Node) {
  if (!Node || Node == FRoot.get() || !InTree(Node)) return nullptr;
  return Flat().Get(Flat().IndexOf(Node) - 1);
}

TMemRecViewKv* TMemoryTreeListKv::GetNextVisibleSibling(TMemRecViewKv* Node) {
  if (!Node || Node == FRoot.get() || !InTree(Node)) return nullptr;
  auto& C = L(L(Node).Parent).Children;
  for (size_t I = size_t(ChildIndex(Node)) + 1; I < C.size(); ++I)
    if (L(C[I]).Visible) return C[I];
  return nullptr;
}

TMemRecViewKv* TMemoryTreeListKv::GetPriorVisibleSibling(TMemRecViewKv* Node) {
  if (!Node || Node == FRoot.get() || !InTree(Node)) return nullptr;
  auto& C = L(L(Node).Parent).Children;
  for (Integer I = ChildIndex(Node) - 1; I >= 0; --I)
    if (L(C[size_t(I)]).Visible) return C[size_t(I)];
  return nullptr;
}
