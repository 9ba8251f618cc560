#pragma once
// The vocabulary of the style services: themed elements and their details, the style's colour
// and font-colour names, element colours, sizes and edges.
//
// Each element family is one list below: the value's name, its part and its state. The part and
// state numbers are the system theme's own where the system has the class (BUTTON, SCROLLBAR...),
// so the system style hands them to the theme API unchanged; the grid, panel and hint families
// exist only in custom styles. The names are also the keys of a style file's [Elements] section.

#include "framework/System.h"
#include "framework/graphics/Colors.h"

enum TThemedElement {
  teButton, teComboBox, teEdit, teHeader, teListView, teMenu, teProgress, teScrollBar, teSpin, teStatus,
  teToolBar, teToolTip, teTreeview, teWindow, teMonthCal, teGrid, tePanel, teHint
};
constexpr Integer ThemedElementCount = Integer(teHint) + 1;

struct TThemedElementDetails {
  TThemedElement Element = teButton;
  Integer Part = 0;
  Integer State = 0;
  bool operator==(const TThemedElementDetails&) const = default;
};

// clang-format off
#define FW_THEMED_BUTTON(X) \
  X(tbPushButtonNormal, 1, 1) X(tbPushButtonHot, 1, 2) X(tbPushButtonPressed, 1, 3) X(tbPushButtonDisabled, 1, 4) \
  X(tbPushButtonDefaulted, 1, 5) \
  X(tbRadioButtonUncheckedNormal, 2, 1) X(tbRadioButtonUncheckedHot, 2, 2) X(tbRadioButtonUncheckedPressed, 2, 3) \
  X(tbRadioButtonUncheckedDisabled, 2, 4) X(tbRadioButtonCheckedNormal, 2, 5) X(tbRadioButtonCheckedHot, 2, 6) \
  X(tbRadioButtonCheckedPressed, 2, 7) X(tbRadioButtonCheckedDisabled, 2, 8) \
  X(tbCheckBoxUncheckedNormal, 3, 1) X(tbCheckBoxUncheckedHot, 3, 2) X(tbCheckBoxUncheckedPressed, 3, 3) \
  X(tbCheckBoxUncheckedDisabled, 3, 4) X(tbCheckBoxCheckedNormal, 3, 5) X(tbCheckBoxCheckedHot, 3, 6) \
  X(tbCheckBoxCheckedPressed, 3, 7) X(tbCheckBoxCheckedDisabled, 3, 8) X(tbCheckBoxMixedNormal, 3, 9) \
  X(tbCheckBoxMixedHot, 3, 10) X(tbCheckBoxMixedPressed, 3, 11) X(tbCheckBoxMixedDisabled, 3, 12) \
  X(tbGroupBoxNormal, 4, 1) X(tbGroupBoxDisabled, 4, 2)

#define FW_THEMED_COMBOBOX(X) \
  X(tcDropDownButtonNormal, 1, 1) X(tcDropDownButtonHot, 1, 2) X(tcDropDownButtonPressed, 1, 3) \
  X(tcDropDownButtonDisabled, 1, 4) X(tcBorderNormal, 4, 1) X(tcBorderHot, 4, 2) X(tcBorderFocused, 4, 3) \
  X(tcBorderDisabled, 4, 4) X(tcReadOnlyNormal, 5, 1) X(tcReadOnlyHot, 5, 2) X(tcReadOnlyPressed, 5, 3) \
  X(tcReadOnlyDisabled, 5, 4)

#define FW_THEMED_EDIT(X) \
  X(teEditTextNormal, 1, 1) X(teEditTextHot, 1, 2) X(teEditTextSelected, 1, 3) X(teEditTextDisabled, 1, 4) \
  X(teEditTextFocused, 1, 5) X(teEditTextReadOnly, 1, 6) X(teEditBorderNoScrollNormal, 6, 1) \
  X(teEditBorderNoScrollHot, 6, 2) X(teEditBorderNoScrollFocused, 6, 3) X(teEditBorderNoScrollDisabled, 6, 4)

#define FW_THEMED_HEADER(X) \
  X(thHeaderItemNormal, 1, 1) X(thHeaderItemHot, 1, 2) X(thHeaderItemPressed, 1, 3) \
  X(thHeaderSortArrowSortedUp, 4, 1) X(thHeaderSortArrowSortedDown, 4, 2)

#define FW_THEMED_LISTVIEW(X) \
  X(tlListItemNormal, 1, 1) X(tlListItemHot, 1, 2) X(tlListItemSelected, 1, 3) X(tlListItemDisabled, 1, 4) \
  X(tlListItemSelectedNotFocus, 1, 5) X(tlGroupHeaderOpen, 6, 1) X(tlGroupHeaderOpenSelected, 6, 3) \
  X(tlGroupHeaderOpenSelectedNotFocused, 6, 5) X(tlGroupHeaderClose, 6, 9) X(tlGroupHeaderCloseSelected, 6, 11) \
  X(tlGroupHeaderCloseSelectedNotFocused, 6, 13)

#define FW_THEMED_MENU(X) \
  X(tmMenuBarBackgroundActive, 7, 1) X(tmMenuBarItemNormal, 8, 1) X(tmMenuBarItemHot, 8, 2) \
  X(tmMenuBarItemPushed, 8, 3) X(tmPopupBackground, 9, 0) X(tmPopupBorders, 10, 0) X(tmPopupItemNormal, 14, 1) \
  X(tmPopupItemHot, 14, 2) X(tmPopupItemDisabled, 14, 3) X(tmPopupSeparator, 15, 0)

#define FW_THEMED_PROGRESS(X) \
  X(tpBar, 1, 0) X(tpBarVert, 2, 0) X(tpChunk, 3, 0) X(tpChunkVert, 4, 0)

#define FW_THEMED_SCROLLBAR(X) \
  X(tsArrowBtnUpNormal, 1, 1) X(tsArrowBtnUpHot, 1, 2) X(tsArrowBtnUpPressed, 1, 3) X(tsArrowBtnUpDisabled, 1, 4) \
  X(tsArrowBtnDownNormal, 1, 5) X(tsArrowBtnDownHot, 1, 6) X(tsArrowBtnDownPressed, 1, 7) \
  X(tsArrowBtnDownDisabled, 1, 8) X(tsArrowBtnLeftNormal, 1, 9) X(tsArrowBtnLeftHot, 1, 10) \
  X(tsArrowBtnLeftPressed, 1, 11) X(tsArrowBtnLeftDisabled, 1, 12) X(tsArrowBtnRightNormal, 1, 13) \
  X(tsArrowBtnRightHot, 1, 14) X(tsArrowBtnRightPressed, 1, 15) X(tsArrowBtnRightDisabled, 1, 16) \
  X(tsThumbBtnHorzNormal, 2, 1) X(tsThumbBtnHorzHot, 2, 2) X(tsThumbBtnHorzPressed, 2, 3) \
  X(tsThumbBtnHorzDisabled, 2, 4) X(tsThumbBtnVertNormal, 3, 1) X(tsThumbBtnVertHot, 3, 2) \
  X(tsThumbBtnVertPressed, 3, 3) X(tsThumbBtnVertDisabled, 3, 4) X(tsLowerTrackHorzNormal, 4, 1) \
  X(tsUpperTrackHorzNormal, 5, 1) X(tsLowerTrackVertNormal, 6, 1) X(tsUpperTrackVertNormal, 7, 1) \
  X(tsSizeBoxRightAlign, 10, 1) X(tsSizeBoxLeftAlign, 10, 2) X(tsSizeBoxTopRightAlign, 10, 3) \
  X(tsSizeBoxTopLeftAlign, 10, 4)

#define FW_THEMED_SPIN(X) \
  X(tsUpNormal, 1, 1) X(tsUpHot, 1, 2) X(tsUpPressed, 1, 3) X(tsUpDisabled, 1, 4) \
  X(tsDownNormal, 2, 1) X(tsDownHot, 2, 2) X(tsDownPressed, 2, 3) X(tsDownDisabled, 2, 4)

#define FW_THEMED_STATUS(X) \
  X(tsPane, 1, 0) X(tsGripperPane, 2, 0) X(tsGripper, 3, 0)

#define FW_THEMED_TOOLBAR(X) \
  X(ttbButtonNormal, 1, 1) X(ttbButtonHot, 1, 2) X(ttbButtonPressed, 1, 3) X(ttbButtonDisabled, 1, 4) \
  X(ttbButtonChecked, 1, 5) X(ttbButtonCheckedHot, 1, 6) X(ttbSplitButtonNormal, 3, 1) X(ttbSplitButtonHot, 3, 2) \
  X(ttbSplitButtonPressed, 3, 3) X(ttbSplitButtonDisabled, 3, 4) X(ttbSplitButtonDropDownNormal, 4, 1) \
  X(ttbSplitButtonDropDownHot, 4, 2) X(ttbSplitButtonDropDownPressed, 4, 3) X(ttbSplitButtonDropDownDisabled, 4, 4)

#define FW_THEMED_TOOLTIP(X) \
  X(tttStandardNormal, 1, 1)

#define FW_THEMED_TREEVIEW(X) \
  X(ttItemNormal, 1, 1) X(ttItemHot, 1, 2) X(ttItemSelected, 1, 3) X(ttItemDisabled, 1, 4) \
  X(ttItemSelectedNotFocus, 1, 5) X(ttGlyphClosed, 2, 1) X(ttGlyphOpened, 2, 2) X(ttHotGlyphClosed, 4, 1) \
  X(ttHotGlyphOpened, 4, 2)

#define FW_THEMED_WINDOW(X) \
  X(twWindowRoot, 0, 0) X(twCaptionActive, 1, 1) X(twCaptionInactive, 1, 2) X(twCaptionDisabled, 1, 3) \
  X(twFrameLeftActive, 7, 1) X(twFrameLeftInactive, 7, 2) X(twFrameRightActive, 8, 1) \
  X(twFrameRightInactive, 8, 2) X(twFrameBottomActive, 9, 1) X(twFrameBottomInactive, 9, 2) \
  X(twMinButtonNormal, 15, 1) X(twMinButtonHot, 15, 2) X(twMinButtonPushed, 15, 3) X(twMinButtonDisabled, 15, 4) \
  X(twMaxButtonNormal, 17, 1) X(twMaxButtonHot, 17, 2) X(twMaxButtonPushed, 17, 3) X(twMaxButtonDisabled, 17, 4) \
  X(twCloseButtonNormal, 18, 1) X(twCloseButtonHot, 18, 2) X(twCloseButtonPushed, 18, 3) \
  X(twCloseButtonDisabled, 18, 4) X(twSmallCloseButtonNormal, 19, 1) X(twSmallCloseButtonHot, 19, 2) \
  X(twSmallCloseButtonPushed, 19, 3) X(twDialog, 29, 0)

#define FW_THEMED_MONTHCAL(X) \
  X(tmcBackground, 1, 0) X(tmcBorders, 2, 0) X(tmcGridBackground, 3, 0) X(tmcGridCellBackgroundSelected, 5, 1) \
  X(tmcGridCellBackgroundHot, 5, 2) X(tmcGridCellBackgroundSelectedHot, 5, 3) \
  X(tmcGridCellBackgroundSelectedNotFocused, 5, 4) X(tmcGridCellBackgroundToday, 5, 5)

#define FW_THEMED_GRID(X) \
  X(tgCellNormal, 1, 1) X(tgCellSelected, 1, 2) X(tgFixedCellNormal, 2, 1) X(tgFixedCellHot, 2, 2) \
  X(tgFixedCellPressed, 2, 3) X(tgGradientCellNormal, 3, 1) X(tgGradientCellSelected, 3, 2) \
  X(tgGradientFixedCellNormal, 4, 1) X(tgGradientFixedCellHot, 4, 2) X(tgGradientFixedCellPressed, 4, 3) \
  X(tgClassicCellNormal, 5, 1) X(tgClassicCellSelected, 5, 2) X(tgClassicFixedCellNormal, 6, 1) \
  X(tgClassicFixedCellHot, 6, 2) X(tgClassicFixedCellPressed, 6, 3)

#define FW_THEMED_PANEL(X) \
  X(tpPanelBackground, 1, 0) X(tpPanelBevel, 2, 0)

#define FW_THEMED_HINT(X) \
  X(thHintNormal, 1, 1)
// clang-format on

#define FW_THEMED_ENUM_VALUE(Name, Part, State) Name,
enum TThemedButton { FW_THEMED_BUTTON(FW_THEMED_ENUM_VALUE) };
enum TThemedComboBox { FW_THEMED_COMBOBOX(FW_THEMED_ENUM_VALUE) };
enum TThemedEdit { FW_THEMED_EDIT(FW_THEMED_ENUM_VALUE) };
enum TThemedHeader { FW_THEMED_HEADER(FW_THEMED_ENUM_VALUE) };
enum TThemedListView { FW_THEMED_LISTVIEW(FW_THEMED_ENUM_VALUE) };
enum TThemedMenu { FW_THEMED_MENU(FW_THEMED_ENUM_VALUE) };
enum TThemedProgress { FW_THEMED_PROGRESS(FW_THEMED_ENUM_VALUE) };
enum TThemedScrollBar { FW_THEMED_SCROLLBAR(FW_THEMED_ENUM_VALUE) };
enum TThemedSpin { FW_THEMED_SPIN(FW_THEMED_ENUM_VALUE) };
enum TThemedStatus { FW_THEMED_STATUS(FW_THEMED_ENUM_VALUE) };
enum TThemedToolBar { FW_THEMED_TOOLBAR(FW_THEMED_ENUM_VALUE) };
enum TThemedToolTip { FW_THEMED_TOOLTIP(FW_THEMED_ENUM_VALUE) };
enum TThemedTreeview { FW_THEMED_TREEVIEW(FW_THEMED_ENUM_VALUE) };
enum TThemedWindow { FW_THEMED_WINDOW(FW_THEMED_ENUM_VALUE) };
enum TThemedMonthCal { FW_THEMED_MONTHCAL(FW_THEMED_ENUM_VALUE) };
enum TThemedGrid { FW_THEMED_GRID(FW_THEMED_ENUM_VALUE) };
enum TThemedPanel { FW_THEMED_PANEL(FW_THEMED_ENUM_VALUE) };
enum TThemedHint { FW_THEMED_HINT(FW_THEMED_ENUM_VALUE) };

// The style's own colours for control surfaces, each with the system colour the system style
// answers for it.
#define FW_STYLE_COLORS(X)                                                                              \
  X(scBorder, clWindowFrame) X(scButtonDisabled, clBtnFace) X(scButtonFocused, clBtnFace)              \
  X(scButtonHot, clBtnFace) X(scButtonNormal, clBtnFace) X(scButtonPressed, clBtnFace)                 \
  X(scComboBox, clWindow) X(scComboBoxDisabled, clBtnFace) X(scEdit, clWindow) X(scEditDisabled, clBtnFace) \
  X(scGenericBackground, clBtnFace) X(scGrid, clWindow) X(scHintGradientBase, clInfoBk)                \
  X(scHintGradientEnd, clInfoBk) X(scListBox, clWindow) X(scListBoxDisabled, clBtnFace)                \
  X(scListView, clWindow) X(scPanel, clBtnFace) X(scPanelDisabled, clBtnFace) X(scSplitter, clBtnFace)  \
  X(scToolBarGradientBase, clBtnFace) X(scToolBarGradientEnd, clBtnFace) X(scTreeView, clWindow)       \
  X(scWindow, clBtnFace)

#define FW_STYLE_FONTS(X)                                                                               \
  X(sfButtonTextDisabled, clGrayText) X(sfButtonTextFocused, clBtnText) X(sfButtonTextHot, clBtnText)  \
  X(sfButtonTextNormal, clBtnText) X(sfButtonTextPressed, clBtnText) X(sfCaptionTextInactive, clInactiveCaptionText) \
  X(sfCaptionTextNormal, clCaptionText) X(sfCheckBoxTextDisabled, clGrayText) X(sfCheckBoxTextFocused, clWindowText) \
  X(sfCheckBoxTextHot, clWindowText) X(sfCheckBoxTextNormal, clWindowText) X(sfCheckBoxTextPressed, clWindowText) \
  X(sfComboBoxItemDisabled, clGrayText) X(sfComboBoxItemFocused, clHighlightText)                       \
  X(sfComboBoxItemNormal, clWindowText) X(sfComboBoxItemSelected, clHighlightText)                      \
  X(sfEditBoxTextDisabled, clGrayText) X(sfEditBoxTextFocused, clWindowText) X(sfEditBoxTextHot, clWindowText) \
  X(sfEditBoxTextNormal, clWindowText) X(sfEditBoxTextSelected, clHighlightText)                        \
  X(sfGridItemFixedHot, clBtnText) X(sfGridItemFixedNormal, clBtnText) X(sfGridItemFixedPressed, clBtnText) \
  X(sfGridItemNormal, clWindowText) X(sfGridItemSelected, clHighlightText)                              \
  X(sfGroupBoxTextDisabled, clGrayText) X(sfGroupBoxTextNormal, clWindowText)                           \
  X(sfHeaderSectionTextDisabled, clGrayText) X(sfHeaderSectionTextHot, clBtnText)                       \
  X(sfHeaderSectionTextNormal, clBtnText) X(sfHeaderSectionTextPressed, clBtnText)                      \
  X(sfListItemTextDisabled, clGrayText) X(sfListItemTextFocused, clHighlightText)                       \
  X(sfListItemTextHot, clWindowText) X(sfListItemTextNormal, clWindowText) X(sfListItemTextSelected, clHighlightText) \
  X(sfMenuItemTextDisabled, clGrayText) X(sfMenuItemTextHot, clHighlightText) X(sfMenuItemTextNormal, clMenuText) \
  X(sfMenuItemTextSelected, clHighlightText) X(sfPanelTextDisabled, clGrayText) X(sfPanelTextNormal, clBtnText) \
  X(sfPopupMenuItemTextDisabled, clGrayText) X(sfPopupMenuItemTextHot, clHighlightText)                \
  X(sfPopupMenuItemTextNormal, clMenuText) X(sfPopupMenuItemTextSelected, clHighlightText)              \
  X(sfRadioButtonTextDisabled, clGrayText) X(sfRadioButtonTextFocused, clWindowText)                    \
  X(sfRadioButtonTextHot, clWindowText) X(sfRadioButtonTextNormal, clWindowText)                        \
  X(sfRadioButtonTextPressed, clWindowText) X(sfSmCaptionTextInactive, clInactiveCaptionText)           \
  X(sfSmCaptionTextNormal, clCaptionText) X(sfStatusPanelTextDisabled, clGrayText)                      \
  X(sfStatusPanelTextNormal, clBtnText) X(sfToolItemTextDisabled, clGrayText) X(sfToolItemTextHot, clBtnText) \
  X(sfToolItemTextNormal, clBtnText) X(sfToolItemTextSelected, clBtnText) X(sfTreeItemTextDisabled, clGrayText) \
  X(sfTreeItemTextFocused, clHighlightText) X(sfTreeItemTextHot, clWindowText)                          \
  X(sfTreeItemTextNormal, clWindowText) X(sfTreeItemTextSelected, clHighlightText)                      \
  X(sfWindowTextDisabled, clGrayText) X(sfWindowTextNormal, clWindowText)

#define FW_STYLE_ENUM_VALUE(Name, SystemColor) Name,
enum TStyleColor { FW_STYLE_COLORS(FW_STYLE_ENUM_VALUE) };
enum TStyleFont { FW_STYLE_FONTS(FW_STYLE_ENUM_VALUE) };
#undef FW_STYLE_ENUM_VALUE
#undef FW_THEMED_ENUM_VALUE

// The colours an element may define.
enum TElementColor {
  ecBorderColor, ecFillColor, ecTextColor, ecEdgeHighLightColor, ecEdgeShadowColor, ecGradientColor1,
  ecGradientColor2, ecGlyphColor
};
enum TElementSize { esMinimum, esActual, esStretch };
enum TElementEdge {
  eeRaisedOuter, eeSunkenOuter, eeRaisedInner, eeSunkenInner, eeSunken, eeEtched, eeBump, eeRaised
};
enum TElementEdgeFlag { efLeft, efTop, efRight, efBottom, efDiagonal, efMiddle, efSoft, efAdjust, efFlat, efMono };
using TElementEdgeFlags = Set<TElementEdgeFlag, 16>;
inline const TElementEdgeFlags efRect{efLeft, efTop, efRight, efBottom};

// The details of the element value E of family T (Part and State from the lists above).
TThemedElementDetails ElementDetailsOf(TThemedButton E);
TThemedElementDetails ElementDetailsOf(TThemedComboBox E);
TThemedElementDetails ElementDetailsOf(TThemedEdit E);
TThemedElementDetails ElementDetailsOf(TThemedHeader E);
TThemedElementDetails ElementDetailsOf(TThemedListView E);
TThemedElementDetails ElementDetailsOf(TThemedMenu E);
TThemedElementDetails ElementDetailsOf(TThemedProgress E);
TThemedElementDetails ElementDetailsOf(TThemedScrollBar E);
TThemedElementDetails ElementDetailsOf(TThemedSpin E);
TThemedElementDetails ElementDetailsOf(TThemedStatus E);
TThemedElementDetails ElementDetailsOf(TThemedToolBar E);
TThemedElementDetails ElementDetailsOf(TThemedToolTip E);
TThemedElementDetails ElementDetailsOf(TThemedTreeview E);
TThemedElementDetails ElementDetailsOf(TThemedWindow E);
TThemedElementDetails ElementDetailsOf(TThemedMonthCal E);
TThemedElementDetails ElementDetailsOf(TThemedGrid E);
TThemedElementDetails ElementDetailsOf(TThemedPanel E);
TThemedElementDetails ElementDetailsOf(TThemedHint E);

// The element detail named Name ("tbPushButtonNormal"); false when no element has that name.
bool FindElementDetails(const String& Name, TThemedElementDetails& Details);
// The name of a detail, or an empty string when it is none of the listed ones.
String ElementDetailsName(const TThemedElementDetails& Details);
// Style colour and font-colour names ("scEdit", "sfEditBoxTextNormal") both ways, and the
// system colour the system style answers for each.
bool FindStyleColor(const String& Name, TStyleColor& Value);
bool FindStyleFont(const String& Name, TStyleFont& Value);
String StyleColorName(TStyleColor Value);
String StyleFontName(TStyleFont Value);
TColor SystemStyleColor(TStyleColor Value);
TColor SystemStyleFontColor(TStyleFont Value);
constexpr Integer StyleColorCount = Integer(scWindow) + 1;
constexpr Integer StyleFontCount = Integer(sfWindowTextNormal) + 1;
