#pragma once
// The window plumbing of the family's popups (part of the unit ToolCtrlsKv): a borderless
// stay-on-top form that never takes activation or the focus, so the edit under it keeps typing,
// and popup menus some of whose items can be clicked without closing the menu.

#include <memory>
#include <vector>

#include "framework/Forms.h"
#include "framework/Menus.h"

// A popup window that floats over an edit without ever becoming active: clicking it leaves the
// activation where it was, and key presses that reach it anyway are sent on to
// MasterActionsControl as well. Created without a form resource.
class TPopupInactiveFormKv : public TForm {
  DECLARE_CLASS(TPopupInactiveFormKv, TForm)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_MOUSEACTIVATE, TMessage, WMMouseActivate)
    MESSAGE_HANDLER(WM_KEYDOWN, TMessage, WMKeyDown)
    MESSAGE_HANDLER(WM_SYSKEYDOWN, TMessage, WMKeyDown)
    MESSAGE_HANDLER(CM_SHOWINGCHANGED, TMessage, CMShowingChanged)
    MESSAGE_HANDLER(WM_PAINT, TWMPaint, WMPaint)
  END_MESSAGE_MAP

 public:
  explicit TPopupInactiveFormKv(TComponent* AOwner);
  ~TPopupInactiveFormKv() override;

  // Shows the window where it stands without activating it.
  void Show() { SetVisible(true); }
  bool CanFocus() override { return false; }
  // 2 with a border, 0 without.
  Integer GetBorderWidth() const { return FBorderStyle == bsNone ? 0 : 2; }

  bool GetDropShadow() const { return FDropShadow; }
  void SetDropShadow(bool Value);
  TWinControl* GetMasterActionsControl() const { return FMasterActionsControl; }
  void SetMasterActionsControl(TWinControl* Value) { FMasterActionsControl = Value; }
  TWinControl* GetMasterFocusControl() const { return FMasterFocusControl; }
  void SetMasterFocusControl(TWinControl* Value) { FMasterFocusControl = Value; }
  TCanvas* GetCanvas() const { return FCanvas.get(); }

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AdjustClientRect(TRect& Rect) override;
  void PaintWindow(HDC DC) override;
  // With a border: a raised outer edge and a raised inner edge one pixel inside.
  virtual void Paint();

  void WMMouseActivate(TMessage& Message);
  void WMKeyDown(TMessage& Message);
  void CMShowingChanged(TMessage& Message);
  void WMPaint(TWMPaint& Message);

 private:
  bool FDropShadow = true;
  TComponentRef<TWinControl> FMasterActionsControl;
  TComponentRef<TWinControl> FMasterFocusControl;
  std::unique_ptr<TCanvas> FCanvas;
};

class TPopupListKv;

// A popup menu that pops up through the family's popup list, so its TMenuItemKv items can stay
// open when clicked.
class TPopupMenuKv : public TPopupMenu {
  DECLARE_CLASS(TPopupMenuKv, TPopupMenu)
 public:
  explicit TPopupMenuKv(TComponent* AOwner);
  ~TPopupMenuKv() override;
  // The family's popup list stands in for the framework's while the menu is up.
  void Popup(Integer X, Integer Y) override;
};

// A menu item that can leave its menu open when clicked (CloseMenuOnClick false, in a
// TPopupMenuKv) and mirrors its Checked state into ActualMenuItem.
class TMenuItemKv : public TMenuItem {
  DECLARE_CLASS(TMenuItemKv, TMenuItem)
 public:
  explicit TMenuItemKv(TComponent* AOwner);
  TMenuItemKv(TComponent* AOwner, TMenuItem* AActualMenuItem);
  // The framework's click (check toggling and the like) first, then the Checked state to
  // ActualMenuItem, then OnClick: the handler sees the item toggled.
  void Click() override;

  bool GetCloseMenuOnClick() const { return FCloseMenuOnClick; }
  void SetCloseMenuOnClick(bool Value) { FCloseMenuOnClick = Value; }
  TMenuItem* GetActualMenuItem() const { return FActualMenuItem; }
  void SetActualMenuItem(TMenuItem* Value) { FActualMenuItem = Value; }

 private:
  bool FCloseMenuOnClick = true;
  TComponentRef<TMenuItem> FActualMenuItem;
};

// One open popup-menu window of the family's popup list, subclassed while it lives.
class TPopupMenuWinKv : public TObject {
  DECLARE_CLASS(TPopupMenuWinKv, TObject)
 public:
  HMENU MenuHandle = nullptr;
  HWND PopupWindowHandle = nullptr;
  WNDPROC OrgPopupWindowProc = nullptr;
  WNDPROC HookedPopupWindowProc = nullptr;
  Integer SelectedItemID = 0;
};

// The family's popup list: the framework's hidden menu window, plus the tracking of the menu
// windows that open, which it subclasses to click a stay-open item on Enter or a mouse press
// without closing the menu. It keeps a CBT hook on its thread while it lives, to clean up after a
// menu window that is destroyed.
class TPopupListKv : public TPopupList {
  DECLARE_CLASS(TPopupListKv, TPopupList)
 public:
  TPopupListKv();
  ~TPopupListKv() override;

  // Clicks the item with the command identifier in the list's menus when it is a TMenuItemKv
  // that stays open; true when it did.
  bool ClickItemWithoutClosing(Integer ItemID);
  bool GetGetPopupWindowHandle() const { return FGetPopupWindowHandle; }
  Integer GetPopupMenuWinCount() const { return Integer(FPopupMenuWins.size()); }
  TPopupMenuWinKv* GetPopupMenuWin(Integer Index) const { return FPopupMenuWins.at(size_t(Index)).get(); }
  TPopupMenuWinKv* FindPopupMenuWin(HWND Window) const;
  TPopupMenuWinKv* FindMenu(HMENU Menu) const;

 protected:
  void WndProc(TMessage& Message) override;

 private:
  static LRESULT CALLBACK PopupWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  static LRESULT CALLBACK CBTHookProc(int Code, WPARAM WParam, LPARAM LParam);
  void RemovePopupMenuWin(TPopupMenuWinKv* Entry);

  bool FGetPopupWindowHandle = false;
  std::vector<std::unique_ptr<TPopupMenuWinKv>> FPopupMenuWins;
  HMENU FAddingMenuHandle = nullptr;
  HHOOK FHook = nullptr;
};

// The family's one popup list, made on first use and freed when the program ends (nil after).
TPopupListKv* PopupListKv();
