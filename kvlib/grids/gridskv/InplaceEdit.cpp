// The grid's cell editor: the frame that the grid moves over its current cell and the masked edit
// inside it that offers every key to the grid first.

#include "kvlib/grids/gridskv/InplaceEdit.h"

#include "framework/Forms.h"
#include "framework/Themes.h"
#include "framework/WinApi.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/grids/gridskv/CustomGrid.h"
#include "kvlib/grids/gridskv/GridFinally.h"

// ---- TInplaceEditCoreControl ------------------------------------------------------------------

TInplaceEditCoreControl::TInplaceEditCoreControl(TComponent* AOwner)
    : TCustomMaskEdit(AOwner), FParentEdit(dynamic_cast<TInplaceEdit*>(AOwner)) {
  SetBorderStyle(bsNone);
  SetTabStop(false);
}

TCustomGridKv* TInplaceEditCoreControl::GetGrid() const { return FParentEdit ? FParentEdit->GetGrid() : nullptr; }

void TInplaceEditCoreControl::UpdateContents() {
  TCustomGridKv* G = GetGrid();
  if (!G) return;
  SetEditMask(G->GetEditMask(G->GetCol(), G->GetRow()));
  SetText(G->GetEditText(G->GetCol(), G->GetRow()));
  SetMaxLength(G->GetEditLimit());
}

bool TInplaceEditCoreControl::EditCanModify() {
  TCustomGridKv* G = GetGrid();
  return G ? G->CanEditModify() : inherited::EditCanModify();
}

void TInplaceEditCoreControl::SetMaxLength(Integer Value) {
  FMaxLengthValue = Value;
  inherited::SetMaxLength(Value < 0 ? 0 : Value);
}

void TInplaceEditCoreControl::Deselect() {
  if (HandleAllocated()) SendMessageW(FHandle, EM_SETSEL, 0, 0);
}

void TInplaceEditCoreControl::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_SETFOCUS: {
      TCustomForm* Form = GetParentForm(this);
      if (Form && GetGrid() && !Form->SetFocusedControl(GetGrid())) return;
      Dispatch(&Message);
      return;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
      if (FParentEdit) {
        FParentEdit->DoKeyMessage(Message);
        if (Message.Result != 0) return;
      }
      break;
    case WM_LBUTTONDOWN:
      // A click soon after the press on the grid that showed the editor counts as a double click.
      if (FParentEdit) {
        if (Cardinal(::GetMessageTime()) - FParentEdit->FClickTime < ::GetDoubleClickTime())
          Message.Msg = WM_LBUTTONDBLCLK;
        FParentEdit->FClickTime = 0;
      }
      break;
    case WM_CUT:
    case WM_PASTE:
    case WM_CLEAR:
      if (FParentEdit) {
        bool Refused = Message.Msg == WM_CUT     ? FParentEdit->IsCutRefused(Message)
                       : Message.Msg == WM_PASTE ? FParentEdit->IsPasteRefused(Message)
                                                 : FParentEdit->IsClearRefused(Message);
        if (!FParentEdit->EditCanModify() || Refused) return;
      } else if (!EditCanModify()) {
        return;
      }
      break;
    default: break;
  }
  inherited::WndProc(Message);
}

void TInplaceEditCoreControl::KeyDown(Word& Key, TShiftState Shift) {
  TCustomGridKv* G = GetGrid();
  if (!G) {
    inherited::KeyDown(Key, Shift);
    return;
  }
  if (G->IsGridKey(Key, Shift)) {
    G->KeyDown(Key, Shift);
    Key = 0;
    return;
  }
  bool ShiftOnly = Shift.Contains(ssShift) && !Shift.Contains(ssCtrl) && !Shift.Contains(ssAlt);
  if (((Key == VK_INSERT && ShiftOnly) || Key == VK_DELETE) && !G->CanEditModify()) Key = 0;
  bool CtrlOnly = Shift.Contains(ssCtrl) && !Shift.Contains(ssShift) && !Shift.Contains(ssAlt);
  if (Key == 'A' && CtrlOnly) SelectAll();
  if (Key == VK_F2) {
    if (TKeyEvent OnKeyDown = G->GetOnKeyDown()) OnKeyDown(G, Key, Shift);
    if (Key == VK_F2) Deselect();
    return;
  }
  if (Key == 0) return;
  if (TKeyEvent OnKeyDown = G->GetOnKeyDown()) OnKeyDown(G, Key, Shift);
  if (Key != 0) inherited::KeyDown(Key, Shift);
}

void TInplaceEditCoreControl::KeyPress(Char& Key) {
  TCustomGridKv* G = GetGrid();
  if (!G) {
    inherited::KeyPress(Key);
    return;
  }
  G->KeyPress(Key);
  if (Key >= 32 && !G->CanEditAcceptKey(Key)) {
    Key = 0;
    ::MessageBeep(0);
  }
  switch (Key) {
    case 13: {
      Integer Start = GetSelStart(), Len = Integer(GetText().length());
      if (Start == 0 && Start + GetSelLength() == Len)
        Deselect();
      else
        SelectAll();
      Key = 0;
      break;
    }
    case 9:
    case 27: Key = 0; break;
    default: break;
  }
  if ((Key == 8 || Key == 22 || Key == 24 || Key >= 32) && !G->CanEditModify()) Key = 0;
  if (Key != 0) inherited::KeyPress(Key);
}

void TInplaceEditCoreControl::KeyUp(Word& Key, TShiftState Shift) {
  if (TCustomGridKv* G = GetGrid())
    G->KeyUp(Key, Shift);
  else
    inherited::KeyUp(Key, Shift);
}

void TInplaceEditCoreControl::DblClick() {
  if (FParentEdit && FParentEdit->GetGrid())
    FParentEdit->GetGrid()->DblClick();
  else
    inherited::DblClick();
}

bool TInplaceEditCoreControl::DoMouseWheel(TShiftState Shift, Integer WheelDelta, const TPoint& MousePos) {
  if (TCustomGridKv* G = GetGrid()) return G->DoMouseWheel(Shift, WheelDelta, MousePos);
  return inherited::DoMouseWheel(Shift, WheelDelta, MousePos);
}

void TInplaceEditCoreControl::Change() {
  inherited::Change();
  TCustomGridKv* G = GetGrid();
  if (G && GetVisible() && HandleAllocated() && ::IsWindowVisible(FHandle)) G->UpdateText();
  if (FParentEdit) FParentEdit->CoreControlChanged();
}

void TInplaceEditCoreControl::WMGetDlgCode(TMessage& Message) {
  inherited::Dispatch(&Message);
  if (TCustomGridKv* G = GetGrid(); G && G->GetOptions().Contains(goTabsKv)) Message.Result |= DLGC_WANTTAB;
}

void TInplaceEditCoreControl::WMKillFocus(TWMKillFocus& Message) {
  inherited::Dispatch(&Message);
  if (FParentEdit) FParentEdit->CoreControlKillFocus(Message.FocusedWnd);
}

// ---- TInplaceEdit -----------------------------------------------------------------------------

TInplaceEdit::TInplaceEdit(TComponent* AOwner) : TCustomControl(AOwner) {
  SetParentCtl3D(false);
  SetCtl3D(false);
  SetTabStop(false);
  SetDoubleBuffered(false);
  GetBrush()->SetColor(GetStyledSystemColor(GetBrush()->GetColor()));
}

TInplaceEditCoreControl* TInplaceEdit::Core() {
  if (!FEditCoreControl) {
    FEditCoreControl = CreateEditCoreControl();
    FEditCoreControl->SetParent(this);
    FEditCoreControl->SetVisible(true);
    FEditCoreControl->SetParentColor(true);
  }
  return FEditCoreControl;
}

bool TInplaceEdit::EditCanModify() { return Core()->EditCanModify(); }

void TInplaceEdit::GetEditCoreControlRect(TRect& Rect) { Rect = TRect(2, 2, GetWidth() - 2, GetHeight() - 2); }

bool TInplaceEdit::IsCutRefused(TMessage&) { return false; }
bool TInplaceEdit::IsPasteRefused(TMessage&) { return false; }
bool TInplaceEdit::IsClearRefused(TMessage&) { return false; }

TInplaceEditCoreControl* TInplaceEdit::CreateEditCoreControl() { return new TInplaceEditCoreControl(this); }

void TInplaceEdit::UpdateEditCoreControlBounds() {
  TRect R;
  GetEditCoreControlRect(R);
  Core()->SetBounds(R.Left, R.Top, R.Width(), R.Height());
}

void TInplaceEdit::CoreControlChanged() {}
void TInplaceEdit::CoreControlKillFocus(HWND) {}

void TInplaceEdit::DoKeyMessage(TMessage& Message) {
  auto& Key = reinterpret_cast<TWMKey&>(Message);
  bool Consumed = false;
  switch (Message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: Consumed = DoKeyDown(Key); break;
    case WM_KEYUP:
    case WM_SYSKEYUP: Consumed = DoKeyUp(Key); break;
    case WM_CHAR:
    case WM_SYSCHAR: Consumed = DoKeyPress(Key); break;
    default: return;
  }
  if (Consumed) Message.Result = 1;
}

void TInplaceEdit::UpdateContents() {
  TCustomGridKv* G = GetGrid();
  if (!G) return;
  // The text stays until the mask is set.
  SetEditMask(G->GetEditMask(G->GetCol(), G->GetRow()));
  SetText(G->GetEditText(G->GetCol(), G->GetRow()));
  SetMaxLength(G->GetEditLimit());
}

void TInplaceEdit::SetText(const String& Value) {
  FInternalTextSetting = true;
  TGridFinallyKv Reset([this] { FInternalTextSetting = false; });
  Core()->SetText(Value);
}

void TInplaceEdit::Hide() {
  if (!HandleAllocated() || !::IsWindowVisible(FHandle)) return;
  bool WasFocused = Focused();
  Invalidate();
  ::SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
  if (WasFocused && FGrid && FGrid->HandleAllocated()) ::SetFocus(FGrid->GetHandle());
}

bool TInplaceEdit::IsShown() const { return HandleAllocated() && ::IsWindowVisible(FHandle); }

bool TInplaceEdit::Focused() {
  if (!HandleAllocated()) return false;
  HWND F = ::GetFocus();
  return F && (F == FHandle || ::IsChild(FHandle, F));
}

void TInplaceEdit::SetFocus() {
  if (IsShown()) ::SetFocus(Core()->GetHandle());
}

void TInplaceEdit::SetSel(Integer StartPos, Integer Length) {
  if (Core()->HandleAllocated()) SendMessageW(Core()->GetHandle(), EM_SETSEL, WPARAM(StartPos), LPARAM(StartPos + Length));
}

void TInplaceEdit::InternalMove(const TRect& Loc, bool Redraw) {
  if (Loc.IsEmpty()) {
    Hide();
    return;
  }
  HandleNeeded();
  Redraw = Redraw || !::IsWindowVisible(FHandle);
  Invalidate();
  ::SetWindowPos(FHandle, HWND_TOP, Loc.Left, Loc.Top, Loc.Width(), Loc.Height(),
                 SWP_SHOWWINDOW | SWP_NOREDRAW | SWP_NOACTIVATE);
  if (Redraw) Invalidate();
  UpdateEditCoreControlBounds();
  if (!FGrid) return;
  FGrid->FInternalFocusResetting = true;
  TGridFinallyKv Reset([this] { FGrid->FInternalFocusResetting = false; });
  if (FGrid->Focused()) ::SetFocus(Core()->GetHandle());
}

bool TInplaceEdit::DoMouseWheel(TShiftState Shift, Integer WheelDelta, const TPoint& MousePos) {
  if (FGrid) return FGrid->DoMouseWheel(Shift, WheelDelta, MousePos);
  return inherited::DoMouseWheel(Shift, WheelDelta, MousePos);
}

void TInplaceEdit::WMSetFocus(TWMSetFocus& Message) {
  if (Core()->HandleAllocated() || HandleAllocated()) ::SetFocus(Core()->GetHandle());
  inherited::Dispatch(&Message);
}

void TInplaceEdit::WMChar(TMessage& Message) {
  // The grid types the character that opened the editor into the frame.
  Message.Result = SendMessageW(Core()->GetHandle(), WM_CHAR, Message.WParam, Message.LParam);
}

void TInplaceEdit::WMGetDlgCode(TMessage& Message) {
  Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
  if (FGrid && FGrid->GetOptions().Contains(goTabsKv)) Message.Result |= DLGC_WANTTAB;
}

void TInplaceEdit::WMLButtonDblClk(TWMMouse& Message) {
  if (FGrid)
    FGrid->DblClick();
  else
    inherited::Dispatch(&Message);
}

void TInplaceEdit::CMShowingChanged(TMessage&) {}
