// The combo edit (part of the unit DBCtrlsKv): items and key items, searching and completing the
// typed text, the popup list, stepping with keys and the wheel, and limiting the text to the items.

#include "kvlib/editors/dbctrls/DBComboBoxKv.h"

#include <algorithm>

#include "framework/Clipbrd.h"
#include "framework/DB.h"
#include "kvlib/editors/dbctrls/EditImageKv.h"
#include "kvlib/editors/dbctrls/FieldDataLinkKv.h"
#include "kvlib/foundation/DBUtilsKv.h"
#include "kvlib/grids/gridskv/PopupListboxForm.h"

PUBLISHED_DEF(TDropDownBoxKv) {
  PROP(Align).Default(daLeft);
  PROP(AutoDrop).Default(false);
  PROP(AutoFilterType).Default(lsftBeginsWithKv);
  PROP(AutoFilter).Default(false);
  PROP(Rows).Default(7);
  PROP(Sizable).Default(false);
  PROP(Width).Default(0);
}

PUBLISHED_DEF(TDBComboBoxKv) {
  PROP(Alignment).Stored(&TDBComboBoxKv::IsAlignmentStored);
  PROP(AutoSelect).Default(true);
  PROP(AutoSize).Default(true);
  PROP(CaseInsensitiveTextSearch).Default(true);
  PROP(DataField);
  PROP(DataSource);
  PROP(DropDownBox);
  PROP(EditButton);
  PROP(EditButtons);
  PROP(Flat).Default(false);
  PROP(Images);
  PROP(Items);
  PROP(KeyItems);
  PROP(LimitTextToListValues).Stored(&TDBComboBoxKv::GetLimitTextToListValuesStored);
  PROP(LimitTextToListValuesStored).Default(false);
  PROP(ReadOnly).Default(false);
  PROP(Text).Stored(&TDBComboBoxKv::IsTextStored);
  EVENT(OnChange);
  EVENT(OnCloseUp);
  EVENT(OnDropDown);
  EVENT(OnGetItemImageIndex);
  EVENT(OnNotInList);
}

void TDropDownBoxKv::Assign(TPersistent* Source) {
  if (auto* Src = dynamic_cast<TDropDownBoxKv*>(Source)) {
    FAlign = Src->FAlign;
    FAutoDrop = Src->FAutoDrop;
    FAutoFilterType = Src->FAutoFilterType;
    FAutoFilter = Src->FAutoFilter;
    FRows = Src->FRows;
    FSizable = Src->FSizable;
    FWidth = Src->FWidth;
    return;
  }
  inherited::Assign(Source);
}

// ---- Construction -----------------------------------------------------------------------------

TCustomDBComboBoxKv::TCustomDBComboBoxKv(TComponent* AOwner) : TCustomDBEditKv(AOwner) {
  FItems.reset(GetItemsClass().Create());
  FItems->SetComboBox(this);
  FItems->SetOnChange({this, &TCustomDBComboBoxKv::ItemsChanged});
  FKeyItems = std::make_unique<TStringList>();
  FKeyItems->SetCaseSensitive(true);
  FKeyItems->SetOnChange({this, &TCustomDBComboBoxKv::KeyItemsChanged});
  FVarValue = Null;
  FDropDownBox.reset(CreateDropDownBox());
  FItemIndex = -1;
  FItems->SetCaseSensitive(false);
  // The base made its main button before this class was there to choose it.
  TEditButtonKv* Visible = CreateEditButton();
  Visible->Assign(FEditButton.get());
  Visible->SetVisible(true);
  Visible->SetOnChanged({this, &TCustomDBComboBoxKv::EditButtonsChanged});
  Visible->SetOnRefComponentChanged({this, &TCustomDBComboBoxKv::EditButtonImagesChanged});
  FEditButton.reset(Visible);
}

TCustomDBComboBoxKv::~TCustomDBComboBoxKv() {
  FDataLink->SetOnDataChange(nullptr);
  FDataLink->SetDataSource(nullptr);
  FItems->SetOnChange(nullptr);
  FKeyItems->SetOnChange(nullptr);
  FDropDownBox.reset();
  FKeyItems.reset();
  FItems.reset();
}

TDropDownBoxKv* TCustomDBComboBoxKv::CreateDropDownBox() {
  auto* Box = new TDropDownBoxKv();
  Box->SetRows(7);
  return Box;
}

TCustomComboBoxStringsClassKv TCustomDBComboBoxKv::GetItemsClass() { return TCustomComboBoxStringsKv::StaticClass(); }

TEditButtonKv* TCustomDBComboBoxKv::CreateEditButton() {
  return new TVisibleEditButtonKv(static_cast<TWinControl*>(this));
}

void TCustomDBComboBoxKv::SetImages(TCustomImageList* Value) {
  TCustomDBEditKv::SetImages(Value);
  FEditImage->SetVisible(Value != nullptr || FEditImage->GetVisible());
}

// ---- Items ------------------------------------------------------------------------------------

void TCustomDBComboBoxKv::UpdateKeyBased() {
  FItemsCount = FItems->GetCount();
  FKeyBased = FKeyItems->GetCount() > 0;
  if (FKeyBased) {
    FItemsCount = std::min(FItems->GetCount(), FKeyItems->GetCount());
    DataChanged();
  }
  UpdateReadOnlyState();
}

void TCustomDBComboBoxKv::ItemsChanged(TObject*) {
  if (GetComponentState().Contains(csDestroying)) return;
  UpdateKeyBased();
  UpdateItemIndex();
  UpdateMaxLengthFromField();
}

void TCustomDBComboBoxKv::KeyItemsChanged(TObject* Sender) {
  ItemsChanged(Sender);
  if (!GetComponentState().Contains(csDestroying)) DataChanged();
}

void TCustomDBComboBoxKv::CheckItemsList() {
  if (FItems->GetCount() == 0 && FOnGetItemsList) FOnGetItemsList(this);
}

void TCustomDBComboBoxKv::SetCaseInsensitiveTextSearch(bool Value) {
  if (FCaseInsensitiveTextSearch == Value) return;
  FCaseInsensitiveTextSearch = Value;
  FItems->SetCaseSensitive(!Value);
}

bool TCustomDBComboBoxKv::GetLimitTextToListValues() const {
  if (FLimitTextToListValuesStored) return FLimitTextToListValues;
  return FKeyItems->GetCount() > 0 && !FOnNotInList;
}

void TCustomDBComboBoxKv::SetLimitTextToListValues(bool Value) {
  FLimitTextToListValues = Value;
  FLimitTextToListValuesStored = true;
  UpdateReadOnlyState();
}

void TCustomDBComboBoxKv::SetLimitTextToListValuesStored(bool Value) {
  if (Value == FLimitTextToListValuesStored) return;
  bool Default = FKeyItems->GetCount() > 0 && !FOnNotInList;
  FLimitTextToListValuesStored = Value;
  FLimitTextToListValues = Default;
  UpdateReadOnlyState();
}

void TCustomDBComboBoxKv::UpdateItemIndex() {
  Integer Index = FItems->IndexOf(GetEditText());
  FItemIndex = Index < FItemsCount ? Index : -1;
  UpdatePopupItemIndex();
  RefreshEditImageIndex();
}

void TCustomDBComboBoxKv::UpdatePopupItemIndex() {
  if (FListVisible && FPopupListbox) FPopupListbox->SetItemIndex(FItemIndex);
}

void TCustomDBComboBoxKv::SelectItemIndex(Integer Index) {
  if (Index == FItemIndex) return;
  CheckItemsList();
  if (Index < 0 || Index >= FItemsCount) {
    FItemIndex = -1;
    FVarValue = Null;
  } else {
    FItemIndex = Index;
    if (FKeyBased) FVarValue = Variant(FKeyItems->GetStrings(Index));
  }
  RefreshEditImageIndex();
  UpdatePopupItemIndex();
  // A change the user or the program chose: the link hears it as a modification.
  Integer Kept = FItemIndex;
  SetEditText(Kept >= 0 ? FItems->GetStrings(Kept) : String());
  FItemIndex = Kept;
}

void TCustomDBComboBoxKv::SetItemIndex(Integer Value) {
  if (GetComponentState().Contains(csDesigning) && !DataIndepended()) return;
  if (!DataIndepended())
    if (TDataSource* Source = GetDataSource())
      if (TDataSet* DataSet = Source->GetDataSet()) DataSet->Edit();
  SelectItemIndex(Value);
  try {
    UpdateData();
  } catch (...) {
    FDataLink->Reset();
    throw;
  }
}

void TCustomDBComboBoxKv::Change() {
  UpdateItemIndex();
  inherited::Change();
}

void TCustomDBComboBoxKv::RefreshEditImageIndex() {
  FDefaultItemIndex = FItemIndex;
  DoEvent(FOnGetItemImageIndex, this, FItemIndex, FDefaultItemIndex);
  inherited::RefreshEditImageIndex();
}

// ---- Values -----------------------------------------------------------------------------------

void TCustomDBComboBoxKv::Clear() {
  if (FKeyBased) SetValue(Null);
  else inherited::Clear();
}

TAlignment TCustomDBComboBoxKv::DefaultAlignment() {
  return FKeyBased ? taLeftJustify : inherited::DefaultAlignment();
}

Variant TCustomDBComboBoxKv::GetVariantValue() { return FKeyBased ? FVarValue : inherited::GetVariantValue(); }

bool TCustomDBComboBoxKv::IsValidChar(Char InputChar) { return FKeyBased || inherited::IsValidChar(InputChar); }

void TCustomDBComboBoxKv::UpdateMaxLengthFromField() {
  if (FKeyBased) {
    if (GetMaxLength() > 0) SetMaxLength(0);
    return;
  }
  inherited::UpdateMaxLengthFromField();
}

void TCustomDBComboBoxKv::UpdateReadOnlyState() {
  // Typing into a limited combo goes through the item search, never straight into the window.
  if (FKeyItems && GetLimitTextToListValues()) TCustomMaskEdit::SetReadOnly(true);
  else inherited::UpdateReadOnlyState();
}

void TCustomDBComboBoxKv::InternalSetText(const String& AText) {
  if (!FKeyBased) {
    inherited::InternalSetText(AText);
    UpdateItemIndex();
    return;
  }
  Integer Index = FItems->IndexOf(AText);
  if (Index < 0 || Index >= FItemsCount) return;
  FItemIndex = Index;
  RefreshEditImageIndex();
  UpdatePopupItemIndex();
  FVarValue = Variant(FKeyItems->GetStrings(Index));
  inherited::InternalSetText(AText);
  FItemIndex = Index;
}

void TCustomDBComboBoxKv::InternalSetValue(const Variant& AValue) {
  if (!FKeyBased) {
    inherited::InternalSetValue(AValue);
    UpdateItemIndex();
    return;
  }
  FVarValue = AValue;
  Integer Index = -1;
  if (!VarIsNull(AValue) && !VarIsEmpty(AValue)) Index = FKeyItems->IndexOf(ValueToTextKv(AValue));
  String Text = Index >= 0 && Index < FItemsCount ? FItems->GetStrings(Index) : String();
  inherited::InternalSetText(Text);
  FItemIndex = Index;
  RefreshEditImageIndex();
  UpdatePopupItemIndex();
}

void TCustomDBComboBoxKv::DataChanged() {
  if (GetComponentState().Contains(csDestroying) || !FKeyItems) return;
  TField* Field = GetField();
  bool Modifiable = FFocused && FDataLink->GetCanModify();
  if (Field) {
    Variant Value;
    bool Handled = false;
    DoEvent(FOnGetFieldData, this, Value, Handled);
    if (!Handled) {
      Value = Variant((Modifiable || FKeyBased) ? Field->GetText() : Field->GetDisplayText());
      if (!FAssignedValues.Contains(evAlignmentKv) && Field->GetAlignment() != FAlignment) Invalidate();
      if (!FAssignedValues.Contains(evEditMaskKv)) TCustomMaskEdit::SetEditMask(Field->GetEditMask());
      if (!GetComponentState().Contains(csDesigning) && !FKeyBased && GetMaxLength() == 0 &&
          (Field->GetDataType() == ftString || Field->GetDataType() == ftWideString))
        SetMaxLength(Field->GetSize());
    }
    if (Modifiable || FKeyBased) {
      InternalSetValue(Variant(ValueToTextKv(Value)));
    } else {
      bool Old = FInternalTextSetting;
      FInternalTextSetting = true;
      try {
        SetEditText(ValueToTextKv(Value));
      } catch (...) {
        FInternalTextSetting = Old;
        throw;
      }
      FInternalTextSetting = Old;
    }
  } else if (DataIndepended()) {
    if (!FAssignedValues.Contains(evEditMaskKv)) TCustomMaskEdit::SetEditMask(String());
    if (FKeyBased) InternalSetValue(FDataLink->DataIndependentValue);
    else InternalSetText(ValueToTextKv(FDataLink->DataIndependentValue));
  } else {
    if (!FAssignedValues.Contains(evEditMaskKv)) TCustomMaskEdit::SetEditMask(String());
    InternalSetText(String());
  }
  UpdateReadOnlyState();
  SetModified(false);
}

void TCustomDBComboBoxKv::InternalUpdatePostData() {
  if (GetField() || FKeyBased) FDataLink->SetText(ValueToTextKv(GetValue()));
  else FDataLink->SetText(GetEditText());
}

void TCustomDBComboBoxKv::UpdateData() {
  if (FOnNotInList && FItemIndex == -1) {
    bool Recheck = false;
    const String NewText = GetText();
    FOnNotInList(this, NewText, Recheck);
    // The handler may have added the text (new key items re-read the data): look the text up
    // again, so that its new key is what posts.
    if (Recheck) {
      Integer Index = FItems->IndexOf(NewText);
      if (Index >= 0 && Index < FItemsCount) {
        FItemIndex = -1;
        SelectItemIndex(Index);
      }
    }
  }
  inherited::UpdateData();
}

String TCustomDBComboBoxKv::GetDisplayTextForPaintCopy() {
  TField* Field = GetField();
  if (!Field) return GetEditText();
  String Text = Field->GetDisplayText();
  if (FKeyBased) {
    Integer Index = FKeyItems->IndexOf(Field->GetText());
    Text = Index >= 0 && Index < FItemsCount ? FItems->GetStrings(Index) : String();
  }
  if (GetCharCase() == ecUpperCase) return AnsiUpperCase(Text);
  if (GetCharCase() == ecLowerCase) return AnsiLowerCase(Text);
  return Text;
}

// ---- Searching and typing ---------------------------------------------------------------------

bool TCustomDBComboBoxKv::CanEditValue() { return !FReadOnly && FDataLink->Edit(); }

bool TCustomDBComboBoxKv::LocateStr(const String& Text, bool Partial) {
  if (!EditCanModify()) return false;
  const Integer Old = FItemIndex;
  try {
    Integer Options = Partial ? slPartialKeyKv : 0;
    Integer Index = StringsLocate(FItems.get(), Text, Options);
    if (Index < 0 && FCaseInsensitiveTextSearch) Index = StringsLocate(FItems.get(), Text, Options | slCaseInsensitiveKv);
    if (Index >= FItemsCount) Index = -1;
    if (Index >= 0) {
      SelectItemIndex(Index);
      String Item = FItems->GetStrings(Index);
      if (GetEditText() != Item) SetEditText(Item);
      // The completed tail is selected, the caret at the end.
      if (HandleAllocated())
        SendMessageW(GetHandle(), EM_SETSEL, WPARAM(std::min(Text.size(), Item.size())), LPARAM(Item.size()));
    } else if (!GetLimitTextToListValues()) {
      UpdateItemIndex();
    }
    FilterPopupList();
  } catch (const EConvertError&) {
    FItemIndex = Old;
  } catch (...) {
    FItemIndex = Old;
    throw;
  }
  return FItemIndex != Old;
}

bool TCustomDBComboBoxKv::ProcessTypedText(const String& Text) {
  if (!(GetField() || DataIndepended()) || !EditCanModify()) return false;
  if (Text == String(1, Char(VK_BACK))) {
    const Integer Len = Integer(GetEditText().size());
    const Integer SelLen = GetSelLength();
    // The text stays; the selection grows back from the end.
    Integer NewLen = SelLen >= Len ? 1 : SelLen + 1;
    NewLen = std::min(NewLen, Len);
    if (HandleAllocated()) SendMessageW(GetHandle(), EM_SETSEL, WPARAM(Len - NewLen), LPARAM(Len));
    FilterPopupList();
    return false;
  }
  CheckItemsList();
  String Search = GetEditText().substr(0, size_t(std::max(GetSelStart(), 0))) + Text;
  if (Search.empty()) return false;
  return LocateStr(Search, true);
}

void TCustomDBComboBoxKv::FilterPopupList() {
  if (!FListVisible || !FPopupListbox || !FDropDownBox->GetAutoFilter()) return;
  String Before = GetEditText().substr(0, size_t(std::max(GetSelStart(), 0)));
  FPopupListbox->ApplyFilter(Before, FDropDownBox->GetAutoFilterType(), FCaseInsensitiveTextSearch);
}

void TCustomDBComboBoxKv::SelectNextValue(bool IsPrior) {
  if (!EditCanModify()) return;
  CheckItemsList();
  Integer Index = FItemIndex;
  if (IsPrior) {
    if (Index > 0) --Index;
    else if (Index < 0) Index = FItemsCount - 1;
  } else if (Index < FItemsCount - 1) {
    ++Index;
  }
  if (Index == FItemIndex) return;
  SelectItemIndex(Index);
  SelectAll();
}

// ---- Popup list -------------------------------------------------------------------------------

TPopupListboxFormKv* TCustomDBComboBoxKv::GetPopupListbox() {
  if (FPopupListbox) return FPopupListbox;
  TPopupListboxFormClassKv Class = FPopupListboxClass ? FPopupListboxClass : TPopupListboxFormClassKv(TPopupListboxFormKv::StaticClass());
  std::unique_ptr<TPopupListboxFormKv> Made(Class.Create(static_cast<TComponent*>(this)));
  Made->AfterConstruction();
  TPopupListboxFormKv* P = Made.release();
  P->SetVisible(false);
  P->SetCtl3D(true);
  P->SetOnMouseUp({this, &TCustomDBComboBoxKv::PopupMouseUp});
  P->SetOnGetImageIndex({this, &TCustomDBComboBoxKv::PopupGetImageIndex});
  P->FreeNotification(this);
  FPopupListbox = P;
  return P;
}

void TCustomDBComboBoxKv::PopupGetImageIndex(TObject*, Integer ItemIndex, Integer& ImageIndex) {
  DoEvent(FOnGetItemImageIndex, this, ItemIndex, ImageIndex);
}

void TCustomDBComboBoxKv::PopupMouseUp(TObject*, TMouseButton Button, TShiftState, Integer X, Integer Y) {
  if (Button != mbLeft || !FPopupListbox || !FPopupListbox->GetIsMouseUpCloseListbox()) return;
  CloseUp(FPopupListbox->GetListGrid()->GetClientRect().Contains(TPoint(X, Y)));
}

void TCustomDBComboBoxKv::DropDown(TEditButtonKv* AEditButton) {
  if (FListVisible) return;
  TEditButtonKv* Button = AEditButton ? AEditButton : GetFirstDefaultActionEditButton();
  if (Button) SetDroppedDownButton(Button, GetEditButtonControlByEditButton(Button));
  DoEvent(FOnDropDown, this);
  TPopupListboxFormKv* P = GetPopupListbox();
  P->HandleNeeded();
  CheckItemsList();
  P->SetInternalResizing(true);
  P->SetColor(GetPopupColor());
  P->SetFont(GetPopupFont());
  P->SetImageList(GetImages());
  Integer ItemHeight = P->GetTextHeight();
  if (TCustomImageList* Images = GetImages())
    if (FEditImage->GetUseImageHeight() && ItemHeight < Images->GetHeight() + 1) ItemHeight = Images->GetHeight() + 1;
  P->SetItemHeight(ItemHeight);
  P->ClearFilter();
  P->SetExtItems(nullptr);
  P->SetExtItems(FItems.get());
  P->GetListGrid()->SetCount(FItems->GetCount());
  const Integer Count = std::min(P->GetCount(), FItemsCount);
  if (FItemIndex < Count) P->SetItemIndex(FItemIndex);
  Integer Width = FDropDownBox->GetWidth();
  if (Width == -1) {
    TCanvas* Canvas = GetEditCanvas();
    Canvas->SetFont(TControl::GetFont());
    Integer Widest = 0;
    for (Integer I = 0; I < FItemsCount; ++I) Widest = std::max(Widest, Canvas->TextWidth(FItems->GetStrings(I)));
    Width = Widest + (GetImages() ? GetImages()->GetWidth() + 9 : 5) + 2 * P->GetBorderWidth();
  } else if (Width < 1) {
    Width = GetWidth();
  }
  P->SetWidth(std::max(Width, GetWidth()));
  P->SetRowCount(std::max(1, std::min(Count, FDropDownBox->GetRows())));
  P->SetSizeGripAlwaysShow(FDropDownBox->GetSizable());
  TDropDownAlign Align = FDropDownBox->GetAlign();
  if (UseRightToLeftAlignment() && Align != daCenter) Align = Align == daLeft ? daRight : daLeft;
  TPoint Pos;
  AdjustPopupBoundsForControl(this, P, Integer(Align), Pos);
  P->SetBounds(Pos.X, Pos.Y, P->GetWidth(), P->GetHeight());
  P->SetMasterFocusControl(this);
  P->Show();
  P->SetInternalResizing(false);
  FListVisible = true;
  P->SetSizeGripResized(false);
  FDroppedDown = true;
}

void TCustomDBComboBoxKv::CloseUp(bool Accept) {
  if (!FListVisible || !FPopupListbox) return;
  TPopupListboxFormKv* P = FPopupListbox;
  if (HWND Captured = GetCapture()) SendMessageW(Captured, WM_CANCELMODE, 0, 0);
  bool HadFocus = P->HandleAllocated() && (GetFocus() == P->GetHandle() || IsChild(P->GetHandle(), GetFocus()));
  P->SetVisible(false);
  if (P->GetSizeGripResized()) {
    FDropDownBox->SetRows(P->GetResizedRowCount());
    FDropDownBox->SetWidth(P->GetResizedWidth());
  }
  if (HadFocus && CanFocus()) SetFocus();
  FListVisible = false;
  ClearDroppedDownButton();
  inherited::CloseUp(Accept);
  DoEvent(FOnClosingUp, this, Accept);
  if (Accept && !FReadOnly && FDataLink->Edit()) {
    SelectItemIndex(P->GetItemIndex());
    if (Focused()) SelectAll();
  }
  DoEvent(FOnCloseUp, this, Accept);
  P->ClearFilter();
}

void TCustomDBComboBoxKv::EditButtonDropDown(TEditButtonKv* EditButton, TEditButtonControlKv* EditButtonControl,
                                             bool& Handled) {
  if (EditButtonControl) EditButtonControl->SetAlwaysDown(true);
  inherited::EditButtonDropDown(EditButton, EditButtonControl, Handled);
  DropDown(EditButton);
  Handled = true;
}

void TCustomDBComboBoxKv::DefaultEditButtonDown(TEditButtonKv* EditButton, TEditButtonControlKv* EditButtonControl,
                                                bool& Handled, bool, bool TopButton) {
  TEditButtonStyleKv Style = EditButton->GetStyle();
  if (Style == ebsUpDownKv || Style == ebsAltUpDownKv) {
    if (!FReadOnly && FDataLink->Edit()) SelectNextValue(TopButton);
    Handled = true;
    return;
  }
  if (FListVisible) return;
  EditButtonDropDown(EditButton, EditButtonControl, Handled);
  FNoClickCloseUp = true;
}

// ---- Keys, mouse and messages -----------------------------------------------------------------

void TCustomDBComboBoxKv::KeyDown(Word& Key, TShiftState Shift) {
  inherited::KeyDown(Key, Shift);
  if (Key == 0) return;
  if ((Key == VK_UP || Key == VK_DOWN) && Shift.Empty() && !FListVisible) {
    if (GetWordWrap() && GetSelLength() < Integer(GetEditText().size())) return;
    if (!FReadOnly) {
      SelectNextValue(Key == VK_UP);
      Key = 0;
    }
    return;
  }
  if (!GetLimitTextToListValues()) return;
  if (Key == VK_DELETE && Shift.Empty()) {
    TField* Field = GetField();
    if ((DataIndepended() || (Field && !Field->GetRequired())) && CanEditValue()) SetValue(Null);
    Key = 0;
  } else if (Key == 'V' && Shift == TShiftState{ssCtrl}) {
    Perform(WM_PASTE, 0, 0);
    Key = 0;
  }
}

void TCustomDBComboBoxKv::KeyPress(Char& Key) {
  if (FListVisible && (Key == VK_RETURN || Key == VK_ESCAPE)) {
    CloseUp(Key == VK_RETURN);
    Key = 0;
    return;
  }
  String Complete = FCompleteKeyPress.empty() ? String(1, Key) : FCompleteKeyPress;
  inherited::KeyPress(Key);
  if (Key == 0) return;
  const bool Limited = GetLimitTextToListValues() && !FReadOnly;
  if (Key == VK_BACK && Limited) {
    ProcessTypedText(String(1, Char(VK_BACK)));
    Key = 0;
    return;
  }
  if (Key > 31) {
    if (FDropDownBox->GetAutoDrop() && !FListVisible) DropDown(nullptr);
    if (Limited) {
      ProcessTypedText(Complete);
      Key = 0;
    }
  }
}

void TCustomDBComboBoxKv::WMCharCombo(TWMChar& Message) {
  const Char Typed = Char(Message.CharCode);
  WMChar(Message);
  if (Typed == 0 || GetLimitTextToListValues() || Typed == L'.' || GetKeyState(VK_CONTROL) < 0) return;
  const Integer Len = Integer(GetEditText().size());
  if (GetSelStart() != Len || GetSelLength() > 0 || Typed == VK_BACK) {
    const Integer Caret = GetSelStart();
    CheckItemsList();
    if (LocateStr(GetEditText(), false) && HandleAllocated())
      SendMessageW(GetHandle(), EM_SETSEL, WPARAM(Integer(GetEditText().size())), LPARAM(Caret));
  } else {
    ProcessTypedText(String());
  }
}

void TCustomDBComboBoxKv::WMPasteCombo(TMessage& Message) {
  if (!GetLimitTextToListValues()) {
    WMPaste(Message);
    return;
  }
  if (IsClipboardFormatAvailable(CF_TEXT) || IsClipboardFormatAvailable(CF_UNICODETEXT))
    ProcessTypedText(Clipboard()->GetAsText());
}

void TCustomDBComboBoxKv::WMClearCombo(TMessage& Message) {
  if (FKeyBased) {
    if (CanEditValue()) SetValue(Null);
    return;
  }
  WMClear(Message);
}

void TCustomDBComboBoxKv::WMSetCursorCombo(TWMSetCursor& Message) {
  if (GetLimitTextToListValues() && Message.HitTest == HTCLIENT) {
    ::SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    Message.Result = 1;
    return;
  }
  WMSetCursor(Message);
}

bool TCustomDBComboBoxKv::LimitedMouseMessage(TMessage& Message) {
  if (!GetLimitTextToListValues() || Message.Msg < WM_LBUTTONDOWN || Message.Msg > WM_MBUTTONDBLCLK) return false;
  TPoint P = LParamToPoint(Message.LParam);
  if (ButtonsRect().Contains(P)) return false;
  if (Message.Msg == WM_LBUTTONDOWN) {
    if (!FListVisible && CanDropDown()) {
      if (CanFocus()) SetFocus();
      DropDown(nullptr);
    } else if (FListVisible) {
      CloseUp(false);
    }
  } else if (Message.Msg == WM_RBUTTONUP) {
    TPoint S = ClientToScreen(P);
    Perform(WM_CONTEXTMENU, WPARAM(GetHandle()), MAKELPARAM(S.X, S.Y));
  }
  return true;
}

void TCustomDBComboBoxKv::WndProc(TMessage& Message) {
  if (FListVisible && FPopupListbox && (Message.Msg == WM_KEYDOWN || Message.Msg == WM_SYSKEYDOWN)) {
    const Word Key = Word(Message.WParam);
    const bool Ctrl = GetKeyState(VK_CONTROL) < 0;
    TShiftState Shift = KeyDataToShiftState(Message.LParam);
    if ((Key == VK_PRIOR || Key == VK_NEXT || Key == VK_UP || Key == VK_DOWN ||
         ((Key == VK_END || Key == VK_HOME) && Ctrl)) &&
        !GetEditButtonByShortCut(ShortCut(Key, Shift))) {
      FPopupListbox->GetListGrid()->Perform(Message.Msg, Message.WParam, Message.LParam);
      return;
    }
  }
  if (FListVisible && Message.Msg == CM_WANTSPECIALKEY && (Message.WParam == VK_RETURN || Message.WParam == VK_ESCAPE)) {
    Message.Result = 1;
    return;
  }
  if (LimitedMouseMessage(Message)) return;
  inherited::WndProc(Message);
}

bool TCustomDBComboBoxKv::DoMouseWheel(TShiftState Shift, Integer WheelDelta, const TPoint& MousePos) {
  if (FListVisible && FPopupListbox && !FWheelEventInListbox) {
    FWheelEventInListbox = true;
    LRESULT R = 0;
    try {
      R = FPopupListbox->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WheelDelta), MAKELPARAM(MousePos.X, MousePos.Y));
    } catch (...) {
      FWheelEventInListbox = false;
      throw;
    }
    FWheelEventInListbox = false;
    if (R) return true;
  }
  if (inherited::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
  if (!Shift.Empty() || FReadOnly || !FDataLink->Edit()) return false;
  SelectNextValue(WheelDelta > 0);
  return true;
}

void TCustomDBComboBoxKv::CMExitCombo(TCMExit& Message) {
  if (FListVisible && FPopupListbox &&
      !(FPopupListbox->HandleAllocated() && IsChild(FPopupListbox->GetHandle(), GetFocus())))
    CloseUp(false);
  CMExit(Message);
}

void TCustomDBComboBoxKv::CMCancelModeCombo(TCMCancelMode& Message) {
  CMCancelMode(Message);
  if (!FListVisible || !FPopupListbox) return;
  TControl* Sender = Message.Sender;
  if (Sender == this || (Sender && Sender->GetParent() == this) || Sender == FPopupListbox ||
      (Sender && Sender->GetParent() == FPopupListbox))
    return;
  CloseUp(false);
}
