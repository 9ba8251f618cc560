#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <tuple>

#include "framework/SysUtils.h"

namespace {

TFormatSettings EnglishSettings() {
  TFormatSettings F;
  F.DateSeparator = L'/';
  F.TimeSeparator = L':';
  F.DecimalSeparator = L'.';
  F.ShortDateFormat = L"MM/dd/yyyy";
  F.LongDateFormat = L"dddd, dd MMMMM yyyy";
  F.ShortTimeFormat = L"hh:nn";
  F.LongTimeFormat = L"hh:nn:ss";
  F.TimeAMString = L"AM";
  F.TimePMString = L"PM";
  const wchar_t* Months[] = {L"January", L"February", L"March",     L"April",   L"May",      L"June",
                             L"July",    L"August",   L"September", L"October", L"November", L"December"};
  const wchar_t* Days[] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday"};
  for (int I = 0; I < 12; ++I) {
    F.LongMonthNames[I] = Months[I];
    F.ShortMonthNames[I] = String(Months[I]).substr(0, 3);
  }
  for (int I = 0; I < 7; ++I) {
    F.LongDayNames[I] = Days[I];
    F.ShortDayNames[I] = String(Days[I]).substr(0, 3);
  }
  return F;
}

TFormatSettings TurkishSettings() {
  TFormatSettings F;
  F.DateSeparator = L'.';
  F.TimeSeparator = L':';
  F.DecimalSeparator = L',';
  F.ShortDateFormat = L"dd.mm.yyyy";
  F.LongDateFormat = L"d mmmm yyyy dddd";
  F.ShortTimeFormat = L"hh:nn";
  F.LongTimeFormat = L"hh:nn:ss";
  F.TimeAMString = L"ÖÖ";
  F.TimePMString = L"ÖS";
  const wchar_t* Months[] = {L"Ocak",   L"Şubat",   L"Mart", L"Nisan", L"Mayıs", L"Haziran",
                             L"Temmuz", L"Ağustos", L"Eylül", L"Ekim", L"Kasım", L"Aralık"};
  const wchar_t* ShortMonths[] = {L"Oca", L"Şub", L"Mar", L"Nis", L"May", L"Haz",
                                  L"Tem", L"Ağu", L"Eyl", L"Eki", L"Kas", L"Ara"};
  const wchar_t* Days[] = {L"Pazar", L"Pazartesi", L"Salı", L"Çarşamba", L"Perşembe", L"Cuma", L"Cumartesi"};
  const wchar_t* ShortDays[] = {L"Paz", L"Pzt", L"Sal", L"Çar", L"Per", L"Cum", L"Cmt"};
  for (int I = 0; I < 12; ++I) {
    F.LongMonthNames[I] = Months[I];
    F.ShortMonthNames[I] = ShortMonths[I];
  }
  for (int I = 0; I < 7; ++I) {
    F.LongDayNames[I] = Days[I];
    F.ShortDayNames[I] = ShortDays[I];
  }
  return F;
}

// The storage settings: year first, "-" between the date's parts.
TFormatSettings FixedSettings() {
  TFormatSettings F = EnglishSettings();
  F.DateSeparator = L'-';
  F.ShortDateFormat = L"YYYY/MM/DD";
  F.LongTimeFormat = L"HH:NN:SS";
  return F;
}

const TFormatSettings En = EnglishSettings();
const TFormatSettings Tr = TurkishSettings();

TDateTime At(Word Y, Word Mo, Word D, Word H = 0, Word Mi = 0, Word S = 0, Word MS = 0) {
  TDateTime R = EncodeDate(Y, Mo, D);
  ReplaceTime(R, EncodeTime(H, Mi, S, MS));
  return R;
}

String Stamp(TDateTime V) { return FormatDateTime(L"yyyy-mm-dd hh:nn:ss.zzz", V, En); }

Word YearOfDate(TDateTime V) {
  Word Y, M, D;
  DecodeDate(V, Y, M, D);
  return Y;
}

// ---- Encoding ---------------------------------------------------------------------------------

TEST(DateEncoding, DaysCountFrom30December1899) {
  EXPECT_EQ(double(EncodeDate(1899, 12, 30)), 0.0);
  EXPECT_EQ(double(EncodeDate(1900, 1, 1)), 2.0);
  EXPECT_EQ(double(EncodeDate(2024, 3, 5)), 45356.0);
  EXPECT_EQ(double(EncodeDate(1899, 12, 29)), -1.0);
  EXPECT_EQ(double(EncodeDate(1, 1, 1)), -693593.0);
  EXPECT_EQ(double(EncodeDate(9999, 12, 31)), 2958465.0);
  EXPECT_EQ(double(EncodeTime(18, 0, 0, 0)), 0.75);
  EXPECT_EQ(double(EncodeTime(0, 0, 0, 1)), 1.0 / MSecsPerDay);
}

TEST(DateEncoding, DecodeInvertsEncodeOverTheWholeRange) {
  for (double D = -693593; D <= 2958465; D += 997) {  // about 3,600 dates across every leap rule
    Word Y, M, Day;
    DecodeDate(D, Y, M, Day);
    EXPECT_EQ(double(EncodeDate(Y, M, Day)), D);
  }
  Word Y, M, D;
  DecodeDate(EncodeDate(2000, 2, 29), Y, M, D);
  EXPECT_EQ(std::make_tuple(Y, M, D), std::make_tuple(Word(2000), Word(2), Word(29)));
  DecodeDate(EncodeDate(2000, 12, 31), Y, M, D);
  EXPECT_EQ(std::make_tuple(Y, M, D), std::make_tuple(Word(2000), Word(12), Word(31)));
}

TEST(DateEncoding, OutOfRangeArgumentsRaise) {
  struct Case {
    Word Y, M, D;
  };
  for (auto C : {Case{2023, 2, 29}, Case{1900, 2, 29}, Case{0, 1, 1}, Case{10000, 1, 1}, Case{2024, 13, 1},
                 Case{2024, 0, 1}, Case{2024, 4, 31}, Case{2024, 1, 0}}) {
    TDateTime R = 123;
    EXPECT_FALSE(TryEncodeDate(C.Y, C.M, C.D, R)) << C.Y << "-" << C.M << "-" << C.D;
    EXPECT_EQ(double(R), 123.0);
    try {
      EncodeDate(C.Y, C.M, C.D);
      ADD_FAILURE() << "no error";
    } catch (const EConvertError& E) {
      EXPECT_EQ(E.Message(), L"Invalid argument to date encode");
    }
  }
  TDateTime Leap;
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, Leap));
  for (auto T : {std::array<Word, 4>{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}}) {
    try {
      EncodeTime(T[0], T[1], T[2], T[3]);
      ADD_FAILURE() << "no error";
    } catch (const EConvertError& E) {
      EXPECT_EQ(E.Message(), L"Invalid argument to time encode");
    }
  }
}

TEST(DateEncoding, LeapYearsFollowTheGregorianRules) {
  const std::pair<Word, bool> Cases[] = {{1900, false}, {2000, true}, {2023, false}, {2024, true}, {2100, false}, {2400, true}};
  for (auto [Y, Leap] : Cases) {
    EXPECT_EQ(IsLeapYear(Y), Leap) << Y;
    EXPECT_EQ(MonthDays[IsLeapYear(Y)][2], Leap ? 29 : 28) << Y;
  }
  EXPECT_EQ(MonthDays[0][12], 31);
  EXPECT_EQ(MonthDays[1][4], 30);
}

TEST(DateEncoding, DecodeTimeRoundsToTheMillisecond) {
  Word H, M, S, MS;
  DecodeTime(At(2024, 3, 5, 14, 7, 9, 45), H, M, S, MS);
  EXPECT_EQ(std::make_tuple(H, M, S, MS), std::make_tuple(Word(14), Word(7), Word(9), Word(45)));
  // A hair before midnight is midnight of the next day, not 24:00.
  TDateTime AlmostMidnight = 45356.0 + (MSecsPerDay - 0.2) / MSecsPerDay;
  EXPECT_EQ(Stamp(AlmostMidnight), L"2024-03-06 00:00:00.000");
}

TEST(DateEncoding, DayOfWeekStartsOnSunday) {
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 3)), 1);  // Sunday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 5)), 3);  // Tuesday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 9)), 7);  // Saturday
  EXPECT_EQ(DayOfWeek(0), 7);                       // 1899-12-30 was a Saturday
  EXPECT_EQ(DayOfWeek(-1.25), 6);                   // 1899-12-29, a Friday
  Word Y, M, D, DOW;
  EXPECT_TRUE(DecodeDateFully(EncodeDate(2024, 3, 5), Y, M, D, DOW));
  EXPECT_EQ(DOW, 3);
  EXPECT_FALSE(DecodeDateFully(EncodeDate(2023, 3, 5), Y, M, D, DOW));
}

// ---- Dates before 1899-12-30 ------------------------------------------------------------------

TEST(NegativeDates, TheFractionCountsForwardFromMidnight) {
  EXPECT_EQ(Stamp(-1.25), L"1899-12-29 06:00:00.000");
  EXPECT_EQ(Stamp(-1.75), L"1899-12-29 18:00:00.000");
  EXPECT_EQ(Stamp(-0.5), L"1899-12-30 12:00:00.000");
  EXPECT_EQ(Stamp(-36522.5), L"1800-01-01 12:00:00.000");
  EXPECT_EQ(double(At(1899, 12, 29, 6)), -1.25);
  EXPECT_EQ(double(At(1800, 1, 1, 12)), -36522.5);
}

TEST(NegativeDates, ReplaceKeepsTheSignConvention) {
  struct Case {
    double Value, New, Expected;
  };
  const Case TimeCases[] = {
      {-1.25, 0.75, -1.75}, {-1.25, -0.5, -1.5}, {5.25, 0.5, 5.5}, {5.25, -3.75, 5.75}, {-3.0, 0.25, -3.25},
  };
  for (auto C : TimeCases) {
    TDateTime V = C.Value;
    ReplaceTime(V, C.New);
    EXPECT_EQ(double(V), C.Expected) << C.Value << " time " << C.New;
  }
  const Case DateCases[] = {{-1.25, 5, 5.25}, {5.25, -3, -3.25}, {-1.75, -2.5, -2.75}, {0.5, 0, 0.5}};
  for (auto C : DateCases) {
    TDateTime V = C.Value;
    ReplaceDate(V, C.New);
    EXPECT_EQ(double(V), C.Expected) << C.Value << " date " << C.New;
  }
}

// ---- Time stamps and system times -------------------------------------------------------------

TEST(TimeStamps, CountDaysFromYearOneAndMillisecondsFromMidnight) {
  TTimeStamp T = DateTimeToTimeStamp(At(2024, 3, 5, 14, 7, 9, 45));
  EXPECT_EQ(T.Date, DateDelta + 45356);
  EXPECT_EQ(T.Time, ((14 * 60 + 7) * 60 + 9) * 1000 + 45);
  EXPECT_EQ(Stamp(TimeStampToDateTime(T)), L"2024-03-05 14:07:09.045");
  EXPECT_EQ(DateTimeToTimeStamp(EncodeDate(1, 1, 1)).Date, 1);
  TTimeStamp N = DateTimeToTimeStamp(-1.25);
  EXPECT_EQ(N.Date, DateDelta - 1);
  EXPECT_EQ(N.Time, MSecsPerDay / 4);
  EXPECT_EQ(double(TimeStampToDateTime(N)), -1.25);
  Int64 MS = TimeStampToMSecs(T);
  EXPECT_EQ(MSecsToTimeStamp(MS).Date, T.Date);
  EXPECT_EQ(MSecsToTimeStamp(MS).Time, T.Time);
  TTimeStamp Bad;
  Bad.Date = 0;
  EXPECT_THROW(TimeStampToDateTime(Bad), EConvertError);
}

TEST(TimeStamps, SystemTimeRoundTrips) {
  SYSTEMTIME ST;
  DateTimeToSystemTime(At(2024, 3, 5, 14, 7, 9, 45), ST);
  EXPECT_EQ(ST.wYear, 2024);
  EXPECT_EQ(ST.wMonth, 3);
  EXPECT_EQ(ST.wDay, 5);
  EXPECT_EQ(ST.wDayOfWeek, 2);  // Tuesday, Sunday being 0
  EXPECT_EQ(ST.wHour, 14);
  EXPECT_EQ(ST.wMilliseconds, 45);
  EXPECT_EQ(Stamp(SystemTimeToDateTime(ST)), L"2024-03-05 14:07:09.045");
  DateTimeToSystemTime(-1.25, ST);
  EXPECT_EQ(double(SystemTimeToDateTime(ST)), -1.25);
}

TEST(Clock, NowIsTodayPlusTheTime) {
  TDateTime D = Date(), N = Now();
  EXPECT_GE(double(N), double(D));
  EXPECT_LT(double(N), double(D) + 1.0 + 1.0 / SecsPerDay);  // allows a midnight between the calls
  EXPECT_EQ(double(D), std::trunc(double(D)));
  EXPECT_GE(double(Time()), 0.0);
  EXPECT_LT(double(Time()), 1.0);
  EXPECT_EQ(FormatDateTime(L"yyyy", Now(), En), std::to_wstring(CurrentYear()));
}

// ---- IncMonth -----------------------------------------------------------------------------------

TEST(IncMonth, ClipsTheDayToTheNewMonthAndKeepsTheTime) {
  struct Case {
    TDateTime From;
    Integer Months;
    const wchar_t* Expected;
  };
  const Case Cases[] = {
      {At(2024, 1, 31), 1, L"2024-02-29 00:00:00.000"},
      {At(2023, 1, 31), 1, L"2023-02-28 00:00:00.000"},
      {At(2024, 3, 31), -1, L"2024-02-29 00:00:00.000"},
      {At(2024, 2, 29), 12, L"2025-02-28 00:00:00.000"},
      {At(2024, 5, 31), 1, L"2024-06-30 00:00:00.000"},
      {At(2024, 12, 15), 1, L"2025-01-15 00:00:00.000"},
      {At(2024, 1, 15), -1, L"2023-12-15 00:00:00.000"},
      {At(2024, 1, 15), -25, L"2021-12-15 00:00:00.000"},
      {At(2024, 1, 31, 13, 45, 10, 5), 1, L"2024-02-29 13:45:10.005"},
      {At(2024, 1, 31), 0, L"2024-01-31 00:00:00.000"},
      {-1.25, 1, L"1900-01-29 06:00:00.000"},
      {At(1900, 1, 29, 6), -1, L"1899-12-29 06:00:00.000"},
  };
  for (const auto& C : Cases) EXPECT_EQ(Stamp(IncMonth(C.From, C.Months)), C.Expected) << Stamp(C.From) << " " << C.Months;
  EXPECT_EQ(double(IncMonth(At(1900, 1, 29, 6), -1)), -1.25);
}

TEST(IncMonth, LeavingTheCalendarRaises) {
  EXPECT_THROW(IncMonth(At(9999, 12, 1), 1), EConvertError);
  EXPECT_THROW(IncMonth(At(1, 1, 1), -1), EConvertError);
  EXPECT_EQ(Stamp(IncMonth(At(9999, 11, 30), 1)), L"9999-12-30 00:00:00.000");
  Word Y = 2024, M = 1, D = 31;
  IncAMonth(Y, M, D, 13);
  EXPECT_EQ(std::make_tuple(Y, M, D), std::make_tuple(Word(2025), Word(2), Word(28)));
}

// ---- Formatting -------------------------------------------------------------------------------

struct FormatCase {
  const wchar_t* Format;
  const wchar_t* Expected;
};

TEST(FormatDateTime, EverySpecifierUnderEnglishSettings) {
  const TDateTime V = At(2024, 3, 5, 14, 7, 9, 45);  // a Tuesday
  const FormatCase Cases[] = {
      {L"hh:nn:ss", L"14:07:09"},
      {L"yyyymmdd", L"20240305"},
      {L"yyyymmddhhnnss", L"20240305140709"},
      {L"dd.mm.yyyy", L"05.03.2024"},
      {L"d/m/yy", L"5/3/24"},
      {L"y", L"24"},
      {L"yyy", L"2024"},
      {L"ddd dddd", L"Tue Tuesday"},
      {L"mmm mmmm", L"Mar March"},
      {L"MMMM YYYY", L"March 2024"},
      {L"ddddd", L"03/05/2024"},
      {L"dddddd", L"Tuesday, 05 March 2024"},
      {L"c", L"03/05/2024 14:07:09"},
      {L"", L"03/05/2024 14:07:09"},
      {L"t", L"14:07"},
      {L"tt", L"14:07:09"},
      {L"h:n:s.z", L"14:7:9.45"},
      {L"ss.zzz", L"09.045"},
      {L"hh:mm", L"14:07"},  // m after h is minutes
      {L"h:mm:ss mm", L"14:07:09 03"},
      {L"mm", L"03"},
      {L"HH:NN", L"14:07"},
      {L"h am/pm", L"2 pm"},
      {L"h AM/PM", L"2 PM"},
      {L"h Am/Pm", L"2 Pm"},
      {L"h a/p", L"2 p"},
      {L"hh:nn ampm", L"02:07 PM"},
      {L"AMPM", L"PM"},
      {L"h 'o''clock'", L"14 oclock"},
      {L"'yyyy' yyyy", L"yyyy 2024"},
      {L"\"hh\" hh", L"hh 14"},
      {L"hh 'am/pm'", L"14 am/pm"},  // a quoted marker does not switch the clock
      {L"DD'.'MM'.'YYYY", L"05.03.2024"},
      {L"yyyy/mm/dd", L"2024/03/05"},
      {L"e", L"2024"},
      {L"g", L"A.D."},
      {L"x-", L"x-"},
  };
  for (const auto& C : Cases) EXPECT_EQ(FormatDateTime(C.Format, V, En), C.Expected) << C.Format;
}

TEST(FormatDateTime, TwelveHourClockAroundMidnightAndNoon) {
  const std::pair<TDateTime, const wchar_t*> Cases[] = {
      {At(2024, 3, 5, 0, 30), L"12:30 AM a"},
      {At(2024, 3, 5, 11, 59), L"11:59 AM a"},
      {At(2024, 3, 5, 12, 0), L"12:00 PM p"},
      {At(2024, 3, 5, 23, 5), L"11:05 PM p"},
  };
  for (auto [V, Expected] : Cases) EXPECT_EQ(FormatDateTime(L"hh:nn ampm a/p", V, En), Expected);
  EXPECT_EQ(FormatDateTime(L"h", At(2024, 3, 5, 0, 30), En), L"0");  // no marker: 24-hour
}

TEST(FormatDateTime, TurkishNamesAndSeparators) {
  const TDateTime V = At(2024, 3, 5, 14, 7, 9, 45);
  const FormatCase Cases[] = {
      {L"dddd, d mmmm yyyy", L"Salı, 5 Mart 2024"},
      {L"ddd mmm", L"Sal Mar"},
      {L"ddddd", L"05.03.2024"},
      {L"dddddd", L"5 Mart 2024 Salı"},
      {L"c", L"05.03.2024 14:07:09"},
      {L"hh:nn ampm", L"02:07 ÖS"},
      {L"yyyy/mm/dd hh:nn", L"2024.03.05 14:07"},
      {L"hh:nn:ss", L"14:07:09"},
      {L"yyyymmddhhnnss", L"20240305140709"},
  };
  for (const auto& C : Cases) EXPECT_EQ(FormatDateTime(C.Format, V, Tr), C.Expected) << C.Format;
  EXPECT_EQ(FormatDateTime(L"mmmm dddd", At(2024, 8, 7), Tr), L"Ağustos Çarşamba");
  EXPECT_EQ(FormatDateTime(L"ampm", At(2024, 8, 7, 9), Tr), L"ÖÖ");
}

TEST(FormatDateTime, StandardTextsLeaveTheTimeOutAtMidnight) {
  EXPECT_EQ(DateTimeToStr(At(2024, 3, 5), Tr), L"05.03.2024");
  EXPECT_EQ(DateTimeToStr(At(2024, 3, 5, 0, 0, 0, 1), Tr), L"05.03.2024 00:00:00");
  EXPECT_EQ(DateTimeToStr(At(2024, 3, 5, 15, 4, 5), Tr), L"05.03.2024 15:04:05");
  EXPECT_EQ(DateTimeToStr(At(2024, 1, 31, 15, 4, 5), FixedSettings()), L"2024-01-31 15:04:05");
  EXPECT_EQ(DateTimeToStr(0.5, En), L"12/30/1899 12:00:00");
  EXPECT_EQ(DateToStr(At(2024, 3, 5, 15, 4, 5), Tr), L"05.03.2024");
  EXPECT_EQ(TimeToStr(At(2024, 3, 5, 15, 4, 5), Tr), L"15:04:05");
  String S;
  DateTimeToString(S, L"yyyy", At(2024, 3, 5), Tr);
  EXPECT_EQ(S, L"2024");
}

TEST(FormatDateTime, FormatsThatNameEachOtherStop) {
  TFormatSettings F = En;
  F.ShortDateFormat = L"c";  // c expands the short date format again
  F.LongTimeFormat = L"tt";
  EXPECT_NO_THROW(FormatDateTime(L"c", At(2024, 3, 5, 1), F));
}

// ---- Parsing ----------------------------------------------------------------------------------

struct ParseCase {
  const wchar_t* Text;
  const wchar_t* Expected;  // Stamp of the result, or null for a failure
};

void CheckParse(bool (*Parse)(const String&, TDateTime&, const TFormatSettings&), const TFormatSettings& F,
                std::initializer_list<ParseCase> Cases) {
  for (const auto& C : Cases) {
    TDateTime V = 777;
    bool Ok = Parse(C.Text, V, F);
    if (C.Expected) {
      EXPECT_TRUE(Ok) << "'" << UTF8Encode(C.Text) << "'";
      EXPECT_EQ(Stamp(V), C.Expected) << "'" << UTF8Encode(C.Text) << "'";
    } else {
      EXPECT_FALSE(Ok) << "'" << UTF8Encode(C.Text) << "'";
      EXPECT_EQ(double(V), 777.0) << "'" << UTF8Encode(C.Text) << "' changed the value";
    }
  }
}

TEST(StrToDate, ReadsTheShortDateFormatsOrder) {
  CheckParse(TryStrToDate, Tr,
             {
                 {L"05.03.2024", L"2024-03-05 00:00:00.000"},
                 {L" 5.3.2024 ", L"2024-03-05 00:00:00.000"},
                 {L"29.02.2024", L"2024-02-29 00:00:00.000"},
                 {L"05.03.24", L"2024-03-05 00:00:00.000"},
                 {L"05.03.99", L"1999-03-05 00:00:00.000"},
                 {L"5.3.0024", L"0024-03-05 00:00:00.000"},  // four digits are taken as they stand
                 {L"29.12.1899", L"1899-12-29 00:00:00.000"},
                 {L"31.02.2024", nullptr},
                 {L"29.02.2023", nullptr},
                 {L"05/03/2024", nullptr},
                 {L"05.13.2024", nullptr},
                 {L"00.03.2024", nullptr},
                 {L"05..2024", nullptr},
                 {L"05.03.2024x", nullptr},
                 {L"05.03.10000", nullptr},
                 {L"05.03.2024 14:00", nullptr},
                 {L"", nullptr},
                 {L"abc", nullptr},
             });
  CheckParse(TryStrToDate, En, {{L"03/05/2024", L"2024-03-05 00:00:00.000"}, {L"13/05/2024", nullptr}});
  CheckParse(TryStrToDate, FixedSettings(), {{L"2024-01-31", L"2024-01-31 00:00:00.000"}, {L"31-01-2024", nullptr}});
}

TEST(StrToDate, WithoutAYearTakesTheCurrentOne) {
  TDateTime V;
  ASSERT_TRUE(TryStrToDate(L"05.03", V, Tr));
  EXPECT_EQ(double(V), double(EncodeDate(CurrentYear(), 3, 5)));
  ASSERT_TRUE(TryStrToDate(L"03/05", V, En));
  EXPECT_EQ(double(V), double(EncodeDate(CurrentYear(), 3, 5)));
}

TEST(StrToDate, TwoDigitYearsFollowTheCenturyWindow) {
  TFormatSettings F = Tr;
  Word Base = Word(CurrentYear() - F.TwoDigitYearCenturyWindow);
  for (Word YY : {Word(0), Word(Base % 100), Word((Base + 99) % 100), Word(50), Word(99)}) {
    TDateTime V;
    String Text = L"01.01." + String(YY < 10 ? L"0" : L"") + std::to_wstring(YY);
    ASSERT_TRUE(TryStrToDate(Text, V, F)) << YY;
    Word Y = YearOfDate(V);
    EXPECT_EQ(Y % 100, YY);
    EXPECT_GE(Y, Base) << YY;
    EXPECT_LT(Y, Base + 100) << YY;
  }
  F.TwoDigitYearCenturyWindow = 0;  // no window: the current century
  TDateTime V;
  ASSERT_TRUE(TryStrToDate(L"01.01.05", V, F));
  EXPECT_EQ(YearOfDate(V), CurrentYear() / 100 * 100 + 5);
}

TEST(StrToTime, ReadsHoursMinutesSecondsAndMarkers) {
  CheckParse(TryStrToTime, En,
             {
                 {L"14:07:09", L"1899-12-30 14:07:09.000"},
                 {L"14:07", L"1899-12-30 14:07:00.000"},
                 {L"14", L"1899-12-30 14:00:00.000"},
                 {L" 9:5 ", L"1899-12-30 09:05:00.000"},
                 {L"14:07:09.123", L"1899-12-30 14:07:09.123"},
                 {L"14:07:09.5", L"1899-12-30 14:07:09.500"},
                 {L"2:07 PM", L"1899-12-30 14:07:00.000"},
                 {L"2:07 pm", L"1899-12-30 14:07:00.000"},
                 {L"PM 2:07", L"1899-12-30 14:07:00.000"},
                 {L"12:00 AM", L"1899-12-30 00:00:00.000"},
                 {L"12:00 PM", L"1899-12-30 12:00:00.000"},
                 {L"24:00", nullptr},
                 {L"13:00 PM", nullptr},
                 {L"0:30 AM", nullptr},
                 {L"14:60", nullptr},
                 {L"14:07:", nullptr},
                 {L"14:07:09 x", nullptr},
                 {L"14.07", nullptr},
                 {L"", nullptr},
             });
  CheckParse(TryStrToTime, Tr,
             {
                 {L"ÖS 2:07", L"1899-12-30 14:07:00.000"},
                 {L"2:07 ös", L"1899-12-30 14:07:00.000"},
                 {L"2:07 PM", L"1899-12-30 14:07:00.000"},
                 {L"14:07:09,25", L"1899-12-30 14:07:09.250"},
                 {L"14:07:09.25", nullptr},
             });
}

TEST(StrToDateTime, ReadsADateATimeOrBoth) {
  CheckParse(TryStrToDateTime, Tr,
             {
                 {L"05.03.2024 14:07:09", L"2024-03-05 14:07:09.000"},
                 {L"05.03.2024   14:07", L"2024-03-05 14:07:00.000"},
                 {L"05.03.2024", L"2024-03-05 00:00:00.000"},
                 {L"14:07", L"1899-12-30 14:07:00.000"},
                 {L"29.12.1899 06:00", L"1899-12-29 06:00:00.000"},
                 {L"05.03.2024 2:07 ÖS", L"2024-03-05 14:07:00.000"},
                 {L"05.03.2024 25:00", nullptr},
                 {L"05.03.2024 14:07 x", nullptr},
                 {L"31.02.2024 14:07", nullptr},
                 {L"x", nullptr},
             });
  TDateTime V;
  ASSERT_TRUE(TryStrToDateTime(L"29.12.1899 06:00", V, Tr));
  EXPECT_EQ(double(V), -1.25);
}

TEST(StrToDateTime, RoundTripsWithDateTimeToStr) {
  const TDateTime Values[] = {At(2024, 3, 5, 14, 7, 9), At(2024, 3, 5), At(1999, 12, 31, 23, 59, 59), At(1899, 12, 29, 6),
                              At(1, 1, 1, 0, 0, 1), At(9999, 12, 31, 23, 59, 59)};
  for (const TFormatSettings& F : {En, Tr, FixedSettings()})
    for (TDateTime V : Values) {
      String S = DateTimeToStr(V, F);
      EXPECT_EQ(double(StrToDateTime(S, F)), double(V)) << UTF8Encode(S);
      EXPECT_EQ(double(StrToDate(DateToStr(V, F), F)), std::trunc(double(V))) << UTF8Encode(S);
    }
}

TEST(StrToDateTime, FailuresRaiseOrFallBackToTheDefault) {
  const std::pair<TDateTime (*)(const String&, const TFormatSettings&), const wchar_t*> Raising[] = {
      {StrToDate, L"'31.02.2024' is not a valid date"},
      {StrToTime, L"'31.02.2024' is not a valid time"},
      {StrToDateTime, L"'31.02.2024' is not a valid date and time"},
  };
  for (auto [Parse, Message] : Raising) {
    try {
      Parse(L"31.02.2024", Tr);
      ADD_FAILURE() << "no error";
    } catch (const EConvertError& E) {
      EXPECT_EQ(E.Message(), Message);
    }
  }
  EXPECT_EQ(double(StrToDateDef(L"31.02.2024", 7.5, Tr)), 7.5);
  EXPECT_EQ(double(StrToTimeDef(L"25:00", 0.5, Tr)), 0.5);
  EXPECT_EQ(double(StrToDateTimeDef(L"", -2, Tr)), -2.0);
  EXPECT_EQ(double(StrToDateDef(L"05.03.2024", 7.5, Tr)), 45356.0);
}

TEST(StrToDateTime, RoundTripsUnderTheSystemsLocales) {
  const TDateTime Values[] = {At(2024, 3, 5, 14, 7, 9), At(2024, 3, 5, 0, 30), At(2024, 12, 31), At(1899, 12, 29, 18)};
  for (const wchar_t* Locale : {L"tr-TR", L"en-US", L"de-DE", L"ja-JP", L"hu-HU"}) {
    TFormatSettings F = TFormatSettings::Create(String(Locale));
    for (TDateTime V : Values) {
      String S = DateTimeToStr(V, F);
      TDateTime Back;
      EXPECT_TRUE(TryStrToDateTime(S, Back, F)) << UTF8Encode(Locale) << " " << UTF8Encode(S);
      EXPECT_EQ(Stamp(Back), Stamp(V)) << UTF8Encode(Locale) << " " << UTF8Encode(S);
    }
  }
  EXPECT_EQ(DateTimeToStr(At(2024, 3, 5, 14, 7, 9), TFormatSettings::Create(String(L"tr-TR"))), L"05.03.2024 14:07:09");
}

// The forms without settings read the program-wide FormatSettings.
TEST(FormatDateTime, PlainFormsFollowTheGlobalSettings) {
  const TFormatSettings Saved = FormatSettings;
  FormatSettings = Tr;
  const TDateTime V = At(2024, 3, 5, 14, 7, 9);
  EXPECT_EQ(FormatDateTime(L"dddd yyyy/mm/dd", V), L"Salı 2024.03.05");
  EXPECT_EQ(DateTimeToStr(V), L"05.03.2024 14:07:09");
  EXPECT_EQ(DateToStr(V), L"05.03.2024");
  EXPECT_EQ(TimeToStr(V), L"14:07:09");
  String S;
  DateTimeToString(S, L"mmmm", V);
  EXPECT_EQ(S, L"Mart");
  EXPECT_EQ(double(StrToDateTime(L"05.03.2024 14:07:09")), double(V));
  EXPECT_EQ(double(StrToDate(L"05.03.2024")), 45356.0);
  EXPECT_EQ(Stamp(StrToTime(L"2:07 ÖS")), L"1899-12-30 14:07:00.000");
  TDateTime R;
  EXPECT_TRUE(TryStrToDate(L"5.3.2024", R));
  EXPECT_FALSE(TryStrToTime(L"25:00", R));
  EXPECT_TRUE(TryStrToDateTime(L"05.03.2024 14:07", R));
  EXPECT_EQ(double(StrToDateDef(L"03/05/2024", 1, Tr)), 1.0);
  EXPECT_EQ(double(StrToDateDef(L"03/05/2024", 1)), 1.0);
  EXPECT_EQ(double(StrToTimeDef(L"x", 0.5)), 0.5);
  EXPECT_EQ(double(StrToDateTimeDef(L"x", 2)), 2.0);
  FormatSettings = Saved;
}

}  // namespace
