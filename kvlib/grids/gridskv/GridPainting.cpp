// The grid's painting: the paint message with its off-screen buffer, the areas in their order
// with their clips, cell lines and who owns the corner pixel, the contra boundary lines, the empty
// space beside and below the cells, the placeholder cells, the themed selection, the resolved
// colours and the right-to-left mirroring helpers.
//
// Every area starts at its first visible cell and stops at its far edge, so a paint costs the
// same at a million rows as at a thousand.

#include <algorithm>

#include "framework/SysUtils.h"
#include "framework/Themes.h"
#include "framework/WinApi.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/grids/gridskv/CustomGrid.h"
#include "kvlib/grids/gridskv/GridFinally.h"

bool GridsKvDebugPaint = false;

namespace {

const TColor GridPaintingPaleGreen = TColor(0xC0DCC0);  // red 192, green 220, blue 192

// The clip narrowed to R until the scope ends.
class TGridPaintingClip {
 public:
  TGridPaintingClip(TCanvas* Canvas, const TRect& R) : FCanvas(Canvas), FOld(SetClipRectKv(Canvas, R)) {}
  ~TGridPaintingClip() { RestoreClipRgnKv(FCanvas, FOld); }
  TGridPaintingClip(const TGridPaintingClip&) = delete;
  TGridPaintingClip& operator=(const TGridPaintingClip&) = delete;

 private:
  TCanvas* FCanvas;
  HRGN FOld;
};

// Cell edges far outside the window are kept just beyond GDI's reach instead of overflowing.
Integer GridPaintingNarrow(Int64 Value) { return Integer(std::clamp<Int64>(Value, -(Int64(1) << 26), Int64(1) << 26)); }

TRect GridPaintingRect(Int64 Left, Int64 Top, Int64 Right, Int64 Bottom) {
  return TRect(GridPaintingNarrow(Left), GridPaintingNarrow(Top), GridPaintingNarrow(Right), GridPaintingNarrow(Bottom));
}

}  // namespace

// ---- The paint message and the lock ------------------------------------------------------------

void TCustomGridKv::WMPaint(TWMPaint& Message) {
  if (PaintLocked()) {
    // The region is kept and validated, so that a message loop running under the lock is not
    // flooded with paint messages; the lock's end invalidates it again.
    if (!Message.DC && HandleAllocated()) {
      HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
      if (GetUpdateRgn(FHandle, Rgn, FALSE) != ERROR) {
        if (!FLockedPaintRgn.Rgn) {
          FLockedPaintRgn.Rgn = Rgn;
          Rgn = nullptr;
        } else {
          CombineRgn(FLockedPaintRgn.Rgn, FLockedPaintRgn.Rgn, Rgn, RGN_OR);
        }
      }
      if (Rgn) DeleteObject(Rgn);
      PAINTSTRUCT PS;
      BeginPaint(FHandle, &PS);
      EndPaint(FHandle, &PS);
    }
    return;
  }
  if ((NeedBufferedPaint() || GetDoubleBuffered()) && !GridsKvDebugPaint) FBufferedPaint = true;
  if (!FBufferedPaint || Message.DC) {
    inherited::Dispatch(&Message);
    return;
  }
  PAINTSTRUCT PS;
  HDC DC = BeginPaint(FHandle, &PS);
  HDC MemDC = nullptr;
  HBITMAP Bitmap = nullptr;
  HGDIOBJ OldBitmap = nullptr;
  TGridFinallyKv Release([&] {
    if (MemDC) {
      if (OldBitmap) SelectObject(MemDC, OldBitmap);
      DeleteDC(MemDC);
    }
    if (Bitmap) DeleteObject(Bitmap);
    EndPaint(FHandle, &PS);
  });
  TRect Client = GetClientRect();
  HDC ScreenDC = GetDC(nullptr);
  Bitmap = CreateCompatibleBitmap(ScreenDC, std::max(Client.Width(), 1), std::max(Client.Height(), 1));
  MemDC = CreateCompatibleDC(ScreenDC);
  ReleaseDC(nullptr, ScreenDC);
  if (!Bitmap || !MemDC) return;
  OldBitmap = SelectObject(MemDC, Bitmap);
  Perform(WM_ERASEBKGND, WPARAM(MemDC), LPARAM(MemDC));
  IntersectClipRect(MemDC, PS.rcPaint.left, PS.rcPaint.top, PS.rcPaint.right, PS.rcPaint.bottom);
  Perform(WM_PAINT, WPARAM(MemDC), 0);
  BitBlt(DC, 0, 0, Client.Width(), Client.Height(), MemDC, 0, 0, SRCCOPY);
}

void TCustomGridKv::UnlockPaint() {
  if (FLockPaint == 0) return;
  if (--FLockPaint > 0 || !FLockedPaintRgn.Rgn) return;
  HRGN Rgn = FLockedPaintRgn.Rgn;
  FLockedPaintRgn.Rgn = nullptr;
  if (HandleAllocated()) InvalidateRgn(FHandle, Rgn, FALSE);
  DeleteObject(Rgn);
}

// ---- Paint --------------------------------------------------------------------------------------

void TCustomGridKv::Paint() {
  if (PaintLocked()) return;
  TCanvas* Canvas = GetCanvas();
  TRect Client = GetClientRect();
  bool RTL = UseRightToLeftAlignment();
  if (RTL) SetCanvasReflection(Canvas, true, Client.Height(), Client.Width());
  TGridFinallyKv Unreflect([&] {
    if (RTL) ReflectCanvas(Canvas, false);
  });
  if (GridsKvDebugPaint) {
    Canvas->GetBrush()->SetColor(GridPaintingPaleGreen);
    Canvas->FillRect(Client);
  }
  CheckUpdateAxes();
  UpdateInternalColors();
  if (IsBackgroundShowing()) GetBackgroundData()->PaintBackgroundData(Canvas);
  PaintOutBoundaries();

  TGridAxisDataKv* H = FHorzAxis.get();
  TGridAxisDataKv* V = FVertAxis.get();
  const Integer FixedCols = GetFixedColCount(), FixedRows = GetFixedRowCount();
  const Integer Cols = GetColCount(), Rows = GetRowCount();
  const Integer FullCols = GetFullColCount(), FullRows = GetFullRowCount();
  const Integer FirstCol = FixedCols + H->GetRolStartVisCel(), FirstRow = FixedRows + V->GetRolStartVisCel();
  const Int64 FirstX = Int64(H->GetFixedBoundary()) - H->GetRolStartVisCelOfst();
  const Int64 FirstY = Int64(V->GetFixedBoundary()) - V->GetRolStartVisCelOfst();
  const Integer HSta = H->GetGridClientStart(), VSta = V->GetGridClientStart();
  const Integer HFix = H->GetFixedBoundary(), VFix = V->GetFixedBoundary();
  const Integer HCon = H->GetContraStart(), VCon = V->GetContraStart();
  const Integer HSto = H->GetGridClientStop(), VSto = V->GetGridClientStop();
  const TGridDrawState Fixed{gdFixed};

  // Fixed corner, then the fixed rows, the fixed columns and the data cells, each in its clip.
  DrawAreaCells(0, 0, HSta, VSta, HFix, VFix, FixedCols, FixedRows, Fixed);
  {
    TGridPaintingClip Clip(Canvas, TRect(HFix, 0, HCon, VCon));
    DrawAreaCells(FirstCol, 0, FirstX, VSta, HCon, VFix, Cols, FixedRows, Fixed);
  }
  {
    TGridPaintingClip Clip(Canvas, TRect(0, VFix, HCon, VCon));
    DrawAreaCells(0, FirstRow, HSta, FirstY, HFix, VCon, FixedCols, Rows, Fixed);
  }
  {
    TGridPaintingClip Clip(Canvas, TRect(HFix, VFix, HCon, VCon));
    DrawAreaCells(FirstCol, FirstRow, FirstX, FirstY, HCon, VCon, Cols, Rows, TGridDrawState());
  }

  const bool HasContraCols = GetContraColCount() > 0, HasContraRows = GetContraRowCount() > 0;
  const bool VLine = FOptions.Contains(goContraVertBoundaryLineKv);
  const bool HLine = FOptions.Contains(goContraHorzBoundaryLineKv);
  const Integer X0 = HCon + (VLine ? FGridLineWidth : 0), Y0 = VCon + (HLine ? FGridLineWidth : 0);
  if (HasContraCols) {
    if (VLine) DrawAreaLines(true, HCon, Cols, 0, VSta, VFix);
    DrawAreaCells(Cols, 0, X0, VSta, HSto, VFix, FullCols, FixedRows, Fixed);
    TGridPaintingClip Clip(Canvas, TRect(HCon, VFix, HSto, VCon));
    if (VLine) DrawAreaLines(true, HCon, Cols, FirstRow, FirstY, VCon);
    DrawAreaCells(Cols, FirstRow, X0, FirstY, HSto, VCon, FullCols, Rows, Fixed);
  }
  if (HasContraRows) {
    if (HLine) DrawAreaLines(false, VCon, Rows, 0, HSta, HFix);
    DrawAreaCells(0, Rows, HSta, Y0, HFix, VSto, FixedCols, FullRows, Fixed);
    TGridPaintingClip Clip(Canvas, TRect(HFix, VCon, HCon, VSto));
    if (HLine) DrawAreaLines(false, VCon, Rows, FirstCol, FirstX, HCon);
    DrawAreaCells(FirstCol, Rows, FirstX, Y0, HCon, VSto, Cols, FullRows, Fixed);
  }
  if (HasContraCols && HasContraRows) {
    if (VLine) DrawAreaLines(true, HCon, Cols, Rows, Y0, VSto);
    if (HLine) DrawAreaLines(false, VCon, Rows, Cols, X0, HSto);
    if (VLine && HLine) {
      bool Visible = false, OwnsCorner = false;
      TColor Color = clNone;
      GetCellLineParams(Cols, Rows, cbtLeftKv, Visible, Color, OwnsCorner);
      if (Visible) {
        Canvas->GetPen()->SetColor(GetStyledSystemColor(Color));
        PolylineRTL(Canvas, {TPoint(HCon, VCon), TPoint(HCon + 1, VCon)});
      }
    }
    DrawAreaCells(Cols, Rows, X0, Y0, HSto, VSto, FullCols, FullRows, Fixed);
  }

  // The empty space right of the rolling columns, row by row.
  const Integer HRolEnd = H->GetRolInClientBoundary(), VRolEnd = V->GetRolInClientBoundary();
  if (HRolEnd < HCon) {
    Int64 Y = VSta;
    for (Integer R = 0; R < FixedRows; ++R) {
      Integer Len = GetRowHeights(R);
      FillEmptyArea(-1, R, GridPaintingRect(HRolEnd, Y, HCon, Y + Len));
      Y += Len;
    }
    {
      TGridPaintingClip Clip(Canvas, TRect(HRolEnd, VFix, HCon, VCon));
      Y = FirstY;
      for (Integer R = FirstRow; R < Rows && Y < VCon; ++R) {
        Integer Len = GetRowHeights(R);
        FillEmptyArea(-1, R, GridPaintingRect(HRolEnd, Y, HCon, Y + Len));
        Y += Len;
      }
    }
    if (VRolEnd < VCon) FillEmptyArea(-1, -1, TRect(HRolEnd, VRolEnd, HCon, VCon));
    Y = VCon;
    for (Integer R = Rows; R < FullRows; ++R) {
      Integer Len = GetRowHeights(R) + (R == Rows && HLine ? FGridLineWidth : 0);
      FillEmptyArea(-1, R, GridPaintingRect(HRolEnd, Y, HCon, Y + Len));
      Y += Len;
    }
  }
  // And below the rolling rows, column by column.
  if (VRolEnd < VCon) {
    Int64 X = HSta;
    for (Integer C = 0; C < FixedCols; ++C) {
      Integer Len = GetColWidths(C);
      FillEmptyArea(C, -1, GridPaintingRect(X, VRolEnd, X + Len, VCon));
      X += Len;
    }
    {
      TGridPaintingClip Clip(Canvas, TRect(HFix, VRolEnd, HCon, VCon));
      X = FirstX;
      for (Integer C = FirstCol; C < Cols && X < HCon; ++C) {
        Integer Len = GetColWidths(C);
        FillEmptyArea(C, -1, GridPaintingRect(X, VRolEnd, X + Len, VCon));
        X += Len;
      }
    }
    X = HCon;
    for (Integer C = Cols; C < FullCols; ++C) {
      Integer Len = GetColWidths(C) + (C == Cols && VLine ? FGridLineWidth : 0);
      FillEmptyArea(C, -1, GridPaintingRect(X, VRolEnd, X + Len, VCon));
      X += Len;
    }
  }
  if (RTL) {
    ReflectCanvas(Canvas, false);
    RTL = false;
  }
  if (FGridState == gsRowSizingKv || FGridState == gsColSizingKv) PaintSizingLine();
}

void TCustomGridKv::DrawAreaCells(Integer ACol, Integer ARow, Int64 X, Int64 Y, Integer StopX, Integer StopY,
                                  Integer ColLimit, Integer RowLimit, TGridDrawState BaseState) {
  TCanvas* Canvas = GetCanvas();
  HDC DC = Canvas->GetHandle();
  const TGridRect Selection = GetSelection();
  const bool RowSelect = FOptions.Contains(goRowSelectKv);
  // The focus as the grid last heard of it: asking the system costs a round trip per area.
  const bool HasFocus = FFocused;
  // Cells outside the clip's bounds are passed over without asking GDI; a scroll repaints a strip.
  RECT Box{0, 0, 0, 0};
  if (GetClipBox(DC, &Box) == NULLREGION) return;
  // Under the mirrored mapping the box comes back reversed; a pixel of slack covers its rounding.
  if (Box.left > Box.right) std::swap(Box.left, Box.right);
  if (Box.top > Box.bottom) std::swap(Box.top, Box.bottom);
  --Box.left;
  --Box.top;
  ++Box.right;
  ++Box.bottom;
  StopY = std::min<Integer>(StopY, Box.bottom);
  StopX = std::min<Integer>(StopX, Box.right);
  Int64 CY = Y;
  for (Integer Row = ARow; Row < RowLimit && CY < StopY; ++Row) {
    Integer RowLen = GetRowHeights(Row);
    if (CY + RowLen <= Box.top) {
      CY += RowLen;
      continue;
    }
    Int64 CX = X;
    for (Integer Col = ACol; Col < ColLimit && CX < StopX; ++Col) {
      Integer ColLen = GetColWidths(Col);
      TRect R = GridPaintingRect(CX, CY, CX + ColLen, CY + RowLen);
      CX += ColLen;
      if (ColLen == 0 || R.Right <= Box.left) continue;
      RECT WR{R.Left, R.Top, R.Right, R.Bottom};
      if (!RectVisible(DC, &WR)) continue;
      TGridDrawState State = BaseState;
      if (Col == FCurCell.X && Row == FCurCell.Y) {
        State << gdSelected << gdCurrent;
        if (HasFocus) State << gdFocused;
      }
      if (Col == FHotTrackCell.X && Row == FHotTrackCell.Y) State << gdHotTrack;
      if (RowSelect && Row == FCurCell.Y) State << gdRowSelected;
      if (CellInGridRect(Col, Row, Selection)) State << gdSelected;
      PaintCell(Col, Row, R, State);
    }
    CY += RowLen;
  }
}

void TCustomGridKv::DrawAreaLines(bool Vert, Integer Fixed, Integer BoundaryIndex, Integer Index, Int64 Start,
                                  Integer Stop) {
  TCanvas* Canvas = GetCanvas();
  Integer Limit = Vert ? GetFullRowCount() : GetFullColCount();
  Int64 P = Start;
  for (Integer I = Index; I < Limit && P < Stop; ++I) {
    Integer Len = Vert ? GetRowHeights(I) : GetColWidths(I);
    bool Visible = false, OwnsCorner = false;
    TColor Color = clNone;
    if (Vert)
      GetCellLineParams(BoundaryIndex, I, cbtLeftKv, Visible, Color, OwnsCorner);
    else
      GetCellLineParams(I, BoundaryIndex, cbtTopKv, Visible, Color, OwnsCorner);
    if (Visible && Len > 0) {
      Canvas->GetPen()->SetColor(GetStyledSystemColor(Color));
      if (Vert)
        PolylineRTL(Canvas, {TPoint(Fixed, GridPaintingNarrow(P)), TPoint(Fixed, GridPaintingNarrow(P + Len))});
      else
        PolylineRTL(Canvas, {TPoint(GridPaintingNarrow(P), Fixed), TPoint(GridPaintingNarrow(P + Len), Fixed)});
    }
    P += Len;
  }
}

// ---- Cells ------------------------------------------------------------------------------------

void TCustomGridKv::PaintCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State) {
  TRect R = ARect;
  DrawCellBorders(ACol, ARow, R, State, TGridCellBorderTypesKv{cbtBottomKv, cbtRightKv});
  DrawCell(ACol, ARow, R, State);
}

void TCustomGridKv::DrawCellBorders(Integer ACol, Integer ARow, TRect& ARect, TGridDrawState,
                                    TGridCellBorderTypesKv Borders) {
  bool RightVisible = false, RightCorner = false, BottomVisible = false, BottomCorner = false;
  TColor RightColor = clNone, BottomColor = clNone;
  if (Borders.Contains(cbtRightKv)) GetCellLineParams(ACol, ARow, cbtRightKv, RightVisible, RightColor, RightCorner);
  if (Borders.Contains(cbtBottomKv))
    GetCellLineParams(ACol, ARow, cbtBottomKv, BottomVisible, BottomColor, BottomCorner);
  if (RightVisible && BottomVisible && RightCorner && BottomCorner && RightColor != BottomColor) {
    // The darker line keeps the corner pixel.
    if (ColorLuminance(GetStyledSystemColor(BottomColor)) < ColorLuminance(GetStyledSystemColor(RightColor)))
      RightCorner = false;
    else
      BottomCorner = false;
  }
  TCanvas* Canvas = GetCanvas();
  if (RightVisible) {
    Canvas->GetPen()->SetColor(GetStyledSystemColor(RightColor));
    PolylineRTL(Canvas, {TPoint(ARect.Right - 1, ARect.Top), TPoint(ARect.Right - 1, ARect.Bottom - (RightCorner ? 0 : 1))});
  }
  if (BottomVisible) {
    Canvas->GetPen()->SetColor(GetStyledSystemColor(BottomColor));
    PolylineRTL(Canvas, {TPoint(ARect.Left, ARect.Bottom - 1), TPoint(ARect.Right - (BottomCorner ? 0 : 1), ARect.Bottom - 1)});
  }
  if (RightVisible) --ARect.Right;
  if (BottomVisible) --ARect.Bottom;
}

void TCustomGridKv::DrawCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State) {
  TCanvas* Canvas = GetCanvas();
  TColor FontColor = clWindowText, BrushColor = clWindow;
  if (ACol < GetFixedColCount() - GetFrozenColCount() || ARow < GetFixedRowCount() - GetFrozenRowCount())
    BrushColor = GridPaintingPaleGreen;
  if (State.Contains(gdSelected)) {
    if (IsActiveControl()) {
      FontColor = clHighlightText;
      BrushColor = clHighlight;
    } else {
      BrushColor = clBtnShadow;
    }
  }
  Canvas->GetFont()->SetColor(GetStyledSystemColor(FontColor));
  Canvas->GetBrush()->SetColor(GetStyledSystemColor(BrushColor));
  Canvas->FillRect(ARect);
  Canvas->TextRect(ARect, ARect.Left + 2, ARect.Top + 2, IntToStr(ACol) + L":" + IntToStr(ARow));
}

bool TCustomGridKv::IsThemedSelectionCell(TGridDrawState State) {
  if (!ThemesEnabledKv()) return false;
  TGridSelectionDrawStyleKv S = FSelectionDrawParams->GetActualSelectionStyle();
  if (S == gsdsGridThemedKv && State.Contains(gdFocused)) return true;
  if (S == gsdsListViewThemedKv && (State.Contains(gdFocused) || State.Contains(gdCurrent))) return true;
  return (S == gsdsGridThemedKv || S == gsdsListViewThemedKv) && FOptions.Contains(goRowSelectKv) &&
         (State.Contains(gdSelected) || State.Contains(gdRowSelected));
}

void TCustomGridKv::DrawThemedSelection(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State) {
  TGridSelectionDrawStyleKv S = FSelectionDrawParams->GetActualSelectionStyle();
  bool Focus = FFocused;
  TThemedElementDetails Details;
  if (S == gsdsListViewThemedKv) {
    if ((State.Contains(gdSelected) || State.Contains(gdFocused)) && Focus)
      Details = StyleServices()->GetElementDetails(tlGroupHeaderCloseSelected);
    else if (State.Contains(gdSelected) || State.Contains(gdCurrent))
      Details = StyleServices()->GetElementDetails(tlGroupHeaderCloseSelectedNotFocused);
    else
      return;
  } else if (S == gsdsGridThemedKv) {
    if (!((State.Contains(gdSelected) || State.Contains(gdFocused)) && Focus)) return;
    Details = StyleServices()->GetElementDetails(tgCellSelected);
  } else {
    return;
  }
  HDC DC = GetCanvas()->GetHandle();
  if (!FOptions.Contains(goRowSelectKv)) {
    StyleServices()->DrawElement(DC, Details, ARect);
    return;
  }
  // One continuous band across the row: each cell draws a piece of a wider element.
  TRect Band = ARect, Clip = ARect;
  if (ACol > GetFixedColCount()) Band.Left -= 10;
  if (ACol < GetFullColCount() - 1) Band.Right += 10;
  if (IsCellLineVisible(ACol, ARow, cbtRightKv)) ++Clip.Right;
  StyleServices()->DrawElement(DC, Details, Band, &Clip);
}

// ---- Empty space and out-boundary strips --------------------------------------------------------

void TCustomGridKv::FillEmptyArea(Integer, Integer, const TRect& ARect) {
  GetCanvas()->GetBrush()->SetColor(FInternalColor);
  GetCanvas()->FillRect(ARect);
}

void TCustomGridKv::PaintOutBoundaries() {
  TRect R;
  if (FOutBoundaryData->GetOutBoundaryRect(R, cbtTopKv)) PaintOutBoundaryTop(R);
  if (FOutBoundaryData->GetOutBoundaryRect(R, cbtLeftKv)) PaintOutBoundaryLeft(R);
  if (FOutBoundaryData->GetOutBoundaryRect(R, cbtBottomKv)) PaintOutBoundaryBottom(R);
  if (FOutBoundaryData->GetOutBoundaryRect(R, cbtRightKv)) PaintOutBoundaryRight(R);
}

namespace {

void GridPaintingFixedStrip(TCanvas* Canvas, TColor Color, const TRect& ARect) {
  Canvas->GetBrush()->SetColor(Color);
  Canvas->FillRect(ARect);
}

}  // namespace

void TCustomGridKv::PaintOutBoundaryTop(const TRect& ARect) { GridPaintingFixedStrip(GetCanvas(), FFixedColor, ARect); }
void TCustomGridKv::PaintOutBoundaryLeft(const TRect& ARect) { GridPaintingFixedStrip(GetCanvas(), FFixedColor, ARect); }
void TCustomGridKv::PaintOutBoundaryBottom(const TRect& ARect) {
  GridPaintingFixedStrip(GetCanvas(), FFixedColor, ARect);
}
void TCustomGridKv::PaintOutBoundaryRight(const TRect& ARect) {
  GridPaintingFixedStrip(GetCanvas(), FFixedColor, ARect);
}

// ---- Colours ----------------------------------------------------------------------------------

void TCustomGridKv::UpdateInternalColors() {
  FInternalColor = GetStyledSystemColor(GetColor());
  FInternalFontColor = GetStyledSystemColor(GetFont()->GetColor());
  FInternalFixedColor = GetStyledSystemColor(FFixedColor);
  FInternalFixedFontColor = FInternalFontColor;
  if (!IsCustomStyleActiveKv()) return;
  // The style's own cell colours, where it has them.
  auto Take = [](TThemedGrid Element, TElementColor Which, TColor& Target) {
    TColor C = clNone;
    if (StyleServices()->GetElementColor(StyleServices()->GetElementDetails(Element), Which, C) && C != clNone)
      Target = C;
  };
  Take(tgCellNormal, ecFillColor, FInternalColor);
  Take(tgCellNormal, ecTextColor, FInternalFontColor);
  Take(tgClassicFixedCellNormal, ecFillColor, FInternalFixedColor);
  Take(tgClassicFixedCellNormal, ecTextColor, FInternalFixedFontColor);
}

bool TCustomGridKv::NeedBufferedPaint() { return ThemesEnabledKv(); }

// ---- Right to left ----------------------------------------------------------------------------

void TCustomGridKv::ReflectCanvas(TCanvas* Canvas, bool Reflect) {
  SIZE Extent{0, 0};
  GetViewportExtEx(Canvas->GetHandle(), &Extent);
  SetCanvasReflection(Canvas, Reflect, Extent.cy, Extent.cx);
}

void TCustomGridKv::SetCanvasReflection(TCanvas* Canvas, bool Reflect, Integer Height, Integer Width) {
  HDC DC = Canvas->GetHandle();
  SetMapMode(DC, MM_ANISOTROPIC);
  SetWindowOrgEx(DC, Reflect ? Width : 0, 0, nullptr);
  SetViewportExtEx(DC, Width, Height, nullptr);
  SetWindowExtEx(DC, Reflect ? -Width : Width, Height, nullptr);
  FCanvasRightToLeftReflected = Reflect;
}

bool TCustomGridKv::CanvasReflectRect(TRect& ARect) {
  if (!FCanvasRightToLeftReflected) return false;
  Integer W = GetClientWidth();
  ARect = TRect(W - ARect.Right, ARect.Top, W - ARect.Left, ARect.Bottom);
  ReflectCanvas(GetCanvas(), false);
  return true;
}

void TCustomGridKv::ReflectOwnCanvas() { ReflectCanvas(GetCanvas(), true); }

void TCustomGridKv::PolylineRTL(TCanvas* Canvas, const std::vector<TPoint>& Points) {
  if (!UseRightToLeftAlignment()) {
    Canvas->Polyline(Points);
    return;
  }
  // A mirrored pixel column lands one pixel left of its rectangle's edge.
  std::vector<TPoint> Moved = Points;
  for (TPoint& P : Moved) ++P.X;
  Canvas->Polyline(Moved);
}

void TCustomGridKv::FillRectRTL(TCanvas* Canvas, const TRect& ARect, TColor Color1, TColor Color2) {
  TRect R = ARect;
  if (UseRightToLeftAlignment() && R.Width() == 1) {
    ++R.Left;
    ++R.Right;
  }
  FillGradientRect(Canvas, R, Color1, Color2);
}

void TCustomGridKv::FillLineRect(TCustomControl* Control, const TPoint& P1, const TPoint& P2, Integer LineWidth) {
  TCanvas* Canvas = Control->GetCanvas();
  TRect R;
  if (P1.X == P2.X) {
    if (P1.Y == P2.Y) return;
    R = TRect(P1.X, std::min(P1.Y, P2.Y), P1.X + LineWidth, std::max(P1.Y, P2.Y));
  } else {
    R = TRect(std::min(P1.X, P2.X), P1.Y, std::max(P1.X, P2.X), P1.Y + LineWidth);
  }
  TColor SavedBrush = Canvas->GetBrush()->GetColor();
  Canvas->GetBrush()->SetColor(Canvas->GetPen()->GetColor());
  Canvas->FillRect(R);
  Canvas->GetBrush()->SetColor(SavedBrush);
}
