#pragma once
// A control's touch settings: which interactive gestures it takes and how a pan behaves. The
// control says which of them are stored with a form (TControl::IsTouchPropertyStored).

#include "framework/classes/Persistent.h"
#include "framework/TypInfo.h"
#include "framework/Types.h"

class TControl;

DECLARE_ENUM(TInteractiveGesture, igZoom, igPan, igRotate, igTwoFingerTap, igPressAndTap)
using TInteractiveGestures = Set<TInteractiveGesture, 8>;
DECLARE_ENUM(TInteractiveGestureOption, igoPanSingleFingerHorizontal, igoPanSingleFingerVertical, igoPanInertia,
             igoPanGutter, igoParentPassthrough)
using TInteractiveGestureOptions = Set<TInteractiveGestureOption, 8>;
DECLARE_ENUM(TTouchProperty, tpInteractiveGestures, tpInteractiveGestureOptions)

// What a control hears of an interactive gesture (WM_GESTURE): its id (the system's GID_ value,
// igiPan for a pan), the location in client coordinates and whether it begins, coasts or ends.
DECLARE_ENUM(TInteractiveGestureFlag, gfBegin, gfInertia, gfEnd)
using TInteractiveGestureFlags = Set<TInteractiveGestureFlag, 8>;
constexpr Integer igiZoom = 3, igiPan = 4, igiRotate = 5, igiTwoFingerTap = 6, igiPressAndTap = 7;
struct TGestureEventInfo {
  Integer GestureID = 0;
  TPoint Location;
  TInteractiveGestureFlags Flags;
  Integer Distance = 0;
};

class TTouchManager : public TPersistent {
  DECLARE_CLASS(TTouchManager, TPersistent)
 public:
  explicit TTouchManager(TControl* AControl) : FControl(AControl) {}
  void Assign(TPersistent* Source) override;

  TControl* GetControl() const { return FControl; }
  TInteractiveGestures GetInteractiveGestures() const { return FInteractiveGestures; }
  void SetInteractiveGestures(TInteractiveGestures Value) { FInteractiveGestures = Value; }
  TInteractiveGestureOptions GetInteractiveGestureOptions() const { return FInteractiveGestureOptions; }
  void SetInteractiveGestureOptions(TInteractiveGestureOptions Value) { FInteractiveGestureOptions = Value; }
  bool IsInteractiveGesturesStored() const;
  bool IsInteractiveGestureOptionsStored() const;

  PUBLISHED_DECL(TTouchManager);

  static TInteractiveGestureOptions AllGestureOptions() {
    return {igoPanSingleFingerHorizontal, igoPanSingleFingerVertical, igoPanInertia, igoPanGutter,
            igoParentPassthrough};
  }

 protected:
  TPersistent* GetOwner() override;

 private:
  TControl* FControl;  // the touch settings belong to their control
  TInteractiveGestures FInteractiveGestures;
  TInteractiveGestureOptions FInteractiveGestureOptions = AllGestureOptions();
};
