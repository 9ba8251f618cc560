#pragma once
// The drop-down list of the combo edit, of the most-recently-used lists and of the grids' filter
// and cell editors (part of the unit GridsKv): an inactive popup form, so the edit under it keeps
// the focus and keeps typing, filled by one TPopupListboxGridKv. Included where it is used, since
// it brings the form layer.
//
// Owners fill Items (or set ExtItems), size it with InternalResizing on, place it with
// AdjustPopupBounds and show it; on OnMouseUp with the left button they close it when
// IsMouseUpCloseListbox is true. A size the user gave it survives between showings.

#include "kvlib/foundation/toolctrls/PopupForms.h"
#include "kvlib/grids/gridskv/ListBoxes.h"

class TPopupListboxFormKv : public TPopupInactiveFormKv {
  DECLARE_CLASS(TPopupListboxFormKv, TPopupInactiveFormKv)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_MOUSEWHEEL, TMessage, WMMouseWheel)
  END_MESSAGE_MAP
 public:
  explicit TPopupListboxFormKv(TComponent* AOwner);
  ~TPopupListboxFormKv() override;
  // Make it with TComponent::Create<T>: the list is parented here.
  void AfterConstruction() override;

  // ---- Virtual operations, in slot order -------------------------------------------------------
  // The list grid's mouse-up: fires OnMouseUp with the form as sender.
  virtual void ListGridMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, Integer X, Integer Y);
  virtual Integer GetTextHeight();
  virtual Integer GetBorderSize();

  void ApplyFilter(const String& AFilterStr, TLSAutoFilterTypeKv AFilterType, bool ACaseInsensitive);
  void ClearFilter();
  // Makes the form's and the list's windows.
  void HandleNeeded();
  // Snaps the height to whole rows of the list's item height (at least one row).
  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;

  // ---- Properties, forwarded to the list grid ----------------------------------------------------
  TPopupListboxGridKv* GetListGrid() const { return FListGrid; }
  TColor GetColor() const;
  void SetColor(TColor Value);
  Integer GetCount();
  bool GetCtl3D() const;
  void SetCtl3D(bool Value);
  bool GetParentCtl3D() const;
  void SetParentCtl3D(bool Value);
  TFont* GetFont() const;
  void SetFont(TFont* Value);
  TStrings* GetItems();
  void SetItems(TStrings* Value);
  Integer GetItemHeight() const;
  void SetItemHeight(Integer Value);
  TCustomImageList* GetImageList() const;
  void SetImageList(TCustomImageList* Value);
  Integer GetItemIndex();
  void SetItemIndex(Integer Value);
  bool GetIsMouseUpCloseListbox() const;
  Integer GetRowCount() const { return FRowCount; }
  void SetRowCount(Integer Value);
  TStrings* GetExtItems() const;
  void SetExtItems(TStrings* Value);
  Integer GetResizedRowCount() const { return FResizedRowCount; }
  void SetResizedRowCount(Integer Value) { FResizedRowCount = Value; }
  Integer GetResizedWidth() const { return FResizedWidth; }
  void SetResizedWidth(Integer Value) { FResizedWidth = Value; }
  bool GetSizeGripAlwaysShow() const;
  void SetSizeGripAlwaysShow(bool Value);
  bool GetSizeGripResized() const;
  void SetSizeGripResized(bool Value);
  bool GetInternalResizing() const { return FInternalResizing; }
  void SetInternalResizing(bool Value);
  TGridSelectionDrawParamsKv* GetSelectionDrawParams() const;
  void SetSelectionDrawParams(TGridSelectionDrawParamsKv* Value);
  bool GetSorted() const;
  void SetSorted(bool Value);
  bool GetUseItemObjects() const;
  void SetUseItemObjects(bool Value);
  TListboxGetImageIndexEventKv GetOnGetImageIndex() const;
  void SetOnGetImageIndex(const TListboxGetImageIndexEventKv& Value);

 protected:
  void Resize() override;
  bool DoMouseWheel(TShiftState Shift, Integer WheelDelta, const TPoint& MousePos) override;
  void WMMouseWheel(TMessage& Message);

  bool FInternalResizing = false;
  TPopupListboxGridKv* FListGrid = nullptr;  // a child, freed with the form
  Integer FResizedRowCount = 0;
  Integer FResizedWidth = 0;
  Integer FRowCount = 0;
};

// The list of an edit's most-recently-used texts.
class TMRUListboxKv : public TPopupListboxFormKv {
  DECLARE_CLASS(TMRUListboxKv, TPopupListboxFormKv)
 public:
  explicit TMRUListboxKv(TComponent* AOwner);

  PUBLISHED_DECL(TMRUListboxKv);
};
