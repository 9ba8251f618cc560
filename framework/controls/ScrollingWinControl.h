#pragma once
// TScrollingWinControl: a windowed container whose client area scrolls over its children
// (forms and scroll boxes). TScrollBox is the stand-alone one.

#include "framework/controls/WinControl.h"

class TScrollingWinControl;

class TControlScrollBar : public TPersistent {
  DECLARE_CLASS(TControlScrollBar, TPersistent)
 public:
  TControlScrollBar(TScrollingWinControl* Control, TScrollBarKind Kind) : FControl(Control), FKind(Kind) {}
  void Assign(TPersistent* Source) override;
  TScrollBarKind GetKind() const { return FKind; }
  Integer GetPosition() const { return FPosition; }
  void SetPosition(Integer Value);
  Integer GetRange() const { return FRange; }
  void SetRange(Integer Value);
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value);
  Integer GetIncrement() const { return FIncrement; }
  void SetIncrement(Integer Value) { FIncrement = Value; }
  bool IsScrollBarVisible();
  Integer ControlSize();  // the client extent along this bar

 private:
  friend class TScrollingWinControl;
  void Update();
  void ScrollMessage(TWMScroll& Message);
  TScrollingWinControl* FControl;
  TScrollBarKind FKind;
  Integer FPosition = 0;
  Integer FRange = 0;
  Integer FIncrement = 8;
  bool FVisible = true;
  Integer FCalcRange = 0;
};

class TScrollingWinControl : public TWinControl {
  DECLARE_CLASS(TScrollingWinControl, TWinControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_HSCROLL, TWMHScroll, WMHScroll)
    MESSAGE_HANDLER(WM_VSCROLL, TWMVScroll, WMVScroll)
  END_MESSAGE_MAP

 public:
  explicit TScrollingWinControl(TComponent* AOwner);
  ~TScrollingWinControl() override;
  bool GetAutoScroll() const { return FAutoScroll; }
  void SetAutoScroll(bool Value);
  TControlScrollBar* GetHorzScrollBar() const { return FHorzScrollBar.get(); }
  TControlScrollBar* GetVertScrollBar() const { return FVertScrollBar.get(); }
  void ScrollInView(TControl* AControl);
  // Moves every child by DeltaX, DeltaY and scrolls the window's pixels with them.
  void ScrollBy(Integer DeltaX, Integer DeltaY);

 protected:
  void CreateWnd() override;
  void AlignControls(TControl* AControl, TRect& Rect) override;
  void UpdateScrollBars();
  void WMHScroll(TWMHScroll& Message);
  void WMVScroll(TWMVScroll& Message);

  bool FAutoScroll = false;

 private:
  friend class TControlScrollBar;
  std::unique_ptr<TControlScrollBar> FHorzScrollBar;
  std::unique_ptr<TControlScrollBar> FVertScrollBar;
  bool FUpdatingScrollBars = false;
};

class TScrollBox : public TScrollingWinControl {
  DECLARE_CLASS(TScrollBox, TScrollingWinControl)
 public:
  explicit TScrollBox(TComponent* AOwner);
  TBorderStyle GetBorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);

 protected:
  void CreateParams(TCreateParams& Params) override;

 private:
  TBorderStyle FBorderStyle = bsSingle;
};
