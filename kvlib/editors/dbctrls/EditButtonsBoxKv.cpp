#include "kvlib/editors/dbctrls/EditButtonsBoxKv.h"

#include <limits>

#include "framework/ExtCtrls.h"
#include "kvlib/foundation/ToolCtrlsKv.h"

namespace {
constexpr Integer EditButtonsBoxNoHeight = std::numeric_limits<Integer>::max();
}  // namespace

TEditButtonsBoxKv::TEditButtonsBoxKv(TComponent* AOwner)
    : TWinControl(AOwner), FButtonHeight(EditButtonsBoxNoHeight) {
  FControlStyle << csReplicatable << csParentBackground;
  SetCursor(crArrow);
}

void TEditButtonsBoxKv::EndLayout() {
  if (FLayoutCount > 0 && --FLayoutCount == 0) UpdateEditButtonControlList();
}

void TEditButtonsBoxKv::SetBorderActive(bool Value) {
  if (FBorderActive == Value) return;
  FBorderActive = Value;
  Invalidate();
}

Integer TEditButtonsBoxKv::GetButtonHeight() const {
  return FButtonHeight == EditButtonsBoxNoHeight ? 0 : FButtonHeight;
}

void TEditButtonsBoxKv::SetButtonsCount(Integer Value) {
  if (Value < 0) Value = 0;
  size_t Count = size_t(Value);
  while (FBtnCtlList.size() > Count) {
    TEditButtonControlLineRec Entry = FBtnCtlList.back();
    FBtnCtlList.pop_back();
    delete Entry.EditButtonControl;
    delete Entry.ButtonLine;
  }
  while (FBtnCtlList.size() < Count) {
    TEditButtonControlLineRec Entry;
    DoEvent(FOnCreateEditButtonControl, Entry.EditButtonControl);
    if (!Entry.EditButtonControl) Entry.EditButtonControl = new TEditButtonControlKv(this);
    Entry.EditButtonControl->FreeNotification(this);
    Entry.EditButtonControl->SetParent(this);
    // The line shows only once the strip is laid out.
    Entry.ButtonLine = new TShape(this);
    Entry.ButtonLine->SetVisible(false);
    Entry.ButtonLine->SetBounds(0, 0, 0, 0);
    Entry.ButtonLine->SetParent(this);
    FBtnCtlList.push_back(Entry);
  }
}

void TEditButtonsBoxKv::UpdateEditButtonControlList() {
  Integer CommonHeight = EditButtonsBoxNoHeight;
  for (size_t I = 0; I < FBtnCtlList.size(); ++I) {
    TEditButtonControlLineRec& Entry = FBtnCtlList[I];
    UpdateButtonControl(Entry, FFlat, CommonHeight, FMaxButtonHeight);
    if (TEditButtonControlKv* Control = Entry.EditButtonControl) {
      Control->SetOnDown(FOnDown);
      Control->SetOnClick(FOnButtonClick);
      Control->SetOnMouseMove(FOnButtonMouseMove);
      Control->SetOnMouseUp(FOnButtonMouseUp);
      Control->SetTag(NativeInt(I));
    }
  }
  FButtonsWidth = 0;
  for (const TEditButtonControlLineRec& Entry : FBtnCtlList) {
    if (Entry.EditButtonControl) FButtonsWidth += Entry.EditButtonControl->GetWidth();
    if (Entry.ButtonLine) FButtonsWidth += Entry.ButtonLine->GetWidth();
  }
  if (CommonHeight != EditButtonsBoxNoHeight) {
    bool RightToLeft = UseRightToLeftAlignment();
    Integer X = RightToLeft ? FButtonsWidth : 0;
    auto Place = [&](TControl* C) {
      if (!C) return;
      Integer W = C->GetWidth();
      if (RightToLeft) X -= W;
      C->SetBounds(X, 0, W, CommonHeight);
      if (!RightToLeft) X += W;
    };
    for (const TEditButtonControlLineRec& Entry : FBtnCtlList) {
      Place(Entry.EditButtonControl);
      Place(Entry.ButtonLine);
    }
  }
  if (FFlat && FButtonsWidth > 0 && !ThemesEnabledKv()) --FButtonsWidth;
  FButtonHeight = CommonHeight;
}

void TEditButtonsBoxKv::UpdateButtonControl(TEditButtonControlLineRec& Entry, bool AFlat, Integer& CommonHeight,
                                            Integer MaxHeight) {
  TEditButtonControlKv* Control = Entry.EditButtonControl;
  TEditButtonKv* Button = Entry.EditButton;
  bool Visible = Button && Button->GetVisible();
  if (Control) {
    if (Button) {
      Control->SetVisible(Button->GetVisible());
      Control->SetEnabled(Button->GetEnabled());
      Control->SetStyle(Button->GetStyle());
      Control->SetGlyph(Button->GetGlyph());
      Control->SetNumGlyphs(Button->GetNumGlyphs());
      Control->SetHint(Button->GetHint());
      Control->SetDrawBackTime(Button->GetDrawBackTime());
      Control->SetExternalImages(Button->GetImages());
    } else {
      // An entry the owner has not filled in yet shows nothing.
      Control->SetVisible(false);
    }
    Control->SetFlat(AFlat);
    Integer Width = 0;
    if (Visible) {
      if (Button->GetWidth() > 0) Width = Button->GetWidth();
      else if (AFlat) Width = DefaultFlatButtonWidth;
      else Width = GetSystemMetrics(SM_CXVSCROLL);
    }
    Control->SetWidthNoNotify(Width);
    if (Visible) {
      Integer Candidate = MaxHeight;
      if (MaxHeight > Integer(Round(Extended(Width) * 3 / 2))) Candidate = ScaleByFourThirds(Width, AFlat);
      CommonHeight = std::min(CommonHeight, Candidate);
    }
  }
  if (TShape* Line = Entry.ButtonLine) {
    bool Shown = AFlat && Visible && Control && !ThemesEnabledKv();
    Line->SetVisible(Shown);
    Line->SetBounds(Line->GetLeft(), Line->GetTop(), Shown ? 1 : 0, Line->GetHeight());
  }
}

void TEditButtonsBoxKv::UpdateEditButtonControlsState() {
  for (const TEditButtonControlLineRec& Entry : FBtnCtlList) {
    if (TEditButtonControlKv* Control = Entry.EditButtonControl) {
      Control->SetEnabled(GetEnabled() && Entry.EditButton && Entry.EditButton->GetEnabled());
      Control->SetActive(FBorderActive);
    }
    if (Entry.ButtonLine) Entry.ButtonLine->GetPen()->SetColor(FBorderActive ? clBtnFace : GetColor());
  }
}

void TEditButtonsBoxKv::Notification(TComponent* AComponent, TOperation Operation) {
  inherited::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  // A control its maker freed leaves an empty entry rather than a dangling one.
  for (TEditButtonControlLineRec& Entry : FBtnCtlList) {
    if (Entry.EditButtonControl == AComponent) Entry.EditButtonControl = nullptr;
    if (Entry.ButtonLine == AComponent) Entry.ButtonLine = nullptr;
  }
}
