// The grid's geometry: the layout of the cell area (strips, contra cells, scroll bars), cell
// rectangles and the cell under a point, scrolled, right to left and past 32-bit positions,
// and the sizing zones.

#include <gtest/gtest.h>

#include "tests/kvlib/grids/GridsKvTestUtil.h"

using namespace gridtest;

namespace {

// 6 x 6 cells of 50 x 20 (one fixed of each) in a W x H client area without scroll bars.
struct TPlainGrid : TGridOnForm {
  explicit TPlainGrid(Integer W = 300, Integer H = 120) : TGridOnForm(W, H) {
    Grid->GetHorzScrollBar()->SetVisibleMode(sbNeverShowKv);
    Grid->GetVertScrollBar()->SetVisibleMode(sbNeverShowKv);
  }
};

TEST(GridGeometry, CellRectanglesOfASmallGrid) {
  TPlainGrid G;
  struct {
    TGridRect Cells;
    TRect Expected;
  } const Cases[] = {
      {{0, 0, 0, 0}, {0, 0, 50, 20}},
      {{1, 1, 1, 1}, {50, 20, 100, 40}},
      {{5, 5, 5, 5}, {250, 100, 300, 120}},
      {{1, 1, 2, 3}, {50, 20, 150, 80}},
      {{0, 2, 5, 2}, {0, 40, 300, 60}},
      {{4, 4, 9, 9}, {200, 80, 300, 120}},  // the part inside the grid
      {{6, 1, 6, 1}, {0, 0, 0, 0}},
      {{-3, -1, -1, 0}, {0, 0, 0, 0}},
      {{3, 1, 2, 1}, {0, 0, 0, 0}},
  };
  for (const auto& C : Cases) {
    TRect R;
    G->BoxRect(C.Cells, R);
    EXPECT_EQ(R, C.Expected) << C.Cells.Left << "," << C.Cells.Top << " " << C.Cells.Right << "," << C.Cells.Bottom;
  }
  EXPECT_EQ(G->SumColWidths(0, 6), 300);
  EXPECT_EQ(G->SumColWidths(2, 3), 150);
  EXPECT_EQ(G->SumColWidths(4, 0), 0);
  EXPECT_EQ(G->SumRowHeights(5, 4), 20);
}

TEST(GridGeometry, ScrolledRectanglesAndHitsWithClipping) {
  TPlainGrid G(200);  // 150 pixels for 250 of rolling columns
  G->SetLeftPos(25);
  EXPECT_EQ(G->GetLeftPos(), 25);
  struct {
    Integer Col;
    TRect Plain, Clipped;
  } const Cases[] = {
      {0, {0, 20, 50, 40}, {0, 20, 50, 40}},
      {1, {25, 20, 75, 40}, {50, 20, 75, 40}},  // half hidden under the fixed column
      {2, {75, 20, 125, 40}, {75, 20, 125, 40}},
      {4, {175, 20, 225, 40}, {175, 20, 200, 40}},  // cut at the contra start
  };
  for (const auto& C : Cases) {
    TRect Plain, Clipped;
    G->CellRect(C.Col, 1, Plain);
    G->CellRectEx(C.Col, 1, false, true, Clipped);
    EXPECT_EQ(Plain, C.Plain) << C.Col;
    EXPECT_EQ(Clipped, C.Clipped) << C.Col;
  }
  struct {
    Integer X, Y;
    TGridCoord Expected;
  } const Hits[] = {
      {10, 10, {0, 0}},  {49, 19, {0, 0}},  {50, 20, {1, 1}}, {74, 30, {1, 1}},    {75, 30, {2, 1}},
      {199, 119, {4, 5}}, {200, 10, {-1, 0}}, {-1, 10, {-1, 0}}, {10, 120, {0, -1}}, {10, -5, {0, -1}},
  };
  for (const auto& H : Hits) EXPECT_EQ(G->MouseCoord(H.X, H.Y), H.Expected) << H.X << "," << H.Y;
  EXPECT_EQ(G->CalcCoordFromPoint(200, 10).X, 6) << "beyond the cell area: the full count";
  // LeftCol scrolls a column to the front as far as the extent allows.
  G->SetLeftCol(5);
  EXPECT_EQ(G->GetLeftPos(), 100);
  EXPECT_EQ(G->GetLeftCol(), 3);
  EXPECT_EQ(G->GetVisibleColCount(), 3);
  EXPECT_EQ(G->GetLastFullVisibleCol(), 5);
  G->SetLeftCol(-4);
  EXPECT_EQ(G->GetLeftPos(), 0);
}

TEST(GridGeometry, ContraCellsAndTheEmptySpaceBeforeThem) {
  TPlainGrid G;
  G->SetColCount(4);  // rolling columns end at 200
  G->SetContraColCount(1);
  G->SetColWidths(4, 30);
  TGridAxisDataKv* H = G->GetHorzAxis();
  EXPECT_EQ(H->GetContraLen(), 31) << "the contra boundary line counts";
  EXPECT_EQ(H->GetContraStart(), 269);
  EXPECT_EQ(H->GetRolInClientBoundary(), 200);
  EXPECT_TRUE(H->GetInEndOfRol());
  struct {
    Integer X;
    Integer Col;
  } const Hits[] = {{199, 3}, {200, -1}, {268, -1}, {269, 4}, {298, 4}, {299, -1}};
  for (const auto& Hit : Hits) EXPECT_EQ(G->MouseCoord(Hit.X, 30).X, Hit.Col) << Hit.X;
  EXPECT_EQ(G->CellRect(4, 1), TRect(269, 20, 299, 40));
  G->SetOptions(G->GetOptions() - TGridOptionsKv{goContraVertBoundaryLineKv});
  EXPECT_EQ(H->GetContraStart(), 270);
}

TEST(GridGeometry, OutBoundaryStripsAndAScrollBarShrinkTheCellArea) {
  TPlainGrid G;
  G->SetContraRowCount(1);
  G->GetOutBoundaryData()->SetTopIndent(10);
  G->GetOutBoundaryData()->SetLeftIndent(5);
  TGridAxisDataKv* V = G->GetVertAxis();
  EXPECT_EQ(V->GetGridClientStart(), 10);
  EXPECT_EQ(G->GetHorzAxis()->GetGridClientStart(), 5);
  EXPECT_EQ(G->CellRect(0, 0), TRect(5, 10, 55, 30));
  EXPECT_EQ(G->MouseCoord(5, 10), MakeGridCoord(0, 0));
  EXPECT_EQ(G->MouseCoord(4, 9), MakeGridCoord(-1, -1));
  EXPECT_EQ(V->GetContraStart(), 120 - 21);
  G->GetHorzScrollBar()->SetVisibleMode(sbAlwaysShowKv);
  Integer HS = G->GetScrollBarSize();
  ASSERT_GT(HS, 0);
  EXPECT_EQ(V->GetGridClientStop(), 120 - HS);
  EXPECT_EQ(V->GetContraStart(), 120 - HS - 21);
  EXPECT_EQ(G->CellRect(0, 6).Bottom, 120 - HS - 1);
  EXPECT_EQ(G->GetHorzAxis()->GetGridClientStop(), 300) << "the vertical bar stays hidden";
}

TEST(GridGeometry, RightToLeftMirrorsRectanglesAndHits) {
  TPlainGrid G;
  G->SetBiDiMode(bdRightToLeft);
  EXPECT_EQ(G->CellRect(0, 0), TRect(250, 0, 300, 20));
  EXPECT_EQ(G->CellRect(1, 1), TRect(200, 20, 250, 40));
  EXPECT_EQ(G->MouseCoord(299, 5), MakeGridCoord(0, 0));
  EXPECT_EQ(G->MouseCoord(240, 25), MakeGridCoord(1, 1));
  EXPECT_EQ(G->MouseCoord(1, 25), MakeGridCoord(5, 1));
  G->SetCanvasRightToLeftReflected(true);  // a mirrored canvas takes the unmirrored rectangle
  EXPECT_EQ(G->CellRect(1, 1), TRect(50, 20, 100, 40));
  G->SetCanvasRightToLeftReflected(false);
  TRect Content;
  G->GetCellContentRect(1, 1, Content);
  EXPECT_EQ(Content, TRect(201, 20, 250, 39)) << "the right line comes off the left side";
}

TEST(GridGeometry, ContentRectangleLeavesTheDrawnLinesOut) {
  TPlainGrid G(200);
  TRect R;
  G->GetCellContentRect(1, 1, R);
  EXPECT_EQ(R, TRect(50, 20, 99, 39));
  G->SetLeftPos(25);
  G->GetCellContentRect(1, 1, R);
  EXPECT_EQ(R, TRect(50, 20, 75, 39)) << "a column narrower than its width keeps its right edge";
  G->SetOptions(TGridOptionsKv{goFixedVertLineKv, goFixedHorzLineKv});
  G->GetCellContentRect(2, 2, R);
  EXPECT_EQ(R, TRect(75, 40, 125, 60));
  G->GetCellContentRect(0, 2, R);
  EXPECT_EQ(R, TRect(0, 40, 49, 59));
  EXPECT_FALSE(G->IsCellLineVisible(2, 2, cbtRightKv));
  EXPECT_TRUE(G->IsCellLineVisible(2, 0, cbtBottomKv));
}

TEST(GridGeometry, SizingZonesAroundBorders) {
  TPlainGrid G;
  struct {
    Integer X, Y;
    TGridStateKv State;
    Integer Index, Pos, Ofs;
  } const Cases[] = {
      {96, 10, gsNormalKv, -1, 0, 0},     {97, 10, gsColSizingKv, 1, 100, 3}, {104, 10, gsColSizingKv, 1, 100, -4},
      {105, 10, gsNormalKv, -1, 0, 0},    {100, 30, gsNormalKv, -1, 0, 0},    {50, 10, gsNormalKv, -1, 0, 0},
      {296, 10, gsNormalKv, -1, 0, 0},    {297, 10, gsColSizingKv, 5, 300, 3}, {10, 37, gsNormalKv, -1, 0, 0},
      {10, 38, gsRowSizingKv, 1, 40, 2}, {10, 43, gsRowSizingKv, 1, 40, -3},  {10, 44, gsNormalKv, -1, 0, 0},
      {10, 20, gsNormalKv, -1, 0, 0},     {60, 40, gsNormalKv, -1, 0, 0},
  };
  for (const auto& C : Cases) {
    TGridStateKv State = gsSelectingKv;
    Integer Index = 99, Pos = 0, Ofs = 0;
    G->CalcSizingState(C.X, C.Y, State, Index, Pos, Ofs);
    EXPECT_EQ(State, C.State) << C.X << "," << C.Y;
    EXPECT_EQ(Index, C.Index) << C.X << "," << C.Y;
    if (C.State != gsNormalKv) {
      EXPECT_EQ(Pos, C.Pos) << C.X << "," << C.Y;
      EXPECT_EQ(Ofs, C.Ofs) << C.X << "," << C.Y;
    }
  }
  EXPECT_EQ(G->GetHitTestCursor(TPoint(100, 10)), crHSplit);
  EXPECT_EQ(G->GetHitTestCursor(TPoint(10, 40)), crVSplit);
  EXPECT_EQ(G->GetHitTestCursor(TPoint(30, 30)), crDefault);
  G->SetOptions(G->GetOptions() - TGridOptionsKv{goColSizingKv, goRowSizingKv});
  EXPECT_EQ(G->GetHitTestCursor(TPoint(100, 10)), crDefault);
}

TEST(GridGeometry, ContraCellsAreSizedByTheirLeadingEdge) {
  TPlainGrid G;
  G->SetContraColCount(2);
  G->SetColWidths(6, 30);
  G->SetColWidths(7, 30);
  ASSERT_EQ(G->GetHorzAxis()->GetContraStart(), 239);
  // Column 4 is the last one shown; it reaches into the contra start.
  struct {
    Integer X;
    Integer Index, Pos;
  } const Cases[] = {
      {235, -1, 0}, {236, 4, 239}, {239, 4, 239}, {240, 6, 239}, {242, 6, 239},
      {243, -1, 0}, {266, 7, 269}, {273, 7, 269}, {274, -1, 0},
  };
  for (const auto& C : Cases) {
    TGridStateKv State = gsNormalKv;
    Integer Index = 99, Pos = 0, Ofs = 0;
    G->CalcSizingState(C.X, 10, State, Index, Pos, Ofs);
    EXPECT_EQ(Index, C.Index) << C.X;
    if (C.Index >= 0) EXPECT_EQ(Pos, C.Pos) << C.X;
  }
}

TEST(GridGeometry, AutoScrollBarsShowOnlyWhenThereIsSomethingToScroll) {
  TGridOnForm G;
  TGridAxisDataKv* H = G->GetHorzAxis();
  TGridAxisDataKv* V = G->GetVertAxis();
  EXPECT_EQ(V->GetGridClientStop(), 120) << "100 of rows in 100 of room";
  EXPECT_EQ(H->GetGridClientStop(), 300);
  EXPECT_FALSE(G->GetVertScrollBar()->IsScrollBarShowing());
  G->SetRowCount(7);
  Integer S = G->GetScrollBarSize();
  EXPECT_TRUE(G->GetVertScrollBar()->IsScrollBarShowing());
  EXPECT_EQ(H->GetGridClientStop(), 300 - S);
  EXPECT_TRUE(G->GetHorzScrollBar()->IsScrollBarShowing()) << "the narrower area needs the horizontal bar";
  EXPECT_EQ(V->GetGridClientStop(), 120 - S);
  // The panels were handed the bars' parameters and places.
  Integer Position = -1, Min = -1, Max = -1, Page = -1;
  G->GetVertScrollBarPanelControl()->GetParams(Position, Min, Max, Page);
  EXPECT_EQ(Position, 0);
  EXPECT_EQ(Min, 0);
  EXPECT_EQ(Max, 119);
  EXPECT_EQ(Page, 100 - S);
  EXPECT_TRUE(G->GetVertScrollBarPanelControl()->GetVisible());
  EXPECT_EQ(G->GetVertScrollBarPanelControl()->GetBoundsRect(), TRect(300 - S, 0, 300, 120 - S));
  EXPECT_EQ(G->GetCornerScrollBarPanelControl()->GetBoundsRect(), TRect(300 - S, 120 - S, 300, 120));
  G->GetVertScrollBar()->SetVisible(false);
  EXPECT_EQ(G->GetVertScrollBar()->GetVisibleMode(), sbNeverShowKv);
  EXPECT_EQ(H->GetGridClientStop(), 300);
  G->GetVertScrollBar()->SetVisibleMode(sbAlwaysShowKv);
  G->GetVertScrollBar()->SetVisible(false);
  G->GetVertScrollBar()->SetVisible(true);
  EXPECT_EQ(G->GetVertScrollBar()->GetVisibleMode(), sbAutoShowKv);
}

TEST(GridGeometry, PositionsPastThirtyTwoBits) {
  TPlainGrid G;
  G->SetRowCount(4);
  for (Integer Row = 1; Row <= 3; ++Row) G->SetRowHeights(Row, 1500000000);
  EXPECT_EQ(G->SumRowHeights(1, 3), 4500000000LL);
  EXPECT_EQ(G->GetVertAxis()->GetRolLen(), 4500000000LL);
  Int64 MaxHorz = 0, MaxVert = 0;
  G->CalcMaxScrollPositions(MaxHorz, MaxVert, true, true);
  EXPECT_EQ(MaxVert, 4500000000LL - 100);
  G->SetTopPos(4500000000LL - 100);
  EXPECT_EQ(G->GetTopPos(), 4500000000LL - 100);
  EXPECT_GT(G->GetTopPos(), Int64(1) << 32);
  EXPECT_EQ(G->GetTopRow(), 3);
  EXPECT_EQ(G->MouseCoord(10, 70), MakeGridCoord(0, 3));
  EXPECT_EQ(G->MouseCoord(10, 119), MakeGridCoord(0, 3));
  TRect Shown = G->CellRect(0, 3);
  EXPECT_LE(Shown.Top, 20);
  EXPECT_EQ(Shown.Bottom, 120);
  // Rows far above stay above the window instead of wrapping into it.
  for (Integer Row : {1, 2}) {
    TRect Far = G->CellRect(0, Row);
    EXPECT_LE(Far.Bottom, 0) << Row;
    TRect Clipped;
    G->CellRectEx(0, Row, false, true, Clipped);
    EXPECT_LE(Clipped.Bottom, 20) << Row;
  }
  // And a position set directly beyond the extent is refused.
  EXPECT_EQ(CaughtMessage([&] { G->SetTopPosDirect(4500000001LL); }), L"RolStartVisPos can't be > RolLen");
  G->SetTopPos(1500000000LL + 7);
  EXPECT_EQ(G->MouseCoord(10, 20), MakeGridCoord(0, 2));
  EXPECT_EQ(G->CellRect(0, 2).Top, 20 - 7);
}

TEST(GridGeometry, InvalidationWithoutAWindowDoesNothing) {
  TTestGridKv G(nullptr);
  G.InvalidateRow(1);
  G.InvalidateCol(2);
  G.InvalidateCell(1, 1);
  G.InvalidateGridRect(MakeGridRect(0, 0, 5, 5));
  EXPECT_FALSE(G.HandleAllocated());
  // Without a window the grid lays itself out in its bounds.
  EXPECT_EQ(G.CellRect(5, 5), TRect(250, 100, 300, 120));
}

}  // namespace
