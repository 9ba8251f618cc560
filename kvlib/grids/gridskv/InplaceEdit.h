#pragma once
// The cell editor of a grid (part of the unit GridsKv): a frame window over the current cell that
// holds a borderless masked edit inset by 2 pixels. Every key, character, wheel turn, double click
// and clipboard command reaching the edit is offered to the grid first, so the grid keeps control
// of navigation and of what may be changed. Only Move, UpdateLoc and Hide show or hide the frame.

#include "framework/Mask.h"
#include "framework/controls/CustomControl.h"

class TCustomGridKv;
class TInplaceEdit;

class TInplaceEditCoreControl : public TCustomMaskEdit {
  DECLARE_CLASS(TInplaceEditCoreControl, TCustomMaskEdit)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_GETDLGCODE, TMessage, WMGetDlgCode)
    MESSAGE_HANDLER(WM_KILLFOCUS, TWMKillFocus, WMKillFocus)
  END_MESSAGE_MAP
 public:
  // AOwner is the frame.
  explicit TInplaceEditCoreControl(TComponent* AOwner);

  void WndProc(TMessage& Message) override;
  // The grid's current cell: mask, text and length limit.
  virtual void UpdateContents();
  bool EditCanModify() override;
  // -1 is kept (the grid reads it as "not modifiable"); the window gets no limit then.
  Integer GetMaxLength() const { return FMaxLengthValue; }
  void SetMaxLength(Integer Value) override;
  // The caret at the start with nothing selected.
  void Deselect();

  TInplaceEdit* GetParentEdit() const { return FParentEdit; }
  TCustomGridKv* GetGrid() const;

 protected:
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(Char& Key) override;
  void KeyUp(Word& Key, TShiftState Shift) override;
  void DblClick() override;
  bool DoMouseWheel(TShiftState Shift, Integer WheelDelta, const TPoint& MousePos) override;
  void Change() override;
  void WMGetDlgCode(TMessage& Message);
  void WMKillFocus(TWMKillFocus& Message);

 private:
  TInplaceEdit* FParentEdit;  // the frame, which owns this control
  Integer FMaxLengthValue = 0;
};

class TInplaceEdit : public TCustomControl {
  DECLARE_CLASS(TInplaceEdit, TCustomControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_SETFOCUS, TWMSetFocus, WMSetFocus)
    MESSAGE_HANDLER(WM_CHAR, TMessage, WMChar)
    MESSAGE_HANDLER(WM_GETDLGCODE, TMessage, WMGetDlgCode)
    MESSAGE_HANDLER(WM_LBUTTONDBLCLK, TWMMouse, WMLButtonDblClk)
    MESSAGE_HANDLER(CM_SHOWINGCHANGED, TMessage, CMShowingChanged)
  END_MESSAGE_MAP
 public:
  explicit TInplaceEdit(TComponent* AOwner);

  TCustomGridKv* GetGrid() const { return FGrid; }
  // Set once, right after creation.
  void SetGrid(TCustomGridKv* Value) { FGrid = Value; }

  // ---- Virtual operations, in slot order
  virtual bool EditCanModify();
  virtual void GetEditCoreControlRect(TRect& Rect);
  virtual bool IsCutRefused(TMessage& Message);
  virtual bool IsPasteRefused(TMessage& Message);
  virtual bool IsClearRefused(TMessage& Message);
  virtual TInplaceEditCoreControl* CreateEditCoreControl();
  virtual void UpdateEditCoreControlBounds();
  virtual void CoreControlChanged();
  virtual void CoreControlKillFocus(HWND FocusedWnd);
  // The edit's key messages go through the frame's own key handling first; a non-zero Result
  // stops them there.
  virtual void DoKeyMessage(TMessage& Message);
  virtual void UpdateContents();
  virtual void Hide();

  // Shows the frame on the cell rectangle Loc (an empty one hides it); Move redraws it.
  void Move(const TRect& Loc) { InternalMove(Loc, true); }
  void UpdateLoc(const TRect& Loc) { InternalMove(Loc, false); }
  // Whether the frame's window is shown.
  bool IsShown() const;
  bool Focused() override;
  // To the edit, and only while the frame is shown.
  void SetFocus() override;
  void SelectAll() { Core()->SelectAll(); }
  void Deselect() {}
  void Reset() { Core()->Reset(); }
  void SetSel(Integer StartPos, Integer Length);
  Integer GetTextLen() { return Integer(Core()->GetText().length()); }

  TInplaceEditCoreControl* GetEditCoreControl() { return Core(); }
  String GetEditText() { return Core()->GetEditText(); }
  void SetEditText(const String& Value) { Core()->SetEditText(Value); }
  Integer GetMaxLength() { return Core()->GetMaxLength(); }
  void SetMaxLength(Integer Value) { Core()->SetMaxLength(Value); }
  bool GetReadOnly() { return Core()->GetReadOnly(); }
  void SetReadOnly(bool Value) { Core()->SetReadOnly(Value); }
  String GetSelText() { return Core()->GetSelText(); }
  void SetSelText(const String& Value) { Core()->SetSelText(Value); }
  Integer GetSelLength() { return Core()->GetSelLength(); }
  void SetSelLength(Integer Value) { Core()->SetSelLength(Value); }
  Integer GetSelStart() { return Core()->GetSelStart(); }
  void SetSelStart(Integer Value) { Core()->SetSelStart(Value); }
  String GetText() { return Core()->GetText(); }
  // The core edit's text; FInternalTextSetting holds while it is assigned.
  void SetText(const String& Value);
  String GetEditMask() { return Core()->GetEditMask(); }
  void SetEditMask(const String& Value) { Core()->SetEditMask(Value); }
  bool IsMasked() { return Core()->IsMasked(); }
  bool GetModified() { return Core()->GetModified(); }
  void SetModified(bool Value) { Core()->SetModified(Value); }
  bool GetAutoSelect() { return Core()->GetAutoSelect(); }
  void SetAutoSelect(bool Value) { Core()->SetAutoSelect(Value); }
  bool GetInternalTextSetting() const { return FInternalTextSetting; }

  // The message time of the last left press on the grid; the edit reads it and resets it to 0.
  Cardinal FClickTime = 0;

 protected:
  bool DoMouseWheel(TShiftState Shift, Integer WheelDelta, const TPoint& MousePos) override;
  void InternalMove(const TRect& Loc, bool Redraw);
  void WMSetFocus(TWMSetFocus& Message);
  void WMChar(TMessage& Message);
  void WMGetDlgCode(TMessage& Message);
  void WMLButtonDblClk(TWMMouse& Message);
  void CMShowingChanged(TMessage& Message);

 private:
  friend class TInplaceEditCoreControl;
  // The edit comes from CreateEditCoreControl on first use, so a descendant's override makes it.
  TInplaceEditCoreControl* Core();
  TCustomGridKv* FGrid = nullptr;  // the grid owns its editor
  TInplaceEditCoreControl* FEditCoreControl = nullptr;  // owned and parented by the frame
  bool FInternalTextSetting = false;
};
