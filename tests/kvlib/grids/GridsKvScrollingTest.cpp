// The grid's scrolling: the scroll requests of the bars, smooth and by cells, the wheel, the pan
// gesture, the bar parameters past 32 bits and what a scroll leaves to repaint.

#include <gtest/gtest.h>

#include "framework/WinApi.h"
#include "tests/kvlib/grids/GridsKvTestUtil.h"

using namespace gridtest;

namespace {

class TScrollGridKv : public TTestGridKv {
 public:
  explicit TScrollGridKv(TComponent* AOwner) : TTestGridKv(AOwner) {}
  using TCustomGridKv::DoGesture;
  using TCustomGridKv::GetHorzWheelStep;
  using TCustomGridKv::GetVertWheelStep;
  using TCustomGridKv::DoMouseWheelDown;
  using TCustomGridKv::DoMouseWheelUp;
  Integer Scrolls = 0;

 protected:
  void DoScrolled() override { ++Scrolls; }
};

// 101 rows (one fixed) of 20 pixels and 6 columns of 50 in 300 x 120 without scroll bars: the
// rolling rows are 2000 pixels long, 100 of them shown.
struct TScrollGrid {
  ctltest::TFormHolder Form{700, 500};
  TScrollGridKv* Grid;
  explicit TScrollGrid(Integer W = 300, Integer H = 120, Integer Rows = 101) : Grid(new TScrollGridKv(Form.Form)) {
    Grid->SetBorderStyle(bsNone);
    Grid->SetBounds(0, 0, W, H);
    Grid->SetParent(Form.Form);
    Grid->GetHorzScrollBar()->SetVisibleMode(sbNeverShowKv);
    Grid->GetVertScrollBar()->SetVisibleMode(sbNeverShowKv);
    Grid->SetRowCount(Rows);
    Grid->HandleNeeded();
  }
  TScrollGridKv* operator->() const { return Grid; }
  // The shown form lets the window collect an update region.
  HWND Shown() {
    Form->Show();
    ctltest::Pump();
    UpdateWindow(Grid->GetHandle());
    return Grid->GetHandle();
  }
};

TRect GridScrollTestUpdate(HWND Wnd) {
  RECT R{};
  if (!GetUpdateRect(Wnd, &R, FALSE)) return TRect(0, 0, 0, 0);
  return TRect(R.left, R.top, R.right, R.bottom);
}

TEST(GridScrolling, BarRequestsOnEveryCode) {
  struct {
    bool Smooth;
    Integer Code, Pos;
    bool Tracking;
    Int64 Start, Expected;
  } const Cases[] = {
      {true, SB_LINEDOWN, 0, true, 0, 5},
      {true, SB_LINEUP, 0, true, 50, 45},
      {true, SB_LINEUP, 0, true, 2, 0},
      {true, SB_PAGEDOWN, 0, true, 0, 100},
      {true, SB_PAGEUP, 0, true, 250, 150},
      {true, SB_TOP, 0, true, 250, 0},
      {true, SB_BOTTOM, 0, true, 0, 1900},
      {true, SB_THUMBPOSITION, 777, true, 0, 777},
      {true, SB_THUMBTRACK, 333, true, 0, 333},
      {true, SB_THUMBTRACK, 333, false, 10, 10},
      {true, SB_THUMBPOSITION, 5000, false, 10, 1900},
      {true, SB_ENDSCROLL, 0, true, 10, 10},
      {false, SB_LINEDOWN, 0, true, 0, 20},
      {false, SB_LINEDOWN, 0, true, 45, 60},
      {false, SB_LINEUP, 0, true, 45, 40},
      {false, SB_LINEUP, 0, true, 40, 20},
      {false, SB_LINEUP, 0, true, 0, 0},
      {false, SB_PAGEDOWN, 0, true, 0, 100},
      {false, SB_PAGEDOWN, 0, true, 10, 100},
      {false, SB_PAGEUP, 0, true, 250, 160},
      {false, SB_PAGEUP, 0, true, 60, 0},
      {false, SB_TOP, 0, true, 250, 0},
      {false, SB_BOTTOM, 0, true, 0, 1900},
      {false, SB_THUMBPOSITION, 1900, true, 0, 1900},
      {false, SB_THUMBPOSITION, 215, true, 0, 220},
      {false, SB_THUMBPOSITION, 205, true, 0, 200},
      {false, SB_THUMBTRACK, 215, true, 0, 220},
      {false, SB_THUMBTRACK, 215, false, 40, 40},
      {false, SB_ENDSCROLL, 0, true, 40, 40},
  };
  for (const auto& C : Cases) {
    TScrollGrid G;
    G->GetVertScrollBar()->SetSmoothStep(C.Smooth);
    G->GetVertScrollBar()->SetTracking(C.Tracking);
    G->SetTopPosDirect(C.Start);
    G->DoScroll(sbVertical, C.Code, C.Pos, true);
    EXPECT_EQ(G->GetTopPos(), C.Expected)
        << (C.Smooth ? "smooth" : "by cells") << " code " << C.Code << " pos " << C.Pos << " from " << C.Start;
  }
}

TEST(GridScrolling, WheelWithAndWithoutCtrl) {
  struct {
    bool Smooth, Down, Ctrl;
    Int64 Start, Expected;
  } const Cases[] = {
      {true, true, false, 0, 5},      {true, true, true, 0, 100},    {true, false, false, 50, 45},
      {true, false, true, 50, 0},     {true, true, true, 1850, 1900}, {false, true, false, 0, 20},
      {false, true, true, 0, 100},    {false, true, true, 10, 100},  {false, false, false, 45, 40},
      {false, false, false, 40, 20},  {false, false, true, 250, 160}, {false, false, false, 0, 0},
  };
  for (const auto& C : Cases) {
    TScrollGrid G;
    G->GetVertScrollBar()->SetSmoothStep(C.Smooth);
    G->SetTopPosDirect(C.Start);
    TShiftState Shift = C.Ctrl ? TShiftState{ssCtrl} : TShiftState{};
    bool Answer = C.Down ? G->DoMouseWheelDown(Shift, TPoint(10, 10)) : G->DoMouseWheelUp(Shift, TPoint(10, 10));
    EXPECT_TRUE(Answer);
    EXPECT_EQ(G->GetTopPos(), C.Expected) << (C.Smooth ? "smooth" : "by cells") << (C.Down ? " down" : " up")
                                          << (C.Ctrl ? " ctrl" : "") << " from " << C.Start;
    EXPECT_EQ(G->GetLeftPos(), 0);
  }
  // A handler that takes the wheel keeps the grid where it is.
  TScrollGrid G;
  bool Called = false;
  G->SetOnMouseWheelDown([&](TObject*, TShiftState, TPoint, bool& Handled) {
    Called = true;
    Handled = true;
  });
  EXPECT_TRUE(G->DoMouseWheelDown(TShiftState{}, TPoint(10, 10)));
  EXPECT_TRUE(Called);
  EXPECT_EQ(G->GetTopPos(), 0);
}

TEST(GridScrolling, EdgeCases) {
  {
    // The line step is a twentieth of the rolling area, never 0.
    TScrollGrid G;
    G->GetVertScrollBar()->SetSmoothStep(true);
    G->DoScroll(sbVertical, SB_LINEDOWN, 0, true);
    EXPECT_EQ(G->GetTopPos(), 5);
    TScrollGrid Small(300, 30);
    Small->GetVertScrollBar()->SetSmoothStep(true);
    Small->DoScroll(sbVertical, SB_LINEDOWN, 0, true);
    EXPECT_EQ(Small->GetTopPos(), 1);
  }
  {
    // Ctrl+wheel down by cells with the last row cut shows that row first.
    TScrollGrid G(300, 110);
    G->SetTopPosDirect(0);
    EXPECT_EQ(G->GetVertAxis()->GetRolLastVisCel(), 4);
    EXPECT_NE(G->GetVertAxis()->GetRolLastFullVisCel(), 4);
    G->DoMouseWheelDown(TShiftState{ssCtrl}, TPoint(10, 10));
    EXPECT_EQ(G->GetTopRow(), 1 + 4);
  }
  {
    // A row is brought to the front as far as the pixel maximum allows.
    TScrollGrid G;
    G->SetTopRowByPixel(11);
    EXPECT_EQ(G->GetTopPos(), 200);
    G->SetTopRowByPixel(100);
    EXPECT_EQ(G->GetTopPos(), 1900);
  }
  {
    // A column wider than the rolling area shows its start.
    TScrollGrid G;
    G->SetColWidths(3, 400);
    G->ScrollToCell(MakeGridCoord(3, 1), true, false);
    EXPECT_EQ(G->GetLeftPos(), 100);
  }
  {
    // Right to left, line left from the bar scrolls as line right, and the thumb is mirrored.
    TScrollGrid G(200);
    G->SetBiDiMode(bdRightToLeft);
    G->DoScroll(sbHorizontal, SB_LINELEFT, 0, true);
    EXPECT_EQ(G->GetLeftPos(), 50);
    G->DoScroll(sbHorizontal, SB_LINELEFT, 0, false);
    EXPECT_EQ(G->GetLeftPos(), 0);
    Integer Position = 0, Min = 0, Max = 0, Page = 0;
    G->GetHorzScrollBarParams(Position, Min, Max, Page);
    G->DoScroll(sbHorizontal, SB_THUMBPOSITION, Max - Page + 1, true);
    EXPECT_EQ(G->GetLeftPos(), 0);
    G->DoScroll(sbHorizontal, SB_THUMBPOSITION, 0, true);
    EXPECT_EQ(G->GetLeftPos(), 100);
  }
}

TEST(GridScrolling, StepsWhenTheFixedRowsExceedTheClient) {
  TScrollGrid G;
  G->SetFixedRowCount(8);  // 160 pixels of fixed rows in 120
  EXPECT_EQ(G->GetVertWheelStep(), 1);
  EXPECT_EQ(G->GetHorzWheelStep(), 12);
  G->GetVertScrollBar()->SetSmoothStep(true);
  G->SetTopPosDirect(40);
  G->DoScroll(sbVertical, SB_LINEDOWN, 0, true);
  EXPECT_GE(G->GetTopPos(), 40);
  G->DoScroll(sbVertical, SB_LINEUP, 0, true);
  EXPECT_LE(G->GetTopPos(), 40);
  G->DoMouseWheelDown(TShiftState{}, TPoint(1, 1));
  EXPECT_GE(G->GetTopPos(), 40);
}

TEST(GridScrolling, OneAxisScrollMovesTheContents) {
  TScrollGrid G;
  G->GetVertScrollBar()->SetSmoothStep(true);
  HWND Wnd = G.Shown();
  ASSERT_EQ(GridScrollTestUpdate(Wnd), TRect(0, 0, 0, 0));
  G->DoScroll(sbVertical, SB_LINEDOWN, 0, true);
  EXPECT_EQ(GridScrollTestUpdate(Wnd), TRect(0, 115, 300, 120));
  EXPECT_EQ(G->Scrolls, 1);
  UpdateWindow(Wnd);
  G->SetColCount(10);
  G->CheckUpdateAxes();
  UpdateWindow(Wnd);
  G->SetLeftPos(30);
  EXPECT_EQ(GridScrollTestUpdate(Wnd), TRect(270, 0, 300, 120));
  EXPECT_EQ(G->Scrolls, 2);
}

TEST(GridScrolling, LongJumpWithCloseLowBitsRepaintsTheArea) {
  TScrollGrid G(300, 120, 4);
  for (Integer Row = 1; Row <= 3; ++Row) G->SetRowHeights(Row, 1500000000);
  HWND Wnd = G.Shown();
  G->SetTopPos(100);
  UpdateWindow(Wnd);
  // 2^32 + 3 pixels further: the low 32 bits alone would say 3.
  G->SetTopPos(100 + (Int64(1) << 32) + 3);
  EXPECT_EQ(G->GetTopPos(), 100 + (Int64(1) << 32) + 3);
  EXPECT_EQ(GridScrollTestUpdate(Wnd), TRect(0, 20, 300, 120));
}

TEST(GridScrolling, BarParametersPastThirtyTwoBits) {
  TScrollGrid G(300, 120, 4);
  for (Integer Row = 1; Row <= 3; ++Row) G->SetRowHeights(Row, 1500000000);
  G->GetVertScrollBar()->SetSmoothStep(true);
  Integer Position = 0, Min = 0, Max = 0, Page = 0;
  G->GetVertScrollBarParams(Position, Min, Max, Page);
  EXPECT_EQ(Position, 0);
  EXPECT_GT(Max, 1 << 29);
  EXPECT_GE(Page, 1);
  // The thumb at the bar's end is the extent's end; half way is half way.
  G->DoScroll(sbVertical, SB_THUMBPOSITION, Max - Page + 1, true);
  EXPECT_EQ(G->GetTopPos(), 4500000000LL - 100);
  G->GetVertScrollBarParams(Position, Min, Max, Page);
  EXPECT_EQ(Position, Max - Page + 1);
  G->DoScroll(sbVertical, SB_THUMBPOSITION, Max / 2, true);
  EXPECT_NEAR(double(G->GetTopPos()), 2250000000.0, 10.0);
}

TEST(GridScrolling, PanGesture) {
  TScrollGrid G;
  auto Pan = [&](TPoint P, TInteractiveGestureFlags Flags) {
    TGestureEventInfo E;
    E.GestureID = igiPan;
    E.Location = P;
    E.Flags = Flags;
    bool Handled = false;
    G->DoGesture(E, Handled);
    EXPECT_TRUE(Handled);
  };
  Pan(TPoint(100, 100), TInteractiveGestureFlags{gfBegin});
  Pan(TPoint(100, 85), {});  // less than a row
  EXPECT_EQ(G->GetTopPos(), 0);
  Pan(TPoint(100, 55), {});  // two rows up: the grid moves two rows down
  EXPECT_EQ(G->GetTopPos(), 40);
  Pan(TPoint(100, 55), TInteractiveGestureFlags{gfEnd});
  EXPECT_EQ(G->GetTopPos(), 40);
  // Another gesture is not the grid's.
  TGestureEventInfo Zoom;
  Zoom.GestureID = igiZoom;
  bool Handled = false;
  G->DoGesture(Zoom, Handled);
  EXPECT_FALSE(Handled);
}

TEST(GridScrolling, PanOverAZeroHeightTopRowDoesNothing) {
  TScrollGrid G(300, 120, 2);
  G->SetColCount(2);
  G->SetRowHeights(1, 0);
  G->SetColWidths(1, 0);
  ASSERT_EQ(G->GetTopRow(), 1);
  ASSERT_EQ(G->GetLeftCol(), 1);
  TGestureEventInfo E;
  E.GestureID = igiPan;
  E.Location = TPoint(100, 100);
  E.Flags = TInteractiveGestureFlags{gfBegin};
  bool Handled = false;
  G->DoGesture(E, Handled);
  E.Flags = {};
  E.Location = TPoint(100, 20);
  G->DoGesture(E, Handled);
  E.Location = TPoint(20, 100);
  G->DoGesture(E, Handled);
  EXPECT_EQ(G->GetTopPos(), 0);
  EXPECT_EQ(G->GetLeftPos(), 0);
}

}  // namespace
