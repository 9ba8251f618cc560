#include "framework/sysutils/DateTime.h"

#include <cmath>

#include "framework/WinApi.h"
#include "framework/sysutils/Strings.h"

const Word MonthDays[2][13] = {
    {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};

namespace {

// Days before 1 January of Year, counted from 0001-01-01.
Integer DaysBeforeYear(Integer Year) {
  Integer I = Year - 1;
  return I * 365 + I / 4 - I / 100 + I / 400;
}

// The time stamp day of a valid date (0001-01-01 is day 1).
Integer DayNumber(Word Year, Word Month, Word Day) {
  const Word* Table = MonthDays[IsLeapYear(Year)];
  Integer N = DaysBeforeYear(Year);
  for (Word M = 1; M < Month; ++M) N += Table[M];
  return N + Day;
}

// The date of a time stamp day; zeros for days before 0001-01-01 or past what a Word holds.
void DayNumberToDate(Integer Number, Word& Year, Word& Month, Word& Day) {
  if (Number <= 0) {
    Year = Month = Day = 0;
    return;
  }
  constexpr Integer D1 = 365, D4 = D1 * 4 + 1, D100 = D4 * 25 - 1, D400 = D100 * 4 + 1;
  Integer T = Number - 1;
  Integer Y = 1 + 400 * (T / D400);
  T %= D400;
  Integer I = T / D100, R = T % D100;
  if (I == 4) {  // the last day of a 400-year cycle
    --I;
    R += D100;
  }
  Y += I * 100;
  T = R;
  Y += 4 * (T / D4);
  T %= D4;
  I = T / D1;
  R = T % D1;
  if (I == 4) {  // the last day of a leap year
    --I;
    R += D1;
  }
  Y += I;
  if (Y > 0xFFFF) {
    Year = Month = Day = 0;
    return;
  }
  const Word* Table = MonthDays[IsLeapYear(Word(Y))];
  Integer M = 1;
  while (M < 12 && R >= Table[M]) R -= Table[M++];
  Year = Word(Y);
  Month = Word(M);
  Day = Word(R + 1);
}

// Puts a time of day after a date, keeping the sign convention of dates before 1899-12-30.
TDateTime CombineDateTime(double Date, double Time) { return Date >= 0 ? Date + Time : Date - Time; }

String IntToText(Integer N, Integer Digits) {
  String S = std::to_wstring(N < 0 ? -N : N);
  if (Length(S) < Digits) S.insert(0, Digits - Length(S), L'0');
  return N < 0 ? L"-" + S : S;
}

[[noreturn]] void ConvertError(const String& Text, const wchar_t* What) {
  throw EConvertError(L"'" + Text + L"' is not a valid " + What);
}

// ---- Formatting ------------------------------------------------------------------------------

struct TDateParts {
  Word Year, Month, Day, DOW, Hour, Min, Sec, MSec;
  bool Midnight;
};

bool StartsWithNoCase(const String& S, size_t At, const wchar_t* Prefix) {
  for (size_t I = 0; Prefix[I]; ++I)
    if (At + I >= S.size() || UpCase(S[At + I]) != UpCase(Prefix[I])) return false;
  return true;
}

// The clock is 12-hour when an am/pm marker follows the hour before the next hour or the next
// other 'a'; quoted text is skipped.
bool Uses12HourClock(const String& Fmt, size_t From) {
  bool Quoted = false;
  Char Quote = 0;
  for (size_t I = From; I < Fmt.size(); ++I) {
    Char C = Fmt[I];
    if (Quoted) {
      if (C == Quote) Quoted = false;
      continue;
    }
    if (C == L'"' || C == L'\'') {
      Quoted = true;
      Quote = C;
    } else if (C == L'h' || C == L'H') {
      return false;
    } else if (C == L'a' || C == L'A') {
      return StartsWithNoCase(Fmt, I, L"am/pm") || StartsWithNoCase(Fmt, I, L"a/p") ||
             StartsWithNoCase(Fmt, I, L"ampm");
    }
  }
  return false;
}

class TDateFormatter {
 public:
  TDateFormatter(const TDateParts& Parts, const TFormatSettings& Settings) : P(Parts), S(Settings) {}

  void Append(const String& Fmt, Integer Level) {
    Char LastToken = 0;
    size_t I = 0;
    while (I < Fmt.size()) {
      Char C = Fmt[I];
      Char Token = UpCase(C);
      size_t Count = 1;
      if (Token >= L'A' && Token <= L'Z')
        while (I + Count < Fmt.size() && UpCase(Fmt[I + Count]) == Token) ++Count;
      switch (Token) {
        case L'Y':
          Out += Count <= 2 ? IntToText(P.Year % 100, 2) : IntToText(P.Year, 4);
          break;
        case L'M':
          if (LastToken == L'H' && Count <= 2)
            Out += IntToText(P.Min, Count == 1 ? 1 : 2);
          else if (Count <= 2)
            Out += IntToText(P.Month, Integer(Count));
          else if (P.Month >= 1 && P.Month <= 12)
            Out += Count == 3 ? S.ShortMonthNames[P.Month - 1] : S.LongMonthNames[P.Month - 1];
          break;
        case L'D':
          if (Count <= 2)
            Out += IntToText(P.Day, Integer(Count));
          else if (Count <= 4) {
            if (P.DOW >= 1 && P.DOW <= 7) Out += Count == 3 ? S.ShortDayNames[P.DOW - 1] : S.LongDayNames[P.DOW - 1];
          } else if (Level < 2) {
            Append(Count == 5 ? S.ShortDateFormat : S.LongDateFormat, Level + 1);
          }
          break;
        case L'E':
          Out += IntToText(P.Year, Count == 1 ? 1 : 2);
          break;
        case L'G':
          Out += L"A.D.";
          break;
        case L'H': {
          Integer H = P.Hour;
          if (Uses12HourClock(Fmt, I + Count)) {
            H %= 12;
            if (H == 0) H = 12;
          }
          Out += IntToText(H, Count == 1 ? 1 : 2);
          break;
        }
        case L'N':
          Out += IntToText(P.Min, Count == 1 ? 1 : 2);
          break;
        case L'S':
          Out += IntToText(P.Sec, Count == 1 ? 1 : 2);
          break;
        case L'Z':
          Out += IntToText(P.MSec, Count == 1 ? 1 : 3);
          break;
        case L'T':
          if (Level < 2) Append(Count == 1 ? S.ShortTimeFormat : S.LongTimeFormat, Level + 1);
          break;
        case L'C':
          if (Level < 2) {
            Append(S.ShortDateFormat, Level + 1);
            if (!P.Midnight) {
              Out += L' ';
              Append(S.LongTimeFormat, Level + 1);
            }
          }
          break;
        case L'A':
          Count = AppendAmPm(Fmt, I);
          break;
        case L'/':
          Out += S.DateSeparator;
          break;
        case L':':
          Out += S.TimeSeparator;
          break;
        case L'"':
        case L'\'': {
          size_t End = Fmt.find(C, I + 1);
          if (End == String::npos) End = Fmt.size();
          Out.append(Fmt, I + 1, End - I - 1);
          Count = End < Fmt.size() ? End - I + 1 : End - I;
          break;
        }
        default:
          Out.append(Fmt, I, Count);
          break;
      }
      if (Token >= L'A' && Token <= L'Z' && Token != L'A') LastToken = Token;
      I += Count;
    }
  }

  String Out;

 private:
  // Writes the marker starting at Fmt[I] and answers its length; a lone 'a' is plain text.
  size_t AppendAmPm(const String& Fmt, size_t I) {
    bool AM = P.Hour < 12;
    if (StartsWithNoCase(Fmt, I, L"am/pm")) {
      Out.append(Fmt, AM ? I : I + 3, 2);  // in the case the format wrote it
      return 5;
    }
    if (StartsWithNoCase(Fmt, I, L"a/p")) {
      Out += Fmt[AM ? I : I + 2];
      return 3;
    }
    if (StartsWithNoCase(Fmt, I, L"ampm")) {
      Out += AM ? S.TimeAMString : S.TimePMString;
      return 4;
    }
    Out += Fmt[I];
    return 1;
  }

  const TDateParts& P;
  const TFormatSettings& S;
};

// ---- Parsing ---------------------------------------------------------------------------------

enum class TDateOrder { MDY, DMY, YMD };

// Some locales close the short date with its separator ("yyyy. mm. dd.").
bool EndsWithSeparator(const String& Fmt, Char Separator) {
  size_t N = Fmt.find_last_not_of(L' ');
  return N != String::npos && (Fmt[N] == L'/' || Fmt[N] == Separator);
}

TDateOrder GetDateOrder(const String& Fmt) {
  Char Quote = 0;
  for (Char C : Fmt) {
    if (Quote) {
      if (C == Quote) Quote = 0;
      continue;
    }
    switch (UpCase(C)) {
      case L'"':
      case L'\'':
        Quote = C;
        break;
      case L'D':
        return TDateOrder::DMY;
      case L'M':
        return TDateOrder::MDY;
      case L'Y':
      case L'E':
        return TDateOrder::YMD;
    }
  }
  return TDateOrder::MDY;
}

class TDateScanner {
 public:
  TDateScanner(const String& Text, const TFormatSettings& Settings) : S(Text), F(Settings) {}

  bool AtEnd() {
    SkipBlanks();
    return Pos >= S.size();
  }
  void Restart() { Pos = 0; }

  bool ScanDate(TDateTime& Date) {
    Integer N1, N2, N3, L1, L2, L3;
    if (!(ScanNumber(N1, L1) && ScanChar(F.DateSeparator) && ScanNumber(N2, L2))) return false;
    TDateOrder Order = GetDateOrder(F.ShortDateFormat);
    Integer Y, M, D, YL = 0;
    if (ScanChar(F.DateSeparator)) {
      if (!ScanNumber(N3, L3)) return false;
      if (Order == TDateOrder::YMD) {
        Y = N1, YL = L1, M = N2, D = N3;
      } else {
        Y = N3, YL = L3;
        M = Order == TDateOrder::MDY ? N1 : N2;
        D = Order == TDateOrder::MDY ? N2 : N1;
      }
      if (Y <= 99 && YL <= 2) Y = ExpandYear(Y);
    } else {
      Y = CurrentYear();  // only day and month were given
      M = Order == TDateOrder::DMY ? N2 : N1;
      D = Order == TDateOrder::DMY ? N1 : N2;
    }
    if (EndsWithSeparator(F.ShortDateFormat, F.DateSeparator)) ScanChar(F.DateSeparator);
    return Y > 0 && Y <= 9999 && M > 0 && M <= 12 && D > 0 && TryEncodeDate(Word(Y), Word(M), Word(D), Date);
  }

  bool ScanTime(TDateTime& Time) {
    Integer BaseHour = ScanAmPm();
    Integer Hour, Min = 0, Sec = 0, MSec = 0, L;
    if (!ScanNumber(Hour, L)) return false;
    if (ScanChar(F.TimeSeparator)) {
      if (!ScanNumber(Min, L)) return false;
      if (ScanChar(F.TimeSeparator)) {
        if (!ScanNumber(Sec, L)) return false;
        if (ScanChar(F.DecimalSeparator) && !ScanFraction(MSec)) return false;
      }
    }
    if (BaseHour < 0) BaseHour = ScanAmPm();
    if (BaseHour >= 0) {
      if (Hour == 0 || Hour > 12) return false;
      Hour = Hour % 12 + BaseHour;
    }
    return Hour < 24 && Min < 60 && Sec < 60 && TryEncodeTime(Word(Hour), Word(Min), Word(Sec), Word(MSec), Time);
  }

 private:
  void SkipBlanks() {
    while (Pos < S.size() && S[Pos] == L' ') ++Pos;
  }

  // At most four digits, as a year has.
  bool ScanNumber(Integer& N, Integer& Digits) {
    SkipBlanks();
    size_t Start = Pos;
    N = 0;
    while (Pos < S.size() && Pos - Start < 4 && S[Pos] >= L'0' && S[Pos] <= L'9') N = N * 10 + (S[Pos++] - L'0');
    Digits = Integer(Pos - Start);
    return Digits > 0;
  }

  // Digits after the decimal separator, read as a fraction of a second.
  bool ScanFraction(Integer& MSec) {
    size_t Start = Pos;
    MSec = 0;
    while (Pos < S.size() && S[Pos] >= L'0' && S[Pos] <= L'9') {
      if (Pos - Start < 3) MSec = MSec * 10 + (S[Pos] - L'0');
      ++Pos;
    }
    for (size_t N = Pos - Start; N < 3; ++N) MSec *= 10;
    return Pos > Start;
  }

  bool ScanChar(Char C) {
    size_t Start = Pos;
    SkipBlanks();
    if (C == L' ') return Pos > Start;
    if (Pos < S.size() && S[Pos] == C) {
      ++Pos;
      return true;
    }
    return false;
  }

  bool ScanString(const String& Symbol) {
    if (Symbol.empty()) return false;
    SkipBlanks();
    if (S.size() - Pos < Symbol.size()) return false;
    // Month names and time markers are text: they ignore case as AnsiSameText does.
    if (AnsiStrLIComp(S.data() + Pos, Symbol.data(), Cardinal(Symbol.size())) != 0) return false;
    Pos += Symbol.size();
    return true;
  }

  // 0 for a morning marker, 12 for an afternoon one, -1 for none.
  Integer ScanAmPm() {
    if (ScanString(F.TimeAMString) || ScanString(L"AM")) return 0;
    if (ScanString(F.TimePMString) || ScanString(L"PM")) return 12;
    return -1;
  }

  Integer ExpandYear(Integer Year) {
    Integer Window = F.TwoDigitYearCenturyWindow;
    Integer Base = CurrentYear() - Window;
    Year += Base / 100 * 100;
    if (Window > 0 && Year < Base) Year += 100;
    return Year;
  }

  const String& S;
  const TFormatSettings& F;
  size_t Pos = 0;
};

}  // namespace

// ---- Encoding and decoding -------------------------------------------------------------------

bool IsLeapYear(Word Year) { return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0); }

bool TryEncodeDate(Word Year, Word Month, Word Day, TDateTime& Date) {
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > MonthDays[IsLeapYear(Year)][Month])
    return false;
  Date = double(DayNumber(Year, Month, Day) - DateDelta);
  return true;
}

bool TryEncodeTime(Word Hour, Word Min, Word Sec, Word MSec, TDateTime& Time) {
  if (Hour >= HoursPerDay || Min >= MinsPerHour || Sec >= SecsPerMin || MSec >= MSecsPerSec) return false;
  Time = double(((Hour * MinsPerHour + Min) * SecsPerMin + Sec) * MSecsPerSec + MSec) / MSecsPerDay;
  return true;
}

TDateTime EncodeDate(Word Year, Word Month, Word Day) {
  TDateTime R;
  if (!TryEncodeDate(Year, Month, Day, R)) throw EConvertError(L"Invalid argument to date encode");
  return R;
}

TDateTime EncodeTime(Word Hour, Word Min, Word Sec, Word MSec) {
  TDateTime R;
  if (!TryEncodeTime(Hour, Min, Sec, MSec, R)) throw EConvertError(L"Invalid argument to time encode");
  return R;
}

TTimeStamp DateTimeToTimeStamp(TDateTime DateTime) {
  double V = DateTime;
  if (!std::isfinite(V)) throw EInvalidOp(L"Invalid floating point operation");
  if (std::fabs(V) > 1e8) return TTimeStamp();  // far outside the calendar: decodes as zeros
  double Days = std::trunc(V);
  Int64 MSecs = Round(std::fabs(V - Days) * MSecsPerDay);
  TTimeStamp R;
  R.Date = DateDelta + Integer(Days);
  if (MSecs >= MSecsPerDay) {  // rounded up to the next midnight, which is later whatever the sign
    MSecs -= MSecsPerDay;
    ++R.Date;
  }
  R.Time = Integer(MSecs);
  return R;
}

TDateTime TimeStampToDateTime(const TTimeStamp& TimeStamp) {
  if (TimeStamp.Time < 0 || TimeStamp.Time >= MSecsPerDay || TimeStamp.Date <= 0)
    throw EConvertError(L"'" + std::to_wstring(TimeStamp.Date) + L"." + std::to_wstring(TimeStamp.Time) +
                        L"' is not a valid timestamp");
  return CombineDateTime(double(TimeStamp.Date - DateDelta), double(TimeStamp.Time) / MSecsPerDay);
}

TTimeStamp MSecsToTimeStamp(Int64 MSecs) {
  TTimeStamp R;
  R.Date = Integer(MSecs / MSecsPerDay);
  R.Time = Integer(MSecs % MSecsPerDay);
  return R;
}

Int64 TimeStampToMSecs(const TTimeStamp& TimeStamp) { return Int64(TimeStamp.Date) * MSecsPerDay + TimeStamp.Time; }

bool DecodeDateFully(TDateTime Date, Word& Year, Word& Month, Word& Day, Word& DOW) {
  TTimeStamp T = DateTimeToTimeStamp(Date);
  DayNumberToDate(T.Date, Year, Month, Day);
  if (Year == 0) {
    DOW = 0;
    return false;
  }
  DOW = Word(T.Date % 7 + 1);
  return IsLeapYear(Year);
}

void DecodeDate(TDateTime Date, Word& Year, Word& Month, Word& Day) {
  DayNumberToDate(DateTimeToTimeStamp(Date).Date, Year, Month, Day);
}

void DecodeTime(TDateTime Time, Word& Hour, Word& Min, Word& Sec, Word& MSec) {
  Integer T = DateTimeToTimeStamp(Time).Time;
  Hour = Word(T / (MSecsPerSec * SecsPerHour));
  Min = Word(T / (MSecsPerSec * SecsPerMin) % MinsPerHour);
  Sec = Word(T / MSecsPerSec % SecsPerMin);
  MSec = Word(T % MSecsPerSec);
}

Integer DayOfWeek(TDateTime DateTime) { return DateTimeToTimeStamp(DateTime).Date % 7 + 1; }

void DateTimeToSystemTime(TDateTime DateTime, _SYSTEMTIME& SystemTime) {
  Word DOW;
  DecodeDateFully(DateTime, SystemTime.wYear, SystemTime.wMonth, SystemTime.wDay, DOW);
  SystemTime.wDayOfWeek = DOW > 0 ? Word(DOW - 1) : 0;
  DecodeTime(DateTime, SystemTime.wHour, SystemTime.wMinute, SystemTime.wSecond, SystemTime.wMilliseconds);
}

TDateTime SystemTimeToDateTime(const _SYSTEMTIME& SystemTime) {
  return CombineDateTime(EncodeDate(SystemTime.wYear, SystemTime.wMonth, SystemTime.wDay),
                         EncodeTime(SystemTime.wHour, SystemTime.wMinute, SystemTime.wSecond, SystemTime.wMilliseconds));
}

TDateTime Now() {
  SYSTEMTIME ST;
  GetLocalTime(&ST);
  return SystemTimeToDateTime(ST);
}

TDateTime Date() {
  SYSTEMTIME ST;
  GetLocalTime(&ST);
  return EncodeDate(ST.wYear, ST.wMonth, ST.wDay);
}

TDateTime Time() {
  SYSTEMTIME ST;
  GetLocalTime(&ST);
  return EncodeTime(ST.wHour, ST.wMinute, ST.wSecond, ST.wMilliseconds);
}

Word CurrentYear() {
  SYSTEMTIME ST;
  GetLocalTime(&ST);
  return ST.wYear;
}

void IncAMonth(Word& Year, Word& Month, Word& Day, Integer NumberOfMonths) {
  Int64 Months = Int64(Year) * 12 + (Month - 1) + NumberOfMonths;
  Int64 Y = Months >= 0 ? Months / 12 : -((-Months + 11) / 12);
  Int64 M = Months - Y * 12 + 1;
  // A year out of range is left for EncodeDate to reject.
  Year = Y < 0 || Y > 0xFFFF ? Word(0) : Word(Y);
  Month = Word(M);
  Word Last = MonthDays[IsLeapYear(Year)][Month];
  if (Day > Last) Day = Last;
}

TDateTime IncMonth(TDateTime DateTime, Integer NumberOfMonths) {
  Word Year, Month, Day;
  DecodeDate(DateTime, Year, Month, Day);
  IncAMonth(Year, Month, Day, NumberOfMonths);
  TDateTime R = EncodeDate(Year, Month, Day);
  ReplaceTime(R, DateTime);
  return R;
}

void ReplaceTime(TDateTime& DateTime, TDateTime NewTime) {
  double Time = std::fabs(NewTime - std::trunc(NewTime));
  DateTime = CombineDateTime(std::trunc(DateTime.Val), Time);
}

void ReplaceDate(TDateTime& DateTime, TDateTime NewDate) {
  TDateTime R = NewDate;
  ReplaceTime(R, DateTime);
  DateTime = R;
}

// ---- Text ------------------------------------------------------------------------------------

void DateTimeToString(String& Result, const String& Format, TDateTime DateTime, const TFormatSettings& Settings) {
  TDateParts P{};
  DecodeDateFully(DateTime, P.Year, P.Month, P.Day, P.DOW);
  DecodeTime(DateTime, P.Hour, P.Min, P.Sec, P.MSec);
  P.Midnight = P.Hour == 0 && P.Min == 0 && P.Sec == 0 && P.MSec == 0;
  TDateFormatter F(P, Settings);
  F.Append(Format.empty() ? String(L"C") : Format, 0);
  Result = std::move(F.Out);
}

String FormatDateTime(const String& Format, TDateTime DateTime, const TFormatSettings& Settings) {
  String R;
  DateTimeToString(R, Format, DateTime, Settings);
  return R;
}

String DateToStr(TDateTime Date, const TFormatSettings& Settings) {
  return FormatDateTime(Settings.ShortDateFormat, Date, Settings);
}

String TimeToStr(TDateTime Time, const TFormatSettings& Settings) {
  return FormatDateTime(Settings.LongTimeFormat, Time, Settings);
}

String DateTimeToStr(TDateTime DateTime, const TFormatSettings& Settings) {
  return FormatDateTime(String(), DateTime, Settings);
}

bool TryStrToDate(const String& S, TDateTime& Value, const TFormatSettings& Settings) {
  TDateScanner Scan(S, Settings);
  TDateTime D;
  if (!Scan.ScanDate(D) || !Scan.AtEnd()) return false;
  Value = D;
  return true;
}

bool TryStrToTime(const String& S, TDateTime& Value, const TFormatSettings& Settings) {
  TDateScanner Scan(S, Settings);
  TDateTime T;
  if (!Scan.ScanTime(T) || !Scan.AtEnd()) return false;
  Value = T;
  return true;
}

bool TryStrToDateTime(const String& S, TDateTime& Value, const TFormatSettings& Settings) {
  TDateScanner Scan(S, Settings);
  TDateTime D, T;
  if (Scan.ScanDate(D)) {
    if (!Scan.AtEnd() && !(Scan.ScanTime(T) && Scan.AtEnd())) return false;
    Value = CombineDateTime(D, T);
    return true;
  }
  Scan.Restart();
  if (!Scan.ScanTime(T) || !Scan.AtEnd()) return false;
  Value = T;
  return true;
}

TDateTime StrToDate(const String& S, const TFormatSettings& Settings) {
  TDateTime R;
  if (!TryStrToDate(S, R, Settings)) ConvertError(S, L"date");
  return R;
}

TDateTime StrToTime(const String& S, const TFormatSettings& Settings) {
  TDateTime R;
  if (!TryStrToTime(S, R, Settings)) ConvertError(S, L"time");
  return R;
}

TDateTime StrToDateTime(const String& S, const TFormatSettings& Settings) {
  TDateTime R;
  if (!TryStrToDateTime(S, R, Settings)) ConvertError(S, L"date and time");
  return R;
}

TDateTime StrToDateDef(const String& S, TDateTime Default, const TFormatSettings& Settings) {
  TDateTime R;
  return TryStrToDate(S, R, Settings) ? R : Default;
}

TDateTime StrToTimeDef(const String& S, TDateTime Default, const TFormatSettings& Settings) {
  TDateTime R;
  return TryStrToTime(S, R, Settings) ? R : Default;
}

TDateTime StrToDateTimeDef(const String& S, TDateTime Default, const TFormatSettings& Settings) {
  TDateTime R;
  return TryStrToDateTime(S, R, Settings) ? R : Default;
}
