#pragma once
// Style hooks for the common controls: the progress bar (bar and chunk, the marquee's block
// moved by the hook itself), the status bar (panels, their texts and the size grip) and the tool
// bar (surface and buttons). The rich
// edit takes the style's colours itself and keeps the memo's hook for its frame; menus are drawn
// by their items while a custom style is active (RestyleMenus builds them again on a change).

#include "framework/themes/StyleHooks.h"

class TProgressBarStyleHook : public TStyleHook {
  DECLARE_CLASS(TProgressBarStyleHook, TStyleHook)
 public:
  using TStyleHook::TStyleHook;

 protected:
  bool WndProc(TMessage& Message) override;
  void Paint(HDC DC) override;

 private:
  Integer FMarqueePos = 0;  // where the marquee's block ends, in pixels from the bar's start
};

class TStatusBarStyleHook : public TStyleHook {
  DECLARE_CLASS(TStatusBarStyleHook, TStyleHook)
 public:
  using TStyleHook::TStyleHook;

 protected:
  bool WndProc(TMessage& Message) override;
  void Paint(HDC DC) override;
};

// The tool bar: the system draws the buttons' pictures and captions; the hook gives it the
// style's surface, each button's element (ttbButton...) and text colour through custom draw.
class TToolBarStyleHook : public TStyleHook {
  DECLARE_CLASS(TToolBarStyleHook, TStyleHook)
 public:
  using TStyleHook::TStyleHook;

 protected:
  bool WndProc(TMessage& Message) override;
};

// Registered by RegisterStandardStyleHooks.
void RegisterCommonControlStyleHooks(TStyleEngine* Engine);

// Builds every menu again (the main menus of the forms and the popup menus), so that its items
// are drawn by the style, or by the system again, after the style changed.
void RestyleMenus();
