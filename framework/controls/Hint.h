#pragma once
// THintWindow: the small pop-up window that shows a control's hint.

#include "framework/controls/CustomControl.h"

class THintWindow : public TCustomControl {
  DECLARE_CLASS(THintWindow, TCustomControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_NCHITTEST, TWMNCHitTest, WMNCHitTest)
  END_MESSAGE_MAP

 public:
  explicit THintWindow(TComponent* AOwner);
  virtual void ActivateHint(const TRect& Rect, const String& AHint);
  virtual void ActivateHintData(const TRect& Rect, const String& AHint, void* AData);
  virtual TRect CalcHintRect(Integer MaxWidth, const String& AHint, void* AData);
  // True when Msg should take the hint down (a key, a click, leaving the application).
  virtual bool IsHintMsg(const MSG& Msg);
  void ReleaseHandle();

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;
  void WMNCHitTest(TWMNCHitTest& Message);
};
