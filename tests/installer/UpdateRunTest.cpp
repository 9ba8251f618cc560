// Updates of an installed product folder, run whole against the local download server with the
// product's services running for real in the test's Wine prefix; and the update's backup and copy
// on their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "framework/Dialogs.h"
#include "installer/WizardRunUtil.h"

using namespace insttest;

namespace {

// Files below Folder as "a/b.txt" => contents.
std::map<String, String> TreeOf(const String& Folder, const String& Prefix = String()) {
  std::map<String, String> Result;
  WIN32_FIND_DATAW Found;
  HANDLE Search = FindFirstFileW((Folder + L"\\*").c_str(), &Found);
  if (Search == INVALID_HANDLE_VALUE) return Result;
  do {
    String Name = Found.cFileName;
    if (Name == L"." || Name == L"..") continue;
    if (Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      Result.merge(TreeOf(Folder + L"\\" + Name, Prefix + Name + L"/"));
    else
      Result[Prefix + Name] = ReadText(Folder + L"\\" + Name);
  } while (FindNextFileW(Search, &Found));
  FindClose(Search);
  return Result;
}

// Writes the files of Tree ("a/b.txt" => contents) below Folder.
void MakeTree(const String& Folder, const std::map<String, String>& Tree) {
  for (const auto& [Name, Text] : Tree) {
    String Path = Folder + L"\\" + StringReplace(Name, L"/", L"\\", {rfReplaceAll});
    ForceDirectories(ExtractFileDir(Path));
    WriteText(Path, Text);
  }
}

struct TZipEntry {
  String Name, Text;
  Word Method;
  bool operator<(const TZipEntry& O) const { return Name < O.Name; }
  bool operator==(const TZipEntry&) const = default;
};
std::ostream& operator<<(std::ostream& Out, const TZipEntry& E) {
  return Out << UTF8Encode(E.Name) << " (" << E.Method << ")";
}

std::set<TZipEntry> ZipEntries(const String& File) {
  std::set<TZipEntry> Result;
  TZipFile Zip;
  Zip.Open(File, zmRead);
  for (Integer I = 0; I < Zip.GetFileCount(); ++I) {
    TBytes Bytes;
    Zip.Read(I, Bytes);
    Result.insert({Zip.GetFileName(I), UTF8ToString(std::string(Bytes.begin(), Bytes.end())),
                   Zip.GetFileInfo(I).CompressionMethod});
  }
  return Result;
}

// ---- The backup and the copy on their own -------------------------------------------------------

using QalUpdateFiles = TMainFormTest;

// The whole folder as stored entries, but of the two electronic-document folders that the update
// never writes into only their templates; "eadisyon", which it may overwrite, whole.
TEST_F(QalUpdateFiles, BackupKeepsTheTreeAndOnlyTheDocumentTemplates) {
  TScratchFolder Root(L"backup");
  const String Folder = Root / L"Zelkor 5.0";
  MakeTree(Folder, {{L"Dovrik96.exe", L"program"},
                    {L"bin/alt/derin.dll", L"kütüphane"},
                    {L"efatura/sablon/t.xml", L"şablon"},
                    {L"efatura/2024/inv.xml", L"fatura"},
                    {L"EIRSALIYE/Sablon/i.xml", L"irsaliye şablonu"},
                    {L"EIRSALIYE/gonderilen.xml", L"irsaliye"},
                    {L"eadisyon/x.txt", L"adisyon"},
                    {L"eadisyon/sablon/s.xml", L"adisyon şablonu"},
                    {L"gizli.txt", L"gizli"},
                    {L"sistem.dat", L"sistem"}});
  CreateDirectoryW((Folder + L"\\boş").c_str(), nullptr);
  SetFileAttributesW((Folder + L"\\gizli.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesW((Folder + L"\\sistem.dat").c_str(), FILE_ATTRIBUTE_SYSTEM);

  Form->BackupFolderToZip(Root / L"yedek.zip", Folder);
  const std::set<TZipEntry> Expected{
      {L"Dovrik96.exe", L"program", 0},         {L"bin/alt/derin.dll", L"kütüphane", 0},
      {L"efatura/sablon/t.xml", L"şablon", 0},  {L"EIRSALIYE/sablon/i.xml", L"irsaliye şablonu", 0},
      {L"eadisyon/x.txt", L"adisyon", 0},       {L"eadisyon/sablon/s.xml", L"adisyon şablonu", 0},
      {L"gizli.txt", L"gizli", 0},              {L"sistem.dat", L"sistem", 0},
  };
  EXPECT_EQ(ZipEntries(Root / L"yedek.zip"), Expected);
  EXPECT_EQ(Form->lbStatus->GetCaption(), L"sistem.dat");

  // A second backup of the same name replaces the first.
  DeleteFileW((Folder + L"\\Dovrik96.exe").c_str());
  Form->BackupFolderToZip(Root / L"yedek.zip", Folder);
  EXPECT_EQ(ZipEntries(Root / L"yedek.zip").size(), Expected.size() - 1);
}

// A large file is backed up in blocks while the window answers: a timer fires in the middle of it
// and sees the file's name and a bar part of the way; afterwards the bar is full.
TEST_F(QalUpdateFiles, BackupOfALargeFileShowsProgressAndAnswers) {
  TScratchFolder Root(L"bigbackup");
  const String Folder = Root / L"Zelkor 6.0";
  MakeTree(Folder, {{L"a.txt", L"a"}});
  {
    HANDLE H = CreateFileW((Folder + L"\\büyük.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(H, INVALID_HANDLE_VALUE);
    LARGE_INTEGER Size;
    Size.QuadPart = 64 << 20;
    SetFilePointerEx(H, Size, nullptr, FILE_BEGIN);
    SetEndOfFile(H);
    CloseHandle(H);
  }
  Form->ProgressBar1->SetPosition(Form->ProgressBar1->GetMax());  // a full bar of an earlier step
  Form->lbStatus->SetCaption(L"eski.zip");
  std::vector<std::pair<String, Integer>> Seen;
  TTimer Sampler(nullptr);
  Sampler.SetInterval(10);
  Sampler.SetOnTimer([&](TObject*) {
    Seen.emplace_back(Form->lbStatus->GetCaption(), Form->ProgressBar1->GetPosition() * 1000 / Form->ProgressBar1->GetMax());
  });
  Form->BackupFolderToZip(Root / L"yedek.zip", Folder);
  Sampler.SetEnabled(false);
  const bool Midway = std::any_of(Seen.begin(), Seen.end(), [](const std::pair<String, Integer>& S) {
    return S.first == L"büyük.bin" && S.second > 0 && S.second < 1000;
  });
  EXPECT_TRUE(Midway) << Seen.size() << " samples";
  for (const auto& S : Seen) EXPECT_NE(S.first, L"eski.zip");  // reset when the backup starts
  EXPECT_EQ(ZipEntries(Root / L"yedek.zip").size(), 2u);
}

// The package over the folder: skipped folders at any depth, kept files in any folder, whatever
// their letter case; hidden and system files of the package stay behind.
TEST_F(QalUpdateFiles, CopySkipsTheKeptFoldersAndFiles) {
  TScratchFolder Root(L"copy");
  const String Package = Root / L"paket", Folder = Root / L"kurulu";
  MakeTree(Package, {{L"bin/app.exe", L"yeni"},
                     {L"bin/Data/d.db", L"yeni"},
                     {L"DATA/x.db", L"yeni"},
                     {L"Form/a.frm", L"yeni"},
                     {L"export/e.csv", L"yeni"},
                     {L"postgresql/bin/psql.exe", L"yeni"},
                     {L"alt/KORVIT.INI", L"yeni"},
                     {L"alt/derin/pelmo60.cfg", L"yeni"},
                     {L"gmp.xml", L"yeni"},
                     {L"Branches", L"yeni"},
                     {L"ingenico.cfg", L"yeni"},
                     {L"salt okunur.txt", L"yeni"},
                     {L"gizli.txt", L"yeni"},
                     {L"sistem.dat", L"yeni"}});
  SetFileAttributesW((Package + L"\\salt okunur.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW((Package + L"\\gizli.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesW((Package + L"\\sistem.dat").c_str(), FILE_ATTRIBUTE_SYSTEM);
  MakeTree(Folder, {{L"bin/app.exe", L"eski"}, {L"GMP.XML", L"eski"}, {L"alt/Korvit.ini", L"eski"}});

  const std::vector<String> Skipped = UpdateFolderSkipList;
  Form->CopyFolderTree(Package, Folder);
  EXPECT_EQ(TreeOf(Folder), (std::map<String, String>{{L"bin/app.exe", L"yeni"},
                                                       {L"GMP.XML", L"eski"},
                                                       {L"alt/Korvit.ini", L"eski"},
                                                       {L"salt okunur.txt", L"yeni"}}));
  EXPECT_EQ(Form->GetCopyFailures(), 0);

  // Forms replaced once "form" is off the list.
  std::erase(UpdateFolderSkipList, String(L"form"));
  Form->CopyFolderTree(Package, Folder);
  EXPECT_EQ(TreeOf(Folder)[L"Form/a.frm"], L"yeni");
  UpdateFolderSkipList = Skipped;
  SetFileAttributesW((Folder + L"\\salt okunur.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesW((Package + L"\\salt okunur.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A file that cannot be written is named in red and counted; the others are copied.
TEST_F(QalUpdateFiles, CopyCountsTheFilesItCouldNotWrite) {
  TScratchFolder Root(L"copyfail");
  const String Package = Root / L"paket", Folder = Root / L"kurulu";
  MakeTree(Package, {{L"a.dll", L"yeni"}, {L"b.dll", L"yeni"}, {L"c.dll", L"yeni"}});
  ForceDirectories(Folder + L"\\b.dll");  // a folder where the file should go
  Form->CopyFolderTree(Package, Folder);
  EXPECT_EQ(Form->GetCopyFailures(), 1);
  std::vector<String> Log = LogLines(Form);
  ASSERT_EQ(Log.size(), 1u);
  EXPECT_EQ(Log[0].rfind(L"Dosya güncellenemedi: b.dll - ", 0), 0u) << Log[0];
  EXPECT_GT(Log[0].size(), String(L"Dosya güncellenemedi: b.dll - ").size());
  EXPECT_EQ(ReadText(Folder + L"\\c.dll"), L"yeni");
}

// Directory links in the folder and in the package are passed by: the backup neither loops on a
// link to the folder itself nor takes in what a link points at, and the copy brings nothing
// through one.
TEST_F(QalUpdateFiles, BackupAndCopyPassDirectoryLinksBy) {
  TScratchFolder Root(L"links");
  TDirectoryLinks Links;  // gone before the folder
  const String Folder = Root / L"Zelkor 5.0", Package = Root / L"paket", Outside = Root / L"dışarı";
  MakeTree(Folder, {{L"bin/app.exe", L"eski"}});
  MakeTree(Outside, {{L"dukkan.db", L"kayıtlar"}});
  MakeTree(Package, {{L"bin/app.exe", L"yeni"}});
  ASSERT_TRUE(Links.Make(Folder + L"\\döngü", Folder)) << "no directory link could be made";
  ASSERT_TRUE(Links.Make(Folder + L"\\bin\\veri", Outside));
  ASSERT_TRUE(Links.Make(Package + L"\\bin\\dış", Outside));

  Form->BackupFolderToZip(Root / L"yedek.zip", Folder);
  EXPECT_EQ(ZipEntries(Root / L"yedek.zip"), (std::set<TZipEntry>{{L"bin/app.exe", L"eski", 0}}));

  Form->CopyFolderTree(Package, Folder);
  EXPECT_EQ(ReadText(Folder + L"\\bin\\app.exe"), L"yeni");
  EXPECT_FALSE(FileExists(Folder + L"\\bin\\dış\\dukkan.db"));
  EXPECT_EQ(TreeOf(Outside), (std::map<String, String>{{L"dukkan.db", L"kayıtlar"}}));
  EXPECT_EQ(Form->GetCopyFailures(), 0);
}

// ---- Whole updates -----------------------------------------------------------------------------

class QalUpdateWizardStore : public TWizardRun {
 protected:
  const String Services = Work / L"hizmet";
  const String Backup(const String& Folder) const { return Folder + L"20310131154500.zip"; }

  // The product's services of the version, installed from stand-ins and running.
  void StartProductServices(const std::vector<const wchar_t*>& Names) {
    for (const wchar_t* Name : Names) InstallStandinService(Name, Services, JournalFile);
    for (const wchar_t* Name : Names) StartTestService(Name);
  }
  String ServiceProgram(const String& Name) const { return Services + L"\\" + Name + L"-service.exe"; }

  // A program of the product running with its window: its process, whose handle the caller closes.
  HANDLE StartProductProgram() {
    String Program = PlaceStandin(Work.Path(), L"ZelkorPOS.exe", L"window=TfrmMain|Zelkor POS\r\nrun=forever\r\n");
    STARTUPINFOW Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Info{};
    String Command = L"\"" + Program + L"\"";
    if (!CreateProcessW(Program.c_str(), Command.data(), nullptr, nullptr, FALSE, 0, nullptr, Work.Path().c_str(),
                        &Startup, &Info))
      return nullptr;
    CloseHandle(Info.hThread);
    for (int Try = 0; Try < 250 && !FindWindowW(L"TfrmMain", L"Zelkor POS"); ++Try) Sleep(20);
    return Info.hProcess;
  }
};

// Version 5.0, answered "HAYIR" (after an answer with a blank and a Vazgeç) and "EVET".
TEST_F(QalUpdateWizardStore, UpdateOfVersion50) {
  const String P = Work / L"Zelkor 5.0";
  const std::map<String, String> Installed{
      {L"Dovrik96.exe", L"eski dovrik"},       {L"bin/app.exe", L"eski app"},
      {L"form/a.frm", L"özel form"},           {L"data/x.db", L"veri"},
      {L"Korvit.ini", L"[Zelkor50]\r\nServer=192.0.2.5\r\n"},
      {L"alt/Pelmo60.cfg", L"kurulu ayar"},    {L"GMP.XML", L"kurulu gmp"},
      {L"efatura/sablon/t.xml", L"şablon"},    {L"efatura/2024/inv.xml", L"fatura"},
      {L"eadisyon/sablon/s.xml", L"adisyon şablonu"}, {L"eadisyon/x.txt", L"adisyon"},
      {L"export/e.csv", L"aktarım"},           {L"PostgreSql/data/pg.conf", L"port=5452"},
      {L"gizli.txt", L"gizli"},
  };
  TPackage Package;
  for (const auto& [Name, Text] : std::map<String, String>{{L"Dovrik96.exe", L"yeni dovrik"},
                                                           {L"bin/app.exe", L"yeni app"},
                                                           {L"form/a.frm", L"yeni form"},
                                                           {L"data/x.db", L"yeni veri"},
                                                           {L"Korvit.ini", L"[Zelkor50]\r\nServer=paket\r\n"},
                                                           {L"alt/Pelmo60.cfg", L"paket ayar"},
                                                           {L"gmp.xml", L"paket gmp"},
                                                           {L"efatura/sablon/t.xml", L"yeni şablon"},
                                                           {L"eadisyon/x.txt", L"yeni adisyon"},
                                                           {L"yeni.txt", L"yeni dosya"}})
    AddFile(Package, Name, Text);
  AddStandin(Package, L"HalvexSrv20.exe", Journaled(L"service=Halvex20\r\n"));
  Store.Put(L"Zelkor 5.0.zip", Package);

  const struct {
    const char* What;
    std::vector<const wchar_t*> Answers;  // null: Vazgeç
    const wchar_t* Form;                  // form/a.frm afterwards
  } Cases[] = {
      {"HAYIR", {L"EVET ", nullptr, L"HAYIR"}, L"özel form"},
      {"EVET", {L"EVET"}, L"yeni form"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    RemoveTree(P);
    MakeTree(P, Installed);
    SetFileAttributesW((P + L"\\gizli.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    MakeTree(P + L"Update", {{L"eski paketten.txt", L"bayat"}});  // left by an earlier update
    DeleteFileW(Backup(P).c_str());
    StartProductServices({L"HalvexGuardian20", L"Halvex20", L"ZelkorBackupA", L"Zelkor-PG10", L"Dremsa",
                          L"zelkor-license-server2"});
    HANDLE Program = StartProductProgram();
    ASSERT_NE(Program, nullptr);
    DeleteFileW(JournalFile.c_str());
    DeleteFileW((Com.Folder + L"\\calls.log").c_str());
    Store.ForgetRequests();
    if (!Form->GetVisible()) {
      delete Form;
      Form = TComponent::Create<TfrmQalMain>(nullptr);
      Form->Show();
    }
    Form->Memo1->GetLines()->Clear();
    Choose(1, 0, false);
    Form->txPath->SetText(P);

    std::vector<TRunDriver::TStep> Steps{AnswerDialog(mrYes), AnswerDialog(mrYes)};
    for (const wchar_t* Answer : C.Answers) Steps.push_back(AnswerInputBox(Answer));
    Steps.push_back(AnswerDialog(mrOk));
    TRunDriver Boxes(Steps);
    EXPECT_EQ(PressMainButton(), L"");
    EXPECT_TRUE(Boxes.Finished());
    ASSERT_EQ(Boxes.Seen.size(), Steps.size());
    EXPECT_EQ(Boxes.Seen[0], MsgDlgTypeCaption(mtInformation) + L": Seçili Version 5.0 (PostgreSQL) Onaylıyor Musunuz?");
    EXPECT_EQ(Boxes.Seen[1], MsgDlgTypeCaption(mtWarning) + L": Güncelleme işlemi için açık olan Zelkor\ryazılımları kapatılcak onaylıyor musunuz?");
    EXPECT_EQ(Boxes.Seen[2], L"Uyarı: Size özel tasarlanmış formlar yenisi ile değiştirilecek, özel form tasarımlarını "
                             L"kaybedeceksiniz onaylıyorsanız büyük harfler ile <font color=\"#F36638\"><b>\"EVET\"</b>"
                             L"</font>, onaylamıyorsanız <font color=\"#F36638\"><b>\"HAYIR\"</b></font> yazarak tamama "
                             L"tıklayınız..");
    EXPECT_EQ(Boxes.Seen.back(), String(QalTitle) + L": Mevcut olan dosyalar güncellendi...");
    EXPECT_EQ(UpdateFormsAnswer, C.Answers.back());
    EXPECT_EQ(Store.Requests(), std::vector<String>{L"Zelkor 5.0.zip"});

    // The product's program was ended.
    EXPECT_EQ(WaitForSingleObject(Program, 5000), WAIT_OBJECT_0);
    CloseHandle(Program);

    // Services stopped, then started again, in the order of the update.
    std::vector<String> Events;
    for (const TJournalLine& L : Journal()) Events.push_back(L.Program);
    EXPECT_EQ(Events, (std::vector<String>{
                          L"service stop HalvexGuardian20",
                          L"service stop Halvex20",
                          L"service stop ZelkorBackupA",
                          L"service stop Zelkor-PG10",
                          L"service stop Dremsa",
                          L"service stop zelkor-license-server2",
                          L"service start Zelkor-PG10|" + ServiceProgram(L"Zelkor-PG10"),
                          L"service start zelkor-license-server2|" + ServiceProgram(L"zelkor-license-server2"),
                          L"service start Dremsa|" + ServiceProgram(L"Dremsa"),
                          L"service start ZelkorBackupA|" + ServiceProgram(L"ZelkorBackupA"),
                          L"service start HalvexGuardian20|" + ServiceProgram(L"HalvexGuardian20"),
                          L"service start Halvex20|" + P + L"\\HalvexSrv20.exe",
                      }));
    for (const wchar_t* Name : {L"HalvexGuardian20", L"Halvex20", L"ZelkorBackupA", L"Zelkor-PG10", L"Dremsa",
                                L"zelkor-license-server2"})
      EXPECT_EQ(GetServiceState(L"", Name), 4) << Name;
    EXPECT_EQ(ServiceValue(L"Halvex20", L"ImagePath"), L"\"" + P + L"\\HalvexSrv20.exe\"");
    EXPECT_EQ(Com.FirewallCalls(), std::vector<String>{FirewallRule(L"ZELKOR-LICENSE-SERVICE", 7820)});

    // The backup beside the folder: stored; of "efatura" its templates only, "eadisyon" whole, as
    // the package overwrites its files.
    std::set<TZipEntry> Expected;
    for (const auto& [Name, Text] : Installed)
      if (Name != L"efatura/2024/inv.xml") Expected.insert({Name, Text, 0});
    EXPECT_EQ(ZipEntries(Backup(P)), Expected);

    // What changed and what was kept.
    std::map<String, String> After = TreeOf(P);
    EXPECT_EQ(After[L"Dovrik96.exe"], L"yeni dovrik");
    EXPECT_EQ(After[L"bin/app.exe"], L"yeni app");
    EXPECT_EQ(After[L"yeni.txt"], L"yeni dosya");
    EXPECT_EQ(After[L"eadisyon/x.txt"], L"yeni adisyon");
    EXPECT_EQ(After[L"form/a.frm"], C.Form);
    for (const wchar_t* Kept : {L"data/x.db", L"Korvit.ini", L"alt/Pelmo60.cfg", L"GMP.XML", L"efatura/sablon/t.xml"})
      EXPECT_EQ(After[Kept], Installed.at(Kept)) << Kept;
    EXPECT_TRUE(FileExists(P + L"\\HalvexSrv20.exe"));
    EXPECT_EQ(After.count(L"eski paketten.txt"), 0u);
    EXPECT_FALSE(DirectoryExists(P + L"Update"));

    EXPECT_EQ(ColouredLog(Form), (std::vector<TLogLine>{
                                     {LogWhite, L"Güncelleme işlemleri başladı..."},
                                     {LogWhite, L"Zelkor programları kapatılıyor..."},
                                     {LogGreen, L"Zelkor programları kapatıldı..."},
                                     {LogWhite, L"PostgreSQL hizmeti durduruluyor: Zelkor-PG10"},
                                     {LogWhite, L"Mevcut olan Zelkor sürümü sıkıştırılarak yedekleniyor..."},
                                     {LogGreen, L"Mevcut olan Zelkor sürümü sıkıştırılıp eklendi..."},
                                     {LogWhite, L"Zelkor 5.0.zip indiriliyor..."},
                                     {LogGreen, L"Zelkor 5.0.zip indirme tamamlandı..."},
                                     {LogWhite, L"Zelkor 5.0.zip genişletiliyor..."},
                                     {LogGreen, L"Zelkor 5.0.zip genişletildi..."},
                                     {LogWhite, L"Mevcut olan dosyalar güncelleniyor..."},
                                     {LogGreen, L"Mevcut olan dosyalar güncellendi..."},
                                     {LogWhite, L"Lisans hizmeti kuruluyor .."},
                                     {LogGreen, L"Lisans hizmeti kuruldu .."},
                                     {LogWhite, L"PostgreSQL hizmeti başlatılıyor: Zelkor-PG10"},
                                     {LogGreen, L"PostgreSQL hizmetleri başlatıldı..."},
                                     {LogWhite, L"Halvex hizmetleri başlatılıyor..."},
                                     {LogWhite, L"Halvex hizmeti yolu güncelleniyor .."},
                                     {LogGreen, L"Halvex hizmeti yolu güncellendi .."},
                                     {LogGreen, L"Halvex hizmetleri başlatıldı .."},
                                 }));
    EXPECT_FALSE(Form->GetVisible());
    EXPECT_TRUE(Form->cmdQal->GetEnabled());
    RemoveProductServices(ProductServices);
    RemoveService(L"ZelkorBackupA");
  }
}

// A 5.0 update of a machine without the REST service: its step says so in the log, installs
// nothing in its place, and the update ends well.
TEST_F(QalUpdateWizardStore, UpdateOfVersion50WithoutHalvex) {
  const String P = Work / L"Zelkor 5.0";
  MakeTree(P, {{L"Dovrik96.exe", L"eski dovrik"}});
  TPackage Package;
  AddFile(Package, L"Dovrik96.exe", L"yeni dovrik");
  AddStandin(Package, L"HalvexSrv20.exe", Journaled(L"service=Halvex20\r\n"));
  Store.Put(L"Zelkor 5.0.zip", Package);
  StartProductServices({L"Zelkor-PG10", L"zelkor-license-server2"});
  DeleteFileW(JournalFile.c_str());
  Choose(1, 0, false);
  Form->txPath->SetText(P);

  TRunDriver Boxes({AnswerDialog(mrYes), AnswerDialog(mrYes), AnswerInputBox(L"HAYIR"), AnswerDialog(mrOk)});
  EXPECT_EQ(PressMainButton(), L"");
  EXPECT_TRUE(Boxes.Finished());
  ASSERT_EQ(Boxes.Seen.size(), 4u);
  EXPECT_EQ(Boxes.Seen.back(), String(QalTitle) + L": Mevcut olan dosyalar güncellendi...");
  EXPECT_EQ(ReadText(P + L"\\Dovrik96.exe"), L"yeni dovrik");
  EXPECT_EQ(GetServiceState(L"", L"Halvex20"), 0) << "no service registered in its place";
  for (const TJournalLine& L : Journal()) EXPECT_EQ(L.Program.find(L"Halvex"), String::npos) << L.Program;
  const std::vector<TLogLine> Tail{
      {LogWhite, L"Halvex hizmetleri başlatılıyor..."},
      {LogWhite, L"Halvex hizmeti kurulu değil, kurulum atlandı.."},
      {LogGreen, L"Halvex hizmetleri başlatıldı .."},
  };
  const std::vector<TLogLine> Log = ColouredLog(Form);
  ASSERT_GE(Log.size(), Tail.size());
  EXPECT_EQ(std::vector<TLogLine>(Log.end() - Tail.size(), Log.end()), Tail);
  for (const TLogLine& L : Log) EXPECT_NE(L.Color, LogRed) << L.Text;
  EXPECT_FALSE(Form->GetVisible());
}

// A 6.0 update leaves the 5.0 services alone and asks nothing about forms; a file it cannot write
// is named, and the run does not end as if all were well.
TEST_F(QalUpdateWizardStore, UpdateOfVersion60ThatCannotWriteAFile) {
  const String P = Work / L"Zelkor 6.0";
  MakeTree(P, {{L"Dovrik101.exe", L"eski"}, {L"Pelmo60.cfg", L"[Database]\r\nDBServer=192.0.2.5\r\n"},
               {L"bin/app.exe", L"eski app"}});
  ForceDirectories(P + L"\\bin\\kilitli.dll");
  TPackage Package;
  AddFile(Package, L"Dovrik101.exe", L"yeni");
  AddFile(Package, L"Pelmo60.cfg", L"[Database]\r\nDBServer=paket\r\n");
  AddFile(Package, L"bin/app.exe", L"yeni app");
  AddFile(Package, L"bin/kilitli.dll", L"yeni");
  Store.Put(L"Zelkor 6.0.zip", Package);
  StartProductServices({L"Halvex20", L"Zelkor-PG10", L"Dremsa", L"zelkor-license-server2"});
  DeleteFileW(JournalFile.c_str());
  Choose(1, 0, true);
  Form->txPath->SetText(P);

  TRunDriver Boxes({AnswerDialog(mrYes), AnswerDialog(mrYes), AnswerDialog(mrOk)});
  EXPECT_EQ(PressMainButton(), L"");
  EXPECT_TRUE(Boxes.Finished());
  ASSERT_EQ(Boxes.Seen.size(), 3u);
  EXPECT_EQ(Boxes.Seen[2], MsgDlgTypeCaption(mtWarning) + L": Güncelleme tamamlanamadı: 1 dosya güncellenemedi.\rYedek: " + Backup(P));

  std::vector<String> Events;
  for (const TJournalLine& L : Journal()) Events.push_back(L.Program);
  EXPECT_EQ(Events, (std::vector<String>{
                        L"service stop Zelkor-PG10",
                        L"service stop zelkor-license-server2",
                        L"service start Zelkor-PG10|" + ServiceProgram(L"Zelkor-PG10"),
                        L"service start zelkor-license-server2|" + ServiceProgram(L"zelkor-license-server2"),
                    }));
  EXPECT_EQ(GetServiceState(L"", L"Halvex20"), 4);
  EXPECT_EQ(GetServiceState(L"", L"Dremsa"), 4);
  EXPECT_EQ(ServiceValue(L"Halvex20", L"ImagePath"), L"\"" + ServiceProgram(L"Halvex20") + L"\"");

  EXPECT_EQ(ReadText(P + L"\\Dovrik101.exe"), L"yeni");
  EXPECT_EQ(ReadText(P + L"\\bin\\app.exe"), L"yeni app");
  EXPECT_EQ(ReadText(P + L"\\Pelmo60.cfg"), L"[Database]\r\nDBServer=192.0.2.5\r\n");
  EXPECT_FALSE(DirectoryExists(P + L"Update"));

  std::vector<TLogLine> Log = ColouredLog(Form);
  const std::vector<TLogLine> Middle{
      {LogWhite, L"Mevcut olan dosyalar güncelleniyor..."},
      {LogRed, L"Dosya güncellenemedi: kilitli.dll - " + SysErrorMessage(ERROR_ACCESS_DENIED)},
      {LogRed, L"1 dosya güncellenemedi, yedek: " + Backup(P)},
      {LogWhite, L"Lisans hizmeti kuruluyor .."},
  };
  // The system's reason may differ from the one expected: a line matches up to its " - ".
  auto Matches = [](const TLogLine& A, const TLogLine& B) {
    size_t Dash = B.Text.find(L" - ");
    return A.Color == B.Color &&
           (Dash == String::npos ? A.Text == B.Text : A.Text.compare(0, Dash + 3, B.Text, 0, Dash + 3) == 0);
  };
  auto At = std::search(Log.begin(), Log.end(), Middle.begin(), Middle.end(), Matches);
  EXPECT_NE(At, Log.end());
  for (const TLogLine& L : Log) {
    EXPECT_NE(L.Text, L"Mevcut olan dosyalar güncellendi...");
    EXPECT_EQ(L.Text.find(L"Halvex"), String::npos) << L.Text;
  }
  EXPECT_EQ(Log.back(), (TLogLine{LogGreen, L"PostgreSQL hizmetleri başlatıldı..."}));
  // The operator sees the log: the form stays open, ready again.
  EXPECT_TRUE(Form->GetVisible());
  EXPECT_TRUE(Form->cmdQal->GetEnabled());
  EXPECT_FALSE(Form->GetRunning());
}

// A package that cannot be had ends the update after the backup: the database and licence
// services run again, the folder is as it was, the error reaches the operator.
TEST_F(QalUpdateWizardStore, UpdateWhosePackageIsMissingStartsTheServicesAgain) {
  const String P = Work / L"Zelkor 6.0";
  const std::map<String, String> Installed{{L"Dovrik101.exe", L"eski"}, {L"bin/app.exe", L"eski app"}};
  MakeTree(P, Installed);
  Store.Remove(L"Zelkor 6.0.zip");
  StartProductServices({L"Zelkor-PG10", L"zelkor-license-server2"});
  DeleteFileW(JournalFile.c_str());
  Choose(1, 0, true);
  Form->txPath->SetText(P);

  TRunDriver Boxes({AnswerDialog(mrYes), AnswerDialog(mrYes)});
  EXPECT_EQ(PressMainButton(), L"Zelkor 6.0.zip indirilemedi (HTTP 404 Not Found).");
  EXPECT_TRUE(Boxes.Finished());
  std::vector<String> Events;
  for (const TJournalLine& L : Journal()) Events.push_back(L.Program);
  EXPECT_EQ(Events, (std::vector<String>{
                        L"service stop Zelkor-PG10",
                        L"service stop zelkor-license-server2",
                        L"service start Zelkor-PG10|" + ServiceProgram(L"Zelkor-PG10"),
                        L"service start zelkor-license-server2|" + ServiceProgram(L"zelkor-license-server2"),
                    }));
  EXPECT_EQ(TreeOf(P), Installed);
  EXPECT_TRUE(FileExists(Backup(P)));
  const std::vector<TLogLine> Tail{
      {LogRed, L"Zelkor 6.0.zip başarısız: Zelkor 6.0.zip indirilemedi (HTTP 404 Not Found)."},
      {LogWhite, L"PostgreSQL hizmeti başlatılıyor: Zelkor-PG10"},
      {LogGreen, L"PostgreSQL hizmetleri başlatıldı..."},
  };
  std::vector<TLogLine> Log = ColouredLog(Form);
  ASSERT_GE(Log.size(), Tail.size());
  EXPECT_EQ(std::vector<TLogLine>(Log.end() - Tail.size(), Log.end()), Tail);
  EXPECT_TRUE(Form->GetVisible());
  EXPECT_TRUE(Form->cmdQal->GetEnabled());
  EXPECT_FALSE(Form->GetRunning());
}

// A folder that is not the version's product folder: the operator is told, nothing changes.
TEST_F(QalUpdateWizardStore, UpdateOfAWrongFolderChangesNothing) {
  StartProductServices({L"Zelkor-PG10"});
  const String Lower = Work / L"zelkor 5.0";
  MakeTree(Lower, {{L"Dovrik96.exe", L"eski"}});
  const String Missing = Work / L"başka\\Zelkor 5.0";
  for (const String& Folder : {Lower, Missing, Work.Path()}) {
    SCOPED_TRACE(UTF8Encode(Folder));
    Choose(1, 0, false);
    Form->txPath->SetText(Folder);
    TRunDriver Boxes({AnswerDialog(mrYes), AnswerDialog(mrOk)});
    EXPECT_EQ(PressMainButton(), L"");
    EXPECT_TRUE(Boxes.Finished());
    ASSERT_EQ(Boxes.Seen.size(), 2u);
    EXPECT_EQ(Boxes.Seen[1], String(QalTitle) + L": Lütfen Zelkor klasörünü Seçiniz\rKlasörün adı \"Zelkor 5.0\" "
                                                 L"olduğundan emin olunuz..");
  }
  EXPECT_TRUE(Store.Requests().empty());
  EXPECT_TRUE(ColouredLog(Form).empty());
  EXPECT_EQ(GetServiceState(L"", L"Zelkor-PG10"), 4);
  EXPECT_EQ(TreeOf(Lower), (std::map<String, String>{{L"Dovrik96.exe", L"eski"}}));
  EXPECT_FALSE(DirectoryExists(Work / L"başka"));
  for (const auto& [Name, Text] : TreeOf(Work.Path())) {
    EXPECT_NE(ExtractFileExt(Name), L".zip") << Name;
    EXPECT_EQ(Name.find(L"Update"), String::npos) << Name;
  }
  EXPECT_TRUE(Form->GetVisible());
  EXPECT_TRUE(Form->cmdQal->GetEnabled());
}

}  // namespace
