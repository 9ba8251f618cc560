#include "framework/Forms.h"

#include "framework/Classes.h"
#include "framework/Dialogs.h"
#include "framework/controls/Internal.h"
#include "framework/themes/StyleManager.h"

using namespace fw_controls;

TApplication* Application = nullptr;

void FrameworkStartup() {
  if (Application) return;
  MainThreadID = GetCurrentThreadId();
  ControlCanvasHooks.GetDeviceContext = [](TControl* Control, HWND& WindowHandle) {
    return Control->GetDeviceContext(WindowHandle);
  };
  ControlCanvasHooks.UseRightToLeftReading = [](TControl* Control) { return Control->UseRightToLeftReading(); };
  Mouse = new TMouse;
  Screen = new TScreen(nullptr);
  Application = new TApplication(nullptr);
}

void FrameworkShutdown() {
  delete Application;
  Application = nullptr;
  delete Screen;
  Screen = nullptr;
  delete Mouse;
  Mouse = nullptr;
}

namespace {

constexpr UINT_PTR HintTimerID = 1;
const wchar_t* AppWindowClass = L"TApplication";

// The hint a control shows: its own, or the nearest parent's.
String HintOf(TControl* Control) {
  while (Control && Control->GetHint().empty()) Control = Control->GetParent();
  return Control ? Control->GetHint() : String();
}

// The control that shows a hint for Control: the first one up the chain whose hint is set.
TControl* HintControlOf(TControl* Control) {
  while (Control && Control->GetHint().empty()) Control = Control->GetParent();
  return Control && Control->GetShowHint() ? Control : nullptr;
}

}  // namespace

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {
  FHintWindowClass = THintWindow::StaticClass();
  FTitle = GetExeName();
  auto Dot = FTitle.rfind(L'.'), Slash = FTitle.find_last_of(L"\\/");
  FTitle = FTitle.substr(Slash == String::npos ? 0 : Slash + 1,
                         Dot == String::npos ? String::npos : Dot - (Slash == String::npos ? 0 : Slash + 1));
  WNDCLASSW WC{};
  WC.lpfnWndProc = AppWndProc;
  WC.hInstance = reinterpret_cast<HINSTANCE>(HInstance());
  WC.lpszClassName = AppWindowClass;
  WC.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  RegisterClassW(&WC);
  FHandle = CreateWindowExW(0, AppWindowClass, FTitle.c_str(),
                            WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                            GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr, nullptr,
                            WC.hInstance, nullptr);
  if (FHandle) SetWindowLongPtrW(FHandle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void TApplication::HookMainThread() {
  // Installed by the loop rather than the constructor: the application is made while the
  // program's globals are still being initialised, in no fixed order.
  if (WakeMainThread || GetCurrentThreadId() != MainThreadID) return;
  WakeMainThread = [this](TObject*) {
    if (FHandle) PostMessageW(FHandle, WM_NULL, 0, 0);
  };
  CheckSynchronize();  // requests made before the hook was in place
}

TApplication::~TApplication() {
  Destroying();
  WakeMainThread = nullptr;
  FHintWindow = nullptr;
  FHintControl = nullptr;
  // The forms go while the application window that owns theirs still exists.
  while (GetComponentCount() > 0) delete GetComponents(GetComponentCount() - 1);
  if (FHandle) {
    SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
    DestroyWindow(FHandle);
  }
}

void TApplication::Initialize() {}

String TApplication::GetExeName() const { return ParamStr(0); }

void TApplication::SetTitle(const String& Value) {
  FTitle = Value;
  if (FHandle) SetWindowTextW(FHandle, Value.c_str());
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
  inherited::Notification(AComponent, Operation);
}

void TApplication::SetMainForm(TCustomForm* Form) { FMainForm = Form; }

void TApplication::CreateForm(TClass InstanceClass, void* Reference) {
  TComponent* Instance = TClassRef<TComponent>(InstanceClass).Create(static_cast<TComponent*>(this));
  *static_cast<TComponent**>(Reference) = Instance;
  try {
    Instance->AfterConstruction();
  } catch (...) {
    *static_cast<TComponent**>(Reference) = nullptr;
    delete Instance;
    throw;
  }
  if (!FMainForm)
    if (auto* Form = dynamic_cast<TCustomForm*>(Instance)) {
      FMainForm = Form;
    }
}

// ---- The loop ---------------------------------------------------------------------------------

void TApplication::Run() {
  FRunning = true;
  if (FMainForm && FShowMainForm) {
    try {
      FMainForm->Show();
    } catch (...) {
      HandleException(this);
    }
  }
  while (!FTerminated) {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  }
  FRunning = false;
}

bool TApplication::ProcessMessage(MSG& Msg) {
  HookMainThread();
  if (!PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (Msg.message == WM_QUIT) {
    FTerminated = true;
    return true;
  }
  bool Handled = false;
  if (FOnMessage) {
    try {
      FOnMessage(Msg, Handled);
    } catch (...) {
      HandleException(this);
      Handled = true;
    }
  }
  if (FHintWindow && FHintWindow->GetVisible() && FHintWindow->IsHintMsg(Msg)) CancelHint();
  if (!Handled && !IsKeyMsg(Msg)) {
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
  }
  return true;
}

bool TApplication::IsKeyMsg(MSG& Msg) {
  if (Msg.message < WM_KEYFIRST || Msg.message > WM_KEYLAST) return false;
  HWND Wnd = GetCapture();
  if (!Wnd) Wnd = Msg.hwnd;
  TWinControl* Control = nullptr;
  while (Wnd && !(Control = FindControl(Wnd))) Wnd = GetParent(Wnd);
  if (!Control) return false;
  return Control->Perform(CN_BASE + Msg.message, Msg.wParam, Msg.lParam) != 0;
}

void TApplication::HandleMessage() {
  MSG Msg;
  if (!ProcessMessage(Msg)) Idle(Msg);
}

void TApplication::ProcessMessages() {
  MSG Msg;
  while (ProcessMessage(Msg)) {
  }
}

void TApplication::Idle(const MSG&) {
  DoMouseIdle();
  bool Done = true;
  try {
    if (FOnIdle) FOnIdle(this, Done);
  } catch (...) {
    HandleException(this);
  }
  for (int I = 0, N = Screen ? Screen->GetFormCount() : 0; I < N && I < Screen->GetFormCount(); ++I) {
    TCustomForm* F = Screen->GetForms(I);
    if (F->GetVisible()) F->InitiateAction();
  }
  FreeDeviceContexts();
  try {
    if (CheckSynchronize()) Done = false;
  } catch (...) {
    HandleException(this);
  }
  if (Done && !FTerminated) WaitMessage();
}

void TApplication::DoMouseIdle() {
  // Only a real move of the cursor changes the control under it; posted mouse messages keep theirs.
  POINT P;
  if (!GetCursorPos(&P)) return;
  if (P.x == FLastIdleCursorPos.X && P.y == FLastIdleCursorPos.Y) return;
  FLastIdleCursorPos = {P.x, P.y};
  if (GetCapture()) return;
  TControl* Target = FindDragTarget(FLastIdleCursorPos, true);
  SetMouseControl(Target);
  SetHint(GetLongHint(HintOf(Target)));
}

void TApplication::Terminate() { PostQuitMessage(0); }

// ---- Exceptions -------------------------------------------------------------------------------

void TApplication::HandleException(TObject* Sender) {
  // Called from inside window, timer and application procedures: what OnException or the
  // message box raise stays here, since nothing may unwind through the system's frames.
  try {
    if (HWND Capture = GetCapture()) SendMessageW(Capture, WM_CANCELMODE, 0, 0);
    std::exception_ptr Current = std::current_exception();
    if (!Current) return;
    try {
      std::rethrow_exception(Current);
    } catch (const EAbort&) {
    } catch (Exception& E) {
      Report(Sender, &E);
    } catch (const std::exception& E) {
      Exception Wrapped(UTF8ToString(E.what()));
      Report(Sender, &Wrapped);
    } catch (...) {
      Exception Wrapped(L"Unknown exception");
      Report(Sender, &Wrapped);
    }
  } catch (...) {
  }
}

void TApplication::Report(TObject* Sender, Exception* E) {
  TExceptionEvent Handler = FOnException;  // the handler may replace itself
  if (Handler)
    Handler(Sender, E);
  else
    ShowException(E);
}

void TApplication::ShowException(const Exception* E) {
  String Msg = E ? E->Message() : String();
  if (!Msg.empty() && Msg.back() > L'.') Msg += L'.';
  // A message form rather than the system's box, so the error speaks the user's language and
  // wears the active style like the rest of the program.
  std::unique_ptr<TForm> Box;
  try {
    Box.reset(CreateMessageDialog(Msg, mtError, {mbOK}));
  } catch (const Exception&) {
    MessageBox(Msg, FTitle, MB_OK | MB_ICONSTOP);  // no form can be made now: the system's box still tells
    return;
  }
  Box->SetCaption(FTitle);
  Box->ShowModal();
}

Integer TApplication::MessageBox(const String& Text, const String& Caption, Integer Flags) {
  HWND Owner = GetActiveWindow();
  if (!Owner && FMainForm && FMainForm->HandleAllocated()) Owner = FMainForm->GetHandle();
  if (!Owner) Owner = FHandle;
  return MessageBoxW(Owner, Text.c_str(), Caption.c_str(), UINT(Flags));
}

// ---- Hints ------------------------------------------------------------------------------------

void TApplication::SetShowHint(bool Value) {
  if (FShowHint == Value) return;
  FShowHint = Value;
  if (!Value) CancelHint();
}

void TApplication::SetHint(const String& Value) {
  if (FHint == Value) return;
  FHint = Value;
  try {
    DoEvent(FOnHint, this);
  } catch (...) {
    HandleException(this);
  }
}

void TApplication::StartHintTimer(Integer Value, Integer Mode) {
  StopHintTimer();
  FHintTimerMode = Mode;
  SetTimer(FHandle, HintTimerID, UINT(std::max(Value, 1)), nullptr);
}

void TApplication::StopHintTimer() {
  if (FHintTimerMode) KillTimer(FHandle, HintTimerID);
  FHintTimerMode = 0;
}

void TApplication::HintTimerExpired() {
  Integer Mode = FHintTimerMode;
  StopHintTimer();
  if (Mode == 1) {
    POINT P;
    GetCursorPos(&P);
    ActivateHint({P.x, P.y});
  } else if (Mode == 2) {
    HideHint();
  }
}

void TApplication::HintMouseMessage(TControl* Control, TMessage& Message) {
  // The status line follows the mouse whether or not hint windows are shown.
  SetHint(GetLongHint(HintOf(Control)));
  if (!FShowHint) return;
  TControl* Target = HintControlOf(Control);
  if (Target == FHintControl) return;
  bool WasActive = FHintActive;
  HideHint();
  FHintControl = Target;
  if (!Target) {
    FHintActive = false;
    return;
  }
  Integer Pause = WasActive ? FHintShortPause : FHintPause;
  Target->Perform(CM_HINTSHOWPAUSE, WasActive, LPARAM(&Pause));
  StartHintTimer(Pause, 1);
  (void)Message;
}

void TApplication::ActivateHint(const TPoint& CursorPos) {
  if (!FHintControl || !FShowHint) return;
  THintInfo Info;
  Info.HintControl = FHintControl;
  Info.HintWindowClass = FHintWindowClass;
  Info.HintPos = {CursorPos.X, CursorPos.Y + GetSystemMetrics(SM_CYCURSOR) / 2 + 4};
  Info.HintMaxWidth = Screen ? Screen->GetWidth() : 640;
  Info.HintColor = FHintColor;
  Info.CursorRect = FHintControl->GetClientRect();
  try {
    Info.CursorPos = FHintControl->ScreenToClient(CursorPos);
  } catch (const EInvalidOperation&) {
    Info.CursorPos = CursorPos;
  }
  Info.HideTimeout = FHintHidePause;
  Info.HintStr = GetShortHint(FHintControl->GetHint());
  if (FHintControl->Perform(CM_HINTSHOW, 0, LPARAM(&Info)) != 0 || Info.HintStr.empty()) {
    HideHint();
    return;
  }
  if (FHintWindow && Info.HintWindowClass && FHintWindow->ClassType() != static_cast<TClass>(Info.HintWindowClass)) {
    delete FHintWindow;
    FHintWindow = nullptr;
  }
  if (!FHintWindow) {
    THintWindowClass Cls = Info.HintWindowClass ? Info.HintWindowClass : THintWindowClass(THintWindow::StaticClass());
    FHintWindow = Cls.Create(static_cast<TComponent*>(this));
  }
  FHintCursorRect = Info.CursorRect;
  TRect R = FHintWindow->CalcHintRect(Info.HintMaxWidth, Info.HintStr, Info.HintData);
  OffsetRect(R, Info.HintPos.X, Info.HintPos.Y);
  FHintWindow->SetColor(Info.HintColor);
  FHintWindow->ActivateHintData(R, Info.HintStr, Info.HintData);
  FHintActive = true;
  if (Info.HideTimeout > 0) StartHintTimer(Info.HideTimeout, 2);
}

void TApplication::HideHint() {
  StopHintTimer();
  if (FHintWindow && FHintWindow->HandleAllocated()) FHintWindow->ReleaseHandle();
}

void TApplication::CancelHint() {
  HideHint();
  FHintActive = false;
  FHintControl = nullptr;
}

// ---- The application window -------------------------------------------------------------------

LRESULT CALLBACK TApplication::AppWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) noexcept {
  auto* App = reinterpret_cast<TApplication*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
  if (!App) return DefWindowProcW(Wnd, Msg, WParam, LParam);
  TMessage Message;
  Message.Msg = Msg;
  Message.WParam = WParam;
  Message.LParam = LParam;
  try {
    App->WndProc(Message);
  } catch (...) {
    App->HandleException(App);  // contains what its own handlers raise
  }
  return Message.Result;
}

void TApplication::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_TIMER:
      if (Message.WParam == HintTimerID) {
        HintTimerExpired();
        return;
      }
      break;
    case WM_NULL:
      CheckSynchronize();
      return;
    case WM_ACTIVATEAPP:
      FActive = Message.WParam != 0;
      if (!FActive) CancelHint();
      break;
    case WM_CLOSE:
      if (FMainForm) {
        FMainForm->Close();
        return;
      }
      break;
    case WM_ENDSESSION:
      if (Message.WParam) Terminate();
      break;
    case WM_THEMECHANGED:
      StyleServices()->UpdateThemes();  // the theme handles of the old theme are stale
      break;
    default:
      break;
  }
  Dispatch(&Message);
}

void TApplication::DefaultHandler(void* Message) {
  auto& M = *static_cast<TMessage*>(Message);
  if (FHandle) M.Result = DefWindowProcW(FHandle, M.Msg, M.WParam, M.LParam);
}
