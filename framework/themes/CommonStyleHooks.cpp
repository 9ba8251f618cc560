#include "framework/themes/CommonStyleHooks.h"

#include <algorithm>

#include "framework/ComCtrls.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/themes/StylePaint.h"

namespace {
// Pixels the marquee's block moves on each tick of the control's timer.
constexpr Integer MarqueeStep = 4;

Integer MarqueeBlock(Integer Length) { return std::max<Integer>(8, Length / 5); }
}  // namespace

// ---- TProgressBarStyleHook --------------------------------------------------------------------

bool TProgressBarStyleHook::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT:
    case WM_PRINTCLIENT:
      HandlePaint(Message);
      return true;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return true;
    case WM_TIMER: {
      if (!(GetWindowLongW(Handle(), GWL_STYLE) & PBS_MARQUEE)) break;
      // The control moves its own block, which no message reports: the hook runs one alongside.
      auto Token = AliveToken();
      CallDefaultProc(Message);
      if (!Alive(Token)) return true;
      RECT R;
      ::GetClientRect(Handle(), &R);
      bool Vertical = GetWindowLongW(Handle(), GWL_STYLE) & PBS_VERTICAL;
      Integer Length = Vertical ? R.bottom - R.top : R.right - R.left;
      FMarqueePos = (FMarqueePos + MarqueeStep) % std::max<Integer>(1, Length + MarqueeBlock(Length));
      ::InvalidateRect(Handle(), nullptr, FALSE);
      return true;
    }
    case PBM_SETPOS: case PBM_DELTAPOS: case PBM_STEPIT: case PBM_SETRANGE: case PBM_SETRANGE32:
    case PBM_SETSTATE: case PBM_SETMARQUEE: case WM_ENABLE: {
      auto Token = AliveToken();
      CallDefaultProc(Message);
      if (Alive(Token)) ::InvalidateRect(Handle(), nullptr, FALSE);
      return true;
    }
  }
  return TStyleHook::WndProc(Message);
}

void TProgressBarStyleHook::Paint(HDC DC) {
  HWND Wnd = Handle();
  TCustomStyleServices* S = StyleServices();
  LONG Style = GetWindowLongW(Wnd, GWL_STYLE);
  bool Vertical = Style & PBS_VERTICAL;
  RECT R;
  ::GetClientRect(Wnd, &R);
  if (StyleClient() || StyleBorder()) S->DrawElement(DC, S->GetElementDetails(Vertical ? tpBarVert : tpBar), StyleRect(R));
  else StyleFillRect(DC, R, FControl->GetColor());
  RECT In = R;
  InflateRect(&In, -1, -1);
  if (In.right <= In.left || In.bottom <= In.top) return;
  Integer Length = Vertical ? In.bottom - In.top : In.right - In.left;
  Integer From, To;  // the chunk along the bar, from its start (the left, or the bottom)
  if (Style & PBS_MARQUEE) {
    To = FMarqueePos;
    From = To - MarqueeBlock(Length);
  } else {
    PBRANGE Range{};
    SendMessageW(Wnd, PBM_GETRANGE, FALSE, LPARAM(&Range));
    Integer Pos = Integer(SendMessageW(Wnd, PBM_GETPOS, 0, 0));
    Integer Span = Range.iHigh - Range.iLow;
    From = 0;
    To = Span > 0 ? Integer(Int64(std::clamp(Pos - Range.iLow, 0, Span)) * Length / Span) : 0;
  }
  From = std::max<Integer>(From, 0);
  To = std::min(To, Length);
  if (To <= From) return;
  bool Mirrored = !Vertical && FControl->UseRightToLeftAlignment();
  RECT C = In;
  if (Vertical) {
    C.bottom = In.bottom - From;
    C.top = In.bottom - To;
  } else if (Mirrored) {
    C.right = In.right - From;
    C.left = In.right - To;
  } else {
    C.left = In.left + From;
    C.right = In.left + To;
  }
  S->DrawElement(DC, S->GetElementDetails(Vertical ? tpChunkVert : tpChunk), StyleRect(C));
}

// ---- TStatusBarStyleHook ----------------------------------------------------------------------

bool TStatusBarStyleHook::WndProc(TMessage& Message) {
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

void TStatusBarStyleHook::Paint(HDC DC) {
  HWND Wnd = Handle();
  auto* Bar = dynamic_cast<TStatusBar*>(FControl);
  TCustomStyleServices* S = StyleServices();
  RECT R;
  ::GetClientRect(Wnd, &R);
  StyleFillRect(DC, R, ClientColor());
  TColor Text = FontColor(FControl->GetEnabled() ? sfStatusPanelTextNormal : sfStatusPanelTextDisabled);
  bool Grip = (GetWindowLongW(Wnd, GWL_STYLE) & SBARS_SIZEGRIP) != 0;
  Integer GripW = Grip ? GetSystemMetrics(SM_CXVSCROLL) : 0;
  HGDIOBJ OldFont = SelectObject(DC, FControl->GetFont()->GetHandle());
  auto Pane = [&](RECT P, const String& Caption, TAlignment Alignment, bool Framed) {
    if (StyleClient() || StyleBorder()) {
      if (Framed) S->DrawElement(DC, S->GetElementDetails(tsPane), StyleRect(P));
      else StyleFillRect(DC, P, ClientColor());
    }
    static const UINT Horz[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    if (FControl->UseRightToLeftAlignment() && Alignment != taCenter)
      Alignment = Alignment == taLeftJustify ? taRightJustify : taLeftJustify;
    RECT T{P.left + 3, P.top + 1, P.right - 3, P.bottom - 1};
    Integer OldMode = SetBkMode(DC, TRANSPARENT);
    COLORREF OldColor = ::SetTextColor(DC, ColorToRGB(Text));
    DrawTextW(DC, Caption.c_str(), Integer(Caption.size()), &T,
              UINT(FControl->DrawTextBiDiModeFlags(LongInt(DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX |
                                                           DT_END_ELLIPSIS | Horz[Alignment]))));
    ::SetTextColor(DC, OldColor);
    SetBkMode(DC, OldMode);
  };
  if (!Bar || Bar->GetSimplePanel()) {
    RECT P = R;
    P.right -= GripW;
    Pane(P, Bar ? Bar->GetSimpleText() : FControl->GetText(), taLeftJustify, true);
  } else {
    for (Integer I = 0; I < Bar->GetPanels()->GetCount(); ++I) {
      TStatusPanel* Panel = Bar->GetPanels()->GetItem(I);
      RECT P{};
      if (!SendMessageW(Wnd, SB_GETRECT, WPARAM(I), LPARAM(&P))) continue;
      if (I == Bar->GetPanels()->GetCount() - 1) P.right = std::min<LONG>(P.right, R.right - GripW);
      if (Panel->GetStyle() == psOwnerDraw) {
        Pane(P, String(), Panel->GetAlignment(), Panel->GetBevel() != pbNone);
        // The bar's own drawing route, as for the system's WM_DRAWITEM.
        DRAWITEMSTRUCT DI{};
        DI.itemID = UINT(I);
        DI.hwndItem = Wnd;
        DI.hDC = DC;
        DI.rcItem = RECT{P.left + 1, P.top + 1, P.right - 1, P.bottom - 1};
        DI.itemData = ULONG_PTR(Panel);
        auto Token = AliveToken();
        Integer Saved = SaveDC(DC);
        FControl->Perform(CN_DRAWITEM, 0, LPARAM(&DI));
        RestoreDC(DC, Saved);
        if (!Alive(Token)) {
          SelectObject(DC, OldFont);
          return;
        }
        continue;
      }
      Pane(P, Panel->GetText(), Panel->GetAlignment(), Panel->GetBevel() != pbNone);
    }
  }
  SelectObject(DC, OldFont);
  if (Grip) {
    Integer GripH = std::min<Integer>(GetSystemMetrics(SM_CYHSCROLL), R.bottom - R.top);
    S->DrawElement(DC, S->GetElementDetails(tsGripper), TRect(R.right - GripW, R.bottom - GripH, R.right, R.bottom));
  }
}

// ---- TToolBarStyleHook ------------------------------------------------------------------------

bool TToolBarStyleHook::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_ERASEBKGND: {
      if (!StyleClient() || !Message.WParam) break;
      RECT R;
      ::GetClientRect(Handle(), &R);
      StyleFillRect(reinterpret_cast<HDC>(Message.WParam), R, StyleServices()->GetStyleColor(scToolBarGradientBase));
      Message.Result = 1;
      return true;
    }
    case CN_NOTIFY: {
      auto* CD = reinterpret_cast<NMTBCUSTOMDRAW*>(Message.LParam);
      if (!CD || CD->nmcd.hdr.code != UINT(NM_CUSTOMDRAW)) break;
      if (CD->nmcd.dwDrawStage == CDDS_PREPAINT) {
        Message.Result = CDRF_NOTIFYITEMDRAW;
        return true;
      }
      if (CD->nmcd.dwDrawStage != CDDS_ITEMPREPAINT) break;
      TCustomStyleServices* S = StyleServices();
      UINT State = CD->nmcd.uItemState;
      TThemedToolBar E = (State & CDIS_DISABLED)  ? ttbButtonDisabled
                         : (State & CDIS_CHECKED) ? ((State & CDIS_HOT) ? ttbButtonCheckedHot : ttbButtonChecked)
                         : (State & CDIS_SELECTED) ? ttbButtonPressed
                         : (State & CDIS_HOT)      ? ttbButtonHot
                                                   : ttbButtonNormal;
      TThemedElementDetails D = S->GetElementDetails(E);
      if (StyleClient()) S->DrawElement(CD->nmcd.hdc, D, StyleRect(CD->nmcd.rc));
      TColor Text;
      static const TStyleFont Fonts[] = {sfToolItemTextNormal, sfToolItemTextDisabled};
      if (!StyleFont()) Text = FControl->GetFont()->GetColor();
      else if (!S->GetElementColor(D, ecTextColor, Text)) Text = S->GetStyleFontColor(Fonts[E == ttbButtonDisabled]);
      CD->clrText = ColorToRGB(Text);
      CD->clrTextHighlight = CD->clrText;
      Message.Result = StyleClient() ? TBCDRF_NOEDGES | TBCDRF_NOBACKGROUND | TBCDRF_NOOFFSET : CDRF_DODEFAULT;
      return true;
    }
  }
  return TStyleHook::WndProc(Message);
}

// ---- Menus ------------------------------------------------------------------------------------

namespace {
// Builds a menu's items again; the rebuild is the menu's own (protected) routine.
struct TMenuRebuild : TMenu {
  static void Run(TMenu* Menu) { (Menu->*&TMenuRebuild::ImageListChange)(Menu); }
};
}  // namespace

void RestyleMenus() {
  if (Screen)
    for (Integer I = 0; I < Screen->GetFormCount(); ++I)
      if (TMainMenu* M = Screen->GetForms(I)->GetMenu()) TMenuRebuild::Run(M);
  TPopupList* List = GetPopupList();
  for (Integer I = 0; List && I < List->GetCount(); ++I) TMenuRebuild::Run(List->GetItems(I));
}

// ---- Registration -----------------------------------------------------------------------------

void RegisterCommonControlStyleHooks(TStyleEngine* Engine) {
  Engine->RegisterStyleHook(TProgressBar::StaticClass(), TProgressBarStyleHook::StaticClass());
  Engine->RegisterStyleHook(TStatusBar::StaticClass(), TStatusBarStyleHook::StaticClass());
  Engine->RegisterStyleHook(TToolBar::StaticClass(), TToolBarStyleHook::StaticClass());
}
