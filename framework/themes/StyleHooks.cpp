#include "framework/themes/StyleHooks.h"

#include <algorithm>

#include "framework/Controls.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "framework/themes/CommonStyleHooks.h"
#include "framework/themes/StylePaint.h"

namespace {
// The window's rectangle and its client rectangle, both relative to the window's top-left.
void WindowRects(HWND Wnd, RECT& Window, RECT& Client) {
  RECT W;
  GetWindowRect(Wnd, &W);
  ::GetClientRect(Wnd, &Client);
  MapWindowPoints(Wnd, nullptr, reinterpret_cast<POINT*>(&Client), 2);
  OffsetRect(&Client, -W.left, -W.top);
  Window = RECT{0, 0, W.right - W.left, W.bottom - W.top};
}

// Text in the control's font, with the font selected for the call only.
void DrawControlText(HDC DC, TWinControl* Control, const String& Text, RECT R, UINT Flags, TColor Color) {
  HGDIOBJ OldFont = SelectObject(DC, Control->GetFont()->GetHandle());
  Integer OldMode = SetBkMode(DC, TRANSPARENT);
  COLORREF OldColor = ::SetTextColor(DC, ColorToRGB(Color));
  DrawTextW(DC, Text.c_str(), Integer(Text.size()), &R, UINT(Control->DrawTextBiDiModeFlags(LongInt(Flags))));
  ::SetTextColor(DC, OldColor);
  SetBkMode(DC, OldMode);
  SelectObject(DC, OldFont);
}

Integer TextHeightOf(HDC DC, TWinControl* Control) {
  HGDIOBJ OldFont = SelectObject(DC, Control->GetFont()->GetHandle());
  TEXTMETRICW TM{};
  GetTextMetricsW(DC, &TM);
  SelectObject(DC, OldFont);
  return TM.tmHeight;
}

// 0 normal, 1 hot, 2 pressed, 3 disabled: the order of every element family's states.
Integer ButtonState(TWinControl* Control, HWND Wnd, bool MouseIn) {
  if (!Control->GetEnabled()) return 3;
  if (SendMessageW(Wnd, BM_GETSTATE, 0, 0) & BST_PUSHED) return 2;
  return MouseIn ? 1 : 0;
}
}  // namespace

// ---- TStyleHook -------------------------------------------------------------------------------

TStyleHook::TStyleHook(TWinControl* AControl) : FControl(AControl), FAlive(std::make_shared<bool>(true)) {}

TStyleHook::~TStyleHook() {
  *FAlive = false;
  if (FBrush) DeleteObject(FBrush);
}

bool TStyleHook::HandleMessage(TMessage& Message) {
  if (&Message == FDefaulted || FControl->GetStyleElements().Empty()) return false;
  ++FBusy;
  auto Token = FAlive;
  bool Handled;
  try {
    Handled = WndProc(Message);
  } catch (...) {
    if (*Token) --FBusy;
    throw;
  }
  if (*Token) --FBusy;
  return Handled;
}

bool TStyleHook::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      FMouseInControl = Message.Msg == CM_MOUSEENTER;
      break;
  }
  return false;
}

void TStyleHook::CallDefaultProc(TMessage& Message) {
  TMessage* Saved = FDefaulted;
  auto Token = FAlive;
  FDefaulted = &Message;
  try {
    FControl->TWinControl::WndProc(Message);
  } catch (...) {
    if (*Token) FDefaulted = Saved;
    throw;
  }
  if (*Token) FDefaulted = Saved;
}

HWND TStyleHook::Handle() const { return FControl->HandleAllocated() ? FControl->GetHandle() : nullptr; }

bool TStyleHook::StyleClient() const { return FControl->GetStyleElements().Contains(seClient); }
bool TStyleHook::StyleFont() const { return FControl->GetStyleElements().Contains(seFont); }
bool TStyleHook::StyleBorder() const { return FControl->GetStyleElements().Contains(seBorder); }

TColor TStyleHook::ClientColor() const {
  return StyleClient() ? StyleServices()->GetSystemColor(FControl->GetColor()) : FControl->GetColor();
}

TColor TStyleHook::FontColor(TStyleFont Font) const {
  return StyleFont() ? StyleServices()->GetStyleFontColor(Font) : FControl->GetFont()->GetColor();
}

void TStyleHook::PaintChildren(HDC DC) {
  for (Integer I = 0; I < FControl->GetControlCount(); ++I) {
    TControl* C = FControl->GetControl(I);
    if (dynamic_cast<TWinControl*>(C) || !C->GetVisible()) continue;
    RECT R{C->GetLeft(), C->GetTop(), C->GetLeft() + C->GetWidth(), C->GetTop() + C->GetHeight()};
    if (!RectVisible(DC, &R)) continue;
    Integer Saved = SaveDC(DC);
    MoveWindowOrg(DC, C->GetLeft(), C->GetTop());
    IntersectClipRect(DC, 0, 0, C->GetWidth(), C->GetHeight());
    C->Perform(WM_PAINT, WPARAM(DC));
    RestoreDC(DC, Saved);
  }
}

HBRUSH TStyleHook::Brush(TColor Color) {
  if (!FBrush || FBrushColor != Color) {
    if (FBrush) DeleteObject(FBrush);
    FBrush = CreateSolidBrush(ColorToRGB(Color));
    FBrushColor = Color;
  }
  return FBrush;
}

void TStyleHook::HandlePaint(TMessage& Message) {
  HDC DC = reinterpret_cast<HDC>(Message.WParam);
  if (DC) {
    Paint(DC);
  } else {
    PAINTSTRUCT PS;
    DC = BeginPaint(Handle(), &PS);
    try {
      Paint(DC);
    } catch (...) {
      EndPaint(Handle(), &PS);
      throw;
    }
    EndPaint(Handle(), &PS);
  }
  Message.Result = 0;
}

void TStyleHook::PaintNow() {
  HWND Wnd = Handle();
  if (!Wnd || !IsWindowVisible(Wnd)) return;
  HDC DC = GetDC(Wnd);
  if (!DC) return;
  try {
    Paint(DC);
  } catch (...) {
    ReleaseDC(Wnd, DC);
    throw;
  }
  ReleaseDC(Wnd, DC);
}

// ---- TFormStyleHook ---------------------------------------------------------------------------

bool TFormStyleHook::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_ERASEBKGND: {
      if (!StyleClient() || !Message.WParam) break;
      RECT R;
      ::GetClientRect(Handle(), &R);
      StyleFillRect(reinterpret_cast<HDC>(Message.WParam), R, ClientColor());
      Message.Result = 1;
      return true;
    }
    case WM_NCPAINT: {
      if (!StyleBorder()) break;
      auto Token = AliveToken();
      CallDefaultProc(Message);  // the menu bar and anything else the frame holds
      if (!Alive(Token)) return true;
      if (HDC DC = GetWindowDC(Handle())) {
        PaintNC(DC);
        ReleaseDC(Handle(), DC);
      }
      return true;
    }
    case WM_NCACTIVATE:
      if (!StyleBorder()) break;
      FActive = Message.WParam != 0;
      SendMessageW(Handle(), WM_NCPAINT, 1, 0);
      Message.Result = 1;
      return true;
    case WM_SETTEXT: {
      if (!StyleBorder()) break;
      auto Token = AliveToken();
      CallDefaultProc(Message);
      if (Alive(Token)) SendMessageW(Handle(), WM_NCPAINT, 1, 0);
      return true;
    }
    case WM_PRINT:
      if (!StyleBorder() || !(Message.LParam & PRF_NONCLIENT)) break;
      PaintNC(reinterpret_cast<HDC>(Message.WParam));
      {
        // The client part, in the client's own coordinates.
        RECT W, C;
        WindowRects(Handle(), W, C);
        HDC DC = reinterpret_cast<HDC>(Message.WParam);
        Integer Saved = SaveDC(DC);
        MoveWindowOrg(DC, C.left, C.top);
        IntersectClipRect(DC, 0, 0, C.right - C.left, C.bottom - C.top);
        TMessage Client = Message;
        Client.LParam &= ~LPARAM(PRF_NONCLIENT);
        auto Token = AliveToken();
        CallDefaultProc(Client);
        if (Alive(Token)) RestoreDC(DC, Saved);
      }
      return true;
  }
  return TStyleHook::WndProc(Message);
}

namespace {
// The menu bar beyond its entries, down to the client area. Wine fills it with the system's menu
// colour whatever background the menu was given; the entries draw themselves.
void PaintMenuBarBackground(HWND Wnd, HDC DC, const RECT& Client) {
  HMENU Menu = GetMenu(Wnd);
  MENUBARINFO Bar{};
  Bar.cbSize = sizeof(Bar);
  if (!Menu || !GetMenuBarInfo(Wnd, OBJID_MENU, 0, &Bar)) return;
  RECT Screen;
  GetWindowRect(Wnd, &Screen);
  RECT R = Bar.rcBar;
  OffsetRect(&R, -Screen.left, -Screen.top);
  R.bottom = std::max<LONG>(R.bottom, Client.top);
  Integer Saved = SaveDC(DC);
  for (Integer I = 0, N = GetMenuItemCount(Menu); I < N; ++I) {
    RECT Item;
    if (!GetMenuItemRect(Wnd, Menu, UINT(I), &Item)) continue;
    OffsetRect(&Item, -Screen.left, -Screen.top);
    ExcludeClipRect(DC, Item.left, Item.top, Item.right, Item.bottom);
  }
  TCustomStyleServices* S = StyleServices();
  TColor Back;
  if (!S->GetElementColor(S->GetElementDetails(tmMenuBarBackgroundActive), ecFillColor, Back))
    Back = S->GetSystemColor(clMenuBar);
  StyleFillRect(DC, R, Back);
  RestoreDC(DC, Saved);
}
}  // namespace

void TFormStyleHook::PaintNC(HDC DC) {
  HWND Wnd = Handle();
  LONG Style = GetWindowLongW(Wnd, GWL_STYLE);
  RECT W, C;
  WindowRects(Wnd, W, C);
  if (EqualRect(&W, &C)) return;
  Integer Saved = SaveDC(DC);
  ExcludeClipRect(DC, C.left, C.top, C.right, C.bottom);
  if ((Style & WS_CHILD) == 0) PaintMenuBarBackground(Wnd, DC, C);
  TCustomStyleServices* S = StyleServices();
  bool Active = FActive && IsWindowEnabled(Wnd);
  // The frame: sides and bottom, then the caption across the top.
  Integer Border = std::max<Integer>(C.left - W.left, 0);
  Integer CaptionBottom = C.top;
  if (HMENU Menu = GetMenu(Wnd); Menu && (Style & WS_CHILD) == 0) {
    // The menu bar stays as drawn; the caption ends above it.
    CaptionBottom -= GetSystemMetrics(SM_CYMENU);
  }
  S->DrawElement(DC, S->GetElementDetails(Active ? twFrameLeftActive : twFrameLeftInactive),
                 TRect(0, 0, C.left, W.bottom));
  S->DrawElement(DC, S->GetElementDetails(Active ? twFrameRightActive : twFrameRightInactive),
                 TRect(C.right, 0, W.right, W.bottom));
  S->DrawElement(DC, S->GetElementDetails(Active ? twFrameBottomActive : twFrameBottomInactive),
                 TRect(0, C.bottom, W.right, W.bottom));
  if ((Style & WS_CAPTION) == WS_CAPTION && CaptionBottom > Border) {
    TRect Caption(0, 0, W.right, CaptionBottom);
    S->DrawElement(DC, S->GetElementDetails(Active ? twCaptionActive : twCaptionInactive), Caption);
    Integer BH = GetSystemMetrics(SM_CYSIZE) - 4, BW = GetSystemMetrics(SM_CXSIZE) - 2;
    Integer Top = Border + (CaptionBottom - Border - BH) / 2;
    Integer Right = W.right - Border - 2;
    if (Style & WS_SYSMENU) {
      S->DrawElement(DC, S->GetElementDetails(twCloseButtonNormal), TRect(Right - BW, Top, Right, Top + BH));
      Right -= BW + 2;
      if (Style & (WS_MAXIMIZEBOX | WS_MINIMIZEBOX)) {
        S->DrawElement(DC, S->GetElementDetails((Style & WS_MAXIMIZEBOX) ? twMaxButtonNormal : twMaxButtonDisabled),
                       TRect(Right - BW, Top, Right, Top + BH));
        Right -= BW;
        S->DrawElement(DC, S->GetElementDetails((Style & WS_MINIMIZEBOX) ? twMinButtonNormal : twMinButtonDisabled),
                       TRect(Right - BW, Top, Right, Top + BH));
        Right -= BW;
      }
    }
    NONCLIENTMETRICSW NCM{};
    NCM.cbSize = sizeof(NCM);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(NCM), &NCM, 0);
    HFONT Font = CreateFontIndirectW(&NCM.lfCaptionFont);
    HGDIOBJ OldFont = SelectObject(DC, Font);
    wchar_t Text[512];
    Integer Len = GetWindowTextW(Wnd, Text, 512);
    RECT TR{Border + 6, Border, Right - 4, CaptionBottom};
    TRect TextRect = StyleRect(TR);
    S->DrawText(DC, S->GetElementDetails(Active ? twCaptionActive : twCaptionInactive), String(Text, size_t(Len)),
                TextRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX,
                S->GetStyleFontColor(Active ? sfCaptionTextNormal : sfCaptionTextInactive));
    SelectObject(DC, OldFont);
    DeleteObject(Font);
  }
  RestoreDC(DC, Saved);
}

// ---- TButtonStyleHook -------------------------------------------------------------------------

bool TButtonStyleHook::RepaintsAfter(Cardinal Msg) const {
  switch (Msg) {
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK: case WM_KEYDOWN: case WM_KEYUP:
    case WM_SETFOCUS: case WM_KILLFOCUS: case WM_ENABLE: case WM_SETTEXT: case WM_CAPTURECHANGED:
    case WM_UPDATEUISTATE: case BM_SETSTATE: case BM_SETCHECK: case BM_SETSTYLE: case BM_CLICK:
      return true;
    case WM_MOUSEMOVE:
      return GetCapture() == Handle();
    default:
      return false;
  }
}

bool TButtonStyleHook::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT:
    case WM_PRINTCLIENT:
      HandlePaint(Message);
      return true;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return true;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      TStyleHook::WndProc(Message);
      FControl->Invalidate();  // the hot look
      return false;
    default:
      if (RepaintsAfter(Message.Msg)) {
        auto Token = AliveToken();
        CallDefaultProc(Message);
        if (Alive(Token)) PaintNow();
        return true;
      }
  }
  return TStyleHook::WndProc(Message);
}

void TButtonStyleHook::Paint(HDC DC) {
  HWND Wnd = Handle();
  TCustomStyleServices* S = StyleServices();
  RECT R;
  ::GetClientRect(Wnd, &R);
  Integer State = ButtonState(FControl, Wnd, FMouseInControl);
  bool Focused = GetFocus() == Wnd;
  bool Default = (GetWindowLongW(Wnd, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
  static const TThemedButton States[] = {tbPushButtonNormal, tbPushButtonHot, tbPushButtonPressed, tbPushButtonDisabled};
  TThemedButton E = States[State];
  if (State == 0 && (Focused || Default)) E = tbPushButtonDefaulted;
  TThemedElementDetails D = S->GetElementDetails(E);
  if (StyleClient() || StyleBorder()) {
    StyleFillRect(DC, R, S->GetSystemColor(FControl->GetParent() ? FControl->GetParent()->GetColor() : clBtnFace));
    S->DrawElement(DC, D, StyleRect(R));
  } else {
    DrawFrameControl(DC, &R, DFC_BUTTON, DFCS_BUTTONPUSH | (State == 2 ? DFCS_PUSHED : 0));
  }
  TColor Text;
  static const TStyleFont Fonts[] = {sfButtonTextNormal, sfButtonTextHot, sfButtonTextPressed, sfButtonTextDisabled};
  if (!StyleFont()) Text = FControl->GetFont()->GetColor();
  else if (!S->GetElementColor(D, ecTextColor, Text)) Text = S->GetStyleFontColor(Fonts[State]);
  RECT T = R;
  if (State == 2) OffsetRect(&T, 1, 1);
  DrawControlText(DC, FControl, FControl->GetText(), T, DT_CENTER | DT_VCENTER | DT_SINGLELINE, Text);
  if (Focused && !(SendMessageW(Wnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) {
    RECT F = R;
    InflateRect(&F, -3, -3);
    ::SetTextColor(DC, ColorToRGB(clBlack));
    SetBkColor(DC, ColorToRGB(clWhite));
    DrawFocusRect(DC, &F);
  }
}

// ---- TCheckBoxStyleHook -----------------------------------------------------------------------

void TCheckBoxStyleHook::Paint(HDC DC) {
  HWND Wnd = Handle();
  TCustomStyleServices* S = StyleServices();
  RECT R;
  ::GetClientRect(Wnd, &R);
  StyleFillRect(DC, R, ClientColor());
  Integer State = ButtonState(FControl, Wnd, FMouseInControl);
  LRESULT Check = SendMessageW(Wnd, BM_GETCHECK, 0, 0);
  // The parts are laid out in runs of four states: unchecked, checked, mixed.
  Integer Run = Check == BST_CHECKED ? 1 : Check == BST_INDETERMINATE && !IsRadio() ? 2 : 0;
  TThemedElementDetails D = IsRadio() ? S->GetElementDetails(TThemedButton(tbRadioButtonUncheckedNormal + Run * 4 + State))
                                      : S->GetElementDetails(TThemedButton(tbCheckBoxUncheckedNormal + Run * 4 + State));
  bool BoxRight;
  if (auto* CB = dynamic_cast<TCustomCheckBox*>(FControl)) BoxRight = CB->GetControlsAlignment() == taLeftJustify;
  else if (auto* RB = dynamic_cast<TRadioButton*>(FControl))
    BoxRight = (RB->GetAlignment() == taLeftJustify) != RB->UseRightToLeftAlignment();
  else BoxRight = FControl->UseRightToLeftAlignment();
  Integer Box = 13;
  Integer Top = (R.bottom - R.top - Box) / 2;
  RECT B = BoxRight ? RECT{R.right - Box, Top, R.right, Top + Box} : RECT{R.left, Top, R.left + Box, Top + Box};
  S->DrawElement(DC, D, StyleRect(B));
  RECT T = BoxRight ? RECT{R.left, R.top, B.left - 4, R.bottom} : RECT{B.right + 4, R.top, R.right, R.bottom};
  static const TStyleFont CheckFonts[] = {sfCheckBoxTextNormal, sfCheckBoxTextHot, sfCheckBoxTextPressed,
                                          sfCheckBoxTextDisabled};
  static const TStyleFont RadioFonts[] = {sfRadioButtonTextNormal, sfRadioButtonTextHot, sfRadioButtonTextPressed,
                                          sfRadioButtonTextDisabled};
  TColor Text = FontColor(IsRadio() ? RadioFonts[State] : CheckFonts[State]);
  if (!StyleFont() && State == 3) Text = clGrayText;
  bool Wrap = false;
  if (auto* BC = dynamic_cast<TButtonControl*>(FControl)) Wrap = BC->GetWordWrap();
  UINT Flags = Wrap ? DT_WORDBREAK | DT_VCENTER : DT_SINGLELINE | DT_VCENTER;
  String Caption = FControl->GetText();
  DrawControlText(DC, FControl, Caption, T, Flags, Text);
  if (GetFocus() == Wnd && !Caption.empty() && !(SendMessageW(Wnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) {
    RECT M = T;
    HGDIOBJ OldFont = SelectObject(DC, FControl->GetFont()->GetHandle());
    DrawTextW(DC, Caption.c_str(), Integer(Caption.size()), &M, Flags | DT_CALCRECT);
    SelectObject(DC, OldFont);
    Integer H = M.bottom - M.top;
    M.top = (R.bottom - R.top - H) / 2;
    M.bottom = M.top + H;
    InflateRect(&M, 1, 1);
    ::SetTextColor(DC, ColorToRGB(clBlack));
    SetBkColor(DC, ColorToRGB(clWhite));
    DrawFocusRect(DC, &M);
  }
}

// ---- TGroupBoxStyleHook -----------------------------------------------------------------------

bool TGroupBoxStyleHook::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT:
    case WM_PRINTCLIENT:
      HandlePaint(Message);
      return true;
    case WM_ERASEBKGND:
      if (Message.WParam) {
        RECT R;
        ::GetClientRect(Handle(), &R);
        StyleFillRect(reinterpret_cast<HDC>(Message.WParam), R, ClientColor());
      }
      Message.Result = 1;
      return true;
  }
  return TStyleHook::WndProc(Message);
}

void TGroupBoxStyleHook::Paint(HDC DC) {
  TCustomStyleServices* S = StyleServices();
  RECT R;
  ::GetClientRect(Handle(), &R);
  StyleFillRect(DC, R, ClientColor());
  Integer H = TextHeightOf(DC, FControl);
  bool Enabled = FControl->GetEnabled();
  RECT F{0, H / 2, R.right, R.bottom};
  if (StyleBorder()) S->DrawElement(DC, S->GetElementDetails(Enabled ? tbGroupBoxNormal : tbGroupBoxDisabled), StyleRect(F));
  else ::DrawEdge(DC, &F, EDGE_ETCHED, BF_RECT);
  String Text = FControl->GetText();
  if (!Text.empty()) {
    RECT T{0, 0, 0, H};
    HGDIOBJ OldFont = SelectObject(DC, FControl->GetFont()->GetHandle());
    DrawTextW(DC, Text.c_str(), Integer(Text.size()), &T, DT_SINGLELINE | DT_CALCRECT);
    SelectObject(DC, OldFont);
    Integer W = T.right - T.left;
    if (FControl->UseRightToLeftAlignment()) OffsetRect(&T, R.right - 8 - W, 0);
    else OffsetRect(&T, 8, 0);
    RECT Gap = T;
    InflateRect(&Gap, 2, 0);
    StyleFillRect(DC, Gap, ClientColor());
    DrawControlText(DC, FControl, Text, T, DT_SINGLELINE,
                    FontColor(Enabled ? sfGroupBoxTextNormal : sfGroupBoxTextDisabled));
  }
  PaintChildren(DC);
}

// ---- TPanelStyleHook --------------------------------------------------------------------------

bool TPanelStyleHook::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT:
    case WM_PRINTCLIENT:
      HandlePaint(Message);
      return true;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return true;
  }
  return TStyleHook::WndProc(Message);
}

void TPanelStyleHook::Paint(HDC DC) {
  auto* P = dynamic_cast<TCustomPanel*>(FControl);
  TCustomStyleServices* S = StyleServices();
  RECT R;
  ::GetClientRect(Handle(), &R);
  StyleFillRect(DC, R, ClientColor());
  if (!P) return;
  TRect B = StyleRect(R);
  auto Bevel = [&](TBevelCut Cut) {
    if (Cut == bvNone) return;
    TColor Light = S->GetSystemColor(clBtnHighlight), Dark = S->GetSystemColor(clBtnShadow);
    if (!StyleBorder()) {
      Light = clBtnHighlight;
      Dark = clBtnShadow;
    }
    for (Integer I = 0; I < P->GetBevelWidth(); ++I) {
      TColor TL = Cut == bvLowered ? Dark : Light, BR = Cut == bvLowered ? Light : Dark;
      StyleFillRect(DC, RECT{B.Left, B.Top, B.Right, B.Top + 1}, TL);
      StyleFillRect(DC, RECT{B.Left, B.Top, B.Left + 1, B.Bottom}, TL);
      StyleFillRect(DC, RECT{B.Left, B.Bottom - 1, B.Right, B.Bottom}, BR);
      StyleFillRect(DC, RECT{B.Right - 1, B.Top, B.Right, B.Bottom}, BR);
      B = TRect(B.Left + 1, B.Top + 1, B.Right - 1, B.Bottom - 1);
    }
  };
  Bevel(P->GetBevelOuter());
  Integer BW = P->GetBorderWidth();
  B = TRect(B.Left + BW, B.Top + BW, B.Right - BW, B.Bottom - BW);
  Bevel(P->GetBevelInner());
  String Text = FControl->GetText();
  if (P->GetShowCaption() && !Text.empty()) {
    static const UINT Horz[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    static const UINT Vert[] = {DT_TOP, DT_BOTTOM, DT_VCENTER};
    TAlignment A = P->GetAlignment();
    if (FControl->UseRightToLeftAlignment() && A != taCenter) A = A == taLeftJustify ? taRightJustify : taLeftJustify;
    DrawControlText(DC, FControl, Text, RECT{B.Left, B.Top, B.Right, B.Bottom},
                    DT_EXPANDTABS | DT_SINGLELINE | Horz[A] | Vert[P->GetVerticalAlignment()],
                    FontColor(FControl->GetEnabled() ? sfPanelTextNormal : sfPanelTextDisabled));
  }
  PaintChildren(DC);
}

// ---- TScrollingStyleHook ----------------------------------------------------------------------

void DrawStyledScrollBar(HDC DC, const TRect& R, bool Vertical, Integer ThumbTop, Integer ThumbBottom, bool Enabled) {
  TCustomStyleServices* S = StyleServices();
  Integer Dis = Enabled ? 0 : 3;
  // The arrows' size as the system lays the bar out: the system metric, or half of a bar too short
  // for two. SCROLLBARINFO's dxyLineButton is not used, since Wine answers the thumb's size there.
  Integer Length = Vertical ? R.Height() : R.Width();
  Integer Arrow = std::min<Integer>(GetSystemMetrics(Vertical ? SM_CYVSCROLL : SM_CXHSCROLL), Length / 2);
  // The thumb between the arrows, which always keep their squares.
  ThumbTop = std::max(ThumbTop, Arrow);
  ThumbBottom = std::min(ThumbBottom, Length - Arrow);
  bool Thumb = Enabled && ThumbBottom > ThumbTop;
  if (Vertical) {
    S->DrawElement(DC, S->GetElementDetails(tsUpperTrackVertNormal), R);
    if (Thumb)
      S->DrawElement(DC, S->GetElementDetails(tsThumbBtnVertNormal),
                     TRect(R.Left, R.Top + ThumbTop, R.Right, R.Top + ThumbBottom));
    S->DrawElement(DC, S->GetElementDetails(TThemedScrollBar(tsArrowBtnUpNormal + Dis)),
                   TRect(R.Left, R.Top, R.Right, R.Top + Arrow));
    S->DrawElement(DC, S->GetElementDetails(TThemedScrollBar(tsArrowBtnDownNormal + Dis)),
                   TRect(R.Left, R.Bottom - Arrow, R.Right, R.Bottom));
  } else {
    S->DrawElement(DC, S->GetElementDetails(tsUpperTrackHorzNormal), R);
    if (Thumb)
      S->DrawElement(DC, S->GetElementDetails(tsThumbBtnHorzNormal),
                     TRect(R.Left + ThumbTop, R.Top, R.Left + ThumbBottom, R.Bottom));
    S->DrawElement(DC, S->GetElementDetails(TThemedScrollBar(tsArrowBtnLeftNormal + Dis)),
                   TRect(R.Left, R.Top, R.Left + Arrow, R.Bottom));
    S->DrawElement(DC, S->GetElementDetails(TThemedScrollBar(tsArrowBtnRightNormal + Dis)),
                   TRect(R.Right - Arrow, R.Top, R.Right, R.Bottom));
  }
}

bool TScrollingStyleHook::ScrollBarsChangeAfter(Cardinal Msg) const {
  switch (Msg) {
    case WM_VSCROLL: case WM_HSCROLL: case WM_MOUSEWHEEL: case WM_KEYDOWN: case WM_CHAR: case WM_SETTEXT:
    case WM_SIZE: case WM_NCLBUTTONDOWN: case WM_NCLBUTTONDBLCLK: case WM_LBUTTONUP: case WM_ENABLE:
    case WM_SETFOCUS: case WM_KILLFOCUS: case EM_REPLACESEL: case EM_LINESCROLL: case EM_SCROLL:
    case EM_SCROLLCARET: case EM_SETSEL: case WM_PASTE: case WM_CUT: case WM_CLEAR: case WM_UNDO:
    // The system may draw its scroll bars again in these too.
    case WM_PAINT: case WM_NCMOUSEMOVE: case WM_NCMOUSELEAVE: case WM_WINDOWPOSCHANGED: case WM_SHOWWINDOW:
    case WM_SETFONT: case WM_STYLECHANGED: case WM_TIMER: case WM_MOUSEMOVE: case WM_LBUTTONDOWN:
      return true;
    default:
      return false;
  }
}

bool TScrollingStyleHook::WndProc(TMessage& Message) {
  if (Message.Msg == WM_NCPAINT) {
    if (!StyleBorder()) return TStyleHook::WndProc(Message);
    auto Token = AliveToken();
    CallDefaultProc(Message);
    if (Alive(Token)) RepaintNC();
    return true;
  }
  if (Message.Msg == CM_MOUSEENTER || Message.Msg == CM_MOUSELEAVE) {
    TStyleHook::WndProc(Message);
    if (StyleBorder()) RepaintNC();  // the frame's hot look
    return false;
  }
  if (StyleBorder() && ScrollBarsChangeAfter(Message.Msg)) {
    auto Token = AliveToken();
    CallDefaultProc(Message);
    if (Alive(Token)) RepaintNC();
    return true;
  }
  return TStyleHook::WndProc(Message);
}

void TScrollingStyleHook::RepaintNC() {
  HWND Wnd = Handle();
  if (!Wnd || !IsWindowVisible(Wnd)) return;
  if (HDC DC = GetWindowDC(Wnd)) {
    PaintNC(DC);
    ReleaseDC(Wnd, DC);
  }
}

void TScrollingStyleHook::PaintNC(HDC DC) {
  HWND Wnd = Handle();
  RECT W, C;
  WindowRects(Wnd, W, C);
  if (EqualRect(&W, &C)) return;
  RECT WS;
  GetWindowRect(Wnd, &WS);
  Integer Saved = SaveDC(DC);
  ExcludeClipRect(DC, C.left, C.top, C.right, C.bottom);
  PaintBorder(DC, StyleRect(W));
  LONG Style = GetWindowLongW(Wnd, GWL_STYLE);
  bool Enabled = IsWindowEnabled(Wnd);
  RECT Corner{};
  bool HasV = false, HasH = false;
  for (LONG Id : {LONG(OBJID_VSCROLL), LONG(OBJID_HSCROLL)}) {
    if (!(Style & (Id == LONG(OBJID_VSCROLL) ? WS_VSCROLL : WS_HSCROLL))) continue;
    SCROLLBARINFO SBI{sizeof(SBI)};
    if (!GetScrollBarInfo(Wnd, Id, &SBI) || (SBI.rgstate[0] & STATE_SYSTEM_INVISIBLE)) continue;
    RECT R = SBI.rcScrollBar;
    OffsetRect(&R, -WS.left, -WS.top);
    bool Vertical = Id == LONG(OBJID_VSCROLL);
    (Vertical ? HasV : HasH) = true;
    if (Vertical) Corner.left = R.left, Corner.right = R.right;
    else Corner.top = R.top, Corner.bottom = R.bottom;
    DrawStyledScrollBar(DC, StyleRect(R), Vertical, SBI.xyThumbTop, SBI.xyThumbBottom,
                        Enabled && !(SBI.rgstate[0] & STATE_SYSTEM_UNAVAILABLE));
  }
  if (HasV && HasH) StyleFillRect(DC, Corner, StyleServices()->GetStyleColor(scWindow));
  RestoreDC(DC, Saved);
}

void TScrollingStyleHook::PaintBorder(HDC DC, const TRect& WindowRect) {
  HWND Wnd = Handle();
  LONG Ex = GetWindowLongW(Wnd, GWL_EXSTYLE), Style = GetWindowLongW(Wnd, GWL_STYLE);
  RECT R{WindowRect.Left, WindowRect.Top, WindowRect.Right, WindowRect.Bottom};
  TColor Border = StyleServices()->GetStyleColor(scBorder);
  if (Ex & WS_EX_CLIENTEDGE) {
    StyleFrameRect(DC, R, Border);
    InflateRect(&R, -1, -1);
    StyleFrameRect(DC, R, ClientColor());
  } else if (Style & WS_BORDER) {
    StyleFrameRect(DC, R, Border);
  }
}

// ---- TEditStyleHook ---------------------------------------------------------------------------

TColor TEditStyleHook::SurfaceColor() const {
  TCustomStyleServices* S = StyleServices();
  if (!FControl->GetEnabled()) return S->GetStyleColor(scEditDisabled);
  // A colour of the control's own (not a system colour) stays, as it was chosen for the text.
  TColor C = FControl->GetColor();
  return (Cardinal(C) & 0xFF000000u) == Cardinal(clSystemColor) ? S->GetStyleColor(scEdit) : C;
}

TColor TEditStyleHook::TextColor() const {
  return FontColor(FControl->GetEnabled() ? sfEditBoxTextNormal : sfEditBoxTextDisabled);
}

bool TEditStyleHook::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORSTATIC:
    case CN_CTLCOLORLISTBOX: {
      auto Token = AliveToken();
      CallDefaultProc(Message);  // the control's own answer, for what the style leaves alone
      if (!Alive(Token)) return true;
      HDC DC = reinterpret_cast<HDC>(Message.WParam);
      if (StyleFont()) ::SetTextColor(DC, ColorToRGB(TextColor()));
      if (StyleClient()) {
        TColor C = SurfaceColor();
        SetBkColor(DC, ColorToRGB(C));
        Message.Result = LRESULT(Brush(C));
      }
      return true;
    }
  }
  return TScrollingStyleHook::WndProc(Message);
}

void TEditStyleHook::PaintBorder(HDC DC, const TRect& WindowRect) {
  HWND Wnd = Handle();
  LONG Ex = GetWindowLongW(Wnd, GWL_EXSTYLE), Style = GetWindowLongW(Wnd, GWL_STYLE);
  TCustomStyleServices* S = StyleServices();
  TThemedEdit E = !IsWindowEnabled(Wnd) ? teEditBorderNoScrollDisabled
                  : GetFocus() == Wnd   ? teEditBorderNoScrollFocused
                  : FMouseInControl     ? teEditBorderNoScrollHot
                                        : teEditBorderNoScrollNormal;
  TColor Border;
  if (!S->GetElementColor(S->GetElementDetails(E), ecBorderColor, Border)) Border = S->GetStyleColor(scBorder);
  RECT R{WindowRect.Left, WindowRect.Top, WindowRect.Right, WindowRect.Bottom};
  if (Ex & WS_EX_CLIENTEDGE) {
    StyleFrameRect(DC, R, Border);
    InflateRect(&R, -1, -1);
    StyleFrameRect(DC, R, StyleClient() ? SurfaceColor() : FControl->GetColor());
  } else if (Style & WS_BORDER) {
    StyleFrameRect(DC, R, Border);
  }
}

// ---- TListBoxStyleHook, TComboBoxStyleHook ----------------------------------------------------

bool TListBoxStyleHook::ScrollBarsChangeAfter(Cardinal Msg) const {
  switch (Msg) {
    case LB_ADDSTRING: case LB_INSERTSTRING: case LB_DELETESTRING: case LB_RESETCONTENT: case LB_SETTOPINDEX:
    case LB_SETCURSEL: case LB_SETSEL: case LB_SETCOUNT: case WM_LBUTTONDOWN:
      return true;
    default:
      return TEditStyleHook::ScrollBarsChangeAfter(Msg);
  }
}

TColor TListBoxStyleHook::SurfaceColor() const {
  TCustomStyleServices* S = StyleServices();
  if (!FControl->GetEnabled()) return S->GetStyleColor(scListBoxDisabled);
  TColor C = FControl->GetColor();
  return (Cardinal(C) & 0xFF000000u) == Cardinal(clSystemColor) ? S->GetStyleColor(scListBox) : C;
}

TColor TListBoxStyleHook::TextColor() const {
  return FontColor(FControl->GetEnabled() ? sfListItemTextNormal : sfListItemTextDisabled);
}

TColor TComboBoxStyleHook::SurfaceColor() const {
  TCustomStyleServices* S = StyleServices();
  if (!FControl->GetEnabled()) return S->GetStyleColor(scComboBoxDisabled);
  TColor C = FControl->GetColor();
  return (Cardinal(C) & 0xFF000000u) == Cardinal(clSystemColor) ? S->GetStyleColor(scComboBox) : C;
}

TColor TComboBoxStyleHook::TextColor() const {
  return FontColor(FControl->GetEnabled() ? sfComboBoxItemNormal : sfComboBoxItemDisabled);
}

// ---- TScrollBoxStyleHook ----------------------------------------------------------------------

bool TScrollBoxStyleHook::WndProc(TMessage& Message) {
  if (Message.Msg == WM_ERASEBKGND && StyleClient() && Message.WParam) {
    RECT R;
    ::GetClientRect(Handle(), &R);
    StyleFillRect(reinterpret_cast<HDC>(Message.WParam), R, ClientColor());
    Message.Result = 1;
    return true;
  }
  return TScrollingStyleHook::WndProc(Message);
}

// ---- TScrollBarStyleHook ----------------------------------------------------------------------

bool TScrollBarStyleHook::RepaintsAfter(Cardinal Msg) const {
  switch (Msg) {
    case SBM_SETPOS: case SBM_SETRANGE: case SBM_SETRANGEREDRAW: case SBM_SETSCROLLINFO: case SBM_ENABLE_ARROWS:
      return true;
    default:
      return TButtonStyleHook::RepaintsAfter(Msg);
  }
}

void TScrollBarStyleHook::Paint(HDC DC) {
  HWND Wnd = Handle();
  RECT R;
  ::GetClientRect(Wnd, &R);
  SCROLLBARINFO SBI{sizeof(SBI)};
  bool Vertical = GetWindowLongW(Wnd, GWL_STYLE) & SBS_VERT;
  if (!GetScrollBarInfo(Wnd, OBJID_CLIENT, &SBI)) SBI.xyThumbTop = SBI.xyThumbBottom = 0;
  DrawStyledScrollBar(DC, StyleRect(R), Vertical, SBI.xyThumbTop, SBI.xyThumbBottom,
                      IsWindowEnabled(Wnd) && !(SBI.rgstate[0] & STATE_SYSTEM_UNAVAILABLE));
}

// ---- THintStyleHook ---------------------------------------------------------------------------

bool THintStyleHook::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT:
    case WM_PRINTCLIENT:
      HandlePaint(Message);
      return true;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return true;
    case WM_NCPAINT: {
      if (!StyleBorder()) break;
      TCustomStyleServices* S = StyleServices();
      TColor Border;
      if (!S->GetElementColor(S->GetElementDetails(thHintNormal), ecBorderColor, Border))
        Border = S->GetStyleColor(scBorder);
      if (HDC DC = GetWindowDC(Handle())) {
        RECT W, C;
        WindowRects(Handle(), W, C);
        StyleFrameRect(DC, W, Border);
        ReleaseDC(Handle(), DC);
      }
      Message.Result = 0;
      return true;
    }
  }
  return TStyleHook::WndProc(Message);
}

void THintStyleHook::Paint(HDC DC) {
  TCustomStyleServices* S = StyleServices();
  RECT R;
  ::GetClientRect(Handle(), &R);
  TThemedElementDetails D = S->GetElementDetails(thHintNormal);
  if (StyleClient()) S->DrawElement(DC, D, StyleRect(R));
  else StyleFillRect(DC, R, FControl->GetColor());
  TColor Text;
  if (!StyleFont() || !S->GetElementColor(D, ecTextColor, Text)) Text = FontColor(sfWindowTextNormal);
  RECT T{2, 1, R.right - 2, R.bottom - 1};
  DrawControlText(DC, FControl, FControl->GetText(), T,
                  DT_LEFT | DT_NOPREFIX | DT_WORDBREAK, Text);
}

// ---- Registration -----------------------------------------------------------------------------

void RegisterStandardStyleHooks(TStyleEngine* Engine) {
  Engine->RegisterStyleHook(TCustomForm::StaticClass(), TFormStyleHook::StaticClass());
  Engine->RegisterStyleHook(TButton::StaticClass(), TButtonStyleHook::StaticClass());
  Engine->RegisterStyleHook(TCustomCheckBox::StaticClass(), TCheckBoxStyleHook::StaticClass());
  Engine->RegisterStyleHook(TRadioButton::StaticClass(), TRadioButtonStyleHook::StaticClass());
  Engine->RegisterStyleHook(TGroupBox::StaticClass(), TGroupBoxStyleHook::StaticClass());
  Engine->RegisterStyleHook(TCustomRadioGroup::StaticClass(), TGroupBoxStyleHook::StaticClass());
  Engine->RegisterStyleHook(TPanel::StaticClass(), TPanelStyleHook::StaticClass());
  Engine->RegisterStyleHook(TCustomEdit::StaticClass(), TEditStyleHook::StaticClass());
  Engine->RegisterStyleHook(TCustomMemo::StaticClass(), TMemoStyleHook::StaticClass());
  Engine->RegisterStyleHook(TCustomListBox::StaticClass(), TListBoxStyleHook::StaticClass());
  Engine->RegisterStyleHook(TCustomComboBox::StaticClass(), TComboBoxStyleHook::StaticClass());
  Engine->RegisterStyleHook(TScrollBar::StaticClass(), TScrollBarStyleHook::StaticClass());
  Engine->RegisterStyleHook(TScrollBox::StaticClass(), TScrollBoxStyleHook::StaticClass());
  Engine->RegisterStyleHook(THintWindow::StaticClass(), THintStyleHook::StaticClass());
  RegisterCommonControlStyleHooks(Engine);
}
