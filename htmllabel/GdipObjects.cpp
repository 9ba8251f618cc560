#include "htmllabel/GdipObjects.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "framework/Graphics.h"
#include "framework/WinShell.h"
#include "framework/sysutils/OSVersion.h"
#include <gdiplus.h>

namespace G = Gdiplus;
namespace GP = Gdiplus::DllExports;

static_assert(sizeof(TGPPointF) == sizeof(G::PointF) && sizeof(TGPPoint) == sizeof(G::Point));
static_assert(sizeof(TGPRectF) == sizeof(G::RectF) && sizeof(TGPRect) == sizeof(G::Rect));
static_assert(sizeof(ColorMatrix) == sizeof(G::ColorMatrix) && sizeof(ColorMap) == sizeof(G::ColorMap));
static_assert(sizeof(EncoderParameter) == sizeof(G::EncoderParameter) && sizeof(TGPColor) == sizeof(G::ARGB));

namespace {

ULONG_PTR GdiplusToken = 0;
ULONG_PTR HookToken = 0;
G::GdiplusStartupOutput StartupOutput{};
bool Started = false;
std::unique_ptr<TGPFontFamily> GenericFamilies[3];

const G::PointF* P(const TGPPointF* V) { return reinterpret_cast<const G::PointF*>(V); }
const G::Point* P(const TGPPoint* V) { return reinterpret_cast<const G::Point*>(V); }
const G::RectF* P(const TGPRectF* V) { return reinterpret_cast<const G::RectF*>(V); }
const G::Rect* P(const TGPRect* V) { return reinterpret_cast<const G::Rect*>(V); }

// The native handle of an optional object argument: a missing object passes null.
#define NATIVE(Obj, Getter) ((Obj) ? (Obj)->Getter() : nullptr)

// Nearest integer, ties to even.
Integer Nearest(double V) { return Integer(std::nearbyint(V)); }

// A creating call made only while GDI+ runs; otherwise the object stays empty.
template <class F>
Status Create(F&& Call) {
  if (!Started) return GdiplusNotInitialized;
  return Status(Call());
}

}  // namespace

// ---- Start and end ----

Status InitializeGdipObjects() {
  if (Started) return Ok;
  G::GdiplusStartupInput Input;
  Input.GdiplusVersion = 1;
  Input.DebugEventCallback = nullptr;
  Input.SuppressBackgroundThread = TRUE;
  Input.SuppressExternalCodecs = FALSE;
  StartupOutput = {};
  Status S = Status(G::GdiplusStartup(&GdiplusToken, &Input, &StartupOutput));
  if (S != Ok) return S;
  Started = true;
  // Before Vista the caller runs GDI+'s background work through the hook; its token is its own.
  if (!IsWindowsVistaOrLater() && StartupOutput.NotificationHook) StartupOutput.NotificationHook(&HookToken);
  return Ok;
}

void FinalizeGdipObjects() {
  if (!Started) return;
  for (auto& F : GenericFamilies) F.reset();
  if (!IsWindowsVistaOrLater() && StartupOutput.NotificationUnhook) StartupOutput.NotificationUnhook(HookToken);
  G::GdiplusShutdown(GdiplusToken);
  GdiplusToken = 0;
  Started = false;
}

bool GdipObjectsStarted() { return Started; }

// ---- Free routines ----

TGPColor ColorToARGB(Integer Color) {
  Cardinal Rgb = Cardinal(ColorToRGB(Color));
  Cardinal R = Rgb & 0xFF, Gr = (Rgb >> 8) & 0xFF, B = (Rgb >> 16) & 0xFF;
  return 0xFF000000u | (R << 16) | (Gr << 8) | B;
}

TGPRectF MakeRectF(Single x, Single y, Single width, Single height) { return TGPRectF{x, y, width, height}; }

bool IsWindowsVistaOrLater() { return Win32MajorVersion > 5; }

// ---- TGPRegion ----

TGPRegion::TGPRegion(const TGPRectF& rect) {
  lastResult = Create([&] { return GP::GdipCreateRegionRect(P(&rect), reinterpret_cast<G::GpRegion**>(&nativeRegion)); });
}
TGPRegion::TGPRegion(TGPGraphicsPath* path) {
  lastResult = Create([&] {
    return GP::GdipCreateRegionPath(NATIVE(path, NativePath), reinterpret_cast<G::GpRegion**>(&nativeRegion));
  });
}
TGPRegion::~TGPRegion() {
  if (nativeRegion) GP::GdipDeleteRegion(nativeRegion);
}
Status TGPRegion::SetStatus(Integer S) {
  if (S != Ok) lastResult = Status(S);
  return Status(S);
}
Status TGPRegion::Exclude(TGPGraphicsPath* path) {
  return SetStatus(GP::GdipCombineRegionPath(nativeRegion, NATIVE(path, NativePath), G::CombineModeExclude));
}
Status TGPRegion::Union(TGPRegion* region) {
  return SetStatus(GP::GdipCombineRegionRegion(nativeRegion, NATIVE(region, NativeRegion), G::CombineModeUnion));
}
Status TGPRegion::GetLastStatus() {
  Status S = lastResult;
  lastResult = Ok;
  return S;
}

// ---- TGPImageAttributes ----

namespace {
G::ColorAdjustType Adj(ColorAdjustType T) { return G::ColorAdjustType(T); }
}  // namespace

TGPImageAttributes::TGPImageAttributes() {
  lastResult = Create([&] { return GP::GdipCreateImageAttributes(&nativeImageAttr); });
}
TGPImageAttributes::TGPImageAttributes(G::GpImageAttributes* imageAttr, Status status)
    : nativeImageAttr(imageAttr), lastResult(status) {}
TGPImageAttributes::~TGPImageAttributes() {
  if (nativeImageAttr) GP::GdipDisposeImageAttributes(nativeImageAttr);
}
Status TGPImageAttributes::SetStatus(Integer S) {
  if (S != Ok) lastResult = Status(S);
  return Status(S);
}
TGPImageAttributes* TGPImageAttributes::Clone() {
  G::GpImageAttributes* Clone = nullptr;
  Status S = SetStatus(GP::GdipCloneImageAttributes(nativeImageAttr, &Clone));
  return new TGPImageAttributes(Clone, S);
}
Status TGPImageAttributes::SetToIdentity(ColorAdjustType type) {
  return SetStatus(GP::GdipSetImageAttributesToIdentity(nativeImageAttr, Adj(type)));
}
Status TGPImageAttributes::Reset(ColorAdjustType type) {
  return SetStatus(GP::GdipResetImageAttributes(nativeImageAttr, Adj(type)));
}
Status TGPImageAttributes::SetColorMatrix(const ColorMatrix& colorMatrix, ColorMatrixFlags mode, ColorAdjustType type) {
  return SetStatus(GP::GdipSetImageAttributesColorMatrix(nativeImageAttr, Adj(type), TRUE,
                                                         reinterpret_cast<const G::ColorMatrix*>(&colorMatrix),
                                                         nullptr, G::ColorMatrixFlags(mode)));
}
Status TGPImageAttributes::ClearColorMatrix(ColorAdjustType type) {
  return SetStatus(GP::GdipSetImageAttributesColorMatrix(nativeImageAttr, Adj(type), FALSE, nullptr, nullptr,
                                                         G::ColorMatrixFlagsDefault));
}
Status TGPImageAttributes::SetColorMatrices(const ColorMatrix& colorMatrix, const ColorMatrix& grayMatrix,
                                           ColorMatrixFlags mode, ColorAdjustType type) {
  return SetStatus(GP::GdipSetImageAttributesColorMatrix(
      nativeImageAttr, Adj(type), TRUE, reinterpret_cast<const G::ColorMatrix*>(&colorMatrix),
      reinterpret_cast<const G::ColorMatrix*>(&grayMatrix), G::ColorMatrixFlags(mode)));
}
Status TGPImageAttributes::ClearColorMatrices(ColorAdjustType type) { return ClearColorMatrix(type); }
Status TGPImageAttributes::SetThreshold(Single threshold, ColorAdjustType type) {
  return SetStatus(GP::GdipSetImageAttributesThreshold(nativeImageAttr, Adj(type), TRUE, threshold));
}
Status TGPImageAttributes::ClearThreshold(ColorAdjustType type) {
  return SetStatus(GP::GdipSetImageAttributesThreshold(nativeImageAttr, Adj(type), FALSE, 0.0f));
}
Status TGPImageAttributes::SetGamma(Single gamma, ColorAdjustType type) {
  return SetStatus(GP::GdipSetImageAttributesGamma(nativeImageAttr, Adj(type), TRUE, gamma));
}
Status TGPImageAttributes::ClearGamma(ColorAdjustType type) {
  return SetStatus(GP::GdipSetImageAttributesGamma(nativeImageAttr, Adj(type), FALSE, 0.0f));
}
Status TGPImageAttributes::SetNoOp(ColorAdjustType type) {
  return SetStatus(GP::GdipSetImageAttributesNoOp(nativeImageAttr, Adj(type), TRUE));
}
Status TGPImageAttributes::ClearNoOp(ColorAdjustType type) {
  return SetStatus(GP::GdipSetImageAttributesNoOp(nativeImageAttr, Adj(type), FALSE));
}
Status TGPImageAttributes::SetColorKey(TGPColor colorLow, TGPColor colorHigh, ColorAdjustType type) {
  return SetStatus(GP::GdipSetImageAttributesColorKeys(nativeImageAttr, Adj(type), TRUE, colorLow, colorHigh));
}
Status TGPImageAttributes::ClearColorKey(ColorAdjustType type) {
  return SetStatus(GP::GdipSetImageAttributesColorKeys(nativeImageAttr, Adj(type), FALSE, 0, 0));
}
Status TGPImageAttributes::SetOutputChannel(ColorChannelFlags channelFlags, ColorAdjustType type) {
  return SetStatus(
      GP::GdipSetImageAttributesOutputChannel(nativeImageAttr, Adj(type), TRUE, G::ColorChannelFlags(channelFlags)));
}
Status TGPImageAttributes::ClearOutputChannel(ColorAdjustType type) {
  return SetStatus(
      GP::GdipSetImageAttributesOutputChannel(nativeImageAttr, Adj(type), FALSE, G::ColorChannelFlagsLast));
}
Status TGPImageAttributes::SetOutputChannelColorProfile(const String& colorProfileFilename, ColorAdjustType type) {
  return SetStatus(GP::GdipSetImageAttributesOutputChannelColorProfile(nativeImageAttr, Adj(type), TRUE,
                                                                       colorProfileFilename.c_str()));
}
Status TGPImageAttributes::ClearOutputChannelColorProfile(ColorAdjustType type) {
  return SetStatus(GP::GdipSetImageAttributesOutputChannelColorProfile(nativeImageAttr, Adj(type), FALSE, nullptr));
}
Status TGPImageAttributes::SetRemapTable(Cardinal mapSize, const ColorMap* map, ColorAdjustType type) {
  return SetStatus(GP::GdipSetImageAttributesRemapTable(nativeImageAttr, Adj(type), TRUE, mapSize,
                                                        reinterpret_cast<const G::ColorMap*>(map)));
}
Status TGPImageAttributes::ClearRemapTable(ColorAdjustType type) {
  return SetStatus(GP::GdipSetImageAttributesRemapTable(nativeImageAttr, Adj(type), FALSE, 0, nullptr));
}
Status TGPImageAttributes::SetBrushRemapTable(Cardinal mapSize, const ColorMap* map) {
  return SetRemapTable(mapSize, map, ColorAdjustTypeBrush);
}
Status TGPImageAttributes::ClearBrushRemapTable() { return ClearRemapTable(ColorAdjustTypeBrush); }
Status TGPImageAttributes::SetWrapMode(WrapMode wrap, TGPColor color, bool clamp) {
  return SetStatus(GP::GdipSetImageAttributesWrapMode(nativeImageAttr, G::WrapMode(wrap), color, clamp));
}
Status TGPImageAttributes::GetAdjustedPalette(ColorPalette* colorPalette, ColorAdjustType colorAdjustType) {
  return SetStatus(GP::GdipGetImageAttributesAdjustedPalette(
      nativeImageAttr, reinterpret_cast<G::ColorPalette*>(colorPalette), Adj(colorAdjustType)));
}
Status TGPImageAttributes::GetLastStatus() {
  Status S = lastResult;
  lastResult = Ok;
  return S;
}

// ---- TGPFontFamily ----

TGPFontFamily::TGPFontFamily(const String& name, TGPFontCollection* fontCollection) {
  lastResult = Create([&] {
    return GP::GdipCreateFontFamilyFromName(name.c_str(), NATIVE(fontCollection, NativeFontCollection), &nativeFamily);
  });
}
TGPFontFamily::TGPFontFamily(G::GpFontFamily* nativeOrig, Status status) : nativeFamily(nativeOrig), lastResult(status) {}
TGPFontFamily::~TGPFontFamily() {
  if (nativeFamily) GP::GdipDeleteFontFamily(nativeFamily);
}
namespace {
template <class F>
TGPFontFamily* GenericFamily(Integer Index, F&& Get) {
  auto& Family = GenericFamilies[Index];
  if (!Family) {
    G::GpFontFamily* Native = nullptr;
    if (Started) Get(&Native);
    Family.reset(new TGPFontFamily(Native, Ok));
  }
  return Family.get();
}
}  // namespace
TGPFontFamily* TGPFontFamily::GenericSansSerif() {
  return GenericFamily(0, [](G::GpFontFamily** F) { GP::GdipGetGenericFontFamilySansSerif(F); });
}
TGPFontFamily* TGPFontFamily::GenericSerif() {
  return GenericFamily(1, [](G::GpFontFamily** F) { GP::GdipGetGenericFontFamilySerif(F); });
}
TGPFontFamily* TGPFontFamily::GenericMonospace() {
  return GenericFamily(2, [](G::GpFontFamily** F) { GP::GdipGetGenericFontFamilyMonospace(F); });
}
Status TGPFontFamily::GetLastStatus() {
  Status S = lastResult;
  lastResult = Ok;
  return S;
}

// ---- TGPFont ----

TGPFont::TGPFont(G::GpFont* font, Status status) : nativeFont(font), lastResult(status) {}
TGPFont::TGPFont(TGPFontFamily* family, Single emSize, FontStyle style, Unit unit) {
  lastResult = Create([&] {
    return GP::GdipCreateFont(NATIVE(family, NativeFamily), emSize, style, G::Unit(unit), &nativeFont);
  });
}
TGPFont::TGPFont(const String& familyName, Single emSize, FontStyle style, Unit unit,
                 TGPFontCollection* fontCollection) {
  {
    TGPFontFamily Family(familyName, fontCollection);
    lastResult = Create([&] {
      return GP::GdipCreateFont(Family.NativeFamily(), emSize, style, G::Unit(unit), &nativeFont);
    });
  }
  if (lastResult != Ok && Started) {
    nativeFont = nullptr;
    lastResult = Status(GP::GdipCreateFont(TGPFontFamily::GenericSansSerif()->NativeFamily(), emSize, style,
                                           G::Unit(unit), &nativeFont));
  }
}
TGPFont::~TGPFont() {
  if (nativeFont) GP::GdipDeleteFont(nativeFont);
}
Status TGPFont::GetLastStatus() {
  Status S = lastResult;
  lastResult = Ok;
  return S;
}

// ---- Brushes ----

TGPBrush::TGPBrush() : lastResult(NotImplemented) {}
TGPBrush::TGPBrush(G::GpBrush* nativeBrush, Status status) : nativeBrush(nativeBrush), lastResult(status) {}
TGPBrush::~TGPBrush() {
  if (nativeBrush) GP::GdipDeleteBrush(nativeBrush);
}
Status TGPBrush::SetStatus(Integer S) {
  if (S != Ok) lastResult = Status(S);
  return Status(S);
}
Status TGPBrush::GetLastStatus() {
  Status S = lastResult;
  lastResult = Ok;
  return S;
}

TGPSolidBrush::TGPSolidBrush(TGPColor color) {
  G::GpSolidFill* B = nullptr;
  lastResult = Create([&] { return GP::GdipCreateSolidFill(color, &B); });
  nativeBrush = B;
}

TGPHatchBrush::TGPHatchBrush(HatchStyle hatchStyle, TGPColor foreColor, TGPColor backColor) {
  G::GpHatch* B = nullptr;
  lastResult = Create([&] { return GP::GdipCreateHatchBrush(G::HatchStyle(hatchStyle), foreColor, backColor, &B); });
  nativeBrush = B;
}
HatchStyle TGPHatchBrush::GetHatchStyle() {
  G::HatchStyle S = G::HatchStyle(0);
  SetStatus(GP::GdipGetHatchStyle(static_cast<G::GpHatch*>(nativeBrush), &S));
  return HatchStyle(S);
}
Status TGPHatchBrush::GetForegroundColor(TGPColor& color) {
  G::ARGB C = 0;
  Status S = SetStatus(GP::GdipGetHatchForegroundColor(static_cast<G::GpHatch*>(nativeBrush), &C));
  color = C;
  return S;
}
Status TGPHatchBrush::GetBackgroundColor(TGPColor& color) {
  G::ARGB C = 0;
  Status S = SetStatus(GP::GdipGetHatchBackgroundColor(static_cast<G::GpHatch*>(nativeBrush), &C));
  color = C;
  return S;
}

namespace {
G::GpTexture* Tex(G::GpBrush* B) { return static_cast<G::GpTexture*>(B); }
}  // namespace

TGPTextureBrush::TGPTextureBrush(TGPImage* image, WrapMode wrapMode) {
  G::GpTexture* B = nullptr;
  lastResult = Create([&] { return GP::GdipCreateTexture(NATIVE(image, NativeImage), G::WrapMode(wrapMode), &B); });
  nativeBrush = B;
}
TGPTextureBrush::TGPTextureBrush(TGPImage* image, WrapMode wrapMode, const TGPRectF& dstRect) {
  G::GpTexture* B = nullptr;
  lastResult = Create([&] {
    return GP::GdipCreateTexture2(NATIVE(image, NativeImage), G::WrapMode(wrapMode), dstRect.X, dstRect.Y,
                                  dstRect.Width, dstRect.Height, &B);
  });
  nativeBrush = B;
}
TGPTextureBrush::TGPTextureBrush(TGPImage* image, WrapMode wrapMode, const TGPRect& dstRect) {
  G::GpTexture* B = nullptr;
  lastResult = Create([&] {
    return GP::GdipCreateTexture2I(NATIVE(image, NativeImage), G::WrapMode(wrapMode), dstRect.X, dstRect.Y,
                                   dstRect.Width, dstRect.Height, &B);
  });
  nativeBrush = B;
}
TGPTextureBrush::TGPTextureBrush(TGPImage* image, const TGPRectF& dstRect, TGPImageAttributes* imageAttributes) {
  G::GpTexture* B = nullptr;
  lastResult = Create([&] {
    return GP::GdipCreateTextureIA(NATIVE(image, NativeImage), NATIVE(imageAttributes, NativeImageAttr), dstRect.X,
                                   dstRect.Y, dstRect.Width, dstRect.Height, &B);
  });
  nativeBrush = B;
}
TGPTextureBrush::TGPTextureBrush(TGPImage* image, const TGPRect& dstRect, TGPImageAttributes* imageAttributes) {
  G::GpTexture* B = nullptr;
  lastResult = Create([&] {
    return GP::GdipCreateTextureIAI(NATIVE(image, NativeImage), NATIVE(imageAttributes, NativeImageAttr), dstRect.X,
                                    dstRect.Y, dstRect.Width, dstRect.Height, &B);
  });
  nativeBrush = B;
}
TGPTextureBrush::TGPTextureBrush(TGPImage* image, WrapMode wrapMode, Single dstX, Single dstY, Single dstWidth,
                                 Single dstHeight)
    : TGPTextureBrush(image, wrapMode, TGPRectF{dstX, dstY, dstWidth, dstHeight}) {}
TGPTextureBrush::TGPTextureBrush(TGPImage* image, WrapMode wrapMode, Integer dstX, Integer dstY, Integer dstWidth,
                                 Integer dstHeight)
    : TGPTextureBrush(image, wrapMode, TGPRect{dstX, dstY, dstWidth, dstHeight}) {}
Status TGPTextureBrush::ResetTransform() { return SetStatus(GP::GdipResetTextureTransform(Tex(nativeBrush))); }
Status TGPTextureBrush::TranslateTransform(Single dx, Single dy, MatrixOrder order) {
  return SetStatus(GP::GdipTranslateTextureTransform(Tex(nativeBrush), dx, dy, G::MatrixOrder(order)));
}
Status TGPTextureBrush::ScaleTransform(Single sx, Single sy, MatrixOrder order) {
  return SetStatus(GP::GdipScaleTextureTransform(Tex(nativeBrush), sx, sy, G::MatrixOrder(order)));
}
Status TGPTextureBrush::RotateTransform(Single angle, MatrixOrder order) {
  return SetStatus(GP::GdipRotateTextureTransform(Tex(nativeBrush), angle, G::MatrixOrder(order)));
}
Status TGPTextureBrush::SetWrapMode(WrapMode wrapMode) {
  return SetStatus(GP::GdipSetTextureWrapMode(Tex(nativeBrush), G::WrapMode(wrapMode)));
}
WrapMode TGPTextureBrush::GetWrapMode() {
  G::WrapMode W = G::WrapModeTile;
  SetStatus(GP::GdipGetTextureWrapMode(Tex(nativeBrush), &W));
  return WrapMode(W);
}
TGPImage* TGPTextureBrush::GetImage() {
  G::GpImage* Image = nullptr;
  Status S = SetStatus(GP::GdipGetTextureImage(Tex(nativeBrush), &Image));
  if (!Image) return nullptr;
  return new TGPImage(Image, S);
}

namespace {
G::GpLineGradient* Line(G::GpBrush* B) { return static_cast<G::GpLineGradient*>(B); }
}  // namespace

TGPLinearGradientBrush::TGPLinearGradientBrush(const TGPPointF& point1, const TGPPointF& point2, TGPColor color1,
                                               TGPColor color2) {
  G::GpLineGradient* B = nullptr;
  lastResult = Create([&] { return GP::GdipCreateLineBrush(P(&point1), P(&point2), color1, color2, G::WrapModeTile, &B); });
  nativeBrush = B;
}
TGPLinearGradientBrush::TGPLinearGradientBrush(const TGPPoint& point1, const TGPPoint& point2, TGPColor color1,
                                               TGPColor color2) {
  G::GpLineGradient* B = nullptr;
  lastResult = Create([&] { return GP::GdipCreateLineBrushI(P(&point1), P(&point2), color1, color2, G::WrapModeTile, &B); });
  nativeBrush = B;
}
TGPLinearGradientBrush::TGPLinearGradientBrush(const TGPRectF& rect, TGPColor color1, TGPColor color2,
                                               LinearGradientMode mode) {
  G::GpLineGradient* B = nullptr;
  lastResult = Create([&] {
    return GP::GdipCreateLineBrushFromRect(P(&rect), color1, color2, G::LinearGradientMode(mode), G::WrapModeTile, &B);
  });
  nativeBrush = B;
}
TGPLinearGradientBrush::TGPLinearGradientBrush(const TGPRect& rect, TGPColor color1, TGPColor color2,
                                               LinearGradientMode mode) {
  G::GpLineGradient* B = nullptr;
  lastResult = Create([&] {
    return GP::GdipCreateLineBrushFromRectI(P(&rect), color1, color2, G::LinearGradientMode(mode), G::WrapModeTile, &B);
  });
  nativeBrush = B;
}
TGPLinearGradientBrush::TGPLinearGradientBrush(const TGPRectF& rect, TGPColor color1, TGPColor color2, Single angle,
                                               bool isAngleScalable) {
  G::GpLineGradient* B = nullptr;
  lastResult = Create([&] {
    return GP::GdipCreateLineBrushFromRectWithAngle(P(&rect), color1, color2, angle, isAngleScalable, G::WrapModeTile, &B);
  });
  nativeBrush = B;
}
TGPLinearGradientBrush::TGPLinearGradientBrush(const TGPRect& rect, TGPColor color1, TGPColor color2, Single angle,
                                               bool isAngleScalable) {
  G::GpLineGradient* B = nullptr;
  lastResult = Create([&] {
    return GP::GdipCreateLineBrushFromRectWithAngleI(P(&rect), color1, color2, angle, isAngleScalable, G::WrapModeTile, &B);
  });
  nativeBrush = B;
}
Status TGPLinearGradientBrush::SetGammaCorrection(bool useGammaCorrection) {
  return SetStatus(GP::GdipSetLineGammaCorrection(Line(nativeBrush), useGammaCorrection));
}
Status TGPLinearGradientBrush::SetInterpolationColors(const TGPColor* presetColors, const Single* blendPositions,
                                                      Integer count) {
  return SetStatus(GP::GdipSetLinePresetBlend(Line(nativeBrush), reinterpret_cast<const G::ARGB*>(presetColors), blendPositions, count));
}

// ---- TGPPen ----

TGPPen::TGPPen(TGPColor color, Single width) {
  lastResult = Create([&] { return GP::GdipCreatePen1(color, width, G::UnitWorld, &nativePen); });
}
TGPPen::TGPPen(TGPBrush* brush, Single width) {
  lastResult = Create([&] { return GP::GdipCreatePen2(NATIVE(brush, NativeBrush), width, G::UnitWorld, &nativePen); });
}
TGPPen::~TGPPen() {
  if (nativePen) GP::GdipDeletePen(nativePen);
}
Status TGPPen::SetStatus(Integer S) {
  if (S != Ok) lastResult = Status(S);
  return Status(S);
}
Status TGPPen::SetBrush(TGPBrush* brush) { return SetStatus(GP::GdipSetPenBrushFill(nativePen, NATIVE(brush, NativeBrush))); }
TGPBrush* TGPPen::GetBrush() {
  TGPBrush* Brush = nullptr;
  switch (GetPenType()) {
    case PenTypeSolidColor: Brush = new TGPSolidBrush(); break;
    case PenTypeHatchFill: Brush = new TGPHatchBrush(); break;
    case PenTypeTextureFill: Brush = new TGPTextureBrush(); break;
    case PenTypePathGradient: Brush = new TGPBrush(); break;
    case PenTypeLinearGradient: Brush = new TGPLinearGradientBrush(); break;
    default: return nullptr;
  }
  G::GpBrush* Native = nullptr;
  Brush->lastResult = SetStatus(GP::GdipGetPenBrushFill(nativePen, &Native));
  Brush->nativeBrush = Native;
  return Brush;
}
DashStyle TGPPen::GetDashStyle() {
  G::DashStyle D = G::DashStyleSolid;
  SetStatus(GP::GdipGetPenDashStyle(nativePen, &D));
  return DashStyle(D);
}
Status TGPPen::SetDashStyle(DashStyle dashStyle) {
  return SetStatus(GP::GdipSetPenDashStyle(nativePen, G::DashStyle(dashStyle)));
}
Status TGPPen::SetEndCap(LineCap endCap) { return SetStatus(GP::GdipSetPenEndCap(nativePen, G::LineCap(endCap))); }
PenType TGPPen::GetPenType() {
  G::PenType T = G::PenTypeUnknown;
  if (SetStatus(GP::GdipGetPenFillType(nativePen, &T)) != Ok) return PenTypeUnknown;
  return PenType(T);
}
Status TGPPen::GetLastStatus() {
  Status S = lastResult;
  lastResult = Ok;
  return S;
}

// ---- TGPStringFormat ----

TGPStringFormat::TGPStringFormat(Integer formatFlags, Word language) {
  lastError = Create([&] { return GP::GdipCreateStringFormat(formatFlags, language, &nativeFormat); });
}
TGPStringFormat::TGPStringFormat(TGPStringFormat* format) {
  lastError = Create([&] { return GP::GdipCloneStringFormat(NATIVE(format, NativeFormat), &nativeFormat); });
}
TGPStringFormat::TGPStringFormat(G::GpStringFormat* clonedStringFormat, Status status)
    : nativeFormat(clonedStringFormat), lastError(status) {}
TGPStringFormat::~TGPStringFormat() {
  if (nativeFormat) GP::GdipDeleteStringFormat(nativeFormat);
}
Status TGPStringFormat::SetStatus(Integer S) {
  if (S != Ok) lastError = Status(S);
  return Status(S);
}
Status TGPStringFormat::SetAlignment(StringAlignment align) {
  return SetStatus(GP::GdipSetStringFormatAlign(nativeFormat, G::StringAlignment(align)));
}
StringAlignment TGPStringFormat::GetAlignment() {
  G::StringAlignment A = G::StringAlignmentNear;
  SetStatus(GP::GdipGetStringFormatAlign(nativeFormat, &A));
  return StringAlignment(A);
}
Status TGPStringFormat::SetLineAlignment(StringAlignment align) {
  return SetStatus(GP::GdipSetStringFormatLineAlign(nativeFormat, G::StringAlignment(align)));
}
StringAlignment TGPStringFormat::GetLineAlignment() {
  G::StringAlignment A = G::StringAlignmentNear;
  SetStatus(GP::GdipGetStringFormatLineAlign(nativeFormat, &A));
  return StringAlignment(A);
}
Status TGPStringFormat::SetTrimming(StringTrimming trimming) {
  return SetStatus(GP::GdipSetStringFormatTrimming(nativeFormat, G::StringTrimming(trimming)));
}
StringTrimming TGPStringFormat::GetTrimming() {
  G::StringTrimming T = G::StringTrimmingNone;
  SetStatus(GP::GdipGetStringFormatTrimming(nativeFormat, &T));
  return StringTrimming(T);
}
Status TGPStringFormat::SetFormatFlags(Integer flags) { return SetStatus(GP::GdipSetStringFormatFlags(nativeFormat, flags)); }
Integer TGPStringFormat::GetFormatFlags() {
  INT F = 0;
  SetStatus(GP::GdipGetStringFormatFlags(nativeFormat, &F));
  return F;
}
Status TGPStringFormat::SetHotkeyPrefix(HotkeyPrefix hotkeyPrefix) {
  return SetStatus(GP::GdipSetStringFormatHotkeyPrefix(nativeFormat, hotkeyPrefix));
}
HotkeyPrefix TGPStringFormat::GetHotkeyPrefix() {
  INT H = 0;
  SetStatus(GP::GdipGetStringFormatHotkeyPrefix(nativeFormat, &H));
  return HotkeyPrefix(H);
}
Status TGPStringFormat::GetLastStatus() {
  Status S = lastError;
  lastError = Ok;
  return S;
}

// ---- TGPGraphicsPath ----

TGPGraphicsPath::TGPGraphicsPath(G::GpPath* nativePath) : nativePath(nativePath) {}
TGPGraphicsPath::TGPGraphicsPath(FillMode fillMode) {
  lastResult = Create([&] { return GP::GdipCreatePath(G::FillMode(fillMode), &nativePath); });
}
TGPGraphicsPath::TGPGraphicsPath(const TGPPointF* points, const Byte* types, Integer count, FillMode fillMode) {
  lastResult = Create([&] { return GP::GdipCreatePath2(P(points), types, count, G::FillMode(fillMode), &nativePath); });
}
TGPGraphicsPath::~TGPGraphicsPath() {
  if (nativePath) GP::GdipDeletePath(nativePath);
}
Status TGPGraphicsPath::SetStatus(Integer S) {
  if (S != Ok) lastResult = Status(S);
  return Status(S);
}
Status TGPGraphicsPath::CloseFigure() { return SetStatus(GP::GdipClosePathFigure(nativePath)); }
Status TGPGraphicsPath::AddLine(const TGPPointF& pt1, const TGPPointF& pt2) { return AddLine(pt1.X, pt1.Y, pt2.X, pt2.Y); }
Status TGPGraphicsPath::AddLine(Single x1, Single y1, Single x2, Single y2) {
  return SetStatus(GP::GdipAddPathLine(nativePath, x1, y1, x2, y2));
}
Status TGPGraphicsPath::AddLines(const TGPPoint* points, Integer count) {
  return SetStatus(GP::GdipAddPathLine2I(nativePath, P(points), count));
}
Status TGPGraphicsPath::AddRectangle(const TGPRectF& rect) {
  return SetStatus(GP::GdipAddPathRectangle(nativePath, rect.X, rect.Y, rect.Width, rect.Height));
}
Status TGPGraphicsPath::AddRectangle(const TGPRect& rect) {
  return SetStatus(GP::GdipAddPathRectangleI(nativePath, rect.X, rect.Y, rect.Width, rect.Height));
}
Status TGPGraphicsPath::AddArc(const TGPRectF& rect, Single startAngle, Single sweepAngle) {
  return AddArc(rect.X, rect.Y, rect.Width, rect.Height, startAngle, sweepAngle);
}
Status TGPGraphicsPath::AddArc(Single x, Single y, Single width, Single height, Single startAngle, Single sweepAngle) {
  return SetStatus(GP::GdipAddPathArc(nativePath, x, y, width, height, startAngle, sweepAngle));
}
Status TGPGraphicsPath::AddEllipse(const TGPRectF& rect) { return AddEllipse(rect.X, rect.Y, rect.Width, rect.Height); }
Status TGPGraphicsPath::AddEllipse(Single x, Single y, Single width, Single height) {
  return SetStatus(GP::GdipAddPathEllipse(nativePath, x, y, width, height));
}
Status TGPGraphicsPath::Reset() { return SetStatus(GP::GdipResetPath(nativePath)); }
Status TGPGraphicsPath::AddPie(const TGPRectF& rect, Single startAngle, Single sweepAngle) {
  return AddPie(rect.X, rect.Y, rect.Width, rect.Height, startAngle, sweepAngle);
}
Status TGPGraphicsPath::AddPie(Single x, Single y, Single width, Single height, Single startAngle, Single sweepAngle) {
  return SetStatus(GP::GdipAddPathPie(nativePath, x, y, width, height, startAngle, sweepAngle));
}
Status TGPGraphicsPath::AddPolygon(const TGPPointF* points, Integer count) {
  return SetStatus(GP::GdipAddPathPolygon(nativePath, P(points), count));
}
Status TGPGraphicsPath::AddPolygon(const TGPPoint* points, Integer count) {
  return SetStatus(GP::GdipAddPathPolygonI(nativePath, P(points), count));
}
Status TGPGraphicsPath::AddCurve(const TGPPointF* points, Integer count) {
  return SetStatus(GP::GdipAddPathCurve(nativePath, P(points), count));
}
Status TGPGraphicsPath::AddCurve(const TGPPoint* points, Integer count) {
  return SetStatus(GP::GdipAddPathCurveI(nativePath, P(points), count));
}
Status TGPGraphicsPath::AddCurve(const TGPPoint* points, Integer count, Single tension) {
  return SetStatus(GP::GdipAddPathCurve2I(nativePath, P(points), count, tension));
}
Status TGPGraphicsPath::AddBezier(const TGPPointF& pt1, const TGPPointF& pt2, const TGPPointF& pt3, const TGPPointF& pt4) {
  return AddBezier(pt1.X, pt1.Y, pt2.X, pt2.Y, pt3.X, pt3.Y, pt4.X, pt4.Y);
}
Status TGPGraphicsPath::AddBezier(Single x1, Single y1, Single x2, Single y2, Single x3, Single y3, Single x4, Single y4) {
  return SetStatus(GP::GdipAddPathBezier(nativePath, x1, y1, x2, y2, x3, y3, x4, y4));
}
Status TGPGraphicsPath::AddBezier(const TGPPoint& pt1, const TGPPoint& pt2, const TGPPoint& pt3, const TGPPoint& pt4) {
  return AddBezier(Single(pt1.X), Single(pt1.Y), Single(pt2.X), Single(pt2.Y), Single(pt3.X), Single(pt3.Y),
                   Single(pt4.X), Single(pt4.Y));
}
Status TGPGraphicsPath::AddString(const String& string_, Integer length, TGPFontFamily* family, Integer style,
                                  Single emSize, const TGPRectF& layoutRect, TGPStringFormat* format) {
  return SetStatus(GP::GdipAddPathString(nativePath, string_.c_str(), length, NATIVE(family, NativeFamily), style,
                                         emSize, P(&layoutRect), NATIVE(format, NativeFormat)));
}
Status TGPGraphicsPath::AddString(const String& string_, Integer length, TGPFontFamily* family, Integer style,
                                  Single emSize, const TGPPointF& origin, TGPStringFormat* format) {
  TGPRectF Rect{origin.X, origin.Y, 0, 0};
  return AddString(string_, length, family, style, emSize, Rect, format);
}
Status TGPGraphicsPath::GetBounds(TGPRectF& bounds, TGPMatrix* matrix, TGPPen* pen) {
  return SetStatus(GP::GdipGetPathWorldBounds(nativePath, reinterpret_cast<G::RectF*>(&bounds),
                                              NATIVE(matrix, NativeMatrix), NATIVE(pen, NativePen)));
}
Status TGPGraphicsPath::GetPathPoints(TGPPointF* points, Integer count) {
  return SetStatus(GP::GdipGetPathPoints(nativePath, reinterpret_cast<G::PointF*>(points), count));
}
Integer TGPGraphicsPath::GetPointCount() {
  INT Count = 0;
  SetStatus(GP::GdipGetPointCount(nativePath, &Count));
  return Count;
}
Status TGPGraphicsPath::GetPathTypes(Byte* types, Integer count) {
  return SetStatus(GP::GdipGetPathTypes(nativePath, types, count));
}
Status TGPGraphicsPath::GetLastStatus() {
  Status S = lastResult;
  lastResult = Ok;
  return S;
}

// ---- TGPImage ----

TGPImage::TGPImage(G::GpImage* nativeImage, Status status) : nativeImage(nativeImage), lastResult(status) {}
TGPImage::TGPImage(const String& filename, bool useEmbeddedColorManagement) {
  lastResult = Create([&] {
    return useEmbeddedColorManagement ? GP::GdipLoadImageFromFileICM(filename.c_str(), &nativeImage)
                                      : GP::GdipLoadImageFromFile(filename.c_str(), &nativeImage);
  });
}
TGPImage::TGPImage(IStream* stream, bool useEmbeddedColorManagement) {
  if (!stream) {
    lastResult = InvalidParameter;
    return;
  }
  lastResult = Create([&] {
    return useEmbeddedColorManagement ? GP::GdipLoadImageFromStreamICM(stream, &nativeImage)
                                      : GP::GdipLoadImageFromStream(stream, &nativeImage);
  });
  if (lastResult != Ok) nativeImage = nullptr;
}
TGPImage::~TGPImage() {
  if (nativeImage) GP::GdipDisposeImage(nativeImage);
}
Status TGPImage::SetStatus(Integer S) {
  if (S != Ok) lastResult = Status(S);
  return Status(S);
}
Status TGPImage::Save(const String& filename, const _GUID* clsidEncoder, const EncoderParameters* encoderParams) {
  return SetStatus(GP::GdipSaveImageToFile(nativeImage, filename.c_str(), clsidEncoder,
                                           reinterpret_cast<const G::EncoderParameters*>(encoderParams)));
}
Status TGPImage::Save(IStream* stream, const _GUID* clsidEncoder, const EncoderParameters* encoderParams) {
  return SetStatus(GP::GdipSaveImageToStream(nativeImage, stream, clsidEncoder,
                                             reinterpret_cast<const G::EncoderParameters*>(encoderParams)));
}
Status TGPImage::SaveAdd(const EncoderParameters* encoderParams) {
  return SetStatus(GP::GdipSaveAdd(nativeImage, reinterpret_cast<const G::EncoderParameters*>(encoderParams)));
}
Status TGPImage::SaveAdd(TGPImage* newImage, const EncoderParameters* encoderParams) {
  return SetStatus(GP::GdipSaveAddImage(nativeImage, NATIVE(newImage, NativeImage),
                                        reinterpret_cast<const G::EncoderParameters*>(encoderParams)));
}
TGPImageFormat TGPImage::GetFormat() {
  GUID Format{};
  if (GP::GdipGetImageRawFormat(nativeImage, &Format) != G::Ok) return ifUndefined;
  // GDI+'s format identifiers differ only in their first field, in the order of TGPImageFormat
  // from the memory bitmap; the icon lies three past EXIF.
  const GUID& Base = G::ImageFormatMemoryBMP;
  if (Format.Data2 != Base.Data2 || Format.Data3 != Base.Data3 || std::memcmp(Format.Data4, Base.Data4, 8) != 0)
    return ifUndefined;
  static const unsigned long Offsets[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 11};
  for (Integer I = 0; I < 10; ++I)
    if (Format.Data1 == Base.Data1 + Offsets[I]) return TGPImageFormat(ifMemoryBMP + I);
  return ifUndefined;
}
Integer TGPImage::GetPixelFormat() {
  G::PixelFormat F = 0;
  SetStatus(GP::GdipGetImagePixelFormat(nativeImage, &F));
  return Integer(F);
}
Integer TGPImage::GetPixelDepth() { return (GetPixelFormat() >> 8) & 0xFF; }
bool TGPImage::HasPalette() { return (GetPixelFormat() & 0x10000) != 0; }
bool TGPImage::HasAlphaChannel() { return (GetPixelFormat() & 0x40000) != 0; }
TGPImage* TGPImage::GetThumbnailImage(Cardinal thumbWidth, Cardinal thumbHeight) {
  G::GpImage* Thumb = nullptr;
  Status S = SetStatus(GP::GdipGetImageThumbnail(nativeImage, thumbWidth, thumbHeight, &Thumb, nullptr, nullptr));
  if (!Thumb) return nullptr;
  return new TGPImage(Thumb, S);
}
Cardinal TGPImage::GetWidth() {
  UINT W = 0;
  SetStatus(GP::GdipGetImageWidth(nativeImage, &W));
  return W;
}
Cardinal TGPImage::GetHeight() {
  UINT Hh = 0;
  SetStatus(GP::GdipGetImageHeight(nativeImage, &Hh));
  return Hh;
}
Status TGPImage::RotateFlip(RotateFlipType rotateFlipType) {
  return SetStatus(GP::GdipImageRotateFlip(nativeImage, G::RotateFlipType(rotateFlipType)));
}
Status TGPImage::GetLastStatus() {
  Status S = lastResult;
  lastResult = Ok;
  return S;
}

// ---- TGPMatrix ----

TGPMatrix::TGPMatrix() {
  lastResult = Create([&] { return GP::GdipCreateMatrix(&nativeMatrix); });
}
TGPMatrix::TGPMatrix(Single m11, Single m12, Single m21, Single m22, Single dx, Single dy) {
  lastResult = Create([&] { return GP::GdipCreateMatrix2(m11, m12, m21, m22, dx, dy, &nativeMatrix); });
}
TGPMatrix::TGPMatrix(const TGPRectF& rect, const TGPPointF* dstplg) {
  lastResult = Create([&] { return GP::GdipCreateMatrix3(P(&rect), P(dstplg), &nativeMatrix); });
}
TGPMatrix::TGPMatrix(const TGPRect& rect, const TGPPoint* dstplg) {
  lastResult = Create([&] { return GP::GdipCreateMatrix3I(P(&rect), P(dstplg), &nativeMatrix); });
}
TGPMatrix::TGPMatrix(G::GpMatrix* nativeMatrix) : nativeMatrix(nativeMatrix) {}
TGPMatrix::~TGPMatrix() {
  if (nativeMatrix) GP::GdipDeleteMatrix(nativeMatrix);
}
Status TGPMatrix::SetStatus(Integer S) {
  if (S != Ok) lastResult = Status(S);
  return Status(S);
}
TGPMatrix* TGPMatrix::Clone() {
  G::GpMatrix* Clone = nullptr;
  if (SetStatus(GP::GdipCloneMatrix(nativeMatrix, &Clone)) != Ok) return nullptr;
  return new TGPMatrix(Clone);
}
Status TGPMatrix::GetElements(TMatrixArray& m) { return SetStatus(GP::GdipGetMatrixElements(nativeMatrix, m.data())); }
Status TGPMatrix::SetElements(Single m11, Single m12, Single m21, Single m22, Single dx, Single dy) {
  return SetStatus(GP::GdipSetMatrixElements(nativeMatrix, m11, m12, m21, m22, dx, dy));
}
Single TGPMatrix::OffsetX() {
  TMatrixArray M{};
  return GetElements(M) == Ok ? M[4] : 0.0f;
}
Single TGPMatrix::OffsetY() {
  TMatrixArray M{};
  return GetElements(M) == Ok ? M[5] : 0.0f;
}
Status TGPMatrix::Reset() { return SetElements(1, 0, 0, 1, 0, 0); }
Status TGPMatrix::Multiply(TGPMatrix* matrix, MatrixOrder order) {
  return SetStatus(GP::GdipMultiplyMatrix(nativeMatrix, NATIVE(matrix, NativeMatrix), G::MatrixOrder(order)));
}
Status TGPMatrix::Translate(Single offsetX, Single offsetY, MatrixOrder order) {
  return SetStatus(GP::GdipTranslateMatrix(nativeMatrix, offsetX, offsetY, G::MatrixOrder(order)));
}
Status TGPMatrix::Scale(Single scaleX, Single scaleY, MatrixOrder order) {
  return SetStatus(GP::GdipScaleMatrix(nativeMatrix, scaleX, scaleY, G::MatrixOrder(order)));
}
Status TGPMatrix::Rotate(Single angle, MatrixOrder order) {
  return SetStatus(GP::GdipRotateMatrix(nativeMatrix, angle, G::MatrixOrder(order)));
}
Status TGPMatrix::RotateAt(Single angle, const TGPPointF& center, MatrixOrder order) {
  if (order == MatrixOrderAppend) {
    SetStatus(GP::GdipTranslateMatrix(nativeMatrix, -center.X, -center.Y, G::MatrixOrder(order)));
    SetStatus(GP::GdipRotateMatrix(nativeMatrix, angle, G::MatrixOrder(order)));
    return SetStatus(GP::GdipTranslateMatrix(nativeMatrix, center.X, center.Y, G::MatrixOrder(order)));
  }
  SetStatus(GP::GdipTranslateMatrix(nativeMatrix, center.X, center.Y, G::MatrixOrder(order)));
  SetStatus(GP::GdipRotateMatrix(nativeMatrix, angle, G::MatrixOrder(order)));
  return SetStatus(GP::GdipTranslateMatrix(nativeMatrix, -center.X, -center.Y, G::MatrixOrder(order)));
}
Status TGPMatrix::Shear(Single shearX, Single shearY, MatrixOrder order) {
  return SetStatus(GP::GdipShearMatrix(nativeMatrix, shearX, shearY, G::MatrixOrder(order)));
}
Status TGPMatrix::Invert() { return SetStatus(GP::GdipInvertMatrix(nativeMatrix)); }
Status TGPMatrix::TransformPoints(TGPPointF* pts, Integer count) {
  return SetStatus(GP::GdipTransformMatrixPoints(nativeMatrix, reinterpret_cast<G::PointF*>(pts), count));
}
Status TGPMatrix::TransformPoints(TGPPoint* pts, Integer count) {
  return SetStatus(GP::GdipTransformMatrixPointsI(nativeMatrix, reinterpret_cast<G::Point*>(pts), count));
}
Status TGPMatrix::TransformVectors(TGPPointF* pts, Integer count) {
  return SetStatus(GP::GdipVectorTransformMatrixPoints(nativeMatrix, reinterpret_cast<G::PointF*>(pts), count));
}
Status TGPMatrix::TransformVectors(TGPPoint* pts, Integer count) {
  return SetStatus(GP::GdipVectorTransformMatrixPointsI(nativeMatrix, reinterpret_cast<G::Point*>(pts), count));
}
bool TGPMatrix::IsInvertible() {
  BOOL R = FALSE;
  SetStatus(GP::GdipIsMatrixInvertible(nativeMatrix, &R));
  return R != FALSE;
}
bool TGPMatrix::IsIdentity() {
  BOOL R = FALSE;
  SetStatus(GP::GdipIsMatrixIdentity(nativeMatrix, &R));
  return R != FALSE;
}
Status TGPMatrix::GetLastStatus() {
  Status S = lastResult;
  lastResult = Ok;
  return S;
}

// ---- TGPGraphics ----

TGPGraphics::TGPGraphics(HDC hdc) {
  lastResult = Create([&] { return GP::GdipCreateFromHDC(hdc, &nativeGraphics); });
}
TGPGraphics::TGPGraphics(TGPImage* image) {
  lastResult = Create([&] { return GP::GdipGetImageGraphicsContext(NATIVE(image, NativeImage), &nativeGraphics); });
}
TGPGraphics::~TGPGraphics() {
  if (nativeGraphics) GP::GdipDeleteGraphics(nativeGraphics);
}
TGPGraphics* TGPGraphics::FromImage(TGPImage* image) { return new TGPGraphics(image); }
Status TGPGraphics::SetStatus(Integer S) {
  if (S != Ok) lastResult = Status(S);
  return Status(S);
}
void TGPGraphics::Flush(FlushIntention intention) { GP::GdipFlush(nativeGraphics, G::FlushIntention(intention)); }
Status TGPGraphics::Clear(TGPColor color) { return SetStatus(GP::GdipGraphicsClear(nativeGraphics, color)); }
Status TGPGraphics::SetTransform(TGPMatrix* matrix) {
  return SetStatus(GP::GdipSetWorldTransform(nativeGraphics, NATIVE(matrix, NativeMatrix)));
}
Status TGPGraphics::ResetTransform() { return SetStatus(GP::GdipResetWorldTransform(nativeGraphics)); }
Status TGPGraphics::MultiplyTransform(TGPMatrix* matrix, MatrixOrder order) {
  return SetStatus(GP::GdipMultiplyWorldTransform(nativeGraphics, NATIVE(matrix, NativeMatrix), G::MatrixOrder(order)));
}
Status TGPGraphics::TranslateTransform(Single dx, Single dy, MatrixOrder order) {
  return SetStatus(GP::GdipTranslateWorldTransform(nativeGraphics, dx, dy, G::MatrixOrder(order)));
}
Status TGPGraphics::ScaleTransform(Single sx, Single sy, MatrixOrder order) {
  return SetStatus(GP::GdipScaleWorldTransform(nativeGraphics, sx, sy, G::MatrixOrder(order)));
}
Status TGPGraphics::RotateTransform(Single angle, MatrixOrder order) {
  return SetStatus(GP::GdipRotateWorldTransform(nativeGraphics, angle, G::MatrixOrder(order)));
}
HDC TGPGraphics::GetHDC() {
  HDC DC = nullptr;
  SetStatus(GP::GdipGetDC(nativeGraphics, &DC));
  return DC;
}
void TGPGraphics::ReleaseHDC(HDC hdc) { SetStatus(GP::GdipReleaseDC(nativeGraphics, hdc)); }
Status TGPGraphics::SetCompositingQuality(CompositingQuality compositingQuality) {
  return SetStatus(GP::GdipSetCompositingQuality(nativeGraphics, G::CompositingQuality(compositingQuality)));
}
CompositingQuality TGPGraphics::GetCompositingQuality() {
  G::CompositingQuality Q = G::CompositingQuality(-1);
  SetStatus(GP::GdipGetCompositingQuality(nativeGraphics, &Q));
  return CompositingQuality(Q);
}

namespace {
// Without Arial the text still draws: in GDI+'s generic sans-serif family, or where even that is
// missing (Wine without Windows fonts), in the first installed family.
std::unique_ptr<TGPFontFamily> FallbackFamily() {
  G::GpFontFamily* Source = TGPFontFamily::GenericSansSerif()->NativeFamily();
  G::GpFontCollection* Installed = nullptr;
  if (!Source && GP::GdipNewInstalledFontCollection(&Installed) == G::Ok) {
    INT Found = 0;
    GP::GdipGetFontCollectionFamilyList(Installed, 1, &Source, &Found);
    if (Found < 1) Source = nullptr;
  }
  G::GpFontFamily* Clone = nullptr;
  if (Source) GP::GdipCloneFontFamily(Source, &Clone);
  return std::make_unique<TGPFontFamily>(Clone, Clone ? Ok : FontFamilyNotFound);
}
}  // namespace

TGPFont* TGPGraphics::MakeFont(TFont* AFont) { return MakeFont(AFont, Single(AFont->GetSize())); }

TGPFont* TGPGraphics::MakeFont(TFont* AFont, Single ASize) {
  auto Family = std::make_unique<TGPFontFamily>(AFont->GetName());
  Status S = Family->GetLastStatus();
  if (S == FontFamilyNotFound || S == FontStyleNotFound) Family = std::make_unique<TGPFontFamily>(L"Arial");
  if (!Family->NativeFamily() && Started) Family = FallbackFamily();
  FontStyle Style = 0;
  TFontStyles FS = AFont->GetStyle();
  if (FS.Contains(fsBold)) Style |= 1;
  if (FS.Contains(fsItalic)) Style |= 2;
  if (FS.Contains(fsUnderline)) Style |= 4;
  if (FS.Contains(fsStrikeOut)) Style |= 8;
  return new TGPFont(Family.get(), ASize, Style, UnitPoint);
}

Integer TGPGraphics::TextHeight(const String& string_, TFont* font) {
  std::unique_ptr<TGPFont> F(MakeFont(font));
  TGPRectF Box;
  MeasureString(string_, Integer(string_.size()), F.get(), MakeRectF(0, 0, 10000, 10000), Box);
  return Nearest(Box.Height);
}

Integer TGPGraphics::TextWidth(const String& string_, TFont* font) {
  std::unique_ptr<TGPFont> F(MakeFont(font));
  TGPRectF Box;
  MeasureString(string_, Integer(string_.size()), F.get(), MakeRectF(0, 0, 10000, 10000), Box);
  return Nearest(Box.Width);
}

Integer TGPGraphics::DrawText(const String& string_, Integer len, TRect& rect, TFont* font, Integer style,
                              Integer bkColor) {
  std::unique_ptr<TGPFont> F(MakeFont(font));
  if (len < 0 || len > Integer(string_.size())) len = Integer(string_.size());
  if ((style & GPDT_CALCRECT) != 0 || bkColor != clNone) {
    Integer Size = font->GetSize();
    Integer B = Size >= 9 ? Nearest((Size - 8) / 1.5) + 2 : 2;
    // A trailing blank has no width of its own in GDI+'s measure; measure it as a letter.
    String Copy = string_;
    if (Copy.size() > 1 && Copy.back() == L' ') Copy.back() = L'i';
    TGPRectF Box;
    MeasureString(Copy, len, F.get(),
                  MakeRectF(Single(rect.Left), Single(rect.Top), Single(rect.Right - rect.Left + 1000),
                            Single(rect.Bottom - rect.Top)),
                  Box);
    rect.Right = rect.Left + Nearest(Box.Width - B);
    rect.Bottom = rect.Top + Nearest(Box.Height);
    if (bkColor != clNone) {
      TGPSolidBrush Brush(ColorToARGB(bkColor));
      FillRectangle(&Brush, Single(rect.Left + 1), Single(rect.Top), Box.Width - B + 1, Box.Height);
    }
  }
  if ((style & GPDT_CALCRECT) == 0) {
    TGPSolidBrush Brush(ColorToARGB(font->GetColor()));
    DrawString(string_.substr(0, size_t(len)), len, F.get(), TGPPointF{Single(rect.Left), Single(rect.Top)}, &Brush);
  }
  return rect.Bottom - rect.Top;
}

Status TGPGraphics::SetTextRenderingHint(TextRenderingHint newMode) {
  return SetStatus(GP::GdipSetTextRenderingHint(nativeGraphics, G::TextRenderingHint(newMode)));
}
TextRenderingHint TGPGraphics::GetTextRenderingHint() {
  G::TextRenderingHint Hint = G::TextRenderingHintSystemDefault;
  SetStatus(GP::GdipGetTextRenderingHint(nativeGraphics, &Hint));
  return TextRenderingHint(Hint);
}
SmoothingMode TGPGraphics::GetSmoothingMode() {
  G::SmoothingMode M = G::SmoothingModeInvalid;
  SetStatus(GP::GdipGetSmoothingMode(nativeGraphics, &M));
  return SmoothingMode(M);
}
Status TGPGraphics::SetSmoothingMode(SmoothingMode smoothingMode) {
  return SetStatus(GP::GdipSetSmoothingMode(nativeGraphics, G::SmoothingMode(smoothingMode)));
}
Status TGPGraphics::DrawPath(TGPPen* pen, TGPGraphicsPath* path) {
  return SetStatus(GP::GdipDrawPath(nativeGraphics, NATIVE(pen, NativePen), NATIVE(path, NativePath)));
}
Status TGPGraphics::FillRectangle(TGPBrush* brush, const TGPRectF& rect) {
  return FillRectangle(brush, rect.X, rect.Y, rect.Width, rect.Height);
}
Status TGPGraphics::FillRectangle(TGPBrush* brush, Single x, Single y, Single width, Single height) {
  return SetStatus(GP::GdipFillRectangle(nativeGraphics, NATIVE(brush, NativeBrush), x, y, width, height));
}
// Every form passes the whole string (std::wstring is zero-terminated already); the length
// argument is not used.
Status TGPGraphics::DrawString(const String& string_, Integer, TGPFont* font, const TGPRectF& layoutRect,
                               TGPStringFormat* stringFormat, TGPBrush* brush) {
  return SetStatus(GP::GdipDrawString(nativeGraphics, string_.c_str(), INT(string_.size()), NATIVE(font, NativeFont),
                                      P(&layoutRect), NATIVE(stringFormat, NativeFormat), NATIVE(brush, NativeBrush)));
}
Status TGPGraphics::DrawString(const String& string_, Integer length, TGPFont* font, const TGPRectF& layoutRect,
                               TGPBrush* brush) {
  return DrawString(string_, length, font, layoutRect, nullptr, brush);
}
Status TGPGraphics::DrawString(const String& string_, Integer length, TGPFont* font, const TGPPointF& origin,
                               TGPBrush* brush) {
  return DrawString(string_, length, font, MakeRectF(origin.X, origin.Y, 0, 0), nullptr, brush);
}
Status TGPGraphics::DrawString(const String& string_, Integer length, TGPFont* font, const TGPPointF& origin,
                               TGPStringFormat* stringFormat, TGPBrush* brush) {
  return DrawString(string_, length, font, MakeRectF(origin.X, origin.Y, 0, 0), stringFormat, brush);
}
Status TGPGraphics::MeasureString(const String& string_, Integer length, TGPFont* font, const TGPRectF& layoutRect,
                                  TGPStringFormat* stringFormat, TGPRectF& boundingBox, Integer* codepointsFitted,
                                  Integer* linesFilled) {
  if (length > Integer(string_.size())) length = Integer(string_.size());
  INT Fitted = 0, Lines = 0;
  boundingBox = TGPRectF{};
  Status S = SetStatus(GP::GdipMeasureString(nativeGraphics, string_.c_str(), length, NATIVE(font, NativeFont),
                                             P(&layoutRect), NATIVE(stringFormat, NativeFormat),
                                             reinterpret_cast<G::RectF*>(&boundingBox), &Fitted, &Lines));
  if (codepointsFitted) *codepointsFitted = Fitted;
  if (linesFilled) *linesFilled = Lines;
  return S;
}
Status TGPGraphics::MeasureString(const String& string_, Integer length, TGPFont* font, const TGPRectF& layoutRect,
                                  TGPRectF& boundingBox) {
  return MeasureString(string_, length, font, layoutRect, nullptr, boundingBox);
}
Status TGPGraphics::MeasureString(const String& string_, Integer length, TGPFont* font, const TGPPointF& origin,
                                  TGPStringFormat* stringFormat, TGPRectF& boundingBox) {
  return MeasureString(string_, length, font, MakeRectF(origin.X, origin.Y, 0, 0), stringFormat, boundingBox);
}
Status TGPGraphics::GetLastStatus() {
  Status S = lastResult;
  lastResult = Ok;
  return S;
}
Status TGPGraphics::DrawRectangle(TGPPen* pen, const TGPRectF& rect) {
  return DrawRectangle(pen, rect.X, rect.Y, rect.Width, rect.Height);
}
Status TGPGraphics::DrawRectangle(TGPPen* pen, Single x, Single y, Single width, Single height) {
  return SetStatus(GP::GdipDrawRectangle(nativeGraphics, NATIVE(pen, NativePen), x, y, width, height));
}
Status TGPGraphics::DrawLine(TGPPen* pen, Single x1, Single y1, Single x2, Single y2) {
  return SetStatus(GP::GdipDrawLine(nativeGraphics, NATIVE(pen, NativePen), x1, y1, x2, y2));
}
Status TGPGraphics::DrawArc(TGPPen* pen, Single x, Single y, Single width, Single height, Single startAngle,
                            Single sweepAngle) {
  return SetStatus(GP::GdipDrawArc(nativeGraphics, NATIVE(pen, NativePen), x, y, width, height, startAngle, sweepAngle));
}
Status TGPGraphics::DrawArc(TGPPen* pen, const TGPRectF& rect, Single startAngle, Single sweepAngle) {
  return DrawArc(pen, rect.X, rect.Y, rect.Width, rect.Height, startAngle, sweepAngle);
}
Status TGPGraphics::DrawBezier(TGPPen* pen, Single x1, Single y1, Single x2, Single y2, Single x3, Single y3, Single x4,
                               Single y4) {
  return SetStatus(GP::GdipDrawBezier(nativeGraphics, NATIVE(pen, NativePen), x1, y1, x2, y2, x3, y3, x4, y4));
}
Status TGPGraphics::DrawBezier(TGPPen* pen, const TGPPointF& pt1, const TGPPointF& pt2, const TGPPointF& pt3,
                               const TGPPointF& pt4) {
  return DrawBezier(pen, pt1.X, pt1.Y, pt2.X, pt2.Y, pt3.X, pt3.Y, pt4.X, pt4.Y);
}
Status TGPGraphics::DrawBeziers(TGPPen* pen, const TGPPointF* points, Integer count) {
  return SetStatus(GP::GdipDrawBeziers(nativeGraphics, NATIVE(pen, NativePen), P(points), count));
}
Status TGPGraphics::DrawEllipse(TGPPen* pen, const TGPRectF& rect) {
  return DrawEllipse(pen, rect.X, rect.Y, rect.Width, rect.Height);
}
Status TGPGraphics::DrawEllipse(TGPPen* pen, Single x, Single y, Single width, Single height) {
  return SetStatus(GP::GdipDrawEllipse(nativeGraphics, NATIVE(pen, NativePen), x, y, width, height));
}
Status TGPGraphics::DrawEllipse(TGPPen* pen, const TGPRect& rect) {
  return DrawEllipse(pen, rect.X, rect.Y, rect.Width, rect.Height);
}
Status TGPGraphics::DrawEllipse(TGPPen* pen, Integer x, Integer y, Integer width, Integer height) {
  return SetStatus(GP::GdipDrawEllipseI(nativeGraphics, NATIVE(pen, NativePen), x, y, width, height));
}
Status TGPGraphics::DrawImage(TGPImage* image, Integer x, Integer y) {
  return SetStatus(GP::GdipDrawImageI(nativeGraphics, NATIVE(image, NativeImage), x, y));
}
Status TGPGraphics::DrawImage(TGPImage* image, Single x, Single y, Single width, Single height) {
  return SetStatus(GP::GdipDrawImageRect(nativeGraphics, NATIVE(image, NativeImage), x, y, width, height));
}
Status TGPGraphics::DrawImage(TGPImage* image, const TGPRectF& destRect, Single srcx, Single srcy, Single srcwidth,
                              Single srcheight, Unit srcUnit, TGPImageAttributes* imageAttributes, void* callback,
                              void* callbackData) {
  return SetStatus(GP::GdipDrawImageRectRect(nativeGraphics, NATIVE(image, NativeImage), destRect.X, destRect.Y,
                                             destRect.Width, destRect.Height, srcx, srcy, srcwidth, srcheight,
                                             G::Unit(srcUnit), NATIVE(imageAttributes, NativeImageAttr),
                                             reinterpret_cast<G::DrawImageAbort>(callback), callbackData));
}
Status TGPGraphics::DrawImageRect(TGPImage* image, Integer x, Integer y, Integer w, Integer h) {
  return SetStatus(GP::GdipDrawImageRect(nativeGraphics, NATIVE(image, NativeImage), Single(x), Single(y), Single(w),
                                         Single(h)));
}
Status TGPGraphics::DrawImageRect(TGPImage* image, const TGPRectF& rect) {
  return DrawImageRect(image, Nearest(rect.X), Nearest(rect.Y), Nearest(rect.Width), Nearest(rect.Height));
}
Status TGPGraphics::FillPolygon(TGPBrush* brush, const TGPPointF* points, Integer count) {
  return FillPolygon(brush, points, count, FillModeAlternate);
}
Status TGPGraphics::FillPolygon(TGPBrush* brush, const TGPPointF* points, Integer count, FillMode fillMode) {
  return SetStatus(
      GP::GdipFillPolygon(nativeGraphics, NATIVE(brush, NativeBrush), P(points), count, G::FillMode(fillMode)));
}
Status TGPGraphics::FillPolygon(TGPBrush* brush, const TGPPoint* points, Integer count) {
  return FillPolygon(brush, points, count, FillModeAlternate);
}
Status TGPGraphics::FillPolygon(TGPBrush* brush, const TGPPoint* points, Integer count, FillMode fillMode) {
  return SetStatus(
      GP::GdipFillPolygonI(nativeGraphics, NATIVE(brush, NativeBrush), P(points), count, G::FillMode(fillMode)));
}
Status TGPGraphics::FillPath(TGPBrush* brush, TGPGraphicsPath* path) {
  return SetStatus(GP::GdipFillPath(nativeGraphics, NATIVE(brush, NativeBrush), NATIVE(path, NativePath)));
}
Status TGPGraphics::FillEllipse(TGPBrush* brush, const TGPRectF& rect) {
  return FillEllipse(brush, rect.X, rect.Y, rect.Width, rect.Height);
}
Status TGPGraphics::FillEllipse(TGPBrush* brush, Single x, Single y, Single width, Single height) {
  return SetStatus(GP::GdipFillEllipse(nativeGraphics, NATIVE(brush, NativeBrush), x, y, width, height));
}
Status TGPGraphics::FillEllipse(TGPBrush* brush, const TGPRect& rect) {
  return FillEllipse(brush, rect.X, rect.Y, rect.Width, rect.Height);
}
Status TGPGraphics::FillEllipse(TGPBrush* brush, Integer x, Integer y, Integer width, Integer height) {
  return SetStatus(GP::GdipFillEllipseI(nativeGraphics, NATIVE(brush, NativeBrush), x, y, width, height));
}
Status TGPGraphics::ExcludeClip(const TGPRectF& rect) {
  return SetStatus(GP::GdipSetClipRect(nativeGraphics, rect.X, rect.Y, rect.Width, rect.Height, G::CombineModeExclude));
}
Status TGPGraphics::ExcludeClip(TGPRegion* region) {
  return SetStatus(GP::GdipSetClipRegion(nativeGraphics, NATIVE(region, NativeRegion), G::CombineModeExclude));
}
Status TGPGraphics::SetClip(TGPRegion* region, CombineMode combineMode) {
  return SetStatus(GP::GdipSetClipRegion(nativeGraphics, NATIVE(region, NativeRegion), G::CombineMode(combineMode)));
}
Status TGPGraphics::SetClip(TGPGraphicsPath* path, CombineMode combineMode) {
  return SetStatus(GP::GdipSetClipPath(nativeGraphics, NATIVE(path, NativePath), G::CombineMode(combineMode)));
}
Status TGPGraphics::ResetClip() { return SetStatus(GP::GdipResetClip(nativeGraphics)); }
