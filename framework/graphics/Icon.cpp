#include "framework/graphics/Icon.h"

#include <cstring>

#include "framework/WinApi.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/StreamIO.h"

using namespace fw_graphics;

namespace {

struct TIconEntry {
  Integer Width, Height, BitCount;
  size_t Offset, Size;
};

// The system trusts an image's own header: a PNG's or a DIB's size must fit an icon, and a
// DIB's colour table, colour bits and mask must lie inside the entry, before a handle is made.
void CheckImage(const Byte* P, size_t Size) {
  const wchar_t* Fmt = L"icon";
  const Integer MaxSide = 4096;
  static const Byte PngSig[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
  if (std::memcmp(P, PngSig, 8) == 0) {
    // The signature, then the IHDR chunk: length, type, width, height (big-endian).
    if (Size < 24 || std::memcmp(P + 12, "IHDR", 4) != 0) InvalidGraphic(Fmt, L"an image is damaged");
    auto BE = [](const Byte* B) { return Cardinal(B[0]) << 24 | Cardinal(B[1]) << 16 | Cardinal(B[2]) << 8 | B[3]; };
    Cardinal W = BE(P + 16), H = BE(P + 20);
    if (W == 0 || H == 0 || W > Cardinal(MaxSide) || H > Cardinal(MaxSide)) InvalidGraphic(Fmt, L"an image has a size that is not valid");
    return;
  }
  Cardinal HdrSize = GetDWord(P);
  if (HdrSize < 40 || HdrSize > Size) InvalidGraphic(Fmt, L"an image is damaged");
  Integer W = Integer(GetDWord(P + 4)), H2 = Integer(GetDWord(P + 8));
  Integer BitCount = GetWord(P + 14);
  Cardinal Compression = GetDWord(P + 16), ClrUsed = GetDWord(P + 32);
  // The height counts the colour bits and the mask together.
  if (W <= 0 || H2 <= 0 || W > MaxSide || H2 / 2 > MaxSide || H2 / 2 == 0) InvalidGraphic(Fmt, L"an image has a size that is not valid");
  if (BitCount != 1 && BitCount != 4 && BitCount != 8 && BitCount != 16 && BitCount != 24 && BitCount != 32)
    InvalidGraphic(Fmt, L"an image has a colour depth that is not supported");
  if (Compression != BI_RGB && Compression != BI_BITFIELDS) InvalidGraphic(Fmt, L"an image's compression is not supported");
  size_t H = size_t(H2 / 2);
  size_t Colors = BitCount <= 8 ? (ClrUsed && ClrUsed < (1u << BitCount) ? ClrUsed : (1u << BitCount)) : 0;
  if (Compression == BI_BITFIELDS) Colors = 3;
  size_t ColorStride = (size_t(W) * BitCount + 31) / 32 * 4, MaskStride = (size_t(W) + 31) / 32 * 4;
  size_t Need = HdrSize + Colors * 4 + ColorStride * H + MaskStride * H;
  if (Need > Size) InvalidGraphic(Fmt, L"the data ends too early");
}

// The directory of an .ico file, every entry checked against the data; Used is where the last
// image ends.
std::vector<TIconEntry> ReadDirectory(const Byte* D, size_t N, size_t& Used) {
  const wchar_t* Fmt = L"icon";
  if (N < 6) InvalidGraphic(Fmt, L"the data ends too early");
  if (GetWord(D) != 0 || GetWord(D + 2) != 1) InvalidGraphic(Fmt, L"it does not start with an icon header");
  size_t Count = GetWord(D + 4);
  if (Count == 0) InvalidGraphic(Fmt, L"it holds no image");
  if (6 + Count * 16 > N) InvalidGraphic(Fmt, L"the data ends too early");
  std::vector<TIconEntry> E;
  Used = 6 + Count * 16;
  for (size_t I = 0; I < Count; ++I) {
    const Byte* P = D + 6 + I * 16;
    TIconEntry X{P[0] ? P[0] : 256, P[1] ? P[1] : 256, GetWord(P + 6), GetDWord(P + 12), GetDWord(P + 8)};
    if (X.Size < 40 || X.Offset > N || X.Size > N - X.Offset) InvalidGraphic(Fmt, L"the data ends too early");
    CheckImage(D + X.Offset, X.Size);
    Used = std::max(Used, X.Offset + X.Size);
    E.push_back(X);
  }
  return E;
}

}  // namespace

TIcon::~TIcon() { FreeHandle(); }

void TIcon::FreeHandle() {
  if (FHandle) DestroyIcon(FHandle);
  FHandle = nullptr;
}

void TIcon::ChooseImage() {
  size_t Used;
  auto E = ReadDirectory(FData.data(), FData.size(), Used);
  Integer W = FRequestedWidth ? FRequestedWidth : GetSystemMetrics(SM_CXICON);
  Integer H = FRequestedHeight ? FRequestedHeight : GetSystemMetrics(SM_CYICON);
  // The exact size with the most colours; else the closest size.
  const TIconEntry* Best = &E[0];
  long BestScore = 0x7FFFFFFF;
  for (const auto& X : E) {
    long Score = labs(long(X.Width - W)) + labs(long(X.Height - H));
    Score = Score * 64 - X.BitCount;
    if (Score < BestScore) BestScore = Score, Best = &X;
  }
  FWidth = Best->Width;
  FHeight = Best->Height;
  FImageOffset = Best->Offset;
  FImageSize = Best->Size;
}

HICON TIcon::GetHandle() {
  if (!FHandle && !FData.empty()) {
    FHandle = CreateIconFromResourceEx(FData.data() + FImageOffset, DWORD(FImageSize), TRUE, 0x00030000, FWidth,
                                       FHeight, LR_DEFAULTCOLOR);
    if (!FHandle) throw EInvalidGraphic(L"Invalid icon picture: the image cannot be read");
  }
  return FHandle;
}

void TIcon::SetHandle(HICON Value) {
  if (Value == FHandle) return;
  FreeHandle();
  FData.clear();
  FHandle = Value;
  FWidth = FHeight = 0;
  ICONINFO II{};
  if (Value && GetIconInfo(Value, &II)) {
    BITMAP BM{};
    GetObjectW(II.hbmMask, sizeof(BM), &BM);
    FWidth = BM.bmWidth;
    FHeight = II.hbmColor ? BM.bmHeight : BM.bmHeight / 2;
    if (II.hbmColor) DeleteObject(II.hbmColor);
    if (II.hbmMask) DeleteObject(II.hbmMask);
  }
  Changed(this);
}

HICON TIcon::ReleaseHandle() {
  HICON H = GetHandle();
  FHandle = nullptr;
  if (FData.empty()) FWidth = FHeight = 0;
  return H;
}

void TIcon::SetSize(Integer AWidth, Integer AHeight) {
  FRequestedWidth = AWidth;
  FRequestedHeight = AHeight;
  if (!FData.empty()) {
    FreeHandle();
    ChooseImage();
    Changed(this);
  }
}

void TIcon::Assign(TPersistent* Source) {
  if (!Source) {
    FreeHandle();
    FData.clear();
    FWidth = FHeight = 0;
    Changed(this);
    return;
  }
  if (auto* I = dynamic_cast<TIcon*>(Source)) {
    if (I == this) return;
    FreeHandle();
    FData = I->FData;
    FWidth = I->FWidth;
    FHeight = I->FHeight;
    FImageOffset = I->FImageOffset;
    FImageSize = I->FImageSize;
    FRequestedWidth = I->FRequestedWidth;
    FRequestedHeight = I->FRequestedHeight;
    if (FData.empty() && I->FHandle) FHandle = CopyIcon(I->FHandle);
    Changed(this);
    return;
  }
  inherited::Assign(Source);
}

void TIcon::LoadFromStream(TStream* Stream) {
  Int64 Start;
  TBytes Data = ReadToEnd(Stream, Start);
  FreeHandle();
  FData.clear();
  FWidth = FHeight = 0;
  size_t Used;
  try {
    ReadDirectory(Data.data(), Data.size(), Used);
  } catch (...) {
    Changed(this);
    throw;
  }
  Data.resize(Used);
  FData = std::move(Data);
  ChooseImage();
  SetStreamPosition(Stream, Start + Int64(Used));
  Changed(this);
}

void TIcon::SaveToStream(TStream* Stream) {
  if (!FData.empty()) {
    WriteBytes(Stream, FData);
    return;
  }
  if (!FHandle) return;
  // One 32-bit image made from the handle: colour bits, then the AND mask.
  ICONINFO II{};
  if (!GetIconInfo(FHandle, &II)) throw EInvalidGraphic(L"Invalid icon handle");
  Integer W = FWidth, H = FHeight;
  std::vector<Byte> Color(size_t(W) * H * 4), Mask(size_t((W + 31) / 32 * 4) * H);
  HDC DC = GetDC(nullptr);
  BITMAPINFO BI{};
  BI.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  BI.bmiHeader.biWidth = W;
  BI.bmiHeader.biHeight = H;
  BI.bmiHeader.biPlanes = 1;
  BI.bmiHeader.biBitCount = 32;
  if (II.hbmColor) GetDIBits(DC, II.hbmColor, 0, H, Color.data(), &BI, DIB_RGB_COLORS);
  struct {
    BITMAPINFOHEADER H;
    RGBQUAD C[2];
  } MI{};
  MI.H = BI.bmiHeader;
  MI.H.biBitCount = 1;
  MI.C[1] = {255, 255, 255, 0};
  GetDIBits(DC, II.hbmMask, 0, H, Mask.data(), reinterpret_cast<BITMAPINFO*>(&MI), DIB_RGB_COLORS);
  ReleaseDC(nullptr, DC);
  if (II.hbmColor) DeleteObject(II.hbmColor);
  if (II.hbmMask) DeleteObject(II.hbmMask);
  TBytes B;
  size_t ImageSize = 40 + Color.size() + Mask.size();
  PutWord(B, 0);
  PutWord(B, 1);
  PutWord(B, 1);
  B.push_back(Byte(W >= 256 ? 0 : W));
  B.push_back(Byte(H >= 256 ? 0 : H));
  B.push_back(0);
  B.push_back(0);
  PutWord(B, 1);
  PutWord(B, 32);
  PutDWord(B, Cardinal(ImageSize));
  PutDWord(B, 22);
  PutDWord(B, 40);
  PutDWord(B, Cardinal(W));
  PutDWord(B, Cardinal(H * 2));
  PutWord(B, 1);
  PutWord(B, 32);
  for (int I = 0; I < 6; ++I) PutDWord(B, 0);
  B.insert(B.end(), Color.begin(), Color.end());
  B.insert(B.end(), Mask.begin(), Mask.end());
  WriteBytes(Stream, B);
}

void TIcon::LoadFromResourceName(NativeUInt Instance, const String& ResName) {
  HICON H = static_cast<HICON>(LoadImageW(reinterpret_cast<HINSTANCE>(Instance), ResName.c_str(), IMAGE_ICON,
                                          FRequestedWidth, FRequestedHeight, LR_DEFAULTSIZE));
  if (!H) throw EResNotFound(L"Resource " + ResName + L" not found");
  SetHandle(H);
}

void TIcon::LoadFromResourceID(NativeUInt Instance, Integer ResID) {
  HICON H = static_cast<HICON>(LoadImageW(reinterpret_cast<HINSTANCE>(Instance), MAKEINTRESOURCEW(ResID), IMAGE_ICON,
                                          FRequestedWidth, FRequestedHeight, LR_DEFAULTSIZE));
  if (!H) throw EResNotFound(L"Resource " + std::to_wstring(ResID) + L" not found");
  SetHandle(H);
}

void TIcon::Draw(TCanvas* ACanvas, const TRect& R) {
  HICON H = GetHandle();
  if (H) DrawIconEx(ACanvas->GetHandle(), R.Left, R.Top, H, R.Width(), R.Height(), 0, nullptr, DI_NORMAL);
}
