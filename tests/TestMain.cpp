// The entry point of every test executable.
#include <gtest/gtest.h>

#include "framework/WinApi.h"

int main(int argc, char** argv) {
  // Tests see the same COM apartment and error-mode settings as the program.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  OleInitialize(nullptr);
  testing::InitGoogleTest(&argc, argv);
  int R = RUN_ALL_TESTS();
  OleUninitialize();
  return R;
}
