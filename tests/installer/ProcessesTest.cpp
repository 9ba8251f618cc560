#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "framework/ShlObj.h"
#include "framework/TlHelp32.h"
#include "framework/Windows.h"
#include "installer/InstallerTestUtil.h"

using namespace insttest;

namespace {

using QalRunAndWait = TMainFormTest;

bool ProcessRunning(Cardinal Id) {
  for (const TProcessEntry& E : ProcessSnapshot())
    if (E.ProcessID == Id) return true;
  return false;
}

TEST_F(QalRunAndWait, EndsANeverEndingProgramAtItsTimeOut) {
  TScratchFolder Folder(L"run");
  String Program = PlaceStandin(Folder.Path(), L"HalvexSrv20.exe", L"run=forever");
  // Each reading of the clock moves it 2.5 s, once the program has noted its start: the 10 s
  // time-out passes after a few polls.
  TFakeTime::Install(2500);
  static String Noted;
  Noted = ChangeFileExt(Program, L".log");
  QalTickCount = [] {
    if (ReadText(Noted).find(L"command:") != String::npos) TFakeTime::Now += TFakeTime::Step;
    return TFakeTime::Now;
  };
  DWORD Start = GetTickCount();
  Form->RunAndWait(L"HalvexSrv20.exe", L"/install /Silent", 10000, Folder.Path() + L"\\");
  EXPECT_LT(GetTickCount() - Start, 5000u);
  EXPECT_GE(TFakeTime::Now - 1000, 10000u);

  const std::vector<String> Log = Lines(StandinLog(Program));
  ASSERT_EQ(Log.size(), 3u) << "the program was not ended";  // start, folder, command; no "end"
  EXPECT_TRUE(SameFileName(IncludeTrailingPathDelimiter(Log[1].substr(8)), Folder.Path() + L"\\")) << Log[1];
  EXPECT_NE(Log[2].find(L"/install /Silent"), String::npos) << Log[2];
  EXPECT_EQ(FindProcessByName(L"HalvexSrv20.exe"), 0u);
  EXPECT_EQ(LogLines(Form), std::vector<String>{L"Komut çalıştırılamadı: HalvexSrv20.exe /install /Silent - zaman aşımı"});
}

TEST_F(QalRunAndWait, ProgramsThatEndOrCannotStart) {
  TScratchFolder Folder(L"run");
  struct TCase {
    const char* What;
    const wchar_t* Settings;
    Cardinal TimeoutMs;
    const wchar_t* Ending;  // the stand-in's last log line; empty: ended before it could end itself
    bool RedLine;
    bool Ran;  // what RunAndWait answers: the program ran to its end
    Cardinal ExitCode;
  };
  const TCase Cases[] = {
      {"ends at once", L"", 0, L"end 0", false, true, 0},
      {"fails with an exit code", L"exit=3", 0, L"end 3", false, true, 3},
      {"ends within its time-out", L"run=300", 10000, L"end 0", false, true, 0},
      {"real clock, short time-out", L"run=forever", 400, L"", true, false, 0},
  };
  int N = 0;
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.What);
    Form->Memo1->GetLines()->Clear();
    String Name = L"program" + IntToStr(++N) + L".exe";
    String Program = PlaceStandin(Folder.Path(), Name, C.Settings);
    Cardinal ExitCode = 12345;
    EXPECT_EQ(Form->RunAndWait(Program, L"-x \"iki kelime\"", C.TimeoutMs, Folder.Path(), &ExitCode), C.Ran);
    EXPECT_EQ(ExitCode, C.ExitCode);
    std::vector<String> Log = Lines(StandinLog(Program));
    if (*C.Ending) {
      ASSERT_FALSE(Log.empty());
      EXPECT_EQ(Log.back(), C.Ending);
    } else {
      for (const String& L : Log) EXPECT_NE(L.substr(0, 4), L"end ");
    }
    EXPECT_EQ(Form->Memo1->GetLines()->GetCount(), C.RedLine ? 1 : 0);
  }

  // A program that is not there: the system's reason in red.
  Form->Memo1->GetLines()->Clear();
  String Missing = Folder / L"yok.exe";
  EXPECT_FALSE(Form->RunAndWait(Missing, L"-a", 0, Folder.Path()));
  std::vector<String> Red = LogLines(Form);
  ASSERT_EQ(Red.size(), 1u) << Red[0].c_str() << " / " << Red.back().c_str();
  const String Expected = L"Komut çalıştırılamadı: " + Missing + L" -a - ";
  EXPECT_EQ(Red[0].substr(0, Expected.size()), Expected);
  EXPECT_EQ(Red[0], Expected + SysErrorMessage(ERROR_FILE_NOT_FOUND));
}

// The product's programs as the stand-in shows them: one process per window.
class QalProgramWindows : public testing::Test {
 protected:
  struct TWindowCase {
    const wchar_t* Title;
    const wchar_t* Class;
    bool Visible;
    bool Selected;
  };
  void TearDown() override {
    for (Cardinal Id : Started)
      if (HANDLE P = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, Id)) {
        TerminateProcess(P, 0);
        WaitForSingleObject(P, 5000);
        CloseHandle(P);
      }
  }
  // Starts a stand-in showing one window; answers its process id.
  Cardinal StartWithWindow(const String& Name, const TWindowCase& W) {
    String Program = PlaceStandin(Folder.Path(), Name,
                                  String(W.Visible ? L"window=" : L"hidden=") + W.Class + L"|" + W.Title +
                                      L"\r\nrun=forever\r\n");
    STARTUPINFOW Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Info{};
    String Command = L"\"" + Program + L"\"";
    if (!CreateProcessW(Program.c_str(), Command.data(), nullptr, nullptr, FALSE, 0, nullptr, Folder.Path().c_str(),
                        &Startup, &Info))
      return 0;
    CloseHandle(Info.hThread);
    CloseHandle(Info.hProcess);
    Started.push_back(Info.dwProcessId);
    return Info.dwProcessId;
  }
  // Waits until process Id shows a window of class Class.
  static bool WaitForWindow(Cardinal Id, const String& Class) {
    for (int Try = 0; Try < 500; ++Try) {
      bool Found = false;
      EnumTopLevelWindows([&](NativeUInt Wnd) {
        Found = WindowProcessId(Wnd) == Id && WindowClassName(Wnd) == Class;
        return !Found;
      });
      if (Found) return true;
      Sleep(10);
    }
    return false;
  }
  TScratchFolder Folder{L"windows"};  // goes after TearDown has ended the programs in it
  std::vector<Cardinal> Started;
};

TEST_F(QalProgramWindows, SelectionByTitleClassVisibilityAndProcess) {
  const TWindowCase Cases[] = {
      {L"Zelkor POS", L"TfrmMain", true, true},
      {L"Zelkor POS", L"Notepad", true, false},
      {L"Halvex Servis Yöneticisi", L"TfrmHalvex", true, true},
      {L"Şube - Zelkor Back Office", L"TApplication", true, true},
      {L"zelkor pos", L"TfrmMain", true, false},  // the title's case counts
      {L"Zelkor POS", L"Afx:400000:8", true, false},
      {L"Zelkor POS", L"TfrmMain", false, false},
      {L"Zelkor Kurulum", L"TfrmQalMain", true, false},
      {L"Muhasebe", L"TfrmMain", true, false},
  };
  std::vector<Cardinal> Ids;
  int N = 0;
  for (const TWindowCase& C : Cases) {
    Ids.push_back(StartWithWindow(L"program" + IntToStr(++N) + L".exe", C));
    ASSERT_NE(Ids.back(), 0u);
  }
  for (size_t I = 0; I < Ids.size(); ++I) ASSERT_TRUE(WaitForWindow(Ids[I], Cases[I].Class));
  // The wizard's own forms carry the title, which names the product, in T classes.
  std::unique_ptr<TForm> Own(new TForm(nullptr, 0));
  Own->AfterConstruction();
  Own->SetCaption(QalTitle);
  Own->Show();
  Application->ProcessMessages();

  TStringList Selected;
  EnumTopLevelWindows([&](NativeUInt Wnd) { return EnumProgramWindowsProc(Wnd, &Selected); });
  for (size_t I = 0; I < std::size(Cases); ++I)
    EXPECT_EQ(Selected.IndexOf(IntToStr(Ids[I])) >= 0, Cases[I].Selected)
        << String(Cases[I].Title).c_str() << " / " << String(Cases[I].Class).c_str();
  EXPECT_LT(Selected.IndexOf(IntToStr(Integer(GetCurrentProcessId()))), 0);
  std::set<String> Unique;
  for (Integer I = 0; I < Selected.GetCount(); ++I) EXPECT_TRUE(Unique.insert(Selected.GetStrings(I)).second);

  // Closing the programs ends exactly the selected ones, the Ingenico service program and never
  // the wizard itself.
  String Ingenico = PlaceStandin(Folder.Path(), L"Ingenico.exe", L"run=forever");
  STARTUPINFOW Startup{};
  Startup.cb = sizeof Startup;
  PROCESS_INFORMATION Info{};
  String Command = L"\"" + Ingenico + L"\"";
  ASSERT_TRUE(CreateProcessW(Ingenico.c_str(), Command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup,
                             &Info));
  CloseHandle(Info.hThread);
  Started.push_back(Info.dwProcessId);
  CloseProgramProcesses();
  EXPECT_EQ(WaitForSingleObject(Info.hProcess, 5000), WAIT_OBJECT_0);
  CloseHandle(Info.hProcess);
  for (size_t I = 0; I < std::size(Cases); ++I) {
    if (Cases[I].Selected)
      for (int Try = 0; Try < 100 && ProcessRunning(Ids[I]); ++Try) Sleep(20);
    EXPECT_EQ(ProcessRunning(Ids[I]), !Cases[I].Selected) << String(Cases[I].Title).c_str();
  }
}

TEST(QalProcesses, FindByNameAndKillById) {
  TScratchFolder Folder(L"find");
  String Program = PlaceStandin(Folder.Path(), L"Ingenico.exe", L"run=forever");
  STARTUPINFOW Startup{};
  Startup.cb = sizeof Startup;
  PROCESS_INFORMATION Info{};
  String Command = L"\"" + Program + L"\"";
  ASSERT_TRUE(CreateProcessW(Program.c_str(), Command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup,
                             &Info));
  CloseHandle(Info.hThread);
  WaitForInputIdle(Info.hProcess, 5000);

  const struct {
    String Name;
    bool Found;
  } Cases[] = {
      {L"Ingenico.exe", true},
      {L"INGENICO.EXE", true},  // case ignored, whatever the user's locale
      {L"ingenico.exe", true},
      {Program, true},  // the module's full path
      {Folder / L"INGENICO.exe", true},
      {L"Ingenico", false},
      {L"Yok.exe", false},
      {L"", false},
  };
  for (const auto& C : Cases) EXPECT_EQ(FindProcessByName(C.Name) == Info.dwProcessId, C.Found) << C.Name.c_str();

  // Texts that are no process id do nothing; neither does the wizard's own id.
  for (const String& Id : {String(L"abc"), String(L"0"), String(L"-5"), String(L""),
                           IntToStr(Integer(GetCurrentProcessId()))})
    KillProcessById(Id);
  EXPECT_EQ(WaitForSingleObject(Info.hProcess, 100), DWORD(WAIT_TIMEOUT));
  KillProcessById(IntToStr(Integer(Info.dwProcessId)));
  EXPECT_EQ(WaitForSingleObject(Info.hProcess, 5000), WAIT_OBJECT_0);
  DWORD Code = 1;
  GetExitCodeProcess(Info.hProcess, &Code);
  EXPECT_EQ(Code, 0u);
  CloseHandle(Info.hProcess);
}

TEST(QalFolders, SystemProgramFilesAndDesktop) {
  // A 64-bit Wine prefix, as 64-bit Windows: the 32-bit folders are the WOW64 ones.
  EXPECT_TRUE(SameFileName(GetSystemX86Folder(), L"C:\\windows\\syswow64")) << GetSystemX86Folder().c_str();
  EXPECT_TRUE(SameFileName(GetProgramFilesFolder(), L"C:\\Program Files (x86)")) << GetProgramFilesFolder().c_str();
  String Desktop = GetDesktopFolder();
  EXPECT_TRUE(SameFileName(ExtractFileName(Desktop), L"Desktop")) << Desktop.c_str();
  EXPECT_TRUE(DirectoryExists(Desktop));
}

TEST(QalShortcut, WrittenAndReadBackThroughTheShell) {
  TScratchFolder Folder(L"link");
  String Target = Folder / L"Dövrik101.exe";
  WriteText(Target, L"");
  String LinkFile = Folder / L"Dövrik 10.1.lnk";
  CreateShortcut(Target, LinkFile, L"", L"");
  ASSERT_TRUE(FileExists(LinkFile));
  TShellLink Link = LoadShellLink(LinkFile);
  EXPECT_TRUE(SameFileName(Link.Path, Target)) << Link.Path.c_str();
  EXPECT_EQ(Link.Arguments, L"");
  EXPECT_EQ(Link.Description, L"");

  CreateShortcut(Target, LinkFile, L"Şube kasası", L"/sube 2");
  Link = LoadShellLink(LinkFile);
  EXPECT_EQ(Link.Arguments, L"/sube 2");
  EXPECT_EQ(Link.Description, L"Şube kasası");
  EXPECT_THROW(CreateShortcut(Target, Folder / L"yok\\klasör\\x.lnk", L"", L""), EOleSysError);
}

// The prefix's shell folders are its own: a shortcut on its desktop (as the installation writes
// one) or a file among its documents reaches neither the user's home nor, through Wine's menu
// builder, a .desktop file there.
TEST(QalShortcut, TheHomeFolderIsUntouched) {
  // Wine names the user's home as an NT path ("\\??\\Z:\\home\\user").
  wchar_t Home[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"WINEHOMEDIR", Home, MAX_PATH) == 0) GTEST_SKIP() << "not under Wine";
  String HomeFolder = Home;
  if (HomeFolder.starts_with(L"\\??\\")) HomeFolder = HomeFolder.substr(4);
  ASSERT_TRUE(DirectoryExists(HomeFolder)) << HomeFolder;
  TScratchFolder Folder(L"home");
  const String Target = Folder / L"Dovrik101.exe";
  WriteText(Target, L"");
  const String Name = L"QalEvTesti" + IntToStr(Integer(GetCurrentProcessId()));
  const String Link = GetDesktopFolder() + L"\\" + Name + L".lnk";
  CreateShortcut(Target, Link, L"", L"");
  ASSERT_TRUE(FileExists(Link));
  const String Document = GetSpecialFolderPath(CSIDL_PERSONAL) + L"\\" + Name + L".txt";
  WriteText(Document, L"belge");
  ASSERT_TRUE(FileExists(Document));
  Sleep(1500);  // the menu builder, when it runs, runs beside the program
  std::vector<String> Found;
  for (const wchar_t* Sub : {L"", L"\\Desktop", L"\\Documents", L"\\Masaüstü", L"\\Belgeler"})
    for (const wchar_t* Ext : {L".lnk", L".txt", L".desktop"})
      if (FileExists(HomeFolder + Sub + L"\\" + Name + Ext)) Found.push_back(HomeFolder + Sub + L"\\" + Name + Ext);
  DeleteFileW(Link.c_str());
  DeleteFileW(Document.c_str());
  EXPECT_EQ(Found, std::vector<String>{});
}

using QalDeleteFolder = TMainFormTest;

TEST_F(QalDeleteFolder, RemovesTheTreeButNotWhatALinkPointsAt) {
  TScratchFolder Root(L"delete");
  TDirectoryLinks Links;  // gone before the folder
  String Outside = Root / L"veri";
  CreateDirectoryW(Outside.c_str(), nullptr);
  WriteText(Outside + L"\\dukkan.db", L"kayıtlar");

  String Tree = Root / L"Zelkor 6.0";
  for (const wchar_t* Dir : {L"", L"\\alt", L"\\alt\\derin", L"\\boş"})
    CreateDirectoryW((Tree + Dir).c_str(), nullptr);
  for (const wchar_t* File : {L"\\a.txt", L"\\alt\\b.dll", L"\\alt\\derin\\ç.cfg"}) WriteText(Tree + File, L"x");
  ASSERT_TRUE(Links.Make(Tree + L"\\alt\\bağ", Outside)) << "no directory link could be made";

  Form->DeleteFolder(Tree);
  EXPECT_EQ(ReadText(Outside + L"\\dukkan.db"), L"kayıtlar");
  EXPECT_FALSE(FileExists(Tree + L"\\a.txt"));
  EXPECT_FALSE(DirectoryExists(Tree + L"\\alt\\derin"));
  EXPECT_FALSE(DirectoryExists(Tree + L"\\boş"));
  // Windows removes the link itself, and the tree with it; Wine cannot remove a link from the
  // Windows side, so there the link and the folders above it stay.
  if (GetFileAttributesW((Tree + L"\\alt\\bağ").c_str()) == INVALID_FILE_ATTRIBUTES) {
    EXPECT_FALSE(DirectoryExists(Tree));
  }

  // A link given as the folder itself: what it points at stays.
  ASSERT_TRUE(Links.Make(Root / L"bağ2", Outside));
  Form->DeleteFolder(Root / L"bağ2");
  EXPECT_EQ(ReadText(Outside + L"\\dukkan.db"), L"kayıtlar");
}

TEST_F(QalDeleteFolder, RemovesTreesDeeperThanMaxPath) {
  TScratchFolder Root(L"deep");
  String Tree = Root / L"Update";
  String Deep = L"\\\\?\\" + Tree;
  CreateDirectoryW(Deep.c_str(), nullptr);
  for (int I = 0; I < 12; ++I) {
    Deep += L"\\klasör-" + String(30, L'a' + I);
    ASSERT_TRUE(CreateDirectoryW(Deep.c_str(), nullptr));
  }
  ASSERT_GT(Deep.size(), 300u);
  WriteText(Deep + L"\\son.txt", L"x");
  Form->DeleteFolder(Tree);
  EXPECT_EQ(GetFileAttributesW((L"\\\\?\\" + Tree).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(DirectoryExists(Root.Path()));
  Form->DeleteFolder(Root / L"yok");  // nothing there: nothing happens
}

}  // namespace
