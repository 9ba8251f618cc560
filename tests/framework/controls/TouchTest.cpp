// A control's touch settings: made on first use, copied whole, and stored in a form only where
// they differ from what the control takes by default.

#include <gtest/gtest.h>

#include "framework/Controls.h"

namespace {

// A control that takes the pan gesture unless told otherwise.
class TPanningControl : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  bool IsTouchPropertyStored(TTouchProperty AProperty) override {
    if (AProperty == tpInteractiveGestures) return GetTouch()->GetInteractiveGestures() != TInteractiveGestures{igPan};
    return TCustomControl::IsTouchPropertyStored(AProperty);
  }
};

TEST(TouchManager, DefaultsCopiesAndStoredRules) {
  TCustomControl Plain(nullptr);
  TTouchManager* T = Plain.GetTouch();
  EXPECT_EQ(T, Plain.GetTouch());
  EXPECT_EQ(T->GetControl(), &Plain);
  EXPECT_TRUE(T->GetInteractiveGestures().Empty());
  EXPECT_EQ(T->GetInteractiveGestureOptions(), TTouchManager::AllGestureOptions());
  EXPECT_FALSE(T->IsInteractiveGesturesStored());
  EXPECT_FALSE(T->IsInteractiveGestureOptionsStored());
  T->SetInteractiveGestureOptions(TInteractiveGestureOptions{igoPanInertia});
  EXPECT_TRUE(T->IsInteractiveGestureOptionsStored());

  TPanningControl Panning(nullptr);
  Panning.GetTouch()->SetInteractiveGestures(TInteractiveGestures{igPan});
  EXPECT_FALSE(Panning.GetTouch()->IsInteractiveGesturesStored()) << "the control's own default";
  Panning.SetTouch(T);
  EXPECT_TRUE(Panning.GetTouch()->GetInteractiveGestures().Empty());
  EXPECT_EQ(Panning.GetTouch()->GetInteractiveGestureOptions(), TInteractiveGestureOptions{igoPanInertia});
  EXPECT_TRUE(Panning.GetTouch()->IsInteractiveGesturesStored());
}

}  // namespace
