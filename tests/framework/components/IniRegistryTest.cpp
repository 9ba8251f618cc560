#include <gtest/gtest.h>

#include "framework/Classes.h"
#include "framework/IniFiles.h"
#include "framework/Registry.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "tests/framework/FuzzHarness.h"

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

// The profile functions' view of a file: every section's key=value lines, in order.
std::vector<String> ProfileView(const String& Path) {
  TIniFile Ini(Path);
  TStringList Sections, Values;
  Ini.ReadSections(&Sections);
  std::vector<String> R;
  for (Integer I = 0; I < Sections.GetCount(); ++I) {
    Ini.ReadSectionValues(Sections.GetStrings(I), &Values);
    R.push_back(L"[" + Sections.GetStrings(I) + L"]");
    for (const String& L : Lines(Values)) R.push_back(L);
  }
  return R;
}

void WriteIniBytes(const String& Path, const std::string& Bytes) {
  TFileStream F(Path, fmCreate);
  if (!Bytes.empty()) F.WriteBuffer(Bytes.data(), Integer(Bytes.size()));
}

std::string IniUtf16Bytes(const String& S, bool BigEndian) {
  std::string B = BigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (wchar_t C : S) {
    const char Lo = char(C & 0xFF), Hi = char(C >> 8);
    B += BigEndian ? Hi : Lo;
    B += BigEndian ? Lo : Hi;
  }
  return B;
}

// Ω and ğ fit no single-byte code page together: writing them turns an ANSI file into UTF-16.
const wchar_t* const WideValue = L"Ω değer ğ";

TEST(IniFiles, IniFileWritesIntoAFileOfAnyEncodingAndLosesNothing) {
  const String Text = L"; yorum\r\n[Genel]\r\nAd=Kurulum\r\nYol=C:\\Zelkor\r\n[Diğer]\r\nx=1\r\n";
  const struct {
    const char* What;
    std::string Bytes;
  } Cases[] = {
      {"UTF-16", IniUtf16Bytes(Text, false)},
      {"UTF-16 big-endian", IniUtf16Bytes(Text, true)},
      {"UTF-8 with its mark", "\xEF\xBB\xBF" + UTF8Encode(Text)},
      {"ANSI", "; yorum\r\n[Genel]\r\nAd=Kurulum\r\nYol=C:\\Zelkor\r\n"},
      {"ANSI with NUL bytes", std::string("[Genel]\r\nAd=Kurulum\r\n\0\0junk\0\r\n[B]\r\ny=2\r\n", 40)},
      {"empty", ""},
  };
  const String Path = TempIni(L"qal_test_encodings.ini");
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    for (const wchar_t* Value : {WideValue, L"ascii"}) {
      WriteIniBytes(Path, C.Bytes);
      const std::vector<String> Before = ProfileView(Path);
      {
        TIniFile Ini(Path);
        Ini.WriteString(L"Yeni", L"Anahtar", Value);
        EXPECT_EQ(Ini.ReadString(L"Yeni", L"Anahtar", L"(yok)"), Value);
      }
      // Everything read before reads the same, and the new value after it.
      std::vector<String> After = ProfileView(Path);
      ASSERT_FALSE(After.empty());
      EXPECT_EQ(After.back(), String(L"Anahtar=") + Value);
      After.resize(After.size() - 2);
      EXPECT_EQ(After, Before);
      TMemIniFile Mem(Path);
      EXPECT_EQ(Mem.ReadString(L"Yeni", L"Anahtar", L"(yok)"), Value);
    }
    // Big-endian becomes little-endian, the one byte order the profile functions of every
    // Windows read and write.
    const std::string B = FileBytes(Path);
    EXPECT_TRUE(B.size() < 2 || B.substr(0, 2) != "\xFE\xFF");
  }
  DeleteFileW(Path.c_str());
}

TEST(IniFiles, IniFileConvertsInPlaceOfTheOldFileOnlyWhenWhole) {
  // A file that cannot be replaced (open without sharing) is not half converted: the write fails.
  const String Path = TempIni(L"qal_test_locked.ini");
  WriteIniBytes(Path, "[A]\r\nx=1\r\n");
  HANDLE Lock = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(Lock, INVALID_HANDLE_VALUE);
  {
    TIniFile Ini(Path);
    EXPECT_THROW(Ini.WriteString(L"A", L"y", WideValue), EIniFileException);
  }
  CloseHandle(Lock);
  EXPECT_EQ(FileBytes(Path), "[A]\r\nx=1\r\n");
  // No temporary file is left beside it.
  TSearchRec F;
  Integer Count = 0;
  if (FindFirst(ExtractFilePath(Path) + L"qal_test_locked*", faAnyFile, F) == 0) {
    do ++Count;
    while (FindNext(F) == 0);
    FindClose(F);
  }
  EXPECT_EQ(Count, 1);
  DeleteFileW(Path.c_str());
}

TEST(IniFiles, MemIniFileKeepsABigEndianFile) {
  const String Path = TempIni(L"qal_test_be.ini");
  WriteIniBytes(Path, IniUtf16Bytes(L"[Dil]\r\nİleri=İleri >\r\n", true));
  {
    TMemIniFile Ini(Path);
    EXPECT_EQ(Ini.ReadString(L"Dil", L"İleri", L""), L"İleri >");
    Ini.WriteString(L"Dil", L"Geri", L"< Geri");
    Ini.UpdateFile();
  }
  EXPECT_EQ(FileBytes(Path), IniUtf16Bytes(L"[Dil]\r\nİleri=İleri >\r\nGeri=< Geri\r\n", true));
  DeleteFileW(Path.c_str());
}

// Ini files of every kind, mutated; a value written through the profile functions must read back,
// and everything else read before must read the same.
TEST(IniFileFuzz, WritesNeverLoseAValue) {
  const String Path = TempIni(L"qal_fuzz_write.ini");
  std::vector<TBytes> Seeds;
  for (const std::string& S : {std::string("; yorum\r\n[Genel]\r\nAd=Kurulum\r\n[Yollar]\r\nHedef=C:\\x\r\n"),
                               "\xEF\xBB\xBF[Dil]\r\n" + UTF8Encode(L"İleri=İleri >\r\n"),
                               IniUtf16Bytes(L"[Ayarlar]\r\nAnahtar=Değer\r\n[Boş]\r\n", false),
                               IniUtf16Bytes(L"[Ayarlar]\r\nAnahtar=Değer\r\n", true)})
    Seeds.push_back(FuzzBytes(S));
  TFuzzSuite Suite{"ini write", Seeds, 300, 0x3C6EF372FE94F82BULL, {"[", "]", "=", "\r\n", ";", std::string(2, '\0')}};
  // The view without one section.
  auto Without = [](std::vector<String> View, const String& Section) {
    for (size_t I = 0; I < View.size();) {
      if (!SameText(View[I], L"[" + Section + L"]")) {
        ++I;
        continue;
      }
      size_t End = I + 1;
      while (End < View.size() && View[End].rfind(L"[", 0) != 0) ++End;
      View.erase(View.begin() + ptrdiff_t(I), View.begin() + ptrdiff_t(End));
    }
    return View;
  };
  Fuzz(Suite, [&](const TBytes& B) {
    WriteIniBytes(Path, std::string(B.begin(), B.end()));
    // A value whose line holds a NUL reads up to the NUL; the system's writer keeps only that
    // much of the line, and its reader trims the blanks then at the line's end: so a value is
    // compared without trailing blanks, whatever writes the file.
    auto Trimmed = [](std::vector<String> View) {
      for (String& L : View) L = TrimRight(L);
      return View;
    };
    const std::vector<String> Before = Trimmed(Without(ProfileView(Path), L"Yeni"));
    {
      TIniFile Ini(Path);
      Ini.WriteString(L"Yeni", L"Anahtar", WideValue);
    }
    EXPECT_EQ(TMemIniFile(Path).ReadString(L"Yeni", L"Anahtar", L"(yok)"), WideValue);
    EXPECT_EQ(TIniFile(Path).ReadString(L"Yeni", L"Anahtar", L"(yok)"), WideValue);
    EXPECT_EQ(Trimmed(Without(ProfileView(Path), L"Yeni")), Before);
  });
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
