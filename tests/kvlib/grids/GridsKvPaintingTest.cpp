// The grid's painting, drawn through the paint message into a bitmap and checked at sample
// pixels: the placeholder cells, the lines and who owns the corner pixel, the contra boundary
// line, the empty space, right to left, and painting under a lock.

#include <gtest/gtest.h>

#include <vector>

#include "framework/WinApi.h"
#include "tests/kvlib/grids/GridsKvTestUtil.h"

using namespace gridtest;

namespace {

// Records what the painter hands the cell-level operations.
class TPaintProbeGridKv : public TTestGridKv {
 public:
  explicit TPaintProbeGridKv(TComponent* AOwner) : TTestGridKv(AOwner) {}
  struct TCall {
    Integer Col, Row;
    TRect Rect;
  };
  std::vector<TCall> Cells, Empty;
  Integer Paints = 0;
  bool Record = false;
  bool Plain = false;  // cells filled without their text

 protected:
  void Paint() override {
    ++Paints;
    TTestGridKv::Paint();
  }
  void DrawCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State) override {
    if (Record) Cells.push_back({ACol, ARow, ARect});
    if (!Plain) {
      TTestGridKv::DrawCell(ACol, ARow, ARect, State);
      return;
    }
    GetCanvas()->GetBrush()->SetColor(clWindow);
    GetCanvas()->FillRect(ARect);
  }
  void FillEmptyArea(Integer ACol, Integer ARow, const TRect& ARect) override {
    if (Record) Empty.push_back({ACol, ARow, ARect});
    TTestGridKv::FillEmptyArea(ACol, ARow, ARect);
  }
};

// The probe grid, W x H without a border or scroll bars, on a form of its own.
struct TProbeOnForm {
  ctltest::TFormHolder Form{700, 500};
  TPaintProbeGridKv* Grid;
  explicit TProbeOnForm(Integer W = 300, Integer H = 120) : Grid(new TPaintProbeGridKv(Form.Form)) {
    Grid->SetBorderStyle(bsNone);
    Grid->SetBounds(0, 0, W, H);
    Grid->SetParent(Form.Form);
    Grid->GetHorzScrollBar()->SetVisibleMode(sbNeverShowKv);
    Grid->GetVertScrollBar()->SetVisibleMode(sbNeverShowKv);
    Grid->HandleNeeded();
  }
  TPaintProbeGridKv* operator->() const { return Grid; }
};

// A 32-bit bitmap of the grid's client size that the grid paints into through WM_PAINT.
class TGridBitmap {
 public:
  explicit TGridBitmap(TCustomGridKv* Grid) {
    FWidth = Grid->GetClientWidth();
    FHeight = Grid->GetClientHeight();
    FDC = CreateCompatibleDC(nullptr);
    BITMAPINFO Info{};
    Info.bmiHeader.biSize = sizeof(Info.bmiHeader);
    Info.bmiHeader.biWidth = FWidth;
    Info.bmiHeader.biHeight = -FHeight;
    Info.bmiHeader.biPlanes = 1;
    Info.bmiHeader.biBitCount = 32;
    void* Bits = nullptr;
    FBitmap = CreateDIBSection(FDC, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0);
    FOld = SelectObject(FDC, FBitmap);
    RECT R{0, 0, FWidth, FHeight};
    FillRect(FDC, &R, HBRUSH(GetStockObject(BLACK_BRUSH)));
    Grid->Perform(WM_PAINT, WPARAM(FDC), 0);
  }
  ~TGridBitmap() {
    SelectObject(FDC, FOld);
    DeleteObject(FBitmap);
    DeleteDC(FDC);
  }
  COLORREF At(Integer X, Integer Y) const { return GetPixel(FDC, X, Y); }
  HDC DC() const { return FDC; }

 private:
  Integer FWidth, FHeight;
  HDC FDC;
  HBITMAP FBitmap;
  HGDIOBJ FOld;
};

const COLORREF GridPaintTestGray = RGB(128, 128, 128);
const COLORREF GridPaintTestSilver = RGB(192, 192, 192);

COLORREF GridPaintTestRGB(TColor C) { return COLORREF(ColorToRGB(C)); }

TEST(GridPainting, PlaceholderTextTwoPixelsInsideItsCell) {
  TProbeOnForm G;
  TGridBitmap Painted(G.Grid);
  // The cell (3, 4) is (150, 80, 200, 100) less its right and bottom line.
  const TRect Cell(150, 80, 199, 99);
  HDC Ref = CreateCompatibleDC(Painted.DC());
  HBITMAP RefBitmap = CreateCompatibleBitmap(Painted.DC(), 300, 120);
  HGDIOBJ OldBitmap = SelectObject(Ref, RefBitmap);
  HGDIOBJ OldFont = SelectObject(Ref, G->GetFont()->GetHandle());
  SetTextColor(Ref, GridPaintTestRGB(clWindowText));
  SetBkColor(Ref, GridPaintTestRGB(clWindow));
  RECT R{Cell.Left, Cell.Top, Cell.Right, Cell.Bottom};
  ExtTextOutW(Ref, Cell.Left + 2, Cell.Top + 2, ETO_OPAQUE | ETO_CLIPPED, &R, L"3:4", 3, nullptr);
  Integer TextPixels = 0, Differences = 0;
  for (Integer Y = Cell.Top; Y < Cell.Bottom; ++Y)
    for (Integer X = Cell.Left; X < Cell.Right; ++X) {
      COLORREF P = Painted.At(X, Y);
      if (P != GetPixel(Ref, X, Y)) ++Differences;
      if (P != GridPaintTestRGB(clWindow)) ++TextPixels;
    }
  SelectObject(Ref, OldFont);
  SelectObject(Ref, OldBitmap);
  DeleteObject(RefBitmap);
  DeleteDC(Ref);
  EXPECT_GT(TextPixels, 5);
  EXPECT_EQ(Differences, 0);
  // The two pixel margin stays the cell's colour.
  for (Integer I = 0; I < 2; ++I) {
    EXPECT_EQ(Painted.At(Cell.Left + I, Cell.Top + 5), GridPaintTestRGB(clWindow));
    EXPECT_EQ(Painted.At(Cell.Left + 5, Cell.Top + I), GridPaintTestRGB(clWindow));
  }
  // A fixed cell that is not frozen is pale green.
  EXPECT_EQ(Painted.At(30, 1), RGB(192, 220, 192));
}

TEST(GridPainting, WithoutLineOptionsNoLinesAndWholeCells) {
  TProbeOnForm G;
  G->SetOptions(TGridOptionsKv{});
  G->Record = true;
  TGridBitmap Painted(G.Grid);
  ASSERT_EQ(G->Cells.size(), 36u);
  for (const auto& C : G->Cells)
    EXPECT_EQ(C.Rect, TRect(C.Col * 50, C.Row * 20, C.Col * 50 + 50, C.Row * 20 + 20)) << C.Col << ":" << C.Row;
  // Where a line would be: the cell's own colour.
  EXPECT_EQ(Painted.At(149, 50), GridPaintTestRGB(clWindow));
  EXPECT_EQ(Painted.At(125, 59), GridPaintTestRGB(clWindow));
  EXPECT_EQ(Painted.At(149, 59), GridPaintTestRGB(clWindow));
}

TEST(GridPainting, LinesAndTheDarkerLineOwnsTheCorner) {
  TProbeOnForm G;
  G->SetFrozenColCount(1);
  G->SetFrozenRowCount(1);
  TGridBitmap Painted(G.Grid);
  struct {
    Integer X, Y;
    COLORREF Expected;
    const char* What;
  } const Cases[] = {
      {49, 50, GridPaintTestGray, "right line of the last fixed column: dark"},
      {25, 59, GridPaintTestSilver, "bottom line of a frozen column's cell: bright"},
      {49, 59, GridPaintTestGray, "their corner: the dark line's"},
      {99, 50, GridPaintTestSilver, "data cell's right line"},
      {75, 59, GridPaintTestSilver, "data cell's bottom line"},
      {99, 59, GridPaintTestSilver, "data cell corner"},
      {75, 19, GridPaintTestGray, "bottom line of the last fixed row"},
      {99, 19, GridPaintTestGray, "fixed row corner: the bottom line is darker"},
      {99, 10, GridPaintTestSilver, "fixed row cell's right line"},
  };
  for (const auto& C : Cases) EXPECT_EQ(Painted.At(C.X, C.Y), C.Expected) << C.What;
}

TEST(GridPainting, ContraBoundaryLineAndFirstContraColumn) {
  TProbeOnForm G;
  G->SetContraColCount(1);
  G->SetContraRowCount(1);
  G->Record = true;
  TGridBitmap Painted(G.Grid);
  const Integer ContraX = G->GetHorzAxis()->GetContraStart();
  const Integer ContraY = G->GetVertAxis()->GetContraStart();
  EXPECT_EQ(ContraX, 300 - 51);
  EXPECT_EQ(ContraY, 120 - 21);
  // The line is there down the fixed, rolling and contra rows, and across likewise.
  for (Integer Y : {5, 30, 70, ContraY, 110}) EXPECT_EQ(Painted.At(ContraX, Y), GridPaintTestGray) << Y;
  for (Integer X : {10, 75, 150, ContraX, 270}) EXPECT_EQ(Painted.At(X, ContraY), GridPaintTestGray) << X;
  bool SawContraCell = false;
  for (const auto& C : G->Cells) {
    if (C.Col == G->GetColCount()) {
      SawContraCell = true;
      EXPECT_EQ(C.Rect.Left, ContraX + 1) << C.Row;
    }
    if (C.Row == G->GetRowCount()) {
      EXPECT_EQ(C.Rect.Top, ContraY + 1) << C.Col;
    }
  }
  EXPECT_TRUE(SawContraCell);
}

TEST(GridPainting, EmptySpaceBesideAndBelowTheCells) {
  TProbeOnForm G(400, 200);
  G->Record = true;
  TGridBitmap Painted(G.Grid);
  Integer Beside = 0, Below = 0, Corner = 0;
  for (const auto& C : G->Empty) {
    if (C.Col == -1 && C.Row == -1) {
      ++Corner;
      EXPECT_EQ(C.Rect, TRect(300, 120, 400, 200));
    } else if (C.Col == -1) {
      ++Beside;
      EXPECT_EQ(C.Rect, TRect(300, C.Row * 20, 400, C.Row * 20 + 20)) << C.Row;
    } else {
      EXPECT_EQ(C.Row, -1);
      ++Below;
      EXPECT_EQ(C.Rect, TRect(C.Col * 50, 120, C.Col * 50 + 50, 200)) << C.Col;
    }
  }
  EXPECT_EQ(Beside, 6);
  EXPECT_EQ(Below, 6);
  EXPECT_EQ(Corner, 1);
  EXPECT_EQ(Painted.At(350, 150), GridPaintTestRGB(clWindow));
}

TEST(GridPainting, RightToLeftMirrorsWithTheOnePixelShift) {
  TProbeOnForm G;
  G->SetBiDiMode(bdRightToLeft);
  TGridBitmap Painted(G.Grid);
  // The fixed column (0, 50) stands at the right, (250, 300); its right line, logical x 49, is
  // drawn one pixel further at 50 and lands on its mirrored left edge.
  EXPECT_EQ(Painted.At(250, 30), GridPaintTestGray);
  EXPECT_EQ(Painted.At(290, 30), RGB(192, 220, 192));
  // Cell (2, 2) is (100, 40, 150, 60) mirrored: (150, 40, 200, 60), with its bottom line.
  EXPECT_EQ(Painted.At(175, 59), GridPaintTestSilver);
  EXPECT_EQ(Painted.At(175, 50), GridPaintTestRGB(clWindow));
  EXPECT_FALSE(G->GetCanvasRightToLeftReflected());
}

TEST(GridPainting, LockedPaintValidatesAndRepaintsAfterUnlock) {
  TProbeOnForm G;
  G.Form.Form->Show();
  ctltest::Pump();
  HWND Wnd = G->GetHandle();
  UpdateWindow(Wnd);
  G->LockPaint();
  G->LockPaint();
  G->Paints = 0;
  InvalidateRect(Wnd, nullptr, FALSE);
  // A message loop under the lock is not flooded: the first paint message validates.
  Integer PaintMessages = 0;
  MSG Msg;
  for (Integer I = 0; I < 20 && PeekMessageW(&Msg, Wnd, WM_PAINT, WM_PAINT, PM_REMOVE); ++I) {
    ++PaintMessages;
    DispatchMessageW(&Msg);
  }
  EXPECT_EQ(PaintMessages, 1);
  EXPECT_FALSE(GetUpdateRect(Wnd, nullptr, FALSE));
  EXPECT_EQ(G->Paints, 0);
  G->UnlockPaint();
  EXPECT_FALSE(GetUpdateRect(Wnd, nullptr, FALSE));  // the outer lock still holds
  G->UnlockPaint();
  RECT Update{};
  EXPECT_TRUE(GetUpdateRect(Wnd, &Update, FALSE));
  EXPECT_EQ(TRect(Update.left, Update.top, Update.right, Update.bottom), TRect(0, 0, 300, 120));
  UpdateWindow(Wnd);
  EXPECT_EQ(G->Paints, 1);
}

TEST(GridPainting, BufferedPaintMessage) {
  TProbeOnForm G;
  G.Form.Form->Show();
  ctltest::Pump();
  HWND Wnd = G->GetHandle();
  UpdateWindow(Wnd);
  G->SetDoubleBuffered(true);
  G->Paints = 0;
  InvalidateRect(Wnd, nullptr, FALSE);
  UpdateWindow(Wnd);
  EXPECT_TRUE(G->GetBufferedPaint());
  EXPECT_EQ(G->Paints, 1);
  EXPECT_FALSE(GetUpdateRect(Wnd, nullptr, FALSE));
  // The buffer stays on once taken, also without double buffering.
  G->SetDoubleBuffered(false);
  InvalidateRect(Wnd, nullptr, FALSE);
  UpdateWindow(Wnd);
  EXPECT_TRUE(G->GetBufferedPaint());
  EXPECT_EQ(G->Paints, 2);
  // A message carrying its own device context paints straight into it.
  TGridBitmap Painted(G.Grid);
  EXPECT_EQ(G->Paints, 3);
  EXPECT_EQ(Painted.At(30, 1), RGB(192, 220, 192));
}

TEST(GridPainting, FillLineRectAndPolylineRTL) {
  TProbeOnForm G;
  TGridBitmap Painted(G.Grid);
  HDC DC = Painted.DC();
  TCanvas* Canvas = G->GetCanvas();
  Canvas->SetHandle(DC);
  Canvas->GetPen()->SetColor(clRed);
  TCustomGridKv::FillLineRect(G.Grid, TPoint(10, 5), TPoint(10, 5), 3);  // nothing
  EXPECT_NE(Painted.At(10, 5), RGB(255, 0, 0));
  TCustomGridKv::FillLineRect(G.Grid, TPoint(10, 50), TPoint(60, 50), 2);
  EXPECT_EQ(Painted.At(10, 51), RGB(255, 0, 0));
  EXPECT_NE(Painted.At(10, 52), RGB(255, 0, 0));
  EXPECT_NE(Painted.At(60, 50), RGB(255, 0, 0));
  G->SetBiDiMode(bdRightToLeft);
  G->PolylineRTL(Canvas, {TPoint(120, 60), TPoint(120, 70)});
  EXPECT_EQ(Painted.At(121, 65), RGB(255, 0, 0));
  EXPECT_NE(Painted.At(120, 65), RGB(255, 0, 0));
  Canvas->SetHandle(nullptr);
}

}  // namespace
