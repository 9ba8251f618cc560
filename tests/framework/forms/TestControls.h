#pragma once
// Small controls for the controls and forms tests: a container panel and a focusable button
// that closes its modal form with its ModalResult, as the framework's buttons do.

#include "framework/Forms.h"

namespace ctltest {

class TTestPanel : public TCustomControl {
  DECLARE_CLASS(TTestPanel, TCustomControl)
 public:
  explicit TTestPanel(TComponent* AOwner) : TCustomControl(AOwner) {
    FControlStyle << csAcceptsControls;
    SetBounds(0, 0, 100, 40);
  }
  PUBLISHED_DECL(TTestPanel);
};

class TTestButton : public TCustomControl {
  DECLARE_CLASS(TTestButton, TCustomControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_GETDLGCODE, TWMGetDlgCode, WMGetDlgCode)
  END_MESSAGE_MAP

 public:
  explicit TTestButton(TComponent* AOwner) : TCustomControl(AOwner) {
    SetBounds(0, 0, 75, 25);
    SetTabStop(true);
  }
  TModalResult GetModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  void Click() override {
    if (TCustomForm* Form = GetParentForm(this); Form && FModalResult != mrNone) Form->SetModalResult(FModalResult);
    inherited::Click();
  }
  std::vector<Word> KeysSeen;
  PUBLISHED_DECL(TTestButton);

 protected:
  void KeyDown(Word& Key, TShiftState Shift) override {
    KeysSeen.push_back(Key);
    inherited::KeyDown(Key, Shift);
  }
  void WMGetDlgCode(TWMGetDlgCode& Message) { Message.Result = DLGC_WANTCHARS; }

 private:
  TModalResult FModalResult = mrNone;
};

class TLayoutForm : public TForm {
  DECLARE_CLASS(TLayoutForm, TForm)
 public:
  using TForm::TForm;
  std::vector<Word> PreviewKeys;
  // Consumes F2 before the focused control sees it.
  void FormKeyDown(TObject*, Word& Key, TShiftState) {
    PreviewKeys.push_back(Key);
    if (Key == VK_F2) Key = 0;
  }
  template <class T>
  T* Find(const wchar_t* Name) {
    return dynamic_cast<T*>(FindComponent(Name));
  }
  PUBLISHED_DECL(TLayoutForm);
};

inline void RegisterTestControls() {
  RegisterClasses({TTestPanel::StaticClass(), TTestButton::StaticClass(), TLayoutForm::StaticClass()});
}

}  // namespace ctltest
