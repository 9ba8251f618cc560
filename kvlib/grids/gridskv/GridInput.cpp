// The grid's current cell, selection, editor and mouse notices. Keys, presses, sizing and moving
// by mouse, hot tracking and the timer's work are not handled yet.

#include <algorithm>

#include "kvlib/grids/gridskv/CustomGrid.h"
#include "kvlib/grids/gridskv/GridFinally.h"
#include "kvlib/grids/gridskv/InplaceEdit.h"

// ---- Current cell and selection ---------------------------------------------------------------

void TCustomGridKv::MoveCurrentCell(Integer ACol, Integer ARow, bool ScrollHorz, bool ScrollVert) {
  if (ACol < 0 || ACol >= GetColCount() || ARow < 0 || ARow >= GetRowCount())
    throw EInvalidGridOperationKv(L"Grid index out of range");
  if (!CanSelectCell(ACol, ARow)) return;
  TGridRect OldSelection = GetSelection();
  TGridCoord OldCurrent = FCurCell;
  bool HadRange = HasRangeSelection();
  if (!FOptions.Contains(goAlwaysShowEditorKv)) HideEditor();
  FCurCell = MakeGridCoord(ACol, ARow);
  FAnchorCell = FCurCell;
  if (ScrollHorz || ScrollVert) ScrollToCell(FCurCell, ScrollHorz, ScrollVert);
  if (HasRangeSelection() == HadRange) {
    InvalidateCell(OldCurrent.X, OldCurrent.Y);
    InvalidateCell(FCurCell.X, FCurCell.Y);
  } else {
    Invalidate();
  }
  SelectionChanged(OldSelection);
  CurrentCellMoved(OldCurrent);
}

void TCustomGridKv::FocusCell(Integer ACol, Integer ARow, bool) {
  MoveCurrentCell(ACol, ARow, true, true);
  UpdateEdit();
}

void TCustomGridKv::SetAnchorCell(Integer ACol, Integer ARow, bool) {
  if (FAnchorCell == MakeGridCoord(ACol, ARow)) return;
  if (ACol < 0 || ACol >= GetFullColCount() || ARow < 0 || ARow >= GetFullRowCount())
    throw EInvalidGridOperationKv(L"TCustomGridKv.SetAnchorCell: Grid index out of range");
  TGridRect OldSelection = GetSelection();
  FAnchorCell = MakeGridCoord(ACol, ARow);
  ScrollToCell(FAnchorCell, true, true);
  SelectionChanged(OldSelection);
}

void TCustomGridKv::ExtendSelection(TGridScrollDirectionsKv Directions) {
  TGridCoord A = FAnchorCell;
  if (Directions.Contains(sdLeftKv) && A.X - 1 >= GetFixedColCount()) --A.X;
  if (Directions.Contains(sdRightKv) && A.X + 1 <= GetColCount() - 1) ++A.X;
  if (Directions.Contains(sdUpKv) && A.Y - 1 >= GetFixedRowCount()) --A.Y;
  if (Directions.Contains(sdDownKv) && A.Y + 1 <= GetRowCount() - 1) ++A.Y;
  if (A != FAnchorCell) SetAnchorCell(A.X, A.Y, true);
}

void TCustomGridKv::FindSelectableCell(Integer FromCol, Integer FromRow, Integer ToCol, Integer ToRow,
                                       TGridCoord& Cell) {
  Cell = MakeGridCoord(ToCol, ToRow);
  if (ToCol > FromCol) {
    for (Integer C = ToCol; C < GetColCount(); ++C)
      if (CanSelectCell(C, ToRow)) {
        Cell.X = C;
        break;
      }
  } else if (ToCol < FromCol) {
    for (Integer C = ToCol; C >= 0; --C)
      if (CanSelectCell(C, ToRow)) {
        Cell.X = C;
        break;
      }
  }
  if (ToRow > FromRow) {
    for (Integer R = ToRow; R < GetRowCount(); ++R)
      if (CanSelectCell(ToCol, R)) {
        Cell.Y = R;
        break;
      }
  } else if (ToRow < FromRow) {
    for (Integer R = ToRow; R >= 0; --R)
      if (CanSelectCell(ToCol, R)) {
        Cell.Y = R;
        break;
      }
  }
}

void TCustomGridKv::ColMoved(Integer FromIndex, Integer ToIndex) {
  if (FOptions.Contains(goRowSelectKv)) return;
  Integer Cur = FCurCell.X, New = Cur;
  if (FromIndex == Cur)
    New = ToIndex;
  else if (FromIndex < Cur && ToIndex >= Cur)
    New = Cur - 1;
  else if (FromIndex > Cur && ToIndex <= Cur)
    New = Cur + 1;
  if (FAnchorCell == FCurCell) FAnchorCell.X = New;
  FCurCell.X = New;
}

// ---- Editor -----------------------------------------------------------------------------------

void TCustomGridKv::ShowEditor() {
  FEditorMode = true;
  UpdateEdit();
}

void TCustomGridKv::HideEditor() {
  if (!FEditorMode) return;
  FEditorMode = false;
  HideEdit();
}

void TCustomGridKv::HideEdit() {
  if (!FInplaceEdit) return;
  // The editor is put away even when storing its text fails.
  TGridFinallyKv Forget([this] {
    FInplaceCol = -1;
    FInplaceRow = -1;
    if (FInplaceEdit) FInplaceEdit->Hide();
  });
  UpdateText();
}

void TCustomGridKv::UpdateEdit() {
  if (!CanEditShow()) HideEdit();
}

void TCustomGridKv::UpdateText() {
  if (FInplaceEdit && FInplaceCol >= 0 && FInplaceRow >= 0)
    SetEditText(FInplaceCol, FInplaceRow, FInplaceEdit->GetText());
}

void TCustomGridKv::InvalidateEditor() {
  FInplaceCol = -1;
  FInplaceRow = -1;
  UpdateEdit();
}

// ---- Mouse, keys, sizing and moving -----------------------------------------------------------

bool TCustomGridKv::IsGridKey(Word, TShiftState) { return false; }
bool TCustomGridKv::DoMouseDblClickMessage(TWMMouse&) { return true; }

void TCustomGridKv::DoCellMouseClick(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift,
                                     const TRect& ACellRect, const TPoint& GridMousePos, const TPoint& CellMousePos) {
  bool Processed = false;
  if (!Fire(this, FOnCellMouseClick, this, Cell, Button, Shift, CellMousePos.X, CellMousePos.Y, Processed)) return;
  if (!Processed) DefaultCellMouseClick(Cell, Button, Shift, ACellRect, GridMousePos, CellMousePos);
}

void TCustomGridKv::DoCellMouseDown(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift,
                                    const TRect& ACellRect, const TPoint& GridMousePos, const TPoint& CellMousePos) {
  bool Processed = false;
  if (!Fire(this, FOnCellMouseDown, this, Cell, Button, Shift, CellMousePos.X, CellMousePos.Y, Processed)) return;
  if (!Processed) DefaultCellMouseDown(Cell, Button, Shift, ACellRect, GridMousePos, CellMousePos);
}

void TCustomGridKv::CancelMode() {
  TGridStateKv State = FGridState;
  TGridFinallyKv Finish([this] {
    FGridState = gsNormalKv;
    Invalidate();
  });
  if (State == gsSelectingKv) {
    SetGridTimer(false, 0);
  } else if (State == gsRowSizingKv || State == gsColSizingKv) {
    DrawSizingLine();
  } else if (State == gsRowMovingKv || State == gsColMovingKv) {
    HideMoveLine();
    SetGridTimer(false, 0);
  }
}

void TCustomGridKv::DrawMoveLine() {}
void TCustomGridKv::HideMoveLine() {}
void TCustomGridKv::DrawSizingLine() {}
void TCustomGridKv::PaintSizingLine() {}
void TCustomGridKv::InvalidateSizingLine() {}
void TCustomGridKv::StartSizingLine() {}

void TCustomGridKv::GetSizingLineBounds(Integer& Start, Integer& Stop) {
  TGridAxisDataKv* Across = FGridState == gsColSizingKv ? FVertAxis.get() : FHorzAxis.get();
  Start = Across->GetGridClientStart();
  Stop = Across->GetGridClientStop();
}

void TCustomGridKv::StartColMoving(Integer, Integer, Integer) {}
void TCustomGridKv::StartRowMoving(Integer) {}

void TCustomGridKv::CalcHotTrackSpot(TGridHotTrackSpotKv* Spot, Integer, Integer) {
  Spot->SetCol(-1);
  Spot->SetRow(-1);
}

void TCustomGridKv::UpdateHotTrack(Integer, Integer) {}
void TCustomGridKv::GridTimerTick(TObject*) {}

void TCustomGridKv::SetGridTimer(bool Active, Integer Interval) {
  if (Active) FGridTimer->SetInterval(Interval > 0 ? Cardinal(Interval) : 1);
  FGridTimer->SetEnabled(Active);
}
