#pragma once
// TStyleManager: selects the active visual style (the system's, or a custom one stored in the
// program's resources) and keeps the registry of style hooks by control class.

#include <vector>

#include "framework/themes/StyleServices.h"

class TStyleHook;
class TWinControl;
using TStyleHookClass = TClassRef<TStyleHook>;

// The style-hook registry: which hook paints the controls of a class (and of its descendants
// that have no hook of their own) while a custom style is active.
class TStyleEngine {
 public:
  void RegisterStyleHook(TClass ControlClass, TStyleHookClass HookClass);
  void UnRegisterStyleHook(TClass ControlClass, TStyleHookClass HookClass);
  // The hook class for ControlClass or its nearest registered ancestor; null when none.
  TStyleHookClass FindStyleHook(TClass ControlClass) const;

 private:
  std::vector<std::pair<TClass, TStyleHookClass>> FHooks;
};

class TStyleManager {
 public:
  static constexpr const wchar_t* SystemStyleName = L"Windows";
  // A resource of this type holds one style in the text form of docs/framework-styles.md.
  static constexpr const wchar_t* StyleResourceType = L"QALSTYLE";

  static TCustomStyleServices* ActiveStyle();
  static bool IsCustomStyleActive();
  // Selects the style named Name: the system style, or one of the program's style resources.
  // Raises EStyleEngineException when there is no such style or it cannot be read.
  static void SetStyle(const String& Name);
  // SetStyle that answers false instead of raising; the error is shown first when asked.
  static bool TrySetStyle(const String& Name, bool ShowErrorDialog = true);
  // The system style's name followed by the names of the program's style resources.
  static std::vector<String> StyleNames();

  static TStyleEngine* Engine();
  static void RegisterStyleHook(TClass ControlClass, TStyleHookClass HookClass) {
    Engine()->RegisterStyleHook(ControlClass, HookClass);
  }
  static void UnRegisterStyleHook(TClass ControlClass, TStyleHookClass HookClass) {
    Engine()->UnRegisterStyleHook(ControlClass, HookClass);
  }
  // Changes each time the style or the registry changes: controls drop hooks made before.
  static Cardinal Generation();

  // How the style error reaches the user: a message box unless replaced (tests replace it).
  using TErrorDisplay = Closure<void(const String& Message)>;
  static void SetErrorDisplay(const TErrorDisplay& Display);
};
