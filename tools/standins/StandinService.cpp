// A Windows service of our own for the tests: the service control manager installs, starts and
// stops it for real. It logs what happens to it, one UTF-8 line each, to the file named first on
// its command line:
//   standin_service.exe LOGFILE              stops when asked
//   standin_service.exe LOGFILE ignore-stop  stays running when asked to stop
// Lines: "start NAME", "stop NAME", "stop ignored NAME".
#include <windows.h>

#include <string>

namespace {

std::wstring LogFile;
std::wstring Name;
bool IgnoreStop = false;
SERVICE_STATUS_HANDLE StatusHandle = nullptr;
HANDLE StopEvent = nullptr;

void Log(const std::wstring& Line) {
  HANDLE F = CreateFileW(LogFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (F == INVALID_HANDLE_VALUE) return;
  std::wstring Text = Line + L"\r\n";
  int Size = WideCharToMultiByte(CP_UTF8, 0, Text.c_str(), int(Text.size()), nullptr, 0, nullptr, nullptr);
  std::string Bytes(size_t(Size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Text.c_str(), int(Text.size()), Bytes.data(), Size, nullptr, nullptr);
  DWORD Written = 0;
  WriteFile(F, Bytes.data(), DWORD(Bytes.size()), &Written, nullptr);
  CloseHandle(F);
}

void Report(DWORD State) {
  SERVICE_STATUS S{};
  S.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  S.dwCurrentState = State;
  S.dwControlsAccepted = State == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  S.dwWaitHint = 1000;
  SetServiceStatus(StatusHandle, &S);
}

DWORD WINAPI Control(DWORD Code, DWORD, void*, void*) {
  if (Code == SERVICE_CONTROL_STOP) {
    if (IgnoreStop) {
      Log(L"stop ignored " + Name);
      Report(SERVICE_RUNNING);
    } else {
      Log(L"stop " + Name);
      Report(SERVICE_STOP_PENDING);
      SetEvent(StopEvent);
    }
    return NO_ERROR;
  }
  if (Code == SERVICE_CONTROL_INTERROGATE) return NO_ERROR;
  return ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI ServiceMain(DWORD Argc, wchar_t** Argv) {
  Name = Argc > 0 ? Argv[0] : L"";
  StatusHandle = RegisterServiceCtrlHandlerExW(Name.c_str(), &Control, nullptr);
  if (!StatusHandle) return;
  StopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Log(L"start " + Name);
  Report(SERVICE_RUNNING);
  WaitForSingleObject(StopEvent, INFINITE);
  Report(SERVICE_STOPPED);
}

}  // namespace

int wmain(int Argc, wchar_t** Argv) {
  if (Argc < 2) return 2;
  LogFile = Argv[1];
  IgnoreStop = Argc > 2 && std::wstring(Argv[2]) == L"ignore-stop";
  wchar_t Empty[] = L"";
  SERVICE_TABLE_ENTRYW Table[] = {{Empty, &ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(Table) ? 0 : 1;
}
