#pragma once
// TCustomRichEdit/TRichEdit over the system rich-edit window (Msftedit's, or riched20's where
// that is missing): formatted text with character attributes (TTextAttributes, for the selection
// and for the default text) and paragraph attributes (TParaAttributes), Lines that load and save
// Rich Text Format or plain text, and printing.

#include <memory>
#include <string>

#include "framework/StdCtrls.h"
#include "framework/graphics/GraphicsObjects.h"

class TCustomRichEdit;
class TFont;

DECLARE_ENUM(TAttributeType, atSelected, atDefaultText)
DECLARE_ENUM(TNumberingStyle, nsNone, nsBullet)

// Character attributes of the selection (typing at an empty selection uses them) or of the
// default text, read from and written to the window.
class TTextAttributes : public TPersistent {
  DECLARE_CLASS(TTextAttributes, TPersistent)
 public:
  TTextAttributes(TCustomRichEdit* AOwner, TAttributeType AttributeType);
  // From a TFont or another TTextAttributes.
  void Assign(TPersistent* Source) override;

  TFontCharset GetCharset();
  void SetCharset(TFontCharset Value);
  TColor GetColor();
  void SetColor(TColor Value);
  TFontName GetName();
  void SetName(const TFontName& Value);
  TFontPitch GetPitch();
  void SetPitch(TFontPitch Value);
  bool GetProtected();
  void SetProtected(bool Value);
  // In points.
  Integer GetSize();
  void SetSize(Integer Value);
  // In pixels of the screen.
  Integer GetHeight();
  void SetHeight(Integer Value);
  TFontStyles GetStyle();
  void SetStyle(TFontStyles Value);

 protected:
  void AssignTo(TPersistent* Dest) override;

 private:
  TCustomRichEdit* FRichEdit;
  TAttributeType FType;
};

// Attributes of the paragraphs the selection touches. Indents are in points.
class TParaAttributes : public TPersistent {
  DECLARE_CLASS(TParaAttributes, TPersistent)
 public:
  explicit TParaAttributes(TCustomRichEdit* AOwner) : FRichEdit(AOwner) {}
  void Assign(TPersistent* Source) override;

  TAlignment GetAlignment();
  void SetAlignment(TAlignment Value);
  Integer GetFirstIndent();
  void SetFirstIndent(Integer Value);
  Integer GetLeftIndent();
  void SetLeftIndent(Integer Value);
  Integer GetRightIndent();
  void SetRightIndent(Integer Value);
  TNumberingStyle GetNumbering();
  void SetNumbering(TNumberingStyle Value);
  Integer GetTabCount();
  void SetTabCount(Integer Value);
  // Tab stops in points.
  Integer GetTab(Integer Index);
  void SetTab(Integer Index, Integer Value);

 private:
  TCustomRichEdit* FRichEdit;
};

class TCustomRichEdit : public TCustomMemo {
  DECLARE_CLASS(TCustomRichEdit, TCustomMemo)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CN_NOTIFY, TWMNotify, CNNotify)
    MESSAGE_HANDLER(CM_COLORCHANGED, TMessage, CMColorChanged)
    MESSAGE_HANDLER(CM_FONTCHANGED, TMessage, CMFontChanged)
    MESSAGE_HANDLER(CM_STYLECHANGED, TMessage, CMStyleChanged)
  END_MESSAGE_MAP

 public:
  explicit TCustomRichEdit(TComponent* AOwner);
  ~TCustomRichEdit() override;

  void Clear();
  // Characters of the text, each paragraph break counting one, as selection positions count.
  Integer GetTextLen();
  // Prints the whole text as one job named Caption on the current printer (Printer()); EPrinter
  // when there is none or it refuses the job, which is then dropped.
  void Print(const String& Caption);
  // Brings the caret into view, or puts Line at the top of the view.
  void ScrollToCaret();
  void ScrollToLine(Integer Line);
  Integer GetFirstVisibleLine();
  // Searches Length characters from StartPos; the position found or -1.
  Integer FindText(const String& SearchStr, Integer StartPos, Integer Length, bool MatchCase, bool WholeWord);

  TTextAttributes* GetDefAttributes() const { return FDefAttributes.get(); }
  void SetDefAttributes(TTextAttributes* Value) { FDefAttributes->Assign(Value); }
  TTextAttributes* GetSelAttributes() const { return FSelAttributes.get(); }
  void SetSelAttributes(TTextAttributes* Value) { FSelAttributes->Assign(Value); }
  TParaAttributes* GetParagraph() const { return FParagraph.get(); }
  void SetParagraph(TParaAttributes* Value) { FParagraph->Assign(Value); }
  // Lines load and save plain text only, never Rich Text Format.
  bool GetPlainText() const { return FPlainText; }
  void SetPlainText(bool Value) { FPlainText = Value; }

  Integer GetSelStart() override;
  void SetSelStart(Integer Value) override;
  Integer GetSelLength() override;
  void SetSelLength(Integer Value) override;
  String GetSelText() override;
  void SetSelText(const String& Value) override;
  void SetMaxLength(Integer Value) override;

  TNotifyEvent GetOnSelectionChange() const { return FOnSelectionChange; }
  void SetOnSelectionChange(const TNotifyEvent& Value) { FOnSelectionChange = Value; }

  // The window's content in a format (SF_RTF, SF_TEXT with SF_UNICODE): read whole or replaced.
  // StreamIn raises EStreamError and keeps the text when the window refuses the data.
  std::string StreamOut(unsigned Format);
  void StreamIn(const std::string& Data, unsigned Format);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void CreateHandle() override;
  void DestroyWnd() override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  virtual void SelectionChange();
  void CNNotify(TWMNotify& Message);
  void CMColorChanged(TMessage& Message);
  void CMFontChanged(TMessage& Message);
  void CMStyleChanged(TMessage& Message);

 private:
  friend class TRichEditStrings;
  void ApplyColors();

  std::unique_ptr<TTextAttributes> FSelAttributes;
  std::unique_ptr<TTextAttributes> FDefAttributes;
  std::unique_ptr<TParaAttributes> FParagraph;
  bool FPlainText = false;
  std::string FSavedRtf;  // the formatted text while the window is being made again
  TNotifyEvent FOnSelectionChange;
};

class TRichEdit : public TCustomRichEdit {
  DECLARE_CLASS(TRichEdit, TCustomRichEdit)
 public:
  using TCustomRichEdit::TCustomRichEdit;
  PUBLISHED_DECL(TRichEdit);
};

// True when Text starts as Rich Text Format does ("{\rtf" or "{urtf").
bool IsRichText(const std::string& Text);
