// The data-aware edit's buttons: the road of a press and a click through the down event, the
// button's own form, its menu and the default action (the shared memo editor dropped down or
// shown modally), the press that closed a form, the size kept between calls, and the errors.

#include <gtest/gtest.h>

#include "framework/DB.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"
#include "kvlib/editors/DBCtrlsKv.h"
#include "kvlib/editors/MemoEditFormsKv.h"
#include "kvlib/editors/MemoEditFormsKvTestUtil.h"
#include "kvlib/foundation/toolctrls/DropDownParts.h"
#include "kvlib/grids/gridskv/PopupListboxForm.h"
#include "tests/framework/db/ArrayDataSet.h"

using namespace ctltest;

namespace {

// An unbound edit on a shown form with the focus, its main button visible.
struct TDropEditForm {
  TFormHolder F{320, 120};
  TDBEditKv* Edit;
  TExceptionLog Errors;
  TDropEditForm() {
    Edit = new TDBEditKv(F.Form);
    Edit->SetParent(F.Form);
    Edit->SetBounds(10, 10, 200, 21);
    Edit->GetEditButton()->SetVisible(true);
    F->Show();
    Edit->SetFocus();
    Pump();
  }
  ~TDropEditForm() {
    if (TCustomDropDownFormKv* W = TCustomDropDownFormKv::GetGlobalRef(TMemoEditWinKv::StaticClass()))
      if (W->GetVisible()) W->Close();
    Pump();
  }
  TEditButtonControlKv* ControlOf(TEditButtonKv* B) { return Edit->GetEditButtonControlByEditButton(B); }
  bool Press(TEditButtonKv* B) {
    bool AutoRepeat = false, Handled = false;
    Edit->EditButtonDown(ControlOf(B), true, AutoRepeat, Handled);
    return Handled;
  }
  void Click(TEditButtonKv* B) { Edit->EditButtonClick(ControlOf(B)); }
  TEditButtonKv* Main() { return Edit->GetEditButton(); }
  TEditButtonKv* AddButton(TEditButtonStyleKv Style) {
    TEditButtonKv* B = Edit->GetEditButtons()->Add();
    B->SetStyle(Style);
    B->SetVisible(true);
    return B;
  }
};

TMemoEditWinKv* MemoWindow() { return TMemoEditWinKv::GlobalInstance(); }

}  // namespace

TEST(DBEditDropDown, APlainDropDownButtonDropsTheSharedMemoEditorDownAndOkPostsTheText) {
  TDropEditForm E;
  E.Edit->SetText(L"abc");
  ASSERT_TRUE(E.Main()->GetDefaultAction());
  ASSERT_TRUE(E.Press(E.Main()));
  TMemoEditWinKv* W = MemoWindow();
  ASSERT_TRUE(W->GetVisible());
  EXPECT_TRUE(W->GetDropDownMode());
  EXPECT_EQ(W->Memo1->GetText(), L"abc");
  EXPECT_TRUE(E.ControlOf(E.Main())->GetAlwaysDown()) << "held down while the form is open";
  // Below the edit.
  RECT EditRect;
  GetWindowRect(E.Edit->GetHandle(), &EditRect);
  EXPECT_NEAR(W->GetTop(), EditRect.bottom, 2);
  W->Memo1->SetText(L"abcx");
  W->sbOkClick(nullptr);
  EXPECT_FALSE(W->GetVisible());
  EXPECT_EQ(E.Edit->GetText(), L"abcx");
  EXPECT_EQ(E.Edit->GetDataLink()->DataIndependentValue.AsString(), L"abcx") << "posted";
  EXPECT_FALSE(E.ControlOf(E.Main())->GetAlwaysDown());
  EXPECT_TRUE(E.Errors.Messages.empty());
}

TEST(DBEditDropDown, ThePressThatClosedTheFormDoesNotOpenItAgain) {
  TDropEditForm E;
  E.Edit->SetText(L"abc");
  TMemoEditWinKv* W = MemoWindow();
  ASSERT_TRUE(E.Press(E.Main()));
  // The press outside takes the activation from the form, which closes without OK.
  W->Close();
  ASSERT_FALSE(W->GetVisible());
  // No pumping: the closed marker still waits in the edit's queue when the press arrives.
  EXPECT_TRUE(E.Press(E.Main())) << "the press counts as handled";
  EXPECT_FALSE(W->GetVisible());
  EXPECT_EQ(E.Edit->GetText(), L"abc");
  Pump();
  // Once the marker is gone, a press opens it again.
  EXPECT_TRUE(E.Press(E.Main()));
  EXPECT_TRUE(W->GetVisible());
  W->sbCancelClick(nullptr);
  EXPECT_EQ(E.Edit->GetText(), L"abc");
}

TEST(DBEditDropDown, EllipsisShowsTheMemoEditorModallyAndCancelStillCountsAsHandled) {
  const struct {
    bool Ok;
    const wchar_t* Text;
  } Cases[] = {{true, L"satır bir"}, {false, L"abc"}};
  for (const auto& C : Cases) {
    TDropEditForm E;
    E.Main()->SetStyle(ebsEllipsisKv);
    E.Edit->SetText(L"abc");
    TMemoModalAnswer Answer([&](TMemoEditWinKv* W) {
      EXPECT_EQ(W->Memo1->GetText(), L"abc");
      W->Memo1->SetText(L"satır bir");
      if (C.Ok) W->sbOkClick(nullptr);
      else W->sbCancelClick(nullptr);
    });
    bool Handled = false;
    E.Edit->DefaultEditButtonClick(E.Main(), E.ControlOf(E.Main()), Handled);
    EXPECT_EQ(Answer.Shown(), 1);
    EXPECT_TRUE(Handled);
    EXPECT_EQ(E.Edit->GetText(), C.Text);
    // A press on an ellipsis button opens nothing.
    EXPECT_FALSE(E.Press(E.Main()));
    EXPECT_FALSE(MemoWindow()->GetVisible());
  }
}

TEST(DBEditDropDown, AClickRunsTheEllipsisDefaultActionOnlyWhenNothingElseHandledIt) {
  TDropEditForm E;
  E.Main()->SetStyle(ebsEllipsisKv);
  TEditButtonKv* Own = E.AddButton(ebsEllipsisKv);
  int OwnClicks = 0, EditClicks = 0;
  Own->SetOnClick([&](TObject*, bool&) { ++OwnClicks; });
  E.Edit->SetOnButtonClick([&](TObject*, bool& Handled) {
    ++EditClicks;
    Handled = true;
  });
  TMemoModalAnswer Answer([](TMemoEditWinKv* W) { W->sbCancelClick(nullptr); });
  // A collection button with OnClick has no default action though none is assigned.
  E.Click(Own);
  EXPECT_EQ(OwnClicks, 1);
  EXPECT_FALSE(Own->GetDefaultAction());
  // The edit's OnButtonClick hears the main button only, and handling it skips the default.
  E.Click(E.Main());
  EXPECT_EQ(EditClicks, 1);
  Pump();
  EXPECT_EQ(Answer.Shown(), 0) << "the memo editor never opened";
}

TEST(DBEditDropDown, AHandlingDownEventKeepsTheMenuAndTheDefaultActionAway) {
  TDropEditForm E;
  TPopupMenu Menu(E.F.Form);
  int Popups = 0;
  Menu.SetOnPopup([&](TObject*) { ++Popups; });
  E.Main()->SetDropdownMenu(&Menu);
  int Downs = 0;
  E.Edit->SetOnButtonDown([&](TObject* Sender, bool, bool&, bool& Handled) {
    EXPECT_EQ(Sender, E.ControlOf(E.Main()));
    ++Downs;
    Handled = true;
  });
  EXPECT_TRUE(E.Press(E.Main()));
  EXPECT_EQ(Downs, 1);
  EXPECT_EQ(Popups, 0);
  EXPECT_FALSE(MemoWindow()->GetVisible());
  // A collection button's own OnDown does the same for it.
  TEditButtonKv* B = E.AddButton(ebsDropDownKv);
  B->SetDropdownMenu(&Menu);
  B->SetOnDown([](TObject*, bool, bool&, bool& Handled) { Handled = true; });
  EXPECT_TRUE(E.Press(B));
  EXPECT_EQ(Popups, 0);
  // A freed menu leaves the buttons.
  E.Main()->SetDropdownMenu(nullptr);
}

TEST(DBEditDropDown, TheSizeTheUserLeftIsTheNextCallsWhileTheFormKeepsItsOwn) {
  TDropEditForm E;
  TMemoEditWinKv* W = MemoWindow();
  const Integer DesignW = W->GetWidth(), DesignH = W->GetHeight();
  TDropDownFormCallParamsKv* P = E.Main()->GetDropDownFormParams();
  ASSERT_TRUE(P->GetSaveFormSize());
  ASSERT_TRUE(E.Press(E.Main()));
  W->SetBounds(W->GetLeft(), W->GetTop(), DesignW - 60, DesignH - 50);
  W->sbCancelClick(nullptr);
  Pump();
  EXPECT_EQ(P->GetFormWidth(), DesignW - 60);
  EXPECT_EQ(P->GetFormHeight(), DesignH - 50);
  EXPECT_EQ(W->GetWidth(), DesignW) << "the window gets its own size back between calls";
  EXPECT_EQ(W->GetHeight(), DesignH);
  ASSERT_TRUE(E.Press(E.Main()));
  EXPECT_EQ(W->GetWidth(), DesignW - 60);
  EXPECT_EQ(W->GetHeight(), DesignH - 50);
  W->sbCancelClick(nullptr);
}

TEST(DBEditDropDown, TheFirstDefaultActionButtonIsTheFirstVisibleOne) {
  const struct {
    bool MainVisible;
    bool SecondDefault;  // assigned
    int Expected;        // -1 none, 0 main, 1 and 2 the collection's
  } Cases[] = {
      {true, false, 0},
      {false, true, 2},
      {false, false, -1},
  };
  for (const auto& C : Cases) {
    TDropEditForm E;
    TEditButtonKv* First = E.AddButton(ebsGlyphKv);
    First->SetOnClick([](TObject*, bool&) {});
    TEditButtonKv* Second = E.AddButton(ebsGlyphKv);
    Second->SetOnClick([](TObject*, bool&) {});
    if (C.SecondDefault) Second->SetDefaultAction(true);
    E.Main()->SetVisible(C.MainVisible);
    E.Edit->UpdateEditButtonsState();
    TEditButtonKv* Want = C.Expected == 0 ? E.Main() : C.Expected == 1 ? First : C.Expected == 2 ? Second : nullptr;
    EXPECT_EQ(E.Edit->GetFirstDefaultActionEditButton(), Want) << C.Expected;
  }
}

TEST(DBEditDropDown, TheButtonsOwnFormOpensWithTheTextAndWritesBack) {
  TDropEditForm E;
  E.Edit->SetText(L"ilk");
  TMemoEditWinKv* W = MemoWindow();
  TEditButtonKv* B = E.AddButton(ebsGlyphKv);
  B->GetDropDownFormParams()->SetDropDownForm(W);
  E.Edit->UpdateEditButtonsState();
  ASSERT_FALSE(B->GetDefaultAction()) << "a button with a form of its own";
  int Opened = 0, Closed = 0;
  E.Edit->SetOnOpenDropDownForm([&](TWinControl* Edit, TEditButtonKv* Button, TCustomForm*& Form, TDynVarsKv*) {
    EXPECT_EQ(Edit, E.Edit);
    EXPECT_EQ(Button, B);
    EXPECT_EQ(Form, W);
    ++Opened;
  });
  E.Edit->SetOnCloseDropDownForm([&](TWinControl*, TEditButtonKv*, bool Accept, TCustomForm*, TDynVarsKv*) {
    EXPECT_TRUE(Accept);
    ++Closed;
  });
  ASSERT_TRUE(E.Press(B));
  EXPECT_EQ(Opened, 1);
  EXPECT_EQ(W->Memo1->GetText(), L"ilk");
  W->Memo1->SetText(L"son");
  W->sbOkClick(nullptr);
  EXPECT_EQ(Closed, 1);
  EXPECT_EQ(E.Edit->GetText(), L"son");
  EXPECT_FALSE(E.ControlOf(B)->GetAlwaysDown());
}

TEST(DBEditDropDown, AnUnknownClassOrAFormWithoutTheInterfaceOpensNothing) {
  TDropEditForm E;
  TEditButtonKv* B = E.AddButton(ebsDropDownKv);
  B->GetDropDownFormParams()->SetDropDownFormClassName(L"TYokFormKv");
  try {
    E.Press(B);
    ADD_FAILURE() << "no error";
  } catch (const Exception& Ex) {
    EXPECT_EQ(Ex.Message(), L"Class 'TYokFormKv' is not registered");
  }
  EXPECT_FALSE(E.ControlOf(B)->GetAlwaysDown());
  auto* Plain = new TForm(E.F.Form, 0);
  Plain->AfterConstruction();
  B->GetDropDownFormParams()->SetDropDownFormClassName(L"");
  B->GetDropDownFormParams()->SetDropDownForm(Plain);
  EXPECT_FALSE(E.Press(B));
  EXPECT_FALSE(Plain->GetVisible());
  EXPECT_FALSE(E.ControlOf(B)->GetAlwaysDown());
  EXPECT_FALSE(MemoWindow()->GetVisible());
}

TEST(DBEditDropDown, AValueTheFieldRefusesIsShownAndCancelsTheEditTheCloseBegan) {
  TDropEditForm E;
  TArrayDataSet DS{nullptr};
  DS.GetFieldDefs()->Add(L"NAME", ftWideString, 30);
  DS.Open();
  DS.AppendRecord({L"iyi"});
  DS.FieldByName(L"NAME")->SetOnValidate([](TField* F) {
    if (F->GetAsString() == L"bad") throw EDatabaseError(L"reddedildi");
  });
  TDataSource Source{nullptr};
  Source.SetDataSet(&DS);
  E.Edit->SetDataSource(&Source);
  E.Edit->SetDataField(L"NAME");
  ASSERT_EQ(DS.GetState(), dsBrowse);
  ASSERT_TRUE(E.Press(E.Main()));
  TMemoEditWinKv* W = MemoWindow();
  EXPECT_EQ(W->Memo1->GetText(), L"iyi");
  W->Memo1->SetText(L"bad");
  W->sbOkClick(nullptr);
  ASSERT_EQ(E.Errors.Messages.size(), 1u);
  EXPECT_EQ(E.Errors.Messages[0], L"reddedildi");
  EXPECT_EQ(DS.GetState(), dsBrowse) << "the edit the close began is cancelled";
  EXPECT_EQ(DS.FieldByName(L"NAME")->GetAsString(), L"iyi");
  EXPECT_FALSE(E.ControlOf(E.Main())->GetAlwaysDown());
  E.Edit->SetDataSource(nullptr);
}

// ---- The MRU list -------------------------------------------------------------------------------

TEST(DBEditMRU, TypingFiltersTheListAndDownEnterOrEscapeEndIt) {
  enum TEnd { DownEnter, Escape };
  const struct {
    TEnd End;
    const wchar_t* Text;
  } Cases[] = {{DownEnter, L"abc"}, {Escape, L"ab"}};
  for (const auto& C : Cases) {
    TDropEditForm E;
    E.Main()->SetVisible(false);
    TMRUListKv* MRU = E.Edit->GetMRUList();
    MRU->SetActive(true);
    for (const wchar_t* Item : {L"x", L"abc", L"abd"}) MRU->Add(Item);
    HWND Wnd = E.Edit->GetHandle();
    SendMessageW(Wnd, WM_CHAR, L'a', 0);
    SendMessageW(Wnd, WM_CHAR, L'b', 0);
    ASSERT_EQ(E.Edit->GetText(), L"ab");
    ASSERT_TRUE(E.Errors.Messages.empty()) << E.Errors.Messages[0];
    ASSERT_TRUE(MRU->GetDroppedDown());
    TMRUListboxKv* List = E.Edit->GetMRUListControl();
    ASSERT_TRUE(List->GetVisible());
    ASSERT_EQ(List->GetItems()->GetCount(), 2);
    EXPECT_EQ(List->GetItems()->GetStrings(0), L"abc");
    EXPECT_EQ(List->GetItems()->GetStrings(1), L"abd");
    EXPECT_EQ(GetFocus(), Wnd) << "the edit keeps the focus";
    if (C.End == DownEnter) {
      SendMessageW(Wnd, WM_KEYDOWN, VK_DOWN, 0);
      EXPECT_EQ(List->GetItemIndex(), 0);
      EXPECT_EQ(E.Edit->GetText(), L"ab") << "the arrow went to the list";
      SendMessageW(Wnd, WM_KEYDOWN, VK_RETURN, 0);
    } else {
      SendMessageW(Wnd, WM_KEYDOWN, VK_ESCAPE, 0);
    }
    EXPECT_FALSE(MRU->GetDroppedDown());
    EXPECT_FALSE(List->GetVisible());
    EXPECT_EQ(E.Edit->GetText(), C.Text);
  }
}

TEST(DBEditMRU, ABlankTextClosesTheListUnlessBackspaceMadeIt) {
  TDropEditForm E;
  E.Main()->SetVisible(false);
  TMRUListKv* MRU = E.Edit->GetMRUList();
  MRU->SetActive(true);
  for (const wchar_t* Item : {L"abc", L"abd"}) MRU->Add(Item);
  HWND Wnd = E.Edit->GetHandle();
  SendMessageW(Wnd, WM_CHAR, L'a', 0);
  ASSERT_TRUE(MRU->GetDroppedDown());
  SendMessageW(Wnd, WM_CHAR, VK_BACK, 0);
  ASSERT_EQ(E.Edit->GetText(), L"");
  EXPECT_TRUE(MRU->GetDroppedDown()) << "Backspace keeps every item on show";
  EXPECT_EQ(E.Edit->GetMRUListControl()->GetItems()->GetCount(), 2);
  // Leaving the edit closes it.
  E.F->SetFocusedControl(nullptr);
  SetFocus(E.F->GetHandle());
  Pump();
  EXPECT_FALSE(MRU->GetDroppedDown());
}
