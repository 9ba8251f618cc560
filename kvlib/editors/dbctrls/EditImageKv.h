#pragma once
// The small picture a data-aware edit shows at its left edge, from an image list by index (part
// of the unit DBCtrlsKv). A change that alters the edit's layout reaches the edit as
// CM_EDITIMAGECHANGEDKV, which the edit answers by making its window again.

#include "framework/Classes.h"
#include "framework/ImgList.h"

class TWinControl;

// Sent to the edit when its image's layout changes; WParam is the TEditImageKv (pointer-sized).
constexpr Cardinal CM_EDITIMAGECHANGEDKV = 0x0400 + 101;  // WM_USER + 101

class TEditImageKv : public TPersistent {
  DECLARE_CLASS(TEditImageKv, TPersistent)
 public:
  explicit TEditImageKv(TWinControl* EditControl) : FEditControl(EditControl) {}
  // From another edit image: Images, ImageIndex, Visible and Width, each through its setter.
  void Assign(TPersistent* Source) override;

  // Visible, with an image list and an index.
  bool Showing() const;
  // The width the image takes from the text: 0 unless visible with an image list; else Width + 4,
  // or the list's width + 4 while Width is 0.
  Integer DrawWidth() const;

  TCustomImageList* GetImages() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  Integer GetImageIndex() const { return FImageIndex; }
  void SetImageIndex(Integer Value);
  bool GetUseImageHeight() const { return FUseImageHeight; }
  void SetUseImageHeight(bool Value);
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value);
  // 0: the image list's width.
  Integer GetWidth() const { return FWidth; }
  void SetWidth(Integer Value);
  TWinControl* GetEditControl() const { return FEditControl; }

  PUBLISHED_DECL(TEditImageKv);

 protected:
  TPersistent* GetOwner() override;

 private:
  void LayoutChanged();

  TWinControl* FEditControl;  // the edit owns its image
  TComponentRef<TCustomImageList> FImages;
  Integer FImageIndex = -1;
  bool FUseImageHeight = true;
  bool FVisible = false;
  Integer FWidth = 0;
};
