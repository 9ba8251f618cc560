#pragma once
// TPngImage: a PNG picture with its alpha channel. The file is kept as loaded and written back
// unchanged; a picture assigned from a bitmap is encoded when saved.

#include <memory>
#include <vector>

#include "framework/graphics/Graphic.h"

class TBitmap;

enum TPNGTransparencyMode { ptmNone, ptmBit, ptmPartial };

class TPngImage : public TGraphic {
  DECLARE_CLASS(TPngImage, TGraphic)
 public:
  TPngImage();
  ~TPngImage() override;
  // The PNG signature.
  static bool CanLoadFromData(const Byte* Data, size_t Size);

  // From another PNG, or from a bitmap (its alpha, or its transparent colour, is kept).
  void Assign(TPersistent* Source) override;
  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream) override;
  void SetSize(Integer AWidth, Integer AHeight) override;
  bool SupportsPartialTransparency() override { return GetTransparencyMode() == ptmPartial; }

  bool GetEmpty() override { return FPixels.empty(); }
  Integer GetWidth() override { return FWidth; }
  void SetWidth(Integer Value) override { SetSize(Value, FHeight); }
  Integer GetHeight() override { return FHeight; }
  void SetHeight(Integer Value) override { SetSize(FWidth, Value); }
  bool GetTransparent() override { return GetTransparencyMode() != ptmNone; }
  TPNGTransparencyMode GetTransparencyMode() const;
  // Straight 32-bit BGRA pixels, top row first.
  const std::vector<Cardinal>& GetPixels() const { return FPixels; }

 protected:
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;
  void AssignTo(TPersistent* Dest) override;

 private:
  void SetPixels(Integer AWidth, Integer AHeight, std::vector<Cardinal> Pixels);
  TBitmap* Rendered();
  TBytes FData;  // the file as loaded; empty once the pixels change
  std::vector<Cardinal> FPixels;
  Integer FWidth = 0;
  Integer FHeight = 0;
  std::unique_ptr<TBitmap> FRendered;  // premultiplied copy for drawing
};
