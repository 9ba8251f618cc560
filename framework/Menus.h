#pragma once
// Menus: for now the keyboard shortcut helpers and the popup menu type that controls refer to.

#include "framework/classes/Component.h"
#include "framework/controls/ShiftState.h"

// A key with its modifiers in one word: the virtual key in the low byte, scShift/scCtrl/scAlt above.
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

class TMenu : public TComponent {
  DECLARE_CLASS(TMenu, TComponent)
 public:
  using TComponent::TComponent;
};

class TPopupMenu : public TMenu {
  DECLARE_CLASS(TPopupMenu, TMenu)
 public:
  using TMenu::TMenu;
  bool GetAutoPopup() const { return FAutoPopup; }
  void SetAutoPopup(bool Value) { FAutoPopup = Value; }
  TComponent* GetPopupComponent() const { return FPopupComponent; }
  void SetPopupComponent(TComponent* Value) { FPopupComponent = Value; }
  virtual void Popup(Integer X, Integer Y) { (void)X, (void)Y; }

 private:
  bool FAutoPopup = true;
  TComponent* FPopupComponent = nullptr;
};
