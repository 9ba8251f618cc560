#include "framework/stdctrls/ButtonControls.h"

#include "framework/Forms.h"

PUBLISHED_DEF(TButton) {
  PROP(Cancel).Default(false);
  PROP(Caption);
  PROP(Default).Default(false);
  PROP(ModalResult).Default(0);
  PROP(WordWrap).Default(false);
}

PUBLISHED_DEF(TCheckBox) {
  PROP(Alignment).Default(taRightJustify);
  PROP(AllowGrayed).Default(false);
  PROP(Caption);
  PROP(Checked).Default(false);
  PROP(State).Default(cbUnchecked);
  PROP(WordWrap).Default(false);
}

PUBLISHED_DEF(TRadioButton) {
  PROP(Alignment).Default(taRightJustify);
  PROP(Caption);
  PROP(Checked).Default(false);
  PROP(WordWrap).Default(false);
}

PUBLISHED_DEF(TGroupBox) { PROP(Caption); }

TOwnerDrawState OwnerDrawStateFromODS(UINT S) {
  TOwnerDrawState R;
  if (S & ODS_SELECTED) R << odSelected;
  if (S & ODS_GRAYED) R << odGrayed;
  if (S & ODS_DISABLED) R << odDisabled;
  if (S & ODS_CHECKED) R << odChecked;
  if (S & ODS_FOCUS) R << odFocused;
  if (S & ODS_DEFAULT) R << odDefault;
  if (S & ODS_COMBOBOXEDIT) R << odComboBoxEdit;
  return R;
}

Integer FontHeight(TFont* Font) {
  HDC DC = GetDC(nullptr);
  HGDIOBJ Old = SelectObject(DC, Font->GetHandle());
  TEXTMETRICW TM{};
  GetTextMetricsW(DC, &TM);
  SelectObject(DC, Old);
  ReleaseDC(nullptr, DC);
  return TM.tmHeight;
}

bool IsAccel(Word VK, const String& Str) {
  for (size_t I = 0; I + 1 < Str.size(); ++I) {
    if (Str[I] != L'&') continue;
    if (Str[I + 1] == L'&') {
      ++I;
      continue;
    }
    wchar_t A = Str[I + 1], B = wchar_t(VK);
    CharUpperBuffW(&A, 1);
    CharUpperBuffW(&B, 1);
    return A == B;
  }
  return false;
}

// ---- TButtonControl --------------------------------------------------------------------------

TButtonControl::TButtonControl(TComponent* AOwner) : TWinControl(AOwner) {
  // The system window reports clicks itself (BN_CLICKED); the framework must not add its own.
  FControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
  FParentColor = true;
  FTabStop = true;
}

void TButtonControl::SetWordWrap(bool Value) {
  if (FWordWrap == Value) return;
  FWordWrap = Value;
  if (FHandle) RecreateWnd();
}

void TButtonControl::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  CreateSubClass(Params, L"BUTTON");
  if (FWordWrap) Params.Style |= BS_MULTILINE;
  if (UseRightToLeftReading()) Params.ExStyle |= WS_EX_RTLREADING;
}

void TButtonControl::CNCtlColor(TWMCtlColor& Message) {
  HDC DC = Message.ChildDC;
  ::SetTextColor(DC, ColorToRGB(GetFont()->GetColor()));
  ::SetBkColor(DC, ColorToRGB(GetColor()));
  Message.Result = LRESULT(GetBrush()->GetHandle());
}

// ---- TButton -----------------------------------------------------------------------------------

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner) {
  SetBounds(0, 0, 75, 25);
  SetColor(clBtnFace);
}

void TButton::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  Params.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool Value) {
  if (FDefault == Value) return;
  FDefault = Value;
  if (FHandle) {
    TCustomForm* Form = GetParentForm(this);
    TWinControl* Focused = Form ? Form->GetActiveControl() : nullptr;
    if (!dynamic_cast<TButton*>(Focused)) {
      FActive = Value;
      SetButtonStyle(Value);
    }
  } else {
    FActive = Value;
  }
}

void TButton::SetButtonStyle(bool ADefault) {
  if (!FHandle) return;
  LONG_PTR Style = GetWindowLongPtrW(FHandle, GWL_STYLE) & 0xF;
  DWORD Wanted = ADefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
  if (DWORD(Style) != Wanted) SendMessageW(FHandle, BM_SETSTYLE, Wanted, 1);
}

void TButton::Click() {
  if (TCustomForm* Form = GetParentForm(this); Form && FModalResult != mrNone) Form->SetModalResult(FModalResult);
  inherited::Click();
}

void TButton::CNCommand(TWMCommand& Message) {
  if (Message.NotifyCode == BN_CLICKED) Click();
}

void TButton::CMDialogKey(TCMDialogKey& Message) {
  bool Enter = Message.CharCode == VK_RETURN && FActive;
  bool Escape = Message.CharCode == VK_ESCAPE && FCancel;
  if ((Enter || Escape) && KeyDataToShiftState(Message.KeyData).Empty() && CanFocus()) {
    Click();
    Message.Result = 1;
    return;
  }
  inherited::Dispatch(&Message);
}

void TButton::CMDialogChar(TCMDialogChar& Message) {
  if (IsAccel(Message.CharCode, GetCaption()) && CanFocus()) {
    Click();
    Message.Result = 1;
    return;
  }
  inherited::Dispatch(&Message);
}

void TButton::CMFocusChanged(TCMFocusChanged& Message) {
  if (dynamic_cast<TButton*>(Message.Sender)) FActive = Message.Sender == this;
  else FActive = FDefault;
  SetButtonStyle(FActive);
  inherited::Dispatch(&Message);
}

// ---- TCustomCheckBox ------------------------------------------------------------------------

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner) { SetBounds(0, 0, 97, 17); }

TLeftRight TCustomCheckBox::GetControlsAlignment() const {
  if (!UseRightToLeftAlignment()) return FAlignment;
  return FAlignment == taRightJustify ? taLeftJustify : taRightJustify;
}

void TCustomCheckBox::SetAlignment(TLeftRight Value) {
  if (FAlignment == Value) return;
  FAlignment = Value;
  if (FHandle) RecreateWnd();
}

void TCustomCheckBox::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  // The framework keeps the state itself: a three-state box that the window never toggles.
  Params.Style |= BS_3STATE;
  if (GetControlsAlignment() == taLeftJustify) Params.Style |= BS_LEFTTEXT;
}

void TCustomCheckBox::CreateWnd() {
  inherited::CreateWnd();
  SendMessageW(FHandle, BM_SETCHECK, WPARAM(GetState()), 0);
}

void TCustomCheckBox::SetState(TCheckBoxState Value) {
  if (FState == Value) return;
  FState = Value;
  if (FHandle) SendMessageW(FHandle, BM_SETCHECK, WPARAM(Value), 0);
  if (!FClicksDisabled && !GetComponentState().Contains(csLoading)) Click();
}

void TCustomCheckBox::Toggle() {
  switch (FState) {
    case cbUnchecked: SetState(FAllowGrayed ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}

void TCustomCheckBox::CNCommand(TWMCommand& Message) {
  if (Message.NotifyCode == BN_CLICKED) Toggle();
}

void TCustomCheckBox::CMDialogChar(TCMDialogChar& Message) {
  if (IsAccel(Message.CharCode, GetCaption()) && CanFocus()) {
    SetFocus();
    if (Focused()) Toggle();
    Message.Result = 1;
    return;
  }
  inherited::Dispatch(&Message);
}

// ---- TRadioButton ----------------------------------------------------------------------------

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner) {
  SetBounds(0, 0, 113, 17);
  FTabStop = false;  // only the checked button of a group is reached by Tab
}

void TRadioButton::SetAlignment(TLeftRight Value) {
  if (FAlignment == Value) return;
  FAlignment = Value;
  if (FHandle) RecreateWnd();
}

void TRadioButton::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  Params.Style |= BS_RADIOBUTTON;
  bool Left = (FAlignment == taLeftJustify) != UseRightToLeftAlignment();
  if (Left) Params.Style |= BS_LEFTTEXT;
}

void TRadioButton::CreateWnd() {
  inherited::CreateWnd();
  SendMessageW(FHandle, BM_SETCHECK, FChecked, 0);
}

void TRadioButton::SetChecked(bool Value) {
  if (FChecked == Value) return;
  FChecked = Value;
  // Only the checked button of a group is a tab stop; arrows move within the group.
  SetTabStop(Value);
  if (FHandle) SendMessageW(FHandle, BM_SETCHECK, Value, 0);
  if (!Value) return;
  if (FParent)
    for (Integer I = 0; I < FParent->GetControlCount(); ++I)
      if (auto* R = dynamic_cast<TRadioButton*>(FParent->GetControl(I)); R && R != this) R->SetChecked(false);
  if (!FClicksDisabled && !GetComponentState().Contains(csLoading)) Click();
}

void TRadioButton::CNCommand(TWMCommand& Message) {
  if (Message.NotifyCode == BN_CLICKED) SetChecked(true);
  else if (Message.NotifyCode == BN_DOUBLECLICKED) DblClick();
}

namespace {
// Set while an arrow key moves the focus out of a radio button: the button reached is checked.
bool ArrowNavigation = false;
}  // namespace

void TRadioButton::CNKeyDown(TWMKeyDown& Message) {
  bool Arrow = Message.CharCode == VK_LEFT || Message.CharCode == VK_RIGHT || Message.CharCode == VK_UP ||
               Message.CharCode == VK_DOWN;
  bool Saved = ArrowNavigation;
  ArrowNavigation = Arrow;
  try {
    inherited::Dispatch(&Message);
  } catch (...) {
    ArrowNavigation = Saved;
    throw;
  }
  ArrowNavigation = Saved;
}

void TRadioButton::CMEnter(TCMEnter& Message) {
  inherited::Dispatch(&Message);
  if (ArrowNavigation && !FChecked) {
    ArrowNavigation = false;
    SetChecked(true);
  }
}

void TRadioButton::CMDialogChar(TCMDialogChar& Message) {
  if (IsAccel(Message.CharCode, GetCaption()) && CanFocus()) {
    SetFocus();
    if (Focused()) SetChecked(true);
    Message.Result = 1;
    return;
  }
  inherited::Dispatch(&Message);
}

// ---- TCustomGroupBox ------------------------------------------------------------------------

TCustomGroupBox::TCustomGroupBox(TComponent* AOwner) : TCustomControl(AOwner) {
  FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks,
                                csReplicatable, csParentBackground};
  SetBounds(0, 0, 185, 105);
  FParentColor = true;
}

void TCustomGroupBox::AdjustClientRect(TRect& Rect) {
  inherited::AdjustClientRect(Rect);
  Rect.Top += FontHeight(GetFont());
  Rect.Left += 1;
  Rect.Right -= 1;
  Rect.Bottom -= 1;
}

void TCustomGroupBox::Paint() {
  TCanvas* C = GetCanvas();
  C->SetFont(GetFont());
  C->GetBrush()->SetColor(GetColor());
  C->GetBrush()->SetStyle(bsSolid);
  TRect Client = GetClientRect();
  C->FillRect(Client);
  Integer H = C->TextHeight(L"0");
  RECT R{0, H / 2, Client.Width(), Client.Height()};
  HDC DC = C->GetHandle();
  DrawEdge(DC, &R, EDGE_ETCHED, BF_RECT);
  String Text = GetText();
  if (Text.empty()) return;
  C->RequiredState({csHandleValid, csFontValid, csBrushValid});
  RECT T{0, 0, 0, H};
  DrawTextW(DC, Text.c_str(), Integer(Text.size()), &T, UINT(DrawTextBiDiModeFlags(DT_SINGLELINE | DT_CALCRECT)));
  Integer W = T.right - T.left;
  if (UseRightToLeftAlignment()) OffsetRect(&T, Client.Width() - 8 - W, 0);
  else OffsetRect(&T, 8, 0);
  ::SetBkMode(DC, OPAQUE);
  ::SetBkColor(DC, ColorToRGB(GetColor()));
  ::SetTextColor(DC, ColorToRGB(GetEnabled() ? GetFont()->GetColor() : clGrayText));
  DrawTextW(DC, Text.c_str(), Integer(Text.size()), &T, UINT(DrawTextBiDiModeFlags(DT_SINGLELINE)));
}

void TCustomGroupBox::CMDialogChar(TCMDialogChar& Message) {
  if (IsAccel(Message.CharCode, GetCaption()) && CanFocus()) {
    SelectNext(nullptr, true, true);
    Message.Result = 1;
    return;
  }
  inherited::Dispatch(&Message);
}

void TCustomGroupBox::CMTextChanged(TMessage& Message) {
  Invalidate();
  Realign();
  inherited::Dispatch(&Message);
}

// The reading order and alignment are window styles: the window is made again with them.
void TButtonControl::CMBiDiModeChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  if (FHandle) RecreateWnd();
}
