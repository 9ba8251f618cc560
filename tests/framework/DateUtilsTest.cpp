#include <gtest/gtest.h>

#include <tuple>

#include "framework/DateUtils.h"

namespace {

const TFormatSettings Plain;  // ":" between the time's parts

TDateTime At(Word Y, Word Mo, Word D, Word H = 0, Word Mi = 0, Word S = 0, Word MS = 0) {
  return EncodeDateTime(Y, Mo, D, H, Mi, S, MS);
}

String Stamp(TDateTime V) { return FormatDateTime(L"yyyy-mm-dd hh:nn:ss.zzz", V, Plain); }

// ---- Parts ------------------------------------------------------------------------------------

TEST(DateParts, EachFieldOfOneMoment) {
  const TDateTime V = At(2024, 3, 5, 14, 7, 9, 45);
  EXPECT_EQ(YearOf(V), 2024);
  EXPECT_EQ(MonthOf(V), 3);
  EXPECT_EQ(DayOf(V), 5);
  EXPECT_EQ(HourOf(V), 14);
  EXPECT_EQ(MinuteOf(V), 7);
  EXPECT_EQ(SecondOf(V), 9);
  EXPECT_EQ(MilliSecondOf(V), 45);
  EXPECT_EQ(double(DateOf(V)), 45356.0);
  EXPECT_EQ(Stamp(TimeOf(V)), L"1899-12-30 14:07:09.045");
  EXPECT_EQ(double(DateOf(-1.25)), -1.0);
  EXPECT_EQ(double(TimeOf(-1.25)), 0.25);
  Word Y, Mo, D, H, Mi, S, MS;
  DecodeDateTime(-1.25, Y, Mo, D, H, Mi, S, MS);
  EXPECT_EQ(std::make_tuple(Y, Mo, D, H, Mi), std::make_tuple(Word(1899), Word(12), Word(29), Word(6), Word(0)));
}

TEST(DateParts, DayOfTheWeekStartsOnMonday) {
  const std::pair<TDateTime, Word> Cases[] = {
      {At(2024, 3, 4), DayMonday}, {At(2024, 3, 5, 23, 59), DayTuesday}, {At(2024, 3, 9), DaySaturday},
      {At(2024, 3, 10), DaySunday}, {0, DaySaturday}, {-1.75, DayFriday}, {At(1, 1, 1), DayMonday},
  };
  for (auto [V, Expected] : Cases) EXPECT_EQ(DayOfTheWeek(V), Expected) << Stamp(V);
}

TEST(DateParts, DaysInMonthsAndYears) {
  struct Case {
    Word Y, M, Days;
  };
  for (auto C : {Case{2024, 2, 29}, Case{2023, 2, 28}, Case{1900, 2, 28}, Case{2000, 2, 29}, Case{2024, 4, 30},
                 Case{2024, 12, 31}}) {
    EXPECT_EQ(DaysInAMonth(C.Y, C.M), C.Days) << C.Y << "-" << C.M;
    EXPECT_EQ(DaysInMonth(At(C.Y, C.M, 10)), C.Days);
  }
  EXPECT_EQ(DaysInAYear(2024), 366);
  EXPECT_EQ(DaysInYear(At(2023, 6, 1)), 365);
  EXPECT_EQ(DayOfTheYear(At(2024, 1, 1)), 1);
  EXPECT_EQ(DayOfTheYear(At(2024, 3, 1)), 61);
  EXPECT_EQ(DayOfTheYear(At(2024, 12, 31, 23)), 366);
  EXPECT_EQ(DayOfTheYear(At(2023, 12, 31)), 365);
}

TEST(DateParts, ValidityOfFields) {
  EXPECT_TRUE(IsValidDate(2024, 2, 29));
  EXPECT_FALSE(IsValidDate(2023, 2, 29));
  EXPECT_FALSE(IsValidDate(0, 1, 1));
  EXPECT_FALSE(IsValidDate(2024, 13, 1));
  EXPECT_TRUE(IsValidTime(23, 59, 59, 999));
  EXPECT_FALSE(IsValidTime(24, 0, 0, 0));
  EXPECT_FALSE(IsValidTime(0, 0, 0, 1000));
  EXPECT_TRUE(IsValidDateTime(9999, 12, 31, 23, 59, 59, 999));
  EXPECT_FALSE(IsValidDateTime(2024, 4, 31, 0, 0, 0, 0));
}

// ---- ISO weeks ----------------------------------------------------------------------------------

TEST(IsoWeeks, YearBoundariesBelongToTheWeekOfTheirThursday) {
  struct Case {
    TDateTime Date;
    Word Year, Week, Day;
  };
  const Case Cases[] = {
      {At(2020, 12, 31), 2020, 53, 4}, {At(2021, 1, 1), 2020, 53, 5}, {At(2021, 1, 3), 2020, 53, 7},
      {At(2021, 1, 4), 2021, 1, 1},    {At(2024, 12, 29), 2024, 52, 7}, {At(2024, 12, 30, 12), 2025, 1, 1},
      {At(2026, 1, 1), 2026, 1, 4},    {At(2027, 1, 1), 2026, 53, 5}, {At(2010, 1, 3), 2009, 53, 7},
      {At(2005, 1, 2), 2004, 53, 7},   {At(2008, 12, 29), 2009, 1, 1}, {At(2024, 3, 5), 2024, 10, 2},
      {-1.25, 1899, 52, 5},
  };
  for (const auto& C : Cases) {
    Word Y, W, D;
    DecodeDateWeek(C.Date, Y, W, D);
    EXPECT_EQ(std::make_tuple(Y, W, D), std::make_tuple(C.Year, C.Week, C.Day)) << Stamp(C.Date);
    Word WY;
    EXPECT_EQ(WeekOfTheYear(C.Date, WY), C.Week);
    EXPECT_EQ(WY, C.Year);
    EXPECT_EQ(WeekOfTheYear(C.Date), C.Week);
    EXPECT_EQ(double(EncodeDateWeek(C.Year, C.Week, C.Day)), std::trunc(double(C.Date))) << Stamp(C.Date);
  }
}

TEST(IsoWeeks, YearsStartingOnThursdayHave53Weeks) {
  const std::pair<Word, Word> Cases[] = {{2015, 53}, {2020, 53}, {2021, 52}, {2024, 52}, {2026, 53}, {2004, 53}, {2009, 53}, {1900, 52}};
  for (auto [Y, Weeks] : Cases) {
    EXPECT_EQ(WeeksInAYear(Y), Weeks) << Y;
    EXPECT_EQ(WeeksInYear(At(Y, 7, 1)), Weeks) << Y;
  }
  EXPECT_THROW(EncodeDateWeek(2021, 53), EConvertError);
  EXPECT_THROW(EncodeDateWeek(2021, 0), EConvertError);
  EXPECT_THROW(EncodeDateWeek(2021, 1, 8), EConvertError);
  EXPECT_EQ(Stamp(EncodeDateWeek(2026, 53)), L"2026-12-28 00:00:00.000");
  TDateTime V = 5;
  EXPECT_FALSE(TryEncodeDateWeek(2024, 53, V));
  EXPECT_EQ(double(V), 5.0);
}

// ---- Boundaries -------------------------------------------------------------------------------

TEST(Boundaries, DaysWeeksMonthsAndYears) {
  const TDateTime V = At(2024, 2, 15, 14, 7, 9, 45);  // a Thursday
  const std::pair<TDateTime, const wchar_t*> Cases[] = {
      {StartOfTheDay(V), L"2024-02-15 00:00:00.000"},   {EndOfTheDay(V), L"2024-02-15 23:59:59.999"},
      {StartOfTheWeek(V), L"2024-02-12 00:00:00.000"},  {EndOfTheWeek(V), L"2024-02-18 23:59:59.999"},
      {StartOfTheMonth(V), L"2024-02-01 00:00:00.000"}, {EndOfTheMonth(V), L"2024-02-29 23:59:59.999"},
      {StartOfTheYear(V), L"2024-01-01 00:00:00.000"},  {EndOfTheYear(V), L"2024-12-31 23:59:59.999"},
      {StartOfTheWeek(At(2024, 2, 18, 23)), L"2024-02-12 00:00:00.000"},
      {StartOfTheWeek(At(2024, 2, 12)), L"2024-02-12 00:00:00.000"},
      {EndOfAMonth(2023, 2), L"2023-02-28 23:59:59.999"},
      {EndOfTheDay(-1.25), L"1899-12-29 23:59:59.999"},
      {StartOfTheWeek(-1.25), L"1899-12-25 00:00:00.000"},
  };
  for (auto [Got, Expected] : Cases) EXPECT_EQ(Stamp(Got), Expected);
  EXPECT_LT(double(EndOfTheDay(-1.25)), -1.99);  // the sign convention holds
}

TEST(Boundaries, TodayYesterdayTomorrow) {
  EXPECT_EQ(double(Today()), double(Date()));
  EXPECT_EQ(double(Tomorrow()) - double(Today()), 1.0);
  EXPECT_EQ(double(Today()) - double(Yesterday()), 1.0);
  EXPECT_TRUE(IsSameDay(At(2024, 3, 5, 23, 59), At(2024, 3, 5, 0, 1)));
  EXPECT_FALSE(IsSameDay(At(2024, 3, 5, 23, 59), At(2024, 3, 6)));
  EXPECT_TRUE(IsSameDay(-1.25, -1.75));
}

// ---- Encoding and recoding --------------------------------------------------------------------

TEST(EncodeDateTime, JoinsDateAndTimeWithTheSignConvention) {
  EXPECT_EQ(double(At(2024, 3, 5, 18)), 45356.75);
  EXPECT_EQ(double(At(1899, 12, 29, 18)), -1.75);
  try {
    EncodeDateTime(2024, 2, 30, 10, 0, 0, 0);
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), L"'2024-02-30 10:00:00.000' is not a valid date and time");
  }
  TDateTime V = 3;
  EXPECT_FALSE(TryEncodeDateTime(2024, 1, 1, 24, 0, 0, 0, V));
  EXPECT_EQ(double(V), 3.0);
}

TEST(Recode, ReplacesOneFieldWithoutCarrying) {
  const TDateTime V = At(2024, 2, 29, 14, 7, 9, 45);
  const std::pair<TDateTime, const wchar_t*> Cases[] = {
      {RecodeYear(V, 2028), L"2028-02-29 14:07:09.045"},
      {RecodeMonth(V, 3), L"2024-03-29 14:07:09.045"},
      {RecodeDay(V, 1), L"2024-02-01 14:07:09.045"},
      {RecodeHour(V, 23), L"2024-02-29 23:07:09.045"},
      {RecodeMinute(V, 59), L"2024-02-29 14:59:09.045"},
      {RecodeSecond(V, 0), L"2024-02-29 14:07:00.045"},
      {RecodeMilliSecond(V, 999), L"2024-02-29 14:07:09.999"},
      {RecodeDate(V, 2023, 12, 31), L"2023-12-31 14:07:09.045"},
      {RecodeTime(V, 0, 0, 0, 0), L"2024-02-29 00:00:00.000"},
      {RecodeDateTime(V, RecodeLeaveFieldAsIs, 1, RecodeLeaveFieldAsIs, 8, RecodeLeaveFieldAsIs, RecodeLeaveFieldAsIs, 0),
       L"2024-01-29 08:07:09.000"},
      {RecodeHour(-1.25, 18), L"1899-12-29 18:00:00.000"},
  };
  for (auto [Got, Expected] : Cases) EXPECT_EQ(Stamp(Got), Expected);
  EXPECT_EQ(double(RecodeHour(-1.25, 18)), -1.75);
  EXPECT_THROW(RecodeYear(V, 2023), EConvertError);  // no 29 February
  EXPECT_THROW(RecodeMinute(V, 60), EConvertError);
  EXPECT_THROW(RecodeDay(V, 30), EConvertError);
  TDateTime R = 1;
  EXPECT_FALSE(TryRecodeDateTime(V, 2024, 2, 30, 0, 0, 0, 0, R));
  EXPECT_EQ(double(R), 1.0);
}

// ---- Arithmetic -------------------------------------------------------------------------------

TEST(IncrementRoutines, CrossMidnightMonthEndsAndTheEpoch) {
  const std::pair<TDateTime, const wchar_t*> Cases[] = {
      {IncHour(At(2024, 3, 5, 23), 2), L"2024-03-06 01:00:00.000"},
      {IncHour(At(2024, 3, 1, 1), -2), L"2024-02-29 23:00:00.000"},
      {IncMinute(At(2024, 12, 31, 23, 59), 1), L"2025-01-01 00:00:00.000"},
      {IncSecond(At(2024, 3, 5, 14, 7, 9), -86400), L"2024-03-04 14:07:09.000"},
      {IncMilliSecond(At(2024, 3, 5, 23, 59, 59, 999), 1), L"2024-03-06 00:00:00.000"},
      {IncDay(At(2024, 2, 28, 12), 1), L"2024-02-29 12:00:00.000"},
      {IncDay(At(2024, 3, 1, 12), -1), L"2024-02-29 12:00:00.000"},
      {IncWeek(At(2024, 12, 30, 8), 1), L"2025-01-06 08:00:00.000"},
      {IncYear(At(2024, 2, 29, 8), 1), L"2025-02-28 08:00:00.000"},
      {IncYear(At(2024, 2, 29, 8), -4), L"2020-02-29 08:00:00.000"},
      // Across 1899-12-30 the stored value jumps; the moment moves on evenly.
      {IncDay(-1.25, 1), L"1899-12-30 06:00:00.000"},
      {IncDay(0.25, -1), L"1899-12-29 06:00:00.000"},
      {IncDay(-0.25, 1), L"1899-12-31 06:00:00.000"},
      {IncDay(-1.75, 2), L"1899-12-31 18:00:00.000"},
      {IncHour(At(1899, 12, 29, 23), 2), L"1899-12-30 01:00:00.000"},
      {IncHour(At(1899, 12, 30, 1), -2), L"1899-12-29 23:00:00.000"},
      {IncMinute(-1.25, 12 * 60), L"1899-12-29 18:00:00.000"},
  };
  for (auto [Got, Expected] : Cases) EXPECT_EQ(Stamp(Got), Expected);
  EXPECT_EQ(double(IncDay(0.25, -1)), -1.25);
  EXPECT_EQ(double(IncHour(At(2024, 3, 5, 23), 2)), double(At(2024, 3, 6, 1)));
  const TDateTime Odd = 45356.123456789;  // exact for days when no rounding is needed
  EXPECT_EQ(double(IncDay(Odd, 3)), double(Odd) + 3);
  EXPECT_THROW(IncMilliSecond(At(1, 1, 1), -1), EConvertError);
}

TEST(Between, CountsWholeUnitsToTheMillisecond) {
  const TDateTime T = At(2024, 3, 5, 14, 7, 9);
  const TDateTime OneSecondLater = double(T) + 1.0 / SecsPerDay;  // not exactly one second in binary
  EXPECT_EQ(SecondsBetween(T, OneSecondLater), 1);
  EXPECT_EQ(SecondsBetween(OneSecondLater, T), 1);
  EXPECT_EQ(MilliSecondsBetween(T, OneSecondLater), 1000);
  struct Case {
    TDateTime A, B;
    Int64 MSecs, Secs, Mins, Hours;
    Integer Days, Weeks;
  };
  const Case Cases[] = {
      {At(2024, 3, 5, 14), At(2024, 3, 6, 13, 59, 59, 999), 86399999, 86399, 1439, 23, 0, 0},
      {At(2024, 3, 5, 14), At(2024, 3, 6, 14), 86400000, 86400, 1440, 24, 1, 0},
      {At(2024, 3, 1), At(2024, 3, 14), 13LL * 86400000, 13 * 86400, 13 * 1440, 13 * 24, 13, 1},
      {At(2024, 3, 1), At(2024, 3, 15), 14LL * 86400000, 14 * 86400, 14 * 1440, 14 * 24, 14, 2},
      // 1899-12-29 06:00 to 1899-12-30 06:00 is one day, though the stored values are 1.5 apart.
      {-1.25, 0.25, 86400000, 86400, 1440, 24, 1, 0},
      {-1.75, -1.25, 43200000, 43200, 720, 12, 0, 0},
  };
  for (const auto& C : Cases)
    for (auto [A, B] : {std::pair{C.A, C.B}, std::pair{C.B, C.A}}) {
      EXPECT_EQ(MilliSecondsBetween(A, B), C.MSecs) << Stamp(A) << " " << Stamp(B);
      EXPECT_EQ(SecondsBetween(A, B), C.Secs);
      EXPECT_EQ(MinutesBetween(A, B), C.Mins);
      EXPECT_EQ(HoursBetween(A, B), C.Hours);
      EXPECT_EQ(DaysBetween(A, B), C.Days);
      EXPECT_EQ(WeeksBetween(A, B), C.Weeks);
    }
}

TEST(Between, MonthsAndYearsAreApproximateLengths) {
  EXPECT_EQ(MonthsBetween(At(2024, 1, 1), At(2024, 2, 1)), 1);  // 31 days
  EXPECT_EQ(MonthsBetween(At(2024, 2, 1), At(2024, 3, 1)), 0);  // 29 days < 30.4375
  EXPECT_EQ(MonthsBetween(At(2024, 1, 15), At(2025, 1, 15)), 12);
  EXPECT_EQ(YearsBetween(At(2020, 1, 1), At(2021, 1, 1)), 1);  // 366 days
  EXPECT_EQ(YearsBetween(At(2021, 1, 1), At(2022, 1, 1)), 0);  // 365 days < 365.25
  EXPECT_EQ(YearsBetween(At(2000, 6, 1), At(2024, 6, 2)), 24);
  EXPECT_DOUBLE_EQ(DaySpan(At(2024, 3, 5), At(2024, 3, 6, 12)), 1.5);
  EXPECT_DOUBLE_EQ(HourSpan(At(2024, 3, 5), At(2024, 3, 5, 1, 30)), 1.5);
  EXPECT_DOUBLE_EQ(WeekSpan(At(2024, 3, 1), At(2024, 3, 11, 12)), 1.5);
  EXPECT_DOUBLE_EQ(SecondSpan(At(2024, 3, 5), At(2024, 3, 5, 0, 0, 1, 500)), 1.5);
  EXPECT_DOUBLE_EQ(YearSpan(At(2024, 1, 1), At(2024, 1, 1) + 365.25 * 2), 2.0);
}

// ---- Comparison -------------------------------------------------------------------------------

TEST(Comparison, EqualWithinTheSameMillisecond) {
  const TDateTime T = At(2024, 3, 5, 14, 7, 9, 45);
  const TDateTime Near = double(T) + 0.4 / MSecsPerDay;
  const TDateTime Later = IncMilliSecond(T, 1);
  EXPECT_EQ(CompareDateTime(T, Near), EqualsValue);
  EXPECT_TRUE(SameDateTime(T, Near));
  EXPECT_EQ(CompareDateTime(T, Later), LessThanValue);
  EXPECT_EQ(CompareDateTime(Later, T), GreaterThanValue);
  EXPECT_FALSE(SameDateTime(T, Later));
  // Before 1899-12-30 a larger stored fraction is a later time.
  EXPECT_EQ(CompareDateTime(-1.25, -1.75), LessThanValue);
  EXPECT_EQ(CompareDateTime(-1.75, 0.25), LessThanValue);

  EXPECT_EQ(CompareDate(At(2024, 3, 5, 23), At(2024, 3, 5, 1)), EqualsValue);
  EXPECT_EQ(CompareDate(At(2024, 3, 5, 23), At(2024, 3, 6, 1)), LessThanValue);
  EXPECT_EQ(CompareDate(-0.5, 0.5), EqualsValue);
  EXPECT_TRUE(SameDate(At(2024, 3, 5, 23), At(2024, 3, 5)));
  EXPECT_EQ(CompareTime(At(2024, 3, 5, 10), At(2023, 1, 1, 9)), GreaterThanValue);
  EXPECT_EQ(CompareTime(-1.25, 0.25), EqualsValue);
  EXPECT_TRUE(SameTime(At(2024, 3, 5, 10), At(2020, 7, 7, 10)));
  EXPECT_FALSE(SameTime(At(2024, 3, 5, 10), At(2024, 3, 5, 10, 0, 0, 1)));
}

// ---- Unix time --------------------------------------------------------------------------------

TEST(UnixTime, SecondsSince1970) {
  const std::pair<TDateTime, Int64> Cases[] = {
      {At(1970, 1, 1), 0},
      {At(2024, 3, 5, 14, 7, 9), 1709647629},
      {At(1969, 12, 31, 23, 59, 59), -1},
      {At(1969, 12, 31, 23, 59, 59, 500), -1},  // the second that holds the moment
      {At(2038, 1, 19, 3, 14, 8), 2147483648LL},
  };
  for (auto [V, Secs] : Cases) EXPECT_EQ(DateTimeToUnix(V), Secs) << Stamp(V);
  EXPECT_EQ(Stamp(UnixToDateTime(1709647629)), L"2024-03-05 14:07:09.000");
  EXPECT_EQ(double(UnixToDateTime(0)), double(UnixDateDelta));
  EXPECT_EQ(Stamp(UnixToDateTime(-86400)), L"1969-12-31 00:00:00.000");
  // Local time goes through the system's time zone and back.
  const TDateTime Local = At(2024, 7, 1, 12, 30);
  EXPECT_EQ(Stamp(UnixToDateTime(DateTimeToUnix(Local, false), false)), Stamp(Local));
}

TEST(Iso8601, WritesUtcWithZAndReadsEveryCommonForm) {
  EXPECT_EQ(DateToISO8601(At(2024, 3, 5, 14, 7, 9, 45)), L"2024-03-05T14:07:09.045Z");
  EXPECT_EQ(DateToISO8601(-1.25), L"1899-12-29T06:00:00.000Z");
  const std::pair<const wchar_t*, const wchar_t*> Cases[] = {
      {L"2024-03-05T14:07:09.045Z", L"2024-03-05 14:07:09.045"},
      {L"2024-03-05T17:07:09+03:00", L"2024-03-05 14:07:09.000"},
      {L"2024-03-05T12:37:09-01:30", L"2024-03-05 14:07:09.000"},
      {L"2024-03-06T01:07+1100", L"2024-03-05 14:07:00.000"},
      {L"20240305T140709Z", L"2024-03-05 14:07:09.000"},
      {L"2024-03-05T14:07:09.5", L"2024-03-05 14:07:09.500"},
      {L"2024-03-05 14:07", L"2024-03-05 14:07:00.000"},
      {L"2024-03-05", L"2024-03-05 00:00:00.000"},
      {L"2024-01-01T01:00:00+02", L"2023-12-31 23:00:00.000"},
  };
  for (auto [Text, Expected] : Cases) EXPECT_EQ(Stamp(ISO8601ToDate(Text)), Expected) << UTF8Encode(Text);
  for (const wchar_t* Bad : {L"2024-02-30", L"2024-03-05T25:00", L"2024-3-5", L"2024-03-05T14:07:09+3",
                             L"2024-03-05X", L"2024-03-05T14:07:09Zx", L"", L"0001-01-01T00:00+01:00"}) {
    TDateTime V = 9;
    EXPECT_FALSE(TryISO8601ToDate(Bad, V)) << UTF8Encode(Bad);
    EXPECT_EQ(double(V), 9.0);
  }
  EXPECT_THROW(ISO8601ToDate(L"2024-02-30"), EConvertError);
  // A local value carries its offset and comes back as the same local time.
  const TDateTime Local = At(2024, 7, 1, 12, 30);
  EXPECT_EQ(Stamp(ISO8601ToDate(DateToISO8601(Local, false), false)), Stamp(Local));
}

}  // namespace
