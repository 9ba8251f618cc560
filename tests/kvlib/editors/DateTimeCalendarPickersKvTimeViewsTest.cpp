// The time views against a stand-in picker: the spin fields' wrapping, the six column layouts,
// the region cycle, the arrows' repeat, keys and wheel; the pick views' cells, snapping and the
// views their clicks open.

#include "tests/kvlib/editors/DateTimeCalendarPickersKvTestUtil.h"

using namespace calviewtest;

namespace {

const TCalendarDateTimeUnitsKv HMS{cdtuYearKv, cdtuMonthKv, cdtuDayKv, cdtuHourKv, cdtuMinuteKv, cdtuSecondKv};
const TCalendarDateTimeUnitsKv HM{cdtuYearKv, cdtuMonthKv, cdtuDayKv, cdtuHourKv, cdtuMinuteKv};
const TCalendarDateTimeUnitsKv H{cdtuYearKv, cdtuMonthKv, cdtuDayKv, cdtuHourKv};

Integer ColOf(TTimeCalendarViewKv* View, TTimeCalendarViewColTypeKv Type) {
  const auto& Types = View->GetColTypes();
  return Integer(std::find(Types.begin(), Types.end(), Type) - Types.begin());
}

}  // namespace

TEST(TimeViews, SpinFieldsWrapWithoutCarrying) {
  struct {
    TDateTime Date;
    void (TTimeCalendarViewKv::*Step)(Integer);
    Integer N;
    TDateTime Expected;
  } Cases[] = {
      {At(2026, 3, 15, 23, 59, 59), &TTimeCalendarViewKv::IncrementHour, 1, At(2026, 3, 15, 0, 59, 59)},
      {At(2026, 3, 15, 0, 10), &TTimeCalendarViewKv::IncrementHour, -1, At(2026, 3, 15, 23, 10)},
      {At(2026, 3, 15, 7, 59), &TTimeCalendarViewKv::IncrementMinute, 1, At(2026, 3, 15, 7, 0)},
      {At(2026, 3, 15, 7, 0, 0), &TTimeCalendarViewKv::IncrementSecond, -1, At(2026, 3, 15, 7, 0, 59)},
      {At(1899, 12, 29, 6), &TTimeCalendarViewKv::IncrementHour, 1, At(1899, 12, 29, 7)},
  };
  for (const auto& C : Cases) {
    TPickerOnForm P(vTime, C.Date);
    (P->Time->*C.Step)(C.N);
    EXPECT_DOUBLE_EQ(P->GetDateTime().Val, C.Expected.Val);
  }
}

TEST(TimeViews, UpInTheHoursRegionAtTheEndOfTheDay) {
  TPickerOnForm P(vTime, At(2026, 3, 15, 23, 59, 59));
  P->SetTimeUnits(HMS);
  PressKey(P->Time, VK_UP);
  EXPECT_DOUBLE_EQ(P->GetDateTime().Val, At(2026, 3, 15, 0, 59, 59).Val);
  PressKey(P->Time, VK_RIGHT);
  PressKey(P->Time, VK_DOWN);
  EXPECT_DOUBLE_EQ(P->GetDateTime().Val, At(2026, 3, 15, 0, 58, 59).Val);
}

TEST(TimeViews, ColumnLayouts) {
  struct {
    TCalendarDateTimeUnitsKv Units;
    THoursTimeFormatKv Clock;
    std::vector<TTimeCalendarViewColTypeKv> Cols;
    Integer OkCol;
    size_t Regions;
  } Cases[] = {
      {HMS, htf24hKv, {tcvctBlankKv, tcvctHourKv, tcvctColonKv, tcvctMinuteKv, tcvctColonKv, tcvctSecondKv, tcvctBlankKv}, 5, 4},
      {HMS, htfAmPm12hKv,
       {tcvctBlankKv, tcvctHourKv, tcvctColonKv, tcvctMinuteKv, tcvctColonKv, tcvctSecondKv, tcvctBlankKv, tcvctAmPmKv,
        tcvctBlankKv},
       7, 4},
      {HM, htf24hKv, {tcvctBlankKv, tcvctBlankKv, tcvctHourKv, tcvctColonKv, tcvctMinuteKv, tcvctBlankKv, tcvctBlankKv}, 5, 3},
      {HM, htfAmPm12hKv, {tcvctBlankKv, tcvctHourKv, tcvctColonKv, tcvctMinuteKv, tcvctAmPmKv, tcvctBlankKv}, 4, 3},
      {H, htf24hKv, {tcvctBlankKv, tcvctBlankKv, tcvctBlankKv, tcvctHourKv, tcvctBlankKv, tcvctBlankKv, tcvctBlankKv}, 5, 2},
      {H, htfAmPm12hKv, {tcvctBlankKv, tcvctBlankKv, tcvctHourKv, tcvctAmPmKv, tcvctBlankKv, tcvctBlankKv}, 4, 2},
  };
  TPickerOnForm P(vTime, At(2026, 3, 15, 21, 5, 9));
  for (const auto& C : Cases) {
    P->Time->SetClockSettings(C.Clock, appAmPmSuffixKv);
    P->SetTimeUnits(C.Units);
    SCOPED_TRACE(C.Cols.size());
    EXPECT_EQ(P->Time->GetColTypes(), C.Cols);
    EXPECT_EQ(P->Time->GetOkButtonCol(), C.OkCol);
    EXPECT_EQ(P->Time->GetVisibleRegions().size(), C.Regions);
    EXPECT_EQ(P->Time->CellText(C.OkCol, 5), L"OK");
    Integer Total = 0;
    for (Integer I = 0; I < P->Time->GetColCount(); ++I) Total += P->Time->GetColWidths(I);
    EXPECT_EQ(Total, P->Time->GetClientWidth());
    if (C.Cols.size() == 9) EXPECT_EQ(P->Time->GetColWidths(6), 0);
    Integer HourCol = ColOf(P->Time, tcvctHourKv);
    EXPECT_EQ(P->Time->CellText(HourCol, 2), C.Clock == htf24hKv ? L"21" : L"9");
  }
  Integer RowTotal = 0;
  for (Integer R = 0; R < 6; ++R) RowTotal += P->Time->GetRowHeights(R);
  EXPECT_EQ(RowTotal, P->Time->GetClientHeight());
  EXPECT_GT(P->Time->GetRowHeights(5), P->Time->GetRowHeights(4));
  // Minutes without hours keep the layout there was.
  P->SetTimeUnits({cdtuMinuteKv});
  EXPECT_EQ(P->Time->GetColTypes().size(), 6u);
}

TEST(TimeViews, RegionsCycle) {
  TPickerOnForm P(vTime, At(2026, 3, 15, 10, 0));
  P->Time->SetClockSettings(htf24hKv, appAmPmSuffixKv);
  P->SetTimeUnits(HMS);
  const TTimeCalendarViewActiveRegionKv Forward[] = {tcarMinutesKv, tcarSecondsKv, tcarOKButtonKv, tcarHoursKv};
  for (TTimeCalendarViewActiveRegionKv Expected : Forward) {
    PressKey(P->Time, VK_RIGHT);
    EXPECT_EQ(P->Time->GetActiveRegion(), Expected);
  }
  PressKey(P->Time, VK_LEFT);
  EXPECT_EQ(P->Time->GetActiveRegion(), tcarOKButtonKv);
  // A region the layout lacks: forward takes the first, backward the last.
  P->SetTimeUnits(H);
  P->Time->SetActiveRegion(tcarSecondsKv);
  P->Time->SelectNextRegion(true);
  EXPECT_EQ(P->Time->GetActiveRegion(), tcarHoursKv);
  P->Time->SetActiveRegion(tcarSecondsKv);
  P->Time->SelectNextRegion(false);
  EXPECT_EQ(P->Time->GetActiveRegion(), tcarOKButtonKv);
}

TEST(TimeViews, EnterOpensThePickViewOrSelects) {
  TPickerOnForm P(vTime, At(2026, 3, 15, 10, 0));
  P->Time->SetClockSettings(htf24hKv, appAmPmSuffixKv);
  P->SetTimeUnits(HMS);
  PressKey(P->Time, VK_RETURN);
  ASSERT_EQ(P->Shown.size(), 1u);
  EXPECT_EQ(P->Shown[0].View, P->Hours24);
  EXPECT_TRUE(P->Shown[0].ZoomIn);
  // Enter in the pick view goes back and moves on to the minutes.
  PressKey(P->Hours24, VK_RETURN);
  EXPECT_EQ(P->Current, P->Time);
  EXPECT_EQ(P->Time->GetActiveRegion(), tcarMinutesKv);
  P->Time->SetActiveRegion(tcarOKButtonKv);
  PressKey(P->Time, VK_RETURN);
  EXPECT_EQ(P->Selections, 1);
  PressKey(P->Time, VK_RETURN, true);
  EXPECT_EQ(P->Current, P->Days);
  EXPECT_FALSE(P->Shown.back().ZoomIn);
  P->Time->SetClockSettings(htfAmPm12hKv, appAmPmSuffixKv);
  P->Time->ResetRegion();
  PressKey(P->Time, VK_RETURN);
  EXPECT_EQ(P->Current, P->Hours12);
}

TEST(TimeViews, HoldingAnArrowRepeats) {
  TPickerOnForm P(vTime, At(2026, 3, 15, 10, 0));
  P->Time->SetClockSettings(htf24hKv, appAmPmSuffixKv);
  P->SetTimeUnits(HMS);
  Integer MinuteCol = ColOf(P->Time, tcvctMinuteKv);
  TRect R = P->Time->CellRect(MinuteCol, 1);
  HWND Wnd = P->Time->GetHandle();
  LPARAM Pos = MAKELPARAM((R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
  PostMessageW(Wnd, WM_MOUSEMOVE, 0, Pos);
  PostMessageW(Wnd, WM_LBUTTONDOWN, MK_LBUTTON, Pos);
  ctltest::Pump();
  // 0 ms: one step at once, the repeat armed for 400 ms.
  EXPECT_DOUBLE_EQ(P->GetDateTime().Val, At(2026, 3, 15, 10, 1).Val);
  EXPECT_EQ(P->Time->GetActiveRegion(), tcarMinutesKv);
  EXPECT_TRUE(P->Time->GetTimer()->GetEnabled());
  EXPECT_EQ(P->Time->GetTimer()->GetInterval(), 400u);
  // 400, 500 and 600 ms: the ticks step while the mouse stays on the arrow.
  P->Time->TimerTick(nullptr);
  EXPECT_EQ(P->Time->GetTimer()->GetInterval(), 100u);
  P->Time->TimerTick(nullptr);
  P->Time->TimerTick(nullptr);
  EXPECT_DOUBLE_EQ(P->GetDateTime().Val, At(2026, 3, 15, 10, 4).Val);
  // Off the arrow the ticks do nothing; the release stops them.
  TRect Off = P->Time->CellRect(MinuteCol, 4);
  PostMessageW(Wnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(Off.Left + 2, Off.Top + 2));
  ctltest::Pump();
  P->Time->TimerTick(nullptr);
  EXPECT_DOUBLE_EQ(P->GetDateTime().Val, At(2026, 3, 15, 10, 4).Val);
  PostMessageW(Wnd, WM_LBUTTONUP, 0, MAKELPARAM(Off.Left + 2, Off.Top + 2));
  ctltest::Pump();
  EXPECT_FALSE(P->Time->GetTimer()->GetEnabled());
}

TEST(TimeViews, ClicksOnValuesAndOk) {
  TPickerOnForm P(vTime, At(2026, 3, 15, 10, 0));
  P->Time->SetClockSettings(htf24hKv, appAmPmSuffixKv);
  P->SetTimeUnits(HMS);
  ClickCell(P->Time, ColOf(P->Time, tcvctSecondKv), 2);
  EXPECT_EQ(P->Current, P->Seconds);
  P->ShowCalendarView(P->Time, false, false);
  ClickCell(P->Time, P->Time->GetOkButtonCol(), 5);
  EXPECT_EQ(P->Selections, 1);
  ClickCell(P->Time, 0, 0, true);
  EXPECT_EQ(P->Current, P->Days);
}

TEST(TimeViews, WheelStepsTheUnitUnderTheMouse) {
  TPickerOnForm P(vTime, At(2026, 3, 15, 10, 0));
  P->Time->SetClockSettings(htf24hKv, appAmPmSuffixKv);
  P->SetTimeUnits(HMS);
  auto Over = [&](Integer Col) {
    TRect R = P->Time->CellRect(Col, 2);
    return P->Time->ClientToScreen(TPoint((R.Left + R.Right) / 2, R.Top + 2));
  };
  EXPECT_TRUE(P->Time->WheelIncrement({}, Over(ColOf(P->Time, tcvctMinuteKv)), true));
  EXPECT_DOUBLE_EQ(P->GetDateTime().Val, At(2026, 3, 15, 10, 1).Val);
  EXPECT_TRUE(P->Time->WheelIncrement({}, Over(ColOf(P->Time, tcvctHourKv)), false));
  EXPECT_DOUBLE_EQ(P->GetDateTime().Val, At(2026, 3, 15, 9, 1).Val);
  EXPECT_TRUE(P->Time->WheelIncrement({}, Over(ColOf(P->Time, tcvctColonKv)), true));
  EXPECT_DOUBLE_EQ(P->GetDateTime().Val, At(2026, 3, 15, 9, 1).Val);
}

TEST(TimeViews, PickViewsStepAndSnap) {
  struct {
    TViewIndex View;
    TDateTime Date;
    Word Key;
    TDateTime Expected;
  } Cases[] = {
      {vMinutes, At(2026, 3, 15, 10, 40), VK_DOWN, At(2026, 3, 15, 11, 0)},
      {vMinutes, At(2026, 3, 15, 10, 39, 7), VK_DOWN, At(2026, 3, 15, 11, 0, 7)},  // 10:59 snaps into the next hour
      {vMinutes, At(2026, 3, 15, 10, 58), VK_RIGHT, At(2026, 3, 15, 11, 5)},
      {vMinutes, At(2026, 3, 15, 0, 2), VK_LEFT, At(2026, 3, 14, 23, 55)},
      {vMinutes, At(2026, 3, 15, 23, 57), VK_RIGHT, At(2026, 3, 16, 0, 0)},
      {vMinutes, At(2026, 3, 15, 10, 40), VK_NEXT, At(2026, 3, 15, 11, 40)},
      {vSeconds, At(2026, 3, 15, 10, 0, 39), VK_DOWN, At(2026, 3, 15, 10, 1, 0)},
      {vSeconds, At(2026, 3, 15, 10, 0, 59), VK_RIGHT, At(2026, 3, 15, 10, 1, 5)},
      {vSeconds, At(2026, 3, 15, 10, 0, 59), VK_PRIOR, At(2026, 3, 15, 9, 59, 59)},
      {vHours24, At(2026, 3, 15, 22, 30), VK_DOWN, At(2026, 3, 16, 6, 30)},
      {vHours24, At(2026, 3, 15, 0, 30), VK_LEFT, At(2026, 3, 14, 23, 30)},
      {vHours12, At(2026, 3, 15, 10, 30), VK_DOWN, At(2026, 3, 15, 16, 30)},
      {vHours24, At(9999, 12, 31, 23, 30), VK_RIGHT, At(9999, 12, 31, 23, 30)},
      {vMinutes, At(9999, 12, 31, 23, 58), VK_RIGHT, At(9999, 12, 31, 23, 58)},
  };
  for (const auto& C : Cases) {
    TPickerOnForm P(C.View, C.Date);
    PressKey(P->Current, C.Key);
    EXPECT_DOUBLE_EQ(P->GetDateTime().Val, C.Expected.Val) << C.View << " " << C.Key;
  }
}

TEST(TimeViews, PickViewCells) {
  TPickerOnForm P(vHours12, At(2026, 3, 15, 12, 25, 35));
  const wchar_t* Hours[] = {L"12", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"10", L"11"};
  for (Integer I = 0; I < 12; ++I) {
    bool Selected = false;
    EXPECT_EQ(CellText(P->Hours12, I % 6, 1 + I / 6), Hours[I]);
    EXPECT_EQ(CellText(P->Hours12, I % 6, 4 + I / 6, &Selected), Hours[I]);
    EXPECT_EQ(Selected, I == 0);
  }
  TDateTime D;
  EXPECT_FALSE(P->Hours12->TryDateFromCell(TGridCoord{2, 0}, D));
  EXPECT_FALSE(P->Hours12->TryDateFromCell(TGridCoord{2, 3}, D));
  P->Minutes->SetDateTime(P->GetDateTime());
  bool Selected = false;
  EXPECT_EQ(CellText(P->Minutes, 1, 1, &Selected), L"25");
  EXPECT_TRUE(Selected);
  EXPECT_EQ(CellText(P->Minutes, 0, 0), L"00");
  P->Seconds->SetDateTime(P->GetDateTime());
  EXPECT_EQ(CellText(P->Seconds, 3, 1, &Selected), L"35");
  EXPECT_TRUE(Selected);
  EXPECT_FALSE(P->Hours24->ShowTodayInfo());
  EXPECT_FALSE(P->Time->ShowTodayInfo());
  P->Hours24->SetDateTime(P->GetDateTime());
  EXPECT_EQ(P->Hours24->GetDateInfoText(), DateToStr(P->GetDateTime()));
  EXPECT_EQ(P->Minutes->GetDateInfoText(), DateToStr(P->GetDateTime()) + L" 12:(M)");
  EXPECT_EQ(P->Seconds->GetDateInfoText(), DateToStr(P->GetDateTime()) + L" 12:25:(S)");
}

TEST(TimeViews, TwelveHourClicks) {
  TPickerOnForm P(vHours12, At(2026, 3, 15, 9, 25));
  P->SetTimeUnits(HMS);
  ClickCell(P->Hours12, 0, 4);  // the PM block's 12
  EXPECT_DOUBLE_EQ(P->GetDateTime().Val, At(2026, 3, 15, 12, 25).Val);
  EXPECT_EQ(P->Current, P->Minutes);
  P->ShowCalendarView(P->Hours12, true, false);
  size_t Before = P->Shown.size();
  ClickCell(P->Hours12, 3, 3);  // the PM label
  EXPECT_DOUBLE_EQ(P->GetDateTime().Val, At(2026, 3, 15, 12, 25).Val);
  EXPECT_EQ(P->Shown.size(), Before);
  P->Hours12->Repaint();  // the labels paint without raising
}

TEST(TimeViews, TwentyFourHourClicksFollowTheUnits) {
  struct {
    TCalendarDateTimeUnitsKv Units;
    bool Right;
    TViewIndex Expected;
  } Cases[] = {{HM, false, vMinutes}, {HMS, false, vTime}, {H, false, vTime}, {HM, true, vTime}};
  for (const auto& C : Cases) {
    TPickerOnForm P(vHours24, At(2026, 3, 15, 9, 25));
    P->SetTimeUnits(C.Units);
    ClickCell(P->Hours24, 5, 1, C.Right);
    EXPECT_EQ(P->Current, P->All[size_t(C.Expected)]);
    if (!C.Right) EXPECT_DOUBLE_EQ(P->GetDateTime().Val, At(2026, 3, 15, 13, 25).Val);
  }
  TPickerOnForm P(vSeconds, At(2026, 3, 15, 9, 25));
  ClickCell(P->Seconds, 1, 0);
  EXPECT_DOUBLE_EQ(P->GetDateTime().Val, At(2026, 3, 15, 9, 25, 5).Val);
  EXPECT_EQ(P->Current, P->Time);
}
