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
  // The longest fitting candidate for every width, as trying them one by one from the longest
  // finds it.
  const String Long = L"Müşteri siparişleri ve ödemeleri";
  for (Integer Max = 0; Max <= C->TextWidth(Long) + 2; Max += 3) {
    String Expected = Long;
    for (Integer I = 1; I <= Integer(Long.size()) && C->TextWidth(Expected) > Max; ++I)
      Expected = Long.substr(0, size_t(std::max<Integer>(0, Integer(Long.size()) - I - 1))) + L"...";
    EXPECT_EQ(ShortenTextWithEllipsis(Long, C, Max), Expected) << Max;
  }
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

// The box of everything not white on a white 200 x 100 bitmap after Paint.
template <class F>
TRect InkAfter(F Paint) {
  TBitmap Bmp;
  Bmp.SetSize(200, 100);
  TCanvas* C = Bmp.GetCanvas();
  C->GetBrush()->SetColor(clWhite);
  C->FillRect(TRect(0, 0, 200, 100));
  C->GetFont()->SetHeight(-16);
  C->GetFont()->SetColor(clBlack);
  C->GetBrush()->SetColor(clYellow);
  Paint(C);
  TRect R(200, 100, -1, -1);
  for (Integer Y = 0; Y < 100; ++Y)
    for (Integer X = 0; X < 200; ++X)
      if (C->GetPixel(X, Y) != clWhite) {
        R.Left = std::min(R.Left, X);
        R.Top = std::min(R.Top, Y);
        R.Right = std::max(R.Right, X + 1);
        R.Bottom = std::max(R.Bottom, Y + 1);
      }
  return R;
}

TEST(WriteTextKv, PlacesTheTextByAlignmentLayoutAndPath) {
  const TRect Cell(20, 10, 180, 90);
  struct {
    const char* Name;
    const wchar_t* Text;
    Integer Alignment, Layout;
    bool WordWrap, EndEllipsis, SingleLine;
    bool (*Check)(const TRect& Ink);
  } const Cases[] = {
      {"one line left top", L"Kayıt", 0, 0, false, false, true,
       [](const TRect& I) { return I.Left >= 22 && I.Left < 30 && I.Top >= 12 && I.Top < 20 && I.Bottom < 40; }},
      {"one line right bottom", L"Kayıt", 1, 2, false, false, true,
       [](const TRect& I) { return I.Right <= 177 && I.Right > 165 && I.Bottom <= 88 && I.Top > 60; }},
      {"one line centre centre", L"Kayıt", 2, 1, false, false, true,
       [](const TRect& I) { return std::abs((I.Left + I.Right) / 2 - 100) < 6 && std::abs((I.Top + I.Bottom) / 2 - 50) < 8; }},
      {"line breaks without single line", L"bir\niki\nüç", 0, 0, false, false, false,
       [](const TRect& I) { return I.Bottom - I.Top > 40 && I.Top >= 12; }},
      {"word wrap inside the cell", L"çok uzun bir metin burada satırlara bölünür", 0, 0, true, false, true,
       [](const TRect& I) { return I.Right <= 180 && I.Bottom - I.Top > 30; }},
      {"ellipsis", L"çok uzun bir metin burada kısaltılır ve sığar", 0, 0, false, true, true,
       [](const TRect& I) { return I.Right <= 180 && I.Bottom - I.Top < 25; }},
      {"wrapped centre taller than the cell stays inside it",
       L"bir iki üç dört beş altı yedi sekiz dokuz on on bir on iki on üç on dört on beş on altı", 2, 1, true,
       false, true, [](const TRect& I) { return I.Top >= 10 && I.Bottom <= 90; }},
  };
  for (const auto& Case : Cases) {
    TRect Ink = InkAfter([&](TCanvas* C) {
      WriteTextKv(C, Cell, false, 2, 2, Case.Text, Case.Alignment, Case.Layout, Case.WordWrap, Case.EndEllipsis, 0,
                  0, 0, Case.SingleLine);
    });
    EXPECT_TRUE(Ink.Right > Ink.Left && Case.Check(Ink))
        << Case.Name << ": " << Ink.Left << "," << Ink.Top << "," << Ink.Right << "," << Ink.Bottom;
  }
}

// Right-to-left reading puts a trailing full stop at the left end of "ab.", on both paths.
TEST(WriteTextKv, RightToLeftReadingOrdersTheLineFromTheRight) {
  // How far down the ink of the leftmost two columns begins: a full stop begins low, a letter high.
  auto TopOfLeftEdge = [](bool SingleLine, Integer ReadingMode) {
    TBitmap Bmp;
    Bmp.SetSize(200, 60);
    TCanvas* C = Bmp.GetCanvas();
    C->GetBrush()->SetColor(clWhite);
    C->FillRect(TRect(0, 0, 200, 60));
    C->GetFont()->SetHeight(-24);
    C->GetFont()->SetColor(clBlack);
    WriteTextKv(C, TRect(10, 10, 190, 50), false, 0, 0, L"ab.", 0, 0, false, false, 0, 0, ReadingMode, SingleLine);
    Integer Left = 200;
    for (Integer Y = 0; Y < 60; ++Y)
      for (Integer X = 0; X < 200; ++X)
        if (C->GetPixel(X, Y) != clWhite) Left = std::min(Left, X);
    Integer Top = 60;
    for (Integer Y = 0; Y < 60; ++Y)
      for (Integer X = Left; X < Left + 2; ++X)
        if (C->GetPixel(X, Y) != clWhite) Top = std::min(Top, Y);
    return Top;
  };
  for (bool SingleLine : {true, false}) {
    const Integer Ltr = TopOfLeftEdge(SingleLine, 0), Rtl = TopOfLeftEdge(SingleLine, 1);
    EXPECT_GT(Rtl, Ltr + 5) << "single line " << SingleLine;
    EXPECT_EQ(TopOfLeftEdge(SingleLine, 2), Ltr) << "mode 2 reads left to right";
  }
}

TEST(WriteTextKv, FillsTheBackgroundOnlyWhenAskedAndKeepsTheBrush) {
  const TRect Cell(20, 10, 180, 90);
  for (bool SingleLine : {true, false}) {
    TBrushStyle StyleAfter = bsSolid;
    TRect Filled = InkAfter([&](TCanvas* C) {
      WriteTextKv(C, Cell, true, 2, 2, L"x", 0, 0, false, false, 0, 0, 0, SingleLine);
    });
    TRect Clear = InkAfter([&](TCanvas* C) {
      WriteTextKv(C, Cell, false, 2, 2, L"x", 0, 0, false, false, 0, 0, 0, SingleLine);
      StyleAfter = C->GetBrush()->GetStyle();
    });
    EXPECT_EQ(Filled, Cell) << SingleLine;
    EXPECT_LT(Clear.Right - Clear.Left, 20) << SingleLine;
    EXPECT_EQ(StyleAfter, bsSolid) << SingleLine;
  }
}

TEST(DrawClippedText, OneOpaqueLineClippedToTheCell) {
  const TRect Cell(20, 10, 80, 40);
  TRect Ink = InkAfter([&](TCanvas* C) {
    DrawClippedText(C, Cell, 2, 2, L"Bir satır ki hücreye sığmaz, kesilir", 0);
  });
  EXPECT_EQ(Ink, Cell);  // the yellow brush fills the cell, the text stops at its edge
  TRect Right = InkAfter([&](TCanvas* C) {
    C->GetBrush()->SetColor(clWhite);
    DrawClippedText(C, Cell, 2, 2, L"ab", 1);
  });
  EXPECT_LE(Right.Right, 77);
  EXPECT_GT(Right.Left, 50);
}

// On a palette device a brush colour between the palette's entries is drawn through the
// scratch bitmap: the whole cell is covered, even without FillRect, and the text is there.
TEST(WriteTextKv, DitheredBrushColourGoesThroughTheScratchBitmap) {
  TBitmap Bmp;
  Bmp.SetPixelFormat(pf8bit);
  Bmp.SetSize(200, 100);
  TCanvas* C = Bmp.GetCanvas();
  C->GetBrush()->SetColor(clWhite);
  C->FillRect(TRect(0, 0, 200, 100));
  const TColor Odd = TColor(RGB(0x13, 0x9B, 0x57));
  C->GetBrush()->SetColor(Odd);
  C->GetFont()->SetColor(clBlack);
  C->GetFont()->SetHeight(-16);
  const COLORREF Nearest = GetNearestColor(C->GetHandle(), COLORREF(Odd));
  ASSERT_NE(Nearest, COLORREF(Odd)) << "the 8-bit palette holds the colour itself";
  const TRect Cell(20, 10, 180, 90);
  auto Check = [&](const char* Name) {
    EXPECT_EQ(COLORREF(C->GetPixel(Cell.Left, Cell.Top)), Nearest) << Name;
    EXPECT_EQ(COLORREF(C->GetPixel(Cell.Right - 1, Cell.Bottom - 1)), Nearest) << Name;
    EXPECT_EQ(C->GetPixel(Cell.Left - 1, Cell.Top), clWhite) << Name;
    EXPECT_EQ(C->GetPixel(Cell.Right, Cell.Bottom), clWhite) << Name;
    Integer Ink = 0;
    for (Integer Y = Cell.Top; Y < Cell.Top + 30; ++Y)
      for (Integer X = Cell.Left; X < Cell.Left + 60; ++X) Ink += C->GetPixel(X, Y) == clBlack;
    EXPECT_GT(Ink, 10) << Name;
    EXPECT_EQ(C->GetBrush()->GetColor(), Odd) << Name;
    EXPECT_EQ(C->GetBrush()->GetStyle(), bsSolid) << Name;
  };
  WriteTextKv(C, Cell, false, 2, 2, L"Kayıt", 0, 0, false, false, 0, 0, 0, true);
  Check("WriteTextKv");
  EXPECT_GE(ScratchBitmapKv()->GetWidth(), Cell.Width());
  EXPECT_GE(ScratchBitmapKv()->GetHeight(), Cell.Height());
  C->GetBrush()->SetColor(clWhite);
  C->FillRect(TRect(0, 0, 200, 100));
  C->GetBrush()->SetColor(Odd);
  DrawClippedText(C, Cell, 2, 2, L"Kayıt", 0);
  Check("DrawClippedText");
  // The scratch bitmap only grows.
  WriteTextKv(C, TRect(0, 0, 10, 10), true, 0, 0, L"x", 0, 0, false, false, 0, 0, 0, true);
  EXPECT_GE(ScratchBitmapKv()->GetWidth(), Cell.Width());
}

TEST(IsRightToLeftChar, ByTheFirstCharacter) {
  EXPECT_EQ(IsRightToLeftChar(L"", 7), 0);
  EXPECT_EQ(IsRightToLeftChar(L"Ağ", 7), 0);
  EXPECT_EQ(IsRightToLeftChar(L"\u05D0b", 7), 1);  // Hebrew alef
  EXPECT_EQ(IsRightToLeftChar(L"\u0627", 7), 1);   // Arabic alef
  EXPECT_EQ(IsRightToLeftChar(L" x", 7), 7);
}

}  // namespace

namespace {

// Wine draws no text through DrawTextEx under a rotating world transform, so only what the
// routine does to the canvas is checked here, not the rotated ink.
TEST(WriteTextVerticalKv, HandsTheCanvasBackAsItWas) {
  TBitmap Bmp;
  Bmp.SetSize(50, 100);
  TCanvas* C = Bmp.GetCanvas();
  C->GetBrush()->SetColor(clYellow);
  SetWorldTransformRotation(C, 1.0, 0, 5, 0);  // a caller's own transform is kept
  XFORM Before{}, After{};
  GetWorldTransform(C->GetHandle(), &Before);
  EXPECT_EQ(WriteTextVerticalKv(C, TRect(10, 0, 40, 100), true, 2, 2, L"Deneme", 0, 0, false, false), 0);
  GetWorldTransform(C->GetHandle(), &After);
  EXPECT_EQ(After.eDx, Before.eDx);
  EXPECT_EQ(After.eM11, Before.eM11);
  EXPECT_EQ(GetGraphicsMode(C->GetHandle()), GM_ADVANCED);
  ResetWorldTransformKv(C);
  EXPECT_EQ(WriteTextVerticalKv(C, TRect(10, 0, 40, 100), true, 2, 2, L"Deneme", 0, 0, false, false), 0);
  EXPECT_FALSE(CanvasHasWorldTransform(C));
  EXPECT_EQ(C->GetBrush()->GetColor(), clYellow);
  // The background of the turned rectangle is filled where the cell is.
  EXPECT_EQ(C->GetPixel(25, 50), clYellow);
  EXPECT_EQ(C->GetPixel(45, 50), clWhite);
}

// The columns of the bitmap that hold the highlight colour on the first text line.
std::vector<Integer> HighlightedColumns(TCanvas* C, Integer Y) {
  std::vector<Integer> Columns;
  for (Integer X = 0; X < 200; ++X)
    if (C->GetPixel(X, Y) == clYellow) Columns.push_back(X);
  return Columns;
}

TEST(DrawTextSearchHighlights, MarksEachHitAndCountsThoseOutOfView) {
  TBitmap Bmp;
  Bmp.SetSize(200, 100);
  TCanvas* C = Bmp.GetCanvas();
  C->GetBrush()->SetColor(clWhite);
  C->FillRect(TRect(0, 0, 200, 100));
  C->GetFont()->SetHeight(-16);
  C->GetFont()->SetColor(clBlue);
  const String Text = L"elma armut elma";
  Integer OutOfView = -1;
  DrawTextSearchHighlights(C, TRect(0, 0, 200, 30), 2, 2, Text, 0, false, false, 0, 0, 0, 0, L"ELMA", true, true,
                           false, clYellow, 0, 0, OutOfView);
  EXPECT_EQ(OutOfView, 0);
  EXPECT_EQ(C->GetBrush()->GetColor(), clWhite) << "the brush is given back";
  EXPECT_EQ(C->GetFont()->GetColor(), clBlue) << "the font colour is given back";
  const Integer Elma = C->TextWidth(L"elma"), UpToSecond = C->TextWidth(L"elma armut ");
  auto Columns = HighlightedColumns(C, 4);
  ASSERT_FALSE(Columns.empty());
  EXPECT_GE(Columns.front(), 2);
  EXPECT_LE(Columns.back(), 2 + UpToSecond + Elma);
  for (Integer X : Columns)
    EXPECT_TRUE(X < 2 + Elma || X >= 2 + UpToSecond) << "column " << X << " lies in the word between the hits";

  // In a narrow cell the second hit wraps to a line below the cell.
  DrawTextSearchHighlights(C, TRect(0, 40, 60, 60), 2, 2, Text, 0, false, true, 0, 0, 0, 0, L"elma", false, false,
                           false, clYellow, 0, 0, OutOfView);
  EXPECT_EQ(OutOfView, 1);
  DrawTextSearchHighlights(C, TRect(0, 0, 200, 30), 2, 2, Text, 0, false, false, 0, 0, 0, 0, L"kiraz", false, false,
                           false, clYellow, 0, 0, OutOfView);
  EXPECT_EQ(OutOfView, 0);
}

}  // namespace
