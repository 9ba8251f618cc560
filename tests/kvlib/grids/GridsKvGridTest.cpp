// The grid's structure: a new grid's defaults and window styles, the option rule, counts and the
// current cell, the draw-style registration, settings that assign in full, and the cell extents
// and settings objects in form streams.

#include <gtest/gtest.h>

#include "framework/Classes.h"
#include "framework/WinApi.h"
#include "framework/classes/ObjectText.h"
#include "tests/kvlib/grids/GridsKvTestUtil.h"

using namespace gridtest;

PUBLISHED_DEF(TTestGridKv) {
  PROP(ColCount);
  PROP(RowCount);
  PROP(GridLineColors);
  PROP(HorzScrollBar);
  PROP(VertScrollBar);
  PROP(SelectionDrawParams);
  PROP(OutBoundaryData);
  PROP(BackgroundData);
  PROP(Touch);
}

namespace {

std::string GridStreamText(TComponent* Grid, TComponent* Ancestor = nullptr) {
  TMemoryStream Bin, Text;
  if (Ancestor)
    Bin.WriteDescendent(Grid, Ancestor);
  else
    Bin.WriteComponent(Grid);
  Bin.SetPosition(0);
  ObjectBinaryToText(&Bin, &Text);
  return std::string(static_cast<const char*>(Text.GetMemory()), size_t(Text.GetSize()));
}

void ReadGridText(const std::string& T, TComponent* Grid) {
  RegisterClass(TTestGridKv::StaticClass());
  TMemoryStream In;
  In.Write(T.data(), Integer(T.size()));
  In.SetPosition(0);
  ReadComponentFromStream(&In, Grid);
}

std::unique_ptr<TTestGridKv> NamedGrid(bool SaveExtents = true) {
  auto G = std::make_unique<TTestGridKv>(nullptr);
  G->SetName(L"Grid1");
  G->SetSaveCellExtents(SaveExtents);
  return G;
}

std::vector<Integer> Lens(TGridAxisDataKv* Axis) {
  std::vector<Integer> R;
  for (Integer I = 0; I < Axis->GetFullCelCount(); ++I) R.push_back(Axis->GetCelLens(I));
  return R;
}

TEST(GridStructure, NewGridDefaults) {
  TTestGridKv G(nullptr);
  EXPECT_EQ(G.GetColCount(), 6);
  EXPECT_EQ(G.GetRowCount(), 6);
  EXPECT_EQ(G.GetFixedColCount(), 1);
  EXPECT_EQ(G.GetFixedRowCount(), 1);
  EXPECT_EQ(G.GetFullColCount(), 6);
  EXPECT_EQ(G.GetDefaultColWidth(), 50);
  EXPECT_EQ(G.GetDefaultRowHeight(), 20);
  EXPECT_EQ(G.GetWidth(), 300);
  EXPECT_EQ(G.GetHeight(), 120);
  EXPECT_EQ(G.GetOptions(), (TGridOptionsKv{goFixedVertLineKv, goFixedHorzLineKv, goVertLineKv, goHorzLineKv,
                                            goDrawFocusSelectedKv, goRowSizingKv, goColSizingKv, goRowMovingKv,
                                            goColMovingKv, goEditingKv, goContraVertBoundaryLineKv,
                                            goContraHorzBoundaryLineKv}));
  EXPECT_EQ(G.GetDesignOptionsBoost(), (TGridOptionsKv{goRowSizingKv, goColSizingKv, goColMovingKv}));
  EXPECT_EQ(G.GetControlStyle(),
            (TControlStyle{csCaptureMouse, csOpaque, csDoubleClicks, csGestures, csNeedsBorderPaint}));
  EXPECT_EQ(G.GetColor(), clWindow);
  EXPECT_FALSE(G.GetParentColor());
  EXPECT_EQ(G.GetFixedColor(), clBtnFace);
  EXPECT_EQ(G.GetFixedLineColor(), clBlack);
  EXPECT_EQ(G.GetGridLineWidth(), 1);
  EXPECT_EQ(G.GetBorderStyle(), bsSingle);
  EXPECT_TRUE(G.GetTabStop());
  EXPECT_FALSE(G.GetEditorMode());
  EXPECT_EQ(G.GetSizeGripPostion(), sgpBottomRight);
  EXPECT_EQ(G.GetCurCell(), MakeGridCoord(1, 1));
  EXPECT_EQ(G.GetAnchorCell(), MakeGridCoord(1, 1));
  EXPECT_EQ(G.GetLeftPos(), 0);
  EXPECT_EQ(G.GetDrawStyle(), GetDefaultGridDrawStyle());
  EXPECT_TRUE(GetDefaultGridDrawStyle()->GridInChangeNotification(&G));
  EXPECT_EQ(G.GetTouch()->GetInteractiveGestures(), (TInteractiveGestures{igPan, igPressAndTap}));
  EXPECT_EQ(G.GetTouch()->GetInteractiveGestureOptions(), TTouchManager::AllGestureOptions());
  EXPECT_FALSE(G.IsTouchPropertyStored(tpInteractiveGestures));
  EXPECT_FALSE(G.IsTouchPropertyStored(tpInteractiveGestureOptions));
  G.GetTouch()->SetInteractiveGestures(TInteractiveGestures{igPan});
  EXPECT_TRUE(G.IsTouchPropertyStored(tpInteractiveGestures));
  struct {
    TGridScrollBarPanelControlKv* Panel;
    const wchar_t* Name;
  } const Panels[] = {{G.GetHorzScrollBarPanelControl(), L"HorzScrollBarPanelControl"},
                      {G.GetVertScrollBarPanelControl(), L"VertScrollBarPanelControl"}};
  for (const auto& P : Panels) {
    EXPECT_EQ(P.Panel->GetName(), P.Name);
    EXPECT_EQ(P.Panel->GetParent(), &G);
    EXPECT_FALSE(P.Panel->GetVisible());
  }
  EXPECT_EQ(G.GetHorzScrollBarPanelControl()->GetKind(), sbHorizontal);
  EXPECT_EQ(G.GetCornerScrollBarPanelControl()->GetName(), L"CornerScrollBarPanelControl");
  EXPECT_EQ(G.GetExtraSizeGripControl()->GetGripActiveStatus(), gasNeverKv);
}

TEST(GridStructure, WindowStylesFollowTheBorder) {
  struct {
    TBorderStyle Border;
    bool Ctl3D;
    bool Border1, ClientEdge;
  } const Cases[] = {
      {bsSingle, true, false, true},
      {bsSingle, false, true, false},
      {bsNone, true, false, false},
  };
  for (const auto& C : Cases) {
    ctltest::TFormHolder F;
    auto* G = new TTestGridKv(F.Form);
    G->SetCtl3D(C.Ctl3D);
    G->SetBorderStyle(C.Border);
    G->SetParent(F.Form);
    HWND H = G->GetHandle();
    LONG_PTR Style = GetWindowLongPtrW(H, GWL_STYLE), ExStyle = GetWindowLongPtrW(H, GWL_EXSTYLE);
    EXPECT_EQ((Style & WS_BORDER) != 0, C.Border1) << C.Border << C.Ctl3D;
    EXPECT_EQ((ExStyle & WS_EX_CLIENTEDGE) != 0, C.ClientEdge) << C.Border << C.Ctl3D;
    EXPECT_NE(Style & WS_CLIPCHILDREN, 0);
    EXPECT_NE(Style & WS_TABSTOP, 0);
    EXPECT_EQ(GetClassLongPtrW(H, GCL_STYLE) & (CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW), ULONG_PTR(CS_DBLCLKS));
    // The cell area is laid out in the client area, inside the border.
    TRect Client = G->GetClientRect();
    EXPECT_EQ(G->GetHorzAxis()->GetWinClientBoundSto(), Client.Width());
    EXPECT_EQ(G->GetVertAxis()->GetWinClientBoundSto(), Client.Height());
  }
}

TEST(GridStructure, RowSelectDropsTheAlwaysShownEditor) {
  TTestGridKv G(nullptr);
  G.SetOptions(TGridOptionsKv{goRowSelectKv, goAlwaysShowEditorKv, goEditingKv});
  EXPECT_EQ(G.GetOptions(), (TGridOptionsKv{goRowSelectKv, goEditingKv}));
  G.SetOptions(TGridOptionsKv{goAlwaysShowEditorKv, goEditingKv});
  EXPECT_TRUE(G.GetOptions().Contains(goAlwaysShowEditorKv));
}

TEST(GridStructure, CurrentCellFollowsTheCounts) {
  TGridOnForm G;
  G->SetRow(5);
  G->SetCol(4);
  EXPECT_EQ(G->GetCurCell(), MakeGridCoord(4, 5));
  G->SetRowCount(4);
  EXPECT_EQ(G->GetCurCell(), MakeGridCoord(4, 3));
  EXPECT_EQ(G->GetAnchorCell(), MakeGridCoord(4, 3));
  G->SetColCount(3);
  EXPECT_EQ(G->GetCurCell(), MakeGridCoord(2, 3));
  G->DeleteRow(2);
  EXPECT_EQ(G->GetRowCount(), 3);
  EXPECT_EQ(G->GetCurCell(), MakeGridCoord(2, 2));
  EXPECT_FALSE(G->PaintLocked());
}

TEST(GridStructure, CellsOutsideTheGridAreRefused) {
  TGridOnForm G;
  G->SetContraColCount(1);
  struct {
    const char* What;
    std::function<void()> Action;
    const wchar_t* Message;
  } const Cases[] = {
      {"current past the columns", [&] { G->MoveCurrentCell(6, 1, true, true); }, L"Grid index out of range"},
      {"current in a contra column", [&] { G->SetCol(6); }, L"Grid index out of range"},
      {"current above the rows", [&] { G->MoveCurrentCell(1, -1, false, false); }, L"Grid index out of range"},
      {"anchor outside", [&] { G->SetAnchorCell(7, 1, true); },
       L"TCustomGridKv.SetAnchorCell: Grid index out of range"},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(CaughtMessage(C.Action), C.Message) << C.What;
    EXPECT_EQ(G->GetCurCell(), MakeGridCoord(1, 1)) << C.What;
    EXPECT_EQ(G->GetAnchorCell(), MakeGridCoord(1, 1)) << C.What;
  }
  G->SetAnchorCell(6, 3, true);  // contra cells may anchor a selection
  EXPECT_EQ(G->GetSelection(), MakeGridRect(1, 1, 6, 3));
}

TEST(GridStructure, DrawStyleRegistrationFollowsTheProperty) {
  TTestGridKv A(nullptr), B(nullptr);
  auto* Custom = new TGridDrawStyleKv(nullptr);
  A.SetDrawStyle(Custom);
  EXPECT_TRUE(Custom->GridInChangeNotification(&A));
  EXPECT_FALSE(GetDefaultGridDrawStyle()->GridInChangeNotification(&A));
  Custom->SetSelectionStyle(gsdsClassicKv);
  EXPECT_EQ(A.DrawStyleNotices, 1);
  EXPECT_EQ(B.DrawStyleNotices, 0);
  Custom->SetSelectionStyle(gsdsClassicKv);
  EXPECT_EQ(A.DrawStyleNotices, 1) << "an unchanged value notifies nobody";
  delete Custom;
  EXPECT_EQ(A.GetDrawStyle(), GetDefaultGridDrawStyle());
  EXPECT_TRUE(GetDefaultGridDrawStyle()->GridInChangeNotification(&A));
  A.SetDrawStyle(nullptr);
  EXPECT_EQ(A.GetDrawStyle(), GetDefaultGridDrawStyle());
  Integer Before = GetDefaultGridDrawStyle()->GridCount();
  {
    TTestGridKv C(nullptr);
    EXPECT_EQ(GetDefaultGridDrawStyle()->GridCount(), Before + 1);
  }
  EXPECT_EQ(GetDefaultGridDrawStyle()->GridCount(), Before) << "a freed grid leaves its style";
}

// Every colour of the line colours set, as a descendant's own class would set them.
class TAllLineColors : public TGridLineColorsKv {
 public:
  TAllLineColors() : TGridLineColorsKv(nullptr) {
    TColor* Fields[] = {&FBrightColor,
                        &FDarkColor,
                        &FDataHorzColor,
                        &FDataVertColor,
                        &FFixedHorzColor,
                        &FFixedVertColor,
                        &FHorzAreaContraBorderColor,
                        &FHorzAreaContraHorzColor,
                        &FHorzAreaContraVertColor,
                        &FHorzAreaFrozenBorderColor,
                        &FHorzAreaFrozenHorzColor,
                        &FHorzAreaFrozenVertColor,
                        &FVertAreaContraBorderColor,
                        &FVertAreaContraHorzColor,
                        &FVertAreaContraVertColor,
                        &FVertAreaFrozenBorderColor,
                        &FVertAreaFrozenHorzColor,
                        &FVertAreaFrozenVertColor};
    for (size_t I = 0; I < std::size(Fields); ++I) *Fields[I] = TColor(0x010101 * (I + 1));
  }
};

std::vector<TColor> PlainColors(TGridLineColorsKv* C) {
  return {C->GetBrightColor(),
          C->GetDarkColor(),
          C->GetDataHorzColor(),
          C->GetDataVertColor(),
          C->GetFixedHorzColor(),
          C->GetFixedVertColor(),
          C->GetHorzAreaContraBorderColor(),
          C->GetHorzAreaContraHorzColor(),
          C->GetHorzAreaContraVertColor(),
          C->GetHorzAreaFrozenBorderColor(),
          C->GetHorzAreaFrozenHorzColor(),
          C->GetHorzAreaFrozenVertColor(),
          C->GetVertAreaContraBorderColor(),
          C->GetVertAreaContraHorzColor(),
          C->GetVertAreaContraVertColor(),
          C->GetVertAreaFrozenBorderColor(),
          C->GetVertAreaFrozenHorzColor(),
          C->GetVertAreaFrozenVertColor()};
}

TEST(GridStructure, SettingsSettersAssignEverySetting) {
  TGridOnForm G;
  TAllLineColors Colors;
  G->SetGridLineColors(&Colors);
  EXPECT_EQ(PlainColors(G->GetGridLineColors()), PlainColors(&Colors));

  TGridScrollBarKv Bar(nullptr, sbVertical);
  Bar.SetVisibleMode(sbAlwaysShowKv);
  Bar.SetSize(22);
  Bar.SetSmoothStep(true);
  Bar.SetTracking(false);
  G->SetHorzScrollBar(&Bar);
  TGridScrollBarKv* H = G->GetHorzScrollBar();
  EXPECT_EQ(H->GetVisibleMode(), sbAlwaysShowKv);
  EXPECT_EQ(H->GetSize(), 22);
  EXPECT_TRUE(H->GetSmoothStep());
  EXPECT_FALSE(H->GetTracking());
  EXPECT_EQ(H->GetKind(), sbHorizontal) << "the kind stays the grid's";
  EXPECT_EQ(G->GetVertAxis()->GetGridClientStop(), 120 - 22) << "the grid laid itself out again";

  TGridSelectionDrawParamsKv Params(nullptr);
  Params.SetSelectionStyle(gsdsGridThemedKv);
  Params.SetDrawFocusFrame(true);
  G->SetSelectionDrawParams(&Params);
  EXPECT_EQ(G->GetSelectionDrawParams()->GetSelectionStyle(), gsdsGridThemedKv);
  EXPECT_TRUE(G->GetSelectionDrawParams()->GetDrawFocusFrame());
  EXPECT_TRUE(G->GetSelectionDrawParams()->GetDrawFocusFrameStored());
}

// ---- Streams ----------------------------------------------------------------------------------

TEST(GridStreaming, CellExtentsRoundTrip) {
  auto A = NamedGrid();
  A->SetColWidths(2, 77);
  A->SetRowHeights(0, 33);
  std::string T = GridStreamText(A.get());
  EXPECT_NE(T.find("ColWidths = (\r\n    50\r\n    50\r\n    77\r\n    50\r\n    50\r\n    50)"),
            std::string::npos)
      << T;
  EXPECT_NE(T.find("RowHeights = (\r\n    33\r\n"), std::string::npos) << T;
  EXPECT_EQ(T.find("ScrollBarPanelControl"), std::string::npos) << "the grid's own panels are not written";
  auto B = NamedGrid();
  ReadGridText(T, B.get());
  EXPECT_EQ(Lens(B->GetHorzAxis()), Lens(A->GetHorzAxis()));
  EXPECT_EQ(Lens(B->GetVertAxis()), Lens(A->GetVertAxis()));

  auto Plain = NamedGrid(false);
  EXPECT_EQ(GridStreamText(Plain.get()).find("ColWidths"), std::string::npos) << "not kept unless asked";
}

TEST(GridStreaming, CellExtentsAgainstAnAncestor) {
  auto Ancestor = NamedGrid(), Same = NamedGrid(), Other = NamedGrid();
  Other->SetRowHeights(3, 41);
  std::string T = GridStreamText(Same.get(), Ancestor.get());
  EXPECT_EQ(T.find("ColWidths"), std::string::npos) << T;
  EXPECT_EQ(T.find("RowHeights"), std::string::npos) << T;
  T = GridStreamText(Other.get(), Ancestor.get());
  EXPECT_EQ(T.find("ColWidths"), std::string::npos) << T;
  EXPECT_NE(T.find("RowHeights"), std::string::npos) << T;
}

TEST(GridStreaming, ALongerOrNegativeListIsAReadingError) {
  struct {
    const char* List;
    const wchar_t* Message;
  } const Cases[] = {
      {"(\r\n 1\r\n 2\r\n 3\r\n 4\r\n 5\r\n 6\r\n 7)", L"ColWidths: more values than the grid has cells"},
      {"(\r\n 1\r\n -2)", L"ColWidths: a length can't be less then 0"},
  };
  for (const auto& C : Cases) {
    auto G = NamedGrid();
    std::string T = std::string("object Grid1: TTestGridKv\r\n  ColWidths = ") + C.List + "\r\nend\r\n";
    String Message = CaughtMessage([&] { ReadGridText(T, G.get()); });
    EXPECT_NE(Message.find(C.Message), String::npos) << Message;
    EXPECT_EQ(Lens(G->GetHorzAxis()), std::vector<Integer>(6, 50)) << "nothing of the list was taken";
  }
}

// Hostile cell-extent lists: random tokens, lengths and cuts. Each read either takes the whole
// list or fails with a reading error and leaves the lengths as they were.
TEST(GridStreaming, HostileCellExtentListsFailCleanly) {
  UInt64 Seed = 0x2545F4914F6CDD1DULL;
  auto Next = [&](UInt64 Range) {
    Seed ^= Seed << 13;
    Seed ^= Seed >> 7;
    Seed ^= Seed << 17;
    return Seed % Range;
  };
  const char* Tokens[] = {"0", "7", "50", "-1", "2147483647", "-2147483648", "99999999999", "'x'",
                          "1.5", "True", "(", ")", "[1]", "$FF", "#65", "<", ">", ""};
  Integer Taken = 0, Refused = 0;
  for (Integer Round = 0; Round < 400; ++Round) {
    std::string List = "(";
    for (UInt64 I = 0, N = Next(10); I < N; ++I) List += std::string(" ") + Tokens[Next(std::size(Tokens))];
    if (Next(4)) List += ")";
    std::string T = "object Grid1: TTestGridKv\r\n  ColWidths = " + List + "\r\nend\r\n";
    if (Next(8) == 0) T.resize(size_t(Next(T.size())));
    auto G = NamedGrid();
    bool Failed = false;
    try {
      ReadGridText(T, G.get());
    } catch (const Exception&) {
      Failed = true;
    }
    std::vector<Integer> L = Lens(G->GetHorzAxis());
    ASSERT_EQ(G->GetColCount(), 6) << T;
    if (Failed) {
      ++Refused;
      EXPECT_EQ(L, std::vector<Integer>(6, 50)) << T;
    } else {
      ++Taken;
      for (Integer Len : L) EXPECT_GE(Len, 0) << T;
    }
  }
  EXPECT_GT(Taken, 0);
  EXPECT_GT(Refused, 0);
}

TEST(GridStreaming, SettingsObjectsRoundTrip) {
  auto A = NamedGrid(false);
  A->GetGridLineColors()->SetDarkColor(clNavy);
  A->GetGridLineColors()->SetDataVertColor(clRed);
  A->GetHorzScrollBar()->SetVisibleMode(sbNeverShowKv);
  A->GetVertScrollBar()->SetSize(19);
  A->GetVertScrollBar()->SetSmoothStep(true);
  A->GetVertScrollBar()->SetTracking(false);
  A->GetSelectionDrawParams()->SetSelectionStyle(gsdsListViewThemedKv);
  A->GetSelectionDrawParams()->SetDrawFocusFrame(false);
  A->GetOutBoundaryData()->SetLeftIndent(4);
  A->GetOutBoundaryData()->SetRightTopDrawPriority(crpVerticalDataPriorityKv);
  A->GetBackgroundData()->SetPlacement(ipTileKv);
  A->GetBackgroundData()->SetHorzMargin(3);
  A->GetBackgroundData()->SetVisible(true);
  A->GetTouch()->SetInteractiveGestures(TInteractiveGestures{igPan});
  std::string T = GridStreamText(A.get());
  auto B = NamedGrid(false);
  ReadGridText(T, B.get());
  EXPECT_EQ(GridStreamText(B.get()), T);
  EXPECT_EQ(B->GetGridLineColors()->GetDarkColor(), clNavy);
  EXPECT_EQ(B->GetGridLineColors()->GetDataVertColor(), clRed);
  EXPECT_FALSE(B->GetGridLineColors()->IsBrightColorStored());
  EXPECT_EQ(B->GetHorzScrollBar()->GetVisibleMode(), sbNeverShowKv);
  EXPECT_EQ(B->GetVertScrollBar()->GetSize(), 19);
  EXPECT_TRUE(B->GetVertScrollBar()->GetSmoothStep());
  EXPECT_FALSE(B->GetVertScrollBar()->GetTracking());
  EXPECT_EQ(B->GetSelectionDrawParams()->GetSelectionStyle(), gsdsListViewThemedKv);
  EXPECT_TRUE(B->GetSelectionDrawParams()->GetDrawFocusFrameStored());
  EXPECT_FALSE(B->GetSelectionDrawParams()->GetDrawFocusFrame());
  EXPECT_EQ(B->GetOutBoundaryData()->GetLeftIndent(), 4);
  EXPECT_EQ(B->GetOutBoundaryData()->GetRightTopDrawPriority(), crpVerticalDataPriorityKv);
  EXPECT_EQ(B->GetBackgroundData()->GetPlacement(), ipTileKv);
  EXPECT_EQ(B->GetBackgroundData()->GetHorzMargin(), 3);
  EXPECT_TRUE(B->GetBackgroundData()->GetVisible());
  EXPECT_EQ(B->GetTouch()->GetInteractiveGestures(), TInteractiveGestures{igPan});
  // Defaults stay out of the stream.
  EXPECT_EQ(GridStreamText(NamedGrid(false).get()).find("Touch."), std::string::npos);
  EXPECT_EQ(GridStreamText(NamedGrid(false).get()).find("Tracking"), std::string::npos);
}

}  // namespace
