#include "framework/DateUtils.h"

#include <cmath>

#include "framework/WinApi.h"

namespace {

Int64 ToMSecs(TDateTime Value) { return TimeStampToMSecs(DateTimeToTimeStamp(Value)); }

TDateTime FromMSecs(Int64 MSecs) { return TimeStampToDateTime(MSecsToTimeStamp(MSecs)); }

Int64 MSecsApart(TDateTime A, TDateTime B) {
  Int64 D = ToMSecs(A) - ToMSecs(B);
  return D < 0 ? -D : D;
}

TValueRelationship Compare(Int64 A, Int64 B) {
  return A < B ? LessThanValue : A > B ? GreaterThanValue : EqualsValue;
}

Integer FloorDiv(Integer A, Integer B) { return A / B - (A % B != 0 && (A < 0) != (B < 0)); }

// Time stamp day number (0001-01-01 is 1) of 1 January; also for the years just out of range
// that ISO weeks step into.
Integer Jan1DayNumber(Integer Year) {
  Integer I = Year - 1;
  return I * 365 + FloorDiv(I, 4) - FloorDiv(I, 100) + FloorDiv(I, 400) + 1;
}

// Monday = 1 of a time stamp day number; 0001-01-01 was a Monday.
Integer IsoDayOfWeek(Integer DayNumber) { return ((DayNumber - 1) % 7 + 7) % 7 + 1; }

bool IsLeap(Integer Year) { return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0); }

Integer IsoWeeksInYear(Integer Year) {
  Integer Jan1 = IsoDayOfWeek(Jan1DayNumber(Year));
  return Jan1 == DayThursday || (Jan1 == DayWednesday && IsLeap(Year)) ? 53 : 52;
}

// Monday of ISO week 1: the week that holds 4 January.
Integer IsoWeekOneMonday(Integer Year) {
  Integer Jan4 = Jan1DayNumber(Year) + 3;
  return Jan4 - (IsoDayOfWeek(Jan4) - 1);
}

// Days as one continuous count (time of day always forward), so that adding days also works
// across 1899-12-30, where the stored sign convention changes.
double ToLinearDays(double Value) {
  double Days = std::trunc(Value);
  return Days + std::fabs(Value - Days);
}

TDateTime FromLinearDays(double Linear) {
  double Days = std::floor(Linear);
  TDateTime R = Days;
  ReplaceTime(R, Linear - Days);
  return R;
}

String FieldText(Word Value, Integer Digits) {
  if (Value == RecodeLeaveFieldAsIs) return L"?";
  String S = std::to_wstring(Value);
  if (Length(S) < Digits) S.insert(0, Digits - Length(S), L'0');
  return S;
}

[[noreturn]] void InvalidDateTimeError(Word Year, Word Month, Word Day, Word Hour, Word Minute, Word Second,
                                       Word MilliSecond) {
  throw EConvertError(L"'" + FieldText(Year, 4) + L"-" + FieldText(Month, 2) + L"-" + FieldText(Day, 2) + L" " +
                      FieldText(Hour, 2) + L":" + FieldText(Minute, 2) + L":" + FieldText(Second, 2) + L"." +
                      FieldText(MilliSecond, 3) + L"' is not a valid date and time");
}

TDateTime RecodeOrRaise(TDateTime AValue, Word Y, Word M, Word D, Word H, Word N, Word S, Word MS) {
  TDateTime R;
  if (!TryRecodeDateTime(AValue, Y, M, D, H, N, S, MS, R)) InvalidDateTimeError(Y, M, D, H, N, S, MS);
  return R;
}

}  // namespace

// ---- Parts ------------------------------------------------------------------------------------

TDateTime DateOf(TDateTime AValue) { return std::trunc(AValue.Val); }

TDateTime TimeOf(TDateTime AValue) { return std::fabs(AValue.Val - std::trunc(AValue.Val)); }

Word YearOf(TDateTime AValue) {
  Word Y, M, D;
  DecodeDate(AValue, Y, M, D);
  return Y;
}

Word MonthOf(TDateTime AValue) {
  Word Y, M, D;
  DecodeDate(AValue, Y, M, D);
  return M;
}

Word DayOf(TDateTime AValue) {
  Word Y, M, D;
  DecodeDate(AValue, Y, M, D);
  return D;
}

Word HourOf(TDateTime AValue) {
  Word H, N, S, MS;
  DecodeTime(AValue, H, N, S, MS);
  return H;
}

Word MinuteOf(TDateTime AValue) {
  Word H, N, S, MS;
  DecodeTime(AValue, H, N, S, MS);
  return N;
}

Word SecondOf(TDateTime AValue) {
  Word H, N, S, MS;
  DecodeTime(AValue, H, N, S, MS);
  return S;
}

Word MilliSecondOf(TDateTime AValue) {
  Word H, N, S, MS;
  DecodeTime(AValue, H, N, S, MS);
  return MS;
}

Word DayOfTheWeek(TDateTime AValue) { return Word(IsoDayOfWeek(DateTimeToTimeStamp(AValue).Date)); }

Word DayOfTheYear(TDateTime AValue) {
  Word Y, M, D;
  DecodeDate(AValue, Y, M, D);
  return Word(DateTimeToTimeStamp(AValue).Date - Jan1DayNumber(Y) + 1);
}

void DecodeDateWeek(TDateTime AValue, Word& AYear, Word& AWeekOfYear, Word& ADayOfWeek) {
  Integer Day = DateTimeToTimeStamp(AValue).Date;
  Word Y, M, D;
  DecodeDate(AValue, Y, M, D);
  Integer Year = Y;
  if (Day >= IsoWeekOneMonday(Year + 1))
    ++Year;
  else if (Day < IsoWeekOneMonday(Year))
    --Year;
  AYear = Word(Year);
  AWeekOfYear = Word((Day - IsoWeekOneMonday(Year)) / 7 + 1);
  ADayOfWeek = Word(IsoDayOfWeek(Day));
}

Word WeekOfTheYear(TDateTime AValue, Word& AYear) {
  Word Week, DOW;
  DecodeDateWeek(AValue, AYear, Week, DOW);
  return Week;
}

Word WeekOfTheYear(TDateTime AValue) {
  Word Year;
  return WeekOfTheYear(AValue, Year);
}

Word WeeksInYear(TDateTime AValue) { return WeeksInAYear(YearOf(AValue)); }

Word WeeksInAYear(Word AYear) { return Word(IsoWeeksInYear(AYear)); }

Word DaysInYear(TDateTime AValue) { return DaysInAYear(YearOf(AValue)); }

Word DaysInAYear(Word AYear) { return IsLeapYear(AYear) ? 366 : 365; }

Word DaysInMonth(TDateTime AValue) {
  Word Y, M, D;
  DecodeDate(AValue, Y, M, D);
  return DaysInAMonth(Y, M);
}

Word DaysInAMonth(Word AYear, Word AMonth) { return AMonth >= 1 && AMonth <= 12 ? MonthDays[IsLeapYear(AYear)][AMonth] : 0; }

bool IsValidDate(Word AYear, Word AMonth, Word ADay) {
  return AYear >= 1 && AYear <= 9999 && AMonth >= 1 && AMonth <= 12 && ADay >= 1 && ADay <= DaysInAMonth(AYear, AMonth);
}

bool IsValidTime(Word AHour, Word AMinute, Word ASecond, Word AMilliSecond) {
  return AHour < HoursPerDay && AMinute < MinsPerHour && ASecond < SecsPerMin && AMilliSecond < MSecsPerSec;
}

bool IsValidDateTime(Word AYear, Word AMonth, Word ADay, Word AHour, Word AMinute, Word ASecond, Word AMilliSecond) {
  return IsValidDate(AYear, AMonth, ADay) && IsValidTime(AHour, AMinute, ASecond, AMilliSecond);
}

// ---- Today ------------------------------------------------------------------------------------

TDateTime Today() { return Date(); }

TDateTime Yesterday() { return Date() - 1; }

TDateTime Tomorrow() { return Date() + 1; }

bool IsSameDay(TDateTime AValue, TDateTime ABasis) { return SameDate(AValue, ABasis); }

// ---- Boundaries -------------------------------------------------------------------------------

TDateTime StartOfTheDay(TDateTime AValue) { return DateOf(AValue); }

TDateTime EndOfTheDay(TDateTime AValue) {
  TDateTime R = DateOf(AValue);
  ReplaceTime(R, EncodeTime(23, 59, 59, 999));
  return R;
}

TDateTime StartOfTheWeek(TDateTime AValue) {
  TDateTime Day = DateOf(AValue);
  return Day - (DayOfTheWeek(Day) - 1);
}

TDateTime EndOfTheWeek(TDateTime AValue) { return EndOfTheDay(StartOfTheWeek(AValue) + 6); }

TDateTime StartOfTheMonth(TDateTime AValue) {
  Word Y, M, D;
  DecodeDate(AValue, Y, M, D);
  return StartOfAMonth(Y, M);
}

TDateTime EndOfTheMonth(TDateTime AValue) {
  Word Y, M, D;
  DecodeDate(AValue, Y, M, D);
  return EndOfAMonth(Y, M);
}

TDateTime StartOfTheYear(TDateTime AValue) { return StartOfAYear(YearOf(AValue)); }

TDateTime EndOfTheYear(TDateTime AValue) { return EndOfAYear(YearOf(AValue)); }

TDateTime StartOfAMonth(Word AYear, Word AMonth) { return EncodeDate(AYear, AMonth, 1); }

TDateTime EndOfAMonth(Word AYear, Word AMonth) { return EndOfTheDay(EncodeDate(AYear, AMonth, DaysInAMonth(AYear, AMonth))); }

TDateTime StartOfAYear(Word AYear) { return EncodeDate(AYear, 1, 1); }

TDateTime EndOfAYear(Word AYear) { return EndOfTheDay(EncodeDate(AYear, 12, 31)); }

// ---- Encoding ---------------------------------------------------------------------------------

bool TryEncodeDateTime(Word AYear, Word AMonth, Word ADay, Word AHour, Word AMinute, Word ASecond,
                       Word AMilliSecond, TDateTime& AValue) {
  TDateTime D, T;
  if (!TryEncodeDate(AYear, AMonth, ADay, D) || !TryEncodeTime(AHour, AMinute, ASecond, AMilliSecond, T)) return false;
  ReplaceTime(D, T);
  AValue = D;
  return true;
}

TDateTime EncodeDateTime(Word AYear, Word AMonth, Word ADay, Word AHour, Word AMinute, Word ASecond,
                         Word AMilliSecond) {
  TDateTime R;
  if (!TryEncodeDateTime(AYear, AMonth, ADay, AHour, AMinute, ASecond, AMilliSecond, R))
    InvalidDateTimeError(AYear, AMonth, ADay, AHour, AMinute, ASecond, AMilliSecond);
  return R;
}

void DecodeDateTime(TDateTime AValue, Word& AYear, Word& AMonth, Word& ADay, Word& AHour, Word& AMinute,
                    Word& ASecond, Word& AMilliSecond) {
  DecodeDate(AValue, AYear, AMonth, ADay);
  DecodeTime(AValue, AHour, AMinute, ASecond, AMilliSecond);
}

bool TryEncodeDateWeek(Word AYear, Word AWeekOfYear, TDateTime& AValue, Word ADayOfWeek) {
  if (AYear < 1 || AYear > 9999 || AWeekOfYear < 1 || AWeekOfYear > IsoWeeksInYear(AYear) || ADayOfWeek < DayMonday ||
      ADayOfWeek > DaySunday)
    return false;
  Integer Day = IsoWeekOneMonday(AYear) + (AWeekOfYear - 1) * 7 + (ADayOfWeek - 1);
  if (Day < 1 || Day >= Jan1DayNumber(10000)) return false;
  AValue = double(Day - DateDelta);
  return true;
}

TDateTime EncodeDateWeek(Word AYear, Word AWeekOfYear, Word ADayOfWeek) {
  TDateTime R;
  if (!TryEncodeDateWeek(AYear, AWeekOfYear, R, ADayOfWeek))
    throw EConvertError(L"(" + std::to_wstring(AYear) + L", " + std::to_wstring(AWeekOfYear) + L", " +
                        std::to_wstring(ADayOfWeek) + L") is not a valid DateWeek triplet");
  return R;
}

bool TryRecodeDateTime(TDateTime AValue, Word AYear, Word AMonth, Word ADay, Word AHour, Word AMinute,
                       Word ASecond, Word AMilliSecond, TDateTime& AResult) {
  Word F[7];
  DecodeDateTime(AValue, F[0], F[1], F[2], F[3], F[4], F[5], F[6]);
  const Word New[7] = {AYear, AMonth, ADay, AHour, AMinute, ASecond, AMilliSecond};
  for (int I = 0; I < 7; ++I)
    if (New[I] != RecodeLeaveFieldAsIs) F[I] = New[I];
  return TryEncodeDateTime(F[0], F[1], F[2], F[3], F[4], F[5], F[6], AResult);
}

TDateTime RecodeDateTime(TDateTime AValue, Word AYear, Word AMonth, Word ADay, Word AHour, Word AMinute,
                         Word ASecond, Word AMilliSecond) {
  return RecodeOrRaise(AValue, AYear, AMonth, ADay, AHour, AMinute, ASecond, AMilliSecond);
}

constexpr Word Keep = RecodeLeaveFieldAsIs;

TDateTime RecodeYear(TDateTime AValue, Word AYear) { return RecodeOrRaise(AValue, AYear, Keep, Keep, Keep, Keep, Keep, Keep); }

TDateTime RecodeMonth(TDateTime AValue, Word AMonth) {
  return RecodeOrRaise(AValue, Keep, AMonth, Keep, Keep, Keep, Keep, Keep);
}

TDateTime RecodeDay(TDateTime AValue, Word ADay) { return RecodeOrRaise(AValue, Keep, Keep, ADay, Keep, Keep, Keep, Keep); }

TDateTime RecodeHour(TDateTime AValue, Word AHour) { return RecodeOrRaise(AValue, Keep, Keep, Keep, AHour, Keep, Keep, Keep); }

TDateTime RecodeMinute(TDateTime AValue, Word AMinute) {
  return RecodeOrRaise(AValue, Keep, Keep, Keep, Keep, AMinute, Keep, Keep);
}

TDateTime RecodeSecond(TDateTime AValue, Word ASecond) {
  return RecodeOrRaise(AValue, Keep, Keep, Keep, Keep, Keep, ASecond, Keep);
}

TDateTime RecodeMilliSecond(TDateTime AValue, Word AMilliSecond) {
  return RecodeOrRaise(AValue, Keep, Keep, Keep, Keep, Keep, Keep, AMilliSecond);
}

TDateTime RecodeDate(TDateTime AValue, Word AYear, Word AMonth, Word ADay) {
  return RecodeOrRaise(AValue, AYear, AMonth, ADay, Keep, Keep, Keep, Keep);
}

TDateTime RecodeTime(TDateTime AValue, Word AHour, Word AMinute, Word ASecond, Word AMilliSecond) {
  return RecodeOrRaise(AValue, Keep, Keep, Keep, AHour, AMinute, ASecond, AMilliSecond);
}

// ---- Arithmetic -------------------------------------------------------------------------------

TDateTime IncYear(TDateTime AValue, Integer ANumberOfYears) { return IncMonth(AValue, ANumberOfYears * MonthsPerYear); }

TDateTime IncWeek(TDateTime AValue, Integer ANumberOfWeeks) { return IncDay(AValue, ANumberOfWeeks * DaysPerWeek); }

TDateTime IncDay(TDateTime AValue, Integer ANumberOfDays) { return FromLinearDays(ToLinearDays(AValue) + ANumberOfDays); }

TDateTime IncHour(TDateTime AValue, Int64 ANumberOfHours) {
  return FromMSecs(ToMSecs(AValue) + ANumberOfHours * SecsPerHour * MSecsPerSec);
}

TDateTime IncMinute(TDateTime AValue, Int64 ANumberOfMinutes) {
  return FromMSecs(ToMSecs(AValue) + ANumberOfMinutes * SecsPerMin * MSecsPerSec);
}

TDateTime IncSecond(TDateTime AValue, Int64 ANumberOfSeconds) {
  return FromMSecs(ToMSecs(AValue) + ANumberOfSeconds * MSecsPerSec);
}

TDateTime IncMilliSecond(TDateTime AValue, Int64 ANumberOfMilliSeconds) {
  return FromMSecs(ToMSecs(AValue) + ANumberOfMilliSeconds);
}

Int64 MilliSecondsBetween(TDateTime ANow, TDateTime AThen) { return MSecsApart(ANow, AThen); }

Int64 SecondsBetween(TDateTime ANow, TDateTime AThen) { return MSecsApart(ANow, AThen) / MSecsPerSec; }

Int64 MinutesBetween(TDateTime ANow, TDateTime AThen) { return MSecsApart(ANow, AThen) / (SecsPerMin * MSecsPerSec); }

Int64 HoursBetween(TDateTime ANow, TDateTime AThen) { return MSecsApart(ANow, AThen) / (SecsPerHour * MSecsPerSec); }

Integer DaysBetween(TDateTime ANow, TDateTime AThen) { return Integer(MSecsApart(ANow, AThen) / MSecsPerDay); }

Integer WeeksBetween(TDateTime ANow, TDateTime AThen) { return DaysBetween(ANow, AThen) / DaysPerWeek; }

Integer MonthsBetween(TDateTime ANow, TDateTime AThen) { return Integer(std::trunc(MonthSpan(ANow, AThen))); }

Integer YearsBetween(TDateTime ANow, TDateTime AThen) { return Integer(std::trunc(YearSpan(ANow, AThen))); }

double MilliSecondSpan(TDateTime ANow, TDateTime AThen) { return double(MSecsApart(ANow, AThen)); }

double SecondSpan(TDateTime ANow, TDateTime AThen) { return MilliSecondSpan(ANow, AThen) / MSecsPerSec; }

double MinuteSpan(TDateTime ANow, TDateTime AThen) { return MilliSecondSpan(ANow, AThen) / (SecsPerMin * MSecsPerSec); }

double HourSpan(TDateTime ANow, TDateTime AThen) { return MilliSecondSpan(ANow, AThen) / (SecsPerHour * MSecsPerSec); }

double DaySpan(TDateTime ANow, TDateTime AThen) { return MilliSecondSpan(ANow, AThen) / MSecsPerDay; }

double WeekSpan(TDateTime ANow, TDateTime AThen) { return DaySpan(ANow, AThen) / DaysPerWeek; }

double MonthSpan(TDateTime ANow, TDateTime AThen) { return DaySpan(ANow, AThen) / ApproxDaysPerMonth; }

double YearSpan(TDateTime ANow, TDateTime AThen) { return DaySpan(ANow, AThen) / ApproxDaysPerYear; }

// ---- Comparison -------------------------------------------------------------------------------

TValueRelationship CompareDateTime(TDateTime A, TDateTime B) { return Compare(ToMSecs(A), ToMSecs(B)); }

TValueRelationship CompareDate(TDateTime A, TDateTime B) {
  return Compare(DateTimeToTimeStamp(A).Date, DateTimeToTimeStamp(B).Date);
}

TValueRelationship CompareTime(TDateTime A, TDateTime B) {
  return Compare(DateTimeToTimeStamp(A).Time, DateTimeToTimeStamp(B).Time);
}

bool SameDateTime(TDateTime A, TDateTime B) { return CompareDateTime(A, B) == EqualsValue; }

bool SameDate(TDateTime A, TDateTime B) { return CompareDate(A, B) == EqualsValue; }

bool SameTime(TDateTime A, TDateTime B) { return CompareTime(A, B) == EqualsValue; }

// ---- Universal time ---------------------------------------------------------------------------

namespace {

TDateTime LocalToUniversal(TDateTime Local) {
  SYSTEMTIME L, U;
  DateTimeToSystemTime(Local, L);
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &L, &U)) RaiseLastOSError();
  return SystemTimeToDateTime(U);
}

TDateTime UniversalToLocal(TDateTime Universal) {
  SYSTEMTIME U, L;
  DateTimeToSystemTime(Universal, U);
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &U, &L)) RaiseLastOSError();
  return SystemTimeToDateTime(L);
}

class TIsoScanner {
 public:
  explicit TIsoScanner(const String& Text) : S(Text) {}
  bool AtEnd() const { return P >= S.size(); }
  bool NextIsDigit() const { return P < S.size() && S[P] >= L'0' && S[P] <= L'9'; }
  bool Take(Char C) {
    if (P < S.size() && S[P] == C) {
      ++P;
      return true;
    }
    return false;
  }
  bool Digits(Integer Count, Integer& Value) {
    Value = 0;
    for (Integer I = 0; I < Count; ++I) {
      if (!NextIsDigit()) return false;
      Value = Value * 10 + (S[P++] - L'0');
    }
    return true;
  }
  // Any number of digits, kept to the millisecond.
  bool Fraction(Integer& MSec) {
    Integer N = 0;
    MSec = 0;
    for (; NextIsDigit(); ++N, ++P)
      if (N < 3) MSec = MSec * 10 + (S[P] - L'0');
    for (Integer I = N; I < 3; ++I) MSec *= 10;
    return N > 0;
  }

 private:
  const String& S;
  size_t P = 0;
};

}  // namespace

Int64 DateTimeToUnix(TDateTime AValue, bool AInputIsUTC) {
  if (!AInputIsUTC) AValue = LocalToUniversal(AValue);
  Int64 MSecs = ToMSecs(AValue) - ToMSecs(UnixDateDelta);
  return MSecs >= 0 ? MSecs / MSecsPerSec : -((-MSecs + MSecsPerSec - 1) / MSecsPerSec);
}

TDateTime UnixToDateTime(Int64 AValue, bool AReturnUTC) {
  TDateTime R = IncSecond(UnixDateDelta, AValue);
  return AReturnUTC ? R : UniversalToLocal(R);
}

String DateToISO8601(TDateTime ADate, bool AInputIsUTC) {
  const TFormatSettings Fixed;  // ":" between the time's parts
  String R = FormatDateTime(L"yyyy-mm-dd'T'hh:nn:ss.zzz", ADate, Fixed);
  if (AInputIsUTC) return R + L"Z";
  Int64 Offset = (ToMSecs(ADate) - ToMSecs(LocalToUniversal(ADate))) / (SecsPerMin * MSecsPerSec);
  R += Offset < 0 ? L'-' : L'+';
  if (Offset < 0) Offset = -Offset;
  return R + FieldText(Word(Offset / 60), 2) + L":" + FieldText(Word(Offset % 60), 2);
}

bool TryISO8601ToDate(const String& AISODate, TDateTime& AValue, bool AReturnUTC) {
  TIsoScanner Scan(AISODate);
  Integer Y, Mo, D, H = 0, Mi = 0, S = 0, MS = 0, Offset = 0;
  if (!Scan.Digits(4, Y)) return false;
  bool Extended = Scan.Take(L'-');
  if (!Scan.Digits(2, Mo) || (Extended && !Scan.Take(L'-')) || !Scan.Digits(2, D)) return false;
  if (!Scan.AtEnd()) {
    if (!Scan.Take(L'T') && !Scan.Take(L't') && !Scan.Take(L' ')) return false;
    if (!Scan.Digits(2, H)) return false;
    bool TimeExtended = Scan.Take(L':');
    if (!Scan.Digits(2, Mi)) return false;
    if (TimeExtended ? Scan.Take(L':') : Scan.NextIsDigit()) {
      if (!Scan.Digits(2, S)) return false;
      if ((Scan.Take(L'.') || Scan.Take(L',')) && !Scan.Fraction(MS)) return false;
    }
    if (!Scan.Take(L'Z') && !Scan.Take(L'z')) {
      Integer Sign = Scan.Take(L'+') ? 1 : Scan.Take(L'-') ? -1 : 0;
      if (Sign != 0) {
        Integer OH, OM = 0;
        if (!Scan.Digits(2, OH)) return false;
        bool OffsetExtended = Scan.Take(L':');
        if ((OffsetExtended || Scan.NextIsDigit()) && !Scan.Digits(2, OM)) return false;
        if (OH > 23 || OM > 59) return false;
        Offset = Sign * (OH * 60 + OM);
      }
    }
    if (!Scan.AtEnd()) return false;
  }
  TDateTime V;
  if (!TryEncodeDateTime(Word(Y), Word(Mo), Word(D), Word(H), Word(Mi), Word(S), Word(MS), V)) return false;
  try {
    V = IncMinute(V, -Offset);
    AValue = AReturnUTC ? V : UniversalToLocal(V);
  } catch (const EConvertError&) {
    return false;  // the offset moves the moment out of the calendar
  }
  return true;
}

TDateTime ISO8601ToDate(const String& AISODate, bool AReturnUTC) {
  TDateTime R;
  if (!TryISO8601ToDate(AISODate, R, AReturnUTC))
    throw EConvertError(L"'" + AISODate + L"' is not a valid ISO 8601 date and time");
  return R;
}
