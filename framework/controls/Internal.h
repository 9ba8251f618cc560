#pragma once
// Shared between the Controls and Forms sources; not part of the framework's interface.

#include "framework/controls/WinControl.h"

namespace fw_controls {

// Keeps a control's memory while one of its handlers runs: deleting it then runs the
// destructor at once and releases the memory when the outermost handler returns.
class TDispatchScope {
  explicit TDispatchScope(const void* Object);

 public:
  explicit TDispatchScope(const TObject* Object);
  ~TDispatchScope();
  TDispatchScope(const TDispatchScope&) = delete;
  TDispatchScope& operator=(const TDispatchScope&) = delete;
  // True once the object was deleted inside this scope (or an inner one).
  bool Deleted() const;

 private:
  const void* FObject;
};
// Frees P now, or later when it is inside a dispatch scope.
void ReleaseMemory(void* P);
// Marks an object as being destroyed (the destructor has started).
void MarkDestroyed(const TObject* Object);
bool IsLive(const TObject* Object);

// The control the mouse is over; CM_MOUSEENTER/CM_MOUSELEAVE go out when it changes.
void SetMouseControl(TControl* Control);
TControl* GetMouseControl();
void ControlDestroyed(TControl* Control);

// Runs a handler and hands any exception escaping it to the application.
void HandleControlException(TObject* Sender);

extern TControl* CaptureControl;

}  // namespace fw_controls
