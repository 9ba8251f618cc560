// The edit-buttons strip: the controls' sizes and common height from the buttons and the height
// available, the separating lines of a flat strip without themes, the order right to left, the
// entries it makes and frees, and the events it hands to its owner.

#include "kvlib/editors/DBCtrlsKv.h"

#include <gtest/gtest.h>

#include "framework/ExtCtrls.h"
#include "kvlib/foundation/ButtonsKvTestUtil.h"

using namespace ctltest;
using namespace buttontest;

namespace {

// A strip on a form with Count buttons of Width, owned by the test as an edit would own them.
struct TButtonsStrip {
  TFormHolder F{200, 60};
  TEditButtonsBoxKv* Box;
  std::vector<std::unique_ptr<TEditButtonKv>> Buttons;
  Integer Made = 0;

  TButtonsStrip(Integer Count, Integer Width, bool Flat, Integer MaxHeight) {
    Box = new TEditButtonsBoxKv(F.Form);
    Box->SetParent(F.Form);
    Box->SetBounds(0, 0, 120, 40);
    Box->SetOnCreateEditButtonControl([this](TEditButtonControlKv*& C) {
      ++Made;
      C = new TEditButtonControlKv(F.Form);
    });
    Box->BeginLayout();
    Box->SetFlat(Flat);
    Box->SetMaxButtonHeight(MaxHeight);
    Box->SetButtonsCount(Count);
    for (Integer I = 0; I < Count; ++I) {
      Buttons.push_back(std::make_unique<TEditButtonKv>(static_cast<TWinControl*>(nullptr)));
      Buttons.back()->SetVisible(true);
      Buttons.back()->SetWidth(Width);
      Box->GetBtnCtlList()[size_t(I)].EditButton = Buttons.back().get();
    }
    Box->EndLayout();
  }
  TEditButtonControlKv* Control(Integer I) { return Box->GetBtnCtlList()[size_t(I)].EditButtonControl; }
  TShape* Line(Integer I) { return Box->GetBtnCtlList()[size_t(I)].ButtonLine; }
  void Rebuild() {
    Box->BeginLayout();
    Box->EndLayout();
  }
};

struct TStripGeometryCase {
  bool Flat;
  Integer MaxHeight;
  Integer Height;
  Integer LineWidth;
  Integer ButtonsWidth;
};

void CheckStripGeometry(const TStripGeometryCase& C) {
  TButtonsStrip S(3, 17, C.Flat, C.MaxHeight);
  EXPECT_EQ(S.Box->GetButtonHeight(), C.Height) << C.Flat << " " << C.MaxHeight;
  EXPECT_EQ(S.Box->GetButtonsWidth(), C.ButtonsWidth) << C.Flat << " " << C.MaxHeight;
  Integer X = 0;
  for (Integer I = 0; I < 3; ++I) {
    EXPECT_EQ(S.Control(I)->GetBoundsRect(), TRect(X, 0, X + 17, C.Height)) << I;
    EXPECT_EQ(S.Control(I)->GetTag(), I);
    X += 17;
    EXPECT_EQ(S.Line(I)->GetWidth(), C.LineWidth) << I;
    EXPECT_EQ(S.Line(I)->GetVisible(), C.LineWidth > 0) << I;
    if (C.LineWidth) {
      EXPECT_EQ(S.Line(I)->GetBoundsRect(), TRect(X, 0, X + 1, C.Height)) << I;
    }
    X += C.LineWidth;
  }
}

// With themes on (Wine's default) no lines are drawn.
TEST(EditButtonsBox, HeightFollowsTheWidthOnceTheRoomIsLarger) {
  const TStripGeometryCase Cases[] = {
      {false, 21, 21, 0, 51},  // 21 is not above 17 * 3 / 2 rounded (26)
      {false, 30, 17, 0, 51},
      {true, 21, 21, 0, 51},
      {true, 30, 23, 0, 51},   // 17 * 4 / 3 rounded
  };
  if (!ThemesEnabledKv()) GTEST_SKIP() << "themes are off";
  for (const TStripGeometryCase& C : Cases) CheckStripGeometry(C);
}

class EditButtonsBoxClassic : public ClassicLook {};

// Without themes a flat strip draws a line after each button and does not count the last one.
TEST_F(EditButtonsBoxClassic, FlatStripHasLinesAndCountsAllButTheLast) {
  const TStripGeometryCase Cases[] = {
      {true, 21, 21, 1, 53},
      {true, 30, 23, 1, 53},
      {false, 30, 17, 0, 51},
  };
  for (const TStripGeometryCase& C : Cases) CheckStripGeometry(C);
}

TEST(EditButtonsBox, InvisibleButtonsTakeNoRoom) {
  TButtonsStrip S(3, 17, false, 30);
  S.Buttons[1]->SetVisible(false);
  S.Buttons[2]->SetWidth(0);  // the system's scroll-bar width
  S.Rebuild();
  Integer Scroll = GetSystemMetrics(SM_CXVSCROLL);
  EXPECT_EQ(S.Control(1)->GetWidth(), 0);
  EXPECT_FALSE(S.Control(1)->GetVisible());
  EXPECT_EQ(S.Control(2)->GetLeft(), 17);
  EXPECT_EQ(S.Box->GetButtonsWidth(), 17 + Scroll);

  // No visible button: no height for the owner to use.
  S.Buttons[0]->SetVisible(false);
  S.Buttons[2]->SetVisible(false);
  S.Rebuild();
  EXPECT_EQ(S.Box->GetButtonHeight(), 0);
  EXPECT_EQ(S.Box->GetButtonsWidth(), 0);
}

TEST(EditButtonsBox, RightToLeftLaysTheButtonsOutFromTheRight) {
  TButtonsStrip S(2, 17, false, 21);
  S.Box->SetBiDiMode(bdRightToLeft);
  S.Buttons[1]->SetWidth(20);
  S.Rebuild();
  EXPECT_EQ(S.Control(0)->GetLeft(), 20);
  EXPECT_EQ(S.Control(1)->GetLeft(), 0);
}

TEST(EditButtonsBox, EntriesAreMadeByTheFactoryAndFreedWhenTheCountShrinks) {
  TButtonsStrip S(3, 17, false, 21);
  EXPECT_EQ(S.Made, 3);
  EXPECT_EQ(S.Control(2)->GetParent(), S.Box);
  EXPECT_EQ(S.Line(2)->GetParent(), S.Box);
  Integer Children = S.Box->GetControlCount();
  S.Box->SetButtonsCount(1);
  EXPECT_EQ(S.Box->GetButtonsCount(), 1);
  EXPECT_EQ(S.Box->GetControlCount(), Children - 4);
  // A control its maker frees leaves an empty entry, not a dangling one.
  delete S.Control(0);
  EXPECT_EQ(S.Control(0), nullptr);
  S.Rebuild();
  EXPECT_EQ(S.Box->GetButtonsWidth(), 0);
  // Without a factory the strip makes plain controls itself.
  S.Box->SetOnCreateEditButtonControl(nullptr);
  S.Box->SetButtonsCount(2);
  EXPECT_NE(S.Control(1), nullptr);
}

TEST(EditButtonsBox, ControlsFollowTheStripsStateAndHandItsEvents) {
  TButtonsStrip S(2, 17, false, 21);
  std::vector<NativeInt> Clicked;
  S.Box->SetOnButtonClick([&](TObject* Sender) { Clicked.push_back(static_cast<TComponent*>(Sender)->GetTag()); });
  S.Rebuild();
  S.F->Show();
  PostMouse(S.Box, WM_LBUTTONDOWN, MK_LBUTTON, 17 + 5, 5);
  PostMouse(S.Box, WM_LBUTTONUP, 0, 17 + 5, 5);
  EXPECT_EQ(Clicked, (std::vector<NativeInt>{1}));

  S.Buttons[0]->SetEnabled(false);
  S.Box->SetBorderActive(true);
  S.Box->UpdateEditButtonControlsState();
  EXPECT_FALSE(S.Control(0)->GetEnabled());
  EXPECT_TRUE(S.Control(1)->GetEnabled());
  EXPECT_TRUE(S.Control(1)->GetActive());
  EXPECT_EQ(S.Line(0)->GetPen()->GetColor(), clBtnFace);
  S.Box->SetEnabled(false);
  S.Box->SetBorderActive(false);
  S.Box->UpdateEditButtonControlsState();
  EXPECT_FALSE(S.Control(1)->GetEnabled());
  EXPECT_FALSE(S.Control(1)->GetActive());
  EXPECT_EQ(S.Line(0)->GetPen()->GetColor(), S.Box->GetColor());
}

}  // namespace
