#pragma once
// SqlTimSt: the SQL time stamp record (date and time as separate fields, milliseconds in
// Fractions), its conversions to TDateTime and text, and the SQL time-stamp custom variant kind.

#include "framework/Variants.h"

struct TFormatSettings;

struct TSQLTimeStamp {
  SmallInt Year = 0;
  Word Month = 0;
  Word Day = 0;
  Word Hour = 0;
  Word Minute = 0;
  Word Second = 0;
  LongWord Fractions = 0;  // milliseconds
  bool operator==(const TSQLTimeStamp&) const = default;
};
static_assert(sizeof(TSQLTimeStamp) == 16, "TSQLTimeStamp keeps the framework's layout");

// A time stamp with the offset of its time zone from UTC (both parts carry the sign).
struct TSQLTimeStampOffset {
  SmallInt Year = 0;
  Word Month = 0;
  Word Day = 0;
  Word Hour = 0;
  Word Minute = 0;
  Word Second = 0;
  LongWord Fractions = 0;  // milliseconds
  SmallInt TimeZoneHour = 0;
  SmallInt TimeZoneMinute = 0;
  bool operator==(const TSQLTimeStampOffset&) const = default;
};
static_assert(sizeof(TSQLTimeStampOffset) == 20, "TSQLTimeStampOffset keeps the framework's layout");

extern const TSQLTimeStamp NullSQLTimeStamp;
extern const TSQLTimeStampOffset NullSQLTimeStampOffset;

TSQLTimeStamp DateTimeToSQLTimeStamp(TDateTime DateTime);
// The all-zero stamp gives 0; a stamp that is no valid date and time raises ESQLTimeStampException.
TDateTime SQLTimeStampToDateTime(const TSQLTimeStamp& DateTime);
bool TrySQLTimeStampToDateTime(const TSQLTimeStamp& DateTime, TDateTime& Value);
// As FormatDateTime; an empty format means the short date format, a blank and the long time format.
String SQLTimeStampToStr(const String& Format, const TSQLTimeStamp& DateTime);
String SQLTimeStampToStr(const String& Format, const TSQLTimeStamp& DateTime, const TFormatSettings& AFormatSettings);
// As StrToDateTime; raises ESQLTimeStampException "'x' is not a valid SQL time stamp".
TSQLTimeStamp StrToSQLTimeStamp(const String& S);
TSQLTimeStamp StrToSQLTimeStamp(const String& S, const TFormatSettings& AFormatSettings);
bool TryStrToSQLTimeStamp(const String& S, TSQLTimeStamp& TimeStamp);
bool TryStrToSQLTimeStamp(const String& S, TSQLTimeStamp& TimeStamp, const TFormatSettings& AFormatSettings);
// Year, month, day, hour, minute, second, milliseconds: -1, 0 or 1.
Integer SQLTimeStampCompare(const TSQLTimeStamp& A, const TSQLTimeStamp& B);

TSQLTimeStampOffset SQLTimeStampToSQLTimeStampOffset(const TSQLTimeStamp& TimeStamp);  // offset 0
TSQLTimeStamp SQLTimeStampOffsetToSQLTimeStamp(const TSQLTimeStampOffset& TimeStamp);  // the offset dropped
TSQLTimeStampOffset DateTimeToSQLTimeStampOffset(TDateTime DateTime, Integer TZOffsetHour = 0, Integer TZOffsetMinute = 0);
// The date and time as written; the offset is not applied.
TDateTime SQLTimeStampOffsetToDateTime(const TSQLTimeStampOffset& DateTime);
// The text of SQLTimeStampToStr followed by a blank and the offset: "2024-05-05 12:00:00 +03:00".
String SQLTimeStampOffsetToStr(const String& Format, const TSQLTimeStampOffset& DateTime);
// Date-time text optionally followed by an offset "+hh:mm" or "-hh:mm" (a blank before it is allowed).
TSQLTimeStampOffset StrToSQLTimeStampOffset(const String& S);
bool TryStrToSQLTimeStampOffset(const String& S, TSQLTimeStampOffset& TimeStamp);

// ---- The SQL time-stamp variant kind ----------------------------------------------------------
// Converts to and from dates, numbers (as dates) and text; compares with other stamps, dates and
// date texts. It does no arithmetic.

TVarType VarSQLTimeStamp();
bool VarIsSQLTimeStamp(const Variant& AValue);
bool VarIsSQLTimeStamp(TVarType AVarType);
Variant VarSQLTimeStampCreate();  // the all-zero stamp
Variant VarSQLTimeStampCreate(const TSQLTimeStamp& ASQLTimeStamp);
Variant VarSQLTimeStampCreate(TDateTime AValue);
Variant VarSQLTimeStampCreate(const String& AValue);
void VarSQLTimeStampCreate(Variant& ADest, const TSQLTimeStamp& ASQLTimeStamp);
TSQLTimeStamp VarToSQLTimeStamp(const Variant& AValue);

// ---- The SQL time-stamp-with-offset variant kind ----------------------------------------------
// As the time-stamp kind; two values compare by the instant they stand for.

TVarType VarSQLTimeStampOffset();
bool VarIsSQLTimeStampOffset(const Variant& AValue);
bool VarIsSQLTimeStampOffset(TVarType AVarType);
Variant VarSQLTimeStampOffsetCreate();
Variant VarSQLTimeStampOffsetCreate(const TSQLTimeStampOffset& ASQLTimeStampOffset);
Variant VarSQLTimeStampOffsetCreate(TDateTime AValue);
Variant VarSQLTimeStampOffsetCreate(const String& AValue);
TSQLTimeStampOffset VarToSQLTimeStampOffset(const Variant& AValue);
