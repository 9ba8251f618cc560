#include "framework/Controls.h"

// ---- TControlScrollBar ------------------------------------------------------------------------

void TControlScrollBar::Assign(TPersistent* Source) {
  if (auto* S = dynamic_cast<TControlScrollBar*>(Source)) {
    FVisible = S->FVisible;
    FRange = S->FRange;
    FIncrement = S->FIncrement;
    SetPosition(S->FPosition);
    return;
  }
  inherited::Assign(Source);
}

Integer TControlScrollBar::ControlSize() {
  TRect R = FControl->GetClientRect();
  return FKind == sbHorizontal ? R.Width() : R.Height();
}

bool TControlScrollBar::IsScrollBarVisible() { return FVisible && FCalcRange > ControlSize(); }

void TControlScrollBar::SetPosition(Integer Value) {
  Integer Max = std::max(0, FCalcRange - ControlSize());
  Value = std::clamp(Value, 0, Max);
  if (Value == FPosition) return;
  Integer Delta = FPosition - Value;
  FPosition = Value;
  if (FKind == sbHorizontal)
    FControl->ScrollBy(Delta, 0);
  else
    FControl->ScrollBy(0, Delta);
  if (FControl->HandleAllocated())
    SetScrollPos(FControl->GetHandle(), FKind == sbHorizontal ? SB_HORZ : SB_VERT, FPosition, TRUE);
}

void TControlScrollBar::SetRange(Integer Value) {
  FRange = std::max(0, Value);
  FControl->SetAutoScroll(false);
  FControl->UpdateScrollBars();
}

void TControlScrollBar::SetVisible(bool Value) {
  FVisible = Value;
  FControl->UpdateScrollBars();
}

void TControlScrollBar::Update() {
  if (!FControl->HandleAllocated()) return;
  Integer Bar = FKind == sbHorizontal ? SB_HORZ : SB_VERT;
  SCROLLINFO SI{};
  SI.cbSize = sizeof(SI);
  SI.fMask = SIF_ALL;
  if (IsScrollBarVisible()) {
    SI.nMax = FCalcRange - 1;
    SI.nPage = UINT(ControlSize());
    SI.nPos = FPosition;
  }
  SetScrollInfo(FControl->GetHandle(), Bar, &SI, TRUE);
}

void TControlScrollBar::ScrollMessage(TWMScroll& Message) {
  Integer Page = ControlSize() * 3 / 4;
  switch (Message.ScrollCode) {
    case SB_LINEUP: SetPosition(FPosition - FIncrement); break;
    case SB_LINEDOWN: SetPosition(FPosition + FIncrement); break;
    case SB_PAGEUP: SetPosition(FPosition - Page); break;
    case SB_PAGEDOWN: SetPosition(FPosition + Page); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
      SCROLLINFO SI{};
      SI.cbSize = sizeof(SI);
      SI.fMask = SIF_TRACKPOS;
      GetScrollInfo(FControl->GetHandle(), FKind == sbHorizontal ? SB_HORZ : SB_VERT, &SI);
      SetPosition(SI.nTrackPos);
      break;
    }
    case SB_TOP: SetPosition(0); break;
    case SB_BOTTOM: SetPosition(FCalcRange); break;
    default: break;
  }
}

// ---- TScrollingWinControl ---------------------------------------------------------------------

TScrollingWinControl::TScrollingWinControl(TComponent* AOwner)
    : TWinControl(AOwner),
      FHorzScrollBar(std::make_unique<TControlScrollBar>(this, sbHorizontal)),
      FVertScrollBar(std::make_unique<TControlScrollBar>(this, sbVertical)) {
  FControlStyle << csNeedsBorderPaint;
}

TScrollingWinControl::~TScrollingWinControl() = default;

void TScrollingWinControl::SetAutoScroll(bool Value) {
  if (FAutoScroll == Value) return;
  FAutoScroll = Value;
  UpdateScrollBars();
}

void TScrollingWinControl::CreateWnd() {
  inherited::CreateWnd();
  UpdateScrollBars();
}

void TScrollingWinControl::AlignControls(TControl* AControl, TRect& Rect) {
  inherited::AlignControls(AControl, Rect);
  UpdateScrollBars();
}

void TScrollingWinControl::UpdateScrollBars() {
  if (FUpdatingScrollBars || !HandleAllocated()) return;
  FUpdatingScrollBars = true;
  for (TControlScrollBar* Bar : {FHorzScrollBar.get(), FVertScrollBar.get()}) {
    Integer Range = Bar->FRange;
    if (FAutoScroll) {
      Range = 0;
      for (TControl* C : FControls) {
        if (!C->GetVisible()) continue;
        if (Bar->FKind == sbHorizontal && (C->GetAlign() == alNone || C->GetAlign() == alLeft))
          Range = std::max(Range, C->GetLeft() + C->GetWidth() + Bar->FPosition);
        if (Bar->FKind == sbVertical && (C->GetAlign() == alNone || C->GetAlign() == alTop))
          Range = std::max(Range, C->GetTop() + C->GetHeight() + Bar->FPosition);
      }
    }
    Bar->FCalcRange = Range;
    Bar->Update();
  }
  FUpdatingScrollBars = false;
}

void TScrollingWinControl::ScrollBy(Integer DeltaX, Integer DeltaY) {
  if (DeltaX == 0 && DeltaY == 0) return;
  DisableAlign();
  for (TControl* C : FControls) C->SetBoundsByLayout(C->GetLeft() + DeltaX, C->GetTop() + DeltaY, C->GetWidth(), C->GetHeight());
  EnableAlign();
  if (HandleAllocated()) ScrollWindowEx(GetHandle(), DeltaX, DeltaY, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE | SW_ERASE);
}

void TScrollingWinControl::ScrollInView(TControl* AControl) {
  if (!AControl || !ContainsControl(AControl)) return;
  TRect R = AControl->GetBoundsRect();
  TRect Client = GetClientRect();
  if (R.Left < 0) FHorzScrollBar->SetPosition(FHorzScrollBar->GetPosition() + R.Left);
  else if (R.Right > Client.Right) FHorzScrollBar->SetPosition(FHorzScrollBar->GetPosition() + R.Right - Client.Right);
  if (R.Top < 0) FVertScrollBar->SetPosition(FVertScrollBar->GetPosition() + R.Top);
  else if (R.Bottom > Client.Bottom) FVertScrollBar->SetPosition(FVertScrollBar->GetPosition() + R.Bottom - Client.Bottom);
}

void TScrollingWinControl::WMHScroll(TWMHScroll& Message) {
  if (Message.ScrollBar == nullptr) FHorzScrollBar->ScrollMessage(Message);
  else inherited::Dispatch(&Message);
}

void TScrollingWinControl::WMVScroll(TWMVScroll& Message) {
  if (Message.ScrollBar == nullptr) FVertScrollBar->ScrollMessage(Message);
  else inherited::Dispatch(&Message);
}

// ---- TScrollBox -------------------------------------------------------------------------------

TScrollBox::TScrollBox(TComponent* AOwner) : TScrollingWinControl(AOwner) {
  FControlStyle << csAcceptsControls;
  FAutoScroll = true;
  FWidth = 185;
  FHeight = 41;
}

void TScrollBox::SetBorderStyle(TBorderStyle Value) {
  if (FBorderStyle == Value) return;
  FBorderStyle = Value;
  RecreateWnd();
}

void TScrollBox::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
}
