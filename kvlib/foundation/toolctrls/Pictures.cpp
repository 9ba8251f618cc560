#include "kvlib/foundation/toolctrls/Pictures.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/DB.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "framework/forms/Application.h"

namespace {

// The registered providers, latest first, each with the one instance that answers for it.
struct TProviderEntry {
  TClass Class;
  std::unique_ptr<TGraphicProviderKv> Provider;
};
std::vector<TProviderEntry>& Providers() {
  static std::vector<TProviderEntry> List = [] {
    std::vector<TProviderEntry> L;
    L.push_back({TBMPGraphicProviderKv::StaticClass(), std::make_unique<TBMPGraphicProviderKv>()});
    return L;
  }();
  return List;
}

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

// ---- Graphic providers ------------------------------------------------------------------------

TGraphicClass TGraphicProviderKv::GetImageClassForStream(const Byte*, size_t) { return nullptr; }

TGraphicClass TBMPGraphicProviderKv::GetImageClassForStream(const Byte* Start, size_t Size) {
  if (Start && Size >= 2 && Start[0] == 'B' && Start[1] == 'M') return TBitmap::StaticClass();
  return nullptr;
}

void RegisterGraphicProvider(TGraphicProviderClassKv ProviderClass) {
  if (!ProviderClass) return;
  auto& List = Providers();
  for (auto& E : List)
    if (E.Class == TClass(ProviderClass)) return;
  std::unique_ptr<TGraphicProviderKv> Provider(ProviderClass.Create());
  List.insert(List.begin(), TProviderEntry{ProviderClass, std::move(Provider)});
}

TGraphicClass GetGraphicClassForData(const Byte* Start, size_t Size) {
  for (auto& E : Providers())
    if (TGraphicClass C = E.Provider->GetImageClassForStream(Start, Size)) return C;
  return nullptr;
}

Integer GraphicProviderCount() { return Integer(Providers().size()); }

TGraphic* CreateGraphicFromField(TField* Field) {
  if (!Field || !Field->IsBlob()) return nullptr;
  auto* Blob = dynamic_cast<TBlobField*>(Field);
  if (!Blob) return nullptr;
  TMemoryStream Stream;
  TGraphicClass Class = TBitmap::StaticClass();
  if (GraphicProviderCount() > 0) {
    Blob->SaveToStream(&Stream);
    Stream.SetPosition(0);
    NativeInt Size = Stream.GetSize();
    const auto* Data = static_cast<const Byte*>(Stream.GetMemory());
    NativeInt Start = 0;
    // Word 1, word 0x0100, then the size of what follows the header.
    if (Blob->GetGraphicHeader() && Size > 7) {
      Word W1 = 0, W2 = 0;
      Cardinal Rest = 0;
      std::memcpy(&W1, Data, 2);
      std::memcpy(&W2, Data + 2, 2);
      std::memcpy(&Rest, Data + 4, 4);
      if (W1 == 1 && W2 == 0x0100 && NativeInt(Rest) == Size - 8) Start = 8;
    }
    Stream.SetPosition(Start);
    if (TGraphicClass Found = GetGraphicClassForData(Data + Start, size_t(Size - Start))) Class = Found;
  }
  std::unique_ptr<TGraphic> Graphic(Class.Create());
  try {
    Graphic->LoadFromStream(&Stream);
  } catch (const EInvalidGraphic&) {
    // Unreadable picture data leaves the graphic empty.
  }
  if (auto* Bitmap = dynamic_cast<TBitmap*>(Graphic.get())) Bitmap->SetIgnorePalette(true);
  return Graphic.release();
}

void AssignPictureFromField(TField* Field, TPicture* Picture) {
  std::unique_ptr<TGraphic> Graphic(CreateGraphicFromField(Field));
  Picture->SetGraphic(Graphic.get());
}

TPicture* CreatePictureFromField(TField* Field) {
  auto Picture = std::make_unique<TPicture>();
  AssignPictureFromField(Field, Picture.get());
  return Picture.release();
}

// ---- Placed pictures --------------------------------------------------------------------------

TRect TPictureKv::GetDestRect(const TRect& SrcRect, TImagePlacementKv Placement) {
  Integer W = GetWidth(), H = GetHeight();
  Integer RW = SrcRect.Width(), RH = SrcRect.Height();
  if (Placement == ipReduceFitKv) Placement = (RW < W || RH < H) ? ipFitKv : ipCenterCenterKv;
  Integer A = W, B = H;
  if (Placement == ipFillKv) {
    if (W <= 0 || H <= 0) {
      A = RW;
      B = RH;
    } else {
      Double C = Double(H) / W;
      A = Integer(RH / C);
      B = RH;
      if (A < RW) {
        B = Integer(C * RW);
        A = RW;
      }
    }
  } else if (Placement == ipFitKv) {
    if (W <= 0 || H <= 0) {
      A = RW;
      B = RH;
    } else {
      Double C = Double(W) / H;
      B = Integer(RW / C);
      A = RW;
      if (RH < B) {
        A = Integer(RH * C);
        B = RH;
      }
    }
  } else if (Placement == ipStretchKv) {
    A = RW;
    B = RH;
  }
  TRect R(SrcRect.Left, SrcRect.Top, SrcRect.Left + A, SrcRect.Top + B);
  Integer DX = (RW - A) / 2, DY = (RH - B) / 2;
  TPoint Move(0, 0);
  switch (Placement) {
    case ipTopLeftKv: break;
    case ipTopCenterKv: Move = TPoint(DX, 0); break;
    case ipTopRightKv: Move = TPoint(RW - A, 0); break;
    case ipCenterLeftKv: Move = TPoint(0, DY); break;
    case ipCenterCenterKv: Move = TPoint(DX, DY); break;
    case ipCenterRightKv: Move = TPoint(RW - A, DY); break;
    case ipBottomLeftKv: Move = TPoint(0, RH - B); break;
    case ipBottomCenterKv: Move = TPoint(DX, RH - B); break;
    case ipBottomRightKv: Move = TPoint(RW - A, RH - B); break;
    case ipFillKv: Move = B != RH ? TPoint(0, DY) : TPoint(DX, 0); break;
    case ipFitKv: Move = A == RW ? TPoint(0, DY) : TPoint(DX, 0); break;
    default: break;
  }
  OffsetRect(R, Move.X, Move.Y);
  return R;
}

void TPictureKv::PaintTo(TCanvas* Canvas, const TRect& DestRect, TImagePlacementKv Placement, const TPoint&,
                         const TRect&) {
  TGraphic* G = GetGraphic();
  if (!G) return;
  TRect R = GetDestRect(DestRect, Placement);
  Integer W = GetWidth(), H = GetHeight();
  if (Placement == ipTileKv && W > 0 && H > 0) {
    for (Integer Y = R.Top; Y < DestRect.Bottom; Y += H)
      for (Integer X = R.Left; X < DestRect.Right; X += W) Canvas->StretchDraw(TRect(X, Y, X + W, Y + H), G);
    return;
  }
  Canvas->StretchDraw(R, G);
}

// ---- Hint window ------------------------------------------------------------------------------

void THintWindowKv::ActivateHintData(const TRect& Rect, const String& AHint, void* AData) {
  if (AData) SetFont(static_cast<TFont*>(AData));
  THintWindow::ActivateHintData(Rect, AHint, AData);
}

TRect THintWindowKv::CalcHintRect(Integer MaxWidth, const String& AHint, void* AData) {
  TCanvas* C = GetCanvas();
  C->SetFont(AData ? static_cast<TFont*>(AData) : GetFont());
  C->GetFont()->SetColor(clWindowText);
  RECT R{0, 0, MaxWidth, 0};
  C->RequiredState(TCanvasState{csHandleValid, csFontValid});
  DrawTextW(C->GetHandle(), AHint.c_str(), -1, &R,
            DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DrawTextBiDiModeFlagsReadingOnly());
  return TRect(0, 0, R.right + 6, R.bottom + 2);
}

void THintWindowKv::Paint() {
  if (Application && GetColor() == Application->GetHintColor()) {
    THintWindow::Paint();
    return;
  }
  TCanvas* C = GetCanvas();
  C->SetFont(GetFont());
  C->GetBrush()->SetColor(GetColor());
  TRect Client = GetClientRect();
  C->FillRect(Client);
  RECT R{Client.Left + 2, Client.Top + 2, Client.Right, Client.Bottom};
  String S = GetCaption();
  C->RequiredState(TCanvasState{csHandleValid, csFontValid});
  SetBkMode(C->GetHandle(), TRANSPARENT);
  DrawTextW(C->GetHandle(), S.c_str(), -1, &R, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DrawTextBiDiModeFlagsReadingOnly());
}
