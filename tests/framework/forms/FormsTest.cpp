#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "framework/Classes.h"
#include "framework/ExtCtrls.h"
#include "framework/controls/ControlsTestUtil.h"
#include "framework/forms/TestControls.h"

using namespace ctltest;

namespace {

// The layout form from its resource, shown, freed at the end.
struct TLayoutHolder {
  TLayoutForm* Form;
  TLayoutHolder() {
    RegisterTestControls();
    Form = new TLayoutForm(nullptr);
    Form->AfterConstruction();
  }
  ~TLayoutHolder() {
    delete Form;
    Pump();
  }
  TControl* operator[](const wchar_t* Name) const { return Form->Find<TControl>(Name); }
};

TRect ScreenRect(TControl* C) {
  TPoint P = C->GetParent()->ClientToScreen(TPoint(C->GetLeft(), C->GetTop()));
  return Bounds(P.X, P.Y, C->GetWidth(), C->GetHeight());
}

TEST(FormResource, AlignedAndAnchoredChildrenTakeTheirRectangles) {
  TLayoutHolder H;
  TLayoutForm* F = H.Form;
  EXPECT_EQ(F->GetCaption(), L"Düzen");
  EXPECT_EQ(H[L"pnlTop"]->GetColor(), clBtnFace);  // colours stream by name
  F->Show();
  Pump();
  EXPECT_EQ(F->GetClientRect(), Rect(0, 0, 400, 300));
  struct Case {
    const wchar_t* Name;
    TRect Designed, Grown;  // in the parent's client area; grown: the form made 100x100 larger
  };
  const Case Cases[] = {
      {L"pnlTop", Rect(0, 0, 400, 40), Rect(0, 0, 500, 40)},
      {L"pnlBottom", Rect(0, 260, 400, 300), Rect(0, 360, 500, 400)},
      {L"pnlLeft", Rect(0, 40, 100, 260), Rect(0, 40, 100, 360)},
      {L"pnlClient", Rect(100, 40, 400, 260), Rect(100, 40, 500, 360)},
      {L"pnlNested", Rect(3, 3, 297, 53), Rect(3, 3, 397, 53)},  // aligned inside its margins
      {L"edtName", Rect(8, 8, 208, 32), Rect(8, 8, 308, 32)},     // left and right anchors stretch
      {L"btnOk", Rect(300, 8, 390, 32), Rect(400, 8, 490, 32)},   // right anchor moves
      {L"btnCancel", Rect(310, 8, 390, 32), Rect(410, 8, 490, 32)},
      {L"btnCorner", Rect(250, 170, 290, 210), Rect(350, 270, 390, 310)},
  };
  for (const auto& C : Cases) {
    ASSERT_NE(H[C.Name], nullptr) << C.Name;
    EXPECT_EQ(H[C.Name]->GetBoundsRect(), C.Designed) << C.Name;
  }
  F->SetBounds(F->GetLeft(), F->GetTop(), 500, 400);
  Pump();
  for (const auto& C : Cases) EXPECT_EQ(H[C.Name]->GetBoundsRect(), C.Grown) << C.Name;
  // The windows are where the controls say.
  RECT R;
  GetWindowRect(static_cast<TWinControl*>(H[L"btnCorner"])->GetHandle(), &R);
  EXPECT_EQ(Rect(R.left, R.top, R.right, R.bottom), ScreenRect(H[L"btnCorner"]));
}

TEST(FormResource, ClassWithoutResourceRaisesResNotFound) {
  class TNoResForm : public TForm {
    DECLARE_CLASS(TNoResForm, TForm)
   public:
    using TForm::TForm;
  };
  TNoResForm* F = new TNoResForm(nullptr);
  EXPECT_THROW(F->AfterConstruction(), EResNotFound);
  delete F;
}

// ---- Focus and keys --------------------------------------------------------------------------

TWinControl* FocusedControl() { return FindControl(GetFocus()); }

void PostKey(Word Key) {
  HWND Wnd = GetFocus();
  PostMessageW(Wnd, WM_KEYDOWN, Key, 1);
  PostMessageW(Wnd, WM_KEYUP, Key, LPARAM(0xC0000001));
  Pump();
}

TEST(Focus, StartsAtActiveControlAndTabFollowsTabOrder) {
  TLayoutHolder H;
  H.Form->Show();
  Pump();
  ASSERT_EQ(FocusedControl(), H[L"edtName"]);
  EXPECT_EQ(Screen->GetActiveControl(), H[L"edtName"]);
  EXPECT_EQ(Screen->GetActiveForm(), H.Form);
  const wchar_t* Order[] = {L"btnOk", L"btnCancel", L"btnCorner", L"edtName"};
  for (const wchar_t* Name : Order) {
    PostKey(VK_TAB);
    EXPECT_EQ(FocusedControl(), H[Name]) << Name;
    EXPECT_EQ(H.Form->GetActiveControl(), H[Name]) << Name;
  }
}

TEST(Focus, EnterAndExitFollowTheFocus) {
  TLayoutHolder H;
  std::vector<String> Log;
  for (const wchar_t* Name : {L"edtName", L"btnOk"}) {
    auto* W = static_cast<TWinControl*>(H[Name]);
    W->SetOnEnter([&Log, Name](TObject*) { Log.push_back(String(L"enter ") + Name); });
    W->SetOnExit([&Log, Name](TObject*) { Log.push_back(String(L"exit ") + Name); });
  }
  H.Form->Show();
  Pump();
  static_cast<TWinControl*>(H[L"btnOk"])->SetFocus();
  Pump();
  EXPECT_EQ(Log, (std::vector<String>{L"enter edtName", L"exit edtName", L"enter btnOk"}));
  // A control that cannot take the focus refuses it.
  H[L"btnCorner"]->SetVisible(false);
  EXPECT_FALSE(static_cast<TWinControl*>(H[L"btnCorner"])->CanFocus());
  EXPECT_THROW(H.Form->SetActiveControl(static_cast<TWinControl*>(H[L"btnCorner"])), EInvalidOperation);
}

TEST(Keys, PreviewSeesKeysFirstAndAConsumedKeyStopsThere) {
  TLayoutHolder H;
  H.Form->Show();
  Pump();
  auto* Edit = H.Form->Find<TTestButton>(L"edtName");
  ASSERT_EQ(FocusedControl(), Edit);
  PostKey('A');
  PostKey(VK_F2);
  PostKey('B');
  EXPECT_EQ(H.Form->PreviewKeys, (std::vector<Word>{'A', VK_F2, 'B'}));
  EXPECT_EQ(Edit->KeysSeen, (std::vector<Word>{'A', 'B'}));
  // Without KeyPreview the form sees nothing.
  H.Form->SetKeyPreview(false);
  PostKey('C');
  EXPECT_EQ(H.Form->PreviewKeys.size(), 3u);
  EXPECT_EQ(Edit->KeysSeen.back(), 'C');
}

// ---- Modal forms -----------------------------------------------------------------------------

void PostClick(TWinControl* C, Integer X = 5, Integer Y = 5) {
  PostMessageW(C->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X, Y));
  PostMessageW(C->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(X, Y));
}

TEST(ShowModal, ReturnsTheModalResultOfTheButtonClicked) {
  TLayoutHolder H;
  PostClick(H.Form->Find<TTestButton>(L"btnOk"));
  EXPECT_EQ(H.Form->ShowModal(), mrOk);
  EXPECT_FALSE(H.Form->GetVisible());
  EXPECT_FALSE(H.Form->GetFormState().Contains(fsModal));
}

TEST(ShowModal, TimersTickInsideTheModalLoop) {
  TLayoutHolder H;
  TTimer* Timer = new TTimer(H.Form);
  Timer->SetInterval(20);
  Integer Ticks = 0;
  Timer->SetOnTimer([&](TObject*) {
    if (++Ticks == 3) PostClick(H.Form->Find<TTestButton>(L"btnCancel"));
  });
  EXPECT_EQ(H.Form->ShowModal(), mrCancel);
  EXPECT_GE(Ticks, 3);
}

TEST(ShowModal, CloseQueryCanRefuseAndEscapesTheLoopOnlyWhenAllowed) {
  TLayoutHolder H;
  Integer Asked = 0;
  H.Form->SetOnCloseQuery([&](TObject*, bool& CanClose) { CanClose = ++Asked >= 2; });
  PostClick(H.Form->Find<TTestButton>(L"btnOk"));
  PostClick(H.Form->Find<TTestButton>(L"btnCancel"));
  EXPECT_EQ(H.Form->ShowModal(), mrCancel);  // the first close was refused
  EXPECT_EQ(Asked, 2);
}

TEST(ShowModal, VisibleFormCannotBeMadeModal) {
  TFormHolder F;
  F->Show();
  EXPECT_THROW(F->ShowModal(), EInvalidOperation);
}

// ---- Closing and releasing -------------------------------------------------------------------

TEST(Close, ActionsHideOrFreeAfterTheCurrentMessage) {
  Integer Destroyed = 0;
  TForm* F = new TForm(nullptr, 0);
  F->AfterConstruction();
  F->SetOnDestroy([&](TObject*) { ++Destroyed; });
  F->SetOnClose([](TObject*, TCloseAction& Action) { Action = caFree; });
  F->Show();
  Pump();
  F->Close();
  EXPECT_EQ(Destroyed, 0);  // still alive: freed once the release message comes
  ASSERT_TRUE(PumpUntil([&] { return Destroyed == 1; }));

  TFormHolder G;
  G->Show();
  G->Close();
  EXPECT_FALSE(G->GetVisible());
}

TEST(Close, AFormFreedByItsOwnButtonsHandlerIsReleasedSafely) {
  Integer Destroyed = 0;
  TForm* F = new TForm(nullptr, 0);
  F->AfterConstruction();
  F->SetOnDestroy([&](TObject*) { ++Destroyed; });
  auto* B = new TTestButton(F);
  B->SetParent(F);
  B->SetOnClick([&](TObject*) { delete F; });  // the button's own handler is on the stack
  F->Show();
  PostClick(B);
  ASSERT_TRUE(PumpUntil([&] { return Destroyed == 1; }));
  Pump();
}

TEST(Close, MessagesToADestroyedWindowAreDropped) {
  TFormHolder F;
  auto* B = new TTestButton(F.Form);
  B->SetParent(F.Form);
  Integer Clicks = 0;
  B->SetOnClick([&](TObject*) { ++Clicks; });
  HWND Wnd = B->GetHandle();
  PostClick(B);
  delete B;
  Pump();
  EXPECT_EQ(Clicks, 0);
  EXPECT_FALSE(IsWindow(Wnd));
  EXPECT_EQ(SendMessageW(Wnd, WM_LBUTTONDOWN, 0, 0), 0);
}

// ---- Exceptions ------------------------------------------------------------------------------

TEST(Exceptions, AnExceptionEscapingAHandlerReachesTheApplicationAndTheLoopGoesOn) {
  TExceptionLog Log;
  TFormHolder F;
  auto* B = new TTestButton(F.Form);
  B->SetParent(F.Form);
  Integer Clicks = 0;
  B->SetOnClick([&](TObject*) {
    ++Clicks;
    if (Clicks == 1) throw EConvertError(L"'x' is not a valid integer value");
    if (Clicks == 2) Abort();
  });
  F->Show();
  PostClick(B);
  PostClick(B);
  PostClick(B);
  ASSERT_TRUE(PumpUntil([&] { return Clicks == 3; }));
  ASSERT_EQ(Log.Messages.size(), 1u);  // EAbort is silent
  EXPECT_EQ(Log.Messages[0], L"'x' is not a valid integer value");
  EXPECT_EQ(Log.Senders[0], B);
}

// ---- Timers and threads ----------------------------------------------------------------------

TEST(Timer, FiresUntilDisabledAndRestartsOnChange) {
  std::unique_ptr<TTimer> T(new TTimer(nullptr));
  Integer Ticks = 0;
  T->SetInterval(10);
  T->SetOnTimer([&](TObject*) { ++Ticks; });
  ASSERT_TRUE(PumpUntil([&] { return Ticks >= 3; }));
  T->SetEnabled(false);
  Integer Stopped = Ticks;
  Sleep(50);
  Pump();
  EXPECT_EQ(Ticks, Stopped);
  T->SetInterval(0);  // no interval: no timer even when enabled
  T->SetEnabled(true);
  Sleep(30);
  Pump();
  EXPECT_EQ(Ticks, Stopped);
  T->SetInterval(10);
  EXPECT_TRUE(PumpUntil([&] { return Ticks > Stopped; }));
}

TEST(Timer, AnExceptionInOnTimerGoesToTheApplicationAndATimerMayFreeItself) {
  TExceptionLog Log;
  TTimer* T = new TTimer(nullptr);
  T->SetInterval(5);
  Integer Ticks = 0;
  T->SetOnTimer([&](TObject*) {
    if (++Ticks == 1) throw Exception(L"tick failed");
    delete T;
  });
  ASSERT_TRUE(PumpUntil([&] { return Ticks == 2; }));
  Pump();
  ASSERT_EQ(Log.Messages.size(), 1u);
  EXPECT_EQ(Log.Messages[0], L"tick failed");
}

TEST(Threads, SynchronizeAndQueueRunOnTheMainThreadFromTheLoop) {
  DWORD Main = GetCurrentThreadId();
  std::atomic<DWORD> SyncThread{0}, QueueThread{0};
  std::atomic<bool> WorkerDone{false};
  std::thread Worker([&] {
    TThread::Synchronize(nullptr, [&] { SyncThread = GetCurrentThreadId(); });
    TThread::Queue(nullptr, [&] { QueueThread = GetCurrentThreadId(); });
    WorkerDone = true;
  });
  EXPECT_TRUE(PumpUntil([&] { return WorkerDone && QueueThread != 0; }));
  Worker.join();
  EXPECT_EQ(SyncThread, Main);
  EXPECT_EQ(QueueThread, Main);
}

}  // namespace
