#pragma once
// The shift state on its own, for units that need it without the Win32 headers (menu
// shortcuts, actions).

#include "framework/TypInfo.h"

// The keys and buttons held with a key or mouse event.
DECLARE_ENUM(TShiftStateItem, ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble, ssTouch, ssPen,
             ssCommand, ssHorizontal)
using TShiftState = Set<TShiftStateItem, 16>;
