// Download and extraction figures, run by tools/bench/net-zip.sh under Wine:
//   net_zip_bench prepare STATE          trust the server's authority, point WinHTTP's proxy at it
//   net_zip_bench client URL FILE        TNetHTTPClient into a file stream
//   net_zip_bench minimal URL FILE       the plainest WinHTTP client: one request, 1 MB reads
//   net_zip_bench extract ZIP FOLDER     TZipFile::ExtractAll
//   net_zip_bench inflate ZIP -          every entry decompressed into no file
//   net_zip_bench floor ZIP FOLDER       the same files written from memory: the file system's part
// Each prints "<seconds> <peak private MB> <bytes>" on one line.
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/NetHTTPClient.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "framework/Zip.h"
#include "tests/framework/net/LocalDownloadServer.h"
// After windows.h, which they need.
#include <psapi.h>
#include <winhttp.h>

namespace {

double Seconds() {
  LARGE_INTEGER F, C;
  QueryPerformanceFrequency(&F);
  QueryPerformanceCounter(&C);
  return double(C.QuadPart) / double(F.QuadPart);
}

double PeakPrivateMB() {
  PROCESS_MEMORY_COUNTERS C{};
  C.cb = sizeof(C);
  GetProcessMemoryInfo(GetCurrentProcess(), &C, sizeof(C));
  return double(C.PeakPagefileUsage) / (1024.0 * 1024.0);
}

Int64 ClientDownload(const String& Url, const String& File) {
  TNetHTTPClient Client(nullptr);
  TFileStream Out(File, fmCreate);
  IHTTPResponsePtr R = Client.Get(Url, &Out);
  if (R->GetStatusCode() != 200) throw Exception(L"HTTP " + IntToStr(R->GetStatusCode()));
  return Out.GetSize();
}

Int64 MinimalDownload(const String& Url, const String& File) {
  URL_COMPONENTS P{};
  P.dwStructSize = sizeof(P);
  P.dwHostNameLength = P.dwUrlPathLength = P.dwExtraInfoLength = DWORD(-1);
  WinHttpCrackUrl(Url.c_str(), 0, 0, &P);
  String Host(P.lpszHostName, P.dwHostNameLength);
  String Path = String(P.lpszUrlPath, P.dwUrlPathLength) + String(P.lpszExtraInfo, P.dwExtraInfoLength);
  HINTERNET S = WinHttpOpen(L"bench", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, nullptr, nullptr, 0);
  HINTERNET C = WinHttpConnect(S, Host.c_str(), P.nPort, 0);
  HINTERNET R = WinHttpOpenRequest(C, L"GET", Path.c_str(), nullptr, nullptr, nullptr, WINHTTP_FLAG_SECURE);
  if (!R || !WinHttpSendRequest(R, nullptr, 0, nullptr, 0, 0, 0) || !WinHttpReceiveResponse(R, nullptr))
    RaiseLastOSError();
  HANDLE F = CreateFileW(File.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  std::vector<char> Buf(1024 * 1024);
  Int64 Total = 0;
  for (DWORD Got; WinHttpReadData(R, Buf.data(), DWORD(Buf.size()), &Got) && Got;) {
    DWORD W;
    WriteFile(F, Buf.data(), Got, &W, nullptr);
    Total += Got;
  }
  CloseHandle(F);
  WinHttpCloseHandle(R);
  WinHttpCloseHandle(C);
  WinHttpCloseHandle(S);
  return Total;
}

Int64 Extract(const String& Zip, const String& Folder) {
  TZipFile Z;
  Z.Open(Zip, zmRead);
  Z.ExtractAll(Folder);
  Int64 Total = 0;
  for (Integer I = 0; I < Z.GetFileCount(); ++I) Total += Int64(Z.GetFileInfo(I).UncompressedSize);
  return Total;
}

// Decompression alone, into no file: how much of an extraction is the file system's.
Int64 InflateOnly(const String& Zip) {
  TZipFile Z;
  Z.Open(Zip, zmRead);
  std::vector<Byte> Buffer(256 * 1024);
  Int64 Total = 0;
  for (Integer I = 0; I < Z.GetFileCount(); ++I) {
    TStream* S = nullptr;
    TZipHeader H;
    Z.Read(I, S, H);
    std::unique_ptr<TStream> Owned(S);
    for (Integer N; (N = S->Read(Buffer.data(), Integer(Buffer.size()))) > 0;) Total += N;
  }
  return Total;
}

// The platform's floor for an extraction: the same folders and files, of the same sizes, made with
// plain CreateFileW/WriteFile/CloseHandle from memory, without decompressing anything.
Int64 WriteFloor(const String& Zip, const String& Folder) {
  TZipFile Z;
  Z.Open(Zip, zmRead);
  std::vector<char> Zeros(256 * 1024);
  Int64 Total = 0;
  for (Integer I = 0; I < Z.GetFileCount(); ++I) {
    String Name = Z.GetFileName(I);
    for (auto& C : Name)
      if (C == L'/') C = L'\\';
    const String Path = IncludeTrailingPathDelimiter(Folder) + Name;
    ForceDirectories(ExtractFileDir(Path));
    HANDLE F = CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    for (UInt64 Left = Z.GetFileInfo(I).UncompressedSize; Left > 0;) {
      DWORD N = DWORD(Left < Zeros.size() ? Left : Zeros.size()), W = 0;
      WriteFile(F, Zeros.data(), N, &W, nullptr);
      Left -= N;
      Total += N;
    }
    CloseHandle(F);
  }
  return Total;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const String Mode = argv[1];
  try {
    if (Mode == L"prepare") {
      LocalDownloadServer::Prepare(argv[2]);
      return 0;
    }
    if (argc < 4) return 2;
    double T0 = Seconds();
    Int64 Bytes = Mode == L"client"    ? ClientDownload(argv[2], argv[3])
                  : Mode == L"minimal" ? MinimalDownload(argv[2], argv[3])
                  : Mode == L"extract" ? Extract(argv[2], argv[3])
                  : Mode == L"inflate" ? InflateOnly(argv[2])
                  : Mode == L"floor"   ? WriteFloor(argv[2], argv[3])
                                       : -1;
    double T = Seconds() - T0;
    std::printf("%.3f %.1f %lld\n", T, PeakPrivateMB(), static_cast<long long>(Bytes));
    return Bytes < 0 ? 2 : 0;
  } catch (const Exception& E) {
    std::fprintf(stderr, "%s\n", UTF8Encode(E.Message()).c_str());
    return 1;
  }
}
