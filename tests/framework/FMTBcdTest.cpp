#include <gtest/gtest.h>

#include <cmath>

#include "framework/FMTBcd.h"
#include "framework/SysUtils.h"

namespace {

class FMTBcdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FormatSettings.DecimalSeparator = L'.';
    FormatSettings.ThousandSeparator = L',';
    FormatSettings.CurrencyString = L"TL";
    FormatSettings.CurrencyFormat = 3;
    FormatSettings.NegCurrFormat = 8;
  }
  void TearDown() override { FormatSettings = FSaved; }

 private:
  TFormatSettings FSaved = FormatSettings;
};

std::string S(const String& W) { return UTF8Encode(W); }
TBcd B(const wchar_t* Text) { return StrToBcd(Text); }
std::string Str(const TBcd& V) { return S(BcdToStr(V)); }

TEST_F(FMTBcdTest, KeepsTheFrameworksRecordLayout) {
  TBcd X = B(L"123.45");
  EXPECT_EQ(X.Precision, 5);
  EXPECT_EQ(X.SignSpecialPlaces, 2);
  EXPECT_EQ(X.Fraction[0], 0x12);
  EXPECT_EQ(X.Fraction[1], 0x34);
  EXPECT_EQ(X.Fraction[2], 0x50);
  TBcd N = B(L"-0.05");
  EXPECT_EQ(N.Precision, 2);
  EXPECT_EQ(N.SignSpecialPlaces, 0x82);
  EXPECT_EQ(N.Fraction[0], 0x05);
  EXPECT_EQ(sizeof(TBcd), 34u);
}

TEST_F(FMTBcdTest, TextRoundTrips) {
  const String Sixty4(64, L'9');
  struct Case {
    String In;
    const char* Out;  // nullptr: not a number
  };
  const Case Cases[] = {
      {L"0", "0"},           {L"-0", "0"},          {L"000123.4500", "123.45"}, {L"1e3", "1000"},
      {L"1.5E-2", "0.015"},  {L"  7 ", "7"},        {L".5", "0.5"},             {L"5.", "5"},
      {L"+2", "2"},          {Sixty4, nullptr},     {Sixty4 + L"9", nullptr},   {L"1,5", nullptr},
      {L"", nullptr},        {L"-", nullptr},       {L"1e", nullptr},           {L"1.2.3", nullptr},
      {L"abc", nullptr},     {L"12a", nullptr},
  };
  for (const auto& C : Cases) {
    TBcd X;
    bool Ok = TryStrToBcd(C.In, X);
    if (C.In == Sixty4) {
      ASSERT_TRUE(Ok);
      EXPECT_EQ(BcdToStr(X), Sixty4);
      continue;
    }
    EXPECT_EQ(Ok, C.Out != nullptr) << S(C.In);
    if (Ok && C.Out) {
      EXPECT_EQ(Str(X), C.Out) << S(C.In);
    }
  }
  try {
    StrToBcd(L"abc");
    ADD_FAILURE();
  } catch (const EBcdException& E) {
    EXPECT_EQ(E.Message(), L"'abc' is not a valid BCD value");
  }
}

TEST_F(FMTBcdTest, ArithmeticIsExactBeyondDoublePrecision) {
  struct Case {
    const wchar_t *A, *Op, *B;
    const char* R;
  };
  const Case Cases[] = {
      {L"123456789012345678901234567890.12", L"+", L"0.01", "123456789012345678901234567890.13"},
      {L"0.1", L"+", L"0.2", "0.3"},
      {L"1", L"-", L"1.000001", "-0.000001"},
      {L"-5.5", L"+", L"5.5", "0"},
      {L"99999999999999999999", L"*", L"99999999999999999999", "9999999999999999999800000000000000000001"},
      {L"1.5", L"*", L"-2", "-3"},
      {L"10", L"/", L"4", "2.5"},
      {L"-7", L"/", L"2", "-3.5"},
      {L"1", L"/", L"8", "0.125"},
      {L"6.6", L"/", L"3", "2.2"},
  };
  for (const auto& C : Cases) {
    TBcd R;
    String Op = C.Op;
    if (Op == L"+") BcdAdd(B(C.A), B(C.B), R);
    else if (Op == L"-") BcdSubtract(B(C.A), B(C.B), R);
    else if (Op == L"*") BcdMultiply(B(C.A), B(C.B), R);
    else BcdDivide(B(C.A), B(C.B), R);
    EXPECT_EQ(Str(R), C.R) << S(C.A) << S(Op) << S(C.B);
  }
}

TEST_F(FMTBcdTest, DivisionKeepsSixtyFourDigitsAndRoundsTheLast) {
  TBcd R;
  BcdDivide(B(L"1"), B(L"3"), R);
  EXPECT_EQ(Str(R), "0." + std::string(63, '3'));
  BcdDivide(B(L"2"), B(L"3"), R);
  EXPECT_EQ(Str(R), "0." + std::string(62, '6') + "7");
  BcdDivide(B(L"20"), 3, R);
  EXPECT_EQ(Str(R), "6." + std::string(62, '6') + "7");
  EXPECT_THROW(BcdDivide(B(L"1"), B(L"0"), R), EZeroDivide);
}

TEST_F(FMTBcdTest, OverflowBeyondSixtyFourIntegerDigits) {
  TBcd R;
  EXPECT_THROW(BcdAdd(B(String(64, L'9').c_str()), B(L"1"), R), EBcdOverflowException);
  EXPECT_THROW(BcdMultiply(B((L"1" + String(40, L'0')).c_str()), B((L"1" + String(30, L'0')).c_str()), R),
               EBcdOverflowException);
  // Fraction digits give way instead: 60 integer digits keep 4 decimals.
  BcdAdd(B((String(60, L'1') + L".123456789").c_str()), B(L"0"), R);
  EXPECT_EQ(Str(R), S(String(60, L'1') + L".1235"));
}

TEST_F(FMTBcdTest, CompareOrdersBySignAndMagnitude) {
  struct Case {
    const wchar_t *A, *B;
    Integer R;
  };
  const Case Cases[] = {{L"1.10", L"1.1", 0}, {L"-1", L"0.5", -1}, {L"0", L"-0", 0},
                        {L"100", L"99.999", 1}, {L"-2", L"-10", 1}, {L"0.001", L"0.0009", 1}};
  for (const auto& C : Cases) EXPECT_EQ(BcdCompare(B(C.A), B(C.B)), C.R) << S(C.A) << " " << S(C.B);
}

TEST_F(FMTBcdTest, CurrencyConversionsRoundHalvesToEven) {
  TBcd X;
  ASSERT_TRUE(CurrToBCD(Currency::FromRaw(12345), X));
  EXPECT_EQ(Str(X), "1.2345");
  ASSERT_TRUE(CurrToBCD(Currency::FromRaw(-15000), X, 10, 2));
  EXPECT_EQ(BcdScale(X), 2);
  EXPECT_EQ(Str(X), "-1.5");
  EXPECT_FALSE(CurrToBCD(Currency(123456), X, 5, 2));

  struct Case {
    const wchar_t* In;
    bool Ok;
    Int64 Raw;
  };
  const Case Cases[] = {{L"1.23455", true, 12346},  {L"1.23445", true, 12344},
                        {L"-2.50005", true, -25000}, {L"0.00005", true, 0},
                        {L"922337203685477.5807", true, INT64_MAX}, {L"922337203685477.5808", false, 0},
                        {L"-922337203685477.5808", true, INT64_MIN}};
  for (const auto& C : Cases) {
    Currency Cur;
    EXPECT_EQ(BCDToCurr(B(C.In), Cur), C.Ok) << S(C.In);
    if (C.Ok) {
      EXPECT_EQ(Cur.Raw(), C.Raw) << S(C.In);
    }
  }
}

TEST_F(FMTBcdTest, NormalizeFitsPrecisionAndScale) {
  struct Case {
    const wchar_t* In;
    Word Prec, Scale;
    const char* Out;  // nullptr: does not fit
  };
  const Case Cases[] = {{L"1.005", 10, 2, "1"},     {L"1.015", 10, 2, "1.02"}, {L"999.999", 5, 2, nullptr},
                        {L"999.99", 5, 2, "999.99"}, {L"-0.004", 4, 2, "0"},   {L"12", 4, 4, nullptr}};
  for (const auto& C : Cases) {
    TBcd Out = B(L"7");
    bool Ok = NormalizeBcd(B(C.In), Out, C.Prec, C.Scale);
    EXPECT_EQ(Ok, C.Out != nullptr) << S(C.In);
    if (!C.Out) {
      EXPECT_EQ(Str(Out), "7") << "left alone";
      continue;
    }
    EXPECT_EQ(Str(Out), C.Out) << S(C.In);
    EXPECT_EQ(Out.Precision, C.Prec);
    EXPECT_EQ(BcdScale(Out), C.Scale);
    EXPECT_FALSE(IsBcdNegative(Out) && IsBcdZero(Out));
  }
  TBcd N;
  ASSERT_TRUE(NormalizeBcd(B(L"123.4"), N, 6, 2));
  EXPECT_EQ(N.Fraction[0], 0x01);
  EXPECT_EQ(N.Fraction[1], 0x23);
  EXPECT_EQ(N.Fraction[2], 0x40);
  EXPECT_EQ(BcdPrecision(N), 3);
  EXPECT_EQ(BcdPrecision(B(L"0.5")), 0);
  EXPECT_EQ(BcdScale(B(L"0.5")), 1);
}

TEST_F(FMTBcdTest, DoubleAndIntegerConversions) {
  EXPECT_EQ(Str(DoubleToBcd(0.1)), "0.1");
  EXPECT_EQ(Str(DoubleToBcd(1e20)), "100000000000000000000");
  EXPECT_EQ(Str(DoubleToBcd(-1.5e-7)), "-0.00000015");
  EXPECT_THROW(DoubleToBcd(std::nan("")), EBcdException);
  EXPECT_EQ(BcdToDouble(B(L"0.1")), 0.1);
  EXPECT_EQ(BcdToDouble(B(L"-123456.789")), -123456.789);
  EXPECT_EQ(Str(IntegerToBcd(-2147483647 - 1)), "-2147483648");
  EXPECT_EQ(Str(Int64ToBcd(INT64_MIN)), "-9223372036854775808");
  EXPECT_EQ(BcdToInteger(B(L"2.5")), 2);
  EXPECT_EQ(BcdToInteger(B(L"3.5")), 4);
  EXPECT_EQ(BcdToInteger(B(L"-2.7"), true), -2);
  EXPECT_EQ(BcdToInt64(B(L"9223372036854775807")), INT64_MAX);
  EXPECT_THROW(BcdToInteger(B(L"3000000000")), EBcdOverflowException);
  EXPECT_THROW(BcdToInt64(B(L"9223372036854775808")), EBcdOverflowException);
}

TEST_F(FMTBcdTest, FormattedText) {
  struct Case {
    const wchar_t* In;
    TFloatFormat F;
    Integer Prec, Digits;
    const char* Out;
  };
  const Case Cases[] = {
      {L"1234567.891", ffFixed, 18, 2, "1234567.89"},
      {L"1234567.891", ffNumber, 18, 2, "1,234,567.89"},
      {L"1234567.891", ffCurrency, 18, 2, "1,234,567.89 TL"},
      {L"-1234.5", ffCurrency, 18, 2, "-1,234.50 TL"},
      {L"0.5", ffFixed, 18, 0, "0"},
      {L"1.5", ffFixed, 18, 0, "2"},
      {L"3.14159", ffGeneral, 4, 0, "3.142"},
      {L"123456789012345678901234567890.125", ffFixed, 64, 2, "123456789012345678901234567890.12"},
  };
  for (const auto& C : Cases) EXPECT_EQ(S(BcdToStrF(B(C.In), C.F, C.Prec, C.Digits)), C.Out) << S(C.In);
  EXPECT_EQ(FormatBcd(L"#,##0.00", B(L"1234.5")), L"1,234.50");
}

// ---- The variant kind -------------------------------------------------------------------------

TEST_F(FMTBcdTest, VariantKindIsExactInArithmetic) {
  Variant Big = VarFMTBcdCreate(L"123456789012345678901234567890.12", 64, 2);
  Variant Sum = Big + VarFMTBcdCreate(L"0.01", 10, 2);
  EXPECT_TRUE(VarIsFMTBcd(Sum));
  EXPECT_EQ(VarToStr(Sum), L"123456789012345678901234567890.13");
  EXPECT_EQ(VarTypeAsText(VarType(Sum)), L"FMTBcdVariantType");
  EXPECT_FALSE(VarIsNumeric(Sum));
  EXPECT_TRUE(VarIsCustom(Sum));

  struct Case {
    Variant V;
    const char* Text;
  };
  const Case Cases[] = {
      {VarFMTBcdCreate(L"1.10", 10, 2) + 2.2, "3.3"},
      {1 + VarFMTBcdCreate(L"0.5", 10, 2), "1.5"},
      {VarFMTBcdCreate(L"2", 10, 0) * Variant(Currency(1.25)), "2.5"},
      {VarFMTBcdCreate(L"10", 10, 0) / 4, "2.5"},
      {VarFMTBcdCreate(L"1", 10, 0) - Variant(L"0.25"), "0.75"},
      {Unassigned + VarFMTBcdCreate(L"7", 10, 0), "7"},
      {-VarFMTBcdCreate(L"7", 10, 0), "-7"},
  };
  for (const auto& C : Cases) {
    EXPECT_TRUE(VarIsFMTBcd(C.V)) << C.Text;
    EXPECT_EQ(S(VarToStr(C.V)), C.Text);
  }
  EXPECT_TRUE(VarIsNull(VarFMTBcdCreate(L"1", 10, 0) + Null));
  EXPECT_THROW(VarFMTBcdCreate(L"1", 10, 0) + VarArrayOf({1}), EVariantInvalidOpError);
  EXPECT_THROW(VarFMTBcdCreate(L"1", 10, 0) + Variant(L"abc"), EVariantTypeCastError);
}

TEST_F(FMTBcdTest, SummaryAccumulatesExactly) {
  // Sum, average, minimum and maximum of mixed numeric values, the way the footers total them.
  const Variant Values[] = {Variant(1.1), Variant(Currency(2.2)), Variant(3), Null, Variant(L"4.4")};
  Variant Sum = Null, Min = Null, Max = Null;
  int Count = 0;
  for (const auto& V : Values) {
    if (VarIsNull(V)) continue;
    Variant X = VarAsType(V, VarFMTBcd());
    ++Count;
    Sum = VarIsNull(Sum) ? X : Sum + X;
    if (VarIsNull(Min) || Min > X) Min = X;
    if (VarIsNull(Max) || Max < X) Max = X;
  }
  EXPECT_EQ(VarToStr(Sum), L"10.7");
  EXPECT_EQ(VarToStr(Sum / Count), L"2.675");
  EXPECT_EQ(VarToStr(Min), L"1.1");
  EXPECT_EQ(VarToStr(Max), L"4.4");
}

TEST_F(FMTBcdTest, VariantKindComparesAndConverts) {
  Variant X = VarFMTBcdCreate(L"2.5", 10, 2);
  EXPECT_EQ(VarCompareValue(X, 2), vrGreaterThan);
  EXPECT_EQ(VarCompareValue(3, X), vrGreaterThan);
  EXPECT_EQ(VarCompareValue(X, Null), vrNotEqual);
  EXPECT_TRUE(X == Variant(L"2.50"));
  EXPECT_TRUE(X < 3.0);
  EXPECT_TRUE(X == Variant(Currency(2.5)));

  EXPECT_EQ(VarAsType(X, varCurrency).AsCurrency().Raw(), 25000);
  EXPECT_EQ(VarType(VarAsType(X, varInteger)), varInteger);
  EXPECT_EQ(X.AsInteger(), 2);
  EXPECT_EQ(X.AsDouble(), 2.5);
  EXPECT_EQ(X.AsString(), L"2.5");
  EXPECT_TRUE(X.AsBoolean());
  EXPECT_EQ(Str(VarToBcd(Variant(Currency(1.5)))), "1.5");
  EXPECT_EQ(Str(VarToBcd(Variant(Int64(-12)))), "-12");
  EXPECT_THROW(VarAsType(Variant(L"abc"), VarFMTBcd()), EVariantTypeCastError);
  EXPECT_THROW(VarAsType(Null, VarFMTBcd()), EVariantTypeCastError);
  EXPECT_THROW(VarFMTBcdCreate(L"1e30", 64, 0).AsInteger(), EVariantOverflowError);
  EXPECT_THROW(VarFMTBcdCreate(L"1000", 5, 2), EBcdOverflowException);
  EXPECT_EQ(VarToStr(VarFMTBcdCreate(1.23456, 18, 4)), L"1.2346");
  EXPECT_EQ(VarToStr(VarFMTBcdCreate()), L"0");
  EXPECT_EQ(Format(L"%s", {X}), L"2.5");
}

}  // namespace
