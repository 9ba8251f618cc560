// Names of components, properties, enumeration values, classes and colours follow one rule
// (SameIdent: only 'A'..'Z' fold), whatever the user's locale; digits in streams and ini files
// are ASCII digits only.
#include <gtest/gtest.h>

#include "../sysutils/LocaleScope.h"
#include "framework/Classes.h"
#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/IniFiles.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"

namespace {

struct TNamePair {
  const wchar_t *Declared, *Asked;
  bool Same;
};

TEST(Identifiers, OnlyAsciiLettersFoldUnderEveryLocale) {
  const TNamePair Cases[] = {
      {L"Button1", L"BUTTON1", true}, {L"_x9", L"_X9", true},      {L"Edit", L"EDİT", false},
      {L"EDIT", L"edıt", false},      {L"Şube", L"şube", false},   {L"Şube", L"ŞUBE", true},
      {L"ab", L"abc", false},         {L"a", L"b", false},         {L"", L"", true},
  };
  for (Cardinal Locale : {0x041Fu, 0x0409u}) {
    LocaleScope L(Locale);
    for (const auto& C : Cases) {
      EXPECT_EQ(SameIdent(C.Declared, C.Asked), C.Same) << C.Declared << " " << C.Asked;
      EXPECT_EQ(CompareIdent(C.Declared, C.Asked) == 0, C.Same) << C.Declared << " " << C.Asked;
      EXPECT_EQ(CompareIdent(C.Declared, C.Asked) < 0, CompareIdent(C.Asked, C.Declared) > 0);
    }
  }
  EXPECT_LT(CompareIdent(L"abc", L"ABD"), 0);
  EXPECT_GT(CompareIdent(L"b", L"A"), 0);
}

TEST(Identifiers, ComponentsControlsPropertiesEnumsAndColoursAgree) {
  const TNamePair Cases[] = {
      {L"Hint", L"HINT", true},         {L"Hint", L"hint", true},       {L"Hint", L"HİNT", false},
      {L"Hint", L"hınt", false},        {L"Visible", L"VISIBLE", true}, {L"Visible", L"vİsİble", false},
  };
  const TNamePair Components[] = {{L"Şube1", L"ŞUBE1", true}, {L"Şube1", L"şube1", false}, {L"Liste", L"LİSTE", false}};
  for (Cardinal Locale : {0x041Fu, 0x0409u}) {
    LocaleScope L(Locale);
    for (const auto& C : Cases) {
      SCOPED_TRACE(testing::Message() << Locale << " " << C.Declared << " " << C.Asked);
      TComponent Owner(nullptr);
      TCustomControl Parent(nullptr);
      auto* Child = new TCustomControl(&Owner);
      Child->SetName(C.Declared);
      Child->SetParent(&Parent);
      EXPECT_EQ(Owner.FindComponent(C.Asked) == Child, C.Same);
      EXPECT_EQ(Parent.FindChildControl(C.Asked) == Child, C.Same);
      EXPECT_EQ(GetPropInfo(Child, C.Declared) != nullptr, true);
      EXPECT_EQ(GetPropInfo(Child, C.Asked) != nullptr, C.Same);
      Child->SetParent(nullptr);
    }
    for (const auto& C : Components) {
      SCOPED_TRACE(testing::Message() << Locale << " " << C.Declared << " " << C.Asked);
      TComponent Owner(nullptr);
      TCustomControl Parent(nullptr);
      auto* Child = new TCustomControl(&Owner);
      Child->SetName(C.Declared);
      Child->SetParent(&Parent);
      EXPECT_EQ(Owner.FindComponent(C.Asked) == Child, C.Same);
      EXPECT_EQ(Parent.FindChildControl(C.Asked) == Child, C.Same);
      Child->SetParent(nullptr);
    }
    EXPECT_EQ(GetEnumValue(TypeInfo<TAlign>(), L"ALCLIENT"), Integer(alClient));
    EXPECT_EQ(GetEnumValue(TypeInfo<TAlign>(), L"alclİent"), -1);
    Integer Color = 0;
    EXPECT_TRUE(IdentToColor(L"CLWHITE", Color));
    EXPECT_FALSE(IdentToColor(L"CLWHİTE", Color));
    RegisterClass(TCustomControl::StaticClass());
    EXPECT_EQ(GetClass(L"TCUSTOMCONTROL"), TCustomControl::StaticClass());
    EXPECT_EQ(GetClass(L"TCUSTOMCONTROl"), TCustomControl::StaticClass());
  }
}

TEST(Identifiers, RenamingChecksDuplicatesByTheSameRule) {
  TComponent Owner(nullptr);
  auto* A = new TComponent(&Owner);
  auto* B = new TComponent(&Owner);
  A->SetName(L"Liste");
  EXPECT_THROW(B->SetName(L"LISTE"), EComponentError);
  B->SetName(L"LİSTE");  // another name: İ is no ASCII letter
  EXPECT_EQ(Owner.FindComponent(L"liste"), A);
  EXPECT_EQ(Owner.FindComponent(L"lİste"), B);
}

std::string NamesTextToBinary(const std::string& T) {
  TMemoryStream In, Out;
  In.Write(T.data(), Integer(T.size()));
  In.SetPosition(0);
  ObjectTextToBinary(&In, &Out);
  return std::string(static_cast<const char*>(Out.GetMemory()), size_t(Out.GetSize()));
}

TEST(Digits, FormTextTakesOnlyAsciiDigits) {
  const std::string Arabic3 = "\xD9\xA3";  // U+0663, a digit to Unicode but not to a form
  const std::pair<std::string, bool> Cases[] = {
      {"Tag = 12", true},
      {"Tag = $1F", true},
      {"Tag = -7", true},
      {"Caption = #65#66", true},
      {"Tag = " + Arabic3, false},
      {"Tag = 1" + Arabic3, false},
      {"Tag = $" + Arabic3, false},
      {"Caption = #" + Arabic3, false},
      {"Data = {0A1b}", true},
      {"Data = {0A" + Arabic3 + "1}", false},
      {"object B" + Arabic3 + ": TForm end", false},  // names take ASCII digits too
  };
  for (const auto& [Line, Ok] : Cases) {
    std::string T = "object F: TForm\r\n  " + Line + "\r\nend\r\n";
    if (Ok)
      EXPECT_NO_THROW(NamesTextToBinary(T)) << Line;
    else
      EXPECT_THROW(NamesTextToBinary(T), EParserError) << Line;
  }
}

TEST(Digits, IniNumbersTakeOnlyAsciiDigits) {
  wchar_t Dir[MAX_PATH];
  GetTempPathW(MAX_PATH, Dir);
  TMemIniFile Ini(String(Dir) + L"qal_names_digits.ini");
  const std::pair<const wchar_t*, Integer> Cases[] = {
      {L"12", 12},  {L"$1F", 31},  {L"0x1f", 31},         {L"-5", -5},
      {L"1a", -1},  {L"$1G", -1},  {L"\u0663", -1},       {L"1\u0663", -1},
      {L"$\u0663", -1}, {L"\uFF11", -1},  // a full-width 1
  };
  for (const auto& [Text, Value] : Cases) {
    Ini.WriteString(L"N", L"V", Text);
    EXPECT_EQ(Ini.ReadInteger(L"N", L"V", -1), Value) << Text;
  }
  Ini.WriteString(L"N", L"B", L"0A\u0663F");
  TMemoryStream M;
  EXPECT_EQ(Ini.ReadBinaryStream(L"N", L"B", &M), 1);  // stops at the first pair that is no hex
}

}  // namespace
