#pragma once
// Windows: the desktop's top-level windows and what a program may read of another's window.

#include <functional>

#include "framework/System.h"

// Calls Proc with every top-level window (a window handle), in the system's order, until Proc
// answers false.
void EnumTopLevelWindows(const std::function<bool(NativeUInt Wnd)>& Proc);
// The window's title and class name, at most MaxLength characters.
String WindowText(NativeUInt Wnd, Integer MaxLength = 255);
String WindowClassName(NativeUInt Wnd, Integer MaxLength = 255);
bool WindowVisible(NativeUInt Wnd);
// The id of the process that made the window; 0 for a window that no longer exists.
Cardinal WindowProcessId(NativeUInt Wnd);
