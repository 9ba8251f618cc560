#include "framework/Controls.h"

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  FVisible = false;
  FControlStyle >> csCaptureMouse;
  FColor = clInfoBk;
  FBrush->SetColor(FColor);
  FFont->SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  Params.Style = WS_POPUP | WS_BORDER;
  Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  Params.WindowClass.style |= CS_SAVEBITS | CS_DROPSHADOW;
  Params.WndParent = nullptr;
}

void THintWindow::WMNCHitTest(TWMNCHitTest& Message) { Message.Result = HTTRANSPARENT; }

TRect THintWindow::CalcHintRect(Integer MaxWidth, const String& AHint, void*) {
  RECT R{0, 0, MaxWidth, 0};
  TCanvas* C = GetCanvas();
  C->GetFont()->Assign(FFont.get());
  DrawTextW(C->GetHandle(), AHint.c_str(), -1, &R,
            DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DrawTextBiDiModeFlagsReadingOnly());
  return Rect(0, 0, R.right + 6, R.bottom + 2);
}

void THintWindow::ActivateHint(const TRect& Rect, const String& AHint) {
  SetCaption(AHint);
  TRect R = Rect;
  HMONITOR Mon = MonitorFromPoint(POINT{R.Left, R.Top}, MONITOR_DEFAULTTONEAREST);
  MONITORINFO MI{sizeof(MONITORINFO)};
  if (GetMonitorInfoW(Mon, &MI)) {
    if (R.Right > MI.rcWork.right) OffsetRect(R, MI.rcWork.right - R.Right, 0);
    if (R.Bottom > MI.rcWork.bottom) OffsetRect(R, 0, MI.rcWork.bottom - R.Bottom);
    if (R.Left < MI.rcWork.left) OffsetRect(R, MI.rcWork.left - R.Left, 0);
    if (R.Top < MI.rcWork.top) OffsetRect(R, 0, MI.rcWork.top - R.Top);
  }
  SetBounds(R.Left, R.Top, R.Width(), R.Height());
  SetWindowPos(GetHandle(), HWND_TOPMOST, R.Left, R.Top, R.Width(), R.Height(), SWP_SHOWWINDOW | SWP_NOACTIVATE);
  FVisible = true;
  Invalidate();
}

void THintWindow::ActivateHintData(const TRect& Rect, const String& AHint, void*) { ActivateHint(Rect, AHint); }

bool THintWindow::IsHintMsg(const MSG& Msg) {
  return (Msg.message >= WM_KEYFIRST && Msg.message <= WM_KEYLAST) ||
         (Msg.message == WM_ACTIVATE || Msg.message == WM_ACTIVATEAPP || Msg.message == WM_CANCELMODE) ||
         (Msg.message >= WM_LBUTTONDOWN && Msg.message <= WM_MOUSELAST) ||
         (Msg.message >= WM_NCLBUTTONDOWN && Msg.message <= WM_NCMBUTTONDBLCLK);
}

void THintWindow::ReleaseHandle() {
  FVisible = false;
  DestroyHandle();
}

void THintWindow::Paint() {
  TCanvas* C = GetCanvas();
  RECT R{2, 1, FWidth - 2, FHeight - 1};
  String S = GetCaption();
  C->GetFont()->Assign(FFont.get());
  C->GetBrush()->SetColor(FColor);
  C->FillRect(GetClientRect());
  SetBkMode(C->GetHandle(), TRANSPARENT);
  DrawTextW(C->GetHandle(), S.c_str(), -1, &R, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK | DrawTextBiDiModeFlagsReadingOnly());
}
