#pragma once
// TAxisBarKv: one column of the axis grid, bound to a dataset field by name. It decides how the
// field's value is shown (display text, image, check box, pick list), edited and written back
// (UpdateDataValues). Look properties follow defaults (the field, the grid, the grid-wide bar
// defaults) until they are set, which records them in AssignedValues.
// TBaseColumnKv adds the width operations the data grid's column supplies.

#include <memory>

#include "framework/Classes.h"
#include "framework/Graphics.h"
#include "framework/ImgList.h"
#include "framework/controls/Alignment.h"
#include "framework/controls/ControlTypes.h"
#include "framework/stdctrls/StdTypes.h"
#include "kvlib/axisgrid/dbaxisgrids/AxisBarParts.h"
#include "kvlib/axisgrid/dbaxisgrids/AxisCellParams.h"
#include "kvlib/axisgrid/dbaxisgrids/DBLookupUtilsKv.h"

class TCustomDBAxisGridKv;
class TDataSet;
class TDynVarsKv;
class TField;
class TMRUListKv;
class TPopupMenu;
class TCustomForm;

DECLARE_ENUM(TAxisBarKvValue, cvColor, cvWidth, cvFont, cvAlignment, cvReadOnly, cvTitleColor, cvTitleCaption,
             cvTitleAlignment, cvTitleFont, cvTitleButton, cvTitleEndEllipsis, cvTitleToolTips, cvTitleOrientation,
             cvImeMode, cvImeName, cvWordWrap, cvLookupDisplayFields, cvCheckboxes, cvAlwaysShowEditButton,
             cvEndEllipsis, cvAutoDropDown, cvDblClickNextVal, cvToolTips, cvDropDownSizing, cvDropDownShowTitles,
             cvLayout, cvHighlightRequired, cvBiDiMode, cvTextEditing)
using TAxisBarKvValues = Set<TAxisBarKvValue, 32>;

DECLARE_ENUM(TAxisBarKvType, ctCommon, ctPickList, ctLookupField, ctKeyPickList, ctKeyImageList, ctCheckboxes,
             ctGraphicData, ctDataList, ctInContentCellButton)

class TAxisBarKv;
using TNotInListEventKv = Closure<void(TObject* Sender, const String& NewText, bool& RecheckInList)>;
using TColCellUpdateDataEventKv =
    Closure<void(TObject* Sender, String& Text, Variant& Value, bool& UseText, bool& Handled)>;
using TAxisBarNotifyEventKv = Closure<void(TCustomDBAxisGridKv* Grid, TAxisBarKv* AxisBar)>;

class TAxisBarKv : public TCollectionItem, public virtual IInterface {
  DECLARE_CLASS(TAxisBarKv, TCollectionItem)
 public:
  explicit TAxisBarKv(TCollection* Collection);
  ~TAxisBarKv() override;

  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }

  // ---- New virtual operations, in slot order --------------------------------------------------
  virtual void AdjustCellRect(const TRect& Rect, TRect& Result) { Result = Rect; }
  virtual Integer CalcInplaceEditorButtonHeight() { return FInplaceEditorButtonHeight; }
  virtual TAxisBarEditButtonKv* CreateEditButton();
  virtual TAxisBarEditButtonsKv* CreateEditButtons();
  virtual TCellButtonsKv* CreateCellButtons();
  virtual TAxisBarMainEditButtonKv* CreateMainEditButton();
  virtual TDBLookupDataKv* CreateLookupData();
  virtual TAxisBarTitleKv* CreateTitle();
  virtual Integer GetDefaultRowHeight();
  virtual TEditButtonDrawBackTimeKv GetEditButtonDrawBackTime();
  virtual TField* GetField();
  virtual Integer GetInplaceEditorButtonHeight() { return FInplaceEditorButtonHeight; }
  // Edit buttons are laid out by the in-place editing layer; until then they take no room.
  virtual Integer GetMainEditButtonWidth() { return 0; }
  virtual bool IsAlwaysShowEditButton() { return GetAlwaysShowEditButton(); }
  virtual bool UseGraphicEditor() { return GetBarType() == ctGraphicData && !GetTextEditing(); }
  virtual bool IsDefaultBar() { return !FStored; }
  virtual void SetImeMode(TImeMode Value);
  virtual void SetImeName(const String& Value);
  virtual void DoCellDataLinkClick();
  virtual void Changed(bool AllItems);
  virtual void EditButtonMouseMove() {}
  virtual void EditButtonMouseUp() {}
  virtual void FontChanged(TObject* Sender);
  virtual void NotifyLookupChanged();
  virtual void FieldDataChanged(TField*) {}
  virtual void SetAlignment(TAlignment Value);
  virtual void SetField(TField* Value);
  virtual void SetHighlightRequired(bool Value);
  virtual void SetLookupDisplayFields(const String& Value);
  virtual void SetReadOnly(bool Value);
  // Raises: descendants that lay text out supply it.
  virtual void SetTextArea(const TRect& Value);
  virtual void SetWordWrap(bool Value);
  virtual void DropDownSpecRowChanged(TObject* Sender);
  virtual void GetValueAsVariant(Variant& Value);
  virtual void SetValueFromVariantText(const Variant& Value);
  virtual TImeMode DefaultImeMode();
  virtual String DefaultImeName();
  virtual Integer CalcRowHeight() { return 0; }
  // Whether a word-wrapped cell of RowHeight shows more than one line.
  virtual bool CurLineWordWrap(Integer RowHeight);
  virtual TAlignment DefaultAlignment();
  virtual TColor DefaultColor();
  virtual TFont* DefaultFont();
  virtual bool DefaultReadOnly();
  virtual String DisplayText();
  virtual String EditText();
  virtual Variant EditValue();
  virtual TAxisBarKvType GetBarType();
  virtual Integer EditButtonsWidth() { return 0; }
  // The field the drop-down list shows: the lookup display field, or for a data list the box's
  // list field, the list field named like the bar's field, or the list's first field.
  virtual String GetDropDownBoxListField();
  virtual Integer GetCellEditorLeftMargin() { return 0; }
  virtual Integer GetCellEditorRightMargin() { return 0; }
  virtual Integer GetCellHeight(Integer Row);
  virtual Integer GetDataCellHorzOffset() { return 3; }
  virtual Integer GetImageIndex();
  virtual String GetTextValue(bool IsDisplayText) { return IsDisplayText ? DisplayText() : EditText(); }
  virtual bool GetCellDataIsLink();
  virtual bool GetCellImageIsLink();
  virtual bool UseRightToLeftAlignment();
  virtual bool UseRightToLeftReading();
  virtual bool UseRightToLeftScrollBar();
  virtual void BindField();
  // The bar's last word on a cell's parameters: the hot text is underlined.
  virtual void GetColCellParams(bool EditMode, TAxisColCellParamsKv* Params);
  virtual void RestoreDefaults();
  virtual void SaveToFileDialog() {}

  // ---- Collection item --------------------------------------------------------------------------
  void SetIndex(Integer Value) override;
  String GetDisplayName() const override;
  void SetCollection(TCollection* Value) override;
  // The collection tells the bar its grid once it is in (items are made before they join).
  void GridAttached(TCustomDBAxisGridKv* Grid);

  // ---- Public operations -------------------------------------------------------------------------
  // TryEdit puts the grid's link into edit mode and answers whether it then edits.
  bool CanModify(bool TryEdit);
  bool CanEditAcceptKey(Char Key);
  String GetAcceptableEditText(const String& InputEditText);
  void SetValueAsText(const String& Text);
  void SetValueAsVariant(const Variant& Value);
  // The one routine that writes a new value of the cell.
  void UpdateDataValues(const String& Text, const Variant& Value, bool UseText);
  void FillColCellParams(TAxisColCellParamsKv* Params);
  // The index of Str in the pick list, -1 when absent (PartialKey: items beginning with it).
  Integer LocatePickList(const String& Str, bool PartialKey);
  Integer DrawTextBiDiModeFlagsReadingOnly();
  // "Column_" + Index + "_" + FieldName.
  String GetName() const;

  // ---- Properties ---------------------------------------------------------------------------------
  TCustomDBAxisGridKv* GetGrid() const { return FGrid; }
  TAxisBarKvValues GetAssignedValues() const { return FAssignedValues; }
  void SetAssignedValues(TAxisBarKvValues Value) { FAssignedValues = Value; }
  bool GetStored() const { return FStored; }
  void SetStored(bool Value) { FStored = Value; }
  const String& GetFieldName() const { return FFieldName; }
  void SetFieldName(const String& Value);
  TField* GetFieldRef() const { return FField; }

  TColor GetColor();
  void SetColor(TColor Value);
  TFont* GetFont();
  void SetFont(TFont* Value);
  TAlignment GetAlignment();
  bool GetAlignmentStored() const { return FAssignedValues.Contains(cvAlignment); }
  void SetAlignmentStored(bool Value);
  bool GetReadOnly();
  TImeMode GetImeMode();
  String GetImeName();
  bool GetWordWrap();
  String GetLookupDisplayFields();
  bool GetCheckboxes();
  void SetCheckboxes(bool Value);
  bool GetAlwaysShowEditButton();
  void SetAlwaysShowEditButton(bool Value);
  bool GetEndEllipsis();
  void SetEndEllipsis(bool Value);
  bool GetAutoDropDown();
  void SetAutoDropDown(bool Value);
  bool GetDblClickNextVal();
  void SetDblClickNextVal(bool Value);
  bool GetToolTips();
  void SetToolTips(bool Value);
  bool GetDropDownSizing();
  void SetDropDownSizing(bool Value);
  bool GetDropDownShowTitles();
  void SetDropDownShowTitles(bool Value);
  TTextLayout GetLayout();
  void SetLayout(TTextLayout Value);
  bool GetHighlightRequired();
  TBiDiMode GetBiDiMode();
  void SetBiDiMode(TBiDiMode Value);
  bool GetTextEditing();
  void SetTextEditing(bool Value);
  bool GetLimitTextToListValues();
  void SetLimitTextToListValues(bool Value);
  bool GetLimitTextToListValuesStored() const { return FLimitTextToListValuesStored; }
  void SetLimitTextToListValuesStored(bool Value);

  bool GetCaseInsensitiveTextSearch() const { return FCaseInsensitiveTextSearch; }
  void SetCaseInsensitiveTextSearch(bool Value) { FCaseInsensitiveTextSearch = Value; }
  bool GetCellDataIsLinkFlag() const { return FCellDataIsLink; }
  void SetCellDataIsLink(bool Value) { FCellDataIsLink = Value; }
  const String& GetDisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(const String& Value);
  const String& GetEditMask() const { return FEditMask; }
  void SetEditMask(const String& Value);
  Integer GetDropDownWidth() const { return FDropDownWidth; }
  void SetDropDownWidth(Integer Value);
  Cardinal GetDropDownRows() const { return FDropDownRows; }
  void SetDropDownRows(Cardinal Value) { FDropDownRows = Value; }
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value);
  bool GetShowImageAndText() const { return FShowImageAndText; }
  void SetShowImageAndText(bool Value);
  Integer GetNotInKeyListIndex() const { return FNotInKeyListIndex; }
  void SetNotInKeyListIndex(Integer Value);
  // Both made on first read; nil frees them.
  TStrings* GetKeyList();
  void SetKeyList(TStrings* Value);
  TStrings* GetPickList();
  void SetPickList(TStrings* Value);
  bool HasKeyList() const { return FKeyList && FKeyList->GetCount() > 0; }
  bool HasPickList() const { return FPickList && FPickList->GetCount() > 0; }
  TCustomImageList* GetImageList() const;
  void SetImageList(TCustomImageList* Value);
  TPopupMenu* GetPopupMenu() const;
  void SetPopupMenu(TPopupMenu* Value);
  Extended GetIncrement() const { return FIncrement; }
  void SetIncrement(Extended Value) { FIncrement = Value; }
  NativeInt GetTag() const { return FTag; }
  void SetTag(NativeInt Value) { FTag = Value; }
  TCellButtonStyleKv GetButtonStyle();
  void SetButtonStyle(TCellButtonStyleKv Value);

  // The parts that come from the bar's factories are made on first use, so that a descendant's
  // factory is the one that runs.
  TAxisBarTitleKv* GetTitle();
  TDBLookupDataKv* GetLookupParams();
  TColumnDropDownBoxKv* GetDropDownBox() const { return FDropDownBox.get(); }
  TSpecRowKv* GetDropDownSpecRow() const { return FDropDownSpecRow.get(); }
  TAxisBarMainEditButtonKv* GetEditButton();
  TAxisBarEditButtonsKv* GetEditButtons();
  TCellButtonsKv* GetCellButtons();
  TMRUListKv* GetMRUList() const { return FMRUList.get(); }
  TDynVarsKv* GetDynProps() const { return FDynProps.get(); }

  TNotInListEventKv GetOnNotInList() const { return FOnNotInList; }
  void SetOnNotInList(const TNotInListEventKv& Value) { FOnNotInList = Value; }
  TColCellUpdateDataEventKv GetOnUpdateData() const { return FOnUpdateData; }
  void SetOnUpdateData(const TColCellUpdateDataEventKv& Value) { FOnUpdateData = Value; }
  TAxisBarNotifyEventKv GetOnCellDataLinkClick() const { return FOnCellDataLinkClick; }
  void SetOnCellDataLinkClick(const TAxisBarNotifyEventKv& Value) { FOnCellDataLinkClick = Value; }

  PUBLISHED_DECL(TAxisBarKv);

 protected:
  // Marks the member and reports a change, unless it was assigned with the same value.
  template <class T>
  void SetAssigned(TAxisBarKvValue Member, T& Field, const T& Value);
  // Whether the dataset this bar reads is open.
  bool GridDataSetActive();
  bool GridLinkActive();

 private:
  // The shared record, filled for this bar and passed through the cell-parameter events.
  TAxisColCellParamsKv* LinkFlagsParams();
  void ImageListChange(TObject* Sender);
  void RefreshDefaultFont();
  void InvalidateGrid();

  TAlignment FAlignment = taLeftJustify;
  TAxisBarKvValues FAssignedValues;
  TBiDiMode FBiDiMode = bdLeftToRight;
  bool FCaseInsensitiveTextSearch = true;
  bool FCheckboxes = false;
  TColor FColor = clWindow;
  bool FDblClickNextVal = false;
  String FDisplayFormat;
  std::unique_ptr<TColumnDropDownBoxKv> FDropDownBox;
  Cardinal FDropDownRows = 7;
  bool FDropDownShowTitles = false;
  bool FDropDownSizing = false;
  std::unique_ptr<TAxisBarSpecRowKv> FDropDownSpecRow;
  std::unique_ptr<TDynVarsKv> FDynProps;
  std::unique_ptr<TAxisBarMainEditButtonKv> FEditButton;
  std::unique_ptr<TAxisBarEditButtonsKv> FEditButtons;
  std::unique_ptr<TCellButtonsKv> FCellButtons;
  String FEditMask;
  String FFieldName;
  std::unique_ptr<TFont> FFont;
  TCustomDBAxisGridKv* FGrid = nullptr;
  bool FHighlightRequired = false;
  std::unique_ptr<TChangeLink> FImageChangeLink;
  TComponentRef<TCustomImageList> FImageList;
  Extended FIncrement = 1;
  TImeMode FImeMode = imDontCare;
  String FImeName;
  std::unique_ptr<TStringList> FKeyList;
  TTextLayout FLayout = tlTop;
  bool FLimitTextToListValues = false;
  bool FLimitTextToListValuesStored = false;
  std::unique_ptr<TDBLookupDataKv> FLookupParams;
  std::unique_ptr<TMRUListKv> FMRUList;
  Integer FNotInKeyListIndex = -1;
  std::unique_ptr<TStringList> FPickList;
  TComponentRef<TPopupMenu> FPopupMenu;
  bool FReadonly = false;
  bool FShowImageAndText = false;
  bool FStored = true;
  // A wider Tag than the framework's Integer: user code keeps pointers in it.
  NativeInt FTag = 0;
  bool FTextEditing = true;
  std::unique_ptr<TAxisBarTitleKv> FTitle;
  bool FToolTips = false;
  bool FVisible = true;
  TNotInListEventKv FOnNotInList;
  TColCellUpdateDataEventKv FOnUpdateData;
  bool FCellDataIsLink = false;
  TAxisBarNotifyEventKv FOnCellDataLinkClick;
  bool FAlwaysShowEditButton = false;
  bool FAutoDropDown = false;
  std::unique_ptr<TAxisColCellParamsKv> FCheckModifyColCellParamsKv;
  Integer FDropDownWidth = 0;
  bool FEndEllipsis = false;
  Integer FInplaceEditorButtonHeight = 0;
  String FLookupDisplayFields;
  bool FWordWrap = false;
  TField* FField = nullptr;  // the grid drops it when the field goes (free notification)
  bool FFontUpdating = false;
};

// A bar with the width operations of a grid column.
class TBaseColumnKv : public TAxisBarKv {
  DECLARE_CLASS(TBaseColumnKv, TAxisBarKv)
 public:
  explicit TBaseColumnKv(TCollection* Collection) : TAxisBarKv(Collection) {}
  virtual bool GetAutoFitColWidth() = 0;
  virtual Integer GetWidth() = 0;
  virtual Integer GetMinWidth() = 0;
  virtual Integer GetMaxWidth() = 0;
  virtual void SetAutoFitColWidth(bool Value) = 0;
  virtual void SetMaxWidth(Integer Value) = 0;
  virtual void SetMinWidth(Integer Value) = 0;
  virtual void SetWidth(Integer Value) = 0;
};

// ---- Routines for the grid and the in-place editor ------------------------------------------------

// Visible, modifiable and on an active link, with an active lookup or a plain writable field.
bool CanEditInplace(TAxisBarKv* AxisBar);
String GetAxisBarEditMask(TAxisBarKv* AxisBar);
// The editor's starting text; also sets the grid's edit key value.
String GetAxisBarEditText(TAxisBarKv* AxisBar);
void SetAxisBarEditText(TAxisBarKv* AxisBar, const String& Text);
bool GetAxisBarTextEditing(TAxisBarKv* AxisBar);
// The drop-down box's list dataset, else the lookup dataset when the lookup is set up; else nil.
TDataSet* GetListDataSet(TAxisBarKv* AxisBar);
// Field's DisplayText without Format; with one, numbers and dates formatted by it.
String FormatFieldValue(TField* Field, const String& Format);
