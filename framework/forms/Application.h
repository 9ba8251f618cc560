#pragma once
// TApplication: the message loop (Run, HandleMessage, ProcessMessages), the hidden application
// window, the main form, the path every exception escaping a handler takes (HandleException),
// the hint timing, and the queue of calls from other threads (Synchronize and Queue).

#include "framework/controls/ControlTypes.h"

class TCustomForm;
class THintWindow;
struct THintInfo;

using TMessageEvent = Closure<void(MSG& Msg, bool& Handled)>;
using TIdleEvent = Closure<void(TObject* Sender, bool& Done)>;
using TExceptionEvent = Closure<void(TObject* Sender, Exception* E)>;
using THintWindowClass = TClassRef<THintWindow>;

// What a control may change before its hint shows (CM_HINTSHOW).
struct THintInfo {
  TControl* HintControl = nullptr;
  THintWindowClass HintWindowClass;
  TPoint HintPos;
  Integer HintMaxWidth = 0;
  Integer HintColor = 0;  // a TColor value
  TRect CursorRect;
  TPoint CursorPos;
  Integer ReshowTimeout = 0;
  Integer HideTimeout = 0;
  String HintStr;
  void* HintData = nullptr;
};
using PHintInfo = THintInfo*;

class TApplication : public TComponent {
  DECLARE_CLASS(TApplication, TComponent)
 public:
  explicit TApplication(TComponent* AOwner);
  ~TApplication() override;

  void Initialize();
  // Creates a form or data module of InstanceClass owned by the application; the first form
  // created becomes the main form.
  void CreateForm(TClass InstanceClass, void* Reference);
  template <class T>
  void CreateForm(T*& Reference) {
    CreateForm(T::StaticClass(), &Reference);
  }
  void Run();
  void HandleMessage();
  void ProcessMessages();
  // Asks the loop to end: posts the quit message; Terminated turns true when the loop reads it.
  void Terminate();
  bool GetTerminated() const { return FTerminated; }
  HWND GetHandle() const { return FHandle; }
  TCustomForm* GetMainForm() const { return FMainForm; }
  bool GetMainFormOnTaskbar() const { return FMainFormOnTaskbar; }
  void SetMainFormOnTaskbar(bool Value) { FMainFormOnTaskbar = Value; }
  bool GetShowMainForm() const { return FShowMainForm; }
  void SetShowMainForm(bool Value) { FShowMainForm = Value; }
  String GetTitle() const { return FTitle; }
  void SetTitle(const String& Value);
  String GetExeName() const;
  bool GetActive() const { return FActive; }

  // The exception being handled (call inside a catch): EAbort is silent, others go to
  // OnException or the standard error dialog. What those raise in turn is dropped: this runs
  // inside window procedures, which nothing may leave by an exception.
  void HandleException(TObject* Sender);
  // The error box: a message dialog (mtError, one OK button) captioned with the title.
  void ShowException(const Exception* E);
  Integer MessageBox(const String& Text, const String& Caption, Integer Flags = MB_OK);

  // Hints.
  bool GetShowHint() const { return FShowHint; }
  void SetShowHint(bool Value);
  String GetHint() const { return FHint; }
  void SetHint(const String& Value);
  Integer GetHintPause() const { return FHintPause; }
  void SetHintPause(Integer Value) { FHintPause = Value; }
  Integer GetHintShortPause() const { return FHintShortPause; }
  void SetHintShortPause(Integer Value) { FHintShortPause = Value; }
  Integer GetHintHidePause() const { return FHintHidePause; }
  void SetHintHidePause(Integer Value) { FHintHidePause = Value; }
  Integer GetHintColor() const { return FHintColor; }
  void SetHintColor(Integer Value) { FHintColor = Value; }
  THintWindowClass GetHintWindowClass() const { return FHintWindowClass; }
  void SetHintWindowClass(THintWindowClass Value) { FHintWindowClass = Value; }
  void CancelHint();
  void ActivateHint(const TPoint& CursorPos);
  void HideHint();
  void HintMouseMessage(TControl* Control, TMessage& Message);
  THintWindow* GetHintWindow() const { return FHintWindow; }

  TMessageEvent GetOnMessage() const { return FOnMessage; }
  void SetOnMessage(const TMessageEvent& Value) { FOnMessage = Value; }
  TIdleEvent GetOnIdle() const { return FOnIdle; }
  void SetOnIdle(const TIdleEvent& Value) { FOnIdle = Value; }
  TExceptionEvent GetOnException() const { return FOnException; }
  void SetOnException(const TExceptionEvent& Value) { FOnException = Value; }
  TNotifyEvent GetOnHint() const { return FOnHint; }
  void SetOnHint(const TNotifyEvent& Value) { FOnHint = Value; }

  // Internal: the form that the application's modal loops and window ownership refer to.
  void SetMainForm(TCustomForm* Form);
  void DefaultHandler(void* Message) override;
  bool ProcessMessage(MSG& Msg);
  bool IsKeyMsg(MSG& Msg);

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  virtual void Idle(const MSG& Msg);
  void DoMouseIdle();

 private:
  static LRESULT CALLBACK AppWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) noexcept;
  void Report(TObject* Sender, Exception* E);
  void WndProc(TMessage& Message);
  void HookMainThread();
  void StartHintTimer(Integer Value, Integer Mode);
  void StopHintTimer();
  void HintTimerExpired();

  HWND FHandle = nullptr;
  TComponentRef<TCustomForm> FMainForm;
  String FTitle;
  bool FTerminated = false;
  bool FMainFormOnTaskbar = false;
  bool FShowMainForm = true;
  bool FActive = true;
  bool FRunning = false;
  TPoint FLastIdleCursorPos{-100000, -100000};
  // Hints
  bool FShowHint = true;
  String FHint;
  Integer FHintPause = 500;
  Integer FHintShortPause = 50;
  Integer FHintHidePause = 2500;
  Integer FHintColor = clInfoBk;
  THintWindowClass FHintWindowClass;
  TComponentRef<THintWindow> FHintWindow;
  TComponentRef<TControl> FHintControl;
  TRect FHintCursorRect;
  bool FHintActive = false;
  Integer FHintTimerMode = 0;  // 0 none, 1 show, 2 hide
  TMessageEvent FOnMessage;
  TIdleEvent FOnIdle;
  TExceptionEvent FOnException;
  TNotifyEvent FOnHint;
};

extern TApplication* Application;

// The framework's start and end, called by the program's entry point (and the test main) around
// everything else, in this order:
//   start: the main thread's id, the control canvas hooks, Mouse, Screen, Application;
//   end:   Application (it frees the forms and data modules it owns, while the application
//          window theirs belong to still exists), Screen, Mouse.
// The framework's lists that a destructor may reach at exit are never freed, so nothing done by
// a static destructor after FrameworkShutdown finds them gone. Starting twice does nothing.
void FrameworkStartup();
void FrameworkShutdown();
