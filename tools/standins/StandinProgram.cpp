// A program of our own that the tests start in place of the programs the wizard runs. Copied
// under the name the wizard runs (initdb.exe, Ingenico.exe...), it appends to NAME.log beside
// itself the line "start", the working folder and the whole command line, and then behaves as
// NAME.standin beside it asks, one setting per line (no file: end at once with exit code 0):
//   exit=N                 the exit code
//   run=forever | run=MS   keep running until killed, or for MS milliseconds
//   window=CLASS|TITLE     show a top-level window of that class and title (several lines: several)
//   hidden=CLASS|TITLE     the same, never shown
//   close=ignore           a request to close a window (WM_CLOSE) is ignored
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring Base;  // the program's path without ".exe"
bool IgnoreClose = false;

std::string Utf8(const std::wstring& S) {
  int N = WideCharToMultiByte(CP_UTF8, 0, S.c_str(), int(S.size()), nullptr, 0, nullptr, nullptr);
  std::string R(size_t(N), '\0');
  WideCharToMultiByte(CP_UTF8, 0, S.c_str(), int(S.size()), R.data(), N, nullptr, nullptr);
  return R;
}

void Log(const std::wstring& Text) {
  HANDLE F = CreateFileW((Base + L".log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (F == INVALID_HANDLE_VALUE) return;
  std::string Bytes = Utf8(Text);
  DWORD Written = 0;
  WriteFile(F, Bytes.data(), DWORD(Bytes.size()), &Written, nullptr);
  CloseHandle(F);
}

std::vector<std::wstring> Settings() {
  std::vector<std::wstring> Lines;
  HANDLE F = CreateFileW((Base + L".standin").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (F == INVALID_HANDLE_VALUE) return Lines;
  std::string Bytes;
  char Buf[1024];
  DWORD Got = 0;
  while (ReadFile(F, Buf, sizeof Buf, &Got, nullptr) && Got) Bytes.append(Buf, Got);
  CloseHandle(F);
  int N = MultiByteToWideChar(CP_UTF8, 0, Bytes.c_str(), int(Bytes.size()), nullptr, 0);
  std::wstring Text(size_t(N), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, Bytes.c_str(), int(Bytes.size()), Text.data(), N);
  size_t Start = 0;
  while (Start < Text.size()) {
    size_t End = Text.find(L'\n', Start);
    if (End == std::wstring::npos) End = Text.size();
    std::wstring Line = Text.substr(Start, End - Start);
    if (!Line.empty() && Line.back() == L'\r') Line.pop_back();
    if (!Line.empty()) Lines.push_back(Line);
    Start = End + 1;
  }
  return Lines;
}

LRESULT CALLBACK WindowProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L) {
  if (Msg == WM_CLOSE) {
    Log(L"close requested\r\n");
    if (IgnoreClose) return 0;
    PostQuitMessage(0);
  }
  return DefWindowProcW(Wnd, Msg, W, L);
}

void MakeWindow(const std::wstring& Spec, bool Visible) {
  size_t Bar = Spec.find(L'|');
  std::wstring Class = Spec.substr(0, Bar), Title = Bar == std::wstring::npos ? L"" : Spec.substr(Bar + 1);
  WNDCLASSW C{};
  C.lpfnWndProc = &WindowProc;
  C.hInstance = GetModuleHandleW(nullptr);
  C.lpszClassName = Class.c_str();
  RegisterClassW(&C);  // a second window of one class finds it registered
  CreateWindowExW(0, Class.c_str(), Title.c_str(), WS_OVERLAPPEDWINDOW | (Visible ? WS_VISIBLE : 0), 0, 0, 200, 100,
                  nullptr, nullptr, C.hInstance, nullptr);
}

}  // namespace

int wmain() {
  wchar_t Path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, Path, MAX_PATH);
  Base = Path;
  if (Base.size() > 4 && _wcsicmp(Base.c_str() + Base.size() - 4, L".exe") == 0) Base.resize(Base.size() - 4);
  wchar_t Folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, Folder);
  Log(std::wstring(L"start\r\nfolder: ") + Folder + L"\r\ncommand: " + GetCommandLineW() + L"\r\n");

  int ExitCode = 0;
  DWORD RunMs = 0;
  bool Windows = false;
  for (const std::wstring& S : Settings()) {
    size_t Eq = S.find(L'=');
    std::wstring Key = S.substr(0, Eq), Value = Eq == std::wstring::npos ? L"" : S.substr(Eq + 1);
    if (Key == L"exit") ExitCode = _wtoi(Value.c_str());
    else if (Key == L"run") RunMs = Value == L"forever" ? INFINITE : DWORD(_wtoi(Value.c_str()));
    else if (Key == L"close") IgnoreClose = Value == L"ignore";
    else if (Key == L"window" || Key == L"hidden") {
      MakeWindow(Value, Key == L"window");
      Windows = true;
    }
  }
  DWORD Start = GetTickCount();
  if (Windows || RunMs) {
    for (;;) {
      DWORD Left = INFINITE;
      if (RunMs != INFINITE) {
        DWORD Spent = GetTickCount() - Start;
        if (Spent >= RunMs) break;
        Left = RunMs - Spent;
      }
      if (MsgWaitForMultipleObjects(0, nullptr, FALSE, Left, QS_ALLINPUT) == WAIT_TIMEOUT) break;
      MSG Msg;
      bool Quit = false;
      while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
        if (Msg.message == WM_QUIT) Quit = true;
        DispatchMessageW(&Msg);
      }
      if (Quit) break;
    }
  }
  Log(L"end " + std::to_wstring(ExitCode) + L"\r\n");
  return ExitCode;
}
