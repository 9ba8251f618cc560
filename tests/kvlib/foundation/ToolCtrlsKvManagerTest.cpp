// The library manager, the working-time calendar, the sort-marker painter and the draw style.

#include "kvlib/foundation/ToolCtrlsKv.h"

#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"

namespace {

constexpr UINT ThemeChanged = 0x031A;

Integer DrainThemeChanged() {
  Integer Count = 0;
  MSG Msg;
  while (PeekMessageW(&Msg, nullptr, ThemeChanged, ThemeChanged, PM_REMOVE)) ++Count;
  return Count;
}

// Installs a fresh manager for one test and puts the program's back afterwards.
struct TScopedManager {
  TScopedManager() : Previous(SetKvLibManager(new TKvLibManager())) {}
  ~TScopedManager() { delete SetKvLibManager(Previous); }
  TKvLibManager* Previous;
};

TEST(KvLibManager, StartsWithTheFamilyDefaults) {
  TKvLibManager M;
  EXPECT_EQ(M.GetAltDecimalSeparator(), L'.');
  EXPECT_TRUE(M.GetDateTimeCalendarPickerHighlightHolidays());
  EXPECT_TRUE(M.GetDateTimeCalendarPickerShowTimeSelectionPage());
  EXPECT_EQ(M.GetWeekWorkingDays(),
            (TWeekDaysKv{wwdMondayKv, wwdTuesdayKv, wwdWednesdayKv, wwdThursdayKv, wwdFridayKv}));
  EXPECT_EQ(M.GetUseAlphaFormatInAlphaBlend(), ThemesEnabledKv());
}

TEST(KvLibManager, ChangingCalendarSettingsPostsOneThemeChange) {
  TKvLibManager M;
  DrainThemeChanged();
  M.SetDateTimeCalendarPickerHighlightHolidays(true);  // unchanged
  EXPECT_EQ(DrainThemeChanged(), 0);
  M.SetDateTimeCalendarPickerHighlightHolidays(false);
  M.SetWeekWorkingDays(TWeekDaysKv{wwdSaturdayKv});
  EXPECT_FALSE(M.GetDateTimeCalendarPickerHighlightHolidays());
  EXPECT_EQ(M.GetWeekWorkingDays(), TWeekDaysKv{wwdSaturdayKv});
  EXPECT_EQ(DrainThemeChanged(), 1);
  M.SetAltDecimalSeparator(L',');
  M.SetDateTimeCalendarPickerShowTimeSelectionPage(false);
  EXPECT_EQ(DrainThemeChanged(), 0);
}

TEST(WorkingTimeCalendar, WorkdaysFollowTheManager) {
  TScopedManager Scope;
  TWorkingTimeCalendarKv* C = WorkingTimeCalendar();
  TDateTime Friday = EncodeDate(2024, 5, 31), Saturday = EncodeDate(2024, 6, 1), Sunday = EncodeDate(2024, 6, 2);
  EXPECT_TRUE(C->IsWorkday(Friday));
  EXPECT_TRUE(C->IsWorkday(EncodeDate(2024, 6, 3) + 0.75));  // a Monday evening
  EXPECT_FALSE(C->IsWorkday(Saturday));
  EXPECT_FALSE(C->IsWorkday(Sunday));
  KvLibManager()->SetWeekWorkingDays(
      TWeekDaysKv{wwdMondayKv, wwdTuesdayKv, wwdWednesdayKv, wwdThursdayKv, wwdFridayKv, wwdSaturdayKv, wwdSundayKv});
  for (Integer D = 0; D < 7; ++D) EXPECT_TRUE(C->IsWorkday(Friday + D)) << D;
  DrainThemeChanged();
}

TEST(WorkingTimeCalendar, EveryDateHasOneRangeFromEightToFive) {
  TTimeRangesKv Ranges(3);
  WorkingTimeCalendar()->GetWorkingTime(EncodeDate(2024, 1, 1), Ranges);
  ASSERT_EQ(Ranges.size(), 1u);
  EXPECT_DOUBLE_EQ(Ranges[0].StartTime, EncodeTime(8, 0, 0, 0));
  EXPECT_DOUBLE_EQ(Ranges[0].FinishTime, EncodeTime(17, 0, 0, 0));
  WorkingTimeCalendar()->GetWorkingTime(EncodeDate(2024, 6, 1), Ranges);
  EXPECT_EQ(Ranges.size(), 1u);
}

TEST(SortMarker, SizesFollowTheScale) {
  struct {
    TSortMarkerStyleKv Style;
    Double Scale;
    TSize Size;
  } Cases[] = {
      {smstClassicKv, 1.0, {7, 8}},  {smstDefaultKv, 1.0, {7, 8}},  {smstFrameKv, 1.0, {7, 8}},
      {smst3DFrameKv, 1.0, {8, 8}},  {smstSolidKv, 1.0, {9, 5}},    {smstClassicKv, 1.25, {9, 10}},
      {smst3DFrameKv, 1.25, {10, 10}}, {smstSolidKv, 1.25, {11, 6}}, {smstSolidKv, 1.5, {13, 7}},
      {smstClassicKv, 1.5, {11, 12}}, {smstSolidKv, 2.0, {17, 9}},
  };
  for (auto& T : Cases) {
    TSize S = SortMarkerSizeAtScale(T.Style, T.Scale);
    EXPECT_EQ(S.cx, T.Size.cx) << T.Style << " at " << T.Scale;
    EXPECT_EQ(S.cy, T.Size.cy) << T.Style << " at " << T.Scale;
  }
  TBitmap Bmp;
  Bmp.SetSize(4, 4);
  TSortMarkerPainterKv Painter;
  EXPECT_EQ(Painter.GetSorMarkerSize(Bmp.GetCanvas(), smstClassicKv).cx, 7);
  EXPECT_EQ(Painter.GetSorMarkerSize(Bmp.GetCanvas(), smstSolidKv).cy, 5);
}

// Non-white pixels per row of a small white bitmap.
struct TMarkerBox {
  TMarkerBox() {
    Bmp.SetPixelFormat(pf32bit);
    Bmp.SetSize(16, 16);
    Bmp.GetCanvas()->GetBrush()->SetColor(clWhite);
    Bmp.GetCanvas()->FillRect(TRect(0, 0, 16, 16));
  }
  std::vector<Integer> RowCounts() {
    std::vector<Integer> Counts;
    for (Integer Y = 0; Y < 16; ++Y) {
      Integer N = 0;
      for (Integer X = 0; X < 16; ++X) N += (Bmp.GetCanvas()->GetPixel(X, Y) & 0xFFFFFF) != clWhite;
      if (N) Counts.push_back(N);
    }
    return Counts;
  }
  TBitmap Bmp;
};

TEST(SortMarker, NoneDrawsNothingAndKeepsThePen) {
  TMarkerBox Box;
  TCanvas* C = Box.Bmp.GetCanvas();
  C->GetPen()->SetColor(clLime);
  TSortMarkerPainterKv().Draw(C, smstSolidKv, smNoneKv, TRect(2, 2, 12, 12), clWhite, clBlack, clRed);
  EXPECT_TRUE(Box.RowCounts().empty());
  TSortMarkerPainterKv().Draw(C, smstClassicKv, smUpKv, TRect(2, 2, 12, 12), clWhite, clBlack, clRed);
  EXPECT_FALSE(Box.RowCounts().empty());
  EXPECT_EQ(C->GetPen()->GetColor(), clLime);
}

TEST(SortMarker, SolidMarkerIsAFilledTriangle) {
  TMarkerBox Up, Down;
  TSortMarkerPainterKv().Draw(Up.Bmp.GetCanvas(), smstSolidKv, smUpKv, TRect(3, 2, 12, 12), clWhite, clBlack, clRed);
  TSortMarkerPainterKv().Draw(Down.Bmp.GetCanvas(), smstSolidKv, smDownKv, TRect(3, 2, 12, 12), clWhite, clBlack,
                              clRed);
  EXPECT_EQ(Up.RowCounts(), (std::vector<Integer>{1, 3, 5, 7, 9}));
  EXPECT_EQ(Down.RowCounts(), (std::vector<Integer>{9, 7, 5, 3, 1}));
  EXPECT_EQ(Up.Bmp.GetCanvas()->GetPixel(7, 2) & 0xFFFFFF, clRed);
  EXPECT_EQ(Up.Bmp.GetCanvas()->GetPixel(3, 6) & 0xFFFFFF, clRed);
  EXPECT_EQ(Up.Bmp.GetCanvas()->GetPixel(11, 6) & 0xFFFFFF, clRed);
}

TEST(SortMarker, SolidMarkerIntoTheCapturedAlphaBitmapIsTheSameTriangle) {
  TCacheAlphaBitmapKv* A = CacheAlphaBitmap(16, 16);
  std::vector<Cardinal> Clear(size_t(A->GetWidth() * A->GetHeight()), 0);
  A->SetPixelsBGRA(A->GetWidth(), A->GetHeight(), Clear.data(), afDefined);
  TMarkerBox Canvas;
  A->Capture();
  TSortMarkerPainterKv().Draw(Canvas.Bmp.GetCanvas(), smstSolidKv, smUpKv, TRect(3, 2, 12, 12), clWhite, clBlack,
                              clRed);
  A->Release();
  std::vector<Cardinal> Px = A->GetPixelsBGRA();
  std::vector<Integer> Counts;
  for (Integer Y = 0; Y < A->GetHeight(); ++Y) {
    Integer N = 0;
    for (Integer X = 0; X < A->GetWidth(); ++X) N += Px[size_t(Y * A->GetWidth() + X)] == 0xFFFF0000u;
    if (N) Counts.push_back(N);
  }
  EXPECT_EQ(Counts, (std::vector<Integer>{1, 3, 5, 7, 9}));
  EXPECT_TRUE(Canvas.RowCounts().empty());
}

TEST(SortMarker, ClassicMarkerOutlinesTheTriangleInTheDarkColour) {
  TMarkerBox Down;
  TCanvas* C = Down.Bmp.GetCanvas();
  TSortMarkerPainterKv().Draw(C, smstClassicKv, smDownKv, TRect(2, 2, 12, 12), clWhite, clBlue, clRed);
  // Top edge from x 2 to 8 (b = 8, the end excluded), tip near (6, 9).
  for (Integer X = 2; X <= 8; ++X) EXPECT_EQ(C->GetPixel(X, 2) & 0xFFFFFF, clBlue) << X;
  EXPECT_NE(C->GetPixel(9, 2) & 0xFFFFFF, clBlue);
  EXPECT_EQ(Down.RowCounts().size(), 8u);
  TMarkerBox Grey;
  TSortMarkerPainterKv().Draw(Grey.Bmp.GetCanvas(), smstClassicKv, smDownKv, TRect(2, 2, 12, 12), clWhite,
                              clDefault, clRed);
  EXPECT_EQ(Grey.Bmp.GetCanvas()->GetPixel(2, 2) & 0xFFFFFF, MixColors(clGray, cl3DDkShadow, 50));
}

// Counts its own destruction.
class TCountingPainter : public TSortMarkerPainterKv {
 public:
  explicit TCountingPainter(Integer* Freed) : FFreed(Freed) {}
  ~TCountingPainter() override { ++*FFreed; }

 private:
  Integer* FFreed;
};

TEST(KvLibDrawStyle, ANewPainterFreesThePreviousOne) {
  Integer Freed = 0;
  {
    TKvLibDrawStyleKv Style;
    ASSERT_NE(Style.GetSortmarkerPainter(), nullptr);
    auto* First = new TCountingPainter(&Freed);
    Style.SetSortmarkerPainter(First);
    EXPECT_EQ(Style.GetSortmarkerPainter(), First);
    Style.SetSortmarkerPainter(First);  // the same one stays
    EXPECT_EQ(Freed, 0);
    Style.SetSortmarkerPainter(new TCountingPainter(&Freed));
    EXPECT_EQ(Freed, 1);
  }
  EXPECT_EQ(Freed, 2);
}

TEST(KvLibDrawStyle, InstallingAnInstanceHandsBackThePrevious) {
  TKvLibDrawStyleKv* Program = KvLibDrawStyle();
  auto* Mine = new TKvLibDrawStyleKv();
  EXPECT_EQ(SetKvLibDrawStyle(Mine), Program);
  EXPECT_EQ(KvLibDrawStyle(), Mine);
  EXPECT_EQ(SetKvLibDrawStyle(Program), Mine);
  delete Mine;
  EXPECT_EQ(KvLibDrawStyle(), Program);
}

}  // namespace
