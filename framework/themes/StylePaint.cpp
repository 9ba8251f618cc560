#include "framework/themes/StylePaint.h"

void StyleFillRect(HDC DC, const RECT& R, TColor Color) {
  HBRUSH B = CreateSolidBrush(ColorToRGB(Color));
  FillRect(DC, &R, B);
  DeleteObject(B);
}

void StyleFrameRect(HDC DC, const RECT& R, TColor Color) {
  HBRUSH B = CreateSolidBrush(ColorToRGB(Color));
  FrameRect(DC, &R, B);
  DeleteObject(B);
}
