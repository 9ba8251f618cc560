#pragma once
// The cell editor of a grid (part of the unit GridsKv). For now a plain window that knows its
// grid; the grid makes it on first need, moves it over the current cell and hides it.

#include "framework/controls/CustomControl.h"

class TCustomGridKv;

class TInplaceEdit : public TCustomControl {
  DECLARE_CLASS(TInplaceEdit, TCustomControl)
 public:
  explicit TInplaceEdit(TComponent* AOwner) : TCustomControl(AOwner) {}

  TCustomGridKv* GetGrid() const { return FGrid; }
  // Set once, right after creation.
  void SetGrid(TCustomGridKv* Value) { FGrid = Value; }
  // Takes the selection away from the text.
  virtual void Deselect() {}
  // The editor's message time of the last left press on the grid.
  Cardinal FClickTime = 0;

 private:
  TCustomGridKv* FGrid = nullptr;  // the grid owns its editor
};
