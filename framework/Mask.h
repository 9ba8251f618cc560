#pragma once
// Mask: the masked edit and the edit-mask routines.
//
// An edit mask is "picture[;save[;blank]]". The picture's characters:
//   L letter, l optional letter; A letter or digit, a optional; C any character, c optional;
//   0 digit, 9 optional digit; # optional digit or sign;
//   > upper case from here, < lower case, <> no case change; ! optional places fill from the left
//   (the value is aligned right); \ takes the next character literally; : and / are the locale's
//   time and date separators; _ is a literal blank; anything else is a literal.
// save "0" leaves the literals out of Text (any other value, or none, keeps them); blank is the
// character shown in empty places ("_" by default).

#include <vector>

#include "framework/StdCtrls.h"

constexpr Char DefaultBlank = L'_';
constexpr Char MaskFieldSeparator = L';';
constexpr Char MaskNoSave = L'0';

// The mask validation error of ValidateEdit.
DECLARE_EXCEPTION(EDBEditError, Exception)
extern const wchar_t* const SMaskEditErr;  // "Invalid input value.  Use escape key to abandon changes"
extern const wchar_t* const SInvalidEditMask;  // "Invalid edit mask '%s'"

// The 1-based position of the ';' that ends the picture, 0 when the mask has no fields.
Integer MaskGetFldSeparator(const String& EditMask);
// False when the mask's save field is "0".
bool MaskGetMaskSave(const String& EditMask);
// The mask's blank character.
Char MaskGetMaskBlank(const String& EditMask);
// Value, which holds the literals already, placed over the picture: missing places show Blank.
String PadInputLiterals(const String& EditMask, const String& Value, Char Blank);
// Value as the masked edit shows it: with a save mask the value holds its literals
// (PadInputLiterals); otherwise its characters fill the input places in order. Empty places
// show the mask's blank character.
String FormatMaskText(const String& EditMask, const String& Value);

// One place of a parsed picture.
struct TMaskPlace {
  bool Literal = false;
  Char Ch = 0;     // the literal, or the mask character of an input place
  Char Case = 0;   // '>' upper, '<' lower, 0 as typed
  bool Required() const;
  // Ch converted to the place's case, or 0 when it is not accepted here.
  Char Accept(Char C) const;
};

// A parsed edit mask; raises EDBEditError (SInvalidEditMask) for a malformed one.
struct TEditMaskInfo {
  std::vector<TMaskPlace> Places;
  bool Save = true;
  Char Blank = DefaultBlank;
  bool AlignRight = false;  // "!"
  static TEditMaskInfo Parse(const String& EditMask);
  // The edit text (literals, blanks) for Value; WithLiterals tells whether Value holds them.
  String Format(const String& Value, bool WithLiterals) const;
};

class TCustomMaskEdit : public TCustomEdit {
  DECLARE_CLASS(TCustomMaskEdit, TCustomEdit)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CM_EXIT, TCMExit, CMExit)
    MESSAGE_HANDLER(CM_ENTER, TCMEnter, CMEnter)
    MESSAGE_HANDLER(WM_PASTE, TMessage, WMPaste)
    MESSAGE_HANDLER(WM_CUT, TMessage, WMCut)
    MESSAGE_HANDLER(WM_CLEAR, TMessage, WMClear)
    MESSAGE_HANDLER(WM_LBUTTONUP, TWMMouse, WMLButtonUp)
  END_MESSAGE_MAP

 public:
  explicit TCustomMaskEdit(TComponent* AOwner);

  String GetEditMask() const { return FEditMask; }
  void SetEditMask(const String& Value);
  bool IsMasked() const { return !FMask.Places.empty(); }
  // The text as shown: literals and blank characters in empty places.
  String GetEditText();
  void SetEditText(const String& Value);
  // Without literals when the mask says so; empty places as spaces.
  String GetText();
  void SetText(const String& Value);
  // Empties every input place (the edit then shows the blank picture).
  void Clear() { SetText(L""); }
  // Raises EDBEditError with the caret on the first required place left empty. A text whose
  // places are all empty is accepted (nothing was entered).
  virtual void ValidateEdit();
  // Back to the text the edit held when it was entered or last set.
  void Reset();
  virtual bool EditCanModify() { return !GetReadOnly(); }

 protected:
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(Char& Key) override;
  // Puts the caret on an input place at or after Pos (or at the end).
  void SetCursor(Integer Pos);
  void CheckCursor();
  void CMExit(TCMExit& Message);
  void CMEnter(TCMEnter& Message);
  void WMPaste(TMessage& Message);
  void WMCut(TMessage& Message);
  void WMClear(TMessage& Message);
  void WMLButtonUp(TWMMouse& Message);

 private:
  Integer NextInput(Integer Pos) const;  // first input place >= Pos, or the length
  Integer PrevInput(Integer Pos) const;  // last input place < Pos, or -1
  void ClearRange(Integer From, Integer To);
  bool TypeChar(Char C);
  void StoreEditText(const String& S, Integer Caret);
  String FEditMask;
  TEditMaskInfo FMask;
  String FOldValue;
  bool FRefocusing = false;
};

class TMaskEdit : public TCustomMaskEdit {
  DECLARE_CLASS(TMaskEdit, TCustomMaskEdit)
 public:
  using TCustomMaskEdit::TCustomMaskEdit;
  PUBLISHED_DECL(TMaskEdit);
};

void RegisterMaskControls();
