#include <gtest/gtest.h>

#include "LocaleScope.h"
#include "framework/SysUtils.h"

namespace {

TEST(CaseMapping, AsciiRoutinesLeaveTurkishLettersAlone) {
  EXPECT_EQ(UpperCase(L"ıiİşğabc"), L"ıIİşğABC");
  EXPECT_EQ(LowerCase(L"IİŞĞABC"), L"iİŞĞabc");
  EXPECT_TRUE(SameText(L"istanbul", L"ISTANBUL"));
  EXPECT_FALSE(SameText(L"ı", L"I"));
  EXPECT_FALSE(SameText(L"ş", L"Ş"));
  EXPECT_FALSE(SameText(L"abc", L"abcd"));
  EXPECT_EQ(CompareText(L"abc", L"ABD") < 0, true);
  EXPECT_EQ(CompareText(L"Zelkor", L"zelkor"), 0);
  EXPECT_GT(CompareStr(L"a", L"B"), 0);  // ordinal: 'a' follows 'B'
  EXPECT_LT(CompareStr(L"ab", L"abc"), 0);
  EXPECT_FALSE(SameStr(L"a", L"A"));
}

TEST(CaseMapping, AnsiRoutinesFollowTheLocale) {
  struct Case {
    Cardinal Locale;
    const wchar_t* Upper;
    const wchar_t* Lower;
  };
  const Case Cases[] = {
      {Turkish, L"İIŞĞÜÖÇ", L"ıişğüöç"},
      {English, L"IIŞĞÜÖÇ", L"iişğüöç"},
  };
  for (const auto& C : Cases) {
    LocaleScope L(C.Locale);
    EXPECT_EQ(AnsiUpperCase(L"iışğüöç"), C.Upper) << C.Locale;
    EXPECT_EQ(AnsiLowerCase(L"IİŞĞÜÖÇ"), C.Lower) << C.Locale;
  }
}

TEST(CaseMapping, AnsiComparisonIgnoresCaseOfEveryLetter) {
  LocaleScope L(Turkish);
  EXPECT_TRUE(AnsiSameText(L"ğüşöç", L"ĞÜŞÖÇ"));
  EXPECT_EQ(AnsiCompareText(L"şeker", L"ŞEKER"), 0);
  EXPECT_FALSE(AnsiSameStr(L"ş", L"Ş"));
  EXPECT_LT(AnsiCompareStr(L"a", L"B"), 0);  // collation, not code order
  EXPECT_LT(AnsiCompareText(L"çay", L"dere"), 0);
  EXPECT_GT(AnsiCompareText(L"b", L"A"), 0);
  EXPECT_EQ(AnsiStrIComp(L"Ağaç", L"AĞAÇ"), 0);
  EXPECT_EQ(AnsiStrLIComp(L"Ağaçlar", L"AĞAÇ", 4), 0);
  EXPECT_NE(AnsiStrComp(L"Ağaç", L"AĞAÇ"), 0);
  EXPECT_EQ(AnsiPos(L"ş", L"aşb"), 2);
}

TEST(Trim, RemovesControlCharactersAndBlanksOnly) {
  const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*> Cases[] = {
      // S, Trim, TrimLeft, TrimRight
      {L" \t x y \r\n", L"x y", L"x y \r\n", L" \t x y"},
      {L"\uFEFFabc ", L"\uFEFFabc", L"\uFEFFabc ", L"\uFEFFabc"},  // a BOM is not blank
      {L"\u00A0a\u00A0", L"\u00A0a\u00A0", L"\u00A0a\u00A0", L"\u00A0a\u00A0"},
      {L"   ", L"", L"", L""},
      {L"", L"", L"", L""},
  };
  for (const auto& [S, Both, Left, Right] : Cases) {
    EXPECT_EQ(Trim(S), Both);
    EXPECT_EQ(TrimLeft(S), Left);
    EXPECT_EQ(TrimRight(S), Right);
  }
}

TEST(StringReplace, FlagsChooseAllAndIgnoreCase) {
  struct Case {
    const wchar_t *S, *Old, *New;
    TReplaceFlags Flags;
    const wchar_t* Expected;
  };
  const Case Cases[] = {
      {L"aXbxcx", L"x", L"-", {}, L"aXb-cx"},
      {L"aXbxcx", L"x", L"-", {rfReplaceAll}, L"aXb-c-"},
      {L"aXbxcx", L"x", L"-", {rfIgnoreCase}, L"a-bxcx"},
      {L"aXbxcx", L"x", L"-", {rfReplaceAll, rfIgnoreCase}, L"a-b-c-"},
      {L"a|b|c", L"|", L" - ", {rfReplaceAll}, L"a - b - c"},
      {L"aaa", L"aa", L"b", {rfReplaceAll}, L"ba"},
      {L"x<y&z", L"&", L"&amp;", {rfReplaceAll}, L"x<y&amp;z"},
      {L"abc", L"", L"-", {rfReplaceAll}, L"abc"},
      {L"ŞEKER şeker", L"şeker", L"bal", {rfReplaceAll, rfIgnoreCase}, L"bal bal"},
  };
  for (const auto& C : Cases) EXPECT_EQ(StringReplace(C.S, C.Old, C.New, C.Flags), C.Expected) << C.S;
}

TEST(Quoting, QuotesAreDoubledAndUndoubled) {
  EXPECT_EQ(QuotedStr(L"It's"), L"'It''s'");
  EXPECT_EQ(QuotedStr(String()), L"''");
  EXPECT_EQ(AnsiQuotedStr(L"a\"b", L'"'), L"\"a\"\"b\"");
  const std::pair<const wchar_t*, const wchar_t*> Dequote[] = {
      {L"'It''s'", L"It's"}, {L"abc", L"abc"}, {L"'abc", L"'abc"}, {L"''", L""}, {L"", L""}, {L"'a'b", L"a"},
  };
  for (auto [S, R] : Dequote) EXPECT_EQ(AnsiDequotedStr(S, L'\''), R) << S;

  String Src = L"'a''b' rest";
  const wchar_t* P = Src.c_str();
  EXPECT_EQ(AnsiExtractQuotedStr(P, L'\''), L"a'b");
  EXPECT_STREQ(P, L" rest");
  const wchar_t* Q = L"plain";
  EXPECT_EQ(AnsiExtractQuotedStr(Q, L'\''), L"");
  EXPECT_STREQ(Q, L"plain");
}

TEST(Delimiters, FindsDelimitersByPosition) {
  EXPECT_TRUE(IsDelimiter(L"\\:", L"C:\\x", 2));
  EXPECT_FALSE(IsDelimiter(L"\\:", L"C:\\x", 4));
  EXPECT_FALSE(IsDelimiter(L"\\:", L"C:\\x", 9));
  EXPECT_EQ(LastDelimiter(L"/\\:", L"a/b\\c"), 4);
  EXPECT_EQ(LastDelimiter(L"/\\:", L"abc"), 0);
  EXPECT_TRUE(CharInSet(L'b', TSysCharSet{'a', 'b'}));
  EXPECT_FALSE(CharInSet(L'\u0162', TSysCharSet{'b'}));  // 0x162 must not alias 0x62
}

TEST(AdjustLineBreaks, EveryBreakBecomesTheChosenStyle) {
  EXPECT_EQ(AdjustLineBreaks(L"a\nb\rc\r\nd\n\re"), L"a\r\nb\r\nc\r\nd\r\ne");
  EXPECT_EQ(AdjustLineBreaks(L"a\r\n\r\nb", tlbsLF), L"a\n\nb");
  EXPECT_EQ(AdjustLineBreaks(L"a\n", tlbsCR), L"a\r");
}

TEST(IsValidIdent, LettersDigitsAndUnderscores) {
  const std::tuple<const wchar_t*, bool, bool> Cases[] = {
      {L"abc_1", true, true}, {L"_x", true, true},  {L"1abc", false, false}, {L"", false, false},
      {L"a.b", false, true},  {L"a.", false, false}, {L"a b", false, false}, {L"şeker", false, false},
  };
  for (auto [S, Plain, Dotted] : Cases) {
    EXPECT_EQ(IsValidIdent(S), Plain) << S;
    EXPECT_EQ(IsValidIdent(S, true), Dotted) << S;
  }
}

TEST(ByteType, SurrogatePairsAreLeadAndTrail) {
  String S = L"a\U0001F600b";
  EXPECT_EQ(ByteType(S, 1), mbSingleByte);
  EXPECT_EQ(ByteType(S, 2), mbLeadByte);
  EXPECT_EQ(ByteType(S, 3), mbTrailByte);
  EXPECT_EQ(ByteType(S, 4), mbSingleByte);
}

TEST(GUIDs, FreshGuidsRoundTripThroughText) {
  TGUID A, B;
  ASSERT_EQ(CreateGUID(A), 0);
  ASSERT_EQ(CreateGUID(B), 0);
  EXPECT_FALSE(A == B);
  String S = GUIDToString(A);
  ASSERT_EQ(S.size(), 38u);
  EXPECT_EQ(S[0], L'{');
  EXPECT_TRUE(StringToGUID(S) == A);
  EXPECT_TRUE(StringToGUID(AnsiLowerCase(S)) == A);

  TGUID G;
  G.D1 = 0x01234567;
  G.D2 = 0x89AB;
  G.D3 = 0xCDEF;
  const Byte D4[8] = {0, 1, 2, 3, 4, 5, 6, 0xFF};
  std::copy(std::begin(D4), std::end(D4), G.D4);
  EXPECT_EQ(GUIDToString(G), L"{01234567-89AB-CDEF-0001-0203040506FF}");
  for (const wchar_t* Bad : {L"", L"{01234567-89AB-CDEF-0001-0203040506F}", L"{01234567-89AB-CDEF-0001-0203040506FG}",
                             L"01234567-89AB-CDEF-0001-0203040506FF"})
    EXPECT_THROW(StringToGUID(Bad), EConvertError) << Bad;
}

}  // namespace
