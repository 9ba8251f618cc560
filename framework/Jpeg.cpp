#include "framework/Jpeg.h"

#include "framework/WinApi.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/GdiPlusCodec.h"
#include "framework/graphics/StreamIO.h"

using namespace fw_graphics;

namespace {

// Walks the markers to the end of image, checking each length; the length of the file.
size_t CheckMarkers(const Byte* D, size_t N) {
  const wchar_t* Fmt = L"JPEG";
  if (N < 4 || D[0] != 0xFF || D[1] != 0xD8) InvalidGraphic(Fmt, L"it does not start with a JPEG marker");
  size_t Pos = 2;
  for (;;) {
    while (Pos < N && D[Pos] != 0xFF) ++Pos;  // bytes between segments are skipped, as decoders do
    while (Pos < N && D[Pos] == 0xFF) ++Pos;
    if (Pos >= N) InvalidGraphic(Fmt, L"the data ends too early");
    Byte M = D[Pos++];
    if (M == 0xD9) return Pos;
    if (M == 0x01 || (M >= 0xD0 && M <= 0xD7)) continue;
    if (N - Pos < 2) InvalidGraphic(Fmt, L"the data ends too early");
    size_t Len = GetWord(D + Pos);
    Len = (Len >> 8) | ((Len & 0xFF) << 8);
    if (Len < 2 || Len > N - Pos) InvalidGraphic(Fmt, L"the data ends too early");
    if (M >= 0xC0 && M <= 0xCF && M != 0xC4 && M != 0xC8 && M != 0xCC) {
      // A frame header: precision, height, width (big-endian); the decoder sizes its buffers by it.
      if (Len < 8) InvalidGraphic(Fmt, L"the frame header is damaged");
      size_t H = size_t(D[Pos + 3]) << 8 | D[Pos + 4], W = size_t(D[Pos + 5]) << 8 | D[Pos + 6];
      if (W == 0 || H == 0 || W * H > (size_t(1) << 28)) InvalidGraphic(Fmt, L"the size is not valid");
      // Even a flat image takes a few bits for each 8 x 8 block: a frame far larger than the file
      // could describe is refused before the decoder allocates for it.
      if (W * H > N * 4096) InvalidGraphic(Fmt, L"the size is larger than the image data holds");
    }
    Pos += Len;
    if (M == 0xDA) {
      // Entropy-coded data runs to the next marker that is not a stuffed zero or a restart.
      while (true) {
        while (Pos < N && D[Pos] != 0xFF) ++Pos;
        if (N - Pos < 2) InvalidGraphic(Fmt, L"the data ends too early");
        Byte Next = D[Pos + 1];
        if (Next == 0x00 || (Next >= 0xD0 && Next <= 0xD7) || Next == 0xFF) {
          Pos += Next == 0xFF ? 1 : 2;
          continue;
        }
        break;
      }
    }
  }
}

}  // namespace

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

bool TJPEGImage::CanLoadFromData(const Byte* Data, size_t Size) {
  return Size >= 3 && Data[0] == 0xFF && Data[1] == 0xD8 && Data[2] == 0xFF;
}

TBitmap* TJPEGImage::Rendered() {
  if (!FRendered && !FPixels.empty()) {
    std::vector<Cardinal> P(FPixels);
    if (FGrayscale)
      for (auto& C : P) {
        Cardinal L = (((C >> 16) & 0xFF) * 77 + ((C >> 8) & 0xFF) * 150 + (C & 0xFF) * 29) >> 8;
        C = 0xFF000000 | L << 16 | L << 8 | L;
      }
    FRendered = std::make_unique<TBitmap>();
    FRendered->SetPixelsBGRA(FWidth, FHeight, P.data(), afIgnored);
  }
  return FRendered.get();
}

void TJPEGImage::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (TBitmap* B = Rendered()) ACanvas->StretchDraw(Rect, B);
}

void TJPEGImage::SetGrayscale(bool Value) {
  if (Value == FGrayscale) return;
  FGrayscale = Value;
  FRendered.reset();
  Changed(this);
}

void TJPEGImage::LoadData(TBytes Data) {
  FData.clear();
  FPixels.clear();
  FWidth = FHeight = 0;
  FRendered.reset();
  try {
    Data.resize(CheckMarkers(Data.data(), Data.size()));
    if (!GdiPlusDecode(Data.data(), Data.size(), FWidth, FHeight, FPixels)) {
      FWidth = FHeight = 0;
      FPixels.clear();
      InvalidGraphic(L"JPEG", L"the image data cannot be decoded");
    }
  } catch (...) {
    Changed(this);
    throw;
  }
  FData = std::move(Data);
  Changed(this);
}

void TJPEGImage::LoadFromStream(TStream* Stream) {
  Int64 Start;
  TBytes Data = ReadToEnd(Stream, Start);
  LoadData(std::move(Data));
  SetStreamPosition(Stream, Start + Int64(FData.size()));
}

void TJPEGImage::SaveToStream(TStream* Stream) {
  if (FPixels.empty()) return;
  if (FData.empty()) FData = GdiPlusEncode(L"image/jpeg", FWidth, FHeight, FPixels.data(), FCompressionQuality);
  WriteBytes(Stream, FData);
}

void TJPEGImage::ReadData(TStream* Stream) {
  Byte SizeBytes[4];
  if (ReadUpTo(Stream, SizeBytes, 4) != 4) InvalidGraphic(L"JPEG", L"the data ends too early");
  LoadData(ReadExactly(Stream, GetDWord(SizeBytes), L"JPEG"));
}

void TJPEGImage::WriteData(TStream* Stream) {
  if (FData.empty() && !FPixels.empty()) FData = GdiPlusEncode(L"image/jpeg", FWidth, FHeight, FPixels.data(), FCompressionQuality);
  TBytes Size;
  PutDWord(Size, Cardinal(FData.size()));
  WriteBytes(Stream, Size);
  WriteBytes(Stream, FData);
}

void TJPEGImage::Assign(TPersistent* Source) {
  if (!Source) {
    FData.clear();
    FPixels.clear();
    FWidth = FHeight = 0;
    FRendered.reset();
    Changed(this);
    return;
  }
  if (auto* J = dynamic_cast<TJPEGImage*>(Source)) {
    if (J == this) return;
    FData = J->FData;
    FPixels = J->FPixels;
    FWidth = J->FWidth;
    FHeight = J->FHeight;
    FCompressionQuality = J->FCompressionQuality;
    FGrayscale = J->FGrayscale;
    FRendered.reset();
    Changed(this);
    return;
  }
  if (auto* B = dynamic_cast<TBitmap*>(Source)) {
    FPixels = B->GetPixelsBGRA();
    for (auto& C : FPixels) C |= 0xFF000000;
    FWidth = B->GetWidth();
    FHeight = B->GetHeight();
    FData.clear();
    FRendered.reset();
    Changed(this);
    return;
  }
  inherited::Assign(Source);
}

void TJPEGImage::AssignTo(TPersistent* Dest) {
  if (auto* B = dynamic_cast<TBitmap*>(Dest)) {
    B->Assign(Rendered());
    B->SetPixelFormat(pf24bit);
    return;
  }
  inherited::AssignTo(Dest);
}
