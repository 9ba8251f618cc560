// The grid's keyboard and mouse: the current cell, the anchor and the range selection, sizing by
// the sizing line, moving rows and columns under the shared move line, cell mouse events, hot
// tracking, the auto-scroll timer and the life cycle of the cell editor.

#include <algorithm>

#include "framework/Forms.h"
#include "framework/WinApi.h"
#include "kvlib/grids/GridToolCtrlsKv.h"
#include "kvlib/grids/gridskv/CustomGrid.h"
#include "kvlib/grids/gridskv/GridFinally.h"
#include "kvlib/grids/gridskv/InplaceEdit.h"

namespace {

Integer GridInputClamp(Integer Value, Integer Low, Integer High) { return std::max(Low, std::min(Value, High)); }

bool GridInputIsMoving(TGridStateKv State) { return State == gsRowMovingKv || State == gsColMovingKv; }

bool GridInputIsSizing(TGridStateKv State) { return State == gsRowSizingKv || State == gsColSizingKv; }

// The cursor in client coordinates of Control.
TPoint GridInputCursorPos(TControl* Control) {
  POINT P{0, 0};
  ::GetCursorPos(&P);
  return Control->ScreenToClient(TPoint(P.x, P.y));
}

// Touch or pen, from the signature Windows leaves on mouse messages it made from them.
TShiftState GridInputMouseOrigin() {
  LPARAM Extra = ::GetMessageExtraInfo();
  if ((Extra & 0xFFFFFF00) != 0xFF515700) return {};
  return (Extra & 0x80) ? TShiftState{ssTouch} : TShiftState{ssPen};
}

}  // namespace

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

// ---- Keyboard ---------------------------------------------------------------------------------

Integer TCustomGridKv::PageDownTarget() {
  TGridAxisDataKv* V = FVertAxis.get();
  Integer Last = V->GetRolCelCount() - 1;
  Int64 Len = V->GetRolLen();
  Int64 B = V->GetRolStartVisPos() + V->GetRolClientLen();
  Integer Target = Last;
  if (B < Len && B + V->GetRolClientLen() < Len) {
    Integer First, Cel, Offset;
    V->RolCellAtPos(B, First, Offset);
    // The cell holding the end of the next page is cut by it; the one before ends inside.
    V->RolCellAtPos(B + V->GetRolClientLen(), Cel, Offset);
    Target = std::max(First, Cel - 1);
  }
  Integer Current = FCurCell.Y - GetFixedRowCount();
  if (Current >= Target) Target = Current + 1;
  return Target + GetFixedRowCount();
}

Integer TCustomGridKv::PageUpTarget() {
  TGridAxisDataKv* V = FVertAxis.get();
  Int64 Pos = V->GetRolStartVisPos() - V->GetRolClientLen();
  Integer Target = 0;
  if (Pos >= 0) {
    Integer Offset;
    V->RolCellAtPos(Pos, Target, Offset);
    if (Offset > 0) ++Target;
  }
  Integer Current = FCurCell.Y - GetFixedRowCount();
  if (Target >= Current && Target > 0) Target = Current - 1;
  return Target + GetFixedRowCount();
}

void TCustomGridKv::KeyDown(Word& Key, TShiftState Shift) {
  inherited::KeyDown(Key, Shift);
  if (Key == 0) return;
  CheckUpdateAxes();
  bool RightToLeft = UseRightToLeftAlignment();
  Integer D = RightToLeft ? -1 : 1;
  TGridCoord NewCell = FCurCell;
  bool Ctrl = Shift.Contains(ssCtrl);
  if (Shift.Contains(ssShift) && FOptions.Contains(goRangeSelectKv)) {
    TGridCoord A = FAnchorCell;
    switch (Key) {
      case VK_LEFT: --A.X; break;
      case VK_RIGHT: ++A.X; break;
      case VK_UP: --A.Y; break;
      case VK_DOWN: ++A.Y; break;
      default: break;
    }
    A.X = GridInputClamp(A.X, GetFixedColCount() - GetFrozenColCount(), GetFullColCount() - 1);
    A.Y = GridInputClamp(A.Y, GetFixedRowCount() - GetFrozenRowCount(), GetFullRowCount() - 1);
    SetAnchorCell(A.X, A.Y, true);
    return;
  }
  bool InvalidateAfter = false;
  if (Ctrl) {
    switch (Key) {
      case VK_PRIOR: NewCell.Y = GetTopRow(); break;
      case VK_HOME:
        NewCell = MakeGridCoord(GetFixedColCount(), GetFixedRowCount());
        InvalidateAfter = RightToLeft;
        break;
      case VK_END:
        NewCell = MakeGridCoord(GetColCount() - 1, GetRowCount() - 1);
        InvalidateAfter = RightToLeft;
        break;
      default: break;
    }
  } else {
    switch (Key) {
      case VK_TAB: {
        if (Shift.Contains(ssAlt)) break;
        bool Back = Shift.Contains(ssShift);
        Integer FirstCol = GetFixedColCount(), FirstRow = GetFixedRowCount();
        Integer Start = FCurCell.X;
        do {
          if (Back) {
            if (--NewCell.X < FirstCol) {
              NewCell.X = GetColCount() - 1;
              if (--NewCell.Y < FirstRow) NewCell.Y = GetRowCount() - 1;
            }
          } else {
            if (++NewCell.X >= GetColCount()) {
              NewCell.X = FirstCol;
              if (++NewCell.Y >= GetRowCount()) NewCell.Y = FirstRow;
            }
          }
        } while (!IsTabStopCol(NewCell.X) && NewCell.X != Start);
        // The step is done; the move itself takes the anchor along.
        Shift >> ssShift;
        break;
      }
      case VK_PRIOR: NewCell.Y = PageUpTarget(); break;
      case VK_NEXT: NewCell.Y = PageDownTarget(); break;
      case VK_HOME: NewCell.X = GetFixedColCount(); break;
      case VK_END: NewCell.X = GetColCount() - 1; break;
      case VK_LEFT:
      case VK_RIGHT:
        if (FOptions.Contains(goRowSelectKv)) {
          HorzScroll(Key == VK_LEFT ? SB_LINELEFT : SB_LINERIGHT, 0);
          return;
        }
        FindSelectableCell(FCurCell.X, FCurCell.Y, FCurCell.X + (Key == VK_LEFT ? -D : D), FCurCell.Y, NewCell);
        NewCell.Y = FCurCell.Y;
        break;
      case VK_UP:
      case VK_DOWN:
        FindSelectableCell(FCurCell.X, FCurCell.Y, FCurCell.X, FCurCell.Y + (Key == VK_UP ? -1 : 1), NewCell);
        NewCell.X = FCurCell.X;
        break;
      case VK_F2: SetEditorMode(true); break;
      default: break;
    }
  }
  NewCell.X = GridInputClamp(NewCell.X, GetFixedColCount() - GetFrozenColCount(), GetColCount() - 1);
  NewCell.Y = GridInputClamp(NewCell.Y, GetFixedRowCount() - GetFrozenRowCount(), GetRowCount() - 1);
  if (NewCell != FCurCell) FocusCell(NewCell.X, NewCell.Y, !Shift.Contains(ssShift));
  if (InvalidateAfter) Invalidate();
}

void TCustomGridKv::KeyPress(Char& Key) {
  inherited::KeyPress(Key);
  if (FOptions.Contains(goAlwaysShowEditorKv) || !FOptions.Contains(goEditingKv) || Key != 13) return;
  if (FEditorMode)
    HideEditor();
  else
    ShowEditor();
  Key = 0;
}

bool TCustomGridKv::IsGridKey(Word Key, TShiftState Shift) {
  bool Ctrl = Shift.Contains(ssCtrl);
  switch (Key) {
    case VK_TAB: return !Shift.Contains(ssAlt);
    case VK_ESCAPE:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_UP:
    case VK_DOWN: return true;
    case VK_INSERT: return !Shift.Contains(ssShift) && !Ctrl && !Shift.Contains(ssAlt);
    case VK_DELETE: return Ctrl;
    default: break;
  }
  bool ToEnd = Key == VK_END || Key == VK_RIGHT;
  bool ToStart = Key == VK_HOME || Key == VK_LEFT;
  if ((!ToEnd && !ToStart) || !FOptions.Contains(goAlwaysShowEditorKv)) return false;
  if (Ctrl) return true;
  if (!FInplaceEdit) return false;
  Integer Len = Integer(FInplaceEdit->GetText().length());
  Integer Start = FInplaceEdit->GetSelStart(), Sel = FInplaceEdit->GetSelLength();
  bool All = Sel == Len, None = Sel == 0;
  if (ToEnd) return Start + Sel == Len && (All || None);
  return (Start == 0 && (None || All)) || (All && Start + Sel == Len);
}

// ---- Editor -----------------------------------------------------------------------------------

bool TCustomGridKv::CreateEditorIfNeeded() {
  if (FInplaceEdit) return false;
  FInplaceEdit = CreateEditor();
  FInplaceEdit->SetGrid(this);
  FInplaceEdit->SetParent(this);
  FInplaceEdit->SetAutoSelect(false);
  return true;
}

void TCustomGridKv::ShowEditor() {
  FEditorMode = true;
  UpdateEdit();
}

void TCustomGridKv::HideEditor() {
  if (!FEditorMode) return;
  FEditorMode = false;
  HideEdit();
}

void TCustomGridKv::ShowEditorChar(Char Ch) {
  ShowEditor();
  if (FInplaceEdit && FInplaceEdit->HandleAllocated() && ::IsWindowVisible(FInplaceEdit->GetHandle()))
    ::PostMessageW(FInplaceEdit->GetHandle(), WM_CHAR, WPARAM(Ch), 0);
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
  if (!CanEditShow()) {
    HideEdit();
    return;
  }
  bool Load = CreateEditorIfNeeded();
  if (!Load && (FInplaceCol != FCurCell.X || FInplaceRow != FCurCell.Y)) {
    HideEdit();
    Load = true;
  }
  if (Load) {
    FInplaceCol = FCurCell.X;
    FInplaceRow = FCurCell.Y;
    FInplaceEdit->UpdateContents();
    FCanEditModify = FInplaceEdit->GetMaxLength() != -1;
    FInplaceEdit->SelectAll();
  }
  if (CanEditShow()) {
    TRect R;
    GetCellContentRect(FCurCell.X, FCurCell.Y, R);
    FInplaceEdit->Move(R);
  }
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

void TCustomGridKv::DoExit() {
  inherited::DoExit();
  if (!FOptions.Contains(goAlwaysShowEditorKv)) HideEditor();
}

void TCustomGridKv::NotifyDesignerModified(TComponent* Component) {
  // Only a designer cares, and this program runs none.
  if (!Component || !Component->GetComponentState().Contains(csDesigning) || !HandleAllocated() ||
      Component->GetComponentState().Contains(csUpdating))
    return;
  if (TCustomForm* Form = GetParentForm(this)) (void)Form->GetDesigner();
}

// ---- Mouse ------------------------------------------------------------------------------------

void TCustomGridKv::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  HideEdit();
  if (!GetComponentState().Contains(csDesigning) && CanFocus()) {
    TakeFocus();
    if (!IsActiveControl()) {
      SetMouseCapture(false);
      return;
    }
  }
  if (Button == mbLeft && Shift.Contains(ssDouble)) {
    DblClick();
  } else if (Button == mbLeft) {
    CalcSizingState(X, Y, FGridState, FSizingIndex, FSizingPos, FSizingOfs);
    if (GridInputIsSizing(FGridState)) {
      if (FGridState == gsColSizingKv && UseRightToLeftAlignment()) FSizingPos = GetClientWidth() - FSizingPos;
      StartSizingLine();
      DrawSizingLine();
      return;
    }
    TGridCoord Cell = MouseCoord(X, Y);
    bool Selectable = Cell.X >= GetFixedColCount() - GetFrozenColCount() && Cell.X < GetColCount() &&
                      Cell.Y >= GetFixedRowCount() - GetFrozenRowCount() && Cell.Y < GetRowCount();
    auto StartSelection = [&] {
      SetGridTimer(true, 60);
      if (Shift.Contains(ssShift))
        SetAnchorCell(Cell.X, Cell.Y, true);
      else
        MoveCurrentCell(Cell.X, Cell.Y, true, true);
    };
    if (Selectable) {
      if (FOptions.Contains(goEditingKv)) {
        if (Cell == FCurCell) {
          ShowEditor();
        } else {
          if (FOptions.Contains(goRangeSelectKv)) {
            FGridState = gsSelectingKv;
            StartSelection();
          } else {
            MoveCurrentCell(Cell.X, Cell.Y, true, true);
          }
          UpdateEdit();
        }
        Click();
      } else {
        if (FOptions.Contains(goRangeSelectKv)) FGridState = gsSelectingKv;
        StartSelection();
      }
    } else if (FOptions.Contains(goRowMovingKv) && Cell.X >= 0 && Cell.X < GetFixedColCount() &&
               Cell.Y >= GetFixedRowCount() && Cell.Y < GetRowCount()) {
      FMoveFromIndex = FMoveToIndex = Cell.Y;
      TRect R;
      CellRectEx(Cell.X, Cell.Y, false, true, R);
      FMoveFromCellOriginDistance = X - R.Left;
      if (BeginRowDrag(FMoveFromIndex, FMoveToIndex, TPoint(X, Y))) {
        FMovePosRightSite = false;
        FGridState = gsRowMovingKv;
        Update();
        DrawMoveLine();
        SetGridTimer(true, 60);
      }
    } else if (FOptions.Contains(goColMovingKv) && Cell.Y >= 0 && Cell.Y < GetFixedRowCount() &&
               Cell.X >= GetFixedColCount() && Cell.X < GetColCount()) {
      Integer From = Cell.X, To = Cell.X;
      if (BeginColumnDrag(From, To, TPoint(X, Y))) StartColMoving(From, X, Y);
    }
  }
  try {
    inherited::MouseDown(Button, Shift, X, Y);
  } catch (...) {
    if (GridInputIsMoving(FGridState)) HideMoveLine();
    throw;
  }
}

void TCustomGridKv::StartColMoving(Integer ACol, Integer X, Integer Y) {
  CheckUpdateAxes();
  TGridAxisDataKv* H = FHorzAxis.get();
  bool RightToLeft = UseRightToLeftAlignment();
  FMoveFromIndex = ACol;
  Integer C = MouseCoord(X, Y).X;
  Integer Drop = C;
  if (C >= 0) {
    TRect R;
    CellRectEx(C, 0, false, true, R);
    Integer Mid = (R.Left + R.Right) / 2;
    if (RightToLeft ? X <= Mid : X >= Mid) Drop = C + 1;
    FMoveFromCellOriginDistance = X - R.Left;
  }
  Integer PX = RightToLeft ? H->RightToLeftReflect(X) : X;
  if (C == -1 && PX >= H->GetRolInClientBoundary()) Drop = GetColCount() - 1;
  if (C >= GetFixedColCount() && C < GetLeftCol()) Drop = GetLeftCol();
  if (Drop < 0) Drop = ACol;
  FMoveToIndex = Drop;
  FMovePosRightSite = false;
  FGridState = gsColMovingKv;
  Update();
  DrawMoveLine();
  SetGridTimer(true, 60);
}

void TCustomGridKv::StartRowMoving(Integer ARow) {
  FMoveFromIndex = FMoveToIndex = ARow;
  FMovePosRightSite = false;
  FGridState = gsRowMovingKv;
  Update();
  DrawMoveLine();
  SetGridTimer(true, 60);
}

void TCustomGridKv::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  FMouseMovePos = TPoint(X, Y);
  switch (FGridState) {
    case gsRowSizingKv:
    case gsColSizingKv:
      DrawSizingLine();
      FSizingPos = (FGridState == gsRowSizingKv ? Y : X) + FSizingOfs;
      DrawSizingLine();
      break;
    case gsNormalKv: UpdateHotTrack(X, Y); break;
    case gsSelectingKv: {
      TGridCoord Cell = MouseCoord(X, Y);
      bool ColIn = Cell.X >= GetFixedColCount() - GetFrozenColCount() &&
                   Cell.X <= std::min(GetLastFullVisibleCol(), GetColCount() - 1);
      bool RowIn = Cell.Y >= GetFixedRowCount() - GetFrozenRowCount() &&
                   Cell.Y <= std::min(GetLastFullVisibleRow(), GetRowCount() - 1);
      if (!ColIn && !RowIn) break;
      if (!ColIn) Cell.X = FAnchorCell.X;
      if (!RowIn) Cell.Y = FAnchorCell.Y;
      if (Cell != FAnchorCell) SetAnchorCell(Cell.X, Cell.Y, true);
      break;
    }
    case gsRowMovingKv:
    case gsColMovingKv:
      if (GetComponentState().Contains(csDesigning)) {
        TGridCoord Cell = MouseCoord(X, Y);
        if (FGridState == gsRowMovingKv)
          CalcMoveTarget(Y, Cell.Y, FVertAxis.get(), true, TPoint(X, Y));
        else
          CalcMoveTarget(X, Cell.X, FHorzAxis.get(), false, TPoint(X, Y));
      }
      break;
  }
  inherited::MouseMove(Shift, X, Y);
}

Integer TCustomGridKv::CalcSizingLength(TGridAxisDataKv* Axis) {
  Integer Index = FSizingIndex;
  if (Index < Axis->GetFixedCelCount()) return FSizingPos - (Axis->GetGridClientStart() + Axis->GetFixedCelPos(Index));
  if (Index < Axis->GetCelCount()) {
    Integer Rol = Index - Axis->GetFixedCelCount();
    Int64 Before = Axis->GetRolLocCelPosArr(Rol) - Axis->GetRolLocCelPosArr(Axis->GetRolStartVisCel());
    return Integer(FSizingPos - (Axis->GetFixedBoundary() - Axis->GetRolStartVisCelOfst() + Before));
  }
  // Contra cells are sized by their leading edge.
  Integer End = Axis->GetContraStart();
  for (Integer I = Axis->GetCelCount(); I <= Index; ++I) End += Axis->GetCelLens(I);
  return End - FSizingPos;
}

void TCustomGridKv::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  // Whatever happens below, the grid leaves its mode.
  TGridFinallyKv Normal([this] {
    if (FGridState == gsNormalKv) return;
    FGridState = gsNormalKv;
    Invalidate();
  });
  TPoint Pt(X, Y);
  switch (FGridState) {
    case gsSelectingKv:
      MouseMove(Shift, X, Y);
      SetGridTimer(false, 0);
      UpdateEdit();
      Click();
      break;
    case gsRowSizingKv:
    case gsColSizingKv: {
      DrawSizingLine();
      bool Cols = FGridState == gsColSizingKv;
      if (Cols && UseRightToLeftAlignment()) FSizingPos = GetClientWidth() - FSizingPos;
      CheckUpdateAxes();
      Integer Len = CalcSizingLength(Cols ? FHorzAxis.get() : FVertAxis.get());
      if (Len > 1) {
        if (Cols)
          SetColWidth(FSizingIndex, Len);
        else
          SetRowHeight(FSizingIndex, Len);
        NotifyDesignerModified(this);
      }
      break;
    }
    case gsRowMovingKv:
      HideMoveLine();
      SetGridTimer(false, 0);
      if (EndRowDrag(FMoveFromIndex, FMoveToIndex, Pt) && FMoveFromIndex != FMoveToIndex) {
        MoveRow(FMoveFromIndex, FMoveToIndex);
        NotifyDesignerModified(this);
      }
      UpdateEdit();
      break;
    case gsColMovingKv:
      HideMoveLine();
      SetGridTimer(false, 0);
      if (EndColumnDrag(FMoveFromIndex, FMoveToIndex, Pt) && FMoveFromIndex != FMoveToIndex) {
        MoveColumn(FMoveFromIndex, FMoveToIndex);
        NotifyDesignerModified(this);
      }
      UpdateEdit();
      break;
    case gsNormalKv:
      // A press on a cell started the timer; nothing scrolls without a selection.
      SetGridTimer(false, 0);
      UpdateEdit();
      break;
  }
  inherited::MouseUp(Button, Shift, X, Y);
}

bool TCustomGridKv::DoMouseDblClickMessage(TWMMouse& Message) {
  TMouseButton Button = Message.Msg == WM_RBUTTONDBLCLK ? mbRight : Message.Msg == WM_MBUTTONDBLCLK ? mbMiddle : mbLeft;
  TShiftState Shift = KeysToShiftState(Word(Message.Keys)) + GridInputMouseOrigin();
  TPoint P(Message.XPos, Message.YPos);
  if (GetWidth() > 32768 || GetHeight() > 32768) P = GridInputCursorPos(this);
  TGridCoord Cell = MouseCoord(P.X, P.Y);
  if (Cell.X < 0 || Cell.Y < 0) return true;
  TRect R;
  CellRectEx(Cell.X, Cell.Y, false, true, R);
  return AllowMouseDblClick(Cell, Button, Shift, P, TPoint(P.X - R.Left, P.Y - R.Top));
}

void TCustomGridKv::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_CHAR: {
      Char Ch = Char(Message.WParam);
      if (FOptions.Contains(goEditingKv) && (Ch == 8 || Ch >= 32) && CanEditAcceptChar(Ch) && CanEditModify()) {
        ShowEditorChar(Ch);
        return;
      }
      break;
    }
    case WM_GETDLGCODE:
      Message.Result = DLGC_WANTARROWS;
      if (!FOptions.Contains(goRowSelectKv)) {
        if (FOptions.Contains(goTabsKv)) Message.Result |= DLGC_WANTTAB;
        if (FOptions.Contains(goEditingKv)) Message.Result |= DLGC_WANTCHARS;
      }
      return;
    case CM_WANTSPECIALKEY:
      inherited::WndProc(Message);
      if (FOptions.Contains(goEditingKv) && Message.WParam == VK_RETURN) Message.Result = 1;
      return;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      TDispatchScope Scope(this);
      inherited::WndProc(Message);
      if (Scope.Deleted()) return;
      auto& M = reinterpret_cast<TWMMouse&>(Message);
      if (FInplaceEdit) FInplaceEdit->FClickTime = Cardinal(::GetMessageTime());
      FMouseDownCell = MouseCoord(M.XPos, M.YPos);
      if (FMouseDownCell.X == -1 && FMouseDownCell.Y == -1) return;
      TMouseButton Button = Message.Msg == WM_LBUTTONDOWN ? mbLeft : Message.Msg == WM_RBUTTONDOWN ? mbRight : mbMiddle;
      TRect R;
      CellRectEx(FMouseDownCell.X, FMouseDownCell.Y, false, true, R);
      DoCellMouseDown(FMouseDownCell, Button, KeysToShiftState(Word(M.Keys)), R, TPoint(M.XPos, M.YPos),
                      TPoint(M.XPos - R.Left, M.YPos - R.Top));
      return;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
      auto& M = reinterpret_cast<TWMMouse&>(Message);
      bool Dbl = Message.Msg == WM_LBUTTONDBLCLK || Message.Msg == WM_RBUTTONDBLCLK || Message.Msg == WM_MBUTTONDBLCLK;
      TMouseButton Button = (Message.Msg == WM_LBUTTONUP || Message.Msg == WM_LBUTTONDBLCLK)   ? mbLeft
                            : (Message.Msg == WM_RBUTTONUP || Message.Msg == WM_RBUTTONDBLCLK) ? mbRight
                                                                                               : mbMiddle;
      TShiftState Shift = KeysToShiftState(Word(M.Keys));
      if (Dbl) Shift << ssDouble;
      TPoint P(M.XPos, M.YPos);
      bool Allowed = CanProcessMouseMessage(M);
      TDispatchScope Scope(this);
      if (Dbl && !DoMouseDblClickMessage(M)) {
        // Handled as a plain press.
        bool Had = FControlStyle.Contains(csDoubleClicks);
        FControlStyle >> csDoubleClicks;
        TGridFinallyKv Restore([this, Had, &Scope] {
          if (Had && !Scope.Deleted()) FControlStyle << csDoubleClicks;
        });
        inherited::WndProc(Message);
      } else {
        inherited::WndProc(Message);
      }
      if (Scope.Deleted() || !Allowed) return;
      TGridCoord Cell = MouseCoord(P.X, P.Y);
      if (Cell.X < 0 || Cell.Y < 0 || Cell != FMouseDownCell) return;
      TRect R;
      CellRectEx(Cell.X, Cell.Y, false, true, R);
      DoCellMouseClick(Cell, Button, Shift, R, P, TPoint(P.X - R.Left, P.Y - R.Top));
      return;
    }
    case WM_CANCELMODE: {
      TDispatchScope Scope(this);
      inherited::WndProc(Message);
      if (!Scope.Deleted()) CancelMode();
      return;
    }
    case CM_CANCELMODE: {
      auto& M = reinterpret_cast<TCMCancelMode&>(Message);
      if (FInplaceEdit) FInplaceEdit->GetWindowProc()(Message);
      inherited::WndProc(Message);
      if (M.Sender != this) CancelMode();
      return;
    }
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: {
      inherited::WndProc(Message);
      if (reinterpret_cast<TCMMouseEnterLeave&>(Message).Control != nullptr &&
          reinterpret_cast<TCMMouseEnterLeave&>(Message).Control != this)
        return;
      FMouseInControl = Message.Msg == CM_MOUSEENTER;
      if (!FMouseInControl) UpdateHotTrack(-1, -1);
      return;
    }
    case WM_NCMOUSEMOVE:
      inherited::WndProc(Message);
      if (!FControlStyle.Contains(csNoStdEvents)) {
        TPoint P = GridInputCursorPos(this);
        if (GetWidth() <= 32768 && GetHeight() <= 32768)
          P = ScreenToClient(TPoint(SmallInt(LOWORD(Message.LParam)), SmallInt(HIWORD(Message.LParam))));
        UpdateHotTrack(P.X, P.Y);
      }
      return;
    default: break;
  }
  inherited::WndProc(Message);
}

void TCustomGridKv::CancelMode() {
  TGridStateKv State = FGridState;
  TGridFinallyKv Finish([this] {
    FGridState = gsNormalKv;
    Invalidate();
  });
  if (State == gsSelectingKv) {
    SetGridTimer(false, 0);
  } else if (GridInputIsSizing(State)) {
    DrawSizingLine();
  } else if (GridInputIsMoving(State)) {
    HideMoveLine();
    SetGridTimer(false, 0);
  }
}

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

// ---- Sizing line ------------------------------------------------------------------------------

void TCustomGridKv::StartSizingLine() {
  FDrawenSizingPos2 = FSizingPos;
  FDrawenSizingPos1 = -1;
  bool Cols = FGridState == gsColSizingKv;
  TGridAxisDataKv* Axis = Cols ? FHorzAxis.get() : FVertAxis.get();
  CheckUpdateAxes();
  Integer Index = FSizingIndex;
  if (Index >= Axis->GetFixedCelCount() && Index < Axis->GetCelCount()) {
    Int64 Start = Axis->GetRolLocCelPosArr(Index - Axis->GetFixedCelCount()) - Axis->GetRolStartVisPos() +
                  Axis->GetFixedBoundary();
    FDrawenSizingPos1 = Integer(std::max<Int64>(std::min<Int64>(Start, Axis->GetGridClientStop()), -1));
  } else if (Index >= Axis->GetCelCount()) {
    Integer End = Axis->GetContraStart();
    for (Integer I = Axis->GetCelCount(); I <= Index; ++I) End += Axis->GetCelLens(I);
    FDrawenSizingPos1 = End;
  }
  if (FDrawenSizingPos1 >= 0 && FDrawenSizingPos1 < Axis->GetFixedBoundary()) FDrawenSizingPos1 = -1;
  if (Cols && FDrawenSizingPos1 >= 0 && UseRightToLeftAlignment())
    FDrawenSizingPos1 = GetClientWidth() - FDrawenSizingPos1;
  Invalidate();
}

void TCustomGridKv::DrawSizingLine() { InvalidateSizingLine(); }

void TCustomGridKv::InvalidateSizingLine() {
  if (!HandleAllocated()) return;
  TRect Client = GetClientRect();
  bool Cols = FGridState == gsColSizingKv;
  for (Integer Pos : {FDrawenSizingPos2 - 1, FSizingPos - 1}) {
    RECT R = Cols ? RECT{Pos, Client.Top, Pos + 1, Client.Bottom} : RECT{Client.Left, Pos, Client.Right, Pos + 1};
    ::InvalidateRect(FHandle, &R, FALSE);
  }
  Update();
  FDrawenSizingPos2 = FSizingPos;
}

void TCustomGridKv::PaintSizingLine() {
  if (!GridInputIsSizing(FGridState)) return;
  Integer Start, Stop;
  GetSizingLineBounds(Start, Stop);
  TCanvas* Canvas = GetCanvas();
  Canvas->GetPen()->SetColor(GetStyledSystemColor(cl3DDkShadow));
  Canvas->GetPen()->SetWidth(1);
  Canvas->GetPen()->SetStyle(psSolid);
  bool Cols = FGridState == gsColSizingKv;
  auto Line = [&](Integer Pos) {
    if (Cols) {
      Canvas->MoveTo(Pos, Start);
      Canvas->LineTo(Pos, Stop);
    } else {
      Canvas->MoveTo(Start, Pos);
      Canvas->LineTo(Stop, Pos);
    }
  };
  Line(FSizingPos - 1);
  if (FDrawenSizingPos1 >= 0) Line(FDrawenSizingPos1 - 1);
}

void TCustomGridKv::GetSizingLineBounds(Integer& Start, Integer& Stop) {
  TGridAxisDataKv* Across = FGridState == gsColSizingKv ? FVertAxis.get() : FHorzAxis.get();
  Start = Across->GetGridClientStart();
  Stop = Across->GetGridClientStop();
}

// ---- Moving rows and columns ------------------------------------------------------------------

void TCustomGridKv::CalcMoveTarget(Integer Pos, Integer CellIndex, TGridAxisDataKv* Axis, bool Vertical,
                                   const TPoint& MousePt) {
  CheckUpdateAxes();
  bool RightToLeft = UseRightToLeftAlignment();
  if (!Vertical && RightToLeft) Pos = Axis->RightToLeftReflect(Pos);
  bool RightSide = FMoveFromIndex < FMoveToIndex;
  Integer Fixed = Axis->GetFixedCelCount();
  if (Axis->GetRolStartVisPos() == 0 && FMoveToIndex == Fixed && Pos < Axis->GetFixedBoundary()) return;
  TScrollBarKind Kind = Vertical ? sbVertical : sbHorizontal;
  if (Pos < Axis->GetFixedBoundary()) {
    if (FMoveToIndex > Fixed || Axis->GetRolStartVisCelOfst() > 0) {
      DoScroll(Kind, SB_LINEUP, 0, false);
      Update();
    }
    CellIndex = Axis->GetStartVisCel();
  } else if (Pos < Axis->GetGridClientStop()) {
    if (CellIndex == -1 && Pos >= Axis->GetRolInClientBoundary())
      CellIndex = Axis->GetCelCount() - 1;
    else if (CellIndex < 0)
      CellIndex = FMoveToIndex;
  } else {
    if (!Axis->GetInEndOfRol()) {
      DoScroll(Kind, SB_LINEDOWN, 0, false);
      Update();
    }
    CellIndex = Fixed + Axis->GetRolLastFullVisCel();
  }
  // Contra cells take no moved cell.
  CellIndex = std::min(CellIndex, Axis->GetCelCount() - 1);
  Integer From = FMoveFromIndex, To = CellIndex;
  if (!Vertical) {
    if (CheckColumnDrag(From, To, MousePt)) {
      TRect R;
      CellRectEx(To, 0, false, true, R);
      Integer Mid = (R.Left + R.Right) / 2;
      bool Before = RightToLeft ? MousePt.X > Mid : MousePt.X < Mid;
      FMoveToIndex = Before ? To : To + 1;
      FMovePosRightSite = false;
    }
  } else if (CheckRowDrag(From, To, MousePt)) {
    FMoveToIndex = To;
    FMovePosRightSite = RightSide;
  }
  DrawMoveLine();
}

void TCustomGridKv::DrawMoveLine() {
  if (!GridInputIsMoving(FGridState) || !HandleAllocated()) return;
  CheckUpdateAxes();
  TGridMoveLineKv* Line = GetGridMoveLine();
  TPoint Pos;
  bool Vert = FGridState == gsColMovingKv;
  Integer Size;
  if (!Vert) {
    Integer Row = std::min(FMoveToIndex, GetRowCount() - 1);
    TRect R;
    CellRectEx(0, Row, false, false, R);
    Integer Y = (FMovePosRightSite || FMoveToIndex > Row) ? R.Bottom : R.Top;
    Pos = TPoint(FHorzAxis->GetGridClientStart(), Y);
    Size = FHorzAxis->GetGridClientLen();
  } else {
    Integer Col = std::min(FMoveToIndex, GetColCount() - 1);
    TRect R;
    CellRectEx(Col, 0, false, true, R);
    bool Far = FMovePosRightSite || FMoveToIndex > Col;
    Integer X = UseRightToLeftAlignment() ? (Far ? R.Left : R.Right) : (Far ? R.Right : R.Left - 1);
    Integer Top = FVertAxis->GetGridClientStart();
    Integer Bottom = FVertAxis->GetGridClientStop();
    if (FOptions.Contains(goExtendVertLinesKv)) Bottom = std::min(Bottom, FVertAxis->GetRolInClientBoundary());
    Pos = TPoint(X, Top);
    Size = Bottom - Top;
  }
  Pos = ClientToScreen(Pos);
  if (Line->GetVisible())
    Line->MoveToFor(Pos);
  else
    Line->StartShow(Pos, Vert, Size, this);
}

void TCustomGridKv::HideMoveLine() { GetGridMoveLine()->Hide(); }

// ---- Timer ------------------------------------------------------------------------------------

void TCustomGridKv::SetGridTimer(bool Active, Integer Interval) {
  if (Active) FGridTimer->SetInterval(Interval > 0 ? Cardinal(Interval) : 1);
  FGridTimer->SetEnabled(Active);
}

Integer TCustomGridKv::CalcColMoveTimerInterval(Integer MouseX, Integer EdgeX, bool TowardLeft, Integer VirtualLeft,
                                                Integer VirtualRight) {
  // The room up to the end of the virtual screen, at most 200 pixels and never negative.
  Integer M = GridInputClamp(TowardLeft ? EdgeX - VirtualLeft : VirtualRight - EdgeX, 0, 200);
  Integer D = GridInputClamp(TowardLeft ? EdgeX - MouseX : MouseX - EdgeX, 0, M);
  Integer Interval = Integer(double(M) / (D > 10 ? D - 10 : 1) * 1.5) + 60;
  return GridInputClamp(Interval, 60, 360);
}

void TCustomGridKv::GridTimerTick(TObject*) {
  if (FGridState != gsSelectingKv && !GridInputIsMoving(FGridState)) return;
  CheckUpdateAxes();
  TPoint P = GridInputCursorPos(this);
  TGridCoord Cell = MouseCoord(P.X, P.Y);
  TGridAxisDataKv* H = FHorzAxis.get();
  TGridAxisDataKv* V = FVertAxis.get();
  bool RightToLeft = UseRightToLeftAlignment();
  Integer PX = RightToLeft ? H->RightToLeftReflect(P.X) : P.X;
  if (FGridState == gsSelectingKv) {
    TGridScrollDirectionsKv Dirs;
    if (PX < H->GetFixedBoundary()) Dirs << (RightToLeft ? sdRightKv : sdLeftKv);
    if (PX >= H->GetContraStart()) Dirs << (RightToLeft ? sdLeftKv : sdRightKv);
    if (P.Y < V->GetFixedBoundary()) Dirs << sdUpKv;
    if (P.Y >= V->GetContraStart()) Dirs << sdDownKv;
    if (!Dirs.Empty()) ExtendSelection(Dirs);
    return;
  }
  if (FGridState == gsRowMovingKv) {
    CalcMoveTarget(P.Y, Cell.Y, V, true, P);
    return;
  }
  Integer OldLeftCol = GetLeftCol();
  Int64 OldLeftPos = GetLeftPos();
  CalcMoveTarget(P.X, Cell.X, H, false, P);
  Integer Interval = 60;
  if (FMoveToIndex >= GetFixedColCount() && FMoveToIndex < GetColCount()) {
    // Measured on the virtual screen, so monitors left of the primary one count too.
    Integer VLeft = GetSystemMetrics(SM_XVIRTUALSCREEN);
    Integer VRight = VLeft + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    Integer MouseX = ClientToScreen(P).X;
    auto EdgeX = [&](Integer AxisPos) {
      return ClientToScreen(TPoint(RightToLeft ? H->RightToLeftReflect(AxisPos) : AxisPos, 0)).X;
    };
    if (PX < H->GetFixedBoundary()) {
      // Before the rolling area: to the left, or to the right when mirrored.
      Interval = CalcColMoveTimerInterval(MouseX, EdgeX(H->GetFixedBoundary()), !RightToLeft, VLeft, VRight);
    } else if (PX >= H->GetContraStart()) {
      Interval = CalcColMoveTimerInterval(MouseX, EdgeX(H->GetContraStart()), RightToLeft, VLeft, VRight);
    } else {
      Interval = (GetLeftCol() > OldLeftCol || GetLeftPos() > OldLeftPos) ? 360 : 60;
    }
  }
  SetGridTimer(true, Interval);
}

// ---- Hot tracking -----------------------------------------------------------------------------

void TCustomGridKv::UpdateHotTrack(Integer X, Integer Y) {
  if (GetComponentState().Contains(csDesigning)) return;
  TGridCoord Cell = MouseCoord(X, Y);
  if (CanHotTrackCell(Cell.X, Cell.Y)) {
    if (Cell != FHotTrackCell) {
      if (FHotTrackCell.X >= 0 && FHotTrackCell.X < GetFullColCount() && FHotTrackCell.Y >= 0 &&
          FHotTrackCell.Y < GetFullRowCount())
        InvalidateCell(FHotTrackCell.X, FHotTrackCell.Y);
      FHotTrackCell = Cell;
      if (Cell.X >= 0 && Cell.Y >= 0) InvalidateCell(Cell.X, Cell.Y);
    }
  } else if (FHotTrackCell.X >= 0 || FHotTrackCell.Y >= 0) {
    if (FHotTrackCell.X < GetFullColCount() && FHotTrackCell.Y < GetFullRowCount() && FHotTrackCell.X >= 0 &&
        FHotTrackCell.Y >= 0)
      InvalidateCell(FHotTrackCell.X, FHotTrackCell.Y);
    FHotTrackCell = MakeGridCoord(-1, -1);
  }
  if (FHotTrackCell.X >= 0 && FHotTrackCell.Y >= 0) {
    TRect R;
    CellRectEx(FHotTrackCell.X, FHotTrackCell.Y, false, true, R);
    FHotTrackInCellPos = TPoint(X - R.Left, Y - R.Top);
  }
  TGridHotTrackSpotKv* New = GetNewHotTrackSpot();
  TGridHotTrackSpotKv* Old = GetOldHotTrackSpot();
  CalcHotTrackSpot(New, X, Y);
  if (!HotTrackSpotsEqual(Old, New)) {
    if (New->GetCol() >= 0 && New->GetRow() >= 0) InvalidateHotTrackCell(New);
    if (Old->GetCol() >= 0 && Old->GetRow() >= 0) InvalidateHotTrackCell(Old);
    Old->Assign(New);
  }
}

void TCustomGridKv::CalcHotTrackSpot(TGridHotTrackSpotKv* Spot, Integer X, Integer Y) {
  if (GetComponentState().Contains(csDesigning)) return;
  TGridCoord Cell = MouseCoord(X, Y);
  if (!CanHotTrackCell(Cell.X, Cell.Y)) Cell = MakeGridCoord(-1, -1);
  Spot->SetCol(Cell.X);
  Spot->SetRow(Cell.Y);
  if (Cell.X < 0 || Cell.Y < 0) return;
  TRect R;
  CellRectEx(Cell.X, Cell.Y, false, true, R);
  // Counted from the cell's true edge when the first visible cell is cut.
  Integer InX = X - R.Left, InY = Y - R.Top;
  if (Cell.X == GetLeftCol()) InX += FHorzAxis->GetRolStartVisCelOfst();
  if (Cell.Y == GetTopRow()) InY += FVertAxis->GetRolStartVisCelOfst();
  Spot->SetInCellX(InX);
  Spot->SetInCellY(InY);
}
