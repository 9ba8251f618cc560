// The entry point of every test executable.
#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "framework/WinShell.h"

#include <cstdio>

namespace {
// A crash names itself and ends the process, so the run reports it instead of waiting.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* Info) {
  std::fprintf(stderr, "Crash: exception 0x%08lx at %p\n", Info->ExceptionRecord->ExceptionCode,
               Info->ExceptionRecord->ExceptionAddress);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}
}  // namespace

int main(int argc, char** argv) {
  // Tests see the same COM apartment and error-mode settings as the program.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  if (!GetEnvironmentVariableW(L"QAL_NO_CRASH_FILTER", nullptr, 0)) SetUnhandledExceptionFilter(ReportCrash);
  OleInitialize(nullptr);
  FrameworkStartup();
  testing::InitGoogleTest(&argc, argv);
  int R = RUN_ALL_TESTS();
  FrameworkShutdown();
  OleUninitialize();
  return R;
}
