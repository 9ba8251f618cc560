// The date-time edit format: mask and positions from a format, the three format errors, the
// display format and the element layout, two-digit years, text to fields to values with and
// without fixing, and stepping a field under the caret. "Today" is 2026-03-15 throughout.

#include "kvlib/editors/dbctrls/DateTimeEditFormatKv.h"

#include <gtest/gtest.h>

#include "tests/framework/FuzzHarness.h"

namespace {

TDateTime FixedToday() { return EncodeDate(2026, 3, 15); }

double At(Word Y, Word M, Word D, Word H = 0, Word N = 0, Word S = 0, Word MS = 0) {
  return EncodeDate(Y, M, D).Val + EncodeTime(H, N, S, MS).Val;
}

struct TTodayScope {
  TDateTimeEditTodayFuncKv Saved = SetDateTimeEditTodayFunc(&FixedToday);
  ~TTodayScope() { SetDateTimeEditTodayFunc(Saved); }
};

TDateTimeElementsMaskPosKv Parse(const String& Format, String* Mask = nullptr) {
  TDateTimeElementsMaskPosKv Positions;
  String M;
  ParseDateTimeEditFormat(Format, Positions, M);
  if (Mask) *Mask = M;
  return Positions;
}

String ParseError(const String& Format) {
  try {
    Parse(Format);
  } catch (const Exception& E) {
    return E.Message();
  }
  return L"(no error)";
}

bool SamePos(const TElementMaskPosKv& E, Integer Pos, Integer Len) {
  return E.Present ? E.Pos == Pos && E.Length == Len : Pos == -1 && E.Pos == -1 && E.Length == -1;
}

}  // namespace

TEST(DateTimeEditFormat, ParsesMaskAndPositions) {
  String Mask;
  TDateTimeElementsMaskPosKv P = Parse(L"DD/MM/YYYY HH:NN", &Mask);
  EXPECT_EQ(Mask, L"!99/99/9999 99:99;1; ");
  EXPECT_TRUE(SamePos(P.Day, 1, 2));
  EXPECT_TRUE(SamePos(P.Month, 4, 2));
  EXPECT_TRUE(SamePos(P.Year, 7, 4));
  EXPECT_TRUE(SamePos(P.Hour, 12, 2));
  EXPECT_TRUE(SamePos(P.Min, 15, 2));
  EXPECT_TRUE(SamePos(P.Sec, -1, -1));
}

TEST(DateTimeEditFormat, LiteralsAndEscapesInTheMask) {
  struct {
    const wchar_t* Format;
    const wchar_t* Mask;
    Integer DayPos, MonthPos, YearPos, YearLen;
  } Cases[] = {
      {L"dd.mm.yyyy", L"!99.99.9999;1; ", 1, 4, 7, 4},
      {L"DD\\D", L"!99D;1; ", 1, -1, -1, -1},
      {L"DD9", L"!99\\9;1; ", 1, -1, -1, -1},
      {L"DD\\9", L"!99\\9;1; ", 1, -1, -1, -1},
      // A mask command that is a literal of the format stays a literal.
      {L"YY#MM", L"!99\\#99;1; ", -1, 4, 1, 2},
      {L"DD\\\\MM", L"!99\\\\99;1; ", 1, 4, -1, -1},
      {L"Tel: DD", L"!Te\\l: 99;1; ", 6, -1, -1, -1},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Format);
    String Mask;
    TDateTimeElementsMaskPosKv P = Parse(C.Format, &Mask);
    EXPECT_EQ(Mask, C.Mask);
    EXPECT_TRUE(SamePos(P.Day, C.DayPos, C.DayPos < 0 ? -1 : 2));
    EXPECT_TRUE(SamePos(P.Month, C.MonthPos, C.MonthPos < 0 ? -1 : 2));
    EXPECT_TRUE(SamePos(P.Year, C.YearPos, C.YearLen));
  }
}

TEST(DateTimeEditFormat, BadFormatsRaiseTheirTextAndChangeNothing) {
  struct {
    const wchar_t* Format;
    const wchar_t* Message;
  } Cases[] = {
      {L"D/MM/YYYY", L"Invalid datetime format element length: \"D\""},
      {L"DD/MM/YYY", L"Invalid datetime format element length: \"Y\""},
      {L"DD/MM/YYYY HH:N", L"Invalid datetime format element length: \"N\""},
      {L"YYYYY", L"Element in EditFormat: \"YYYYY\" is too long. Pos: 5"},
      {L"DD/MMM", L"Element in EditFormat: \"DD/MMM\" is too long. Pos: 6"},
      {L"DD/MM/DD", L"Duplicating datetime format element: \"D\""},
      {L"hh:nn hh", L"Duplicating datetime format element: \"H\""},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Format);
    EXPECT_EQ(ParseError(C.Format), C.Message);
    TDateTimeElementsMaskPosKv P = Parse(L"HH:NN");
    String Mask = L"kept";
    EXPECT_THROW(ParseDateTimeEditFormat(C.Format, P, Mask), Exception);
    EXPECT_EQ(Mask, L"kept");
    EXPECT_TRUE(SamePos(P.Hour, 1, 2));
    EXPECT_TRUE(SamePos(P.Day, -1, -1));
  }
}

TEST(DateTimeEditFormat, DisplayFormatAndLayout) {
  struct {
    const wchar_t* Format;
    const wchar_t* Display;
    const wchar_t* Layout;
  } Cases[] = {
      {L"DD.MM.YYYY", L"DD'.'MM'.'YYYY", L"DD MM YYYY"},
      {L"DD\\D", L"DD'D'", L"DD "},
      {L"yyyy/mm/dd hh:nn", L"YYYY/MM/DD' 'HH:NN", L"YYYY/MM/DD HH:NN"},
      {L"DD 'x", L"DD' ''x'", L"DD   "},
      {L"\\/DD", L"'/'DD", L" DD"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Format);
    EXPECT_EQ(EditFormatToDateTimeFormat(C.Format), C.Display);
    EXPECT_EQ(EditFormatToElementLayout(C.Format), C.Layout);
  }
}

TEST(DateTimeEditFormat, DefaultFormatsFollowTheLocaleOrder) {
  struct {
    const wchar_t* ShortDate;
    const wchar_t* Four;
    const wchar_t* Two;
    bool UsesFour;
  } Cases[] = {
      {L"dd.MM.yyyy", L"DD/MM/YYYY", L"DD/MM/YY", true},
      {L"M/d/yyyy", L"MM/DD/YYYY", L"MM/DD/YY", true},
      {L"yyyy-MM-dd", L"YYYY/MM/DD", L"YY/MM/DD", true},
      {L"d/M/yy", L"DD/MM/YYYY", L"DD/MM/YY", false},
      {L"", L"DD/MM/YYYY", L"DD/MM/YY", false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.ShortDate);
    TFormatSettings S = TFormatSettings::Invariant();
    S.ShortDateFormat = C.ShortDate;
    EXPECT_EQ(DefaultDateEditFormat(true, S), C.Four);
    EXPECT_EQ(DefaultDateEditFormat(false, S), C.Two);
    EXPECT_EQ(LocaleUsesFourDigitYear(S), C.UsesFour);
  }
  EXPECT_EQ(DefaultTimeEditFormat(), L"HH:NN:SS");
}

TEST(DateTimeEditFormat, TwoDigitYearsWithinTheWindow) {
  TTodayScope Today;
  const std::pair<Integer, Integer> Cases[] = {{65, 2065}, {66, 1966}, {0, 2000}, {99, 1999}, {100, 100}, {2024, 2024}};
  for (const auto& [Year, Expanded] : Cases) EXPECT_EQ(ExpandTwoDigitYear(Year), Expanded) << Year;
}

TEST(DateTimeEditFormat, TextToValueWithAndWithoutFix) {
  TTodayScope Today;
  TDateTimeElementsMaskPosKv P = Parse(L"DD/MM/YYYY");
  TDateTimeElementsKv E;
  ASSERT_TRUE(TextToElements(L"31.02.2024", P, E));
  EXPECT_EQ(E.Day, 31);
  EXPECT_EQ(E.Month, 2);
  EXPECT_EQ(E.Year, 2024);

  Variant V = Null;
  EXPECT_FALSE(ElementsToValue(E, P, V, false));
  EXPECT_TRUE(VarIsNull(V));
  V = Null;
  ASSERT_TRUE(ElementsToValue(E, P, V, true));
  EXPECT_DOUBLE_EQ(VarToDateTime(V).Val, At(2024, 2, 29));
}

TEST(DateTimeEditFormat, TextFieldsThatHoldNoNumber) {
  TTodayScope Today;
  TDateTimeElementsMaskPosKv P = Parse(L"DD/MM/YYYY");
  struct {
    const wchar_t* Text;
    bool Ok;
    Integer Day, Month, Year;
  } Cases[] = {
      {L"  .  .    ", false, -1, -1, -1},
      {L"3x.02.2024", false, -1, 2, 2024},
      {L" 3.0 .2024", true, 3, 0, 2024},
      {L" 3. 2.  24", true, 3, 2, 24},
      {L"01.01", false, 1, 1, -1},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Text);
    TDateTimeElementsKv E;
    EXPECT_EQ(TextToElements(C.Text, P, E), C.Ok);
    EXPECT_EQ(E.Day, C.Day);
    EXPECT_EQ(E.Month, C.Month);
    EXPECT_EQ(E.Year, C.Year);
    EXPECT_EQ(E.Hour, -1);
  }
  // An all-blank text is no value at all.
  TDateTimeElementsKv Blank;
  TextToElements(L"  .  .    ", P, Blank);
  Variant V = VarFromDateTime(EncodeDate(2020, 1, 1));
  EXPECT_TRUE(ElementsToValue(Blank, P, V, false));
  EXPECT_TRUE(VarIsNull(V));
}

TEST(DateTimeEditFormat, ATwoDigitFieldExpandsAndAFourDigitFieldKeepsSmallYears) {
  TTodayScope Today;
  TDateTimeElementsKv E;
  ASSERT_TRUE(TextToElements(L"01.02.50", Parse(L"DD/MM/YY"), E));
  EXPECT_EQ(E.Year, 2050);
  TDateTimeElementsMaskPosKv Four = Parse(L"DD/MM/YYYY");
  ASSERT_TRUE(TextToElements(L"01.02.0050", Four, E));
  EXPECT_EQ(E.Year, 50);
  Variant V = Null;
  ASSERT_TRUE(ElementsToValue(E, Four, V, true));
  Word Y, M, D;
  DecodeDate(VarToDateTime(V), Y, M, D);
  EXPECT_EQ(Y, 50);
}

TEST(DateTimeEditFormat, PartsTheFormatDoesNotShowComeFromTheOldValue) {
  TTodayScope Today;
  TDateTimeElementsMaskPosKv P = Parse(L"HH:NN");
  TDateTimeElementsKv E;
  ASSERT_TRUE(TextToElements(L"07:45", P, E));
  TDateTime Old = At(2021, 5, 6, 10, 11, 12, 345);
  Variant V = VarFromDateTime(Old);
  ASSERT_TRUE(ElementsToValue(E, P, V, false));
  EXPECT_DOUBLE_EQ(VarToDateTime(V).Val, At(2021, 5, 6, 7, 45, 12, 345));
  V = Null;
  ASSERT_TRUE(ElementsToValue(E, P, V, false));
  EXPECT_DOUBLE_EQ(VarToDateTime(V).Val, At(1900, 1, 1, 7, 45));
  // A day of the text that the old value's month cannot hold fails instead of raising.
  TDateTimeElementsMaskPosKv DayOnly = Parse(L"DD");
  ASSERT_TRUE(TextToElements(L"31", DayOnly, E));
  V = VarFromDateTime(EncodeDate(2021, 4, 2));
  EXPECT_FALSE(ElementsToValue(E, DayOnly, V, false));
}

TEST(DateTimeEditFormat, FixFillsFromTodayAndClamps) {
  TTodayScope Today;
  struct {
    Integer Y, M, D, FY, FM, FD;
  } Dates[] = {{-1, -1, -1, 2026, 3, 15}, {2023, 14, 40, 2023, 12, 31}, {12000, 2, 30, 9999, 2, 28}, {24, 2, 30, 2024, 2, 29}};
  for (auto C : Dates) {
    FixDate(C.Y, C.M, C.D);
    EXPECT_EQ(C.Y, C.FY);
    EXPECT_EQ(C.M, C.FM);
    EXPECT_EQ(C.D, C.FD);
  }
  Integer H = 30, N = 60, S = -4;
  FixTime(H, N, S);
  EXPECT_EQ(H, 23);
  EXPECT_EQ(N, 59);
  EXPECT_EQ(S, 0);
}

TEST(DateTimeEditFormat, ValuesToElements) {
  TDateTimeElementsKv E;
  DateTimeToElements(At(2024, 2, 29, 23, 59, 58), E);
  EXPECT_EQ(E.Year, 2024);
  EXPECT_EQ(E.Month, 2);
  EXPECT_EQ(E.Day, 29);
  EXPECT_EQ(E.Hour, 23);
  EXPECT_EQ(E.Min, 59);
  EXPECT_EQ(E.Sec, 58);
  for (const Variant& V : {Null, Variant(L"no date")}) {
    VariantToElements(V, E);
    EXPECT_EQ(E.Year, -1);
    EXPECT_EQ(E.Sec, -1);
  }
}

// Under a Turkish user the text shows "." where the layout keeps "/": a caret before a
// separator still steps the next field.
TEST(DateTimeEditFormat, SteppingAtEachCaretPosition) {
  const String Layout = EditFormatToElementLayout(L"DD/MM/YYYY HH:NN");
  const String Text = L"31.12.2099 23:59";
  struct {
    Integer Caret;
    bool Up;
    const wchar_t* NewText;
    Integer Pos, Len;
  } Cases[] = {
      {1, true, L"01.12.2099 23:59", 1, 2},   {2, false, L"30.12.2099 23:59", 1, 2},
      {3, true, L"31.01.2099 23:59", 4, 2},   {5, false, L"31.11.2099 23:59", 4, 2},
      {6, true, L"31.12.2100 23:59", 7, 4},   {10, false, L"31.12.2098 23:59", 7, 4},
      {11, true, L"31.12.2099 23:59", 11, 0}, {12, true, L"31.12.2099 00:59", 12, 2},
      {14, true, L"31.12.2099 23:00", 15, 2}, {16, false, L"31.12.2099 23:58", 15, 2},
      {40, true, L"31.12.2099 23:00", 15, 2}, {0, true, L"01.12.2099 23:59", 1, 2},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Caret);
    String NewText;
    Integer Pos = C.Caret, Len = -1;
    IncrementFormatElement(Text, Layout, C.Up, NewText, Pos, Len);
    EXPECT_EQ(NewText, C.NewText);
    EXPECT_EQ(Len, C.Len);
    if (C.Len) EXPECT_EQ(Pos, C.Pos);
  }
}

TEST(DateTimeEditFormat, SteppingWrapsEachFieldInItsRange) {
  struct {
    const wchar_t* Format;
    const wchar_t* Text;
    bool Up;
    const wchar_t* NewText;
  } Cases[] = {
      {L"DD", L"31", true, L"01"},         {L"MM", L"01", false, L"12"},       {L"YY", L"99", true, L"00"},
      {L"YY", L"00", false, L"99"},        {L"YYYY", L"9999", true, L"0001"}, {L"YYYY", L"0001", false, L"9999"},
      {L"HH", L"00", false, L"23"},        {L"SS", L"59", true, L"00"},       {L"DD", L"  ", true, L"01"},
      {L"NN", L"x7", false, L"59"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(String(C.Format) + L" " + C.Text);
    String NewText;
    Integer Pos = 1, Len = 0;
    IncrementFormatElement(C.Text, EditFormatToElementLayout(C.Format), C.Up, NewText, Pos, Len);
    EXPECT_EQ(NewText, C.NewText);
  }
}

TEST(DateTimeEditFormat, FieldsOfTheDefaultDateFormat) {
  struct {
    bool Four;
    Integer Caret, Pos, Len;
  } Cases[] = {{true, 1, 1, 2}, {true, 3, 4, 2}, {true, 20, 7, 4}, {false, 8, 7, 2}, {false, 6, 7, 2}};
  TFormatSettings Saved = FormatSettings;
  FormatSettings.ShortDateFormat = L"dd.MM.yyyy";
  for (const auto& C : Cases) {
    Integer Pos = C.Caret, Len = 0;
    FindDefaultFormatElement(Pos, Len, C.Four);
    EXPECT_EQ(Pos, C.Pos) << C.Caret;
    EXPECT_EQ(Len, C.Len) << C.Caret;
  }
  FormatSettings = Saved;
}

TEST(DateTimeEditFormat, FuzzedFormatsAndTexts) {
  TTodayScope Today;
  TFuzzSuite Suite{"DateTimeEditFormat", {FuzzBytes("DD/MM/YYYY HH:NN:SS"), FuzzBytes("yy.mm.dd \\h\\h hh")}, 3000, 44};
  Suite.Tokens = {"\\", "Y", "YYYY", "MM", "!", ";", "'", "\\\\", ":"};
  Suite.Hostile = {FuzzBytes(std::string(5000, 'D')), FuzzBytes(std::string(3000, '\\')), FuzzBytes("")};
  Fuzz(Suite, [](const TBytes& Bytes) {
    String Format(Bytes.begin(), Bytes.end());
    String Layout = EditFormatToElementLayout(Format);
    EditFormatToDateTimeFormat(Format);
    TDateTimeElementsMaskPosKv P;
    String Mask;
    try {
      ParseDateTimeEditFormat(Format, P, Mask);
    } catch (const Exception&) {
      return;
    }
    // Every field lies inside the layout and shows its own letter there.
    const std::pair<TElementMaskPosKv, Char> Fields[] = {{P.Year, L'Y'}, {P.Month, L'M'}, {P.Day, L'D'},
                                                         {P.Hour, L'H'}, {P.Min, L'N'},   {P.Sec, L'S'}};
    for (const auto& [E, Letter] : Fields) {
      if (!E.Present) continue;
      ASSERT_LE(E.Pos + E.Length - 1, Integer(Layout.size()));
      EXPECT_EQ(Layout[size_t(E.Pos - 1)], Letter);
    }
    String Text = Format;
    TDateTimeElementsKv Values;
    TextToElements(Text, P, Values);
    Variant V = Null;
    ElementsToValue(Values, P, V, true);
    ElementsToValue(Values, P, V, false);
    String NewText;
    Integer Pos = Integer(Bytes.size() / 2), Len = 0;
    IncrementFormatElement(Text, Layout, true, NewText, Pos, Len);
    EXPECT_EQ(NewText.size(), std::max(Text.size(), Len ? size_t(Pos - 1 + Len) : Text.size()));
  });
}
