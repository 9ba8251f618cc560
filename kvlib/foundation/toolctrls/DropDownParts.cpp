#include "kvlib/foundation/toolctrls/DropDownParts.h"

#include <algorithm>

#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "framework/Themes.h"
#include "framework/WinApi.h"

namespace {
// The size grip can be named in form resources from the start of the program on.
struct TDropDownPartsUnit {
  TDropDownPartsUnit() { RegisterClass(TSizeGripKv::StaticClass()); }
  ~TDropDownPartsUnit() { UnRegisterClass(TSizeGripKv::StaticClass()); }
} DropDownPartsUnit;
}  // namespace

// ---- TSpecRowKv -------------------------------------------------------------------------------

PUBLISHED_DEF(TSpecRowKv) {
  PROP(CellsText);
  PROP(Color).Stored(&TSpecRowKv::IsColorStored).Idents(&IdentToColor, &ColorToIdent);
  PROP(Font).Stored(&TSpecRowKv::IsFontStored);
  PROP(ShortCut).Default(32814);
  PROP(ShowIfNotInKeyList).Default(true);
  PROP(Value).Stored(&TSpecRowKv::IsValueStored);
  PROP(Visible).Default(false);
}

TSpecRowKv::TSpecRowKv(TPersistent* Owner)
    : FOwner(Owner), FCellsStrings(std::make_unique<TStringList>()), FFont(std::make_unique<TFont>()),
      FValue(EmptyParam) {
  if (TFont* D = DefaultFont(); D && D != FFont.get()) FFont->Assign(D);
  FFont->SetOnChange({this, &TSpecRowKv::FontChanged});
}

TSpecRowKv::~TSpecRowKv() { FFont->SetOnChange(nullptr); }

void TSpecRowKv::Changed() {
  if (FUpdateCount == 0) DoEvent(FOnChanged, this);
}

void TSpecRowKv::EndUpdate() {
  if (FUpdateCount > 0) --FUpdateCount;
  Changed();
}

void TSpecRowKv::Assign(TPersistent* Source) {
  auto* Src = dynamic_cast<TSpecRowKv*>(Source);
  if (!Src) {
    inherited::Assign(Source);
    return;
  }
  BeginUpdate();
  try {
    SetCellsText(Src->FCellsText);
    SetColor(Src->GetColor());
    if (Src->FFontAssigned) SetFont(Src->FFont.get());
    SetShortCut(Src->FShortCut);
    SetShowIfNotInKeyList(Src->FShowIfNotInKeyList);
    SetValue(Src->FValue);
    SetVisible(Src->FVisible);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TSpecRowKv::FontChanged(TObject*) {
  FFontAssigned = true;
  Changed();
}

void TSpecRowKv::ParseCellsText() {
  const String& S = FCellsText;
  const size_t N = S.size();
  auto IsControl = [](Char C) { return C >= 1 && C <= 31; };
  FCellsStrings->BeginUpdate();
  try {
    FCellsStrings->Clear();
    size_t I = 0;
    while (I < N && S[I] >= 1 && S[I] <= 32) ++I;
    while (I < N) {
      size_t Start = I;
      String Item;
      if (S[I] == L'"') {
        ++I;
        while (I < N) {
          if (S[I] == L'"') {
            if (I + 1 < N && S[I + 1] == L'"') {
              Item += L'"';
              I += 2;
              continue;
            }
            ++I;
            break;
          }
          Item += S[I++];
        }
      } else {
        while (I < N && S[I] != L';' && S[I] >= 32) Item += S[I++];
      }
      FCellsStrings->Add(Item);
      while (I < N && IsControl(S[I])) ++I;
      if (I < N && S[I] == L';') {
        ++I;
        while (I < N && IsControl(S[I])) ++I;
      }
      if (I == Start) ++I;  // a NUL character ends nothing: step over it
    }
  } catch (...) {
    FCellsStrings->EndUpdate();
    throw;
  }
  FCellsStrings->EndUpdate();
}

void TSpecRowKv::SetCellsText(const String& Value) {
  if (FCellsText == Value) return;
  FCellsText = Value;
  ParseCellsText();
  Changed();
}

String TSpecRowKv::GetCellText(Integer Index) const {
  if (Index < 0 || Index >= FCellsStrings->GetCount()) return String();
  return FCellsStrings->GetStrings(Index);
}

TColor TSpecRowKv::DefaultColor() const {
  if (auto* C = dynamic_cast<TCustomControl*>(FOwner)) return C->GetColor();
  return FColor;
}

TColor TSpecRowKv::GetColor() const { return FColorAssigned ? FColor : DefaultColor(); }

void TSpecRowKv::SetColor(TColor Value) {
  bool Differs = Value != GetColor();
  FColor = Value;
  FColorAssigned = true;
  if (Differs) Changed();
}

TFont* TSpecRowKv::DefaultFont() const {
  if (auto* C = dynamic_cast<TControl*>(FOwner)) return C->GetFont();
  return FFont.get();
}

TFont* TSpecRowKv::GetFont() {
  if (!FFontAssigned) {
    // Follows the owner's font without counting as assigned.
    TFont* D = DefaultFont();
    if (D && D != FFont.get() && D->GetHandle() != FFont->GetHandle()) {
      FFont->SetOnChange(nullptr);
      FFont->Assign(D);
      FFont->SetOnChange({this, &TSpecRowKv::FontChanged});
    }
  }
  return FFont.get();
}

void TSpecRowKv::SetFont(TFont* Value) { FFont->Assign(Value); }

void TSpecRowKv::SetShowIfNotInKeyList(bool Value) {
  if (FShowIfNotInKeyList == Value) return;
  FShowIfNotInKeyList = Value;
  Changed();
}

void TSpecRowKv::SetValue(const Variant& Value) {
  bool Same = (VarIsEmptyParam(FValue) || VarIsEmptyParam(Value))
                  ? VarIsEmptyParam(FValue) == VarIsEmptyParam(Value)
                  : DBVarValuesEqual(FValue, Value) && VarType(FValue) == VarType(Value);
  if (Same) return;
  FValue = Value;
  Changed();
}

bool TSpecRowKv::IsValueStored() const { return !VarIsEmptyParam(FValue); }

void TSpecRowKv::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  Changed();
}

bool TSpecRowKv::LocateKey(const Variant& KeyValue) const {
  if (!FVisible) return false;
  if (VarIsEmptyParam(FValue) || VarIsEmptyParam(KeyValue)) return VarIsEmptyParam(FValue) == VarIsEmptyParam(KeyValue);
  return DBVarValuesEqual(FValue, KeyValue);
}

// ---- TMRUListKv -------------------------------------------------------------------------------

PUBLISHED_DEF(TMRUListKv) {
  PROP(Active).Default(false);
  PROP(AutoAdd).Default(true);
  PROP(CaseSensitive).Default(false);
  PROP(Items);
  PROP(Limit).Default(100);
  PROP(ListSourceKind).Default(lskMRUListItemsKv);
  PROP(Rows).Default(7);
}

TMRUListKv::TMRUListKv(TPersistent* Owner)
    : FOwner(Owner), FItems(std::make_unique<TStringList>()), FAutogenItems(std::make_unique<TStringList>()) {}

TMRUListKv::~TMRUListKv() = default;

void TMRUListKv::Assign(TPersistent* Source) {
  if (auto* Src = dynamic_cast<TMRUListKv*>(Source)) {
    SetActive(Src->FActive);
    SetItems(Src->FItems.get());
    SetLimit(Src->FLimit);
    SetRows(Src->FRows);
    SetCaseSensitive(Src->FCaseSensitive);
    return;
  }
  inherited::Assign(Source);
}

void TMRUListKv::SetActive(bool Value) {
  if (FActive == Value) return;
  FActive = Value;
  DoEvent(FOnActiveChanged, this);
}

void TMRUListKv::SetLimit(Integer Value) {
  if (FLimit == Value) return;
  FLimit = Value;
  TrimToLimit();
}

void TMRUListKv::TrimToLimit() {
  while (FItems->GetCount() > std::max(FLimit, 0)) FItems->Delete(0);
}

TStrings* TMRUListKv::GetActiveItems() const {
  return FListSourceKind == lskDataSetFieldValuesKv ? FAutogenItems.get() : FItems.get();
}

void TMRUListKv::PrepareActiveItems() {
  if (FListSourceKind == lskDataSetFieldValuesKv && FOnFillAutogenItems) FOnFillAutogenItems(this, FAutogenItems.get());
}

void TMRUListKv::DropDown() { DoEvent(FOnSetDropDown, this); }

void TMRUListKv::CloseUp(bool Accept) {
  if (FOnSetCloseUpEvent) FOnSetCloseUpEvent(this, Accept);
}

void TMRUListKv::Add(const String& Text) {
  if (Trim(Text).empty()) return;
  Integer Found = -1;
  for (Integer I = 0; I < FItems->GetCount() && Found < 0; ++I) {
    const String& Item = FItems->GetStrings(I);
    if (FCaseSensitive ? Item == Text : AnsiSameText(Item, Text)) Found = I;
  }
  if (Found >= 0) {
    FItems->Move(Found, FItems->GetCount() - 1);
    return;
  }
  FItems->Add(Text);
  TrimToLimit();
}

bool TMRUListKv::FilterItemsTo(TStrings* Items, const String& MaskText) {
  bool Result = true;
  Items->BeginUpdate();
  try {
    Items->Clear();
    TStrings* Source = GetActiveItems();
    const Integer Len = Integer(MaskText.size());
    for (Integer I = 0; I < Source->GetCount(); ++I) {
      String Item = Source->GetStrings(I);
      String Prefix = Copy(Item, 1, Len);
      bool Accept = FCaseSensitive ? AnsiCompareStr(Prefix, MaskText) == 0 : AnsiCompareText(Prefix, MaskText) == 0;
      if (FOnFilterItem) FOnFilterItem(this, Accept);
      if (Accept) Items->Add(Item);
      // A long list gives way to the next key press: the edit filters again for it.
      if (I % 100 == 0 && FCancelIfKeyInQueue) {
        MSG Msg;
        if (PeekMessageW(&Msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE)) {
          Result = false;
          break;
        }
      }
    }
  } catch (...) {
    Items->EndUpdate();
    throw;
  }
  Items->EndUpdate();
  return Result;
}

// ---- TSizeGripKv ------------------------------------------------------------------------------

PUBLISHED_DEF(TSizeGripKv) {
  PROP(Position).Default(sgpBottomRight);
  PROP(TriangleWindow).Default(true);
  PROP(HostControl);
}

TSizeGripKv::TSizeGripKv(TComponent* AOwner) : TCustomControlKv(AOwner) {
  FControlStyle << csCaptureMouse << csReplicatable << csParentBackground;
  SetBounds(0, 0, GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYVSCROLL));
  SetColor(clBtnFace);
}

TWinControl* TSizeGripKv::GetHostControl() const { return FHostControl ? FHostControl.Get() : GetParent(); }

void TSizeGripKv::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  if (FHostControl) Params.WndParent = FHostControl->GetHandle();
}

void TSizeGripKv::CreateWnd() {
  inherited::CreateWnd();
  UpdateWindowRegion();
}

void TSizeGripKv::SetPosition(TSizeGripPosition Value) {
  if (FPosition == Value) return;
  FPosition = Value;
  if (HandleAllocated()) RecreateWndHandle();
}

void TSizeGripKv::SetTriangleWindow(bool Value) {
  if (FTriangleWindow == Value) return;
  FTriangleWindow = Value;
  UpdateWindowRegion();
}

void TSizeGripKv::ChangePosition(TSizeGripChangePosition NewPosition) {
  TSizeGripPosition P = FPosition;
  switch (NewPosition) {
    case sgcpToLeft:
      if (P == sgpTopRight) P = sgpTopLeft;
      else if (P == sgpBottomRight) P = sgpBottomLeft;
      break;
    case sgcpToRight:
      if (P == sgpTopLeft) P = sgpTopRight;
      else if (P == sgpBottomLeft) P = sgpBottomRight;
      break;
    case sgcpToTop:
      if (P == sgpBottomLeft) P = sgpTopLeft;
      else if (P == sgpBottomRight) P = sgpTopRight;
      break;
    case sgcpToBottom:
      if (P == sgpTopLeft) P = sgpBottomLeft;
      else if (P == sgpTopRight) P = sgpBottomRight;
      break;
  }
  SetPosition(P);
}

namespace {
// The window's own visibility, whatever its parents show.
bool WindowShown(HWND Wnd) { return (GetWindowLongW(Wnd, GWL_STYLE) & WS_VISIBLE) != 0; }
}  // namespace

bool TSizeGripKv::GetVisible() { return HandleAllocated() ? WindowShown(FHandle) : TControl::GetVisible(); }

void TSizeGripKv::SetVisible(bool Value) {
  TControl::SetVisible(Value);
  if (HandleAllocated() && WindowShown(FHandle) != Value) ShowWindow(FHandle, Value ? SW_SHOWNA : SW_HIDE);
}

void TSizeGripKv::UpdatePosition() {
  TWinControl* Host = GetHostControl();
  if (!HandleAllocated() || !Host) return;
  TRect R = GetAdjustedClientRect(Host);
  TPoint P;
  switch (FPosition) {
    case sgpTopLeft: P = TPoint(R.Left, R.Top); break;
    case sgpTopRight: P = TPoint(R.Right - FWidth, R.Top); break;
    case sgpBottomRight: P = TPoint(R.Right - FWidth, R.Bottom - FHeight); break;
    case sgpBottomLeft: P = TPoint(R.Left, R.Bottom - FHeight); break;
  }
  FInternalMove = true;
  SetBounds(P.X, P.Y, FWidth, FHeight);
  FInternalMove = false;
}

void TSizeGripKv::UpdateWindowRegion() {
  if (!HandleAllocated()) return;
  const Integer W = FWidth, H = FHeight;
  HRGN Region;
  if (FTriangleWindow) {
    std::vector<TPoint> Points;
    switch (FPosition) {
      case sgpBottomRight: Points = {{0, H}, {W, H}, {W, 0}}; break;
      case sgpBottomLeft: Points = {{W, H}, {0, H}, {0, 0}}; break;
      case sgpTopLeft: Points = {{W - 1, 0}, {0, 0}, {0, H - 1}}; break;
      case sgpTopRight: Points = {{W, H - 1}, {W, 0}, {1, 0}}; break;
    }
    Region = WinCreatePolygonRgn(Points, WINDING);
  } else {
    Region = CreateRectRgn(0, 0, W, H);
  }
  // The window owns the region from here on.
  SetWindowRgn(FHandle, Region, TRUE);
  UpdatePosition();
  SetCursor(FPosition == sgpTopLeft || FPosition == sgpBottomRight ? crSizeNWSE : crSizeNESW);
}

void TSizeGripKv::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  inherited::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  FInitScreenMousePos = ClientToScreen(TPoint(X, Y));
  FOldMouseMovePos = FInitScreenMousePos;
  if (TWinControl* Host = GetHostControl()) {
    FParentRect[0] = Host->GetClientWidth();
    FParentRect[1] = Host->GetClientHeight();
    FParentRect[2] = Host->GetWidth();
    FParentRect[3] = Host->GetHeight();
  }
}

void TSizeGripKv::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  inherited::MouseMove(Shift, X, Y);
  if (!Shift.Contains(ssLeft) || !GetMouseCapture() || FInternalMove) return;
  TPoint P = ClientToScreen(TPoint(X, Y));
  if (P == FOldMouseMovePos) return;
  TWinControl* Host = GetHostControl();
  if (!Host || !Host->HandleAllocated() || !Screen) return;
  RECT WR;
  GetWindowRect(Host->GetHandle(), &WR);
  const TRect HostRect(WR.left, WR.top, WR.right, WR.bottom);
  const TRect Work = Screen->MonitorFromRect(HostRect)->GetWorkareaRect();
  const Integer OldClientWidth = Host->GetClientWidth(), OldClientHeight = Host->GetClientHeight();
  const Integer DX = P.X - FInitScreenMousePos.X, DY = P.Y - FInitScreenMousePos.Y;
  const bool RightSide = FPosition == sgpTopRight || FPosition == sgpBottomRight;
  const bool BottomSide = FPosition == sgpBottomLeft || FPosition == sgpBottomRight;
  if (RightSide) {
    Integer Frame = FParentRect[2] - FParentRect[0];
    Integer ClientWidth = FParentRect[0] + DX;
    if (HostRect.Left + Frame + ClientWidth > Work.Right) ClientWidth = Work.Right - HostRect.Left - Frame;
    Host->SetClientWidth(std::max(ClientWidth, 0));
  } else {
    Integer Width = FParentRect[2] - DX;
    if (HostRect.Right - Width < Work.Left) Width = HostRect.Right - Work.Left;
    Integer RightEdge = Host->GetLeft() + Host->GetWidth();
    Host->SetWidth(std::max(Width, 0));
    Host->SetLeft(RightEdge - Host->GetWidth());
  }
  if (BottomSide) {
    Integer Frame = FParentRect[3] - FParentRect[1];
    Integer ClientHeight = FParentRect[1] + DY;
    if (HostRect.Top + Frame + ClientHeight > Work.Bottom) ClientHeight = Work.Bottom - HostRect.Top - Frame;
    Host->SetClientHeight(std::max(ClientHeight, 0));
  } else {
    Integer Height = FParentRect[3] - DY;
    if (HostRect.Bottom - Height < Work.Top) Height = HostRect.Bottom - Work.Top;
    Integer BottomEdge = Host->GetTop() + Host->GetHeight();
    Host->SetHeight(std::max(Height, 0));
    Host->SetTop(BottomEdge - Host->GetHeight());
  }
  FOldMouseMovePos = P;
  if (Host->GetClientWidth() != OldClientWidth || Host->GetClientHeight() != OldClientHeight) DoParentResized();
  UpdatePosition();
}

void TSizeGripKv::DoParentResized() { DoEvent(FParentResized, this); }

void TSizeGripKv::Paint() {
  TCanvas* C = GetCanvas();
  const TRect R(0, 0, FWidth, FHeight);
  C->RequiredState(TCanvasState{csHandleValid});
  TThemedScrollBar Element = tsSizeBoxRightAlign;
  switch (FPosition) {
    case sgpTopLeft: Element = tsSizeBoxTopLeftAlign; break;
    case sgpTopRight: Element = tsSizeBoxTopRightAlign; break;
    case sgpBottomLeft: Element = tsSizeBoxLeftAlign; break;
    default: break;
  }
  TThemedElementDetails Details = StyleServices()->GetElementDetails(Element);
  if (ThemesEnabledKv() && !IsCustomStyleActiveKv()) {
    StyleServices()->DrawElement(C->GetHandle(), Details, R);
    return;
  }
  TColor Highlight = clBtnHighlight, Shadow = clBtnShadow, Face = clBtnFace;
  if (IsCustomStyleActiveKv()) {
    TColor Styled;
    if (StyleServices()->GetElementColor(Details, ecFillColor, Styled) && Styled != clNone) Face = Styled;
    if (StyleServices()->GetElementColor(Details, ecEdgeHighLightColor, Styled) && Styled != clNone) Highlight = Styled;
    if (StyleServices()->GetElementColor(Details, ecEdgeShadowColor, Styled) && Styled != clNone) Shadow = Styled;
  }
  const TColor Colors[4] = {Highlight, Shadow, Shadow, Face};
  const bool Left = FPosition == sgpTopLeft || FPosition == sgpBottomLeft;
  const bool Top = FPosition == sgpTopLeft || FPosition == sgpTopRight;
  const Integer W = FWidth, H = FHeight;
  // Diagonals at distance D from the grip's corner, drawn in the bottom-right frame and mirrored.
  auto MapX = [&](Integer X) { return Left ? W - 1 - X : X; };
  auto MapY = [&](Integer Y) { return Top ? H - 1 - Y : Y; };
  for (Integer I = 1; I < W; I += 4)
    for (Integer K = 0; K < 4; ++K) {
      Integer D = I + K;
      C->GetPen()->SetColor(GetStyledSystemColor(Colors[K]));
      // D pixels from (W - 1, H - D) down to (W - D, H - 1).
      C->MoveTo(MapX(W - 1), MapY(H - D));
      C->LineTo(MapX(W - D - 1), MapY(H));
    }
}
