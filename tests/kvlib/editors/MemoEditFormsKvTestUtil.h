#pragma once
// Answers the shared memo editor window once it shows modally: a window timer, dispatched by the
// modal loop, hands the window to the test's action (which clicks OK or Cancel).

#include <functional>

#include "framework/controls/ControlsTestUtil.h"
#include "kvlib/editors/MemoEditFormsKv.h"

struct TMemoModalAnswer {
  explicit TMemoModalAnswer(std::function<void(TMemoEditWinKv*)> AAction) {
    Action() = std::move(AAction);
    ShownCount() = 0;
    Timer = SetTimer(nullptr, 0, 20, &Tick);
  }
  ~TMemoModalAnswer() {
    KillTimer(nullptr, Timer);
    Action() = nullptr;
  }
  // How often the window was answered, read after the modal call returned.
  int Shown() const { return ShownCount(); }
  UINT_PTR Timer;

  static std::function<void(TMemoEditWinKv*)>& Action() {
    static std::function<void(TMemoEditWinKv*)> A;
    return A;
  }
  static int& ShownCount() {
    static int N = 0;
    return N;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    TCustomDropDownFormKv* W = TCustomDropDownFormKv::GetGlobalRef(TMemoEditWinKv::StaticClass());
    if (!W || !W->GetVisible() || W->GetDropDownMode() || !Action()) return;
    ++ShownCount();
    auto A = std::move(Action());
    Action() = nullptr;
    A(static_cast<TMemoEditWinKv*>(W));
  }
};
