// Text search, shortening, line breaking and the canvas transform and clip helpers.

#include <gtest/gtest.h>

#include "framework/Graphics.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "kvlib/foundation/ToolCtrlsKv.h"

namespace {

TEST(FindTextPos, WholeWordsAndCase) {
  struct {
    const wchar_t *Sub, *Text;
    bool IgnoreCase, WholeWord;
    Integer Start, Expected;
  } const Cases[] = {
      {L"an", L"an and", true, true, 1, 1},
      {L"an", L"and", true, true, 1, 0},
      {L"and", L"an and", false, true, 1, 4},
      {L"AN", L"an and", false, false, 1, 0},
      {L"AN", L"an and", true, false, 2, 4},
      {L"an", L"x\u00A0an", false, true, 1, 3},   // a no-break space ends a word
      {L"an", L"\u201Ean\u201C", false, true, 1, 2},
      {L"a-a", L"ba-a-a", false, true, 1, 4},     // a word beginning inside a rejected hit
      {L"da", L"dağ", true, true, 1, 0},          // a Turkish letter belongs to the word
      {L"DA", L"DAĞ DA", false, true, 1, 5},
      {L"güzel", L"ÇOK GÜZEL", true, true, 1, 5},
      {L"güz", L"ÇOK GÜZEL", true, true, 1, 0},
      {L"", L"abc", false, false, 1, 0},
      {L"abc", L"ab", false, true, 1, 0},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(FindTextPos(C.Sub, C.Text, C.IgnoreCase, C.WholeWord, C.Start), C.Expected) << C.Sub << " in " << C.Text;
  EXPECT_EQ(CharPosInStr(L'ğ', L"dağ"), 3);
  EXPECT_EQ(CharPosInStr(L'x', L"dağ"), 0);
}

TEST(FindTextPositions, AllHitsOrTheFirstAtTheStart) {
  std::vector<Integer> P{9, 9};
  EXPECT_FALSE(FindTextPositions(L"abcabc", L"bc", P, false, false, true));
  EXPECT_TRUE(P.empty());
  EXPECT_TRUE(FindTextPositions(L"abcabc", L"ab", P, false, false, true));
  EXPECT_EQ(P, (std::vector<Integer>{0}));
  EXPECT_TRUE(FindTextPositions(L"abcabc", L"BC", P, true, false, false));
  EXPECT_EQ(P, (std::vector<Integer>{1, 4}));
  EXPECT_TRUE(FindTextPositions(L"aaa", L"aa", P, false, false, false));
  EXPECT_EQ(P, (std::vector<Integer>{0, 1}));
  EXPECT_FALSE(FindTextPositions(L"abcabc", L"x", P, true, false, false));
  EXPECT_TRUE(P.empty());
}

TEST(FindTextPositions, CaseInsensitiveSearchGoesThroughTheReplaceableRoutine) {
  static Integer Calls;
  Calls = 0;
  TFindTextPosProcKv Saved = FindTextPosProcKv;
  FindTextPosProcKv = [](const String& Sub, const String& Text, Integer Start, bool IgnoreCase, bool WholeWord) {
    ++Calls;
    return FindTextPos(Sub, Text, IgnoreCase, WholeWord, Start);
  };
  std::vector<Integer> P;
  EXPECT_TRUE(FindTextPositions(L"Kara kartal", L"KAR", P, true, true, false) == false);
  FindTextPositions(L"kar kar", L"KAR", P, true, true, false);
  FindTextPosProcKv = Saved;
  EXPECT_EQ(P, (std::vector<Integer>{0, 4}));
  EXPECT_GT(Calls, 0);
  Calls = 0;
  FindTextPositions(L"kar kar", L"kar", P, false, true, false);
  EXPECT_EQ(Calls, 0);
}

class Paper : public testing::Test {
 protected:
  void SetUp() override {
    Bmp.SetSize(100, 100);
    C = Bmp.GetCanvas();
    C->GetFont()->SetHeight(-16);
  }
  TBitmap Bmp;
  TCanvas* C = nullptr;
};

TEST_F(Paper, ShortensFromTheEndUntilItFits) {
  EXPECT_EQ(ShortenTextWithEllipsis(L"Customers", C, 1000), L"Customers");
  EXPECT_EQ(ShortenTextWithEllipsis(L"Customers", C, C->TextWidth(L"Custom...")), L"Custom...");
  EXPECT_EQ(ShortenTextWithEllipsis(L"Customers", C, C->TextWidth(L"Custo...")), L"Custo...");
  EXPECT_EQ(ShortenTextWithEllipsis(L"Customers", C, 1), L"...");
  EXPECT_EQ(ShortenTextWithEllipsis(L"", C, 0), L"");
  EXPECT_NEAR(TextWidthByDrawText(C, L"Customers"), C->TextWidth(L"Customers"), 1);
}

TEST_F(Paper, BreaksLines) {
  TSize Size;
  TTextLinesKv Lines;
  const Integer H = C->TextHeight(L"Ag");
  BuildTextLines(C, 1000, L"ab\r\ncd", true, Size, Lines);
  ASSERT_EQ(Lines.size(), 2u);  // CR LF is one break
  EXPECT_EQ(Lines[0].Start, 0);
  EXPECT_EQ(Lines[0].Length, 4);
  EXPECT_EQ(Lines[1].Start, 4);
  EXPECT_EQ(Lines[1].Length, 2);
  EXPECT_EQ(Size.cy, 2 * H);

  BuildTextLines(C, 1000, L"a\n\nb", true, Size, Lines);
  EXPECT_EQ(Lines.size(), 3u);

  const String Words = L"bir iki bir iki";
  const Integer Narrow = C->TextWidth(L"bir iki ") + 2;
  BuildTextLines(C, Narrow, Words, true, Size, Lines);
  ASSERT_EQ(Lines.size(), 2u);
  EXPECT_EQ(Words.substr(size_t(Lines[0].Start), size_t(Lines[0].Length)), L"bir iki ");
  EXPECT_EQ(Words.substr(size_t(Lines[1].Start), size_t(Lines[1].Length)), L"bir iki");
  EXPECT_LE(Size.cx, Narrow);
  EXPECT_EQ(Size.cy, 2 * H);

  BuildTextLines(C, Narrow, Words, false, Size, Lines);
  EXPECT_EQ(Lines.size(), 1u);
  CalcWrappedTextSize(C, 1000, Words, true, Size);
  EXPECT_EQ(Size.cx, C->TextWidth(Words));
  EXPECT_EQ(Size.cy, H);
  CalcWrappedTextSize(C, 1000, L"", true, Size);
  EXPECT_EQ(Size.cx, 0);
  EXPECT_EQ(Size.cy, 0);
}

TEST_F(Paper, TransformAndClipAreRestored) {
  EXPECT_FALSE(CanvasHasWorldTransform(C));
  SetWorldTransformRotation(C, 1.0, 90, 10, 0);
  EXPECT_TRUE(CanvasHasWorldTransform(C));
  ResetWorldTransformKv(C);
  EXPECT_FALSE(CanvasHasWorldTransform(C));

  HRGN Saved = SetClipRectKv(C, TRect(10, 10, 20, 20));
  EXPECT_EQ(Saved, nullptr);  // there was no clip region before
  RECT Box;
  EXPECT_EQ(GetClipBox(C->GetHandle(), &Box), SIMPLEREGION);
  EXPECT_EQ(Box.left, 10);
  EXPECT_EQ(Box.right, 20);
  HRGN Inner = SetClipRectKv(C, TRect(0, 0, 15, 15));
  ASSERT_NE(Inner, nullptr);
  GetClipBox(C->GetHandle(), &Box);
  EXPECT_EQ(Box.right, 15);
  RestoreClipRgnKv(C, Inner);
  GetClipBox(C->GetHandle(), &Box);
  EXPECT_EQ(Box.right, 20);
  RestoreClipRgnKv(C, Saved);
  GetClipBox(C->GetHandle(), &Box);
  EXPECT_EQ(Box.right, 100);
}

TEST(IsRightToLeftChar, ByTheFirstCharacter) {
  EXPECT_EQ(IsRightToLeftChar(L"", 7), 0);
  EXPECT_EQ(IsRightToLeftChar(L"Ağ", 7), 0);
  EXPECT_EQ(IsRightToLeftChar(L"\u05D0b", 7), 1);  // Hebrew alef
  EXPECT_EQ(IsRightToLeftChar(L"\u0627", 7), 1);   // Arabic alef
  EXPECT_EQ(IsRightToLeftChar(L" x", 7), 7);
}

}  // namespace
