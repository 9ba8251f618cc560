#include "framework/graphics/GdiPlusCodec.h"

#include <cstring>
#include <mutex>

#include "framework/WinApi.h"
#include <shlwapi.h>
#include <gdiplus.h>


namespace fw_graphics {

namespace {

// GDI+ is started once for the process and left running: the program draws with it throughout.
void EnsureGdiPlus() {
  static std::once_flag Once;
  std::call_once(Once, [] {
    ULONG_PTR Token = 0;
    Gdiplus::GdiplusStartupInput Input;
    Gdiplus::GdiplusStartup(&Token, &Input, nullptr);
  });
}

struct TStreamHolder {
  IStream* S = nullptr;
  ~TStreamHolder() {
    if (S) S->Release();
  }
};

struct TImageHolder {
  Gdiplus::GpBitmap* B = nullptr;
  ~TImageHolder() {
    if (B) Gdiplus::DllExports::GdipDisposeImage(B);
  }
};

bool FindEncoder(const wchar_t* MimeType, CLSID& Clsid) {
  UINT Count = 0, Size = 0;
  if (Gdiplus::DllExports::GdipGetImageEncodersSize(&Count, &Size) != Gdiplus::Ok || !Size) return false;
  std::vector<Byte> Buf(Size);
  auto* Codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(Buf.data());
  if (Gdiplus::DllExports::GdipGetImageEncoders(Count, Size, Codecs) != Gdiplus::Ok) return false;
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
  if (Gdiplus::DllExports::GdipCreateBitmapFromStream(Stream.S, &Image.B) != Gdiplus::Ok || !Image.B) return false;
  UINT W = 0, H = 0;
  Gdiplus::DllExports::GdipGetImageWidth(Image.B, &W);
  Gdiplus::DllExports::GdipGetImageHeight(Image.B, &H);
  if (W == 0 || H == 0 || W > 65536 || H > 65536 || size_t(W) * H > (size_t(1) << 28)) return false;
  Gdiplus::GpRect R{0, 0, INT(W), INT(H)};
  Gdiplus::BitmapData BD{};
  if (Gdiplus::DllExports::GdipBitmapLockBits(Image.B, &R, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &BD) != Gdiplus::Ok) return false;
  try {
    Pixels.resize(size_t(W) * H);
  } catch (const std::bad_alloc&) {
    Gdiplus::DllExports::GdipBitmapUnlockBits(Image.B, &BD);
    return false;
  }
  for (UINT Y = 0; Y < H; ++Y)
    std::memcpy(Pixels.data() + size_t(Y) * W, static_cast<const Byte*>(BD.Scan0) + ptrdiff_t(Y) * BD.Stride, size_t(W) * 4);
  Gdiplus::DllExports::GdipBitmapUnlockBits(Image.B, &BD);
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
  if (Gdiplus::DllExports::GdipCreateBitmapFromScan0(Width, Height, Width * 4, PixelFormat32bppARGB,
                                                     reinterpret_cast<BYTE*>(Copy.data()), &Image.B) != Gdiplus::Ok)
    throw EInvalidGraphic(L"The picture cannot be encoded");
  TStreamHolder Stream;
  if (CreateStreamOnHGlobal(nullptr, TRUE, &Stream.S) != S_OK) throw EOutOfMemory(L"Out of memory");
  Gdiplus::EncoderParameters Params{};
  ULONG Q = ULONG(Quality);
  Params.Count = 1;
  Params.Parameter[0].Guid = Gdiplus::EncoderQuality;
  Params.Parameter[0].Type = Gdiplus::EncoderParameterValueTypeLong;
  Params.Parameter[0].NumberOfValues = 1;
  Params.Parameter[0].Value = &Q;
  if (Gdiplus::DllExports::GdipSaveImageToStream(Image.B, Stream.S, &Clsid, Quality > 0 ? &Params : nullptr) != Gdiplus::Ok)
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
