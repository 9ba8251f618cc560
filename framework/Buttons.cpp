#include "framework/Buttons.h"

#include "framework/graphics/Bitmap.h"

PUBLISHED_DEF(TSpeedButton) {
  PROP(AllowAllUp).Default(false);
  PROP(Caption);
  PROP(GroupIndex).Default(0);
  PROP(Down).Default(false);
  PROP(Flat).Default(false);
  PROP(Glyph);
  PROP(Layout).Default(blGlyphLeft);
  PROP(Margin).Default(-1);
  PROP(NumGlyphs).Default(1);
  PROP(Spacing).Default(4);
}

void RegisterButtonControls() { RegisterClasses({TSpeedButton::StaticClass()}); }

TRect DrawButtonFace(TCanvas* Canvas, const TRect& Client, Integer BevelWidth, TButtonStyle Style, bool IsRounded,
                     bool IsDown, bool IsFocused) {
  TRect R = Client;
  TPen* Pen = Canvas->GetPen();
  Pen->SetWidth(1);
  Pen->SetStyle(psSolid);
  Canvas->GetBrush()->SetStyle(bsSolid);
  Canvas->GetBrush()->SetColor(clBtnFace);
  if (Style == bsWin31 || IsFocused) {
    // The older look, and the focused one: a dark ring (corners cut when rounded).
    Pen->SetColor(clWindowFrame);
    if (IsRounded) {
      Canvas->RoundRect(R.Left, R.Top, R.Right, R.Bottom, 3, 3);
    } else {
      Canvas->Rectangle(R);
    }
    R = TRect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
  }
  Canvas->FillRect(R);
  if (IsDown) {
    Frame3D(Canvas, R, clBtnShadow, clBtnHighlight, 1);
    for (Integer I = 1; I < BevelWidth; ++I) Frame3D(Canvas, R, clBtnFace, clBtnFace, 1);
  } else {
    Frame3D(Canvas, R, clBtnHighlight, clBtnShadow, 1);
    for (Integer I = 1; I < BevelWidth; ++I) Frame3D(Canvas, R, clBtnHighlight, clBtnShadow, 1);
    if (Style != bsWin31) Frame3D(Canvas, R, clBtnFace, clBtnFace, 0);
  }
  return R;
}

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner), FGlyph(std::make_unique<TBitmap>()) {
  SetBounds(0, 0, 23, 22);
  FControlStyle = TControlStyle{csCaptureMouse, csDoubleClicks};
  FParentFont = true;
  FGlyph->SetOnChange({this, &TSpeedButton::GlyphChanged});
}

TSpeedButton::~TSpeedButton() { FGlyph->SetOnChange(nullptr); }

void TSpeedButton::GlyphChanged(TObject*) {
  // A strip of equal squares holds one picture per state.
  if (!FGlyph->GetEmpty() && FGlyph->GetHeight() > 0 && FGlyph->GetWidth() % FGlyph->GetHeight() == 0) {
    Integer N = FGlyph->GetWidth() / FGlyph->GetHeight();
    if (N >= 1 && N <= 4) FNumGlyphs = N;
  }
  Invalidate();
}

void TSpeedButton::SetGlyph(TBitmap* Value) { FGlyph->Assign(Value); }

void TSpeedButton::SetNumGlyphs(TNumGlyphs Value) {
  FNumGlyphs = std::clamp(Value, 1, 4);
  Invalidate();
}

void TSpeedButton::SetAllowAllUp(bool Value) {
  if (FAllowAllUp == Value) return;
  FAllowAllUp = Value;
  UpdateExclusive();
}

void TSpeedButton::SetGroupIndex(Integer Value) {
  if (FGroupIndex == Value) return;
  FGroupIndex = Value;
  UpdateExclusive();
}

void TSpeedButton::SetDown(bool Value) {
  if (FGroupIndex == 0) Value = false;
  if (Value == FDown) return;
  // The last down button of a group stays down unless the group allows all up.
  if (FDown && !FAllowAllUp) return;
  FDown = Value;
  if (Value) {
    if (FState == bsUp) Invalidate();
    FState = bsExclusive;
  } else {
    FState = bsUp;
    Repaint();
  }
  if (Value) UpdateExclusive();
}

void TSpeedButton::SetFlat(bool Value) {
  FFlat = Value;
  Invalidate();
}
void TSpeedButton::SetLayout(TButtonLayout Value) {
  FLayout = Value;
  Invalidate();
}
void TSpeedButton::SetMargin(Integer Value) {
  FMargin = std::max(Value, -1);
  Invalidate();
}
void TSpeedButton::SetSpacing(Integer Value) {
  FSpacing = Value;
  Invalidate();
}

void TSpeedButton::UpdateExclusive() {
  if (FGroupIndex == 0 || !FParent) return;
  TMessage M{};
  M.Msg = CM_BUTTONPRESSED;
  M.WParam = WPARAM(FGroupIndex);
  M.LParam = LPARAM(this);
  FParent->Broadcast(M);
}

void TSpeedButton::CMButtonPressed(TMessage& Message) {
  auto* Sender = reinterpret_cast<TSpeedButton*>(Message.LParam);
  if (Integer(Message.WParam) != FGroupIndex || Sender == this) return;
  if (Sender->GetDown() && FDown) {
    FDown = false;
    FState = bsUp;
    Invalidate();
  }
  FAllowAllUp = Sender->GetAllowAllUp();
}

void TSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  inherited::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !GetEnabled()) return;
  if (!FDown) {
    FState = bsDown;
    Repaint();
  }
  FDragging = true;
}

void TSpeedButton::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  inherited::MouseMove(Shift, X, Y);
  if (!FDragging) return;
  TButtonState NewState = FDown ? bsExclusive : bsUp;
  if (X >= 0 && X < FWidth && Y >= 0 && Y < FHeight) NewState = FDown ? bsExclusive : bsDown;
  if (NewState != FState) {
    FState = NewState;
    Invalidate();
  }
}

void TSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  inherited::MouseUp(Button, Shift, X, Y);
  if (!FDragging) return;
  FDragging = false;
  bool Inside = X >= 0 && X < FWidth && Y >= 0 && Y < FHeight;
  if (FGroupIndex == 0) {
    FState = bsUp;
    FMouseInControl = FMouseInControl && Inside;
    Invalidate();
  } else if (Inside) {
    SetDown(!FDown);
    if (FDown) Repaint();
  } else {
    FState = FDown ? bsExclusive : bsUp;
    Invalidate();
  }
  if (Inside) Click();
}

void TSpeedButton::CMMouseEnter(TCMMouseEnter& Message) {
  inherited::Dispatch(&Message);
  if (!FMouseInControl && GetEnabled()) {
    FMouseInControl = true;
    if (FFlat) Invalidate();
  }
}

void TSpeedButton::CMMouseLeave(TCMMouseLeave& Message) {
  inherited::Dispatch(&Message);
  if (FMouseInControl) {
    FMouseInControl = false;
    if (FFlat) Invalidate();
  }
}

void TSpeedButton::CMDialogChar(TCMDialogChar& Message) {
  if (IsAccel(Message.CharCode, GetCaption()) && GetEnabled() && IsShowing()) {
    Click();
    Message.Result = 1;
  }
}

void TSpeedButton::CMTextChanged(TMessage&) { Invalidate(); }

void TSpeedButton::Paint() {
  TCanvas* C = GetCanvas();
  if (!GetEnabled()) FState = bsDisabled;
  else if (FState == bsDisabled) FState = FDown && FGroupIndex != 0 ? bsExclusive : bsUp;
  TRect R(0, 0, FWidth, FHeight);
  bool Pressed = FState == bsDown || FState == bsExclusive;
  if (!FFlat) {
    R = DrawButtonFace(C, R, 1, bsNew, false, Pressed, false);
  } else {
    C->GetBrush()->SetColor(GetParent() ? GetParent()->GetColor() : clBtnFace);
    C->GetBrush()->SetStyle(bsSolid);
    C->FillRect(R);
    if (Pressed || (FMouseInControl && FState != bsDisabled)) {
      TRect F = R;
      if (Pressed) Frame3D(C, F, clBtnShadow, clBtnHighlight, 1);
      else Frame3D(C, F, clBtnHighlight, clBtnShadow, 1);
    }
    R = TRect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
  }
  DrawGlyphAndText(R, Pressed ? 1 : 0);
}

void TSpeedButton::DrawGlyphAndText(TRect Client, Integer Offset) {
  TCanvas* C = GetCanvas();
  C->SetFont(GetFont());
  String Text = GetCaption();
  Integer GW = 0, GH = 0;
  Integer Part = 0;
  if (!FGlyph->GetEmpty()) {
    GW = FGlyph->GetWidth() / FNumGlyphs;
    GH = FGlyph->GetHeight();
    static const Integer Parts[] = {0, 1, 2, 3};  // up, disabled, down, exclusive
    Part = Parts[FState];
    if (Part >= FNumGlyphs) Part = 0;
  }
  TSize TS{0, 0};
  if (!Text.empty()) TS = C->TextExtent(Text);
  TButtonLayout Layout = FLayout;
  if (UseRightToLeftAlignment()) {
    if (Layout == blGlyphLeft) Layout = blGlyphRight;
    else if (Layout == blGlyphRight) Layout = blGlyphLeft;
  }
  bool Horizontal = Layout == blGlyphLeft || Layout == blGlyphRight;
  Integer Spacing = (GW && !Text.empty()) ? FSpacing : 0;
  Integer Total = Horizontal ? GW + Spacing + TS.cx : GH + Spacing + TS.cy;
  Integer Avail = Horizontal ? Client.Width() : Client.Height();
  Integer Start = FMargin < 0 ? (Avail - Total) / 2 : FMargin;
  TPoint GP, TP;
  if (Horizontal) {
    Integer GY = Client.Top + (Client.Height() - GH) / 2, TY = Client.Top + (Client.Height() - TS.cy) / 2;
    if (Layout == blGlyphLeft) {
      GP = TPoint(Client.Left + Start, GY);
      TP = TPoint(GP.X + GW + Spacing, TY);
    } else {
      GP = TPoint(Client.Right - Start - GW, GY);
      TP = TPoint(GP.X - Spacing - TS.cx, TY);
    }
  } else {
    Integer GX = Client.Left + (Client.Width() - GW) / 2, TX = Client.Left + (Client.Width() - TS.cx) / 2;
    if (Layout == blGlyphTop) {
      GP = TPoint(GX, Client.Top + Start);
      TP = TPoint(TX, GP.Y + GH + Spacing);
    } else {
      GP = TPoint(GX, Client.Bottom - Start - GH);
      TP = TPoint(TX, GP.Y - Spacing - TS.cy);
    }
  }
  GP = TPoint(GP.X + Offset, GP.Y + Offset);
  TP = TPoint(TP.X + Offset, TP.Y + Offset);
  if (GW > 0) {
    TBitmap Piece(GW, GH);
    Piece.GetCanvas()->CopyRect(TRect(0, 0, GW, GH), FGlyph->GetCanvas(), Bounds(Part * GW, 0, GW, GH));
    Piece.SetTransparentColor(FGlyph->GetCanvas()->GetPixel(0, GH - 1));
    Piece.SetTransparent(true);
    C->Draw(GP.X, GP.Y, &Piece);
  }
  if (!Text.empty()) {
    C->RequiredState({csHandleValid, csFontValid});
    HDC DC = C->GetHandle();
    ::SetBkMode(DC, TRANSPARENT);
    RECT R{TP.X, TP.Y, TP.X + TS.cx, TP.Y + TS.cy};
    UINT Flags = UINT(DrawTextBiDiModeFlags(DT_SINGLELINE | DT_CENTER | DT_VCENTER));
    if (FState == bsDisabled) {
      OffsetRect(&R, 1, 1);
      ::SetTextColor(DC, ColorToRGB(clBtnHighlight));
      DrawTextW(DC, Text.c_str(), Integer(Text.size()), &R, Flags);
      OffsetRect(&R, -1, -1);
      ::SetTextColor(DC, ColorToRGB(clBtnShadow));
    } else {
      ::SetTextColor(DC, ColorToRGB(GetFont()->GetColor()));
    }
    DrawTextW(DC, Text.c_str(), Integer(Text.size()), &R, Flags);
  }
}
