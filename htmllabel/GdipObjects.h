#pragma once
// GdipObjects: an object layer over the flat API of gdiplus.dll. One class per GDI+ object kind,
// each holding its native handle (pointer-sized) and the status of its last failed call. No
// wrapper raises: a failed creation leaves a null handle and the failure status, every other
// operation answers the call's status. GDI+ is started by InitializeGdipObjects, which the program
// and the test runner call once at start, and ended by FinalizeGdipObjects at their end.

#include <array>

#include "framework/System.h"
#include "framework/Types.h"
#include "framework/graphics/GdiTypes.h"

class TFont;
struct IStream;
struct _GUID;

namespace Gdiplus {
class GpRegion;
class GpImageAttributes;
class GpFontFamily;
class GpFontCollection;
class GpFont;
class GpBrush;
class GpPen;
class GpStringFormat;
class GpPath;
class GpImage;
class GpMatrix;
class GpGraphics;
}  // namespace Gdiplus

// ---- Value types, laid out as GDI+ lays them out ----

using TGPColor = Cardinal;  // ARGB

struct TGPPointF {
  Single X = 0, Y = 0;
};
struct TGPPoint {
  Integer X = 0, Y = 0;
};
struct TGPRectF {
  Single X = 0, Y = 0, Width = 0, Height = 0;
};
struct TGPRect {
  Integer X = 0, Y = 0, Width = 0, Height = 0;
};
using TMatrixArray = std::array<Single, 6>;
struct ColorMap {
  TGPColor oldColor, newColor;
};
struct ColorPalette {
  Cardinal Flags;
  Cardinal Count;
  TGPColor Entries[1];
};
struct ColorMatrix {
  Single m[5][5];
};
struct EncoderParameter {
  Byte Guid[16];
  Cardinal NumberOfValues;
  Cardinal Type;
  void* Value;
};
struct EncoderParameters {
  Cardinal Count;
  EncoderParameter Parameter[1];
};

// ---- Enumerations with GDI+'s names and values ----

enum Status : Integer {
  Ok, GenericError, InvalidParameter, OutOfMemory, ObjectBusy, InsufficientBuffer, NotImplemented, Win32Error,
  WrongState, Aborted, FileNotFound, ValueOverflow, AccessDenied, UnknownImageFormat, FontFamilyNotFound,
  FontStyleNotFound, NotTrueTypeFont, UnsupportedGdiplusVersion, GdiplusNotInitialized, PropertyNotFound,
  PropertyNotSupported
};
using TStatus = Status;

enum TextRenderingHint : Integer {
  TextRenderingHintSystemDefault, TextRenderingHintSingleBitPerPixelGridFit, TextRenderingHintSingleBitPerPixel,
  TextRenderingHintAntiAliasGridFit, TextRenderingHintAntiAlias, TextRenderingHintClearTypeGridFit
};
enum StringAlignment : Integer { StringAlignmentNear, StringAlignmentCenter, StringAlignmentFar };
enum StringTrimming : Integer {
  StringTrimmingNone, StringTrimmingCharacter, StringTrimmingWord, StringTrimmingEllipsisCharacter,
  StringTrimmingEllipsisWord, StringTrimmingEllipsisPath
};
enum HotkeyPrefix : Integer { HotkeyPrefixNone, HotkeyPrefixShow, HotkeyPrefixHide };
enum FlushIntention : Integer { FlushIntentionFlush, FlushIntentionSync };
enum RotateFlipType : Integer {
  RotateNoneFlipNone, Rotate90FlipNone, Rotate180FlipNone, Rotate270FlipNone, RotateNoneFlipX, Rotate90FlipX,
  Rotate180FlipX, Rotate270FlipX
};
enum ColorAdjustType : Integer {
  ColorAdjustTypeDefault, ColorAdjustTypeBitmap, ColorAdjustTypeBrush, ColorAdjustTypePen, ColorAdjustTypeText,
  ColorAdjustTypeCount, ColorAdjustTypeAny
};
enum ColorMatrixFlags : Integer { ColorMatrixFlagsDefault, ColorMatrixFlagsSkipGrays, ColorMatrixFlagsAltGray };
enum ColorChannelFlags : Integer {
  ColorChannelFlagsC, ColorChannelFlagsM, ColorChannelFlagsY, ColorChannelFlagsK, ColorChannelFlagsLast
};

// The argument kinds of the flat API that the classes take, with GDI+'s values.
enum FillMode : Integer { FillModeAlternate, FillModeWinding };
enum Unit : Integer { UnitWorld, UnitDisplay, UnitPixel, UnitPoint, UnitInch, UnitDocument, UnitMillimeter };
enum WrapMode : Integer { WrapModeTile, WrapModeTileFlipX, WrapModeTileFlipY, WrapModeTileFlipXY, WrapModeClamp };
enum MatrixOrder : Integer { MatrixOrderPrepend, MatrixOrderAppend };
enum CombineMode : Integer {
  CombineModeReplace, CombineModeIntersect, CombineModeUnion, CombineModeXor, CombineModeExclude,
  CombineModeComplement
};
enum SmoothingMode : Integer {
  SmoothingModeInvalid = -1, SmoothingModeDefault, SmoothingModeHighSpeed, SmoothingModeHighQuality,
  SmoothingModeNone, SmoothingModeAntiAlias
};
enum CompositingQuality : Integer {
  CompositingQualityInvalid = -1, CompositingQualityDefault, CompositingQualityHighSpeed,
  CompositingQualityHighQuality, CompositingQualityGammaCorrected, CompositingQualityAssumeLinear
};
enum DashStyle : Integer {
  DashStyleSolid, DashStyleDash, DashStyleDot, DashStyleDashDot, DashStyleDashDotDot, DashStyleCustom
};
enum LineCap : Integer {
  LineCapFlat, LineCapSquare, LineCapRound, LineCapTriangle, LineCapNoAnchor = 0x10,
  LineCapSquareAnchor = 0x11, LineCapRoundAnchor = 0x12, LineCapDiamondAnchor = 0x13,
  LineCapArrowAnchor = 0x14
};
enum PenType : Integer {
  PenTypeSolidColor, PenTypeHatchFill, PenTypeTextureFill, PenTypePathGradient, PenTypeLinearGradient,
  PenTypeUnknown = -1
};
enum LinearGradientMode : Integer {
  LinearGradientModeHorizontal, LinearGradientModeVertical, LinearGradientModeForwardDiagonal,
  LinearGradientModeBackwardDiagonal
};
using HatchStyle = Integer;
using FontStyle = Integer;  // bold 1, italic 2, underline 4, strike-out 8

enum TGPImageFormat : Integer {
  ifUndefined, ifMemoryBMP, ifBMP, ifEMF, ifWMF, ifJPEG, ifPNG, ifGIF, ifTIFF, ifEXIF, ifIcon
};

// ---- Start and end ----

// Starts GDI+ (version 1, background thread suppressed, external codecs allowed; before Vista
// the notification hook). Answers the start-up status; calling it again while started answers Ok.
Status InitializeGdipObjects();
// Unhooks (before Vista) and shuts GDI+ down; the cached generic families go with it.
void FinalizeGdipObjects();
// True between a successful start and the end: wrappers made outside it stay empty with the
// status GdiplusNotInitialized.
bool GdipObjectsStarted();

// ---- Classes ----

// The root of the wrappers. It adds nothing: wrappers are allocated with ordinary new.
class TGdiplusBase : public TObject {
  DECLARE_CLASS(TGdiplusBase, TObject)
};

class TGPImage;
class TGPGraphicsPath;
class TGPFontCollection;

class TGPRegion : public TGdiplusBase {
  DECLARE_CLASS(TGPRegion, TGdiplusBase)
 public:
  explicit TGPRegion(const TGPRectF& rect);
  explicit TGPRegion(TGPGraphicsPath* path);
  ~TGPRegion() override;
  Status Exclude(TGPGraphicsPath* path);
  Status Union(TGPRegion* region);
  Status GetLastStatus();
  Gdiplus::GpRegion* NativeRegion() const { return nativeRegion; }

 private:
  Status SetStatus(Integer S);
  Gdiplus::GpRegion* nativeRegion = nullptr;
  Status lastResult = Ok;
};

class TGPImageAttributes : public TGdiplusBase {
  DECLARE_CLASS(TGPImageAttributes, TGdiplusBase)
 public:
  TGPImageAttributes();
  TGPImageAttributes(Gdiplus::GpImageAttributes* imageAttr, Status status);
  ~TGPImageAttributes() override;
  TGPImageAttributes* Clone();
  Status SetToIdentity(ColorAdjustType type = ColorAdjustTypeDefault);
  Status Reset(ColorAdjustType type = ColorAdjustTypeDefault);
  Status SetColorMatrix(const ColorMatrix& colorMatrix, ColorMatrixFlags mode = ColorMatrixFlagsDefault,
                        ColorAdjustType type = ColorAdjustTypeDefault);
  Status ClearColorMatrix(ColorAdjustType type = ColorAdjustTypeDefault);
  Status SetColorMatrices(const ColorMatrix& colorMatrix, const ColorMatrix& grayMatrix,
                          ColorMatrixFlags mode = ColorMatrixFlagsDefault, ColorAdjustType type = ColorAdjustTypeDefault);
  Status ClearColorMatrices(ColorAdjustType type = ColorAdjustTypeDefault);
  Status SetThreshold(Single threshold, ColorAdjustType type = ColorAdjustTypeDefault);
  Status ClearThreshold(ColorAdjustType type = ColorAdjustTypeDefault);
  Status SetGamma(Single gamma, ColorAdjustType type = ColorAdjustTypeDefault);
  Status ClearGamma(ColorAdjustType type = ColorAdjustTypeDefault);
  Status SetNoOp(ColorAdjustType type = ColorAdjustTypeDefault);
  Status ClearNoOp(ColorAdjustType type = ColorAdjustTypeDefault);
  Status SetColorKey(TGPColor colorLow, TGPColor colorHigh, ColorAdjustType type = ColorAdjustTypeDefault);
  Status ClearColorKey(ColorAdjustType type = ColorAdjustTypeDefault);
  Status SetOutputChannel(ColorChannelFlags channelFlags, ColorAdjustType type = ColorAdjustTypeDefault);
  Status ClearOutputChannel(ColorAdjustType type = ColorAdjustTypeDefault);
  Status SetOutputChannelColorProfile(const String& colorProfileFilename, ColorAdjustType type = ColorAdjustTypeDefault);
  Status ClearOutputChannelColorProfile(ColorAdjustType type = ColorAdjustTypeDefault);
  Status SetRemapTable(Cardinal mapSize, const ColorMap* map, ColorAdjustType type = ColorAdjustTypeDefault);
  Status ClearRemapTable(ColorAdjustType type = ColorAdjustTypeDefault);
  Status SetBrushRemapTable(Cardinal mapSize, const ColorMap* map);
  Status ClearBrushRemapTable();
  Status SetWrapMode(WrapMode wrap, TGPColor color = 0xFF000000, bool clamp = false);
  Status GetAdjustedPalette(ColorPalette* colorPalette, ColorAdjustType colorAdjustType);
  Status GetLastStatus();
  Gdiplus::GpImageAttributes* NativeImageAttr() const { return nativeImageAttr; }

 private:
  Status SetStatus(Integer S);
  Gdiplus::GpImageAttributes* nativeImageAttr = nullptr;
  Status lastResult = Ok;
};

class TGPFontFamily : public TGdiplusBase {
  DECLARE_CLASS(TGPFontFamily, TGdiplusBase)
 public:
  TGPFontFamily() = default;
  TGPFontFamily(const String& name, TGPFontCollection* fontCollection = nullptr);
  TGPFontFamily(Gdiplus::GpFontFamily* nativeOrig, Status status);
  ~TGPFontFamily() override;
  // Made on first use and kept until GDI+ ends.
  static TGPFontFamily* GenericSansSerif();
  static TGPFontFamily* GenericSerif();
  static TGPFontFamily* GenericMonospace();
  Status GetLastStatus();
  Gdiplus::GpFontFamily* NativeFamily() const { return nativeFamily; }

 private:
  friend void FinalizeGdipObjects();
  Gdiplus::GpFontFamily* nativeFamily = nullptr;
  Status lastResult = Ok;
};

class TGPFontCollection : public TGdiplusBase {
  DECLARE_CLASS(TGPFontCollection, TGdiplusBase)
 public:
  TGPFontCollection() = default;
  Gdiplus::GpFontCollection* NativeFontCollection() const { return nativeFontCollection; }

 private:
  Gdiplus::GpFontCollection* nativeFontCollection = nullptr;
  Status lastResult = Ok;
};

class TGPFont : public TGdiplusBase {
  DECLARE_CLASS(TGPFont, TGdiplusBase)
 public:
  TGPFont(Gdiplus::GpFont* font, Status status);
  TGPFont(TGPFontFamily* family, Single emSize, FontStyle style = 0, Unit unit = UnitPoint);
  // Falls back to the generic sans-serif family when the name is not found.
  TGPFont(const String& familyName, Single emSize, FontStyle style = 0, Unit unit = UnitPoint,
          TGPFontCollection* fontCollection = nullptr);
  ~TGPFont() override;
  Status GetLastStatus();
  Gdiplus::GpFont* NativeFont() const { return nativeFont; }

 private:
  Gdiplus::GpFont* nativeFont = nullptr;
  Status lastResult = Ok;
};

class TGPBrush : public TGdiplusBase {
  DECLARE_CLASS(TGPBrush, TGdiplusBase)
 public:
  // An empty brush: NotImplemented.
  TGPBrush();
  TGPBrush(Gdiplus::GpBrush* nativeBrush, Status status);
  ~TGPBrush() override;
  Status GetLastStatus();
  Gdiplus::GpBrush* NativeBrush() const { return nativeBrush; }

 protected:
  friend class TGPPen;
  Status SetStatus(Integer S);
  Gdiplus::GpBrush* nativeBrush = nullptr;
  Status lastResult = Ok;
};

class TGPSolidBrush : public TGPBrush {
  DECLARE_CLASS(TGPSolidBrush, TGPBrush)
 public:
  TGPSolidBrush() = default;
  explicit TGPSolidBrush(TGPColor color);
};

class TGPHatchBrush : public TGPBrush {
  DECLARE_CLASS(TGPHatchBrush, TGPBrush)
 public:
  TGPHatchBrush() = default;
  TGPHatchBrush(HatchStyle hatchStyle, TGPColor foreColor, TGPColor backColor = 0xFF000000);
  HatchStyle GetHatchStyle();
  Status GetForegroundColor(TGPColor& color);
  Status GetBackgroundColor(TGPColor& color);
};

class TGPTextureBrush : public TGPBrush {
  DECLARE_CLASS(TGPTextureBrush, TGPBrush)
 public:
  TGPTextureBrush() = default;
  TGPTextureBrush(TGPImage* image, WrapMode wrapMode = WrapModeTile);
  TGPTextureBrush(TGPImage* image, WrapMode wrapMode, const TGPRectF& dstRect);
  TGPTextureBrush(TGPImage* image, WrapMode wrapMode, const TGPRect& dstRect);
  TGPTextureBrush(TGPImage* image, const TGPRectF& dstRect, TGPImageAttributes* imageAttributes = nullptr);
  TGPTextureBrush(TGPImage* image, const TGPRect& dstRect, TGPImageAttributes* imageAttributes = nullptr);
  TGPTextureBrush(TGPImage* image, WrapMode wrapMode, Single dstX, Single dstY, Single dstWidth, Single dstHeight);
  TGPTextureBrush(TGPImage* image, WrapMode wrapMode, Integer dstX, Integer dstY, Integer dstWidth, Integer dstHeight);
  Status ResetTransform();
  Status TranslateTransform(Single dx, Single dy, MatrixOrder order = MatrixOrderPrepend);
  Status ScaleTransform(Single sx, Single sy, MatrixOrder order = MatrixOrderPrepend);
  Status RotateTransform(Single angle, MatrixOrder order = MatrixOrderPrepend);
  Status SetWrapMode(WrapMode wrapMode);
  WrapMode GetWrapMode();
  // A new image the caller frees, or null.
  TGPImage* GetImage();
};

class TGPLinearGradientBrush : public TGPBrush {
  DECLARE_CLASS(TGPLinearGradientBrush, TGPBrush)
 public:
  TGPLinearGradientBrush() = default;
  TGPLinearGradientBrush(const TGPPointF& point1, const TGPPointF& point2, TGPColor color1, TGPColor color2);
  TGPLinearGradientBrush(const TGPPoint& point1, const TGPPoint& point2, TGPColor color1, TGPColor color2);
  TGPLinearGradientBrush(const TGPRectF& rect, TGPColor color1, TGPColor color2, LinearGradientMode mode);
  TGPLinearGradientBrush(const TGPRect& rect, TGPColor color1, TGPColor color2, LinearGradientMode mode);
  TGPLinearGradientBrush(const TGPRectF& rect, TGPColor color1, TGPColor color2, Single angle,
                         bool isAngleScalable = false);
  TGPLinearGradientBrush(const TGPRect& rect, TGPColor color1, TGPColor color2, Single angle,
                         bool isAngleScalable = false);
  Status SetGammaCorrection(bool useGammaCorrection);
  Status SetInterpolationColors(const TGPColor* presetColors, const Single* blendPositions, Integer count);
};

class TGPPen : public TGdiplusBase {
  DECLARE_CLASS(TGPPen, TGdiplusBase)
 public:
  explicit TGPPen(TGPColor color, Single width = 1.0f);
  explicit TGPPen(TGPBrush* brush, Single width = 1.0f);
  ~TGPPen() override;
  Status SetBrush(TGPBrush* brush);
  // A new brush of the pen's fill type that the caller frees, or null.
  TGPBrush* GetBrush();
  DashStyle GetDashStyle();
  Status SetDashStyle(DashStyle dashStyle);
  Status SetEndCap(LineCap endCap);
  PenType GetPenType();
  Status GetLastStatus();
  Gdiplus::GpPen* NativePen() const { return nativePen; }

 private:
  Status SetStatus(Integer S);
  Gdiplus::GpPen* nativePen = nullptr;
  Status lastResult = Ok;
};

class TGPStringFormat : public TGdiplusBase {
  DECLARE_CLASS(TGPStringFormat, TGdiplusBase)
 public:
  explicit TGPStringFormat(Integer formatFlags = 0, Word language = 0);
  explicit TGPStringFormat(TGPStringFormat* format);
  TGPStringFormat(Gdiplus::GpStringFormat* clonedStringFormat, Status status);
  ~TGPStringFormat() override;
  Status SetAlignment(StringAlignment align);
  StringAlignment GetAlignment();
  Status SetLineAlignment(StringAlignment align);
  StringAlignment GetLineAlignment();
  Status SetTrimming(StringTrimming trimming);
  StringTrimming GetTrimming();
  Status SetFormatFlags(Integer flags);
  Integer GetFormatFlags();
  Status SetHotkeyPrefix(HotkeyPrefix hotkeyPrefix);
  HotkeyPrefix GetHotkeyPrefix();
  Status GetLastStatus();
  Gdiplus::GpStringFormat* NativeFormat() const { return nativeFormat; }

 private:
  Status SetStatus(Integer S);
  Gdiplus::GpStringFormat* nativeFormat = nullptr;
  Status lastError = Ok;
};

class TGPMatrix;
class TGPPen;

class TGPGraphicsPath : public TGdiplusBase {
  DECLARE_CLASS(TGPGraphicsPath, TGdiplusBase)
 public:
  explicit TGPGraphicsPath(Gdiplus::GpPath* nativePath);
  explicit TGPGraphicsPath(FillMode fillMode = FillModeAlternate);
  TGPGraphicsPath(const TGPPointF* points, const Byte* types, Integer count, FillMode fillMode = FillModeAlternate);
  ~TGPGraphicsPath() override;
  Status CloseFigure();
  Status AddLine(const TGPPointF& pt1, const TGPPointF& pt2);
  Status AddLine(Single x1, Single y1, Single x2, Single y2);
  Status AddLines(const TGPPoint* points, Integer count);
  Status AddRectangle(const TGPRectF& rect);
  Status AddRectangle(const TGPRect& rect);
  Status AddArc(const TGPRectF& rect, Single startAngle, Single sweepAngle);
  Status AddArc(Single x, Single y, Single width, Single height, Single startAngle, Single sweepAngle);
  Status AddEllipse(const TGPRectF& rect);
  Status AddEllipse(Single x, Single y, Single width, Single height);
  Status Reset();
  Status AddPie(const TGPRectF& rect, Single startAngle, Single sweepAngle);
  Status AddPie(Single x, Single y, Single width, Single height, Single startAngle, Single sweepAngle);
  Status AddPolygon(const TGPPointF* points, Integer count);
  Status AddPolygon(const TGPPoint* points, Integer count);
  Status AddCurve(const TGPPointF* points, Integer count);
  Status AddCurve(const TGPPoint* points, Integer count);
  Status AddCurve(const TGPPoint* points, Integer count, Single tension);
  Status AddBezier(const TGPPointF& pt1, const TGPPointF& pt2, const TGPPointF& pt3, const TGPPointF& pt4);
  Status AddBezier(Single x1, Single y1, Single x2, Single y2, Single x3, Single y3, Single x4, Single y4);
  Status AddBezier(const TGPPoint& pt1, const TGPPoint& pt2, const TGPPoint& pt3, const TGPPoint& pt4);
  Status AddString(const String& string_, Integer length, TGPFontFamily* family, Integer style, Single emSize,
                   const TGPRectF& layoutRect, TGPStringFormat* format);
  Status AddString(const String& string_, Integer length, TGPFontFamily* family, Integer style, Single emSize,
                   const TGPPointF& origin, TGPStringFormat* format);
  Status GetBounds(TGPRectF& bounds, TGPMatrix* matrix = nullptr, TGPPen* pen = nullptr);
  Status GetPathPoints(TGPPointF* points, Integer count);
  Integer GetPointCount();
  Status GetPathTypes(Byte* types, Integer count);
  Status GetLastStatus();
  Gdiplus::GpPath* NativePath() const { return nativePath; }

 private:
  Status SetStatus(Integer S);
  Gdiplus::GpPath* nativePath = nullptr;
  Status lastResult = Ok;
};

class TGPImage : public TGdiplusBase {
  DECLARE_CLASS(TGPImage, TGdiplusBase)
 public:
  TGPImage(Gdiplus::GpImage* nativeImage, Status status);
  explicit TGPImage(const String& filename, bool useEmbeddedColorManagement = false);
  // The stream must outlive the image: GDI+ reads it while drawing.
  explicit TGPImage(IStream* stream, bool useEmbeddedColorManagement = false);
  ~TGPImage() override;
  Status Save(const String& filename, const _GUID* clsidEncoder, const EncoderParameters* encoderParams = nullptr);
  Status Save(IStream* stream, const _GUID* clsidEncoder, const EncoderParameters* encoderParams = nullptr);
  Status SaveAdd(const EncoderParameters* encoderParams);
  Status SaveAdd(TGPImage* newImage, const EncoderParameters* encoderParams);
  TGPImageFormat GetFormat();
  Integer GetPixelFormat();
  Integer GetPixelDepth();
  bool HasPalette();
  bool HasAlphaChannel();
  // A new image the caller frees, or null.
  TGPImage* GetThumbnailImage(Cardinal thumbWidth, Cardinal thumbHeight);
  Cardinal GetWidth();
  Cardinal GetHeight();
  Status RotateFlip(RotateFlipType rotateFlipType);
  Status GetLastStatus();
  Gdiplus::GpImage* NativeImage() const { return nativeImage; }

 private:
  Status SetStatus(Integer S);
  Gdiplus::GpImage* nativeImage = nullptr;
  Status lastResult = Ok;
  Status loadStatus = Ok;  // kept with the wrapper's fields; no operation reads or writes it
};

class TGPMatrix : public TGdiplusBase {
  DECLARE_CLASS(TGPMatrix, TGdiplusBase)
 public:
  TGPMatrix();
  TGPMatrix(Single m11, Single m12, Single m21, Single m22, Single dx, Single dy);
  TGPMatrix(const TGPRectF& rect, const TGPPointF* dstplg);
  TGPMatrix(const TGPRect& rect, const TGPPoint* dstplg);
  explicit TGPMatrix(Gdiplus::GpMatrix* nativeMatrix);
  ~TGPMatrix() override;
  // Null when GDI+ could not clone it.
  TGPMatrix* Clone();
  Status GetElements(TMatrixArray& m);
  Status SetElements(Single m11, Single m12, Single m21, Single m22, Single dx, Single dy);
  Single OffsetX();
  Single OffsetY();
  Status Reset();
  Status Multiply(TGPMatrix* matrix, MatrixOrder order = MatrixOrderPrepend);
  Status Translate(Single offsetX, Single offsetY, MatrixOrder order = MatrixOrderPrepend);
  Status Scale(Single scaleX, Single scaleY, MatrixOrder order = MatrixOrderPrepend);
  Status Rotate(Single angle, MatrixOrder order = MatrixOrderPrepend);
  Status RotateAt(Single angle, const TGPPointF& center, MatrixOrder order = MatrixOrderPrepend);
  Status Shear(Single shearX, Single shearY, MatrixOrder order = MatrixOrderPrepend);
  Status Invert();
  Status TransformPoints(TGPPointF* pts, Integer count = 1);
  Status TransformPoints(TGPPoint* pts, Integer count = 1);
  Status TransformVectors(TGPPointF* pts, Integer count = 1);
  Status TransformVectors(TGPPoint* pts, Integer count = 1);
  bool IsInvertible();
  bool IsIdentity();
  Status GetLastStatus();
  Gdiplus::GpMatrix* NativeMatrix() const { return nativeMatrix; }

 private:
  Status SetStatus(Integer S);
  Gdiplus::GpMatrix* nativeMatrix = nullptr;
  Status lastResult = Ok;
};

// DrawText's calculate-rectangle flag (DT_CALCRECT).
constexpr Integer GPDT_CALCRECT = 0x400;

class TGPGraphics : public TGdiplusBase {
  DECLARE_CLASS(TGPGraphics, TGdiplusBase)
 public:
  explicit TGPGraphics(HDC hdc);
  explicit TGPGraphics(TGPImage* image);
  ~TGPGraphics() override;
  // A graphics drawing into the image; the caller frees it.
  static TGPGraphics* FromImage(TGPImage* image);
  void Flush(FlushIntention intention = FlushIntentionFlush);
  Status Clear(TGPColor color);
  Status SetTransform(TGPMatrix* matrix);
  Status ResetTransform();
  Status MultiplyTransform(TGPMatrix* matrix, MatrixOrder order = MatrixOrderPrepend);
  Status TranslateTransform(Single dx, Single dy, MatrixOrder order = MatrixOrderPrepend);
  Status ScaleTransform(Single sx, Single sy, MatrixOrder order = MatrixOrderPrepend);
  Status RotateTransform(Single angle, MatrixOrder order = MatrixOrderPrepend);
  HDC GetHDC();
  void ReleaseHDC(HDC hdc);
  Status SetCompositingQuality(CompositingQuality compositingQuality);
  CompositingQuality GetCompositingQuality();
  // A GDI+ font (in points) of the framework font's name, size and style; a family that is not
  // installed gives Arial. The caller frees it.
  TGPFont* MakeFont(TFont* AFont);
  TGPFont* MakeFont(TFont* AFont, Single ASize);
  Integer TextHeight(const String& string_, TFont* font);
  Integer TextWidth(const String& string_, TFont* font);
  // Measures (GPDT_CALCRECT in style, or a background colour) and draws len characters at the
  // rectangle's top left; answers the height of the rectangle.
  Integer DrawText(const String& string_, Integer len, TRect& rect, TFont* font, Integer style, Integer bkColor);
  Status SetTextRenderingHint(TextRenderingHint newMode);
  TextRenderingHint GetTextRenderingHint();
  SmoothingMode GetSmoothingMode();
  Status SetSmoothingMode(SmoothingMode smoothingMode);
  Status DrawPath(TGPPen* pen, TGPGraphicsPath* path);
  Status FillRectangle(TGPBrush* brush, const TGPRectF& rect);
  Status FillRectangle(TGPBrush* brush, Single x, Single y, Single width, Single height);
  Status DrawString(const String& string_, Integer length, TGPFont* font, const TGPRectF& layoutRect,
                    TGPStringFormat* stringFormat, TGPBrush* brush);
  Status DrawString(const String& string_, Integer length, TGPFont* font, const TGPRectF& layoutRect, TGPBrush* brush);
  Status DrawString(const String& string_, Integer length, TGPFont* font, const TGPPointF& origin, TGPBrush* brush);
  Status DrawString(const String& string_, Integer length, TGPFont* font, const TGPPointF& origin,
                    TGPStringFormat* stringFormat, TGPBrush* brush);
  Status MeasureString(const String& string_, Integer length, TGPFont* font, const TGPRectF& layoutRect,
                       TGPStringFormat* stringFormat, TGPRectF& boundingBox, Integer* codepointsFitted = nullptr,
                       Integer* linesFilled = nullptr);
  Status MeasureString(const String& string_, Integer length, TGPFont* font, const TGPRectF& layoutRect,
                       TGPRectF& boundingBox);
  Status MeasureString(const String& string_, Integer length, TGPFont* font, const TGPPointF& origin,
                       TGPStringFormat* stringFormat, TGPRectF& boundingBox);
  Status GetLastStatus();
  Status DrawRectangle(TGPPen* pen, const TGPRectF& rect);
  Status DrawRectangle(TGPPen* pen, Single x, Single y, Single width, Single height);
  Status DrawLine(TGPPen* pen, Single x1, Single y1, Single x2, Single y2);
  Status DrawArc(TGPPen* pen, Single x, Single y, Single width, Single height, Single startAngle, Single sweepAngle);
  Status DrawArc(TGPPen* pen, const TGPRectF& rect, Single startAngle, Single sweepAngle);
  Status DrawBezier(TGPPen* pen, Single x1, Single y1, Single x2, Single y2, Single x3, Single y3, Single x4, Single y4);
  Status DrawBezier(TGPPen* pen, const TGPPointF& pt1, const TGPPointF& pt2, const TGPPointF& pt3, const TGPPointF& pt4);
  Status DrawBeziers(TGPPen* pen, const TGPPointF* points, Integer count);
  Status DrawEllipse(TGPPen* pen, const TGPRectF& rect);
  Status DrawEllipse(TGPPen* pen, Single x, Single y, Single width, Single height);
  Status DrawEllipse(TGPPen* pen, const TGPRect& rect);
  Status DrawEllipse(TGPPen* pen, Integer x, Integer y, Integer width, Integer height);
  Status DrawImage(TGPImage* image, Integer x, Integer y);
  Status DrawImage(TGPImage* image, Single x, Single y, Single width, Single height);
  Status DrawImage(TGPImage* image, const TGPRectF& destRect, Single srcx, Single srcy, Single srcwidth,
                   Single srcheight, Unit srcUnit, TGPImageAttributes* imageAttributes = nullptr,
                   void* callback = nullptr, void* callbackData = nullptr);
  Status DrawImageRect(TGPImage* image, Integer x, Integer y, Integer w, Integer h);
  Status DrawImageRect(TGPImage* image, const TGPRectF& rect);
  Status FillPolygon(TGPBrush* brush, const TGPPointF* points, Integer count);
  Status FillPolygon(TGPBrush* brush, const TGPPointF* points, Integer count, FillMode fillMode);
  Status FillPolygon(TGPBrush* brush, const TGPPoint* points, Integer count);
  Status FillPolygon(TGPBrush* brush, const TGPPoint* points, Integer count, FillMode fillMode);
  Status FillPath(TGPBrush* brush, TGPGraphicsPath* path);
  Status FillEllipse(TGPBrush* brush, const TGPRectF& rect);
  Status FillEllipse(TGPBrush* brush, Single x, Single y, Single width, Single height);
  Status FillEllipse(TGPBrush* brush, const TGPRect& rect);
  Status FillEllipse(TGPBrush* brush, Integer x, Integer y, Integer width, Integer height);
  Status ExcludeClip(const TGPRectF& rect);
  Status ExcludeClip(TGPRegion* region);
  Status SetClip(TGPRegion* region, CombineMode combineMode = CombineModeReplace);
  Status SetClip(TGPGraphicsPath* path, CombineMode combineMode = CombineModeReplace);
  Status ResetClip();
  Gdiplus::GpGraphics* NativeGraphics() const { return nativeGraphics; }

 private:
  Status SetStatus(Integer S);
  Gdiplus::GpGraphics* nativeGraphics = nullptr;
  Status lastResult = Ok;
};

// ---- Free routines ----

// A framework colour (system colours too) as opaque ARGB.
TGPColor ColorToARGB(Integer Color);
TGPRectF MakeRectF(Single x, Single y, Single width, Single height);
bool IsWindowsVistaOrLater();
