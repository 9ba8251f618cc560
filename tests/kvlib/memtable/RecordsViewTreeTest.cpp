// The records view in tree mode: a tree kept incrementally through a random run of storage
// changes equals one built from scratch, its rows equal a walk of its nodes, the identity map
// answers as scans do; reference loops are refused before the storage changes; the children of a
// deleted parent find their parent anew by key; visibility, collapsing and the storage order.

#include <gtest/gtest.h>

#include <random>

#include "framework/SysUtils.h"
#include "kvlib/memtable/MemTableDataKv.h"

namespace {

class RecordsViewTreeFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Data = new TMemTableDataKv(nullptr);
    Data->GetDataStruct()->BuildDataFieldForDef(L"ID", ftInteger, 0, 0);
    Data->GetDataStruct()->BuildDataFieldForDef(L"PARENT", ftInteger, 0, 0);
    Data->GetDataStruct()->BuildDataFieldForDef(L"NAME", ftWideString, 20, 0);
    Data->GetDataStruct()->BuildDataFieldForDef(L"AMOUNT", ftInteger, 0, 0);
  }
  void TearDown() override { delete Data; }
  TRecordsListKv* List() const { return Data->GetRecordsList(); }
  TMemoryRecordKv* Add(Integer Id, const Variant& Parent, Integer Amount = 0, const String& Name = L"a", Integer At = -1) {
    TMemoryRecordKv* Rec = List()->NewRecord();
    Rec->SetDataValue(0, dvvValueKv, Variant(Id));
    Rec->SetDataValue(1, dvvValueKv, Parent);
    Rec->SetDataValue(2, dvvValueKv, Variant(Name));
    Rec->SetDataValue(3, dvvValueKv, Variant(Amount));
    try {
      if (At < 0) List()->AddRecord(Rec);
      else List()->InsertRecord(At, Rec);
    } catch (...) {
      delete Rec;  // refused: still the caller's
      throw;
    }
    return Rec;
  }
  Integer Find(Integer Id) const {
    for (Integer I = 0; I < List()->GetCount(); ++I)
      if (List()->GetRec(I)->GetDataValue(0, dvvValueKv).AsInteger() == Id) return I;
    return -1;
  }
  static Integer IdOf(TMemoryRecordKv* Rec) { return Rec->GetDataValue(0, dvvValueKv).AsInteger(); }
  static void Setup(TRecordsViewKv& V, TMemTableDataKv* D, bool FullBuildCheck = true, bool Expanded = true) {
    V.GetMemoryTreeList()->SetFullBuildCheck(FullBuildCheck);
    V.GetMemoryTreeList()->SetDefaultNodeExpanded(Expanded);
    V.SetTreeViewKeyFieldName(L"ID");
    V.SetTreeViewRefParentFieldName(L"PARENT");
    V.SetMemTableData(D);
    V.SetViewAsTreeList(true);
  }
  // The tree depth-first as "id/level", a "-" marking a hidden node.
  static std::vector<String> Shape(TRecordsViewKv& V) {
    std::vector<String> R;
    for (Integer I = 0; I < V.SortedListItemCount(); ++I) {
      TMemRecViewKv* N = V.SortedListItem(I);
      R.push_back(IntToStr(IdOf(N->GetRec())) + L"/" + IntToStr(N->GetNodeLevel()) + (N->GetNodeVisible() ? L"" : L"-"));
    }
    return R;
  }
  static String Rows(TRecordsViewKv& V) {
    String R;
    for (Integer I = 0; I < V.Count(); ++I) R += (I ? L" " : L"") + IntToStr(IdOf(V.Rec(I)));
    return R;
  }
  // The rows and the flat list as a walk of the nodes gives them.
  static void Walk(TMemRecViewKv* Node, bool Shown, std::vector<TMemRecViewKv*>& Flat, std::vector<TMemRecViewKv*>& Rows) {
    for (Integer I = 0; I < Node->GetNodesCount(); ++I) {
      TMemRecViewKv* C = Node->GetNodeItems(I);
      EXPECT_EQ(C->GetNodeParent(), Node);
      EXPECT_EQ(C->GetNodeIndex(), I);
      Flat.push_back(C);
      bool S = Shown && C->GetNodeVisible();
      if (S) Rows.push_back(C);
      Walk(C, S && C->GetNodeExpanded(), Flat, Rows);
    }
  }
  static void CheckListsAgainstWalk(TRecordsViewKv& V) {
    std::vector<TMemRecViewKv*> Flat, RowNodes;
    Walk(V.GetMemoryTreeList()->GetRoot(), true, Flat, RowNodes);
    ASSERT_EQ(V.SortedListItemCount(), Integer(Flat.size()));
    for (size_t I = 0; I < Flat.size(); ++I) ASSERT_EQ(V.SortedListItem(Integer(I)), Flat[I]) << I;
    ASSERT_EQ(V.Count(), Integer(RowNodes.size()));
    for (size_t I = 0; I < RowNodes.size(); ++I) ASSERT_EQ(V.RecordView(Integer(I)), RowNodes[I]) << I;
  }
  static bool Even(TMemoryRecordKv* Rec, TMemRecViewKv*) { return Rec->GetDataValue(3, dvvValueKv).AsInteger() % 2 == 0; }
  TMemTableDataKv* Data = nullptr;
};

// A random run of adds, inserts, changes of parents and values, moves, deletes and loops refused
// leaves the tree a fresh view builds; its rows and flat list are those a walk of its nodes
// gives, also with nodes collapsed on the way; the identity map answers as scans do.
TEST_F(RecordsViewTreeFixture, IncrementalTreeEqualsAFullRefresh) {
  struct TCase {
    const wchar_t* Order;
    bool KeyIndex, ParentIndex;
  } Cases[] = {{L"", false, false}, {L"NAME", true, true}, {L"AMOUNT DESC; NAME", false, true}, {L"", true, false}};
  for (const TCase& C : Cases) {
    List()->Clear();
    List()->GetIndexes()->Clear();
    for (auto [Use, Field] : {std::pair{C.KeyIndex, L"ID"}, std::pair{C.ParentIndex, L"PARENT"}})
      if (Use) {
        TMTIndexKv* Ix = List()->GetIndexes()->Add();
        Ix->SetFields(Field);
        Ix->SetActive(true);
      }
    TRecordsViewKv V(nullptr);
    V.SetOnFilterRecord([](TMemoryRecordKv* R, TMemRecViewKv* N) { return Even(R, N); });
    Setup(V, Data);
    V.SetSortOrder(C.Order);
    std::mt19937 Rnd(122);
    const wchar_t* Names[] = {L"ılık", L"Irmak", L"inci", L"İnci", L"a-b", L"Zeki"};
    Integer NextId = 1, Refused = 0, Collapsed = 0;
    // Mostly a record there is, so the trees grow deep; now and then one gone or still to come.
    auto AnyId = [&] {
      Integer N = List()->GetCount();
      if (N > 0 && Rnd() % 4 != 0) return Variant(IdOf(List()->GetRec(Integer(Rnd() % N))));
      return Variant(Integer(Rnd() % (NextId + 3)));
    };
    for (Integer Step = 0; Step < 3000; ++Step) {
      Integer N = List()->GetCount();
      Integer What = N < 10 ? 0 : Integer(Rnd() % 12);
      Variant Parent = Rnd() % 8 == 0 ? Variant(Null) : AnyId();
      Integer Amount = Integer(Rnd() % 10);
      String Name = Names[Rnd() % std::size(Names)];
      try {
        if (What <= 2) {
          Add(NextId, Parent, Amount, Name, What == 0 || N == 0 ? -1 : Integer(Rnd() % N));
          ++NextId;
        } else if (What <= 5) {
          Integer At = Integer(Rnd() % N);
          Variant Before = List()->GetRec(At)->GetDataValue(1, dvvValueKv);
          try {
            if (What == 3) List()->SetValue(At, 1, Parent);
            else if (What == 4) List()->SetValue(At, 3, Variant(Amount));
            else List()->SetValue(At, 2, Variant(Name));
          } catch (const Exception& E) {
            ASSERT_EQ(E.Message(), String(L"Reference-loop found"));
            // Refused before the change: the storage keeps its value.
            ASSERT_TRUE(DBVarValuesEqual(List()->GetRec(At)->GetDataValue(1, dvvValueKv), Before));
            ++Refused;
          }
        } else if (What <= 7) {
          List()->Move(Integer(Rnd() % N), Integer(Rnd() % N));
        } else if (What <= 9) {
          List()->DeleteRecord(Integer(Rnd() % N));
        } else {
          TMemRecViewKv* Node = V.SortedListItem(Integer(Rnd() % V.SortedListItemCount()));
          V.GetMemoryTreeList()->SetExpanded(Node, !Node->GetNodeExpanded());
          ++Collapsed;
        }
      } catch (const Exception& E) {
        // An add that would adopt one of its own ancestors-to-be.
        ASSERT_EQ(E.Message(), String(L"Reference-loop found"));
        ASSERT_EQ(List()->GetCount(), N);
        ++NextId;
        ++Refused;
      }
      if (Step % 150 == 149) CheckListsAgainstWalk(V);
      if (Step % 500 == 499 || Step == 2999) {
        TRecordsViewKv Fresh(nullptr);
        Fresh.SetOnFilterRecord([](TMemoryRecordKv* R, TMemRecViewKv* N) { return Even(R, N); });
        Setup(Fresh, Data);
        Fresh.SetSortOrder(C.Order);
        ASSERT_EQ(Shape(V), Shape(Fresh)) << "order '" << C.Order << "' step " << Step;
        ASSERT_EQ(V.SortedListItemCount(), List()->GetCount());
        CheckListsAgainstWalk(V);
        ASSERT_EQ(V.AccountableItemsCount(), Fresh.AccountableItemsCount());
        for (Integer I = 0; I < List()->GetCount(); ++I) {
          TMemoryRecordKv* R = List()->GetRec(I);
          Integer Scan = -1, SortedScan = -1;
          for (Integer Row = 0; Row < V.Count(); ++Row)
            if (V.Rec(Row) == R) Scan = Row;
          for (Integer S = 0; S < V.SortedListItemCount(); ++S)
            if (V.SortedListItem(S)->GetRec() == R) SortedScan = S;
          ASSERT_EQ(V.IndexOfRec(R), Scan) << I;
          ASSERT_EQ(V.IndexOfSortedListRec(R), SortedScan) << I;
        }
      }
    }
    EXPECT_GT(Refused, 0) << C.Order;
    Integer Deepest = 0;
    for (Integer I = 0; I < V.SortedListItemCount(); ++I) Deepest = std::max(Deepest, V.SortedListItem(I)->GetNodeLevel());
    EXPECT_GT(Deepest, 4) << C.Order;
    EXPECT_GT(Collapsed, 0);
  }
}

// A reference that would make a record its own ancestor is refused before the storage changes,
// and the tree stays as it was; a record naming itself is a top-level record.
TEST_F(RecordsViewTreeFixture, ReferenceLoopIsRefusedBeforeTheChange) {
  for (bool KeyIndex : {false, true}) {
    List()->Clear();
    List()->GetIndexes()->Clear();
    if (KeyIndex) {
      TMTIndexKv* Ix = List()->GetIndexes()->Add();
      Ix->SetFields(L"ID");
      Ix->SetActive(true);
    }
    TRecordsViewKv V(nullptr);
    Setup(V, Data);
    Add(1, Null);
    Add(2, 1);
    Add(3, 2);
    Add(4, 9);  // its parent is still to come
    std::vector<String> Before = Shape(V);
    ASSERT_EQ(Before, (std::vector<String>{L"1/1", L"2/2", L"3/3", L"4/1"}));
    struct {
      Integer Id;
      Variant NewParent;
    } Loops[] = {{1, 3}, {1, 2}, {2, 3}};
    for (auto& L : Loops) {
      Integer At = Find(L.Id);
      Variant Old = List()->GetRec(At)->GetDataValue(1, dvvValueKv);
      try {
        List()->SetValue(At, 1, L.NewParent);
        ADD_FAILURE() << "no refusal for " << L.Id;
      } catch (const Exception& E) {
        EXPECT_EQ(E.Message(), String(L"Reference-loop found"));
      }
      EXPECT_TRUE(DBVarValuesEqual(List()->GetRec(At)->GetDataValue(1, dvvValueKv), Old)) << L.Id;
      EXPECT_EQ(Shape(V), Before) << L.Id;
    }
    // Record 9 under 3 would adopt 4 ... no loop; but 9 under 4 would make 4 its own ancestor.
    Integer Count = List()->GetCount();
    EXPECT_THROW(Add(9, 4), Exception);
    EXPECT_EQ(List()->GetCount(), Count);
    EXPECT_EQ(Shape(V), Before);
    // Naming itself is no loop: a top-level record.
    List()->SetValue(Find(3), 1, Variant(3));
    EXPECT_EQ(Shape(V), (std::vector<String>{L"1/1", L"2/2", L"3/1", L"4/1"}));
    Add(9, 3);
    EXPECT_EQ(Shape(V), (std::vector<String>{L"1/1", L"2/2", L"3/1", L"9/2", L"4/3"}));
  }
}

// A deleted parent's children are placed anew by key: under another record of the same key, or
// at the top level; their own children stay with them, and the rows follow.
TEST_F(RecordsViewTreeFixture, DeletedParentsChildrenReattachByKey) {
  struct TCase {
    const char* What;
    bool SecondTwo;  // another record with key 2
    std::vector<String> Shape;
    const wchar_t* Rows;
  } Cases[] = {
      {"to the top", false, {L"1/1", L"3/1", L"5/2", L"4/1"}, L"1 3 5 4"},
      {"to the other parent", true, {L"1/1", L"7/2", L"3/3", L"5/4", L"4/3"}, L"1 7 3 5 4"},
  };
  for (const TCase& C : Cases) {
    List()->Clear();
    TRecordsViewKv V(nullptr);
    Setup(V, Data);
    Add(1, Null);
    Add(2, 1);
    Add(3, 2);
    Add(4, 2);
    Add(5, 3);
    if (C.SecondTwo) {
      Add(7, 1);
      List()->SetValue(Find(7), 0, Variant(2));
    }
    List()->DeleteRecord(Find(2));
    std::vector<String> Expected = C.Shape;
    if (C.SecondTwo) Expected[1] = L"2/2";
    EXPECT_EQ(Shape(V), Expected) << C.What;
    String Rows = C.Rows;
    if (C.SecondTwo) Rows = L"1 2 3 5 4";
    EXPECT_EQ(this->Rows(V), Rows) << C.What;
    CheckListsAgainstWalk(V);
  }
}

// Visibility and the three lists: a filter only a child passes shows its ancestors and not its
// siblings; with whole subtrees shown, a parent that passes shows its children; collapsing hides
// rows but not accountable records; without an order siblings keep the storage order, also after
// an insert in the middle; a child that came before its parent moves under it only with the
// full build check.
TEST_F(RecordsViewTreeFixture, VisibilityCollapsingAndStorageOrder) {
  auto Load = [&] {
    List()->Clear();
    Add(1, Null, 1);
    Add(2, 1, 1);
    Add(3, 2, 2);
    Add(4, 2, 1);
    Add(5, 1, 1);
  };
  {
    Load();
    TRecordsViewKv V(nullptr);
    V.SetOnFilterRecord([](TMemoryRecordKv* R, TMemRecViewKv* N) { return Even(R, N); });
    Setup(V, Data);
    EXPECT_EQ(Shape(V), (std::vector<String>{L"1/1", L"2/2", L"3/3", L"4/3-", L"5/2-"}));
    EXPECT_EQ(Rows(V), L"1 2 3");
    List()->SetValue(Find(3), 3, Variant(1));
    EXPECT_EQ(Rows(V), L"");
    List()->SetValue(Find(4), 3, Variant(0));
    EXPECT_EQ(Rows(V), L"1 2 4");
    V.GetMemoryTreeList()->Collapse(V.SortedListItem(1), false);
    EXPECT_EQ(Rows(V), L"1 2");
    EXPECT_EQ(V.AccountableItemsCount(), 3);
    V.GetMemoryTreeList()->Expand(nullptr, true);
    EXPECT_EQ(Rows(V), L"1 2 4");
  }
  {
    Load();
    List()->SetValue(Find(1), 3, Variant(2));
    TRecordsViewKv V(nullptr);
    V.SetOnFilterRecord([](TMemoryRecordKv* R, TMemRecViewKv* N) { return Even(R, N); });
    V.GetMemoryTreeList()->SetFilterNodeIfParentVisible(false);
    Setup(V, Data);
    // 3 passes and shows its path; 1 passes too but has a visible child, so its other
    // children stay hidden.
    EXPECT_EQ(Rows(V), L"1 2 3");
    List()->SetValue(Find(3), 3, Variant(1));
    V.RefreshFilteredRecsList(true);
    EXPECT_EQ(Rows(V), L"1 2 3 4 5");
  }
  {
    Load();
    TRecordsViewKv V(nullptr);
    Setup(V, Data, true, false);
    EXPECT_EQ(Rows(V), L"1");
    V.GetMemoryTreeList()->Expand(nullptr, true);
    Add(6, 2, 0, L"a", Find(3));  // in the storage before 3
    EXPECT_EQ(Rows(V), L"1 2 6 3 4 5");
    List()->Move(Find(4), 0);
    EXPECT_EQ(Rows(V), L"1 2 4 6 3 5");
  }
  for (bool Check : {false, true}) {
    List()->Clear();
    TRecordsViewKv V(nullptr);
    Setup(V, Data, Check);
    Add(2, 1);
    Add(3, 1);
    Add(1, Null);
    EXPECT_EQ(Rows(V), Check ? L"1 2 3" : L"2 3 1") << Check;
    EXPECT_EQ(V.GetMemoryTreeList()->GetRoot()->GetNodesCount(), Check ? 1 : 3);
  }
}

}  // namespace
