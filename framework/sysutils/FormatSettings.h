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

// The user's locale as the text routines see it: right-to-left scripts (MiddleEast) and
// double-byte input (FarEast) switch on special handling in editors.
struct TSysLocale {
  Cardinal DefaultLCID = 0;
  Integer PriLangID = 0;
  Integer SubLangID = 0;
  bool FarEast = false;
  bool MiddleEast = false;
};
extern TSysLocale SysLocale;

// The locales the system knows, in the order the system lists them.
class TLanguages : public TObject {
  DECLARE_CLASS(TLanguages, TObject)
 public:
  TLanguages();
  Integer GetCount() const { return Integer(FItems.size()); }
  // The localized display name, e.g. "Turkish (Turkey)".
  String GetName(Integer Index) const;
  // The three-letter abbreviation (LOCALE_SABBREVLANGNAME), e.g. "TRK".
  String GetExt(Integer Index) const;
  Cardinal GetLocaleID(Integer Index) const;
  // The locale id as the framework writes it, "$0000041F".
  String GetID(Integer Index) const;
  String GetNameFromLocaleID(Cardinal ID) const;
  // The position of a locale id, -1 when unknown.
  Integer IndexOf(Cardinal ID) const;

 private:
  struct TItem {
    Cardinal LocaleID;
    String Name, Ext;
  };
  std::vector<TItem> FItems;
  const TItem& Item(Integer Index) const;
};

// The shared list, made on first use.
TLanguages* Languages();
