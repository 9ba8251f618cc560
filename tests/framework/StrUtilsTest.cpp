#include <gtest/gtest.h>

#include "framework/StrUtils.h"

namespace {

TEST(StrUtils, PrefixSuffixAndContains) {
  struct Case {
    bool (*F)(const String&, const String&);
    const wchar_t *A, *B;
    bool Expected;
  };
  const Case Cases[] = {
      {StartsText, L"postgresql", L"PostgreSQL-x64-9.6", true},
      {StartsText, L"Zelkor-PG", L"zelkor-pg10", true},
      {StartsText, L"abc", L"ab", false},
      {StartsStr, L"ZelkorBackup", L"ZelkorBackup_2024", true},
      {StartsStr, L"ZelkorBackup", L"zelkorBackup_2024", false},
      {StartsStr, L"", L"x", true},
      {EndsStr, L"Zelkor 5.0", L"C:\\Program Files\\Zelkor 5.0", true},
      {EndsStr, L"zelkor 5.0", L"C:\\Program Files\\Zelkor 5.0", false},
      {EndsStr, L"long text", L"text", false},
      {EndsText, L"ŞEN", L"Ahmet şen", true},
      {EndsText, L"x", L"", false},
  };
  for (const auto& C : Cases) EXPECT_EQ(C.F(C.A, C.B), C.Expected) << C.A << " / " << C.B;
  EXPECT_TRUE(ContainsStr(L"HalvexZelkor", L"Zelkor"));
  EXPECT_FALSE(ContainsStr(L"HalvexZelkor", L"zelkor"));
  EXPECT_TRUE(ContainsText(L"HALVEX Güncelleme", L"güncel"));
  EXPECT_TRUE(AnsiStartsText(L"ağ", L"AĞAÇ"));
}

TEST(StrUtils, SplitStringKeepsEmptyPieces) {
  using V = TStringDynArray;
  const std::tuple<const wchar_t*, const wchar_t*, V> Cases[] = {
      {L"a//b", L"/", V{L"a", String(), L"b"}},
      {L"/a/", L"/", V{String(), L"a", String()}},
      {L"1.2.3", L".", V{L"1", L"2", L"3"}},
      {L"a,b c", L", ", V{L"a", L"b", L"c"}},
      {L"abc", L"/", V{L"abc"}},
      {L"", L"/", V{}},
  };
  for (const auto& [S, D, Expected] : Cases) EXPECT_EQ(SplitString(S, D), Expected) << S;
}

TEST(StrUtils, PickingAndRepeating) {
  EXPECT_EQ(LeftStr(L"abc", 2), L"ab");
  EXPECT_EQ(LeftStr(L"abc", 9), L"abc");
  EXPECT_EQ(LeftStr(L"abc", -1), L"");
  EXPECT_EQ(RightStr(L"abc", 2), L"bc");
  EXPECT_EQ(RightStr(L"abc", 5), L"abc");
  EXPECT_EQ(RightStr(L"abc", 0), L"");
  EXPECT_EQ(MidStr(L"abcdef", 2, 3), L"bcd");
  EXPECT_EQ(DupeString(L"ab", 3), L"ababab");
  EXPECT_EQ(DupeString(L"ab", 0), L"");
  EXPECT_EQ(ReverseString(L"abç"), L"çba");
  EXPECT_EQ(ReverseString(L"a\U0001F600b"), L"b\U0001F600a");  // the pair stays in order
  EXPECT_EQ(StuffString(L"abcdef", 2, 3, L"X"), L"aXef");
  EXPECT_EQ(ReplaceStr(L"Aaa", L"a", L"b"), L"Abb");
  EXPECT_EQ(ReplaceText(L"Aaa", L"a", L"b"), L"bbb");
  EXPECT_EQ(IfThen(true, L"yes", L"no"), L"yes");
  EXPECT_EQ(IfThen(false, L"yes"), L"");
}

TEST(StrUtils, IndexAndMatch) {
  EXPECT_EQ(IndexStr(L"b", {L"a", L"b"}), 1);
  EXPECT_EQ(IndexStr(L"B", {L"a", L"b"}), -1);
  EXPECT_EQ(IndexText(L"B", {L"a", L"b"}), 1);
  EXPECT_EQ(IndexText(L"ŞEKER", std::vector<String>{L"bal", L"şeker"}), 1);
  EXPECT_TRUE(MatchText(L"asc", {L"ASC", L"DESC"}));
  EXPECT_FALSE(MatchStr(L"asc", {L"ASC", L"DESC"}));
}

}  // namespace
