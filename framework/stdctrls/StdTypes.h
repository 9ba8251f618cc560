#pragma once
// The small types of the standard controls: their enumerations, event signatures and the
// accelerator test shared by labels, buttons and group boxes.

#include "framework/controls/CustomControl.h"
#include "framework/controls/OwnerDrawState.h"

DECLARE_ENUM(TEditCharCase, ecNormal, ecUpperCase, ecLowerCase)
DECLARE_ENUM(TScrollStyle, ssNone, ssHorizontal, ssVertical, ssBoth)
DECLARE_ENUM(TCheckBoxState, cbUnchecked, cbChecked, cbGrayed)
DECLARE_ENUM(TListBoxStyle, lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable)
DECLARE_ENUM(TComboBoxStyle, csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable)
DECLARE_ENUM(TEllipsisPosition, epNone, epPathEllipsis, epEndEllipsis, epWordEllipsis)
DECLARE_ENUM(TScrollCode, scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom,
             scEndScroll)
ENUM_NAMES(TScrollBarKind, sbHorizontal, sbVertical)

// The owner-draw state of a DRAWITEMSTRUCT's itemState.
TOwnerDrawState OwnerDrawStateFromODS(UINT ItemState);

using TDrawItemEvent = Closure<void(TWinControl* Control, Integer Index, TRect Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = Closure<void(TWinControl* Control, Integer Index, Integer& Height)>;
using TScrollEvent = Closure<void(TObject* Sender, TScrollCode ScrollCode, Integer& ScrollPos)>;

// True when Str marks the character of key VK (or character) as its accelerator with "&".
bool IsAccel(Word VK, const String& Str);

// The height of a line of text in Font (from the screen's metrics), without needing a window.
Integer FontHeight(TFont* Font);
