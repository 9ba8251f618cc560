#pragma once
// The contract between a data-aware edit and a grid-like control that uses it as its cell editor
// (part of the unit DBCtrlsKv). The edit offers IInplaceEditKv; the holder must offer
// IInplaceEditHolderKv. Both sides are components, so the references are never counted down to a
// free: the edit and the holder are freed by their owners.

#include "framework/Controls.h"

class TCustomDBEditKv;

class IInplaceEditKv : public virtual IInterface {
 public:
  virtual TFont* GetFont() = 0;
  // Nil leaves in-place mode. A control that is not an IInplaceEditHolderKv raises, and the edit
  // keeps its previous holder.
  virtual void SetInplaceEditHolder(TWinControl* AInplaceEditHolder) = 0;
  virtual void SetBorderStyle(TBorderStyle Value) = 0;
  virtual void SetFont(TFont* Value) = 0;
  virtual void SetColor(TColor Value) = 0;
  virtual void SetOnKeyPress(const TKeyPressEvent& Value) = 0;
  virtual void SetOnExit(const TNotifyEvent& Value) = 0;
};

class IInplaceEditHolderKv : public virtual IInterface {
 public:
  // Asked when the edit would be read-only; true makes it writable.
  virtual bool CanEditorModify(TCustomDBEditKv* Editor) = 0;
  // The screen point and message time of the holder's last left press; the time is cleared.
  virtual void GetMouseDownInfo(TPoint& Pt, Cardinal& Time) = 0;
  // Sees every message of the edit first; a non-zero Result consumes it.
  virtual void EditorWndProc(TCustomDBEditKv* Editor, TMessage& Message) = 0;
  // See the keys first; a key zeroed here goes no further.
  virtual void EditorKeyDown(TCustomDBEditKv* Editor, Word& Key, TShiftState Shift) = 0;
  virtual void EditorKeyPress(TCustomDBEditKv* Editor, Char& Key) = 0;
  virtual void EditorKeyUp(TCustomDBEditKv* Editor, Word& Key, TShiftState Shift) = 0;
  // Focuses the window while the holder's own focus handlers leave the editor alone.
  virtual void SetFocusToControl(HWND Window) = 0;
};
