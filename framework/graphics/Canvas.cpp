#include "framework/graphics/Canvas.h"

#include <algorithm>

#include "framework/WinApi.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Graphic.h"

namespace {
const TCanvasState csAllValid{csHandleValid, csFontValid, csPenValid, csBrushValid};
}

TCanvas::TCanvas() : FFont(std::make_unique<TFont>()), FPen(std::make_unique<TPen>()), FBrush(std::make_unique<TBrush>()) {
  FFont->SetOnChange({this, &TCanvas::FontChanged});
  FPen->SetOnChange({this, &TCanvas::PenChanged});
  FBrush->SetOnChange({this, &TCanvas::BrushChanged});
}

TCanvas::~TCanvas() {
  SetHandle(nullptr);
#if defined(__MINGW32__) && defined(_GLIBCXX_HAS_GTHREADS)
  // libstdc++ gives a statically initialised mutex no destructor, and winpthreads allocates it on
  // the first lock: without this every canvas that was ever locked (each painted control) leaks it.
  pthread_mutex_destroy(FLock.native_handle());
#endif
}

void TCanvas::Changed() { DoEvent(FOnChange, this); }
void TCanvas::Changing() { DoEvent(FOnChanging, this); }
void TCanvas::CreateHandle() {}

void TCanvas::RequiredState(TCanvasState ReqState) {
  TCanvasState Needed = ReqState - FState;
  if (Needed.Empty()) return;
  if (Needed.Contains(csHandleValid)) {
    CreateHandle();
    if (!FHandle) throw EInvalidOperation(L"Canvas does not allow drawing");
  }
  if (Needed.Contains(csFontValid)) CreateFont();
  if (Needed.Contains(csPenValid)) CreatePen();
  if (Needed.Contains(csBrushValid)) CreateBrush();
  FState += Needed;
}

void TCanvas::CreateFont() {
  SelectObject(FHandle, FFont->GetHandle());
  SetTextColor(FHandle, ColorToRGB(FFont->GetColor()));
}

void TCanvas::CreatePen() {
  static const int Modes[] = {R2_BLACK,       R2_WHITE,      R2_NOP,        R2_NOT,      R2_COPYPEN,   R2_NOTCOPYPEN,
                              R2_MERGEPENNOT, R2_MASKPENNOT, R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN, R2_NOTMERGEPEN,
                              R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,      R2_NOTXORPEN};
  SelectObject(FHandle, FPen->GetHandle());
  SetROP2(FHandle, Modes[FPen->GetMode()]);
}

void TCanvas::CreateBrush() {
  HBRUSH B = FBrush->GetHandle();
  UnrealizeObject(B);
  SelectObject(FHandle, B);
  // A solid brush also paints the background of text and of styled lines.
  if (FBrush->GetStyle() == bsSolid) {
    SetBkColor(FHandle, ColorToRGB(FBrush->GetColor()));
    SetBkMode(FHandle, OPAQUE);
  } else {
    SetBkColor(FHandle, ~ColorToRGB(FBrush->GetColor()) & 0xFFFFFF);
    SetBkMode(FHandle, TRANSPARENT);
  }
}

void TCanvas::DeselectHandles() {
  if (!FHandle) return;
  if (FState.Contains(csFontValid)) SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
  if (FState.Contains(csPenValid)) SelectObject(FHandle, GetStockObject(BLACK_PEN));
  if (FState.Contains(csBrushValid)) SelectObject(FHandle, GetStockObject(HOLLOW_BRUSH));
  FState -= TCanvasState{csFontValid, csPenValid, csBrushValid};
}

// A changed font, pen or brush has a new handle: the old one leaves the DC now, the new one
// is selected when next needed.
void TCanvas::FontChanged(TObject*) {
  if (FState.Contains(csFontValid)) {
    FState.Exclude(csFontValid);
    SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
  }
}

void TCanvas::PenChanged(TObject*) {
  if (FState.Contains(csPenValid)) {
    FState.Exclude(csPenValid);
    SelectObject(FHandle, GetStockObject(BLACK_PEN));
  }
}

void TCanvas::BrushChanged(TObject*) {
  if (FState.Contains(csBrushValid)) {
    FState.Exclude(csBrushValid);
    SelectObject(FHandle, GetStockObject(HOLLOW_BRUSH));
  }
}

HDC TCanvas::GetHandle() {
  Changing();
  RequiredState(csAllValid);
  return FHandle;
}

void TCanvas::SetHandle(HDC Value) {
  if (FHandle == Value) return;
  if (FHandle) {
    DeselectHandles();
    POINT P;
    if (GetCurrentPositionEx(FHandle, &P)) FPenPos = TPoint(P.x, P.y);
    FHandle = nullptr;
    FState.Exclude(csHandleValid);
  }
  if (Value) {
    FState.Include(csHandleValid);
    FHandle = Value;
    MoveToEx(FHandle, FPenPos.X, FPenPos.Y, nullptr);
  }
}

void TCanvas::Refresh() { DeselectHandles(); }

void TCanvas::Lock() {
  FLock.lock();
  ++FLockCount;
}

void TCanvas::Unlock() {
  --FLockCount;
  FLock.unlock();
}

bool TCanvas::TryLock() {
  if (!FLock.try_lock()) return false;
  ++FLockCount;
  return true;
}

void TCanvas::Arc(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer X3, Integer Y3, Integer X4, Integer Y4) {
  Changing();
  RequiredState({csHandleValid, csPenValid});
  ::Arc(FHandle, X1, Y1, X2, Y2, X3, Y3, X4, Y4);
  Changed();
}

void TCanvas::Chord(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer X3, Integer Y3, Integer X4, Integer Y4) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Chord(FHandle, X1, Y1, X2, Y2, X3, Y3, X4, Y4);
  Changed();
}

void TCanvas::Pie(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer X3, Integer Y3, Integer X4, Integer Y4) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Pie(FHandle, X1, Y1, X2, Y2, X3, Y3, X4, Y4);
  Changed();
}

void TCanvas::BrushCopy(const TRect& Dest, TBitmap* Bitmap, const TRect& Source, TColor Color) {
  if (!Bitmap || Bitmap->GetEmpty()) return;
  // The source part with Color made transparent, drawn over the brush.
  TBitmap Part;
  Part.SetSize(Source.Width(), Source.Height());
  Part.GetCanvas()->CopyRect(Rect(0, 0, Source.Width(), Source.Height()), Bitmap->GetCanvas(), Source);
  Part.SetTransparentColor(Color);
  Part.SetTransparent(true);
  FillRect(Dest);
  StretchDraw(Dest, &Part);
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  Canvas->RequiredState({csHandleValid, csBrushValid});
  StretchBlt(FHandle, Dest.Left, Dest.Top, Dest.Width(), Dest.Height(), Canvas->FHandle, Source.Left, Source.Top,
             Source.Width(), Source.Height(), FCopyMode);
  Changed();
}

void TCanvas::Draw(Integer X, Integer Y, TGraphic* Graphic) {
  if (!Graphic || Graphic->GetEmpty()) return;
  Changing();
  RequiredState({csHandleValid});
  SetBkColor(FHandle, ColorToRGB(FBrush->GetColor()));
  SetTextColor(FHandle, ColorToRGB(FFont->GetColor()));
  Graphic->Draw(this, Rect(X, Y, X + Graphic->GetWidth(), Y + Graphic->GetHeight()));
  Changed();
}

void TCanvas::Draw(Integer X, Integer Y, TGraphic* Graphic, Byte Opacity) {
  if (!Graphic || Graphic->GetEmpty()) return;
  Changing();
  RequiredState({csHandleValid});
  SetBkColor(FHandle, ColorToRGB(FBrush->GetColor()));
  SetTextColor(FHandle, ColorToRGB(FFont->GetColor()));
  Graphic->DrawTransparent(this, Rect(X, Y, X + Graphic->GetWidth(), Y + Graphic->GetHeight()), Opacity);
  Changed();
}

void TCanvas::StretchDraw(const TRect& R, TGraphic* Graphic) {
  if (!Graphic || Graphic->GetEmpty()) return;
  Changing();
  RequiredState({csHandleValid});
  SetBkColor(FHandle, ColorToRGB(FBrush->GetColor()));
  SetTextColor(FHandle, ColorToRGB(FFont->GetColor()));
  Graphic->Draw(this, R);
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& R) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  RECT W = {R.Left, R.Top, R.Right, R.Bottom};
  ::DrawFocusRect(FHandle, &W);
  Changed();
}

void TCanvas::Ellipse(Integer X1, Integer Y1, Integer X2, Integer Y2) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Ellipse(FHandle, X1, Y1, X2, Y2);
  Changed();
}

void TCanvas::FillRect(const TRect& R) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  RECT W = {R.Left, R.Top, R.Right, R.Bottom};
  ::FillRect(FHandle, &W, FBrush->GetHandle());
  Changed();
}

void TCanvas::FloodFill(Integer X, Integer Y, TColor Color, TFillStyle FillStyle) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  ExtFloodFill(FHandle, X, Y, ColorToRGB(Color), FillStyle == fsSurface ? FLOODFILLSURFACE : FLOODFILLBORDER);
  Changed();
}

void TCanvas::FrameRect(const TRect& R) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  RECT W = {R.Left, R.Top, R.Right, R.Bottom};
  ::FrameRect(FHandle, &W, FBrush->GetHandle());
  Changed();
}

void TCanvas::LineTo(Integer X, Integer Y) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::LineTo(FHandle, X, Y);
  Changed();
}

void TCanvas::MoveTo(Integer X, Integer Y) {
  RequiredState({csHandleValid});
  MoveToEx(FHandle, X, Y, nullptr);
}

TPoint TCanvas::GetPenPos() {
  RequiredState({csHandleValid});
  POINT P;
  GetCurrentPositionEx(FHandle, &P);
  return TPoint(P.x, P.y);
}

void TCanvas::Polygon(const TPoint* Points, Integer Count) {
  if (Count <= 0) return;
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Polygon(FHandle, reinterpret_cast<const POINT*>(Points), Count);
  Changed();
}

void TCanvas::Polyline(const TPoint* Points, Integer Count) {
  if (Count <= 0) return;
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Polyline(FHandle, reinterpret_cast<const POINT*>(Points), Count);
  Changed();
}

void TCanvas::PolyBezier(const TPoint* Points, Integer Count) {
  if (Count <= 0) return;
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::PolyBezier(FHandle, reinterpret_cast<const POINT*>(Points), Count);
  Changed();
}

void TCanvas::Rectangle(Integer X1, Integer Y1, Integer X2, Integer Y2) {
  Changing();
  RequiredState({csHandleValid, csBrushValid, csPenValid});
  ::Rectangle(FHandle, X1, Y1, X2, Y2);
  Changed();
}

void TCanvas::RoundRect(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer X3, Integer Y3) {
  Changing();
  RequiredState({csHandleValid, csBrushValid, csPenValid});
  ::RoundRect(FHandle, X1, Y1, X2, Y2, X3, Y3);
  Changed();
}

TSize TCanvas::TextExtent(const String& Text) {
  RequiredState({csHandleValid, csFontValid});
  SIZE S{0, 0};
  GetTextExtentPoint32W(FHandle, Text.c_str(), Integer(Text.size()), &S);
  return TSize(S.cx, S.cy);
}

TCanvasOrientation TCanvas::GetCanvasOrientation() {
  if (FTextFlags & ETO_RTLREADING) {
    RequiredState({csHandleValid});
    POINT P;
    GetWindowOrgEx(FHandle, &P);
    if (P.x != 0) return coRightToLeft;
  }
  return coLeftToRight;
}

void TCanvas::TextOut(Integer X, Integer Y, const String& Text) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  if (GetCanvasOrientation() == coRightToLeft) X += TextWidth(Text) + 1;
  ExtTextOutW(FHandle, X, Y, FTextFlags, nullptr, Text.c_str(), UINT(Text.size()), nullptr);
  MoveTo(X + TextWidth(Text), Y);
  Changed();
}

void TCanvas::TextRect(const TRect& R, Integer X, Integer Y, const String& Text) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  UINT Options = ETO_CLIPPED | FTextFlags;
  if (FBrush->GetStyle() != bsClear) Options |= ETO_OPAQUE;
  if ((FTextFlags & ETO_RTLREADING) && GetCanvasOrientation() == coRightToLeft) X += TextWidth(Text) + 1;
  RECT W = {R.Left, R.Top, R.Right, R.Bottom};
  ExtTextOutW(FHandle, X, Y, Options, &W, Text.c_str(), UINT(Text.size()), nullptr);
  Changed();
}

void TCanvas::TextRect(TRect& R, String& Text, TTextFormat TextFormat) {
  static const UINT Formats[] = {DT_BOTTOM,      DT_CALCRECT,   DT_CENTER,        DT_EDITCONTROL,
                                 DT_END_ELLIPSIS, DT_PATH_ELLIPSIS, DT_EXPANDTABS,  DT_EXTERNALLEADING,
                                 DT_LEFT,        DT_MODIFYSTRING, DT_NOCLIP,       DT_NOPREFIX,
                                 DT_RIGHT,       DT_RTLREADING, DT_SINGLELINE,    DT_TOP,
                                 DT_VCENTER,     DT_WORDBREAK,  DT_HIDEPREFIX,    DT_NOFULLWIDTHCHARBREAK,
                                 DT_PREFIXONLY,  DT_TABSTOP,    DT_WORD_ELLIPSIS, 0};
  UINT Format = 0;
  for (unsigned I = 0; I < sizeof(Formats) / sizeof(Formats[0]); ++I)
    if (TextFormat.Contains(TTextFormats(I))) Format |= Formats[I];
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  RECT W = {R.Left, R.Top, R.Right, R.Bottom};
  // DT_MODIFYSTRING may append an ellipsis: room for four more characters and the terminator.
  std::vector<wchar_t> Buf(Text.begin(), Text.end());
  Buf.resize(Text.size() + 5, L'\0');
  DrawTextExW(FHandle, Buf.data(), Integer(Text.size()), &W, Format, nullptr);
  if (TextFormat.Contains(tfModifyString)) Text = Buf.data();
  R = TRect(W.left, W.top, W.right, W.bottom);
  Changed();
}

TRect TCanvas::GetClipRect() {
  RequiredState({csHandleValid});
  RECT W{};
  GetClipBox(FHandle, &W);
  return TRect(W.left, W.top, W.right, W.bottom);
}

TColor TCanvas::GetPixel(Integer X, Integer Y) {
  RequiredState({csHandleValid});
  return TColor(::GetPixel(FHandle, X, Y));
}

void TCanvas::SetPixel(Integer X, Integer Y, TColor Value) {
  Changing();
  RequiredState({csHandleValid, csPenValid});
  ::SetPixel(FHandle, X, Y, ColorToRGB(Value));
  Changed();
}

// ---- TControlCanvas ---------------------------------------------------------------------------

TControlCanvasHooks ControlCanvasHooks;

namespace {
// Canvases holding a borrowed DC, oldest first; a few are kept, as window DCs are scarce.
constexpr size_t CanvasListCacheSize = 4;
std::mutex CanvasListLock;
std::vector<TControlCanvas*> CanvasList;
}  // namespace

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::CreateHandle() {
  if (!FControl) {
    inherited::CreateHandle();
    return;
  }
  if (!FDeviceContext) {
    if (!ControlCanvasHooks.GetDeviceContext) return;
    TControlCanvas* Oldest = nullptr;
    {
      std::lock_guard<std::mutex> Guard(CanvasListLock);
      if (CanvasList.size() >= CanvasListCacheSize) Oldest = CanvasList.front();
    }
    if (Oldest && Oldest->TryLock()) {
      Oldest->FreeHandle();
      Oldest->Unlock();
    }
    FDeviceContext = ControlCanvasHooks.GetDeviceContext(FControl, FWindowHandle);
    if (!FDeviceContext) return;
    std::lock_guard<std::mutex> Guard(CanvasListLock);
    CanvasList.push_back(this);
  }
  SetHandle(FDeviceContext);
  UpdateTextFlags();
}

void TControlCanvas::FreeHandle() {
  if (!FDeviceContext) return;
  SetHandle(nullptr);
  ReleaseDC(FWindowHandle, FDeviceContext);
  FDeviceContext = nullptr;
  FWindowHandle = nullptr;
  std::lock_guard<std::mutex> Guard(CanvasListLock);
  CanvasList.erase(std::remove(CanvasList.begin(), CanvasList.end(), this), CanvasList.end());
}

void TControlCanvas::SetControl(TControl* Value) {
  if (FControl == Value) return;
  FreeHandle();
  FControl = Value;
}

void TControlCanvas::UpdateTextFlags() {
  if (!FControl) return;
  if (ControlCanvasHooks.UseRightToLeftReading && ControlCanvasHooks.UseRightToLeftReading(FControl))
    SetTextFlags(GetTextFlags() | ETO_RTLREADING);
  else
    SetTextFlags(GetTextFlags() & ~ETO_RTLREADING);
}

void FreeDeviceContexts() {
  std::vector<TControlCanvas*> All;
  {
    std::lock_guard<std::mutex> Guard(CanvasListLock);
    All = CanvasList;
  }
  for (auto* C : All)
    if (C->TryLock()) {
      C->FreeHandle();
      C->Unlock();
    }
}
