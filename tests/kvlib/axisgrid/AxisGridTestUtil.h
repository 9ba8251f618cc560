#pragma once
// The axis grid tests' stand-in for the data grid: one column per bar after a fixed title row,
// the selected bar is the current column, a title font of its own, and data cells painted from
// the rows the data link's window holds (read by moving its active record). Also the column
// class and the test dataset: ID integer, NAME text, PRICE float and a hidden NOTE.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "framework/DB.h"
#include "framework/Forms.h"
#include "framework/controls/ControlsTestUtil.h"
#include "kvlib/axisgrid/DBAxisGridsKv.h"
#include "tests/framework/db/ArrayDataSet.h"
#include "tests/kvlib/grids/GridsKvTestUtil.h"

namespace axisgridtest {

class TTestColumnKv : public TBaseColumnKv {
  DECLARE_CLASS(TTestColumnKv, TBaseColumnKv)
 public:
  explicit TTestColumnKv(TCollection* Collection) : TBaseColumnKv(Collection) {}
  bool GetAutoFitColWidth() override { return FAutoFit; }
  Integer GetWidth() override { return FWidth; }
  Integer GetMinWidth() override { return FMinWidth; }
  Integer GetMaxWidth() override { return FMaxWidth; }
  void SetAutoFitColWidth(bool Value) override { FAutoFit = Value; }
  void SetMaxWidth(Integer Value) override { FMaxWidth = Value; }
  void SetMinWidth(Integer Value) override { FMinWidth = Value; }
  void SetWidth(Integer Value) override { FWidth = Value; }

 private:
  bool FAutoFit = true;
  Integer FWidth = 64, FMinWidth = 0, FMaxWidth = 0;
};

struct TPaintedCell {
  Integer Col, Row;
  String Text;
};

class TTestAxisGridKv : public TCustomDBAxisGridKv {
  DECLARE_CLASS(TTestAxisGridKv, TCustomDBAxisGridKv)
 public:
  explicit TTestAxisGridKv(TComponent* AOwner) : TCustomDBAxisGridKv(AOwner), FTitleFont(std::make_unique<TFont>()) {
    SetFixedRowCount(1);
    SetFixedColCount(0);
  }

  Integer GetSelectedIndex() override {
    Integer I = GetCol();
    return I >= 0 && I < GetAxisBars()->GetCount() ? I : -1;
  }
  void SetSelectedIndex(Integer Value) override { SetCol(Value); }
  TFont* GetTitleFont() override { return FTitleFont.get(); }
  void SetTitleFont(TFont* Value) override { FTitleFont->Assign(Value); }

  using TCustomDBAxisGridKv::ChangeScale;
  using TCustomDBAxisGridKv::Loaded;
  using TCustomDBAxisGridKv::Notification;

  void InvalidateEditor() override {
    ++EditorInvalidations;
    TCustomDBAxisGridKv::InvalidateEditor();
  }
  Integer EditorInvalidations = 0;

  Integer LayoutPasses = 0;
  // Raised from the next layout pass, once.
  bool FailNextLayout = false;
  std::vector<TPaintedCell> Painted;

 protected:
  TGridAxisBarsKv* CreateAxisBars() override { return new TBaseColumnsKv(this, TTestColumnKv::StaticClass()); }

  void InternalLayout() override {
    ++LayoutPasses;
    TCustomDBAxisGridKv::InternalLayout();
    if (FailNextLayout) {
      FailNextLayout = false;
      throw Exception(L"layout failed");
    }
    if (!GetLoading() && !GetDestroying()) SyncGeometry();
  }

  void DataChanged() override {
    SyncGeometry();
    Invalidate();
  }

  void DrawCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State) override {
    if (ARow == 0 || ACol >= GetAxisBars()->GetCount()) {
      TCustomDBAxisGridKv::DrawCell(ACol, ARow, ARect, State);
      return;
    }
    TAxisGridDataLinkKv* Link = GetDataLink();
    String Text;
    if (Link->GetActive() && ARow - 1 < Link->GetRecordCount()) {
      Integer Old = Link->GetActiveRecord();
      Link->SetActiveRecord(ARow - 1);
      Text = GetAxisBars()->GetAxisBar(ACol)->DisplayText();
      Link->SetActiveRecord(Old);
    }
    Painted.push_back({ACol, ARow, Text});
    GetCanvas()->TextRect(ARect, ARect.Left + 2, ARect.Top + 2, Text);
  }

 private:
  void SyncGeometry() {
    TAxisGridDataLinkKv* Link = GetDataLink();
    Integer Cols = GetAxisBars()->GetCount();
    SetColCount(Cols > 0 ? Cols : 1);
    Link->SetBufferCount(10);
    Integer Rows = Link->GetActive() ? Link->GetRecordCount() : 0;
    SetRowCount(1 + (Rows > 0 ? Rows : 1));
  }
  std::unique_ptr<TFont> FTitleFont;
};

// The grid on a form with its window made, over the test dataset (open, NOTE hidden).
struct TAxisGridFixture {
  ctltest::TFormHolder Form{600, 400};
  TArrayDataSet* DS;
  TDataSource* Source;
  TTestAxisGridKv* Grid;

  explicit TAxisGridFixture(bool Connect = true)
      : DS(new TArrayDataSet(Form.Form)), Source(new TDataSource(Form.Form)), Grid(new TTestAxisGridKv(Form.Form)) {
    DS->GetFieldDefs()->Add(L"ID", ftInteger);
    DS->GetFieldDefs()->Add(L"NAME", ftWideString, 20);
    DS->GetFieldDefs()->Add(L"PRICE", ftFloat);
    DS->GetFieldDefs()->Add(L"NOTE", ftWideString, 20);
    DS->Open();
    DS->FieldByName(L"NOTE")->SetVisible(false);
    DS->AppendRecord({1, L"Elma", 2.5, L"a"});
    DS->AppendRecord({2, L"Armut", 4.0, L"b"});
    DS->AppendRecord({3, L"Ayva", 6.25, L"c"});
    DS->First();
    Source->SetDataSet(DS);
    Grid->SetBorderStyle(bsNone);
    Grid->SetBounds(0, 0, 400, 200);
    Grid->SetParent(Form.Form);
    Grid->HandleNeeded();
    if (Connect) Grid->SetDataSource(Source);
  }
  TGridAxisBarsKv* Bars() const { return Grid->GetAxisBars(); }
  TAxisBarKv* Bar(Integer I) const { return Bars()->GetAxisBar(I); }
  std::vector<String> BarNames() const {
    std::vector<String> R;
    for (Integer I = 0; I < Bars()->GetCount(); ++I) R.push_back(Bar(I)->GetName());
    return R;
  }
  bool Go(Integer Id) { return DS->Locate(L"ID", Id, {}); }
};

using gridtest::CaughtMessage;

}  // namespace axisgridtest
