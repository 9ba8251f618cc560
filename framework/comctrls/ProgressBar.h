#pragma once
// TProgressBar over the common controls' progress window: a position between Min and Max moved
// by Position, StepIt and StepBy, or, in marquee style, a block running on its own.

#include "framework/controls/WinControl.h"

DECLARE_ENUM(TProgressBarStyle, pbstNormal, pbstMarquee)
DECLARE_ENUM(TProgressBarState, pbsNormal, pbsError, pbsPaused)

class TProgressBar : public TWinControl {
  DECLARE_CLASS(TProgressBar, TWinControl)
 public:
  explicit TProgressBar(TComponent* AOwner);

  void StepIt();
  void StepBy(Integer Delta);

  Integer GetMin() const { return FMin; }
  void SetMin(Integer Value);
  Integer GetMax() const { return FMax; }
  void SetMax(Integer Value);
  // The window's position while it has one (it may have been stepped), else the field.
  Integer GetPosition();
  void SetPosition(Integer Value);
  Integer GetStep() const { return FStep; }
  void SetStep(Integer Value);
  TProgressBarStyle GetStyle() const { return FStyle; }
  void SetStyle(TProgressBarStyle Value);
  TProgressBarState GetState() const { return FState; }
  void SetState(TProgressBarState Value);
  // Milliseconds between the marquee's moves.
  Integer GetMarqueeInterval() const { return FMarqueeInterval; }
  void SetMarqueeInterval(Integer Value);

  PUBLISHED_DECL(TProgressBar);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;

 private:
  void ApplyRange();
  void ApplyMarquee();

  Integer FMin = 0;
  Integer FMax = 100;
  Integer FPosition = 0;
  Integer FStep = 10;
  TProgressBarStyle FStyle = pbstNormal;
  TProgressBarState FState = pbsNormal;
  Integer FMarqueeInterval = 10;
};
