#include "installer/ServerIp.h"

#include "framework/Dialogs.h"
#include "framework/IdTCPClient.h"
#include "framework/SysUtils.h"
#include "installer/QalMain.h"

TfrmIp* frmIp = nullptr;

PUBLISHED_DEF(TfrmIp) {
  METHOD(FormShow);
  METHOD(txIp1KeyDown);
  METHOD(cmdtamamClick);
}

TOctetRange OctetRange(Integer Part) {
  switch (Part) {
    case 1: return {1, 223};
    case 4: return {1, 254};
    default: return {0, 255};
  }
}

TfrmIp::~TfrmIp() {
  if (frmIp == this) frmIp = nullptr;
}

void TfrmIp::Loaded() {
  inherited::Loaded();
  Label1 = RequireComponent<TLabel>(this, L"Label1");
  txIp1 = RequireComponent<TEdit>(this, L"txIp1");
  txIp2 = RequireComponent<TEdit>(this, L"txIp2");
  txIp3 = RequireComponent<TEdit>(this, L"txIp3");
  txIp4 = RequireComponent<TEdit>(this, L"txIp4");
  cmdtamam = RequireComponent<TButton>(this, L"cmdtamam");
}

void TfrmIp::FormShow(TObject*) {
  SetCaption(Application->GetTitle());
  std::vector<String> Parts;
  String Address = ServerSearchAddress();
  size_t Start = 0;
  for (;;) {
    size_t Dot = Address.find(L'.', Start);
    Parts.push_back(Address.substr(Start, Dot == String::npos ? String::npos : Dot - Start));
    if (Dot == String::npos) break;
    Start = Dot + 1;
  }
  if (Parts.size() >= 3) {
    txIp1->SetText(Parts[0]);
    txIp2->SetText(Parts[1]);
    txIp3->SetText(Parts[2]);
  }
}

void TfrmIp::txIp1KeyDown(TObject*, Word& Key, TShiftState) {
  if (Key == VK_UP || Key == VK_DOWN) Key = 0;
}

void TfrmIp::cmdtamamClick(TObject*) {
  TEdit* Edits[] = {txIp1, txIp2, txIp3, txIp4};
  for (TEdit* E : Edits)
    if (Trim(E->GetText()).empty()) {
      ShowMessage(L"Lütfen alanları doldurunuz");
      return;
    }
  String Address;
  for (Integer Part = 1; Part <= 4; ++Part) {
    TEdit* E = Edits[Part - 1];
    Integer Value = StrToIntDef(Trim(E->GetText()), -1);
    TOctetRange Range = OctetRange(Part);
    if (Value < Range.Min || Value > Range.Max) {
      ShowMessage(L"Ip adresinin " + IntToStr(Part) + L". bölümü " + IntToStr(Range.Min) + L" ile " +
                  IntToStr(Range.Max) + L" arasında olmalıdır");
      if (E->CanFocus()) E->SetFocus();
      return;
    }
    Address += (Part > 1 ? L"." : L"") + IntToStr(Value);
  }
  std::unique_ptr<TIdTCPClient> Client(new TIdTCPClient(nullptr));
  Client->SetPort(ServerPort);
  Client->SetConnectTimeout(100);
  Client->SetHost(Address);
  Application->ProcessMessages();
  bool Answered = false;
  try {
    Client->Connect();
    Answered = Client->Connected();
    Client->Disconnect();
  } catch (const Exception&) {
  }
  if (!Answered && MessageDlg(L"Sunucuya erişim sağlanamadı yine devam etmek istiyor musunuz", mtWarning, mbYesNo) !=
                       mrYes)
    return;
  if (ServerList) ServerList->GetItems()->Add(Address);
  SetModalResult(mrOk);
}
