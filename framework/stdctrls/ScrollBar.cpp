#include "framework/stdctrls/ScrollBar.h"

PUBLISHED_DEF(TScrollBar) {
  PROP(Kind).Default(sbHorizontal);
  PROP(LargeChange).Default(1);
  PROP(Max).Default(100);
  PROP(Min).Default(0);
  PROP(PageSize).Default(0);
  PROP(Position).Default(0);
  PROP(SmallChange).Default(1);
  EVENT(OnChange);
  EVENT(OnScroll);
}

TScrollBar::TScrollBar(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csFramed, csDoubleClicks, csOpaque};
  SetBounds(0, 0, 121, GetSystemMetrics(SM_CYHSCROLL));
  FTabStop = true;
}

void TScrollBar::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  CreateSubClass(Params, L"SCROLLBAR");
  Params.Style |= FKind == sbHorizontal ? SBS_HORZ : SBS_VERT;
  if (UseRightToLeftAlignment() && FKind == sbVertical) Params.Style |= SBS_LEFTALIGN;
}

void TScrollBar::CreateWnd() {
  inherited::CreateWnd();
  UpdateScrollInfo();
  EnableWindow(FHandle, GetEnabled());
}

void TScrollBar::UpdateScrollInfo() {
  if (!FHandle) return;
  SCROLLINFO SI{};
  SI.cbSize = sizeof(SI);
  SI.fMask = SIF_ALL;
  SI.nMin = FMin;
  SI.nMax = FMax;
  SI.nPage = UINT(FPageSize);
  SI.nPos = FPosition;
  SetScrollInfo(FHandle, SB_CTL, &SI, TRUE);
}

void TScrollBar::SetKind(TScrollBarKind Value) {
  if (FKind == Value) return;
  FKind = Value;
  if (!GetComponentState().Contains(csLoading)) SetBounds(FLeft, FTop, FHeight, FWidth);
  if (FHandle) RecreateWnd();
}

void TScrollBar::SetParams(Integer APosition, Integer AMin, Integer AMax) {
  if (AMax < AMin) AMax = AMin;
  Integer Top = std::max(AMin, AMax - std::max(FPageSize - 1, 0));
  APosition = std::clamp(APosition, AMin, Top);
  bool Moved = APosition != FPosition;
  FMin = AMin;
  FMax = AMax;
  FPosition = APosition;
  UpdateScrollInfo();
  if (Moved) Change();
}

void TScrollBar::SetPageSize(Integer Value) {
  Value = std::clamp(Value, 0, FMax - FMin + 1);
  if (FPageSize == Value) return;
  FPageSize = Value;
  SetParams(FPosition, FMin, FMax);
  UpdateScrollInfo();
}

void TScrollBar::Change() { DoEvent(FOnChange, this); }

void TScrollBar::Scroll(TScrollCode ScrollCode, Integer& ScrollPos) { DoEvent(FOnScroll, this, ScrollCode, ScrollPos); }

void TScrollBar::CNScroll(TWMScroll& Message) {
  TScrollCode Code;
  Integer Pos = FPosition;
  switch (Message.ScrollCode) {
    case SB_LINEUP: Code = scLineUp; Pos -= FSmallChange; break;
    case SB_LINEDOWN: Code = scLineDown; Pos += FSmallChange; break;
    case SB_PAGEUP: Code = scPageUp; Pos -= FLargeChange; break;
    case SB_PAGEDOWN: Code = scPageDown; Pos += FLargeChange; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
      Code = Message.ScrollCode == SB_THUMBTRACK ? scTrack : scPosition;
      // The message carries 16 bits only; the window knows the full position.
      SCROLLINFO SI{};
      SI.cbSize = sizeof(SI);
      SI.fMask = SIF_TRACKPOS;
      GetScrollInfo(FHandle, SB_CTL, &SI);
      Pos = SI.nTrackPos;
      break;
    }
    case SB_TOP: Code = scTop; Pos = FMin; break;
    case SB_BOTTOM: Code = scBottom; Pos = FMax; break;
    case SB_ENDSCROLL: Code = scEndScroll; break;
    default: return;
  }
  Integer Top = std::max(FMin, FMax - std::max(FPageSize - 1, 0));
  Pos = std::clamp(Pos, FMin, Top);
  Scroll(Code, Pos);
  SetPosition(Pos);
}

// The reading order and alignment are window styles: the window is made again with them.
void TScrollBar::CMBiDiModeChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  if (FHandle) RecreateWnd();
}
