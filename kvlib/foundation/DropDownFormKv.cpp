#include "kvlib/foundation/DropDownFormKv.h"

#include <map>

#include "framework/DB.h"
#include "framework/StrUtils.h"
#include "framework/SysUtils.h"
#include "framework/Themes.h"
#include "framework/WinApi.h"
#include "framework/sysutils/OSVersion.h"
#include "kvlib/foundation/ButtonsKv.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/foundation/toolctrls/DropDownParts.h"

namespace {

// Drop-down forms can be named by class in call parameters from the start of the program on.
struct TDropDownFormUnit {
  TDropDownFormUnit() { RegisterClass(TCustomDropDownFormKv::StaticClass()); }
  ~TDropDownFormUnit() { UnRegisterClass(TCustomDropDownFormKv::StaticClass()); }
} DropDownFormUnit;

// The shared instance of each class that keeps one; null once that form is gone.
std::map<TClass, TComponentRef<TCustomDropDownFormKv>>& GlobalRefs() {
  static std::map<TClass, TComponentRef<TCustomDropDownFormKv>> Refs;
  return Refs;
}

// The screen rectangle a control covers.
TRect ScreenRectOf(TControl* Control) {
  if (auto* W = dynamic_cast<TWinControl*>(Control); W && W->HandleAllocated()) {
    RECT R;
    GetWindowRect(W->GetHandle(), &R);
    return TRect(R.left, R.top, R.right, R.bottom);
  }
  TPoint P = Control->GetParent() ? Control->GetParent()->ClientToScreen(TPoint(Control->GetLeft(), Control->GetTop()))
                                  : TPoint(Control->GetLeft(), Control->GetTop());
  return Bounds(P.X, P.Y, Control->GetWidth(), Control->GetHeight());
}

// Field names separated by ";", blanks around them dropped.
std::vector<String> SplitFieldNames(const String& Names) {
  std::vector<String> Result;
  size_t Start = 0;
  while (Start <= Names.size()) {
    size_t End = Names.find(L';', Start);
    if (End == String::npos) End = Names.size();
    String Name = Trim(Names.substr(Start, End - Start));
    if (!Name.empty()) Result.push_back(Name);
    Start = End + 1;
  }
  return Result;
}

}  // namespace

// ---- TDDFCloseButtonKv ----------------------------------------------------------------------------

TDDFCloseButtonKv::TDDFCloseButtonKv(TComponent* AOwner) : TCustomControl(AOwner) {
  FControlStyle << csAcceptsControls;
  if (ThemesEnabledKv())
    SetBounds(0, 0, 17, 16);
  else
    SetBounds(0, 0, GetSystemMetrics(SM_CYSMSIZE), GetSystemMetrics(SM_CYSMSIZE));
  FButton = new TSpeedButtonKv(this);
  FButton->SetParent(this);
  FButton->SetAlign(alClient);
  FButton->SetFlat(true);
  FButton->SetOnPaint({this, &TDDFCloseButtonKv::ButtonPaint});
  FButton->SetOnClick({this, &TDDFCloseButtonKv::ButtonClick});
}

void TDDFCloseButtonKv::ButtonPaint(TObject*) {
  TCanvas* C = FButton->GetCanvas();
  C->RequiredState(TCanvasState{csHandleValid});
  HDC DC = C->GetHandle();
  TButtonStateKv State = FButton->GetState();
  TRect R(0, 0, FButton->GetWidth(), FButton->GetHeight());
  if (ThemesEnabledKv()) {
    TThemedElementDetails D = StyleServices()->GetElementDetails(
        State == bsPressedKv ? twSmallCloseButtonPushed : State == bsHotKv ? twSmallCloseButtonHot
                                                                            : twSmallCloseButtonNormal);
    StyleServices()->DrawElement(DC, D, R);
    return;
  }
  Integer Size = GetSystemMetrics(SM_CYSMSIZE);
  RECT Square{(R.Width() - Size) / 2, (R.Height() - Size) / 2, 0, 0};
  Square.right = Square.left + Size;
  Square.bottom = Square.top + Size;
  UINT Flags = DFCS_CAPTIONCLOSE | DFCS_FLAT;
  if (State == bsPressedKv) Flags |= DFCS_CHECKED;
  if (State == bsHotKv) Flags |= DFCS_HOT;
  DrawFrameControl(DC, &Square, DFC_CAPTION, Flags);
}

void TDDFCloseButtonKv::ButtonClick(TObject*) {
  TCustomForm* Form = GetParentForm(this);
  if (auto* DropDown = dynamic_cast<TCustomDropDownFormKv*>(Form))
    DropDown->Close();
  else if (Form)
    Form->Close();
}

// ---- TDDFSizingBarKv ------------------------------------------------------------------------------

TDDFSizingBarKv::TDDFSizingBarKv(TComponent* AOwner) : TCustomPanel(AOwner) {
  FControlStyle << csCaptureMouse;
  SetBevelOuter(bvNone);
  SetBevelEdges(TBevelEdges{beTop});
  SetBevelKind(bkTile);
  SetShowCaption(false);
}

bool TDDFSizingBarKv::InSizingArea(Integer Y) const {
  Integer Depth = GetSizingAreaDepth();
  return FAlign == alBottom ? Y >= FHeight - Depth && Y < FHeight : Y >= 0 && Y < Depth;
}

void TDDFSizingBarKv::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  inherited::MouseDown(Button, Shift, X, Y);
  if (Button == mbLeft && InSizingArea(Y)) FMouseDownPoint = TPoint(X, Y);
}

void TDDFSizingBarKv::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  inherited::MouseMove(Shift, X, Y);
  SetCursor(InSizingArea(Y) || FMouseDownPoint.Y >= 0 ? crSizeNS : crDefault);
  if (!Shift.Contains(ssLeft) || !GetMouseCapture() || FMouseDownPoint.Y < 0 || !FHostControl) return;
  Integer Delta = Y - FMouseDownPoint.Y;
  if (Delta == 0) return;
  TWinControl* Host = FHostControl;
  // The bar moves with the host's edge, so the press point stays under the mouse.
  if (FAlign == alBottom)
    Host->SetHeight(Host->GetHeight() + Delta);
  else
    Host->SetBounds(Host->GetLeft(), Host->GetTop() + Delta, Host->GetWidth(), Host->GetHeight() - Delta);
}

void TDDFSizingBarKv::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  FMouseDownPoint = TPoint(-1, -1);
  inherited::MouseUp(Button, Shift, X, Y);
}

// ---- TCustomDropDownFormKv ------------------------------------------------------------------------

PUBLISHED_DEF(TCustomDropDownFormKv) {
  PROP_READONLY(BorderStyle).Stored(false);
  PROP(FormElements).Default(TDropDownFormElementsKv{ddfeLeftGripKv, ddfeRightGripKv, ddfeCloseButtonKv,
                                                     ddfeSizingBarKv});
  PROP(DropDownMode);
  EVENT(OnInitForm);
  EVENT(OnReturnParams);
}

TCustomDropDownFormKv::TCustomDropDownFormKv(TComponent* AOwner) : TForm(AOwner) { InitNew(); }

TCustomDropDownFormKv::TCustomDropDownFormKv(TComponent* AOwner, Integer Dummy) : TForm(AOwner, Dummy) { InitNew(); }

TCustomDropDownFormKv::~TCustomDropDownFormKv() = default;

void TCustomDropDownFormKv::InitNew() {
  FCanvas = std::make_unique<TControlCanvas>();
  static_cast<TControlCanvas*>(FCanvas.get())->SetControl(this);
  FCloseButton = new TDDFCloseButtonKv(this);
  FCloseButton->SetParent(this);
  FCloseButton->SetVisible(false);
  FCloseButton->SetAnchors(TAnchors{akTop, akRight});
  FSizingBar = new TDDFSizingBarKv(this);
  FSizingBar->SetParent(this);
  FSizingBar->SetVisible(false);
  FSizingBar->SetHostControl(this);
  FSizeGrip = new TSizeGripKv(this);
  FSizeGrip->SetHostControl(this);
  FSizeGrip->SetTriangleWindow(true);
  FSizeGrip->SetParent(this);
  FSizeGrip->TControl::SetVisible(false);
  FSizeGrip2 = new TSizeGripKv(this);
  FSizeGrip2->SetHostControl(this);
  FSizeGrip2->SetTriangleWindow(true);
  FSizeGrip2->SetPosition(sgpBottomLeft);
  FSizeGrip2->SetParent(this);
  FSizeGrip2->TControl::SetVisible(false);
  FFormElements = TDropDownFormElementsKv{ddfeLeftGripKv, ddfeRightGripKv, ddfeCloseButtonKv, ddfeSizingBarKv};
  SetBorderIcons(TBorderIcons{});
  SetBorderStyle(bsNone);
  FDropDownMode = true;
  FBorderWidth = TOSVersion::Check(10) ? 1 : TOSVersion::Major == 6 ? 3 : 2;
  SetMinimumSize();
  SetPosition(poDesigned);
  SetFormStyle(fsStayOnTop);
}

void TCustomDropDownFormKv::SetMinimumSize() {
  TSizeConstraints* C = GetConstraints();
  if (C->GetMinWidth() == 0) C->SetMinWidth(2 * GetSystemMetrics(SM_CXVSCROLL));
  if (C->GetMinHeight() == 0) C->SetMinHeight(2 * GetSystemMetrics(SM_CYVSCROLL));
}

void TCustomDropDownFormKv::AfterConstruction() {
  inherited::AfterConstruction();
  FDropDownMode = true;
  SetBorderStyle(bsNone);
  SetPosition(poDesigned);
  SetMinimumSize();
}

void TCustomDropDownFormKv::GetChildren(TGetChildProc Proc, TComponent* Root) {
  // The border controls are the form's own, not its content.
  inherited::GetChildren([&](TComponent* Child) {
    if (Child != FCloseButton && Child != FSizingBar && Child != FSizeGrip && Child != FSizeGrip2) Proc(Child);
  }, Root);
}

TCustomDropDownFormKv* TCustomDropDownFormKv::GetGlobalRef(TClass FormClass) {
  auto& Refs = GlobalRefs();
  auto It = Refs.find(FormClass);
  return It == Refs.end() ? nullptr : It->second.Get();
}

TCustomDropDownFormKv* TCustomDropDownFormKv::GetGlobalRef() { return GetGlobalRef(ClassType()); }

void TCustomDropDownFormKv::SetAsGlobalRef() { GlobalRefs()[ClassType()] = this; }

void TCustomDropDownFormKv::SetDropDownMode(bool Value) {
  if (FDropDownMode == Value) return;
  FDropDownMode = Value;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomDropDownFormKv::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  if (FDropDownMode) SetDropShadowStyle(this, Params, true);
}

void TCustomDropDownFormKv::CreateWnd() {
  inherited::CreateWnd();
  if (!GetComponentState().Contains(csDesigning)) UpdateGrips(true);
}

void TCustomDropDownFormKv::Loaded() {
  inherited::Loaded();
  if (!GetComponentState().Contains(csDesigning) && HandleAllocated()) UpdateGrips(true);
}

void TCustomDropDownFormKv::UpdateGrips(bool TakeVisibility) {
  struct {
    TSizeGripKv* Grip;
    TDropDownFormElementKv Element;
  } Grips[] = {{FSizeGrip, ddfeRightGripKv}, {FSizeGrip2, ddfeLeftGripKv}};
  for (auto& G : Grips) {
    if (!G.Grip) continue;
    if (TakeVisibility) {
      G.Grip->HandleNeeded();
      G.Grip->UpdatePosition();
      G.Grip->SetVisible(FFormElements.Contains(G.Element));
      G.Grip->BringToFront();
    } else if (G.Grip->HandleAllocated() && G.Grip->GetVisible()) {
      G.Grip->UpdatePosition();
      G.Grip->BringToFront();
    }
  }
}

void TCustomDropDownFormKv::SetGripCorners(bool Under) {
  FSizeGrip->SetPosition(Under ? sgpBottomRight : sgpTopRight);
  FSizeGrip2->SetPosition(Under ? sgpBottomLeft : sgpTopLeft);
}

bool TCustomDropDownFormKv::DoHandleStyleMessage(TMessage& Message) {
  if (Message.Msg == WM_NCPAINT) return false;
  return inherited::DoHandleStyleMessage(Message);
}

void TCustomDropDownFormKv::WMSize(TWMSize& Message) {
  inherited::Dispatch(&Message);
  if (FDropDownMode) Invalidate();
  UpdateGrips(false);
}

void TCustomDropDownFormKv::WMWindowPosChanged(TWMWindowPosChanged& Message) {
  inherited::Dispatch(&Message);
  UpdateGrips(false);
}

void TCustomDropDownFormKv::AdjustClientRect(TRect& Rect) {
  inherited::AdjustClientRect(Rect);
  Integer B = FBorderWidth;
  Rect = TRect(Rect.Left + B, Rect.Top + 2 * B, Rect.Right - B, Rect.Bottom - B);
}

TRect TCustomDropDownFormKv::GetControlClientRect() {
  TRect R = GetClientRect();
  AdjustClientRect(R);
  return R;
}

void TCustomDropDownFormKv::WMPaint(TWMPaint& Message) {
  FControlState << csCustomPaint;
  try {
    PaintHandler(Message);
  } catch (...) {
    FControlState >> csCustomPaint;
    throw;
  }
  FControlState >> csCustomPaint;
}

void TCustomDropDownFormKv::PaintWindow(HDC DC) {
  auto* C = static_cast<TControlCanvas*>(FCanvas.get());
  C->Lock();
  C->SetHandle(DC);
  try {
    Paint();
  } catch (...) {
    C->SetHandle(nullptr);
    C->Unlock();
    throw;
  }
  C->SetHandle(nullptr);
  C->Unlock();
}

void TCustomDropDownFormKv::Paint() { PaintFormBorder(GetClientRect()); }

void TCustomDropDownFormKv::PaintFormBorder(const TRect& Rect) {
  TCanvas* C = FCanvas.get();
  C->RequiredState(TCanvasState{csHandleValid});
  HDC DC = C->GetHandle();
  Integer Saved = SaveDC(DC);
  const Integer B = FBorderWidth;
  ExcludeClipRect(DC, Rect.Left + B, Rect.Top + B, Rect.Right - B, Rect.Bottom - B);
  if (ThemesEnabledKv() && !IsCustomStyleActiveKv()) {
    StyleServices()->DrawElement(DC, StyleServices()->GetElementDetails(twFrameBottomActive), Rect);
    StyleServices()->DrawElement(DC, StyleServices()->GetElementDetails(twCaptionActive),
                                 TRect(Rect.Left, Rect.Top, Rect.Right, Rect.Top + B));
  } else {
    TRect R = Rect;
    const TColor Rings[3] = {cl3DDkShadow, cl3DLight, cl3DLight};
    for (TColor Ring : Rings) {
      C->GetBrush()->SetColor(GetStyledSystemColor(Ring));
      C->FrameRect(R);
      R = TRect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
    }
  }
  RestoreDC(DC, Saved);
}

bool TCustomDropDownFormKv::PlaceAgainst(const TRect& R, TDropDownAlign Align) {
  TRect Work = Screen->MonitorFromRect(R)->GetWorkareaRect();
  Integer W = FWidth, H = FHeight;
  Integer L = R.Left, T = R.Bottom + 1;
  if (Align == daRight)
    L = R.Right - W;
  else if (Align == daCenter)
    L -= (W - R.Width()) / 2;
  if (Work.Width() < W) W = Work.Width();
  if (L + W > Work.Right) L = Work.Right - W;
  if (L < Work.Left) L = Work.Left;
  bool Under = true;
  if (T + H > Work.Bottom && Work.Bottom - R.Bottom < R.Top - Work.Top) {
    T = R.Top - H;
    Under = false;
  }
  if (T < Work.Top) {
    H -= Work.Top - T;
    T = Work.Top;
  }
  if (T + H > Work.Bottom) H = Work.Bottom - T;
  SetBounds(L, T, W, H);
  return Under;
}

bool TCustomDropDownFormKv::Execute(TControl* RelativePosControl, TControl* DownStateControl, TDynVarsKv* DynParams,
                                    TDropDownAlign Align) {
  (void)DownStateControl;
  EndShownCall();
  FModalMode = true;
  FDynParams = DynParams;
  TRect R = RelativePosControl ? ScreenRectOf(RelativePosControl) : Bounds(FLeft, FTop, 0, 0);
  bool Under = PlaceAgainst(R, Align);
  FDropLayout = Under ? dlUnderControlKv : dlAboveControlKv;
  SetGripCorners(GetClientOrigin().Y >= R.Top);
  InitForm(nullptr, DynParams);
  SetModalResult(mrNone);
  TDispatchScope Scope(this);
  TCustomForm::Show();
  // Also left when the program ends or the form goes away another way.
  while (!Scope.Deleted() && Screen->GetActiveForm() == this && GetModalResult() == mrNone && GetVisible() &&
         !Application->GetTerminated())
    Application->HandleMessage();
  if (Scope.Deleted()) return false;
  Hide();
  FModalMode = false;
  bool Ok = GetModalResult() == mrOk;
  if (Ok) ReturnParams(nullptr, DynParams);
  FDynParams = nullptr;
  return Ok;
}

void TCustomDropDownFormKv::ExecuteNomodal(const TRect& RelativePosRect, TControl* DownStateControl,
                                           const TDropDownFormCallbackProcKv& CallbackProc,
                                           TDropDownFormSysParams* SysParams, TDynVarsKv* DynParams,
                                           TDropDownAlign Align) {
  (void)DownStateControl;
  EndShownCall();
  SetBorderStyle(bsNone);
  SetDropDownMode(true);
  FModalMode = false;
  FDynParams = DynParams;
  FSysParams = SysParams;
  FMasterForm = Screen->GetActiveForm();
  FMasterFocusControl = Screen->GetActiveControl();
  UpdateSize();
  bool Under = PlaceAgainst(RelativePosRect, Align);
  FDropLayout = Under ? dlUnderControlKv : dlAboveControlKv;
  SetGripCorners(Under);
  InitElements();
  InitForm(nullptr, DynParams);
  SetModalResult(mrNone);
  FActivateShowing = true;
  TDispatchScope Scope(this);
  try {
    TCustomForm::Show();
  } catch (...) {
    if (!Scope.Deleted()) FActivateShowing = false;
    throw;
  }
  if (Scope.Deleted()) return;
  FActivateShowing = false;
  FCallbackProc = CallbackProc;
}

void TCustomDropDownFormKv::EndShownCall() {
  if (!GetVisible()) return;
  // The call shown until now ends with its own values before another is stored.
  TDispatchScope Scope(this);
  if (FCallbackProc && !FModalMode) Close();
  if (!Scope.Deleted() && GetVisible()) Hide();
}

void TCustomDropDownFormKv::InitElements() {
  const bool Under = FDropLayout == dlUnderControlKv;
  const bool Bar = FFormElements.Contains(ddfeSizingBarKv);
  if (Bar) {
    FSizingBar->BringToFront();
    if (Under) {
      FSizingBar->SetTop(GetHeight() + 1);
      FSizingBar->SetAlign(alBottom);
      FSizingBar->SetBevelEdges(TBevelEdges{beTop});
    } else {
      FSizingBar->SetTop(-1);
      FSizingBar->SetAlign(alTop);
      FSizingBar->SetBevelEdges(TBevelEdges{beBottom});
    }
    FSizingBar->SetHeight(GetSystemMetrics(SM_CYVSCROLL) + 3);
    FSizingBar->Show();
  } else {
    FSizingBar->Hide();
  }
  if (FFormElements.Contains(ddfeCloseButtonKv)) {
    FCloseButton->BringToFront();
    FCloseButton->SetTop(FBorderWidth);
    FCloseButton->Show();
    const Integer W = FCloseButton->GetWidth(), H = FCloseButton->GetHeight();
    if (!Under) {
      FCloseButton->SetLeft(GetClientWidth() - W - 18);
      FCloseButton->SetAnchors(TAnchors{akTop, akRight});
    } else if (Bar) {
      FCloseButton->SetLeft(FFormElements.Contains(ddfeLeftGripKv) ? 18 : 2);
      FCloseButton->SetTop(GetClientHeight() - H - FBorderWidth);
      FCloseButton->SetAnchors(TAnchors{akLeft, akBottom});
    } else {
      FCloseButton->SetLeft(GetClientWidth() - W - 3);
      FCloseButton->SetAnchors(TAnchors{akTop, akRight});
    }
  } else {
    FCloseButton->Hide();
  }
  if (HandleAllocated()) UpdateGrips(true);
}

void TCustomDropDownFormKv::InitForm(TWinControl* Host, TDynVarsKv* DynParams) {
  (void)Host;
  if (FOnInitForm) FOnInitForm(this, DynParams);
}

void TCustomDropDownFormKv::ReturnParams(TWinControl* Host, TDynVarsKv* DynParams) {
  (void)Host;
  if (FOnReturnParams) FOnReturnParams(this, DynParams);
}

void TCustomDropDownFormKv::Close() {
  if (FClosing) return;
  FClosing = true;
  TDispatchScope Scope(this);
  auto GiveFocusBack = [&] {
    if (FMasterFocusControl && FMasterFocusControl->CanFocus() && !FActivateClosing) FMasterFocusControl->SetFocus();
  };
  try {
    TCustomForm::Close();
  } catch (...) {
    if (!Scope.Deleted()) {
      FClosing = false;
      GiveFocusBack();
    }
    throw;
  }
  if (Scope.Deleted()) return;
  FClosing = false;
  GiveFocusBack();
}

void TCustomDropDownFormKv::CancelCall() {
  FCallbackProc = nullptr;
  FDynParams = nullptr;
  FSysParams = nullptr;
  FMasterFocusControl = nullptr;
  if (GetVisible()) Hide();
}

void TCustomDropDownFormKv::DoClose(TCloseAction& Action) {
  if (!GetComponentState().Contains(csDesigning)) {
    if (FSysParams && FSysParams->GetFreeFormOnClose()) Action = caFree;
    TDispatchScope Scope(this);
    if (!FModalMode && FCallbackProc) {
      bool Accept = GetModalResult() == mrOk;
      if (Accept) ReturnParams(nullptr, FDynParams);
      if (Scope.Deleted()) return;
      // Taken out first: the callback runs once, whatever it does.
      TDropDownFormCallbackProcKv Callback = FCallbackProc;
      FCallbackProc = nullptr;
      Callback(this, Accept, FDynParams, FSysParams);
      if (Scope.Deleted()) return;
    }
    FSysParams = nullptr;
    FDynParams = nullptr;
    FCallbackProc = nullptr;
  }
  inherited::DoClose(Action);
}

void TCustomDropDownFormKv::Deactivate() {
  TDispatchScope Scope(this);
  inherited::Deactivate();
  if (Scope.Deleted()) return;
  if (!FDropDownMode || GetComponentState().Contains(csDesigning) || FModalMode || FKeepFormVisible ||
      FActivateClosing || FActivateShowing)
    return;
  FActivateClosing = true;
  try {
    Close();
  } catch (...) {
    if (!Scope.Deleted()) FActivateClosing = false;
    throw;
  }
  if (!Scope.Deleted()) FActivateClosing = false;
}

void TCustomDropDownFormKv::Show() {
  SetDropDownMode(false);
  TCustomForm::Show();
}

Integer TCustomDropDownFormKv::ShowModal() {
  SetDropDownMode(false);
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize, biMaximize});
  InitForm(nullptr, FDynParams);
  Integer Result = inherited::ShowModal();
  if (Result == mrOk) ReturnParams(nullptr, FDynParams);
  return Result;
}

// ---- TDropDownFormCallParamsKv --------------------------------------------------------------------

// One call in progress: its values and system parameters, and the form showing them. The form's
// callback holds it too, so a form that outlives these call parameters finds it and does nothing.
struct TDropDownCallKv {
  TDropDownFormCallParamsKv* Params = nullptr;
  std::unique_ptr<TDynVarsKv> DynParams;
  std::unique_ptr<TDropDownFormSysParams> SysParams;
  TComponentRef<TCustomForm> Form;
  bool FormPerCall = false;
};

namespace {
// Whether the form still serves the call (another caller may have opened it since).
bool FormServes(TCustomForm* Form, const TDropDownCallKv& Call) {
  auto* DropDown = dynamic_cast<TCustomDropDownFormKv*>(Form);
  return DropDown && DropDown->HasCallback() && DropDown->GetDynParams() == Call.DynParams.get();
}
}  // namespace

PUBLISHED_DEF(TDropDownFormCallParamsKv) {
  PROP(Align).Default(daCenter);
  PROP(AssignBackFieldNames);
  PROP(DropDownForm);
  PROP(DropDownFormClassName);
  PROP(FormHeight).Default(-1);
  PROP(FormWidth).Default(-1);
  PROP(PassFieldNames);
  PROP(PassParams).Default(pspFieldValueKv);
  PROP(SaveFormSize).Default(true);
}

TDropDownFormCallParamsKv::TDropDownFormCallParamsKv() = default;

TDropDownFormCallParamsKv::~TDropDownFormCallParamsKv() { ReleaseCall(true); }

void TDropDownFormCallParamsKv::Assign(TPersistent* Source) {
  if (auto* Src = dynamic_cast<TDropDownFormCallParamsKv*>(Source)) {
    SetAlign(Src->FAlign);
    SetAssignBackFieldNames(Src->FAssignBackFieldNames);
    SetDropDownForm(Src->FDropDownForm);
    SetDropDownFormClassName(Src->FDropDownFormClassName);
    SetFormHeight(Src->FFormHeight);
    SetFormWidth(Src->FFormWidth);
    SetPassFieldNames(Src->FPassFieldNames);
    SetPassParams(Src->FPassParams);
    SetSaveFormSize(Src->FSaveFormSize);
    return;
  }
  inherited::Assign(Source);
}

void TDropDownFormCallParamsKv::SetDropDownForm(TCustomForm* Value) {
  if (FDropDownForm == Value) return;
  FDropDownForm = Value;
  Changed();
}

void TDropDownFormCallParamsKv::SetDropDownFormClassName(const String& Value) {
  if (FDropDownFormClassName == Value) return;
  FDropDownFormClassName = Value;
  Changed();
}

void TDropDownFormCallParamsKv::SetEditButtonControl(TEditButtonControlKv* Value) { FEditButtonControl = Value; }

void TDropDownFormCallParamsKv::SetField(TField* Value) { FField = Value; }

TField* TDropDownFormCallParamsKv::GetField() { return FField; }

void TDropDownFormCallParamsKv::Changed() { DoEvent(FOnChanged, this); }

TCustomForm* TDropDownFormCallParamsKv::GetOpenForm() const { return FCall ? FCall->Form.Get() : nullptr; }

void TDropDownFormCallParamsKv::GetVarValue(Variant& VarValue) {
  if (FOnGetVarValueProc)
    FOnGetVarValueProc(VarValue);
  else
    VarValue = Null;
}

void TDropDownFormCallParamsKv::SetVarValue(const Variant& VarValue) {
  if (FOnSetVarValueProc) FOnSetVarValueProc(VarValue);
}

bool TDropDownFormCallParamsKv::CheckDataIsReadOnly() {
  bool ReadOnly = GetField() ? GetField()->GetReadOnly() : false;
  if (FOnCheckDataIsReadOnly) FOnCheckDataIsReadOnly(ReadOnly);
  return ReadOnly;
}

TRect TDropDownFormCallParamsKv::GetEditControlScreenRect() {
  if (TWinControl* Edit = GetEditControl()) return ScreenRectOf(Edit);
  return FEditControlScreenRect;
}

TDropDownFormSysParams* TDropDownFormCallParamsKv::CreateSysParams() { return new TEditControlDropDownFormSysParams(); }

void TDropDownFormCallParamsKv::FillSysParams(TDropDownFormSysParams* SysParams) {
  if (auto* P = dynamic_cast<TEditControlDropDownFormSysParams*>(SysParams)) {
    P->SetEditControl(GetEditControl());
    P->SetEditButton(GetEditButton());
  }
}

void TDropDownFormCallParamsKv::DoOpenDropDownForm(TCustomForm*& DropDownForm, TDynVarsKv* DynParams,
                                                   TDropDownFormSysParams*) {
  if (TEditControlShowDropDownFormEventKv Proc = GetOnOpenDropDownFormProc())
    Proc(GetEditControl(), GetEditButton(), DropDownForm, DynParams);
}

void TDropDownFormCallParamsKv::PrepareDropDownForm(TCustomForm* DropDownForm, TDynVarsKv*, TDropDownFormSysParams*) {
  if (TEditButtonControlKv* Control = GetEditButtonControl()) Control->SetAlwaysDown(true);
  IDropDownFormKv* Intf = nullptr;
  if (DropDownForm && Supports(DropDownForm, Intf)) Intf->SetReadOnly(CheckDataIsReadOnly());
}

TCustomForm* TDropDownFormCallParamsKv::GetActualDropDownForm(bool& FreeFormOnClose) {
  if (FOnGetActualDropDownFormProc) {
    TCustomForm* Form = nullptr;
    FOnGetActualDropDownFormProc(Form, FreeFormOnClose);
    return Form;
  }
  FreeFormOnClose = false;
  if (FDropDownForm) return FDropDownForm;
  if (FDropDownFormClassName.empty()) return nullptr;
  TClass Class = GetClass(FDropDownFormClassName);
  if (!Class || !Class->InheritsFrom(TCustomForm::StaticClass()))
    throw Exception(L"Class '" + FDropDownFormClassName + L"' is not registered");
  if (Class->InheritsFrom(TCustomDropDownFormKv::StaticClass()))
    if (TCustomDropDownFormKv* Shared = TCustomDropDownFormKv::GetGlobalRef(Class)) return Shared;
  TCustomForm* Form = TFormClass(Class).Create(static_cast<TComponent*>(GetEditControl()));
  try {
    Form->AfterConstruction();
  } catch (...) {
    delete Form;
    throw;
  }
  auto* DropDown = dynamic_cast<TCustomDropDownFormKv*>(Form);
  FreeFormOnClose = !(DropDown && TCustomDropDownFormKv::GetGlobalRef(Class) == DropDown);
  return Form;
}

void TDropDownFormCallParamsKv::AssignPassParams(TDynVarsKv* DynParams) {
  TDataSet* DataSet = GetDataLink() ? GetDataLink()->GetDataSet() : nullptr;
  switch (FPassParams) {
    case pspByFieldNamesKv:
      if (FPassFieldNames.empty() || !DataSet) return;
      for (const String& Name : SplitFieldNames(FPassFieldNames)) {
        TField* Field = DataSet->FieldByName(Name);
        DynParams->CreateDynVar(Field->GetFieldName(), Field->GetValue());
      }
      return;
    case pspFieldValueKv: {
      Variant Value;
      GetVarValue(Value);
      DynParams->CreateDynVar(GetField() ? GetField()->GetFieldName() : String(), Value);
      return;
    }
    case pspRecordValuesKv:
      if (!DataSet) return;
      for (Integer I = 0; I < DataSet->GetFieldCount(); ++I) {
        TField* Field = DataSet->GetFields()->GetField(I);
        DynParams->CreateDynVar(Field->GetFieldName(), Field->GetValue());
      }
      return;
    case pspCustomValuesKv:
      return;
  }
}

void TDropDownFormCallParamsKv::AssignBackValues(TDynVarsKv* DynParams) {
  if ((FPassParams == pspByFieldNamesKv || FPassParams == pspCustomValuesKv) && FAssignBackFieldNames.empty()) return;
  TDataSet* DataSet = GetDataLink() ? GetDataLink()->GetDataSet() : nullptr;
  bool Began = false;
  if (DataSet && DataSet->GetState() != dsEdit && DataSet->GetState() != dsInsert) {
    DataSet->Edit();
    Began = true;
  }
  try {
    if (!FAssignBackFieldNames.empty()) {
      if (DataSet)
        for (const String& Name : SplitFieldNames(FAssignBackFieldNames))
          DataSet->FieldByName(Name)->SetValue(DynParams->GetDynVar(Name)->GetValue());
    } else if (DynParams->GetCount() > 0) {
      SetVarValue(DynParams->GetItem(0)->GetValue());
    }
    if (Began) DataSet->Post();
  } catch (...) {
    // A record this step put into edit mode is not left half written.
    if (Began && (DataSet->GetState() == dsEdit || DataSet->GetState() == dsInsert)) DataSet->Cancel();
    throw;
  }
}

void TDropDownFormCallParamsKv::EndPreviousCall() {
  if (!FCall) return;
  TCustomForm* Form = FCall->Form;
  IDropDownFormKv* Intf = nullptr;
  if (Form && Form->GetVisible() && Supports(Form, Intf) &&
      (FormServes(Form, *FCall) || !dynamic_cast<TCustomDropDownFormKv*>(Form)))
    Intf->Close();
  ReleaseCall(true);
}

void TDropDownFormCallParamsKv::ReleaseCall(bool Abandon) {
  std::shared_ptr<TDropDownCallKv> Call = std::move(FCall);
  if (!Call) return;
  Call->Params = nullptr;
  if (!Abandon) return;
  TCustomForm* Form = Call->Form;
  // Another kind of drop-down keeps its callback, which finds no call parameters any more.
  if (!Form || !FormServes(Form, *Call)) return;
  auto* DropDown = static_cast<TCustomDropDownFormKv*>(Form);
  DropDown->CancelCall();
  if (Call->FormPerCall) DropDown->Release();
}

void TDropDownFormCallParamsKv::CheckShowDropDownForm(bool& Handled) {
  EndPreviousCall();
  bool FreeFormOnClose = false;
  TCustomForm* Created = GetActualDropDownForm(FreeFormOnClose);
  TCustomForm* Form = Created;
  auto Call = std::make_shared<TDropDownCallKv>();
  Call->DynParams = std::make_unique<TDynVarsKv>(nullptr);
  Call->SysParams.reset(CreateSysParams());
  // A form made for this call goes with it when the call goes wrong before the form opened.
  auto DropCreated = [&] {
    if (FreeFormOnClose && Created) {
      TCustomForm* F = Created;
      Created = nullptr;
      delete F;
    }
  };
  try {
    Call->SysParams->SetFreeFormOnClose(FreeFormOnClose);
    FillSysParams(Call->SysParams.get());
    AssignPassParams(Call->DynParams.get());
    DoOpenDropDownForm(Form, Call->DynParams.get(), Call->SysParams.get());
    if (Form != Created) {
      // The open procedure put another form in: the one made for the call is not needed.
      DropCreated();
      FreeFormOnClose = false;
      Call->SysParams->SetFreeFormOnClose(false);
    }
  } catch (...) {
    DropCreated();
    throw;
  }
  IDropDownFormKv* Intf = nullptr;
  if (!Form || !Supports(Form, Intf)) {
    DropCreated();
    return;
  }
  if (FSaveFormSize) {
    FOldFormWidth = Form->GetWidth();
    if (FFormWidth > 0) Form->SetWidth(FFormWidth);
    FOldFormHeight = Form->GetHeight();
    if (FFormHeight > 0) Form->SetHeight(FFormHeight);
  }
  Call->Params = this;
  Call->Form = Form;
  Call->FormPerCall = FreeFormOnClose;
  FCall = Call;
  try {
    PrepareDropDownForm(Form, Call->DynParams.get(), Call->SysParams.get());
    // The callback keeps the call's values alive for as long as the form holds it.
    TDropDownFormCallbackProcKv Callback = [Call](TCustomForm* F, bool Accept, TDynVarsKv* Dyn,
                                                  TDropDownFormSysParams* Sys) {
      if (Call->Params) Call->Params->DoCloseDropDownForm(F, Accept, Dyn, Sys);
    };
    Intf->ExecuteNomodal(GetEditControlScreenRect(), nullptr, Callback, Call->SysParams.get(), Call->DynParams.get(),
                         FAlign);
  } catch (...) {
    ReleaseCall(true);
    throw;
  }
  Handled = true;
}

void TDropDownFormCallParamsKv::DoCloseDropDownForm(TCustomForm* DropDownForm, bool Accept, TDynVarsKv* DynParams,
                                                    TDropDownFormSysParams* SysParams) {
  std::shared_ptr<TDropDownCallKv> Call = FCall;  // kept whole until the end of this close
  try {
    if (Accept) AssignBackValues(DynParams);
    DropDownForm->Hide();
    if (FSaveFormSize) {
      FFormWidth = DropDownForm->GetWidth();
      if (FOldFormWidth > 0) DropDownForm->SetWidth(FOldFormWidth);
      FFormHeight = DropDownForm->GetHeight();
      if (FOldFormHeight > 0) DropDownForm->SetHeight(FOldFormHeight);
    }
    if (TEditControlCloseDropDownFormEventKv Proc = GetOnCloseDropDownFormProc())
      Proc(GetEditControl(), nullptr, Accept, DropDownForm, DynParams);
    DropDownFormClosed(Accept, DropDownForm, SysParams, DynParams);
    if (TWinControl* Edit = GetEditControl(); Edit && Edit->HandleAllocated()) {
      auto* EditSys = dynamic_cast<TEditControlDropDownFormSysParams*>(SysParams);
      TObject* Clicked = EditSys && EditSys->GetEditButton() ? static_cast<TObject*>(EditSys->GetEditButton()) : Edit;
      PostMessageW(Edit->GetHandle(), WM_USER, WPARAM(Edit->GetHandle()), LPARAM(Clicked));
    }
  } catch (...) {
    // Shown with the form held open, so it does not close under the message.
    auto* DropDown = dynamic_cast<TCustomDropDownFormKv*>(DropDownForm);
    bool Keep = DropDown && DropDown->GetKeepFormVisible();
    if (DropDown) DropDown->SetKeepFormVisible(true);
    if (Application) Application->HandleException(this);
    if (DropDown) DropDown->SetKeepFormVisible(Keep);
  }
  if (FCall == Call) ReleaseCall(false);
  if (Call) {
    Call->SysParams.reset();
    Call->DynParams.reset();
  }
}
