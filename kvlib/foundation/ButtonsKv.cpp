#include "kvlib/foundation/ButtonsKv.h"

#include <algorithm>

#include "framework/Buttons.h"
#include "framework/ExtCtrls.h"
#include "framework/Menus.h"
#include "framework/Themes.h"
#include "framework/WinApi.h"
#include "framework/stdctrls/StdTypes.h"
#include "framework/sysutils/OSVersion.h"
#include "kvlib/foundation/DropDownFormKv.h"
#include "kvlib/foundation/KvLibImageReses.h"
#include "kvlib/foundation/KvLibVCL.h"
#include "kvlib/foundation/ToolCtrlsKv.h"

namespace {

RECT WinRect(const TRect& R) { return RECT{R.Left, R.Top, R.Right, R.Bottom}; }

TThemedElementDetails PushButtonDetails(TButtonStateKv State) {
  switch (State) {
    case bsHotKv: return StyleServices()->GetElementDetails(tbPushButtonHot);
    case bsPressedKv: return StyleServices()->GetElementDetails(tbPushButtonPressed);
    case bsDisabledKv: return StyleServices()->GetElementDetails(tbPushButtonDisabled);
    default: return StyleServices()->GetElementDetails(tbPushButtonNormal);
  }
}

TThemedElementDetails ToolButtonDetails(TButtonStateKv State) {
  switch (State) {
    case bsHotKv: return StyleServices()->GetElementDetails(ttbButtonHot);
    case bsPressedKv: return StyleServices()->GetElementDetails(ttbButtonPressed);
    case bsDisabledKv: return StyleServices()->GetElementDetails(ttbButtonDisabled);
    default: return StyleServices()->GetElementDetails(ttbButtonNormal);
  }
}

// What the parent paints under a windowless control: its own background brush.
void EraseWithParentBackground(TControl* Control, TCanvas* Canvas, const TRect& Rect) {
  TWinControl* Parent = Control->GetParent();
  Canvas->RequiredState(TCanvasState{csHandleValid});
  RECT R = WinRect(Rect);
  if (Parent)
    ::FillRect(Canvas->GetHandle(), &R, Parent->GetBrush()->GetHandle());
  else {
    Canvas->GetBrush()->SetColor(GetStyledSystemColor(Control->GetColor()));
    Canvas->FillRect(Rect);
  }
}

TDrawButtonControlStyleKv DrawStyleOf(TEditButtonStyleKv Style) {
  switch (Style) {
    case ebsEllipsisKv: return bcsEllipsisKv;
    case ebsGlyphKv:
    case ebsUpDownKv: return bcsUpDownKv;
    case ebsPlusKv: return bcsPlusKv;
    case ebsMinusKv: return bcsMinusKv;
    case ebsAltDropDownKv: return bcsAltDropDownKv;
    case ebsAltUpDownKv: return bcsAltUpDownKv;
    default: return bcsDropDownKv;
  }
}

}  // namespace

void RegisterButtonsKv() { RegisterClasses({TSpeedButtonKv::StaticClass(), TEditButtonControlKv::StaticClass()}); }

// ---- TButtonImagesKv ------------------------------------------------------------------------------

PUBLISHED_DEF(TButtonImagesKv) {
  PROP(NormalImages);
  PROP(HotImages);
  PROP(PressedImages);
  PROP(DisabledImages);
  PROP(NormalIndex).Default(0);
  PROP(HotIndex).Default(0);
  PROP(PressedIndex).Default(0);
  PROP(DisabledIndex).Default(0);
}

void TButtonImagesKv::Assign(TPersistent* Source) {
  if (auto* Src = dynamic_cast<TButtonImagesKv*>(Source)) {
    SetNormalImages(Src->FNormalImages);
    SetHotImages(Src->FHotImages);
    SetPressedImages(Src->FPressedImages);
    SetDisabledImages(Src->FDisabledImages);
    SetNormalIndex(Src->FNormalIndex);
    SetHotIndex(Src->FHotIndex);
    SetPressedIndex(Src->FPressedIndex);
    SetDisabledIndex(Src->FDisabledIndex);
    return;
  }
  inherited::Assign(Source);
}

TCustomImageList* TButtonImagesKv::GetStateImages(TButtonStateKv State) const {
  TCustomImageList* Own = nullptr;
  switch (State) {
    case bsNormalKv: return FNormalImages;
    case bsHotKv: Own = FHotImages; break;
    case bsPressedKv: Own = FPressedImages; break;
    case bsDisabledKv: Own = FDisabledImages; break;
    default: return nullptr;
  }
  return Own ? Own : FNormalImages.Get();
}

Integer TButtonImagesKv::GetStateIndex(TButtonStateKv State) const {
  switch (State) {
    case bsNormalKv: return FNormalIndex;
    case bsHotKv: return FHotIndex;
    case bsPressedKv: return FPressedIndex;
    case bsDisabledKv: return FDisabledIndex;
    default: return -1;
  }
}

void TButtonImagesKv::SetList(TComponentRef<TCustomImageList>& Field, TCustomImageList* Value) {
  if (Field == Value) return;
  Field = Value;
  ImagesListChanged(Value);
}

void TButtonImagesKv::SetIndex(Integer& Field, Integer Value) {
  if (Field == Value) return;
  Field = Value;
  ImagesIndexChanged();
}

void TButtonImagesKv::SetNormalImages(TCustomImageList* Value) { SetList(FNormalImages, Value); }
void TButtonImagesKv::SetHotImages(TCustomImageList* Value) { SetList(FHotImages, Value); }
void TButtonImagesKv::SetPressedImages(TCustomImageList* Value) { SetList(FPressedImages, Value); }
void TButtonImagesKv::SetDisabledImages(TCustomImageList* Value) { SetList(FDisabledImages, Value); }
void TButtonImagesKv::SetNormalIndex(Integer Value) { SetIndex(FNormalIndex, Value); }
void TButtonImagesKv::SetHotIndex(Integer Value) { SetIndex(FHotIndex, Value); }
void TButtonImagesKv::SetPressedIndex(Integer Value) { SetIndex(FPressedIndex, Value); }
void TButtonImagesKv::SetDisabledIndex(Integer Value) { SetIndex(FDisabledIndex, Value); }

// ---- TGlyphList -----------------------------------------------------------------------------------

TGlyphList::TGlyphList(Integer AWidth, Integer AHeight) : TImageList(nullptr, AWidth, AHeight) {}

Integer TGlyphList::AddMasked(TBitmap* Image, TColor MaskColor) {
  auto Free = std::find(FUsed.begin(), FUsed.end(), false);
  Integer Slot;
  if (Free == FUsed.end()) {
    Slot = TImageList::AddMasked(Image, MaskColor);
    if (Integer(FUsed.size()) <= Slot) FUsed.resize(size_t(Slot) + 1, false);
  } else {
    Slot = Integer(Free - FUsed.begin());
    ReplaceMasked(Slot, Image, MaskColor);
  }
  FUsed[size_t(Slot)] = true;
  ++FCount;
  return Slot;
}

void TGlyphList::Delete(Integer Index) {
  if (Index < 0 || Index >= Integer(FUsed.size()) || !FUsed[size_t(Index)]) return;
  FUsed[size_t(Index)] = false;
  --FCount;
}

// ---- TButtonGlyph ---------------------------------------------------------------------------------

TButtonGlyph::TButtonGlyph(TCustomSpeedButtonKv* Owner) : FOwner(Owner), FOriginal(std::make_unique<TBitmap>()) {
  FOriginal->SetOnChange({this, &TButtonGlyph::GlyphChanged});
}

TButtonGlyph::~TButtonGlyph() { FOriginal->SetOnChange(nullptr); }

void TButtonGlyph::Invalidate() {
  for (Integer& Index : FIndexs) {
    if (Index >= 0 && FGlyphList) FGlyphList->Delete(Index);
    Index = -1;
  }
}

void TButtonGlyph::GlyphChanged(TObject* Sender) {
  if (Sender != FOriginal.get()) return;
  if (!FOriginal->GetEmpty()) FTransparentColor = FOriginal->GetTransparentColor();
  Invalidate();
  DoEvent(FOnChange, this);
}

void TButtonGlyph::SetGlyph(TBitmap* Value) {
  Invalidate();
  FOriginal->Assign(Value);
  if (!Value || Value->GetHeight() <= 0) return;
  FTransparentColor = Value->GetTransparentColor();
  Integer W = Value->GetWidth(), H = Value->GetHeight();
  if (W > 0 && W % H == 0) {
    Integer Glyphs = W / H;
    if (Glyphs > 4) Glyphs = 1;
    SetNumGlyphs(Glyphs);
  }
}

void TButtonGlyph::SetNumGlyphs(TNumGlyphsKv Value) {
  if (Value == FNumGlyphs || Value <= 0) return;
  Invalidate();
  FNumGlyphs = Value;
  GlyphChanged(FOriginal.get());
}

Integer TButtonGlyph::CreateButtonGlyph(TButtonStateKv State) {
  if (State == bsPressedKv && FNumGlyphs < 3) State = bsNormalKv;
  Integer& Result = FIndexs[State];
  if (Result != -1) return Result;
  if (FOriginal->GetEmpty() || FOriginal->GetWidth() <= 0 || FOriginal->GetHeight() <= 0) return -1;
  Integer IWidth = FOriginal->GetWidth() / FNumGlyphs, IHeight = FOriginal->GetHeight();
  if (IWidth <= 0) return -1;
  if (!FGlyphList || FGlyphList->GetWidth() != IWidth || FGlyphList->GetHeight() != IHeight) {
    Invalidate();
    FGlyphList = std::make_unique<TGlyphList>(IWidth, IHeight);
  }
  // The cell's pixels, top-down, as the source bitmap holds them.
  auto CellPixels = [&](Integer Cell) {
    std::vector<Cardinal> All = FOriginal->GetPixelsBGRA();
    Integer W = FOriginal->GetWidth();
    std::vector<Cardinal> P(size_t(IWidth) * IHeight);
    for (Integer Y = 0; Y < IHeight; ++Y)
      for (Integer X = 0; X < IWidth; ++X) P[size_t(Y) * IWidth + X] = All[size_t(Y) * W + Cell * IWidth + X] | 0xFF000000u;
    return P;
  };
  auto Bgra = [](TColor C) {
    Cardinal Rgb = ColorToRGB(C);
    return 0xFF000000u | ((Rgb & 0xFF) << 16) | (Rgb & 0xFF00) | ((Rgb >> 16) & 0xFF);
  };
  TBitmap Tmp;
  Tmp.SetPixelFormat(pf32bit);
  const Cardinal Transparent = Bgra(FTransparentColor);
  const Cardinal Face = Bgra(clBtnFace);
  if (State != bsDisabledKv) {
    Integer Cell = Integer(State);
    if (Cell >= FNumGlyphs) Cell = 0;
    std::vector<Cardinal> P = CellPixels(Cell);
    Tmp.SetPixelsBGRA(IWidth, IHeight, P.data(), afIgnored);
    Result = FGlyphList->AddMasked(&Tmp, FOriginal->GetTransparentMode() == tmFixed ? FTransparentColor : clDefault);
    return Result;
  }
  std::vector<Cardinal> Out(size_t(IWidth) * IHeight, Face);
  if (FNumGlyphs > 1) {
    // The disabled cell recoloured: white to highlight, grey to shadow, the transparent colour
    // to the face.
    std::vector<Cardinal> P = CellPixels(FNumGlyphs == 4 ? 3 : 0);
    const Cardinal White = 0xFFFFFFFFu, Grey = 0xFF808080u;
    for (size_t I = 0; I < P.size(); ++I) {
      if (P[I] == White) Out[I] = Bgra(clBtnHighlight);
      else if (P[I] == Grey) Out[I] = Bgra(clBtnShadow);
      else if (P[I] == Transparent) Out[I] = Face;
      else Out[I] = P[I];
    }
  } else {
    // Embossed from the shape: every pixel that is neither transparent nor white, once in the
    // highlight colour one pixel down and right, then in the shadow colour in place.
    std::vector<Cardinal> P = CellPixels(0);
    auto Ink = [&](Integer X, Integer Y) {
      Cardinal C = P[size_t(Y) * IWidth + X];
      return C != Transparent && C != 0xFFFFFFFFu;
    };
    const Cardinal Highlight = Bgra(clBtnHighlight), Shadow = Bgra(clBtnShadow);
    for (Integer Y = 0; Y < IHeight; ++Y)
      for (Integer X = 0; X < IWidth; ++X)
        if (Ink(X, Y) && X + 1 < IWidth && Y + 1 < IHeight) Out[size_t(Y + 1) * IWidth + X + 1] = Highlight;
    for (Integer Y = 0; Y < IHeight; ++Y)
      for (Integer X = 0; X < IWidth; ++X)
        if (Ink(X, Y)) Out[size_t(Y) * IWidth + X] = Shadow;
  }
  Tmp.SetPixelsBGRA(IWidth, IHeight, Out.data(), afIgnored);
  Result = FGlyphList->AddMasked(&Tmp, clBtnFace);
  return Result;
}

TSize TButtonGlyph::GlyphSize() {
  if (FOwner->IsCustomGlyph()) return FOwner->GetCustomGlyphSize();
  if (FOriginal->GetEmpty() || FNumGlyphs <= 0) return TSize{0, 0};
  return TSize{FOriginal->GetWidth() / FNumGlyphs, FOriginal->GetHeight()};
}

void TButtonGlyph::CalcButtonLayout(TCanvas* Canvas, const TRect& Client, const TPoint& Offset, const String& Caption,
                                    TButtonLayoutKv Layout, Integer Margin, Integer Spacing, TPoint& GlyphPos,
                                    TRect& TextBounds, LongInt BiDiFlags) {
  if (BiDiFlags & DT_RTLREADING) {
    if (Layout == blGlyphLeftKv) Layout = blGlyphRightKv;
    else if (Layout == blGlyphRightKv) Layout = blGlyphLeftKv;
  }
  TPoint ClientSize(Client.Width(), Client.Height());
  TSize G = GlyphSize();
  TPoint GlyphSz(G.cx, G.cy);
  TPoint TextSize(0, 0);
  if (!Caption.empty()) {
    TRect R(0, 0, Client.Width(), 0);
    Canvas->RequiredState(TCanvasState{csHandleValid, csFontValid});
    RECT WR = WinRect(R);
    ::DrawTextW(Canvas->GetHandle(), Caption.c_str(), Integer(Caption.size()), &WR, UINT(DT_CALCRECT | BiDiFlags));
    TextSize = TPoint(WR.right - WR.left, WR.bottom - WR.top);
  }
  bool Horizontal = Layout == blGlyphLeftKv || Layout == blGlyphRightKv;
  TPoint TextPos;
  if (Horizontal) {
    GlyphPos.Y = (ClientSize.Y - GlyphSz.Y + 1) / 2;
    TextPos.Y = (ClientSize.Y - TextSize.Y + 1) / 2;
  } else {
    GlyphPos.X = (ClientSize.X - GlyphSz.X + 1) / 2;
    TextPos.X = (ClientSize.X - TextSize.X + 1) / 2;
  }
  if (TextSize.X == 0 || GlyphSz.X == 0) Spacing = 0;
  if (Margin == -1) {
    if (Spacing < 0) {
      TPoint Total(GlyphSz.X + TextSize.X, GlyphSz.Y + TextSize.Y);
      Margin = Horizontal ? (ClientSize.X - Total.X) / 3 : (ClientSize.Y - Total.Y) / 3;
      Spacing = Margin;
    } else {
      TPoint Total(GlyphSz.X + Spacing + TextSize.X, GlyphSz.Y + Spacing + TextSize.Y);
      Margin = Horizontal ? (ClientSize.X - Total.X + 1) / 2 : (ClientSize.Y - Total.Y + 1) / 2;
    }
  } else if (Spacing < 0) {
    TPoint Total(ClientSize.X - (Margin + GlyphSz.X), ClientSize.Y - (Margin + GlyphSz.Y));
    Spacing = Horizontal ? (Total.X - TextSize.X) / 2 : (Total.Y - TextSize.Y) / 2;
  }
  switch (Layout) {
    case blGlyphLeftKv:
      GlyphPos.X = Margin;
      TextPos.X = GlyphPos.X + GlyphSz.X + Spacing;
      break;
    case blGlyphRightKv:
      GlyphPos.X = ClientSize.X - Margin - GlyphSz.X;
      TextPos.X = GlyphPos.X - Spacing - TextSize.X;
      break;
    case blGlyphTopKv:
      GlyphPos.Y = Margin;
      TextPos.Y = GlyphPos.Y + GlyphSz.Y + Spacing;
      break;
    case blGlyphBottomKv:
      GlyphPos.Y = ClientSize.Y - Margin - GlyphSz.Y;
      TextPos.Y = GlyphPos.Y - Spacing - TextSize.Y;
      break;
  }
  GlyphPos = TPoint(GlyphPos.X + Client.Left + Offset.X, GlyphPos.Y + Client.Top + Offset.Y);
  TextBounds = Bounds(TextPos.X + Client.Left + Offset.X, TextPos.Y + Client.Top + Offset.Y, TextSize.X, TextSize.Y);
}

void TButtonGlyph::DrawButtonGlyph(TCanvas* Canvas, const TPoint& GlyphPos, TButtonStateKv State, bool Transparent) {
  if (FOwner->IsCustomGlyph()) {
    FOwner->DrawCustomGlyph(Canvas, GlyphPos);
    return;
  }
  if (FOriginal->GetEmpty() || FOriginal->GetWidth() == 0 || FOriginal->GetHeight() == 0) return;
  Integer Index = CreateButtonGlyph(State);
  if (Index < 0) return;
  Canvas->RequiredState(TCanvasState{csHandleValid});
  HDC DC = Canvas->GetHandle();
  if (FThemesEnabled) {
    TThemedElementDetails D = StyleServices()->GetElementDetails(
        State == bsPressedKv ? tbPushButtonPressed : State == bsDisabledKv ? tbPushButtonDisabled : tbPushButtonNormal);
    TRect R = Bounds(GlyphPos.X, GlyphPos.Y, FGlyphList->GetWidth(), FGlyphList->GetHeight());
    StyleServices()->DrawIcon(DC, D, R, FGlyphList->GetHandle(), Index);
  } else if (Transparent) {
    ImageList_DrawEx(FGlyphList->GetHandle(), Index, DC, GlyphPos.X, GlyphPos.Y, 0, 0, CLR_NONE, CLR_NONE,
                     ILD_TRANSPARENT);
  } else {
    ImageList_DrawEx(FGlyphList->GetHandle(), Index, DC, GlyphPos.X, GlyphPos.Y, 0, 0, ColorToRGB(clBtnFace), CLR_NONE,
                     ILD_NORMAL);
  }
}

void TButtonGlyph::DrawButtonText(TCanvas* Canvas, const String& Caption, TRect TextBounds, TButtonStateKv State,
                                  LongInt BiDiFlags) {
  if (Caption.empty()) return;
  Canvas->GetBrush()->SetStyle(bsClear);
  Canvas->RequiredState(TCanvasState{csHandleValid, csFontValid, csBrushValid});
  HDC DC = Canvas->GetHandle();
  UINT Flags = UINT(DT_CENTER | DT_VCENTER | DT_SINGLELINE | BiDiFlags);
  ::SetBkMode(DC, TRANSPARENT);
  if (!FThemesEnabled) {
    RECT R = WinRect(TextBounds);
    if (State == bsDisabledKv) {
      OffsetRect(&R, 1, 1);
      ::SetTextColor(DC, ColorToRGB(clBtnHighlight));
      ::DrawTextW(DC, Caption.c_str(), Integer(Caption.size()), &R, Flags);
      OffsetRect(&R, -1, -1);
      ::SetTextColor(DC, ColorToRGB(clBtnShadow));
    } else {
      ::SetTextColor(DC, ColorToRGB(Canvas->GetFont()->GetColor()));
    }
    ::DrawTextW(DC, Caption.c_str(), Integer(Caption.size()), &R, Flags);
    return;
  }
  TColor Color = clNone;
  bool FontColor = StyleServices()->IsSystemStyle() || (!FThemeTextColor && State != bsDisabledKv) ||
                   !StyleServices()->GetElementColor(FThemeDetails, ecTextColor, Color) || Color == clNone;
  if (FontColor) Color = Canvas->GetFont()->GetColor();
  StyleServices()->DrawText(DC, FThemeDetails, Caption, TextBounds, Flags, Color, 20);
}

TRect TButtonGlyph::Draw(TCanvas* Canvas, const TRect& Client, const TPoint& Offset, const String& Caption,
                         TButtonLayoutKv Layout, Integer Margin, Integer Spacing, TButtonStateKv State,
                         bool Transparent, LongInt BiDiFlags) {
  TPoint GlyphPos;
  TRect TextBounds;
  CalcButtonLayout(Canvas, Client, Offset, Caption, Layout, Margin, Spacing, GlyphPos, TextBounds, BiDiFlags);
  DrawButtonGlyph(Canvas, GlyphPos, State, Transparent);
  DrawButtonText(Canvas, Caption, TextBounds, State, BiDiFlags);
  return TextBounds;
}

// ---- TCustomSpeedButtonKv -------------------------------------------------------------------------

TCustomSpeedButtonKv::TCustomSpeedButtonKv(TComponent* AOwner)
    : TGraphicControl(AOwner),
      FInternalEditButtonImages(std::make_unique<TButtonImagesKv>()),
      FButtonGlyph(std::make_unique<TButtonGlyph>(this)) {
  SetBounds(0, 0, 23, 22);
  FControlStyle = TControlStyle{csCaptureMouse, csDoubleClicks};
  FParentFont = true;
  FColor = clBtnFace;
  FButtonGlyph->SetOnChange({this, &TCustomSpeedButtonKv::GlyphBitmapChanged});
}

TCustomSpeedButtonKv::~TCustomSpeedButtonKv() { FButtonGlyph->SetOnChange(nullptr); }

void TCustomSpeedButtonKv::Loaded() {
  inherited::Loaded();
  RecalcButtonState();
}

void TCustomSpeedButtonKv::SetFlat(bool Value) {
  if (FFlat == Value) return;
  FFlat = Value;
  Invalidate();
}

TBitmap* TCustomSpeedButtonKv::GetGlyph() const { return FButtonGlyph->GetGlyph(); }

void TCustomSpeedButtonKv::SetGlyph(TBitmap* Value) {
  FButtonGlyph->SetGlyph(Value);
  Invalidate();
}

void TCustomSpeedButtonKv::SetLayout(TButtonLayoutKv Value) {
  if (FLayout == Value) return;
  FLayout = Value;
  Invalidate();
}

void TCustomSpeedButtonKv::SetMargin(Integer Value) {
  if (Value < -1 || Value == FMargin) return;
  FMargin = Value;
  Invalidate();
}

TNumGlyphsKv TCustomSpeedButtonKv::GetNumGlyphs() const { return FButtonGlyph->GetNumGlyphs(); }

void TCustomSpeedButtonKv::SetNumGlyphs(TNumGlyphsKv Value) {
  // Layout divides the bitmap by the number of cells: none or fewer is one.
  Value = std::clamp(Value, 1, 4);
  if (Value == GetNumGlyphs()) return;
  FButtonGlyph->SetNumGlyphs(Value);
  Invalidate();
}

void TCustomSpeedButtonKv::SetSpacing(Integer Value) {
  if (FSpacing == Value) return;
  FSpacing = Value;
  Invalidate();
}

void TCustomSpeedButtonKv::SetTransparent(bool Value) {
  if (FTransparent == Value) return;
  FTransparent = Value;
  if (Value) FControlStyle >> csOpaque;
  else FControlStyle << csOpaque;
  Invalidate();
}

HPALETTE TCustomSpeedButtonKv::GetPalette() { return FButtonGlyph->GetGlyph()->GetPalette(); }

void TCustomSpeedButtonKv::SetForegroundScaleFactor(Double Value) {
  if (FForegroundScaleFactor == Value) return;
  FForegroundScaleFactor = Value;
  Invalidate();
}

void TCustomSpeedButtonKv::SetResourceImageItem(TResourceImageItemKv* Value) {
  if (FResourceImageItem == Value) return;
  FResourceImageItem = Value;
  Invalidate();
}

void TCustomSpeedButtonKv::GlyphBitmapChanged(TObject*) { Invalidate(); }

TButtonImagesKv* TCustomSpeedButtonKv::GetActiveButtonImages() { return FInternalEditButtonImages.get(); }

bool TCustomSpeedButtonKv::IsCustomGlyph() {
  TButtonImagesKv* Images = GetActiveButtonImages();
  if (Images && Images->GetStateImages(FState) && Images->GetStateIndex(FState) >= 0) return true;
  return FResourceImageItem != nullptr;
}

TSize TCustomSpeedButtonKv::GetCustomGlyphSize() {
  TButtonImagesKv* Images = GetActiveButtonImages();
  if (Images && Images->GetStateIndex(FState) >= 0)
    if (TCustomImageList* List = Images->GetStateImages(FState)) return TSize{List->GetWidth(), List->GetHeight()};
  if (FResourceImageItem) {
    TGraphic* G = FResourceImageItem->GetGraphic(TSize{FWidth, FHeight}, FForegroundScaleFactor, !GetEnabled(), false);
    if (G) return TSize{G->GetWidth(), G->GetHeight()};
  }
  return TSize{0, 0};
}

void TCustomSpeedButtonKv::DrawCustomGlyph(TCanvas* Canvas, const TPoint& Pos) {
  TButtonImagesKv* Images = GetActiveButtonImages();
  Integer Index = Images ? Images->GetStateIndex(FState) : -1;
  TCustomImageList* List = Index >= 0 ? Images->GetStateImages(FState) : nullptr;
  if (List) {
    // A disabled button without pictures of its own greys the normal ones.
    bool Enabled = !(FState == bsDisabledKv && !Images->GetDisabledImages());
    DrawImageInRect(List, nullptr, Canvas, Bounds(Pos.X, Pos.Y, List->GetWidth(), List->GetHeight()), Index, 0, 0,
                    taLeftJustify, TRect(0, 0, FWidth, FHeight), FForegroundScaleFactor, Enabled);
  } else if (FResourceImageItem) {
    if (TGraphic* G =
            FResourceImageItem->GetGraphic(TSize{FWidth, FHeight}, FForegroundScaleFactor, !GetEnabled(), false))
      Canvas->Draw(Pos.X, Pos.Y, G);
  }
}

void TCustomSpeedButtonKv::DoButtonDown(bool& AutoRepeat, bool& Handled) {
  if (FOnDown) FOnDown(this, AutoRepeat, Handled);
}

void TCustomSpeedButtonKv::RecalcButtonState() {
  TButtonStateKv NewState;
  if (!GetEnabled()) {
    NewState = bsDisabledKv;
    FLocalDragging = false;
  } else if (FMouseInControl) {
    NewState = bsHotKv;
  } else if (FLocalDragging) {
    NewState = bsPressedKv;
  } else {
    NewState = bsNormalKv;
  }
  if (NewState == FState) return;
  FState = NewState;
  Invalidate();
}

void TCustomSpeedButtonKv::Paint() {
  if (FOnPaint) FOnPaint(this);
  else DefaultPaint();
}

void TCustomSpeedButtonKv::DefaultPaint() {
  TRect PaintRect;
  TPoint Offset;
  TThemedElementDetails Details{};
  PaintBackground(PaintRect, Offset, Details);
  PaintForeground(PaintRect, Offset, Details);
}

void TCustomSpeedButtonKv::PaintBackground(TRect& PaintRect, TPoint& Offset, TThemedElementDetails& Details) {
  TCanvas* C = GetCanvas();
  C->SetFont(GetFont());
  PaintRect = TRect(0, 0, FWidth, FHeight);
  bool Pressed = FState == bsPressedKv;
  Details = TThemedElementDetails{};
  if (!StyleServices()->ThemeControl(this)) {
    Offset = Pressed ? TPoint(1, 1) : TPoint(0, 0);
    if (FFlat) {
      if (FState == bsHotKv || Pressed || GetComponentState().Contains(csDesigning)) {
        C->RequiredState(TCanvasState{csHandleValid});
        RECT R = WinRect(PaintRect);
        ::DrawEdge(C->GetHandle(), &R, Pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER,
                   BF_RECT | (FTransparent ? 0 : BF_MIDDLE));
      } else if (!FTransparent) {
        C->GetBrush()->SetStyle(bsSolid);
        C->GetBrush()->SetColor(GetColor());
        C->FillRect(PaintRect);
      }
      PaintRect = TRect(PaintRect.Left + 1, PaintRect.Top + 1, PaintRect.Right - 1, PaintRect.Bottom - 1);
    } else {
      PaintRect = DrawButtonFace(C, PaintRect, 1, bsNew, false, Pressed, false);
    }
    return;
  }
  if (FTransparent) {
    EraseWithParentBackground(this, C, PaintRect);
  } else {
    C->GetBrush()->SetStyle(bsSolid);
    C->GetBrush()->SetColor(GetStyledSystemColor(GetColor()));
    C->FillRect(PaintRect);
  }
  TButtonStateKv S = GetEnabled() ? FState : bsDisabledKv;
  Details = FFlat ? ToolButtonDetails(S) : PushButtonDetails(S);
  C->RequiredState(TCanvasState{csHandleValid});
  HDC DC = C->GetHandle();
  StyleServices()->DrawElement(DC, Details, PaintRect);
  TRect Content;
  if (StyleServices()->GetElementContentRect(DC, Details, PaintRect, Content)) PaintRect = Content;
  if (Pressed && FFlat && !TOSVersion::Check(6)) C->GetFont()->SetColor(clHighlightText);
  Offset = Pressed ? TPoint(1, 0) : TPoint(0, 0);
}

void TCustomSpeedButtonKv::PaintForeground(TRect& PaintRect, const TPoint& Offset,
                                           const TThemedElementDetails& Details) {
  FButtonGlyph->SetThemeDetails(Details);
  FButtonGlyph->SetThemesEnabled(StyleServices()->ThemeControl(this));
  FButtonGlyph->SetThemeTextColor(GetStyleElements().Contains(seFont));
  FButtonGlyph->Draw(GetCanvas(), PaintRect, Offset, GetCaption(), FLayout, FMargin, FSpacing, FState, FTransparent,
                     DrawTextBiDiModeFlags(0));
}

void TCustomSpeedButtonKv::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TDispatchScope Scope(this);
  inherited::MouseDown(Button, Shift, X, Y);
  if (Scope.Deleted() || Button != mbLeft || !GetEnabled()) return;
  if (FState != bsPressedKv) {
    FState = bsPressedKv;
    Invalidate();
  }
  FLocalDragging = true;
  bool AutoRepeat = FAutoRepeat, Handled = false;
  DoButtonDown(AutoRepeat, Handled);
  if (Scope.Deleted()) return;
  if (AutoRepeat) StartRepeatTimer(ButtonRepeatFirstDelayKv);
}

void TCustomSpeedButtonKv::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  TDispatchScope Scope(this);
  inherited::MouseMove(Shift, X, Y);
  if (Scope.Deleted()) return;
  if (FLocalDragging) {
    TButtonStateKv NewState = PointInButton(X, Y) ? bsPressedKv : bsHotKv;
    if (NewState != FState) {
      FState = NewState;
      Invalidate();
    }
  } else if (!PointInButton(X, Y)) {
    UpdateTracking();
  }
}

void TCustomSpeedButtonKv::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TDispatchScope Scope(this);
  inherited::MouseUp(Button, Shift, X, Y);
  if (Scope.Deleted()) return;
  StopRepeatTimer();
  if (Button != mbLeft || !FLocalDragging) return;
  FLocalDragging = false;
  if (PointInButton(X, Y)) {
    Click();
    if (Scope.Deleted()) return;
  }
  UpdateTracking();
  RecalcButtonState();
}

void TCustomSpeedButtonKv::UpdateTracking() {
  if (!FFlat || !GetEnabled()) return;
  TPoint P;
  SafeGetCursorPos(P);
  bool Inside = FindDragTarget(P, true) == this;
  if (Inside != FMouseInControl) Perform(Inside ? CM_MOUSEENTER : CM_MOUSELEAVE);
}

void TCustomSpeedButtonKv::StartRepeatTimer(Cardinal Interval) {
  if (!FRepeatTimer) {
    FRepeatTimer = new TTimer(this);
    FRepeatTimer->SetEnabled(false);
    FRepeatTimer->SetOnTimer({this, &TCustomSpeedButtonKv::RepeatTimerTick});
  }
  if (FRepeatTimer->GetEnabled() && FRepeatTimer->GetInterval() == Interval) return;
  FRepeatTimer->SetEnabled(false);
  FRepeatTimer->SetInterval(Interval);
  FRepeatTimer->SetEnabled(true);
}

void TCustomSpeedButtonKv::StopRepeatTimer() {
  if (FRepeatTimer) FRepeatTimer->SetEnabled(false);
}

void TCustomSpeedButtonKv::RepeatTimerTick(TObject*) {
  if (FRepeatTimer->GetInterval() != ButtonRepeatIntervalKv) FRepeatTimer->SetInterval(ButtonRepeatIntervalKv);
  if (FState != bsPressedKv || !GetMouseCapture()) return;
  bool AutoRepeat = FAutoRepeat, Handled = false;
  TDispatchScope Scope(this);
  try {
    DoButtonDown(AutoRepeat, Handled);
  } catch (...) {
    if (!Scope.Deleted()) StopRepeatTimer();
    throw;
  }
  if (!Scope.Deleted() && !AutoRepeat) StopRepeatTimer();
}

void TCustomSpeedButtonKv::CMEnabledChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  RecalcButtonState();
  FButtonGlyph->CreateButtonGlyph(GetEnabled() ? bsNormalKv : bsDisabledKv);
  UpdateTracking();
  Repaint();
}

void TCustomSpeedButtonKv::CMMouseEnter(TCMMouseEnter& Message) {
  inherited::Dispatch(&Message);
  FMouseInControl = true;
  RecalcButtonState();
}

void TCustomSpeedButtonKv::CMMouseLeave(TCMMouseLeave& Message) {
  inherited::Dispatch(&Message);
  FMouseInControl = false;
  RecalcButtonState();
}

void TCustomSpeedButtonKv::CMDialogChar(TCMDialogChar& Message) {
  if (IsAccel(Message.CharCode, GetCaption()) && GetEnabled() && GetVisible() && GetParent() &&
      GetParent()->IsShowing()) {
    Click();
    Message.Result = 1;
    return;
  }
  inherited::Dispatch(&Message);
}

void TCustomSpeedButtonKv::CMTextChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  Invalidate();
}

void TCustomSpeedButtonKv::CMFontChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  Invalidate();
}

void TCustomSpeedButtonKv::CMSysColorChange(TMessage& Message) {
  inherited::Dispatch(&Message);
  FButtonGlyph->Invalidate();
  FButtonGlyph->CreateButtonGlyph(FState);
}

// ---- TSpeedButtonKv -------------------------------------------------------------------------------

PUBLISHED_DEF(TSpeedButtonKv) {
  PROP(Flat).Default(false);
  PROP(Caption);
  PROP(Action);
  PROP(Glyph);
  PROP(Layout).Default(blGlyphLeftKv);
  PROP(Margin).Default(-1);
  PROP(NumGlyphs).Default(1);
  PROP(Spacing).Default(4);
  PROP(Transparent).Default(true);
}

// ---- TEditButtonImagesKv --------------------------------------------------------------------------

TPersistent* TEditButtonImagesKv::GetOwner() { return FOwner; }

void TEditButtonImagesKv::ImagesIndexChanged() { FOwner->Changed(); }

void TEditButtonImagesKv::ImagesListChanged(TCustomImageList* NewList) { FOwner->RefComponentChanged(NewList); }

// ---- TEditButtonActionLinkKv ----------------------------------------------------------------------

bool TEditButtonActionLinkKv::IsEnabledLinked() const {
  auto* A = dynamic_cast<TCustomAction*>(FAction.Get());
  return inherited::IsEnabledLinked() && A && FClient->GetEnabled() == A->GetEnabled();
}

bool TEditButtonActionLinkKv::IsHintLinked() const {
  auto* A = dynamic_cast<TCustomAction*>(FAction.Get());
  return inherited::IsHintLinked() && A && FClient->GetHint() == A->GetHint();
}

bool TEditButtonActionLinkKv::IsShortCutLinked() const {
  auto* A = dynamic_cast<TCustomAction*>(FAction.Get());
  return inherited::IsShortCutLinked() && A && FClient->GetShortCut() == A->GetShortCut();
}

bool TEditButtonActionLinkKv::IsVisibleLinked() const {
  auto* A = dynamic_cast<TCustomAction*>(FAction.Get());
  return inherited::IsVisibleLinked() && A && FClient->GetVisible() == A->GetVisible();
}

void TEditButtonActionLinkKv::SetEnabled(bool Value) {
  if (IsEnabledLinked()) FClient->SetEnabled(Value);
}

void TEditButtonActionLinkKv::SetHint(const String& Value) {
  if (IsHintLinked()) FClient->SetHint(Value);
}

void TEditButtonActionLinkKv::SetShortCut(TShortCut Value) {
  if (IsShortCutLinked()) FClient->SetShortCut(Value);
}

void TEditButtonActionLinkKv::SetVisible(bool Value) {
  if (IsVisibleLinked()) FClient->SetVisible(Value);
}

// ---- TEditButtonKv --------------------------------------------------------------------------------

PUBLISHED_DEF(TEditButtonKv) {
  PROP(Action);
  PROP(DefaultAction).Stored(&TEditButtonKv::IsDefaultActionStored);
  PROP(DropdownMenu);
  PROP(DropDownFormParams);
  PROP(Enabled).Stored(&TEditButtonKv::IsEnabledStored).Default(true);
  PROP(Glyph);
  PROP(Hint).Stored(&TEditButtonKv::IsHintStored);
  PROP(Images);
  PROP(NumGlyphs).Default(1);
  PROP(ShortCut).Stored(&TEditButtonKv::IsShortCutStored).Default(0);
  PROP(Style).Default(ebsDropDownKv);
  PROP(Visible).Stored(&TEditButtonKv::IsVisibleStored).Default(false);
  PROP(Width).Default(0);
  PROP(DrawBackTime).Stored(&TEditButtonKv::IsDrawBackTimeStored);
  PROP(DrawBackTimeStored).Stored(false);
  EVENT(OnClick);
  EVENT(OnDown);
}

namespace {
// Opens the collection's update bracket before the item joins it, so the collection hears of
// the new item once, when it is whole.
TCollection* BeginCollectionUpdate(TCollection* Collection) {
  if (Collection) Collection->BeginUpdate();
  return Collection;
}
}  // namespace

TEditButtonKv::TEditButtonKv(TCollection* Collection) : TCollectionItem(BeginCollectionUpdate(Collection)) {
  try {
    Init();
  } catch (...) {
    if (Collection) Collection->EndUpdate();
    throw;
  }
  if (Collection) Collection->EndUpdate();
}

TEditButtonKv::TEditButtonKv(TWinControl* EditControl) : TCollectionItem(nullptr), FEditControl(EditControl) {
  Init();
}

void TEditButtonKv::Init() {
  FGlyph = std::make_unique<TBitmap>();
  FGlyph->SetTransparent(true);
  FImages = std::make_unique<TEditButtonImagesKv>(this);
}

TEditButtonKv::~TEditButtonKv() = default;

TDropDownFormCallParamsKv* TEditButtonKv::GetDropDownFormParams() const {
  if (!FDropDownFormParams) FDropDownFormParams.reset(const_cast<TEditButtonKv*>(this)->CreateDropDownFormParams());
  return FDropDownFormParams.get();
}

TDropDownFormCallParamsKv* TEditButtonKv::CreateDropDownFormParams() { return new TDropDownFormCallParamsKv(); }

TEditButtonActionLinkClassKv TEditButtonKv::GetActionLinkClass() const {
  return TEditButtonActionLinkKv::StaticClass();
}

void TEditButtonKv::Assign(TPersistent* Source) {
  if (auto* Src = dynamic_cast<TEditButtonKv*>(Source)) {
    SetAction(Src->GetAction());
    SetDropdownMenu(Src->GetDropdownMenu());
    SetEnabled(Src->FEnabled);
    SetGlyph(Src->FGlyph.get());
    SetHint(Src->FHint);
    SetNumGlyphs(Src->FNumGlyphs);
    SetShortCut(Src->FShortCut);
    SetStyle(Src->FStyle);
    SetVisible(Src->GetVisible());
    SetWidth(Src->FWidth);
    SetOnClick(Src->FOnClick);
    SetOnDown(Src->FOnDown);
    SetImages(Src->FImages.get());
    return;
  }
  inherited::Assign(Source);
}

void TEditButtonKv::Changed() {
  if (FOnChanged) FOnChanged(this);
  else TCollectionItem::Changed(false);
}

void TEditButtonKv::RefComponentChanged(TComponent* RefComponent) {
  if (FOnRefComponentChanged) {
    FOnRefComponentChanged(this, RefComponent);
  } else if (auto* Buttons = dynamic_cast<TEditButtonsKv*>(GetCollection())) {
    if (TRefComponentNotifyEventKv E = Buttons->GetOnRefComponentChanged()) E(this, RefComponent);
  }
}

void TEditButtonKv::Click(TObject* Sender, bool& Handled) {
  if (FOnClick) {
    FOnClick(Sender, Handled);
    return;
  }
  if (!GetAction()) return;
  TComponent* Target = FEditControl;
  if (!Target)
    if (auto* Buttons = dynamic_cast<TEditButtonsKv*>(GetCollection()))
      Target = dynamic_cast<TComponent*>(Buttons->GetOwner());
  FActionLink->Execute(Target);
  Handled = true;
}

void TEditButtonKv::InitiateAction() {
  if (FActionLink) FActionLink->Update();
}

TEditButtonControlKv* TEditButtonKv::CreateEditButtonControl() {
  auto* Control = new TEditButtonControlKv(FEditControl);
  if (FEditControl) Control->SetParent(FEditControl);
  Control->SetControlStyle(Control->GetControlStyle() + TControlStyle{csReplicatable});
  Control->SetBounds(0, 0, 10, 17);
  Control->SetVisible(true);
  Control->SetTransparent(false);
  return Control;
}

TBasicAction* TEditButtonKv::GetAction() const { return FActionLink ? FActionLink->GetAction() : nullptr; }

void TEditButtonKv::SetAction(TBasicAction* Value) {
  if (!Value) {
    FActionLink.reset();
    return;
  }
  if (!FActionLink) FActionLink.reset(GetActionLinkClass().Create(this));
  FActionLink->SetAction(Value);
  FActionLink->SetOnChange({this, &TEditButtonKv::DoActionChange});
  ActionChange(Value, Value->GetComponentState().Contains(csLoading));
}

void TEditButtonKv::DoActionChange(TObject* Sender) { ActionChange(Sender, false); }

void TEditButtonKv::ActionChange(TObject* Sender, bool CheckDefaults) {
  auto* A = dynamic_cast<TCustomAction*>(Sender);
  if (!A) return;
  if (!CheckDefaults || FEnabled) SetEnabled(A->GetEnabled());
  if (!CheckDefaults || FHint.empty()) SetHint(A->GetHint());
  if (!CheckDefaults || FShortCut == 0) SetShortCut(A->GetShortCut());
  if (!CheckDefaults || GetVisible()) SetVisible(A->GetVisible());
}

void TEditButtonKv::SetDefaultAction(bool Value) {
  FDefaultAction = Value;
  FDefaultActionAssigned = true;
}

TPopupMenu* TEditButtonKv::GetDropdownMenu() const { return FDropdownMenu; }

void TEditButtonKv::SetDropdownMenu(TPopupMenu* Value) {
  if (FDropdownMenu == Value) return;
  FDropdownMenu = Value;
  Changed();
}

void TEditButtonKv::SetDropDownFormParams(TDropDownFormCallParamsKv* Value) { GetDropDownFormParams()->Assign(Value); }

void TEditButtonKv::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  Changed();
}

bool TEditButtonKv::IsEnabledStored() const { return !(FActionLink && FActionLink->IsEnabledLinked()); }

void TEditButtonKv::SetGlyph(TBitmap* Value) {
  FGlyph->Assign(Value);
  Changed();
}

void TEditButtonKv::SetHint(const String& Value) {
  if (FHint == Value) return;
  FHint = Value;
  Changed();
}

bool TEditButtonKv::IsHintStored() const { return !(FActionLink && FActionLink->IsHintLinked()); }

void TEditButtonKv::SetImages(TEditButtonImagesKv* Value) { FImages->Assign(Value); }

void TEditButtonKv::SetNumGlyphs(Integer Value) {
  Value = std::clamp(Value, 1, 4);
  if (FNumGlyphs == Value) return;
  FNumGlyphs = Value;
  Changed();
}

void TEditButtonKv::SetShortCut(TShortCut Value) { FShortCut = Value; }

bool TEditButtonKv::IsShortCutStored() const { return !(FActionLink && FActionLink->IsShortCutLinked()); }

void TEditButtonKv::SetStyle(TEditButtonStyleKv Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  Changed();
}

void TEditButtonKv::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  Changed();
}

bool TEditButtonKv::IsVisibleStored() const { return !(FActionLink && FActionLink->IsVisibleLinked()); }

void TEditButtonKv::SetWidth(Integer Value) {
  if (FWidth == Value) return;
  FWidth = Value;
  Changed();
}

TEditButtonDrawBackTimeKv TEditButtonKv::GetDrawBackTime() const {
  return FDrawBackTimeAssigned ? FDrawBackTime : DefaultDrawBackTime();
}

void TEditButtonKv::SetDrawBackTime(TEditButtonDrawBackTimeKv Value) {
  if (FDrawBackTimeAssigned && FDrawBackTime == Value) return;
  FDrawBackTime = Value;
  FDrawBackTimeAssigned = true;
  Changed();
}

void TEditButtonKv::SetDrawBackTimeStored(bool Value) {
  if (Value && !FDrawBackTimeAssigned) {
    FDrawBackTime = DefaultDrawBackTime();
    FDrawBackTimeAssigned = true;
    Changed();
  } else if (!Value && FDrawBackTimeAssigned) {
    FDrawBackTimeAssigned = false;
    Changed();
  }
}

TEditButtonDrawBackTimeKv TEditButtonKv::DefaultDrawBackTime() const {
  if (auto* Buttons = dynamic_cast<TEditButtonsKv*>(GetCollection())) return Buttons->DefaultDrawBackTime();
  return edbtAlwaysKv;
}

void TEditButtonKv::SetOnClick(const TButtonClickEventKv& Value) {
  if (FOnClick == Value) return;
  FOnClick = Value;
  Changed();
}

void TEditButtonKv::SetOnDown(const TEditButtonDownEventKv& Value) {
  if (FOnDown == Value) return;
  FOnDown = Value;
  Changed();
}

// ---- TDropDownEditButtonKv, TVisibleEditButtonKv --------------------------------------------------

namespace {
constexpr TShortCut AltDownShortCut = 32808;  // Alt+Down
}

PUBLISHED_DEF(TDropDownEditButtonKv) { PROP(ShortCut).Stored(&TEditButtonKv::IsShortCutStored).Default(AltDownShortCut); }

TDropDownEditButtonKv::TDropDownEditButtonKv(TCollection* Collection) : TEditButtonKv(Collection) {
  FShortCut = AltDownShortCut;
}

TDropDownEditButtonKv::TDropDownEditButtonKv(TWinControl* EditControl) : TEditButtonKv(EditControl) {
  FShortCut = AltDownShortCut;
}

PUBLISHED_DEF(TVisibleEditButtonKv) {
  PROP(ShortCut).Stored(&TEditButtonKv::IsShortCutStored).Default(AltDownShortCut);
  PROP(Visible).Stored(&TEditButtonKv::IsVisibleStored).Default(true);
}

TVisibleEditButtonKv::TVisibleEditButtonKv(TCollection* Collection) : TEditButtonKv(Collection) {
  FShortCut = AltDownShortCut;
  FVisible = true;
}

TVisibleEditButtonKv::TVisibleEditButtonKv(TWinControl* EditControl) : TEditButtonKv(EditControl) {
  FShortCut = AltDownShortCut;
  FVisible = true;
}

// ---- TEditButtonsKv -------------------------------------------------------------------------------

TEditButtonsKv::TEditButtonsKv(TPersistent* Owner, TEditButtonClassKv ItemClass)
    : TCollection(TCollectionItemClass(TClass(ItemClass))), FOwner(Owner) {}

TEditButtonDrawBackTimeKv TEditButtonsKv::DefaultDrawBackTime() {
  IEditButtonsOwnerKv* Owner = nullptr;
  if (FOwner && Supports(FOwner, Owner)) return Owner->GetEditButtonDrawBackTime();
  return edbtAlwaysKv;
}

void TEditButtonsKv::Update(TCollectionItem* Item) {
  inherited::Update(Item);
  DoEvent(FOnChanged, Item);
}

// ---- TEditButtonControlKv -------------------------------------------------------------------------

TEditButtonControlKv::TEditButtonControlKv(TComponent* AOwner)
    : TSpeedButtonKv(AOwner), FImages(std::make_unique<TButtonImagesKv>()) {
  SetParentColor(true);
}

TEditButtonControlKv::~TEditButtonControlKv() = default;

TButtonImagesKv* TEditButtonControlKv::GetActiveButtonImages() {
  return FExternalImages ? static_cast<TButtonImagesKv*>(FExternalImages) : FImages.get();
}

void TEditButtonControlKv::SetState(TButtonStateKv NewState, bool IsActive, Integer ButtonNum) {
  if (FState == NewState && FActive == IsActive && FButtonNum == ButtonNum) return;
  FState = NewState;
  FActive = IsActive;
  FButtonNum = ButtonNum;
  Invalidate();
}

void TEditButtonControlKv::SetStyle(TEditButtonStyleKv Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  Invalidate();
}

void TEditButtonControlKv::SetActive(bool Value) {
  if (FActive == Value) return;
  FActive = Value;
  Invalidate();
}

void TEditButtonControlKv::SetDrawBackTime(TEditButtonDrawBackTimeKv Value) {
  if (FDrawBackTime == Value) return;
  FDrawBackTime = Value;
  Invalidate();
}

void TEditButtonControlKv::SetAlwaysDown(bool Value) {
  FAlwaysDown = Value;
  FButtonNum = Value ? 1 : 0;
}

void TEditButtonControlKv::Click() {
  if (!FNoDoClick) inherited::Click();
}

void TEditButtonControlKv::EditButtonDown(Integer ButtonNum, bool& AutoRepeat) {
  bool Handled = false;
  if (FOnDown) FOnDown(this, ButtonNum == 1, AutoRepeat, Handled);
}

bool TEditButtonControlKv::IsHotOrActive() { return ThemesEnabledKv() ? FMouseInControl : FActive; }

Integer TEditButtonControlKv::ButtonNumAt(Integer Y) const {
  if (FState != bsPressedKv) return 0;
  if (!IsUpDownEditButtonStyle(FStyle)) return 1;
  Integer Half = FHeight / 2;
  if (Y < Half) return 1;
  if (Y >= FHeight - Half) return 2;
  return 0;
}

void TEditButtonControlKv::UpdateDownButtonNum(Integer Y) {
  Integer Num = ButtonNumAt(Y);
  if (Num == FButtonNum) return;
  FButtonNum = Num;
  Invalidate();
}

void TEditButtonControlKv::StartTimer(Cardinal Interval) {
  if (!FTimer) {
    FTimer = new TTimer(this);
    FTimer->SetEnabled(false);
    FTimer->SetOnTimer({this, &TEditButtonControlKv::TimerTick});
  }
  if (FTimer->GetEnabled() && FTimer->GetInterval() == Interval) return;
  FTimer->SetEnabled(false);
  FTimer->SetInterval(Interval);
  FTimer->SetEnabled(true);
}

void TEditButtonControlKv::StopTimer() {
  if (FTimer) FTimer->SetEnabled(false);
}

void TEditButtonControlKv::TimerTick(TObject*) {
  bool AutoRepeat = IsUpDownEditButtonStyle(FStyle);
  if (FState != bsPressedKv) return;
  if (FTimer->GetInterval() == ButtonRepeatFirstDelayKv) FTimer->SetInterval(ButtonRepeatIntervalKv);
  TDispatchScope Scope(this);
  EditButtonDown(FButtonNum, AutoRepeat);
  if (!Scope.Deleted() && !AutoRepeat) StopTimer();
}

void TEditButtonControlKv::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  if (Button != mbLeft) {
    inherited::MouseDown(Button, Shift, X, Y);
    return;
  }
  bool AutoRepeat = IsUpDownEditButtonStyle(FStyle);
  TDispatchScope Scope(this);
  inherited::MouseDown(Button, Shift, X, Y);
  if (Scope.Deleted()) return;
  UpdateDownButtonNum(Y);
  EditButtonDown(FButtonNum, AutoRepeat);
  if (Scope.Deleted()) return;
  if (AutoRepeat) StartTimer(ButtonRepeatFirstDelayKv);
}

void TEditButtonControlKv::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  TDispatchScope Scope(this);
  inherited::MouseMove(Shift, X, Y);
  if (Scope.Deleted()) return;
  // Sliding into the other half of an up/down pair idles the repeat until the mouse comes back.
  if (!GetMouseCapture() || !IsUpDownEditButtonStyle(FStyle) || FState != bsPressedKv) return;
  Integer Half = FHeight / 2;
  if ((FButtonNum == 1 && Y >= FHeight - Half) || (FButtonNum == 2 && Y < Half)) {
    FState = bsNormalKv;
    Invalidate();
  }
}

void TEditButtonControlKv::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TDispatchScope Scope(this);
  if (IsUpDownEditButtonStyle(FStyle) && FState != bsPressedKv) {
    FNoDoClick = true;
    try {
      inherited::MouseUp(Button, Shift, X, Y);
    } catch (...) {
      if (!Scope.Deleted()) FNoDoClick = false;
      throw;
    }
    if (Scope.Deleted()) return;
    FNoDoClick = false;
  } else {
    inherited::MouseUp(Button, Shift, X, Y);
    if (Scope.Deleted()) return;
  }
  UpdateDownButtonNum(Y);
  StopTimer();
}

void TEditButtonControlKv::CMMouseEnter(TCMMouseEnter& Message) {
  inherited::Dispatch(&Message);
  Invalidate();
}

void TEditButtonControlKv::CMMouseLeave(TCMMouseLeave& Message) {
  inherited::Dispatch(&Message);
  Invalidate();
}

void TEditButtonControlKv::DrawImages(TCanvas* Canvas, const TRect& Rect) {
  TButtonImagesKv* Images = GetActiveButtonImages();
  Integer Index = Images->GetStateIndex(FState);
  TCustomImageList* List = Index >= 0 ? Images->GetStateImages(FState) : nullptr;
  if (!List) return;
  Integer Shift = FButtonNum > 0 ? 1 : 0;
  TRect R(Rect.Left + Shift, Rect.Top + Shift, Rect.Right + Shift, Rect.Bottom + Shift);
  DrawImageInRect(List, nullptr, Canvas, R, Index, 0, 0, taCenter, Rect, 1.0, GetEnabled());
}

void TEditButtonControlKv::DefaultPaint() {
  TCanvas* C = GetCanvas();
  TRect R(0, 0, FWidth, FHeight);
  bool Pressed = FState == bsPressedKv;
  // A button held down for its open drop-down is drawn down too.
  Integer PaintNum = (Pressed || FAlwaysDown) ? FButtonNum : 0;
  bool DrawBack = FDrawBackTime == edbtAlwaysKv ||
                  (FDrawBackTime == edbtWhenHotKv && (FMouseInControl || Pressed)) ||
                  (FStyle == ebsGlyphKv && !GetGlyph()->GetEmpty());
  if (FStyle != ebsGlyphKv) {
    C->GetBrush()->SetStyle(bsSolid);
    C->GetBrush()->SetColor(GetStyledSystemColor(GetColor()));
    C->FillRect(R);
    PaintButtonControlKv(C, R, clWindow, DrawStyleOf(FStyle), PaintNum, GetFlat(), IsHotOrActive(), GetEnabled(),
                         cbUnchecked, 1.0, DrawBack);
    return;
  }
  bool ClassicFlat = !ThemesEnabledKv() && GetFlat();
  HRGN Saved = nullptr;
  if (ClassicFlat) Saved = SetClipRectKv(C, TRect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1));
  EraseWithParentBackground(this, C, R);
  if (DrawBack) DrawButtonBackgroundKv(C, R, clNone, GetEnabled(), IsHotOrActive(), GetFlat(), PaintNum > 0);
  if (GetActiveButtonImages()->GetNormalImages()) {
    DrawImages(C, R);
  } else {
    TRect PaintRect = R;
    Integer Shift = PaintNum > 0 ? 1 : 0;
    PaintForeground(PaintRect, TPoint(Shift, Shift), PushButtonDetails(GetEnabled() ? FState : bsDisabledKv));
  }
  if (!ClassicFlat) return;
  RestoreClipRgnKv(C, Saved);
  C->RequiredState(TCanvasState{csHandleValid});
  if (IsHotOrActive()) {
    RECT WR = WinRect(R);
    ::DrawEdge(C->GetHandle(), &WR, PaintNum > 0 ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  } else {
    C->GetBrush()->SetStyle(bsSolid);
    C->GetBrush()->SetColor(GetParent() ? GetParent()->GetColor() : GetColor());
    C->FrameRect(R);
  }
}
