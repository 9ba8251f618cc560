#include "framework/Controls.h"

TMouse* Mouse = nullptr;

TPoint TMouse::GetCursorPos() const {
  POINT P{0, 0};
  ::GetCursorPos(&P);
  return {P.x, P.y};
}

void TMouse::SetCursorPos(const TPoint& Value) { ::SetCursorPos(Value.X, Value.Y); }

HWND TMouse::GetCapture() const { return ::GetCapture(); }

void TMouse::SetCapture(HWND Value) {
  if (Value)
    ::SetCapture(Value);
  else
    ReleaseCapture();
}

bool TMouse::GetMousePresent() const { return GetSystemMetrics(SM_MOUSEPRESENT) != 0; }
bool TMouse::GetWheelPresent() const { return GetSystemMetrics(SM_MOUSEWHEELPRESENT) != 0; }

Integer TMouse::GetWheelScrollLines() const {
  UINT Lines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &Lines, 0);
  return Integer(Lines);
}

bool TMouse::GetIsDragging() const { return TDragManager::Active(); }
