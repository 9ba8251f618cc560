#include <gtest/gtest.h>

#include "framework/SysUtils.h"
#include "framework/WinApi.h"

namespace {

TEST(OSVersion, VersionGlobalsAgreeWithTOSVersion) {
  EXPECT_EQ(Win32Platform, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(Win32MajorVersion, TOSVersion::Major);
  EXPECT_EQ(Win32MinorVersion, TOSVersion::Minor);
  EXPECT_EQ(Win32BuildNumber, TOSVersion::Build);
  EXPECT_GE(TOSVersion::Major, 6);
  EXPECT_EQ(TOSVersion::Architecture, TOSVersion::arIntelX64);
  EXPECT_EQ(TOSVersion::Platform, TOSVersion::pfWindows);
  if (TOSVersion::ServicePackMajor > 0) {
    EXPECT_EQ(Win32CSDVersion, L"Service Pack " + IntToStr(TOSVersion::ServicePackMajor));
  }
}

TEST(OSVersion, CheckComparesMajorThenMinor) {
  const Integer Ma = Win32MajorVersion, Mi = Win32MinorVersion;
  EXPECT_TRUE(CheckWin32Version(Ma, Mi));
  EXPECT_TRUE(CheckWin32Version(Ma - 1, Mi + 5));
  EXPECT_TRUE(CheckWin32Version(5, 1));
  EXPECT_FALSE(CheckWin32Version(Ma, Mi + 1));
  EXPECT_FALSE(CheckWin32Version(Ma + 1, 0));
  EXPECT_TRUE(TOSVersion::Check(Ma, Mi));
  EXPECT_FALSE(TOSVersion::Check(Ma + 1));
  EXPECT_TRUE(TOSVersion::Check(Ma, Mi, TOSVersion::ServicePackMajor));
  EXPECT_FALSE(TOSVersion::Check(Ma, Mi, TOSVersion::ServicePackMajor + 1));
}

TEST(OSVersion, NameAndTextFollowTheVersion) {
  // Wine reports Windows 7 SP1 unless configured otherwise; other versions are checked by name.
  if (TOSVersion::Major == 6 && TOSVersion::Minor == 1) {
    EXPECT_EQ(TOSVersion::Name, L"Windows 7");
    EXPECT_EQ(TOSVersion::ToString(), L"Windows 7 Service Pack 1 (Version 6.1, Build 7601, 64-bit Edition)");
  }
  if (TOSVersion::Major == 10) {
    EXPECT_TRUE(TOSVersion::Name.rfind(L"Windows ", 0) == 0);
  }
  EXPECT_EQ(TOSVersion::ToString().rfind(TOSVersion::Name, 0), 0u);
}

TEST(OSVersion, SysErrorMessageIsTheSystemTextWithoutTheEnd) {
  String M = SysErrorMessage(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(M.empty());
  EXPECT_NE(M.back(), L'.');
  EXPECT_NE(M.back(), L'\n');
  EXPECT_EQ(SysErrorMessage(0x7FFFFFF0), L"");
}

TEST(Locale, TurkishSettingsFromTheSystem) {
  const TFormatSettings T = TFormatSettings::Create(L"tr-TR");
  EXPECT_EQ(T.DecimalSeparator, L',');
  EXPECT_EQ(T.ThousandSeparator, L'.');
  EXPECT_EQ(T.ShortDateFormat, L"dd.mm.yyyy");
  EXPECT_EQ(T.DateSeparator, L'.');
  EXPECT_EQ(T.TimeSeparator, L':');
  EXPECT_EQ(T.LongTimeFormat, L"hh:nn:ss");
  EXPECT_EQ(T.ShortTimeFormat, L"hh:nn");
  EXPECT_EQ(T.LongMonthNames[0], L"Ocak");
  EXPECT_EQ(T.LongMonthNames[7], L"Ağustos");
  EXPECT_EQ(T.LongDayNames[0], L"Pazar");  // Sunday first
  EXPECT_EQ(T.LongDayNames[1], L"Pazartesi");
  EXPECT_EQ(T.CurrencyDecimals, 2);

  const TFormatSettings ById = TFormatSettings::Create(Cardinal(0x041F));
  EXPECT_EQ(ById.ShortDateFormat, T.ShortDateFormat);
  EXPECT_EQ(ById.DecimalSeparator, T.DecimalSeparator);
}

TEST(Locale, WindowsPicturesBecomeFrameworkFormats) {
  const TFormatSettings E = TFormatSettings::Create(L"en-US");
  EXPECT_EQ(E.ShortDateFormat, L"m/d/yyyy");
  EXPECT_EQ(E.LongTimeFormat, L"h:nn:ss ampm");
  EXPECT_EQ(E.LongDateFormat, L"dddd, mmmm d, yyyy");
  EXPECT_EQ(E.DecimalSeparator, L'.');
  EXPECT_EQ(E.TimeAMString, L"AM");
  const TFormatSettings D = TFormatSettings::Create(L"de-DE");
  EXPECT_EQ(D.ShortDateFormat, L"d.m.yyyy");  // the system writes "d.M.yyyy"
  EXPECT_EQ(D.DecimalSeparator, L',');
}

TEST(Locale, InvariantAndUnknownLocales) {
  const TFormatSettings I = TFormatSettings::Invariant();
  EXPECT_EQ(I.DecimalSeparator, L'.');
  EXPECT_EQ(I.ThousandSeparator, L',');
  EXPECT_EQ(I.CurrencyString, L"\u00A4");
  EXPECT_EQ(I.ShortMonthNames[0], L"Jan");
  EXPECT_EQ(I.LongDayNames[6], L"Saturday");
  // An unknown name falls back to the user's locale.
  EXPECT_EQ(TFormatSettings::Create(L"xx-NOPE").ShortDateFormat, TFormatSettings::Create().ShortDateFormat);
  EXPECT_EQ(FormatSettings.ShortDateFormat, TFormatSettings::Create().ShortDateFormat);
}

TEST(Locale, LanguagesListsTheSystemLocales) {
  TLanguages* L = Languages();
  ASSERT_GT(L->GetCount(), 10);
  Integer I = L->IndexOf(0x041F);
  ASSERT_GE(I, 0);
  EXPECT_EQ(L->GetLocaleID(I), 0x041Fu);
  EXPECT_EQ(L->GetExt(I), L"TRK");
  EXPECT_EQ(L->GetID(I), L"$0000041F");
  EXPECT_FALSE(L->GetName(I).empty());
  EXPECT_EQ(L->GetNameFromLocaleID(0x041F), L->GetName(I));
  EXPECT_EQ(L->GetExt(L->IndexOf(0x0409)), L"ENU");
  EXPECT_EQ(L->IndexOf(0xFFFF), -1);
  EXPECT_THROW(L->GetName(-1), EListError);
  EXPECT_THROW(L->GetExt(L->GetCount()), EListError);
  EXPECT_EQ(Languages(), L);
}

TEST(Locale, SysLocaleDescribesTheUserLocale) {
  EXPECT_NE(SysLocale.DefaultLCID, 0u);
  EXPECT_EQ(SysLocale.PriLangID, Integer(SysLocale.DefaultLCID & 0x3FF));
  EXPECT_EQ(SysLocale.SubLangID, Integer((SysLocale.DefaultLCID >> 10) & 0x3F));
}

}  // namespace
