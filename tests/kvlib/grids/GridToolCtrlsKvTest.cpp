// The grid's tool windows: the scroll-bar panel's parameters, its cancel-mode guard and mirrored
// positions; the size grip's drags; the layered drag box and move line and their shared
// instances.

#include <gtest/gtest.h>

#include "framework/WinApi.h"
#include "tests/kvlib/grids/GridsKvInputTestUtil.h"
#include "tests/kvlib/grids/GridsKvTestUtil.h"

using namespace gridinputtest;
using ctltest::Pump;

namespace {

// A grid that records what its bars ask of it.
class TScrollRecordGridKv : public TTextGridKv {
  DECLARE_CLASS(TScrollRecordGridKv, TTextGridKv)
 public:
  using TTextGridKv::TTextGridKv;
  std::vector<Integer> Positions;
  void DoScroll(TScrollBarKind Kind, Integer Code, Integer Pos, bool Mirror) override {
    if (Kind == sbHorizontal) Positions.push_back(Pos);
    TTextGridKv::DoScroll(Kind, Code, Pos, Mirror);
  }
};

struct TParamsCase {
  const char* Name;
  Integer Position, Min, Max, Page;
  Integer WantMax;
  bool Enabled;
};

TEST(GridScrollBarPanel, SetParams) {
  const TParamsCase Cases[] = {
      {"a range to scroll", 5, 0, 100, 20, 100, true},
      {"max below min", 0, 10, 5, 1, 10, false},
      {"page larger than the range", 0, 0, 10, 50, 10, false},
      {"nothing to scroll", 0, 0, 0, 0, 0, false},
  };
  TInputGrid G;
  TGridScrollBarPanelControlKv* P = G->GetHorzScrollBarPanelControl();
  for (const TParamsCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    P->SetParams(C.Position, C.Min, C.Max, C.Page);
    Integer Pos, Min, Max, Page;
    P->GetParams(Pos, Min, Max, Page);
    EXPECT_EQ(Max, C.WantMax);
    EXPECT_EQ(Min, C.Min);
    EXPECT_EQ(P->GetScrollBar()->GetEnabled(), C.Enabled);
    EXPECT_FALSE(P->GetIgnoreCancelMode());
  }
}

TEST(GridScrollBarPanel, DisablingIgnoresItsCancelMode) {
  TInputGrid G;
  TGridScrollBarPanelControlKv* P = G->GetVertScrollBarPanelControl();
  P->SetParams(0, 0, 100, 10);
  TControlScrollBarKv* Bar = P->GetScrollBar();
  Bar->HandleNeeded();
  std::vector<bool> CancelModes;  // whether the panel ignored each one
  TWndMethod Old = Bar->GetWindowProc();
  Bar->SetWindowProc([&, Old](TMessage& M) {
    if (M.Msg == WM_CANCELMODE) {
      CancelModes.push_back(P->GetIgnoreCancelMode());
      // A drag of the bar in progress would end here; the guard keeps it.
      if (!P->GetIgnoreCancelMode()) Bar->SetMouseCapture(false);
    }
    Old(M);
  });
  Bar->SetMouseCapture(true);
  P->SetParams(0, 0, 10, 50);
  Bar->SetWindowProc(Old);
  ASSERT_FALSE(CancelModes.empty());
  for (bool Ignored : CancelModes) EXPECT_TRUE(Ignored);
  EXPECT_FALSE(Bar->GetEnabled());
  EXPECT_FALSE(P->GetIgnoreCancelMode());
  // Outside SetParams the message does its usual work.
  Bar->SetMouseCapture(true);
  SendMessageW(Bar->GetHandle(), WM_CANCELMODE, 0, 0);
  EXPECT_FALSE(Bar->GetMouseCapture());
}

TEST(GridScrollBarPanel, RightToLeftBarPositionsAreMirrored) {
  ctltest::TFormHolder Form(700, 500);
  auto* G = new TScrollRecordGridKv(Form.Form);
  G->SetBounds(0, 0, 200, 120);
  G->SetParent(Form.Form);
  G->SetColCount(20);
  G->SetBiDiMode(bdRightToLeft);
  G->HandleNeeded();
  TGridScrollBarPanelControlKv* P = G->GetHorzScrollBarPanelControl();
  P->SetParams(0, 0, 900, 150);
  TScrollBar* Bar = P->GetScrollBar();
  Integer Pos = 100;
  P->GetOnScroll()(Bar, scTrack, Pos);
  ASSERT_EQ(G->Positions.size(), 1u);
  EXPECT_EQ(G->Positions[0], 900 - 100);
  // The thumb stays until the grid sets new parameters.
  EXPECT_EQ(Pos, Bar->GetPosition());
  G->SetBiDiMode(bdLeftToRight);
  Pos = 100;
  P->GetOnScroll()(Bar, scTrack, Pos);
  EXPECT_EQ(G->Positions.back(), 100);
}

TEST(GridScrollBarPanel, BarNeverActivates) {
  TInputGrid G;
  TControlScrollBarKv* Bar = G->GetVertScrollBarPanelControl()->GetScrollBar();
  EXPECT_EQ(SendMessageW(Bar->GetHandle(), WM_MOUSEACTIVATE, 0, 0), MA_NOACTIVATE);
}

// ---- Size grip --------------------------------------------------------------------------------

struct TGripForm {
  ctltest::TFormHolder Form{300, 200};
  TSizeGripPanelKv* Grip;
  explicit TGripForm(TSizeGripPosition Position, TGripActiveStatusKv Status, TFormBorderStyle Border = bsSizeable) {
    Form->SetBorderStyle(Border);
    Form->SetBounds(100, 100, 300, 200);
    Grip = new TSizeGripPanelKv(Form.Form);
    Grip->SetPosition(Position);
    Grip->SetGripActiveStatus(Status);
    Grip->SetBounds(0, 0, 16, 16);
    Grip->SetParent(Form.Form);
    Form->Show();
    Pump();
  }
  void Drag(Integer DX, Integer DY) {
    HWND H = Grip->GetHandle();
    PostMessageW(H, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    Pump();
    PostMessageW(H, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5 + DX, 5 + DY));
    Pump();
    PostMessageW(H, WM_LBUTTONUP, 0, MAKELPARAM(5 + DX, 5 + DY));
    Pump();
  }
};

TEST(GridSizeGrip, TopLeftDragKeepsTheRightAndBottomEdges) {
  TGripForm F(sgpTopLeft, gasAlwaysKv);
  F.Drag(10, 5);
  EXPECT_EQ(F.Form->GetWidth(), 290);
  EXPECT_EQ(F.Form->GetHeight(), 195);
  EXPECT_EQ(F.Form->GetLeft() + F.Form->GetWidth(), 400);
  EXPECT_EQ(F.Form->GetTop() + F.Form->GetHeight(), 300);
}

TEST(GridSizeGrip, BottomRightDragKeepsTheTopLeft) {
  TGripForm F(sgpBottomRight, gasAlwaysKv);
  F.Drag(10, 5);
  EXPECT_EQ(F.Form->GetWidth(), 310);
  EXPECT_EQ(F.Form->GetHeight(), 205);
  EXPECT_EQ(F.Form->GetLeft(), 100);
  EXPECT_EQ(F.Form->GetTop(), 100);
}

TEST(GridSizeGrip, AutoGripInAFixedFormSizesNothing) {
  TGripForm F(sgpBottomRight, gasAutoKv, bsSingle);
  EXPECT_FALSE(F.Grip->IsGripActive());
  EXPECT_EQ(F.Grip->GetCursor(), crDefault);
  F.Drag(10, 5);
  EXPECT_EQ(F.Form->GetWidth(), 300);
  EXPECT_EQ(F.Form->GetHeight(), 200);
}

// ---- Drag windows -----------------------------------------------------------------------------

TEST(GridMoveLine, StartShowPlacesTheWindowAroundTheLine) {
  TGridMoveLineKv* L = GetGridMoveLine();
  L->StartShow(TPoint(100, 50), true, 30, nullptr);
  RECT R;
  GetWindowRect(L->GetHandle(), &R);
  EXPECT_EQ(R.left, 97);
  EXPECT_EQ(R.top, 46);
  EXPECT_EQ(R.right - R.left, 7);
  EXPECT_EQ(R.bottom - R.top, 38);
  L->StartShow(TPoint(100, 50), false, 30, nullptr);
  GetWindowRect(L->GetHandle(), &R);
  EXPECT_EQ(R.right - R.left, 38);
  EXPECT_EQ(R.bottom - R.top, 7);
  L->MoveToFor(TPoint(200, 80));
  GetWindowRect(L->GetHandle(), &R);
  EXPECT_EQ(R.left, 197);
  EXPECT_EQ(R.top, 76);
  EXPECT_EQ(R.right - R.left, 38);
  L->Hide();
}

TEST(GridMoveLine, SharedInstancesAreLayeredAndNeverActivate) {
  EXPECT_EQ(GetGridMoveLine(), GetGridMoveLine());
  EXPECT_EQ(GetGridDragBox(), GetGridDragBox());
  TGridMoveLineKv* L = GetGridMoveLine();
  L->StartShow(TPoint(10, 10), true, 30, nullptr);
  LONG Ex = GetWindowLongW(L->GetHandle(), GWL_EXSTYLE);
  EXPECT_TRUE(Ex & WS_EX_LAYERED);
  EXPECT_TRUE(Ex & WS_EX_NOACTIVATE);
  COLORREF Key = 0;
  BYTE Alpha = 0;
  DWORD Flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(L->GetHandle(), &Key, &Alpha, &Flags));
  EXPECT_TRUE(Flags & LWA_COLORKEY);
  EXPECT_EQ(Key, RGB(255, 255, 255));
  L->Hide();
  TGridDragBoxKv* B = GetGridDragBox();
  B->StartShow(TPoint(20, 20), 40, 30);
  Ex = GetWindowLongW(B->GetHandle(), GWL_EXSTYLE);
  EXPECT_TRUE(Ex & WS_EX_LAYERED);
  EXPECT_TRUE(Ex & WS_EX_TOPMOST);
  ASSERT_TRUE(GetLayeredWindowAttributes(B->GetHandle(), &Key, &Alpha, &Flags));
  EXPECT_EQ(Alpha, 200);
  EXPECT_EQ(Flags, DWORD(LWA_ALPHA));
  EXPECT_EQ(SendMessageW(B->GetHandle(), WM_MOUSEACTIVATE, 0, 0), MA_NOACTIVATE);
  B->TemporaryHide();
  EXPECT_EQ(B->GetWidth(), 0);
  B->SetVisible(false);
  EXPECT_EQ(gridtest::CaughtMessage([&] { B->Show(); }), L"Show is not supported. Use StartShow");
}

TEST(GridMoveLine, AnEditUnderTheLineKeepsTypingIntoIt) {
  TInputGrid G;
  G->Texts[{2, 2}] = L"";
  G->FocusCell(2, 2, true);
  PostKey(G->GetHandle(), VK_F2);
  HWND Edit = G->GetInplaceEditor()->GetEditCoreControl()->GetHandle();
  ASSERT_EQ(GetFocus(), Edit);
  TPoint P = G->ClientToScreen(TPoint(120, 40));
  GetGridMoveLine()->StartShow(P, true, 40, G.Grid);
  GetGridDragBox()->StartShow(P, 30, 30);
  Pump();
  EXPECT_EQ(GetFocus(), Edit);
  PostChar(Edit, L'k');
  EXPECT_EQ(G->GetInplaceEditor()->GetText(), L"k");
  GetGridMoveLine()->Hide();
  GetGridDragBox()->SetVisible(false);
}

}  // namespace

namespace {

// On a real screen: a click on the drag box or the move line leaves the activation and the focus
// with the edit under them.
TEST(GridDragWindowsOnScreen, AClickLeavesTheEditTyping) {
  TInputGrid G;
  G->Texts[{2, 2}] = L"";
  G->FocusCell(2, 2, true);
  G.Form->BringToFront();
  SetForegroundWindow(G.Form->GetHandle());
  Pump();
  PostKey(G->GetHandle(), VK_F2);
  HWND Edit = G->GetInplaceEditor()->GetEditCoreControl()->GetHandle();
  ASSERT_EQ(GetFocus(), Edit);
  TPoint P = G->ClientToScreen(TPoint(120, 40));
  GetGridDragBox()->StartShow(TPoint(P.X + 60, P.Y), 30, 30);
  GetGridMoveLine()->StartShow(P, true, 40, G.Grid);
  Pump();
  for (TPoint At : {TPoint(P.X + 75, P.Y + 15), TPoint(P.X, P.Y + 20)}) {
    SetCursorPos(At.X, At.Y);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    ctltest::PumpUntil([] { return false; }, 200);
    EXPECT_EQ(GetForegroundWindow(), G.Form->GetHandle());
    EXPECT_EQ(GetFocus(), Edit);
  }
  PostChar(Edit, L'k');
  EXPECT_EQ(G->GetInplaceEditor()->GetText(), L"k");
  GetGridMoveLine()->Hide();
  GetGridDragBox()->SetVisible(false);
}

}  // namespace
