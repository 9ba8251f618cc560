#pragma once
// Menu shortcuts: a key with its modifiers in one word, and its English text ("Ctrl+S",
// "Shift+Del", "F2") as menus show it and form resources store it.

#include "framework/controls/ShiftState.h"

// The virtual key in the low byte, scShift/scCtrl/scAlt above.
using TShortCut = Word;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

TShortCut ShortCut(Word Key, TShiftState Shift);
void ShortCutToKey(TShortCut ShortCut, Word& Key, TShiftState& Shift);
// "Ctrl+Shift+F5"; an empty text for no shortcut or an unknown key.
String ShortCutToText(TShortCut ShortCut);
// The inverse of ShortCutToText, ignoring case; 0 when the text names no shortcut.
TShortCut TextToShortCut(const String& Text);
