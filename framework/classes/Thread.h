#pragma once
// TThread: a worker thread with the framework's way back to the main thread. Synchronize runs a
// method on the main thread while the worker waits; Queue leaves one there without waiting.
// The main thread serves both in CheckSynchronize: the application's message loop calls it
// when idle and whenever WakeMainThread tells it a request is waiting (the loop assigns
// WakeMainThread a handler that posts itself a message). TThread::WaitFor called on the main
// thread serves them too, so a worker blocked in Synchronize never deadlocks a waiting main thread.

#include <exception>

#include "framework/System.h"

using TThreadMethod = Closure<void()>;  // a bound method or any callable
using TThreadProcedure = TThreadMethod;
using TThreadID = Cardinal;

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread : public TObject {
  DECLARE_CLASS(TThread, TObject)
 public:
  // The thread is made suspended. A descendant is complete only after this constructor has
  // returned, so a thread created with CreateSuspended = false starts in AfterConstruction:
  // make such threads with `TThread::Create<TMyThread>(Args...)`, or call Start yourself.
  explicit TThread(bool CreateSuspended);
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;
  // Terminates and waits for a running thread. By then a descendant's own members are gone:
  // a descendant whose Execute uses them while it may still run calls Terminate and WaitFor in
  // its own destructor. While it waits on the main thread, it serves only this thread's own
  // Synchronize calls (what they raise goes back to the thread); calls queued by it are dropped
  // and others' wait for the message loop, so no queued code runs (and raises) in a destructor.
  ~TThread() override;

  template <class T, class... A>
  static T* Create(A&&... Args) {
    T* Thread = new T(std::forward<A>(Args)...);
    Thread->AfterConstruction();
    return Thread;
  }
  void AfterConstruction() override;

  // Raises EThread when the thread was started already.
  void Start();
  // Asks Execute to stop: it polls Terminated.
  void Terminate();
  // Waits for the end of Execute and answers ReturnValue. Raises EThread for a thread not
  // started, one that frees itself (FreeOnTerminate), or the thread itself.
  Cardinal WaitFor();

  // Runs Method on the main thread and waits for it; on the main thread it runs at once. An
  // exception raised by Method is raised again in the caller.
  void Synchronize(const TThreadMethod& Method) { Synchronize(this, Method); }
  static void Synchronize(TThread* AThread, const TThreadMethod& Method);
  // Runs Method on the main thread later, in the order queued (at once on the main thread).
  // Calls queued with a thread are dropped when that thread is destroyed first.
  void Queue(const TThreadMethod& Method) { Queue(this, Method); }
  static void Queue(TThread* AThread, const TThreadMethod& Method);
  // Queues even on the main thread.
  static void ForceQueue(TThread* AThread, const TThreadMethod& Method);
  static void RemoveQueuedEvents(TThread* AThread);
  // The running thread's object; threads the framework did not start get one of their own.
  static TThread* CurrentThread();
  // Whether the current thread's object was asked to terminate.
  static bool CheckTerminated();
  static void Sleep(Integer Timeout);
  static void Yield();

  bool GetTerminated() const { return FTerminated.load(); }
  bool GetFinished() const { return FFinished.load(); }
  bool GetStarted() const { return FStarted.load(); }
  bool GetSuspended() const { return !FExternalThread && !FStarted.load(); }
  bool GetExternalThread() const { return FExternalThread; }
  TThreadID GetThreadID() const { return FThreadID; }
  NativeUInt GetHandle() const { return FHandle; }
  TThreadPriority GetPriority() const;
  void SetPriority(TThreadPriority Value);
  bool GetFreeOnTerminate() const { return FFreeOnTerminate; }
  void SetFreeOnTerminate(bool Value) { FFreeOnTerminate = Value; }
  Integer GetReturnValue() const { return FReturnValue; }
  TNotifyEvent GetOnTerminate() const { return FOnTerminate; }
  void SetOnTerminate(const TNotifyEvent& Value) { FOnTerminate = Value; }
  // What escaped Execute: the framework exception (nil for anything else) and the raw one.
  const Exception* GetFatalException() const { return FFatalExceptionObject; }
  std::exception_ptr GetFatalExceptionPtr() const { return FFatalException; }

 protected:
  struct TExternalTag {};
  explicit TThread(TExternalTag);

  virtual void Execute() = 0;
  // Fires OnTerminate on the main thread.
  virtual void DoTerminate();
  // Called in the thread that calls Terminate.
  virtual void TerminatedSet() {}
  void SetReturnValue(Integer Value) { FReturnValue = Value; }
  bool Terminated() const { return FTerminated.load(); }

 private:
  friend struct TThreadRunner;
  void WaitForEnd() noexcept;
  void ServeOwnSynchronize() noexcept;
  NativeUInt FHandle = 0;
  TThreadID FThreadID = 0;
  bool FCreateSuspended = false;
  bool FExternalThread = false;
  bool FFreeOnTerminate = false;
  std::atomic<bool> FStarted{false};
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FCancelled{false};  // destroyed before it was started
  Integer FReturnValue = 0;
  TNotifyEvent FOnTerminate;
  std::exception_ptr FFatalException;
  const Exception* FFatalExceptionObject = nullptr;
};

// The main thread's id, taken when the program starts.
extern TThreadID MainThreadID;
// Assigned by the application's message loop; called (Sender: the requesting thread or nil)
// from any thread that leaves work for the main thread. Reading, writing and calling it are
// synchronised, and the handler runs under that lock: once it is cleared or replaced, no thread
// runs the old one any more, so the old handler's object may go.
class TWakeMainThread {
 public:
  TWakeMainThread& operator=(const TNotifyEvent& Value);
  TWakeMainThread& operator=(std::nullptr_t);
  explicit operator bool() const;
  void operator()(TObject* Sender) const;
};
extern TWakeMainThread WakeMainThread;
// Runs the requests waiting for the main thread, after waiting up to Timeout ms for one;
// true when it ran any. Raises EThread on any other thread. A queued call that raises passes
// its exception on; the calls after it stay queued.
bool CheckSynchronize(Integer Timeout = 0);
// A manual-reset event (a HANDLE) that is set while requests wait; a message loop may wait on it.
NativeUInt SyncEvent();
