#include <gtest/gtest.h>

#include <string>

#include "framework/Classes.h"
#include "framework/StdCtrls.h"
#include "framework/controls/ControlsTestUtil.h"

using namespace ctltest;

namespace {

void ScalingReadText(TComponent* Root, const std::string& Text) {
  RegisterStdControls();
  TMemoryStream In;
  In.Write(Text.data(), Integer(Text.size()));
  In.SetPosition(0);
  ReadComponentFromStream(&In, Root);
}

// A form laid out on a 144-DPI screen.
std::string AuthoredAt144(bool Scaled) {
  return std::string("object frmScaled: TForm\n"
                     "  Left = 100\n"
                     "  Top = 50\n"
                     "  BorderStyle = bsNone\n"
                     "  ClientWidth = 450\n"
                     "  ClientHeight = 300\n"
                     "  Font.Height = -18\n"
                     "  Font.Name = 'Tahoma'\n"
                     "  Position = poDesigned\n"
                     "  PixelsPerInch = 144\n") +
         (Scaled ? "" : "  Scaled = False\n") +
         "  object btnOk: TButton\n"
         "    Left = 30\n"
         "    Top = 60\n"
         "    Width = 120\n"
         "    Height = 36\n"
         "    Constraints.MinWidth = 108\n"
         "    Caption = 'Tamam'\n"
         "  end\n"
         "  object lblBaslik: TLabel\n"
         "    Left = 9\n"
         "    Top = 9\n"
         "    Caption = 'Başlık'\n"
         "    ParentFont = False\n"
         "    Font.Height = -24\n"
         "    Font.Name = 'Tahoma'\n"
         "  end\n"
         "end\n";
}

TEST(FormScaling, AFormAuthoredAtAnotherDpiIsBroughtToTheScreens) {
  const Integer S = Screen->GetPixelsPerInch();
  if (S == 144) GTEST_SKIP() << "the screen already has the authored DPI";
  auto At = [&](Integer V) { return Integer(MulDiv(V, S, 144)); };
  TFormHolder F;
  ScalingReadText(F.Form, AuthoredAt144(true));
  auto* Ok = static_cast<TButton*>(F->FindComponent(L"btnOk"));
  auto* Baslik = static_cast<TLabel*>(F->FindComponent(L"lblBaslik"));
  ASSERT_TRUE(Ok && Baslik);

  EXPECT_EQ(F->GetPixelsPerInch(), S);
  EXPECT_EQ(F->GetCurrentPPI(), S);
  EXPECT_EQ(Ok->GetCurrentPPI(), S);
  // The form keeps its place; its size, its controls and its fonts follow the DPI.
  EXPECT_EQ(F->GetLeft(), 100);
  EXPECT_EQ(F->GetTop(), 50);
  F->HandleNeeded();
  EXPECT_EQ(F->GetClientWidth(), At(450));
  EXPECT_EQ(F->GetClientHeight(), At(300));
  EXPECT_EQ(Ok->GetLeft(), At(30));
  EXPECT_EQ(Ok->GetTop(), At(60));
  EXPECT_EQ(Ok->GetWidth(), At(120));
  EXPECT_EQ(Ok->GetHeight(), At(36));
  EXPECT_EQ(Ok->GetConstraints()->GetMinWidth(), At(108));
  EXPECT_EQ(F->GetFont()->GetHeight(), At(-18));
  EXPECT_EQ(Ok->GetFont()->GetHeight(), At(-18)) << "a parent's font follows the parent";
  EXPECT_EQ(Baslik->GetFont()->GetHeight(), At(-24));
  EXPECT_EQ(Baslik->GetLeft(), At(9));
}

TEST(FormScaling, AnUnscaledFormKeepsItsAuthoredPixels) {
  TFormHolder F;
  ScalingReadText(F.Form, AuthoredAt144(false));
  auto* Ok = static_cast<TButton*>(F->FindComponent(L"btnOk"));
  ASSERT_TRUE(Ok);
  F->HandleNeeded();
  EXPECT_EQ(F->GetClientWidth(), 450);
  EXPECT_EQ(Ok->GetWidth(), 120);
  EXPECT_EQ(F->GetFont()->GetHeight(), -18);
}

TEST(FormScaling, MovingToAMonitorOfAnotherDpiScalesTheFormAndKeepsPointSizes) {
  TFormHolder F(300, 200);
  const Integer Old = F->GetCurrentPPI();
  const Integer New = Old * 3 / 2;
  F->GetFont()->SetHeight(-12);
  auto* B = new TButton(F.Form);
  B->SetParent(F.Form);
  B->SetBounds(10, 20, 100, 30);
  auto* L = new TLabel(F.Form);
  L->SetParent(F.Form);
  L->SetAutoSize(false);
  L->SetBounds(10, 60, 80, 20);
  L->GetFont()->SetHeight(-16);
  const Integer LabelPoints = L->GetFont()->GetSize();
  F->HandleNeeded();

  RECT Suggested{200, 100, 200 + 450, 100 + 300};
  SendMessageW(F->GetHandle(), WM_DPICHANGED, MAKEWPARAM(New, New), LPARAM(&Suggested));

  EXPECT_EQ(F->GetCurrentPPI(), New);
  EXPECT_EQ(F->GetPixelsPerInch(), New);
  EXPECT_EQ(B->GetCurrentPPI(), New);
  EXPECT_EQ(F->GetLeft(), 200);
  EXPECT_EQ(F->GetTop(), 100);
  EXPECT_EQ(F->GetWidth(), 450);
  EXPECT_EQ(F->GetHeight(), 300);
  EXPECT_EQ(B->GetLeft(), 15);
  EXPECT_EQ(B->GetTop(), 30);
  EXPECT_EQ(B->GetWidth(), 150);
  EXPECT_EQ(B->GetHeight(), 45);
  EXPECT_EQ(F->GetFont()->GetHeight(), -18);
  EXPECT_EQ(B->GetFont()->GetHeight(), -18);
  EXPECT_EQ(L->GetFont()->GetHeight(), -24);
  EXPECT_EQ(L->GetFont()->GetSize(), LabelPoints);
  EXPECT_EQ(L->GetWidth(), 120);
}

// ---- Windowless controls on a form ---------------------------------------------------------------

class TRedBox : public TGraphicControl {
  DECLARE_CLASS(TRedBox, TGraphicControl)
 public:
  explicit TRedBox(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 20, 20); }
  Integer Paints = 0;

 protected:
  void Paint() override {
    ++Paints;
    GetCanvas()->GetBrush()->SetColor(clRed);
    GetCanvas()->FillRect(TRect(0, 0, GetWidth(), GetHeight()));
  }
};

TEST(FormPainting, AFormPaintsTheWindowlessControlsPlacedOnIt) {
  TFormHolder F(80, 60);
  auto* Box = new TRedBox(F.Form);
  Box->SetParent(F.Form);
  Box->SetBounds(30, 20, 20, 20);
  F->Show();
  Pump();
  InvalidateRect(F->GetHandle(), nullptr, TRUE);
  UpdateWindow(F->GetHandle());
  EXPECT_GT(Box->Paints, 0);

  HDC Screen = GetDC(nullptr);
  HDC DC = CreateCompatibleDC(Screen);
  HBITMAP Bmp = CreateCompatibleBitmap(Screen, 80, 60);
  ReleaseDC(nullptr, Screen);
  HGDIOBJ Old = SelectObject(DC, Bmp);
  F->Perform(WM_ERASEBKGND, WPARAM(DC));
  F->Perform(WM_PAINT, WPARAM(DC));
  EXPECT_EQ(GetPixel(DC, 40, 30), ColorToRGB(clRed));
  EXPECT_EQ(GetPixel(DC, 5, 5), ColorToRGB(clBtnFace));
  SelectObject(DC, Old);
  DeleteObject(Bmp);
  DeleteDC(DC);
}

}  // namespace
