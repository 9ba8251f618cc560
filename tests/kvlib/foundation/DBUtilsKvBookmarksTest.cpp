// The bookmark list, the reporting data link, the field value list, the field-list routines
// and the order-by list, over the framework's array dataset.

#include <gtest/gtest.h>

#include "framework/DB.h"
#include "framework/SysUtils.h"
#include "kvlib/foundation/DBUtilsKv.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

// An open dataset of records ID 1..Count, NAME "N<id>".
class Records {
 public:
  explicit Records(Integer Count) : DS(new TArrayDataSet(nullptr)) {
    DS->SetName(L"Data");
    DS->GetFieldDefs()->Add(L"ID", ftInteger);
    DS->GetFieldDefs()->Add(L"NAME", ftWideString, 20);
    DS->Open();
    for (Integer I = 1; I <= Count; ++I) DS->AppendRecord({I, String(L"N") + IntToStr(I)});
    DS->First();
  }
  ~Records() { delete DS; }
  void Go(Integer Id) { ASSERT_TRUE(DS->Locate(L"ID", Id, {})); }
  TBookmark Bm(Integer Id) {
    Go(Id);
    return DS->GetBookmark();
  }
  Integer CurrentId() { return DS->FieldByName(L"ID")->GetAsInteger(); }
  TArrayDataSet* DS;
};

class TTestBMList : public TBMListKv {
 public:
  explicit TTestBMList(TDataSet* ADataSet) : FDataSet(ADataSet) { SetLinkActive(true); }
  ~TTestBMList() override { Clear(); }
  Integer ChangedCount = 0;
  Integer InvalidateCount = 0;

 protected:
  TDataSet* GetDataSet() override { return FDataSet; }
  void Changed() override {
    TBMListKv::Changed();
    ++ChangedCount;
  }
  void Invalidate() override { ++InvalidateCount; }

 private:
  TDataSet* FDataSet;
};

// The IDs the list holds, in its order.
std::vector<Integer> ListedIds(TBMListKv& List, Records& R) {
  std::vector<Integer> Ids;
  for (Integer I = 0; I < List.GetCount(); ++I) {
    R.DS->GotoBookmark(List.GetItem(I));
    Ids.push_back(R.CurrentId());
  }
  return Ids;
}

String MessageOf(const std::function<void()>& Call) {
  try {
    Call();
  } catch (const Exception& E) {
    return E.Message();
  }
  return L"(no exception)";
}

}  // namespace

TEST(BookmarkList, FindAnswersThePlaceOfAMissingBookmark) {
  Records R(10);
  TTestBMList List(R.DS);
  Integer Index = -1;
  EXPECT_FALSE(List.Find(R.Bm(5), Index));
  EXPECT_EQ(Index, 0);
  for (Integer Id : {2, 4, 6}) List.AppendBookmark(R.Bm(Id));
  const struct {
    Integer Id;
    bool Found;
    Integer Index;
  } Cases[] = {{1, false, 0}, {2, true, 0}, {3, false, 1}, {4, true, 1}, {5, false, 2}, {6, true, 2}, {9, false, 3}};
  for (const auto& C : Cases) {
    EXPECT_EQ(List.Find(R.Bm(C.Id), Index), C.Found) << C.Id;
    EXPECT_EQ(Index, C.Index) << C.Id;
  }
}

namespace {

class TCountingDataSet : public TArrayDataSet {
 public:
  TCountingDataSet() : TArrayDataSet(nullptr) {}
  Integer CompareBookmarks(const TBookmark& B1, const TBookmark& B2) override {
    ++Comparisons;
    return TArrayDataSet::CompareBookmarks(B1, B2);
  }
  Integer Comparisons = 0;
};

}  // namespace

TEST(BookmarkList, FindBisects) {
  TCountingDataSet DS;
  DS.GetFieldDefs()->Add(L"ID", ftInteger);
  DS.Open();
  for (Integer I = 0; I < 1000; ++I) DS.AppendRecord({I});
  TTestBMList List(&DS);
  std::vector<TBookmark> Marks;
  for (DS.First(); !DS.Eof(); DS.Next()) Marks.push_back(DS.GetBookmark());
  List.BeginUpdate();
  for (const TBookmark& B : Marks) List.AppendItem(B);
  List.EndUpdate();
  for (Integer I : {0, 1, 499, 500, 998, 999}) {
    DS.Comparisons = 0;
    Integer Index = -1;
    EXPECT_TRUE(List.Find(Marks[size_t(I)], Index));
    EXPECT_EQ(Index, I);
    EXPECT_LE(DS.Comparisons, 13) << I;  // two bounds and log2(1000) steps
    DS.Comparisons = 0;
    List.Find(Marks[size_t(I)], Index);  // the same search again: one comparison with the cache
    EXPECT_EQ(DS.Comparisons, 1);
  }
}

TEST(BookmarkList, SelectingKeepsDatasetOrderAndOneEntryPerRecord) {
  Records R(10);
  TTestBMList List(R.DS);
  for (Integer Id : {8, 2, 5, 2, 8}) {
    R.Go(Id);
    List.SetCurrentRowSelected(true);
  }
  EXPECT_EQ(ListedIds(List, R), (std::vector<Integer>{2, 5, 8}));
  R.Go(3);
  EXPECT_FALSE(List.GetCurrentRowSelected());
  List.SetCurrentRowSelected(false);  // not selected: nothing to do
  EXPECT_EQ(List.GetCount(), 3);
  R.Go(5);
  EXPECT_TRUE(List.GetCurrentRowSelected());
  List.SetCurrentRowSelected(false);
  EXPECT_EQ(ListedIds(List, R), (std::vector<Integer>{2, 8}));
}

TEST(BookmarkList, InsideAnUpdateBracketSearchesSeeEveryChange) {
  Records R(10);
  TTestBMList List(R.DS);
  List.ChangedCount = 0;
  List.BeginUpdate();
  R.Go(4);
  List.SetCurrentRowSelected(true);
  List.SetCurrentRowSelected(false);  // must find the entry just added
  EXPECT_FALSE(List.GetCurrentRowSelected());
  List.AppendBookmark(R.Bm(7));
  List.AppendBookmark(R.Bm(7));
  List.AppendBookmark(R.Bm(3));
  EXPECT_EQ(List.IndexOf(R.Bm(7)), 1);
  EXPECT_EQ(List.ChangedCount, 0);
  List.EndUpdate();
  EXPECT_EQ(List.ChangedCount, 1);
  EXPECT_EQ(ListedIds(List, R), (std::vector<Integer>{3, 7}));
}

TEST(BookmarkList, IndexesOutsideTheListRaiseWithTheIndex) {
  Records R(5);
  TTestBMList List(R.DS);
  List.AppendBookmark(R.Bm(1));
  List.InsertBookmarkAt(List.GetCount(), R.Bm(3));  // at Count: appends
  EXPECT_EQ(ListedIds(List, R), (std::vector<Integer>{1, 3}));
  EXPECT_EQ(MessageOf([&] { List.InsertBookmarkAt(3, R.Bm(2)); }), L"List index out of bounds (3)");
  EXPECT_EQ(MessageOf([&] { List.InsertBookmarkAt(-1, R.Bm(2)); }), L"List index out of bounds (-1)");
  EXPECT_EQ(MessageOf([&] { List.DeleteItem(2); }), L"List index out of bounds (2)");
  EXPECT_THROW(List.InsertBookmarkAt(5, R.Bm(2)), EListError);
  EXPECT_EQ(List.GetCount(), 2);
}

TEST(BookmarkList, ClosedLinkRefusesTheCurrentBookmark) {
  Records R(3);
  TTestBMList List(R.DS);
  List.SetLinkActive(false);
  EXPECT_EQ(MessageOf([&] { List.GetCurrentBookmark(); }), L"Cannot perform this operation on a closed dataset");
  EXPECT_FALSE(List.GetCurrentRowSelected());  // empty: the dataset is not asked
}

TEST(BookmarkList, RefreshDropsBookmarksOfRecordsDeletedElsewhere) {
  Records R(8);
  TTestBMList List(R.DS);
  for (Integer Id : {2, 4, 6, 8}) List.AppendBookmark(R.Bm(Id));
  List.ChangedCount = List.InvalidateCount = 0;
  EXPECT_FALSE(List.Refresh(true));
  EXPECT_EQ(List.ChangedCount, 0);
  EXPECT_EQ(List.InvalidateCount, 0);

  for (Integer Id : {4, 8}) {
    R.Go(Id);
    R.DS->Delete();
  }
  EXPECT_TRUE(List.Refresh(true));
  EXPECT_EQ(List.ChangedCount, 1);
  EXPECT_EQ(List.InvalidateCount, 1);
  EXPECT_EQ(ListedIds(List, R), (std::vector<Integer>{2, 6}));
  Integer Index;
  EXPECT_TRUE(List.Find(R.Bm(6), Index));
  EXPECT_EQ(Index, 1);
}

TEST(BookmarkList, SortByBookmarksRestoresDatasetOrder) {
  Records R(9);
  TTestBMList List(R.DS);
  for (Integer Id : {7, 1, 9, 3, 5, 2}) List.AppendItem(R.Bm(Id));
  List.SortByBookmarks();
  EXPECT_EQ(ListedIds(List, R), (std::vector<Integer>{1, 2, 3, 5, 7, 9}));
}

TEST(BookmarkList, SelectAllThenDeleteRemovesTheRecords) {
  Records R(6);
  TTestBMList List(R.DS);
  R.Go(4);
  List.SelectAll();
  EXPECT_EQ(List.GetCount(), 6);
  EXPECT_EQ(R.CurrentId(), 4);  // back where it was
  List.Clear();
  for (Integer Id : {2, 5}) List.AppendBookmark(R.Bm(Id));
  List.Delete();
  EXPECT_EQ(List.GetCount(), 0);
  std::vector<Integer> Left;
  for (R.DS->First(); !R.DS->Eof(); R.DS->Next()) Left.push_back(R.CurrentId());
  EXPECT_EQ(Left, (std::vector<Integer>{1, 3, 4, 6}));
}

TEST(DataLinkKv, ReportsEveryDataEvent) {
  Records R(3);
  TDataSource Source(nullptr);
  Source.SetDataSet(R.DS);
  TDataLinkKv Link;
  std::vector<TDataEvent> Events;
  Link.SetOnDataEvent([&](TDataEvent Event, NativeInt) { Events.push_back(Event); });
  Link.SetDataSource(&Source);
  R.DS->Next();
  R.DS->Edit();
  R.DS->FieldByName(L"NAME")->SetAsString(L"X");
  R.DS->Post();
  auto Has = [&](TDataEvent E) { return std::find(Events.begin(), Events.end(), E) != Events.end(); };
  EXPECT_TRUE(Has(deDataSetScroll));
  EXPECT_TRUE(Has(deUpdateState));
  EXPECT_TRUE(Has(deFieldChange));
  EXPECT_TRUE(Has(deDataSetChange));
  Link.SetDataSource(nullptr);
}

TEST(DatasetFieldValueList, DistinctValuesFollowCaseSensitivity) {
  TArrayDataSet DS(nullptr);
  DS.GetFieldDefs()->Add(L"T", ftWideString, 10);
  DS.Open();
  for (const wchar_t* T : {L"B", L"a", L"b", L"A", L"b"}) DS.AppendRecord({String(T)});
  IPtr<TDatasetFieldValueListKv> List(new TDatasetFieldValueListKv());
  List->SetDataSet(&DS);
  List->SetFieldName(L"T");
  EXPECT_EQ(List->GetValues()->GetCount(), 2);
  List->SetCaseSensitive(true);
  EXPECT_EQ(List->GetValues()->GetCount(), 4);
  List->SetDataSet(nullptr);
}

TEST(DatasetFieldValueList, AnEditInProgressKeepsTheValuesAReopenRebuildsThem) {
  TArrayDataSet DS(nullptr);
  DS.GetFieldDefs()->Add(L"T", ftWideString, 10);
  DS.Open();
  for (const wchar_t* T : {L"x", L"y"}) DS.AppendRecord({String(T)});
  DS.First();
  IPtr<TDatasetFieldValueListKv> List(new TDatasetFieldValueListKv());
  List->SetDataSet(&DS);
  List->SetFieldName(L"T");
  EXPECT_EQ(List->GetValues()->GetText(), L"x\r\ny\r\n");
  EXPECT_EQ(DS.FieldByName(L"T")->GetAsString(), L"x");  // the cursor went back
  DS.Edit();
  DS.FieldByName(L"T")->SetAsString(L"z");
  EXPECT_FALSE(List->GetDataObsoleted());
  EXPECT_EQ(List->GetValues()->GetText(), L"x\r\ny\r\n");
  DS.Post();
  DS.Close();
  DS.Open();
  EXPECT_EQ(List->GetValues()->GetText(), L"y\r\nz\r\n");
  // A field that does not exist gives no values and stays to be read again.
  List->SetFieldName(L"NONE");
  EXPECT_EQ(List->GetValues()->GetCount(), 0);
  EXPECT_TRUE(List->GetDataObsoleted());
  List->SetDataSet(nullptr);
}

TEST(DatasetFieldValueList, ReadsThroughAnOutsideSource) {
  TArrayDataSet First(nullptr), Second(nullptr);
  for (TArrayDataSet* DS : {&First, &Second}) {
    DS->GetFieldDefs()->Add(L"T", ftWideString, 10);
    DS->Open();
  }
  First.AppendRecord({String(L"one")});
  Second.AppendRecord({String(L"two")});
  TDataSource Outside(nullptr);
  Outside.SetDataSet(&Second);
  IPtr<TDatasetFieldValueListKv> List(new TDatasetFieldValueListKv());
  List->SetFieldName(L"T");
  List->SetDataSet(&First);
  EXPECT_EQ(List->GetValues()->GetText(), L"one\r\n");
  List->SetDataSource(&Outside);
  EXPECT_EQ(List->GetDataSource(), &Outside);
  EXPECT_EQ(List->GetValues()->GetText(), L"two\r\n");
  List->SetDataSet(&First);  // back to its own source
  EXPECT_EQ(List->GetDataSource()->GetDataSet(), &First);
  EXPECT_EQ(List->GetValues()->GetText(), L"one\r\n");
  List->SetDataSet(nullptr);
}

TEST(FieldRoutines, FieldListsByNames) {
  Records R(2);
  TFieldsArrKv Fields;
  FieldsArrByNames(R.DS, R.DS, L"NAME; ID", Fields);
  ASSERT_EQ(Fields.size(), 2u);
  EXPECT_EQ(Fields[0]->GetFieldName(), L"NAME");
  EXPECT_EQ(Fields[1]->GetFieldName(), L"ID");
  EXPECT_EQ(MessageOf([&] { FieldsArrByNames(R.DS, R.DS, L"ID;CODE;X", Fields); }), L"Data: Field 'CODE' not found");
  EXPECT_EQ(Fields.size(), 2u);
  TList List;
  FieldListByNames(&List, R.DS, nullptr, L"ID");
  FieldListByNames(nullptr, R.DS, nullptr, L"");
  EXPECT_EQ(List.GetCount(), 1);
  EXPECT_THROW(FieldListByNames(nullptr, R.DS, nullptr, L"NOPE"), EDatabaseError);
}

TEST(FieldRoutines, GetAndSetSeveralFieldsAtOnce) {
  Records R(2);
  R.Go(2);
  Variant V;
  GetFieldsValues({}, V);
  EXPECT_TRUE(VarIsNull(V));
  TFieldsArrKv Fields;
  FieldsArrByNames(R.DS, nullptr, L"ID", Fields);
  GetFieldsValues(Fields, V);
  EXPECT_EQ(V.AsInteger(), 2);
  FieldsArrByNames(R.DS, nullptr, L"ID;NAME", Fields);
  GetFieldsValues(Fields, V);
  ASSERT_TRUE(VarIsArray(V));
  EXPECT_EQ(VarArrayHighBound(V, 1), 1);
  EXPECT_EQ(Variant(V[1]).AsString(), L"N2");

  R.DS->Edit();
  SetFieldsValues(R.DS, L"ID;NAME", VarArrayOf({7, L"Yedi"}));
  EXPECT_EQ(R.DS->FieldByName(L"NAME")->GetAsString(), L"Yedi");
  SetFieldsValues(R.DS, L"ID;NAME", EmptyParam);
  EXPECT_TRUE(R.DS->FieldByName(L"ID")->IsNull());
  EXPECT_TRUE(R.DS->FieldByName(L"NAME")->IsNull());
  R.DS->Cancel();
}

// ---- Order-by list ----------------------------------------------------------------------------

namespace {

class TTestOrderByList : public TOrderByList {
 public:
  TTestOrderByList() : TOrderByList(true) {}

 protected:
  void SetItemFieldIndex(TOrderByItemKv* Item, Integer FieldIndex) override { Item->FieldIndex = FieldIndex; }
  Integer GetFieldIndex(const String& FieldName) override {
    const wchar_t* const Names[] = {L"Name", L"Code", L"Order Date"};
    for (Integer I = 0; I < 3; ++I)
      if (SameText(FieldName, Names[I])) return I;
    return -1;
  }
};

// "0-" for field 0 descending, "1+" ascending, joined by blanks.
String Keys(TOrderByList& List) {
  String S;
  for (Integer I = 0; I < List.GetCount(); ++I)
    S += (I ? L" " : L"") + IntToStr(List.GetItem(I)->FieldIndex) + (List.GetItem(I)->Desc ? L"-" : L"+");
  return S;
}

}  // namespace

TEST(OrderByList, ParsesNamesAndDirections) {
  const struct {
    const wchar_t* Text;
    const wchar_t* Keys;
  } Cases[] = {
      {L"Name DESC; Code", L"0- 1+"},
      {L"[Order Date] desc", L"2-"},
      {L"Name ASC DESC", L"0-"},
      {L"Name DESC ASC", L"0-"},
      {L"Code,Name desc,", L"1+ 0-"},
      {L"  name  ;  ", L"0+"},
      {L"", L""},
      {L"    ", L""},
  };
  TTestOrderByList List;
  for (const auto& C : Cases) {
    List.ParseOrderByStr(L"Code DESC");  // something to replace
    List.ParseOrderByStr(C.Text);
    EXPECT_EQ(Keys(List), C.Keys) << C.Text;
  }
}

TEST(OrderByList, AFailedParseKeepsTheItems) {
  const struct {
    const wchar_t* Text;
    const wchar_t* Message;
  } Cases[] = {
      {L"Name Code", L" Invalid token - \"Code\""},
      {L"Name DESC, Price", L" Field - \"Price\" not found."},
      {L"[Order Date] up", L" Invalid token - \"up\""},
  };
  TTestOrderByList List;
  List.ParseOrderByStr(L"Code DESC");
  for (const auto& C : Cases) {
    EXPECT_EQ(MessageOf([&] { List.ParseOrderByStr(C.Text); }), C.Message) << C.Text;
    EXPECT_EQ(Keys(List), L"1-") << C.Text;
  }
  TOrderByList Base;
  Base.ParseOrderByStr(L"  ");
  EXPECT_EQ(MessageOf([&] { Base.ParseOrderByStr(L"Name"); }), L" Field - \"Name\" not found.");
}

TEST(OrderByList, TokensSkipBlanksAndBrackets) {
  TOrderByList List;
  const String Text = L" [A B]] ,x];y";
  std::vector<String> Tokens;
  Integer Pos = 1;
  String Token;
  for (List.GetToken(Text, Pos, Token); !Token.empty(); List.GetToken(Text, Pos, Token)) Tokens.push_back(Token);
  EXPECT_EQ(Tokens, (std::vector<String>{L"A B", L"]", L",", L"x]", L";", L"y"}));
}
