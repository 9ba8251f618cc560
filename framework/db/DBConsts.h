#pragma once
// The dataset layer's message texts and the routine that raises EDatabaseError with them.

#include "framework/System.h"

class TComponent;

extern const wchar_t* const SFieldNotFound;            // "Field '%s' not found"
extern const wchar_t* const SFieldNameMissing;
extern const wchar_t* const SDuplicateFieldName;
extern const wchar_t* const SInvalidFieldSize;
extern const wchar_t* const SNotEditing;
extern const wchar_t* const SFieldReadOnly;
extern const wchar_t* const SRecordNotFound;
extern const wchar_t* const SNoDataFound;
extern const wchar_t* const SDataSetClosed;
extern const wchar_t* const SDataSetOpen;
extern const wchar_t* const SCircularDataLink;
extern const wchar_t* const SUnknownFieldType;
extern const wchar_t* const SNoFieldsDefined;
extern const wchar_t* const SDataSetMissing;
extern const wchar_t* const SPropDefByLookup;
extern const wchar_t* const SNotAllowedInDBCtrlGrid;
extern const wchar_t* const SDeleteRecordQuestion;
extern const wchar_t* const SFieldRequired;
extern const wchar_t* const SFindRecordNotSupported;
extern const wchar_t* const SDataSetEmpty;
extern const wchar_t* const SDataSetReadOnly;
extern const wchar_t* const SNotIndexField;
extern const wchar_t* const SFieldTypeMismatch;
extern const wchar_t* const SInvalidIntegerValue;
extern const wchar_t* const SInvalidFloatValue;
extern const wchar_t* const SInvalidBoolValue;
extern const wchar_t* const SFieldValueError;
extern const wchar_t* const SFieldRangeError;
extern const wchar_t* const SFieldIndexError;
extern const wchar_t* const SLookupInfoError;
extern const wchar_t* const SFieldNotInFilter;
extern const wchar_t* const SInvalidFilterValue;  // "'%s' is not a valid value for field '%s'"
extern const wchar_t* const SFieldAccessError;
extern const wchar_t* const SInvalidCalcType;
extern const wchar_t* const SFieldOutOfRange;
extern const wchar_t* const SParameterNotFound;
extern const wchar_t* const SIndexNotFound;
extern const wchar_t* const SDuplicateIndexName;
extern const wchar_t* const SNoDetailFilter;
extern const wchar_t* const SNotBrowsing;
extern const wchar_t* const STextFalse;
extern const wchar_t* const STextTrue;
// The data grids' column bound; the text speaks of 256 although the grids allow far more.
extern const wchar_t* const STooManyColumns;  // "Grid requested to display more than 256 columns"

// Raises EDatabaseError; with a named component the text reads "Name: Message".
[[noreturn]] void DatabaseError(const String& Message, TComponent* Component = nullptr);
[[noreturn]] void DatabaseErrorFmt(const String& Message, TVarRecs Args, TComponent* Component = nullptr);
