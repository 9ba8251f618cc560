#include "kvlib/foundation/KvLibVCL.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <cstring>

#include "framework/DB.h"
#include "framework/Graphics.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "framework/forms/Application.h"
#include "framework/forms/Screen.h"
#include "framework/sysutils/OSVersion.h"

namespace {

// Reaches the protected client-rectangle adjustment through a member pointer.
struct TWinControlAccess : TWinControl {
  using TWinControl::AdjustClientRect;
};

// The screen's device context and the canvas over it, and the bitmap alpha fills go through.
HDC ScreenDC = nullptr;
std::unique_ptr<TCanvas> ScreenCanvas;
std::unique_ptr<TBitmap> AlphaFillBitmap;

// The unit turns on the new-style controls and releases its shared objects at exit.
struct TKvLibVCLUnit {
  TKvLibVCLUnit() { NewStyleControls = true; }
  ~TKvLibVCLUnit() { FreeKvLibVCLShared(); }
} KvLibVCLUnit;

// Left, right, centre, each with tab expansion and no prefix processing.
constexpr UINT AlignmentFlags[3] = {DT_LEFT | DT_EXPANDTABS | DT_NOPREFIX, DT_RIGHT | DT_EXPANDTABS | DT_NOPREFIX,
                                    DT_CENTER | DT_EXPANDTABS | DT_NOPREFIX};

}  // namespace

// ---- Base classes -----------------------------------------------------------------------------

TCustomControlKv::TCustomControlKv(TComponent* AOwner) : TCustomControl(AOwner) { FScaleFactor = 1.0f; }

void TCustomControlKv::RecreateWndHandle() { RecreateWnd(); }

void TCustomControlKv::BaseChangeScale(Integer M, Integer D, bool IsDpiChange) {
  TWinControl::ChangeScale(M, D, IsDpiChange);
}

TMemoryStreamKv::~TMemoryStreamKv() { Clear(); }

void* TMemoryStreamKv::Realloc(NativeInt& NewCapacity) {
  const NativeInt Step = 2 * NativeInt(FHalfMemoryDelta);
  if (NewCapacity > 0 && NewCapacity != FSize) NewCapacity = (NewCapacity + Step - 1) & ~(Step - 1);
  if (NewCapacity == GetCapacity()) return FMemory;
  if (NewCapacity == 0) {
    std::free(FBlock);
    FBlock = nullptr;
    FBlockSize = 0;
    return nullptr;
  }
  // The block grows by half again at least, and shrinks only when less than half is used.
  NativeInt BlockSize = FBlockSize;
  if (NewCapacity > FBlockSize)
    BlockSize = std::max(NewCapacity, FBlockSize + FBlockSize / 2);
  else if (NewCapacity < FBlockSize / 2)
    BlockSize = NewCapacity;
  if (BlockSize != FBlockSize) {
    void* P = std::realloc(FBlock, size_t(BlockSize));
    if (!P) throw EStreamError(L"Out of memory while expanding memory stream");
    FBlock = P;
    FBlockSize = BlockSize;
  }
  return FBlock;
}

void RefObjectToVariant(TObject* AObject, Variant& V) {
  V = Variant(IPtr<IInterface>(new TInterfacedObjectWrapper(AObject)));
}

TObject* RefObjectFromVariant(const Variant& V) {
  IPtr<IInterface> Intf = V.AsInterface();
  auto* Ref = dynamic_cast<IObjectRefInterface*>(Intf.Get());
  if (!Ref) RaiseInvalidCast();
  return Ref->GetRefObject();
}

// ---- DPI and drawing --------------------------------------------------------------------------

Integer GetMonitorPixelsPerInch(HWND Wnd) {
  Integer ScreenPPI = Screen ? Screen->GetPixelsPerInch() : 96;
  if (!CheckWin32Version(6, 3)) return ScreenPPI;
  if (!Wnd && Application) Wnd = Application->GetHandle();
  HMONITOR Monitor = MonitorFromWindow(Wnd, MONITOR_DEFAULTTONEAREST);
  if (!Monitor) return ScreenPPI;
  using TGetDpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static const auto GetDpi = [] {
    HMODULE Shcore = LoadLibraryW(L"shcore.dll");
    return Shcore ? reinterpret_cast<TGetDpiForMonitor>(GetProcAddress(Shcore, "GetDpiForMonitor")) : nullptr;
  }();
  UINT X = 0, Y = 0;
  if (GetDpi && SUCCEEDED(GetDpi(Monitor, 0, &X, &Y)) && X > 0) return Integer(X);
  return ScreenPPI;
}

Double GetCanvasScaleFactor(TCanvas* Canvas) {
  return GetMonitorPixelsPerInch(WindowFromDC(Canvas->GetHandle())) / 96.0;
}

void FillRectAlphaBlend(TCanvas* Canvas, const TRect& Rect, TColor Color, Byte Alpha) {
  Integer W = Rect.Width(), H = Rect.Height();
  if (W <= 0 || H <= 0) return;
  if (!AlphaFillBitmap) {
    AlphaFillBitmap = std::make_unique<TBitmap>();
    AlphaFillBitmap->SetSize(W, H);
  } else if (AlphaFillBitmap->GetWidth() < W || AlphaFillBitmap->GetHeight() < H) {
    AlphaFillBitmap->SetSize(std::max(W, AlphaFillBitmap->GetWidth()), std::max(H, AlphaFillBitmap->GetHeight()));
  }
  TCanvas* Fill = AlphaFillBitmap->GetCanvas();
  Fill->GetBrush()->SetStyle(bsSolid);
  Fill->GetBrush()->SetColor(Color);
  Fill->FillRect(TRect(0, 0, W, H));
  BLENDFUNCTION Blend{AC_SRC_OVER, 0, Alpha, 0};
  AlphaBlend(Canvas->GetHandle(), Rect.Left, Rect.Top, W, H, Fill->GetHandle(), 0, 0, W, H, Blend);
}

void DrawTextDefault(TCanvas* Canvas, const String& Text, const TRect& Rect) {
  TDrawTextParamsKv Params;
  Params.Opaque = Canvas->GetBrush()->GetStyle() != bsClear;
  DrawTextWithParams(Canvas, Text, Rect, TRect(), Params);
}

void DrawTextWithParams(TCanvas* Canvas, const String& Text, const TRect& Rect, const TRect&,
                        const TDrawTextParamsKv& Params) {
  UINT Flags = AlignmentFlags[Params.Alignment < 3 ? Params.Alignment : 0];
  if (Params.WrapMode == 1) Flags |= DT_WORDBREAK;
  if (Params.WrapMode == 2) Flags |= DT_SINGLELINE;
  if (Params.EndEllipsis) Flags |= DT_END_ELLIPSIS;
  if (Params.RightToLeftMode == 1) Flags |= DT_RTLREADING;
  if (!Params.Opaque) Canvas->GetBrush()->SetStyle(bsClear);
  HDC DC = Canvas->GetHandle();
  Canvas->RequiredState(TCanvasState{csHandleValid, csFontValid, csBrushValid});
  RECT R{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
  if (Params.Layout == 1 || Params.Layout == 2) {
    RECT Calc = R;
    Integer H = DrawTextW(DC, Text.c_str(), int(Text.size()), &Calc, Flags | DT_CALCRECT);
    R.top = Params.Layout == 1 ? (R.top + R.bottom - H) / 2 : R.bottom - H;
  }
  DrawTextW(DC, Text.c_str(), int(Text.size()), &R, Flags);
}

void GetTextCharExtents(TCanvas* Canvas, const String& Text, TSize& Size, std::vector<Integer>& Extents) {
  Size = TSize();
  Extents.assign(Text.size(), 0);
  if (Text.empty()) return;
  Canvas->RequiredState(TCanvasState{csHandleValid, csFontValid});
  int Fit = 0;
  SIZE S{};
  static_assert(sizeof(Integer) == sizeof(int));
  if (GetTextExtentExPointW(Canvas->GetHandle(), Text.c_str(), int(Text.size()), 10000, &Fit,
                            reinterpret_cast<int*>(Extents.data()), &S))
    Size = TSize(S.cx, S.cy);
}

TCanvas* ScreenCanvasKv() {
  if (!ScreenCanvas) {
    ScreenDC = GetDC(nullptr);
    ScreenCanvas = std::make_unique<TCanvas>();
    ScreenCanvas->SetHandle(ScreenDC);
  }
  return ScreenCanvas.get();
}

Integer GetFontTextHeight(TCanvas* Canvas, TFont* Font, bool WithLeading) {
  if (!Canvas || !Canvas->HandleAllocated()) Canvas = ScreenCanvasKv();
  Canvas->SetFont(Font);
  Canvas->RequiredState(TCanvasState{csHandleValid, csFontValid});
  TEXTMETRICW M{};
  GetTextMetricsW(Canvas->GetHandle(), &M);
  return M.tmHeight + (WithLeading ? M.tmExternalLeading : 0);
}

void GetCanvasTextMetrics(TCanvas* Canvas, TEXTMETRICW& Metrics) {
  Metrics = TEXTMETRICW{};
  TCanvas* Measure = Canvas;
  if (!Canvas->HandleAllocated()) {
    Measure = ScreenCanvasKv();
    Measure->SetFont(Canvas->GetFont());
  }
  Measure->RequiredState(TCanvasState{csHandleValid, csFontValid});
  GetTextMetricsW(Measure->GetHandle(), &Metrics);
}

void FreeKvLibVCLShared() {
  if (ScreenCanvas) ScreenCanvas->SetHandle(nullptr);
  if (ScreenDC) ReleaseDC(nullptr, ScreenDC);
  ScreenDC = nullptr;
  ScreenCanvas.reset();
  AlphaFillBitmap.reset();
}

// ---- Cursors ----------------------------------------------------------------------------------

HCURSOR LoadCursorChecked(HINSTANCE Instance, const String& Name) {
  HCURSOR Cursor = LoadCursorW(Instance, Name.c_str());
  if (!Cursor) throw EOutOfResources(L"Cannot load cursor resource");
  return Cursor;
}

Integer LoadRegisterCursorKv(const String& Name) {
  HCURSOR Default = Screen->GetCursors(0);
  for (Integer I = 1; I <= 32767; ++I) {
    if (Screen->GetCursors(I) != Default) continue;
    Screen->SetCursors(I, LoadCursorChecked(HINSTANCE(HInstance()), Name));
    return I;
  }
  throw Exception(L"LoadRegisterCursorKv could not register cursor - \"" + Name + L"\"");
}

// ---- Rectangles, points and messages ----------------------------------------------------------

TRect InflateRectSides(const TRect& R, Integer DLeft, Integer DTop, Integer DRight, Integer DBottom) {
  return TRect(R.Left + DLeft, R.Top + DTop, R.Right + DRight, R.Bottom + DBottom);
}

void MoveRectTo(TRect& R, Integer X, Integer Y) {
  Integer W = R.Right - R.Left, H = R.Bottom - R.Top;
  R = TRect(X, Y, X + W, Y + H);
}

void MoveRectToPoint(TRect& R, const TPoint& P) { MoveRectTo(R, P.X, P.Y); }

TPoint MirrorPointInRect(const TRect& Bounds, const TPoint& P) {
  return TPoint(Bounds.Left + Bounds.Right - P.X, P.Y);
}

TRect MirrorRectInRect(const TRect& Bounds, const TRect& R) {
  Integer Right = MirrorPointInRect(Bounds, TPoint(R.Left, R.Top)).X;
  return TRect(Right - (R.Right - R.Left), R.Top, Right, R.Bottom);
}

void ClearRect(TRect& R) { R = TRect(0, 0, 0, 0); }

bool RectIsEmpty(const TRect& R) { return !(R.Left < R.Right && R.Top < R.Bottom); }

Integer SmallPointToInteger(const TSmallPoint& P) { return Integer(Word(P.x) | (Cardinal(Word(P.y)) << 16)); }

LPARAM SmallPointToLParam(const TSmallPoint& P) { return LPARAM(SmallPointToInteger(P)); }

TObject* IntPtrToObject(NativeInt Value) { return reinterpret_cast<TObject*>(Value); }

NativeInt ObjectToIntPtr(TObject* Value) { return reinterpret_cast<NativeInt>(Value); }

void CopyToMessage(TMessage& Dest, Cardinal Msg, WPARAM WParam, LPARAM LParam, LRESULT Result) {
  Dest.Msg = Msg;
  Dest.WParam = WParam;
  Dest.LParam = LParam;
  Dest.Result = Result;
}

void CopyMessage(const TMessage& Source, TMessage& Dest) {
  CopyToMessage(Dest, Source.Msg, Source.WParam, Source.LParam, Source.Result);
}

void SafeGetCursorPos(TPoint& P) {
  POINT Pt;
  P = GetCursorPos(&Pt) ? TPoint(Pt.x, Pt.y) : TPoint(0, 0);
}

TRect GetAdjustedClientRect(TControl* Control) {
  TRect R;
  auto* Windowed = dynamic_cast<TWinControl*>(Control);
  if (Windowed && Windowed->HandleAllocated())
    R = Control->GetClientRect();
  else
    R = TRect(0, 0, Control->GetWidth(), Control->GetHeight());
  if (Windowed) (Windowed->*&TWinControlAccess::AdjustClientRect)(R);
  return R;
}

// ---- Strings and characters -------------------------------------------------------------------

bool IsCharInSet(Char C, std::initializer_list<Char> Set) {
  for (Char S : Set)
    if (S == C) return true;
  return false;
}

bool IsLeadByteChar(AnsiChar C) { return IsDBCSLeadByte(BYTE(C)) != 0; }

String NullSafeVarToStr(const Variant& V) { return VarIsNull(V) ? String() : VarToStr(V); }

Integer CompareWideStringsLocale(const String& S1, const String& S2, Integer Count, bool IgnoreCase) {
  int L1 = int(S1.size()), L2 = int(S2.size());
  if (Count > 0) {
    L1 = std::min(L1, Count);
    L2 = std::min(L2, Count);
  }
  int R = CompareStringW(LOCALE_USER_DEFAULT, IgnoreCase ? NORM_IGNORECASE : 0, S1.c_str(), L1, S2.c_str(), L2);
  return R == CSTR_LESS_THAN ? -1 : R == CSTR_GREATER_THAN ? 1 : 0;
}

Integer CompareStringsLocale(const String& S1, const String& S2, Integer Count, bool IgnoreCase) {
  return CompareWideStringsLocale(S1, S2, Count, IgnoreCase);
}

String UpperCaseLocale(const String& S) { return AnsiUpperCase(S); }
String LowerCaseLocale(const String& S) { return AnsiLowerCase(S); }
Integer CompareStrLocale(const String& S1, const String& S2) { return CompareWideStringsLocale(S1, S2, 0, false); }
Integer CompareTextLocale(const String& S1, const String& S2) { return CompareWideStringsLocale(S1, S2, 0, true); }

wchar_t* CopyWideChars(wchar_t* Dest, size_t DestCapacity, const wchar_t* Src) {
  if (DestCapacity == 0) return Dest;
  const size_t Len = std::min(std::wcslen(Src), DestCapacity - 1);
  std::memcpy(Dest, Src, Len * sizeof(wchar_t));
  Dest[Len] = L'\0';
  return Dest;
}

void VarArrayRedimKv(Variant& V, Integer HighBound) { VarArrayRedim(V, HighBound); }

TColor RGBColor(Byte R, Byte G, Byte B) { return RGB(R, G, B); }

// ---- Datasets ---------------------------------------------------------------------------------

Integer DataSetCompareBookmarks(TDataSet* DataSet, const TBookmark& B1, const TBookmark& B2) {
  return DataSet->CompareBookmarks(B1, B2);
}

bool DataSetBookmarkValid(TDataSet* DataSet, const TBookmark& B) {
  return !B.IsEmpty() && DataSet->BookmarkValid(B);
}

TDataSet* GetPropDataSourceDataSet(TObject* Instance, PPropInfo PropInfo) {
  try {
    if (!Instance || !PropInfo || !PropInfo->PropType || PropInfo->PropType->Kind != tkClass) return nullptr;
    auto* Source = dynamic_cast<TDataSource*>(GetObjectProp(Instance, PropInfo));
    return Source ? Source->GetDataSet() : nullptr;
  } catch (...) {
    return nullptr;
  }
}

// ---- Windows and system -----------------------------------------------------------------------

Integer GetLocaleFirstDayOfWeek() {
  wchar_t Buf[4] = {};
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IFIRSTDAYOFWEEK, Buf, 4)) return 0;
  return Integer(Buf[0] - L'0');
}

UInt64 GetTickCount64Compat() { return GetTickCount64(); }

void RemovePendingMessage(HWND Wnd, Cardinal Msg) {
  MSG M;
  if (PeekMessageW(&M, Wnd, Msg, Msg, PM_REMOVE) && M.message == WM_QUIT) PostQuitMessage(int(M.wParam));
}

LRESULT WinSendMessage(HWND Wnd, Cardinal Msg, WPARAM WParam, LPARAM LParam) {
  return SendMessageW(Wnd, Msg, WParam, LParam);
}

LRESULT WinSendTextMessage(HWND Wnd, Cardinal Msg, WPARAM WParam, const String& Text) {
  return SendMessageW(Wnd, Msg, WParam, reinterpret_cast<LPARAM>(Text.c_str()));
}

Integer GetEditCaretCharIndex(TWinControl* Control) {
  POINT P{};
  GetCaretPos(&P);
  LRESULT R = SendMessageW(Control->GetHandle(), EM_CHARFROMPOS, 0, MAKELPARAM(P.x, P.y));
  return Integer(LOWORD(DWORD_PTR(R)));
}

bool SetDropShadowStyle(TCustomForm*, TCreateParams& Params, bool Enable) {
  bool Supported = CheckWin32Version(5, 1);
  if (Enable && Supported)
    Params.WindowClass.style |= CS_DROPSHADOW;
  else
    Params.WindowClass.style &= ~UINT(CS_DROPSHADOW);
  return Supported;
}

// ---- Thin wrappers ----------------------------------------------------------------------------

namespace {

RECT ToRECT(const TRect& R) { return RECT{R.Left, R.Top, R.Right, R.Bottom}; }
TRect FromRECT(const RECT& R) { return TRect(R.left, R.top, R.right, R.bottom); }

}  // namespace

void WinSetLayout(HDC DC, bool RightToLeft) { SetLayout(DC, RightToLeft ? LAYOUT_RTL : 0); }

void WinOutputDebugString(const String& Text) { OutputDebugStringW(Text.c_str()); }

Integer WinDrawText(HDC DC, const String& Text, TRect& Rect, Cardinal Flags) {
  RECT R = ToRECT(Rect);
  String Buf = Text;
  Integer Result = DrawTextW(DC, Buf.data(), int(Buf.size()), &R, Flags);
  Rect = FromRECT(R);
  return Result;
}

Integer WinDrawTextEx(HDC DC, const String& Text, TRect& Rect, Cardinal Flags, DRAWTEXTPARAMS* Params) {
  RECT R = ToRECT(Rect);
  String Buf = Text;  // DT_MODIFYSTRING may write into it
  Integer Result = DrawTextExW(DC, Buf.data(), int(Buf.size()), &R, Flags, Params);
  Rect = FromRECT(R);
  return Result;
}

Integer DrawTextExPlain(HDC DC, const String& Text, TRect& Rect, Cardinal Flags) {
  return WinDrawTextEx(DC, Text, Rect, Flags, nullptr);
}

bool WinExtTextOut(HDC DC, Integer X, Integer Y, Cardinal Options, const TRect* Clip, const String& Text) {
  RECT R = Clip ? ToRECT(*Clip) : RECT{};
  return ExtTextOutW(DC, X, Y, Options, Clip ? &R : nullptr, Text.c_str(), UINT(Text.size()), nullptr) != 0;
}

void WinInvalidateRect(HWND Wnd, const TRect* Rect, bool Erase) {
  RECT R = Rect ? ToRECT(*Rect) : RECT{};
  InvalidateRect(Wnd, Rect ? &R : nullptr, Erase);
}

void WinValidateRect(HWND Wnd, const TRect* Rect) {
  RECT R = Rect ? ToRECT(*Rect) : RECT{};
  ValidateRect(Wnd, Rect ? &R : nullptr);
}

bool WinScrollWindowEx(HWND Wnd, Integer DX, Integer DY, const TRect* Scroll, const TRect* Clip, HRGN Update,
                       TRect* UpdateRect, Cardinal Flags) {
  RECT S = Scroll ? ToRECT(*Scroll) : RECT{}, C = Clip ? ToRECT(*Clip) : RECT{}, U{};
  int Result = ScrollWindowEx(Wnd, DX, DY, Scroll ? &S : nullptr, Clip ? &C : nullptr, Update,
                              UpdateRect ? &U : nullptr, Flags);
  if (UpdateRect) *UpdateRect = FromRECT(U);
  return Result != ERROR;
}

HWND WinSetFocus(HWND Wnd) { return SetFocus(Wnd); }
bool WinIsChild(HWND Parent, HWND Wnd) { return IsChild(Parent, Wnd) != 0; }
void WinPostQuitMessage(Integer ExitCode) { PostQuitMessage(ExitCode); }
LongInt WinGetMessageTime() { return GetMessageTime(); }

void WinLPtoDP(HDC DC, TRect& Rect) {
  POINT P[2] = {{Rect.Left, Rect.Top}, {Rect.Right, Rect.Bottom}};
  LPtoDP(DC, P, 2);
  Rect = TRect(P[0].x, P[0].y, P[1].x, P[1].y);
}

HRGN WinCreatePolygonRgn(const std::vector<TPoint>& Points, Integer FillMode) {
  std::vector<POINT> P;
  P.reserve(Points.size());
  for (const TPoint& Pt : Points) P.push_back(POINT{Pt.X, Pt.Y});
  return CreatePolygonRgn(P.data(), int(P.size()), FillMode);
}

void WinPolyPolyline(TCanvas* Canvas, const std::vector<TPoint>& Points, const std::vector<DWORD>& Counts) {
  std::vector<POINT> P;
  P.reserve(Points.size());
  for (const TPoint& Pt : Points) P.push_back(POINT{Pt.X, Pt.Y});
  Canvas->RequiredState(TCanvasState{csHandleValid, csPenValid});
  PolyPolyline(Canvas->GetHandle(), P.data(), Counts.data(), DWORD(Counts.size()));
}

void SendEditGetSel(HWND Wnd, DWORD& SelStart, DWORD& SelEnd) {
  SendMessageW(Wnd, EM_GETSEL, reinterpret_cast<WPARAM>(&SelStart), reinterpret_cast<LPARAM>(&SelEnd));
}

void SendEditSetSel(HWND Wnd, Integer SelStart, Integer SelEnd) { SendMessageW(Wnd, EM_SETSEL, SelStart, SelEnd); }

HBITMAP WinLoadBitmap(HINSTANCE Instance, const String& Name) { return LoadBitmapW(Instance, Name.c_str()); }

void LoadBitmapResource(TBitmap* Bitmap, const String& Name) { Bitmap->LoadFromResourceName(HInstance(), Name); }
