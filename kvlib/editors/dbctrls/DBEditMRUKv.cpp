// The data-aware edit's most-recently-used list (part of the unit DBCtrlsKv): the pop-up list
// under the text area, filtered by the text as the user types, stepped through with the arrow
// keys and closed by Enter (taking the selected text), Escape, a click or the focus leaving.

#include <algorithm>

#include "framework/DB.h"
#include "framework/Forms.h"
#include "kvlib/editors/dbctrls/DBEditKv.h"
#include "kvlib/editors/dbctrls/FieldDataLinkKv.h"
#include "kvlib/foundation/DBUtilsKv.h"
#include "kvlib/foundation/toolctrls/DropDownParts.h"
#include "kvlib/grids/gridskv/PopupListboxForm.h"

namespace DBEditMRUKv {

// Whether Wnd is the window of Control or of one of its children.
bool WindowInside(TWinControl* Control, HWND Wnd) {
  return Control && Control->HandleAllocated() && Wnd &&
         (Wnd == Control->GetHandle() || IsChild(Control->GetHandle(), Wnd));
}

// Whether Control is Root or lies inside it.
bool ControlInside(TControl* Control, TWinControl* Root) {
  for (TControl* C = Control; C; C = C->GetParent())
    if (C == Root) return true;
  return false;
}

// Keeps the list's own record of a user resize still while the edit sizes it.
struct TInternalResizing {
  TMRUListboxKv* List;
  bool UserResized;
  explicit TInternalResizing(TMRUListboxKv* L) : List(L), UserResized(L->GetSizeGripResized()) {
    List->SetInternalResizing(true);
  }
  ~TInternalResizing() { List->SetInternalResizing(false); }
};

}  // namespace DBEditMRUKv

TMRUListboxKv* TCustomDBEditKv::CreateMRUListControl() {
  auto* List = TComponent::Create<TMRUListboxKv>(this);
  List->SetInternalResizing(true);
  List->SetVisible(false);
  List->SetCtl3D(false);
  List->SetSorted(true);
  List->SetOnMouseUp({this, &TCustomDBEditKv::MRUListMouseUp});
  List->SetMasterFocusControl(this);
  List->SetInternalResizing(false);
  return List;
}

TMRUListboxKv* TCustomDBEditKv::GetMRUListControl() {
  if (!FMRUListControl) {
    FMRUListControl = CreateMRUListControl();
    FMRUListControl->FreeNotification(this);
  }
  return FMRUListControl;
}

void TCustomDBEditKv::FillMRUAutogenItems(TMRUListKv*, TStrings* AutogenItems) {
  TField* Field = GetField();
  TDataSet* DataSet = Field ? Field->GetDataSet() : nullptr;
  if (!DataSet || !DataSet->GetActive()) return;
  // A provider would read the field's distinct values; none offers that here, so the list keeps
  // what it has.
  (void)GetDatasetFeatureProvider(DataSet);
  (void)AutogenItems;
}

void TCustomDBEditKv::MRUListDropDown(TObject*) {
  TMRUListboxKv* List = GetMRUListControl();
  {
    DBEditMRUKv::TInternalResizing Guard(List);
    FMRUList->PrepareActiveItems();
    FMRUList->FilterItemsTo(List->GetItems(), GetText());
    Integer Count = List->GetItems()->GetCount();
    if (Count > 0) {
      TRect Area = GetEditRect(GetClientRect());
      TPoint TL = ClientToScreen(TPoint(Area.Left, Area.Top));
      TPoint BR = ClientToScreen(TPoint(Area.Right, Area.Bottom));
      TRect Host(std::min(TL.X, BR.X), TL.Y, std::max(TL.X, BR.X), BR.Y);
      bool WasOpen = List->GetVisible();
      if (!WasOpen) {
        List->SetColor(GetColor());
        List->SetFont(TControl::GetFont());
        List->SetItemIndex(-1);
        List->SetWidth(FMRUList->GetWidth() > 0 ? FMRUList->GetWidth() : Host.Width());
      }
      List->SetItemHeight(List->GetTextHeight());
      List->SetRowCount(std::min(Count, FMRUList->GetRows()));
      TPoint Pos;
      AdjustPopupBounds(Host, List, 0, Pos);
      List->SetBounds(Pos.X, Pos.Y, List->GetWidth(), List->GetHeight());
      List->Show();
      List->SetSizeGripResized(WasOpen && Guard.UserResized);
      FMRUList->SetDroppedDown(true);
      return;
    }
  }
  if (FMRUList->GetDroppedDown()) FMRUList->CloseUp(false);
}

void TCustomDBEditKv::MRUListCloseUp(TObject*, bool Accept) {
  if (!FMRUList->GetDroppedDown() || !FMRUListControl) return;
  TMRUListboxKv* List = FMRUListControl;
  if (HWND Captured = GetCapture()) SendMessageW(Captured, WM_CANCELMODE, 0, 0);
  bool HadFocus = DBEditMRUKv::WindowInside(List, GetFocus());
  List->SetVisible(false);
  if (List->GetSizeGripResized()) {
    FMRUList->SetRows(List->GetResizedRowCount());
    FMRUList->SetWidth(List->GetResizedWidth());
  }
  if (HadFocus && CanFocus()) SetFocus();
  FMRUList->SetDroppedDown(false);
  if (!Accept || FReadOnly || !FDataLink->Edit()) return;
  Integer Index = List->GetItemIndex();
  if (Index < 0 || Index >= List->GetItems()->GetCount()) return;
  InternalSetText(List->GetItems()->GetStrings(Index));
  // The text came from the user's choice: the field hears of it when the edit posts.
  FDataLink->Modified();
  if (Focused()) SelectAll();
}

void TCustomDBEditKv::MRUListMouseUp(TObject*, TMouseButton Button, TShiftState, Integer X, Integer Y) {
  if (Button != mbLeft || !FMRUListControl) return;
  FMRUList->CloseUp(FMRUListControl->GetListGrid()->GetClientRect().Contains(TPoint(X, Y)));
}

void TCustomDBEditKv::UpdateMRUList() {
  String Blank = IsMasked() ? FormatMaskTextKv(TCustomMaskEdit::GetEditMask(), String()) : String();
  String Text = GetEditText();
  if (FMRUList->GetDroppedDown() && Text == Blank && !FKeepMRUList) {
    FMRUList->CloseUp(false);
    return;
  }
  if (FMRUList->GetActive() && IsShowing() && !FDroppedDown && Focused() && (Text != Blank || FKeepMRUList))
    FMRUList->DropDown();
}

bool TCustomDBEditKv::MRUListMessage(TMessage& Message) {
  if (!FMRUList->GetDroppedDown() || !FMRUListControl) return false;
  const Cardinal Msg = Message.Msg;
  if (Msg == CM_WANTSPECIALKEY) {
    WPARAM Key = Message.WParam;
    if ((Key == VK_RETURN || Key == VK_ESCAPE) && FMRUListControl->GetItemIndex() >= 0) {
      Message.Result = 1;
      return true;
    }
    return false;
  }
  if (Msg == WM_MOUSEWHEEL) {
    Message.Result = FMRUListControl->Perform(Msg, Message.WParam, Message.LParam);
    return Message.Result != 0;
  }
  if (Msg != WM_KEYDOWN && Msg != WM_SYSKEYDOWN && Msg != WM_CHAR) return false;
  const WPARAM Key = Message.WParam;
  if (Msg == WM_CHAR) {
    if (Key == VK_BACK) FKeepMRUList = true;
    return false;
  }
  const bool Alt = Msg == WM_SYSKEYDOWN || GetKeyState(VK_MENU) < 0;
  const bool Ctrl = GetKeyState(VK_CONTROL) < 0;
  if (((Key == VK_PRIOR || Key == VK_NEXT || Key == VK_UP || Key == VK_DOWN) && !Alt) ||
      ((Key == VK_END || Key == VK_HOME) && Ctrl)) {
    FMRUListControl->GetListGrid()->Perform(Msg, Key, Message.LParam);
    FKeepMRUList = false;
    return true;
  }
  if (Key == VK_RETURN || Key == VK_ESCAPE) {
    FMRUList->CloseUp(Key == VK_RETURN);
    FKeepMRUList = false;
    return true;
  }
  return false;
}

void TCustomDBEditKv::WndProc(TMessage& Message) {
  if (MRUListMessage(Message)) return;
  if (Message.Msg == WM_CHAR && Message.WParam == VK_BACK) FKeepMRUList = true;
  ++FWndProcDepth;
  try {
    EditWndProc(Message);
  } catch (...) {
    --FWndProcDepth;
    throw;
  }
  --FWndProcDepth;
  // The text the user changed is filtered once the message that changed it is done.
  if (FUserTextChanged && !GetComponentState().Contains(csDestroying)) {
    FUserTextChanged = false;
    UpdateMRUList();
  }
  // Messages the edit sends itself while handling a key must not forget the Backspace.
  if (FWndProcDepth == 0) FKeepMRUList = false;
}

void TCustomDBEditKv::CMCancelMode(TCMCancelMode& Message) {
  inherited::Dispatch(&Message);
  if (!FMRUList->GetDroppedDown()) return;
  TControl* Sender = Message.Sender;
  if (DBEditMRUKv::ControlInside(Sender, this) || (FMRUListControl && DBEditMRUKv::ControlInside(Sender, FMRUListControl)))
    return;
  FMRUList->CloseUp(false);
}
