#pragma once
// Fonts, pens and brushes. Each describes a GDI object and creates its handle on demand; equal
// descriptions share one handle (a font compared by Handle is compared by its data).

#include <memory>

#include "framework/TypInfo.h"
#include "framework/classes/Persistent.h"
#include "framework/graphics/Colors.h"
#include "framework/graphics/GdiTypes.h"

class TBitmap;

class TGraphicsObject : public TPersistent {
  DECLARE_CLASS(TGraphicsObject, TPersistent)
 public:
  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }
  // True when a handle has been created and not released since.
  virtual bool HandleAllocated() const = 0;

 protected:
  virtual void Changed();

 private:
  TNotifyEvent FOnChange;
};

DECLARE_ENUM(TFontStyle, fsBold, fsItalic, fsUnderline, fsStrikeOut)
using TFontStyles = Set<TFontStyle, 4>;
DECLARE_ENUM(TFontPitch, fpDefault, fpVariable, fpFixed)
DECLARE_ENUM(TFontQuality, fqDefault, fqDraft, fqProof, fqNonAntialiased, fqAntialiased, fqClearType, fqClearTypeNatural)
using TFontCharset = Byte;
using TFontName = String;

// The data behind one font handle; fonts with equal data share the handle.
struct TFontData {
  Integer Height = 0;
  Integer Orientation = 0;
  TFontPitch Pitch = fpDefault;
  TFontStyles Style;
  TFontCharset Charset = 1;  // DEFAULT_CHARSET
  TFontQuality Quality = fqDefault;
  TFontName Name;
  bool operator==(const TFontData& R) const;
};

namespace fw_detail {
struct TFontResource;
struct TPenResource;
struct TBrushResource;
}  // namespace fw_detail

class TFont : public TGraphicsObject {
  DECLARE_CLASS(TFont, TGraphicsObject)
 public:
  TFont();
  ~TFont() override;
  void Assign(TPersistent* Source) override;
  bool HandleAllocated() const override;

  HFONT GetHandle();
  // Takes the description of an existing font; the caller keeps ownership of the handle.
  void SetHandle(HFONT Value);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value);
  Integer GetHeight() const { return FData.Height; }
  void SetHeight(Integer Value);
  // Points from the height at PixelsPerInch: Size = -Height * 72 / PixelsPerInch, rounded.
  Integer GetSize() const;
  void SetSize(Integer Value);
  TFontName GetName() const { return FData.Name; }
  void SetName(const TFontName& Value);
  TFontStyles GetStyle() const { return FData.Style; }
  void SetStyle(TFontStyles Value);
  TFontPitch GetPitch() const { return FData.Pitch; }
  void SetPitch(TFontPitch Value);
  TFontCharset GetCharset() const { return FData.Charset; }
  void SetCharset(TFontCharset Value);
  // Tenths of a degree, counter-clockwise.
  Integer GetOrientation() const { return FData.Orientation; }
  void SetOrientation(Integer Value);
  TFontQuality GetQuality() const { return FData.Quality; }
  void SetQuality(TFontQuality Value);
  Integer GetPixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(Integer Value) { if (Value > 0) FPixelsPerInch = Value; }
  const TFontData& GetData() const { return FData; }
  void SetData(const TFontData& Value);

  PUBLISHED_DECL(TFont);

 private:
  void DataChanged();
  TFontData FData;
  TColor FColor = clWindowText;
  Integer FPixelsPerInch;
  std::shared_ptr<fw_detail::TFontResource> FResource;
};

DECLARE_ENUM(TPenStyle, psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame, psUserStyle, psAlternate)
DECLARE_ENUM(TPenMode, pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot, pmMergeNotPen,
             pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor)

class TPen : public TGraphicsObject {
  DECLARE_CLASS(TPen, TGraphicsObject)
 public:
  TPen();
  ~TPen() override;
  void Assign(TPersistent* Source) override;
  bool HandleAllocated() const override;

  HPEN GetHandle();
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value);
  Integer GetWidth() const { return FWidth; }
  void SetWidth(Integer Value);
  TPenStyle GetStyle() const { return FStyle; }
  void SetStyle(TPenStyle Value);
  // The raster operation the canvas applies when it draws with this pen (SetROP2).
  TPenMode GetMode() const { return FMode; }
  void SetMode(TPenMode Value);

  PUBLISHED_DECL(TPen);

 private:
  void DataChanged();
  TColor FColor = clBlack;
  Integer FWidth = 1;
  TPenStyle FStyle = psSolid;
  TPenMode FMode = pmCopy;
  std::shared_ptr<fw_detail::TPenResource> FResource;
};

DECLARE_ENUM(TBrushStyle, bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross)

class TBrush : public TGraphicsObject {
  DECLARE_CLASS(TBrush, TGraphicsObject)
 public:
  TBrush();
  ~TBrush() override;
  void Assign(TPersistent* Source) override;
  bool HandleAllocated() const override;

  HBRUSH GetHandle();
  TColor GetColor() const { return FColor; }
  // Setting a colour on a clear brush makes it solid.
  void SetColor(TColor Value);
  TBrushStyle GetStyle() const { return FStyle; }
  void SetStyle(TBrushStyle Value);
  // A pattern bitmap; the brush copies its pixels when the handle is made. Not owned.
  TBitmap* GetBitmap() const { return FBitmap; }
  void SetBitmap(TBitmap* Value);

  PUBLISHED_DECL(TBrush);

 private:
  void DataChanged();
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
  TBitmap* FBitmap = nullptr;
  std::shared_ptr<fw_detail::TBrushResource> FResource;
};

// The screen's logical pixels per inch, read once.
Integer ScreenLogPixels();
// Default font data: Tahoma 8 pt at the screen's pixels per inch.
TFontData DefFontData();
