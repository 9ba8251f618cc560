#include "kvlib/editors/dbctrls/EmptyDataInfoKv.h"

#include "framework/Controls.h"
#include "kvlib/editors/dbctrls/EditImageKv.h"
#include "kvlib/foundation/ToolCtrlsKv.h"

// ---- TCustomControlEmptyDataInfoKv ------------------------------------------------------------

TCustomControlEmptyDataInfoKv::TCustomControlEmptyDataInfoKv(TWinControl* Control)
    : FControl(Control), FFont(std::make_unique<TFont>()) {
  InitFromControl();
}

TCustomControlEmptyDataInfoKv::~TCustomControlEmptyDataInfoKv() = default;

void TCustomControlEmptyDataInfoKv::InitFromControl() {
  // The font's own change event is connected only once it holds its defaults: changes after
  // that are the user's, which end following the control.
  FFont->SetOnChange(nullptr);
  TFont* Source = ControlFont();
  if (Source && Source != FFont.get()) FFont->Assign(Source);
  FFont->SetColor(clSilver);
  FFont->SetStyle(FFont->GetStyle() + TFontStyles{fsItalic});
  FFont->SetOnChange({this, &TCustomControlEmptyDataInfoKv::DataInfoFontChanged});
  FAlignment = DefaultAlignment();
}

bool TCustomControlEmptyDataInfoKv::Showing() {
  if (FText.empty() && FColor == clDefault) return false;
  return IsControlEmpty();
}

void TCustomControlEmptyDataInfoKv::RefreshDefaultFont() {
  if (!FParentFont) return;
  TFont* Source = ControlFont();
  if (!Source || Source == FFont.get()) return;
  TNotifyEvent Saved = FFont->GetOnChange();
  FFont->SetOnChange(nullptr);
  try {
    FFont->SetSize(Source->GetSize());
    FFont->SetName(Source->GetName());
    FFont->SetCharset(Source->GetCharset());
  } catch (...) {
    FFont->SetOnChange(Saved);
    throw;
  }
  FFont->SetOnChange(Saved);
}

TAlignment TCustomControlEmptyDataInfoKv::GetAlignment() {
  return FAlignmentIsStored ? FAlignment : DefaultAlignment();
}

void TCustomControlEmptyDataInfoKv::SetAlignment(TAlignment Value) {
  SetAlignmentIsStored(true);
  if (FAlignment == Value) return;
  FAlignment = Value;
  InvalidateControl();
}

void TCustomControlEmptyDataInfoKv::SetAlignmentIsStored(bool Value) {
  if (Value && !FAlignmentIsStored) {
    FAlignmentIsStored = true;
    FAlignment = DefaultAlignment();
    InvalidateControl();
  } else if (!Value && FAlignmentIsStored) {
    FAlignmentIsStored = false;
    InvalidateControl();
  }
}

void TCustomControlEmptyDataInfoKv::SetColor(TColor Value) {
  if (FColor == Value) return;
  FColor = Value;
  InvalidateControl();
}

void TCustomControlEmptyDataInfoKv::SetParentFont(bool Value) {
  if (FParentFont == Value) return;
  FParentFont = Value;
  RefreshDefaultFont();
  InvalidateControl();
}

void TCustomControlEmptyDataInfoKv::SetText(const String& Value) {
  if (FText == Value) return;
  FText = Value;
  InvalidateControl();
}

TColor TCustomControlEmptyDataInfoKv::ActualColor() { return FColor == clDefault ? DefaultColor() : FColor; }

TPersistent* TCustomControlEmptyDataInfoKv::GetOwner() { return FControl; }

void TCustomControlEmptyDataInfoKv::InvalidateControl() {
  if (FControl) FControl->Invalidate();
}

void TCustomControlEmptyDataInfoKv::DataInfoFontChanged(TObject*) {
  FParentFont = false;
  InvalidateControl();
}

// ---- TControlEmptyDataInfoKv ------------------------------------------------------------------

PUBLISHED_DEF(TControlEmptyDataInfoKv) {
  PROP(Color).Default(clDefault).Idents(&IdentToColor, &ColorToIdent);
  PROP(Text);
  PROP(Font).Stored(&TControlEmptyDataInfoKv::IsFontStored);
  PROP(ParentFont).Default(true);
  PROP(Alignment).Stored(&TControlEmptyDataInfoKv::GetAlignmentIsStored);
  PROP(AlignmentIsStored).Stored(false);
}

TControlEmptyDataInfoKv::TControlEmptyDataInfoKv(TWinControl* Control) : TCustomControlEmptyDataInfoKv(Control) {
  InitFromControl();
}

IEmptyDataInfoEditKv* TControlEmptyDataInfoKv::GetEditControl() {
  return dynamic_cast<IEmptyDataInfoEditKv*>(GetControl());
}

TAlignment TControlEmptyDataInfoKv::DefaultAlignment() {
  IEmptyDataInfoEditKv* Edit = GetEditControl();
  return Edit ? Edit->GetEditTextAlignment() : taLeftJustify;
}

TFont* TControlEmptyDataInfoKv::ControlFont() { return GetControl() ? GetControl()->GetFont() : GetFont(); }

bool TControlEmptyDataInfoKv::IsControlEmpty() {
  IEmptyDataInfoEditKv* Edit = GetEditControl();
  return Edit && Edit->IsEditEmpty();
}

void TControlEmptyDataInfoKv::PaintEmptyDataInfo() {
  IEmptyDataInfoEditKv* Edit = GetEditControl();
  if (!Edit) return;
  TWinControl* Control = GetControl();
  TCanvas* Canvas = Edit->GetEditCanvas();
  Canvas->SetFont(GetFont());
  TEditImageKv* Image = Edit->GetEditImage();
  Integer ImageWidth = Image ? Image->DrawWidth() : 0;
  TRect R = Control->GetClientRect();
  R.Left += ImageWidth;
  R.Right -= Edit->GetEditButtonsWidth();
  SelectClipRgn(Canvas->GetHandle(), nullptr);
  Integer HorzMargin = 0, VertMargin = 0;
  Edit->GetEditTextMargins(HorzMargin, VertMargin);
  TAlignment Alignment = GetAlignment();
  if (Control->UseRightToLeftAlignment()) {
    if (Alignment == taLeftJustify) Alignment = taRightJustify;
    else if (Alignment == taRightJustify) Alignment = taLeftJustify;
  }
  Integer TextWidth = Canvas->TextWidth(GetText());
  Integer X;
  switch (Alignment) {
    case taRightJustify: X = R.Right - TextWidth - HorzMargin; break;
    case taCenter: X = (R.Right + R.Left - TextWidth) / 2; break;
    default: X = ImageWidth + HorzMargin; break;
  }
  Canvas->GetBrush()->SetColor(GetColor() == clDefault ? Edit->GetEditActualColor()
                                                        : GetStyledSystemColor(GetColor()));
  Canvas->TextRect(R, X, VertMargin, GetText());
}
