// The family's speed button: its four states and their pictures, the mouse through posted
// messages, the down event's repeat on driven timer ticks, glyph cells and layout.

#include "kvlib/foundation/ButtonsKv.h"

#include <gtest/gtest.h>

#include "kvlib/foundation/ButtonsKvTestUtil.h"

using namespace ctltest;
using namespace buttontest;

namespace {

// A form with one speed button at (10, 10), 30 x 30.
struct TButtonForm {
  TFormHolder F{100, 60};
  TSpeedButtonKv* B;
  TButtonForm() {
    B = new TSpeedButtonKv(F.Form);
    B->SetParent(F.Form);
    B->SetBounds(10, 10, 30, 30);
    F->SetColor(clWhite);
    F->Show();
  }
  TColor Centre() { return PixelOf(F.Form, 25, 25); }
  void Post(UINT Msg, WPARAM Keys, Integer X, Integer Y) { PostMouse(F.Form, Msg, Keys, X + 10, Y + 10); }
};

TEST(SpeedButtonKv, EachStateDrawsItsOwnImage) {
  TButtonForm T;
  auto Normal = SolidImages({clRed}), Hot = SolidImages({clLime}), Pressed = SolidImages({clBlue}),
       Disabled = SolidImages({clYellow});
  TButtonImagesKv* I = T.B->GetInternalEditButtonImages();
  I->SetNormalImages(Normal.get());
  I->SetHotImages(Hot.get());
  I->SetPressedImages(Pressed.get());
  I->SetDisabledImages(Disabled.get());

  EXPECT_EQ(T.B->GetState(), bsNormalKv);
  EXPECT_EQ(T.Centre(), clRed);
  T.Post(WM_MOUSEMOVE, 0, 15, 15);
  EXPECT_EQ(T.B->GetState(), bsHotKv);
  EXPECT_EQ(T.Centre(), clLime);
  T.Post(WM_LBUTTONDOWN, MK_LBUTTON, 15, 15);
  EXPECT_EQ(T.B->GetState(), bsPressedKv);
  EXPECT_EQ(T.Centre(), clBlue);
  T.Post(WM_LBUTTONUP, 0, 15, 15);
  EXPECT_EQ(T.B->GetState(), bsHotKv);
  T.B->SetEnabled(false);
  EXPECT_EQ(T.B->GetState(), bsDisabledKv);
  EXPECT_EQ(T.Centre(), clYellow);
  T.B->SetEnabled(true);
  EXPECT_EQ(T.B->GetState(), bsHotKv);
}

TEST(SpeedButtonKv, TheMouseLeavingMakesItNormalAgain) {
  TButtonForm T;
  T.Post(WM_MOUSEMOVE, 0, 15, 15);
  EXPECT_TRUE(T.B->GetMouseInControl());
  EXPECT_EQ(T.B->GetState(), bsHotKv);
  T.Post(WM_MOUSEMOVE, 0, 50, 40);  // over the form, outside the button
  EXPECT_FALSE(T.B->GetMouseInControl());
  EXPECT_EQ(T.B->GetState(), bsNormalKv);
}

TEST(SpeedButtonKv, AStateWithoutItsOwnListDrawsTheNormalListAtItsIndex) {
  TButtonForm T;
  auto Normal = SolidImages({clRed, clLime, clBlue});
  TButtonImagesKv* I = T.B->GetInternalEditButtonImages();
  I->SetNormalImages(Normal.get());
  I->SetHotIndex(1);
  I->SetPressedIndex(2);
  EXPECT_EQ(I->GetStateImages(bsHotKv), Normal.get());
  EXPECT_EQ(I->GetStateIndex(TButtonStateKv(7)), -1);
  T.Post(WM_MOUSEMOVE, 0, 15, 15);
  EXPECT_EQ(T.Centre(), clLime);
  T.Post(WM_LBUTTONDOWN, MK_LBUTTON, 15, 15);
  EXPECT_EQ(T.Centre(), clBlue);
  T.Post(WM_LBUTTONUP, 0, 15, 15);
}

TEST(SpeedButtonKv, DraggingOutShowsHotAndOnlyAReleaseInsideClicks) {
  TButtonForm T;
  Integer Clicks = 0;
  T.B->SetOnClick([&](TObject*) { ++Clicks; });
  T.Post(WM_LBUTTONDOWN, MK_LBUTTON, 5, 5);
  EXPECT_TRUE(T.B->GetLocalDragging());
  EXPECT_TRUE(T.B->GetMouseCapture());
  T.Post(WM_MOUSEMOVE, MK_LBUTTON, 45, 5);
  EXPECT_EQ(T.B->GetState(), bsHotKv);
  T.Post(WM_MOUSEMOVE, MK_LBUTTON, 29, 29);
  EXPECT_EQ(T.B->GetState(), bsPressedKv);
  T.Post(WM_MOUSEMOVE, MK_LBUTTON, 5, 30);  // the row below the button is outside
  EXPECT_EQ(T.B->GetState(), bsHotKv);
  T.Post(WM_LBUTTONUP, 0, 5, 30);
  EXPECT_EQ(Clicks, 0);
  EXPECT_FALSE(T.B->GetLocalDragging());
  EXPECT_EQ(T.B->GetState(), bsNormalKv);

  T.Post(WM_LBUTTONDOWN, MK_LBUTTON, 5, 5);
  T.Post(WM_LBUTTONUP, 0, 6, 6);
  EXPECT_EQ(Clicks, 1);
  EXPECT_FALSE(T.B->GetMouseCapture());
}

TEST(SpeedButtonKv, DownEventRepeatsAfter400AndThenEvery100Milliseconds) {
  TButtonForm T;
  Integer Downs = 0;
  // The property says no repeat; the handler asks for three repeats and then stops.
  T.B->SetOnDown([&](TObject*, bool& AutoRepeat, bool&) {
    EXPECT_FALSE(AutoRepeat);
    ++Downs;
    AutoRepeat = Downs < 4;
  });
  T.Post(WM_LBUTTONDOWN, MK_LBUTTON, 5, 5);
  EXPECT_EQ(Downs, 1);
  TTimer* Timer = OwnedTimer(T.B);
  ASSERT_NE(Timer, nullptr);
  EXPECT_TRUE(Timer->GetEnabled());
  EXPECT_EQ(Timer->GetInterval(), 400u);
  Tick(Timer);
  EXPECT_EQ(Downs, 2);
  EXPECT_EQ(Timer->GetInterval(), 100u);
  EXPECT_TRUE(Timer->GetEnabled());
  Tick(Timer);
  Tick(Timer);
  EXPECT_EQ(Downs, 4);
  EXPECT_FALSE(Timer->GetEnabled()) << "the handler answered no more repeats";
  T.Post(WM_LBUTTONUP, 0, 5, 5);
}

TEST(SpeedButtonKv, RepeatWaitsWhileTheMouseIsOutsideAndReleaseStopsIt) {
  TButtonForm T;
  T.B->SetAutoRepeat(true);
  Integer Downs = 0;
  T.B->SetOnDown([&](TObject*, bool& AutoRepeat, bool&) {
    EXPECT_TRUE(AutoRepeat);
    ++Downs;
  });
  T.Post(WM_LBUTTONDOWN, MK_LBUTTON, 5, 5);
  TTimer* Timer = OwnedTimer(T.B);
  ASSERT_NE(Timer, nullptr);
  T.Post(WM_MOUSEMOVE, MK_LBUTTON, 50, 5);
  Tick(Timer);
  EXPECT_EQ(Downs, 1) << "dragged out: hot, not pressed";
  T.Post(WM_MOUSEMOVE, MK_LBUTTON, 5, 5);
  Tick(Timer);
  EXPECT_EQ(Downs, 2);
  T.Post(WM_LBUTTONUP, 0, 5, 5);
  EXPECT_FALSE(Timer->GetEnabled());
}

TEST(SpeedButtonKv, AnExceptionInTheRepeatedHandlerStopsTheTimer) {
  TButtonForm T;
  T.B->SetAutoRepeat(true);
  Integer Downs = 0;
  T.B->SetOnDown([&](TObject*, bool&, bool&) {
    if (++Downs == 2) throw Exception(L"refused");
  });
  T.Post(WM_LBUTTONDOWN, MK_LBUTTON, 5, 5);
  TTimer* Timer = OwnedTimer(T.B);
  ASSERT_NE(Timer, nullptr);
  EXPECT_THROW(Tick(Timer), Exception);
  EXPECT_FALSE(Timer->GetEnabled());
  T.Post(WM_LBUTTONUP, 0, 5, 5);
}

TEST(SpeedButtonKv, GlyphStripSetsTheNumberOfCells) {
  struct {
    Integer Width;
    Integer Before, After;
  } Cases[] = {
      {64, 3, 4},  // four squares
      {32, 3, 2},
      {16, 3, 1},
      {80, 3, 1},  // five or more: one picture
      {50, 3, 3},  // no whole number of squares: unchanged
  };
  for (auto& C : Cases) {
    TSpeedButtonKv B(nullptr);
    B.SetNumGlyphs(C.Before);
    TBitmap G(C.Width, 16);
    B.SetGlyph(&G);
    EXPECT_EQ(B.GetNumGlyphs(), C.After) << C.Width;
  }
}

TEST(SpeedButtonKv, NumGlyphsAndMarginStayInRange) {
  TSpeedButtonKv B(nullptr);
  struct {
    Integer Set, Got;
  } Cells[] = {{7, 4}, {3, 3}, {0, 1}, {-5, 1}, {2, 2}};
  for (auto& C : Cells) {
    B.SetNumGlyphs(C.Set);
    EXPECT_EQ(B.GetNumGlyphs(), C.Got) << C.Set;
  }
  B.SetMargin(5);
  B.SetMargin(-2);
  EXPECT_EQ(B.GetMargin(), 5);
  B.SetMargin(-1);
  EXPECT_EQ(B.GetMargin(), -1);
  // A zero-cell strip never reaches the layout: drawing does not divide by zero.
  TBitmap G(0, 16);
  B.SetGlyph(&G);
  EXPECT_GE(B.GetNumGlyphs(), 1);
}

TEST(SpeedButtonKv, AcceleratorClicksAnEnabledButton) {
  TButtonForm T;
  T.B->SetCaption(L"&Kaydet");
  Integer Clicks = 0;
  T.B->SetOnClick([&](TObject*) { ++Clicks; });
  EXPECT_EQ(T.B->Perform(CM_DIALOGCHAR, 'K'), 1);
  EXPECT_EQ(T.B->Perform(CM_DIALOGCHAR, 'X'), 0);
  T.B->SetEnabled(false);
  EXPECT_EQ(T.B->Perform(CM_DIALOGCHAR, 'K'), 0);
  EXPECT_EQ(Clicks, 1);
}

TEST(SpeedButtonKv, OnPaintReplacesTheDefaultPainting) {
  TButtonForm T;
  auto Normal = SolidImages({clRed});
  T.B->GetInternalEditButtonImages()->SetNormalImages(Normal.get());
  Integer Paints = 0;
  T.B->SetOnPaint([&](TObject*) { ++Paints; });
  EXPECT_EQ(T.Centre(), clWhite);
  EXPECT_EQ(Paints, 1);
}

TEST(SpeedButtonKv, LayoutPlacesTheGlyphByMarginAndSide) {
  TSpeedButtonKv B(nullptr);
  TBitmap G(16, 16);
  B.SetGlyph(&G);
  TBitmap Canvas(1, 1);
  struct {
    TButtonLayoutKv Layout;
    Integer Margin;
    LongInt BiDi;
    TPoint Glyph;
  } Cases[] = {
      // Client 40 x 20 at (2, 3), no caption: centred across the layout axis.
      {blGlyphLeftKv, -1, 0, {2 + 12, 3 + 2}},
      {blGlyphLeftKv, 4, 0, {2 + 4, 3 + 2}},
      {blGlyphRightKv, 3, 0, {2 + 21, 3 + 2}},
      {blGlyphTopKv, -1, 0, {2 + 12, 3 + 2}},
      {blGlyphBottomKv, 1, 0, {2 + 12, 3 + 3}},
      {blGlyphLeftKv, 3, DT_RTLREADING, {2 + 21, 3 + 2}},  // right to left swaps the sides
  };
  for (auto& C : Cases) {
    TPoint P;
    TRect Text;
    B.GetButtonGlyph()->CalcButtonLayout(Canvas.GetCanvas(), TRect(2, 3, 42, 23), TPoint(0, 0), L"", C.Layout,
                                         C.Margin, 4, P, Text, C.BiDi);
    EXPECT_EQ(P, C.Glyph) << int(C.Layout) << " " << C.Margin;
  }
}

TEST(SpeedButtonKv, LayoutSharesTheRoomWhenSpacingIsNegative) {
  TSpeedButtonKv B(nullptr);
  TBitmap G(16, 16);
  B.SetGlyph(&G);
  TBitmap Canvas(1, 1);
  TCanvas* C = Canvas.GetCanvas();
  Integer TW = C->TextWidth(L"Ab");
  TPoint P;
  TRect Text;
  // Margin -1, spacing -1: three equal gaps around glyph and text.
  B.GetButtonGlyph()->CalcButtonLayout(C, TRect(0, 0, 100, 20), TPoint(1, 1), L"Ab", blGlyphLeftKv, -1, -1, P, Text, 0);
  Integer Gap = (100 - 16 - TW) / 3;
  EXPECT_EQ(P.X, Gap + 1);
  EXPECT_EQ(Text.Left, Gap + 16 + Gap + 1);
  EXPECT_EQ(Text.Width(), TW);
  // Margin 2, spacing -1: the text centred in what the glyph leaves.
  B.GetButtonGlyph()->CalcButtonLayout(C, TRect(0, 0, 100, 20), TPoint(0, 0), L"Ab", blGlyphLeftKv, 2, -1, P, Text, 0);
  EXPECT_EQ(P.X, 2);
  EXPECT_EQ(Text.Left, 2 + 16 + (100 - 2 - 16 - TW) / 2);
}

class SpeedButtonKvGlyph : public ClassicLook {};

TEST_F(SpeedButtonKvGlyph, FourCellsGiveOnePicturePerState) {
  TButtonForm T;
  auto Strip = GlyphStrip({clRed, clLime, clBlue, clYellow}, 8, clFuchsia);
  T.B->SetGlyph(Strip.get());
  ASSERT_EQ(T.B->GetNumGlyphs(), 4);
  EXPECT_EQ(T.Centre(), clRed);
  T.Post(WM_MOUSEMOVE, 0, 15, 15);
  EXPECT_EQ(T.Centre(), clLime);
  T.Post(WM_LBUTTONDOWN, MK_LBUTTON, 15, 15);
  EXPECT_EQ(T.Centre(), clBlue);
  T.Post(WM_LBUTTONUP, 0, 15, 15);
  T.B->SetEnabled(false);
  EXPECT_EQ(T.Centre(), clYellow);
  // The transparent bottom row of the cell shows the face under it.
  auto Shot = PaintForm(T.F.Form);
  TColor Face = TColor(ColorToRGB(clBtnFace));
  Integer FaceRow = 0;
  for (Integer X = 10; X < 40; ++X) FaceRow += (Shot->GetCanvas()->GetPixel(X, 10 + 11 + 7) & 0xFFFFFF) == Face;
  EXPECT_GT(FaceRow, 20);
}

TEST_F(SpeedButtonKvGlyph, TwoCellsUseTheFirstForPressedAndRecolourItWhenDisabled) {
  TButtonForm T;
  auto Strip = GlyphStrip({Rgb(128, 128, 128), clLime}, 8, clFuchsia);
  T.B->SetGlyph(Strip.get());
  ASSERT_EQ(T.B->GetNumGlyphs(), 2);
  T.Post(WM_LBUTTONDOWN, MK_LBUTTON, 15, 15);
  EXPECT_EQ(T.Centre(), Rgb(128, 128, 128)) << "pressed draws cell 0 when there are fewer than three";
  T.Post(WM_LBUTTONUP, 0, 15, 15);
  T.B->SetEnabled(false);
  EXPECT_EQ(T.Centre(), TColor(ColorToRGB(clBtnShadow))) << "grey becomes the shadow colour";
}

TEST_F(SpeedButtonKvGlyph, OneCellIsEmbossedWhenDisabled) {
  TButtonForm T;
  // A black 7 x 7 square on a fuchsia ground.
  auto Strip = GlyphStrip({clBlack}, 8, clFuchsia);
  Strip->GetCanvas()->GetBrush()->SetColor(clFuchsia);
  Strip->GetCanvas()->FillRect(TRect(7, 0, 8, 8));
  T.B->SetGlyph(Strip.get());
  T.B->SetEnabled(false);
  auto Shot = PaintForm(T.F.Form);
  // The glyph's top-left lies at (10 + 12, 10 + 12): margin (30 - 8 + 1) div 2 inside the frame.
  TCanvas* C = Shot->GetCanvas();
  Integer X0 = 10 + 11, Y0 = 10 + 11;
  TColor Shadow = TColor(ColorToRGB(clBtnShadow)), Highlight = TColor(ColorToRGB(clBtnHighlight));
  EXPECT_EQ(C->GetPixel(X0 + 3, Y0 + 3) & 0xFFFFFF, Shadow);
  EXPECT_EQ(C->GetPixel(X0 + 7, Y0 + 7) & 0xFFFFFF, Highlight) << "the highlight shows one pixel down and right";
}

TEST_F(SpeedButtonKvGlyph, DisabledCaptionIsEngraved) {
  TButtonForm T;
  T.B->SetBounds(10, 10, 80, 30);
  T.B->SetCaption(L"MMM");
  T.B->GetFont()->SetColor(clRed);
  T.B->GetFont()->SetSize(14);
  // Text may be smoothed: count pixels by their hue rather than exact colours.
  auto Count = [&](auto Is) {
    auto Shot = PaintForm(T.F.Form);
    Integer N = 0;
    for (Integer Y = 12; Y < 38; ++Y)
      for (Integer X = 12; X < 88; ++X) {
        TColor C = Shot->GetCanvas()->GetPixel(X, Y) & 0xFFFFFF;
        N += Is(C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF);
      }
    return N;
  };
  auto Reddish = [](Integer R, Integer G, Integer B) { return R > 160 && G < 100 && B < 100; };
  const TColor Shadow = TColor(ColorToRGB(clBtnShadow));
  auto DarkGrey = [&](Integer R, Integer G, Integer B) { return TColor(R | (G << 8) | (B << 16)) == Shadow; };
  EXPECT_GT(Count(Reddish), 10);
  EXPECT_EQ(Count(DarkGrey), 0);
  T.B->SetEnabled(false);
  EXPECT_EQ(Count(Reddish), 0);
  EXPECT_GT(Count(DarkGrey), 10) << "drawn in the shadow colour over a highlight copy";
}

}  // namespace
