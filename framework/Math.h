#pragma once
// Math: Min/Max and range helpers, comparisons with a tolerance, rounding to a decimal place,
// powers, and the elementary functions under the framework's names.

#include <cmath>
#include <limits>
#include <type_traits>

#include "framework/System.h"

using TValueRelationship = Integer;  // -1, 0, 1
inline constexpr TValueRelationship LessThanValue = -1;
inline constexpr TValueRelationship EqualsValue = 0;
inline constexpr TValueRelationship GreaterThanValue = 1;
using TValueSign = Integer;
inline constexpr TValueSign NegativeValue = -1;
inline constexpr TValueSign ZeroValue = 0;
inline constexpr TValueSign PositiveValue = 1;

// Tolerances used when SameValue/IsZero/CompareValue get no epsilon.
inline constexpr Extended ExtendedResolution = 1E-19L * 1000;
inline constexpr Double DoubleResolution = 1E-15 * 1000;
inline constexpr Single SingleResolution = 1E-7f * 1000;

inline constexpr Extended Pi = 3.1415926535897932384626433832795L;
inline const Double NaN = std::numeric_limits<Double>::quiet_NaN();
inline const Double Infinity = std::numeric_limits<Double>::infinity();
inline const Double NegInfinity = -std::numeric_limits<Double>::infinity();

namespace fw_detail {
// The type Min/Max of two arithmetic values gives: the wider float, or a signed integer wide
// enough for both (as Pascal widens Integer and Cardinal to Int64).
template <class A, class B>
using MinMaxType = std::conditional_t<
    std::is_floating_point_v<A> || std::is_floating_point_v<B>, std::common_type_t<A, B>,
    std::conditional_t<std::is_signed_v<A> == std::is_signed_v<B>, std::common_type_t<A, B>, Int64>>;
}  // namespace fw_detail

template <class A, class B, class = std::enable_if_t<std::is_arithmetic_v<A> && std::is_arithmetic_v<B>>>
constexpr fw_detail::MinMaxType<A, B> Min(A X, B Y) {
  using R = fw_detail::MinMaxType<A, B>;
  return R(X) < R(Y) ? R(X) : R(Y);
}
template <class A, class B, class = std::enable_if_t<std::is_arithmetic_v<A> && std::is_arithmetic_v<B>>>
constexpr fw_detail::MinMaxType<A, B> Max(A X, B Y) {
  using R = fw_detail::MinMaxType<A, B>;
  return R(X) > R(Y) ? R(X) : R(Y);
}
inline Currency Min(Currency X, Currency Y) { return X < Y ? X : Y; }
inline Currency Max(Currency X, Currency Y) { return X > Y ? X : Y; }

Integer MinIntValue(const std::vector<Integer>& Data);
Integer MaxIntValue(const std::vector<Integer>& Data);
Double MinValue(const std::vector<Double>& Data);
Double MaxValue(const std::vector<Double>& Data);
Double Sum(const std::vector<Double>& Data);
Int64 SumInt(const std::vector<Integer>& Data);

template <class T>
constexpr bool InRange(T AValue, T AMin, T AMax) {
  return AValue >= AMin && AValue <= AMax;
}
// AValue clipped to AMin..AMax.
template <class T>
constexpr T EnsureRange(T AValue, T AMin, T AMax) {
  return AValue < AMin ? AMin : (AValue > AMax ? AMax : AValue);
}

TValueRelationship CompareValue(Integer A, Integer B);
TValueRelationship CompareValue(Int64 A, Int64 B);
TValueRelationship CompareValue(UInt64 A, UInt64 B);
TValueRelationship CompareValue(Extended A, Extended B, Extended Epsilon = 0);
TValueRelationship CompareValue(Double A, Double B, Double Epsilon = 0);
TValueRelationship CompareValue(Single A, Single B, Single Epsilon = 0);
// Equal within Epsilon; with no epsilon, within a tolerance relative to the smaller magnitude.
bool SameValue(Extended A, Extended B, Extended Epsilon = 0);
bool SameValue(Double A, Double B, Double Epsilon = 0);
bool SameValue(Single A, Single B, Single Epsilon = 0);
bool IsZero(Extended A, Extended Epsilon = 0);
bool IsZero(Double A, Double Epsilon = 0);
bool IsZero(Single A, Single Epsilon = 0);

TValueSign Sign(Integer AValue);
TValueSign Sign(Int64 AValue);
TValueSign Sign(Double AValue);
TValueSign Sign(Extended AValue);

// Toward minus and plus infinity; EInvalidOp when the result leaves the Integer range.
Integer Floor(Extended X);
Integer Ceil(Extended X);
Int64 Floor64(Extended X);
Int64 Ceil64(Extended X);

Extended Power(Extended Base, Extended Exponent);
Extended IntPower(Extended Base, Integer Exponent);
Extended Log10(Extended X);
Extended Log2(Extended X);
Extended LogN(Extended Base, Extended X);
Extended ArcTan2(Extended Y, Extended X);
Extended Hypot(Extended X, Extended Y);
Extended Tan(Extended X);
void DivMod(Cardinal Dividend, Word Divisor, Word& Result, Word& Remainder);

// Rounds to a power of ten: ADigit -2 rounds to hundredths, 2 to hundreds. RoundTo sends
// halves to even as Round does; SimpleRoundTo sends them away from zero.
using TRoundToRange = Integer;  // -37..37
Extended RoundTo(Extended AValue, TRoundToRange ADigit);
Extended SimpleRoundTo(Extended AValue, TRoundToRange ADigit = -2);

bool IsNan(Extended AValue);
bool IsInfinite(Extended AValue);

// The elementary functions under the framework's names.
inline Extended Sin(Extended X) { return std::sin(X); }
inline Extended Cos(Extended X) { return std::cos(X); }
inline Extended ArcTan(Extended X) { return std::atan(X); }
inline Extended Exp(Extended X) { return std::exp(X); }
inline Extended Ln(Extended X) { return std::log(X); }
// Raises EInvalidOp for a negative argument, as the framework's Sqrt does.
Extended Sqrt(Extended X);
template <class T, class = std::enable_if_t<std::is_arithmetic_v<T>>>
constexpr T Abs(T X) {
  return X < 0 ? T(-X) : X;
}
template <class T, class = std::enable_if_t<std::is_arithmetic_v<T>>>
constexpr T Sqr(T X) {
  return X * X;
}
