#include "framework/classes/Thread.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <process.h>

#include "framework/WinApi.h"

TThreadID MainThreadID = GetCurrentThreadId();
TWakeMainThread WakeMainThread;

namespace {

struct TWakeState {
  std::recursive_mutex Lock;  // recursive: the handler may look at or replace itself
  TNotifyEvent Handler;
};

TWakeState& Wake() {
  static auto* W = new TWakeState;  // never freed: worker threads may outlive static destruction
  return *W;
}

}  // namespace

TWakeMainThread& TWakeMainThread::operator=(const TNotifyEvent& Value) {
  std::lock_guard<std::recursive_mutex> G(Wake().Lock);
  Wake().Handler = Value;
  return *this;
}

TWakeMainThread& TWakeMainThread::operator=(std::nullptr_t) {
  std::lock_guard<std::recursive_mutex> G(Wake().Lock);
  Wake().Handler = nullptr;
  return *this;
}

TWakeMainThread::operator bool() const {
  std::lock_guard<std::recursive_mutex> G(Wake().Lock);
  return bool(Wake().Handler);
}

void TWakeMainThread::operator()(TObject* Sender) const {
  std::lock_guard<std::recursive_mutex> G(Wake().Lock);
  if (Wake().Handler) Wake().Handler(Sender);
}

namespace {

struct TSyncRequest {
  TThread* Thread = nullptr;
  TThreadID Caller = 0;  // the thread that asked
  TThreadMethod Method;
  bool Queued = false;
  std::mutex Lock;
  std::condition_variable Done;
  bool Finished = false;
  std::exception_ptr Error;
};

struct TSyncState {
  std::mutex Lock;
  std::deque<std::shared_ptr<TSyncRequest>> List;
  HANDLE Event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

TSyncState& Sync() {
  static TSyncState* S = new TSyncState;  // never freed: worker threads may outlive static destruction
  return *S;
}

void Post(const std::shared_ptr<TSyncRequest>& R) {
  {
    std::lock_guard<std::mutex> G(Sync().Lock);
    Sync().List.push_back(R);
  }
  SetEvent(Sync().Event);
  WakeMainThread(R->Thread);
}

bool IsMainThread() { return GetCurrentThreadId() == MainThreadID; }

thread_local TThread* GCurrentThread = nullptr;

class TExternalThread : public TThread {
  DECLARE_CLASS(TExternalThread, TThread)
 public:
  TExternalThread() : TThread(TExternalTag{}) {}

 protected:
  void Execute() override {}
};

thread_local std::unique_ptr<TExternalThread> GExternalThread;

const int Priorities[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_BELOW_NORMAL,
                          THREAD_PRIORITY_NORMAL,       THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                          THREAD_PRIORITY_TIME_CRITICAL};

}  // namespace

struct TThreadRunner {
  static unsigned __stdcall Run(void* P) {
    TThread* T = static_cast<TThread*>(P);
    if (T->FCancelled) return 0;
    GCurrentThread = T;
    try {
      if (!T->FTerminated) T->Execute();
    } catch (const Exception& E) {
      T->FFatalException = std::current_exception();
      T->FFatalExceptionObject = &E;  // kept alive by FFatalException
    } catch (...) {
      T->FFatalException = std::current_exception();
    }
    unsigned Result = static_cast<unsigned>(T->FReturnValue);
    bool FreeThread = T->FFreeOnTerminate;
    try {
      T->DoTerminate();
    } catch (...) {
      if (!T->FFatalException) T->FFatalException = std::current_exception();
    }
    T->FFinished = true;
    SetEvent(Sync().Event);  // a main thread in WaitFor looks again
    GCurrentThread = nullptr;
    if (FreeThread) delete T;
    return Result;
  }
};

// ---- TThread ----------------------------------------------------------------------------------

TThread::TThread(bool CreateSuspended) : FCreateSuspended(CreateSuspended) {
  unsigned Id = 0;
  uintptr_t H = _beginthreadex(nullptr, 0, &TThreadRunner::Run, this, CREATE_SUSPENDED, &Id);
  if (!H) throw EThread(L"Thread creation error: " + std::to_wstring(errno));
  FHandle = static_cast<NativeUInt>(H);
  FThreadID = Id;
}

TThread::TThread(TExternalTag) : FExternalThread(true) {
  FThreadID = GetCurrentThreadId();
  FStarted = true;
}

TThread::~TThread() {
  if (!FExternalThread && FHandle) {
    HANDLE H = reinterpret_cast<HANDLE>(FHandle);
    if (!FStarted) {
      FCancelled = true;  // the thread returns without running Execute
      ResumeThread(H);
      WaitForSingleObject(H, INFINITE);
    } else if (!FFinished && GetCurrentThreadId() != FThreadID) {
      Terminate();
      FFreeOnTerminate = false;
      WaitForEnd();
    }
    CloseHandle(H);
  }
  RemoveQueuedEvents(this);
}

void TThread::AfterConstruction() {
  if (!FCreateSuspended && !FStarted) Start();
}

void TThread::Start() {
  if (FExternalThread) throw EThread(L"Cannot call Start on an external thread");
  if (FStarted.exchange(true)) throw EThread(L"Cannot call Start on a running or suspended thread");
  ResumeThread(reinterpret_cast<HANDLE>(FHandle));
}

void TThread::Terminate() {
  FTerminated = true;
  TerminatedSet();
}

Cardinal TThread::WaitFor() {
  if (FExternalThread) throw EThread(L"Cannot call WaitFor on an external thread");
  if (!FStarted) throw EThread(L"Cannot call WaitFor on a thread that was not started");
  // Such a thread frees itself, handle included, while the caller would still wait on it.
  if (FFreeOnTerminate) throw EThread(L"Cannot call WaitFor on a thread that frees itself");
  if (GetCurrentThreadId() == FThreadID) throw EThread(L"A thread cannot wait for itself");
  HANDLE H[2] = {reinterpret_cast<HANDLE>(FHandle), Sync().Event};
  if (IsMainThread()) {
    DWORD R = 0;
    do {
      if (R == WAIT_OBJECT_0 + 2) {
        // Lets a worker's SendMessage to this thread's windows through.
        MSG Msg;
        PeekMessageW(&Msg, nullptr, 0, 0, PM_NOREMOVE);
      }
      R = MsgWaitForMultipleObjects(2, H, FALSE, 1000, QS_SENDMESSAGE);
      if (R == WAIT_FAILED) RaiseLastOSError();
      if (R == WAIT_OBJECT_0 + 1) CheckSynchronize();
    } while (R != WAIT_OBJECT_0);
  } else {
    WaitForSingleObject(H[0], INFINITE);
  }
  DWORD Code = 0;
  GetExitCodeThread(H[0], &Code);
  return Code;
}

void TThread::WaitForEnd() noexcept {
  HANDLE H[2] = {reinterpret_cast<HANDLE>(FHandle), Sync().Event};
  if (!IsMainThread()) {
    WaitForSingleObject(H[0], INFINITE);
    return;
  }
  DWORD R = 0;
  do {
    if (R == WAIT_OBJECT_0 + 2) {
      MSG Msg;
      PeekMessageW(&Msg, nullptr, 0, 0, PM_NOREMOVE);
    }
    if (R == WAIT_OBJECT_0 + 1) ServeOwnSynchronize();
    R = MsgWaitForMultipleObjects(2, H, FALSE, 1000, QS_SENDMESSAGE);
  } while (R != WAIT_OBJECT_0 && R != WAIT_FAILED);
  if (R == WAIT_FAILED) WaitForSingleObject(H[0], INFINITE);
  std::lock_guard<std::mutex> G(Sync().Lock);
  if (!Sync().List.empty()) SetEvent(Sync().Event);  // the others' requests wait for the loop
}

void TThread::ServeOwnSynchronize() noexcept {
  TSyncState& S = Sync();
  ResetEvent(S.Event);
  for (;;) {
    std::shared_ptr<TSyncRequest> R;
    {
      std::lock_guard<std::mutex> G(S.Lock);
      auto It = std::find_if(S.List.begin(), S.List.end(),
                             [this](const auto& Q) { return !Q->Queued && Q->Caller == FThreadID; });
      if (It == S.List.end()) return;
      R = *It;
      S.List.erase(It);
    }
    try {
      R->Method();
    } catch (...) {
      R->Error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> G(R->Lock);
      R->Finished = true;
    }
    R->Done.notify_all();
  }
}

void TThread::DoTerminate() {
  if (FOnTerminate) Synchronize([this] { DoEvent(FOnTerminate, this); });
}

TThreadPriority TThread::GetPriority() const {
  int P = GetThreadPriority(reinterpret_cast<HANDLE>(FExternalThread ? NativeUInt(GetCurrentThread()) : FHandle));
  for (int I = 0; I < int(std::size(Priorities)); ++I)
    if (Priorities[I] == P) return TThreadPriority(I);
  return tpNormal;
}

void TThread::SetPriority(TThreadPriority Value) {
  if (!SetThreadPriority(reinterpret_cast<HANDLE>(FHandle), Priorities[Value])) RaiseLastOSError();
}

void TThread::Synchronize(TThread* AThread, const TThreadMethod& Method) {
  if (IsMainThread()) {
    Method();
    return;
  }
  auto R = std::make_shared<TSyncRequest>();
  R->Thread = AThread;
  R->Caller = GetCurrentThreadId();
  R->Method = Method;
  Post(R);
  std::unique_lock<std::mutex> G(R->Lock);
  R->Done.wait(G, [&] { return R->Finished; });
  if (R->Error) std::rethrow_exception(R->Error);
}

void TThread::Queue(TThread* AThread, const TThreadMethod& Method) {
  if (IsMainThread()) {
    Method();
    return;
  }
  ForceQueue(AThread, Method);
}

void TThread::ForceQueue(TThread* AThread, const TThreadMethod& Method) {
  auto R = std::make_shared<TSyncRequest>();
  R->Thread = AThread;
  R->Method = Method;
  R->Queued = true;
  Post(R);
}

void TThread::RemoveQueuedEvents(TThread* AThread) {
  std::lock_guard<std::mutex> G(Sync().Lock);
  auto& L = Sync().List;
  for (auto It = L.begin(); It != L.end();)
    It = (*It)->Queued && (*It)->Thread == AThread ? L.erase(It) : It + 1;
}

TThread* TThread::CurrentThread() {
  if (GCurrentThread) return GCurrentThread;
  if (!GExternalThread) GExternalThread = std::make_unique<TExternalThread>();
  return GExternalThread.get();
}

bool TThread::CheckTerminated() { return CurrentThread()->GetTerminated(); }

void TThread::Sleep(Integer Timeout) { ::Sleep(static_cast<DWORD>(Timeout)); }

void TThread::Yield() { SwitchToThread(); }

// ---- The main thread's side -------------------------------------------------------------------

bool CheckSynchronize(Integer Timeout) {
  if (!IsMainThread())
    throw EThread(L"CheckSynchronize called from thread " + std::to_wstring(GetCurrentThreadId()) +
                  L", which is NOT the main thread");
  TSyncState& S = Sync();
  if (Timeout > 0) WaitForSingleObject(S.Event, static_cast<DWORD>(Timeout));
  ResetEvent(S.Event);
  size_t Count;
  {
    std::lock_guard<std::mutex> G(S.Lock);
    Count = S.List.size();
  }
  bool Result = false;
  // Only the requests present now: a call that queues another does not keep this loop busy.
  for (; Count > 0; --Count) {
    std::shared_ptr<TSyncRequest> R;
    {
      std::lock_guard<std::mutex> G(S.Lock);
      if (S.List.empty()) break;
      R = S.List.front();
      S.List.pop_front();
    }
    Result = true;
    if (R->Queued) {
      R->Method();
      continue;
    }
    try {
      R->Method();
    } catch (...) {
      R->Error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> G(R->Lock);
      R->Finished = true;
    }
    R->Done.notify_all();
  }
  return Result;
}

NativeUInt SyncEvent() { return reinterpret_cast<NativeUInt>(Sync().Event); }
