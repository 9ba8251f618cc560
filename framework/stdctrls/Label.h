#pragma once
// TCustomLabel/TLabel: windowless text painted on the parent, sizing itself to its caption,
// with an accelerator that moves the focus to FocusControl.

#include "framework/stdctrls/StdTypes.h"

class TCustomLabel : public TGraphicControl {
  DECLARE_CLASS(TCustomLabel, TGraphicControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CM_TEXTCHANGED, TMessage, CMTextChanged)
    MESSAGE_HANDLER(CM_FONTCHANGED, TMessage, CMFontChanged)
    MESSAGE_HANDLER(CM_DIALOGCHAR, TCMDialogChar, CMDialogChar)
  END_MESSAGE_MAP

 public:
  explicit TCustomLabel(TComponent* AOwner);

  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  bool GetAutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  TEllipsisPosition GetEllipsisPosition() const { return FEllipsisPosition; }
  void SetEllipsisPosition(TEllipsisPosition Value);
  TWinControl* GetFocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* Value);
  TTextLayout GetLayout() const { return FLayout; }
  void SetLayout(TTextLayout Value);
  bool GetShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool Value);
  bool GetTransparent() const { return !FControlStyle.Contains(csOpaque); }
  void SetTransparent(bool Value);
  bool GetWordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);

 protected:
  void Paint() override;
  void Loaded() override;
  // Sizes the label to its text (keeping the right edge for right-aligned text).
  virtual void AdjustBounds();
  // Draws or (with DT_CALCRECT) measures the caption; Flags are DrawText's.
  virtual void DoDrawText(TRect& Rect, LongInt Flags);
  virtual String GetLabelText();
  void CMTextChanged(TMessage& Message);
  void CMFontChanged(TMessage& Message);
  void CMDialogChar(TCMDialogChar& Message);

 private:
  TAlignment FAlignment = taLeftJustify;
  bool FAutoSize = true;
  TEllipsisPosition FEllipsisPosition = epNone;
  TComponentRef<TWinControl> FFocusControl;
  TTextLayout FLayout = tlTop;
  bool FShowAccelChar = true;
  bool FWordWrap = false;
};

class TLabel : public TCustomLabel {
  DECLARE_CLASS(TLabel, TCustomLabel)
 public:
  using TCustomLabel::TCustomLabel;
  PUBLISHED_DECL(TLabel);
};
