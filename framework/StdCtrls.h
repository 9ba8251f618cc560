#pragma once
// StdCtrls: the standard controls. Each lives in framework/stdctrls/ by concern; this header
// brings them all.

#include "framework/stdctrls/StdTypes.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ButtonControls.h"
#include "framework/stdctrls/ListBox.h"
#include "framework/stdctrls/ScrollBar.h"

// Registers the unit's controls for the component streams.
void RegisterStdControls();
