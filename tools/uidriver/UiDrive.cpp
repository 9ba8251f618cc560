// uidrive.exe: the UI driver on the command line, one action per run (docs/uidriver.md).
//   uidrive [--pid N] [--timeout MS] COMMAND ARGS...
// Prints what it read as UTF-8 lines; exits 0 on success, 1 when the window or box is not found or
// the action cannot be done, 2 on a wrong command line.

#include <cstdio>
#include <string>
#include <vector>

#include "UiDriver.h"

namespace {

void Print(const std::wstring& Line) {
  int N = WideCharToMultiByte(CP_UTF8, 0, Line.c_str(), int(Line.size()), nullptr, 0, nullptr, nullptr);
  std::string Bytes(size_t(N), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Line.c_str(), int(Line.size()), Bytes.data(), N, nullptr, nullptr);
  Bytes += '\n';
  DWORD Written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), Bytes.data(), DWORD(Bytes.size()), &Written, nullptr);
}

int Fail(const std::wstring& Why) {
  Print(L"uidrive: " + Why);
  return 1;
}

int Usage() {
  Print(L"usage: uidrive [--pid N] [--timeout MS] COMMAND ARGS...\n"
        L"  start EXE [ARGS...]          start a program, print its process id\n"
        L"  wait SELECTOR                wait until the window is shown\n"
        L"  gone SELECTOR                wait until the window is gone or hidden\n"
        L"  text SELECTOR                print the window text\n"
        L"  state SELECTOR               print enabled|disabled visible|hidden checked|unchecked|grayed\n"
        L"  panel SELECTOR N             print panel N of a status bar\n"
        L"  click SELECTOR               press a button, check box or radio button\n"
        L"  type SELECTOR TEXT           type TEXT into the window\n"
        L"  key SELECTOR KEY             press a key: F1..F12, Enter, Escape, Tab, Space, or one letter/digit\n"
        L"  close SELECTOR               Alt+F4\n"
        L"  answer BOX-SELECTOR BUTTON   wait for a box, press BUTTON, print the box's texts\n"
        L"  capture SELECTOR FILE.bmp    save the window's pixels (needs a real screen)");
  return 2;
}

WORD KeyCode(const std::wstring& Name) {
  if (Name.size() >= 2 && (Name[0] == L'F' || Name[0] == L'f')) {
    int N = _wtoi(Name.c_str() + 1);
    if (N >= 1 && N <= 12) return WORD(VK_F1 + N - 1);
  }
  if (Name == L"Enter") return VK_RETURN;
  if (Name == L"Escape") return VK_ESCAPE;
  if (Name == L"Tab") return VK_TAB;
  if (Name == L"Space") return VK_SPACE;
  if (Name.size() == 1 && iswalnum(Name[0])) return WORD(towupper(Name[0]));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> Args(argv + 1, argv + argc);
  DWORD Pid = 0, Timeout = 10000;
  while (Args.size() >= 2 && (Args[0] == L"--pid" || Args[0] == L"--timeout")) {
    (Args[0] == L"--pid" ? Pid : Timeout) = DWORD(_wtoi(Args[1].c_str()));
    Args.erase(Args.begin(), Args.begin() + 2);
  }
  if (Args.empty()) return Usage();
  const std::wstring Command = Args[0];
  auto Need = [&](size_t N) { return Args.size() == N + 1; };

  if (Command == L"start" && Args.size() >= 2) {
    std::wstring Rest;
    for (size_t I = 2; I < Args.size(); ++I) Rest += (I > 2 ? L" \"" : L"\"") + Args[I] + L"\"";
    try {
      UiDriver::TProgram P = UiDriver::TProgram::Start(Args[1], Rest);
      Print(std::to_wstring(P.Id()));
      return 0;
    } catch (const std::exception& E) {
      return Fail(L"cannot start " + Args[1]);
    }
  }
  if (Command == L"answer" && Need(2)) {
    std::vector<std::wstring> Texts = UiDriver::Answer(Args[1], Args[2], Pid, Timeout);
    if (Texts.empty()) return Fail(L"no box " + Args[1] + L" with " + Args[2]);
    for (const std::wstring& T : Texts) Print(T);
    return 0;
  }
  if (Args.size() < 2) return Usage();

  HWND W = UiDriver::WaitFor(Args[1], Pid, Command == L"gone" ? 0 : Timeout);
  if (Command == L"gone" && Need(1)) {
    if (!W) W = UiDriver::Find(Args[1], Pid);
    return !W || UiDriver::WaitGone(W, Timeout) ? 0 : Fail(L"still shown: " + Args[1]);
  }
  if (!W) {
    // A hidden window can still be read.
    W = UiDriver::Find(Args[1], Pid);
    if (!W || Command == L"wait") return Fail(L"no window " + Args[1]);
  }
  if (Command == L"wait" && Need(1)) return 0;
  if (Command == L"text" && Need(1)) {
    Print(UiDriver::Text(W));
    return 0;
  }
  if (Command == L"state" && Need(1)) {
    int C = UiDriver::Checked(W);
    Print(std::wstring(UiDriver::Enabled(W) ? L"enabled" : L"disabled") + (UiDriver::Visible(W) ? L" visible" : L" hidden") +
          (C == BST_CHECKED ? L" checked" : C == BST_INDETERMINATE ? L" grayed" : L" unchecked"));
    return 0;
  }
  if (Command == L"panel" && Need(2)) {
    Print(UiDriver::StatusPanel(W, _wtoi(Args[2].c_str())));
    return 0;
  }
  if (Command == L"click" && Need(1)) return UiDriver::Click(W) ? 0 : Fail(L"disabled or hidden: " + Args[1]);
  if (Command == L"type" && Need(2)) {
    UiDriver::Type(W, Args[2]);
    return 0;
  }
  if (Command == L"key" && Need(2)) {
    WORD K = KeyCode(Args[2]);
    if (!K) return Usage();
    UiDriver::Key(W, K);
    return 0;
  }
  if (Command == L"close" && Need(1)) {
    UiDriver::AltF4(W);
    return 0;
  }
  if (Command == L"capture" && Need(2)) return UiDriver::CaptureToBmp(W, Args[2]) ? 0 : Fail(L"cannot capture");
  return Usage();
}
