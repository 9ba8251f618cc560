#pragma once
// The waiting window the self-update shows while it works: an animated picture above "Lütfen
// Bekleyiniz...", on top of every other window.

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"

class TfrmWait : public TForm {
  DECLARE_CLASS(TfrmWait, TForm)
 public:
  using TForm::TForm;

  // Starts the picture's animation at half its recorded speed.
  void FormShow(TObject* Sender);
  // A click on the picture closes the window.
  void Image1Click(TObject* Sender);

  TShape* Shape1 = nullptr;
  TImage* Image1 = nullptr;
  TLabel* Label1 = nullptr;

  PUBLISHED_DECL(TfrmWait);

 protected:
  void Loaded() override;
};
