#pragma once
// Shared between the Controls and Forms sources; not part of the framework's interface.

#include "framework/controls/WinControl.h"

namespace fw_controls {

// The dispatch scope and liveness check are the components' (classes/Component.h).
using ::IsLive;
using ::TDispatchScope;

// The control the mouse is over; CM_MOUSEENTER/CM_MOUSELEAVE go out when it changes.
void SetMouseControl(TControl* Control);
TControl* GetMouseControl();
void ControlDestroyed(TControl* Control);

// Runs a handler and hands any exception escaping it to the application.
void HandleControlException(TObject* Sender);

extern TControl* CaptureControl;

}  // namespace fw_controls
