#include "installer/MessageBoxU.h"

#include <memory>

#include "framework/SysUtils.h"
#include "htmllabel/MarkupLabel.h"

PUBLISHED_DEF(TMessageBox) {
  METHOD(FormCreate);
  METHOD(TimerTimer);
}

void TMessageBox::Loaded() {
  inherited::Loaded();
  Image1 = RequireComponent<TImage>(this, L"Image1");
  lbMessage = RequireComponent<TMarkupLabel>(this, L"lbMessage");
  cmdEvet = RequireComponent<TButton>(this, L"cmdEvet");
  cmdHayir = RequireComponent<TButton>(this, L"cmdHayir");
  Timer = RequireComponent<TTimer>(this, L"Timer");
}

void TMessageBox::FormCreate(TObject*) { FCountdown = 10; }

void TMessageBox::TimerTimer(TObject*) {
  --FCountdown;
  cmdEvet->SetCaption(IntToStr(FCountdown));
  if (FCountdown <= 0) {
    Timer->SetEnabled(false);
    cmdEvet->SetEnabled(true);
    cmdEvet->SetCaption(L"&Evet");
  }
}

Integer TMessageBox::Show(const String& ACaption, const String& AMessage) {
  std::unique_ptr<TMessageBox> Box(TComponent::Create<TMessageBox>(Application));
  Box->SetCaption(ACaption);
  Box->lbMessage->GetHTMLText()->SetText(AMessage);
  // Alt+F4 closes even a box without a close box; only Yes counts as agreement.
  return Box->ShowModal() == mrYes ? mrYes : mrNo;
}
