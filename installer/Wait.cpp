#include "installer/Wait.h"

#include "framework/GIFImg.h"
#include "framework/SysUtils.h"

PUBLISHED_DEF(TfrmWait) {
  METHOD(FormShow);
  METHOD(Image1Click);
}

void TfrmWait::Loaded() {
  inherited::Loaded();
  Shape1 = RequireComponent<TShape>(this, L"Shape1");
  Image1 = RequireComponent<TImage>(this, L"Image1");
  Label1 = RequireComponent<TLabel>(this, L"Label1");
}

void TfrmWait::FormShow(TObject*) {
  if (auto* Gif = dynamic_cast<TGIFImage*>(Image1->GetPicture()->GetGraphic())) {
    Gif->SetAnimationSpeed(50);
    Gif->SetAnimate(true);
  }
}

void TfrmWait::Image1Click(TObject*) { Close(); }
