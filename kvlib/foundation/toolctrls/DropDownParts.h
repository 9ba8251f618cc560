#pragma once
// Small parts the drop-down machinery shares (part of the unit ToolCtrlsKv): the special first
// row of drop-down lists, an edit's most-recently-used texts, and the corner grip that resizes a
// popup window within the monitor's work area.

#include <memory>

#include "framework/Classes.h"
#include "framework/Graphics.h"
#include "framework/Variants.h"
#include "framework/menus/ShortCut.h"
#include "kvlib/foundation/KvLibVCL.h"
#include "kvlib/foundation/ToolCtrlsKv.h"

// ---- Special row ------------------------------------------------------------------------------

// A row of fixed cell texts standing for one key value, shown first in a drop-down list. Its
// colour and font are the owner's until assigned.
class TSpecRowKv : public TPersistent {
  DECLARE_CLASS(TSpecRowKv, TPersistent)
 public:
  explicit TSpecRowKv(TPersistent* Owner);
  ~TSpecRowKv() override;
  // Inside an update bracket: CellsText, the effective Color, Font (only when assigned there),
  // ShortCut, ShowIfNotInKeyList, Value and Visible.
  void Assign(TPersistent* Source) override;

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  // True when the row is visible and Value equals the key (arrays element by element).
  bool LocateKey(const Variant& KeyValue) const;
  // The cell's text; empty for an index outside the cells.
  String GetCellText(Integer Index) const;
  TStrings* GetCellsStrings() const { return FCellsStrings.get(); }

  // Cells separated by ";"; a cell may be a double-quoted string (a doubled quote is one).
  String GetCellsText() const { return FCellsText; }
  void SetCellsText(const String& Value);
  TColor GetColor() const;
  void SetColor(TColor Value);
  bool IsColorStored() const { return FColorAssigned; }
  TFont* GetFont();
  void SetFont(TFont* Value);
  bool IsFontStored() const { return FFontAssigned; }
  TShortCut GetShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut Value) { FShortCut = Value; }
  bool GetShowIfNotInKeyList() const { return FShowIfNotInKeyList; }
  void SetShowIfNotInKeyList(bool Value);
  Variant GetValue() const { return FValue; }
  void SetValue(const Variant& Value);
  bool IsValueStored() const;
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value);

  bool GetSelected() const { return FSelected; }
  void SetSelected(bool Value) { FSelected = Value; }
  TPersistent* GetOwnerObject() const { return FOwner; }
  TNotifyEvent GetOnChanged() const { return FOnChanged; }
  void SetOnChanged(const TNotifyEvent& Value) { FOnChanged = Value; }

  PUBLISHED_DECL(TSpecRowKv);

 protected:
  TPersistent* GetOwner() override { return FOwner; }
  // The owner's colour when it is a windowed control that paints itself, else the row's own.
  virtual TColor DefaultColor() const;
  // The owner's font when it is a control, else the row's own.
  virtual TFont* DefaultFont() const;
  // OnChanged, unless inside an update bracket.
  void Changed();

 private:
  void FontChanged(TObject* Sender);
  void ParseCellsText();

  TPersistent* FOwner;  // the row belongs to its owner
  String FCellsText;
  std::unique_ptr<TStringList> FCellsStrings;
  TColor FColor = clWindow;
  bool FColorAssigned = false;
  std::unique_ptr<TFont> FFont;
  bool FFontAssigned = false;
  TShortCut FShortCut = 32814;  // Alt+Del
  bool FShowIfNotInKeyList = true;
  Variant FValue;
  bool FVisible = false;
  bool FSelected = false;
  Integer FUpdateCount = 0;
  TNotifyEvent FOnChanged;
};

// ---- MRU list ---------------------------------------------------------------------------------

DECLARE_ENUM(TMRUListSourceKindKv, lskMRUListItemsKv, lskDataSetFieldValuesKv)

class TMRUListKv;
using TMRUListFillAutogenItemsEventKv = Closure<void(TMRUListKv* Sender, TStrings* AutogenItems)>;
using TFilterMRUItemEventKv = Closure<void(TObject* Sender, bool& Accept)>;
using TSetCloseUpEventKv = Closure<void(TObject* Sender, bool Accept)>;
using TSetDropDownEventKv = Closure<void(TObject* Sender)>;

// An edit's most-recently-used texts, the most recent last, and the prefix filtering behind its
// auto-complete drop-down. The owning edit assigns the events.
class TMRUListKv : public TPersistent {
  DECLARE_CLASS(TMRUListKv, TPersistent)
 public:
  explicit TMRUListKv(TPersistent* Owner);
  ~TMRUListKv() override;
  // Active, Items, Limit, Rows and CaseSensitive.
  void Assign(TPersistent* Source) override;

  // Moves a text already there to the end, else appends it as given and drops the oldest past
  // Limit; a blank text is ignored.
  void Add(const String& Text);
  // The active items that begin with MaskText (as the locale compares, by CaseSensitive) into
  // Items. False when a waiting key press cut the walk short.
  bool FilterItemsTo(TStrings* Items, const String& MaskText);
  // AutogenItems for field values, else Items.
  TStrings* GetActiveItems() const;
  virtual void CloseUp(bool Accept);
  virtual void DropDown();
  // Lets OnFillAutogenItems fill AutogenItems for field values.
  virtual void PrepareActiveItems();

  bool GetActive() const { return FActive; }
  void SetActive(bool Value);
  bool GetAutoAdd() const { return FAutoAdd; }
  void SetAutoAdd(bool Value) { FAutoAdd = Value; }
  bool GetCaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool Value) { FCaseSensitive = Value; }
  TStrings* GetItems() const { return FItems.get(); }
  void SetItems(TStrings* Value) { FItems->Assign(Value); }
  Integer GetLimit() const { return FLimit; }
  // Trims the items to the new limit.
  void SetLimit(Integer Value);
  TMRUListSourceKindKv GetListSourceKind() const { return FListSourceKind; }
  void SetListSourceKind(TMRUListSourceKindKv Value) { FListSourceKind = Value; }
  Integer GetRows() const { return FRows; }
  void SetRows(Integer Value) { FRows = Value; }

  TStrings* GetAutogenItems() const { return FAutogenItems.get(); }
  bool GetCancelIfKeyInQueue() const { return FCancelIfKeyInQueue; }
  void SetCancelIfKeyInQueue(bool Value) { FCancelIfKeyInQueue = Value; }
  Integer GetWidth() const { return FWidth; }
  void SetWidth(Integer Value) { FWidth = Value; }
  bool GetDroppedDown() const { return FDroppedDown; }
  void SetDroppedDown(bool Value) { FDroppedDown = Value; }

  TNotifyEvent GetOnActiveChanged() const { return FOnActiveChanged; }
  void SetOnActiveChanged(const TNotifyEvent& Value) { FOnActiveChanged = Value; }
  TMRUListFillAutogenItemsEventKv GetOnFillAutogenItems() const { return FOnFillAutogenItems; }
  void SetOnFillAutogenItems(const TMRUListFillAutogenItemsEventKv& Value) { FOnFillAutogenItems = Value; }
  TFilterMRUItemEventKv GetOnFilterItem() const { return FOnFilterItem; }
  void SetOnFilterItem(const TFilterMRUItemEventKv& Value) { FOnFilterItem = Value; }
  TSetCloseUpEventKv GetOnSetCloseUpEvent() const { return FOnSetCloseUpEvent; }
  void SetOnSetCloseUpEvent(const TSetCloseUpEventKv& Value) { FOnSetCloseUpEvent = Value; }
  TSetDropDownEventKv GetOnSetDropDown() const { return FOnSetDropDown; }
  void SetOnSetDropDown(const TSetDropDownEventKv& Value) { FOnSetDropDown = Value; }

  PUBLISHED_DECL(TMRUListKv);

 protected:
  TPersistent* GetOwner() override { return FOwner; }

 private:
  void TrimToLimit();

  TPersistent* FOwner;  // the list belongs to its owner
  bool FActive = false;
  bool FAutoAdd = true;
  bool FCaseSensitive = false;
  std::unique_ptr<TStringList> FItems;
  std::unique_ptr<TStringList> FAutogenItems;
  Integer FLimit = 100;
  TMRUListSourceKindKv FListSourceKind = lskMRUListItemsKv;
  Integer FRows = 7;
  bool FCancelIfKeyInQueue = true;
  Integer FWidth = 0;
  bool FDroppedDown = false;
  TNotifyEvent FOnActiveChanged;
  TMRUListFillAutogenItemsEventKv FOnFillAutogenItems;
  TFilterMRUItemEventKv FOnFilterItem;
  TSetCloseUpEventKv FOnSetCloseUpEvent;
  TSetDropDownEventKv FOnSetDropDown;
};

// ---- Size grip --------------------------------------------------------------------------------

// The triangular grip in a corner of a popup window. Dragging it resizes its host (the parent
// unless HostControl is set) and keeps the host inside the work area of the nearest monitor.
class TSizeGripKv : public TCustomControlKv {
  DECLARE_CLASS(TSizeGripKv, TCustomControlKv)
 public:
  explicit TSizeGripKv(TComponent* AOwner);

  TSizeGripPosition GetPosition() const { return FPosition; }
  // A grip with a window is made again in its new corner.
  void SetPosition(TSizeGripPosition Value);
  bool GetTriangleWindow() const { return FTriangleWindow; }
  void SetTriangleWindow(bool Value);
  // Moves the grip to the other corner along one axis; a grip on that side already stays.
  void ChangePosition(TSizeGripChangePosition NewPosition);
  // Whether the grip's window is shown; without a window, the control's Visible.
  bool GetVisible();
  void SetVisible(bool Value);
  TWinControl* GetHostControl() const;
  void SetHostControl(TWinControl* Value) { FHostControl = Value; }
  // Moves the grip to its corner of the host's adjusted client rectangle.
  void UpdatePosition();
  // The triangle (or the whole rectangle), then the position and the sizing cursor.
  void UpdateWindowRegion();

  TNotifyEvent GetOnParentResized() const { return FParentResized; }
  void SetOnParentResized(const TNotifyEvent& Value) { FParentResized = Value; }

  PUBLISHED_DECL(TSizeGripKv);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  virtual void DoParentResized();

 private:
  TSizeGripPosition FPosition = sgpBottomRight;
  bool FTriangleWindow = true;
  TComponentRef<TWinControl> FHostControl;
  TPoint FInitScreenMousePos;
  TPoint FOldMouseMovePos;
  // The host's client width, client height, width and height at the press.
  Integer FParentRect[4] = {0, 0, 0, 0};
  bool FInternalMove = false;
  TNotifyEvent FParentResized;
};
