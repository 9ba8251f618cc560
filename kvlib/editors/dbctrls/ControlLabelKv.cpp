#include "kvlib/editors/dbctrls/ControlLabelKv.h"

// ---- TControlLabelKv --------------------------------------------------------------------------

PUBLISHED_DEF(TControlLabelKv) {
  PROP(Caption).Stored(&TControlLabelKv::IsCaptionStored);
  PROP_READONLY(Left);
  PROP_READONLY(Top);
  PROP(Width).Stored(&TControlLabelKv::IsSizeStored);
  PROP(Height).Stored(&TControlLabelKv::IsSizeStored);
  PROP(Visible).Default(false);
  PROP(Layout).Default(tlTop);
  PROP(ShowAccelChar).Default(true);
  PROP(Transparent);
  PROP(WordWrap).Default(false);
}

TControlLabelKv::TControlLabelKv(TComponent* AOwner) : TCustomLabel(AOwner) {
  SetName(L"SubLabel");
  SetSubComponent(true);
  AdjustBounds();
  TControl::SetVisible(false);
  RefreshCaption();
}

void TControlLabelKv::SetCaption(const String& Value) {
  if (Value.empty()) {
    FCaptionStored = false;
    RefreshCaption();
    return;
  }
  SetText(Value);
  FCaptionStored = true;
  Invalidate();
}

void TControlLabelKv::SetVisible(bool Value) {
  if (FLabelVisible == Value) return;
  FLabelVisible = Value;
  UpdateParent();
  UpdateVisibility();
  Invalidate();
}

void TControlLabelKv::UpdateParent() {
  TWinControl* Editor = GetFocusControl();
  if (FLabelVisible && Editor && !GetComponentState().Contains(csLoading)) SetParent(Editor->GetParent());
  else SetParent(nullptr);
}

void TControlLabelKv::UpdateVisibility() {
  if (GetComponentState().Contains(csDesigning)) {
    if (FLabelVisible) FControlStyle >> csNoDesignVisible;
    else FControlStyle << csNoDesignVisible;
  }
  auto* Editor = dynamic_cast<TControl*>(GetOwner());
  bool Show = FLabelVisible && (!Editor || Editor->GetVisible());
  if (TControl::GetVisible() == Show) Perform(CM_VISIBLECHANGED, WPARAM(Show), 0);
  else TControl::SetVisible(Show);
}

void TControlLabelKv::RefreshCaption() {
  if (FCaptionStored) return;
  if (auto* Owner = dynamic_cast<IControlLabelOwnerKv*>(GetFocusControl())) SetText(Owner->GetFieldDisplayName());
}

void TControlLabelKv::AdjustBounds() {
  inherited::AdjustBounds();
  if (auto* Owner = dynamic_cast<IControlLabelOwnerKv*>(GetOwner())) Owner->UpdateLabelPos();
}

void TControlLabelKv::Loaded() {
  inherited::Loaded();
  UpdateParent();
}

// ---- TControlLabelLocationKv ------------------------------------------------------------------

PUBLISHED_DEF(TControlLabelLocationKv) {
  PROP(LabelSpacingBound).Default(sbNearBoundKv);
  PROP(Spacing).Default(3);
  PROP(Offset).Default(0);
  PROP(Position).Default(lpAboveLeftKv);
}

void TControlLabelLocationKv::CalcLabelPosForControl(Integer LabelWidth, Integer LabelHeight, TPoint& LabelPos) {
  TRect C = FEditControl->GetBoundsRect();
  Integer S = FSpacing, O = FOffset, LW = LabelWidth, LH = LabelHeight;
  bool AboveOrBelow = FPosition <= lpBelowRightKv;
  Integer A = FLabelSpacingBound == sbFarBoundKv ? (AboveOrBelow ? LH : LW) : 0;
  Integer B = 0;
  if (FPosition == lpLeftTextBaselineKv || FPosition == lpRightTextBaselineKv)
    if (auto* Owner = dynamic_cast<IControlLabelOwnerKv*>(FEditControl)) B = Owner->GetTextBaseline();
  Integer Above = C.Top - LH - S + A, Below = C.Bottom + S + A;
  Integer Left = C.Left - LW - S + A, Right = C.Right + S + A;
  Integer HorzCenter = C.Left + (C.Width() - LW) / 2 + O, VertCenter = C.Top + (C.Height() - LH) / 2 + O;
  switch (FPosition) {
    case lpAboveLeftKv: LabelPos = TPoint(C.Left + O, Above); break;
    case lpAboveCenterKv: LabelPos = TPoint(HorzCenter, Above); break;
    case lpAboveRightKv: LabelPos = TPoint(C.Right - LW + O, Above); break;
    case lpBelowLeftKv: LabelPos = TPoint(C.Left + O, Below); break;
    case lpBelowCenterKv: LabelPos = TPoint(HorzCenter, Below); break;
    case lpBelowRightKv: LabelPos = TPoint(C.Right - LW + O, Below); break;
    case lpLeftTopKv: LabelPos = TPoint(Left, C.Top + O); break;
    case lpLeftTextBaselineKv: LabelPos = TPoint(Left, C.Top + B - LH + O); break;
    case lpLeftCenterKv: LabelPos = TPoint(Left, VertCenter); break;
    case lpLeftBottomKv: LabelPos = TPoint(Left, C.Bottom - LH + O); break;
    case lpRightTopKv: LabelPos = TPoint(Right, C.Top + O); break;
    case lpRightTextBaselineKv: LabelPos = TPoint(Right, C.Top + B - LH + O); break;
    case lpRightCenterKv: LabelPos = TPoint(Right, VertCenter); break;
    case lpRightBottomKv: LabelPos = TPoint(Right, C.Bottom - LH + O); break;
  }
}

void TControlLabelLocationKv::SetLabelSpacingBound(TSpacingBoundKv Value) {
  if (FLabelSpacingBound == Value) return;
  FLabelSpacingBound = Value;
  Changed();
}

void TControlLabelLocationKv::SetSpacing(Integer Value) {
  if (FSpacing == Value) return;
  FSpacing = Value;
  Changed();
}

void TControlLabelLocationKv::SetOffset(Integer Value) {
  if (FOffset == Value) return;
  FOffset = Value;
  Changed();
}

void TControlLabelLocationKv::SetPosition(TLabelPositionKv Value) {
  if (FPosition == Value) return;
  FPosition = Value;
  Changed();
}

TPersistent* TControlLabelLocationKv::GetOwner() { return FEditControl; }

void TControlLabelLocationKv::Changed() {
  if (auto* Owner = dynamic_cast<IControlLabelOwnerKv*>(FEditControl)) Owner->LabelPositionChanged();
}
