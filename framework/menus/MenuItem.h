#pragma once
// TMenuItem: one entry of a main or popup menu, and the sub-menu of the entries under it.
// Items are components (a form resource nests them inside their menu and parent item); each
// item with sub-items keeps a Win32 menu in step with them, rebuilt whenever one changes.

#include <memory>
#include <vector>

#include "framework/Types.h"
#include "framework/WinApi.h"
#include "framework/classes/Component.h"
#include "framework/controls/OwnerDrawState.h"
#include "framework/menus/ShortCut.h"

class TBasicAction;
class TBitmap;
class TCanvas;
class TChangeLink;
class TCustomImageList;
class TMenu;
class TMenuActionLink;

DECLARE_ENUM(TMenuBreak, mbNone, mbBreak, mbBarBreak)
// Whether hot keys (the & letters) and redundant separators are taken care of by the menu:
// maParent follows the parent item, the root follows its menu.
DECLARE_ENUM(TMenuItemAutoFlag, maAutomatic, maManual, maParent)
using TMenuAutoFlag = TMenuItemAutoFlag;

using TMenuDrawItemEvent = Closure<void(TObject* Sender, TCanvas* ACanvas, TRect ARect, bool Selected)>;
using TAdvancedMenuDrawItemEvent = Closure<void(TObject* Sender, TCanvas* ACanvas, TRect ARect, TOwnerDrawState State)>;
using TMenuMeasureItemEvent = Closure<void(TObject* Sender, TCanvas* ACanvas, Integer& Width, Integer& Height)>;

// The caption of a separator line.
extern const wchar_t* const cLineCaption;

class TMenuItem : public TComponent {
  DECLARE_CLASS(TMenuItem, TComponent)
 public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;

  // Toggles Checked when AutoCheck is on, then fires OnClick (or executes the action).
  virtual void Click();
  // Sub-items. Delete and Remove take the item out without freeing it; Clear frees them all.
  void Add(TMenuItem* Item);
  void Add(const std::vector<TMenuItem*>& AItems);
  void Insert(Integer Index, TMenuItem* Item);
  void Delete(Integer Index);
  void Remove(TMenuItem* Item);
  void Clear();
  Integer GetCount() const { return Integer(FItems.size()); }
  TMenuItem* GetItems(Integer Index) const;
  TMenuItem* operator[](Integer Index) const { return GetItems(Index); }
  Integer IndexOf(TMenuItem* Item) const;
  // The sub-item whose caption, without its & marks, is ACaption (ignoring case); null if none.
  TMenuItem* Find(const String& ACaption) const;
  TMenuItem* GetParent() const { return FParent; }
  Integer GetMenuIndex() const;
  void SetMenuIndex(Integer Value);
  // The menu the item belongs to (through its parents); null for a free-standing item.
  TMenu* GetParentMenu() const;
  // The id the item's WM_COMMAND carries; unique among all live items.
  Word GetCommand() const { return FCommand; }
  // The Win32 menu of the sub-items (made on first use).
  HMENU GetHandle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  bool IsLine() const;
  // The sub-item (at any depth) whose shortcut is ShortCut and that is enabled and visible.
  TMenuItem* FindShortCut(TShortCut ShortCut);
  // Owner drawing: the events when assigned, else a plain look of caption, picture and shortcut.
  virtual void DrawItem(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State);
  virtual void MeasureItem(TCanvas* ACanvas, Integer& Width, Integer& Height);
  // Whether the whole item is drawn by the program (its menu's OwnerDraw, or a draw event).
  bool IsOwnerDraw() const;
  // The image list that this item's ImageIndex refers to: its parent's SubMenuImages, else the menu's.
  TCustomImageList* GetImageList() const;
  void InitiateAction();

  String GetCaption() const { return FCaption; }
  void SetCaption(const String& Value);
  bool GetChecked() const { return FChecked; }
  void SetChecked(bool Value);
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value);
  bool GetDefault() const { return FDefault; }
  void SetDefault(bool Value);
  bool GetRadioItem() const { return FRadioItem; }
  void SetRadioItem(bool Value);
  Byte GetGroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(Byte Value);
  bool GetAutoCheck() const { return FAutoCheck; }
  void SetAutoCheck(bool Value) { FAutoCheck = Value; }
  TShortCut GetShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut Value);
  Integer GetImageIndex() const { return FImageIndex; }
  void SetImageIndex(Integer Value);
  TMenuBreak GetBreak() const { return FBreak; }
  void SetBreak(TMenuBreak Value);
  String GetHint() const { return FHint; }
  void SetHint(const String& Value) { FHint = Value; }
  Integer GetHelpContext() const { return FHelpContext; }
  void SetHelpContext(Integer Value) { FHelpContext = Value; }
  TMenuItemAutoFlag GetAutoHotkeys() const { return FAutoHotkeys; }
  void SetAutoHotkeys(TMenuItemAutoFlag Value) { FAutoHotkeys = Value; }
  TMenuItemAutoFlag GetAutoLineReduction() const { return FAutoLineReduction; }
  void SetAutoLineReduction(TMenuItemAutoFlag Value);
  // Whether redundant separators of this item's sub-menu are hidden, with maParent resolved.
  bool IsLineReduced() const;
  TBitmap* GetBitmap();
  void SetBitmap(TBitmap* Value);
  bool HasBitmap() const;
  TCustomImageList* GetSubMenuImages() const { return FSubMenuImages; }
  void SetSubMenuImages(TCustomImageList* Value);
  TBasicAction* GetAction() const;
  void SetAction(TBasicAction* Value);
  TMenuActionLink* GetActionLink() const { return FActionLink.get(); }

  TNotifyEvent GetOnClick() const { return FOnClick; }
  void SetOnClick(const TNotifyEvent& Value) { FOnClick = Value; }
  TMenuDrawItemEvent GetOnDrawItem() const { return FOnDrawItem; }
  void SetOnDrawItem(const TMenuDrawItemEvent& Value);
  TAdvancedMenuDrawItemEvent GetOnAdvancedDrawItem() const { return FOnAdvancedDrawItem; }
  void SetOnAdvancedDrawItem(const TAdvancedMenuDrawItemEvent& Value);
  TMenuMeasureItemEvent GetOnMeasureItem() const { return FOnMeasureItem; }
  void SetOnMeasureItem(const TMenuMeasureItemEvent& Value);

  // Streaming: sub-items are children of their item, top-level items of their menu.
  void GetChildren(TGetChildProc Proc, TComponent* Root) override;
  void SetChildOrder(TComponent* Child, Integer Order) override;
  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* Value) override;

  PUBLISHED_DECL(TMenuItem);

 protected:
  friend class TMenu;
  friend class TMenuActionLink;
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Frees the sub-items (whoever owns them) and leaves the parent.
  void DestroyContents() override;
  virtual void ActionChange(TObject* Sender, bool CheckDefaults);
  // Something shown changed: the parent's Win32 menu is rebuilt and the menu told.
  void MenuChanged(bool Rebuild);
  // Puts the visible sub-items into the Win32 menu again.
  void RebuildHandle();
  // Unchecks the other checked radio items of the group.
  void TurnSiblingsOff();
  bool IsCheckedStored() const;
  bool IsCaptionStored() const;
  bool IsEnabledStored() const;
  bool IsHintStored() const;
  bool IsShortCutStored() const;
  bool IsVisibleStored() const;

  TMenu* FMenu = nullptr;  // set on the root item of a menu only

 private:
  void ImagesChanged(TObject* Sender);
  void InsertItem(Integer Index, TMenuItem* Item);
  void AppendTo(HMENU Menu);

  String FCaption, FHint;
  bool FChecked = false, FEnabled = true, FVisible = true, FDefault = false, FRadioItem = false;
  bool FAutoCheck = false;
  Byte FGroupIndex = 0;
  TShortCut FShortCut = 0;
  Integer FImageIndex = -1;
  Integer FHelpContext = 0;
  TMenuBreak FBreak = mbNone;
  TMenuItemAutoFlag FAutoHotkeys = maParent, FAutoLineReduction = maParent;
  Word FCommand = 0;
  HMENU FHandle = nullptr;
  TMenuItem* FParent = nullptr;
  std::vector<TMenuItem*> FItems;
  std::unique_ptr<TBitmap> FBitmap;
  TComponentRef<TCustomImageList> FSubMenuImages;
  std::unique_ptr<TChangeLink> FSubMenuImagesLink;
  std::unique_ptr<TMenuActionLink> FActionLink;
  TNotifyEvent FOnClick;
  TMenuDrawItemEvent FOnDrawItem;
  TAdvancedMenuDrawItemEvent FOnAdvancedDrawItem;
  TMenuMeasureItemEvent FOnMeasureItem;
};

using TMenuItemClass = TClassRef<TMenuItem>;

// The caption without its & marks ("&&" stands for one "&").
String StripHotkey(const String& Text);
