#pragma once
// Free routines of the component family: conversions between variants and text under fixed,
// locale-independent formats, variant comparison with arrays as multi-field keys, editing of
// variant arrays, analysis of date-time formats, the locale clock, variant kinds, small maths
// and the keyboard and mouse state.
//
// Values the family stores as text use "." as decimal separator and dates as 2024-01-31 15:04:05
// whatever the user's locale. The conversions pass their own settings to each call and never
// touch the program-wide FormatSettings, so they are safe on any thread.

#include <vector>

#include "framework/Types.h"
#include "framework/Variants.h"
#include "framework/controls/ControlTypes.h"
#include "framework/db/DBTypes.h"

class TField;
class TList;
class TStrings;

// Key values of several fields.
using TVariantArrayKv = std::vector<Variant>;
// Fields of a multi-field key or binding.
using TFieldsArrKv = std::vector<TField*>;

DECLARE_ENUM(TCalendarDateTimeUnitKv, cdtuYearKv, cdtuMonthKv, cdtuDayKv, cdtuHourKv, cdtuMinuteKv, cdtuSecondKv,
             cdtuAmPmKv)
using TCalendarDateTimeUnitsKv = Set<TCalendarDateTimeUnitKv, 8>;

DECLARE_ENUM(THoursTimeFormatKv, htfAmPm12hKv, htf24hKv)
DECLARE_ENUM(TAmPmPosKv, appAmPmSuffixKv, appAmPmPrefixKv)

// The corner of its host a size grip sits in.
DECLARE_ENUM(TSizeGripPosition, sgpTopLeft, sgpTopRight, sgpBottomRight, sgpBottomLeft)
// Which way a popup opened, sent to it as the WParam of CM_SIZEGRIPCHANGEPOSITION.
DECLARE_ENUM(TSizeGripChangePosition, sgcpToLeft, sgcpToRight, sgcpToTop, sgcpToBottom)
constexpr Cardinal CM_SIZEGRIPCHANGEPOSITION = 0x0400 + 100;  // WM_USER + 100

// ---- Conversions ------------------------------------------------------------------------------

// Double to text with "." as decimal separator.
String FloatToStrInvariant(Double Value);
// A value to its stored text: currency and floats with ".", dates as "2024-01-31 15:04:05"
// (the time left out at midnight), the rest as VarToStr gives it.
String VarToStrFixedFormat(const Variant& V);
// Stored text back to a value of the kind AVarType; conversion errors pass on.
Variant StrToVarFixedFormat(const String& Text, TVarType AVarType);
// A date through DateTimeToStr of the current settings, anything else through VarToStr.
String VarToStrDateTime(const Variant& V);
// "[1, 2, [3, 4]]" for arrays (nested ones too), the value's text otherwise.
String VarArrayToStrKv(const Variant& V);
TDateTime DateTimeWithoutMSec(TDateTime Value);
// Value as Field shows it: through Format when given, else the field's display format (numbers),
// else the field's own default text; Empty and Null give "".
String FieldValueToDisplayText(const Variant& Value, TField* Field, const String& Format);
// Value as an edit with EditMask shows it: a value saved with its literals is padded over the
// picture, any other fills the input places; empty places show the mask's blank character.
String FormatMaskTextKv(const String& EditMask, const String& Value);
// Keeps the whole days of DateValue and takes the time of day of TimeValue.
void ReplaceTimeOfDateTime(TDateTime& DateValue, TDateTime TimeValue);

// ---- Comparisons ------------------------------------------------------------------------------

// Arrays compare element by element along their first dimension; conversion errors give false.
bool DBVarValuesEqual(const Variant& V1, const Variant& V2);
// Null orders before every value; arrays compare element by element.
TVariantRelationship DBVarCompareValue(const Variant& V1, const Variant& V2);

// ---- Arrays and lists -------------------------------------------------------------------------

// Opens Amount slots at StartIndex (they keep copies of what was there). Raises Exception on a
// negative Amount or a StartIndex past the end, leaving the array as it was.
void ArrayInsertRange(TVariantArrayKv& Extents, Integer StartIndex, Integer Amount);
// Removes Amount items from StartIndex on. Raises Exception on a negative Amount or a range
// past the end, leaving the array as it was.
void ArrayDeleteRange(TVariantArrayKv& Extents, Integer StartIndex, Integer Amount);

// Options for StringsLocate.
constexpr Integer slCaseInsensitiveKv = 1;  // compare as the locale ignores case, else ordinal
constexpr Integer slPartialKeyKv = 2;       // an item matches when it begins with Text
// The index of the first matching item, -1 when none.
Integer StringsLocate(TStrings* Strings, const String& Text, Integer Options);

// True when every field can be modified (so also for none). FieldList holds TField pointers.
bool FieldsCanModify(TList* FieldList);
bool FieldsArrCanModify(const TFieldsArrKv& Fields);

// ---- Dates and locale -------------------------------------------------------------------------

// The units a date-time format shows; quoted text is skipped and M always means month.
TCalendarDateTimeUnitsKv DateTimeFormatToUnits(const String& Format);
// The user locale's clock: 12 or 24 hours, and where the AM/PM marker stands.
void GetLocaleClockSettings(THoursTimeFormatKv& HoursFormat, TAmPmPosKv& AmPmPos);

// ---- Types ------------------------------------------------------------------------------------

// The integer, float, currency and FMT BCD kinds; not dates, strings or Booleans.
bool VarIsNumericKv(const Variant& V);
// Small integer to single: the integer, float, currency and BCD field types.
bool IsNumericFieldType(TFieldType FieldType);
// String, memo, fixed char, wide, CLOB, variant and GUID field types.
bool IsStringFieldType(TFieldType FieldType);

// ---- Small routines ---------------------------------------------------------------------------

inline Integer IfThenInt(bool Flag, Integer A, Integer B) { return Flag ? A : B; }
inline Integer IntMax(Integer A, Integer B) { return A > B ? A : B; }
inline Integer IntMin(Integer A, Integer B) { return A < B ? A : B; }
inline void SwapInt(Integer& A, Integer& B) {
  Integer T = A;
  A = B;
  B = T;
}
// Left <= X < Right and Top <= Y < Bottom.
inline bool PointInRectKv(const TRect& Rect, const TPoint& P) { return Rect.Contains(P); }
// The point at Fraction of the way from P1 to P2, truncated toward zero.
TPoint InterpolatePoint(const TPoint& P1, const TPoint& P2, Double Fraction);
// The corner across the vertical axis: top-left with top-right, bottom-right with bottom-left.
TSizeGripPosition MirroredSizeGripPosition(TSizeGripPosition Position);
// Value * 4 / 3 rounded (halves to even) when Flag is set.
Integer ScaleByFourThirds(Integer Value, bool Flag);
// Two thirds of the scroll-bar width and one; fixed when the unit starts.
extern Integer DefaultFlatButtonWidth;

// ---- Input state ------------------------------------------------------------------------------

TShiftState GetShiftStateKv();
bool IsMouseButtonDown(TMouseButton Button);
// Whether a second click at Point, Elapsed ms after one at FirstPoint, makes a double click.
bool IsDoubleClickKv(const TPoint& FirstPoint, const TPoint& Point, Cardinal Elapsed);

// Posts Msg to the application window unless one of that number already waits in the queue.
void PostMessageOnce(Cardinal Msg, WPARAM WParam, LPARAM LParam);

// ---- Controls and popups ----------------------------------------------------------------------

// Takes a left-button press (or double click) waiting for Control's window, when it falls on
// Control: its own window, or as the window's child at that point within its client area.
bool PeekMouseDownForControl(TControl* Control);
// The same for a child control of the window only (a windowed control itself never matches),
// by the child test alone.
bool PeekMouseDownAtControl(TControl* Control);
// The control's client origin on the screen with its width and height.
TRect ControlScreenRect(TControl* Control);
// Places DropDown under HostRect (screen coordinates), or above it when there is more room
// there, inside the work area of the nearest monitor; shrinks it to fit and tells it which way
// it opened. Align: 0 left, 1 right, 2 centre.
void AdjustPopupBounds(const TRect& HostRect, TControl* DropDown, Integer Align, TPoint& Pos);
void AdjustPopupBoundsForControl(TControl* Host, TControl* DropDown, Integer Align, TPoint& Pos);
