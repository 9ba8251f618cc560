#include "kvlib/foundation/toolctrls/Pictures.h"

#include <algorithm>
#include <memory>

#include "framework/SysUtils.h"
#include "framework/WinApi.h"

namespace {
std::unique_ptr<TCacheAlphaBitmapKv>& SharedAlphaBitmap() {
  static std::unique_ptr<TCacheAlphaBitmapKv> Bitmap;
  return Bitmap;
}
}  // namespace

TCacheAlphaBitmapKv::TCacheAlphaBitmapKv() {
  SetPixelFormat(pf32bit);
  SetAlphaFormat(afDefined);
}

void TCacheAlphaBitmapKv::Capture() {
  if (FCapture) throw Exception(L"CacheAlphaBitmap have captured");
  FCapture = true;
}

void TCacheAlphaBitmapKv::DrawHorzLine(const TPoint& p, Integer LineWidth, TColor AColor) {
  Integer W = GetWidth(), H = GetHeight();
  if (p.Y < 0 || p.Y >= H || p.X >= W) return;
  Integer From = std::max<Integer>(p.X, 0), To = std::min<Integer>(p.X + LineWidth, W);
  if (From >= To) return;
  TColorRef C = ColorToRGB(AColor);
  Cardinal Pixel = 0xFF000000u | ((C & 0xFF) << 16) | (C & 0xFF00) | ((C >> 16) & 0xFF);
  auto* Row = static_cast<Cardinal*>(GetScanLine(p.Y));
  std::fill(Row + From, Row + To, Pixel);
}

TCacheAlphaBitmapKv* CacheAlphaBitmap(Integer Width, Integer Height) {
  auto& Bitmap = SharedAlphaBitmap();
  if (!Bitmap) {
    Bitmap = std::make_unique<TCacheAlphaBitmapKv>();
    Bitmap->SetSize(std::max(Width, 0), std::max(Height, 0));
    SetBkMode(Bitmap->GetCanvas()->GetHandle(), TRANSPARENT);
  } else if (Bitmap->GetWidth() < Width || Bitmap->GetHeight() < Height) {
    Bitmap->SetSize(std::max(Width, Bitmap->GetWidth()), std::max(Height, Bitmap->GetHeight()));
  }
  return Bitmap.get();
}

bool IsCacheAlphaBitmapCaptured() { return SharedAlphaBitmap() && SharedAlphaBitmap()->Captured(); }

TCacheAlphaBitmapKv* CacheAlphaBitmapIfAny() { return SharedAlphaBitmap().get(); }
