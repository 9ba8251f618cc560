#pragma once
// DBUtilsKv: the family's data utilities over the framework's dataset model.
// - TBMListKv: dataset bookmarks kept in dataset order, found by bisection; the grids'
//   record selections derive from it.
// - TDataLinkKv, TDatasetFieldValueListKv and the field-list routines.
// - TOrderByList: a sort-order text ("Name DESC; Code") into field indexes and directions.
// - The column-filter parser and builder: what a user types under a column title into a
//   TSTFilterExpressionKv, and the filters of all columns into one dataset filter text.
// - GridLocateText, the data grid's text search over its cells; the dataset-feature registry;
//   the text routines that pass both texts through an optional transformation first.

#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/db/DataLink.h"
#include "framework/db/DBTypes.h"
#include "kvlib/foundation/DBGridServicesKv.h"
#include "kvlib/foundation/KvLibCore.h"
#include "kvlib/foundation/ToolCtrlsKv.h"

class TDataSet;
class TField;

// ---- Bookmark list ----------------------------------------------------------------------------

class TBMListKv;
// Compares the entries at Index1 and Index2: negative, 0 or positive.
using TBMListSortCompareKv = Integer (*)(TBMListKv* List, TDataSet* DataSet, Integer Index1, Integer Index2);

// Bookmarks sorted by the dataset's bookmark order. Descendants supply the dataset.
//
// A search remembers its answer until the list changes; every insertion and deletion drops it,
// inside an update bracket too, while the owner hears of the change (Changed) once, when the
// outermost bracket closes.
class TBMListKv : public TObject {
  DECLARE_CLASS(TBMListKv, TObject)
 public:
  TBMListKv() = default;
  // Only the base's Clear and UpdateState run here: a descendant that needs its own clears
  // itself in its destructor.
  ~TBMListKv() override;

  Integer GetCount() const { return Integer(FList.size()); }
  const TBookmark& GetItem(Integer Index) const;
  // No order check.
  void SetItem(Integer Index, const TBookmark& Item);

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  bool Updating() const { return FUpdateCount > 0; }

  // Whether Item is in the list; Index is where it is or would go.
  bool Find(const TBookmark& Item, Integer& Index);
  Integer IndexOf(const TBookmark& Item);
  // Raises "Cannot perform this operation on a closed dataset" while the link is inactive.
  TBookmark GetCurrentBookmark();
  Integer CompareBookmarks(const TBookmark& Item1, const TBookmark& Item2);
  // Whether the current record is in the list; false for an empty list.
  bool GetCurrentRowSelected();
  virtual void SetCurrentRowSelected(bool Value);

  virtual void InsertBookmarkAt(Integer Index, const TBookmark& Item);
  virtual void DeleteItem(Integer Index);
  // Appends without keeping the order.
  virtual void AppendItem(const TBookmark& Item);
  // Inserts at its place unless present.
  virtual void AppendBookmark(const TBookmark& Item);
  virtual bool DeleteBookmark(const TBookmark& Item);
  virtual void Clear();

  bool GetLinkActive() const { return FLinkActive; }
  void SetLinkActive(bool Value);

  virtual void CustomSort(TDataSet* DataSet, TBMListSortCompareKv Compare);
  virtual void SortByBookmarks();
  // Drops the bookmarks the dataset no longer finds (with DeleteInvalid) and sorts the rest;
  // answers whether any was dropped.
  bool Refresh(bool DeleteInvalid);
  // Selects every record of the dataset.
  void SelectAll();
  // Deletes the listed records from the dataset, and their entries.
  void Delete();

 protected:
  virtual TDataSet* GetDataSet() { return nullptr; }
  virtual void Invalidate() {}
  // Drops the find cache; descendants also update their owner.
  virtual void Changed();
  virtual void RaiseError(const String& Msg);
  virtual void UpdateState() {}

  std::vector<TBookmark> FList;
  TBookmark FCache;
  Integer FCacheIndex = -1;
  bool FCacheFind = false;
  bool FLinkActive = false;
  Integer FUpdateCount = 0;

 private:
  TDataSet* CheckedDataSet();
  void DropCache() { FCacheIndex = -1; }
  void QuickSort(TDataSet* DataSet, TBMListSortCompareKv Compare, Integer Left, Integer Right);
};

// ---- Data link and field value list -----------------------------------------------------------

using TDataEventKv = Closure<void(TDataEvent Event, NativeInt Info)>;

// A data link that reports every data event.
class TDataLinkKv : public TDataLink {
  DECLARE_CLASS(TDataLinkKv, TDataLink)
 public:
  TDataEventKv GetOnDataEvent() const { return FOnDataEvent; }
  void SetOnDataEvent(const TDataEventKv& Value) { FOnDataEvent = Value; }

 protected:
  void DataEvent(TDataEvent Event, NativeInt Info) override;

 private:
  TDataEventKv FOnDataEvent;
};

// The distinct values of one field, as the filter drop-downs list them.
class IMemTableDataFieldValueListKv : public virtual IInterface {
 public:
  virtual TStrings* GetValues() = 0;
  virtual void SetFilter(const String& Filter) = 0;
};

// The sorted distinct texts of one field of a dataset, rebuilt on demand after the dataset
// changed (a record set change, a property or field-list change; not an edit in progress).
class TDatasetFieldValueListKv : public TInterfacedObject, public IMemTableDataFieldValueListKv {
  DECLARE_CLASS(TDatasetFieldValueListKv, TInterfacedObject)
 public:
  TDatasetFieldValueListKv();
  ~TDatasetFieldValueListKv() override;
  Integer _AddRef() override { return TInterfacedObject::_AddRef(); }
  Integer _Release() override { return TInterfacedObject::_Release(); }

  TStrings* GetValues() override;
  // Does nothing: the list always holds every value.
  void SetFilter(const String&) override {}

  const String& GetFieldName() const { return FFieldName; }
  void SetFieldName(const String& Value);
  // Reads the dataset through the list's own data source.
  TDataSet* GetDataSet();
  void SetDataSet(TDataSet* Value);
  TDataSource* GetDataSource();
  // Reads through a source of the caller's instead.
  void SetDataSource(TDataSource* Value);
  bool GetCaseSensitive() const;
  void SetCaseSensitive(bool Value);
  bool GetDataObsoleted() const { return FDataObsoleted; }

 protected:
  virtual void DataEvent(TDataEvent Event, NativeInt Info);

 private:
  void RefreshValues();
  std::unique_ptr<TDataLinkKv> FDataLink;
  bool FDataObsoleted = true;
  std::unique_ptr<TDataSource> FDataSource;
  String FFieldName;
  std::unique_ptr<TStringList> FValues;
};

// ---- Field routines ---------------------------------------------------------------------------

// Adds to List (when given) the fields named in Names (";"-separated); raises "Field '%s' not
// found" for the first missing one, for Component.
void FieldListByNames(TList* List, TDataSet* DataSet, TComponent* Component, const String& Names);
void FieldsArrByNames(TDataSet* DataSet, TComponent* Component, const String& Names, TFieldsArrKv& Fields);
// EmptyParam clears every named field; any other value goes to the dataset's FieldValues.
void SetFieldsValues(TDataSet* DataSet, const String& Names, const Variant& Value);
// One field: its value; several: an array of their values; none: Null.
void GetFieldsValues(const TFieldsArrKv& Fields, Variant& Value);

// ---- Order-by list ----------------------------------------------------------------------------

// One sort key.
class TOrderByItemKv : public TObject {
  DECLARE_CLASS(TOrderByItemKv, TObject)
 public:
  Integer FieldIndex = -1;
  // The index in the in-memory table's own field structure.
  Integer MTFieldIndex = -1;
  bool Desc = false;
  bool CaseIns = false;
  TFieldType DataType = ftUnknown;
};

// Sort keys parsed from "Name DESC, [Order Date]". Descendants map names to field indexes; the
// base alone knows no field, so it accepts only the empty text.
class TOrderByList : public TObjectListKv {
  DECLARE_CLASS(TOrderByList, TObjectListKv)
 public:
  TOrderByList() : TObjectListKv(false) {}
  explicit TOrderByList(bool AOwnsObjects) : TObjectListKv(AOwnsObjects) {}
  // Frees the items either way.
  ~TOrderByList() override;

  TOrderByItemKv* GetItem(Integer Index) const { return static_cast<TOrderByItemKv*>(GetItems(Index)); }
  void SetItem(Integer Index, TOrderByItemKv* Item) { SetItems(Index, Item); }
  // Frees every item, owned or not, and empties the list.
  void ClearFreeItems();
  // The next token from the 1-based Pos: a name (brackets removed), "," or ";"; empty at the end.
  void GetToken(const String& Text, Integer& Pos, String& Token);
  // Replaces the items with those of Text, or raises and keeps them.
  void ParseOrderByStr(const String& Text);

 protected:
  virtual void SetItemFieldIndex(TOrderByItemKv*, Integer) {}
  virtual Integer GetFieldIndex(const String&) { return -1; }
};

// ---- Column filter parser and builder ----------------------------------------------------------

// What the filter row shows for each operator, and what the builder writes.
extern const wchar_t* const STFilterOperatorsStrMapKv[foNotEqualToNull + 1];
extern const wchar_t* const STFilterOperatorsSQLStrMapKv[foNotEqualToNull + 1];
extern const Char STFieldNameBracketsKv[2];
extern const wchar_t* const STFilterMarkerKv;  // "/*FILTER*/"
// The operand type of each field type.
extern const TSTOperandTypeKv STFldTypeMapKv[FieldTypeCount];

// Writes a date-time value as the dataset's filter wants it.
using TDateValueToDatasetDateStringEventKv = Closure<void(TDataSet* DataSet, const Variant& Value, String& Text)>;
// Writes one condition; DefaultFilterConditionText is the standard one.
using TSTFilterConditionTextProcKv = void (*)(TSTFilterOperatorKv Operator, const Variant& Value,
                                              const String& FieldName, TDataSet* DataSet,
                                              const TDateValueToDatasetDateStringEventKv& DateValueToString,
                                              bool LikeSupported, bool NullAsComparison, bool InSupported,
                                              String& Result);

// A filter text that does not parse. The message is the language text followed by the whole
// text; Position (1-based) is where reading stopped.
class EFilterExpressionErrorKv : public Exception {
  DECLARE_CLASS(EFilterExpressionErrorKv, Exception)
 public:
  EFilterExpressionErrorKv(const String& Msg, Integer APosition) : Exception(Msg), FPosition(APosition) {}
  Integer GetPosition() const { return FPosition; }

 private:
  Integer FPosition = 0;
};

// Operators and operands become foNon / EmptyParam; ExpressionType stays.
void ClearSTFilterExpression(TSTFilterExpressionKv& Expression);
// Fills Expression from what the user typed; true when a second condition was read. A text
// that does not parse raises EFilterExpressionErrorKv (a number or date that does not convert,
// the framework's conversion error) and leaves Expression as it was.
bool ParseSTFilterExpression(const String& Text, TSTFilterExpressionKv& Expression,
                             TSTFilterDefaultOperatorKv DefaultOperator);
// Character 0 outside the text.
Char CharAtPos(const String& Text, Integer Pos);
void DefaultFilterConditionText(TSTFilterOperatorKv Operator, const Variant& Value, const String& FieldName,
                                TDataSet* DataSet, const TDateValueToDatasetDateStringEventKv& DateValueToString,
                                bool LikeSupported, bool NullAsComparison, bool InSupported, String& Result);
// The filter text of one column; empty when it filters nothing.
String BuildColumnFilterString(IColumnKv* Column, TSTFilterConditionTextProcKv ConditionProc,
                               const TDateValueToDatasetDateStringEventKv& DateValueToString, bool UseOrigin,
                               bool LikeSupported, bool NullAsComparison, bool InSupported);
// The filters of all the grid's columns joined by AND (one trailing blank), for Dataset.Filter.
void BuildGridFilterString(IDBGridKv* Grid, TSTFilterConditionTextProcKv ConditionProc,
                           const TDateValueToDatasetDateStringEventKv& DateValueToString, bool UseOrigin,
                           bool LikeSupported, bool NullAsComparison, bool InSupported, String& Result);

// ---- Grid text search -------------------------------------------------------------------------

DECLARE_ENUM(TLocateTextOptionKv, ltoCaseInsensitiveKv, ltoAllFieldsKv, ltoMatchFormatKv, ltoIgnoteCurrentPosKv,
             ltoStopOnEscapeKv, ltoInsideSelectionKv, ltoRestartAfterLastHitKv, ltoWholeWordsKv,
             ltoStopKeyMessageKv)
using TLocateTextOptionsKv = Set<TLocateTextOptionKv, 16>;
DECLARE_ENUM(TLocateTextDirectionKv, ltdUpKv, ltdDownKv, ltdAllKv)
DECLARE_ENUM(TLocateTextMatchingKv, ltmAnyPartKv, ltmWholeKv, ltmFromBegingKv)
DECLARE_ENUM(TLocateTextTreeFindRangeKv, lttInAllNodesKv, lttInExpandedNodesKv, lttInCurrentLevelKv,
             lttInCurrentNodeKv)

// Decides a cell instead of the text comparison.
using TCheckColumnValueAcceptEventKv = Closure<void(IColumnKv* Column, bool& Accept, const String& SearchText)>;

// Searches the grid's cells from the current one, wrapping once; on a hit the dataset stands on
// the record and the found column is shown. TimeLimit 0: none. Without a hit the grid goes back
// to where it was.
bool GridLocateText(IDBGridKv* Grid, const String& FieldName, const String& Text, TLocateTextOptionsKv Options,
                    TLocateTextDirectionKv Direction, TLocateTextMatchingKv Matching, Integer TimeLimit,
                    const TCheckColumnValueAcceptEventKv& CheckValueMethod);

// ---- Dataset-feature registry -----------------------------------------------------------------

// A provider that takes filtering, sorting and searching over for datasets of one class.
class TDatasetFeaturesKv : public TObject {
  DECLARE_CLASS(TDatasetFeaturesKv, TObject)
 public:
  explicit TDatasetFeaturesKv(TClass ADataSetClass) : FDataSetClass(ADataSetClass) {}
  TClass GetDataSetClass() const { return FDataSetClass; }
  // Adds the in-memory table's descriptor for one field of the provider's dataset to DataStruct
  // (a TMTDataStructKv); false leaves it to the structure's own build.
  virtual bool AddDataField(TComponent* DataStruct, TField* Field) {
    (void)DataStruct;
    (void)Field;
    return false;
  }

 private:
  TClass FDataSetClass;
};

// The registry owns Features from the call on; a second provider for the same class is refused
// (EStringListError) and freed.
void RegisterDatasetFeaturesKv(TDatasetFeaturesKv* Features);
void UnregisterDatasetFeaturesKv(TClass DataSetClass);
// The provider registered for the dataset's class or its nearest ancestor; nil when none.
TDatasetFeaturesKv* GetDatasetFeatureProvider(TDataSet* DataSet);

// ---- Hooked text routines ---------------------------------------------------------------------

// Applied to both texts by the three routines below when set; nil at start.
using TTextTransformProcKv = String (*)(const String& Text);
extern TTextTransformProcKv TextTransformHookKv;
// Replaceable; the defaults compare as the locale ignores case, search with FindTextPos and
// find plainly from a 1-based offset.
extern Integer (*CompareTextHooked)(const String& S1, const String& S2);
extern Integer (*FindTextPosHooked)(const String& SubText, const String& Text, Integer StartPos, bool IgnoreCase,
                                    bool WholeWords);
extern Integer (*PosExHooked)(const String& SubText, const String& Text, Integer Offset);
