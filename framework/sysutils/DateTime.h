#pragma once
// Dates and times: encoding and decoding of TDateTime, the clock, month arithmetic, and the
// conversions to and from text. A TDateTime counts days from 1899-12-30; before that day the
// whole part is negative while the fraction still counts forward from midnight, so -1.25 is
// 1899-12-29 06:00.

#include "framework/sysutils/FormatSettings.h"

struct _SYSTEMTIME;

constexpr Integer HoursPerDay = 24;
constexpr Integer MinsPerHour = 60;
constexpr Integer SecsPerMin = 60;
constexpr Integer MSecsPerSec = 1000;
constexpr Integer MinsPerDay = HoursPerDay * MinsPerHour;
constexpr Integer SecsPerHour = SecsPerMin * MinsPerHour;
constexpr Integer SecsPerDay = MinsPerDay * SecsPerMin;
constexpr Integer MSecsPerDay = SecsPerDay * MSecsPerSec;
// Days from 0001-01-01 (day 1 of a time stamp) to 1899-12-30, and from there to 1970-01-01.
constexpr Integer DateDelta = 693594;
constexpr Integer UnixDateDelta = 25569;
// 0100-01-01 00:00 and 9999-12-31 23:59:59.999.
constexpr double MinDateTime = -657434.0;
constexpr double MaxDateTime = 2958465.99999999;

// A moment as whole days since 0001-01-01 (that day is 1) and milliseconds since midnight.
struct TTimeStamp {
  Integer Time = 0;
  Integer Date = 0;
};

// Days of each month, indexed [IsLeapYear(Year)][Month] with Month 1..12 (index 0 unused).
extern const Word MonthDays[2][13];

bool IsLeapYear(Word Year);

// Raise EConvertError on values out of range; the Try forms answer false instead.
TDateTime EncodeDate(Word Year, Word Month, Word Day);
TDateTime EncodeTime(Word Hour, Word Min, Word Sec, Word MSec);
bool TryEncodeDate(Word Year, Word Month, Word Day, TDateTime& Date);
bool TryEncodeTime(Word Hour, Word Min, Word Sec, Word MSec, TDateTime& Time);
void DecodeDate(TDateTime Date, Word& Year, Word& Month, Word& Day);
void DecodeTime(TDateTime Time, Word& Hour, Word& Min, Word& Sec, Word& MSec);
// Also gives the day of the week (Sunday = 1); answers whether the year is a leap year.
bool DecodeDateFully(TDateTime Date, Word& Year, Word& Month, Word& Day, Word& DOW);

TTimeStamp DateTimeToTimeStamp(TDateTime DateTime);
TDateTime TimeStampToDateTime(const TTimeStamp& TimeStamp);
TTimeStamp MSecsToTimeStamp(Int64 MSecs);
Int64 TimeStampToMSecs(const TTimeStamp& TimeStamp);

void DateTimeToSystemTime(TDateTime DateTime, _SYSTEMTIME& SystemTime);
TDateTime SystemTimeToDateTime(const _SYSTEMTIME& SystemTime);

// The local clock.
TDateTime Now();
TDateTime Date();
TDateTime Time();
inline TDateTime GetTime() { return Time(); }
Word CurrentYear();

// Sunday = 1 .. Saturday = 7.
Integer DayOfWeek(TDateTime DateTime);

// Adds months keeping the time of day; a day past the new month's end becomes its last day.
TDateTime IncMonth(TDateTime DateTime, Integer NumberOfMonths = 1);
void IncAMonth(Word& Year, Word& Month, Word& Day, Integer NumberOfMonths = 1);

// Replace one half of DateTime, keeping the sign convention of dates before 1899-12-30.
void ReplaceTime(TDateTime& DateTime, TDateTime NewTime);
void ReplaceDate(TDateTime& DateTime, TDateTime NewDate);

// ---- Text ------------------------------------------------------------------------------------

// Format specifiers (case does not matter): c d dd ddd dddd ddddd dddddd e ee g gg m mm mmm mmmm
// yy yyyy h hh n nn s ss z zzz t tt am/pm a/p ampm / : and "quoted" or 'quoted' text. An m
// right after an h means minutes. An empty format is "c".
String FormatDateTime(const String& Format, TDateTime DateTime, const TFormatSettings& Settings);
void DateTimeToString(String& Result, const String& Format, TDateTime DateTime, const TFormatSettings& Settings);
String DateToStr(TDateTime Date, const TFormatSettings& Settings);
String TimeToStr(TDateTime Time, const TFormatSettings& Settings);
// Short date and long time; the time is left out at exactly midnight.
String DateTimeToStr(TDateTime DateTime, const TFormatSettings& Settings);

// Parse by the order of day, month and year in ShortDateFormat and by the date, time and decimal
// separators; a two-digit year is placed by TwoDigitYearCenturyWindow, a date without a year
// falls in the current year, and an AM or PM marker may come before or after the time.
TDateTime StrToDate(const String& S, const TFormatSettings& Settings);
TDateTime StrToTime(const String& S, const TFormatSettings& Settings);
TDateTime StrToDateTime(const String& S, const TFormatSettings& Settings);
bool TryStrToDate(const String& S, TDateTime& Value, const TFormatSettings& Settings);
bool TryStrToTime(const String& S, TDateTime& Value, const TFormatSettings& Settings);
bool TryStrToDateTime(const String& S, TDateTime& Value, const TFormatSettings& Settings);
TDateTime StrToDateDef(const String& S, TDateTime Default, const TFormatSettings& Settings);
TDateTime StrToTimeDef(const String& S, TDateTime Default, const TFormatSettings& Settings);
TDateTime StrToDateTimeDef(const String& S, TDateTime Default, const TFormatSettings& Settings);

// The same with the global FormatSettings.
inline String FormatDateTime(const String& Format, TDateTime DateTime) {
  return FormatDateTime(Format, DateTime, FormatSettings);
}
inline void DateTimeToString(String& Result, const String& Format, TDateTime DateTime) {
  DateTimeToString(Result, Format, DateTime, FormatSettings);
}
inline String DateToStr(TDateTime Date) { return DateToStr(Date, FormatSettings); }
inline String TimeToStr(TDateTime Time) { return TimeToStr(Time, FormatSettings); }
inline String DateTimeToStr(TDateTime DateTime) { return DateTimeToStr(DateTime, FormatSettings); }
inline TDateTime StrToDate(const String& S) { return StrToDate(S, FormatSettings); }
inline TDateTime StrToTime(const String& S) { return StrToTime(S, FormatSettings); }
inline TDateTime StrToDateTime(const String& S) { return StrToDateTime(S, FormatSettings); }
inline bool TryStrToDate(const String& S, TDateTime& Value) { return TryStrToDate(S, Value, FormatSettings); }
inline bool TryStrToTime(const String& S, TDateTime& Value) { return TryStrToTime(S, Value, FormatSettings); }
inline bool TryStrToDateTime(const String& S, TDateTime& Value) { return TryStrToDateTime(S, Value, FormatSettings); }
inline TDateTime StrToDateDef(const String& S, TDateTime Default) { return StrToDateDef(S, Default, FormatSettings); }
inline TDateTime StrToTimeDef(const String& S, TDateTime Default) { return StrToTimeDef(S, Default, FormatSettings); }
inline TDateTime StrToDateTimeDef(const String& S, TDateTime Default) {
  return StrToDateTimeDef(S, Default, FormatSettings);
}
