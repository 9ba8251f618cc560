// The base grid at 1,000 rows, 1,000,000 rows and 1,000,000 rows of 3,000 pixels (positions past
// 2^31), 800 x 600, against a minimal owner-drawn list of the same cells: a bare window that
// paints the visible rows from index x height and scrolls with ScrollWindowEx. Both paint each
// cell's fill, text and right and bottom line. Prints the median time per operation and the
// ratios (1M / 1k, grid / minimal).
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "framework/Forms.h"
#include "kvlib/grids/GridsKv.h"

namespace {

constexpr Integer BenchW = 800, BenchH = 600, BenchColW = 50, BenchCols = 16;
constexpr int Rounds = 7;

double NowUs() {
  static LARGE_INTEGER Freq{};
  if (!Freq.QuadPart) QueryPerformanceFrequency(&Freq);
  LARGE_INTEGER C;
  QueryPerformanceCounter(&C);
  return double(C.QuadPart) * 1e6 / double(Freq.QuadPart);
}

void PumpBench() {
  MSG Msg;
  while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
  }
}

// ---- The grid: each cell's text --------------------------------------------------------------

class TBenchGridKv : public TCustomGridKv {
 public:
  explicit TBenchGridKv(TComponent* AOwner) : TCustomGridKv(AOwner) {}

 protected:
  void DrawCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState) override {
    TCanvas* C = GetCanvas();
    C->GetBrush()->SetColor(clWindow);
    C->GetFont()->SetColor(clWindowText);
    wchar_t Text[32];
    int N = swprintf(Text, 32, L"%d:%d", ACol, ARow);
    RECT R{ARect.Left, ARect.Top, ARect.Right, ARect.Bottom};
    ExtTextOutW(C->GetHandle(), ARect.Left + 2, ARect.Top + 2, ETO_OPAQUE | ETO_CLIPPED, &R, Text, UINT(N), nullptr);
  }
};

// ---- The minimal control -----------------------------------------------------------------------

struct TMinimalList {
  HWND Wnd = nullptr;
  Int64 Rows = 0, RowH = 20, Pos = 0;
  HFONT Font = nullptr;
  Int64 MaxPos() const { return std::max<Int64>(Rows * RowH - BenchH, 0); }
};

LRESULT CALLBACK MinimalListProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L) {
  auto* List = reinterpret_cast<TMinimalList*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
  if (Msg == WM_ERASEBKGND) return 1;
  if (Msg != WM_PAINT || !List) return DefWindowProcW(Wnd, Msg, W, L);
  PAINTSTRUCT PS;
  HDC DC = BeginPaint(Wnd, &PS);
  HGDIOBJ OldFont = SelectObject(DC, List->Font);
  HPEN Pen = CreatePen(PS_SOLID, 1, RGB(192, 192, 192));
  HGDIOBJ OldPen = SelectObject(DC, Pen);
  SetBkColor(DC, GetSysColor(COLOR_WINDOW));
  SetTextColor(DC, GetSysColor(COLOR_WINDOWTEXT));
  Int64 First = (List->Pos + PS.rcPaint.top) / List->RowH;
  for (Int64 Row = First; Row < List->Rows; ++Row) {
    Int64 Top = Row * List->RowH - List->Pos;
    if (Top >= PS.rcPaint.bottom) break;
    RECT Cell{0, Integer(std::max<Int64>(Top, -1)), 0, Integer(std::min<Int64>(Top + List->RowH, BenchH + 1))};
    for (Integer Col = 0; Col < BenchCols; ++Col) {
      Cell.left = Col * BenchColW;
      Cell.right = Cell.left + BenchColW;
      if (Cell.right <= PS.rcPaint.left || Cell.left >= PS.rcPaint.right) continue;
      MoveToEx(DC, Cell.right - 1, Cell.top, nullptr);
      LineTo(DC, Cell.right - 1, Cell.bottom);
      MoveToEx(DC, Cell.left, Cell.bottom - 1, nullptr);
      LineTo(DC, Cell.right, Cell.bottom - 1);
      RECT Inner{Cell.left, Cell.top, Cell.right - 1, Cell.bottom - 1};
      wchar_t Text[32];
      int N = swprintf(Text, 32, L"%d:%lld", Col, static_cast<long long>(Row));
      ExtTextOutW(DC, Inner.left + 2, Integer(Top) + 2, ETO_OPAQUE | ETO_CLIPPED, &Inner, Text, UINT(N), nullptr);
    }
  }
  SelectObject(DC, OldPen);
  DeleteObject(Pen);
  SelectObject(DC, OldFont);
  EndPaint(Wnd, &PS);
  return 0;
}

void MinimalScrollTo(TMinimalList& List, Int64 NewPos) {
  NewPos = std::clamp<Int64>(NewPos, 0, List.MaxPos());
  Int64 D = List.Pos - NewPos;
  List.Pos = NewPos;
  if (D == 0) return;
  if (D >= BenchH || -D >= BenchH)
    InvalidateRect(List.Wnd, nullptr, FALSE);
  else
    ScrollWindowEx(List.Wnd, 0, Integer(D), nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE);
  UpdateWindow(List.Wnd);
}

// ---- Measuring --------------------------------------------------------------------------------

struct TOps {
  std::vector<double> FullPaint, LineScroll, PageScroll, Jump, MouseCoord;
};

double Median(std::vector<double> V) {
  std::sort(V.begin(), V.end());
  return V.empty() ? 0 : V[V.size() / 2];
}

template <class F>
double TimePerOp(int Count, F&& Op) {
  double T0 = NowUs();
  for (int I = 0; I < Count; ++I) Op(I);
  return (NowUs() - T0) / Count;
}

// Page scrolls stay short of the end of the 1k-row grid (32 pages), so each one moves.
const int PaintCount = 40, ScrollCount = 60, PageCount = 25, JumpCount = 40, CoordCount = 200000;

void MeasureGrid(TBenchGridKv* Grid, TOps& Ops, std::mt19937_64& Rng) {
  HWND Wnd = Grid->GetHandle();
  TGridAxisDataKv* V = Grid->GetVertAxis();
  Int64 Max = V->GetRolLen() - V->GetRolClientLen();
  Grid->SetTopPos(0);
  UpdateWindow(Wnd);
  Ops.FullPaint.push_back(TimePerOp(PaintCount, [&](int) {
    InvalidateRect(Wnd, nullptr, FALSE);
    UpdateWindow(Wnd);
  }));
  Ops.LineScroll.push_back(TimePerOp(ScrollCount, [&](int) {
    Grid->DoScroll(sbVertical, SB_LINEDOWN, 0, true);
    UpdateWindow(Wnd);
  }));
  Grid->SetTopPos(0);
  UpdateWindow(Wnd);
  Ops.PageScroll.push_back(TimePerOp(PageCount, [&](int) {
    Grid->DoScroll(sbVertical, SB_PAGEDOWN, 0, true);
    UpdateWindow(Wnd);
  }));
  std::vector<Int64> Targets(JumpCount);
  for (Int64& T : Targets) T = Int64(Rng() % Cardinal(Max / 8 + 1)) * 8 % (Max + 1);
  Ops.Jump.push_back(TimePerOp(JumpCount, [&](int I) {
    Grid->SetTopPos(Targets[size_t(I)]);
    UpdateWindow(Wnd);
  }));
  std::vector<TPoint> Points(1024);
  for (TPoint& P : Points) P = TPoint(Integer(Rng() % BenchW), Integer(Rng() % BenchH));
  volatile Integer Sink = 0;
  Ops.MouseCoord.push_back(TimePerOp(CoordCount, [&](int I) {
    const TPoint& P = Points[size_t(I) & 1023];
    TGridCoord C = Grid->MouseCoord(P.X, P.Y);
    Sink = Sink + C.Y;
  }));
}

void MeasureMinimal(TMinimalList& List, TOps& Ops, std::mt19937_64& Rng) {
  Int64 Max = List.MaxPos();
  MinimalScrollTo(List, 0);
  Ops.FullPaint.push_back(TimePerOp(PaintCount, [&](int) {
    InvalidateRect(List.Wnd, nullptr, FALSE);
    UpdateWindow(List.Wnd);
  }));
  Ops.LineScroll.push_back(TimePerOp(ScrollCount, [&](int) { MinimalScrollTo(List, List.Pos + List.RowH); }));
  MinimalScrollTo(List, 0);
  Ops.PageScroll.push_back(TimePerOp(PageCount, [&](int) { MinimalScrollTo(List, List.Pos + BenchH); }));
  std::vector<Int64> Targets(JumpCount);
  for (Int64& T : Targets) T = Int64(Rng() % Cardinal(Max / 8 + 1)) * 8 % (Max + 1);
  Ops.Jump.push_back(TimePerOp(JumpCount, [&](int I) { MinimalScrollTo(List, Targets[size_t(I)]); }));
  std::vector<TPoint> Points(1024);
  for (TPoint& P : Points) P = TPoint(Integer(Rng() % BenchW), Integer(Rng() % BenchH));
  volatile Int64 Sink = 0;
  Ops.MouseCoord.push_back(TimePerOp(CoordCount, [&](int I) {
    const TPoint& P = Points[size_t(I) & 1023];
    Int64 Row = (List.Pos + P.Y) / List.RowH;
    Integer Col = P.X / BenchColW;
    Sink = Sink + Row + Col;
  }));
}

struct TCase {
  const char* Name;
  Integer Rows, RowH;
};

struct TResult {
  double Grid[5], Minimal[5];
};

const char* const OpNames[5] = {"full paint", "line scroll", "page scroll", "random jump", "MouseCoord"};

void Fill(double* Out, const TOps& Ops) {
  Out[0] = Median(Ops.FullPaint);
  Out[1] = Median(Ops.LineScroll);
  Out[2] = Median(Ops.PageScroll);
  Out[3] = Median(Ops.Jump);
  Out[4] = Median(Ops.MouseCoord);
}

}  // namespace

int main() {
  FrameworkStartup();
  const TCase Cases[] = {{"1k rows x 20 px", 1000, 20}, {"1M rows x 20 px", 1000000, 20},
                         {"1M rows x 3000 px", 1000000, 3000}};
  WNDCLASSW Class{};
  Class.lpfnWndProc = MinimalListProc;
  Class.hInstance = GetModuleHandleW(nullptr);
  Class.lpszClassName = L"QalMinimalListBench";
  Class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  RegisterClassW(&Class);
  TResult Results[3];
  std::mt19937_64 Rng(20261211);
  for (int CaseIndex = 0; CaseIndex < 3; ++CaseIndex) {
    const TCase& Case = Cases[CaseIndex];
    TForm* Form = new TForm(nullptr, 0);
    Form->AfterConstruction();
    Form->SetPosition(poDesigned);
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(0, 0, BenchW, BenchH);
    auto* Grid = new TBenchGridKv(Form);
    Grid->SetBorderStyle(bsNone);
    Grid->SetBounds(0, 0, BenchW, BenchH);
    Grid->GetHorzScrollBar()->SetVisibleMode(sbNeverShowKv);
    Grid->GetVertScrollBar()->SetVisibleMode(sbNeverShowKv);
    Grid->SetFixedColCount(0);
    Grid->SetFixedRowCount(0);
    Grid->SetDefaultColWidth(BenchColW);
    Grid->SetDefaultRowHeight(Case.RowH);
    Grid->SetColCount(BenchCols);
    Grid->SetRowCount(Case.Rows);
    for (Integer Col = 0; Col < BenchCols; ++Col) Grid->SetColWidths(Col, BenchColW);
    Grid->SetRowHeights(0, Case.RowH);
    Grid->SetParent(Form);
    Form->Show();

    TMinimalList List;
    List.Rows = Case.Rows;
    List.RowH = Case.RowH;
    List.Font = HFONT(Grid->GetFont()->GetHandle());
    List.Wnd = CreateWindowExW(0, Class.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, BenchW, BenchH, nullptr,
                               nullptr, Class.hInstance, nullptr);
    SetWindowLongPtrW(List.Wnd, GWLP_USERDATA, LONG_PTR(&List));
    PumpBench();

    TOps GridOps, MinimalOps;
    for (int Round = 0; Round < Rounds; ++Round) {
      // The sides take turns to go first.
      if (Round % 2 == 0) {
        MeasureGrid(Grid, GridOps, Rng);
        MeasureMinimal(List, MinimalOps, Rng);
      } else {
        MeasureMinimal(List, MinimalOps, Rng);
        MeasureGrid(Grid, GridOps, Rng);
      }
      PumpBench();
    }
    Fill(Results[CaseIndex].Grid, GridOps);
    Fill(Results[CaseIndex].Minimal, MinimalOps);
    DestroyWindow(List.Wnd);
    delete Form;
    PumpBench();
  }

  std::printf("Median microseconds per operation, %d rounds, %d x %d, %d columns\n", Rounds, BenchW, BenchH,
              BenchCols);
  std::printf("%-14s", "operation");
  for (const TCase& C : Cases) std::printf(" | %-19s grid  minimal  g/m", C.Name);
  std::printf(" | 1M/1k  1Mtall/1k\n");
  for (int Op = 0; Op < 5; ++Op) {
    std::printf("%-14s", OpNames[Op]);
    for (const TResult& R : Results)
      std::printf(" | %24.2f %8.2f %4.2f", R.Grid[Op], R.Minimal[Op], R.Grid[Op] / R.Minimal[Op]);
    std::printf(" | %5.2f  %9.2f\n", Results[1].Grid[Op] / Results[0].Grid[Op],
                Results[2].Grid[Op] / Results[0].Grid[Op]);
  }
  FrameworkShutdown();
  return 0;
}
