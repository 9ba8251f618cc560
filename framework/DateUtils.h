#pragma once
// DateUtils: parts of a date-time, ISO 8601 weeks (Monday = 1), boundaries of days, weeks,
// months and years, adding and measuring intervals, comparison to the millisecond, recoding
// single fields, and Unix time.

#include "framework/sysutils/DateTime.h"
#include "framework/Math.h"

constexpr Word DayMonday = 1;
constexpr Word DayTuesday = 2;
constexpr Word DayWednesday = 3;
constexpr Word DayThursday = 4;
constexpr Word DayFriday = 5;
constexpr Word DaySaturday = 6;
constexpr Word DaySunday = 7;

constexpr double OneHour = 1.0 / HoursPerDay;
constexpr double OneMinute = 1.0 / MinsPerDay;
constexpr double OneSecond = 1.0 / SecsPerDay;
constexpr double OneMillisecond = 1.0 / MSecsPerDay;
constexpr Integer DaysPerWeek = 7;
constexpr Integer MonthsPerYear = 12;
// Used where months and years are measured as lengths of time.
constexpr double ApproxDaysPerMonth = 30.4375;
constexpr double ApproxDaysPerYear = 365.25;
// Passed to the Recode routines for a field that keeps its value.
constexpr Word RecodeLeaveFieldAsIs = 0xFFFF;

// ---- Parts ------------------------------------------------------------------------------------

TDateTime DateOf(TDateTime AValue);
TDateTime TimeOf(TDateTime AValue);
Word YearOf(TDateTime AValue);
Word MonthOf(TDateTime AValue);
Word DayOf(TDateTime AValue);
Word HourOf(TDateTime AValue);
Word MinuteOf(TDateTime AValue);
Word SecondOf(TDateTime AValue);
Word MilliSecondOf(TDateTime AValue);
// Monday = 1 .. Sunday = 7.
Word DayOfTheWeek(TDateTime AValue);
Word DayOfTheYear(TDateTime AValue);
// The ISO 8601 week: week 1 holds the year's first Thursday, so early January may belong to
// the last week of the year before and late December to week 1 of the next; AYear tells which.
Word WeekOfTheYear(TDateTime AValue);
Word WeekOfTheYear(TDateTime AValue, Word& AYear);

Word WeeksInYear(TDateTime AValue);
Word WeeksInAYear(Word AYear);
Word DaysInYear(TDateTime AValue);
Word DaysInAYear(Word AYear);
Word DaysInMonth(TDateTime AValue);
Word DaysInAMonth(Word AYear, Word AMonth);

bool IsValidDate(Word AYear, Word AMonth, Word ADay);
bool IsValidTime(Word AHour, Word AMinute, Word ASecond, Word AMilliSecond);
bool IsValidDateTime(Word AYear, Word AMonth, Word ADay, Word AHour, Word AMinute, Word ASecond, Word AMilliSecond);

// ---- Today ------------------------------------------------------------------------------------

TDateTime Today();
TDateTime Yesterday();
TDateTime Tomorrow();
bool IsSameDay(TDateTime AValue, TDateTime ABasis);

// ---- Boundaries -------------------------------------------------------------------------------

TDateTime StartOfTheDay(TDateTime AValue);
TDateTime EndOfTheDay(TDateTime AValue);  // 23:59:59.999
TDateTime StartOfTheWeek(TDateTime AValue);  // Monday
TDateTime EndOfTheWeek(TDateTime AValue);  // Sunday 23:59:59.999
TDateTime StartOfTheMonth(TDateTime AValue);
TDateTime EndOfTheMonth(TDateTime AValue);
TDateTime StartOfTheYear(TDateTime AValue);
TDateTime EndOfTheYear(TDateTime AValue);
TDateTime StartOfAMonth(Word AYear, Word AMonth);
TDateTime EndOfAMonth(Word AYear, Word AMonth);
TDateTime StartOfAYear(Word AYear);
TDateTime EndOfAYear(Word AYear);

// ---- Encoding ---------------------------------------------------------------------------------

TDateTime EncodeDateTime(Word AYear, Word AMonth, Word ADay, Word AHour, Word AMinute, Word ASecond,
                         Word AMilliSecond);
bool TryEncodeDateTime(Word AYear, Word AMonth, Word ADay, Word AHour, Word AMinute, Word ASecond,
                       Word AMilliSecond, TDateTime& AValue);
void DecodeDateTime(TDateTime AValue, Word& AYear, Word& AMonth, Word& ADay, Word& AHour, Word& AMinute,
                    Word& ASecond, Word& AMilliSecond);
// ISO 8601 year, week and day of the week (Monday = 1).
TDateTime EncodeDateWeek(Word AYear, Word AWeekOfYear, Word ADayOfWeek = DayMonday);
bool TryEncodeDateWeek(Word AYear, Word AWeekOfYear, TDateTime& AValue, Word ADayOfWeek = DayMonday);
void DecodeDateWeek(TDateTime AValue, Word& AYear, Word& AWeekOfYear, Word& ADayOfWeek);

// Replace single fields; a field given as RecodeLeaveFieldAsIs keeps its value. Nothing carries
// into the next field: a result that is not a valid date and time raises EConvertError.
TDateTime RecodeYear(TDateTime AValue, Word AYear);
TDateTime RecodeMonth(TDateTime AValue, Word AMonth);
TDateTime RecodeDay(TDateTime AValue, Word ADay);
TDateTime RecodeHour(TDateTime AValue, Word AHour);
TDateTime RecodeMinute(TDateTime AValue, Word AMinute);
TDateTime RecodeSecond(TDateTime AValue, Word ASecond);
TDateTime RecodeMilliSecond(TDateTime AValue, Word AMilliSecond);
TDateTime RecodeDate(TDateTime AValue, Word AYear, Word AMonth, Word ADay);
TDateTime RecodeTime(TDateTime AValue, Word AHour, Word AMinute, Word ASecond, Word AMilliSecond);
TDateTime RecodeDateTime(TDateTime AValue, Word AYear, Word AMonth, Word ADay, Word AHour, Word AMinute,
                         Word ASecond, Word AMilliSecond);
bool TryRecodeDateTime(TDateTime AValue, Word AYear, Word AMonth, Word ADay, Word AHour, Word AMinute,
                       Word ASecond, Word AMilliSecond, TDateTime& AResult);

// ---- Arithmetic -------------------------------------------------------------------------------

// Add to the moment itself, crossing midnight and the dates before 1899-12-30 correctly.
TDateTime IncYear(TDateTime AValue, Integer ANumberOfYears = 1);
TDateTime IncWeek(TDateTime AValue, Integer ANumberOfWeeks = 1);
TDateTime IncDay(TDateTime AValue, Integer ANumberOfDays = 1);
TDateTime IncHour(TDateTime AValue, Int64 ANumberOfHours = 1);
TDateTime IncMinute(TDateTime AValue, Int64 ANumberOfMinutes = 1);
TDateTime IncSecond(TDateTime AValue, Int64 ANumberOfSeconds = 1);
TDateTime IncMilliSecond(TDateTime AValue, Int64 ANumberOfMilliSeconds = 1);

// Whole units between two moments, never negative, measured on values rounded to the
// millisecond so that one second apart is exactly one second. Months and years are counted
// as ApproxDaysPerMonth and ApproxDaysPerYear days.
Integer YearsBetween(TDateTime ANow, TDateTime AThen);
Integer MonthsBetween(TDateTime ANow, TDateTime AThen);
Integer WeeksBetween(TDateTime ANow, TDateTime AThen);
Integer DaysBetween(TDateTime ANow, TDateTime AThen);
Int64 HoursBetween(TDateTime ANow, TDateTime AThen);
Int64 MinutesBetween(TDateTime ANow, TDateTime AThen);
Int64 SecondsBetween(TDateTime ANow, TDateTime AThen);
Int64 MilliSecondsBetween(TDateTime ANow, TDateTime AThen);
// The same with the fraction.
double YearSpan(TDateTime ANow, TDateTime AThen);
double MonthSpan(TDateTime ANow, TDateTime AThen);
double WeekSpan(TDateTime ANow, TDateTime AThen);
double DaySpan(TDateTime ANow, TDateTime AThen);
double HourSpan(TDateTime ANow, TDateTime AThen);
double MinuteSpan(TDateTime ANow, TDateTime AThen);
double SecondSpan(TDateTime ANow, TDateTime AThen);
double MilliSecondSpan(TDateTime ANow, TDateTime AThen);

// ---- Comparison -------------------------------------------------------------------------------

// To the millisecond; CompareDate looks at the day only and CompareTime at the time of day only.
TValueRelationship CompareDateTime(TDateTime A, TDateTime B);
TValueRelationship CompareDate(TDateTime A, TDateTime B);
TValueRelationship CompareTime(TDateTime A, TDateTime B);
bool SameDateTime(TDateTime A, TDateTime B);
bool SameDate(TDateTime A, TDateTime B);
bool SameTime(TDateTime A, TDateTime B);

// ---- Universal time ---------------------------------------------------------------------------

// Seconds since 1970-01-01 00:00 UTC; a local value is converted by the system's time zone.
Int64 DateTimeToUnix(TDateTime AValue, bool AInputIsUTC = true);
TDateTime UnixToDateTime(Int64 AValue, bool AReturnUTC = true);

// "2024-03-05T14:07:09.045Z", or with the local offset ("+03:00") for a local value.
String DateToISO8601(TDateTime ADate, bool AInputIsUTC = true);
// Reads the extended or basic form (2024-03-05T14:07:09.045+03:00, 20240305T140709Z), the date
// alone, and a time down to minutes; a text without a zone is taken as UTC.
TDateTime ISO8601ToDate(const String& AISODate, bool AReturnUTC = true);
bool TryISO8601ToDate(const String& AISODate, TDateTime& AValue, bool AReturnUTC = true);
