#pragma once
// The family's combo edit (part of the unit DBCtrlsKv): a data-aware edit with display items, an
// optional parallel list of key items and a drop-down list in an inactive popup. With KeyItems
// the field holds a key and the edit shows the item at the key's index; without, the text is
// what the field receives. Typing searches the items (exact, then by prefix; case-sensitive
// first, then ignoring case on request) and completes the text; Up, Down and the wheel step
// through the items; LimitTextToListValues keeps the text to the items.

#include <memory>

#include "kvlib/editors/dbctrls/DBEditKv.h"
#include "kvlib/grids/gridskv/ListBoxes.h"

class TCustomDBComboBoxKv;
class TPopupListboxFormKv;

using TCloseUpEventKv = Closure<void(TObject* Sender, bool Accept)>;
using TAcceptEventKv = Closure<void(TObject* Sender, bool& Accept)>;
using TListGetImageIndexEventKv = Closure<void(TObject* Sender, Integer ItemIndex, Integer& ImageIndex)>;
// RecheckInList true: the handler changed the items; the text is looked up again before posting.
using TNotInListEventKv = Closure<void(TObject* Sender, const String& NewText, bool& RecheckInList)>;

// The drop-down settings of a combo.
class TDropDownBoxKv : public TPersistent {
  DECLARE_CLASS(TDropDownBoxKv, TPersistent)
 public:
  TDropDownBoxKv() = default;
  // Copies every setting.
  void Assign(TPersistent* Source) override;

  TDropDownAlign GetAlign() const { return FAlign; }
  void SetAlign(TDropDownAlign Value) { FAlign = Value; }
  bool GetAutoDrop() const { return FAutoDrop; }
  void SetAutoDrop(bool Value) { FAutoDrop = Value; }
  TLSAutoFilterTypeKv GetAutoFilterType() const { return FAutoFilterType; }
  void SetAutoFilterType(TLSAutoFilterTypeKv Value) { FAutoFilterType = Value; }
  bool GetAutoFilter() const { return FAutoFilter; }
  void SetAutoFilter(bool Value) { FAutoFilter = Value; }
  Integer GetRows() const { return FRows; }
  void SetRows(Integer Value) { FRows = Value; }
  bool GetSizable() const { return FSizable; }
  void SetSizable(bool Value) { FSizable = Value; }
  // 0: as wide as the edit; -1: as wide as the widest item.
  Integer GetWidth() const { return FWidth; }
  void SetWidth(Integer Value) { FWidth = Value; }

  PUBLISHED_DECL(TDropDownBoxKv);

 private:
  TDropDownAlign FAlign = daLeft;
  bool FAutoDrop = false;
  TLSAutoFilterTypeKv FAutoFilterType = lsftBeginsWithKv;
  bool FAutoFilter = false;
  Integer FRows = 7;
  bool FSizable = false;
  Integer FWidth = 0;
};

// The class of a combo's Items: it knows its combo.
class TCustomComboBoxStringsKv : public TStringList {
  DECLARE_CLASS(TCustomComboBoxStringsKv, TStringList)
 public:
  TCustomComboBoxStringsKv() = default;
  TCustomDBComboBoxKv* GetComboBox() const { return FComboBox; }
  void SetComboBox(TCustomDBComboBoxKv* Value) { FComboBox = Value; }

 private:
  TCustomDBComboBoxKv* FComboBox = nullptr;  // the combo owns these items
};
using TCustomComboBoxStringsClassKv = TClassRef<TCustomComboBoxStringsKv>;
using TPopupListboxFormClassKv = TClassRef<TPopupListboxFormKv>;

class TCustomDBComboBoxKv : public TCustomDBEditKv {
  DECLARE_CLASS(TCustomDBComboBoxKv, TCustomDBEditKv)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_CHAR, TWMChar, WMCharCombo)
    MESSAGE_HANDLER(WM_PASTE, TMessage, WMPasteCombo)
    MESSAGE_HANDLER(WM_CLEAR, TMessage, WMClearCombo)
    MESSAGE_HANDLER(WM_SETCURSOR, TWMSetCursor, WMSetCursorCombo)
    MESSAGE_HANDLER(CM_EXIT, TCMExit, CMExitCombo)
    MESSAGE_HANDLER(CM_CANCELMODE, TCMCancelMode, CMCancelModeCombo)
  END_MESSAGE_MAP

 public:
  explicit TCustomDBComboBoxKv(TComponent* AOwner);
  ~TCustomDBComboBoxKv() override;

  // Key-based: Value := Null; else an empty text.
  void Clear() override;
  // Data-aware: a bound combo first edits its dataset; a refused value resets the link and the
  // error passes on.
  Integer GetItemIndex() const { return FItemIndex; }
  void SetItemIndex(Integer Value);
  void UpdateData() override;
  void CloseUp(bool Accept) override;
  TPopupListboxFormKv* GetPopupListbox();

  bool GetCaseInsensitiveTextSearch() const { return FCaseInsensitiveTextSearch; }
  void SetCaseInsensitiveTextSearch(bool Value);
  TDropDownBoxKv* GetDropDownBox() const { return FDropDownBox.get(); }
  void SetDropDownBox(TDropDownBoxKv* Value) { FDropDownBox->Assign(Value); }
  TStrings* GetItems() const { return FItems.get(); }
  void SetItems(TStrings* Value) { FItems->Assign(Value); }
  TStrings* GetKeyItems() const { return FKeyItems.get(); }
  void SetKeyItems(TStrings* Value) { FKeyItems->Assign(Value); }
  bool GetKeyBased() const { return FKeyBased; }
  Integer GetItemsCount() const { return FItemsCount; }
  // Stored: the stored value; otherwise true exactly when KeyItems has entries and OnNotInList
  // is not assigned.
  bool GetLimitTextToListValues() const;
  void SetLimitTextToListValues(bool Value);
  bool GetLimitTextToListValuesStored() const { return FLimitTextToListValuesStored; }
  void SetLimitTextToListValuesStored(bool Value);
  bool GetListVisible() const { return FListVisible; }
  TPopupListboxFormClassKv GetPopupListboxClass() const { return FPopupListboxClass; }
  void SetPopupListboxClass(TPopupListboxFormClassKv Value) { FPopupListboxClass = Value; }
  // Also shows the edit image.
  void SetImages(TCustomImageList* Value);

  TCloseUpEventKv GetOnCloseUp() const { return FOnCloseUp; }
  void SetOnCloseUp(const TCloseUpEventKv& Value) { FOnCloseUp = Value; }
  TAcceptEventKv GetOnClosingUp() const { return FOnClosingUp; }
  void SetOnClosingUp(const TAcceptEventKv& Value) { FOnClosingUp = Value; }
  TNotifyEvent GetOnDropDown() const { return FOnDropDown; }
  void SetOnDropDown(const TNotifyEvent& Value) { FOnDropDown = Value; }
  TListGetImageIndexEventKv GetOnGetItemImageIndex() const { return FOnGetItemImageIndex; }
  void SetOnGetItemImageIndex(const TListGetImageIndexEventKv& Value) { FOnGetItemImageIndex = Value; }
  TNotifyEvent GetOnGetItemsList() const { return FOnGetItemsList; }
  void SetOnGetItemsList(const TNotifyEvent& Value) { FOnGetItemsList = Value; }
  TNotInListEventKv GetOnNotInList() const { return FOnNotInList; }
  void SetOnNotInList(const TNotInListEventKv& Value) { FOnNotInList = Value; }

  // ---- New virtual operations, in slot order
  virtual TDropDownBoxKv* CreateDropDownBox();
  virtual TCustomComboBoxStringsClassKv GetItemsClass();
  virtual TColor GetPopupColor() { return GetColor(); }
  // Exact, or the first item beginning with Text when Partial; true when ItemIndex changed.
  // Only a failed conversion of the search is swallowed; any other error passes on with the
  // index as it was.
  virtual bool LocateStr(const String& Text, bool Partial);
  // Typing into a limited combo: Text after the text before the caret is searched by prefix;
  // Backspace widens the selection from the end.
  virtual bool ProcessTypedText(const String& Text);
  virtual TFont* GetPopupFont() { return TControl::GetFont(); }
  // Lazy filling: OnGetItemsList while Items is empty.
  virtual void CheckItemsList();
  virtual void SelectItemIndex(Integer Index);
  virtual void UpdateItemIndex();
  virtual void UpdatePopupItemIndex();
  virtual void DropDown(TEditButtonKv* AEditButton);
  virtual void SelectNextValue(bool IsPrior);

  // ---- Base operations it answers differently
  TEditButtonKv* CreateEditButton() override;
  TAlignment DefaultAlignment() override;
  Integer DefaultImageIndex() override { return FDefaultItemIndex; }
  String GetDisplayTextForPaintCopy() override;
  Variant GetVariantValue() override;
  bool IsValidChar(Char InputChar) override;
  void DataChanged() override;
  void EditButtonDropDown(TEditButtonKv* EditButton, TEditButtonControlKv* EditButtonControl, bool& Handled) override;
  void DefaultEditButtonClick(TEditButtonKv* EditButton, TEditButtonControlKv* EditButtonControl,
                              bool& Handled) override {}
  void DefaultEditButtonDown(TEditButtonKv* EditButton, TEditButtonControlKv* EditButtonControl, bool& Handled,
                             bool AutoRepeat, bool TopButton) override;
  void InternalSetText(const String& AText) override;
  void InternalSetValue(const Variant& AValue) override;
  void InternalUpdatePostData() override;
  void UpdateMaxLengthFromField() override;
  void UpdateReadOnlyState() override;
  void RefreshEditImageIndex() override;

 protected:
  void Change() override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(Char& Key) override;
  void WndProc(TMessage& Message) override;
  bool DoMouseWheel(TShiftState Shift, Integer WheelDelta, const TPoint& MousePos) override;

  void UpdateKeyBased();
  void ItemsChanged(TObject* Sender);
  void KeyItemsChanged(TObject* Sender);
  void FilterPopupList();
  void PopupMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, Integer X, Integer Y);
  void PopupGetImageIndex(TObject* Sender, Integer ItemIndex, Integer& ImageIndex);
  // The combo can change its value now: not read-only and its link in edit mode.
  bool CanEditValue();
  // Limited mouse presses open and close the list; false: pass the message on.
  bool LimitedMouseMessage(TMessage& Message);
  void WMCharCombo(TWMChar& Message);
  void WMPasteCombo(TMessage& Message);
  void WMClearCombo(TMessage& Message);
  void WMSetCursorCombo(TWMSetCursor& Message);
  void CMExitCombo(TCMExit& Message);
  void CMCancelModeCombo(TCMCancelMode& Message);

  bool FCaseInsensitiveTextSearch = true;
  std::unique_ptr<TDropDownBoxKv> FDropDownBox;
  std::unique_ptr<TCustomComboBoxStringsKv> FItems;
  std::unique_ptr<TStringList> FKeyItems;
  bool FLimitTextToListValues = false;
  bool FLimitTextToListValuesStored = false;
  bool FListVisible = false;
  TPopupListboxFormKv* FPopupListbox = nullptr;  // owned through the component list
  TPopupListboxFormClassKv FPopupListboxClass;
  bool FWheelEventInListbox = false;
  TCloseUpEventKv FOnCloseUp;
  TAcceptEventKv FOnClosingUp;
  TNotifyEvent FOnDropDown;
  TListGetImageIndexEventKv FOnGetItemImageIndex;
  TNotifyEvent FOnGetItemsList;
  TNotInListEventKv FOnNotInList;
  Integer FDefaultItemIndex = -1;
  Integer FItemIndex = -1;
  Integer FItemsCount = 0;
  bool FKeyBased = false;
  Variant FVarValue;
};

class TDBComboBoxKv : public TCustomDBComboBoxKv {
  DECLARE_CLASS(TDBComboBoxKv, TCustomDBComboBoxKv)
 public:
  using TCustomDBComboBoxKv::TCustomDBComboBoxKv;
  PUBLISHED_DECL(TDBComboBoxKv);
};
