#include "framework/comctrls/ProgressBar.h"

#include "framework/comctrls/CommonControls.h"

PUBLISHED_DEF(TProgressBar) {
  PROP(Min).Default(0);
  PROP(Max).Default(100);
  PROP(Position).Default(0);
  PROP(MarqueeInterval).Default(10);
  PROP(Step).Default(10);
  PROP(Style).Default(pbstNormal);
  PROP(State).Default(pbsNormal);
}

namespace {
const UINT StateMessages[] = {PBST_NORMAL, PBST_ERROR, PBST_PAUSED};
}

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 150, 17);
}

void TProgressBar::CreateParams(TCreateParams& Params) {
  InitCommonControl(ICC_PROGRESS_CLASS);
  inherited::CreateParams(Params);
  CreateSubClass(Params, PROGRESS_CLASSW);
  if (FStyle == pbstMarquee) Params.Style |= PBS_MARQUEE;
}

void TProgressBar::CreateWnd() {
  inherited::CreateWnd();
  ApplyRange();
  SendMessageW(FHandle, PBM_SETSTEP, WPARAM(FStep), 0);
  SendMessageW(FHandle, PBM_SETPOS, WPARAM(FPosition), 0);
  if (FState != pbsNormal) SendMessageW(FHandle, PBM_SETSTATE, StateMessages[FState], 0);
  ApplyMarquee();
}

void TProgressBar::DestroyWnd() {
  FPosition = Integer(SendMessageW(FHandle, PBM_GETPOS, 0, 0));
  inherited::DestroyWnd();
}

void TProgressBar::ApplyRange() {
  if (FHandle) SendMessageW(FHandle, PBM_SETRANGE32, WPARAM(FMin), LPARAM(FMax));
}

void TProgressBar::ApplyMarquee() {
  if (FHandle && FStyle == pbstMarquee) SendMessageW(FHandle, PBM_SETMARQUEE, TRUE, LPARAM(FMarqueeInterval));
}

// While a form is read Min may come after a Max below the default minimum: the range is only
// checked once both are known.
void TProgressBar::SetMin(Integer Value) {
  if (!GetComponentState().Contains(csLoading) && Value > FMax)
    throw EInvalidOperation(L"Property value out of range: Min %d above Max %d", {Value, FMax});
  FMin = Value;
  if (FPosition < FMin) FPosition = FMin;
  ApplyRange();
}

void TProgressBar::SetMax(Integer Value) {
  if (!GetComponentState().Contains(csLoading) && Value < FMin)
    throw EInvalidOperation(L"Property value out of range: Max %d below Min %d", {Value, FMin});
  FMax = Value;
  if (FPosition > FMax) FPosition = FMax;
  ApplyRange();
}

Integer TProgressBar::GetPosition() {
  if (FHandle) return Integer(SendMessageW(FHandle, PBM_GETPOS, 0, 0));
  return FPosition;
}

void TProgressBar::SetPosition(Integer Value) {
  if (!GetComponentState().Contains(csLoading)) Value = std::max(FMin, std::min(FMax, Value));
  FPosition = Value;
  if (FHandle) SendMessageW(FHandle, PBM_SETPOS, WPARAM(Value), 0);
}

void TProgressBar::SetStep(Integer Value) {
  FStep = Value;
  if (FHandle) SendMessageW(FHandle, PBM_SETSTEP, WPARAM(Value), 0);
}

// Stepping past Max starts again at Min, as the window itself does.
void TProgressBar::StepIt() {
  if (FHandle) {
    SendMessageW(FHandle, PBM_STEPIT, 0, 0);
    FPosition = Integer(SendMessageW(FHandle, PBM_GETPOS, 0, 0));
    return;
  }
  FPosition += FStep;
  if (FPosition > FMax || FPosition < FMin) FPosition = FMin + (FPosition - FMin) % std::max(1, FMax - FMin);
}

void TProgressBar::StepBy(Integer Delta) { SetPosition(GetPosition() + Delta); }

void TProgressBar::SetStyle(TProgressBarStyle Value) {
  if (FStyle == Value) return;
  if (FHandle) FPosition = Integer(SendMessageW(FHandle, PBM_GETPOS, 0, 0));
  FStyle = Value;
  if (!FHandle) return;
  // The marquee is a window style: switch it on the live window so the bar does not flicker.
  SendMessageW(FHandle, PBM_SETMARQUEE, FALSE, 0);
  LONG_PTR Style = GetWindowLongPtrW(FHandle, GWL_STYLE);
  SetWindowLongPtrW(FHandle, GWL_STYLE, Value == pbstMarquee ? Style | PBS_MARQUEE : Style & ~LONG_PTR(PBS_MARQUEE));
  if (Value == pbstMarquee) ApplyMarquee();
  else SendMessageW(FHandle, PBM_SETPOS, WPARAM(FPosition), 0);
  ::InvalidateRect(FHandle, nullptr, TRUE);
}

void TProgressBar::SetState(TProgressBarState Value) {
  FState = Value;
  if (FHandle) SendMessageW(FHandle, PBM_SETSTATE, StateMessages[Value], 0);
}

void TProgressBar::SetMarqueeInterval(Integer Value) {
  FMarqueeInterval = Value;
  ApplyMarquee();
}
