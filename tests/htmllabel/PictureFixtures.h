#pragma once
// Small pictures of every format the picture store meets, made in memory.

#include <vector>

#include "framework/System.h"
#include "framework/WinApi.h"
#include "framework/graphics/GdiPlusCodec.h"

namespace fixtures {

using TData = std::vector<Byte>;

inline void Put16(TData& D, unsigned V) {
  D.push_back(Byte(V));
  D.push_back(Byte(V >> 8));
}
inline void Put32(TData& D, unsigned V) {
  Put16(D, V & 0xFFFF);
  Put16(D, V >> 16);
}

inline std::vector<Cardinal> Solid(Integer W, Integer H, Cardinal Argb) { return std::vector<Cardinal>(size_t(W) * H, Argb); }

// Wine's GDI+ reports some formats differently from Windows (an icon as a bitmap).
inline bool RunningOnWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

inline TData FromBytes(const TBytes& B) { return TData(B.begin(), B.end()); }

// 24-bit bottom-up bitmap file of one colour (0xRRGGBB) but for its bottom-left pixel, which
// bitmaps drawn transparently take for their transparent colour.
inline TData Bmp(Integer W, Integer H, Cardinal Rgb, Cardinal Corner = 0xFFFFFF) {
  Integer Stride = (W * 3 + 3) & ~3;
  TData D{'B', 'M'};
  Put32(D, unsigned(54 + Stride * H));
  Put32(D, 0);
  Put32(D, 54);
  Put32(D, 40);
  Put32(D, unsigned(W));
  Put32(D, unsigned(H));
  Put16(D, 1);
  Put16(D, 24);
  Put32(D, 0);
  Put32(D, unsigned(Stride * H));
  Put32(D, 2835);
  Put32(D, 2835);
  Put32(D, 0);
  Put32(D, 0);
  for (Integer Y = 0; Y < H; ++Y) {
    for (Integer X = 0; X < W; ++X) {
      Cardinal C = X == 0 && Y == 0 ? Corner : Rgb;
      D.push_back(Byte(C));
      D.push_back(Byte(C >> 8));
      D.push_back(Byte(C >> 16));
    }
    for (Integer P = W * 3; P < Stride; ++P) D.push_back(0);
  }
  return D;
}

inline TData Png(Integer W, Integer H, Cardinal Argb = 0xFF2080E0) {
  return FromBytes(fw_graphics::GdiPlusEncode(L"image/png", W, H, Solid(W, H, Argb).data()));
}

inline TData Jpeg(Integer W, Integer H, Cardinal Argb = 0xFF2080E0) {
  return FromBytes(fw_graphics::GdiPlusEncode(L"image/jpeg", W, H, Solid(W, H, Argb).data(), 90));
}

// An icon with one 32-bit image.
inline TData Ico(Integer W, Integer H) {
  TData Img;
  Put32(Img, 40);
  Put32(Img, unsigned(W));
  Put32(Img, unsigned(H * 2));
  Put16(Img, 1);
  Put16(Img, 32);
  for (int I = 0; I < 6; ++I) Put32(Img, 0);
  for (Integer I = 0; I < W * H; ++I) Put32(Img, 0xFF3070C0);
  Integer MaskStride = ((W + 31) / 32) * 4;
  Img.insert(Img.end(), size_t(MaskStride * H), 0);
  TData D;
  Put16(D, 0);
  Put16(D, 1);
  Put16(D, 1);
  D.push_back(Byte(W));
  D.push_back(Byte(H));
  D.push_back(0);
  D.push_back(0);
  Put16(D, 1);
  Put16(D, 32);
  Put32(D, unsigned(Img.size()));
  Put32(D, 22);
  D.insert(D.end(), Img.begin(), Img.end());
  return D;
}

struct TGifFrame {
  Word X, Y, W, H;
  Word Delay;   // hundredths of a second
  Byte Colour;  // index into the four-colour table
  Byte Disposal = 1;
  bool Transparent = false;
};

// LZW data of one colour: a clear code before every two pixels keeps every code 3 bits wide.
inline TData GifPixels(size_t Count, Byte Colour) {
  std::vector<unsigned> Codes;
  for (size_t I = 0; I < Count; I += 2) {
    Codes.push_back(4);
    Codes.push_back(Colour);
    if (I + 1 < Count) Codes.push_back(Colour);
  }
  Codes.push_back(5);
  TData Bits;
  unsigned Acc = 0, N = 0;
  for (unsigned C : Codes) {
    Acc |= C << N;
    N += 3;
    while (N >= 8) {
      Bits.push_back(Byte(Acc));
      Acc >>= 8;
      N -= 8;
    }
  }
  if (N) Bits.push_back(Byte(Acc));
  return Bits;
}

inline TData Gif(Word ScreenW, Word ScreenH, const std::vector<TGifFrame>& Frames) {
  TData D{'G', 'I', 'F', '8', '9', 'a'};
  Put16(D, ScreenW);
  Put16(D, ScreenH);
  D.push_back(0x81);  // global table of 4 colours
  D.push_back(0);
  D.push_back(0);
  for (Cardinal C : {0xFFFFFFu, 0xFF0000u, 0x00FF00u, 0x0000FFu}) {
    D.push_back(Byte(C >> 16));
    D.push_back(Byte(C >> 8));
    D.push_back(Byte(C));
  }
  const char Loop[] = "\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00";
  D.insert(D.end(), Loop, Loop + 19);
  for (const TGifFrame& F : Frames) {
    D.push_back(0x21);
    D.push_back(0xF9);
    D.push_back(4);
    D.push_back(Byte((F.Disposal << 2) | (F.Transparent ? 1 : 0)));
    Put16(D, F.Delay);
    D.push_back(0);
    D.push_back(0);
    D.push_back(0x2C);
    Put16(D, F.X);
    Put16(D, F.Y);
    Put16(D, F.W);
    Put16(D, F.H);
    D.push_back(0);
    D.push_back(2);  // LZW minimum code size
    TData Pixels = GifPixels(size_t(F.W) * F.H, F.Colour);
    for (size_t I = 0; I < Pixels.size(); I += 255) {
      size_t Len = std::min<size_t>(255, Pixels.size() - I);
      D.push_back(Byte(Len));
      D.insert(D.end(), Pixels.begin() + ptrdiff_t(I), Pixels.begin() + ptrdiff_t(I + Len));
    }
    D.push_back(0);
  }
  D.push_back(0x3B);
  return D;
}

// Three frames of different places, sizes and delays on a 16 x 12 screen.
inline TData ThreeFrameGif() {
  return Gif(16, 12, {{0, 0, 16, 12, 10, 1}, {2, 3, 8, 5, 20, 2, 2, true}, {4, 1, 6, 9, 30, 3}});
}

}  // namespace fixtures
