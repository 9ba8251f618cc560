#include "framework/menus/Menu.h"

#include <algorithm>

#include "framework/Forms.h"
#include "framework/ImgList.h"
#include "framework/stdctrls/StdTypes.h"
#include "framework/SysUtils.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/menus/MenuActionLink.h"

namespace {

void RebuildTree(TMenuItem* Item, void (*Rebuild)(TMenuItem*)) {
  Rebuild(Item);
  for (Integer I = 0; I < Item->GetCount(); ++I) RebuildTree(Item->GetItems(I), Rebuild);
}

TMenuItem* FindInTree(TMenuItem* Item, NativeUInt Value, TFindItemKind Kind) {
  for (Integer I = 0; I < Item->GetCount(); ++I) {
    TMenuItem* Sub = Item->GetItems(I);
    bool Match = Kind == fkCommand ? Sub->GetCommand() == Value
                                   : Sub->HandleAllocated() && NativeUInt(Sub->GetHandle()) == Value;
    if (Match) return Sub;
    if (TMenuItem* Found = FindInTree(Sub, Value, Kind)) return Found;
  }
  return nullptr;
}

void InitiateActions(TMenuItem* Item) {
  for (Integer I = 0; I < Item->GetCount(); ++I) {
    Item->GetItems(I)->InitiateAction();
    InitiateActions(Item->GetItems(I));
  }
}

void UpdateShortCutItems(TMenuItem* Item, TShortCut ShortCut) {
  for (Integer I = 0; I < Item->GetCount(); ++I) {
    TMenuItem* Sub = Item->GetItems(I);
    if (Sub->GetShortCut() == ShortCut) Sub->InitiateAction();
    UpdateShortCutItems(Sub, ShortCut);
  }
}

// A canvas over a DC the system lends for one message, with the menu font selected.
class TMenuCanvas {
 public:
  explicit TMenuCanvas(HDC DC) : FSaved(SaveDC(DC)), FDC(DC) {
    NONCLIENTMETRICSW NCM{};
    NCM.cbSize = sizeof(NCM);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(NCM), &NCM, 0)) {
      HFONT Font = CreateFontIndirectW(&NCM.lfMenuFont);
      FCanvas.GetFont()->SetHandle(Font);
      DeleteObject(Font);
    }
    FCanvas.SetHandle(DC);
  }
  ~TMenuCanvas() {
    FCanvas.SetHandle(nullptr);
    RestoreDC(FDC, FSaved);
  }
  TCanvas* operator->() { return &FCanvas; }
  TCanvas* Get() { return &FCanvas; }

 private:
  Integer FSaved;
  HDC FDC;
  TCanvas FCanvas;
};

// The framework's own list, which every popup menu joins, and the one in place now.
TPopupList* DefaultPopupList = nullptr;
TPopupList* CurrentPopupList = nullptr;
TPopupList* GetDefaultPopupList() {
  if (!DefaultPopupList) DefaultPopupList = new TPopupList();
  return DefaultPopupList;
}

}  // namespace

// ---- TMenu ------------------------------------------------------------------------------------

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner) {
  FItems = new TMenuItem(this);
  FItems->FMenu = this;
  FImageChangeLink = std::make_unique<TChangeLink>();
  FImageChangeLink->SetOnChange({this, &TMenu::ImageListChange});
}

TMenu::~TMenu() { Teardown(); }

PUBLISHED_DEF(TMenu) {
  PROP(AutoHotkeys).Default(maAutomatic);
  PROP(AutoLineReduction).Default(maAutomatic);
  PROP(Images);
  PROP(OwnerDraw).Default(false);
}

void TMenu::DestroyContents() {
  // The window must not destroy the menu bar with itself once the items are gone.
  if (FWindowHandle && IsWindow(FWindowHandle) && FItems->HandleAllocated() &&
      ::GetMenu(FWindowHandle) == FItems->GetHandle())
    ::SetMenu(FWindowHandle, nullptr);
  FWindowHandle = nullptr;
  if (FImages) FImages->UnRegisterChanges(FImageChangeLink.get());
  // The root first: it frees every item of the tree, and no menu is rebuilt as the owned ones go.
  delete FItems;
  FItems = nullptr;
  inherited::DestroyContents();
}

HMENU TMenu::GetHandle() { return FItems->GetHandle(); }

TMenuItem* TMenu::FindItem(NativeUInt Value, TFindItemKind Kind) {
  if (!FItems) return nullptr;
  if (Kind == fkShortCut) return FItems->FindShortCut(TShortCut(Value));
  if (Kind == fkHandle && FItems->HandleAllocated() && NativeUInt(FItems->GetHandle()) == Value) return FItems;
  return FindInTree(FItems, Value, Kind);
}

bool TMenu::DispatchCommand(Word ACommand) {
  TMenuItem* Item = FindItem(ACommand, fkCommand);
  if (!Item) return false;
  Item->Click();
  return true;
}

bool TMenu::DispatchPopup(HMENU AMenu) {
  TMenuItem* Item = FindItem(NativeUInt(AMenu), fkHandle);
  if (!Item) return false;
  if (Item != FItems) {
    Item->InitiateAction();
    InitiateActions(Item);
    // The sub-menu's item hears that it opens (it may fill the sub-menu now); no check toggling.
    if (Item->GetEnabled()) DoEvent(Item->GetOnClick(), Item);
  }
  return true;
}

bool TMenu::IsShortCut(Word Key, TShiftState Shift) { return IsShortCut(ShortCut(Key, Shift)); }

bool TMenu::IsShortCut(TShortCut ShortCut) {
  if (ShortCut == scNone || !FItems) return false;
  // The actions of the items with that shortcut decide now whether they are enabled.
  UpdateShortCutItems(FItems, ShortCut);
  TMenuItem* Item = FItems->FindShortCut(ShortCut);
  if (!Item) return false;
  Item->Click();
  return true;
}

void TMenu::SetWindowHandle(HWND Value) { FWindowHandle = Value; }

void TMenu::MenuChanged(TObject*, TMenuItem*, bool) {}

void TMenu::SetImages(TCustomImageList* Value) {
  if (FImages == Value) return;
  if (FImages) FImages->UnRegisterChanges(FImageChangeLink.get());
  FImages = Value;
  if (Value) {
    Value->RegisterChanges(FImageChangeLink.get());
    Value->FreeNotification(this);
  }
  ImageListChange(this);
}

void TMenu::Notification(TComponent* AComponent, TOperation Operation) {
  inherited::Notification(AComponent, Operation);
  // The entries drop the pictures of an image list that goes.
  if (Operation == opRemove && AComponent == FImages) {
    FImages = nullptr;
    ImageListChange(this);
  }
}

void TMenu::ImageListChange(TObject*) {
  if (!FItems) return;
  RebuildTree(FItems, [](TMenuItem* Item) { Item->RebuildHandle(); });
  MenuChanged(this, nullptr, true);
}

void TMenu::SetOwnerDraw(bool Value) {
  if (FOwnerDraw == Value) return;
  FOwnerDraw = Value;
  ImageListChange(this);
}

void TMenu::SetAutoLineReduction(TMenuAutoFlag Value) {
  if (FAutoLineReduction == Value) return;
  FAutoLineReduction = Value;
  ImageListChange(this);
}

void TMenu::GetChildren(TGetChildProc Proc, TComponent* Root) { FItems->GetChildren(Proc, Root); }

void TMenu::SetChildOrder(TComponent* Child, Integer Order) { FItems->SetChildOrder(Child, Order); }

bool TMenu::DrawItemMessage(DRAWITEMSTRUCT* DIS) {
  if (!DIS || DIS->CtlType != ODT_MENU) return false;
  TMenuItem* Item = FindItem(DIS->itemID, fkCommand);
  if (!Item) return false;
  TMenuCanvas Canvas(DIS->hDC);
  TRect R(DIS->rcItem.left, DIS->rcItem.top, DIS->rcItem.right, DIS->rcItem.bottom);
  if (Item->IsOwnerDraw()) {
    Item->DrawItem(Canvas.Get(), R, OwnerDrawStateFromODS(DIS->itemState));
    return true;
  }
  // Only the picture beside a system-drawn entry.
  TCustomImageList* Images = Item->GetImageList();
  if (Images && Item->GetImageIndex() >= 0)
    Images->Draw(Canvas.Get(), R.Left, R.Top + (R.Bottom - R.Top - Images->GetHeight()) / 2, Item->GetImageIndex(),
                 Item->GetEnabled());
  else if (Item->HasBitmap())
    Canvas->Draw(R.Left, R.Top + (R.Bottom - R.Top - Item->GetBitmap()->GetHeight()) / 2, Item->GetBitmap());
  return true;
}

bool TMenu::MeasureItemMessage(MEASUREITEMSTRUCT* MIS) {
  if (!MIS || MIS->CtlType != ODT_MENU) return false;
  TMenuItem* Item = FindItem(MIS->itemID, fkCommand);
  if (!Item) return false;
  HDC DC = GetDC(nullptr);
  Integer W = 0, H = 0;
  {
    TMenuCanvas Canvas(DC);
    if (Item->IsOwnerDraw()) {
      Item->MeasureItem(Canvas.Get(), W, H);
    } else if (TCustomImageList* Images = Item->GetImageList(); Images && Item->GetImageIndex() >= 0) {
      W = Images->GetWidth();
      H = Images->GetHeight();
    } else if (Item->HasBitmap()) {
      W = Item->GetBitmap()->GetWidth();
      H = Item->GetBitmap()->GetHeight();
    }
  }
  ReleaseDC(nullptr, DC);
  MIS->itemWidth = UINT(std::max(W, 0));
  MIS->itemHeight = UINT(std::max(H, 0));
  return true;
}

// ---- TMainMenu --------------------------------------------------------------------------------

PUBLISHED_DEF(TMainMenu) { PROP(AutoMerge).Default(false); }

void TMainMenu::MenuChanged(TObject* Sender, TMenuItem* Source, bool Rebuild) {
  if (GetWindowHandle() && IsWindow(GetWindowHandle()) && !GetComponentState().Contains(csDestroying))
    DrawMenuBar(GetWindowHandle());
  inherited::MenuChanged(Sender, Source, Rebuild);
}

// ---- TPopupMenu -------------------------------------------------------------------------------

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) { GetDefaultPopupList()->Add(this); }

TPopupMenu::~TPopupMenu() {
  if (DefaultPopupList) DefaultPopupList->Remove(this);
}

PUBLISHED_DEF(TPopupMenu) {
  PROP(Alignment).Default(paLeft);
  PROP(AutoPopup).Default(true);
  PROP(HelpContext).Default(0);
  PROP(MenuAnimation).Default(TMenuAnimation{});
  PROP(TrackButton).Default(tbRightButton);
  EVENT(OnClose);
  EVENT(OnPopup);
}

void TPopupMenu::DoPopup(TObject* Sender) { DoEvent(FOnPopup, Sender); }

void TPopupMenu::DoClose() { DoEvent(FOnClose, this); }

void TPopupMenu::Popup(Integer X, Integer Y) {
  TDispatchScope Scope(this);  // a handler may free the menu
  FPopupPoint = TPoint(X, Y);
  DoPopup(this);
  if (Scope.Deleted()) return;
  InitiateActions(GetItems());
  if (Scope.Deleted()) return;
  static const UINT Alignments[] = {TPM_LEFTALIGN, TPM_RIGHTALIGN, TPM_CENTERALIGN};
  UINT Flags = Alignments[FAlignment] | (FTrackButton == tbRightButton ? TPM_RIGHTBUTTON : TPM_LEFTBUTTON);
  if (FMenuAnimation.Contains(maNone)) Flags |= TPM_NOANIMATION;
  // The popup list in place now gets the menu's messages (a descendant list may stand in).
  TPopupList* List = GetPopupList();
  HWND Wnd = List->GetWindow();
  TrackPopupMenu(GetHandle(), Flags, X, Y, 0, Wnd, nullptr);
  // The chosen command was posted to the list's window: deliver it before returning, so the
  // click happens even when the caller frees the menu right after.
  MSG Msg;
  if (PeekMessageW(&Msg, Wnd, WM_COMMAND, WM_COMMAND, PM_REMOVE)) DispatchMessageW(&Msg);
  if (Scope.Deleted()) return;
  DoClose();
}

// ---- TPopupList -------------------------------------------------------------------------------

namespace {
const wchar_t PopupListClass[] = L"TPopupList";
}

TPopupList::TPopupList() = default;

TPopupList::~TPopupList() {
  if (FWindow) {
    SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);
    DestroyWindow(FWindow);
  }
  if (CurrentPopupList == this) CurrentPopupList = nullptr;
  if (DefaultPopupList == this) DefaultPopupList = nullptr;
}

void TPopupList::Add(TPopupMenu* Popup) {
  if (std::find(FMenus.begin(), FMenus.end(), Popup) == FMenus.end()) FMenus.push_back(Popup);
}

void TPopupList::Remove(TPopupMenu* Popup) { FMenus.erase(std::remove(FMenus.begin(), FMenus.end(), Popup), FMenus.end()); }

HWND TPopupList::GetWindow() {
  if (!FWindow) {
    static bool Registered = [] {
      WNDCLASSW WC{};
      WC.lpfnWndProc = DefWindowProcW;
      WC.hInstance = GetModuleHandleW(nullptr);
      WC.lpszClassName = PopupListClass;
      return RegisterClassW(&WC) != 0;
    }();
    (void)Registered;
    // A hidden top-level window: menus need a real owner window, not a message-only one.
    FWindow = CreateWindowExW(0, PopupListClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
    if (!FWindow) RaiseLastOSError();
    SetWindowLongPtrW(FWindow, GWLP_USERDATA, LONG_PTR(this));
    SetWindowLongPtrW(FWindow, GWLP_WNDPROC, LONG_PTR(&TPopupList::WindowProc));
  }
  return FWindow;
}

LRESULT CALLBACK TPopupList::WindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* List = reinterpret_cast<TPopupList*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
  if (!List) return DefWindowProcW(Wnd, Msg, WParam, LParam);
  TMessage M;
  M.Msg = Msg;
  M.WParam = WParam;
  M.LParam = LParam;
  try {
    List->WndProc(M);
  } catch (...) {
    // No exception crosses the system's menu loop.
    if (Application) Application->HandleException(List);
  }
  return M.Result;
}

void TPopupList::WndProc(TMessage& Message) {
  // The menus may change while a handler runs: work on a copy, skipping those that went.
  std::vector<TPopupMenu*> Menus(FMenus);
  auto Live = [this](TPopupMenu* M) { return std::find(FMenus.begin(), FMenus.end(), M) != FMenus.end(); };
  switch (Message.Msg) {
    case WM_COMMAND:
      for (TPopupMenu* M : Menus)
        if (Live(M) && M->DispatchCommand(LOWORD(Message.WParam))) return;
      break;
    case WM_INITMENUPOPUP:
      for (TPopupMenu* M : Menus)
        if (Live(M) && M->DispatchPopup(reinterpret_cast<HMENU>(Message.WParam))) return;
      break;
    case WM_MENUSELECT: {
      // The hint of the entry under the mouse or keyboard goes to the application.
      if (!Application) break;
      UINT Flags = HIWORD(Message.WParam);
      if (Flags == 0xFFFF && Message.LParam == 0) {
        Application->SetHint(String());  // the menu closed
        return;
      }
      TMenuItem* Item = nullptr;
      for (TPopupMenu* M : Menus) {
        if (!Live(M)) continue;
        if (Flags & MF_POPUP) {
          // The id is the position of an entry that opens a sub-menu.
          HMENU Sub = GetSubMenu(reinterpret_cast<HMENU>(Message.LParam), LOWORD(Message.WParam));
          Item = Sub ? M->FindItem(NativeUInt(Sub), fkHandle) : nullptr;
        } else {
          Item = M->FindItem(LOWORD(Message.WParam), fkCommand);
        }
        if (Item) break;
      }
      Application->SetHint(Item ? GetLongHint(Item->GetHint()) : String());
      return;
    }
    case WM_DRAWITEM:
      for (TPopupMenu* M : Menus)
        if (Live(M) && M->DrawItemMessage(reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam))) {
          Message.Result = TRUE;
          return;
        }
      break;
    case WM_MEASUREITEM:
      for (TPopupMenu* M : Menus)
        if (Live(M) && M->MeasureItemMessage(reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam))) {
          Message.Result = TRUE;
          return;
        }
      break;
    default:
      break;
  }
  Message.Result = DefWindowProcW(FWindow, Message.Msg, Message.WParam, Message.LParam);
}

TPopupList* GetPopupList() { return CurrentPopupList ? CurrentPopupList : GetDefaultPopupList(); }

void SetPopupList(TPopupList* Value) { CurrentPopupList = Value; }

// ---- Building menus in code -------------------------------------------------------------------

TMenuItem* NewItem(const String& ACaption, TShortCut AShortCut, bool AChecked, bool AEnabled,
                   const TNotifyEvent& AOnClick, Word HelpContext, const String& AName) {
  auto* Item = new TMenuItem(nullptr);
  Item->SetName(AName);
  Item->SetCaption(ACaption);
  Item->SetShortCut(AShortCut);
  Item->SetChecked(AChecked);
  Item->SetEnabled(AEnabled);
  Item->SetOnClick(AOnClick);
  Item->SetHelpContext(HelpContext);
  return Item;
}

TMenuItem* NewLine() {
  auto* Item = new TMenuItem(nullptr);
  Item->SetCaption(cLineCaption);
  return Item;
}

TMenuItem* NewSubMenu(const String& ACaption, Word HelpContext, const String& AName,
                      const std::vector<TMenuItem*>& AItems, bool AEnabled) {
  TMenuItem* Item = NewItem(ACaption, scNone, false, AEnabled, nullptr, HelpContext, AName);
  Item->Add(AItems);
  return Item;
}

namespace {
template <class T>
T* MakeMenu(TComponent* Owner, const String& AName, const std::vector<TMenuItem*>& Items) {
  auto* Menu = new T(Owner);
  try {
    Menu->SetName(AName);
    Menu->GetItems()->Add(Items);
  } catch (...) {
    delete Menu;
    throw;
  }
  return Menu;
}
}  // namespace

TMainMenu* NewMenu(TComponent* Owner, const String& AName, const std::vector<TMenuItem*>& Items) {
  return MakeMenu<TMainMenu>(Owner, AName, Items);
}

TPopupMenu* NewPopupMenu(TComponent* Owner, const String& AName, TPopupAlignment Alignment, bool AutoPopup,
                         const std::vector<TMenuItem*>& Items) {
  auto* Menu = MakeMenu<TPopupMenu>(Owner, AName, Items);
  Menu->SetAlignment(Alignment);
  Menu->SetAutoPopup(AutoPopup);
  return Menu;
}

void RegisterMenus() {
  RegisterClasses({TMenuItem::StaticClass(), TMainMenu::StaticClass(), TPopupMenu::StaticClass()});
}
