#include "installer/InputBoxU.h"

#include <memory>

#include "framework/SysUtils.h"
#include "htmllabel/MarkupLabel.h"

PUBLISHED_DEF(TInputBox) {
  METHOD(FormCreate);
  METHOD(cmdTamamClick);
}

void TInputBox::Loaded() {
  inherited::Loaded();
  lbPrompt = dynamic_cast<TMarkupLabel*>(FindComponent(L"lbPrompt"));
  txInput = dynamic_cast<TEdit*>(FindComponent(L"txInput"));
  cmdTamam = dynamic_cast<TButton*>(FindComponent(L"cmdTamam"));
  cmdVazgec = dynamic_cast<TButton*>(FindComponent(L"cmdVazgec"));
  if (!lbPrompt || !txInput || !cmdTamam || !cmdVazgec) throw Exception(L"The form resource of TInputBox is incomplete");
}

void TInputBox::FormCreate(TObject*) { lbPrompt->SetStyleElements({}); }

void TInputBox::cmdTamamClick(TObject*) {
  if (Trim(txInput->GetText()).empty()) {
    if (GetVisible() && txInput->CanFocus()) txInput->SetFocus();
    return;
  }
  SetModalResult(mrOk);
}

void TInputBox::Show(const String& ACaption, const String& APrompt, String& Result, const String& ADefault) {
  Result.clear();
  std::unique_ptr<TInputBox> Box(TComponent::Create<TInputBox>(Application));
  Box->SetCaption(ACaption);
  Box->txInput->SetText(ADefault);
  Box->lbPrompt->GetHTMLText()->SetText(APrompt);
  if (Box->ShowModal() == mrOk) Result = Box->txInput->GetText();
}
