#pragma once
// NetHTTPClient: an HTTP(S) client component over the system's WinHTTP. A Get writes the body
// into the caller's stream as it arrives (never the whole body in memory) and answers the
// response: status code and text, headers, content length.

#include "framework/TypInfo.h"
#include "framework/classes/Component.h"

class TStream;
class TEncoding;

DECLARE_ENUM(THTTPSecureProtocol, SSL2, SSL3, TLS1, TLS11, TLS12, TLS13)
using THTTPSecureProtocols = Set<THTTPSecureProtocol, 8>;

// AContentLength is -1 when the server sent none; AReadCount counts the body bytes so far.
// Setting AAbort ends the transfer: the Get then raises EAbort.
using TReceiveDataEvent =
    Closure<void(TObject* Sender, Int64 AContentLength, Int64 AReadCount, bool& AAbort)>;

// Network, name, proxy and TLS failures, with the system's message and error code; also a body
// that ends before its announced length (the connection dropped) or runs past it, and a transfer
// that made no progress for the client's response time-out.
class ENetHTTPClientException : public Exception {
  DECLARE_CLASS(ENetHTTPClientException, Exception)
 public:
  using Exception::Exception;
  ENetHTTPClientException() = default;
  ENetHTTPClientException(const String& Msg, Cardinal Code) : Exception(Msg), ErrorCode(Code) {}
  Cardinal ErrorCode = 0;
};

class IHTTPResponse : public virtual IInterface {
 public:
  virtual Integer GetStatusCode() const = 0;
  virtual String GetStatusText() const = 0;
  // The Content-Length header's value, -1 when there was none.
  virtual Int64 GetContentLength() const = 0;
  // The first header of that name (case ignored), empty when absent.
  virtual String GetHeaderValue(const String& Name) const = 0;
  virtual String GetRawHeaders() const = 0;
  // The stream the body was written to: the caller's, or one the response owns.
  virtual TStream* GetContentStream() const = 0;
  // The body as text, in AEncoding or else UTF-8 (a byte-order mark is skipped).
  virtual String ContentAsString(TEncoding* AEncoding = nullptr) const = 0;
};
using IHTTPResponsePtr = IPtr<IHTTPResponse>;

class TNetHTTPClient : public TComponent {
  DECLARE_CLASS(TNetHTTPClient, TComponent)
 public:
  explicit TNetHTTPClient(TComponent* AOwner);
  ~TNetHTTPClient() override;

  // GET: the body is written to AResponseContent from its position as it arrives (to a memory
  // stream of the response when none is given), whatever the status. Raises
  // ENetHTTPClientException for a failure of the transfer, EAbort when OnReceiveData aborts.
  IHTTPResponsePtr Get(const String& AURL, TStream* AResponseContent = nullptr);

  // The longest wait, in milliseconds, for the server's name, the connection and sending the
  // request; 30 s unless set, 0 for no limit.
  Integer GetConnectionTimeout() const { return FConnectionTimeout; }
  void SetConnectionTimeout(Integer Value) { FConnectionTimeout = Value; }
  // The longest wait, in milliseconds, for the next byte of the answer (its headers or its body):
  // a transfer that makes no progress for that long fails. 30 s unless set, 0 for no limit.
  Integer GetResponseTimeout() const { return FResponseTimeout; }
  void SetResponseTimeout(Integer Value) { FResponseTimeout = Value; }
  THTTPSecureProtocols GetSecureProtocols() const { return FSecureProtocols; }
  void SetSecureProtocols(THTTPSecureProtocols Value);
  String GetUserAgent() const { return FUserAgent; }
  void SetUserAgent(const String& Value);
  TReceiveDataEvent GetOnReceiveData() const { return FOnReceiveData; }
  void SetOnReceiveData(const TReceiveDataEvent& Value) { FOnReceiveData = Value; }

  PUBLISHED_DECL(TNetHTTPClient);

 protected:
  virtual void DoReceiveData(Int64 AContentLength, Int64 AReadCount, bool& AAbort);

 private:
  void* Session();
  void CloseSession();

  void* FSession = nullptr;  // WinHTTP session handle, made on the first request
  Integer FConnectionTimeout = 30000;
  Integer FResponseTimeout = 30000;
  THTTPSecureProtocols FSecureProtocols{TLS12, TLS13};
  String FUserAgent;
  TReceiveDataEvent FOnReceiveData;
};
