#pragma once
// Drives a modal dialog from a timer while its loop runs: the framework's own modal loop and the
// system's dialog loops both dispatch the timer's messages. Each tick runs the next step until
// one answers true; a dialog left open after a few seconds is cancelled so a failing test ends.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"

namespace dlgtest {

// The visible system dialog (class #32770) of this thread, or null.
inline HWND FindSystemDialog() {
  HWND Found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND Wnd, LPARAM Data) -> BOOL {
        wchar_t Class[32] = {};
        GetClassNameW(Wnd, Class, 32);
        if (IsWindowVisible(Wnd) && wcscmp(Class, L"#32770") == 0) {
          *reinterpret_cast<HWND*>(Data) = Wnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&Found));
  return Found;
}

inline String WindowText(HWND Wnd) {
  wchar_t B[512] = {};
  GetWindowTextW(Wnd, B, 512);
  return B;
}

inline void PostKey(HWND Wnd, Word Key) {
  PostMessageW(Wnd, WM_KEYDOWN, Key, 1);
  PostMessageW(Wnd, WM_KEYUP, Key, LPARAM(0xC0000001));
}

inline void PostText(HWND Wnd, const String& Text) {
  for (wchar_t C : Text) PostMessageW(Wnd, WM_CHAR, C, 1);
}

class TDialogDriver {
 public:
  using TStep = std::function<bool()>;
  explicit TDialogDriver(std::vector<TStep> Steps) : FSteps(std::move(Steps)), FTimer(new TTimer(nullptr)) {
    FTimer->SetInterval(20);
    FTimer->SetOnTimer([this](TObject*) { Tick(); });
  }
  ~TDialogDriver() { delete FTimer; }
  TDialogDriver(const TDialogDriver&) = delete;
  TDialogDriver& operator=(const TDialogDriver&) = delete;

  // Every step ran.
  bool Finished() const { return FNext == FSteps.size(); }

 private:
  void Tick() {
    if (Finished()) {
      FTimer->SetEnabled(false);
      return;
    }
    if (++FTicks > 1500) {
      // Nothing answered in thirty seconds (the folder browser is slow on a busy machine): close what is open and fail.
      FTimer->SetEnabled(false);
      ADD_FAILURE() << "the dialog was not driven to its end (step " << FNext << ")";
      if (HWND Dlg = FindSystemDialog()) PostMessageW(Dlg, WM_COMMAND, IDCANCEL, 0);
      else if (TCustomForm* F = Screen->GetActiveForm()) F->SetModalResult(mrCancel);
      return;
    }
    if (FSteps[FNext]()) ++FNext;
  }

  std::vector<TStep> FSteps;
  size_t FNext = 0;
  Integer FTicks = 0;
  TTimer* FTimer;
};

}  // namespace dlgtest
