#include "kvlib/editors/dbctrls/DBMemoKv.h"

#include "framework/DB.h"
#include "framework/Themes.h"
#include "kvlib/editors/dbctrls/FieldDataLinkKv.h"

namespace DBMemoKv {

// The memo's lines: the window's while it has one, else the text's (CR LF, CR or LF breaks).
class TLineView {
 public:
  explicit TLineView(TCustomDBMemoKv* Memo) : FMemo(Memo), FWindow(Memo->HandleAllocated()) {
    if (FWindow) return;
    FText = Memo->GetEditText();
    Integer I = 0, N = Integer(FText.size());
    FStarts.push_back(0);
    while (I < N) {
      if (FText[I] == L'\r' || FText[I] == L'\n') {
        if (FText[I] == L'\r' && I + 1 < N && FText[I + 1] == L'\n') ++I;
        FStarts.push_back(I + 1);
      }
      ++I;
    }
  }
  // As the window counts them: an empty text is one line, a final break starts an empty one.
  Integer Count() const {
    if (FWindow) return Integer(SendMessageW(H(), EM_GETLINECOUNT, 0, 0));
    return Integer(FStarts.size());
  }
  // The first character of the line, -1 when there is none.
  Integer Start(Integer Line) const {
    if (Line < 0) return -1;
    if (FWindow) return Integer(SendMessageW(H(), EM_LINEINDEX, WPARAM(Line), 0));
    return Line < Integer(FStarts.size()) ? FStarts[size_t(Line)] : -1;
  }
  Integer Length(Integer Line) const {
    Integer S = Start(Line);
    if (S < 0) return 0;
    if (FWindow) return Integer(SendMessageW(H(), EM_LINELENGTH, WPARAM(S), 0));
    Integer E = S;
    while (E < Integer(FText.size()) && FText[E] != L'\r' && FText[E] != L'\n') ++E;
    return E - S;
  }
  String Line(Integer Index) const {
    Integer S = Start(Index);
    if (S < 0) return String();
    Integer L = Length(Index);
    if (!FWindow) return FText.substr(size_t(S), size_t(L));
    // EM_GETLINE takes the buffer's size in its first word: a line too long for that is read
    // from the window's text instead.
    if (L < 0xFFFF) {
      std::vector<wchar_t> Buffer(size_t(std::max(L, 1)) + 1, 0);
      Buffer[0] = wchar_t(L);
      auto Got = Integer(SendMessageW(H(), EM_GETLINE, WPARAM(Index), LPARAM(Buffer.data())));
      return String(Buffer.data(), size_t(std::clamp(Got, 0, L)));
    }
    return FMemo->GetEditText().substr(size_t(S), size_t(L));
  }
  // Replaces characters From..To (the window's selection while it has one).
  void Replace(Integer From, Integer To, const String& With) {
    if (FWindow) {
      SendMessageW(H(), EM_SETSEL, WPARAM(From), LPARAM(To));
      SendMessageW(H(), EM_REPLACESEL, 0, LPARAM(With.c_str()));
      return;
    }
    String T = FText;
    T.replace(size_t(From), size_t(To - From), With);
    FMemo->SetEditText(T);
  }

 private:
  HWND H() const { return FMemo->GetHandle(); }
  TCustomDBMemoKv* FMemo;
  bool FWindow;
  String FText;
  std::vector<Integer> FStarts;
};

String NormalizeLineBreaks(const String& Value) {
  String R;
  R.reserve(Value.size());
  for (size_t I = 0; I < Value.size(); ++I) {
    Char C = Value[I];
    if (C == L'\r' || C == L'\n') {
      if (C == L'\r' && I + 1 < Value.size() && Value[I + 1] == L'\n') ++I;
      R += L"\r\n";
    } else {
      R += C;
    }
  }
  return R;
}

struct TDBMemoKvUnit {
  TDBMemoKvUnit() { TStyleManager::Engine()->RegisterStyleHook(TCustomDBMemoKv::StaticClass(), TMemoStyleHook::StaticClass()); }
  ~TDBMemoKvUnit() {
    TStyleManager::Engine()->UnRegisterStyleHook(TCustomDBMemoKv::StaticClass(), TMemoStyleHook::StaticClass());
  }
} DBMemoKvUnit;

}  // namespace DBMemoKv

// ---- Lines ------------------------------------------------------------------------------------

Integer TDBMemoStringsKv::GetCount() const {
  if (!FMemo->HandleAllocated() && FMemo->GetEditText().empty()) return 0;
  DBMemoKv::TLineView View(FMemo);
  Integer N = View.Count();
  if (N > 0 && View.Length(N - 1) == 0) --N;
  return N;
}

String TDBMemoStringsKv::Get(Integer Index) const { return DBMemoKv::TLineView(FMemo).Line(Index); }

void TDBMemoStringsKv::Put(Integer Index, const String& S) {
  DBMemoKv::TLineView View(FMemo);
  Integer Start = View.Start(Index);
  if (Start < 0) return;
  Integer End = Start + View.Length(Index);
  FMemo->BeginLinesChange();
  View.Replace(Start, End, S);
  FMemo->EndLinesChange();
}

void TDBMemoStringsKv::Insert(Integer Index, const String& S) {
  if (Index < 0) return;
  DBMemoKv::TLineView View(FMemo);
  Integer Start = View.Start(Index);
  if (Start >= 0) {
    FMemo->BeginLinesChange();
    View.Replace(Start, Start, S + L"\r\n");
    FMemo->EndLinesChange();
    return;
  }
  Integer Prev = View.Start(Index - 1);
  if (Prev < 0) return;
  Integer Len = View.Length(Index - 1);
  if (Len == 0) return;
  FMemo->BeginLinesChange();
  View.Replace(Prev + Len, Prev + Len, L"\r\n" + S);
  FMemo->EndLinesChange();
}

void TDBMemoStringsKv::Delete(Integer Index) {
  DBMemoKv::TLineView View(FMemo);
  Integer Start = View.Start(Index);
  if (Start < 0) return;
  Integer Next = View.Start(Index + 1);
  Integer End = Next >= 0 ? Next : Start + View.Length(Index);
  FMemo->BeginLinesChange();
  View.Replace(Start, End, String());
  FMemo->EndLinesChange();
}

void TDBMemoStringsKv::Clear() { FMemo->Clear(); }

String TDBMemoStringsKv::GetTextStr() const { return FMemo->GetText(); }

void TDBMemoStringsKv::SetTextStr(const String& Value) {
  String Text = DBMemoKv::NormalizeLineBreaks(Value);
  if (Text == FMemo->GetText()) return;
  FMemo->BeginLinesChange();
  if (FMemo->HandleAllocated()) {
    HWND H = FMemo->GetHandle();
    if (!SendMessageW(H, WM_SETTEXT, 0, LPARAM(Text.c_str())) || GetWindowTextLengthW(H) != Integer(Text.size())) {
      FMemo->AbandonLinesChange();
      throw EInvalidOperation(L"Text exceeds memo capacity");
    }
  } else {
    FMemo->SetEditText(Text);
  }
  FMemo->EndLinesChange();
  FMemo->Perform(CM_TEXTCHANGED);
}

void TDBMemoStringsKv::SetUpdateState(bool Updating) {
  if (!FMemo->HandleAllocated()) return;
  SendMessageW(FMemo->GetHandle(), WM_SETREDRAW, !Updating, 0);
  if (Updating) return;
  FMemo->Perform(CM_SHOWINGCHANGED);
  FMemo->Refresh();
}

// ---- The memo ---------------------------------------------------------------------------------

TCustomDBMemoKv::TCustomDBMemoKv(TComponent* AOwner) : TCustomDBEditKv(AOwner) {
  SetBounds(0, 0, 185, 89);
  SetAutoSize(false);
  SetWordWrap(true);
  SetWantReturns(true);
  FLines = std::make_unique<TDBMemoStringsKv>(this);
  FControlStyle >> csParentBackground;
}

TCustomDBMemoKv::~TCustomDBMemoKv() { FLines.reset(); }

void TCustomDBMemoKv::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  if (GetWordWrap()) Params.Style &= ~DWORD(ES_AUTOHSCROLL);
  Params.Style |= ES_MULTILINE;
  Params.Style &= ~DWORD(ES_LEFT | ES_RIGHT | ES_CENTER);
  static const DWORD Styles[2][3] = {{ES_LEFT, ES_RIGHT, ES_CENTER}, {ES_RIGHT, ES_LEFT, ES_CENTER}};
  Params.Style |= Styles[UseRightToLeftAlignment()][FAlignment];
  static const DWORD Bars[] = {0, WS_HSCROLL, WS_VSCROLL, WS_HSCROLL | WS_VSCROLL};
  Params.Style |= Bars[FScrollBars];
}

TPoint TCustomDBMemoKv::GetCaretPosSlot() {
  HWND H = GetHandle();
  DWORD Start = 0;
  SendMessageW(H, EM_GETSEL, WPARAM(&Start), 0);
  auto Line = Integer(SendMessageW(H, EM_LINEFROMCHAR, WPARAM(Start), 0));
  auto LineStart = Integer(SendMessageW(H, EM_LINEINDEX, WPARAM(-1), 0));
  return TPoint(Integer(Start) - LineStart, Line);
}

void TCustomDBMemoKv::SetCaretPosSlot(const TPoint& Value) {
  HWND H = GetHandle();
  auto Pos = Integer(SendMessageW(H, EM_LINEINDEX, WPARAM(Value.Y), 0)) + Value.X;
  SendMessageW(H, EM_SETSEL, WPARAM(Pos), LPARAM(Pos));
}

void TCustomDBMemoKv::Loaded() {
  inherited::Loaded();
  SetModified(false);
}

void TCustomDBMemoKv::WMGetDlgCode(TWMGetDlgCode& Message) {
  TCustomDBEditKv::WMGetDlgCode(Message);
  if (FMemoWantTabs) Message.Result |= DLGC_WANTTAB;
  else Message.Result &= ~LRESULT(DLGC_WANTTAB);
  if (!GetWantReturns()) Message.Result &= ~LRESULT(DLGC_WANTALLKEYS);
}

void TCustomDBMemoKv::KeyPress(Char& Key) {
  inherited::KeyPress(Key);
  if (Key == VK_RETURN && !GetWantReturns()) Key = 0;
}

void TCustomDBMemoKv::BeginLinesChange() {
  FLinesEditBegan = false;
  if (GetComponentState().Contains(csDesigning) || DataIndepended()) return;
  TDataSource* Source = GetDataSource();
  TDataSet* DataSet = Source ? Source->GetDataSet() : nullptr;
  bool Browsing = DataSet && DataSet->GetState() == dsBrowse;
  EditDataSet();
  FLinesEditBegan = Browsing && DataSet->GetState() == dsEdit;
}

void TCustomDBMemoKv::EndLinesChange() { PostOrReload(); }

void TCustomDBMemoKv::AbandonLinesChange() {
  // An edit this change began is cancelled (nothing else was changed in it); the memo reloads.
  if (FLinesEditBegan) {
    FLinesEditBegan = false;
    if (TDataSource* Source = GetDataSource())
      if (TDataSet* DataSet = Source->GetDataSet()) DataSet->Cancel();
  }
  GetDataLink()->Reset();
}
