#pragma once
// Pictures of the component family (part of the unit ToolCtrlsKv): the registry of graphic
// providers that name the graphic class of blob data, loading pictures from blob fields, the
// picture that places itself in a rectangle, the shared 32-bit alpha bitmap that grids render
// transparent cells into, and the hint window that takes its font from the hint data.

#include <cstddef>

#include "framework/Graphics.h"
#include "framework/controls/Hint.h"

class TField;

// ---- Graphic providers ------------------------------------------------------------------------

// Names the graphic class that can read data starting at Start (Size bytes available); nil when
// it does not know the data.
class TGraphicProviderKv : public TPersistent {
  DECLARE_CLASS(TGraphicProviderKv, TPersistent)
 public:
  TGraphicProviderKv() = default;
  virtual TGraphicClass GetImageClassForStream(const Byte* Start, size_t Size);
};
using TGraphicProviderClassKv = TClassRef<TGraphicProviderKv>;

// Windows bitmaps: data starting with "BM".
class TBMPGraphicProviderKv : public TGraphicProviderKv {
  DECLARE_CLASS(TBMPGraphicProviderKv, TGraphicProviderKv)
 public:
  TBMPGraphicProviderKv() = default;
  TGraphicClass GetImageClassForStream(const Byte* Start, size_t Size) override;
};

// The latest registered provider is asked first; a class registered twice keeps its place.
void RegisterGraphicProvider(TGraphicProviderClassKv ProviderClass);
// The first answer of the providers in order; nil when none knows the data.
TGraphicClass GetGraphicClassForData(const Byte* Start, size_t Size);
Integer GraphicProviderCount();

// A graphic loaded from a blob field (skipping the 8-byte picture header when the field's
// graphic-header option is set and the header matches); nil for no field or a field that is not
// a blob. Unreadable data gives an empty graphic. The caller owns the result.
TGraphic* CreateGraphicFromField(TField* Field);
void AssignPictureFromField(TField* Field, TPicture* Picture);
TPicture* CreatePictureFromField(TField* Field);

// ---- Placed pictures --------------------------------------------------------------------------

DECLARE_ENUM(TImagePlacementKv, ipTopLeftKv, ipTopCenterKv, ipTopRightKv, ipCenterLeftKv, ipCenterCenterKv,
             ipCenterRightKv, ipBottomLeftKv, ipBottomCenterKv, ipBottomRightKv, ipFillKv, ipReduceFitKv, ipFitKv,
             ipStretchKv, ipTileKv)

class TPictureKv : public TPicture {
  DECLARE_CLASS(TPictureKv, TPicture)
 public:
  TPictureKv() = default;
  // Where the picture goes in SrcRect: at one of nine anchors at its own size, covering (fill),
  // contained (fit, and reduce-fit for pictures larger than the rectangle), stretched or tiled.
  virtual TRect GetDestRect(const TRect& SrcRect, TImagePlacementKv Placement);
  // ShiftPoint and ClipRect are accepted for callers and not used. Tiles may reach past the
  // right and bottom edges.
  virtual void PaintTo(TCanvas* Canvas, const TRect& DestRect, TImagePlacementKv Placement, const TPoint& ShiftPoint,
                       const TRect& ClipRect);
};

// ---- The shared alpha bitmap ------------------------------------------------------------------

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

// ---- Hint window ------------------------------------------------------------------------------

// A hint window whose hint data is the font to show the hint in.
class THintWindowKv : public THintWindow {
  DECLARE_CLASS(THintWindowKv, THintWindow)
 public:
  explicit THintWindowKv(TComponent* AOwner) : THintWindow(AOwner) {}
  // AData: a TFont, or nil.
  void ActivateHintData(const TRect& Rect, const String& AHint, void* AData) override;
  TRect CalcHintRect(Integer MaxWidth, const String& AHint, void* AData) override;

 protected:
  void Paint() override;
};
