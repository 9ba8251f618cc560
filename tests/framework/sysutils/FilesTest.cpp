#include <gtest/gtest.h>

#include <cmath>

#include "framework/SysUtils.h"
#include "framework/WinShell.h"

namespace {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t Buf[MAX_PATH];
    GetTempPathW(MAX_PATH, Buf);
    Root = IncludeTrailingPathDelimiter(Buf) + L"qal-files-" + IntToStr(Integer(GetCurrentProcessId())) + L"-" +
           IntToStr(Integer(GetTickCount())) + L"\\";
    ASSERT_TRUE(ForceDirectories(Root));
  }
  void TearDown() override { RemoveTree(ExcludeTrailingPathDelimiter(Root)); }

  static void RemoveTree(const String& Dir) {
    TSearchRec F;
    if (FindFirst(Dir + L"\\*", faAnyFile, F) == 0) {
      do {
        if (F.Name == L"." || F.Name == L"..") continue;
        String Path = Dir + L"\\" + F.Name;
        if (F.Attr & faDirectory) RemoveTree(Path);
        else {
          FileSetAttr(Path, faNormal);
          DeleteFile(Path);
        }
      } while (FindNext(F) == 0);
      FindClose(F);
    }
    RemoveDir(Dir);
  }

  static void WriteFile(const String& Name, const std::string& Data) {
    HANDLE H = CreateFileW(Name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(H, INVALID_HANDLE_VALUE);
    DWORD W = 0;
    ::WriteFile(H, Data.data(), DWORD(Data.size()), &W, nullptr);
    CloseHandle(H);
  }

  String Root;
};

TEST_F(TempFolder, ForceDirectoriesMakesEveryMissingParent) {
  String Deep = Root + L"Güncelleme\\Yedek\\İşlem";
  EXPECT_FALSE(DirectoryExists(Deep));
  EXPECT_TRUE(ForceDirectories(Deep));
  EXPECT_TRUE(DirectoryExists(Deep));
  EXPECT_TRUE(ForceDirectories(Deep + L"\\"));  // already there
  EXPECT_FALSE(FileExists(Deep));
  EXPECT_THROW(ForceDirectories(L""), EInOutError);

  WriteFile(Root + L"file", "x");
  EXPECT_FALSE(ForceDirectories(Root + L"file\\sub"));  // a file is in the way
}

TEST_F(TempFolder, CreateRemoveRenameDeleteAndCopy) {
  String Dir = Root + L"a";
  EXPECT_TRUE(CreateDir(Dir));
  EXPECT_FALSE(CreateDir(Dir));
  EXPECT_FALSE(CreateDir(Root + L"x\\y"));  // no parent
  String File = Dir + L"\\şirket.txt";
  WriteFile(File, "hello");
  EXPECT_TRUE(FileExists(File));
  EXPECT_FALSE(DirectoryExists(File));
  EXPECT_FALSE(RemoveDir(Dir));  // not empty
  EXPECT_EQ(FileSize(File), 5);

  String Copy = Dir + L"\\copy.txt";
  EXPECT_TRUE(CopyFile(File, Copy, true));
  EXPECT_FALSE(CopyFile(File, Copy, true));  // exists and may not be overwritten
  WriteFile(Copy, "old content");
  EXPECT_TRUE(CopyFile(File, Copy, false));
  EXPECT_EQ(FileSize(Copy), 5);

  String Renamed = Dir + L"\\renamed.txt";
  EXPECT_TRUE(RenameFile(File, Renamed));
  EXPECT_FALSE(FileExists(File));
  EXPECT_FALSE(RenameFile(Renamed, Copy));  // the target exists
  EXPECT_TRUE(DeleteFile(Renamed));
  EXPECT_FALSE(DeleteFile(Renamed));
  EXPECT_TRUE(DeleteFile(Copy));
  EXPECT_TRUE(RemoveDir(Dir));
  EXPECT_FALSE(DirectoryExists(Dir));
  EXPECT_FALSE(FileExists(L""));
  EXPECT_FALSE(DirectoryExists(L""));
}

TEST_F(TempFolder, FindFirstIncludesOnlyTheAskedSpecialAttributes) {
  WriteFile(Root + L"plain.txt", "12345");
  WriteFile(Root + L"hidden.txt", "1");
  FileSetAttr(Root + L"hidden.txt", faHidden);
  ASSERT_TRUE(CreateDir(Root + L"sub"));

  auto List = [&](Integer Attr, const String& Mask = L"*") {
    std::vector<String> Names;
    TSearchRec F;
    if (FindFirst(Root + Mask, Attr, F) == 0) {
      do
        if (F.Name != L"." && F.Name != L"..") Names.push_back(F.Name);
      while (FindNext(F) == 0);
      FindClose(F);
    }
    std::sort(Names.begin(), Names.end());
    return Names;
  };
  EXPECT_EQ(List(0), (std::vector<String>{L"plain.txt"}));
  EXPECT_EQ(List(faDirectory), (std::vector<String>{L"plain.txt", L"sub"}));
  EXPECT_EQ(List(faHidden), (std::vector<String>{L"hidden.txt", L"plain.txt"}));
  EXPECT_EQ(List(faAnyFile), (std::vector<String>{L"hidden.txt", L"plain.txt", L"sub"}));
  EXPECT_EQ(List(faAnyFile, L"*.txt"), (std::vector<String>{L"hidden.txt", L"plain.txt"}));

  TSearchRec F;
  ASSERT_EQ(FindFirst(Root + L"plain.txt", faAnyFile, F), 0);
  EXPECT_EQ(F.Size, 5);
  EXPECT_EQ(F.Attr & faDirectory, 0);
  EXPECT_NE(F.Time, 0);
  // The time stamp is today's, in local time (the test machine's clock, within a day).
  SYSTEMTIME ST;
  GetLocalTime(&ST);
  double Now = 0;
  SystemTimeToVariantTime(&ST, &Now);
  EXPECT_LT(std::fabs(double(F.TimeStamp) - Now), 1.0);
  TDateTime Age;
  EXPECT_TRUE(FileAge(Root + L"plain.txt", Age));
  EXPECT_NEAR(double(Age), double(F.TimeStamp), 1e-6);
  FindClose(F);

  EXPECT_EQ(FindFirst(Root + L"nothing*.xyz", faAnyFile, F), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirst(Root + L"hidden.txt", 0, F), ERROR_FILE_NOT_FOUND);  // the only match is hidden
  EXPECT_NE(FindFirst(Root + L"missing\\*", faAnyFile, F), 0);
  EXPECT_FALSE(FileAge(Root + L"missing", Age));
}

TEST_F(TempFolder, AttributesAndCurrentFolder) {
  WriteFile(Root + L"ro.txt", "1");
  EXPECT_EQ(FileSetAttr(Root + L"ro.txt", faReadOnly), 0);
  EXPECT_TRUE(FileGetAttr(Root + L"ro.txt") & faReadOnly);
  EXPECT_FALSE(DeleteFile(Root + L"ro.txt"));
  EXPECT_EQ(FileSetAttr(Root + L"ro.txt", faNormal), 0);
  EXPECT_EQ(FileGetAttr(Root + L"missing"), -1);
  EXPECT_NE(FileSetAttr(Root + L"missing", faNormal), 0);

  String Saved = GetCurrentDir();
  ASSERT_TRUE(SetCurrentDir(Root));
  EXPECT_TRUE(SameText(IncludeTrailingPathDelimiter(GetCurrentDir()), Root));
  EXPECT_TRUE(SameText(ExpandFileName(L"x\\..\\ro.txt"), Root + L"ro.txt"));
  EXPECT_TRUE(FileExists(L"ro.txt"));  // relative to the current folder
  EXPECT_FALSE(SetCurrentDir(Root + L"missing"));
  ASSERT_TRUE(SetCurrentDir(Saved));
}

TEST(FileNames, PartsOfAPath) {
  struct Case {
    const wchar_t *Name, *Path, *Dir, *FileName, *Ext, *Drive;
  };
  const Case Cases[] = {
      {L"C:\\Zelkor\\Qal.exe", L"C:\\Zelkor\\", L"C:\\Zelkor", L"Qal.exe", L".exe", L"C:"},
      {L"C:\\Qal.exe", L"C:\\", L"C:\\", L"Qal.exe", L".exe", L"C:"},
      {L"C:Qal", L"C:", L"C:", L"Qal", L"", L"C:"},
      {L"\\\\srv\\share\\a\\b.tar.gz", L"\\\\srv\\share\\a\\", L"\\\\srv\\share\\a", L"b.tar.gz", L".gz", L"\\\\srv\\share"},
      {L"dir.d\\noext", L"dir.d\\", L"dir.d", L"noext", L"", L""},
      {L"a/b.txt", L"", L"", L"a/b.txt", L".txt", L""},
      {L"Güncel.İşlem", L"", L"", L"Güncel.İşlem", L".İşlem", L""},
      {L"", L"", L"", L"", L"", L""},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(ExtractFilePath(C.Name), C.Path) << C.Name;
    EXPECT_EQ(ExtractFileDir(C.Name), C.Dir) << C.Name;
    EXPECT_EQ(ExtractFileName(C.Name), C.FileName) << C.Name;
    EXPECT_EQ(ExtractFileExt(C.Name), C.Ext) << C.Name;
    EXPECT_EQ(ExtractFileDrive(C.Name), C.Drive) << C.Name;
  }
}

TEST(FileNames, ChangeExtAndTrailingDelimiters) {
  EXPECT_EQ(ChangeFileExt(L"C:\\a\\b.txt", L".log"), L"C:\\a\\b.log");
  EXPECT_EQ(ChangeFileExt(L"C:\\a.d\\b", L".log"), L"C:\\a.d\\b.log");
  EXPECT_EQ(ChangeFileExt(L"b.tar.gz", L""), L"b.tar");
  EXPECT_EQ(IncludeTrailingPathDelimiter(L"C:\\a"), L"C:\\a\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter(L"C:\\a\\"), L"C:\\a\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter(L""), L"\\");
  EXPECT_EQ(ExcludeTrailingPathDelimiter(L"C:\\a\\"), L"C:\\a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter(L"C:\\a"), L"C:\\a");
}

TEST(Environment, ReadsVariables) {
  SetEnvironmentVariableW(L"QAL_TEST_VAR", L"değer");
  EXPECT_EQ(GetEnvironmentVariable(L"QAL_TEST_VAR"), L"değer");
  SetEnvironmentVariableW(L"QAL_TEST_VAR", nullptr);
  EXPECT_EQ(GetEnvironmentVariable(L"QAL_TEST_VAR"), L"");
}

}  // namespace
