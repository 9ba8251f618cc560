#include "framework/Math.h"

#include <algorithm>

namespace {
template <class T>
TValueRelationship Compare(T A, T B) {
  return A < B ? LessThanValue : (A > B ? GreaterThanValue : EqualsValue);
}

template <class T>
bool Same(T A, T B, T Epsilon, T Resolution) {
  if (Epsilon == 0) Epsilon = std::max(std::min(std::fabs(A), std::fabs(B)) * Resolution, Resolution);
  return A > B ? (A - B) <= Epsilon : (B - A) <= Epsilon;
}

template <class T>
TValueRelationship CompareFloat(T A, T B, T Epsilon, T Resolution) {
  if (Same(A, B, Epsilon, Resolution)) return EqualsValue;
  return A < B ? LessThanValue : GreaterThanValue;
}

[[noreturn]] void InvalidOp() { throw EInvalidOp(L"Invalid floating point operation"); }

Int64 CheckedInt64(Extended X) {
  if (!(X > -9.2233720368547758e18L && X < 9.2233720368547758e18L)) InvalidOp();
  return static_cast<Int64>(X);
}

Integer CheckedInteger(Extended X) {
  if (!(X >= -2147483648.0L && X <= 2147483647.0L)) InvalidOp();
  return static_cast<Integer>(X);
}
}  // namespace

Integer MinIntValue(const std::vector<Integer>& Data) {
  if (Data.empty()) InvalidOp();
  return *std::min_element(Data.begin(), Data.end());
}
Integer MaxIntValue(const std::vector<Integer>& Data) {
  if (Data.empty()) InvalidOp();
  return *std::max_element(Data.begin(), Data.end());
}
Double MinValue(const std::vector<Double>& Data) {
  if (Data.empty()) InvalidOp();
  return *std::min_element(Data.begin(), Data.end());
}
Double MaxValue(const std::vector<Double>& Data) {
  if (Data.empty()) InvalidOp();
  return *std::max_element(Data.begin(), Data.end());
}
Double Sum(const std::vector<Double>& Data) {
  Double S = 0;
  for (Double D : Data) S += D;
  return S;
}
Int64 SumInt(const std::vector<Integer>& Data) {
  Int64 S = 0;
  for (Integer D : Data) S += D;
  return S;
}

TValueRelationship CompareValue(Integer A, Integer B) { return Compare(A, B); }
TValueRelationship CompareValue(Int64 A, Int64 B) { return Compare(A, B); }
TValueRelationship CompareValue(UInt64 A, UInt64 B) { return Compare(A, B); }
TValueRelationship CompareValue(Extended A, Extended B, Extended Epsilon) {
  return CompareFloat(A, B, Epsilon, ExtendedResolution);
}
TValueRelationship CompareValue(Double A, Double B, Double Epsilon) { return CompareFloat(A, B, Epsilon, DoubleResolution); }
TValueRelationship CompareValue(Single A, Single B, Single Epsilon) { return CompareFloat(A, B, Epsilon, SingleResolution); }

bool SameValue(Extended A, Extended B, Extended Epsilon) { return Same(A, B, Epsilon, ExtendedResolution); }
bool SameValue(Double A, Double B, Double Epsilon) { return Same(A, B, Epsilon, DoubleResolution); }
bool SameValue(Single A, Single B, Single Epsilon) { return Same(A, B, Epsilon, SingleResolution); }

bool IsZero(Extended A, Extended Epsilon) { return std::fabs(A) <= (Epsilon == 0 ? ExtendedResolution : Epsilon); }
bool IsZero(Double A, Double Epsilon) { return std::fabs(A) <= (Epsilon == 0 ? DoubleResolution : Epsilon); }
bool IsZero(Single A, Single Epsilon) { return std::fabs(A) <= (Epsilon == 0 ? SingleResolution : Epsilon); }

TValueSign Sign(Integer AValue) { return Compare(AValue, 0); }
TValueSign Sign(Int64 AValue) { return Compare(AValue, Int64(0)); }
TValueSign Sign(Double AValue) { return Compare(AValue, 0.0); }
TValueSign Sign(Extended AValue) { return Compare(AValue, 0.0L); }

Integer Floor(Extended X) { return CheckedInteger(std::floor(X)); }
Integer Ceil(Extended X) { return CheckedInteger(std::ceil(X)); }
Int64 Floor64(Extended X) { return CheckedInt64(std::floor(X)); }
Int64 Ceil64(Extended X) { return CheckedInt64(std::ceil(X)); }

Extended Power(Extended Base, Extended Exponent) {
  if (Exponent == 0) return 1;
  if (Base == 0) {
    if (Exponent > 0) return 0;
    throw EZeroDivide(L"Floating point division by zero");
  }
  if (Exponent == std::trunc(Exponent) && std::fabs(Exponent) <= 0x7FFFFFFF) return IntPower(Base, Integer(Exponent));
  if (Base < 0) InvalidOp();
  return std::pow(Base, Exponent);
}

Extended IntPower(Extended Base, Integer Exponent) {
  // Squaring keeps exact results exact: IntPower(10, 3) is 1000, not 999.99...
  Int64 N = Exponent < 0 ? -Int64(Exponent) : Int64(Exponent);
  Extended R = 1, B = Base;
  while (N > 0) {
    if (N & 1) R *= B;
    B *= B;
    N >>= 1;
  }
  return Exponent < 0 ? 1 / R : R;
}

Extended Log10(Extended X) { return std::log10(X); }
Extended Log2(Extended X) { return std::log2(X); }
Extended LogN(Extended Base, Extended X) { return std::log(X) / std::log(Base); }
Extended ArcTan2(Extended Y, Extended X) { return std::atan2(Y, X); }
Extended Hypot(Extended X, Extended Y) { return std::hypot(X, Y); }
Extended Tan(Extended X) { return std::tan(X); }

void DivMod(Cardinal Dividend, Word Divisor, Word& Result, Word& Remainder) {
  if (Divisor == 0) throw EDivByZero(L"Division by zero");
  Result = Word(Dividend / Divisor);
  Remainder = Word(Dividend % Divisor);
}

Extended RoundTo(Extended AValue, TRoundToRange ADigit) {
  Extended Factor = IntPower(10, ADigit);
  if (ADigit < 0) return Extended(Round(AValue * IntPower(10, -ADigit))) / IntPower(10, -ADigit);
  return Round(AValue / Factor) * Factor;
}

Extended SimpleRoundTo(Extended AValue, TRoundToRange ADigit) {
  Extended Factor = IntPower(10, -ADigit);  // 100 for hundredths
  Extended Scaled = AValue * Factor;
  Extended R = AValue < 0 ? -std::floor(-Scaled + 0.5L) : std::floor(Scaled + 0.5L);
  return R / Factor;
}

bool IsNan(Extended AValue) { return std::isnan(AValue); }
bool IsInfinite(Extended AValue) { return std::isinf(AValue); }

Extended Sqrt(Extended X) {
  if (X < 0) InvalidOp();
  return std::sqrt(X);
}
