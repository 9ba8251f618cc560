#include <gtest/gtest.h>

#include <memory>

#include "framework/Classes.h"
#include "framework/classes/ObjectText.h"
#include "framework/controls/ControlsTestUtil.h"
#include "framework/forms/TestControls.h"

using namespace ctltest;

namespace {

std::string FormText(TComponent* Root) {
  TMemoryStream M, Out;
  M.WriteComponent(Root);
  M.SetPosition(0);
  ObjectBinaryToText(&M, &Out);
  return std::string(static_cast<const char*>(Out.GetMemory()), size_t(Out.GetSize()));
}

void ReadText(TComponent* Root, const std::string& Text) {
  TMemoryStream In;
  In.Write(Text.data(), Integer(Text.size()));
  In.SetPosition(0);
  ReadComponentFromStream(&In, Root);
}

// ---- ActiveControl before the form shows -------------------------------------------------------

TEST(FormActiveControl, SetInOnCreateIsAcceptedAndFocusedWhenTheFormShows) {
  TExceptionLog Log;
  auto* F = new TForm(nullptr, 0);
  TTestButton* Second = nullptr;
  F->SetOnCreate([&](TObject*) {
    for (int I = 0; I < 2; ++I) {
      auto* B = new TTestButton(F);
      B->SetParent(F);
      B->SetBounds(10, 10 + 30 * I, 75, 25);
      Second = B;
    }
    F->SetActiveControl(Second);  // the form is not visible yet
  });
  F->AfterConstruction();
  std::unique_ptr<TForm> Holder(F);
  EXPECT_TRUE(Log.Messages.empty());
  EXPECT_EQ(F->GetActiveControl(), Second);
  F->SetPosition(poDesigned);
  F->SetBorderStyle(bsNone);
  F->Show();
  Pump();
  EXPECT_EQ(FindControl(GetFocus()), Second);
  EXPECT_EQ(Screen->GetActiveControl(), Second);
}

TEST(FormActiveControl, AHiddenOrDisabledControlIsStillRefused) {
  TFormHolder F;
  auto* Hidden = new TTestButton(F.Form);
  Hidden->SetParent(F.Form);
  Hidden->SetVisible(false);
  auto* Disabled = new TTestButton(F.Form);
  Disabled->SetParent(F.Form);
  Disabled->SetEnabled(false);
  auto* Ok = new TTestButton(F.Form);
  Ok->SetParent(F.Form);
  EXPECT_THROW(F->SetActiveControl(Hidden), EInvalidOperation);
  EXPECT_THROW(F->SetActiveControl(Disabled), EInvalidOperation);
  EXPECT_NO_THROW(F->SetActiveControl(Ok));
  // Focusing a control of a hidden form still needs the form to be shown.
  EXPECT_THROW(Ok->SetFocus(), EInvalidOperation);
}

// ---- The form's colour ---------------------------------------------------------------------------

TEST(FormColor, DefaultsToButtonFaceAndStreamsOnlyWhenChanged) {
  TFormHolder F;
  EXPECT_EQ(F->GetColor(), clBtnFace);
  F->SetName(L"frmColor");
  std::string Text = FormText(F.Form);
  EXPECT_EQ(Text.find("\n  Color ="), std::string::npos) << Text;
  F->SetColor(clWindow);
  Text = FormText(F.Form);
  EXPECT_NE(Text.find("\n  Color = clWindow"), std::string::npos) << Text;

  // A form resource without a Color line reads the default; one with it keeps its colour.
  std::unique_ptr<TForm> G(TComponent::Create<TForm>(nullptr, 0));
  ReadText(G.get(), "object frmA: TForm\r\n  Caption = 'A'\r\nend\r\n");
  EXPECT_EQ(G->GetColor(), clBtnFace);
  std::unique_ptr<TForm> H(TComponent::Create<TForm>(nullptr, 0));
  ReadText(H.get(), "object frmB: TForm\r\n  Color = clWindow\r\nend\r\n");
  EXPECT_EQ(H->GetColor(), clWindow);
}

TEST(FormColor, TheBackgroundIsErasedWithTheFormsColor) {
  TFormHolder F(60, 40);
  F->Show();
  Pump();
  HDC Screen = GetDC(nullptr);
  HDC DC = CreateCompatibleDC(Screen);
  HBITMAP Bmp = CreateCompatibleBitmap(Screen, 60, 40);
  ReleaseDC(nullptr, Screen);
  HGDIOBJ Old = SelectObject(DC, Bmp);
  F->Perform(WM_ERASEBKGND, WPARAM(DC));
  EXPECT_EQ(GetPixel(DC, 30, 20), ColorToRGB(clBtnFace));
  SelectObject(DC, Old);
  DeleteObject(Bmp);
  DeleteDC(DC);
}

}  // namespace
