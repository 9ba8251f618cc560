// The grid's painting. For now the grid fills its background and out-boundary strips; cells,
// lines, the contra and empty areas and the themed selection are not drawn yet.

#include "framework/Themes.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/grids/gridskv/CustomGrid.h"

void TCustomGridKv::Paint() {
  if (PaintLocked()) return;
  CheckUpdateAxes();
  UpdateInternalColors();
  TCanvas* Canvas = GetCanvas();
  if (GetBackgroundData()->Showing()) {
    GetBackgroundData()->PaintBackgroundData(Canvas);
  } else {
    Canvas->GetBrush()->SetColor(FInternalColor);
    Canvas->FillRect(GetClientRect());
  }
  PaintOutBoundaries();
}

void TCustomGridKv::DrawCellBorders(Integer, Integer, TRect&, TGridDrawState, TGridCellBorderTypesKv) {}

void TCustomGridKv::DrawCell(Integer, Integer, const TRect&, TGridDrawState) {}

void TCustomGridKv::PaintCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State) {
  TRect R = ARect;
  DrawCellBorders(ACol, ARow, R, State, TGridCellBorderTypesKv{cbtBottomKv, cbtRightKv});
  DrawCell(ACol, ARow, R, State);
}

bool TCustomGridKv::IsThemedSelectionCell(TGridDrawState State) {
  if (!ThemesEnabledKv()) return false;
  TGridSelectionDrawStyleKv S = FSelectionDrawParams->GetActualSelectionStyle();
  if (S == gsdsGridThemedKv && State.Contains(gdFocused)) return true;
  if (S == gsdsListViewThemedKv && (State.Contains(gdFocused) || State.Contains(gdCurrent))) return true;
  return (S == gsdsGridThemedKv || S == gsdsListViewThemedKv) && FOptions.Contains(goRowSelectKv) &&
         (State.Contains(gdSelected) || State.Contains(gdRowSelected));
}

void TCustomGridKv::DrawThemedSelection(Integer, Integer, const TRect&, TGridDrawState) {}

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
