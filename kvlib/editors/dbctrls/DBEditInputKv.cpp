// The data-aware edit's keys, characters, clipboard and focus (part of the unit DBCtrlsKv).

#include "framework/Clipbrd.h"
#include "framework/DB.h"
#include "framework/Forms.h"
#include "kvlib/editors/dbctrls/DBEditKv.h"
#include "kvlib/editors/dbctrls/EditButtonsBoxKv.h"
#include "kvlib/editors/dbctrls/FieldDataLinkKv.h"
#include "kvlib/foundation/toolctrls/DropDownParts.h"
#include "kvlib/grids/gridskv/PopupListboxForm.h"

namespace DBEditInputKv {

bool IsMultiByteLeadByte(Char C) { return C < 256 && IsDBCSLeadByte(BYTE(C)); }

}  // namespace DBEditInputKv

// ---- Keys -------------------------------------------------------------------------------------

void TCustomDBEditKv::KeyDown(Word& Key, TShiftState Shift) {
  if (FInplaceMode && FIntfInplaceEditHolder) {
    FIntfInplaceEditHolder->EditorKeyDown(this, Key, Shift);
    if (Key == 0) return;
  }
  Word Pressed = Key;
  inherited::KeyDown(Key, Shift);
  // Escape reloads the field whatever the mask edit did with it.
  if (Pressed == VK_ESCAPE) {
    FDataLink->Reset();
    SelectAll();
    Key = 0;
    return;
  }
  if (Key == 0) return;
  if (TEditButtonKv* Button = GetEditButtonByShortCut(ShortCut(Key, Shift))) {
    if (Button->GetEnabled() && (Button != FEditButton.get() || CanDropDown())) {
      if (TEditButtonControlKv* Control = GetEditButtonControlByEditButton(Button)) {
        bool AutoRepeat = false, Handled = false;
        EditButtonDown(Control, true, AutoRepeat, Handled);
        EditButtonClick(Control);
      } else {
        bool Handled = false;
        Button->Click(this, Handled);
        if (!Handled && Button == FEditButton.get()) DoEvent(FOnButtonClick, this, Handled);
      }
      Key = 0;
      return;
    }
  }
  if (Key == 'A' && Shift == TShiftState{ssCtrl}) {
    SelectAll();
    Key = 0;
    return;
  }
  if (Key == VK_DELETE || (Key == VK_INSERT && Shift.Contains(ssShift))) {
    if (!FReadOnly && !FDataLink->Edit()) Key = 0;
  } else if ((Key == VK_RETURN && FWantReturns) || (Key == VK_TAB && FWantTabs)) {
    if (!FReadOnly) FDataLink->Edit();
  }
}

void TCustomDBEditKv::KeyUp(Word& Key, TShiftState Shift) {
  if (FInplaceMode && FIntfInplaceEditHolder) FIntfInplaceEditHolder->EditorKeyUp(this, Key, Shift);
  if (Key != 0) inherited::KeyUp(Key, Shift);
}

void TCustomDBEditKv::KeyPress(Char& Key) {
  if (FInplaceMode && FIntfInplaceEditHolder) FIntfInplaceEditHolder->EditorKeyPress(this, Key);
  if (Key == 0 || (Key == 1 && IsMasked())) return;
  // Characters are refused before the mask edit takes them into its places.
  if (Key > 31 && !DataIndepended() && GetField() && !IsValidChar(Key)) {
    MessageBeep(0);
    Key = 0;
    return;
  }
  if ((Key == VK_BACK || Key == 22 || Key == 24 || Key > 31) && !FReadOnly && !FDataLink->Edit()) {
    Key = 0;
    return;
  }
  inherited::KeyPress(Key);
}

void TCustomDBEditKv::WMChar(TWMChar& Message) {
  FCompleteKeyPress = String(1, Char(Message.CharCode));
  bool TrailQueued = false;
  MSG Trail{};
  if (DBEditInputKv::IsMultiByteLeadByte(Char(Message.CharCode)) && FHandle &&
      PeekMessageW(&Trail, FHandle, WM_CHAR, WM_CHAR, PM_NOREMOVE) && Trail.message != WM_QUIT) {
    FCompleteKeyPress += Char(Trail.wParam);
    TrailQueued = true;
  }
  try {
    inherited::Dispatch(&Message);
  } catch (...) {
    FCompleteKeyPress.clear();
    throw;
  }
  if (TrailQueued && Message.CharCode == 0) PeekMessageW(&Trail, FHandle, WM_CHAR, WM_CHAR, PM_REMOVE);
  FCompleteKeyPress.clear();
}

void TCustomDBEditKv::WMGetDlgCode(TWMGetDlgCode& Message) {
  Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_HASSETSEL;
  if (FWantTabs) Message.Result |= DLGC_WANTTAB;
  if (FWantReturns) Message.Result |= DLGC_WANTALLKEYS;
  if (FInplaceMode && FInplaceEditHolder && FInplaceEditHolder->HandleAllocated() &&
      (SendMessageW(FInplaceEditHolder->GetHandle(), WM_GETDLGCODE, 0, 0) & DLGC_WANTTAB))
    Message.Result |= DLGC_WANTTAB;
}

void TCustomDBEditKv::DefaultHandler(void* Message) {
  auto& M = *static_cast<TMessage*>(Message);
  if (M.Msg == WM_CHAR) {
    Char C = Char(M.WParam);
    if ((C == VK_RETURN && !FWantReturns) || (C == VK_TAB && !FWantTabs) || C == 10) return;
  } else if (M.Msg >= WM_LBUTTONDOWN && M.Msg <= WM_MBUTTONDBLCLK && GetCapture() != FHandle) {
    TPoint P = LParamToPoint(M.LParam);
    if (ButtonsRect().Contains(P) || ImageRect().Contains(P)) return;
  }
  inherited::DefaultHandler(Message);
}

void TCustomDBEditKv::WMSetCursor(TWMSetCursor& Message) {
  if (FHandle && Message.HitTest == HTCLIENT) {
    POINT P;
    GetCursorPos(&P);
    ::ScreenToClient(FHandle, &P);
    if (ButtonsRect().Contains(TPoint(P.x, P.y)) || ImageRect().Contains(TPoint(P.x, P.y))) {
      ::SetCursor(LoadCursorW(nullptr, IDC_ARROW));
      Message.Result = 1;
      return;
    }
  }
  inherited::Dispatch(&Message);
}

// ---- Clipboard --------------------------------------------------------------------------------

void TCustomDBEditKv::WMPaste(TMessage& Message) {
  if (!EditCanModify()) return;
  if (IsMasked() || !GetAutoSize() ||
      !(IsClipboardFormatAvailable(CF_TEXT) || IsClipboardFormatAvailable(CF_OEMTEXT) ||
        IsClipboardFormatAvailable(CF_UNICODETEXT))) {
    inherited::Dispatch(&Message);
    return;
  }
  String Pasted = Clipboard()->GetAsText();
  String Flat = FlattenLineBreaks(Pasted);
  if (Flat == Pasted) {
    inherited::Dispatch(&Message);
    return;
  }
  String Text = GetEditText();
  Integer SelStart = GetSelStart(), SelLength = GetSelLength();
  if (GetMaxLength() > 0) {
    Integer Room = GetMaxLength() - (Integer(Text.size()) - SelLength);
    Flat = Flat.substr(0, size_t(std::max(Room, 0)));
  }
  Text = Text.substr(0, size_t(SelStart)) + Flat + Text.substr(size_t(SelStart + SelLength));
  SetText(Text);
  SetSelStart(SelStart + Integer(Flat.size()));
  SetSelLength(0);
}

void TCustomDBEditKv::WMCut(TMessage& Message) {
  if (!EditCanModify()) {
    Perform(WM_COPY);
    return;
  }
  inherited::Dispatch(&Message);
}

void TCustomDBEditKv::WMClear(TMessage& Message) {
  if (EditCanModify()) inherited::Dispatch(&Message);
}

void TCustomDBEditKv::WMUndo(TMessage& Message) {
  if (EditCanModify()) inherited::Dispatch(&Message);
}

// ---- Focus ------------------------------------------------------------------------------------

void TCustomDBEditKv::CMEnter(TCMEnter& Message) {
  SetFocused(true);
  inherited::Dispatch(&Message);
  if (GetAutoSelect() && !IsMouseButtonDown(mbLeft)) SelectAll();
  if (SysLocale.FarEast && FDataLink->GetCanModify()) TCustomMaskEdit::SetReadOnly(FReadOnly);
  UpdateBorderActive();
}

void TCustomDBEditKv::CMExit(TCMExit& Message) {
  if (FMRUList->GetDroppedDown() && !(FMRUListControl && FMRUListControl->HandleAllocated() &&
                                      IsChild(FMRUListControl->GetHandle(), GetFocus())))
    FMRUList->CloseUp(false);
  // The mask edit validates (and keeps the focus on a fault) before the exit event.
  inherited::Dispatch(&Message);
  try {
    FDataLink->UpdateRecord();
  } catch (...) {
    SelectAll();
    SetFocus();
    throw;
  }
  SetFocused(false);
  if (IsMasked() && GetSelLength() == 0) SetCursor(std::max(GetSelStart() - 2, 0));
  UpdateBorderActive();
}

void TCustomDBEditKv::SetFocused(bool Value) {
  if (FFocused == Value) return;
  FFocused = Value;
  if (GetAlignment() != taLeftJustify && !IsMasked()) Invalidate();
  FDataLink->Reset();
}
