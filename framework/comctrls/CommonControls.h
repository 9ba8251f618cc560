#pragma once
// The common controls' window classes are registered on first use, one group at a time.

#include "framework/WinApi.h"

// Registers the classes of an ICC_* group once per process.
void InitCommonControl(DWORD Classes);
