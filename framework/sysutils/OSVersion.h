#pragma once
// The running Windows: the system's error texts and its true version, read once at start
// (RtlGetVersion, which is not shimmed the way GetVersionEx is for programs without a manifest).

#include "framework/sysutils/FormatSettings.h"

// The system's message for an error code, without the trailing line break; empty for an
// unknown code.
String SysErrorMessage(Cardinal ErrorCode);

// Win32Platform is VER_PLATFORM_WIN32_NT (2) on every supported system.
extern Integer Win32Platform;
extern Integer Win32MajorVersion;
extern Integer Win32MinorVersion;
extern Integer Win32BuildNumber;
extern String Win32CSDVersion;  // "Service Pack 1", empty without one

// Whether the running version is at least AMajor.AMinor.
bool CheckWin32Version(Integer AMajor, Integer AMinor = 0);

// The running system, as the framework's TOSVersion record shows it.
struct TOSVersion {
  enum TArchitecture { arIntelX86, arIntelX64, arARM32, arARM64 };
  enum TPlatform { pfWindows, pfMacOS, pfiOS, pfAndroid, pfWinRT, pfLinux };

  static TArchitecture Architecture;
  static Integer Build;
  static Integer Major;
  static Integer Minor;
  static String Name;  // "Windows 7", "Windows 10", "Windows Server 2012"...
  static TPlatform Platform;
  static Integer ServicePackMajor;
  static Integer ServicePackMinor;

  static bool Check(Integer AMajor);
  static bool Check(Integer AMajor, Integer AMinor);
  static bool Check(Integer AMajor, Integer AMinor, Integer AServicePackMajor);
  // "Windows 7 Service Pack 1 (Version 6.1, Build 7601, 64-bit Edition)".
  static String ToString();
};
