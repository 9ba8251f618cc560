#pragma once
// The edit format of the family's date-time edit (part of the unit DBCtrlsKv): a picture such as
// DD/MM/YYYY HH:NN:SS whose runs of the letters Y M D H N S are fixed-width numeric fields.
// From it come the masked edit's mask, the positions of the fields in the edit text and the
// display format; the routines here turn edit text into field values, values into a date-time,
// and step one field for the arrow keys and the wheel. They read the user's settings only where
// their names say "Default" or "Locale"; nothing else depends on the locale.

#include "framework/SysUtils.h"
#include "framework/Variants.h"

// Where one field lies in the edit text (1-based); the empty state is (-1, -1, false).
struct TElementMaskPosKv {
  Integer Pos = -1;
  Integer Length = -1;
  bool Present = false;
};

struct TDateTimeElementsMaskPosKv {
  TElementMaskPosKv Year, Month, Day, Hour, Min, Sec;
};

// Field values in the order year, month, day, hour, minute, second; -1 means none.
struct TDateTimeElementsKv {
  Integer Year = -1, Month = -1, Day = -1, Hour = -1, Min = -1, Sec = -1;
};

// Two-digit years land within this many years before the current one and 100 - it after.
constexpr Integer DateTimeEditTwoDigitYearWindowKv = 60;

// The "today" the routines fill missing parts from and expand two-digit years around; tests
// install their own. Answers the routine it replaced.
using TDateTimeEditTodayFuncKv = TDateTime (*)();
TDateTimeEditTodayFuncKv SetDateTimeEditTodayFunc(TDateTimeEditTodayFuncKv Func);

// The locale's order of day, month and year as an edit format with "/" as separator.
String DefaultDateEditFormat(bool FourDigitYear, const TFormatSettings& Settings = FormatSettings);
String DefaultTimeEditFormat();
bool LocaleUsesFourDigitYear(const TFormatSettings& Settings = FormatSettings);

// Builds the mask ("!" picture ";1; ") and the field positions. A bad format raises Exception
// with its reason and leaves both outputs as they were.
void ParseDateTimeEditFormat(const String& EditFormat, TDateTimeElementsMaskPosKv& Positions, String& Mask);
// The format for FormatDateTime: fields, "/" and ":" as they are, everything else quoted.
String EditFormatToDateTimeFormat(const String& EditFormat);
// One character per text position: the field letter (upper case), "/", ":" or a blank.
String EditFormatToElementLayout(const String& EditFormat);

// The fields of a masked text; false when a present field holds no number. Never raises.
bool TextToElements(const String& Text, const TDateTimeElementsMaskPosKv& Positions, TDateTimeElementsKv& Values);
// The value the fields make, parts the format does not show taken from Value. Fix completes and
// clamps the parts first; without it an impossible date makes Value Null and answers false.
bool ElementsToValue(const TDateTimeElementsKv& Values, const TDateTimeElementsMaskPosKv& Positions, Variant& Value,
                     bool Fix);
// Missing parts from today, months and days clamped; ExpandYear expands a year 0..99.
void FixDate(Integer& Year, Integer& Month, Integer& Day, bool ExpandYear = true);
void FixTime(Integer& Hour, Integer& Minute, Integer& Second);
void DateTimeToElements(TDateTime Value, TDateTimeElementsKv& Values);
// Null (or anything that is no date) gives six -1.
void VariantToElements(const Variant& Value, TDateTimeElementsKv& Values);
// 0..99 into the window around the current year; other years stay.
Integer ExpandTwoDigitYear(Integer Year);

// Steps the field under the caret (1-based Pos) with wrap-around and writes it back with leading
// zeros. Pos becomes the field's start and Len its length; Len is 0 when no field was there.
void IncrementFormatElement(const String& Text, const String& Layout, bool Up, String& NewText, Integer& Pos,
                            Integer& Len);
// The field of the default date format at Pos, as above; Len is 0 when none.
void FindDefaultFormatElement(Integer& Pos, Integer& Len, bool FourDigitYear);
