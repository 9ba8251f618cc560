// The records view: a view kept incrementally through a random run of storage changes equals
// one refreshed from scratch, the identity map answers as scans do, the row events of a change,
// notificators attached to the view, aborting and disabling the filter, and the aggregates.

#include <gtest/gtest.h>

#include <random>

#include "framework/SysUtils.h"
#include "kvlib/memtable/MemTableDataKv.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

class RecordsViewFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Data = new TMemTableDataKv(nullptr);
    Data->GetDataStruct()->BuildDataFieldForDef(L"ID", ftInteger, 0, 0);
    Data->GetDataStruct()->BuildDataFieldForDef(L"NAME", ftWideString, 20, 0);
    Data->GetDataStruct()->BuildDataFieldForDef(L"AMOUNT", ftInteger, 0, 0);
  }
  void TearDown() override {
    delete Data;
  }
  TRecordsListKv* List() const { return Data->GetRecordsList(); }
  TMemoryRecordKv* Add(Integer Id, const String& Name, const Variant& Amount, Integer At = -1) {
    TMemoryRecordKv* Rec = List()->NewRecord();
    Rec->SetDataValue(0, dvvValueKv, Variant(Id));
    Rec->SetDataValue(1, dvvValueKv, Variant(Name));
    Rec->SetDataValue(2, dvvValueKv, Amount);
    if (At < 0) List()->AddRecord(Rec);
    else List()->InsertRecord(At, Rec);
    return Rec;
  }
  // The ids of the view's rows.
  static std::vector<Integer> Ids(TRecordsViewKv* V) {
    std::vector<Integer> R;
    for (Integer I = 0; I < V->Count(); ++I) R.push_back(V->Rec(I)->GetDataValue(0, dvvValueKv).AsInteger());
    return R;
  }
  static bool Even(TMemoryRecordKv* Rec, TMemRecViewKv*) {
    Variant A = Rec->GetDataValue(2, dvvValueKv);
    return !A.IsNull() && A.AsInteger() % 2 == 0;
  }
  TMemTableDataKv* Data = nullptr;
};

// The view a random run of adds, inserts, changes, moves and deletes leaves equals a fresh
// view's full refresh, and the identity map answers what scans of the lists answer.
TEST_F(RecordsViewFixture, IncrementalViewEqualsAFullRefresh) {
  for (const wchar_t* Order : {L"", L"NAME", L"AMOUNT DESC; NAME"}) {
    List()->Clear();
    TRecordsViewKv V(nullptr);
    V.SetOnFilterRecord([](TMemoryRecordKv* R, TMemRecViewKv* N) { return Even(R, N); });
    V.SetMemTableData(Data);
    V.SetSortOrder(Order);
    std::mt19937 Rnd(47);
    const wchar_t* Names[] = {L"ılık", L"Irmak", L"inci", L"İnci", L"âşık", L"a-b", L"ab", L"Zeki"};
    Integer NextId = 1;
    for (Integer Step = 0; Step < 3000; ++Step) {
      Integer N = List()->GetCount();
      Integer What = N < 10 ? 0 : Integer(Rnd() % 10);
      Variant Amount = Rnd() % 7 == 0 ? Variant(Null) : Variant(Integer(Rnd() % 50));
      String Name = Names[Rnd() % std::size(Names)];
      if (What <= 2) {
        Add(NextId++, Name, Amount, What == 0 || N == 0 ? -1 : Integer(Rnd() % N));
      } else if (What <= 5) {
        Integer At = Integer(Rnd() % N);
        if (Rnd() % 2) List()->SetValue(At, 2, Amount);
        else List()->SetValue(At, 1, Variant(Name));
      } else if (What <= 7) {
        List()->Move(Integer(Rnd() % N), Integer(Rnd() % N));
      } else {
        List()->DeleteRecord(Integer(Rnd() % N));
      }
      if (Step % 500 == 499 || Step == 2999) {
        TRecordsViewKv Fresh(nullptr);
        Fresh.SetOnFilterRecord([](TMemoryRecordKv* R, TMemRecViewKv* N) { return Even(R, N); });
        Fresh.SetMemTableData(Data);
        Fresh.SetSortOrder(Order);
        ASSERT_EQ(Ids(&V), Ids(&Fresh)) << "order '" << Order << "' step " << Step;
        ASSERT_EQ(V.SortedListItemCount(), List()->GetCount());
        for (Integer I = 0; I < List()->GetCount(); ++I) {
          TMemoryRecordKv* R = List()->GetRec(I);
          Integer Scan = -1;
          for (Integer Row = 0; Row < V.Count(); ++Row)
            if (V.Rec(Row) == R) Scan = Row;
          ASSERT_EQ(V.IndexOfRec(R), Scan) << I;
          Integer SortedScan = -1;
          for (Integer S = 0; S < V.SortedListItemCount(); ++S)
            if (V.SortedListItem(S)->GetRec() == R) SortedScan = S;
          ASSERT_EQ(V.IndexOfSortedListRec(R), SortedScan) << I;
        }
      }
    }
  }
}

// The chunked node list against a plain vector: inserts that split chunks, deletes that empty
// them, and every node's position.
TEST(MemTableNodeList, PositionsFollowInsertsAndDeletes) {
  TRecordsViewKv V(nullptr);
  std::vector<std::unique_ptr<TMemRecViewKv>> Owned;
  for (Integer I = 0; I < 3000; ++I) Owned.push_back(std::make_unique<TMemRecViewKv>(&V, nullptr));
  TMTNodeListKv L(0);
  std::vector<TMemRecViewKv*> Model;
  std::mt19937 Rnd(7);
  auto Check = [&] {
    ASSERT_EQ(L.Count(), Integer(Model.size()));
    for (size_t I = 0; I < Model.size(); ++I) {
      ASSERT_EQ(L.Get(Integer(I)), Model[I]) << I;
      ASSERT_EQ(L.IndexOf(Model[I]), Integer(I)) << I;
    }
  };
  for (auto& N : Owned) {
    Integer At = Model.empty() ? 0 : Integer(Rnd() % (Model.size() + 1));
    L.Insert(At, N.get());
    Model.insert(Model.begin() + At, N.get());
  }
  Check();
  L.Assign(Model);
  Check();
  while (!Model.empty()) {
    // Deletes from one stretch first, so whole chunks empty.
    Integer At = Model.size() > 1000 ? Integer(Model.size() / 2) : Integer(Rnd() % Model.size());
    EXPECT_EQ(L.Delete(At), Model[size_t(At)]);
    EXPECT_FALSE(L.Contains(Model[size_t(At)]));
    Model.erase(Model.begin() + At);
    if (Model.size() % 250 == 0) Check();
  }
  EXPECT_EQ(L.Get(0), nullptr);
  EXPECT_THROW(L.Delete(0), Exception);
}

// The sort by keys made once per record orders as the comparison does (under a Turkish user the
// Turkish alphabet: ı before i, I the capital of ı and İ that of i), with and without case.
TEST_F(RecordsViewFixture, KeyedSortEqualsTheComparisonSort) {
  const wchar_t* Names[] = {L"inci", L"Irmak", L"ılık", L"İnci", L"âşık", L"a-b", L"ab", L"Zeki", L"abc",
                            L"ab",   L"IRMAK", L"İNCİ", L"ilik", L"Ab",   L"aşık", L"-ab", L"",    L"i"};
  Integer Id = 0;
  for (const wchar_t* N : Names) Add(++Id, N, Variant(Id % 3));
  Add(++Id, L"x", Null);
  for (const wchar_t* Order : {L"NAME", L"NAME DESC", L"AMOUNT; NAME", L"AMOUNT DESC, NAME DESC"})
    for (bool CaseIns : {false, true}) {
      TRecordsViewKv Keyed(nullptr), Compared(nullptr);
      Compared.SetOnGetSortKey([](TMemoryRecordKv*, TOrderByList*, std::string&) { return false; });
      for (TRecordsViewKv* V : {&Keyed, &Compared}) {
        V->SetMemTableData(Data);
        V->SetSortOrderCaseInsensitive(CaseIns);
        V->SetSortOrder(Order);
      }
      EXPECT_EQ(Ids(&Keyed), Ids(&Compared)) << Order << " " << CaseIns;
    }
  if (SysLocale.PriLangID == 0x1F) {
    TRecordsViewKv V(nullptr);
    V.SetMemTableData(Data);
    V.SetSortOrder(L"NAME");
    auto Row = [&](Integer Id) { return V.IndexOfRec(List()->GetRec(Id - 1)); };
    EXPECT_LT(Row(3), Row(1));   // ılık before inci
    EXPECT_LT(Row(2), Row(1));   // Irmak before inci
    EXPECT_LT(Row(1), Row(4));   // inci before İnci
    EXPECT_LT(Row(13), Row(1));  // ilik before inci
  }
}

TEST_F(RecordsViewFixture, RowEventsOfChanges) {
  Add(1, L"a", Variant(2));
  Add(2, L"b", Variant(4));
  Add(3, L"c", Variant(6));
  TRecordsViewKv V(nullptr);
  V.SetOnFilterRecord([](TMemoryRecordKv* R, TMemRecViewKv* N) { return Even(R, N); });
  V.SetMemTableData(Data);
  V.SetSortOrder(L"NAME");
  std::vector<String> Log;
  static const wchar_t* Names[] = {L"Adding", L"Added", L"Changing", L"Changed", L"Deleting",
                                   L"Deleted", L"ListChanging", L"ListChanged", L"MarkingForDel", L"MarkedForDel"};
  V.SetOnViewDataEvent([&](TMemoryRecordKv*, Integer Index, TRecordsListNotification A) {
    Log.push_back(String(Names[A]) + L" " + IntToStr(Index));
  });
  V.SetOnViewRecordMovedEvent([&](TMemoryRecordKv*, Integer Old, Integer New) {
    Log.push_back(L"Moved " + IntToStr(Old) + L" " + IntToStr(New));
  });
  // A listener of the view hears the same rows.
  std::vector<String> Heard;
  TRecordsListNotificatorKv Listener(nullptr);
  Listener.SetOnDataEvent([&](TMemoryRecordKv*, Integer Index, TRecordsListNotification A) {
    if (A != rlnListChangingKv && A != rlnListChangedKv) Heard.push_back(String(Names[A]) + L" " + IntToStr(Index));
  });
  Listener.SetDataObject(&V);
  List()->SetValue(0, 1, Variant(L"z"));  // sorts last: moved, then changed at the new row
  List()->SetValue(1, 2, Variant(5));     // leaves the filter
  List()->SetValue(1, 2, Variant(8));     // comes back
  Add(4, L"0", Variant(10));
  List()->DeleteRecord(2);
  const std::vector<String> Expected = {L"Moved 0 2", L"Changed 2", L"Deleted 0", L"Added 0", L"Added 0", L"Deleted 2"};
  EXPECT_EQ(Log, Expected);
  EXPECT_EQ(Heard, std::vector<String>({L"Changed 2", L"Deleted 0", L"Added 0", L"Added 0", L"Deleted 2"}));
  EXPECT_EQ(Ids(&V), std::vector<Integer>({4, 2, 1}));
  EXPECT_EQ(V.IndexOfRec(List()->GetRec(0)), 2);
  Listener.SetDataObject(nullptr);
  List()->SetValue(0, 2, Variant(7));
  EXPECT_EQ(Heard.size(), 5u);
}

TEST_F(RecordsViewFixture, StorageOrderAbortDisableAndStatusFilter) {
  for (Integer I = 1; I <= 4; ++I) Add(I, L"n", Variant(I * 2));
  TRecordsViewKv V(nullptr);
  V.SetMemTableData(Data);
  // Without a sort order a record inserted at storage position 2 sits between positions 1 and 3.
  Add(9, L"m", Variant(0), 2);
  EXPECT_EQ(Ids(&V), std::vector<Integer>({1, 2, 9, 3, 4}));
  List()->Move(0, 4);
  EXPECT_EQ(Ids(&V), std::vector<Integer>({2, 9, 3, 4, 1}));
  // A filter aborted from its own event leaves the view empty.
  V.SetOnFilterRecord([&](TMemoryRecordKv*, TMemRecViewKv*) {
    V.SetFilterAborted(true);
    return true;
  });
  V.RefreshFilteredRecsList(true);
  EXPECT_EQ(V.Count(), 0);
  V.SetOnFilterRecord(nullptr);
  V.RefreshFilteredRecsList(true);
  EXPECT_EQ(V.Count(), 5);
  // Disabled, the view does not follow the storage until it is refreshed.
  V.InstantDisableFilter();
  Add(10, L"x", Variant(1));
  EXPECT_EQ(V.Count(), 5);
  V.InstantEnableFilter();
  V.RefreshFilteredRecsList(true);
  EXPECT_EQ(V.Count(), 6);
  // A record marked deleted under cached updates leaves the view; the status filter shows it.
  List()->SetCachedUpdates(true);
  List()->DeleteRecord(0);
  EXPECT_EQ(V.Count(), 5);
  V.SetStatusFilter({usUnmodified, usModified, usInserted, usDeleted});
  EXPECT_EQ(V.Count(), 6);
  EXPECT_EQ(V.IndexOfRec(nullptr), -1);
}

TEST_F(RecordsViewFixture, AggregatesFollowTheDatasetsAggregateFields) {
  TArrayDataSet DS(nullptr);
  DS.GetFieldDefs()->Add(L"ID", ftInteger);
  DS.GetFieldDefs()->Add(L"NAME", ftWideString, 20);
  DS.GetFieldDefs()->Add(L"AMOUNT", ftInteger);
  for (TFieldDef* D : DS.GetFieldDefList()) D->CreateField(&DS);
  auto* Sum = new TAggregateField(&DS);
  Sum->SetFieldName(L"TOTAL");
  Sum->SetExpression(L"SUM(AMOUNT)");
  Sum->SetActive(true);
  Sum->SetDataSet(&DS);
  auto* Off = new TAggregateField(&DS);
  Off->SetFieldName(L"OFF");
  Off->SetExpression(L"COUNT(*)");
  Off->SetDataSet(&DS);
  DS.Open();
  Add(1, L"a", Variant(10));
  Add(2, L"b", Variant(20));
  {
    TRecordsViewKv V(&DS);
    V.SetMemTableData(Data);
    TMTAggregatesKv* A = V.GetAggregates();
    A->Reset();
    ASSERT_EQ(A->GetCount(), 2);
    EXPECT_TRUE(A->GetItem(0)->GetValue().IsNull());  // the collection is not active yet
    A->SetActive(true);
    EXPECT_EQ(A->GetItem(0)->GetDataType(), ftFloat);
    EXPECT_EQ(Sum->GetResultType(), ftFloat);
    EXPECT_EQ(Sum->GetHandle(), A->GetItem(0));
    EXPECT_EQ(VarToStr(A->GetItem(0)->GetValue()), L"30");
    EXPECT_TRUE(A->GetItem(1)->GetValue().IsNull());  // inactive item
    Add(3, L"c", Variant(5));
    EXPECT_EQ(VarToStr(A->GetItem(0)->GetValue()), L"35");
    // An expression that does not compile keeps the previous one.
    EXPECT_THROW(A->GetItem(0)->SetExpression(L"SUM(NOSUCH)"), Exception);
    EXPECT_EQ(A->GetItem(0)->GetExpression(), L"SUM(AMOUNT)");
    A->GetItem(1)->SetActive(true);
    EXPECT_EQ(VarToStr(A->GetItem(1)->GetValue()), L"3");
  }
  // The view's aggregates are gone with it; the fields point nowhere.
  EXPECT_EQ(Sum->GetHandle(), nullptr);
}

}  // namespace
