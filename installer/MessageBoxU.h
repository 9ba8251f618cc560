#pragma once
// The wizard's confirmation box: formatted text, and a Yes button that unlocks only after a
// ten-second countdown, so the operator reads before agreeing.

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"

// Shows marked-up text (bold, line breaks, coloured words) on a label; the tags are dropped
// until the family's HTML label takes the label's place.
void SetMarkupText(TLabel* Label, const String& Markup);

class TMessageBox : public TForm {
  DECLARE_CLASS(TMessageBox, TForm)
 public:
  using TForm::TForm;
  using TForm::Show;
  // 6 (Yes) when the operator agreed, 7 (No) for every other way the box was closed.
  static Integer Show(const String& ACaption, const String& AMessage);

  void FormCreate(TObject* Sender);
  void TimerTimer(TObject* Sender);

  TImage* Image1 = nullptr;
  TLabel* lbMessage = nullptr;
  TButton* cmdEvet = nullptr;
  TButton* cmdHayir = nullptr;
  TTimer* Timer = nullptr;
  Integer FCountdown = 10;

  PUBLISHED_DECL(TMessageBox);

 protected:
  void Loaded() override;
};
