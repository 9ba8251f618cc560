#include "framework/Forms.h"

TScreen* Screen = nullptr;

// ---- TMonitor -----------------------------------------------------------------------------------

TRect TMonitor::GetBoundsRect() const {
  MONITORINFO MI{sizeof(MONITORINFO)};
  if (!GetMonitorInfoW(FHandle, &MI)) return TRect();
  return Rect(MI.rcMonitor.left, MI.rcMonitor.top, MI.rcMonitor.right, MI.rcMonitor.bottom);
}

TRect TMonitor::GetWorkareaRect() const {
  MONITORINFO MI{sizeof(MONITORINFO)};
  if (!GetMonitorInfoW(FHandle, &MI)) return TRect();
  return Rect(MI.rcWork.left, MI.rcWork.top, MI.rcWork.right, MI.rcWork.bottom);
}

bool TMonitor::GetPrimary() const {
  MONITORINFO MI{sizeof(MONITORINFO)};
  return GetMonitorInfoW(FHandle, &MI) && (MI.dwFlags & MONITORINFOF_PRIMARY);
}

Integer TMonitor::GetPixelsPerInch() const {
  // shcore's GetDpiForMonitor exists from Windows 8.1; earlier systems have one DPI for all.
  using TGetDpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static TGetDpiForMonitor GetDpi = [] {
    HMODULE Lib = LoadLibraryW(L"shcore.dll");
    return Lib ? reinterpret_cast<TGetDpiForMonitor>(reinterpret_cast<void*>(GetProcAddress(Lib, "GetDpiForMonitor"))) : nullptr;
  }();
  UINT X = 0, Y = 0;
  if (GetDpi && GetDpi(FHandle, 0 /* MDT_EFFECTIVE_DPI */, &X, &Y) == S_OK && Y > 0) return Integer(Y);
  return Screen ? Screen->GetPixelsPerInch() : 96;
}

// ---- TScreen ----------------------------------------------------------------------------------

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {
  HDC DC = GetDC(nullptr);
  FPixelsPerInch = GetDeviceCaps(DC, LOGPIXELSY);
  ReleaseDC(nullptr, DC);
  if (FPixelsPerInch <= 0) FPixelsPerInch = 96;
  FDefaultKbLayout = GetKeyboardLayout(0);
}

TScreen::~TScreen() {
  for (auto& [Index, Handle] : FCursors)
    if (Index > 0 && Handle) DestroyCursor(Handle);
}

void TScreen::RemoveForm(TCustomForm* Form) {
  FForms.erase(std::remove(FForms.begin(), FForms.end(), Form), FForms.end());
}

void TScreen::SetCursor(TCursor Value) {
  if (FCursor == Value) return;
  FCursor = Value;
  POINT P;
  GetCursorPos(&P);
  if (Value == crDefault)
    SetCursorPos(P.x, P.y);  // the window under the mouse sets its own cursor again
  else
    ::SetCursor(GetCursors(Value));
}

HCURSOR TScreen::GetCursors(Integer Index) {
  auto It = FCursors.find(Index);
  if (It != FCursors.end() && It->second) return It->second;
  const wchar_t* Stock = nullptr;
  switch (Index) {
    case crArrow: case crDefault: Stock = IDC_ARROW; break;
    case crCross: Stock = IDC_CROSS; break;
    case crIBeam: Stock = IDC_IBEAM; break;
    case crSizeNESW: Stock = IDC_SIZENESW; break;
    case crSizeNS: case crVSplit: Stock = IDC_SIZENS; break;
    case crSizeNWSE: Stock = IDC_SIZENWSE; break;
    case crSizeWE: case crHSplit: Stock = IDC_SIZEWE; break;
    case crUpArrow: Stock = IDC_UPARROW; break;
    case crHourGlass: case crSQLWait: Stock = IDC_WAIT; break;
    case crDrag: case crMultiDrag: Stock = IDC_ARROW; break;
    case crNoDrop: case crNo: Stock = IDC_NO; break;
    case crAppStart: Stock = IDC_APPSTARTING; break;
    case crHelp: Stock = IDC_HELP; break;
    case crHandPoint: Stock = IDC_HAND; break;
    case crSizeAll: Stock = IDC_SIZEALL; break;
    case crNone: return nullptr;
    default: break;
  }
  if (!Stock) return GetCursors(crDefault);  // a free slot answers the default cursor
  // The split cursors come from the program's resources when it has them.
  HCURSOR H = nullptr;
  if (Index == crHSplit) H = LoadCursorW(reinterpret_cast<HINSTANCE>(HInstance()), L"CRHSPLIT");
  if (Index == crVSplit) H = LoadCursorW(reinterpret_cast<HINSTANCE>(HInstance()), L"CRVSPLIT");
  if (!H) H = LoadCursorW(nullptr, Stock);
  FCursors[Index] = H;
  return H;
}

void TScreen::SetCursors(Integer Index, HCURSOR Handle) {
  auto It = FCursors.find(Index);
  if (It != FCursors.end() && Index > 0 && It->second && It->second != Handle) DestroyCursor(It->second);
  if (Index == crDefault && !Handle) Handle = LoadCursorW(nullptr, IDC_ARROW);
  FCursors[Index] = Handle;
}

TMonitor* TScreen::FindMonitor(HMONITOR Handle) {
  if (!Handle) return nullptr;
  for (auto& M : FMonitors)
    if (M->GetHandle() == Handle) return M.get();
  FMonitors.clear();
  GetMonitorCount();
  for (auto& M : FMonitors)
    if (M->GetHandle() == Handle) return M.get();
  FMonitors.push_back(std::make_unique<TMonitor>(Handle, Integer(FMonitors.size())));
  return FMonitors.back().get();
}

Integer TScreen::GetMonitorCount() {
  if (FMonitors.empty()) {
    EnumDisplayMonitors(nullptr, nullptr, [](HMONITOR H, HDC, LPRECT, LPARAM Data) -> BOOL {
      auto* Self = reinterpret_cast<TScreen*>(Data);
      Self->FMonitors.push_back(std::make_unique<TMonitor>(H, Integer(Self->FMonitors.size())));
      return TRUE;
    }, reinterpret_cast<LPARAM>(this));
  }
  return Integer(FMonitors.size());
}

TMonitor* TScreen::GetMonitors(Integer Index) {
  GetMonitorCount();
  return FMonitors.at(Index).get();
}

TMonitor* TScreen::GetPrimaryMonitor() { return FindMonitor(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY)); }

namespace {
DWORD MonitorFlags(TMonitorDefaultTo D) {
  return D == mdNull ? MONITOR_DEFAULTTONULL : D == mdPrimary ? MONITOR_DEFAULTTOPRIMARY : MONITOR_DEFAULTTONEAREST;
}
}  // namespace

TMonitor* TScreen::MonitorFromPoint(const TPoint& Point, TMonitorDefaultTo MonitorDefault) {
  return FindMonitor(::MonitorFromPoint(POINT{Point.X, Point.Y}, MonitorFlags(MonitorDefault)));
}

TMonitor* TScreen::MonitorFromRect(const TRect& R, TMonitorDefaultTo MonitorDefault) {
  RECT WR{R.Left, R.Top, R.Right, R.Bottom};
  return FindMonitor(::MonitorFromRect(&WR, MonitorFlags(MonitorDefault)));
}

TMonitor* TScreen::MonitorFromWindow(HWND Handle, TMonitorDefaultTo MonitorDefault) {
  return FindMonitor(::MonitorFromWindow(Handle, MonitorFlags(MonitorDefault)));
}

TRect TScreen::GetWorkAreaRect() const {
  RECT R;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &R, 0);
  return Rect(R.left, R.top, R.right, R.bottom);
}

TRect TScreen::GetDesktopRect() const {
  Integer L = GetSystemMetrics(SM_XVIRTUALSCREEN), T = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return Bounds(L, T, GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

Integer TScreen::GetWidth() const { return GetSystemMetrics(SM_CXSCREEN); }
Integer TScreen::GetHeight() const { return GetSystemMetrics(SM_CYSCREEN); }

void TScreen::SetActiveForm(TCustomForm* Form) { FActiveForm = Form; }
void TScreen::SetActiveControl(TWinControl* Control) { FActiveControl = Control; }
