#include "framework/TlHelp32.h"

#include "framework/WinApi.h"

#include <tlhelp32.h>

std::vector<TProcessEntry> ProcessSnapshot() {
  HANDLE Snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (Snapshot == INVALID_HANDLE_VALUE) RaiseLastOSError();
  std::vector<TProcessEntry> Result;
  PROCESSENTRY32W Entry{};
  Entry.dwSize = sizeof Entry;
  for (BOOL More = Process32FirstW(Snapshot, &Entry); More; More = Process32NextW(Snapshot, &Entry))
    Result.push_back({Entry.th32ProcessID, Entry.th32ParentProcessID, Entry.szExeFile});
  CloseHandle(Snapshot);
  return Result;
}
