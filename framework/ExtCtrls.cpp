#include "framework/ExtCtrls.h"

#include "framework/Forms.h"

namespace {
const wchar_t* TimerWindowClass = L"TTimerWindow";
constexpr UINT_PTR TimerID = 1;
}  // namespace

PUBLISHED_DEF(TTimer) {
  PROP(Enabled).Default(true);
  PROP(Interval).Default(1000);
  EVENT(OnTimer);
}

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
  static const bool Registered = [] {
    WNDCLASSW WC{};
    WC.lpfnWndProc = reinterpret_cast<WNDPROC>(&TTimer::WndProc);
    WC.hInstance = reinterpret_cast<HINSTANCE>(HInstance());
    WC.lpszClassName = TimerWindowClass;
    return RegisterClassW(&WC) != 0;
  }();
  (void)Registered;
  HWND Wnd = CreateWindowExW(0, TimerWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             reinterpret_cast<HINSTANCE>(HInstance()), nullptr);
  if (!Wnd) RaiseLastOSError();
  SetWindowLongPtrW(Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  FWindowHandle = Wnd;
}

TTimer::~TTimer() {
  FEnabled = false;
  HWND Wnd = static_cast<HWND>(FWindowHandle);
  if (Wnd) {
    KillTimer(Wnd, TimerID);
    SetWindowLongPtrW(Wnd, GWLP_USERDATA, 0);
    DestroyWindow(Wnd);
  }
}

void TTimer::UpdateTimer() {
  HWND Wnd = static_cast<HWND>(FWindowHandle);
  KillTimer(Wnd, TimerID);
  if (FInterval != 0 && FEnabled && FOnTimer && !SetTimer(Wnd, TimerID, FInterval, nullptr))
    throw EOutOfResources(L"Not enough timers available");
}

void TTimer::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  UpdateTimer();
}

void TTimer::SetInterval(Cardinal Value) {
  if (FInterval == Value) return;
  FInterval = Value;
  UpdateTimer();
}

void TTimer::SetOnTimer(const TNotifyEvent& Value) {
  FOnTimer = Value;
  UpdateTimer();
}

void TTimer::Timer() { DoEvent(FOnTimer, this); }

NativeInt __stdcall TTimer::WndProc(void* Wnd, Cardinal Msg, NativeUInt WParam, NativeInt LParam) {
  HWND W = static_cast<HWND>(Wnd);
  auto* Self = reinterpret_cast<TTimer*>(GetWindowLongPtrW(W, GWLP_USERDATA));
  if (Msg == WM_TIMER && Self) {
    // The handler may free the timer: its memory stays until the scope closes.
    TDispatchScope Scope(Self);
    try {
      if (Self->FEnabled) Self->Timer();
    } catch (...) {
      // Nothing may unwind through the system's frames, whatever the exception handler does.
      try {
        if (Application) Application->HandleException(Scope.Deleted() ? nullptr : Self);
      } catch (...) {
      }
    }
    return 0;
  }
  return DefWindowProcW(W, Msg, WParam, LParam);
}
