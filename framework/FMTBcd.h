#pragma once
// FMTBcd: exact decimal numbers of up to 64 digits (TBcd), their arithmetic and text forms, and
// the FMT BCD custom variant kind, which joins variant arithmetic and comparison exactly.
// Results that need more than 64 digits lose fraction digits (rounded half to even, as the
// framework rounds); more than 64 integer digits raise EBcdOverflowException "BCD overflow".

#include "framework/Variants.h"
#include "framework/sysutils/Format.h"

// Precision digits packed two to a byte, high nibble first, integer digits before the
// fraction; SignSpecialPlaces holds the sign (0x80) and the count of fraction digits (low 6 bits).
struct TBcd {
  Byte Precision = 0;
  Byte SignSpecialPlaces = 0;
  Byte Fraction[32] = {};
};
static_assert(sizeof(TBcd) == 34, "TBcd keeps the framework's layout");

constexpr Integer MaxFMTBcdFractionSize = 64;
constexpr Integer MaxFMTBcdDigits = 32;  // bytes of Fraction
constexpr Byte DefaultFMTBcdScale = 6;

extern const TBcd NullBcd;

// Text with the settings' decimal separator, an optional sign and exponent.
// Raises EBcdException "'x' is not a valid BCD value".
TBcd StrToBcd(const String& AValue);
TBcd StrToBcd(const String& AValue, const TFormatSettings& AFormatSettings);
bool TryStrToBcd(const String& AValue, TBcd& Bcd);
bool TryStrToBcd(const String& AValue, TBcd& Bcd, const TFormatSettings& AFormatSettings);
// The shortest text: no trailing fraction zeros, "0" for zero.
String BcdToStr(const TBcd& Bcd);
String BcdToStr(const TBcd& Bcd, const TFormatSettings& AFormatSettings);
// As FloatToStrF, exactly: ffFixed, ffNumber and ffCurrency round to Digits decimals;
// ffGeneral to Precision significant digits; ffExponent goes through Double.
String BcdToStrF(const TBcd& Bcd, TFloatFormat Format, Integer Precision, Integer Digits);
String BcdToStrF(const TBcd& Bcd, TFloatFormat Format, Integer Precision, Integer Digits,
                 const TFormatSettings& AFormatSettings);
// A picture format ("#,##0.00"), through Currency when the value fits it exactly, else Double.
String FormatBcd(const String& Format, const TBcd& Bcd);

void BcdAdd(const TBcd& bcdIn1, const TBcd& bcdIn2, TBcd& bcdOut);
void BcdSubtract(const TBcd& bcdIn1, const TBcd& bcdIn2, TBcd& bcdOut);
void BcdMultiply(const TBcd& bcdIn1, const TBcd& bcdIn2, TBcd& bcdOut);
// Raises EZeroDivide on a zero divisor.
void BcdDivide(const TBcd& Dividend, const TBcd& Divisor, TBcd& bcdOut);
void BcdDivide(const TBcd& Dividend, Integer Divisor, TBcd& bcdOut);
// -1, 0 or 1.
Integer BcdCompare(const TBcd& bcd1, const TBcd& bcd2);
bool IsBcdNegative(const TBcd& Bcd);
bool IsBcdZero(const TBcd& Bcd);

// Through the 15 significant digits FloatToStr shows, so 0.1 gives exactly 0.1.
TBcd DoubleToBcd(Double Value);
void DoubleToBcd(Double Value, TBcd& bcd);
Double BcdToDouble(const TBcd& Bcd);
bool CurrToBCD(Currency Curr, TBcd& BCD, Integer Precision = 32, Integer Decimals = 4);
// False when the value is outside Currency's range; four decimals, halves to even.
bool BCDToCurr(const TBcd& BCD, Currency& Curr);
TBcd IntegerToBcd(Integer Value);
TBcd Int64ToBcd(Int64 Value);
// Rounds (halves to even) unless Truncate; raises EBcdOverflowException outside Integer.
Integer BcdToInteger(const TBcd& Bcd, bool Truncate = false);
Int64 BcdToInt64(const TBcd& Bcd, bool Truncate = false);

// Exactly Prec digits with Scale of them after the point (the fraction rounded, halves to
// even); false, leaving OutBcd alone, when the integer part needs more than Prec - Scale digits.
bool NormalizeBcd(const TBcd& InBcd, TBcd& OutBcd, Word Prec, Word Scale);
// Significant digits before the point (0 for a value below 1).
Word BcdPrecision(const TBcd& Bcd);
// Digits after the point.
Word BcdScale(const TBcd& Bcd);

// ---- The FMT BCD variant kind -----------------------------------------------------------------

TVarType VarFMTBcd();
bool VarIsFMTBcd(const Variant& AValue);
bool VarIsFMTBcd(TVarType AVarType);
Variant VarFMTBcdCreate();  // zero
Variant VarFMTBcdCreate(const TBcd& ABcd);
void VarFMTBcdCreate(Variant& ADest, const TBcd& ABcd);
// Text in the locale's format, normalised to Precision and Scale.
Variant VarFMTBcdCreate(const String& AValue, Word Precision, Word Scale);
Variant VarFMTBcdCreate(Double AValue, Word Precision = 18, Word Scale = 4);
// Any numeric, string or FMT BCD variant as a TBcd; raises EVariantTypeCastError otherwise.
TBcd VarToBcd(const Variant& AValue);
