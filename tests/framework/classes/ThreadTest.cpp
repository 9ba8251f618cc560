#include <gtest/gtest.h>

#include "framework/Classes.h"
#include "framework/SyncObjs.h"

namespace {

// Serves the main thread's side until Done holds or five seconds pass.
bool ServeUntil(const std::function<bool()>& Done) {
  for (int I = 0; I < 500 && !Done(); ++I) CheckSynchronize(10);
  return Done();
}

class TLambdaThread : public TThread {
  DECLARE_CLASS(TLambdaThread, TThread)
 public:
  TLambdaThread(bool CreateSuspended, std::function<void(TLambdaThread*)> Body)
      : TThread(CreateSuspended), FBody(std::move(Body)) {}
  ~TLambdaThread() override {
    if (GetStarted() && !GetFinished() && !GetFreeOnTerminate()) {
      Terminate();
      WaitFor();
    }
    if (Destroyed) *Destroyed = true;
  }
  using TThread::SetReturnValue;
  using TThread::Synchronize;
  bool IsTerminated() const { return Terminated(); }
  std::atomic<bool>* Destroyed = nullptr;

 protected:
  void Execute() override { FBody(this); }

 private:
  std::function<void(TLambdaThread*)> FBody;
};

TEST(Thread, SynchronizeRunsOnTheMainThreadWhileTheWorkerWaits) {
  std::atomic<int> Step{0};
  TThreadID RanOn = 0;
  auto* T = TThread::Create<TLambdaThread>(false, [&](TLambdaThread* Self) {
    Self->Synchronize([&] {
      RanOn = GetCurrentThreadId();
      Step = 1;
    });
    EXPECT_EQ(Step, 1) << "the worker resumes after the call";
    Step = 2;
  });
  EXPECT_TRUE(ServeUntil([&] { return Step == 2; }));
  EXPECT_EQ(RanOn, MainThreadID);
  T->WaitFor();
  delete T;
}

TEST(Thread, WaitForOnTheMainThreadServesSynchronizeAndOnTerminate) {
  std::vector<String> Log;
  auto* T = new TLambdaThread(true, [&](TLambdaThread* Self) {
    for (int I = 0; I < 3; ++I) Self->Synchronize([&, I] { Log.push_back(L"sync" + std::to_wstring(I)); });
    Self->SetReturnValue(42);
  });
  TThreadID TerminateOn = 0;
  T->SetOnTerminate([&](TObject* Sender) {
    EXPECT_EQ(Sender, T);
    TerminateOn = GetCurrentThreadId();
    Log.push_back(L"terminate");
  });
  EXPECT_TRUE(T->GetSuspended());
  T->Start();
  EXPECT_THROW(T->Start(), EThread);
  EXPECT_EQ(T->WaitFor(), 42u);  // would deadlock if WaitFor did not serve the worker
  EXPECT_TRUE(T->GetFinished());
  EXPECT_EQ(Log, (std::vector<String>{L"sync0", L"sync1", L"sync2", L"terminate"}));
  EXPECT_EQ(TerminateOn, MainThreadID);
  delete T;
}

TEST(Thread, QueuedCallsRunInOrderWithoutTheWorkerWaiting) {
  std::vector<int> Order;
  std::atomic<bool> WorkerDone{false};
  auto* T = TThread::Create<TLambdaThread>(false, [&](TLambdaThread*) {
    for (int I = 1; I <= 5; ++I) TThread::Queue(nullptr, [&, I] { Order.push_back(I); });
    WorkerDone = true;
  });
  EXPECT_TRUE(ServeUntil([&] { return WorkerDone.load(); }));
  EXPECT_TRUE(ServeUntil([&] { return Order.size() == 5; }));
  EXPECT_EQ(Order, (std::vector<int>{1, 2, 3, 4, 5}));
  T->WaitFor();
  delete T;
  bool RanNow = false;
  TThread::Queue(nullptr, [&] { RanNow = true; });
  EXPECT_TRUE(RanNow) << "on the main thread a queued call runs at once";
  TThread::ForceQueue(nullptr, [&] { Order.push_back(6); });
  EXPECT_EQ(Order.size(), 5u);
  EXPECT_TRUE(CheckSynchronize());
  EXPECT_EQ(Order.back(), 6);
  EXPECT_FALSE(CheckSynchronize());
}

TEST(Thread, WakeMainThreadIsToldOfEveryRequest) {
  std::atomic<int> Wakes{0};
  WakeMainThread = [&](TObject*) { ++Wakes; };
  auto* T = TThread::Create<TLambdaThread>(false, [&](TLambdaThread* Self) {
    Self->Queue([] {});
    Self->Synchronize([] {});
  });
  T->WaitFor();
  WakeMainThread = nullptr;
  EXPECT_EQ(Wakes, 2);
  delete T;
}

TEST(Thread, QueuedCallsOfADestroyedThreadAreDropped) {
  bool Ran = false;
  auto* T = TThread::Create<TLambdaThread>(false, [&](TLambdaThread* Self) { Self->Queue([&] { Ran = true; }); });
  while (!T->GetFinished()) TThread::Sleep(1);
  delete T;
  CheckSynchronize();
  EXPECT_FALSE(Ran);
}

TEST(Thread, FreeOnTerminateThreadFreesItself) {
  std::atomic<bool> Destroyed{false};
  bool Terminated = false;
  auto* T = new TLambdaThread(true, [](TLambdaThread*) {});
  T->Destroyed = &Destroyed;
  T->SetFreeOnTerminate(true);
  T->SetOnTerminate([&](TObject*) { Terminated = true; });
  EXPECT_THROW(T->WaitFor(), EThread);
  T->Start();
  EXPECT_TRUE(ServeUntil([&] { return Destroyed.load(); }));
  EXPECT_TRUE(Terminated);
}

TEST(Thread, ExceptionsAreCapturedOrPassedBack) {
  auto* T = TThread::Create<TLambdaThread>(false, [](TLambdaThread*) { throw EConvertError(L"bad number"); });
  T->WaitFor();
  ASSERT_NE(T->GetFatalException(), nullptr);
  EXPECT_EQ(T->GetFatalException()->Message(), L"bad number");
  EXPECT_TRUE(T->GetFatalException()->InheritsFrom(EConvertError::StaticClass()));
  delete T;
  String Caught;
  auto* S = TThread::Create<TLambdaThread>(false, [&](TLambdaThread* Self) {
    try {
      Self->Synchronize([] { throw EAbort(L"from main"); });
    } catch (const EAbort& E) {
      Caught = E.Message();
    }
  });
  S->WaitFor();
  EXPECT_EQ(Caught, L"from main");
  EXPECT_EQ(S->GetFatalException(), nullptr);
  delete S;
}

TEST(Thread, TerminateBeforeStartSkipsExecuteAndUnstartedThreadsCanBeFreed) {
  bool Ran = false;
  auto* T = new TLambdaThread(true, [&](TLambdaThread*) { Ran = true; });
  T->Terminate();
  T->Start();
  T->WaitFor();
  EXPECT_FALSE(Ran);
  delete T;
  auto* Never = new TLambdaThread(true, [&](TLambdaThread*) { Ran = true; });
  EXPECT_THROW(Never->WaitFor(), EThread);
  delete Never;
  EXPECT_FALSE(Ran);
}

TEST(Thread, CurrentThreadAndTerminatedFlag) {
  EXPECT_TRUE(TThread::CurrentThread()->GetExternalThread());
  EXPECT_EQ(TThread::CurrentThread()->GetThreadID(), MainThreadID);
  TThread* Seen = nullptr;
  std::atomic<bool> Started{false};
  auto* T = TThread::Create<TLambdaThread>(false, [&](TLambdaThread* Self) {
    Seen = TThread::CurrentThread();
    Started = true;
    while (!Self->IsTerminated()) TThread::Sleep(1);
    EXPECT_THROW(CheckSynchronize(), EThread);
  });
  while (!Started) TThread::Sleep(1);
  EXPECT_EQ(Seen, T);
  T->Terminate();
  T->WaitFor();
  delete T;
}

TEST(SyncObjs, EventWaitsUntilSignaledOrTimeout) {
  TSimpleEvent E;
  EXPECT_EQ(E.WaitFor(10), wrTimeout);
  auto* T = TThread::Create<TLambdaThread>(false, [&](TLambdaThread*) { E.SetEvent(); });
  EXPECT_EQ(E.WaitFor(5000), wrSignaled);
  EXPECT_EQ(E.WaitFor(0), wrSignaled) << "manual reset";
  E.ResetEvent();
  EXPECT_EQ(E.WaitFor(0), wrTimeout);
  T->WaitFor();
  delete T;
  TEvent AutoReset(nullptr, false, true, String());
  EXPECT_EQ(AutoReset.WaitFor(0), wrSignaled);
  EXPECT_EQ(AutoReset.WaitFor(0), wrTimeout);
}

TEST(SyncObjs, CriticalSectionSerializesThreads) {
  TCriticalSection Lock;
  int Counter = 0;
  std::vector<TLambdaThread*> Threads;
  for (int I = 0; I < 4; ++I)
    Threads.push_back(TThread::Create<TLambdaThread>(false, [&](TLambdaThread*) {
      for (int J = 0; J < 10000; ++J) {
        Lock.Enter();
        int V = Counter;
        Counter = V + 1;
        Lock.Leave();
      }
    }));
  for (auto* T : Threads) {
    T->WaitFor();
    delete T;
  }
  EXPECT_EQ(Counter, 40000);
  EXPECT_TRUE(Lock.TryEnter());
  Lock.Release();
}

}  // namespace
