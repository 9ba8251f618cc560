#include <gtest/gtest.h>

#include <climits>

#include "htmllabel/MarkupText.h"

namespace {

struct TTextCase {
  const wchar_t* In;
  const wchar_t* Out;
};

TEST(MarkupText, NumericEntities) {
  const TTextCase Cases[] = {
      {L"&#65;", L"A"},
      {L"&#0065;", L"A"},
      {L"&#65 b", L"A b"},          // a non-";" terminator is kept
      {L"&#65<b>x", L"A<b>x"},      // ... so a following tag survives
      {L"&#60;b>", L"<b>"},
      {L"&#x41;", L"&#x41;"},
      {L"&#;", L"&#;"},
      {L"&#65", L"&#65"},           // no terminator at all
      {L"&#0;", L"&#0;"},
      {L"&#1234567;", L"&#1234567;"},
      {L"&#55296;", L"&#55296;"},   // a lone surrogate
      {L"&#65601;", L"\U00010041"},
      {L"x&#66;y&#67;z", L"xByCz"},
  };
  for (const auto& C : Cases) EXPECT_EQ(DecodeNumericEntities(C.In), C.Out) << C.In;
}

TEST(MarkupText, NamedEntitiesKeepTheirLetterCase) {
  const TTextCase Cases[] = {
      {L"&Eacute; &eacute;", L"\u00C9 \u00E9"},
      {L"&Otilde;", L"\u00D5"},
      {L"&EACUTE;", L"&EACUTE;"},
      {L"&copy;&euro;&deg;&quot;&apos;", L"\u00A9\u20AC\u00B0\"'"},
      {L"&eacute;&eacute;", L"\u00E9\u00E9"},
      {L"&unknown;", L"&unknown;"},
  };
  for (const auto& C : Cases) EXPECT_EQ(DecodeNamedEntities(C.In), C.Out) << C.In;
}

TEST(MarkupText, Normalisation) {
  const TTextCase Cases[] = {
      {L"a & b &amp; c", L"a & b & c"},  // prefix processing is off: one plain ampersand
      {L"a &amp; b", L"a && b"},          // prefix processing on: "&&" shows one
      {L"a&amp;b", L"a&&b"},
      {L"a&AMP;b", L"a&&b"},
      {L"<#abc> x", L"#abc x"},
      {L"<#abc", L"#abc"},
      {L"one\r\ntwo", L"one<BR>two"},
      {L"&#60;b&#62;x", L"<b>x"},
  };
  for (const auto& C : Cases) EXPECT_EQ(NormalizeMarkup(C.In), C.Out) << C.In;
  EXPECT_EQ(TextToHtmlBreaks(L"a\r\nb", false), L"ab");
}

TEST(MarkupText, Colours) {
  struct {
    const wchar_t* In;
    TColor Out;
  } Cases[] = {
      {L"#FF0000", 0x0000FF}, {L"#ff0000", 0x0000FF}, {L"#00Ff00", 0x00FF00}, {L"#0000fF", 0xFF0000},
      {L"#12", 0x000012},     {L"#GG0000", 0},        {L"#", 0},               {L"clRed", 0x0000FF},
      {L"CLNAVY", 0x800000},  {L"red", 0},            {L"clHighlight", TColor(clSystemColor | 13)},
      {L"clinfobk", TColor(clSystemColor | 24)},      {L"", 0},
  };
  for (const auto& C : Cases) EXPECT_EQ(MarkupColor(C.In), C.Out) << C.In;
}

TEST(MarkupText, AttributesMatchWholeNames) {
  struct {
    const wchar_t* Tag;
    const wchar_t* Name;
    bool Found;
    const wchar_t* Value;
  } Cases[] = {
      {L"<FONT BGCOLORTO=\"#FF0000\" BGCOLOR=\"#00FF00\">", L"BGCOLOR", true, L"#00FF00"},
      {L"<FONT BGCOLORTO=\"#FF0000\" BGCOLOR=\"#00FF00\">", L"BGCOLORTO", true, L"#FF0000"},
      {L"<FONT BGCOLOR=\"#00FF00\">", L"COLOR", false, L""},
      {L"<font color=\"clRed\">", L"COLOR", true, L"clRed"},
      {L"<A HREF = \"Go There\" TITLE=\"t\">", L"HREF", true, L"Go There"},
      {L"<A HREF=x>", L"HREF", true, L""},
      {L"<IND x=\"20\">", L"X", true, L"20"},
      {L"<A>", L"HREF", false, L""},
  };
  for (const auto& C : Cases) {
    bool Found = !C.Found;
    EXPECT_EQ(TagAttribute(C.Tag, C.Name, &Found), C.Value) << C.Tag << L" " << C.Name;
    EXPECT_EQ(Found, C.Found) << C.Tag << L" " << C.Name;
  }
}

TEST(MarkupText, Numbers) {
  struct {
    const wchar_t* In;
    Integer Out;
  } Ints[] = {{L"12", 12},   {L"  -7px", -7}, {L"+3", 3},     {L"$1F", 31},          {L"0x10", 16},
              {L"abc", 0},   {L"", 0},        {L"-", 0},      {L"99999999999", INT_MAX}, {L"0xZ", 0}};
  for (const auto& C : Ints) EXPECT_EQ(StrToIntOrZero(C.In), C.Out) << C.In;
  struct {
    const wchar_t* In;
    double Out;
  } Floats[] = {{L"1,5", 1.5}, {L"1.5", 1.5}, {L" 2 ", 2.0}, {L"abc", 0}, {L"1.5x", 0}, {L"", 0}, {L"-0,25", -0.25}};
  for (const auto& C : Floats) EXPECT_DOUBLE_EQ(StrToFloatAnySep(C.In), C.Out) << C.In;
}

TEST(MarkupText, PlainText) {
  EXPECT_EQ(HTMLStrip(L"a<BR>b<z>hidden</z>c"), L"a\r\nbc");
  EXPECT_EQ(HTMLStrip(L"<b>x</b><Z>h</Z>y<hr>"), L"xy\r\n");
  EXPECT_EQ(HTMLStrip(L"a<z>open"), L"aopen");  // an unclosed block is read on
  EXPECT_EQ(HTMLStrip(L"a<b"), L"a<b");  // text after a "<" that is never closed is kept
  EXPECT_EQ(HTMLStrip(L"<i>x</i>y < z"), L"xy < z");
  EXPECT_EQ(StripTags(L"a<b>c</b>d"), L"acd");
  EXPECT_EQ(StripTags(L"a<b>c<d"), L"ac<d");
}

TEST(MarkupText, VisiblePositions) {
  const String T = L"a<b>bc</b>";
  const Integer Expected[] = {0, 1, 5, 6, 11, 0};
  for (Integer N = 0; N <= 5; ++N) EXPECT_EQ(VisibleCharPos(T, N), Expected[N]) << N;
  Integer P = -1;
  EXPECT_EQ(FindVisibleText(L"b", L"abcb", 2, true, P), 4);
  EXPECT_EQ(P, 4);
  EXPECT_EQ(FindVisibleText(L"B", L"abcb", 0, false, P), 2);
  EXPECT_EQ(FindVisibleText(L"B", L"abcb", 0, true, P), 0);
  EXPECT_EQ(FindVisibleText(L"", L"abcb", 0, true, P), 0);
}

TEST(MarkupText, InsertAndRemoveTags) {
  struct {
    const wchar_t* Text;
    const wchar_t* Search;
    bool CaseSensitive;
    const wchar_t* Out;
  } Cases[] = {
      {L"a<b>bc</b>", L"bc", true, L"a<b><hi>bc</hi></b>"},
      {L"ab AB", L"ab", false, L"<hi>ab</hi> <hi>AB</hi>"},
      {L"ab AB", L"ab", true, L"<hi>ab</hi> AB"},
      {L"aaa", L"aa", true, L"<hi>aa</hi>a"},
      {L"x<i>y</i>z", L"xyz", true, L"<hi>x<i>y</i>z</hi>"},
      {L"abc", L"", true, L"abc"},  // an empty search must not loop
      {L"abc", L"q", true, L"abc"},
  };
  for (const auto& C : Cases) EXPECT_EQ(InsertTagAroundText(C.Text, C.Search, L"hi", C.CaseSensitive), C.Out) << C.Text;
  EXPECT_EQ(RemoveTagPair(L"<HI>x</hi><hi>y</HI><hide>", L"hi"), L"xy<hide>");
  EXPECT_EQ(RemoveTagPair(InsertTagAroundText(L"a<b>bc</b>", L"b", L"e", true), L"E"), L"a<b>bc</b>");
}

}  // namespace
