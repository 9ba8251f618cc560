#include <gtest/gtest.h>

#include "framework/Math.h"

namespace {

TEST(Math, MinMaxWidenMixedSignedness) {
  EXPECT_EQ(Min(-1, 2u), -1);  // not 4294967295, as plain C++ would give
  EXPECT_EQ(Max(-1, 2u), 2);
  static_assert(std::is_same_v<decltype(Max(1, 2u)), Int64>);
  static_assert(std::is_same_v<decltype(Max(1, 2)), Integer>);
  EXPECT_EQ(Max(1.5, 2), 2.0);
  EXPECT_EQ(Min(Int64(5), 3), 3);
  EXPECT_EQ(Max(Currency(1), Currency(2)).Raw(), 20000);
  EXPECT_EQ(MinIntValue({3, 1, 2}), 1);
  EXPECT_EQ(MaxIntValue({3, 1, 2}), 3);
  EXPECT_EQ(MaxValue({1.5, 3.5, -2}), 3.5);
  EXPECT_EQ(MinValue({1.5, 3.5, -2}), -2);
  EXPECT_THROW(MaxIntValue({}), EInvalidOp);
}

TEST(Math, RangesAndComparisons) {
  EXPECT_TRUE(InRange(5, 1, 10));
  EXPECT_TRUE(InRange(10, 1, 10));
  EXPECT_FALSE(InRange(11, 1, 10));
  EXPECT_EQ(EnsureRange(15, 1, 10), 10);
  EXPECT_EQ(EnsureRange(-3, 1, 10), 1);
  EXPECT_EQ(CompareValue(3, 2), GreaterThanValue);
  EXPECT_EQ(CompareValue(Int64(-3), Int64(2)), LessThanValue);
  EXPECT_EQ(CompareValue(1.0, 1.0 + 1e-13), EqualsValue);  // within the default tolerance
  EXPECT_EQ(CompareValue(1.0, 1.1), LessThanValue);
  EXPECT_EQ(CompareValue(1.0, 1.1, 0.2), EqualsValue);
  EXPECT_TRUE(SameValue(0.1 + 0.2, 0.3));
  EXPECT_FALSE(SameValue(1.0, 1.001));
  EXPECT_TRUE(SameValue(1.0, 1.001, 0.01));
  EXPECT_TRUE(SameValue(1e20, 1e20 * (1 + 1e-14)));  // relative to the magnitude
  EXPECT_TRUE(IsZero(1e-13));
  EXPECT_FALSE(IsZero(1e-11));
  EXPECT_TRUE(IsZero(0.05, 0.1));
  EXPECT_EQ(Sign(-3), NegativeValue);
  EXPECT_EQ(Sign(0.0), ZeroValue);
  EXPECT_EQ(Sign(Int64(7)), PositiveValue);
}

TEST(Math, FloorCeilAndRounding) {
  EXPECT_EQ(Floor(-1.5), -2);
  EXPECT_EQ(Ceil(-1.5), -1);
  EXPECT_EQ(Floor(2.0), 2);
  EXPECT_EQ(Ceil(2.000001), 3);
  EXPECT_THROW(Floor(1e10), EInvalidOp);
  EXPECT_EQ(Floor64(1e10), 10000000000LL);

  const std::tuple<double, int, double, double> Cases[] = {
      // value, digit, RoundTo (halves to even), SimpleRoundTo (halves away from zero)
      {1.125, -2, 1.12, 1.13}, {-1.125, -2, -1.12, -1.13}, {2.5, 0, 2, 3},      {3.5, 0, 4, 4},
      {1250, 2, 1200, 1300},   {1234.5678, -2, 1234.57, 1234.57},              {-2.5, 0, -2, -3},
  };
  for (auto [V, D, R, S] : Cases) {
    EXPECT_DOUBLE_EQ(double(RoundTo(V, D)), R) << V << " " << D;
    EXPECT_DOUBLE_EQ(double(SimpleRoundTo(V, D)), S) << V << " " << D;
  }
}

TEST(Math, PowersAndElementaryFunctions) {
  EXPECT_EQ(Power(2, 10), 1024);
  EXPECT_EQ(IntPower(10, 3), 1000);
  EXPECT_DOUBLE_EQ(double(IntPower(10, -2)), 0.01);
  EXPECT_DOUBLE_EQ(double(Power(2, 0.5)), std::sqrt(2.0));
  EXPECT_EQ(Power(-2, 3), -8);
  EXPECT_EQ(Power(0, 0), 1);
  EXPECT_THROW(Power(-8, 1.0 / 3), EInvalidOp);
  EXPECT_THROW(Power(0, -1), EZeroDivide);
  EXPECT_THROW(Sqrt(-1), EInvalidOp);
  EXPECT_EQ(Sqrt(16), 4);
  EXPECT_EQ(Abs(-5), 5);
  EXPECT_EQ(Abs(-2.5), 2.5);
  EXPECT_EQ(Sqr(3), 9);
  EXPECT_DOUBLE_EQ(double(Log10(1000)), 3);
  EXPECT_NEAR(double(Sin(Pi / 2)), 1, 1e-15);
  EXPECT_TRUE(IsNan(NaN));
  EXPECT_FALSE(IsNan(1.0));
  EXPECT_TRUE(IsInfinite(NegInfinity));
  EXPECT_FALSE(IsInfinite(NaN));
  Word Q = 0, R = 0;
  DivMod(100, 7, Q, R);
  EXPECT_EQ(Q, 14);
  EXPECT_EQ(R, 2);
  EXPECT_THROW(DivMod(1, 0, Q, R), EDivByZero);
}

}  // namespace
