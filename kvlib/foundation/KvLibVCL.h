#pragma once
// The lowest layer of the component family: the base classes its controls derive from, and small
// routines around Win32 and the framework that the family shares (rectangles and message
// parameters, drawing, the system state). Its part without windows is KvLibCore.h.

#include "framework/Classes.h"
#include "framework/Controls.h"
#include "framework/Messages.h"
#include "framework/Graphics.h"
#include "framework/Variants.h"
#include "framework/db/DBTypes.h"
#include "kvlib/foundation/KvLibCore.h"

class TCustomForm;
class TDataSet;

// ---- Base classes -----------------------------------------------------------------------------

// The family's custom control: it starts unscaled, whatever the framework's default.
class TCustomControlKv : public TCustomControl {
  DECLARE_CLASS(TCustomControlKv, TCustomControl)
 public:
  explicit TCustomControlKv(TComponent* AOwner);
  // Destroys and remakes the window, for property changes that need a new window.
  void RecreateWndHandle();
  // The windowed control's own rescale, past every override of a descendant.
  void BaseChangeScale(Integer M, Integer D, bool IsDpiChange);
};

// ---- DPI and drawing --------------------------------------------------------------------------

// How a text is drawn: Alignment 0 left, 1 right, 2 centre; Layout 0 top, 1 centre, 2 bottom;
// WrapMode 0 none, 1 word break, 2 single line; RightToLeftMode 1 right-to-left reading.
struct TDrawTextParamsKv {
  Byte Alignment = 0;
  Byte Layout = 0;
  Byte WrapMode = 0;
  bool Opaque = false;
  Byte RightToLeftMode = 0;
  bool EndEllipsis = false;
};

// The pixels per inch of the monitor nearest Wnd (the application window for 0); before
// Windows 8.1 the screen's.
Integer GetMonitorPixelsPerInch(HWND Wnd);
// The DPI of the window the canvas draws into, over 96.
Double GetCanvasScaleFactor(TCanvas* Canvas);
// Fills Rect with Color at the constant opacity Alpha (0 to 255).
void FillRectAlphaBlend(TCanvas* Canvas, const TRect& Rect, TColor Color, Byte Alpha);
// Left, top, one line, opaque unless the brush is clear.
void DrawTextDefault(TCanvas* Canvas, const String& Text, const TRect& Rect);
// IgnoredRect is kept for callers that pass one; it is not used.
void DrawTextWithParams(TCanvas* Canvas, const String& Text, const TRect& Rect, const TRect& IgnoredRect,
                        const TDrawTextParamsKv& Params);
// Size of the whole text, and for each character the extent from the text start to its end.
void GetTextCharExtents(TCanvas* Canvas, const String& Text, TSize& Size, std::vector<Integer>& Extents);
inline Integer TextCharCount(const String& Text) { return Integer(Text.size()); }
inline Integer NextCharPos(const String&, Integer Pos) { return Pos + 1; }
// Measured on the screen canvas when Canvas is nil or has no handle.
Integer GetFontTextHeight(TCanvas* Canvas, TFont* Font, bool WithLeading);
void GetCanvasTextMetrics(TCanvas* Canvas, TEXTMETRICW& Metrics);
inline Integer GetFontSizeForCanvas(TFont* Font, TCanvas*) { return Font->GetSize(); }
inline Integer FontCharHeight(TFont* Font) { return -Font->GetHeight(); }
inline Char MiddleDotChar() { return Char(0x00B7); }
// A canvas on the whole screen, made on first use, for measuring text.
TCanvas* ScreenCanvasKv();
// Releases the screen canvas and the alpha-fill bitmap.
void FreeKvLibVCLShared();

// ---- Cursors ----------------------------------------------------------------------------------

// Raises EOutOfResources "Cannot load cursor resource".
HCURSOR LoadCursorChecked(HINSTANCE Instance, const String& Name);
// Loads the program's cursor Name into the first free slot of the screen's cursors; its number.
Integer LoadRegisterCursorKv(const String& Name);

// ---- Side owners ------------------------------------------------------------------------------

// A component that may belong "by side" to another one (its side parent), which frees it when
// the reference is replaced.
class ISideOwnedComponentKv : public virtual IInterface {
 public:
  // With nil: whether the component has no side parent.
  virtual bool IsSideParentedBy(TComponent* AComponent) = 0;
  virtual void SetSideParent(TComponent* AComponent) = 0;
};

// A component that may hold side-owned components in some of its properties.
class ISideOwnerKv : public virtual IInterface {
 public:
  virtual bool IsSidePropertyName(const String& PropertyName) = 0;
  virtual bool CanSideOwnComponent(TComponent* AComponent) = 0;
};

// ---- Rectangles, points and messages ----------------------------------------------------------

// Each side moved by its own delta.
TRect InflateRectSides(const TRect& R, Integer DLeft, Integer DTop, Integer DRight, Integer DBottom);
void MoveRectTo(TRect& R, Integer X, Integer Y);
void MoveRectToPoint(TRect& R, const TPoint& P);
// R mirrored horizontally inside Bounds, for right-to-left layout.
TRect MirrorRectInRect(const TRect& Bounds, const TRect& R);
TPoint MirrorPointInRect(const TRect& Bounds, const TPoint& P);
void ClearRect(TRect& R);
// True unless Left < Right and Top < Bottom.
bool RectIsEmpty(const TRect& R);
// LParamToPoint (the signed low and high words of a mouse message's LParam) is the framework's.
Integer SmallPointToInteger(const TSmallPoint& P);
LPARAM SmallPointToLParam(const TSmallPoint& P);
// Copy a whole message record (Msg, WParam, LParam, Result), pointer-sized parameters included.
void CopyToMessage(TMessage& Dest, Cardinal Msg, WPARAM WParam, LPARAM LParam, LRESULT Result);
void CopyMessage(const TMessage& Source, TMessage& Dest);
// The mouse position, (0, 0) when the system cannot tell.
void SafeGetCursorPos(TPoint& P);
// The client rectangle (or the bounds' size before the window exists), as the control adjusts it.
TRect GetAdjustedClientRect(TControl* Control);

TColor RGBColor(Byte R, Byte G, Byte B);

// ---- Datasets ---------------------------------------------------------------------------------

// The dataset of the data source PropInfo's class property holds; nil in every other case, also
// when reading the property fails.
TDataSet* GetPropDataSourceDataSet(TObject* Instance, PPropInfo PropInfo);

// ---- Windows and system -----------------------------------------------------------------------

// Takes one waiting Msg off Wnd's queue; a quit message taken by mistake is posted again.
void RemovePendingMessage(HWND Wnd, Cardinal Msg);
// The character index under the caret of an edit (the unsigned low word of the answer).
Integer GetEditCaretCharIndex(TWinControl* Control);
// Sets the drop-shadow class style when Enable is set and Windows has it (5.1 on), clears it
// otherwise; answers whether Windows has it.
bool SetDropShadowStyle(TCustomForm* Form, TCreateParams& Params, bool Enable);
inline void EmptyProc() {}
inline void FreeObject(TObject* Obj) { delete Obj; }
// Pointer-sized parameters and result: a text or a structure may travel in them.
LRESULT WinSendMessage(HWND Wnd, Cardinal Msg, WPARAM WParam, LPARAM LParam);
LRESULT WinSendTextMessage(HWND Wnd, Cardinal Msg, WPARAM WParam, const String& Text);

// Thin wrappers, each passing its arguments to the one system call of its name.
void WinSetLayout(HDC DC, bool RightToLeft);
void WinOutputDebugString(const String& Text);
Integer WinDrawText(HDC DC, const String& Text, TRect& Rect, Cardinal Flags);
Integer WinDrawTextEx(HDC DC, const String& Text, TRect& Rect, Cardinal Flags, DRAWTEXTPARAMS* Params);
// The height DrawTextEx answers, with no extended parameters.
Integer DrawTextExPlain(HDC DC, const String& Text, TRect& Rect, Cardinal Flags);
bool WinExtTextOut(HDC DC, Integer X, Integer Y, Cardinal Options, const TRect* Clip, const String& Text);
void WinInvalidateRect(HWND Wnd, const TRect* Rect, bool Erase);
void WinValidateRect(HWND Wnd, const TRect* Rect);
bool WinScrollWindowEx(HWND Wnd, Integer DX, Integer DY, const TRect* Scroll, const TRect* Clip, HRGN Update,
                       TRect* UpdateRect, Cardinal Flags);
HWND WinSetFocus(HWND Wnd);
bool WinIsChild(HWND Parent, HWND Wnd);
void WinPostQuitMessage(Integer ExitCode);
LongInt WinGetMessageTime();
// Always the two corner points of a rectangle.
void WinLPtoDP(HDC DC, TRect& Rect);
HRGN WinCreatePolygonRgn(const std::vector<TPoint>& Points, Integer FillMode);
void WinPolyPolyline(TCanvas* Canvas, const std::vector<TPoint>& Points, const std::vector<DWORD>& Counts);
void SendEditGetSel(HWND Wnd, DWORD& SelStart, DWORD& SelEnd);
void SendEditSetSel(HWND Wnd, Integer SelStart, Integer SelEnd);
HBITMAP WinLoadBitmap(HINSTANCE Instance, const String& Name);
// The bitmap resource Name of the program, loaded into Bitmap.
void LoadBitmapResource(TBitmap* Bitmap, const String& Name);
