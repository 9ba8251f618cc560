// The grid driven by keys and the mouse through posted messages: moving the current cell and the
// anchor, paging, the refused indexes, cell clicks, sizing and moving by mouse, the cancel mode,
// the state machine after exceptions, and the column-move timer's pacing.

#include <gtest/gtest.h>

#include "framework/WinApi.h"
#include "tests/kvlib/grids/GridsKvInputTestUtil.h"
#include "tests/kvlib/grids/GridsKvTestUtil.h"

using namespace gridinputtest;
using ctltest::Pump;



namespace {

struct TKeyCase {
  const char* Name;
  TGridCoord Start;
  Word Key;
  bool Shift, Ctrl;
  bool RangeSelect;
  std::vector<Integer> NoTabStops;
  TGridCoord Current, Anchor;
};

TEST(GridKeys, SixBySixTable) {
  const TKeyCase Cases[] = {
      {"Tab", {2, 1}, VK_TAB, false, false, false, {}, {3, 1}, {3, 1}},
      {"Tab wraps to the next row", {5, 1}, VK_TAB, false, false, false, {}, {1, 2}, {1, 2}},
      {"Tab on the last cell goes to the first", {5, 5}, VK_TAB, false, false, false, {}, {1, 1}, {1, 1}},
      {"Shift+Tab on the first cell goes to the last", {1, 1}, VK_TAB, true, false, false, {}, {5, 5}, {5, 5}},
      {"Tab skips a column", {2, 1}, VK_TAB, false, false, false, {3}, {4, 1}, {4, 1}},
      {"Shift+Tab skips a column", {4, 1}, VK_TAB, true, false, false, {3}, {2, 1}, {2, 1}},
      {"Right", {1, 1}, VK_RIGHT, false, false, false, {}, {2, 1}, {2, 1}},
      {"Left stops at the fixed column", {1, 1}, VK_LEFT, false, false, false, {}, {1, 1}, {1, 1}},
      {"Down", {3, 2}, VK_DOWN, false, false, false, {}, {3, 3}, {3, 3}},
      {"Up stops at the fixed row", {3, 1}, VK_UP, false, false, false, {}, {3, 1}, {3, 1}},
      {"Home", {4, 3}, VK_HOME, false, false, false, {}, {1, 3}, {1, 3}},
      {"End", {2, 3}, VK_END, false, false, false, {}, {5, 3}, {5, 3}},
      {"Ctrl+Home", {4, 3}, VK_HOME, false, true, false, {}, {1, 1}, {1, 1}},
      {"Ctrl+End", {2, 2}, VK_END, false, true, false, {}, {5, 5}, {5, 5}},
      {"Shift+Right moves only the anchor", {2, 2}, VK_RIGHT, true, false, true, {}, {2, 2}, {3, 2}},
      {"Shift+Up moves only the anchor", {2, 2}, VK_UP, true, false, true, {}, {2, 2}, {2, 1}},
      {"Shift+Right without range select moves both", {2, 2}, VK_RIGHT, true, false, false, {}, {3, 2}, {3, 2}},
  };
  for (const TKeyCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TInputGrid G;
    TGridOptionsKv Options = G->GetOptions() + TGridOptionsKv{goTabsKv};
    if (C.RangeSelect) Options << goRangeSelectKv;
    G->SetOptions(Options);
    G->NoTabStopCols.insert(C.NoTabStops.begin(), C.NoTabStops.end());
    G->FocusCell(C.Start.X, C.Start.Y, true);
    PostKey(G->GetHandle(), C.Key, C.Shift, C.Ctrl);
    EXPECT_EQ(G->GetCurCell(), C.Current);
    EXPECT_EQ(G->GetAnchorCell(), C.Anchor);
  }
}

TEST(GridKeys, RightToLeftArrowsGoTheOtherWay) {
  TInputGrid G;
  G->SetBiDiMode(bdRightToLeft);
  G->FocusCell(2, 2, true);
  PostKey(G->GetHandle(), VK_LEFT);
  EXPECT_EQ(G->GetCol(), 3);
  PostKey(G->GetHandle(), VK_RIGHT);
  PostKey(G->GetHandle(), VK_RIGHT);
  EXPECT_EQ(G->GetCol(), 1);
}

// 100 rolling rows of 20 pixels under a 20-pixel title row: five rows a page (the grid is wide
// enough for its columns and the vertical bar, so no horizontal bar takes room).
TEST(GridKeys, PagingAHundredRows) {
  TInputGrid G(400, 120);
  G->SetRowCount(101);
  G->FocusCell(1, 1, true);
  HWND H = G->GetHandle();
  PostKey(H, VK_NEXT);
  EXPECT_EQ(G->GetRow(), 10);
  EXPECT_EQ(G->GetTopPos(), 100);
  PostKey(H, VK_NEXT);
  EXPECT_EQ(G->GetRow(), 15);
  EXPECT_EQ(G->GetTopPos(), 200);
  PostKey(H, VK_PRIOR);
  EXPECT_EQ(G->GetRow(), 6);
  PostKey(H, VK_PRIOR, false, true);
  EXPECT_EQ(G->GetRow(), G->GetTopRow());
  PostKey(H, VK_END, false, true);
  EXPECT_EQ(G->GetCurCell(), MakeGridCoord(5, 100));
  EXPECT_EQ(G->GetTopPos(), 1900);
  PostKey(H, VK_HOME, false, true);
  EXPECT_EQ(G->GetCurCell(), MakeGridCoord(1, 1));
  EXPECT_EQ(G->GetTopPos(), 0);
  // Every remaining row fits on the next page: the last one becomes current.
  G->FocusCell(1, 95, true);
  PostKey(H, VK_NEXT);
  EXPECT_EQ(G->GetRow(), 100);
}

TEST(GridKeys, PagingAMillionRows) {
  TInputGrid G(400, 120);
  G->SetRowCount(1000001);
  G->FocusCell(1, 500000, true);
  for (Integer I = 0; I < 20; ++I) G->Perform(WM_KEYDOWN, VK_NEXT, 1);
  EXPECT_EQ(G->GetRow(), 500000 + 20 * 5);
  SetShiftKeys(false, true);
  G->Perform(WM_KEYDOWN, VK_END, 1);
  SetShiftKeys(false, false);
  EXPECT_EQ(G->GetRow(), 1000000);
  EXPECT_EQ(G->GetTopPos(), Int64(1000000) * 20 - 100);
  PostKey(G->GetHandle(), VK_PRIOR);
  // The top row of the page above.
  EXPECT_EQ(G->GetRow(), 1000000 - 9);
}

TEST(GridKeys, RefusedIndexesChangeNothing) {
  TInputGrid G;
  G->FocusCell(2, 2, true);
  G->SetAnchorCell(3, 3, true);
  EXPECT_EQ(gridtest::CaughtMessage([&] { G->MoveCurrentCell(6, 1, true, true); }), L"Grid index out of range");
  EXPECT_EQ(gridtest::CaughtMessage([&] { G->MoveCurrentCell(1, -1, true, true); }), L"Grid index out of range");
  EXPECT_EQ(gridtest::CaughtMessage([&] { G->SetAnchorCell(-1, 2, true); }),
            L"TCustomGridKv.SetAnchorCell: Grid index out of range");
  EXPECT_EQ(G->GetCurCell(), MakeGridCoord(2, 2));
  EXPECT_EQ(G->GetAnchorCell(), MakeGridCoord(3, 3));
}

// ---- Mouse ------------------------------------------------------------------------------------

TEST(GridMouse, ReleaseOnAnotherCellFiresNoClick) {
  TInputGrid G;
  std::vector<TGridCoord> Clicked;
  G->SetOnCellMouseClick([&](TCustomGridKv*, TGridCoord Cell, TMouseButton, TShiftState, Integer, Integer, bool&) {
    Clicked.push_back(Cell);
  });
  HWND H = G->GetHandle();
  PostMouse(H, WM_LBUTTONDOWN, 125, 50, MK_LBUTTON);
  PostMouse(H, WM_LBUTTONUP, 175, 70);
  EXPECT_TRUE(Clicked.empty());
  EXPECT_EQ(G->GetCurCell(), MakeGridCoord(2, 2));
  PostMouse(H, WM_LBUTTONDOWN, 175, 70, MK_LBUTTON);
  PostMouse(H, WM_LBUTTONUP, 178, 72);
  EXPECT_EQ(Clicked, (std::vector<TGridCoord>{MakeGridCoord(3, 3)}));
  EXPECT_EQ(G->GetCurCell(), MakeGridCoord(3, 3));
  EXPECT_EQ(G->GetGridState(), gsNormalKv);
}

TEST(GridMouse, DraggingARangeMovesTheAnchor) {
  TInputGrid G;
  G->SetOptions(G->GetOptions() + TGridOptionsKv{goRangeSelectKv});
  HWND H = G->GetHandle();
  PostMouse(H, WM_LBUTTONDOWN, 125, 50, MK_LBUTTON);
  EXPECT_EQ(G->GetGridState(), gsSelectingKv);
  EXPECT_TRUE(G->TimerOn());
  EXPECT_EQ(G->TimerInterval(), 60);
  PostMouse(H, WM_MOUSEMOVE, 175, 70, MK_LBUTTON);
  PostMouse(H, WM_LBUTTONUP, 175, 70);
  EXPECT_EQ(G->GetCurCell(), MakeGridCoord(2, 2));
  EXPECT_EQ(G->GetAnchorCell(), MakeGridCoord(3, 3));
  EXPECT_EQ(G->GetGridState(), gsNormalKv);
  EXPECT_FALSE(G->TimerOn());
}

// Column 1 spans 50 .. 100 in the title row.
TEST(GridMouse, SizingAColumnByDragging) {
  TInputGrid G;
  HWND H = G->GetHandle();
  PostMouse(H, WM_LBUTTONDOWN, 101, 5, MK_LBUTTON);
  ASSERT_EQ(G->GetGridState(), gsColSizingKv);
  PostMouse(H, WM_MOUSEMOVE, 161, 5, MK_LBUTTON);
  PostMouse(H, WM_LBUTTONUP, 161, 5);
  EXPECT_EQ(G->GetColWidths(1), 110);
  EXPECT_EQ(G->GetGridState(), gsNormalKv);
  // A width of 1 is refused.
  PostMouse(H, WM_LBUTTONDOWN, 161, 5, MK_LBUTTON);
  ASSERT_EQ(G->GetGridState(), gsColSizingKv);
  PostMouse(H, WM_MOUSEMOVE, 52, 5, MK_LBUTTON);
  PostMouse(H, WM_LBUTTONUP, 52, 5);
  EXPECT_EQ(G->GetColWidths(1), 110);
  EXPECT_EQ(G->GetGridState(), gsNormalKv);
}

TEST(GridMouse, MovingARowDropsItWhereTheMouseIs) {
  TInputGrid G;
  G->SetRowHeights(2, 23);
  HWND H = G->GetHandle();
  PostMouse(H, WM_LBUTTONDOWN, 10, 48, MK_LBUTTON);
  ASSERT_EQ(G->GetGridState(), gsRowMovingKv);
  EXPECT_TRUE(GetGridMoveLine()->GetVisible());
  // The timer tracks the cursor: over row 4.
  TPoint Over = G->ClientToScreen(TPoint(10, 90));
  SetCursorPos(Over.X, Over.Y);
  G->GridTimerTick(nullptr);
  PostMouse(H, WM_LBUTTONUP, 10, 90);
  EXPECT_EQ(G->GetRowHeights(4), 23);
  EXPECT_EQ(G->GetRowHeights(2), 20);
  EXPECT_FALSE(GetGridMoveLine()->GetVisible());
  EXPECT_FALSE(G->TimerOn());
}

TEST(GridMouse, MovingAColumnDropsItLeftOfTheMarkedColumn) {
  TInputGrid G;
  G->SetColWidths(2, 51);
  G->FocusCell(2, 1, true);
  HWND H = G->GetHandle();
  // Left of the middle of column 2's title: the drop index starts at 2.
  PostMouse(H, WM_LBUTTONDOWN, 115, 5, MK_LBUTTON);
  ASSERT_EQ(G->GetGridState(), gsColMovingKv);
  EXPECT_TRUE(G->TimerOn());
  // Left of the middle of column 4: the mark stands before column 4, so column 2 lands at 3.
  G->CalcMoveTarget(210, 4, G->GetHorzAxis(), false, TPoint(210, 5));
  PostMouse(H, WM_LBUTTONUP, 210, 5);
  EXPECT_EQ(G->GetColWidths(3), 51);
  EXPECT_EQ(G->GetColWidths(2), 50);
  // The current column went with the moved one.
  EXPECT_EQ(G->GetCol(), 3);
}

TEST(GridMouse, CancelModeDuringAColumnMoveHidesTheLine) {
  TInputGrid G;
  HWND H = G->GetHandle();
  PostMouse(H, WM_LBUTTONDOWN, 115, 5, MK_LBUTTON);
  ASSERT_EQ(G->GetGridState(), gsColMovingKv);
  ASSERT_TRUE(GetGridMoveLine()->GetVisible());
  SendMessageW(H, WM_CANCELMODE, 0, 0);
  EXPECT_EQ(G->GetGridState(), gsNormalKv);
  EXPECT_FALSE(GetGridMoveLine()->GetVisible());
  EXPECT_FALSE(G->TimerOn());
}

TEST(GridMouse, ARaisingPressHandlerHidesTheMoveLine) {
  TInputGrid G;
  ctltest::TExceptionLog Log;
  G->SetOnMouseDown([](TObject*, TMouseButton, TShiftState, Integer, Integer) { throw Exception(L"press"); });
  PostMouse(G->GetHandle(), WM_LBUTTONDOWN, 115, 5, MK_LBUTTON);
  EXPECT_EQ(Log.Messages, (std::vector<String>{L"press"}));
  EXPECT_FALSE(GetGridMoveLine()->GetVisible());
}

TEST(GridMouse, ARaisingReleaseHandlerStillEndsTheMove) {
  TInputGrid G;
  ctltest::TExceptionLog Log;
  G->SetOnMouseUp([](TObject*, TMouseButton, TShiftState, Integer, Integer) { throw Exception(L"release"); });
  HWND H = G->GetHandle();
  PostMouse(H, WM_LBUTTONDOWN, 10, 48, MK_LBUTTON);
  ASSERT_EQ(G->GetGridState(), gsRowMovingKv);
  PostMouse(H, WM_LBUTTONUP, 10, 48);
  EXPECT_EQ(Log.Messages, (std::vector<String>{L"release"}));
  EXPECT_EQ(G->GetGridState(), gsNormalKv);
  EXPECT_FALSE(GetGridMoveLine()->GetVisible());
}

TEST(GridMouse, NoCellIsHotWithTheBaseAnswer) {
  TInputGrid G;
  PostMouse(G->GetHandle(), WM_MOUSEMOVE, 125, 50);
  EXPECT_EQ(G->GetNewHotTrackSpot()->GetCol(), -1);
  EXPECT_EQ(G->GetOldHotTrackSpot()->GetRow(), -1);
}

// ---- Timer pacing -----------------------------------------------------------------------------

struct TPaceCase {
  const char* Name;
  Integer MouseX, EdgeX;
  bool TowardLeft;
  Integer VirtualLeft, VirtualRight;
  Integer Interval;
};

TEST(GridTimer, ColumnMovePacing) {
  const TPaceCase Cases[] = {
      {"just past the left edge", 299, 300, true, 0, 1920, 360},
      {"far past the left edge", 100, 300, true, 0, 1920, 61},
      {"halfway past the left edge", 190, 300, true, 0, 1920, 63},
      {"past the right edge", 1700, 1500, false, 0, 1920, 61},
      {"near the screen's right end", 1915, 1910, false, 0, 1920, 75},
      {"left monitor, left edge", -1500, -1300, true, -1920, 1920, 61},
      {"left monitor, just past", -1301, -1300, true, -1920, 1920, 360},
      {"edge on the left monitor, mouse on the primary", 10, -50, false, -1920, 1920, 66},
      {"edge beyond the virtual screen", 2000, 1950, false, 0, 1920, 60},
      {"edge at the virtual screen's left end", -1920, -1920, true, -1920, 0, 60},
      {"mouse on the wrong side", 310, 300, true, 0, 1920, 360},
  };
  for (const TPaceCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    Integer I = TCustomGridKv::CalcColMoveTimerInterval(C.MouseX, C.EdgeX, C.TowardLeft, C.VirtualLeft, C.VirtualRight);
    EXPECT_EQ(I, C.Interval);
    EXPECT_GE(I, 60);
    EXPECT_LE(I, 360);
  }
}

TEST(GridTimer, NoIntervalMeansOneMillisecond) {
  TInputGrid G;
  G->SetGridTimer(true, 0);
  EXPECT_EQ(G->TimerInterval(), 1);
  EXPECT_TRUE(G->TimerOn());
  G->SetGridTimer(false, 0);
  EXPECT_FALSE(G->TimerOn());
}

}  // namespace
