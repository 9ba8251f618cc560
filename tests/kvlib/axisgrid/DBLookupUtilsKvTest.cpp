// A bar's lookup: display texts through the sorted cache and through the lookup dataset's Lookup,
// the cache following changes of the lookup data, the setup errors, a lookup taken from the bound
// lookup field, the in-memory table paths and the grid's UpdateData adding a text not in the list.

#include <gtest/gtest.h>

#include <vector>

#include "kvlib/axisgrid/dbaxisgrids/DBLookupUtilsKv.h"
#include "tests/kvlib/axisgrid/AxisGridTestUtil.h"
#include "tests/kvlib/axisgrid/MemTableFakeTestUtil.h"

using namespace axisgridtest;

namespace {

// A lookup table that counts its receivers and can send them a view event.
class TLookupTableDataSet : public TFakeMemTableDataSet {
 public:
  using TFakeMemTableDataSet::TFakeMemTableDataSet;
  std::vector<TObject*> Receivers;
  Integer Registrations = 0, Unregistrations = 0;
  Integer Enters = 0, Leaves = 0;
  Integer EnteredRow = -2;
  void RegisterEventReceiver(TObject* O) override {
    ++Registrations;
    Receivers.push_back(O);
  }
  void UnregisterEventReceiver(TObject* O) override {
    ++Unregistrations;
    std::erase(Receivers, O);
  }
  void SendRowChanged() {
    for (TObject* O : std::vector<TObject*>(Receivers))
      if (auto* R = dynamic_cast<IMTEventReceiverKv*>(O)) R->MTViewEvent(0, mtRowChangedKv, -1);
  }
  // Reads view row RowNum by moving to it, as the grid's dataset would answer instantly.
  void InstantReadEnter(Integer RowNum) override {
    ++Enters;
    EnteredRow = RowNum;
    FSaved = GetRecNo();
    SetRecNo(RowNum + 1);
  }
  void InstantReadLeave() override {
    ++Leaves;
    SetRecNo(FSaved);
  }

 private:
  Integer FSaved = 0;
};

enum class TLookupKindTest { Array, Table };

// Master K1, K2 = (1, "A"), (1, "B"), (2, "Z"); lookup (1, "A", "Alpha"), (1, "B", "Beta"),
// (3, "C", "Işık"); the grid shows one stored bar on K1 with the column lookup "K1;K2" ->
// "LK1;LK2", display "TXT".
struct TLookupFixture {
  ctltest::TFormHolder Form{600, 400};
  TArrayDataSet* Master;
  TArrayDataSet* LookupDS;
  TDataSource* Source;
  TTestAxisGridKv* Grid;
  TAxisBarKv* Bar = nullptr;

  explicit TLookupFixture(TLookupKindTest Kind = TLookupKindTest::Array, TLookupKindTest MasterKind = TLookupKindTest::Array)
      : Master(MasterKind == TLookupKindTest::Table ? new TLookupTableDataSet(Form.Form) : new TArrayDataSet(Form.Form)),
        LookupDS(Kind == TLookupKindTest::Table ? new TLookupTableDataSet(Form.Form) : new TArrayDataSet(Form.Form)),
        Source(new TDataSource(Form.Form)),
        Grid(new TTestAxisGridKv(Form.Form)) {
    Master->GetFieldDefs()->Add(L"K1", ftInteger);
    Master->GetFieldDefs()->Add(L"K2", ftWideString, 10);
    Master->Open();
    Master->AppendRecord({1, L"A"});
    Master->AppendRecord({1, L"B"});
    Master->AppendRecord({2, L"Z"});
    Master->First();
    LookupDS->GetFieldDefs()->Add(L"LK1", ftInteger);
    LookupDS->GetFieldDefs()->Add(L"LK2", ftWideString, 10);
    LookupDS->GetFieldDefs()->Add(L"TXT", ftWideString, 20);
    LookupDS->Open();
    LookupDS->AppendRecord({3, L"C", L"Işık"});
    LookupDS->AppendRecord({1, L"B", L"Beta"});
    LookupDS->AppendRecord({1, L"A", L"Alpha"});
    LookupDS->First();
    Source->SetDataSet(Master);
    Grid->SetBorderStyle(bsNone);
    Grid->SetBounds(0, 0, 400, 200);
    Grid->SetParent(Form.Form);
    Grid->HandleNeeded();
    Grid->SetDataSource(Source);
  }
  // The column lookup on a stored bar over K1.
  TDBLookupDataKv* SetUp(const wchar_t* Keys = L"K1;K2", const wchar_t* LookupKeys = L"LK1;LK2") {
    Bar = Grid->GetAxisBars()->Add();
    Bar->SetFieldName(L"K1");
    TDBLookupDataKv* L = Bar->GetLookupParams();
    L->SetKeyFieldNames(Keys);
    L->SetLookupDataSet(LookupDS);
    L->SetLookupKeyFieldNames(LookupKeys);
    L->SetLookupDisplayFieldName(L"TXT");
    return L;
  }
  TLookupTableDataSet* Table() const { return dynamic_cast<TLookupTableDataSet*>(LookupDS); }
};

String LookupTextOf(const Variant& V) {
  if (VarIsEmpty(V)) return L"<unassigned>";
  if (VarIsNull(V)) return L"<null>";
  return VarToStr(V);
}

}  // namespace

TEST(DBLookupData, DisplayTextWithCacheOnAndOff) {
  struct TCase {
    Integer RecNo;
    bool Cache;
    const wchar_t* Text;
    const wchar_t* Value;
  };
  const TCase Cases[] = {
      {1, true, L"Alpha", L"Alpha"}, {2, true, L"Beta", L"Beta"}, {3, true, L"", L"<unassigned>"},
      {1, false, L"Alpha", L"Alpha"}, {2, false, L"Beta", L"Beta"}, {3, false, L"", L"<null>"},
  };
  for (const TCase& C : Cases) {
    TLookupFixture F;
    TDBLookupDataKv* L = F.SetUp();
    L->SetLookupCache(C.Cache);
    ASSERT_TRUE(L->GetLookupActive());
    EXPECT_EQ(F.Bar->GetBarType(), ctLookupField);
    F.LookupDS->SetRecNo(2);
    F.Master->SetRecNo(C.RecNo);
    EXPECT_EQ(F.Bar->DisplayText(), C.Text) << C.RecNo << C.Cache;
    Variant V;
    L->GetLookupValue(V);
    EXPECT_EQ(LookupTextOf(V), C.Value) << C.RecNo << C.Cache;
    // Neither path moves the lookup dataset.
    EXPECT_EQ(F.LookupDS->GetRecNo(), 2);
    EXPECT_FALSE(F.LookupDS->ControlsDisabled());
  }
}

TEST(DBLookupData, TurkishTextAndOneKeyField) {
  TLookupFixture F;
  TDBLookupDataKv* L = F.SetUp(L"K1", L"LK1");
  F.Master->Edit();
  F.Master->FieldByName(L"K1")->SetAsInteger(3);
  F.Master->Post();
  EXPECT_EQ(F.Bar->DisplayText(), L"Işık");
  EXPECT_EQ(F.Bar->GetDropDownBoxListField(), L"TXT");
  L->SetLookupCache(false);
  EXPECT_EQ(F.Bar->DisplayText(), L"Işık");
}

TEST(DBLookupData, SetupErrors) {
  struct TCase {
    const char* Name;
    void (*Act)(TLookupFixture&);
    const wchar_t* Message;
  };
  const TCase Cases[] = {
      {"unknown display field", [](TLookupFixture& F) { F.Bar->GetLookupParams()->SetLookupDisplayFieldName(L"TXX"); },
       L"Field 'TXX' not found"},
      {"unknown key field", [](TLookupFixture& F) { F.Bar->GetLookupParams()->SetKeyFieldNames(L"K1;TXX"); },
       L"Field 'TXX' not found"},
      {"lookup on the grid's own dataset", [](TLookupFixture& F) { F.Bar->GetLookupParams()->SetLookupDataSet(F.Master); },
       L"Circular datalinks are not allowed"},
  };
  for (const TCase& C : Cases) {
    TLookupFixture F;
    F.SetUp();
    EXPECT_EQ(CaughtMessage([&] { C.Act(F); }), C.Message) << C.Name;
    // The painting path never raises after a failed setup.
    EXPECT_NO_THROW(F.Bar->DisplayText()) << C.Name;
  }
}

TEST(DBLookupData, ClosedLookupDataSetIsInactive) {
  TLookupFixture F;
  TDBLookupDataKv* L = F.SetUp();
  ASSERT_TRUE(L->GetLookupActive());
  F.LookupDS->Close();
  EXPECT_FALSE(L->GetLookupActive());
  EXPECT_TRUE(L->LookupIsSetUp());
  Variant V = 5;
  L->GetLookupValue(V);
  EXPECT_TRUE(VarIsNull(V));
  F.LookupDS->Open();
  EXPECT_TRUE(L->GetLookupActive());
  EXPECT_EQ(F.Bar->DisplayText(), L"Alpha");
}

TEST(DBLookupData, CacheFollowsLookupChangesButNotScrolls) {
  TLookupFixture F;
  TDBLookupDataKv* L = F.SetUp();
  F.Master->SetRecNo(3);  // (2, "Z"): not yet in the lookup table
  EXPECT_EQ(F.Bar->DisplayText(), L"");
  Integer Fills = L->GetCacheFillCount();
  EXPECT_EQ(F.Bar->DisplayText(), L"");
  EXPECT_EQ(L->GetCacheFillCount(), Fills);
  F.LookupDS->Last();
  F.LookupDS->First();
  EXPECT_EQ(F.Bar->DisplayText(), L"");
  EXPECT_EQ(L->GetCacheFillCount(), Fills) << "a scroll refilled the cache";
  F.LookupDS->AppendRecord({2, L"Z", L"Zeta"});
  EXPECT_EQ(F.Bar->DisplayText(), L"Zeta");
  EXPECT_EQ(L->GetCacheFillCount(), Fills + 1);
  // Renaming a key's text shows too, and so on the next paint.
  F.LookupDS->Edit();
  F.LookupDS->FieldByName(L"TXT")->SetAsString(L"Zeytin");
  F.LookupDS->Post();
  F.Form.Form->Show();
  F.Grid->Painted.clear();
  F.Grid->Invalidate();
  F.Grid->Update();
  bool Seen = false;
  for (const TPaintedCell& C : F.Grid->Painted)
    if (C.Row == 3 && C.Col == F.Bar->GetIndex()) Seen = C.Text == L"Zeytin";
  EXPECT_TRUE(Seen);
}

TEST(DBLookupData, FailedFillFallsBackToLookup) {
  TLookupFixture F;
  TDBLookupDataKv* L = F.SetUp();
  Integer Scrolls = 0;
  F.LookupDS->SetAfterScroll([&](TDataSet*) {
    if (++Scrolls == 2) throw Exception(L"read failed");
  });
  F.LookupDS->SetRecNo(2);
  Scrolls = 0;
  F.Master->SetRecNo(2);
  EXPECT_EQ(F.Bar->DisplayText(), L"Beta");  // through Lookup: the partial pairs are dropped
  EXPECT_FALSE(F.LookupDS->ControlsDisabled());
  EXPECT_TRUE(F.LookupDS->GetActive());
  // The next change refills, and the cache answers again.
  F.LookupDS->SetAfterScroll(nullptr);
  F.LookupDS->AppendRecord({2, L"Z", L"Zeta"});
  Integer Fills = L->GetCacheFillCount();
  EXPECT_EQ(F.Bar->DisplayText(), L"Beta");
  EXPECT_EQ(L->GetCacheFillCount(), Fills + 1);
}

TEST(DBLookupData, MismatchedKeyCountsNeverRaiseWhilePainting) {
  TLookupFixture F;
  TDBLookupDataKv* L = F.SetUp(L"K1", L"LK1;LK2");
  EXPECT_FALSE(L->GetLookupActive());
  // The bar shows its own field instead.
  EXPECT_NO_THROW(EXPECT_EQ(F.Bar->DisplayText(), L"1"));
}

TEST(LookupList, SortedSearchFindsFirstOfEqualKeysAndNull) {
  TLookupListKv List;
  List.Add(3, L"three");
  List.Add(Null, L"none");
  List.Add(1, L"one");
  List.Add(3, L"three again");
  List.Add(2, L"two");
  List.SortData();
  EXPECT_EQ(VarToStr(List.ValueOfKey(3)), L"three");
  EXPECT_EQ(VarToStr(List.ValueOfKey(Null)), L"none");
  EXPECT_EQ(VarToStr(List.ValueOfKey(2)), L"two");
  EXPECT_TRUE(VarIsEmpty(List.ValueOfKey(4)));
  EXPECT_TRUE(VarIsEmpty(List.ValueOfKey(0)));
}

TEST(LookupList, IntegerKeysAnswerKeysOfOtherKinds) {
  TLookupListKv List;
  for (Integer K : {5, -3, 40, 7, 5}) List.Add(K, K * 10 + (K == 5 && List.GetCount() > 0 ? 1 : 0));
  List.SortData();
  EXPECT_EQ(List.ValueOfKey(5), Variant(50));
  EXPECT_EQ(List.ValueOfKey(Variant(Int64(-3))), Variant(-30));
  EXPECT_EQ(List.ValueOfKey(7.0), Variant(70));
  EXPECT_TRUE(VarIsEmpty(List.ValueOfKey(Null)));
  EXPECT_TRUE(VarIsEmpty(List.ValueOfKey(41)));
  TLookupListKv Texts;
  for (const wchar_t* K : {L"Şeker", L"Elma", L"Işık"}) Texts.Add(K, String(K) + L"!");
  Texts.SortData();
  for (const wchar_t* K : {L"Şeker", L"Elma", L"Işık"}) EXPECT_EQ(VarToStr(Texts.ValueOfKey(K)), String(K) + L"!");
  EXPECT_TRUE(VarIsEmpty(Texts.ValueOfKey(L"ışık")));
}

TEST(LookupList, KeysThatCannotBeCompared) {
  TLookupListKv List;
  List.Add(VarArrayOf({1, L"A"}), L"Alpha");
  List.Add(VarArrayOf({1, L"B"}), L"Beta");
  List.SortData();
  EXPECT_EQ(VarToStr(List.ValueOfKey(VarArrayOf({1, L"B"}))), L"Beta");
  EXPECT_EQ(CaughtMessage([&] { List.ValueOfKey(1); }), L"TMTIndexKv.FindKeyValueIndex: values is not comparable.");
  Variant V = 7;
  EXPECT_FALSE(List.FindValue(1, V));
  EXPECT_TRUE(VarIsEmpty(V));
}

TEST(LookupList, ManyRecordsInRandomOrder) {
  TLookupListKv List;
  const Integer N = 200000;
  for (Integer I = 0; I < N; ++I) {
    Integer K = Integer((int64_t(I) * 7919) % N);  // a permutation of 0..N-1
    List.Add(K, K * 2);
  }
  List.SortData();
  for (Integer K : {0, 1, N / 2, N - 1}) EXPECT_EQ(List.ValueOfKey(K), Variant(K * 2));
  EXPECT_TRUE(VarIsEmpty(List.ValueOfKey(N)));
}

TEST(DBLookupData, LookupFieldDefinesTheLookup) {
  ctltest::TFormHolder Form{600, 400};
  TLookupFixture Base;  // only for its lookup table
  auto* M = new TArrayDataSet(Form.Form);
  M->GetFieldDefs()->Add(L"K1", ftInteger);
  M->GetFieldDefs()->Add(L"K2", ftWideString, 10);
  for (TFieldDef* D : M->GetFieldDefList()) D->CreateField(M);
  auto* LF = new TWideStringField(M);
  LF->SetFieldName(L"LTXT");
  LF->SetFieldKind(fkLookup);
  LF->SetKeyFields(L"K1;K2");
  LF->SetLookupDataSet(Base.LookupDS);
  LF->SetLookupKeyFields(L"LK1;LK2");
  LF->SetLookupResultField(L"TXT");
  LF->SetDataSet(M);
  M->Open();
  M->AppendRecord({1, L"B"});
  auto* S = new TDataSource(Form.Form);
  S->SetDataSet(M);
  auto* G = new TTestAxisGridKv(Form.Form);
  G->SetParent(Form.Form);
  G->SetDataSource(S);
  TAxisBarKv* Bar = G->GetAxisBars()->Add();
  Bar->SetFieldName(L"LTXT");
  Bar->GetField();
  TDBLookupDataKv* L = Bar->GetLookupParams();
  EXPECT_TRUE(L->GetLookupInDataField());
  EXPECT_EQ(L->GetKeyFieldNames(), L"K1;K2");
  EXPECT_EQ(L->GetLookupKeyFieldNames(), L"LK1;LK2");
  EXPECT_EQ(L->GetLookupDisplayFieldName(), L"TXT");
  EXPECT_EQ(L->GetLookupDataSet(), Base.LookupDS);
  EXPECT_EQ(L->GetKeyFieldsArr().size(), 2u);
  EXPECT_EQ(L->GetLookupKeyFields().size(), 2u);
  EXPECT_EQ(L->GetLookupDisplayField(), Base.LookupDS->FieldByName(L"TXT"));
  EXPECT_TRUE(L->GetLookupActive());
  EXPECT_EQ(Bar->DisplayText(), L"Beta");
  // Editable through its key fields: a lookup field holds no data of its own.
  EXPECT_TRUE(Bar->CanModify(false));
  EXPECT_EQ(CaughtMessage([&] { L->SetLookupKeyFieldNames(L"LK1"); }), L"Property already defined by lookup field");
  EXPECT_EQ(CaughtMessage([&] { L->SetLookupDataSet(Base.Master); }), L"Property already defined by lookup field");
  delete G;
}

TEST(DBLookupData, TableEventsAndRegistration) {
  TLookupFixture F(TLookupKindTest::Table);
  TLookupTableDataSet* T = F.Table();
  TDBLookupDataKv* L = F.SetUp();
  EXPECT_EQ(T->Registrations, 1);
  ASSERT_EQ(T->Receivers.size(), 1u);
  EXPECT_EQ(F.Bar->DisplayText(), L"Alpha");
  Integer Fills = L->GetCacheFillCount();
  // A change the table reports without a dataset notice still refreshes the cache.
  F.LookupDS->DisableControls();
  F.LookupDS->SetRecNo(3);
  F.LookupDS->Edit();
  F.LookupDS->FieldByName(L"TXT")->SetAsString(L"Alfa");
  F.LookupDS->Post();
  T->SendRowChanged();
  F.LookupDS->EnableControls();
  EXPECT_EQ(F.Bar->DisplayText(), L"Alfa");
  EXPECT_GT(L->GetCacheFillCount(), Fills);
  L->SetLookupDataSet(nullptr);
  EXPECT_EQ(T->Unregistrations, 1);
  EXPECT_TRUE(T->Receivers.empty());
}

TEST(DBLookupData, ValueOfViewRow) {
  {
    TLookupFixture F(TLookupKindTest::Array, TLookupKindTest::Table);
    TDBLookupDataKv* L = F.SetUp();
    auto* T = dynamic_cast<TLookupTableDataSet*>(F.Master);
    Variant V;
    L->GetLookupValueOfRow(1, V);
    EXPECT_EQ(LookupTextOf(V), L"Beta");
    EXPECT_EQ(T->EnteredRow, 1);
    EXPECT_EQ(T->Enters, 1);
    EXPECT_EQ(T->Leaves, 1);
    EXPECT_EQ(F.Master->GetRecNo(), 1);
  }
  {
    TLookupFixture F;
    TDBLookupDataKv* L = F.SetUp();
    Variant V = L"stale";
    L->GetLookupValueOfRow(1, V);
    EXPECT_TRUE(VarIsNull(V));
  }
}

TEST(DBLookupData, GridUpdateDataAddsTextNotInList) {
  struct TCase {
    const char* Name;
    bool Accept;
    const wchar_t* Typed;
    const wchar_t* K2;  // nullptr: the key fields are cleared
    Integer Calls;
  };
  const TCase Cases[] = {
      {"in the list", true, L"beta", L"B", 0},
      {"added by the handler", true, L"Gamma", L"C", 1},
      {"refused", false, L"Gamma", nullptr, 1},
  };
  for (const TCase& C : Cases) {
    TLookupFixture F;
    F.SetUp();
    Integer Calls = 0;
    F.Bar->SetOnNotInList([&](TObject*, const String& Text, bool& Accept) {
      ++Calls;
      if (!C.Accept) return;
      F.LookupDS->AppendRecord({1, L"C", Text});
      Accept = true;
    });
    F.Master->First();
    F.Grid->SetSelectedIndex(F.Bar->GetIndex());
    F.Master->Edit();
    F.Grid->SetEditTextValue(C.Typed);
    F.Grid->SetEditKeyValue(Unassigned);
    F.Grid->GetDataLink()->Modified();
    F.Master->Post();
    // A text the user did not pick from the list leaves no key pointing at another record.
    if (C.K2)
      EXPECT_EQ(F.Master->FieldByName(L"K2")->GetAsString(), C.K2) << C.Name;
    else
      EXPECT_TRUE(F.Master->FieldByName(L"K2")->IsNull()) << C.Name;
    EXPECT_EQ(Calls, C.Calls) << C.Name;
  }
}

TEST(DBLookupData, FreedLookupTableIsDropped) {
  TLookupFixture F(TLookupKindTest::Table);
  TDBLookupDataKv* L = F.SetUp();
  EXPECT_EQ(F.Bar->DisplayText(), L"Alpha");
  delete F.LookupDS;
  EXPECT_FALSE(L->GetLookupActive());
  EXPECT_EQ(L->GetLookupDataSet(), nullptr);
  EXPECT_EQ(F.Bar->DisplayText(), L"1");
}

TEST(DBLookupData, AssignCopiesTheColumnLookup) {
  TLookupFixture F;
  TDBLookupDataKv* L = F.SetUp();
  L->SetLookupCache(false);
  TAxisBarKv* Other = F.Grid->GetAxisBars()->Add();
  Other->SetFieldName(L"K2");
  Other->GetLookupParams()->Assign(L);
  TDBLookupDataKv* O = Other->GetLookupParams();
  EXPECT_EQ(O->GetKeyFieldNames(), L"K1;K2");
  EXPECT_EQ(O->GetLookupKeyFieldNames(), L"LK1;LK2");
  EXPECT_EQ(O->GetLookupDisplayFieldName(), L"TXT");
  EXPECT_EQ(O->GetLookupDataSet(), F.LookupDS);
  EXPECT_FALSE(O->GetLookupCache());
  EXPECT_EQ(Other->DisplayText(), L"Alpha");
}
