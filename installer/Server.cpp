#include "installer/Server.h"

#include "framework/Dialogs.h"
#include "framework/IdTCPClient.h"
#include "framework/SysUtils.h"
#include "installer/QalMain.h"
#include "installer/ServerIp.h"

bool ServerScanStopped = false;

PUBLISHED_DEF(TfrmSunucu) {
  METHOD(FormShow);
  METHOD(Timer1Timer);
  METHOD(cmdSecClick);
  METHOD(cmdVazgecClick);
}

String ScanPrefix(const String& Address) {
  std::vector<String> Parts;
  size_t Start = 0;
  for (;;) {
    size_t Dot = Address.find(L'.', Start);
    Parts.push_back(Address.substr(Start, Dot == String::npos ? String::npos : Dot - Start));
    if (Dot == String::npos) break;
    Start = Dot + 1;
  }
  if (Parts.size() != 4) return String();
  for (const String& P : Parts) {
    if (P.empty() || P.size() > 3 || P.find_first_not_of(L"0123456789") != String::npos || StrToInt(P) > 255)
      return String();
  }
  return Parts[0] + L"." + Parts[1] + L"." + Parts[2] + L".";
}

void TfrmSunucu::Loaded() {
  inherited::Loaded();
  Panel1 = RequireComponent<TPanel>(this, L"Panel1");
  lbIp = RequireComponent<TListBox>(this, L"lbIp");
  progressIp = RequireComponent<TProgressBar>(this, L"progressIp");
  Panel3 = RequireComponent<TPanel>(this, L"Panel3");
  cmdSec = RequireComponent<TButton>(this, L"cmdSec");
  cmdVazgec = RequireComponent<TButton>(this, L"cmdVazgec");
  Timer1 = RequireComponent<TTimer>(this, L"Timer1");
  // The framework's form streams carry no padding: the inner margin is set here.
  GetPadding()->SetMargins(4, 4, 4, 4);
}

void TfrmSunucu::FormShow(TObject*) {
  cmdSec->SetEnabled(false);
  cmdVazgec->SetEnabled(false);
  SetCaption(Application->GetTitle());
  // The scan starts once the form is on the screen.
  Timer1->SetEnabled(true);
}

void TfrmSunucu::Timer1Timer(TObject*) {
  Timer1->SetEnabled(false);
  ScanServers(ServerPort, lbIp, progressIp);
  // A picker closed during its scan asks nothing more.
  if (lbIp->GetCount() == 0 && GetModalResult() == mrNone && !Application->GetTerminated()) {
    // The address form of an earlier picker is of no more use, and its name is taken.
    delete frmIp;
    frmIp = TComponent::Create<TfrmIp>(Application);
    frmIp->ServerPort = ServerPort;
    frmIp->ServerList = lbIp;
    TModalResult Answer = frmIp->ShowModal();
    frmIp->ServerList = nullptr;
    if (Answer == mrOk && lbIp->GetCount() > 0) {
      lbIp->SetItemIndex(0);
      SetModalResult(mrOk);
    }
  }
  cmdSec->SetEnabled(true);
  cmdVazgec->SetEnabled(true);
}

void TfrmSunucu::ScanServers(Integer Port, TListBox* List, TProgressBar* Bar) {
  // A flag left by an earlier picker must not end this scan before it begins.
  ServerScanStopped = false;
  String Prefix = ScanPrefix(ServerSearchAddress());
  if (Prefix.empty()) return;
  std::unique_ptr<TIdTCPClient> Client(new TIdTCPClient(nullptr));
  Bar->SetMax(255);
  Client->SetPort(Word(Port));
  Client->SetConnectTimeout(100);
  for (Integer Host = 1; Host <= 255; ++Host) {
    if (ServerScanStopped) {
      ServerScanStopped = false;
      break;
    }
    Bar->SetPosition(Host);
    Application->ProcessMessages();
    if (GetModalResult() != mrNone || Application->GetTerminated()) break;
    String Address = Prefix + IntToStr(Host);
    try {
      Client->SetHost(Address);
      Client->Connect();
      if (Client->Connected()) {
        List->GetItems()->Add(Address);
        Client->Disconnect();
      }
    } catch (const Exception&) {
      // A host that does not answer is no server.
    }
  }
}

void TfrmSunucu::cmdSecClick(TObject*) {
  if (lbIp->GetItemIndex() < 0) {
    ShowMessage(L"lütfen ip seçiniz");
    return;
  }
  ServerScanStopped = true;
  SetModalResult(mrOk);
}

void TfrmSunucu::cmdVazgecClick(TObject*) {
  ServerScanStopped = true;
  SetModalResult(mrCancel);
}
