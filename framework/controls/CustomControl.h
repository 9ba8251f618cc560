#pragma once
// TCustomControl (a window that paints itself in Paint) and TGraphicControl (a windowless
// control painted by its parent window, receiving the mouse through it).

#include "framework/controls/WinControl.h"

class TCustomControl : public TWinControl {
  DECLARE_CLASS(TCustomControl, TWinControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_PAINT, TWMPaint, WMPaint)
  END_MESSAGE_MAP

 public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  TCanvas* GetCanvas() const { return FCanvas.get(); }

 protected:
  virtual void Paint() {}
  void PaintWindow(HDC DC) override;
  void WMPaint(TWMPaint& Message);

 private:
  std::unique_ptr<TControlCanvas> FCanvas;
};

class TGraphicControl : public TControl {
  DECLARE_CLASS(TGraphicControl, TControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_PAINT, TWMPaint, WMPaint)
  END_MESSAGE_MAP

 public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;
  TCanvas* GetCanvas() const { return FCanvas.get(); }

 protected:
  virtual void Paint() {}
  void WMPaint(TWMPaint& Message);

 private:
  std::unique_ptr<TControlCanvas> FCanvas;
};
