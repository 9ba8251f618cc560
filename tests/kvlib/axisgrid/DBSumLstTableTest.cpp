// The summary producer over a dataset that offers the in-memory table interface: it takes the
// table's aggregates instead of walking the records, and walks when the table cannot answer.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "framework/DB.h"
#include "framework/FMTBcd.h"
#include "framework/SysUtils.h"
#include "kvlib/axisgrid/DBSumLst.h"
#include "kvlib/foundation/MemTableIntfKv.h"
#include "tests/framework/db/ArrayDataSet.h"
#include "tests/kvlib/axisgrid/MemTableFakeTestUtil.h"

namespace {

// An array dataset answering the table's aggregate questions from a table of canned answers, and
// counting what it is asked.
class TSumTableDataSet : public axisgridtest::TFakeMemTableDataSet {
 public:
  using TFakeMemTableDataSet::TFakeMemTableDataSet;

  struct TCall {
    String FieldName;
    TAggrFunctionsKv Funcs;
    bool WholeView;
  };
  std::vector<TCall> Calls;
  Integer FullFetches = 0;
  TAggrResultArr Answers;
  bool BookmarkAnswer = true;

  Integer FetchRecords(Integer Count) override {
    if (Count == -1) ++FullFetches;
    return 0;
  }
  void GetAggregatedValuesForRange(const TBookmark& FromBM, const TBookmark& ToBM, const String& FieldName,
                                   TAggrResultArr& ResultArr, TAggrFunctionsKv AggrFuncs) override {
    Calls.push_back({FieldName, AggrFuncs, !FromBM && !ToBM});
    for (Integer F = 0; F < 5; ++F)
      if (AggrFuncs.Contains(TAggrFunctionKv(F))) ResultArr[F] = Answers[F];
  }
  bool BookmarkInVisibleView(const TBookmark&) override { return BookmarkAnswer; }
};

const TGroupOperation SumTableOps[] = {goSum, goAvg, goCount, goCount, goMin, goMax};

// ID, V (integer) and W, calculated as V * 2; values 10, Null, 20, 30. The producer's items: sum,
// average, count of the field given, count of records, minimum and maximum.
struct TSumTableFixture {
  TSumTableFixture() : DS(new TSumTableDataSet(nullptr)) {
    DS->GetFieldDefs()->Add(L"ID", ftInteger);
    DS->GetFieldDefs()->Add(L"V", ftInteger);
    for (TFieldDef* D : DS->GetFieldDefList()) D->CreateField(DS);
    auto* W = new TIntegerField(DS);
    W->SetFieldName(L"W");
    W->SetFieldKind(fkCalculated);
    W->SetDataSet(DS);
    DS->SetOnCalcFields([](TDataSet* D) {
      TField* V = D->FieldByName(L"V");
      if (!V->IsNull()) D->FieldByName(L"W")->SetAsInteger(V->GetAsInteger() * 2);
    });
    DS->Open();
    Integer Id = 0;
    for (Variant V : {Variant(10), Variant(Null), Variant(20), Variant(30)}) DS->AppendRecord({++Id, V});
    DS->SetAfterScroll([this](TDataSet*) { ++Scrolls; });
    DS->Answers = {Variant(600), Variant(7), Variant(2.5), Variant(1), Variant(99)};
  }
  ~TSumTableFixture() {
    P.reset();
    delete DS;
  }
  void Attach(const String& Field = L"V", bool VirtualRecords = false) {
    P = std::make_unique<TDBSumListProducer>(nullptr);
    for (Integer I = 0; I < 6; ++I) {
      TDBSum* S = P->GetSumCollection()->Add();
      S->SetGroupOperation(SumTableOps[I]);
      if (I != 3) S->SetFieldName(Field);
    }
    P->SetSumListChanged([this](TObject*) { ++Changes; });
    P->SetVirtualRecords(VirtualRecords);
    P->SetDataSet(DS);
  }
  std::vector<String> Texts() {
    std::vector<String> R;
    TFormatSettings Settings;
    Settings.DecimalSeparator = L'.';
    for (Integer I = 0; I < 6; ++I) {
      const Variant& V = P->GetSumCollection()->GetItem(I)->SumValue;
      R.push_back(V.IsNull() ? String(L"Null") : VarIsFMTBcd(V) ? BcdToStr(VarToBcd(V), Settings) : VarToStr(V));
    }
    return R;
  }

  TSumTableDataSet* DS;
  std::unique_ptr<TDBSumListProducer> P;
  Integer Scrolls = 0, Changes = 0;
};

}  // namespace

TEST(SummaryProducerOverTable, TakesEachItemsAggregateFromTheTableWithoutWalking) {
  TSumTableFixture F;
  F.Attach();
  // The canned answers are no summary of the records: they show where the values came from.
  EXPECT_EQ(F.Texts(), (std::vector<String>{L"600", L"2.5", L"7", L"7", L"1", L"99"}));
  EXPECT_TRUE(VarIsFMTBcd(F.P->GetSumCollection()->GetItem(0)->SumValue));
  EXPECT_EQ(F.Scrolls, 0) << "no record was visited";
  EXPECT_EQ(F.DS->FullFetches, 1);
  ASSERT_EQ(F.DS->Calls.size(), 6u);
  const TAggrFunctionKv Expected[] = {agfSumKv, agfAvg, agfCountKv, agfCountKv, agfMin, agfMax};
  for (Integer I = 0; I < 6; ++I) {
    SCOPED_TRACE(I);
    EXPECT_EQ(F.DS->Calls[I].FieldName, I == 3 ? String() : String(L"V"));
    EXPECT_EQ(F.DS->Calls[I].Funcs, TAggrFunctionsKv{Expected[I]});
    EXPECT_TRUE(F.DS->Calls[I].WholeView);
  }
  EXPECT_GE(F.Changes, 1);

  // A post asks the table again: its accumulators were never filled for an update in place.
  F.DS->Answers[agfSumKv] = 601;
  Integer Calls = Integer(F.DS->Calls.size());
  F.DS->First();
  F.DS->Edit();
  F.DS->FieldByName(L"V")->SetAsInteger(11);
  F.DS->Post();
  EXPECT_EQ(Integer(F.DS->Calls.size()), Calls + 6);
  EXPECT_EQ(F.Texts()[0], L"601");
}

TEST(SummaryProducerOverTable, ATableWithoutValuesGivesWhatTheWalkGivesOnEmptyData) {
  // A Null minimum or maximum is not 0, and both paths must agree.
  TSumTableFixture F;
  F.DS->Answers.fill(Null);
  F.Attach();
  EXPECT_EQ(F.Texts(), (std::vector<String>{L"Null", L"0", L"0", L"0", L"Null", L"Null"}));
}

TEST(SummaryProducerOverTable, WalksWhenTheTableCannotAnswer) {
  struct TCase {
    const wchar_t* Name;
    const wchar_t* Field;
    bool VirtualRecords;
    std::vector<String> Expected;
  };
  const TCase Cases[] = {
      {L"a calculated field", L"W", false, {L"120", L"40", L"3", L"4", L"20", L"60"}},
      {L"virtual records", L"V", true, {L"60", L"20", L"3", L"4", L"10", L"30"}},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TSumTableFixture F;
    F.Attach(C.Field, C.VirtualRecords);
    EXPECT_EQ(F.Texts(), C.Expected);
    EXPECT_EQ(F.DS->FullFetches, 0);
    EXPECT_TRUE(F.DS->Calls.empty());
    if (C.VirtualRecords) EXPECT_EQ(F.P->RecordCount(), 4);
  }
}

TEST(SummaryProducerOverTable, TheVisibleViewIsTheTables) {
  TSumTableFixture F;
  F.Attach();
  TBookmark B = F.DS->GetBookmark();
  EXPECT_TRUE(F.P->BookmarkInVisibleView(B));
  F.DS->BookmarkAnswer = false;
  EXPECT_FALSE(F.P->BookmarkInVisibleView(B)) << "a valid bookmark the table's view hides";
}
