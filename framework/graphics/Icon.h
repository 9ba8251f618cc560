#pragma once
// TIcon: a Windows icon, kept as the .ico data it was loaded from (one or more images), with a
// handle made for the image that fits the requested size best.

#include "framework/graphics/Graphic.h"

class TIcon : public TGraphic {
  DECLARE_CLASS(TIcon, TGraphic)
 public:
  TIcon() = default;
  ~TIcon() override;

  void Assign(TPersistent* Source) override;
  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream) override;
  // An icon group resource of the module; raises EResNotFound when there is none.
  void LoadFromResourceName(NativeUInt Instance, const String& ResName);
  void LoadFromResourceID(NativeUInt Instance, Integer ResID);
  // The size of the image to take from data holding several; 0 takes the system icon size.
  void SetSize(Integer AWidth, Integer AHeight) override;
  bool SupportsPartialTransparency() override { return true; }

  bool GetEmpty() override { return !FHandle && FData.empty(); }
  Integer GetWidth() override { return FWidth; }
  void SetWidth(Integer Value) override { SetSize(Value, FHeight); }
  Integer GetHeight() override { return FHeight; }
  void SetHeight(Integer Value) override { SetSize(FWidth, Value); }

  HICON GetHandle();
  // Takes ownership of the icon.
  void SetHandle(HICON Value);
  // Hands the handle to the caller; the icon becomes empty unless it has its file data.
  HICON ReleaseHandle();

 protected:
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;

 private:
  void FreeHandle();
  void ChooseImage();
  TBytes FData;  // the .ico file, when loaded from one
  HICON FHandle = nullptr;
  Integer FWidth = 0;
  Integer FHeight = 0;
  Integer FRequestedWidth = 0;
  Integer FRequestedHeight = 0;
  size_t FImageOffset = 0;
  size_t FImageSize = 0;
};
