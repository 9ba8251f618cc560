#include "installer/QalMain.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <wininet.h>

#include "framework/ComObj.h"
#include "framework/Dialogs.h"
#include "framework/NetEncoding.h"
#include "framework/SysUtils.h"
#include "framework/WinShell.h"
#include "framework/Zip.h"
#include "htmllabel/MarkupLabel.h"
#include "installer/DownloadHost.h"
#include "installer/InputBoxU.h"
#include "installer/MessageBoxU.h"
#include "installer/StandInCtrls.h"
#include "installer/Version.h"
#include "installer/Wait.h"

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

bool IsRelativePath(const String& Path) {
  if (Path.size() >= 2 && Path[1] == L':') return false;
  return Path.empty() || (Path[0] != L'\\' && Path[0] != L'/');
}

}  // namespace

TClockProc QalClock = &Now;
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

String GetDesktopFolder() {
  wchar_t Path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, Path))) return L"";
  return Path;
}

void CreateShortcut(const String& Target, const String& LinkFile, const String& Description,
                    const String& Arguments) {
  IShellLinkW* Link = nullptr;
  OleCheck(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                            reinterpret_cast<void**>(&Link)));
  IPersistFile* File = nullptr;
  HRESULT Result = Link->SetArguments(Arguments.c_str());
  if (SUCCEEDED(Result)) Result = Link->SetDescription(Description.c_str());
  if (SUCCEEDED(Result)) Result = Link->SetPath(Target.c_str());
  if (SUCCEEDED(Result)) Result = Link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&File));
  if (SUCCEEDED(Result)) Result = File->Save(LinkFile.c_str(), FALSE);
  if (File) File->Release();
  Link->Release();
  OleCheck(Result);
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
  RegisterStandInControls();
  RegisterClasses({TNetHTTPClient::StaticClass(), TfrmQalMain::StaticClass(), TMessageBox::StaticClass(),
                   TInputBox::StaticClass(), TMarkupLabel::StaticClass(), TfrmWait::StaticClass(),
                   TfrmVersion::StaticClass()});
}

TfrmQalMain::TfrmQalMain(TComponent* AOwner) : TForm(AOwner) {}
TfrmQalMain::~TfrmQalMain() = default;

template <class T>
T* TfrmQalMain::Bind(const wchar_t* Name) {
  auto* C = dynamic_cast<T*>(FindComponent(Name));
  if (!C) throw Exception(String(L"The form resource has no ") + Name);
  return C;
}

void TfrmQalMain::Loaded() {
  inherited::Loaded();
  rgVersiyon = Bind<TRadioGroup>(L"rgVersiyon");
  rgKurulumTipi = Bind<TRadioGroup>(L"rgKurulumTipi");
  rgTerminalTipi = Bind<TRadioGroup>(L"rgTerminalTipi");
  gbKonum = Bind<TGroupBox>(L"gbKonum");
  txPath = Bind<TStandInButtonEdit>(L"txPath");
  GroupBox2 = Bind<TGroupBox>(L"GroupBox2");
  chServer = Bind<TCheckBox>(L"chServer");
  chDbDemo = Bind<TCheckBox>(L"chDbDemo");
  chFramework = Bind<TCheckBox>(L"chFramework");
  chAnyDesk = Bind<TCheckBox>(L"chAnyDesk");
  chStatikIp = Bind<TCheckBox>(L"chStatikIp");
  rgSector = Bind<TRadioGroup>(L"rgSector");
  lbStatus = Bind<TLabel>(L"lbStatus");
  ProgressBar1 = Bind<TProgressBar>(L"ProgressBar1");
  Memo1 = Bind<TRichEdit>(L"Memo1");
  cmdQal = Bind<TButton>(L"cmdQal");
  cmdVazgec = Bind<TButton>(L"cmdVazgec");
  StatusBar1 = Bind<TStatusBar>(L"StatusBar1");
  Timer1 = Bind<TTimer>(L"Timer1");
  NetHTTPClient1 = Bind<TNetHTTPClient>(L"NetHTTPClient1");
  MainMenu1 = Bind<TMainMenu>(L"MainMenu1");
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

void TfrmQalMain::EnableInputs() {
  for (TControl* C : std::initializer_list<TControl*>{rgKurulumTipi, rgTerminalTipi, rgVersiyon, GroupBox2, cmdQal,
                                                      cmdVazgec})
    C->SetEnabled(true);
  Application->ProcessMessages();
}

void TfrmQalMain::DisableInputs() {
  for (TControl* C : std::initializer_list<TControl*>{rgKurulumTipi, rgTerminalTipi, rgVersiyon, GroupBox2, cmdQal,
                                                      cmdVazgec})
    C->SetEnabled(false);
  Application->ProcessMessages();
}

void TfrmQalMain::AddToLog(TColor AColor, const String& AMessage) {
  String Line = FormatLogLine(QalClock(), AMessage);
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
  if (SelectDirectory(L"Klasör Seçiniz:", L"", Folder)) SetChosenFolder(Folder);
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

void TfrmQalMain::InstallOrUpdate(bool) {
  if (FRunning) return;
  FRunning = true;
  DisableInputs();
  // The installation and update steps run here, each reporting through AddToLog.
  FRunning = false;
  EnableInputs();
}

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
  if (CreateFolder) ForceDirectories(TargetFolder);
  lbStatus->SetCaption(RemotePath + L" indiriliyor...");
  AddToLog(LogWhite, RemotePath + L" indiriliyor...");
  auto Failed = [&](const String& Message) {
    if (FileExists(LocalFile)) DeleteFile(LocalFile);
    AddToLog(LogRed, RemotePath + L" başarısız: " + Message);
  };
  try {
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
    IHTTPResponsePtr Version = NetHTTPClient1->Get(BuildDownloadUrl(L"diger/qal.txt"));
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
          } catch (const Exception& E) {
            AddToLog(LogRed, E.Message() + L" Güncelleme iptal edildi.");
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
  } catch (const Exception& E) {
    AddToLog(LogRed, L"Güncelleme kontrolü yapılamadı: " + E.Message());
  }
  HideWaitForm();
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
