// One rule for every case-insensitive text routine (equal AnsiUpperCase forms), the file-system
// rule for file names and ini keys, and both under a Turkish user locale. CTest runs these suites
// a second time with the process's user locale set to tr_TR (QAL_LOCALE=tr_TR).
#include <gtest/gtest.h>

#include "LocaleScope.h"
#include "framework/Classes.h"
#include "framework/IniFiles.h"
#include "framework/StrUtils.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"

namespace {

bool TurkicCasing(Cardinal LCID) {
  Word Lang = PRIMARYLANGID(LANGIDFROMLCID(LCID));
  return Lang == LANG_TURKISH || Lang == LANG_AZERI;
}

// Pairs of texts of one length, and whether they are equal ignoring case under each locale.
struct TCasePair {
  const wchar_t *A, *B;
  bool Turkish, English;
};
const TCasePair CasePairs[] = {
    {L"i", L"İ", true, false},
    {L"ı", L"I", true, true},
    {L"i", L"I", false, true},
    {L"ı", L"İ", false, false},
    {L"ı", L"i", false, true},
    {L"ini", L"INI", false, true},
    {L"ini", L"İNİ", true, false},
    {L"şifre", L"ŞİFRE", true, false},
    {L"Ağaç", L"AĞAÇ", true, true},
    {L"ab", L"ac", false, false},
};

// Every case-insensitive text routine gives the same answer for A and B.
void ExpectEveryRoutineSays(const String& A, const String& B, bool Equal) {
  SCOPED_TRACE(testing::Message() << "A=" << A << " B=" << B);
  EXPECT_EQ(AnsiSameText(A, B), Equal);
  EXPECT_EQ(AnsiCompareText(A, B) == 0, Equal);
  EXPECT_EQ(AnsiCompareText(B, A) == 0, Equal);
  EXPECT_EQ(AnsiStrIComp(A.c_str(), B.c_str()) == 0, Equal);
  EXPECT_EQ(AnsiStrLIComp(A.c_str(), B.c_str(), Cardinal(B.size())) == 0, Equal);
  EXPECT_EQ(AnsiUpperCase(A) == AnsiUpperCase(B), Equal);
  EXPECT_EQ(StartsText(A, B), Equal);
  EXPECT_EQ(EndsText(A, B), Equal);
  EXPECT_EQ(ContainsText(A, B), Equal);
  EXPECT_EQ(ContainsText(L"x" + B + L"y", A), Equal);
  EXPECT_EQ(StringReplace(B, A, L"#", {rfIgnoreCase}) == L"#", Equal);
  EXPECT_EQ(ReplaceText(L"<" + B + L">", A, L"#") == L"<#>", Equal);
  EXPECT_EQ(IndexText(A, {String(L"-"), B}) == 1, Equal);
  TStringList L;
  L.Add(L"-");
  L.Add(B + L"=1");
  L.Add(B);
  EXPECT_EQ(L.IndexOf(A) == 2, Equal);
  EXPECT_EQ(L.IndexOfName(A) == 1, Equal);
  EXPECT_EQ(L.GetValues(A) == L"1", Equal);
  L.SetSorted(true);
  Integer Index = -1;
  EXPECT_EQ(L.Find(A, Index), Equal);
  L.SetCaseSensitive(true);
  EXPECT_EQ(L.IndexOf(A) >= 0, A == B);
}

TEST(CaseRules, EveryTextRoutineFollowsTheTurkishCasing) {
  LocaleScope L(Turkish);
  for (const auto& P : CasePairs) ExpectEveryRoutineSays(P.A, P.B, P.Turkish);
}

TEST(CaseRules, EveryTextRoutineFollowsTheEnglishCasing) {
  LocaleScope L(English);
  for (const auto& P : CasePairs) ExpectEveryRoutineSays(P.A, P.B, P.English);
}

TEST(CaseRules, TheUserLocaleChoosesTheCasing) {
  // CTest's Turkish run asks for a Turkish user; the routines then need no scope at all.
  if (GetEnvironmentVariable(L"QAL_LOCALE") == L"tr_TR") {
    EXPECT_EQ(SysLocale.DefaultLCID, Turkish);
    EXPECT_EQ(AnsiUpperCase(L"iIıİ"), L"İIIİ");
  }
  bool Turkic = TurkicCasing(SysLocale.DefaultLCID);
  for (const auto& P : CasePairs) ExpectEveryRoutineSays(P.A, P.B, Turkic ? P.Turkish : P.English);
}

TEST(CaseRules, OrderIsTheCollationOfTheUpperCaseForms) {
  for (Cardinal Locale : {Turkish, English}) {
    LocaleScope L(Locale);
    EXPECT_LT(AnsiCompareText(L"çay", L"DERE"), 0) << Locale;
    EXPECT_GT(AnsiCompareText(L"b", L"A"), 0) << Locale;
    EXPECT_LT(AnsiCompareText(L"ab", L"ABC"), 0) << Locale;
    // Antisymmetric, and zero only for equal upper-case forms, even where the collation
    // ignores a character.
    const wchar_t* Texts[] = {L"a", L"A", L"a\u200Bb", L"ab", L"i", L"İ", L"ı", L"I", L"şu", L"su"};
    for (const wchar_t* X : Texts)
      for (const wchar_t* Y : Texts) {
        Integer XY = AnsiCompareText(X, Y), YX = AnsiCompareText(Y, X);
        EXPECT_EQ(XY < 0, YX > 0) << Locale << " " << X << " " << Y;
        EXPECT_EQ(XY == 0, AnsiUpperCase(X) == AnsiUpperCase(Y)) << Locale << " " << X << " " << Y;
      }
  }
}

TEST(CaseRules, SearchesAgreeOnTheIssuesExample) {
  // Under a Turkish user "ini" is "İNİ" in upper case: none of the text routines finds it in
  // "SETUP.INI", while the file-name comparison does.
  LocaleScope L(Turkish);
  EXPECT_FALSE(ContainsText(L"SETUP.INI", L"ini"));
  EXPECT_FALSE(EndsText(L".ini", L"SETUP.INI"));
  EXPECT_EQ(StringReplace(L"SETUP.INI", L".ini", L".bak", {rfIgnoreCase}), L"SETUP.INI");
  EXPECT_TRUE(ContainsText(L"KURULUM.İNİ", L"ini"));
  EXPECT_TRUE(SameFileName(ExtractFileExt(L"SETUP.INI"), L".ini"));
}

TEST(FileNameRules, FileNamesIgnoreCaseAsTheFileSystemDoes) {
  const std::tuple<const wchar_t*, const wchar_t*, bool> Cases[] = {
      {L"setup.ini", L"SETUP.INI", true},
      {L"C:\\Zelkor\\Şube.ini", L"c:\\ZELKOR\\şUBE.INI", true},
      {L"ğüşöç.txt", L"ĞÜŞÖÇ.TXT", true},
      {L"i", L"İ", false},  // the file system has no Turkish casing
      {L"a.txt", L"a.txt ", false},
      {L"a", L"b", false},
  };
  for (Cardinal Locale : {Turkish, English}) {
    LocaleScope L(Locale);
    for (const auto& [A, B, Same] : Cases) {
      EXPECT_EQ(SameFileName(A, B), Same) << Locale << " " << A << " " << B;
      EXPECT_EQ(AnsiCompareFileName(A, B) == 0, Same) << A << " " << B;
    }
    EXPECT_LT(AnsiCompareFileName(L"a", L"B"), 0);
    EXPECT_GT(AnsiCompareFileName(L"b", L"A"), 0);
  }
}

TEST(FileNameRules, FileNamesFollowTheFileSystemUnderTheUserLocale) {
  // Files that differ only in case are one file: the system finds "setup.ini" as "SETUP.INI".
  wchar_t Dir[MAX_PATH];
  GetTempPathW(MAX_PATH, Dir);
  String Path = String(Dir) + L"qal_case_rules_setup.ini";
  {
    TStringList L;
    L.Add(L"[a]");
    L.SaveToFile(Path);
  }
  String Upper = String(Dir) + L"QAL_CASE_RULES_SETUP.INI";
  EXPECT_TRUE(FileExists(Upper));
  EXPECT_TRUE(SameFileName(ExtractFileName(Path), ExtractFileName(Upper)));
  DeleteFile(Path);
}

TEST(FileNameRules, IniSectionsAndKeysMatchAsTheProfileFunctionsMatchThem) {
  wchar_t Dir[MAX_PATH];
  GetTempPathW(MAX_PATH, Dir);
  String Path = String(Dir) + L"qal_case_rules_keys.ini";
  {
    TStringList L;
    for (const wchar_t* S : {L"[Ayarlar]", L"Şube=1", L"INI=2", L"İl=3", L"Isı=4"}) L.Add(S);
    L.SetWriteBOM(true);
    L.SaveToFile(Path, TEncoding::Unicode());
  }
  TMemIniFile Mem(Path);
  TIniFile Sys(Path);
  for (Cardinal Locale : {Turkish, English}) {
    LocaleScope L(Locale);
    EXPECT_EQ(Mem.ReadString(L"AYARLAR", L"şube", L"?"), L"1");  // ş and Ş are one letter to the file system
    EXPECT_EQ(Mem.ReadString(L"ayarlar", L"ini", L"?"), L"2");   // and i is I, even for a Turkish user
    EXPECT_EQ(Mem.ReadString(L"ayarlar", L"il", L"?"), L"?");    // but not İ
    // Wine's profile functions fold only ASCII letters, so the two agree where i, I, İ and ı meet.
    for (const wchar_t* Key : {L"ŞUBE", L"ini", L"Ini", L"INI", L"İNİ", L"İl", L"il", L"IL", L"ISI", L"isı", L"ISİ"})
      EXPECT_EQ(Mem.ReadString(L"ayarlar", Key, L"?"), Sys.ReadString(L"ayarlar", Key, L"?")) << Locale << " " << Key;
  }
  DeleteFile(Path);
}

}  // namespace
