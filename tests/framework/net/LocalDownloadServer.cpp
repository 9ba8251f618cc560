#include "LocalDownloadServer.h"

#include <cstring>

#include "framework/Classes.h"
#include "framework/NetEncoding.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "installer/DownloadHost.h"
// After windows.h, which they need.
#include <wincrypt.h>
#include <winhttp.h>

namespace LocalDownloadServer {

namespace {

TBytes ReadAll(const String& Name) {
  TFileStream F(Name, fmOpenRead | fmShareDenyNone);
  TBytes B(size_t(F.GetSize()));
  if (!B.empty()) F.ReadBuffer(B.data(), Integer(B.size()));
  return B;
}

}  // namespace

String StateFolder() {
  String Unix = GetEnvironmentVariable(L"QAL_DOWNLOAD_SERVER");
  if (Unix.empty()) return String();
  // Wine shows the Unix root as drive Z:.
  for (auto& C : Unix)
    if (C == L'/') C = L'\\';
  return L"Z:" + Unix;
}

void Prepare() {
  const String State = StateFolder();
  if (State.empty()) throw Exception(L"QAL_DOWNLOAD_SERVER is not set");
  Prepare(State);
}

void Prepare(const String& State) {
  const TBytes Port = ReadAll(State + L"\\port");
  const TBytes Root = ReadAll(State + L"\\ca.der");

  // Straight into the registry that backs the machine's root store: Wine's CertAddEncoded...
  // into that store is not kept. The value is the store's own form: the certificate property.
  PCCERT_CONTEXT Cert = CertCreateCertificateContext(X509_ASN_ENCODING, Root.data(), DWORD(Root.size()));
  if (!Cert) RaiseLastOSError();
  Byte Hash[20];
  DWORD HashSize = sizeof(Hash);
  BOOL HashOk = CertGetCertificateContextProperty(Cert, CERT_SHA1_HASH_PROP_ID, Hash, &HashSize);
  CertFreeCertificateContext(Cert);
  if (!HashOk) RaiseLastOSError();
  String Key = L"Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\";
  for (DWORD I = 0; I < HashSize; ++I) Key += IntToHex(Hash[I], 2);
  TBytes Blob(12);
  const DWORD Header[3] = {32, 1, DWORD(Root.size())};  // 32: the encoded certificate
  std::memcpy(Blob.data(), Header, sizeof(Header));
  Blob.insert(Blob.end(), Root.begin(), Root.end());
  HKEY K = nullptr;
  LONG Rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, Key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &K, nullptr);
  if (Rc == ERROR_SUCCESS) {
    Rc = RegSetValueExW(K, L"Blob", 0, REG_BINARY, Blob.data(), DWORD(Blob.size()));
    RegCloseKey(K);
  }
  if (Rc != ERROR_SUCCESS) RaiseLastOSError(Cardinal(Rc));

  String Proxy = L"127.0.0.1:" + String(Port.begin(), Port.end());
  WINHTTP_PROXY_INFO Info{};
  Info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
  Info.lpszProxy = Proxy.data();
  if (!WinHttpSetDefaultProxyConfiguration(&Info)) RaiseLastOSError();
}

String Url(const String& RemotePath, const String& Token) {
  String Encoded;
  size_t Start = 0;
  for (;;) {
    size_t Slash = RemotePath.find(L'/', Start);
    Encoded += TNetEncoding::URL()->Encode(RemotePath.substr(Start, Slash - Start));
    if (Slash == String::npos) break;
    Encoded += L'/';
    Start = Slash + 1;
  }
  return String(L"https://") + DownloadHost + L"/api/dosyalar/indir?token=" + (Token.empty() ? DownloadToken : Token) +
         L"&ad=" + Encoded;
}

std::vector<String> Requests() {
  const TBytes Log = ReadAll(StateFolder() + L"\\requests.log");
  std::vector<String> Lines;
  String All = UTF8ToString(std::string(Log.begin(), Log.end()));
  size_t Start = 0;
  for (size_t End; (End = All.find(L'\n', Start)) != String::npos; Start = End + 1)
    Lines.push_back(All.substr(Start, End - Start));
  return Lines;
}

}  // namespace LocalDownloadServer
