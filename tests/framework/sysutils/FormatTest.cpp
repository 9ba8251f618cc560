#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/SysUtils.h"

namespace {

const TFormatSettings Inv = TFormatSettings::Invariant();
const TFormatSettings& TurkishFormat() {
  static const TFormatSettings S = TFormatSettings::Create(L"tr-TR");
  return S;
}

// A currency layout fixed in the test, so the cases do not depend on the locale data.
TFormatSettings TestCurrency() {
  TFormatSettings S = TFormatSettings::Invariant();
  S.CurrencyString = L"TL";
  S.CurrencyFormat = 3;   // "1 TL"
  S.NegCurrFormat = 8;    // "-1 TL"
  return S;
}

struct FormatArgsCase {
  const wchar_t* Fmt;
  std::vector<TVarRec> Args;
  const wchar_t* Expected;
};

String FormatV(const String& Fmt, const std::vector<TVarRec>& Args, const TFormatSettings& FS) {
  // Format takes an initializer list; rebuild one of the right size for the table.
  switch (Args.size()) {
    case 0: return Format(Fmt, {}, FS);
    case 1: return Format(Fmt, {Args[0]}, FS);
    case 2: return Format(Fmt, {Args[0], Args[1]}, FS);
    case 3: return Format(Fmt, {Args[0], Args[1], Args[2]}, FS);
    default: return Format(Fmt, {Args[0], Args[1], Args[2], Args[3]}, FS);
  }
}

TEST(Format, SpecifiersWidthPrecisionAndIndexes) {
  const FormatArgsCase Cases[] = {
      {L"%s indirilemedi (HTTP %d %s).", {L"Qal.exe", 404, L"Not Found"}, L"Qal.exe indirilemedi (HTTP 404 Not Found)."},
      {L"Line: %3d   Col: %3d", {7, 12}, L"Line:   7   Col:  12"},
      {L"[%5d|%-5d|%.3d|%5.3d]", {-5, 42, -5, 7}, L"[   -5|42   |-005|  007]"},
      {L"%D,%d", {1, Int64(-9000000000LL)}, L"1,-9000000000"},
      {L"%u %u", {-1, 5u}, L"4294967295 5"},
      {L"%x %.4X %x", {255, 255, Int64(-1)}, L"FF 00FF FFFFFFFFFFFFFFFF"},
      {L"%x", {-1}, L"FFFFFFFF"},
      {L"[%5s|%-5s|%.2s]", {L"abc", L"abc", L"abc"}, L"[  abc|abc  |ab]"},
      {L"%s%s", {L'ş', L"ğ"}, L"şğ"},
      {L"%1:s %0:s %s", {L"a", L"b"}, L"b a b"},
      {L" %s = :%0:s%1:s", {L"ID", L"_1"}, L" ID = :ID_1"},
      {L"[%*d|%-*d]", {4, 7, 3, 8}, L"[   7|8  ]"},
      {L"100%%", {}, L"100%"},
      {L"%f %.3f %.0f %.0f", {3.14159, 3.14159, 2.5, -2.5}, L"3.14 3.142 3 -3"},
      {L"%.2f", {-0.001}, L"0.00"},
      {L"%n", {1234567.891}, L"1,234,567.89"},
      {L"%e|%.3e", {12345.678, 12345.678}, L"1.23456780000000E+004|1.23E+004"},
      {L"%g %g %g", {0.5, 1e20, 7.8}, L"0.5 1E20 7.8"},
      {L"%m", {Currency(12.5)}, L"\u00A412.50"},
      {L"%.1f", {Currency(2.25)}, L"2.3"},
  };
  for (const auto& C : Cases) EXPECT_EQ(FormatV(C.Fmt, C.Args, Inv), C.Expected) << C.Fmt;
}

TEST(Format, FloatsFollowTheSettings) {
  EXPECT_EQ(Format(L"%.2f|%n|%g", {7.8, 1234567.891, 0.25}, TurkishFormat()), L"7,80|1.234.567,89|0,25");
  EXPECT_EQ(Format(L"%m|%m", {1234.5, -1234.5}, TestCurrency()), L"1,234.50 TL|-1,234.50 TL");
}

TEST(Format, PointerIsSixteenHexDigits) {
  const void* P = reinterpret_cast<const void*>(NativeUInt(0xABCDEF));
  EXPECT_EQ(Format(L"%p", {P}), L"0000000000ABCDEF");
}

TEST(Format, BadFormatsAndArgumentsRaiseConvertError) {
  struct Bad {
    const wchar_t* Fmt;
    std::vector<TVarRec> Args;
    const wchar_t* Message;
  };
  const Bad Cases[] = {
      {L"%d", {L"abc"}, L"Format '%d' invalid or incompatible with argument"},
      {L"%s", {5}, L"Format '%s' invalid or incompatible with argument"},
      {L"%f", {5}, L"Format '%f' invalid or incompatible with argument"},
      {L"%z", {5}, L"Format '%z' invalid or incompatible with argument"},
      {L"abc %", {5}, L"Format 'abc %' invalid or incompatible with argument"},
      {L"%d %d", {5}, L"No argument for format '%d %d'"},
      {L"%2:d", {1, 2}, L"No argument for format '%2:d'"},
  };
  for (const auto& C : Cases) {
    try {
      FormatV(C.Fmt, C.Args, Inv);
      ADD_FAILURE() << "no error for " << C.Fmt;
    } catch (const EConvertError& E) {
      EXPECT_EQ(E.Message(), C.Message);
    }
  }
}

// Format leaves Variant arguments to the Variants unit through a hook.
String FakeVariantText(const Variant&) { return L"42"; }

TEST(Format, VariantArgumentsGoThroughTheHook) {
  int Storage = 0;
  const Variant& V = *reinterpret_cast<const Variant*>(&Storage);  // only passed through
  auto Saved = FormatVariantArgHook;
  FormatVariantArgHook = nullptr;
  EXPECT_THROW(Format(L"%s", {V}), EConvertError);
  FormatVariantArgHook = &FakeVariantText;
  EXPECT_EQ(Format(L"%s/%d/%.1f", {V, V, V}, Inv), L"42/42/42.0");
  FormatVariantArgHook = Saved;
}

TEST(Format, ExceptionCreateFmtFormatsTheMessage) {
  EListError E(L"List index out of bounds (%d)", {5});
  EXPECT_EQ(E.Message(), L"List index out of bounds (5)");
}

// ---- FloatToStr / FloatToStrF -------------------------------------------------------------------

TEST(FloatToStr, ShortestFormWithFifteenDigits) {
  const std::pair<double, const wchar_t*> Cases[] = {
      {7.8, L"7.8"},       {0.1 + 0.2, L"0.3"},      {1.0 / 3, L"0.333333333333333"}, {2.0 / 3, L"0.666666666666667"},
      {-1.5, L"-1.5"},     {0, L"0"},                {-0.0, L"0"},                     {100, L"100"},
      {1e15, L"1E15"},     {123456789012345, L"123456789012345"},                      {1e20, L"1E20"},
      {0.0001, L"0.0001"}, {0.00001, L"1E-5"},       {-1.25e-7, L"-1.25E-7"},          {1.7976931348623157e308, L"1.79769313486232E308"},
  };
  for (auto [V, S] : Cases) EXPECT_EQ(FloatToStr(V, Inv), S) << V;
  EXPECT_EQ(FloatToStr(7.8, TurkishFormat()), L"7,8");
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN(), Inv), L"NAN");
  EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity(), Inv), L"-INF");
}

TEST(FloatToStr, FloatToStrFFormats) {
  struct Case {
    double V;
    TFloatFormat F;
    int Precision, Digits;
    const wchar_t* Invariant;
    const wchar_t* Turkish;
  };
  const Case Cases[] = {
      {1234.5678, ffFixed, 15, 2, L"1234.57", L"1234,57"},
      {1234.5678, ffNumber, 15, 2, L"1,234.57", L"1.234,57"},
      {-1234567.5, ffNumber, 15, 0, L"-1,234,568", L"-1.234.568"},
      {0.125, ffFixed, 15, 2, L"0.13", L"0,13"},  // halves go away from zero
      {1.23456789, ffFixed, 3, 5, L"1.23000", L"1,23000"},
      {1234.5678, ffExponent, 4, 2, L"1.235E+03", L"1,235E+03"},
      {-0.00012, ffExponent, 3, 0, L"-1.20E-4", L"-1,20E-4"},
      {1234.5678, ffGeneral, 6, 0, L"1234.57", L"1234,57"},
      {1234.5678, ffGeneral, 3, 0, L"1.23E3", L"1,23E3"},
      {1234.5678, ffGeneral, 3, 2, L"1.23E03", L"1,23E03"},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(FloatToStrF(C.V, C.F, C.Precision, C.Digits, Inv), C.Invariant) << C.V;
    EXPECT_EQ(FloatToStrF(C.V, C.F, C.Precision, C.Digits, TurkishFormat()), C.Turkish) << C.V;
  }
}

TEST(FloatToStr, CurrencyFormatsFollowTheLayouts) {
  TFormatSettings S = TestCurrency();
  const std::pair<Byte, const wchar_t*> Negative[] = {
      {0, L"(TL1,234.50)"}, {1, L"-TL1,234.50"},  {2, L"TL-1,234.50"},  {3, L"TL1,234.50-"},
      {4, L"(1,234.50TL)"}, {5, L"-1,234.50TL"},  {8, L"-1,234.50 TL"}, {9, L"-TL 1,234.50"},
      {12, L"TL -1,234.50"}, {14, L"(TL 1,234.50)"}, {15, L"(1,234.50 TL)"},
  };
  for (auto [Layout, Expected] : Negative) {
    S.NegCurrFormat = Layout;
    EXPECT_EQ(FloatToStrF(-1234.5, ffCurrency, 15, 2, S), Expected) << int(Layout);
  }
  const std::pair<Byte, const wchar_t*> Positive[] = {{0, L"TL1,234.50"}, {1, L"1,234.50TL"}, {2, L"TL 1,234.50"}, {3, L"1,234.50 TL"}};
  for (auto [Layout, Expected] : Positive) {
    S.CurrencyFormat = Layout;
    EXPECT_EQ(FloatToStrF(1234.5, ffCurrency, 15, 2, S), Expected) << int(Layout);
  }
}

TEST(FloatToStr, CurrencyValuesKeepFourDecimals) {
  EXPECT_EQ(CurrToStr(Currency(12.5), Inv), L"12.5");
  EXPECT_EQ(CurrToStr(Currency::FromRaw(-12345678), TurkishFormat()), L"-1234,5678");
  EXPECT_EQ(CurrToStr(Currency::FromRaw(922337203685477580LL), Inv), L"92233720368547.758");
  EXPECT_EQ(CurrToStrF(Currency(12.5), ffFixed, 2, Inv), L"12.50");
  EXPECT_EQ(CurrToStrF(Currency::FromRaw(12345678), ffNumber, 4, Inv), L"1,234.5678");
  EXPECT_EQ(CurrToStrF(Currency::FromRaw(-12345), ffCurrency, 2, TestCurrency()), L"-1.23 TL");
  EXPECT_EQ(CurrToStrF(Currency::FromRaw(15), ffFixed, 3, Inv), L"0.002");  // 0.0015: half away from zero
}

// ---- FormatFloat / FormatCurr -------------------------------------------------------------------

TEST(FormatFloat, PictureFormats) {
  struct Case {
    const wchar_t* Fmt;
    double V;
    const wchar_t* Invariant;
    const wchar_t* Turkish;
  };
  const Case Cases[] = {
      {L"0", 2.5, L"3", L"3"},
      {L"0", -2.5, L"-3", L"-3"},
      {L"00", 7, L"07", L"07"},
      {L"00000", 42, L"00042", L"00042"},
      {L"0.00", 1.005, L"1.00", L"1,00"},  // 1.005 is stored just below the half
      {L"0.00", 0.125, L"0.13", L"0,13"},
      {L"0.00", -0.001, L"0.00", L"0,00"},
      {L"#,##0.00", 1234567.891, L"1,234,567.89", L"1.234.567,89"},
      {L"#,##0", -1234, L"-1,234", L"-1.234"},
      {L"#,##0.00", 0.5, L"0.50", L"0,50"},
      {L"0.###", 1.5, L"1.5", L"1,5"},
      {L"0.###", 2, L"2", L"2"},
      {L"#.##", 0.5, L".5", L",5"},
      {L"#", 0, L"", L""},
      {L"0-00", 123, L"1-23", L"1-23"},
      {L"0.00E+00", 12345, L"1.23E+04", L"1,23E+04"},
      {L"0.0E-0", 0.00012, L"1.2E-4", L"1,2E-4"},
      {L"0.0E-0", 12, L"1.2E1", L"1,2E1"},
      {L"0;(0);'zero'", -5, L"(5)", L"(5)"},
      {L"0;(0);'zero'", 0, L"zero", L"zero"},
      {L"0;;'zero'", -5, L"-5", L"-5"},
      {L"'Total: '#,##0 \"kg\"", 1500, L"Total: 1,500 kg", L"Total: 1.500 kg"},
      {L"", 1.5, L"1.5", L"1,5"},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(FormatFloat(C.Fmt, C.V, Inv), C.Invariant) << C.Fmt << " " << C.V;
    EXPECT_EQ(FormatFloat(C.Fmt, C.V, TurkishFormat()), C.Turkish) << C.Fmt << " " << C.V;
  }
}

TEST(FormatFloat, FormatCurrUsesTheExactValue) {
  EXPECT_EQ(FormatCurr(L"#,##0.00", Currency(1234.5), Inv), L"1,234.50");
  EXPECT_EQ(FormatCurr(L"0.000", Currency::FromRaw(12345), TurkishFormat()), L"1,235");  // 1.2345, half away from zero
  EXPECT_EQ(FormatCurr(L"0.0000", Currency::FromRaw(922337203685477580LL), Inv), L"92233720368547.7580");
}

// ---- Parsing ------------------------------------------------------------------------------------

TEST(StrToFloat, AcceptsOnlyTheSettingsDecimalSeparator) {
  struct Case {
    const wchar_t* S;
    bool InvariantOk;
    double InvariantValue;
    bool TurkishOk;
    double TurkishValue;
  };
  const Case Cases[] = {
      {L"7.9", true, 7.9, false, 0},       {L"7,9", false, 0, true, 7.9},   {L" 1.5 ", true, 1.5, false, 0},
      {L"1e3", true, 1000, true, 1000},    {L"1.5E-2", true, 0.015, false, 0}, {L"-.5", true, -0.5, false, 0},
      {L"5.", true, 5, false, 0},          {L"+3", true, 3, true, 3},       {L"", false, 0, false, 0},
      {L"abc", false, 0, false, 0},        {L"1.2.3", false, 0, false, 0},  {L"1,234.5", false, 0, false, 0},
      {L"1e", false, 0, false, 0},         {L"e5", false, 0, false, 0},     {L"1e5000", false, 0, false, 0},
      {L"12abc", false, 0, false, 0},      {L"\u00A01", false, 0, false, 0},
  };
  for (const auto& C : Cases) {
    Extended V = -1;
    EXPECT_EQ(TryStrToFloat(C.S, V, Inv), C.InvariantOk) << C.S;
    if (C.InvariantOk) {
      EXPECT_DOUBLE_EQ(double(V), C.InvariantValue) << C.S;
    }
    V = -1;
    EXPECT_EQ(TryStrToFloat(C.S, V, TurkishFormat()), C.TurkishOk) << C.S;
    if (C.TurkishOk) {
      EXPECT_DOUBLE_EQ(double(V), C.TurkishValue) << C.S;
    }
  }
  EXPECT_EQ(StrToFloatDef(L"7,9", 0, Inv), 0);
  double D = 0;
  EXPECT_TRUE(TryStrToFloat(L"0.1", D, Inv));
  EXPECT_EQ(D, 0.1);
  float F = 0;
  EXPECT_FALSE(TryStrToFloat(L"1e300", F, Inv));
}

TEST(StrToFloat, RoundTripsWithFloatToStr) {
  for (double V : {7.8, 0.1, 1.0 / 3, -123456.789, 1e-10, 6.02214076e23})
    for (const TFormatSettings* S : {&Inv, &TurkishFormat()})
      EXPECT_NEAR(double(StrToFloat(FloatToStr(V, *S), *S)), V, std::fabs(V) * 1e-14) << V;
}

TEST(StrToFloat, ErrorsNameTheText) {
  try {
    StrToFloat(L"abc", Inv);
    FAIL();
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), L"'abc' is not a valid floating point value");
  }
  EXPECT_THROW(StrToCurr(L"1e20", Inv), EConvertError);  // beyond the Currency range
}

TEST(StrToFloat, CurrencyParsing) {
  EXPECT_EQ(StrToCurr(L"12,3456", TurkishFormat()).Raw(), 123456);
  EXPECT_EQ(StrToCurr(L"-0.5", Inv).Raw(), -5000);
  EXPECT_EQ(StrToCurrDef(L"x", Currency(7), Inv).Raw(), 70000);
  Currency C;
  EXPECT_FALSE(TryStrToCurr(L"1.5", C, TurkishFormat()));
  EXPECT_THROW(FloatToCurr(1e300), EConvertError);
  EXPECT_EQ(FloatToCurr(1.23456).Raw(), 12346);
}

TEST(StrToInt, DecimalAndHexInThe32BitRange) {
  const std::pair<const wchar_t*, Integer> Good[] = {
      {L"123", 123},       {L" 42", 42},         {L"-17", -17},       {L"+5", 5},
      {L"$FF", 255},       {L"0x1f", 31},        {L"0X1F", 31},       {L"$FFFFFFFF", -1},
      {L"-$10", -16},      {L"2147483647", 2147483647}, {L"-2147483648", -2147483647 - 1}, {L"007", 7},
  };
  for (auto [S, V] : Good) {
    Integer R = 0;
    EXPECT_TRUE(TryStrToInt(S, R)) << S;
    EXPECT_EQ(R, V) << S;
  }
  for (const wchar_t* S : {L"", L" ", L"2147483648", L"-2147483649", L"$100000000", L"12 ", L"1.5", L"abc", L"$",
                           L"0x", L"1e3", L"--1", L"\u0661"}) {
    Integer R = 0;
    EXPECT_FALSE(TryStrToInt(S, R)) << S;
  }
  EXPECT_EQ(StrToIntDef(L"x", 7), 7);
  try {
    StrToInt(L"abc");
    FAIL();
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), L"'abc' is not a valid integer value");
  }
}

TEST(StrToInt, Int64Range) {
  EXPECT_EQ(StrToInt64(L"9223372036854775807"), std::numeric_limits<Int64>::max());
  EXPECT_EQ(StrToInt64(L"-9223372036854775808"), std::numeric_limits<Int64>::min());
  EXPECT_EQ(StrToInt64(L"$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(StrToInt64(L"4294967296"), 4294967296LL);
  EXPECT_EQ(StrToInt64Def(L"9223372036854775808", 3), 3);
  EXPECT_THROW(StrToInt64(L"1 2"), EConvertError);
}

TEST(IntToStr, DecimalAndHex) {
  EXPECT_EQ(IntToStr(-42), L"-42");
  EXPECT_EQ(IntToStr(std::numeric_limits<Int64>::min()), L"-9223372036854775808");
  EXPECT_EQ(UIntToStr(Cardinal(4294967295u)), L"4294967295");
  EXPECT_EQ(IntToHex(255, 4), L"00FF");
  EXPECT_EQ(IntToHex(0xABCDE, 2), L"ABCDE");
  EXPECT_EQ(IntToHex(-1, 2), L"FFFFFFFF");
  EXPECT_EQ(IntToHex(Int64(-1), 4), L"FFFFFFFFFFFFFFFF");
}

TEST(BoolToStr, NamesAndNumbers) {
  EXPECT_EQ(BoolToStr(true), L"-1");
  EXPECT_EQ(BoolToStr(false), L"0");
  EXPECT_EQ(BoolToStr(true, true), L"True");
  EXPECT_EQ(BoolToStr(false, true), L"False");
  const std::pair<const wchar_t*, bool> Cases[] = {{L"True", true}, {L"false", false}, {L"TRUE", true}, {L"0", false}, {L"-1", true}, {L"5", true}};
  for (auto [S, B] : Cases) EXPECT_EQ(StrToBool(S), B) << S;
  try {
    StrToBool(L"yes");
    FAIL();
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), L"'yes' is not a valid boolean value");
  }
  EXPECT_TRUE(StrToBoolDef(L"?", true));
}

}  // namespace
