#include "framework/comctrls/RichEdit.h"

#include <richedit.h>

#include "framework/classes/Streams.h"
#include "framework/classes/Strings.h"
#include "framework/graphics/Colors.h"
#include "framework/Printers.h"
#include "framework/themes/StyleManager.h"

PUBLISHED_DEF(TRichEdit) {
  PROP(BorderStyle).Default(bsSingle);
  PROP(HideSelection).Default(true);
  PROP(MaxLength).Default(0);
  PROP(PlainText).Default(false);
  PROP(Lines);
  PROP(ReadOnly).Default(false);
  PROP(ScrollBars).Default(ssNone);
  PROP(WantReturns).Default(true);
  PROP(WantTabs).Default(false);
  PROP(WordWrap).Default(true);
  EVENT(OnChange);
  EVENT(OnSelectionChange);
}

namespace {

// Msftedit's window when the system has it; riched20's otherwise.
const wchar_t* RichEditClassName() {
  static const wchar_t* const Name = []() -> const wchar_t* {
    WNDCLASSW WC;
    if (LoadLibraryW(L"msftedit.dll") && GetClassInfoW(nullptr, MSFTEDIT_CLASS, &WC)) return MSFTEDIT_CLASS;
    LoadLibraryW(L"riched20.dll");
    return RICHEDIT_CLASSW;
  }();
  return Name;
}

struct TStreamCookie {
  const std::string* In = nullptr;
  size_t Pos = 0;
  std::string* Out = nullptr;
};

DWORD CALLBACK ReadCallback(DWORD_PTR Cookie, LPBYTE Buffer, LONG Count, LONG* Done) {
  auto* C = reinterpret_cast<TStreamCookie*>(Cookie);
  size_t N = std::min(size_t(std::max<LONG>(Count, 0)), C->In->size() - C->Pos);
  memcpy(Buffer, C->In->data() + C->Pos, N);
  C->Pos += N;
  *Done = LONG(N);
  return 0;
}

DWORD CALLBACK WriteCallback(DWORD_PTR Cookie, LPBYTE Buffer, LONG Count, LONG* Done) {
  auto* C = reinterpret_cast<TStreamCookie*>(Cookie);
  C->Out->append(reinterpret_cast<const char*>(Buffer), size_t(std::max<LONG>(Count, 0)));
  *Done = Count;
  return 0;
}

// Rich Text Format the window can take: its groups open and close in balance and the outer
// group closes at the end (only blanks may follow). A cut-off or damaged stream fails here.
bool IsWellFormedRtf(const std::string& S) {
  if (!IsRichText(S)) return false;
  Integer Depth = 0;
  size_t I = 0, N = S.size();
  while (I < N) {
    char C = S[I];
    if (C == '\\') {
      // \binN: N raw bytes follow the keyword and its one delimiting space.
      if (S.compare(I + 1, 3, "bin") == 0 && I + 4 < N && isdigit(static_cast<unsigned char>(S[I + 4]))) {
        size_t J = I + 4;
        size_t Count = 0;
        while (J < N && isdigit(static_cast<unsigned char>(S[J]))) {
          Count = Count * 10 + size_t(S[J] - '0');
          if (Count > N) return false;
          ++J;
        }
        if (J < N && S[J] == ' ') ++J;
        if (Count > N - J) return false;
        I = J + Count;
        continue;
      }
      I += 2;  // an escaped brace or backslash, or the first letter of a control word
      continue;
    }
    if (C == '{') ++Depth;
    else if (C == '}') {
      if (--Depth < 0) return false;
      if (Depth == 0) {
        for (size_t J = I + 1; J < N; ++J)
          if (!isspace(static_cast<unsigned char>(S[J])) && S[J] != '\0') return false;
        return true;
      }
    }
    ++I;
  }
  return false;
}

String WindowRawText(HWND H) {
  GETTEXTLENGTHEX L{GTL_NUMCHARS | GTL_PRECISE, 1200};
  Integer Len = Integer(SendMessageW(H, EM_GETTEXTLENGTHEX, WPARAM(&L), 0));
  if (Len <= 0) return String();
  String S(size_t(Len) + 1, L'\0');
  GETTEXTEX G{};
  G.cb = DWORD((Len + 1) * sizeof(wchar_t));
  G.flags = GT_DEFAULT;
  G.codepage = 1200;
  Integer N = Integer(SendMessageW(H, EM_GETTEXTEX, WPARAM(&G), LPARAM(S.data())));
  S.resize(size_t(std::max(0, std::min(N, Len))));
  return S;
}

CHARFORMAT2W GetCharFormat(HWND H, TAttributeType Type) {
  CHARFORMAT2W F{};
  F.cbSize = sizeof(F);
  SendMessageW(H, EM_GETCHARFORMAT, Type == atSelected ? SCF_SELECTION : SCF_DEFAULT, LPARAM(&F));
  return F;
}

void SetCharFormat(HWND H, TAttributeType Type, CHARFORMAT2W& F) {
  F.cbSize = sizeof(F);
  SendMessageW(H, EM_SETCHARFORMAT, Type == atSelected ? SCF_SELECTION : SCF_DEFAULT, LPARAM(&F));
}

PARAFORMAT2 GetParaFormat(HWND H) {
  PARAFORMAT2 P{};
  P.cbSize = sizeof(P);
  SendMessageW(H, EM_GETPARAFORMAT, 0, LPARAM(&P));
  return P;
}

void SetParaFormat(HWND H, PARAFORMAT2& P) {
  P.cbSize = sizeof(P);
  SendMessageW(H, EM_SETPARAFORMAT, 0, LPARAM(&P));
}

Integer ScreenPixelsPerInch() {
  HDC DC = GetDC(nullptr);
  Integer R = GetDeviceCaps(DC, LOGPIXELSY);
  ReleaseDC(nullptr, DC);
  return R > 0 ? R : 96;
}

constexpr Integer TwipsPerPoint = 20;

// EM_FINDTEXTEXW's flags, from the common dialogs' header, which the lean Win32 headers leave out.
constexpr WPARAM FindDown = 0x1, FindWholeWord = 0x2, FindMatchCase = 0x4;

}  // namespace

bool IsRichText(const std::string& Text) {
  return Text.compare(0, 5, "{\\rtf") == 0 || Text.compare(0, 5, "{urtf") == 0;
}

// ---- Lines ---------------------------------------------------------------------------------------

// The rich edit's paragraphs. The window counts one character for a paragraph break, so positions
// come from its own text (breaks as CR) rather than from the CR LF text WM_GETTEXT gives.
class TRichEditStrings : public TStrings {
 public:
  explicit TRichEditStrings(TCustomRichEdit* RichEdit) : FRichEdit(RichEdit) {}
  Integer GetCount() const override { return Integer(Starts(Text()).size()); }
  String Get(Integer Index) const override {
    String T = Text();
    auto S = Starts(T);
    CheckIndex(Index, S);
    return T.substr(S[Index], LineEnd(T, S[Index]) - S[Index]);
  }
  void Clear() override { FRichEdit->Clear(); }
  void Delete(Integer Index) override {
    String T = Text();
    auto S = Starts(T);
    CheckIndex(Index, S);
    Integer From = S[Index], To = Index + 1 < Integer(S.size()) ? S[Index + 1] : Integer(T.size());
    if (Index + 1 == Integer(S.size()) && Index > 0) From = LineEnd(T, S[Index - 1]);  // drop the break before
    Replace(From, To, L"");
  }
  void Insert(Integer Index, const String& Str) override {
    String T = Text();
    auto S = Starts(T);
    if (Index < 0 || Index > Integer(S.size())) throw EStringListError(L"List index out of bounds (%d)", {Index});
    if (Index < Integer(S.size())) {
      Replace(S[Index], S[Index], Str + Break());
      return;
    }
    bool NeedBreak = !T.empty() && T.back() != L'\n' && T.back() != L'\r';
    Replace(Integer(T.size()), Integer(T.size()), (NeedBreak ? Break() : String()) + Str);
  }
  void Put(Integer Index, const String& Str) override {
    String T = Text();
    auto S = Starts(T);
    CheckIndex(Index, S);
    Replace(S[Index], LineEnd(T, S[Index]), Str);
  }
  void SetTextStr(const String& Value) override {
    if (!FRichEdit->HandleAllocated()) {
      FRichEdit->FSavedRtf.clear();
      FRichEdit->SetText(Value);
      return;
    }
    // Through the stream so that a text that happens to start like Rich Text Format stays text.
    std::string Data(reinterpret_cast<const char*>(Value.data()), Value.size() * sizeof(wchar_t));
    FRichEdit->StreamIn(Data, SF_TEXT | SF_UNICODE);
  }
  void LoadFromStream(TStream* Stream, TEncoding* Encoding) override {
    Int64 Start = Stream->GetPosition();
    Int64 Size = Stream->GetSize() - Start;
    std::string Data(size_t(std::max<Int64>(Size, 0)), '\0');
    if (!Data.empty()) Stream->ReadBuffer(Data.data(), Integer(Data.size()));
    if (!FRichEdit->GetPlainText() && IsRichText(Data)) {
      FRichEdit->StreamIn(Data, SF_RTF);
      return;
    }
    Stream->SetPosition(Start);
    TStrings::LoadFromStream(Stream, Encoding);
  }
  void SaveToStream(TStream* Stream, TEncoding* Encoding) override {
    if (FRichEdit->GetPlainText()) {
      TStrings::SaveToStream(Stream, Encoding);
      return;
    }
    std::string Data = FRichEdit->StreamOut(SF_RTF);
    if (!Data.empty()) Stream->WriteBuffer(Data.data(), Integer(Data.size()));
  }

 private:
  String Text() const {
    // Formatted text read before the window existed is in the window only once it is made.
    if (!FRichEdit->HandleAllocated() && !FRichEdit->FSavedRtf.empty() &&
        (FRichEdit->GetParent() || FRichEdit->GetParentWindow()))
      FRichEdit->HandleNeeded();
    if (FRichEdit->HandleAllocated()) return WindowRawText(FRichEdit->GetHandle());
    return FRichEdit->GetText();
  }
  String Break() const { return FRichEdit->HandleAllocated() ? String(L"\r") : String(L"\r\n"); }
  static Integer LineEnd(const String& T, Integer Start) {
    Integer I = Start;
    while (I < Integer(T.size()) && T[I] != L'\r' && T[I] != L'\n') ++I;
    return I;
  }
  static std::vector<Integer> Starts(const String& T) {
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
  // Replaces characters From..To through the selection, so that text put where the caret stands
  // takes the attributes set there (SelAttributes with nothing selected), as typing would.
  void Replace(Integer From, Integer To, const String& With) {
    if (!FRichEdit->HandleAllocated()) {
      String T = FRichEdit->GetText();
      T.replace(From, To - From, With);
      FRichEdit->SetText(T);
      return;
    }
    HWND H = FRichEdit->GetHandle();
    CHARRANGE R{From, To};
    SendMessageW(H, EM_EXSETSEL, 0, LPARAM(&R));
    SendMessageW(H, EM_REPLACESEL, 0, LPARAM(With.c_str()));
  }

  TCustomRichEdit* FRichEdit;
};

// ---- Text attributes -------------------------------------------------------------------------------

TTextAttributes::TTextAttributes(TCustomRichEdit* AOwner, TAttributeType AttributeType)
    : FRichEdit(AOwner), FType(AttributeType) {}

void TTextAttributes::Assign(TPersistent* Source) {
  if (auto* Font = dynamic_cast<TFont*>(Source)) {
    CHARFORMAT2W F{};
    F.dwMask = CFM_COLOR | CFM_FACE | CFM_SIZE | CFM_CHARSET | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
    TColor C = Font->GetColor();
    if (C == clWindowText || C == clDefault) F.dwEffects |= CFE_AUTOCOLOR;
    else F.crTextColor = ColorToRGB(C);
    wcsncpy(F.szFaceName, Font->GetName().c_str(), LF_FACESIZE - 1);
    F.yHeight = Font->GetSize() * TwipsPerPoint;
    F.bCharSet = Font->GetCharset();
    TFontStyles S = Font->GetStyle();
    if (S.Contains(fsBold)) F.dwEffects |= CFE_BOLD;
    if (S.Contains(fsItalic)) F.dwEffects |= CFE_ITALIC;
    if (S.Contains(fsUnderline)) F.dwEffects |= CFE_UNDERLINE;
    if (S.Contains(fsStrikeOut)) F.dwEffects |= CFE_STRIKEOUT;
    SetCharFormat(FRichEdit->GetHandle(), FType, F);
    return;
  }
  if (auto* A = dynamic_cast<TTextAttributes*>(Source)) {
    CHARFORMAT2W F = GetCharFormat(A->FRichEdit->GetHandle(), A->FType);
    F.dwMask &= CFM_COLOR | CFM_FACE | CFM_SIZE | CFM_CHARSET | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE |
                CFM_STRIKEOUT | CFM_PROTECTED;
    SetCharFormat(FRichEdit->GetHandle(), FType, F);
    return;
  }
  inherited::Assign(Source);
}

void TTextAttributes::AssignTo(TPersistent* Dest) {
  if (auto* Font = dynamic_cast<TFont*>(Dest)) {
    Font->SetColor(GetColor());
    Font->SetName(GetName());
    Font->SetCharset(GetCharset());
    Font->SetSize(GetSize());
    Font->SetStyle(GetStyle());
    Font->SetPitch(GetPitch());
    return;
  }
  inherited::AssignTo(Dest);
}

TFontCharset TTextAttributes::GetCharset() { return GetCharFormat(FRichEdit->GetHandle(), FType).bCharSet; }

void TTextAttributes::SetCharset(TFontCharset Value) {
  CHARFORMAT2W F{};
  F.dwMask = CFM_CHARSET;
  F.bCharSet = Value;
  SetCharFormat(FRichEdit->GetHandle(), FType, F);
}

TColor TTextAttributes::GetColor() {
  CHARFORMAT2W F = GetCharFormat(FRichEdit->GetHandle(), FType);
  if (F.dwEffects & CFE_AUTOCOLOR) return clWindowText;
  return TColor(F.crTextColor);
}

void TTextAttributes::SetColor(TColor Value) {
  CHARFORMAT2W F{};
  F.dwMask = CFM_COLOR;
  if (Value == clWindowText || Value == clDefault) F.dwEffects = CFE_AUTOCOLOR;
  else F.crTextColor = ColorToRGB(Value);
  SetCharFormat(FRichEdit->GetHandle(), FType, F);
}

TFontName TTextAttributes::GetName() { return GetCharFormat(FRichEdit->GetHandle(), FType).szFaceName; }

void TTextAttributes::SetName(const TFontName& Value) {
  CHARFORMAT2W F{};
  F.dwMask = CFM_FACE;
  wcsncpy(F.szFaceName, Value.c_str(), LF_FACESIZE - 1);
  SetCharFormat(FRichEdit->GetHandle(), FType, F);
}

TFontPitch TTextAttributes::GetPitch() {
  switch (GetCharFormat(FRichEdit->GetHandle(), FType).bPitchAndFamily & 3) {
    case VARIABLE_PITCH: return fpVariable;
    case FIXED_PITCH: return fpFixed;
    default: return fpDefault;
  }
}

void TTextAttributes::SetPitch(TFontPitch Value) {
  static const BYTE Pitches[] = {DEFAULT_PITCH, VARIABLE_PITCH, FIXED_PITCH};
  CHARFORMAT2W F = GetCharFormat(FRichEdit->GetHandle(), FType);
  F.dwMask = CFM_FACE;  // the pitch travels with the face
  F.bPitchAndFamily = BYTE((F.bPitchAndFamily & ~3) | Pitches[Value]);
  SetCharFormat(FRichEdit->GetHandle(), FType, F);
}

bool TTextAttributes::GetProtected() {
  return (GetCharFormat(FRichEdit->GetHandle(), FType).dwEffects & CFE_PROTECTED) != 0;
}

void TTextAttributes::SetProtected(bool Value) {
  CHARFORMAT2W F{};
  F.dwMask = CFM_PROTECTED;
  F.dwEffects = Value ? CFE_PROTECTED : 0;
  SetCharFormat(FRichEdit->GetHandle(), FType, F);
}

Integer TTextAttributes::GetSize() { return GetCharFormat(FRichEdit->GetHandle(), FType).yHeight / TwipsPerPoint; }

void TTextAttributes::SetSize(Integer Value) {
  CHARFORMAT2W F{};
  F.dwMask = CFM_SIZE;
  F.yHeight = Value * TwipsPerPoint;
  SetCharFormat(FRichEdit->GetHandle(), FType, F);
}

Integer TTextAttributes::GetHeight() { return MulDiv(GetSize(), ScreenPixelsPerInch(), 72); }

void TTextAttributes::SetHeight(Integer Value) { SetSize(MulDiv(Value, 72, ScreenPixelsPerInch())); }

TFontStyles TTextAttributes::GetStyle() {
  CHARFORMAT2W F = GetCharFormat(FRichEdit->GetHandle(), FType);
  TFontStyles S;
  if (F.dwEffects & CFE_BOLD) S << fsBold;
  if (F.dwEffects & CFE_ITALIC) S << fsItalic;
  if (F.dwEffects & CFE_UNDERLINE) S << fsUnderline;
  if (F.dwEffects & CFE_STRIKEOUT) S << fsStrikeOut;
  return S;
}

void TTextAttributes::SetStyle(TFontStyles Value) {
  CHARFORMAT2W F{};
  F.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
  if (Value.Contains(fsBold)) F.dwEffects |= CFE_BOLD;
  if (Value.Contains(fsItalic)) F.dwEffects |= CFE_ITALIC;
  if (Value.Contains(fsUnderline)) F.dwEffects |= CFE_UNDERLINE;
  if (Value.Contains(fsStrikeOut)) F.dwEffects |= CFE_STRIKEOUT;
  SetCharFormat(FRichEdit->GetHandle(), FType, F);
}

// ---- Paragraph attributes --------------------------------------------------------------------------

void TParaAttributes::Assign(TPersistent* Source) {
  if (auto* P = dynamic_cast<TParaAttributes*>(Source)) {
    PARAFORMAT2 F = GetParaFormat(P->FRichEdit->GetHandle());
    F.dwMask = PFM_ALIGNMENT | PFM_STARTINDENT | PFM_OFFSET | PFM_RIGHTINDENT | PFM_NUMBERING | PFM_TABSTOPS;
    SetParaFormat(FRichEdit->GetHandle(), F);
    return;
  }
  inherited::Assign(Source);
}

TAlignment TParaAttributes::GetAlignment() {
  switch (GetParaFormat(FRichEdit->GetHandle()).wAlignment) {
    case PFA_RIGHT: return taRightJustify;
    case PFA_CENTER: return taCenter;
    default: return taLeftJustify;
  }
}

void TParaAttributes::SetAlignment(TAlignment Value) {
  static const WORD Alignments[] = {PFA_LEFT, PFA_RIGHT, PFA_CENTER};
  PARAFORMAT2 P{};
  P.dwMask = PFM_ALIGNMENT;
  P.wAlignment = Alignments[Value];
  SetParaFormat(FRichEdit->GetHandle(), P);
}

Integer TParaAttributes::GetFirstIndent() { return GetParaFormat(FRichEdit->GetHandle()).dxStartIndent / TwipsPerPoint; }

void TParaAttributes::SetFirstIndent(Integer Value) {
  PARAFORMAT2 P{};
  P.dwMask = PFM_STARTINDENT;
  P.dxStartIndent = Value * TwipsPerPoint;
  SetParaFormat(FRichEdit->GetHandle(), P);
}

Integer TParaAttributes::GetLeftIndent() { return GetParaFormat(FRichEdit->GetHandle()).dxOffset / TwipsPerPoint; }

void TParaAttributes::SetLeftIndent(Integer Value) {
  PARAFORMAT2 P{};
  P.dwMask = PFM_OFFSET;
  P.dxOffset = Value * TwipsPerPoint;
  SetParaFormat(FRichEdit->GetHandle(), P);
}

Integer TParaAttributes::GetRightIndent() { return GetParaFormat(FRichEdit->GetHandle()).dxRightIndent / TwipsPerPoint; }

void TParaAttributes::SetRightIndent(Integer Value) {
  PARAFORMAT2 P{};
  P.dwMask = PFM_RIGHTINDENT;
  P.dxRightIndent = Value * TwipsPerPoint;
  SetParaFormat(FRichEdit->GetHandle(), P);
}

TNumberingStyle TParaAttributes::GetNumbering() {
  return GetParaFormat(FRichEdit->GetHandle()).wNumbering == PFN_BULLET ? nsBullet : nsNone;
}

void TParaAttributes::SetNumbering(TNumberingStyle Value) {
  PARAFORMAT2 P{};
  P.dwMask = PFM_NUMBERING;
  P.wNumbering = Value == nsBullet ? PFN_BULLET : 0;
  SetParaFormat(FRichEdit->GetHandle(), P);
  // A bulleted paragraph needs room for its bullet.
  if (Value == nsBullet && GetLeftIndent() == 0) SetLeftIndent(10);
  else if (Value == nsNone) SetLeftIndent(0);
}

Integer TParaAttributes::GetTabCount() { return GetParaFormat(FRichEdit->GetHandle()).cTabCount; }

void TParaAttributes::SetTabCount(Integer Value) {
  PARAFORMAT2 P = GetParaFormat(FRichEdit->GetHandle());
  P.dwMask = PFM_TABSTOPS;
  P.cTabCount = SHORT(std::max(0, std::min<Integer>(Value, MAX_TAB_STOPS)));
  SetParaFormat(FRichEdit->GetHandle(), P);
}

Integer TParaAttributes::GetTab(Integer Index) {
  if (Index < 0 || Index >= MAX_TAB_STOPS) throw EListError(L"List index out of bounds (%d)", {Index});
  return GetParaFormat(FRichEdit->GetHandle()).rgxTabs[Index] / TwipsPerPoint;
}

void TParaAttributes::SetTab(Integer Index, Integer Value) {
  if (Index < 0 || Index >= MAX_TAB_STOPS) throw EListError(L"List index out of bounds (%d)", {Index});
  PARAFORMAT2 P = GetParaFormat(FRichEdit->GetHandle());
  P.dwMask = PFM_TABSTOPS;
  P.rgxTabs[Index] = Value * TwipsPerPoint;
  if (P.cTabCount <= Index) P.cTabCount = SHORT(Index + 1);
  SetParaFormat(FRichEdit->GetHandle(), P);
}

// ---- The rich edit -----------------------------------------------------------------------------------

TCustomRichEdit::TCustomRichEdit(TComponent* AOwner)
    : TCustomMemo(AOwner),
      FSelAttributes(std::make_unique<TTextAttributes>(this, atSelected)),
      FDefAttributes(std::make_unique<TTextAttributes>(this, atDefaultText)),
      FParagraph(std::make_unique<TParaAttributes>(this)) {
  ReplaceLines(std::make_unique<TRichEditStrings>(this));
}

TCustomRichEdit::~TCustomRichEdit() = default;

void TCustomRichEdit::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  CreateSubClass(Params, RichEditClassName());
  // The edit styles with no meaning here share bits with rich-edit styles (ES_NUMBER is
  // ES_DISABLENOSCROLL).
  Params.Style &= ~DWORD(ES_UPPERCASE | ES_LOWERCASE | ES_NUMBER | ES_PASSWORD);
  if (GetWantReturns()) Params.Style |= ES_WANTRETURN;
}

void TCustomRichEdit::CreateWnd() {
  inherited::CreateWnd();
  Integer Max = GetMaxLength();
  SendMessageW(FHandle, EM_EXLIMITTEXT, 0, LPARAM(Max > 0 ? Max : 0x7FFFFFF0));
  SendMessageW(FHandle, EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SELCHANGE);
}

// The font goes to the window after CreateWnd and would reset the restored text's fonts: the
// formatted text kept from the last window comes back after it.
void TCustomRichEdit::CreateHandle() {
  inherited::CreateHandle();
  if (!FHandle) return;
  ApplyColors();
  if (FSavedRtf.empty()) return;
  std::string Saved;
  Saved.swap(FSavedRtf);
  // The same text coming back is no change: no OnChange, and Modified stays as it was.
  bool WasModified = GetModified();
  FCreating = true;
  try {
    StreamIn(Saved, SF_RTF);
  } catch (...) {
    FCreating = false;
    throw;
  }
  FCreating = false;
  SetModified(WasModified);
}

void TCustomRichEdit::DestroyWnd() {
  FSavedRtf.clear();
  if (!GetComponentState().Contains(csDestroying)) {
    // Without the formatted text the plain text the window held still comes back.
    try {
      FSavedRtf = StreamOut(SF_RTF);
    } catch (const EStreamError&) {
    }
  }
  inherited::DestroyWnd();
}

// Under a custom style the surface and the default text take the style's colours where the
// control has system colours; text written in a colour of its own keeps it.
void TCustomRichEdit::ApplyColors() {
  if (!FHandle) return;
  TCustomStyleServices* S = StyleServices();
  bool Styled = TStyleManager::IsCustomStyleActive();
  TColor Back = GetColor();
  if (Styled && GetStyleElements().Contains(seClient) && (Cardinal(Back) & 0xFF000000u) == Cardinal(clSystemColor))
    Back = S->GetStyleColor(GetEnabled() ? scEdit : scEditDisabled);
  SendMessageW(FHandle, EM_SETBKGNDCOLOR, 0, LPARAM(ColorToRGB(Back)));
  CHARFORMAT2W F{};
  F.dwMask = CFM_COLOR;
  TColor C = GetFont()->GetColor();
  bool Auto = C == clWindowText || C == clDefault;
  if (Styled && GetStyleElements().Contains(seFont) && Auto) F.crTextColor = ColorToRGB(S->GetStyleFontColor(sfEditBoxTextNormal));
  else if (Auto) F.dwEffects = CFE_AUTOCOLOR;
  else F.crTextColor = ColorToRGB(C);
  SetCharFormat(FHandle, atDefaultText, F);
}

void TCustomRichEdit::CMStyleChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  ApplyColors();
}

void TCustomRichEdit::CMColorChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  ApplyColors();
}

void TCustomRichEdit::CMFontChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  ApplyColors();
}

void TCustomRichEdit::KeyDown(Word& Key, TShiftState Shift) {
  inherited::KeyDown(Key, Shift);
  // The window makes its paragraph on the key itself, not on the character.
  if (Key == VK_RETURN && !GetWantReturns()) Key = 0;
}

void TCustomRichEdit::Clear() {
  FSavedRtf.clear();
  SetText(L"");
}

Integer TCustomRichEdit::GetTextLen() {
  if (!FHandle) return Integer(GetText().size());
  GETTEXTLENGTHEX L{GTL_NUMCHARS | GTL_PRECISE, 1200};
  return Integer(SendMessageW(FHandle, EM_GETTEXTLENGTHEX, WPARAM(&L), 0));
}

Integer TCustomRichEdit::GetSelStart() {
  if (!FHandle) return inherited::GetSelStart();
  CHARRANGE R{};
  SendMessageW(FHandle, EM_EXGETSEL, 0, LPARAM(&R));
  return R.cpMin;
}

void TCustomRichEdit::SetSelStart(Integer Value) {
  if (!FHandle) return inherited::SetSelStart(Value);
  CHARRANGE R{Value, Value};
  SendMessageW(FHandle, EM_EXSETSEL, 0, LPARAM(&R));
}

Integer TCustomRichEdit::GetSelLength() {
  if (!FHandle) return inherited::GetSelLength();
  CHARRANGE R{};
  SendMessageW(FHandle, EM_EXGETSEL, 0, LPARAM(&R));
  return R.cpMax - R.cpMin;
}

void TCustomRichEdit::SetSelLength(Integer Value) {
  if (!FHandle) return inherited::SetSelLength(Value);
  CHARRANGE R{};
  SendMessageW(FHandle, EM_EXGETSEL, 0, LPARAM(&R));
  R.cpMax = R.cpMin + Value;
  SendMessageW(FHandle, EM_EXSETSEL, 0, LPARAM(&R));
  SendMessageW(FHandle, EM_SCROLLCARET, 0, 0);
}

String TCustomRichEdit::GetSelText() {
  if (!FHandle) return inherited::GetSelText();
  Integer Len = GetSelLength();
  String S(size_t(std::max(0, Len)) + 1, L'\0');
  Integer N = Integer(SendMessageW(FHandle, EM_GETSELTEXT, 0, LPARAM(S.data())));
  S.resize(size_t(std::max(0, std::min(N, Len))));
  return S;
}

void TCustomRichEdit::SetSelText(const String& Value) {
  if (!FHandle) return inherited::SetSelText(Value);
  SendMessageW(FHandle, EM_REPLACESEL, TRUE, LPARAM(Value.c_str()));
}

void TCustomRichEdit::SetMaxLength(Integer Value) {
  inherited::SetMaxLength(Value);
  if (FHandle) SendMessageW(FHandle, EM_EXLIMITTEXT, 0, LPARAM(Value > 0 ? Value : 0x7FFFFFF0));
}

void TCustomRichEdit::ScrollToCaret() {
  if (FHandle) SendMessageW(FHandle, EM_SCROLLCARET, 0, 0);
}

// By pixels: EM_LINESCROLL counts lines of the default font's height, which need not be the
// height of the lines there.
void TCustomRichEdit::ScrollToLine(Integer Line) {
  HWND H = GetHandle();
  Integer Start = Integer(SendMessageW(H, EM_LINEINDEX, WPARAM(std::max(0, Line)), 0));
  if (Start < 0) Start = GetTextLen();
  POINT Scroll{};
  SendMessageW(H, EM_GETSCROLLPOS, 0, LPARAM(&Scroll));
  POINTL At{};
  SendMessageW(H, EM_POSFROMCHAR, WPARAM(&At), LPARAM(Start));
  RECT Format{};
  SendMessageW(H, EM_GETRECT, 0, LPARAM(&Format));
  Scroll.y = std::max<LONG>(0, Scroll.y + At.y - Format.top);
  SendMessageW(H, EM_SETSCROLLPOS, 0, LPARAM(&Scroll));
}

Integer TCustomRichEdit::GetFirstVisibleLine() {
  return FHandle ? Integer(SendMessageW(FHandle, EM_GETFIRSTVISIBLELINE, 0, 0)) : 0;
}

Integer TCustomRichEdit::FindText(const String& SearchStr, Integer StartPos, Integer Length, bool MatchCase,
                                  bool WholeWord) {
  FINDTEXTEXW F{};
  F.chrg.cpMin = StartPos;
  F.chrg.cpMax = StartPos + Length;
  F.lpstrText = SearchStr.c_str();
  WPARAM Flags = FindDown;
  if (MatchCase) Flags |= FindMatchCase;
  if (WholeWord) Flags |= FindWholeWord;
  return Integer(SendMessageW(GetHandle(), EM_FINDTEXTEXW, Flags, LPARAM(&F)));
}

std::string TCustomRichEdit::StreamOut(unsigned Format) {
  if (!FHandle && !FSavedRtf.empty() && (Format & SF_RTF)) return FSavedRtf;
  if (!FHandle && !(Format & SF_RTF)) {
    String T = GetText();
    return std::string(reinterpret_cast<const char*>(T.data()), T.size() * sizeof(wchar_t));
  }
  std::string Out;
  TStreamCookie Cookie;
  Cookie.Out = &Out;
  EDITSTREAM ES{DWORD_PTR(&Cookie), 0, WriteCallback};
  SendMessageW(GetHandle(), EM_STREAMOUT, Format, LPARAM(&ES));
  if (ES.dwError) throw EStreamError(L"Failed to save the rich text (error %d)", {Integer(ES.dwError)});
  return Out;
}

void TCustomRichEdit::StreamIn(const std::string& Data, unsigned Format) {
  bool Rtf = (Format & SF_RTF) != 0;
  if (Rtf && !IsWellFormedRtf(Data)) throw EStreamError(L"Failed to load stream: the text is not valid rich text");
  // Without a window (a form being read) the formatted text waits for one.
  if (!FHandle && !GetParent() && !GetParentWindow()) {
    if (Rtf) {
      SetText(L"");
      FSavedRtf = Data;
    } else {
      FSavedRtf.clear();
      SetText(String(reinterpret_cast<const wchar_t*>(Data.data()), Data.size() / sizeof(wchar_t)));
    }
    return;
  }
  HWND H = GetHandle();
  std::string Before = StreamOut(SF_RTF);
  TStreamCookie Cookie;
  Cookie.In = &Data;
  EDITSTREAM ES{DWORD_PTR(&Cookie), 0, ReadCallback};
  SendMessageW(H, EM_STREAMIN, Format, LPARAM(&ES));
  if (ES.dwError) {
    TStreamCookie Back;
    Back.In = &Before;
    EDITSTREAM Restore{DWORD_PTR(&Back), 0, ReadCallback};
    SendMessageW(H, EM_STREAMIN, SF_RTF, LPARAM(&Restore));
    throw EStreamError(L"Failed to load stream (error %d)", {Integer(ES.dwError)});
  }
}

void TCustomRichEdit::Print(const String& Caption) {
  HWND H = GetHandle();
  TPrinter* P = Printer();
  P->SetTitle(Caption);
  P->BeginDoc();
  try {
    HDC DC = P->GetHandle();
    Integer DpiX = GetDeviceCaps(DC, LOGPIXELSX), DpiY = GetDeviceCaps(DC, LOGPIXELSY);
    FORMATRANGE Range{};
    Range.hdc = DC;
    Range.hdcTarget = DC;
    Range.rcPage = {0, 0, MulDiv(P->GetPageWidth(), 1440, DpiX), MulDiv(P->GetPageHeight(), 1440, DpiY)};
    Integer Len = GetTextLen();
    Range.chrg = {0, -1};
    for (;;) {
      Range.rc = Range.rcPage;
      LONG Next = LONG(SendMessageW(H, EM_FORMATRANGE, TRUE, LPARAM(&Range)));
      if (Next <= Range.chrg.cpMin) break;  // nothing fitted: stop rather than print blank pages
      Range.chrg.cpMin = Next;
      if (Range.chrg.cpMin >= Len) break;
      P->NewPage();
    }
    SendMessageW(H, EM_FORMATRANGE, FALSE, 0);
    P->EndDoc();
  } catch (...) {
    SendMessageW(H, EM_FORMATRANGE, FALSE, 0);  // the window forgets the printer's context
    if (P->GetPrinting()) P->Abort();
    throw;
  }
}

void TCustomRichEdit::SelectionChange() { DoEvent(FOnSelectionChange, this); }

void TCustomRichEdit::CNNotify(TWMNotify& Message) {
  if (Message.NMHdr->code == EN_SELCHANGE) SelectionChange();
}
