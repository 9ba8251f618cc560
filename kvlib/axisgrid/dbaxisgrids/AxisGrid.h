#pragma once
// TCustomDBAxisGridKv: the data-aware layer over the base grid. It shows one dataset through
// its bars, keeps the bars in step with the dataset's fields (the layout pass), and writes the
// in-place editor's value back (UpdateData). Layout and update locks nest; the outermost end of
// a layout block runs the pass once, and a grid that cannot lay out now posts itself
// WM_USER + 100 (at most one queued at a time).
// TAxisGridDataLinkKv is its data link, with the column-to-field map.

#include <memory>
#include <vector>

#include "framework/db/DataLink.h"
#include "kvlib/axisgrid/dbaxisgrids/AxisBars.h"
#include "kvlib/foundation/DBGridServicesKv.h"
#include "kvlib/foundation/KvLibVCL.h"
#include "kvlib/foundation/MemTableIntfKv.h"
#include "kvlib/grids/gridskv/CustomGrid.h"

class TCustomDBAxisGridKv;
class TDynVarsKv;
class TEditButtonsBoxKv;
class TEditButtonControlKv;
class TEditButtonKv;
class TInCellPlaceBoxKv;
class TPopupMenu;

// The deferred layout message a grid posts to itself.
constexpr Cardinal WM_DEFERREDLAYOUTKV = WM_USER + 100;
// A map never grows past this many columns.
constexpr Integer MaxMapSizeKv = 0x0FFFFFFF;

DECLARE_ENUM(TDBGridKvAllowedOperation, alopInsertKv, alopUpdateKv, alopDeleteKv, alopAppendKv)
using TDBGridKvAllowedOperations = Set<TDBGridKvAllowedOperation, 8>;

class TAxisGridDataLinkKv : public TDataLink {
  DECLARE_CLASS(TAxisGridDataLinkKv, TDataLink)
 public:
  explicit TAxisGridDataLinkKv(TCustomDBAxisGridKv* AGrid);
  ~TAxisGridDataLinkKv() override;

  // Raises EInvalidGridOperationKv past MaxMapSizeKv entries, leaving the map as it was.
  bool AddMapping(const String& FieldName);
  // The same for a field already found at FieldIndex of the dataset's fields (nil: missing).
  void AddMappingOf(TField* Field, Integer FieldIndex);
  void ClearMapping();
  // Nil outside the map or for a missing field.
  TField* GetFields(Integer I);
  // The map entry, -1 outside the map.
  Integer GetMappedIndex(Integer ColIndex) const;
  Integer GetFieldCount() const { return FFieldCount; }
  Integer GetFieldMapSize() const { return FFieldMapSize; }
  bool GetDefaultFields();
  TCustomDBAxisGridKv* GetGrid() const { return FGrid; }
  bool GetSparseMap() const { return FSparseMap; }
  void SetSparseMap(bool Value) { FSparseMap = Value; }
  void Modified() { FModified = true; }
  bool GetModified() const { return FModified; }
  bool GetInUpdateData() const { return FInUpdateData; }
  void SetInUpdateData(bool Value) { FInUpdateData = Value; }
  const TBookmark& GetLastBookmark() const { return FLastBookmark; }
  TDataSetState GetLastDataSetState() const { return FLastDataSetState; }
  void Reset();
  // Public for the grid, which relays its own layout changes through the link.
  void LayoutChanged() override;

 protected:
  // The most columns the map holds: MaxMapSizeKv.
  virtual Integer GetMaxMapSize() const { return MaxMapSizeKv; }
  void ActiveChanged() override;
  void CheckBrowseMode() override;
  void DataSetChanged() override;
  void DataSetScrolled(Integer Distance) override;
  void EditingChanged() override;
  void FocusControl(TField*& Field) override;
  void RecordChanged(TField* Field) override;
  void UpdateData() override;

 private:
  void TakeLastBookmark();
  Integer FFieldCount = 0;
  std::vector<Integer> FFieldMap;
  Integer FFieldMapSize = 0;
  TCustomDBAxisGridKv* FGrid;
  bool FInUpdateData = false;
  bool FSparseMap = false;
  bool FModified = false;
  TBookmark FLastBookmark;
  TDataSetState FLastDataSetState = dsInactive;
};

class TCustomDBAxisGridKv : public TCustomGridKv, public ISideOwnerKv, public IDBAxisGridKv {
  DECLARE_CLASS(TCustomDBAxisGridKv, TCustomGridKv)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_DEFERREDLAYOUTKV, TMessage, WMDeferredLayout)
    MESSAGE_HANDLER(CM_FONTCHANGED, TMessage, CMFontChanged)
  END_MESSAGE_MAP

 public:
  explicit TCustomDBAxisGridKv(TComponent* AOwner);
  ~TCustomDBAxisGridKv() override;

  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }

  // ---- ISideOwnerKv -----------------------------------------------------------------------------
  bool IsSidePropertyName(const String& PropertyName) override;
  bool CanSideOwnComponent(TComponent* AComponent) override;

  // ---- New virtual operations, in slot order -----------------------------------------------------
  virtual bool DefaultTrueQuery() { return true; }
  virtual void GetMouseDownInfo(TPoint& Pos, Cardinal& Time);
  virtual void EditorKeyDownHook(TObject*, Word&, TShiftState) {}
  virtual void EditorKeyPressHook(TObject*, Char&) {}
  virtual void EditorKeyHook(TObject*, Word&, TShiftState) {}
  virtual bool EditorHook(TObject*, TMessage&) { return false; }
  virtual Integer GetCellTextBoundIndexAt(const TPoint&) { return -1; }
  virtual bool AcquireEditFocus();
  virtual bool CanAppendOrEdit();
  virtual String GetAxisBarsPropertyName() { return L"<Define property Name>"; }
  virtual bool IsColumnEditable(TAxisBarKv*) { return false; }
  virtual bool CanEditModifyCell();
  virtual bool CanReshowEditor() { return false; }
  virtual void GetCellDataRect(Integer ACol, Integer ARow, TRect& ARect);
  virtual bool CellIs3D(TGridDrawState State) { return State.Contains(gdFixed); }
  virtual TAxisBarDefValuesKv* CreateAxisBarDefValues();
  virtual TGridAxisBarsKv* CreateAxisBars();
  virtual TAxisColCellParamsKv* CreateColCellParams();
  virtual TAxisGridDataLinkKv* CreateDataLink();
  virtual TAlignment GetDefaultTitleAlignment() { return taLeftJustify; }
  virtual TColor GetDefaultTitleColor() { return GetFixedColor(); }
  virtual TAxisBarKv* GetColumnAtTitlePoint(const TPoint&) { return nullptr; }
  virtual TInCellPlaceBoxKv* GetCellPlaceBox(Integer, Integer) { return nullptr; }
  virtual TAxisColCellParamsKv* GetColCellParams();
  virtual Integer GetAxisBarDataCellHorzOffset() { return 3; }
  virtual Integer GetEditButtonAutoFade(Integer, Integer) { return 0; }
  virtual TEditButtonsBoxKv* GetEditButtonsBox() { return nullptr; }
  virtual TInCellPlaceBoxKv* GetInCellPlaceBoxAt(Integer, Integer, const TPoint&) { return nullptr; }
  virtual WPARAM GetDeferredLayoutParam() { return 0; }
  virtual Integer GetSelectedIndex() override { return -1; }
  virtual TColor GetSelectionColor();
  virtual Integer GetTitleSortMarkerStyle() { return 0; }
  // Raises: descendants keep the title font.
  virtual TFont* GetTitleFont();
  virtual bool IsEditButtonsBoxVisible() { return false; }
  virtual bool IsFixed3D() { return true; }
  virtual bool IsFocusWithin();
  virtual bool IsWaitingClickMessage(LPARAM Value);
  // Link hover tests of the hot cell; the descendant that lays cell text out answers them.
  virtual bool IsMouseOverCellImage() { return false; }
  virtual bool IsMouseOverCellLink() { return false; }
  virtual bool IsMouseOverCellText() { return false; }
  virtual bool IsMemTableDataSet() { return FIntMemTable != nullptr; }
  virtual void AxisBarDeleting(TAxisBarKv*) {}
  virtual TEditButtonControlKv* CreateEditButtonControl() { return nullptr; }
  virtual void DataChanged() {}
  virtual void DefineFieldMap();
  // Drawing of data cells; the cell-drawing layer fills these in.
  virtual void DrawCellArea(const TGridCoord&, const TGridCoord&, TAxisBarKv*, const TRect&, TAxisColCellParamsKv*) {}
  virtual void DrawDataCellContent(const TGridCoord&, const TGridCoord&, TAxisBarKv*, const TRect&,
                                   TAxisColCellParamsKv*, const TRect&) {}
  virtual void PaintBorder() {}
  virtual void DrawCellData(TCanvas*, TAxisBarKv*, const TRect&, bool /*Fill*/, bool /*Zoom*/) {}
  virtual void DrawCheckBoxFrame(TCanvas*, const TRect&, bool /*Pressed*/, TCheckBoxState) {}
  virtual void DoEditButtonClick();
  virtual void EditButtonDefaultAction(TAxisBarKv*, TEditButtonKv*, bool& /*Handled*/) {}
  virtual void EditingChanged();
  virtual void FillCellBackground(const TRect&, bool /*Highlighted*/, bool /*Is3D*/, TAxisColCellParamsKv*) {}
  virtual void FormSystemPopupMenuForColumn(TAxisBarKv*, TPopupMenu*) {}
  virtual void GetDataCellParams() {}
  virtual TGridCoord GetAxisBarCell(TAxisBarKv* AxisBar);
  virtual void GetDatasetFieldList(TList* FieldList);
  // Widens a content rectangle by 2 pixels at the right and at the bottom, as asked.
  virtual void AdjustCellContentRect(TRect& ARect, bool Right, bool Bottom);
  virtual void HideEditButtonsBox() {}
  virtual void InternalLayout();
  virtual void LayoutChanged();
  virtual void LinkActive(bool Value);
  virtual void FillLookupValues(TAxisBarKv*) {}
  virtual void BindAxisBarsToFields();
  virtual void RecordChanged(TField* Field);
  virtual void Scroll(Integer) {}
  virtual void UpdateSelectionActive();
  virtual void EditButtonHeightChanged() {}
  virtual void SetDataSource(TDataSource* Value);
  // Raises: descendants map bars to columns.
  virtual void SetSelectedIndex(Integer Value) override;
  virtual void SetTitleFont(TFont* Value);
  virtual void UpdateActive() {}
  virtual void UpdateCellTextBoundsAtPos(const TPoint&);
  virtual void UpdatePlaceBoxListForCell(Integer, Integer);
  virtual Integer GetCellTreeElmentsAreaWidth() { return 0; }
  virtual bool CheckFillDataCell(const TGridCoord&, const TGridCoord&, TAxisBarKv*, const TRect&,
                                 TAxisColCellParamsKv*) {
    return false;
  }
  // Whether the cell is drawn highlighted; may change the colour and the font.
  virtual bool HighlightDataCellColor(Integer, Integer, const String&, TGridDrawState, TColor&, TFont*) { return false; }
  virtual void CancelEditing() {}
  virtual void DefaultDrawDataCell(const TGridCoord&, const TGridCoord&, TAxisBarKv*, const TRect&,
                                   TAxisColCellParamsKv*) {}
  // Writes the editor's value to the dataset through the selected bar.
  virtual void UpdateData();

  // ---- Operations ---------------------------------------------------------------------------------
  void BeginUpdate();
  void EndUpdate();
  void BeginLayout();
  void EndLayout();
  bool TryBeginLayout();
  void EndLayoutQuiet();
  void EndLayoutDeferred();
  TDataSource* GetDataSource() override;
  bool DataSetActive();
  Integer GetFieldCount() { return GetDataLink()->GetFieldCount(); }
  TField* GetFields(Integer FieldIndex) { return GetDataLink()->GetFields(FieldIndex); }
  bool ValidFieldIndex(Integer FieldIndex) { return GetDataLink()->GetMappedIndex(FieldIndex) >= 0; }
  TField* GetSelectedField();
  void SetSelectedField(TField* Value);
  // Case-insensitive as the locale compares; nil when none.
  TAxisBarKv* FindFieldColumn(const String& FieldName);
  // Raises the family's "field not found" text when none.
  TAxisBarKv* GetFieldAxisBars(const String& FieldName);
  bool HasIntMemTable() { return FIntMemTable != nullptr; }
  TGridOptionsKv GetBaseGridOptions() const { return GetOptions(); }
  void SetBaseGridOptions(TGridOptionsKv Value) { SetOptions(Value); }
  void ShowEditor() override;
  void HideEditor() override;
  void InvalidateEditor() override;

  // ---- Properties -----------------------------------------------------------------------------------
  // The bars, the bar defaults, the data link and the cell parameters come from factories and
  // are made on first use, so that a descendant's factory is the one that runs.
  TGridAxisBarsKv* GetAxisBars();
  void SetAxisBars(TGridAxisBarsKv* Value) { GetAxisBars()->Assign(Value); }
  TAxisBarDefValuesKv* GetAxisBarDefValues();
  TAxisGridDataLinkKv* GetDataLink();
  TAxisBarsKvList* GetVisibleAxisBars() const { return FVisibleAxisBars.get(); }
  TDynVarsKv* GetDynProps() const { return FDynProps.get(); }
  bool GetDrawGraphicData() const { return FDrawGraphicData; }
  void SetDrawGraphicData(bool Value);
  bool GetDrawMemoText() const { return FDrawMemoText; }
  void SetDrawMemoText(bool Value);
  bool GetIncludeImageModules() const { return FIncludeImageModules; }
  void SetIncludeImageModules(bool Value) { FIncludeImageModules = Value; }
  bool GetReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  TDBGridKvAllowedOperations GetAllowedOperations() const { return FAllowedOperations; }
  void SetAllowedOperations(TDBGridKvAllowedOperations Value);
  TNotifyEvent GetOnEditButtonClick() const { return FOnEditButtonClick; }
  void SetOnEditButtonClick(const TNotifyEvent& Value) { FOnEditButtonClick = Value; }
  Integer GetInterlinear() const { return FInterlinear; }
  TFont* GetDummiFont() const { return FDummiFont.get(); }
  const String& GetEditTextValue() const { return FEditText; }
  void SetEditTextValue(const String& Value) { FEditText = Value; }
  const Variant& GetEditKeyValue() const { return FEditKeyValue; }
  void SetEditKeyValue(const Variant& Value) { FEditKeyValue = Value; }
  IMemTableKv* GetIntMemTable() const { return FIntMemTable; }
  bool GetLayoutFromDataset() const { return FLayoutFromDataset; }
  Integer GetUpdateLock() const { return FUpdateLock; }
  Integer GetLayoutLock() const { return FLayoutLock; }
  TGridCoord GetHotTrackCell() const { return FHotTrackCell; }
  bool GetDestroying() const { return GetComponentState().Contains(csDestroying); }
  bool GetLoading() const { return GetComponentState().Contains(csLoading); }

 protected:
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void ChangeScale(Integer M, Integer D, bool IsDpiChange) override;
  bool CanEditModify() override { return false; }
  void SetEditText(Integer ACol, Integer ARow, const String& Value) override;
  String GetEditText(Integer ACol, Integer ARow) override;
  void WMDeferredLayout(TMessage& Message);
  void CMFontChanged(TMessage& Message);

  TDBGridKvAllowedOperations FAllowedOperations;
  std::unique_ptr<TGridAxisBarsKv> FAxisBars;
  std::unique_ptr<TAxisColCellParamsKv> FColCellParamsKv;
  std::unique_ptr<TAxisBarDefValuesKv> FColumnDefValues;
  std::unique_ptr<TAxisGridDataLinkKv> FDataLink;
  bool FDefaultDrawing = true;
  std::unique_ptr<TFont> FDummiFont;
  std::unique_ptr<TDynVarsKv> FDynProps;
  bool FIncludeImageModules = false;
  bool FLayoutChangedInUpdateLock = false;
  // Plain ints: nesting deeper than a byte must not wrap.
  Integer FLayoutLock = 0;
  TNotifyEvent FOnEditButtonClick;
  bool FReadOnly = false;
  Integer FUpdateLock = 0;
  bool FUserChange = true;
  bool FAcquireFocus = true;
  bool FAllowWordWrap = false;
  Integer FBorderWidth = 0;
  Cardinal FDownMouseMessageTime = 0;
  TPoint FDownMousePos;
  bool FDrawGraphicData = false;
  bool FDrawMemoText = false;
  Variant FEditKeyValue;
  String FEditText;
  Integer FInterlinear = 4;
  IMemTableKv* FIntMemTable = nullptr;  // the dataset's; descendants set and release it
  bool FLayoutFromDataset = false;
  Integer FLockEditorCount = 0;
  TPoint FMoveMousePos;
  bool FSelectionActive = false;
  std::unique_ptr<TAxisBarsKvList> FVisibleAxisBars;
  TAxisBarKv* FHotTrackAxisBar = nullptr;
  TPersistent* FAxisBarOwner = nullptr;
  // The grid's own IME settings, remembered when the window is made.
  TImeMode FOriginalImeMode = imDontCare;
  String FOriginalImeName;
  bool FCanvasHandleAllocated = false;
  // Design-time information: nil at run time, where no design controller is set.
  std::unique_ptr<TCollection> FDesignInfoCollection;
  std::unique_ptr<TFont> FHintFont;  // made on first use
  Integer FInplaceEditorButtonHeight = 0;
  Integer FInplaceEditorButtonWidth = 0;
  bool FNoDesigntControler = false;
  TNotifyEvent FOnTopLeftChanged;
  TGridCoord FPressedCell{-1, -1};
  bool FTimerActive = false;
  // -1 once the timer stops: signed, so the sentinel is a real value.
  Integer FTimerInterval = -1;
  std::vector<TRect> FMouseCellTextBounds;
  bool FMouseCellTextBoundsObsolete = true;
  Integer FMousePointInCellTextBoundIndex = -1;
  bool FCellDataWantAsLink = false;
  bool FCellImageWantAsLink = false;
  TInCellPlaceBoxKv* FMouseDownInCellPlaceBox = nullptr;
  TObject* FHotTrackInCellControl = nullptr;

 private:
  friend class TAxisGridDataLinkKv;
  friend class TGridAxisBarsKv;
  // Every bar holding a reference to the removed component drops it.
  void DropRemovedComponent(TComponent* AComponent);
};

// A layout block of a grid (nil: none) that ends on every path; a pass that raises still
// closes it and the error goes on.
class TAxisGridLayoutBlockKv {
 public:
  explicit TAxisGridLayoutBlockKv(TCustomDBAxisGridKv* Grid) : FGrid(Grid) {
    if (FGrid) FGrid->BeginLayout();
  }
  ~TAxisGridLayoutBlockKv() noexcept(false) {
    if (FGrid) FGrid->EndLayout();
  }
  TAxisGridLayoutBlockKv(const TAxisGridLayoutBlockKv&) = delete;
  TAxisGridLayoutBlockKv& operator=(const TAxisGridLayoutBlockKv&) = delete;

 private:
  TCustomDBAxisGridKv* FGrid;
};
