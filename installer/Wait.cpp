#include "installer/Wait.h"

#include "framework/GIFImg.h"
#include "framework/SysUtils.h"

PUBLISHED_DEF(TfrmWait) {
  METHOD(FormShow);
  METHOD(Image1Click);
}

namespace {
template <class T>
T* Child(TComponent* Owner, const wchar_t* Name) {
  auto* C = dynamic_cast<T*>(Owner->FindComponent(Name));
  if (!C) throw Exception(String(L"The form resource has no ") + Name);
  return C;
}
}  // namespace

void TfrmWait::Loaded() {
  inherited::Loaded();
  Shape1 = Child<TShape>(this, L"Shape1");
  Image1 = Child<TImage>(this, L"Image1");
  Label1 = Child<TLabel>(this, L"Label1");
}

void TfrmWait::FormShow(TObject*) {
  if (auto* Gif = dynamic_cast<TGIFImage*>(Image1->GetPicture()->GetGraphic())) {
    Gif->SetAnimationSpeed(50);
    Gif->SetAnimate(true);
  }
}

void TfrmWait::Image1Click(TObject*) { Close(); }
