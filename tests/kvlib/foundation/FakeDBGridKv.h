#pragma once
// A data grid reduced to what the foundation asks of it (columns over fields, their filters, a
// selection and a search panel), over any dataset; for the filter builder and the text search.

#include <memory>
#include <vector>

#include "framework/DB.h"
#include "kvlib/foundation/DBUtilsKv.h"

class TFakeColumnFilter : public ISTColumnFilterKv {
 public:
  TSTFilterExpressionKv Expression;
  String DataField;
  String FilterFieldName;
  void GetExpression(TSTFilterExpressionKv& E) override { E = Expression; }
  String GetDataField() override { return DataField; }
  void GetFilterFieldName(String& Name) override { Name = FilterFieldName; }
};

class TFakeLookup : public IDBLookupDataKv {
 public:
  bool Active = true;
  TFieldsArrKv Keys;
  bool GetLookupActive() override { return Active; }
  void GetKeyFields(TFieldsArrKv& Fields) override { Fields = Keys; }
};

class TFakeColumn : public IColumnKv {
 public:
  TFakeColumn(TField* AField, Integer AIndex) : Field(AField), Index(AIndex) {
    if (Field) Filter.FilterFieldName = Field->GetFieldName();
  }
  TField* Field;
  Integer Index;
  bool Visible = true;
  TFakeColumnFilter Filter;
  IDBLookupDataKv* Lookup = nullptr;
  IDBLookupDataKv* GetLookupParams() override { return Lookup; }
  TField* GetField() override { return Field; }
  String GetDisplayText() override { return Field ? Field->GetDisplayText() : String(); }
  String GetEditText() override { return Field ? Field->GetText() : String(); }
  bool GetVisible() override { return Visible; }
  Integer GetIndex() override { return Index; }
  ISTColumnFilterKv* GetSTFilter() override { return &Filter; }
};

class TFakeSelectionRect : public IDBGridKvSelectionRect {
 public:
  TBookmark Top, Bottom;
  Integer Left = 0, Right = 0;
  void GetTopRow(TBookmark& B) override { B = Top; }
  void GetBottomRow(TBookmark& B) override { B = Bottom; }
  Integer GetLeftCol() override { return Left; }
  Integer GetRightCol() override { return Right; }
};

class TFakeRows : public TBMListKv {
 public:
  explicit TFakeRows(TDataSet* ADataSet) : FDataSet(ADataSet) { SetLinkActive(true); }
  ~TFakeRows() override { Clear(); }

 protected:
  TDataSet* GetDataSet() override { return FDataSet; }

 private:
  TDataSet* FDataSet;
};

class TFakeSelection : public IDBGridKvSelection {
 public:
  explicit TFakeSelection(TDataSet* DataSet) : Rows(DataSet) {}
  TDBGridKvSelectionType Type = gstNon;
  TFakeRows Rows;
  TColumnsKvList Columns;
  TFakeSelectionRect Rect;
  TDBGridKvSelectionType GetSelectionType() override { return Type; }
  TBMListKv* GetRows() override { return &Rows; }
  TColumnsKvList* GetColumns() override { return &Columns; }
  IDBGridKvSelectionRect* GetRect() override { return &Rect; }
};

class TFakeSearchPanel : public IDBGridSearchPanelKv {
 public:
  bool Active = false;
  Integer FoundColumnIndex = 0;
  bool GetActive() override { return Active; }
  Integer GetFoundColumnIndex() override { return FoundColumnIndex; }
  void SetFoundColumnIndex(Integer Index) override { FoundColumnIndex = Index; }
};

// One column per field of the dataset, all visible; the first column selected.
class TFakeDBGrid : public IDBGridKv {
 public:
  explicit TFakeDBGrid(TDataSet* DataSet) : Source(nullptr), Selection(DataSet) {
    Source.SetDataSet(DataSet);
    for (Integer I = 0; I < DataSet->GetFieldCount(); ++I)
      Columns.push_back(std::make_unique<TFakeColumn>(DataSet->GetFields()->GetField(I), I));
    UpdateVisible();
  }
  void UpdateVisible() {
    Visible.Clear();
    for (auto& C : Columns)
      if (C->Visible) Visible.Add(C.get());
  }
  TFakeColumn* Col(Integer I) { return Columns[size_t(I)].get(); }

  TDataSource Source;
  bool HasSource = true;
  std::vector<std::unique_ptr<TFakeColumn>> Columns;
  TColumnsKvList Visible;
  Integer SelectedIndex = 0;
  bool RowSelect = false;
  TFakeSelection Selection;
  TFakeSearchPanel Panel;
  HWND Handle = nullptr;
  TBookmark Saved;
  Integer RestoreCount = 0;
  std::vector<IColumnKv*> Unreadable;  // columns the behaviour object refuses

  TDataSource* GetDataSource() override { return HasSource ? &Source : nullptr; }
  Integer GetSelectedIndex() override { return SelectedIndex; }
  void SetSelectedIndex(Integer Value) override { SelectedIndex = Value; }
  Integer GetColumnCount() override { return Integer(Columns.size()); }
  IColumnKv* GetColumn(Integer Index) override { return Columns[size_t(Index)].get(); }
  TColumnsKvList* GetVisibleColumns() override { return &Visible; }
  IColumnKv* GetFieldColumns(const String& FieldName) override {
    for (auto& C : Columns)
      if (C->Field && SameText(C->Field->GetFieldName(), FieldName)) return C.get();
    return nullptr;
  }
  void SaveBookmark() override { Saved = Source.GetDataSet()->GetBookmark(); }
  void RestoreBookmark() override {
    ++RestoreCount;
    Source.GetDataSet()->GotoBookmark(Saved);
  }
  bool GetRowSelect() override { return RowSelect; }
  IDBGridKvSelection* GetSelection() override { return &Selection; }
  IDBGridSearchPanelKv* GetSearchPanel() override { return &Panel; }
  bool CanColumnValueReadAsText(IColumnKv* Column) override {
    return std::find(Unreadable.begin(), Unreadable.end(), Column) == Unreadable.end();
  }
  HWND GetGridHandle() override { return Handle; }
};
