#pragma once
// TlHelp32: the processes running now, as the system's snapshot lists them.

#include <vector>

#include "framework/System.h"

struct TProcessEntry {
  Cardinal ProcessID = 0;
  Cardinal ParentProcessID = 0;
  String ExeFile;  // the image's file name, without its folder
};

// Raises EOSError when the system gives no snapshot.
std::vector<TProcessEntry> ProcessSnapshot();
