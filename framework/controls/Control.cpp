#include "framework/Controls.h"

#include <unordered_map>

#include "framework/ActnList.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/controls/Internal.h"

bool NewStyleControls = true;

// ---- Mouse, capture and exceptions ------------------------------------------------------------

namespace fw_controls {
namespace {
TControl* MouseControl = nullptr;
}  // namespace

TControl* CaptureControl = nullptr;

void SetMouseControl(TControl* Control) {
  if (Control == MouseControl) return;
  TControl* Old = MouseControl;
  MouseControl = Control;
  if (Old) Old->Perform(CM_MOUSELEAVE);
  if (Control && MouseControl == Control) Control->Perform(CM_MOUSEENTER);
}

TControl* GetMouseControl() { return MouseControl; }

void ControlDestroyed(TControl* Control) {
  if (MouseControl == Control) MouseControl = nullptr;
  if (CaptureControl == Control) CaptureControl = nullptr;
}

void HandleControlException(TObject* Sender) {
  if (Application)
    Application->HandleException(Sender);
}

}  // namespace fw_controls

using namespace fw_controls;

// ---- TMargins / TSizeConstraints --------------------------------------------------------------

TMargins::TMargins(TControl* Control, Integer Default)
    : FControl(Control), FLeft(Default), FTop(Default), FRight(Default), FBottom(Default) {}

void TMargins::Assign(TPersistent* Source) {
  if (auto* M = dynamic_cast<TMargins*>(Source)) {
    SetMargins(M->FLeft, M->FTop, M->FRight, M->FBottom);
    return;
  }
  inherited::Assign(Source);
}

void TMargins::SetMargins(Integer ALeft, Integer ATop, Integer ARight, Integer ABottom) {
  if (ALeft == FLeft && ATop == FTop && ARight == FRight && ABottom == FBottom) return;
  FLeft = ALeft;
  FTop = ATop;
  FRight = ARight;
  FBottom = ABottom;
  DoEvent(FOnChange, this);
}

PUBLISHED_DEF(TMargins) {
  PROP(Left).Default(3);
  PROP(Top).Default(3);
  PROP(Right).Default(3);
  PROP(Bottom).Default(3);
}

PUBLISHED_DEF(TPadding) {
  PROP(Left).Default(0);
  PROP(Top).Default(0);
  PROP(Right).Default(0);
  PROP(Bottom).Default(0);
}

PUBLISHED_DEF(TSizeConstraints) {
  PROP(MaxHeight).Default(0);
  PROP(MaxWidth).Default(0);
  PROP(MinHeight).Default(0);
  PROP(MinWidth).Default(0);
}

void TSizeConstraints::Assign(TPersistent* Source) {
  if (auto* C = dynamic_cast<TSizeConstraints*>(Source)) {
    FMinWidth = C->FMinWidth;
    FMinHeight = C->FMinHeight;
    FMaxWidth = C->FMaxWidth;
    FMaxHeight = C->FMaxHeight;
    Change();
    return;
  }
  inherited::Assign(Source);
}

void TSizeConstraints::SetMinWidth(Integer Value) {
  if (Value == FMinWidth) return;
  FMinWidth = Value;
  if (FMaxWidth > 0 && FMaxWidth < FMinWidth) FMaxWidth = FMinWidth;
  Change();
}
void TSizeConstraints::ChangeScale(Integer M, Integer D) {
  if (M == D || D <= 0 || M <= 0) return;
  auto Scale = [&](Integer V) { return V > 0 ? Integer(MulDiv(V, M, D)) : V; };
  FMinWidth = Scale(FMinWidth);
  FMinHeight = Scale(FMinHeight);
  FMaxWidth = Scale(FMaxWidth);
  FMaxHeight = Scale(FMaxHeight);
  Change();
}

void TSizeConstraints::SetMinHeight(Integer Value) {
  if (Value == FMinHeight) return;
  FMinHeight = Value;
  if (FMaxHeight > 0 && FMaxHeight < FMinHeight) FMaxHeight = FMinHeight;
  Change();
}
void TSizeConstraints::SetMaxWidth(Integer Value) {
  if (Value == FMaxWidth) return;
  FMaxWidth = Value;
  if (FMaxWidth > 0 && FMinWidth > FMaxWidth) FMinWidth = FMaxWidth;
  Change();
}
void TSizeConstraints::SetMaxHeight(Integer Value) {
  if (Value == FMaxHeight) return;
  FMaxHeight = Value;
  if (FMaxHeight > 0 && FMinHeight > FMaxHeight) FMinHeight = FMaxHeight;
  Change();
}
void TSizeConstraints::Change() {
  if (FControl) FControl->SetBounds(FControl->GetLeft(), FControl->GetTop(), FControl->GetWidth(), FControl->GetHeight());
  DoEvent(FOnChange, this);
}

// ---- Shift states ------------------------------------------------------------------------------

TShiftState KeysToShiftState(Word Keys) {
  TShiftState S;
  if (Keys & MK_SHIFT) S << ssShift;
  if (Keys & MK_CONTROL) S << ssCtrl;
  if (Keys & MK_LBUTTON) S << ssLeft;
  if (Keys & MK_RBUTTON) S << ssRight;
  if (Keys & MK_MBUTTON) S << ssMiddle;
  if (GetKeyState(VK_MENU) < 0) S << ssAlt;
  return S;
}

TShiftState KeyDataToShiftState(LongInt KeyData) {
  TShiftState S;
  if (GetKeyState(VK_SHIFT) < 0) S << ssShift;
  if (GetKeyState(VK_CONTROL) < 0) S << ssCtrl;
  if (KeyData & 0x20000000) S << ssAlt;  // the context bit: Alt held
  return S;
}

TShiftState KeyboardStateToShiftState() {
  TShiftState S;
  if (GetKeyState(VK_SHIFT) < 0) S << ssShift;
  if (GetKeyState(VK_CONTROL) < 0) S << ssCtrl;
  if (GetKeyState(VK_MENU) < 0) S << ssAlt;
  if (GetKeyState(VK_LBUTTON) < 0) S << ssLeft;
  if (GetKeyState(VK_RBUTTON) < 0) S << ssRight;
  if (GetKeyState(VK_MBUTTON) < 0) S << ssMiddle;
  return S;
}

// ---- Free functions -----------------------------------------------------------------------------

String GetShortHint(const String& Hint) {
  auto P = Hint.find(L'|');
  return P == String::npos ? Hint : Hint.substr(0, P);
}

String GetLongHint(const String& Hint) {
  auto P = Hint.find(L'|');
  return P == String::npos ? Hint : Hint.substr(P + 1);
}

TControl* GetCaptureControl() {
  HWND Wnd = GetCapture();
  TControl* Result = Wnd ? FindControl(Wnd) : nullptr;
  if (Result && CaptureControl && CaptureControl->GetParent() == Result) Result = CaptureControl;
  return Result;
}

void SetCaptureControl(TControl* Control) {
  ReleaseCapture();
  CaptureControl = nullptr;
  if (!Control) return;
  auto* Win = dynamic_cast<TWinControl*>(Control);
  if (!Win) {
    if (!Control->GetParent()) return;
    CaptureControl = Control;
    Win = Control->GetParent();
  }
  SetCapture(Win->GetHandle());
}

TControl* FindDragTarget(const TPoint& Pos, bool AllowDisabled) {
  HWND Wnd = WindowFromPoint(POINT{Pos.X, Pos.Y});
  TWinControl* Win = nullptr;
  while (Wnd && !(Win = FindControl(Wnd))) Wnd = GetParent(Wnd);
  if (!Win) return nullptr;
  TControl* Child = Win->ControlAtPos(Win->ScreenToClient(Pos), AllowDisabled);
  return Child ? Child : Win;
}

TCustomForm* GetParentForm(TControl* Control, bool TopForm) {
  while (Control && Control->GetParent()) {
    if (!TopForm && dynamic_cast<TCustomForm*>(Control)) break;
    Control = Control->GetParent();
  }
  return dynamic_cast<TCustomForm*>(Control);
}

TCustomForm* ValidParentForm(TControl* Control, bool TopForm) {
  TCustomForm* Form = GetParentForm(Control, TopForm);
  if (!Form) throw EInvalidOperation(L"Control '%s' has no parent form", {Control ? Control->GetName() : String()});
  return Form;
}

// ---- TControl -----------------------------------------------------------------------------------

TControl::TControl(TComponent* AOwner)
    : TComponent(AOwner),
      FMargins(std::make_unique<TMargins>(this)),
      FConstraints(std::make_unique<TSizeConstraints>(this)) {
  FWindowProc = TWndMethod(this, &TControl::WndProc);
  FMargins->SetOnChange([this](TObject*) {
    if (FAlignWithMargins) RequestAlign();
  });
  FFont = std::make_unique<TFont>();
  FFont->SetOnChange(TNotifyEvent(this, &TControl::FontChanged));
}

TControl::~TControl() {
  ControlDestroyed(this);
  TDragManager::ControlDestroyed(this);
  if (GetCaptureControl() == this) SetCaptureControl(nullptr);
  SetParent(nullptr);
  FActionLink.reset();
}

// ---- Touch ------------------------------------------------------------------------------------

void TTouchManager::Assign(TPersistent* Source) {
  if (auto* S = dynamic_cast<TTouchManager*>(Source)) {
    FInteractiveGestures = S->FInteractiveGestures;
    FInteractiveGestureOptions = S->FInteractiveGestureOptions;
    return;
  }
  TPersistent::Assign(Source);
}

bool TTouchManager::IsInteractiveGesturesStored() const {
  return !FControl || FControl->IsTouchPropertyStored(tpInteractiveGestures);
}

bool TTouchManager::IsInteractiveGestureOptionsStored() const {
  return !FControl || FControl->IsTouchPropertyStored(tpInteractiveGestureOptions);
}

TPersistent* TTouchManager::GetOwner() { return FControl; }

PUBLISHED_DEF(TTouchManager) {
  PROP(InteractiveGestures).Stored(&TTouchManager::IsInteractiveGesturesStored);
  PROP(InteractiveGestureOptions).Stored(&TTouchManager::IsInteractiveGestureOptionsStored);
}

TTouchManager* TControl::GetTouch() {
  if (!FTouch) FTouch = std::make_unique<TTouchManager>(this);
  return FTouch.get();
}

bool TControl::IsTouchPropertyStored(TTouchProperty AProperty) {
  if (!FTouch) return false;
  if (AProperty == tpInteractiveGestures) return !FTouch->GetInteractiveGestures().Empty();
  return FTouch->GetInteractiveGestureOptions() != TTouchManager::AllGestureOptions();
}

PUBLISHED_DEF(TControl) {
  PROP(Left);
  PROP(Top);
  PROP(Width);
  PROP(Height);
  PROP(Align).Default(alNone);
  PROP(Anchors);
  PROP(AlignWithMargins).Default(false);
  PROP_READONLY(Margins);
  PROP_READONLY(Constraints);
  PROP(Visible).Default(true);
  PROP(Enabled).Default(true);
  PROP(Hint);
  PROP(ShowHint).Stored(&TControl::IsShowHintStored);  // a parent's hint setting is not the control's
  PROP(ParentShowHint).Default(true);
  PROP(Cursor).Default(crDefault);
  PROP_READONLY(Font);
  PROP(ParentFont).Default(true);
  PROP(Color).Idents(&IdentToColor, &ColorToIdent);
  PROP(ParentColor);
  PROP(BiDiMode).Default(bdLeftToRight);
  PROP(ParentBiDiMode).Default(true);
  PROP(DragMode).Default(dmManual);
  PROP(DragKind).Default(dkDrag);
  PROP(DragCursor).Default(crDrag);
  PROP(StyleElements);
  PROP(PopupMenu);
  EVENT(OnClick);
  EVENT(OnDblClick);
  EVENT(OnMouseDown);
  EVENT(OnMouseUp);
  EVENT(OnMouseMove);
  EVENT(OnMouseEnter);
  EVENT(OnMouseLeave);
  EVENT(OnMouseWheel);
  EVENT(OnMouseWheelDown);
  EVENT(OnMouseWheelUp);
  EVENT(OnResize);
  EVENT(OnCanResize);
  EVENT(OnContextPopup);
  EVENT(OnDragOver);
  EVENT(OnDragDrop);
  EVENT(OnStartDrag);
  EVENT(OnEndDrag);
}

LRESULT TControl::Perform(Cardinal Msg, WPARAM WParam, LPARAM LParam) {
  TMessage Message;
  Message.Msg = Msg;
  Message.WParam = WParam;
  Message.LParam = LParam;
  return Perform(Message);
}

LRESULT TControl::Perform(TMessage& Message) {
  TDispatchScope Scope(this);
  FWindowProc(Message);
  return Message.Result;
}

void TControl::WndProc(TMessage& Message) {
  if (Dragging()) {
    if (Message.Msg == WM_MOUSEMOVE) {
      TDragManager::MouseMoved(ClientToScreen(LParamToPoint(Message.LParam)));
      return;
    }
    if (Message.Msg == WM_LBUTTONUP || Message.Msg == WM_CANCELMODE ||
        (Message.Msg == WM_KEYDOWN && Message.WParam == VK_ESCAPE)) {
      TDragManager::Done(Message.Msg == WM_LBUTTONUP);
      return;
    }
  }
  if (Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST) {
    if (!FControlStyle.Contains(csDoubleClicks) &&
        (Message.Msg == WM_LBUTTONDBLCLK || Message.Msg == WM_RBUTTONDBLCLK || Message.Msg == WM_MBUTTONDBLCLK))
      Message.Msg -= WM_LBUTTONDBLCLK - WM_LBUTTONDOWN;
    switch (Message.Msg) {
      case WM_MOUSEMOVE:
        if (Application) Application->HintMouseMessage(this, Message);
        break;
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK:
        if (FDragMode == dmAutomatic && FDragKind == dkDrag) {
          BeginDrag(false);
          return;
        }
        FControlState << csLButtonDown;
        break;
      case WM_LBUTTONUP:
        FControlState >> csLButtonDown;
        break;
    }
  }
  Dispatch(&Message);
}

void TControl::DefaultHandler(void* Message) {
  auto& M = *static_cast<TMessage*>(Message);
  switch (M.Msg) {
    case WM_GETTEXT: {
      auto* Buffer = reinterpret_cast<wchar_t*>(M.LParam);
      size_t Max = M.WParam;
      if (!Buffer || Max == 0) {
        M.Result = 0;
        break;
      }
      size_t N = std::min(FText.size(), Max - 1);
      std::memcpy(Buffer, FText.data(), N * sizeof(wchar_t));
      Buffer[N] = 0;
      M.Result = LRESULT(N);
      break;
    }
    case WM_GETTEXTLENGTH:
      M.Result = LRESULT(FText.size());
      break;
    case WM_SETTEXT: {
      auto* P = reinterpret_cast<const wchar_t*>(M.LParam);
      FText = P ? P : L"";
      M.Result = 1;
      break;
    }
    case WM_SETCURSOR:
      break;
    default:
      break;
  }
}

void TControl::SetParent(TWinControl* AParent) {
  if (FParent == AParent) return;
  if (AParent == this) throw EInvalidOperation(L"A control cannot have itself as its parent");
  if (FParent) FParent->RemoveControl(this);
  if (AParent) {
    AParent->InsertControl(this);
    if (FParentFont) Perform(CM_PARENTFONTCHANGED);
    if (FParentColor) Perform(CM_PARENTCOLORCHANGED);
    if (FParentShowHint) Perform(CM_PARENTSHOWHINTCHANGED);
    if (FParentBiDiMode) Perform(CM_PARENTBIDIMODECHANGED);
  }
}

void TControl::SetParentComponent(TComponent* Value) {
  if (auto* W = dynamic_cast<TWinControl*>(Value)) SetParent(W);
}

TComponent* TControl::GetParentComponent() const { return FParent; }

void TControl::ApplyConstraints(Integer& AWidth, Integer& AHeight) {
  Integer MinW = FConstraints->GetMinWidth(), MinH = FConstraints->GetMinHeight();
  Integer MaxW = FConstraints->GetMaxWidth(), MaxH = FConstraints->GetMaxHeight();
  ConstrainedResize(MinW, MinH, MaxW, MaxH);
  if (MaxW > 0 && AWidth > MaxW) AWidth = MaxW;
  if (MinW > 0 && AWidth < MinW) AWidth = MinW;
  if (MaxH > 0 && AHeight > MaxH) AHeight = MaxH;
  if (MinH > 0 && AHeight < MinH) AHeight = MinH;
  if (AWidth < 0) AWidth = 0;
  if (AHeight < 0) AHeight = 0;
}

bool TControl::CanResize(Integer& NewWidth, Integer& NewHeight) {
  bool Result = true;
  if (FOnCanResize) FOnCanResize(this, NewWidth, NewHeight, Result);
  return Result;
}

void TControl::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  ApplyConstraints(AWidth, AHeight);
  if ((AWidth != FWidth || AHeight != FHeight) && !CanResize(AWidth, AHeight)) {
    AWidth = FWidth;
    AHeight = FHeight;
  }
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  bool Resized = AWidth != FWidth || AHeight != FHeight;
  InvalidateControl(FVisible, false);
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  if (!FLayoutMove) UpdateAnchorRules();
  InvalidateControl(FVisible, false);
  if (!FLayoutMove) RequestAlign();
  if (Resized) Resize();
}

void TControl::SetBoundsByLayout(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  bool Old = FLayoutMove;
  FLayoutMove = true;
  try {
    SetBounds(ALeft, ATop, AWidth, AHeight);
  } catch (...) {
    FLayoutMove = Old;
    throw;
  }
  FLayoutMove = Old;
}

void TControl::UpdateAnchorRules() {
  FAnchorOrigin = GetBoundsRect();
  if (FParent && FParent->HandleAllocated() && !GetComponentState().Contains(csLoading)) {
    TRect R = FParent->GetClientRect();
    FOriginalParentSize = {R.Width(), R.Height()};
    FAnchorRulesValid = true;
  } else {
    FAnchorRulesValid = false;  // recorded on the parent's first layout, with its real client size
  }
}

TRect TControl::GetClientRect() { return Rect(0, 0, FWidth, FHeight); }

void TControl::SetClientSize(const TSize& Value) {
  TRect Client = GetClientRect();
  SetBounds(FLeft, FTop, FWidth - Client.Width() + Value.cx, FHeight - Client.Height() + Value.cy);
}

TPoint TControl::GetClientOrigin() {
  if (!FParent) throw EInvalidOperation(L"Control '%s' has no parent window", {GetName()});
  TPoint P = FParent->GetClientOrigin();
  return {P.X + FLeft, P.Y + FTop};
}

TPoint TControl::ClientToParent(const TPoint& P, TWinControl* AParent) {
  if (!AParent) AParent = FParent;
  TPoint Result = P;
  TControl* C = this;
  while (C && C != AParent) {
    Result.X += C->FLeft;
    Result.Y += C->FTop;
    C = C->FParent;
  }
  if (C != AParent) throw EInvalidOperation(L"Control '%s' is not a child of the given parent", {GetName()});
  return Result;
}

TPoint TControl::ParentToClient(const TPoint& P, TWinControl* AParent) {
  TPoint Origin = ClientToParent({0, 0}, AParent);
  return {P.X - Origin.X, P.Y - Origin.Y};
}

void TControl::SetAlign(TAlign Value) {
  if (FAlign == Value) return;
  TAlign Old = FAlign;
  FAlign = Value;
  FAnchors = AnchorAlign[Value];
  if (Old == alNone || Value == alNone) UpdateAnchorRules();
  RequestAlign();
}

void TControl::SetAnchors(TAnchors Value) {
  if (FAnchors == Value) return;
  FAnchors = Value;
  UpdateAnchorRules();
}

void TControl::SetAlignWithMargins(bool Value) {
  if (FAlignWithMargins == Value) return;
  FAlignWithMargins = Value;
  RequestAlign();
}

void TControl::RequestAlign() {
  if (FParent && (FAlign != alNone || FVisible)) FParent->AlignControl(this);
}

void TControl::SetZOrder(bool TopMost) {
  if (!FParent) return;
  auto& L = FParent->FControls;
  auto It = std::find(L.begin(), L.end(), this);
  if (It == L.end()) return;
  L.erase(It);
  if (TopMost)
    L.push_back(this);
  else
    L.insert(L.begin(), this);
  if (FAlign != alNone) RequestAlign();
  InvalidateControl(FVisible, true);
}

void TControl::SetVisible(bool Value) {
  if (FVisible == Value) return;
  VisibleChanging();
  FVisible = Value;
  Perform(CM_VISIBLECHANGED, Value);
  RequestAlign();
}

void TControl::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  Perform(CM_ENABLEDCHANGED);
}

bool TControl::IsShowing() const {
  for (const TControl* C = this; C; C = C->FParent)
    if (!C->FVisible) return false;
  return true;
}

String TControl::GetText() {
  Integer Len = Integer(Perform(WM_GETTEXTLENGTH));
  String S(Len + 1, L'\0');
  Integer N = Integer(Perform(WM_GETTEXT, WPARAM(Len + 1), LPARAM(S.data())));
  S.resize(std::max(0, std::min(N, Len)));
  return S;
}

void TControl::SetText(const String& Value) {
  if (GetText() == Value) return;
  Perform(WM_SETTEXT, 0, LPARAM(Value.c_str()));
  Perform(CM_TEXTCHANGED);
}

void TControl::SetShowHint(bool Value) {
  if (FShowHint == Value && !FParentShowHint) return;
  FShowHint = Value;
  FParentShowHint = false;
  Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool Value) {
  if (FParentShowHint == Value) return;
  FParentShowHint = Value;
  if (Value) Perform(CM_PARENTSHOWHINTCHANGED);
}

void TControl::CMParentShowHintChanged(TMessage&) {
  if (FParentShowHint && FParent) {
    FShowHint = FParent->GetShowHint();
    FParentShowHint = true;
    Perform(CM_SHOWHINTCHANGED);
  }
}

void TControl::SetCursor(TCursor Value) {
  if (FCursor == Value) return;
  FCursor = Value;
  Perform(CM_CURSORCHANGED);
}

void TControl::SetPopupMenu(TPopupMenu* Value) { FPopupMenu = Value; }

void TControl::SetBiDiMode(TBiDiMode Value) {
  if (FBiDiMode == Value && !FParentBiDiMode) return;
  FBiDiMode = Value;
  FParentBiDiMode = false;
  Perform(CM_BIDIMODECHANGED);
}

void TControl::SetParentBiDiMode(bool Value) {
  if (FParentBiDiMode == Value) return;
  FParentBiDiMode = Value;
  if (Value) Perform(CM_PARENTBIDIMODECHANGED);
}

void TControl::CMParentBiDiModeChanged(TMessage&) {
  // Only a change is passed on: the controls whose reading order is a window style make their
  // windows again for it, and every control is told once as the form is read.
  if (!FParentBiDiMode || !FParent || FBiDiMode == FParent->GetBiDiMode()) return;
  FBiDiMode = FParent->GetBiDiMode();
  Perform(CM_BIDIMODECHANGED);
}

LongInt TControl::DrawTextBiDiModeFlags(LongInt Flags) const {
  LongInt Result = Flags;
  if (UseRightToLeftAlignment()) {
    if ((Flags & DT_RIGHT) == DT_RIGHT)
      Result &= ~DT_RIGHT;
    else if ((Flags & DT_CENTER) == 0)
      Result |= DT_RIGHT;
  }
  return Result | DrawTextBiDiModeFlagsReadingOnly();
}

LongInt TControl::DrawTextBiDiModeFlagsReadingOnly() const { return UseRightToLeftReading() ? DT_RTLREADING : 0; }

void TControl::SetStyleElements(TStyleElements Value) {
  if (FStyleElements == Value) return;
  FStyleElements = Value;
  Perform(CM_STYLECHANGED);
}

bool TControl::GetMouseCapture() { return GetCaptureControl() == this; }

void TControl::SetMouseCapture(bool Value) {
  if (GetMouseCapture() == Value) return;
  SetCaptureControl(Value ? this : nullptr);
}

void TControl::ScaleForPPI(Integer NewPPI) {
  if (NewPPI <= 0 || NewPPI == FCurrentPPI) return;
  ChangeScale(NewPPI, FCurrentPPI, true);
}

void TControl::ChangeScale(Integer M, Integer D, bool IsDpiChange) {
  if (M == D || D <= 0 || M <= 0) return;
  auto Scale = [&](Integer V) { return Integer(MulDiv(V, M, D)); };
  // The limits first: the old ones would clamp the new bounds.
  FConstraints->ChangeScale(M, D);
  SetBounds(Scale(FLeft), Scale(FTop), Scale(FLeft + FWidth) - Scale(FLeft), Scale(FTop + FHeight) - Scale(FTop));
  FScaleFactor = FScaleFactor * Single(M) / Single(D);
  if (IsDpiChange) {
    FCurrentPPI = MulDiv(FCurrentPPI, M, D);
    // Points stay points at the new DPI; a parent's font assigned later converts by size.
    FFont->SetPixelsPerInch(FCurrentPPI);
  }
  // A font of the control's own has an explicit height in pixels; a parent's font follows the parent.
  if (!FParentFont) FFont->SetHeight(Scale(FFont->GetHeight()));
}

void TControl::Invalidate() { InvalidateControl(FVisible, FControlStyle.Contains(csOpaque)); }

void TControl::InvalidateControl(bool IsVisible, bool IsOpaque) {
  if (!IsVisible || !FParent || !FParent->HandleAllocated()) return;
  RECT R{FLeft, FTop, FLeft + FWidth, FTop + FHeight};
  InvalidateRect(FParent->GetHandle(), &R, !IsOpaque);
}

void TControl::Update() {
  if (FParent) FParent->Update();
}

void TControl::Repaint() {
  if (!FVisible || !FParent || !FParent->HandleAllocated()) return;
  Invalidate();
  FParent->Update();
}

void TControl::Loaded() {
  inherited::Loaded();
  FAnchorRulesValid = false;
  if (FParentShowHint) Perform(CM_PARENTSHOWHINTCHANGED);
  if (FParentBiDiMode) Perform(CM_PARENTBIDIMODECHANGED);
  RequestAlign();
}

// ---- Font and colour ----------------------------------------------------------------------------

void TControl::FontChanged(TObject*) {
  if (!FSettingParentFont) FParentFont = false;
  Perform(CM_FONTCHANGED);
}

void TControl::SetParentFont(bool Value) {
  if (FParentFont == Value) return;
  FParentFont = Value;
  if (Value && FParent) Perform(CM_PARENTFONTCHANGED);
}

void TControl::CMParentFontChanged(TMessage&) {
  if (!FParentFont || !FParent) return;
  FSettingParentFont = true;
  try {
    FFont->Assign(FParent->GetFont());
  } catch (...) {
    FSettingParentFont = false;
    throw;
  }
  FSettingParentFont = false;
}

void TControl::CMFontChanged(TMessage& Message) {
  Invalidate();
  inherited::Dispatch(&Message);
}

void TControl::SetColor(TColor Value) {
  if (FColor == Value) return;
  FColor = Value;
  FParentColor = false;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool Value) {
  if (FParentColor == Value) return;
  FParentColor = Value;
  if (Value && FParent) Perform(CM_PARENTCOLORCHANGED);
}

void TControl::CMParentColorChanged(TMessage&) {
  if (!FParentColor || !FParent) return;
  if (FColor != FParent->GetColor()) {
    FColor = FParent->GetColor();
    Perform(CM_COLORCHANGED);
  }
}

void TControl::CMColorChanged(TMessage& Message) {
  Invalidate();
  inherited::Dispatch(&Message);
}

HDC TControl::GetDeviceContext(HWND& WindowHandle) {
  if (!FParent) throw EInvalidOperation(L"Control '%s' has no parent window", {GetName()});
  HDC DC = FParent->GetDeviceContext(WindowHandle);
  SetViewportOrgEx(DC, FLeft, FTop, nullptr);
  IntersectClipRect(DC, 0, 0, FWidth, FHeight);
  return DC;
}

// ---- Mouse ------------------------------------------------------------------------------------

void TControl::SendCancelMode(TControl* Sender) {
  if (TCustomForm* Form = GetParentForm(this)) Form->SendCancelMode(Sender);
}

void TControl::DoMouseDown(TWMMouse& Message, TMouseButton Button, TShiftState Shift) {
  if (FControlStyle.Contains(csNoStdEvents)) return;
  MouseDown(Button, KeysToShiftState(Word(Message.Keys)) + Shift, Message.XPos, Message.YPos);
}

void TControl::DoMouseUp(TWMMouse& Message, TMouseButton Button) {
  if (FControlStyle.Contains(csNoStdEvents)) return;
  MouseUp(Button, KeysToShiftState(Word(Message.Keys)), Message.XPos, Message.YPos);
}

void TControl::WMLButtonDown(TWMMouse& Message) {
  SendCancelMode(this);
  inherited::Dispatch(&Message);
  if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(true);
  if (FControlStyle.Contains(csClickEvents)) FControlState << csClicked;
  DoMouseDown(Message, mbLeft, {});
}

void TControl::WMRButtonDown(TWMMouse& Message) {
  inherited::Dispatch(&Message);
  DoMouseDown(Message, mbRight, {});
}

void TControl::WMMButtonDown(TWMMouse& Message) {
  inherited::Dispatch(&Message);
  DoMouseDown(Message, mbMiddle, {});
}

void TControl::WMLButtonDblClk(TWMMouse& Message) {
  SendCancelMode(this);
  inherited::Dispatch(&Message);
  if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(true);
  if (FControlStyle.Contains(csClickEvents)) DblClick();
  DoMouseDown(Message, mbLeft, {ssDouble});
}

void TControl::WMRButtonDblClk(TWMMouse& Message) {
  inherited::Dispatch(&Message);
  DoMouseDown(Message, mbRight, {ssDouble});
}

void TControl::WMMButtonDblClk(TWMMouse& Message) {
  inherited::Dispatch(&Message);
  DoMouseDown(Message, mbMiddle, {ssDouble});
}

void TControl::WMLButtonUp(TWMMouse& Message) {
  inherited::Dispatch(&Message);
  if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(false);
  if (FControlState.Contains(csClicked)) {
    FControlState >> csClicked;
    TDispatchScope Scope(this);
    if (GetClientRect().Contains(TPoint(Message.XPos, Message.YPos))) Click();
    if (Scope.Deleted()) return;
  }
  DoMouseUp(Message, mbLeft);
}

void TControl::WMRButtonUp(TWMMouse& Message) {
  inherited::Dispatch(&Message);
  DoMouseUp(Message, mbRight);
}

void TControl::WMMButtonUp(TWMMouse& Message) {
  inherited::Dispatch(&Message);
  DoMouseUp(Message, mbMiddle);
}

void TControl::WMMouseMove(TWMMouse& Message) {
  inherited::Dispatch(&Message);
  if (!FControlStyle.Contains(csNoStdEvents))
    MouseMove(KeysToShiftState(Word(Message.Keys)), Message.XPos, Message.YPos);
}

void TControl::WMCancelMode(TWMCancelMode& Message) {
  inherited::Dispatch(&Message);
  if (GetMouseCapture()) {
    SetMouseCapture(false);
    if (FControlState.Contains(csLButtonDown)) Perform(WM_LBUTTONUP, 0, LPARAM(0xFFFFFFFF));
  }
  FControlState >> csLButtonDown;
}

void TControl::WMContextMenu(TWMContextMenu& Message) {
  if (Message.Result != 0) return;
  TPoint Pos(Message.XPos, Message.YPos);
  TPoint Local = (Pos.X == -1 && Pos.Y == -1) ? Pos : ScreenToClient(Pos);
  // A windowless child under the mouse offers its own menu first.
  if (auto* W = dynamic_cast<TWinControl*>(this); W && !(Pos.X == -1 && Pos.Y == -1))
    if (TControl* Child = W->ControlAtPos(Local, false); Child && !dynamic_cast<TWinControl*>(Child)) {
      Message.Result = Child->Perform(WM_CONTEXTMENU, WPARAM(W->GetHandle()), MAKELPARAM(Pos.X, Pos.Y));
      if (Message.Result != 0) return;
    }
  bool Handled = false;
  DoContextPopup(Local, Handled);
  if (!Handled && FPopupMenu && FPopupMenu->GetAutoPopup()) {
    if (Pos.X == -1 && Pos.Y == -1) Pos = ClientToScreen({0, 0});
    FPopupMenu->SetPopupComponent(this);
    FPopupMenu->Popup(Pos.X, Pos.Y);
    Handled = true;
  }
  Message.Result = Handled ? 1 : 0;
  if (!Handled) inherited::Dispatch(&Message);
}

void TControl::DoContextPopup(const TPoint& MousePos, bool& Handled) {
  if (FOnContextPopup) FOnContextPopup(this, MousePos, Handled);
}

void TControl::CMMouseEnter(TCMMouseEnter& Message) {
  if (FParent) FParent->Perform(CM_MOUSEENTER, 0, LPARAM(Message.Control ? Message.Control : this));
  if (!Message.Control) DoEvent(FOnMouseEnter, this);
}

void TControl::CMMouseLeave(TCMMouseLeave& Message) {
  if (FParent) FParent->Perform(CM_MOUSELEAVE, 0, LPARAM(Message.Control ? Message.Control : this));
  if (!Message.Control) DoEvent(FOnMouseLeave, this);
}

void TControl::CMMouseWheel(TCMMouseWheel& Message) {
  TShiftState Shift = TShiftState::FromInt(Message.ShiftState);
  if (DoMouseWheel(Shift, Message.WheelDelta, TPoint(Message.XPos, Message.YPos))) Message.Result = 1;
  else if (FParent) Message.Result = FParent->Perform(CM_MOUSEWHEEL, Message.ShiftState | (WPARAM(Word(Message.WheelDelta)) << 16),
                                                      MAKELPARAM(Word(Message.XPos), Word(Message.YPos)));
}

bool TControl::DoMouseWheel(TShiftState Shift, Integer WheelDelta, const TPoint& MousePos) {
  bool Handled = false;
  if (FOnMouseWheel) FOnMouseWheel(this, Shift, WheelDelta, MousePos, Handled);
  if (Handled) return true;
  // Whole notches are handed out one by one; the remainder waits for the next message.
  FWheelAccumulator += WheelDelta;
  while (std::abs(FWheelAccumulator) >= WHEEL_DELTA) {
    bool IsNeg = FWheelAccumulator < 0;
    FWheelAccumulator = std::abs(FWheelAccumulator) - WHEEL_DELTA;
    if (IsNeg) {
      FWheelAccumulator = -FWheelAccumulator;
      Handled = DoMouseWheelDown(Shift, MousePos) || Handled;
    } else {
      Handled = DoMouseWheelUp(Shift, MousePos) || Handled;
    }
  }
  return Handled;
}

bool TControl::DoMouseWheelDown(TShiftState Shift, const TPoint& MousePos) {
  bool Handled = false;
  if (FOnMouseWheelDown) FOnMouseWheelDown(this, Shift, MousePos, Handled);
  return Handled;
}

bool TControl::DoMouseWheelUp(TShiftState Shift, const TPoint& MousePos) {
  bool Handled = false;
  if (FOnMouseWheelUp) FOnMouseWheelUp(this, Shift, MousePos, Handled);
  return Handled;
}

void TControl::CMHitTest(TCMHitTest& Message) { Message.Result = 1; }

void TControl::CMVisibleChanged(TMessage& Message) {
  InvalidateControl(true, FVisible && FControlStyle.Contains(csOpaque));
  inherited::Dispatch(&Message);
}

void TControl::CMEnabledChanged(TMessage& Message) {
  Invalidate();
  inherited::Dispatch(&Message);
}

void TControl::Click() {
  TBasicAction* Action = GetAction();  // null when the action was freed
  if (FOnClick && (!Action || FOnClick != Action->GetOnExecute()))
    FOnClick(this);
  else if (FActionLink)
    FActionLink->Execute(this);
  else
    DoEvent(FOnClick, this);
}

void TControl::DblClick() { DoEvent(FOnDblClick, this); }

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  if (FOnMouseDown) FOnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  if (FOnMouseMove) FOnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  if (FOnMouseUp) FOnMouseUp(this, Button, Shift, X, Y);
}

void TControl::Resize() { DoEvent(FOnResize, this); }

// ---- Actions ----------------------------------------------------------------------------------

TBasicAction* TControl::GetAction() const { return FActionLink ? FActionLink->GetAction() : nullptr; }

void TControl::SetAction(TBasicAction* Value) {
  if (!Value) {
    FActionLink.reset();
    FControlStyle >> csActionClient;
    return;
  }
  FControlStyle << csActionClient;
  if (!FActionLink) FActionLink = std::make_unique<TControlActionLink>(this);
  FActionLink->SetAction(Value);
  FActionLink->SetOnChange([this](TObject* Sender) { ActionChange(Sender, false); });
  ActionChange(Value, GetComponentState().Contains(csLoading));
}

void TControl::ActionChange(TObject* Sender, bool CheckDefaults) {
  auto* Action = dynamic_cast<TCustomAction*>(Sender);
  if (!Action) return;
  if (!CheckDefaults || GetText().empty() || GetText() == GetName()) SetText(Action->GetCaption());
  if (!CheckDefaults || FEnabled) SetEnabled(Action->GetEnabled());
  if (!CheckDefaults || FHint.empty()) SetHint(Action->GetHint());
  if (!CheckDefaults || FVisible) SetVisible(Action->GetVisible());
  if (!CheckDefaults || !FOnClick) FOnClick = Action->GetOnExecute();
}

void TControl::InitiateAction() {
  if (FActionLink) FActionLink->Update();
}

// ---- Dragging ---------------------------------------------------------------------------------

void TControl::DragOver(TObject* Source, Integer X, Integer Y, TDragState State, bool& Accept) {
  Accept = false;
  if (FOnDragOver) {
    Accept = true;
    FOnDragOver(this, Source, X, Y, State, Accept);
  }
}

void TControl::DragDrop(TObject* Source, Integer X, Integer Y) {
  if (FOnDragDrop) FOnDragDrop(this, Source, X, Y);
}

void TControl::DoStartDrag(TDragObject*& DragObject) {
  if (FOnStartDrag) FOnStartDrag(this, DragObject);
}

void TControl::DoEndDrag(TObject* Target, Integer X, Integer Y) {
  if (FOnEndDrag) FOnEndDrag(this, Target, X, Y);
}
