#include "framework/stdctrls/Edit.h"

#include "framework/Forms.h"
#include "framework/classes/Strings.h"
#include "framework/sysutils/Strings.h"

PUBLISHED_DEF(TEdit) {
  PROP(Alignment).Default(taLeftJustify);
  PROP(AutoSelect).Default(true);
  PROP(AutoSize).Default(true);
  PROP(BorderStyle).Default(bsSingle);
  PROP(CharCase).Default(ecNormal);
  PROP(HideSelection).Default(true);
  PROP(MaxLength).Default(0);
  PROP(NumbersOnly).Default(false);
  PROP(PasswordChar).Default(0);
  PROP(ReadOnly).Default(false);
  PROP(Text);
  PROP(TextHint);
  EVENT(OnChange);
}

PUBLISHED_DEF(TMemo) {
  PROP(Alignment).Default(taLeftJustify);
  PROP(BorderStyle).Default(bsSingle);
  PROP(CharCase).Default(ecNormal);
  PROP(HideSelection).Default(true);
  PROP(Lines);
  PROP(MaxLength).Default(0);
  PROP(ReadOnly).Default(false);
  PROP(ScrollBars).Default(ssNone);
  PROP(WantReturns).Default(true);
  PROP(WantTabs).Default(false);
  PROP(WordWrap).Default(true);
  EVENT(OnChange);
}

namespace {
constexpr UINT EmSetCueBanner = 0x1501;  // EM_SETCUEBANNER
}

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csClickEvents, csSetCaption, csDoubleClicks, csFixedHeight};
  SetBounds(0, 0, 121, 25);
  FTabStop = true;
  FParentColor = false;
  SetColor(clWindow);
}

void TCustomEdit::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  CreateSubClass(Params, L"EDIT");
  static const DWORD Alignments[2][3] = {{ES_LEFT, ES_RIGHT, ES_CENTER}, {ES_RIGHT, ES_LEFT, ES_CENTER}};
  static const DWORD Cases[] = {0, ES_UPPERCASE, ES_LOWERCASE};
  Params.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL | Alignments[UseRightToLeftAlignment()][FAlignment] |
                  Cases[FCharCase];
  if (!FHideSelection) Params.Style |= ES_NOHIDESEL;
  if (FReadOnly) Params.Style |= ES_READONLY;
  if (FNumbersOnly) Params.Style |= ES_NUMBER;
  if (FPasswordChar) Params.Style |= ES_PASSWORD;
  if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
  if (UseRightToLeftReading()) Params.ExStyle |= WS_EX_RTLREADING;
  if (UseRightToLeftScrollBar()) Params.ExStyle |= WS_EX_LEFTSCROLLBAR;
}

void TCustomEdit::CreateWnd() {
  FCreating = true;
  try {
    inherited::CreateWnd();
  } catch (...) {
    FCreating = false;
    throw;
  }
  FCreating = false;
  HWND H = FHandle;
  SendMessageW(H, EM_LIMITTEXT, WPARAM(FMaxLength), 0);
  SendMessageW(H, EM_SETPASSWORDCHAR, WPARAM(FPasswordChar), 0);
  SendMessageW(H, EM_SETMODIFY, FModified, 0);
  if (!FTextHint.empty()) SendMessageW(H, EmSetCueBanner, 1, LPARAM(FTextHint.c_str()));
  SendMessageW(H, EM_SETSEL, WPARAM(FSelStart), LPARAM(FSelStart + FSelLength));
  ApplyEditMargins();
}

void TCustomEdit::ApplyEditMargins() {
  if (!FHandle) return;
  WPARAM Sides = (FEditMarginLeft >= 0 ? EC_LEFTMARGIN : 0) | (FEditMarginRight >= 0 ? EC_RIGHTMARGIN : 0);
  if (Sides)
    SendMessageW(FHandle, EM_SETMARGINS, Sides, MAKELPARAM(std::max(FEditMarginLeft, 0), std::max(FEditMarginRight, 0)));
}

TPoint TCustomEdit::GetEditMargins() {
  if (!FHandle) return TPoint(FEditMarginLeft, FEditMarginRight);
  DWORD M = DWORD(SendMessageW(FHandle, EM_GETMARGINS, 0, 0));
  return TPoint(LOWORD(M), HIWORD(M));
}

void TCustomEdit::SetEditMargins(Integer Left, Integer Right) {
  FEditMarginLeft = Left;
  FEditMarginRight = Right;
  ApplyEditMargins();
}

void TCustomEdit::DestroyWnd() {
  FModified = SendMessageW(FHandle, EM_GETMODIFY, 0, 0) != 0;
  DWORD S = 0, E = 0;
  SendMessageW(FHandle, EM_GETSEL, WPARAM(&S), LPARAM(&E));
  FSelStart = Integer(S);
  FSelLength = Integer(E - S);
  inherited::DestroyWnd();
}

void TCustomEdit::Loaded() {
  inherited::Loaded();
  AdjustHeight();
}

void TCustomEdit::AdjustHeight() {
  if (!FAutoSize || GetComponentState().Contains(csLoading)) return;
  Integer Border = FBorderStyle == bsSingle ? GetSystemMetrics(SM_CYEDGE) * 2 + 4 : 2;
  SetHeight(FontHeight(GetFont()) + Border);
}

void TCustomEdit::SetAutoSize(bool Value) {
  if (FAutoSize == Value) return;
  FAutoSize = Value;
  if (Value) FControlStyle << csFixedHeight;
  else FControlStyle >> csFixedHeight;
  AdjustHeight();
}

void TCustomEdit::SetBorderStyle(TBorderStyle Value) {
  if (FBorderStyle == Value) return;
  FBorderStyle = Value;
  if (FHandle) RecreateWnd();
  AdjustHeight();
}

void TCustomEdit::SetCharCase(TEditCharCase Value) {
  if (FCharCase == Value) return;
  FCharCase = Value;
  if (FHandle) RecreateWnd();
  // The window only converts what is typed; the text already there follows the new case too.
  if (Value == ecUpperCase) SetText(AnsiUpperCase(GetText()));
  else if (Value == ecLowerCase) SetText(AnsiLowerCase(GetText()));
}

void TCustomEdit::SetHideSelection(bool Value) {
  if (FHideSelection == Value) return;
  FHideSelection = Value;
  if (FHandle) RecreateWnd();
}

void TCustomEdit::SetMaxLength(Integer Value) {
  if (Value < 0) Value = 0;
  FMaxLength = Value;
  if (FHandle) SendMessageW(FHandle, EM_LIMITTEXT, WPARAM(Value), 0);
}

bool TCustomEdit::GetModified() {
  if (FHandle) return SendMessageW(FHandle, EM_GETMODIFY, 0, 0) != 0;
  return FModified;
}

void TCustomEdit::SetModified(bool Value) {
  FModified = Value;
  if (FHandle) SendMessageW(FHandle, EM_SETMODIFY, Value, 0);
}

void TCustomEdit::SetNumbersOnly(bool Value) {
  if (FNumbersOnly == Value) return;
  FNumbersOnly = Value;
  if (FHandle) {
    LONG_PTR Style = GetWindowLongPtrW(FHandle, GWL_STYLE);
    SetWindowLongPtrW(FHandle, GWL_STYLE, Value ? Style | ES_NUMBER : Style & ~LONG_PTR(ES_NUMBER));
  }
}

void TCustomEdit::SetPasswordChar(Char Value) {
  if (FPasswordChar == Value) return;
  FPasswordChar = Value;
  if (FHandle) {
    SendMessageW(FHandle, EM_SETPASSWORDCHAR, WPARAM(Value), 0);
    ::InvalidateRect(FHandle, nullptr, TRUE);
  }
}

void TCustomEdit::SetReadOnly(bool Value) {
  if (FReadOnly == Value) return;
  FReadOnly = Value;
  if (FHandle) SendMessageW(FHandle, EM_SETREADONLY, Value, 0);
}

void TCustomEdit::SetTextHint(const String& Value) {
  FTextHint = Value;
  if (FHandle) SendMessageW(FHandle, EmSetCueBanner, 1, LPARAM(Value.c_str()));
}

void TCustomEdit::SetAlignment(TAlignment Value) {
  if (FAlignment == Value) return;
  FAlignment = Value;
  if (FHandle) RecreateWnd();
}

Integer TCustomEdit::GetSelStart() {
  if (!FHandle) return FSelStart;
  DWORD S = 0;
  SendMessageW(FHandle, EM_GETSEL, WPARAM(&S), 0);
  return Integer(S);
}

void TCustomEdit::SetSelStart(Integer Value) {
  FSelStart = Value;
  FSelLength = 0;
  if (FHandle) SendMessageW(FHandle, EM_SETSEL, WPARAM(Value), LPARAM(Value));
}

Integer TCustomEdit::GetSelLength() {
  if (!FHandle) return FSelLength;
  DWORD S = 0, E = 0;
  SendMessageW(FHandle, EM_GETSEL, WPARAM(&S), LPARAM(&E));
  return Integer(E - S);
}

void TCustomEdit::SetSelLength(Integer Value) {
  FSelLength = Value;
  if (!FHandle) return;
  DWORD S = 0, E = 0;
  SendMessageW(FHandle, EM_GETSEL, WPARAM(&S), LPARAM(&E));
  SendMessageW(FHandle, EM_SETSEL, WPARAM(S), LPARAM(S + Value));
  SendMessageW(FHandle, EM_SCROLLCARET, 0, 0);
}

String TCustomEdit::GetSelText() {
  String T = GetText();
  Integer S = GetSelStart(), L = GetSelLength();
  if (S < 0 || S > Integer(T.size())) return L"";
  return T.substr(S, L);
}

void TCustomEdit::SetSelText(const String& Value) {
  if (FHandle) {
    SendMessageW(FHandle, EM_REPLACESEL, 1, LPARAM(Value.c_str()));
    return;
  }
  String T = GetText();
  Integer S = std::min<Integer>(FSelStart, Integer(T.size()));
  T.replace(S, std::min<Integer>(FSelLength, Integer(T.size()) - S), Value);
  SetText(T);
  FSelStart = S + Integer(Value.size());
  FSelLength = 0;
}

void TCustomEdit::SelectAll() {
  if (FHandle) SendMessageW(FHandle, EM_SETSEL, 0, -1);
  else {
    FSelStart = 0;
    FSelLength = Integer(GetText().size());
  }
}

void TCustomEdit::ClearSelection() { Perform(WM_CLEAR); }
void TCustomEdit::CopyToClipboard() { Perform(WM_COPY); }
void TCustomEdit::CutToClipboard() { Perform(WM_CUT); }
void TCustomEdit::PasteFromClipboard() { Perform(WM_PASTE); }
void TCustomEdit::Undo() {
  if (FHandle) SendMessageW(FHandle, WM_UNDO, 0, 0);
}
bool TCustomEdit::CanUndo() { return FHandle && SendMessageW(FHandle, EM_CANUNDO, 0, 0) != 0; }
void TCustomEdit::ClearUndo() {
  if (FHandle) SendMessageW(FHandle, EM_EMPTYUNDOBUFFER, 0, 0);
}

void TCustomEdit::Change() { DoEvent(FOnChange, this); }

void TCustomEdit::CNCommand(TWMCommand& Message) {
  if (Message.NotifyCode == EN_CHANGE && !FCreating) Change();
}

void TCustomEdit::CNCtlColor(TWMCtlColor& Message) {
  HDC DC = Message.ChildDC;
  ::SetTextColor(DC, ColorToRGB(GetEnabled() ? GetFont()->GetColor() : clGrayText));
  ::SetBkColor(DC, ColorToRGB(GetColor()));
  Message.Result = LRESULT(GetBrush()->GetHandle());
}

void TCustomEdit::CMEnter(TCMEnter& Message) {
  // A click places the caret itself; only keyboard entry selects everything.
  if (FAutoSelect && !(GetKeyState(VK_LBUTTON) < 0) && !dynamic_cast<TCustomMemo*>(this)) SelectAll();
  inherited::Dispatch(&Message);
}

void TCustomEdit::CMTextChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  // Without a window there is no EN_CHANGE; the event still tells the text moved.
  if (!FHandle && !GetComponentState().Contains(csLoading)) Change();
}

void TCustomEdit::CMFontChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  AdjustHeight();
}

void TCustomEdit::WMSetFont(TMessage& Message) {
  inherited::Dispatch(&Message);
  ApplyEditMargins();  // a new font resets the window's margins
}

// ---- Memo ---------------------------------------------------------------------------------------

namespace {

// The memo's lines, read from and written to its text (the window's while it has one), one
// logical line per CR LF.
class TMemoStrings : public TStrings {
 public:
  explicit TMemoStrings(TCustomMemo* Memo) : FMemo(Memo) {}
  Integer GetCount() const override { return Integer(Starts().size()); }
  void Clear() override { FMemo->SetText(L""); }
  void Delete(Integer Index) override {
    auto S = Starts();
    CheckIndex(Index, S);
    String T = FMemo->GetText();
    Integer From = S[Index], To = Index + 1 < Integer(S.size()) ? S[Index + 1] : Integer(T.size());
    if (Index + 1 == Integer(S.size()) && Index > 0) From = LineEnd(T, S[Index - 1]);  // drop the break before
    Replace(From, To, L"");
  }
  void Insert(Integer Index, const String& Str) override {
    auto S = Starts();
    if (Index < 0 || Index > Integer(S.size())) throw EStringListError(L"List index out of bounds (%d)", {Index});
    String T = FMemo->GetText();
    if (Index < Integer(S.size())) {
      Replace(S[Index], S[Index], Str + L"\r\n");
    } else {
      // Appending: a break first unless the text is empty or already ends with one.
      bool NeedBreak = !T.empty() && T.back() != L'\n' && T.back() != L'\r';
      Replace(Integer(T.size()), Integer(T.size()), (NeedBreak ? L"\r\n" : L"") + Str);
    }
  }
  void Put(Integer Index, const String& Str) override {
    auto S = Starts();
    CheckIndex(Index, S);
    String T = FMemo->GetText();
    Replace(S[Index], LineEnd(T, S[Index]), Str);
  }
  // The whole text in one message; a window that refuses or cuts it keeps what it had.
  void SetTextStr(const String& Value) override {
    if (!FMemo->HandleAllocated()) {
      FMemo->SetText(Value);
      return;
    }
    HWND H = FMemo->GetHandle();
    String Old = FMemo->GetText();
    if (Old == Value) return;
    if (!SendMessageW(H, WM_SETTEXT, 0, LPARAM(Value.c_str())) || GetWindowTextLengthW(H) != Integer(Value.size())) {
      SendMessageW(H, WM_SETTEXT, 0, LPARAM(Old.c_str()));
      throw EInvalidOperation(L"Text exceeds memo capacity");
    }
    FMemo->Perform(CM_TEXTCHANGED);
  }
  String Get(Integer Index) const override {
    auto S = Starts();
    CheckIndex(Index, S);
    String T = FMemo->GetText();
    return T.substr(S[Index], LineEnd(T, S[Index]) - S[Index]);
  }
 private:
  static Integer LineEnd(const String& T, Integer Start) {
    Integer I = Start;
    while (I < Integer(T.size()) && T[I] != L'\r' && T[I] != L'\n') ++I;
    return I;
  }
  std::vector<Integer> Starts() const {
    String T = FMemo->GetText();
    std::vector<Integer> R;
    Integer I = 0, N = Integer(T.size());
    while (I < N) {
      R.push_back(I);
      I = LineEnd(T, I);
      if (I < N && T[I] == L'\r') ++I;
      if (I < N && T[I] == L'\n') ++I;
    }
    return R;
  }
  static void CheckIndex(Integer Index, const std::vector<Integer>& S) {
    if (Index < 0 || Index >= Integer(S.size())) throw EStringListError(L"List index out of bounds (%d)", {Index});
  }
  // Replaces characters From..To of the text, through the window's selection when there is one
  // so that the caret and the scroll position are not reset.
  void Replace(Integer From, Integer To, const String& With) {
    if (FMemo->HandleAllocated()) {
      HWND H = FMemo->GetHandle();
      String Old = FMemo->GetText();
      Integer Expected = Integer(Old.size()) - (To - From) + Integer(With.size());
      SendMessageW(H, EM_SETSEL, WPARAM(From), LPARAM(To));
      SendMessageW(H, EM_REPLACESEL, 0, LPARAM(With.c_str()));
      if (GetWindowTextLengthW(H) != Expected) {
        // The window cut the line at its limit: keep the old text rather than half of the new.
        SendMessageW(H, WM_SETTEXT, 0, LPARAM(Old.c_str()));
        throw EInvalidOperation(L"Text exceeds memo capacity");
      }
      return;
    }
    String T = FMemo->GetText();
    T.replace(From, To - From, With);
    FMemo->SetText(T);
  }
  TCustomMemo* FMemo;
};

}  // namespace

TCustomMemo::TCustomMemo(TComponent* AOwner) : TCustomEdit(AOwner), FLines(std::make_unique<TMemoStrings>(this)) {
  SetBounds(0, 0, 185, 89);
  FAutoSize = false;
  FControlStyle >> csFixedHeight;
}

TCustomMemo::~TCustomMemo() = default;

void TCustomMemo::ReplaceLines(std::unique_ptr<TStrings> Value) { FLines = std::move(Value); }

void TCustomMemo::SetLines(TStrings* Value) { FLines->Assign(Value); }

void TCustomMemo::SetScrollBars(TScrollStyle Value) {
  if (FScrollBars == Value) return;
  FScrollBars = Value;
  if (FHandle) RecreateWnd();
}

void TCustomMemo::SetWordWrap(bool Value) {
  if (FWordWrap == Value) return;
  FWordWrap = Value;
  if (FHandle) RecreateWnd();
}

void TCustomMemo::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  static const DWORD Bars[] = {0, WS_HSCROLL, WS_VSCROLL, WS_HSCROLL | WS_VSCROLL};
  Params.Style |= ES_MULTILINE | Bars[FScrollBars];
  // A wrapping memo scrolls vertically only.
  if (FWordWrap) Params.Style &= ~DWORD(ES_AUTOHSCROLL);
}

void TCustomMemo::KeyPress(Char& Key) {
  inherited::KeyPress(Key);
  if (Key == L'\r' && !FWantReturns) Key = 0;
}

void TCustomMemo::WMGetDlgCode(TWMGetDlgCode& Message) {
  inherited::Dispatch(&Message);
  if (FWantTabs) Message.Result |= DLGC_WANTTAB;
  else Message.Result &= ~LRESULT(DLGC_WANTTAB);
  if (!FWantReturns) Message.Result &= ~LRESULT(DLGC_WANTALLKEYS);
}

TPoint TCustomMemo::GetCaretPos() {
  if (!FHandle) return TPoint(0, 0);
  DWORD S = 0;
  SendMessageW(FHandle, EM_GETSEL, WPARAM(&S), 0);
  Integer Line = Integer(SendMessageW(FHandle, EM_LINEFROMCHAR, WPARAM(S), 0));
  Integer Start = Integer(SendMessageW(FHandle, EM_LINEINDEX, WPARAM(Line), 0));
  return TPoint(Integer(S) - Start, Line);
}

void TCustomMemo::SetCaretPos(const TPoint& Value) {
  Integer Start = Integer(SendMessageW(GetHandle(), EM_LINEINDEX, WPARAM(Value.Y), 0));
  if (Start < 0) return;
  SetSelStart(Start + Value.X);
}

// The reading order and alignment are window styles: the window is made again with them.
void TCustomEdit::CMBiDiModeChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  if (FHandle) RecreateWnd();
}
