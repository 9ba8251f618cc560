// New installations run whole: the packages come from the local download server, the programs
// they hold are stand-ins that note their command lines in one journal, the services they
// register are real services of the test's Wine prefix, and the firewall is the recording
// stand-in.
#include <gtest/gtest.h>

#include <winsock2.h>

#include <functional>
#include <map>

#include "framework/Dialogs.h"
#include "framework/IniFiles.h"
#include "installer/WizardRunUtil.h"

using namespace insttest;

namespace {

// A listening socket on a loopback address, as a database server answers the server search.
class TLoopbackServer {
 public:
  TLoopbackServer(const char* Address, Word Port) {
    WSADATA Data;
    WSAStartup(MAKEWORD(2, 2), &Data);
    FSocket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in A{};
    A.sin_family = AF_INET;
    A.sin_port = htons(Port);
    A.sin_addr.s_addr = inet_addr(Address);
    Listening = bind(FSocket, reinterpret_cast<sockaddr*>(&A), sizeof A) == 0 && listen(FSocket, 8) == 0;
  }
  ~TLoopbackServer() {
    closesocket(FSocket);
    WSACleanup();
  }
  bool Listening = false;

 private:
  SOCKET FSocket = INVALID_SOCKET;
};

// "net start" of a service that is not there: Wine's net.exe ends with 1 (Windows' with 2).
const wchar_t NetStartFailed[] = L"net başarısız oldu, çıkış kodu: 1";

class QalInstallWizardStore : public TWizardRun {
 protected:
  TPackage Product60() const {
    TPackage P;
    AddFile(P, L"Dovrik101.exe", L"Dovrik 10.1");
    AddFile(P, L"Pelmo60.cfg", L"[Database]\r\nDBServer=paket\r\nDBName=zelkor6\r\n[Genel]\r\nDil=tr\r\n");
    AddStandin(P, L"lisans/license-server.exe", Journaled(L"service=zelkor-license-server2\r\n"));
    for (const wchar_t* Sector : {L"market", L"restoran"})
      for (const wchar_t* Backup : {L"zelkor6_001.backup", L"zelkor6_sistem.backup"})
        AddFile(P, String(L"demodata/") + Sector + L"/" + Backup, Sector);
    return P;
  }
  TPackage Product50() const {
    TPackage P;
    AddFile(P, L"Dovrik96.exe", L"Dovrik 9.6");
    AddFile(P, L"ZelkorPOS.exe", L"ZelkorPOS");
    AddFile(P, L"Korvit.ini", L"[Zelkor50]\r\nServer=paket\r\nDatabase=zelkor5\r\n");
    AddStandin(P, L"lisans/license-server.exe", Journaled(L"service=zelkor-license-server2\r\n"));
    return P;
  }
  // PgCtl: the settings of pg_ctl's stand-in, which registers the database service by default.
  TPackage PostgreSqlPackage(const String& PgCtl = L"service=Zelkor-PG10\r\n") const {
    TPackage P;
    AddStandin(P, L"Postgresql/installer/vcredist_x64.exe", Journaled());
    for (const wchar_t* Tool : {L"initdb", L"psql", L"pg_restore"})
      AddStandin(P, String(L"Postgresql/bin/") + Tool + L".exe", Journaled());
    AddStandin(P, L"Postgresql/bin/pg_ctl.exe", Journaled(PgCtl));
    return P;
  }
  TPackage AnyDeskPackage() const {
    TPackage P;
    AddStandin(P, L"AnyDesk.exe", Journaled(L"stdin=read\r\n"));
    return P;
  }
  String Parent() const { return Work / L"Magaza"; }
  void SetUp() override {
    TWizardRun::SetUp();
    ForceDirectories(Parent());
    Form->txPath->SetText(Parent());
  }
};

// The road of one server installation: 6.0 with the database server, the Market demo data and the
// remote-desktop tool.
TEST_F(QalInstallWizardStore, ServerInstallationOfVersion60) {
  Store.Put(L"Zelkor 6.0.zip", Product60());
  Store.Put(L"diger/postgresql.zip", PostgreSqlPackage());
  Store.Put(L"AnyDesk.zip", AnyDeskPackage());
  Choose(0, 0, true);
  Tick(Form->chDbDemo, true);
  Form->rgSector->SetItemIndex(0);
  Tick(Form->chAnyDesk, true);
  ASSERT_TRUE(Form->chServer->GetChecked());
  ASSERT_TRUE(Form->rgSector->GetVisible());
  const String F = Parent() + L"\\Zelkor 6.0";
  const String Bin = F + L"\\Postgresql\\bin\\";

  TRunDriver Boxes({AnswerDialog(mrYes), AnswerDialog(mrOk)});
  EXPECT_EQ(PressMainButton(), L"");
  EXPECT_TRUE(Boxes.Finished());
  EXPECT_EQ(Boxes.Seen, (std::vector<String>{MsgDlgTypeCaption(mtInformation) + L": Seçili Version 6.0 (PostgreSQL) Onaylıyor Musunuz?",
                                             String(QalTitle) + L": Kurulumu Tamamlandı..."}));

  EXPECT_EQ(Store.Requests(), (std::vector<String>{L"Zelkor 6.0.zip", L"diger/postgresql.zip", L"AnyDesk.zip"}));

  // The settings file: the package's file with the database server and port.
  TMemIniFile Settings(F + L"\\Pelmo60.cfg");
  EXPECT_EQ(Settings.ReadString(L"Database", L"DBServer", L""), L"localhost");
  EXPECT_EQ(Settings.ReadString(L"Database", L"DBPort", L""), L"5452");
  EXPECT_EQ(Settings.ReadString(L"Database", L"DBName", L""), L"zelkor6");
  EXPECT_EQ(Settings.ReadString(L"Genel", L"Dil", L""), L"tr");

  std::vector<String> Rules{FirewallRule(L"Zelkor-PG10", 5452)};
  for (Integer Port = 3001; Port <= 3006; ++Port) Rules.push_back(FirewallRule(L"ZELKOR-" + IntToStr(Port), Port));
  Rules.push_back(FirewallRule(L"ZELKOR-LICENSE-SERVICE", 7820));
  EXPECT_EQ(Com.FirewallCalls(), Rules);

  // Every program the installation ran, in order, with its working folder and command line.
  const String Data = L"\"" + F + L"\\Postgresql\\data\"";
  const String Demo = F + L"\\demodata\\market\\";
  const struct {
    String Program, Folder, Arguments;
  } Expected[] = {
      {L"vcredist_x64.exe", F + L"\\PostgreSql\\installer", L"/Q"},
      {L"initdb.exe", Bin, L"-D " + Data + L" -E \"UTF8\" --locale=\"tr_TR\" -c port=5452"},
      {L"pg_ctl.exe", Bin, L"register -N \"Zelkor-PG10\" -D " + Data + L" -w"},
      {L"service installed Zelkor-PG10", L"", L""},
      {L"service start Zelkor-PG10|" + Bin + L"pg_ctl.exe", L"", L""},
      {L"psql.exe", Bin,
       L"-p 5452 -d postgres -c  \"CREATE ROLE postgres WITH LOGIN SUPERUSER CREATEDB CREATEROLE INHERIT REPLICATION "
       L"CONNECTION LIMIT -1 PASSWORD 'tallowfin'\";"},
      {L"psql.exe", Bin, L"-p 5452 -d postgres -c \"CREATE DATABASE zelkor6_001 WITH OWNER = postgres ENCODING = 'UTF8';\""},
      {L"pg_restore.exe", Bin, L"-p 5452 -d zelkor6_001 -v \"" + Demo + L"zelkor6_001.backup\""},
      {L"psql.exe", Bin,
       L"-p 5452 -d postgres -c \"CREATE DATABASE zelkor6_sistem WITH OWNER = postgres ENCODING = 'UTF8';\""},
      {L"pg_restore.exe", Bin, L"-p 5452 -d zelkor6_sistem -v \"" + Demo + L"zelkor6_sistem.backup\""},
      {L"license-server.exe", F + L"\\lisans", L"/install"},
      {L"service installed zelkor-license-server2", L"", L""},
      {L"service start zelkor-license-server2|" + F + L"\\lisans\\license-server.exe", L"", L""},
      {L"AnyDesk.exe", F, L"--install \"" + GetProgramFilesFolder() + L"\" --create-desktop-icon --silent --update-auto"},
      {L"AnyDesk.exe", F, L"--set-password"},
      {L"AnyDesk.exe", L"stdin", L"Velmor@2864"},
  };
  std::vector<TJournalLine> Ran = Journal();
  ASSERT_EQ(Ran.size(), std::size(Expected)) << [&] {
    std::string All;
    for (const TJournalLine& L : Ran) All += "\n  " + UTF8Encode(L.Program + L" " + L.Arguments);
    return All;
  }();
  for (size_t I = 0; I < Ran.size(); ++I) {
    SCOPED_TRACE(testing::Message() << "program " << I << ": " << Ran[I].Program << " " << Ran[I].Arguments);
    if (Expected[I].Folder.empty()) {
      EXPECT_TRUE(SameFileName(Ran[I].Program, Expected[I].Program));
      continue;
    }
    EXPECT_EQ(Ran[I].Program, Expected[I].Program);
    if (Expected[I].Folder == L"stdin") {
      EXPECT_EQ(Ran[I].Folder, L"stdin");
    } else {
      EXPECT_TRUE(SameFileName(IncludeTrailingPathDelimiter(Ran[I].Folder),
                               IncludeTrailingPathDelimiter(Expected[I].Folder)))
          << Ran[I].Folder;
    }
    EXPECT_EQ(Trim(Ran[I].Arguments), Expected[I].Arguments);
  }

  // The services run, the database server under its names.
  EXPECT_EQ(GetServiceState(L"", L"Zelkor-PG10"), 4);
  EXPECT_EQ(GetServiceState(L"", L"zelkor-license-server2"), 4);
  EXPECT_EQ(ServiceValue(L"Zelkor-PG10", L"DisplayName"), L"Zelkor PostgreSQL veritabanı Sunucusu");
  EXPECT_EQ(ServiceValue(L"Zelkor-PG10", L"Description"), L"Zelkor PostgreSQL Port 5452");

  EXPECT_TRUE(SameFileName(LinkTarget(Desktop.Folder + L"\\Dovrik 10.1.lnk"), F + L"\\Dovrik101.exe"));
  EXPECT_FALSE(FileExists(F + L"\\AnyDesk.exe"));
  EXPECT_FALSE(FileExists(F + L"\\AnyDesk.zip"));

  const std::vector<TLogLine> Log{
      {LogWhite, L"Sunucu kurulum işlemleri başladı..."},
      {LogWhite, L"Zelkor 6.0.zip indiriliyor..."},
      {LogGreen, L"Zelkor 6.0.zip indirme tamamlandı..."},
      {LogWhite, L"Zelkor 6.0.zip genişletiliyor..."},
      {LogGreen, L"Zelkor 6.0.zip genişletildi..."},
      {LogWhite, L"Güvenlik Duvarına Portlar Ekleniyor .."},
      {LogGreen, L"Güvenlik Duvarına Portlar Eklendi .."},
      {LogWhite, L"diger/postgresql.zip indiriliyor..."},
      {LogGreen, L"diger/postgresql.zip indirme tamamlandı..."},
      {LogWhite, L"diger/postgresql.zip genişletiliyor..."},
      {LogGreen, L"diger/postgresql.zip genişletildi..."},
      {LogWhite, L"PostgreSQL hizmeti kuruluyor .."},
      {LogGreen, L"PostgreSQL hizmeti kuruldu .."},
      {LogWhite, L"market sektörü için demo veritabanları oluşturuluyor..."},
      {LogWhite, L"zelkor6_001 veritabanı oluşturuluyor..."},
      {LogWhite, L"zelkor6_001 veritabanı geri yükleniyor..."},
      {LogGreen, L"zelkor6_001 veritabanı geri yüklendi..."},
      {LogWhite, L"zelkor6_sistem veritabanı oluşturuluyor..."},
      {LogWhite, L"zelkor6_sistem veritabanı geri yükleniyor..."},
      {LogGreen, L"zelkor6_sistem veritabanı geri yüklendi..."},
      {LogGreen, L"Demo veritabanları başarıyla oluşturuldu ve geri yüklendi..."},
      {LogWhite, L"Lisans hizmeti kuruluyor .."},
      {LogGreen, L"Lisans hizmeti kuruldu .."},
      {LogWhite, L"AnyDesk.zip indiriliyor..."},
      {LogGreen, L"AnyDesk.zip indirme tamamlandı..."},
      {LogWhite, L"AnyDesk.zip genişletiliyor..."},
      {LogGreen, L"AnyDesk.zip genişletildi..."},
      {LogWhite, L"AnyDesk kuruluyor .."},
      {LogGreen, L"AnyDesk kuruldu .."},
      {LogWhite, L"Kurulumu Tamamlandı..."},
  };
  EXPECT_EQ(ColouredLog(Form), Log);
  // The log file has the same lines, and neither password anywhere.
  std::vector<String> File = Lines(ReadText(GetLogFileName()));
  ASSERT_EQ(File.size(), Log.size());
  for (size_t I = 0; I < File.size(); ++I) EXPECT_EQ(File[I].substr(13), Log[I].Text);
  EXPECT_EQ(ReadText(GetLogFileName()).find(L"tallowfin"), String::npos);

  // The run ended well: the form closed, its inputs enabled again.
  EXPECT_FALSE(Form->GetVisible());
  EXPECT_TRUE(Form->cmdQal->GetEnabled());
  EXPECT_FALSE(Form->GetRunning());
  EXPECT_TRUE(Form->GetLastingChange());  // the database server and the licence service were installed
}

// A server of 5.0: the settings file with the demo row, the REST service installed from the
// product folder, the sector form.
TEST_F(QalInstallWizardStore, ServerInstallationOfVersion50) {
  TPackage Product = Product50();
  AddStandin(Product, L"HalvexSrv20.exe", Journaled(L"service=Halvex20\r\n"));
  Store.Put(L"Zelkor 5.0.zip", Product);
  Store.Put(L"diger/postgresql.zip", PostgreSqlPackage());
  Choose(0, 0, false);
  Tick(Form->chDbDemo, true);
  const String F = Parent() + L"\\Zelkor 5.0";

  TRunDriver Boxes({AnswerDialog(mrYes), ChooseSector(0), AnswerDialog(mrOk)});
  EXPECT_EQ(PressMainButton(), L"");
  EXPECT_TRUE(Boxes.Finished());
  EXPECT_EQ(Store.Requests(), (std::vector<String>{L"Zelkor 5.0.zip", L"diger/postgresql.zip"}));

  TMemIniFile Settings(F + L"\\Korvit.ini");
  EXPECT_EQ(Settings.ReadString(L"Zelkor50", L"Server", L""), L"localhost");
  EXPECT_EQ(Settings.ReadString(L"Zelkor50", L"Port", L""), L"5452");
  EXPECT_EQ(Settings.ReadString(L"Zelkor50", L"Database", L""), L"zelkor5");
  EXPECT_EQ(Settings.ReadString(L"DemoData", L"Active", L""), L"1");

  // After the database server: the REST service, then the licence server; no demo databases.
  std::vector<String> Programs;
  for (const TJournalLine& L : Journal()) Programs.push_back(L.Program.substr(0, L.Program.find(L'|')));
  EXPECT_EQ(Programs, (std::vector<String>{L"vcredist_x64.exe", L"initdb.exe", L"pg_ctl.exe",
                                           L"service installed Zelkor-PG10", L"service start Zelkor-PG10", L"psql.exe",
                                           L"HalvexSrv20.exe", L"service installed Halvex20", L"service start Halvex20",
                                           L"license-server.exe", L"service installed zelkor-license-server2",
                                           L"service start zelkor-license-server2"}));
  for (const TJournalLine& L : Journal()) {
    if (L.Program != L"HalvexSrv20.exe") continue;
    EXPECT_TRUE(SameFileName(IncludeTrailingPathDelimiter(L.Folder), F + L"\\")) << L.Folder;
    EXPECT_EQ(L.Arguments, L"/install /Silent");
  }
  EXPECT_EQ(GetServiceState(L"", L"Halvex20"), 4);
  {
    TRegistry Policy(KEY_READ);
    Policy.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(Policy.OpenKeyReadOnly(L"SOFTWARE\\Policies\\Microsoft\\Windows\\CertProp"));
    EXPECT_EQ(Policy.ReadInteger(L"CertPropEnabled"), 0);
  }
  EXPECT_TRUE(SameFileName(LinkTarget(Desktop.Folder + L"\\ZelkorPos.lnk"), F + L"\\ZelkorPOS.exe"));
  TRegistry().DeleteKey(L"\\Software\\Zelkor\\Retail");

  const std::vector<TLogLine> Tail{
      {LogGreen, L"PostgreSQL hizmeti kuruldu .."},
      {LogWhite, L"Halvex hizmeti kuruluyor .."},
      {LogGreen, L"Halvex hizmeti kuruldu .."},
      {LogWhite, L"Lisans hizmeti kuruluyor .."},
      {LogGreen, L"Lisans hizmeti kuruldu .."},
      {LogGreen, L"Kısayollar oluşturuldu.."},
      {LogWhite, L"Kurulumu Tamamlandı..."},
  };
  std::vector<TLogLine> Log = ColouredLog(Form);
  ASSERT_GE(Log.size(), Tail.size());
  EXPECT_EQ(std::vector<TLogLine>(Log.end() - Tail.size(), Log.end()), Tail);
  EXPECT_FALSE(Form->GetVisible());
}

// The folder of the version is there already: nothing is asked of the server, nothing changes.
TEST_F(QalInstallWizardStore, RefusesAnExistingProductFolder) {
  const String F = Parent() + L"\\Zelkor 6.0";
  ForceDirectories(F);
  WriteText(F + L"\\Pelmo60.cfg", L"[Database]\r\nDBServer=eski\r\n");
  Choose(0, 0, true);
  TRunDriver Boxes({AnswerDialog(mrYes), AnswerDialog(mrOk)});
  EXPECT_EQ(PressMainButton(), L"");
  EXPECT_TRUE(Boxes.Finished());
  EXPECT_EQ(Boxes.Seen[1], MsgDlgTypeCaption(mtWarning) + L": Zelkor 6.0 klasörü zaten mevcut yeni kurulum yapılamaz!");
  EXPECT_TRUE(Store.Requests().empty());
  EXPECT_EQ(ReadText(F + L"\\Pelmo60.cfg"), L"[Database]\r\nDBServer=eski\r\n");
  EXPECT_TRUE(ColouredLog(Form).empty());
  EXPECT_TRUE(Form->GetVisible());
  EXPECT_TRUE(Form->cmdQal->GetEnabled());
}

// The folder is taken once when the run starts: its group is disabled with the other inputs, and a
// text put into the edit mid-run (as F2 and the browser would) sends no later step elsewhere.
TEST_F(QalInstallWizardStore, FolderChangedDuringTheRunIsNotFollowed) {
  Store.Put(L"Zelkor 6.0.zip", Product60());
  Choose(0, 0, true);
  Tick(Form->chServer, false);
  const String Elsewhere = Work / L"Baska";
  ForceDirectories(Elsewhere);
  Form->txPath->SetText(L"  " + Parent() + L" ");
  std::vector<bool> EnabledDuringRun;
  auto ChangeFolderMidRun = [&](TRunDriver&) {
    if (!Form->GetRunning()) return false;
    for (TControl* C : std::initializer_list<TControl*>{Form->gbKonum, Form->GroupBox2, Form->rgSector, Form->cmdQal,
                                                        Form->cmdVazgec, Form->rgVersiyon})
      EnabledDuringRun.push_back(C->GetEnabled());
    Form->txPath->SetText(Elsewhere);
    return true;
  };
  TRunDriver Boxes({AnswerDialog(mrYes), ChangeFolderMidRun, AnswerDialog(mrOk)});
  EXPECT_EQ(PressMainButton(), L"");
  EXPECT_TRUE(Boxes.Finished());
  EXPECT_EQ(EnabledDuringRun, std::vector<bool>(6, false));
  const String F = Parent() + L"\\Zelkor 6.0";
  TMemIniFile Settings(F + L"\\Pelmo60.cfg");
  EXPECT_EQ(Settings.ReadString(L"Database", L"DBServer", L""), L"localhost");
  EXPECT_EQ(Settings.ReadString(L"Database", L"DBPort", L""), L"5452");
  EXPECT_FALSE(DirectoryExists(Elsewhere + L"\\Zelkor 6.0"));
  EXPECT_EQ(GetServiceState(L"", L"zelkor-license-server2"), 4);
  EXPECT_TRUE(SameFileName(LinkTarget(Desktop.Folder + L"\\Dovrik 10.1.lnk"), F + L"\\Dovrik101.exe"));
  EXPECT_TRUE(Form->gbKonum->GetEnabled());
}

// A download that fails before anything lasting was done takes the half-made folder away; a
// failure after the database server was set up keeps it and says so.
TEST_F(QalInstallWizardStore, FailureRemovesTheHalfMadeFolderOnlyWhileNothingLastingChanged) {
  const String F = Parent() + L"\\Zelkor 6.0";
  Store.Put(L"Zelkor 6.0.zip", Product60());
  Store.Remove(L"diger/postgresql.zip");
  Choose(0, 0, true);
  {
    TRunDriver Boxes({AnswerDialog(mrYes)});
    EXPECT_EQ(PressMainButton(), L"diger/postgresql.zip indirilemedi (HTTP 404 Not Found).");
    EXPECT_TRUE(Boxes.Finished());
  }
  std::vector<TLogLine> Log = ColouredLog(Form);
  ASSERT_GE(Log.size(), 3u);
  EXPECT_EQ(std::vector<TLogLine>(Log.end() - 3, Log.end()),
            (std::vector<TLogLine>{
                {LogRed, L"diger/postgresql.zip başarısız: diger/postgresql.zip indirilemedi (HTTP 404 Not Found)."},
                {LogRed, L"Kurulum tamamlanamadı: diger/postgresql.zip indirilemedi (HTTP 404 Not Found)."},
                {LogWhite, L"Yarım kalan Zelkor 6.0 klasörü temizleniyor..."}}));
  EXPECT_FALSE(DirectoryExists(F));
  EXPECT_TRUE(DirectoryExists(Parent()));
  EXPECT_FALSE(Form->GetLastingChange());
  // The status shows no step of the run that failed.
  EXPECT_EQ(Form->lbStatus->GetCaption(), L"");
  EXPECT_EQ(Form->ProgressBar1->GetPosition(), 0);
  EXPECT_TRUE(Form->GetVisible());
  EXPECT_TRUE(Form->cmdQal->GetEnabled());
  EXPECT_EQ(GetServiceState(L"", L"Zelkor-PG10"), 0);

  // Again with the database server's package, and a desktop where the shortcut cannot be made.
  Form->Memo1->GetLines()->Clear();
  Store.Put(L"diger/postgresql.zip", PostgreSqlPackage());
  ForceDirectories(Desktop.Folder + L"\\Dovrik 10.1.lnk");
  String Error;
  {
    TRunDriver Boxes({AnswerDialog(mrYes)});
    Error = PressMainButton();
    EXPECT_TRUE(Boxes.Finished());
  }
  EXPECT_FALSE(Error.empty());
  Log = ColouredLog(Form);
  ASSERT_GE(Log.size(), 2u);
  EXPECT_EQ(std::vector<TLogLine>(Log.end() - 2, Log.end()),
            (std::vector<TLogLine>{{LogRed, L"Kurulum tamamlanamadı: " + Error},
                                   {LogRed, L"Sistemde kalıcı değişiklik yapıldığı için " + F +
                                                L" klasörü silinmedi. Tekrar denemeden önce elle temizlenmelidir."}}));
  EXPECT_TRUE(FileExists(F + L"\\Pelmo60.cfg"));
  EXPECT_TRUE(Form->GetLastingChange());
  EXPECT_EQ(GetServiceState(L"", L"Zelkor-PG10"), 4);
  EXPECT_TRUE(Form->GetVisible());
  EXPECT_TRUE(Form->cmdQal->GetEnabled());
}

// A database server that does not start ends the installation without success: the programs that
// failed are named with their codes, nothing that needs the server runs, and the folder stays.
TEST_F(QalInstallWizardStore, DatabaseServerThatDoesNotStartEndsTheInstallation) {
  Store.Put(L"Zelkor 6.0.zip", Product60());
  Store.Put(L"diger/postgresql.zip", PostgreSqlPackage(L"exit=1\r\n"));  // registers no service
  Choose(0, 0, true);
  Tick(Form->chDbDemo, true);
  Form->rgSector->SetItemIndex(0);
  const String F = Parent() + L"\\Zelkor 6.0";

  TRunDriver Boxes({AnswerDialog(mrYes)});
  EXPECT_EQ(PressMainButton(), L"PostgreSQL hizmeti başlatılamadı: Zelkor-PG10");
  EXPECT_TRUE(Boxes.Finished());
  EXPECT_EQ(Boxes.Seen.size(), 1u);  // no success box

  std::vector<String> Programs;
  for (const TJournalLine& L : Journal()) Programs.push_back(L.Program);
  EXPECT_EQ(Programs, (std::vector<String>{L"vcredist_x64.exe", L"initdb.exe", L"pg_ctl.exe"}));
  const std::vector<TLogLine> Tail{
      {LogWhite, L"PostgreSQL hizmeti kuruluyor .."},
      {LogRed, L"pg_ctl başarısız oldu, çıkış kodu: 1"},
      {LogRed, NetStartFailed},
      {LogRed, L"Kurulum tamamlanamadı: PostgreSQL hizmeti başlatılamadı: Zelkor-PG10"},
      {LogRed, L"Sistemde kalıcı değişiklik yapıldığı için " + F +
                   L" klasörü silinmedi. Tekrar denemeden önce elle temizlenmelidir."},
  };
  std::vector<TLogLine> Log = ColouredLog(Form);
  ASSERT_GE(Log.size(), Tail.size());
  EXPECT_EQ(std::vector<TLogLine>(Log.end() - Tail.size(), Log.end()), Tail);
  EXPECT_TRUE(FileExists(F + L"\\Pelmo60.cfg"));
  EXPECT_TRUE(Form->GetLastingChange());
  EXPECT_EQ(GetServiceState(L"", L"zelkor-license-server2"), 0);
  EXPECT_FALSE(FileExists(Desktop.Folder + L"\\Dovrik 10.1.lnk"));
  EXPECT_TRUE(Form->GetVisible());
  EXPECT_TRUE(Form->cmdQal->GetEnabled());
}

// On a 32-bit system the operator is asked first, and the database server is never downloaded;
// a demo box without a sector makes no demo databases, and a remote-desktop package that cannot
// be had is skipped.
TEST_F(QalInstallWizardStore, ThirtyTwoBitSystemGoesOnWithoutTheDatabaseServer) {
  QalArchitecture = [] { return TOSVersion::arIntelX86; };
  Store.Put(L"Zelkor 6.0.zip", Product60());
  Store.Put(L"diger/postgresql.zip", PostgreSqlPackage());
  Store.Remove(L"AnyDesk.zip");
  Choose(0, 0, true);
  Tick(Form->chDbDemo, true);
  Form->rgSector->SetItemIndex(-1);
  Tick(Form->chAnyDesk, true);
  ASSERT_TRUE(Form->chServer->GetChecked());

  // No: nothing happens.
  {
    TRunDriver Boxes({AnswerDialog(mrYes), AnswerDialog(mrNo)});
    EXPECT_EQ(PressMainButton(), L"");
    EXPECT_TRUE(Boxes.Finished());
    EXPECT_EQ(Boxes.Seen[1], MsgDlgTypeCaption(mtConfirmation) + L": İşletim sistemi mimarisi 32 bit olduğundan dolayı veritabanı sunucusu "
                             L"kurulmayacak\rDevam etmek istiyor musunuz?");
  }
  EXPECT_TRUE(Store.Requests().empty());
  EXPECT_FALSE(DirectoryExists(Parent() + L"\\Zelkor 6.0"));

  TRunDriver Boxes({AnswerDialog(mrYes), AnswerDialog(mrYes), AnswerDialog(mrOk)});
  EXPECT_EQ(PressMainButton(), L"");
  EXPECT_TRUE(Boxes.Finished());
  EXPECT_EQ(Store.Requests(), (std::vector<String>{L"Zelkor 6.0.zip", L"AnyDesk.zip"}));
  std::vector<TLogLine> Log = ColouredLog(Form);
  const std::vector<TLogLine> Tail{
      {LogGreen, L"Güvenlik Duvarına Portlar Eklendi .."},
      {LogWhite, L"Lisans hizmeti kuruluyor .."},
      {LogGreen, L"Lisans hizmeti kuruldu .."},
      {LogWhite, L"AnyDesk.zip indiriliyor..."},
      {LogRed, L"AnyDesk.zip başarısız: AnyDesk.zip indirilemedi (HTTP 404 Not Found)."},
      {LogRed, L"AnyDesk kurulumu atlandı: AnyDesk.zip indirilemedi (HTTP 404 Not Found)."},
      {LogWhite, L"Kurulumu Tamamlandı..."},
  };
  ASSERT_GE(Log.size(), Tail.size());
  EXPECT_EQ(std::vector<TLogLine>(Log.end() - Tail.size(), Log.end()), Tail);
  EXPECT_EQ(GetServiceState(L"", L"Zelkor-PG10"), 0);
  EXPECT_EQ(GetServiceState(L"", L"zelkor-license-server2"), 4);
}

// A client of 5.0: the server it finds on the database port, the settings file, the sector form
// with its shortcuts.
TEST_F(QalInstallWizardStore, ClientInstallationOfVersion50) {
  TLoopbackServer Database("127.0.0.23", 5452);
  ASSERT_TRUE(Database.Listening) << "port 5452 of 127.0.0.23 is taken";
  Store.Put(L"Zelkor 5.0.zip", Product50());
  Choose(0, 1, false);
  EXPECT_FALSE(Form->chServer->GetChecked());
  EXPECT_FALSE(Form->chDbDemo->GetEnabled());
  const String F = Parent() + L"\\Zelkor 5.0";

  TRunDriver Boxes({AnswerDialog(mrYes), AnswerCountdownBox(true), PickServer(L"127.0.0.23"), ChooseSector(1),
                    AnswerDialog(mrOk)});
  EXPECT_EQ(PressMainButton(), L"");
  EXPECT_TRUE(Boxes.Finished());
  ASSERT_EQ(Boxes.Seen.size(), 5u);
  EXPECT_EQ(Boxes.Seen[1], L"Uyarı: İstemci kurulumuna başlamadan önce sunucu kurulumunun tamamlandığından ve "
                           L"veritabanı sunucusunun çalışır halde olduğundan<br>emin olunuz, şimdi istemci kurulumuna "
                           L"devam etmek istiyor musunuz?");
  EXPECT_NE(Boxes.Seen[2].find(L"127.0.0.23"), String::npos) << Boxes.Seen[2];
  EXPECT_EQ(Store.Requests(), std::vector<String>{L"Zelkor 5.0.zip"});

  TMemIniFile Settings(F + L"\\Korvit.ini");
  EXPECT_EQ(Settings.ReadString(L"Zelkor50", L"Server", L""), L"127.0.0.23");
  EXPECT_EQ(Settings.ReadString(L"Zelkor50", L"Port", L""), L"5452");
  EXPECT_EQ(Settings.ReadString(L"Zelkor50", L"Database", L""), L"zelkor5");
  EXPECT_FALSE(Settings.SectionExists(L"DemoData"));

  EXPECT_TRUE(SameFileName(LinkTarget(Desktop.Folder + L"\\Dovrik 9.6.lnk"), F + L"\\Dovrik96.exe"));
  EXPECT_TRUE(SameFileName(LinkTarget(Desktop.Folder + L"\\ZelkorPos.lnk"), F + L"\\ZelkorPOS.exe"));
  TRegistry Retail;
  ASSERT_TRUE(Retail.OpenKeyReadOnly(L"\\Software\\Zelkor\\Retail"));
  EXPECT_EQ(Retail.ReadInteger(L"PosType"), 2);
  Retail.CloseKey();
  TRegistry().DeleteKey(L"\\Software\\Zelkor\\Retail");

  EXPECT_EQ(ColouredLog(Form), (std::vector<TLogLine>{{LogWhite, L"İstemci kurulum işlemleri başladı..."},
                                                      {LogWhite, L"Zelkor 5.0.zip indiriliyor..."},
                                                      {LogGreen, L"Zelkor 5.0.zip indirme tamamlandı..."},
                                                      {LogWhite, L"Zelkor 5.0.zip genişletiliyor..."},
                                                      {LogGreen, L"Zelkor 5.0.zip genişletildi..."},
                                                      {LogGreen, L"Kısayollar oluşturuldu.."},
                                                      {LogWhite, L"Kurulumu Tamamlandı..."}}));
  // A client changes no service and opens no port.
  EXPECT_TRUE(Journal().empty());
  EXPECT_TRUE(Com.FirewallCalls().empty());
  EXPECT_FALSE(Form->GetLastingChange());

  // The picker and its address form are gone with the run: the writer can ask again, and a
  // cancelled search leaves the server as it was and writes the port.
  EXPECT_EQ(Application->FindComponent(L"frmSunucu"), nullptr);
  Tick(Form->chDbDemo, true);
  TRunDriver Again({[](TRunDriver&) {
    auto* Picker = ShownForm<TfrmSunucu>();
    if (!Picker || !Picker->cmdVazgec->GetEnabled()) return false;
    Picker->cmdVazgec->Click();
    return true;
  }});
  WriteText(F + L"\\Korvit.ini", L"[Zelkor50]\r\nServer=eski\r\n");
  Form->WriteKorvitIni();
  EXPECT_TRUE(Again.Finished());
  TMemIniFile After(F + L"\\Korvit.ini");
  EXPECT_EQ(After.ReadString(L"Zelkor50", L"Server", L""), L"eski");
  EXPECT_EQ(After.ReadString(L"Zelkor50", L"Port", L""), L"5452");
  EXPECT_EQ(After.ReadString(L"DemoData", L"Active", L""), L"1");
}

// A client of 6.0: the countdown question, the server found on the database port in the settings
// file (its other keys kept), the shortcut; no service, no port.
TEST_F(QalInstallWizardStore, ClientInstallationOfVersion60) {
  TLoopbackServer Database("127.0.0.24", 5452);
  ASSERT_TRUE(Database.Listening) << "port 5452 of 127.0.0.24 is taken";
  Store.Put(L"Zelkor 6.0.zip", Product60());
  Choose(0, 1, true);
  EXPECT_FALSE(Form->chServer->GetChecked());
  const String F = Parent() + L"\\Zelkor 6.0";
  TRunDriver Boxes({AnswerDialog(mrYes), AnswerCountdownBox(true), PickServer(L"127.0.0.24"), AnswerDialog(mrOk)});
  EXPECT_EQ(PressMainButton(), L"");
  EXPECT_TRUE(Boxes.Finished());
  EXPECT_EQ(Store.Requests(), std::vector<String>{L"Zelkor 6.0.zip"});
  TMemIniFile Settings(F + L"\\Pelmo60.cfg");
  EXPECT_EQ(Settings.ReadString(L"Database", L"DBServer", L""), L"127.0.0.24");
  EXPECT_EQ(Settings.ReadString(L"Database", L"DBPort", L""), L"5452");
  EXPECT_EQ(Settings.ReadString(L"Database", L"DBName", L""), L"zelkor6");
  EXPECT_EQ(Settings.ReadString(L"Genel", L"Dil", L""), L"tr");
  EXPECT_TRUE(SameFileName(LinkTarget(Desktop.Folder + L"\\Dovrik 10.1.lnk"), F + L"\\Dovrik101.exe"));
  EXPECT_TRUE(Journal().empty());
  EXPECT_TRUE(Com.FirewallCalls().empty());
  EXPECT_EQ(ColouredLog(Form), (std::vector<TLogLine>{{LogWhite, L"İstemci kurulum işlemleri başladı..."},
                                                      {LogWhite, L"Zelkor 6.0.zip indiriliyor..."},
                                                      {LogGreen, L"Zelkor 6.0.zip indirme tamamlandı..."},
                                                      {LogWhite, L"Zelkor 6.0.zip genişletiliyor..."},
                                                      {LogGreen, L"Zelkor 6.0.zip genişletildi..."},
                                                      {LogWhite, L"Kurulumu Tamamlandı..."}}));
  EXPECT_FALSE(Form->GetVisible());
}

// The .NET installer is started directly, hidden, in the folder it lands in, and not waited for;
// one that cannot start is said in red.
TEST_F(QalInstallWizardStore, DotNetInstallerStartsDirectlyInItsFolder) {
  const String P = Work / L"Program (x86) & Co";
  ForceDirectories(P);
  Form->txPath->SetText(P);
  TPackage Installer;
  AddStandin(Installer, L"ndp461.exe", Journaled());
  Store.Put(L"diger/ndp461.zip", Installer);
  Form->InstallDotNetFramework();
  for (int Try = 0; Try < 500 && Journal().empty(); ++Try) Sleep(20);
  std::vector<TJournalLine> Ran = Journal();
  ASSERT_EQ(Ran.size(), 1u);
  EXPECT_EQ(Ran[0].Program, L"ndp461.exe");
  EXPECT_TRUE(SameFileName(IncludeTrailingPathDelimiter(Ran[0].Folder), P + L"\\")) << Ran[0].Folder;
  EXPECT_EQ(Ran[0].Arguments, L"/passive /showrmui /norestart");
  EXPECT_EQ(ColouredLog(Form), (std::vector<TLogLine>{{LogWhite, L"diger/ndp461.zip indiriliyor..."},
                                                      {LogGreen, L"diger/ndp461.zip indirme tamamlandı..."},
                                                      {LogWhite, L"diger/ndp461.zip genişletiliyor..."},
                                                      {LogGreen, L"diger/ndp461.zip genişletildi..."},
                                                      {LogWhite, L"NetFramework kuruluyor .."},
                                                      {LogGreen, L"NetFramework kuruldu .."}}));

  // A package without the installer.
  for (int Try = 0; Try < 250 && FileExists(P + L"\\ndp461.exe") && !DeleteFile(P + L"\\ndp461.exe"); ++Try) Sleep(20);
  TPackage Other;
  AddFile(Other, L"Beni Oku.txt", L"ndp461");
  Store.Put(L"diger/ndp461.zip", Other);
  Form->Memo1->GetLines()->Clear();
  Form->InstallDotNetFramework();
  std::vector<TLogLine> Log = ColouredLog(Form);
  ASSERT_FALSE(Log.empty());
  EXPECT_EQ(Log.back(), (TLogLine{LogRed, L"NetFramework kurulamadı: " + SysErrorMessage(ERROR_FILE_NOT_FOUND)}));
}

// ---- Steps on their own ----------------------------------------------------------------------

// The database server's programs as stand-ins in a product folder of 6.0, noting their command
// lines in one journal; the database service removed before and after.
class QalInstallSteps : public TMainFormTest {
 protected:
  void SetUp() override {
    TMainFormTest::SetUp();
    RemoveService(L"Zelkor-PG10");
    Form->txPath->SetText(Parent.Path());
    Form->rgVersiyon->SetItemIndex(1);
  }
  void TearDown() override {
    RemoveService(L"Zelkor-PG10");
    TMainFormTest::TearDown();
  }
  // Each program with its settings; Override gives other settings, or null to leave a program out.
  void PlacePostgreSql(const std::map<String, const wchar_t*>& Override = {}) {
    const std::pair<const wchar_t*, const wchar_t*> Tools[] = {{L"vcredist_x64", L""},
                                                               {L"initdb", L""},
                                                               {L"pg_ctl", L"service=Zelkor-PG10\r\n"},
                                                               {L"psql", L""},
                                                               {L"pg_restore", L""}};
    for (auto [Tool, Settings] : Tools) {
      if (auto O = Override.find(Tool); O != Override.end()) Settings = O->second;
      if (!Settings) continue;
      const String Folder = String(Tool) == L"vcredist_x64" ? F + L"\\PostgreSql\\installer" : Bin;
      ForceDirectories(Folder);
      PlaceStandin(Folder, String(Tool) + L".exe", L"journal=" + JournalFile + L"\r\n" + Settings);
    }
  }
  // The journal's lines, a service's without its program's path.
  std::vector<String> Ran() const {
    std::vector<String> Result;
    for (const TJournalLine& L : ReadJournal(JournalFile)) Result.push_back(L.Program.substr(0, L.Program.find(L'|')));
    return Result;
  }
  String RunError(const std::function<void()>& Step) {
    try {
      Step();
    } catch (const Exception& E) {
      return E.Message();
    }
    return String();
  }

  TScratchFolder Parent{L"steps"};
  const String F = Parent / L"Zelkor 6.0";
  const String Bin = F + L"\\Postgresql\\bin";
  const String JournalFile = Parent / L"journal.txt";
};

// A program of the database server's set-up that ends with a code other than 0 is named in red
// with its code, and the set-up is not reported as done; once the service was to be started, a
// service that does not run ends the installation.
TEST_F(QalInstallSteps, DatabaseServerProgramsThatFailAreNamedWithTheirCodes) {
  const std::vector<String> All{L"vcredist_x64.exe", L"initdb.exe",  L"pg_ctl.exe", L"service installed Zelkor-PG10",
                                L"service start Zelkor-PG10", L"psql.exe"};
  const struct {
    const char* What;
    std::map<String, const wchar_t*> Override;
    std::vector<String> Ran, Log;
    const wchar_t* Error;
  } Cases[] = {
      {"the runtime is there already",
       {{L"vcredist_x64", L"exit=1638"}},
       All,
       {L"PostgreSQL hizmeti kuruluyor ..", L"PostgreSQL hizmeti kuruldu .."},
       L""},
      {"the runtime, the data folder and the role fail, the service runs",
       {{L"vcredist_x64", L"exit=1603"}, {L"initdb", L"exit=1"}, {L"psql", L"exit=2"}},
       All,
       {L"PostgreSQL hizmeti kuruluyor ..", L"vcredist_x64 başarısız oldu, çıkış kodu: 1603",
        L"initdb başarısız oldu, çıkış kodu: 1", L"psql başarısız oldu, çıkış kodu: 2"},
       L""},
      {"no service is registered",
       {{L"pg_ctl", L"exit=1"}},
       {L"vcredist_x64.exe", L"initdb.exe", L"pg_ctl.exe"},
       {L"PostgreSQL hizmeti kuruluyor ..", L"pg_ctl başarısız oldu, çıkış kodu: 1", NetStartFailed},
       L"PostgreSQL hizmeti başlatılamadı: Zelkor-PG10"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    RemoveService(L"Zelkor-PG10");
    RemoveTree(F);
    DeleteFileW(JournalFile.c_str());
    Form->Memo1->GetLines()->Clear();
    PlacePostgreSql(C.Override);
    EXPECT_EQ(RunError([&] { Form->InstallPostgreSql(); }), C.Error);
    EXPECT_EQ(Ran(), C.Ran);
    EXPECT_EQ(LogLines(Form), C.Log);
  }
}

// A demo database's program that fails ends the demo data with the step's red line naming it;
// the installation goes on.
TEST_F(QalInstallSteps, ADemoDatabaseProgramThatFailsEndsTheDemoData) {
  for (const wchar_t* Backup : {L"zelkor6_001.backup", L"zelkor6_sistem.backup"}) {
    ForceDirectories(F + L"\\demodata\\market");
    WriteText(F + L"\\demodata\\market\\" + Backup, L"yedek");
  }
  Form->chDbDemo->SetChecked(true);
  Form->rgSector->SetItemIndex(0);
  const String Create = L"-p 5452 -d postgres -c \"CREATE DATABASE zelkor6_001 WITH OWNER = postgres ENCODING = 'UTF8';\"";
  const struct {
    const char* What;
    std::map<String, const wchar_t*> Override;
    std::vector<String> Ran, Log;
  } Cases[] = {
      {"the restore fails",
       {{L"pg_restore", L"exit=1"}},
       {L"psql.exe", L"pg_restore.exe"},
       {L"market sektörü için demo veritabanları oluşturuluyor...", L"zelkor6_001 veritabanı oluşturuluyor...",
        L"zelkor6_001 veritabanı geri yükleniyor...",
        L"Demo veritabanı geri yükleme hatası: pg_restore başarısız oldu, çıkış kodu: 1"}},
      {"the database cannot be made",
       {{L"psql", L"exit=3"}},
       {L"psql.exe"},
       {L"market sektörü için demo veritabanları oluşturuluyor...", L"zelkor6_001 veritabanı oluşturuluyor...",
        L"Demo veritabanı geri yükleme hatası: psql başarısız oldu, çıkış kodu: 3"}},
      {"psql is not there",
       {{L"psql", nullptr}},
       {},
       {L"market sektörü için demo veritabanları oluşturuluyor...", L"zelkor6_001 veritabanı oluşturuluyor...",
        L"Komut çalıştırılamadı: psql " + Create + L" - " + SysErrorMessage(ERROR_FILE_NOT_FOUND),
        L"Demo veritabanı geri yükleme hatası: psql çalıştırılamadı"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    RemoveTree(Bin);
    DeleteFileW(JournalFile.c_str());
    Form->Memo1->GetLines()->Clear();
    PlacePostgreSql(C.Override);
    EXPECT_EQ(RunError([&] { Form->CreateDemoDatabases(); }), L"");
    EXPECT_EQ(Ran(), C.Ran);
    EXPECT_EQ(LogLines(Form), C.Log);
  }
}

// A sector whose backup is missing makes no demo database: the missing file is named in red and
// no program runs.
TEST_F(QalInstallSteps, AMissingDemoBackupMakesNoDatabase) {
  ForceDirectories(F + L"\\demodata\\restoran");
  WriteText(F + L"\\demodata\\restoran\\zelkor6_001.backup", L"yedek");
  PlacePostgreSql();
  Form->chDbDemo->SetChecked(true);
  Form->rgSector->SetItemIndex(1);
  EXPECT_EQ(RunError([&] { Form->CreateDemoDatabases(); }), L"");
  EXPECT_EQ(Ran(), std::vector<String>{});
  EXPECT_EQ(LogLines(Form), std::vector<String>{L"Demo veritabanı yedeği bulunamadı: " + F +
                                                L"\\demodata\\restoran\\zelkor6_sistem.backup"});
}

// The passwords the installation hands to its programs never reach the log, also when a program
// cannot be started and its command line is logged.
TEST_F(QalInstallSteps, PasswordsNeverReachTheLog) {
  PlacePostgreSql({{L"psql", nullptr}});
  Form->InstallPostgreSql();
  std::vector<String> Log = LogLines(Form);
  ASSERT_EQ(Log.size(), 2u);  // a program that did not run: the set-up is not reported as done
  EXPECT_EQ(Log[1].rfind(L"Komut çalıştırılamadı: psql -p 5452 -d postgres -c  \"CREATE ROLE postgres", 0), 0u);
  EXPECT_NE(Log[1].find(L"PASSWORD '*********'\";"), String::npos) << Log[1];

  Form->AddToLog(LogRed, L"Komut çalıştırılamadı: cmd.exe /C echo Velmor@2864 | anydesk.exe --set-password - x");
  EXPECT_EQ(LogLines(Form).back(), L"Komut çalıştırılamadı: cmd.exe /C echo *********** | anydesk.exe --set-password - x");
  const String File = ReadText(GetLogFileName());
  EXPECT_EQ(File.find(L"tallowfin"), String::npos);
  EXPECT_EQ(File.find(L"Velmor@2864"), String::npos);
  EXPECT_NE(File.find(L"PASSWORD '*********'"), String::npos);
}

}  // namespace
