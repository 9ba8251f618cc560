#pragma once
// The wizard's main window: the operator's options, the coloured log and the start-up checks.
// Every step of the wizard reports through AddToLog.

#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/NetHTTPClient.h"
#include "framework/StdCtrls.h"
#include "framework/sysutils/OSVersion.h"
#include "kvlib/editors/dbctrls/DBCheckBoxKv.h"
#include "kvlib/editors/dbctrls/DBEditKv.h"

// The application title, also the caption of every wizard form.
inline constexpr wchar_t QalTitle[] = L"Zelkor SQL (Kurulum Sihirbazı)";

// The wizard's version, shown in the status bar and compared by the self-update.
inline constexpr double QalVersion = 7.8;

// The running Windows as the version gate sees it.
struct TWindowsVersion {
  Integer Major = 0;
  Integer Minor = 0;
  Integer ServicePackMajor = 0;
  Integer ServicePackMinor = 0;
};

// What the wizard reads of its surroundings; tests put their own in place.
using TClockProc = TDateTime (*)();
using TWindowsVersionProc = TWindowsVersion (*)();
using TConnectedProc = bool (*)();
extern TClockProc QalClock;                   // the local time of log lines and file names
extern TWindowsVersionProc QalWindowsVersion;  // the running Windows
extern TConnectedProc QalInternetConnected;    // the start-up's connection check
extern String QalLocalIPHost;                  // the host whose route names the local address
// The folder browser the folder edit's button opens (SelectDirectory's arguments and answer).
using TSelectDirectoryProc = bool (*)(const String& Caption, const String& Root, String& Directory);
extern TSelectDirectoryProc QalSelectDirectory;

// Windows 7 with service pack 1 or later.
bool IsWindowsVersionSupported(const TWindowsVersion& Version);
TWindowsVersion RunningWindowsVersion();

// True when the system reports an internet connection.
bool IsInternetConnected();

// Today's log file: "Qal_yyyymmdd.log" in the executable's folder.
String GetLogFileName();

// The log line of AMessage at time At: "- [hh:nn:ss] message".
String FormatLogLine(TDateTime At, const String& AMessage);

// The full path of the self-update's leftover "123.exe" when the first command-line argument
// names it in the folder of ExeName (a relative name counts from that folder), else empty: nothing
// else may be deleted at start.
String SelfUpdateLeftover(const String& Argument, const String& ExeName);

// ---- Downloads and self-update ----
struct TZipHeader;
// The request URL of a file of the vendor's download server: RemotePath ("diger/postgresql.zip")
// URL-encoded segment by segment, its "/" kept.
String BuildDownloadUrl(const String& RemotePath);
// The executable the self-update moves aside and replaces; empty: the running program's own file.
// Tests name a stand-in.
extern String QalSelfUpdateExe;
// Whether the start-up handler runs the self-update check; tests that reach no server turn it off.
extern bool QalCheckForUpdateAtStart;

// Log colours: a step starts, a step ended well, a failure.
inline constexpr TColor LogWhite = TColor(0xFFFFFF);
inline constexpr TColor LogGreen = TColor(0x008000);
inline constexpr TColor LogRed = TColor(0x0000FF);

class TZipFile;

class TfrmQalMain : public TForm {
  DECLARE_CLASS(TfrmQalMain, TForm)
 public:
  explicit TfrmQalMain(TComponent* AOwner);
  ~TfrmQalMain() override;

  // Form events.
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormDestroy(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void Timer1Timer(TObject* Sender);

  // Option handlers.
  void rgKurulumTipiClick(TObject* Sender);
  void rgTerminalTipiClick(TObject* Sender);
  void rgVersiyonClick(TObject* Sender);
  void chDbDemoClick(TObject* Sender);
  void txPathEditButtons0Click(TObject* Sender, bool& Handled);
  void cmdQalClick(TObject* Sender);
  void cmdVazgecClick(TObject* Sender);

  void AddToLog(TColor AColor, const String& AMessage);
  String GetLocalIP();
  // False, after telling the operator and asking the application to end, on a Windows too old.
  bool CheckWindowsVersion();
  void EnableInputs();
  void DisableInputs();
  // Puts the folder chosen in the folder browser into txPath, without its outer backslashes.
  void SetChosenFolder(const String& Folder);
  bool GetRunning() const { return FRunning; }
  // The folder of the run in progress, taken once (trimmed) when it started; between runs the
  // folder edit's text, trimmed.
  String GetRunFolder() const;

  // ---- Downloads and self-update ----
  // Downloads the zip archive RemotePath into TargetFolder, extracts it there and deletes it; on
  // failure logs it in red, deletes the archive and raises the error again.
  void DownloadAndExtract(const String& TargetFolder, bool CreateFolder, const String& RemotePath);
  void NetHTTPClient1ReceiveData(TObject* Sender, Int64 AContentLength, Int64 AReadCount, bool& AAbort);
  void ZipExtractProgress(TObject* Sender, const String& FileName, const TZipHeader& Header, Int64 Position);
  // The self-update: 1 when a newer executable was started and this form is closing, else 0.
  Integer CheckForUpdate(const String& RemoteExe);
  void ShowWaitForm();
  void HideWaitForm();

  // ---- Processes, services and system settings ----
  // Runs a program hidden and waits for it, pumping messages; TimeoutMs 0 waits as long as it
  // runs, else the program is ended at the time-out. A program that cannot be started or is
  // ended at its time-out gets a red log line. Answers whether the program ran to its end, its
  // exit code then in ExitCode when given.
  bool RunAndWait(const String& FileName, const String& Parameters, Cardinal TimeoutMs, const String& WorkingFolder,
                  Cardinal* ExitCode = nullptr);
  // "net" with Parameters ("stop Halvex20"), from the 32-bit system folder, without a time-out.
  void RunNet(const String& Parameters);
  // The update's service groups. A service that will not stop lets the operator choose between
  // going on and ending the run (EAbort).
  void StopHalvexServices();
  void StopBackupServices();
  void StartBackupServices();
  void StopPostgreSqlServices();
  void StartPostgreSqlServices();
  // Firewall and WMI errors raise to the caller (EOleError and its descendants).
  void AddFirewallPort(const String& Name, Integer Port);
  void AddFirewallRules();
  void MakeIpStatic();
  String GetAdapterDescription(const String& Address);
  void SetStaticAddress(const String& Description, const String& Address, const String& Mask);
  void SetDnsServer(const String& Dns);
  // Deletes a folder tree; a junction or symbolic link inside is removed, never followed.
  void DeleteFolder(const String& Path);
  // ---- end of processes, services and system settings ----

  // ---- New installation and update ----
  // The operator's run: a new server or client installation of version 5.0 or 6.0 under the
  // folder txPath, or the update of the product folder txPath (rgKurulumTipi). Every step is
  // logged; an error is logged in red and raised again once the inputs are enabled. A run that
  // ended well closes the form.
  void InstallOrUpdate(bool IsV6);
  void RunNewInstallation(bool IsV6);
  void RunUpdate(bool IsV6);
  // The product's settings file: the database server (localhost, or for a client the server the
  // operator picks in the server search) and its port; every other key of the file stays.
  void WriteKorvitIni();
  void WritePelmo60Cfg();
  // The database server from the package in the product folder, as the service "Zelkor-PG10",
  // with its superuser role; nothing when that service is installed. A program that fails is
  // named in red with its exit code; raises when the service does not run once started.
  void InstallPostgreSql();
  // The two demo databases of the chosen sector, restored from the product folder's backups; a
  // program that fails ends them with a red line naming it.
  void CreateDemoDatabases();
  // The product's licence server as the service "zelkor-license-server2" and its firewall port.
  void InstallLicenseService();
  // The version-5.0 REST service: its path brought to the product folder and started, or installed.
  void SetupHalvex();
  void InstallDotNetFramework();
  // The remote-desktop tool, installed and given its password from P\FolderName.
  void InstallAnyDesk(const String& FolderName);
  // The update's backup of Folder as stored entries: the whole tree, but of "efatura" and
  // "eirsaliye", which the update never writes into, only their templates ("sablon").
  void BackupFolderToZip(const String& ZipFileName, const String& Folder);
  void AddFolderToZip(TZipFile& Zip, const String& Folder, const String& Prefix);
  // Shows how far the file Name (Done of Size bytes) of the backup or the copy is and lets the
  // window answer: at a file's start and end, and every 50 ms in between.
  void ShowFileProgress(const String& Name, Int64 Done, Int64 Size);
  // Empties the status label and the progress bar: a step starts, or one failed.
  void ResetProgress();
  // The staged package copied over the product folder, without the folders of
  // UpdateFolderSkipList and the files of UpdateFileKeepList; a file that cannot be copied is
  // logged in red and counted.
  void CopyFolderTree(const String& Source, const String& Target);
  void CopyFolderFiles(const String& Source, const String& Target);
  bool GetLastingChange() const { return FLastingChange; }
  Integer GetCopyFailures() const { return FCopyFailures; }
  // ---- end of new installation and update ----

  // The controls of the form resource.
  TRadioGroup* rgVersiyon = nullptr;
  TRadioGroup* rgKurulumTipi = nullptr;
  TRadioGroup* rgTerminalTipi = nullptr;
  TGroupBox* gbKonum = nullptr;
  TDBEditKv* txPath = nullptr;
  TGroupBox* GroupBox2 = nullptr;
  TDBCheckBoxKv* chServer = nullptr;
  TDBCheckBoxKv* chDbDemo = nullptr;
  TDBCheckBoxKv* chFramework = nullptr;
  TDBCheckBoxKv* chAnyDesk = nullptr;
  TDBCheckBoxKv* chStatikIp = nullptr;
  TRadioGroup* rgSector = nullptr;
  TLabel* lbStatus = nullptr;
  TProgressBar* ProgressBar1 = nullptr;
  TRichEdit* Memo1 = nullptr;
  TButton* cmdQal = nullptr;
  TButton* cmdVazgec = nullptr;
  TStatusBar* StatusBar1 = nullptr;
  TTimer* Timer1 = nullptr;
  TNetHTTPClient* NetHTTPClient1 = nullptr;
  TMainMenu* MainMenu1 = nullptr;

  // Services the update stops and starts again, and a list nothing fills yet.
  std::unique_ptr<TStringList> FBackupServices;
  std::unique_ptr<TStringList> FPostgreSqlServices;
  std::unique_ptr<TStringList> FOtherList;

  PUBLISHED_DECL(TfrmQalMain);

 protected:
  void Loaded() override;

 private:
  void SetInputsEnabled(bool Value);
  bool FRunning = false;
  String FRunFolder;
  // Set once a new installation has changed the machine beyond its folder: a failure then
  // keeps the folder.
  bool FLastingChange = false;
  Integer FCopyFailures = 0;
  Cardinal FProgressShown = 0;  // tick of the last progress shown
};

// Registers the classes the wizard's form resources name.
void RegisterQalClasses();

// ---- Processes, services and system settings ----
// What the routines below read of their surroundings; tests put their own in place.
using TTickCountProc = Cardinal (*)();
using TPauseProc = void (*)(Cardinal Ms);
using TRestartWindowsProc = Cardinal (*)();
using TLocalAddressProc = String (*)();
extern TTickCountProc QalTickCount;        // milliseconds, as GetTickCount
extern TPauseProc QalPause;                // a pause of a poll, pumping messages
extern TRestartWindowsProc QalRestartWindows;  // asks for a forced restart: 0, or the system's error
// The local IPv4 address the static address and the server search start from: the main form's
// GetLocalIP.
extern TLocalAddressProc QalLocalAddress;
// The address whose /24 the server search probes: QAL_LOCAL_ADDRESS from the environment when it
// is a loopback address (the demo's and the tests' narrowing), else QalLocalAddress. It never
// chooses the adapter made static.
String ServerSearchAddress();

// The service control manager's state of a service (1 stopped ... 4 running ... 7 paused); 0
// when it cannot be opened or queried (not installed). An empty MachineName is this machine.
Integer GetServiceState(const String& MachineName, const String& ServiceName);
// The 32-bit system folder, the 32-bit Program Files folder and the user's desktop folder.
String GetSystemX86Folder();
String GetProgramFilesFolder();
String GetDesktopFolder();
// Ends every running program of the product: the processes of its windows and "Ingenico.exe".
// The wizard's own process is never ended.
void CloseProgramProcesses();
// The id of the first process whose image name or module path is Name (case ignored), or 0.
Cardinal FindProcessByName(const String& Name);
// Window-enumeration step of CloseProgramProcesses: adds the window's process id to List when
// the window is one of the product's (always answers true: the enumeration goes on).
bool EnumProgramWindowsProc(NativeUInt Wnd, TStrings* List);
void KillProcessById(const String& Id);
class Variant;
// An automation array of strings, bounds 0 .. count-1.
Variant StringsToVariantArray(const std::vector<String>& Strings);
// Writes a shell link to Target at LinkFile.
void CreateShortcut(const String& Target, const String& LinkFile, const String& Description, const String& Arguments);
// A text as a WQL string literal between double quotes.
String WqlQuoted(const String& Text);
// ---- end of processes, services and system settings ----

// ---- New installation and update ----
// The update's folder skip list (a package folder of such a name is not copied, at any depth)
// and file keep list (an installed file of such a name is never overwritten); case ignored. An
// answer "EVET" to the forms question takes "form" off the folder list for the rest of the
// process; the last answer is kept.
extern std::vector<String> UpdateFolderSkipList;
extern std::vector<String> UpdateFileKeepList;
extern String UpdateFormsAnswer;
// The system's architecture as the installation reads it; tests put their own in place.
using TArchitectureProc = TOSVersion::TArchitecture (*)();
extern TArchitectureProc QalArchitecture;
// Message with the product's fixed passwords hidden: no log line may show them.
String HidePasswords(const String& Message);
// ---- end of new installation and update ----
