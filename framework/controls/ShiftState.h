#pragma once
// The shift state on its own, for units that need it without the Win32 headers (menu
// shortcuts, actions).

#include "framework/TypInfo.h"

// The keys and buttons held with a key or mouse event. The enumeration lives in the unit's
// namespace because StdCtrls' scroll styles (ssNone, ssHorizontal, ssVertical, ssBoth) need the
// name ssHorizontal too: every other value is exported, and the horizontal-wheel flag is written
// Controls::ssHorizontal.
namespace Controls {
DECLARE_ENUM(TShiftStateItem, ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble, ssTouch, ssPen,
             ssCommand, ssHorizontal)
}  // namespace Controls
using Controls::TShiftStateItem;
using Controls::ssShift, Controls::ssAlt, Controls::ssCtrl, Controls::ssLeft, Controls::ssRight,
    Controls::ssMiddle, Controls::ssDouble, Controls::ssTouch, Controls::ssPen, Controls::ssCommand;
using TShiftState = Set<TShiftStateItem, 16>;
