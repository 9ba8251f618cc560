#pragma once
// The geometry of one axis of a grid (part of the unit GridsKv): the fixed, rolling and contra
// cells with their lengths, the 64-bit start positions of the rolling cells, the scroll position
// and the cells it shows, and the client coordinates the grid lays the axis out in.
//
// Grid indexes run through the fixed cells, then the rolling cells, then the contra cells.
// Positions inside the rolling cells are 64-bit; client coordinates are 32-bit.

#include <vector>

#include "framework/Classes.h"
#include "kvlib/foundation/ToolCtrlsKv.h"

class TCustomGridKv;

// ---- Cells and ranges -------------------------------------------------------------------------

// A column (X) and a row (Y); -1 in a field means no cell.
struct TGridCoord {
  Integer X = 0;
  Integer Y = 0;
  bool operator==(const TGridCoord& R) const { return X == R.X && Y == R.Y; }
  bool operator!=(const TGridCoord& R) const { return !(*this == R); }
};

inline TGridCoord MakeGridCoord(Integer ACol, Integer ARow) { return TGridCoord{ACol, ARow}; }

// A range of cells, bounds included.
struct TGridRect {
  Integer Left = 0;
  Integer Top = 0;
  Integer Right = 0;
  Integer Bottom = 0;
  TGridCoord TopLeft() const { return TGridCoord{Left, Top}; }
  TGridCoord BottomRight() const { return TGridCoord{Right, Bottom}; }
  void SetTopLeft(const TGridCoord& C) {
    Left = C.X;
    Top = C.Y;
  }
  void SetBottomRight(const TGridCoord& C) {
    Right = C.X;
    Bottom = C.Y;
  }
  bool operator==(const TGridRect& R) const {
    return Left == R.Left && Top == R.Top && Right == R.Right && Bottom == R.Bottom;
  }
  bool operator!=(const TGridRect& R) const { return !(*this == R); }
};

inline TGridRect MakeGridRect(Integer ALeft, Integer ATop, Integer ARight, Integer ABottom) {
  return TGridRect{ALeft, ATop, ARight, ABottom};
}
// The range two cells span, the smaller column and row first.
TGridRect GridRectFromCells(const TGridCoord& A, const TGridCoord& B);
bool CellInGridRect(Integer ACol, Integer ARow, const TGridRect& Rect);

// ---- Integer arrays ---------------------------------------------------------------------------

// ArrayInsertRange and ArrayDeleteRange for integer arrays are the foundation's.
void ArrayFillRange(TIntegerArrayKv& Extents, Integer StartIndex, Integer Amount, Integer Value);
// The item moves to ToIndex and those between shift one place toward FromIndex; an empty
// array is left alone.
void ArrayMoveItem(TIntegerArrayKv& Extents, Integer FromIndex, Integer ToIndex);

// ---- The axis ---------------------------------------------------------------------------------

DECLARE_ENUM(TScrollStepTypeKv, sstByPixelKv, sstByCellKv)

class TGridAxisDataKv : public TPersistent {
  DECLARE_CLASS(TGridAxisDataKv, TPersistent)
 public:
  explicit TGridAxisDataKv(TCustomGridKv* AGrid);

  // ---- Counts
  Integer GetFixedCelCount() const { return FFixedCelCount; }
  // Raises for a negative count; the frozen count follows a lower fixed count down.
  void SetFixedCelCount(Integer Value);
  Integer GetFrozenCelCount() const { return FFrozenCelCount; }
  // Kept within 0 .. FixedCelCount.
  void SetFrozenCelCount(Integer Value);
  Integer GetRolCelCount() const { return FRolCelCount; }
  // Raises "RolCelCount can't be less then 1" below 1.
  void SetRolCelCount(Integer Value);
  Integer GetContraCelCount() const { return FContraCelCount; }
  // Raises "ContraCelCount can't be less then 0" below 0.
  void SetContraCelCount(Integer Value);
  Integer GetCelCount() const { return FFixedCelCount + FRolCelCount; }
  Integer GetFullCelCount() const { return GetCelCount() + FContraCelCount; }
  Integer GetDefaultCelLen() const { return FDefaultCelLen; }
  // Cells added later get this length; existing cells keep theirs. A negative length is refused.
  void SetDefaultCelLen(Integer Value);

  // ---- Lengths (a negative length or an index outside the area is refused)
  Integer GetFixedCelLens(Integer Index) const;
  void SetFixedCelLens(Integer Index, Integer Value);
  Integer GetRolCelLens(Integer Index) const;
  void SetRolCelLens(Integer Index, Integer Value);
  Integer GetContraCelLens(Integer Index) const;
  void SetContraCelLens(Integer Index, Integer Value);
  // Any area by grid index.
  Integer GetCelLens(Integer Index) const;
  void SetCelLens(Integer Index, Integer Value);
  // The lengths of the fixed cells before Index.
  Integer GetFixedCelPos(Integer Index) const;
  // Start of rolling cell Index inside the rolling extent; rebuilds stale positions first.
  Int64 GetRolLocCelPosArr(Integer Index);
  // Removes one rolling cell (rolling index); at least one must remain.
  void DeleteRolCel(Integer Index);
  // Moves one cell's length inside its area. Raises "MoveCel in different areas[FromIndex:%D,
  // ToIndex:%D" when the two indexes lie in different areas.
  void MoveCel(Integer FromIndex, Integer ToIndex);

  // ---- Layout (client coordinates, set by the grid's UpdateBoundaries)
  TCustomGridKv* GetGrid() const { return FGrid; }
  Integer GetWinClientBoundSta() const { return FWinClientBoundSta; }
  void SetWinClientBoundSta(Integer Value) { FWinClientBoundSta = Value; }
  Integer GetWinClientBoundSto() const { return FWinClientBoundSto; }
  void SetWinClientBoundSto(Integer Value) { FWinClientBoundSto = Value; }
  // These two bring the grid's layout up to date first.
  Integer GetGridClientStart();
  void SetGridClientStart(Integer Value) { FGridClientStart = Value; }
  Integer GetGridClientStop();
  void SetGridClientStop(Integer Value) { FGridClientStop = Value; }
  Integer GetGridClientLen() { return GetGridClientStop() - GetGridClientStart(); }
  Integer GetFixedBoundary() const { return FFixedBoundary; }
  void SetFixedBoundary(Integer Value) { FFixedBoundary = Value; }
  Integer GetContraStart() const { return FContraStart; }
  void SetContraStart(Integer Value) { FContraStart = Value; }
  Integer GetContraLen() const { return FContraLen; }
  void SetContraLen(Integer Value) { FContraLen = Value; }
  Integer GetFrozenLen() const { return FFrozenLen; }
  void SetFrozenLen(Integer Value) { FFrozenLen = Value; }
  // ContraStart - FixedBoundary, 0 when the fixed cells leave no room.
  Integer GetRolClientLen() const;

  // ---- Scrolling
  // The whole rolling extent.
  Int64 GetRolLen();
  Int64 GetRolStartVisPos() const { return FRolStartVisPos; }
  // Raises "RolStartVisPos can't be > RolLen" above RolLen.
  void SetRolStartVisPos(Int64 Value);
  Int64 GetRolStopVisPos() { return FRolStartVisPos + GetRolLen(); }
  // Where the drawn rolling cells end in client coordinates.
  Integer GetRolInClientBoundary();
  // The end of the rolling cells is on screen.
  bool GetInEndOfRol();
  Integer GetRolStartVisCel() const { return FRolStartVisCel; }
  Integer GetRolStartVisCelOfst() const { return FRolStartVisCelOfst; }
  Integer GetRolLastVisCel();
  Integer GetRolLastFullVisCel();
  Integer GetStartVisCel() const { return FRolStartVisCel + FFixedCelCount; }

  // The position clamped to 0 .. RolLen - RolClientLen.
  Int64 CheckRolStartVisPos(Int64 ARolStartVisPos);
  // Scrolls so that a rolling cell comes first.
  void SafeSetRolStartVisCel(Integer NewStartCell, TScrollStepTypeKv ScrollStepType);
  // The smallest rolling index from which the cells up to RolFinishCell fit the client length.
  Integer CalcMaxStartCellFor(Integer RolFinishCell);
  // The rolling cell containing Pos and Pos's offset inside it (kept within 32 bits).
  void RolCellAtPos(Int64 Pos, Integer& ACel, Integer& ACelOffset);
  void UpdateVisCells();
  // A twentieth of the rolling client length, at least 1.
  Integer GetScrollStep() const;

  // ---- Right to left
  Integer RightToLeftReflect(Integer APos) const { return FWinClientBoundSto - FWinClientBoundSta - APos; }
  void SwapRightToLeftPoses(Integer& Pos1, Integer& Pos2) const;

  // ---- Lazy rebuild
  bool GetRolLocCelPosArrObsolete() const { return FRolLocCelPosArrObsolete; }
  void CheckUpdateRolCelPosArr();
  void CheckUpdateAxises();

 private:
  void CheckLen(Integer Value) const;
  void CheckIndex(Integer Index, Integer Count) const;
  // Marks the positions from rolling cell Index on as stale.
  void MarkPositionsObsolete(Integer Index);
  void RebuildPositions();
  // The last rolling cell whose start is at or before Pos.
  Integer LastCelStartingAtOrBefore(Int64 Pos) const;

  Integer FContraCelCount = 0;
  TIntegerArrayKv FContraCelLens;
  Integer FContraLen = 0;
  Integer FContraStart = 0;
  Integer FDefaultCelLen = 0;
  Integer FFixedBoundary = 0;
  Integer FFixedCelCount = 0;
  TIntegerArrayKv FFixedCelLens;
  Integer FFrozenCelCount = 0;
  Integer FFrozenLen = 0;
  TCustomGridKv* FGrid;  // the grid owns the axis
  Integer FGridClientStart = 0, FGridClientStop = 0;
  Integer FRolCelCount = 0;
  TIntegerArrayKv FRolCelLens;
  Integer FRolLastFullVisCel = 0;
  Integer FRolLastVisCel = 0;
  std::vector<Int64> FRolLocCelPosArr;
  bool FRolLocCelPosArrObsolete = false;
  // Positions before this rolling index are still right.
  Integer FRolLocCelPosObsoleteFrom = 0;
  Integer FRolStartVisCel = 0;
  Integer FRolStartVisCelOfst = 0;
  Int64 FRolStartVisPos = 0;
  Integer FWinClientBoundSta = 0, FWinClientBoundSto = 0;
};

// Both axes have the same full count and the same length at every grid index.
bool AxisLensEqual(TGridAxisDataKv* A, TGridAxisDataKv* B);
