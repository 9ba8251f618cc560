#pragma once
// What the tests of whole installation and update runs share: the download server's store that
// they fill with packages made from small fixture trees (stand-in programs where the packages hold
// programs), the stand-ins' shared journal, real services of the test's Wine prefix, the firewall
// and WMI stand-in, and a driver that answers the run's boxes in order.
//
// Suites named *WizardStore run, one at a time, against a download server of their own whose
// store starts empty (tests/CMakeLists.txt).

#include <winsvc.h>

#include "framework/NetEncoding.h"
#include "framework/Zip.h"
#include "installer/InstallerTestUtil.h"
#include "installer/RunDriver.h"
#include "tests/framework/net/LocalDownloadServer.h"

namespace insttest {

// ---- Packages ---------------------------------------------------------------------------------

struct TPackageEntry {
  String Name;  // "Postgresql/bin/initdb.exe"
  TBytes Data;
};
using TPackage = std::vector<TPackageEntry>;

inline TBytes BytesOf(const std::string& Text) { return TBytes(Text.begin(), Text.end()); }
inline TBytes BytesOf(const String& Text) { return BytesOf(UTF8Encode(Text)); }

// A file of the package with Text in it.
inline void AddFile(TPackage& Package, const String& Name, const String& Text) {
  Package.push_back({Name, BytesOf(Text)});
}

// The stand-in program as a program of the package ("lisans/license-server.exe"), with its
// settings beside it.
inline void AddStandin(TPackage& Package, const String& Name, const String& Settings) {
  static const std::string Program = ReadBytes(BinFolder() + L"standin_program.exe");
  Package.push_back({Name, BytesOf(Program)});
  Package.push_back({ChangeFileExt(Name, L".standin"), BytesOf(Settings)});
}

// The download server's store and its request log.
class TWizardStore {
 public:
  bool Available() const { return !LocalDownloadServer::StateFolder().empty(); }
  String File(const String& RemotePath) const {
    return LocalDownloadServer::StateFolder() + L"\\store\\" + StringReplace(RemotePath, L"/", L"\\", {rfReplaceAll});
  }
  // The package as a zip archive at RemotePath.
  void Put(const String& RemotePath, const TPackage& Package) const {
    const String Target = File(RemotePath);
    ForceDirectories(ExtractFileDir(Target));
    // Made beside and moved into place, so that the server never sends half an archive.
    const String Made = Target + L".new";
    {
      TZipFile Zip;
      Zip.Open(Made, zmWrite);
      for (const TPackageEntry& E : Package) Zip.Add(E.Data, E.Name);
      Zip.Close();
    }
    MoveFileExW(Made.c_str(), Target.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  void PutText(const String& RemotePath, const String& Text) const {
    ForceDirectories(ExtractFileDir(File(RemotePath)));
    WriteText(File(RemotePath), Text);
  }
  void Remove(const String& RemotePath) const { DeleteFileW(File(RemotePath).c_str()); }
  void ForgetRequests() const { DeleteFileW((LocalDownloadServer::StateFolder() + L"\\requests.log").c_str()); }
  // The remote paths asked for since ForgetRequests, in order.
  std::vector<String> Requests() const {
    std::vector<String> Result;
    for (const String& Line : Lines(ReadText(LocalDownloadServer::StateFolder() + L"\\requests.log"))) {
      if (Line.rfind(L"GET ", 0) != 0) continue;  // the proxy's tunnels
      size_t Ad = Line.find(L"&ad=");
      Result.push_back(Ad == String::npos ? Line : TNetEncoding::URL()->Decode(Line.substr(Ad + 4)));
    }
    return Result;
  }
};

// ---- The stand-ins' journal -------------------------------------------------------------------

// One line of the journal: "PROGRAM|FOLDER|ARGUMENTS", or a service's line as it stands.
struct TJournalLine {
  String Program, Folder, Arguments;
};

inline std::vector<TJournalLine> ReadJournal(const String& File) {
  std::vector<TJournalLine> Result;
  for (const String& Line : Lines(ReadText(File))) {
    size_t A = Line.find(L'|'), B = A == String::npos ? String::npos : Line.find(L'|', A + 1);
    if (Line.rfind(L"service ", 0) == 0 || B == String::npos) Result.push_back({Line, L"", L""});
    else Result.push_back({Line.substr(0, A), Line.substr(A + 1, B - A - 1), Line.substr(B + 1)});
  }
  return Result;
}

// ---- Services ---------------------------------------------------------------------------------

// Removes every service of the groups an update stops and starts (backup and database services),
// whoever left them, and the product's named ones.
inline void RemoveProductServices(std::initializer_list<const wchar_t*> Named) {
  TStringList Names;
  {
    TRegistry R(KEY_READ);
    R.SetRootKey(HKEY_LOCAL_MACHINE);
    if (R.OpenKeyReadOnly(L"SYSTEM\\CurrentControlSet\\Services")) R.GetKeyNames(&Names);
  }
  auto Starts = [](const String& Name, const String& Prefix) {
    return Name.size() >= Prefix.size() && SameFileName(Name.substr(0, Prefix.size()), Prefix);
  };
  for (Integer I = 0; I < Names.GetCount(); ++I) {
    String Name = Names.GetStrings(I);
    if (Name.rfind(L"ZelkorBackup", 0) == 0 || Starts(Name, L"postgresql") || Starts(Name, L"Zelkor-PG"))
      RemoveService(Name);
  }
  for (const wchar_t* Name : Named) RemoveService(Name);
}

// Installs Name as a service whose program is a stand-in placed in Folder, which logs its start and
// stop to Journal; answers the program's path.
inline String InstallStandinService(const String& Name, const String& Folder, const String& Journal) {
  RemoveService(Name);
  ForceDirectories(Folder);
  String Program = PlaceStandin(Folder, Name + L"-service.exe", L"service=" + Name + L"\r\njournal=" + Journal + L"\r\n");
  SC_HANDLE Manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  String Command = L"\"" + Program + L"\"";
  SC_HANDLE Service =
      CreateServiceW(Manager, Name.c_str(), Name.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                     SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, Command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_NE(Service, nullptr) << "cannot install " << Name.c_str();
  if (Service) CloseServiceHandle(Service);
  CloseServiceHandle(Manager);
  return Program;
}


// A value of a service's registry key, empty when missing.
inline String ServiceValue(const String& Service, const String& Value) {
  TRegistry R(KEY_READ);
  R.SetRootKey(HKEY_LOCAL_MACHINE);
  if (!R.OpenKeyReadOnly(L"SYSTEM\\CurrentControlSet\\Services\\" + Service) || !R.ValueExists(Value))
    return String();
  return R.ReadString(Value);
}

// ---- Firewall and WMI -------------------------------------------------------------------------

// The recording stand-in in place of the firewall and WMI objects of this prefix, working in
// Folder, for as long as it lives (tools/standins/StandinCom.cpp).
class TComStandin {
 public:
  explicit TComStandin(const String& AFolder) : Folder(AFolder) {
    ForceDirectories(Folder);
    SetEnvironmentVariableW(L"QAL_COM_STANDIN", Folder.c_str());
    FServer = LoadLibraryW((BinFolder() + L"standin_com.dll").c_str());
    EXPECT_NE(FServer, nullptr);
    EXPECT_EQ(Call("DllRegisterServer"), S_OK);
  }
  ~TComStandin() {
    if (FServer) Call("DllUnregisterServer");
    SetEnvironmentVariableW(L"QAL_COM_STANDIN", nullptr);
  }
  TComStandin(const TComStandin&) = delete;
  TComStandin& operator=(const TComStandin&) = delete;
  // The calls that opened firewall ports, in order.
  std::vector<String> FirewallCalls() const {
    std::vector<String> R;
    for (const String& L : Lines(ReadText(Folder + L"\\calls.log")))
      if (L.rfind(L"GloballyOpenPorts.", 0) == 0) R.push_back(L);
    return R;
  }
  String Folder;

 private:
  HRESULT Call(const char* Export) {
    auto* Proc = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(FServer, Export)));
    return Proc ? Proc() : E_FAIL;
  }
  HMODULE FServer = nullptr;
};

inline String FirewallRule(const String& Name, Integer Port) {
  return L"GloballyOpenPorts.Add Name=" + Name + L" Protocol=6 Port=" + IntToStr(Port) + L" Scope=0 Enabled=True";
}

// ---- The log ----------------------------------------------------------------------------------

struct TLogLine {
  TColor Color;
  String Text;  // without the time
  bool operator==(const TLogLine&) const = default;
};

inline std::ostream& operator<<(std::ostream& Out, const TLogLine& L) {
  return Out << (L.Color == LogWhite ? "white " : L.Color == LogGreen ? "green " : L.Color == LogRed ? "red " : "? ")
             << UTF8Encode(L.Text);
}

// The main form's log lines with their colours.
inline std::vector<TLogLine> ColouredLog(TfrmQalMain* Form) {
  std::vector<TLogLine> R;
  TStrings* Lines = Form->Memo1->GetLines();
  for (Integer I = 0; I < Lines->GetCount(); ++I) {
    LRESULT Start = SendMessageW(Form->Memo1->GetHandle(), EM_LINEINDEX, WPARAM(I), 0);
    Form->Memo1->SetSelStart(Integer(Start) + 3);
    Form->Memo1->SetSelLength(1);
    String Line = Lines->GetStrings(I);
    R.push_back({Form->Memo1->GetSelAttributes()->GetColor(), Line.size() > 13 ? Line.substr(13) : Line});
  }
  // The log adds its next line where the caret is: at the end.
  Form->Memo1->SetSelStart(Integer(GetWindowTextLengthW(Form->Memo1->GetHandle())));
  Form->Memo1->SetSelLength(0);
  return R;
}

// ---- A run of the wizard ------------------------------------------------------------------------

// The wizard's main form, shown as the program shows it, with a fixed clock, no self-update
// check, a 64-bit system and loopback for the server search; a work folder, the stand-ins'
// journal, a desktop and the firewall stand-in of the test's own; the product's services removed
// before and after.
class TWizardRun : public testing::Test {
 protected:
  static TDateTime RunNow() { return TDateTime(double(EncodeDate(2031, 1, 31)) + double(EncodeTime(15, 45, 0, 0))); }
  static constexpr std::initializer_list<const wchar_t*> ProductServices = {
      L"Zelkor-PG10", L"zelkor-license-server2", L"Halvex20", L"HalvexGuardian20", L"Halvex21", L"Dremsa"};

  void SetUp() override {
    if (!Store.Available()) GTEST_SKIP() << "needs the download server of the wizard's store";
    LocalDownloadServer::Prepare();
    Store.ForgetRequests();
    FSaved = {QalClock, QalWindowsVersion, QalInternetConnected, QalArchitecture, QalLocalIPHost,
              QalCheckForUpdateAtStart, UpdateFolderSkipList, UpdateFileKeepList, UpdateFormsAnswer};
    QalClock = &RunNow;
    QalWindowsVersion = [] { return TWindowsVersion{6, 1, 1, 0}; };
    QalInternetConnected = [] { return true; };
    QalArchitecture = [] { return TOSVersion::arIntelX64; };
    QalLocalIPHost = L"127.0.0.1";
    QalCheckForUpdateAtStart = false;
    RemoveProductServices(ProductServices);
    RegisterQalClasses();
    Application->SetTitle(QalTitle);
    Form = TComponent::Create<TfrmQalMain>(nullptr);
    Form->Show();
    Application->ProcessMessages();
    DeleteFileW(GetLogFileName().c_str());
  }
  void TearDown() override {
    delete Form;
    Application->ProcessMessages();
    RemoveProductServices(ProductServices);
    if (!Store.Available()) return;
    QalClock = FSaved.Clock;
    QalWindowsVersion = FSaved.Version;
    QalInternetConnected = FSaved.Connected;
    QalArchitecture = FSaved.Architecture;
    QalLocalIPHost = FSaved.LocalIPHost;
    QalCheckForUpdateAtStart = FSaved.CheckForUpdate;
    UpdateFolderSkipList = FSaved.SkipList;
    UpdateFileKeepList = FSaved.KeepList;
    UpdateFormsAnswer = FSaved.FormsAnswer;
    DeleteFileW(GetLogFileName().c_str());
  }

  // The operator's choices, each with its click handler as a click runs it.
  void Choose(Integer Type, Integer Terminal, bool IsV6) {
    Form->rgKurulumTipi->SetItemIndex(Type);
    Form->rgKurulumTipiClick(Form->rgKurulumTipi);
    Form->rgTerminalTipi->SetItemIndex(Terminal);
    Form->rgTerminalTipiClick(Form->rgTerminalTipi);
    Form->rgVersiyon->SetItemIndex(IsV6 ? 1 : 0);
    Form->rgVersiyonClick(Form->rgVersiyon);
  }
  void Tick(TDBCheckBoxKv* Box, bool Checked) {
    Box->SetChecked(Checked);
    if (Box == Form->chDbDemo) Form->chDbDemoClick(Box);
  }
  // The main button pressed; answers the error the run raised, empty when none.
  String PressMainButton() {
    try {
      Form->cmdQalClick(Form->cmdQal);
    } catch (const Exception& E) {
      return E.Message().empty() ? String(L"(silent)") : E.Message();
    }
    return String();
  }
  std::vector<TJournalLine> Journal() const { return ReadJournal(JournalFile); }
  // The journal's settings line for a stand-in.
  String Journaled(const String& More = String()) const { return L"journal=" + JournalFile + L"\r\n" + More; }

  TWizardStore Store;
  TScratchFolder Work{L"run"};
  String JournalFile = Work / L"journal.txt";
  TTestDesktop Desktop;
  TComStandin Com{Work / L"com"};
  TfrmQalMain* Form = nullptr;

 private:
  struct {
    TClockProc Clock;
    TWindowsVersionProc Version;
    TConnectedProc Connected;
    TArchitectureProc Architecture;
    String LocalIPHost;
    bool CheckForUpdate;
    std::vector<String> SkipList, KeepList;
    String FormsAnswer;
  } FSaved;
};

}  // namespace insttest
