#include <gtest/gtest.h>

#include "framework/Classes.h"
#include "framework/IniFiles.h"
#include "framework/Registry.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"

namespace {

String TempIni(const wchar_t* Name) {
  wchar_t Dir[MAX_PATH];
  GetTempPathW(MAX_PATH, Dir);
  String P = String(Dir) + Name;
  DeleteFileW(P.c_str());
  return P;
}

std::vector<String> Lines(TStrings& L) {
  std::vector<String> R;
  for (Integer I = 0; I < L.GetCount(); ++I) R.push_back(L.GetStrings(I));
  return R;
}

std::string FileBytes(const String& Path) {
  TFileStream F(Path, fmOpenRead | fmShareDenyNone);
  std::string B(size_t(F.GetSize()), '\0');
  if (!B.empty()) F.ReadBuffer(B.data(), Integer(B.size()));
  return B;
}

// Both ini classes behave the same through TCustomIniFile.
template <class T>
void CheckTypedValues(TCustomIniFile& Ini) {
  Ini.WriteString(L"Zelkor50", L"Server", L"sunucu-ığüşöç");
  Ini.WriteInteger(L"Zelkor50", L"Port", 5432);
  Ini.WriteBool(L"DemoData", L"Active", true);
  Ini.WriteFloat(L"DemoData", L"Ratio", 2.5);
  Ini.WriteString(L"DemoData", L"Hex", L"$1F");
  EXPECT_EQ(Ini.ReadString(L"zelkor50", L"server", L"?"), L"sunucu-ığüşöç");
  EXPECT_EQ(Ini.ReadInteger(L"Zelkor50", L"Port", 0), 5432);
  EXPECT_EQ(Ini.ReadInteger(L"Zelkor50", L"Server", -1), -1);  // not a number
  EXPECT_EQ(Ini.ReadInteger(L"DemoData", L"Hex", 0), 31);
  EXPECT_TRUE(Ini.ReadBool(L"DemoData", L"Active", false));
  EXPECT_EQ(Ini.ReadFloat(L"DemoData", L"Ratio", 0), 2.5);
  EXPECT_EQ(Ini.ReadString(L"Nope", L"Nope", L"def"), L"def");
  EXPECT_TRUE(Ini.SectionExists(L"DemoData"));
  EXPECT_TRUE(Ini.ValueExists(L"Zelkor50", L"Port"));
  TStringList L;
  Ini.ReadSections(&L);
  EXPECT_GE(L.IndexOf(L"Zelkor50"), 0);
  EXPECT_GE(L.IndexOf(L"DemoData"), 0);
  Ini.ReadSectionValues(L"Zelkor50", &L);
  EXPECT_EQ(Lines(L), (std::vector<String>{L"Server=sunucu-ığüşöç", L"Port=5432"}));
  Ini.DeleteKey(L"Zelkor50", L"Port");
  Ini.ReadSection(L"Zelkor50", &L);
  EXPECT_EQ(Lines(L), std::vector<String>{L"Server"});
  Ini.EraseSection(L"DemoData");
  EXPECT_FALSE(Ini.SectionExists(L"DemoData"));
}

TEST(IniFiles, IniFileWritesTypedValuesAndKeepsOtherKeys) {
  String Path = TempIni(L"qal_test_ini.ini");
  {
    TFileStream F(Path, fmCreate);
    std::string Old = "; kept\r\n[Database]\r\nDBServer=old\r\nOther=1\r\n";
    F.WriteBuffer(Old.data(), Integer(Old.size()));
  }
  {
    TIniFile Ini(Path);
    CheckTypedValues<TIniFile>(Ini);
    Ini.WriteString(L"Database", L"DBServer", L"new");
  }
  // Turned UTF-16 when the Turkish letters do not fit the ANSI code page (they fit 1254, the
  // code page of a Turkish user).
  BOOL Lost = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, L"ığüşöç", 6, nullptr, 0, nullptr, &Lost);
  std::string B = FileBytes(Path);
  EXPECT_EQ(B.substr(0, 2) == "\xFF\xFE", bool(Lost));
  TIniFile Again(Path);
  EXPECT_EQ(Again.ReadString(L"Database", L"Other", L""), L"1");
  EXPECT_EQ(Again.ReadString(L"Database", L"DBServer", L""), L"new");
  EXPECT_EQ(Again.ReadString(L"Zelkor50", L"Server", L""), L"sunucu-ığüşöç");
  String Text = Lost ? String(reinterpret_cast<const wchar_t*>(B.data() + 2), (B.size() - 2) / 2)
                     : String(B.begin(), B.end());
  EXPECT_NE(Text.find(L"; kept"), String::npos);  // the comment survived the conversion
  DeleteFileW(Path.c_str());
}

TEST(IniFiles, MemIniFileSavesOnUpdateAndKeepsTurkishLetters) {
  String Path = TempIni(L"qal_test_memini.ini");
  {
    TMemIniFile Ini(Path);
    CheckTypedValues<TMemIniFile>(Ini);
    EXPECT_EQ(GetFileAttributesW(Path.c_str()), INVALID_FILE_ATTRIBUTES);  // nothing written yet
    Ini.UpdateFile();
  }
  std::string B = FileBytes(Path);
  ASSERT_GE(B.size(), 2u);
  EXPECT_EQ(B.substr(0, 2), "\xFF\xFE");  // UTF-16, so the letters survive
  TMemIniFile Again(Path);
  EXPECT_EQ(Again.ReadString(L"Zelkor50", L"Server", L""), L"sunucu-ığüşöç");
  // The system's profile functions read the same file.
  TIniFile Sys(Path);
  EXPECT_EQ(Sys.ReadString(L"Zelkor50", L"Server", L""), L"sunucu-ığüşöç");
  DeleteFileW(Path.c_str());
}

TEST(IniFiles, MemIniFileKeepsCommentsAndReadsUtf8) {
  String Path = TempIni(L"qal_test_utf8.ini");
  {
    TFileStream F(Path, fmCreate);
    std::string Old = "; yorum\r\n[A]\r\nx=" + UTF8Encode(L"ğ") + "\r\n\r\n[B]\r\ny=2\r\n";
    F.WriteBuffer(Old.data(), Integer(Old.size()));
  }
  TMemIniFile Ini(Path);
  EXPECT_EQ(Ini.ReadString(L"A", L"x", L""), L"ğ");
  Ini.WriteString(L"A", L"z", L"3");
  TStringList L;
  Ini.GetStrings(&L);
  EXPECT_EQ(Lines(L), (std::vector<String>{L"; yorum", L"[A]", L"x=ğ", L"z=3", L"", L"[B]", L"y=2"}));
  DeleteFileW(Path.c_str());
}

// ---- Registry ----

// Each test has a key of its own: CTest runs them side by side in one registry.
class RegistryTest : public testing::Test {
 protected:
  String Base = L"\\Software\\QalTests\\" + UTF8ToString(testing::UnitTest::GetInstance()->current_test_info()->name());
  String TestKey = Base + L"\\Components";
  void TearDown() override {
    TRegistry R;
    R.DeleteKey(Base);
  }
};

TEST_F(RegistryTest, ValuesOfEveryTypeAreWrittenAndReadBack) {
  {
    TRegistry R(KEY_ALL_ACCESS | KEY_WOW64_64KEY);
    R.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(R.OpenKey(TestKey, true));
    EXPECT_EQ(R.GetCurrentPath(), TestKey.substr(1));
    R.WriteString(L"DisplayName", L"Zelkor Perakende İşlem");
    R.WriteExpandString(L"ImagePath", L"%ProgramFiles%\\Zelkor");
    R.WriteInteger(L"PosType", -2);
    R.WriteBool(L"CertPropEnabled", true);
    R.WriteFloat(L"Ratio", 0.125);
    R.WriteDateTime(L"Installed", TDateTime(45123.5));
    R.WriteCurrency(L"Price", Currency(9.99));
    const Byte Data[] = {1, 2, 3, 0xFF};
    R.WriteBinaryData(L"Blob", Data, 4);
    EXPECT_TRUE(R.CreateKey(L"Sub1"));
    EXPECT_TRUE(R.CreateKey(L"Sub2\\Deeper"));
    R.CloseKey();
  }
  TRegistry R(KEY_READ);
  ASSERT_TRUE(R.OpenKeyReadOnly(TestKey));
  EXPECT_EQ(R.ReadString(L"DisplayName"), L"Zelkor Perakende İşlem");
  EXPECT_EQ(R.ReadString(L"ImagePath"), L"%ProgramFiles%\\Zelkor");
  EXPECT_EQ(R.GetDataType(L"ImagePath"), rdExpandString);
  EXPECT_EQ(R.GetDataType(L"DisplayName"), rdString);
  EXPECT_EQ(R.ReadInteger(L"PosType"), -2);
  EXPECT_EQ(R.GetDataType(L"PosType"), rdInteger);
  EXPECT_TRUE(R.ReadBool(L"CertPropEnabled"));
  EXPECT_EQ(R.ReadFloat(L"Ratio"), 0.125);
  EXPECT_EQ(double(R.ReadDate(L"Installed")), 45123.5);
  EXPECT_EQ(R.ReadCurrency(L"Price").Raw(), 99900);
  Byte Back[8] = {};
  EXPECT_EQ(R.ReadBinaryData(L"Blob", Back, 8), 4);
  EXPECT_EQ(Back[3], 0xFF);
  EXPECT_EQ(R.GetDataSize(L"Blob"), 4);
  EXPECT_EQ(R.GetDataSize(L"Missing"), -1);
  EXPECT_EQ(R.ReadString(L"Missing"), L"");
  EXPECT_THROW(R.ReadInteger(L"Missing"), ERegistryException);
  try {
    R.ReadInteger(L"DisplayName");
    FAIL();
  } catch (const ERegistryException& E) {
    EXPECT_EQ(E.Message(), L"Invalid data type for 'DisplayName'");
  }
  EXPECT_THROW(R.WriteString(L"X", L"read-only key"), ERegistryException);
  TStringList L;
  R.GetKeyNames(&L);
  EXPECT_EQ(Lines(L), (std::vector<String>{L"Sub1", L"Sub2"}));
  R.GetValueNames(&L);
  EXPECT_EQ(L.GetCount(), 8);
  EXPECT_TRUE(R.ValueExists(L"Blob"));
  EXPECT_TRUE(R.HasSubKeys());
  EXPECT_TRUE(R.KeyExists(L"Sub2\\Deeper"));
  EXPECT_FALSE(R.KeyExists(L"Sub3"));
}

TEST_F(RegistryTest, KeysAreDeletedWithTheirSubkeysAndValuesOneByOne) {
  TRegistry R;
  ASSERT_TRUE(R.OpenKey(TestKey, true));
  R.CreateKey(L"A\\B\\C");
  R.WriteString(L"V", L"1");
  EXPECT_TRUE(R.DeleteValue(L"V"));
  EXPECT_FALSE(R.DeleteValue(L"V"));
  EXPECT_TRUE(R.DeleteKey(L"A"));
  EXPECT_FALSE(R.KeyExists(L"A"));
  R.CloseKey();
  EXPECT_FALSE(R.OpenKey(Base + L"\\NotThere", false));
  EXPECT_TRUE(R.KeyExists(TestKey));
  EXPECT_TRUE(R.DeleteKey(Base));
  EXPECT_FALSE(R.KeyExists(TestKey));
}

TEST_F(RegistryTest, RegIniFileUsesSubkeysAsSectionsAndTheDefaultValue) {
  {
    TRegIniFile Ini(Base.substr(1) + L"\\Layouts");
    Ini.WriteString(L"Grid1", L"Col1", L"0,120,Ürün");
    Ini.WriteString(L"Grid1", L"", L"20,1");  // the section's default value
    Ini.WriteInteger(L"Grid1", L"Count", 3);
    Ini.WriteString(L"Grid2", L"Num", L"42");
    EXPECT_EQ(Ini.ReadString(L"Grid1", L"", L""), L"20,1");
    EXPECT_EQ(Ini.ReadInteger(L"Grid1", L"Count", 0), 3);
    EXPECT_EQ(Ini.ReadInteger(L"Grid2", L"Num", 0), 42);  // a number held as text
    EXPECT_EQ(Ini.ReadString(L"Grid1", L"Count", L""), L"3");
    TStringList L;
    Ini.ReadSections(&L);
    EXPECT_EQ(Lines(L), (std::vector<String>{L"Grid1", L"Grid2"}));
    TCustomIniFile* AsIni = &Ini;
    EXPECT_TRUE(Is<TRegIniFile>(AsIni));
    AsIni->EraseSection(L"Grid1");
    EXPECT_FALSE(Ini.SectionExists(L"Grid1"));
    EXPECT_EQ(Ini.ReadString(L"Grid1", L"Col1", L"gone"), L"gone");
  }
  TRegistry R;
  EXPECT_TRUE(R.KeyExists(Base + L"\\Layouts\\Grid2"));
}

}  // namespace
