#include "framework/db/DBConsts.h"

#include "framework/classes/Component.h"
#include "framework/db/DBTypes.h"
#include "framework/sysutils/Format.h"
#include "framework/sysutils/Strings.h"

const wchar_t* const SFieldNotFound = L"Field '%s' not found";
const wchar_t* const SFieldNameMissing = L"Field name missing";
const wchar_t* const SDuplicateFieldName = L"Duplicate field name '%s'";
const wchar_t* const SInvalidFieldSize = L"Invalid field size";
const wchar_t* const SNotEditing = L"Dataset not in edit or insert mode";
const wchar_t* const SFieldReadOnly = L"Field '%s' cannot be modified";
const wchar_t* const SRecordNotFound = L"Record not found";
const wchar_t* const SNoDataFound = L"No data found";
const wchar_t* const SDataSetClosed = L"Cannot perform this operation on a closed dataset";
const wchar_t* const SDataSetOpen = L"Cannot perform this operation on an open dataset";
const wchar_t* const SCircularDataLink = L"Circular datalinks are not allowed";
const wchar_t* const SUnknownFieldType = L"Field '%s' is of an unknown type";
const wchar_t* const SNoFieldsDefined = L"No fields defined. Cannot create dataset.";
const wchar_t* const SDataSetMissing = L"Field '%s' has no dataset";
const wchar_t* const SPropDefByLookup = L"Property already defined by lookup field";
const wchar_t* const SNotAllowedInDBCtrlGrid = L"Operation not allowed in a DBCtrlGrid";
const wchar_t* const SDeleteRecordQuestion = L"Delete record?";
const wchar_t* const SFieldRequired = L"Field '%s' must have a value";
const wchar_t* const SFindRecordNotSupported = L"FindRecord is not supported";
const wchar_t* const SDataSetEmpty = L"Cannot perform this operation on an empty dataset";
const wchar_t* const SDataSetReadOnly = L"Cannot modify a read-only dataset";
const wchar_t* const SNotIndexField = L"Field '%s' is not indexed and cannot be modified";
const wchar_t* const SFieldTypeMismatch = L"Type mismatch for field '%s', expecting: %s actual: %s";
const wchar_t* const SInvalidIntegerValue = L"'%s' is not a valid integer value for field '%s'";
const wchar_t* const SInvalidFloatValue = L"'%s' is not a valid floating point value for field '%s'";
const wchar_t* const SInvalidBoolValue = L"'%s' is not a valid boolean value for field '%s'";
const wchar_t* const SFieldValueError = L"Invalid value for field '%s'";
const wchar_t* const SFieldRangeError = L"%s is not a valid value for field '%s'. The allowed range is %s to %s";
const wchar_t* const SFieldIndexError = L"Field index out of range";
const wchar_t* const SLookupInfoError = L"Lookup information for field '%s' is incomplete";
const wchar_t* const SFieldNotInFilter = L"Field '%s' cannot be used in a filter expression";
const wchar_t* const SInvalidFilterValue = L"'%s' is not a valid value for field '%s'";
const wchar_t* const SFieldAccessError = L"Cannot access field '%s' as type %s";
const wchar_t* const SInvalidCalcType = L"Field '%s' cannot be a calculated or lookup field";
const wchar_t* const SFieldOutOfRange = L"Value of field '%s' is out of range";
const wchar_t* const SParameterNotFound = L"Parameter '%s' not found";
const wchar_t* const SIndexNotFound = L"Index '%s' not found";
const wchar_t* const SDuplicateIndexName = L"Duplicate index name '%s'";
const wchar_t* const SNoDetailFilter = L"Filter property cannot be used for detail tables";
const wchar_t* const SNotBrowsing = L"Cannot perform this operation while editing";
const wchar_t* const STextFalse = L"False";
const wchar_t* const STextTrue = L"True";
const wchar_t* const STooManyColumns = L"Grid requested to display more than 256 columns";

void DatabaseError(const String& Message, TComponent* Component) {
  if (Component && !Component->GetName().empty())
    throw EDatabaseError(Format(L"%s: %s", {Component->GetName(), Message}));
  throw EDatabaseError(Message);
}

void DatabaseErrorFmt(const String& Message, TVarRecs Args, TComponent* Component) {
  DatabaseError(Format(Message, Args), Component);
}

String ExtractFieldName(const String& Fields, Integer& Pos) {
  Integer I = Pos;
  while (I <= Length(Fields) && Fields[I - 1] != L';') ++I;
  String Result = Trim(Copy(Fields, Pos, I - Pos));
  if (I <= Length(Fields) && Fields[I - 1] == L';') ++I;
  Pos = I;
  return Result;
}
