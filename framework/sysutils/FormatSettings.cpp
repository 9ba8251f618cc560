#include "framework/sysutils/FormatSettings.h"

#include "framework/WinApi.h"

namespace {

const wchar_t* const EnglishShortMonths[12] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                               L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
const wchar_t* const EnglishLongMonths[12] = {L"January", L"February", L"March",     L"April",
                                              L"May",     L"June",     L"July",      L"August",
                                              L"September", L"October", L"November", L"December"};
const wchar_t* const EnglishShortDays[7] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
const wchar_t* const EnglishLongDays[7] = {L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                                           L"Thursday", L"Friday", L"Saturday"};

// Reads locale data for a locale name (null: the user's default).
class TLocaleReader {
 public:
  explicit TLocaleReader(const wchar_t* Name) : FName(Name) {}

  String Str(LCTYPE Type, const String& Default = String()) const {
    wchar_t Buf[256];
    int N = GetLocaleInfoEx(FName, Type, Buf, int(std::size(Buf)));
    if (N <= 1) return Default;
    return String(Buf, size_t(N - 1));
  }
  Char Chr(LCTYPE Type, Char Default) const {
    String S = Str(Type);
    return S.empty() ? Default : S[0];
  }
  Integer Int(LCTYPE Type, Integer Default) const {
    DWORD V = 0;
    if (GetLocaleInfoEx(FName, Type | LOCALE_RETURN_NUMBER, reinterpret_cast<wchar_t*>(&V), sizeof(V) / sizeof(wchar_t)) <= 0)
      return Default;
    return Integer(V);
  }

 private:
  const wchar_t* FName;
};

// The system writes date and time pictures with M for months, m for minutes, H for 24-hour
// and t for the AM/PM mark; the framework's formatter reads m as month (minutes as n, or m
// right after an hour), h for hours and "ampm". Quoted text passes through unchanged.
String WindowsPictureToFormat(const String& P) {
  String R;
  size_t I = 0, N = P.size();
  auto Run = [&](Char C) {
    size_t J = I;
    while (J < N && P[J] == C) ++J;
    size_t Len = J - I;
    I = J;
    return Len;
  };
  while (I < N) {
    Char C = P[I];
    if (C == L'\'') {  // literal text; '' inside is a quote
      size_t J = I + 1;
      while (J < N && P[J] != L'\'') ++J;
      R.append(P, I, std::min(J + 1, N) - I);
      I = J + 1;
      continue;
    }
    switch (C) {
      case L'M': R.append(std::min<size_t>(Run(C), 4), L'm'); break;
      case L'd': R.append(std::min<size_t>(Run(C), 4), L'd'); break;
      case L'y': R += Run(C) <= 2 ? L"yy" : L"yyyy"; break;
      case L'g': R.append(std::min<size_t>(Run(C), 2), L'g'); break;
      case L'H':
      case L'h': {
        size_t L = 0;
        while (I < N && (P[I] == L'H' || P[I] == L'h')) ++I, ++L;
        R.append(std::min<size_t>(L, 2), L'h');
        break;
      }
      case L'm': R.append(std::min<size_t>(Run(C), 2), L'n'); break;
      case L's': R.append(std::min<size_t>(Run(C), 2), L's'); break;
      case L't': Run(C); R += L"ampm"; break;
      default:
        if ((C >= L'a' && C <= L'z') || (C >= L'A' && C <= L'Z')) {
          // Any other letter would read as a format character: quote it.
          R += L'"';
          R += C;
          R += L'"';
        } else {
          R += C;
        }
        ++I;
    }
  }
  return R;
}

TFormatSettings Read(const wchar_t* Name) {
  TLocaleReader L(Name);
  TFormatSettings F = TFormatSettings::Invariant();
  F.CurrencyString = L.Str(LOCALE_SCURRENCY, F.CurrencyString);
  F.CurrencyFormat = Byte(L.Int(LOCALE_ICURRENCY, F.CurrencyFormat));
  F.NegCurrFormat = Byte(L.Int(LOCALE_INEGCURR, F.NegCurrFormat));
  F.CurrencyDecimals = Byte(L.Int(LOCALE_ICURRDIGITS, F.CurrencyDecimals));
  F.DecimalSeparator = L.Chr(LOCALE_SDECIMAL, F.DecimalSeparator);
  F.ThousandSeparator = L.Chr(LOCALE_STHOUSAND, F.ThousandSeparator);
  F.ListSeparator = L.Chr(LOCALE_SLIST, F.ListSeparator);
  F.TimeAMString = L.Str(LOCALE_S1159, F.TimeAMString);
  F.TimePMString = L.Str(LOCALE_S2359, F.TimePMString);
  F.TimeSeparator = L.Chr(LOCALE_STIME, F.TimeSeparator);

  String ShortDate = L.Str(LOCALE_SSHORTDATE);
  if (!ShortDate.empty()) {
    F.ShortDateFormat = WindowsPictureToFormat(ShortDate);
    // The separator is the first character between the fields of the short date.
    for (Char C : ShortDate)
      if (!((C >= L'a' && C <= L'z') || (C >= L'A' && C <= L'Z') || C == L'\'' || C == L' ')) {
        F.DateSeparator = C;
        break;
      }
  }
  String LongDate = L.Str(LOCALE_SLONGDATE);
  if (!LongDate.empty()) F.LongDateFormat = WindowsPictureToFormat(LongDate);
  String LongTime = L.Str(LOCALE_STIMEFORMAT);
  if (!LongTime.empty()) F.LongTimeFormat = WindowsPictureToFormat(LongTime);
  String ShortTime = L.Str(LOCALE_SSHORTTIME);
  if (!ShortTime.empty()) {
    F.ShortTimeFormat = WindowsPictureToFormat(ShortTime);
  } else if (!LongTime.empty()) {  // older systems: the long format less its seconds
    String S = F.LongTimeFormat;
    size_t P = S.find(L's');
    if (P != String::npos) {
      size_t B = P;
      while (B > 0 && S[B - 1] != L'n') --B;
      size_t E = P;
      while (E < S.size() && S[E] == L's') ++E;
      S.erase(B, E - B);
    }
    F.ShortTimeFormat = S;
  }

  for (int I = 0; I < 12; ++I) {
    F.ShortMonthNames[I] = L.Str(LOCALE_SABBREVMONTHNAME1 + I, F.ShortMonthNames[I]);
    F.LongMonthNames[I] = L.Str(LOCALE_SMONTHNAME1 + I, F.LongMonthNames[I]);
  }
  // The system lists days from Monday; the framework from Sunday.
  for (int I = 0; I < 7; ++I) {
    int Sys = (I + 6) % 7;
    F.ShortDayNames[I] = L.Str(LOCALE_SABBREVDAYNAME1 + Sys, F.ShortDayNames[I]);
    F.LongDayNames[I] = L.Str(LOCALE_SDAYNAME1 + Sys, F.LongDayNames[I]);
  }
  return F;
}

String NameOfLCID(Cardinal Locale) {
  wchar_t Buf[LOCALE_NAME_MAX_LENGTH];
  int N = LCIDToLocaleName(Locale, Buf, LOCALE_NAME_MAX_LENGTH, 0);
  return N > 1 ? String(Buf, size_t(N - 1)) : String();
}

}  // namespace

TFormatSettings TFormatSettings::Create() { return Read(nullptr); }

TFormatSettings TFormatSettings::Create(Cardinal Locale) {
  if (Locale == LOCALE_INVARIANT) return Invariant();
  if (Locale == LOCALE_USER_DEFAULT || Locale == LOCALE_SYSTEM_DEFAULT || Locale == 0)
    return Read(Locale == LOCALE_SYSTEM_DEFAULT ? LOCALE_NAME_SYSTEM_DEFAULT : nullptr);
  String Name = NameOfLCID(Locale);
  // An unknown locale falls back to the user's, as the framework does.
  return Name.empty() ? Create() : Read(Name.c_str());
}

TFormatSettings TFormatSettings::Create(const String& LocaleName) {
  if (LocaleName.empty()) return Create();
  if (!IsValidLocaleName(LocaleName.c_str())) return Create();
  return Read(LocaleName.c_str());
}

TFormatSettings TFormatSettings::Invariant() {
  TFormatSettings F;
  F.CurrencyString = L"\u00A4";
  F.CurrencyFormat = 0;
  F.NegCurrFormat = 0;
  F.CurrencyDecimals = 2;
  F.DateSeparator = L'/';
  F.TimeSeparator = L':';
  F.ListSeparator = L',';
  F.ShortDateFormat = L"MM/dd/yyyy";
  F.LongDateFormat = L"dddd, dd MMMMM yyyy";
  F.TimeAMString = L"AM";
  F.TimePMString = L"PM";
  F.ShortTimeFormat = L"hh:nn";
  F.LongTimeFormat = L"hh:nn:ss";
  for (int I = 0; I < 12; ++I) {
    F.ShortMonthNames[I] = EnglishShortMonths[I];
    F.LongMonthNames[I] = EnglishLongMonths[I];
  }
  for (int I = 0; I < 7; ++I) {
    F.ShortDayNames[I] = EnglishShortDays[I];
    F.LongDayNames[I] = EnglishLongDays[I];
  }
  F.ThousandSeparator = L',';
  F.DecimalSeparator = L'.';
  F.TwoDigitYearCenturyWindow = 50;
  return F;
}

// Made before any other global of the program so that start-up code can format.
TFormatSettings FormatSettings __attribute__((init_priority(200))) = TFormatSettings::Create();

namespace {
TSysLocale MakeSysLocale() {
  TSysLocale L;
  L.DefaultLCID = GetUserDefaultLCID();
  L.PriLangID = PRIMARYLANGID(LANGIDFROMLCID(L.DefaultLCID));
  L.SubLangID = SUBLANGID(LANGIDFROMLCID(L.DefaultLCID));
  L.FarEast = GetSystemMetrics(SM_DBCSENABLED) != 0;
  L.MiddleEast = GetSystemMetrics(SM_MIDEASTENABLED) != 0;
  return L;
}
}  // namespace

TSysLocale SysLocale __attribute__((init_priority(200))) = MakeSysLocale();

// ---- Languages --------------------------------------------------------------------------------

namespace {
BOOL CALLBACK AddLocale(LPWSTR Name, DWORD, LPARAM Param) {
  auto* Names = reinterpret_cast<std::vector<String>*>(Param);
  Names->emplace_back(Name);
  return TRUE;
}
}  // namespace

TLanguages::TLanguages() {
  std::vector<String> Names;
  EnumSystemLocalesEx(AddLocale, LOCALE_WINDOWS, reinterpret_cast<LPARAM>(&Names), nullptr);
  for (const String& N : Names) {
    if (N.empty()) continue;  // the invariant locale
    Cardinal ID = LocaleNameToLCID(N.c_str(), 0);
    // Custom and neutral locales share one placeholder id; they have no LCID of their own.
    if (ID == 0 || ID == LOCALE_CUSTOM_UNSPECIFIED || ID == LOCALE_CUSTOM_DEFAULT || IndexOf(ID) >= 0) continue;
    TLocaleReader L(N.c_str());
    FItems.push_back({ID, L.Str(LOCALE_SLOCALIZEDDISPLAYNAME, L.Str(LOCALE_SENGLISHDISPLAYNAME, N)),
                      L.Str(LOCALE_SABBREVLANGNAME)});
  }
}

const TLanguages::TItem& TLanguages::Item(Integer Index) const {
  if (Index < 0 || Index >= GetCount())
    throw EListError(Format(L"List index out of bounds (%d)", {Index}));
  return FItems[size_t(Index)];
}

String TLanguages::GetName(Integer Index) const { return Item(Index).Name; }
String TLanguages::GetExt(Integer Index) const { return Item(Index).Ext; }
Cardinal TLanguages::GetLocaleID(Integer Index) const { return Item(Index).LocaleID; }

String TLanguages::GetID(Integer Index) const {
  wchar_t Buf[16];
  swprintf(Buf, 16, L"$%08X", unsigned(Item(Index).LocaleID));
  return Buf;
}

String TLanguages::GetNameFromLocaleID(Cardinal ID) const {
  Integer I = IndexOf(ID);
  return I >= 0 ? FItems[size_t(I)].Name : String();
}

Integer TLanguages::IndexOf(Cardinal ID) const {
  for (size_t I = 0; I < FItems.size(); ++I)
    if (FItems[I].LocaleID == ID) return Integer(I);
  return -1;
}

TLanguages* Languages() {
  static TLanguages L;
  return &L;
}
