#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "framework/ActnList.h"
#include "framework/Classes.h"
#include "framework/ExtCtrls.h"
#include "framework/ImgList.h"
#include "framework/graphics/Bitmap.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"
#include "framework/classes/ObjectText.h"
#include "framework/controls/ControlsTestUtil.h"

using namespace ctltest;

namespace {

// A main menu and a popup menu read from the form's resource.
class TMenusForm : public TForm {
  DECLARE_CLASS(TMenusForm, TForm)
 public:
  using TForm::TForm;
  std::vector<String> Log;
  std::vector<WPARAM> KeysOnPopup;  // posted to the popup list when the popup menu opens
  std::function<void()> OnPopupDo;
  void mnuKaldirClick(TObject*) { Log.push_back(L"mnuKaldir"); }
  void mnuSaveClick(TObject*) { Log.push_back(L"mnuSave"); }
  void pmCopyClick(TObject*) { Log.push_back(L"pmCopy"); }
  void pmPasteClick(TObject*) { Log.push_back(L"pmPaste"); }
  void pmWrapClick(TObject* Sender) {
    Log.push_back(static_cast<TMenuItem*>(Sender)->GetChecked() ? L"pmWrap on" : L"pmWrap off");
  }
  void PopupMenu1Popup(TObject*) {
    Log.push_back(L"popup");
    for (WPARAM Key : KeysOnPopup) PostMessageW(GetPopupList()->GetWindow(), WM_KEYDOWN, Key, 1);
    if (OnPopupDo) OnPopupDo();
  }
  template <class T>
  T* Find(const wchar_t* Name) {
    auto* C = dynamic_cast<T*>(FindComponent(Name));
    EXPECT_NE(C, nullptr) << Name;
    return C;
  }
  TMenuItem* Item(const wchar_t* Name) { return Find<TMenuItem>(Name); }
  PUBLISHED_DECL(TMenusForm);
};

PUBLISHED_DEF(TMenusForm) {
  METHOD(mnuKaldirClick);
  METHOD(mnuSaveClick);
  METHOD(pmCopyClick);
  METHOD(pmPasteClick);
  METHOD(pmWrapClick);
  METHOD(PopupMenu1Popup);
}

struct TMenusHolder {
  TMenusForm* Form;
  TMenusHolder() {
    RegisterStdControls();
    RegisterMenus();
    RegisterClasses({TMenusForm::StaticClass()});
    Form = TComponent::Create<TMenusForm>(nullptr);
    Form->Show();
    Pump();
  }
  ~TMenusHolder() {
    delete Form;
    Pump();
  }
  TMenusForm* operator->() const { return Form; }
};

// What a Win32 menu holds, one entry per line: the text (or "-"), then flags.
struct TEntry {
  String Text;
  bool Checked, Radio, Disabled, SubMenu;
  bool operator==(const TEntry&) const = default;
};
std::ostream& operator<<(std::ostream& S, const TEntry& E) {
  std::string T(E.Text.begin(), E.Text.end());
  return S << T << (E.Checked ? " checked" : "") << (E.Radio ? " radio" : "") << (E.Disabled ? " disabled" : "")
           << (E.SubMenu ? " sub" : "");
}

std::vector<TEntry> Entries(HMENU Menu) {
  std::vector<TEntry> R;
  for (Integer I = 0; I < GetMenuItemCount(Menu); ++I) {
    MENUITEMINFOW MII{};
    MII.cbSize = sizeof(MII);
    MII.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
    EXPECT_TRUE(GetMenuItemInfoW(Menu, I, TRUE, &MII));  // the text's length first
    String Text(MII.cch + 1, L'\0');
    MII.dwTypeData = Text.data();
    MII.cch = UINT(Text.size());
    EXPECT_TRUE(GetMenuItemInfoW(Menu, I, TRUE, &MII));
    Text.resize(MII.cch);
    if (MII.fType & MFT_SEPARATOR) Text = L"-";
    R.push_back({Text, (MII.fState & MFS_CHECKED) != 0, (MII.fType & MFT_RADIOCHECK) != 0,
                 (MII.fState & MFS_DISABLED) != 0, MII.hSubMenu != nullptr});
  }
  return R;
}

String Captions(HMENU Menu) {
  String R;
  for (const TEntry& E : Entries(Menu)) R += (R.empty() ? L"" : L"|") + E.Text;
  return R;
}

TEST(MenusStreamed, TheFormShowsItsMainMenuAndBothMenusMatchTheirItems) {
  TMenusHolder F;
  auto* Main = F->Find<TMainMenu>(L"MainMenu1");
  auto* Popup = F->Find<TPopupMenu>(L"PopupMenu1");
  ASSERT_EQ(F->GetMenu(), Main);
  EXPECT_EQ(GetMenu(F->GetHandle()), Main->GetHandle());
  EXPECT_EQ(Popup->GetAlignment(), paRight);
  EXPECT_EQ(F->Find<TEdit>(L"Edit1")->GetPopupMenu(), Popup);

  // The items nest as the resource nests them; the form owns them all.
  TMenuItem* Islemler = Main->GetItems()->GetItems(0);
  EXPECT_EQ(Islemler, F->Item(L"mnuIslemler"));
  EXPECT_EQ(Islemler->GetOwner(), F.Form);
  EXPECT_EQ(Islemler->GetCount(), 4);
  EXPECT_EQ(F->Item(L"mnuLarge")->GetParent(), F->Item(L"mnuView"));
  EXPECT_EQ(F->Item(L"mnuSave")->GetShortCut(), ShortCut('S', {ssCtrl}));

  EXPECT_EQ(Entries(Main->GetHandle()), (std::vector<TEntry>{{L"\u0130\u015flemler", false, false, false, true}}));
  EXPECT_EQ(Entries(Islemler->GetHandle()), (std::vector<TEntry>{
                                                {L"Hizmetleri Kald\u0131r\tF2", false, false, false, false},
                                                {L"-", false, false, false, false},
                                                {L"&Kaydet\tCtrl+S", false, false, false, false},
                                                {L"G\u00f6r\u00fcn\u00fcm", false, false, false, true},
                                            }));
  EXPECT_EQ(Entries(F->Item(L"mnuView")->GetHandle()), (std::vector<TEntry>{
                                                            {L"K\u00fc\u00e7\u00fck", false, true, false, false},
                                                            {L"B\u00fcy\u00fck", true, true, false, false},
                                                            {L"Izgara", true, true, false, false},
                                                        }));
  EXPECT_EQ(Entries(Popup->GetHandle()), (std::vector<TEntry>{
                                             {L"&Kopyala", false, false, false, false},
                                             {L"&Yap\u0131\u015ft\u0131r", false, false, true, false},
                                             {L"Sat\u0131r kayd\u0131r", false, false, false, false},
                                         }));
}

TEST(MenusStreamed, WrittenAndReadBackTheMenuTreeIsTheSame) {
  TMenusHolder F;
  auto Stream = std::make_unique<TMemoryStream>();
  Stream->WriteComponent(F.Form);
  Stream->SetPosition(0);
  auto Text = std::make_unique<TMemoryStream>();
  ObjectBinaryToText(Stream.get(), Text.get());
  std::string S(static_cast<const char*>(Text->GetMemory()), size_t(Text->GetSize()));
  // Items are written inside their menu and parent item, once each.
  for (const char* Nested : {"  object MainMenu1: TMainMenu\r\n    object mnuIslemler: TMenuItem\r\n",
                             "      object mnuView: TMenuItem\r\n", "        object mnuLarge: TMenuItem\r\n",
                             "  object PopupMenu1: TPopupMenu\r\n", "    object pmWrap: TMenuItem\r\n",
                             "  Menu = MainMenu1\r\n", "        ShortCut = 16467\r\n"})
    EXPECT_NE(S.find(Nested), std::string::npos) << Nested << "\n" << S;
  EXPECT_EQ(S.find("object mnuLarge"), S.rfind("object mnuLarge"));

  // Read into a second form of the same class, the menus come back with their state.
  Stream->SetPosition(0);
  auto* Copy = new TMenusForm(nullptr, 0);
  Copy->AfterConstruction();
  Stream->ReadComponent(Copy);
  auto* Main = Copy->Find<TMainMenu>(L"MainMenu1");
  EXPECT_EQ(Copy->GetMenu(), Main);
  EXPECT_EQ(Captions(Copy->Item(L"mnuIslemler")->GetHandle()), L"Hizmetleri Kald\u0131r\tF2|-|&Kaydet\tCtrl+S|G\u00f6r\u00fcn\u00fcm");
  EXPECT_TRUE(Copy->Item(L"mnuLarge")->GetChecked());
  EXPECT_FALSE(Copy->Item(L"pmPaste")->GetEnabled());
  delete Copy;
}

TEST(ShortCuts, TextAndShortCutTurnIntoEachOther) {
  struct {
    TShortCut Cut;
    const wchar_t* Text;
  } Cases[] = {
      {ShortCut('S', {ssCtrl}), L"Ctrl+S"},
      {ShortCut(VK_F2, {}), L"F2"},
      {ShortCut(VK_DELETE, {ssShift}), L"Shift+Del"},
      {ShortCut(VK_INSERT, {ssCtrl}), L"Ctrl+Ins"},
      {ShortCut(VK_F4, {ssAlt}), L"Alt+F4"},
      {ShortCut('A', {ssShift, ssCtrl}), L"Shift+Ctrl+A"},
      {ShortCut(VK_RETURN, {ssCtrl, ssShift}), L"Shift+Ctrl+Enter"},
      {ShortCut(VK_ESCAPE, {}), L"Esc"},
      {ShortCut(VK_BACK, {ssAlt}), L"Alt+BkSp"},
      {ShortCut(VK_NEXT, {}), L"PgDn"},
      {ShortCut(VK_F12, {ssShift, ssCtrl, ssAlt}), L"Shift+Ctrl+Alt+F12"},
      {ShortCut('0', {ssCtrl}), L"Ctrl+0"},
      {ShortCut(VK_NUMPAD5, {}), L"Num 5"},
      {ShortCut(VK_SPACE, {ssCtrl}), L"Ctrl+Space"},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(ShortCutToText(C.Cut), C.Text);
    EXPECT_EQ(TextToShortCut(C.Text), C.Cut) << C.Text;
  }
  // Case does not matter on the way in; texts that name no key give no shortcut.
  EXPECT_EQ(TextToShortCut(L"ctrl+shift+del"), ShortCut(VK_DELETE, {ssCtrl, ssShift}));
  for (const wchar_t* Bad : {L"", L"Ctrl+", L"Ctrl+Bogus", L"Ctrl", L"S+Ctrl", L"F25"})
    EXPECT_EQ(TextToShortCut(Bad), scNone) << Bad;
  EXPECT_EQ(ShortCutToText(scNone), L"");
}

TEST(PopupMenus, AnItemChosenByKeysFiresOnceBeforePopupReturns) {
  TMenusHolder F;
  auto* Popup = F->Find<TPopupMenu>(L"PopupMenu1");
  // Enter on the disabled entry chooses nothing.
  struct {
    std::vector<WPARAM> Keys;
    std::vector<String> Log;
  } Cases[] = {
      {{VK_DOWN, VK_RETURN}, {L"popup", L"pmCopy"}},
      {{VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, {L"popup", L"pmWrap on"}},
      {{VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, {L"popup", L"pmWrap off"}},
      {{VK_DOWN, VK_DOWN, VK_RETURN}, {L"popup"}},
      {{VK_ESCAPE}, {L"popup"}},
  };
  for (const auto& C : Cases) {
    F->Log.clear();
    F->KeysOnPopup = C.Keys;
    Popup->Popup(50, 50);
    EXPECT_EQ(F->Log, C.Log);
    Pump();
    EXPECT_EQ(F->Log, C.Log) << "nothing more arrives later";
  }
  EXPECT_EQ(Popup->GetPopupPoint(), TPoint(50, 50));
}

TEST(PopupMenus, AClickHandlerMayFreeTheMenu) {
  TMenusHolder F;
  auto* Popup = F->Find<TPopupMenu>(L"PopupMenu1");
  F->Item(L"pmCopy")->SetOnClick([&](TObject*) { delete Popup; });
  F->KeysOnPopup = {VK_DOWN, VK_RETURN};
  Popup->Popup(10, 10);
  EXPECT_EQ(F->FindComponent(L"PopupMenu1"), nullptr);
  EXPECT_EQ(F->FindComponent(L"pmCopy"), nullptr);  // items go with their menu
  EXPECT_EQ(F->Find<TEdit>(L"Edit1")->GetPopupMenu(), nullptr);
}

TEST(PopupMenus, TheContextMenuKeyAndMessageOpenTheControlsMenu) {
  TMenusHolder F;
  auto* Popup = F->Find<TPopupMenu>(L"PopupMenu1");
  auto* Edit = F->Find<TEdit>(L"Edit1");
  F->KeysOnPopup = {VK_ESCAPE};
  // From the keyboard the point is (-1, -1): the menu opens at the control.
  SendMessageW(Edit->GetHandle(), WM_CONTEXTMENU, WPARAM(Edit->GetHandle()), MAKELPARAM(-1, -1));
  EXPECT_EQ(F->Log, (std::vector<String>{L"popup"}));
  EXPECT_EQ(Popup->GetPopupComponent(), Edit);
  EXPECT_EQ(Popup->GetPopupPoint(), Edit->ClientToScreen({0, 0}));

  // The context-menu key and Shift+F10 on the focused control.
  Edit->SetFocus();
  Pump();
  F->Log.clear();
  PostMessageW(Edit->GetHandle(), WM_KEYDOWN, VK_APPS, 1);
  PostMessageW(Edit->GetHandle(), WM_KEYUP, VK_APPS, LPARAM(0xC0000001));
  Pump();
  BYTE Keys[256] = {};
  GetKeyboardState(Keys);
  Keys[VK_SHIFT] = 0x80;
  SetKeyboardState(Keys);
  PostMessageW(Edit->GetHandle(), WM_SYSKEYDOWN, VK_F10, 1);
  PostMessageW(Edit->GetHandle(), WM_SYSKEYUP, VK_F10, LPARAM(0xC0000001));
  Pump();
  Keys[VK_SHIFT] = 0;
  SetKeyboardState(Keys);
  EXPECT_EQ(F->Log, (std::vector<String>{L"popup", L"popup"}));

  // Without AutoPopup the control's menu stays shut (the edit window's own menu may open: the
  // posted Escape closes it).
  F->Log.clear();
  Popup->SetAutoPopup(false);
  PostMessageW(Edit->GetHandle(), WM_KEYDOWN, VK_ESCAPE, 1);
  SendMessageW(Edit->GetHandle(), WM_CONTEXTMENU, WPARAM(Edit->GetHandle()), MAKELPARAM(-1, -1));
  EXPECT_TRUE(F->Log.empty());
}

TEST(PopupMenus, OwnerDrawnItemsAreMeasuredAndDrawnThroughTheirEvents) {
  TMenusHolder F;
  auto* Popup = F->Find<TPopupMenu>(L"PopupMenu1");
  Integer Measured = 0;
  F->Item(L"pmCopy")->SetOnMeasureItem([&](TObject* Sender, TCanvas* Canvas, Integer& W, Integer& H) {
    EXPECT_EQ(Sender, F->Item(L"pmCopy"));
    EXPECT_NE(Canvas, nullptr);
    EXPECT_GT(W, 0);
    W = 200;
    H = 40;
    ++Measured;
  });
  std::vector<TRect> Drawn;
  F->Item(L"pmCopy")->SetOnDrawItem([&](TObject*, TCanvas* Canvas, TRect Rect, bool) {
    Canvas->FillRect(Rect);
    Drawn.push_back(Rect);
  });
  F->KeysOnPopup = {VK_ESCAPE};
  Popup->Popup(10, 10);
  EXPECT_GE(Measured, 1);
  ASSERT_FALSE(Drawn.empty());
  EXPECT_EQ(Drawn[0].Bottom - Drawn[0].Top, 40) << "drawn in the height it asked for";
  MENUITEMINFOW MII{};
  MII.cbSize = sizeof(MII);
  MII.fMask = MIIM_FTYPE;
  GetMenuItemInfoW(Popup->GetHandle(), 0, TRUE, &MII);
  EXPECT_TRUE(MII.fType & MFT_OWNERDRAW);
}

// Sends a key the way the keyboard would reach the focused control.
void PostKey(HWND Wnd, WPARAM Key) {
  PostMessageW(Wnd, WM_KEYDOWN, Key, 1);
  PostMessageW(Wnd, WM_KEYUP, Key, LPARAM(0xC0000001));
}

TEST(MainMenus, ShortCutsFireTheirItemFromTheFocusedControl) {
  TMenusHolder F;
  auto* Edit = F->Find<TEdit>(L"Edit1");
  Edit->SetFocus();
  Pump();
  PostKey(Edit->GetHandle(), VK_F2);
  Pump();
  EXPECT_EQ(F->Log, (std::vector<String>{L"mnuKaldir"}));

  // Ctrl+S with the Control key held.
  F->Log.clear();
  BYTE Keys[256] = {};
  GetKeyboardState(Keys);
  Keys[VK_CONTROL] = 0x80;
  SetKeyboardState(Keys);
  PostKey(Edit->GetHandle(), 'S');
  Pump();
  Keys[VK_CONTROL] = 0;
  SetKeyboardState(Keys);
  EXPECT_EQ(F->Log, (std::vector<String>{L"mnuSave"}));
  EXPECT_EQ(Edit->GetText(), L"") << "the shortcut's key does not reach the edit";

  // A disabled or hidden item does not fire, nor does one in a disabled sub-menu.
  F->Log.clear();
  F->Item(L"mnuKaldir")->SetEnabled(false);
  PostKey(Edit->GetHandle(), VK_F2);
  Pump();
  F->Item(L"mnuKaldir")->SetEnabled(true);
  F->Item(L"mnuIslemler")->SetEnabled(false);
  PostKey(Edit->GetHandle(), VK_F2);
  Pump();
  EXPECT_TRUE(F->Log.empty());
}

TEST(MainMenus, TheWindowsMenuCommandReachesTheItem) {
  TMenusHolder F;
  PostMessageW(F->GetHandle(), WM_COMMAND, F->Item(L"mnuSave")->GetCommand(), 0);
  Pump();
  EXPECT_EQ(F->Log, (std::vector<String>{L"mnuSave"}));
  // Command ids are unique among live items.
  EXPECT_NE(F->Item(L"mnuSave")->GetCommand(), F->Item(L"pmCopy")->GetCommand());
  EXPECT_EQ(F->Find<TMainMenu>(L"MainMenu1")->FindItem(F->Item(L"pmCopy")->GetCommand(), fkCommand), nullptr);
}

TEST(MainMenus, FreeingTheMenuTakesTheBarOffTheWindow) {
  TMenusHolder F;
  HMENU Bar = GetMenu(F->GetHandle());
  ASSERT_NE(Bar, nullptr);
  delete F->Find<TMainMenu>(L"MainMenu1");
  EXPECT_EQ(F->GetMenu(), nullptr);
  EXPECT_EQ(GetMenu(F->GetHandle()), nullptr);
  EXPECT_FALSE(IsMenu(Bar));
  EXPECT_EQ(F->FindComponent(L"mnuSave"), nullptr);
}

TEST(MenuItems, RadioItemsOfAGroupUncheckEachOther) {
  TMenusHolder F;
  TMenuItem* Small = F->Item(L"mnuSmall");
  TMenuItem* Large = F->Item(L"mnuLarge");
  TMenuItem* Grid = F->Item(L"mnuGrid");
  HMENU View = F->Item(L"mnuView")->GetHandle();
  auto Checks = [&] {
    String R;
    for (const TEntry& E : Entries(View)) R += E.Checked ? L'x' : L'.';
    return R;
  };
  EXPECT_EQ(Checks(), L".xx");
  Small->SetChecked(true);
  EXPECT_FALSE(Large->GetChecked());
  EXPECT_TRUE(Grid->GetChecked()) << "another group";
  EXPECT_EQ(Checks(), L"x.x");
  // A click chooses an automatic radio item; clicking it again keeps it chosen.
  Large->Click();
  Large->Click();
  EXPECT_EQ(Checks(), L".xx");
  // An item moved into the group and checked there wins.
  Grid->SetGroupIndex(1);
  EXPECT_EQ(Checks(), L"..x");
}

TEST(MenuItems, AddInsertDeleteKeepTheWin32MenuInStep) {
  TMenusHolder F;
  auto* Menu = NewPopupMenu(F.Form, L"pmBuilt", paLeft, true,
                            {NewItem(L"A", scNone, false, true, nullptr, 0, L"itA"), NewLine(),
                             NewItem(L"B", ShortCut(VK_DELETE, {ssShift}), true, false, nullptr, 0, L"itB")});
  HMENU H = Menu->GetHandle();
  TMenuItem* Root = Menu->GetItems();
  EXPECT_EQ(Captions(H), L"A|-|B\tShift+Del");
  EXPECT_EQ(Entries(H)[2], (TEntry{L"B\tShift+Del", true, false, true, false}));

  TMenuItem* C = NewItem(L"C", scNone, false, true, nullptr, 0, L"itC");
  Root->Insert(0, C);
  EXPECT_EQ(Captions(H), L"C|A|-|B\tShift+Del");
  TMenuItem* A = Root->Find(L"a");
  ASSERT_EQ(A, Root->GetItems(1));
  Root->Delete(1);  // A leaves without being freed
  EXPECT_EQ(Captions(H), L"C|-|B\tShift+Del");
  EXPECT_EQ(Root->Find(L"a"), nullptr);

  // The first sub-item makes an entry a sub-menu; the last one gone makes it plain again.
  TMenuItem* Sub = NewItem(L"Sub", scNone, false, true, nullptr, 0, L"itSub");
  C->Add(Sub);
  EXPECT_TRUE(Entries(H)[0].SubMenu);
  EXPECT_EQ(Captions(C->GetHandle()), L"Sub");
  C->Remove(Sub);
  EXPECT_FALSE(Entries(H)[0].SubMenu);
  delete Sub;

  // Hidden items leave the menu; so do separators left with nothing to separate.
  Root->GetItems(2)->SetVisible(false);
  EXPECT_EQ(Captions(H), L"C");
  Root->GetItems(2)->SetVisible(true);
  Root->GetItems(2)->SetMenuIndex(0);
  EXPECT_EQ(Captions(H), L"B\tShift+Del|C");
  Root->GetItems(0)->SetCaption(L"&Sil");
  EXPECT_EQ(Captions(H), L"&Sil\tShift+Del|C");

  Root->Clear();
  EXPECT_EQ(Root->GetCount(), 0);
  EXPECT_EQ(GetMenuItemCount(H), 0);
  delete A;  // the one Delete took out and nobody freed
}

TEST(MenuItems, MisplacedItemsAreRefused) {
  std::unique_ptr<TMenuItem> Parent(new TMenuItem(nullptr)), Other(new TMenuItem(nullptr));
  TMenuItem* Child = new TMenuItem(nullptr);
  Parent->Add(Child);
  EXPECT_THROW(Other->Add(Child), EMenuError);          // it has a parent already
  EXPECT_THROW(Child->Add(Parent.get()), EMenuError);   // a menu inside itself
  EXPECT_THROW(Parent->Insert(5, Other.get()), EMenuError);  // out of range
  EXPECT_THROW(Parent->GetItems(1), EMenuError);
  EXPECT_THROW(Parent->Remove(Other.get()), EMenuError);
  EXPECT_EQ(Child->GetParent(), Parent.get());
  EXPECT_EQ(Parent->GetCount(), 1);  // the item freed with its parent
}

TEST(MenuItems, AnActionDrivesTheItem) {
  TMenusHolder F;
  auto* Action = new TAction(F.Form);
  Action->SetCaption(L"Kaydet");
  Action->SetShortCut(ShortCut(VK_F9, {}));
  Integer Executed = 0;
  Action->SetOnExecute([&](TObject*) { ++Executed; });
  TMenuItem* Save = F->Item(L"mnuSave");
  Save->SetOnClick(TNotifyEvent());
  Save->SetAction(Action);
  EXPECT_EQ(Save->GetCaption(), L"Kaydet");
  EXPECT_EQ(Save->GetShortCut(), ShortCut(VK_F9, {}));
  Action->SetEnabled(false);
  EXPECT_FALSE(Save->GetEnabled());
  Action->SetEnabled(true);
  Save->Click();
  EXPECT_EQ(Executed, 1);
  // Its shortcut asks the action first whether it may run now.
  bool Allowed = false;
  Action->SetOnUpdate([&](TObject*) { Action->SetEnabled(Allowed); });
  EXPECT_FALSE(F->GetMenu()->IsShortCut(ShortCut(VK_F9, {})));
  Allowed = true;
  EXPECT_TRUE(F->GetMenu()->IsShortCut(ShortCut(VK_F9, {})));
  EXPECT_EQ(Executed, 2);
  delete Action;
  EXPECT_EQ(Save->GetAction(), nullptr);
}

TEST(MenuItems, ImagesOfTheMenuAreDrawnBesideTheSystemsText) {
  TMenusHolder F;
  auto* Images = new TImageList(F.Form);
  Images->SetWidth(16);
  Images->SetHeight(16);
  TBitmap Picture;
  Picture.SetSize(16, 16);
  Picture.GetCanvas()->GetBrush()->SetColor(clRed);
  Picture.GetCanvas()->FillRect(TRect(0, 0, 16, 16));
  Images->Add(&Picture, nullptr);
  auto* Popup = F->Find<TPopupMenu>(L"PopupMenu1");
  TMenuItem* Copy = F->Item(L"pmCopy");
  Copy->SetImageIndex(0);
  HMENU H = Popup->GetHandle();
  auto Callback = [&] {
    MENUITEMINFOW MII{};
    MII.cbSize = sizeof(MII);
    MII.fMask = MIIM_BITMAP;
    GetMenuItemInfoW(H, 0, TRUE, &MII);
    return MII.hbmpItem == HBMMENU_CALLBACK;
  };
  EXPECT_FALSE(Callback()) << "no image list yet";
  Popup->SetImages(Images);
  EXPECT_TRUE(Callback());

  MEASUREITEMSTRUCT MIS{ODT_MENU, 0, Copy->GetCommand(), 0, 0, ULONG_PTR(Copy)};
  ASSERT_TRUE(Popup->MeasureItemMessage(&MIS));
  EXPECT_EQ(MIS.itemWidth, 16u);
  EXPECT_EQ(MIS.itemHeight, 16u);

  TBitmap Target;
  Target.SetSize(16, 16);
  HDC DC = Target.GetCanvas()->GetHandle();
  DRAWITEMSTRUCT DIS{ODT_MENU, 0, Copy->GetCommand(), ODA_DRAWENTIRE, 0, nullptr, DC, {0, 0, 16, 16}, ULONG_PTR(Copy)};
  ASSERT_TRUE(Popup->DrawItemMessage(&DIS));
  EXPECT_EQ(GetPixel(DC, 8, 8), RGB(255, 0, 0));

  // The image list freed: the entries lose their pictures.
  delete Images;
  EXPECT_EQ(Popup->GetImages(), nullptr);
  EXPECT_FALSE(Callback());
}

TEST(MainMenus, ASubMenuOpeningLetsItsItemFillItAndEntriesShowTheirHints) {
  TMenusHolder F;
  TMenuItem* View = F->Item(L"mnuView");
  // The item of a sub-menu that opens may fill it there.
  View->SetOnClick([&](TObject*) { View->Add(NewItem(L"Yeni", scNone, false, true, nullptr, 0, L"")); });
  SendMessageW(F->GetHandle(), WM_INITMENUPOPUP, WPARAM(View->GetHandle()), 3);
  EXPECT_EQ(Captions(View->GetHandle()), L"K\u00fc\u00e7\u00fck|B\u00fcy\u00fck|Izgara|Yeni");

  HMENU Islemler = F->Item(L"mnuIslemler")->GetHandle();
  SendMessageW(F->GetHandle(), WM_MENUSELECT, MAKEWPARAM(F->Item(L"mnuKaldir")->GetCommand(), 0), LPARAM(Islemler));
  EXPECT_EQ(Application->GetHint(), L"Hizmetleri kald\u0131r\u0131r");
  View->SetHint(L"G\u00f6r\u00fcn\u00fcm|Boyutu se\u00e7");
  SendMessageW(F->GetHandle(), WM_MENUSELECT, MAKEWPARAM(3, MF_POPUP), LPARAM(Islemler));  // the sub-menu's entry
  EXPECT_EQ(Application->GetHint(), L"Boyutu se\u00e7");
  SendMessageW(F->GetHandle(), WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);  // the menu closed
  EXPECT_EQ(Application->GetHint(), L"");
}

// A popup list standing in for the framework's: it sees the messages first.
class TRecordingPopupList : public TPopupList {
 public:
  std::vector<UINT> Seen;

 protected:
  void WndProc(TMessage& Message) override {
    if (Message.Msg == WM_COMMAND || Message.Msg == WM_INITMENUPOPUP) Seen.push_back(Message.Msg);
    TPopupList::WndProc(Message);
  }
};

TEST(PopupMenus, AReplacedPopupListGetsTheMenusMessages) {
  TMenusHolder F;
  auto* Popup = F->Find<TPopupMenu>(L"PopupMenu1");
  TRecordingPopupList List;
  List.Add(Popup);
  SetPopupList(&List);
  F->KeysOnPopup = {VK_DOWN, VK_RETURN};
  Popup->Popup(20, 20);
  SetPopupList(nullptr);
  Popup->Popup(20, 20);  // the framework's own list again
  EXPECT_EQ(List.Seen, (std::vector<UINT>{WM_INITMENUPOPUP, WM_COMMAND}));
  EXPECT_EQ(F->Log, (std::vector<String>{L"popup", L"pmCopy", L"popup", L"pmCopy"}));
}

TEST(PopupMenus, AWindowlessControlOffersItsOwnMenu) {
  TMenusHolder F;
  auto* Popup = F->Find<TPopupMenu>(L"PopupMenu1");
  auto* Label = new TLabel(F.Form);
  Label->SetParent(F.Form);
  Label->SetBounds(10, 100, 80, 20);
  Label->SetCaption(L"Etiket");
  Label->SetPopupMenu(Popup);
  F->KeysOnPopup = {VK_ESCAPE};
  TPoint At = Label->ClientToScreen({5, 5});
  SendMessageW(F->GetHandle(), WM_CONTEXTMENU, WPARAM(F->GetHandle()), MAKELPARAM(At.X, At.Y));
  EXPECT_EQ(F->Log, (std::vector<String>{L"popup"}));
  EXPECT_EQ(Popup->GetPopupComponent(), Label);
  EXPECT_EQ(Popup->GetPopupPoint(), At);
}

// ---- Menus on the stack ------------------------------------------------------------------------

using TWatched = std::vector<TComponentRef<TComponent>>;

void Watch(TWatched& Refs, std::initializer_list<TComponent*> Components) {
  for (TComponent* C : Components) Refs.emplace_back(C);
}

bool AllGone(const TWatched& Refs) {
  return std::all_of(Refs.begin(), Refs.end(), [](const TComponentRef<TComponent>& R) { return !R; });
}

// A popup menu with items it owns (one with a sub-menu) and one owned by nobody, pictures from
// an image list and its Win32 menus made; each opening is logged and closed by a posted Escape.
struct TStackPopup {
  TPopupMenu Menu{nullptr};
  TWatched Items;
  HMENU Handle, SubHandle;
  Integer Opened = 0;
  explicit TStackPopup(TCustomImageList* Images) {
    auto* Copy = new TMenuItem(&Menu);
    Copy->SetCaption(L"Kopyala");
    auto* More = new TMenuItem(&Menu);
    More->SetCaption(L"Diğer");
    auto* Sub = new TMenuItem(&Menu);
    Sub->SetCaption(L"Alt");
    More->Add(Sub);
    TMenuItem* Loose = NewItem(L"Serbest", scNone, false, true, nullptr, 0, L"");
    Menu.GetItems()->Add({Copy, More, Loose});
    Menu.SetImages(Images);
    Copy->SetImageIndex(0);
    Menu.SetOnPopup([this](TObject*) {
      ++Opened;
      PostMessageW(GetPopupList()->GetWindow(), WM_KEYDOWN, VK_ESCAPE, 1);
    });
    Handle = Menu.GetHandle();
    SubHandle = More->GetHandle();
    Watch(Items, {Copy, More, Sub, Loose});
  }
};

void ContextMenu(TControl* Control) {
  HWND Wnd = static_cast<TWinControl*>(Control)->GetHandle();
  SendMessageW(Wnd, WM_CONTEXTMENU, WPARAM(Wnd), MAKELPARAM(-1, -1));
}

TEST(StackMenus, APopupMenuGoesWithItsItemsWhetherItsControlGoesFirstOrLast) {
  TFormHolder F;
  F->Show();
  TImageList Images(nullptr);
  Integer Listed = GetPopupList()->GetCount();
  HMENU Handle, SubHandle;
  TWatched Items;

  // The control goes first: the menu is still whole after it.
  {
    TStackPopup P(&Images);
    {
      TPanel Panel(nullptr);
      Panel.SetParent(F.Form);
      Panel.SetPopupMenu(&P.Menu);
      ContextMenu(&Panel);
      EXPECT_EQ(P.Menu.GetPopupComponent(), &Panel);
    }
    EXPECT_EQ(P.Menu.GetPopupComponent(), nullptr);
    EXPECT_EQ(P.Opened, 1);
    EXPECT_EQ(GetPopupList()->GetCount(), Listed + 1);
    Handle = P.Handle;
    SubHandle = P.SubHandle;
    Items = P.Items;
  }
  EXPECT_TRUE(AllGone(Items));
  EXPECT_FALSE(IsMenu(Handle));
  EXPECT_FALSE(IsMenu(SubHandle));
  EXPECT_EQ(GetPopupList()->GetCount(), Listed);

  // The menu goes first: the control forgets it and opens nothing.
  TPanel Panel(nullptr);
  Panel.SetParent(F.Form);
  {
    TStackPopup P(&Images);
    Panel.SetPopupMenu(&P.Menu);
    ContextMenu(&Panel);
    EXPECT_EQ(P.Opened, 1);
    Handle = P.Handle;
    Items = P.Items;
  }
  EXPECT_TRUE(AllGone(Items));
  EXPECT_FALSE(IsMenu(Handle));
  EXPECT_EQ(Panel.GetPopupMenu(), nullptr);
  EXPECT_EQ(GetPopupList()->GetCount(), Listed);
  ContextMenu(&Panel);
  Images.SetBkColor(clRed);  // tells its clients: the menus' links are gone
}

TEST(StackMenus, AMainMenuLeavesItsFormsBarAndFreesTheItemsTheFormOwns) {
  TFormHolder F;
  TWatched Items;
  {
    TMainMenu Menu(nullptr);
    auto* File = new TMenuItem(F.Form);
    File->SetCaption(L"&Dosya");
    auto* Save = new TMenuItem(F.Form);
    Save->SetCaption(L"&Kaydet");
    File->Add(Save);
    Menu.GetItems()->Add(File);
    F->SetMenu(&Menu);
    F->HandleNeeded();
    EXPECT_NE(GetMenu(F->GetHandle()), nullptr);
    Watch(Items, {File, Save});
  }
  EXPECT_TRUE(AllGone(Items));
  EXPECT_EQ(F->GetMenu(), nullptr);
  EXPECT_EQ(GetMenu(F->GetHandle()), nullptr);
  EXPECT_EQ(F->GetComponentCount(), 0);
}

TEST(StackMenus, AnItemFreesItsSubItemsWhoeverOwnsThemAndLeavesItsParent) {
  TImageList Images(nullptr);
  TComponent Owner(nullptr);
  TWatched Items;
  HMENU Handle;
  {
    TMenuItem Root(nullptr);
    auto* Owned = new TMenuItem(&Owner);
    Owned->SetCaption(L"Sahipli");
    TMenuItem* Sub = NewSubMenu(L"Alt", 0, L"", {NewItem(L"Yaprak", scNone, false, true, nullptr, 0, L"")});
    Root.Add({Owned, Sub});
    Root.SetSubMenuImages(&Images);
    Handle = Root.GetHandle();
    Watch(Items, {Owned, Sub, Sub->GetItems(0)});
  }
  EXPECT_TRUE(AllGone(Items));
  EXPECT_FALSE(IsMenu(Handle));
  EXPECT_EQ(Owner.GetComponentCount(), 0);
  Images.SetBkColor(clRed);

  // One placed in a menu that outlives it.
  std::unique_ptr<TPopupMenu> Menu(NewPopupMenu(nullptr, L"", paLeft, true,
                                                {NewItem(L"A", scNone, false, true, nullptr, 0, L"")}));
  HMENU MenuHandle = Menu->GetHandle();
  {
    TMenuItem B(nullptr);
    B.SetCaption(L"B");
    Menu->GetItems()->Add(&B);
    EXPECT_EQ(Captions(MenuHandle), L"A|B");
  }
  EXPECT_EQ(Menu->GetItems()->GetCount(), 1);
  EXPECT_EQ(Captions(MenuHandle), L"A");
}

}  // namespace
