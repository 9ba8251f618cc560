#pragma once
// Pictures of the component family (part of the unit ToolCtrlsKv): the shared 32-bit alpha
// bitmap that grids render transparent cells into.

#include "framework/Graphics.h"

// A 32-bit bitmap with a defined alpha channel. While captured, the gradient line painter
// writes into it instead of the canvas; the capture brackets one rendering at a time.
class TCacheAlphaBitmapKv : public TBitmap {
  DECLARE_CLASS(TCacheAlphaBitmapKv, TBitmap)
 public:
  TCacheAlphaBitmapKv();
  // Raises "CacheAlphaBitmap have captured" when already captured.
  void Capture();
  void Release() { FCapture = false; }
  bool Captured() const { return FCapture; }
  // Pixels p.x up to p.x + LineWidth (excluded) of row p.y, clipped to the bitmap, become the
  // colour at full opacity.
  void DrawHorzLine(const TPoint& p, Integer LineWidth, TColor AColor);

 private:
  bool FCapture = false;
};

// The shared alpha bitmap, made on first use and grown to at least Width x Height.
TCacheAlphaBitmapKv* CacheAlphaBitmap(Integer Width, Integer Height);
// The shared bitmap exists and is captured.
bool IsCacheAlphaBitmapCaptured();
// The shared bitmap when it exists, without making or growing it.
TCacheAlphaBitmapKv* CacheAlphaBitmapIfAny();
