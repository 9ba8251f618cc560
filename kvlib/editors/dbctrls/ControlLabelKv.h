#pragma once
// The label that belongs to an editor (the data-aware edit, the image control, the rich edit)
// (part of the unit DBCtrlsKv): it sits on the editor's parent beside it, takes its caption from
// the editor's field unless given one, and is placed by TControlLabelLocationKv in one of 14
// positions. The editor answers IControlLabelOwnerKv.

#include "framework/StdCtrls.h"

// What the label and its location ask of the editor they belong to.
class IControlLabelOwnerKv : public virtual IInterface {
 public:
  // The field's display name, or the editor's Name without a field.
  virtual String GetFieldDisplayName() = 0;
  // From the editor's top to its text's baseline.
  virtual Integer GetTextBaseline() = 0;
  // Places the label by the location.
  virtual void UpdateLabelPos() = 0;
  virtual void LabelPositionChanged() = 0;
};

DECLARE_ENUM(TLabelPositionKv, lpAboveLeftKv, lpAboveCenterKv, lpAboveRightKv, lpBelowLeftKv, lpBelowCenterKv,
             lpBelowRightKv, lpLeftTopKv, lpLeftTextBaselineKv, lpLeftCenterKv, lpLeftBottomKv, lpRightTopKv,
             lpRightTextBaselineKv, lpRightCenterKv, lpRightBottomKv)
// Whether Spacing is measured from the label's near edge (toward the editor) or its far edge.
DECLARE_ENUM(TSpacingBoundKv, sbNearBoundKv, sbFarBoundKv)

class TControlLabelKv : public TCustomLabel {
  DECLARE_CLASS(TControlLabelKv, TCustomLabel)
 public:
  // Named "SubLabel", a sub-component of Owner, hidden until its own Visible is set.
  explicit TControlLabelKv(TComponent* AOwner);

  String GetCaption() { return GetText(); }
  // A text of its own, kept until set empty, which brings the field's display name back.
  void SetCaption(const String& Value);
  bool IsCaptionStored() const { return FCaptionStored; }
  // The label's own visibility; it shows only while its editor is visible too.
  bool GetVisible() const { return FLabelVisible; }
  void SetVisible(bool Value);
  bool IsSizeStored() const { return FLabelVisible; }
  // On the editor's parent while visible and not loading, on none otherwise.
  void UpdateParent();
  virtual void UpdateVisibility();
  // The editor's field display name, unless the caption is the label's own.
  virtual void RefreshCaption();

  PUBLISHED_DECL(TControlLabelKv);

 protected:
  // Sizes the label to its caption, then the owner places it.
  void AdjustBounds() override;
  void Loaded() override;

 private:
  bool FCaptionStored = false;
  bool FLabelVisible = false;
};

class TControlLabelLocationKv : public TPersistent {
  DECLARE_CLASS(TControlLabelLocationKv, TPersistent)
 public:
  explicit TControlLabelLocationKv(TControl* EditControl) : FEditControl(EditControl) {}

  // Where a label of that size goes beside the edit control, in its parent's coordinates.
  void CalcLabelPosForControl(Integer LabelWidth, Integer LabelHeight, TPoint& LabelPos);

  TSpacingBoundKv GetLabelSpacingBound() const { return FLabelSpacingBound; }
  void SetLabelSpacingBound(TSpacingBoundKv Value);
  Integer GetSpacing() const { return FSpacing; }
  void SetSpacing(Integer Value);
  Integer GetOffset() const { return FOffset; }
  void SetOffset(Integer Value);
  TLabelPositionKv GetPosition() const { return FPosition; }
  void SetPosition(TLabelPositionKv Value);
  TControl* GetEditControl() const { return FEditControl; }

  PUBLISHED_DECL(TControlLabelLocationKv);

 protected:
  TPersistent* GetOwner() override;

 private:
  void Changed();

  TControl* FEditControl;  // the edit owns its label location
  TSpacingBoundKv FLabelSpacingBound = sbNearBoundKv;
  Integer FSpacing = 3;
  Integer FOffset = 0;
  TLabelPositionKv FPosition = lpAboveLeftKv;
};
