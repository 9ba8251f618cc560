#pragma once
// Controls: TControl, TWinControl and their kin, the mouse, hints and drag and drop. The unit is
// large, so it lives in framework/controls/ with one file per concern.

#include "framework/Messages.h"
#include "framework/controls/ControlTypes.h"
#include "framework/controls/Control.h"
#include "framework/controls/WinControl.h"
#include "framework/controls/CustomControl.h"
#include "framework/controls/ScrollingWinControl.h"
#include "framework/controls/Mouse.h"
#include "framework/controls/DragDrop.h"
#include "framework/controls/Hint.h"
