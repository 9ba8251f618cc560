#pragma once
// The placeholder text a control paints while it holds no data (part of the unit DBCtrlsKv). The
// base serves any control that says when it is empty and paints the text itself (the data grid's
// search panel); TControlEmptyDataInfoKv paints into a data-aware edit's text area.

#include <memory>

#include "framework/Classes.h"
#include "framework/Graphics.h"
#include "framework/controls/ControlTypes.h"

class TCanvas;
class TEditImageKv;
class TWinControl;

class TCustomControlEmptyDataInfoKv : public TPersistent {
  DECLARE_CLASS(TCustomControlEmptyDataInfoKv, TPersistent)
 public:
  // The font starts as the control's, silver and italic, and follows the control's size, name and
  // charset (RefreshDefaultFont) until it is changed itself.
  explicit TCustomControlEmptyDataInfoKv(TWinControl* Control);
  ~TCustomControlEmptyDataInfoKv() override;

  // Never with an empty text and the default colour; otherwise while the control is empty.
  bool Showing();
  // Takes the control font's size, name and charset while ParentFont is set.
  void RefreshDefaultFont();

  // The stored alignment while AlignmentIsStored, else DefaultAlignment.
  TAlignment GetAlignment();
  // Marks the alignment stored.
  void SetAlignment(TAlignment Value);
  bool GetAlignmentIsStored() const { return FAlignmentIsStored; }
  // True stores the current default; false returns to the default.
  void SetAlignmentIsStored(bool Value);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value);
  TFont* GetFont() const { return FFont.get(); }
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  bool GetParentFont() const { return FParentFont; }
  void SetParentFont(bool Value);
  bool IsFontStored() const { return !FParentFont; }
  const String& GetText() const { return FText; }
  void SetText(const String& Value);
  TWinControl* GetControl() const { return FControl; }

  virtual TAlignment DefaultAlignment() { return taLeftJustify; }
  // The font the placeholder's follows; none in the base.
  virtual TFont* ControlFont() { return nullptr; }
  virtual TColor DefaultColor() { return clWindow; }
  virtual bool IsControlEmpty() { return false; }
  // Color, or DefaultColor while Color is clDefault.
  virtual TColor ActualColor();
  virtual void PaintEmptyDataInfo() {}

 protected:
  TPersistent* GetOwner() override;
  // Takes ControlFont and DefaultAlignment. The constructor of every class that overrides them
  // runs it again: a base constructor does not reach a descendant's overrides.
  void InitFromControl();
  void InvalidateControl();

 private:
  void DataInfoFontChanged(TObject* Sender);

  TWinControl* FControl;  // the control owns its placeholder
  std::unique_ptr<TFont> FFont;
  TAlignment FAlignment = taLeftJustify;
  bool FAlignmentIsStored = false;
  TColor FColor = clDefault;
  bool FParentFont = true;
  String FText;
};

// What the placeholder asks of the data-aware edit it paints into; the edit answers it.
class IEmptyDataInfoEditKv : public virtual IInterface {
 public:
  virtual TAlignment GetEditTextAlignment() = 0;
  virtual bool IsEditEmpty() = 0;
  virtual TEditImageKv* GetEditImage() = 0;
  // The width of the edit-buttons strip inside the edit.
  virtual Integer GetEditButtonsWidth() = 0;
  virtual void GetEditTextMargins(Integer& Horz, Integer& Vert) = 0;
  // The background the edit paints now (its colour, or the style's, or the disabled one).
  virtual TColor GetEditActualColor() = 0;
  // The edit's own canvas, made on first use.
  virtual TCanvas* GetEditCanvas() = 0;
};

class TControlEmptyDataInfoKv : public TCustomControlEmptyDataInfoKv {
  DECLARE_CLASS(TControlEmptyDataInfoKv, TCustomControlEmptyDataInfoKv)
 public:
  explicit TControlEmptyDataInfoKv(TWinControl* Control);

  // The edit's alignment.
  TAlignment DefaultAlignment() override;
  // The control's font, or the own font without a control.
  TFont* ControlFont() override;
  bool IsControlEmpty() override;
  // Paints the text into the edit's text area: right of its image, left of its buttons, at its
  // margins, aligned (mirrored right to left), on Color or the edit's own background.
  void PaintEmptyDataInfo() override;
  // The control as the edit it paints into; nil when it is none.
  IEmptyDataInfoEditKv* GetEditControl();

  PUBLISHED_DECL(TControlEmptyDataInfoKv);
};
