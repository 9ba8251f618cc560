// The in-memory table as a dataset: the framework's event order (against the array dataset),
// native value layouts, BCD rules, cached updates, bookmarks that never find the wrong record,
// calculated fields cached per row, the update bracket, editing errors, blobs and shared storage.

#include <gtest/gtest.h>

#include <memory>

#include "framework/FMTBcd.h"
#include "framework/SysUtils.h"
#include "kvlib/memtable/MemTableKv.h"
#include "tests/framework/db/ArrayDataSet.h"
#include "tests/framework/db/RecordingDataLink.h"

namespace {

using TMTLog = TDataLinkLog;
using TMTRecordingLink = TRecordingDataLink;

void HookAll(TDataSet* DS, TMTLog& Log) { HookDataSetEvents(DS, Log); }

// A field of a type no field class stands for.
class TMTCursorField : public TField {
 public:
  explicit TMTCursorField(TComponent* AOwner) : TField(AOwner) { SetDataType(ftCursor); }
};

void AddDefs(TDataSet* DS) {
  DS->GetFieldDefs()->Add(L"ID", ftInteger);
  DS->GetFieldDefs()->Add(L"NAME", ftWideString, 20);
  DS->GetFieldDefs()->Add(L"AMOUNT", ftFloat);
}

class MemTableFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    MT = std::make_unique<TMemTableKv>(nullptr);
    MT->SetName(L"Items");
    AddDefs(MT.get());
  }
  void Fill(Integer Count, TMemTableKv* T = nullptr) {
    if (!T) T = MT.get();
    if (!T->GetActive()) T->CreateDataSet();
    for (Integer I = 1; I <= Count; ++I) T->AppendRecord({I, String(L"N") + IntToStr(I), I * 1.5});
    T->First();
  }
  Integer Id(TDataSet* T = nullptr) { return (T ? T : MT.get())->FieldByName(L"ID")->GetAsInteger(); }
  std::vector<Integer> Ids(TDataSet* T = nullptr) {
    if (!T) T = MT.get();
    std::vector<Integer> R;
    for (T->First(); !T->Eof(); T->Next()) R.push_back(Id(T));
    return R;
  }
  void SetName(const String& Name) {
    MT->Edit();
    MT->FieldByName(L"NAME")->SetAsString(Name);
    MT->Post();
  }
  std::unique_ptr<TMemTableKv> MT;
};

// ---- The framework's flows ----

// Every flow gives the events and link notifications the array dataset gives, in its order.
TEST_F(MemTableFixture, EveryFlowFollowsTheArrayDataSetsEventOrder) {
  struct TCase {
    const wchar_t* Name;
    void (*Flow)(TDataSet*);
  };
  const TCase Cases[] = {
      {L"scroll", [](TDataSet* D) { D->Next(); }},
      {L"last, first", [](TDataSet* D) { D->Last(); D->First(); }},
      {L"insert", [](TDataSet* D) { D->Insert(); }},
      {L"append", [](TDataSet* D) { D->Append(); }},
      {L"edit", [](TDataSet* D) { D->Edit(); }},
      {L"edit, set, post",
       [](TDataSet* D) {
         D->Edit();
         D->FieldByName(L"NAME")->SetAsString(L"X");
         D->Post();
       }},
      {L"edit, cancel", [](TDataSet* D) { D->Edit(); D->Cancel(); }},
      {L"insert, set, post",
       [](TDataSet* D) {
         D->Next();
         D->Insert();
         D->FieldByName(L"ID")->SetAsInteger(9);
         D->Post();
       }},
      {L"append, set, post",
       [](TDataSet* D) {
         D->Append();
         D->FieldByName(L"ID")->SetAsInteger(9);
         D->Post();
       }},
      {L"insert, cancel", [](TDataSet* D) { D->Insert(); D->Cancel(); }},
      {L"delete", [](TDataSet* D) { D->Delete(); }},
      {L"delete the last", [](TDataSet* D) { D->Last(); D->Delete(); }},
      {L"scroll while editing posts first",
       [](TDataSet* D) {
         D->Edit();
         D->FieldByName(L"NAME")->SetAsString(L"Y");
         D->Next();
       }},
      {L"bookmark", [](TDataSet* D) {
         D->Next();
         TBookmark B = D->GetBookmark();
         D->Last();
         D->GotoBookmark(B);
       }},
      {L"close, open", [](TDataSet* D) { D->Close(); D->Open(); }},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    for (Integer Window : {1, 3}) {
      TMTLog Logs[2];
      std::vector<Integer> After[2];
      for (int Side = 0; Side < 2; ++Side) {
        std::unique_ptr<TDataSet> DS;
        if (Side == 0) {
          DS = std::make_unique<TArrayDataSet>(nullptr);
          AddDefs(DS.get());
          DS->Open();
        } else {
          auto* T = new TMemTableKv(nullptr);
          DS.reset(T);
          AddDefs(T);
          T->CreateDataSet();
        }
        for (Integer I = 1; I <= 3; ++I) DS->AppendRecord({I, String(L"N") + IntToStr(I), I * 1.5});
        DS->First();
        TDataSource Source(nullptr);
        Source.SetDataSet(DS.get());
        TMTRecordingLink Link(Logs[Side]);
        Link.SetBufferCount(Window);
        Link.SetDataSource(&Source);
        HookAll(DS.get(), Logs[Side]);
        Logs[Side].clear();
        C.Flow(DS.get());
        Logs[Side].push_back(L"state " + IntToStr(Integer(DS->GetState())) + L" recno " + IntToStr(DS->GetRecNo()) +
                             L" eof " + IntToStr(DS->Eof()) + L" bof " + IntToStr(DS->Bof()));
        if (DS->GetState() == dsBrowse) After[Side] = Ids(DS.get());
        Link.SetDataSource(nullptr);
        Source.SetDataSet(nullptr);
      }
      EXPECT_EQ(Logs[1], Logs[0]) << "window " << Window;
      EXPECT_EQ(After[1], After[0]) << "window " << Window;
    }
  }
}

TEST_F(MemTableFixture, AnEmptyTableOpensEmptyAndANewRecordHasRecNoZero) {
  MT->CreateDataSet();
  EXPECT_TRUE(MT->IsEmpty());
  EXPECT_EQ(MT->GetRecordCount(), 0);
  MT->Append();
  EXPECT_EQ(MT->GetRecNo(), 0);
  MT->FieldByName(L"ID")->SetAsInteger(1);
  MT->Post();
  EXPECT_EQ(MT->GetRecNo(), 1);
  EXPECT_EQ(Ids(), (std::vector<Integer>{1}));
}

TEST_F(MemTableFixture, InsertGoesBeforeTheCurrentRowAndRecNoFollowsTheCursor) {
  Fill(3);
  MT->SetRecNo(2);
  MT->Insert();
  MT->FieldByName(L"ID")->SetAsInteger(7);
  MT->Post();
  EXPECT_EQ(Id(), 7);
  EXPECT_EQ(MT->GetRecNo(), 2);
  EXPECT_EQ(Ids(), (std::vector<Integer>{1, 7, 2, 3}));
  MT->SetRecNo(4);
  EXPECT_EQ(Id(), 3);
  MT->SetRecNo(99);  // out of range: nothing moves
  EXPECT_EQ(Id(), 3);
}

// ---- Values ----

TEST(MemTableValues, NativeLayoutsPerFieldType) {
  struct TCase {
    TFieldType Type;
    Integer Size;
    Variant In;
    Variant Out;      // read back as a variant
    Integer NativeLen;  // bytes GetData fills, 0 to skip
  };
  const TCase Cases[] = {
      {ftString, 5, Variant(L"abcdefg"), Variant(L"abcde"), 6},
      {ftWideString, 4, Variant(L"Şişli"), Variant(L"Şişl"), 10},
      {ftSmallint, 0, Variant(-12), Variant(-12), 2},
      {ftInteger, 0, Variant(123456), Variant(123456), 4},
      {ftWord, 0, Variant(65000), Variant(65000), 2},
      {ftBoolean, 0, Variant(true), Variant(true), 2},
      {ftFloat, 0, Variant(2.5), Variant(2.5), 8},
      {ftCurrency, 0, Variant(3.25), Variant(3.25), 8},
      {ftBCD, 2, Variant(Currency(12.34)), Variant(Currency(12.34)), 0},
      {ftLargeint, 0, Variant(Int64(1) << 40), Variant(Int64(1) << 40), 8},
      {ftLongWord, 0, Variant(Cardinal(4000000000u)), Variant(Cardinal(4000000000u)), 4},
      {ftShortint, 0, Variant(-5), Variant(-5), 1},
      {ftByte, 0, Variant(200), Variant(200), 1},
      {ftDate, 0, Variant(TDateTime(45000.0)), Variant(TDateTime(45000.0)), 4},
      {ftDateTime, 0, Variant(TDateTime(45000.5)), Variant(TDateTime(45000.5)), 8},
      {ftVariant, 0, Variant(L"any"), Variant(L"any"), 0},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(FieldTypeNames[C.Type]);
    TMemTableKv T(nullptr);
    T.GetFieldDefs()->Add(L"V", C.Type, C.Size);
    T.CreateDataSet();
    T.Append();
    TField* F = T.FieldByName(L"V");
    F->SetAsVariant(C.In);
    T.Post();
    Variant Got = F->GetAsVariant();
    EXPECT_EQ(VarToStr(Got), VarToStr(C.Out));
    if (C.NativeLen > 0) {
      TValueBuffer B;
      ASSERT_TRUE(F->GetData(B));
      EXPECT_GE(Integer(B.size()), C.NativeLen);
    }
    // The stored value is the one read back.
    EXPECT_EQ(VarToStr(T.GetRecordsView()->Rec(0)->GetDataValue(0, dvvValueKv)), VarToStr(C.Out));
    // Null reads back as Null through every form.
    T.Edit();
    F->Clear();
    T.Post();
    EXPECT_TRUE(F->IsNull());
  }
}

TEST(MemTableValues, TextLayoutsAreZeroTerminatedAndBcdIsNativeWhenAsked) {
  TMemTableKv T(nullptr);
  T.GetFieldDefs()->Add(L"S", ftString, 4);
  T.GetFieldDefs()->Add(L"W", ftWideString, 4);
  T.GetFieldDefs()->Add(L"B", ftBCD, 2);
  T.CreateDataSet();
  T.AppendRecord({L"abc", L"İçi", Currency(1.25)});
  TValueBuffer B;
  ASSERT_TRUE(T.GetFieldData(T.FieldByName(L"S"), B));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(B.data())), "abc");
  ASSERT_TRUE(T.GetFieldData(T.FieldByName(L"W"), B));
  EXPECT_EQ(String(reinterpret_cast<const wchar_t*>(B.data())), L"İçi");
  ASSERT_TRUE(T.GetFieldData(T.FieldByName(L"B"), B, false));
  Int64 Raw = 0;
  std::memcpy(&Raw, B.data(), 8);
  EXPECT_EQ(Raw, 12500);
  ASSERT_TRUE(T.GetFieldData(T.FieldByName(L"B"), B, true));
  TBcd Bcd;
  std::memcpy(&Bcd, B.data(), sizeof(Bcd));
  Currency C;
  ASSERT_TRUE(BCDToCurr(Bcd, C));
  EXPECT_EQ(C.Raw(), 12500);
}

TEST(MemTableValues, UnassignedReadsAsEmptyThroughThePointerFormOnly) {
  TMemTableKv T(nullptr);
  T.GetFieldDefs()->Add(L"S", ftString, 10);
  T.CreateDataSet();
  T.Append();  // the new buffer's values are unassigned
  TField* F = T.FieldByName(L"S");
  char Out[11] = "xxxxxxxxxx";
  EXPECT_TRUE(T.GetFieldData(F, static_cast<Pointer>(Out)));
  EXPECT_STREQ(Out, "");
  TValueBuffer B;
  EXPECT_FALSE(T.GetFieldData(F, B));
  T.Cancel();
}

TEST(MemTableValues, BcdRoundsHalfToEvenAndRefusesOverflowKeepingTheValue) {
  TMemTableKv T(nullptr);
  TFieldDef* D = T.GetFieldDefs()->AddFieldDef();
  D->SetName(L"B");
  D->SetDataType(ftBCD);
  D->SetSize(2);
  D->SetPrecision(5);
  T.CreateDataSet();
  auto* F = static_cast<TBCDField*>(T.FieldByName(L"B"));
  F->SetPrecision(5);
  struct TCase {
    const wchar_t* In;
    const wchar_t* Stored;  // null: refused with BCD overflow
  } Cases[] = {{L"1.005", L"1"}, {L"1.015", L"1.02"}, {L"1000", L"1000"}, {L"1000.01", nullptr},
               {L"-1000.01", nullptr}, {L"2.125", L"2.12"}};
  T.Append();
  F->SetAsCurrency(Currency(7));
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.In);
    Variant Before = F->GetAsVariant();
    Currency In = StrToCurr(C.In, TFormatSettings::Invariant());
    if (C.Stored) {
      F->SetAsCurrency(In);
      EXPECT_EQ(F->GetAsCurrency(), StrToCurr(C.Stored, TFormatSettings::Invariant()));
    } else {
      EXPECT_THROW(F->SetAsCurrency(In), EBcdOverflowException);
      EXPECT_EQ(VarToStr(F->GetAsVariant()), VarToStr(Before));
    }
  }
  T.Cancel();
}

TEST(MemTableValues, MisuseRaisesAndStoresNothing) {
  TMemTableKv T(nullptr);
  T.SetName(L"T");
  T.GetFieldDefs()->Add(L"ID", ftInteger);
  T.GetFieldDefs()->Add(L"NAME", ftWideString, 10);
  T.CreateDataSet();
  T.AppendRecord({1, L"a"});
  TField* Id = T.FieldByName(L"ID");
  try {
    Id->SetAsInteger(5);
    FAIL();
  } catch (const EDatabaseError& E) {
    EXPECT_EQ(E.Message(), L"T: Dataset not in edit or insert mode");
  }
  Id->SetReadOnly(true);
  T.Edit();
  try {
    Id->SetAsInteger(5);
    FAIL();
  } catch (const EDatabaseError& E) {
    EXPECT_EQ(E.Message(), L"T: Field 'ID' cannot be modified");
  }
  Id->SetReadOnly(false);
  // A value the field cannot take is refused with the field named; the field keeps its value.
  try {
    T.FieldByName(L"ID")->SetAsVariant(Variant(L"not a number"));
    FAIL();
  } catch (const Exception& E) {
    EXPECT_NE(Pos(L"'ID'", E.Message()), 0) << E.Message().c_str();
  }
  EXPECT_EQ(Id->GetAsInteger(), 1);
  // A value for a variant-typed slot that the stored integer cannot take: the storage's text.
  try {
    Variant V(L"x1");
    T.CheckFieldDataVarValue(Id, V);  // passes through: not a BCD
    T.SetFieldDataAsObject(Id, &T);
    FAIL();
  } catch (const EDatabaseError& E) {
    EXPECT_EQ(Pos(L"Invalid value for field 'ID'", E.Message()), 1) << E.Message().c_str();
  }
  EXPECT_EQ(Id->GetAsInteger(), 1);
  T.Cancel();
  // A field of a type the table cannot keep is refused before the table opens.
  TMemTableKv U(nullptr);
  auto* F = new TMTCursorField(&U);
  F->SetFieldName(L"X");
  F->SetDataSet(&U);
  try {
    U.CreateDataSet();
    FAIL();
  } catch (const EDatabaseError& E) {
    EXPECT_EQ(E.Message(), L"Field 'X' is of an unknown type");
  }
  EXPECT_FALSE(U.GetActive());
  // Closed: opening without a structure names the table.
  TMemTableKv W(nullptr);
  W.SetName(L"W");
  try {
    W.Open();
    FAIL();
  } catch (const EDatabaseError& E) {
    EXPECT_EQ(E.Message(), L"W: MemTable doesn't have data.");
  }
  EXPECT_FALSE(W.GetActive());
}

// ---- Calculated fields ----

TEST_F(MemTableFixture, CalculatedFieldsAreComputedOncePerRow) {
  auto* Calc = new TIntegerField(MT.get());
  Calc->SetFieldName(L"DOUBLE");
  Calc->SetFieldKind(fkCalculated);
  for (const wchar_t* N : {L"ID", L"NAME", L"AMOUNT"}) {
    TField* F = MT->GetFieldDefs()->Find(N)->CreateField(MT.get());
    (void)F;
  }
  Calc->SetDataSet(MT.get());
  Integer Calls = 0;
  MT->SetOnCalcFields([&Calls](TDataSet* D) {
    ++Calls;
    D->FieldByName(L"DOUBLE")->SetAsInteger(D->FieldByName(L"ID")->GetAsInteger() * 2);
  });
  Fill(5);
  Calls = 0;
  MT->Close();
  MT->Open();
  EXPECT_EQ(Calls, 5);
  std::vector<Integer> Doubled;
  for (Integer Round = 0; Round < 3; ++Round)
    for (MT->First(); !MT->Eof(); MT->Next()) Doubled.push_back(MT->FieldByName(L"DOUBLE")->GetAsInteger());
  EXPECT_EQ(Calls, 5);  // scrolling reads the values kept per row
  EXPECT_EQ(std::vector<Integer>(Doubled.begin(), Doubled.begin() + 5), (std::vector<Integer>{2, 4, 6, 8, 10}));
  // An edit computes the edited row again.
  MT->First();
  MT->Edit();
  MT->FieldByName(L"ID")->SetAsInteger(21);
  EXPECT_EQ(MT->FieldByName(L"DOUBLE")->GetAsInteger(), 42);
  MT->Post();
  EXPECT_EQ(MT->FieldByName(L"DOUBLE")->GetAsInteger(), 42);
}

// ---- Cached updates ----

TEST_F(MemTableFixture, CachedUpdatesLogInsertEditDeleteAndCancelRestoresInOrder) {
  Fill(3);
  MT->SetCachedUpdates(true);
  EXPECT_FALSE(MT->HasCachedChanges());
  MT->AppendRecord({4, L"A", 0.0});  // insert A
  MT->SetRecNo(2);
  SetName(L"B2");  // edit B
  MT->SetRecNo(3);
  SetName(L"C2");  // C modified, then deleted: it must come back with its original values
  MT->Delete();
  EXPECT_TRUE(MT->HasCachedChanges());
  EXPECT_EQ(Ids(), (std::vector<Integer>{1, 2, 4}));
  MT->SetRecNo(2);
  EXPECT_EQ(MT->UpdateStatus(), usModified);
  MT->SetRecNo(3);
  EXPECT_EQ(MT->UpdateStatus(), usInserted);
  MT->SetStatusFilter({usModified});
  EXPECT_EQ(Ids(), (std::vector<Integer>{2}));
  MT->SetStatusFilter({usDeleted});
  EXPECT_EQ(Ids(), (std::vector<Integer>{3}));
  EXPECT_EQ(MT->FieldByName(L"NAME")->GetAsString(), L"C2");
  EXPECT_EQ(VarToStr(MT->FieldByName(L"NAME")->GetOldValue()), L"N3");
  MT->SetStatusFilter({usUnmodified, usModified, usInserted});
  MT->CancelUpdates();
  EXPECT_FALSE(MT->HasCachedChanges());
  std::vector<String> Names;
  for (MT->First(); !MT->Eof(); MT->Next()) Names.push_back(MT->FieldByName(L"NAME")->GetAsString());
  EXPECT_EQ(Names, (std::vector<String>{L"N1", L"N2", L"N3"}));
}

TEST_F(MemTableFixture, InsertThenDeleteLeavesNothingPendingAndApplyMerges) {
  Fill(2);
  MT->SetCachedUpdates(true);
  MT->AppendRecord({3, L"X", 0.0});
  MT->Last();
  MT->Delete();
  EXPECT_FALSE(MT->HasCachedChanges());
  MT->First();
  SetName(L"Y");
  EXPECT_TRUE(MT->HasCachedChanges());
  EXPECT_EQ(MT->ApplyUpdates(-1), 0);  // no driver: the log is merged
  EXPECT_FALSE(MT->HasCachedChanges());
  EXPECT_EQ(MT->UpdateStatus(), usUnmodified);
  EXPECT_EQ(MT->FieldByName(L"NAME")->GetAsString(), L"Y");
}

// Cancelling an edit goes back on that record only; the log of the others stays.
TEST_F(MemTableFixture, CancelRevertsOnlyTheCurrentRecord) {
  Fill(3);
  MT->SetCachedUpdates(true);
  SetName(L"first");
  MT->Next();
  MT->Edit();
  MT->FieldByName(L"NAME")->SetAsString(L"second");
  MT->Cancel();
  EXPECT_EQ(MT->FieldByName(L"NAME")->GetAsString(), L"N2");
  EXPECT_TRUE(MT->HasCachedChanges());
  MT->First();
  EXPECT_EQ(MT->FieldByName(L"NAME")->GetAsString(), L"first");
  // Turning the log off now would lose the change: refused, the log kept.
  EXPECT_THROW(MT->SetCachedUpdates(false), EDatabaseError);
  EXPECT_TRUE(MT->GetCachedUpdates());
  MT->RevertRecord();
  EXPECT_EQ(MT->FieldByName(L"NAME")->GetAsString(), L"N1");
  EXPECT_FALSE(MT->HasCachedChanges());
  MT->SetCachedUpdates(false);
  EXPECT_FALSE(MT->GetCachedUpdates());
}

TEST_F(MemTableFixture, WithoutCachedUpdatesNothingIsLogged) {
  Fill(2);
  MT->AppendRecord({3, L"X", 0.0});
  SetName(L"Z");
  MT->Delete();
  EXPECT_FALSE(MT->HasCachedChanges());
  EXPECT_EQ(MT->GetRecordCount(), 2);
}

// ---- Bookmarks ----

TEST_F(MemTableFixture, BookmarkOfAFilteredOutRecordIsValidButNotInView) {
  Fill(4);
  MT->SetRecNo(3);
  TBookmark B = MT->GetBookmark();
  EXPECT_EQ(MT->GetBookmarkSize(), 16);
  MT->GetRecordsView()->SetOnFilterRecord(
      [](TMemoryRecordKv* R, TMemRecViewKv*) { return R->GetDataValue(0, dvvValueKv).AsInteger() != 3; });
  MT->RefilterView();
  EXPECT_TRUE(MT->BookmarkValid(B));
  EXPECT_FALSE(MT->BookmarkInVisibleView(B));
  EXPECT_EQ(MT->BookmarkToRecNo(B), 0);
  try {
    MT->GotoBookmark(B);
    FAIL();
  } catch (const EDatabaseError& E) {
    EXPECT_EQ(E.Message(), L"Items: Record not found");
  }
  MT->GetRecordsView()->SetOnFilterRecord(nullptr);
  MT->RefilterView();
  EXPECT_TRUE(MT->BookmarkInVisibleView(B));
  MT->GotoBookmark(B);
  EXPECT_EQ(Id(), 3);
}

// A deleted record's bookmark never resolves, whatever record comes later.
TEST_F(MemTableFixture, ADeletedRecordsBookmarkNeverFindsALaterRecord) {
  Fill(3);
  MT->SetRecNo(2);
  TBookmark B = MT->GetBookmark();
  MT->Delete();
  for (Integer I = 0; I < 50; ++I) MT->AppendRecord({100 + I, L"new", 0.0});
  MT->SetRecNo(2);  // a record now sits on the old row
  EXPECT_FALSE(MT->BookmarkValid(B));
  EXPECT_EQ(MT->BookmarkToRec(B), nullptr);
  EXPECT_EQ(MT->BookmarkToRecNo(B), 0);
  EXPECT_THROW(MT->GotoBookmark(B), EDatabaseError);
}

TEST_F(MemTableFixture, BookmarksFromRecordsCompareWithTakenOnesAndFollowASort) {
  Fill(5);
  MT->SetRecNo(4);
  TBookmark Taken = MT->GetBookmark();
  TBookmark Made = MT->RecToBookmark(MT->GetRec());
  EXPECT_EQ(MT->CompareBookmarks(Taken, Made), 0);
  MT->SetRecNo(2);
  TBookmark Two = MT->GetBookmark();
  EXPECT_EQ(MT->CompareBookmarks(Two, Taken), -1);
  EXPECT_EQ(MT->CompareBookmarks(Taken, Two), 1);
  EXPECT_EQ(MT->CompareBookmarks(TBookmark(), Two), -1);
  // Re-sorted: every row hint is stale; the bookmarks follow their records.
  MT->GetRecordsView()->SetSortOrder(L"ID DESC");
  MT->RefilterView();
  EXPECT_EQ(MT->CompareBookmarks(Two, Taken), 1);
  MT->GotoBookmark(Taken);
  EXPECT_EQ(Id(), 4);
  EXPECT_EQ(MT->GetRecNo(), 2);
  EXPECT_EQ(MT->BookmarkToRecNo(Two), 4);
  // The string forms answer the same.
  AnsiString S = MT->GetBookmarkStr();
  EXPECT_TRUE(MT->BookmarkStrValid(S));
  EXPECT_EQ(MT->BookmarkStrToRecNo(S), 2);
  EXPECT_EQ(MT->UniBookmarkToRecNo(Two.ToBytes()), 4);
  EXPECT_FALSE(MT->BookmarkStrValid(AnsiString("short")));
}

TEST_F(MemTableFixture, ResyncCallsInsideTheBracketCollapseIntoOne) {
  Fill(3);
  TMTLog Log;
  TDataSource Source(nullptr);
  Source.SetDataSet(MT.get());
  TMTRecordingLink Link(Log);
  Link.SetDataSource(&Source);
  Log.clear();
  MT->BeginRecordsViewUpdate();
  MT->BeginRecordsViewUpdate();
  for (Integer I = 0; I < 5; ++I) MT->Resync({});
  MT->EndRecordsViewUpdate(true);
  EXPECT_TRUE(Log.empty());
  MT->EndRecordsViewUpdate(true);
  EXPECT_EQ(Log, (TMTLog{L"link:DataSetChanged"}));
  // Ending in edit state re-synchronises nothing.
  MT->Edit();
  Log.clear();
  MT->BeginRecordsViewUpdate();
  MT->Resync({});
  MT->EndRecordsViewUpdate(true);
  EXPECT_TRUE(Log.empty());
  MT->Cancel();
  Link.SetDataSource(nullptr);
}

// ---- Blobs ----

TEST(MemTableBlobs, BlobStreamReadsAndWritesTheStoredValue) {
  TMemTableKv T(nullptr);
  T.GetFieldDefs()->Add(L"M", ftMemo);
  T.GetFieldDefs()->Add(L"B", ftBlob);
  T.CreateDataSet();
  T.Append();
  T.FieldByName(L"M")->SetAsString(L"hello");
  auto* Blob = static_cast<TBlobField*>(T.FieldByName(L"B"));
  Blob->SetAsBytes(TBytes{1, 2, 0, 3});
  T.Post();
  EXPECT_EQ(T.FieldByName(L"M")->GetAsString(), L"hello");
  EXPECT_EQ(Blob->GetAsBytes(), (TBytes{1, 2, 0, 3}));
  // Writing outside edit state is refused; reading is not.
  EXPECT_THROW(std::unique_ptr<TStream>(T.CreateBlobStream(Blob, bmWrite)), EDatabaseError);
  std::unique_ptr<TStream> R(T.CreateBlobStream(Blob, bmRead));
  EXPECT_EQ(R->GetSize(), 4);
  T.Edit();
  {
    std::unique_ptr<TStream> W(T.CreateBlobStream(Blob, bmReadWrite));
    W->Seek(0, soEnd);
    Byte Tail = 9;
    W->Write(&Tail, 1);
  }
  T.Post();
  EXPECT_EQ(Blob->GetAsBytes(), (TBytes{1, 2, 0, 3, 9}));
}

// ---- Shared storage ----

TEST_F(MemTableFixture, TwoTablesOnOneStorageKeepTheirOwnOrderAndCursor) {
  Fill(4);
  auto Other = std::make_unique<TMemTableKv>(nullptr);
  Other->SetExternalMemData(MT.get());
  Other->Open();
  Other->GetRecordsView()->SetSortOrder(L"ID DESC");
  Other->RefilterView();
  EXPECT_EQ(Ids(Other.get()), (std::vector<Integer>{4, 3, 2, 1}));
  EXPECT_EQ(Ids(), (std::vector<Integer>{1, 2, 3, 4}));
  MT->AppendRecord({5, L"five", 0.0});
  EXPECT_EQ(Ids(Other.get()), (std::vector<Integer>{5, 4, 3, 2, 1}));
  Other->Last();
  MT->First();
  EXPECT_EQ(Id(Other.get()), 1);
  EXPECT_EQ(Id(), 1);
  EXPECT_THROW(Other->SetExternalMemData(Other.get()), Exception);
  // Freeing the shared table leaves the other on its own (empty) storage.
  MT.reset();
  EXPECT_EQ(Other->GetExternalMemData(), nullptr);
  EXPECT_FALSE(Other->GetActive());
}

}  // namespace
