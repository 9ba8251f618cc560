// The label attached to an editor: the 14 positions its location computes, its caption from the
// editor's field, its visibility and parent following the editor's.

#include "kvlib/editors/DBCtrlsKv.h"

#include <gtest/gtest.h>

#include "framework/ExtCtrls.h"
#include "framework/controls/ControlsTestUtil.h"

using namespace ctltest;

// An editor as the label sees one: it owns the label and its location and places the label as
// the data-aware edit does.
class TLabelledEditor : public TCustomControl, public IControlLabelOwnerKv {
  DECLARE_CLASS(TLabelledEditor, TCustomControl)
 public:
  explicit TLabelledEditor(TComponent* AOwner)
      : TCustomControl(AOwner), Location(std::make_unique<TControlLabelLocationKv>(this)) {
    Label = new TControlLabelKv(this);
    Label->SetFocusControl(this);
  }
  String GetFieldDisplayName() override { return FieldName.empty() ? GetName() : FieldName; }
  Integer GetTextBaseline() override { return 16; }
  void UpdateLabelPos() override {
    if (!Label) return;
    TPoint P;
    Location->CalcLabelPosForControl(Label->GetWidth(), Label->GetHeight(), P);
    Label->SetBounds(P.X, P.Y, Label->GetWidth(), Label->GetHeight());
  }
  void LabelPositionChanged() override {
    ++PositionChanges;
    UpdateLabelPos();
  }

  String FieldName;
  Integer PositionChanges = 0;
  TControlLabelKv* Label = nullptr;  // owned through the component list
  std::unique_ptr<TControlLabelLocationKv> Location;
};

namespace {

TEST(ControlLabelLocation, FourteenPositionsAroundTheEditor) {
  struct TCase {
    TLabelPositionKv Position;
    TSpacingBoundKv Bound;
    Integer Spacing, Offset, EditWidth, LabelWidth;
    TPoint Expected;
  };
  // The editor at (100, 50), 21 high; labels 13 high; the text baseline 16 below the top.
  const TCase Cases[] = {
      {lpAboveLeftKv, sbNearBoundKv, 3, 0, 120, 40, {100, 34}},
      {lpAboveCenterKv, sbNearBoundKv, 3, 0, 120, 40, {140, 34}},
      {lpAboveRightKv, sbNearBoundKv, 3, 0, 120, 40, {180, 34}},
      {lpBelowLeftKv, sbNearBoundKv, 3, 0, 120, 40, {100, 74}},
      {lpBelowCenterKv, sbNearBoundKv, 3, 0, 120, 40, {140, 74}},
      {lpBelowRightKv, sbNearBoundKv, 3, 0, 120, 40, {180, 74}},
      {lpLeftTopKv, sbNearBoundKv, 3, 0, 120, 40, {57, 50}},
      {lpLeftTextBaselineKv, sbNearBoundKv, 3, 0, 120, 40, {57, 53}},
      {lpLeftCenterKv, sbNearBoundKv, 3, 0, 120, 40, {57, 54}},
      {lpLeftBottomKv, sbNearBoundKv, 3, 0, 120, 40, {57, 58}},
      {lpRightTopKv, sbNearBoundKv, 3, 0, 120, 40, {223, 50}},
      {lpRightTextBaselineKv, sbNearBoundKv, 3, 0, 120, 40, {223, 53}},
      {lpRightCenterKv, sbNearBoundKv, 3, 0, 120, 40, {223, 54}},
      {lpRightBottomKv, sbNearBoundKv, 3, 0, 120, 40, {223, 58}},
      // Far bound: spacing from the label's far edge; the offset runs along the editor's side.
      {lpAboveLeftKv, sbFarBoundKv, 20, 5, 120, 40, {105, 30}},
      {lpBelowCenterKv, sbFarBoundKv, 3, 5, 120, 40, {145, 87}},
      {lpLeftTopKv, sbFarBoundKv, 3, 5, 120, 40, {97, 55}},
      {lpRightCenterKv, sbFarBoundKv, 3, 5, 120, 40, {263, 59}},
      // Halves round toward zero, also below zero.
      {lpAboveCenterKv, sbNearBoundKv, 3, 0, 121, 40, {140, 34}},
      {lpAboveCenterKv, sbNearBoundKv, 3, 0, 30, 41, {95, 34}},
  };
  for (const TCase& C : Cases) {
    TLabelledEditor Editor(nullptr);
    Editor.SetBounds(100, 50, C.EditWidth, 21);
    TControlLabelLocationKv* L = Editor.Location.get();
    L->SetPosition(C.Position);
    L->SetLabelSpacingBound(C.Bound);
    L->SetSpacing(C.Spacing);
    L->SetOffset(C.Offset);
    TPoint P;
    L->CalcLabelPosForControl(C.LabelWidth, 13, P);
    EXPECT_EQ(P, C.Expected) << C.Position << " " << C.Bound << " at " << P.X << "," << P.Y;
  }
}

TEST(ControlLabelLocation, EveryChangeAsksTheEditorOnce) {
  TLabelledEditor Editor(nullptr);
  TControlLabelLocationKv* L = Editor.Location.get();
  L->SetSpacing(3);  // the default: no change
  L->SetSpacing(5);
  L->SetOffset(2);
  L->SetPosition(lpLeftCenterKv);
  L->SetLabelSpacingBound(sbFarBoundKv);
  L->SetPosition(lpLeftCenterKv);
  EXPECT_EQ(Editor.PositionChanges, 4);
}

TEST(ControlLabel, CaptionComesFromTheFieldUnlessSetAndIsPlacedByTheEditor) {
  TLabelledEditor Editor(nullptr);
  Editor.SetName(L"edMusteri");
  Editor.SetBounds(100, 50, 120, 21);
  TControlLabelKv* Label = Editor.Label;
  EXPECT_EQ(Label->GetName(), L"SubLabel");
  Label->RefreshCaption();
  EXPECT_EQ(Label->GetCaption(), L"edMusteri");
  Editor.FieldName = L"Müşteri Adı";
  Label->RefreshCaption();
  EXPECT_EQ(Label->GetCaption(), L"Müşteri Adı");

  Label->SetCaption(L"Ünvan");
  EXPECT_TRUE(Label->IsCaptionStored());
  Label->RefreshCaption();
  EXPECT_EQ(Label->GetCaption(), L"Ünvan");
  Label->SetCaption(L"");
  EXPECT_FALSE(Label->IsCaptionStored());
  EXPECT_EQ(Label->GetCaption(), L"Müşteri Adı");

  // A caption of another size is placed again at once.
  Editor.Location->SetPosition(lpLeftCenterKv);
  Label->SetCaption(L"Uzun bir etiket metni");
  EXPECT_EQ(Label->GetLeft() + Label->GetWidth() + 3, 100);
  EXPECT_EQ(Label->GetTop(), 50 + (21 - Label->GetHeight()) / 2);
}

TEST(ControlLabel, ShowsOnlyWithItsEditorAndFollowsItsParent) {
  TFormHolder F(400, 200);
  auto* Panel = new TPanel(F.Form);
  Panel->SetParent(F.Form);
  auto* Editor = new TLabelledEditor(F.Form);
  Editor->SetParent(F.Form);
  Editor->SetBounds(100, 50, 120, 21);
  TControlLabelKv* Label = Editor->Label;
  EXPECT_EQ(Label->GetParent(), nullptr);
  EXPECT_FALSE(Label->TControl::GetVisible());

  Label->SetVisible(true);
  EXPECT_EQ(Label->GetParent(), F.Form);
  EXPECT_TRUE(Label->TControl::GetVisible());

  Editor->Hide();
  Label->UpdateVisibility();
  EXPECT_FALSE(Label->TControl::GetVisible());
  EXPECT_TRUE(Label->GetVisible());  // its own flag stays
  Editor->Show();
  Label->UpdateVisibility();
  EXPECT_TRUE(Label->TControl::GetVisible());

  Editor->SetParent(Panel);
  Label->UpdateParent();
  EXPECT_EQ(Label->GetParent(), Panel);

  Label->SetVisible(false);
  EXPECT_EQ(Label->GetParent(), nullptr);
  EXPECT_FALSE(Label->TControl::GetVisible());
}

}  // namespace
