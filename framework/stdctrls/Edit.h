#pragma once
// TCustomEdit/TEdit over the system EDIT window, and TCustomMemo/TMemo, its multi-line form whose
// Lines read and write the window's text.

#include "framework/stdctrls/StdTypes.h"

class TStrings;

class TCustomEdit : public TWinControl {
  DECLARE_CLASS(TCustomEdit, TWinControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CN_COMMAND, TWMCommand, CNCommand)
    MESSAGE_HANDLER(CN_CTLCOLOREDIT, TWMCtlColor, CNCtlColor)
    MESSAGE_HANDLER(CN_CTLCOLORSTATIC, TWMCtlColor, CNCtlColor)
    MESSAGE_HANDLER(CM_ENTER, TCMEnter, CMEnter)
    MESSAGE_HANDLER(CM_TEXTCHANGED, TMessage, CMTextChanged)
    MESSAGE_HANDLER(CM_FONTCHANGED, TMessage, CMFontChanged)
    MESSAGE_HANDLER(WM_SETFONT, TMessage, WMSetFont)
    MESSAGE_HANDLER(CM_BIDIMODECHANGED, TMessage, CMBiDiModeChanged)
  END_MESSAGE_MAP

 public:
  explicit TCustomEdit(TComponent* AOwner);

  void Clear() { SetText(L""); }
  void ClearSelection();
  void ClearUndo();
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  void Undo();
  bool CanUndo();
  void SelectAll();

  bool GetAutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool Value) { FAutoSelect = Value; }
  bool GetAutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  TBorderStyle GetBorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  TEditCharCase GetCharCase() const { return FCharCase; }
  void SetCharCase(TEditCharCase Value);
  bool GetHideSelection() const { return FHideSelection; }
  void SetHideSelection(bool Value);
  Integer GetMaxLength() const { return FMaxLength; }
  virtual void SetMaxLength(Integer Value);
  bool GetModified();
  void SetModified(bool Value);
  bool GetNumbersOnly() const { return FNumbersOnly; }
  void SetNumbersOnly(bool Value);
  Char GetPasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(Char Value);
  bool GetReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  String GetTextHint() const { return FTextHint; }
  void SetTextHint(const String& Value);
  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  virtual Integer GetSelStart();
  virtual void SetSelStart(Integer Value);
  virtual Integer GetSelLength();
  virtual void SetSelLength(Integer Value);
  virtual String GetSelText();
  virtual void SetSelText(const String& Value);
  // The text's inner left and right margins in pixels (X left, Y right), the window's while it has
  // one; a negative value leaves that side to the font. Not the alignment Margins of every control.
  TPoint GetEditMargins();
  void SetEditMargins(Integer Left, Integer Right);
  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Loaded() override;
  virtual void Change();
  void AdjustHeight();
  void CNCommand(TWMCommand& Message);
  void CNCtlColor(TWMCtlColor& Message);
  void CMEnter(TCMEnter& Message);
  void CMTextChanged(TMessage& Message);
  void CMFontChanged(TMessage& Message);
  void WMSetFont(TMessage& Message);
  void CMBiDiModeChanged(TMessage& Message);

  bool FCreating = false;
  bool FAutoSize = true;

 private:
  bool FAutoSelect = true;
  TBorderStyle FBorderStyle = bsSingle;
  TEditCharCase FCharCase = ecNormal;
  bool FHideSelection = true;
  Integer FMaxLength = 0;
  bool FModified = false;
  bool FNumbersOnly = false;
  Char FPasswordChar = 0;
  bool FReadOnly = false;
  String FTextHint;
  TAlignment FAlignment = taLeftJustify;
  Integer FSelStart = 0, FSelLength = 0;  // kept while there is no window
  Integer FEditMarginLeft = -1, FEditMarginRight = -1;
  void ApplyEditMargins();
  TNotifyEvent FOnChange;
};

class TEdit : public TCustomEdit {
  DECLARE_CLASS(TEdit, TCustomEdit)
 public:
  using TCustomEdit::TCustomEdit;
  PUBLISHED_DECL(TEdit);
};

class TCustomMemo : public TCustomEdit {
  DECLARE_CLASS(TCustomMemo, TCustomEdit)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_GETDLGCODE, TWMGetDlgCode, WMGetDlgCode)
  END_MESSAGE_MAP

 public:
  explicit TCustomMemo(TComponent* AOwner);
  ~TCustomMemo() override;

  TStrings* GetLines() const { return FLines.get(); }
  void SetLines(TStrings* Value);
  TScrollStyle GetScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle Value);
  bool GetWantReturns() const { return FWantReturns; }
  void SetWantReturns(bool Value) { FWantReturns = Value; }
  bool GetWantTabs() const { return FWantTabs; }
  void SetWantTabs(bool Value) { FWantTabs = Value; }
  bool GetWordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  // X: the column, Y: the line of the caret (lines as the window shows them).
  TPoint GetCaretPos();
  void SetCaretPos(const TPoint& Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void KeyPress(Char& Key) override;
  void WMGetDlgCode(TWMGetDlgCode& Message);
  // A descendant whose window counts lines its own way (the rich edit) brings its own Lines.
  void ReplaceLines(std::unique_ptr<TStrings> Value);

 private:
  std::unique_ptr<TStrings> FLines;
  TScrollStyle FScrollBars = ssNone;
  bool FWantReturns = true;
  bool FWantTabs = false;
  bool FWordWrap = true;
};

class TMemo : public TCustomMemo {
  DECLARE_CLASS(TMemo, TCustomMemo)
 public:
  using TCustomMemo::TCustomMemo;
  PUBLISHED_DECL(TMemo);
};
