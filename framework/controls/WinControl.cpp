#include "framework/Controls.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "framework/Forms.h"
#include "framework/controls/Internal.h"
#include "framework/themes/StyleHooks.h"

using namespace fw_controls;

namespace {

// Which control each window of this process belongs to. (A window property would do, but under
// Wine every read of one is a round trip to the server, and each message of a control reads it.)
class TWindowControls {
 public:
  TWinControl* Find(HWND Wnd) {
    std::lock_guard<std::mutex> Guard(FLock);
    auto It = FMap.find(Wnd);
    return It == FMap.end() ? nullptr : It->second;
  }
  void Bind(HWND Wnd, TWinControl* Control) {
    std::lock_guard<std::mutex> Guard(FLock);
    FMap[Wnd] = Control;
  }
  void Unbind(HWND Wnd) {
    std::lock_guard<std::mutex> Guard(FLock);
    FMap.erase(Wnd);
  }

 private:
  std::mutex FLock;  // FindControl may be asked from any thread
  std::unordered_map<HWND, TWinControl*> FMap;
};
TWindowControls& WindowControls() {
  static auto* Map = new TWindowControls;  // windows may outlive static destruction
  return *Map;
}

// The control whose window is being created on this thread; it is bound on the first message.
thread_local TWinControl* CreationControl = nullptr;

struct TRegisteredClass {
  WNDPROC DefWndProc;
};
std::unordered_map<String, TRegisteredClass>& RegisteredClasses() {
  static auto* Map = new std::unordered_map<String, TRegisteredClass>;  // windows may outlive static destruction
  return *Map;
}

}  // namespace

PUBLISHED_DEF(TWinControl) {
  PROP(TabOrder);
  PROP(TabStop);
  PROP_READONLY(Padding);
  PROP(DoubleBuffered).Default(false);
  PROP(Ctl3D).Default(true);
  PROP(ParentCtl3D).Default(true);
  EVENT(OnEnter);
  EVENT(OnExit);
  EVENT(OnKeyDown);
  EVENT(OnKeyUp);
  EVENT(OnKeyPress);
}

// The one window procedure of every control window. Nothing may unwind through the system's
// frames: MainWndProc contains what the handlers raise, and anything left ends the program.
LRESULT CALLBACK TWinControl::StdWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) noexcept {
  auto* Control = WindowControls().Find(Wnd);
  if (!Control) {
    Control = CreationControl;
    if (!Control) return DefWindowProcW(Wnd, Msg, WParam, LParam);
    CreationControl = nullptr;
    WindowControls().Bind(Wnd, Control);
    Control->FHandle = Wnd;
  }
  TMessage Message;
  Message.Msg = Msg;
  Message.WParam = WParam;
  Message.LParam = LParam;
  TDispatchScope Scope(Control);
  Control->MainWndProc(Message);
  return Message.Result;
}

TWinControl* FindControl(HWND Handle) {
  if (!Handle) return nullptr;
  auto* C = WindowControls().Find(Handle);
  return C && IsLive(C) ? C : nullptr;
}

TWinControl::TWinControl(TComponent* AOwner)
    : TControl(AOwner), FPadding(std::make_unique<TPadding>(this)), FBrush(std::make_unique<TBrush>()) {
  FPadding->SetOnChange([this](TObject*) { Realign(); });
  FBrush->SetColor(FColor);
}

TWinControl* TWinControl::CreateParented(HWND ParentWindow) {
  auto* C = new TWinControl(nullptr);
  C->FParentWindow = ParentWindow;
  return C;
}

TWinControl::~TWinControl() {
  Teardown();
  if (FHandle) DestroyWindowHandle();
}

void TWinControl::DestroyContents() {
  if (TCustomForm* Form = GetParentForm(this)) Form->DefocusControl(this, true);
  // One DestroyWindow takes the whole tree of windows down (each child hears WM_NCDESTROY and
  // forgets its handle); the children are then freed with no window work and no layout.
  if (FHandle) DestroyWindowHandle();
  while (!FControls.empty()) delete FControls.back();
  inherited::DestroyContents();
}

void TWinControl::MainWndProc(TMessage& Message) {
  try {
    GetWindowProc()(Message);
  } catch (...) {
    HandleControlException(this);
  }
}

void TWinControl::GetChildren(TGetChildProc Proc, TComponent* Root) {
  for (TControl* C : FControls)
    if (C->GetOwner() == Root) Proc(C);
}

void TWinControl::SetChildOrder(TComponent* Child, Integer Order) {
  auto It = std::find(FControls.begin(), FControls.end(), Child);
  if (It == FControls.end() || Order < 0 || Order >= Integer(FControls.size())) return;
  TControl* C = *It;
  FControls.erase(It);
  FControls.insert(FControls.begin() + Order, C);
}

bool TWinControl::HasChild(TControl* Control) const {
  return std::find(FControls.begin(), FControls.end(), Control) != FControls.end();
}

void TWinControl::DefaultHandler(void* Message) {
  auto& M = *static_cast<TMessage*>(Message);
  // A system window asks its parent for colours; the parent reflects the question here, and the
  // control's font colour and brush answer it.
  if (M.Msg >= CN_CTLCOLORMSGBOX && M.Msg <= CN_CTLCOLORSTATIC) {
    HDC DC = reinterpret_cast<HDC>(M.WParam);
    ::SetTextColor(DC, ColorToRGB(FFont->GetColor()));
    ::SetBkColor(DC, ColorToRGB(FBrush->GetColor()));
    M.Result = LRESULT(FBrush->GetHandle());
    return;
  }
  if (!FHandle) {
    inherited::DefaultHandler(Message);
    return;
  }
  if (M.Msg == WM_CONTEXTMENU && FParent) {
    M.Result = FParent->Perform(M.Msg, M.WParam, M.LParam);
    if (M.Result) return;
  }
  M.Result = CallWindowProcW(FDefWndProc ? FDefWndProc : DefWindowProcW, FHandle, M.Msg, M.WParam, M.LParam);
}

bool TWinControl::DoHandleStyleMessage(TMessage& Message) {
  Cardinal Generation = TStyleManager::Generation();
  if (FStyleHookGeneration != Generation || FStyleHookClass != ClassType()) {
    // A hook inside one of its own handlers is kept until it returns.
    if (FStyleHook && FStyleHook->Busy()) return false;
    FStyleHookGeneration = Generation;
    FStyleHookClass = ClassType();
    FStyleHook.reset();
    if (TStyleManager::IsCustomStyleActive() && !GetComponentState().Contains(csDestroying))
      if (TStyleHookClass Hook = TStyleManager::Engine()->FindStyleHook(ClassType())) FStyleHook.reset(Hook.Create(this));
  }
  return FStyleHook && FStyleHook->HandleMessage(Message);
}

void TWinControl::WndProc(TMessage& Message) {
  if (DoHandleStyleMessage(Message)) return;
  switch (Message.Msg) {
    case WM_SETFOCUS:
      if (TCustomForm* Form = GetParentForm(this))
        if (!Form->SetFocusedControl(this)) return;
      break;
    case WM_KILLFOCUS:
      if (FControlState.Contains(csFocusing)) return;
      break;
    case WM_CANCELMODE:
      if (GetCapture() == FHandle && CaptureControl && CaptureControl->GetParent() == this)
        CaptureControl->Perform(WM_CANCELMODE);
      break;
    default:
      if (Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST && Message.Msg != WM_MOUSEWHEEL) {
        auto& Mouse = reinterpret_cast<TWMMouse&>(Message);
        if (Message.Msg == WM_MOUSEMOVE && !GetCapture()) {
          TControl* Over = ControlAtPos(TPoint(Mouse.XPos, Mouse.YPos), false);
          SetMouseControl(Over ? Over : this);
        }
        if (IsControlMouseMsg(Mouse)) {
          if (Message.Result == 0 && FHandle) DefWindowProcW(FHandle, Message.Msg, Message.WParam, Message.LParam);
          return;
        }
      }
      break;
  }
  inherited::WndProc(Message);
}

bool TWinControl::IsControlMouseMsg(TWMMouse& Message) {
  TControl* Control = nullptr;
  TPoint P(Message.XPos, Message.YPos);
  if (GetCapture() == FHandle) {
    if (CaptureControl && CaptureControl->GetParent() == this) Control = CaptureControl;
  } else {
    Control = ControlAtPos(P, false);
  }
  if (!Control) return false;
  P = TPoint(P.X - Control->GetLeft(), P.Y - Control->GetTop());
  Message.Result = Control->Perform(Message.Msg, WPARAM(Message.Keys), PointToLParam(P));
  return true;
}

// ---- Window life --------------------------------------------------------------------------------

HWND TWinControl::GetHandle() {
  HandleNeeded();
  return FHandle;
}

void TWinControl::HandleNeeded() {
  if (FHandle) return;
  if (FParent) FParent->HandleNeeded();
  CreateHandle();
}

void TWinControl::CreateParams(TCreateParams& Params) {
  Params = TCreateParams();
  Params.Caption = FText;
  Params.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (FControlStyle.Contains(csAcceptsControls)) Params.Style |= WS_CLIPCHILDREN;
  if (!FEnabled) Params.Style |= WS_DISABLED;
  if (FTabStop) Params.Style |= WS_TABSTOP;
  Params.X = FLeft;
  Params.Y = FTop;
  Params.Width = FWidth;
  Params.Height = FHeight;
  if (FParent)
    Params.WndParent = FParent->GetHandle();
  else
    Params.WndParent = FParentWindow;
  Params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  Params.WindowClass.lpfnWndProc = DefWindowProcW;
  static const HCURSOR Arrow = LoadCursorW(nullptr, IDC_ARROW);  // a shared cursor: one load serves all
  Params.WindowClass.hCursor = Arrow;
  Params.WindowClass.hbrBackground = nullptr;
  Params.WindowClass.hInstance = reinterpret_cast<HINSTANCE>(HInstance());
  String Name = ClassName();
  wcsncpy(Params.WinClassName, Name.c_str(), 63);
}

void TWinControl::CreateSubClass(TCreateParams& Params, const wchar_t* ControlClassName) {
  WNDCLASSW Saved = Params.WindowClass;
  if (!GetClassInfoW(nullptr, ControlClassName, &Params.WindowClass) &&
      !GetClassInfoW(reinterpret_cast<HINSTANCE>(HInstance()), ControlClassName, &Params.WindowClass))
    throw EOutOfResources(L"Cannot find the window class %s", {String(ControlClassName)});
  Params.WindowClass.hInstance = Saved.hInstance;
  Params.WindowClass.style &= ~(CS_OWNDC | CS_CLASSDC | CS_PARENTDC | CS_GLOBALCLASS);
  Params.WindowClass.style |= Saved.style & CS_DBLCLKS;
}

void TWinControl::CreateWnd() {
  TCreateParams Params;
  CreateParams(Params);
  if (!Params.WndParent && (Params.Style & WS_CHILD))
    throw EInvalidOperation(L"Control '%s' has no parent window", {GetName()});
  auto& Classes = RegisteredClasses();
  auto It = Classes.find(Params.WinClassName);
  if (It == Classes.end()) {
    WNDCLASSW WC = Params.WindowClass;
    WNDPROC Default = WC.lpfnWndProc ? WC.lpfnWndProc : DefWindowProcW;
    WC.lpfnWndProc = StdWndProc;
    WC.lpszClassName = Params.WinClassName;
    WNDCLASSW Existing;
    if (!GetClassInfoW(WC.hInstance, Params.WinClassName, &Existing) && !RegisterClassW(&WC))
      RaiseLastOSError();
    It = Classes.emplace(Params.WinClassName, TRegisteredClass{Default}).first;
  }
  FDefWndProc = It->second.DefWndProc;
  CreateWindowHandle(Params);
  if (!FHandle) RaiseLastOSError();
}

void TWinControl::CreateWindowHandle(const TCreateParams& Params) {
  CreationControl = this;
  HWND Wnd = CreateWindowExW(Params.ExStyle, Params.WinClassName, Params.Caption.c_str(), Params.Style, Params.X,
                             Params.Y, Params.Width, Params.Height, Params.WndParent, nullptr,
                             Params.WindowClass.hInstance, Params.Param);
  CreationControl = nullptr;
  if (Wnd && !FHandle) {
    WindowControls().Bind(Wnd, this);
    FHandle = Wnd;
  }
}

void TWinControl::CreateHandle() {
  if (FHandle) return;
  FControlState << csCreating;
  try {
    CreateWnd();
  } catch (...) {
    FControlState >> csCreating;
    throw;
  }
  FControlState >> csCreating;
  SendMessageW(FHandle, WM_SETFONT, WPARAM(FFont->GetHandle()), 0);
  if (FParent) {
    // Keep the window's place among its siblings (tab and z order follow the child list).
    SetWindowPos(FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  UpdateBounds();
  for (TControl* C : std::vector<TControl*>(FControls))
    if (auto* W = dynamic_cast<TWinControl*>(C)) W->HandleNeeded();
  Realign();
  UpdateShowing();
}

void TWinControl::DestroyWnd() {
  // Keep the text the window held, for the next window.
  Integer Len = GetWindowTextLengthW(FHandle);
  String S(Len + 1, L'\0');
  Integer N = GetWindowTextW(FHandle, S.data(), Len + 1);
  S.resize(std::max(0, N));
  FText = S;
  DestroyWindowHandle();
}

void TWinControl::DestroyWindowHandle() {
  FControlState << csDestroyingHandle;
  HWND Wnd = FHandle;
  if (Wnd && IsWindow(Wnd)) DestroyWindow(Wnd);
  if (Wnd) WindowControls().Unbind(Wnd);
  FHandle = nullptr;
  FShowing = false;
  FControlState >> csDestroyingHandle;
}

void TWinControl::DestroyHandle() {
  if (!FHandle) return;
  for (TControl* C : FControls)
    if (auto* W = dynamic_cast<TWinControl*>(C)) W->DestroyHandle();
  DestroyWnd();
}

void TWinControl::RecreateWnd() {
  if (FHandle) Perform(CM_RECREATEWND);
}

void TWinControl::CMRecreateWnd(TMessage&) {
  if (!FHandle) return;
  bool WasFocused = Focused();
  FControlState << csRecreating;
  DestroyHandle();
  FControlState >> csRecreating;
  HandleNeeded();
  if (WasFocused && CanFocus()) ::SetFocus(FHandle);
}

void TWinControl::SetParentWindow(HWND Value) {
  if (FParent || FParentWindow == Value) return;
  FParentWindow = Value;
  if (FHandle) {
    if (Value)
      ::SetParent(FHandle, Value);
    else
      DestroyHandle();
  }
}

void TWinControl::WMNCDestroy(TWMNoParams& Message) {
  inherited::Dispatch(&Message);
  if (FHandle) WindowControls().Unbind(FHandle);
  FHandle = nullptr;
  FShowing = false;
}

// ---- Showing --------------------------------------------------------------------------------

void TWinControl::UpdateShowing() {
  bool Showing = FVisible && (!FParent || FParent->FShowing) && !GetComponentState().Contains(csDestroying);
  if (Showing) HandleNeeded();
  if (!FHandle) return;
  bool Changed = Showing != FShowing;
  FShowing = Showing;
  // A child's handler may free a sibling, or this control: each child still here is updated once.
  TDispatchScope Scope(this);
  std::vector<TControl*> List(FControls);
  Cardinal Removals = FRemovals;
  for (TControl* C : List) {
    if (FRemovals != Removals && !HasChild(C)) continue;
    if (auto* W = dynamic_cast<TWinControl*>(C)) W->UpdateShowing();
    if (Scope.Deleted()) return;
  }
  if (Changed) Perform(CM_SHOWINGCHANGED);
}

void TWinControl::CMShowingChanged(TMessage&) { ShowWindow(FHandle, FShowing ? SW_SHOWNOACTIVATE : SW_HIDE); }

void TWinControl::CMVisibleChanged(TMessage& Message) {
  if (!GetComponentState().Contains(csLoading) && (!FParent || FParent->FHandle)) UpdateShowing();
  if (!FVisible)
    if (TCustomForm* Form = GetParentForm(this)) Form->DefocusControl(this, false);
  inherited::Dispatch(&Message);
}

void TWinControl::CMEnabledChanged(TMessage& Message) {
  if (!FEnabled && FParent)
    if (TCustomForm* Form = GetParentForm(this)) Form->DefocusControl(this, false);
  if (FHandle) EnableWindow(FHandle, FEnabled);
  inherited::Dispatch(&Message);
}

void TWinControl::CMShowHintChanged(TMessage& Message) {
  NotifyControls(CM_PARENTSHOWHINTCHANGED);
  inherited::Dispatch(&Message);
}

void TWinControl::CMBiDiModeChanged(TMessage& Message) {
  NotifyControls(CM_PARENTBIDIMODECHANGED);
  inherited::Dispatch(&Message);
}

// ---- Children ---------------------------------------------------------------------------------

void TWinControl::InsertControl(TControl* AControl) {
  Perform(CM_CONTROLLISTCHANGE, WPARAM(AControl), 1);
  FControls.push_back(AControl);
  AControl->FParent = this;
  if (auto* W = dynamic_cast<TWinControl*>(AControl)) {
    FTabList.push_back(W);
    if (W->FHandle && FHandle) ::SetParent(W->FHandle, FHandle);
    if (FHandle) W->UpdateShowing();
  }
  AControl->FAnchorRulesValid = false;
  if (FHandle && !GetComponentState().Contains(csLoading)) AControl->UpdateAnchorRules();
  AControl->Perform(CM_PARENTSHOWHINTCHANGED);
  Perform(CM_CONTROLCHANGE, WPARAM(AControl), 1);
  AControl->RequestAlign();
  AControl->Invalidate();
}

void TWinControl::RemoveControl(TControl* AControl) {
  auto It = std::find(FControls.begin(), FControls.end(), AControl);
  if (It == FControls.end()) return;
  Perform(CM_CONTROLCHANGE, WPARAM(AControl), 0);
  if (TCustomForm* Form = GetParentForm(this)) Form->DefocusControl(AControl, true);
  if (GetMouseControl() == AControl) SetMouseControl(nullptr);
  if (CaptureControl == AControl) SetCaptureControl(nullptr);
  AControl->Invalidate();
  FControls.erase(std::find(FControls.begin(), FControls.end(), AControl));
  ++FRemovals;
  if (auto* W = dynamic_cast<TWinControl*>(AControl)) {
    FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), W), FTabList.end());
    if (W->FHandle && !GetComponentState().Contains(csDestroying)) W->DestroyHandle();
  }
  AControl->FParent = nullptr;
  Perform(CM_CONTROLLISTCHANGE, WPARAM(AControl), 0);
  Realign();
}

bool TWinControl::ContainsControl(TControl* Control) const {
  while (Control && Control != this) Control = Control->GetParent();
  return Control == this;
}

TControl* TWinControl::ControlAtPos(const TPoint& Pos, bool AllowDisabled, bool AllowWinControls, bool AllLevels) {
  for (auto It = FControls.rbegin(); It != FControls.rend(); ++It) {
    TControl* C = *It;
    bool IsWin = dynamic_cast<TWinControl*>(C) != nullptr;
    if (IsWin && !AllowWinControls) continue;
    if (!C->GetVisible() || (!AllowDisabled && !C->GetEnabled())) continue;
    TPoint P(Pos.X - C->GetLeft(), Pos.Y - C->GetTop());
    if (!Rect(0, 0, C->GetWidth(), C->GetHeight()).Contains(P)) continue;
    if (C->Perform(CM_HITTEST, 0, PointToLParam(P)) == 0) continue;
    if (AllLevels && IsWin)
      if (TControl* Inner = static_cast<TWinControl*>(C)->ControlAtPos(P, AllowDisabled, true, true)) return Inner;
    return C;
  }
  return nullptr;
}

TWinControl* TWinControl::FindChildControl(const String& ControlName) const {
  for (TControl* C : FControls)
    if (auto* W = dynamic_cast<TWinControl*>(C); W && SameIdent(W->GetName(), ControlName)) return W;
  return nullptr;
}

void TWinControl::Broadcast(TMessage& Message) {
  // A child's handler may free a sibling, or this control: each child still here hears it once.
  TDispatchScope Scope(this);
  std::vector<TControl*> List(FControls);
  Cardinal Removals = FRemovals;
  for (TControl* C : List) {
    if (FRemovals != Removals && !HasChild(C)) continue;
    C->GetWindowProc()(Message);
    if (Scope.Deleted() || Message.Result != 0) return;
  }
}

void TWinControl::NotifyControls(Cardinal Msg) {
  TMessage M;
  M.Msg = Msg;
  Broadcast(M);
}

// ---- Bounds and alignment --------------------------------------------------------------------

TRect TWinControl::GetClientRect() {
  if (!FHandle && !FParent && !FParentWindow && !dynamic_cast<TCustomForm*>(this))
    return Rect(0, 0, FWidth, FHeight);
  RECT R;
  ::GetClientRect(GetHandle(), &R);
  return Rect(R.left, R.top, R.right, R.bottom);
}

TPoint TWinControl::GetClientOrigin() {
  POINT P{0, 0};
  ::ClientToScreen(GetHandle(), &P);
  return {P.x, P.y};
}

void TWinControl::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  ApplyConstraints(AWidth, AHeight);
  if ((AWidth != FWidth || AHeight != FHeight) && !CanResize(AWidth, AHeight)) {
    AWidth = FWidth;
    AHeight = FHeight;
  }
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  bool Resized = AWidth != FWidth || AHeight != FHeight;
  if (FHandle && !IsIconic(FHandle)) {
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    SetWindowPos(FHandle, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateBounds();
    if (Resized) {
      Realign();
      Resize();
    }
  } else {
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (Resized) Resize();
  }
  if (!FLayoutMove) {
    UpdateAnchorRules();
    RequestAlign();
  }
}

void TWinControl::UpdateBounds() {
  if (!FHandle || IsIconic(FHandle)) return;
  RECT R;
  GetWindowRect(FHandle, &R);
  if (GetWindowLongW(FHandle, GWL_STYLE) & WS_CHILD) {
    HWND ParentWnd = ::GetParent(FHandle);
    if (ParentWnd) MapWindowPoints(HWND_DESKTOP, ParentWnd, reinterpret_cast<POINT*>(&R), 2);
  }
  WindowRectToBounds(R);
  Integer W = R.right - R.left, H = R.bottom - R.top;
  bool Resized = W != FWidth || H != FHeight;
  FLeft = R.left;
  FTop = R.top;
  FWidth = W;
  FHeight = H;
  if (Resized) {
    Realign();
    Resize();
  }
}

void TWinControl::WMWindowPosChanged(TWMWindowPosChanged& Message) {
  inherited::Dispatch(&Message);
  UpdateBounds();
}

void TWinControl::WMSize(TWMSize& Message) {
  inherited::Dispatch(&Message);
  UpdateBounds();
}

void TWinControl::SetClientSize(const TSize& Value) {
  if (!FHandle && !FParent) {
    FPendingClientSize = Value;
    return;
  }
  inherited::SetClientSize(Value);
}

void TWinControl::AdjustClientRect(TRect& Rect) {
  Rect.Left += FPadding->GetLeft();
  Rect.Top += FPadding->GetTop();
  Rect.Right -= FPadding->GetRight();
  Rect.Bottom -= FPadding->GetBottom();
}

void TWinControl::DisableAlign() { ++FAlignLevel; }

void TWinControl::EnableAlign() {
  if (--FAlignLevel == 0 && FControlState.Contains(csAlignmentNeeded)) Realign();
}

void TWinControl::Realign() { AlignControl(nullptr); }

void TWinControl::AlignControl(TControl* AControl) {
  if (!FHandle || GetComponentState().Contains(csDestroying)) return;
  if (FAlignLevel != 0 || GetComponentState().Contains(csLoading)) {
    FControlState << csAlignmentNeeded;
    return;
  }
  DisableAlign();
  try {
    TRect R = GetClientRect();
    AdjustClientRect(R);
    AlignControls(AControl, R);
  } catch (...) {
    FControlState >> csAlignmentNeeded;
    --FAlignLevel;
    throw;
  }
  FControlState >> csAlignmentNeeded;
  --FAlignLevel;
}

void TWinControl::AlignControls(TControl* AControl, TRect& Rect) {
  FControlState << csAligning;
  TRect Client = GetClientRect();
  // Anchored controls follow the parent's client size from the size their rules were set at.
  for (TControl* C : FControls) {
    if (C->FAlign != alNone) continue;
    if (!C->FAnchorRulesValid) {
      C->FAnchorOrigin = C->GetBoundsRect();
      C->FOriginalParentSize = {Client.Width(), Client.Height()};
      C->FAnchorRulesValid = true;
      continue;
    }
    if (C->FAnchors == TAnchors{akLeft, akTop}) continue;
    const TRect& O = C->FAnchorOrigin;
    Integer DX = Client.Width() - C->FOriginalParentSize.cx, DY = Client.Height() - C->FOriginalParentSize.cy;
    Integer L = O.Left, T = O.Top, W = O.Width(), H = O.Height();
    if (C->FAnchors.Contains(akRight)) {
      if (C->FAnchors.Contains(akLeft)) W += DX; else L += DX;
    } else if (!C->FAnchors.Contains(akLeft) && C->FOriginalParentSize.cx > 0) {
      L = MulDiv(O.Left + O.Width() / 2, Client.Width(), C->FOriginalParentSize.cx) - W / 2;
    }
    if (C->FAnchors.Contains(akBottom)) {
      if (C->FAnchors.Contains(akTop)) H += DY; else T += DY;
    } else if (!C->FAnchors.Contains(akTop) && C->FOriginalParentSize.cy > 0) {
      T = MulDiv(O.Top + O.Height() / 2, Client.Height(), C->FOriginalParentSize.cy) - H / 2;
    }
    C->SetBoundsByLayout(L, T, std::max(0, W), std::max(0, H));
  }
  // Aligned controls take their side of what is left, in order of their position on that side.
  auto Position = [](TControl* C, TAlign A) {
    switch (A) {
      case alTop: return C->FTop;
      case alBottom: return -(C->FTop + C->FHeight);
      case alLeft: return C->FLeft;
      case alRight: return -(C->FLeft + C->FWidth);
      default: return 0;
    }
  };
  for (TAlign A : {alTop, alBottom, alLeft, alRight, alClient}) {
    std::vector<TControl*> List;
    for (TControl* C : FControls)
      if (C->FAlign == A && C->FVisible) List.push_back(C);
    std::stable_sort(List.begin(), List.end(), [&](TControl* X, TControl* Y) {
      Integer PX = Position(X, A), PY = Position(Y, A);
      if (PX == PY) return X == AControl && Y != AControl;
      return PX < PY;
    });
    for (TControl* C : List) {
      Integer ML = 0, MT = 0, MR = 0, MB = 0;
      if (C->FAlignWithMargins) {
        ML = C->FMargins->GetLeft();
        MT = C->FMargins->GetTop();
        MR = C->FMargins->GetRight();
        MB = C->FMargins->GetBottom();
      }
      Integer W = C->FWidth, H = C->FHeight;
      Integer L = 0, T = 0;
      switch (A) {
        case alTop:
          L = Rect.Left + ML; T = Rect.Top + MT; W = Rect.Width() - ML - MR;
          break;
        case alBottom:
          L = Rect.Left + ML; T = Rect.Bottom - MB - H; W = Rect.Width() - ML - MR;
          break;
        case alLeft:
          L = Rect.Left + ML; T = Rect.Top + MT; H = Rect.Height() - MT - MB;
          break;
        case alRight:
          L = Rect.Right - MR - W; T = Rect.Top + MT; H = Rect.Height() - MT - MB;
          break;
        default:
          L = Rect.Left + ML; T = Rect.Top + MT; W = Rect.Width() - ML - MR; H = Rect.Height() - MT - MB;
          break;
      }
      C->SetBoundsByLayout(L, T, std::max(0, W), std::max(0, H));
      switch (A) {
        case alTop: Rect.Top = C->FTop + C->FHeight + MB; break;
        case alBottom: Rect.Bottom = C->FTop - MT; break;
        case alLeft: Rect.Left = C->FLeft + C->FWidth + MR; break;
        case alRight: Rect.Right = C->FLeft - ML; break;
        default: break;
      }
    }
  }
  FControlState >> csAligning;
}

void TWinControl::SetZOrder(bool TopMost) {
  inherited::SetZOrder(TopMost);
  if (FHandle) SetWindowPos(FHandle, TopMost ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::ChangeScale(Integer M, Integer D, bool IsDpiChange) {
  DisableAlign();
  try {
    for (TControl* C : FControls) C->ChangeScale(M, D, IsDpiChange);
    inherited::ChangeScale(M, D, IsDpiChange);
  } catch (...) {
    EnableAlign();
    throw;
  }
  EnableAlign();
}

void TWinControl::Loaded() {
  inherited::Loaded();
  if (FHandle) Realign();
}

// ---- Focus and tab order ----------------------------------------------------------------------

// The chain up to the form only: a form that is not shown yet (OnCreate) may still be given its
// active control, which takes the focus when the form shows.
bool TWinControl::CanFocus() {
  TCustomForm* Form = GetParentForm(this);
  if (!Form) return false;
  for (TControl* C = this; C != Form; C = C->GetParent())
    if (!C->GetVisible() || !C->GetEnabled()) return false;
  return true;
}

bool TWinControl::Focused() { return FHandle && GetFocus() == FHandle; }

void TWinControl::SetFocus() {
  if (TCustomForm* Form = GetParentForm(this))
    Form->FocusControl(this);
  else if (FParentWindow)
    ::SetFocus(GetHandle());
  else
    ValidParentForm(this);
}

Integer TWinControl::GetTabOrder() const {
  if (!FParent) return -1;
  auto& L = FParent->FTabList;
  auto It = std::find(L.begin(), L.end(), this);
  return It == L.end() ? -1 : Integer(It - L.begin());
}

void TWinControl::SetTabOrder(Integer Value) {
  if (!FParent) return;
  auto& L = FParent->FTabList;
  auto It = std::find(L.begin(), L.end(), this);
  if (It == L.end()) return;
  L.erase(It);
  if (Value < 0 || Value > Integer(L.size())) Value = Integer(L.size());
  L.insert(L.begin() + Value, this);
  Perform(CM_TABSTOPCHANGED);
}

void TWinControl::SetTabStop(bool Value) {
  if (FTabStop == Value) return;
  FTabStop = Value;
  if (FHandle) {
    LONG Style = GetWindowLongW(FHandle, GWL_STYLE);
    SetWindowLongW(FHandle, GWL_STYLE, Value ? (Style | WS_TABSTOP) : (Style & ~WS_TABSTOP));
  }
  Perform(CM_TABSTOPCHANGED);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) {
  for (TWinControl* W : FTabList) {
    List.push_back(W);
    W->GetTabOrderList(List);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop, bool CheckParent) {
  std::vector<TWinControl*> List;
  GetTabOrderList(List);
  if (List.empty()) return nullptr;
  Integer Count = Integer(List.size());
  auto It = std::find(List.begin(), List.end(), CurControl);
  Integer Start = It == List.end() ? (GoForward ? Count - 1 : 0) : Integer(It - List.begin());
  Integer I = Start;
  do {
    I = GoForward ? (I + 1) % Count : (I - 1 + Count) % Count;
    TWinControl* C = List[I];
    if (C == CurControl) break;
    if (C->CanFocus() && (!CheckTabStop || C->FTabStop) && (!CheckParent || C->FParent == this)) return C;
  } while (I != Start);
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
  if (TWinControl* Next = FindNextControl(CurControl, GoForward, CheckTabStop, !CheckTabStop)) Next->SetFocus();
}

void TWinControl::WMSetFocus(TWMSetFocus& Message) { inherited::Dispatch(&Message); }

void TWinControl::WMKillFocus(TWMKillFocus& Message) { inherited::Dispatch(&Message); }

void TWinControl::CMEnter(TCMEnter& Message) {
  DoEnter();
  inherited::Dispatch(&Message);
}

void TWinControl::CMExit(TCMExit& Message) {
  DoExit();
  inherited::Dispatch(&Message);
}

void TWinControl::DoEnter() { DoEvent(FOnEnter, this); }
void TWinControl::DoExit() { DoEvent(FOnExit, this); }

void TWinControl::CMFocusChanged(TCMFocusChanged& Message) { Broadcast(reinterpret_cast<TMessage&>(Message)); }

// ---- Keyboard -----------------------------------------------------------------------------------

bool TWinControl::DoKeyDown(TWMKey& Message) {
  TCustomForm* Form = GetParentForm(this);
  // The form's handler may free this control: then the key counts as consumed.
  TDispatchScope Scope(this);
  if (Form && Form != this && Form->GetKeyPreview() && static_cast<TWinControl*>(Form)->DoKeyDown(Message)) return true;
  if (Scope.Deleted()) return true;
  if (!FControlStyle.Contains(csNoStdEvents)) {
    TShiftState Shift = KeyDataToShiftState(Message.KeyData);
    Word Key = Message.CharCode;
    KeyDown(Key, Shift);
    Message.CharCode = Key;
    if (Key == 0) return true;
  }
  return false;
}

bool TWinControl::DoKeyUp(TWMKey& Message) {
  TCustomForm* Form = GetParentForm(this);
  // The form's handler may free this control: then the key counts as consumed.
  TDispatchScope Scope(this);
  if (Form && Form != this && Form->GetKeyPreview() && static_cast<TWinControl*>(Form)->DoKeyUp(Message)) return true;
  if (Scope.Deleted()) return true;
  if (!FControlStyle.Contains(csNoStdEvents)) {
    Word Key = Message.CharCode;
    KeyUp(Key, KeyDataToShiftState(Message.KeyData));
    Message.CharCode = Key;
    if (Key == 0) return true;
  }
  return false;
}

bool TWinControl::DoKeyPress(TWMKey& Message) {
  TCustomForm* Form = GetParentForm(this);
  // The form's handler may free this control: then the key counts as consumed.
  TDispatchScope Scope(this);
  if (Form && Form != this && Form->GetKeyPreview() && static_cast<TWinControl*>(Form)->DoKeyPress(Message)) return true;
  if (Scope.Deleted()) return true;
  if (!FControlStyle.Contains(csNoStdEvents)) {
    Char Ch = Char(Message.CharCode);
    KeyPress(Ch);
    Message.CharCode = Word(Ch);
    if (Ch == 0) return true;
  }
  return false;
}

void TWinControl::KeyDown(Word& Key, TShiftState Shift) {
  if (FOnKeyDown) FOnKeyDown(this, Key, Shift);
}
void TWinControl::KeyUp(Word& Key, TShiftState Shift) {
  if (FOnKeyUp) FOnKeyUp(this, Key, Shift);
}
void TWinControl::KeyPress(Char& Key) {
  if (FOnKeyPress) FOnKeyPress(this, Key);
}

void TWinControl::WMKeyDown(TWMKeyDown& Message) {
  TDispatchScope Scope(this);
  if (!DoKeyDown(Message) && !Scope.Deleted()) inherited::Dispatch(&Message);
}
void TWinControl::WMSysKeyDown(TWMSysKeyDown& Message) {
  TDispatchScope Scope(this);
  if (!DoKeyDown(Message) && !Scope.Deleted()) inherited::Dispatch(&Message);
}
void TWinControl::WMKeyUp(TWMKeyUp& Message) {
  TDispatchScope Scope(this);
  if (DoKeyUp(Message) || Scope.Deleted()) return;
  // The context-menu key opens the control's menu at the control, as Shift+F10 does.
  if (Message.CharCode == VK_APPS && FHandle) {
    Perform(WM_CONTEXTMENU, WPARAM(FHandle), MAKELPARAM(-1, -1));
    return;
  }
  inherited::Dispatch(&Message);
}
void TWinControl::WMSysKeyUp(TWMSysKeyUp& Message) {
  TDispatchScope Scope(this);
  if (!DoKeyUp(Message) && !Scope.Deleted()) inherited::Dispatch(&Message);
}
void TWinControl::WMChar(TWMChar& Message) {
  TDispatchScope Scope(this);
  if (!DoKeyPress(Message) && !Scope.Deleted()) inherited::Dispatch(&Message);
}

bool TWinControl::IsMenuKey(TWMKey& Message) {
  if (GetComponentState().Contains(csDesigning)) return false;
  TShiftState Shift = KeyDataToShiftState(Message.KeyData);
  for (TControl* C = this; C; C = C->GetParent())
    if (TPopupMenu* Menu = C->GetPopupMenu(); Menu && Menu->IsShortCut(Message.CharCode, Shift)) return true;
  TCustomForm* Form = GetParentForm(this);
  return Form && Form->IsShortCut(Message);
}

void TWinControl::CNKeyDown(TWMKeyDown& Message) {
  Message.Result = 1;
  {
    TDispatchScope Scope(this);  // the item's handler may free this control
    if (IsMenuKey(Message) || Scope.Deleted()) return;
  }
  if (Perform(CM_CHILDKEY, Message.CharCode, LPARAM(this)) != 0) return;
  LRESULT Mask = 0;
  switch (Message.CharCode) {
    case VK_TAB: Mask = DLGC_WANTTAB; break;
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: Mask = DLGC_WANTARROWS; break;
    case VK_RETURN: case VK_EXECUTE: case VK_ESCAPE: case VK_CANCEL: Mask = DLGC_WANTALLKEYS; break;
  }
  if (Mask != 0 && Perform(CM_WANTSPECIALKEY, Message.CharCode, Message.KeyData) == 0 &&
      (Perform(WM_GETDLGCODE) & Mask) == 0) {
    if (TCustomForm* Form = GetParentForm(this))
      if (Form->Perform(CM_DIALOGKEY, Message.CharCode, Message.KeyData) != 0) return;
  }
  Message.Result = 0;
}

void TWinControl::CNChar(TWMChar& Message) {
  Message.Result = 0;
  if ((Perform(WM_GETDLGCODE) & DLGC_WANTCHARS) == 0)
    if (TCustomForm* Form = GetParentForm(this))
      if (Form->Perform(CM_DIALOGCHAR, Message.CharCode, Message.KeyData) != 0) Message.Result = 1;
}

// Alt+letter reaches the accelerators of the whole form, whatever the focused control wants.
void TWinControl::CNSysChar(TWMChar& Message) {
  Message.Result = 0;
  if (Message.CharCode == VK_SPACE) return;
  if (TCustomForm* Form = GetParentForm(this))
    if (Form->Perform(CM_DIALOGCHAR, Message.CharCode, Message.KeyData) != 0) Message.Result = 1;
}

void TWinControl::CMChildKey(TCMChildKey& Message) {
  if (FParent) FParent->GetWindowProc()(reinterpret_cast<TMessage&>(Message));
}

void TWinControl::CMDialogKey(TCMDialogKey& Message) { Broadcast(reinterpret_cast<TMessage&>(Message)); }

void TWinControl::CMDialogChar(TCMDialogChar& Message) { Broadcast(reinterpret_cast<TMessage&>(Message)); }

void TWinControl::WMMouseWheel(TWMMouseWheel& Message) {
  TShiftState Shift = KeysToShiftState(Message.Keys);
  LRESULT R = Perform(CM_MOUSEWHEEL, WPARAM(Word(Shift.ToInt())) | (WPARAM(Word(Message.WheelDelta)) << 16),
                      MAKELPARAM(Word(Message.XPos), Word(Message.YPos)));
  if (R == 0) inherited::Dispatch(&Message);
  else Message.Result = R;
}

void TWinControl::WMMouseLeave(TMessage& Message) {
  TControl* M = GetMouseControl();
  if (M == this || (M && M->GetParent() == this && !dynamic_cast<TWinControl*>(M))) SetMouseControl(nullptr);
  inherited::Dispatch(&Message);
}

void TWinControl::WMSetCursor(TWMSetCursor& Message) {
  if (Message.CursorWnd == FHandle && Message.HitTest == HTCLIENT) {
    TCursor Cursor = crDefault;
    TControl* Control = nullptr;
    if (Screen) Cursor = Screen->GetCursor();
    if (Cursor == crDefault) {
      POINT P;
      GetCursorPos(&P);
      Control = ControlAtPos(ScreenToClient(TPoint(P.x, P.y)), false);
      Cursor = Control ? Control->GetCursor() : FCursor;
    }
    if (Cursor != crDefault && Screen) {
      ::SetCursor(Screen->GetCursors(Cursor));
      Message.Result = 1;
      return;
    }
  }
  inherited::Dispatch(&Message);
}

// ---- Reflection -------------------------------------------------------------------------------

void TWinControl::ReflectNotification(HWND Child, TMessage& Message) {
  if (TWinControl* C = FindControl(Child); C && C != this) {
    Message.Result = C->Perform(Message.Msg + CN_BASE, Message.WParam, Message.LParam);
    return;
  }
  inherited::Dispatch(&Message);
}

void TWinControl::WMCommand(TWMCommand& Message) { ReflectNotification(Message.Ctl, reinterpret_cast<TMessage&>(Message)); }
void TWinControl::WMNotify(TWMNotify& Message) {
  ReflectNotification(Message.NMHdr ? Message.NMHdr->hwndFrom : nullptr, reinterpret_cast<TMessage&>(Message));
}
void TWinControl::WMHScroll(TWMHScroll& Message) { ReflectNotification(Message.ScrollBar, reinterpret_cast<TMessage&>(Message)); }
void TWinControl::WMVScroll(TWMVScroll& Message) { ReflectNotification(Message.ScrollBar, reinterpret_cast<TMessage&>(Message)); }
void TWinControl::WMCtlColor(TWMCtlColor& Message) {
  // The inner windows of a system control (a combo box's edit and list) ask the control itself.
  if (FDefWndProc && FDefWndProc != DefWindowProcW && Message.ChildWnd && !FindControl(Message.ChildWnd) &&
      (::GetParent(Message.ChildWnd) == FHandle || GetWindow(Message.ChildWnd, GW_OWNER) == FHandle)) {
    Message.Result = Perform(Message.Msg + CN_BASE, WPARAM(Message.ChildDC), LPARAM(Message.ChildWnd));
    return;
  }
  ReflectNotification(Message.ChildWnd, reinterpret_cast<TMessage&>(Message));
}
void TWinControl::WMDrawItem(TWMDrawItem& Message) {
  ReflectNotification(Message.DrawItemStruct ? Message.DrawItemStruct->hwndItem : nullptr, reinterpret_cast<TMessage&>(Message));
}
void TWinControl::WMMeasureItem(TWMMeasureItem& Message) {
  HWND Child = Message.IDCtl && FHandle ? GetDlgItem(FHandle, Integer(Message.IDCtl)) : nullptr;
  ReflectNotification(Child, reinterpret_cast<TMessage&>(Message));
}

// ---- Painting ---------------------------------------------------------------------------------

void TWinControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, !FControlStyle.Contains(csOpaque));
}

void TWinControl::Update() {
  if (FHandle) UpdateWindow(FHandle);
}

void TWinControl::Repaint() {
  Invalidate();
  Update();
}

void TWinControl::PaintWindow(HDC DC) {
  TMessage M;
  M.Msg = WM_PAINT;
  M.WParam = WPARAM(DC);
  DefaultHandler(&M);
}

void TWinControl::PaintControls(HDC DC, TControl* First) {
  auto It = First ? std::find(FControls.begin(), FControls.end(), First) : FControls.begin();
  for (; It != FControls.end(); ++It) {
    TControl* C = *It;
    if (dynamic_cast<TWinControl*>(C) || !C->GetVisible()) continue;
    RECT R{C->GetLeft(), C->GetTop(), C->GetLeft() + C->GetWidth(), C->GetTop() + C->GetHeight()};
    if (!RectVisible(DC, &R)) continue;
    Integer Saved = SaveDC(DC);
    MoveWindowOrg(DC, C->GetLeft(), C->GetTop());
    IntersectClipRect(DC, 0, 0, C->GetWidth(), C->GetHeight());
    C->Perform(WM_PAINT, WPARAM(DC));
    RestoreDC(DC, Saved);
  }
}

namespace {
// An off-screen copy of a window's client area for double-buffered painting.
struct TPaintBuffer {
  HDC DC;
  HBITMAP Bitmap;
  HGDIOBJ Old;
  TPaintBuffer(HDC Target, Integer W, Integer H)
      : DC(CreateCompatibleDC(Target)), Bitmap(CreateCompatibleBitmap(Target, std::max(W, 1), std::max(H, 1))),
        Old(SelectObject(DC, Bitmap)) {}
  ~TPaintBuffer() {
    SelectObject(DC, Old);
    DeleteObject(Bitmap);
    DeleteDC(DC);
  }
};
}  // namespace

void TWinControl::PaintHandler(TWMPaint& Message) {
  if (FDoubleBuffered && !Message.DC) {
    // Erase and paint into a bitmap, then copy it once: the window never shows the bare background.
    PAINTSTRUCT PS;
    HDC DC = BeginPaint(FHandle, &PS);
    try {
      RECT CR;
      ::GetClientRect(FHandle, &CR);
      TPaintBuffer Buffer(DC, CR.right, CR.bottom);
      if (Buffer.DC && Buffer.Bitmap) {
        IntersectClipRect(Buffer.DC, PS.rcPaint.left, PS.rcPaint.top, PS.rcPaint.right, PS.rcPaint.bottom);
        Perform(WM_ERASEBKGND, WPARAM(Buffer.DC), LPARAM(Buffer.DC));
        TWMPaint Inner = Message;
        Inner.DC = Buffer.DC;
        PaintHandler(Inner);
        BitBlt(DC, PS.rcPaint.left, PS.rcPaint.top, PS.rcPaint.right - PS.rcPaint.left,
               PS.rcPaint.bottom - PS.rcPaint.top, Buffer.DC, PS.rcPaint.left, PS.rcPaint.top, SRCCOPY);
      }
    } catch (...) {
      EndPaint(FHandle, &PS);
      throw;
    }
    EndPaint(FHandle, &PS);
    return;
  }
  PAINTSTRUCT PS;
  HDC DC = Message.DC;
  if (!DC) DC = BeginPaint(FHandle, &PS);
  try {
    Integer Saved = SaveDC(DC);
    // Windowless children are painted after the window, so clip them out of its own paint.
    for (TControl* C : FControls)
      if (!dynamic_cast<TWinControl*>(C) && C->GetVisible() && C->GetControlStyle().Contains(csOpaque))
        ExcludeClipRect(DC, C->GetLeft(), C->GetTop(), C->GetLeft() + C->GetWidth(), C->GetTop() + C->GetHeight());
    PaintWindow(DC);
    RestoreDC(DC, Saved);
    PaintControls(DC, nullptr);
  } catch (...) {
    if (!Message.DC) EndPaint(FHandle, &PS);
    throw;
  }
  if (!Message.DC) EndPaint(FHandle, &PS);
}

void TWinControl::WMPaint(TWMPaint& Message) {
  // A window with windowless children (a form, a group box holding labels) paints them after
  // itself; one without paints as its class does.
  bool HasGraphicChildren = std::any_of(FControls.begin(), FControls.end(), [](TControl* C) {
    return !dynamic_cast<TWinControl*>(C) && C->GetVisible();
  });
  if (HasGraphicChildren || FControlState.Contains(csCustomPaint))
    PaintHandler(Message);
  else
    inherited::Dispatch(&Message);
}

void TWinControl::PaintTo(HDC DC, Integer X, Integer Y) {
  Integer Saved = SaveDC(DC);
  MoveWindowOrg(DC, X, Y);
  IntersectClipRect(DC, 0, 0, FWidth, FHeight);
  Perform(WM_PRINTCLIENT, WPARAM(DC), PRF_CLIENT);
  PaintControls(DC, nullptr);
  for (TControl* C : FControls)
    if (auto* W = dynamic_cast<TWinControl*>(C); W && W->GetVisible()) W->PaintTo(DC, W->GetLeft(), W->GetTop());
  RestoreDC(DC, Saved);
}

HDC TWinControl::GetDeviceContext(HWND& WindowHandle) {
  WindowHandle = GetHandle();
  HDC DC = GetDC(WindowHandle);
  if (!DC) throw EOutOfResources(L"Out of system resources");
  return DC;
}

void TWinControl::CMFontChanged(TMessage& Message) {
  if (FHandle) SendMessageW(FHandle, WM_SETFONT, WPARAM(FFont->GetHandle()), 0);
  NotifyControls(CM_PARENTFONTCHANGED);
  inherited::Dispatch(&Message);
}

void TWinControl::CMColorChanged(TMessage& Message) {
  FBrush->SetColor(FColor);
  NotifyControls(CM_PARENTCOLORCHANGED);
  inherited::Dispatch(&Message);
}

void TWinControl::WMEraseBkgnd(TWMEraseBkgnd& Message) {
  // Double-buffered: only the erase into the paint buffer (marked by LParam == WParam) fills.
  bool BufferErase = reinterpret_cast<TMessage&>(Message).LParam == LPARAM(Message.DC);
  if (FControlStyle.Contains(csOpaque) || !Message.DC || (FDoubleBuffered && !BufferErase)) {
    Message.Result = 1;
    return;
  }
  RECT R;
  if (FHandle) ::GetClientRect(FHandle, &R);
  else R = RECT{0, 0, FWidth, FHeight};
  FillRect(Message.DC, &R, FBrush->GetHandle());
  Message.Result = 1;
}

void TWinControl::SetCtl3D(bool Value) {
  if (FCtl3D == Value) return;
  FCtl3D = Value;
  FParentCtl3D = false;
  Perform(CM_CTL3DCHANGED);
  NotifyControls(CM_PARENTCTL3DCHANGED);
}

void MoveWindowOrg(HDC DC, Integer DX, Integer DY) {
  POINT P;
  GetWindowOrgEx(DC, &P);
  SetWindowOrgEx(DC, P.x - DX, P.y - DY, nullptr);
}

void TWinControl::WMGesture(TMessage& Message) {
  GESTUREINFO Info{};
  Info.cbSize = sizeof(Info);
  HGESTUREINFO Handle = reinterpret_cast<HGESTUREINFO>(Message.LParam);
  if (!GetGestureInfo(Handle, &Info)) {
    DefaultHandler(&Message);
    return;
  }
  TGestureEventInfo Event;
  Event.GestureID = Integer(Info.dwID);
  Event.Location = ScreenToClient(TPoint(Info.ptsLocation.x, Info.ptsLocation.y));
  if (Info.dwFlags & GF_BEGIN) Event.Flags << gfBegin;
  if (Info.dwFlags & GF_INERTIA) Event.Flags << gfInertia;
  if (Info.dwFlags & GF_END) Event.Flags << gfEnd;
  Event.Distance = Integer(Info.ullArguments & 0xFFFFFFFF);
  bool Handled = false;
  DoGesture(Event, Handled);
  if (Handled) {
    // The handle is ours to close once the gesture was taken.
    CloseGestureInfoHandle(Handle);
    Message.Result = 0;
  } else {
    DefaultHandler(&Message);
  }
}
