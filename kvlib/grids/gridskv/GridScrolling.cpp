// The grid's scrolling: the requests of the scroll-bar panels, smooth and by cells, the wheel
// and the pan gesture, bringing a cell into view, and what follows a scroll. A one-axis scroll
// moves the pixels already on screen and repaints only the uncovered strip.

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "framework/WinApi.h"
#include "kvlib/grids/gridskv/CustomGrid.h"
#include "kvlib/grids/gridskv/InplaceEdit.h"

Integer TCustomGridKv::GetHorzWheelStep() { return FHorzAxis->GetScrollStep(); }
Integer TCustomGridKv::GetVertWheelStep() { return FVertAxis->GetScrollStep(); }

// ---- Bar positions ----------------------------------------------------------------------------

namespace {

// Positions are divided by this for the bars; 1 while the extent fits well inside 32 bits, so
// that the mirrored thumb arithmetic cannot overflow either.
Int64 GridScrollingBarScale(TGridAxisDataKv* Axis) {
  const Int64 Room = Int64(1) << 30;
  Int64 Len = Axis->GetRolLen();
  return Len <= Room ? 1 : (Len + Room - 1) / Room;
}

}  // namespace

Integer TCustomGridKv::RolPosToBarPos(TGridAxisDataKv* Axis, Int64 Pos) {
  return Integer(std::clamp<Int64>(Pos / GridScrollingBarScale(Axis), 0, std::numeric_limits<Integer>::max()));
}

Int64 TCustomGridKv::BarPosToRolPos(TGridAxisDataKv* Axis, Integer Pos) {
  Int64 Scale = GridScrollingBarScale(Axis);
  if (Scale == 1) return Pos;
  Int64 Max = std::max<Int64>(Axis->GetRolLen() - Axis->GetRolClientLen(), 0);
  // The bar's end is the extent's end, whatever the rounding.
  if (Pos >= RolPosToBarPos(Axis, Max)) return Max;
  return Int64(Pos) * Scale;
}

void TCustomGridKv::SetTopRowByPixel(Integer ARow) {
  FVertAxis->SafeSetRolStartVisCel(ARow - GetFixedRowCount(), sstByPixelKv);
}

// ---- Scroll requests --------------------------------------------------------------------------

void TCustomGridKv::DoScroll(TScrollBarKind Kind, Integer ScrollCode, Integer Pos, bool MirrorRightToLeft) {
  if (Kind == sbVertical) {
    VertScroll(ScrollCode, Pos);
    return;
  }
  if (UseRightToLeftAlignment() && MirrorRightToLeft) {
    switch (ScrollCode) {
      case SB_LINELEFT: ScrollCode = SB_LINERIGHT; break;
      case SB_LINERIGHT: ScrollCode = SB_LINELEFT; break;
      case SB_PAGELEFT: ScrollCode = SB_PAGERIGHT; break;
      case SB_PAGERIGHT: ScrollCode = SB_PAGELEFT; break;
      case SB_LEFT: ScrollCode = SB_RIGHT; break;
      case SB_RIGHT: ScrollCode = SB_LEFT; break;
      case SB_THUMBPOSITION:
      case SB_THUMBTRACK: {
        Integer Position = 0, Min = 0, Max = 0, PageSize = 0;
        GetHorzScrollBarParams(Position, Min, Max, PageSize);
        Pos = Max - Pos - PageSize + 1;
        break;
      }
      default: break;
    }
  }
  HorzScroll(ScrollCode, Pos);
}

void TCustomGridKv::HorzScroll(Integer ScrollCode, Integer Pos) {
  if (IsSmoothHorzScroll())
    ScrollSmooth(ScrollCode, Pos, FHorzAxis.get(), GetHorzScrollBar());
  else
    ScrollByCells(ScrollCode, Pos, FHorzAxis.get(), GetHorzScrollBar());
}

void TCustomGridKv::VertScroll(Integer ScrollCode, Integer Pos) {
  if (IsSmoothVertScroll())
    ScrollSmooth(ScrollCode, Pos, FVertAxis.get(), GetVertScrollBar());
  else
    ScrollByCells(ScrollCode, Pos, FVertAxis.get(), GetVertScrollBar());
}

void TCustomGridKv::ScrollSmooth(Integer ScrollCode, Integer Pos, TGridAxisDataKv* Axis, TGridScrollBarKv* ScrollBar) {
  CheckUpdateAxes();
  Int64 Start = Axis->GetRolStartVisPos();
  Int64 Delta = 0;
  switch (ScrollCode) {
    case SB_LINEUP: Delta = -Axis->GetScrollStep(); break;
    case SB_LINEDOWN: Delta = Axis->GetScrollStep(); break;
    case SB_PAGEUP: Delta = -Axis->GetRolClientLen(); break;
    case SB_PAGEDOWN: Delta = Axis->GetRolClientLen(); break;
    case SB_TOP: Delta = -Start; break;
    case SB_BOTTOM: Delta = Axis->GetRolStopVisPos() - Start; break;
    case SB_THUMBTRACK:
      if (!ScrollBar->GetTracking()) return;
      [[fallthrough]];
    case SB_THUMBPOSITION: Delta = BarPosToRolPos(Axis, Pos) - Start; break;
    default: return;
  }
  Axis->SetRolStartVisPos(Axis->CheckRolStartVisPos(Start + Delta));
}

namespace {

// The rolling cell at Pos, or the one after it when Pos falls inside it.
Integer GridScrollingCelAtOrAfter(TGridAxisDataKv* Axis, Int64 Pos) {
  if (Pos <= 0) return 0;
  Integer Cel = 0, Offset = 0;
  Axis->RolCellAtPos(Pos, Cel, Offset);
  return Offset > 0 ? Cel + 1 : Cel;
}

}  // namespace

void TCustomGridKv::ScrollByCells(Integer ScrollCode, Integer Pos, TGridAxisDataKv* Axis,
                                  TGridScrollBarKv* ScrollBar) {
  CheckUpdateAxes();
  Integer Target;
  switch (ScrollCode) {
    case SB_LINEUP:
      Target = Axis->GetRolStartVisCelOfst() >= 1 ? Axis->GetRolStartVisCel() : Axis->GetRolStartVisCel() - 1;
      break;
    case SB_LINEDOWN: Target = Axis->GetRolStartVisCel() + 1; break;
    case SB_PAGEUP:
      // From the shown position: callers other than the bar pass no position with a page request.
      Target = GridScrollingCelAtOrAfter(Axis, Axis->GetRolStartVisPos() - Axis->GetRolClientLen());
      break;
    case SB_PAGEDOWN: {
      Integer Last = Axis->GetRolLastVisCel();
      Target = Last == Axis->GetRolLastFullVisCel() ? Last + 1 : Last;
      break;
    }
    case SB_TOP: Target = 0; break;
    case SB_BOTTOM: Target = Axis->GetRolCelCount(); break;
    case SB_THUMBTRACK:
      if (!ScrollBar->GetTracking()) return;
      [[fallthrough]];
    case SB_THUMBPOSITION: {
      Int64 P = BarPosToRolPos(Axis, Pos);
      if (P == Axis->GetRolLen() - Axis->GetRolClientLen()) {
        Target = Axis->GetRolCelCount() - 1;
      } else {
        Integer Offset = 0;
        Axis->RolCellAtPos(std::max<Int64>(P, 0), Target, Offset);
        if (Offset > Axis->GetRolCelLens(Target) / 2) ++Target;
      }
      break;
    }
    default: return;
  }
  Axis->SafeSetRolStartVisCel(Target, sstByPixelKv);
}

// ---- The wheel --------------------------------------------------------------------------------

bool TCustomGridKv::FireMouseWheelDown(TShiftState Shift, const TPoint& MousePos) {
  bool Handled = false;
  if (TMouseWheelUpDownEvent Event = GetOnMouseWheelDown()) Event(this, Shift, MousePos, Handled);
  return Handled;
}

bool TCustomGridKv::FireMouseWheelUp(TShiftState Shift, const TPoint& MousePos) {
  bool Handled = false;
  if (TMouseWheelUpDownEvent Event = GetOnMouseWheelUp()) Event(this, Shift, MousePos, Handled);
  return Handled;
}

bool TCustomGridKv::DoMouseWheelDown(TShiftState Shift, const TPoint& MousePos) {
  if (FireMouseWheelDown(Shift, MousePos)) return true;
  CheckUpdateAxes();
  TGridAxisDataKv* V = FVertAxis.get();
  bool Page = Shift.Contains(ssCtrl);
  if (IsSmoothVertScroll()) {
    SetTopPos(GetTopPos() + (Page ? V->GetRolClientLen() : GetVertWheelStep()));
  } else if (Page) {
    Integer Last = V->GetRolLastVisCel();
    V->SafeSetRolStartVisCel(Last == V->GetRolLastFullVisCel() ? Last + 1 : Last, sstByCellKv);
  } else {
    V->SafeSetRolStartVisCel(V->GetRolStartVisCel() + 1, sstByCellKv);
  }
  return true;
}

bool TCustomGridKv::DoMouseWheelUp(TShiftState Shift, const TPoint& MousePos) {
  if (FireMouseWheelUp(Shift, MousePos)) return true;
  CheckUpdateAxes();
  TGridAxisDataKv* V = FVertAxis.get();
  bool Page = Shift.Contains(ssCtrl);
  if (IsSmoothVertScroll()) {
    SetTopPos(GetTopPos() - (Page ? V->GetRolClientLen() : GetVertWheelStep()));
  } else if (Page) {
    V->SafeSetRolStartVisCel(GridScrollingCelAtOrAfter(V, V->GetRolStartVisPos() - V->GetRolClientLen()),
                             sstByPixelKv);
  } else {
    Integer Cel = V->GetRolStartVisCel();
    V->SafeSetRolStartVisCel(V->GetRolStartVisCelOfst() == 0 ? Cel - 1 : Cel, sstByPixelKv);
  }
  return true;
}

// ---- The pan gesture --------------------------------------------------------------------------

void TCustomGridKv::DoGesture(const TGestureEventInfo& EventInfo, bool& Handled) {
  if (EventInfo.GestureID != igiPan) return;
  Handled = true;
  if (EventInfo.Flags.Contains(gfBegin)) FPanPoint = EventInfo.Location;
  if (EventInfo.Flags.Contains(gfEnd)) return;
  TPoint D(EventInfo.Location.X - FPanPoint.X, EventInfo.Location.Y - FPanPoint.Y);
  if (std::abs(D.Y) > 1) {
    // A row of no height gives no step to count in.
    Integer Len = GetRowHeights(GetTopRow());
    if (Len <= 0) return;
    Integer N = std::abs(D.Y) / Len;
    if (N == 0) return;
    for (Integer I = 0; I < N; ++I) DoScroll(sbVertical, D.Y > 0 ? SB_LINEUP : SB_LINEDOWN, 0, true);
    FPanPoint = EventInfo.Location;
    FPanPoint.Y += D.Y % Len;
  } else if (std::abs(D.X) >= 2) {
    Integer Len = GetColWidths(GetLeftCol());
    if (Len <= 0) return;
    Integer N = std::abs(D.X) / Len;
    if (N == 0) return;
    for (Integer I = 0; I < N; ++I) DoScroll(sbHorizontal, D.X > 0 ? SB_LINELEFT : SB_LINERIGHT, 0, true);
    FPanPoint = EventInfo.Location;
    FPanPoint.X += D.X % Len;
  }
}

// ---- Bringing a cell into view ----------------------------------------------------------------

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

// ---- After a scroll ---------------------------------------------------------------------------

namespace {

// Moves the pixels of R by (DX, DY) and invalidates what is uncovered; a jump as long as the
// area or longer has nothing to keep, and the whole area is repainted.
void GridScrollingMoveContents(HWND Wnd, const TRect& R, Int64 DX, Int64 DY) {
  if (R.IsEmpty()) return;
  if (std::abs(DX) >= R.Width() || std::abs(DY) >= R.Height()) {
    WinInvalidateRect(Wnd, &R, false);
    return;
  }
  WinScrollWindowEx(Wnd, Integer(DX), Integer(DY), &R, &R, nullptr, nullptr, SW_INVALIDATE);
}

}  // namespace

void TCustomGridKv::AxisScrolled(Int64 OldLeftPos, Int64 OldTopPos) {
  RefreshScrollBarState();
  if (!HandleAllocated()) return;
  if (FEditorMode && FInplaceEdit && CanEditShow()) UpdateEdit();
  if (!PaintLocked() && !InBoundariesUpdate() && !::GetCapture()) {
    POINT P{0, 0};
    GetCursorPos(&P);
    TPoint C = ScreenToClient(TPoint(P.x, P.y));
    UpdateHotTrack(C.X, C.Y);
  }
  if (FullRepaintOnScroll()) {
    Invalidate();
    return;
  }
  // The whole 64-bit difference: the low 32 bits of a long jump can look like a small step.
  Int64 DX = OldLeftPos - GetLeftPos(), DY = OldTopPos - GetTopPos();
  TGridAxisDataKv* H = FHorzAxis.get();
  TGridAxisDataKv* V = FVertAxis.get();
  bool RTL = UseRightToLeftAlignment();
  if (DX != 0 && DY == 0) {
    Integer L = H->GetFixedBoundary(), R = H->GetContraStart();
    if (RTL) {
      H->SwapRightToLeftPoses(L, R);
      DX = -DX;
    }
    GridScrollingMoveContents(FHandle, TRect(L, V->GetGridClientStart(), R, V->GetGridClientStop()), DX, 0);
  } else if (DY != 0 && DX == 0) {
    Integer L = H->GetGridClientStart(), R = H->GetGridClientStop();
    if (RTL) H->SwapRightToLeftPoses(L, R);
    GridScrollingMoveContents(FHandle, TRect(L, V->GetFixedBoundary(), R, V->GetContraStart()), 0, DY);
  } else if (DX != 0 && DY != 0) {
    Invalidate();
  }
  DoScrolled();
}
