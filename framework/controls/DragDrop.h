#pragma once
// Drag and drop between controls: the drag object carried from the source to the targets it
// passes over, and the state of the drag under way.

#include "framework/controls/Control.h"

class TDragObject : public TObject {
  DECLARE_CLASS(TDragObject, TObject)
 public:
  virtual ~TDragObject() = default;
  TPoint GetDragPos() const { return FDragPos; }
  TControl* GetDragTarget() const { return FDragTarget; }
  bool GetDropped() const { return FDropped; }
  virtual TCursor GetDragCursor(bool Accepted, Integer X, Integer Y) { return Accepted ? crDrag : crNoDrop; }

 protected:
  friend class TDragManager;
  TPoint FDragPos;
  TControl* FDragTarget = nullptr;
  bool FDropped = false;
};

// The default drag object: the dragged control stands for itself as the Source.
class TDragControlObject : public TDragObject {
  DECLARE_CLASS(TDragControlObject, TDragObject)
 public:
  explicit TDragControlObject(TControl* AControl) : FControl(AControl) {}
  TControl* GetControl() const { return FControl; }
  TCursor GetDragCursor(bool Accepted, Integer X, Integer Y) override;

 private:
  TControl* FControl;
};

// The one drag in progress (the mouse can drag one thing at a time).
class TDragManager {
 public:
  static bool Active();
  static TControl* DragControl();
  static void Begin(TControl* Control, bool Immediate, Integer Threshold);
  // The mouse moved to the screen point Pos while dragging (or while waiting for the threshold).
  static void MouseMoved(const TPoint& Pos);
  static void Done(bool Drop);
  static void ControlDestroyed(TControl* Control);
};
