#include "framework/themes/StyleManager.h"

#include <algorithm>

#include "framework/Controls.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "framework/themes/CommonStyleHooks.h"

namespace {
// Never freed: a control freed late may still ask for the style. Made on first use, so that
// code running before this file's statics are set finds the style too.
TCustomStyleServices* SystemStyleInstance() {
  static TCustomStyleServices* S = new TCustomStyleServices();
  return S;
}
TCustomStyleServices*& ActiveStyleRef() {
  static TCustomStyleServices* A = SystemStyleInstance();
  return A;
}
Cardinal StyleGeneration = 1;  // constant-initialised
TStyleManager::TErrorDisplay ErrorDisplay;

struct TStyleResource {
  String ResourceName;
  String Text;
};

String ResourceText(HMODULE Module, const wchar_t* ResName) {
  HRSRC Info = FindResourceW(Module, ResName, TStyleManager::StyleResourceType);
  HGLOBAL Data = Info ? LoadResource(Module, Info) : nullptr;
  const char* Bytes = Data ? static_cast<const char*>(LockResource(Data)) : nullptr;
  if (!Bytes) return String();
  Integer Size = Integer(SizeofResource(Module, Info));
  Integer Len = MultiByteToWideChar(CP_UTF8, 0, Bytes, Size, nullptr, 0);
  String Text(size_t(std::max<Integer>(Len, 0)), L'\0');
  if (Len > 0) MultiByteToWideChar(CP_UTF8, 0, Bytes, Size, Text.data(), Len);
  return Text;
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR Name, LONG_PTR Param) {
  auto* Names = reinterpret_cast<std::vector<String>*>(Param);
  if (IS_INTRESOURCE(Name)) Names->push_back(L"#" + IntToStr(Integer(reinterpret_cast<UINT_PTR>(Name))));
  else Names->push_back(Name);
  return TRUE;
}

// The program's style resources, each with its text.
std::vector<TStyleResource> StyleResources() {
  HMODULE Module = HMODULE(MainInstance());
  std::vector<String> Names;
  EnumResourceNamesW(Module, TStyleManager::StyleResourceType, CollectName, LONG_PTR(&Names));
  std::vector<TStyleResource> Result;
  for (const String& N : Names) {
    const wchar_t* Id = N[0] == L'#' ? MAKEINTRESOURCEW(StrToInt(N.substr(1))) : N.c_str();
    Result.push_back({N, ResourceText(Module, Id)});
  }
  return Result;
}

// A style's data, or null when its text is not a valid style.
std::unique_ptr<TStyleData> TryParseStyle(const String& Text) {
  try {
    return TStyleData::Parse(Text);
  } catch (const EStyleEngineException&) {
    return nullptr;
  }
}

// Every control of a window tree hears that the style changed.
void NotifyStyleChanged(TControl* Control) {
  Control->Perform(CM_STYLECHANGED);
  if (auto* W = dynamic_cast<TWinControl*>(Control)) {
    std::vector<TControl*> Children;
    for (Integer I = 0; I < W->GetControlCount(); ++I) Children.push_back(W->GetControl(I));
    for (TControl* C : Children) NotifyStyleChanged(C);
  }
}

BOOL CALLBACK RepaintWindow(HWND Wnd, LPARAM) {
  if (TWinControl* C = FindControl(Wnd)) {
    NotifyStyleChanged(C);
    RedrawWindow(Wnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
  }
  return TRUE;
}

void Activate(TCustomStyleServices* Style) {
  TCustomStyleServices* Old = ActiveStyleRef();
  ActiveStyleRef() = Style;
  ++StyleGeneration;
  if (Old != SystemStyleInstance()) delete Old;
  // Back to the system style: the theme may have changed while the custom style was shown.
  if (Style == SystemStyleInstance()) Style->UpdateThemes();
  RestyleMenus();
  EnumThreadWindows(GetCurrentThreadId(), RepaintWindow, 0);
}
}  // namespace

// ---- TStyleEngine -----------------------------------------------------------------------------

void TStyleEngine::RegisterStyleHook(TClass ControlClass, TStyleHookClass HookClass) {
  UnRegisterStyleHook(ControlClass, nullptr);
  FHooks.emplace_back(ControlClass, HookClass);
  ++StyleGeneration;
}

void TStyleEngine::UnRegisterStyleHook(TClass ControlClass, TStyleHookClass HookClass) {
  auto It = std::remove_if(FHooks.begin(), FHooks.end(), [&](const auto& H) {
    return H.first == ControlClass && (!HookClass || TClass(H.second) == TClass(HookClass));
  });
  if (It == FHooks.end()) return;
  FHooks.erase(It, FHooks.end());
  ++StyleGeneration;
}

TStyleHookClass TStyleEngine::FindStyleHook(TClass ControlClass) const {
  for (TClass C = ControlClass; C; C = C->ClassParent())
    for (const auto& H : FHooks)
      if (H.first == C) return H.second;
  return nullptr;
}

// ---- TStyleManager ----------------------------------------------------------------------------

TCustomStyleServices* TStyleManager::ActiveStyle() { return ActiveStyleRef(); }

bool TStyleManager::IsCustomStyleActive() { return !ActiveStyleRef()->IsSystemStyle(); }

Cardinal TStyleManager::Generation() { return StyleGeneration; }

TStyleEngine* TStyleManager::Engine() {
  static TStyleEngine* E = [] {
    auto* Engine = new TStyleEngine();  // never freed, like the style
    RegisterStandardStyleHooks(Engine);
    return Engine;
  }();
  return E;
}

std::vector<String> TStyleManager::StyleNames() {
  std::vector<String> Names{SystemStyleName};
  for (const TStyleResource& R : StyleResources())
    if (auto Data = TryParseStyle(R.Text)) Names.push_back(Data->Name);
  return Names;
}

void TStyleManager::SetStyle(const String& Name) {
  if (SameText(Name, SystemStyleName)) {
    if (ActiveStyleRef() != SystemStyleInstance()) Activate(SystemStyleInstance());
    return;
  }
  if (!ActiveStyleRef()->IsSystemStyle() && SameText(ActiveStyleRef()->Name(), Name)) return;
  for (const TStyleResource& R : StyleResources()) {
    // Parsed once: the data that gave the name is the data activated.
    auto Data = TryParseStyle(R.Text);
    if (!(Data && SameText(Data->Name, Name)) && !SameText(R.ResourceName, Name)) continue;
    Engine();  // the standard hooks are in place before the first control asks
    // A resource named by its resource name that is no valid style raises its fault here.
    Activate(new TCustomStyle(Data ? std::move(Data) : TStyleData::Parse(R.Text)));
    return;
  }
  throw EStyleEngineException(Format(L"The visual style \"%s\" is not among the program's styles.", {Name}));
}

bool TStyleManager::TrySetStyle(const String& Name, bool ShowErrorDialog) {
  try {
    SetStyle(Name);
    return true;
  } catch (const EStyleEngineException& E) {
    if (ShowErrorDialog) {
      if (ErrorDisplay) ErrorDisplay(E.Message());
      else MessageDlg(E.Message(), mtError, {mbOK});
    }
    return false;
  }
}

void TStyleManager::SetErrorDisplay(const TErrorDisplay& Display) { ErrorDisplay = Display; }
