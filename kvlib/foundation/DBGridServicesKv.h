#pragma once
// What the foundation's filter builder and grid text search use of the axis grid and the data
// grid: small interfaces the grids implement, and the column-filter record they share. The
// grids' own classes (TCustomDBAxisGridKv, TCustomDBGridKv, TColumnKv, TSTColumnFilterKv,
// TDBLookupDataKv, the selection and the search panel) implement these; the foundation never
// sees more of them.

#include <vector>

#include "framework/TypInfo.h"
#include "framework/Variants.h"
#include "framework/WinApi.h"
#include "kvlib/foundation/ToolCtrlsKv.h"

class TBMListKv;
class TDataSource;
class TField;

// ---- The column filter ------------------------------------------------------------------------

DECLARE_ENUM(TSTFilterOperatorKv, foNon, foEqual, foNotEqual, foGreaterThan, foLessThan, foGreaterOrEqual,
             foLessOrEqual, foLike, foNotLike, foIn, foNotIn, foNull, foNotNull, foAND, foOR, foValue, foEqualToNull,
             foNotEqualToNull)
// The operator a bare value gets, and the % wildcards added to it.
DECLARE_ENUM(TSTFilterDefaultOperatorKv, fdoAuto, fdoEqual, fdoNotEqual, fdoGreaterThan, fdoLessThan,
             fdoGreaterOrEqual, fdoLessOrEqual, fdoLike, fdoNotLike, fdoIn, fdoNotIn, fdoBeginsWith,
             fdoDoesntBeginWith, fdoEndsWith, fdoDoesntEndWith, fdoContains, fdoDoesntContain)
DECLARE_ENUM(TSTOperandTypeKv, botNon, botString, botNumber, botDateTime, botBoolean)

// Up to two conditions joined by AND or OR. EmptyParam marks an absent operand; ExpressionType
// is the column's, set before parsing.
struct TSTFilterExpressionKv {
  TSTOperandTypeKv ExpressionType = botNon;
  TSTFilterOperatorKv Operator1 = foNon;
  Variant Operand1 = EmptyParam;
  TSTFilterOperatorKv Relation = foNon;
  TSTFilterOperatorKv Operator2 = foNon;
  Variant Operand2 = EmptyParam;
};

// ---- The axis grid and its column model --------------------------------------------------------

class IDBLookupDataKv {
 public:
  virtual ~IDBLookupDataKv() = default;
  virtual bool GetLookupActive() = 0;
  // In the order of the lookup's key-field list.
  virtual void GetKeyFields(TFieldsArrKv& Fields) = 0;
};

class IDBAxisGridKv {
 public:
  virtual ~IDBAxisGridKv() = default;
  // Nil when none is set.
  virtual TDataSource* GetDataSource() = 0;
  // The collection index of the selected column; the axis grid alone answers -1.
  virtual Integer GetSelectedIndex() = 0;
  virtual void SetSelectedIndex(Integer Value) = 0;
};

// ---- The data grid -----------------------------------------------------------------------------

class ISTColumnFilterKv {
 public:
  virtual ~ISTColumnFilterKv() = default;
  virtual void GetExpression(TSTFilterExpressionKv& Expression) = 0;
  // The data field named on the filter itself, empty when none.
  virtual String GetDataField() = 0;
  // The field name the column is filtered by.
  virtual void GetFilterFieldName(String& Name) = 0;
};

class IColumnKv {
 public:
  virtual ~IColumnKv() = default;
  // Nil when the column has no lookup.
  virtual IDBLookupDataKv* GetLookupParams() = 0;
  // Nil when none is bound.
  virtual TField* GetField() = 0;
  // The current record's cell text, formatted / as edited.
  virtual String GetDisplayText() = 0;
  virtual String GetEditText() = 0;
  virtual bool GetVisible() = 0;
  // The collection index.
  virtual Integer GetIndex() = 0;
  virtual ISTColumnFilterKv* GetSTFilter() = 0;
};

// A list of columns that does not own them.
class TColumnsKvList {
 public:
  IColumnKv* GetColumn(Integer Index) const { return FItems[size_t(Index)]; }
  Integer Count() const { return Integer(FItems.size()); }
  Integer Add(IColumnKv* Column) {
    FItems.push_back(Column);
    return Count() - 1;
  }
  // -1 when absent.
  Integer IndexOf(IColumnKv* Column) const {
    for (size_t I = 0; I < FItems.size(); ++I)
      if (FItems[I] == Column) return Integer(I);
    return -1;
  }
  void Clear() { FItems.clear(); }

 private:
  std::vector<IColumnKv*> FItems;
};

DECLARE_ENUM(TDBGridKvSelectionType, gstRecordBookmarks, gstRectangle, gstColumns, gstAll, gstNon)

class IDBGridKvSelectionRect {
 public:
  virtual ~IDBGridKvSelectionRect() = default;
  // The upper / lower corner row by the dataset's bookmark order. Both raise without an
  // active data link or a dataset.
  virtual void GetTopRow(TBookmark& Bookmark) = 0;
  virtual void GetBottomRow(TBookmark& Bookmark) = 0;
  // The smaller / larger corner column index.
  virtual Integer GetLeftCol() = 0;
  virtual Integer GetRightCol() = 0;
};

class IDBGridKvSelection {
 public:
  virtual ~IDBGridKvSelection() = default;
  virtual TDBGridKvSelectionType GetSelectionType() = 0;
  // The bookmarks of the selected records.
  virtual TBMListKv* GetRows() = 0;
  virtual TColumnsKvList* GetColumns() = 0;
  virtual IDBGridKvSelectionRect* GetRect() = 0;
};

class IDBGridSearchPanelKv {
 public:
  virtual ~IDBGridSearchPanelKv() = default;
  // Whether the search panel is shown.
  virtual bool GetActive() = 0;
  virtual Integer GetFoundColumnIndex() = 0;
  // Stores the index and moves the current cell to that column, then refreshes the row.
  virtual void SetFoundColumnIndex(Integer Index) = 0;
};

class IDBGridKv : public IDBAxisGridKv {
 public:
  // The column collection.
  virtual Integer GetColumnCount() = 0;
  virtual IColumnKv* GetColumn(Integer Index) = 0;
  virtual TColumnsKvList* GetVisibleColumns() = 0;
  // The column bound to the field; nil when none.
  virtual IColumnKv* GetFieldColumns(const String& FieldName) = 0;
  // Remembers the current record and its row position in the view.
  virtual void SaveBookmark() = 0;
  // Returns to the remembered record while it is in the view; may raise a database error.
  virtual void RestoreBookmark() = 0;
  // Options holds dgRowSelect.
  virtual bool GetRowSelect() = 0;
  virtual IDBGridKvSelection* GetSelection() = 0;
  virtual IDBGridSearchPanelKv* GetSearchPanel() = 0;
  // The behaviour object's answer: whether a search may read the column's value as text.
  virtual bool CanColumnValueReadAsText(IColumnKv* Column) = 0;
  // The grid's window, whose queued key presses can stop a search.
  virtual HWND GetGridHandle() = 0;
};
