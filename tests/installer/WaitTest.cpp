#include <gtest/gtest.h>

#include <memory>

#include "framework/GIFImg.h"
#include "framework/SysUtils.h"
#include "installer/QalMain.h"
#include "installer/Wait.h"

namespace {

void WaitPump() { Application->ProcessMessages(); }

class QalWaitForm : public testing::Test {
 protected:
  void SetUp() override {
    RegisterQalClasses();
    // As the self-update makes it: owned by the application and found by its name.
    Wait.reset(TComponent::Create<TfrmWait>(Application));
  }
  TGIFImage* Gif() { return dynamic_cast<TGIFImage*>(Wait->Image1->GetPicture()->GetGraphic()); }
  std::unique_ptr<TfrmWait> Wait;
};

TEST_F(QalWaitForm, IsAnAnimatedPictureAboveItsText) {
  EXPECT_EQ(Application->FindComponent(L"frmWait"), Wait.get());
  EXPECT_EQ(Wait->GetBorderStyle(), bsNone);
  EXPECT_EQ(Wait->GetFormStyle(), fsStayOnTop);
  EXPECT_EQ(Wait->GetClientWidth(), 188);
  EXPECT_EQ(Wait->GetClientHeight(), 214);
  EXPECT_EQ(Wait->Shape1->GetPen()->GetColor(), TColor(0x3866F3));
  EXPECT_EQ(Wait->Shape1->GetPen()->GetWidth(), 4);
  EXPECT_EQ(Wait->Label1->GetCaption(), L"Lütfen Bekleyiniz...");
  EXPECT_GE(Wait->Label1->GetTop(), Wait->Image1->GetTop() + Wait->Image1->GetHeight());
  ASSERT_NE(Gif(), nullptr);
  EXPECT_EQ(Gif()->GetWidth(), 170);
  EXPECT_EQ(Gif()->GetHeight(), 170);
  EXPECT_GT(Gif()->GetImages().size(), 1u);
  EXPECT_FALSE(Gif()->GetAnimate());
}

TEST_F(QalWaitForm, ShownItStaysOnTopAndAnimatesAtHalfSpeed) {
  Wait->Show();
  WaitPump();
  EXPECT_TRUE(GetWindowLongPtrW(Wait->GetHandle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  ASSERT_NE(Gif(), nullptr);
  EXPECT_TRUE(Gif()->GetAnimate());
  EXPECT_EQ(Gif()->GetAnimationSpeed(), 50);
  // Each frame stays twice its recorded delay.
  EXPECT_EQ(Gif()->GetFrameDelay(), Cardinal(Gif()->GetImages()[size_t(Gif()->GetCurrentFrame())].Delay * 10 * 2));
  Integer First = Gif()->GetCurrentFrame();
  DWORD Start = GetTickCount();
  while (Gif()->GetCurrentFrame() == First && GetTickCount() - Start < 2000) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    WaitPump();
  }
  EXPECT_NE(Gif()->GetCurrentFrame(), First);
}

TEST_F(QalWaitForm, AClickOnThePictureClosesIt) {
  Wait->Show();
  WaitPump();
  TRect R = Wait->Image1->GetBoundsRect();
  LPARAM At = MAKELPARAM((R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
  PostMessageW(Wait->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, At);
  PostMessageW(Wait->GetHandle(), WM_LBUTTONUP, 0, At);
  WaitPump();
  EXPECT_FALSE(Wait->GetVisible());
}

}  // namespace
