#include "kvlib/editors/dbctrls/EditImageKv.h"

#include "framework/Controls.h"

PUBLISHED_DEF(TEditImageKv) {
  PROP(Images);
  PROP(ImageIndex).Default(-1);
  PROP(UseImageHeight).Default(true);
  PROP(Visible).Default(false);
  PROP(Width).Default(0);
}

void TEditImageKv::Assign(TPersistent* Source) {
  if (auto* Image = dynamic_cast<TEditImageKv*>(Source)) {
    SetImages(Image->GetImages());
    SetImageIndex(Image->GetImageIndex());
    SetVisible(Image->GetVisible());
    SetWidth(Image->GetWidth());
    return;
  }
  inherited::Assign(Source);
}

bool TEditImageKv::Showing() const { return FVisible && FImages && FImageIndex >= 0; }

Integer TEditImageKv::DrawWidth() const {
  if (!FVisible || !FImages) return 0;
  return (FWidth > 0 ? FWidth : FImages->GetWidth()) + 4;
}

void TEditImageKv::SetImages(TCustomImageList* Value) {
  if (FImages == Value) return;
  FImages = Value;
  if (Value && FEditControl) Value->FreeNotification(FEditControl);
  LayoutChanged();
}

void TEditImageKv::SetImageIndex(Integer Value) {
  if (FImageIndex == Value) return;
  FImageIndex = Value;
  if (FEditControl) FEditControl->Invalidate();
}

void TEditImageKv::SetUseImageHeight(bool Value) {
  if (FUseImageHeight == Value) return;
  FUseImageHeight = Value;
  LayoutChanged();
}

void TEditImageKv::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  LayoutChanged();
}

void TEditImageKv::SetWidth(Integer Value) {
  if (FWidth == Value) return;
  FWidth = Value;
  LayoutChanged();
}

TPersistent* TEditImageKv::GetOwner() { return FEditControl; }

void TEditImageKv::LayoutChanged() {
  if (FEditControl) FEditControl->Perform(CM_EDITIMAGECHANGEDKV, WPARAM(this), 0);
}
