#pragma once
// The wizard's confirmation box: formatted text, and a Yes button that unlocks only after a
// ten-second countdown, so the operator reads before agreeing.

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"

class TMarkupLabel;

class TMessageBox : public TForm {
  DECLARE_CLASS(TMessageBox, TForm)
 public:
  using TForm::TForm;
  using TForm::Show;
  // 6 (Yes) when the operator agreed, 7 (No) for every other way the box was closed. AMessage is
  // marked-up text (bold, line breaks, coloured words).
  static Integer Show(const String& ACaption, const String& AMessage);

  void FormCreate(TObject* Sender);
  void TimerTimer(TObject* Sender);

  TImage* Image1 = nullptr;
  TMarkupLabel* lbMessage = nullptr;
  TButton* cmdEvet = nullptr;
  TButton* cmdHayir = nullptr;
  TTimer* Timer = nullptr;
  Integer FCountdown = 10;

  PUBLISHED_DECL(TMessageBox);

 protected:
  void Loaded() override;
};
