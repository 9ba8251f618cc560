// A program of our own that the tests start in place of the programs the wizard runs. Copied
// under the name the wizard runs (initdb.exe, Ingenico.exe...), it appends to NAME.log beside
// itself the line "start", the working folder and the whole command line, and then behaves as
// NAME.standin beside it asks, one setting per line (no file: end at once with exit code 0):
//   exit=N                 the exit code
//   run=forever | run=MS   keep running until killed, or for MS milliseconds
//   window=CLASS|TITLE     show a top-level window of that class and title (several lines: several)
//   hidden=CLASS|TITLE     the same, never shown
//   close=ignore           a request to close a window (WM_CLOSE) is ignored
//   journal=FILE           also append one line per event to FILE (relative: beside the program),
//                          shared by several stand-ins so that their order shows:
//                            "NAME.exe|FOLDER|ARGUMENTS"  started (ARGUMENTS: after the program)
//                            "NAME.exe|stdin|TEXT"        what it read (see stdin)
//                            "service installed SERVICE"  registered (see service)
//                            "service start SERVICE|PATH", "service stop SERVICE"
//   stdin=read             read standard input when it is a file (as cmd.exe hands a pipe over)
//   service=SERVICE        started with "/install" or "register" among its arguments: registers
//                          itself as the demand-start service SERVICE (nothing when it exists) and
//                          ends; started with no arguments (by the service manager): runs as that
//                          service until it is stopped
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring Base;  // the program's path without ".exe"
std::wstring Journal;
std::wstring ServiceName;
bool IgnoreClose = false;
SERVICE_STATUS_HANDLE StatusHandle = nullptr;
HANDLE StopEvent = nullptr;

std::string Utf8(const std::wstring& S) {
  int N = WideCharToMultiByte(CP_UTF8, 0, S.c_str(), int(S.size()), nullptr, 0, nullptr, nullptr);
  std::string R(size_t(N), '\0');
  WideCharToMultiByte(CP_UTF8, 0, S.c_str(), int(S.size()), R.data(), N, nullptr, nullptr);
  return R;
}

void Append(const std::wstring& File, const std::wstring& Text) {
  HANDLE F = CreateFileW(File.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (F == INVALID_HANDLE_VALUE) return;
  std::string Bytes = Utf8(Text);
  DWORD Written = 0;
  WriteFile(F, Bytes.data(), DWORD(Bytes.size()), &Written, nullptr);
  CloseHandle(F);
}

void Log(const std::wstring& Text) { Append(Base + L".log", Text); }

void ToJournal(const std::wstring& Line) {
  if (!Journal.empty()) Append(Journal, Line + L"\r\n");
}

// One event, in the log and in the journal.
void Event(const std::wstring& Line) {
  Log(Line + L"\r\n");
  ToJournal(Line);
}

std::wstring FileNameOf(const std::wstring& Path) {
  size_t Slash = Path.find_last_of(L"\\/");
  return Slash == std::wstring::npos ? Path : Path.substr(Slash + 1);
}

// The command line after the program's own name.
std::wstring Arguments() {
  const wchar_t* P = GetCommandLineW();
  if (*P == L'"') {
    ++P;
    while (*P && *P != L'"') ++P;
    if (*P) ++P;
  } else {
    while (*P && *P != L' ' && *P != L'\t') ++P;
  }
  while (*P == L' ' || *P == L'\t') ++P;
  return P;
}

std::string ReadAll(HANDLE F) {
  std::string Bytes;
  char Buf[1024];
  DWORD Got = 0;
  while (ReadFile(F, Buf, sizeof Buf, &Got, nullptr) && Got) Bytes.append(Buf, Got);
  return Bytes;
}

std::wstring FromUtf8(const std::string& Bytes) {
  int N = MultiByteToWideChar(CP_UTF8, 0, Bytes.c_str(), int(Bytes.size()), nullptr, 0);
  std::wstring Text(size_t(N), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, Bytes.c_str(), int(Bytes.size()), Text.data(), N);
  return Text;
}

std::vector<std::wstring> Settings() {
  std::vector<std::wstring> Lines;
  HANDLE F = CreateFileW((Base + L".standin").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (F == INVALID_HANDLE_VALUE) return Lines;
  std::wstring Text = FromUtf8(ReadAll(F));
  CloseHandle(F);
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

void Report(DWORD State) {
  SERVICE_STATUS S{};
  S.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  S.dwCurrentState = State;
  S.dwControlsAccepted = State == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  S.dwWaitHint = 1000;
  SetServiceStatus(StatusHandle, &S);
}

DWORD WINAPI ServiceControl(DWORD Code, DWORD, void*, void*) {
  if (Code == SERVICE_CONTROL_STOP) {
    Event(L"service stop " + ServiceName);
    Report(SERVICE_STOP_PENDING);
    SetEvent(StopEvent);
    return NO_ERROR;
  }
  return Code == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  StatusHandle = RegisterServiceCtrlHandlerExW(ServiceName.c_str(), &ServiceControl, nullptr);
  if (!StatusHandle) return;
  StopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Event(L"service start " + ServiceName + L"|" + Base + L".exe");
  Report(SERVICE_RUNNING);
  WaitForSingleObject(StopEvent, INFINITE);
  Report(SERVICE_STOPPED);
}

// Registers this program as the service; an existing one stays as it is.
void InstallService() {
  SC_HANDLE Manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!Manager) return;
  std::wstring Command = L"\"" + Base + L".exe\"";
  SC_HANDLE Service = CreateServiceW(Manager, ServiceName.c_str(), ServiceName.c_str(), SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                     Command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  if (Service) {
    Event(L"service installed " + ServiceName);
    CloseServiceHandle(Service);
  }
  CloseServiceHandle(Manager);
}

}  // namespace

int wmain() {
  wchar_t Path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, Path, MAX_PATH);
  Base = Path;
  if (Base.size() > 4 && _wcsicmp(Base.c_str() + Base.size() - 4, L".exe") == 0) Base.resize(Base.size() - 4);
  const std::wstring Folder = Base.substr(0, Base.find_last_of(L"\\/") + 1);
  wchar_t Current[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, Current);
  Log(std::wstring(L"start\r\nfolder: ") + Current + L"\r\ncommand: " + GetCommandLineW() + L"\r\n");

  int ExitCode = 0;
  DWORD RunMs = 0;
  bool Windows = false, ReadInput = false;
  std::vector<std::wstring> WindowSpecs;
  for (const std::wstring& S : Settings()) {
    size_t Eq = S.find(L'=');
    std::wstring Key = S.substr(0, Eq), Value = Eq == std::wstring::npos ? L"" : S.substr(Eq + 1);
    if (Key == L"exit") ExitCode = _wtoi(Value.c_str());
    else if (Key == L"run") RunMs = Value == L"forever" ? INFINITE : DWORD(_wtoi(Value.c_str()));
    else if (Key == L"close") IgnoreClose = Value == L"ignore";
    else if (Key == L"journal")
      Journal = Value.empty() || Value.find(L':') != std::wstring::npos || Value[0] == L'\\' ? Value : Folder + Value;
    else if (Key == L"stdin") ReadInput = Value == L"read";
    else if (Key == L"service") ServiceName = Value;
    else if (Key == L"window" || Key == L"hidden") WindowSpecs.push_back(S);
  }
  const std::wstring Args = Arguments();
  if (!ServiceName.empty() && Args.empty()) {
    // Started by the service manager.
    wchar_t Empty[] = L"";
    SERVICE_TABLE_ENTRYW Table[] = {{Empty, &ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(Table) ? 0 : 1;
  }
  // The log has the command already.
  ToJournal(FileNameOf(Base) + L".exe|" + Current + L"|" + Args);
  if (ReadInput) {
    HANDLE In = GetStdHandle(STD_INPUT_HANDLE);
    // Only a file: anything else could wait for ever.
    if (In && In != INVALID_HANDLE_VALUE && GetFileType(In) == FILE_TYPE_DISK) {
      std::wstring Text = FromUtf8(ReadAll(In));
      while (!Text.empty() && (Text.back() == L'\n' || Text.back() == L'\r')) Text.pop_back();
      Event(FileNameOf(Base) + L".exe|stdin|" + Text);
    }
  }
  const bool Install = Args.find(L"/install") != std::wstring::npos || Args.find(L"register") != std::wstring::npos;
  if (!ServiceName.empty() && Install) InstallService();
  for (const std::wstring& S : WindowSpecs) {
    size_t Eq = S.find(L'=');
    MakeWindow(S.substr(Eq + 1), S.substr(0, Eq) == L"window");
    Windows = true;
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
