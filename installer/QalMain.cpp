#include "installer/QalMain.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <wininet.h>
#include <winsvc.h>

#include <algorithm>

#include "framework/ComObj.h"
#include "framework/Dialogs.h"
#include "framework/IniFiles.h"
#include "framework/NetEncoding.h"
#include "framework/PsAPI.h"
#include "framework/Registry.h"
#include "framework/ShellAPI.h"
#include "framework/ShlObj.h"
#include "framework/SysUtils.h"
#include "framework/TlHelp32.h"
#include "framework/WinShell.h"
#include "framework/Windows.h"
#include "framework/Zip.h"
#include "htmllabel/MarkupLabel.h"
#include "htmllabel/MarkupText.h"
#include "installer/DownloadHost.h"
#include "installer/InputBoxU.h"
#include "installer/MessageBoxU.h"
#include "installer/Server.h"
#include "installer/ServerIp.h"
#include "installer/Version.h"
#include "installer/Wait.h"
#include "kvlib/editors/DBCtrlsKv.h"

namespace {

TWindowsVersion SystemWindowsVersion() { return RunningWindowsVersion(); }

// A Winsock socket closed on every path.
struct TSocketHolder {
  SOCKET S = INVALID_SOCKET;
  ~TSocketHolder() {
    if (S != INVALID_SOCKET) closesocket(S);
  }
};

struct TFileHolder {
  HANDLE H = INVALID_HANDLE_VALUE;
  ~TFileHolder() {
    if (H != INVALID_HANDLE_VALUE) CloseHandle(H);
  }
};

void AppendToLogFile(const String& Line) {
  TFileHolder File;
  File.H = CreateFileW(GetLogFileName().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (File.H == INVALID_HANDLE_VALUE) return;
  std::string Bytes = UTF8Encode(Line + L"\r\n");
  DWORD Written = 0;
  WriteFile(File.H, Bytes.data(), DWORD(Bytes.size()), &Written, nullptr);
}

// The message of the error being handled.
String MessageOf(const std::exception_ptr& Error) {
  try {
    std::rethrow_exception(Error);
  } catch (const Exception& E) {
    return E.Message();
  } catch (const std::exception& E) {
    return UTF8ToString(E.what());
  } catch (...) {
    return String();
  }
}

bool IsRelativePath(const String& Path) {
  if (Path.size() >= 2 && Path[1] == L':') return false;
  return Path.empty() || (Path[0] != L'\\' && Path[0] != L'/');
}

}  // namespace

TClockProc QalClock = &Now;
TSelectDirectoryProc QalSelectDirectory = &SelectDirectory;
TWindowsVersionProc QalWindowsVersion = &SystemWindowsVersion;
TConnectedProc QalInternetConnected = &IsInternetConnected;
// Any public address will do: only the route towards it is looked up, nothing is sent to it.
String QalLocalIPHost = L"1.1.1.1";

bool IsWindowsVersionSupported(const TWindowsVersion& V) {
  if (V.Major != 6) return V.Major > 6;
  if (V.Minor != 1) return V.Minor > 1;
  return V.ServicePackMajor != 0 || V.ServicePackMinor != 0;
}

TWindowsVersion RunningWindowsVersion() {
  return {TOSVersion::Major, TOSVersion::Minor, TOSVersion::ServicePackMajor, TOSVersion::ServicePackMinor};
}

bool IsInternetConnected() {
  try {
    DWORD Flags = 0;
    return InternetGetConnectedState(&Flags, 0) != FALSE;
  } catch (...) {
    return false;
  }
}

String GetLogFileName() {
  return ExtractFilePath(ParamStr(0)) + L"Qal_" + FormatDateTime(L"yyyymmdd", QalClock()) + L".log";
}

String FormatLogLine(TDateTime At, const String& AMessage) {
  return L"- [" + FormatDateTime(L"hh:nn:ss", At) + L"] " + AMessage;
}

String SelfUpdateLeftover(const String& Argument, const String& ExeName) {
  if (Argument.empty()) return L"";
  String Folder = ExtractFilePath(ExpandFileName(ExeName));
  String Full = ExpandFileName(IsRelativePath(Argument) ? Folder + Argument : Argument);
  if (!SameFileName(ExtractFilePath(Full), Folder) || !SameFileName(ExtractFileName(Full), L"123.exe")) return L"";
  return Full;
}

PUBLISHED_DEF(TfrmQalMain) {
  METHOD(FormCreate);
  METHOD(FormShow);
  METHOD(FormDestroy);
  METHOD(FormCloseQuery);
  METHOD(Timer1Timer);
  METHOD(rgKurulumTipiClick);
  METHOD(rgTerminalTipiClick);
  METHOD(rgVersiyonClick);
  METHOD(chDbDemoClick);
  METHOD(txPathEditButtons0Click);
  METHOD(cmdQalClick);
  METHOD(cmdVazgecClick);
  METHOD(NetHTTPClient1ReceiveData);
}

void RegisterQalClasses() {
  RegisterStdControls();
  RegisterExtControls();
  RegisterComControls();
  RegisterMenus();
  RegisterDBCtrlsKv();
  RegisterClasses({TNetHTTPClient::StaticClass(), TfrmQalMain::StaticClass(), TMessageBox::StaticClass(),
                   TInputBox::StaticClass(), TMarkupLabel::StaticClass(), TfrmWait::StaticClass(),
                   TfrmVersion::StaticClass()});
}

TfrmQalMain::TfrmQalMain(TComponent* AOwner) : TForm(AOwner) {}
TfrmQalMain::~TfrmQalMain() = default;


void TfrmQalMain::Loaded() {
  inherited::Loaded();
  rgVersiyon = RequireComponent<TRadioGroup>(this, L"rgVersiyon");
  rgKurulumTipi = RequireComponent<TRadioGroup>(this, L"rgKurulumTipi");
  rgTerminalTipi = RequireComponent<TRadioGroup>(this, L"rgTerminalTipi");
  gbKonum = RequireComponent<TGroupBox>(this, L"gbKonum");
  txPath = RequireComponent<TDBEditKv>(this, L"txPath");
  GroupBox2 = RequireComponent<TGroupBox>(this, L"GroupBox2");
  chServer = RequireComponent<TDBCheckBoxKv>(this, L"chServer");
  chDbDemo = RequireComponent<TDBCheckBoxKv>(this, L"chDbDemo");
  chFramework = RequireComponent<TDBCheckBoxKv>(this, L"chFramework");
  chAnyDesk = RequireComponent<TDBCheckBoxKv>(this, L"chAnyDesk");
  chStatikIp = RequireComponent<TDBCheckBoxKv>(this, L"chStatikIp");
  rgSector = RequireComponent<TRadioGroup>(this, L"rgSector");
  lbStatus = RequireComponent<TLabel>(this, L"lbStatus");
  ProgressBar1 = RequireComponent<TProgressBar>(this, L"ProgressBar1");
  Memo1 = RequireComponent<TRichEdit>(this, L"Memo1");
  cmdQal = RequireComponent<TButton>(this, L"cmdQal");
  cmdVazgec = RequireComponent<TButton>(this, L"cmdVazgec");
  StatusBar1 = RequireComponent<TStatusBar>(this, L"StatusBar1");
  Timer1 = RequireComponent<TTimer>(this, L"Timer1");
  NetHTTPClient1 = RequireComponent<TNetHTTPClient>(this, L"NetHTTPClient1");
  MainMenu1 = RequireComponent<TMainMenu>(this, L"MainMenu1");
}

void TfrmQalMain::FormCreate(TObject*) {
  FBackupServices = std::make_unique<TStringList>();
  FPostgreSqlServices = std::make_unique<TStringList>();
  FOtherList = std::make_unique<TStringList>();
  chServer->SetChecked(true);
  chAnyDesk->SetChecked(false);
  chStatikIp->SetChecked(false);
  chDbDemo->SetChecked(false);
  NetHTTPClient1->SetSecureProtocols({TLS12, TLS13});
  rgKurulumTipi->SetItemIndex(1);
  rgKurulumTipiClick(this);
}

void TfrmQalMain::FormShow(TObject*) {
  SetCaption(Application->GetTitle());
  bool Supported = CheckWindowsVersion();
  TWindowsVersion V = QalWindowsVersion();
  String System = TOSVersion::Name;
  if (V.ServicePackMajor != 0)
    System += L" (SP" + IntToStr(V.ServicePackMajor) + L"." + IntToStr(V.ServicePackMinor) + L")";
  TStatusPanels* Panels = StatusBar1->GetPanels();
  Panels->GetItem(0)->SetText(L"Yerel IP: " + GetLocalIP());
  Panels->GetItem(1)->SetText(System);
  Panels->GetItem(2)->SetText(L"Sürüm " + FloatToStr(QalVersion, TFormatSettings::Invariant()));
  DisableInputs();
  // On an unsupported Windows nothing more may run: the program ends when the loop takes over.
  if (Supported) Timer1Timer(Timer1);
}

void TfrmQalMain::FormDestroy(TObject*) {
  FBackupServices.reset();
  FPostgreSqlServices.reset();
  FOtherList.reset();
}

void TfrmQalMain::FormCloseQuery(TObject*, bool& CanClose) {
  // The run's steps are on the stack beneath the message pump: the form must outlive them.
  if (FRunning) CanClose = false;
}

void TfrmQalMain::Timer1Timer(TObject*) {
  Timer1->SetEnabled(false);
  String Path = ParamCount() >= 1 ? SelfUpdateLeftover(ParamStr(1), ParamStr(0)) : String();
  if (!Path.empty() && FileExists(Path)) {
    // The old process may still be closing: give it a few seconds to let the file go.
    DWORD Start = GetTickCount();
    while (!DeleteFile(Path)) {
      DWORD Error = GetLastError();
      if (Error == ERROR_FILE_NOT_FOUND) break;
      if (GetTickCount() - Start > 10000) {
        AddToLog(LogRed, L"Eski Qal.exe silinemedi: " + SysErrorMessage(Error));
        break;
      }
      Application->ProcessMessages();
      Sleep(100);
    }
  }
  if (!QalInternetConnected()) {
    MessageDlg(String(L"Zelkor sunucusuna erişim sağlanamadı, internet bağlatınızın") + L"\r" +
                   L"olduğundan emin olunuz. Qal işleme devam edemiyor şimdi kapatılacak.",
               mtWarning, TMsgDlgButtons{mbOK});
    Application->Terminate();
    return;
  }
  if (QalCheckForUpdateAtStart && CheckForUpdate(L"diger/Qal.exe") == 1) return;
  EnableInputs();
}

bool TfrmQalMain::CheckWindowsVersion() {
  if (IsWindowsVersionSupported(QalWindowsVersion())) return true;
  Application->MessageBox(String(L"Kurulum yapabilmek için en az") + L"\r" +
                              L"windows service pack 1 kurulu olması gerekiyor.",
                          Application->GetTitle(), MB_OK);
  Application->Terminate();
  return false;
}

String TfrmQalMain::GetLocalIP() {
  // A datagram socket's connect only picks the route and its local address: no packet leaves, and
  // no time-out can hold the start-up when the network drops what is sent.
  addrinfoW Hints{};
  Hints.ai_family = AF_INET;
  Hints.ai_socktype = SOCK_DGRAM;
  Hints.ai_protocol = IPPROTO_UDP;
  addrinfoW* Found = nullptr;
  if (GetAddrInfoW(QalLocalIPHost.c_str(), L"80", &Hints, &Found) != 0 || !Found) return L"";
  String Result;
  TSocketHolder Socket;
  for (addrinfoW* A = Found; A; A = A->ai_next) {
    if (A->ai_family != AF_INET) continue;
    if (Socket.S == INVALID_SOCKET) Socket.S = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (Socket.S == INVALID_SOCKET) break;
    if (connect(Socket.S, A->ai_addr, int(A->ai_addrlen)) != 0) continue;
    sockaddr_in Local{};
    int Len = sizeof(Local);
    if (getsockname(Socket.S, reinterpret_cast<sockaddr*>(&Local), &Len) == 0) {
      wchar_t Text[INET_ADDRSTRLEN] = {};
      if (InetNtopW(AF_INET, &Local.sin_addr, Text, INET_ADDRSTRLEN)) Result = Text;
    }
    break;
  }
  FreeAddrInfoW(Found);
  return Result;
}

void TfrmQalMain::SetInputsEnabled(bool Value) {
  // The folder group too: a folder changed mid-run would send the later steps elsewhere.
  for (TControl* C : std::initializer_list<TControl*>{rgKurulumTipi, rgTerminalTipi, rgVersiyon, gbKonum, GroupBox2,
                                                      rgSector, cmdQal, cmdVazgec})
    C->SetEnabled(Value);
  Application->ProcessMessages();
}

void TfrmQalMain::EnableInputs() { SetInputsEnabled(true); }

void TfrmQalMain::DisableInputs() { SetInputsEnabled(false); }

String TfrmQalMain::GetRunFolder() const { return FRunning ? FRunFolder : Trim(txPath->GetText()); }

void TfrmQalMain::AddToLog(TColor AColor, const String& AMessage) {
  String Line = FormatLogLine(QalClock(), HidePasswords(AMessage));
  Memo1->GetSelAttributes()->SetColor(AColor);
  Memo1->GetLines()->Add(Line);
  Integer Count = Memo1->GetLines()->GetCount();
  if (Count > 7) SendMessageW(Memo1->GetHandle(), EM_LINESCROLL, 0, LPARAM(Count - 3));
  // A log file that cannot be written must never stop a step.
  try {
    AppendToLogFile(Line);
  } catch (...) {
  }
  Application->ProcessMessages();
}

void TfrmQalMain::rgKurulumTipiClick(TObject*) {
  if (rgKurulumTipi->GetItemIndex() == 0) {
    gbKonum->SetCaption(L"Kurulum Konum");
    if (rgTerminalTipi->GetItemIndex() == 0) {
      chServer->SetEnabled(true);
      chServer->SetChecked(true);
      chDbDemo->SetEnabled(true);
    }
    cmdQal->SetCaption(L"Qal");
  } else if (rgKurulumTipi->GetItemIndex() == 1) {
    gbKonum->SetCaption(L"Zelkor Klasörünü Seçiniz");
    chServer->SetChecked(false);
    chDbDemo->SetChecked(false);
    chServer->SetEnabled(false);
    chServer->SetChecked(false);
    chDbDemo->SetEnabled(false);
    cmdQal->SetCaption(L"Güncelle");
  }
}

void TfrmQalMain::rgTerminalTipiClick(TObject*) {
  if (rgTerminalTipi->GetItemIndex() == 0) {
    if (rgKurulumTipi->GetItemIndex() != 0) return;
    chServer->SetEnabled(true);
    chServer->SetChecked(true);
    chDbDemo->SetEnabled(true);
    chDbDemo->SetChecked(true);
  } else if (rgTerminalTipi->GetItemIndex() == 1) {
    chServer->SetChecked(false);
    chServer->SetEnabled(false);
    chDbDemo->SetChecked(false);
    chDbDemo->SetEnabled(false);
  }
}

void TfrmQalMain::rgVersiyonClick(TObject*) {
  rgSector->SetVisible(rgVersiyon->GetItemIndex() == 1 && chDbDemo->GetChecked());
}

void TfrmQalMain::chDbDemoClick(TObject* Sender) { rgVersiyonClick(Sender); }

void TfrmQalMain::txPathEditButtons0Click(TObject*, bool&) {
  String Folder;
  if (QalSelectDirectory(L"Klasör Seçiniz:", L"", Folder)) SetChosenFolder(Folder);
}

void TfrmQalMain::SetChosenFolder(const String& Folder) {
  size_t First = Folder.find_first_not_of(L'\\');
  if (First == String::npos) {
    txPath->SetText(L"");
    return;
  }
  size_t Last = Folder.find_last_not_of(L'\\');
  txPath->SetText(Folder.substr(First, Last - First + 1));
}

void TfrmQalMain::cmdQalClick(TObject*) {
  Integer Version = rgVersiyon->GetItemIndex();
  if (Version < 0) {
    MessageDlg(L"Versiyon belirtmediniz!", mtWarning, TMsgDlgButtons{mbOK});
    return;
  }
  String Question = L"Seçili Version " + rgVersiyon->GetItems()->GetStrings(Version) + L" Onaylıyor Musunuz?";
  if (MessageDlg(Question, mtInformation, mbYesNo) != mrYes) return;
  InstallOrUpdate(Version == 1);
}

void TfrmQalMain::cmdVazgecClick(TObject*) { Close(); }

// ---- Downloads and self-update ----------------------------------------------------------------

String QalSelfUpdateExe;
bool QalCheckForUpdateAtStart = true;

namespace {

struct TProcessHolder {
  HANDLE H = nullptr;
  ~TProcessHolder() {
    if (H) CloseHandle(H);
  }
};

// The text after the last "/", "\" or ":".
String RemoteFileName(const String& RemotePath) {
  size_t Last = RemotePath.find_last_of(L"/\\:");
  return Last == String::npos ? RemotePath : RemotePath.substr(Last + 1);
}

// A program image that Windows can start: "MZ", the "PE" header it points to, an executable
// image and no library. An answer of a proxy or a captive portal (an HTML page) is none.
bool IsWindowsExecutable(TStream& File) {
  Byte Dos[64] = {};
  const Int64 Size = File.GetSize();
  if (Size < Int64(sizeof(Dos))) return false;
  File.SetPosition(0);
  File.ReadBuffer(Dos, sizeof(Dos));
  if (Dos[0] != 'M' || Dos[1] != 'Z') return false;
  const Int64 Pe = Int64(Dos[0x3C]) | Int64(Dos[0x3D]) << 8 | Int64(Dos[0x3E]) << 16 | Int64(Dos[0x3F]) << 24;
  Byte Header[24] = {};  // signature and file header
  if (Pe + Int64(sizeof(Header)) > Size) return false;
  File.SetPosition(Pe);
  File.ReadBuffer(Header, sizeof(Header));
  if (Header[0] != 'P' || Header[1] != 'E' || Header[2] != 0 || Header[3] != 0) return false;
  const Word Characteristics = Word(Header[22] | Header[23] << 8);
  return (Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) && !(Characteristics & IMAGE_FILE_DLL);
}

// The version file in memory: a few bytes of text, so a server that sends more (or never stops)
// is refused at 4 KB instead of filling the memory.
class TVersionFileStream : public TMemoryStream {
  DECLARE_CLASS(TVersionFileStream, TMemoryStream)
 public:
  static constexpr Integer Limit = 4096;
  using TMemoryStream::Write;
  Integer Write(const void* Buffer, Integer Count) override {
    if (GetPosition() + Count > Limit) throw Exception(Format(L"Sürüm bilgisi %d bayttan uzun.", {Limit}));
    return TMemoryStream::Write(Buffer, Count);
  }
};

// Makes Folder and its missing parents; raises with the system's reason for the first one that
// cannot be made, which the later "cannot create file" would hide.
void MakeFolderTree(const String& Folder) {
  const String D = ExcludeTrailingPathDelimiter(Folder);
  if (D.empty() || DirectoryExists(D)) return;
  const String Parent = ExtractFileDir(D);
  if (!Parent.empty() && Parent != D) MakeFolderTree(Parent);
  if (!CreateDirectoryW(D.c_str(), nullptr)) {
    const DWORD Error = GetLastError();
    if (!DirectoryExists(D)) throw Exception(D + L" klasörü oluşturulamadı: " + SysErrorMessage(Error));
  }
}

// Downloads RemoteExe into NewExe and accepts it only as a whole Windows executable.
void DownloadNewExecutable(TNetHTTPClient* Client, const String& RemoteExe, const String& NewExe) {
  TFileStream File(NewExe, fmCreate);
  IHTTPResponsePtr Response = Client->Get(BuildDownloadUrl(RemoteExe), &File);
  if (Response->GetStatusCode() != 200)
    throw Exception(Format(L"Yeni Qal.exe indirilemedi (HTTP %d %s).",
                           {Response->GetStatusCode(), Response->GetStatusText()}));
  const Int64 Length = Response->GetContentLength();
  if ((Length >= 0 && File.GetSize() != Length) || !IsWindowsExecutable(File))
    throw Exception(L"Yeni Qal.exe geçerli bir program değil.");
}

// Starts NewExe as the self-update's successor; raises when the system refuses it or the
// loader gives it up at once (a missing library, a damaged image).
void StartNewExecutable(HWND Owner, const String& NewExe, const String& Folder) {
  SHELLEXECUTEINFOW Info{};
  Info.cbSize = sizeof(Info);
  Info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  Info.hwnd = Owner;
  Info.lpVerb = L"open";
  Info.lpFile = NewExe.c_str();
  Info.lpParameters = L"123.exe";
  Info.lpDirectory = Folder.c_str();
  Info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&Info))
    throw Exception(L"Yeni Qal.exe başlatılamadı: " + SysErrorMessage(GetLastError()));
  TProcessHolder Process{Info.hProcess};
  if (!Process.H) return;
  // Ready for input, or still starting after a few seconds: it runs. Ended already: it did not.
  WaitForInputIdle(Process.H, 5000);
  DWORD Code = STILL_ACTIVE;
  if (GetExitCodeProcess(Process.H, &Code) && Code != STILL_ACTIVE && Code != 0)
    throw Exception(L"Yeni Qal.exe başlatılamadı: çıkış kodu " + IntToHex(Int64(Code), 8) + L".");
}

}  // namespace

String BuildDownloadUrl(const String& RemotePath) {
  String Encoded;
  size_t Start = 0;
  for (;;) {
    const size_t Slash = RemotePath.find(L'/', Start);
    Encoded += TNetEncoding::URL()->Encode(RemotePath.substr(Start, Slash - Start));  // to the end without a slash
    if (Slash == String::npos) break;
    Encoded += L'/';
    Start = Slash + 1;
  }
  return String(L"https://") + DownloadHost + L"/api/dosyalar/indir?token=" + DownloadToken + L"&ad=" + Encoded;
}

void TfrmQalMain::DownloadAndExtract(const String& TargetFolder, bool CreateFolder, const String& RemotePath) {
  const String LocalFile = TargetFolder + L"\\" + RemoteFileName(RemotePath);
  ProgressBar1->SetStyle(pbstNormal);
  ProgressBar1->SetPosition(0);
  lbStatus->SetCaption(RemotePath + L" indiriliyor...");
  AddToLog(LogWhite, RemotePath + L" indiriliyor...");
  auto Failed = [&](const String& Message) {
    if (FileExists(LocalFile)) DeleteFile(LocalFile);
    AddToLog(LogRed, RemotePath + L" başarısız: " + Message);
  };
  try {
    if (CreateFolder) MakeFolderTree(TargetFolder);
    if (FileExists(LocalFile)) DeleteFile(LocalFile);
    {
      TFileStream File(LocalFile, fmCreate);
      IHTTPResponsePtr Response = NetHTTPClient1->Get(BuildDownloadUrl(RemotePath), &File);
      if (Response->GetStatusCode() != 200)
        throw Exception(Format(L"%s indirilemedi (HTTP %d %s).",
                               {RemotePath, Response->GetStatusCode(), Response->GetStatusText()}));
    }
    AddToLog(LogGreen, RemotePath + L" indirme tamamlandı...");
    AddToLog(LogWhite, RemotePath + L" genişletiliyor...");
    ProgressBar1->SetStyle(pbstNormal);
    ProgressBar1->SetPosition(0);
    {
      TZipFile Zip;
      Zip.SetOnProgress({this, &TfrmQalMain::ZipExtractProgress});
      Zip.Open(LocalFile, zmRead);
      Zip.ExtractAll(TargetFolder);
    }
    DeleteFile(LocalFile);
    AddToLog(LogGreen, RemotePath + L" genişletildi...");
  } catch (const Exception& E) {
    Failed(E.Message());
    throw;
  } catch (const std::exception& E) {
    Failed(UTF8ToString(E.what()));
    throw;
  }
}

void TfrmQalMain::NetHTTPClient1ReceiveData(TObject*, Int64 AContentLength, Int64 AReadCount, bool&) {
  if (AContentLength > 0) {
    if (ProgressBar1->GetStyle() != pbstNormal) ProgressBar1->SetStyle(pbstNormal);
    if (ProgressBar1->GetMax() != 1000) ProgressBar1->SetMax(1000);
    ProgressBar1->SetPosition(Integer(AReadCount * 1000 / AContentLength));
  } else if (ProgressBar1->GetStyle() != pbstMarquee) {
    ProgressBar1->SetStyle(pbstMarquee);
  }
  Application->ProcessMessages();
}

void TfrmQalMain::ZipExtractProgress(TObject*, const String& FileName, const TZipHeader& Header, Int64 Position) {
  ProgressBar1->SetMax(100);
  const Int64 Size = Int64(Header.UncompressedSize);
  ProgressBar1->SetPosition(Size == 0 ? 0 : Integer(Position * 100 / Size));
  lbStatus->SetCaption(FileName);
  Application->ProcessMessages();
}

Integer TfrmQalMain::CheckForUpdate(const String& RemoteExe) {
  Integer Result = 0;
  // Beside the running program, wherever the current folder is.
  const String Exe = ExpandFileName(QalSelfUpdateExe.empty() ? ParamStr(0) : QalSelfUpdateExe);
  const String Folder = ExtractFilePath(Exe);
  const String Moved = Folder + L"123.exe";
  const String NewExe = Folder + L"Qal.exe";
  try {
    TVersionFileStream VersionFile;
    IHTTPResponsePtr Version = NetHTTPClient1->Get(BuildDownloadUrl(L"diger/qal.txt"), &VersionFile);
    if (Version->GetStatusCode() != 200) {
      AddToLog(LogRed, Format(L"Sürüm bilgisi alınamadı (HTTP %d) - güncelleme kontrolü atlandı.",
                              {Version->GetStatusCode()}));
    } else {
      Double Latest = 0;
      if (!TryStrToFloat(Trim(Version->ContentAsString(TEncoding::UTF8())), Latest, TFormatSettings::Invariant()))
        Latest = 0;
      if (Latest > QalVersion) {
        ShowWaitForm();
        DisableInputs();
        // A leftover of an earlier round would make every later move fail.
        if (FileExists(Moved)) DeleteFile(Moved);
        if (!RenameFile(Exe, Moved)) {
          AddToLog(LogRed, L"Mevcut Qal.exe yeniden adlandırılamadı - güncelleme atlandı.");
        } else {
          try {
            AddToLog(LogWhite, L"Yeni versiyon indiriliyor..");
            DownloadNewExecutable(NetHTTPClient1, RemoteExe, NewExe);
            AddToLog(LogGreen, L"Yeni versiyon indirildi..");
            StartNewExecutable(GetHandle(), NewExe, Folder);
            Close();
            Result = 1;
          } catch (...) {
            AddToLog(LogRed, MessageOf(std::current_exception()) + L" Güncelleme iptal edildi.");
            // The new file goes only while the running one is still there to take its place.
            if (FileExists(Moved)) {
              if (FileExists(NewExe)) DeleteFile(NewExe);
              if (!RenameFile(Moved, Exe))
                AddToLog(LogRed, L"Mevcut Qal.exe geri adlandırılamadı: " + SysErrorMessage(GetLastError()));
            }
          }
        }
      }
    }
  } catch (...) {
    // Whatever escaped, the inputs must come back below.
    AddToLog(LogRed, L"Güncelleme kontrolü yapılamadı: " + MessageOf(std::current_exception()));
  }
  HideWaitForm();
  ResetProgress();
  EnableInputs();
  return Result;
}

void TfrmQalMain::ShowWaitForm() {
  if (Application->FindComponent(L"frmWait")) return;
  // The wait form's unit registers its class; the form reads its resource and names itself.
  TComponentClass WaitClass = GetClass(L"TfrmWait");
  if (!WaitClass) return;
  TComponent* Instance = WaitClass.Create(static_cast<TComponent*>(Application));
  try {
    Instance->AfterConstruction();
  } catch (...) {
    delete Instance;
    throw;
  }
  if (auto* Form = dynamic_cast<TCustomForm*>(Instance)) {
    Form->Show();
    Application->ProcessMessages();
  }
}

void TfrmQalMain::HideWaitForm() {
  auto* Form = dynamic_cast<TCustomForm*>(Application->FindComponent(L"frmWait"));
  if (!Form) return;
  Form->Hide();
  delete Form;
}

// ---- Processes, services and system settings ----------------------------------------------

namespace {

const wchar_t ServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services\\";

Cardinal SystemTickCount() { return GetTickCount(); }

void PauseWithMessages(Cardinal Ms) {
  DWORD Start = GetTickCount();
  for (;;) {
    DWORD Spent = GetTickCount() - Start;
    if (Spent >= Ms) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, Ms - Spent, QS_ALLINPUT);
    Application->ProcessMessages();
    if (Application->GetTerminated()) break;
  }
}

// A forced restart needs the shutdown privilege, which an elevated process holds but has not
// enabled.
Cardinal RestartWindows() {
  HANDLE Token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &Token)) return GetLastError();
  TOKEN_PRIVILEGES Privileges{};
  Privileges.PrivilegeCount = 1;
  Privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  DWORD Error = ERROR_SUCCESS;
  if (!LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &Privileges.Privileges[0].Luid) ||
      !AdjustTokenPrivileges(Token, FALSE, &Privileges, 0, nullptr, nullptr) || GetLastError() != ERROR_SUCCESS)
    Error = GetLastError();
  CloseHandle(Token);
  if (Error != ERROR_SUCCESS) return Error;
  if (!ExitWindowsEx(EWX_REBOOT | EWX_FORCE, SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_FLAG_PLANNED))
    return GetLastError();
  return ERROR_SUCCESS;
}

String LocalAddressOfMainForm() {
  auto* Main = dynamic_cast<TfrmQalMain*>(Application->GetMainForm());
  return Main ? Main->GetLocalIP() : String();
}

// A dotted IPv4 address in 127.0.0.0/8, four parts of 0..255 and nothing else.
bool IsLoopbackAddressText(const String& Text) {
  Integer Parts[4] = {};
  size_t At = 0;
  for (Integer I = 0; I < 4; ++I) {
    if (I > 0) {
      if (At >= Text.size() || Text[At] != L'.') return false;
      ++At;
    }
    const size_t Start = At;
    while (At < Text.size() && At - Start < 3 && Text[At] >= L'0' && Text[At] <= L'9')
      Parts[I] = Parts[I] * 10 + (Text[At++] - L'0');
    if (At == Start || Parts[I] > 255) return false;
  }
  return At == Text.size() && Parts[0] == 127;
}

bool ServiceKeyExists(const String& Name) {
  TRegistry Registry(KEY_READ);
  Registry.SetRootKey(HKEY_LOCAL_MACHINE);
  return Registry.KeyExists(ServicesKey + Name);
}

std::unique_ptr<TStringList> ServiceNames() {
  auto Names = std::make_unique<TStringList>();
  TRegistry Registry(KEY_READ);
  Registry.SetRootKey(HKEY_LOCAL_MACHINE);
  if (Registry.OpenKeyReadOnly(ServicesKey)) Registry.GetKeyNames(Names.get());
  return Names;
}

// Service names compare as the service manager compares them: case ignored whatever the locale.
bool StartsWithIgnoringCase(const String& Prefix, const String& Name) {
  return Name.size() >= Prefix.size() && SameFileName(Name.substr(0, Prefix.size()), Prefix);
}

String LongPath(const String& Path) {
  if (Path.size() >= 2 && Path[0] == L'\\' && Path[1] == L'\\') {
    if (Path.size() >= 4 && (Path[2] == L'?' || Path[2] == L'.') && Path[3] == L'\\') return Path;
    return L"\\\\?\\UNC\\" + Path.substr(2);
  }
  if (Path.size() >= 3 && Path[1] == L':' && Path[2] == L'\\') return L"\\\\?\\" + Path;
  return Path;
}

void DeleteTree(const String& Folder) {
  WIN32_FIND_DATAW Found;
  HANDLE Search = FindFirstFileW((Folder + L"\\*.*").c_str(), &Found);
  if (Search != INVALID_HANDLE_VALUE) {
    do {
      String Name = Found.cFileName;
      if (Name == L"." || Name == L"..") continue;
      String Full = Folder + L"\\" + Name;
      if (Found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A junction or symbolic link: the link goes, what it points at stays.
        if (Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveDirectoryW(Full.c_str());
        else DeleteFileW(Full.c_str());
      } else if (Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(Full);
      } else {
        DeleteFileW(Full.c_str());
      }
    } while (FindNextFileW(Search, &Found));
    FindClose(Search);
  }
  RemoveDirectoryW(Folder.c_str());
}

// The element of the adapter's IPSubnet that pairs with Address in its IPAddress; empty when
// the adapter reports none.
String SubnetOf(const Variant& Adapter, const String& Address) {
  const Variant Addresses = Adapter.OlePropertyGet(L"IPAddress");
  const Variant Subnets = Adapter.OlePropertyGet(L"IPSubnet");
  if (!VarIsArray(Addresses) || !VarIsArray(Subnets)) return String();
  Integer Low = VarArrayLowBound(Addresses, 1), High = VarArrayHighBound(Addresses, 1);
  for (Integer I = Low; I <= High; ++I) {
    if (Addresses[I].AsString() != Address) continue;
    Integer J = VarArrayLowBound(Subnets, 1) + (I - Low);
    if (J <= VarArrayHighBound(Subnets, 1)) return Subnets[J].AsString();
  }
  return String();
}

}  // namespace

TTickCountProc QalTickCount = &SystemTickCount;
TPauseProc QalPause = &PauseWithMessages;
TRestartWindowsProc QalRestartWindows = &RestartWindows;
TLocalAddressProc QalLocalAddress = &LocalAddressOfMainForm;

String ServerSearchAddress() {
  // Only ever a narrowing to loopback (the demo, the tests): a real network is never chosen this way.
  wchar_t Buffer[64] = {};
  const DWORD Length = GetEnvironmentVariableW(L"QAL_LOCAL_ADDRESS", Buffer, 64);
  if (Length > 0 && Length < 64 && IsLoopbackAddressText(Buffer)) return Buffer;
  return QalLocalAddress();
}

bool TfrmQalMain::RunAndWait(const String& FileName, const String& Parameters, Cardinal TimeoutMs,
                             const String& WorkingFolder, Cardinal* ExitCode) {
  if (ExitCode) *ExitCode = 0;
  Application->ProcessMessages();
  TProcessHandle Process;
  try {
    Process = ShellExecuteProcess(NativeUInt(Application->GetHandle()), L"open", FileName, Parameters, WorkingFolder,
                                  SW_HIDE);
  } catch (const Exception& E) {
    // The system's reason alone, on the one line.
    auto* OS = dynamic_cast<const EOSError*>(&E);
    String Reason = OS ? SysErrorMessage(OS->ErrorCode) : String();
    if (Reason.empty()) Reason = E.Message();
    AddToLog(LogRed, L"Komut çalıştırılamadı: " + FileName + L" " + Parameters + L" - " + Reason);
    return false;
  }
  bool Ended = true;  // without a process (handed to a running program) there is nothing to wait for
  if (Process) {
    Cardinal Start = QalTickCount();
    for (;;) {
      Ended = Process.WaitFor(200);
      Application->ProcessMessages();
      if (Ended) break;
      if (TimeoutMs != 0 && QalTickCount() - Start > TimeoutMs) {
        Process.Terminate(0);
        Process.WaitFor(1000);
        AddToLog(LogRed, L"Komut çalıştırılamadı: " + FileName + L" " + Parameters + L" - zaman aşımı");
        break;
      }
      // On the way out of the program the process is left to run.
      if (Application->GetTerminated()) break;
    }
    if (Ended && ExitCode) *ExitCode = Process.ExitCode();
  }
  Process.Close();
  Application->ProcessMessages();
  return Ended;
}

void TfrmQalMain::RunNet(const String& Parameters) { RunAndWait(L"net", Parameters, 0, GetSystemX86Folder()); }

Integer GetServiceState(const String& MachineName, const String& ServiceName) {
  SC_HANDLE Manager = OpenSCManagerW(MachineName.empty() ? nullptr : MachineName.c_str(), nullptr, SC_MANAGER_CONNECT);
  if (!Manager) return 0;
  Integer State = 0;
  if (SC_HANDLE Service = OpenServiceW(Manager, ServiceName.c_str(), SERVICE_QUERY_STATUS)) {
    SERVICE_STATUS Status{};
    if (QueryServiceStatus(Service, &Status)) State = Integer(Status.dwCurrentState);
    CloseServiceHandle(Service);
  }
  CloseServiceHandle(Manager);
  return State;
}

String GetSystemX86Folder() { return GetSpecialFolderPath(CSIDL_SYSTEMX86); }

// The 32-bit Program Files folder, where a 32-bit wizard's installs have always gone.
String GetProgramFilesFolder() { return GetSpecialFolderPath(CSIDL_PROGRAM_FILESX86); }

String GetDesktopFolder() { return GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY); }

bool EnumProgramWindowsProc(NativeUInt Wnd, TStrings* List) {
  String Title = WindowText(Wnd), Class = WindowClassName(Wnd);
  if (!WindowVisible(Wnd)) return true;
  bool Product = Title.find(L"Zelkor") != String::npos || Title.find(L"Halvex") != String::npos;
  if (!Product || Class.empty() || Class[0] != L'T' || Class == L"TfrmQalMain") return true;
  Cardinal Process = WindowProcessId(Wnd);
  // The wizard's own forms carry the application title, which names the product.
  if (Process == 0 || Process == GetCurrentProcessId()) return true;
  String Id = IntToStr(Process);
  if (List->IndexOf(Id) < 0) List->Add(Id);
  return true;
}

Cardinal FindProcessByName(const String& Name) {
  for (const TProcessEntry& Entry : ProcessSnapshot()) {
    String Path = GetProcessModuleFileName(Entry.ProcessID, 261);
    if ((!Path.empty() && SameFileName(Path, Name)) || SameFileName(Entry.ExeFile, Name)) return Entry.ProcessID;
  }
  return 0;
}

void KillProcessById(const String& Id) {
  Integer Process = StrToIntDef(Id, 0);
  if (Process <= 0 || Cardinal(Process) == GetCurrentProcessId()) return;
  if (HANDLE H = OpenProcess(PROCESS_TERMINATE, FALSE, DWORD(Process))) {
    TerminateProcess(H, 0);
    CloseHandle(H);
  }
}

void CloseProgramProcesses() {
  TStringList Ids;
  EnumTopLevelWindows([&](NativeUInt Wnd) { return EnumProgramWindowsProc(Wnd, &Ids); });
  if (Cardinal Ingenico = FindProcessByName(L"Ingenico.exe")) {
    String Id = IntToStr(Ingenico);
    if (Ids.IndexOf(Id) < 0) Ids.Add(Id);
  }
  for (Integer I = 0; I < Ids.GetCount(); ++I) KillProcessById(Ids.GetStrings(I));
}

void TfrmQalMain::StopHalvexServices() {
  if (ServiceKeyExists(L"HalvexGuardian20")) RunNet(L"stop HalvexGuardian20");
  for (const wchar_t* Name : {L"Halvex20", L"Halvex21"}) {
    if (!ServiceKeyExists(Name)) continue;
    RunNet(String(L"stop ") + Name);
    Integer State = GetServiceState(L"", Name);
    if (State == 1 || State == 0) continue;
    if (TMessageBox::Show(L"Uyarı", L"Kuruluma devam edebilmek için windowsu tekrar başlatılması gerekmektedir,"
                                    L"şimdi windowsun yeniden başlatılmasını istiyor musunuz?") != mrYes)
      Abort();
    // Nothing may touch the product's files while the service runs: the run ends here either way.
    if (Cardinal Error = QalRestartWindows())
      AddToLog(LogRed, L"Windows yeniden başlatılamadı: " + SysErrorMessage(Error));
    Abort();
  }
  Application->ProcessMessages();
}

void TfrmQalMain::StopBackupServices() {
  FBackupServices->Clear();
  std::unique_ptr<TStringList> Names = ServiceNames();
  for (Integer I = 0; I < Names->GetCount(); ++I) {
    String Name = Names->GetStrings(I);
    if (Name.compare(0, 12, L"ZelkorBackup") != 0) continue;
    FBackupServices->Add(Name);
    RunNet(L"Stop " + Name);
  }
}

void TfrmQalMain::StartBackupServices() {
  for (Integer I = 0; I < FBackupServices->GetCount(); ++I) RunNet(L"Start " + FBackupServices->GetStrings(I));
}

void TfrmQalMain::StopPostgreSqlServices() {
  FPostgreSqlServices->Clear();
  std::unique_ptr<TStringList> Names = ServiceNames();
  for (Integer I = 0; I < Names->GetCount(); ++I) {
    String Name = Names->GetStrings(I);
    if (StartsWithIgnoringCase(L"postgresql", Name) || StartsWithIgnoringCase(L"Zelkor-PG", Name))
      FPostgreSqlServices->Add(Name);
  }
  for (Integer I = 0; I < FPostgreSqlServices->GetCount(); ++I) {
    String Name = FPostgreSqlServices->GetStrings(I);
    AddToLog(LogWhite, L"PostgreSQL hizmeti durduruluyor: " + Name);
    RunNet(L"stop " + Name);
    Cardinal Start = QalTickCount();
    Integer State = GetServiceState(L"", Name);
    while (State != 1 && State != 0 && QalTickCount() - Start < 60000 && !Application->GetTerminated()) {
      QalPause(500);
      State = GetServiceState(L"", Name);
    }
    if (State == 1 || State == 0) continue;
    AddToLog(LogRed, L"PostgreSQL hizmeti durdurulamadı: " + Name);
    if (TMessageBox::Show(L"Uyarı", L"<b>" + HtmlEscape(Name) + L"</b> veritabanı hizmeti durdurulamadı. " +
                                        L"Bu durumda alınacak yedek bozuk/eksik olabilir. " +
                                        L"Yine de devam etmek istiyor musunuz?") != mrYes)
      Abort();
  }
}

void TfrmQalMain::StartPostgreSqlServices() {
  for (Integer I = 0; I < FPostgreSqlServices->GetCount(); ++I) {
    String Name = FPostgreSqlServices->GetStrings(I);
    AddToLog(LogWhite, L"PostgreSQL hizmeti başlatılıyor: " + Name);
    RunNet(L"start " + Name);
  }
}

void TfrmQalMain::AddFirewallPort(const String& Name, Integer Port) {
  Variant FwMgr = CreateOleObject(L"HNetCfg.FwMgr");
  Variant Profile = FwMgr.OlePropertyGet(L"LocalPolicy").OlePropertyGet(L"CurrentProfile");
  Variant OpenPort = CreateOleObject(L"HNetCfg.FWOpenPort");
  OpenPort.OlePropertySet(L"Name", Name);
  OpenPort.OlePropertySet(L"Protocol", 6);  // TCP
  OpenPort.OlePropertySet(L"Port", Port);
  OpenPort.OlePropertySet(L"Scope", 0);  // all addresses
  OpenPort.OlePropertySet(L"Enabled", true);
  Profile.OlePropertyGet(L"GloballyOpenPorts").OleProcedure(L"Add", OpenPort);
}

void TfrmQalMain::AddFirewallRules() {
  ResetProgress();
  AddToLog(LogWhite, L"Güvenlik Duvarına Portlar Ekleniyor ..");
  AddFirewallPort(L"Zelkor-PG10", 5452);
  for (Integer Port = 3001; Port <= 3006; ++Port) AddFirewallPort(L"ZELKOR-" + IntToStr(Port), Port);
  AddToLog(LogGreen, L"Güvenlik Duvarına Portlar Eklendi ..");
}

void TfrmQalMain::MakeIpStatic() {
  Application->ProcessMessages();
  AddToLog(LogWhite, L"İp sabitleniyor..");
  String Address = QalLocalAddress();
  String Description = GetAdapterDescription(Address);
  if (Address.empty() || Description.empty()) {
    AddToLog(LogRed, L"İp sabitlenemedi: yerel ip adresinin ağ bağdaştırıcısı bulunamadı");
    return;
  }
  SetStaticAddress(Description, Address, L"255.255.255.0");
  AddToLog(LogGreen, L"İp sabitlendi..");
  if (QalInternetConnected()) return;
  AddToLog(LogWhite, L"İnternet bağlantısı bekleniyor..");
  // A new address that broke the connection must not hold the run for ever.
  Cardinal Start = QalTickCount();
  while (!QalInternetConnected()) {
    if (QalTickCount() - Start >= 60000 || Application->GetTerminated()) {
      AddToLog(LogRed, L"İnternet bağlantısı kurulamadı..");
      return;
    }
    QalPause(500);
  }
}

String TfrmQalMain::GetAdapterDescription(const String& Address) {
  Variant Wmi = OleGetObject(L"winmgmts:\\\\.\\root\\cimv2");
  Variant Adapters =
      Wmi.OleFunction(L"ExecQuery", L"SELECT * FROM Win32_NetworkAdapterConfiguration", L"WQL", 0x20);
  String Description;
  for (const Variant& Adapter : TOleEnum(Adapters)) {
    const Variant Addresses = Adapter.OlePropertyGet(L"IPAddress");
    if (VarIsNull(Addresses) || !VarIsArray(Addresses)) continue;
    for (Integer I = VarArrayLowBound(Addresses, 1); I <= VarArrayHighBound(Addresses, 1); ++I)
      if (Addresses[I].AsString() == Address) Description = Adapter.OlePropertyGet(L"Description").AsString();
  }
  return Description;
}

void TfrmQalMain::SetStaticAddress(const String& Description, const String& Address, const String& Mask) {
  Variant Locator = CreateOleObject(L"WbemScripting.SWbemLocator");
  Variant Service = Locator.OleFunction(L"ConnectServer", L"localhost", L"root\\CIMV2");
  Variant Adapters = Service.OleFunction(
      L"ExecQuery", L"SELECT * FROM Win32_NetworkAdapterConfiguration Where Description=" + WqlQuoted(Description));
  TOleEnum Each(Adapters);
  if (!Each.MoveNext()) return;
  Variant Adapter = Each.Current();
  // An address that did not come from DHCP was set by someone on purpose.
  if (VarIsNull(Adapter.OlePropertyGet(L"DHCPServer"))) return;
  String Subnet = SubnetOf(Adapter, Address);
  if (Subnet.empty()) Subnet = Mask;
  Variant Gateways = Adapter.OlePropertyGet(L"DefaultIPGateway");
  Integer Result =
      Adapter.OleFunction(L"EnableStatic", StringsToVariantArray({Address}), StringsToVariantArray({Subnet})).AsInteger();
  // 0: done; 1: done, after a restart.
  if (Result != 0 && Result != 1) throw EOleError(L"İp sabitlenemedi: EnableStatic " + IntToStr(Result));
  if (!VarIsNull(Gateways)) Adapter.OleFunction(L"SetGateways", Gateways);
  // The DNS server goes to the adapter that was just made static, not to whichever comes first.
  Adapter.OleFunction(L"SetDNSServerSearchOrder", StringsToVariantArray({L"8.8.8.8"}));
}

void TfrmQalMain::SetDnsServer(const String& Dns) {
  Variant Locator = CreateOleObject(L"WbemScripting.SWbemLocator");
  Variant Service = Locator.OleFunction(L"ConnectServer", L"localhost", L"root\\CIMV2");
  Variant Adapters =
      Service.OleFunction(L"ExecQuery", L"SELECT * FROM Win32_NetworkAdapterConfiguration Where IPEnabled=True");
  for (const Variant& Adapter : TOleEnum(Adapters))
    if (Adapter.OleFunction(L"SetDNSServerSearchOrder", StringsToVariantArray({Dns})).AsInteger() == 0) break;
}

Variant StringsToVariantArray(const std::vector<String>& Strings) {
  Variant Result = VarArrayCreate({0, Integer(Strings.size()) - 1}, varOleStr);
  for (Integer I = 0; I < Integer(Strings.size()); ++I) Result[I] = Strings[size_t(I)];
  return Result;
}

String WqlQuoted(const String& Text) {
  String Result = L"\"";
  for (wchar_t C : Text) {
    if (C == L'\\' || C == L'"') Result += L'\\';
    Result += C;
  }
  return Result + L"\"";
}

void CreateShortcut(const String& Target, const String& LinkFile, const String& Description, const String& Arguments) {
  TShellLink Link;
  Link.Path = Target;
  Link.Arguments = Arguments;
  Link.Description = Description;
  SaveShellLink(Link, LinkFile);
}

void TfrmQalMain::DeleteFolder(const String& Path) {
  if (Path.empty()) return;
  String Folder = LongPath(ExcludeTrailingPathDelimiter(ExpandFileName(Path)));
  DWORD Attributes = GetFileAttributesW(Folder.c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES) return;
  // A folder that is itself a link: remove the link, keep what it points at.
  if (Attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    RemoveDirectoryW(Folder.c_str());
    return;
  }
  DeleteTree(Folder);
}


// ---- New installation and update ------------------------------------------------------------

std::vector<String> UpdateFolderSkipList = {L"..",     L"data",       L"efatura", L"eirsaliye",
                                            L"export", L"PostgreSql", L"form"};
std::vector<String> UpdateFileKeepList = {L".",        L"..",      L"zelkor.ini",   L"korvit.ini",
                                          L"branches", L"GMP.XML", L"ingenico.cfg", L"Pelmo60.cfg"};
String UpdateFormsAnswer;

namespace {

TOSVersion::TArchitecture SystemArchitecture() { return TOSVersion::Architecture; }

// The superuser's password of the product's database server and the remote-desktop tool's
// unattended-access password.
const wchar_t SuperuserPassword[] = L"tallowfin";
const wchar_t AnyDeskPassword[] = L"Velmor@2864";

const wchar_t PostgreSqlService[] = L"Zelkor-PG10";
const wchar_t LicenseService[] = L"zelkor-license-server2";
const wchar_t DatabasePort[] = L"5452";

String ProductFolderName(bool IsV6) { return IsV6 ? L"Zelkor 6.0" : L"Zelkor 5.0"; }

String Quoted(const String& Text) { return L"\"" + Text + L"\""; }

// What the log and the operator are told of an installation program that ended with Code.
String ProgramFailure(const String& FileName, Cardinal Code) {
  return ExtractFileName(FileName) + L" başarısız oldu, çıkış kodu: " + UIntToStr(Code);
}

bool OnList(const std::vector<String>& List, const String& Name) {
  for (const String& Item : List)
    if (SameFileName(Item, Name)) return true;
  return false;
}

// The entries of Folder but "." and "..", by name, so that an archive's order is the same on
// every machine.
std::vector<WIN32_FIND_DATAW> FolderEntries(const String& Folder) {
  std::vector<WIN32_FIND_DATAW> Entries;
  WIN32_FIND_DATAW Found;
  HANDLE Search = FindFirstFileW((Folder + L"\\*.*").c_str(), &Found);
  if (Search == INVALID_HANDLE_VALUE) return Entries;
  do {
    if (wcscmp(Found.cFileName, L".") != 0 && wcscmp(Found.cFileName, L"..") != 0) Entries.push_back(Found);
  } while (FindNextFileW(Search, &Found));
  FindClose(Search);
  std::sort(Entries.begin(), Entries.end(),
            [](const WIN32_FIND_DATAW& A, const WIN32_FIND_DATAW& B) { return wcscmp(A.cFileName, B.cFileName) < 0; });
  return Entries;
}

bool IsFolder(const WIN32_FIND_DATAW& Entry) { return Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY; }
// A junction or symbolic link: never followed, whatever it points at.
bool IsLink(const WIN32_FIND_DATAW& Entry) { return Entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT; }

// The picked server's address, empty when the operator cancelled. The picker and the address
// form it may open are freed at once: the next writer makes forms of the same names.
String PickServerAddress() {
  String Address;
  {
    std::unique_ptr<TfrmSunucu> Picker(TComponent::Create<TfrmSunucu>(Application));
    Picker->ServerPort = 5452;
    if (Picker->ShowModal() == mrOk && Picker->lbIp->GetItemIndex() >= 0)
      Address = Picker->lbIp->GetItems()->GetStrings(Picker->lbIp->GetItemIndex());
  }
  delete frmIp;
  return Address;
}

struct TServiceHandle {
  SC_HANDLE H = nullptr;
  ~TServiceHandle() {
    if (H) CloseServiceHandle(H);
  }
};

// The service's "ImagePath", through the service manager: written into the registry alone it
// would be read only at the next start of Windows.
void SetServiceImagePath(const String& Name, const String& ImagePath) {
  TServiceHandle Manager{OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)};
  if (!Manager.H) RaiseLastOSError();
  TServiceHandle Service{OpenServiceW(Manager.H, Name.c_str(), SERVICE_CHANGE_CONFIG)};
  if (!Service.H || !ChangeServiceConfigW(Service.H, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                          ImagePath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
    RaiseLastOSError();
}

// The 64-bit wizard's own system folder, whose cmd.exe is always there (the 32-bit one may not
// exist at all).
String GetSystemFolder() { return GetSpecialFolderPath(CSIDL_SYSTEM); }

}  // namespace

TArchitectureProc QalArchitecture = &SystemArchitecture;

String HidePasswords(const String& Message) {
  String Result = Message;
  for (const wchar_t* Password : {SuperuserPassword, AnyDeskPassword})
    Result = StringReplace(Result, Password, String(wcslen(Password), L'*'), {rfReplaceAll});
  return Result;
}

void TfrmQalMain::InstallOrUpdate(bool IsV6) {
  if (FRunning) return;
  if (rgKurulumTipi->GetItemIndex() == 0) RunNewInstallation(IsV6);
  else if (rgKurulumTipi->GetItemIndex() == 1) RunUpdate(IsV6);
}

void TfrmQalMain::RunNewInstallation(bool IsV6) {
  const Integer Terminal = rgTerminalTipi->GetItemIndex();
  if (Terminal != 0 && Terminal != 1) return;
  const String P = Trim(txPath->GetText());
  const String N = ProductFolderName(IsV6);
  const String F = P + L"\\" + N;
  if (DirectoryExists(F) || FileExists(F)) {
    MessageDlg(N + L" klasörü zaten mevcut yeni kurulum yapılamaz!", mtWarning, TMsgDlgButtons{mbOK});
    return;
  }
  if (QalArchitecture() == TOSVersion::arIntelX86 &&
      MessageDlg(String(L"İşletim sistemi mimarisi 32 bit olduğundan dolayı veritabanı sunucusu kurulmayacak") + L"\r" +
                     L"Devam etmek istiyor musunuz?",
                 mtConfirmation, mbYesNo) != mrYes)
    return;
  FRunning = true;
  FRunFolder = P;
  DisableInputs();
  ResetProgress();
  FLastingChange = false;
  try {
    if (Terminal == 0) {
      AddToLog(LogWhite, L"Sunucu kurulum işlemleri başladı...");
      DownloadAndExtract(F, true, N + L".zip");
      if (IsV6) WritePelmo60Cfg();
      else WriteKorvitIni();
      AddFirewallRules();
      if (chServer->GetChecked() && QalArchitecture() == TOSVersion::arIntelX64) {
        DownloadAndExtract(F, false, L"diger/postgresql.zip");
        FLastingChange = true;
        InstallPostgreSql();
      }
      if (!IsV6) SetupHalvex();
      else if (chDbDemo->GetChecked() && rgSector->GetItemIndex() >= 0) CreateDemoDatabases();
      FLastingChange = true;
      InstallLicenseService();
    } else {
      if (TMessageBox::Show(L"Uyarı",
                            L"İstemci kurulumuna başlamadan önce sunucu kurulumunun tamamlandığından ve "
                            L"veritabanı sunucusunun çalışır halde olduğundan<br>emin olunuz, şimdi istemci "
                            L"kurulumuna devam etmek istiyor musunuz?") != mrYes) {
        FRunning = false;
        EnableInputs();
        return;
      }
      AddToLog(LogWhite, L"İstemci kurulum işlemleri başladı...");
      DownloadAndExtract(F, true, N + L".zip");
      if (IsV6) WritePelmo60Cfg();
      else WriteKorvitIni();
    }
    if (chAnyDesk->GetChecked()) {
      try {
        InstallAnyDesk(N);
      } catch (const Exception& E) {
        AddToLog(LogRed, L"AnyDesk kurulumu atlandı: " + E.Message());
      }
    }
    if (chFramework->GetChecked()) InstallDotNetFramework();
    if (chStatikIp->GetChecked()) MakeIpStatic();
    if (IsV6) {
      CreateShortcut(F + L"\\Dovrik101.exe", GetDesktopFolder() + L"\\Dovrik 10.1.lnk", L"", L"");
    } else {
      std::unique_ptr<TfrmVersion> Sector(TComponent::Create<TfrmVersion>(this));
      Sector->ShowModal();
    }
    Application->ProcessMessages();
    ShowMessage(L"Kurulumu Tamamlandı...");
    AddToLog(LogWhite, L"Kurulumu Tamamlandı...");
  } catch (...) {
    std::exception_ptr Error = std::current_exception();
    AddToLog(LogRed, L"Kurulum tamamlanamadı: " + MessageOf(Error));
    if (!FLastingChange && (DirectoryExists(F) || FileExists(F))) {
      AddToLog(LogWhite, L"Yarım kalan " + N + L" klasörü temizleniyor...");
      try {
        DeleteFolder(F);
      } catch (...) {
      }
    } else if (FLastingChange) {
      AddToLog(LogRed, L"Sistemde kalıcı değişiklik yapıldığı için " + F +
                           L" klasörü silinmedi. Tekrar denemeden önce elle temizlenmelidir.");
    }
    ResetProgress();
    FRunning = false;
    EnableInputs();
    throw;
  }
  FRunning = false;
  EnableInputs();
  Close();
}

void TfrmQalMain::WriteKorvitIni() {
  TIniFile Ini(GetRunFolder() + L"\\Zelkor 5.0\\Korvit.ini");
  if (rgTerminalTipi->GetItemIndex() == 0) {
    Ini.WriteString(L"Zelkor50", L"Server", L"localhost");
  } else {
    String Address = PickServerAddress();
    if (!Address.empty()) Ini.WriteString(L"Zelkor50", L"Server", Address);
  }
  Ini.WriteString(L"Zelkor50", L"Port", DatabasePort);
  if (chDbDemo->GetChecked()) Ini.WriteString(L"DemoData", L"Active", L"1");
}

void TfrmQalMain::WritePelmo60Cfg() {
  TIniFile Ini(GetRunFolder() + L"\\Zelkor 6.0\\Pelmo60.cfg");
  if (rgTerminalTipi->GetItemIndex() == 0) {
    Ini.WriteString(L"Database", L"DBServer", L"localhost");
  } else {
    String Address = PickServerAddress();
    if (!Address.empty()) Ini.WriteString(L"Database", L"DBServer", Address);
  }
  Ini.WriteString(L"Database", L"DBPort", DatabasePort);
}

void TfrmQalMain::InstallPostgreSql() {
  if (GetServiceState(L"", PostgreSqlService) != 0) return;
  ResetProgress();
  const String F = GetRunFolder() + L"\\" + ProductFolderName(rgVersiyon->GetItemIndex() == 1);
  const String Bin = F + L"\\Postgresql\\bin\\";
  const String Data = Quoted(F + L"\\Postgresql\\data");
  Application->ProcessMessages();
  AddToLog(LogWhite, L"PostgreSQL hizmeti kuruluyor ..");
  // A program that failed does not stop the next ones (the runtime may be there already):
  // whether the server came up is checked once it was started.
  bool Failed = false;
  auto Run = [&](const String& FileName, const String& Parameters, const String& Folder,
                 std::initializer_list<Cardinal> AlsoGood = {}) {
    Cardinal Code = 0;
    if (!RunAndWait(FileName, Parameters, 0, Folder, &Code)) {
      Failed = true;  // its red line is written
    } else if (Code != 0 && std::find(AlsoGood.begin(), AlsoGood.end(), Code) == AlsoGood.end()) {
      AddToLog(LogRed, ProgramFailure(FileName, Code));
      Failed = true;
    }
  };
  // The runtime's installer also ends well with "a newer version is installed" and "restart needed".
  Run(L"vcredist_x64", L"/Q", F + L"\\PostgreSql\\installer\\", {1638, 3010});
  Run(L"initdb", L"-D " + Data + L" -E \"UTF8\" --locale=\"tr_TR\" -c port=5452", Bin);
  Run(L"pg_ctl", L"register -N \"Zelkor-PG10\" -D " + Data + L" -w", Bin);
  Run(L"net", String(L"start ") + PostgreSqlService, GetSystemX86Folder());
  Integer State = GetServiceState(L"", PostgreSqlService);
  const Cardinal Start = QalTickCount();
  while (State == SERVICE_START_PENDING && QalTickCount() - Start < 60000 && !Application->GetTerminated()) {
    QalPause(500);
    State = GetServiceState(L"", PostgreSqlService);
  }
  // Without its database server the product cannot work: the installation must not end as if it could.
  if (State != SERVICE_RUNNING) throw Exception(String(L"PostgreSQL hizmeti başlatılamadı: ") + PostgreSqlService);
  Run(L"psql",
      String(L"-p 5452 -d postgres -c  \"CREATE ROLE postgres WITH LOGIN SUPERUSER CREATEDB CREATEROLE INHERIT "
             L"REPLICATION CONNECTION LIMIT -1 PASSWORD '") +
          SuperuserPassword + L"'\";",
      Bin);
  if (!Failed) AddToLog(LogGreen, L"PostgreSQL hizmeti kuruldu ..");
  {
    TRegistry Registry;
    Registry.SetRootKey(HKEY_LOCAL_MACHINE);
    if (Registry.OpenKey(String(ServicesKey) + PostgreSqlService, false)) {
      Registry.WriteString(L"DisplayName", L"Zelkor PostgreSQL veritabanı Sunucusu");
      Registry.WriteString(L"Description", L"Zelkor PostgreSQL Port 5452");
    }
  }
  Application->ProcessMessages();
}

void TfrmQalMain::CreateDemoDatabases() {
  if (!chDbDemo->GetChecked() || rgSector->GetItemIndex() < 0) return;
  const String Sector = rgSector->GetItemIndex() == 0 ? L"market" : L"restoran";
  const String F = GetRunFolder() + L"\\Zelkor 6.0";
  const String Backups = F + L"\\demodata\\" + Sector;
  const wchar_t* const Databases[] = {L"zelkor6_001", L"zelkor6_sistem"};
  for (const wchar_t* Database : Databases) {
    const String Backup = Backups + L"\\" + Database + L".backup";
    if (!FileExists(Backup)) {
      AddToLog(LogRed, L"Demo veritabanı yedeği bulunamadı: " + Backup);
      return;
    }
  }
  ResetProgress();
  Application->ProcessMessages();
  AddToLog(LogWhite, Sector + L" sektörü için demo veritabanları oluşturuluyor...");
  const String Bin = F + L"\\Postgresql\\bin\\";
  // A step that failed ends the demo data here: a restore into a database that is not there, or
  // over half a restore, would only fail again.
  auto Run = [&](const String& FileName, const String& Parameters) {
    Cardinal Code = 0;
    if (!RunAndWait(FileName, Parameters, 0, Bin, &Code)) throw Exception(FileName + L" çalıştırılamadı");
    if (Code != 0) throw Exception(ProgramFailure(FileName, Code));
  };
  try {
    for (const wchar_t* Database : Databases) {
      const String Name = Database;
      AddToLog(LogWhite, Name + L" veritabanı oluşturuluyor...");
      Run(L"psql", L"-p 5452 -d postgres -c \"CREATE DATABASE " + Name + L" WITH OWNER = postgres ENCODING = 'UTF8';\"");
      AddToLog(LogWhite, Name + L" veritabanı geri yükleniyor...");
      Run(L"pg_restore", L"-p 5452 -d " + Name + L" -v " + Quoted(Backups + L"\\" + Name + L".backup"));
      AddToLog(LogGreen, Name + L" veritabanı geri yüklendi...");
    }
    AddToLog(LogGreen, L"Demo veritabanları başarıyla oluşturuldu ve geri yüklendi...");
  } catch (const Exception& E) {
    AddToLog(LogRed, L"Demo veritabanı geri yükleme hatası: " + E.Message());
  }
  Application->ProcessMessages();
}

void TfrmQalMain::InstallLicenseService() {
  ResetProgress();
  try {
    AddToLog(LogWhite, L"Lisans hizmeti kuruluyor ..");
    const String P = GetRunFolder();
    const String Folder = rgKurulumTipi->GetItemIndex() == 1
                              ? P + L"\\lisans\\"
                              : P + L"\\" + ProductFolderName(rgVersiyon->GetItemIndex() == 1) + L"\\lisans\\";
    if (GetServiceState(L"", LicenseService) == 0) {
      RunAndWait(Folder + L"license-server.exe", L"/install", 10000, Folder);
      RunNet(String(L"start ") + LicenseService);
    }
    AddFirewallPort(L"ZELKOR-LICENSE-SERVICE", 7820);
    AddToLog(LogGreen, L"Lisans hizmeti kuruldu ..");
  } catch (...) {
    Application->ProcessMessages();
    throw;
  }
  Application->ProcessMessages();
}

void TfrmQalMain::SetupHalvex() {
  ResetProgress();
  try {
    {
      TRegistry Registry;
      Registry.SetRootKey(HKEY_LOCAL_MACHINE);
      if (!Registry.OpenKey(L"SOFTWARE\\Policies\\Microsoft\\Windows\\CertProp", true))
        throw ERegistryException(L"Failed to create key SOFTWARE\\Policies\\Microsoft\\Windows\\CertProp");
      Registry.WriteInteger(L"CertPropEnabled", 0);
    }
    const String P = GetRunFolder();
    if (ServiceKeyExists(L"Halvex20")) {
      AddToLog(LogWhite, L"Halvex hizmeti yolu güncelleniyor ..");
      const String Exe = P.ends_with(L"Zelkor 5.0") ? P + L"\\HalvexSrv20.exe" : P + L"\\Zelkor 5.0\\HalvexSrv20.exe";
      SetServiceImagePath(L"Halvex20", Quoted(Exe));
      if (GetServiceState(L"", L"HalvexGuardian20") != 0) RunNet(L"start HalvexGuardian20");
      RunNet(L"start Halvex20");
      AddToLog(LogGreen, L"Halvex hizmeti yolu güncellendi ..");
    } else if (rgKurulumTipi->GetItemIndex() == 1) {
      AddToLog(LogWhite, L"Halvex hizmeti kurulu değil, kurulum atlandı..");
    } else {
      AddToLog(LogWhite, L"Halvex hizmeti kuruluyor ..");
      RunAndWait(L"HalvexSrv20.exe", L"/install /Silent", 10000, P + L"\\Zelkor 5.0\\");
      RunNet(L"start Halvex20");
      Application->ProcessMessages();
      AddToLog(LogGreen, L"Halvex hizmeti kuruldu ..");
    }
  } catch (const Exception& E) {
    AddToLog(LogRed, L"Halvex hizmeti kurulamadı/güncellenemedi: " + E.Message());
  }
  Application->ProcessMessages();
}

void TfrmQalMain::InstallDotNetFramework() {
  const String Folder = IncludeTrailingPathDelimiter(GetRunFolder());
  DownloadAndExtract(Folder, true, L"diger/ndp461.zip");
  AddToLog(LogWhite, L"NetFramework kuruluyor ..");
  // Started directly, not through cmd.exe, whose quoting breaks on a folder with "(" or "&".
  try {
    ShellExecuteProcess(NativeUInt(Application->GetHandle()), L"open", Folder + L"ndp461.exe",
                        L"/passive /showrmui /norestart", Folder, SW_HIDE);
  } catch (const Exception& E) {
    auto* OS = dynamic_cast<const EOSError*>(&E);
    AddToLog(LogRed, L"NetFramework kurulamadı: " + (OS ? SysErrorMessage(OS->ErrorCode) : E.Message()));
    return;
  }
  AddToLog(LogGreen, L"NetFramework kuruldu ..");
}

void TfrmQalMain::InstallAnyDesk(const String& FolderName) {
  const String Folder = GetRunFolder() + L"\\" + FolderName + L"\\";
  Application->ProcessMessages();
  DownloadAndExtract(ExcludeTrailingPathDelimiter(Folder), true, L"AnyDesk.zip");
  AddToLog(LogWhite, L"AnyDesk kuruluyor ..");
  RunAndWait(L"AnyDesk.exe",
             L"--install " + Quoted(GetProgramFilesFolder()) + L" --create-desktop-icon --silent --update-auto", 0,
             Folder);
  RunAndWait(GetSystemFolder() + L"\\cmd.exe", String(L"/C echo ") + AnyDeskPassword + L" | anydesk.exe --set-password",
             0, Folder);
  if (!DeleteFile(Folder + L"AnyDesk.exe")) RaiseLastOSError();
  AddToLog(LogGreen, L"AnyDesk kuruldu ..");
  Application->ProcessMessages();
}

void TfrmQalMain::RunUpdate(bool IsV6) {
  const String N = ProductFolderName(IsV6);
  const String P = Trim(txPath->GetText());
  // A folder that is not there is no installation to update either: nothing may be made there.
  if (!P.ends_with(N) || !DirectoryExists(P)) {
    ShowMessage(L"Lütfen Zelkor klasörünü Seçiniz" + String(L"\r") + L"Klasörün adı \"" + N +
                L"\" olduğundan emin olunuz..");
    return;
  }
  if (MessageDlg(
          String(L"Güncelleme işlemi için açık olan Zelkor") + L"\r" + L"yazılımları kapatılcak onaylıyor musunuz?",
          mtWarning, mbYesNo) != mrYes)
    return;
  FRunning = true;
  FRunFolder = P;
  DisableInputs();
  ResetProgress();
  // Every way out of the run enables the inputs again.
  struct TRunEnd {
    TfrmQalMain* Form;
    ~TRunEnd() {
      if (!Form->FRunning) return;
      Form->FRunning = false;
      Form->EnableInputs();
    }
  } RunEnd{this};
  AddToLog(LogWhite, L"Güncelleme işlemleri başladı...");
  AddToLog(LogWhite, L"Zelkor programları kapatılıyor...");
  CloseProgramProcesses();
  AddToLog(LogGreen, L"Zelkor programları kapatıldı...");
  // The REST service is version 5.0's: a 6.0 update would leave it stopped, as nothing starts it again.
  if (!IsV6) StopHalvexServices();
  StopBackupServices();
  StopPostgreSqlServices();
  if (!IsV6) RunNet(L"stop Dremsa");
  RunNet(String(L"stop ") + LicenseService);
  Application->ProcessMessages();

  const String Backup = P + FormatDateTime(L"yyyymmddhhnnss", QalClock()) + L".zip";
  const String Staging = P + L"Update";
  FCopyFailures = 0;
  std::exception_ptr Error;
  try {
    AddToLog(LogWhite, L"Mevcut olan Zelkor sürümü sıkıştırılarak yedekleniyor...");
    BackupFolderToZip(Backup, P);
    AddToLog(LogGreen, L"Mevcut olan Zelkor sürümü sıkıştırılıp eklendi...");
    // What an earlier failed update left there must not be copied as if the package held it.
    DeleteFolder(Staging);
    DownloadAndExtract(Staging, true, N + L".zip");
    if (!IsV6) {
      String Answer;
      do {
        if (Application->GetTerminated()) Abort();
        TInputBox::Show(L"Uyarı",
                        L"Size özel tasarlanmış formlar yenisi ile değiştirilecek, özel form tasarımlarını "
                        L"kaybedeceksiniz onaylıyorsanız büyük harfler ile <font color=\"#F36638\"><b>\"EVET\"</b>"
                        L"</font>, onaylamıyorsanız <font color=\"#F36638\"><b>\"HAYIR\"</b></font> yazarak tamama "
                        L"tıklayınız..",
                        Answer, L"");
      } while (Answer != L"EVET" && Answer != L"HAYIR");
      UpdateFormsAnswer = Answer;
      if (Answer == L"EVET")
        std::erase_if(UpdateFolderSkipList, [](const String& Name) { return SameFileName(Name, L"form"); });
    }
    AddToLog(LogWhite, L"Mevcut olan dosyalar güncelleniyor...");
    CopyFolderTree(Staging, P);
    if (FCopyFailures == 0) AddToLog(LogGreen, L"Mevcut olan dosyalar güncellendi...");
    else AddToLog(LogRed, IntToStr(FCopyFailures) + L" dosya güncellenemedi, yedek: " + Backup);
    DeleteFolder(Staging);
    InstallLicenseService();
  } catch (...) {
    Error = std::current_exception();
  }
  ResetProgress();
  StartPostgreSqlServices();
  RunNet(String(L"start ") + LicenseService);
  if (!IsV6) RunNet(L"start Dremsa");
  AddToLog(LogGreen, L"PostgreSQL hizmetleri başlatıldı...");
  if (Error) std::rethrow_exception(Error);
  Application->ProcessMessages();
  StartBackupServices();
  if (!IsV6) {
    AddToLog(LogWhite, L"Halvex hizmetleri başlatılıyor...");
    SetupHalvex();
    AddToLog(LogGreen, L"Halvex hizmetleri başlatıldı ..");
  }
  if (FCopyFailures != 0) {
    // The operator must see which files stayed old: the form stays open with its log.
    MessageDlg(L"Güncelleme tamamlanamadı: " + IntToStr(FCopyFailures) + L" dosya güncellenemedi." + L"\r" +
                   L"Yedek: " + Backup,
               mtWarning, TMsgDlgButtons{mbOK});
    Application->ProcessMessages();
    return;
  }
  ShowMessage(L"Mevcut olan dosyalar güncellendi...");
  Application->ProcessMessages();
  FRunning = false;
  EnableInputs();
  Close();
}

void TfrmQalMain::ShowFileProgress(const String& Name, Int64 Done, Int64 Size) {
  const Cardinal Now = GetTickCount();
  if (Done > 0 && Done < Size && Now - FProgressShown < 50) return;
  FProgressShown = Now;
  if (ProgressBar1->GetStyle() != pbstNormal) ProgressBar1->SetStyle(pbstNormal);
  if (ProgressBar1->GetMax() != 1000) ProgressBar1->SetMax(1000);
  ProgressBar1->SetPosition(Size > 0 ? Integer(std::min(Done, Size) * 1000 / Size) : 0);
  if (lbStatus->GetCaption() != Name) lbStatus->SetCaption(Name);
  Application->ProcessMessages();
}

void TfrmQalMain::ResetProgress() {
  ProgressBar1->SetStyle(pbstNormal);
  ProgressBar1->SetPosition(0);
  lbStatus->SetCaption(L"");
}

void TfrmQalMain::BackupFolderToZip(const String& ZipFileName, const String& Folder) {
  ResetProgress();
  TZipFile Zip;
  // A large file is written in blocks: the window answers and the bar moves meanwhile.
  Zip.SetOnProgress([this](TObject*, const String& Name, const TZipHeader& Header, Int64 Position) {
    ShowFileProgress(Name, Position, Int64(Header.UncompressedSize));
  });
  Zip.Open(ZipFileName, zmWrite);
  for (const WIN32_FIND_DATAW& Entry : FolderEntries(Folder)) {
    const String Name = Entry.cFileName;
    const String Full = Folder + L"\\" + Name;
    if (IsFolder(Entry)) {
      if (IsLink(Entry)) continue;
      // The update never writes into these two (they are on the skip list): only their templates
      // are kept. Every other folder, "eadisyon" too, may be overwritten and is kept whole.
      if (SameFileName(Name, L"eirsaliye") || SameFileName(Name, L"efatura")) {
        if (DirectoryExists(Full + L"\\sablon")) AddFolderToZip(Zip, Full + L"\\sablon", Name + L"/sablon");
      } else {
        AddFolderToZip(Zip, Full, Name);
      }
    } else {
      Zip.Add(Full, Name, zcStored);
      lbStatus->SetCaption(Name);
      Application->ProcessMessages();
    }
  }
  Zip.Close();
}

void TfrmQalMain::AddFolderToZip(TZipFile& Zip, const String& Folder, const String& Prefix) {
  for (const WIN32_FIND_DATAW& Entry : FolderEntries(Folder)) {
    const String Name = Prefix + L"/" + Entry.cFileName;
    const String Full = Folder + L"\\" + Entry.cFileName;
    if (IsFolder(Entry)) {
      if (!IsLink(Entry)) AddFolderToZip(Zip, Full, Name);
    } else {
      Zip.Add(Full, Name, zcStored);
      lbStatus->SetCaption(Name);
      Application->ProcessMessages();
    }
  }
}

namespace {

struct QalCopyProgress {
  TfrmQalMain* Form;
  String Name;
};

// A large file is copied in slices: the window answers and the bar moves meanwhile.
DWORD CALLBACK QalCopyProgressRoutine(LARGE_INTEGER Total, LARGE_INTEGER Done, LARGE_INTEGER, LARGE_INTEGER, DWORD,
                                   DWORD, HANDLE, HANDLE, LPVOID Data) {
  auto* Progress = static_cast<QalCopyProgress*>(Data);
  Progress->Form->ShowFileProgress(Progress->Name, Done.QuadPart, Total.QuadPart);
  return PROGRESS_CONTINUE;
}

}  // namespace

void TfrmQalMain::CopyFolderTree(const String& Source, const String& Target) {
  for (const WIN32_FIND_DATAW& Entry : FolderEntries(Source))
    if (IsFolder(Entry) && !IsLink(Entry) && !OnList(UpdateFolderSkipList, Entry.cFileName))
      CopyFolderTree(Source + L"\\" + Entry.cFileName, Target + L"\\" + Entry.cFileName);
  CopyFolderFiles(Source, Target);
}

void TfrmQalMain::CopyFolderFiles(const String& Source, const String& Target) {
  for (const WIN32_FIND_DATAW& Entry : FolderEntries(Source)) {
    if (IsFolder(Entry) || (Entry.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) continue;
    const String Name = Entry.cFileName;
    if (OnList(UpdateFileKeepList, Name)) continue;
    if (!DirectoryExists(Target)) ForceDirectories(Target);
    QalCopyProgress Progress{this, Name};
    if (!CopyFileExW((Source + L"\\" + Name).c_str(), (Target + L"\\" + Name).c_str(), &QalCopyProgressRoutine,
                     &Progress, nullptr, 0)) {
      AddToLog(LogRed, L"Dosya güncellenemedi: " + Name + L" - " + SysErrorMessage(GetLastError()));
      ++FCopyFailures;
    }
    Application->ProcessMessages();
  }
}
