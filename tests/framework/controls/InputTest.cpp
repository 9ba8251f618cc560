#include <gtest/gtest.h>

#include "framework/ActnList.h"
#include "framework/Clipbrd.h"
#include "framework/Menus.h"
#include "framework/controls/ControlsTestUtil.h"
#include "framework/forms/TestControls.h"

using namespace ctltest;

namespace {

class TTestGraphic : public TGraphicControl {
  DECLARE_CLASS(TTestGraphic, TGraphicControl)
 public:
  using TGraphicControl::TGraphicControl;
  std::vector<String> Log;

 protected:
  void WndProc(TMessage& Message) override {
    if (Message.Msg == CM_MOUSEENTER && Message.LParam == 0) Log.push_back(L"enter");
    if (Message.Msg == CM_MOUSELEAVE && Message.LParam == 0) Log.push_back(L"leave");
    inherited::WndProc(Message);
  }
};

void Post(TWinControl* C, UINT Msg, WPARAM Keys, Integer X, Integer Y) {
  PostMessageW(C->GetHandle(), Msg, Keys, MAKELPARAM(X, Y));
  Pump();
}

TEST(Mouse, PressCapturesAndReleaseInsideClicks) {
  TFormHolder F;
  auto* B = new TTestButton(F.Form);
  B->SetParent(F.Form);
  B->SetBounds(10, 10, 80, 30);
  std::vector<String> Log;
  B->SetOnMouseDown([&](TObject*, TMouseButton Btn, TShiftState S, Integer X, Integer Y) {
    Log.push_back(L"down " + std::to_wstring(X) + L"," + std::to_wstring(Y) + (S.Contains(ssLeft) ? L" left" : L""));
  });
  B->SetOnMouseUp([&](TObject*, TMouseButton, TShiftState, Integer, Integer) { Log.push_back(L"up"); });
  B->SetOnClick([&](TObject*) { Log.push_back(L"click"); });
  F->Show();
  Post(B, WM_LBUTTONDOWN, MK_LBUTTON, 4, 5);
  EXPECT_TRUE(B->GetMouseCapture());
  EXPECT_EQ(GetCapture(), B->GetHandle());
  Post(B, WM_LBUTTONUP, 0, 4, 5);
  EXPECT_FALSE(B->GetMouseCapture());
  EXPECT_EQ(Log, (std::vector<String>{L"down 4,5 left", L"click", L"up"}));

  // Released outside: no click.
  Log.clear();
  Post(B, WM_LBUTTONDOWN, MK_LBUTTON, 4, 5);
  Post(B, WM_LBUTTONUP, 0, 200, 5);
  EXPECT_EQ(Log, (std::vector<String>{L"down 4,5 left", L"up"}));
}

TEST(Mouse, WindowlessControlGetsTheMouseThroughItsParentAndHoldsTheCapture) {
  TFormHolder F;
  auto* Panel = new TTestPanel(F.Form);
  Panel->SetParent(F.Form);
  Panel->SetBounds(0, 0, 200, 100);
  auto* G1 = new TTestGraphic(F.Form);
  G1->SetParent(Panel);
  G1->SetBounds(10, 10, 50, 50);
  auto* G2 = new TTestGraphic(F.Form);
  G2->SetParent(Panel);
  G2->SetBounds(100, 10, 50, 50);
  Integer Clicks = 0;
  G1->SetOnClick([&](TObject*) { ++Clicks; });
  F->Show();
  Post(Panel, WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
  EXPECT_EQ(GetCaptureControl(), G1);
  EXPECT_EQ(GetCapture(), Panel->GetHandle());
  Post(Panel, WM_LBUTTONUP, 0, 20, 20);
  EXPECT_EQ(Clicks, 1);
  EXPECT_EQ(GetCaptureControl(), nullptr);

  // Moving across the windowless controls sends them enter and leave notices.
  Post(Panel, WM_MOUSEMOVE, 0, 20, 20);
  Post(Panel, WM_MOUSEMOVE, 0, 110, 20);
  Post(Panel, WM_MOUSEMOVE, 0, 80, 80);
  EXPECT_EQ(G1->Log, (std::vector<String>{L"enter", L"leave"}));
  EXPECT_EQ(G2->Log, (std::vector<String>{L"enter", L"leave"}));
}

TEST(Mouse, WheelNotchesGoUpOrDownAndUnhandledOnesReachTheParent) {
  TFormHolder F;
  auto* B = new TTestButton(F.Form);
  B->SetParent(F.Form);
  Integer Up = 0, Down = 0, ParentSaw = 0;
  B->SetOnMouseWheelUp([&](TObject*, TShiftState, TPoint, bool& Handled) { ++Up, Handled = true; });
  B->SetOnMouseWheelDown([&](TObject*, TShiftState, TPoint, bool&) { ++Down; });
  F->SetOnMouseWheel([&](TObject*, TShiftState, Integer, TPoint, bool&) { ++ParentSaw; });
  B->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, 240), 0);
  B->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, Word(-60)), 0);  // half a notch: kept for later
  B->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, Word(-60)), 0);
  EXPECT_EQ(Up, 2);
  EXPECT_EQ(Down, 1);
  EXPECT_EQ(ParentSaw, 2);  // the two messages no one handled
}

TEST(DragDrop, AutomaticDragDropsOnATargetThatAccepts) {
  TFormHolder F;
  auto* Source = new TTestButton(F.Form);
  Source->SetParent(F.Form);
  Source->SetBounds(10, 10, 50, 30);
  Source->SetDragMode(dmAutomatic);
  auto* Target = new TTestPanel(F.Form);
  Target->SetParent(F.Form);
  Target->SetBounds(200, 100, 100, 100);
  std::vector<String> Log;
  Target->SetOnDragOver([&](TObject*, TObject* Src, Integer, Integer, TDragState State, bool& Accept) {
    Accept = Src == Source;
    if (State == dsDragEnter) Log.push_back(L"enter");
  });
  Target->SetOnDragDrop([&](TObject*, TObject* Src, Integer X, Integer Y) {
    Log.push_back(L"drop " + std::to_wstring(X) + L"," + std::to_wstring(Y) + (Src == Source ? L" source" : L""));
  });
  Source->SetOnEndDrag([&](TObject*, TObject* T, Integer, Integer) { Log.push_back(T == Target ? L"end on target" : L"end"); });
  F->Show();
  Pump();
  // The target's (20,30) in the source's coordinates.
  TPoint P = Source->ScreenToClient(Target->ClientToScreen(TPoint(20, 30)));
  Post(Source, WM_LBUTTONDOWN, MK_LBUTTON, 5, 5);
  EXPECT_TRUE(Source->Dragging());
  Post(Source, WM_MOUSEMOVE, MK_LBUTTON, P.X, P.Y);
  Post(Source, WM_LBUTTONUP, 0, P.X, P.Y);
  EXPECT_FALSE(Source->Dragging());
  EXPECT_EQ(Log, (std::vector<String>{L"enter", L"drop 20,30 source", L"end on target"}));
}

class THintedButton : public TTestButton {
  DECLARE_CLASS(THintedButton, TTestButton)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CM_HINTSHOW, TCMHintShow, CMHintShow)
  END_MESSAGE_MAP

 public:
  using TTestButton::TTestButton;
  bool Refuse = false;

 protected:
  void CMHintShow(TCMHintShow& Message) {
    Message.HintInfo->HintStr += L" (F2)";
    Message.Result = Refuse ? 1 : 0;
  }
};

TEST(Hints, ShowAfterThePauseWithWhatTheControlMadeOfTheHint) {
  TFormHolder F;
  auto* B = new THintedButton(F.Form);
  B->SetParent(F.Form);
  B->SetHint(L"Kaydet|Kaydı veritabanına yazar");
  B->SetShowHint(true);
  Application->SetHintPause(10);
  F->Show();
  Pump();
  Post(B, WM_MOUSEMOVE, 0, 5, 5);
  ASSERT_TRUE(PumpUntil([] { return Application->GetHintWindow() && Application->GetHintWindow()->HandleAllocated(); }));
  EXPECT_EQ(Application->GetHintWindow()->GetCaption(), L"Kaydet (F2)");  // the short part of the hint
  Application->CancelHint();
  EXPECT_FALSE(Application->GetHintWindow()->HandleAllocated());

  // A control may refuse its hint.
  B->Refuse = true;
  Post(F.Form, WM_MOUSEMOVE, 0, 300, 200);
  Post(B, WM_MOUSEMOVE, 0, 5, 5);
  Sleep(50);
  Pump();
  EXPECT_FALSE(Application->GetHintWindow()->HandleAllocated());
  Application->SetHintPause(500);
}

// ---- Clipboard ------------------------------------------------------------------------------

TEST(Clipboard, RegisteredFormatRoundTripsBesideText) {
  Word Format = Word(RegisterClipboardFormatW(L"VCLDBIF"));
  ASSERT_NE(Format, 0);
  const Byte Data[] = {1, 2, 3, 0, 255, 7};
  TClipboard* C = Clipboard();
  C->Open();
  C->SetBuffer(Format, Data, sizeof(Data));
  C->SetAsText(L"Kayıt 1");  // the second format joins the first: only the first empties
  C->Close();
  EXPECT_TRUE(C->HasFormat(Format));
  EXPECT_TRUE(C->HasFormat(CF_UNICODETEXT));
  TBytes Got = C->GetBuffer(Format);
  ASSERT_GE(Got.size(), sizeof(Data));
  EXPECT_TRUE(std::equal(Data, Data + sizeof(Data), Got.begin()));
  EXPECT_EQ(C->GetAsText(), L"Kayıt 1");
  // Outside an Open/Close pair each assignment replaces what was there.
  C->SetAsText(L"yalnız metin");
  EXPECT_FALSE(C->HasFormat(Format));
  EXPECT_EQ(C->GetAsText(), L"yalnız metin");
}

// ---- Shortcuts and actions ------------------------------------------------------------------

TEST(ShortCuts, BuildTextAndParseBack) {
  EXPECT_EQ(ShortCut(VK_DOWN, {ssAlt}), 32808);
  EXPECT_EQ(ShortCut(VK_DELETE, {ssAlt}), 32814);
  struct Case {
    TShortCut Cut;
    const wchar_t* Text;
  };
  const Case Cases[] = {
      {ShortCut('S', {ssCtrl}), L"Ctrl+S"},
      {ShortCut(VK_F5, {ssCtrl, ssShift}), L"Shift+Ctrl+F5"},
      {ShortCut(VK_RETURN, {ssCtrl}), L"Ctrl+Enter"},
      {ShortCut(VK_DOWN, {ssAlt}), L"Alt+Down"},
      {ShortCut('7', {}), L"7"},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(ShortCutToText(C.Cut), C.Text);
    EXPECT_EQ(TextToShortCut(C.Text), C.Cut) << C.Text;
  }
  EXPECT_EQ(TextToShortCut(L"ctrl+s"), ShortCut('S', {ssCtrl}));
  EXPECT_EQ(TextToShortCut(L"Ctrl+Bogus"), 0);
  EXPECT_EQ(TextToShortCut(L""), 0);
  EXPECT_EQ(KeysToShiftState(MK_SHIFT | MK_LBUTTON), (TShiftState{ssShift, ssLeft}));
}

TEST(Actions, LinkedControlFollowsTheActionAndClickExecutesIt) {
  TFormHolder F;
  auto* List = new TActionList(F.Form);
  auto* A = new TAction(F.Form);
  A->SetActionList(List);
  A->SetCaption(L"Kaydet");
  Integer Executed = 0;
  A->SetOnExecute([&](TObject*) { ++Executed; });
  auto* B = new TTestButton(F.Form);
  B->SetParent(F.Form);
  B->SetAction(A);
  EXPECT_EQ(B->GetCaption(), L"Kaydet");
  A->SetEnabled(false);
  EXPECT_FALSE(B->GetEnabled());
  A->SetEnabled(true);
  A->SetCaption(L"Kaydet...");
  EXPECT_EQ(B->GetCaption(), L"Kaydet...");
  B->Click();
  EXPECT_EQ(Executed, 1);
  // The list sees the action first and may handle it.
  List->SetOnExecute([](TBasicAction*, bool& Handled) { Handled = true; });
  B->Click();
  EXPECT_EQ(Executed, 1);
  // Freeing the action unlinks the control.
  delete A;
  EXPECT_EQ(B->GetAction(), nullptr);
}

TEST(ScreenAndMonitors, AnswerTheDesktopAndTheCursorTable) {
  ASSERT_GE(Screen->GetMonitorCount(), 1);
  TMonitor* M = Screen->GetPrimaryMonitor();
  ASSERT_NE(M, nullptr);
  EXPECT_TRUE(M->GetPrimary());
  EXPECT_FALSE(M->GetWorkareaRect().IsEmpty());
  EXPECT_GT(Screen->GetPixelsPerInch(), 0);
  EXPECT_EQ(Screen->MonitorFromPoint(TPoint(1, 1)), M);
  EXPECT_EQ(Screen->GetCursors(1234), Screen->GetCursors(crDefault));  // a free slot
  EXPECT_NE(Screen->GetCursors(crHandPoint), nullptr);
}

}  // namespace
