#include <gtest/gtest.h>

#include "framework/controls/ControlsTestUtil.h"
#include "framework/forms/TestControls.h"

using namespace ctltest;

namespace {

// Freeing a shown form takes its window tree down at once (the form's window first, as one
// DestroyWindow does) and lays nothing out again on the way.
TEST(FormFree, DestroysTheWindowTreeAtOnceWithoutRealigning) {
  auto* F = TComponent::Create<TForm>(nullptr, 0);
  F->SetPosition(poDesigned);
  F->SetBorderStyle(bsNone);
  F->SetBounds(10, 10, 300, 200);
  std::vector<String> Destroyed;
  Integer Resizes = 0;
  auto Watch = [&](TWinControl* W, const wchar_t* Name) {
    TWndMethod Old = W->GetWindowProc();
    W->SetWindowProc([&Destroyed, Old, Name](TMessage& M) {
      if (M.Msg == WM_DESTROY) Destroyed.push_back(Name);
      Old(M);
    });
  };
  const TAlign Aligns[] = {alTop, alBottom, alLeft, alClient};
  const wchar_t* Names[] = {L"top", L"bottom", L"left", L"client"};
  for (int I = 0; I < 4; ++I) {
    auto* P = new TTestPanel(F);
    P->SetParent(F);
    P->SetAlign(Aligns[I]);
    P->SetOnResize([&](TObject*) { ++Resizes; });
    auto* B = new TTestButton(F);
    B->SetParent(P);
    Watch(P, Names[I]);
  }
  Watch(F, L"form");
  F->Show();
  Pump();
  Resizes = 0;
  delete F;
  Pump();
  ASSERT_EQ(Destroyed.size(), 5u);
  EXPECT_EQ(Destroyed[0], L"form");
  EXPECT_EQ(Resizes, 0);
}

// A panel freed from a live form still leaves the form laid out without it.
TEST(FormFree, FreeingOneContainerRealignsTheLiveParent) {
  TFormHolder F(300, 200);
  auto* Top = new TTestPanel(F.Form);
  Top->SetParent(F.Form);
  Top->SetAlign(alTop);
  Top->SetHeight(50);
  auto* Inner = new TTestButton(F.Form);
  Inner->SetParent(Top);
  auto* Client = new TTestPanel(F.Form);
  Client->SetParent(F.Form);
  Client->SetAlign(alClient);
  F->Show();
  Pump();
  EXPECT_EQ(Client->GetBoundsRect(), Rect(0, 50, 300, 200));
  HWND InnerWnd = Inner->GetHandle();
  delete Top;
  EXPECT_FALSE(IsWindow(InnerWnd));
  EXPECT_EQ(F->GetControlCount(), 1);
  EXPECT_EQ(Client->GetBoundsRect(), Rect(0, 0, 300, 200));
}

}  // namespace
