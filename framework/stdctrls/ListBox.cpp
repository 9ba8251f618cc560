#include "framework/stdctrls/ListBox.h"

#include "framework/Forms.h"
#include "framework/classes/Strings.h"

PUBLISHED_DEF(TListBox) {
  PROP(BorderStyle).Default(bsSingle);
  PROP(ExtendedSelect).Default(true);
  PROP(ItemHeight).Default(16);
  PROP(Items);
  PROP(MultiSelect).Default(false);
  PROP(Sorted).Default(false);
  PROP(Style).Default(lbStandard);
  PROP(TopIndex).Default(0);
  EVENT(OnDrawItem);
  EVENT(OnMeasureItem);
}

PUBLISHED_DEF(TComboBox) {
  PROP(AutoComplete).Default(true);
  PROP(Style).Default(csDropDown);
  PROP(DropDownCount).Default(8);
  PROP(ItemHeight).Default(16);
  PROP(MaxLength).Default(0);
  PROP(Sorted).Default(false);
  PROP(Items);
  PROP(ItemIndex).Default(-1);
  PROP(Text);
  EVENT(OnChange);
  EVENT(OnSelect);
  EVENT(OnDropDown);
  EVENT(OnCloseUp);
  EVENT(OnDrawItem);
  EVENT(OnMeasureItem);
}

namespace {

// A control id of its own, so that WM_MEASUREITEM (which names the id only) finds the control.
void AssignControlID(HWND Wnd) {
  static Word Next = 0x7000;
  if (++Next == 0) Next = 0x7000;
  SetWindowLongPtrW(Wnd, GWLP_ID, Next);
}

// The item messages of a list box or a combo box.
struct TItemMessages {
  UINT AddString, InsertString, DeleteString, ResetContent, GetCount, GetText, GetTextLen, GetItemData,
      SetItemData, Err;
};
constexpr TItemMessages ListBoxMessages{LB_ADDSTRING,     LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT,
                                        LB_GETCOUNT,      LB_GETTEXT,      LB_GETTEXTLEN,   LB_GETITEMDATA,
                                        LB_SETITEMDATA,   UINT(LB_ERR)};
constexpr TItemMessages ComboBoxMessages{CB_ADDSTRING,   CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT,
                                         CB_GETCOUNT,    CB_GETLBTEXT,    CB_GETLBTEXTLEN, CB_GETITEMDATA,
                                         CB_SETITEMDATA, UINT(CB_ERR)};

// Items of a list or combo window: sent to the window while it exists, kept in Saved before.
class TWindowItems : public TStrings {
 public:
  TWindowItems(TWinControl* Control, const TItemMessages& M, std::unique_ptr<TStringList>& Saved)
      : FControl(Control), FM(M), FSaved(Saved) {}
  Integer GetCount() const override {
    if (!FControl->HandleAllocated()) return FSaved->GetCount();
    return Integer(Send(FM.GetCount));
  }
  String Get(Integer Index) const override {
    if (!FControl->HandleAllocated()) return FSaved->GetStrings(Index);
    LRESULT Len = Send(FM.GetTextLen, WPARAM(Index));
    if (Len == LRESULT(Integer(FM.Err))) Error(Index);
    String S(size_t(Len) + 1, L'\0');
    Len = Send(FM.GetText, WPARAM(Index), LPARAM(S.data()));
    S.resize(size_t(std::max<LRESULT>(Len, 0)));
    return S;
  }
  TObject* GetObject(Integer Index) const override {
    if (!FControl->HandleAllocated()) return FSaved->GetObjects(Index);
    CheckIndex(Index);
    return reinterpret_cast<TObject*>(Send(FM.GetItemData, WPARAM(Index)));
  }
  void PutObject(Integer Index, TObject* AObject) override {
    if (!FControl->HandleAllocated()) return FSaved->SetObjects(Index, AObject);
    CheckIndex(Index);
    Send(FM.SetItemData, WPARAM(Index), LPARAM(AObject));
  }
  Integer AddObject(const String& S, TObject* AObject) override {
    if (!FControl->HandleAllocated()) return FSaved->AddObject(S, AObject);
    LRESULT I = Send(FM.AddString, 0, LPARAM(S.c_str()));
    if (I < 0) throw EOutOfResources(L"Not enough room for the list's items");
    Send(FM.SetItemData, WPARAM(I), LPARAM(AObject));
    return Integer(I);
  }
  Integer Add(const String& S) override { return AddObject(S, nullptr); }
  void Insert(Integer Index, const String& S) override { InsertObject(Index, S, nullptr); }
  void InsertObject(Integer Index, const String& S, TObject* AObject) override {
    if (!FControl->HandleAllocated()) return FSaved->InsertObject(Index, S, AObject);
    if (Index < 0 || Index > GetCount()) Error(Index);
    LRESULT I = Send(FM.InsertString, WPARAM(Index), LPARAM(S.c_str()));
    if (I < 0) throw EOutOfResources(L"Not enough room for the list's items");
    Send(FM.SetItemData, WPARAM(I), LPARAM(AObject));
  }
  void Put(Integer Index, const String& S) override {
    if (!FControl->HandleAllocated()) return FSaved->SetStrings(Index, S);
    CheckIndex(Index);
    TObject* O = GetObject(Index);
    Delete(Index);
    InsertObject(Index, S, O);
  }
  void Delete(Integer Index) override {
    if (!FControl->HandleAllocated()) return FSaved->Delete(Index);
    CheckIndex(Index);
    Send(FM.DeleteString, WPARAM(Index));
  }
  void Clear() override {
    if (!FControl->HandleAllocated()) return FSaved->Clear();
    Send(FM.ResetContent);
  }

 private:
  LRESULT Send(UINT Msg, WPARAM W = 0, LPARAM L = 0) const {
    return SendMessageW(FControl->GetHandle(), Msg, W, L);
  }
  void CheckIndex(Integer Index) const {
    if (Index < 0 || Index >= GetCount()) Error(Index);
  }
  [[noreturn]] static void Error(Integer Index) { throw EStringListError(L"List index out of bounds (%d)", {Index}); }
  TWinControl* FControl;
  const TItemMessages& FM;
  std::unique_ptr<TStringList>& FSaved;
};

// Moves saved items into a new window and back out of it before the window goes.
void LoadItems(TStrings* Items, TStringList* Saved) {
  std::unique_ptr<TStringList> Copy(new TStringList);
  Copy->Assign(Saved);
  Saved->Clear();
  for (Integer I = 0; I < Copy->GetCount(); ++I) Items->AddObject(Copy->GetStrings(I), Copy->GetObjects(I));
}

void SaveItems(HWND Wnd, const TItemMessages& M, TStringList* Saved) {
  Saved->Clear();
  Integer N = Integer(SendMessageW(Wnd, M.GetCount, 0, 0));
  for (Integer I = 0; I < N; ++I) {
    LRESULT Len = SendMessageW(Wnd, M.GetTextLen, WPARAM(I), 0);
    String S(size_t(std::max<LRESULT>(Len, 0)) + 1, L'\0');
    Len = SendMessageW(Wnd, M.GetText, WPARAM(I), LPARAM(S.data()));
    S.resize(size_t(std::max<LRESULT>(Len, 0)));
    Saved->AddObject(S, reinterpret_cast<TObject*>(SendMessageW(Wnd, M.GetItemData, WPARAM(I), 0)));
  }
}

}  // namespace

// ---- TCustomListBox ---------------------------------------------------------------------------

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TWinControl(AOwner), FSaveItems(std::make_unique<TStringList>()), FCanvas(std::make_unique<TCanvas>()) {
  FItems = std::make_unique<TWindowItems>(this, ListBoxMessages, FSaveItems);
  FControlStyle = TControlStyle{csSetCaption, csDoubleClicks, csOpaque};
  SetBounds(0, 0, 121, 97);
  FTabStop = true;
  SetColor(clWindow);
}

TCustomListBox::~TCustomListBox() = default;

void TCustomListBox::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  CreateSubClass(Params, L"LISTBOX");
  static const DWORD Styles[] = {0, LBS_OWNERDRAWFIXED, LBS_OWNERDRAWVARIABLE};
  Params.Style |= WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | Styles[FStyle];
  if (FSorted) Params.Style |= LBS_SORT;
  if (FMultiSelect) Params.Style |= FExtendedSelect ? LBS_EXTENDEDSEL : LBS_MULTIPLESEL;
  if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
  if (UseRightToLeftReading()) Params.ExStyle |= WS_EX_RTLREADING;
  if (UseRightToLeftAlignment()) Params.ExStyle |= WS_EX_RIGHT;
  if (UseRightToLeftScrollBar()) Params.ExStyle |= WS_EX_LEFTSCROLLBAR;
}

void TCustomListBox::CreateWnd() {
  inherited::CreateWnd();
  AssignControlID(FHandle);
  if (FStyle == lbOwnerDrawFixed) SendMessageW(FHandle, LB_SETITEMHEIGHT, 0, FItemHeight);
  LoadItems(FItems.get(), FSaveItems.get());
  if (FItemIndex >= 0) SetItemIndex(FItemIndex);
  if (FTopIndex > 0) SendMessageW(FHandle, LB_SETTOPINDEX, WPARAM(FTopIndex), 0);
}

void TCustomListBox::DestroyWnd() {
  FItemIndex = GetItemIndex();
  FTopIndex = GetTopIndex();
  SaveItems(FHandle, ListBoxMessages, FSaveItems.get());
  inherited::DestroyWnd();
}

void TCustomListBox::SetItems(TStrings* Value) { FItems->Assign(Value); }

Integer TCustomListBox::GetCount() const { return FItems->GetCount(); }

void TCustomListBox::Clear() { FItems->Clear(); }

Integer TCustomListBox::GetItemIndex() {
  if (!FHandle) return FItemIndex;
  return Integer(SendMessageW(FHandle, FMultiSelect ? LB_GETCARETINDEX : LB_GETCURSEL, 0, 0));
}

void TCustomListBox::SetItemIndex(Integer Value) {
  if (!FHandle) {
    FItemIndex = Value;
    return;
  }
  if (FMultiSelect) SendMessageW(FHandle, LB_SETCARETINDEX, WPARAM(Value), 0);
  else SendMessageW(FHandle, LB_SETCURSEL, WPARAM(Value), 0);
}

Integer TCustomListBox::GetItemHeight() {
  if (FHandle && FStyle == lbStandard) return Integer(SendMessageW(FHandle, LB_GETITEMHEIGHT, 0, 0));
  return FItemHeight;
}

void TCustomListBox::SetItemHeight(Integer Value) {
  if (Value <= 0 || FItemHeight == Value) return;
  FItemHeight = Value;
  if (FHandle && FStyle != lbStandard) RecreateWnd();
}

void TCustomListBox::SetMultiSelect(bool Value) {
  if (FMultiSelect == Value) return;
  FMultiSelect = Value;
  if (FHandle) RecreateWnd();
}

void TCustomListBox::SetExtendedSelect(bool Value) {
  if (FExtendedSelect == Value) return;
  FExtendedSelect = Value;
  if (FHandle) RecreateWnd();
}

bool TCustomListBox::GetSelected(Integer Index) {
  if (!FHandle) return Index == FItemIndex;
  LRESULT R = SendMessageW(FHandle, LB_GETSEL, WPARAM(Index), 0);
  if (R == LB_ERR) throw EListError(L"List index out of bounds (%d)", {Index});
  return R != 0;
}

void TCustomListBox::SetSelected(Integer Index, bool Value) {
  HWND H = GetHandle();
  if (FMultiSelect) {
    if (SendMessageW(H, LB_SETSEL, Value, LPARAM(Index)) == LB_ERR)
      throw EListError(L"List index out of bounds (%d)", {Index});
  } else if (Value) {
    SetItemIndex(Index);
  } else if (GetItemIndex() == Index) {
    SetItemIndex(-1);
  }
}

Integer TCustomListBox::GetSelCount() {
  if (!FHandle) return FItemIndex >= 0 ? 1 : 0;
  if (!FMultiSelect) return GetItemIndex() >= 0 ? 1 : 0;
  return Integer(SendMessageW(FHandle, LB_GETSELCOUNT, 0, 0));
}

void TCustomListBox::SelectAll() {
  if (FMultiSelect) SendMessageW(GetHandle(), LB_SETSEL, TRUE, -1);
}

void TCustomListBox::ClearSelection() {
  if (FMultiSelect) SendMessageW(GetHandle(), LB_SETSEL, FALSE, -1);
  else SetItemIndex(-1);
}

void TCustomListBox::SetSorted(bool Value) {
  if (FSorted == Value) return;
  FSorted = Value;
  if (FHandle) RecreateWnd();  // the items come back through LB_ADDSTRING, sorted
  else if (Value) FSaveItems->Sort();
}

void TCustomListBox::SetStyle(TListBoxStyle Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  if (FHandle) RecreateWnd();
}

void TCustomListBox::SetBorderStyle(TBorderStyle Value) {
  if (FBorderStyle == Value) return;
  FBorderStyle = Value;
  if (FHandle) RecreateWnd();
}

Integer TCustomListBox::GetTopIndex() {
  if (!FHandle) return FTopIndex;
  return Integer(SendMessageW(FHandle, LB_GETTOPINDEX, 0, 0));
}

void TCustomListBox::SetTopIndex(Integer Value) {
  FTopIndex = Value;
  if (FHandle) SendMessageW(FHandle, LB_SETTOPINDEX, WPARAM(Value), 0);
}

Integer TCustomListBox::ItemAtPos(const TPoint& Pos, bool Existing) {
  if (!FHandle) return -1;
  Integer N = GetCount();
  for (Integer I = GetTopIndex(); I < N; ++I) {
    TRect R = ItemRect(I);
    if (R.Top > GetClientHeight()) break;
    if (R.Contains(Pos)) return I;
  }
  return Existing ? -1 : N;
}

TRect TCustomListBox::ItemRect(Integer Index) {
  RECT R{};
  if (SendMessageW(GetHandle(), LB_GETITEMRECT, WPARAM(Index), LPARAM(&R)) == LB_ERR) return TRect();
  return TRect(R.left, R.top, R.right, R.bottom);
}

void TCustomListBox::DrawItem(Integer Index, TRect Rect, TOwnerDrawState State) {
  if (FOnDrawItem) {
    FOnDrawItem(this, Index, Rect, State);
    return;
  }
  FCanvas->FillRect(Rect);
  if (Index < GetCount()) {
    LongInt Flags = DrawTextBiDiModeFlags(DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (!UseRightToLeftAlignment()) Rect.Left += 2;
    else Rect.Right -= 2;
    String Text = FItems->GetStrings(Index);
    FCanvas->RequiredState({csHandleValid, csFontValid, csBrushValid});
    RECT R{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
    DrawTextW(FCanvas->GetHandle(), Text.c_str(), Integer(Text.size()), &R, UINT(Flags));
  }
}

void TCustomListBox::MeasureItem(Integer Index, Integer& Height) { DoEvent(FOnMeasureItem, this, Index, Height); }

void TCustomListBox::CNCommand(TWMCommand& Message) {
  switch (Message.NotifyCode) {
    case LBN_SELCHANGE:
      Click();
      break;
    case LBN_DBLCLK:
      DblClick();
      break;
  }
}

namespace {
// One owner-drawn item: the canvas borrows the system's DC for the drawing, starts with the
// control's font and colour (the highlight ones when the item is selected), Draw paints the item
// (ItemID may be -1 for an empty list), and the focus rectangle follows.
template <class TDraw>
void DrawOwnerItem(TCanvas* Canvas, TControl* Control, const DRAWITEMSTRUCT* DIS, TDraw Draw) {
  TOwnerDrawState State = OwnerDrawStateFromODS(DIS->itemState);
  struct THandleScope {
    TCanvas* C;
    ~THandleScope() { C->SetHandle(nullptr); }
  } Scope{Canvas};
  Canvas->SetHandle(DIS->hDC);
  Canvas->SetFont(Control->GetFont());
  Canvas->GetBrush()->SetColor(Control->GetColor());
  Canvas->GetBrush()->SetStyle(bsSolid);
  TRect R(DIS->rcItem.left, DIS->rcItem.top, DIS->rcItem.right, DIS->rcItem.bottom);
  if (Integer(DIS->itemID) >= 0 && State.Contains(odSelected)) {
    Canvas->GetBrush()->SetColor(clHighlight);
    Canvas->GetFont()->SetColor(clHighlightText);
  }
  Draw(Integer(DIS->itemID), R, State);
  if (State.Contains(odFocused)) DrawFocusRect(DIS->hDC, &DIS->rcItem);
}
}  // namespace

void TCustomListBox::CNDrawItem(TWMDrawItem& Message) {
  DrawOwnerItem(FCanvas.get(), this, Message.DrawItemStruct,
                [this](Integer Index, const TRect& R, TOwnerDrawState State) {
                  if (Index >= 0) DrawItem(Index, R, State);
                  else FCanvas->FillRect(R);
                });
  Message.Result = 1;
}

void TCustomListBox::CNMeasureItem(TWMMeasureItem& Message) {
  MEASUREITEMSTRUCT* MIS = Message.MeasureItemStruct;
  Integer H = FItemHeight;
  if (FStyle == lbOwnerDrawVariable) MeasureItem(Integer(MIS->itemID), H);
  MIS->itemHeight = UINT(H);
  Message.Result = 1;
}

void TCustomListBox::CNCtlColor(TWMCtlColor& Message) {
  ::SetTextColor(Message.ChildDC, ColorToRGB(GetFont()->GetColor()));
  ::SetBkColor(Message.ChildDC, ColorToRGB(GetColor()));
  Message.Result = LRESULT(GetBrush()->GetHandle());
}

// ---- TCustomComboBox --------------------------------------------------------------------------

TCustomComboBox::TCustomComboBox(TComponent* AOwner)
    : TWinControl(AOwner), FSaveItems(std::make_unique<TStringList>()), FCanvas(std::make_unique<TCanvas>()) {
  FItems = std::make_unique<TWindowItems>(this, ComboBoxMessages, FSaveItems);
  FControlStyle = TControlStyle{csSetCaption, csDoubleClicks, csFixedHeight};
  SetBounds(0, 0, 145, 25);
  FTabStop = true;
  SetColor(clWindow);
}

TCustomComboBox::~TCustomComboBox() = default;

Integer TCustomComboBox::DroppedHeight() {
  return FHeight + std::max(FDropDownCount, 1) * (FItemHeight + 2) + 2;
}

void TCustomComboBox::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  CreateSubClass(Params, L"COMBOBOX");
  static const DWORD Styles[] = {CBS_DROPDOWN, CBS_SIMPLE, CBS_DROPDOWNLIST, CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED,
                                 CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE};
  Params.Style |= WS_VSCROLL | CBS_HASSTRINGS | CBS_AUTOHSCROLL | Styles[FStyle];
  if (FSorted) Params.Style |= CBS_SORT;
  // The window's height is the height with the list dropped down.
  if (FStyle != csSimple) Params.Height = DroppedHeight();
  if (UseRightToLeftReading()) Params.ExStyle |= WS_EX_RTLREADING;
  if (UseRightToLeftAlignment()) Params.ExStyle |= WS_EX_RIGHT;
  if (UseRightToLeftScrollBar()) Params.ExStyle |= WS_EX_LEFTSCROLLBAR;
}

void TCustomComboBox::CreateWnd() {
  String Text = FText;
  inherited::CreateWnd();
  AssignControlID(FHandle);
  if (FStyle == csOwnerDrawFixed) {
    SendMessageW(FHandle, CB_SETITEMHEIGHT, WPARAM(-1), FItemHeight);
    SendMessageW(FHandle, CB_SETITEMHEIGHT, 0, FItemHeight);
  }
  SendMessageW(FHandle, CB_LIMITTEXT, WPARAM(FMaxLength), 0);
  LoadItems(FItems.get(), FSaveItems.get());
  if (FItemIndex >= 0) SendMessageW(FHandle, CB_SETCURSEL, WPARAM(FItemIndex), 0);
  else if (!IsDropDownList()) SendMessageW(FHandle, WM_SETTEXT, 0, LPARAM(Text.c_str()));
}

void TCustomComboBox::DestroyWnd() {
  FItemIndex = Integer(SendMessageW(FHandle, CB_GETCURSEL, 0, 0));
  SaveItems(FHandle, ComboBoxMessages, FSaveItems.get());
  inherited::DestroyWnd();
}

void TCustomComboBox::WndProc(TMessage& Message) {
  // The framework sizes the closed box; the window wants the dropped height.
  if (Message.Msg == WM_WINDOWPOSCHANGING && FStyle != csSimple) {
    auto* WP = reinterpret_cast<WINDOWPOS*>(Message.LParam);
    if (WP && !(WP->flags & SWP_NOSIZE)) WP->cy = DroppedHeight();
  }
  inherited::WndProc(Message);
}

void TCustomComboBox::WindowRectToBounds(RECT& R) {
  // Some systems report the window with its list dropped: the control is the closed box.
  if (FStyle == csSimple) return;
  COMBOBOXINFO Info{};
  Info.cbSize = sizeof(Info);
  if (!GetComboBoxInfo(FHandle, &Info) || Info.rcButton.bottom <= 0) return;
  LONG Closed = Info.rcButton.bottom + Info.rcButton.top;
  if (R.bottom - R.top > Closed) R.bottom = R.top + Closed;
}

void TCustomComboBox::SetItems(TStrings* Value) { FItems->Assign(Value); }
Integer TCustomComboBox::GetCount() const { return FItems->GetCount(); }

void TCustomComboBox::Clear() {
  FItems->Clear();
  if (!IsDropDownList()) SetText(L"");
  FItemIndex = -1;
}

Integer TCustomComboBox::GetItemIndex() {
  if (!FHandle) return FItemIndex;
  return Integer(SendMessageW(FHandle, CB_GETCURSEL, 0, 0));
}

void TCustomComboBox::SetItemIndex(Integer Value) {
  if (!FHandle) {
    FItemIndex = Value;
    if (Value >= 0 && Value < FSaveItems->GetCount()) FText = FSaveItems->GetStrings(Value);
    return;
  }
  if (GetItemIndex() == Value) return;
  SendMessageW(FHandle, CB_SETCURSEL, WPARAM(Value), 0);
}

Integer TCustomComboBox::GetItemHeight() {
  if (FHandle && (FStyle == csDropDown || FStyle == csDropDownList || FStyle == csSimple))
    return Integer(SendMessageW(FHandle, CB_GETITEMHEIGHT, 0, 0));
  return FItemHeight;
}

void TCustomComboBox::SetItemHeight(Integer Value) {
  if (Value <= 0 || FItemHeight == Value) return;
  FItemHeight = Value;
  if (FHandle) RecreateWnd();
}

void TCustomComboBox::SetStyle(TComboBoxStyle Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  if (FHandle) RecreateWnd();
}

void TCustomComboBox::SetDropDownCount(Integer Value) {
  FDropDownCount = std::max(Value, 1);
  if (FHandle) SetWindowPos(FHandle, nullptr, 0, 0, FWidth, DroppedHeight(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TCustomComboBox::GetDroppedDown() { return FHandle && SendMessageW(FHandle, CB_GETDROPPEDSTATE, 0, 0) != 0; }

void TCustomComboBox::SetDroppedDown(bool Value) { SendMessageW(GetHandle(), CB_SHOWDROPDOWN, Value, 0); }

void TCustomComboBox::SetSorted(bool Value) {
  if (FSorted == Value) return;
  FSorted = Value;
  if (FHandle) RecreateWnd();
  else if (Value) FSaveItems->Sort();
}

void TCustomComboBox::SetMaxLength(Integer Value) {
  FMaxLength = std::max(Value, 0);
  if (FHandle) SendMessageW(FHandle, CB_LIMITTEXT, WPARAM(FMaxLength), 0);
}

String TCustomComboBox::GetText() { return TControl::GetText(); }

void TCustomComboBox::SetText(const String& Value) {
  if (IsDropDownList()) {
    SetItemIndex(FItems->IndexOf(Value));
    return;
  }
  TControl::SetText(Value);
}

void TCustomComboBox::Change() { DoEvent(FOnChange, this); }
void TCustomComboBox::Select() {
  DoEvent(FOnSelect, this);
  Change();
}
void TCustomComboBox::DropDown() { DoEvent(FOnDropDown, this); }
void TCustomComboBox::CloseUp() { DoEvent(FOnCloseUp, this); }
void TCustomComboBox::MeasureItem(Integer Index, Integer& Height) { DoEvent(FOnMeasureItem, this, Index, Height); }

void TCustomComboBox::DrawItem(Integer Index, TRect Rect, TOwnerDrawState State) {
  if (FOnDrawItem) {
    FOnDrawItem(this, Index, Rect, State);
    return;
  }
  FCanvas->FillRect(Rect);
  if (Index >= 0 && Index < GetCount()) {
    String Text = FItems->GetStrings(Index);
    FCanvas->RequiredState({csHandleValid, csFontValid, csBrushValid});
    RECT R{Rect.Left + 2, Rect.Top, Rect.Right - 2, Rect.Bottom};
    DrawTextW(FCanvas->GetHandle(), Text.c_str(), Integer(Text.size()), &R,
              UINT(DrawTextBiDiModeFlags(DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX)));
  }
}

void TCustomComboBox::CNCommand(TWMCommand& Message) {
  switch (Message.NotifyCode) {
    case CBN_SELCHANGE:
      // The edit part shows the new item only after this notice; set it now for the handlers.
      if (!IsDropDownList()) {
        Integer I = GetItemIndex();
        if (I >= 0) SendMessageW(FHandle, WM_SETTEXT, 0, LPARAM(FItems->GetStrings(I).c_str()));
      }
      Select();
      break;
    case CBN_EDITCHANGE: {
      if (FAutoComplete && FTyped) {
        FTyped = false;
        String Typed = GetText();
        DWORD S = 0, E = 0;
        SendMessageW(FHandle, CB_GETEDITSEL, WPARAM(&S), LPARAM(&E));
        Integer Found = Typed.empty() || Integer(S) != Integer(Typed.size())
                            ? -1
                            : Integer(SendMessageW(FHandle, CB_FINDSTRING, WPARAM(-1), LPARAM(Typed.c_str())));
        if (Found >= 0) {
          String Item = FItems->GetStrings(Found);
          SendMessageW(FHandle, CB_SETCURSEL, WPARAM(Found), 0);
          SendMessageW(FHandle, WM_SETTEXT, 0, LPARAM(Item.c_str()));
          SendMessageW(FHandle, CB_SETEDITSEL, 0, MAKELPARAM(Typed.size(), Item.size()));
        }
      }
      Change();
      break;
    }
    case CBN_DROPDOWN:
      DropDown();
      break;
    case CBN_CLOSEUP:
      CloseUp();
      break;
    case CBN_DBLCLK:
      DblClick();
      break;
  }
}

void TCustomComboBox::CNChar(TWMChar& Message) {
  FTyped = Message.CharCode >= 32;
  inherited::Dispatch(&Message);
}

void TCustomComboBox::CNKeyDown(TWMKeyDown& Message) {
  // Enter and Escape close a dropped list instead of pressing the form's buttons.
  if ((Message.CharCode == VK_RETURN || Message.CharCode == VK_ESCAPE) && GetDroppedDown()) {
    Message.Result = 0;
    return;
  }
  if (Message.CharCode == VK_DELETE || Message.CharCode == VK_BACK) FTyped = false;
  inherited::Dispatch(&Message);
}

void TCustomComboBox::CNDrawItem(TWMDrawItem& Message) {
  DrawOwnerItem(FCanvas.get(), this, Message.DrawItemStruct,
                [this](Integer Index, const TRect& R, TOwnerDrawState State) { DrawItem(Index, R, State); });
  Message.Result = 1;
}

void TCustomComboBox::CNMeasureItem(TWMMeasureItem& Message) {
  MEASUREITEMSTRUCT* MIS = Message.MeasureItemStruct;
  Integer H = FItemHeight;
  if (FStyle == csOwnerDrawVariable) MeasureItem(Integer(MIS->itemID), H);
  MIS->itemHeight = UINT(H);
  Message.Result = 1;
}

// The reading order and alignment are window styles: the window is made again with them.
void TCustomListBox::CMBiDiModeChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  if (FHandle) RecreateWnd();
}

// The reading order and alignment are window styles: the window is made again with them.
void TCustomComboBox::CMBiDiModeChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  if (FHandle) RecreateWnd();
}
