#include "kvlib/grids/GridToolCtrlsKv.h"

#include <algorithm>
#include <vector>

#include "framework/Forms.h"
#include "framework/Themes.h"
#include "framework/WinApi.h"
#include "kvlib/foundation/KvLibVCL.h"
#include "kvlib/grids/GridsKv.h"

// ---- TControlScrollBarKv ----------------------------------------------------------------------

TGridScrollBarPanelControlKv* TControlScrollBarKv::Panel() const {
  return dynamic_cast<TGridScrollBarPanelControlKv*>(GetParent());
}

void TControlScrollBarKv::WMButtonDown(TWMMouse& Message) {
  TGridScrollBarPanelControlKv* P = Panel();
  if (P && !P->ScrollBarTakeFocus(this)) return;
  inherited::Dispatch(&Message);
}

void TControlScrollBarKv::WMMouseActivate(TMessage& Message) { Message.Result = MA_NOACTIVATE; }

void TControlScrollBarKv::WMCancelMode(TWMCancelMode& Message) {
  // Disabling the bar sends one; a drag in progress must survive it.
  if (TGridScrollBarPanelControlKv* P = Panel(); P && P->GetIgnoreCancelMode()) return;
  inherited::Dispatch(&Message);
}

void TControlScrollBarKv::CMDesignHitTest(TCMDesignHitTest& Message) { Message.Result = 1; }

// ---- TGridScrollBarPanelControlKv -------------------------------------------------------------

TGridScrollBarPanelControlKv::TGridScrollBarPanelControlKv(TComponent* AOwner, TScrollBarKind AKind)
    : TCustomPanel(AOwner), FKind(AKind) {
  FControlStyle >> csAcceptsControls;
  FControlStyle >> csSetCaption;
  SetShowCaption(false);
  FScrollBar = new TControlScrollBarKv(this);
  FScrollBar->SetKind(AKind);
  FScrollBar->SetOnScroll({this, &TGridScrollBarPanelControlKv::BarScroll});
  FScrollBar->SetCtl3D(false);
  FScrollBar->SetParentCtl3D(false);
  FScrollBar->SetTabStop(false);
  FScrollBar->SetDoubleBuffered(false);
  FScrollBar->SetParent(this);
  SetBevelOuter(bvNone);
  SetBevelInner(bvNone);
  SetDoubleBuffered(true);
}

TCustomGridKv* TGridScrollBarPanelControlKv::Grid() const { return dynamic_cast<TCustomGridKv*>(const_cast<TGridScrollBarPanelControlKv*>(this)->GetOwner()); }

void TGridScrollBarPanelControlKv::SetKeepMaxSizeInDefault(bool Value) {
  if (FKeepMaxSizeInDefault == Value) return;
  FKeepMaxSizeInDefault = Value;
  Realign();
}

void TGridScrollBarPanelControlKv::BarScroll(TObject*, TScrollCode ScrollCode, Integer& ScrollPos) {
  TCustomGridKv* G = Grid();
  if (FKind == sbHorizontal && G && G->UseRightToLeftAlignment()) ScrollPos = FScrollBar->GetMax() - ScrollPos;
  if (G) G->DoScroll(FKind, Integer(ScrollCode), ScrollPos, true);
  // The thumb moves only when the grid sets new parameters.
  ScrollPos = FScrollBar->GetPosition();
}

void TGridScrollBarPanelControlKv::SetParams(Integer APosition, Integer AMin, Integer AMax, Integer APageSize) {
  bool Disable = AMin >= std::max(AMax, AMin) || APageSize > std::max(AMax, AMin) - AMin;
  // Every change redraws the bar, and the grid sets its parameters after every scroll.
  if (FScrollBar->GetEnabled() == !Disable && FScrollBar->GetPosition() == APosition && FScrollBar->GetMin() == AMin &&
      FScrollBar->GetMax() == std::max(AMax, AMin) && FScrollBar->GetPageSize() == APageSize)
    return;
  FScrollBar->SetEnabled(true);
  if (AMax < FScrollBar->GetPageSize()) FScrollBar->SetPageSize(0);
  if (AMax < AMin) AMax = AMin;
  FScrollBar->SetParams(APosition, AMin, AMax);
  FScrollBar->SetPageSize(APageSize);
  if (Disable) {
    FIgnoreCancelMode = true;
    struct TReset {
      bool& Flag;
      ~TReset() { Flag = false; }
    } Reset{FIgnoreCancelMode};
    FScrollBar->SetEnabled(false);
  }
}

void TGridScrollBarPanelControlKv::GetParams(Integer& APosition, Integer& AMin, Integer& AMax,
                                             Integer& APageSize) const {
  APosition = FScrollBar->GetPosition();
  AMin = FScrollBar->GetMin();
  AMax = FScrollBar->GetMax();
  APageSize = FScrollBar->GetPageSize();
}

bool TGridScrollBarPanelControlKv::ScrollBarTakeFocus(TControlScrollBarKv*) {
  TCustomGridKv* G = Grid();
  return G ? G->TakeFocus() : true;
}

void TGridScrollBarPanelControlKv::Resize() {
  inherited::Resize();
  if (!HandleAllocated()) return;
  TCustomGridKv* G = Grid();
  Integer W = GetWidth(), H = GetHeight();
  if (FKind == sbVertical) {
    if (G) W = std::min(W, G->GetVertScrollBar()->ActualScrollBarBoxSize());
    FScrollBar->SetBounds(GetWidth() - W, GetHeight() - H, W, H);
  } else {
    if (G) H = std::min(H, G->GetHorzScrollBar()->ActualScrollBarBoxSize());
    FScrollBar->SetBounds(GetWidth() - W, GetHeight() - H, W, H);
  }
}

Integer TGridScrollBarPanelControlKv::MaxSizeForExtraPanel() {
  return GetWidth() - 2 * GetSystemMetrics(SM_CYHSCROLL);
}

void TGridScrollBarPanelControlKv::Invalidate() {
  inherited::Invalidate();
  for (Integer I = 0; I < GetControlCount(); ++I) GetControl(I)->Invalidate();
}

void TGridScrollBarPanelControlKv::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  inherited::SetBounds(ALeft, ATop, std::max(AWidth, 0), std::max(AHeight, 0));
}

// ---- TSizeGripPanelKv -------------------------------------------------------------------------

TSizeGripPanelKv::TSizeGripPanelKv(TComponent* AOwner) : TCustomPanel(AOwner) {
  FControlStyle >> csAcceptsControls;
  SetBevelOuter(bvNone);
  SetBevelInner(bvNone);
  SetShowCaption(false);
  FPosition = sgpBottomRight;
  FMouseMousePos = TPoint(-1, -1);
  SetParentBackground(false);
}

void TSizeGripPanelKv::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  inherited::SetBounds(ALeft, ATop, std::max(AWidth, 0), std::max(AHeight, 0));
}

void TSizeGripPanelKv::SetTriangleWindow(bool Value) {
  if (FTriangleWindow == Value) return;
  FTriangleWindow = Value;
  UpdateRegion();
}

void TSizeGripPanelKv::SetGripActiveStatus(TGripActiveStatusKv Value) {
  if (FGripActiveStatus == Value) return;
  FGripActiveStatus = Value;
  UpdateCursor();
  Invalidate();
}

void TSizeGripPanelKv::SetPosition(TSizeGripPosition Value) {
  if (FPosition == Value) return;
  FPosition = Value;
  UpdateRegion();
  Invalidate();
}

TWinControl* TSizeGripPanelKv::GetSizingWindow() {
  HWND Desktop = ::GetDesktopWindow();
  TWinControl* Found = nullptr;
  for (TWinControl* C = GetParent(); C; C = C->GetParent()) {
    if (!C->HandleAllocated()) continue;
    HWND W = C->GetHandle();
    LONG Style = ::GetWindowLongW(W, GWL_STYLE);
    LONG ExStyle = ::GetWindowLongW(W, GWL_EXSTYLE);
    HWND ParentWnd = ::GetParent(W);
    if (!ParentWnd || ParentWnd == Desktop || !(Style & WS_CHILD) || (ExStyle & WS_EX_MDICHILD)) {
      Found = C;
      break;
    }
  }
  if (!Found || !Found->HandleAllocated()) return Found;
  WINDOWPLACEMENT Placement{};
  Placement.length = sizeof(Placement);
  if (::GetWindowPlacement(Found->GetHandle(), &Placement) &&
      (Placement.showCmd == SW_SHOWMINIMIZED || Placement.showCmd == SW_SHOWMAXIMIZED ||
       ::IsZoomed(Found->GetHandle()) || ::IsIconic(Found->GetHandle())))
    return nullptr;
  return Found;
}

bool TSizeGripPanelKv::IsGripActive() {
  switch (FGripActiveStatus) {
    case gasNeverKv: return false;
    case gasAlwaysKv: return true;
    default: break;
  }
  TWinControl* Win = GetSizingWindow();
  if (!Win || !HandleAllocated() || !Win->HandleAllocated()) return false;
  if (!(::GetWindowLongW(Win->GetHandle(), GWL_STYLE) & WS_THICKFRAME)) return false;
  bool Left = UseRightToLeftAlignment();
  TPoint Mine = ClientToScreen(TPoint(Left ? 0 : GetWidth(), GetHeight()));
  TRect R = Win->GetClientRect();
  TPoint Theirs = Win->ClientToScreen(TPoint(Left ? R.Left : R.Right, R.Bottom));
  return std::abs(Mine.X - Theirs.X) < 4 && std::abs(Mine.Y - Theirs.Y) < 4;
}

void TSizeGripPanelKv::UpdateCursor() {
  if (IsGripActive())
    SetCursor(FPosition == sgpTopLeft || FPosition == sgpBottomRight ? crSizeNWSE : crSizeNESW);
  else
    SetCursor(crDefault);
}

void TSizeGripPanelKv::UpdateRegion() {
  if (!HandleAllocated()) return;
  if (FTriangleWindow) {
    const Integer W = GetWidth(), H = GetHeight();
    std::vector<TPoint> Points;
    switch (FPosition) {
      case sgpBottomRight: Points = {{0, H}, {W, H}, {W, 0}}; break;
      case sgpBottomLeft: Points = {{W, H}, {0, H}, {0, 0}}; break;
      case sgpTopLeft: Points = {{W - 1, 0}, {0, 0}, {0, H - 1}}; break;
      case sgpTopRight: Points = {{W, H - 1}, {W, 0}, {1, 0}}; break;
    }
    // The window owns the region from here on.
    ::SetWindowRgn(FHandle, WinCreatePolygonRgn(Points, WINDING), TRUE);
  } else {
    ::SetWindowRgn(FHandle, nullptr, TRUE);
  }
  UpdateCursor();
}

void TSizeGripPanelKv::CreateWnd() {
  inherited::CreateWnd();
  UpdateRegion();
}

void TSizeGripPanelKv::Resize() {
  inherited::Resize();
  UpdateCursor();
}

void TSizeGripPanelKv::WMEraseBkgnd(TWMEraseBkgnd& Message) { Message.Result = 1; }

void TSizeGripPanelKv::WMWindowPosChanged(TWMWindowPosChanged& Message) {
  inherited::Dispatch(&Message);
  UpdateCursor();
}

void TSizeGripPanelKv::Paint() {
  TCanvas* C = GetCanvas();
  TRect R = GetClientRect();
  C->GetBrush()->SetColor(GetStyledSystemColor(clBtnFace));
  C->FillRect(R);
  if (!IsGripActive()) return;
  if (ThemesEnabledKv()) {
    TThemedScrollBar Element = tsSizeBoxRightAlign;
    switch (FPosition) {
      case sgpBottomLeft: Element = tsSizeBoxLeftAlign; break;
      case sgpTopRight: Element = tsSizeBoxTopRightAlign; break;
      case sgpTopLeft: Element = tsSizeBoxTopLeftAlign; break;
      default: break;
    }
    StyleServices()->DrawElement(C->GetHandle(), StyleServices()->GetElementDetails(Element), R);
    return;
  }
  UINT State = (FPosition == sgpTopLeft || FPosition == sgpBottomLeft) ? DFCS_SCROLLSIZEGRIPRIGHT : DFCS_SCROLLSIZEGRIP;
  if (FPosition == sgpBottomRight || FPosition == sgpBottomLeft) {
    RECT WR{R.Left, R.Top, R.Right, R.Bottom};
    ::DrawFrameControl(C->GetHandle(), &WR, DFC_SCROLL, State);
    return;
  }
  // The top corners: the bottom grip drawn aside and copied upside down.
  TBitmap Bmp;
  Bmp.SetWidth(R.Width());
  Bmp.SetHeight(R.Height());
  Bmp.GetCanvas()->GetBrush()->SetColor(GetStyledSystemColor(GetColor()));
  Bmp.GetCanvas()->FillRect(TRect(0, 0, R.Width(), R.Height()));
  RECT BR{0, 0, R.Width(), R.Height()};
  ::DrawFrameControl(Bmp.GetCanvas()->GetHandle(), &BR, DFC_SCROLL, State);
  ::StretchBlt(C->GetHandle(), 0, R.Height() - 1, R.Width(), -R.Height(), Bmp.GetCanvas()->GetHandle(), 0, 0,
               R.Width(), R.Height(), SRCCOPY);
}

void TSizeGripPanelKv::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  inherited::MouseDown(Button, Shift, X, Y);
  if (!GetMouseCapture() || !IsGripActive()) return;
  TWinControl* Win = GetSizingWindow();
  if (!Win) return;
  FInitFormSize = TSize(Win->GetWidth(), Win->GetHeight());
  FInitFormPos = TPoint(Win->GetLeft(), Win->GetTop());
  FMouseMousePos = ClientToScreen(TPoint(X, Y));
}

void TSizeGripPanelKv::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  inherited::MouseMove(Shift, X, Y);
  if (!GetMouseCapture() || FMouseMousePos.X == -1) return;
  TWinControl* Win = GetSizingWindow();
  if (!Win) return;
  TPoint P = ClientToScreen(TPoint(X, Y));
  if (P == FMouseMousePos) return;
  Integer DX = P.X - FMouseMousePos.X, DY = P.Y - FMouseMousePos.Y;
  Integer W = FInitFormSize.cx, H = FInitFormSize.cy, L = FInitFormPos.X, T = FInitFormPos.Y;
  bool Left = FPosition == sgpTopLeft || FPosition == sgpBottomLeft;
  bool Top = FPosition == sgpTopLeft || FPosition == sgpTopRight;
  Integer NewW = Left ? W - DX : W + DX;
  Integer NewH = Top ? H - DY : H + DY;
  // The edges away from the grip stay where they were.
  Integer NewL = Left ? L + W - NewW : L;
  Integer NewT = Top ? T + H - NewH : T;
  Win->SetBounds(NewL, NewT, NewW, NewH);
  Win->Update();
}

void TSizeGripPanelKv::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  FMouseMousePos = TPoint(-1, -1);
  inherited::MouseUp(Button, Shift, X, Y);
}

// ---- TGridDragWinKv ---------------------------------------------------------------------------

TGridDragWinKv::TGridDragWinKv(TComponent* AOwner) : TCustomControl(AOwner) {
  SetColor(cl3DDkShadow);
  SetVisible(false);
  if (Application && Application->GetHandle()) SetParentWindow(Application->GetHandle());
}

void TGridDragWinKv::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  Params.Style = WS_POPUP;
  Params.WindowClass.style |= CS_SAVEBITS;
  if (NewStyleControls) Params.ExStyle |= WS_EX_TOOLWINDOW;
  if (UseRightToLeftReading()) Params.ExStyle |= WS_EX_RTLREADING;
  if (UseRightToLeftAlignment()) Params.ExStyle |= WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR;
  Params.ExStyle |= WS_EX_LAYERED | WS_EX_NOACTIVATE;
}

void TGridDragWinKv::CreateWnd() {
  inherited::CreateWnd();
  ApplyLayeredAttributes();
}

void TGridDragWinKv::ApplyLayeredAttributes() {
  if (GetComponentState().Contains(csDesigning) || !HandleAllocated()) return;
  LONG ExStyle = ::GetWindowLongW(FHandle, GWL_EXSTYLE);
  if (FAlphaBlendValue == 255 && FTransparentColorValue == clNone) {
    ::SetWindowLongW(FHandle, GWL_EXSTYLE, ExStyle & ~WS_EX_LAYERED);
    ::RedrawWindow(FHandle, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    return;
  }
  ::SetWindowLongW(FHandle, GWL_EXSTYLE, ExStyle | WS_EX_LAYERED);
  DWORD Flags = 0;
  if (FAlphaBlendValue != 255) Flags |= LWA_ALPHA;
  if (FTransparentColorValue != clNone) Flags |= LWA_COLORKEY;
  COLORREF Key = FTransparentColorValue != clNone ? COLORREF(ColorToRGB(FTransparentColorValue)) : 0;
  ::SetLayeredWindowAttributes(FHandle, Key, FAlphaBlendValue, Flags);
}

void TGridDragWinKv::SetAlphaBlendValue(Byte Value) {
  if (FAlphaBlendValue == Value) return;
  FAlphaBlendValue = Value;
  ApplyLayeredAttributes();
}

void TGridDragWinKv::SetTransparentColorValue(TColor Value) {
  if (FTransparentColorValue == Value) return;
  FTransparentColorValue = Value;
  ApplyLayeredAttributes();
}

void TGridDragWinKv::WMMouseActivate(TMessage& Message) { Message.Result = MA_NOACTIVATE; }

void TGridDragWinKv::Show() { throw Exception(L"Show is not supported. Use StartShow"); }

void TGridDragWinKv::StartShow(const TPoint& Pos, Integer AWidth, Integer AHeight) {
  SetBounds(Pos.X, Pos.Y, AWidth, AHeight);
  SetVisible(true);
  ::SetWindowPos(GetHandle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

void TGridDragWinKv::StartShow(const TPoint& Pos, Integer AHeight) { StartShow(Pos, GetWidth(), AHeight); }

void TGridDragWinKv::MoveToFor(const TPoint& NewPos) { SetBounds(NewPos.X, NewPos.Y, GetWidth(), GetHeight()); }

void TGridDragWinKv::MoveToFor(const TPoint& NewPos, Integer NewWidth, Integer NewHeight) {
  SetBounds(NewPos.X, NewPos.Y, NewWidth, NewHeight);
}

void TGridDragWinKv::TemporaryHide() { SetBounds(GetLeft(), GetTop(), 0, 0); }

void TGridDragBoxKv::Paint() {
  GetCanvas()->GetBrush()->SetColor(TColor(0x808080));
  GetCanvas()->FillRect(GetClientRect());
}

// ---- TGridDragFormKv --------------------------------------------------------------------------

TGridDragFormKv::TGridDragFormKv(TComponent* AOwner) : TPopupInactiveFormKv(AOwner) {}

void TGridDragFormKv::SetAlphaBlendValue(Byte Value) {
  TPopupInactiveFormKv::SetAlphaBlendValue(Value);
  if (Value != 255) SetAlphaBlend(true);
}

void TGridDragFormKv::StartShow(const TPoint& Pos, Integer AWidth, Integer AHeight) {
  SetBounds(Pos.X, Pos.Y, AWidth, AHeight);
  Show();
}

void TGridDragFormKv::StartShow(const TPoint& Pos, Integer AHeight) { StartShow(Pos, GetWidth(), AHeight); }

void TGridDragFormKv::MoveToFor(const TPoint& NewPos) { SetBounds(NewPos.X, NewPos.Y, GetWidth(), GetHeight()); }

void TGridDragFormKv::MoveToFor(const TPoint& NewPos, Integer NewWidth, Integer NewHeight) {
  SetBounds(NewPos.X, NewPos.Y, NewWidth, NewHeight);
}

// ---- TGridMoveLineKv --------------------------------------------------------------------------

TGridMoveLineKv::TGridMoveLineKv(TComponent* AOwner) : TGridDragFormKv(AOwner) {
  SetColor(clWhite);
  SetBounds(GetLeft(), GetTop(), 7, 7);
  SetAlphaBlendValue(255);
  SetTransparentColorValue(clWhite);
  SetTransparentColor(true);
  SetDropShadow(false);
}

void TGridMoveLineKv::StartShow(const TPoint& Pos, bool AIsVert, Integer Size, TWinControl*) {
  FIsVert = AIsVert;
  TPoint At(Pos.X - 3, Pos.Y - 4);
  if (AIsVert)
    TGridDragFormKv::StartShow(At, 7, Size + 8);
  else
    TGridDragFormKv::StartShow(At, Size + 8, 7);
  Invalidate();
}

void TGridMoveLineKv::MoveToFor(const TPoint& NewPos) { TGridDragFormKv::MoveToFor(TPoint(NewPos.X - 3, NewPos.Y - 4)); }

void TGridMoveLineKv::Paint() {
  TCanvas* C = GetCanvas();
  C->GetBrush()->SetColor(clWhite);
  C->FillRect(GetClientRect());
  C->GetPen()->SetColor(FLineColor);
  C->GetPen()->SetWidth(1);
  const Integer W = GetClientWidth(), H = GetClientHeight();
  auto Seg = [&](Integer X1, Integer Y1, Integer X2, Integer Y2) {
    if (!FIsVert) {
      std::swap(X1, Y1);
      std::swap(X2, Y2);
    }
    C->MoveTo(X1, Y1);
    C->LineTo(X2, Y2);
  };
  const Integer L = FIsVert ? H : W;
  // Arrowheads pointing inwards at both ends, the line between them.
  for (Integer I = 0; I < 4; ++I) Seg(I, I, 7 - I, I);
  Seg(3, 4, 3, L - 4);
  Seg(3, L - 4, 4, L - 4);
  for (Integer I = 1; I < 4; ++I) Seg(3 - I, L - 4 + I, 4 + I, L - 4 + I);
}

// ---- Shared instances -------------------------------------------------------------------------

namespace {

TComponentRef<TGridDragBoxKv>& GridToolCtrlsDragBox() {
  static TComponentRef<TGridDragBoxKv> Box;
  return Box;
}

TComponentRef<TGridMoveLineKv>& GridToolCtrlsMoveLine() {
  static TComponentRef<TGridMoveLineKv> Line;
  return Line;
}

}  // namespace

TGridDragBoxKv* GetGridDragBox() {
  auto& Box = GridToolCtrlsDragBox();
  if (!Box) {
    Box = new TGridDragBoxKv(Application);
    Box->SetTransparentColorValue(clNone);
  }
  return Box;
}

TGridMoveLineKv* GetGridMoveLine() {
  auto& Line = GridToolCtrlsMoveLine();
  if (!Line) Line = TComponent::Create<TGridMoveLineKv>(Application);
  return Line;
}
