#pragma once
// The controls over the system BUTTON window: TButton (Default, Cancel and ModalResult answering
// Enter and Escape in its form), TCheckBox, TRadioButton; and TGroupBox, painted by itself.

#include "framework/stdctrls/StdTypes.h"

class TButtonControl : public TWinControl {
  DECLARE_CLASS(TButtonControl, TWinControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CN_CTLCOLORSTATIC, TWMCtlColor, CNCtlColor)
    MESSAGE_HANDLER(CN_CTLCOLORBTN, TWMCtlColor, CNCtlColor)
    MESSAGE_HANDLER(CM_BIDIMODECHANGED, TMessage, CMBiDiModeChanged)
  END_MESSAGE_MAP
 public:
  explicit TButtonControl(TComponent* AOwner);
  bool GetWordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CNCtlColor(TWMCtlColor& Message);
  void CMBiDiModeChanged(TMessage& Message);
  // Set while the control changes its own check state, so that no Click follows.
  bool FClicksDisabled = false;

 private:
  bool FWordWrap = false;
};

class TButton : public TButtonControl {
  DECLARE_CLASS(TButton, TButtonControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CN_COMMAND, TWMCommand, CNCommand)
    MESSAGE_HANDLER(CM_DIALOGKEY, TCMDialogKey, CMDialogKey)
    MESSAGE_HANDLER(CM_DIALOGCHAR, TCMDialogChar, CMDialogChar)
    MESSAGE_HANDLER(CM_FOCUSCHANGED, TCMFocusChanged, CMFocusChanged)
  END_MESSAGE_MAP

 public:
  explicit TButton(TComponent* AOwner);
  void Click() override;
  bool GetCancel() const { return FCancel; }
  void SetCancel(bool Value) { FCancel = Value; }
  bool GetDefault() const { return FDefault; }
  void SetDefault(bool Value);
  TModalResult GetModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  // True while Enter would press this button: it is focused, or it is the default and no other
  // button is.
  bool GetActive() const { return FActive; }
  PUBLISHED_DECL(TButton);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CNCommand(TWMCommand& Message);
  void CMDialogKey(TCMDialogKey& Message);
  void CMDialogChar(TCMDialogChar& Message);
  void CMFocusChanged(TCMFocusChanged& Message);
  void SetButtonStyle(bool ADefault);

 private:
  bool FCancel = false;
  bool FDefault = false;
  bool FActive = false;
  TModalResult FModalResult = mrNone;
};

class TCustomCheckBox : public TButtonControl {
  DECLARE_CLASS(TCustomCheckBox, TButtonControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CN_COMMAND, TWMCommand, CNCommand)
    MESSAGE_HANDLER(CM_DIALOGCHAR, TCMDialogChar, CMDialogChar)
  END_MESSAGE_MAP

 public:
  explicit TCustomCheckBox(TComponent* AOwner);
  TLeftRight GetAlignment() const { return FAlignment; }
  void SetAlignment(TLeftRight Value);
  bool GetAllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool Value) { FAllowGrayed = Value; }
  // Virtual, so that a box keeping its state elsewhere (a data-aware one) answers through the base.
  virtual TCheckBoxState GetState() const { return FState; }
  virtual void SetState(TCheckBoxState Value);
  virtual bool GetChecked() const { return FState == cbChecked; }
  virtual void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
  bool GetClicksDisabled() const { return FClicksDisabled; }
  void SetClicksDisabled(bool Value) { FClicksDisabled = Value; }
  // The alignment after right-to-left flipping.
  virtual TLeftRight GetControlsAlignment() const;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  // Unchecked -> (grayed when allowed) -> checked -> unchecked.
  virtual void Toggle();
  void CNCommand(TWMCommand& Message);
  void CMDialogChar(TCMDialogChar& Message);

 private:
  TLeftRight FAlignment = taRightJustify;
  bool FAllowGrayed = false;
  TCheckBoxState FState = cbUnchecked;
};

class TCheckBox : public TCustomCheckBox {
  DECLARE_CLASS(TCheckBox, TCustomCheckBox)
 public:
  using TCustomCheckBox::TCustomCheckBox;
  PUBLISHED_DECL(TCheckBox);
};

class TRadioButton : public TButtonControl {
  DECLARE_CLASS(TRadioButton, TButtonControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CN_COMMAND, TWMCommand, CNCommand)
    MESSAGE_HANDLER(CN_KEYDOWN, TWMKeyDown, CNKeyDown)
    MESSAGE_HANDLER(CM_ENTER, TCMEnter, CMEnter)
    MESSAGE_HANDLER(CM_DIALOGCHAR, TCMDialogChar, CMDialogChar)
  END_MESSAGE_MAP

 public:
  explicit TRadioButton(TComponent* AOwner);
  TLeftRight GetAlignment() const { return FAlignment; }
  void SetAlignment(TLeftRight Value);
  bool GetChecked() const { return FChecked; }
  // Checking one button of a parent unchecks its sibling radio buttons, then fires OnClick.
  void SetChecked(bool Value);
  PUBLISHED_DECL(TRadioButton);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void CNCommand(TWMCommand& Message);
  void CNKeyDown(TWMKeyDown& Message);
  void CMEnter(TCMEnter& Message);
  void CMDialogChar(TCMDialogChar& Message);

 private:
  TLeftRight FAlignment = taRightJustify;
  bool FChecked = false;
};

class TCustomGroupBox : public TCustomControl {
  DECLARE_CLASS(TCustomGroupBox, TCustomControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CM_DIALOGCHAR, TCMDialogChar, CMDialogChar)
    MESSAGE_HANDLER(CM_TEXTCHANGED, TMessage, CMTextChanged)
  END_MESSAGE_MAP

 public:
  explicit TCustomGroupBox(TComponent* AOwner);

 protected:
  void AdjustClientRect(TRect& Rect) override;
  void Paint() override;
  void CMDialogChar(TCMDialogChar& Message);
  void CMTextChanged(TMessage& Message);
};

class TGroupBox : public TCustomGroupBox {
  DECLARE_CLASS(TGroupBox, TCustomGroupBox)
 public:
  using TCustomGroupBox::TCustomGroupBox;
  PUBLISHED_DECL(TGroupBox);
};
