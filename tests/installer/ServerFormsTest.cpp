#include <gtest/gtest.h>

#include <winsock2.h>

#include "framework/dialogs/DialogDriver.h"
#include "installer/InstallerTestUtil.h"
#include "installer/Server.h"
#include "installer/ServerIp.h"

using namespace insttest;

namespace {

// Nothing in this program may probe or connect to anything but loopback addresses: the local
// address every search starts from is a loopback one, whatever a test forgets to set.
TLocalAddressProc ProgramLocalAddress = nullptr;  // the program's own, kept for its test
class TLoopbackOnly : public testing::Environment {
 public:
  void SetUp() override {
    if (!ProgramLocalAddress) ProgramLocalAddress = QalLocalAddress;
    QalLocalAddress = [] { return String(L"127.0.0.1"); };
    QalLocalIPHost = L"127.0.0.1";
  }
};
[[maybe_unused]] testing::Environment* const LoopbackOnly = testing::AddGlobalTestEnvironment(new TLoopbackOnly);

// Listening sockets on loopback addresses 127.0.0.x, all on one port that is free on each.
class TListeners {
 public:
  explicit TListeners(std::initializer_list<int> Hosts) {
    WSADATA Data;
    WSAStartup(MAKEWORD(2, 2), &Data);
    for (int Attempt = 0; Attempt < 20 && FSockets.empty(); ++Attempt) {
      Word Port = FreePort();
      for (int Host : Hosts) {
        SOCKET S = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in A = Loopback(Host, Port);
        if (bind(S, reinterpret_cast<sockaddr*>(&A), sizeof A) != 0 || listen(S, 8) != 0) {
          closesocket(S);
          Close();
          break;
        }
        FSockets.push_back(S);
      }
      if (!FSockets.empty()) FPort = Port;
    }
  }
  ~TListeners() {
    Close();
    WSACleanup();
  }
  Word Port() const { return FPort; }

  static sockaddr_in Loopback(int Host, Word Port) {
    sockaddr_in A{};
    A.sin_family = AF_INET;
    A.sin_port = htons(Port);
    A.sin_addr.s_addr = htonl((127u << 24) | unsigned(Host));
    return A;
  }
  // A port nobody listens on at 127.0.0.1 now.
  static Word FreePort() {
    SOCKET S = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in A = Loopback(1, 0);
    bind(S, reinterpret_cast<sockaddr*>(&A), sizeof A);
    int Len = sizeof A;
    getsockname(S, reinterpret_cast<sockaddr*>(&A), &Len);
    closesocket(S);
    return ntohs(A.sin_port);
  }

 private:
  void Close() {
    for (SOCKET S : FSockets) closesocket(S);
    FSockets.clear();
  }
  std::vector<SOCKET> FSockets;
  Word FPort = 0;
};

std::vector<String> Items(TListBox* List) {
  std::vector<String> R;
  for (Integer I = 0; I < List->GetCount(); ++I) R.push_back(List->GetItems()->GetStrings(I));
  return R;
}

// The address form shown now, or null.
TfrmIp* ShownAddressForm() {
  for (Integer I = 0; I < Screen->GetFormCount(); ++I)
    if (auto* F = dynamic_cast<TfrmIp*>(Screen->GetForms(I)))
      if (F->GetVisible()) return F;
  return nullptr;
}

// The text of the framework message dialog shown now, or empty.
String ShownMessage() {
  TCustomForm* F = Screen->GetActiveForm();
  if (!F || !F->GetVisible()) return String();
  auto* Label = dynamic_cast<TLabel*>(F->FindComponent(L"Message"));
  return Label ? Label->GetCaption() : String();
}

// Answers the message dialog shown now with Result, noting its text in Seen.
dlgtest::TDialogDriver::TStep Answer(TModalResult Result, String* Seen) {
  return [Result, Seen] {
    String Text = ShownMessage();
    if (Text.empty()) return false;
    if (Seen) *Seen = Text;
    Screen->GetActiveForm()->SetModalResult(Result);
    return true;
  };
}

class QalServerSearch : public testing::Test {
 protected:
  void SetUp() override {
    RegisterQalClasses();
    Application->SetTitle(QalTitle);
    ServerScanStopped = false;
  }
  void TearDown() override { QalLocalAddress = [] { return String(L"127.0.0.1"); }; }
};

// The demo narrows the search to loopback through the environment; nothing else is taken from
// there, and the address the static address starts from (here: no main form to ask, so none)
// never comes from it.
TEST(QalLocalAddress, TheEnvironmentOnlyNarrowsTheSearchToLoopback) {
  ASSERT_NE(ProgramLocalAddress, nullptr);
  ASSERT_EQ(Application->GetMainForm(), nullptr);
  const TLocalAddressProc Saved = QalLocalAddress;
  QalLocalAddress = [] { return String(L"192.0.2.20"); };
  const struct {
    const wchar_t* Variable;  // null: not set
    const wchar_t* Searched;
  } Cases[] = {
      {L"127.0.0.9", L"127.0.0.9"},     {L"127.255.1.2", L"127.255.1.2"}, {nullptr, L"192.0.2.20"},
      {L"", L"192.0.2.20"},             {L"10.0.0.5", L"192.0.2.20"},     {L"192.0.2.99", L"192.0.2.20"},
      {L"127.0.0.256", L"192.0.2.20"},  {L"127.0.0", L"192.0.2.20"},      {L"127.0.0.1.5", L"192.0.2.20"},
      {L" 127.0.0.1", L"192.0.2.20"},   {L"127.0.0.1x", L"192.0.2.20"},   {L"127.0000.0.1", L"192.0.2.20"},
      {L"localhost", L"192.0.2.20"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Variable ? UTF8Encode(C.Variable) : std::string("(unset)"));
    SetEnvironmentVariableW(L"QAL_LOCAL_ADDRESS", C.Variable);
    EXPECT_EQ(ServerSearchAddress(), C.Searched);
    EXPECT_EQ(ProgramLocalAddress(), L"");
  }
  SetEnvironmentVariableW(L"QAL_LOCAL_ADDRESS", nullptr);
  QalLocalAddress = Saved;
}

TEST(QalScanPrefix, FirstThreePartsOfAnIPv4Address) {
  const struct {
    const wchar_t* Address;
    const wchar_t* Prefix;
  } Cases[] = {
      {L"192.168.1.20", L"192.168.1."}, {L"127.0.0.1", L"127.0.0."}, {L"10.0.0.255", L"10.0.0."},
      {L"", L""},                       {L"192.168.1", L""},         {L"fe80::1", L""},
      {L"1.2.3.4.5", L""},              {L"a.b.c.d", L""},           {L"300.1.1.1", L""},
      {L"1..2.3", L""},
  };
  for (const auto& C : Cases) EXPECT_EQ(ScanPrefix(C.Address), C.Prefix) << C.Address;
}

TEST_F(QalServerSearch, ScanListsExactlyTheLoopbackHostsThatListen) {
  TListeners Servers({9, 3, 200});
  ASSERT_NE(Servers.Port(), 0);
  std::unique_ptr<TfrmSunucu> Picker(TComponent::Create<TfrmSunucu>(nullptr));
  // A flag left set by an earlier picker does not end this scan.
  ServerScanStopped = true;
  Picker->ScanServers(Servers.Port(), Picker->lbIp, Picker->progressIp);
  EXPECT_EQ(Items(Picker->lbIp), (std::vector<String>{L"127.0.0.3", L"127.0.0.9", L"127.0.0.200"}));
  EXPECT_EQ(Picker->progressIp->GetMax(), 255);
  EXPECT_EQ(Picker->progressIp->GetPosition(), 255);
  EXPECT_FALSE(ServerScanStopped);
}

TEST_F(QalServerSearch, PickerScansOnShowAndAnswersTheChosenHost) {
  TListeners Servers({5, 7});
  std::unique_ptr<TfrmSunucu> Picker(TComponent::Create<TfrmSunucu>(nullptr));
  Picker->ServerPort = Servers.Port();
  String Refusal;
  dlgtest::TDialogDriver Driver({
      // Buttons stay off until the scan has ended.
      [&] {
        if (!Picker->GetVisible()) return false;
        EXPECT_FALSE(Picker->cmdSec->GetEnabled());
        EXPECT_FALSE(Picker->cmdVazgec->GetEnabled());
        EXPECT_EQ(Picker->GetCaption(), L"Zelkor SQL (Kurulum Sihirbazı)");
        return true;
      },
      [&] { return Picker->cmdSec->GetEnabled(); },
      [&] {
        // Clicked through the message queue: the step must not wait inside the box it opens.
        PostMessageW(Picker->cmdSec->GetHandle(), BM_CLICK, 0, 0);  // nothing chosen yet
        return true;
      },
      Answer(mrOk, &Refusal),
      [&] {
        Picker->lbIp->SetItemIndex(1);
        Picker->cmdSec->Click();
        return true;
      },
  });
  EXPECT_EQ(Picker->ShowModal(), mrOk);
  EXPECT_TRUE(Driver.Finished());
  EXPECT_EQ(Refusal, L"lütfen ip seçiniz");
  EXPECT_EQ(Items(Picker->lbIp), (std::vector<String>{L"127.0.0.5", L"127.0.0.7"}));
  EXPECT_EQ(Picker->lbIp->GetItems()->GetStrings(Picker->lbIp->GetItemIndex()), L"127.0.0.7");
  EXPECT_TRUE(ServerScanStopped);
  // White text on the style's list: the style paints the list but not its font.
  EXPECT_FALSE(Picker->lbIp->GetStyleElements().Contains(seFont));
  EXPECT_EQ(Picker->lbIp->GetFont()->GetColor(), clWhite);
  EXPECT_EQ(Picker->GetPadding()->GetLeft(), 4);
  EXPECT_EQ(Picker->lbIp->GetLeft(), 4);
  EXPECT_EQ(Picker->GetClientWidth(), 313);
  EXPECT_EQ(Picker->GetClientHeight(), 285);
}

TEST_F(QalServerSearch, NothingAnswersSoTheAddressFormOpens) {
  TListeners Server({42});
  const Word ClosedPort = TListeners::FreePort();
  const struct {
    const char* What;
    String LocalAddress;
    Word Port;  // where the picker probes; the typed address answers on Server's port
    bool TypeAnAnsweringAddress;
    TModalResult Result;
  } Cases[] = {
      {"no host answers, the typed one does", L"127.0.0.1", ClosedPort, true, mrOk},
      {"no local address: no scan at all", L"", Server.Port(), true, mrOk},
      {"the address form closed", L"127.0.0.1", ClosedPort, false, mrCancel},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    static String Local;
    Local = C.LocalAddress;
    QalLocalAddress = [] { return Local; };
    std::unique_ptr<TfrmSunucu> Picker(TComponent::Create<TfrmSunucu>(nullptr));
    Picker->ServerPort = C.Port;
    Integer ProgressWhenAsked = -1;
    std::vector<dlgtest::TDialogDriver::TStep> Steps{
        [&] {
          TfrmIp* Form = ShownAddressForm();
          if (!Form) return false;
          ProgressWhenAsked = Picker->progressIp->GetPosition();
          EXPECT_EQ(Form->ServerPort, C.Port);
          EXPECT_EQ(Form->GetCaption(), L"Zelkor SQL (Kurulum Sihirbazı)");
          if (!C.TypeAnAnsweringAddress) {
            Form->SetModalResult(mrCancel);
            return true;
          }
          Form->ServerPort = Server.Port();
          for (auto [Edit, Text] : {std::pair{Form->txIp1, L"127"}, {Form->txIp2, L"0"}, {Form->txIp3, L"0"},
                                    {Form->txIp4, L"42"}})
            Edit->SetText(Text);
          PostMessageW(Form->cmdtamam->GetHandle(), BM_CLICK, 0, 0);
          return true;
        },
    };
    // The picker stays open with an empty list when the form was closed.
    if (C.Result != mrOk)
      Steps.push_back([&] {
        if (!Picker->cmdVazgec->GetEnabled()) return false;
        Picker->cmdVazgec->Click();
        return true;
      });
    dlgtest::TDialogDriver Driver(Steps);
    EXPECT_EQ(Picker->ShowModal(), C.Result);
    EXPECT_TRUE(Driver.Finished());
    EXPECT_EQ(ProgressWhenAsked, C.LocalAddress.empty() ? 0 : 255);
    if (C.Result == mrOk) {
      EXPECT_EQ(Items(Picker->lbIp), std::vector<String>{L"127.0.0.42"});
      EXPECT_EQ(Picker->lbIp->GetItemIndex(), 0);
    } else {
      EXPECT_TRUE(Items(Picker->lbIp).empty());
    }
  }
}

class QalAddressForm : public QalServerSearch {
 protected:
  void SetUp() override {
    QalServerSearch::SetUp();
    Form.reset(TComponent::Create<TfrmIp>(nullptr));
    List.reset(new TListBox(nullptr));
    Form->ServerList = List.get();
    Form->Show();
  }
  void Type(const wchar_t* A, const wchar_t* B, const wchar_t* C, const wchar_t* D) {
    Form->txIp1->SetText(A);
    Form->txIp2->SetText(B);
    Form->txIp3->SetText(C);
    Form->txIp4->SetText(D);
    Form->SetModalResult(mrNone);
  }
  std::unique_ptr<TfrmIp> Form;
  std::unique_ptr<TListBox> List;
};

TEST_F(QalAddressForm, ShowsTheLocalNetworkAndFocusesTheLastPart) {
  EXPECT_EQ(Form->GetCaption(), L"Zelkor SQL (Kurulum Sihirbazı)");
  EXPECT_EQ(Form->txIp1->GetText(), L"127");
  EXPECT_EQ(Form->txIp2->GetText(), L"0");
  EXPECT_EQ(Form->txIp3->GetText(), L"0");
  EXPECT_EQ(Form->txIp4->GetText(), L"");
  EXPECT_EQ(Form->GetActiveControl(), Form->txIp4);
  EXPECT_EQ(Form->Label1->GetCaption(), L"Sunucunun ip  adresini giriniz");
  EXPECT_EQ(Form->GetClientWidth(), 212);
  EXPECT_EQ(Form->GetClientHeight(), 139);
  for (Word Key : {Word(VK_UP), Word(VK_DOWN), Word(VK_LEFT), Word(L'5')}) {
    Word K = Key;
    Form->txIp1KeyDown(Form->txIp2, K, TShiftState());
    EXPECT_EQ(K, (Key == VK_UP || Key == VK_DOWN) ? 0 : Key);
  }
}

TEST_F(QalAddressForm, ChecksTheTypedPartsBeforeProbing) {
  const struct {
    const wchar_t* Parts[4];
    const wchar_t* Message;
  } Cases[] = {
      {{L"127", L"0", L"0", L""}, L"Lütfen alanları doldurunuz"},
      {{L"", L"0", L"0", L"1"}, L"Lütfen alanları doldurunuz"},
      {{L"0", L"0", L"0", L"1"}, L"Ip adresinin 1. bölümü 1 ile 223 arasında olmalıdır"},
      {{L"224", L"0", L"0", L"1"}, L"Ip adresinin 1. bölümü 1 ile 223 arasında olmalıdır"},
      {{L"127", L"256", L"0", L"1"}, L"Ip adresinin 2. bölümü 0 ile 255 arasında olmalıdır"},
      {{L"127", L"0", L"999", L"1"}, L"Ip adresinin 3. bölümü 0 ile 255 arasında olmalıdır"},
      {{L"127", L"0", L"0", L"0"}, L"Ip adresinin 4. bölümü 1 ile 254 arasında olmalıdır"},
      {{L"127", L"0", L"0", L"255"}, L"Ip adresinin 4. bölümü 1 ile 254 arasında olmalıdır"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << String(C.Message).c_str());
    Type(C.Parts[0], C.Parts[1], C.Parts[2], C.Parts[3]);
    String Seen;
    dlgtest::TDialogDriver Driver({Answer(mrOk, &Seen)});
    Form->cmdtamamClick(Form->cmdtamam);
    EXPECT_EQ(Seen, C.Message);
    EXPECT_EQ(Form->GetModalResult(), mrNone);
    EXPECT_TRUE(Items(List.get()).empty());
  }
}

TEST_F(QalAddressForm, AnAddressThatDoesNotAnswerNeedsConsent) {
  TListeners Server({1});
  Form->ServerPort = TListeners::FreePort();
  const struct {
    const char* What;
    const wchar_t* Host;
    Word Port;
    TModalResult Consent;  // mrNone: not asked
    TModalResult Result;
    std::vector<String> Listed;
  } Cases[] = {
      {"answers", L"1", Server.Port(), mrNone, mrOk, {L"127.0.0.1"}},
      {"silent, declined", L"2", Form->ServerPort, mrNo, mrNone, {}},
      {"silent, taken anyway", L"2", Form->ServerPort, mrYes, mrOk, {L"127.0.0.2"}},
      {"leading zeros dropped", L"007", Form->ServerPort, mrYes, mrOk, {L"127.0.0.7"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    List->GetItems()->Clear();
    Form->ServerPort = C.Port;
    Type(L"127", L"0", L"00", C.Host);
    String Seen;
    std::vector<dlgtest::TDialogDriver::TStep> Steps;
    if (C.Consent != mrNone) Steps.push_back(Answer(C.Consent, &Seen));
    dlgtest::TDialogDriver Driver(Steps);
    Form->cmdtamamClick(Form->cmdtamam);
    EXPECT_TRUE(Driver.Finished());
    if (C.Consent != mrNone) {
      EXPECT_EQ(Seen, L"Sunucuya erişim sağlanamadı yine devam etmek istiyor musunuz");
    }
    EXPECT_EQ(Form->GetModalResult(), C.Result);
    EXPECT_EQ(Items(List.get()), C.Listed);
  }
}

}  // namespace
