#include "framework/graphics/GdiPlusCodec.h"

#include <cstring>
#include <mutex>

#include "framework/WinApi.h"
#include <shlwapi.h>
#include <gdiplus.h>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace fw_graphics {

namespace {

// GDI+ is started once for the process and left running: the program draws with it throughout.
void EnsureGdiPlus() {
  static std::once_flag Once;
  std::call_once(Once, [] {
    ULONG_PTR Token = 0;
    GdiplusStartupInput Input;
    GdiplusStartup(&Token, &Input, nullptr);
  });
}

struct TStreamHolder {
  IStream* S = nullptr;
  ~TStreamHolder() {
    if (S) S->Release();
  }
};

struct TImageHolder {
  GpBitmap* B = nullptr;
  ~TImageHolder() {
    if (B) GdipDisposeImage(B);
  }
};

bool FindEncoder(const wchar_t* MimeType, CLSID& Clsid) {
  UINT Count = 0, Size = 0;
  if (GdipGetImageEncodersSize(&Count, &Size) != Ok || !Size) return false;
  std::vector<Byte> Buf(Size);
  auto* Codecs = reinterpret_cast<ImageCodecInfo*>(Buf.data());
  if (GdipGetImageEncoders(Count, Size, Codecs) != Ok) return false;
  for (UINT I = 0; I < Count; ++I)
    if (Codecs[I].MimeType && wcscmp(Codecs[I].MimeType, MimeType) == 0) {
      Clsid = Codecs[I].Clsid;
      return true;
    }
  return false;
}

}  // namespace

bool GdiPlusDecode(const Byte* Data, size_t Size, Integer& Width, Integer& Height, std::vector<Cardinal>& Pixels) {
  EnsureGdiPlus();
  TStreamHolder Stream{SHCreateMemStream(Data, UINT(Size))};
  if (!Stream.S) return false;
  TImageHolder Image;
  if (GdipCreateBitmapFromStream(Stream.S, &Image.B) != Ok || !Image.B) return false;
  UINT W = 0, H = 0;
  GdipGetImageWidth(Image.B, &W);
  GdipGetImageHeight(Image.B, &H);
  if (W == 0 || H == 0 || W > 65536 || H > 65536 || size_t(W) * H > (size_t(1) << 28)) return false;
  GpRect R{0, 0, INT(W), INT(H)};
  BitmapData BD{};
  if (GdipBitmapLockBits(Image.B, &R, ImageLockModeRead, PixelFormat32bppARGB, &BD) != Ok) return false;
  try {
    Pixels.resize(size_t(W) * H);
  } catch (const std::bad_alloc&) {
    GdipBitmapUnlockBits(Image.B, &BD);
    return false;
  }
  for (UINT Y = 0; Y < H; ++Y)
    std::memcpy(Pixels.data() + size_t(Y) * W, static_cast<const Byte*>(BD.Scan0) + ptrdiff_t(Y) * BD.Stride, size_t(W) * 4);
  GdipBitmapUnlockBits(Image.B, &BD);
  Width = Integer(W);
  Height = Integer(H);
  return true;
}

TBytes GdiPlusEncode(const wchar_t* MimeType, Integer Width, Integer Height, const Cardinal* Pixels, Integer Quality) {
  EnsureGdiPlus();
  CLSID Clsid;
  if (!FindEncoder(MimeType, Clsid)) throw EInvalidGraphic(String(L"No encoder for ") + MimeType);
  std::vector<Cardinal> Copy(Pixels, Pixels + size_t(Width) * Height);
  TImageHolder Image;
  if (GdipCreateBitmapFromScan0(Width, Height, Width * 4, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(Copy.data()),
                                &Image.B) != Ok)
    throw EInvalidGraphic(L"The picture cannot be encoded");
  TStreamHolder Stream;
  if (CreateStreamOnHGlobal(nullptr, TRUE, &Stream.S) != S_OK) throw EOutOfMemory(L"Out of memory");
  EncoderParameters Params{};
  ULONG Q = ULONG(Quality);
  Params.Count = 1;
  Params.Parameter[0].Guid = EncoderQuality;
  Params.Parameter[0].Type = EncoderParameterValueTypeLong;
  Params.Parameter[0].NumberOfValues = 1;
  Params.Parameter[0].Value = &Q;
  if (GdipSaveImageToStream(Image.B, Stream.S, &Clsid, Quality > 0 ? &Params : nullptr) != Ok)
    throw EInvalidGraphic(L"The picture cannot be encoded");
  ULARGE_INTEGER End{};
  LARGE_INTEGER Zero{};
  Stream.S->Seek(Zero, STREAM_SEEK_END, &End);
  HGLOBAL G = nullptr;
  GetHGlobalFromStream(Stream.S, &G);
  TBytes Out(size_t(End.QuadPart));
  if (const void* P = GlobalLock(G)) {
    std::memcpy(Out.data(), P, Out.size());
    GlobalUnlock(G);
  }
  return Out;
}

}  // namespace fw_graphics
