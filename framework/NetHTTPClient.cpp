#include "framework/NetHTTPClient.h"

#include <vector>

#include "framework/SysUtils.h"
#include "framework/WinApi.h"
// After windows.h, which it needs.
#include <winhttp.h>
#include "framework/classes/Streams.h"

PUBLISHED_DEF(TNetHTTPClient) {
  PROP(ConnectionTimeout);
  PROP(ResponseTimeout);
  PROP(SecureProtocols);
  PROP(UserAgent);
  EVENT(OnReceiveData);
}

namespace {

#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 0x00002000
#endif

// Big enough that a fast local transfer is not bound by the calls, small enough to stay far
// from the memory a download may use.
constexpr DWORD ReadBlockSize = 1024 * 1024;

class TInternetHandle {
 public:
  explicit TInternetHandle(HINTERNET H = nullptr) : FHandle(H) {}
  TInternetHandle(const TInternetHandle&) = delete;
  TInternetHandle& operator=(const TInternetHandle&) = delete;
  ~TInternetHandle() {
    if (FHandle) WinHttpCloseHandle(FHandle);
  }
  HINTERNET Get() const { return FHandle; }
  explicit operator bool() const { return FHandle != nullptr; }

 private:
  HINTERNET FHandle;
};

// The system's text for a WinHTTP error: its texts live in winhttp.dll, the others in the system.
String WinHttpErrorText(DWORD Code) {
  wchar_t* Buffer = nullptr;
  DWORD Flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
  HMODULE Module = GetModuleHandleW(L"winhttp.dll");
  if (Module && Code >= WINHTTP_ERROR_BASE && Code <= WINHTTP_ERROR_LAST) Flags |= FORMAT_MESSAGE_FROM_HMODULE;
  DWORD Len = FormatMessageW(Flags, Module, Code, 0, reinterpret_cast<wchar_t*>(&Buffer), 0, nullptr);
  String Text;
  if (Len && Buffer) Text.assign(Buffer, Len);
  if (Buffer) LocalFree(Buffer);
  while (!Text.empty() && (Text.back() == L'\n' || Text.back() == L'\r' || Text.back() == L' ' || Text.back() == L'.'))
    Text.pop_back();
  if (Text.empty()) Text = SysErrorMessage(Code);
  if (!Text.empty()) return Text;
  // Some systems (Wine) carry no texts for WinHTTP's own codes.
  switch (Code) {
    case ERROR_WINHTTP_TIMEOUT: return L"The operation timed out";
    case ERROR_WINHTTP_INTERNAL_ERROR: return L"An internal error occurred";
    case ERROR_WINHTTP_INVALID_URL: return L"The URL is invalid";
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME: return L"The URL scheme could not be recognized or is not supported";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return L"The server name or address could not be resolved";
    case ERROR_WINHTTP_OPERATION_CANCELLED: return L"The operation was canceled";
    case ERROR_WINHTTP_CANNOT_CONNECT: return L"A connection with the server could not be established";
    case ERROR_WINHTTP_CONNECTION_ERROR: return L"The connection with the server was reset or terminated";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return L"The server returned an invalid or unrecognized response";
    case ERROR_WINHTTP_SECURE_FAILURE: return L"A security error occurred";
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: return L"An error occurred in the secure channel support";
    case ERROR_WINHTTP_SECURE_INVALID_CA: return L"The certificate was issued by an authority that is not trusted";
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID: return L"The certificate's name does not match the server";
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID: return L"The certificate has expired or is not yet valid";
    case ERROR_WINHTTP_SECURE_CERT_REVOKED: return L"The certificate has been revoked";
    default: return L"WinHTTP error";
  }
}

[[noreturn]] void RaiseHttpError(const wchar_t* Action, DWORD Code) {
  throw ENetHTTPClientException(Format(L"%s: (%d) %s", {Action, Integer(Code), WinHttpErrorText(Code)}), Code);
}

[[noreturn]] void RaiseLastHttpError(const wchar_t* Action) { RaiseHttpError(Action, GetLastError()); }

DWORD ProtocolFlags(THTTPSecureProtocols P) {
  DWORD Flags = 0;
  if (P.Contains(SSL2)) Flags |= WINHTTP_FLAG_SECURE_PROTOCOL_SSL2;
  if (P.Contains(SSL3)) Flags |= WINHTTP_FLAG_SECURE_PROTOCOL_SSL3;
  if (P.Contains(TLS1)) Flags |= WINHTTP_FLAG_SECURE_PROTOCOL_TLS1;
  if (P.Contains(TLS11)) Flags |= WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1;
  if (P.Contains(TLS12)) Flags |= WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
  if (P.Contains(TLS13)) Flags |= WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
  return Flags;
}

String QueryHeaderText(HINTERNET Request, DWORD Info, bool& Found) {
  DWORD Size = 0;
  Found = false;
  WinHttpQueryHeaders(Request, Info, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &Size,
                      WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || Size == 0) return String();
  std::vector<wchar_t> Buffer(Size / sizeof(wchar_t) + 1);
  if (!WinHttpQueryHeaders(Request, Info, WINHTTP_HEADER_NAME_BY_INDEX, Buffer.data(), &Size,
                           WINHTTP_NO_HEADER_INDEX))
    return String();
  Found = true;
  return String(Buffer.data(), Size / sizeof(wchar_t));
}

class THTTPResponse : public TInterfacedObject, public IHTTPResponse {
  DECLARE_CLASS(THTTPResponse, TInterfacedObject)
 public:
  Integer _AddRef() override { return TInterfacedObject::_AddRef(); }
  Integer _Release() override { return TInterfacedObject::_Release(); }

  Integer GetStatusCode() const override { return FStatusCode; }
  String GetStatusText() const override { return FStatusText; }
  Int64 GetContentLength() const override { return FContentLength; }
  String GetRawHeaders() const override { return FRawHeaders; }
  String GetHeaderValue(const String& Name) const override {
    // One "Name: value" per line after the status line.
    size_t Pos = 0;
    while (Pos < FRawHeaders.size()) {
      size_t End = FRawHeaders.find(L"\r\n", Pos);
      if (End == String::npos) End = FRawHeaders.size();
      String Line = FRawHeaders.substr(Pos, End - Pos);
      size_t Colon = Line.find(L':');
      if (Colon != String::npos && SameText(Trim(Line.substr(0, Colon)), Name))
        return Trim(Line.substr(Colon + 1));
      Pos = End + 2;
    }
    return String();
  }
  TStream* GetContentStream() const override { return FStream; }
  String ContentAsString(TEncoding* AEncoding) const override {
    if (!FStream) return String();
    Int64 Saved = FStream->GetPosition();
    Int64 Size = FStream->GetSize() - FStart;
    TBytes Bytes(size_t(Size > 0 ? Size : 0));
    FStream->SetPosition(FStart);
    if (!Bytes.empty()) FStream->ReadBuffer(Bytes.data(), Integer(Bytes.size()));
    FStream->SetPosition(Saved);
    TEncoding* Encoding = AEncoding ? AEncoding : TEncoding::UTF8();
    Integer Skip = TEncoding::GetBufferEncoding(Bytes, Encoding);
    return Encoding->GetString(Bytes, Skip, Integer(Bytes.size()) - Skip);
  }

  Integer FStatusCode = 0;
  String FStatusText;
  Int64 FContentLength = -1;
  String FRawHeaders;
  TStream* FStream = nullptr;
  Int64 FStart = 0;
  std::unique_ptr<TMemoryStream> FOwnStream;
};

}  // namespace

TNetHTTPClient::TNetHTTPClient(TComponent* AOwner) : TComponent(AOwner) {}

TNetHTTPClient::~TNetHTTPClient() { CloseSession(); }

void TNetHTTPClient::SetSecureProtocols(THTTPSecureProtocols Value) {
  if (Value == FSecureProtocols) return;
  FSecureProtocols = Value;
  CloseSession();
}

void TNetHTTPClient::SetUserAgent(const String& Value) {
  if (Value == FUserAgent) return;
  FUserAgent = Value;
  CloseSession();
}

void TNetHTTPClient::CloseSession() {
  if (FSession) WinHttpCloseHandle(FSession);
  FSession = nullptr;
}

void* TNetHTTPClient::Session() {
  if (FSession) return FSession;
  // The system's default proxy settings, as every other program of the machine uses.
  HINTERNET S = WinHttpOpen(FUserAgent.empty() ? L"NetHTTPClient/1.0" : FUserAgent.c_str(),
                            WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (!S) RaiseLastHttpError(L"Error creating the HTTP session");
  DWORD Flags = ProtocolFlags(FSecureProtocols);
  if (Flags) {
    if (!WinHttpSetOption(S, WINHTTP_OPTION_SECURE_PROTOCOLS, &Flags, sizeof(Flags))) {
      // A system that does not know TLS 1.3 refuses its flag: keep the older protocols asked for.
      DWORD Older = Flags & ~DWORD(WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3);
      if (GetLastError() != ERROR_INVALID_PARAMETER || Older == 0 ||
          !WinHttpSetOption(S, WINHTTP_OPTION_SECURE_PROTOCOLS, &Older, sizeof(Older))) {
        DWORD Code = GetLastError();
        WinHttpCloseHandle(S);
        RaiseHttpError(L"Error setting the secure protocols", Code);
      }
    }
  }
  FSession = S;
  return FSession;
}

void TNetHTTPClient::DoReceiveData(Int64 AContentLength, Int64 AReadCount, bool& AAbort) {
  DoEvent(FOnReceiveData, this, AContentLength, AReadCount, AAbort);
}

IHTTPResponsePtr TNetHTTPClient::Get(const String& AURL, TStream* AResponseContent) {
  URL_COMPONENTS Parts{};
  Parts.dwStructSize = sizeof(Parts);
  Parts.dwSchemeLength = DWORD(-1);
  Parts.dwHostNameLength = DWORD(-1);
  Parts.dwUrlPathLength = DWORD(-1);
  Parts.dwExtraInfoLength = DWORD(-1);
  if (!WinHttpCrackUrl(AURL.c_str(), DWORD(AURL.size()), 0, &Parts)) RaiseLastHttpError(L"Invalid URL");
  if (Parts.nScheme != INTERNET_SCHEME_HTTP && Parts.nScheme != INTERNET_SCHEME_HTTPS)
    RaiseHttpError(L"Invalid URL", ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
  const String Host(Parts.lpszHostName, Parts.dwHostNameLength);
  String Object(Parts.lpszUrlPath, Parts.dwUrlPathLength);
  Object.append(Parts.lpszExtraInfo, Parts.dwExtraInfoLength);
  if (Object.empty()) Object = L"/";
  const bool Secure = Parts.nScheme == INTERNET_SCHEME_HTTPS;

  TInternetHandle Connection(WinHttpConnect(Session(), Host.c_str(), Parts.nPort, 0));
  if (!Connection) RaiseLastHttpError(L"Error connecting to the server");
  TInternetHandle Request(WinHttpOpenRequest(Connection.Get(), L"GET", Object.c_str(), nullptr, WINHTTP_NO_REFERER,
                                             WINHTTP_DEFAULT_ACCEPT_TYPES, Secure ? WINHTTP_FLAG_SECURE : 0));
  if (!Request) RaiseLastHttpError(L"Error opening the request");
  // The system's own waits are unbounded or minutes long: a server that stops sending would hold
  // the caller (often the user-interface thread) for ever.
  const int Connect = FConnectionTimeout > 0 ? FConnectionTimeout : 0;
  const int Receive = FResponseTimeout > 0 ? FResponseTimeout : 0;
  if (!WinHttpSetTimeouts(Request.Get(), Connect, Connect, Connect, Receive))
    RaiseLastHttpError(L"Error setting the time-outs");
  DWORD HeadersTimeout = DWORD(Receive);
  WinHttpSetOption(Request.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &HeadersTimeout, sizeof(HeadersTimeout));
  auto RaiseReceiveError = [this](const wchar_t* Action) {
    const DWORD Code = GetLastError();
    // Wine answers a wait for the headers that ran out with the socket's own code.
    if (Code == ERROR_WINHTTP_TIMEOUT || Code == WSAETIMEDOUT)
      throw ENetHTTPClientException(Format(L"%s: no data for %s s, the transfer was given up (%d)",
                                           {Action, FloatToStr(FResponseTimeout / 1000.0, TFormatSettings::Invariant()),
                                            Integer(ERROR_WINHTTP_TIMEOUT)}),
                                    ERROR_WINHTTP_TIMEOUT);
    RaiseHttpError(Action, Code);
  };
  if (!WinHttpSendRequest(Request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
    RaiseLastHttpError(L"Error sending data");
  if (!WinHttpReceiveResponse(Request.Get(), nullptr)) RaiseReceiveError(L"Error receiving data");

  IPtr<THTTPResponse> Response(new THTTPResponse);
  DWORD Status = 0, Size = sizeof(Status);
  if (!WinHttpQueryHeaders(Request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &Status, &Size, WINHTTP_NO_HEADER_INDEX))
    RaiseLastHttpError(L"Error querying headers");
  Response->FStatusCode = Integer(Status);
  bool Found = false;
  Response->FStatusText = QueryHeaderText(Request.Get(), WINHTTP_QUERY_STATUS_TEXT, Found);
  Response->FRawHeaders = QueryHeaderText(Request.Get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, Found);
  // The length as text: the numeric form is 32-bit and bodies pass 4 GB.
  String Length = Trim(QueryHeaderText(Request.Get(), WINHTTP_QUERY_CONTENT_LENGTH, Found));
  if (Found && !Length.empty()) {
    Int64 Value = StrToInt64Def(Length, -1);
    Response->FContentLength = Value >= 0 ? Value : -1;
  }

  TStream* Target = AResponseContent;
  if (!Target) {
    Response->FOwnStream = std::make_unique<TMemoryStream>();
    Target = Response->FOwnStream.get();
  }
  Response->FStream = Target;
  Response->FStart = Target->GetPosition();

  const Int64 ContentLength = Response->FContentLength;
  std::vector<Byte> Buffer(ReadBlockSize);
  Int64 ReadCount = 0;
  bool AbortFlag = false;
  DoReceiveData(ContentLength, ReadCount, AbortFlag);
  while (!AbortFlag) {
    DWORD Got = 0;
    if (!WinHttpReadData(Request.Get(), Buffer.data(), ReadBlockSize, &Got)) RaiseReceiveError(L"Error receiving data");
    if (Got == 0) break;
    if (ContentLength >= 0 && ReadCount + Int64(Got) > ContentLength)
      throw ENetHTTPClientException(
          Format(L"The response is longer than its announced length of %d bytes", {ContentLength}),
          ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
    Target->WriteBuffer(Buffer.data(), Integer(Got));
    ReadCount += Got;
    DoReceiveData(ContentLength, ReadCount, AbortFlag);
  }
  if (AbortFlag) Abort();
  if (ContentLength >= 0 && ReadCount < ContentLength)
    throw ENetHTTPClientException(
        Format(L"The connection closed before the whole response arrived (%d of %d bytes)", {ReadCount, ContentLength}),
        ERROR_WINHTTP_CONNECTION_ERROR);
  return IHTTPResponsePtr(Response.Get());
}
