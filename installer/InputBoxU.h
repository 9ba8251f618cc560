#pragma once
// The wizard's one-line question with a formatted prompt.

#include "framework/Forms.h"
#include "framework/StdCtrls.h"

class TMarkupLabel;

class TInputBox : public TForm {
  DECLARE_CLASS(TInputBox, TForm)
 public:
  using TForm::TForm;
  using TForm::Show;
  // Result is the typed text (upper case, not trimmed) after Tamam, else empty. APrompt is
  // marked-up text.
  static void Show(const String& ACaption, const String& APrompt, String& Result, const String& ADefault);

  void FormCreate(TObject* Sender);
  void cmdTamamClick(TObject* Sender);

  TMarkupLabel* lbPrompt = nullptr;
  TEdit* txInput = nullptr;
  TButton* cmdTamam = nullptr;
  TButton* cmdVazgec = nullptr;

  PUBLISHED_DECL(TInputBox);

 protected:
  void Loaded() override;
};
