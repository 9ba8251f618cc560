// The grid's geometry: the layout of the cell area, cell rectangles, the cell under a point,
// invalidation, the sizing zones, the scroll clamps and what the scroll-bar panels are handed.

#include <algorithm>
#include <limits>

#include "framework/WinApi.h"
#include "kvlib/grids/GridToolCtrlsKv.h"
#include "kvlib/grids/gridskv/CustomGrid.h"
#include "kvlib/grids/gridskv/GridFinally.h"

namespace {

Integer GridGeometryToInteger(Int64 Value) {
  return Integer(std::clamp<Int64>(Value, std::numeric_limits<Integer>::min(), std::numeric_limits<Integer>::max()));
}

// Far cells are kept just outside the window, so that narrowing never wraps them into view.
Integer GridGeometryNarrow(TGridAxisDataKv* Axis, Int64 Value) {
  Int64 Sta = Axis->GetWinClientBoundSta(), Sto = Axis->GetWinClientBoundSto();
  Int64 Span = std::max<Int64>(Sto - Sta, 0) + 1;
  return GridGeometryToInteger(std::clamp(Value, Sta - Span, Sto + Span));
}

Int64 GridGeometryContraSum(TGridAxisDataKv* Axis, Integer Count) {
  Int64 Sum = 0;
  for (Integer I = 0; I < Count; ++I) Sum += Axis->GetContraCelLens(I);
  return Sum;
}

Int64 GridGeometryFixedSum(TGridAxisDataKv* Axis, Integer From, Integer Count) {
  Int64 Sum = 0;
  for (Integer I = From; I < From + Count; ++I) Sum += Axis->GetFixedCelLens(I);
  return Sum;
}

// The end of rolling cell Index inside the rolling extent.
Int64 GridGeometryRolEnd(TGridAxisDataKv* Axis, Integer Index) {
  return Axis->GetRolLocCelPosArr(Index) + Axis->GetRolCelLens(Index);
}

}  // namespace

// ---- Sums -------------------------------------------------------------------------------------

namespace {

Int64 GridGeometryAxisSum(TGridAxisDataKv* Axis, Integer Start, Integer Count) {
  Integer From = std::max(Start, 0);
  Integer To = Integer(std::min<Int64>(Int64(Start) + Count, Axis->GetFullCelCount()));  // exclusive
  if (Count <= 0 || From >= To) return 0;
  Integer Fixed = Axis->GetFixedCelCount(), Cel = Axis->GetCelCount();
  Int64 Sum = 0;
  if (From < Fixed) Sum += GridGeometryFixedSum(Axis, From, std::min(To, Fixed) - From);
  Integer RFrom = std::max(From, Fixed), RTo = std::min(To, Cel);
  if (RFrom < RTo)
    Sum += GridGeometryRolEnd(Axis, RTo - 1 - Fixed) - Axis->GetRolLocCelPosArr(RFrom - Fixed);
  for (Integer I = std::max(From, Cel); I < To; ++I) Sum += Axis->GetContraCelLens(I - Cel);
  return Sum;
}

}  // namespace

Int64 TCustomGridKv::SumColWidths(Integer Start, Integer Count) { return GridGeometryAxisSum(FHorzAxis.get(), Start, Count); }
Int64 TCustomGridKv::SumRowHeights(Integer Start, Integer Count) {
  return GridGeometryAxisSum(FVertAxis.get(), Start, Count);
}

// ---- Rectangles -------------------------------------------------------------------------------

bool TCustomGridKv::AxisRangeEdges(TGridAxisDataKv* Axis, Integer From, Integer To, bool Clip, Integer& Start,
                                   Integer& Stop) {
  From = std::max(From, 0);
  To = std::min(To, Axis->GetFullCelCount() - 1);
  if (From > To) return false;
  Integer Fixed = Axis->GetFixedCelCount(), Cel = Axis->GetCelCount();
  Int64 ClientStart = Axis->GetGridClientStart();
  Int64 FixedBoundary = Axis->GetFixedBoundary(), ContraStart = Axis->GetContraStart();
  Int64 Pos = Axis->GetRolStartVisPos();
  Int64 S, E;
  if (From < Fixed) {
    S = ClientStart + Axis->GetFixedCelPos(From);
  } else if (From < Cel) {
    S = Axis->GetRolLocCelPosArr(From - Fixed) - Pos + FixedBoundary;
    if (Clip && S < FixedBoundary) S = FixedBoundary;
  } else {
    S = ContraStart + GridGeometryContraSum(Axis, From - Cel);
  }
  if (To < Fixed) {
    E = std::min(ClientStart + Axis->GetFixedCelPos(To + 1), ContraStart);
  } else if (To < Cel) {
    E = FixedBoundary + GridGeometryRolEnd(Axis, To - Fixed) - Pos;
    if (Clip && E < FixedBoundary) E = FixedBoundary - 1;
    if (Clip && E > ContraStart) E = ContraStart;
  } else {
    E = ContraStart + GridGeometryContraSum(Axis, To - Cel + 1);
  }
  Start = GridGeometryNarrow(Axis, S);
  Stop = GridGeometryNarrow(Axis, E);
  return true;
}

void TCustomGridKv::GridRectToClientRect(const TGridRect& GridRect, TRect& Rect, bool Clip, bool Mirror) {
  Rect = TRect(0, 0, 0, 0);
  if (GridRect.Right < GridRect.Left || GridRect.Bottom < GridRect.Top) return;
  CheckUpdateAxes();
  TRect R;
  if (!AxisRangeEdges(FHorzAxis.get(), GridRect.Left, GridRect.Right, Clip, R.Left, R.Right)) return;
  if (!AxisRangeEdges(FVertAxis.get(), GridRect.Top, GridRect.Bottom, Clip, R.Top, R.Bottom)) return;
  if (R.Right < R.Left || R.Bottom < R.Top) return;
  if (Mirror && UseRightToLeftAlignment() && !FCanvasRightToLeftReflected)
    FHorzAxis->SwapRightToLeftPoses(R.Left, R.Right);
  Rect = R;
}

void TCustomGridKv::CellRect(Integer ACol, Integer ARow, TRect& Rect) {
  GridRectToClientRect(MakeGridRect(ACol, ARow, ACol, ARow), Rect, false, true);
}

TRect TCustomGridKv::CellRect(Integer ACol, Integer ARow) {
  TRect R;
  CellRect(ACol, ARow, R);
  return R;
}

void TCustomGridKv::CellRangeRect(Integer ALeft, Integer ATop, Integer ARight, Integer ABottom, TRect& Rect) {
  GridRectToClientRect(MakeGridRect(ALeft, ATop, ARight, ABottom), Rect, false, true);
}

void TCustomGridKv::BoxRect(const TGridRect& GridRect, TRect& Rect) { GridRectToClientRect(GridRect, Rect, false, true); }

void TCustomGridKv::CellRectEx(Integer ACol, Integer ARow, bool, bool Mirror, TRect& Rect) {
  GridRectToClientRect(MakeGridRect(ACol, ARow, ACol, ARow), Rect, true, Mirror);
}

void TCustomGridKv::CellRangeRectEx(Integer ALeft, Integer ATop, Integer ARight, Integer ABottom, bool, bool Mirror,
                                    TRect& Rect) {
  GridRectToClientRect(MakeGridRect(ALeft, ATop, ARight, ABottom), Rect, true, Mirror);
}

void TCustomGridKv::GetCellContentRect(Integer ACol, Integer ARow, TRect& ARect) {
  CellRectEx(ACol, ARow, false, true, ARect);
  if (ACol < 0 || ACol >= GetFullColCount() || ARow < 0 || ARow >= GetFullRowCount()) return;
  if (IsCellLineVisible(ACol, ARow, cbtRightKv) && ARect.Width() >= GetColWidths(ACol)) {
    if (UseRightToLeftAlignment())
      ARect.Left += FGridLineWidth;
    else
      ARect.Right -= FGridLineWidth;
  }
  if (IsCellLineVisible(ACol, ARow, cbtBottomKv)) ARect.Bottom -= FGridLineWidth;
}

bool TCustomGridKv::IsCellLineVisible(Integer ACol, Integer ARow, TGridCellBorderTypeKv LineType) {
  bool Visible = false, OwnsCorner = false;
  TColor Color = clNone;
  GetCellLineParams(ACol, ARow, LineType, Visible, Color, OwnsCorner);
  return Visible;
}

void TCustomGridKv::GetCellLineParams(Integer ACol, Integer ARow, TGridCellBorderTypeKv LineType, bool& Visible,
                                      TColor& Color, bool& OwnsCorner) {
  bool Vert = LineType == cbtLeftKv || LineType == cbtRightKv;
  bool InFixed = ACol < GetFixedColCount() || ARow < GetFixedRowCount();
  if (Vert)
    Visible = FOptions.Contains(InFixed ? goFixedVertLineKv : goVertLineKv);
  else
    Visible = FOptions.Contains(InFixed ? goFixedHorzLineKv : goHorzLineKv);
  OwnsCorner = true;
  TGridLineColorsKv* Colors = GetGridLineColors();
  bool Leading = LineType == cbtTopKv || LineType == cbtLeftKv;
  if (Leading && (ACol == GetColCount() || ARow == GetRowCount()))
    Color = Colors->GetDarkColor();
  else if (ACol < GetFixedColCount() - GetFrozenColCount() || ARow < GetFixedRowCount() - GetFrozenRowCount())
    Color = Colors->GetDarkColor();
  else if ((LineType == cbtRightKv && ACol == GetFixedColCount() - 1) ||
           (LineType == cbtBottomKv && ARow == GetFixedRowCount() - 1))
    Color = Colors->GetDarkColor();
  else
    Color = Colors->GetBrightColor();
}

// ---- Hit testing ------------------------------------------------------------------------------

Integer TCustomGridKv::AxisCelAtPoint(TGridAxisDataKv* Axis, Integer P) {
  if (P < Axis->GetGridClientStart()) return -1;
  if (P < Axis->GetFixedBoundary()) {
    Int64 Pos = Axis->GetGridClientStart();
    for (Integer I = 0; I < Axis->GetFixedCelCount(); ++I) {
      Pos += Axis->GetFixedCelLens(I);
      if (P < Pos) return I;
    }
    return -1;
  }
  if (P < Axis->GetContraStart()) {
    Int64 RolPos = Axis->GetRolStartVisPos() + (P - Axis->GetFixedBoundary());
    if (RolPos < 0) return -1;
    if (RolPos >= Axis->GetRolLen()) return Axis->GetFullCelCount();
    // The point lies among the shown cells: searching them alone keeps a hit test as cheap at a
    // million rows as at a thousand. Cells sharing a start answer the last of them, as
    // RolCellAtPos does.
    Integer Lo = Axis->GetRolStartVisCel(), Hi = Axis->GetRolLastVisCel();
    bool Shown = Lo <= Hi && Axis->GetRolLocCelPosArr(Lo) <= RolPos &&
                 (Hi + 1 >= Axis->GetRolCelCount() || Axis->GetRolLocCelPosArr(Hi + 1) > RolPos);
    if (!Shown) {
      Integer Cel, Offset;
      Axis->RolCellAtPos(RolPos, Cel, Offset);
      return Axis->GetFixedCelCount() + Cel;
    }
    while (Lo < Hi) {
      Integer Mid = Lo + (Hi - Lo + 1) / 2;
      if (Axis->GetRolLocCelPosArr(Mid) <= RolPos)
        Lo = Mid;
      else
        Hi = Mid - 1;
    }
    return Axis->GetFixedCelCount() + Lo;
  }
  if (P < Axis->GetGridClientStop()) {
    Int64 Pos = Axis->GetContraStart();
    for (Integer I = 0; I < Axis->GetContraCelCount(); ++I) {
      Pos += Axis->GetContraCelLens(I);
      if (P < Pos) return Axis->GetCelCount() + I;
    }
    return -1;
  }
  return Axis->GetFullCelCount();
}

TGridCoord TCustomGridKv::CalcCoordFromPoint(Integer X, Integer Y) {
  CheckUpdateAxes();
  if (UseRightToLeftAlignment()) X = FHorzAxis->RightToLeftReflect(X);
  return MakeGridCoord(AxisCelAtPoint(FHorzAxis.get(), X), AxisCelAtPoint(FVertAxis.get(), Y));
}

TGridCoord TCustomGridKv::MouseCoord(Integer X, Integer Y) {
  TGridCoord C = CalcCoordFromPoint(X, Y);
  if (C.X < 0 || C.X >= GetFullColCount()) C.X = -1;
  if (C.Y < 0 || C.Y >= GetFullRowCount()) C.Y = -1;
  return C;
}

// ---- Invalidation -----------------------------------------------------------------------------

void TCustomGridKv::InvalidateGridRect(const TGridRect& GridRect) {
  if (!HandleAllocated()) return;
  TRect R;
  GridRectToClientRect(GridRect, R, true, true);
  if (!R.IsEmpty()) WinInvalidateRect(FHandle, &R, false);
}

void TCustomGridKv::InvalidateCell(Integer ACol, Integer ARow) {
  InvalidateGridRect(MakeGridRect(ACol, ARow, ACol, ARow));
}

void TCustomGridKv::InvalidateRow(Integer ARow) {
  if (!HandleAllocated()) return;
  Integer Last = std::min(GetFixedColCount() + FHorzAxis->GetRolLastVisCel(), GetColCount() - 1);
  InvalidateGridRect(MakeGridRect(0, ARow, Last, ARow));
  if (GetContraColCount() > 0) InvalidateGridRect(MakeGridRect(GetColCount(), ARow, GetFullColCount() - 1, ARow));
}

void TCustomGridKv::InvalidateCol(Integer ACol) {
  if (!HandleAllocated()) return;
  Integer Last = std::min(GetFixedRowCount() + FVertAxis->GetRolLastVisCel(), GetRowCount() - 1);
  InvalidateGridRect(MakeGridRect(ACol, 0, ACol, Last));
  if (GetContraRowCount() > 0) InvalidateGridRect(MakeGridRect(ACol, GetRowCount(), ACol, GetFullRowCount() - 1));
}

void TCustomGridKv::InvalidateGrid() { Invalidate(); }

// ---- Layout -----------------------------------------------------------------------------------

namespace {

// The window's bounds and the strips on one axis; the contra, fixed and frozen lengths.
void GridGeometryLayoutAxis(TGridAxisDataKv* Axis, Integer BoundSta, Integer BoundSto, Integer IndentSta,
                            Integer IndentSto, Integer BoundaryLine) {
  Axis->SetWinClientBoundSta(BoundSta);
  Axis->SetWinClientBoundSto(BoundSto);
  Axis->SetGridClientStart(BoundSta + IndentSta);
  Axis->SetGridClientStop(BoundSto - IndentSto);
  Integer ContraLen = Integer(GridGeometryContraSum(Axis, Axis->GetContraCelCount()));
  if (Axis->GetContraCelCount() > 0) ContraLen += BoundaryLine;
  Axis->SetContraLen(ContraLen);
  Axis->SetContraStart(BoundSto - IndentSto - ContraLen);
  Integer Fixed = Axis->GetFixedCelCount(), Frozen = Axis->GetFrozenCelCount();
  Axis->SetFixedBoundary(BoundSta + IndentSta + Integer(GridGeometryFixedSum(Axis, 0, Fixed)));
  Axis->SetFrozenLen(Integer(GridGeometryFixedSum(Axis, Fixed - Frozen, Frozen)));
}

// A scroll bar's size comes off the far end of the cell area of the axis it lies across.
void GridGeometryTakeBar(TGridAxisDataKv* Axis, Integer Size) {
  Axis->SetGridClientStop(Axis->GetGridClientStop() - Size);
  Axis->SetContraStart(Axis->GetContraStart() - Size);
}

}  // namespace

void TCustomGridKv::UpdateBoundaries() {
  if (InBoundariesUpdate() || GetComponentState().Contains(csLoading) ||
      GetComponentState().Contains(csDestroying))
    return;
  BeginBoundariesUpdate();
  TGridFinallyKv Guard([this] { EndBoundariesUpdate(); });
  TRect Bounds = HandleAllocated() ? GetClientRect() : TRect(0, 0, GetWidth(), GetHeight());
  FWinClientBoundary = Bounds;
  TGridOutBoundaryDataKv* Out = FOutBoundaryData.get();
  GridGeometryLayoutAxis(FHorzAxis.get(), Bounds.Left, Bounds.Right, Out->GetLeftIndent(), Out->GetRightIndent(),
                         FOptions.Contains(goContraVertBoundaryLineKv) ? FGridLineWidth : 0);
  GridGeometryLayoutAxis(FVertAxis.get(), Bounds.Top, Bounds.Bottom, Out->GetTopIndent(), Out->GetBottomIndent(),
                         FOptions.Contains(goContraHorzBoundaryLineKv) ? FGridLineWidth : 0);
  CheckUpdateAxes();
  PlaceScrollBarInAxes();
  CheckScrollPositions(false, false, !IsSmoothHorzScroll(), !IsSmoothVertScroll());
  FHorzAxis->UpdateVisCells();
  FVertAxis->UpdateVisCells();
  RefreshScrollBarState();
  if (FInplaceEdit) UpdateEdit();
  Invalidate();
}

void TCustomGridKv::PlaceScrollBarInAxes() {
  TGridScrollBarKv* HBar = GetHorzScrollBar();
  TGridScrollBarKv* VBar = GetVertScrollBar();
  if (HBar->IsScrollBarShowing()) {
    GridGeometryTakeBar(FVertAxis.get(), HBar->ActualSize());
    if (VBar->IsScrollBarShowing()) GridGeometryTakeBar(FHorzAxis.get(), VBar->ActualSize());
  } else if (VBar->IsScrollBarShowing()) {
    // The narrower area may need the horizontal bar now.
    GridGeometryTakeBar(FHorzAxis.get(), VBar->ActualSize());
    if (HBar->IsScrollBarShowing()) GridGeometryTakeBar(FVertAxis.get(), HBar->ActualSize());
  }
}

// ---- Sizing zones -----------------------------------------------------------------------------

Integer TCustomGridKv::AxisSizingBorderAt(TGridAxisDataKv* Axis, Integer P, Integer W, bool AllowFixed,
                                          Integer& Border) {
  Integer H = W / 2;
  auto Hit = [&](Int64 B) { return B - H <= P && P <= B + W - H; };
  Integer Fixed = Axis->GetFixedCelCount();
  Integer ClientStop = Axis->GetGridClientStop(), ContraStart = Axis->GetContraStart();
  Integer FixedBoundary = Axis->GetFixedBoundary();

  // Fixed cells by their end borders: all of them when fixed sizing is allowed, else the frozen.
  Integer First = AllowFixed ? 0 : Fixed - Axis->GetFrozenCelCount();
  Int64 Pos = AllowFixed ? Axis->GetGridClientStart() : FixedBoundary - Axis->GetFrozenLen();
  for (Integer I = First; I < Fixed; ++I) {
    Int64 B = Pos + Axis->GetFixedCelLens(I);
    if (B > ClientStop) break;
    if (Hit(B)) {
      Border = Integer(B);
      return I;
    }
    Pos = B;
  }

  // The visible rolling cells by their end borders before the contra start: the first cell from
  // the start cell on whose end reaches the zone.
  Integer RolCount = Axis->GetRolCelCount();
  if (RolCount > 0 && FixedBoundary < ContraStart) {
    Int64 Start = Axis->GetRolStartVisPos();
    Int64 RolPos = Start + (P - FixedBoundary);
    Int64 Low = RolPos - (W - H);
    Integer Cel = Axis->GetRolStartVisCel();
    // End of cell i is the start of cell i + 1: the first start at or past Low, one cell back.
    Integer Lo = Cel + 1, Hi = RolCount;
    while (Lo < Hi) {
      Integer Mid = Lo + (Hi - Lo) / 2;
      if (Axis->GetRolLocCelPosArr(Mid) < Low)
        Lo = Mid + 1;
      else
        Hi = Mid;
    }
    Cel = Lo - 1;
    Int64 End = GridGeometryRolEnd(Axis, Cel);
    Int64 B = FixedBoundary + End - Start;
    if (End >= Low && B < ContraStart && Hit(B)) {
      Border = Integer(B);
      return Fixed + Cel;
    }
  }

  // The rolling cells reach the contra start: the last visible one is sized there.
  if (Axis->GetRolInClientBoundary() == ContraStart && ContraStart - H <= P && P <= ContraStart) {
    Border = ContraStart;
    return Fixed + Axis->GetRolLastVisCel();
  }
  Integer Contra = Axis->GetContraCelCount();
  if (Contra == 0 || P < ContraStart || P > ContraStart + H) {
    // Contra cells are sized by their leading edge: a border sizes the cell after it.
    Pos = ContraStart;
    for (Integer I = 0; I + 1 < Contra; ++I) {
      Int64 B = Pos + Axis->GetContraCelLens(I);
      if (B > ClientStop) break;
      if (Hit(B)) {
        Border = Integer(B);
        return Axis->GetCelCount() + I + 1;
      }
      Pos = B;
    }
    return -1;
  }
  Border = ContraStart;
  return Axis->GetCelCount();
}

void TCustomGridKv::CalcSizingState(Integer X, Integer Y, TGridStateKv& State, Integer& Index, Integer& SizingPos,
                                    Integer& SizingOfs) {
  State = gsNormalKv;
  Index = -1;
  CheckUpdateAxes();
  TGridOptionsKv Options = FOptions;
  if (GetComponentState().Contains(csDesigning)) Options += FDesignOptionsBoost;
  if (!Options.Contains(goRowSizingKv) && !Options.Contains(goColSizingKv)) return;
  TGridAxisDataKv* H = FHorzAxis.get();
  TGridAxisDataKv* V = FVertAxis.get();
  Integer PX = UseRightToLeftAlignment() ? H->RightToLeftReflect(X) : X;
  Integer Border = 0;
  Integer ColStart = AllowFixedColSizing() ? H->GetGridClientStart() : H->GetFixedBoundary() - H->GetFrozenLen();
  if (Options.Contains(goColSizingKv) && PX >= ColStart) {
    // Columns are sized in the title rows only.
    if (Y < V->GetGridClientStart() || Y >= V->GetFixedBoundary() - V->GetFrozenLen()) return;
    Integer I = AxisSizingBorderAt(H, PX, 7, AllowFixedColSizing(), Border);
    if (I < 0) return;
    State = gsColSizingKv;
    Index = I;
    SizingPos = Border;
    SizingOfs = Border - PX;
    return;
  }
  if (Options.Contains(goRowSizingKv) && Y >= V->GetFixedBoundary() - V->GetFrozenLen() &&
      PX < H->GetFixedBoundary() - H->GetFrozenLen()) {
    Integer I = AxisSizingBorderAt(V, Y, 5, AllowFixedRowSizing(), Border);
    if (I < 0) return;
    State = gsRowSizingKv;
    Index = I;
    SizingPos = Border;
    SizingOfs = Border - Y;
  }
}

// ---- Scroll clamps and scroll-bar parameters --------------------------------------------------

namespace {

Int64 GridGeometryMaxPos(TGridAxisDataKv* Axis, bool Snap) {
  Int64 Max = std::max<Int64>(Axis->GetRolLen() - Axis->GetRolClientLen(), 0);
  if (Snap && Axis->GetRolCelCount() > 0) {
    Integer Cel, Offset;
    Axis->RolCellAtPos(Max, Cel, Offset);
    // The last page starts on a cell boundary.
    if (Offset > 0 && Cel < Axis->GetRolCelCount() - 1) Max = Axis->GetRolLocCelPosArr(Cel + 1);
  }
  return Max;
}

void GridGeometryBarParams(TGridAxisDataKv* Axis, Integer& Position, Integer& Min, Integer& Max, Integer& PageSize) {
  Int64 RolLen = Axis->GetRolLen();
  Position = TCustomGridKv::RolPosToBarPos(Axis, Axis->GetRolStartVisPos());
  Min = 0;
  Max = RolLen > 0 ? TCustomGridKv::RolPosToBarPos(Axis, RolLen - 1) : 0;
  Integer Page = Axis->GetRolClientLen();
  PageSize = Page > 0 ? std::max(TCustomGridKv::RolPosToBarPos(Axis, Page), 1) : 0;
}

}  // namespace

void TCustomGridKv::CalcMaxScrollPositions(Int64& MaxHorz, Int64& MaxVert, bool SnapHorz, bool SnapVert) {
  MaxHorz = GridGeometryMaxPos(FHorzAxis.get(), SnapHorz);
  MaxVert = GridGeometryMaxPos(FVertAxis.get(), SnapVert);
}

void TCustomGridKv::CheckScrollPositions(bool, bool, bool SnapHorz, bool SnapVert) {
  Int64 MaxHorz = 0, MaxVert = 0;
  CalcMaxScrollPositions(MaxHorz, MaxVert, SnapHorz, SnapVert);
  if (GetLeftPos() > MaxHorz) SetLeftPosDirect(MaxHorz);
  if (GetTopPos() > MaxVert) SetTopPosDirect(MaxVert);
}

void TCustomGridKv::GetHorzScrollBarParams(Integer& Position, Integer& Min, Integer& Max, Integer& PageSize) {
  GridGeometryBarParams(FHorzAxis.get(), Position, Min, Max, PageSize);
  if (UseRightToLeftAlignment()) Position = GridGeometryToInteger(Int64(Position) + PageSize);
}

void TCustomGridKv::GetVertScrollBarParams(Integer& Position, Integer& Min, Integer& Max, Integer& PageSize) {
  GridGeometryBarParams(FVertAxis.get(), Position, Min, Max, PageSize);
}

void TCustomGridKv::RefreshScrollBarState() {
  Integer Position = 0, Min = 0, Max = 0, PageSize = 0;
  TGridScrollBarKv* HBar = GetHorzScrollBar();
  HBar->GetScrollBarParams(Position, Min, Max, PageSize);
  GetHorzScrollBarParams(Position, Min, Max, PageSize);
  HBar->SetScrollBarParams(Position, Min, Max, PageSize);
  TGridScrollBarKv* VBar = GetVertScrollBar();
  VBar->GetScrollBarParams(Position, Min, Max, PageSize);
  GetVertScrollBarParams(Position, Min, Max, PageSize);
  VBar->SetScrollBarParams(Position, Min, Max, PageSize);
  UpdateScrollBarPanels();
}

void TCustomGridKv::UpdateScrollBarPanels() {
  if (!HandleAllocated()) return;
  TGridScrollBarKv* HBar = GetHorzScrollBar();
  TGridScrollBarKv* VBar = GetVertScrollBar();
  bool HShow = HBar->IsScrollBarShowing(), VShow = VBar->IsScrollBarShowing();
  Integer VS = VShow ? VBar->ActualSize() : 0, HS = HShow ? HBar->ActualSize() : 0;
  Integer CW = 0, CH = 0, TopGap = 0, LeftGap = 0;
  Integer ClientW = GetClientWidth(), ClientH = GetClientHeight();
  bool RTL = UseRightToLeftAlignment();
  TSizeGripPanelKv* Corner = GetCornerScrollBarPanelControl();
  TSizeGripPanelKv* Extra = GetExtraSizeGripControl();
  if (FSizeGripPostion == sgpBottomRight) {
    Extra->SetVisible(false);
    Corner->SetGripActiveStatus(FSizeGripAlwaysShow ? gasAlwaysKv : gasAutoKv);
    if ((HShow && VShow) || FSizeGripAlwaysShow) {
      CW = VBar->ActualSize();
      CH = HBar->ActualScrollBarBoxSize();
    }
    Corner->SetPosition(RTL ? sgpBottomLeft : sgpBottomRight);
  } else {
    Corner->SetGripActiveStatus(gasNeverKv);
    Integer EW = VBar->ActualSize(), EH = HBar->ActualSize();
    switch (FSizeGripPostion) {
      case sgpTopLeft:
        Extra->SetBounds(0, 0, EW, EH);
        Extra->SetTriangleWindow(true);
        break;
      case sgpTopRight:
        TopGap = VBar->ActualSize();
        Extra->SetBounds(ClientW - EW, 0, EW, EH);
        Extra->SetTriangleWindow(!VShow);
        break;
      default:
        LeftGap = VBar->ActualSize();
        Extra->SetBounds(0, ClientH - EH, EW, EH);
        Extra->SetTriangleWindow(!HShow);
        if (RTL && ((HShow && VShow) || FSizeGripAlwaysShow)) {
          CW = VBar->ActualSize();
          CH = HBar->ActualScrollBarBoxSize();
          TopGap = 0;
          Extra->SetTriangleWindow(!VShow);
        }
        break;
    }
    Extra->SetGripActiveStatus(gasAlwaysKv);
    Extra->SetPosition(RTL ? MirroredSizeGripPosition(FSizeGripPostion) : FSizeGripPostion);
    Extra->SetVisible(true);
  }
  TGridScrollBarPanelControlKv* HPanel = GetHorzScrollBarPanelControl();
  TGridScrollBarPanelControlKv* VPanel = GetVertScrollBarPanelControl();
  if (!RTL) {
    VPanel->SetBounds(ClientW - VS, TopGap, VS, ClientH - CH - TopGap);
    // The bar leaves room for a grip at its start too.
    HPanel->SetBounds(LeftGap, ClientH - HS, ClientW - CW - TopGap - LeftGap, HS);
    Corner->SetBounds(ClientW - CW, ClientH - CH, CW, CH);
  } else {
    VPanel->SetBounds(0, 0, VS, ClientH - CH - TopGap);
    HPanel->SetBounds(VS, ClientH - HS, ClientW - VS, HS);
    Corner->SetBounds(0, ClientH - CH, CW, CH);
  }
  HPanel->SetVisible(true);
  VPanel->SetVisible(true);
  Corner->SetVisible(true);
  HPanel->SetKeepMaxSizeInDefault(HBar->IsKeepMaxSizeInDefault());
  VPanel->SetKeepMaxSizeInDefault(VBar->IsKeepMaxSizeInDefault());
  Corner->SetTriangleWindow(!HShow && !VShow && FSizeGripAlwaysShow);
  if (HShow != FHorzScrollBarIsShowing || VShow != FVertScrollBarIsShowing) {
    FHorzScrollBarIsShowing = HShow;
    FVertScrollBarIsShowing = VShow;
    ScrollBarLayoutChanged();
  }
}
