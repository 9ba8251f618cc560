#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "framework/Forms.h"
#include "framework/PsAPI.h"
#include "framework/ShellAPI.h"
#include "framework/ShlObj.h"
#include "framework/SysUtils.h"
#include "framework/TlHelp32.h"
#include "framework/WinShell.h"
#include "framework/Windows.h"

namespace {

// A scratch folder holding a copy of the stand-in program (built beside the tests) as Name.
class ShellHelpers : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t Temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, Temp);
    Folder = String(Temp) + L"QalShell-" + IntToStr(Integer(GetCurrentProcessId()));
    CreateDirectoryW(Folder.c_str(), nullptr);
  }
  void TearDown() override {
    for (const String& F : Files) DeleteFileW(F.c_str());
    RemoveDirectoryW(Folder.c_str());
  }
  String Place(const String& Name, const char* Settings) {
    String Program = Folder + L"\\" + Name;
    CopyFileW((ExtractFilePath(ParamStr(0)) + L"standin_program.exe").c_str(), Program.c_str(), FALSE);
    String Base = ChangeFileExt(Program, L"");
    std::ofstream(String(Base + L".standin").c_str(), std::ios::binary) << Settings;
    Files = {Program, Base + L".standin", Base + L".log"};
    return Program;
  }
  String Log(const String& Program) {
    std::ifstream In(ChangeFileExt(Program, L".log").c_str(), std::ios::binary);
    return UTF8ToString(std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()));
  }
  String Folder;
  std::vector<String> Files;
};

TEST_F(ShellHelpers, StartedProgramCanBeWaitedForEndedAndNamed) {
  String Program = Place(L"araç.exe", "run=forever\r\n");
  TProcessHandle Process = ShellExecuteProcess(0, L"open", L"araç.exe", L"/a \"b c\"", Folder, SW_HIDE);
  ASSERT_TRUE(Process);
  EXPECT_FALSE(Process.WaitFor(50));
  EXPECT_EQ(Process.ExitCode(), 259u);  // still running

  bool Listed = false;
  for (const TProcessEntry& E : ProcessSnapshot())
    if (E.ProcessID == Process.ProcessId()) {
      Listed = true;
      EXPECT_TRUE(SameFileName(E.ExeFile, L"araç.exe")) << E.ExeFile.c_str();
      EXPECT_EQ(E.ParentProcessID, GetCurrentProcessId());
    }
  EXPECT_TRUE(Listed);
  EXPECT_TRUE(SameFileName(GetProcessModuleFileName(Process.ProcessId()), Program));

  // The program notes its start first: let it.
  for (int Try = 0; Try < 250 && Log(Program).find(L"command:") == String::npos; ++Try) Sleep(20);
  ASSERT_TRUE(Process.Terminate(5));
  EXPECT_TRUE(Process.WaitFor(5000));
  EXPECT_EQ(Process.ExitCode(), 5u);
  EXPECT_EQ(GetProcessModuleFileName(Process.ProcessId()), L"");
  String Text = Log(Program);
  EXPECT_NE(Text.find(L"folder: " + Folder), String::npos) << Text.c_str();
  EXPECT_NE(Text.find(L"/a \"b c\""), String::npos) << Text.c_str();

  TProcessHandle Moved = std::move(Process);
  EXPECT_FALSE(Process);
  EXPECT_TRUE(Moved);
  Moved.Close();
  EXPECT_FALSE(Moved);
  EXPECT_TRUE(Moved.WaitFor(0));  // no process: nothing to wait for
}

TEST_F(ShellHelpers, ExitCodeOfAProgramThatEnds) {
  Place(L"biter.exe", "exit=7\r\n");
  TProcessHandle Process = ShellExecuteProcess(0, L"open", Folder + L"\\biter.exe", L"", L"", SW_HIDE);
  ASSERT_TRUE(Process.WaitFor(10000));
  EXPECT_EQ(Process.ExitCode(), 7u);
}

TEST_F(ShellHelpers, StartThatFailsRaisesTheSystemReason) {
  try {
    ShellExecuteProcess(0, L"open", Folder + L"\\yok.exe", L"", Folder, SW_HIDE);
    ADD_FAILURE() << "no error";
  } catch (const EOSError& E) {
    EXPECT_EQ(E.ErrorCode, Cardinal(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(E.Message().empty());
  }
}

TEST(ProcessModule, OwnProcessAndCutToTheBuffer) {
  String Own = GetProcessModuleFileName(GetCurrentProcessId());
  EXPECT_TRUE(SameFileName(Own, ParamStr(0))) << Own.c_str();
  EXPECT_EQ(GetProcessModuleFileName(GetCurrentProcessId(), 10), Own.substr(0, 9));
  EXPECT_EQ(GetProcessModuleFileName(GetCurrentProcessId(), 0), L"");
  EXPECT_EQ(GetProcessModuleFileName(0), L"");  // the idle process cannot be read
}

TEST(TopLevelWindows, AFormIsListedWithItsTitleClassAndProcess) {
  std::unique_ptr<TForm> Form(new TForm(nullptr, 0));
  Form->AfterConstruction();
  Form->SetCaption(L"Zelkor Şube Kasası");
  Form->Show();
  const NativeUInt Wnd = NativeUInt(Form->GetHandle());
  int Seen = 0;
  EnumTopLevelWindows([&](NativeUInt W) {
    if (W == Wnd) ++Seen;
    return true;
  });
  EXPECT_EQ(Seen, 1);
  EXPECT_EQ(WindowText(Wnd), L"Zelkor Şube Kasası");
  EXPECT_EQ(WindowText(Wnd, 6), L"Zelkor");
  EXPECT_EQ(WindowClassName(Wnd), L"TForm");
  EXPECT_TRUE(WindowVisible(Wnd));
  EXPECT_EQ(WindowProcessId(Wnd), GetCurrentProcessId());
  Form->Hide();
  EXPECT_FALSE(WindowVisible(Wnd));

  int Calls = 0;
  EnumTopLevelWindows([&](NativeUInt) { return ++Calls < 1; });
  EXPECT_EQ(Calls, 1);  // false ends the walk
  EXPECT_THROW(EnumTopLevelWindows([](NativeUInt) -> bool { throw EAbort(L"dur"); }), EAbort);
  Form.reset();
  EXPECT_EQ(WindowProcessId(Wnd), 0u);
}

TEST(ShellLinks, AllFieldsReadBack) {
  wchar_t Temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, Temp);
  const String LinkFile = String(Temp) + L"Qal kısayol " + IntToStr(Integer(GetCurrentProcessId())) + L".lnk";
  TShellLink Link;
  Link.Path = L"C:\\Zelkor 6.0\\Dovrik101.exe";
  Link.Arguments = L"/şube 3";
  Link.Description = L"Zelkor ön büro";
  Link.WorkingDirectory = L"C:\\Zelkor 6.0";
  SaveShellLink(Link, LinkFile);
  TShellLink Back = LoadShellLink(LinkFile);
  EXPECT_EQ(Back.Path, Link.Path);
  EXPECT_EQ(Back.Arguments, Link.Arguments);
  EXPECT_EQ(Back.Description, Link.Description);
  EXPECT_EQ(Back.WorkingDirectory, Link.WorkingDirectory);
  DeleteFileW(LinkFile.c_str());
  EXPECT_THROW(LoadShellLink(LinkFile), EOleSysError);
}

TEST(SpecialFolders, KnownAndUnknown) {
  EXPECT_TRUE(DirectoryExists(GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY)));
  EXPECT_TRUE(DirectoryExists(GetSpecialFolderPath(CSIDL_SYSTEMX86)));
  EXPECT_EQ(GetSpecialFolderPath(0x7F), L"");
}

}  // namespace
