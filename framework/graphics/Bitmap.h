#pragma once
// TBitmap: a device-independent bitmap (a DIB section, stored bottom-up) with a canvas on it.

#include <memory>
#include <vector>

#include "framework/graphics/Canvas.h"
#include "framework/graphics/Graphic.h"

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
// How the fourth byte of a 32-bit pixel is used when drawing.
enum TAlphaFormat { afIgnored, afDefined, afPremultiplied };
enum TTransparentMode { tmAuto, tmFixed };
enum TBitmapHandleType { bmDIB, bmDDB };

class TBitmap : public TGraphic {
  DECLARE_CLASS(TBitmap, TGraphic)
 public:
  TBitmap();
  TBitmap(Integer AWidth, Integer AHeight);
  ~TBitmap() override;

  void Assign(TPersistent* Source) override;
  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream) override;
  void LoadFromClipboardFormat(Word AFormat, NativeUInt AData, HPALETTE APalette) override;
  void SaveToClipboardFormat(Word& AFormat, NativeUInt& AData, HPALETTE& APalette) override;
  // A BITMAP resource of the module; raises EResNotFound when there is none.
  void LoadFromResourceName(NativeUInt Instance, const String& ResName);
  void LoadFromResourceID(NativeUInt Instance, Integer ResID);
  // Turns the bitmap into its own mask: TransparentColor becomes white, the rest black.
  void Mask(TColor TransparentColor);
  void SetSize(Integer AWidth, Integer AHeight) override;
  bool SupportsPartialTransparency() override;

  bool GetEmpty() override { return !FHandle; }
  Integer GetWidth() override { return FWidth; }
  void SetWidth(Integer Value) override { SetSize(Value, FHeight); }
  Integer GetHeight() override { return FHeight; }
  void SetHeight(Integer Value) override { SetSize(FWidth, Value); }
  HPALETTE GetPalette() override;
  void SetPalette(HPALETTE Value) override;

  TCanvas* GetCanvas();
  // The DIB section; the bitmap keeps owning it.
  HBITMAP GetHandle() { return FHandle; }
  // Takes ownership of Value (a device-dependent bitmap is copied into a DIB and deleted).
  void SetHandle(HBITMAP Value);
  // Hands the handle to the caller, who must delete it; the bitmap keeps a copy of the pixels.
  HBITMAP ReleaseHandle();
  // A monochrome mask: 1 where the transparent colour is.
  HBITMAP GetMaskHandle();
  HBITMAP ReleaseMaskHandle();
  TBitmapHandleType GetHandleType() const { return bmDIB; }
  void SetHandleType(TBitmapHandleType) {}
  // Row Y of the pixels, top row 0.
  void* GetScanLine(Integer Row);
  TPixelFormat GetPixelFormat() const { return FPixelFormat; }
  void SetPixelFormat(TPixelFormat Value);
  TAlphaFormat GetAlphaFormat() const { return FAlphaFormat; }
  // Switching between afDefined and afPremultiplied converts the pixels.
  void SetAlphaFormat(TAlphaFormat Value);
  bool GetMonochrome() const { return FBitCount == 1; }
  void SetMonochrome(bool Value);
  // tmAuto: the bottom-left pixel; tmFixed: the colour set.
  TColor GetTransparentColor();
  // Setting clDefault goes back to tmAuto; any other colour to tmFixed.
  void SetTransparentColor(TColor Value);
  TTransparentMode GetTransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode Value);
  bool GetIgnorePalette() const { return FIgnorePalette; }
  void SetIgnorePalette(bool Value) { FIgnorePalette = Value; }

  // The pixels as top-down 32-bit BGRA rows (alpha as stored for 32-bit bitmaps, else 255).
  std::vector<Cardinal> GetPixelsBGRA();
  // Replaces the image with a 32-bit one made of top-down BGRA rows.
  void SetPixelsBGRA(Integer AWidth, Integer AHeight, const Cardinal* Pixels, TAlphaFormat AFormat);

  void ReadData(TStream* Stream) override;
  void WriteData(TStream* Stream) override;

 protected:
  void Changed(TObject* Sender) override;
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;
  void DrawTransparent(TCanvas* ACanvas, const TRect& Rect, Byte Opacity) override;

 private:
  friend class TBitmapCanvas;
  void FreeContext();
  void FreeImage();
  void NewImage(Integer AWidth, Integer AHeight, Integer BitCount, const std::vector<Cardinal>& Colors, bool Is565);
  void CopyImageFrom(HBITMAP Source, Integer SrcWidth, Integer SrcHeight);
  HDC SourceDC();
  void LoadBMP(const Byte* Data, size_t Size, size_t& Used);
  std::vector<Byte> SaveBMP();
  Integer Stride() const;
  void CanvasChanged(TObject* Sender);
  void CanvasChanging(TObject* Sender);

  HBITMAP FHandle = nullptr;
  Byte* FBits = nullptr;
  Integer FWidth = 0;
  Integer FHeight = 0;
  Integer FBitCount = 32;
  bool F565 = false;
  std::vector<Cardinal> FColors;  // the colour table of 1, 4 and 8-bit images (BGRX)
  TPixelFormat FPixelFormat = pfDevice;
  TAlphaFormat FAlphaFormat = afIgnored;
  TColor FTransparentColor = clDefault;
  TTransparentMode FTransparentMode = tmAuto;
  bool FIgnorePalette = false;
  HBITMAP FMaskHandle = nullptr;
  HPALETTE FPalette = nullptr;
  std::unique_ptr<TCanvas> FCanvas;
};
