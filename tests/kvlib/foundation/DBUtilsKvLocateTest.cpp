// The data grid's text search over its cells, the dataset-feature registry and the hooked text
// routines.

#include <gtest/gtest.h>

#include "framework/DB.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "kvlib/foundation/DBUtilsKv.h"
#include "tests/framework/db/ArrayDataSet.h"
#include "tests/kvlib/foundation/FakeDBGridKv.h"

namespace {

// Records ID 1..Count with NAME "r<id>" and CITY; a grid with the columns ID, NAME, CITY.
class SearchGrid {
 public:
  explicit SearchGrid(Integer Count) : DS(new TArrayDataSet(nullptr)) {
    DS->GetFieldDefs()->Add(L"ID", ftInteger);
    DS->GetFieldDefs()->Add(L"NAME", ftWideString, 30);
    DS->GetFieldDefs()->Add(L"CITY", ftWideString, 30);
    DS->Open();
    for (Integer I = 1; I <= Count; ++I) DS->AppendRecord({I, String(L"r") + IntToStr(I), String(L"c") + IntToStr(I)});
    DS->First();
    Grid = std::make_unique<TFakeDBGrid>(DS);
    Grid->SelectedIndex = 1;  // NAME
  }
  ~SearchGrid() {
    Grid.reset();
    delete DS;
  }
  void Go(Integer Id) { ASSERT_TRUE(DS->Locate(L"ID", Id, {})); }
  Integer Id() { return DS->FieldByName(L"ID")->GetAsInteger(); }
  void SetName(Integer Id, const String& Name) {
    Go(Id);
    DS->Edit();
    DS->FieldByName(L"NAME")->SetAsString(Name);
    DS->Post();
  }
  bool Locate(const String& Text, TLocateTextOptionsKv Options = {}, TLocateTextDirectionKv Direction = ltdDownKv,
              TLocateTextMatchingKv Matching = ltmAnyPartKv, const String& FieldName = L"", Integer TimeLimit = 0) {
    return GridLocateText(Grid.get(), FieldName, Text, Options, Direction, Matching, TimeLimit, Check);
  }
  // A check method that accepts nothing and notes the records it was asked about.
  void RecordVisits() {
    Check = [this](IColumnKv*, bool& Accept, const String&) {
      Visited.push_back(Id());
      Accept = false;
    };
  }
  TArrayDataSet* DS;
  std::unique_ptr<TFakeDBGrid> Grid;
  TCheckColumnValueAcceptEventKv Check;
  std::vector<Integer> Visited;
};

}  // namespace

TEST(GridLocateText, WrapsOnceFromTheCurrentRecord) {
  SearchGrid S(10);
  S.Go(6);
  EXPECT_TRUE(S.Locate(L"r3"));  // nothing below: found after wrapping to the top
  EXPECT_EQ(S.Id(), 3);
  EXPECT_TRUE(S.Locate(L"r1"));  // "r1" and then "r10", below
  EXPECT_EQ(S.Id(), 10);

  S.Go(6);
  S.RecordVisits();
  EXPECT_FALSE(S.Locate(L"zz"));
  EXPECT_EQ(S.Visited, (std::vector<Integer>{7, 8, 9, 10, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(S.Id(), 6);  // back where it was
  EXPECT_EQ(S.Grid->RestoreCount, 1);
}

TEST(GridLocateText, DirectionDecidesWhereTheSearchStarts) {
  const struct {
    TLocateTextDirectionKv Direction;
    Integer From;
    Integer Found;
  } Cases[] = {
      {ltdDownKv, 5, 8},  // the current cell is not looked at
      {ltdAllKv, 5, 5},   // from the first record, the current cell included
      {ltdAllKv, 9, 5},
      {ltdUpKv, 7, 5},
      {ltdUpKv, 5, 8},    // wraps to the last record
  };
  SearchGrid S(10);
  S.SetName(5, L"hit");
  S.SetName(8, L"hit");
  for (const auto& C : Cases) {
    S.Go(C.From);
    EXPECT_TRUE(S.Locate(L"hit", {}, C.Direction));
    EXPECT_EQ(S.Id(), C.Found) << C.Direction << " from " << C.From;
  }
}

TEST(GridLocateText, AllFieldsWalkCellsAndShowTheFoundColumn) {
  SearchGrid S(5);
  S.Go(2);
  EXPECT_TRUE(S.Locate(L"c4", {ltoAllFieldsKv}));
  EXPECT_EQ(S.Id(), 4);
  EXPECT_EQ(S.Grid->SelectedIndex, 2);
  // Backward over all fields: the cells of a record from the last column to the first.
  S.Grid->Panel.Active = true;
  S.Grid->Panel.FoundColumnIndex = 0;
  EXPECT_TRUE(S.Locate(L"r", {ltoAllFieldsKv}, ltdUpKv));
  EXPECT_EQ(S.Id(), 3);
  EXPECT_EQ(S.Grid->Panel.FoundColumnIndex, 1);
  EXPECT_EQ(S.Grid->SelectedIndex, 2);  // the panel shows it, the selected column stays
  // A column the behaviour object cannot read as text is skipped.
  S.Grid->Panel.Active = false;
  S.Grid->Unreadable = {S.Grid->Col(2)};
  EXPECT_FALSE(S.Locate(L"c1", {ltoAllFieldsKv}));
  // A field name searches that field only.
  EXPECT_TRUE(S.Locate(L"c1", {}, ltdDownKv, ltmAnyPartKv, L"CITY"));
  EXPECT_EQ(S.Id(), 1);
}

TEST(GridLocateText, InsideARecordSelectionOnlySelectedRowsInBookmarkOrder) {
  SearchGrid S(10);
  for (Integer Id : {9, 2, 5}) {
    S.Go(Id);
    S.Grid->Selection.Rows.SetCurrentRowSelected(true);
  }
  S.Grid->Selection.Type = gstRecordBookmarks;
  S.RecordVisits();
  S.Go(5);
  EXPECT_FALSE(S.Locate(L"x", {ltoInsideSelectionKv}));
  EXPECT_EQ(S.Visited, (std::vector<Integer>{9, 2, 5, 9}));
  S.Visited.clear();
  S.Go(4);  // not selected: the search goes to the first selected row
  EXPECT_FALSE(S.Locate(L"x", {ltoInsideSelectionKv}, ltdUpKv));
  EXPECT_EQ(S.Visited, (std::vector<Integer>{9, 5, 2}));
  S.Check = nullptr;
  EXPECT_TRUE(S.Locate(L"r5", {ltoInsideSelectionKv}));
  EXPECT_EQ(S.Id(), 5);
  EXPECT_FALSE(S.Locate(L"r6", {ltoInsideSelectionKv}));
  // A record selection without rows has nothing to search.
  S.Grid->Selection.Rows.Clear();
  S.Go(3);
  EXPECT_FALSE(S.Locate(L"r3", {ltoInsideSelectionKv}));
  EXPECT_EQ(S.Id(), 3);
}

TEST(GridLocateText, InsideARectangleItsRowsAndColumns) {
  SearchGrid S(10);
  S.Grid->Selection.Type = gstRectangle;
  S.Grid->Selection.Rect.Top = [&] { S.Go(3); return S.DS->GetBookmark(); }();
  S.Grid->Selection.Rect.Bottom = [&] { S.Go(6); return S.DS->GetBookmark(); }();
  S.Grid->Selection.Rect.Left = 0;
  S.Grid->Selection.Rect.Right = 1;
  S.RecordVisits();
  S.Go(4);
  EXPECT_FALSE(S.Locate(L"x", {ltoInsideSelectionKv}));
  EXPECT_EQ(S.Visited, (std::vector<Integer>{5, 6, 3, 4, 5, 6}));
  S.Check = nullptr;
  EXPECT_TRUE(S.Locate(L"r3", {ltoInsideSelectionKv, ltoAllFieldsKv}));
  EXPECT_EQ(S.Id(), 3);
  EXPECT_FALSE(S.Locate(L"c4", {ltoInsideSelectionKv, ltoAllFieldsKv}));  // CITY is outside the rectangle
  EXPECT_FALSE(S.Locate(L"r8", {ltoInsideSelectionKv, ltoAllFieldsKv}));  // and record 8
}

TEST(GridLocateText, MatchingKindsAndCase) {
  const struct {
    const wchar_t* Cell;
    const wchar_t* Text;
    TLocateTextMatchingKv Matching;
    TLocateTextOptionsKv Options;
    bool Found;
  } Cases[] = {
      {L"the cat sat", L"cat", ltmAnyPartKv, {ltoWholeWordsKv}, true},
      {L"category", L"cat", ltmAnyPartKv, {ltoWholeWordsKv}, false},
      {L"category", L"cat", ltmAnyPartKv, {}, true},
      {L"the Cat sat", L"cat", ltmAnyPartKv, {ltoWholeWordsKv}, false},
      {L"the Cat sat", L"cat", ltmAnyPartKv, {ltoWholeWordsKv, ltoCaseInsensitiveKv}, true},
      {L"DAĞ", L"DA", ltmAnyPartKv, {ltoWholeWordsKv}, false},
      {L"İZMİR", L"izmir", ltmWholeKv, {ltoCaseInsensitiveKv}, SysLocale.PriLangID == 0x1F},
      {L"Ankara", L"ankara", ltmWholeKv, {ltoCaseInsensitiveKv}, true},
      {L"Ankara", L"ankara", ltmWholeKv, {}, false},
      {L"Ankara", L"Ank", ltmWholeKv, {}, false},
      {L"Ankara", L"Ank", ltmFromBegingKv, {}, true},
      {L"Ankara", L"ank", ltmFromBegingKv, {}, false},
      {L"Ankara", L"ank", ltmFromBegingKv, {ltoCaseInsensitiveKv}, true},
      {L"Ankara", L"kara", ltmFromBegingKv, {}, false},
  };
  SearchGrid S(1);
  for (const auto& C : Cases) {
    S.SetName(1, C.Cell);
    EXPECT_EQ(S.Locate(C.Text, C.Options, ltdAllKv, C.Matching), C.Found) << C.Cell << " / " << C.Text;
  }
}

TEST(GridLocateText, MatchFormatSearchesTheDisplayedText) {
  TArrayDataSet DS(nullptr);
  DS.GetFieldDefs()->Add(L"PRICE", ftFloat);
  DS.Open();
  static_cast<TFloatField*>(DS.FieldByName(L"PRICE"))->SetDisplayFormat(L"0.00 TL");
  static_cast<TFloatField*>(DS.FieldByName(L"PRICE"))->SetEditFormat(L"0.0");
  DS.AppendRecord({1.5});
  TFakeDBGrid Grid(&DS);
  auto Find = [&](const String& Text, TLocateTextOptionsKv Options) {
    return GridLocateText(&Grid, L"", Text, Options, ltdAllKv, ltmWholeKv, 0, nullptr);
  };
  EXPECT_TRUE(Find(FormatFloat(L"0.00 TL", 1.5), {ltoMatchFormatKv}));
  EXPECT_FALSE(Find(FormatFloat(L"0.00 TL", 1.5), {}));
  EXPECT_TRUE(Find(FormatFloat(L"0.0", 1.5), {}));
}

TEST(GridLocateText, NothingToSearch) {
  SearchGrid S(3);
  S.Grid->HasSource = false;
  EXPECT_FALSE(S.Locate(L"r1", {}, ltdAllKv));
  S.Grid->HasSource = true;
  S.Grid->SelectedIndex = -1;  // no selected column: nothing to search
  EXPECT_FALSE(S.Locate(L"r1", {}, ltdAllKv));
  S.Grid->SelectedIndex = 1;
  for (auto& C : S.Grid->Columns) C->Visible = false;
  S.Grid->UpdateVisible();
  EXPECT_FALSE(S.Locate(L"r1", {}, ltdAllKv));
  EXPECT_FALSE(GridLocateText(nullptr, L"", L"r1", {}, ltdAllKv, ltmAnyPartKv, 0, nullptr));
  SearchGrid Empty(0);
  EXPECT_FALSE(Empty.Locate(L"", {}, ltdAllKv));
}

TEST(GridLocateText, RowSelectSearchesFromTheFirstColumn) {
  SearchGrid S(3);
  S.Grid->SelectedIndex = 2;
  S.Go(1);
  EXPECT_TRUE(S.Locate(L"1", {ltoAllFieldsKv}));  // from CITY of record 1 on: wraps to its ID
  EXPECT_EQ(S.Id(), 1);
  EXPECT_EQ(S.Grid->SelectedIndex, 0);
  S.Grid->RowSelect = true;
  S.Grid->SelectedIndex = 2;
  EXPECT_TRUE(S.Locate(L"1", {ltoAllFieldsKv}));  // from ID of record 1 on: its NAME is next
  EXPECT_EQ(S.Id(), 1);
  EXPECT_EQ(S.Grid->SelectedIndex, 1);
}

namespace {

// A window of its own that only holds a message queue.
class QueueWindow {
 public:
  QueueWindow() : Wnd(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {}
  ~QueueWindow() {
    MSG M;
    while (PeekMessageW(&M, Wnd, 0, 0, PM_REMOVE)) {
    }
    DestroyWindow(Wnd);
  }
  bool KeyWaiting(WPARAM Key) {
    MSG M;
    return PeekMessageW(&M, Wnd, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) && M.wParam == Key;
  }
  HWND Wnd;
};

}  // namespace

TEST(GridLocateText, EscapeStopsAfterTheCurrentRecordAndIsTakenOff) {
  SearchGrid S(50);
  QueueWindow Q;
  ASSERT_NE(Q.Wnd, nullptr);
  S.Grid->Handle = Q.Wnd;
  S.RecordVisits();
  S.Go(10);
  PostMessageW(Q.Wnd, WM_KEYDOWN, 'A', 0);
  EXPECT_FALSE(S.Locate(L"x", {ltoStopOnEscapeKv}));
  EXPECT_EQ(S.Visited.size(), 90u);  // another key does not stop it, and stays queued
  EXPECT_TRUE(Q.KeyWaiting('A'));
  MSG M;
  PeekMessageW(&M, Q.Wnd, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);

  S.Visited.clear();
  PostMessageW(Q.Wnd, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_FALSE(S.Locate(L"x", {ltoStopOnEscapeKv}));
  EXPECT_EQ(S.Visited, (std::vector<Integer>{11}));
  EXPECT_EQ(S.Id(), 10);
  EXPECT_FALSE(Q.KeyWaiting(VK_ESCAPE));
}

TEST(GridLocateText, TimeLimitEndsAnUnsuccessfulSearch) {
  SearchGrid S(50);
  S.Check = [&](IColumnKv*, bool& Accept, const String&) {
    S.Visited.push_back(S.Id());
    // Each cell takes longer than the whole limit.
    UInt64 Until = GetTickCount64() + 20;
    while (GetTickCount64() < Until) {
    }
    Accept = false;
  };
  S.Go(1);
  EXPECT_FALSE(S.Locate(L"x", {}, ltdDownKv, ltmAnyPartKv, L"", 5));
  EXPECT_EQ(S.Visited, (std::vector<Integer>{2}));
  EXPECT_EQ(S.Id(), 1);
}

// ---- Registry and hooks -----------------------------------------------------------------------

TEST(DatasetFeatureRegistry, TheNearestRegisteredClassWins) {
  TArrayDataSet DS(nullptr);
  EXPECT_EQ(GetDatasetFeatureProvider(&DS), nullptr);
  EXPECT_EQ(GetDatasetFeatureProvider(nullptr), nullptr);
  auto* ForAny = new TDatasetFeaturesKv(TDataSet::StaticClass());
  RegisterDatasetFeaturesKv(ForAny);
  EXPECT_EQ(GetDatasetFeatureProvider(&DS), ForAny);
  auto* ForArray = new TDatasetFeaturesKv(TArrayDataSet::StaticClass());
  RegisterDatasetFeaturesKv(ForArray);
  EXPECT_EQ(GetDatasetFeatureProvider(&DS), ForArray);
  EXPECT_THROW(RegisterDatasetFeaturesKv(new TDatasetFeaturesKv(TArrayDataSet::StaticClass())), EStringListError);
  UnregisterDatasetFeaturesKv(TArrayDataSet::StaticClass());
  EXPECT_EQ(GetDatasetFeatureProvider(&DS), ForAny);
  UnregisterDatasetFeaturesKv(TDataSet::StaticClass());
  EXPECT_EQ(GetDatasetFeatureProvider(&DS), nullptr);
}

namespace {

// Every kind of i reads as I, and ş as S: the same under every locale's upper case.
String PlainLetters(const String& Text) {
  String S = Text;
  for (Char& C : S) {
    if (C == L'ı' || C == L'İ' || C == L'i') C = L'I';
    if (C == L'ş' || C == L'Ş') C = L'S';
  }
  return S;
}

class ScopedHook {
 public:
  explicit ScopedHook(TTextTransformProcKv Hook) { TextTransformHookKv = Hook; }
  ~ScopedHook() { TextTransformHookKv = nullptr; }
};

}  // namespace

TEST(HookedTextRoutines, BothTextsGoThroughTheHook) {
  EXPECT_EQ(PosExHooked(L"mız", L"kırmızı", 1), 4);
  EXPECT_EQ(PosExHooked(L"miz", L"kırmızı", 1), 0);
  EXPECT_NE(CompareTextHooked(L"kuş", L"kus"), 0);
  std::vector<Integer> Positions;
  EXPECT_TRUE(FindTextPositions(L"kuş kus", L"kus", Positions, true, false, false));
  EXPECT_EQ(Positions, (std::vector<Integer>{4}));

  ScopedHook Hook(PlainLetters);
  EXPECT_EQ(CompareTextHooked(L"kırmızı", L"KİRMİZİ"), 0);
  EXPECT_EQ(CompareTextHooked(L"kuş", L"KUS"), 0);
  EXPECT_EQ(PosExHooked(L"miz", L"kırmızı", 1), 4);
  EXPECT_EQ(PosExHooked(L"miz", L"kırmızı", 5), 0);
  EXPECT_EQ(FindTextPosHooked(L"izmir", L"yeni İzmir yolu", 1, false, true), 6);
  // The foundation's case-insensitive highlight search takes the same road.
  EXPECT_TRUE(FindTextPositions(L"kuş kus", L"kus", Positions, true, false, false));
  EXPECT_EQ(Positions, (std::vector<Integer>{0, 4}));
}
