// The family's tree list: attaching, moving with its loop and depth checks, extracting,
// levels, sorting, and the depth-first and visible walks.

#include <gtest/gtest.h>

#include "framework/SysUtils.h"
#include "kvlib/foundation/MemTreeKv.h"

namespace {

// A node class of its own, made by the tree through its class reference.
class TTestNode : public TBaseTreeNodeKv {
  DECLARE_CLASS(TTestNode, TBaseTreeNodeKv)
};

// Notes every parent change the tree reports.
class TTestTree : public TTreeListKv {
  DECLARE_CLASS(TTestTree, TTreeListKv)
 public:
  TTestTree() : TTreeListKv(TTestNode::StaticClass()) {}
  std::vector<String> Changes;
  using TTreeListKv::FMaxLevel;

 protected:
  void NodeParentChanged(TBaseTreeNodeKv* Node, Integer Change, TBaseTreeNodeKv* OldParent, Integer OldIndex) override {
    Changes.push_back(Node->GetText() + (Change == 0 ? L"+" : L"-") + (OldParent ? OldParent->GetText() : L"") +
                      IntToStr(OldIndex));
  }
};

// "A(B,C),D": texts in child order; a node whose index is not its position shows "!".
String Shape(TBaseTreeNodeKv* Node) {
  String S;
  for (Integer I = 0; I < Node->GetCount(); ++I) {
    TBaseTreeNodeKv* C = Node->GetItem(I);
    if (I) S += L",";
    S += C->GetText();
    if (C->GetIndex() != I) S += L"!";
    if (C->GetParent() != Node || C->GetLevel() != Node->GetLevel() + 1) S += L"?";
    if (C->GetCount()) S += L"(" + Shape(C) + L")";
  }
  return S;
}

// A tree A(A1,A2(A21)),B,C.
struct Sample {
  Sample() {
    A = T.AddChild(L"A", nullptr, nullptr);
    A1 = T.AddChild(L"A1", A, nullptr);
    A2 = T.AddChild(L"A2", A, nullptr);
    A21 = T.AddChild(L"A21", A2, nullptr);
    B = T.AddChild(L"B", nullptr, nullptr);
    C = T.AddChild(L"C", nullptr, nullptr);
    T.Changes.clear();
  }
  TTestTree T;
  TBaseTreeNodeKv *A, *A1, *A2, *A21, *B, *C;
};

String MessageOf(const std::function<void()>& Call) {
  try {
    Call();
  } catch (const Exception& E) {
    return E.Message();
  }
  return L"(no exception)";
}

String Walk(TTreeListKv& T, bool Visible, bool ConsiderCollapsed) {
  String S;
  for (TBaseTreeNodeKv* N = Visible ? T.GetFirstVisible() : T.GetFirst(); N;
       N = Visible ? T.GetNextVisible(N, ConsiderCollapsed) : T.GetNext(N))
    S += (S.empty() ? L"" : L" ") + N->GetText();
  return S;
}

}  // namespace

TEST(TreeList, AddChildOnAnEmptyTree) {
  TTestTree T;
  EXPECT_EQ(T.GetFirst(), nullptr);
  EXPECT_EQ(T.GetRoot()->GetLevel(), 0);
  TObject Payload;
  TBaseTreeNodeKv* N = T.AddChild(L"N", nullptr, &Payload);
  EXPECT_TRUE(Is<TTestNode>(N));
  EXPECT_EQ(N->GetLevel(), 1);
  EXPECT_EQ(N->GetIndex(), 0);
  EXPECT_EQ(N->GetParent(), T.GetRoot());
  EXPECT_EQ(N->GetData(), &Payload);
  EXPECT_EQ(T.GetFirst(), N);
  EXPECT_EQ(T.FindNodeByData(nullptr, &Payload), N);
  EXPECT_EQ(T.GetMaxLevel(), 1000);
}

TEST(TreeList, AttachModes) {
  const struct {
    TNodeAttachModeKv Mode;
    const wchar_t* Destination;  // "" for the root
    bool ReIndex;
    const wchar_t* Shape;
  } Cases[] = {
      {naAddChildKv, L"", true, L"A(A1,A2(A21)),B,C,X"},
      {naAddChildFirstKv, L"", true, L"X,A(A1,A2(A21)),B,C"},
      {naAddKv, L"", true, L"A(A1,A2(A21)),B,C"},  // the root has no siblings: nothing happens
      {naAddFirstKv, L"", true, L"A(A1,A2(A21)),B,C"},
      {naAddKv, L"A1", true, L"A(A1,A2(A21),X),B,C"},
      {naAddFirstKv, L"A2", true, L"A(X,A1,A2(A21)),B,C"},
      {naAddFirstKv, L"A2", false, L"A(X,A1!,A2!(A21)),B,C"},
      {naAddChildKv, L"A21", true, L"A(A1,A2(A21(X))),B,C"},
      {naAddChildFirstKv, L"A", true, L"A(X,A1,A2(A21)),B,C"},
      {naInsertKv, L"B", true, L"A(A1,A2(A21)),X,B,C"},
      {naInsertKv, L"B", false, L"A(A1,A2(A21)),X,B!,C!"},
      {naAddAfterKv, L"C", true, L"A(A1,A2(A21)),B,C,X"},
      {naAddAfterKv, L"A", true, L"A(A1,A2(A21)),X,B,C"},
      {naAddAfterKv, L"A1", false, L"A(A1,X,A2!(A21)),B,C"},
  };
  for (const auto& C : Cases) {
    Sample S;
    TBaseTreeNodeKv* Dest = nullptr;
    for (TBaseTreeNodeKv* N = S.T.GetFirst(); N; N = S.T.GetNext(N))
      if (N->GetText() == C.Destination) Dest = N;
    TBaseTreeNodeKv* X = S.T.CreateNodeApart(L"X", nullptr);
    EXPECT_EQ(X->GetIndex(), -1);
    S.T.AddNode(X, Dest, C.ReIndex, C.Mode);
    EXPECT_EQ(Shape(S.T.GetRoot()), C.Shape) << C.Mode << " " << C.Destination;
    if (!X->GetParent()) delete X;
  }
}

TEST(TreeList, ParentChangesAreReportedOncePerAttachStep) {
  Sample S;
  TBaseTreeNodeKv* X = S.T.CreateNodeApart(L"X", nullptr);
  S.T.AddNode(X, S.C, true, naAddAfterKv);  // after the last child: naAddKv, then naAddChildKv
  EXPECT_EQ(S.T.Changes, (std::vector<String>{L"X+-1", L"X+-1", L"X+-1"}));
  S.T.Changes.clear();
  S.T.ExtractNode(S.A1, true);
  EXPECT_EQ(S.T.Changes, (std::vector<String>{L"A1-A0"}));
  delete S.A1;
}

TEST(TreeList, MovingIntoItsOwnSubtreeIsRefused) {
  Sample S;
  const String Before = Shape(S.T.GetRoot());
  EXPECT_EQ(MessageOf([&] { S.T.MoveTo(S.A, S.A21, true, naAddChildKv); }), L"Reference-loop found");
  EXPECT_EQ(MessageOf([&] { S.T.MoveTo(S.A2, S.A2, true, naInsertKv); }), L"Reference-loop found");
  EXPECT_EQ(MessageOf([&] { S.T.MoveTo(S.A, S.A1, true, naAddAfterKv); }), L"Reference-loop found");
  EXPECT_EQ(Shape(S.T.GetRoot()), Before);
  EXPECT_TRUE(S.T.Changes.empty());

  S.T.MoveTo(S.A2, S.C, true, naAddChildKv);
  EXPECT_EQ(Shape(S.T.GetRoot()), L"A(A1),B,C(A2(A21))");
  EXPECT_EQ(S.A21->GetLevel(), 3);
  S.T.MoveTo(S.A2, nullptr, true, naAddChildFirstKv);
  EXPECT_EQ(Shape(S.T.GetRoot()), L"A2(A21),A(A1),B,C");
  EXPECT_FALSE(S.C->GetHasChildren());
  S.T.MoveTo(S.B, S.A2, true, naInsertKv);
  EXPECT_EQ(Shape(S.T.GetRoot()), L"B,A2(A21),A(A1),C");
}

TEST(TreeList, ExtractedNodesAreApartAndCanBeAttachedAgain) {
  Sample S;
  S.T.ExtractNode(S.A1, true);
  EXPECT_EQ(S.A1->GetParent(), nullptr);
  EXPECT_EQ(S.A1->GetIndex(), -1);
  EXPECT_EQ(Shape(S.T.GetRoot()), L"A(A2(A21)),B,C");
  // A second extract and a delete of the extracted node leave A's remaining child alone.
  S.T.ExtractNode(S.A1, true);
  S.T.DeleteNode(S.A1, true);
  EXPECT_EQ(Shape(S.T.GetRoot()), L"A(A2(A21)),B,C");

  S.T.ExtractNode(S.A2, false);
  S.T.MoveTo(S.A2, S.B, true, naAddChildKv);  // a node apart moves by attaching
  EXPECT_EQ(Shape(S.T.GetRoot()), L"A,B(A2(A21)),C");
  EXPECT_FALSE(S.A->GetHasChildren());
  // A node still attached is not attached a second time.
  EXPECT_THROW(S.T.AddNode(S.A2, S.C, true, naAddChildKv), Exception);
  EXPECT_EQ(Shape(S.T.GetRoot()), L"A,B(A2(A21)),C");
  S.T.DeleteNode(S.B, true);
  EXPECT_EQ(Shape(S.T.GetRoot()), L"A,C");
  S.T.DeleteChildren(S.T.GetRoot());
  EXPECT_EQ(S.T.GetFirst(), nullptr);
}

TEST(TreeList, NodesOfAnotherTreeAreRefused) {
  Sample S;
  TTestTree Other;
  TBaseTreeNodeKv* X = Other.CreateNodeApart(L"X", nullptr);
  EXPECT_EQ(MessageOf([&] { S.T.AddNode(X, S.A, true, naAddChildKv); }),
            L"TBaseTreeNodeKv.Add: Tree nodes can not has different Owners");
  EXPECT_EQ(MessageOf([&] { S.A->Add(X); }), L"TBaseTreeNodeKv.Add: Tree nodes can not has different Owners");
  EXPECT_EQ(Shape(S.T.GetRoot()), L"A(A1,A2(A21)),B,C");
  delete X;
}

TEST(TreeList, LevelsStopAtMaxLevelBeforeAnythingChanges) {
  TTestTree T;
  T.FMaxLevel = 5;
  TBaseTreeNodeKv* N = nullptr;
  for (Integer I = 1; I <= 5; ++I) N = T.AddChild(L"L" + IntToStr(I), N, nullptr);
  EXPECT_EQ(N->GetLevel(), 5);
  EXPECT_EQ(MessageOf([&] { T.AddChild(L"L6", N, nullptr); }), L"TBaseTreeNodeKv.SetLevel: Max level exceed - 5");
  EXPECT_EQ(N->GetCount(), 0);

  // A subtree of two levels fits under level 3, not under level 4, and a refused move keeps it.
  TBaseTreeNodeKv* Sub = T.AddChild(L"S", nullptr, nullptr);
  TBaseTreeNodeKv* SubChild = T.AddChild(L"SC", Sub, nullptr);
  TBaseTreeNodeKv* L4 = N->GetParent();
  const String Before = Shape(T.GetRoot());
  EXPECT_EQ(MessageOf([&] { T.MoveTo(Sub, L4, true, naAddChildKv); }), L"TBaseTreeNodeKv.SetLevel: Max level exceed - 5");
  EXPECT_EQ(Shape(T.GetRoot()), Before);
  EXPECT_EQ(SubChild->GetLevel(), 2);
  T.MoveTo(Sub, L4, true, naInsertKv);  // a sibling of level 4 is at level 4, its child at 5
  EXPECT_EQ(SubChild->GetLevel(), 5);

  TTestTree Deep;
  N = nullptr;
  for (Integer I = 1; I <= 1000; ++I) N = Deep.AddChild(L"", N, nullptr);
  EXPECT_EQ(N->GetLevel(), 1000);
  EXPECT_THROW(Deep.AddChild(L"", N, nullptr), Exception);
}

TEST(TreeList, VisibleChildrenAreCountedAndNumbered) {
  Sample S;
  TBaseTreeNodeKv* Root = S.T.GetRoot();
  EXPECT_EQ(Root->GetVisibleCount(), 3);
  EXPECT_EQ(Root->GetVisibleItems()->GetCount(), 3);
  S.B->SetVisible(false);
  EXPECT_EQ(Root->GetVisibleCount(), 2);
  EXPECT_EQ(S.A->GetVisibleIndex(), 0);
  EXPECT_EQ(S.C->GetVisibleIndex(), 1);
  EXPECT_EQ(Root->GetVisibleItem(1), S.C);
  EXPECT_EQ(S.T.GetNextVisibleSibling(S.A), S.C);
  EXPECT_EQ(S.T.GetPriorVisibleSibling(S.C), S.A);
  EXPECT_EQ(S.T.GetNextVisibleSibling(S.C), nullptr);
  EXPECT_EQ(S.T.GetPriorVisibleSibling(S.A), nullptr);
  EXPECT_TRUE(Root->GetHasVisibleChildren());
  S.A->SetVisible(false);
  S.C->SetVisible(false);
  EXPECT_FALSE(Root->GetHasVisibleChildren());
  EXPECT_EQ(S.T.GetFirstVisible(), nullptr);
  S.B->SetVisible(true);
  EXPECT_EQ(S.T.GetFirstVisible(), S.B);
  // With every child visible the siblings are the plain ones.
  EXPECT_EQ(S.T.GetNextVisibleSibling(S.A1), S.A2);
}

TEST(TreeList, ExpandAndCollapseEveryNode) {
  Sample S;
  std::vector<String> Changed;
  S.T.SetOnExpandedChanged([&](TBaseTreeNodeKv* N) { Changed.push_back(N->GetText()); });
  S.T.Expand(nullptr, true);
  EXPECT_TRUE(S.A->GetExpanded());
  EXPECT_TRUE(S.A2->GetExpanded());
  EXPECT_FALSE(S.A1->GetExpanded());
  EXPECT_FALSE(S.A21->GetExpanded());
  EXPECT_FALSE(S.B->GetExpanded());
  EXPECT_FALSE(S.T.GetRoot()->GetExpanded());
  EXPECT_EQ(Changed, (std::vector<String>{L"A", L"A2"}));
  S.T.Collapse(nullptr, true);
  for (TBaseTreeNodeKv* N = S.T.GetFirst(); N; N = S.T.GetNext(N)) EXPECT_FALSE(N->GetExpanded());
  // A handler may refuse the change.
  S.T.SetOnExpandedChanging([](TBaseTreeNodeKv* N, bool& Allow) { Allow = N->GetText() != L"A2"; });
  S.T.Expand(nullptr, true);
  EXPECT_TRUE(S.A->GetExpanded());
  EXPECT_FALSE(S.A2->GetExpanded());
}

TEST(TreeList, DepthFirstWalkBothWays) {
  Sample S;
  EXPECT_EQ(Walk(S.T, false, false), L"A A1 A2 A21 B C");
  String Back;
  for (TBaseTreeNodeKv* N = S.T.GetLast(nullptr); N; N = S.T.GetPrevious(N))
    Back += (Back.empty() ? L"" : L" ") + N->GetText();
  EXPECT_EQ(Back, L"C B A21 A2 A1 A");
  EXPECT_EQ(S.T.GetLast(S.A), S.A21);
  EXPECT_EQ(S.T.GetLast(S.B), nullptr);
  EXPECT_EQ(S.T.GetPrevSibling(S.A), nullptr);
  EXPECT_EQ(S.T.GetNextSibling(S.C), nullptr);
  EXPECT_EQ(S.T.GetFirstChild(S.A), S.A1);
  EXPECT_EQ(S.T.GetLastChild(S.A), S.A2);
  EXPECT_TRUE(S.T.HasChildren(nullptr));
  EXPECT_FALSE(S.T.HasChildren(S.C));
  TObject D;
  S.A21->SetData(&D);
  EXPECT_EQ(S.T.FindNodeByData(nullptr, &D), S.A21);
  EXPECT_EQ(S.T.FindNodeByData(S.B, &D), nullptr);
}

TEST(TreeList, VisibleWalkSkipsHiddenAndCollapsedBranches) {
  Sample S;
  S.T.Expand(S.A, false);
  EXPECT_EQ(Walk(S.T, true, true), L"A A1 A2 B C");  // A2 is collapsed
  EXPECT_EQ(Walk(S.T, true, false), L"A A1 A2 A21 B C");
  S.A2->SetVisible(false);
  EXPECT_EQ(Walk(S.T, true, false), L"A A1 B C");
  S.A->SetVisible(false);
  EXPECT_EQ(Walk(S.T, true, false), L"B C");
  // From a hidden node the walk goes on after its hidden branch.
  EXPECT_EQ(S.T.GetNextVisible(S.A21, false), S.B);
  EXPECT_EQ(S.T.GetNextVisible(S.A1, true), S.B);
  S.A->SetVisible(true);
  S.A2->SetVisible(true);
  S.T.Collapse(S.A, false);
  EXPECT_EQ(S.T.GetVisibleAncestor(S.A21, true), S.A);
  EXPECT_EQ(S.T.GetNextVisible(S.A21, true), S.B);
  EXPECT_FALSE(S.T.GetPathVisible(S.A21, true));
  EXPECT_TRUE(S.T.GetPathVisible(S.A21, false));
  EXPECT_EQ(S.T.GetVisibleAncestor(S.A, true), S.T.GetRoot());
}

// From a node hidden under a collapsed or hidden branch the walk goes on after that branch: the
// grid's current row is such a node when the user collapses its group.
TEST(TreeList, NextVisibleFromAHiddenNodeLeavesItsBranch) {
  struct TCase {
    const char* Shape;
    const wchar_t* From;
    bool ConsiderCollapsed;
    const wchar_t* Expected;
  } Cases[] = {
      {"A collapsed", L"A1", true, L"B"},
      {"A collapsed", L"A21", true, L"B"},
      {"A collapsed", L"A1", false, L"A2"},
      {"A collapsed, B hidden", L"A1", true, L"C"},
      {"A2 collapsed", L"A21", true, L"B"},
      {"A2 collapsed", L"A21", false, L"B"},
      {"A1 hidden", L"A1", true, L"A2"},
      {"A2 hidden", L"A21", true, L"B"},
      {"A hidden", L"A1", false, L"B"},
      {"A hidden, A2 collapsed", L"A21", true, L"B"},
      {"expanded", L"A", true, L"A1"},
      {"A collapsed, C hidden", L"B", true, nullptr},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Shape);
    Sample S;
    S.T.Expand(nullptr, true);
    std::string Shape = C.Shape;
    auto Has = [&](const char* Part) { return Shape.find(Part) != std::string::npos; };
    if (Has("A collapsed")) S.T.Collapse(S.A, false);
    if (Has("A2 collapsed")) S.T.Collapse(S.A2, false);
    if (Has("A hidden")) S.A->SetVisible(false);
    if (Has("A1 hidden")) S.A1->SetVisible(false);
    if (Has("A2 hidden")) S.A2->SetVisible(false);
    if (Has("B hidden")) S.B->SetVisible(false);
    if (Has("C hidden")) S.C->SetVisible(false);
    TBaseTreeNodeKv* From = S.T.FindNodeByData(nullptr, nullptr);
    for (TBaseTreeNodeKv* N = S.T.GetFirst(); N; N = S.T.GetNext(N))
      if (N->GetText() == C.From) From = N;
    TBaseTreeNodeKv* Next = S.T.GetNextVisible(From, C.ConsiderCollapsed);
    EXPECT_EQ(Next ? Next->GetText() : String(L"(none)"), C.Expected ? String(C.Expected) : String(L"(none)"));
  }
}

// A node makes its child lists with its first child: a leaf keeps none.
TEST(TreeList, LeavesKeepNoChildLists) {
  Sample S;
  EXPECT_EQ(S.A1->GetCount(), 0);
  EXPECT_EQ(S.A1->GetVisibleCount(), 0);
  EXPECT_FALSE(S.A1->GetHasVisibleChildren());
  EXPECT_THROW(S.A1->GetItem(0), EListError);
  S.A2->SetVisible(false);
  EXPECT_EQ(S.A->GetVisibleCount(), 1);
  EXPECT_EQ(S.A->GetVisibleItem(0), S.A1);
}

TEST(TreeList, SortingWithEqualNodesEndsAndKeepsIndexes) {
  Sample S;
  S.T.AddChild(L"A0", S.A, nullptr);
  S.T.SortData(nullptr, true, nullptr);  // the tree's own comparison: all equal
  String After = Shape(S.T.GetRoot());
  EXPECT_EQ(After.find_first_of(L"!?"), String::npos) << After;
  EXPECT_EQ(After.size(), String(L"A(A1,A2(A21),A0),B,C").size());
}

TEST(TreeList, SortingMayRecurseAndRenumbersVisibleChildren) {
  Sample S;
  TTestTree& T = S.T;
  T.AddChild(L"A0", S.A, nullptr);
  auto ByTextDesc = [](TBaseTreeNodeKv* N1, TBaseTreeNodeKv* N2, TObject*) {
    return -CompareStr(N1->GetText(), N2->GetText());
  };
  T.SortData(nullptr, false, ByTextDesc);
  EXPECT_EQ(Shape(T.GetRoot()), L"C,B,A(A1,A2(A21),A0)");
  T.SortData(nullptr, true, ByTextDesc);
  EXPECT_EQ(Shape(T.GetRoot()), L"C,B,A(A2(A21),A1,A0)");
  S.A1->SetVisible(false);
  T.SortData(nullptr, true, [](TBaseTreeNodeKv* N1, TBaseTreeNodeKv* N2, TObject*) {
    return CompareStr(N1->GetText(), N2->GetText());
  });
  EXPECT_EQ(Shape(T.GetRoot()), L"A(A0,A1,A2(A21)),B,C");
  EXPECT_EQ(S.A->GetVisibleItem(1), S.A2);
  EXPECT_EQ(S.A2->GetVisibleIndex(), 1);
}
