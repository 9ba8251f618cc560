#pragma once
// What the wizard's process, service, firewall and server tests share: scratch folders, the
// stand-in programs beside the test program, UTF-8 files, and a main form to log to.

#include <gtest/gtest.h>

#include <winsvc.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "framework/Registry.h"
#include "framework/SysUtils.h"
#include "framework/WinShell.h"
#include "installer/QalMain.h"

namespace insttest {

// The folder of the test program, where the build puts the stand-ins.
inline String BinFolder() { return ExtractFilePath(ParamStr(0)); }

inline void RemoveTree(const String& Folder) {
  WIN32_FIND_DATAW Found;
  HANDLE Search = FindFirstFileW((Folder + L"\\*").c_str(), &Found);
  if (Search != INVALID_HANDLE_VALUE) {
    do {
      String Name = Found.cFileName;
      if (Name == L"." || Name == L"..") continue;
      String Full = Folder + L"\\" + Name;
      if ((Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(Found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        RemoveTree(Full);
      else if (Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveDirectoryW(Full.c_str());
      else
        DeleteFileW(Full.c_str());
    } while (FindNextFileW(Search, &Found));
    FindClose(Search);
  }
  RemoveDirectoryW(Folder.c_str());
}

// A new empty folder under the temporary folder, removed with what it holds when it goes.
class TScratchFolder {
 public:
  explicit TScratchFolder(const String& Tag) {
    static int Counter = 0;
    wchar_t Temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, Temp);
    FPath = String(Temp) + L"Qal-" + Tag + L"-" + IntToStr(Integer(GetCurrentProcessId())) + L"-" +
            IntToStr(Integer(++Counter));
    RemoveTree(FPath);
    CreateDirectoryW(FPath.c_str(), nullptr);
  }
  ~TScratchFolder() { RemoveTree(FPath); }
  const String& Path() const { return FPath; }
  String operator/(const String& Name) const { return FPath + L"\\" + Name; }

 private:
  String FPath;
};

inline std::string ReadBytes(const String& FileName) {
  std::ifstream In(FileName.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}
inline String ReadText(const String& FileName) { return UTF8ToString(ReadBytes(FileName)); }
inline void WriteText(const String& FileName, const String& Text) {
  std::ofstream Out(FileName.c_str(), std::ios::binary);
  Out << UTF8Encode(Text);
}

// The lines of a text, without their line ends; no empty last line.
inline std::vector<String> Lines(const String& Text) {
  std::vector<String> Result;
  size_t Start = 0;
  while (Start < Text.size()) {
    size_t End = Text.find(L'\n', Start);
    if (End == String::npos) End = Text.size();
    String Line = Text.substr(Start, End - Start);
    if (!Line.empty() && Line.back() == L'\r') Line.pop_back();
    Result.push_back(Line);
    Start = End + 1;
  }
  return Result;
}

// The user's desktop moved into a folder of the test (a new prefix links it to the Unix home),
// and put back afterwards.
class TTestDesktop {
 public:
  TTestDesktop() {
    wchar_t Temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, Temp);
    Folder = ExcludeTrailingPathDelimiter(Temp) + L"\\QalDesktop" + IntToStr(Integer(GetCurrentProcessId()));
    ForceDirectories(Folder);
    TRegistry R;
    R.OpenKey(Key, true);
    if (R.ValueExists(L"Desktop")) {
      FOld = R.ReadString(L"Desktop");
      FHadOld = true;
    }
    R.WriteExpandString(L"Desktop", Folder);
  }
  ~TTestDesktop() {
    TRegistry R;
    R.OpenKey(Key, true);
    if (FHadOld) R.WriteExpandString(L"Desktop", FOld);
    else R.DeleteValue(L"Desktop");
    Clear();
    RemoveDir(Folder);
  }
  TTestDesktop(const TTestDesktop&) = delete;
  TTestDesktop& operator=(const TTestDesktop&) = delete;
  // Empties the desktop.
  void Clear() {
    RemoveTree(Folder);
    ForceDirectories(Folder);
  }
  String Folder;

 private:
  static constexpr const wchar_t* Key = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  String FOld;
  bool FHadOld = false;
};

// The target of a shell link, empty when it cannot be read.
inline String LinkTarget(const String& LinkFile) {
  IShellLinkW* Link = nullptr;
  IPersistFile* File = nullptr;
  String Result;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&Link)))) {
    if (SUCCEEDED(Link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&File))) &&
        SUCCEEDED(File->Load(LinkFile.c_str(), STGM_READ))) {
      wchar_t Path[MAX_PATH] = {};
      if (SUCCEEDED(Link->GetPath(Path, MAX_PATH, nullptr, SLGP_RAWPATH))) Result = Path;
    }
    if (File) File->Release();
    Link->Release();
  }
  return Result;
}

// The Unix name of a Windows path under Wine; empty elsewhere.
inline std::string UnixName(const String& Path) {
  using TUnixName = char* (*)(const wchar_t*);
  auto Get = reinterpret_cast<TUnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* Name = Get ? Get(Path.c_str()) : nullptr;
  if (!Name) return std::string();
  std::string Result = Name;
  HeapFree(GetProcessHeap(), 0, Name);
  return Result;
}

// Runs a Unix program with two path arguments and waits until Done answers true.
inline bool RunUnix(const String& Program, const std::string& A, const std::string& B, const std::function<bool()>& Done) {
  String Command = Program + L" \"" + UTF8ToString(A) + L"\"" + (B.empty() ? L"" : L" \"" + UTF8ToString(B) + L"\"");
  STARTUPINFOW Startup{};
  Startup.cb = sizeof Startup;
  PROCESS_INFORMATION Info{};
  if (!CreateProcessW(nullptr, Command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup, &Info))
    return false;
  CloseHandle(Info.hThread);
  CloseHandle(Info.hProcess);
  // A Unix program's process handle may signal before the program has run.
  for (int Try = 0; Try < 250; ++Try) {
    if (Done()) return true;
    Sleep(20);
  }
  return false;
}

inline bool IsDirectoryLink(const String& Path) {
  DWORD Attributes = GetFileAttributesW(Path.c_str());
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Directory links to a target, made for a test and removed after it. Wine cannot make one from
// the Windows side, but shows a Unix symbolic link to a folder as a reparse point, as Windows
// shows a junction; nor can it remove one, so the links go the way they came.
class TDirectoryLinks {
 public:
  ~TDirectoryLinks() {
    for (const String& Link : FLinks)
      if (IsDirectoryLink(Link) && !RemoveDirectoryW(Link.c_str()))
        RunUnix(L"/bin/rm", UnixName(Link), "", [&] { return GetFileAttributesW(Link.c_str()) == INVALID_FILE_ATTRIBUTES; });
  }
  bool Make(const String& Link, const String& Target) {
    FLinks.push_back(Link);
    if (CreateSymbolicLinkW(Link.c_str(), Target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) && IsDirectoryLink(Link))
      return true;
    std::string Parent = UnixName(ExcludeTrailingPathDelimiter(ExtractFilePath(Link)));
    if (Parent.empty()) return false;
    return RunUnix(L"/bin/ln -s", UnixName(Target), Parent + "/" + UTF8Encode(ExtractFileName(Link)),
                   [&] { return IsDirectoryLink(Link); });
  }

 private:
  std::vector<String> FLinks;
};

// The stand-in program copied into Folder as Name ("Ingenico.exe"), behaving as Settings (the
// lines of its .standin file) ask; answers its path. It logs to the same name with ".log".
inline String PlaceStandin(const String& Folder, const String& Name, const String& Settings = L"") {
  String Target = Folder + L"\\" + Name;
  CopyFileW((BinFolder() + L"standin_program.exe").c_str(), Target.c_str(), FALSE);
  String Base = ChangeFileExt(Target, L"");
  if (!Settings.empty()) WriteText(Base + L".standin", Settings);
  return Target;
}
inline String StandinLog(const String& Program) { return ReadText(ChangeFileExt(Program, L".log")); }

// The log lines of the main form, with their time cut off: "- [hh:nn:ss] " is 13 characters.
inline std::vector<String> LogLines(TfrmQalMain* Form) {
  std::vector<String> Result;
  TStrings* L = Form->Memo1->GetLines();
  for (Integer I = 0; I < L->GetCount(); ++I) Result.push_back(L->GetStrings(I).substr(13));
  return Result;
}

// The wizard's main form as the program makes it, never shown (the start-up checks stay out),
// for the routines that log through it. The log file goes to a scratch folder's day.
class TMainFormTest : public testing::Test {
 protected:
  void SetUp() override {
    RegisterQalClasses();
    Application->SetTitle(QalTitle);
    Form = TComponent::Create<TfrmQalMain>(nullptr);
    SavedTick = QalTickCount;
    SavedPause = QalPause;
    SavedRestart = QalRestartWindows;
    SavedAddress = QalLocalAddress;
    SavedConnected = QalInternetConnected;
  }
  void TearDown() override {
    delete Form;
    QalTickCount = SavedTick;
    QalPause = SavedPause;
    QalRestartWindows = SavedRestart;
    QalLocalAddress = SavedAddress;
    QalInternetConnected = SavedConnected;
    DeleteFileW(GetLogFileName().c_str());
  }
  TfrmQalMain* Form = nullptr;

 private:
  TTickCountProc SavedTick;
  TPauseProc SavedPause;
  TRestartWindowsProc SavedRestart;
  TLocalAddressProc SavedAddress;
  TConnectedProc SavedConnected;
};

// A clock for the waits that moves Step milliseconds at every reading, and a pause that only
// counts: a minute of polling passes in a moment.
struct TFakeTime {
  static inline Cardinal Now = 0;
  static inline Cardinal Step = 0;
  static inline int Pauses = 0;
  static inline Cardinal Paused = 0;
  static void Install(Cardinal AStep) {
    Now = 1000;
    Step = AStep;
    Pauses = 0;
    Paused = 0;
    QalTickCount = [] { return Now += Step; };
    QalPause = [](Cardinal Ms) {
      ++Pauses;
      Paused += Ms;
    };
  }
};

// ---- Services of the test's Wine prefix ------------------------------------------------------

// Ends the service's process, stops and removes it; nothing when it is not installed.
inline void RemoveService(const String& Name) {
  SC_HANDLE Manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (SC_HANDLE Service = OpenServiceW(Manager, Name.c_str(), SERVICE_ALL_ACCESS)) {
    SERVICE_STATUS_PROCESS Status{};
    DWORD Needed = 0;
    if (QueryServiceStatusEx(Service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&Status), sizeof Status,
                             &Needed) &&
        Status.dwProcessId != 0) {
      if (HANDLE P = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, Status.dwProcessId)) {
        TerminateProcess(P, 0);
        WaitForSingleObject(P, 5000);
        CloseHandle(P);
      }
    }
    DeleteService(Service);
    CloseServiceHandle(Service);
    // The manager lets a deleted service go only when its process and handles are gone: under a
    // loaded machine that takes more than a few seconds, and a run that found it would skip it.
    for (int Try = 0; Try < 1500 && GetServiceState(L"", Name) != 0; ++Try) Sleep(20);
    EXPECT_EQ(GetServiceState(L"", Name), 0) << "the service " << Name.c_str() << " outlived its removal";
  }
  CloseServiceHandle(Manager);
}

// Starts the service and waits until it runs.
inline void StartTestService(const String& Name) {
  SC_HANDLE Manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE Service = OpenServiceW(Manager, Name.c_str(), SERVICE_START | SERVICE_QUERY_STATUS);
  StartServiceW(Service, 0, nullptr);
  for (int Try = 0; Try < 1500 && GetServiceState(L"", Name) != 4; ++Try) Sleep(20);
  EXPECT_EQ(GetServiceState(L"", Name), 4) << "the service " << Name.c_str() << " did not start";
  CloseServiceHandle(Service);
  CloseServiceHandle(Manager);
}

}  // namespace insttest
