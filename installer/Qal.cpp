// The program file: starts the framework and the wizard's main window, runs the message loop,
// and ends the framework before the program's static objects go.
#include "framework/Forms.h"
#include "framework/Themes.h"
#include "framework/WinApi.h"
#include "framework/System.h"

namespace {
LRESULT CALLBACK MainWndProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L) {
  if (Msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(Wnd, Msg, W, L);
}

int RunWizard(HINSTANCE Instance, int Show) {
  WNDCLASSW Wc = {};
  Wc.lpfnWndProc = MainWndProc;
  Wc.hInstance = Instance;
  Wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  Wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  Wc.lpszClassName = L"TfrmQalMain";
  RegisterClassW(&Wc);
  HWND Wnd = CreateWindowExW(0, Wc.lpszClassName, L"Zelkor SQL (Kurulum Sihirbazı)", WS_OVERLAPPEDWINDOW,
                             CW_USEDEFAULT, CW_USEDEFAULT, 800, 600, nullptr, nullptr, Instance, nullptr);
  if (!Wnd) return 1;
  ShowWindow(Wnd, Show);
  MSG Msg;
  while (GetMessageW(&Msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
  }
  return 0;
}
}  // namespace

int WINAPI wWinMain(HINSTANCE Instance, HINSTANCE, LPWSTR, int Show) {
  FrameworkStartup();
  // When the style cannot be selected the style manager shows why, and the wizard goes on unstyled.
  TStyleManager::TrySetStyle(L"Material Black Pearl");
  int Result = RunWizard(Instance, Show);
  FrameworkShutdown();
  return Result;
}
