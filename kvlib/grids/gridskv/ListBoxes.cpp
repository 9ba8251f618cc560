// The list box: items and their two index spaces, the filter with its cached upper-cased texts,
// selection, drawing, and the item objects' hooks into keys and mouse.

#include "kvlib/grids/gridskv/ListBoxes.h"

#include <algorithm>

#include "framework/ImgList.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "kvlib/foundation/KvLibVCL.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/grids/gridskv/GridFinally.h"

namespace {

constexpr TColor ListBoxesHighlightColor = TColor(0x0080FFFF);  // pale yellow behind filter hits

// The object stored in the visible items: the item's data index.
TObject* ListBoxesIndexObject(Integer DataIndex) { return reinterpret_cast<TObject*>(intptr_t(DataIndex)); }
Integer ListBoxesObjectIndex(TObject* Obj) { return Integer(reinterpret_cast<intptr_t>(Obj)); }

bool ListBoxesMatch(const String& Value, const String& Filter, TLSAutoFilterTypeKv FilterType) {
  if (FilterType == lsftBeginsWithKv) return Value.compare(0, Filter.size(), Filter) == 0;
  return Value.find(Filter) != String::npos;
}

}  // namespace

// ---- Item objects ------------------------------------------------------------------------------

bool TCustomListboxItemKv::IsPlainItem() { return true; }

void TCustomListboxItemKv::GetDisplayText(TCustomListboxKv* Sender, Integer ItemIndex, String& Text) {
  Text = String();
  Sender->GetDataItemText(ItemIndex, Text);
}

void TCustomListboxItemKv::DrawItem(TCustomListboxKv* Sender, Integer ItemIndex, TGridDrawState State,
                                    const TRect& ARect) {
  Sender->DefaultDrawItem(Sender->DataIndexToVisibleIndex(ItemIndex), ARect, State);
}

void TCustomListboxItemKv::MouseDown(TCustomListboxKv*, Integer, TMouseButton, TShiftState, const TPoint&) {}
void TCustomListboxItemKv::MouseMove(TCustomListboxKv*, Integer, TShiftState, const TPoint&) {}
void TCustomListboxItemKv::MouseUp(TCustomListboxKv*, Integer, TMouseButton, TShiftState, const TPoint&) {}
void TCustomListboxItemKv::KeyPress(TCustomListboxKv*, Integer, Char&, TShiftState, bool&) {}
bool TCustomListboxItemKv::IsDataItem() { return true; }
void TCustomListboxItemKv::Execute(TCustomListboxKv*, Integer, const TPoint&, TShiftState) {}

void TPopupListboxItemKv::PopupMouseUp(TCustomListboxKv* Sender, Integer ItemIndex, bool& IsMouseUpCloseListbox,
                                       TShiftState, TMouseButton, const TPoint&) {
  IsMouseUpCloseListbox = CloseOnExecute(Sender, ItemIndex);
}

bool TPopupListboxItemKv::CloseOnExecute(TCustomListboxKv*, Integer) { return true; }

// ---- Creation ---------------------------------------------------------------------------------

TCustomListboxKv::TCustomListboxKv(TComponent* AOwner)
    : TCustomGridKv(AOwner),
      FItems(std::make_unique<TStringList>()),
      FVisibleIterms(std::make_unique<TStringList>()) {
  SetOptions(TGridOptionsKv{goDrawFocusSelectedKv});
  FItems->SetOnChange({this, &TCustomListboxKv::ItemsChanged});
  SetFixedColCount(0);
  SetColCount(1);
  SetFixedRowCount(0);
  SetRowCount(1);
  GetHorzScrollBar()->SetVisibleMode(sbNeverShowKv);
  SetSizeGripAlwaysShow(true);
}

TCustomListboxKv::~TCustomListboxKv() {
  // A late change notice must not reach a half-destroyed list.
  FItems->SetOnChange(nullptr);
}

void TCustomListboxKv::Notification(TComponent* AComponent, TOperation Operation) {
  inherited::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FImageList) {
    FImageList = nullptr;
    InvalidateGrid();
  }
}

// ---- Items and their texts ----------------------------------------------------------------------

TStrings* TCustomListboxKv::GetItems() { return FItems.get(); }

void TCustomListboxKv::SetItems(TStrings* Value) { GetItems()->Assign(Value); }

void TCustomListboxKv::GetDataItemText(Integer DataIndex, String& Text) {
  TStrings* L = GetItems();
  if (DataIndex >= 0 && DataIndex < L->GetCount()) Text = L->GetStrings(DataIndex);
}

void TCustomListboxKv::GetItemText(Integer VisibleIndex, String& Text) {
  Integer D = VisibleIndexToDataIndex(VisibleIndex);
  if (D < 0) return;
  if (TCustomListboxItemKv* Obj = ItemObjectOf(D))
    Obj->GetDisplayText(this, D, Text);
  else
    GetDataItemText(D, Text);
}

TCustomListboxItemKv* TCustomListboxKv::ItemObjectOf(Integer DataIndex) {
  if (!FUseItemObjects) return nullptr;
  TStrings* L = GetItems();
  if (DataIndex < 0 || DataIndex >= L->GetCount()) return nullptr;
  return dynamic_cast<TCustomListboxItemKv*>(L->GetObjects(DataIndex));
}

void TCustomListboxKv::ItemsChanged(TObject*) {
  FFilterTextsValid = false;
  ResetVisibleIterms();
  if (FVirtualItems) return;
  UpdateRowCount();
  InvalidateGrid();
}

Integer TCustomListboxKv::GetCount() { return FVirtualItems ? FVirtualRowCount : FItems->GetCount(); }

void TCustomListboxKv::SetCount(Integer Value) {
  if (!FVirtualItems) throw Exception(L"Can't assign Count when list is not virtual");
  if (Value < 0) Value = 0;
  if (Value == FVirtualRowCount) return;
  FVirtualRowCount = Value;
  UpdateRowCount();
  InvalidateGrid();
}

void TCustomListboxKv::SetVirtualItems(bool Value) {
  if (FVirtualItems == Value) return;
  FVirtualItems = Value;
  UpdateRowCount();
}

void TCustomListboxKv::SetImageList(TCustomImageList* Value) {
  if (FImageList == Value) return;
  if (FImageList) FImageList->RemoveFreeNotification(this);
  FImageList = Value;
  if (FImageList) FImageList->FreeNotification(this);
  InvalidateGrid();
}

void TCustomListboxKv::SetItemHeight(Integer Value) {
  if (Value < 0 || Value == FItemHeight) return;
  FItemHeight = Value;
  SetDefaultRowHeight(Value);
  UpdateRowCount();
}

void TCustomListboxKv::SetUseItemObjects(bool Value) {
  if (FUseItemObjects == Value) return;
  FUseItemObjects = Value;
  InvalidateGrid();
}

void TCustomListboxKv::SetItemAlignment(TAlignment Value) {
  if (FItemAlignment == Value) return;
  FItemAlignment = Value;
  InvalidateGrid();
}

Integer TCustomListboxKv::GetTextHeight() {
  // Measured on the screen, so the height is known before the window exists.
  TCanvas* Measure = ScreenCanvasKv();
  Measure->SetFont(GetFont());
  Measure->RequiredState(TCanvasState{csHandleValid, csFontValid});
  TEXTMETRICW M{};
  GetTextMetricsW(Measure->GetHandle(), &M);
  return M.tmHeight + M.tmExternalLeading + M.tmInternalLeading;
}

// ---- Rows and sizes -----------------------------------------------------------------------------

Integer TCustomListboxKv::GetVisibleCount() const { return FVisibleIterms->GetCount(); }

void TCustomListboxKv::UpdateRowCount() {
  SetRowCount(std::max(1, GetVisibleCount()));
  // Only rows whose height differs are touched: a keystroke of the owner's filter stays one pass.
  const Integer H = GetDefaultRowHeight();
  for (Integer R = 0, N = GetRowCount(); R < N; ++R)
    if (GetRowHeights(R) != H) SetRowHeights(R, H);
}

void TCustomListboxKv::Resize() {
  inherited::Resize();
  Integer W = HandleAllocated() ? GetGridClientWidth() : GetWidth() - 1;
  if (W > 0 && GetColWidths(0) != W) SetColWidths(0, W);
}

// ---- Index spaces -------------------------------------------------------------------------------

Integer TCustomListboxKv::VisibleIndexToDataIndex(Integer VisibleIndex) {
  if (VisibleIndex < 0 || VisibleIndex >= GetVisibleCount()) return -1;
  return ListBoxesObjectIndex(FVisibleIterms->GetObjects(VisibleIndex));
}

Integer TCustomListboxKv::DataIndexToVisibleIndex(Integer DataIndex) {
  if (DataIndex < 0 || size_t(DataIndex) >= FDataToVisible.size()) return -1;
  return FDataToVisible[size_t(DataIndex)];
}

Integer TCustomListboxKv::VisibleItemAtPos(const TPoint& Pos, bool) {
  TGridCoord C = MouseCoord(Pos.X, Pos.Y);
  if (C.X < 0 || C.Y < 0 || C.Y >= GetVisibleCount()) return -1;
  return C.Y;
}

Integer TCustomListboxKv::ItemAtPos(const TPoint& Pos, bool Existing) {
  return VisibleIndexToDataIndex(VisibleItemAtPos(Pos, Existing));
}

Integer TCustomListboxKv::StrictVisibleIndexToClient(Integer X, Integer Y) {
  if (X < 0 || X >= GetClientWidth()) X = 0;
  if (Y < 0) return GetVisibleCount() > 0 ? std::min(GetTopRow(), GetVisibleCount() - 1) : -1;
  if (Y >= GetClientHeight()) Y = GetClientHeight() - 1;
  return VisibleItemAtPos(TPoint(X, Y), true);
}

Integer TCustomListboxKv::StrictIndexToClient(Integer X, Integer Y) {
  return VisibleIndexToDataIndex(StrictVisibleIndexToClient(X, Y));
}

void TCustomListboxKv::InvalidateIndex(Integer AItemIndex) {
  if (AItemIndex < 0 || AItemIndex >= GetRowCount()) return;
  InvalidateRow(AItemIndex);
}

// ---- Selection ----------------------------------------------------------------------------------

Integer TCustomListboxKv::GetItemVisibleIndex() {
  if (!FRowSeleced || GetRow() >= GetVisibleCount()) return -1;
  return GetRow();
}

Integer TCustomListboxKv::GetItemIndex() { return VisibleIndexToDataIndex(GetItemVisibleIndex()); }

void TCustomListboxKv::SetItemVisibleIndex(Integer Value) {
  if (Value >= 0 && Value < GetVisibleCount()) {
    if (FRowSeleced && GetRow() == Value) return;
    FocusCell(0, Value, true);
    InvalidateRow(Value);
  } else if (Value == -1 && FRowSeleced) {
    Integer Old = GetRow();
    FRowSeleced = false;
    MoveCurrentCell(0, 0, true, true);
    InvalidateIndex(Old);
    InvalidateRow(0);
  }
}

void TCustomListboxKv::SetItemIndex(Integer Value) {
  // Hidden items map to -1, so naming one selects nothing.
  if (!FFilterStr.empty()) Value = DataIndexToVisibleIndex(Value);
  SetItemVisibleIndex(Value);
}

void TCustomListboxKv::FocusCell(Integer ACol, Integer ARow, bool MoveAnchor) {
  inherited::FocusCell(ACol, ARow, MoveAnchor);
  FRowSeleced = GetVisibleCount() > 0;
}

void TCustomListboxKv::ReselectDataIndex(Integer DataIndex) {
  Integer V = DataIndexToVisibleIndex(DataIndex);
  if (V >= 0) {
    FRowSeleced = false;
    SetItemVisibleIndex(V);
  } else if (FRowSeleced) {
    SetItemVisibleIndex(-1);
  }
}

// ---- Filter -------------------------------------------------------------------------------------

bool TCustomListboxKv::ValueIsHitFilter(const String& Value) {
  if (FFilterStr.empty()) return true;
  if (!FFilterCaseInsensitive) return ListBoxesMatch(Value, FFilterStr, FFilterType);
  return ListBoxesMatch(AnsiUpperCase(Value), AnsiUpperCase(FFilterStr), FFilterType);
}

void TCustomListboxKv::RebuildFilterTexts() {
  TStrings* L = GetItems();
  const Integer N = L->GetCount();
  const bool Owned = L == FItems.get();
  if (Owned && FFilterTextsValid && FFilterTexts.size() == size_t(N)) return;
  // An outside list tells nobody of its changes: keep what still matches, redo the rest.
  FFilterTexts.resize(size_t(N));
  FFilterUpperTexts.resize(size_t(N));
  for (Integer I = 0; I < N; ++I) {
    String S = L->GetStrings(I);
    if (FFilterTextsValid && FFilterTexts[size_t(I)] == S) continue;
    FFilterUpperTexts[size_t(I)] = AnsiUpperCase(S);
    FFilterTexts[size_t(I)] = std::move(S);
  }
  FFilterTextsValid = true;
}

void TCustomListboxKv::ResetVisibleIterms() {
  TStrings* L = GetItems();
  const Integer N = L->GetCount();
  FDataToVisible.assign(size_t(N), -1);
  FVisibleIterms->BeginUpdate();
  TGridFinallyKv EndUpdate([this] { FVisibleIterms->EndUpdate(); });
  FVisibleIterms->Clear();
  if (FFilterStr.empty()) {
    FVisibleIterms->SetCapacity(N);
    for (Integer I = 0; I < N; ++I) {
      FVisibleIterms->AddObject(L->GetStrings(I), ListBoxesIndexObject(I));
      FDataToVisible[size_t(I)] = I;
    }
    return;
  }
  RebuildFilterTexts();
  const std::vector<String>& Texts = FFilterCaseInsensitive ? FFilterUpperTexts : FFilterTexts;
  const String& Filter = FFilterCaseInsensitive ? FFilterUpperStr : FFilterStr;
  for (Integer I = 0; I < N; ++I) {
    if (!ListBoxesMatch(Texts[size_t(I)], Filter, FFilterType)) continue;
    FDataToVisible[size_t(I)] = FVisibleIterms->AddObject(FFilterTexts[size_t(I)], ListBoxesIndexObject(I));
  }
}

void TCustomListboxKv::ApplyFilter(const String& AFilterStr, TLSAutoFilterTypeKv AFilterType, bool ACaseInsensitive) {
  Integer Selected = GetItemIndex();
  FFilterStr = AFilterStr;
  FFilterType = AFilterType;
  FFilterCaseInsensitive = ACaseInsensitive;
  FFilterUpperStr = ACaseInsensitive ? AnsiUpperCase(AFilterStr) : String();
  ResetVisibleIterms();
  UpdateRowCount();
  CheckScrollPositions(false, false, true, true);
  ReselectDataIndex(Selected);
  InvalidateGrid();
}

void TCustomListboxKv::ClearFilter() {
  if (FFilterStr.empty()) return;
  Integer Selected = GetItemIndex();
  FFilterStr = String();
  FFilterUpperStr = String();
  FFilterType = lsftBeginsWithKv;
  FFilterCaseInsensitive = false;
  ResetVisibleIterms();
  UpdateRowCount();
  ReselectDataIndex(Selected);
  InvalidateGrid();
}

// ---- Drawing ------------------------------------------------------------------------------------

void TCustomListboxKv::DrawCell(Integer, Integer ARow, const TRect& ARect, TGridDrawState State) {
  if (ARow >= GetVisibleCount()) {
    // The blank row of an empty list.
    GetCanvas()->GetBrush()->SetColor(GetStyledSystemColor(GetColor()));
    GetCanvas()->FillRect(ARect);
    return;
  }
  if (!FRowSeleced) State = State - TGridDrawState{gdSelected, gdFocused, gdCurrent};
  DrawItem(ARow, ARect, State);
}

void TCustomListboxKv::DrawItem(Integer VisibleIndex, const TRect& ARect, TGridDrawState State) {
  Integer D = VisibleIndexToDataIndex(VisibleIndex);
  if (TCustomListboxItemKv* Obj = ItemObjectOf(D))
    Obj->DrawItem(this, D, State, ARect);
  else
    DefaultDrawItem(VisibleIndex, ARect, State);
}

void TCustomListboxKv::DefaultDrawItem(Integer VisibleIndex, const TRect& ARect, TGridDrawState State) {
  TCanvas* Canvas = GetCanvas();
  const bool HasItem = VisibleIndex >= 0 && VisibleIndex < GetVisibleCount();
  String Text;
  if (HasItem) GetItemText(VisibleIndex, Text);
  Canvas->SetFont(GetFont());
  const bool Classic = GetSelectionDrawParams()->GetActualSelectionStyle() == gsdsClassicKv;
  const bool RightToLeft = UseRightToLeftReading();
  auto SetColors = [&](bool Highlight) {
    Canvas->GetBrush()->SetColor(GetStyledSystemColor(Highlight ? clHighlight : GetColor()));
    Canvas->GetFont()->SetColor(GetStyledSystemColor(Highlight ? clHighlightText : GetFont()->GetColor()));
  };
  if (!FImageList) {
    SetColors(Classic && ((FRowSeleced && VisibleIndex == GetRow()) || State.Contains(gdSelected)));
    Canvas->FillRect(ARect);
    if (!Classic) DrawThemedSelection(0, VisibleIndex, ARect, State);
    WriteTextKv(Canvas, ARect, false, 2, 0, Text, Integer(FItemAlignment), 0, false, false, 0, 0, RightToLeft ? 1 : 0,
                true);
    if (!FFilterStr.empty() && HasItem) {
      Integer OutOfView = 0;
      DrawTextSearchHighlights(Canvas, ARect, 2, 0, Text, Integer(FItemAlignment), false, false, 0, 0, 0, 0,
                               FFilterStr, FFilterCaseInsensitive, false, FFilterType == lsftBeginsWithKv,
                               ListBoxesHighlightColor, 0, 0, OutOfView);
    }
    return;
  }
  TRect R = ARect;
  const bool Mirrored = CanvasReflectRect(R);
  TGridFinallyKv Restore([&] {
    if (Mirrored) ReflectOwnCanvas();
  });
  SetColors(Classic && State.Contains(gdSelected));
  const Integer ImageCellWidth = FImageList->GetWidth() + 4;
  TRect ImageCell = R, TextCell = R;
  if (RightToLeft) {
    ImageCell.Left = R.Right - ImageCellWidth;
    TextCell.Right = ImageCell.Left;
  } else {
    ImageCell.Right = R.Left + ImageCellWidth;
    TextCell.Left = ImageCell.Right;
  }
  Integer ImageIndex = VisibleIndexToDataIndex(VisibleIndex);
  if (FOnGetImageIndex) FOnGetImageIndex(GetOwner(), ImageIndex, ImageIndex);
  Canvas->FillRect(ImageCell);
  Canvas->FillRect(TextCell);
  if (!Classic && State.Contains(gdSelected)) DrawThemedSelection(0, VisibleIndex, TextCell, State);
  FImageList->Draw(Canvas, ImageCell.Left + (ImageCellWidth - FImageList->GetWidth()) / 2,
                   ImageCell.Top + (ImageCell.Height() - FImageList->GetHeight()) / 2, ImageIndex,
                   State.Contains(gdSelected) ? dsSelected : dsNormal, itImage, true);
  if (HasItem)
    WriteTextKv(Canvas, TextCell, false, 2, 0, Text, RightToLeft ? Integer(taRightJustify) : Integer(taLeftJustify), 0,
                false, false, 0, 0, RightToLeft ? 1 : 0, true);
}

// ---- Keys and mouse -----------------------------------------------------------------------------

void TCustomListboxKv::KeyDown(Word& Key, TShiftState Shift) {
  const bool Plain = !Shift.Contains(ssShift) && !Shift.Contains(ssAlt) && !Shift.Contains(ssCtrl);
  if (Key == VK_DOWN && Plain && !FRowSeleced && GetVisibleCount() > 0) {
    SetItemVisibleIndex(0);
    Key = 0;
    return;
  }
  inherited::KeyDown(Key, Shift);
}

void TCustomListboxKv::KeyPress(Char& Key) {
  if (FRowSeleced && FUseItemObjects) {
    Integer D = GetItemIndex();
    if (TCustomListboxItemKv* Obj = ItemObjectOf(D)) {
      bool Flag = false;
      Obj->KeyPress(this, D, Key, GetShiftStateKv(), Flag);
    }
  }
  inherited::KeyPress(Key);
}

void TCustomListboxKv::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  inherited::MouseDown(Button, Shift, X, Y);
  // The grid moves its current cell on a press; the row under the mouse is the selected item.
  Integer V = VisibleItemAtPos(TPoint(X, Y), true);
  if (Button == mbLeft && V >= 0 && V == GetRow() && !FRowSeleced) {
    FRowSeleced = true;
    InvalidateRow(V);
  }
  Integer D = VisibleIndexToDataIndex(V);
  if (TCustomListboxItemKv* Obj = ItemObjectOf(D)) Obj->MouseDown(this, D, Button, Shift, TPoint(X, Y));
}

void TCustomListboxKv::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  inherited::MouseMove(Shift, X, Y);
  Integer D = ItemAtPos(TPoint(X, Y), true);
  if (TCustomListboxItemKv* Obj = ItemObjectOf(D)) Obj->MouseMove(this, D, Shift, TPoint(X, Y));
}

void TCustomListboxKv::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  Integer D = ItemAtPos(TPoint(X, Y), true);
  if (D < 0) D = StrictIndexToClient(X, Y);
  if (TCustomListboxItemKv* Obj = ItemObjectOf(D)) Obj->MouseUp(this, D, Button, Shift, TPoint(X, Y));
  inherited::MouseUp(Button, Shift, X, Y);
}
