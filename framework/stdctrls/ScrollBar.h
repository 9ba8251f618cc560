#pragma once
// TScrollBar over the system SCROLLBAR window.

#include "framework/stdctrls/StdTypes.h"

class TScrollBar : public TWinControl {
  DECLARE_CLASS(TScrollBar, TWinControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CN_HSCROLL, TWMScroll, CNScroll)
    MESSAGE_HANDLER(CN_VSCROLL, TWMScroll, CNScroll)
    MESSAGE_HANDLER(CM_BIDIMODECHANGED, TMessage, CMBiDiModeChanged)
  END_MESSAGE_MAP

 public:
  explicit TScrollBar(TComponent* AOwner);
  // Sets the three together; values are clamped (Max to at least Min, Position into the range)
  // rather than refused, so callers may set them in any order.
  void SetParams(Integer APosition, Integer AMin, Integer AMax);
  TScrollBarKind GetKind() const { return FKind; }
  void SetKind(TScrollBarKind Value);
  Integer GetMin() const { return FMin; }
  void SetMin(Integer Value) { SetParams(FPosition, Value, FMax); }
  Integer GetMax() const { return FMax; }
  void SetMax(Integer Value) { SetParams(FPosition, FMin, Value); }
  Integer GetPosition() const { return FPosition; }
  void SetPosition(Integer Value) { SetParams(Value, FMin, FMax); }
  Integer GetPageSize() const { return FPageSize; }
  void SetPageSize(Integer Value);
  Integer GetSmallChange() const { return FSmallChange; }
  void SetSmallChange(Integer Value) { FSmallChange = Value; }
  Integer GetLargeChange() const { return FLargeChange; }
  void SetLargeChange(Integer Value) { FLargeChange = Value; }
  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }
  TScrollEvent GetOnScroll() const { return FOnScroll; }
  void SetOnScroll(const TScrollEvent& Value) { FOnScroll = Value; }
  PUBLISHED_DECL(TScrollBar);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  virtual void Change();
  virtual void Scroll(TScrollCode ScrollCode, Integer& ScrollPos);
  void CNScroll(TWMScroll& Message);
  void CMBiDiModeChanged(TMessage& Message);

 private:
  void UpdateScrollInfo();
  TScrollBarKind FKind = sbHorizontal;
  Integer FMin = 0, FMax = 100, FPosition = 0, FPageSize = 0;
  Integer FSmallChange = 1, FLargeChange = 1;
  TNotifyEvent FOnChange;
  TScrollEvent FOnScroll;
};
