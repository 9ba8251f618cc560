#include "framework/Windows.h"

#include <vector>

#include "framework/WinApi.h"

namespace {

// Runs the caller's procedure; an exception it raises waits until the system's enumeration is
// out of the way, since it must not unwind through the system's frames.
struct TEnumState {
  const std::function<bool(NativeUInt)>* Proc;
  std::exception_ptr Error;
};

BOOL CALLBACK EnumProc(HWND Wnd, LPARAM Data) {
  auto* State = reinterpret_cast<TEnumState*>(Data);
  try {
    return (*State->Proc)(reinterpret_cast<NativeUInt>(Wnd)) ? TRUE : FALSE;
  } catch (...) {
    State->Error = std::current_exception();
    return FALSE;
  }
}

}  // namespace

void EnumTopLevelWindows(const std::function<bool(NativeUInt Wnd)>& Proc) {
  TEnumState State{&Proc, nullptr};
  EnumWindows(&EnumProc, reinterpret_cast<LPARAM>(&State));
  if (State.Error) std::rethrow_exception(State.Error);
}

String WindowText(NativeUInt Wnd, Integer MaxLength) {
  if (MaxLength <= 0) return String();
  std::vector<wchar_t> Buffer(size_t(MaxLength) + 1, L'\0');
  int Length = GetWindowTextW(reinterpret_cast<HWND>(Wnd), Buffer.data(), MaxLength + 1);
  return String(Buffer.data(), size_t(Length > 0 ? Length : 0));
}

String WindowClassName(NativeUInt Wnd, Integer MaxLength) {
  if (MaxLength <= 0) return String();
  std::vector<wchar_t> Buffer(size_t(MaxLength) + 1, L'\0');
  int Length = GetClassNameW(reinterpret_cast<HWND>(Wnd), Buffer.data(), MaxLength + 1);
  return String(Buffer.data(), size_t(Length > 0 ? Length : 0));
}

bool WindowVisible(NativeUInt Wnd) { return IsWindowVisible(reinterpret_cast<HWND>(Wnd)) != FALSE; }

Cardinal WindowProcessId(NativeUInt Wnd) {
  DWORD Id = 0;
  GetWindowThreadProcessId(reinterpret_cast<HWND>(Wnd), &Id);
  return Id;
}
