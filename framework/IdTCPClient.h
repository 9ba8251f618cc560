#pragma once
// IdTCPClient: a TCP client whose connect is bounded by a time-out, over Winsock.
//
//   TIdTCPClient Client(nullptr);
//   Client.SetHost(L"127.0.0.1"); Client.SetPort(5452); Client.SetConnectTimeout(100);
//   Client.Connect();            // raises when the peer refuses or does not answer in time
//   if (Client.Connected()) Client.Disconnect();

#include "framework/TypInfo.h"
#include "framework/classes/Component.h"

class EIdException : public Exception {
  DECLARE_CLASS(EIdException, Exception)
 public:
  using Exception::Exception;
  EIdException() = default;
};

// A Winsock failure: LastError holds the code (10061 refused...), the message the system's text.
class EIdSocketError : public EIdException {
  DECLARE_CLASS(EIdSocketError, EIdException)
 public:
  using EIdException::EIdException;
  EIdSocketError() = default;
  EIdSocketError(const String& Msg, Integer ALastError) : EIdException(Msg), LastError(ALastError) {}
  Integer LastError = 0;
};

// No answer from the peer within ConnectTimeout.
DECLARE_EXCEPTION(EIdConnectTimeout, EIdException)
// Connect on a client that is connected already.
DECLARE_EXCEPTION(EIdAlreadyConnected, EIdException)

class TIdTCPClient : public TComponent {
  DECLARE_CLASS(TIdTCPClient, TComponent)
 public:
  explicit TIdTCPClient(TComponent* AOwner);
  ~TIdTCPClient() override;

  // A name or a literal address; a name is resolved at Connect, and each of its addresses
  // is tried in turn.
  const String& GetHost() const { return FHost; }
  void SetHost(const String& Value) { FHost = Value; }
  Word GetPort() const { return FPort; }
  void SetPort(Word Value) { FPort = Value; }
  // Milliseconds that Connect waits for each address; 0 waits as long as the system does.
  Integer GetConnectTimeout() const { return FConnectTimeout; }
  void SetConnectTimeout(Integer Value) { FConnectTimeout = Value < 0 ? 0 : Value; }

  // Raises EIdConnectTimeout, EIdSocketError (refused, unreachable, unknown host),
  // EIdAlreadyConnected; leaves the client disconnected on every failure.
  void Connect();
  // Connected, and the peer has not closed its side.
  bool Connected() const;
  // Closes the connection; nothing happens when there is none.
  void Disconnect();

  PUBLISHED_DECL(TIdTCPClient);

 private:
  NativeUInt FSocket;  // a Winsock SOCKET, INVALID_SOCKET when disconnected
  String FHost;
  Word FPort = 0;
  Integer FConnectTimeout = 0;
};
