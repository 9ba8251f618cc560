#pragma once
// The family's list boxes (part of the unit GridsKv): grids of one column, one row per item of a
// string list, with optional images, item objects that draw and react themselves, and a text
// filter that hides the items that do not match.
//
// Two index spaces: the data index is the position in Items, the visible index the position
// among the items that pass the filter, which is also the grid row. Without a filter they agree.
//
// The filter keeps each item's text and its locale upper-cased form, made once per change of the
// items, so that a keystroke in the owner's edit costs one pass of comparisons.

#include <memory>
#include <vector>

#include "kvlib/grids/gridskv/CustomGrid.h"

class TCustomImageList;
class TStringList;
class TStrings;
class TCustomListboxKv;

DECLARE_ENUM(TLSAutoFilterTypeKv, lsftBeginsWithKv, lsftContainsKv)

// Virtual items: the text and the object of item Index.
using TLBGetDataEventKv = Closure<void(TWinControl* Control, Integer Index, String& Data)>;
using TLBGetDataObjectEventKv = Closure<void(TWinControl* Control, Integer Index, TObject*& DataObject)>;
using TListboxGetImageIndexEventKv = Closure<void(TObject* Sender, Integer ItemIndex, Integer& ImageIndex)>;

// The object of a special row: with UseItemObjects on, an item whose object is one of these draws
// and handles its input through it. ItemIndex is always a data index.
class TCustomListboxItemKv : public TObject {
  DECLARE_CLASS(TCustomListboxItemKv, TObject)
 public:
  virtual bool IsPlainItem();
  virtual void GetDisplayText(TCustomListboxKv* Sender, Integer ItemIndex, String& Text);
  virtual void DrawItem(TCustomListboxKv* Sender, Integer ItemIndex, TGridDrawState State, const TRect& ARect);
  virtual void MouseDown(TCustomListboxKv* Sender, Integer ItemIndex, TMouseButton Button, TShiftState Shift,
                         const TPoint& Pos);
  virtual void MouseMove(TCustomListboxKv* Sender, Integer ItemIndex, TShiftState Shift, const TPoint& Pos);
  virtual void MouseUp(TCustomListboxKv* Sender, Integer ItemIndex, TMouseButton Button, TShiftState Shift,
                       const TPoint& Pos);
  // Flag starts false; the list does not read it afterwards.
  virtual void KeyPress(TCustomListboxKv* Sender, Integer ItemIndex, Char& Key, TShiftState Shift, bool& Flag);
  // False for rows that stand for no value.
  virtual bool IsDataItem();
  // Space on the item, for the owners that act on it.
  virtual void Execute(TCustomListboxKv* Sender, Integer ItemIndex, const TPoint& InItemPos, TShiftState Shift);
};

// An item of a popup list: a release on it closes the list unless CloseOnExecute says no (a
// separator row).
class TPopupListboxItemKv : public TCustomListboxItemKv {
  DECLARE_CLASS(TPopupListboxItemKv, TCustomListboxItemKv)
 public:
  virtual void PopupMouseUp(TCustomListboxKv* Sender, Integer ItemIndex, bool& IsMouseUpCloseListbox,
                            TShiftState Shift, TMouseButton Button, const TPoint& Pos);
  virtual bool CloseOnExecute(TCustomListboxKv* Sender, Integer ItemIndex);
};

class TCustomListboxKv : public TCustomGridKv {
  DECLARE_CLASS(TCustomListboxKv, TCustomGridKv)
 public:
  explicit TCustomListboxKv(TComponent* AOwner);
  ~TCustomListboxKv() override;

  // ---- Virtual operations, in slot order -------------------------------------------------------
  // The list the rows show: Items here, the outside list in the popup lists.
  virtual TStrings* GetItems();
  virtual void GetItemText(Integer VisibleIndex, String& Text);
  virtual void DrawItem(Integer VisibleIndex, const TRect& ARect, TGridDrawState State);
  virtual void GetDataItemText(Integer DataIndex, String& Text);
  // Copies Value into the list GetItems answers.
  virtual void SetItems(TStrings* Value);
  virtual void DefaultDrawItem(Integer VisibleIndex, const TRect& ARect, TGridDrawState State);
  // The font's height with its external and internal leading.
  virtual Integer GetTextHeight();

  // ---- Index spaces ----------------------------------------------------------------------------
  // The item under a client point, -1 when none. Existing has no effect.
  Integer ItemAtPos(const TPoint& Pos, bool Existing);
  Integer VisibleItemAtPos(const TPoint& Pos, bool Existing);
  // The item under a point clamped to the list: the top visible row above it, the last row's
  // item below it; an X outside the width counts as 0.
  Integer StrictIndexToClient(Integer X, Integer Y);
  Integer StrictVisibleIndexToClient(Integer X, Integer Y);
  // -1 and every index out of range map to -1.
  Integer VisibleIndexToDataIndex(Integer VisibleIndex);
  Integer DataIndexToVisibleIndex(Integer DataIndex);
  // Repaints the row of a visible index; nothing for an index out of range.
  void InvalidateIndex(Integer AItemIndex);

  // ---- Filter -----------------------------------------------------------------------------------
  void ApplyFilter(const String& AFilterStr, TLSAutoFilterTypeKv AFilterType, bool ACaseInsensitive);
  // Only when a filter text is set.
  void ClearFilter();
  void ResetVisibleIterms();
  bool ValueIsHitFilter(const String& Value);
  String GetFilterStr() const { return FFilterStr; }
  TLSAutoFilterTypeKv GetFilterType() const { return FFilterType; }
  bool GetFilterCaseInsensitive() const { return FFilterCaseInsensitive; }
  Integer GetVisibleCount() const;

  // ---- Properties -------------------------------------------------------------------------------
  // Virtual lists: the count set from outside; else the number of items.
  Integer GetCount();
  // Raises "Can't assign Count when list is not virtual" unless VirtualItems.
  void SetCount(Integer Value);
  TCustomImageList* GetImageList() const { return FImageList; }
  void SetImageList(TCustomImageList* Value);
  Integer GetItemHeight() const { return FItemHeight; }
  void SetItemHeight(Integer Value);
  // Data index of the selected item, -1 when none.
  Integer GetItemIndex();
  void SetItemIndex(Integer Value);
  Integer GetItemVisibleIndex();
  void SetItemVisibleIndex(Integer Value);
  bool GetUseItemObjects() const { return FUseItemObjects; }
  void SetUseItemObjects(bool Value);
  bool GetVirtualItems() const { return FVirtualItems; }
  void SetVirtualItems(bool Value);
  TAlignment GetItemAlignment() const { return FItemAlignment; }
  void SetItemAlignment(TAlignment Value);
  bool GetSorted() const { return FSorted; }
  void SetSorted(bool Value) { FSorted = Value; }
  bool GetRowSeleced() const { return FRowSeleced; }
  TListboxGetImageIndexEventKv GetOnGetImageIndex() const { return FOnGetImageIndex; }
  void SetOnGetImageIndex(const TListboxGetImageIndexEventKv& Value) { FOnGetImageIndex = Value; }
  TLBGetDataEventKv GetOnData() const { return FOnData; }
  void SetOnData(const TLBGetDataEventKv& Value) { FOnData = Value; }
  TLBGetDataObjectEventKv GetOnDataObject() const { return FOnDataObject; }
  void SetOnDataObject(const TLBGetDataObjectEventKv& Value) { FOnDataObject = Value; }
  // The item object of a data index when UseItemObjects is on and it is a list item, else nil.
  TCustomListboxItemKv* ItemObjectOf(Integer DataIndex);

  // The focused cell always counts as the selected row.
  void FocusCell(Integer ACol, Integer ARow, bool MoveAnchor) override;

 protected:
  void DrawCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State) override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(Char& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void Resize() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  void UpdateRowCount();
  void ItemsChanged(TObject* Sender);
  // The item text the filter tests: the original and its upper-cased form, cached per item.
  void RebuildFilterTexts();
  void ReselectDataIndex(Integer DataIndex);
  void SetRowSelected(bool Value) { FRowSeleced = Value; }

  // ---- Fields, in the order of the list's data model -------------------------------------------
  std::unique_ptr<TStringList> FItems;
  TLBGetDataEventKv FOnData;
  TLBGetDataObjectEventKv FOnDataObject;
  TCustomImageList* FImageList = nullptr;  // the owner's; cleared when it goes
  TAlignment FItemAlignment = taLeftJustify;
  Integer FItemHeight = 0;
  TListboxGetImageIndexEventKv FOnGetImageIndex;
  bool FRowSeleced = false;
  bool FSorted = false;
  bool FUseItemObjects = false;
  bool FVirtualItems = false;
  Integer FVirtualRowCount = 0;
  // Each entry: the text of a visible item and, as its object, its data index.
  std::unique_ptr<TStringList> FVisibleIterms;
  String FFilterStr;
  TLSAutoFilterTypeKv FFilterType = lsftBeginsWithKv;
  bool FFilterCaseInsensitive = false;

 private:
  // Data index to visible index (-1 for a hidden item), rebuilt with the visible items.
  std::vector<Integer> FDataToVisible;
  // Per data index: the text and its upper-cased form; stale after a change of the items.
  std::vector<String> FFilterTexts, FFilterUpperTexts;
  bool FFilterTextsValid = false;
  String FFilterUpperStr;
};

// What the two popup lists share: the border, hot tracking by mouse, closing on a release, the
// size the user gave them and the outside list shown instead of Items.
class TCustomPopupListboxKv : public TCustomListboxKv {
  DECLARE_CLASS(TCustomPopupListboxKv, TCustomListboxKv)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CM_HINTSHOW, TMessage, CMHintShow)
    MESSAGE_HANDLER(CM_MOUSEENTER, TMessage, CMMouseEnterLeave)
    MESSAGE_HANDLER(CM_MOUSELEAVE, TMessage, CMMouseEnterLeave)
    MESSAGE_HANDLER(CM_SIZEGRIPCHANGEPOSITION, TMessage, CMSizeGripChangePosition)
  END_MESSAGE_MAP
 public:
  explicit TCustomPopupListboxKv(TComponent* AOwner);
  ~TCustomPopupListboxKv() override;

  virtual void GetExtItemObject(Integer Index, TObject*& Obj);

  // The outside list when one is set, else Items.
  TStrings* GetItems() override;

  bool CanFocus() override { return false; }
  // Always true, so the list paints as focused.
  bool Focused() override { return true; }
  // Non-client height: the window's, or what the style adds to an empty client plus the border.
  Integer GetBorderSize();
  // The row height the height snaps to: ItemHeight, or the text height while it is 0; never
  // below 1.
  Integer GetEffectiveItemHeight();

  Integer GetBorderWidth() const { return FBorderWidth; }
  TStrings* GetExtItems() const { return FExtItems; }
  // The rows show Value (nil: Items again) from now on; VirtualItems follows.
  void SetExtItems(TStrings* Value);
  TPoint GetMousePos() const { return FMousePos; }
  Integer GetRowCount() const { return FRowCount; }
  void SetRowCount(Integer Value);
  bool GetSizeGripResized() const { return FSizeGripResized; }
  void SetSizeGripResized(bool Value) { FSizeGripResized = Value; }
  Integer GetResizedRowCount() const { return FResizedRowCount; }
  void SetResizedRowCount(Integer Value) { FResizedRowCount = Value; }
  Integer GetResizedWidth() const { return FResizedWidth; }
  void SetResizedWidth(Integer Value) { FResizedWidth = Value; }
  bool GetInternalResizing() const { return FInternalResizing; }
  void SetInternalResizing(bool Value) { FInternalResizing = Value; }
  bool GetIsMouseUpCloseListbox() const { return FIsMouseUpCloseListbox; }
  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;

 protected:
  // The hot-tracked row: a data index in the popup list box, a visible index in the form's list.
  virtual Integer HotTrackIndexAt(Integer X, Integer Y) = 0;
  virtual void SelectHotTrackIndex(Integer Index) = 0;
  // The row of a hot-track index, for repainting.
  virtual Integer HotTrackVisibleIndex(Integer Index) = 0;
  // 2 with Ctl3D and a single border, else 0.
  virtual Integer CalcBorderWidth();
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void Resize() override;
  void CMHintShow(TMessage& Message);
  void CMMouseEnterLeave(TMessage& Message);
  void CMSizeGripChangePosition(TMessage& Message);
  void ExtItemObject(TWinControl* Control, Integer Index, TObject*& DataObject);

  Integer FBorderWidth = 0;
  TStrings* FExtItems = nullptr;  // the owner's outside list; the owner keeps it alive while set
  // TPopupListboxKv keeps a data index here, TPopupListboxGridKv a visible index.
  Integer FMouseIndex = -1;
  TPoint FMousePos{-1, -1};
  Integer FRowCount = 0;
  bool FSizeGripResized = false;
  Integer FResizedRowCount = 0;
  Integer FResizedWidth = 0;
  bool FInternalResizing = false;
  bool FIsMouseUpCloseListbox = false;
};

// A list box that is its own topmost popup window, shown without taking the activation.
class TPopupListboxKv : public TCustomPopupListboxKv {
  DECLARE_CLASS(TPopupListboxKv, TCustomPopupListboxKv)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_NCCALCSIZE, TWMNCCalcSize, WMNCCalcSize)
    MESSAGE_HANDLER(WM_NCPAINT, TMessage, WMNCPaint)
    MESSAGE_HANDLER(CM_CTL3DCHANGED, TMessage, CMCtl3DChanged)
    MESSAGE_HANDLER(WM_MOUSEACTIVATE, TMessage, WMMouseActivate)
  END_MESSAGE_MAP
 public:
  explicit TPopupListboxKv(TComponent* AOwner);

  virtual void PaintListBorder();
  // Shows the window where it stands without activating or resizing it.
  void Show();
  void Hide();
  Integer GetMouseIndex() const { return FMouseIndex; }

 protected:
  Integer HotTrackIndexAt(Integer X, Integer Y) override;
  void SelectHotTrackIndex(Integer Index) override;
  Integer HotTrackVisibleIndex(Integer Index) override;
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void WMNCCalcSize(TWMNCCalcSize& Message);
  void WMNCPaint(TMessage& Message);
  void CMCtl3DChanged(TMessage& Message);
  void WMMouseActivate(TMessage& Message);
};

// The list box that fills a TPopupListboxFormKv; the form is the window, so this one has no window
// parameters of its own and hot-tracks in visible indexes.
class TPopupListboxGridKv : public TCustomPopupListboxKv {
  DECLARE_CLASS(TPopupListboxGridKv, TCustomPopupListboxKv)
 public:
  explicit TPopupListboxGridKv(TComponent* AOwner);

  Integer GetMouseVisibleIndex() const { return FMouseIndex; }

 protected:
  // The form passes on the wheel turns it does not take.
  friend class TPopupListboxFormKv;
  Integer HotTrackIndexAt(Integer X, Integer Y) override;
  void SelectHotTrackIndex(Integer Index) override;
  Integer HotTrackVisibleIndex(Integer Index) override;
  Integer CalcBorderWidth() override { return 0; }
  void CreateParams(TCreateParams& Params) override;
};
