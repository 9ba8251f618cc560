#include "framework/graphics/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "framework/WinApi.h"
#include "framework/graphics/StreamIO.h"

using namespace fw_graphics;

namespace {

const size_t MaxPixels = size_t(1) << 28;  // 1 GB of 32-bit pixels: anything larger is damage

Integer StrideOf(Integer Width, Integer BitCount) { return ((Width * BitCount + 31) / 32) * 4; }

std::vector<Cardinal> DefaultColors(Integer BitCount) {
  if (BitCount == 1) return {0x000000, 0xFFFFFF};
  static const Cardinal Vga[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                                   0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  std::vector<Cardinal> C(Vga, Vga + 16);
  if (BitCount == 4) return C;
  for (int R = 0; R < 6; ++R)
    for (int G = 0; G < 6; ++G)
      for (int B = 0; B < 6; ++B) C.push_back(Cardinal((R * 51) << 16 | (G * 51) << 8 | (B * 51)));
  for (int I = 0; C.size() < 256; ++I) {
    Cardinal V = Cardinal(8 + I * 10);
    C.push_back(V << 16 | V << 8 | V);
  }
  return C;
}

struct TBitmapInfoBuffer {
  std::vector<Byte> Bytes;
  BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(Bytes.data()); }
};

TBitmapInfoBuffer MakeInfo(Integer Width, Integer Height, Integer BitCount, const std::vector<Cardinal>& Colors, bool Is565) {
  size_t Entries = BitCount <= 8 ? (size_t(1) << BitCount) : (Is565 ? 3 : 0);
  TBitmapInfoBuffer B;
  B.Bytes.assign(sizeof(BITMAPINFOHEADER) + Entries * 4, 0);
  auto* H = &B.Info()->bmiHeader;
  H->biSize = sizeof(BITMAPINFOHEADER);
  H->biWidth = Width;
  H->biHeight = Height;
  H->biPlanes = 1;
  H->biBitCount = WORD(BitCount);
  H->biCompression = Is565 ? BI_BITFIELDS : BI_RGB;
  H->biSizeImage = DWORD(StrideOf(Width, BitCount)) * DWORD(Height);
  auto* Table = reinterpret_cast<Cardinal*>(B.Bytes.data() + sizeof(BITMAPINFOHEADER));
  if (BitCount <= 8) {
    H->biClrUsed = DWORD(Entries);
    for (size_t I = 0; I < Entries && I < Colors.size(); ++I) Table[I] = Colors[I] & 0xFFFFFF;
  } else if (Is565) {
    Table[0] = 0xF800;
    Table[1] = 0x07E0;
    Table[2] = 0x001F;
  }
  return B;
}

// A memory DC with one bitmap selected, for the length of a scope.
struct TMemDC {
  HDC DC;
  HGDIOBJ Old;
  explicit TMemDC(HBITMAP B) : DC(CreateCompatibleDC(nullptr)), Old(SelectObject(DC, B)) {}
  ~TMemDC() {
    SelectObject(DC, Old);
    DeleteDC(DC);
  }
  TMemDC(const TMemDC&) = delete;
  TMemDC& operator=(const TMemDC&) = delete;
};

// A bitmap handle deleted at the end of a scope.
struct TBitmapHolder {
  HBITMAP H = nullptr;
  ~TBitmapHolder() {
    if (H) DeleteObject(H);
  }
};

HBITMAP CreateDIB32(Integer Width, Integer Height, const Cardinal* TopDownPixels, void** BitsOut = nullptr) {
  BITMAPINFO BI{};
  BI.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  BI.bmiHeader.biWidth = Width;
  BI.bmiHeader.biHeight = -Height;
  BI.bmiHeader.biPlanes = 1;
  BI.bmiHeader.biBitCount = 32;
  void* Bits = nullptr;
  HBITMAP H = CreateDIBSection(nullptr, &BI, DIB_RGB_COLORS, &Bits, nullptr, 0);
  if (!H) throw EOutOfResources(L"Out of system resources");
  if (TopDownPixels) std::memcpy(Bits, TopDownPixels, size_t(Width) * Height * 4);
  if (BitsOut) *BitsOut = Bits;
  return H;
}

Cardinal Premultiply(Cardinal P) {
  Cardinal A = P >> 24;
  if (A == 255) return P;
  Cardinal B = (P & 0xFF) * A / 255, G = ((P >> 8) & 0xFF) * A / 255, R = ((P >> 16) & 0xFF) * A / 255;
  return (A << 24) | (R << 16) | (G << 8) | B;
}

Cardinal Unpremultiply(Cardinal P) {
  Cardinal A = P >> 24;
  if (A == 255 || A == 0) return P;
  auto U = [A](Cardinal C) { return std::min<Cardinal>(255, (C * 255 + A / 2) / A); };
  return (A << 24) | (U((P >> 16) & 0xFF) << 16) | (U((P >> 8) & 0xFF) << 8) | U(P & 0xFF);
}

Byte Expand5(Cardinal V) { return Byte((V << 3) | (V >> 2)); }
Byte Expand6(Cardinal V) { return Byte((V << 2) | (V >> 4)); }

// One channel of a bit-field pixel, scaled to eight bits.
Byte MaskChannel(Cardinal V, Cardinal Mask) {
  if (!Mask) return 0;
  int Shift = 0;
  while (!((Mask >> Shift) & 1)) ++Shift;
  Cardinal M = Mask >> Shift;
  int Bits = 0;
  while (Bits < 32 && ((M >> Bits) & 1)) ++Bits;  // a full 32-bit mask must not shift by 32
  Cardinal C = (V & Mask) >> Shift;
  if (Bits >= 8) return Byte(C >> (Bits - 8));
  return Byte(C * 255 / M);
}

TColor BGRAToColor(Cardinal P) { return TColor(((P >> 16) & 0xFF) | (P & 0xFF00) | ((P & 0xFF) << 16)); }

}  // namespace

// ---- The bitmap's canvas ----------------------------------------------------------------------

class TBitmapCanvas : public TCanvas {
  DECLARE_CLASS(TBitmapCanvas, TCanvas)
 public:
  explicit TBitmapCanvas(TBitmap* Bitmap) : FBitmap(Bitmap) {}
  ~TBitmapCanvas() override { FreeContext(); }
  void FreeContext() {
    if (!FHandle) return;
    HDC DC = FHandle;
    SetHandle(nullptr);
    if (FOldBitmap) SelectObject(DC, FOldBitmap);
    DeleteDC(DC);
    FOldBitmap = nullptr;
  }
  HDC DC() {
    RequiredState({csHandleValid});
    return FHandle;
  }

 protected:
  void CreateHandle() override {
    HDC DC = CreateCompatibleDC(nullptr);
    FOldBitmap = FBitmap->FHandle ? SelectObject(DC, FBitmap->FHandle) : nullptr;
    SetHandle(DC);
  }

 private:
  TBitmap* FBitmap;
  HGDIOBJ FOldBitmap = nullptr;
};

// ---- TBitmap ----------------------------------------------------------------------------------

TBitmap::TBitmap() = default;

TBitmap::TBitmap(Integer AWidth, Integer AHeight) { SetSize(AWidth, AHeight); }

TBitmap::~TBitmap() {
  FCanvas.reset();
  FreeImage();
  if (FMaskHandle) DeleteObject(FMaskHandle);
  if (FPalette) DeleteObject(FPalette);
}

Integer TBitmap::Stride() const { return StrideOf(FWidth, FBitCount); }

void TBitmap::FreeContext() {
  if (FCanvas) static_cast<TBitmapCanvas*>(FCanvas.get())->FreeContext();
}

void TBitmap::FreeImage() {
  FreeContext();
  if (FHandle) DeleteObject(FHandle);
  FHandle = nullptr;
  FBits = nullptr;
  if (FMaskHandle) DeleteObject(FMaskHandle);
  FMaskHandle = nullptr;
  if (FPalette) DeleteObject(FPalette);
  FPalette = nullptr;
}

void TBitmap::NewImage(Integer AWidth, Integer AHeight, Integer BitCount, const std::vector<Cardinal>& Colors, bool Is565) {
  FreeImage();
  FWidth = std::max(0, AWidth);
  FHeight = std::max(0, AHeight);
  FBitCount = BitCount;
  F565 = BitCount == 16 && Is565;
  FColors = BitCount <= 8 ? (Colors.empty() ? DefaultColors(BitCount) : Colors) : std::vector<Cardinal>();
  if (BitCount <= 8) FColors.resize(size_t(1) << BitCount, 0);
  if (FWidth == 0 || FHeight == 0) return;
  if (size_t(FWidth) * size_t(FHeight) > MaxPixels) throw EOutOfResources(L"Out of system resources");
  auto Info = MakeInfo(FWidth, FHeight, FBitCount, FColors, F565);
  void* Bits = nullptr;
  FHandle = CreateDIBSection(nullptr, Info.Info(), DIB_RGB_COLORS, &Bits, nullptr, 0);
  if (!FHandle) throw EOutOfResources(L"Out of system resources");
  FBits = static_cast<Byte*>(Bits);
}

HDC TBitmap::SourceDC() { return static_cast<TBitmapCanvas*>(GetCanvas())->DC(); }

TCanvas* TBitmap::GetCanvas() {
  if (!FCanvas) {
    FCanvas = std::make_unique<TBitmapCanvas>(this);
    FCanvas->SetOnChange({this, &TBitmap::CanvasChanged});
  }
  return FCanvas.get();
}

void TBitmap::CanvasChanged(TObject*) { Changed(this); }

void TBitmap::Changed(TObject* Sender) {
  if (FMaskHandle) DeleteObject(FMaskHandle);
  FMaskHandle = nullptr;
  inherited::Changed(Sender);
}

std::vector<Cardinal> TBitmap::GetPixelsBGRA() {
  std::vector<Cardinal> Out;
  if (!FHandle) return Out;
  GdiFlush();
  Out.resize(size_t(FWidth) * FHeight);
  Integer S = Stride();
  for (Integer Y = 0; Y < FHeight; ++Y) {
    const Byte* Row = FBits + size_t(FHeight - 1 - Y) * S;
    Cardinal* D = Out.data() + size_t(Y) * FWidth;
    for (Integer X = 0; X < FWidth; ++X) {
      Cardinal P;
      switch (FBitCount) {
        case 1: P = FColors[(Row[X >> 3] >> (7 - (X & 7))) & 1] | 0xFF000000; break;
        case 4: P = FColors[(X & 1) ? (Row[X >> 1] & 15) : (Row[X >> 1] >> 4)] | 0xFF000000; break;
        case 8: P = FColors[Row[X]] | 0xFF000000; break;
        case 16: {
          Cardinal V = GetWord(Row + 2 * X);
          if (F565) P = 0xFF000000 | Expand5((V >> 11) & 31) << 16 | Expand6((V >> 5) & 63) << 8 | Expand5(V & 31);
          else P = 0xFF000000 | Expand5((V >> 10) & 31) << 16 | Expand5((V >> 5) & 31) << 8 | Expand5(V & 31);
          break;
        }
        case 24: P = 0xFF000000 | Cardinal(Row[3 * X + 2]) << 16 | Cardinal(Row[3 * X + 1]) << 8 | Row[3 * X]; break;
        default: P = GetDWord(Row + 4 * X);
      }
      D[X] = P;
    }
  }
  return Out;
}

namespace {
// The palette entry nearest to a colour, remembered per colour.
struct TNearest {
  const std::vector<Cardinal>& Colors;
  std::map<Cardinal, Byte> Cache;
  Byte operator()(Cardinal P) {
    P &= 0xFFFFFF;
    auto It = Cache.find(P);
    if (It != Cache.end()) return It->second;
    int Best = 0;
    long BestD = 0x7FFFFFFF;
    for (size_t I = 0; I < Colors.size(); ++I) {
      long DR = long((P >> 16) & 255) - long((Colors[I] >> 16) & 255);
      long DG = long((P >> 8) & 255) - long((Colors[I] >> 8) & 255);
      long DB = long(P & 255) - long(Colors[I] & 255);
      long D = DR * DR + DG * DG + DB * DB;
      if (D < BestD) BestD = D, Best = int(I);
    }
    return Cache[P] = Byte(Best);
  }
};

void WritePixels(Byte* Bits, Integer Width, Integer Height, Integer BitCount, bool Is565,
                 const std::vector<Cardinal>& Colors, const Cardinal* Src) {
  GdiFlush();
  Integer S = StrideOf(Width, BitCount);
  TNearest Nearest{Colors, {}};
  for (Integer Y = 0; Y < Height; ++Y) {
    Byte* Row = Bits + size_t(Height - 1 - Y) * S;
    const Cardinal* P = Src + size_t(Y) * Width;
    if (BitCount == 32) {
      std::memcpy(Row, P, size_t(Width) * 4);
      continue;
    }
    if (BitCount <= 8) std::memset(Row, 0, S);
    for (Integer X = 0; X < Width; ++X) {
      Cardinal C = P[X], R = (C >> 16) & 255, G = (C >> 8) & 255, B = C & 255;
      switch (BitCount) {
        case 1: Row[X >> 3] |= Byte(Nearest(C) << (7 - (X & 7))); break;
        case 4: Row[X >> 1] |= Byte((X & 1) ? Nearest(C) : Nearest(C) << 4); break;
        case 8: Row[X] = Nearest(C); break;
        case 16: {
          Word V = Is565 ? Word((R >> 3) << 11 | (G >> 2) << 5 | (B >> 3)) : Word((R >> 3) << 10 | (G >> 3) << 5 | (B >> 3));
          Row[2 * X] = Byte(V);
          Row[2 * X + 1] = Byte(V >> 8);
          break;
        }
        default:
          Row[3 * X] = Byte(B);
          Row[3 * X + 1] = Byte(G);
          Row[3 * X + 2] = Byte(R);
      }
    }
  }
}
}  // namespace

void TBitmap::SetPixelsBGRA(Integer AWidth, Integer AHeight, const Cardinal* Pixels, TAlphaFormat AFormat) {
  NewImage(AWidth, AHeight, 32, {}, false);
  if (FHandle) WritePixels(FBits, FWidth, FHeight, 32, false, FColors, Pixels);
  FPixelFormat = pf32bit;
  FAlphaFormat = AFormat;
  Changed(this);
}

void TBitmap::SetSize(Integer AWidth, Integer AHeight) {
  AWidth = std::max(0, AWidth);
  AHeight = std::max(0, AHeight);
  if (AWidth == FWidth && AHeight == FHeight) return;
  std::vector<Cardinal> Old = GetPixelsBGRA();
  Integer OldW = FWidth, OldH = FHeight;
  auto Colors = FColors;
  NewImage(AWidth, AHeight, FBitCount, Colors, F565);
  if (FHandle) {
    // The old picture stays at the top left; new parts are white.
    std::vector<Cardinal> P(size_t(FWidth) * FHeight, FBitCount == 32 ? 0x00FFFFFF : 0xFFFFFFFF);
    for (Integer Y = 0; Y < std::min(OldH, FHeight); ++Y)
      for (Integer X = 0; X < std::min(OldW, FWidth); ++X) P[size_t(Y) * FWidth + X] = Old[size_t(Y) * OldW + X];
    WritePixels(FBits, FWidth, FHeight, FBitCount, F565, FColors, P.data());
  }
  Changed(this);
}

void* TBitmap::GetScanLine(Integer Row) {
  if (!FHandle || Row < 0 || Row >= FHeight) throw EInvalidGraphicOperation(L"Scan line index out of range");
  GdiFlush();
  return FBits + size_t(FHeight - 1 - Row) * Stride();
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  static const Integer Counts[] = {32, 1, 4, 8, 16, 16, 24, 32, 32};
  if (Value == pfCustom) throw EInvalidGraphic(L"Invalid pixel format");
  Integer Count = Counts[Value];
  bool Is565 = Value == pf16bit;
  if (Count == FBitCount && (Count != 16 || Is565 == F565)) {
    FPixelFormat = Value;
    return;
  }
  std::vector<Cardinal> Old = GetPixelsBGRA();
  NewImage(FWidth, FHeight, Count, {}, Is565);
  if (FHandle) WritePixels(FBits, FWidth, FHeight, FBitCount, F565, FColors, Old.data());
  FPixelFormat = Value;
  Changed(this);
}

void TBitmap::SetAlphaFormat(TAlphaFormat Value) {
  if (Value == FAlphaFormat) return;
  if (FHandle && FBitCount == 32 &&
      ((FAlphaFormat == afDefined && Value == afPremultiplied) || (FAlphaFormat == afPremultiplied && Value == afDefined))) {
    GdiFlush();
    auto* P = reinterpret_cast<Cardinal*>(FBits);
    size_t N = size_t(FWidth) * FHeight;
    for (size_t I = 0; I < N; ++I) P[I] = Value == afPremultiplied ? Premultiply(P[I]) : Unpremultiply(P[I]);
  }
  FAlphaFormat = Value;
  Changed(this);
}

bool TBitmap::SupportsPartialTransparency() { return FBitCount == 32 && FAlphaFormat != afIgnored; }

void TBitmap::SetMonochrome(bool Value) {
  if (Value == GetMonochrome()) return;
  SetPixelFormat(Value ? pf1bit : pfDevice);
}

TColor TBitmap::GetTransparentColor() {
  if (FTransparentMode == tmFixed) return FTransparentColor;
  if (!FHandle) return clDefault;
  GdiFlush();
  // The bottom-left pixel: the first stored row.
  auto P = GetPixelsBGRA();
  return BGRAToColor(P[size_t(FHeight - 1) * FWidth]);
}

void TBitmap::SetTransparentColor(TColor Value) {
  if (Value == FTransparentColor && FTransparentMode == (Value == clDefault ? tmAuto : tmFixed)) return;
  FTransparentColor = Value;
  FTransparentMode = Value == clDefault ? tmAuto : tmFixed;
  Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode Value) {
  if (Value == FTransparentMode) return;
  if (Value == tmAuto) FTransparentColor = clDefault;
  else if (FTransparentColor == clDefault) FTransparentColor = GetTransparentColor();
  FTransparentMode = Value;
  Changed(this);
}

HBITMAP TBitmap::GetMaskHandle() {
  if (FMaskHandle || !FHandle) return FMaskHandle;
  Cardinal Key = ColorToRGB(GetTransparentColor());
  Cardinal KeyBGR = ((Key & 0xFF) << 16) | (Key & 0xFF00) | ((Key >> 16) & 0xFF);
  auto P = GetPixelsBGRA();
  auto Info = MakeInfo(FWidth, FHeight, 1, {0x000000, 0xFFFFFF}, false);
  void* Bits = nullptr;
  HBITMAP M = CreateDIBSection(nullptr, Info.Info(), DIB_RGB_COLORS, &Bits, nullptr, 0);
  if (!M) throw EOutOfResources(L"Out of system resources");
  Integer S = StrideOf(FWidth, 1);
  auto* B = static_cast<Byte*>(Bits);
  std::memset(B, 0, size_t(S) * FHeight);
  for (Integer Y = 0; Y < FHeight; ++Y)
    for (Integer X = 0; X < FWidth; ++X)
      if ((P[size_t(Y) * FWidth + X] & 0xFFFFFF) == KeyBGR) B[size_t(FHeight - 1 - Y) * S + (X >> 3)] |= Byte(0x80 >> (X & 7));
  FMaskHandle = M;
  return FMaskHandle;
}

HBITMAP TBitmap::ReleaseMaskHandle() {
  HBITMAP M = GetMaskHandle();
  FMaskHandle = nullptr;
  return M;
}

void TBitmap::Mask(TColor TransparentColor) {
  if (!FHandle) return;
  Cardinal Key = ColorToRGB(TransparentColor);
  Cardinal KeyBGR = ((Key & 0xFF) << 16) | (Key & 0xFF00) | ((Key >> 16) & 0xFF);
  auto P = GetPixelsBGRA();
  for (auto& C : P) C = (C & 0xFFFFFF) == KeyBGR ? 0xFFFFFFFF : 0xFF000000;
  NewImage(FWidth, FHeight, 1, {0x000000, 0xFFFFFF}, false);
  WritePixels(FBits, FWidth, FHeight, 1, false, FColors, P.data());
  FPixelFormat = pf1bit;
  Changed(this);
}

HPALETTE TBitmap::GetPalette() {
  if (FBitCount > 8 || !FHandle) return nullptr;
  if (!FPalette) {
    std::vector<Byte> Buf(sizeof(LOGPALETTE) + FColors.size() * sizeof(PALETTEENTRY));
    auto* LP = reinterpret_cast<LOGPALETTE*>(Buf.data());
    LP->palVersion = 0x300;
    LP->palNumEntries = WORD(FColors.size());
    for (size_t I = 0; I < FColors.size(); ++I)
      LP->palPalEntry[I] = {BYTE(FColors[I] >> 16), BYTE(FColors[I] >> 8), BYTE(FColors[I]), 0};
    FPalette = CreatePalette(LP);
  }
  return FPalette;
}

void TBitmap::SetPalette(HPALETTE Value) {
  if (!Value || FBitCount > 8 || !FHandle) return;
  PALETTEENTRY E[256];
  UINT N = GetPaletteEntries(Value, 0, UINT(FColors.size()), E);
  for (UINT I = 0; I < N; ++I) FColors[I] = Cardinal(E[I].peRed) << 16 | Cardinal(E[I].peGreen) << 8 | E[I].peBlue;
  SetDIBColorTable(SourceDC(), 0, UINT(FColors.size()), reinterpret_cast<const RGBQUAD*>(FColors.data()));
  if (FPalette) DeleteObject(FPalette);
  FPalette = Value;  // the bitmap owns the palette it is given
  Changed(this);
}

void TBitmap::Assign(TPersistent* Source) {
  if (!Source) {
    FreeImage();
    FWidth = FHeight = 0;
    Changed(this);
    return;
  }
  if (auto* B = dynamic_cast<TBitmap*>(Source)) {
    if (B == this) return;
    NewImage(B->FWidth, B->FHeight, B->FBitCount, B->FColors, B->F565);
    if (FHandle) {
      GdiFlush();
      std::memcpy(FBits, B->FBits, size_t(Stride()) * FHeight);
    }
    FPixelFormat = B->FPixelFormat;
    FAlphaFormat = B->FAlphaFormat;
    FTransparentColor = B->FTransparentColor;
    FTransparentMode = B->FTransparentMode;
    FIgnorePalette = B->FIgnorePalette;
    SetTransparent(B->GetTransparent());
    Changed(this);
    return;
  }
  inherited::Assign(Source);
}

void TBitmap::SetHandle(HBITMAP Value) {
  if (Value == FHandle) return;
  if (!Value) {
    FreeImage();
    FWidth = FHeight = 0;
    Changed(this);
    return;
  }
  BITMAP BM{};
  if (!GetObjectW(Value, sizeof(BM), &BM)) throw EInvalidGraphic(L"Invalid bitmap handle");
  bool Mono = BM.bmBitsPixel == 1;
  NewImage(BM.bmWidth, BM.bmHeight, Mono ? 1 : 32, {}, false);
  if (FHandle) {
    auto Info = MakeInfo(FWidth, FHeight, FBitCount, FColors, false);
    HDC DC = GetDC(nullptr);
    GetDIBits(DC, Value, 0, FHeight, FBits, Info.Info(), DIB_RGB_COLORS);
    ReleaseDC(nullptr, DC);
  }
  DeleteObject(Value);
  FPixelFormat = Mono ? pf1bit : pfDevice;
  Changed(this);
}

HBITMAP TBitmap::ReleaseHandle() {
  if (!FHandle) return nullptr;
  FreeContext();
  HBITMAP Result = FHandle;
  // Keep a copy of the pixels: the caller now owns the handle.
  std::vector<Byte> Bits(FBits, FBits + size_t(Stride()) * FHeight);
  FHandle = nullptr;
  FBits = nullptr;
  NewImage(FWidth, FHeight, FBitCount, FColors, F565);
  std::memcpy(FBits, Bits.data(), Bits.size());
  return Result;
}

// ---- Drawing ----------------------------------------------------------------------------------

void TBitmap::Draw(TCanvas* ACanvas, const TRect& R) {
  if (!FHandle) return;
  HDC Dest = ACanvas->GetHandle();
  HDC Src = SourceDC();
  bool Stretch = R.Width() != FWidth || R.Height() != FHeight;
  int OldMode = Stretch ? SetStretchBltMode(Dest, COLORONCOLOR) : 0;
  if (FBitCount == 32 && FAlphaFormat != afIgnored) {
    BLENDFUNCTION BF{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (FAlphaFormat == afPremultiplied) {
      AlphaBlend(Dest, R.Left, R.Top, R.Width(), R.Height(), Src, 0, 0, FWidth, FHeight, BF);
    } else {
      // AlphaBlend wants premultiplied pixels: blend from a premultiplied copy.
      auto P = GetPixelsBGRA();
      for (auto& C : P) C = Premultiply(C);
      TBitmapHolder Copy{CreateDIB32(FWidth, FHeight, P.data())};
      TMemDC CopyDC(Copy.H);
      AlphaBlend(Dest, R.Left, R.Top, R.Width(), R.Height(), CopyDC.DC, 0, 0, FWidth, FHeight, BF);
    }
  } else if (GetTransparent()) {
    // Dest AND mask, then OR the picture with its transparent pixels blackened.
    HBITMAP MaskBmp = GetMaskHandle();
    Cardinal Key = ColorToRGB(GetTransparentColor());
    Cardinal KeyBGR = ((Key & 0xFF) << 16) | (Key & 0xFF00) | ((Key >> 16) & 0xFF);
    auto P = GetPixelsBGRA();
    for (auto& C : P) C = (C & 0xFFFFFF) == KeyBGR ? 0 : (C | 0xFF000000);
    TBitmapHolder Black{CreateDIB32(FWidth, FHeight, P.data())};
    TMemDC MaskDC(MaskBmp);
    TMemDC BlackDC(Black.H);
    COLORREF OldText = SetTextColor(Dest, RGB(0, 0, 0));
    COLORREF OldBk = SetBkColor(Dest, RGB(255, 255, 255));
    StretchBlt(Dest, R.Left, R.Top, R.Width(), R.Height(), MaskDC.DC, 0, 0, FWidth, FHeight, SRCAND);
    StretchBlt(Dest, R.Left, R.Top, R.Width(), R.Height(), BlackDC.DC, 0, 0, FWidth, FHeight, SRCPAINT);
    SetTextColor(Dest, OldText);
    SetBkColor(Dest, OldBk);
  } else {
    StretchBlt(Dest, R.Left, R.Top, R.Width(), R.Height(), Src, 0, 0, FWidth, FHeight, ACanvas->GetCopyMode());
  }
  if (Stretch) SetStretchBltMode(Dest, OldMode);
}

void TBitmap::DrawTransparent(TCanvas* ACanvas, const TRect& R, Byte Opacity) {
  if (!FHandle) return;
  if (FBitCount == 32 && FAlphaFormat != afIgnored && !GetTransparent()) {
    auto P = GetPixelsBGRA();
    if (FAlphaFormat == afDefined)
      for (auto& C : P) C = Premultiply(C);
    TBitmapHolder Copy{CreateDIB32(FWidth, FHeight, P.data())};
    TMemDC CopyDC(Copy.H);
    BLENDFUNCTION BF{AC_SRC_OVER, 0, Opacity, AC_SRC_ALPHA};
    AlphaBlend(ACanvas->GetHandle(), R.Left, R.Top, R.Width(), R.Height(), CopyDC.DC, 0, 0, FWidth, FHeight, BF);
    return;
  }
  inherited::DrawTransparent(ACanvas, R, Opacity);
}

// ---- BMP files --------------------------------------------------------------------------------

void TBitmap::LoadBMP(const Byte* Data, size_t Size, size_t& Used) {
  const wchar_t* Fmt = L"bitmap";
  if (Size < 14 + 12) InvalidGraphic(Fmt, L"the data ends too early");
  if (Data[0] != 'B' || Data[1] != 'M') InvalidGraphic(Fmt, L"it does not start with \"BM\"");
  size_t OffBits = GetDWord(Data + 10);
  const Byte* H = Data + 14;
  size_t HdrSize = GetDWord(H);
  Integer W, Ht, BitCount;
  Cardinal Compression = BI_RGB, ClrUsed = 0;
  size_t TableEntrySize = 4;
  if (HdrSize == 12) {
    W = GetWord(H + 4);
    Ht = SmallInt(GetWord(H + 6));
    BitCount = GetWord(H + 10);
    TableEntrySize = 3;
  } else if (HdrSize >= 40 && HdrSize <= 1024) {
    if (14 + HdrSize > Size) InvalidGraphic(Fmt, L"the data ends too early");
    W = Integer(GetDWord(H + 4));
    Ht = Integer(GetDWord(H + 8));
    BitCount = GetWord(H + 14);
    Compression = GetDWord(H + 16);
    ClrUsed = GetDWord(H + 32);
  } else {
    InvalidGraphic(Fmt, L"the header is of an unknown kind");
  }
  bool TopDown = Ht < 0;
  Integer AbsH = TopDown ? -Ht : Ht;
  if (W <= 0 || AbsH <= 0 || W > 65536 || AbsH > 65536 || size_t(W) * AbsH > MaxPixels)
    InvalidGraphic(Fmt, L"the size is not valid");
  if (BitCount != 1 && BitCount != 4 && BitCount != 8 && BitCount != 16 && BitCount != 24 && BitCount != 32)
    InvalidGraphic(Fmt, L"the colour depth is not supported");
  if (Compression != BI_RGB && !(Compression == BI_BITFIELDS && (BitCount == 16 || BitCount == 32)))
    InvalidGraphic(Fmt, L"the compression is not supported");
  size_t Pos = 14 + HdrSize;
  Cardinal Masks[3] = {0, 0, 0};
  if (Compression == BI_BITFIELDS) {
    const Byte* M;
    if (HdrSize >= 52) {
      M = H + 40;
    } else {
      if (Pos + 12 > Size) InvalidGraphic(Fmt, L"the data ends too early");
      M = Data + Pos;
      Pos += 12;
    }
    for (int I = 0; I < 3; ++I) Masks[I] = GetDWord(M + 4 * I);
  }
  std::vector<Cardinal> Colors;
  if (BitCount <= 8) {
    size_t N = size_t(1) << BitCount;
    if (ClrUsed && ClrUsed < N) N = ClrUsed;
    if (Pos + N * TableEntrySize > Size) InvalidGraphic(Fmt, L"the data ends too early");
    for (size_t I = 0; I < N; ++I) {
      const Byte* E = Data + Pos + I * TableEntrySize;
      Colors.push_back(Cardinal(E[2]) << 16 | Cardinal(E[1]) << 8 | E[0]);
    }
    Pos += N * TableEntrySize;
  }
  if (OffBits >= Pos && OffBits < Size) Pos = OffBits;
  size_t S = size_t(StrideOf(W, BitCount));
  if (Pos > Size || S * AbsH > Size - Pos) InvalidGraphic(Fmt, L"the data ends too early");
  const Byte* Bits = Data + Pos;
  Used = Pos + S * AbsH;

  auto RowOf = [&](Integer StoredRow) { return Bits + S * size_t(TopDown ? AbsH - 1 - StoredRow : StoredRow); };
  bool Is565 = BitCount == 16 && Compression == BI_BITFIELDS && Masks[0] == 0xF800 && Masks[1] == 0x07E0 && Masks[2] == 0x001F;
  bool Plain = Compression == BI_RGB || Is565 ||
               (BitCount == 16 && Masks[0] == 0x7C00 && Masks[1] == 0x03E0 && Masks[2] == 0x001F) ||
               (BitCount == 32 && Masks[0] == 0xFF0000 && Masks[1] == 0xFF00 && Masks[2] == 0xFF);
  if (Plain) {
    NewImage(W, AbsH, BitCount, Colors, Is565);
    GdiFlush();
    for (Integer Y = 0; Y < AbsH; ++Y) std::memcpy(FBits + S * Y, RowOf(Y), S);
    static const TPixelFormat Formats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf24bit, pf32bit};
    FPixelFormat = BitCount == 16 && Is565 ? pf16bit : Formats[BitCount == 1 ? 0 : BitCount == 4 ? 1 : BitCount == 8 ? 2 : BitCount == 16 ? 3 : BitCount == 24 ? 4 : 5];
  } else {
    // Unusual bit fields: spread each channel into a 32-bit pixel.
    std::vector<Cardinal> P(size_t(W) * AbsH);
    for (Integer Y = 0; Y < AbsH; ++Y) {
      const Byte* Row = RowOf(AbsH - 1 - Y);
      for (Integer X = 0; X < W; ++X) {
        Cardinal V = BitCount == 16 ? GetWord(Row + 2 * X) : GetDWord(Row + 4 * X);
        P[size_t(Y) * W + X] = 0xFF000000 | Cardinal(MaskChannel(V, Masks[0])) << 16 |
                               Cardinal(MaskChannel(V, Masks[1])) << 8 | MaskChannel(V, Masks[2]);
      }
    }
    NewImage(W, AbsH, 32, {}, false);
    WritePixels(FBits, FWidth, FHeight, 32, false, FColors, P.data());
    FPixelFormat = pf32bit;
  }
}

std::vector<Byte> TBitmap::SaveBMP() {
  std::vector<Byte> B;
  if (!FHandle) return B;
  GdiFlush();
  size_t Extra = FBitCount <= 8 ? FColors.size() * 4 : (F565 ? 12 : 0);
  size_t ImageSize = size_t(Stride()) * FHeight;
  size_t Off = 14 + 40 + Extra;
  B.reserve(Off + ImageSize);
  B.push_back('B');
  B.push_back('M');
  PutDWord(B, Cardinal(Off + ImageSize));
  PutDWord(B, 0);
  PutDWord(B, Cardinal(Off));
  PutDWord(B, 40);
  PutDWord(B, Cardinal(FWidth));
  PutDWord(B, Cardinal(FHeight));
  PutWord(B, 1);
  PutWord(B, Word(FBitCount));
  PutDWord(B, F565 ? BI_BITFIELDS : BI_RGB);
  PutDWord(B, Cardinal(ImageSize));
  PutDWord(B, 0);
  PutDWord(B, 0);
  PutDWord(B, FBitCount <= 8 ? Cardinal(FColors.size()) : 0);
  PutDWord(B, 0);
  if (FBitCount <= 8)
    for (Cardinal C : FColors) PutDWord(B, C & 0xFFFFFF);
  else if (F565) {
    PutDWord(B, 0xF800);
    PutDWord(B, 0x07E0);
    PutDWord(B, 0x001F);
  }
  B.insert(B.end(), FBits, FBits + ImageSize);
  return B;
}

void TBitmap::LoadFromStream(TStream* Stream) {
  Int64 Start;
  TBytes Data = ReadToEnd(Stream, Start);
  if (Data.empty()) {
    Assign(nullptr);
    return;
  }
  size_t Used = 0;
  try {
    LoadBMP(Data.data(), Data.size(), Used);
  } catch (...) {
    FreeImage();
    FWidth = FHeight = 0;
    Changed(this);
    throw;
  }
  SetStreamPosition(Stream, Start + Int64(Used));
  Changed(this);
}

void TBitmap::SaveToStream(TStream* Stream) { WriteBytes(Stream, SaveBMP()); }

void TBitmap::ReadData(TStream* Stream) {
  Byte SizeBytes[4];
  if (ReadUpTo(Stream, SizeBytes, 4) != 4) InvalidGraphic(L"bitmap", L"the data ends too early");
  Cardinal Size = GetDWord(SizeBytes);
  if (Size == 0) {
    Assign(nullptr);
    return;
  }
  TBytes Data = ReadExactly(Stream, Size, L"bitmap");
  size_t Used;
  try {
    LoadBMP(Data.data(), Data.size(), Used);
  } catch (...) {
    FreeImage();
    FWidth = FHeight = 0;
    throw;
  }
  Changed(this);
}

void TBitmap::WriteData(TStream* Stream) {
  auto B = SaveBMP();
  TBytes Size;
  PutDWord(Size, Cardinal(B.size()));
  WriteBytes(Stream, Size);
  WriteBytes(Stream, B);
}

namespace {
// A packed DIB (header, colours, bits) as a BMP file, so that one reader serves both.
TBytes DIBToFile(const Byte* Dib, size_t Size) {
  TBytes F;
  F.push_back('B');
  F.push_back('M');
  PutDWord(F, Cardinal(14 + Size));
  PutDWord(F, 0);
  PutDWord(F, 0);  // no offset: the bits follow the colour table
  F.insert(F.end(), Dib, Dib + Size);
  return F;
}
}  // namespace

void TBitmap::LoadFromResourceName(NativeUInt Instance, const String& ResName) {
  HMODULE M = reinterpret_cast<HMODULE>(Instance);
  HRSRC R = FindResourceW(M, ResName.c_str(), MAKEINTRESOURCEW(2));
  HGLOBAL G = R ? LoadResource(M, R) : nullptr;
  const Byte* P = G ? static_cast<const Byte*>(LockResource(G)) : nullptr;
  if (!P) throw EResNotFound(L"Resource " + ResName + L" not found");
  TBytes F = DIBToFile(P, SizeofResource(M, R));
  size_t Used;
  LoadBMP(F.data(), F.size(), Used);
  Changed(this);
}

void TBitmap::LoadFromResourceID(NativeUInt Instance, Integer ResID) {
  HMODULE M = reinterpret_cast<HMODULE>(Instance);
  HRSRC R = FindResourceW(M, MAKEINTRESOURCEW(ResID), MAKEINTRESOURCEW(2));
  HGLOBAL G = R ? LoadResource(M, R) : nullptr;
  const Byte* P = G ? static_cast<const Byte*>(LockResource(G)) : nullptr;
  if (!P) throw EResNotFound(L"Resource " + std::to_wstring(ResID) + L" not found");
  TBytes F = DIBToFile(P, SizeofResource(M, R));
  size_t Used;
  LoadBMP(F.data(), F.size(), Used);
  Changed(this);
}

void TBitmap::LoadFromClipboardFormat(Word AFormat, NativeUInt AData, HPALETTE) {
  if (AFormat == CF_DIB) {
    HGLOBAL G = reinterpret_cast<HGLOBAL>(AData);
    auto* P = static_cast<const Byte*>(GlobalLock(G));
    if (!P) throw EInvalidGraphic(L"Unsupported clipboard format");
    TBytes F;
    try {
      F = DIBToFile(P, GlobalSize(G));
    } catch (...) {
      GlobalUnlock(G);
      throw;
    }
    GlobalUnlock(G);
    size_t Used;
    LoadBMP(F.data(), F.size(), Used);
    Changed(this);
    return;
  }
  if (AFormat != CF_BITMAP || !AData) throw EInvalidGraphic(L"Unsupported clipboard format");
  // The clipboard keeps its bitmap: work on a copy.
  HBITMAP Copy = static_cast<HBITMAP>(CopyImage(reinterpret_cast<HANDLE>(AData), IMAGE_BITMAP, 0, 0, 0));
  if (!Copy) throw EInvalidGraphic(L"Unsupported clipboard format");
  SetHandle(Copy);
}

void TBitmap::SaveToClipboardFormat(Word& AFormat, NativeUInt& AData, HPALETTE& APalette) {
  AFormat = CF_BITMAP;
  AData = FHandle ? reinterpret_cast<NativeUInt>(CopyImage(FHandle, IMAGE_BITMAP, 0, 0, 0)) : 0;
  APalette = nullptr;
}
