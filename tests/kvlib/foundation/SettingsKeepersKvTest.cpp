// The settings keeper: typed reads of its entries, duplicates, ownership of the tree, and the
// order of column layouts by their stored index.

#include "kvlib/foundation/SettingsKeepersKv.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// A nested keeper that counts its destruction.
class TCountedKeeper : public TSettingsKeeperKv {
 public:
  explicit TCountedKeeper(Integer* Freed) : FFreed(Freed) {}
  ~TCountedKeeper() override { ++*FFreed; }

 private:
  Integer* FFreed;
};

TEST(SettingsKeeper, TypedReadsOfEachKindOfEntry) {
  TSettingsKeeperKv K;
  K.Add(L"Int", 42);
  K.Add(L"Num", L"42");
  K.Add(L"Bad", L"4x2");
  K.Add(L"Sub", new TSettingsKeeperKv);
  struct TCase {
    const wchar_t* Key;
    bool IsInt;
    Integer Int;
    bool IsStr;
    const wchar_t* Str;
    bool IsSub;
  } Cases[] = {
      {L"Int", true, 42, false, L"", false},
      {L"Num", true, 42, true, L"42", false},
      {L"Bad", false, 0, true, L"4x2", false},
      {L"Sub", false, 0, false, L"", true},
      {L"int", false, 0, false, L"", false},  // keys are exact
      {L"None", false, 0, false, L"", false},
  };
  for (const TCase& C : Cases) {
    Integer I = 0;
    EXPECT_EQ(K.TryGetIntegerValue(C.Key, I), C.IsInt) << std::wstring(C.Key);
    if (C.IsInt) EXPECT_EQ(I, C.Int);
    String S = L"old";
    EXPECT_EQ(K.TryGetStringValue(C.Key, S), C.IsStr) << std::wstring(C.Key);
    EXPECT_EQ(S, C.Str);  // cleared first
    TSettingsKeeperKv* Sub = reinterpret_cast<TSettingsKeeperKv*>(&K);  // untouched unless a keeper
    EXPECT_EQ(K.TryGetSubsettingsValue(C.Key, Sub), C.IsSub);
    if (!C.IsSub) EXPECT_EQ(Sub, &K);
  }
}

TEST(SettingsKeeper, DuplicateKeyRaisesAndKeepsTheFirstValue) {
  TSettingsKeeperKv K;
  K.Add(L"A", L"first");
  EXPECT_THROW(K.Add(L"A", 2), EListError);
  Integer Freed = 0;
  EXPECT_THROW(K.Add(L"A", new TCountedKeeper(&Freed)), EListError);
  EXPECT_EQ(Freed, 1);  // what was handed over is not leaked
  String S;
  EXPECT_TRUE(K.TryGetStringValue(L"A", S));
  EXPECT_EQ(S, L"first");
  EXPECT_EQ(K.GetCount(), 1);
}

TEST(SettingsKeeper, FreeingTheRootFreesTheWholeTree) {
  Integer Freed = 0;
  {
    TSettingsKeeperKv Root;
    auto* Column = new TCountedKeeper(&Freed);
    Column->Add(L"Nested", new TCountedKeeper(&Freed));
    Root.Add(L"Column", Column);
    Root.Add(L"Other", new TCountedKeeper(&Freed));
  }
  EXPECT_EQ(Freed, 3);
}

TEST(SettingsKeeper, ColumnsSortByTheirStoredIndex) {
  TSettingsKeeperKv Layout;
  auto Column = [&Layout](const wchar_t* Name, Integer Index, bool HasIndex) {
    auto* C = new TSettingsKeeperKv;
    if (HasIndex) C->Add(L"ColIndex", Index);
    Layout.Add(Name, C);
  };
  Column(L"Price", 2, true);
  Column(L"Name", 0, false);  // no index: sorts as 0
  Column(L"Id", -1, true);
  Column(L"Stock", 1, true);
  auto Pairs = Layout.ToArray();
  auto* Cmp = TSettingsKeeperKvCollectionByIndexComparer::Ordinal();
  std::stable_sort(Pairs.begin(), Pairs.end(), [Cmp](auto& L, auto& R) { return Cmp->Compare(L, R) < 0; });
  ASSERT_EQ(Pairs.size(), 4u);
  EXPECT_EQ(Pairs[0].Key, L"Id");
  EXPECT_EQ(Pairs[1].Key, L"Name");
  EXPECT_EQ(Pairs[2].Key, L"Stock");
  EXPECT_EQ(Pairs[3].Key, L"Price");

  TSettingsKeeperKv A, B;
  A.Add(L"ColIndex", 3);
  B.Add(L"ColIndex", L"3");
  TSettingsKeeperKv::TPairType PA(L"a", &A), PB(L"b", &B), PEmpty1(L"c", Pairs[1].Value), PEmpty2(L"d", Pairs[1].Value);
  EXPECT_TRUE(Cmp->Equals(PA, PB));
  EXPECT_TRUE(Cmp->Equals(PEmpty1, PEmpty2));
  EXPECT_EQ(Cmp->GetHashCode(PA), 0);
  TObject NotAKeeper;
  TSettingsKeeperKv::TPairType Bad(L"x", &NotAKeeper);
  EXPECT_THROW(Cmp->Compare(Bad, PA), EInvalidCast);
}

}  // namespace
