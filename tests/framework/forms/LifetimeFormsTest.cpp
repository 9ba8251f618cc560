#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "framework/Classes.h"
#include "framework/ExtCtrls.h"
#include "framework/controls/ControlsTestUtil.h"
#include "framework/forms/TestControls.h"
#include "tests/framework/components/StreamingFixture.h"

using namespace ctltest;

namespace {

std::string Bytes(TMemoryStream& M) { return std::string(static_cast<const char*>(M.GetMemory()), size_t(M.GetSize())); }

std::string AsText(TComponent* Root) {
  TMemoryStream M, Out;
  M.WriteComponent(Root);
  M.SetPosition(0);
  ObjectBinaryToText(&M, &Out);
  return Bytes(Out);
}

// ---- Creation and destruction of forms and data modules ---------------------------------------

TEST(FormLifetime, ADataModuleFiresOnCreateAndOnDestroy) {
  Integer Created = 0, Destroyed = 0;
  auto* DM = TComponent::Create<TDataModule>(nullptr, 0);
  DM->SetOnDestroy([&](TObject*) { ++Destroyed; });
  delete DM;
  EXPECT_EQ(Destroyed, 1);

  // OnCreate comes from a resource's handler in real modules; here it is bound before completion.
  auto* DM2 = new TDataModule(nullptr, 0);
  DM2->SetOnCreate([&](TObject*) { ++Created; });
  DM2->AfterConstruction();
  delete DM2;
  EXPECT_EQ(Created, 1);
}

TEST(FormLifetime, CreateReadsTheFormsResourceAndCompletesIt) {
  RegisterTestControls();
  std::unique_ptr<TLayoutForm> F(TComponent::Create<TLayoutForm>(nullptr));
  EXPECT_EQ(F->GetCaption(), L"Düzen");
  EXPECT_NE(F->FindComponent(L"pnlTop"), nullptr);
  EXPECT_NO_THROW(F->HandleNeeded());
}

TEST(FormLifetime, AFormStillBeingCreatedCannotBeShown) {
  // new without AfterConstruction: no resource read, no OnCreate; showing it says so.
  std::unique_ptr<TForm> F(new TForm(nullptr));
  EXPECT_THROW(F->Show(), EInvalidOperation);
  EXPECT_THROW(F->HandleNeeded(), EInvalidOperation);
  EXPECT_FALSE(F->HandleAllocated());
  std::unique_ptr<TForm> G(new TForm(nullptr, 0));
  EXPECT_THROW(G->ShowModal(), EInvalidOperation);
  G->AfterConstruction();
  EXPECT_NO_THROW(G->HandleNeeded());
}

TEST(FormLifetime, AControlsOwnerFormSeesItWholeWhenItGoes) {
  // The form's Notification tests the control's class to drop its active control.
  TFormHolder H;
  auto* Panel = new TTestPanel(H.Form);
  Panel->SetParent(H.Form);
  auto* B = new TTestButton(H.Form);
  B->SetParent(Panel);
  H->Show();
  H->SetActiveControl(B);
  EXPECT_EQ(H->GetActiveControl(), B);
  delete Panel;  // frees B as its child
  EXPECT_EQ(H->GetActiveControl(), nullptr);
}

TEST(FormLifetime, AKeyPreviewHandlerMayFreeTheFocusedControl) {
  // The form sees the key first and frees the control; the control's own key path stops there.
  TFormHolder H;
  auto* B = new TTestButton(H.Form);
  B->SetParent(H.Form);
  Integer ButtonKeys = 0, FormKeys = 0;
  B->SetOnKeyDown([&](TObject*, Word&, TShiftState) { ++ButtonKeys; });
  H->SetKeyPreview(true);
  H->SetOnKeyDown([&](TObject*, Word&, TShiftState) {
    ++FormKeys;
    delete B;
  });
  B->Perform(WM_KEYDOWN, 'A', 0);
  EXPECT_EQ(FormKeys, 1);
  EXPECT_EQ(ButtonKeys, 0);
  EXPECT_EQ(H->GetControlCount(), 0);
}

// ---- Writing a real form ---------------------------------------------------------------------

TEST(FormStreaming, ARealFormWithControlsAndATimerReadsBackTheSame) {
  RegisterTestControls();
  RegisterClasses({TTimer::StaticClass()});
  std::unique_ptr<TForm> F(TComponent::Create<TForm>(nullptr, 0));
  F->SetName(L"frmTrip");
  F->SetCaption(L"Gidiş");
  auto* Panel = new TTestPanel(F.get());
  Panel->SetName(L"pnl");
  Panel->SetParent(F.get());
  auto* Button = new TTestButton(F.get());
  Button->SetName(L"btn");
  Button->SetParent(Panel);
  Button->SetCaption(L"Tamam");
  auto* Timer = new TTimer(F.get());
  Timer->SetName(L"tmr");
  Timer->SetInterval(250);
  std::string Text = AsText(F.get());
  EXPECT_NE(Text.find("object pnl: TTestPanel"), std::string::npos) << Text;
  EXPECT_NE(Text.find("    object btn: TTestButton"), std::string::npos) << Text;  // inside the panel
  EXPECT_NE(Text.find("object tmr: TTimer"), std::string::npos) << Text;

  TMemoryStream M;
  M.WriteComponent(F.get());
  M.SetPosition(0);
  std::unique_ptr<TForm> G(TComponent::Create<TForm>(nullptr, 0));
  M.ReadComponent(G.get());
  auto* Btn = dynamic_cast<TTestButton*>(G->FindComponent(L"btn"));
  ASSERT_NE(Btn, nullptr);
  EXPECT_EQ(Btn->GetParent(), G->FindComponent(L"pnl"));
  EXPECT_EQ(static_cast<TTimer*>(G->FindComponent(L"tmr"))->GetInterval(), 250u);
  EXPECT_EQ(AsText(G.get()), Text);
}

TEST(FormStreaming, ADataModuleWritesItsComponents) {
  RegisterClasses({TTimer::StaticClass()});
  std::unique_ptr<TDataModule> DM(TComponent::Create<TDataModule>(nullptr, 0));
  DM->SetName(L"dmTrip");
  (new TTimer(DM.get()))->SetName(L"tmrA");
  std::string Text = AsText(DM.get());
  EXPECT_NE(Text.find("object tmrA: TTimer"), std::string::npos) << Text;
  TMemoryStream M;
  M.WriteComponent(DM.get());
  M.SetPosition(0);
  std::unique_ptr<TDataModule> Back(TComponent::Create<TDataModule>(nullptr, 0));
  M.ReadComponent(Back.get());
  EXPECT_EQ(AsText(Back.get()), Text);
}

// ---- Loops over children that a handler changes -------------------------------------------------

constexpr Cardinal CM_PROBE = WM_USER + 77;

// Three child panels whose window procedures count what reaches them; the first frees the
// second when Trigger arrives.
struct TThreeChildren {
  TFormHolder H;
  TTestPanel* C[3];
  Integer Calls[3] = {0, 0, 0};
  bool SecondGone = false;
  void Arm(Cardinal Trigger) {
    for (int I = 0; I < 3; ++I) {
      C[I] = new TTestPanel(H.Form);
      C[I]->SetParent(H.Form);
      TWndMethod Old = C[I]->GetWindowProc();
      C[I]->SetWindowProc([this, I, Old, Trigger](TMessage& M) {
        if (M.Msg == Trigger) {
          ++Calls[I];
          if (I == 0 && !SecondGone) {
            SecondGone = true;
            delete C[1];
          }
        }
        Old(M);
      });
    }
  }
};

TEST(ChildLoops, BroadcastSkipsAChildFreedByASibling) {
  TThreeChildren T;
  T.Arm(CM_PROBE);
  TMessage M{};
  M.Msg = CM_PROBE;
  T.H->Broadcast(M);
  EXPECT_TRUE(T.SecondGone);
  EXPECT_EQ(T.Calls[0], 1);
  EXPECT_EQ(T.Calls[1], 0);
  EXPECT_EQ(T.Calls[2], 1);
}

TEST(ChildLoops, UpdateShowingSkipsAChildFreedByASibling) {
  TThreeChildren T;
  T.Arm(CM_SHOWINGCHANGED);
  T.H->Show();
  EXPECT_TRUE(T.SecondGone);
  EXPECT_EQ(T.Calls[1], 0);
  EXPECT_TRUE(T.C[2]->IsShowing());
}

// ---- Exceptions stay inside window, timer and application procedures ---------------------------

struct TRaisingExceptionHandler {
  Integer Handled = 0;
  TRaisingExceptionHandler() {
    Application->SetOnException([this](TObject*, Exception*) {
      ++Handled;
      throw Exception(L"raised by the exception handler");
    });
  }
  ~TRaisingExceptionHandler() { Application->SetOnException(nullptr); }
};

TEST(ContainedExceptions, AnExceptionHandlerThatRaisesLeavesNoProcedure) {
  TRaisingExceptionHandler R;
  TFormHolder H;
  auto* B = new TTestButton(H.Form);
  B->SetParent(H.Form);
  TWndMethod Old = B->GetWindowProc();
  B->SetWindowProc([Old](TMessage& M) {
    if (M.Msg == CM_PROBE) throw Exception(L"from a control");
    Old(M);
  });
  // A control's window.
  EXPECT_NO_THROW(SendMessageW(B->GetHandle(), CM_PROBE, 0, 0));
  EXPECT_EQ(R.Handled, 1);
  // The application's window (a queued call it runs raises).
  TThread::ForceQueue(nullptr, [] { throw Exception(L"from a queued call"); });
  EXPECT_NO_THROW(SendMessageW(Application->GetHandle(), WM_NULL, 0, 0));
  EXPECT_EQ(R.Handled, 2);
  // A timer's window.
  TTimer Timer(nullptr);
  Timer.SetInterval(1);
  Timer.SetOnTimer([&](TObject*) {
    Timer.SetEnabled(false);
    throw Exception(L"from a timer");
  });
  EXPECT_NO_THROW(PumpUntil([&] { return R.Handled == 3; }));
  EXPECT_EQ(R.Handled, 3);
}

// ---- Threads ---------------------------------------------------------------------------------

class TQueuesAndWaits : public TThread {
  DECLARE_CLASS(TQueuesAndWaits, TThread)
 public:
  TQueuesAndWaits(std::atomic<int>* Served, std::atomic<bool>* Queued)
      : TThread(false), FServed(Served), FQueued(Queued) {}

 protected:
  void Execute() override {
    Queue([] { throw Exception(L"queued by a thread being destroyed"); });
    *FQueued = true;
    Synchronize([this] { ++*FServed; });
  }

 private:
  std::atomic<int>* FServed;
  std::atomic<bool>* FQueued;
};

TEST(ThreadLifetime, DestroyingAThreadRunsNoQueuedCallInsideTheDestructor) {
  // The worker queues a call that raises and then waits in Synchronize; the destructor serves
  // the Synchronize so the worker can end, and drops the queued call.
  std::atomic<int> Served{0};
  std::atomic<bool> Queued{false};
  auto* T = TThread::Create<TQueuesAndWaits>(&Served, &Queued);
  while (!Queued) TThread::Yield();
  EXPECT_NO_THROW(delete T);
  EXPECT_EQ(Served.load(), 1);
  EXPECT_NO_THROW(CheckSynchronize());
}

TEST(ThreadLifetime, WakeMainThreadMayBeReplacedWhileWorkersCallIt) {
  std::atomic<bool> Stop{false};
  std::atomic<int> Posted{0}, Wakes{0};
  std::thread Worker([&] {
    while (!Stop) {
      TThread::ForceQueue(nullptr, [] {});
      ++Posted;
    }
  });
  for (int I = 0; Posted < 20000; ++I) {
    std::string Big(64, char('a' + I % 26));  // a capture too large to be stored inline
    WakeMainThread = [&Wakes, Big](TObject*) { Wakes += Big.size() == 64; };
  }
  Stop = true;
  Worker.join();
  WakeMainThread = nullptr;
  while (CheckSynchronize()) {
  }
  EXPECT_GT(Wakes.load(), 0);
}

// ---- The framework's start and end ---------------------------------------------------------------

TEST(FrameworkStartAndEnd, EndingFreesFormsWithPendingReferencesAndStartsAgain) {
  RegisterDemoClasses();
  Integer Live = DemoLiveCount();
  Integer FormDestroyed = 0;
  auto* Form = TComponent::Create<TForm>(Application, 0);
  Form->SetOnDestroy([&](TObject*) { ++FormDestroyed; });
  // A root whose reference names a form that never loads keeps its fixup pending.
  auto* Root = new TDemoForm(Application);
  std::string T = "object FormA: TDemoForm\r\n  object x: TDemoControl\r\n    Buddy = FormNeverLoaded.target\r\n  end\r\nend\r\n";
  TMemoryStream In;
  In.Write(T.data(), Integer(T.size()));
  In.SetPosition(0);
  ReadComponentFromStream(&In, Root);
  EXPECT_TRUE(Root->GetComponentState().Contains(csFixups));

  FrameworkShutdown();
  EXPECT_EQ(Application, nullptr);
  EXPECT_EQ(Screen, nullptr);
  EXPECT_EQ(FormDestroyed, 1);
  EXPECT_EQ(DemoLiveCount(), Live);
  FrameworkStartup();
  FrameworkStartup();  // once is enough
  ASSERT_NE(Application, nullptr);
  ASSERT_NE(Screen, nullptr);
  EXPECT_EQ(Screen->GetFormCount(), 0);
  TFormHolder H;
  H->Show();
  EXPECT_TRUE(H->IsShowing());
}

}  // namespace
