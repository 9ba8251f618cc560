#pragma once
// TMouse: the mouse's position, capture window and the drag settings.

#include "framework/controls/ControlTypes.h"

class TMouse : public TObject {
  DECLARE_CLASS(TMouse, TObject)
 public:
  TPoint GetCursorPos() const;
  void SetCursorPos(const TPoint& Value);
  HWND GetCapture() const;
  void SetCapture(HWND Value);
  bool GetDragImmediate() const { return FDragImmediate; }
  void SetDragImmediate(bool Value) { FDragImmediate = Value; }
  Integer GetDragThreshold() const { return FDragThreshold; }
  void SetDragThreshold(Integer Value) { FDragThreshold = Value; }
  bool GetMousePresent() const;
  bool GetWheelPresent() const;
  Integer GetWheelScrollLines() const;
  bool GetIsDragging() const;

 private:
  bool FDragImmediate = true;
  Integer FDragThreshold = 5;
};

extern TMouse* Mouse;
