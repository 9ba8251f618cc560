#pragma once
// TMenu and its two kinds: TMainMenu, the menu bar of a form (the form's Menu), and TPopupMenu,
// shown at a point (Popup) or by a control's right click and context-menu key (AutoPopup).
// Popup menus send their commands to one hidden window, the popup list (PopupList), which finds
// the item by its command id; the pointer may be replaced by a descendant list.

#include <memory>
#include <vector>

#include "framework/Messages.h"
#include "framework/menus/MenuItem.h"

DECLARE_ENUM(TFindItemKind, fkCommand, fkHandle, fkShortCut)
DECLARE_ENUM(TPopupAlignment, paLeft, paRight, paCenter)
DECLARE_ENUM(TTrackButton, tbRightButton, tbLeftButton)
DECLARE_ENUM(TMenuAnimations, maLeftToRight, maRightToLeft, maTopToBottom, maBottomToTop, maNone)
using TMenuAnimation = Set<TMenuAnimations, 8>;

class TMenu : public TComponent {
  DECLARE_CLASS(TMenu, TComponent)
 public:
  explicit TMenu(TComponent* AOwner);
  ~TMenu() override;

  // The root item; its sub-items are the menu's entries.
  TMenuItem* GetItems() const { return FItems; }
  virtual HMENU GetHandle();
  // The item with that command id, Win32 menu or shortcut (enabled and visible); null if none.
  TMenuItem* FindItem(NativeUInt Value, TFindItemKind Kind);
  // Fires the item of that command id; false when the menu has none.
  bool DispatchCommand(Word ACommand);
  // A sub-menu is about to open: the item that owns it is clicked (it may fill it now).
  bool DispatchPopup(HMENU AMenu);
  // Fires the item whose shortcut the key message carries (Key with the current shift keys).
  virtual bool IsShortCut(Word Key, TShiftState Shift);
  bool IsShortCut(TShortCut ShortCut);
  // The window the menu is shown in (the form of a main menu); its menu changes redraw it.
  HWND GetWindowHandle() const { return FWindowHandle; }
  void SetWindowHandle(HWND Value);
  // Owner drawing: the item's draw and measure for WM_DRAWITEM/WM_MEASUREITEM of ODT_MENU.
  bool DrawItemMessage(DRAWITEMSTRUCT* DIS);
  bool MeasureItemMessage(MEASUREITEMSTRUCT* MIS);

  TCustomImageList* GetImages() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  bool GetOwnerDraw() const { return FOwnerDraw; }
  void SetOwnerDraw(bool Value);
  TMenuAutoFlag GetAutoHotkeys() const { return FAutoHotkeys; }
  void SetAutoHotkeys(TMenuAutoFlag Value) { FAutoHotkeys = Value; }
  TMenuAutoFlag GetAutoLineReduction() const { return FAutoLineReduction; }
  void SetAutoLineReduction(TMenuAutoFlag Value);

  void GetChildren(TGetChildProc Proc, TComponent* Root) override;
  void SetChildOrder(TComponent* Child, Integer Order) override;

  PUBLISHED_DECL(TMenu);

 protected:
  friend class TMenuItem;
  // Something in the items changed: the window showing the menu is told.
  virtual void MenuChanged(TObject* Sender, TMenuItem* Source, bool Rebuild);
  void DestroyContents() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // The Win32 menu kind of the root: a bar for main menus, a drop-down for popups.
  virtual bool IsPopupMenu() const { return true; }
  void ImageListChange(TObject* Sender);

 private:
  TMenuItem* FItems = nullptr;  // owned through the component list
  HWND FWindowHandle = nullptr;
  TComponentRef<TCustomImageList> FImages;
  std::unique_ptr<TChangeLink> FImageChangeLink;
  bool FOwnerDraw = false;
  TMenuAutoFlag FAutoHotkeys = maAutomatic, FAutoLineReduction = maAutomatic;
};

class TMainMenu : public TMenu {
  DECLARE_CLASS(TMainMenu, TMenu)
 public:
  explicit TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}
  bool GetAutoMerge() const { return FAutoMerge; }
  void SetAutoMerge(bool Value) { FAutoMerge = Value; }

  PUBLISHED_DECL(TMainMenu);

 protected:
  void MenuChanged(TObject* Sender, TMenuItem* Source, bool Rebuild) override;
  bool IsPopupMenu() const override { return false; }

 private:
  bool FAutoMerge = false;
};

class TPopupMenu : public TMenu {
  DECLARE_CLASS(TPopupMenu, TMenu)
 public:
  explicit TPopupMenu(TComponent* AOwner);
  ~TPopupMenu() override;

  // Shows the menu at a screen point and returns when it closes; the chosen item's OnClick has
  // fired by then.
  virtual void Popup(Integer X, Integer Y);
  // The point where the menu last popped up, in screen coordinates.
  TPoint GetPopupPoint() const { return FPopupPoint; }
  bool GetAutoPopup() const { return FAutoPopup; }
  void SetAutoPopup(bool Value) { FAutoPopup = Value; }
  TComponent* GetPopupComponent() const { return FPopupComponent; }
  void SetPopupComponent(TComponent* Value) { FPopupComponent = Value; }
  TPopupAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TPopupAlignment Value) { FAlignment = Value; }
  TTrackButton GetTrackButton() const { return FTrackButton; }
  void SetTrackButton(TTrackButton Value) { FTrackButton = Value; }
  TMenuAnimation GetMenuAnimation() const { return FMenuAnimation; }
  void SetMenuAnimation(TMenuAnimation Value) { FMenuAnimation = Value; }
  Integer GetHelpContext() const { return FHelpContext; }
  void SetHelpContext(Integer Value) { FHelpContext = Value; }
  TNotifyEvent GetOnPopup() const { return FOnPopup; }
  void SetOnPopup(const TNotifyEvent& Value) { FOnPopup = Value; }
  TNotifyEvent GetOnClose() const { return FOnClose; }
  void SetOnClose(const TNotifyEvent& Value) { FOnClose = Value; }

  PUBLISHED_DECL(TPopupMenu);

 protected:
  virtual void DoPopup(TObject* Sender);
  virtual void DoClose();

 private:
  TPoint FPopupPoint{-1, -1};
  bool FAutoPopup = true;
  TComponentRef<TComponent> FPopupComponent;
  TPopupAlignment FAlignment = paLeft;
  TTrackButton FTrackButton = tbRightButton;
  TMenuAnimation FMenuAnimation;
  Integer FHelpContext = 0;
  TNotifyEvent FOnPopup, FOnClose;
};

// The hidden window that receives the commands, selection and drawing messages of popup menus.
class TPopupList : public TObject {
  DECLARE_CLASS(TPopupList, TObject)
 public:
  TPopupList();
  ~TPopupList() override;
  void Add(TPopupMenu* Popup);
  void Remove(TPopupMenu* Popup);
  Integer GetCount() const { return Integer(FMenus.size()); }
  TPopupMenu* GetItems(Integer Index) const { return FMenus.at(Index); }
  HWND GetWindow();

 protected:
  // Routes WM_COMMAND to the item of that id, WM_INITMENUPOPUP to the sub-menu's item,
  // WM_MENUSELECT to the application's hint, WM_DRAWITEM/WM_MEASUREITEM to owner drawing.
  virtual void WndProc(TMessage& Message);
  std::vector<TPopupMenu*> FMenus;

 private:
  static LRESULT CALLBACK WindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  HWND FWindow = nullptr;
};

// The popup list that Popup hands the menu's messages to, read at the time of each Popup. The
// framework's own list (which every popup menu joins) is made on first use and never freed, so a
// menu freed late still finds it; a replacement is owned by whoever set it, and null puts the
// framework's own back.
TPopupList* GetPopupList();
void SetPopupList(TPopupList* Value);

// Menus built in code.
TMenuItem* NewItem(const String& ACaption, TShortCut AShortCut, bool AChecked, bool AEnabled,
                   const TNotifyEvent& AOnClick, Word HelpContext, const String& AName);
TMenuItem* NewLine();
TMenuItem* NewSubMenu(const String& ACaption, Word HelpContext, const String& AName,
                      const std::vector<TMenuItem*>& AItems, bool AEnabled = true);
TMainMenu* NewMenu(TComponent* Owner, const String& AName, const std::vector<TMenuItem*>& Items);
TPopupMenu* NewPopupMenu(TComponent* Owner, const String& AName, TPopupAlignment Alignment, bool AutoPopup,
                         const std::vector<TMenuItem*>& Items);

// Registers the menu classes for form resources.
void RegisterMenus();
