#include <gtest/gtest.h>

#include "framework/ComObj.h"
#include "framework/Variants.h"
#include "installer/InstallerTestUtil.h"

using namespace insttest;

namespace {

// The firewall and WMI objects of this Wine prefix are the recording stand-in while a test runs
// (registered under their programmatic ids), working in a scratch folder of the test's own.
class QalSystemSettings : public TMainFormTest {
 protected:
  void SetUp() override {
    TMainFormTest::SetUp();
    SetEnvironmentVariableW(L"QAL_COM_STANDIN", Folder.Path().c_str());
    Server = LoadLibraryW((BinFolder() + L"standin_com.dll").c_str());
    ASSERT_NE(Server, nullptr);
    ASSERT_EQ(Call("DllRegisterServer"), S_OK);
  }
  void TearDown() override {
    if (Server) Call("DllUnregisterServer");
    SetEnvironmentVariableW(L"QAL_COM_STANDIN", nullptr);
    TMainFormTest::TearDown();
  }
  HRESULT Call(const char* Export) {
    auto* Proc = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(Server, Export)));
    return Proc ? Proc() : E_FAIL;
  }
  std::vector<String> Calls() { return Lines(ReadText(Folder / L"calls.log")); }
  // Only the calls that change the machine or ask for adapters.
  std::vector<String> CallsStartingWith(std::initializer_list<const wchar_t*> Prefixes) {
    std::vector<String> R;
    for (const String& L : Calls())
      for (const wchar_t* P : Prefixes)
        if (L.compare(0, wcslen(P), P) == 0) R.push_back(L);
    return R;
  }
  void Adapters(const String& Text) {
    WriteText(Folder / L"adapters.txt", Text);
    DeleteFileW((Folder / L"calls.log").c_str());
  }

  TScratchFolder Folder{L"settings"};
  HMODULE Server = nullptr;
};

TEST_F(QalSystemSettings, FirewallRulesReachTheFirewallInTableOrder) {
  Form->AddFirewallRules();
  const std::vector<String> Expected{
      L"GloballyOpenPorts.Add Name=Zelkor-PG10 Protocol=6 Port=5452 Scope=0 Enabled=True",
      L"GloballyOpenPorts.Add Name=ZELKOR-3001 Protocol=6 Port=3001 Scope=0 Enabled=True",
      L"GloballyOpenPorts.Add Name=ZELKOR-3002 Protocol=6 Port=3002 Scope=0 Enabled=True",
      L"GloballyOpenPorts.Add Name=ZELKOR-3003 Protocol=6 Port=3003 Scope=0 Enabled=True",
      L"GloballyOpenPorts.Add Name=ZELKOR-3004 Protocol=6 Port=3004 Scope=0 Enabled=True",
      L"GloballyOpenPorts.Add Name=ZELKOR-3005 Protocol=6 Port=3005 Scope=0 Enabled=True",
      L"GloballyOpenPorts.Add Name=ZELKOR-3006 Protocol=6 Port=3006 Scope=0 Enabled=True",
  };
  EXPECT_EQ(CallsStartingWith({L"GloballyOpenPorts."}), Expected);
  EXPECT_EQ(LogLines(Form),
            (std::vector<String>{L"Güvenlik Duvarına Portlar Ekleniyor ..", L"Güvenlik Duvarına Portlar Eklendi .."}));
}

TEST_F(QalSystemSettings, FirewallRefusalRaisesWithTheSystemText) {
  WriteText(Folder / L"fail.txt", L"GloballyOpenPorts.Add");
  try {
    Form->AddFirewallPort(L"Zelkor-PG10", 5452);
    ADD_FAILURE() << "no error";
  } catch (const EOleSysError& E) {
    EXPECT_EQ(E.ErrorCode, Integer(E_ACCESSDENIED));
    EXPECT_EQ(E.Message(), OleErrorMessage(E_ACCESSDENIED));
    EXPECT_FALSE(E.Message().empty());
  }
  EXPECT_TRUE(CallsStartingWith({L"GloballyOpenPorts."}).empty());
}

// Two adapters: a VPN adapter with a fixed address first, then the shop's network card, whose
// address came from DHCP and whose name needs escaping in WQL.
const wchar_t* const ShopAdapters =
    L"Description=Sanal VPN Bağdaştırıcısı\r\nIPEnabled=True\r\nIPAddress=198.51.100.7\r\n"
    L"IPSubnet=255.255.255.255\r\nDHCPServer=null\r\nDefaultIPGateway=null\r\n\r\n"
    L"Description=Intel(R) Ethernet \"Ofis\" \\ 2\r\nIPEnabled=True\r\nIPAddress=192.0.2.20,fe80::1\r\n"
    L"IPSubnet=255.255.254.0,64\r\nDHCPServer=192.0.2.1\r\nDefaultIPGateway=192.0.2.1\r\n\r\n";

TEST_F(QalSystemSettings, StaticAddressOnADhcpAdapter) {
  Adapters(ShopAdapters);
  QalLocalAddress = [] { return String(L"192.0.2.20"); };
  QalInternetConnected = [] { return true; };
  Form->MakeIpStatic();
  const String Card = L"Intel(R) Ethernet \"Ofis\" \\ 2";
  EXPECT_EQ(Calls(), (std::vector<String>{
                         L"GetObject winmgmts:\\\\.\\root\\cimv2",
                         L"ExecQuery SELECT * FROM Win32_NetworkAdapterConfiguration",
                         L"ConnectServer localhost root\\CIMV2",
                         L"ExecQuery SELECT * FROM Win32_NetworkAdapterConfiguration Where "
                         L"Description=\"Intel(R) Ethernet \\\"Ofis\\\" \\\\ 2\"",
                         // the adapter's own mask, not a /24
                         L"EnableStatic " + Card + L" IPAddress=[192.0.2.20] SubnetMask=[255.255.254.0]",
                         L"SetGateways " + Card + L" [192.0.2.1]",
                         // DNS on the adapter made static, not on the VPN adapter listed first
                         L"SetDNSServerSearchOrder " + Card + L" [8.8.8.8] -> 0",
                     }));
  EXPECT_EQ(LogLines(Form), (std::vector<String>{L"İp sabitleniyor..", L"İp sabitlendi.."}));

  // Once static, it is left alone.
  DeleteFileW((Folder / L"calls.log").c_str());
  Form->SetStaticAddress(Card, L"192.0.2.20", L"255.255.255.0");
  EXPECT_TRUE(CallsStartingWith({L"EnableStatic", L"SetGateways", L"SetDNS"}).empty());
}

TEST_F(QalSystemSettings, StaticAddressCases) {
  const struct {
    const char* What;
    String Adapters;
    String Address;
    std::vector<String> Changes;
  } Cases[] = {
      {"a static adapter is left alone",
       L"Description=Kart\r\nIPEnabled=True\r\nIPAddress=192.0.2.20\r\nIPSubnet=255.255.255.0\r\nDHCPServer=null\r\n",
       L"192.0.2.20",
       {}},
      {"no mask and no gateway reported",
       L"Description=Kart\r\nIPEnabled=True\r\nIPAddress=192.0.2.20\r\nDHCPServer=192.0.2.1\r\n",
       L"192.0.2.20",
       {L"EnableStatic Kart IPAddress=[192.0.2.20] SubnetMask=[255.255.255.0]",
        L"SetDNSServerSearchOrder Kart [8.8.8.8] -> 0"}},
      {"no adapter of that description",
       L"Description=Kart 2\r\nIPEnabled=True\r\nIPAddress=192.0.2.20\r\nDHCPServer=192.0.2.1\r\n",
       L"192.0.2.20",
       {}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    Adapters(C.Adapters);
    Form->SetStaticAddress(L"Kart", C.Address, L"255.255.255.0");
    EXPECT_EQ(CallsStartingWith({L"EnableStatic", L"SetGateways", L"SetDNS"}), C.Changes);
  }
}

TEST_F(QalSystemSettings, RefusedStaticAddressRaises) {
  Adapters(L"Description=Kart\r\nIPEnabled=True\r\nIPAddress=192.0.2.20\r\nDHCPServer=192.0.2.1\r\n"
           L"EnableStaticResult=70\r\n");
  EXPECT_THROW(Form->SetStaticAddress(L"Kart", L"192.0.2.20", L"255.255.255.0"), EOleError);
  EXPECT_TRUE(CallsStartingWith({L"SetGateways", L"SetDNS"}).empty());
}

TEST_F(QalSystemSettings, NoAdapterForTheLocalAddressIsReported) {
  Adapters(ShopAdapters);
  for (const wchar_t* Address : {L"", L"203.0.113.9"}) {
    Form->Memo1->GetLines()->Clear();
    static String Current;
    Current = Address;
    QalLocalAddress = [] { return Current; };
    Form->MakeIpStatic();
    EXPECT_EQ(LogLines(Form), (std::vector<String>{L"İp sabitleniyor..",
                                                   L"İp sabitlenemedi: yerel ip adresinin ağ bağdaştırıcısı bulunamadı"}))
        << Address;
    EXPECT_TRUE(CallsStartingWith({L"EnableStatic", L"ConnectServer"}).empty());
  }
}

struct TConnection {
  static inline int Asked = 0;
  static inline int UpAfter = 0;  // answers connected from this question on; 0: never
};

TEST_F(QalSystemSettings, WaitForTheConnectionIsBounded) {
  Adapters(ShopAdapters);
  QalLocalAddress = [] { return String(L"192.0.2.20"); };
  QalInternetConnected = [] { return ++TConnection::Asked >= TConnection::UpAfter && TConnection::UpAfter > 0; };
  const struct {
    int UpAfter;
    std::vector<String> Tail;  // the log after "İp sabitlendi.."
    int Pauses;
  } Cases[] = {
      {1, {}, 0},
      {4, {L"İnternet bağlantısı bekleniyor.."}, 2},
      {0, {L"İnternet bağlantısı bekleniyor..", L"İnternet bağlantısı kurulamadı.."}, 119},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.UpAfter);
    Adapters(ShopAdapters);
    Form->Memo1->GetLines()->Clear();
    TConnection::Asked = 0;
    TConnection::UpAfter = C.UpAfter;
    TFakeTime::Install(500);
    Form->MakeIpStatic();
    std::vector<String> Expected{L"İp sabitleniyor..", L"İp sabitlendi.."};
    Expected.insert(Expected.end(), C.Tail.begin(), C.Tail.end());
    EXPECT_EQ(LogLines(Form), Expected);
    EXPECT_EQ(TFakeTime::Pauses, C.Pauses);
  }
}

TEST_F(QalSystemSettings, DnsServerGoesToTheFirstAdapterThatTakesIt) {
  Adapters(L"Description=Bir\r\nIPEnabled=True\r\nDNSResult=91\r\n\r\n"
           L"Description=Kapalı\r\nIPEnabled=False\r\n\r\n"
           L"Description=İki\r\nIPEnabled=True\r\n\r\n"
           L"Description=Üç\r\nIPEnabled=True\r\n\r\n");
  Form->SetDnsServer(L"8.8.8.8");
  EXPECT_EQ(CallsStartingWith({L"ExecQuery", L"SetDNS"}),
            (std::vector<String>{L"ExecQuery SELECT * FROM Win32_NetworkAdapterConfiguration Where IPEnabled=True",
                                 L"SetDNSServerSearchOrder Bir [8.8.8.8] -> 91",
                                 L"SetDNSServerSearchOrder İki [8.8.8.8] -> 0"}));
}

TEST(QalWql, LiteralsAreEscaped) {
  const struct {
    const wchar_t* Text;
    const wchar_t* Quoted;
  } Cases[] = {
      {L"Realtek PCIe GbE", L"\"Realtek PCIe GbE\""},
      {L"Kart \"Ofis\"", L"\"Kart \\\"Ofis\\\"\""},
      {L"C:\\yol\\", L"\"C:\\\\yol\\\\\""},
      {L"", L"\"\""},
      {L"Ağ kartı 'İç'", L"\"Ağ kartı 'İç'\""},
  };
  for (const auto& C : Cases) EXPECT_EQ(WqlQuoted(C.Text), C.Quoted) << C.Text;
}

TEST(QalAutomationArray, StringsKeepOrderAndZeroBounds) {
  Variant A = StringsToVariantArray({L"192.0.2.20", L"Şube"});
  EXPECT_EQ(VarType(A), varArray | varOleStr);
  EXPECT_EQ(VarArrayLowBound(A, 1), 0);
  EXPECT_EQ(VarArrayHighBound(A, 1), 1);
  const Variant& C = A;
  EXPECT_EQ(C[0].AsString(), L"192.0.2.20");
  EXPECT_EQ(C[1].AsString(), L"Şube");
  Variant Empty = StringsToVariantArray({});
  EXPECT_EQ(VarArrayHighBound(Empty, 1), -1);
}

}  // namespace
