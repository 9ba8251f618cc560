#include "kvlib/grids/gridskv/GridParts.h"

#include <algorithm>

#include "framework/Themes.h"
#include "framework/WinApi.h"
#include "framework/sysutils/OSVersion.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/grids/GridToolCtrlsKv.h"
#include "kvlib/grids/gridskv/CustomGrid.h"

namespace {

constexpr TColor GridPartsGray = TColor(0x808080);
constexpr TColor GridPartsSilver = TColor(0xC0C0C0);
constexpr TColor GridPartsAltBright = TColor(0xF0F0F0);

// The border colour of the style's fixed cell, for the line colours under a custom style.
TColor GridPartsStyleLineColor(TCustomGridKv* Grid) {
  TColor C = clNone;
  auto Details =
      StyleServices()->GetElementDetails(Grid && Grid->GetFlat() ? tgFixedCellNormal : tgGradientFixedCellNormal);
  StyleServices()->GetElementColor(Details, ecBorderColor, C);
  return C;
}

// What the draw style and the selection parameters share: a focus frame that follows a default
// until a value is stored.
template <class T>
bool GridPartsGetDrawFocusFrame(T* Self, bool Stored, bool Value) {
  return Stored ? Value : Self->DefaultDrawFocusFrame();
}

template <class T>
void GridPartsSetDrawFocusFrame(T* Self, bool& Stored, bool& Field, bool Value) {
  if (Stored && Field == Value) return;
  Stored = true;
  Field = Value;
  Self->Changed();
}

template <class T>
void GridPartsSetDrawFocusFrameStored(T* Self, bool& Stored, bool& Field, bool Value) {
  if (Stored == Value) return;
  Stored = Value;
  Field = Self->DefaultDrawFocusFrame();
  Self->Changed();
}

// The actual style a chosen one stands for: the default's, or the default's too when the
// list-view look needs version-6 theming that is not there.
template <class Fn>
TGridSelectionDrawStyleKv GridPartsActualStyle(TGridSelectionDrawStyleKv Chosen, Fn Default) {
  if (Chosen == gsdsDefaultKv || (Chosen == gsdsListViewThemedKv && !ThemesEnabledVistaKv())) return Default();
  return Chosen;
}

}  // namespace

// ---- Line colours -----------------------------------------------------------------------------

TGridLineColorsKv::TGridLineColorsKv(TCustomGridKv* AGrid) : FGrid(AGrid) {}

void TGridLineColorsKv::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TGridLineColorsKv*>(Source);
  if (!S) return TPersistent::Assign(Source);
  FBrightColor = S->FBrightColor;
  FDarkColor = S->FDarkColor;
  FDataHorzColor = S->FDataHorzColor;
  FDataVertColor = S->FDataVertColor;
  FFixedHorzColor = S->FFixedHorzColor;
  FFixedVertColor = S->FFixedVertColor;
  FHorzAreaContraBorderColor = S->FHorzAreaContraBorderColor;
  FHorzAreaContraHorzColor = S->FHorzAreaContraHorzColor;
  FHorzAreaContraVertColor = S->FHorzAreaContraVertColor;
  FHorzAreaFrozenBorderColor = S->FHorzAreaFrozenBorderColor;
  FHorzAreaFrozenHorzColor = S->FHorzAreaFrozenHorzColor;
  FHorzAreaFrozenVertColor = S->FHorzAreaFrozenVertColor;
  FVertAreaContraBorderColor = S->FVertAreaContraBorderColor;
  FVertAreaContraHorzColor = S->FVertAreaContraHorzColor;
  FVertAreaContraVertColor = S->FVertAreaContraVertColor;
  FVertAreaFrozenBorderColor = S->FVertAreaFrozenBorderColor;
  FVertAreaFrozenHorzColor = S->FVertAreaFrozenHorzColor;
  FVertAreaFrozenVertColor = S->FVertAreaFrozenVertColor;
  if (FGrid) FGrid->Invalidate();
}

TPersistent* TGridLineColorsKv::GetOwner() { return FGrid; }

TColor TGridLineColorsKv::GetCellAreaLineColor(Integer ACol, Integer ARow) {
  if (!FGrid) return GetBrightColor();
  if (ACol < FGrid->GetFixedColCount() - FGrid->GetFrozenColCount() ||
      ARow < FGrid->GetFixedRowCount() - FGrid->GetFrozenRowCount())
    return GetDarkColor();
  if (ARow >= FGrid->GetRowCount()) return GetVertAreaContraVertColor();
  if (ACol >= FGrid->GetColCount()) return GetHorzAreaContraHorzColor();
  return GetBrightColor();
}

TColor TGridLineColorsKv::GetDataHorzColor() { return SetOr(FDataHorzColor, GetBrightColor()); }
TColor TGridLineColorsKv::GetDataVertColor() { return SetOr(FDataVertColor, GetBrightColor()); }

TColor TGridLineColorsKv::GetFrozenRowLineColor(Integer ARow) {
  if (!FGrid) return GetBrightColor();
  if (FGrid->GetFrozenRowCount() > 0 && ARow == FGrid->GetFixedRowCount() - 1) return GetDarkColor();
  return GetBrightColor();
}

TColor TGridLineColorsKv::GetHorzAreaFrozenBorderColor() { return SetOr(FHorzAreaFrozenBorderColor, GetDarkColor()); }
TColor TGridLineColorsKv::GetHorzAreaFrozenHorzColor() { return SetOr(FHorzAreaFrozenHorzColor, GetBrightColor()); }
TColor TGridLineColorsKv::GetHorzAreaFrozenVertColor() { return SetOr(FHorzAreaFrozenVertColor, GetBrightColor()); }

TColor TGridLineColorsKv::GetContraColLineColor(Integer ACol) {
  return FGrid && ACol == FGrid->GetColCount() ? GetVertAreaContraBorderColor() : GetBrightColor();
}

TColor TGridLineColorsKv::GetFrozenColLineColor(Integer ACol) {
  if (FGrid && FGrid->GetFrozenColCount() > 0 && ACol == FGrid->GetFixedColCount() - 1) return GetVertAreaFrozenBorderColor();
  return GetBrightColor();
}

TColor TGridLineColorsKv::GetContraRowLineColor(Integer ARow) {
  return FGrid && ARow == FGrid->GetRowCount() ? GetHorzAreaContraBorderColor() : GetBrightColor();
}

TColor TGridLineColorsKv::GetVertAreaFrozenBorderColor() { return SetOr(FVertAreaFrozenBorderColor, GetDarkColor()); }
TColor TGridLineColorsKv::GetVertAreaFrozenHorzColor() { return SetOr(FVertAreaFrozenHorzColor, GetBrightColor()); }
TColor TGridLineColorsKv::GetVertAreaFrozenVertColor() { return SetOr(FVertAreaFrozenVertColor, GetBrightColor()); }

TColor TGridLineColorsKv::GetDarkColor() {
  if (FDarkColor != clDefault) return FDarkColor;
  if (IsCustomStyleActiveKv()) return GridPartsStyleLineColor(FGrid);
  return GetStyledSystemColor(GridPartsGray);
}

TColor TGridLineColorsKv::GetBrightColor() {
  if (FBrightColor != clDefault) return FBrightColor;
  if (IsCustomStyleActiveKv()) return GridPartsStyleLineColor(FGrid);
  TColor GridColor = TColor(ColorToRGB(FGrid ? FGrid->GetColor() : clWindow));
  if (FGrid && FGrid->UseAltLineColors())
    return GridColor == GridPartsAltBright ? GridPartsGray : GridPartsAltBright;
  TColor Silver = GetStyledSystemColor(GridPartsSilver);
  return GridColor == TColor(ColorToRGB(Silver)) ? GridPartsGray : Silver;
}

TColor TGridLineColorsKv::GetFixedVertColor() { return SetOr(FFixedVertColor, GetDarkColor()); }
TColor TGridLineColorsKv::GetFixedHorzColor() { return SetOr(FFixedHorzColor, GetDarkColor()); }
TColor TGridLineColorsKv::GetVertAreaContraVertColor() { return SetOr(FVertAreaContraVertColor, GetBrightColor()); }
TColor TGridLineColorsKv::GetVertAreaContraHorzColor() { return SetOr(FVertAreaContraHorzColor, GetBrightColor()); }
TColor TGridLineColorsKv::GetHorzAreaContraVertColor() { return SetOr(FHorzAreaContraVertColor, GetBrightColor()); }
TColor TGridLineColorsKv::GetHorzAreaContraHorzColor() { return SetOr(FHorzAreaContraHorzColor, GetBrightColor()); }
TColor TGridLineColorsKv::GetVertAreaContraBorderColor() { return SetOr(FVertAreaContraBorderColor, GetDarkColor()); }
TColor TGridLineColorsKv::GetHorzAreaContraBorderColor() { return SetOr(FHorzAreaContraBorderColor, GetDarkColor()); }

void TGridLineColorsKv::StoreColor(TColor& Field, TColor Value) {
  if (Field == Value) return;
  Field = Value;
  if (FGrid) FGrid->Invalidate();
}

void TGridLineColorsKv::SetBrightColor(TColor Value) { StoreColor(FBrightColor, Value); }
void TGridLineColorsKv::SetDarkColor(TColor Value) { StoreColor(FDarkColor, Value); }
void TGridLineColorsKv::SetDataHorzColor(TColor Value) { StoreColor(FDataHorzColor, Value); }
void TGridLineColorsKv::SetDataVertColor(TColor Value) { StoreColor(FDataVertColor, Value); }

PUBLISHED_DEF(TGridLineColorsKv) {
  PROP(BrightColor).Stored(&TGridLineColorsKv::IsBrightColorStored).Idents(&IdentToColor, &ColorToIdent);
  PROP(DarkColor).Stored(&TGridLineColorsKv::IsDarkColorStored).Idents(&IdentToColor, &ColorToIdent);
  PROP(DataHorzColor).Stored(&TGridLineColorsKv::IsDataHorzColorStored).Idents(&IdentToColor, &ColorToIdent);
  PROP(DataVertColor).Stored(&TGridLineColorsKv::IsDataVertColorStored).Idents(&IdentToColor, &ColorToIdent);
}

// ---- Out-boundary strips ----------------------------------------------------------------------

void TGridOutBoundaryDataKv::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TGridOutBoundaryDataKv*>(Source);
  if (!S) return TPersistent::Assign(Source);
  FBottomIndent = S->FBottomIndent;
  FLeftBottomDrawPriority = S->FLeftBottomDrawPriority;
  FLeftIndent = S->FLeftIndent;
  FLeftTopDrawPriority = S->FLeftTopDrawPriority;
  FRightBottomDrawPriority = S->FRightBottomDrawPriority;
  FRightIndent = S->FRightIndent;
  FRightTopDrawPriority = S->FRightTopDrawPriority;
  FTopIndent = S->FTopIndent;
  Changed();
}

TPersistent* TGridOutBoundaryDataKv::GetOwner() { return FGrid; }

void TGridOutBoundaryDataKv::Changed() {
  if (FGrid) FGrid->OutBoundaryChanged();
}

bool TGridOutBoundaryDataKv::GetOutBoundaryRect(TRect& ARect, TGridCellBorderTypeKv OutBoundaryType) {
  if (!FGrid) return false;
  TRect C = FGrid->GetClientRect();
  Integer W = C.Width(), H = C.Height();
  auto Vert = [](TCornerDrawPriorityKv P) { return P == crpVerticalDataPriorityKv; };
  switch (OutBoundaryType) {
    case cbtTopKv:
      if (FTopIndent < 1) return false;
      ARect = TRect(Vert(FLeftTopDrawPriority) ? FLeftIndent : 0, 0, Vert(FRightTopDrawPriority) ? W - FRightIndent : W,
                    FTopIndent);
      return true;
    case cbtBottomKv:
      if (FBottomIndent <= 0) return false;
      ARect = TRect(Vert(FLeftBottomDrawPriority) ? FLeftIndent : 0, H - FBottomIndent,
                    Vert(FRightBottomDrawPriority) ? W - FRightIndent : W, H);
      return true;
    case cbtLeftKv:
      if (FLeftIndent <= 0) return false;
      ARect = TRect(0, Vert(FLeftTopDrawPriority) ? 0 : FTopIndent, FLeftIndent,
                    Vert(FLeftBottomDrawPriority) ? H : H - FBottomIndent);
      return true;
    case cbtRightKv:
      if (FRightIndent < 1) return false;
      ARect = TRect(W - FRightIndent, Vert(FRightTopDrawPriority) ? 0 : FTopIndent, W,
                    Vert(FRightBottomDrawPriority) ? H : H - FBottomIndent);
      return true;
  }
  return false;
}

void TGridOutBoundaryDataKv::InvalidateOutBoundary(TGridCellBorderTypeKv OutBoundaryType) {
  TRect R;
  if (!FGrid || !FGrid->HandleAllocated() || !GetOutBoundaryRect(R, OutBoundaryType)) return;
  WinInvalidateRect(FGrid->GetHandle(), &R, false);
}

PUBLISHED_DEF(TGridOutBoundaryDataKv) {
  PROP(BottomIndent).Default(0);
  PROP(LeftBottomDrawPriority).Default(crpHorizontalDataPriorityKv);
  PROP(LeftIndent).Default(0);
  PROP(LeftTopDrawPriority).Default(crpHorizontalDataPriorityKv);
  PROP(RightBottomDrawPriority).Default(crpHorizontalDataPriorityKv);
  PROP(RightIndent).Default(0);
  PROP(RightTopDrawPriority).Default(crpHorizontalDataPriorityKv);
  PROP(TopIndent).Default(0);
}

// ---- Hot-track spot ---------------------------------------------------------------------------

void TGridHotTrackSpotKv::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TGridHotTrackSpotKv*>(Source);
  if (!S) return TPersistent::Assign(Source);
  FCol = S->FCol;
  FInCellX = S->FInCellX;
  FInCellY = S->FInCellY;
  FRow = S->FRow;
}

// ---- Background picture -----------------------------------------------------------------------

TGridBackgroundDataKv::TGridBackgroundDataKv(TCustomGridKv* AGrid)
    : FGrid(AGrid), FPicture(std::make_unique<TPictureKv>()) {
  FPicture->SetOnChange({this, &TGridBackgroundDataKv::BackgroundPictureChanged});
}

TGridBackgroundDataKv::~TGridBackgroundDataKv() = default;

void TGridBackgroundDataKv::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TGridBackgroundDataKv*>(Source);
  if (!S) return TPersistent::Assign(Source);
  FImageHorzMargin = S->FImageHorzMargin;
  FImagePlacement = S->FImagePlacement;
  FImageVertMargin = S->FImageVertMargin;
  FVisible = S->FVisible;
  FPicture->Assign(S->FPicture.get());
  InvalidateGrid();
}

TPersistent* TGridBackgroundDataKv::GetOwner() { return FGrid; }

TPicture* TGridBackgroundDataKv::GetPicture() const { return FPicture.get(); }
void TGridBackgroundDataKv::SetPicture(TPicture* Value) { FPicture->Assign(Value); }

void TGridBackgroundDataKv::InvalidateGrid() {
  if (FGrid) FGrid->Invalidate();
}

void TGridBackgroundDataKv::BackgroundPictureChanged(TObject*) { InvalidateGrid(); }

void TGridBackgroundDataKv::SetHorzMargin(Integer Value) {
  if (FImageHorzMargin == Value) return;
  FImageHorzMargin = Value;
  InvalidateGrid();
}

void TGridBackgroundDataKv::SetPlacement(TImagePlacementKv Value) {
  if (FImagePlacement == Value) return;
  FImagePlacement = Value;
  InvalidateGrid();
}

void TGridBackgroundDataKv::SetVertMargin(Integer Value) {
  if (FImageVertMargin == Value) return;
  FImageVertMargin = Value;
  InvalidateGrid();
}

void TGridBackgroundDataKv::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  InvalidateGrid();
}

TRect TGridBackgroundDataKv::BoundRect() {
  if (!FGrid) return TRect();
  TGridAxisDataKv* H = FGrid->GetHorzAxis();
  TGridAxisDataKv* V = FGrid->GetVertAxis();
  return TRect(H->GetGridClientStart(), V->GetGridClientStart(), H->GetGridClientStop(), V->GetGridClientStop());
}

TRect TGridBackgroundDataKv::PictureRect() {
  // The family's placed picture lays it out; reduce-fit shrinks a picture larger than the area
  // as the family's other pictures do.
  TRect R = FPicture->GetDestRect(BoundRect(), FImagePlacement);
  OffsetRect(R, FImageHorzMargin, FImageVertMargin);
  return R;
}

void TGridBackgroundDataKv::PaintBackgroundData(TCanvas* Canvas) {
  if (!FGrid) return;
  Canvas->GetPen()->SetStyle(psSolid);
  Canvas->GetBrush()->SetStyle(bsSolid);
  Canvas->GetBrush()->SetColor(GetStyledSystemColor(FGrid->GetColor()));
  Canvas->FillRect(FGrid->GetClientRect());
  TGraphic* G = FPicture->GetGraphic();
  if (!G) return;
  TRect R = PictureRect();
  Integer W = FPicture->GetWidth(), H = FPicture->GetHeight();
  if (FImagePlacement != ipTileKv) {
    Canvas->StretchDraw(R, G);
    return;
  }
  // A picture without size would never advance the tiles.
  if (W <= 0 || H <= 0) return;
  TRect Client = FGrid->GetClientRect();
  for (Integer Y = R.Top; Y < Client.Bottom; Y += H)
    for (Integer X = R.Left; X < Client.Right; X += W) Canvas->StretchDraw(TRect(X, Y, X + W, Y + H), G);
}

PUBLISHED_DEF(TGridBackgroundDataKv) {
  PROP(HorzMargin).Default(0);
  PROP(Picture);
  PROP(Placement).Default(ipCenterCenterKv);
  PROP(VertMargin).Default(0);
  PROP(Visible).Default(false);
}

// ---- Scroll-bar settings ----------------------------------------------------------------------

TGridScrollBarKv::TGridScrollBarKv(TCustomGridKv* AGrid, TScrollBarKind AKind) : FGrid(AGrid), FKind(AKind) {}

void TGridScrollBarKv::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TGridScrollBarKv*>(Source);
  if (!S) return TPersistent::Assign(Source);
  FTracking = S->FTracking;
  SetSmoothStep(S->FSmoothStep);
  SetSize(S->FSize);
  SetVisibleMode(S->FVisibleMode);
}

TPersistent* TGridScrollBarKv::GetOwner() { return FGrid; }

bool TGridScrollBarKv::CalcScrollBarVisible() {
  switch (FVisibleMode) {
    case sbAlwaysShowKv: return true;
    case sbNeverShowKv: return false;
    case sbAutoShowKv: break;
  }
  if (!FGrid) return false;
  Integer Position = 0, Min = 0, Max = 0, PageSize = 0;
  if (FKind == sbHorizontal)
    FGrid->GetHorzScrollBarParams(Position, Min, Max, PageSize);
  else
    FGrid->GetVertScrollBarParams(Position, Min, Max, PageSize);
  return Min < Max && Int64(Max) - Min >= PageSize;
}

void TGridScrollBarKv::UpdateGridScrollBars() {
  if (FGrid) FGrid->RefreshScrollBarState();
}

Integer TGridScrollBarKv::ActualSize() {
  if (FSize <= 0) return FGrid ? FGrid->GetScrollBarSize() : GetSystemMetrics(SM_CYHSCROLL);
  Double Scale = FGrid ? FGrid->GetScaleFactor() : 1.0;
  // The scale is taken to two decimals, as the control's own values are scaled.
  Double Factor = Round(Scale * 100) / 100.0;
  return Round(FSize * Factor);
}

Integer TGridScrollBarKv::ActualScrollBarBoxSize() {
  Integer Size = ActualSize();
  if (IsKeepMaxSizeInDefault()) Size = std::min<Integer>(Size, GetSystemMetrics(SM_CYHSCROLL));
  return Size;
}

void TGridScrollBarKv::GetScrollBarParams(Integer& APosition, Integer& AMin, Integer& AMax, Integer& APageSize) {
  APosition = AMin = AMax = APageSize = 0;
  if (!FGrid) return;
  TGridScrollBarPanelControlKv* Panel =
      FKind == sbHorizontal ? FGrid->GetHorzScrollBarPanelControl() : FGrid->GetVertScrollBarPanelControl();
  if (Panel) Panel->GetParams(APosition, AMin, AMax, APageSize);
}

void TGridScrollBarKv::SetScrollBarParams(Integer APosition, Integer AMin, Integer AMax, Integer APageSize) {
  if (!FGrid) return;
  TGridScrollBarPanelControlKv* Panel =
      FKind == sbHorizontal ? FGrid->GetHorzScrollBarPanelControl() : FGrid->GetVertScrollBarPanelControl();
  if (Panel) Panel->SetParams(APosition, AMin, AMax, APageSize);
}

void TGridScrollBarKv::SetSize(Integer Value) {
  if (FSize == Value) return;
  FSize = Value;
  if (FGrid) FGrid->ScrollBarSizeChanged(this);
}

void TGridScrollBarKv::SetSmoothStep(bool Value) {
  if (FSmoothStep == Value) return;
  FSmoothStep = Value;
  SmoothStepChanged();
}

void TGridScrollBarKv::SetVisibleMode(TScrollBarVisibleModeKv Value) {
  if (FVisibleMode == Value) return;
  FVisibleMode = Value;
  if (FGrid) FGrid->UpdateBoundaries();
}

PUBLISHED_DEF(TGridScrollBarKv) {
  PROP(Tracking).Default(true);
  PROP(Size).Default(0);
  PROP(SmoothStep).Default(false);
  PROP(VisibleMode).Default(sbAutoShowKv);
}

// ---- Draw style -------------------------------------------------------------------------------

TGridDrawStyleKv::TGridDrawStyleKv(TComponent* AOwner) : TComponent(AOwner) {}

TGridDrawStyleKv::~TGridDrawStyleKv() {
  ForgetDefaultGridDrawStyle(this);
  DetachGrids();
}

void TGridDrawStyleKv::DetachGrids() {
  // Each grid leaves the list as it goes back to the default (or to none).
  while (FGrids.GetCount() > 0) {
    auto* Grid = static_cast<TCustomGridKv*>(FGrids.GetItems(FGrids.GetCount() - 1));
    Integer Before = FGrids.GetCount();
    Grid->SetDrawStyle(nullptr);
    if (FGrids.GetCount() == Before) FGrids.Delete(FGrids.GetCount() - 1);
  }
}

void TGridDrawStyleKv::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TGridDrawStyleKv*>(Source);
  if (!S) return TComponent::Assign(Source);
  FSelectionStyle = S->FSelectionStyle;
  FDrawFocusFrame = S->FDrawFocusFrame;
  FDrawFocusFrameStored = S->FDrawFocusFrameStored;
  Changed();
}

void TGridDrawStyleKv::AddChangeNotification(TCustomGridKv* Grid) {
  if (!GridInChangeNotification(Grid)) FGrids.Add(Grid);
}

void TGridDrawStyleKv::RemoveChangeNotification(TCustomGridKv* Grid) { FGrids.Remove(Grid); }

bool TGridDrawStyleKv::GridInChangeNotification(TCustomGridKv* Grid) const { return FGrids.IndexOf(Grid) >= 0; }

void TGridDrawStyleKv::Changed() {
  for (Integer I = 0; I < FGrids.GetCount(); ++I) static_cast<TCustomGridKv*>(FGrids.GetItems(I))->DrawStyleChanged();
}

void TGridDrawStyleKv::SetSelectionStyle(TGridSelectionDrawStyleKv Value) {
  if (FSelectionStyle == Value) return;
  FSelectionStyle = Value;
  Changed();
}

TGridSelectionDrawStyleKv TGridDrawStyleKv::GetDefaultActualSelectionStyle() {
  if (ThemesEnabledKv() && IsCustomStyleActive()) return gsdsGridThemedKv;
  if (ThemesEnabledVistaKv()) return gsdsListViewThemedKv;
  return gsdsClassicKv;
}

TGridSelectionDrawStyleKv TGridDrawStyleKv::GetActualSelectionStyle() {
  return GridPartsActualStyle(FSelectionStyle, [this] { return GetDefaultActualSelectionStyle(); });
}

bool TGridDrawStyleKv::DefaultDrawFocusFrame() {
  return GetActualSelectionStyle() == gsdsClassicKv && !IsCustomStyleActive();
}

bool TGridDrawStyleKv::IsCustomStyleActive() { return IsCustomStyleActiveKv(); }

bool TGridDrawStyleKv::GetDrawFocusFrame() {
  return GridPartsGetDrawFocusFrame(this, FDrawFocusFrameStored, FDrawFocusFrame);
}

void TGridDrawStyleKv::SetDrawFocusFrame(bool Value) {
  GridPartsSetDrawFocusFrame(this, FDrawFocusFrameStored, FDrawFocusFrame, Value);
}

void TGridDrawStyleKv::SetDrawFocusFrameStored(bool Value) {
  GridPartsSetDrawFocusFrameStored(this, FDrawFocusFrameStored, FDrawFocusFrame, Value);
}

PUBLISHED_DEF(TGridDrawStyleKv) {
  PROP(SelectionStyle).Default(gsdsDefaultKv);
  PROP(DrawFocusFrame).Stored(&TGridDrawStyleKv::IsDrawFocusFrameStored);
  PROP(DrawFocusFrameStored).Default(false);
}

// ---- Selection draw parameters ----------------------------------------------------------------

void TGridSelectionDrawParamsKv::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TGridSelectionDrawParamsKv*>(Source);
  if (!S) return TPersistent::Assign(Source);
  FSelectionStyle = S->FSelectionStyle;
  FDrawFocusFrame = S->FDrawFocusFrame;
  FDrawFocusFrameStored = S->FDrawFocusFrameStored;
  Changed();
}

TPersistent* TGridSelectionDrawParamsKv::GetOwner() { return FGrid; }

void TGridSelectionDrawParamsKv::Changed() {
  if (FGrid) FGrid->Invalidate();
}

TGridSelectionDrawStyleKv TGridSelectionDrawParamsKv::GetActualSelectionStyle() {
  return GridPartsActualStyle(FSelectionStyle, [this] {
    return FGrid ? FGrid->GetDefaultSelectionStyle() : gsdsClassicKv;
  });
}

bool TGridSelectionDrawParamsKv::DefaultDrawFocusFrame() {
  if (FSelectionStyle == gsdsDefaultKv) return FGrid ? FGrid->GetDefaultDrawFocusFrame() : true;
  return GetActualSelectionStyle() == gsdsClassicKv;
}

void TGridSelectionDrawParamsKv::SetSelectionStyle(TGridSelectionDrawStyleKv Value) {
  if (FSelectionStyle == Value) return;
  FSelectionStyle = Value;
  Changed();
}

bool TGridSelectionDrawParamsKv::GetDrawFocusFrame() {
  return GridPartsGetDrawFocusFrame(this, FDrawFocusFrameStored, FDrawFocusFrame);
}

void TGridSelectionDrawParamsKv::SetDrawFocusFrame(bool Value) {
  GridPartsSetDrawFocusFrame(this, FDrawFocusFrameStored, FDrawFocusFrame, Value);
}

void TGridSelectionDrawParamsKv::SetDrawFocusFrameStored(bool Value) {
  GridPartsSetDrawFocusFrameStored(this, FDrawFocusFrameStored, FDrawFocusFrame, Value);
}

PUBLISHED_DEF(TGridSelectionDrawParamsKv) {
  PROP(SelectionStyle).Default(gsdsDefaultKv);
  PROP(DrawFocusFrame).Stored(&TGridSelectionDrawParamsKv::IsDrawFocusFrameStored);
  PROP(DrawFocusFrameStored).Default(false);
}
