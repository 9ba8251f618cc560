#pragma once
// SyncObjs: critical sections and events for threads that share data.

#include "framework/System.h"

enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError, wrIOCompletion };

class TSynchroObject : public TObject {
  DECLARE_CLASS(TSynchroObject, TObject)
 public:
  TSynchroObject() = default;
  TSynchroObject(const TSynchroObject&) = delete;
  TSynchroObject& operator=(const TSynchroObject&) = delete;
  virtual void Acquire() {}
  virtual void Release() {}
  // Timeout in milliseconds; 0xFFFFFFFF (INFINITE) waits for ever.
  virtual TWaitResult WaitFor(Cardinal Timeout = 0xFFFFFFFF);
};

class TCriticalSection : public TSynchroObject {
  DECLARE_CLASS(TCriticalSection, TSynchroObject)
 public:
  TCriticalSection();
  ~TCriticalSection() override;
  void Acquire() override;
  void Release() override;
  bool TryEnter();
  void Enter() { Acquire(); }
  void Leave() { Release(); }

 private:
  alignas(8) unsigned char FSection[40];  // the system's CRITICAL_SECTION
};

// A Win32 kernel object waited on through its handle.
class THandleObject : public TSynchroObject {
  DECLARE_CLASS(THandleObject, TSynchroObject)
 public:
  ~THandleObject() override;
  TWaitResult WaitFor(Cardinal Timeout = 0xFFFFFFFF) override;
  NativeUInt GetHandle() const { return FHandle; }
  Cardinal GetLastError() const { return FLastError; }

 protected:
  THandleObject() = default;
  NativeUInt FHandle = 0;
  Cardinal FLastError = 0;
};

class TEvent : public THandleObject {
  DECLARE_CLASS(TEvent, THandleObject)
 public:
  // EventAttributes is a SECURITY_ATTRIBUTES* or nil; an empty Name makes an unnamed event.
  TEvent(void* EventAttributes, bool ManualReset, bool InitialState, const String& Name, bool UseCOMWait = false);
  // A manual-reset event, not signaled.
  explicit TEvent(bool UseCOMWait = false);
  void SetEvent();
  void ResetEvent();
};

// A manual-reset event, not signaled.
class TSimpleEvent : public TEvent {
  DECLARE_CLASS(TSimpleEvent, TEvent)
 public:
  TSimpleEvent() = default;
};
