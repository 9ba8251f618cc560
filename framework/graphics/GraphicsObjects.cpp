#include "framework/graphics/GraphicsObjects.h"

#include <mutex>
#include <vector>

#include "framework/WinApi.h"
#include "framework/graphics/Bitmap.h"

namespace fw_detail {

struct TFontResource {
  TFontData Data;
  HFONT Handle = nullptr;
  ~TFontResource() {
    if (Handle) DeleteObject(Handle);
  }
};

struct TPenResource {
  TColor Color;
  Integer Width;
  TPenStyle Style;
  HPEN Handle = nullptr;
  ~TPenResource() {
    if (Handle) DeleteObject(Handle);
  }
};

struct TBrushResource {
  TColor Color;
  TBrushStyle Style;
  TBitmap* Bitmap;
  HBRUSH Handle = nullptr;
  ~TBrushResource() {
    if (Handle) DeleteObject(Handle);
  }
};

}  // namespace fw_detail

using namespace fw_detail;

namespace {

std::mutex ResourceLock;

// Finds a live resource with the same description, or makes one; dead entries are dropped.
template <class R, class Match>
std::shared_ptr<R> FindResource(std::vector<std::weak_ptr<R>>& Cache, Match&& Same, std::shared_ptr<R> Fresh) {
  std::lock_guard<std::mutex> Guard(ResourceLock);
  for (size_t I = 0; I < Cache.size();) {
    if (auto P = Cache[I].lock()) {
      if (Same(*P)) return P;
      ++I;
    } else {
      Cache.erase(Cache.begin() + I);
    }
  }
  Cache.push_back(Fresh);
  return Fresh;
}

std::vector<std::weak_ptr<TFontResource>> FontCache;
std::vector<std::weak_ptr<TPenResource>> PenCache;
std::vector<std::weak_ptr<TBrushResource>> BrushCache;

}  // namespace

Integer ScreenLogPixels() {
  static const Integer Value = [] {
    HDC DC = GetDC(nullptr);
    Integer V = DC ? GetDeviceCaps(DC, LOGPIXELSY) : 96;
    if (DC) ReleaseDC(nullptr, DC);
    return V > 0 ? V : 96;
  }();
  return Value;
}

TFontData DefFontData() {
  TFontData D;
  D.Name = L"Tahoma";
  D.Height = -MulDiv(8, ScreenLogPixels(), 72);
  return D;
}

bool TFontData::operator==(const TFontData& R) const {
  return Height == R.Height && Orientation == R.Orientation && Pitch == R.Pitch && Style == R.Style &&
         Charset == R.Charset && Quality == R.Quality && Name == R.Name;
}

void TGraphicsObject::Changed() { DoEvent(FOnChange, this); }

// ---- TFont ------------------------------------------------------------------------------------

TFont::TFont() : FData(DefFontData()), FPixelsPerInch(ScreenLogPixels()) {}
TFont::~TFont() = default;

PUBLISHED_DEF(TFont) {
  PROP(Charset);
  PROP(Color).Idents(&IdentToColor, &ColorToIdent);
  PROP(Height);
  PROP(Name);
  PROP(Orientation).Default(0);
  PROP(Pitch).Default(fpDefault);
  PROP(Size).Stored(false);  // Height carries it
  PROP(Style);
  PROP(Quality).Default(fqDefault);
}

bool TFont::HandleAllocated() const { return FResource && FResource->Handle; }

void TFont::DataChanged() {
  FResource.reset();
  Changed();
}

HFONT TFont::GetHandle() {
  if (!FResource) {
    auto Fresh = std::make_shared<TFontResource>();
    Fresh->Data = FData;
    FResource = FindResource(FontCache, [&](const TFontResource& R) { return R.Data == FData; }, Fresh);
  }
  std::lock_guard<std::mutex> Guard(ResourceLock);
  if (!FResource->Handle) {
    LOGFONTW LF{};
    LF.lfHeight = FData.Height;
    LF.lfEscapement = FData.Orientation;
    LF.lfOrientation = FData.Orientation;
    LF.lfWeight = FData.Style.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    LF.lfItalic = FData.Style.Contains(fsItalic);
    LF.lfUnderline = FData.Style.Contains(fsUnderline);
    LF.lfStrikeOut = FData.Style.Contains(fsStrikeOut);
    LF.lfCharSet = FData.Charset;
    LF.lfOutPrecision = OUT_DEFAULT_PRECIS;
    LF.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    static const BYTE Qualities[] = {DEFAULT_QUALITY,     DRAFT_QUALITY,       PROOF_QUALITY,
                                     NONANTIALIASED_QUALITY, ANTIALIASED_QUALITY, CLEARTYPE_QUALITY,
                                     CLEARTYPE_NATURAL_QUALITY};
    LF.lfQuality = Qualities[FData.Quality];
    static const BYTE Pitches[] = {DEFAULT_PITCH, VARIABLE_PITCH, FIXED_PITCH};
    LF.lfPitchAndFamily = Pitches[FData.Pitch];
    String Name = FData.Name == L"Default" ? DefFontData().Name : FData.Name;
    wcsncpy(LF.lfFaceName, Name.c_str(), LF_FACESIZE - 1);
    FResource->Handle = CreateFontIndirectW(&LF);
  }
  return FResource->Handle;
}

void TFont::SetHandle(HFONT Value) {
  LOGFONTW LF{};
  if (!Value || GetObjectW(Value, sizeof(LF), &LF) == 0) return;
  TFontData D;
  D.Height = LF.lfHeight;
  D.Orientation = LF.lfEscapement;
  D.Charset = LF.lfCharSet;
  D.Name = LF.lfFaceName;
  if (LF.lfWeight >= FW_BOLD) D.Style << fsBold;
  if (LF.lfItalic) D.Style << fsItalic;
  if (LF.lfUnderline) D.Style << fsUnderline;
  if (LF.lfStrikeOut) D.Style << fsStrikeOut;
  switch (LF.lfPitchAndFamily & 0x0F) {
    case VARIABLE_PITCH: D.Pitch = fpVariable; break;
    case FIXED_PITCH: D.Pitch = fpFixed; break;
    default: D.Pitch = fpDefault;
  }
  switch (LF.lfQuality) {
    case DRAFT_QUALITY: D.Quality = fqDraft; break;
    case PROOF_QUALITY: D.Quality = fqProof; break;
    case NONANTIALIASED_QUALITY: D.Quality = fqNonAntialiased; break;
    case ANTIALIASED_QUALITY: D.Quality = fqAntialiased; break;
    case CLEARTYPE_QUALITY: D.Quality = fqClearType; break;
    case CLEARTYPE_NATURAL_QUALITY: D.Quality = fqClearTypeNatural; break;
    default: D.Quality = fqDefault;
  }
  SetData(D);
}

void TFont::SetData(const TFontData& Value) {
  if (Value == FData) return;
  FData = Value;
  DataChanged();
}

void TFont::Assign(TPersistent* Source) {
  if (auto* F = dynamic_cast<TFont*>(Source)) {
    // The pixels per inch stay this font's own; across different ones the point size is kept.
    TFontData D = F->FData;
    if (F->FPixelsPerInch != FPixelsPerInch) D.Height = -MulDiv(F->GetSize(), FPixelsPerInch, 72);
    bool Same = D == FData && F->FColor == FColor;
    FData = D;
    FColor = F->FColor;
    FResource = D == F->FData ? F->FResource : nullptr;
    if (!Same) Changed();
    return;
  }
  inherited::Assign(Source);
}

void TFont::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed();
}

void TFont::SetHeight(Integer Value) {
  if (Value == FData.Height) return;
  FData.Height = Value;
  DataChanged();
}

Integer TFont::GetSize() const { return -MulDiv(FData.Height, 72, FPixelsPerInch); }

void TFont::SetSize(Integer Value) { SetHeight(-MulDiv(Value, FPixelsPerInch, 72)); }

void TFont::SetName(const TFontName& Value) {
  if (Value.empty() || Value == FData.Name) return;
  FData.Name = Value;
  DataChanged();
}

void TFont::SetStyle(TFontStyles Value) {
  if (Value == FData.Style) return;
  FData.Style = Value;
  DataChanged();
}

void TFont::SetPitch(TFontPitch Value) {
  if (Value == FData.Pitch) return;
  FData.Pitch = Value;
  DataChanged();
}

void TFont::SetCharset(TFontCharset Value) {
  if (Value == FData.Charset) return;
  FData.Charset = Value;
  DataChanged();
}

void TFont::SetOrientation(Integer Value) {
  if (Value == FData.Orientation) return;
  FData.Orientation = Value;
  DataChanged();
}

void TFont::SetQuality(TFontQuality Value) {
  if (Value == FData.Quality) return;
  FData.Quality = Value;
  DataChanged();
}

// ---- TPen -------------------------------------------------------------------------------------

TPen::TPen() = default;
TPen::~TPen() = default;

PUBLISHED_DEF(TPen) {
  PROP(Color).Default(clBlack).Idents(&IdentToColor, &ColorToIdent);
  PROP(Mode).Default(pmCopy);
  PROP(Style).Default(psSolid);
  PROP(Width).Default(1);
}

bool TPen::HandleAllocated() const { return FResource && FResource->Handle; }

void TPen::DataChanged() {
  FResource.reset();
  Changed();
}

HPEN TPen::GetHandle() {
  if (!FResource) {
    auto Fresh = std::make_shared<TPenResource>();
    Fresh->Color = FColor;
    Fresh->Width = FWidth;
    Fresh->Style = FStyle;
    FResource = FindResource(
        PenCache, [&](const TPenResource& R) { return R.Color == FColor && R.Width == FWidth && R.Style == FStyle; },
        Fresh);
  }
  std::lock_guard<std::mutex> Guard(ResourceLock);
  if (!FResource->Handle) {
    COLORREF C = ColorToRGB(FColor);
    if (FStyle == psAlternate) {
      // Every other pixel: only a cosmetic pen can draw it.
      LOGBRUSH LB{BS_SOLID, C, 0};
      FResource->Handle = ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &LB, 0, nullptr);
    } else {
      static const UINT Styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT,
                                    PS_NULL,  PS_INSIDEFRAME, PS_SOLID, PS_SOLID};
      FResource->Handle = CreatePen(Styles[FStyle], FWidth, C);
    }
  }
  return FResource->Handle;
}

void TPen::Assign(TPersistent* Source) {
  if (auto* P = dynamic_cast<TPen*>(Source)) {
    if (P->FColor == FColor && P->FWidth == FWidth && P->FStyle == FStyle && P->FMode == FMode) return;
    FColor = P->FColor;
    FWidth = P->FWidth;
    FStyle = P->FStyle;
    FMode = P->FMode;
    FResource = P->FResource;
    Changed();
    return;
  }
  inherited::Assign(Source);
}

void TPen::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  DataChanged();
}

void TPen::SetWidth(Integer Value) {
  if (Value < 0 || Value == FWidth) return;
  FWidth = Value;
  DataChanged();
}

void TPen::SetStyle(TPenStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  DataChanged();
}

void TPen::SetMode(TPenMode Value) {
  if (Value == FMode) return;
  FMode = Value;
  Changed();
}

// ---- TBrush -----------------------------------------------------------------------------------

TBrush::TBrush() = default;
TBrush::~TBrush() = default;

PUBLISHED_DEF(TBrush) {
  PROP(Color).Default(clWhite).Idents(&IdentToColor, &ColorToIdent);
  PROP(Style).Default(bsSolid);
}

bool TBrush::HandleAllocated() const { return FResource && FResource->Handle; }

void TBrush::DataChanged() {
  FResource.reset();
  Changed();
}

HBRUSH TBrush::GetHandle() {
  if (!FResource) {
    auto Fresh = std::make_shared<TBrushResource>();
    Fresh->Color = FColor;
    Fresh->Style = FStyle;
    Fresh->Bitmap = FBitmap;
    if (FBitmap)
      FResource = Fresh;  // a pattern is copied from the bitmap as it is now: never shared
    else
      FResource = FindResource(
          BrushCache,
          [&](const TBrushResource& R) { return !R.Bitmap && R.Color == FColor && R.Style == FStyle; }, Fresh);
  }
  std::lock_guard<std::mutex> Guard(ResourceLock);
  if (!FResource->Handle) {
    LOGBRUSH LB{};
    LB.lbColor = ColorToRGB(FColor);
    if (FBitmap && !FBitmap->GetEmpty()) {
      FResource->Handle = CreatePatternBrush(FBitmap->GetHandle());
    } else if (FStyle == bsSolid) {
      LB.lbStyle = BS_SOLID;
      FResource->Handle = CreateBrushIndirect(&LB);
    } else if (FStyle == bsClear) {
      LB.lbStyle = BS_HOLLOW;
      FResource->Handle = CreateBrushIndirect(&LB);
    } else {
      static const LONG Hatches[] = {0, 0, HS_HORIZONTAL, HS_VERTICAL, HS_FDIAGONAL, HS_BDIAGONAL, HS_CROSS, HS_DIAGCROSS};
      LB.lbStyle = BS_HATCHED;
      LB.lbHatch = Hatches[FStyle];
      FResource->Handle = CreateBrushIndirect(&LB);
    }
  }
  return FResource->Handle;
}

void TBrush::Assign(TPersistent* Source) {
  if (auto* B = dynamic_cast<TBrush*>(Source)) {
    if (B->FColor == FColor && B->FStyle == FStyle && B->FBitmap == FBitmap) return;
    FColor = B->FColor;
    FStyle = B->FStyle;
    FBitmap = B->FBitmap;
    FResource = B->FResource;
    Changed();
    return;
  }
  inherited::Assign(Source);
}

void TBrush::SetColor(TColor Value) {
  if (Value == FColor && FStyle != bsClear) return;
  FColor = Value;
  if (FStyle == bsClear) FStyle = bsSolid;
  DataChanged();
}

void TBrush::SetStyle(TBrushStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  DataChanged();
}

void TBrush::SetBitmap(TBitmap* Value) {
  if (Value == FBitmap) return;
  FBitmap = Value;
  DataChanged();
}
