#include "framework/themes/ThemeTypes.h"

#include <array>
#include <iterator>

#include "framework/SysUtils.h"

namespace {
struct TElementEntry {
  const wchar_t* Name;
  TThemedElement Element;
  Integer Part;
  Integer State;
};

#define FW_ENTRY(Name, Part, State) {L## #Name, ELEMENT, Part, State},
// Every family's values in enumeration order, so a value indexes its own family's run.
const TElementEntry Entries[] = {
#define ELEMENT teButton
    FW_THEMED_BUTTON(FW_ENTRY)
#undef ELEMENT
#define ELEMENT teComboBox
    FW_THEMED_COMBOBOX(FW_ENTRY)
#undef ELEMENT
#define ELEMENT teEdit
    FW_THEMED_EDIT(FW_ENTRY)
#undef ELEMENT
#define ELEMENT teHeader
    FW_THEMED_HEADER(FW_ENTRY)
#undef ELEMENT
#define ELEMENT teListView
    FW_THEMED_LISTVIEW(FW_ENTRY)
#undef ELEMENT
#define ELEMENT teMenu
    FW_THEMED_MENU(FW_ENTRY)
#undef ELEMENT
#define ELEMENT teProgress
    FW_THEMED_PROGRESS(FW_ENTRY)
#undef ELEMENT
#define ELEMENT teScrollBar
    FW_THEMED_SCROLLBAR(FW_ENTRY)
#undef ELEMENT
#define ELEMENT teSpin
    FW_THEMED_SPIN(FW_ENTRY)
#undef ELEMENT
#define ELEMENT teStatus
    FW_THEMED_STATUS(FW_ENTRY)
#undef ELEMENT
#define ELEMENT teToolBar
    FW_THEMED_TOOLBAR(FW_ENTRY)
#undef ELEMENT
#define ELEMENT teToolTip
    FW_THEMED_TOOLTIP(FW_ENTRY)
#undef ELEMENT
#define ELEMENT teTreeview
    FW_THEMED_TREEVIEW(FW_ENTRY)
#undef ELEMENT
#define ELEMENT teWindow
    FW_THEMED_WINDOW(FW_ENTRY)
#undef ELEMENT
#define ELEMENT teMonthCal
    FW_THEMED_MONTHCAL(FW_ENTRY)
#undef ELEMENT
#define ELEMENT teGrid
    FW_THEMED_GRID(FW_ENTRY)
#undef ELEMENT
#define ELEMENT tePanel
    FW_THEMED_PANEL(FW_ENTRY)
#undef ELEMENT
#define ELEMENT teHint
    FW_THEMED_HINT(FW_ENTRY)
#undef ELEMENT
};
#undef FW_ENTRY

// Where each family's run starts in Entries.
Integer FamilyStart(TThemedElement Element) {
  static const auto Starts = [] {
    std::array<Integer, ThemedElementCount> S{};
    S.fill(-1);
    for (Integer I = Integer(std::size(Entries)) - 1; I >= 0; --I) S[Entries[I].Element] = I;
    return S;
  }();
  return Starts[Element];
}

TThemedElementDetails Make(TThemedElement Element, Integer Value) {
  const TElementEntry& E = Entries[FamilyStart(Element) + Value];
  return {E.Element, E.Part, E.State};
}

struct TColorEntry {
  const wchar_t* Name;
  TColor SystemColor;
};
#define FW_COLOR_ENTRY(Name, SystemColor) {L## #Name, SystemColor},
const TColorEntry StyleColorEntries[] = {FW_STYLE_COLORS(FW_COLOR_ENTRY)};
const TColorEntry StyleFontEntries[] = {FW_STYLE_FONTS(FW_COLOR_ENTRY)};
#undef FW_COLOR_ENTRY
static_assert(std::size(StyleColorEntries) == StyleColorCount);
static_assert(std::size(StyleFontEntries) == StyleFontCount);

// SameText against a table's name, without making a String of every name tried: a style's text
// looks up hundreds of names among as many entries.
bool SameName(const String& Name, const wchar_t* Entry) {
  size_t I = 0;
  for (; I < Name.size() && Entry[I]; ++I) {
    wchar_t A = Name[I], B = Entry[I];
    if (A >= L'a' && A <= L'z') A = wchar_t(A - 32);
    if (B >= L'a' && B <= L'z') B = wchar_t(B - 32);
    if (A != B) return false;
  }
  return I == Name.size() && !Entry[I];
}
}  // namespace

TThemedElementDetails ElementDetailsOf(TThemedButton E) { return Make(teButton, E); }
TThemedElementDetails ElementDetailsOf(TThemedComboBox E) { return Make(teComboBox, E); }
TThemedElementDetails ElementDetailsOf(TThemedEdit E) { return Make(teEdit, E); }
TThemedElementDetails ElementDetailsOf(TThemedHeader E) { return Make(teHeader, E); }
TThemedElementDetails ElementDetailsOf(TThemedListView E) { return Make(teListView, E); }
TThemedElementDetails ElementDetailsOf(TThemedMenu E) { return Make(teMenu, E); }
TThemedElementDetails ElementDetailsOf(TThemedProgress E) { return Make(teProgress, E); }
TThemedElementDetails ElementDetailsOf(TThemedScrollBar E) { return Make(teScrollBar, E); }
TThemedElementDetails ElementDetailsOf(TThemedSpin E) { return Make(teSpin, E); }
TThemedElementDetails ElementDetailsOf(TThemedStatus E) { return Make(teStatus, E); }
TThemedElementDetails ElementDetailsOf(TThemedToolBar E) { return Make(teToolBar, E); }
TThemedElementDetails ElementDetailsOf(TThemedToolTip E) { return Make(teToolTip, E); }
TThemedElementDetails ElementDetailsOf(TThemedTreeview E) { return Make(teTreeview, E); }
TThemedElementDetails ElementDetailsOf(TThemedWindow E) { return Make(teWindow, E); }
TThemedElementDetails ElementDetailsOf(TThemedMonthCal E) { return Make(teMonthCal, E); }
TThemedElementDetails ElementDetailsOf(TThemedGrid E) { return Make(teGrid, E); }
TThemedElementDetails ElementDetailsOf(TThemedPanel E) { return Make(tePanel, E); }
TThemedElementDetails ElementDetailsOf(TThemedHint E) { return Make(teHint, E); }

bool FindElementDetails(const String& Name, TThemedElementDetails& Details) {
  for (const TElementEntry& E : Entries)
    if (SameName(Name, E.Name)) {
      Details = {E.Element, E.Part, E.State};
      return true;
    }
  return false;
}

String ElementDetailsName(const TThemedElementDetails& Details) {
  for (const TElementEntry& E : Entries)
    if (E.Element == Details.Element && E.Part == Details.Part && E.State == Details.State) return E.Name;
  return String();
}

bool FindStyleColor(const String& Name, TStyleColor& Value) {
  for (Integer I = 0; I < StyleColorCount; ++I)
    if (SameName(Name, StyleColorEntries[I].Name)) {
      Value = TStyleColor(I);
      return true;
    }
  return false;
}

bool FindStyleFont(const String& Name, TStyleFont& Value) {
  for (Integer I = 0; I < StyleFontCount; ++I)
    if (SameName(Name, StyleFontEntries[I].Name)) {
      Value = TStyleFont(I);
      return true;
    }
  return false;
}

String StyleColorName(TStyleColor Value) { return StyleColorEntries[Value].Name; }
String StyleFontName(TStyleFont Value) { return StyleFontEntries[Value].Name; }
TColor SystemStyleColor(TStyleColor Value) { return StyleColorEntries[Value].SystemColor; }
TColor SystemStyleFontColor(TStyleFont Value) { return StyleFontEntries[Value].SystemColor; }
