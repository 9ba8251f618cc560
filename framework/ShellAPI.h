#pragma once
// ShellAPI: programs started through the shell, with the new process's handle kept so that the
// caller can wait for it, end it or read its exit code.
//
//   TProcessHandle Process = ShellExecuteProcess(Owner, L"open", L"initdb.exe", Params, Folder, SW_HIDE);
//   while (Process && !Process.WaitFor(200)) Application->ProcessMessages();

#include "framework/System.h"

// A process handle, closed when its holder goes. Empty (false) when there is no process.
class TProcessHandle {
 public:
  TProcessHandle() = default;
  explicit TProcessHandle(NativeUInt AHandle) : FHandle(AHandle) {}
  TProcessHandle(TProcessHandle&& Other) noexcept : FHandle(Other.FHandle) { Other.FHandle = 0; }
  TProcessHandle& operator=(TProcessHandle&& Other) noexcept;
  TProcessHandle(const TProcessHandle&) = delete;
  TProcessHandle& operator=(const TProcessHandle&) = delete;
  ~TProcessHandle() { Close(); }

  explicit operator bool() const { return FHandle != 0; }
  NativeUInt Handle() const { return FHandle; }
  // True when the process has ended, waiting up to TimeoutMs (0xFFFFFFFF: as long as it runs).
  bool WaitFor(Cardinal TimeoutMs) const;
  // Ends the process with ExitCode; false when the system refuses (the handle lacks the right;
  // Windows also refuses a process that has ended).
  bool Terminate(Cardinal ExitCode) const;
  // The exit code, 259 (STILL_ACTIVE) while the process runs.
  Cardinal ExitCode() const;
  Cardinal ProcessId() const;
  void Close();

 private:
  NativeUInt FHandle = 0;
};

// Starts File through the shell with Verb ("open"), Parameters and WorkingFolder (where a bare
// program name is looked for first), its window shown as Show (SW_HIDE...), Owner (a window
// handle, or 0) as the parent of anything the shell asks. The shell shows no error box of its
// own: a start that fails raises EOSError with the system's text. The handle is empty when the
// shell handed the file to a program that was running already.
TProcessHandle ShellExecuteProcess(NativeUInt Owner, const String& Verb, const String& File, const String& Parameters,
                                   const String& WorkingFolder, Integer Show);
