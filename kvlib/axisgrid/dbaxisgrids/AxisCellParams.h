#pragma once
// The parameters of one cell of the axis grid, refilled for every cell from its bar and handed
// to the grid's and the bar's cell events before the cell is painted or edited.

#include "framework/Graphics.h"
#include "framework/stdctrls/StdTypes.h"
#include "framework/controls/Alignment.h"
#include "kvlib/grids/gridskv/CustomGrid.h"

class TAxisColCellParamsKv : public TObject {
  DECLARE_CLASS(TAxisColCellParamsKv, TObject)
 public:
  TAxisColCellParamsKv() = default;

  Integer GetCol() const { return FCol; }
  void SetCol(Integer Value) { FCol = Value; }
  Integer GetRow() const { return FRow; }
  void SetRow(Integer Value) { FRow = Value; }
  TGridDrawState GetState() const { return FState; }
  void SetState(TGridDrawState Value) { FState = Value; }
  // Not owned: the grid's scratch font or a caller's.
  TFont* GetFont() const { return FFont; }
  void SetFont(TFont* Value) { FFont = Value; }
  TColor GetBackground() const { return FBackground; }
  void SetBackground(TColor Value) { FBackground = Value; }
  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value) { FAlignment = Value; }
  Integer GetImageIndex() const { return FImageIndex; }
  void SetImageIndex(Integer Value) { FImageIndex = Value; }
  const String& GetText() const { return FText; }
  void SetText(const String& Value) { FText = Value; }
  TCheckBoxState GetCheckboxState() const { return FCheckboxState; }
  void SetCheckboxState(TCheckBoxState Value) { FCheckboxState = Value; }
  bool GetReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }
  bool GetTextEditing() const { return FTextEditing; }
  void SetTextEditing(bool Value) { FTextEditing = Value; }
  bool GetBlankCell() const { return FBlankCell; }
  void SetBlankCell(bool Value) { FBlankCell = Value; }
  bool GetTextIsLink() const { return FTextIsLink; }
  void SetTextIsLink(bool Value) { FTextIsLink = Value; }
  bool GetImageIsLink() const { return FImageIsLink; }
  void SetImageIsLink(bool Value) { FImageIsLink = Value; }
  Integer GetAxisBarIndex() const { return FAxisBarIndex; }
  void SetAxisBarIndex(Integer Value) { FAxisBarIndex = Value; }

 private:
  Integer FCol = 0;
  Integer FRow = 0;
  TGridDrawState FState;
  TFont* FFont = nullptr;
  TColor FBackground = clWindow;
  TAlignment FAlignment = taLeftJustify;
  Integer FImageIndex = -1;
  String FText;
  TCheckBoxState FCheckboxState = cbUnchecked;
  bool FReadOnly = false;
  bool FTextEditing = true;
  bool FBlankCell = false;
  bool FTextIsLink = false;
  bool FImageIsLink = false;
  Integer FAxisBarIndex = -1;
};
