// The combo edit: completion by case, key items and a missing key, stepping, Backspace in a
// limited combo, the default of LimitTextToListValues, the popup list, and a bound field.

#include <gtest/gtest.h>

#include "framework/DB.h"
#include "framework/StdCtrls.h"
#include "kvlib/editors/DBCtrlsKv.h"
#include "kvlib/grids/gridskv/PopupListboxForm.h"
#include "tests/framework/controls/ControlsTestUtil.h"
#include "tests/framework/db/ArrayDataSet.h"

using namespace ctltest;

namespace {

// An unbound combo with focus on a shown form.
struct TComboForm {
  TFormHolder F{320, 120};
  TDBComboBoxKv* Combo;
  TExceptionLog Errors;
  explicit TComboForm(std::initializer_list<const wchar_t*> Items, std::initializer_list<const wchar_t*> Keys = {}) {
    Combo = new TDBComboBoxKv(F.Form);
    Combo->SetParent(F.Form);
    Combo->SetBounds(10, 10, 200, 21);
    for (const wchar_t* I : Items) Combo->GetItems()->Add(I);
    for (const wchar_t* K : Keys) Combo->GetKeyItems()->Add(K);
    F->Show();
    Combo->SetFocus();
    Pump();
  }
  void Type(const String& Text) {
    for (Char C : Text) SendMessageW(Combo->GetHandle(), WM_CHAR, C, 0);
  }
  void Key(Word K) { SendMessageW(Combo->GetHandle(), WM_KEYDOWN, K, 0); }
};

}  // namespace

TEST(DBComboBox, TypingIntoALimitedComboCompletesCaseSensitiveFirst) {
  const struct {
    const wchar_t* Typed;
    const wchar_t* Text;
    Integer Index;
    Integer SelStart;
  } Cases[] = {
      {L"is", L"istanbul", 2, 2},
      {L"IS", L"Istanbul", 1, 2},
      {L"iZ", L"istanbul", 2, 1},  // nothing begins with "iZ": the text stays
      {L"an", L"Ankara", 0, 2},
  };
  for (const auto& C : Cases) {
    TComboForm E{{L"Ankara", L"Istanbul", L"istanbul"}};
    E.Combo->SetLimitTextToListValues(true);
    E.Type(C.Typed);
    EXPECT_EQ(E.Combo->GetText(), C.Text) << C.Typed;
    EXPECT_EQ(E.Combo->GetItemIndex(), C.Index) << C.Typed;
    EXPECT_EQ(E.Combo->GetSelStart(), C.SelStart) << C.Typed;
    EXPECT_EQ(E.Combo->GetSelStart() + E.Combo->GetSelLength(), Integer(String(C.Text).size())) << C.Typed;
    EXPECT_TRUE(E.Errors.Messages.empty());
  }
}

TEST(DBComboBox, BackspaceInALimitedComboWidensTheSelectionAndDeletesNothing) {
  TComboForm E{{L"Ankara", L"Istanbul", L"istanbul"}};
  E.Combo->SetLimitTextToListValues(true);
  E.Type(L"is");
  const struct {
    Integer Start, Length;
  } Steps[] = {{1, 7}, {0, 8}, {7, 1}};
  for (const auto& S : Steps) {
    E.Type(String(1, Char(VK_BACK)));
    EXPECT_EQ(E.Combo->GetText(), L"istanbul");
    EXPECT_EQ(E.Combo->GetSelStart(), S.Start);
    EXPECT_EQ(E.Combo->GetSelLength(), S.Length);
  }
}

TEST(DBComboBox, KeyItemsShowTheItemOfTheKeyAndAMissingKeyShowsNothing) {
  TComboForm E{{L"A", L"B", L"C"}, {L"1", L"2"}};
  EXPECT_TRUE(E.Combo->GetKeyBased());
  EXPECT_EQ(E.Combo->GetItemsCount(), 2) << "C has no key";
  const struct {
    const wchar_t* Key;
    const wchar_t* Text;
    Integer Index;
  } Cases[] = {{L"2", L"B", 1}, {L"3", L"", -1}, {L"1", L"A", 0}};
  for (const auto& C : Cases) {
    E.Combo->SetValue(Variant(String(C.Key)));
    EXPECT_EQ(E.Combo->GetText(), C.Text) << C.Key;
    EXPECT_EQ(E.Combo->GetItemIndex(), C.Index) << C.Key;
  }
  E.Combo->SetItemIndex(2);
  EXPECT_EQ(E.Combo->GetItemIndex(), -1) << "C can never be selected";
  EXPECT_EQ(E.Combo->GetText(), L"");
}

TEST(DBComboBox, UpAndDownStepThroughTheUsableItems) {
  TComboForm E{{L"A", L"B", L"C"}, {L"1", L"2"}};
  const struct {
    Word Key;
    Integer Index;
  } Steps[] = {{VK_UP, 1}, {VK_UP, 0}, {VK_UP, 0}, {VK_DOWN, 1}, {VK_DOWN, 1}};
  // From no item Up selects the last usable one; Up on the first does nothing.
  for (const auto& S : Steps) {
    E.Key(S.Key);
    EXPECT_EQ(E.Combo->GetItemIndex(), S.Index);
  }
  EXPECT_EQ(E.Combo->GetValue().AsString(), L"2");
}

TEST(DBComboBox, LimitingDefaultsToKeyItemsWithoutANotInListHandlerUnlessStored) {
  TComboForm E{{L"A"}};
  EXPECT_FALSE(E.Combo->GetLimitTextToListValues());
  E.Combo->GetKeyItems()->Add(L"1");
  EXPECT_TRUE(E.Combo->GetLimitTextToListValues());
  E.Combo->SetOnNotInList([](TObject*, const String&, bool&) {});
  EXPECT_FALSE(E.Combo->GetLimitTextToListValues());
  E.Combo->SetLimitTextToListValues(true);
  EXPECT_TRUE(E.Combo->GetLimitTextToListValuesStored());
  EXPECT_TRUE(E.Combo->GetLimitTextToListValues());
  E.Combo->SetLimitTextToListValuesStored(false);
  EXPECT_FALSE(E.Combo->GetLimitTextToListValues());
}

TEST(DBComboBox, AssigningTheDropDownBoxCopiesEverySetting) {
  TDropDownBoxKv A, B;
  A.SetAlign(daRight);
  A.SetAutoDrop(true);
  A.SetAutoFilter(true);
  A.SetAutoFilterType(lsftContainsKv);
  A.SetRows(3);
  A.SetSizable(true);
  A.SetWidth(-1);
  B.Assign(&A);
  EXPECT_EQ(B.GetAlign(), daRight);
  EXPECT_TRUE(B.GetAutoDrop());
  EXPECT_TRUE(B.GetAutoFilter());
  EXPECT_EQ(B.GetAutoFilterType(), lsftContainsKv);
  EXPECT_EQ(B.GetRows(), 3);
  EXPECT_TRUE(B.GetSizable());
  EXPECT_EQ(B.GetWidth(), -1);
}

TEST(DBComboBox, ANotInListHandlerThatAddsTheTextKeepsItsKey) {
  TComboForm E{{L"A", L"B"}, {L"1", L"2"}};
  E.Combo->SetOnNotInList([&](TObject*, const String& NewText, bool& Recheck) {
    EXPECT_EQ(NewText, L"D");
    E.Combo->GetItems()->Add(NewText);
    E.Combo->GetKeyItems()->Add(L"4");
    Recheck = true;
  });
  E.Type(L"D");
  ASSERT_EQ(E.Combo->GetText(), L"D");
  E.Combo->UpdateData();
  EXPECT_EQ(E.Combo->GetItemIndex(), 2);
  EXPECT_EQ(E.Combo->GetDataLink()->DataIndependentValue.AsString(), L"4");
}

TEST(DBComboBox, AFailureWhileSearchingPassesOnWithTheIndexKept) {
  TComboForm E{{L"Ankara", L"Istanbul"}};
  E.Combo->SetOnGetItemImageIndex([](TObject*, Integer Index, Integer&) {
    if (Index >= 0) throw Exception(L"olmadı");
  });
  try {
    E.Combo->LocateStr(L"Ank", true);
    ADD_FAILURE() << "the error was swallowed";
  } catch (const Exception& Ex) {
    EXPECT_EQ(Ex.Message(), L"olmadı");
  }
  EXPECT_EQ(E.Combo->GetItemIndex(), -1);
}

TEST(DBComboBox, ThePopupListShowsTheItemsAndClosingWithOkTakesTheChosenOne) {
  TComboForm E{{L"Ankara", L"Istanbul", L"İzmir"}};
  int Drops = 0, Closes = 0;
  E.Combo->SetOnDropDown([&](TObject*) { ++Drops; });
  E.Combo->SetOnCloseUp([&](TObject*, bool Accept) {
    EXPECT_TRUE(Accept);
    ++Closes;
  });
  E.Combo->DropDown(nullptr);
  ASSERT_TRUE(E.Combo->GetListVisible());
  TPopupListboxFormKv* P = E.Combo->GetPopupListbox();
  EXPECT_TRUE(P->GetVisible());
  EXPECT_EQ(P->GetCount(), 3);
  EXPECT_GE(P->GetWidth(), E.Combo->GetWidth());
  EXPECT_EQ(GetFocus(), E.Combo->GetHandle()) << "the combo keeps the focus";
  P->SetItemIndex(2);
  // Enter closes the list, taking the chosen item.
  E.Type(String(1, Char(VK_RETURN)));
  EXPECT_FALSE(E.Combo->GetListVisible());
  EXPECT_FALSE(P->GetVisible());
  EXPECT_EQ(E.Combo->GetText(), L"İzmir");
  EXPECT_EQ(Drops, 1);
  EXPECT_EQ(Closes, 1);
}

TEST(DBComboBox, AKeyBasedComboEditsItsField) {
  TComboForm E{{L"Bir", L"İki"}, {L"1", L"2"}};
  TArrayDataSet DS{nullptr};
  DS.GetFieldDefs()->Add(L"CODE", ftWideString, 10);
  DS.Open();
  DS.AppendRecord({L"3"});
  TDataSource Source{nullptr};
  Source.SetDataSet(&DS);
  E.Combo->SetDataSource(&Source);
  E.Combo->SetDataField(L"CODE");
  EXPECT_EQ(E.Combo->GetText(), L"") << "a key that is not among the keys";
  EXPECT_EQ(E.Combo->GetItemIndex(), -1);
  E.Combo->SetItemIndex(1);
  EXPECT_EQ(DS.FieldByName(L"CODE")->GetAsString(), L"2");
  EXPECT_EQ(E.Combo->GetText(), L"İki");
  DS.Post();
  DS.Edit();
  DS.FieldByName(L"CODE")->SetAsString(L"1");
  EXPECT_EQ(E.Combo->GetText(), L"Bir");
  DS.Cancel();
  E.Combo->SetDataSource(nullptr);
}
