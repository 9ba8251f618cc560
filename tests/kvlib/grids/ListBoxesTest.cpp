// The list box: the filter and its two index spaces, selection under a filter, the empty list,
// the locale's case rules, and an oracle run of random filters over random items.

#include <gtest/gtest.h>

#include <random>

#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "framework/controls/ControlsTestUtil.h"
#include "kvlib/grids/GridsKv.h"

namespace {

// A list box of 200 x 160 pixels on a form of its own, its window made, rows 16 pixels high.
struct TListOnForm {
  ctltest::TFormHolder Form{300, 300};
  TCustomListboxKv* List;
  explicit TListOnForm(std::initializer_list<const wchar_t*> Items = {}) : List(new TCustomListboxKv(Form.Form)) {
    List->SetBounds(0, 0, 200, 160);
    List->SetParent(Form.Form);
    List->SetItemHeight(16);
    for (const wchar_t* S : Items) List->GetItems()->Add(S);
    List->HandleNeeded();
  }
  TCustomListboxKv* operator->() const { return List; }
};

std::vector<String> VisibleTexts(TCustomListboxKv* L) {
  std::vector<String> R;
  for (Integer V = 0; V < L->GetVisibleCount(); ++V) {
    String S;
    L->GetItemText(V, S);
    R.push_back(S);
  }
  return R;
}

struct TFilterCase {
  const wchar_t* Filter;
  TLSAutoFilterTypeKv Type;
  bool CaseInsensitive;
  std::vector<String> Visible;
  Integer ItemIndex;         // Banana selected before the filter
  Integer ItemVisibleIndex;
};

TEST(ListboxFilter, KeepsMatchingItemsAndTheSelectionWhenItStaysVisible) {
  const TFilterCase Cases[] = {
      {L"an", lsftContainsKv, true, {L"Banana"}, 2, 0},
      {L"ap", lsftBeginsWithKv, true, {L"Apple", L"apricot"}, -1, -1},
      {L"ap", lsftBeginsWithKv, false, {L"apricot"}, -1, -1},
      {L"AN", lsftContainsKv, false, {}, -1, -1},
      {L"NAN", lsftContainsKv, true, {L"Banana"}, 2, 0},
      {L"", lsftContainsKv, true, {L"Apple", L"apricot", L"Banana"}, 2, 2},
  };
  for (const TFilterCase& C : Cases) {
    SCOPED_TRACE(String(C.Filter));
    TListOnForm L{L"Apple", L"apricot", L"Banana"};
    L->SetItemIndex(2);
    ASSERT_EQ(L->GetItemIndex(), 2);
    L->ApplyFilter(C.Filter, C.Type, C.CaseInsensitive);
    EXPECT_EQ(VisibleTexts(L.List), C.Visible);
    EXPECT_EQ(L->GetRowCount(), std::max<Integer>(1, Integer(C.Visible.size())));
    EXPECT_EQ(L->GetItemIndex(), C.ItemIndex);
    EXPECT_EQ(L->GetItemVisibleIndex(), C.ItemVisibleIndex);
  }
}

TEST(ListboxFilter, MapsBetweenDataAndVisibleIndexes) {
  TListOnForm L{L"Apple", L"apricot", L"Banana", L"grape"};
  L->ApplyFilter(L"ap", lsftContainsKv, true);  // Apple, apricot, grape
  const std::pair<Integer, Integer> DataToVisible[] = {{0, 0}, {1, 1}, {2, -1}, {3, 2}, {-1, -1}, {4, -1}, {-7, -1}};
  for (auto [D, V] : DataToVisible) EXPECT_EQ(L->DataIndexToVisibleIndex(D), V) << D;
  const std::pair<Integer, Integer> VisibleToData[] = {{0, 0}, {1, 1}, {2, 3}, {3, -1}, {-1, -1}};
  for (auto [V, D] : VisibleToData) EXPECT_EQ(L->VisibleIndexToDataIndex(V), D) << V;
}

TEST(ListboxFilter, NamingAHiddenItemSelectsNothing) {
  TListOnForm L{L"Apple", L"apricot", L"Banana"};
  L->ApplyFilter(L"ap", lsftBeginsWithKv, true);
  L->SetItemIndex(1);
  EXPECT_EQ(L->GetItemIndex(), 1);
  L->SetItemIndex(2);  // Banana is hidden
  EXPECT_EQ(L->GetItemIndex(), -1);
  EXPECT_EQ(L->GetItemVisibleIndex(), -1);
}

TEST(ListboxFilter, ClearFilterWithoutAFilterChangesNothing) {
  TListOnForm L{L"Apple", L"apricot", L"Banana"};
  L->SetItemIndex(1);
  L->ClearFilter();
  EXPECT_EQ(L->GetItemIndex(), 1);
  EXPECT_EQ(L->GetVisibleCount(), 3);
  // With a filter it shows everything again and keeps the selected item.
  L->ApplyFilter(L"ap", lsftBeginsWithKv, true);
  L->ClearFilter();
  EXPECT_EQ(L->GetVisibleCount(), 3);
  EXPECT_EQ(L->GetItemIndex(), 1);
  EXPECT_EQ(L->GetFilterType(), lsftBeginsWithKv);
  EXPECT_FALSE(L->GetFilterCaseInsensitive());
}

TEST(ListboxFilter, FollowsChangesOfTheItems) {
  TListOnForm L{L"Apple", L"apricot", L"Banana"};
  L->ApplyFilter(L"AP", lsftBeginsWithKv, true);
  L->GetItems()->Add(L"apex");
  L->GetItems()->SetStrings(0, L"Cherry");
  EXPECT_EQ(VisibleTexts(L.List), (std::vector<String>{L"apricot", L"apex"}));
  EXPECT_EQ(L->GetRowCount(), 2);
}

TEST(ListboxFilter, TurkishLettersMatchAsTheUsersLocaleCases) {
  TListOnForm L{L"ılık", L"ilik", L"Irmak", L"İnce"};
  const bool Turkish = SysLocale.PriLangID == 0x1F;
  struct {
    const wchar_t* Filter;
    std::vector<String> Turkish, Other;
  } const Cases[] = {
      {L"IL", {L"ılık"}, {L"ılık", L"ilik"}},
      {L"il", {L"ilik"}, {L"ılık", L"ilik"}},
      {L"in", {L"İnce"}, {}},
      {L"ır", {L"Irmak"}, {L"Irmak"}},
  };
  for (const auto& C : Cases) {
    L->ApplyFilter(C.Filter, lsftBeginsWithKv, true);
    EXPECT_EQ(VisibleTexts(L.List), Turkish ? C.Turkish : C.Other) << String(C.Filter);
  }
}

TEST(ListboxFilter, RandomFiltersAgreeWithATestOfEveryItem) {
  std::mt19937 Rng(1207);
  const wchar_t Alphabet[] = L"aAbBiIıİ ş\xD83D\xDE00";
  auto RandomText = [&](Integer MaxLen) {
    String S;
    for (Integer N = Integer(Rng() % (MaxLen + 1)); N > 0; --N) S += Alphabet[Rng() % (std::size(Alphabet) - 1)];
    return S;
  };
  TListOnForm L;
  for (Integer I = 0; I < 300; ++I) L->GetItems()->Add(RandomText(6));
  for (Integer Round = 0; Round < 200; ++Round) {
    if (Round % 20 == 0) L->GetItems()->SetStrings(Integer(Rng() % 300), RandomText(6));
    String F = RandomText(3);
    auto Type = Rng() % 2 ? lsftBeginsWithKv : lsftContainsKv;
    bool Ci = Rng() % 2;
    L->ApplyFilter(F, Type, Ci);
    Integer V = 0;
    for (Integer D = 0; D < L->GetItems()->GetCount(); ++D) {
      String S = L->GetItems()->GetStrings(D);
      String Fu = Ci ? AnsiUpperCase(F) : F, Su = Ci ? AnsiUpperCase(S) : S;
      bool Hit = F.empty() || (Type == lsftBeginsWithKv ? Su.rfind(Fu, 0) == 0 : Su.find(Fu) != String::npos);
      ASSERT_EQ(L->DataIndexToVisibleIndex(D), Hit ? V : -1) << "round " << Round << " item " << D;
      if (Hit) ASSERT_EQ(L->VisibleIndexToDataIndex(V++), D);
    }
    ASSERT_EQ(L->GetVisibleCount(), V);
  }
}

TEST(Listbox, AnEmptyListShowsOneBlankRowAndDownDoesNothing) {
  TListOnForm L;
  EXPECT_EQ(L->GetRowCount(), 1);
  EXPECT_EQ(L->GetItemIndex(), -1);
  L->Perform(WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(L->GetItemIndex(), -1);
  EXPECT_EQ(L->GetItemVisibleIndex(), -1);
  L->SetItemVisibleIndex(0);  // no item there
  EXPECT_EQ(L->GetItemVisibleIndex(), -1);
  L->Repaint();
}

TEST(Listbox, DownSelectsTheFirstRowWhenNothingIsSelected) {
  TListOnForm L{L"one", L"two", L"three"};
  EXPECT_EQ(L->GetItemIndex(), -1);
  L->Perform(WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(L->GetItemIndex(), 0);
  L->Perform(WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(L->GetItemIndex(), 1);
  L->SetItemIndex(-1);
  EXPECT_EQ(L->GetItemIndex(), -1);
  EXPECT_EQ(L->GetRow(), 0);
  L->SetItemIndex(7);  // out of range: ignored
  EXPECT_EQ(L->GetItemIndex(), -1);
}

TEST(Listbox, ItemsUnderAPointAndClampedToTheList) {
  TListOnForm L{L"a", L"b", L"c"};
  L->ApplyFilter(L"", lsftContainsKv, false);
  struct {
    Integer X, Y, AtPos, Strict;
  } const Cases[] = {
      {5, 5, 0, 0}, {5, 20, 1, 1}, {5, 40, 2, 2}, {5, 100, -1, -1}, {5, -30, -1, 0}, {900, 20, -1, 1},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(L->ItemAtPos(TPoint(C.X, C.Y), true), C.AtPos) << C.X << "," << C.Y;
    EXPECT_EQ(L->StrictIndexToClient(C.X, C.Y), C.Strict) << C.X << "," << C.Y;
  }
  // Below the list the last row's item answers (the client ends past the three rows here).
  L->SetBounds(0, 0, 200, 48);
  EXPECT_EQ(L->StrictIndexToClient(5, 500), 2);
}

TEST(Listbox, CountIsSetOnlyOnAVirtualList) {
  TListOnForm L{L"a"};
  String Message;
  try {
    L->SetCount(5);
  } catch (const Exception& E) {
    Message = E.Message();
  }
  EXPECT_EQ(Message, L"Can't assign Count when list is not virtual");
  EXPECT_EQ(L->GetCount(), 1);
  L->SetVirtualItems(true);
  L->SetCount(5);
  EXPECT_EQ(L->GetCount(), 5);
}

TEST(Listbox, TheOneColumnFillsTheCellArea) {
  TListOnForm L{L"a", L"b"};
  L->SetBounds(0, 0, 150, 100);
  EXPECT_EQ(L->GetColCount(), 1);
  EXPECT_EQ(L->GetColWidths(0), L->GetGridClientWidth());
}

// Item objects: the list hands keys and drawing to the object of the item.
class TRecordingItem : public TCustomListboxItemKv {
 public:
  std::vector<String>* Log;
  explicit TRecordingItem(std::vector<String>* ALog) : Log(ALog) {}
  void GetDisplayText(TCustomListboxKv*, Integer ItemIndex, String& Text) override {
    Text = L"item " + IntToStr(ItemIndex);
  }
  void KeyPress(TCustomListboxKv*, Integer ItemIndex, Char& Key, TShiftState, bool&) override {
    Log->push_back(L"key " + String(1, Key) + L" on " + IntToStr(ItemIndex));
  }
  void DrawItem(TCustomListboxKv* Sender, Integer ItemIndex, TGridDrawState State, const TRect& ARect) override {
    Log->push_back(L"draw " + IntToStr(ItemIndex));
    TCustomListboxItemKv::DrawItem(Sender, ItemIndex, State, ARect);
  }
};

TEST(Listbox, ItemObjectsAnswerForTheirItemsOnlyWhenUsed) {
  std::vector<String> Log;
  TRecordingItem Item(&Log);
  TListOnForm L{L"plain"};
  L->GetItems()->AddObject(L"special", &Item);
  String Text;
  L->GetItemText(1, Text);
  EXPECT_EQ(Text, L"special");
  L->SetUseItemObjects(true);
  L->GetItemText(1, Text);
  EXPECT_EQ(Text, L"item 1");
  L->SetItemIndex(1);
  L->Perform(WM_CHAR, L'x', 0);
  L->SetItemIndex(0);
  L->Perform(WM_CHAR, L'y', 0);
  Log.erase(std::remove_if(Log.begin(), Log.end(), [](const String& S) { return S.rfind(L"draw", 0) == 0; }),
            Log.end());
  EXPECT_EQ(Log, (std::vector<String>{L"key x on 1"}));
  L->Repaint();
}

}  // namespace
