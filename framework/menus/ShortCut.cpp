#include "framework/menus/ShortCut.h"

#include "framework/WinApi.h"

namespace {

struct TKeyName {
  Word Key;
  const wchar_t* Name;
};
const TKeyName KeyNames[] = {
    {VK_BACK, L"BkSp"}, {VK_TAB, L"Tab"},    {VK_RETURN, L"Enter"}, {VK_ESCAPE, L"Esc"},  {VK_SPACE, L"Space"},
    {VK_PRIOR, L"PgUp"}, {VK_NEXT, L"PgDn"}, {VK_END, L"End"},      {VK_HOME, L"Home"},   {VK_LEFT, L"Left"},
    {VK_UP, L"Up"},     {VK_RIGHT, L"Right"}, {VK_DOWN, L"Down"},   {VK_INSERT, L"Ins"},  {VK_DELETE, L"Del"},
};

// The framework's own English names: the same on every keyboard and in every language.
String FixedKeyName(Word Key) {
  for (const auto& K : KeyNames)
    if (K.Key == Key) return K.Name;
  if ((Key >= '0' && Key <= '9') || (Key >= 'A' && Key <= 'Z')) return String(1, wchar_t(Key));
  if (Key >= VK_F1 && Key <= VK_F24) return L"F" + std::to_wstring(Key - VK_F1 + 1);
  if (Key >= VK_NUMPAD0 && Key <= VK_NUMPAD9) return L"Num " + std::to_wstring(Key - VK_NUMPAD0);
  return String();
}

bool IsModifierKey(Word Key) {
  switch (Key) {
    case VK_SHIFT: case VK_CONTROL: case VK_MENU: case VK_LSHIFT: case VK_RSHIFT: case VK_LCONTROL:
    case VK_RCONTROL: case VK_LMENU: case VK_RMENU: case VK_LWIN: case VK_RWIN:
      return true;
  }
  return false;
}

// Other keys by the keyboard's own name for them; none for the modifiers, which are no shortcut.
String SystemKeyName(Word Key) {
  if (IsModifierKey(Key)) return String();
  UINT Scan = MapVirtualKeyW(Key, MAPVK_VK_TO_VSC);
  if (Scan == 0) return String();
  wchar_t Buf[64] = {};
  if (GetKeyNameTextW(LONG(Scan << 16), Buf, 64) <= 0) return String();
  return Buf;
}

String KeyName(Word Key) {
  String Name = FixedKeyName(Key);
  return Name.empty() ? SystemKeyName(Key) : Name;
}

bool StartsWithIgnoringCase(const String& S, size_t At, const String& Prefix) {
  if (S.size() - At < Prefix.size()) return false;
  return CompareStringOrdinal(S.c_str() + At, Integer(Prefix.size()), Prefix.c_str(), Integer(Prefix.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

TShortCut ShortCut(Word Key, TShiftState Shift) {
  if (Key & 0xFF00) return scNone;
  TShortCut R = Key;
  if (Shift.Contains(ssShift)) R |= scShift;
  if (Shift.Contains(ssCtrl)) R |= scCtrl;
  if (Shift.Contains(ssAlt)) R |= scAlt;
  return R;
}

void ShortCutToKey(TShortCut ShortCut, Word& Key, TShiftState& Shift) {
  Key = ShortCut & 0xFF;
  Shift = TShiftState();
  if (ShortCut & scShift) Shift << ssShift;
  if (ShortCut & scCtrl) Shift << ssCtrl;
  if (ShortCut & scAlt) Shift << ssAlt;
}

String ShortCutToText(TShortCut ShortCut) {
  String Name = KeyName(ShortCut & 0xFF);
  if (Name.empty()) return String();
  String R;
  if (ShortCut & scShift) R += L"Shift+";
  if (ShortCut & scCtrl) R += L"Ctrl+";
  if (ShortCut & scAlt) R += L"Alt+";
  return R + Name;
}

TShortCut TextToShortCut(const String& Text) {
  TShortCut Shift = 0;
  size_t At = 0;
  for (;;) {
    if (StartsWithIgnoringCase(Text, At, L"Shift+")) { Shift |= scShift; At += 6; }
    else if (StartsWithIgnoringCase(Text, At, L"Ctrl+")) { Shift |= scCtrl; At += 5; }
    else if (StartsWithIgnoringCase(Text, At, L"Alt+")) { Shift |= scAlt; At += 4; }
    else break;
  }
  String Rest = Text.substr(At);
  if (Rest.empty()) return scNone;
  // The framework's names first: a keyboard may call another key by one of them ("Num 5").
  for (auto* Name : {&FixedKeyName, &SystemKeyName})
    for (Word Key = 0x08; Key <= 0xFF; ++Key) {
      String N = (*Name)(Key);
      if (!N.empty() && N.size() == Rest.size() && StartsWithIgnoringCase(Rest, 0, N)) return TShortCut(Key | Shift);
    }
  return scNone;
}
