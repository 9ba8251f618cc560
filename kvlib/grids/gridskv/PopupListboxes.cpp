// The popup lists: hot tracking by mouse, closing on a release, heights snapped to whole rows,
// the size the user gave them, the outside list, and the popup list box's own topmost window.

#include <algorithm>

#include "framework/WinApi.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/grids/gridskv/ListBoxes.h"

namespace {

bool PopupListboxesButtonHeld(TShiftState Shift) {
  return Shift.Contains(ssLeft) || Shift.Contains(ssRight) || Shift.Contains(ssMiddle);
}

// The corner the size grip moves to when the popup opened the given way; the same corner when
// the move does not apply to it.
TSizeGripPosition PopupListboxesGripCorner(TSizeGripPosition Pos, TSizeGripChangePosition Change) {
  switch (Change) {
    case sgcpToLeft:
      if (Pos == sgpTopRight) return sgpTopLeft;
      if (Pos == sgpBottomRight) return sgpBottomLeft;
      break;
    case sgcpToRight:
      if (Pos == sgpTopLeft) return sgpTopRight;
      if (Pos == sgpBottomLeft) return sgpBottomRight;
      break;
    case sgcpToTop:
      if (Pos == sgpBottomRight) return sgpTopRight;
      if (Pos == sgpBottomLeft) return sgpTopLeft;
      break;
    case sgcpToBottom:
      if (Pos == sgpTopRight) return sgpBottomRight;
      if (Pos == sgpTopLeft) return sgpBottomLeft;
      break;
  }
  return Pos;
}

}  // namespace

// ---- Shared popup behaviour ----------------------------------------------------------------------

TCustomPopupListboxKv::TCustomPopupListboxKv(TComponent* AOwner) : TCustomListboxKv(AOwner) {
  FControlStyle << csReplicatable;
  FOnDataObject = {this, &TCustomPopupListboxKv::ExtItemObject};
  SetShowHint(true);
  SetParentShowHint(false);
  GetConstraints()->SetMinWidth(GetSystemMetrics(SM_CXVSCROLL));
  GetConstraints()->SetMinHeight(GetSystemMetrics(SM_CYVSCROLL));
}

TCustomPopupListboxKv::~TCustomPopupListboxKv() = default;

Integer TCustomPopupListboxKv::CalcBorderWidth() {
  return GetCtl3D() && GetBorderStyle() == bsSingle ? 2 : 0;
}

void TCustomPopupListboxKv::GetExtItemObject(Integer Index, TObject*& Obj) {
  Obj = nullptr;
  if (FExtItems && Index >= 0 && Index < FExtItems->GetCount()) Obj = FExtItems->GetObjects(Index);
}

void TCustomPopupListboxKv::ExtItemObject(TWinControl*, Integer Index, TObject*& DataObject) {
  GetExtItemObject(Index, DataObject);
}

TStrings* TCustomPopupListboxKv::GetItems() {
  return FExtItems ? FExtItems : inherited::GetItems();
}

void TCustomPopupListboxKv::SetExtItems(TStrings* Value) {
  if (FExtItems == Value) return;
  FExtItems = Value;
  SetVirtualItems(Value != nullptr);
  // The rows follow the new list at once, so no stale row of the old one is ever drawn.
  Integer Selected = GetItemIndex();
  ResetVisibleIterms();
  UpdateRowCount();
  ReselectDataIndex(Selected);
  InvalidateGrid();
}

Integer TCustomPopupListboxKv::GetBorderSize() {
  if (HandleAllocated()) return GetHeight() - GetClientHeight();
  TCreateParams Params;
  CreateParams(Params);
  RECT R{0, 0, 0, 0};
  AdjustWindowRectEx(&R, DWORD(Params.Style), FALSE, DWORD(Params.ExStyle));
  return (R.bottom - R.top) + 2 * FBorderWidth;
}

Integer TCustomPopupListboxKv::GetEffectiveItemHeight() {
  return std::max(1, FItemHeight > 0 ? FItemHeight : GetTextHeight());
}

void TCustomPopupListboxKv::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  const Integer Item = GetEffectiveItemHeight();
  // While ItemHeight is not set the rows take the text height, so the snapped height holds them.
  if (FItemHeight == 0 && GetDefaultRowHeight() != Item) {
    SetDefaultRowHeight(Item);
    UpdateRowCount();
  }
  const Integer Border = GetBorderSize();
  FRowCount = std::max(1, (AHeight - Border) / Item);
  inherited::SetBounds(ALeft, ATop, AWidth, Border + FRowCount * Item);
}

void TCustomPopupListboxKv::SetRowCount(Integer Value) {
  SetHeight(std::max(Value, 1) * GetEffectiveItemHeight() + GetBorderSize());
}

void TCustomPopupListboxKv::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  FIsMouseUpCloseListbox = true;
  inherited::MouseDown(Button, Shift, X, Y);
}

void TCustomPopupListboxKv::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  inherited::MouseMove(Shift, X, Y);
  if (TPoint(X, Y) == FMousePos) return;
  FMousePos = TPoint(X, Y);
  Integer Index = HotTrackIndexAt(X, Y);
  if (Index < 0) return;
  SelectHotTrackIndex(Index);
  // A held button selects but leaves the hot-tracked row where the press found it.
  if (PopupListboxesButtonHeld(Shift) || Index == FMouseIndex) return;
  InvalidateIndex(HotTrackVisibleIndex(FMouseIndex));
  InvalidateIndex(HotTrackVisibleIndex(Index));
  FMouseIndex = Index;
}

void TCustomPopupListboxKv::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  FIsMouseUpCloseListbox = true;
  Integer D = ItemAtPos(TPoint(X, Y), true);
  auto* Obj = dynamic_cast<TPopupListboxItemKv*>(ItemObjectOf(D));
  if (!Obj) {
    inherited::MouseUp(Button, Shift, X, Y);
    return;
  }
  Obj->PopupMouseUp(this, D, FIsMouseUpCloseListbox, Shift, Button, TPoint(X, Y));
  if (GetGridState() != gsNormalKv) CancelMode();
  if (TMouseEvent E = GetOnMouseUp()) E(this, Button, Shift, X, Y);
}

void TCustomPopupListboxKv::Resize() {
  inherited::Resize();
  // Only a list on screen can be resized by the user; its creation and layout are not that.
  if (!FInternalResizing && HandleAllocated() && IsWindowVisible(GetHandle())) {
    FResizedRowCount = FRowCount;
    FResizedWidth = GetWidth();
    FSizeGripResized = true;
  }
  if (UseRightToLeftAlignment()) Invalidate();
}

void TCustomPopupListboxKv::CMHintShow(TMessage& Message) { Message.Result = 1; }

void TCustomPopupListboxKv::CMMouseEnterLeave(TMessage& Message) {
  InvalidateIndex(GetItemVisibleIndex());
  inherited::Dispatch(&Message);
}

void TCustomPopupListboxKv::CMSizeGripChangePosition(TMessage& Message) {
  if (Message.WParam > WPARAM(sgcpToBottom)) return;
  SetSizeGripPostion(PopupListboxesGripCorner(GetSizeGripPostion(), TSizeGripChangePosition(Message.WParam)));
}

// ---- The popup list box: its own window --------------------------------------------------------

TPopupListboxKv::TPopupListboxKv(TComponent* AOwner) : TCustomPopupListboxKv(AOwner) {
  FBorderWidth = CalcBorderWidth();
}

Integer TPopupListboxKv::HotTrackIndexAt(Integer X, Integer Y) {
  if (GetClientRect().Contains(TPoint(X, Y))) return ItemAtPos(TPoint(X, Y), true);
  return StrictIndexToClient(X, Y);
}

void TPopupListboxKv::SelectHotTrackIndex(Integer Index) { SetItemIndex(Index); }

Integer TPopupListboxKv::HotTrackVisibleIndex(Integer Index) { return DataIndexToVisibleIndex(Index); }

void TPopupListboxKv::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  // A topmost popup of its own, never activated, so the edit that opened it keeps the focus.
  Params.Style = (Params.Style & ~DWORD(WS_CHILD | WS_BORDER)) | WS_POPUP | WS_CLIPCHILDREN;
  if (IsCustomStyleActiveKv() || !GetCtl3D()) Params.Style |= WS_BORDER;
  Params.ExStyle = (Params.ExStyle & ~DWORD(WS_EX_CLIENTEDGE)) | WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  Params.WndParent = nullptr;
  Params.WindowClass.style |= CS_SAVEBITS | CS_DROPSHADOW;
}

void TPopupListboxKv::CreateWnd() {
  inherited::CreateWnd();
  // Paints as focused without taking the focus.
  CallWindowProcW(FDefWndProc, GetHandle(), WM_SETFOCUS, 0, 0);
}

void TPopupListboxKv::Show() {
  HandleNeeded();
  SetWindowPos(GetHandle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  SetVisible(true);
}

void TPopupListboxKv::Hide() {
  SetVisible(false);
  if (HandleAllocated()) ShowWindow(GetHandle(), SW_HIDE);
}

void TPopupListboxKv::WMNCCalcSize(TWMNCCalcSize& Message) {
  inherited::Dispatch(&Message);
  if (IsCustomStyleActiveKv() || FBorderWidth == 0) return;
  RECT& R = Message.CalcSize_Params->rgrc[0];
  R.left += FBorderWidth;
  R.top += FBorderWidth;
  R.right -= FBorderWidth;
  R.bottom -= FBorderWidth;
}

void TPopupListboxKv::WMNCPaint(TMessage& Message) {
  inherited::Dispatch(&Message);
  PaintListBorder();
}

void TPopupListboxKv::PaintListBorder() {
  if (!GetCtl3D() || !HandleAllocated()) return;
  HDC DC = GetWindowDC(GetHandle());
  if (!DC) return;
  RECT R{0, 0, GetWidth(), GetHeight()};
  DrawEdge(DC, &R, BDR_RAISEDOUTER, BF_RECT);
  InflateRect(&R, -1, -1);
  DrawEdge(DC, &R, BDR_RAISEDINNER, BF_RECT);
  ReleaseDC(GetHandle(), DC);
}

void TPopupListboxKv::CMCtl3DChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  Integer W = CalcBorderWidth();
  if (W == FBorderWidth) return;
  FBorderWidth = W;
  if (HandleAllocated()) RecreateWnd();
}

void TPopupListboxKv::WMMouseActivate(TMessage& Message) { Message.Result = MA_NOACTIVATE; }

// ---- The list of the popup form -----------------------------------------------------------------

TPopupListboxGridKv::TPopupListboxGridKv(TComponent* AOwner) : TCustomPopupListboxKv(AOwner) {
  SetBorderStyle(bsSingle);
  FBorderWidth = 0;
}

Integer TPopupListboxGridKv::HotTrackIndexAt(Integer X, Integer Y) {
  if (GetClientRect().Contains(TPoint(X, Y))) return VisibleItemAtPos(TPoint(X, Y), true);
  return StrictVisibleIndexToClient(X, Y);
}

void TPopupListboxGridKv::SelectHotTrackIndex(Integer Index) { SetItemVisibleIndex(Index); }

Integer TPopupListboxGridKv::HotTrackVisibleIndex(Integer Index) { return Index; }

void TPopupListboxGridKv::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  // The grid's own 3-D edge gives way to a plain line only under a custom style or without Ctl3D.
  if (IsCustomStyleActiveKv() || (!GetCtl3D() && GetBorderStyle() == bsSingle)) {
    Params.Style |= WS_BORDER;
    Params.ExStyle &= ~DWORD(WS_EX_CLIENTEDGE);
  }
}
