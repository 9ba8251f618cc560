#include "framework/Forms.h"

#include "framework/classes/ObjectText.h"
#include "framework/controls/Internal.h"

using namespace fw_controls;


namespace {

bool ContainsOrIs(TControl* Parent, TControl* Control) {
  if (!Parent || !Control) return false;
  if (Parent == Control) return true;
  auto* W = dynamic_cast<TWinControl*>(Parent);
  return W && W->ContainsControl(Control);
}

// Disables the thread's other enabled top-level windows for a modal form; gives them back after.
struct TTaskWindows {
  std::vector<HWND> Disabled;
  HWND Active;

  static BOOL CALLBACK Disable(HWND Wnd, LPARAM Data) {
    auto* Self = reinterpret_cast<TTaskWindows*>(Data);
    if (Wnd != Self->Active && IsWindowVisible(Wnd) && IsWindowEnabled(Wnd)) {
      Self->Disabled.push_back(Wnd);
      EnableWindow(Wnd, FALSE);
    }
    return TRUE;
  }
  explicit TTaskWindows(HWND Except) : Active(Except) {
    EnumThreadWindows(GetCurrentThreadId(), &Disable, reinterpret_cast<LPARAM>(this));
  }
  ~TTaskWindows() {
    for (HWND W : Disabled)
      if (IsWindow(W)) EnableWindow(W, TRUE);
  }
};

}  // namespace

TCustomForm::TCustomForm(TComponent* AOwner) : TScrollingWinControl(AOwner) { InitForm(); }

TCustomForm::TCustomForm(TComponent* AOwner, Integer) : TScrollingWinControl(AOwner) {
  FCreatedNew = true;
  InitForm();
}

PUBLISHED_DEF(TCustomForm) {
  PROP(Caption);
  PROP(ClientWidth).Stored(false);
  PROP(ClientHeight).Stored(false);
  PROP(ActiveControl);
  PROP(Color).Default(clBtnFace).Idents(&IdentToColor, &ColorToIdent);
  PROP(BorderIcons);
  PROP(BorderStyle).Default(bsSizeable);
  PROP(FormStyle).Default(fsNormal);
  PROP(Position).Default(poDefaultPosOnly);
  PROP(WindowState).Default(wsNormal);
  PROP(KeyPreview).Default(false);
  PROP(Menu);
  PROP(Scaled).Default(true);
  PROP(PixelsPerInch);
  PROP(TextHeight);
  PROP(OldCreateOrder).Stored(false);
  PROP(PopupMode).Default(pmNone);
  PROP(PopupParent);
  PROP(AlphaBlend).Default(false);
  PROP(AlphaBlendValue).Default(255);
  PROP(TransparentColor).Default(false);
  PROP(TransparentColorValue).Default(clBlack);
  PROP(AutoScroll);
  PROP(DefaultMonitor).Default(dmActiveForm);
  EVENT(OnCreate);
  EVENT(OnDestroy);
  EVENT(OnShow);
  EVENT(OnHide);
  EVENT(OnActivate);
  EVENT(OnDeactivate);
  EVENT(OnClose);
  EVENT(OnCloseQuery);
}

void TCustomForm::InitForm() {
  FFormState << fsCreating;
  FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  FVisible = false;
  FLeft = 0;
  FTop = 0;
  FWidth = 320;
  FHeight = 240;
  FColor = clBtnFace;
  FBrush->SetColor(FColor);
  if (Screen) {
    FPixelsPerInch = Screen->GetPixelsPerInch();
    SetCurrentPPI(FPixelsPerInch);
    Screen->AddForm(this);
  }
}

TCustomForm::~TCustomForm() {
  if (Screen) {
    Screen->RemoveForm(this);
    if (Screen->GetActiveForm() == this) Screen->SetActiveForm(nullptr);
    if (Screen->GetActiveControl() && ContainsOrIs(this, Screen->GetActiveControl())) Screen->SetActiveControl(nullptr);
  }
  if (Application && Application->GetMainForm() == this) Application->SetMainForm(nullptr);
  FActiveControl = nullptr;
  FFocusedControl = nullptr;
}

void TCustomForm::AfterConstruction() {
  FConstructing = true;
  inherited::AfterConstruction();
  if (!FCreatedNew && !FResourceLoaded && ClassType() != TForm::StaticClass() &&
      ClassType() != TCustomForm::StaticClass()) {
    if (!InitInheritedComponent(this, TForm::StaticClass()))
      throw EResNotFound(L"Resource %s not found", {ClassName()});
    FResourceLoaded = true;
  }
  FFormState >> fsCreating;
  DoCreate();
}

void TCustomForm::BeforeDestruction() {
  if (Application && Application->GetHintWindow()) Application->CancelHint();
  DoDestroy();
  inherited::BeforeDestruction();
}

void TCustomForm::DoCreate() {
  try {
    DoEvent(FOnCreate, this);
  } catch (...) {
    HandleControlException(this);
  }
}

void TCustomForm::DoDestroy() {
  try {
    DoEvent(FOnDestroy, this);
  } catch (...) {
    HandleControlException(this);
  }
}

namespace {
void SetCurrentPPIOfAll(TControl* Control, Integer PPI) {
  Control->SetCurrentPPI(PPI);
  if (auto* W = dynamic_cast<TWinControl*>(Control))
    for (Integer I = 0; I < W->GetControlCount(); ++I) SetCurrentPPIOfAll(W->GetControl(I), PPI);
}
}  // namespace

void TCustomForm::Loaded() {
  inherited::Loaded();
  // A Scaled form authored at another DPI is brought to the screen's: bounds, limits and fonts.
  if (Integer ScreenPPI = Screen ? Screen->GetPixelsPerInch() : 96; FScaled && FPixelsPerInch != ScreenPPI) {
    Integer Authored = FPixelsPerInch;
    SetCurrentPPIOfAll(this, Authored);
    if (FPendingClientSize.cx >= 0)
      FPendingClientSize = {MulDiv(FPendingClientSize.cx, ScreenPPI, Authored), MulDiv(FPendingClientSize.cy, ScreenPPI, Authored)};
    ChangeScale(ScreenPPI, Authored, true);
    FPixelsPerInch = ScreenPPI;
  }
  if (FPendingClientSize.cx >= 0 && HandleAllocated()) SetClientSize(FPendingClientSize);
}

void TCustomForm::ChangeScale(Integer M, Integer D, bool IsDpiChange) {
  // A form keeps its place on the screen; only its size and contents scale.
  Integer L = FLeft, T = FTop;
  // A form has no parent to take a font from: its font is its own.
  bool ParentFont = GetParentFont();
  inherited::ChangeScale(M, D, IsDpiChange);
  if (ParentFont && M > 0 && D > 0) GetFont()->SetHeight(MulDiv(GetFont()->GetHeight(), M, D));
  if (FLeft != L || FTop != T) SetBounds(L, T, FWidth, FHeight);
}

void TCustomForm::WMDpiChanged(TMessage& Message) {
  Integer NewPPI = LOWORD(Message.WParam);
  if (FScaled && NewPPI > 0 && NewPPI != GetCurrentPPI()) {
    ChangeScale(NewPPI, GetCurrentPPI(), true);
    FPixelsPerInch = NewPPI;
  }
  // Windows suggests where the form goes on the new monitor.
  if (const auto* R = reinterpret_cast<const RECT*>(Message.LParam))
    SetBounds(R->left, R->top, R->right - R->left, R->bottom - R->top);
  Message.Result = 0;
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
  inherited::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (ContainsOrIs(dynamic_cast<TControl*>(AComponent), FActiveControl))
    FActiveControl = nullptr;
}

// ---- The window ---------------------------------------------------------------------------------

void TCustomForm::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  Params.Style = WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  Params.ExStyle = 0;
  switch (FBorderStyle) {
    case bsNone: Params.Style |= WS_POPUP; break;
    case bsSingle: Params.Style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: Params.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog: Params.Style |= WS_POPUP | WS_CAPTION | DS_MODALFRAME; Params.ExStyle |= WS_EX_DLGMODALFRAME; break;
    case bsToolWindow: Params.Style |= WS_CAPTION; Params.ExStyle |= WS_EX_TOOLWINDOW; break;
    case bsSizeToolWin: Params.Style |= WS_CAPTION | WS_THICKFRAME; Params.ExStyle |= WS_EX_TOOLWINDOW; break;
  }
  if (FBorderStyle != bsNone) {
    if (FBorderIcons.Contains(biSystemMenu)) Params.Style |= WS_SYSMENU;
    if (FBorderStyle != bsDialog && FBorderStyle != bsToolWindow && FBorderStyle != bsSizeToolWin) {
      if (FBorderIcons.Contains(biMinimize)) Params.Style |= WS_MINIMIZEBOX;
      if (FBorderIcons.Contains(biMaximize)) Params.Style |= WS_MAXIMIZEBOX;
    }
    if (FBorderIcons.Contains(biHelp) && !(Params.Style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))) Params.ExStyle |= WS_EX_CONTEXTHELP;
  }
  if (!FEnabled) Params.Style |= WS_DISABLED;
  if (FFormStyle == fsStayOnTop) Params.ExStyle |= WS_EX_TOPMOST;
  if (FAlphaBlend || FTransparentColor) Params.ExStyle |= WS_EX_LAYERED;
  Params.WndParent = nullptr;
  TCustomForm* MainForm = Application ? Application->GetMainForm() : nullptr;
  if (FPopupMode == pmExplicit && FPopupParent && FPopupParent != this) {
    Params.WndParent = FPopupParent->GetHandle();
  } else if (FPopupMode == pmAuto) {
    TCustomForm* Active = Screen ? Screen->GetActiveForm() : nullptr;
    if (Active && Active != this) Params.WndParent = Active->GetHandle();
    else if (MainForm && MainForm != this) Params.WndParent = MainForm->GetHandle();
  } else if (MainForm && MainForm != this && Application->GetMainFormOnTaskbar() && MainForm->HandleAllocated()) {
    Params.WndParent = MainForm->GetHandle();
  } else if (Application && (!MainForm || MainForm != this || !Application->GetMainFormOnTaskbar())) {
    Params.WndParent = Application->GetHandle();
  }
  if (Application && MainForm == this && Application->GetMainFormOnTaskbar()) Params.ExStyle |= WS_EX_APPWINDOW;
  Params.WindowClass.style = CS_DBLCLKS;
  Params.WindowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  static const HICON Icon = LoadIconW(nullptr, IDI_APPLICATION);  // shared: one load serves every form
  Params.WindowClass.hIcon = Icon;
  if (FPosition == poDefault || FPosition == poDefaultPosOnly) {
    Params.X = CW_USEDEFAULT;
    Params.Y = CW_USEDEFAULT;
  }
  if (FPosition == poDefault || FPosition == poDefaultSizeOnly) {
    Params.Width = CW_USEDEFAULT;
    Params.Height = CW_USEDEFAULT;
  }
}

void TCustomForm::GetChildren(TGetChildProc Proc, TComponent* Root) {
  inherited::GetChildren(Proc, Root);
  for (Integer I = 0; I < GetComponentCount(); ++I)
    if (TComponent* C = GetComponents(I); !C->HasParent()) Proc(C);
}

void TCustomForm::CreateWnd() {
  // A form made with new and no AfterConstruction has read no resource and fired no OnCreate.
  // While its resource is read, a control may already need the form's window.
  if (FFormState.Contains(fsCreating) && !FConstructing)
    throw EInvalidOperation(L"Form '%s' is still being created: make it with TComponent::Create<T>(Owner) "
                            L"or Application->CreateForm",
                            {ClassName()});
  inherited::CreateWnd();
  ApplyLayeredAttributes();
  // The menu bar first: the client size set below is the size under it.
  if (FMenu) {
    FMenu->SetWindowHandle(FHandle);
    ::SetMenu(FHandle, FMenu->GetHandle());
  }
  if (FPendingClientSize.cx >= 0 && !GetComponentState().Contains(csLoading)) {
    TSize S = FPendingClientSize;
    FPendingClientSize = {-1, -1};
    SetClientSize(S);
  }
}

void TCustomForm::SetClientWidth(Integer Value) {
  if (GetComponentState().Contains(csLoading) || !HandleAllocated())
    FPendingClientSize = {Value, FPendingClientSize.cy >= 0 ? FPendingClientSize.cy : FHeight};
  else
    SetClientSize({Value, GetClientHeight()});
}

void TCustomForm::SetClientHeight(Integer Value) {
  if (GetComponentState().Contains(csLoading) || !HandleAllocated())
    FPendingClientSize = {FPendingClientSize.cx >= 0 ? FPendingClientSize.cx : FWidth, Value};
  else
    SetClientSize({GetClientWidth(), Value});
}

// ---- The menu bar -------------------------------------------------------------------------------

void TCustomForm::SetMenu(TMainMenu* Value) {
  if (FMenu == Value) return;
  if (FMenu && FMenu->GetWindowHandle() == FHandle) FMenu->SetWindowHandle(nullptr);
  FMenu = Value;
  if (!FHandle) return;
  if (Value) Value->SetWindowHandle(FHandle);
  ::SetMenu(FHandle, Value ? Value->GetHandle() : nullptr);
}

bool TCustomForm::IsShortCut(TWMKey& Message) {
  return FMenu && FMenu->IsShortCut(Message.CharCode, KeyDataToShiftState(Message.KeyData));
}

void TCustomForm::WMCommand(TWMCommand& Message) {
  // A menu command carries no control and notification code 0.
  if (!Message.Ctl && Message.NotifyCode == 0 && FMenu && FMenu->DispatchCommand(Message.ItemID)) return;
  inherited::Dispatch(&Message);
}

void TCustomForm::WMInitMenuPopup(TMessage& Message) {
  if (FMenu && FMenu->DispatchPopup(reinterpret_cast<HMENU>(Message.WParam))) return;
  inherited::Dispatch(&Message);
}

void TCustomForm::WMMenuSelect(TMessage& Message) {
  if (FMenu && Application) {
    UINT Flags = HIWORD(Message.WParam);
    TMenuItem* Item = nullptr;
    if (Flags == 0xFFFF && Message.LParam == 0)
      Item = nullptr;  // the menu closed
    else if (Flags & MF_POPUP) {
      HMENU Sub = GetSubMenu(reinterpret_cast<HMENU>(Message.LParam), LOWORD(Message.WParam));
      Item = Sub ? FMenu->FindItem(NativeUInt(Sub), fkHandle) : nullptr;
    } else
      Item = FMenu->FindItem(LOWORD(Message.WParam), fkCommand);
    Application->SetHint(Item ? GetLongHint(Item->GetHint()) : String());
    return;
  }
  inherited::Dispatch(&Message);
}

void TCustomForm::WMDrawItem(TWMDrawItem& Message) {
  if (FMenu && FMenu->DrawItemMessage(Message.DrawItemStruct)) {
    Message.Result = TRUE;
    return;
  }
  inherited::Dispatch(&Message);
}

void TCustomForm::WMMeasureItem(TWMMeasureItem& Message) {
  if (FMenu && FMenu->MeasureItemMessage(Message.MeasureItemStruct)) {
    Message.Result = TRUE;
    return;
  }
  inherited::Dispatch(&Message);
}

void TCustomForm::WMDestroy(TWMDestroy& Message) {
  // The menu bar belongs to the menu component: the window must not destroy it with itself.
  if (FHandle && ::GetMenu(FHandle)) ::SetMenu(FHandle, nullptr);
  if (FMenu && FMenu->GetWindowHandle() == FHandle) FMenu->SetWindowHandle(nullptr);
  inherited::Dispatch(&Message);
}

void TCustomForm::AdjustClientRect(TRect& Rect) { inherited::AdjustClientRect(Rect); }

void TCustomForm::SetBorderIcons(TBorderIcons Value) {
  if (FBorderIcons == Value) return;
  FBorderIcons = Value;
  RecreateWnd();
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
  if (FBorderStyle == Value) return;
  FBorderStyle = Value;
  RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle Value) {
  if (FFormStyle == Value) return;
  FFormStyle = Value;
  if (HandleAllocated())
    SetWindowPos(FHandle, Value == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetWindowState(TWindowState Value) {
  if (FWindowState == Value) return;
  FWindowState = Value;
  if (HandleAllocated() && FShowing)
    ShowWindow(FHandle, Value == wsMaximized ? SW_SHOWMAXIMIZED : Value == wsMinimized ? SW_MINIMIZE : SW_RESTORE);
}

void TCustomForm::SetPixelsPerInch(Integer Value) {
  if (Value > 0) FPixelsPerInch = Value;  // 0 from a damaged resource would scale everything away
}

void TCustomForm::SetPopupMode(TPopupMode Value) {
  if (FPopupMode == Value) return;
  FPopupMode = Value;
  RecreateWnd();
}

void TCustomForm::SetPopupParent(TCustomForm* Value) {
  if (FPopupParent == Value) return;
  FPopupParent = Value;
  if (Value) FPopupMode = pmExplicit;
  RecreateWnd();
}

void TCustomForm::SetAlphaBlend(bool Value) {
  if (FAlphaBlend == Value) return;
  FAlphaBlend = Value;
  RecreateWnd();
}

void TCustomForm::SetAlphaBlendValue(Byte Value) {
  FAlphaBlendValue = Value;
  if (HandleAllocated()) ApplyLayeredAttributes();
}

void TCustomForm::SetTransparentColor(bool Value) {
  if (FTransparentColor == Value) return;
  FTransparentColor = Value;
  RecreateWnd();
}

void TCustomForm::SetTransparentColorValue(TColor Value) {
  FTransparentColorValue = Value;
  if (HandleAllocated()) ApplyLayeredAttributes();
}

void TCustomForm::ApplyLayeredAttributes() {
  if (!HandleAllocated() || (!FAlphaBlend && !FTransparentColor)) return;
  DWORD Flags = 0;
  if (FAlphaBlend) Flags |= LWA_ALPHA;
  if (FTransparentColor) Flags |= LWA_COLORKEY;
  SetLayeredWindowAttributes(FHandle, COLORREF(ColorToRGB(FTransparentColorValue)), FAlphaBlend ? FAlphaBlendValue : 255,
                             Flags);
}

TMonitor* TCustomForm::GetMonitor() { return Screen ? Screen->MonitorFromWindow(GetHandle()) : nullptr; }

void TCustomForm::ApplyPosition() {
  TRect Area;
  TCustomForm* Center = nullptr;
  switch (FPosition) {
    case poScreenCenter:
    case poDesktopCenter:
      break;
    case poMainFormCenter:
      Center = Application ? Application->GetMainForm() : nullptr;
      break;
    case poOwnerFormCenter:
      Center = dynamic_cast<TCustomForm*>(GetOwner());
      break;
    default:
      return;
  }
  if (Center == this || (Center && !Center->HandleAllocated())) Center = nullptr;
  if (Center) {
    Area = Center->GetBoundsRect();
  } else if (FPosition == poDesktopCenter) {
    Area = Screen ? Screen->GetDesktopRect() : Rect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  } else {
    Area = Rect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  }
  Integer L = Area.Left + (Area.Width() - FWidth) / 2;
  Integer T = Area.Top + (Area.Height() - FHeight) / 2;
  if (Screen) {
    TRect Work = Screen->MonitorFromRect(Area)->GetWorkareaRect();
    L = std::max(Work.Left, std::min(L, Work.Right - FWidth));
    T = std::max(Work.Top, std::min(T, Work.Bottom - FHeight));
  }
  SetBounds(L, T, FWidth, FHeight);
}

void TCustomForm::CMShowingChanged(TMessage&) {
  if (FShowing) {
    if (!FPositioned) {
      FPositioned = true;
      ApplyPosition();
    }
    TDispatchScope Scope(this);
    DoShow();
    if (Scope.Deleted() || !FShowing || !FHandle) return;
    Integer Cmd = FWindowState == wsMaximized ? SW_SHOWMAXIMIZED : FWindowState == wsMinimized ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
    ShowWindow(FHandle, Cmd);
    if (!FActive && GetForegroundWindow() != FHandle && !(GetWindowLongW(FHandle, GWL_EXSTYLE) & WS_EX_NOACTIVATE))
      SetForegroundWindow(FHandle);
    FFormState << fsVisible;
  } else {
    TDispatchScope Scope(this);
    DoHide();
    if (Scope.Deleted()) return;
    FFormState >> fsVisible;
    if (FHandle) {
      // Give the activation back to the window that owns this one before it disappears.
      if (GetActiveWindow() == FHandle) {
        HWND Owner = GetWindow(FHandle, GW_OWNER);
        if (Owner && IsWindowVisible(Owner) && IsWindowEnabled(Owner)) SetActiveWindow(Owner);
      }
      ShowWindow(FHandle, SW_HIDE);
    }
  }
}

void TCustomForm::DoShow() { DoEvent(FOnShow, this); }
void TCustomForm::DoHide() { DoEvent(FOnHide, this); }

void TCustomForm::Show() {
  SetVisible(true);
  if (HandleAllocated()) BringWindowToTop(FHandle);
}

void TCustomForm::Hide() { SetVisible(false); }

// ---- Closing ------------------------------------------------------------------------------------

bool TCustomForm::CloseQuery() {
  bool CanClose = true;
  if (FOnCloseQuery) FOnCloseQuery(this, CanClose);
  return CanClose;
}

void TCustomForm::DoClose(TCloseAction& Action) {
  if (FOnClose) FOnClose(this, Action);
}

void TCustomForm::Close() {
  if (FFormState.Contains(fsModal)) {
    FModalResult = mrCancel;
    return;
  }
  TDispatchScope Scope(this);
  if (!CloseQuery() || Scope.Deleted()) return;
  TCloseAction Action = caHide;
  DoClose(Action);
  if (Scope.Deleted() || Action == caNone) return;
  if (Application && Application->GetMainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (Action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    default: break;
  }
}

void TCustomForm::CloseModal() {
  TCloseAction Action = caNone;
  TDispatchScope Scope(this);
  try {
    if (CloseQuery()) {
      Action = caHide;
      DoClose(Action);
    }
    if (Scope.Deleted()) return;
    switch (Action) {
      case caNone: FModalResult = mrNone; break;
      case caFree: Release(); break;
      default: break;
    }
  } catch (...) {
    if (!Scope.Deleted()) FModalResult = mrNone;
    HandleControlException(this);
  }
}

void TCustomForm::Release() {
  if (FReleasePosted) return;
  FReleasePosted = true;
  PostMessageW(GetHandle(), CM_RELEASE, 0, 0);
}

void TCustomForm::CMRelease(TCMRelease&) { delete this; }

void TCustomForm::WMClose(TWMClose&) { Close(); }

Integer TCustomForm::ShowModal() {
  if (FVisible || !FEnabled || FFormState.Contains(fsModal) || FFormStyle == fsMDIChild)
    throw EInvalidOperation(L"Cannot make a visible window modal");
  if (HWND Capture = GetCapture()) SendMessageW(Capture, WM_CANCELMODE, 0, 0);
  ReleaseCapture();
  if (Application) Application->CancelHint();
  TDispatchScope Scope(this);
  FFormState << fsModal;
  HWND ActiveWindow = GetActiveWindow();
  TModalResult Result = mrCancel;
  {
    TTaskWindows Disabled(GetHandle());
    try {
      Show();
      if (!Scope.Deleted()) {
        SendMessageW(FHandle, CM_ACTIVATE, 0, 0);
        FModalResult = mrNone;
        while (!Scope.Deleted()) {
          Application->HandleMessage();
          if (Scope.Deleted()) break;
          if (Application->GetTerminated()) FModalResult = mrCancel;
          else if (FModalResult != mrNone) CloseModal();
          if (Scope.Deleted() || FModalResult != mrNone) break;
        }
      }
      if (!Scope.Deleted()) {
        Result = FModalResult;
        SendMessageW(FHandle, CM_DEACTIVATE, 0, 0);
        if (GetActiveWindow() != FHandle) ActiveWindow = nullptr;
        Hide();
      }
    } catch (...) {
      if (!Scope.Deleted()) {
        FFormState >> fsModal;
        Hide();
      }
      throw;
    }
  }
  if (ActiveWindow && IsWindow(ActiveWindow)) SetActiveWindow(ActiveWindow);
  if (!Scope.Deleted()) FFormState >> fsModal;
  return Result;
}

// ---- Activation and focus -----------------------------------------------------------------------

void TCustomForm::WMActivate(TWMActivate& Message) {
  inherited::Dispatch(&Message);
  SetActive(Message.Active != WA_INACTIVE);
}

void TCustomForm::SetActive(bool Value) {
  if (FActive == Value) return;
  FActive = Value;
  if (Value) {
    if (Screen) Screen->SetActiveForm(this);
    if (!FActiveControl) FActiveControl = FindNextControl(nullptr, true, true, false);
    SetWindowFocus();
    Perform(CM_ACTIVATE);
  } else {
    Perform(CM_DEACTIVATE);
  }
}

void TCustomForm::CMActivate(TMessage&) {
  FFormState << fsActivated;
  Activate();
}

void TCustomForm::CMDeactivate(TMessage&) { Deactivate(); }

void TCustomForm::Activate() { DoEvent(FOnActivate, this); }
void TCustomForm::Deactivate() { DoEvent(FOnDeactivate, this); }

void TCustomForm::SetWindowFocus() {
  TWinControl* Target = (FActiveControl && FActiveControl->CanFocus()) ? FActiveControl : this;
  if (Target->HandleAllocated() || Target == this) ::SetFocus(Target->GetHandle());
}

bool TCustomForm::CanFocus() { return FVisible && FEnabled; }

void TCustomForm::SetFocus() {
  if (!FActive) {
    if (!FVisible || !FEnabled) throw EInvalidOperation(L"Cannot focus a disabled or invisible window");
    SetWindowFocus();
  }
}

void TCustomForm::SetActiveControl(TWinControl* Control) {
  if (FActiveControl == Control) return;
  bool Loading = GetComponentState().Contains(csLoading);
  if (Control && (Control == this || GetParentForm(Control) != this || (!Loading && !Control->CanFocus())))
    throw EInvalidOperation(L"Cannot focus a disabled or invisible window");
  FActiveControl = Control;
  if (!Loading && FActive) SetWindowFocus();
}

void TCustomForm::FocusControl(TWinControl* Control) {
  bool WasActive = FActive;
  SetActiveControl(Control);
  if (!WasActive) SetFocus();
}

bool TCustomForm::SetFocusedControl(TWinControl* Control) {
  if (Control != this) FActiveControl = Control;
  if (Screen) {
    Screen->SetActiveControl(Control);
    Screen->SetActiveForm(this);
  }
  if (FFocusedControl == Control) return true;
  TDispatchScope Scope(this);
  TWinControl* Old = FFocusedControl;
  FFocusedControl = Control;
  // Leave the old chain up to the first container that also holds the new control...
  for (TWinControl* C = Old; C && !ContainsOrIs(C, Control); C = C->GetParent()) {
    C->Perform(CM_EXIT);
    if (Scope.Deleted() || FFocusedControl != Control) return false;
  }
  // ...then enter the new chain from there down.
  std::vector<TWinControl*> Chain;
  for (TWinControl* C = Control; C && C != this && !ContainsOrIs(C, Old); C = C->GetParent()) Chain.push_back(C);
  for (auto It = Chain.rbegin(); It != Chain.rend(); ++It) {
    (*It)->Perform(CM_ENTER);
    if (Scope.Deleted() || FFocusedControl != Control) return false;
  }
  Perform(CM_FOCUSCHANGED, 0, LPARAM(Control));
  return true;
}

void TCustomForm::DefocusControl(TControl* Control, bool Removing) {
  if (Removing && ContainsOrIs(Control, FFocusedControl)) FFocusedControl = Control->GetParent();
  if (ContainsOrIs(Control, FActiveControl)) FActiveControl = nullptr;
  if (Screen && ContainsOrIs(Control, Screen->GetActiveControl())) Screen->SetActiveControl(nullptr);
}

void TCustomForm::SendCancelMode(TControl* Sender) {
  if (FActive && FActiveControl) FActiveControl->Perform(CM_CANCELMODE, 0, LPARAM(Sender));
}

void TCustomForm::CMDialogKey(TCMDialogKey& Message) {
  if (GetKeyState(VK_MENU) >= 0) {
    switch (Message.CharCode) {
      case VK_TAB:
        if (GetKeyState(VK_CONTROL) >= 0) {
          SelectNext(FActiveControl, GetKeyState(VK_SHIFT) >= 0, true);
          Message.Result = 1;
          return;
        }
        break;
      case VK_LEFT:
      case VK_RIGHT:
      case VK_UP:
      case VK_DOWN:
        if (FActiveControl && FActiveControl->GetParent()) {
          FActiveControl->GetParent()->SelectNext(FActiveControl,
                                                  Message.CharCode == VK_RIGHT || Message.CharCode == VK_DOWN, false);
          Message.Result = 1;
          return;
        }
        break;
    }
  }
  inherited::Dispatch(&Message);
}

void TCustomForm::WMSysCommand(TWMSysCommand& Message) {
  switch (Message.CmdType & 0xFFF0) {
    case SC_MINIMIZE: FWindowState = wsMinimized; break;
    case SC_MAXIMIZE: FWindowState = wsMaximized; break;
    case SC_RESTORE: FWindowState = wsNormal; break;
  }
  inherited::Dispatch(&Message);
}

void TCustomForm::WMGetMinMaxInfo(TWMGetMinMaxInfo& Message) {
  inherited::Dispatch(&Message);
  if (!Message.MinMaxInfo) return;
  TSizeConstraints* C = GetConstraints();
  if (C->GetMinWidth() > 0) Message.MinMaxInfo->ptMinTrackSize.x = C->GetMinWidth();
  if (C->GetMinHeight() > 0) Message.MinMaxInfo->ptMinTrackSize.y = C->GetMinHeight();
  if (C->GetMaxWidth() > 0) Message.MinMaxInfo->ptMaxTrackSize.x = C->GetMaxWidth();
  if (C->GetMaxHeight() > 0) Message.MinMaxInfo->ptMaxTrackSize.y = C->GetMaxHeight();
}

void TCustomForm::WMEraseBkgnd(TWMEraseBkgnd& Message) { inherited::Dispatch(&Message); }

// ---- TDataModule ------------------------------------------------------------------------------

TDataModule::TDataModule(TComponent* AOwner) : TComponent(AOwner) {
  if (Screen) Screen->FDataModules.push_back(this);
}

TDataModule::TDataModule(TComponent* AOwner, Integer) : TComponent(AOwner) {
  FCreatedNew = true;
  if (Screen) Screen->FDataModules.push_back(this);
}

TDataModule::~TDataModule() {
  if (Screen) {
    auto& L = Screen->FDataModules;
    L.erase(std::remove(L.begin(), L.end(), this), L.end());
  }
}

PUBLISHED_DEF(TDataModule) {
  PROP(OldCreateOrder).Stored(false);
  PROP(HorizontalOffset);
  PROP(VerticalOffset);
  PROP(Height);
  PROP(Width);
  EVENT(OnCreate);
  EVENT(OnDestroy);
}

void TDataModule::AfterConstruction() {
  inherited::AfterConstruction();
  if (!FCreatedNew && ClassType() != TDataModule::StaticClass()) {
    if (!InitInheritedComponent(this, TDataModule::StaticClass()))
      throw EResNotFound(L"Resource %s not found", {ClassName()});
  }
  try {
    DoEvent(FOnCreate, this);
  } catch (...) {
    HandleControlException(this);
  }
}

void TDataModule::GetChildren(TGetChildProc Proc, TComponent* Root) {
  (void)Root;
  for (Integer I = 0; I < GetComponentCount(); ++I)
    if (TComponent* C = GetComponents(I); !C->HasParent()) Proc(C);
}

void TDataModule::BeforeDestruction() {
  try {
    DoEvent(FOnDestroy, this);
  } catch (...) {
    HandleControlException(this);
  }
  inherited::BeforeDestruction();
}
