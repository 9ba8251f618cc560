#include <gtest/gtest.h>

#include <algorithm>

#include "framework/StdCtrls.h"
#include "framework/controls/ControlsTestUtil.h"
#include "framework/graphics/Bitmap.h"

using namespace ctltest;

namespace {

TEST(WindowPaint, AFormPaintsItsWindowlessChildrenAfterItself) {
  TFormHolder F(200, 100);
  auto* L = new TLabel(F.Form);
  L->SetParent(F.Form);
  L->SetAutoSize(false);
  L->SetBounds(10, 10, 80, 20);
  L->SetCaption(L"Sürüm 7.8");
  L->SetTransparent(false);
  L->SetColor(clYellow);
  L->GetFont()->SetColor(clRed);
  F->HandleNeeded();
  TBitmap B(200, 100);
  B.GetCanvas()->GetBrush()->SetColor(clWhite);
  B.GetCanvas()->FillRect(TRect(0, 0, 200, 100));
  F->Perform(WM_PAINT, WPARAM(B.GetCanvas()->GetHandle()), 0);
  Integer Red = 0;
  for (Integer Y = 10; Y < 30; ++Y)
    for (Integer X = 10; X < 90; ++X) Red += B.GetCanvas()->GetPixel(X, Y) == clRed;
  EXPECT_GT(Red, 5);
  EXPECT_EQ(B.GetCanvas()->GetPixel(88, 28), clYellow);
  EXPECT_EQ(B.GetCanvas()->GetPixel(150, 50), clWhite) << "outside the label the form left the DC alone";
}

}  // namespace
