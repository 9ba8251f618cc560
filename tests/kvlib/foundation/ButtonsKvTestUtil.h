#pragma once
// Shared pieces of the button tests: solid-colour image lists and glyph strips, the pixels a form
// paints, posted mouse input and the classic (unthemed) look.

#include <gtest/gtest.h>

#include <vector>

#include "framework/ExtCtrls.h"
#include "framework/ImgList.h"
#include "framework/Themes.h"
#include "framework/WinApi.h"
#include "framework/controls/ControlsTestUtil.h"
#include "framework/graphics/Bitmap.h"
#include <uxtheme.h>

namespace buttontest {

constexpr TColor Rgb(Integer R, Integer G, Integer B) { return TColor(R | (G << 8) | (B << 16)); }

// One opaque W x H image per colour.
inline std::unique_ptr<TImageList> SolidImages(std::vector<TColor> Colors, Integer W = 8, Integer H = 8) {
  auto L = std::make_unique<TImageList>(nullptr, W, H);
  for (TColor C : Colors) {
    TBitmap B(W, H);
    B.GetCanvas()->GetBrush()->SetColor(C);
    B.GetCanvas()->FillRect(TRect(0, 0, W, H));
    L->Add(&B, nullptr);
  }
  return L;
}

// A strip of square cells side by side, each filled with its colour, the bottom row of every
// cell in Transparent (the bottom-left pixel gives the bitmap's transparent colour).
inline std::unique_ptr<TBitmap> GlyphStrip(std::vector<TColor> Cells, Integer Size, TColor Transparent) {
  auto B = std::make_unique<TBitmap>(Size * Integer(Cells.size()), Size);
  TCanvas* C = B->GetCanvas();
  for (size_t I = 0; I < Cells.size(); ++I) {
    Integer L = Integer(I) * Size;
    C->GetBrush()->SetColor(Cells[I]);
    C->FillRect(TRect(L, 0, L + Size, Size - 1));
    C->GetBrush()->SetColor(Transparent);
    C->FillRect(TRect(L, Size - 1, L + Size, Size));
  }
  return B;
}

// What the form paints, its windowless children included, over a white background.
inline std::unique_ptr<TBitmap> PaintForm(TWinControl* Form) {
  Form->HandleNeeded();
  auto B = std::make_unique<TBitmap>(Form->GetWidth(), Form->GetHeight());
  B->GetCanvas()->GetBrush()->SetColor(clWhite);
  B->GetCanvas()->FillRect(TRect(0, 0, Form->GetWidth(), Form->GetHeight()));
  Form->Perform(WM_PAINT, WPARAM(B->GetCanvas()->GetHandle()), 0);
  return B;
}

inline TColor PixelOf(TWinControl* Form, Integer X, Integer Y) {
  return PaintForm(Form)->GetCanvas()->GetPixel(X, Y) & 0xFFFFFF;
}

// Posts a mouse message in the window's client coordinates and lets it be handled.
inline void PostMouse(TWinControl* Window, UINT Msg, WPARAM Keys, Integer X, Integer Y) {
  PostMessageW(Window->GetHandle(), Msg, Keys, MAKELPARAM(X, Y));
  ctltest::Pump();
}

// The repeat timer a button made for itself (owned by it).
inline TTimer* OwnedTimer(TComponent* Owner) {
  for (Integer I = 0; I < Owner->GetComponentCount(); ++I)
    if (auto* T = dynamic_cast<TTimer*>(Owner->GetComponents(I))) return T;
  return nullptr;
}

// One tick of a timer, as its window would deliver it.
inline void Tick(TTimer* Timer) { Timer->GetOnTimer()(Timer); }

// The program's themes turned off for the test, so buttons draw in the system colours.
class ClassicLook : public testing::Test {
 protected:
  void SetUp() override {
    FSaved = GetThemeAppProperties();
    SetThemeAppProperties(0);
    StyleServices()->UpdateThemes();
    ASSERT_FALSE(StyleServices()->Enabled());
  }
  void TearDown() override {
    SetThemeAppProperties(FSaved);
    StyleServices()->UpdateThemes();
  }
  DWORD FSaved = 0;
};

}  // namespace buttontest
