// The grid's settings objects: line-colour defaults, the out-boundary strips, the 14 background
// placements and tiling, the scroll-bar sizes, the selection look under each theming, and copies.

#include <gtest/gtest.h>

#include "framework/Themes.h"
#include "framework/WinApi.h"
#include "framework/graphics/Bitmap.h"
#include "tests/kvlib/grids/GridsKvTestUtil.h"
#include <uxtheme.h>

using namespace gridtest;

namespace {

constexpr TColor Gray = TColor(0x808080), Silver = TColor(0xC0C0C0);

TEST(GridParts, LineColourDefaults) {
  TGridOnForm G;
  TGridLineColorsKv* C = G->GetGridLineColors();
  EXPECT_EQ(C->GetDarkColor(), Gray);
  EXPECT_EQ(C->GetBrightColor(), Silver);
  struct {
    const char* Getter;
    TColor Value, Expected;
  } const Defaults[] = {
      {"DataHorz", C->GetDataHorzColor(), Silver},
      {"DataVert", C->GetDataVertColor(), Silver},
      {"HorzAreaFrozenBorder", C->GetHorzAreaFrozenBorderColor(), Gray},
      {"HorzAreaFrozenHorz", C->GetHorzAreaFrozenHorzColor(), Silver},
      {"HorzAreaFrozenVert", C->GetHorzAreaFrozenVertColor(), Silver},
      {"VertAreaFrozenBorder", C->GetVertAreaFrozenBorderColor(), Gray},
      {"VertAreaFrozenHorz", C->GetVertAreaFrozenHorzColor(), Silver},
      {"VertAreaFrozenVert", C->GetVertAreaFrozenVertColor(), Silver},
      {"FixedVert", C->GetFixedVertColor(), Gray},
      {"FixedHorz", C->GetFixedHorzColor(), Gray},
      {"VertAreaContraVert", C->GetVertAreaContraVertColor(), Silver},
      {"VertAreaContraHorz", C->GetVertAreaContraHorzColor(), Silver},
      {"HorzAreaContraVert", C->GetHorzAreaContraVertColor(), Silver},
      {"HorzAreaContraHorz", C->GetHorzAreaContraHorzColor(), Silver},
      {"VertAreaContraBorder", C->GetVertAreaContraBorderColor(), Gray},
      {"HorzAreaContraBorder", C->GetHorzAreaContraBorderColor(), Gray},
      {"CellArea of a fixed cell", C->GetCellAreaLineColor(0, 2), Gray},
      {"CellArea of a data cell", C->GetCellAreaLineColor(2, 2), Silver},
      {"ContraCol, first", C->GetContraColLineColor(6), Gray},
      {"ContraCol, other", C->GetContraColLineColor(7), Silver},
      {"FrozenRow without frozen rows", C->GetFrozenRowLineColor(0), Silver},
  };
  for (const auto& D : Defaults) EXPECT_EQ(D.Value, D.Expected) << D.Getter;
  G->SetFrozenRowCount(1);
  EXPECT_EQ(C->GetFrozenRowLineColor(0), Gray);
  C->SetDarkColor(clNavy);
  EXPECT_EQ(C->GetHorzAreaContraBorderColor(), clNavy) << "follows the dark colour until set";
  EXPECT_TRUE(C->IsDarkColorStored());
  TGridOnForm OnSilver;
  OnSilver->SetColor(Silver);
  EXPECT_EQ(OnSilver->GetGridLineColors()->GetBrightColor(), Gray) << "silver lines would not show on silver";
}

TEST(GridParts, OutBoundaryStripsShareTheCornersByPriority) {
  TGridOnForm G;
  TGridOutBoundaryDataKv* Out = G->GetOutBoundaryData();
  TRect R(1, 2, 3, 4);
  EXPECT_FALSE(Out->GetOutBoundaryRect(R, cbtTopKv));
  EXPECT_EQ(R, TRect(1, 2, 3, 4));
  Out->SetTopIndent(10);
  Out->SetBottomIndent(10);
  Out->SetLeftIndent(10);
  Out->SetRightIndent(10);
  struct {
    TCornerDrawPriorityKv Priority;
    TGridCellBorderTypeKv Strip;
    TRect Expected;
  } const Cases[] = {
      {crpHorizontalDataPriorityKv, cbtTopKv, {0, 0, 300, 10}},
      {crpHorizontalDataPriorityKv, cbtBottomKv, {0, 110, 300, 120}},
      {crpHorizontalDataPriorityKv, cbtLeftKv, {0, 10, 10, 110}},
      {crpHorizontalDataPriorityKv, cbtRightKv, {290, 10, 300, 110}},
      {crpVerticalDataPriorityKv, cbtTopKv, {10, 0, 290, 10}},
      {crpVerticalDataPriorityKv, cbtBottomKv, {10, 110, 290, 120}},
      {crpVerticalDataPriorityKv, cbtLeftKv, {0, 0, 10, 120}},
      {crpVerticalDataPriorityKv, cbtRightKv, {290, 0, 300, 120}},
  };
  for (const auto& C : Cases) {
    Out->SetLeftTopDrawPriority(C.Priority);
    Out->SetRightTopDrawPriority(C.Priority);
    Out->SetLeftBottomDrawPriority(C.Priority);
    Out->SetRightBottomDrawPriority(C.Priority);
    ASSERT_TRUE(Out->GetOutBoundaryRect(R, C.Strip));
    EXPECT_EQ(R, C.Expected) << C.Priority << " " << C.Strip;
  }
  EXPECT_EQ(G->CellRect(0, 0), TRect(10, 10, 60, 30));
  TGridOutBoundaryDataKv Copy(nullptr);
  Copy.Assign(Out);
  EXPECT_EQ(Copy.GetRightIndent(), 10);
  EXPECT_EQ(Copy.GetLeftBottomDrawPriority(), crpVerticalDataPriorityKv);
}

// A background laid out in a fixed 100 x 100 area at (10, 20).
class TFixedAreaBackground : public TGridBackgroundDataKv {
 public:
  using TGridBackgroundDataKv::TGridBackgroundDataKv;
  TRect BoundRect() override { return TRect(10, 20, 110, 120); }
};

void SetPictureSize(TPicture* Picture, Integer W, Integer H, TColor Color = clRed) {
  TBitmap B(W, H);
  if (W > 0 && H > 0) {
    B.GetCanvas()->GetBrush()->SetColor(Color);
    B.GetCanvas()->FillRect(TRect(0, 0, W, H));
  }
  Picture->SetBitmap(&B);
}

TEST(GridParts, TheFourteenPlacements) {
  TFixedAreaBackground Back(nullptr);
  SetPictureSize(Back.GetPicture(), 40, 20);
  struct {
    TImagePlacementKv Placement;
    TRect Expected;
  } const Cases[] = {
      {ipTopLeftKv, {10, 20, 50, 40}},       {ipTopCenterKv, {40, 20, 80, 40}},
      {ipTopRightKv, {70, 20, 110, 40}},     {ipCenterLeftKv, {10, 60, 50, 80}},
      {ipCenterCenterKv, {40, 60, 80, 80}},  {ipCenterRightKv, {70, 60, 110, 80}},
      {ipBottomLeftKv, {10, 100, 50, 120}},  {ipBottomCenterKv, {40, 100, 80, 120}},
      {ipBottomRightKv, {70, 100, 110, 120}}, {ipFillKv, {-40, 20, 160, 120}},
      {ipReduceFitKv, {40, 60, 80, 80}},     {ipFitKv, {10, 45, 110, 95}},
      {ipStretchKv, {10, 20, 110, 120}},     {ipTileKv, {10, 20, 50, 40}},
  };
  for (const auto& C : Cases) {
    Back.SetPlacement(C.Placement);
    EXPECT_EQ(Back.PictureRect(), C.Expected) << C.Placement;
    Back.SetHorzMargin(3);
    Back.SetVertMargin(4);
    TRect Moved = C.Expected;
    OffsetRect(Moved, 3, 4);
    EXPECT_EQ(Back.PictureRect(), Moved) << C.Placement << " with margins";
    Back.SetHorzMargin(0);
    Back.SetVertMargin(0);
  }
  SetPictureSize(Back.GetPicture(), 200, 100);
  Back.SetPlacement(ipFitKv);
  EXPECT_EQ(Back.PictureRect(), TRect(10, 45, 110, 95)) << "fitted, centred vertically";
  Back.SetPlacement(ipReduceFitKv);
  EXPECT_EQ(Back.PictureRect(), TRect(10, 45, 110, 95)) << "a larger picture is reduced to fit";
}

TEST(GridParts, TilingCoversTheGridAndSkipsAPictureWithoutSize) {
  TGridOnForm G;
  TGridBackgroundDataKv* Back = G->GetBackgroundData();
  Back->SetPlacement(ipTileKv);
  Back->SetVisible(true);
  TBitmap Target(300, 120);
  SetPictureSize(Back->GetPicture(), 0, 0);
  ASSERT_NE(Back->GetPicture()->GetGraphic(), nullptr);
  Back->PaintBackgroundData(Target.GetCanvas());  // returns instead of stepping by 0 forever
  EXPECT_EQ(TColor(Target.GetCanvas()->GetPixel(150, 60) & 0xFFFFFF), TColor(ColorToRGB(clWindow) & 0xFFFFFF));
  SetPictureSize(Back->GetPicture(), 7, 5, clRed);
  Back->PaintBackgroundData(Target.GetCanvas());
  for (TPoint P : {TPoint(0, 0), TPoint(150, 60), TPoint(299, 119)})
    EXPECT_EQ(Target.GetCanvas()->GetPixel(P.X, P.Y) & 0xFFFFFF, TColor(0x0000FF)) << P.X << "," << P.Y;
}

TEST(GridParts, ScrollBarSizes) {
  TGridOnForm G;
  TGridScrollBarKv* Bar = G->GetVertScrollBar();
  EXPECT_EQ(Bar->GetVisibleMode(), sbAutoShowKv);
  EXPECT_TRUE(Bar->GetTracking());
  EXPECT_FALSE(Bar->GetSmoothStep());
  EXPECT_EQ(Bar->ActualSize(), G->GetScrollBarSize());
  EXPECT_EQ(G->GetScrollBarSize(), GetSystemMetrics(SM_CYHSCROLL));
  G->SetScaleFactorForTest(1.5f);
  Bar->SetSize(20);
  EXPECT_EQ(Bar->ActualSize(), 30);
  EXPECT_EQ(Bar->ActualScrollBarBoxSize(), 30);
  EXPECT_TRUE(Bar->CheckHideScrollBar());
  Bar->SetVisibleMode(sbAlwaysShowKv);
  EXPECT_FALSE(Bar->CheckHideScrollBar());
  EXPECT_EQ(G->GetHorzAxis()->GetGridClientStop(), 300 - 30);
}

TEST(GridParts, HotTrackSpotsCopyEveryField) {
  TGridHotTrackSpotKv A, B;
  EXPECT_EQ(A.GetCol(), -1);
  EXPECT_EQ(A.GetRow(), -1);
  A.SetCol(3);
  A.SetRow(4);
  A.SetInCellX(5);
  A.SetInCellY(6);
  B.Assign(&A);
  EXPECT_EQ(B.GetCol(), 3);
  EXPECT_EQ(B.GetRow(), 4);
  EXPECT_EQ(B.GetInCellX(), 5);
  EXPECT_EQ(B.GetInCellY(), 6);
}

TEST(GridParts, DrawFocusFrameFollowsItsDefaultUntilStored) {
  TGridDrawStyleKv Style(nullptr);
  bool Default = Style.DefaultDrawFocusFrame();
  EXPECT_EQ(Style.GetDrawFocusFrame(), Default);
  EXPECT_FALSE(Style.GetDrawFocusFrameStored());
  Style.SetDrawFocusFrame(!Default);
  EXPECT_TRUE(Style.GetDrawFocusFrameStored());
  EXPECT_EQ(Style.GetDrawFocusFrame(), !Default);
  Style.SetDrawFocusFrameStored(false);
  EXPECT_EQ(Style.GetDrawFocusFrame(), Default);
  TGridDrawStyleKv Copy(nullptr);
  Style.SetSelectionStyle(gsdsGridThemedKv);
  Style.SetDrawFocusFrame(true);
  Copy.Assign(&Style);
  EXPECT_EQ(Copy.GetSelectionStyle(), gsdsGridThemedKv);
  EXPECT_TRUE(Copy.GetDrawFocusFrameStored());
  EXPECT_TRUE(Copy.GetDrawFocusFrame());
}

// The program's themes turned off for the test.
class GridPartsClassic : public testing::Test {
 protected:
  void SetUp() override {
    FSaved = GetThemeAppProperties();
    SetThemeAppProperties(0);
    StyleServices()->UpdateThemes();
    ASSERT_FALSE(StyleServices()->Enabled());
  }
  void TearDown() override {
    SetThemeAppProperties(FSaved);
    StyleServices()->UpdateThemes();
  }
  DWORD FSaved = 0;
};

TEST_F(GridPartsClassic, SelectionLookWithoutThemes) {
  TGridOnForm G;
  TGridSelectionDrawParamsKv* P = G->GetSelectionDrawParams();
  EXPECT_EQ(GetDefaultGridDrawStyle()->GetActualSelectionStyle(), gsdsClassicKv);
  EXPECT_TRUE(GetDefaultGridDrawStyle()->DefaultDrawFocusFrame());
  EXPECT_EQ(P->GetActualSelectionStyle(), gsdsClassicKv);
  EXPECT_TRUE(P->GetDrawFocusFrame());
  P->SetSelectionStyle(gsdsListViewThemedKv);
  EXPECT_EQ(P->GetActualSelectionStyle(), gsdsClassicKv) << "no list-view look without themes";
  P->SetSelectionStyle(gsdsGridThemedKv);
  EXPECT_EQ(P->GetActualSelectionStyle(), gsdsGridThemedKv);
  EXPECT_FALSE(P->DefaultDrawFocusFrame());
  EXPECT_FALSE(G->IsThemedSelectionCell(TGridDrawState{gdFocused, gdSelected})) << "themes are off";
}

TEST(GridParts, SelectionLookUnderTheSystemTheme) {
  if (!ThemesEnabledVistaKv()) GTEST_SKIP() << "the system draws without themes here";
  TGridOnForm G;
  EXPECT_EQ(G->GetSelectionDrawParams()->GetActualSelectionStyle(), gsdsListViewThemedKv);
  EXPECT_FALSE(G->GetSelectionDrawParams()->GetDrawFocusFrame());
  EXPECT_TRUE(G->IsThemedSelectionCell(TGridDrawState{gdCurrent}));
  EXPECT_FALSE(G->IsThemedSelectionCell(TGridDrawState{gdSelected}));
}

class GridPartsCustomStyle : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(TStyleManager::TrySetStyle(L"Material Black Pearl")); }
  void TearDown() override { TStyleManager::TrySetStyle(TStyleManager::SystemStyleName); }
};

TEST_F(GridPartsCustomStyle, SelectionLookAndLinesFromTheStyle) {
  TGridOnForm G;
  EXPECT_EQ(G->GetSelectionDrawParams()->GetActualSelectionStyle(), gsdsGridThemedKv);
  EXPECT_FALSE(G->GetSelectionDrawParams()->GetDrawFocusFrame());
  TColor StyleLine = clNone;
  StyleServices()->GetElementColor(StyleServices()->GetElementDetails(tgGradientFixedCellNormal), ecBorderColor,
                                   StyleLine);
  EXPECT_EQ(G->GetGridLineColors()->GetDarkColor(), StyleLine);
  EXPECT_EQ(G->GetGridLineColors()->GetBrightColor(), StyleLine);
}

}  // namespace
