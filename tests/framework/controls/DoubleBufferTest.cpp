#include <gtest/gtest.h>

#include "framework/controls/ControlsTestUtil.h"

using namespace ctltest;

namespace {

// Records where each paint drew and what was under its middle before it drew.
class TProbeControl : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<DWORD> DCKinds;
  std::vector<COLORREF> Before;

 protected:
  void Paint() override {
    HDC DC = GetCanvas()->GetHandle();
    DCKinds.push_back(GetObjectType(DC));
    Before.push_back(GetPixel(DC, GetWidth() / 2, GetHeight() / 2));
    GetCanvas()->GetBrush()->SetColor(clRed);
    GetCanvas()->FillRect(Rect(0, 0, 4, 4));
  }
};

TEST(DoubleBuffered, PaintsIntoAnErasedBitmapAndTheWindowIsNotErasedApart) {
  TFormHolder F;
  F->Show();
  for (bool Buffered : {false, true}) {
    auto* C = new TProbeControl(F.Form);
    C->SetParent(F.Form);
    C->SetBounds(10, 10, 50, 30);
    C->SetColor(clYellow);
    C->SetDoubleBuffered(Buffered);
    Pump();
    C->DCKinds.clear();
    C->Before.clear();
    C->Invalidate();
    C->Update();
    // A stray repaint from the system may come on top; every paint must go the same way.
    ASSERT_FALSE(C->DCKinds.empty()) << Buffered;
    for (DWORD Kind : C->DCKinds) EXPECT_EQ(Kind, DWORD(Buffered ? OBJ_MEMDC : OBJ_DC)) << Buffered;
    if (Buffered) {
      EXPECT_EQ(C->Before[0], ColorToRGB(clYellow));  // the buffer was erased first
    }

    // The window's own erase leaves a double-buffered control untouched.
    HDC Screen = GetDC(nullptr);
    HDC DC = CreateCompatibleDC(Screen);
    HBITMAP Bmp = CreateCompatibleBitmap(Screen, 50, 30);
    ReleaseDC(nullptr, Screen);
    HGDIOBJ Old = SelectObject(DC, Bmp);
    RECT R{0, 0, 50, 30};
    HBRUSH Blue = CreateSolidBrush(RGB(0, 0, 255));
    FillRect(DC, &R, Blue);
    DeleteObject(Blue);
    SendMessageW(C->GetHandle(), WM_ERASEBKGND, WPARAM(DC), 0);
    EXPECT_EQ(GetPixel(DC, 25, 15), Buffered ? RGB(0, 0, 255) : ColorToRGB(clYellow)) << Buffered;
    SelectObject(DC, Old);
    DeleteObject(Bmp);
    DeleteDC(DC);
    delete C;
  }
}

}  // namespace
