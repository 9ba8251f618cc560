#include "framework/IdTCPClient.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "framework/SysUtils.h"

PUBLISHED_DEF(TIdTCPClient) {
  PROP(Host);
  PROP(Port).Default(0);
  PROP(ConnectTimeout).Default(0);
}

namespace {

// Winsock stays started for the life of the process.
void StartWinsock() {
  static const int Started = [] {
    WSADATA Data;
    return WSAStartup(MAKEWORD(2, 2), &Data);
  }();
  if (Started != 0) throw EIdSocketError(SysErrorMessage(Cardinal(Started)), Started);
}

[[noreturn]] void RaiseSocketError(int Code) {
  String Text = SysErrorMessage(Cardinal(Code));
  if (Text.empty()) Text = L"Socket error";
  throw EIdSocketError(Format(L"%s (%d)", {Text, Code}), Code);
}

struct TSocket {
  SOCKET S = INVALID_SOCKET;
  ~TSocket() {
    if (S != INVALID_SOCKET) closesocket(S);
  }
  SOCKET Release() {
    SOCKET R = S;
    S = INVALID_SOCKET;
    return R;
  }
};

struct TAddrInfo {
  ADDRINFOW* P = nullptr;
  ~TAddrInfo() {
    if (P) FreeAddrInfoW(P);
  }
};

// One non-blocking connect bounded by TimeoutMs (0: unbounded); answers the connected socket.
SOCKET ConnectOne(const ADDRINFOW& Addr, Integer TimeoutMs) {
  TSocket Sock;
  Sock.S = socket(Addr.ai_family, Addr.ai_socktype, Addr.ai_protocol);
  if (Sock.S == INVALID_SOCKET) RaiseSocketError(WSAGetLastError());
  u_long NonBlocking = 1;
  if (ioctlsocket(Sock.S, FIONBIO, &NonBlocking) != 0) RaiseSocketError(WSAGetLastError());
  if (connect(Sock.S, Addr.ai_addr, int(Addr.ai_addrlen)) != 0) {
    int Err = WSAGetLastError();
    if (Err != WSAEWOULDBLOCK) RaiseSocketError(Err);
    fd_set Writable, Failed;
    FD_ZERO(&Writable);
    FD_ZERO(&Failed);
    FD_SET(Sock.S, &Writable);
    FD_SET(Sock.S, &Failed);
    timeval Limit{TimeoutMs / 1000, (TimeoutMs % 1000) * 1000};
    int Ready = select(0, nullptr, &Writable, &Failed, TimeoutMs > 0 ? &Limit : nullptr);
    if (Ready == SOCKET_ERROR) RaiseSocketError(WSAGetLastError());
    if (Ready == 0) throw EIdConnectTimeout(L"Connect timed out.");
    int SoError = 0;
    int Len = sizeof SoError;
    if (getsockopt(Sock.S, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&SoError), &Len) != 0)
      RaiseSocketError(WSAGetLastError());
    if (SoError != 0) RaiseSocketError(SoError);
    if (!FD_ISSET(Sock.S, &Writable)) RaiseSocketError(WSAECONNREFUSED);
  }
  u_long Blocking = 0;
  ioctlsocket(Sock.S, FIONBIO, &Blocking);
  return Sock.Release();
}

}  // namespace

TIdTCPClient::TIdTCPClient(TComponent* AOwner) : TComponent(AOwner), FSocket(INVALID_SOCKET) {}

TIdTCPClient::~TIdTCPClient() { Disconnect(); }

void TIdTCPClient::Connect() {
  if (FSocket != INVALID_SOCKET) throw EIdAlreadyConnected(L"Already connected.");
  if (FHost.empty()) throw EIdException(L"A host is required.");
  StartWinsock();
  ADDRINFOW Hints{};
  Hints.ai_family = AF_UNSPEC;
  Hints.ai_socktype = SOCK_STREAM;
  Hints.ai_protocol = IPPROTO_TCP;
  TAddrInfo Found;
  String Service = IntToStr(Integer(FPort));
  if (int Err = GetAddrInfoW(FHost.c_str(), Service.c_str(), &Hints, &Found.P)) RaiseSocketError(Err);
  // Each address in turn; the last failure is the one reported.
  for (ADDRINFOW* A = Found.P; A; A = A->ai_next) {
    try {
      FSocket = ConnectOne(*A, FConnectTimeout);
      return;
    } catch (const EIdException&) {
      if (!A->ai_next) throw;
    }
  }
  RaiseSocketError(WSAHOST_NOT_FOUND);
}

bool TIdTCPClient::Connected() const {
  if (FSocket == INVALID_SOCKET) return false;
  SOCKET S = SOCKET(FSocket);
  // Readable with nothing to read means the peer closed (or reset) the connection.
  fd_set Readable;
  FD_ZERO(&Readable);
  FD_SET(S, &Readable);
  timeval Now{0, 0};
  int Ready = select(0, &Readable, nullptr, nullptr, &Now);
  if (Ready == SOCKET_ERROR) return false;
  if (Ready == 0) return true;
  char Byte;
  return recv(S, &Byte, 1, MSG_PEEK) > 0;
}

void TIdTCPClient::Disconnect() {
  if (FSocket == INVALID_SOCKET) return;
  SOCKET S = SOCKET(FSocket);
  FSocket = INVALID_SOCKET;
  shutdown(S, SD_BOTH);
  closesocket(S);
}
