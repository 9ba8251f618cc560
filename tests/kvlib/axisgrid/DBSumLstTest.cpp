// The summary producer over the framework's array dataset: the values of both paths (a full
// walk and the update from one posted or deleted record), the hooks it chains and gives back,
// the record numbers of its virtual-record list, and its failures.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "framework/DB.h"
#include "framework/FMTBcd.h"
#include "framework/SysUtils.h"
#include "kvlib/axisgrid/DBSumLst.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

// An array dataset with a published MasterSource, as a detail dataset has.
class TSumDetailDataSet : public TArrayDataSet {
  DECLARE_CLASS(TSumDetailDataSet, TArrayDataSet)
 public:
  using TArrayDataSet::TArrayDataSet;
  TDataSource* GetMasterSource() const { return FMasterSource; }
  void SetMasterSource(TDataSource* Value) { FMasterSource = Value; }
  PUBLISHED_DECL(TSumDetailDataSet);

 private:
  TComponentRef<TDataSource> FMasterSource;
};

PUBLISHED_DEF(TSumDetailDataSet) { PROP(MasterSource); }

const TGroupOperation SumTestOps[] = {goSum, goAvg, goCount, goCount, goMin, goMax};

// ID, V (integer), F (float), C (currency), T (text); the producer's items: sum, average,
// count of V, count of records, minimum and maximum, of the field given.
struct TSumFixture {
  explicit TSumFixture(TDataSet* ADataSet = nullptr) : DS(ADataSet ? ADataSet : new TArrayDataSet(nullptr)) {
    DS->GetFieldDefs()->Add(L"ID", ftInteger);
    DS->GetFieldDefs()->Add(L"V", ftInteger);
    DS->GetFieldDefs()->Add(L"F", ftFloat);
    DS->GetFieldDefs()->Add(L"C", ftCurrency);
    DS->GetFieldDefs()->Add(L"T", ftWideString, 20);
    DS->Open();
    DS->SetAfterScroll([this](TDataSet*) { ++Scrolls; });
  }
  ~TSumFixture() {
    P.reset();
    delete DS;
  }
  void Add(const Variant& V, const Variant& F = Null, const Variant& T = Null) {
    bool Money = !F.IsNull() && std::fabs(F.AsDouble()) < 1e12;
    DS->AppendRecord({++LastId, V, F, Money ? Variant(Currency(F.AsDouble())) : Variant(Null), T});
  }
  void Attach(const String& Field = L"V") {
    P = std::make_unique<TDBSumListProducer>(nullptr);
    for (Integer I = 0; I < 6; ++I) {
      TDBSum* S = P->GetSumCollection()->Add();
      S->SetGroupOperation(SumTestOps[I]);
      if (I != 3) S->SetFieldName(Field);
    }
    P->SetSumListChanged([this](TObject*) { ++Changes; });
    P->SetOnRecalcAll([this](TObject*) { ++Recalcs; });
    P->SetOnAfterRecalcAll([this](TObject*) { ++AfterRecalcs; });
    P->SetDataSet(DS);
  }
  Variant Sum(Integer I) { return P->GetSumCollection()->GetItem(I)->SumValue; }
  bool Go(Integer Id) { return DS->Locate(L"ID", Id, {}); }
  void Edit(Integer Id, const String& Field, const Variant& Value) {
    ASSERT_TRUE(Go(Id));
    DS->Edit();
    DS->FieldByName(Field)->SetAsVariant(Value);
    DS->Post();
  }

  TDataSet* DS;
  std::unique_ptr<TDBSumListProducer> P;
  Integer LastId = 0;
  Integer Scrolls = 0, Changes = 0, Recalcs = 0, AfterRecalcs = 0;
};

String SumVariantText(const Variant& V) {
  if (V.IsNull()) return L"Null";
  TFormatSettings Settings;
  Settings.DecimalSeparator = L'.';
  if (VarIsFMTBcd(V)) return BcdToStr(VarToBcd(V), Settings);
  return VarToStr(V);
}

std::vector<String> SumTexts(TSumFixture& F) {
  std::vector<String> R;
  for (Integer I = 0; I < 6; ++I) R.push_back(SumVariantText(F.Sum(I)));
  return R;
}

String SumMessageOf(const std::function<void()>& Call) {
  try {
    Call();
  } catch (const Exception& E) {
    return E.Message();
  }
  return L"(no exception)";
}

}  // namespace

TEST(SummaryProducer, ValuesOfAFullPassAndOfPostedRecordsAgree) {
  const std::vector<String> Expected = {L"60", L"20", L"3", L"4", L"10", L"30"};
  // Full pass over records already there.
  TSumFixture Full;
  for (Variant V : {Variant(10), Variant(Null), Variant(20), Variant(30)}) Full.Add(V);
  Full.Attach();
  EXPECT_EQ(SumTexts(Full), Expected);
  // The same records posted one by one into an empty, watched dataset: no walk after the first.
  // Forty records to delete later make a walk plain to see in the scroll count.
  TSumFixture Posted;
  for (Integer I = 0; I < 40; ++I) Posted.Add(Null);
  Posted.Attach();
  Integer ScrollsBefore = Posted.Scrolls;
  for (Variant V : {Variant(10), Variant(Null), Variant(20), Variant(30)}) Posted.Add(V);
  EXPECT_LE(Posted.Scrolls - ScrollsBefore, 8) << "an append scrolls twice, but no post walks the records";
  for (Integer Id = 1; Id <= 40; ++Id) {
    ASSERT_TRUE(Posted.Go(Id));
    Posted.DS->Delete();
  }
  EXPECT_EQ(SumTexts(Posted), Expected);
}

TEST(SummaryProducer, EmptyDataGivesNullSumsAndZeroCountsOnBothPaths) {
  const std::vector<String> Expected = {L"Null", L"0", L"0", L"0", L"Null", L"Null"};
  TSumFixture F;
  F.Attach();
  EXPECT_EQ(SumTexts(F), Expected);
  F.Add(5);
  F.Add(Null);
  F.DS->Last();
  F.DS->Delete();
  F.DS->First();
  F.DS->Delete();
  EXPECT_EQ(SumTexts(F), Expected);
  // Only nulls: no value to sum or compare, but records to count.
  F.Add(Null);
  EXPECT_EQ(SumTexts(F), (std::vector<String>{L"Null", L"0", L"0", L"1", L"Null", L"Null"}));
}

TEST(SummaryProducer, EditsMoveTheExtremesAndAFullPassFindsTheNextOne) {
  TSumFixture F;
  for (Integer V : {10, 30, 30, 20}) F.Add(V);
  F.Attach();
  struct Case {
    Integer Id;
    Variant Value;
    const wchar_t* Min;
    const wchar_t* Max;
    bool Walks;
  } Cases[] = {
      {2, 25, L"10", L"30", false},    // one of two holders of the maximum leaves it
      {3, 5, L"5", L"25", true},       // the last holder leaves: only a walk knows the next maximum
      {4, Null, L"5", L"25", false},   // nulls take no part
      {1, 40, L"5", L"40", false},     // a new maximum
      {3, 40, L"25", L"40", true},     // the only minimum leaves
  };
  for (const Case& C : Cases) {
    Integer Before = F.Scrolls;
    F.Edit(C.Id, L"V", C.Value);
    SCOPED_TRACE(C.Id);
    EXPECT_EQ(SumVariantText(F.Sum(4)), C.Min);
    EXPECT_EQ(SumVariantText(F.Sum(5)), C.Max);
    EXPECT_EQ(F.Scrolls - Before > 2, C.Walks);
  }
}

TEST(SummaryProducer, AnIncrementalUpdateFiresTheEventsOfAFullPass) {
  TSumFixture F;
  F.Add(1);
  F.Attach();
  F.Changes = F.Recalcs = F.AfterRecalcs = 0;
  F.Edit(1, L"V", 2);
  EXPECT_EQ(F.Recalcs, 1);
  EXPECT_EQ(F.AfterRecalcs, 1);
  EXPECT_GE(F.Changes, 1);
  EXPECT_EQ(SumVariantText(F.Sum(0)), L"2");
}

TEST(SummaryProducer, FloatsCurrencyAndHugeValues) {
  TSumFixture F;
  F.Add(1, 1e300);
  F.Add(2, 1e300);
  F.Attach(L"F");
  Variant Sum = F.Sum(0);
  EXPECT_EQ(Sum.Type(), varDouble);
  EXPECT_DOUBLE_EQ(Sum.AsDouble(), 2e300);
  EXPECT_EQ(F.Sum(4).Type(), varDouble) << "1e300 has more digits than BCD holds";
  // Ordinary amounts stay exact decimals.
  TSumFixture M;
  M.Add(1, 0.1);
  M.Add(2, 0.2);
  M.Attach(L"C");
  EXPECT_TRUE(VarIsFMTBcd(M.Sum(0)));
  EXPECT_EQ(SumVariantText(M.Sum(0)), L"0.3");
  EXPECT_EQ(SumVariantText(M.Sum(1)), L"0.15");
  M.Edit(2, L"C", Currency(0.25));
  EXPECT_EQ(SumVariantText(M.Sum(0)), L"0.35");
}

TEST(SummaryProducer, AFilterChangeRecalculatesOnTheNextScrollAPlainScrollNever) {
  TSumFixture F;
  for (Integer V : {10, 20, 30, 40}) F.Add(V);
  F.Attach();
  F.Recalcs = 0;
  F.DS->First();
  F.DS->Next();
  EXPECT_EQ(F.Recalcs, 0);
  F.DS->SetFilter(L"V > 15");
  F.DS->SetFiltered(true);
  F.DS->First();
  F.DS->Next();
  EXPECT_EQ(SumVariantText(F.Sum(0)), L"90");
  Integer After = F.Recalcs;
  EXPECT_GE(After, 1);
  F.DS->SetFilter(L"V > 25");
  F.DS->First();
  F.DS->Next();
  EXPECT_EQ(SumVariantText(F.Sum(0)), L"70");
  F.DS->Prior();
  F.DS->Next();
  EXPECT_EQ(F.Recalcs, After + 1);
}

TEST(SummaryProducer, ExternalRecalcLeavesTheValuesToTheApplication) {
  TSumFixture F;
  F.Add(10);
  F.Attach();
  F.Changes = F.Recalcs = F.AfterRecalcs = 0;
  Integer Scrolls = F.Scrolls;
  F.P->SetOnRecalcAll([&F](TObject*) {
    ++F.Recalcs;
    F.P->GetSumCollection()->GetItem(0)->SumValue = 99;
  });
  F.P->SetExternalRecalc(true);
  EXPECT_EQ(F.Recalcs, 1);
  EXPECT_GE(F.Changes, 1);
  EXPECT_EQ(F.AfterRecalcs, 0);
  EXPECT_EQ(F.Scrolls, Scrolls);
  EXPECT_EQ(F.Sum(0).AsInteger(), 99);
  // A post asks the application again.
  F.Edit(1, L"V", 11);
  EXPECT_EQ(F.Recalcs, 2);
  EXPECT_EQ(F.AfterRecalcs, 0);
}

TEST(SummaryProducer, VirtualRecordsNumberTheRecordsInScanOrder) {
  TSumFixture F;
  for (Integer V : {5, 6, 7, 8, 9}) F.Add(V);
  F.DS->SetFilter(L"V <> 6");
  F.DS->SetFiltered(true);
  F.Attach();
  F.P->SetVirtualRecords(true);
  EXPECT_EQ(F.P->RecordCount(), 4);
  F.DS->First();
  F.DS->Next();
  F.DS->Next();
  EXPECT_EQ(F.DS->FieldByName(L"V")->GetAsInteger(), 8);
  EXPECT_EQ(F.P->RecNo(), 3);
  F.P->SetRecNo(2);
  EXPECT_EQ(F.DS->FieldByName(L"V")->GetAsInteger(), 7);
  F.P->SetRecNo(4);
  EXPECT_EQ(F.P->RecNo(), 4);
}

TEST(SummaryProducer, TheReplacedAfterPostHandlerRunsWhileTheProducerIsInactive) {
  TComponent Owner(nullptr);
  TSumFixture F;
  F.Add(1);
  Integer Posts = 0;
  F.DS->SetAfterPost([&Posts](TDataSet*) { ++Posts; });
  F.P = std::make_unique<TDBSumListProducer>(&Owner);
  F.P->GetSumCollection()->Add()->SetFieldName(L"V");
  F.P->SetDataSet(F.DS);
  ASSERT_TRUE(F.P->GetEventsOverloaded());
  // While its owner loads, deactivating leaves the hooks in place.
  Owner.SetState(csLoading, true);
  F.P->SetActive(false);
  Owner.SetState(csLoading, false);
  ASSERT_TRUE(F.P->GetEventsOverloaded());
  F.Edit(1, L"V", 5);
  EXPECT_EQ(Posts, 1);
  EXPECT_EQ(SumVariantText(F.Sum(0)), L"1") << "no recalculation while inactive";
}

TEST(SummaryProducer, UnhookingGivesBackOnlyItsOwnHandlers) {
  TSumFixture F;
  F.Add(1);
  Integer Mine = 0, Later = 0;
  F.DS->SetAfterPost([&Mine](TDataSet*) { ++Mine; });
  F.Attach();
  // Another component hooks after the producer and chains to it.
  TDataSetNotifyEvent Chained = F.DS->GetAfterPost();
  F.DS->SetAfterPost([&Later, Chained](TDataSet* D) {
    ++Later;
    DoEvent(Chained, D);
  });
  F.P->SetActive(false);
  F.Edit(1, L"V", 2);
  EXPECT_EQ(Later, 1) << "the later handler stays installed";
  EXPECT_EQ(Mine, 1) << "and still reaches the first one";
  F.P.reset();
  F.Edit(1, L"V", 3);
  EXPECT_EQ(Later, 2);
  EXPECT_EQ(Mine, 2) << "through the freed producer's link";
  // Nobody hooked on top: the original handler comes back exactly.
  TSumFixture G;
  TDataSetNotifyEvent Own([](TDataSet*) {});
  G.DS->SetAfterDelete(Own);
  G.Attach();
  EXPECT_NE(G.DS->GetAfterDelete(), Own);
  G.P->SetActive(false);
  EXPECT_EQ(G.DS->GetAfterDelete(), Own);
}

TEST(SummaryProducer, AFreedMasterOrDataSetIsForgotten) {
  auto* Master = new TArrayDataSet(nullptr);
  Master->GetFieldDefs()->Add(L"K", ftInteger);
  Master->Open();
  Master->AppendRecord({1});
  Master->AppendRecord({2});
  TDataSource Source(nullptr);
  Source.SetDataSet(Master);
  auto* Detail = new TSumDetailDataSet(nullptr);
  Detail->SetMasterSource(&Source);
  TSumFixture F(Detail);
  F.Add(4);
  F.Attach();
  Master->First();
  F.Recalcs = 0;
  Master->Next();
  EXPECT_EQ(F.Recalcs, 1) << "a scroll of the master recalculates";
  delete Master;
  F.P->SetActive(false);  // would write into the freed master
  F.P->SetActive(true);
  EXPECT_EQ(SumVariantText(F.Sum(0)), L"4");
  // A freed dataset: the producer stays usable and writes nothing into it.
  delete F.DS;
  F.DS = new TArrayDataSet(nullptr);
  EXPECT_EQ(F.P->GetDataSet(), nullptr);
  EXPECT_FALSE(F.P->GetEventsOverloaded());
  F.P->SetActive(false);
}

TEST(SummaryProducer, AnUnknownFieldRaisesBeforeTheDataSetMoves) {
  TSumFixture F;
  for (Integer V : {1, 2, 3}) F.Add(V);
  F.Attach();
  ASSERT_TRUE(F.Go(2));
  Integer Scrolls = F.Scrolls;
  F.Changes = 0;
  EXPECT_EQ(SumMessageOf([&F] { F.P->GetSumCollection()->GetItem(0)->SetFieldName(L"TXX"); }), L"Field 'TXX' not found");
  EXPECT_EQ(F.Scrolls, Scrolls);
  EXPECT_EQ(F.DS->FieldByName(L"ID")->GetAsInteger(), 2);
  EXPECT_FALSE(F.DS->ControlsDisabled());
  EXPECT_GE(F.Changes, 1);
  EXPECT_TRUE(F.Sum(0).IsNull());
  EXPECT_EQ(SumVariantText(F.Sum(2)), L"0");
}

TEST(SummaryProducer, AFailedWalkRestoresControlsAndPosition) {
  TSumFixture F;
  for (Integer I = 1; I <= 5; ++I) F.Add(I, Null, I == 4 ? String(L"dört") : IntToStr(I * 10));
  F.Attach(L"V");
  ASSERT_TRUE(F.Go(3));
  Integer Active = F.DS->GetActiveRecord();
  F.Changes = 0;
  EXPECT_NE(SumMessageOf([&F] { F.P->GetSumCollection()->GetItem(0)->SetFieldName(L"T"); }), L"(no exception)");
  EXPECT_FALSE(F.DS->ControlsDisabled());
  EXPECT_EQ(F.DS->FieldByName(L"ID")->GetAsInteger(), 3);
  EXPECT_EQ(F.DS->GetActiveRecord(), Active);
  EXPECT_GE(F.Changes, 1);
  EXPECT_TRUE(F.Sum(0).IsNull()) << "a partial sum is no sum";
  // Texts that are numbers sum as numbers.
  F.Edit(4, L"T", String(L"40"));
  F.P->RecalcAll();
  EXPECT_EQ(SumVariantText(F.Sum(0)), L"150");
}

TEST(SummaryProducer, ItemsFindTheirSummaryByOperationAndField) {
  TDBSumListProducer P(nullptr);
  TDBSum* A = P.GetSumCollection()->Add();
  A->SetFieldName(L"Tutar");
  TDBSum* B = P.GetSumCollection()->Add();
  B->SetGroupOperation(goMax);
  B->SetFieldName(L"TUTAR");
  EXPECT_EQ(P.GetSumCollection()->GetSumByOpAndFName(goMax, L"tutar"), B);
  EXPECT_EQ(P.GetSumCollection()->GetSumByOpAndFName(goSum, L"TUTAR"), A);
  EXPECT_EQ(P.GetSumCollection()->GetSumByOpAndFName(goMin, L"Tutar"), nullptr);
  TDBSumListProducer Q(nullptr);
  Q.Assign(&P);
  ASSERT_EQ(Q.GetSumCollection()->GetCount(), 2);
  EXPECT_EQ(Q.GetSumCollection()->GetItem(1)->GetGroupOperation(), goMax);
  EXPECT_EQ(Q.GetSumCollection()->GetItem(1)->GetFieldName(), L"TUTAR");
}

// An oracle: after each of many random inserts, edits and deletes the producer's values equal
// those of a fresh full pass.
TEST(SummaryProducer, RandomChangesKeepTheValuesOfAFullPass) {
  for (const wchar_t* Field : {L"V", L"F", L"C"}) {
    SCOPED_TRACE(Field);
    TSumFixture F;
    std::mt19937 Rng(55);
    auto RandomValue = [&Rng]() -> Variant {
      Integer R = Integer(Rng() % 100);
      if (R < 10) return Null;
      return Integer(Rng() % 50) - 10;
    };
    for (Integer I = 0; I < 20; ++I) F.Add(RandomValue(), Double(Rng() % 100000) / 100);
    F.Attach(Field);
    TSumFixture Check;
    Check.Attach(Field);
    Check.P->SetFullRecalcOnly(true);
    for (Integer Step = 0; Step < 1000; ++Step) {
      Integer Kind = Integer(Rng() % 3);
      Integer Count = F.DS->GetRecordCount();
      if (Kind == 0 || Count < 5) {
        F.Add(RandomValue(), Rng() % 7 == 0 ? Variant(Null) : Variant(Double(Rng() % 100000) / 100));
      } else {
        F.DS->SetRecNo(Integer(Rng() % Count) + 1);
        if (Kind == 1) {
          F.DS->Edit();
          F.DS->FieldByName(L"V")->SetAsVariant(RandomValue());
          F.DS->FieldByName(L"F")->SetAsVariant(Double(Rng() % 100000) / 100);
          F.DS->FieldByName(L"C")->SetAsVariant(Currency(Double(Rng() % 100000) / 100));
          F.DS->Post();
        } else {
          F.DS->Delete();
        }
      }
      if (Step % 50 != 49) continue;
      // The check producer walks the same dataset.
      Check.P->SetDataSet(F.DS);
      Check.P->RecalcAll();
      for (Integer I = 0; I < 6; ++I) {
        Variant A = F.Sum(I), B = Check.Sum(I);
        ASSERT_EQ(A.IsNull(), B.IsNull()) << Step << " " << I;
        if (A.IsNull()) continue;
        Double X = VarIsFMTBcd(A) ? BcdToDouble(VarToBcd(A)) : A.AsDouble();
        Double Y = VarIsFMTBcd(B) ? BcdToDouble(VarToBcd(B)) : B.AsDouble();
        if (String(Field) == L"F")
          ASSERT_NEAR(X, Y, 1e-12 * std::max(1.0, std::fabs(Y))) << Step << " " << I;
        else
          ASSERT_EQ(SumVariantText(A), SumVariantText(B)) << Step << " " << I;
      }
      Check.P->SetDataSet(nullptr);
    }
  }
}
