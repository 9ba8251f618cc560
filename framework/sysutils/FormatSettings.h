#pragma once
// The locale's number, currency and date conventions that every conversion routine takes, either
// from the global FormatSettings or from a TFormatSettings passed with the call.

#include "framework/System.h"

struct TFormatSettings {
  String CurrencyString;
  Byte CurrencyFormat = 0;
  Byte CurrencyDecimals = 2;
  Char DateSeparator = L'/';
  Char TimeSeparator = L':';
  Char ListSeparator = L',';
  String ShortDateFormat = L"MM/dd/yyyy";
  String LongDateFormat = L"dddd, dd MMMMM yyyy";
  String TimeAMString = L"AM";
  String TimePMString = L"PM";
  String ShortTimeFormat = L"hh:nn";
  String LongTimeFormat = L"hh:nn:ss";
  String ShortMonthNames[12];
  String LongMonthNames[12];
  String ShortDayNames[7];  // Sunday first
  String LongDayNames[7];
  Char ThousandSeparator = L',';
  Char DecimalSeparator = L'.';
  Word TwoDigitYearCenturyWindow = 50;
  Byte NegCurrFormat = 0;

  // The user's default locale, a locale by id, or by name ("tr-TR").
  static TFormatSettings Create();
  static TFormatSettings Create(Cardinal Locale);
  static TFormatSettings Create(const String& LocaleName);
  // Fixed settings independent of the machine: "." decimal, "," thousands, English names.
  static TFormatSettings Invariant();
};

// The program-wide settings, read from the user's locale when the program starts.
extern TFormatSettings FormatSettings;
