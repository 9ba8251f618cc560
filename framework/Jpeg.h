#pragma once
// TJPEGImage: a JPEG picture. The file is kept as loaded and written back unchanged; a picture
// assigned from a bitmap is encoded with CompressionQuality when saved.

#include <algorithm>
#include <memory>
#include <vector>

#include "framework/graphics/Graphic.h"

class TBitmap;

using TJPEGQualityRange = Integer;  // 1..100

class TJPEGImage : public TGraphic {
  DECLARE_CLASS(TJPEGImage, TGraphic)
 public:
  TJPEGImage();
  ~TJPEGImage() override;
  // The start-of-image marker.
  static bool CanLoadFromData(const Byte* Data, size_t Size);

  void Assign(TPersistent* Source) override;
  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream) override;

  bool GetEmpty() override { return FPixels.empty(); }
  Integer GetWidth() override { return FWidth; }
  void SetWidth(Integer) override {}
  Integer GetHeight() override { return FHeight; }
  void SetHeight(Integer) override {}
  TJPEGQualityRange GetCompressionQuality() const { return FCompressionQuality; }
  void SetCompressionQuality(TJPEGQualityRange Value) { FCompressionQuality = std::clamp(Value, 1, 100); }
  // Shows the picture in shades of grey.
  bool GetGrayscale() const { return FGrayscale; }
  void SetGrayscale(bool Value);

  // Form streams keep the size before the file.
  void ReadData(TStream* Stream) override;
  void WriteData(TStream* Stream) override;

 protected:
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;
  void AssignTo(TPersistent* Dest) override;

 private:
  void LoadData(TBytes Data);
  TBitmap* Rendered();
  TBytes FData;
  std::vector<Cardinal> FPixels;
  Integer FWidth = 0;
  Integer FHeight = 0;
  TJPEGQualityRange FCompressionQuality = 90;
  bool FGrayscale = false;
  std::unique_ptr<TBitmap> FRendered;
};
