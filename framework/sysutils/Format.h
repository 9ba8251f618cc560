#pragma once
// SysUtils formatting and conversions between numbers and text: Format, the float and
// currency formatters, and the integer, float, currency and Boolean parsers. Every routine
// that depends on the locale has an overload taking a TFormatSettings last; the others use
// the global FormatSettings.

#include "framework/sysutils/FormatSettings.h"

// ---- Format -----------------------------------------------------------------------------------

// Format(const String& Fmt, TVarRecs Args) is declared in System.h.
String Format(const String& Fmt, TVarRecs Args, const TFormatSettings& AFormatSettings);
// How Format turns a Variant argument into text; set by the Variants unit. While it is null,
// a Variant argument raises EConvertError.
extern String (*FormatVariantArgHook)(const Variant& V);

// ---- Floats and currency to text --------------------------------------------------------------

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
enum TFloatValue { fvExtended, fvCurrency };

// Shortest general form with 15 significant digits: "7.8", "1E20", "-0.001".
String FloatToStr(Extended Value);
String FloatToStr(Extended Value, const TFormatSettings& AFormatSettings);
String FloatToStrF(Extended Value, TFloatFormat Format, Integer Precision, Integer Digits);
String FloatToStrF(Extended Value, TFloatFormat Format, Integer Precision, Integer Digits,
                   const TFormatSettings& AFormatSettings);
// Picture formats: "#,##0.00", "0.###E+00", "0;(0);zero", quoted text.
String FormatFloat(const String& Format, Extended Value);
String FormatFloat(const String& Format, Extended Value, const TFormatSettings& AFormatSettings);
String FormatCurr(const String& Format, Currency Value);
String FormatCurr(const String& Format, Currency Value, const TFormatSettings& AFormatSettings);
String CurrToStr(Currency Value);
String CurrToStr(Currency Value, const TFormatSettings& AFormatSettings);
String CurrToStrF(Currency Value, TFloatFormat Format, Integer Digits);
String CurrToStrF(Currency Value, TFloatFormat Format, Integer Digits, const TFormatSettings& AFormatSettings);

// ---- Text to floats and currency --------------------------------------------------------------

// Blanks around the number are allowed; the decimal separator is the settings' one, and an
// exponent ("1,5E3") is accepted. Raises EConvertError "'x' is not a valid floating point value".
Extended StrToFloat(const String& S);
Extended StrToFloat(const String& S, const TFormatSettings& AFormatSettings);
Extended StrToFloatDef(const String& S, Extended Default);
Extended StrToFloatDef(const String& S, Extended Default, const TFormatSettings& AFormatSettings);
bool TryStrToFloat(const String& S, Extended& Value);
bool TryStrToFloat(const String& S, Extended& Value, const TFormatSettings& AFormatSettings);
bool TryStrToFloat(const String& S, Double& Value);
bool TryStrToFloat(const String& S, Double& Value, const TFormatSettings& AFormatSettings);
bool TryStrToFloat(const String& S, Single& Value);
bool TryStrToFloat(const String& S, Single& Value, const TFormatSettings& AFormatSettings);

Currency StrToCurr(const String& S);
Currency StrToCurr(const String& S, const TFormatSettings& AFormatSettings);
Currency StrToCurrDef(const String& S, Currency Default);
Currency StrToCurrDef(const String& S, Currency Default, const TFormatSettings& AFormatSettings);
bool TryStrToCurr(const String& S, Currency& Value);
bool TryStrToCurr(const String& S, Currency& Value, const TFormatSettings& AFormatSettings);

// Raises EConvertError when Value does not fit a Currency.
Currency FloatToCurr(Extended Value);
bool TryFloatToCurr(Extended Value, Currency& AResult);

// ---- Integers ---------------------------------------------------------------------------------

String IntToStr(Integer Value);
String IntToStr(Int64 Value);
String UIntToStr(Cardinal Value);
String UIntToStr(UInt64 Value);
inline String IntToStr(long Value) { return IntToStr(Int64(Value)); }
inline String IntToStr(Cardinal Value) { return UIntToStr(Value); }
inline String IntToStr(unsigned long Value) { return UIntToStr(Cardinal(Value)); }
inline String IntToStr(UInt64 Value) { return UIntToStr(Value); }
// Upper-case hex with at least Digits digits; negative values show their two's complement.
String IntToHex(Integer Value, Integer Digits);
String IntToHex(Int64 Value, Integer Digits);
String IntToHex(UInt64 Value, Integer Digits);

// Decimal, or hex written "$1F", "0x1F" or "0X1F"; blanks before the number are allowed.
// StrToInt raises EConvertError "'x' is not a valid integer value" outside the 32-bit range.
Integer StrToInt(const String& S);
Integer StrToIntDef(const String& S, Integer Default);
bool TryStrToInt(const String& S, Integer& Value);
Int64 StrToInt64(const String& S);
Int64 StrToInt64Def(const String& S, Int64 Default);
bool TryStrToInt64(const String& S, Int64& Value);

// ---- Booleans ---------------------------------------------------------------------------------

// "True"/"False" with UseBoolStrs, else "-1"/"0".
String BoolToStr(bool B, bool UseBoolStrs = false);
// Accepts "True"/"False" in any case and numbers (0 is false, anything else true).
bool StrToBool(const String& S);
bool StrToBoolDef(const String& S, bool Default);
bool TryStrToBool(const String& S, bool& Value);
extern const wchar_t* const DefaultTrueBoolStr;
extern const wchar_t* const DefaultFalseBoolStr;
