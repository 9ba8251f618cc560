#pragma once
// PsAPI: the module file name of another process.

#include "framework/System.h"

// The full path of the main module of process ProcessId, cut to MaxLength - 1 characters as the
// system cuts it to a buffer of MaxLength; empty when the process cannot be opened for reading
// (it has ended, or belongs to the system or to another user).
String GetProcessModuleFileName(Cardinal ProcessId, Integer MaxLength = 261);
