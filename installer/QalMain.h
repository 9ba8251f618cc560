#pragma once
// The wizard's main window: the operator's options, the coloured log and the start-up checks.
// Every step of the wizard reports through AddToLog.

#include <memory>

#include "framework/Classes.h"
#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/NetHTTPClient.h"
#include "framework/StdCtrls.h"
#include "installer/StandInCtrls.h"

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

// The current user's desktop folder.
String GetDesktopFolder();
// Writes a shell link at LinkFile to Target; raises EOleSysError when it cannot.
void CreateShortcut(const String& Target, const String& LinkFile, const String& Description,
                    const String& Arguments);

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
  // The installation or update run; the installation steps fill it.
  void InstallOrUpdate(bool IsV6);
  // Puts the folder chosen in the folder browser into txPath, without its outer backslashes.
  void SetChosenFolder(const String& Folder);
  bool GetRunning() const { return FRunning; }

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

  // The controls of the form resource.
  TRadioGroup* rgVersiyon = nullptr;
  TRadioGroup* rgKurulumTipi = nullptr;
  TRadioGroup* rgTerminalTipi = nullptr;
  TGroupBox* gbKonum = nullptr;
  TStandInButtonEdit* txPath = nullptr;
  TGroupBox* GroupBox2 = nullptr;
  TCheckBox* chServer = nullptr;
  TCheckBox* chDbDemo = nullptr;
  TCheckBox* chFramework = nullptr;
  TCheckBox* chAnyDesk = nullptr;
  TCheckBox* chStatikIp = nullptr;
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
  template <class T>
  T* Bind(const wchar_t* Name);
  bool FRunning = false;
};

// Registers the classes the wizard's form resources name.
void RegisterQalClasses();
