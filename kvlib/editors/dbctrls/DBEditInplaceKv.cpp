// The data-aware edit as the cell editor of a holder (part of the unit DBCtrlsKv): placed, shown
// and hidden without touching Visible, the holder seeing every message and key first.

#include "framework/Forms.h"
#include "kvlib/editors/dbctrls/DBEditKv.h"

void TCustomDBEditKv::SetInplaceEditHolder(TWinControl* AInplaceEditHolder) {
  if (AInplaceEditHolder == FInplaceEditHolder) return;
  IInplaceEditHolderKv* Intf = nullptr;
  // Asked before anything changes: a refused holder leaves the edit as it was.
  if (AInplaceEditHolder) {
    Intf = dynamic_cast<IInplaceEditHolderKv*>(AInplaceEditHolder);
    if (!Intf) throw Exception(L"InplaceEditHolder have to support IInplaceEditHolderKv interface");
  }
  if (FInplaceEditHolder) FInplaceEditHolder->RemoveFreeNotification(this);
  FInplaceEditHolder = AInplaceEditHolder;
  FIntfInplaceEditHolder = Intf;
  FInplaceMode = AInplaceEditHolder != nullptr;
  if (FInplaceEditHolder) FInplaceEditHolder->FreeNotification(this);
  UpdateReadOnlyState();
}

bool TCustomDBEditKv::GetVisible() {
  if (FInplaceMode) return FHandle && IsWindowVisible(FHandle);
  return TControl::GetVisible();
}

void TCustomDBEditKv::SetVisible(bool Value) {
  if (FInplaceMode && !Value) Hide();
  else TControl::SetVisible(Value);
}

void TCustomDBEditKv::Hide() {
  if (!FInplaceMode) {
    TControl::SetVisible(false);
    return;
  }
  if (!FHandle || !(GetWindowLongW(FHandle, GWL_STYLE) & WS_VISIBLE)) return;
  InvalidateRect(FHandle, nullptr, TRUE);
  bool HadFocus = GetFocus() == FHandle;
  SetWindowPos(FHandle, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOZORDER | SWP_NOREDRAW);
  if (HadFocus && FInplaceEditHolder && FInplaceEditHolder->HandleAllocated())
    ::SetFocus(FInplaceEditHolder->GetHandle());
}

void TCustomDBEditKv::SetFocus() {
  if (!FInplaceMode) {
    inherited::SetFocus();
    return;
  }
  if (FHandle && IsWindowVisible(FHandle)) ::SetFocus(FHandle);
}

void TCustomDBEditKv::Move(const TRect& Loc) {
  if (FInplaceMode) InplaceMoveTo(Loc, true);
  else SetBounds(Loc.Left, Loc.Top, Loc.Width(), Loc.Height());
}

void TCustomDBEditKv::UpdateLoc(const TRect& Loc) {
  if (FInplaceMode) InplaceMoveTo(Loc, false);
  else SetBounds(Loc.Left, Loc.Top, Loc.Width(), Loc.Height());
}

void TCustomDBEditKv::InplaceMoveTo(const TRect& Loc, bool Redraw) {
  if (Loc.IsEmpty()) {
    Hide();
    return;
  }
  HandleNeeded();
  if (!IsWindowVisible(FHandle)) Redraw = true;
  Invalidate();
  // An open MRU list closes: the holder asks every mode of the edit to end.
  Perform(CM_CANCELMODE, 0, LPARAM(FInplaceEditHolder));
  SetWindowPos(FHandle, HWND_TOP, Loc.Left, Loc.Top, Loc.Width(), Loc.Height(),
               SWP_SHOWWINDOW | SWP_NOREDRAW);
  if (Redraw) Invalidate();
  if (FInplaceEditHolder && FInplaceEditHolder->Focused()) ::SetFocus(FHandle);
}

void TCustomDBEditKv::CMShowingChanged(TMessage& Message) {
  if (!FInplaceMode) inherited::Dispatch(&Message);
}

void TCustomDBEditKv::EditWndProc(TMessage& Message) {
  if (!FInplaceMode || !FIntfInplaceEditHolder) {
    inherited::WndProc(Message);
    return;
  }
  Message.Result = 0;
  FIntfInplaceEditHolder->EditorWndProc(this, Message);
  if (Message.Result != 0) return;
  switch (Message.Msg) {
    case WM_SETFOCUS:
      if (TCustomForm* Form = GetParentForm(this))
        if (!Form->SetFocusedControl(FInplaceEditHolder)) return;
      Dispatch(&Message);
      return;
    case WM_LBUTTONDOWN: {
      TPoint Pt;
      Cardinal Time = 0;
      FIntfInplaceEditHolder->GetMouseDownInfo(Pt, Time);
      TPoint Here = ClientToScreen(LParamToPoint(Message.LParam));
      Cardinal Now = Cardinal(GetMessageTime());
      if (Time != 0 && IsDoubleClickKv(Pt, Here, Now - Time)) Message.Msg = WM_LBUTTONDBLCLK;
      break;
    }
    case CM_WANTSPECIALKEY:
      if (reinterpret_cast<TCMWantSpecialKey&>(Message).CharCode == VK_RETURN) {
        Message.Result = 1;
        return;
      }
      break;
  }
  inherited::WndProc(Message);
}
