#include "framework/comctrls/UpDown.h"

#include "framework/comctrls/CommonControls.h"

PUBLISHED_DEF(TUpDown) {
  PROP(AlignButton).Default(udRight);
  PROP(Associate);
  PROP(ArrowKeys).Default(true);
  PROP(Increment).Default(1);
  PROP(Min).Default(0);
  PROP(Max).Default(100);
  PROP(Position).Default(0);
  EVENT(OnChanging);
  EVENT(OnClick);
}

TUpDown::TUpDown(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 17, 25);
  FControlStyle >> csCaptureMouse;
  FControlStyle >> csClickEvents;
}

void TUpDown::CreateParams(TCreateParams& Params) {
  InitCommonControl(ICC_UPDOWN_CLASS);
  inherited::CreateParams(Params);
  CreateSubClass(Params, UPDOWN_CLASSW);
  // The associate shows the bare number, so that its text converts back to an integer.
  Params.Style |= UDS_SETBUDDYINT | UDS_NOTHOUSANDS;
  if (FAssociate) Params.Style |= FAlignButton == udLeft ? UDS_ALIGNLEFT : UDS_ALIGNRIGHT;
  if (FArrowKeys) Params.Style |= UDS_ARROWKEYS;
}

void TUpDown::CreateWnd() {
  inherited::CreateWnd();
  ApplyRange();
  UDACCEL Accel{0, UINT(FIncrement)};
  SendMessageW(FHandle, UDM_SETACCEL, 1, LPARAM(&Accel));
  AttachAssociate();
  SendMessageW(FHandle, UDM_SETPOS32, 0, LPARAM(FPosition));
}

void TUpDown::DestroyWnd() {
  FPosition = Integer(SendMessageW(FHandle, UDM_GETPOS32, 0, 0));
  inherited::DestroyWnd();
}

void TUpDown::Loaded() {
  inherited::Loaded();
  if (FHandle && FAssociate) RecreateWnd();  // the alignment style needs the buddy
}

void TUpDown::ApplyRange() {
  if (FHandle) SendMessageW(FHandle, UDM_SETRANGE32, WPARAM(FMin), LPARAM(FMax));
}

void TUpDown::AttachAssociate() {
  if (!FHandle) return;
  HWND Buddy = FAssociate && !GetComponentState().Contains(csLoading) ? FAssociate->GetHandle() : nullptr;
  SendMessageW(FHandle, UDM_SETBUDDY, WPARAM(Buddy), 0);
  if (Buddy) SendMessageW(FHandle, UDM_SETPOS32, 0, LPARAM(FPosition));
}

void TUpDown::SetAssociate(TWinControl* Value) {
  if (Value == this) throw EInvalidOperation(L"An up-down cannot be its own associate");
  bool HadOne = FAssociate != nullptr;
  FAssociate = Value;
  if (GetComponentState().Contains(csLoading) || !FHandle) return;
  if (HadOne != (Value != nullptr)) RecreateWnd();
  else AttachAssociate();
}

void TUpDown::SetAlignButton(TUDAlignButton Value) {
  if (FAlignButton == Value) return;
  FAlignButton = Value;
  RecreateWnd();
}

void TUpDown::SetArrowKeys(bool Value) {
  if (FArrowKeys == Value) return;
  FArrowKeys = Value;
  RecreateWnd();
}

void TUpDown::SetIncrement(Integer Value) {
  FIncrement = Value;
  if (!FHandle) return;
  UDACCEL Accel{0, UINT(Value)};
  SendMessageW(FHandle, UDM_SETACCEL, 1, LPARAM(&Accel));
}

void TUpDown::SetMin(Integer Value) {
  FMin = Value;
  ApplyRange();
}

void TUpDown::SetMax(Integer Value) {
  FMax = Value;
  ApplyRange();
}

Integer TUpDown::GetPosition() {
  if (FHandle) FPosition = Integer(SendMessageW(FHandle, UDM_GETPOS32, 0, 0));
  return FPosition;
}

void TUpDown::SetPosition(Integer Value) {
  if (!GetComponentState().Contains(csLoading))
    Value = std::max(std::min(FMin, FMax), std::min(std::max(FMin, FMax), Value));
  FPosition = Value;
  if (FHandle) SendMessageW(FHandle, UDM_SETPOS32, 0, LPARAM(Value));
}

bool TUpDown::CanChange() {
  bool Allow = true;
  if (FOnChanging) DoEvent(FOnChanging, this, Allow);
  return Allow;
}

void TUpDown::Click(TUDBtnType Button) { DoEvent(FOnClick, this, Button); }

void TUpDown::CNNotify(TWMNotify& Message) {
  if (Message.NMHdr->code == UDN_DELTAPOS) Message.Result = CanChange() ? 0 : 1;  // nonzero refuses the step
}

// The window reports a finished step as a scroll to its new position.
void TUpDown::CNScroll(TWMScroll& Message) {
  if (Message.ScrollCode != SB_THUMBPOSITION) return;
  Integer Old = FPosition;
  Integer New = GetPosition();
  if (New == Old) return;
  Click(New > Old ? btNext : btPrev);
}
