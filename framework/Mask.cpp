#include "framework/Mask.h"

#include "framework/Clipbrd.h"
#include "framework/Forms.h"
#include "framework/sysutils/FormatSettings.h"

const wchar_t* const SMaskEditErr = L"Invalid input value.  Use escape key to abandon changes";
const wchar_t* const SInvalidEditMask = L"Invalid edit mask '%s'";

PUBLISHED_DEF(TMaskEdit) {
  PROP(Alignment).Default(taLeftJustify);
  PROP(AutoSelect).Default(true);
  PROP(AutoSize).Default(true);
  PROP(BorderStyle).Default(bsSingle);
  PROP(CharCase).Default(ecNormal);
  PROP(EditMask);
  PROP(MaxLength).Default(0);
  PROP(PasswordChar).Default(0);
  PROP(ReadOnly).Default(false);
  PROP(Text);
  PROP(TextHint);
  EVENT(OnChange);
}

void RegisterMaskControls() { RegisterClasses({TMaskEdit::StaticClass()}); }

// ---- Mask routines ------------------------------------------------------------------------------

namespace {

bool IsLetter(Char C) { return IsCharAlphaW(C) != 0; }
bool IsDigit(Char C) { return C >= L'0' && C <= L'9'; }

// The picture, the save field and the blank field of a mask; the picture's escapes are kept.
struct TMaskFields {
  String Picture;
  String Save, Blank;
  bool HasSave = false, HasBlank = false;
  Integer Separator = 0;  // 1-based
};

TMaskFields SplitFields(const String& M) {
  TMaskFields F;
  size_t I = 0;
  for (; I < M.size(); ++I) {
    if (M[I] == L'\\' && I + 1 < M.size()) {
      ++I;
      continue;
    }
    if (M[I] == MaskFieldSeparator) break;
  }
  F.Picture = M.substr(0, I);
  if (I >= M.size()) return F;
  F.Separator = Integer(I) + 1;
  String Rest = M.substr(I + 1);
  size_t J = Rest.find(MaskFieldSeparator);
  F.HasSave = true;
  F.Save = Rest.substr(0, J);
  if (J != String::npos) {
    F.HasBlank = true;
    F.Blank = Rest.substr(J + 1);
  }
  return F;
}

[[noreturn]] void BadMask(const String& M) { throw EDBEditError(SInvalidEditMask, {M}); }

}  // namespace

Integer MaskGetFldSeparator(const String& EditMask) { return SplitFields(EditMask).Separator; }

bool MaskGetMaskSave(const String& EditMask) {
  TMaskFields F = SplitFields(EditMask);
  return !(F.HasSave && F.Save.size() == 1 && F.Save[0] == MaskNoSave);
}

Char MaskGetMaskBlank(const String& EditMask) {
  TMaskFields F = SplitFields(EditMask);
  return F.HasBlank && !F.Blank.empty() ? F.Blank[0] : DefaultBlank;
}

bool TMaskPlace::Required() const {
  return !Literal && (Ch == L'L' || Ch == L'A' || Ch == L'C' || Ch == L'0');
}

Char TMaskPlace::Accept(Char C) const {
  if (Literal || C < 32) return 0;
  bool Ok = false;
  switch (Ch) {
    case L'L': case L'l': Ok = IsLetter(C); break;
    case L'A': case L'a': Ok = IsLetter(C) || IsDigit(C); break;
    case L'C': case L'c': Ok = true; break;
    case L'0': case L'9': Ok = IsDigit(C); break;
    case L'#': Ok = IsDigit(C) || C == L'+' || C == L'-'; break;
  }
  if (!Ok) return 0;
  if (Case == L'>') CharUpperBuffW(&C, 1);
  else if (Case == L'<') CharLowerBuffW(&C, 1);
  return C;
}

TEditMaskInfo TEditMaskInfo::Parse(const String& EditMask) {
  TEditMaskInfo R;
  TMaskFields F = SplitFields(EditMask);
  if (F.HasSave && F.Save.size() > 1) BadMask(EditMask);
  if (F.HasBlank && F.Blank.size() > 1) BadMask(EditMask);
  R.Save = MaskGetMaskSave(EditMask);
  R.Blank = MaskGetMaskBlank(EditMask);
  Char Case = 0;
  const String& P = F.Picture;
  for (size_t I = 0; I < P.size(); ++I) {
    Char C = P[I];
    TMaskPlace Place;
    Place.Case = Case;
    switch (C) {
      case L'!': R.AlignRight = true; continue;
      case L'>': Case = L'>'; continue;
      case L'<':
        if (I + 1 < P.size() && P[I + 1] == L'>') {
          Case = 0;
          ++I;
        } else {
          Case = L'<';
        }
        continue;
      case L'\\':
        if (I + 1 >= P.size()) BadMask(EditMask);  // nothing left to take literally
        Place.Literal = true;
        Place.Ch = P[++I];
        break;
      case L'L': case L'l': case L'A': case L'a': case L'C': case L'c': case L'0': case L'9': case L'#':
        Place.Ch = C;
        break;
      case L':': Place.Literal = true; Place.Ch = FormatSettings.TimeSeparator; break;
      case L'/': Place.Literal = true; Place.Ch = FormatSettings.DateSeparator; break;
      case L'_': Place.Literal = true; Place.Ch = L' '; break;
      default: Place.Literal = true; Place.Ch = C; break;
    }
    R.Places.push_back(Place);
  }
  if (R.Places.empty() && F.Separator != 0 && !F.Picture.empty()) BadMask(EditMask);
  return R;
}

String TEditMaskInfo::Format(const String& Value, bool WithLiterals) const {
  String E(Places.size(), Blank);
  auto Put = [&](size_t I, Char C) {
    if (C == L' ' || C == Blank) return;
    if (Char A = Places[I].Accept(C)) E[I] = A;
  };
  if (WithLiterals) {
    for (size_t I = 0; I < Places.size(); ++I) {
      if (Places[I].Literal) E[I] = Places[I].Ch;
      else if (I < Value.size()) Put(I, Value[I]);
    }
    return E;
  }
  size_t Inputs = 0;
  for (const auto& P : Places) Inputs += !P.Literal;
  size_t Skip = AlignRight && Value.size() < Inputs ? Inputs - Value.size() : 0;
  size_t K = 0;
  for (size_t I = 0; I < Places.size(); ++I) {
    if (Places[I].Literal) {
      E[I] = Places[I].Ch;
      continue;
    }
    if (Skip > 0) {
      --Skip;
      continue;
    }
    if (K < Value.size()) Put(I, Value[K]);
    ++K;
  }
  return E;
}

String PadInputLiterals(const String& EditMask, const String& Value, Char Blank) {
  TEditMaskInfo M = TEditMaskInfo::Parse(EditMask);
  M.Blank = Blank;
  return M.Format(Value, true);
}

String FormatMaskText(const String& EditMask, const String& Value) {
  TEditMaskInfo M = TEditMaskInfo::Parse(EditMask);
  return M.Format(Value, M.Save);
}

// ---- TCustomMaskEdit ----------------------------------------------------------------------------

TCustomMaskEdit::TCustomMaskEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}

void TCustomMaskEdit::SetEditMask(const String& Value) {
  if (Value == FEditMask) return;
  TEditMaskInfo M = TEditMaskInfo::Parse(Value);  // raises before anything changes
  bool WasMasked = IsMasked();
  String Old = WasMasked ? GetText() : TControl::GetText();
  // The characters entered keep their order under a new mask; the old literals do not carry over.
  String Inputs;
  if (WasMasked) {
    String E = GetEditText();
    for (size_t I = 0; I < FMask.Places.size() && I < E.size(); ++I)
      if (!FMask.Places[I].Literal) Inputs += E[I] == FMask.Blank ? L' ' : E[I];
  }
  FEditMask = Value;
  FMask = std::move(M);
  if (IsMasked()) {
    SetMaxLength(Integer(FMask.Places.size()));
    if (WasMasked) StoreEditText(FMask.Format(Inputs, false), 0);
    else SetText(Old);
  } else {
    SetMaxLength(0);
    TControl::SetText(Old);
  }
  FOldValue = GetEditText();
}

String TCustomMaskEdit::GetEditText() { return TControl::GetText(); }

void TCustomMaskEdit::SetEditText(const String& Value) {
  if (!IsMasked()) {
    TControl::SetText(Value);
    return;
  }
  StoreEditText(FMask.Format(Value, true), 0);
}

String TCustomMaskEdit::GetText() {
  String E = GetEditText();
  if (!IsMasked()) return E;
  String R;
  for (size_t I = 0; I < FMask.Places.size() && I < E.size(); ++I) {
    if (FMask.Places[I].Literal) {
      if (FMask.Save) R += E[I];
    } else {
      R += E[I] == FMask.Blank ? L' ' : E[I];
    }
  }
  return R;
}

void TCustomMaskEdit::SetText(const String& Value) {
  if (!IsMasked()) {
    TControl::SetText(Value);
  } else {
    StoreEditText(FMask.Format(Value, FMask.Save), 0);
  }
  FOldValue = GetEditText();
}

void TCustomMaskEdit::StoreEditText(const String& S, Integer Caret) {
  TControl::SetText(S);
  SetSelStart(Caret);
}

void TCustomMaskEdit::Reset() {
  if (!IsMasked()) return;
  StoreEditText(FOldValue, 0);
  SetModified(false);
  SetCursor(0);
}

Integer TCustomMaskEdit::NextInput(Integer Pos) const {
  Integer N = Integer(FMask.Places.size());
  for (Integer I = std::max(Pos, 0); I < N; ++I)
    if (!FMask.Places[I].Literal) return I;
  return N;
}

Integer TCustomMaskEdit::PrevInput(Integer Pos) const {
  for (Integer I = std::min(Pos, Integer(FMask.Places.size())) - 1; I >= 0; --I)
    if (!FMask.Places[I].Literal) return I;
  return -1;
}

void TCustomMaskEdit::SetCursor(Integer Pos) {
  if (!IsMasked()) return;
  Integer P = NextInput(Pos);
  // Past the last input place the caret stays behind it rather than after trailing literals.
  if (P >= Integer(FMask.Places.size())) P = PrevInput(P) + 1;
  SetSelStart(std::max(P, 0));
}

void TCustomMaskEdit::CheckCursor() {
  if (IsMasked() && GetSelLength() == 0) SetCursor(GetSelStart());
}

void TCustomMaskEdit::ClearRange(Integer From, Integer To) {
  String E = GetEditText();
  for (Integer I = std::max(From, 0); I < To && I < Integer(E.size()); ++I)
    if (!FMask.Places[I].Literal) E[I] = FMask.Blank;
  StoreEditText(E, From);
  SetModified(true);
}

bool TCustomMaskEdit::TypeChar(Char C) {
  Integer P = NextInput(GetSelStart());
  Integer N = Integer(FMask.Places.size());
  if (P >= N) return false;
  // A literal typed where the caret stands before it just steps over it.
  Integer S = GetSelStart();
  if (S < P && FMask.Places[S].Literal && FMask.Places[S].Ch == C) {
    SetSelStart(P);
    return true;
  }
  Char A = FMask.Places[P].Accept(C);
  if (!A) return false;
  String E = GetEditText();
  if (Integer(E.size()) != N) E = FMask.Format(E, true);
  E[P] = A;
  StoreEditText(E, NextInput(P + 1) < N ? NextInput(P + 1) : PrevInput(N) + 1);
  SetModified(true);
  return true;
}

void TCustomMaskEdit::KeyPress(Char& Key) {
  inherited::KeyPress(Key);
  if (!IsMasked() || Key == 0) return;
  switch (Key) {
    case VK_RETURN:
    case VK_ESCAPE:
    case 3:  // Ctrl+C: the window copies
      return;
    case 22:  // Ctrl+V
      Perform(WM_PASTE);
      Key = 0;
      return;
    case 24:  // Ctrl+X
      Perform(WM_CUT);
      Key = 0;
      return;
  }
  Char K = Key;
  Key = 0;
  if (!EditCanModify()) {
    MessageBeep(0);
    return;
  }
  Integer S = GetSelStart(), L = GetSelLength();
  if (K == VK_BACK) {
    if (L > 0) {
      ClearRange(S, S + L);
    } else if (Integer P = PrevInput(S); P >= 0) {
      ClearRange(P, P + 1);
    }
    return;
  }
  if (K < 32) return;
  if (L > 0) ClearRange(S, S + L);
  if (!TypeChar(K)) MessageBeep(0);
}

void TCustomMaskEdit::KeyDown(Word& Key, TShiftState Shift) {
  inherited::KeyDown(Key, Shift);
  if (!IsMasked() || Key == 0) return;
  Integer S = GetSelStart(), L = GetSelLength();
  Integer N = Integer(FMask.Places.size());
  bool Plain = !Shift.Contains(ssShift) && !Shift.Contains(ssCtrl) && !Shift.Contains(ssAlt);
  switch (Key) {
    case VK_ESCAPE:
      if (GetEditText() != FOldValue) {
        Reset();
        Key = 0;
      }
      break;
    case VK_DELETE:
      Key = 0;
      if (!EditCanModify()) break;
      if (Shift.Contains(ssShift)) Perform(WM_CUT);
      else if (L > 0) ClearRange(S, S + L);
      else if (S < N) ClearRange(S, S + 1);
      break;
    case VK_RIGHT:
      if (!Plain) break;
      Key = 0;
      SetCursor(L > 0 ? S + L : NextInput(S) + 1);
      break;
    case VK_LEFT:
      if (!Plain) break;
      Key = 0;
      if (L > 0) SetCursor(S);
      else SetSelStart(std::max(PrevInput(S), NextInput(0)));
      break;
    case VK_HOME:
      if (!Plain) break;
      Key = 0;
      SetCursor(0);
      break;
    case VK_END:
      if (!Plain) break;
      Key = 0;
      SetCursor(N);
      break;
  }
}

void TCustomMaskEdit::ValidateEdit() {
  if (!IsMasked()) return;
  String E = GetEditText();
  if (Integer(E.size()) != Integer(FMask.Places.size())) E = FMask.Format(E, true);
  bool AnyEntered = false;
  for (size_t I = 0; I < FMask.Places.size(); ++I)
    if (!FMask.Places[I].Literal && E[I] != FMask.Blank && E[I] != L' ') AnyEntered = true;
  if (!AnyEntered) return;
  for (size_t I = 0; I < FMask.Places.size(); ++I) {
    const TMaskPlace& P = FMask.Places[I];
    if (P.Literal) continue;
    bool Empty = E[I] == FMask.Blank || E[I] == L' ';
    if ((Empty && P.Required()) || (!Empty && !P.Accept(E[I]))) {
      SetSelStart(Integer(I));
      throw EDBEditError(SMaskEditErr);
    }
  }
}

void TCustomMaskEdit::CMEnter(TCMEnter& Message) {
  // Coming back after a failed validation, the text to return to is still the one from before.
  if (!FRefocusing) FOldValue = GetEditText();
  FRefocusing = false;
  inherited::Dispatch(&Message);
  if (IsMasked() && !GetAutoSelect()) CheckCursor();
}

void TCustomMaskEdit::CMExit(TCMExit& Message) {
  if (IsMasked() && !GetComponentState().Contains(csDesigning)) {
    try {
      ValidateEdit();
    } catch (...) {
      // Nothing typed is lost: the edit keeps its text and the focus, the caret on the fault.
      Integer Caret = GetSelStart();
      FRefocusing = true;
      SetFocus();
      SetSelStart(Caret);
      throw;
    }
  }
  inherited::Dispatch(&Message);
}

void TCustomMaskEdit::WMPaste(TMessage& Message) {
  if (!IsMasked()) {
    inherited::Dispatch(&Message);
    return;
  }
  if (!EditCanModify()) return;
  String T = Clipboard()->GetAsText();
  Integer S = GetSelStart(), L = GetSelLength();
  if (L > 0) ClearRange(S, S + L);
  for (Char C : T)
    if (C >= 32 && !TypeChar(C)) break;
}

void TCustomMaskEdit::WMCut(TMessage& Message) {
  if (!IsMasked()) {
    inherited::Dispatch(&Message);
    return;
  }
  Perform(WM_COPY);
  if (!EditCanModify()) return;
  Integer S = GetSelStart(), L = GetSelLength();
  if (L > 0) ClearRange(S, S + L);
}

void TCustomMaskEdit::WMClear(TMessage& Message) {
  if (!IsMasked()) {
    inherited::Dispatch(&Message);
    return;
  }
  if (!EditCanModify()) return;
  Integer S = GetSelStart(), L = GetSelLength();
  if (L > 0) ClearRange(S, S + L);
}

void TCustomMaskEdit::WMLButtonUp(TWMMouse& Message) {
  inherited::Dispatch(&Message);
  CheckCursor();
}
