#pragma once
// The family's owner-drawn grid (part of the unit GridsKv). All cell geometry lives in two axis
// objects; scroll positions are 64-bit pixel offsets into the rolling cells. The grid hosts its
// own scroll-bar panels and size grips, and owns the settings objects of GridParts.h.
//
// TCustomGridKv is an abstract base: it shows every cell as "column:row" and edits nothing until a
// descendant overrides its virtual operations.

#include <memory>
#include <vector>

#include "framework/ExtCtrls.h"
#include "kvlib/foundation/KvLibVCL.h"
#include "kvlib/grids/gridskv/GridAxis.h"
#include "kvlib/grids/gridskv/GridParts.h"

class TInplaceEdit;
class TGridScrollBarPanelControlKv;
class TSizeGripPanelKv;

DECLARE_ENUM(TGridOptionKv, goFixedVertLineKv, goFixedHorzLineKv, goVertLineKv, goHorzLineKv, goDrawFocusSelectedKv,
             goRowSizingKv, goColSizingKv, goRowMovingKv, goColMovingKv, goEditingKv, goTabsKv, goRowSelectKv,
             goAlwaysShowEditorKv, goThumbTrackingKv, goExtendVertLinesKv, goContraVertBoundaryLineKv,
             goContraHorzBoundaryLineKv, goRangeSelectKv)
using TGridOptionsKv = Set<TGridOptionKv, 32>;

DECLARE_ENUM(TGridStateKv, gsNormalKv, gsSelectingKv, gsRowSizingKv, gsColSizingKv, gsRowMovingKv, gsColMovingKv)

DECLARE_ENUM(TGridDrawStateItem, gdSelected, gdFocused, gdCurrent, gdFixed, gdRowSelected, gdHotTrack, gdPressed)
using TGridDrawState = Set<TGridDrawStateItem, 8>;

// The ways a range selection grows by one cell.
DECLARE_ENUM(TGridScrollDirectionKv, sdLeftKv, sdRightKv, sdUpKv, sdDownKv)
using TGridScrollDirectionsKv = Set<TGridScrollDirectionKv, 8>;

class TCustomGridKv;
// X and Y are the position inside the cell.
using TGridKvCellMouseEvent = Closure<void(TCustomGridKv* Grid, TGridCoord Cell, TMouseButton Button,
                                           TShiftState Shift, Integer X, Integer Y, bool& Processed)>;
using TMovedEvent = Closure<void(TObject* Sender, Integer FromIndex, Integer ToIndex)>;

DECLARE_EXCEPTION(EInvalidGridOperationKv, Exception)

class TCustomGridKv : public TCustomControlKv {
  DECLARE_CLASS(TCustomGridKv, TCustomControlKv)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_PAINT, TWMPaint, WMPaint)
    MESSAGE_HANDLER(WM_ERASEBKGND, TWMEraseBkgnd, WMEraseBkgnd)
    MESSAGE_HANDLER(WM_NCHITTEST, TWMNCHitTest, WMNCHitTest)
    MESSAGE_HANDLER(WM_SETCURSOR, TWMSetCursor, WMSetCursor)
    MESSAGE_HANDLER(WM_SETFOCUS, TWMSetFocus, WMSetFocus)
    MESSAGE_HANDLER(WM_KILLFOCUS, TWMKillFocus, WMKillFocus)
    MESSAGE_HANDLER(CM_DESIGNHITTEST, TCMDesignHitTest, CMDesignHitTest)
    MESSAGE_HANDLER(CM_CTL3DCHANGED, TMessage, CMCtl3DChanged)
    MESSAGE_HANDLER(CM_FONTCHANGED, TMessage, CMFontChanged)
    MESSAGE_HANDLER(CM_STYLECHANGED, TMessage, CMStyleChanged)
  END_MESSAGE_MAP

 public:
  explicit TCustomGridKv(TComponent* AOwner);
  ~TCustomGridKv() override;

  // ---- Virtual operations, in slot order -------------------------------------------------------
 protected:
  virtual bool CanEditAcceptKey(Char Key);
  virtual bool CanEditModify();
  virtual bool CanEditShow();
  virtual bool CanEditAcceptChar(Char Key);
  virtual bool CanGridAcceptKey(Word Key, TShiftState Shift);
  virtual bool CanHotTrackCell(Integer ACol, Integer ARow);
 public:
  // The clipped cell rectangle less its drawn right (left when right to left) and bottom line.
  virtual void GetCellContentRect(Integer ACol, Integer ARow, TRect& ARect);
 protected:
  virtual bool BeginColumnDrag(Integer& Origin, Integer& Destination, const TPoint& MousePt);
  virtual bool BeginRowDrag(Integer& Origin, Integer& Destination, const TPoint& MousePt);
  virtual bool AllowMouseDblClick(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift,
                                  const TPoint& GridMousePos, const TPoint& CellMousePos);
  virtual bool CanProcessMouseMessage(TWMMouse& Message);
  virtual bool CheckColumnDrag(Integer& Origin, Integer& Destination, const TPoint& MousePt);
  virtual bool HasGridLines(bool Horz);
  virtual bool CheckRowDrag(Integer& Origin, Integer& Destination, const TPoint& MousePt);
  virtual TGridStateKv SizingStateAt(Integer X, Integer Y);
  virtual bool TakeFocus();
  virtual TGridBackgroundDataKv* CreateBackgroundData();
  virtual TInplaceEdit* CreateEditor();
  virtual TGridLineColorsKv* CreateGridLineColors();
  virtual TGridScrollBarPanelControlKv* CreateHorzScrollBarPanel();
  virtual TGridHotTrackSpotKv* CreateHotTrackSpot();
  virtual TGridScrollBarKv* CreateScrollBar(TScrollBarKind AKind);
  virtual TSizeGripPanelKv* CreateCornerPanel();
  virtual TGridScrollBarPanelControlKv* CreateVertScrollBarPanel();
  virtual bool GetDefaultDrawFocusFrame();
  virtual bool EndColumnDrag(Integer& Origin, Integer& Destination, const TPoint& MousePt);
  virtual bool EndRowDrag(Integer& Origin, Integer& Destination, const TPoint& MousePt);
  virtual bool AllowFixedColSizing();
  virtual bool AllowFixedRowSizing();
  virtual bool FullRepaintOnScroll();
  virtual TCursor GetHitTestCursor(const TPoint& Pos);
 public:
  virtual TGridSelectionDrawStyleKv GetDefaultSelectionStyle();
 protected:
  virtual Integer GetEditLimit();
  virtual String GetEditMask(Integer ACol, Integer ARow);
  virtual Integer GetEditOption();
  virtual String GetEditText(Integer ACol, Integer ARow);
  virtual Integer GetHorzWheelStep();
  virtual bool IsTabStopCol(Integer ACol);
  virtual Integer GetVertWheelStep();
  virtual bool IsBackgroundShowing();
  virtual bool ContainsFocus();
  virtual Integer GetHorzLineWidth();
  virtual bool HotTrackSpotsEqual(TGridHotTrackSpotKv* A, TGridHotTrackSpotKv* B);
  virtual bool IsThemedSelectionCell(TGridDrawState State);
  virtual bool HasRangeSelection();
  virtual bool IsSmoothHorzScroll();
  virtual bool IsSmoothVertScroll();
  virtual bool NeedBufferedPaint();
  virtual bool CanSelectCell(Integer ACol, Integer ARow);
  virtual bool IsSizingHitTest(Integer X, Integer Y);
  virtual Integer GetVertLineWidth();
  virtual bool IsGridKey(Word Key, TShiftState Shift);
  virtual bool DoMouseDblClickMessage(TWMMouse& Message);
  virtual void FindSelectableCell(Integer FromCol, Integer FromRow, Integer ToCol, Integer ToRow, TGridCoord& Cell);
  // The first two flags are not used.
  virtual void CheckScrollPositions(bool Unused1, bool Unused2, bool SnapHorz, bool SnapVert);
  virtual void CelMoved(TGridAxisDataKv* Axis, Integer FromIndex, Integer ToIndex);
  virtual void CalcMaxScrollPositions(Int64& MaxHorz, Int64& MaxVert, bool SnapHorz, bool SnapVert);
  virtual void CalcSizingState(Integer X, Integer Y, TGridStateKv& State, Integer& Index, Integer& SizingPos,
                               Integer& SizingOfs);
  virtual void CancelMode();
  virtual void CheckCurrentCellInRange();
  virtual void CelLenChanged(TGridAxisDataKv* Axis, Integer Index, Integer OldLen);
  virtual void DoCellMouseClick(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift,
                                const TRect& ACellRect, const TPoint& GridMousePos, const TPoint& CellMousePos);
  virtual void DoCellMouseDown(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift,
                               const TRect& ACellRect, const TPoint& GridMousePos, const TPoint& CellMousePos);
 public:
  virtual void GetCellLineParams(Integer ACol, Integer ARow, TGridCellBorderTypeKv LineType, bool& Visible,
                                 TColor& Color, bool& OwnsCorner);
  // Rebuilds the stale positions of both axes; nothing when none is stale.
  virtual void CheckUpdateAxes();
  virtual void ScrollToCell(const TGridCoord& Cell, bool Horz, bool Vert);
 protected:
  virtual void ColMoved(Integer FromIndex, Integer ToIndex);
  virtual void ColWidthsChanged();
  virtual void CurrentCellMoved(const TGridCoord& OldCurrent);
  virtual void DeleteColumn(Integer ACol);
  virtual void DeleteRow(Integer ARow);
  virtual void DrawCellBorders(Integer ACol, Integer ARow, TRect& ARect, TGridDrawState State,
                               TGridCellBorderTypesKv Borders);
  virtual void PaintOutBoundaryBottom(const TRect& ARect);
  virtual void DrawCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State);
  virtual void PaintCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State);
  virtual void DrawThemedSelection(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State);
  virtual void FillEmptyArea(Integer ACol, Integer ARow, const TRect& ARect);
  virtual void PaintOutBoundaryLeft(const TRect& ARect);
  virtual void DrawMoveLine();
  virtual void PaintOutBoundaries();
  virtual void PaintOutBoundaryRight(const TRect& ARect);
  virtual void DrawSizingLine();
  virtual void PaintSizingLine();
  virtual void InvalidateSizingLine();
  virtual void StartSizingLine();
  virtual void PaintOutBoundaryTop(const TRect& ARect);
 public:
  // Limits each coordinate to 0 .. its full count - 1.
  virtual void ClampCellCoord(Integer& ACol, Integer& ARow);
 protected:
  virtual void FlatChanged();
 public:
  virtual void FocusCell(Integer ACol, Integer ARow, bool MoveAnchor);
 protected:
  virtual void GetHorzScrollBarParams(Integer& Position, Integer& Min, Integer& Max, Integer& PageSize);
  virtual void GetVertScrollBarParams(Integer& Position, Integer& Min, Integer& Max, Integer& PageSize);
  virtual void GetSizingLineBounds(Integer& Start, Integer& Stop);
  virtual void HideMoveLine();
 public:
  virtual void HideEditor();
 protected:
  virtual void HorzScroll(Integer ScrollCode, Integer Pos);
  virtual void SetColWidth(Integer Index, Integer Value);
  virtual void SetRowHeight(Integer Index, Integer Value);
 public:
  virtual void InvalidateEditor();
  // The clipped, mirrored rectangle of the range, when the window exists.
  virtual void InvalidateGridRect(const TGridRect& GridRect);
 protected:
  virtual void InvalidateHotTrackCell(TGridHotTrackSpotKv* Spot);
  virtual void SetAnchorCell(Integer ACol, Integer ARow, bool Show);
 public:
  // Raises EInvalidGridOperationKv "Grid index out of range" outside ColCount x RowCount.
  virtual void MoveCurrentCell(Integer ACol, Integer ARow, bool ScrollHorz, bool ScrollVert);
 protected:
  virtual void OutBoundaryChanged();
  virtual void AxisScrolled(Int64 OldLeftPos, Int64 OldTopPos);
  virtual void RolPositionsUpdated();
  virtual void RowHeightsChanged();
  virtual void RowMoved(Integer FromIndex, Integer ToIndex);
 public:
  // The scroll-bar panels' entry: the kind, the code, the bar position.
  virtual void DoScroll(TScrollBarKind Kind, Integer ScrollCode, Integer Pos, bool MirrorRightToLeft);
 protected:
  virtual void ScrollBarLayoutChanged();
 public:
  virtual void ScrollBarSizeChanged(TGridScrollBarKv* ScrollBar);
 protected:
  virtual void SelectionChanged(const TGridRect& OldSelection);
  virtual void SetEditText(Integer ACol, Integer ARow, const String& Value);
  virtual void CalcHotTrackSpot(TGridHotTrackSpotKv* Spot, Integer X, Integer Y);
  virtual void UpdateInternalColors();
 public:
  virtual void ShowEditor();
 protected:
  virtual void StartColMoving(Integer ACol, Integer X, Integer Y);
  virtual void StartRowMoving(Integer ARow);
 public:
  // Both fields -1 unless the cell lies inside the full counts.
  virtual void CheckCoord(TGridCoord& Coord);
  virtual void DrawStyleChanged();
 protected:
  virtual void ExtendSelection(TGridScrollDirectionsKv Directions);
  virtual void DoScrolled();
 public:
  // Lays the cell area out from the window, the strips, the axes and the scroll bars.
  virtual void UpdateBoundaries();
 protected:
  virtual void UpdateEdit();
  virtual void UpdateFixedLineColor();
  virtual void UpdateHotTrack(Integer X, Integer Y);
 public:
  virtual void UpdateScrollBarPanels();
  virtual void RefreshScrollBarState();
 protected:
  virtual void UpdateText();
  virtual void VertScroll(Integer ScrollCode, Integer Pos);
  virtual void GridTimerTick(TObject* Sender);
  virtual void SetGridTimer(bool Active, Integer Interval);
 public:
  // The cell under a client point; -1 for each coordinate outside the grid. Contra cells count.
  virtual TGridCoord MouseCoord(Integer X, Integer Y);
  virtual void DefaultCellMouseClick(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift,
                                     const TRect& ACellRect, const TPoint& GridMousePos, const TPoint& CellMousePos);
  virtual void DefaultCellMouseDown(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift,
                                    const TRect& ACellRect, const TPoint& GridMousePos, const TPoint& CellMousePos);

  // ---- Counts and sizes ------------------------------------------------------------------------
  Integer GetColCount() const { return FHorzAxis->GetCelCount(); }
  // The rolling count becomes Value less the fixed count.
  void SetColCount(Integer Value);
  Integer GetRowCount() const { return FVertAxis->GetCelCount(); }
  void SetRowCount(Integer Value);
  Integer GetFullColCount() const { return FHorzAxis->GetFullCelCount(); }
  Integer GetFullRowCount() const { return FVertAxis->GetFullCelCount(); }
  Integer GetFixedColCount() const { return FHorzAxis->GetFixedCelCount(); }
  void SetFixedColCount(Integer Value) { FHorzAxis->SetFixedCelCount(Value); }
  Integer GetFixedRowCount() const { return FVertAxis->GetFixedCelCount(); }
  void SetFixedRowCount(Integer Value) { FVertAxis->SetFixedCelCount(Value); }
  Integer GetFrozenColCount() const { return FHorzAxis->GetFrozenCelCount(); }
  void SetFrozenColCount(Integer Value) { FHorzAxis->SetFrozenCelCount(Value); }
  Integer GetFrozenRowCount() const { return FVertAxis->GetFrozenCelCount(); }
  void SetFrozenRowCount(Integer Value) { FVertAxis->SetFrozenCelCount(Value); }
  Integer GetContraColCount() const { return FHorzAxis->GetContraCelCount(); }
  void SetContraColCount(Integer Value) { FHorzAxis->SetContraCelCount(Value); }
  Integer GetContraRowCount() const { return FVertAxis->GetContraCelCount(); }
  void SetContraRowCount(Integer Value) { FVertAxis->SetContraCelCount(Value); }
  Integer GetRolColCount() const { return FHorzAxis->GetRolCelCount(); }
  void SetRolColCount(Integer Value) { FHorzAxis->SetRolCelCount(Value); }
  Integer GetRolRowCount() const { return FVertAxis->GetRolCelCount(); }
  void SetRolRowCount(Integer Value) { FVertAxis->SetRolCelCount(Value); }
  Integer GetDefaultColWidth() const { return FHorzAxis->GetDefaultCelLen(); }
  void SetDefaultColWidth(Integer Value) { FHorzAxis->SetDefaultCelLen(Value); }
  Integer GetDefaultRowHeight() const { return FVertAxis->GetDefaultCelLen(); }
  void SetDefaultRowHeight(Integer Value) { FVertAxis->SetDefaultCelLen(Value); }
  Integer GetColWidths(Integer Index) const { return FHorzAxis->GetCelLens(Index); }
  void SetColWidths(Integer Index, Integer Value) { FHorzAxis->SetCelLens(Index, Value); }
  Integer GetRowHeights(Integer Index) const { return FVertAxis->GetCelLens(Index); }
  void SetRowHeights(Integer Index, Integer Value) { FVertAxis->SetCelLens(Index, Value); }
  void MoveColumn(Integer FromIndex, Integer ToIndex) { FHorzAxis->MoveCel(FromIndex, ToIndex); }
  void MoveRow(Integer FromIndex, Integer ToIndex) { FVertAxis->MoveCel(FromIndex, ToIndex); }

  // ---- Positions (64-bit; the setters clamp) ---------------------------------------------------
  Int64 GetLeftPos() const { return FHorzAxis->GetRolStartVisPos(); }
  void SetLeftPos(Int64 ALeftPos);
  Int64 GetTopPos() const { return FVertAxis->GetRolStartVisPos(); }
  void SetTopPos(Int64 ATopPos);
  // Without the clamp: a position past the rolling extent raises the axis's error.
  void SetLeftPosDirect(Int64 Value) { FHorzAxis->SetRolStartVisPos(Value); }
  void SetTopPosDirect(Int64 Value) { FVertAxis->SetRolStartVisPos(Value); }
  // The first visible rolling column or row as a grid index; writing scrolls it to the front
  // (as far as the extent allows).
  Integer GetLeftCol() const { return FHorzAxis->GetStartVisCel(); }
  void SetLeftCol(Integer ACol);
  Integer GetTopRow() const { return FVertAxis->GetStartVisCel(); }
  void SetTopRow(Integer ARow);
  Integer GetCol() const { return FCurCell.X; }
  void SetCol(Integer ACol);
  Integer GetRow() const { return FCurCell.Y; }
  void SetRow(Integer ARow);
  TGridCoord GetCurCell() const { return FCurCell; }
  TGridCoord GetAnchorCell() const { return FAnchorCell; }
  // The range the current cell and the anchor span.
  TGridRect GetSelection() const { return GridRectFromCells(FCurCell, FAnchorCell); }
  Integer GetVisibleColCount();
  Integer GetVisibleRowCount();
  Integer GetLastFullVisibleCol();
  Integer GetLastFullVisibleRow();
  Integer GetGridClientWidth() { return FHorzAxis->GetGridClientLen(); }
  Integer GetGridClientHeight() { return FVertAxis->GetGridClientLen(); }
  TGridAxisDataKv* GetHorzAxis() const { return FHorzAxis.get(); }
  TGridAxisDataKv* GetVertAxis() const { return FVertAxis.get(); }

  // ---- Settings -------------------------------------------------------------------------------
  TGridOptionsKv GetOptions() const { return FOptions; }
  // Row select drops the always-shown editor.
  void SetOptions(TGridOptionsKv Value);
  bool GetEditorMode() const { return FEditorMode; }
  void SetEditorMode(bool Value);
  TBorderStyle GetBorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  TColor GetFixedColor() const { return FFixedColor; }
  void SetFixedColor(TColor Value);
  bool GetFlat() const { return FFlat; }
  void SetFlat(bool Value);
  bool GetSizeGripAlwaysShow() const { return FSizeGripAlwaysShow; }
  void SetSizeGripAlwaysShow(bool Value);
  TSizeGripPosition GetSizeGripPostion() const { return FSizeGripPostion; }
  void SetSizeGripPostion(TSizeGripPosition Value);
  // The settings objects and panels that come from factories are made on first use, so that a
  // descendant's factory is the one that runs.
  TGridLineColorsKv* GetGridLineColors();
  void SetGridLineColors(TGridLineColorsKv* Value) { GetGridLineColors()->Assign(Value); }
  TGridScrollBarKv* GetHorzScrollBar();
  void SetHorzScrollBar(TGridScrollBarKv* Value) { GetHorzScrollBar()->Assign(Value); }
  TGridScrollBarKv* GetVertScrollBar();
  void SetVertScrollBar(TGridScrollBarKv* Value) { GetVertScrollBar()->Assign(Value); }
  TGridSelectionDrawParamsKv* GetSelectionDrawParams() const { return FSelectionDrawParams.get(); }
  void SetSelectionDrawParams(TGridSelectionDrawParamsKv* Value) { FSelectionDrawParams->Assign(Value); }
  TGridOutBoundaryDataKv* GetOutBoundaryData() const { return FOutBoundaryData.get(); }
  TGridBackgroundDataKv* GetBackgroundData();
  TGridHotTrackSpotKv* GetNewHotTrackSpot();
  TGridHotTrackSpotKv* GetOldHotTrackSpot();
  TGridDrawStyleKv* GetDrawStyle() const { return FDrawStyle; }
  // Nil goes back to the shared default style.
  void SetDrawStyle(TGridDrawStyleKv* Value);
  Integer GetGridLineWidth() const { return FGridLineWidth; }
  TColor GetFixedLineColor() const { return FFixedLineColor; }
  Integer GetScrollBarSize() const { return FScrollBarSize; }
  TGridStateKv GetGridState() const { return FGridState; }
  bool GetBufferedPaint() const { return FBufferedPaint; }
  bool GetCanvasRightToLeftReflected() const { return FCanvasRightToLeftReflected; }
  void SetCanvasRightToLeftReflected(bool Value) { FCanvasRightToLeftReflected = Value; }
  TGridOptionsKv GetDesignOptionsBoost() const { return FDesignOptionsBoost; }
  bool GetSaveCellExtents() const { return FSaveCellExtents; }
  void SetSaveCellExtents(bool Value) { FSaveCellExtents = Value; }
  // Named "HorzScrollBarPanelControl", "VertScrollBarPanelControl" and
  // "CornerScrollBarPanelControl"; hidden until the layout places them.
  TGridScrollBarPanelControlKv* GetHorzScrollBarPanelControl();
  TGridScrollBarPanelControlKv* GetVertScrollBarPanelControl();
  TSizeGripPanelKv* GetCornerScrollBarPanelControl();
  TSizeGripPanelKv* GetExtraSizeGripControl();
  TInplaceEdit* GetInplaceEditor() const { return FInplaceEdit; }
  TGridKvCellMouseEvent GetOnCellMouseClick() const { return FOnCellMouseClick; }
  void SetOnCellMouseClick(const TGridKvCellMouseEvent& Value) { FOnCellMouseClick = Value; }
  TGridKvCellMouseEvent GetOnCellMouseDown() const { return FOnCellMouseDown; }
  void SetOnCellMouseDown(const TGridKvCellMouseEvent& Value) { FOnCellMouseDown = Value; }

  // ---- Locks ----------------------------------------------------------------------------------
  void LockPaint() { ++FLockPaint; }
  // Does not repaint by itself; what was invalidated while locked is invalid again afterwards.
  void UnlockPaint();
  bool PaintLocked() const { return FLockPaint > 0; }
  void BeginBoundariesUpdate() { ++FBoundariesUpdateCount; }
  void EndBoundariesUpdate() {
    if (FBoundariesUpdateCount > 0) --FBoundariesUpdateCount;
  }
  bool InBoundariesUpdate() const { return FBoundariesUpdateCount > 0; }

  // ---- Geometry -------------------------------------------------------------------------------
  // The total length of Count cells from Start; 0 when Count is not positive.
  Int64 SumColWidths(Integer Start, Integer Count);
  Int64 SumRowHeights(Integer Start, Integer Count);
  // Client rectangle of a range of cells, each cell with its own right and bottom line. Clip
  // keeps rolling cells inside the rolling area; Mirror mirrors for right-to-left. An empty or
  // inverted range gives (0, 0, 0, 0); cells outside the grid are left out.
  void GridRectToClientRect(const TGridRect& GridRect, TRect& Rect, bool Clip, bool Mirror);
  void CellRect(Integer ACol, Integer ARow, TRect& Rect);
  TRect CellRect(Integer ACol, Integer ARow);
  void CellRangeRect(Integer ALeft, Integer ATop, Integer ARight, Integer ABottom, TRect& Rect);
  void BoxRect(const TGridRect& GridRect, TRect& Rect);
  // Clipped at the fixed boundaries and the contra start.
  void CellRectEx(Integer ACol, Integer ARow, bool Unused, bool Mirror, TRect& Rect);
  void CellRangeRectEx(Integer ALeft, Integer ATop, Integer ARight, Integer ABottom, bool Unused, bool Mirror,
                       TRect& Rect);
  bool IsCellLineVisible(Integer ACol, Integer ARow, TGridCellBorderTypeKv LineType);
  // The raw cell under a client point: -1 before an area's cells and for points inside an area
  // past its last cell, the full count past the rolling cells or beyond the cell area.
  TGridCoord CalcCoordFromPoint(Integer X, Integer Y);
  void InvalidateCell(Integer ACol, Integer ARow);
  void InvalidateRow(Integer ARow);
  void InvalidateCol(Integer ACol);
  void InvalidateGrid();

  // ---- Focus ------------------------------------------------------------------------------------
  bool IsActiveControl();
  bool UseAltLineColors() { return false; }
  void InternalSetFocus(TWinControl* Control);

  // ---- Touch ------------------------------------------------------------------------------------
  bool IsTouchPropertyStored(TTouchProperty AProperty) override;

  // Called by an axis after its scroll position changed.
  void DoAxisScrolled(TGridAxisDataKv* Axis, Int64 OldPos);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  // The grid's panels, grips and editor are made with every grid and never written with a form.
  void GetChildren(TGetChildProc Proc, TComponent* Root) override;
  void DefineProperties(TFiler* Filer) override;
  void Loaded() override;
  void Resize() override;
  void Paint() override;
  void HideEdit();

  // ---- Keyboard, mouse, timer and editor (GridInput.cpp) ---------------------------------------
 public:
  // Routes the grid's own messages: characters, dialog codes, special keys, button presses,
  // releases and double clicks, cancel mode, mouse enter and leave, non-client moves.
  void WndProc(TMessage& Message) override;
  // The column-move timer's interval (60 .. 360 ms) while the mouse is past an edge of the
  // rolling area at screen x EdgeX, toward the left or the right, on a virtual screen spanning
  // VirtualLeft .. VirtualRight: the farther past, the faster.
  static Integer CalcColMoveTimerInterval(Integer MouseX, Integer EdgeX, bool TowardLeft, Integer VirtualLeft,
                                          Integer VirtualRight);
 protected:
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(Char& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void DoExit() override;
  void CalcMoveTarget(Integer Pos, Integer CellIndex, TGridAxisDataKv* Axis, bool Vertical, const TPoint& MousePt);
  // The length a sized cell gets from the sizing line's position.
  Integer CalcSizingLength(TGridAxisDataKv* Axis);
  // True when it made the editor now.
  bool CreateEditorIfNeeded();
  void ShowEditorChar(Char Ch);
  void NotifyDesignerModified(TComponent* Component);
  // Page Down and Page Up targets as grid rows.
  Integer PageDownTarget();
  Integer PageUpTarget();

  void WMEraseBkgnd(TWMEraseBkgnd& Message);
  void WMNCHitTest(TWMNCHitTest& Message);
  void WMSetCursor(TWMSetCursor& Message);
  void WMSetFocus(TWMSetFocus& Message);
  void WMKillFocus(TWMKillFocus& Message);
  void CMDesignHitTest(TCMDesignHitTest& Message);
  void CMCtl3DChanged(TMessage& Message);
  void CMFontChanged(TMessage& Message);
  void CMStyleChanged(TMessage& Message);

  // ---- Fields, in the order of the grid's data model ------------------------------------------
  // The panels and the editor are the grid's child windows: owned by it and freed with it.
  std::unique_ptr<TGridBackgroundDataKv> FBackgroundData;
  TBorderStyle FBorderStyle = bsSingle;
  bool FBufferedPaint = false;
  bool FCanEditModify = true;
  bool FCanvasRightToLeftReflected = false;
  TComponentRef<TSizeGripPanelKv> FCornerScrollBarPanelControl;
  TGridCoord FCurCell;
  TGridDrawStyleKv* FDrawStyle = nullptr;  // shared; it detaches the grid when it goes
  bool FEditorMode = false;
  TComponentRef<TSizeGripPanelKv> FExtraSizeGripControl;
  TColor FFixedColor = clBtnFace;
  bool FFlat = false;
  std::unique_ptr<TGridLineColorsKv> FGridLineColors;
  Integer FGridLineWidth = 1;
  TPoint FHitTest;
  std::unique_ptr<TGridAxisDataKv> FHorzAxis;
  Integer FHorzScotllingLockCount = 0;
  std::unique_ptr<TGridScrollBarKv> FHorzScrollBar;
  bool FHorzScrollBarIsShowing = false;
  TComponentRef<TGridScrollBarPanelControlKv> FHorzScrollBarPanelControl;
  Integer FInplaceCol = -1, FInplaceRow = -1;
  TComponentRef<TInplaceEdit> FInplaceEdit;
  TGridOptionsKv FOptions;
  Integer FScrollBarSize = 0;
  std::unique_ptr<TGridSelectionDrawParamsKv> FSelectionDrawParams;
  bool FSizeGripAlwaysShow = false;
  TSizeGripPosition FSizeGripPostion = sgpBottomRight;
  std::unique_ptr<TGridAxisDataKv> FVertAxis;
  std::unique_ptr<TGridScrollBarKv> FVertScrollBar;
  bool FVertScrollBarIsShowing = false;
  TComponentRef<TGridScrollBarPanelControlKv> FVertScrollBarPanelControl;
  TRect FWinClientBoundary;
  TPoint FPanPoint;
  TGridKvCellMouseEvent FOnCellMouseClick, FOnCellMouseDown;
  std::unique_ptr<TGridOutBoundaryDataKv> FOutBoundaryData;
  bool FFocused = false;
  TGridCoord FAnchorCell;
  Integer FBoundariesUpdateCount = 0;
  TGridOptionsKv FDesignOptionsBoost;
  Integer FDrawenSizingPos1 = -1, FDrawenSizingPos2 = -1;
  TColor FFixedLineColor = clBlack;
  TGridStateKv FGridState = gsNormalKv;
  std::unique_ptr<TTimer> FGridTimer;
  TGridCoord FHotTrackCell{-1, -1};
  TPoint FHotTrackInCellPos{-1, -1};
  TColor FInternalColor = clWindow, FInternalFixedColor = clBtnFace;
  TColor FInternalFixedFontColor = clWindowText, FInternalFontColor = clWindowText;
  Integer FLockPaint = 0;
  TGridCoord FMouseDownCell{-1, -1};
  bool FMouseInControl = false;
  Integer FMoveFromIndex = -1, FMoveToIndex = -1;
  Integer FMoveFromCellOriginDistance = 0;
  TPoint FMouseMovePos;
  bool FMovePosRightSite = false;
  std::unique_ptr<TGridHotTrackSpotKv> FNewHotTrackSpot, FOldHotTrackSpot;
  bool FSaveCellExtents = false;
  Integer FSizingIndex = -1, FSizingPos = 0, FSizingOfs = 0;
  bool FInternalFocusResetting = false;

 private:
  // The axes and the settings objects call back into the grid's layout and notices.
  friend class TGridAxisDataKv;
  friend class TGridLineColorsKv;
  friend class TGridOutBoundaryDataKv;
  friend class TGridBackgroundDataKv;
  friend class TGridScrollBarKv;
  friend class TGridDrawStyleKv;
  friend class TGridSelectionDrawParamsKv;
  // The scroll-bar panel asks the grid to take the focus before a bar press.
  friend class TGridScrollBarPanelControlKv;
  // The editor offers the grid every key, character, wheel turn and double click first.
  friend class TInplaceEdit;
  friend class TInplaceEditCoreControl;
  void ReadColWidths(TReader* Reader);
  void WriteColWidths(TWriter* Writer);
  void ReadRowHeights(TReader* Reader);
  void WriteRowHeights(TWriter* Writer);
  void ReadAxisLens(TReader* Reader, TGridAxisDataKv* Axis, const wchar_t* Name);
  void WriteAxisLens(TWriter* Writer, TGridAxisDataKv* Axis);
  // The rectangle edges of cells From .. To of one axis, in 64 bits, before clipping to the
  // client: false when the range is empty on this axis.
  bool AxisRangeEdges(TGridAxisDataKv* Axis, Integer From, Integer To, bool Clip, Integer& Start, Integer& Stop);
  Integer AxisCelAtPoint(TGridAxisDataKv* Axis, Integer P);
  // The sizing border hit at P on one axis (W: the zone's width); -1 when none.
  Integer AxisSizingBorderAt(TGridAxisDataKv* Axis, Integer P, Integer W, bool AllowFixed, Integer& Border);
  void PlaceScrollBarInAxes();
  void SetCurrentAndAnchor(const TGridCoord& Cell);

  // ---- Painting and scrolling (GridPainting.cpp, GridScrolling.cpp) ----------------------------
 public:
  // Scrolls row ARow to the front, or as far as the pixel maximum allows.
  void SetTopRowByPixel(Integer ARow);
  // Horizontal mirroring of a canvas on or off, keeping its viewport extent.
  void ReflectCanvas(TCanvas* Canvas, bool Reflect);
  void SetCanvasReflection(TCanvas* Canvas, bool Reflect, Integer Height, Integer Width);
  // When the grid's canvas is mirrored: mirrors ARect across the client, switches the mirroring
  // off and answers true.
  bool CanvasReflectRect(TRect& ARect);
  void ReflectOwnCanvas();
  void PolylineRTL(TCanvas* Canvas, const std::vector<TPoint>& Points);
  void FillRectRTL(TCanvas* Canvas, const TRect& ARect, TColor Color1, TColor Color2);
  // A horizontal or vertical line of LineWidth as a rectangle in the canvas's pen colour.
  static void FillLineRect(TCustomControl* Control, const TPoint& P1, const TPoint& P2, Integer LineWidth);
  // Scroll positions past the 32-bit range are scaled down for the bars and back up from them.
  static Integer RolPosToBarPos(TGridAxisDataKv* Axis, Int64 Pos);
  static Int64 BarPosToRolPos(TGridAxisDataKv* Axis, Integer Pos);

 protected:
  void WMPaint(TWMPaint& Message);
  bool DoMouseWheelDown(TShiftState Shift, const TPoint& MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, const TPoint& MousePos) override;
  bool FireMouseWheelDown(TShiftState Shift, const TPoint& MousePos);
  bool FireMouseWheelUp(TShiftState Shift, const TPoint& MousePos);
  void DoGesture(const TGestureEventInfo& EventInfo, bool& Handled) override;
  // Paints the cells from (ACol, ARow) at (X, Y) while they start before (StopX, StopY) and lie
  // below the limits; BaseState is the area's.
  void DrawAreaCells(Integer ACol, Integer ARow, Int64 X, Int64 Y, Integer StopX, Integer StopY,
                     Integer ColLimit, Integer RowLimit, TGridDrawState BaseState);
  // A boundary line at Fixed across the cells from Index at Start up to Stop: down the rows when
  // Vert, with the lines of the boundary cell BoundaryIndex on the other axis.
  void DrawAreaLines(bool Vert, Integer Fixed, Integer BoundaryIndex, Integer Index, Int64 Start, Integer Stop);
  void ScrollSmooth(Integer ScrollCode, Integer Pos, TGridAxisDataKv* Axis, TGridScrollBarKv* ScrollBar);
  void ScrollByCells(Integer ScrollCode, Integer Pos, TGridAxisDataKv* Axis, TGridScrollBarKv* ScrollBar);

 private:
  // What was invalidated while painting was locked, painted once the lock ends.
  struct TLockedPaintRgn {
    HRGN Rgn = nullptr;
    ~TLockedPaintRgn() {
      if (Rgn) DeleteObject(Rgn);
    }
  } FLockedPaintRgn;
};

// Makes every paint fill the client pale green first and paint unbuffered.
extern bool GridsKvDebugPaint;
