#include "framework/menus/MenuItem.h"

#include <algorithm>

#include "framework/ImgList.h"
#include "framework/SysUtils.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/menus/Menu.h"
#include "framework/menus/MenuActionLink.h"
#include "framework/themes/StyleManager.h"

const wchar_t* const cLineCaption = L"-";

namespace {

// Command ids of the live items. The ids stay below the system's own commands (0xF000 up), and
// a freed item's id goes back to the pool.
constexpr Word FirstCommand = 1, LastCommand = 0xEFFF;
std::vector<bool>& CommandPool() {
  static auto* Pool = new std::vector<bool>(LastCommand + 1);
  return *Pool;
}
Word NextCommand = 0;

Word UniqueCommand() {
  auto& Pool = CommandPool();
  for (Integer I = FirstCommand; I <= LastCommand; ++I) {
    NextCommand = NextCommand >= LastCommand ? FirstCommand : Word(NextCommand + 1);
    if (!Pool[NextCommand]) {
      Pool[NextCommand] = true;
      return NextCommand;
    }
  }
  throw EMenuError(L"Too many menu items");
}

void ReleaseCommand(Word Command) {
  if (Command >= FirstCommand && Command <= LastCommand) CommandPool()[Command] = false;
}

}  // namespace

String StripHotkey(const String& Text) {
  String R;
  R.reserve(Text.size());
  for (size_t I = 0; I < Text.size(); ++I) {
    if (Text[I] == L'&') {
      if (I + 1 < Text.size() && Text[I + 1] == L'&') {
        R += L'&';
        ++I;
      }
      continue;
    }
    R += Text[I];
  }
  return R;
}

// ---- TMenuItem --------------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), FCommand(UniqueCommand()) {}

TMenuItem::~TMenuItem() {
  Teardown();
  if (FHandle) DestroyMenu(FHandle);
  ReleaseCommand(FCommand);
}

PUBLISHED_DEF(TMenuItem) {
  PROP(Action);
  PROP(AutoCheck).Default(false);
  PROP(AutoHotkeys).Default(maParent);
  PROP(AutoLineReduction).Default(maParent);
  PROP(Bitmap).Stored(&TMenuItem::HasBitmap);
  PROP(Break).Default(mbNone);
  PROP(Caption).Stored(&TMenuItem::IsCaptionStored);
  PROP(Checked).Stored(&TMenuItem::IsCheckedStored).Default(false);
  PROP(SubMenuImages);
  PROP(Default).Default(false);
  PROP(Enabled).Stored(&TMenuItem::IsEnabledStored).Default(true);
  PROP(GroupIndex).Default(0);
  PROP(HelpContext).Default(0);
  PROP(Hint).Stored(&TMenuItem::IsHintStored);
  PROP(ImageIndex).Default(-1);
  PROP(RadioItem).Default(false);
  PROP(ShortCut).Stored(&TMenuItem::IsShortCutStored).Default(0);
  PROP(Visible).Stored(&TMenuItem::IsVisibleStored).Default(true);
  EVENT(OnClick);
  EVENT(OnDrawItem);
  EVENT(OnAdvancedDrawItem);
  EVENT(OnMeasureItem);
}

void TMenuItem::DestroyContents() {
  // Sub-items go with their item, whoever owns them; their sub-menus leave this one first.
  if (FHandle)
    while (GetMenuItemCount(FHandle) > 0) RemoveMenu(FHandle, 0, MF_BYPOSITION);
  while (!FItems.empty()) {
    TMenuItem* Item = FItems.back();
    FItems.pop_back();
    Item->FParent = nullptr;
    delete Item;
  }
  if (FParent && FParent->IndexOf(this) >= 0) FParent->Remove(this);
  FActionLink.reset();
  FSubMenuImagesLink.reset();
  inherited::DestroyContents();
}

void TMenuItem::Loaded() {
  inherited::Loaded();
  if (FActionLink) ActionChange(FActionLink->GetAction(), true);
}

// ---- Sub-items --------------------------------------------------------------------------------

TMenuItem* TMenuItem::GetItems(Integer Index) const {
  if (Index < 0 || Index >= GetCount()) throw EMenuError(L"Menu index out of range");
  return FItems[Index];
}

Integer TMenuItem::IndexOf(TMenuItem* Item) const {
  auto It = std::find(FItems.begin(), FItems.end(), Item);
  return It == FItems.end() ? -1 : Integer(It - FItems.begin());
}

void TMenuItem::Add(TMenuItem* Item) { Insert(GetCount(), Item); }

void TMenuItem::Add(const std::vector<TMenuItem*>& AItems) {
  for (TMenuItem* Item : AItems) Add(Item);
}

void TMenuItem::Insert(Integer Index, TMenuItem* Item) {
  if (!Item) return;
  if (Item->FParent) throw EMenuError(L"Menu inserted twice");
  if (Index < 0 || Index > GetCount()) throw EMenuError(L"Menu index out of range");
  for (TMenuItem* P = this; P; P = P->FParent)
    if (P == Item) throw EMenuError(L"Sub-menu is in menu");
  InsertItem(Index, Item);
}

void TMenuItem::InsertItem(Integer Index, TMenuItem* Item) {
  FItems.insert(FItems.begin() + Index, Item);
  Item->FParent = this;
  // A checked radio item joining a group wins over the checked one there.
  if (Item->FRadioItem && Item->FChecked) Item->TurnSiblingsOff();
  bool HadHandle = FHandle != nullptr;
  if (FHandle) RebuildHandle();
  // The first sub-item turns a plain entry into a sub-menu: the parent shows the arrow now.
  if (!HadHandle && FParent && FParent->FHandle) FParent->RebuildHandle();
  if (TMenu* M = GetParentMenu()) M->MenuChanged(this, Item, true);
}

void TMenuItem::Delete(Integer Index) {
  TMenuItem* Item = GetItems(Index);
  FItems.erase(FItems.begin() + Index);
  Item->FParent = nullptr;
  if (FHandle) {
    if (FItems.empty() && FParent) {
      // The last sub-item gone: the entry is a plain one again.
      HMENU Old = FHandle;
      FHandle = nullptr;
      if (FParent->FHandle) FParent->RebuildHandle();
      DestroyMenu(Old);
    } else {
      RebuildHandle();
    }
  }
  TMenu* M = GetParentMenu();
  if (M && !M->GetComponentState().Contains(csDestroying)) M->MenuChanged(this, nullptr, true);
}

void TMenuItem::Remove(TMenuItem* Item) {
  Integer I = IndexOf(Item);
  if (I < 0) throw EMenuError(L"Sub-menu is not in menu");
  Delete(I);
}

void TMenuItem::Clear() {
  while (!FItems.empty()) delete FItems.back();  // each leaves this item as it goes
}

TMenuItem* TMenuItem::Find(const String& ACaption) const {
  String Wanted = StripHotkey(ACaption);
  for (TMenuItem* Item : FItems)
    if (AnsiSameText(StripHotkey(Item->FCaption), Wanted)) return Item;
  return nullptr;
}

Integer TMenuItem::GetMenuIndex() const { return FParent ? FParent->IndexOf(const_cast<TMenuItem*>(this)) : -1; }

void TMenuItem::SetMenuIndex(Integer Value) {
  if (!FParent) return;
  TMenuItem* P = FParent;
  Integer Cur = GetMenuIndex();
  Value = std::clamp(Value, 0, P->GetCount() - 1);
  if (Value == Cur) return;
  P->FItems.erase(P->FItems.begin() + Cur);
  P->FItems.insert(P->FItems.begin() + Value, this);
  MenuChanged(true);
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* Item = this;
  while (Item->FParent) Item = Item->FParent;
  return Item->FMenu;
}

TMenuItem* TMenuItem::FindShortCut(TShortCut ShortCut) {
  for (TMenuItem* Item : FItems) {
    if (!Item->FVisible) continue;
    if (Item->FShortCut == ShortCut && Item->FEnabled) return Item;
    if (Item->FEnabled && !Item->FItems.empty())
      if (TMenuItem* Found = Item->FindShortCut(ShortCut)) return Found;
  }
  return nullptr;
}

bool TMenuItem::IsLine() const { return FCaption == cLineCaption; }

// ---- Streaming --------------------------------------------------------------------------------

void TMenuItem::GetChildren(TGetChildProc Proc, TComponent* Root) {
  for (TMenuItem* Item : FItems)
    if (Item->GetOwner() == Root) Proc(Item);
}

void TMenuItem::SetChildOrder(TComponent* Child, Integer Order) {
  if (auto* Item = dynamic_cast<TMenuItem*>(Child); Item && Item->FParent == this) Item->SetMenuIndex(Order);
}

TComponent* TMenuItem::GetParentComponent() const {
  if (FParent && FParent->FMenu) return FParent->FMenu;
  return FParent;
}

void TMenuItem::SetParentComponent(TComponent* Value) {
  if (FParent) FParent->Remove(this);
  if (auto* M = dynamic_cast<TMenu*>(Value))
    M->GetItems()->Add(this);
  else if (auto* Item = dynamic_cast<TMenuItem*>(Value))
    Item->Add(this);
}

// ---- Properties -------------------------------------------------------------------------------

void TMenuItem::SetCaption(const String& Value) {
  if (FCaption == Value) return;
  FCaption = Value;
  MenuChanged(true);
}

void TMenuItem::SetChecked(bool Value) {
  if (FChecked == Value) return;
  FChecked = Value;
  if (Value && FRadioItem) TurnSiblingsOff();
  MenuChanged(true);
}

void TMenuItem::TurnSiblingsOff() {
  if (!FParent) return;
  for (TMenuItem* Item : FParent->FItems)
    if (Item != this && Item->FRadioItem && Item->FGroupIndex == FGroupIndex) Item->FChecked = false;
}

void TMenuItem::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  MenuChanged(true);
}

void TMenuItem::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  MenuChanged(true);
}

void TMenuItem::SetDefault(bool Value) {
  if (FDefault == Value) return;
  // One default item per sub-menu.
  if (Value && FParent)
    for (TMenuItem* Item : FParent->FItems) Item->FDefault = false;
  FDefault = Value;
  MenuChanged(true);
}

void TMenuItem::SetRadioItem(bool Value) {
  if (FRadioItem == Value) return;
  FRadioItem = Value;
  if (FChecked && FRadioItem) TurnSiblingsOff();
  MenuChanged(true);
}

void TMenuItem::SetGroupIndex(Byte Value) {
  if (FGroupIndex == Value) return;
  FGroupIndex = Value;
  if (FChecked && FRadioItem) TurnSiblingsOff();
  MenuChanged(true);
}

void TMenuItem::SetShortCut(TShortCut Value) {
  if (FShortCut == Value) return;
  FShortCut = Value;
  MenuChanged(true);
}

void TMenuItem::SetImageIndex(Integer Value) {
  if (FImageIndex == Value) return;
  FImageIndex = Value;
  MenuChanged(true);
}

void TMenuItem::SetBreak(TMenuBreak Value) {
  if (FBreak == Value) return;
  FBreak = Value;
  MenuChanged(true);
}

void TMenuItem::SetAutoLineReduction(TMenuItemAutoFlag Value) {
  if (FAutoLineReduction == Value) return;
  FAutoLineReduction = Value;
  if (FHandle) RebuildHandle();
}

bool TMenuItem::IsLineReduced() const {
  for (const TMenuItem* Item = this; Item; Item = Item->FParent) {
    if (Item->FAutoLineReduction != maParent) return Item->FAutoLineReduction == maAutomatic;
    if (Item->FMenu) return Item->FMenu->GetAutoLineReduction() == maAutomatic;
  }
  return true;
}

TBitmap* TMenuItem::GetBitmap() {
  if (!FBitmap) {
    FBitmap = std::make_unique<TBitmap>();
    FBitmap->SetOnChange([this](TObject*) { MenuChanged(true); });
  }
  return FBitmap.get();
}

void TMenuItem::SetBitmap(TBitmap* Value) {
  if (Value)
    GetBitmap()->Assign(Value);
  else if (FBitmap)
    FBitmap.reset(), MenuChanged(true);
}

bool TMenuItem::HasBitmap() const { return FBitmap && !FBitmap->GetEmpty(); }

void TMenuItem::SetSubMenuImages(TCustomImageList* Value) {
  if (FSubMenuImages == Value) return;
  if (!FSubMenuImagesLink) {
    FSubMenuImagesLink = std::make_unique<TChangeLink>();
    FSubMenuImagesLink->SetOnChange({this, &TMenuItem::ImagesChanged});
  }
  if (FSubMenuImages) FSubMenuImages->UnRegisterChanges(FSubMenuImagesLink.get());
  FSubMenuImages = Value;
  if (Value) {
    Value->RegisterChanges(FSubMenuImagesLink.get());
    Value->FreeNotification(this);
  }
  ImagesChanged(this);
}

void TMenuItem::Notification(TComponent* AComponent, TOperation Operation) {
  inherited::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FSubMenuImages) {
    FSubMenuImages = nullptr;
    ImagesChanged(this);
  }
}

void TMenuItem::ImagesChanged(TObject*) {
  if (FHandle) RebuildHandle();
  if (TMenu* M = GetParentMenu()) M->MenuChanged(this, this, true);
}

TCustomImageList* TMenuItem::GetImageList() const {
  if (FParent && FParent->FSubMenuImages) return FParent->FSubMenuImages;
  TMenu* M = GetParentMenu();
  return M ? M->GetImages() : nullptr;
}

bool TMenuItem::IsOwnerDraw() const {
  if (FOnDrawItem || FOnAdvancedDrawItem || FOnMeasureItem) return true;
  // A custom style draws every entry itself: the system would draw them in its own colours.
  if (TStyleManager::IsCustomStyleActive()) return true;
  TMenu* M = GetParentMenu();
  return M && M->GetOwnerDraw();
}

void TMenuItem::SetOnDrawItem(const TMenuDrawItemEvent& Value) {
  FOnDrawItem = Value;
  MenuChanged(true);
}
void TMenuItem::SetOnAdvancedDrawItem(const TAdvancedMenuDrawItemEvent& Value) {
  FOnAdvancedDrawItem = Value;
  MenuChanged(true);
}
void TMenuItem::SetOnMeasureItem(const TMenuMeasureItemEvent& Value) {
  FOnMeasureItem = Value;
  MenuChanged(true);
}

// ---- Actions ----------------------------------------------------------------------------------

TBasicAction* TMenuItem::GetAction() const { return FActionLink ? FActionLink->GetAction() : nullptr; }

void TMenuItem::SetAction(TBasicAction* Value) {
  if (!Value) {
    FActionLink.reset();
    return;
  }
  if (!FActionLink) FActionLink = std::make_unique<TMenuActionLink>(this);
  FActionLink->SetAction(Value);
  FActionLink->SetOnChange([this](TObject* Sender) { ActionChange(Sender, false); });
  ActionChange(Value, GetComponentState().Contains(csLoading));
}

void TMenuItem::ActionChange(TObject* Sender, bool CheckDefaults) {
  auto* A = dynamic_cast<TCustomAction*>(Sender);
  if (!A) return;
  if (!CheckDefaults || FCaption.empty()) SetCaption(A->GetCaption());
  if (!CheckDefaults || !FChecked) SetChecked(A->GetChecked());
  if (!CheckDefaults || FEnabled) SetEnabled(A->GetEnabled());
  if (!CheckDefaults || FHint.empty()) SetHint(A->GetHint());
  if (!CheckDefaults || FShortCut == scNone) SetShortCut(A->GetShortCut());
  if (!CheckDefaults || FVisible) SetVisible(A->GetVisible());
  if (!CheckDefaults || FImageIndex < 0) SetImageIndex(A->GetImageIndex());
  if (!CheckDefaults || !FAutoCheck) SetAutoCheck(A->GetAutoCheck());
  if (!CheckDefaults || !FOnClick) FOnClick = A->GetOnExecute();
}

void TMenuItem::InitiateAction() {
  if (FActionLink) FActionLink->Update();
}

bool TMenuItem::IsCaptionStored() const { return !FActionLink || !FActionLink->IsCaptionLinked(); }
bool TMenuItem::IsCheckedStored() const { return !FActionLink || !FActionLink->IsCheckedLinked(); }
bool TMenuItem::IsEnabledStored() const { return !FActionLink || !FActionLink->IsEnabledLinked(); }
bool TMenuItem::IsHintStored() const { return !FActionLink || !FActionLink->IsHintLinked(); }
bool TMenuItem::IsShortCutStored() const { return !FActionLink || !FActionLink->IsShortCutLinked(); }
bool TMenuItem::IsVisibleStored() const { return !FActionLink || !FActionLink->IsVisibleLinked(); }

// ---- Clicking ---------------------------------------------------------------------------------

void TMenuItem::Click() {
  if (!FEnabled) return;
  // A radio item is chosen, not toggled: clicking the checked one leaves it checked.
  if (FAutoCheck) SetChecked(FRadioItem ? true : !FChecked);
  TBasicAction* A = GetAction();
  if (FOnClick && (!A || FOnClick != A->GetOnExecute()))
    DoEvent(FOnClick, this);  // a copy: the handler may free the item
  else if (FActionLink)
    FActionLink->Execute(this);
}

// ---- The Win32 menu ---------------------------------------------------------------------------

namespace {
constexpr Integer ItemMargin = 4;

bool StyledMenus() { return TStyleManager::IsCustomStyleActive(); }

// A brush for each colour menus were given; menus keep them while they live, so they stay.
HBRUSH MenuBrush(TColor Color) {
  static std::vector<std::pair<TColor, HBRUSH>> Brushes;
  for (auto& [C, B] : Brushes)
    if (C == Color) return B;
  HBRUSH B = CreateSolidBrush(ColorToRGB(Color));
  Brushes.emplace_back(Color, B);
  return B;
}

void StyledCheckMark(HDC DC, const RECT& Box, bool Radio, TColor Color) {
  Integer Size = std::min(Box.right - Box.left, Box.bottom - Box.top) / 2;
  Integer X = (Box.left + Box.right) / 2, Y = (Box.top + Box.bottom) / 2;
  HPEN Pen = CreatePen(PS_SOLID, 2, ColorToRGB(Color));
  HBRUSH Brush = CreateSolidBrush(ColorToRGB(Color));
  HGDIOBJ OldPen = SelectObject(DC, Pen), OldBrush = SelectObject(DC, Brush);
  if (Radio) {
    Integer D = std::max<Integer>(2, Size / 2);
    Ellipse(DC, X - D, Y - D, X + D, Y + D);
  } else {
    POINT P[] = {{X - Size / 2, Y}, {X - Size / 6, Y + Size / 3}, {X + Size / 2, Y - Size / 3}};
    Polyline(DC, P, 3);
  }
  SelectObject(DC, OldPen);
  SelectObject(DC, OldBrush);
  DeleteObject(Pen);
  DeleteObject(Brush);
}
}  // namespace

namespace {
// The menu's background beyond its entries: the style's, or the system's again.
void SetMenuBackground(HMENU Menu, bool Bar) {
  MENUINFO MI{};
  MI.cbSize = sizeof(MI);
  MI.fMask = MIM_BACKGROUND;
  if (StyledMenus()) {
    TCustomStyleServices* S = StyleServices();
    TColor Back;
    if (!S->GetElementColor(S->GetElementDetails(Bar ? tmMenuBarBackgroundActive : tmPopupBackground), ecFillColor,
                            Back))
      Back = S->GetSystemColor(Bar ? clMenuBar : clMenu);
    MI.hbrBack = MenuBrush(Back);
  }
  SetMenuInfo(Menu, &MI);
}

bool IsOnMenuBar(TMenuItem* Item) {
  TMenu* M = Item->GetParentMenu();
  return dynamic_cast<TMainMenu*>(M) && Item->GetParent() == M->GetItems();
}

void StyledDrawItem(TMenuItem* Item, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State) {
  TCustomStyleServices* S = StyleServices();
  HDC DC = ACanvas->GetHandle();
  if (Item->IsLine()) {
    S->DrawElement(DC, S->GetElementDetails(tmPopupItemNormal), ARect);
    S->DrawElement(DC, S->GetElementDetails(tmPopupSeparator), ARect);
    return;
  }
  bool Bar = IsOnMenuBar(Item), Enabled = Item->GetEnabled();
  bool Selected = State.Contains(odSelected);
  TThemedMenu E = Bar ? (Selected && Enabled ? tmMenuBarItemPushed : tmMenuBarItemNormal)
                      : (!Enabled ? tmPopupItemDisabled : Selected ? tmPopupItemHot : tmPopupItemNormal);
  TThemedElementDetails D = S->GetElementDetails(E);
  S->DrawElement(DC, D, ARect);
  TColor Text;
  if (!Enabled) Text = S->GetStyleFontColor(Bar ? sfMenuItemTextDisabled : sfPopupMenuItemTextDisabled);
  else if (!S->GetElementColor(D, ecTextColor, Text))
    Text = S->GetStyleFontColor(Bar ? (Selected ? sfMenuItemTextSelected : sfMenuItemTextNormal)
                                    : (Selected ? sfPopupMenuItemTextHot : sfPopupMenuItemTextNormal));
  RECT R{ARect.Left + ItemMargin, ARect.Top, ARect.Right - ItemMargin, ARect.Bottom};
  if (!Bar) {
    Integer ImageW = GetSystemMetrics(SM_CXMENUCHECK);
    TCustomImageList* Images = Item->GetImageList();
    Integer Index = Item->GetImageIndex();
    if (Images && Index >= 0) {
      ImageW = std::max(ImageW, Images->GetWidth());
      Images->Draw(ACanvas, ARect.Left + ItemMargin, ARect.Top + (ARect.Bottom - ARect.Top - Images->GetHeight()) / 2,
                   Index, Enabled);
    } else if (Item->HasBitmap()) {
      TBitmap* B = Item->GetBitmap();
      ImageW = std::max(ImageW, B->GetWidth());
      ACanvas->Draw(ARect.Left + ItemMargin, ARect.Top + (ARect.Bottom - ARect.Top - B->GetHeight()) / 2, B);
    } else if (Item->GetChecked()) {
      StyledCheckMark(DC, RECT{ARect.Left + ItemMargin, ARect.Top, ARect.Left + ItemMargin + ImageW, ARect.Bottom},
                      Item->GetRadioItem(), Text);
    }
    R.left += ImageW + 2 * ItemMargin;
  }
  ACanvas->GetFont()->SetColor(Text);
  if (Item->GetDefault()) ACanvas->GetFont()->SetStyle(ACanvas->GetFont()->GetStyle() + TFontStyles{fsBold});
  ACanvas->GetBrush()->SetStyle(bsClear);
  ACanvas->RequiredState({csHandleValid, csFontValid, csBrushValid});
  String Caption = Item->GetCaption();
  DrawTextW(DC, Caption.c_str(), Integer(Caption.size()), &R, DT_SINGLELINE | DT_VCENTER | (Bar ? DT_CENTER : DT_LEFT));
  if (Item->GetShortCut() != scNone && !Bar) {
    String Keys = ShortCutToText(Item->GetShortCut());
    DrawTextW(DC, Keys.c_str(), Integer(Keys.size()), &R, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
  }
}
}  // namespace

HMENU TMenuItem::GetHandle() {
  if (!FHandle) {
    bool Bar = FMenu && !FMenu->IsPopupMenu();
    FHandle = Bar ? CreateMenu() : CreatePopupMenu();
    if (!FHandle) RaiseLastOSError();
    RebuildHandle();
  }
  return FHandle;
}

void TMenuItem::MenuChanged(bool Rebuild) {
  if (Rebuild && FParent && FParent->FHandle) FParent->RebuildHandle();
  if (TMenu* M = GetParentMenu()) M->MenuChanged(this, this, Rebuild);
}

void TMenuItem::RebuildHandle() {
  if (!FHandle) return;
  // RemoveMenu keeps the sub-menus, which belong to their items.
  while (GetMenuItemCount(FHandle) > 0) RemoveMenu(FHandle, 0, MF_BYPOSITION);
  std::vector<TMenuItem*> Shown;
  for (TMenuItem* Item : FItems)
    if (Item->FVisible) Shown.push_back(Item);
  if (IsLineReduced()) {
    // No separator first, last, or right after another.
    std::vector<TMenuItem*> Kept;
    for (TMenuItem* Item : Shown)
      if (!Item->IsLine() || (!Kept.empty() && !Kept.back()->IsLine())) Kept.push_back(Item);
    while (!Kept.empty() && Kept.back()->IsLine()) Kept.pop_back();
    Shown.swap(Kept);
  }
  for (TMenuItem* Item : Shown) Item->AppendTo(FHandle);
  SetMenuBackground(FHandle, FMenu && !FMenu->IsPopupMenu());
}

void TMenuItem::AppendTo(HMENU Menu) {
  MENUITEMINFOW MII{};
  MII.cbSize = sizeof(MII);
  MII.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA;
  MII.dwItemData = ULONG_PTR(this);
  MII.wID = FCommand;
  String Text;
  if (IsLine()) {
    MII.fType = MFT_SEPARATOR;
    if (TStyleManager::IsCustomStyleActive()) MII.fType |= MFT_OWNERDRAW;
  } else {
    MII.fMask |= MIIM_STRING;
    Text = FCaption;
    // Menu bars show no shortcuts; drop-down entries show theirs after a tab.
    bool OnBar = FParent && FParent->FMenu && !FParent->FMenu->IsPopupMenu();
    if (FShortCut != scNone && !OnBar && FItems.empty()) Text += L"\t" + ShortCutToText(FShortCut);
    MII.dwTypeData = Text.data();
    if (FRadioItem) MII.fType |= MFT_RADIOCHECK;
    if (FChecked) MII.fState |= MFS_CHECKED;
    if (!FEnabled) MII.fState |= MFS_DISABLED;
    if (FDefault) MII.fState |= MFS_DEFAULT;
    if (!FItems.empty()) {
      MII.fMask |= MIIM_SUBMENU;
      MII.hSubMenu = GetHandle();
    }
    if (IsOwnerDraw()) {
      MII.fType |= MFT_OWNERDRAW;
    } else if (HasBitmap() || (GetImageList() && FImageIndex >= 0)) {
      // The picture is drawn on WM_DRAWITEM; the system draws the rest.
      MII.fMask |= MIIM_BITMAP;
      MII.hbmpItem = HBMMENU_CALLBACK;
    }
  }
  if (FBreak == mbBreak) MII.fType |= MFT_MENUBREAK;
  if (FBreak == mbBarBreak) MII.fType |= MFT_MENUBARBREAK;
  if (!InsertMenuItemW(Menu, GetMenuItemCount(Menu), TRUE, &MII)) RaiseLastOSError();
}

// ---- Drawing ----------------------------------------------------------------------------------

void TMenuItem::MeasureItem(TCanvas* ACanvas, Integer& Width, Integer& Height) {
  if (IsLine()) {
    Width = 10;
    Height = 8;
  } else if (StyledMenus() && IsOnMenuBar(this)) {
    // The bar shows no check column.
    TSize Text = ACanvas->TextExtent(StripHotkey(FCaption));
    Width = Text.cx + 2 * ItemMargin;
    Height = Text.cy + ItemMargin;
  } else {
    TCustomImageList* Images = GetImageList();
    Integer ImageW = GetSystemMetrics(SM_CXMENUCHECK), ImageH = 0;
    if (Images && FImageIndex >= 0) ImageW = std::max(ImageW, Images->GetWidth()), ImageH = Images->GetHeight();
    else if (HasBitmap()) ImageW = std::max(ImageW, FBitmap->GetWidth()), ImageH = FBitmap->GetHeight();
    TSize Text = ACanvas->TextExtent(StripHotkey(FCaption));
    Integer ShortCutW = FShortCut != scNone ? ACanvas->TextWidth(ShortCutToText(FShortCut)) + 3 * ItemMargin : 0;
    Width = ItemMargin + ImageW + 2 * ItemMargin + Text.cx + ShortCutW + ItemMargin;
    Height = std::max(Text.cy, ImageH) + ItemMargin;
  }
  DoEvent(FOnMeasureItem, this, ACanvas, Width, Height);
}

void TMenuItem::DrawItem(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State) {
  if (FOnAdvancedDrawItem) {
    DoEvent(FOnAdvancedDrawItem, this, ACanvas, ARect, State);
    return;
  }
  if (FOnDrawItem) {
    DoEvent(FOnDrawItem, this, ACanvas, ARect, State.Contains(odSelected));
    return;
  }
  if (StyledMenus()) {
    StyledDrawItem(this, ACanvas, ARect, State);
    return;
  }
  bool Selected = State.Contains(odSelected) && !IsLine();
  ACanvas->GetBrush()->SetColor(Selected ? clHighlight : clMenu);
  ACanvas->FillRect(ARect);
  HDC DC = ACanvas->GetHandle();
  if (IsLine()) {
    RECT R{ARect.Left, ARect.Top + (ARect.Bottom - ARect.Top) / 2 - 1, ARect.Right, ARect.Bottom};
    DrawEdge(DC, &R, EDGE_ETCHED, BF_TOP);
    return;
  }
  Integer ImageW = GetSystemMetrics(SM_CXMENUCHECK);
  TCustomImageList* Images = GetImageList();
  if (Images && FImageIndex >= 0) {
    ImageW = std::max(ImageW, Images->GetWidth());
    Images->Draw(ACanvas, ARect.Left + ItemMargin, ARect.Top + (ARect.Bottom - ARect.Top - Images->GetHeight()) / 2,
                 FImageIndex, FEnabled);
  } else if (HasBitmap()) {
    ImageW = std::max(ImageW, FBitmap->GetWidth());
    ACanvas->Draw(ARect.Left + ItemMargin, ARect.Top + (ARect.Bottom - ARect.Top - FBitmap->GetHeight()) / 2,
                  FBitmap.get());
  } else if (FChecked) {
    RECT R{ARect.Left + ItemMargin, ARect.Top, ARect.Left + ItemMargin + ImageW, ARect.Bottom};
    DrawFrameControl(DC, &R, DFC_MENU, FRadioItem ? DFCS_MENUBULLET : DFCS_MENUCHECK);
  }
  ACanvas->GetFont()->SetColor(!FEnabled ? clGrayText : Selected ? clHighlightText : clMenuText);
  if (FDefault) ACanvas->GetFont()->SetStyle(ACanvas->GetFont()->GetStyle() + TFontStyles{fsBold});
  ACanvas->GetBrush()->SetStyle(bsClear);
  ACanvas->RequiredState({csHandleValid, csFontValid, csBrushValid});
  RECT R{ARect.Left + ItemMargin + ImageW + 2 * ItemMargin, ARect.Top, ARect.Right - ItemMargin, ARect.Bottom};
  String Caption = FCaption;
  DrawTextW(DC, Caption.c_str(), Integer(Caption.size()), &R, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  if (FShortCut != scNone) {
    String S = ShortCutToText(FShortCut);
    DrawTextW(DC, S.c_str(), Integer(S.size()), &R, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
  }
}

// ---- The action link --------------------------------------------------------------------------

bool TMenuActionLink::IsCaptionLinked() const {
  auto* A = dynamic_cast<TCustomAction*>(FAction.Get());
  return A && FClient->GetCaption() == A->GetCaption();
}
bool TMenuActionLink::IsCheckedLinked() const {
  auto* A = dynamic_cast<TCustomAction*>(FAction.Get());
  return A && FClient->GetChecked() == A->GetChecked();
}
bool TMenuActionLink::IsEnabledLinked() const {
  auto* A = dynamic_cast<TCustomAction*>(FAction.Get());
  return A && FClient->GetEnabled() == A->GetEnabled();
}
bool TMenuActionLink::IsHintLinked() const {
  auto* A = dynamic_cast<TCustomAction*>(FAction.Get());
  return A && FClient->GetHint() == A->GetHint();
}
bool TMenuActionLink::IsShortCutLinked() const {
  auto* A = dynamic_cast<TCustomAction*>(FAction.Get());
  return A && FClient->GetShortCut() == A->GetShortCut();
}
bool TMenuActionLink::IsVisibleLinked() const {
  auto* A = dynamic_cast<TCustomAction*>(FAction.Get());
  return A && FClient->GetVisible() == A->GetVisible();
}
bool TMenuActionLink::IsOnExecuteLinked() const { return FAction && FClient->GetOnClick() == FAction->GetOnExecute(); }
void TMenuActionLink::SetCaption(const String& Value) {
  if (IsCaptionLinked()) FClient->SetCaption(Value);
}
void TMenuActionLink::SetChecked(bool Value) {
  if (IsCheckedLinked()) FClient->SetChecked(Value);
}
void TMenuActionLink::SetEnabled(bool Value) {
  if (IsEnabledLinked()) FClient->SetEnabled(Value);
}
void TMenuActionLink::SetHint(const String& Value) {
  if (IsHintLinked()) FClient->SetHint(Value);
}
void TMenuActionLink::SetShortCut(TShortCut Value) {
  if (IsShortCutLinked()) FClient->SetShortCut(Value);
}
void TMenuActionLink::SetVisible(bool Value) {
  if (IsVisibleLinked()) FClient->SetVisible(Value);
}
void TMenuActionLink::SetOnExecute(const TNotifyEvent& Value) {
  if (IsOnExecuteLinked()) FClient->SetOnClick(Value);
}
