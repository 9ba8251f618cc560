// The reference for the wizard's start-up: the least a Win32 program does to show one window.
#include <windows.h>

static LRESULT CALLBACK WindowProc(HWND Window, UINT Msg, WPARAM W, LPARAM L) {
  if (Msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(Window, Msg, W, L);
}

int WINAPI wWinMain(HINSTANCE Instance, HINSTANCE, LPWSTR, int Show) {
  WNDCLASSW Class{};
  Class.lpfnWndProc = WindowProc;
  Class.hInstance = Instance;
  Class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  Class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  Class.lpszClassName = L"QalMinimalWindow";
  RegisterClassW(&Class);
  HWND Window = CreateWindowExW(0, Class.lpszClassName, L"Minimal", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                851, 585, nullptr, nullptr, Instance, nullptr);
  ShowWindow(Window, Show);
  UpdateWindow(Window);
  MSG Msg;
  while (GetMessageW(&Msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
  }
  return 0;
}
