#include "framework/PngImage.h"

#include <algorithm>

#include "framework/WinApi.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/GdiPlusCodec.h"
#include "framework/graphics/StreamIO.h"

using namespace fw_graphics;

namespace {

const Byte Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

Cardinal GetBE(const Byte* P) { return Cardinal(P[0]) << 24 | Cardinal(P[1]) << 16 | Cardinal(P[2]) << 8 | P[3]; }

// Walks the chunks up to IEND, checking each against the data; the length of the file.
size_t CheckChunks(const Byte* D, size_t N) {
  const wchar_t* Fmt = L"PNG";
  if (N < 8 || std::memcmp(D, Signature, 8) != 0) InvalidGraphic(Fmt, L"it does not start with the PNG signature");
  size_t Pos = 8;
  bool First = true;
  size_t Pixels = 0, Compressed = 0;
  for (;;) {
    if (N - Pos < 12) InvalidGraphic(Fmt, L"the data ends too early");
    size_t Len = GetBE(D + Pos);
    if (Len > N - Pos - 12) InvalidGraphic(Fmt, L"the data ends too early");
    const Byte* Type = D + Pos + 4;
    if (First) {
      if (std::memcmp(Type, "IHDR", 4) != 0 || Len < 13) InvalidGraphic(Fmt, L"the header chunk is missing");
      Cardinal W = GetBE(D + Pos + 8), H = GetBE(D + Pos + 12);
      if (W == 0 || H == 0 || W > 65536 || H > 65536 || size_t(W) * H > (size_t(1) << 28))
        InvalidGraphic(Fmt, L"the size is not valid");
      Pixels = size_t(W) * H;
      First = false;
    }
    if (std::memcmp(Type, "IDAT", 4) == 0) Compressed += Len;
    Pos += 12 + Len;
    if (std::memcmp(Type, "IEND", 4) == 0) {
      // Deflate shrinks at most about 1,000 to 1: a size the image data cannot hold is refused
      // before the decoder allocates for it.
      if (Pixels / 8 > (Compressed + 64) * 1032) InvalidGraphic(Fmt, L"the size is larger than the image data holds");
      return Pos;
    }
  }
}

Cardinal Premultiply(Cardinal P) {
  Cardinal A = P >> 24;
  if (A == 255) return P;
  return (A << 24) | (((P >> 16) & 0xFF) * A / 255) << 16 | (((P >> 8) & 0xFF) * A / 255) << 8 | ((P & 0xFF) * A / 255);
}

}  // namespace

TPngImage::TPngImage() = default;
TPngImage::~TPngImage() = default;

bool TPngImage::CanLoadFromData(const Byte* Data, size_t Size) { return Size >= 8 && std::memcmp(Data, Signature, 8) == 0; }

TPNGTransparencyMode TPngImage::GetTransparencyMode() const {
  TPNGTransparencyMode M = ptmNone;
  for (Cardinal P : FPixels) {
    Cardinal A = P >> 24;
    if (A != 255) {
      if (A != 0) return ptmPartial;
      M = ptmBit;
    }
  }
  return M;
}

void TPngImage::SetPixels(Integer AWidth, Integer AHeight, std::vector<Cardinal> Pixels) {
  FWidth = AWidth;
  FHeight = AHeight;
  FPixels = std::move(Pixels);
  FRendered.reset();
}

TBitmap* TPngImage::Rendered() {
  if (!FRendered && !FPixels.empty()) {
    std::vector<Cardinal> P(FPixels);
    for (auto& C : P) C = Premultiply(C);
    FRendered = std::make_unique<TBitmap>();
    FRendered->SetPixelsBGRA(FWidth, FHeight, P.data(), afPremultiplied);
  }
  return FRendered.get();
}

void TPngImage::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (TBitmap* B = Rendered()) ACanvas->StretchDraw(Rect, B);
}

void TPngImage::LoadFromStream(TStream* Stream) {
  Int64 Start;
  TBytes Data = ReadToEnd(Stream, Start);
  FData.clear();
  SetPixels(0, 0, {});
  try {
    size_t Used = CheckChunks(Data.data(), Data.size());
    Data.resize(Used);
    Integer W, H;
    std::vector<Cardinal> P;
    if (!GdiPlusDecode(Data.data(), Data.size(), W, H, P)) InvalidGraphic(L"PNG", L"the image data cannot be decoded");
    SetPixels(W, H, std::move(P));
    FData = std::move(Data);
    SetStreamPosition(Stream, Start + Int64(Used));
  } catch (...) {
    Changed(this);
    throw;
  }
  Changed(this);
}

void TPngImage::SaveToStream(TStream* Stream) {
  if (FPixels.empty()) return;
  if (FData.empty()) FData = GdiPlusEncode(L"image/png", FWidth, FHeight, FPixels.data());
  WriteBytes(Stream, FData);
}

void TPngImage::SetSize(Integer AWidth, Integer AHeight) {
  AWidth = std::max(0, AWidth);
  AHeight = std::max(0, AHeight);
  if (AWidth == FWidth && AHeight == FHeight) return;
  std::vector<Cardinal> P(size_t(AWidth) * AHeight, 0);
  for (Integer Y = 0; Y < std::min(AHeight, FHeight); ++Y)
    for (Integer X = 0; X < std::min(AWidth, FWidth); ++X) P[size_t(Y) * AWidth + X] = FPixels[size_t(Y) * FWidth + X];
  FData.clear();
  if (AWidth == 0 || AHeight == 0) P.clear();
  SetPixels(AWidth, AHeight, std::move(P));
  Changed(this);
}

void TPngImage::Assign(TPersistent* Source) {
  if (!Source) {
    FData.clear();
    SetPixels(0, 0, {});
    Changed(this);
    return;
  }
  if (auto* P = dynamic_cast<TPngImage*>(Source)) {
    if (P == this) return;
    FData = P->FData;
    SetPixels(P->FWidth, P->FHeight, P->FPixels);
    Changed(this);
    return;
  }
  if (auto* B = dynamic_cast<TBitmap*>(Source)) {
    auto Pixels = B->GetPixelsBGRA();
    bool Alpha = B->GetPixelFormat() == pf32bit && B->GetAlphaFormat() != afIgnored;
    if (Alpha && B->GetAlphaFormat() == afPremultiplied) {
      for (auto& C : Pixels) {
        Cardinal A = C >> 24;
        if (A && A != 255) {
          auto U = [A](Cardinal V) { return std::min<Cardinal>(255, (V * 255 + A / 2) / A); };
          C = (A << 24) | U((C >> 16) & 0xFF) << 16 | U((C >> 8) & 0xFF) << 8 | U(C & 0xFF);
        }
      }
    } else if (!Alpha) {
      Cardinal Key = 0;
      bool Keyed = B->GetTransparent() && !B->GetEmpty();
      if (Keyed) {
        Cardinal K = ColorToRGB(B->GetTransparentColor());
        Key = ((K & 0xFF) << 16) | (K & 0xFF00) | ((K >> 16) & 0xFF);
      }
      for (auto& C : Pixels) C = Keyed && (C & 0xFFFFFF) == Key ? 0 : (C | 0xFF000000);
    }
    FData.clear();
    SetPixels(B->GetWidth(), B->GetHeight(), std::move(Pixels));
    Changed(this);
    return;
  }
  inherited::Assign(Source);
}

void TPngImage::AssignTo(TPersistent* Dest) {
  if (auto* B = dynamic_cast<TBitmap*>(Dest)) {
    B->SetPixelsBGRA(FWidth, FHeight, FPixels.data(), GetTransparencyMode() == ptmNone ? afIgnored : afDefined);
    return;
  }
  inherited::AssignTo(Dest);
}
