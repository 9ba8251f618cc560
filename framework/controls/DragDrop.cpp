#include "framework/Forms.h"

namespace {
struct TDragState_ {
  TControl* Source = nullptr;
  TDragObject* Object = nullptr;
  bool OwnObject = false;
  bool Started = false;  // false while the mouse has not yet passed the threshold
  TPoint StartPos;
  Integer Threshold = 5;
  TControl* Target = nullptr;
  bool Accepted = false;
} Drag;

TObject* SourceOf() {
  if (auto* D = dynamic_cast<TDragControlObject*>(Drag.Object)) return D->GetControl();
  return Drag.Object;
}
}  // namespace

TCursor TDragControlObject::GetDragCursor(bool Accepted, Integer, Integer) {
  return Accepted ? FControl->GetDragCursor() : crNoDrop;
}

bool TDragManager::Active() { return Drag.Source != nullptr; }
TControl* TDragManager::DragControl() { return Drag.Source; }

void TDragManager::Begin(TControl* Control, bool Immediate, Integer Threshold) {
  if (Drag.Source) return;
  Drag = TDragState_();
  Drag.Source = Control;
  Drag.StartPos = Mouse ? Mouse->GetCursorPos() : TPoint();
  Drag.Threshold = Threshold < 0 ? (Mouse ? Mouse->GetDragThreshold() : 5) : Threshold;
  TDragObject* Obj = nullptr;
  Control->DoStartDrag(Obj);
  if (!Obj) {
    Obj = new TDragControlObject(Control);
    Drag.OwnObject = true;
  }
  Drag.Object = Obj;
  Drag.Started = Immediate;
  SetCaptureControl(Control);
}

void TDragManager::MouseMoved(const TPoint& Pos) {
  if (!Drag.Source) return;
  if (!Drag.Started) {
    if (std::abs(Pos.X - Drag.StartPos.X) < Drag.Threshold && std::abs(Pos.Y - Drag.StartPos.Y) < Drag.Threshold) return;
    Drag.Started = true;
  }
  Drag.Object->FDragPos = Pos;
  TControl* Target = FindDragTarget(Pos, false);
  if (Target != Drag.Target) {
    if (Drag.Target) {
      bool Dummy = false;
      TPoint P = Drag.Target->ScreenToClient(Pos);
      Drag.Target->DragOver(SourceOf(), P.X, P.Y, dsDragLeave, Dummy);
    }
    Drag.Target = Target;
    Drag.Accepted = false;
    if (Target) {
      TPoint P = Target->ScreenToClient(Pos);
      Target->DragOver(SourceOf(), P.X, P.Y, dsDragEnter, Drag.Accepted);
    }
  } else if (Target) {
    TPoint P = Target->ScreenToClient(Pos);
    Target->DragOver(SourceOf(), P.X, P.Y, dsDragMove, Drag.Accepted);
  }
  Drag.Object->FDragTarget = Drag.Accepted ? Drag.Target : nullptr;
  if (Screen) ::SetCursor(Screen->GetCursors(Drag.Object->GetDragCursor(Drag.Accepted, Pos.X, Pos.Y)));
}

void TDragManager::Done(bool Drop) {
  if (!Drag.Source) return;
  TDragState_ D = Drag;
  Drag = TDragState_();
  if (GetCaptureControl() == D.Source) SetCaptureControl(nullptr);
  TControl* Target = D.Started && D.Accepted && Drop ? D.Target : nullptr;
  TPoint Pos = D.Object->FDragPos;
  TPoint P = Target ? Target->ScreenToClient(Pos) : Pos;
  D.Object->FDropped = Target != nullptr;
  try {
    if (Target) Target->DragDrop(D.Source == Target ? static_cast<TObject*>(D.Source) : (D.OwnObject ? static_cast<TObject*>(D.Source) : D.Object), P.X, P.Y);
    if (D.Started) D.Source->DoEndDrag(Target, P.X, P.Y);
  } catch (...) {
    if (D.OwnObject) delete D.Object;
    throw;
  }
  if (D.OwnObject) delete D.Object;
}

void TDragManager::ControlDestroyed(TControl* Control) {
  if (Drag.Source == Control) {
    if (Drag.OwnObject) delete Drag.Object;
    Drag = TDragState_();
  } else if (Drag.Target == Control) {
    Drag.Target = nullptr;
    Drag.Accepted = false;
  }
}

bool TControl::Dragging() const { return TDragManager::DragControl() == this; }

void TControl::BeginDrag(bool Immediate, Integer Threshold) {
  TDragManager::Begin(this, Immediate, Threshold);
}

void TControl::EndDrag(bool Drop) {
  if (Dragging()) TDragManager::Done(Drop);
}
