// The dataset base through a small array dataset: navigation over buffer windows, the order of
// events and data-link notifications per flow, bookmarks, search, calculated and lookup fields.

#include <gtest/gtest.h>

#include "framework/DB.h"
#include "framework/sysutils/Format.h"
#include "tests/framework/db/ArrayDataSet.h"
#include "tests/framework/db/RecordingDataLink.h"

namespace {

using TLog = TDataLinkLog;
using TRecordingLink = TRecordingDataLink;

class DataSetFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    DS = new TArrayDataSet(nullptr);
    DS->SetName(L"Items");
    DS->GetFieldDefs()->Add(L"ID", ftInteger);
    DS->GetFieldDefs()->Add(L"NAME", ftWideString, 20);
    DS->GetFieldDefs()->Add(L"AMOUNT", ftFloat);
    Source = new TDataSource(nullptr);
    Source->SetDataSet(DS);
  }
  void TearDown() override {
    Link.reset();
    delete Source;
    delete DS;
  }
  void Fill(Integer Count) {
    DS->Open();
    for (Integer I = 1; I <= Count; ++I) DS->AppendRecord({I, String(L"N") + IntToStr(I), I * 1.5});
    DS->First();
  }
  void Attach(Integer BufferCount) {
    Link = std::make_unique<TRecordingLink>(Log);
    Link->SetBufferCount(BufferCount);
    Link->SetDataSource(Source);
  }
  // Records every dataset event into the same log as the link.
  void Hook() { HookDataSetEvents(DS, Log); }
  Integer Id() { return DS->FieldByName(L"ID")->GetAsInteger(); }
  std::vector<Integer> WalkForward() {
    std::vector<Integer> R;
    for (DS->First(); !DS->Eof(); DS->Next()) R.push_back(Id());
    return R;
  }
  std::vector<Integer> WalkBackward() {
    std::vector<Integer> R;
    for (DS->Last(); !DS->Bof(); DS->Prior()) R.push_back(Id());
    return R;
  }

  TArrayDataSet* DS = nullptr;
  TDataSource* Source = nullptr;
  std::unique_ptr<TRecordingLink> Link;
  TLog Log;
};

// ---- Navigation ----

TEST_F(DataSetFixture, NavigatesOverZeroOneAndManyRecordsWithAnyWindow) {
  for (Integer Count : {0, 1, 2, 7}) {
    for (Integer Window : {1, 3, 5, 10}) {
      SCOPED_TRACE(Format(L"%d records, window %d", {Count, Window}).c_str());
      SetUp();
      Attach(Window);
      Fill(Count);
      std::vector<Integer> Forward, Backward;
      for (Integer I = 1; I <= Count; ++I) Forward.push_back(I);
      Backward.assign(Forward.rbegin(), Forward.rend());
      EXPECT_EQ(WalkForward(), Forward);
      EXPECT_TRUE(DS->Eof());
      EXPECT_EQ(WalkBackward(), Backward);
      EXPECT_TRUE(DS->Bof());
      EXPECT_EQ(DS->IsEmpty(), Count == 0);
      EXPECT_EQ(DS->GetRecordCount(), Count);
      // The link's window always holds the active record and no more than it asked for.
      DS->First();
      for (Integer Step = 0; Step < Count; ++Step) {
        EXPECT_EQ(DS->GetRecNo(), Step + 1);
        EXPECT_LE(Link->GetRecordCount(), Window);
        EXPECT_EQ(Link->GetRecordCount(), std::min(Window, Count));
        EXPECT_GE(Link->GetActiveRecord(), 0);
        EXPECT_LT(Link->GetActiveRecord(), Link->GetRecordCount());
        DS->Next();
      }
      if (Count > 0) {
        DS->First();
        EXPECT_EQ(DS->MoveBy(100), Count - 1);
        EXPECT_TRUE(DS->Eof());
        EXPECT_EQ(Id(), Count);
        EXPECT_EQ(DS->MoveBy(-100), -(Count - 1));
        EXPECT_TRUE(DS->Bof());
        EXPECT_EQ(Id(), 1);
      }
      TearDown();
    }
  }
  SetUp();  // for the fixture's own TearDown
}

TEST_F(DataSetFixture, LinkRowsReadTheirOwnRecordsWithoutScrolling) {
  Attach(3);
  Fill(5);
  DS->MoveBy(3);  // record 4, shown in the last row of a three-row window
  ASSERT_EQ(Link->GetActiveRecord(), 2);
  std::vector<Integer> Rows;
  Integer Saved = Link->GetActiveRecord();
  for (Integer R = 0; R < Link->GetRecordCount(); ++R) {
    Link->SetActiveRecord(R);
    Rows.push_back(Id());
  }
  Link->SetActiveRecord(Saved);
  EXPECT_EQ(Rows, (std::vector<Integer>{2, 3, 4}));
  EXPECT_EQ(Id(), 4);
  EXPECT_EQ(DS->GetRecNo(), 4);
}

TEST_F(DataSetFixture, ScrollingPastTheWindowReportsTheDistance) {
  Attach(3);
  Fill(5);
  Log.clear();
  DS->Next();
  DS->Next();
  DS->Next();  // the window moves one row
  EXPECT_EQ(Log, (TLog{L"link:CheckBrowseMode", L"link:Scrolled 0", L"link:CheckBrowseMode", L"link:Scrolled 0",
                       L"link:CheckBrowseMode", L"link:Scrolled 1"}));
}

// ---- Event order ----

TEST_F(DataSetFixture, OpenAndCloseEventOrder) {
  Attach(1);
  Hook();
  DS->Open();
  DS->Close();
  EXPECT_EQ(Log, (TLog{L"BeforeOpen", L"link:Active", L"AfterOpen", L"BeforeClose", L"link:Inactive", L"AfterClose"}));
}

TEST_F(DataSetFixture, EventOrderPerFlow) {
  struct TCase {
    const wchar_t* Name;
    void (*Flow)(TDataSet*);
    TLog Expected;
  };
  const TCase Cases[] = {
      {L"scroll", [](TDataSet* D) { D->Next(); },  // a one-row window moves with every record
       {L"link:CheckBrowseMode", L"BeforeScroll", L"link:Scrolled 1", L"AfterScroll"}},
      {L"insert", [](TDataSet* D) { D->Insert(); },
       {L"link:CheckBrowseMode", L"BeforeInsert", L"BeforeScroll", L"link:Editing", L"OnNewRecord",
        L"link:DataSetChanged", L"AfterInsert", L"AfterScroll"}},
      {L"append", [](TDataSet* D) { D->Append(); },
       {L"link:CheckBrowseMode", L"BeforeInsert", L"BeforeScroll", L"link:Editing", L"OnNewRecord",
        L"link:DataSetChanged", L"AfterInsert", L"AfterScroll"}},
      {L"edit", [](TDataSet* D) { D->Edit(); },
       {L"link:CheckBrowseMode", L"BeforeEdit", L"link:Editing", L"link:RecordChanged", L"AfterEdit"}},
      {L"edit, set, post",
       [](TDataSet* D) {
         D->Edit();
         D->FieldByName(L"NAME")->SetAsString(L"X");
         D->Post();
       },
       {L"link:CheckBrowseMode", L"BeforeEdit", L"link:Editing", L"link:RecordChanged", L"AfterEdit",
        L"link:RecordChanged NAME", L"link:UpdateData", L"link:CheckBrowseMode", L"BeforePost",
        L"link:NotEditing", L"link:DataSetChanged", L"AfterPost"}},
      {L"edit, cancel",
       [](TDataSet* D) {
         D->Edit();
         D->Cancel();
       },
       {L"link:CheckBrowseMode", L"BeforeEdit", L"link:Editing", L"link:RecordChanged", L"AfterEdit",
        L"link:CheckBrowseMode", L"BeforeCancel", L"link:NotEditing", L"link:DataSetChanged", L"AfterCancel"}},
      {L"insert, cancel",
       [](TDataSet* D) {
         D->Insert();
         D->Cancel();
       },
       {L"link:CheckBrowseMode", L"BeforeInsert", L"BeforeScroll", L"link:Editing", L"OnNewRecord",
        L"link:DataSetChanged", L"AfterInsert", L"AfterScroll", L"link:CheckBrowseMode", L"BeforeCancel",
        L"link:NotEditing", L"link:DataSetChanged", L"AfterCancel", L"AfterScroll"}},
      {L"delete", [](TDataSet* D) { D->Delete(); },
       {L"link:CheckBrowseMode", L"BeforeDelete", L"BeforeScroll", L"link:DataSetChanged", L"AfterDelete",
        L"AfterScroll"}},
      {L"scroll while editing posts first",
       [](TDataSet* D) {
         D->Edit();
         D->FieldByName(L"NAME")->SetAsString(L"Y");
         D->Next();
       },
       {L"link:CheckBrowseMode", L"BeforeEdit", L"link:Editing", L"link:RecordChanged", L"AfterEdit",
        L"link:RecordChanged NAME", L"link:CheckBrowseMode", L"link:UpdateData", L"link:UpdateData",
        L"link:CheckBrowseMode", L"BeforePost", L"link:NotEditing", L"link:DataSetChanged", L"AfterPost",
        L"BeforeScroll", L"link:Scrolled 1", L"AfterScroll"}},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    SetUp();
    Attach(1);
    Fill(3);
    Hook();
    Log.clear();
    C.Flow(DS);
    EXPECT_EQ(Log, C.Expected);
    TearDown();
  }
  SetUp();
}

TEST_F(DataSetFixture, AppendKeepsEofAndMarksTheNewBufferAtTheEnd) {
  Attach(3);
  Fill(5);
  DS->Append();
  EXPECT_TRUE(DS->Eof());
  EXPECT_EQ(DS->GetState(), dsInsert);
  EXPECT_EQ(DS->GetRecNo(), 0);
  DS->FieldByName(L"ID")->SetAsInteger(6);
  DS->Post();
  EXPECT_EQ(WalkForward(), (std::vector<Integer>{1, 2, 3, 4, 5, 6}));
}

TEST_F(DataSetFixture, InsertPutsTheRecordBeforeTheActiveOne) {
  Attach(2);
  Fill(3);
  DS->Next();  // on 2
  DS->Insert();
  DS->FieldByName(L"ID")->SetAsInteger(9);
  DS->Post();
  EXPECT_EQ(Id(), 9);
  EXPECT_EQ(WalkForward(), (std::vector<Integer>{1, 9, 2, 3}));
}

TEST_F(DataSetFixture, CancelledInsertLeavesTheRecordsAsTheyWere) {
  Fill(3);
  DS->Next();
  DS->Insert();
  DS->FieldByName(L"ID")->SetAsInteger(9);
  DS->Cancel();
  EXPECT_EQ(Id(), 2);
  EXPECT_EQ(WalkForward(), (std::vector<Integer>{1, 2, 3}));
}

TEST_F(DataSetFixture, DeleteMovesToTheNextRecordOrTheLastOne) {
  Fill(3);
  DS->Next();
  DS->Delete();
  EXPECT_EQ(Id(), 3);
  DS->Delete();
  EXPECT_EQ(Id(), 1);
  DS->Delete();
  EXPECT_TRUE(DS->IsEmpty());
  EXPECT_THROW(DS->Delete(), EDatabaseError);
}

TEST_F(DataSetFixture, EnableControlsSendsOneChangeAtTheOutermostLevel) {
  Attach(1);
  Fill(4);
  Log.clear();
  DS->DisableControls();
  DS->DisableControls();
  DS->Next();
  DS->Next();
  DS->EnableControls();
  EXPECT_TRUE(Log.empty());
  DS->EnableControls();
  EXPECT_EQ(Log, (TLog{L"link:DataSetChanged"}));
  EXPECT_EQ(Id(), 3);
}

// ---- Bookmarks ----

TEST_F(DataSetFixture, BookmarksReturnToTheirRecordAndCompareInOrder) {
  Attach(2);
  Fill(6);
  DS->MoveBy(1);
  TBookmark B2 = DS->GetBookmark();
  DS->MoveBy(3);
  TBookmark B5 = DS->GetBookmark();
  EXPECT_GE(DS->GetBookmarkSize(), Integer(sizeof(void*)));
  EXPECT_EQ(DS->CompareBookmarks(B2, B5), -1);
  EXPECT_EQ(DS->CompareBookmarks(B5, B2), 1);
  EXPECT_EQ(DS->CompareBookmarks(B2, B2), 0);
  EXPECT_EQ(DS->CompareBookmarks(TBookmark(), B2), -1);
  EXPECT_EQ(DS->CompareBookmarks(TBookmark(), TBookmark()), 0);
  DS->GotoBookmark(B2);
  EXPECT_EQ(Id(), 2);
  DS->GotoBookmark(B5);
  EXPECT_EQ(Id(), 5);
  TBookmark Copy = B5;
  EXPECT_TRUE(Copy.SameAs(B5));  // shared bytes
  DS->Delete();
  EXPECT_FALSE(DS->BookmarkValid(B5));
  EXPECT_THROW(DS->GotoBookmark(B5), EDatabaseError);
  EXPECT_TRUE(DS->BookmarkValid(B2));
}

// ---- Locate and Lookup ----

TEST_F(DataSetFixture, LocateOnOneAndSeveralFieldsWithOptions) {
  Fill(0);
  DS->AppendRecord({1, L"Ankara", 10.0});
  DS->AppendRecord({2, L"ankara", 20.0});
  DS->AppendRecord({3, L"İstanbul", 20.0});
  DS->AppendRecord({4, L"İzmir", 30.0});
  struct TCase {
    const wchar_t* Fields;
    Variant Values;
    TLocateOptions Options;
    Integer Found;  // 0: not found
  } Cases[] = {
      {L"NAME", L"ankara", {}, 2},
      {L"NAME", L"ANKARA", {loCaseInsensitive}, 1},
      {L"NAME", L"ANKARA", {}, 0},
      {L"NAME", L"İz", {loPartialKey}, 4},
      {L"NAME", L"iz", {loPartialKey}, 0},
      {L"AMOUNT", 20.0, {}, 2},
      {L"AMOUNT;NAME", VarArrayOf({20.0, L"İstanbul"}), {}, 3},
      {L"ID;AMOUNT", VarArrayOf({4, 20.0}), {}, 0},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Fields);
    DS->First();
    bool Found = DS->Locate(C.Fields, C.Values, C.Options);
    EXPECT_EQ(Found, C.Found != 0);
    EXPECT_EQ(Id(), C.Found ? C.Found : 1);  // a miss leaves the cursor where it was
  }
  DS->Last();
  EXPECT_EQ(VarToStr(DS->Lookup(L"ID", 3, L"NAME")), L"İstanbul");
  EXPECT_TRUE(DS->Lookup(L"ID", 9, L"NAME").IsNull());
  Variant Pair = DS->Lookup(L"NAME", L"İzmir", L"ID;AMOUNT");
  EXPECT_EQ(Variant(Pair[0]).AsInteger(), 4);
  EXPECT_EQ(Variant(Pair[1]).AsDouble(), 30.0);
  EXPECT_EQ(Id(), 4);  // Lookup does not move the cursor
}

// ---- Calculated and lookup fields ----

TEST(DataSetFields, CalculatedAndLookupFieldsFollowTheRecord) {
  auto* Cities = new TArrayDataSet(nullptr);
  Cities->GetFieldDefs()->Add(L"CODE", ftInteger);
  Cities->GetFieldDefs()->Add(L"CITY", ftWideString, 30);
  Cities->Open();
  Cities->AppendRecord({6, L"Ankara"});
  Cities->AppendRecord({34, L"İstanbul"});

  auto* People = new TArrayDataSet(nullptr);
  People->GetFieldDefs()->Add(L"NAME", ftString, 20);
  People->GetFieldDefs()->Add(L"CITYCODE", ftInteger);
  People->GetFieldDefs()->Add(L"QTY", ftInteger);
  People->GetFieldDefs()->Add(L"PRICE", ftFloat);
  for (TFieldDef* D : People->GetFieldDefList()) D->CreateField(People);
  auto* Total = new TFloatField(People);
  Total->SetFieldName(L"TOTAL");
  Total->SetFieldKind(fkCalculated);
  Total->SetDataSet(People);
  auto* City = new TWideStringField(People);
  City->SetFieldName(L"CITY");
  City->SetSize(30);
  City->SetFieldKind(fkLookup);
  City->SetLookupDataSet(Cities);
  City->SetKeyFields(L"CITYCODE");
  City->SetLookupKeyFields(L"CODE");
  City->SetLookupResultField(L"CITY");
  City->SetDataSet(People);
  People->SetOnCalcFields([](TDataSet* D) {
    D->FieldByName(L"TOTAL")->SetAsFloat(D->FieldByName(L"QTY")->GetAsInteger() * D->FieldByName(L"PRICE")->GetAsFloat());
  });
  People->Open();
  People->AppendRecord({L"Ali", 6, 2, 2.5});
  People->AppendRecord({L"Ayşe", 34, 3, 1.0});
  People->AppendRecord({L"Can", 99, 1, 1.0});
  People->First();
  EXPECT_EQ(Total->GetAsFloat(), 5.0);
  EXPECT_EQ(City->GetAsString(), L"Ankara");
  People->Next();
  EXPECT_EQ(Total->GetAsFloat(), 3.0);
  EXPECT_EQ(City->GetAsString(), L"İstanbul");
  People->Next();
  EXPECT_TRUE(City->IsNull());
  // Changing a data field recalculates at once.
  People->Edit();
  People->FieldByName(L"QTY")->SetAsInteger(4);
  EXPECT_EQ(Total->GetAsFloat(), 4.0);
  People->FieldByName(L"CITYCODE")->SetAsInteger(34);
  EXPECT_EQ(City->GetAsString(), L"İstanbul");
  People->Post();
  // With the cache the values come from the list.
  People->Close();
  City->SetLookupCache(true);
  People->Open();
  EXPECT_EQ(City->GetLookupList()->Count(), 2);
  EXPECT_EQ(City->GetAsString(), L"Ankara");
  // A closed lookup dataset reads Null.
  City->SetLookupCache(false);
  Cities->Close();
  People->Refresh();
  EXPECT_TRUE(City->IsNull());
  delete People;
  delete Cities;
}

TEST_F(DataSetFixture, OldCurAndNewValuesDuringAnEdit) {
  Fill(2);
  TField* Name = DS->FieldByName(L"NAME");
  DS->Edit();
  Name->SetAsString(L"Yeni");
  EXPECT_EQ(VarToStr(Name->GetOldValue()), L"N1");
  EXPECT_EQ(VarToStr(Name->GetNewValue()), L"Yeni");
  EXPECT_EQ(VarToStr(Name->GetCurValue()), L"N1");
  DS->Cancel();
  EXPECT_EQ(Name->GetAsString(), L"N1");
}

TEST_F(DataSetFixture, FilterRecordEventHidesRecordsAndRefiltersOnToggle) {
  Fill(6);
  Integer Calls = 0;
  DS->SetOnFilterRecord([&Calls](TDataSet* D, bool& Accept) {
    ++Calls;
    Accept = D->FieldByName(L"ID")->GetAsInteger() % 2 == 0;
  });
  DS->SetFiltered(true);
  EXPECT_EQ(WalkForward(), (std::vector<Integer>{2, 4, 6}));
  EXPECT_EQ(WalkBackward(), (std::vector<Integer>{6, 4, 2}));
  EXPECT_EQ(DS->GetRecordCount(), 3);
  DS->SetFiltered(false);
  Calls = 0;
  DS->SetFiltered(true);
  EXPECT_GT(Calls, 0);
  EXPECT_TRUE(DS->Locate(L"ID", 4, {}));
  EXPECT_FALSE(DS->Locate(L"ID", 3, {}));
}

// The filter text: compiled by the base into byte code the dataset evaluates; a text that does
// not compile raises and the filter in force stays.
TEST_F(DataSetFixture, FilterTextIsCompiledAndABadTextLeavesThePreviousFilter) {
  Fill(6);
  auto MessageOf = [](auto&& F) -> String {
    try {
      F();
    } catch (const EDatabaseError& E) {
      return E.Message();
    }
    return L"(no error)";
  };
  DS->SetFilter(L"ID > 2 and ID <= 5");
  DS->SetFiltered(true);
  EXPECT_EQ(WalkForward(), (std::vector<Integer>{3, 4, 5}));
  TExprParser Same(DS, L"ID > 2 and ID <= 5", {}, {}, String(), nullptr, DefaultFieldMap);
  EXPECT_EQ(DS->GetFilterExpr(), Same.GetFilterData());
  const TExprData Kept = DS->GetFilterExpr();

  struct TCase {
    const wchar_t* Text;
    const wchar_t* Error;
  } Cases[] = {
      {L"ID > ", L"Filter expression error at position 6: expression expected"},
      {L"(ID = 1", L"Filter expression error at position 8: ')' expected"},
      {L"NOPE = 1", L"Items: Field 'NOPE' not found"},
      {L"ID = 'x'", L"'x' is not a valid value for field 'ID'"},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Text);
    EXPECT_EQ(MessageOf([&] { DS->SetFilter(C.Text); }), C.Error);
    EXPECT_EQ(DS->GetFilter(), L"ID > 2 and ID <= 5");
    EXPECT_EQ(DS->GetFilterExpr(), Kept);
    EXPECT_EQ(WalkForward(), (std::vector<Integer>{3, 4, 5}));
  }

  // Options take part in the comparison; changing them keeps the compiled text.
  DS->SetFilter(L"NAME = 'n4' or ID = 1");
  EXPECT_EQ(WalkForward(), (std::vector<Integer>{1}));
  DS->SetFilterOptions({foCaseInsensitive});
  EXPECT_EQ(WalkForward(), (std::vector<Integer>{1, 4}));
  EXPECT_EQ(DS->GetRecordCount(), 2);

  // No text: nothing to compile, every record shows.
  DS->SetFilter(L"");
  EXPECT_TRUE(DS->GetFilterExpr().empty());
  EXPECT_EQ(WalkForward().size(), 6u);
}

TEST_F(DataSetFixture, FilterTextSetWhileClosedIsCompiledWhenTheDataSetOpens) {
  Fill(4);
  DS->Close();
  DS->SetFiltered(true);
  DS->SetFilter(L"ID >");  // the fields may not exist yet: only stored
  EXPECT_TRUE(DS->GetFilterExpr().empty());
  String Message;
  try {
    DS->Open();
  } catch (const EDatabaseError& E) {
    Message = E.Message();
  }
  EXPECT_EQ(Message, L"Filter expression error at position 5: expression expected");
  EXPECT_FALSE(DS->GetActive());
  EXPECT_EQ(DS->LiveBuffers(), 0);

  DS->SetFilter(L"ID <> 2 and not (ID = 3)");
  DS->Open();
  EXPECT_FALSE(DS->GetFilterExpr().empty());
  EXPECT_EQ(WalkForward(), (std::vector<Integer>{1, 4}));
  DS->Close();
  EXPECT_TRUE(DS->GetFilterExpr().empty());
}

// A dataset that does not evaluate filter text keeps the text and compiles nothing.
TEST(DataSetFilterText, ADataSetThatDoesNotEvaluateTextOnlyStoresIt) {
  class TNoTextDataSet : public TArrayDataSet {
   public:
    using TArrayDataSet::TArrayDataSet;

   protected:
    bool EvaluatesFilterText() override { return false; }
  };
  std::unique_ptr<TNoTextDataSet> Holder(new TNoTextDataSet(nullptr));
  TNoTextDataSet& DS = *Holder;
  DS.GetFieldDefs()->Add(L"ID", ftInteger);
  DS.Open();
  DS.AppendRecord({1});
  DS.SetFilter(L"ID >");
  DS.SetFiltered(true);
  EXPECT_EQ(DS.GetFilter(), L"ID >");
  EXPECT_TRUE(DS.GetFilterExpr().empty());
  EXPECT_EQ(DS.GetRecordCount(), 1);
  DS.Close();
}

// ---- Master and detail ----

// A detail dataset as the family builds one: a detail link on the master's source that refilters
// the detail whenever the master's record changes.
class TMasterLink : public TDetailDataLink {
 public:
  explicit TMasterLink(TDataSet* Detail) : FDetail(Detail) {}
  TDataSet* GetDetailDataSet() override { return FDetail; }
  Integer Changes = 0;

 protected:
  void RecordChanged(TField* Field) override {
    if (Field || !FDetail->GetActive()) return;
    ++Changes;
    FDetail->First();  // the filter reads the master's current record
  }

 private:
  TDataSet* FDetail;
};

class TDetailDataSet : public TArrayDataSet {
 public:
  explicit TDetailDataSet(TComponent* AOwner) : TArrayDataSet(AOwner), Link(this) {}
  ~TDetailDataSet() override { Link.SetDataSource(nullptr); }
  TDataSource* GetDataSource() override { return Link.GetDataSource(); }
  TMasterLink Link;
};

TEST_F(DataSetFixture, DetailFollowsTheMasterAndCircularLinksAreRefused) {
  Fill(3);
  std::unique_ptr<TDetailDataSet> Holder(new TDetailDataSet(nullptr));
  TDetailDataSet& Detail = *Holder;
  Detail.GetFieldDefs()->Add(L"MASTERID", ftInteger);
  Detail.GetFieldDefs()->Add(L"LINE", ftInteger);
  Detail.Open();
  for (Integer M = 1; M <= 3; ++M)
    for (Integer L = 1; L <= M; ++L) Detail.AppendRecord({M, L});
  Detail.SetOnFilterRecord([this](TDataSet* D, bool& Accept) {
    Accept = D->FieldByName(L"MASTERID")->GetAsInteger() == DS->FieldByName(L"ID")->GetAsInteger();
  });
  Detail.SetFiltered(true);
  Detail.Link.SetDataSource(Source);
  auto Lines = [&Detail] {
    std::vector<Integer> R;
    for (Detail.First(); !Detail.Eof(); Detail.Next()) R.push_back(Detail.FieldByName(L"LINE")->GetAsInteger());
    return R;
  };
  EXPECT_EQ(Lines(), (std::vector<Integer>{1}));
  DS->Next();
  EXPECT_GT(Detail.Link.Changes, 0);
  EXPECT_EQ(Lines(), (std::vector<Integer>{1, 2}));
  DS->Last();
  EXPECT_EQ(Lines(), (std::vector<Integer>{1, 2, 3}));
  EXPECT_EQ(Detail.GetDataSource(), Source);

  // The detail's own source may not become the master's, nor the master's source the detail.
  TDataSource DetailSource(nullptr);
  DetailSource.SetName(L"DetailSource");
  DetailSource.SetDataSet(&Detail);
  auto MessageOf = [](auto&& F) -> String {
    try {
      F();
    } catch (const EDatabaseError& E) {
      return E.Message();
    }
    return L"(no error)";
  };
  EXPECT_EQ(MessageOf([&] { Detail.Link.SetDataSource(&DetailSource); }), L"Circular datalinks are not allowed");
  EXPECT_EQ(Detail.Link.GetDataSource(), Source);
  Source->SetName(L"MasterSource");
  EXPECT_EQ(MessageOf([&] { Source->SetDataSet(&Detail); }), L"MasterSource: Circular datalinks are not allowed");
  EXPECT_EQ(Source->GetDataSet(), DS);
  DetailSource.SetDataSet(nullptr);
}

// ---- Provider support ----

TEST_F(DataSetFixture, KeyFieldsComeFromTheFieldFlagsElseFromThePrimaryIndex) {
  class TIndexedDataSet : public TArrayDataSet {
   public:
    explicit TIndexedDataSet(TComponent* AOwner) : TArrayDataSet(AOwner), Indexes(this) {}
    TIndexDefs* PSGetIndexDefs() override { return &Indexes; }
    TIndexDefs Indexes;
  };
  std::unique_ptr<TIndexedDataSet> Holder(new TIndexedDataSet(nullptr));
  TIndexedDataSet& Indexed = *Holder;
  Indexed.GetFieldDefs()->Add(L"CODE", ftInteger);
  Indexed.GetFieldDefs()->Add(L"PART", ftInteger);
  Indexed.GetFieldDefs()->Add(L"NAME", ftWideString, 10);
  Indexed.Open();
  EXPECT_EQ(Indexed.PSGetKeyFields(), L"");
  Indexed.Indexes.Add(L"ByName", L"NAME", {ixUnique});
  Indexed.Indexes.Add(L"Key", L"CODE;PART", {ixPrimary, ixUnique});
  EXPECT_EQ(Indexed.PSGetKeyFields(), L"CODE;PART");
  TField* Name = Indexed.FieldByName(L"NAME");
  TProviderFlags Flags = Name->GetProviderFlags();
  Flags << pfInKey;
  Name->SetProviderFlags(Flags);
  EXPECT_EQ(Indexed.PSGetKeyFields(), L"NAME");
  Indexed.Close();

  // The base keeps neither indexes nor parameters.
  Fill(1);
  EXPECT_EQ(DS->PSGetIndexDefs(), nullptr);
  EXPECT_EQ(DS->PSGetParams(), nullptr);
  EXPECT_EQ(DS->PSGetKeyFields(), L"");
}

// ---- Misuse ----

TEST_F(DataSetFixture, MisuseRaisesTheFrameworkTexts) {
  auto MessageOf = [](auto&& F) -> String {
    try {
      F();
    } catch (const EDatabaseError& E) {
      return E.Message();
    }
    return L"(no error)";
  };
  EXPECT_EQ(MessageOf([&] { DS->First(); }), L"Items: Cannot perform this operation on a closed dataset");
  Fill(1);
  EXPECT_EQ(MessageOf([&] { DS->FieldByName(L"NOPE"); }), L"Items: Field 'NOPE' not found");
  EXPECT_EQ(MessageOf([&] { DS->FieldByName(L"ID")->SetAsInteger(3); }), L"Items: Dataset not in edit or insert mode");
  EXPECT_EQ(MessageOf([&] { DS->Post(); }), L"Items: Dataset not in edit or insert mode");
  DS->Edit();
  EXPECT_EQ(MessageOf([&] { DS->FieldByName(L"ID")->SetAsString(L"abc"); }),
            L"'abc' is not a valid integer value for field 'ID'");
  DS->FieldByName(L"ID")->SetRequired(true);
  DS->FieldByName(L"ID")->Clear();
  EXPECT_EQ(MessageOf([&] { DS->Post(); }), L"Items: Field 'ID' must have a value");
  EXPECT_EQ(DS->GetState(), dsEdit);
  DS->Cancel();
  EXPECT_EQ(MessageOf([&] { DS->GetFieldDefs()->Add(L"id", ftInteger); }), L"Items: Duplicate field name 'id'");
  DS->FieldByName(L"NAME")->SetReadOnly(true);
  DS->Edit();
  EXPECT_EQ(MessageOf([&] { DS->FieldByName(L"NAME")->SetAsString(L"Z"); }), L"Items: Field 'NAME' cannot be modified");
}

TEST_F(DataSetFixture, FreeingTheDataSetClearsTheSourceAndBuffersAreReturned) {
  Attach(4);
  Fill(5);
  DS->Close();
  EXPECT_EQ(DS->LiveBuffers(), 0);
  delete DS;
  DS = nullptr;
  EXPECT_EQ(Source->GetDataSet(), nullptr);
  EXPECT_FALSE(Link->GetActive());
}


TEST(DataSetOwnership, AnOpenDataSetFreedUnderItsSourceByTheirOwner) {
  TLog Log;
  auto* Owner = new TComponent(nullptr);
  auto* DS = new TArrayDataSet(Owner);
  DS->GetFieldDefs()->Add(L"ID", ftInteger);
  auto* Source = new TDataSource(Owner);
  Source->SetDataSet(DS);
  TRecordingLink Link(Log);
  Link.SetDataSource(Source);
  DS->Open();
  DS->AppendRecord({1});
  delete DS;  // still open: the source and its link must let go of it
  EXPECT_EQ(Source->GetDataSet(), nullptr);
  EXPECT_FALSE(Link.GetActive());
  delete Owner;
}

}  // namespace
