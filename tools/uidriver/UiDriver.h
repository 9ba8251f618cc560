#pragma once
// Drives the windows of a running program through window messages, as an operator would: finds a
// window by its class and text, reads texts and states, clicks, types, presses keys and answers
// boxes. It works across processes (under Wine, between programs of one prefix) and needs nothing
// of the driven program. The wizard's tests and benchmarks use it; `uidrive.exe` offers the same
// on the command line (docs/uidriver.md).

#include <windows.h>

#include <string>
#include <vector>

namespace UiDriver {

// A selector names one window: segments joined by " > ", from a top-level window down through its
// descendants. A segment is `Class`, `Class:Text` or either followed by `#N`, the N-th match
// counted from 0 in depth-first order; `*` matches any class; the text is the whole window text.
//   "TfrmQalMain > TRadioGroup:Kurulum Tipi > TGroupButton: &Güncelleme"
//   "#32770 > Button:OK"
// A first segment matches top-level windows only, of ProcessId when it is not 0.
HWND Find(const std::wstring& Selector, DWORD ProcessId = 0);
// Find, tried again until the window exists and is visible; null after TimeoutMs.
HWND WaitFor(const std::wstring& Selector, DWORD ProcessId = 0, DWORD TimeoutMs = 10000);
// True once Window is gone or hidden, false after TimeoutMs.
bool WaitGone(HWND Window, DWORD TimeoutMs = 10000);

// Reading.
std::wstring ClassOf(HWND Window);
std::wstring Text(HWND Window);
bool Enabled(HWND Window);
// Visible on its own and through every parent.
bool Visible(HWND Window);
// A check box's or radio button's state: BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
int Checked(HWND Window);
// The text of panel Panel of a status bar as shown (without the tabs that align it); empty for a
// panel it does not have.
std::wstring StatusPanel(HWND StatusBar, int Panel);
// The texts of Window's windowed descendants in depth-first order (a system message box's
// message is among them).
std::vector<std::wstring> Texts(HWND Window);
// The window's rectangle on the screen.
RECT ScreenRect(HWND Window);

// Acting. Everything is posted, so that a handler which opens a modal box does not hold the driver.
// Presses a button, check box or radio button; false when it is disabled or hidden.
bool Click(HWND Window);
// Types Text character by character into the window.
void Type(HWND Window, const std::wstring& Text);
// Presses and releases one key (VK_F2, VK_RETURN, VK_ESCAPE...).
void Key(HWND Window, WORD VirtualKey);
// Alt+F4: the system menu's Close.
void AltF4(HWND Window);
// Waits for a top-level box of ProcessId matching BoxSelector ("#32770", "TMessageForm"...),
// presses its button whose text is ButtonText, and answers the box's texts (caption first);
// empty when no such box came within TimeoutMs.
std::vector<std::wstring> Answer(const std::wstring& BoxSelector, const std::wstring& ButtonText, DWORD ProcessId,
                                 DWORD TimeoutMs = 10000);

// The window's pixels as they are on the screen (needs a real screen), as a 24-bit BMP file.
bool CaptureToBmp(HWND Window, const std::wstring& FileName);

// A program started for driving; the process handle is closed when it is destroyed (the process
// goes on running).
class TProgram {
 public:
  TProgram() = default;
  TProgram(TProgram&& Other) noexcept;
  TProgram& operator=(TProgram&& Other) noexcept;
  ~TProgram();

  // Starts Exe with Arguments (the command line after the program's name) in Folder (empty: the
  // driver's own), with Environment ("NAME=VALUE" each) added to the driver's environment.
  // Raises std::runtime_error when the program cannot start.
  static TProgram Start(const std::wstring& Exe, const std::wstring& Arguments = L"",
                        const std::wstring& Folder = L"", const std::vector<std::wstring>& Environment = {});

  DWORD Id() const { return FId; }
  HANDLE Handle() const { return FProcess; }
  // Until the program waits for input with nothing to do (WaitForInputIdle).
  bool WaitIdle(DWORD TimeoutMs = 10000) const;
  // Until the program ends; false when it still runs after TimeoutMs.
  bool WaitExit(DWORD TimeoutMs = 10000) const;
  bool Running() const;
  DWORD ExitCode() const;
  // Ends a program that is still running.
  void Kill();

 private:
  HANDLE FProcess = nullptr;
  DWORD FId = 0;
};

}  // namespace UiDriver
