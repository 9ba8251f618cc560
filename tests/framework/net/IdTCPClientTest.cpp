#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <memory>
#include <vector>

#include "framework/IdTCPClient.h"
#include "framework/SysUtils.h"

namespace {

// A listening socket on 127.0.0.1 at a free port; it never accepts unless asked.
class TLoopbackListener {
 public:
  explicit TLoopbackListener(int Backlog, bool Listen = true) {
    WSADATA Data;
    WSAStartup(MAKEWORD(2, 2), &Data);
    FSocket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in Addr{};
    Addr.sin_family = AF_INET;
    Addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(FSocket, reinterpret_cast<sockaddr*>(&Addr), sizeof Addr);
    int Len = sizeof Addr;
    getsockname(FSocket, reinterpret_cast<sockaddr*>(&Addr), &Len);
    FPort = ntohs(Addr.sin_port);
    if (Listen) listen(FSocket, Backlog);
  }
  ~TLoopbackListener() {
    for (SOCKET S : FAccepted) closesocket(S);
    closesocket(FSocket);
    WSACleanup();
  }
  Word Port() const { return FPort; }
  SOCKET Accept() {
    SOCKET S = accept(FSocket, nullptr, nullptr);
    FAccepted.push_back(S);
    return S;
  }

 private:
  SOCKET FSocket;
  Word FPort = 0;
  std::vector<SOCKET> FAccepted;
};

std::unique_ptr<TIdTCPClient> NewClient(Word Port, Integer Timeout) {
  auto C = std::make_unique<TIdTCPClient>(nullptr);
  C->SetHost(L"127.0.0.1");
  C->SetPort(Port);
  C->SetConnectTimeout(Timeout);
  return C;
}

TEST(IdTCPClient, ConnectsReportsAndDisconnects) {
  TLoopbackListener Listener(4);
  auto Client = NewClient(Listener.Port(), 2000);
  EXPECT_FALSE(Client->Connected());
  Client->Connect();
  EXPECT_TRUE(Client->Connected());
  EXPECT_THROW(Client->Connect(), EIdAlreadyConnected);
  SOCKET Peer = Listener.Accept();
  ASSERT_NE(Peer, INVALID_SOCKET);
  EXPECT_TRUE(Client->Connected());
  Client->Disconnect();
  EXPECT_FALSE(Client->Connected());
  Client->Disconnect();  // twice is harmless

  // The same client connects again.
  Client->Connect();
  EXPECT_TRUE(Client->Connected());
}

TEST(IdTCPClient, PeerClosingEndsConnected) {
  TLoopbackListener Listener(4);
  auto Client = NewClient(Listener.Port(), 2000);
  Client->Connect();
  SOCKET Peer = Listener.Accept();
  shutdown(Peer, SD_BOTH);
  // The peer's close reaches the client shortly; bounded by a generous limit.
  DWORD Start = GetTickCount();
  while (Client->Connected() && GetTickCount() - Start < 5000) Sleep(10);
  EXPECT_FALSE(Client->Connected());
}

TEST(IdTCPClient, RefusedPortRaisesWithSystemText) {
  TLoopbackListener Bound(0, false);  // holds the port so nobody else listens on it
  auto Client = NewClient(Bound.Port(), 2000);
  try {
    Client->Connect();
    ADD_FAILURE() << "connected to a port nobody listens on";
  } catch (const EIdSocketError& E) {
    EXPECT_EQ(E.LastError, WSAECONNREFUSED);
    EXPECT_NE(E.Message().find(L"(10061)"), String::npos);
    EXPECT_GT(E.Message().size(), 8u);  // the system's text before the code
  }
  EXPECT_FALSE(Client->Connected());
}

TEST(IdTCPClient, NonAcceptingListenerTimesOut) {
  // A backlog of 1 that is never accepted: once its queue is full the system drops further
  // connection requests, and a connect can only end at its time-out.
  TLoopbackListener Listener(1);
  std::vector<std::unique_ptr<TIdTCPClient>> Clients;
  const Integer Timeout = 300;
  bool TimedOut = false;
  for (int I = 0; I < 16 && !TimedOut; ++I) {
    auto C = NewClient(Listener.Port(), Timeout);
    DWORD Start = GetTickCount();
    try {
      C->Connect();
      Clients.push_back(std::move(C));
    } catch (const EIdConnectTimeout& E) {
      DWORD Took = GetTickCount() - Start;
      EXPECT_GE(Took, DWORD(Timeout - 20));  // tick granularity
      EXPECT_FALSE(C->Connected());
      EXPECT_EQ(E.Message(), L"Connect timed out.");
      TimedOut = true;
    }
  }
  EXPECT_TRUE(TimedOut);
  EXPECT_FALSE(Clients.empty());
}

TEST(IdTCPClient, BadSettingsRaise) {
  TIdTCPClient Client(nullptr);
  EXPECT_THROW(Client.Connect(), EIdException);  // no host
  Client.SetConnectTimeout(-5);
  EXPECT_EQ(Client.GetConnectTimeout(), 0);
}

}  // namespace
