#include "kvlib/editors/dbctrls/DateTimeEditFormatKv.h"

#include <algorithm>

namespace datetimeeditformatkv {

TDateTimeEditTodayFuncKv TodayFunc = &Date;

TDateTime Today() { return TodayFunc(); }

bool IsElementLetter(Char C) {
  return C == L'Y' || C == L'M' || C == L'D' || C == L'H' || C == L'N' || C == L'S';
}

// Characters the masked edit would read as commands rather than as literals.
bool IsMaskCommand(Char C) {
  switch (C) {
    case L'!': case L'#': case L'0': case L'9': case L';': case L'<': case L'>': case L'A': case L'a':
    case L'C': case L'c': case L'L': case L'l': case L'\\': case L'_':
      return true;
    default:
      return false;
  }
}

TElementMaskPosKv& ElementOf(TDateTimeElementsMaskPosKv& Positions, Char Letter) {
  switch (Letter) {
    case L'Y': return Positions.Year;
    case L'M': return Positions.Month;
    case L'D': return Positions.Day;
    case L'H': return Positions.Hour;
    case L'N': return Positions.Min;
    default: return Positions.Sec;
  }
}

String Quoted(Char Letter) { return String(L"\"") + Letter + L"\""; }

// A field's text as a number: blanks anywhere are ignored, anything else makes it -1.
Integer FieldValue(const String& Text, Integer Pos, Integer Length) {
  Integer Value = 0;
  bool AnyDigit = false;
  for (Integer I = Pos; I < Pos + Length; ++I) {
    Char C = I >= 1 && I <= Integer(Text.size()) ? Text[size_t(I - 1)] : L' ';
    if (C == L' ') continue;
    if (C < L'0' || C > L'9') return -1;
    if (Value > 99999999) return -1;
    Value = Value * 10 + (C - L'0');
    AnyDigit = true;
  }
  return AnyDigit ? Value : -1;
}

Integer DaysOfMonth(Integer Year, Integer Month) {
  return MonthDays[IsLeapYear(Word(Year)) ? 1 : 0][Month];
}

bool IsRealDate(Integer Year, Integer Month, Integer Day) {
  return Year >= 1 && Year <= 9999 && Month >= 1 && Month <= 12 && Day >= 1 && Day <= DaysOfMonth(Year, Month);
}

// Moves Pos past a separator and answers the field letter there, 0 when there is none.
Char FieldAt(const String& Layout, Integer& Pos, Integer& Len) {
  Len = 0;
  Integer Count = Integer(Layout.size());
  if (Count == 0) return 0;
  Pos = std::clamp(Pos, 1, Count);
  Char C = Layout[size_t(Pos - 1)];
  if (C == L'/' || C == L':') {
    if (Pos + 1 > Count) return 0;
    ++Pos;
  }
  Char Letter = AnsiUpperCase(String(1, Layout[size_t(Pos - 1)]))[0];
  if (!IsElementLetter(Letter)) return 0;
  String Upper = AnsiUpperCase(Layout);
  size_t Start = Upper.find(Letter);
  size_t Stop = Start;
  while (Stop < Upper.size() && Upper[Stop] == Letter) ++Stop;
  Pos = Integer(Start) + 1;
  Len = Integer(Stop - Start);
  return Letter;
}

}  // namespace datetimeeditformatkv

namespace dtef = datetimeeditformatkv;

TDateTimeEditTodayFuncKv SetDateTimeEditTodayFunc(TDateTimeEditTodayFuncKv Func) {
  TDateTimeEditTodayFuncKv Old = dtef::TodayFunc;
  dtef::TodayFunc = Func ? Func : &Date;
  return Old;
}

String DefaultDateEditFormat(bool FourDigitYear, const TFormatSettings& Settings) {
  Char First = 0;
  for (Char C : AnsiUpperCase(Settings.ShortDateFormat)) {
    if (C == L'D' || C == L'M' || C == L'Y') {
      First = C;
      break;
    }
  }
  if (First == L'M') return FourDigitYear ? L"MM/DD/YYYY" : L"MM/DD/YY";
  if (First == L'Y') return FourDigitYear ? L"YYYY/MM/DD" : L"YY/MM/DD";
  return FourDigitYear ? L"DD/MM/YYYY" : L"DD/MM/YY";
}

String DefaultTimeEditFormat() { return L"HH:NN:SS"; }

bool LocaleUsesFourDigitYear(const TFormatSettings& Settings) {
  return AnsiUpperCase(Settings.ShortDateFormat).find(L"YYY") != String::npos;
}

void ParseDateTimeEditFormat(const String& EditFormat, TDateTimeElementsMaskPosKv& Positions, String& Mask) {
  // Built apart and handed out only when the whole format is good.
  TDateTimeElementsMaskPosKv NewPositions;
  String Body;
  String Upper = AnsiUpperCase(EditFormat);
  Char Current = 0;
  Integer RunLength = 0;
  Integer TextPos = 1;
  bool Escaped = false;

  auto Finish = [&]() {
    if (!Current) return;
    bool GoodLength = Current == L'Y' ? RunLength == 2 || RunLength == 4 : RunLength == 2;
    if (!GoodLength) throw Exception(L"Invalid datetime format element length: " + dtef::Quoted(Current));
    TElementMaskPosKv& Element = dtef::ElementOf(NewPositions, Current);
    if (Element.Present) throw Exception(L"Duplicating datetime format element: " + dtef::Quoted(Current));
    Element.Pos = TextPos - RunLength;
    Element.Length = RunLength;
    Element.Present = true;
    Body.append(size_t(RunLength), L'9');
    Current = 0;
    RunLength = 0;
  };

  for (size_t I = 0; I < EditFormat.size(); ++I) {
    Char C = EditFormat[I];
    Char U = I < Upper.size() ? Upper[I] : C;
    bool JustEscaped = false;
    if (!Escaped && dtef::IsElementLetter(U)) {
      if (U == Current) {
        ++RunLength;
      } else {
        Finish();
        Current = U;
        RunLength = 1;
      }
      if (RunLength > (Current == L'Y' ? 4 : 2))
        throw Exception(L"Element in EditFormat: \"" + EditFormat + L"\" is too long. Pos: " +
                        IntToStr(Integer(I + 1)));
    } else {
      Finish();
      if (C == L'\\' && !Escaped) {
        JustEscaped = true;
      } else if (dtef::IsMaskCommand(C)) {
        Body += L'\\';
        Body += C;
      } else {
        Body += C;
      }
    }
    Escaped = JustEscaped;
    if (!JustEscaped) ++TextPos;
  }
  Finish();
  Positions = NewPositions;
  Mask = L"!" + Body + L";1; ";
}

String EditFormatToDateTimeFormat(const String& EditFormat) {
  String Result;
  String Upper = AnsiUpperCase(EditFormat);
  bool InQuote = false;
  bool Escaped = false;
  for (size_t I = 0; I < EditFormat.size(); ++I) {
    Char C = EditFormat[I];
    Char U = I < Upper.size() ? Upper[I] : C;
    if (!Escaped && C == L'\\') {
      Escaped = true;
      continue;
    }
    bool Plain = !Escaped && (dtef::IsElementLetter(U) || C == L'/' || C == L':');
    Escaped = false;
    if (Plain) {
      if (InQuote) Result += L'\'';
      InQuote = false;
      Result += U;
    } else {
      if (!InQuote) Result += L'\'';
      InQuote = true;
      Result += C;
      if (C == L'\'') Result += C;
    }
  }
  if (InQuote) Result += L'\'';
  return Result;
}

String EditFormatToElementLayout(const String& EditFormat) {
  String Result;
  String Upper = AnsiUpperCase(EditFormat);
  bool Escaped = false;
  for (size_t I = 0; I < EditFormat.size(); ++I) {
    Char C = EditFormat[I];
    Char U = I < Upper.size() ? Upper[I] : C;
    if (!Escaped && C == L'\\') {
      Escaped = true;
      continue;
    }
    if (!Escaped && (dtef::IsElementLetter(U) || C == L'/' || C == L':'))
      Result += U;
    else
      Result += L' ';
    Escaped = false;
  }
  return Result;
}

bool TextToElements(const String& Text, const TDateTimeElementsMaskPosKv& Positions, TDateTimeElementsKv& Values) {
  auto Read = [&](const TElementMaskPosKv& Element) {
    return Element.Present ? dtef::FieldValue(Text, Element.Pos, Element.Length) : -1;
  };
  Values.Year = Read(Positions.Year);
  Values.Month = Read(Positions.Month);
  Values.Day = Read(Positions.Day);
  Values.Hour = Read(Positions.Hour);
  Values.Min = Read(Positions.Min);
  Values.Sec = Read(Positions.Sec);
  // "0050" in a four-digit field is the year 50, not 2050.
  if (Values.Year >= 0 && Values.Year <= 99 && Positions.Year.Length == 2)
    Values.Year = ExpandTwoDigitYear(Values.Year);
  const std::pair<const TElementMaskPosKv*, Integer> All[] = {
      {&Positions.Year, Values.Year}, {&Positions.Month, Values.Month}, {&Positions.Day, Values.Day},
      {&Positions.Hour, Values.Hour}, {&Positions.Min, Values.Min},     {&Positions.Sec, Values.Sec}};
  for (const auto& [Element, Value] : All)
    if (Element->Present && Value == -1) return false;
  return true;
}

Integer ExpandTwoDigitYear(Integer Year) {
  if (Year >= 100 || Year < 0) return Year;
  Word TY, TM, TD;
  DecodeDate(dtef::Today(), TY, TM, TD);
  Integer Century = Integer(TY) - DateTimeEditTwoDigitYearWindowKv;
  Year += Century / 100 * 100;
  if (Year < Century) Year += 100;
  return Year;
}

void FixDate(Integer& Year, Integer& Month, Integer& Day, bool ExpandYear) {
  Word TY, TM, TD;
  DecodeDate(dtef::Today(), TY, TM, TD);
  if (Year < 1) Year = TY;
  if (Month < 1) Month = TM;
  if (Day < 1) Day = TD;
  if (Month > 12) Month = 12;
  if (Year > 9999) Year = 9999;
  if (ExpandYear && Year >= 0) Year = ExpandTwoDigitYear(Year);
  Day = std::min(Day, dtef::DaysOfMonth(Year, Month));
}

void FixTime(Integer& Hour, Integer& Minute, Integer& Second) {
  Hour = std::clamp(Hour, 0, 23);
  Minute = std::clamp(Minute, 0, 59);
  Second = std::clamp(Second, 0, 59);
}

bool ElementsToValue(const TDateTimeElementsKv& Values, const TDateTimeElementsMaskPosKv& Positions, Variant& Value,
                     bool Fix) {
  TDateTimeElementsKv V = Values;
  if (V.Year == -1 && V.Month == -1 && V.Day == -1 && V.Hour == -1 && V.Min == -1 && V.Sec == -1) {
    Value = Null;
    return true;
  }
  // Only a two-character year field stands for a year of the window.
  bool ExpandYear = !Positions.Year.Present || Positions.Year.Length == 2;
  if (Fix) {
    FixDate(V.Year, V.Month, V.Day, ExpandYear);
    FixTime(V.Hour, V.Min, V.Sec);
  } else {
    if (!Positions.Year.Present && V.Year <= 0) V.Year = 1;
    if (!Positions.Month.Present && V.Month <= 0) V.Month = 1;
    if (!Positions.Day.Present && V.Day <= 0) V.Day = 1;
    if (!Positions.Hour.Present && V.Hour < 0) V.Hour = 0;
    if (!Positions.Min.Present && V.Min < 0) V.Min = 0;
    if (!Positions.Sec.Present && V.Sec < 0) V.Sec = 0;
  }
  bool DateOk = (V.Year < 0 && V.Month < 0 && V.Day < 0) || dtef::IsRealDate(V.Year, V.Month, V.Day);
  bool TimeOk = V.Hour >= 0 && V.Hour <= 23 && V.Min >= 0 && V.Min <= 59 && V.Sec >= 0 && V.Sec <= 59;
  if (!DateOk || !TimeOk) {
    Value = Null;
    return false;
  }

  TDateTimeElementsKv R{1900, 1, 1, 0, 0, 0};
  Word MSec = 0;
  if (!VarIsNull(Value) && !VarIsEmpty(Value)) {
    try {
      TDateTime Old = VarToDateTime(Value);
      DateTimeToElements(Old, R);
      Word H, N, S;
      DecodeTime(Old, H, N, S, MSec);
    } catch (const Exception&) {
      R = TDateTimeElementsKv{1900, 1, 1, 0, 0, 0};
    }
  }
  if (Positions.Year.Present && V.Year > 0) R.Year = V.Year;
  if (Positions.Month.Present && V.Month > 0) R.Month = V.Month;
  if (Positions.Day.Present && V.Day > 0) R.Day = V.Day;
  if (Positions.Hour.Present && V.Hour >= 0) R.Hour = V.Hour;
  if (Positions.Min.Present && V.Min >= 0) R.Min = V.Min;
  if (Positions.Sec.Present && V.Sec >= 0) R.Sec = V.Sec;
  if (Fix) {
    FixDate(R.Year, R.Month, R.Day, ExpandYear);
    FixTime(R.Hour, R.Min, R.Sec);
  }
  TDateTime Time = 0;
  if (!TryEncodeTime(Word(R.Hour), Word(R.Min), Word(R.Sec), MSec, Time)) {
    Value = Null;
    return false;
  }
  if (R.Year == 0 && R.Month == 0 && R.Day == 0) {
    Value = VarFromDateTime(Time);
    return true;
  }
  TDateTime DatePart = 0;
  // A day past the month of the old value (31 over a 30-day month) cannot be encoded.
  if (!TryEncodeDate(Word(R.Year), Word(R.Month), Word(R.Day), DatePart)) {
    Value = Null;
    return false;
  }
  Value = VarFromDateTime(DatePart < 0 ? DatePart.Val - Time.Val : DatePart.Val + Time.Val);
  return true;
}

void DateTimeToElements(TDateTime Value, TDateTimeElementsKv& Values) {
  Word Y, M, D, H, N, S, MS;
  DecodeDate(Value, Y, M, D);
  DecodeTime(Value, H, N, S, MS);
  Values = TDateTimeElementsKv{Y, M, D, H, N, S};
}

void VariantToElements(const Variant& Value, TDateTimeElementsKv& Values) {
  Values = TDateTimeElementsKv{};
  if (VarIsNull(Value) || VarIsEmpty(Value)) return;
  try {
    DateTimeToElements(VarToDateTime(Value), Values);
  } catch (const Exception&) {
    Values = TDateTimeElementsKv{};
  }
}

void IncrementFormatElement(const String& Text, const String& Layout, bool Up, String& NewText, Integer& Pos,
                            Integer& Len) {
  NewText = Text;
  Char Letter = dtef::FieldAt(Layout, Pos, Len);
  if (!Letter) return;
  Integer Low = 0, High = 59;
  switch (Letter) {
    case L'D': Low = 1; High = 31; break;
    case L'M': Low = 1; High = 12; break;
    // A two-character year wraps within its two digits; 100 would not fit.
    case L'Y': Low = Len == 2 ? 0 : 1; High = Len == 2 ? 99 : 9999; break;
    case L'H': High = 23; break;
    default: break;
  }
  Integer Value = dtef::FieldValue(Text, Pos, Len);
  if (Value < 0) Value = 0;
  Value += Up ? 1 : -1;
  if (Value > High) Value = Low;
  if (Value < Low) Value = High;
  String Digits = IntToStr(Value);
  if (Integer(Digits.size()) < Len) Digits.insert(0, size_t(Len) - Digits.size(), L'0');
  if (NewText.size() < size_t(Pos - 1 + Len)) NewText.resize(size_t(Pos - 1 + Len), L' ');
  NewText.replace(size_t(Pos - 1), size_t(Len), Digits.substr(Digits.size() - size_t(Len)));
}

void FindDefaultFormatElement(Integer& Pos, Integer& Len, bool FourDigitYear) {
  dtef::FieldAt(DefaultDateEditFormat(FourDigitYear), Pos, Len);
}
