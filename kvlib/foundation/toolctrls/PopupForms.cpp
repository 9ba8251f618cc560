#include "kvlib/foundation/toolctrls/PopupForms.h"

#include <algorithm>

#include "framework/WinApi.h"
#include "kvlib/foundation/KvLibVCL.h"

namespace {

// The menu window's own messages for a mouse press and a double click on an item position.
constexpr UINT MN_BUTTONDOWN = 0x1ED;
constexpr UINT MN_DBLCLK = 0x1F1;

// The one list: the CBT hook and the menu windows' procedure find it here.
TPopupListKv* FamilyPopupList = nullptr;
bool FamilyPopupListDone = false;

// Frees the list when the program ends.
struct TPopupListUnit {
  ~TPopupListUnit() {
    FamilyPopupListDone = true;
    delete FamilyPopupList;
  }
} PopupListUnit;

// Restores the framework's popup list after a menu, also when the menu raises.
struct TPopupListSwap {
  TPopupList* Saved;
  explicit TPopupListSwap(TPopupList* Replacement) : Saved(GetPopupList()) { SetPopupList(Replacement); }
  ~TPopupListSwap() { SetPopupList(Saved); }
};

}  // namespace

TPopupListKv* PopupListKv() {
  if (!FamilyPopupList && !FamilyPopupListDone) FamilyPopupList = new TPopupListKv();
  return FamilyPopupList;
}

// ---- TPopupInactiveFormKv ---------------------------------------------------------------------

TPopupInactiveFormKv::TPopupInactiveFormKv(TComponent* AOwner)
    : TForm(AOwner, 0), FCanvas(std::make_unique<TControlCanvas>()) {
  static_cast<TControlCanvas*>(FCanvas.get())->SetControl(this);
  SetBorderStyle(bsNone);
  SetPosition(poDesigned);
  SetFormStyle(fsStayOnTop);
  Perform(CM_PARENTBIDIMODECHANGED);
}

TPopupInactiveFormKv::~TPopupInactiveFormKv() = default;

void TPopupInactiveFormKv::SetDropShadow(bool Value) {
  if (FDropShadow == Value) return;
  FDropShadow = Value;
  if (HandleAllocated()) RecreateWnd();
}

void TPopupInactiveFormKv::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  Params.WindowClass.style |= CS_HREDRAW | CS_VREDRAW;
  SetDropShadowStyle(this, Params, FDropShadow);
  Params.ExStyle |= WS_EX_NOACTIVATE;
}

void TPopupInactiveFormKv::AdjustClientRect(TRect& Rect) {
  inherited::AdjustClientRect(Rect);
  Integer B = GetBorderWidth();
  Rect = TRect(Rect.Left + B, Rect.Top + B, Rect.Right - B, Rect.Bottom - B);
}

void TPopupInactiveFormKv::WMPaint(TWMPaint& Message) {
  FControlState << csCustomPaint;
  try {
    PaintHandler(Message);
  } catch (...) {
    FControlState >> csCustomPaint;
    throw;
  }
  FControlState >> csCustomPaint;
}

void TPopupInactiveFormKv::PaintWindow(HDC DC) {
  auto* C = static_cast<TControlCanvas*>(FCanvas.get());
  C->Lock();
  C->SetHandle(DC);
  try {
    Paint();
  } catch (...) {
    C->SetHandle(nullptr);
    C->Unlock();
    throw;
  }
  C->SetHandle(nullptr);
  C->Unlock();
}

void TPopupInactiveFormKv::Paint() {
  if (GetBorderWidth() == 0) return;
  FCanvas->RequiredState(TCanvasState{csHandleValid});
  TRect R = GetClientRect();
  RECT Outer{R.Left, R.Top, R.Right, R.Bottom};
  ::DrawEdge(FCanvas->GetHandle(), &Outer, BDR_RAISEDOUTER, BF_RECT);
  RECT Inner{R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1};
  ::DrawEdge(FCanvas->GetHandle(), &Inner, BDR_RAISEDINNER, BF_RECT);
}

void TPopupInactiveFormKv::WMMouseActivate(TMessage& Message) { Message.Result = MA_NOACTIVATE; }

void TPopupInactiveFormKv::WMKeyDown(TMessage& Message) {
  if (FMasterActionsControl && FMasterActionsControl->HandleAllocated()) {
    TDispatchScope Scope(this);
    SendMessageW(FMasterActionsControl->GetHandle(), Message.Msg, Message.WParam, Message.LParam);
    if (Scope.Deleted()) return;
  }
  inherited::Dispatch(&Message);
}

void TPopupInactiveFormKv::CMShowingChanged(TMessage&) {
  TDispatchScope Scope(this);
  if (FShowing) {
    DoShow();
    if (Scope.Deleted() || !FShowing || !FHandle) return;
    // Shown where it stands, never activated: the window underneath keeps the focus.
    SetWindowPos(FHandle, HWND_TOP, FLeft, FTop, FWidth, FHeight, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    FFormState << fsVisible;
  } else {
    DoHide();
    if (Scope.Deleted()) return;
    FFormState >> fsVisible;
    if (FHandle) ShowWindow(FHandle, SW_HIDE);
  }
}

// ---- Menus ------------------------------------------------------------------------------------

TPopupMenuKv::TPopupMenuKv(TComponent* AOwner) : TPopupMenu(AOwner) {
  if (TPopupListKv* List = PopupListKv()) List->Add(this);
}

TPopupMenuKv::~TPopupMenuKv() {
  if (FamilyPopupList) FamilyPopupList->Remove(this);
}

void TPopupMenuKv::Popup(Integer X, Integer Y) {
  TPopupListKv* List = PopupListKv();
  if (!List) {
    inherited::Popup(X, Y);
    return;
  }
  TPopupListSwap Swap(List);
  inherited::Popup(X, Y);
}

TMenuItemKv::TMenuItemKv(TComponent* AOwner) : TMenuItem(AOwner) {}

TMenuItemKv::TMenuItemKv(TComponent* AOwner, TMenuItem* AActualMenuItem) : TMenuItem(AOwner) {
  FActualMenuItem = AActualMenuItem;
}

void TMenuItemKv::Click() {
  TNotifyEvent Handler = GetOnClick();
  TDispatchScope Scope(this);
  SetOnClick(nullptr);
  try {
    inherited::Click();
  } catch (...) {
    if (!Scope.Deleted()) SetOnClick(Handler);
    throw;
  }
  if (Scope.Deleted()) return;
  if (FActualMenuItem) FActualMenuItem->SetChecked(GetChecked());
  SetOnClick(Handler);
  if (Handler) Handler(this);
}

// ---- TPopupListKv -----------------------------------------------------------------------------

TPopupListKv::TPopupListKv() {
  FHook = SetWindowsHookExW(WH_CBT, &TPopupListKv::CBTHookProc, nullptr, GetCurrentThreadId());
}

TPopupListKv::~TPopupListKv() {
  if (FHook) UnhookWindowsHookEx(FHook);
  FHook = nullptr;
  // Menu windows still open get their own procedures back.
  for (auto& E : FPopupMenuWins)
    if (IsWindow(E->PopupWindowHandle))
      SetWindowLongPtrW(E->PopupWindowHandle, GWLP_WNDPROC, LONG_PTR(E->OrgPopupWindowProc));
  FPopupMenuWins.clear();
  if (FamilyPopupList == this) FamilyPopupList = nullptr;
}

TPopupMenuWinKv* TPopupListKv::FindPopupMenuWin(HWND Window) const {
  for (auto& E : FPopupMenuWins)
    if (E->PopupWindowHandle == Window) return E.get();
  return nullptr;
}

TPopupMenuWinKv* TPopupListKv::FindMenu(HMENU Menu) const {
  for (auto& E : FPopupMenuWins)
    if (E->MenuHandle == Menu) return E.get();
  return nullptr;
}

void TPopupListKv::RemovePopupMenuWin(TPopupMenuWinKv* Entry) {
  auto It = std::find_if(FPopupMenuWins.begin(), FPopupMenuWins.end(),
                         [Entry](const std::unique_ptr<TPopupMenuWinKv>& E) { return E.get() == Entry; });
  if (It != FPopupMenuWins.end()) FPopupMenuWins.erase(It);
}

bool TPopupListKv::ClickItemWithoutClosing(Integer ItemID) {
  std::vector<TPopupMenu*> Menus(FMenus);
  for (TPopupMenu* M : Menus) {
    if (std::find(FMenus.begin(), FMenus.end(), M) == FMenus.end()) continue;
    TMenuItem* Item = M->FindItem(NativeUInt(Word(ItemID)), fkCommand);
    if (!Item) continue;
    auto* KvItem = dynamic_cast<TMenuItemKv*>(Item);
    if (!KvItem || KvItem->GetCloseMenuOnClick()) return false;
    KvItem->Click();
    return true;
  }
  return false;
}

void TPopupListKv::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_INITMENUPOPUP: {
      HMENU Menu = reinterpret_cast<HMENU>(Message.WParam);
      if (!FindMenu(Menu)) {
        FAddingMenuHandle = Menu;
        FGetPopupWindowHandle = true;
      }
      break;
    }
    case WM_ENTERIDLE:
      if (FGetPopupWindowHandle) {
        FGetPopupWindowHandle = false;
        HWND Window = reinterpret_cast<HWND>(Message.LParam);
        if (Window && IsWindow(Window) && !FindMenu(FAddingMenuHandle) && !FindPopupMenuWin(Window)) {
          auto Entry = std::make_unique<TPopupMenuWinKv>();
          Entry->MenuHandle = FAddingMenuHandle;
          Entry->PopupWindowHandle = Window;
          Entry->HookedPopupWindowProc = &TPopupListKv::PopupWindowProc;
          Entry->OrgPopupWindowProc =
              reinterpret_cast<WNDPROC>(SetWindowLongPtrW(Window, GWLP_WNDPROC, LONG_PTR(&TPopupListKv::PopupWindowProc)));
          FPopupMenuWins.push_back(std::move(Entry));
        }
      }
      break;
    case WM_MENUSELECT:
      if (TPopupMenuWinKv* Entry = FindMenu(reinterpret_cast<HMENU>(Message.LParam)))
        Entry->SelectedItemID = LOWORD(Message.WParam);
      break;
    default:
      break;
  }
  inherited::WndProc(Message);
}

LRESULT CALLBACK TPopupListKv::PopupWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  TPopupListKv* List = FamilyPopupList;
  TPopupMenuWinKv* Entry = List ? List->FindPopupMenuWin(Wnd) : nullptr;
  if (!Entry) return DefWindowProcW(Wnd, Msg, WParam, LParam);
  WNDPROC Org = Entry->OrgPopupWindowProc;
  try {
    switch (Msg) {
      case WM_DESTROY: {
        SetWindowLongPtrW(Wnd, GWLP_WNDPROC, LONG_PTR(Org));
        LRESULT R = CallWindowProcW(Org, Wnd, Msg, WParam, LParam);
        List->RemovePopupMenuWin(Entry);
        return R;
      }
      case WM_KEYDOWN:
        if (WParam == VK_RETURN && List->ClickItemWithoutClosing(Entry->SelectedItemID)) {
          InvalidateRect(Wnd, nullptr, FALSE);
          return 0;
        }
        break;
      case MN_BUTTONDOWN:
      case MN_DBLCLK: {
        UINT ID = GetMenuItemID(Entry->MenuHandle, Integer(WParam));
        if (ID != UINT(-1) && List->ClickItemWithoutClosing(Integer(ID))) {
          InvalidateRect(Wnd, nullptr, FALSE);
          return 0;
        }
        break;
      }
      default:
        break;
    }
  } catch (...) {
    // No exception crosses the system's menu loop.
    if (Application) Application->HandleException(List);
    return 0;
  }
  return CallWindowProcW(Org, Wnd, Msg, WParam, LParam);
}

LRESULT CALLBACK TPopupListKv::CBTHookProc(int Code, WPARAM WParam, LPARAM LParam) {
  TPopupListKv* List = FamilyPopupList;
  LRESULT R = CallNextHookEx(List ? List->FHook : nullptr, Code, WParam, LParam);
  if (Code == HCBT_DESTROYWND && List) {
    HWND Window = reinterpret_cast<HWND>(WParam);
    if (List->FindPopupMenuWin(Window)) SendMessageW(Window, WM_DESTROY, 0, 0);
  }
  return R;
}
