// TMarkupLabel: the label control over the markup engine (HTMLDrawEx).

#include <cwctype>

#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "framework/Themes.h"
#include "framework/WinShell.h"
#include "htmllabel/MarkupLabel.h"

namespace {

void DefaultShellOpen(const String& Reference) {
  ShellExecuteW(nullptr, L"open", Reference.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

TShellOpenReference ShellOpen = &DefaultShellOpen;

bool StartsWithNoCase(const String& S, const wchar_t* Prefix) {
  size_t I = 0;
  for (; Prefix[I]; ++I)
    if (I >= S.size() || std::towlower(S[I]) != Prefix[I]) return false;
  return true;
}

void DrawBevel(TCanvas* C, TRect& R, TBevelCut Cut, Integer Width) {
  if (Cut == bvNone) return;
  TColor TopLeft = Cut == bvLowered ? clBtnShadow : Cut == bvRaised ? clBtnHighlight : clBtnFace;
  TColor BottomRight = Cut == bvLowered ? clBtnHighlight : Cut == bvRaised ? clBtnShadow : clBtnFace;
  Frame3D(C, R, TopLeft, BottomRight, Width);
}

}  // namespace

bool IsWebReference(const String& Reference) {
  for (const wchar_t* Scheme : {L"http://", L"https://", L"ftp://", L"mailto:"})
    if (StartsWithNoCase(Reference, Scheme)) return true;
  return false;
}

TShellOpenReference SetShellOpenReference(TShellOpenReference Value) {
  TShellOpenReference Old = ShellOpen;
  ShellOpen = Value ? Value : &DefaultShellOpen;
  return Old;
}

PUBLISHED_DEF(TMarkupLabel) {
  PROP(FocusControl);
  PROP(Transparent).Default(true);
  PROP(AnchorHint).Default(false);
  PROP(AutoSizeType).Default(asVertical);
  PROP(BevelInner).Default(bvNone);
  PROP(BevelOuter).Default(bvNone);
  PROP(BevelWidth).Default(1);
  PROP(BorderWidth).Default(0);
  PROP(BorderStyle).Default(bsNone);
  PROP(BorderColor).Default(clBlack).Idents(&IdentToColor, &ColorToIdent);
  PROP(ColorTo).Default(clNone).Idents(&IdentToColor, &ColorToIdent);
  PROP(Ellipsis).Default(false);
  PROP(GradientType).Default(gtFullHorizontal);
  PROP(HintShowFull).Default(false);
  PROP(Hover).Default(false);
  PROP(HoverColor).Default(clNone).Idents(&IdentToColor, &ColorToIdent);
  PROP(HoverFontColor).Default(clNone).Idents(&IdentToColor, &ColorToIdent);
  PROP(HTMLHint).Default(false);
  PROP(HTMLText);
  PROP(Images);
  PROP(LineWidth).Default(2);
  PROP(LineSpacing).Default(0);
  PROP(PictureStore);
  PROP(ShadowColor).Default(clGray).Idents(&IdentToColor, &ColorToIdent);
  PROP(ShadowOffset).Default(2);
  PROP(URLColor).Default(clBlue).Idents(&IdentToColor, &ColorToIdent);
  PROP(VAlignment).Default(tvaTop);
  PROP(AutoSizing).Default(false);
  PROP(Version);
  EVENT(OnAnchorClick);
  EVENT(OnAnchorEnter);
  EVENT(OnAnchorExit);
  EVENT(OnAnchorHint);
  EVENT(OnNewSize);
}

TMarkupLabel::TMarkupLabel(TComponent* AOwner)
    : TCustomLabel(AOwner),
      FHTMLText(std::make_unique<TStringList>()),
      FPictureCache(std::make_unique<THTMLPictureCache>()),
      FImageChangeLink(std::make_unique<TChangeLink>()) {
  SetTransparent(true);
  SetAutoSize(false);
  FHTMLText->SetOnChange({this, &TMarkupLabel::HTMLTextChanged});
  FImageChangeLink->SetOnChange({this, &TMarkupLabel::ImagesChanged});
  SetCaption(L"");
  SetWidth(120);
  TComponentState State = GetComponentState();
  if (State.Contains(csDesigning) && !State.Contains(csReading) && !State.Contains(csLoading))
    FHTMLText->Add(L"<b>HTML</b> label " + GetName());
  if (!State.Contains(csDesigning)) ApplyStyleColors();
}

TMarkupLabel::~TMarkupLabel() {
  FHTMLText->SetOnChange(nullptr);
  if (FImages) FImages->UnRegisterChanges(FImageChangeLink.get());
  FPictureCache->ClearPictures();
}

// ---- Properties ----

TStrings* TMarkupLabel::GetHTMLText() const { return FHTMLText.get(); }

void TMarkupLabel::SetHTMLText(TStrings* Value) {
  String S = Value ? Value->GetText() : String();
  String Line;
  for (wchar_t Ch : S)
    if (Ch != L'\r' && Ch != L'\n') Line += Ch;
  FHTMLText->BeginUpdate();
  FHTMLText->Clear();
  FHTMLText->Add(Line);
  FHTMLText->EndUpdate();
  Invalidate();
}

void TMarkupLabel::HTMLTextChanged(TObject*) {
  FPictureCache->ClearPictures();
  HTMLChanged();
}

void TMarkupLabel::ImagesChanged(TObject*) { Invalidate(); }

void TMarkupLabel::ApplyAutoSizing() {
  if (GetComponentState().Contains(csLoading)) return;
  if (FAutoSizing && (FAutoSizeType != asVertical || FVAlignment == tvaTop)) {
    TAlign A = GetAlign();
    if (A == alLeft || A == alRight) SetWidth(6);
    else if (A == alTop || A == alBottom) SetHeight(6);
  }
  Invalidate();
}

void TMarkupLabel::SetAutoSizing(bool Value) {
  FAutoSizing = Value;
  ApplyAutoSizing();
}

void TMarkupLabel::SetAutoSizeType(TAutoSizeType Value) {
  FAutoSizeType = Value;
  ApplyAutoSizing();
}

#define MARKUP_SETTER(Name, Type)                  \
  void TMarkupLabel::Set##Name(Type Value) {       \
    if (F##Name == Value) return;                  \
    F##Name = Value;                               \
    Invalidate();                                  \
  }
MARKUP_SETTER(URLColor, TColor)
MARKUP_SETTER(ShadowColor, TColor)
MARKUP_SETTER(ShadowOffset, Integer)
MARKUP_SETTER(ColorTo, TColor)
MARKUP_SETTER(BorderColor, TColor)
MARKUP_SETTER(GradientType, TGradientType)
MARKUP_SETTER(LineWidth, Integer)
MARKUP_SETTER(LineSpacing, Integer)
MARKUP_SETTER(VAlignment, TVAlignment)
MARKUP_SETTER(Ellipsis, bool)
#undef MARKUP_SETTER

void TMarkupLabel::SetBevelInner(TBevelCut Value) { FBevelInner = Value; Invalidate(); }
void TMarkupLabel::SetBevelOuter(TBevelCut Value) { FBevelOuter = Value; Invalidate(); }
void TMarkupLabel::SetBevelWidth(Integer Value) { FBevelWidth = Value; Invalidate(); }
void TMarkupLabel::SetBorderWidth(Integer Value) { FBorderWidth = Value; Invalidate(); }
void TMarkupLabel::SetBorderStyle(TBorderStyle Value) { FBorderStyle = Value; Invalidate(); }

// The old list must forget the link: the label frees it, and a later change of that list would
// otherwise reach freed memory.
void TMarkupLabel::SetImages(TCustomImageList* Value) {
  if (FImages) FImages->UnRegisterChanges(FImageChangeLink.get());
  FImages = Value;
  if (Value) Value->RegisterChanges(FImageChangeLink.get());
  Invalidate();
}

// The store repaints the labels registered with it when its pictures change; the old one must
// forget this label, or it would hold it after either of them is gone.
void TMarkupLabel::SetPictureStore(TPictureStore* Value) {
  if (FPictureStore == Value) return;
  if (FPictureStore) FPictureStore->UnRegisterControl(this);
  FPictureStore = Value;
  if (Value) Value->RegisterControl(this);
  Invalidate();
}

Integer TMarkupLabel::GetVersionNr() const { return 0x02020102; }

String TMarkupLabel::GetVersion() const {
  Integer V = GetVersionNr();
  return IntToStr((V >> 24) & 0xFF) + L"." + IntToStr((V >> 16) & 0xFF) + L"." + IntToStr((V >> 8) & 0xFF) +
         L"." + IntToStr(V & 0xFF);
}

void TMarkupLabel::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomLabel::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FImages) FImages = nullptr;
  if (AComponent == FPictureStore) FPictureStore = nullptr;
}

// ---- Text ----

String TMarkupLabel::GetDisplayHTML() {
  String Result;
  for (Integer I = 0; I < FHTMLText->GetCount(); ++I) {
    const String Line = FHTMLText->GetStrings(I);
    if (I > 0 && !(!Result.empty() && Result.back() == L'>' && !Line.empty() && Line.front() == L'<'))
      Result += L' ';
    Result += Line;
  }
  return Result;
}

String TMarkupLabel::GetText() { return HTMLStrip(GetDisplayHTML()); }

void TMarkupLabel::SetTagged(const String& Text) {
  FHTMLText->SetText(Text);
}

void TMarkupLabel::HilightText(const String& HiText, bool DoCase) {
  SetTagged(InsertTagAroundText(FHTMLText->GetText(), HiText, L"hi", DoCase));
}
void TMarkupLabel::UnHilightText() { SetTagged(RemoveTagPair(FHTMLText->GetText(), L"hi")); }
void TMarkupLabel::MarkText(const String& HiText, bool DoCase) {
  SetTagged(InsertTagAroundText(FHTMLText->GetText(), HiText, L"e", DoCase));
}
void TMarkupLabel::UnMarkText() { SetTagged(RemoveTagPair(FHTMLText->GetText(), L"e")); }

void TMarkupLabel::AnchorClick(const String& Anchor) { DoEvent(FOnAnchorClick, this, Anchor); }

void TMarkupLabel::HTMLChanged() { Invalidate(); }

void TMarkupLabel::BeginUpdate() { ++FUpdateCount; }

void TMarkupLabel::EndUpdate() {
  if (FUpdateCount <= 0) return;
  if (--FUpdateCount == 0) Invalidate();
}

void TMarkupLabel::Doit() { Repaint(); }

void TMarkupLabel::SetDPIScale(float ADPIScale) {
  if (ADPIScale > 0) FScaleFactor = ADPIScale;
}

// ---- Drawing ----

bool TMarkupLabel::DrawHTML(TCanvas* Canvas, const String& Text, const TRect& R, THTMLDrawParams Params,
                            THTMLDrawResult& Result) {
  Params.FocusAnchor = -1;
  Params.WordWrap = !FEllipsis;
  Params.PictureCache = FPictureCache.get();
  Params.PictureStore = FPictureStore;
  Params.LineSpacing = FLineSpacing;
  Params.BiDiMode = GetBiDiMode() == bdLeftToRight ? THTMLBiDiMode::LeftToRight
                    : GetBiDiMode() == bdRightToLeft ? THTMLBiDiMode::RightToLeft
                    : GetBiDiMode() == bdRightToLeftNoAlign ? THTMLBiDiMode::RightToLeftNoAlign
                                                            : THTMLBiDiMode::RightToLeftReadingOnly;
  Params.HighlightColor = clHighlight;
  Params.HighlightTextColor = clHighlightText;
  Params.HighlightStyle = TFontStyles();
  Params.ScaleFactor = FScaleFactor;
  bool Hit = HTMLDrawEx(Canvas, Text, R, Params, Result);
  FTextWidth = Result.TextWidth;
  FTextHeight = Result.TextHeight;
  return Hit;
}

TRect TMarkupLabel::LayoutRect() {
  TRect R = GetClientRect();
  if (FBevelInner != bvNone || FBevelOuter != bvNone) InflateRect(R, -FBevelWidth, -FBevelWidth);
  if (FBorderStyle == bsSingle) {
    Integer A = (FBorderWidth + 1) / 2;
    InflateRect(R, -A, -A);
  }
  return R;
}

bool TMarkupLabel::GetAnchorAt(Integer X, Integer Y, String& Anchor, bool UseTitle, TRect& AnchorRect) {
  Anchor.clear();
  AnchorRect = TRect(-1, -1, -1, -1);
  if (!GetParent() || !GetParent()->HandleAllocated()) return false;
  TCanvas* C = GetCanvas();
  TRect R = LayoutRect();
  C->GetFont()->Assign(GetFont());
  String Text = GetDisplayHTML();
  THTMLDrawParams P;
  P.Images = FImages;
  P.AnchorTestOnly = true;
  P.AnchorColor = clWhite;
  P.ShadowOffset = FShadowOffset;
  P.FormScaled = FFormScaled;
  P.PictureScale = FScaleFactor;
  THTMLDrawResult Res;
  if (FVAlignment == tvaCenter || FVAlignment == tvaBottom) {
    DrawHTML(C, Text, R, P, Res);
    Integer Free = R.Height() - Res.TextHeight;
    if (Free > 0) R.Top += FVAlignment == tvaCenter ? Free / 2 : Free;
  }
  P.HitX = X;
  P.HitY = Y;
  P.HoverAnchor = FHoverAnchor;
  Res = THTMLDrawResult();
  bool Hit = DrawHTML(C, Text, R, P, Res);
  if (Hit) {
    Anchor = UseTitle && !Res.AnchorTitle.empty() ? Res.AnchorTitle : Res.AnchorRef;
    AnchorRect = Res.AnchorRect;
    FHoverAnchor = Res.AnchorAtPoint;
  } else {
    FHoverAnchor = -1;
  }
  return Hit;
}

TSize TMarkupLabel::GetSizeWithMaxWidth(Integer AMaxWidth) {
  TBitmap Scratch;
  Scratch.SetSize(1, 1);
  Scratch.GetCanvas()->GetFont()->Assign(GetFont());
  THTMLDrawParams P;
  P.Images = FImages;
  P.AnchorTestOnly = true;
  P.FormScaled = FFormScaled;
  P.PictureScale = FScaleFactor;
  THTMLDrawResult Res;
  DrawHTML(Scratch.GetCanvas(), GetDisplayHTML(), TRect(0, 0, AMaxWidth, 4096), P, Res);
  return {Res.TextWidth, Res.TextHeight};
}

TSize TMarkupLabel::MeasureHTMLSize() {
  TCanvas* C = GetCanvas();
  C->GetFont()->Assign(GetFont());
  THTMLDrawParams P;
  P.Images = FImages;
  P.AnchorTestOnly = true;
  P.FormScaled = FFormScaled;
  P.PictureScale = FScaleFactor;
  THTMLDrawResult Res;
  DrawHTML(C, GetDisplayHTML(), TRect(0, 0, 4096, 4096), P, Res);
  return {Res.TextWidth, Res.TextHeight};
}

void TMarkupLabel::PaintBackground(TCanvas* C, const TRect& R) {
  C->GetBrush()->SetStyle(bsSolid);
  C->GetBrush()->SetColor(GetColor());
  Integer Steps = R.Width() / 4;
  bool Full = FGradientType == gtFullHorizontal || FGradientType == gtFullVertical;
  if (FColorTo != clNone && Full) {
    DrawGradientCanvas(C, GetColor(), FColorTo, Steps, R, FGradientType == gtFullHorizontal);
    return;
  }
  C->FillRect(R);
  if (FColorTo == clNone || Full) return;
  Integer H = std::min(FLineWidth, R.Height());
  TRect Band = R;
  if (FGradientType == gtBottomLine) Band.Top = R.Bottom - H;
  else if (FGradientType == gtTopLine) Band.Bottom = R.Top + H;
  else {
    Band.Top = R.Top + (R.Height() - H) / 2;
    Band.Bottom = Band.Top + H;
  }
  DrawGradientCanvas(C, GetColor(), FColorTo, Steps, Band, true);
}

void TMarkupLabel::Paint() {
  TCustomForm* Form = GetParentForm(this);
  FFormScaled = Form ? Form->GetScaled() : true;
  if (!GetCaption().empty()) SetCaption(L"");
  TRect Client = GetClientRect();
  if (Client.Width() <= 0 || Client.Height() <= 0) return;

  bool Opaque = !GetTransparent();
  TBitmap Buffer;
  TCanvas* C = GetCanvas();
  if (Opaque) {
    Buffer.SetSize(Client.Width(), Client.Height());
    C = Buffer.GetCanvas();
    PaintBackground(C, Client);
  }
  C->GetFont()->Assign(GetFont());
  if (FIsStyled) C->GetFont()->SetColor(FStyleFontColor);
  if (FUpdateCount > 0) {
    if (Opaque) GetCanvas()->Draw(0, 0, &Buffer);
    return;
  }

  TRect Frame = Client;
  DrawBevel(C, Frame, FBevelOuter, FBevelWidth);
  if (FBorderWidth > 0) Frame3D(C, Frame, GetColor(), GetColor(), FBorderWidth);
  DrawBevel(C, Frame, FBevelInner, FBevelWidth);
  bool SingleBorder = FBorderStyle == bsSingle && FBorderWidth > 0 && FBorderColor != clNone;
  if (SingleBorder) {
    Integer A = (FBorderWidth + 1) / 2, B = FBorderWidth / 2;
    C->GetPen()->SetColor(FBorderColor);
    C->GetPen()->SetWidth(FBorderWidth);
    C->GetPen()->SetStyle(psSolid);
    // A pen of width w drawn along x covers x - w div 2 .. x + (w - 1) div 2: the frame stays inside.
    TRect O(Client.Left + B, Client.Top + B, Client.Right - A, Client.Bottom - A);
    std::vector<TPoint> Line{{O.Left, O.Top}, {O.Right, O.Top}, {O.Right, O.Bottom}, {O.Left, O.Bottom}, {O.Left, O.Top}};
    C->Polyline(Line);
    C->GetPen()->SetWidth(1);
  }
  TRect R = LayoutRect();

  bool Vertical = FAutoSizeType == asVertical || FAutoSizeType == asBoth;
  bool Horizontal = FAutoSizeType == asHorizontal || FAutoSizeType == asBoth;
  TAlign Al = GetAlign();
  bool GrowsWidth = FAutoSizing && Horizontal && (Al == alNone || Al == alLeft || Al == alRight);
  bool GrowsHeight = FAutoSizing && Vertical && (Al == alNone || Al == alTop || Al == alBottom);
  bool VAlign = (FVAlignment == tvaCenter || FVAlignment == tvaBottom) && !(FAutoSizing && Vertical);
  if (GrowsWidth) R.Right += 65535;
  if (GrowsHeight) R.Bottom += 65535;

  TPoint Mouse_ = ::Mouse ? ScreenToClient(::Mouse->GetCursorPos()) : TPoint(-1, -1);
  String Text = GetDisplayHTML();
  THTMLDrawParams P;
  P.Images = FImages;
  P.HitX = Mouse_.X;
  P.HitY = Mouse_.Y;
  P.HoverAnchor = FHoverAnchor;
  P.ShadowOffset = FShadowOffset;
  P.HoverMode = FHover;
  P.FormScaled = FFormScaled;
  P.PictureScale = FScaleFactor;
  P.AnchorColor = FURLColor;
  P.HoverColor = FHoverColor;
  P.HoverFontColor = FHoverFontColor;
  P.ShadowColor = FShadowColor;

  Integer OldW = GetWidth(), OldH = GetHeight();
  if (FAutoSizing || VAlign) {
    THTMLDrawParams M = P;
    M.AnchorTestOnly = true;
    THTMLDrawResult Res;
    DrawHTML(C, Text, R, M, Res);
    if (FAutoSizing) {
      if (FVAlignment == tvaCenter) R.Top += 3;
      else if (FVAlignment == tvaBottom) R.Top += 6;
      Integer W = FTextWidth, H = FTextHeight;
      if (FBorderStyle == bsSingle) {
        W += 2 * FBorderWidth;
        H += 2 * FBorderWidth;
      }
      if (GrowsHeight && GetHeight() != H + 6) SetHeight(H + 6);
      if (GrowsWidth && GetWidth() != W + 6) SetWidth(W + 6);
    }
    if (VAlign) {
      if (FVAlignment == tvaCenter) {
        Integer Free = R.Height() - FTextHeight;
        if (Free > 0) R.Top += Free / 2;
      } else if (R.Bottom - FTextHeight > R.Top) {
        R.Top = R.Bottom - FTextHeight;
      }
    }
  }
  THTMLDrawResult Res;
  DrawHTML(C, Text, R, P, Res);
  if (Opaque) GetCanvas()->Draw(0, 0, &Buffer);
  if (FAutoSizing && (GetWidth() != OldW || GetHeight() != OldH))
    DoEvent(FOnNewSize, this, GetWidth(), GetHeight());
}

void TMarkupLabel::HTMLPrint(TCanvas* Canvas, const TRect& R) {
  TRect Box = R;
  String Text = GetDisplayHTML();
  THTMLDrawParams P;
  P.Images = FImages;
  P.ShadowOffset = 1;
  P.ScalePictures = true;
  P.PictureScale = 1.0;
  P.AnchorColor = FURLColor;
  P.ShadowColor = clGray;
  P.FormScaled = FFormScaled;
  if (FVAlignment == tvaCenter || FVAlignment == tvaBottom) {
    THTMLDrawParams M = P;
    M.AnchorTestOnly = true;
    THTMLDrawResult Res;
    DrawHTML(Canvas, Text, Box, M, Res);
    Integer Free = Box.Height() - Res.TextHeight;
    if (Free > 0) Box.Top += FVAlignment == tvaCenter ? Free / 2 : Free;
  }
  THTMLDrawResult Res;
  DrawHTML(Canvas, Text, Box, P, Res);
}

// ---- Mouse ----

void TMarkupLabel::InvalidateOnParent(const TRect& R) {
  TWinControl* P = GetParent();
  if (!P || !P->HandleAllocated()) return;
  RECT W{R.Left + GetLeft(), R.Top + GetTop(), R.Right + GetLeft(), R.Bottom + GetTop()};
  InvalidateRect(P->GetHandle(), &W, TRUE);
}

void TMarkupLabel::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  TCustomLabel::MouseMove(Shift, X, Y);
  bool HoverKnown = FHoverAnchor != -1;
  String Anchor;
  TRect ARect;
  if (GetAnchorAt(X, Y, Anchor, false, ARect)) {
    bool RectValid = ARect.Left != -1;
    if ((Anchor != FAnchor || ARect != FHoverRect || !HoverKnown) && FHover && RectValid && HoverRectValid())
      InvalidateOnParent(FHoverRect);
    if (GetCursor() == crDefault || Anchor != FAnchor || FHoverAnchor != FOldHoverAnchor) {
      if (FAnchorHint && Application) Application->CancelHint();
      SetCursor(crHandPoint);
      if (!Fire(this, FOnAnchorEnter, this, Anchor)) return;
      if (FHover) {
        if (RectValid && HoverRectValid()) InvalidateOnParent(FHoverRect);
        else if (!RectValid) Invalidate();
      }
    }
    FAnchor = Anchor;
    FOldHoverAnchor = FHoverAnchor;
    FHoverRect = ARect;
    if (FHover && RectValid) InvalidateOnParent(FHoverRect);
  } else if (GetCursor() == crHandPoint) {
    SetCursor(crDefault);
    FAnchor.clear();
    FOldHoverAnchor = -1;
    if (!Fire(this, FOnAnchorExit, this, String())) return;
    if (FHover) {
      if (HoverRectValid()) InvalidateOnParent(FHoverRect);
      else Invalidate();
    }
    FHoverRect = TRect(-1, -1, -1, -1);
  }
}

void TMarkupLabel::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TCustomLabel::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  String Anchor;
  TRect ARect;
  if (!GetAnchorAt(X, Y, Anchor, false, ARect)) return;
  // Nothing of the label is touched after the event: a handler may free it.
  AnchorClick(Anchor);
  if (IsWebReference(Anchor)) ShellOpen(Anchor);
}

void TMarkupLabel::CMMouseEnter(TCMMouseEnter& Message) { TCustomLabel::Dispatch(&Message); }

void TMarkupLabel::CMMouseLeave(TCMMouseLeave& Message) {
  if (!Message.Control) {
    if (FHover && FHoverAnchor != -1 && HoverRectValid()) InvalidateOnParent(FHoverRect);
    FHoverAnchor = -1;
  }
  TCustomLabel::Dispatch(&Message);
}

void TMarkupLabel::CMHintShow(TCMHintShow& Message) {
  THintInfo* Info = Message.HintInfo;
  String HintText;
  bool Found = false;
  if (FAnchorHint) {
    TRect ARect;
    if (GetAnchorAt(Info->CursorPos.X, Info->CursorPos.Y, HintText, true, ARect)) {
      DoEvent(FOnAnchorHint, this, HintText);
      TPoint P = ClientToScreen(Info->CursorPos);
      Info->HintPos = {P.X + 10, P.Y - 10};
      Info->HintStr = HintText;
      if (ARect.Left != -1) Info->CursorRect = ARect;
      Found = !HintText.empty();
    }
  }
  if (!Found && FHintShowFull) Info->HintStr = FHTMLHint ? GetDisplayHTML() : GetText();
  Message.Result = 0;
}

void TMarkupLabel::CMDialogChar(TCMDialogChar& Message) {
  TWinControl* Focus = GetFocusControl();
  if (Focus && GetEnabled() && GetShowAccelChar() && IsAccel(Message.CharCode, FHTMLText->GetText()) &&
      Focus->CanFocus()) {
    Focus->SetFocus();
    Message.Result = 1;
  }
}

// ---- Resolution and styles ----

float TMarkupLabel::GetDPIScale() {
  TCustomForm* Form = GetParentForm(this);
  float Result = 1.0f;
  if (Form && GetParent() == Form && Form->GetScaled()) {
    TMonitor* M = Form->GetMonitor();
    Integer PPI = M ? M->GetPixelsPerInch() : Screen ? Screen->GetPixelsPerInch() : 96;
    Result = float(PPI) / 96.0f;
  }
  return Result == 0 ? 1.0f : Result;
}

void TMarkupLabel::Loaded() {
  TCustomLabel::Loaded();
  SetCaption(L"");
  ApplyAutoSizing();
  FScaleFactor = GetDPIScale();
  if (!GetComponentState().Contains(csDesigning)) ApplyStyleColors();
}

void TMarkupLabel::ChangeScale(Integer M, Integer D, bool IsDpiChange) {
  TCustomLabel::ChangeScale(M, D, IsDpiChange);
  FScaleFactor = GetDPIScale();
  if (!GetComponentState().Contains(csDesigning)) ApplyStyleColors();
}

void TMarkupLabel::ApplyStyleColors() {
  TCustomStyleServices* S = StyleServices();
  FIsStyled = S && S->Enabled() && !S->IsSystemStyle() && GetStyleElements().Contains(seClient);
  if (!FIsStyled) return;
  SetColor(S->GetSystemColor(clBtnFace));
  FStyleFontColor = S->GetStyleFontColor(GetEnabled() ? sfWindowTextNormal : sfWindowTextDisabled);
  FBorderColor = S->GetStyleColor(scBorder);
}

void TMarkupLabel::CMStyleChanged(TMessage& Message) {
  ApplyStyleColors();
  Invalidate();
  TCustomLabel::Dispatch(&Message);
}
