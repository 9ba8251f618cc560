#include "UiDriver.h"

#include <commctrl.h>

#include <cstdio>
#include <cwctype>
#include <stdexcept>
#include <utility>

namespace UiDriver {

namespace {

struct TSegment {
  std::wstring Class;  // "*" for any
  std::wstring Text;
  bool HasText = false;
  int Index = 0;
};

std::vector<TSegment> Parse(const std::wstring& Selector) {
  std::vector<TSegment> Result;
  const std::wstring Separator = L" > ";
  size_t Start = 0;
  while (true) {
    size_t End = Selector.find(Separator, Start);
    std::wstring Part = Selector.substr(Start, End == std::wstring::npos ? std::wstring::npos : End - Start);
    TSegment S;
    size_t Hash = Part.rfind(L'#');
    // "#32770" is a class name: an index needs something before its "#".
    if (Hash != std::wstring::npos && Hash > 0 && Hash + 1 < Part.size() &&
        Part.find_first_not_of(L"0123456789", Hash + 1) == std::wstring::npos) {
      S.Index = std::stoi(Part.substr(Hash + 1));
      Part.erase(Hash);
    }
    size_t Colon = Part.find(L':');
    if (Colon != std::wstring::npos) {
      S.Text = Part.substr(Colon + 1);
      S.HasText = true;
      Part.erase(Colon);
    }
    S.Class = Part;
    Result.push_back(S);
    if (End == std::wstring::npos) break;
    Start = End + Separator.size();
  }
  return Result;
}

bool Matches(HWND Window, const TSegment& S) {
  if (S.Class != L"*" && ClassOf(Window) != S.Class) return false;
  return !S.HasText || Text(Window) == S.Text;
}

// Depth-first through the descendants of Parent; Count counts the matches met so far.
HWND FindBelow(HWND Parent, const TSegment& S, int& Count) {
  for (HWND C = GetWindow(Parent, GW_CHILD); C; C = GetWindow(C, GW_HWNDNEXT)) {
    if (Matches(C, S) && Count++ == S.Index) return C;
    if (HWND Found = FindBelow(C, S, Count)) return Found;
  }
  return nullptr;
}

struct TTopSearch {
  const TSegment* Segment;
  DWORD ProcessId;
  int Count = 0;
  HWND Found = nullptr;
};

BOOL CALLBACK TopWindow(HWND Window, LPARAM Param) {
  auto* S = reinterpret_cast<TTopSearch*>(Param);
  if (S->ProcessId) {
    DWORD Owner = 0;
    GetWindowThreadProcessId(Window, &Owner);
    if (Owner != S->ProcessId) return TRUE;
  }
  if (!Matches(Window, *S->Segment) || S->Count++ != S->Segment->Index) return TRUE;
  S->Found = Window;
  return FALSE;
}

// Memory in the window's process for the messages whose answer comes through a pointer, which
// the system copies across processes for none but its own old messages.
class TRemoteBuffer {
 public:
  TRemoteBuffer(HWND Window, size_t Size) : FSize(Size) {
    DWORD Id = 0;
    GetWindowThreadProcessId(Window, &Id);
    FProcess = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, Id);
    if (FProcess) FAddress = VirtualAllocEx(FProcess, nullptr, Size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~TRemoteBuffer() {
    if (FAddress) VirtualFreeEx(FProcess, FAddress, 0, MEM_RELEASE);
    if (FProcess) CloseHandle(FProcess);
  }
  TRemoteBuffer(const TRemoteBuffer&) = delete;
  TRemoteBuffer& operator=(const TRemoteBuffer&) = delete;
  void* Address() const { return FAddress; }
  bool Read(void* Into) const {
    SIZE_T Done = 0;
    return FAddress && ReadProcessMemory(FProcess, FAddress, Into, FSize, &Done) && Done == FSize;
  }

 private:
  HANDLE FProcess = nullptr;
  void* FAddress = nullptr;
  size_t FSize;
};

void PostKey(HWND Window, UINT Down, UINT Up, WORD VirtualKey) {
  UINT Scan = MapVirtualKeyW(VirtualKey, MAPVK_VK_TO_VSC);
  PostMessageW(Window, Down, VirtualKey, LPARAM(1 | (Scan << 16)));
  PostMessageW(Window, Up, VirtualKey, LPARAM(1 | (Scan << 16) | (1u << 30) | (1u << 31)));
}

}  // namespace

HWND Find(const std::wstring& Selector, DWORD ProcessId) {
  std::vector<TSegment> Segments = Parse(Selector);
  TTopSearch Top{&Segments[0], ProcessId};
  EnumWindows(&TopWindow, reinterpret_cast<LPARAM>(&Top));
  HWND Current = Top.Found;
  for (size_t I = 1; Current && I < Segments.size(); ++I) {
    int Count = 0;
    Current = FindBelow(Current, Segments[I], Count);
  }
  return Current;
}

HWND WaitFor(const std::wstring& Selector, DWORD ProcessId, DWORD TimeoutMs) {
  DWORD Start = GetTickCount();
  while (true) {
    HWND W = Find(Selector, ProcessId);
    if (W && Visible(W)) return W;
    if (GetTickCount() - Start >= TimeoutMs) return nullptr;
    Sleep(10);
  }
}

bool WaitGone(HWND Window, DWORD TimeoutMs) {
  DWORD Start = GetTickCount();
  while (IsWindow(Window) && Visible(Window)) {
    if (GetTickCount() - Start >= TimeoutMs) return false;
    Sleep(10);
  }
  return true;
}

std::wstring ClassOf(HWND Window) {
  wchar_t Name[256] = {};
  int N = GetClassNameW(Window, Name, 256);
  return std::wstring(Name, size_t(N > 0 ? N : 0));
}

std::wstring Text(HWND Window) {
  // WM_GETTEXT is copied across processes by the system; a hung window gives up after a while.
  DWORD_PTR Length = 0;
  if (!SendMessageTimeoutW(Window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &Length)) return L"";
  std::wstring Result(size_t(Length) + 1, L'\0');
  DWORD_PTR Got = 0;
  if (!SendMessageTimeoutW(Window, WM_GETTEXT, WPARAM(Result.size()), reinterpret_cast<LPARAM>(Result.data()),
                           SMTO_ABORTIFHUNG, 5000, &Got))
    return L"";
  Result.resize(size_t(Got));
  return Result;
}

bool Enabled(HWND Window) { return IsWindowEnabled(Window) != FALSE; }

bool Visible(HWND Window) { return IsWindowVisible(Window) != FALSE; }

int Checked(HWND Window) { return int(SendMessageW(Window, BM_GETCHECK, 0, 0)); }

std::wstring StatusPanel(HWND StatusBar, int Panel) {
  LRESULT Info = SendMessageW(StatusBar, SB_GETTEXTLENGTHW, WPARAM(Panel), 0);
  size_t Length = LOWORD(Info);
  std::wstring Result(Length + 1, L'\0');
  TRemoteBuffer Buffer(StatusBar, Result.size() * sizeof(wchar_t));
  if (!Buffer.Address()) return L"";
  SendMessageW(StatusBar, SB_GETTEXTW, WPARAM(Panel), reinterpret_cast<LPARAM>(Buffer.Address()));
  if (!Buffer.Read(Result.data())) return L"";
  Result.resize(wcsnlen(Result.c_str(), Length));
  // One or two leading tabs centre or right-align the text; they are not shown.
  Result.erase(0, Result.find_first_not_of(L'\t') == std::wstring::npos ? Result.size() : Result.find_first_not_of(L'\t'));
  return Result;
}

std::vector<std::wstring> Texts(HWND Window) {
  std::vector<std::wstring> Result;
  struct TCollect {
    static void Below(HWND Parent, std::vector<std::wstring>& Into) {
      for (HWND C = GetWindow(Parent, GW_CHILD); C; C = GetWindow(C, GW_HWNDNEXT)) {
        std::wstring T = Text(C);
        if (!T.empty()) Into.push_back(T);
        Below(C, Into);
      }
    }
  };
  TCollect::Below(Window, Result);
  return Result;
}

RECT ScreenRect(HWND Window) {
  RECT R{};
  GetWindowRect(Window, &R);
  return R;
}

bool Click(HWND Window) {
  if (!Enabled(Window) || !Visible(Window)) return false;
  PostMessageW(Window, BM_CLICK, 0, 0);
  return true;
}

void Type(HWND Window, const std::wstring& Text) {
  for (wchar_t C : Text) PostMessageW(Window, WM_CHAR, WPARAM(C), 1);
}

void Key(HWND Window, WORD VirtualKey) { PostKey(Window, WM_KEYDOWN, WM_KEYUP, VirtualKey); }

void AltF4(HWND Window) { PostMessageW(Window, WM_SYSCOMMAND, SC_CLOSE, 0); }

std::vector<std::wstring> Answer(const std::wstring& BoxSelector, const std::wstring& ButtonText, DWORD ProcessId,
                                 DWORD TimeoutMs) {
  DWORD Start = GetTickCount();
  while (true) {
    HWND Box = Find(BoxSelector, ProcessId);
    HWND Button = Box && Visible(Box) ? Find(BoxSelector + L" > *:" + ButtonText, ProcessId) : nullptr;
    if (Button && Enabled(Button)) {
      // Read before the press: the box is gone soon after.
      std::vector<std::wstring> Result{Text(Box)};
      for (std::wstring& T : Texts(Box)) Result.push_back(std::move(T));
      if (Click(Button)) return Result;
    }
    if (GetTickCount() - Start >= TimeoutMs) return {};
    Sleep(10);
  }
}

bool CaptureToBmp(HWND Window, const std::wstring& FileName) {
  RECT R = ScreenRect(Window);
  int W = R.right - R.left, H = R.bottom - R.top;
  if (W <= 0 || H <= 0) return false;
  HDC Screen = GetDC(nullptr);
  HDC Memory = CreateCompatibleDC(Screen);
  BITMAPINFOHEADER Header{};
  Header.biSize = sizeof(Header);
  Header.biWidth = W;
  Header.biHeight = H;  // bottom-up, as a BMP file stores it
  Header.biPlanes = 1;
  Header.biBitCount = 24;
  Header.biCompression = BI_RGB;
  void* Bits = nullptr;
  HBITMAP Bitmap = CreateDIBSection(Screen, reinterpret_cast<BITMAPINFO*>(&Header), DIB_RGB_COLORS, &Bits, nullptr, 0);
  bool Done = false;
  if (Bitmap) {
    HGDIOBJ Old = SelectObject(Memory, Bitmap);
    Done = BitBlt(Memory, 0, 0, W, H, Screen, R.left, R.top, SRCCOPY) != FALSE;
    SelectObject(Memory, Old);
    GdiFlush();
  }
  if (Done) {
    DWORD Stride = DWORD((W * 3 + 3) & ~3);
    Header.biSizeImage = Stride * DWORD(H);
    BITMAPFILEHEADER File{};
    File.bfType = 0x4D42;
    File.bfOffBits = sizeof(File) + sizeof(Header);
    File.bfSize = File.bfOffBits + Header.biSizeImage;
    HANDLE Out = CreateFileW(FileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    Done = Out != INVALID_HANDLE_VALUE;
    if (Done) {
      DWORD N = 0;
      Done = WriteFile(Out, &File, sizeof(File), &N, nullptr) && WriteFile(Out, &Header, sizeof(Header), &N, nullptr) &&
             WriteFile(Out, Bits, Header.biSizeImage, &N, nullptr);
      CloseHandle(Out);
    }
  }
  if (Bitmap) DeleteObject(Bitmap);
  DeleteDC(Memory);
  ReleaseDC(nullptr, Screen);
  return Done;
}

// ---- Programs -----------------------------------------------------------------------------------

TProgram::TProgram(TProgram&& Other) noexcept
    : FProcess(std::exchange(Other.FProcess, nullptr)), FId(std::exchange(Other.FId, 0)) {}

TProgram& TProgram::operator=(TProgram&& Other) noexcept {
  if (this != &Other) {
    if (FProcess) CloseHandle(FProcess);
    FProcess = std::exchange(Other.FProcess, nullptr);
    FId = std::exchange(Other.FId, 0);
  }
  return *this;
}

TProgram::~TProgram() {
  if (FProcess) CloseHandle(FProcess);
}

TProgram TProgram::Start(const std::wstring& Exe, const std::wstring& Arguments, const std::wstring& Folder,
                         const std::vector<std::wstring>& Environment) {
  std::wstring CommandLine = L"\"" + Exe + L"\"";
  if (!Arguments.empty()) CommandLine += L" " + Arguments;
  // The driver's environment with the additions; a variable named again takes the new value.
  std::vector<std::wstring> Variables;
  if (wchar_t* Block = GetEnvironmentStringsW()) {
    for (wchar_t* P = Block; *P; P += wcslen(P) + 1) Variables.emplace_back(P);
    FreeEnvironmentStringsW(Block);
  }
  auto NameOf = [](const std::wstring& V) {
    std::wstring N = V.substr(0, V.find(L'=', 1));
    for (wchar_t& C : N) C = wchar_t(std::towupper(C));
    return N;
  };
  for (const std::wstring& Added : Environment) {
    std::erase_if(Variables, [&](const std::wstring& V) { return NameOf(V) == NameOf(Added); });
    Variables.push_back(Added);
  }
  std::wstring Block;
  for (const std::wstring& V : Variables) Block += V + L'\0';
  Block += L'\0';

  STARTUPINFOW Startup{};
  Startup.cb = sizeof(Startup);
  // No standard handles: a program left running must not hold the driver's output open.
  Startup.dwFlags = STARTF_USESTDHANDLES;
  PROCESS_INFORMATION Info{};
  if (!CreateProcessW(Exe.c_str(), CommandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      Block.data(), Folder.empty() ? nullptr : Folder.c_str(), &Startup, &Info))
    throw std::runtime_error("cannot start the program (error " + std::to_string(GetLastError()) + ")");
  CloseHandle(Info.hThread);
  TProgram P;
  P.FProcess = Info.hProcess;
  P.FId = Info.dwProcessId;
  return P;
}

bool TProgram::WaitIdle(DWORD TimeoutMs) const { return WaitForInputIdle(FProcess, TimeoutMs) == 0; }

bool TProgram::WaitExit(DWORD TimeoutMs) const { return WaitForSingleObject(FProcess, TimeoutMs) == WAIT_OBJECT_0; }

bool TProgram::Running() const { return FProcess && WaitForSingleObject(FProcess, 0) == WAIT_TIMEOUT; }

DWORD TProgram::ExitCode() const {
  DWORD Code = 0;
  GetExitCodeProcess(FProcess, &Code);
  return Code;
}

void TProgram::Kill() {
  if (Running()) {
    TerminateProcess(FProcess, 1);
    WaitForSingleObject(FProcess, 5000);
  }
}

}  // namespace UiDriver
