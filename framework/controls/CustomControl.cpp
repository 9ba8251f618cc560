#include "framework/Controls.h"

namespace {
// Paints Control on Canvas through the DC of a WM_PAINT; the canvas gives the DC back after.
template <class F>
void PaintOn(TControlCanvas* Canvas, HDC DC, F&& Paint) {
  Canvas->Lock();
  try {
    Canvas->SetHandle(DC);
    Canvas->UpdateTextFlags();
    Paint();
  } catch (...) {
    Canvas->SetHandle(nullptr);
    Canvas->Unlock();
    throw;
  }
  Canvas->SetHandle(nullptr);
  Canvas->Unlock();
}
}  // namespace

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner), FCanvas(std::make_unique<TControlCanvas>()) {
  FCanvas->SetControl(this);
}

TCustomControl::~TCustomControl() { FCanvas.reset(); }

void TCustomControl::WMPaint(TWMPaint& Message) {
  FControlState << csCustomPaint;
  try {
    PaintHandler(Message);
  } catch (...) {
    FControlState >> csCustomPaint;
    throw;
  }
  FControlState >> csCustomPaint;
}

void TCustomControl::PaintWindow(HDC DC) { PaintOn(FCanvas.get(), DC, [this] { Paint(); }); }

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner), FCanvas(std::make_unique<TControlCanvas>()) {
  FCanvas->SetControl(this);
}

TGraphicControl::~TGraphicControl() { FCanvas.reset(); }

void TGraphicControl::WMPaint(TWMPaint& Message) {
  if (!Message.DC) return;
  PaintOn(FCanvas.get(), Message.DC, [this] { Paint(); });
}
