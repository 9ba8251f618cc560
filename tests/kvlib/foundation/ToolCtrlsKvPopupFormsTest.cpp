// The inactive popup form (shown without taking the activation, keys forwarded to its master
// control) and the popup menus whose items can stay open, driven through their window messages.

#include "kvlib/foundation/toolctrls/PopupForms.h"

#include <gtest/gtest.h>

#include "framework/StdCtrls.h"
#include "kvlib/foundation/ButtonsKvTestUtil.h"

using namespace ctltest;

namespace {

struct TEditAndPopup {
  TFormHolder F{300, 120};
  TEdit* Edit;
  TPopupInactiveFormKv* Popup;
  std::vector<Word> Keys;
  TEditAndPopup() {
    Edit = new TEdit(F.Form);
    Edit->SetParent(F.Form);
    Edit->SetBounds(10, 10, 150, 21);
    Edit->SetOnKeyDown([this](TObject*, Word& Key, TShiftState) { Keys.push_back(Key); });
    F->Show();
    Edit->SetFocus();
    Pump();
    Popup = TComponent::Create<TPopupInactiveFormKv>(nullptr);
    Popup->SetBounds(20, 40, 120, 80);
    Popup->SetMasterActionsControl(Edit);
  }
  ~TEditAndPopup() { delete Popup; }
};

TEST(PopupInactiveForm, ShowsWithoutTakingTheActivationWhileTheEditTypes) {
  TEditAndPopup T;
  ASSERT_EQ(GetFocus(), T.Edit->GetHandle());
  T.Popup->Show();
  Pump();
  EXPECT_TRUE(IsWindowVisible(T.Popup->GetHandle()));
  EXPECT_TRUE(T.Popup->GetVisible());
  EXPECT_TRUE(GetWindowLongW(T.Popup->GetHandle(), GWL_EXSTYLE) & WS_EX_NOACTIVATE);
  EXPECT_EQ(GetActiveWindow(), T.F->GetHandle());
  EXPECT_EQ(GetFocus(), T.Edit->GetHandle());
  EXPECT_FALSE(T.Popup->GetActive());
  EXPECT_FALSE(T.Popup->CanFocus());
  // A click on it leaves the activation where it is.
  EXPECT_EQ(SendMessageW(T.Popup->GetHandle(), WM_MOUSEACTIVATE, WPARAM(T.F->GetHandle()),
                         MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
            MA_NOACTIVATE);
  PostMessageW(T.Edit->GetHandle(), WM_CHAR, L'ş', 0);
  PostMessageW(T.Edit->GetHandle(), WM_CHAR, L'i', 0);
  Pump();
  EXPECT_EQ(T.Edit->GetText(), L"şi");
  EXPECT_EQ(GetFocus(), T.Edit->GetHandle());
  T.Popup->Hide();
  EXPECT_FALSE(IsWindowVisible(T.Popup->GetHandle()));
}

TEST(PopupInactiveForm, KeysReachingThePopupGoToTheMasterControl) {
  TEditAndPopup T;
  T.Popup->Show();
  Pump();
  SendMessageW(T.Popup->GetHandle(), WM_KEYDOWN, VK_DOWN, 0);
  SendMessageW(T.Popup->GetHandle(), WM_SYSKEYDOWN, VK_F4, 0x20000000);
  EXPECT_EQ(T.Keys, (std::vector<Word>{VK_DOWN, VK_F4}));
  T.Popup->SetMasterActionsControl(nullptr);
  SendMessageW(T.Popup->GetHandle(), WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(T.Keys.size(), 2u);
  // A freed master control is forgotten.
  T.Popup->SetMasterActionsControl(T.Edit);
  delete T.Edit;
  EXPECT_EQ(T.Popup->GetMasterActionsControl(), nullptr);
  SendMessageW(T.Popup->GetHandle(), WM_KEYDOWN, VK_UP, 0);
}

TEST(PopupInactiveForm, BorderWidthAndEdgeFollowTheBorderStyle) {
  std::unique_ptr<TPopupInactiveFormKv> P(TComponent::Create<TPopupInactiveFormKv>(nullptr));
  P->SetBounds(0, 0, 60, 40);
  EXPECT_EQ(P->GetBorderStyle(), bsNone);
  EXPECT_EQ(P->GetFormStyle(), fsStayOnTop);
  EXPECT_TRUE(P->GetDropShadow());
  EXPECT_EQ(P->GetBorderWidth(), 0);
  auto NotWhite = [&] {
    auto Shot = buttontest::PaintForm(P.get());
    Integer N = 0;
    for (Integer X = 0; X < 60; ++X) N += (Shot->GetCanvas()->GetPixel(X, 0) & 0xFFFFFF) != clWhite;
    return N;
  };
  EXPECT_EQ(NotWhite(), 0) << "no edge without a border";
  P->SetBorderStyle(bsToolWindow);
  EXPECT_EQ(P->GetBorderWidth(), 2);
  EXPECT_GT(NotWhite(), 20);
}

// A stand-in for a menu window: counts what reaches its own procedure.
struct TMenuWindowStandIn {
  static inline std::vector<UINT> Seen;
  static LRESULT CALLBACK Proc(HWND W, UINT M, WPARAM WP, LPARAM LP) {
    if (M == WM_KEYDOWN || M == 0x1ED || M == 0x1F1 || M == WM_DESTROY) Seen.push_back(M);
    return DefWindowProcW(W, M, WP, LP);
  }
  HWND Wnd;
  TMenuWindowStandIn() {
    static bool Registered = [] {
      WNDCLASSW C{};
      C.lpfnWndProc = &Proc;
      C.hInstance = GetModuleHandleW(nullptr);
      C.lpszClassName = L"KvMenuWindowStandIn";
      return RegisterClassW(&C) != 0;
    }();
    (void)Registered;
    Wnd = CreateWindowExW(0, L"KvMenuWindowStandIn", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
    Seen.clear();
  }
  ~TMenuWindowStandIn() {
    if (IsWindow(Wnd)) DestroyWindow(Wnd);
  }
};

struct TStayOpenMenu {
  std::unique_ptr<TPopupMenuKv> MenuHolder{new TPopupMenuKv(nullptr)};
  TPopupMenuKv& Menu = *MenuHolder;
  TMenuItemKv* Check;
  TMenuItemKv* Plain;
  TMenuItem* Line;
  TMenuItem* Mirror;
  Integer CheckClicks = 0, PlainClicks = 0;
  TStayOpenMenu() {
    Mirror = new TMenuItem(&Menu);
    Check = new TMenuItemKv(&Menu, Mirror);
    Check->SetCaption(L"Sütun");
    Check->SetAutoCheck(true);
    Check->SetCloseMenuOnClick(false);
    Check->SetOnClick([this](TObject*) { ++CheckClicks; });
    Plain = new TMenuItemKv(&Menu);
    Plain->SetCaption(L"Kapat");
    Plain->SetOnClick([this](TObject*) { ++PlainClicks; });
    Line = NewLine();
    Menu.GetItems()->Add({Check, Line, Plain});
  }
};

TEST(PopupListKv, AMenuItemThatStaysOpenIsClickedOnEnterAndOnPress) {
  TStayOpenMenu M;
  TMenuWindowStandIn Win;
  TPopupListKv* List = PopupListKv();
  HWND ListWnd = List->GetWindow();
  HMENU Handle = M.Menu.GetItems()->GetHandle();
  Integer Before = List->GetPopupMenuWinCount();

  SendMessageW(ListWnd, WM_INITMENUPOPUP, WPARAM(Handle), 0);
  EXPECT_TRUE(List->GetGetPopupWindowHandle());
  SendMessageW(ListWnd, WM_ENTERIDLE, MSGF_MENU, LPARAM(Win.Wnd));
  EXPECT_FALSE(List->GetGetPopupWindowHandle());
  ASSERT_EQ(List->GetPopupMenuWinCount(), Before + 1);
  TPopupMenuWinKv* Entry = List->FindPopupMenuWin(Win.Wnd);
  ASSERT_NE(Entry, nullptr);
  EXPECT_EQ(Entry->MenuHandle, Handle);
  // The same menu again is not tracked twice.
  SendMessageW(ListWnd, WM_INITMENUPOPUP, WPARAM(Handle), 0);
  EXPECT_FALSE(List->GetGetPopupWindowHandle());

  SendMessageW(ListWnd, WM_MENUSELECT, MAKEWPARAM(M.Check->GetCommand(), MF_STRING), LPARAM(Handle));
  EXPECT_EQ(Entry->SelectedItemID, M.Check->GetCommand());
  SendMessageW(Win.Wnd, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(M.Check->GetChecked());
  EXPECT_TRUE(M.Mirror->GetChecked()) << "ActualMenuItem follows";
  EXPECT_EQ(M.CheckClicks, 1);
  EXPECT_TRUE(Win.Seen.empty()) << "the Enter was swallowed: the menu stays open";

  // A press on the item's position toggles it back.
  SendMessageW(Win.Wnd, 0x1ED, 0, 0);
  EXPECT_FALSE(M.Check->GetChecked());
  EXPECT_FALSE(M.Mirror->GetChecked());
  EXPECT_EQ(M.CheckClicks, 2);
  EXPECT_TRUE(Win.Seen.empty());

  // An ordinary item and a separator are left to the menu, which closes.
  SendMessageW(ListWnd, WM_MENUSELECT, MAKEWPARAM(M.Plain->GetCommand(), MF_STRING), LPARAM(Handle));
  SendMessageW(Win.Wnd, WM_KEYDOWN, VK_RETURN, 0);
  SendMessageW(Win.Wnd, 0x1ED, 1, 0);
  SendMessageW(Win.Wnd, 0x1F1, 2, 0);
  EXPECT_EQ(M.PlainClicks, 0);
  EXPECT_EQ(Win.Seen, (std::vector<UINT>{WM_KEYDOWN, 0x1ED, 0x1F1}));

  // Destroying the window ends its tracking.
  Win.Seen.clear();
  DestroyWindow(Win.Wnd);
  EXPECT_EQ(List->GetPopupMenuWinCount(), Before);
  EXPECT_EQ(List->FindPopupMenuWin(Win.Wnd), nullptr);
  EXPECT_FALSE(Win.Seen.empty()) << "the window's own procedure still heard its destruction";
}

TEST(PopupListKv, MenuItemClickTogglesBeforeTheHandlerRuns) {
  std::unique_ptr<TPopupMenuKv> Holder(new TPopupMenuKv(nullptr));
  TPopupMenuKv& Menu = *Holder;
  auto* Mirror = new TMenuItem(&Menu);
  auto* Item = new TMenuItemKv(&Menu, Mirror);
  Item->SetAutoCheck(true);
  EXPECT_TRUE(Item->GetCloseMenuOnClick());
  std::vector<bool> SeenChecked;
  Item->SetOnClick([&](TObject*) { SeenChecked.push_back(Item->GetChecked()); });
  Item->Click();
  Item->Click();
  EXPECT_EQ(SeenChecked, (std::vector<bool>{true, false}));
  EXPECT_FALSE(Mirror->GetChecked());
  EXPECT_TRUE(bool(Item->GetOnClick())) << "the handler is put back";
  delete Mirror;
  EXPECT_EQ(Item->GetActualMenuItem(), nullptr);
  Item->Click();
  EXPECT_EQ(SeenChecked.size(), 3u);
}

TEST(PopupListKv, AFamilyMenuPopsUpThroughTheFamilyListAndPutsTheFrameworksBack) {
  std::unique_ptr<TPopupMenuKv> Holder(new TPopupMenuKv(nullptr));
  TPopupMenuKv& Menu = *Holder;
  TPopupList* Before = GetPopupList();
  TPopupList* During = nullptr;
  Menu.SetOnPopup([&](TObject*) { During = GetPopupList(); });
  // Closed at once by a queued Escape.
  TFormHolder F;
  F->Show();
  Menu.GetItems()->Add(NewItem(L"Bir", 0, false, true, nullptr, 0, L""));
  PostMessageW(F->GetHandle(), WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageW(F->GetHandle(), WM_KEYDOWN, VK_ESCAPE, 0);
  Menu.Popup(50, 50);
  EXPECT_EQ(During, PopupListKv());
  EXPECT_EQ(GetPopupList(), Before);
}

}  // namespace
