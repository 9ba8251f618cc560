#include "kvlib/foundation/MemTreeKv.h"

#include "framework/SysUtils.h"
#include "framework/classes/Lists.h"

namespace {

const wchar_t* const SDifferentOwners = L"TBaseTreeNodeKv.Add: Tree nodes can not has different Owners";
const wchar_t* const SMaxLevelExceed = L"TBaseTreeNodeKv.SetLevel: Max level exceed - ";
const wchar_t* const SReferenceLoop = L"Reference-loop found";
const wchar_t* const SNodeAttached = L"TTreeListKv.AddNode: the node is attached already";

bool IsChildMode(TNodeAttachModeKv Mode) { return Mode == naAddChildKv || Mode == naAddChildFirstKv; }

}  // namespace

// ---- TBaseTreeNodeKv ----------------------------------------------------------------------------

TBaseTreeNodeKv::TBaseTreeNodeKv() = default;

TBaseTreeNodeKv::~TBaseTreeNodeKv() {
  for (Integer I = GetCount() - 1; I >= 0; --I) delete GetItem(I);
}

TBaseTreeNodeKv* TBaseTreeNodeKv::GetItem(Integer Index) const {
  if (!FItems) TList::Error(SListIndexError, Index);
  return static_cast<TBaseTreeNodeKv*>(FItems->GetItems(Index));
}

TObjectListKv& TBaseTreeNodeKv::Items() {
  if (!FItems) FItems = std::make_unique<TObjectListKv>();
  return *FItems;
}

Integer TBaseTreeNodeKv::GetVisibleCount() {
  if (FVisibleItemsObsolete) BuildVisibleItems();
  return FVisibleCount;
}

TBaseTreeNodeKv* TBaseTreeNodeKv::GetVisibleItem(Integer VisibleIndex) {
  return static_cast<TBaseTreeNodeKv*>(GetVisibleItems()->GetItems(VisibleIndex));
}

TObjectListKv* TBaseTreeNodeKv::GetVisibleItems() {
  if (FVisibleItemsObsolete) BuildVisibleItems();
  if (GetCount() == FVisibleCount) return &Items();
  return FVisibleItems.get();
}

bool TBaseTreeNodeKv::GetHasVisibleChildren() {
  if (FVisibleItemsObsolete) BuildVisibleItems();
  return FHasVisibleChildren;
}

void TBaseTreeNodeKv::CheckSameOwner(TBaseTreeNodeKv* Node) const {
  if (Node->FOwner != FOwner) throw Exception(SDifferentOwners);
}

Integer TBaseTreeNodeKv::Add(TBaseTreeNodeKv* Node) {
  CheckSameOwner(Node);
  bool AllVisible = !FVisibleItemsObsolete && GetCount() == FVisibleCount;
  Integer Result = Items().Add(Node);
  if (AllVisible && Node->FVisible) {
    Node->FVisibleIndex = Result;
    ++FVisibleCount;
  }
  VisibleItemsBecomeObsolete();
  return Result;
}

void TBaseTreeNodeKv::Insert(Integer Index, TBaseTreeNodeKv* Node) {
  CheckSameOwner(Node);
  bool AllVisible = !FVisibleItemsObsolete && GetCount() == FVisibleCount;
  Items().Insert(Index, Node);
  if (AllVisible && Node->FVisible)
    ++FVisibleCount;
  else
    VisibleItemsBecomeObsolete();
}

void TBaseTreeNodeKv::Delete(Integer Index) {
  Items().Delete(Index);
  VisibleItemsBecomeObsolete();
}

void TBaseTreeNodeKv::Exchange(Integer Index1, Integer Index2) {
  if (Index1 == Index2) return;
  Items().Exchange(Index1, Index2);
  GetItem(Index1)->FIndex = Index1;
  GetItem(Index2)->FIndex = Index2;
}

void TBaseTreeNodeKv::Clear() {
  if (FItems) FItems->Clear();
  if (FVisibleItems) FVisibleItems->Clear();
}

Integer TBaseTreeNodeKv::SubtreeHeight() const {
  if (GetCount() == 0) return 0;
  // Iterative, level by level: deep chains do not grow the stack.
  Integer Height = 0;
  std::vector<const TBaseTreeNodeKv*> Level{this}, Next;
  for (;;) {
    Next.clear();
    for (const TBaseTreeNodeKv* N : Level)
      for (Integer I = 0; I < N->GetCount(); ++I) Next.push_back(N->GetItem(I));
    if (Next.empty()) return Height;
    ++Height;
    Level.swap(Next);
  }
}

Integer TBaseTreeNodeKv::ActualIndex() const {
  if (!FParent) return -1;
  if (FIndex >= 0 && FIndex < FParent->GetCount() && FParent->GetItem(FIndex) == this) return FIndex;
  return FParent->Items().IndexOf(const_cast<TBaseTreeNodeKv*>(this));
}

void TBaseTreeNodeKv::SetLevel(Integer Value) {
  if (Value == FLevel) return;
  if (FOwner && Value > FOwner->FMaxLevel) throw Exception(SMaxLevelExceed + IntToStr(FOwner->FMaxLevel));
  FLevel = Value;
  for (Integer I = 0; I < GetCount(); ++I) GetItem(I)->SetLevel(FLevel + 1);
}

void TBaseTreeNodeKv::SetExpanded(bool Value) {
  if (Value == FExpanded || !ExpandedChanging()) return;
  FExpanded = Value;
  ExpandedChanged();
}

void TBaseTreeNodeKv::SetVisible(bool Value) {
  if (Value == FVisible || !CanChangeVisible()) return;
  FVisible = Value;
  VisibleChanged();
}

bool TBaseTreeNodeKv::ExpandedChanging() { return FOwner ? FOwner->ExpandedChanging(this) : true; }

void TBaseTreeNodeKv::ChildVisibleChanged(TBaseTreeNodeKv*) { VisibleItemsBecomeObsolete(); }

void TBaseTreeNodeKv::ExpandedChanged() {
  if (FOwner) FOwner->ExpandedChanged(this);
}

void TBaseTreeNodeKv::VisibleChanged() {
  if (FParent) FParent->ChildVisibleChanged(this);
}

void TBaseTreeNodeKv::QuickSort(Integer L, Integer R, TObject* ParamSort, const TCompareNodesKv& Compare) {
  Integer I;
  do {
    I = L;
    Integer J = R;
    TBaseTreeNodeKv* P = GetItem((L + R) >> 1);
    do {
      while (Compare(GetItem(I), P, ParamSort) < 0) ++I;
      while (Compare(GetItem(J), P, ParamSort) > 0) --J;
      if (I <= J) {
        Exchange(I, J);
        ++I;
        --J;
      }
    } while (I <= J);
    if (L < J) QuickSort(L, J, ParamSort, Compare);
    L = I;
  } while (I < R);
  if (FVisibleItemsObsolete || GetCount() != FVisibleCount) VisibleItemsBecomeObsolete();
}

void TBaseTreeNodeKv::SortData(TObject* ParamSort, bool Recurse, const TCompareNodesKv& Compare) {
  if (GetCount() == 0) return;
  QuickSort(0, GetCount() - 1, ParamSort, Compare);
  if (Recurse)
    for (Integer I = 0; I < GetCount(); ++I) GetItem(I)->SortData(ParamSort, Recurse, Compare);
}

bool TBaseTreeNodeKv::HasAncestor(TBaseTreeNodeKv* Node) const {
  for (const TBaseTreeNodeKv* N = this; N && N->FParent; N = N->FParent)
    if (N == Node) return true;
  return false;
}

bool TBaseTreeNodeKv::BuildVisibleItems() {
  // A list of its own only when some child is hidden; otherwise the child list serves.
  bool AllVisible = true;
  for (Integer I = 0; I < GetCount() && AllVisible; ++I) AllVisible = GetItem(I)->FVisible;
  if (AllVisible) {
    if (FVisibleItems) FVisibleItems->Clear();
    for (Integer I = 0; I < GetCount(); ++I) GetItem(I)->FVisibleIndex = I;
    FVisibleCount = GetCount();
  } else {
    if (!FVisibleItems) FVisibleItems = std::make_unique<TObjectListKv>();
    FVisibleItems->Clear();
    for (Integer I = 0; I < GetCount(); ++I) {
      TBaseTreeNodeKv* Child = GetItem(I);
      if (Child->FVisible) Child->FVisibleIndex = FVisibleItems->Add(Child);
    }
    FVisibleCount = FVisibleItems->GetCount();
  }
  FVisibleItemsObsolete = false;
  FHasVisibleChildren = GetVisibleCount() > 0;
  return FHasVisibleChildren;
}

// ---- TTreeListKv --------------------------------------------------------------------------------

TTreeListKv::TTreeListKv(TTreeNodeClassKv ItemClass) : TComponent(nullptr), FItemClass(ItemClass) {
  FRoot = FItemClass.Create();
  FRoot->FOwner = this;
}

TTreeListKv::~TTreeListKv() { delete FRoot; }

TBaseTreeNodeKv* TTreeListKv::CreateNodeApart(const String& Text, TObject* Data) {
  TBaseTreeNodeKv* Node = FItemClass.Create();
  Node->FOwner = this;
  Node->FData = Data;
  Node->FText = Text;
  return Node;
}

TBaseTreeNodeKv* TTreeListKv::AddChild(const String& Text, TBaseTreeNodeKv* Parent, TObject* Data) {
  std::unique_ptr<TBaseTreeNodeKv> Node(CreateNodeApart(Text, Data));
  AddNode(Node.get(), Parent, true, naAddChildKv);
  return Node.release();  // its parent has it
}

void TTreeListKv::CheckAttach(TBaseTreeNodeKv* Node, TBaseTreeNodeKv* Destination, TNodeAttachModeKv Mode) {
  if (Node->FOwner != this || Destination->FOwner != this) throw Exception(SDifferentOwners);
  TBaseTreeNodeKv* NewParent = IsChildMode(Mode) ? Destination : Destination->FParent;
  if (!NewParent) return;
  // The whole subtree must fit before any node is moved, so a refusal leaves the tree as it was.
  if (NewParent->FLevel + 1 + Node->SubtreeHeight() > FMaxLevel)
    throw Exception(SMaxLevelExceed + IntToStr(FMaxLevel));
}

void TTreeListKv::AddNode(TBaseTreeNodeKv* Node, TBaseTreeNodeKv* Destination, bool ReIndex,
                          TNodeAttachModeKv Mode) {
  if (!Node || Node == FRoot) return;
  if (!Destination) Destination = FRoot;
  if (Destination == FRoot && !IsChildMode(Mode)) return;
  // A sibling mode needs a destination that is itself attached.
  if (!IsChildMode(Mode) && !Destination->FParent) return;
  if (Node->FParent) throw Exception(SNodeAttached);
  CheckAttach(Node, Destination, Mode);
  switch (Mode) {
    case naAddKv:
      AddNode(Node, Destination->FParent, false, naAddChildKv);
      break;
    case naAddFirstKv:
      AddNode(Node, Destination->FParent, ReIndex, naAddChildFirstKv);
      break;
    case naAddChildKv:
      Node->FParent = Destination;
      Destination->FHasChildren = true;
      Node->FIndex = Destination->Add(Node);
      Node->SetLevel(Destination->FLevel + 1);
      break;
    case naAddChildFirstKv:
      Node->FParent = Destination;
      Destination->FHasChildren = true;
      Destination->Insert(0, Node);
      Node->FIndex = 0;
      Node->SetLevel(Destination->FLevel + 1);
      if (ReIndex) ReIndexChildren(Destination, false, -1, 0);
      break;
    case naInsertKv: {
      TBaseTreeNodeKv* P = Destination->FParent;
      Integer At = Destination->ActualIndex();
      Node->FParent = P;
      P->FHasChildren = true;
      P->Insert(At, Node);
      Node->FIndex = At;
      Node->SetLevel(P->FLevel + 1);
      if (ReIndex) ReIndexChildren(P, false, -1, Node->FIndex);
      break;
    }
    case naAddAfterKv: {
      TBaseTreeNodeKv* P = Destination->FParent;
      Integer At = Destination->ActualIndex();
      if (At == P->GetCount() - 1)
        AddNode(Node, Destination, ReIndex, naAddKv);
      else
        AddNode(Node, P->GetItem(At + 1), ReIndex, naInsertKv);
      break;
    }
  }
  NodeParentChanged(Node, 0, nullptr, -1);
}

Integer TTreeListKv::Detach(TBaseTreeNodeKv* Node, bool ReIndex) {
  TBaseTreeNodeKv* P = Node->FParent;
  Integer I = Node->ActualIndex();
  Integer N = P->GetCount();
  P->Delete(I);
  P->FHasChildren = P->GetCount() > 0;
  if (ReIndex && I < N - 1) ReIndexChildren(P, false, -1, -1);
  Node->FParent = nullptr;
  Node->FIndex = -1;
  return I;
}

void TTreeListKv::MoveTo(TBaseTreeNodeKv* Node, TBaseTreeNodeKv* Destination, bool ReIndex,
                         TNodeAttachModeKv Mode) {
  if (!Destination) Destination = FRoot;
  if (!Node || Node == FRoot) return;
  if (Destination == FRoot && !IsChildMode(Mode)) return;
  if (Destination == Node || Destination->HasAncestor(Node)) throw Exception(SReferenceLoop);
  if (!IsChildMode(Mode) && !Destination->FParent) return;
  CheckAttach(Node, Destination, Mode);
  if (Node->FParent) Detach(Node, ReIndex);
  AddNode(Node, Destination, ReIndex, Mode);
}

void TTreeListKv::ExtractNode(TBaseTreeNodeKv* Node, bool ReIndex) {
  if (!Node || !Node->FParent) return;
  TBaseTreeNodeKv* P = Node->FParent;
  Integer I = Detach(Node, ReIndex);
  NodeParentChanged(Node, 1, P, I);
}

void TTreeListKv::DeleteChildren(TBaseTreeNodeKv* Node) {
  if (!Node) return;
  for (Integer I = Node->GetCount() - 1; I >= 0; --I) delete Node->GetItem(I);
  Node->Clear();
}

void TTreeListKv::DeleteNode(TBaseTreeNodeKv* Node, bool ReIndex) {
  if (!Node) return;
  DeleteChildren(Node);
  if (Node == FRoot) return;
  ExtractNode(Node, ReIndex);
  delete Node;
}

void TTreeListKv::Clear() { DeleteChildren(FRoot); }

void TTreeListKv::ReIndexChildren(TBaseTreeNodeKv* Node, bool Recurse, Integer ToIndex, Integer FromIndex) {
  if (!Node) Node = FRoot;
  if (Node->FVisibleItems) Node->FVisibleItems->Clear();
  if (FromIndex == -1) FromIndex = 0;
  if (ToIndex == -1) ToIndex = Node->GetCount() - 1;
  for (Integer I = FromIndex; I <= ToIndex; ++I) {
    TBaseTreeNodeKv* Child = Node->GetItem(I);
    Child->FIndex = I;
    if (Recurse) ReIndexChildren(Child, true, -1, -1);
  }
  Node->VisibleItemsBecomeObsolete();
}

void TTreeListKv::Expand(TBaseTreeNodeKv* Node, bool Recurse) {
  if (!Node) Node = FRoot;
  if (Node->GetCount() == 0) return;
  if (Node != FRoot) Node->SetExpanded(true);
  if (Recurse)
    for (Integer I = 0; I < Node->GetCount(); ++I) Expand(Node->GetItem(I), true);
}

void TTreeListKv::Collapse(TBaseTreeNodeKv* Node, bool Recurse) {
  if (!Node) Node = FRoot;
  Node->SetExpanded(false);
  if (Recurse)
    for (Integer I = 0; I < Node->GetCount(); ++I) Collapse(Node->GetItem(I), true);
}

TBaseTreeNodeKv* TTreeListKv::FindNodeByData(TBaseTreeNodeKv* Node, TObject* Data) {
  if (!Node) Node = FRoot;
  for (Integer I = 0; I < Node->GetCount(); ++I) {
    TBaseTreeNodeKv* Child = Node->GetItem(I);
    if (Child->FData == Data) return Child;
    if (TBaseTreeNodeKv* Found = FindNodeByData(Child, Data)) return Found;
  }
  return nullptr;
}

TBaseTreeNodeKv* TTreeListKv::GetPrevSibling(TBaseTreeNodeKv* Node) {
  if (!Node || !Node->FParent) return nullptr;
  Integer I = Node->ActualIndex();
  return I > 0 ? Node->FParent->GetItem(I - 1) : nullptr;
}

TBaseTreeNodeKv* TTreeListKv::GetNextSibling(TBaseTreeNodeKv* Node) {
  if (!Node || !Node->FParent) return nullptr;
  Integer I = Node->ActualIndex();
  return I < Node->FParent->GetCount() - 1 ? Node->FParent->GetItem(I + 1) : nullptr;
}

TBaseTreeNodeKv* TTreeListKv::GetFirstChild(TBaseTreeNodeKv* Node) {
  return Node && Node->GetCount() > 0 ? Node->GetItem(0) : nullptr;
}

TBaseTreeNodeKv* TTreeListKv::GetLastChild(TBaseTreeNodeKv* Node) {
  return Node && Node->GetCount() > 0 ? Node->GetItem(Node->GetCount() - 1) : nullptr;
}

TBaseTreeNodeKv* TTreeListKv::GetFirst() { return GetFirstChild(FRoot); }

TBaseTreeNodeKv* TTreeListKv::GetLast(TBaseTreeNodeKv* Node) {
  if (!Node) Node = FRoot;
  TBaseTreeNodeKv* Result = GetLastChild(Node);
  while (Result && Result->GetCount() > 0) Result = GetLastChild(Result);
  return Result;
}

TBaseTreeNodeKv* TTreeListKv::GetNext(TBaseTreeNodeKv* Node) {
  if (!Node || Node == FRoot) return Node;
  if (Node->GetCount() > 0) return Node->GetItem(0);
  for (TBaseTreeNodeKv* N = Node; N && N != FRoot; N = N->FParent)
    if (TBaseTreeNodeKv* Sibling = GetNextSibling(N)) return Sibling;
  return nullptr;
}

TBaseTreeNodeKv* TTreeListKv::GetPrevious(TBaseTreeNodeKv* Node) {
  if (!Node || Node == FRoot) return Node;
  if (TBaseTreeNodeKv* Sibling = GetPrevSibling(Node)) {
    TBaseTreeNodeKv* Last = GetLast(Sibling);
    return Last ? Last : Sibling;
  }
  return Node->FParent == FRoot ? nullptr : Node->FParent;
}

bool TTreeListKv::HasChildren(TBaseTreeNodeKv* Node) { return (Node ? Node : FRoot)->GetCount() > 0; }

bool TTreeListKv::IsShown(TBaseTreeNodeKv* Node, bool ConsiderCollapsed) {
  return Node->FVisible && GetPathVisible(Node, ConsiderCollapsed);
}

bool TTreeListKv::GetPathVisible(TBaseTreeNodeKv* Node, bool ConsiderCollapsed) {
  if (!Node || Node == FRoot) return false;
  TBaseTreeNodeKv* A = Node->FParent;
  while (A && A != FRoot && A->FVisible && (!ConsiderCollapsed || A->FExpanded)) A = A->FParent;
  return A == FRoot;
}

TBaseTreeNodeKv* TTreeListKv::GetVisibleAncestor(TBaseTreeNodeKv* Node, bool ConsiderCollapsed) {
  // The nearest ancestor that is on screen: under a collapsed branch that is the branch's
  // topmost collapsed node, so a walk that goes on from it skips the hidden part.
  for (TBaseTreeNodeKv* A = Node ? Node->FParent : nullptr; A && A != FRoot; A = A->FParent)
    if (IsShown(A, ConsiderCollapsed)) return A;
  return FRoot;
}

TBaseTreeNodeKv* TTreeListKv::GetFirstVisible() {
  for (TBaseTreeNodeKv* N = GetFirst(); N; N = GetNextSibling(N))
    if (N->FVisible) return N;
  return nullptr;
}

TBaseTreeNodeKv* TTreeListKv::GetNextVisible(TBaseTreeNodeKv* Node, bool ConsiderCollapsed) {
  if (!Node || Node == FRoot || !Node->FParent) return nullptr;
  auto NextOrClimb = [this](TBaseTreeNodeKv* N) -> TBaseTreeNodeKv* {
    for (; N && N != FRoot; N = N->FParent)
      if (TBaseTreeNodeKv* Sibling = GetNextSibling(N)) return Sibling;
    return nullptr;
  };
  TBaseTreeNodeKv* N = Node;
  bool Descend = true;
  if (!IsShown(N, ConsiderCollapsed)) {
    // Go on after the whole hidden branch that holds Node, never back into what came before: the
    // branch of its topmost ancestor that hides what is under it (hidden itself, or collapsed),
    // or Node's own when it alone is hidden.
    for (TBaseTreeNodeKv* A = Node->FParent; A && A != FRoot; A = A->FParent)
      if (!A->FVisible || (ConsiderCollapsed && !A->FExpanded)) N = A;
    Descend = false;
  }
  TBaseTreeNodeKv* C = Descend && N->GetCount() > 0 && (!ConsiderCollapsed || N->FExpanded) ? N->GetItem(0)
                                                                                             : NextOrClimb(N);
  for (; C; C = NextOrClimb(C))
    if (C->FVisible) return C;
  return nullptr;
}

TBaseTreeNodeKv* TTreeListKv::GetNextVisibleSibling(TBaseTreeNodeKv* Node) {
  if (!Node || !Node->FParent) return nullptr;
  TBaseTreeNodeKv* P = Node->FParent;
  TObjectListKv* Visible = P->GetVisibleItems();
  if (Visible == P->FItems.get()) return GetNextSibling(Node);
  Integer I = Node->FVisibleIndex + 1;
  return I < Visible->GetCount() ? static_cast<TBaseTreeNodeKv*>(Visible->GetItems(I)) : nullptr;
}

TBaseTreeNodeKv* TTreeListKv::GetPriorVisibleSibling(TBaseTreeNodeKv* Node) {
  if (!Node || !Node->FParent) return nullptr;
  TBaseTreeNodeKv* P = Node->FParent;
  TObjectListKv* Visible = P->GetVisibleItems();
  if (Visible == P->FItems.get()) return GetPrevSibling(Node);
  Integer I = Node->FVisibleIndex - 1;
  return I >= 0 && I < Visible->GetCount() ? static_cast<TBaseTreeNodeKv*>(Visible->GetItems(I)) : nullptr;
}

void TTreeListKv::SortData(TObject* ParamSort, bool Recurse, const TCompareNodesKv& Compare) {
  FRoot->SortData(ParamSort, Recurse, Compare ? Compare : TCompareNodesKv(this, &TTreeListKv::CompareTreeNodes));
}

Integer TTreeListKv::CompareTreeNodes(TBaseTreeNodeKv*, TBaseTreeNodeKv*, TObject*) { return 0; }

bool TTreeListKv::ExpandedChanging(TBaseTreeNodeKv* Node) {
  bool Result = true;
  DoEvent(FOnExpandedChanging, Node, Result);
  return Result;
}

void TTreeListKv::ExpandedChanged(TBaseTreeNodeKv* Node) { DoEvent(FOnExpandedChanged, Node); }

void TTreeListKv::NodeParentChanged(TBaseTreeNodeKv*, Integer, TBaseTreeNodeKv*, Integer) {}
