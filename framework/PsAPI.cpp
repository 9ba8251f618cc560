#include "framework/PsAPI.h"

#include <vector>

#include "framework/WinApi.h"

#include <psapi.h>

String GetProcessModuleFileName(Cardinal ProcessId, Integer MaxLength) {
  if (MaxLength <= 0) return String();
  HANDLE Process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ProcessId);
  if (!Process) return String();
  std::vector<wchar_t> Buffer(size_t(MaxLength), L'\0');
  DWORD Length = GetModuleFileNameExW(Process, nullptr, Buffer.data(), DWORD(MaxLength));
  CloseHandle(Process);
  // A name cut to the buffer may or may not count its terminator.
  Buffer[size_t(MaxLength) - 1] = L'\0';
  return String(Buffer.data(), wcsnlen(Buffer.data(), Length));
}
