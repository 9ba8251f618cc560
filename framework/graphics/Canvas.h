#pragma once
// TCanvas: drawing on a device context with a font, a pen and a brush. Reading Handle selects
// all three into the DC, so callers may then draw with GDI directly.

#include <memory>
#include <mutex>
#include <vector>

#include "framework/Types.h"
#include "framework/graphics/GraphicsObjects.h"

class TGraphic;
class TControl;

enum TCanvasStates { csHandleValid, csFontValid, csPenValid, csBrushValid };
using TCanvasState = Set<TCanvasStates, 4>;
enum TCanvasOrientation { coLeftToRight, coRightToLeft };
enum TFillStyle { fsSurface, fsBorder };
using TCopyMode = LongInt;

enum TTextFormats {
  tfBottom, tfCalcRect, tfCenter, tfEditControl, tfEndEllipsis, tfPathEllipsis, tfExpandTabs,
  tfExternalLeading, tfLeft, tfModifyString, tfNoClip, tfNoPrefix, tfRight, tfRtlReading,
  tfSingleLine, tfTop, tfVerticalCenter, tfWordBreak, tfHidePrefix, tfNoFullWidthCharBreak,
  tfPrefixOnly, tfTabStop, tfWordEllipsis, tfComposited
};
using TTextFormat = Set<TTextFormats, 32>;

// The raster operations of CopyMode (the SRCCOPY family).
constexpr TCopyMode cmBlackness = 0x00000042;
constexpr TCopyMode cmDstInvert = 0x00550009;
constexpr TCopyMode cmMergeCopy = 0x00C000CA;
constexpr TCopyMode cmMergePaint = 0x00BB0226;
constexpr TCopyMode cmNotSrcCopy = 0x00330008;
constexpr TCopyMode cmNotSrcErase = 0x001100A6;
constexpr TCopyMode cmPatCopy = 0x00F00021;
constexpr TCopyMode cmPatInvert = 0x005A0049;
constexpr TCopyMode cmPatPaint = 0x00FB0A09;
constexpr TCopyMode cmSrcAnd = 0x008800C6;
constexpr TCopyMode cmSrcCopy = 0x00CC0020;
constexpr TCopyMode cmSrcErase = 0x00440328;
constexpr TCopyMode cmSrcInvert = 0x00660046;
constexpr TCopyMode cmSrcPaint = 0x00EE0086;
constexpr TCopyMode cmWhiteness = 0x00FF0062;

class TCanvas : public TPersistent {
  DECLARE_CLASS(TCanvas, TPersistent)
 public:
  TCanvas();
  ~TCanvas() override;

  void Arc(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer X3, Integer Y3, Integer X4, Integer Y4);
  void Chord(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer X3, Integer Y3, Integer X4, Integer Y4);
  void Pie(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer X3, Integer Y3, Integer X4, Integer Y4);
  void BrushCopy(const TRect& Dest, TBitmap* Bitmap, const TRect& Source, TColor Color);
  // Stretches Source of Canvas onto Dest with CopyMode.
  void CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source);
  void Draw(Integer X, Integer Y, TGraphic* Graphic);
  void Draw(Integer X, Integer Y, TGraphic* Graphic, Byte Opacity);
  void DrawFocusRect(const TRect& Rect);
  void Ellipse(Integer X1, Integer Y1, Integer X2, Integer Y2);
  void Ellipse(const TRect& Rect) { Ellipse(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom); }
  void FillRect(const TRect& Rect);
  void FloodFill(Integer X, Integer Y, TColor Color, TFillStyle FillStyle);
  void FrameRect(const TRect& Rect);
  // Draws from the pen position to (X, Y), which is not painted, and moves there.
  void LineTo(Integer X, Integer Y);
  void MoveTo(Integer X, Integer Y);
  void Polygon(const TPoint* Points, Integer Count);
  void Polygon(const std::vector<TPoint>& Points) { Polygon(Points.data(), Integer(Points.size())); }
  // The last point is not painted.
  void Polyline(const TPoint* Points, Integer Count);
  void Polyline(const std::vector<TPoint>& Points) { Polyline(Points.data(), Integer(Points.size())); }
  void PolyBezier(const TPoint* Points, Integer Count);
  void PolyBezier(const std::vector<TPoint>& Points) { PolyBezier(Points.data(), Integer(Points.size())); }
  void Rectangle(Integer X1, Integer Y1, Integer X2, Integer Y2);
  void Rectangle(const TRect& Rect) { Rectangle(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom); }
  void RoundRect(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer X3, Integer Y3);
  void RoundRect(const TRect& Rect, Integer CX, Integer CY) { RoundRect(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom, CX, CY); }
  void StretchDraw(const TRect& Rect, TGraphic* Graphic);
  TSize TextExtent(const String& Text);
  Integer TextHeight(const String& Text) { return TextExtent(Text).cy; }
  Integer TextWidth(const String& Text) { return TextExtent(Text).cx; }
  void TextOut(Integer X, Integer Y, const String& Text);
  // Text clipped to Rect; the background is filled unless the brush is clear.
  void TextRect(const TRect& Rect, Integer X, Integer Y, const String& Text);
  // DrawTextEx with the format set; tfCalcRect measures into Rect, tfModifyString may change Text.
  void TextRect(TRect& Rect, String& Text, TTextFormat TextFormat = TTextFormat());

  void Lock();
  void Unlock();
  bool TryLock();
  Integer GetLockCount() const { return FLockCount; }
  // Deselects the font, pen and brush; the next use selects them again.
  void Refresh();

  TRect GetClipRect();
  HDC GetHandle();
  void SetHandle(HDC Value);
  bool HandleAllocated() const { return FHandle != nullptr; }
  TColor GetPixel(Integer X, Integer Y);
  void SetPixel(Integer X, Integer Y, TColor Value);
  TPoint GetPenPos();
  void SetPenPos(const TPoint& Value) { MoveTo(Value.X, Value.Y); }
  TCopyMode GetCopyMode() const { return FCopyMode; }
  void SetCopyMode(TCopyMode Value) { FCopyMode = Value; }
  // Extra ExtTextOut options (ETO_RTLREADING) for TextOut and TextRect.
  Integer GetTextFlags() const { return FTextFlags; }
  void SetTextFlags(Integer Value) { FTextFlags = Value; }
  TCanvasOrientation GetCanvasOrientation();
  TFont* GetFont() const { return FFont.get(); }
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  TPen* GetPen() const { return FPen.get(); }
  void SetPen(TPen* Value) { FPen->Assign(Value); }
  TBrush* GetBrush() const { return FBrush.get(); }
  void SetBrush(TBrush* Value) { FBrush->Assign(Value); }
  TCanvasState GetState() const { return FState; }

  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }
  TNotifyEvent GetOnChanging() const { return FOnChanging; }
  void SetOnChanging(const TNotifyEvent& Value) { FOnChanging = Value; }

  // Selects what the next operation needs into the DC, creating the DC first when there is none.
  void RequiredState(TCanvasState ReqState);

 protected:
  virtual void Changed();
  virtual void Changing();
  // Makes a DC when one is needed; a plain canvas has none to make and raises.
  virtual void CreateHandle();
  HDC FHandle = nullptr;

 private:
  void CreateFont();
  void CreatePen();
  void CreateBrush();
  void DeselectHandles();
  void FontChanged(TObject* Sender);
  void PenChanged(TObject* Sender);
  void BrushChanged(TObject* Sender);

  TCanvasState FState;
  std::unique_ptr<TFont> FFont;
  std::unique_ptr<TPen> FPen;
  std::unique_ptr<TBrush> FBrush;
  TPoint FPenPos;
  TCopyMode FCopyMode = cmSrcCopy;
  Integer FTextFlags = 0;
  std::recursive_mutex FLock;
  Integer FLockCount = 0;
  TNotifyEvent FOnChange;
  TNotifyEvent FOnChanging;
};

// What the controls layer tells a control canvas: the DC of a control and the window it came
// from, and whether the control reads right to left.
struct TControlCanvasHooks {
  HDC (*GetDeviceContext)(TControl* Control, HWND& WindowHandle) = nullptr;
  bool (*UseRightToLeftReading)(TControl* Control) = nullptr;
};
extern TControlCanvasHooks ControlCanvasHooks;

// A canvas on a control's window: the DC is borrowed on first use and given back when the
// canvas is freed, its control changes, or FreeDeviceContexts is called.
class TControlCanvas : public TCanvas {
  DECLARE_CLASS(TControlCanvas, TCanvas)
 public:
  TControlCanvas() = default;
  ~TControlCanvas() override;
  void FreeHandle();
  void UpdateTextFlags();
  TControl* GetControl() const { return FControl; }
  void SetControl(TControl* Value);

 protected:
  void CreateHandle() override;

 private:
  TControl* FControl = nullptr;
  HDC FDeviceContext = nullptr;
  HWND FWindowHandle = nullptr;
};

// Gives back the DCs every control canvas holds (the application calls it when idle).
void FreeDeviceContexts();
