#pragma once
// Answers a modal box of the test's own process: a thread timer, which the box's own modal loop
// dispatches, runs Act once on the first active window of one of the classes. A box still open a
// few seconds later is closed, so that a failing test ends.

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "framework/WinApi.h"

class TBoxDriver {
 public:
  TBoxDriver(std::initializer_list<const wchar_t*> Classes, std::function<void(HWND)> Act)
      : FClasses(Classes.begin(), Classes.end()), FAct(std::move(Act)) {
    Current = this;
    FTimer = SetTimer(nullptr, 0, 30, &Tick);
    FStart = GetTickCount();
  }
  ~TBoxDriver() {
    KillTimer(nullptr, FTimer);
    Current = nullptr;
  }
  TBoxDriver(const TBoxDriver&) = delete;
  TBoxDriver& operator=(const TBoxDriver&) = delete;

  bool Acted = false;

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    TBoxDriver* D = Current;
    if (!D) return;
    HWND Box = GetActiveWindow();
    wchar_t Class[64] = {};
    if (Box) GetClassNameW(Box, Class, 64);
    bool IsBox = false;
    for (const std::wstring& C : D->FClasses) IsBox = IsBox || C == Class;
    if (IsBox && !D->Acted) {
      D->Acted = true;
      D->FAct(Box);
    } else if (IsBox && GetTickCount() - D->FStart > 5000) {
      PostMessageW(Box, WM_CLOSE, 0, 0);
    }
  }
  static inline TBoxDriver* Current = nullptr;
  std::vector<std::wstring> FClasses;
  std::function<void(HWND)> FAct;
  UINT_PTR FTimer = 0;
  DWORD FStart = 0;
};

// Presses and releases a key in the box (at its focused control, if any).
inline void PostKey(HWND Box, WPARAM Key) {
  HWND Target = GetFocus() ? GetFocus() : Box;
  PostMessageW(Target, WM_KEYDOWN, Key, 1);
  PostMessageW(Target, WM_KEYUP, Key, 0xC0000001);
}
