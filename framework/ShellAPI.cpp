#include "framework/ShellAPI.h"

#include "framework/WinShell.h"

TProcessHandle& TProcessHandle::operator=(TProcessHandle&& Other) noexcept {
  if (this != &Other) {
    Close();
    FHandle = Other.FHandle;
    Other.FHandle = 0;
  }
  return *this;
}

bool TProcessHandle::WaitFor(Cardinal TimeoutMs) const {
  return FHandle == 0 || WaitForSingleObject(reinterpret_cast<HANDLE>(FHandle), TimeoutMs) != WAIT_TIMEOUT;
}

bool TProcessHandle::Terminate(Cardinal ExitCode) const {
  return FHandle != 0 && TerminateProcess(reinterpret_cast<HANDLE>(FHandle), ExitCode) != FALSE;
}

Cardinal TProcessHandle::ExitCode() const {
  DWORD Code = STILL_ACTIVE;
  if (FHandle == 0 || !GetExitCodeProcess(reinterpret_cast<HANDLE>(FHandle), &Code)) return STILL_ACTIVE;
  return Code;
}

Cardinal TProcessHandle::ProcessId() const {
  return FHandle == 0 ? 0 : GetProcessId(reinterpret_cast<HANDLE>(FHandle));
}

void TProcessHandle::Close() {
  if (FHandle != 0) CloseHandle(reinterpret_cast<HANDLE>(FHandle));
  FHandle = 0;
}

TProcessHandle ShellExecuteProcess(NativeUInt Owner, const String& Verb, const String& File, const String& Parameters,
                                   const String& WorkingFolder, Integer Show) {
  SHELLEXECUTEINFOW Info{};
  Info.cbSize = sizeof Info;
  Info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  Info.hwnd = reinterpret_cast<HWND>(Owner);
  Info.lpVerb = Verb.empty() ? nullptr : Verb.c_str();
  Info.lpFile = File.c_str();
  Info.lpParameters = Parameters.empty() ? nullptr : Parameters.c_str();
  Info.lpDirectory = WorkingFolder.empty() ? nullptr : WorkingFolder.c_str();
  Info.nShow = Show;
  if (!ShellExecuteExW(&Info)) {
    DWORD Error = GetLastError();
    // The shell may answer without a code of its own: that is still a failed start.
    RaiseLastOSError(Error != 0 ? Error : ERROR_FILE_NOT_FOUND);
  }
  return TProcessHandle(reinterpret_cast<NativeUInt>(Info.hProcess));
}
