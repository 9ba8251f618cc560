// Qal.exe itself, started as the operator starts it and driven through its windows, installs a
// server of 6.0 from the local download server into the drive of the test's Wine prefix.
#include <gtest/gtest.h>

#include "UiDriver.h"
#include "framework/IniFiles.h"
#include "installer/WizardRunUtil.h"

using namespace insttest;

namespace {

const std::wstring Main = L"TfrmQalMain:Zelkor SQL (Kurulum Sihirbazı)";

bool WaitUntil(const std::function<bool()>& Done, DWORD TimeoutMs = 10000) {
  DWORD Start = GetTickCount();
  while (!Done()) {
    if (GetTickCount() - Start >= TimeoutMs) return false;
    Sleep(20);
  }
  return true;
}

class QalProgramWizardStore : public testing::Test {
 protected:
  const String Product = L"C:\\Zelkor 6.0";
  void SetUp() override {
    if (!Store.Available()) GTEST_SKIP() << "needs the download server of the wizard's store";
    LocalDownloadServer::Prepare();
    RemoveProductServices({L"Zelkor-PG10", L"zelkor-license-server2"});
    RemoveTree(Product);
    Exe = Work / L"Qal.exe";
    String Built = L"Z:" QAL_EXE_UNIX_PATH;
    for (wchar_t& C : Built)
      if (C == L'/') C = L'\\';
    ASSERT_TRUE(CopyFileW(Built.c_str(), Exe.c_str(), FALSE));
  }
  void TearDown() override {
    if (Program.Running()) Program.Kill();
    if (!Store.Available()) return;
    RemoveProductServices({L"Zelkor-PG10", L"zelkor-license-server2"});
    RemoveTree(Product);
  }
  HWND Control(const std::wstring& Below) { return UiDriver::Find(Main + L" > " + Below, Program.Id()); }
  bool ClickWhenEnabled(const std::wstring& Below) {
    HWND Window = nullptr;
    WaitUntil([&] { return (Window = Control(Below)) && UiDriver::Enabled(Window); });
    return Window && UiDriver::Click(Window);
  }
  String Journaled(const String& More = String()) const { return L"journal=" + JournalFile + L"\r\n" + More; }

  TWizardStore Store;
  TScratchFolder Work{L"program"};
  String JournalFile = Work / L"journal.txt";
  TTestDesktop Desktop;
  TComStandin Com{Work / L"com"};
  String Exe;
  UiDriver::TProgram Program;
};


TEST_F(QalProgramWizardStore, ServerInstallationDrivenThroughItsWindows) {
  TPackage Product60, PostgreSql, AnyDesk;
  AddFile(Product60, L"Dovrik101.exe", L"Dovrik 10.1");
  AddFile(Product60, L"Pelmo60.cfg", L"[Database]\r\nDBServer=paket\r\n");
  AddStandin(Product60, L"lisans/license-server.exe", Journaled(L"service=zelkor-license-server2\r\n"));
  AddFile(Product60, L"demodata/market/zelkor6_001.backup", L"001");
  AddFile(Product60, L"demodata/market/zelkor6_sistem.backup", L"sistem");
  AddStandin(PostgreSql, L"Postgresql/installer/vcredist_x64.exe", Journaled());
  for (const wchar_t* Tool : {L"initdb", L"psql", L"pg_restore"})
    AddStandin(PostgreSql, String(L"Postgresql/bin/") + Tool + L".exe", Journaled());
  AddStandin(PostgreSql, L"Postgresql/bin/pg_ctl.exe", Journaled(L"service=Zelkor-PG10\r\n"));
  AddStandin(AnyDesk, L"AnyDesk.exe", Journaled(L"stdin=read\r\n"));
  Store.Put(L"Zelkor 6.0.zip", Product60);
  Store.Put(L"diger/postgresql.zip", PostgreSql);
  Store.Put(L"AnyDesk.zip", AnyDesk);
  Store.PutText(L"diger/qal.txt", L"7.8\n");
  Store.ForgetRequests();

  // Through the download server's proxy only; the server search on loopback.
  const String Proxy = L"http://127.0.0.1:" + Trim(ReadText(LocalDownloadServer::StateFolder() + L"\\port"));
  Program = UiDriver::TProgram::Start(Exe, L"", Work.Path(),
                                      {L"http_proxy=" + Proxy, L"https_proxy=" + Proxy, L"QAL_LOCAL_ADDRESS=127.0.0.1",
                                       L"QAL_COM_STANDIN=" + Com.Folder});
  ASSERT_NE(UiDriver::WaitFor(Main, Program.Id(), 30000), nullptr);
  // The start-up has asked for a newer wizard and found none.
  ASSERT_TRUE(WaitUntil([&] {
    HWND B = Control(L"TButton:Güncelle");
    return B && UiDriver::Enabled(B);
  }, 30000));

  ASSERT_TRUE(ClickWhenEnabled(L"TGroupButton: &Yeni Kurulum"));
  ASSERT_TRUE(ClickWhenEnabled(L"TGroupButton:6.0 (PostgreSQL)"));
  ASSERT_TRUE(ClickWhenEnabled(L"TDBCheckBoxKv: Örnek Veritabanı (DEMO)"));
  HWND Market = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (Market = Control(L"TGroupButton:Market")) && UiDriver::Visible(Market); }));
  ASSERT_TRUE(UiDriver::Click(Market));
  ASSERT_TRUE(ClickWhenEnabled(L"TDBCheckBoxKv: AnyDesk"));
  ASSERT_TRUE(WaitUntil([&] {
    return UiDriver::Checked(Control(L"TDBCheckBoxKv: AnyDesk")) == BST_CHECKED &&
           UiDriver::Checked(Control(L"TDBCheckBoxKv: Veritabanı Sunucusu")) == BST_CHECKED &&
           UiDriver::Checked(Market) == BST_CHECKED;
  }));
  EXPECT_EQ(UiDriver::Text(Control(L"TDBEditKv")), L"C:");

  ASSERT_TRUE(ClickWhenEnabled(L"TButton:Qal"));
  std::vector<std::wstring> Question = UiDriver::Answer(L"TMessageForm", L"&Yes", Program.Id());
  // (A box's text is a label without a window: the log shows what was said.)
  ASSERT_FALSE(Question.empty());
  EXPECT_EQ(Question[0], L"Information");
  std::vector<std::wstring> Done = UiDriver::Answer(L"TMessageForm", L"OK", Program.Id(), 120000);
  ASSERT_FALSE(Done.empty()) << "the installation did not end";
  EXPECT_EQ(Done[0], L"Zelkor SQL (Kurulum Sihirbazı)");
  // The run ended well: the wizard closes.
  EXPECT_TRUE(Program.WaitExit(10000));

  EXPECT_EQ(Store.Requests(), (std::vector<String>{L"diger/qal.txt", L"Zelkor 6.0.zip", L"diger/postgresql.zip",
                                                   L"AnyDesk.zip"}));
  // The day's log beside the program: the run's steps, in order.
  String LogFile;
  {
    WIN32_FIND_DATAW Found;
    HANDLE Search = FindFirstFileW((Work / L"Qal_*.log").c_str(), &Found);
    ASSERT_NE(Search, INVALID_HANDLE_VALUE);
    LogFile = Work / Found.cFileName;
    FindClose(Search);
  }
  std::vector<String> Log;
  for (const String& Line : Lines(ReadText(LogFile))) Log.push_back(Line.substr(13));
  ASSERT_FALSE(Log.empty());
  EXPECT_EQ(Log.front(), L"Sunucu kurulum işlemleri başladı...");
  EXPECT_EQ(Log.back(), L"Kurulumu Tamamlandı...");
  EXPECT_EQ(Log.size(), 30u);
  for (const String& Line : Log) EXPECT_EQ(Line.find(L"Velmor"), String::npos) << Line;

  // Every program of the packages ran, the services run, the settings and the shortcut are there.
  std::vector<String> Programs;
  for (const TJournalLine& L : ReadJournal(JournalFile)) Programs.push_back(L.Program.substr(0, L.Program.find(L'|')));
  EXPECT_EQ(Programs, (std::vector<String>{L"vcredist_x64.exe", L"initdb.exe", L"pg_ctl.exe",
                                           L"service installed Zelkor-PG10", L"service start Zelkor-PG10",
                                           L"psql.exe", L"psql.exe", L"pg_restore.exe", L"psql.exe",
                                           L"pg_restore.exe", L"license-server.exe",
                                           L"service installed zelkor-license-server2",
                                           L"service start zelkor-license-server2", L"AnyDesk.exe", L"AnyDesk.exe",
                                           L"AnyDesk.exe"}));
  EXPECT_EQ(GetServiceState(L"", L"Zelkor-PG10"), 4);
  EXPECT_EQ(GetServiceState(L"", L"zelkor-license-server2"), 4);
  EXPECT_EQ(TMemIniFile(Product + L"\\Pelmo60.cfg").ReadString(L"Database", L"DBServer", L""), L"localhost");
  EXPECT_EQ(Com.FirewallCalls().size(), 8u);
  EXPECT_TRUE(SameFileName(LinkTarget(Desktop.Folder + L"\\Dovrik 10.1.lnk"), Product + L"\\Dovrik101.exe"));
}

}  // namespace
