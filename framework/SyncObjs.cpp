#include "framework/SyncObjs.h"

#include "framework/WinApi.h"

static_assert(sizeof(CRITICAL_SECTION) <= 40, "the critical section fits its storage");

TWaitResult TSynchroObject::WaitFor(Cardinal) { throw ENotImplemented(L"WaitFor is not supported by " + ClassName()); }

TCriticalSection::TCriticalSection() { InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(FSection)); }
TCriticalSection::~TCriticalSection() { DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(FSection)); }
void TCriticalSection::Acquire() { EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(FSection)); }
void TCriticalSection::Release() { LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(FSection)); }
bool TCriticalSection::TryEnter() { return TryEnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(FSection)) != 0; }

THandleObject::~THandleObject() {
  if (FHandle) CloseHandle(reinterpret_cast<HANDLE>(FHandle));
}

TWaitResult THandleObject::WaitFor(Cardinal Timeout) {
  switch (WaitForSingleObject(reinterpret_cast<HANDLE>(FHandle), Timeout)) {
    case WAIT_OBJECT_0: return wrSignaled;
    case WAIT_TIMEOUT: return wrTimeout;
    case WAIT_ABANDONED: return wrAbandoned;
    default:
      FLastError = ::GetLastError();
      return wrError;
  }
}

TEvent::TEvent(void* EventAttributes, bool ManualReset, bool InitialState, const String& Name, bool) {
  HANDLE H = CreateEventW(static_cast<SECURITY_ATTRIBUTES*>(EventAttributes), ManualReset, InitialState,
                          Name.empty() ? nullptr : Name.c_str());
  if (!H) RaiseLastOSError();
  FHandle = reinterpret_cast<NativeUInt>(H);
}

TEvent::TEvent(bool UseCOMWait) : TEvent(nullptr, true, false, String(), UseCOMWait) {}

void TEvent::SetEvent() { ::SetEvent(reinterpret_cast<HANDLE>(FHandle)); }
void TEvent::ResetEvent() { ::ResetEvent(reinterpret_cast<HANDLE>(FHandle)); }
