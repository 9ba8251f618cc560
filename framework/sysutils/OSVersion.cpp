#include "framework/sysutils/OSVersion.h"

#include "framework/WinApi.h"

String SysErrorMessage(Cardinal ErrorCode) {
  wchar_t* Buf = nullptr;
  DWORD N = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                               FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           nullptr, ErrorCode, 0, reinterpret_cast<wchar_t*>(&Buf), 0, nullptr);
  String Msg;
  if (Buf) {
    Msg.assign(Buf, N);
    LocalFree(Buf);
  }
  while (!Msg.empty() && (Msg.back() <= L' ' || Msg.back() == L'.')) Msg.pop_back();
  return Msg;
}

namespace {

struct TVersionInfo {
  OSVERSIONINFOEXW V{};
  WORD Architecture = PROCESSOR_ARCHITECTURE_UNKNOWN;
};

const TVersionInfo& VersionInfo() {
  static const TVersionInfo Info = [] {
    TVersionInfo I;
    I.V.dwOSVersionInfoSize = sizeof(I.V);
    // RtlGetVersion reports the true version; GetVersionEx is capped for programs without a
    // compatibility manifest.
    using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    auto Get = reinterpret_cast<TRtlGetVersion>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (!Get || Get(&I.V) != 0) {
      I.V.dwOSVersionInfoSize = sizeof(I.V);
      GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&I.V));
    }
    SYSTEM_INFO SI{};
    GetNativeSystemInfo(&SI);
    I.Architecture = SI.wProcessorArchitecture;
    return I;
  }();
  return Info;
}

const OSVERSIONINFOEXW& V() { return VersionInfo().V; }

String SystemName() {
  const auto& I = V();
  bool Workstation = I.wProductType == VER_NT_WORKSTATION;
  DWORD Ma = I.dwMajorVersion, Mi = I.dwMinorVersion, B = I.dwBuildNumber;
  if (Ma == 5 && Mi == 0) return L"Windows 2000";
  if (Ma == 5 && Mi == 1) return L"Windows XP";
  if (Ma == 5 && Mi == 2) return Workstation ? L"Windows XP" : L"Windows Server 2003";
  if (Ma == 6 && Mi == 0) return Workstation ? L"Windows Vista" : L"Windows Server 2008";
  if (Ma == 6 && Mi == 1) return Workstation ? L"Windows 7" : L"Windows Server 2008 R2";
  if (Ma == 6 && Mi == 2) return Workstation ? L"Windows 8" : L"Windows Server 2012";
  if (Ma == 6 && Mi == 3) return Workstation ? L"Windows 8.1" : L"Windows Server 2012 R2";
  if (Ma == 10 && Mi == 0) {
    if (Workstation) return B >= 22000 ? L"Windows 11" : L"Windows 10";
    if (B >= 20348) return L"Windows Server 2022";
    if (B >= 17763) return L"Windows Server 2019";
    return L"Windows Server 2016";
  }
  return L"Windows";
}

TOSVersion::TArchitecture SystemArchitecture() {
  switch (VersionInfo().Architecture) {
    case PROCESSOR_ARCHITECTURE_AMD64: return TOSVersion::arIntelX64;
    case PROCESSOR_ARCHITECTURE_ARM: return TOSVersion::arARM32;
    case 12: return TOSVersion::arARM64;  // PROCESSOR_ARCHITECTURE_ARM64
    default: return TOSVersion::arIntelX86;
  }
}

}  // namespace

Integer Win32Platform = 0;
Integer Win32MajorVersion = 0;
Integer Win32MinorVersion = 0;
Integer Win32BuildNumber = 0;
String Win32CSDVersion __attribute__((init_priority(200)));

TOSVersion::TArchitecture TOSVersion::Architecture = TOSVersion::arIntelX86;
Integer TOSVersion::Build = 0;
Integer TOSVersion::Major = 0;
Integer TOSVersion::Minor = 0;
String TOSVersion::Name __attribute__((init_priority(200)));
TOSVersion::TPlatform TOSVersion::Platform = TOSVersion::pfWindows;
Integer TOSVersion::ServicePackMajor = 0;
Integer TOSVersion::ServicePackMinor = 0;

namespace {
// Fills the version globals before the rest of the program's globals are made, so that
// start-up code can test the version.
struct TVersionGlobals {
  TVersionGlobals() {
    const auto& I = V();
    Win32Platform = Integer(I.dwPlatformId);
    Win32MajorVersion = TOSVersion::Major = Integer(I.dwMajorVersion);
    Win32MinorVersion = TOSVersion::Minor = Integer(I.dwMinorVersion);
    Win32BuildNumber = TOSVersion::Build = Integer(I.dwBuildNumber);
    Win32CSDVersion = I.szCSDVersion;
    TOSVersion::ServicePackMajor = Integer(I.wServicePackMajor);
    TOSVersion::ServicePackMinor = Integer(I.wServicePackMinor);
    TOSVersion::Architecture = SystemArchitecture();
    TOSVersion::Name = SystemName();
  }
} VersionGlobals __attribute__((init_priority(201)));
}  // namespace

bool CheckWin32Version(Integer AMajor, Integer AMinor) {
  return Win32MajorVersion > AMajor || (Win32MajorVersion == AMajor && Win32MinorVersion >= AMinor);
}

bool TOSVersion::Check(Integer AMajor) { return Major >= AMajor; }

bool TOSVersion::Check(Integer AMajor, Integer AMinor) {
  return Major > AMajor || (Major == AMajor && Minor >= AMinor);
}

bool TOSVersion::Check(Integer AMajor, Integer AMinor, Integer AServicePackMajor) {
  return Major > AMajor || (Major == AMajor && (Minor > AMinor || (Minor == AMinor && ServicePackMajor >= AServicePackMajor)));
}

String TOSVersion::ToString() {
  String Edition = Architecture == arIntelX64 || Architecture == arARM64 ? L"64-bit Edition" : L"32-bit Edition";
  String R = Name;
  if (ServicePackMajor > 0) R += L" Service Pack " + std::to_wstring(ServicePackMajor);
  return R + L" (Version " + std::to_wstring(Major) + L"." + std::to_wstring(Minor) + L", Build " +
         std::to_wstring(Build) + L", " + Edition + L")";
}
