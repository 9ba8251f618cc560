#include "framework/ExtCtrls.h"

#include "framework/Forms.h"
#include "framework/classes/Strings.h"
#include "framework/graphics/Graphic.h"

namespace {
const wchar_t* TimerWindowClass = L"TTimerWindow";
constexpr UINT_PTR TimerID = 1;
}  // namespace

PUBLISHED_DEF(TTimer) {
  PROP(Enabled).Default(true);
  PROP(Interval).Default(1000);
  EVENT(OnTimer);
}

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
  static const bool Registered = [] {
    WNDCLASSW WC{};
    WC.lpfnWndProc = reinterpret_cast<WNDPROC>(&TTimer::WndProc);
    WC.hInstance = reinterpret_cast<HINSTANCE>(HInstance());
    WC.lpszClassName = TimerWindowClass;
    return RegisterClassW(&WC) != 0;
  }();
  (void)Registered;
  HWND Wnd = CreateWindowExW(0, TimerWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             reinterpret_cast<HINSTANCE>(HInstance()), nullptr);
  if (!Wnd) RaiseLastOSError();
  SetWindowLongPtrW(Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  FWindowHandle = Wnd;
}

TTimer::~TTimer() {
  FEnabled = false;
  HWND Wnd = static_cast<HWND>(FWindowHandle);
  if (Wnd) {
    KillTimer(Wnd, TimerID);
    SetWindowLongPtrW(Wnd, GWLP_USERDATA, 0);
    DestroyWindow(Wnd);
  }
}

void TTimer::UpdateTimer() {
  HWND Wnd = static_cast<HWND>(FWindowHandle);
  KillTimer(Wnd, TimerID);
  if (FInterval != 0 && FEnabled && FOnTimer && !SetTimer(Wnd, TimerID, FInterval, nullptr))
    throw EOutOfResources(L"Not enough timers available");
}

void TTimer::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  UpdateTimer();
}

void TTimer::SetInterval(Cardinal Value) {
  if (FInterval == Value) return;
  FInterval = Value;
  UpdateTimer();
}

void TTimer::SetOnTimer(const TNotifyEvent& Value) {
  FOnTimer = Value;
  UpdateTimer();
}

void TTimer::Timer() { DoEvent(FOnTimer, this); }

NativeInt __stdcall TTimer::WndProc(void* Wnd, Cardinal Msg, NativeUInt WParam, NativeInt LParam) {
  HWND W = static_cast<HWND>(Wnd);
  auto* Self = reinterpret_cast<TTimer*>(GetWindowLongPtrW(W, GWLP_USERDATA));
  if (Msg == WM_TIMER && Self) {
    // The handler may free the timer: its memory stays until the scope closes.
    TDispatchScope Scope(Self);
    try {
      if (Self->FEnabled) Self->Timer();
    } catch (...) {
      // Nothing may unwind through the system's frames, whatever the exception handler does.
      try {
        if (Application) Application->HandleException(Scope.Deleted() ? nullptr : Self);
      } catch (...) {
      }
    }
    return 0;
  }
  return DefWindowProcW(W, Msg, WParam, LParam);
}

// ---- Frame3D ------------------------------------------------------------------------------------

void Frame3D(TCanvas* Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, Integer Width) {
  TPen* Pen = Canvas->GetPen();
  Pen->SetWidth(1);
  Rect.Bottom -= 1;
  Rect.Right -= 1;
  for (Integer I = 0; I < Width; ++I) {
    Pen->SetColor(TopColor);
    const TPoint Top[] = {{Rect.Left, Rect.Bottom}, {Rect.Left, Rect.Top}, {Rect.Right, Rect.Top}};
    Canvas->Polyline(Top, 3);
    Pen->SetColor(BottomColor);
    const TPoint Bottom[] = {{Rect.Right, Rect.Top}, {Rect.Right, Rect.Bottom}, {Rect.Left - 1, Rect.Bottom}};
    Canvas->Polyline(Bottom, 3);
    Rect.Left += 1;
    Rect.Top += 1;
    Rect.Right -= 1;
    Rect.Bottom -= 1;
  }
  Rect.Bottom += 1;
  Rect.Right += 1;
}

namespace {
void BevelColors(TBevelCut Cut, TColor& Top, TColor& Bottom) {
  Top = Cut == bvLowered ? clBtnShadow : clBtnHighlight;
  Bottom = Cut == bvLowered ? clBtnHighlight : clBtnShadow;
}
}  // namespace

// ---- TCustomPanel -------------------------------------------------------------------------------

PUBLISHED_DEF(TPanel) {
  PROP(Alignment).Default(taCenter);
  PROP(BevelEdges).Default(TBevelEdges{beLeft, beTop, beRight, beBottom});
  PROP(BevelInner).Default(bvNone);
  PROP(BevelKind).Default(bkNone);
  PROP(BevelOuter).Default(bvRaised);
  PROP(BevelWidth).Default(1);
  PROP(BorderWidth).Default(0);
  PROP(BorderStyle).Default(bsNone);
  PROP(Caption);
  PROP(ParentBackground).Default(true);
  PROP(ShowCaption).Default(true);
  PROP(VerticalAlignment).Default(taVerticalCenter);
}

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csOpaque,
                                csDoubleClicks, csReplicatable, csParentBackground};
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
}

void TCustomPanel::Changed() {
  Realign();
  Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment Value) { FAlignment = Value; Invalidate(); }
void TCustomPanel::SetVerticalAlignment(TVerticalAlignment Value) { FVerticalAlignment = Value; Invalidate(); }
void TCustomPanel::SetBevelInner(TBevelCut Value) { FBevelInner = Value; Changed(); }
void TCustomPanel::SetBevelOuter(TBevelCut Value) { FBevelOuter = Value; Changed(); }
void TCustomPanel::SetBevelWidth(Integer Value) { FBevelWidth = std::max(Value, 1); Changed(); }
void TCustomPanel::SetBorderWidth(Integer Value) { FBorderWidth = std::max(Value, 0); Changed(); }
void TCustomPanel::SetShowCaption(bool Value) { FShowCaption = Value; Invalidate(); }

void TCustomPanel::SetBorderStyle(TBorderStyle Value) {
  if (FBorderStyle == Value) return;
  FBorderStyle = Value;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomPanel::SetParentBackground(bool Value) {
  if (Value) FControlStyle << csParentBackground;
  else FControlStyle >> csParentBackground;
  Invalidate();
}

void TCustomPanel::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomPanel::AdjustClientRect(TRect& Rect) {
  inherited::AdjustClientRect(Rect);
  Integer W = FBorderWidth + (FBevelOuter != bvNone ? FBevelWidth : 0) + (FBevelInner != bvNone ? FBevelWidth : 0);
  Rect = TRect(Rect.Left + W, Rect.Top + W, Rect.Right - W, Rect.Bottom - W);
}

void TCustomPanel::Paint() {
  TCanvas* C = GetCanvas();
  TRect R = GetClientRect();
  C->GetBrush()->SetColor(GetColor());
  C->GetBrush()->SetStyle(bsSolid);
  C->FillRect(R);
  TColor Top, Bottom;
  if (FBevelOuter != bvNone) {
    BevelColors(FBevelOuter, Top, Bottom);
    Frame3D(C, R, Top, Bottom, FBevelWidth);
  }
  R = TRect(R.Left + FBorderWidth, R.Top + FBorderWidth, R.Right - FBorderWidth, R.Bottom - FBorderWidth);
  if (FBevelInner != bvNone) {
    BevelColors(FBevelInner, Top, Bottom);
    Frame3D(C, R, Top, Bottom, FBevelWidth);
  }
  String Text = GetText();
  if (!FShowCaption || Text.empty()) return;
  static const LongInt Horz[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  static const LongInt Vert[] = {DT_TOP, DT_BOTTOM, DT_VCENTER};
  TAlignment A = FAlignment;
  if (UseRightToLeftAlignment() && A != taCenter) A = A == taLeftJustify ? taRightJustify : taLeftJustify;
  C->SetFont(GetFont());
  C->RequiredState({csHandleValid, csFontValid});
  HDC DC = C->GetHandle();
  ::SetBkMode(DC, TRANSPARENT);
  ::SetTextColor(DC, ColorToRGB(GetEnabled() ? GetFont()->GetColor() : clGrayText));
  RECT TR{R.Left, R.Top, R.Right, R.Bottom};
  DrawTextW(DC, Text.c_str(), Integer(Text.size()), &TR,
            UINT(DrawTextBiDiModeFlags(DT_EXPANDTABS | DT_SINGLELINE | Horz[A] | Vert[FVerticalAlignment])));
}

void TCustomPanel::SetBevelKind(TBevelKind Value) {
  if (FBevelKind == Value) return;
  FBevelKind = Value;
  FrameChanged();
}

void TCustomPanel::SetBevelEdges(TBevelEdges Value) {
  if (FBevelEdges == Value) return;
  FBevelEdges = Value;
  FrameChanged();
}

void TCustomPanel::FrameChanged() {
  if (HandleAllocated())
    SetWindowPos(GetHandle(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Realign();
  Invalidate();
}

void TCustomPanel::WMNCCalcSize(TWMNCCalcSize& Message) {
  inherited::Dispatch(&Message);
  if (FBevelKind == bkNone || !Message.CalcSize_Params) return;
  RECT& R = Message.CalcSize_Params->rgrc[0];
  Integer E = EdgeSize();
  if (FBevelEdges.Contains(beLeft)) R.left += E;
  if (FBevelEdges.Contains(beTop)) R.top += E;
  if (FBevelEdges.Contains(beRight)) R.right -= E;
  if (FBevelEdges.Contains(beBottom)) R.bottom -= E;
}

void TCustomPanel::WMNCPaint(TWMNCPaint& Message) {
  inherited::Dispatch(&Message);
  if (FBevelKind == bkNone) return;
  HDC DC = GetWindowDC(GetHandle());
  if (!DC) return;
  RECT R{0, 0, FWidth, FHeight};
  if (GetWindowLongPtrW(GetHandle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE) InflateRect(&R, -2, -2);
  UINT Edges = (FBevelEdges.Contains(beLeft) ? BF_LEFT : 0) | (FBevelEdges.Contains(beTop) ? BF_TOP : 0) |
               (FBevelEdges.Contains(beRight) ? BF_RIGHT : 0) | (FBevelEdges.Contains(beBottom) ? BF_BOTTOM : 0);
  static const UINT Kinds[] = {0, EDGE_ETCHED, BDR_RAISEDINNER, BDR_SUNKENOUTER};
  DrawEdge(DC, &R, Kinds[FBevelKind], Edges | (FBevelKind == bkFlat ? BF_FLAT | BF_MONO : 0));
  ReleaseDC(GetHandle(), DC);
}

void TCustomPanel::CMTextChanged(TMessage& Message) {
  Invalidate();
  inherited::Dispatch(&Message);
}

// ---- TCustomRadioGroup ---------------------------------------------------------------------------

class TGroupButton : public TRadioButton {
  DECLARE_CLASS(TGroupButton, TRadioButton)
 public:
  TGroupButton(TCustomRadioGroup* Group) : TRadioButton(nullptr), FGroup(Group) {}
  void Click() override {
    if (FInClick) return;
    FInClick = true;
    try {
      if (GetChecked()) FGroup->ButtonClick(this);
    } catch (...) {
      FInClick = false;
      throw;
    }
    FInClick = false;
  }

 private:
  TCustomRadioGroup* FGroup;
  bool FInClick = false;
};

PUBLISHED_DEF(TRadioGroup) {
  PROP(Caption);
  PROP(Columns).Default(1);
  PROP(ItemIndex).Default(-1);
  PROP(Items);
}

TCustomRadioGroup::TCustomRadioGroup(TComponent* AOwner)
    : TCustomGroupBox(AOwner), FItems(std::make_unique<TStringList>()) {
  FControlStyle >> csAcceptsControls;
  FItems->SetOnChange({this, &TCustomRadioGroup::ItemsChange});
}

TCustomRadioGroup::~TCustomRadioGroup() { FItems->SetOnChange(nullptr); }

TStrings* TCustomRadioGroup::GetItems() const { return FItems.get(); }
void TCustomRadioGroup::SetItems(TStrings* Value) { FItems->Assign(Value); }

void TCustomRadioGroup::ItemsChange(TObject*) {
  if (GetComponentState().Contains(csLoading)) return;
  if (FItemIndex >= FItems->GetCount()) FItemIndex = FItems->GetCount() - 1;
  UpdateButtons();
}

void TCustomRadioGroup::Loaded() {
  inherited::Loaded();
  if (FItemIndex >= FItems->GetCount()) FItemIndex = FItems->GetCount() - 1;
  UpdateButtons();
}

void TCustomRadioGroup::UpdateButtons() {
  FUpdating = true;
  std::vector<TComponentRef<TRadioButton>> Old;
  Old.swap(FButtons);
  for (TRadioButton* B : Old)
    if (B) delete B;  // null when somebody else freed it
  for (Integer I = 0; I < FItems->GetCount(); ++I) {
    auto* B = new TGroupButton(this);
    B->SetCaption(FItems->GetStrings(I));
    B->SetEnabled(GetEnabled());
    B->SetParentBiDiMode(true);
    B->SetParent(this);
    FButtons.emplace_back(B);
  }
  if (FItemIndex >= 0 && FItemIndex < Integer(FButtons.size())) FButtons[FItemIndex]->SetChecked(true);
  else if (!FButtons.empty()) FButtons[0]->SetTabStop(true);  // the group stays reachable by Tab
  FUpdating = false;
  ArrangeButtons();
}

void TCustomRadioGroup::ArrangeButtons() {
  if (FButtons.empty()) return;
  TRect R = GetClientRect();
  AdjustClientRect(R);
  Integer Count = Integer(FButtons.size());
  Integer Cols = std::max(FColumns, 1);
  Integer Rows = (Count + Cols - 1) / Cols;
  Integer ColWidth = (R.Width() - 8) / Cols;
  Integer RowHeight = std::max(R.Height() / std::max(Rows, 1), 1);
  Integer ButtonHeight = FontHeight(GetFont()) + 3;
  for (Integer I = 0; I < Count; ++I) {
    Integer Col = I / Rows, Row = I % Rows;
    Integer X = R.Left + 8 + Col * ColWidth;
    if (UseRightToLeftAlignment()) X = R.Right - 8 - (Col + 1) * ColWidth + 8;
    Integer Y = R.Top + Row * RowHeight + (RowHeight - ButtonHeight) / 2;
    if (!FButtons[I]) continue;
    // Where the group has its window the buttons have theirs, hidden group or not, whichever
    // was made first.
    if (HandleAllocated() && !GetComponentState().Contains(csDestroying)) FButtons[I]->HandleNeeded();
    FButtons[I]->SetBounds(X, Y, ColWidth - 8, ButtonHeight);
  }
}

void TCustomRadioGroup::SetItemIndex(Integer Value) {
  if (GetComponentState().Contains(csLoading)) {
    FItemIndex = Value;
    return;
  }
  if (Value < -1) Value = -1;
  if (Value >= Integer(FButtons.size())) Value = Integer(FButtons.size()) - 1;
  if (FItemIndex == Value) return;
  FUpdating = true;
  if (Value < 0) {
    if (FItemIndex >= 0 && FItemIndex < Integer(FButtons.size()) && FButtons[FItemIndex])
      FButtons[FItemIndex]->SetChecked(false);
  } else if (FButtons[Value]) {
    FButtons[Value]->SetChecked(true);
  }
  FUpdating = false;
  FItemIndex = Value;
}

void TCustomRadioGroup::SetColumns(Integer Value) {
  Value = std::clamp(Value, 1, 16);
  if (FColumns == Value) return;
  FColumns = Value;
  ArrangeButtons();
  Invalidate();
}

void TCustomRadioGroup::ButtonClick(TRadioButton* Button) {
  if (FUpdating) return;
  auto It = std::find_if(FButtons.begin(), FButtons.end(), [Button](TRadioButton* B) { return B == Button; });
  if (It == FButtons.end()) return;
  FItemIndex = Integer(It - FButtons.begin());
  Click();
}

void TCustomRadioGroup::FlipChildren(bool) {
  // The buttons are placed by the group itself, right to left when the group reads so.
  ArrangeButtons();
}

void TCustomRadioGroup::CMEnabledChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  for (TRadioButton* B : FButtons)
    if (B) B->SetEnabled(GetEnabled());
}

void TCustomRadioGroup::CMFontChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  ArrangeButtons();
}

void TCustomRadioGroup::WMSize(TWMSize& Message) {
  inherited::Dispatch(&Message);
  ArrangeButtons();
}

// ---- TImage -------------------------------------------------------------------------------------

PUBLISHED_DEF(TImage) {
  PROP(AutoSize).Default(false);
  PROP(Center).Default(false);
  PROP(Picture);
  PROP(Proportional).Default(false);
  PROP(Stretch).Default(false);
  PROP(Transparent).Default(false);
}

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner), FPicture(std::make_unique<TPicture>()) {
  FControlStyle << csReplicatable;
  FPicture->SetOnChange({this, &TImage::PictureChanged});
  SetBounds(0, 0, 105, 105);
}

TImage::~TImage() { FPicture->SetOnChange(nullptr); }

void TImage::SetPicture(TPicture* Value) { FPicture->Assign(Value); }
void TImage::SetAutoSize(bool Value) {
  FAutoSize = Value;
  PictureChanged(this);
}
void TImage::SetCenter(bool Value) { FCenter = Value; Invalidate(); }
void TImage::SetProportional(bool Value) { FProportional = Value; Invalidate(); }
void TImage::SetStretch(bool Value) { FStretch = Value; Invalidate(); }
void TImage::SetTransparent(bool Value) {
  FTransparent = Value;
  PictureChanged(this);
}

void TImage::PictureChanged(TObject*) {
  TGraphic* G = FPicture->GetGraphic();
  if (G && !G->GetEmpty()) {
    if (FAutoSize) SetBounds(FLeft, FTop, G->GetWidth(), G->GetHeight());
    G->SetTransparent(FTransparent);
  }
  if (G && !G->GetEmpty() && !G->GetTransparent()) FControlStyle << csOpaque;
  else FControlStyle >> csOpaque;
  Invalidate();
}

TRect TImage::DestRect() {
  Integer W = FPicture->GetWidth(), H = FPicture->GetHeight();
  Integer CW = FWidth, CH = FHeight;
  if (W <= 0 || H <= 0) return TRect(0, 0, 0, 0);
  if (FStretch || (FProportional && (W > CW || H > CH))) {
    if (FProportional) {
      // Scale to fit, keeping the picture's shape.
      if (Int64(CW) * H < Int64(CH) * W) {
        H = Integer(Int64(H) * CW / W);
        W = CW;
      } else {
        W = Integer(Int64(W) * CH / H);
        H = CH;
      }
    } else {
      W = CW;
      H = CH;
    }
  }
  TRect R(0, 0, W, H);
  if (FCenter) R = Bounds((CW - W) / 2, (CH - H) / 2, W, H);
  return R;
}

void TImage::Paint() {
  TGraphic* G = FPicture->GetGraphic();
  if (!G || G->GetEmpty()) return;
  GetCanvas()->StretchDraw(DestRect(), G);
}

// ---- TShape -------------------------------------------------------------------------------------

PUBLISHED_DEF(TShape) {
  PROP(Brush);
  PROP(Pen);
  PROP(Shape).Default(stRectangle);
}

TShape::TShape(TComponent* AOwner)
    : TGraphicControl(AOwner), FPen(std::make_unique<TPen>()), FBrush(std::make_unique<TBrush>()) {
  FControlStyle << csReplicatable;
  SetBounds(0, 0, 65, 65);
  FPen->SetOnChange({this, &TShape::StyleChanged});
  FBrush->SetOnChange({this, &TShape::StyleChanged});
}

TShape::~TShape() {
  FPen->SetOnChange(nullptr);
  FBrush->SetOnChange(nullptr);
}

void TShape::SetBrush(TBrush* Value) { FBrush->Assign(Value); }
void TShape::SetPen(TPen* Value) { FPen->Assign(Value); }
void TShape::SetShape(TShapeType Value) {
  FShape = Value;
  Invalidate();
}

void TShape::Paint() {
  TCanvas* C = GetCanvas();
  C->SetPen(FPen.get());
  C->SetBrush(FBrush.get());
  Integer PW = FPen->GetWidth();
  Integer X = PW / 2, Y = X;
  Integer W = FWidth - PW + 1, H = FHeight - PW + 1;
  if (PW == 0) {
    W -= 1;
    H -= 1;
  }
  if (FShape == stSquare || FShape == stRoundSquare || FShape == stCircle) {
    Integer S = std::min(W, H);
    X += (W - S) / 2;
    Y += (H - S) / 2;
    W = H = S;
  }
  switch (FShape) {
    case stRectangle:
    case stSquare: C->Rectangle(X, Y, X + W, Y + H); break;
    case stRoundRect:
    case stRoundSquare: C->RoundRect(X, Y, X + W, Y + H, std::min(W, H) / 4, std::min(W, H) / 4); break;
    case stEllipse:
    case stCircle: C->Ellipse(X, Y, X + W, Y + H); break;
  }
}

// ---- TBevel -------------------------------------------------------------------------------------

PUBLISHED_DEF(TBevel) {
  PROP(Shape).Default(bsBox);
  PROP(Style).Default(bsLowered);
}

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) {
  FControlStyle << csReplicatable;
  FControlStyle >> csOpaque;
  SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape Value) { FShape = Value; Invalidate(); }
void TBevel::SetStyle(TBevelStyle Value) { FStyle = Value; Invalidate(); }

void TBevel::Paint() {
  TCanvas* C = GetCanvas();
  TColor C1 = FStyle == bsLowered ? clBtnShadow : clBtnHighlight;
  TColor C2 = FStyle == bsLowered ? clBtnHighlight : clBtnShadow;
  TPen* Pen = C->GetPen();
  Pen->SetWidth(1);
  auto Line = [&](TColor Color, Integer X1, Integer Y1, Integer X2, Integer Y2) {
    Pen->SetColor(Color);
    C->MoveTo(X1, Y1);
    C->LineTo(X2, Y2);
  };
  Integer W = FWidth, H = FHeight;
  TRect R(0, 0, W, H);
  switch (FShape) {
    case bsBox: Frame3D(C, R, C1, C2, 1); break;
    case bsFrame: {
      TRect Inner(1, 1, W, H);
      Frame3D(C, Inner, C2, C2, 1);
      TRect Outer(0, 0, W - 1, H - 1);
      Frame3D(C, Outer, C1, C1, 1);
      break;
    }
    case bsTopLine: Line(C1, 0, 0, W, 0); Line(C2, 0, 1, W, 1); break;
    case bsBottomLine: Line(C1, 0, H - 2, W, H - 2); Line(C2, 0, H - 1, W, H - 1); break;
    case bsLeftLine: Line(C1, 0, 0, 0, H); Line(C2, 1, 0, 1, H); break;
    case bsRightLine: Line(C1, W - 2, 0, W - 2, H); Line(C2, W - 1, 0, W - 1, H); break;
    case bsSpacer: break;
  }
}

void RegisterExtControls() {
  RegisterClasses({TTimer::StaticClass(), TPanel::StaticClass(), TRadioGroup::StaticClass(), TImage::StaticClass(),
                   TShape::StaticClass(), TBevel::StaticClass()});
}
