// The grid's scrolling: wheel steps, bringing a cell into view and what follows a scroll. The
// scroll requests of the bars, the wheel and pan gestures are not handled yet, and a scroll
// repaints the whole grid.

#include <algorithm>

#include "kvlib/grids/gridskv/CustomGrid.h"
#include "kvlib/grids/gridskv/InplaceEdit.h"

Integer TCustomGridKv::GetHorzWheelStep() { return FHorzAxis->GetScrollStep(); }
Integer TCustomGridKv::GetVertWheelStep() { return FVertAxis->GetScrollStep(); }

void TCustomGridKv::DoScroll(TScrollBarKind, Integer, Integer, bool) {}
void TCustomGridKv::HorzScroll(Integer, Integer) {}
void TCustomGridKv::VertScroll(Integer, Integer) {}

namespace {

// The position that shows rolling cell Index whole (or its start, when it is longer than the
// area), moving as little as possible from Pos.
Int64 GridScrollingShowCel(TGridAxisDataKv* Axis, Int64 Pos, Integer Index) {
  Int64 Start = Axis->GetRolLocCelPosArr(Index);
  Int64 End = Start + Axis->GetRolCelLens(Index);
  Int64 Area = Axis->GetContraStart() - Axis->GetFixedBoundary();
  if (Start < Pos) return Start;
  if (End > Pos + Area) return std::min(End - Area, Start);
  return Pos;
}

}  // namespace

void TCustomGridKv::ScrollToCell(const TGridCoord& Cell, bool Horz, bool Vert) {
  if (!HandleAllocated()) return;
  CheckUpdateAxes();
  Int64 X = GetLeftPos(), Y = GetTopPos();
  if (Horz && Cell.X >= GetFixedColCount() && Cell.X < GetColCount())
    X = GridScrollingShowCel(FHorzAxis.get(), X, Cell.X - GetFixedColCount());
  if (Vert && Cell.Y >= GetFixedRowCount() && Cell.Y < GetRowCount())
    Y = GridScrollingShowCel(FVertAxis.get(), Y, Cell.Y - GetFixedRowCount());
  Integer Cel, Offset;
  if (!IsSmoothHorzScroll()) {
    FHorzAxis->RolCellAtPos(X, Cel, Offset);
    X = FHorzAxis->GetRolLocCelPosArr(Cel);
  }
  if (!IsSmoothVertScroll()) {
    // A row cut at the top gives way to the next, so that the target row at the bottom stays whole.
    FVertAxis->RolCellAtPos(Y, Cel, Offset);
    if (Offset > 0 && Cel + 1 < GetRolRowCount()) Y = FVertAxis->GetRolLocCelPosArr(Cel + 1);
  }
  SetLeftPosDirect(std::max<Int64>(X, 0));
  SetTopPosDirect(std::max<Int64>(Y, 0));
}

void TCustomGridKv::AxisScrolled(Int64, Int64) {
  RefreshScrollBarState();
  if (!HandleAllocated()) return;
  if (FEditorMode && FInplaceEdit && CanEditShow()) UpdateEdit();
  Invalidate();
  DoScrolled();
}
