// The popup list form: an inactive popup filled by its list grid, whose height snaps to whole rows
// and whose user-given size is remembered for the owner.

#include "kvlib/grids/gridskv/PopupListboxForm.h"

#include <algorithm>

#include "framework/WinApi.h"

TPopupListboxFormKv::TPopupListboxFormKv(TComponent* AOwner) : TPopupInactiveFormKv(AOwner) {
  FControlStyle << csReplicatable;
  FListGrid = new TPopupListboxGridKv(this);
  FListGrid->SetAlign(alClient);
  FListGrid->SetOnMouseUp({this, &TPopupListboxFormKv::ListGridMouseUp});
  // Keys that reach the form go to the list.
  SetMasterActionsControl(FListGrid);
  GetConstraints()->SetMinWidth(GetSystemMetrics(SM_CXVSCROLL));
  GetConstraints()->SetMinHeight(GetSystemMetrics(SM_CYVSCROLL));
}

TPopupListboxFormKv::~TPopupListboxFormKv() = default;

void TPopupListboxFormKv::AfterConstruction() {
  inherited::AfterConstruction();
  // Parented once the form is whole: the grid's layout asks for windows, which a form still
  // being constructed may not make.
  FListGrid->SetParent(this);
}

void TPopupListboxFormKv::ListGridMouseUp(TObject*, TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  if (TMouseEvent E = TControl::GetOnMouseUp()) E(this, Button, Shift, X, Y);
}

Integer TPopupListboxFormKv::GetTextHeight() { return FListGrid->GetTextHeight(); }

Integer TPopupListboxFormKv::GetBorderSize() { return FListGrid->GetBorderSize(); }

void TPopupListboxFormKv::ApplyFilter(const String& AFilterStr, TLSAutoFilterTypeKv AFilterType,
                                      bool ACaseInsensitive) {
  FListGrid->ApplyFilter(AFilterStr, AFilterType, ACaseInsensitive);
}

void TPopupListboxFormKv::ClearFilter() { FListGrid->ClearFilter(); }

void TPopupListboxFormKv::HandleNeeded() {
  TPopupInactiveFormKv::HandleNeeded();
  FListGrid->HandleNeeded();
}

void TPopupListboxFormKv::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  // The form's own construction sizes it before the list exists.
  if (!FListGrid) {
    inherited::SetBounds(ALeft, ATop, AWidth, AHeight);
    return;
  }
  const Integer Item = FListGrid->GetEffectiveItemHeight();
  const Integer Frame = FListGrid->GetBorderSize() + 2 * GetBorderWidth();
  FRowCount = std::max(1, (AHeight - Frame) / Item);
  inherited::SetBounds(ALeft, ATop, AWidth, Frame + FRowCount * Item);
}

void TPopupListboxFormKv::SetRowCount(Integer Value) {
  SetHeight(std::max(Value, 1) * FListGrid->GetEffectiveItemHeight() + FListGrid->GetBorderSize() +
            2 * GetBorderWidth());
}

void TPopupListboxFormKv::Resize() {
  inherited::Resize();
  // Only a form on screen can be resized by the user; its creation and layout are not that.
  if (FInternalResizing || !FListGrid || !HandleAllocated() || !IsWindowVisible(GetHandle())) return;
  FResizedRowCount = FRowCount;
  FResizedWidth = GetWidth();
  FListGrid->SetSizeGripResized(true);
}

void TPopupListboxFormKv::SetInternalResizing(bool Value) {
  FInternalResizing = Value;
  // The list follows the form's size; while the owner sizes the form, the list's own record of a
  // user resize must not move either.
  FListGrid->SetInternalResizing(Value);
}

bool TPopupListboxFormKv::DoMouseWheel(TShiftState Shift, Integer WheelDelta, const TPoint& MousePos) {
  if (inherited::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
  return FListGrid->DoMouseWheel(Shift, WheelDelta, MousePos);
}

void TPopupListboxFormKv::WMMouseWheel(TMessage& Message) {
  inherited::Dispatch(&Message);
  if (Message.Result == 0 && FListGrid->HandleAllocated())
    Message.Result = FListGrid->Perform(Message.Msg, Message.WParam, Message.LParam);
}

// ---- Forwarded properties ----------------------------------------------------------------------

TColor TPopupListboxFormKv::GetColor() const { return FListGrid->GetColor(); }
void TPopupListboxFormKv::SetColor(TColor Value) { FListGrid->SetColor(Value); }
Integer TPopupListboxFormKv::GetCount() { return FListGrid->GetCount(); }
bool TPopupListboxFormKv::GetCtl3D() const { return FListGrid->GetCtl3D(); }
void TPopupListboxFormKv::SetCtl3D(bool Value) { FListGrid->SetCtl3D(Value); }
bool TPopupListboxFormKv::GetParentCtl3D() const { return FListGrid->GetParentCtl3D(); }
void TPopupListboxFormKv::SetParentCtl3D(bool Value) { FListGrid->SetParentCtl3D(Value); }
TFont* TPopupListboxFormKv::GetFont() const { return FListGrid->GetFont(); }
void TPopupListboxFormKv::SetFont(TFont* Value) { FListGrid->SetFont(Value); }
TStrings* TPopupListboxFormKv::GetItems() { return FListGrid->GetItems(); }
void TPopupListboxFormKv::SetItems(TStrings* Value) { FListGrid->SetItems(Value); }
Integer TPopupListboxFormKv::GetItemHeight() const { return FListGrid->GetItemHeight(); }
void TPopupListboxFormKv::SetItemHeight(Integer Value) { FListGrid->SetItemHeight(Value); }
TCustomImageList* TPopupListboxFormKv::GetImageList() const { return FListGrid->GetImageList(); }
void TPopupListboxFormKv::SetImageList(TCustomImageList* Value) { FListGrid->SetImageList(Value); }
Integer TPopupListboxFormKv::GetItemIndex() { return FListGrid->GetItemIndex(); }
void TPopupListboxFormKv::SetItemIndex(Integer Value) { FListGrid->SetItemIndex(Value); }
bool TPopupListboxFormKv::GetIsMouseUpCloseListbox() const { return FListGrid->GetIsMouseUpCloseListbox(); }
TStrings* TPopupListboxFormKv::GetExtItems() const { return FListGrid->GetExtItems(); }
void TPopupListboxFormKv::SetExtItems(TStrings* Value) { FListGrid->SetExtItems(Value); }
bool TPopupListboxFormKv::GetSizeGripAlwaysShow() const { return FListGrid->GetSizeGripAlwaysShow(); }
void TPopupListboxFormKv::SetSizeGripAlwaysShow(bool Value) { FListGrid->SetSizeGripAlwaysShow(Value); }
bool TPopupListboxFormKv::GetSizeGripResized() const { return FListGrid->GetSizeGripResized(); }
void TPopupListboxFormKv::SetSizeGripResized(bool Value) { FListGrid->SetSizeGripResized(Value); }
TGridSelectionDrawParamsKv* TPopupListboxFormKv::GetSelectionDrawParams() const {
  return FListGrid->GetSelectionDrawParams();
}
void TPopupListboxFormKv::SetSelectionDrawParams(TGridSelectionDrawParamsKv* Value) {
  FListGrid->SetSelectionDrawParams(Value);
}
bool TPopupListboxFormKv::GetSorted() const { return FListGrid->GetSorted(); }
void TPopupListboxFormKv::SetSorted(bool Value) { FListGrid->SetSorted(Value); }
bool TPopupListboxFormKv::GetUseItemObjects() const { return FListGrid->GetUseItemObjects(); }
void TPopupListboxFormKv::SetUseItemObjects(bool Value) { FListGrid->SetUseItemObjects(Value); }
TListboxGetImageIndexEventKv TPopupListboxFormKv::GetOnGetImageIndex() const {
  return FListGrid->GetOnGetImageIndex();
}
void TPopupListboxFormKv::SetOnGetImageIndex(const TListboxGetImageIndexEventKv& Value) {
  FListGrid->SetOnGetImageIndex(Value);
}

// ---- Most-recently-used list -------------------------------------------------------------------

TMRUListboxKv::TMRUListboxKv(TComponent* AOwner) : TPopupListboxFormKv(AOwner) {}

PUBLISHED_DEF(TMRUListboxKv) {
  PROP(ParentCtl3D);
  PROP(Sorted);
  EVENT(OnMouseUp);
}
