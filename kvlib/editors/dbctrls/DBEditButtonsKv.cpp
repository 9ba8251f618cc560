// The data-aware edit's buttons (part of the unit DBCtrlsKv): the strip, the routing of presses
// and clicks, the buttons' own drop-down forms and menus, and the family-wide default action.

#include "framework/DB.h"
#include "framework/Menus.h"
#include "kvlib/editors/MemoEditFormsKv.h"
#include "kvlib/editors/dbctrls/DBEditKv.h"
#include "kvlib/editors/dbctrls/EditButtonsBoxKv.h"
#include "kvlib/editors/dbctrls/FieldDataLinkKv.h"
#include "kvlib/foundation/toolctrls/DropDownParts.h"

TEditButtonDefaultActionProcKv DBEditDefaultEditButtonActionProc = nullptr;
TClass DefaultTextDropDownFormClass = nullptr;

namespace DBEditButtonsKv {

Integer UnitStartCount = 0;

// The editors' start: the default button action and the memo editor window every edit shares.
struct TUnit {
  TUnit() {
    if (UnitStartCount++ > 0) return;
    DBEditDefaultEditButtonActionProc = &DefaultEditButtonAction;
    DefaultTextDropDownFormClass = TMemoEditWinKv::StaticClass();
  }
  ~TUnit() { --UnitStartCount; }
} Unit;

// Which button a strip control shows: its Tag is its entry.
TEditButtonKv* ButtonOfControl(TEditButtonsBoxKv* Box, TObject* Sender) {
  auto* Control = dynamic_cast<TControl*>(Sender);
  if (!Box || !Control) return nullptr;
  auto Index = size_t(Control->GetTag());
  TEditButtonControlList& List = Box->GetBtnCtlList();
  return Index < List.size() && List[Index].EditButtonControl == Sender ? List[Index].EditButton : nullptr;
}

// The button's menu under its control (right-aligned menus end at the control's right edge);
// the press the menu swallowed is let go, so the control does not stay down.
bool PopupDropdownMenu(TEditButtonKv* Button, TEditButtonControlKv* Control) {
  TPopupMenu* Menu = Button->GetDropdownMenu();
  if (!Menu || !Control) return false;
  Integer X = Menu->GetAlignment() == paRight ? Control->GetWidth() : 0;
  TPoint P = Control->ClientToScreen(TPoint(X, Control->GetHeight()));
  Menu->Popup(P.X, P.Y);
  PeekMouseDownAtControl(Control);
  Control->Perform(WM_LBUTTONUP, 0, 0);
  return true;
}

// The edit's text in the shared memo editor, shown modally; OK writes it back (which posts).
// False when the window cannot take parameters.
bool EditTextInMemoWindow(TCustomDBEditKv* Edit) {
  TCustomDropDownFormKv* Window =
      DefaultTextDropDownFormClass ? GetGlobalDropDownFormKv(DefaultTextDropDownFormClass) : nullptr;
  String Text = Edit->GetText();
  bool Accepted = false;
  // The edit's own read-only state, not what an earlier drop-down left, decides.
  if (!EditTextInWindowKv(Window, Text, Edit->GetReadOnly(), Accepted)) return false;
  if (Accepted) Edit->SetText(Text);
  return true;
}

}  // namespace DBEditButtonsKv

// ---- The default action and the buttons' own forms ---------------------------------------------

void DefaultEditButtonAction(TWinControl* EditControl, TEditButtonKv* EditButton,
                             TEditButtonControlKv* EditButtonControl, bool IsMouseDown, bool& Handled) {
  auto* Edit = dynamic_cast<TCustomDBEditKv*>(EditControl);
  if (!Edit) throw EInvalidCast(L"Invalid class typecast");
  TEditButtonStyleKv Style = EditButton->GetStyle();
  if ((Style == ebsDropDownKv || Style == ebsAltDropDownKv) && IsMouseDown) {
    TDropDownFormCallParamsKv* P = EditButton->GetDropDownFormParams();
    P->SetEditButton(EditButton);
    P->SetEditButtonControl(EditButtonControl);
    P->SetEditControl(Edit);
    P->SetOnOpenDropDownFormProc({Edit, &TCustomDBEditKv::DoOpenDropDownForm});
    P->SetOnCloseDropDownFormProc({Edit, &TCustomDBEditKv::DefaultDropDownFormClosed});
    P->SetDataLink(Edit->GetDataLink());
    P->SetField(Edit->GetField());
    // The strip lets go before the value is written, so a refused value leaves no button held.
    P->SetOnSetVarValueProc([Edit](const Variant& V) {
      Edit->ReleaseButtonControls();
      Edit->SetValueFromDropDown(V);
    });
    P->SetOnGetVarValueProc({Edit, &TCustomDBEditKv::GetValueForDropDown});
    P->SetOnGetActualDropDownFormProc({Edit, &TCustomDBEditKv::GetMemoEditWindow});
    // The form is read-only for a read-only edit too, not only for a read-only field.
    P->SetOnCheckDataIsReadOnly([Edit](bool& ReadOnly) {
      ReadOnly = ReadOnly || Edit->GetReadOnly() || !Edit->GetDataLink()->GetCanModify();
    });
    P->CheckShowDropDownForm(Handled);
  } else if ((Style == ebsEllipsisKv || Style == ebsGlyphKv) && !IsMouseDown) {
    if (DBEditButtonsKv::EditTextInMemoWindow(Edit)) Handled = true;
  }
}

bool EditClosedMarkerQueuedKv(TWinControl* EditControl, TEditButtonKv* Button) {
  if (!EditControl || !EditControl->HandleAllocated()) return false;
  HWND Wnd = EditControl->GetHandle();
  MSG Msg{};
  return PeekMessageW(&Msg, Wnd, WM_USER, WM_USER, PM_NOREMOVE) && Msg.message == WM_USER &&
         Msg.wParam == WPARAM(Wnd) && Msg.lParam == LPARAM(static_cast<TObject*>(Button));
}

void ShowButtonDropDownForm(TWinControl* EditControl, TDataLink* DataLink, TField* Field, bool& Handled,
                            const TEditControlCloseDropDownFormEventKv& CloseProc,
                            const TEditControlShowDropDownFormEventKv& OnOpenDropDownForm,
                            TEditButtonControlKv* ButtonControl, TEditButtonKv* Button,
                            const TSetVarValueProcKv& SetValueProc, const Variant& Value) {
  Handled = false;
  if (!Button || (ButtonControl && ButtonControl->GetAlwaysDown())) return;
  // The press that closed the form (by taking the activation from it) must not open it again.
  if (EditClosedMarkerQueuedKv(EditControl, Button)) {
    Handled = true;
    return;
  }
  TDropDownFormCallParamsKv* P = Button->GetDropDownFormParams();
  if (!P->GetDropDownForm() && P->GetDropDownFormClassName().empty()) return;
  P->SetEditControl(EditControl);
  P->SetEditButton(Button);
  P->SetEditButtonControl(ButtonControl);
  P->SetDataLink(DataLink);
  P->SetField(Field);
  P->SetOnOpenDropDownFormProc(OnOpenDropDownForm);
  P->SetOnCloseDropDownFormProc(CloseProc);
  P->SetOnGetActualDropDownFormProc(nullptr);
  P->SetOnCheckDataIsReadOnly(nullptr);
  P->SetOnSetVarValueProc(SetValueProc);
  P->SetOnGetVarValueProc([Value](Variant& V) { V = Value; });
  P->CheckShowDropDownForm(Handled);
}

// ---- The strip --------------------------------------------------------------------------------

void TCustomDBEditKv::CreateEditButtonControl(TEditButtonControlKv*& EditButtonControl) {
  EditButtonControl = new TEditButtonControlKv(this);
  EditButtonControl->SetBounds(0, 0, 10, 17);
}

void TCustomDBEditKv::EditButtonsChanged(TObject*) {
  if (!FHandle) return;
  UpdateEditButtonsBox();
  UpdateEditButtonsState();
  UpdateEditRect();
  Invalidate();
}

void TCustomDBEditKv::EditButtonImagesChanged(TObject*, TComponent* RefComponent) {
  Invalidate();
  if (RefComponent) RefComponent->FreeNotification(this);
}

void TCustomDBEditKv::ForgetButtonsReference(TComponent* AComponent) {
  auto Forget = [AComponent](TEditButtonKv* B) {
    TEditButtonImagesKv* I = B->GetImages();
    if (I->GetNormalImages() == AComponent) I->SetNormalImages(nullptr);
    if (I->GetHotImages() == AComponent) I->SetHotImages(nullptr);
    if (I->GetPressedImages() == AComponent) I->SetPressedImages(nullptr);
    if (I->GetDisabledImages() == AComponent) I->SetDisabledImages(nullptr);
    if (B->GetDropdownMenu() == AComponent) B->SetDropdownMenu(nullptr);
  };
  if (FEditButton) Forget(FEditButton.get());
  if (FEditButtons)
    for (Integer I = 0; I < FEditButtons->GetCount(); ++I) Forget(FEditButtons->GetItem(I));
}

void TCustomDBEditKv::UpdateEditButtonsBox() {
  if (!FButtonsBox) return;
  FButtonsBox->BeginLayout();
  try {
    FButtonsBox->SetButtonsCount(FEditButtons->GetCount() + 1);
    FButtonsBox->SetFlat(FFlat);
    FButtonsBox->SetMaxButtonHeight(GetClientRect().Height());
    TEditButtonControlList& List = FButtonsBox->GetBtnCtlList();
    List[0].EditButton = FEditButton.get();
    for (Integer I = 0; I < FEditButtons->GetCount(); ++I) List[size_t(I) + 1].EditButton = FEditButtons->GetItem(I);
  } catch (...) {
    FButtonsBox->EndLayout();
    throw;
  }
  FButtonsBox->EndLayout();
  TRect R = ButtonsRect();
  if (FButtonsBox->GetButtonsWidth() <= 0) {
    FButtonsBox->SetVisible(false);
  } else {
    FButtonsBox->SetBounds(R.Left, R.Top, R.Width(), R.Height());
    FButtonsBox->SetVisible(true);
  }
}

void TCustomDBEditKv::UpdateEditButtonsState() {
  if (!FButtonsBox) return;
  FButtonsBox->SetBorderActive(FBorderActive);
  FButtonsBox->UpdateEditButtonControlsState();
  FEditButton->SetOwnerDefaultAction(IsButtonDefaultAction(FEditButton.get()));
  for (Integer I = 0; I < FEditButtons->GetCount(); ++I)
    FEditButtons->GetItem(I)->SetOwnerDefaultAction(IsButtonDefaultAction(FEditButtons->GetItem(I)));
}

Integer TCustomDBEditKv::GetEditButtonsWidth() { return FButtonsBox ? FButtonsBox->GetButtonsWidth() : 0; }

bool TCustomDBEditKv::IsButtonDefaultAction(TEditButtonKv* EditButton) {
  if (EditButton == FEditButton.get()) return EditButton->GetVisible();
  TDropDownFormCallParamsKv* P = EditButton->GetDropDownFormParams();
  return !EditButton->GetOnClick() && !EditButton->GetOnDown() && !P->GetDropDownForm() &&
         P->GetDropDownFormClassName().empty() && !EditButton->GetDropdownMenu();
}

TEditButtonControlKv* TCustomDBEditKv::GetEditButtonControlByEditButton(TEditButtonKv* EditButton) {
  if (!FButtonsBox) return nullptr;
  for (TEditButtonControlLineRec& Entry : FButtonsBox->GetBtnCtlList())
    if (Entry.EditButton == EditButton) return Entry.EditButtonControl;
  return nullptr;
}

TEditButtonKv* TCustomDBEditKv::GetFirstDefaultActionEditButton() {
  if (FEditButton->GetDefaultAction() && FEditButton->GetVisible()) return FEditButton.get();
  for (Integer I = 0; I < FEditButtons->GetCount(); ++I) {
    TEditButtonKv* B = FEditButtons->GetItem(I);
    if (B->GetDefaultAction() && B->GetVisible()) return B;
  }
  return nullptr;
}

TEditButtonKv* TCustomDBEditKv::GetEditButtonByShortCut(TShortCut ShortCut) {
  if (ShortCut == 0) return nullptr;
  if (FEditButton->GetVisible() && FEditButton->GetShortCut() == ShortCut) return FEditButton.get();
  for (Integer I = 0; I < FEditButtons->GetCount(); ++I)
    if (FEditButtons->GetItem(I)->GetVisible() && FEditButtons->GetItem(I)->GetShortCut() == ShortCut)
      return FEditButtons->GetItem(I);
  return nullptr;
}

// ---- Presses and clicks -----------------------------------------------------------------------

void TCustomDBEditKv::EditButtonDown(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled) {
  Handled = false;
  if (CanFocus() && !Focused()) SetFocus();
  if (!Focused()) return;
  TEditButtonKv* Button = DBEditButtonsKv::ButtonOfControl(FButtonsBox, Sender);
  auto* Control = dynamic_cast<TEditButtonControlKv*>(Sender);
  if (!Button || !Control) return;
  bool Main = Button == FEditButton.get();
  if (Main && !Control->GetEnabled()) return;
  // Handlers may have been given to the button since the strip last looked.
  Button->SetOwnerDefaultAction(IsButtonDefaultAction(Button));
  if (Main)
    DoEvent(FOnButtonDown, Sender, TopButton, AutoRepeat, Handled);
  else
    DoEvent(Button->GetOnDown(), Sender, TopButton, AutoRepeat, Handled);
  if (!Handled)
    ShowButtonDropDownForm(this, FDataLink.get(), GetField(), Handled,
                           {this, &TCustomDBEditKv::DefaultDropDownFormClosed}, FOnOpenDropDownForm, Control, Button,
                           [this](const Variant& V) {
                             ReleaseButtonControls();
                             SetValue(V);
                           },
                           Variant(GetText()));
  if (!Handled) Handled = DBEditButtonsKv::PopupDropdownMenu(Button, Control);
  if (!Handled && Button->GetDefaultAction() && (!Main || !Button->GetAction()))
    DefaultEditButtonDown(Button, Control, Handled, AutoRepeat, TopButton);
}

void TCustomDBEditKv::EditButtonClick(TObject* Sender) {
  bool Handled = false;
  TEditButtonKv* Button = DBEditButtonsKv::ButtonOfControl(FButtonsBox, Sender);
  if (Button) {
    Button->SetOwnerDefaultAction(IsButtonDefaultAction(Button));
    Button->Click(Sender, Handled);
    if (!Handled && Button == FEditButton.get()) DoEvent(FOnButtonClick, Sender, Handled);
    if (!Handled && Button->GetDefaultAction() && DBEditDefaultEditButtonActionProc)
      DefaultEditButtonClick(Button, dynamic_cast<TEditButtonControlKv*>(Sender), Handled);
  }
  if (!Handled && FDroppedDown && !FNoClickCloseUp && Sender == FDroppedDownButtonControl) CloseUp(false);
  FNoClickCloseUp = false;
}

void TCustomDBEditKv::EditButtonMouseMove(TObject* Sender, TShiftState, Integer X, Integer Y) {
  auto* Control = dynamic_cast<TControl*>(Sender);
  if (Control && (X < 0 || X >= Control->GetWidth() || Y < 0 || Y > Control->GetHeight())) FNoClickCloseUp = false;
}

void TCustomDBEditKv::EditButtonDropDown(TEditButtonKv*, TEditButtonControlKv*, bool&) {
  if (FMRUList && FMRUList->GetDroppedDown()) FMRUList->CloseUp(false);
}

void TCustomDBEditKv::DefaultEditButtonDown(TEditButtonKv* EditButton, TEditButtonControlKv* EditButtonControl,
                                            bool& Handled, bool, bool) {
  if (DBEditDefaultEditButtonActionProc)
    DBEditDefaultEditButtonActionProc(this, EditButton, EditButtonControl, true, Handled);
}

void TCustomDBEditKv::DefaultEditButtonClick(TEditButtonKv* EditButton, TEditButtonControlKv* EditButtonControl,
                                             bool& Handled) {
  if (DBEditDefaultEditButtonActionProc)
    DBEditDefaultEditButtonActionProc(this, EditButton, EditButtonControl, false, Handled);
}

// ---- Drop-down forms --------------------------------------------------------------------------

void TCustomDBEditKv::DoOpenDropDownForm(TWinControl* EditControl, TEditButtonKv* Button, TCustomForm*& DropDownForm,
                                         TDynVarsKv* DynParams) {
  if (auto* Form = dynamic_cast<TCustomDropDownFormKv*>(DropDownForm))
    Form->SetReadOnly(FReadOnly || !FDataLink->GetCanModify());
  DoEvent(FOnOpenDropDownForm, EditControl, Button, DropDownForm, DynParams);
}

void TCustomDBEditKv::GetMemoEditWindow(TCustomForm*& DropDownForm, bool& FreeFormOnClose) {
  DropDownForm = DefaultTextDropDownFormClass ? GetGlobalDropDownFormKv(DefaultTextDropDownFormClass) : nullptr;
  if (DropDownForm) FreeFormOnClose = false;
}

void TCustomDBEditKv::DefaultDropDownFormClosed(TWinControl* EditControl, TEditButtonKv* Button, bool Accept,
                                                TCustomForm* DropDownForm, TDynVarsKv* DynParams) {
  ReleaseButtonControls();
  DoEvent(FOnCloseDropDownForm, EditControl, Button, Accept, DropDownForm, DynParams);
}

void TCustomDBEditKv::ReleaseButtonControls() {
  if (!FButtonsBox) return;
  for (TEditButtonControlLineRec& Entry : FButtonsBox->GetBtnCtlList())
    if (Entry.EditButtonControl && Entry.EditButtonControl->GetAlwaysDown()) {
      Entry.EditButtonControl->SetAlwaysDown(false);
      Entry.EditButtonControl->Invalidate();
    }
}

void TCustomDBEditKv::SetDroppedDownButton(TEditButtonKv* EditButton, TEditButtonControlKv* EditButtonControl) {
  FDroppedDown = true;
  FDroppedDownButton = EditButton;
  FDroppedDownButtonControl = EditButtonControl;
  if (EditButtonControl) {
    EditButtonControl->SetAlwaysDown(true);
    EditButtonControl->Invalidate();
  }
}

void TCustomDBEditKv::ClearDroppedDownButton() {
  if (FDroppedDownButtonControl) {
    FDroppedDownButtonControl->SetAlwaysDown(false);
    FDroppedDownButtonControl->Invalidate();
  }
  FDroppedDown = false;
  FDroppedDownButton = nullptr;
  FDroppedDownButtonControl = nullptr;
}
