// The axis model: counts and lengths with their checks, the 64-bit start positions and their lazy
// rebuild, the cell at a position, the scroll clamps and the visible cells.

#include <gtest/gtest.h>

#include "tests/kvlib/grids/GridsKvTestUtil.h"

using namespace gridtest;

namespace {

// A grid whose vertical axis has 1 fixed and 5 rolling rows of 20 and shows 100 rows' worth of
// client height unless told otherwise.
struct TAxisFixture {
  TGridOnForm G;
  TGridAxisDataKv* V;
  explicit TAxisFixture(Integer Height = 120) : G(300, Height), V(G->GetVertAxis()) {
    G->GetVertScrollBar()->SetVisibleMode(sbNeverShowKv);
    G->GetHorzScrollBar()->SetVisibleMode(sbNeverShowKv);
  }
};

TEST(GridAxis, NewAxisPositionsFollowTheLengths) {
  TAxisFixture F;
  EXPECT_EQ(F.V->GetFixedCelCount(), 1);
  EXPECT_EQ(F.V->GetRolCelCount(), 5);
  std::vector<Int64> Positions;
  for (Integer I = 0; I < 5; ++I) Positions.push_back(F.V->GetRolLocCelPosArr(I));
  EXPECT_EQ(Positions, (std::vector<Int64>{0, 20, 40, 60, 80}));
  EXPECT_EQ(F.V->GetRolLen(), 100);
  F.V->SetRolCelLens(1, 35);
  EXPECT_EQ(F.V->GetRolLocCelPosArr(4), 95);
  EXPECT_EQ(F.V->GetRolLen(), 115);
}

TEST(GridAxis, CellAtPositionAtStartsEndsAndOutside) {
  TAxisFixture F;
  struct {
    Int64 Pos;
    Integer Cel, Offset;
  } const Cases[] = {
      {-5, 0, -5}, {0, 0, 0}, {19, 0, 19}, {20, 1, 0}, {79, 3, 19}, {99, 4, 19}, {100, 4, 20}, {150, 4, 70},
  };
  for (const auto& C : Cases) {
    Integer Cel = -1, Offset = -1;
    F.V->RolCellAtPos(C.Pos, Cel, Offset);
    EXPECT_EQ(Cel, C.Cel) << C.Pos;
    EXPECT_EQ(Offset, C.Offset) << C.Pos;
  }
  // A hidden cell shares its start with the next one: the pixel belongs to the one that shows it.
  F.V->SetRolCelLens(2, 0);
  Integer Cel = -1, Offset = -1;
  F.V->RolCellAtPos(40, Cel, Offset);
  EXPECT_EQ(Cel, 3);
  EXPECT_EQ(Offset, 0);
}

TEST(GridAxis, RefusedChangesRaiseAndChangeNothing) {
  TAxisFixture F;
  TGridAxisDataKv* V = F.V;
  struct {
    const char* What;
    std::function<void()> Action;
    const wchar_t* Message;
  } const Cases[] = {
      {"rolling count 0", [&] { V->SetRolCelCount(0); }, L"RolCelCount can't be less then 1"},
      {"contra count -1", [&] { V->SetContraCelCount(-1); }, L"ContraCelCount can't be less then 0"},
      {"fixed count -1", [&] { V->SetFixedCelCount(-1); }, L"FixedCelCount can't be less then 0"},
      {"position past the end", [&] { V->SetRolStartVisPos(V->GetRolLen() + 1); }, L"RolStartVisPos can't be > RolLen"},
      {"move across areas", [&] { V->MoveCel(0, 3); }, L"MoveCel in different areas[FromIndex:0, ToIndex:3"},
      {"negative length", [&] { V->SetCelLens(2, -1); }, L"Cell length can't be less then 0"},
      {"negative default length", [&] { V->SetDefaultCelLen(-3); }, L"Cell length can't be less then 0"},
      {"length past the cells", [&] { V->SetCelLens(6, 5); }, L"Grid index out of range"},
      {"move past the cells", [&] { V->MoveCel(2, 9); }, L"Grid index out of range"},
      {"row count 1 of 1 fixed", [&] { F.G->SetRowCount(1); }, L"RolCelCount can't be less then 1"},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(CaughtMessage(C.Action), C.Message) << C.What;
    EXPECT_EQ(V->GetFixedCelCount(), 1) << C.What;
    EXPECT_EQ(V->GetRolCelCount(), 5) << C.What;
    EXPECT_EQ(V->GetContraCelCount(), 0) << C.What;
    EXPECT_EQ(V->GetRolStartVisPos(), 0) << C.What;
    EXPECT_EQ(V->GetDefaultCelLen(), 20) << C.What;
    for (Integer I = 0; I < 6; ++I) EXPECT_EQ(V->GetCelLens(I), 20) << C.What << " cell " << I;
  }
}

TEST(GridAxis, ScrollPositionIsClampedToTheExtent) {
  TAxisFixture Short(200);  // 100 pixels of rows in a taller area
  for (Int64 P : {Int64(-10), Int64(0), Int64(50), Int64(1) << 40}) EXPECT_EQ(Short.V->CheckRolStartVisPos(P), 0) << P;
  TAxisFixture F(60);  // rows from 20 to 60: 40 pixels for 100 of rows
  EXPECT_EQ(F.V->GetRolClientLen(), 40);
  EXPECT_EQ(F.V->CheckRolStartVisPos(-1), 0);
  EXPECT_EQ(F.V->CheckRolStartVisPos(35), 35);
  EXPECT_EQ(F.V->CheckRolStartVisPos(61), 60);
  F.V->SetRolStartVisPos(100);  // the end itself is accepted
  EXPECT_EQ(F.V->GetRolStartVisPos(), 100);
}

TEST(GridAxis, VisibleCellsFollowTheScrollPosition) {
  TAxisFixture F(70);  // 50 pixels of rolling rows
  struct {
    Int64 Pos;
    Integer Start, StartOfst, LastVis, LastFullVis;
  } const Cases[] = {
      {0, 0, 0, 2, 1},    // 0..49: rows 0, 1 whole, row 2 half
      {10, 0, 10, 2, 2},  // 10..59: row 2 whole, row 0 cut at the top
      {30, 1, 10, 3, 3},
      {50, 2, 10, 4, 4},  // 50..99
  };
  for (const auto& C : Cases) {
    F.V->SetRolStartVisPos(C.Pos);
    EXPECT_EQ(F.V->GetRolStartVisCel(), C.Start) << C.Pos;
    EXPECT_EQ(F.V->GetRolStartVisCelOfst(), C.StartOfst) << C.Pos;
    EXPECT_EQ(F.V->GetRolLastVisCel(), C.LastVis) << C.Pos;
    EXPECT_EQ(F.V->GetRolLastFullVisCel(), C.LastFullVis) << C.Pos;
  }
}

TEST(GridAxis, CellToTheFrontByCellOrByPixel) {
  TAxisFixture F(85);  // 65 pixels: the last page holds rows 2 .. 4 (60 px) whole
  F.V->SafeSetRolStartVisCel(4, sstByCellKv);
  EXPECT_EQ(F.V->GetRolStartVisPos(), 40) << "the first row that fits whole on the last page";
  F.V->SafeSetRolStartVisCel(0, sstByCellKv);
  EXPECT_EQ(F.V->GetRolStartVisPos(), 0);
  F.V->SafeSetRolStartVisCel(4, sstByPixelKv);
  EXPECT_EQ(F.V->GetRolStartVisPos(), 35) << "the last row ends at the contra start";
  F.V->SafeSetRolStartVisCel(-3, sstByPixelKv);
  EXPECT_EQ(F.V->GetRolStartVisPos(), 0);
  F.V->SafeSetRolStartVisCel(99, sstByPixelKv);
  EXPECT_EQ(F.V->GetRolStartVisPos(), 35);
  EXPECT_EQ(F.V->CalcMaxStartCellFor(4), 2);
  F.V->SetRolCelLens(4, 90);  // longer than the area by itself
  EXPECT_EQ(F.V->CalcMaxStartCellFor(4), 4);
}

TEST(GridAxis, FixedCellsLongerThanTheAreaLeaveNoRollingRoom) {
  TAxisFixture F(60);
  F.V->SetFixedCelLens(0, 100);
  EXPECT_EQ(F.V->GetRolClientLen(), 0);
  F.V->SetRolStartVisPos(30);
  EXPECT_EQ(F.V->GetRolLastVisCel(), F.V->GetRolStartVisCel());
  EXPECT_EQ(F.V->GetRolLastFullVisCel(), F.V->GetRolStartVisCel());
  // A line step is never backwards, however little room there is.
  EXPECT_EQ(F.V->GetScrollStep(), 1);
  EXPECT_EQ(F.G->GetVertAxis()->GetFixedBoundary(), 100);
}

TEST(GridAxis, FrozenCellsStayWithinTheFixedOnes) {
  TAxisFixture F;
  F.G->SetFixedColCount(2);
  F.G->SetFrozenColCount(5);
  EXPECT_EQ(F.G->GetFrozenColCount(), 2);
  EXPECT_EQ(F.G->GetHorzAxis()->GetFrozenLen(), 100);
  F.G->SetCol(0);  // a frozen column may be current
  EXPECT_EQ(F.G->GetCol(), 0);
  F.G->SetFixedColCount(1);
  EXPECT_EQ(F.G->GetFrozenColCount(), 1);
  EXPECT_EQ(F.G->GetHorzAxis()->GetFrozenLen(), 50);
  F.G->SetFixedColCount(0);
  EXPECT_EQ(F.G->GetFrozenColCount(), 0);
  EXPECT_EQ(F.G->GetCol(), 0);
  F.G->SetFixedColCount(2);
  F.G->SetFrozenColCount(-1);
  EXPECT_EQ(F.G->GetFrozenColCount(), 0);
  EXPECT_EQ(F.G->GetCol(), 2) << "without frozen columns the current column leaves the fixed ones";
}

TEST(GridAxis, MovingACellMovesItsLengthWithinItsArea) {
  TAxisFixture F;
  F.V->SetRolCelLens(0, 11);  // grid row 1
  F.V->SetContraCelCount(2);
  F.V->SetContraCelLens(0, 7);
  F.V->MoveCel(1, 4);
  std::vector<Integer> Lens;
  for (Integer I = 0; I < F.V->GetFullCelCount(); ++I) Lens.push_back(F.V->GetCelLens(I));
  EXPECT_EQ(Lens, (std::vector<Integer>{20, 20, 20, 20, 11, 20, 7, 20}));
  EXPECT_EQ(F.V->GetRolLocCelPosArr(4), 71);
  F.V->MoveCel(7, 6);
  EXPECT_EQ(F.V->GetCelLens(6), 20);
  EXPECT_EQ(F.V->GetCelLens(7), 7);
}

TEST(GridAxis, ArrayRoutines) {
  struct {
    Integer From, To;
    TIntegerArrayKv Expected;
  } const Moves[] = {
      {0, 3, {2, 3, 4, 1, 5}}, {3, 0, {4, 1, 2, 3, 5}}, {4, 4, {1, 2, 3, 4, 5}}, {1, 2, {1, 3, 2, 4, 5}},
  };
  for (const auto& M : Moves) {
    TIntegerArrayKv A{1, 2, 3, 4, 5};
    ArrayMoveItem(A, M.From, M.To);
    EXPECT_EQ(A, M.Expected) << M.From << "->" << M.To;
  }
  TIntegerArrayKv Empty;
  ArrayMoveItem(Empty, 0, 0);
  EXPECT_TRUE(Empty.empty());
  TIntegerArrayKv A{1, 2, 3};
  ArrayInsertRange(A, 1, 2);
  ArrayFillRange(A, 1, 2, 9);
  EXPECT_EQ(A, (TIntegerArrayKv{1, 9, 9, 2, 3}));
  EXPECT_EQ(CaughtMessage([&] { ArrayInsertRange(A, 6, 1); }), L"ArrayInsertRange: StartIndex > Length(Extents)");
  EXPECT_EQ(CaughtMessage([&] { ArrayDeleteRange(A, 4, 2); }), L"ArrayDeleteRange: StartIndex + Amount > Length(Extents)");
  EXPECT_EQ(A, (TIntegerArrayKv{1, 9, 9, 2, 3}));
}

TEST(GridAxis, AxisLensCompareByGridIndex) {
  TGridOnForm A, B;
  EXPECT_TRUE(AxisLensEqual(A->GetHorzAxis(), B->GetHorzAxis()));
  B->SetFixedColCount(2);  // same lengths at every index, split differently
  B->SetColCount(6);
  EXPECT_TRUE(AxisLensEqual(A->GetHorzAxis(), B->GetHorzAxis()));
  B->SetColWidths(5, 51);
  EXPECT_FALSE(AxisLensEqual(A->GetHorzAxis(), B->GetHorzAxis()));
  B->SetColWidths(5, 50);
  B->SetContraColCount(1);
  EXPECT_FALSE(AxisLensEqual(A->GetHorzAxis(), B->GetHorzAxis()));
}

TEST(GridAxis, PositionsAreRebuiltOncePerBatch) {
  TAxisFixture F;
  F.G->SetRowCount(1000001);
  F.G->PositionRebuilds = 0;
  for (Integer I = 1; I <= 1000; ++I) F.G->SetRowHeights(I * 997, 5 + I % 7);
  EXPECT_EQ(F.G->PositionRebuilds, 0) << "changes only mark the positions stale";
  Int64 Expected = 1000000LL * 20;
  for (Integer I = 1; I <= 1000; ++I) Expected += (5 + I % 7) - 20;
  EXPECT_EQ(F.V->GetRolLen(), Expected);
  EXPECT_EQ(F.G->PositionRebuilds, 1);
  Integer Cel = 0, Offset = 0;
  F.V->RolCellAtPos(F.V->GetRolLocCelPosArr(777777) + 3, Cel, Offset);
  EXPECT_EQ(Cel, 777777);
  EXPECT_EQ(Offset, 3);
  F.G->CheckUpdateAxes();
  EXPECT_EQ(F.G->PositionRebuilds, 1) << "nothing stale: nothing rebuilt";
  F.G->SetTopRow(999000);
  EXPECT_EQ(F.G->GetTopRow(), 999000);
  EXPECT_EQ(F.G->MouseCoord(10, 25).Y, 999000);
  EXPECT_EQ(F.G->PositionRebuilds, 1);
}

}  // namespace
