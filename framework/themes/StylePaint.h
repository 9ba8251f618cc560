#pragma once
// Solid fills and frames in a TColor on a plain DC, shared by the style painter and the style hooks.
#include "framework/WinApi.h"
#include "framework/Types.h"
#include "framework/graphics/Colors.h"

void StyleFillRect(HDC DC, const RECT& R, TColor Color);
void StyleFrameRect(HDC DC, const RECT& R, TColor Color);
inline TRect StyleRect(const RECT& R) { return TRect(R.left, R.top, R.right, R.bottom); }
