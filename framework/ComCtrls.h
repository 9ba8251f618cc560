#pragma once
// ComCtrls: the controls over the common controls' windows (progress bar, status bar, tool bar,
// up-down) and the rich edit. Each lives in framework/comctrls/ by concern; this header brings
// them all.

#include "framework/comctrls/ProgressBar.h"
#include "framework/comctrls/StatusBar.h"
#include "framework/comctrls/RichEdit.h"
#include "framework/comctrls/ToolBar.h"
#include "framework/comctrls/UpDown.h"

// Registers the unit's controls for the component streams.
void RegisterComControls();
