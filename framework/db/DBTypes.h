#pragma once
// The dataset layer's enumerations and small value types: field types in the standard order
// (the expression parser's type map is indexed by it), dataset states, data events, record
// buffer handles and bookmarks.

#include <memory>

#include "framework/TypInfo.h"

DECLARE_ENUM(TFieldType,
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD, ftDate,
  ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic, ftFmtMemo,
  ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString, ftLargeint, ftADT,
  ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob, ftVariant, ftInterface, ftIDispatch, ftGuid,
  ftTimeStamp, ftFMTBcd, ftFixedWideChar, ftWideMemo, ftOraTimeStamp, ftOraInterval, ftLongWord,
  ftShortint, ftByte, ftExtended, ftConnection, ftParams, ftStream, ftTimeStampOffset, ftObject,
  ftSingle)
constexpr Integer FieldTypeCount = ftSingle + 1;
using TFieldTypes = Set<TFieldType, 64>;
// "Unknown", "String", "SmallInt", ... one per field type.
extern const wchar_t* const FieldTypeNames[FieldTypeCount];
extern const TFieldTypes ftBlobTypes;      // ftBlob..ftTypedBinary, ftOraBlob, ftOraClob, ftWideMemo
extern const TFieldTypes ftNonTextTypes;   // blobs and structured types that have no text form

DECLARE_ENUM(TDataSetState,
  dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue, dsOldValue,
  dsCurValue, dsBlockRead, dsInternalCalc, dsOpening)
using TDataSetStates = Set<TDataSetState, 32>;
extern const TDataSetStates dsEditModes;   // dsEdit, dsInsert, dsSetKey
extern const TDataSetStates dsWriteModes;  // the edit modes and the temporary states that write

enum TDataEvent {
  deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deLayoutChange, deUpdateRecord,
  deUpdateState, deCheckBrowseMode, dePropertyChange, deFieldListChange, deFocusControl,
  deParentScroll, deConnectChange, deReconcileError, deDisabledStateChange
};

enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TResyncModeItem { rmExact, rmCenter };
using TResyncMode = Set<TResyncModeItem, 8>;
DECLARE_ENUM(TFieldKind, fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate)
using TFieldKinds = Set<TFieldKind, 8>;
DECLARE_ENUM(TUpdateStatus, usUnmodified, usModified, usInserted, usDeleted)
using TUpdateStatusSet = Set<TUpdateStatus, 8>;
DECLARE_ENUM(TLocateOption, loCaseInsensitive, loPartialKey)
using TLocateOptions = Set<TLocateOption, 8>;
DECLARE_ENUM(TFilterOption, foCaseInsensitive, foNoPartialCompare)
using TFilterOptions = Set<TFilterOption, 8>;
DECLARE_ENUM(TBlobStreamMode, bmRead, bmWrite, bmReadWrite)
using TBlobType = TFieldType;
DECLARE_ENUM(TAutoRefreshFlag, arNone, arAutoInc, arDefault)
DECLARE_ENUM(TProviderFlag, pfInUpdate, pfInWhere, pfInKey, pfHidden, pfRefreshOnInsert, pfRefreshOnUpdate)
using TProviderFlags = Set<TProviderFlag, 8>;
DECLARE_ENUM(TFieldAttribute, faHiddenCol, faReadonly, faRequired, faLink, faUnNamed, faFixed)
using TFieldAttributes = Set<TFieldAttribute, 8>;
DECLARE_ENUM(TIndexOption, ixPrimary, ixUnique, ixDescending, ixCaseInsensitive, ixExpression, ixNonMaintained)
using TIndexOptions = Set<TIndexOption, 8>;
enum TDataAction { daFail, daAbort, daRetry };

// A record buffer is an opaque handle the dataset hands out (memory, an index, anything that
// fits a pointer); the base only moves handles around, never their contents.
using TRecordBuffer = NativeInt;
using TRecBuf = TRecordBuffer;
// A field value in the dataset's native layout for the field's type.
using TValueBuffer = TBytes;

// A bookmark: bytes shared by every copy, so a dataset may refresh a bookmark in place and all
// holders see it. Only the dataset that made it can compare or follow it.
class TBookmark {
 public:
  TBookmark() = default;
  explicit TBookmark(Integer Size) : FData(std::make_shared<TBytes>(Size > 0 ? Size : 0)) {}
  explicit TBookmark(const TBytes& Bytes) : FData(std::make_shared<TBytes>(Bytes)) {}
  bool IsEmpty() const { return !FData || FData->empty(); }
  explicit operator bool() const { return !IsEmpty(); }
  Byte* Data() const { return FData ? FData->data() : nullptr; }
  Integer Size() const { return FData ? Integer(FData->size()) : 0; }
  TBytes ToBytes() const { return FData ? *FData : TBytes(); }
  // The same shared bytes (not equal contents).
  bool SameAs(const TBookmark& Other) const { return FData == Other.FData; }

 private:
  std::shared_ptr<TBytes> FData;
};
using TBookmarkStr = AnsiString;

// The next name of a ";"-separated list from the 1-based Pos (advanced past the ";"), trimmed.
String ExtractFieldName(const String& Fields, Integer& Pos);
