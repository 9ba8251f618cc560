#include "installer/QalMain.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <wininet.h>

#include "framework/Dialogs.h"
#include "framework/SysUtils.h"
#include "htmllabel/MarkupLabel.h"
#include "installer/InputBoxU.h"
#include "installer/MessageBoxU.h"

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
// The vendor's own server: the route the wizard's downloads take is the one that counts.
String QalLocalIPHost = L"indir.example.com";

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

bool IsSelfUpdateLeftover(const String& Argument, const String& ExeName) {
  if (Argument.empty()) return false;
  String Folder = ExtractFilePath(ExpandFileName(ExeName));
  String Full = ExpandFileName(IsRelativePath(Argument) ? Folder + Argument : Argument);
  return SameFileName(ExtractFilePath(Full), Folder) && SameFileName(ExtractFileName(Full), L"123.exe");
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
  METHOD(txPathKeyDown);
  METHOD(cmdQalClick);
  METHOD(cmdVazgecClick);
}

void RegisterQalClasses() {
  RegisterStdControls();
  RegisterExtControls();
  RegisterComControls();
  RegisterMenus();
  RegisterClasses({TNetHTTPClient::StaticClass(), TfrmQalMain::StaticClass(), TMessageBox::StaticClass(),
                   TInputBox::StaticClass(), TMarkupLabel::StaticClass()});
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
  txPath = Bind<TEdit>(L"txPath");
  txPathButton = Bind<TButton>(L"txPathButton");
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
  // On an unsupported Windows nothing more may run: the program ends when the loop takes over.
  if (!CheckWindowsVersion()) return;
  TWindowsVersion V = QalWindowsVersion();
  String System = TOSVersion::Name;
  if (V.ServicePackMajor != 0)
    System += L" (SP" + IntToStr(V.ServicePackMajor) + L"." + IntToStr(V.ServicePackMinor) + L")";
  TStatusPanels* Panels = StatusBar1->GetPanels();
  Panels->GetItem(0)->SetText(L"Yerel IP: " + GetLocalIP());
  Panels->GetItem(1)->SetText(System);
  Panels->GetItem(2)->SetText(L"Sürüm " + FloatToStr(QalVersion, TFormatSettings::Invariant()));
  DisableInputs();
  Timer1Timer(Timer1);
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
  if (ParamCount() >= 1) {
    String Old = ParamStr(1);
    if (IsSelfUpdateLeftover(Old, ParamStr(0)) && FileExists(Old)) {
      // The old process may still be closing: give it a few seconds to let the file go.
      String Path = ExpandFileName(Old);
      DWORD Deadline = GetTickCount() + 10000;
      while (!DeleteFile(Path) && FileExists(Path)) {
        if (GetTickCount() > Deadline) {
          AddToLog(LogRed, L"Eski Qal.exe silinemedi: " + SysErrorMessage(GetLastError()));
          break;
        }
        Application->ProcessMessages();
        Sleep(100);
      }
    }
  }
  if (!QalInternetConnected()) {
    MessageDlg(String(L"Zelkor sunucusuna erişim sağlanamadı, internet bağlatınızın") + L"\r" +
                   L"olduğundan emin olunuz. Qal işleme devam edemiyor şimdi kapatılacak.",
               mtWarning, TMsgDlgButtons{mbOK});
    Application->Terminate();
    return;
  }
  CheckForUpdate(L"diger/Qal.exe");
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
  addrinfoW Hints{};
  Hints.ai_family = AF_INET;
  Hints.ai_socktype = SOCK_STREAM;
  Hints.ai_protocol = IPPROTO_TCP;
  addrinfoW* Found = nullptr;
  if (GetAddrInfoW(QalLocalIPHost.c_str(), L"80", &Hints, &Found) != 0 || !Found) return L"";
  String Result;
  TSocketHolder Socket;
  for (addrinfoW* A = Found; A; A = A->ai_next) {
    if (A->ai_family != AF_INET) continue;
    if (Socket.S == INVALID_SOCKET) Socket.S = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
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

void TfrmQalMain::txPathEditButtons0Click(TObject*) {
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

void TfrmQalMain::txPathKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  if (Key == VK_F2 && Shift.Empty()) {
    Key = 0;
    txPathEditButtons0Click(Sender);
  }
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

void TfrmQalMain::CheckForUpdate(const String&) {}

void TfrmQalMain::InstallOrUpdate(bool) {
  if (FRunning) return;
  FRunning = true;
  DisableInputs();
  // The installation and update steps run here, each reporting through AddToLog.
  FRunning = false;
  EnableInputs();
}
