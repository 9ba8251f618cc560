#pragma once
// ExtCtrls: TTimer for now.

#include "framework/classes/Component.h"
#include "framework/TypInfo.h"

// Fires OnTimer every Interval milliseconds on the UI thread while Enabled. Changing Interval,
// Enabled or OnTimer restarts it; an Interval of 0 stops it.
class TTimer : public TComponent {
  DECLARE_CLASS(TTimer, TComponent)
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  Cardinal GetInterval() const { return FInterval; }
  void SetInterval(Cardinal Value);
  TNotifyEvent GetOnTimer() const { return FOnTimer; }
  void SetOnTimer(const TNotifyEvent& Value);

  PUBLISHED_DECL(TTimer);

 protected:
  virtual void Timer();

 private:
  static NativeInt __stdcall WndProc(void* Wnd, Cardinal Msg, NativeUInt WParam, NativeInt LParam);
  void UpdateTimer();
  void* FWindowHandle = nullptr;
  bool FEnabled = true;
  Cardinal FInterval = 1000;
  TNotifyEvent FOnTimer;
};
