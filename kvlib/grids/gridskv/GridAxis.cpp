#include "kvlib/grids/gridskv/GridAxis.h"

#include <algorithm>
#include <limits>

#include "framework/SysUtils.h"
#include "kvlib/grids/gridskv/CustomGrid.h"

namespace {

Integer GridAxisClampToInteger(Int64 Value) {
  return Integer(std::clamp<Int64>(Value, std::numeric_limits<Integer>::min(), std::numeric_limits<Integer>::max()));
}

}  // namespace

// ---- Cells and ranges -------------------------------------------------------------------------

TGridRect GridRectFromCells(const TGridCoord& A, const TGridCoord& B) {
  return TGridRect{std::min(A.X, B.X), std::min(A.Y, B.Y), std::max(A.X, B.X), std::max(A.Y, B.Y)};
}

bool CellInGridRect(Integer ACol, Integer ARow, const TGridRect& Rect) {
  return ACol >= Rect.Left && ACol <= Rect.Right && ARow >= Rect.Top && ARow <= Rect.Bottom;
}

// ---- Integer arrays ---------------------------------------------------------------------------

void ArrayFillRange(TIntegerArrayKv& Extents, Integer StartIndex, Integer Amount, Integer Value) {
  if (Amount <= 0) return;
  std::fill(Extents.begin() + StartIndex, Extents.begin() + StartIndex + Amount, Value);
}

void ArrayMoveItem(TIntegerArrayKv& Extents, Integer FromIndex, Integer ToIndex) {
  if (Extents.empty() || FromIndex == ToIndex) return;
  auto From = Extents.begin() + FromIndex, To = Extents.begin() + ToIndex;
  if (FromIndex < ToIndex)
    std::rotate(From, From + 1, To + 1);
  else
    std::rotate(To, From, From + 1);
}

// ---- The axis ---------------------------------------------------------------------------------

TGridAxisDataKv::TGridAxisDataKv(TCustomGridKv* AGrid) : FGrid(AGrid) {}

void TGridAxisDataKv::CheckLen(Integer Value) const {
  if (Value < 0) throw Exception(L"Cell length can't be less then 0");
}

void TGridAxisDataKv::CheckIndex(Integer Index, Integer Count) const {
  if (Index < 0 || Index >= Count) throw EInvalidGridOperationKv(L"Grid index out of range");
}

void TGridAxisDataKv::SetFixedCelCount(Integer Value) {
  if (Value == FFixedCelCount) return;
  if (Value < 0) throw Exception(L"FixedCelCount can't be less then 0");
  Integer Old = FFixedCelCount;
  FFixedCelLens.resize(size_t(Value));
  if (Value > Old) ArrayFillRange(FFixedCelLens, Old, Value - Old, FDefaultCelLen);
  FFixedCelCount = Value;
  // Frozen cells are the last fixed ones: there are never more of them than fixed cells.
  if (FFrozenCelCount > Value) FFrozenCelCount = Value;
  FGrid->CheckCurrentCellInRange();
  FGrid->UpdateBoundaries();
}

void TGridAxisDataKv::SetFrozenCelCount(Integer Value) {
  Value = std::clamp(Value, 0, FFixedCelCount);
  bool Changed = Value != FFrozenCelCount;
  FFrozenCelCount = Value;
  // Frozen cells may be current, the other fixed ones may not.
  if (Changed) FGrid->CheckCurrentCellInRange();
  FGrid->UpdateBoundaries();
}

void TGridAxisDataKv::SetRolCelCount(Integer Value) {
  if (Value == FRolCelCount) return;
  if (Value < 1) throw Exception(L"RolCelCount can't be less then 1");
  Integer Old = FRolCelCount;
  if (Value > Old) {
    ArrayInsertRange(FRolCelLens, Old, Value - Old);
    ArrayFillRange(FRolCelLens, Old, Value - Old, FDefaultCelLen);
  } else {
    ArrayDeleteRange(FRolCelLens, Value, Old - Value);
  }
  FRolCelCount = Value;
  FRolLocCelPosArr.resize(size_t(Value));
  MarkPositionsObsolete(std::min(Old, Value));
  FGrid->CheckCurrentCellInRange();
}

void TGridAxisDataKv::SetContraCelCount(Integer Value) {
  if (Value == FContraCelCount) return;
  if (Value < 0) throw Exception(L"ContraCelCount can't be less then 0");
  Integer Old = FContraCelCount;
  FContraCelLens.resize(size_t(Value));
  if (Value > Old) ArrayFillRange(FContraCelLens, Old, Value - Old, FDefaultCelLen);
  FContraCelCount = Value;
  FGrid->CheckCurrentCellInRange();
  FGrid->UpdateBoundaries();
}

void TGridAxisDataKv::SetDefaultCelLen(Integer Value) {
  CheckLen(Value);
  FDefaultCelLen = Value;
}

Integer TGridAxisDataKv::GetFixedCelLens(Integer Index) const {
  CheckIndex(Index, FFixedCelCount);
  return FFixedCelLens[size_t(Index)];
}

void TGridAxisDataKv::SetFixedCelLens(Integer Index, Integer Value) {
  CheckIndex(Index, FFixedCelCount);
  CheckLen(Value);
  Integer Old = FFixedCelLens[size_t(Index)];
  if (Old == Value) return;
  FFixedCelLens[size_t(Index)] = Value;
  FGrid->CelLenChanged(this, Index, Old);
}

Integer TGridAxisDataKv::GetRolCelLens(Integer Index) const {
  CheckIndex(Index, FRolCelCount);
  return FRolCelLens[size_t(Index)];
}

void TGridAxisDataKv::SetRolCelLens(Integer Index, Integer Value) {
  CheckIndex(Index, FRolCelCount);
  CheckLen(Value);
  Integer Old = FRolCelLens[size_t(Index)];
  if (Old == Value) return;
  FRolCelLens[size_t(Index)] = Value;
  MarkPositionsObsolete(Index + 1);
  FGrid->CelLenChanged(this, FFixedCelCount + Index, Old);
  FGrid->CheckCurrentCellInRange();
}

Integer TGridAxisDataKv::GetContraCelLens(Integer Index) const {
  CheckIndex(Index, FContraCelCount);
  return FContraCelLens[size_t(Index)];
}

void TGridAxisDataKv::SetContraCelLens(Integer Index, Integer Value) {
  CheckIndex(Index, FContraCelCount);
  CheckLen(Value);
  Integer Old = FContraCelLens[size_t(Index)];
  if (Old == Value) return;
  FContraCelLens[size_t(Index)] = Value;
  FGrid->CelLenChanged(this, GetCelCount() + Index, Old);
}

Integer TGridAxisDataKv::GetCelLens(Integer Index) const {
  if (Index < FFixedCelCount) return GetFixedCelLens(Index);
  if (Index < GetCelCount()) return GetRolCelLens(Index - FFixedCelCount);
  return GetContraCelLens(Index - GetCelCount());
}

void TGridAxisDataKv::SetCelLens(Integer Index, Integer Value) {
  if (Index < FFixedCelCount)
    SetFixedCelLens(Index, Value);
  else if (Index < GetCelCount())
    SetRolCelLens(Index - FFixedCelCount, Value);
  else
    SetContraCelLens(Index - GetCelCount(), Value);
}

Integer TGridAxisDataKv::GetFixedCelPos(Integer Index) const {
  Integer Pos = 0;
  for (Integer I = 0; I < Index && I < FFixedCelCount; ++I) Pos += FFixedCelLens[size_t(I)];
  return Pos;
}

Int64 TGridAxisDataKv::GetRolLocCelPosArr(Integer Index) {
  CheckIndex(Index, FRolCelCount);
  CheckUpdateRolCelPosArr();
  return FRolLocCelPosArr[size_t(Index)];
}

void TGridAxisDataKv::DeleteRolCel(Integer Index) {
  CheckIndex(Index, FRolCelCount);
  if (FRolCelCount <= 1) throw Exception(L"RolCelCount can't be less then 1");
  ArrayDeleteRange(FRolCelLens, Index, 1);
  --FRolCelCount;
  FRolLocCelPosArr.resize(size_t(FRolCelCount));
  MarkPositionsObsolete(Index);
  FGrid->CheckCurrentCellInRange();
}

void TGridAxisDataKv::MoveCel(Integer FromIndex, Integer ToIndex) {
  Integer Full = GetFullCelCount();
  CheckIndex(FromIndex, Full);
  CheckIndex(ToIndex, Full);
  auto AreaOf = [this](Integer Index) { return Index < FFixedCelCount ? 0 : Index < GetCelCount() ? 1 : 2; };
  Integer Area = AreaOf(FromIndex);
  if (Area != AreaOf(ToIndex))
    throw Exception(Format(L"MoveCel in different areas[FromIndex:%d, ToIndex:%d", {FromIndex, ToIndex}));
  if (Area == 0) {
    ArrayMoveItem(FFixedCelLens, FromIndex, ToIndex);
  } else if (Area == 1) {
    ArrayMoveItem(FRolCelLens, FromIndex - FFixedCelCount, ToIndex - FFixedCelCount);
    MarkPositionsObsolete(std::min(FromIndex, ToIndex) - FFixedCelCount);
  } else {
    ArrayMoveItem(FContraCelLens, FromIndex - GetCelCount(), ToIndex - GetCelCount());
  }
  FGrid->CelMoved(this, FromIndex, ToIndex);
}

Integer TGridAxisDataKv::GetGridClientStart() {
  CheckUpdateAxises();
  return FGridClientStart;
}

Integer TGridAxisDataKv::GetGridClientStop() {
  CheckUpdateAxises();
  return FGridClientStop;
}

Integer TGridAxisDataKv::GetRolClientLen() const { return std::max(FContraStart - FFixedBoundary, 0); }

Int64 TGridAxisDataKv::GetRolLen() {
  CheckUpdateRolCelPosArr();
  if (FRolCelCount == 0) return 0;
  return FRolLocCelPosArr.back() + FRolCelLens.back();
}

void TGridAxisDataKv::SetRolStartVisPos(Int64 Value) {
  if (Value == FRolStartVisPos) return;
  if (Value > GetRolLen()) throw Exception(L"RolStartVisPos can't be > RolLen");
  Int64 Old = FRolStartVisPos;
  FRolStartVisPos = Value;
  CheckUpdateRolCelPosArr();
  UpdateVisCells();
  FGrid->DoAxisScrolled(this, Old);
}

Integer TGridAxisDataKv::GetRolInClientBoundary() {
  Int64 End = Int64(FFixedBoundary) + GetRolLen() - FRolStartVisPos;
  return Integer(std::min<Int64>(FContraStart, End));
}

bool TGridAxisDataKv::GetInEndOfRol() { return Int64(FContraStart) >= Int64(FFixedBoundary) + GetRolLen() - FRolStartVisPos; }

Integer TGridAxisDataKv::GetRolLastVisCel() {
  CheckUpdateRolCelPosArr();
  return FRolLastVisCel;
}

Integer TGridAxisDataKv::GetRolLastFullVisCel() {
  CheckUpdateRolCelPosArr();
  return FRolLastFullVisCel;
}

Int64 TGridAxisDataKv::CheckRolStartVisPos(Int64 ARolStartVisPos) {
  Int64 Max = GetRolLen() - GetRolClientLen();
  return std::max<Int64>(std::min(ARolStartVisPos, Max), 0);
}

void TGridAxisDataKv::SafeSetRolStartVisCel(Integer NewStartCell, TScrollStepTypeKv ScrollStepType) {
  if (FRolCelCount == 0) return;
  Integer Cel = std::clamp(NewStartCell, 0, FRolCelCount - 1);
  Int64 P = GetRolLocCelPosArr(Cel);
  Int64 Max = GetRolLen() - GetRolClientLen();
  if (P > Max) {
    if (ScrollStepType == sstByCellKv) {
      SetRolStartVisPos(GetRolLocCelPosArr(CalcMaxStartCellFor(FRolCelCount - 1)));
      return;
    }
    P = Max;
  }
  SetRolStartVisPos(CheckRolStartVisPos(P));
}

Integer TGridAxisDataKv::CalcMaxStartCellFor(Integer RolFinishCell) {
  CheckUpdateRolCelPosArr();
  Integer Finish = std::clamp(RolFinishCell, 0, FRolCelCount - 1);
  Int64 End = FRolLocCelPosArr[size_t(Finish)] + FRolCelLens[size_t(Finish)];
  // The first cell that starts at or after End - RolClientLen: from there up to Finish fits.
  auto First = std::lower_bound(FRolLocCelPosArr.begin(), FRolLocCelPosArr.begin() + Finish,
                                End - GetRolClientLen());
  return Integer(First - FRolLocCelPosArr.begin());
}

Integer TGridAxisDataKv::LastCelStartingAtOrBefore(Int64 Pos) const {
  auto It = std::upper_bound(FRolLocCelPosArr.begin(), FRolLocCelPosArr.end(), Pos);
  return std::max(Integer(It - FRolLocCelPosArr.begin()) - 1, 0);
}

void TGridAxisDataKv::RolCellAtPos(Int64 Pos, Integer& ACel, Integer& ACelOffset) {
  CheckUpdateRolCelPosArr();
  if (FRolCelCount == 0) {
    ACel = 0;
    ACelOffset = GridAxisClampToInteger(Pos);
    return;
  }
  // Among cells sharing a start (zero lengths) the answer is the one that holds the pixel.
  ACel = Pos <= FRolLocCelPosArr[0] ? 0 : LastCelStartingAtOrBefore(Pos);
  ACelOffset = GridAxisClampToInteger(Pos - FRolLocCelPosArr[size_t(ACel)]);
}

void TGridAxisDataKv::UpdateVisCells() {
  if (FRolCelCount == 0) return;
  RolCellAtPos(FRolStartVisPos, FRolStartVisCel, FRolStartVisCelOfst);
  if (FFixedBoundary < FContraStart) {
    Int64 P = FRolStartVisPos + GetRolClientLen() - 1;
    Integer C, Offset;
    RolCellAtPos(P, C, Offset);
    // Hidden cells that start at the last visible pixel are shown too.
    Integer Last = std::max(C, LastCelStartingAtOrBefore(P));
    FRolLastVisCel = Last;
    FRolLastFullVisCel = Last;
    Int64 LastEnd = FRolLocCelPosArr[size_t(Last)] + FRolCelLens[size_t(Last)];
    if (LastEnd - 1 > P && Last > FRolStartVisCel) FRolLastFullVisCel = Last - 1;
  } else {
    FRolLastVisCel = FRolStartVisCel;
    FRolLastFullVisCel = FRolStartVisCel;
  }
}

Integer TGridAxisDataKv::GetScrollStep() const { return std::max((FContraStart - FFixedBoundary) / 20, 1); }

void TGridAxisDataKv::SwapRightToLeftPoses(Integer& Pos1, Integer& Pos2) const {
  Integer A = RightToLeftReflect(Pos1), B = RightToLeftReflect(Pos2);
  Pos1 = B;
  Pos2 = A;
}

void TGridAxisDataKv::MarkPositionsObsolete(Integer Index) {
  Index = std::max(Index, 0);
  if (FRolLocCelPosArrObsolete)
    FRolLocCelPosObsoleteFrom = std::min(FRolLocCelPosObsoleteFrom, Index);
  else
    FRolLocCelPosObsoleteFrom = Index;
  FRolLocCelPosArrObsolete = true;
}

void TGridAxisDataKv::RebuildPositions() {
  Integer From = std::min(FRolLocCelPosObsoleteFrom, FRolCelCount);
  if (From == 0 && FRolCelCount > 0) {
    FRolLocCelPosArr[0] = 0;
    From = 1;
  }
  for (Integer I = From; I < FRolCelCount; ++I)
    FRolLocCelPosArr[size_t(I)] = FRolLocCelPosArr[size_t(I) - 1] + FRolCelLens[size_t(I) - 1];
}

void TGridAxisDataKv::CheckUpdateRolCelPosArr() {
  if (!FRolLocCelPosArrObsolete) return;
  RebuildPositions();
  // Cleared before anything reads a position, so the layout below finds them current.
  FRolLocCelPosArrObsolete = false;
  UpdateVisCells();
  FGrid->RolPositionsUpdated();
}

void TGridAxisDataKv::CheckUpdateAxises() { FGrid->CheckUpdateAxes(); }

// ---- Comparison -------------------------------------------------------------------------------

bool AxisLensEqual(TGridAxisDataKv* A, TGridAxisDataKv* B) {
  Integer Count = A->GetFullCelCount();
  if (Count != B->GetFullCelCount()) return false;
  for (Integer I = 0; I < Count; ++I)
    if (A->GetCelLens(I) != B->GetCelLens(I)) return false;
  return true;
}
