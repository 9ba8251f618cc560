// Colour arithmetic, gradients, the alpha bitmap's runs, and the pixels of the edit-button glyphs,
// check boxes and tree elements as the classic (unthemed) look paints them.

#include "kvlib/foundation/ToolCtrlsKv.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/ImgList.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include <uxtheme.h>

namespace {

constexpr TColor Rgb(Integer R, Integer G, Integer B) { return TColor(R | (G << 8) | (B << 16)); }

// A white bitmap to paint into, read back pixel by pixel.
struct TPaintBox {
  TPaintBox(Integer W, Integer H) {
    Bmp.SetPixelFormat(pf32bit);
    Bmp.SetSize(W, H);
    C = Bmp.GetCanvas();
    C->GetBrush()->SetColor(clWhite);
    C->FillRect(TRect(0, 0, W, H));
  }
  TColor At(Integer X, Integer Y) { return C->GetPixel(X, Y) & 0xFFFFFF; }
  // The pixels that are not white, as "x,y" in row order.
  std::vector<TPoint> Ink() {
    std::vector<TPoint> P;
    for (Integer Y = 0; Y < Bmp.GetHeight(); ++Y)
      for (Integer X = 0; X < Bmp.GetWidth(); ++X)
        if (At(X, Y) != clWhite) P.push_back(TPoint(X, Y));
    return P;
  }
  std::vector<Cardinal> Pixels() { return Bmp.GetPixelsBGRA(); }
  TBitmap Bmp;
  TCanvas* C;
};

// The classic look: the program's themes turned off for the test, so glyphs are painted in the
// system colours with the frame-control routines.
class ClassicLook : public testing::Test {
 protected:
  void SetUp() override {
    FSaved = GetThemeAppProperties();
    SetThemeAppProperties(0);
    StyleServices()->UpdateThemes();
    ASSERT_FALSE(ThemesEnabledKv());
  }
  void TearDown() override {
    SetThemeAppProperties(FSaved);
    StyleServices()->UpdateThemes();
  }
  DWORD FSaved = 0;
};
class ButtonGlyph : public ClassicLook {};
class PaintButtonControl : public ClassicLook {};
class ButtonsBitmapCache : public ClassicLook {};
class TreeElement : public ClassicLook {};

TEST(ColorArithmetic, MixColorsRunsFromTheFirstToTheSecondColour) {
  struct {
    TColor C1, C2;
    Double Amount;
    TColor Expected;
  } Cases[] = {
      {clWhite, clBlack, 128, Rgb(127, 127, 127)},  // 255 + trunc(-128.0)
      {clWhite, clBlack, 0, clWhite},
      {clWhite, clBlack, 255, clBlack},
      {clRed, clBlue, 50, Rgb(205, 0, 50)},
      {clBlack, clWhite, 85.33, Rgb(85, 85, 85)},
      {clWhite, clBlack, 300, clBlack},  // past 255 clamps
      {clBlack, clWhite, -10, clBlack},
  };
  for (auto& T : Cases) EXPECT_EQ(MixColors(T.C1, T.C2, T.Amount), T.Expected) << T.Amount;
}

TEST(ColorArithmetic, MixColorsResolvesSystemColours) {
  TColor Face = TColor(ColorToRGB(clBtnFace));
  EXPECT_EQ(MixColors(clBtnFace, clBlack, 0), Face);
  EXPECT_EQ(MixColors(clBlack, clBtnFace, 255), Face);
}

TEST(ColorArithmetic, MixColorsByPercentRoundsHalvesToEven) {
  struct {
    TColor C1, C2;
    Double Percent;
    TColor Expected;
  } Cases[] = {
      {clBlack, clWhite, 30, Rgb(76, 76, 76)},     // 76.5
      {clWhite, clBlack, 30, Rgb(178, 178, 178)},  // 178.5
      {clBlack, clWhite, 50, Rgb(128, 128, 128)},  // 127.5
      {clRed, clBlack, 100, clBlack},
      {clRed, clBlack, 0, clRed},
      {clBlack, clWhite, 150, clWhite},
  };
  for (auto& T : Cases) EXPECT_EQ(MixColorsByPercent(T.C1, T.C2, T.Percent), T.Expected) << T.Percent;
}

TEST(ColorArithmetic, LuminanceWeighsRedGreenAndBlue) {
  struct {
    TColor Color;
    Integer Luminance;
  } Cases[] = {{clRed, 76}, {clLime, 149}, {clBlue, 28}, {clWhite, 255}, {clBlack, 0}, {Rgb(10, 20, 30), 18}};
  for (auto& T : Cases) EXPECT_EQ(ColorLuminance(T.Color), T.Luminance) << std::hex << T.Color;
  EXPECT_EQ(GrayColor(clRed), Rgb(76, 76, 76));
}

TEST(ColorArithmetic, DarkerColorKeepsTheFirstOnATie) {
  EXPECT_EQ(DarkerColor(clWhite, clRed), clRed);
  EXPECT_EQ(DarkerColor(clRed, clWhite), clRed);
  // Both have luminance 76.
  EXPECT_EQ(DarkerColor(clRed, Rgb(76, 76, 76)), clRed);
  EXPECT_EQ(DarkerColor(Rgb(76, 76, 76), clRed), Rgb(76, 76, 76));
}

TEST(ColorArithmetic, ChangeColorLuminanceKeepsHue) {
  EXPECT_EQ(ChangeColorLuminance(clRed, 0), clBlack);
  EXPECT_EQ(ChangeColorLuminance(clRed, 256), clWhite);
  TColor Half = ChangeColorLuminance(clRed, 128);
  EXPECT_EQ(Half, clRed);
  TColor Light = ChangeColorLuminance(clRed, 192);
  EXPECT_EQ(Light & 0xFF, 0xFF);
  EXPECT_EQ((Light >> 8) & 0xFF, (Light >> 16) & 0xFF);
  EXPECT_GT((Light >> 8) & 0xFF, 100);
}

TEST(Gradient, FillsRowsFromTopToBottomColour) {
  TPaintBox P(4, 3);
  FillGradientRect(P.C, TRect(0, 0, 4, 3), clBlack, clWhite);
  EXPECT_EQ(P.At(0, 0), clBlack);
  EXPECT_EQ(P.At(3, 1), Rgb(128, 128, 128));  // 127.5 rounds to even
  EXPECT_EQ(P.At(2, 2), clWhite);
}

TEST(Gradient, OneRowTakesTheFirstColourAndAnEmptyRectPaintsNothing) {
  TPaintBox P(4, 3);
  FillGradientRect(P.C, TRect(1, 1, 3, 2), clRed, clBlue);
  FillGradientRect(P.C, TRect(0, 2, 4, 2), clBlack, clBlack);
  FillGradientRect(P.C, TRect(0, 2, 4, 1), clBlack, clBlack);
  EXPECT_EQ(P.At(1, 1), clRed);
  EXPECT_EQ(P.At(2, 1), clRed);
  EXPECT_EQ(P.Ink().size(), 2u);
}

TEST(Gradient, LinesStepFromStartToEndColourAndKeepThePen) {
  TPaintBox P(6, 4);
  P.C->GetPen()->SetColor(clLime);
  std::vector<TPoint> Lines = {{0, 0}, {3, 0}, {0, 1}, {3, 1}, {0, 2}, {3, 2}};
  DrawGradientLines(P.C, TPoint(1, 1), Lines, clBlack, clWhite);
  EXPECT_EQ(P.At(1, 1), clBlack);
  EXPECT_EQ(P.At(3, 1), clBlack);
  EXPECT_EQ(P.At(4, 1), clWhite);  // the end is not painted
  EXPECT_EQ(P.At(2, 2), Rgb(128, 128, 128));
  EXPECT_EQ(P.C->GetPen()->GetColor(), clLime);
}

TEST(CacheAlphaBitmap, CapturedLinesGoIntoTheBitmapAsOpaqueRuns) {
  TCacheAlphaBitmapKv* A = CacheAlphaBitmap(8, 4);
  ASSERT_GE(A->GetWidth(), 8);
  std::vector<Cardinal> Clear(size_t(A->GetWidth() * A->GetHeight()), 0);
  A->SetPixelsBGRA(A->GetWidth(), A->GetHeight(), Clear.data(), afDefined);
  A->Capture();
  EXPECT_TRUE(IsCacheAlphaBitmapCaptured());
  EXPECT_THROW(
      {
        try {
          A->Capture();
        } catch (const Exception& E) {
          EXPECT_EQ(E.Message(), L"CacheAlphaBitmap have captured");
          throw;
        }
      },
      Exception);
  TPaintBox P(8, 4);
  std::vector<TPoint> Lines = {{1, 0}, {4, 0}};
  DrawGradientLines(P.C, TPoint(0, 1), Lines, clRed, clRed);
  A->DrawHorzLine(TPoint(-2, 2), 3, clBlue);  // clipped at the left
  A->DrawHorzLine(TPoint(A->GetWidth(), 3), 3, clBlue);
  A->DrawHorzLine(TPoint(0, -1), 3, clBlue);
  A->Release();
  EXPECT_FALSE(IsCacheAlphaBitmapCaptured());
  EXPECT_TRUE(P.Ink().empty());
  std::vector<Cardinal> Px = A->GetPixelsBGRA();
  Integer W = A->GetWidth();
  EXPECT_EQ(Px[size_t(W + 0)], 0u);
  EXPECT_EQ(Px[size_t(W + 1)], 0xFFFF0000u);
  EXPECT_EQ(Px[size_t(W + 3)], 0xFFFF0000u);
  EXPECT_EQ(Px[size_t(W + 4)], 0u);  // three pixels, as the canvas draws the segment
  EXPECT_EQ(Px[size_t(2 * W + 0)], 0xFF0000FFu);
  EXPECT_EQ(Px[size_t(2 * W + 1)], 0u);
  EXPECT_EQ(Px[size_t(3 * W + W - 1)], 0u);
}

TEST(CheckBoxRect, AlignsTheGlyphInTheCell) {
  TSize G = CheckBoxSizeKv();
  ASSERT_GT(G.cx, 0);
  ASSERT_GT(G.cy, 0);
  TRect Cell(10, 20, 10 + G.cx + 7, 20 + G.cy + 17);
  EXPECT_EQ(AlignCheckBoxRect(Cell, taRightJustify, taAlignBottom),
            TRect(Cell.Right - G.cx, Cell.Bottom - G.cy, Cell.Right, Cell.Bottom));
  EXPECT_EQ(AlignCheckBoxRect(Cell, taLeftJustify, taAlignTop), TRect(10, 20, 10 + G.cx, 20 + G.cy));
  TRect Centre = AlignCheckBoxRect(Cell, taCenter, taVerticalCenter);
  EXPECT_EQ(Centre.Left, Cell.Left + (Cell.Width() >> 1) - (G.cx >> 1));
  EXPECT_EQ(Centre.Top, Cell.Top + (Cell.Height() >> 1) - (G.cy >> 1));
  // A cell smaller than the glyph gives its own size.
  EXPECT_EQ(AlignCheckBoxRect(TRect(0, 0, 5, 6), taCenter, taVerticalCenter), TRect(0, 0, 5, 6));
}

TEST_F(ButtonGlyph, EllipsisOfTenPixelsHasTwoPixelDotsOneApart) {
  TPaintBox P(10, 10);
  DrawButtonGlyph(P.C, bcsEllipsisKv, TRect(0, 0, 10, 10), true, false, false, false, false, false);
  std::vector<TPoint> Expected;
  for (Integer Y : {4, 5})
    for (Integer X : {1, 2, 4, 5, 7, 8}) Expected.push_back(TPoint(X, Y));
  EXPECT_EQ(P.Ink(), Expected);
  EXPECT_EQ(P.At(4, 4), TColor(ColorToRGB(clBtnText)));
}

TEST_F(ButtonGlyph, PlusAndMinusBarsAreCentred) {
  // 16 x 16 less 2 a side: a 12-pixel square, bars 6 long and 2 thick.
  TPaintBox Minus(16, 16), Plus(16, 16);
  DrawButtonGlyph(Minus.C, bcsMinusKv, TRect(0, 0, 16, 16), true, false, false, false, false, false);
  DrawButtonGlyph(Plus.C, bcsPlusKv, TRect(0, 0, 16, 16), true, false, false, false, false, false);
  auto M = Minus.Ink();
  ASSERT_EQ(M.size(), 12u);
  EXPECT_EQ(M.front(), TPoint(5, 7));
  EXPECT_EQ(M.back(), TPoint(10, 8));
  auto Pl = Plus.Ink();
  EXPECT_EQ(Pl.size(), 20u);
  EXPECT_EQ(Pl.front(), TPoint(7, 5));
  EXPECT_EQ(Pl.back(), TPoint(8, 10));
}

TEST_F(ButtonGlyph, PressedGlyphMovesOneRightAndDown) {
  TPaintBox Up(16, 16), Down(16, 16);
  DrawButtonGlyph(Up.C, bcsMinusKv, TRect(0, 0, 16, 16), true, false, false, false, false, false);
  DrawButtonGlyph(Down.C, bcsMinusKv, TRect(0, 0, 16, 16), true, false, false, true, false, false);
  auto U = Up.Ink(), D = Down.Ink();
  ASSERT_EQ(U.size(), D.size());
  for (size_t I = 0; I < U.size(); ++I) EXPECT_EQ(D[I], TPoint(U[I].X + 1, U[I].Y + 1));
}

TEST_F(ButtonGlyph, DisabledGlyphIsEmbossed) {
  TPaintBox P(10, 10);
  DrawButtonGlyph(P.C, bcsEllipsisKv, TRect(0, 0, 10, 10), false, false, false, false, false, false);
  EXPECT_EQ(P.At(4, 4), TColor(ColorToRGB(clBtnShadow)));
  EXPECT_EQ(P.At(6, 6), TColor(ColorToRGB(clBtnHighlight)));
}

TEST_F(ButtonGlyph, AltDropDownIsOneDownArrowSizedByTheButton) {
  struct {
    Integer Size;
    Integer ArrowWidth;
  } Cases[] = {{10, 3}, {12, 5}, {16, 7}, {19, 9}};
  for (auto& T : Cases) {
    TPaintBox P(T.Size, T.Size);
    DrawButtonGlyph(P.C, bcsAltDropDownKv, TRect(0, 0, T.Size, T.Size), true, false, false, false, false, false);
    auto Ink = P.Ink();
    Integer Rows = T.ArrowWidth / 2 + 1;
    ASSERT_EQ(Integer(Ink.size()), Rows * Rows) << T.Size;
    Integer X = (T.Size - T.ArrowWidth) / 2, Y = (T.Size - Rows) / 2;
    EXPECT_EQ(Ink.front(), TPoint(X, Y)) << T.Size;
    EXPECT_EQ(Ink.back(), TPoint(X + T.ArrowWidth / 2, Y + Rows - 1)) << T.Size;
    EXPECT_EQ(P.At(X, Y), TColor(ColorToRGB(clWindowText)));
  }
}

// The drop-down and up/down glyphs are the system's frame-control buttons: a face with an arrow in
// the button-text colour pointing the glyph's way; without a back the drop-down only fills.
TEST_F(ButtonGlyph, DropDownAndUpDownAreFrameControlButtonsWithArrows) {
  struct {
    const char* Name;
    TDrawButtonControlStyleKv Style;
    bool DownDirect;
    bool PointsDown;
  } const Cases[] = {
      {"drop-down", bcsDropDownKv, false, true},
      {"up half", bcsUpDownKv, false, false},
      {"down half", bcsUpDownKv, true, true},
  };
  const TColor Text = TColor(ColorToRGB(clBtnText)), Face = TColor(ColorToRGB(clBtnFace));
  for (const auto& C : Cases) {
    TPaintBox P(17, 17);
    DrawButtonGlyph(P.C, C.Style, TRect(0, 0, 17, 17), true, false, false, false, C.DownDirect, true);
    EXPECT_EQ(P.At(3, 3), Face) << C.Name;
    // The widths of the arrow's rows, top to bottom.
    std::vector<Integer> Rows;
    for (Integer Y = 0; Y < 17; ++Y) {
      Integer W = 0;
      for (Integer X = 2; X < 15; ++X) W += P.At(X, Y) == Text;
      if (W > 0) Rows.push_back(W);
    }
    ASSERT_GE(Rows.size(), 2u) << C.Name;
    if (C.PointsDown)
      EXPECT_GT(Rows.front(), Rows.back()) << C.Name;
    else
      EXPECT_LT(Rows.front(), Rows.back()) << C.Name;
  }
  TPaintBox Plain(17, 17);
  Plain.C->GetBrush()->SetColor(clYellow);
  DrawButtonGlyph(Plain.C, bcsDropDownKv, TRect(0, 0, 17, 17), true, false, false, false, false, false);
  EXPECT_EQ(Plain.Ink().size(), 17u * 17u);
  EXPECT_EQ(Plain.At(8, 8), TColor(clYellow));
}

TEST_F(PaintButtonControl, UpDownWithLowerButtonDownPressesOnlyTheLowerHalf) {
  TPaintBox P(16, 20);
  PaintButtonControlKv(P.C, TRect(0, 0, 16, 20), clNone, bcsAltUpDownKv, 2, false, false, true, cbUnchecked, 1.0,
                       false);
  // Upper half 10 high: a 3-wide up arrow, tip at (7, 4), not moved.
  EXPECT_NE(P.At(7, 4), clWhite);
  EXPECT_EQ(P.At(6, 4), clWhite);
  EXPECT_NE(P.At(6, 5), clWhite);
  EXPECT_NE(P.At(8, 5), clWhite);
  // Lower half pressed: the down arrow moves from (6, 14) to (7, 15).
  EXPECT_EQ(P.At(6, 14), clWhite);
  EXPECT_NE(P.At(7, 15), clWhite);
  EXPECT_NE(P.At(9, 15), clWhite);
  EXPECT_NE(P.At(8, 16), clWhite);
  EXPECT_EQ(P.Ink().size(), 8u);
}

TEST_F(PaintButtonControl, OddUpDownGetsASeparatorInTheBorderColour) {
  TPaintBox P(16, 21);
  PaintButtonControlKv(P.C, TRect(0, 0, 16, 21), clRed, bcsAltUpDownKv, 0, false, false, true, cbUnchecked, 1.0,
                       false);
  for (Integer X = 0; X < 16; ++X) EXPECT_EQ(P.At(X, 10), clRed) << X;
  EXPECT_NE(P.At(0, 9), clRed);
  EXPECT_NE(P.At(0, 11), clRed);
}

TEST_F(PaintButtonControl, FlatInactiveButtonIsFramedInTheBorderColour) {
  TPaintBox P(16, 16);
  PaintButtonControlKv(P.C, TRect(0, 0, 16, 16), clRed, bcsDropDownKv, 0, true, false, true, cbUnchecked, 1.0, true);
  for (Integer I = 0; I < 16; ++I) {
    EXPECT_EQ(P.At(I, 0), clRed);
    EXPECT_EQ(P.At(I, 15), clRed);
    EXPECT_EQ(P.At(0, I), clRed);
    EXPECT_EQ(P.At(15, I), clRed);
  }
  EXPECT_NE(P.At(8, 8), clRed);
}

TEST_F(PaintButtonControl, CheckBoxShowsItsState) {
  TPaintBox Off(20, 13), On(20, 13), Grey(20, 13);
  PaintButtonControlKv(Off.C, TRect(0, 0, 20, 13), clNone, bcsCheckboxKv, 0, false, false, true, cbUnchecked, 1.0,
                       true);
  PaintButtonControlKv(On.C, TRect(0, 0, 20, 13), clNone, bcsCheckboxKv, 0, false, false, true, cbChecked, 1.0, true);
  PaintButtonControlKv(Grey.C, TRect(0, 0, 20, 13), clNone, bcsCheckboxKv, 0, false, false, true, cbGrayed, 1.0,
                       true);
  EXPECT_NE(Off.Pixels(), On.Pixels());
  EXPECT_NE(On.Pixels(), Grey.Pixels());
  // The square is centred: the three columns at each side stay untouched.
  for (Integer Y = 0; Y < 13; ++Y) {
    EXPECT_EQ(On.At(2, Y), clWhite);
    EXPECT_EQ(On.At(17, Y), clWhite);
  }
  EXPECT_NE(On.At(3, 0), clWhite);
}

// Every style through the cache looks as it does painted directly.
TEST_F(ButtonsBitmapCache, CachedGlyphsMatchDirectPainting) {
  for (Integer S = bcsDropDownKv; S <= bcsAltUpDownKv; ++S) {
    for (bool Enabled : {true, false}) {
      TPaintBox Direct(18, 17), Cached(18, 17);
      auto Style = TDrawButtonControlStyleKv(S);
      PaintButtonControlKv(Direct.C, TRect(0, 0, 18, 17), clNone, Style, 1, false, false, Enabled, cbChecked, 1.0,
                           true);
      UseButtonsBitmapCacheKv = true;
      PaintButtonControlKv(Cached.C, TRect(0, 0, 18, 17), clNone, Style, 1, false, false, Enabled, cbChecked, 1.0,
                           true);
      UseButtonsBitmapCacheKv = false;
      EXPECT_EQ(Direct.Pixels(), Cached.Pixels()) << "style " << S << " enabled " << Enabled;
    }
  }
  ClearButtonsBitmapCache();
}

TEST_F(ButtonsBitmapCache, EqualKeysShareOneBitmap) {
  TButtonsBitmapCache Cache;
  TButtonBitmapInfoKv Info;
  Info.Size = TPoint(13, 13);
  Info.BitmapType = bcsCheckboxKv;
  Info.Enabled = true;
  TBitmap* First = Cache.GetButtonBitmap(Info);
  EXPECT_EQ(Cache.GetButtonBitmap(Info), First);
  EXPECT_EQ(Cache.Count(), 1);
  Info.CheckState = cbChecked;
  TBitmap* Checked = Cache.GetButtonBitmap(Info);
  EXPECT_NE(Checked, First);
  EXPECT_EQ(Cache.Count(), 2);
  EXPECT_EQ(Checked->GetWidth(), 13);
  Info.Size = TPoint(-4, 3);
  EXPECT_EQ(Cache.GetButtonBitmap(Info)->GetWidth(), 0);
  Cache.Clear();
  EXPECT_EQ(Cache.Count(), 0);
}

// Each part of the key tells entries apart, and every entry is found again after others came.
TEST_F(ButtonsBitmapCache, EveryPartOfTheKeyCounts) {
  TButtonsBitmapCache Cache;
  std::vector<TButtonBitmapInfoKv> Keys(1);
  Keys[0].Size = TPoint(9, 9);
  Keys[0].BitmapType = bcsPlusKv;
  auto Vary = [&](auto Change) {
    TButtonBitmapInfoKv K = Keys[0];
    Change(K);
    Keys.push_back(K);
  };
  Vary([](TButtonBitmapInfoKv& K) { K.Size = TPoint(9, 10); });
  Vary([](TButtonBitmapInfoKv& K) { K.Size = TPoint(10, 9); });
  Vary([](TButtonBitmapInfoKv& K) { K.BitmapType = bcsMinusKv; });
  Vary([](TButtonBitmapInfoKv& K) { K.Flat = true; });
  Vary([](TButtonBitmapInfoKv& K) { K.Pressed = true; });
  Vary([](TButtonBitmapInfoKv& K) { K.Active = true; });
  Vary([](TButtonBitmapInfoKv& K) { K.Enabled = true; });
  Vary([](TButtonBitmapInfoKv& K) { K.DownDirect = true; });
  Vary([](TButtonBitmapInfoKv& K) { K.CheckState = cbGrayed; });
  Vary([](TButtonBitmapInfoKv& K) { K.DrawBack = true; });
  std::vector<TBitmap*> Bitmaps;
  for (const auto& K : Keys) Bitmaps.push_back(Cache.GetButtonBitmap(K));
  EXPECT_EQ(Cache.Count(), Integer(Keys.size()));
  for (size_t I = 0; I < Keys.size(); ++I) {
    EXPECT_EQ(Cache.GetButtonBitmap(Keys[I]), Bitmaps[I]) << I;
    EXPECT_TRUE(CompareButtonBitmapInfo(Cache.Get(Integer(I))->BitmapInfo, Keys[I])) << I;
  }
  EXPECT_EQ(Cache.Count(), Integer(Keys.size()));
  Cache.Clear();
  EXPECT_NE(Cache.GetButtonBitmap(Keys[3]), nullptr);
  EXPECT_EQ(Cache.Count(), 1);
}

TEST(ThemedGlyph, IsAGradientFromTheDarkShadowColour) {
  if (!ThemesEnabledKv()) GTEST_SKIP() << "no system theme";
  TPaintBox P(16, 16);
  DrawButtonGlyph(P.C, bcsMinusKv, TRect(0, 0, 16, 16), true, false, false, false, false, false);
  TColor Dark = TColor(ColorToRGB(cl3DDkShadow));
  EXPECT_EQ(P.At(5, 7), Dark);
  EXPECT_EQ(P.At(10, 8), MixColorsByPercent(Dark, clBlack, 30));
  TPaintBox Off(16, 16);
  DrawButtonGlyph(Off.C, bcsMinusKv, TRect(0, 0, 16, 16), false, false, false, false, false, false);
  TColor Grey = TColor(ColorToRGB(clGrayText));
  EXPECT_EQ(Off.At(5, 7), Grey);
  EXPECT_EQ(Off.At(10, 8), MixColorsByPercent(Grey, clWhite, 30));
}

TEST(DottedLine, DotsEveryOtherPixelInThePhase) {
  struct {
    TPoint Start;
    Integer Length;
    bool Horizontal, Phase;
    std::vector<TPoint> Dots;
  } Cases[] = {
      {{0, 0}, 5, true, false, {{0, 0}, {2, 0}, {4, 0}}},
      {{0, 0}, 5, true, true, {{1, 0}, {3, 0}}},
      {{1, 0}, 4, true, true, {{1, 0}, {3, 0}}},
      {{2, 1}, 3, false, false, {{2, 2}}},
      {{2, 1}, 6, false, false, {{2, 2}, {2, 4}, {2, 6}}},
      {{0, 0}, 0, true, false, {}},
  };
  for (auto& T : Cases) {
    TPaintBox P(8, 8);
    P.C->GetPen()->SetColor(clBlack);
    DrawDottedLine(P.C, T.Start, T.Length, T.Horizontal, T.Phase);
    EXPECT_EQ(P.Ink(), T.Dots) << T.Start.X << "," << T.Start.Y << " " << T.Length;
  }
}

TEST_F(TreeElement, CollapsedButtonWithLinesAtScaleOne) {
  TPaintBox P(19, 19);
  DrawTreeElementKv(P.C, TRect(0, 0, 19, 19), 5, false, 1.0, 1.0, false, true, tvgsClassicKv);
  TColor Shadow = TColor(ColorToRGB(clBtnShadow)), Text = TColor(ColorToRGB(clWindowText));
  // A 9 x 9 box around the centre (9, 9).
  for (Integer I = 5; I <= 13; ++I) {
    EXPECT_EQ(P.At(I, 5), Shadow) << I;
    EXPECT_EQ(P.At(5, I), Shadow) << I;
    EXPECT_EQ(P.At(13, I), Shadow) << I;
  }
  EXPECT_EQ(P.At(9, 9), Text);
  EXPECT_EQ(P.At(7, 9), Text);
  EXPECT_EQ(P.At(11, 9), Text);
  EXPECT_EQ(P.At(9, 7), Text);
  EXPECT_EQ(P.At(6, 9), TColor(ColorToRGB(clWindow)));
  // Dotted lines up, down and right.
  Integer Up = 0, Down = 0, Right = 0;
  for (Integer Y = 0; Y < 5; ++Y) Up += P.At(9, Y) == Shadow;
  for (Integer Y = 14; Y < 19; ++Y) Down += P.At(9, Y) == Shadow;
  for (Integer X = 14; X < 19; ++X) Right += P.At(X, 9) == Shadow;
  EXPECT_GE(Up, 2);
  EXPECT_GE(Down, 2);
  EXPECT_GE(Right, 2);
  EXPECT_EQ(P.At(0, 9), clWhite);
}

TEST_F(TreeElement, ExpandedButtonWithoutLinesHasOnlyTheMinus) {
  TPaintBox P(19, 19);
  DrawTreeElementKv(P.C, TRect(0, 0, 19, 19), 4, false, 1.0, 1.0, false, true, tvgsClassicKv);
  EXPECT_EQ(P.At(9, 9), TColor(ColorToRGB(clWindowText)));
  EXPECT_NE(P.At(9, 7), TColor(ColorToRGB(clWindowText)));
  for (Integer Y = 0; Y < 5; ++Y) EXPECT_EQ(P.At(9, Y), clWhite);
  for (Integer X = 14; X < 19; ++X) EXPECT_EQ(P.At(X, 9), clWhite);
}

}  // namespace

namespace {

// A solid 4 x 4 red graphic drawn into a white 40 x 20 canvas.
struct TImageBox : TPaintBox {
  TImageBox() : TPaintBox(40, 20) {
    Red.SetPixelFormat(pf32bit);
    Red.SetSize(4, 4);
    Red.GetCanvas()->GetBrush()->SetColor(clRed);
    Red.GetCanvas()->FillRect(TRect(0, 0, 4, 4));
  }
  TRect RedBounds() {
    TRect R(1000, 1000, -1, -1);
    for (auto& P : Ink()) {
      R.Left = std::min(R.Left, P.X);
      R.Top = std::min(R.Top, P.Y);
      R.Right = std::max(R.Right, P.X + 1);
      R.Bottom = std::max(R.Bottom, P.Y + 1);
    }
    return R;
  }
  TBitmap Red;
};

TEST(ImageInRect, AlignsZoomsAndClipsTheGraphic) {
  struct {
    TAlignment Align;
    Integer DX;
    Double Zoom;
    TRect Expected;
  } Cases[] = {
      {taLeftJustify, 0, 1.0, {10, 8, 14, 12}},
      {taRightJustify, 0, 1.0, {26, 8, 30, 12}},
      {taCenter, 0, 1.0, {18, 8, 22, 12}},
      {taLeftJustify, 2, 1.0, {12, 8, 16, 12}},
      {taLeftJustify, 0, 2.0, {10, 6, 18, 14}},
      {taRightJustify, 3, 1.0, {29, 8, 30, 12}},  // past the right edge: clipped
  };
  for (auto& T : Cases) {
    TImageBox B;
    DrawImageInRect(nullptr, &B.Red, B.C, TRect(10, 4, 30, 16), 0, T.DX, 0, T.Align, TRect(0, 0, 40, 20), T.Zoom,
                    true);
    EXPECT_EQ(B.RedBounds(), T.Expected) << T.Align << " " << T.DX << " " << T.Zoom;
  }
  TImageBox Outside;
  DrawImageInRect(nullptr, &Outside.Red, Outside.C, TRect(10, 4, 30, 16), 0, 0, 0, taLeftJustify,
                  TRect(0, 0, 5, 5), 1.0, true);
  EXPECT_TRUE(Outside.Ink().empty());
}

}  // namespace

namespace {

TEST(ImageListCentered, CentresTheImageAndClipsWhatDoesNotFit) {
  TImageList Images(nullptr);
  Images.SetWidth(6);
  Images.SetHeight(6);
  TBitmap Red;
  Red.SetPixelFormat(pf24bit);
  Red.SetSize(6, 6);
  Red.GetCanvas()->GetBrush()->SetColor(clRed);
  Red.GetCanvas()->FillRect(TRect(0, 0, 6, 6));
  ASSERT_EQ(Images.Add(&Red, nullptr), 0);
  struct {
    TRect Cell;
    TRect Expected;
  } Cases[] = {
      {{0, 0, 20, 10}, {7, 2, 13, 8}},
      {{10, 10, 14, 20}, {10, 12, 14, 18}},  // narrower than the image: clipped to the cell
  };
  for (auto& T : Cases) {
    TImageBox B;
    DrawImageListCentered(B.C, T.Cell, &Images, 0, false);
    EXPECT_EQ(B.RedBounds(), T.Expected) << T.Cell.Left;
  }
  TImageBox None;
  DrawImageListCentered(None.C, TRect(0, 0, 20, 10), &Images, 5, false);
  EXPECT_TRUE(None.Ink().empty());
}

}  // namespace

namespace {

TEST(ThemedTreeElement, ExplorerAndThemedGlyphsDrawInTheCell) {
  if (!ThemesEnabledKv()) GTEST_SKIP() << "no system theme";
  for (auto Style : {tvgsThemedKv, tvgsExplorerThemedKv}) {
    TPaintBox P(19, 19);
    DrawTreeElementKv(P.C, TRect(0, 0, 19, 19), 0, false, 1.0, 1.0, false, true, Style);
    Integer InButton = 0;
    for (auto& Pt : P.Ink()) InButton += Pt.X >= 5 && Pt.X <= 13 && Pt.Y >= 5 && Pt.Y <= 13;
    EXPECT_GT(InButton, 4) << Style;
    EXPECT_NE(P.At(9, 1) == clWhite && P.At(9, 2) == clWhite, true) << Style;  // the line up
  }
}

}  // namespace

namespace {

// The program's own style for one test, the system style again afterwards.
class CustomStyle : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(TStyleManager::TrySetStyle(L"Material Black Pearl")); }
  void TearDown() override { TStyleManager::TrySetStyle(TStyleManager::SystemStyleName); }
};

TEST_F(CustomStyle, ColoursAndGlyphsTakeTheStylesSystemColours) {
  EXPECT_TRUE(IsCustomStyleActiveKv());
  EXPECT_TRUE(ThemesEnabledKv());
  EXPECT_FALSE(IsThemeElementDefinedKv(StyleServices()->GetElementDetails(tcReadOnlyNormal)));
  EXPECT_EQ(GetStyledSystemColor(clBtnFace), Rgb(0x17, 0x18, 0x1C));
  EXPECT_EQ(GetStyledSystemColor(clRed), clRed);
  EXPECT_EQ(MixColors(clBtnFace, clWhite, 0), Rgb(0x17, 0x18, 0x1C));
  TPaintBox P(16, 16);
  DrawButtonGlyph(P.C, bcsMinusKv, TRect(0, 0, 16, 16), true, false, false, false, false, false);
  EXPECT_EQ(P.At(5, 7), Rgb(0x07, 0x08, 0x09));
  TPaintBox Button(18, 18);
  PaintButtonControlKv(Button.C, TRect(0, 0, 18, 18), clNone, bcsEllipsisKv, 0, false, false, true, cbUnchecked, 1.0,
                       true);
  EXPECT_NE(Button.At(2, 2), clWhite);  // the styled button face
}

}  // namespace
