// The data-aware edit's window, painting, height, text area and flat border (part of the unit
// DBCtrlsKv).

#include "framework/DB.h"
#include "framework/Forms.h"
#include "framework/Themes.h"
#include "kvlib/editors/dbctrls/DBEditKv.h"
#include "kvlib/editors/dbctrls/EditButtonsBoxKv.h"
#include "kvlib/editors/dbctrls/FieldDataLinkKv.h"
#include "kvlib/editors/dbctrls/PaintCanvasScopeKv.h"

namespace DBEditPaintKv {


// The smaller of the system font's and Font's text heights.
Integer SmallerFontHeight(TFont* Font) {
  HDC DC = GetDC(nullptr);
  TEXTMETRICW SysMetrics{};
  GetTextMetricsW(DC, &SysMetrics);
  ReleaseDC(nullptr, DC);
  return std::min(Integer(SysMetrics.tmHeight), FontHeight(Font));
}

bool IsSingleBorderWithout3D(TCustomDBEditKv* Edit) {
  return Edit->GetBorderStyle() == bsSingle && !Edit->GetCtl3D();
}

}  // namespace DBEditPaintKv

TRect TToolTipsWindow::CalcHintRect(Integer MaxWidth, const String& AHint, void* AData) {
  // The edit's font measures the text, so the hint shows it as the edit does.
  if (auto* Edit = static_cast<TControl*>(AData)) GetCanvas()->SetFont(Edit->GetFont());
  return inherited::CalcHintRect(MaxWidth, AHint, AData);
}

// ---- The window -------------------------------------------------------------------------------

void TCustomDBEditKv::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  if (!GetPasswordChar()) Params.Style |= ES_MULTILINE;
  if (FWordWrap) Params.Style &= ~DWORD(ES_AUTOHSCROLL);
  Params.Style &= ~DWORD(ES_LEFT | ES_RIGHT | ES_CENTER);
  bool RightToLeft = UseRightToLeftAlignment();
  if (FWordWrap) {
    static const DWORD Styles[2][3] = {{ES_LEFT, ES_RIGHT, ES_CENTER}, {ES_RIGHT, ES_LEFT, ES_CENTER}};
    Params.Style |= Styles[RightToLeft][GetAlignment()];
  } else {
    Params.Style |= RightToLeft ? ES_RIGHT : ES_LEFT;
  }
  Params.Style |= WS_CLIPCHILDREN;
}

void TCustomDBEditKv::CreateWnd() {
  inherited::CreateWnd();
  UpdateHeightStyle();
  UpdateBorderActive();
  UpdateEditButtonsBox();
  UpdateEditButtonsState();
  FImageWidth = FEditImage->DrawWidth();
  RefreshEditImageIndex();
  UpdateEditRect();
  UpdateReadOnlyState();
}

void TCustomDBEditKv::CMEditImageChanged(TMessage&) {
  if (FHandle) RecreateWnd();
}

void TCustomDBEditKv::WMSize(TWMSize& Message) {
  inherited::Dispatch(&Message);
  UpdateEditButtonsBox();
  UpdateEditRect();
}

void TCustomDBEditKv::CMFontChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  if (GetFixedHeight() && !(GetComponentState().Contains(csDesigning) && GetComponentState().Contains(csLoading)))
    AdjustHeight();
  UpdateEditRect();
  if (FEmptyDataInfo) FEmptyDataInfo->RefreshDefaultFont();
  UpdateLabelPos();
}

void TCustomDBEditKv::CMColorChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  UpdateEditButtonsState();
}

void TCustomDBEditKv::CMEnabledChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  UpdateEditButtonsState();
  Invalidate();
}

void TCustomDBEditKv::CMSysColorChange(TMessage& Message) {
  inherited::Dispatch(&Message);
  ClearButtonsBitmapCache();
}

void TCustomDBEditKv::CMGetDataLink(TMessage& Message) { Message.Result = LRESULT(FDataLink.get()); }

void TCustomDBEditKv::ChangeScale(Integer M, Integer D, bool IsDpiChange) {
  if (M != D && FEmptyDataInfo && !FEmptyDataInfo->GetParentFont()) {
    TFont* Font = FEmptyDataInfo->GetFont();
    Font->SetSize(Font->GetSize() * M / D);
  }
  inherited::ChangeScale(M, D, IsDpiChange);
}

TCanvas* TCustomDBEditKv::GetEditCanvas() {
  if (!FCanvas) {
    FCanvas = std::make_unique<TControlCanvas>();
    FCanvas->SetControl(this);
  }
  return FCanvas.get();
}

// ---- Height -----------------------------------------------------------------------------------

bool TCustomDBEditKv::GetFixedHeight() { return FControlStyle.Contains(csFixedHeight); }

void TCustomDBEditKv::UpdateHeightStyle() {
  if (GetAutoSize() && GetBorderStyle() == bsSingle) {
    FControlStyle << csFixedHeight;
    AdjustHeight();
  } else {
    FControlStyle >> csFixedHeight;
  }
}

void TCustomDBEditKv::AdjustHeight() {
  Integer Border = GetSystemMetrics(SM_CYBORDER);
  Integer Allowance;
  if (NewStyleControls) {
    Allowance = Border * (GetCtl3D() ? 8 : 6);
    if (FFlat) Allowance -= 2;
  } else {
    Allowance = Border * 4 + DBEditPaintKv::SmallerFontHeight(TControl::GetFont()) / 4;
  }
  Integer Content = FontHeight(TControl::GetFont());
  if (TCustomImageList* Images = FEditImage->GetImages())
    if (FEditImage->GetUseImageHeight() && Images->GetHeight() > Content) Content = Images->GetHeight();
  SetHeight(Allowance + Content);
}

// ---- Text area --------------------------------------------------------------------------------

TRect TCustomDBEditKv::GetEditRect(const TRect& ClientRect) {
  TRect R = ClientRect;
  bool RightToLeft = GetAlignment() == taRightJustify && UseRightToLeftAlignment();
  Integer Buttons = GetEditButtonsWidth();
  Integer Image = FEditImage->GetVisible() && FEditImage->GetImages() ? FImageWidth : 0;
  if (RightToLeft) {
    R.Left += Buttons;
    R.Right -= Image;
  } else {
    R.Right -= Buttons;
    R.Left += Image;
  }
  if (ThemesEnabledKv() && DBEditPaintKv::IsSingleBorderWithout3D(this) && FHandle) {
    DWORD Margins = DWORD(SendMessageW(FHandle, EM_GETMARGINS, 0, 0));
    R.Left += Integer(LOWORD(Margins)) - 1;
    R.Right += 1 - Integer(HIWORD(Margins));
  }
  return R;
}

void TCustomDBEditKv::UpdateEditRect() {
  if (!FHandle) return;
  TRect R = GetEditRect(GetClientRect());
  RECT W{R.Left, R.Top, R.Right, R.Bottom};
  SendMessageW(FHandle, EM_SETRECTNP, 0, LPARAM(&W));
  SendMessageW(FHandle, EM_SCROLLCARET, 0, 0);
}

void TCustomDBEditKv::GetTextMargins(Integer& X, Integer& Y) {
  if (NewStyleControls) {
    if (GetBorderStyle() == bsNone) Y = 0;
    else Y = GetCtl3D() ? 1 : 2;
    RECT R{};
    if (FHandle) SendMessageW(FHandle, EM_GETRECT, 0, LPARAM(&R));
    if (GetAlignment() == taRightJustify && UseRightToLeftAlignment())
      X = GetClientRect().Width() - R.right - FImageWidth;
    else
      X = R.left - FImageWidth;
  } else {
    X = GetBorderStyle() == bsNone ? 0 : DBEditPaintKv::SmallerFontHeight(TControl::GetFont()) / 4;
    Y = X;
  }
}

TRect TCustomDBEditKv::ButtonsRect() {
  if (!FButtonsBox || FButtonsBox->GetButtonsWidth() <= 0) return TRect();
  TRect C = GetClientRect();
  Integer W = FButtonsBox->GetButtonsWidth();
  TRect R = NewStyleControls && DBEditPaintKv::IsSingleBorderWithout3D(this)
                ? TRect(C.Width() - W - 1, 1, C.Width() - 1, C.Height() - 1)
                : TRect(C.Width() - W, 0, C.Width(), C.Height());
  if (UseRightToLeftAlignment()) R = TRect(C.Width() - R.Right, R.Top, C.Width() - R.Left, R.Bottom);
  return R;
}

TRect TCustomDBEditKv::ImageRect() {
  if (!FEditImage->Showing() || FImageWidth <= 0) return TRect();
  TRect C = GetClientRect();
  return UseRightToLeftAlignment() ? TRect(C.Width() - FImageWidth, 0, C.Width(), C.Height())
                                   : TRect(0, 0, FImageWidth, C.Height());
}

// ---- Painting ---------------------------------------------------------------------------------

bool TCustomDBEditKv::OwnPainting() {
  TAlignment A = GetAlignment();
  bool Window = A == taLeftJustify || FFocused || FWordWrap;
  bool InactiveDesign = GetComponentState().Contains(csDesigning) && !FDataLink->GetActive();
  return !Window || FControlState.Contains(csPaintCopy) || InactiveDesign;
}

void TCustomDBEditKv::WMPaint(TWMPaint& Message) {
  FControlState << csCustomPaint;
  try {
    inherited::Dispatch(&Message);
  } catch (...) {
    FControlState >> csCustomPaint;
    throw;
  }
  FControlState >> csCustomPaint;
}

void TCustomDBEditKv::PaintWindow(HDC DC) {
  GetEditCanvas();
  TPaintCanvasScopeKv Scope(FCanvas.get(), DC);
  if (FEditImage->Showing() && FImageWidth > 0) {
    TRect R = ImageRect();
    R = TRect(R.Left + 2, R.Top + 1, R.Right - 2, R.Bottom - 1);
    DrawImageListCenteredDC(DC, R, FEditImage->GetImages(), FEditImage->GetImageIndex(), false);
  }
  if (!OwnPainting()) {
    DrawRequiredState(FCanvas.get());
    // The window's own painting, into the same device context.
    CallWindowProcW(GetDefWndProc(), FHandle, WM_PAINT, WPARAM(DC), 0);
    if (FEmptyDataInfo->Showing()) FEmptyDataInfo->PaintEmptyDataInfo();
    return;
  }
  PaintOwnText(FCanvas.get());
  DrawRequiredState(FCanvas.get());
  if (FEmptyDataInfo->Showing()) FEmptyDataInfo->PaintEmptyDataInfo();
}

void TCustomDBEditKv::PaintOwnText(TCanvas* Canvas) {
  Canvas->SetFont(TControl::GetFont());
  Canvas->GetFont()->SetColor(GetActualFontColor());
  TRect C = GetClientRect();
  Integer Buttons = GetEditButtonsWidth();
  bool Classic = !(NewStyleControls && GetCtl3D());
  if (Classic && GetBorderStyle() == bsSingle) {
    Canvas->GetBrush()->SetColor(GetStyledSystemColor(clWindowFrame));
    Canvas->FrameRect(C);
  }
  TRect R = NewStyleControls && DBEditPaintKv::IsSingleBorderWithout3D(this)
                ? TRect(FImageWidth + 1, 1, C.Width() - Buttons - 2, C.Height() - 1)
                : TRect(FImageWidth, 0, C.Width() - Buttons - 1, C.Height());
  TAlignment A = GetAlignment();
  if (UseRightToLeftAlignment()) {
    if (A == taLeftJustify) A = taRightJustify;
    else if (A == taRightJustify) A = taLeftJustify;
  }
  if (A == taRightJustify && UseRightToLeftAlignment()) {
    Integer Shift = Buttons - FImageWidth + 1;
    R = TRect(R.Left + Shift, R.Top, R.Right + Shift, R.Bottom);
  }
  Canvas->GetBrush()->SetColor(GetActualBackColor());
  String S = GetDisplayTextForPaintCopy();
  if (GetPasswordChar()) S = String(S.size(), GetPasswordChar());
  Integer MX = 0, MY = 0;
  GetTextMargins(MX, MY);
  Integer W = Canvas->TextWidth(S);
  Integer X = A == taLeftJustify ? MX : A == taRightJustify ? R.Right - W - MX : (R.Right - W) / 2;
  RECT Clip{R.Left, R.Top, R.Right, R.Bottom};
  ExtTextOutW(Canvas->GetHandle(), X, MY, ETO_OPAQUE | ETO_CLIPPED, &Clip, S.c_str(), UINT(S.size()), nullptr);
}

String TCustomDBEditKv::GetDisplayTextForPaintCopy() {
  if (GetComponentState().Contains(csDesigning) && !FDataLink->GetActive()) return GetName();
  TField* Field = GetField();
  if (FControlState.Contains(csPaintCopy) && Field) {
    String S = Field->GetDisplayText();
    if (GetCharCase() == ecUpperCase) S = AnsiUpperCase(S);
    else if (GetCharCase() == ecLowerCase) S = AnsiLowerCase(S);
    return S;
  }
  return GetEditText();
}

TColor TCustomDBEditKv::GetActualBackColor() {
  if (IsCustomStyleActiveKv())
    return StyleServices()->GetStyleColor(GetEnabled() ? scEdit : scEditDisabled);
  return GetStyledSystemColor(TControl::GetColor());
}

TColor TCustomDBEditKv::GetActualFontColor() {
  if (IsCustomStyleActiveKv())
    return StyleServices()->GetStyleFontColor(GetEnabled() ? sfEditBoxTextNormal : sfEditBoxTextDisabled);
  if (!GetEnabled()) return GetStyledSystemColor(clGrayText);
  return GetStyledSystemColor(TControl::GetFont()->GetColor());
}

void TCustomDBEditKv::DrawRequiredState(TCanvas* Canvas) {
  bool Draw = false;
  if (FHighlightRequired && FDataLink->GetActive()) {
    if (DataIndepended()) {
      Draw = VarIsNull(GetValue()) || GetText().empty();
    } else if (TField* Field = GetField()) {
      TDataSet* DataSet = Field->GetDataSet();
      Draw = DataSet && (DataSet->GetState() == dsEdit || DataSet->GetState() == dsInsert) &&
             Field->GetRequired() && Field->IsNull();
    }
  }
  DoEvent(FOnCheckDrawRequiredState, this, Draw);
  if (!Draw) return;
  TRect R = GetEditRect(GetClientRect());
  Integer Y = GetClientRect().Height() - 1;
  // A dotted red line: every other pixel.
  for (Integer X = R.Left + 2; X < R.Right - 3; X += 2) Canvas->SetPixel(X, Y, TColor(255));
}

// ---- Flat border ------------------------------------------------------------------------------

void TCustomDBEditKv::UpdateBorderActive() {
  if (GetComponentState().Contains(csLoading)) return;
  bool Active = GetComponentState().Contains(csDesigning) || FFocused || FMouseAboveControl || FAlwaysShowBorder;
  if (Active == FBorderActive) return;
  FBorderActive = Active;
  if (FHandle && NewStyleControls && GetCtl3D() && GetBorderStyle() == bsSingle && FFlat && !ThemesEnabledKv())
    SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateEditButtonsState();
}

void TCustomDBEditKv::WMNCPaint(TMessage& Message) {
  if (!(NewStyleControls && GetCtl3D() && GetBorderStyle() == bsSingle && FFlat && !ThemesEnabledKv())) {
    inherited::Dispatch(&Message);
    return;
  }
  HDC DC = GetWindowDC(FHandle);
  RECT R;
  ::GetWindowRect(FHandle, &R);
  OffsetRect(&R, -R.left, -R.top);
  HBRUSH Face = GetSysColorBrush(COLOR_BTNFACE);
  if (FBorderActive) DrawEdge(DC, &R, BDR_SUNKENOUTER, BF_RECT);
  else FrameRect(DC, &R, Face);
  InflateRect(&R, -1, -1);
  FrameRect(DC, &R, Face);
  ReleaseDC(FHandle, DC);
}

void TCustomDBEditKv::CMMouseEnter(TCMMouseEnter& Message) {
  inherited::Dispatch(&Message);
  FMouseAboveControl = true;
  UpdateBorderActive();
}

void TCustomDBEditKv::CMMouseLeave(TCMMouseLeave& Message) {
  inherited::Dispatch(&Message);
  FMouseAboveControl = false;
  UpdateBorderActive();
}

// ---- Tooltips ---------------------------------------------------------------------------------

void TCustomDBEditKv::CMHintShow(TCMHintShow& Message) {
  TCanvas* Canvas = GetEditCanvas();
  TRect Area = GetEditRect(GetClientRect());
  String S = GetEditText();
  bool Fits = true;
  if (FTooltips && !S.empty() && FHandle) {
    HDC DC = GetDC(FHandle);
    {
      TPaintCanvasScopeKv Scope(FCanvas.get(), DC);
      Canvas->SetFont(TControl::GetFont());
      TRect Measure(0, 0, std::max(Area.Width(), 1), 0);
      TTextFormat Format{FWordWrap ? tfWordBreak : tfSingleLine};
      Canvas->TextRect(Measure, S, Format + TTextFormat{tfCalcRect});
      Fits = Measure.Width() <= Area.Width() - 2 && Measure.Height() <= Area.Height();
    }
    ReleaseDC(FHandle, DC);
  }
  if (FTooltips && !Fits) {
    THintInfo* Info = Message.HintInfo;
    Info->HintStr = S;
    Info->HintWindowClass = TToolTipsWindow::StaticClass();
    Info->HintData = this;
    Info->HintPos = ClientToScreen(TPoint(0, GetClientRect().Height()));
    return;
  }
  if (!FShowHint) {
    Message.Result = 1;
    return;
  }
  inherited::Dispatch(&Message);
}
