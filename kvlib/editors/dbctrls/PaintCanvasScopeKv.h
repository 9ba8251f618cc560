#pragma once
// A control's canvas drawing into a paint DC for one paint (part of the unit DBCtrlsKv).

#include "framework/graphics/Canvas.h"

// Gives the canvas the paint DC and takes it back, also on an error.
class TPaintCanvasScopeKv {
 public:
  TPaintCanvasScopeKv(TControlCanvas* Canvas, HDC DC) : FCanvas(Canvas) {
    FCanvas->Lock();
    FCanvas->SetHandle(DC);
  }
  ~TPaintCanvasScopeKv() {
    FCanvas->SetHandle(nullptr);
    FCanvas->Unlock();
  }
  TPaintCanvasScopeKv(const TPaintCanvasScopeKv&) = delete;
  TPaintCanvasScopeKv& operator=(const TPaintCanvasScopeKv&) = delete;

 private:
  TControlCanvas* FCanvas;
};
