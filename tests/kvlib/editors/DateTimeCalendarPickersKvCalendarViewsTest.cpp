// The calendar views against a stand-in picker: what the decades, years, months and days views
// show and select, the dates their cells choose, stepping with the keys (also at the limits of
// the calendar), zooming, the mouse, and the days view's weeks, week numbers and holidays.

#include "tests/kvlib/editors/DateTimeCalendarPickersKvTestUtil.h"

#include "framework/DateUtils.h"

using namespace calviewtest;

TEST(CalendarViews, DecadesViewOf2026) {
  TPickerOnForm P(vDecades, At(2026, 5, 6));
  bool Selected = false, Outside = false;
  EXPECT_EQ(CellText(P->Decades, 0, 0, &Selected, &Outside), L"1990-\r\n1999  ");
  EXPECT_TRUE(Outside);
  EXPECT_EQ(CellText(P->Decades, 3, 2, &Selected, &Outside), L"2100-\r\n2109  ");
  EXPECT_TRUE(Outside);
  for (Integer R = 0; R < 3; ++R)
    for (Integer C = 0; C < 4; ++C) {
      CellText(P->Decades, C, R, &Selected, &Outside);
      EXPECT_EQ(Selected, C == 3 && R == 0) << C << "," << R;
      EXPECT_EQ(Outside, (C == 0 && R == 0) || (C == 3 && R == 2)) << C << "," << R;
    }
  EXPECT_EQ(P->Decades->GetDateInfoText(), L"2000-2099");
  EXPECT_TRUE(P->Decades->DateInViewRange(At(2099, 12, 31)));
  EXPECT_FALSE(P->Decades->DateInViewRange(At(2100, 1, 1)));
}

TEST(CalendarViews, YearsViewOf2026) {
  TPickerOnForm P(vYears, At(2026, 5, 6));
  for (Integer I = 0; I < 12; ++I) {
    bool Selected = false, Outside = false;
    EXPECT_EQ(CellText(P->Years, I % 4, I / 4, &Selected, &Outside), IntToStr(2019 + I));
    EXPECT_EQ(Selected, 2019 + I == 2026);
    EXPECT_EQ(Outside, I == 0 || I == 11);
  }
  EXPECT_EQ(P->Years->GetDateInfoText(), L"2020-2029");
}

TEST(CalendarViews, MonthsViewShowsTheLocaleNames) {
  TPickerOnForm P(vMonths, At(2026, 5, 6));
  bool Selected = false;
  for (Integer M = 1; M <= 12; ++M) {
    EXPECT_EQ(CellText(P->Months, (M - 1) % 4, (M - 1) / 4, &Selected), FormatSettings.ShortMonthNames[M - 1]);
    EXPECT_EQ(Selected, M == 5);
  }
  EXPECT_EQ(P->Months->GetDateInfoText(), L"2026");
}

TEST(CalendarViews, DatesFromCells) {
  TPickerOnForm P(vDecades, At(2024, 2, 29, 13, 14));
  struct {
    TCustomCalendarViewKv* View;
    Integer Col, Row;
    bool Ok;
    TDateTime Date;
  } Cases[] = {
      {P->Decades, 0, 1, false, At(2024, 2, 29, 13, 14)},  // 2034 has no 29 February
      {P->Decades, 1, 1, true, At(2044, 2, 29, 13, 14)},
      {P->Years, 1, 2, true, At(2028, 2, 29, 13, 14)},
      {P->Years, 2, 0, false, At(2024, 2, 29, 13, 14)},    // 2021 has no 29 February
      {P->Months, 1, 1, true, At(2024, 6, 29, 13, 14)},
      {P->Months, 1, 0, true, At(2024, 2, 29, 13, 14)},
      {P->Days, 0, 1, false, At(2024, 2, 29, 13, 14)},     // the week numbers choose nothing
      {P->Days, 1, 0, false, At(2024, 2, 29, 13, 14)},     // nor do the day names
  };
  for (auto& C : Cases) {
    C.View->SetDateTime(P->GetDateTime());
    TDateTime D;
    EXPECT_EQ(C.View->TryDateFromCell(TGridCoord{C.Col, C.Row}, D), C.Ok) << C.View->ClassName() << C.Col << C.Row;
    EXPECT_DOUBLE_EQ(D.Val, C.Date.Val) << C.View->ClassName() << C.Col << C.Row;
  }
}

TEST(CalendarViews, ClickOnADecadeThatLacks29FebruaryKeepsTheDate) {
  TPickerOnForm P(vDecades, At(2024, 2, 29));
  ClickCell(P->Decades, 0, 1);
  EXPECT_DOUBLE_EQ(P->GetDateTime().Val, At(2024, 2, 29).Val);
  // The click still zooms in.
  ASSERT_EQ(P->Shown.size(), 1u);
  EXPECT_EQ(P->Shown[0].View, P->Years);
  EXPECT_TRUE(P->Shown[0].ZoomIn);
}

TEST(CalendarViews, FirstDayOfTheWeek) {
  TPickerOnForm P(vDays, At(2026, 3, 15));
  P->Days->SetFirstWeekDayNum(6);
  EXPECT_DOUBLE_EQ(P->Days->GetStartDate().Val, At(2026, 2, 22).Val);
  EXPECT_EQ(P->Days->DayNameText(1), FormatSettings.ShortDayNames[0]);  // Sunday
  TDateTime D;
  ASSERT_TRUE(P->Days->TryDateFromCell(TGridCoord{1, 2}, D));
  EXPECT_DOUBLE_EQ(D.Val, At(2026, 3, 1).Val);
  P->Days->SetFirstWeekDayNum(0);
  P->SetDateTime(At(2026, 6, 10));
  EXPECT_DOUBLE_EQ(P->Days->GetStartDate().Val, At(2026, 6, 1).Val);
  EXPECT_EQ(P->Days->DayNameText(1), FormatSettings.ShortDayNames[1]);  // Monday
  EXPECT_EQ(P->Days->GetDateInfoText(), FormatDateTime(L"MMMM YYYY", At(2026, 6, 10)));
}

TEST(CalendarViews, WeekNumbersEndWithTheCalendar) {
  TPickerOnForm P(vDays, At(9999, 12, 15));
  P->Days->SetFirstWeekDayNum(0);
  EXPECT_DOUBLE_EQ(P->Days->GetStartDate().Val, At(9999, 11, 29).Val);
  EXPECT_EQ(P->Days->WeekNoText(1), L"48");
  EXPECT_EQ(P->Days->WeekNoText(5), L"52");
  EXPECT_EQ(P->Days->WeekNoText(6), L"");
  TDateTime D;
  EXPECT_TRUE(P->Days->TryDateFromCell(TGridCoord{5, 5}, D));   // 31 December 9999
  EXPECT_FALSE(P->Days->TryDateFromCell(TGridCoord{6, 5}, D));  // past it
  P->Days->Repaint();  // paints the cells past the calendar without raising
}

TEST(CalendarViews, HolidaysFollowTheWorkingDays) {
  TPickerOnForm P(vDays, At(2026, 6, 10));
  P->Days->SetFirstWeekDayNum(0);
  for (Integer I = 0; I < TDaysCalendarViewKv::DayCellCount; ++I)
    EXPECT_EQ(P->Days->GetDayInfo(I)->GetIsHoliday(), I % 7 >= 5) << I;
}

TEST(CalendarViews, KeysStepThePickerDate) {
  struct {
    TViewIndex View;
    TDateTime Date;
    Word Key;
    TDateTime Expected;
  } Cases[] = {
      {vMonths, At(2026, 1, 31, 9, 30), VK_RIGHT, At(2026, 2, 28, 9, 30)},
      {vMonths, At(2024, 1, 31), VK_DOWN, At(2024, 5, 31)},
      {vYears, At(2024, 2, 29), VK_RIGHT, At(2025, 2, 28)},
      {vYears, At(2026, 1, 1), VK_UP, At(2022, 1, 1)},
      {vDecades, At(2026, 1, 1), VK_LEFT, At(2016, 1, 1)},
      {vDecades, At(2026, 1, 1), VK_DOWN, At(2066, 1, 1)},
      {vDays, At(2026, 3, 1, 8), VK_LEFT, At(2026, 2, 28, 8)},
      {vDays, At(2026, 3, 1), VK_UP, At(2026, 2, 22)},
      {vDays, At(2026, 3, 1), VK_NEXT, At(2026, 4, 1)},
      {vDecades, At(2026, 3, 1), VK_PRIOR, At(1926, 3, 1)},
      // Steps that would leave the calendar change nothing.
      {vDecades, At(9950, 1, 1), VK_NEXT, At(9950, 1, 1)},
      {vDecades, At(9995, 1, 1), VK_RIGHT, At(9995, 1, 1)},
      {vYears, At(9999, 6, 1), VK_RIGHT, At(9999, 6, 1)},
      {vDays, At(9999, 12, 31, 12), VK_RIGHT, At(9999, 12, 31, 12)},
      {vDays, At(1, 1, 3), VK_UP, At(1, 1, 3)},
      {vMonths, At(1, 1, 3), VK_LEFT, At(1, 1, 3)},
  };
  for (const auto& C : Cases) {
    TPickerOnForm P(C.View, C.Date);
    Word Key = C.Key;
    P->Current->KeyDown(Key, {});
    EXPECT_EQ(Key, 0) << C.View << " " << C.Key;
    EXPECT_DOUBLE_EQ(P->GetDateTime().Val, C.Expected.Val) << C.View << " " << C.Key;
  }
}

TEST(CalendarViews, EnterZoomsInAndSelectsOnTheFinestView) {
  TPickerOnForm P(vDecades, At(2026, 3, 1));
  Word Key = VK_RETURN;
  P->Decades->KeyDown(Key, {});
  ASSERT_EQ(P->Shown.size(), 1u);
  EXPECT_EQ(P->Shown[0].View, P->Years);
  EXPECT_EQ(Key, VK_RETURN);  // left to the picker
  Key = VK_RETURN;
  P->Days->KeyDown(Key, {});
  EXPECT_EQ(P->Selections, 1);
  EXPECT_EQ(Key, 0);
  // Ctrl+Enter on the first view finds nothing coarser.
  Key = VK_RETURN;
  P->Decades->KeyDown(Key, {ssCtrl});
  EXPECT_EQ(Key, VK_RETURN);
  Key = VK_RETURN;
  P->Days->KeyDown(Key, {ssCtrl});
  EXPECT_EQ(Key, 0);
  EXPECT_EQ(P->Shown.back().View, P->Months);
  EXPECT_FALSE(P->Shown.back().ZoomIn);
  // With hours in the units the days view zooms into the time view.
  P->SetTimeUnits({cdtuYearKv, cdtuMonthKv, cdtuDayKv, cdtuHourKv});
  Key = VK_RETURN;
  P->Days->KeyDown(Key, {});
  EXPECT_EQ(P->Shown.back().View, P->Time);
  EXPECT_EQ(P->Selections, 1);
}

TEST(CalendarViews, ClickingADayChoosesItAndSelects) {
  TPickerOnForm P(vDays, At(2026, 3, 15, 10, 40));
  P->Days->SetFirstWeekDayNum(0);
  ClickCell(P->Days, 3, 2);  // Wednesday of the second week: 4 March
  EXPECT_DOUBLE_EQ(P->GetDateTime().Val, At(2026, 3, 4, 10, 40).Val);
  EXPECT_EQ(P->Selections, 1);
  EXPECT_EQ(P->InputMethod, iimMouseKv);
  ClickCell(P->Days, 3, 2, true);
  ASSERT_FALSE(P->Shown.empty());
  EXPECT_EQ(P->Shown.back().View, P->Months);
  EXPECT_EQ(P->Selections, 1);
}

TEST(CalendarViews, AMoveAtTheRestingPositionIsNoMouseInput) {
  TPickerOnForm P(vDays, At(2026, 3, 15));
  HWND Wnd = P->Days->GetHandle();
  PostMessageW(Wnd, WM_MOUSEMOVE, 0, MAKELPARAM(20, 30));
  ctltest::Pump();
  EXPECT_EQ(P->InputMethod, iimMouseKv);
  P->InputMethod = iimKeyboardKv;
  PostMessageW(Wnd, WM_MOUSEMOVE, 0, MAKELPARAM(20, 30));
  ctltest::Pump();
  EXPECT_EQ(P->InputMethod, iimKeyboardKv);
  PostMessageW(Wnd, WM_MOUSEMOVE, 0, MAKELPARAM(21, 30));
  ctltest::Pump();
  EXPECT_EQ(P->InputMethod, iimMouseKv);
}

TEST(CalendarViews, PaintMarksTheSelectedDayAndToday) {
  TPickerOnForm P(vDays, Now());
  P->Backgrounds.clear();
  P->Days->Repaint();
  Integer SelectedCells = 0, TodayCells = 0, HotCells = 0;
  for (const TCalendarViewDrawStateKv& S : P->Backgrounds) {
    SelectedCells += S.Contains(cvdsSelectedKv);
    TodayCells += S.Contains(cvdsNowKv);
    HotCells += S.Contains(cvdsHotTrackKv);
  }
  EXPECT_EQ(P->Backgrounds.size(), 42u);
  EXPECT_EQ(SelectedCells, 1);
  EXPECT_EQ(TodayCells, 1);
  EXPECT_EQ(HotCells, 0);  // keyboard input: no cell is hot
  EXPECT_GT(P->PaintBufferFills, 0);
}

TEST(CalendarViews, CellLayout) {
  TPickerOnForm P(vMonths, At(2026, 3, 15));
  P->Months->SetBounds(0, 0, 101, 62);
  P->Months->LayoutCells();
  EXPECT_EQ(P->Months->GetColWidths(0), 26);
  EXPECT_EQ(P->Months->GetColWidths(1), 25);
  EXPECT_EQ(P->Months->GetRowHeights(0), 21);
  EXPECT_EQ(P->Months->GetRowHeights(2), 20);
  P->ShowCalendarView(P->Days, true, false);
  P->Days->HandleNeeded();
  P->Days->SetBounds(0, 0, 250, 140);
  P->Days->LayoutCells();
  Integer Total = 0;
  for (Integer C = 0; C < 8; ++C) Total += P->Days->GetColWidths(C);
  EXPECT_EQ(Total, 250);
  P->Days->GetCanvas()->GetFont()->Assign(P->Days->GetFont());
  EXPECT_EQ(P->Days->GetColWidths(0), P->Days->GetCanvas()->TextWidth(L"000"));
  Integer W = 0, H = 0;
  P->Days->CalcViewSize(W, H);
  EXPECT_EQ(H, P->Days->GetCanvas()->TextHeight(L"Wg") * 7);
  EXPECT_EQ(W % 8, 0);
}
