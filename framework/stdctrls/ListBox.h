#pragma once
// TCustomListBox/TListBox over the system LISTBOX window and TCustomComboBox/TComboBox over
// COMBOBOX. Items live in the window while it exists and in a plain list before and between.

#include "framework/stdctrls/StdTypes.h"

class TStrings;
class TStringList;

class TCustomListBox : public TWinControl {
  DECLARE_CLASS(TCustomListBox, TWinControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CN_COMMAND, TWMCommand, CNCommand)
    MESSAGE_HANDLER(CN_DRAWITEM, TWMDrawItem, CNDrawItem)
    MESSAGE_HANDLER(CN_MEASUREITEM, TWMMeasureItem, CNMeasureItem)
    MESSAGE_HANDLER(CN_CTLCOLORLISTBOX, TWMCtlColor, CNCtlColor)
    MESSAGE_HANDLER(CM_BIDIMODECHANGED, TMessage, CMBiDiModeChanged)
  END_MESSAGE_MAP

 public:
  explicit TCustomListBox(TComponent* AOwner);
  ~TCustomListBox() override;

  void Clear();
  void SelectAll();
  void ClearSelection();
  Integer ItemAtPos(const TPoint& Pos, bool Existing);
  TRect ItemRect(Integer Index);
  Integer GetCount() const;

  TStrings* GetItems() const { return FItems.get(); }
  void SetItems(TStrings* Value);
  Integer GetItemIndex();
  void SetItemIndex(Integer Value);
  Integer GetItemHeight();
  void SetItemHeight(Integer Value);
  bool GetMultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool Value);
  bool GetExtendedSelect() const { return FExtendedSelect; }
  void SetExtendedSelect(bool Value);
  bool GetSelected(Integer Index);
  void SetSelected(Integer Index, bool Value);
  Integer GetSelCount();
  bool GetSorted() const { return FSorted; }
  void SetSorted(bool Value);
  TListBoxStyle GetStyle() const { return FStyle; }
  void SetStyle(TListBoxStyle Value);
  Integer GetTopIndex();
  void SetTopIndex(Integer Value);
  TBorderStyle GetBorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  TCanvas* GetCanvas() const { return FCanvas.get(); }
  TDrawItemEvent GetOnDrawItem() const { return FOnDrawItem; }
  void SetOnDrawItem(const TDrawItemEvent& Value) { FOnDrawItem = Value; }
  TMeasureItemEvent GetOnMeasureItem() const { return FOnMeasureItem; }
  void SetOnMeasureItem(const TMeasureItemEvent& Value) { FOnMeasureItem = Value; }

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  virtual void DrawItem(Integer Index, TRect Rect, TOwnerDrawState State);
  virtual void MeasureItem(Integer Index, Integer& Height);
  void CNCommand(TWMCommand& Message);
  void CNDrawItem(TWMDrawItem& Message);
  void CNMeasureItem(TWMMeasureItem& Message);
  void CNCtlColor(TWMCtlColor& Message);
  void CMBiDiModeChanged(TMessage& Message);

 private:
  friend class TListBoxStrings;
  std::unique_ptr<TStrings> FItems;
  std::unique_ptr<TStringList> FSaveItems;  // the items while there is no window
  std::unique_ptr<TCanvas> FCanvas;
  Integer FItemIndex = -1;
  Integer FItemHeight = 16;
  Integer FTopIndex = 0;
  bool FMultiSelect = false;
  bool FExtendedSelect = true;
  bool FSorted = false;
  TListBoxStyle FStyle = lbStandard;
  TBorderStyle FBorderStyle = bsSingle;
  TDrawItemEvent FOnDrawItem;
  TMeasureItemEvent FOnMeasureItem;
};

class TListBox : public TCustomListBox {
  DECLARE_CLASS(TListBox, TCustomListBox)
 public:
  using TCustomListBox::TCustomListBox;
  PUBLISHED_DECL(TListBox);
};

class TCustomComboBox : public TWinControl {
  DECLARE_CLASS(TCustomComboBox, TWinControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CN_COMMAND, TWMCommand, CNCommand)
    MESSAGE_HANDLER(CN_DRAWITEM, TWMDrawItem, CNDrawItem)
    MESSAGE_HANDLER(CN_MEASUREITEM, TWMMeasureItem, CNMeasureItem)
    MESSAGE_HANDLER(CN_CHAR, TWMChar, CNChar)
    MESSAGE_HANDLER(CN_KEYDOWN, TWMKeyDown, CNKeyDown)
    MESSAGE_HANDLER(CM_BIDIMODECHANGED, TMessage, CMBiDiModeChanged)
  END_MESSAGE_MAP

 public:
  explicit TCustomComboBox(TComponent* AOwner);
  ~TCustomComboBox() override;
  void WndProc(TMessage& Message) override;
  void WindowRectToBounds(RECT& R) override;

  void Clear();
  Integer GetCount() const;
  TStrings* GetItems() const { return FItems.get(); }
  void SetItems(TStrings* Value);
  Integer GetItemIndex();
  void SetItemIndex(Integer Value);
  Integer GetItemHeight();
  void SetItemHeight(Integer Value);
  TComboBoxStyle GetStyle() const { return FStyle; }
  void SetStyle(TComboBoxStyle Value);
  Integer GetDropDownCount() const { return FDropDownCount; }
  void SetDropDownCount(Integer Value);
  bool GetDroppedDown();
  void SetDroppedDown(bool Value);
  bool GetAutoComplete() const { return FAutoComplete; }
  void SetAutoComplete(bool Value) { FAutoComplete = Value; }
  bool GetSorted() const { return FSorted; }
  void SetSorted(bool Value);
  Integer GetMaxLength() const { return FMaxLength; }
  void SetMaxLength(Integer Value);
  // The edit part's text; in a drop-down list, the selected item's (setting it selects the item).
  String GetText();
  void SetText(const String& Value);
  TCanvas* GetCanvas() const { return FCanvas.get(); }
  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }
  TNotifyEvent GetOnSelect() const { return FOnSelect; }
  void SetOnSelect(const TNotifyEvent& Value) { FOnSelect = Value; }
  TNotifyEvent GetOnDropDown() const { return FOnDropDown; }
  void SetOnDropDown(const TNotifyEvent& Value) { FOnDropDown = Value; }
  TNotifyEvent GetOnCloseUp() const { return FOnCloseUp; }
  void SetOnCloseUp(const TNotifyEvent& Value) { FOnCloseUp = Value; }
  TDrawItemEvent GetOnDrawItem() const { return FOnDrawItem; }
  void SetOnDrawItem(const TDrawItemEvent& Value) { FOnDrawItem = Value; }
  TMeasureItemEvent GetOnMeasureItem() const { return FOnMeasureItem; }
  void SetOnMeasureItem(const TMeasureItemEvent& Value) { FOnMeasureItem = Value; }

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  virtual void Change();
  virtual void Select();
  virtual void DropDown();
  virtual void CloseUp();
  virtual void DrawItem(Integer Index, TRect Rect, TOwnerDrawState State);
  virtual void MeasureItem(Integer Index, Integer& Height);
  void CNCommand(TWMCommand& Message);
  void CNDrawItem(TWMDrawItem& Message);
  void CNMeasureItem(TWMMeasureItem& Message);
  void CNChar(TWMChar& Message);
  void CNKeyDown(TWMKeyDown& Message);
  void CMBiDiModeChanged(TMessage& Message);

 private:
  friend class TComboBoxStrings;
  bool IsDropDownList() const { return FStyle != csDropDown && FStyle != csSimple; }
  Integer DroppedHeight();
  std::unique_ptr<TStrings> FItems;
  std::unique_ptr<TStringList> FSaveItems;
  std::unique_ptr<TCanvas> FCanvas;
  Integer FItemIndex = -1;
  Integer FItemHeight = 16;
  TComboBoxStyle FStyle = csDropDown;
  Integer FDropDownCount = 8;
  bool FAutoComplete = true;
  bool FSorted = false;
  Integer FMaxLength = 0;
  bool FTyped = false;  // a character was typed: the next edit change may complete it
  TNotifyEvent FOnChange, FOnSelect, FOnDropDown, FOnCloseUp;
  TDrawItemEvent FOnDrawItem;
  TMeasureItemEvent FOnMeasureItem;
};

class TComboBox : public TCustomComboBox {
  DECLARE_CLASS(TComboBox, TCustomComboBox)
 public:
  using TCustomComboBox::TCustomComboBox;
  PUBLISHED_DECL(TComboBox);
};
