// The grid's structure: construction, counts and positions, settings, the base bodies of its
// simple virtual operations, window messages, focus and streaming of the cell extents.

#include "kvlib/grids/gridskv/CustomGrid.h"
#include "kvlib/grids/gridskv/GridFinally.h"

#include <algorithm>

#include "framework/Forms.h"
#include "framework/WinApi.h"
#include "framework/classes/Reader.h"
#include "framework/classes/Writer.h"
#include "kvlib/grids/GridToolCtrlsKv.h"
#include "kvlib/grids/gridskv/InplaceEdit.h"

namespace {

// Value kept within Low .. High; Low wins when the range is empty.
Integer CustomGridClamp(Integer Value, Integer Low, Integer High) { return std::max(Low, std::min(Value, High)); }

const TGridOptionsKv CustomGridDefaultOptions{
    goFixedVertLineKv, goFixedHorzLineKv, goVertLineKv,  goHorzLineKv,   goDrawFocusSelectedKv,     goRowSizingKv,
    goColSizingKv,     goRowMovingKv,     goColMovingKv, goEditingKv,    goContraVertBoundaryLineKv, goContraHorzBoundaryLineKv};

}  // namespace

// ---- Construction -----------------------------------------------------------------------------

TCustomGridKv::TCustomGridKv(TComponent* AOwner) : TCustomControlKv(AOwner) {
  // The layout waits until the grid is whole, so that the settings objects and panels it makes on
  // first use come from a descendant's factories.
  BeginBoundariesUpdate();
  FControlStyle = TControlStyle{csCaptureMouse, csOpaque, csDoubleClicks, csGestures, csNeedsBorderPaint};
  if (!NewStyleControls) FControlStyle << csFramed;
  SetDrawStyle(nullptr);
  FHorzAxis = std::make_unique<TGridAxisDataKv>(this);
  FVertAxis = std::make_unique<TGridAxisDataKv>(this);
  FScrollBarSize = GetSystemMetrics(SM_CYHSCROLL);
  FHorzAxis->SetDefaultCelLen(50);
  FVertAxis->SetDefaultCelLen(20);
  FCanEditModify = true;
  FOptions = CustomGridDefaultOptions;
  FDesignOptionsBoost = TGridOptionsKv{goRowSizingKv, goColSizingKv, goColMovingKv};
  FGridLineWidth = 1;
  FFixedColor = clBtnFace;
  FBorderStyle = bsSingle;
  FEditorMode = false;
  SetColor(clWindow);
  SetParentColor(false);
  SetTabStop(true);
  FFixedLineColor = clBlack;
  FOutBoundaryData = std::make_unique<TGridOutBoundaryDataKv>(this);
  FMouseDownCell = MakeGridCoord(-1, -1);
  FGridTimer = std::make_unique<TTimer>(nullptr);
  FGridTimer->SetEnabled(false);
  FGridTimer->SetOnTimer({this, &TCustomGridKv::GridTimerTick});
  FHotTrackCell = MakeGridCoord(-1, -1);
  FHotTrackInCellPos = TPoint(-1, -1);
  FSizeGripPostion = sgpBottomRight;
  FHorzAxis->SetRolCelCount(5);
  FVertAxis->SetRolCelCount(5);
  FHorzAxis->SetFixedCelCount(1);
  FVertAxis->SetFixedCelCount(1);
  SetBounds(FLeft, FTop, GetColCount() * GetDefaultColWidth(), GetRowCount() * GetDefaultRowHeight());
  GetTouch()->SetInteractiveGestures(TInteractiveGestures{igPan, igPressAndTap});
  GetTouch()->SetInteractiveGestureOptions(TTouchManager::AllGestureOptions());
  FSelectionDrawParams = std::make_unique<TGridSelectionDrawParamsKv>(this);
  EndBoundariesUpdate();
}

TCustomGridKv::~TCustomGridKv() {
  // The panels and the editor go while the grid is whole.
  Teardown();
  if (FDrawStyle) FDrawStyle->RemoveChangeNotification(this);
  FDrawStyle = nullptr;
}

// ---- Parts made on first use ------------------------------------------------------------------

TGridLineColorsKv* TCustomGridKv::GetGridLineColors() {
  if (!FGridLineColors) FGridLineColors.reset(CreateGridLineColors());
  return FGridLineColors.get();
}

TGridScrollBarKv* TCustomGridKv::GetHorzScrollBar() {
  if (!FHorzScrollBar) FHorzScrollBar.reset(CreateScrollBar(sbHorizontal));
  return FHorzScrollBar.get();
}

TGridScrollBarKv* TCustomGridKv::GetVertScrollBar() {
  if (!FVertScrollBar) FVertScrollBar.reset(CreateScrollBar(sbVertical));
  return FVertScrollBar.get();
}

TGridBackgroundDataKv* TCustomGridKv::GetBackgroundData() {
  if (!FBackgroundData) FBackgroundData.reset(CreateBackgroundData());
  return FBackgroundData.get();
}

TGridHotTrackSpotKv* TCustomGridKv::GetNewHotTrackSpot() {
  if (!FNewHotTrackSpot) FNewHotTrackSpot.reset(CreateHotTrackSpot());
  return FNewHotTrackSpot.get();
}

TGridHotTrackSpotKv* TCustomGridKv::GetOldHotTrackSpot() {
  if (!FOldHotTrackSpot) FOldHotTrackSpot.reset(CreateHotTrackSpot());
  return FOldHotTrackSpot.get();
}

namespace {

// A panel parented to the grid, hidden, of no size, not taking the grid's background.
template <class T>
T* CustomGridPreparePanel(TCustomGridKv* Grid, T* Panel, const wchar_t* Name) {
  if (Name) Panel->SetName(Name);
  Panel->SetVisible(false);
  Panel->SetParentBackground(false);
  Panel->SetBounds(0, 0, 0, 0);
  Panel->SetParent(Grid);
  return Panel;
}

}  // namespace

TGridScrollBarPanelControlKv* TCustomGridKv::GetHorzScrollBarPanelControl() {
  if (!FHorzScrollBarPanelControl && !GetComponentState().Contains(csDestroying))
    FHorzScrollBarPanelControl =
        CustomGridPreparePanel(this, CreateHorzScrollBarPanel(), L"HorzScrollBarPanelControl");
  return FHorzScrollBarPanelControl;
}

TGridScrollBarPanelControlKv* TCustomGridKv::GetVertScrollBarPanelControl() {
  if (!FVertScrollBarPanelControl && !GetComponentState().Contains(csDestroying))
    FVertScrollBarPanelControl =
        CustomGridPreparePanel(this, CreateVertScrollBarPanel(), L"VertScrollBarPanelControl");
  return FVertScrollBarPanelControl;
}

TSizeGripPanelKv* TCustomGridKv::GetCornerScrollBarPanelControl() {
  if (!FCornerScrollBarPanelControl && !GetComponentState().Contains(csDestroying))
    FCornerScrollBarPanelControl = CustomGridPreparePanel(this, CreateCornerPanel(), L"CornerScrollBarPanelControl");
  return FCornerScrollBarPanelControl;
}

TSizeGripPanelKv* TCustomGridKv::GetExtraSizeGripControl() {
  if (!FExtraSizeGripControl && !GetComponentState().Contains(csDestroying)) {
    FExtraSizeGripControl = CustomGridPreparePanel(this, new TSizeGripPanelKv(this), nullptr);
    FExtraSizeGripControl->SetGripActiveStatus(gasNeverKv);
  }
  return FExtraSizeGripControl;
}

// ---- Virtual operations with the structure's base bodies --------------------------------------

bool TCustomGridKv::CanEditAcceptKey(Char) { return true; }
bool TCustomGridKv::CanEditModify() { return FCanEditModify; }

bool TCustomGridKv::CanEditShow() {
  return FOptions.Contains(goEditingKv) && !FOptions.Contains(goRowSelectKv) && FEditorMode &&
         !GetComponentState().Contains(csDesigning) && HandleAllocated() &&
         (FOptions.Contains(goAlwaysShowEditorKv) || IsActiveControl());
}

bool TCustomGridKv::CanEditAcceptChar(Char Key) { return Key >= 32; }
bool TCustomGridKv::CanGridAcceptKey(Word, TShiftState) { return true; }
bool TCustomGridKv::CanHotTrackCell(Integer, Integer) { return false; }
bool TCustomGridKv::BeginColumnDrag(Integer&, Integer&, const TPoint&) { return true; }
bool TCustomGridKv::BeginRowDrag(Integer&, Integer&, const TPoint&) { return true; }

bool TCustomGridKv::AllowMouseDblClick(const TGridCoord&, TMouseButton, TShiftState, const TPoint&, const TPoint&) {
  return true;
}

bool TCustomGridKv::CanProcessMouseMessage(TWMMouse& Message) {
  return (FGridState == gsNormalKv || FGridState == gsSelectingKv) && Message.XPos >= 0 && Message.YPos >= 0;
}

bool TCustomGridKv::CheckColumnDrag(Integer&, Integer&, const TPoint&) { return true; }

bool TCustomGridKv::HasGridLines(bool Horz) {
  return Horz ? FOptions.Contains(goFixedHorzLineKv) || FOptions.Contains(goHorzLineKv)
              : FOptions.Contains(goFixedVertLineKv) || FOptions.Contains(goVertLineKv);
}

bool TCustomGridKv::CheckRowDrag(Integer&, Integer&, const TPoint&) { return true; }

TGridStateKv TCustomGridKv::SizingStateAt(Integer X, Integer Y) {
  if (FGridState != gsNormalKv) return FGridState;
  TGridStateKv State = gsNormalKv;
  Integer Index = -1, Pos = 0, Ofs = 0;
  CalcSizingState(X, Y, State, Index, Pos, Ofs);
  return State;
}

bool TCustomGridKv::TakeFocus() {
  if (CanFocus() && !GetComponentState().Contains(csDesigning)) SetFocus();
  return true;
}

TGridBackgroundDataKv* TCustomGridKv::CreateBackgroundData() { return new TGridBackgroundDataKv(this); }

TInplaceEdit* TCustomGridKv::CreateEditor() { return new TInplaceEdit(this); }

TGridLineColorsKv* TCustomGridKv::CreateGridLineColors() { return new TGridLineColorsKv(this); }

TGridScrollBarPanelControlKv* TCustomGridKv::CreateHorzScrollBarPanel() {
  return new TGridScrollBarPanelControlKv(this, sbHorizontal);
}

TGridHotTrackSpotKv* TCustomGridKv::CreateHotTrackSpot() { return new TGridHotTrackSpotKv(); }

TGridScrollBarKv* TCustomGridKv::CreateScrollBar(TScrollBarKind AKind) { return new TGridScrollBarKv(this, AKind); }

TSizeGripPanelKv* TCustomGridKv::CreateCornerPanel() { return new TSizeGripPanelKv(this); }

TGridScrollBarPanelControlKv* TCustomGridKv::CreateVertScrollBarPanel() {
  return new TGridScrollBarPanelControlKv(this, sbVertical);
}

bool TCustomGridKv::GetDefaultDrawFocusFrame() { return FDrawStyle ? FDrawStyle->GetDrawFocusFrame() : true; }

bool TCustomGridKv::EndColumnDrag(Integer& Origin, Integer& Destination, const TPoint&) {
  if (Origin < Destination && !FMovePosRightSite) --Destination;
  return true;
}

bool TCustomGridKv::EndRowDrag(Integer&, Integer&, const TPoint&) { return true; }
bool TCustomGridKv::AllowFixedColSizing() { return false; }
bool TCustomGridKv::AllowFixedRowSizing() { return false; }
bool TCustomGridKv::FullRepaintOnScroll() { return IsBackgroundShowing(); }

TCursor TCustomGridKv::GetHitTestCursor(const TPoint& Pos) {
  switch (SizingStateAt(Pos.X, Pos.Y)) {
    case gsRowSizingKv: return crVSplit;
    case gsColSizingKv: return crHSplit;
    default: return crDefault;
  }
}

TGridSelectionDrawStyleKv TCustomGridKv::GetDefaultSelectionStyle() {
  return FDrawStyle ? FDrawStyle->GetActualSelectionStyle() : gsdsClassicKv;
}

Integer TCustomGridKv::GetEditLimit() { return 0; }
String TCustomGridKv::GetEditMask(Integer, Integer) { return String(); }
Integer TCustomGridKv::GetEditOption() { return 0; }
String TCustomGridKv::GetEditText(Integer, Integer) { return String(); }
bool TCustomGridKv::IsTabStopCol(Integer) { return true; }
bool TCustomGridKv::IsBackgroundShowing() { return GetBackgroundData()->Showing(); }

bool TCustomGridKv::ContainsFocus() {
  if (!HandleAllocated()) return false;
  for (HWND Wnd = ::GetFocus(); Wnd; Wnd = ::GetParent(Wnd))
    if (Wnd == FHandle) return true;
  return false;
}

Integer TCustomGridKv::GetHorzLineWidth() { return HasGridLines(true) ? FGridLineWidth : 0; }

bool TCustomGridKv::HotTrackSpotsEqual(TGridHotTrackSpotKv* A, TGridHotTrackSpotKv* B) {
  return A->GetCol() == B->GetCol() && A->GetRow() == B->GetRow();
}

bool TCustomGridKv::HasRangeSelection() { return FAnchorCell != FCurCell; }
bool TCustomGridKv::IsSmoothHorzScroll() { return GetHorzScrollBar()->GetSmoothStep(); }
bool TCustomGridKv::IsSmoothVertScroll() { return GetVertScrollBar()->GetSmoothStep(); }
bool TCustomGridKv::CanSelectCell(Integer, Integer) { return true; }
bool TCustomGridKv::IsSizingHitTest(Integer X, Integer Y) { return SizingStateAt(X, Y) != gsNormalKv; }
Integer TCustomGridKv::GetVertLineWidth() { return HasGridLines(false) ? FGridLineWidth : 0; }

void TCustomGridKv::CelMoved(TGridAxisDataKv* Axis, Integer FromIndex, Integer ToIndex) {
  Invalidate();
  if (Axis == FHorzAxis.get())
    ColMoved(FromIndex, ToIndex);
  else
    RowMoved(FromIndex, ToIndex);
}

void TCustomGridKv::CheckCurrentCellInRange() {
  Invalidate();
  FCurCell.X = CustomGridClamp(FCurCell.X, GetFixedColCount() - GetFrozenColCount(), GetColCount() - 1);
  FCurCell.Y = CustomGridClamp(FCurCell.Y, GetFixedRowCount() - GetFrozenRowCount(), GetRowCount() - 1);
  FAnchorCell = FCurCell;
}

void TCustomGridKv::CelLenChanged(TGridAxisDataKv* Axis, Integer Index, Integer) {
  if (Index < Axis->GetFixedCelCount() || Index >= Axis->GetCelCount()) UpdateBoundaries();
  if (Axis == FHorzAxis.get())
    ColWidthsChanged();
  else
    RowHeightsChanged();
}

void TCustomGridKv::CheckUpdateAxes() {
  FHorzAxis->CheckUpdateRolCelPosArr();
  FVertAxis->CheckUpdateRolCelPosArr();
}

void TCustomGridKv::ColWidthsChanged() {
  if (!FHorzAxis->GetRolLocCelPosArrObsolete() && !FVertAxis->GetRolLocCelPosArrObsolete()) UpdateEdit();
}

void TCustomGridKv::CurrentCellMoved(const TGridCoord&) {}

void TCustomGridKv::DeleteColumn(Integer ACol) {
  MoveColumn(ACol, GetColCount() - 1);
  SetColCount(GetColCount() - 1);
}

void TCustomGridKv::DeleteRow(Integer ARow) {
  LockPaint();
  TGridFinallyKv Unlock([this] { UnlockPaint(); });
  FVertAxis->DeleteRolCel(ARow - GetFixedRowCount());
}

void TCustomGridKv::ClampCellCoord(Integer& ACol, Integer& ARow) {
  ACol = CustomGridClamp(ACol, 0, GetFullColCount() - 1);
  ARow = CustomGridClamp(ARow, 0, GetFullRowCount() - 1);
}

void TCustomGridKv::FlatChanged() {}

void TCustomGridKv::SetColWidth(Integer Index, Integer Value) { SetColWidths(Index, Value); }
void TCustomGridKv::SetRowHeight(Integer Index, Integer Value) { SetRowHeights(Index, Value); }

void TCustomGridKv::InvalidateHotTrackCell(TGridHotTrackSpotKv* Spot) {
  if (Spot->GetCol() >= 0 && Spot->GetCol() < GetFullColCount() && Spot->GetRow() >= 0 &&
      Spot->GetRow() < GetFullRowCount())
    InvalidateCell(Spot->GetCol(), Spot->GetRow());
}

void TCustomGridKv::OutBoundaryChanged() { UpdateBoundaries(); }
void TCustomGridKv::RolPositionsUpdated() { UpdateBoundaries(); }

void TCustomGridKv::RowHeightsChanged() {
  if (!FHorzAxis->GetRolLocCelPosArrObsolete() && !FVertAxis->GetRolLocCelPosArrObsolete()) UpdateEdit();
}

void TCustomGridKv::RowMoved(Integer, Integer) {}
void TCustomGridKv::ScrollBarLayoutChanged() {}
void TCustomGridKv::ScrollBarSizeChanged(TGridScrollBarKv*) { UpdateBoundaries(); }

void TCustomGridKv::SelectionChanged(const TGridRect& OldSelection) {
  InvalidateGridRect(OldSelection);
  InvalidateGridRect(GetSelection());
}

void TCustomGridKv::SetEditText(Integer, Integer, const String&) {}

void TCustomGridKv::CheckCoord(TGridCoord& Coord) {
  if (Coord.X < 0 || Coord.X >= GetFullColCount() || Coord.Y < 0 || Coord.Y >= GetFullRowCount())
    Coord = MakeGridCoord(-1, -1);
}

void TCustomGridKv::DrawStyleChanged() { Invalidate(); }
void TCustomGridKv::DoScrolled() {}

void TCustomGridKv::UpdateFixedLineColor() {
  FFixedLineColor = FFlat ? GetStyledSystemColor(TColor(0x808080)) : clBlack;
}

void TCustomGridKv::DefaultCellMouseClick(const TGridCoord&, TMouseButton, TShiftState, const TRect&, const TPoint&,
                                          const TPoint&) {}
void TCustomGridKv::DefaultCellMouseDown(const TGridCoord&, TMouseButton, TShiftState, const TRect&, const TPoint&,
                                         const TPoint&) {}

// ---- Counts and positions ---------------------------------------------------------------------

void TCustomGridKv::SetColCount(Integer Value) { FHorzAxis->SetRolCelCount(Value - GetFixedColCount()); }
void TCustomGridKv::SetRowCount(Integer Value) { FVertAxis->SetRolCelCount(Value - GetFixedRowCount()); }

void TCustomGridKv::SetLeftPos(Int64 ALeftPos) { FHorzAxis->SetRolStartVisPos(FHorzAxis->CheckRolStartVisPos(ALeftPos)); }
void TCustomGridKv::SetTopPos(Int64 ATopPos) { FVertAxis->SetRolStartVisPos(FVertAxis->CheckRolStartVisPos(ATopPos)); }

void TCustomGridKv::SetLeftCol(Integer ACol) {
  Integer Cel = CustomGridClamp(ACol - GetFixedColCount(), 0, GetRolColCount() - 1);
  SetLeftPos(FHorzAxis->GetRolLocCelPosArr(Cel));
}

void TCustomGridKv::SetTopRow(Integer ARow) {
  Integer Cel = CustomGridClamp(ARow - GetFixedRowCount(), 0, GetRolRowCount() - 1);
  SetTopPos(FVertAxis->GetRolLocCelPosArr(Cel));
}

void TCustomGridKv::SetCol(Integer ACol) {
  if (ACol != FCurCell.X) FocusCell(ACol, FCurCell.Y, true);
}

void TCustomGridKv::SetRow(Integer ARow) {
  if (ARow != FCurCell.Y) FocusCell(FCurCell.X, ARow, true);
}

Integer TCustomGridKv::GetVisibleColCount() {
  return FHorzAxis->GetRolLastFullVisCel() - FHorzAxis->GetRolStartVisCel() + 1;
}

Integer TCustomGridKv::GetVisibleRowCount() {
  return FVertAxis->GetRolLastFullVisCel() - FVertAxis->GetRolStartVisCel() + 1;
}

Integer TCustomGridKv::GetLastFullVisibleCol() { return GetFixedColCount() + FHorzAxis->GetRolLastFullVisCel(); }
Integer TCustomGridKv::GetLastFullVisibleRow() { return GetFixedRowCount() + FVertAxis->GetRolLastFullVisCel(); }

void TCustomGridKv::DoAxisScrolled(TGridAxisDataKv* Axis, Int64 OldPos) {
  AxisScrolled(Axis == FHorzAxis.get() ? OldPos : GetLeftPos(), Axis == FVertAxis.get() ? OldPos : GetTopPos());
}

// ---- Settings ---------------------------------------------------------------------------------

void TCustomGridKv::SetOptions(TGridOptionsKv Value) {
  if (Value.Contains(goRowSelectKv)) Value >> goAlwaysShowEditorKv;
  if (Value == FOptions) return;
  FOptions = Value;
  if (!FEditorMode) {
    if (FOptions.Contains(goAlwaysShowEditorKv))
      ShowEditor();
    else
      HideEditor();
  }
  if (FOptions.Contains(goRowSelectKv)) MoveCurrentCell(FCurCell.X, FCurCell.Y, true, false);
  if (HandleAllocated()) UpdateBoundaries();
  Invalidate();
}

void TCustomGridKv::SetEditorMode(bool Value) {
  if (Value) {
    ShowEditor();
    if (FInplaceEdit) FInplaceEdit->Deselect();
  } else {
    HideEditor();
  }
}

void TCustomGridKv::SetBorderStyle(TBorderStyle Value) {
  if (FBorderStyle == Value) return;
  FBorderStyle = Value;
  RecreateWndHandle();
}

void TCustomGridKv::SetFixedColor(TColor Value) {
  if (FFixedColor == Value) return;
  FFixedColor = Value;
  Invalidate();
}

void TCustomGridKv::SetFlat(bool Value) {
  if (FFlat == Value) return;
  FFlat = Value;
  UpdateFixedLineColor();
  FlatChanged();
  Invalidate();
}

void TCustomGridKv::SetSizeGripAlwaysShow(bool Value) {
  if (FSizeGripAlwaysShow == Value) return;
  FSizeGripAlwaysShow = Value;
  UpdateScrollBarPanels();
}

void TCustomGridKv::SetSizeGripPostion(TSizeGripPosition Value) {
  if (FSizeGripPostion == Value) return;
  FSizeGripPostion = Value;
  UpdateScrollBarPanels();
}

void TCustomGridKv::SetDrawStyle(TGridDrawStyleKv* Value) {
  if (!Value) Value = GetDefaultGridDrawStyle();
  if (Value == FDrawStyle) return;
  if (FDrawStyle) FDrawStyle->RemoveChangeNotification(this);
  FDrawStyle = Value;
  if (FDrawStyle) FDrawStyle->AddChangeNotification(this);
  Invalidate();
}

// ---- Window -----------------------------------------------------------------------------------

void TCustomGridKv::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  Params.Style |= WS_TABSTOP | WS_CLIPCHILDREN;
  Params.WindowClass.style = CS_DBLCLKS;
  if (FBorderStyle == bsSingle) {
    if (NewStyleControls && GetCtl3D()) {
      Params.Style &= ~DWORD(WS_BORDER);
      Params.ExStyle |= WS_EX_CLIENTEDGE;
    } else {
      Params.Style |= WS_BORDER;
    }
  }
}

void TCustomGridKv::CreateWnd() {
  inherited::CreateWnd();
  // The client area now has the window's size less its border.
  UpdateBoundaries();
}

void TCustomGridKv::GetChildren(TGetChildProc Proc, TComponent* Root) {
  inherited::GetChildren(
      [this, Proc](TComponent* Child) {
        if (Child != FHorzScrollBarPanelControl && Child != FVertScrollBarPanelControl &&
            Child != FCornerScrollBarPanelControl && Child != FExtraSizeGripControl && Child != FInplaceEdit)
          Proc(Child);
      },
      Root);
}

void TCustomGridKv::Loaded() {
  inherited::Loaded();
  UpdateBoundaries();
}

void TCustomGridKv::Resize() {
  inherited::Resize();
  UpdateBoundaries();
}

void TCustomGridKv::WMEraseBkgnd(TWMEraseBkgnd& Message) { Message.Result = 1; }

void TCustomGridKv::WMNCHitTest(TWMNCHitTest& Message) {
  DefaultHandler(&Message);
  FHitTest = ScreenToClient(TPoint(Message.XPos, Message.YPos));
}

void TCustomGridKv::WMSetCursor(TWMSetCursor& Message) {
  if (HandleAllocated() && Message.CursorWnd == FHandle) {
    TCursor Cursor = GetHitTestCursor(FHitTest);
    if (Cursor != crDefault) {
      ::SetCursor(Screen->GetCursors(Cursor));
      Message.Result = 1;
      return;
    }
  }
  inherited::Dispatch(&Message);
}

namespace {

// The editor's frame or the edit inside it.
bool CustomGridIsEditorWindow(TInplaceEdit* Editor, HWND Wnd) {
  if (!Editor || !Editor->HandleAllocated() || !Wnd) return false;
  return Wnd == Editor->GetHandle() || ::IsChild(Editor->GetHandle(), Wnd);
}

}  // namespace

void TCustomGridKv::WMSetFocus(TWMSetFocus& Message) {
  FFocused = true;
  inherited::Dispatch(&Message);
  if (FInternalFocusResetting) return;
  if (CustomGridIsEditorWindow(FInplaceEdit, Message.FocusedWnd)) return;
  Invalidate();
  UpdateEdit();
}

void TCustomGridKv::WMKillFocus(TWMKillFocus& Message) {
  FFocused = false;
  inherited::Dispatch(&Message);
  Invalidate();
  if (FInternalFocusResetting || !FInplaceEdit) return;
  if (!CustomGridIsEditorWindow(FInplaceEdit, Message.FocusedWnd)) HideEdit();
}

void TCustomGridKv::CMDesignHitTest(TCMDesignHitTest& Message) {
  Message.Result = IsSizingHitTest(Message.XPos, Message.YPos) ? 1 : 0;
}

void TCustomGridKv::CMCtl3DChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  RecreateWndHandle();
}

void TCustomGridKv::CMFontChanged(TMessage& Message) {
  if (FInplaceEdit) FInplaceEdit->SetFont(GetFont());
  inherited::Dispatch(&Message);
}

void TCustomGridKv::CMStyleChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  UpdateInternalColors();
}

bool TCustomGridKv::IsTouchPropertyStored(TTouchProperty AProperty) {
  if (AProperty == tpInteractiveGestures)
    return GetTouch()->GetInteractiveGestures() != TInteractiveGestures{igPan, igPressAndTap};
  return GetTouch()->GetInteractiveGestureOptions() != TTouchManager::AllGestureOptions();
}

// ---- Focus ------------------------------------------------------------------------------------

bool TCustomGridKv::IsActiveControl() {
  if (TCustomForm* Form = GetParentForm(this)) return Form->GetActiveControl() == this;
  return ContainsFocus();
}

void TCustomGridKv::InternalSetFocus(TWinControl* Control) {
  TGridFinallyKv Restore([this, Old = FInternalFocusResetting] { FInternalFocusResetting = Old; });
  FInternalFocusResetting = true;
  Control->SetFocus();
}

// ---- Cell extents in form streams -------------------------------------------------------------

void TCustomGridKv::DefineProperties(TFiler* Filer) {
  inherited::DefineProperties(Filer);
  if (!FSaveCellExtents) return;
  auto* Ancestor = dynamic_cast<TCustomGridKv*>(Filer->GetAncestor());
  bool StoreCols = !Ancestor || !AxisLensEqual(Ancestor->FHorzAxis.get(), FHorzAxis.get());
  bool StoreRows = !Ancestor || !AxisLensEqual(Ancestor->FVertAxis.get(), FVertAxis.get());
  Filer->DefineProperty(L"ColWidths", {this, &TCustomGridKv::ReadColWidths}, {this, &TCustomGridKv::WriteColWidths},
                        StoreCols);
  Filer->DefineProperty(L"RowHeights", {this, &TCustomGridKv::ReadRowHeights},
                        {this, &TCustomGridKv::WriteRowHeights}, StoreRows);
}

void TCustomGridKv::ReadAxisLens(TReader* Reader, TGridAxisDataKv* Axis, const wchar_t* Name) {
  // The whole list is read and checked before any length changes.
  std::vector<Integer> Lens;
  Reader->ReadListBegin();
  while (!Reader->EndOfList()) {
    Integer Len = Reader->ReadInteger();
    if (Integer(Lens.size()) >= Axis->GetCelCount())
      throw EReadError(Format(L"%s: more values than the grid has cells", {String(Name)}));
    if (Len < 0) throw EReadError(Format(L"%s: a length can't be less then 0", {String(Name)}));
    Lens.push_back(Len);
  }
  Reader->ReadListEnd();
  for (size_t I = 0; I < Lens.size(); ++I) Axis->SetCelLens(Integer(I), Lens[I]);
}

void TCustomGridKv::WriteAxisLens(TWriter* Writer, TGridAxisDataKv* Axis) {
  Writer->WriteListBegin();
  for (Integer I = 0; I < Axis->GetCelCount(); ++I) Writer->WriteInteger(Axis->GetCelLens(I));
  Writer->WriteListEnd();
}

void TCustomGridKv::ReadColWidths(TReader* Reader) { ReadAxisLens(Reader, FHorzAxis.get(), L"ColWidths"); }
void TCustomGridKv::WriteColWidths(TWriter* Writer) { WriteAxisLens(Writer, FHorzAxis.get()); }
void TCustomGridKv::ReadRowHeights(TReader* Reader) { ReadAxisLens(Reader, FVertAxis.get(), L"RowHeights"); }
void TCustomGridKv::WriteRowHeights(TWriter* Writer) { WriteAxisLens(Writer, FVertAxis.get()); }
