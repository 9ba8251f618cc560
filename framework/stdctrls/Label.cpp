#include "framework/stdctrls/Label.h"

#include "framework/Forms.h"
#include "framework/Themes.h"

PUBLISHED_DEF(TLabel) {
  PROP(Alignment).Default(taLeftJustify);
  PROP(AutoSize).Default(true);
  PROP(Caption);
  PROP(EllipsisPosition).Default(epNone);
  PROP(FocusControl);
  PROP(Layout).Default(tlTop);
  PROP(ShowAccelChar).Default(true);
  PROP(Transparent);
  PROP(WordWrap).Default(false);
}

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  FControlStyle << csOpaque << csReplicatable;
  SetBounds(0, 0, 65, 17);
  FParentColor = true;
}

void TCustomLabel::SetAlignment(TAlignment Value) {
  if (FAlignment == Value) return;
  FAlignment = Value;
  Invalidate();
}

void TCustomLabel::SetAutoSize(bool Value) {
  if (FAutoSize == Value) return;
  FAutoSize = Value;
  AdjustBounds();
}

void TCustomLabel::SetEllipsisPosition(TEllipsisPosition Value) {
  if (FEllipsisPosition == Value) return;
  FEllipsisPosition = Value;
  FAutoSize = FAutoSize && Value == epNone;
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* Value) { FFocusControl = Value; }

void TCustomLabel::SetLayout(TTextLayout Value) {
  if (FLayout == Value) return;
  FLayout = Value;
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool Value) {
  if (FShowAccelChar == Value) return;
  FShowAccelChar = Value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool Value) {
  if (GetTransparent() == Value) return;
  if (Value) FControlStyle >> csOpaque;
  else FControlStyle << csOpaque;
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool Value) {
  if (FWordWrap == Value) return;
  FWordWrap = Value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::Loaded() {
  inherited::Loaded();
  AdjustBounds();
}

String TCustomLabel::GetLabelText() { return GetCaption(); }

void TCustomLabel::DoDrawText(TRect& Rect, LongInt Flags) {
  String Text = GetLabelText();
  if ((Flags & DT_CALCRECT) && (Text.empty() || (FShowAccelChar && Text == L"&"))) Text += L" ";
  if (!FShowAccelChar) Flags |= DT_NOPREFIX;
  Flags = DrawTextBiDiModeFlags(Flags);
  TCanvas* C = GetCanvas();
  C->SetFont(GetFont());
  C->RequiredState({csHandleValid, csFontValid});
  HDC DC = C->GetHandle();
  ::SetBkMode(DC, TRANSPARENT);
  RECT R{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
  if (TStyleManager::IsCustomStyleActive() && FStyleElements.Contains(seFont)) {
    // A custom style gives labels its own text colours, the disabled one included.
    ::SetTextColor(DC, ColorToRGB(StyleServices()->GetStyleFontColor(GetEnabled() ? sfWindowTextNormal
                                                                                  : sfWindowTextDisabled)));
    DrawTextW(DC, Text.c_str(), Integer(Text.size()), &R, UINT(Flags));
  } else if (!GetEnabled() && !(Flags & DT_CALCRECT)) {
    // The engraved look of disabled text: a highlight one pixel down and right, the shadow on top.
    OffsetRect(&R, 1, 1);
    ::SetTextColor(DC, ColorToRGB(clBtnHighlight));
    DrawTextW(DC, Text.c_str(), Integer(Text.size()), &R, UINT(Flags));
    OffsetRect(&R, -1, -1);
    ::SetTextColor(DC, ColorToRGB(clBtnShadow));
    DrawTextW(DC, Text.c_str(), Integer(Text.size()), &R, UINT(Flags));
  } else {
    ::SetTextColor(DC, ColorToRGB(GetFont()->GetColor()));
    DrawTextW(DC, Text.c_str(), Integer(Text.size()), &R, UINT(Flags));
  }
  Rect = TRect(R.left, R.top, R.right, R.bottom);
}

void TCustomLabel::Paint() {
  static const LongInt Alignments[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  static const LongInt Ellipses[] = {0, DT_PATH_ELLIPSIS, DT_END_ELLIPSIS, DT_WORD_ELLIPSIS};
  TCanvas* C = GetCanvas();
  TRect R = GetClientRect();
  if (!GetTransparent()) {
    bool Styled = TStyleManager::IsCustomStyleActive() && FStyleElements.Contains(seClient);
    C->GetBrush()->SetColor(Styled ? StyleServices()->GetSystemColor(GetColor()) : GetColor());
    C->GetBrush()->SetStyle(bsSolid);
    C->FillRect(R);
  }
  C->GetBrush()->SetStyle(bsClear);
  TAlignment A = FAlignment;
  if (UseRightToLeftAlignment() && A != taCenter) A = A == taLeftJustify ? taRightJustify : taLeftJustify;
  LongInt Flags = DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : 0) | Alignments[A] | Ellipses[FEllipsisPosition];
  if (FEllipsisPosition != epNone && !FWordWrap) Flags |= DT_SINGLELINE;
  if (FLayout != tlTop) {
    TRect Calc = R;
    DoDrawText(Calc, Flags | DT_CALCRECT);
    Integer Offset = R.Height() - Calc.Height();
    R.Top += FLayout == tlBottom ? Offset : Offset / 2;
  }
  DoDrawText(R, Flags);
}

namespace {
// Lends a label's canvas a screen DC while the label has no parent window to measure on.
class TLabelScreenMeasure {
 public:
  explicit TLabelScreenMeasure(TCanvas* Canvas) : FCanvas(Canvas), FDC(GetDC(nullptr)) {
    FCanvas->Lock();
    FCanvas->SetHandle(FDC);
  }
  ~TLabelScreenMeasure() {
    FCanvas->SetHandle(nullptr);
    FCanvas->Unlock();
    ReleaseDC(nullptr, FDC);
  }
  TLabelScreenMeasure(const TLabelScreenMeasure&) = delete;
  TLabelScreenMeasure& operator=(const TLabelScreenMeasure&) = delete;

 private:
  TCanvas* FCanvas;
  HDC FDC;
};
}  // namespace

void TCustomLabel::AdjustBounds() {
  if (GetComponentState().Contains(csLoading) || !FAutoSize) return;
  TRect R = GetClientRect();
  LongInt Flags = DT_EXPANDTABS | DT_CALCRECT | (FWordWrap ? DT_WORDBREAK : 0);
  if (FParent) {
    DoDrawText(R, Flags);
  } else {
    TLabelScreenMeasure Screen(GetCanvas());
    DoDrawText(R, Flags);
  }
  Integer X = FLeft;
  TAlignment A = FAlignment;
  if (UseRightToLeftAlignment() && A != taCenter) A = A == taLeftJustify ? taRightJustify : taLeftJustify;
  if (A == taRightJustify) X += FWidth - R.Right;
  SetBounds(X, FTop, R.Right, R.Bottom);
}

void TCustomLabel::CMTextChanged(TMessage& Message) {
  Invalidate();
  AdjustBounds();
}

void TCustomLabel::CMFontChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  AdjustBounds();
}

void TCustomLabel::CMDialogChar(TCMDialogChar& Message) {
  if (FFocusControl && GetEnabled() && FShowAccelChar && IsAccel(Message.CharCode, GetCaption()) &&
      FFocusControl->CanFocus()) {
    FFocusControl->SetFocus();
    Message.Result = 1;
  }
}
