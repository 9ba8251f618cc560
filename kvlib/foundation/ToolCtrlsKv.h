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

class TBitmap;
class TCanvas;
class TField;
class TList;
class TStrings;

// Key values of several fields.
using TVariantArrayKv = std::vector<Variant>;
// Cell lengths and other plain integer arrays.
using TIntegerArrayKv = std::vector<Integer>;
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
// The same for integer arrays, with the same checks and texts.
void ArrayInsertRange(TIntegerArrayKv& Extents, Integer StartIndex, Integer Amount);
void ArrayDeleteRange(TIntegerArrayKv& Extents, Integer StartIndex, Integer Amount);

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

// An edit that drops something down and closes it again (Accept: take the value shown).
class IComboEditKv : public virtual IInterface {
 public:
  virtual void CloseUp(bool Accept) = 0;
};

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

// ---- Text measuring and search ----------------------------------------------------------------

// The characters that end a word for whole-word search.
extern const String WordDelimitersKv;

// One laid-out line: its first character (0-based), length, width and height in pixels.
struct TTextLineInfoKv {
  Integer Start = 0;
  Integer Length = 0;
  Integer Width = 0;
  Integer Height = 0;
};
using TTextLinesKv = std::vector<TTextLineInfoKv>;

// The 1-based position of SubText in Text from StartPos, 0 when absent; with WholeWord a hit
// must stand between word delimiters or the ends of the text.
Integer FindTextPos(const String& SubText, const String& Text, bool IgnoreCase, bool WholeWord, Integer StartPos);
// The case-insensitive search FindTextPositions goes through; the data utilities replace it
// with one that transforms both texts first.
using TFindTextPosProcKv = Integer (*)(const String& SubText, const String& Text, Integer StartPos, bool IgnoreCase,
                                       bool WholeWord);
extern TFindTextPosProcKv FindTextPosProcKv;
// 1-based, 0 when absent.
Integer CharPosInStr(Char Ch, const String& Text);
// Every hit as a 0-based index. With BeginsWith only the first hit counts, and only at the start.
bool FindTextPositions(const String& Text, const String& SubText, std::vector<Integer>& Positions, bool IgnoreCase,
                       bool WholeWords, bool BeginsWith);
// Text cut from the end with "..." until it fits MaxWidth; "..." alone when nothing fits.
String ShortenTextWithEllipsis(const String& Text, TCanvas* Canvas, Integer MaxWidth);
// Width of one line as DrawText measures it, without prefix processing.
Integer TextWidthByDrawText(TCanvas* Canvas, const String& Text);
// 1 when the first character reads right to left (or is an Arabic digit), 0 when it reads left
// to right or the text is empty, Default otherwise.
Byte IsRightToLeftChar(const String& Text, Byte Default);

// Sum of Values[From..To], both inclusive.
Integer SumIntRange(const std::vector<Integer>& Values, Integer From, Integer To);
// Where the line starting at Start (0-based) ends (exclusive), and its width. With WordWrap a
// CR, LF or CR LF ends the line after it, and a line too wide ends after its last blank.
Integer FindLineBreak(const String& Text, Integer Start, Integer MaxWidth, Integer& Width,
                      const std::vector<Integer>& Widths, bool WordWrap);
void BuildTextLines(TCanvas* Canvas, Integer MaxWidth, const String& Text, bool WordWrap, TSize& Size,
                    TTextLinesKv& Lines);
// The widest line and the total height of Text laid out as BuildTextLines does.
void CalcWrappedTextSize(TCanvas* Canvas, Integer MaxWidth, const String& Text, bool WordWrap, TSize& Size);

// ---- Text painting ----------------------------------------------------------------------------

// Paints Text into ARect. Alignment 0 left, 1 right, 2 centre; Layout 0 top, 1 centre, 2 bottom;
// ReadingMode 1 right to left. DX and DY indent the text from the aligned edges; FillRect paints
// the background with the brush first. One plain line goes through the canvas's clipped text
// output; wrapping, margins, an ellipsis, very long or multi-line text through DrawTextEx.
void WriteTextKv(TCanvas* Canvas, const TRect& ARect, bool FillRect, Integer DX, Integer DY, const String& Text,
                 Integer Alignment, Integer Layout, bool WordWrap, bool EndEllipsis, Integer LeftMarg,
                 Integer RightMarg, Integer ReadingMode, bool SingleLine);

// Text rotated to read from bottom to top inside ARect, laid out as WriteTextKv lays it out in the
// turned rectangle. Always 0.
Integer WriteTextVerticalKv(TCanvas* Canvas, const TRect& ARect, bool FillRect, Integer DX, Integer DY,
                            const String& Text, Integer Alignment, Integer Layout, bool WordWrap, bool EndEllipsis,
                            Integer Unused = 0);
// Marks every hit of SearchText in Text as the cell at ARect shows it: the hit's characters redrawn
// on HighlightColor. OutOfViewCount counts the hits laid out right of or below the cell. The
// integers the grids pass for their own layout are accepted and not used.
void DrawTextSearchHighlights(TCanvas* Canvas, const TRect& ARect, Integer TextLeftOffset, Integer TopOffset,
                              const String& Text, Integer Alignment, bool VertCentred, bool WordWrap, Integer Unused1,
                              Integer Unused2, Integer Unused3, Integer Unused4, const String& SearchText,
                              bool IgnoreCase, bool WholeWords, bool BeginsWith, TColor HighlightColor,
                              Integer Unused5, Integer Unused6, Integer& OutOfViewCount);

// One line, opaque, clipped to ARect.
//
// WriteTextKv and DrawClippedText draw on a brush colour the device can only dither (a palette
// device) into the shared scratch bitmap first and copy the whole rectangle over, background
// included.
void DrawClippedText(TCanvas* Canvas, const TRect& ARect, Integer DX, Integer DY, const String& Text,
                     Integer Alignment);

// The shared true-colour scratch bitmap of the text painters, made on first use; it only grows.
// Its canvas is locked while a painter uses it.
TBitmap* ScratchBitmapKv();
void FreeScratchBitmapKv();

// ---- World transform and clipping -------------------------------------------------------------

// Rotation by Angle degrees and scale, then the offset (DX, DY).
void SetWorldTransformRotation(TCanvas* Canvas, Double Scale, Double Angle, Double DX, Double DY);
void ResetWorldTransformKv(TCanvas* Canvas);
// Turns the canvas by -90 degrees: set on an untransformed canvas, multiplied from the right onto
// a transformed one.
void RotateCanvasMinus90(TCanvas* Canvas);
bool CanvasHasWorldTransform(TCanvas* Canvas);
// Narrows the clip region to Rect; answers a copy of the previous region (nil when there was
// none), which RestoreClipRgnKv selects back and deletes.
HRGN SetClipRectKv(TCanvas* Canvas, const TRect& Rect);
void RestoreClipRgnKv(TCanvas* Canvas, HRGN Region);

// Colours, themes, glyph painting, pictures and the family-wide objects of the unit.
#include "kvlib/foundation/toolctrls/Painting.h"
#include "kvlib/foundation/toolctrls/Pictures.h"
#include "kvlib/foundation/toolctrls/LibManager.h"
