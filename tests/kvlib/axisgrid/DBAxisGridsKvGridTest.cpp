// The axis grid over the test dataset: default and customized bars kept in step with the fields
// by the layout pass, the column-to-field map, the update and layout locks with the deferred
// layout message, the data source, and components that go away under the bars.

#include <gtest/gtest.h>

#include "framework/ImgList.h"
#include "framework/Menus.h"
#include "framework/WinApi.h"
#include "tests/kvlib/axisgrid/AxisGridTestUtil.h"

using namespace axisgridtest;

namespace {

Integer AxisGridQueuedLayoutMessages(TCustomDBAxisGridKv* Grid) {
  // Counts by taking them out, then puts the same number back.
  Integer N = 0;
  MSG M;
  while (PeekMessageW(&M, Grid->GetHandle(), WM_DEFERREDLAYOUTKV, WM_DEFERREDLAYOUTKV, PM_REMOVE)) ++N;
  for (Integer I = 0; I < N; ++I) PostMessageW(Grid->GetHandle(), WM_DEFERREDLAYOUTKV, 0, 0);
  return N;
}

// A dataset of fields F1 .. FCount.
TArrayDataSet* AxisGridWideDataSet(TComponent* Owner, Integer Count) {
  auto* DS = new TArrayDataSet(Owner);
  for (Integer I = 1; I <= Count; ++I) DS->GetFieldDefs()->Add(L"F" + IntToStr(I), ftInteger);
  DS->Open();
  return DS;
}

// A link whose map holds at most 10 columns, so that the bound is reached in a test.
class TAxisGridSmallMapLink : public TAxisGridDataLinkKv {
  DECLARE_CLASS(TAxisGridSmallMapLink, TAxisGridDataLinkKv)
 public:
  using TAxisGridDataLinkKv::TAxisGridDataLinkKv;

 protected:
  Integer GetMaxMapSize() const override { return 10; }
};

class TAxisGridSmallMapGrid : public TTestAxisGridKv {
  DECLARE_CLASS(TAxisGridSmallMapGrid, TTestAxisGridKv)
 public:
  using TTestAxisGridKv::TTestAxisGridKv;

 protected:
  TAxisGridDataLinkKv* CreateDataLink() override { return new TAxisGridSmallMapLink(this); }
};

}  // namespace

TEST(AxisGridFieldMap, PastItsBoundTheMapRaisesAndStaysAsItWas) {
  ctltest::TFormHolder Form;
  TArrayDataSet* DS = AxisGridWideDataSet(Form.Form, 12);
  auto* Source = new TDataSource(Form.Form);
  Source->SetDataSet(DS);
  auto* Grid = new TAxisGridSmallMapGrid(Form.Form);
  Grid->SetParent(Form.Form);
  // Twelve visible fields: the pass stops at the bound.
  EXPECT_EQ(CaughtMessage([&] { Grid->SetDataSource(Source); }), L"Grid requested to display more than 256 columns");
  TAxisGridDataLinkKv* Link = Grid->GetDataLink();
  EXPECT_EQ(Link->GetFieldCount(), 10);
  EXPECT_EQ(Link->GetFieldMapSize(), 10);  // 8, then 16 held to the bound
  EXPECT_THROW(Link->AddMapping(L"F11"), EInvalidGridOperationKv);
  EXPECT_EQ(Link->GetFieldCount(), 10);
  EXPECT_EQ(Link->GetMappedIndex(9), 9);
  EXPECT_EQ(Grid->GetLayoutLock(), 0);
  EXPECT_EQ(Grid->GetUpdateLock(), 0);
  // Within the bound the grid lays out again (once, at the end of the update).
  Grid->BeginUpdate();
  for (Integer I = 11; I <= 12; ++I) DS->FieldByName(L"F" + IntToStr(I))->SetVisible(false);
  Grid->EndUpdate();
  EXPECT_EQ(Grid->GetAxisBars()->GetCount(), 10);
}

TEST(AxisGridLayout, DefaultBarsFollowTheVisibleFields) {
  TAxisGridFixture F;
  EXPECT_EQ(F.BarNames(), (std::vector<String>{L"Column_0_ID", L"Column_1_NAME", L"Column_2_PRICE"}));
  EXPECT_EQ(F.Bars()->GetState(), csDefault);
  for (Integer I = 0; I < 3; ++I) EXPECT_FALSE(F.Bar(I)->GetStored());
  EXPECT_EQ(F.Bar(2)->GetField(), F.DS->FieldByName(L"PRICE"));
  // The descendant's factories made the collection and its items.
  auto* Columns = dynamic_cast<TBaseColumnsKv*>(F.Bars());
  ASSERT_NE(Columns, nullptr);
  EXPECT_EQ(Columns->GetColumn(1)->GetWidth(), 64);
  EXPECT_TRUE(Is<TTestColumnKv>(F.Bar(0)));

  F.DS->FieldByName(L"PRICE")->SetVisible(false);
  F.Grid->LayoutChanged();
  EXPECT_EQ(F.BarNames(), (std::vector<String>{L"Column_0_ID", L"Column_1_NAME"}));
  F.DS->FieldByName(L"NOTE")->SetVisible(true);
  F.Grid->LayoutChanged();
  EXPECT_EQ(F.BarNames(), (std::vector<String>{L"Column_0_ID", L"Column_1_NAME", L"Column_2_NOTE"}));
}

TEST(AxisGridLayout, WithoutADataSourceOneEmptyBar) {
  TAxisGridFixture F(false);
  F.Grid->LayoutChanged();
  ASSERT_EQ(F.Bars()->GetCount(), 1);
  EXPECT_EQ(F.Bar(0)->GetField(), nullptr);
  EXPECT_EQ(F.Bar(0)->GetFieldName(), L"");
  // Connected and disconnected again: back to the one empty bar.
  F.Grid->SetDataSource(F.Source);
  EXPECT_EQ(F.Bars()->GetCount(), 3);
  F.Grid->SetDataSource(nullptr);
  EXPECT_EQ(F.Bars()->GetCount(), 1);
  EXPECT_EQ(F.Bar(0)->GetField(), nullptr);
}

TEST(AxisGridLayout, MixedStoredAndDefaultBars) {
  struct TCase {
    bool StoredFirst;
    std::vector<String> Expected;
  };
  for (const TCase& C : {TCase{true, {L"Column_0_NAME", L"Column_1_PRICE"}}, TCase{false, {L"Column_0_NAME"}}}) {
    TAxisGridFixture F;
    F.Bars()->BeginUpdate();
    F.Bars()->Clear();
    if (C.StoredFirst) {
      F.Bars()->Add()->SetFieldName(L"NAME");
      F.Bars()->AddDefaultBar()->SetField(F.DS->FieldByName(L"PRICE"));
    } else {
      F.Bars()->AddDefaultBar()->SetField(F.DS->FieldByName(L"PRICE"));
      F.Bars()->Add()->SetFieldName(L"NAME");
    }
    F.Bars()->EndUpdate();
    F.Grid->LayoutChanged();
    EXPECT_EQ(F.BarNames(), C.Expected) << C.StoredFirst;
    EXPECT_EQ(F.Bars()->GetState(), csCustomized);
  }
}

TEST(AxisGridLayout, SetIndexOfADefaultBarMovesItsField) {
  TAxisGridFixture F;
  F.Bar(2)->SetIndex(0);
  EXPECT_EQ(F.DS->FieldByName(L"PRICE")->GetIndex(), 0);
  F.Grid->LayoutChanged();
  EXPECT_EQ(F.BarNames(), (std::vector<String>{L"Column_0_PRICE", L"Column_1_ID", L"Column_2_NAME"}));
  EXPECT_EQ(F.Bars()->FindBarByName(L"Column_0_PRICE"), F.Bar(0));
  EXPECT_EQ(F.Bars()->FindBarByName(L"Column_2_PRICE"), nullptr);
}

TEST(AxisGridLayout, PaintsRowsReadThroughTheLink) {
  TAxisGridFixture F;
  F.Form.Form->Show();
  F.Grid->Painted.clear();
  F.Grid->Invalidate();
  F.Grid->Update();
  auto TextAt = [&](Integer Col, Integer Row) {
    for (const TPaintedCell& C : F.Grid->Painted)
      if (C.Col == Col && C.Row == Row) return C.Text;
    return String(L"<not painted>");
  };
  EXPECT_EQ(TextAt(1, 1), L"Elma");
  EXPECT_EQ(TextAt(1, 3), L"Ayva");
  EXPECT_EQ(TextAt(0, 2), L"2");
  // Painting left the dataset where it was.
  EXPECT_EQ(F.DS->FieldByName(L"ID")->GetAsInteger(), 1);
}

TEST(AxisGridFieldMap, GrowsByDoublingAndMapsMissingFieldsToMinusOne) {
  struct TCase {
    Integer Named;
    Integer MapSize;
  };
  for (const TCase& C : {TCase{1, 8}, TCase{8, 8}, TCase{9, 16}, TCase{16, 16}, TCase{17, 32}}) {
    TAxisGridFixture F(false);
    TArrayDataSet* DS = AxisGridWideDataSet(F.Form.Form, 16);
    F.Source->SetDataSet(DS);
    F.Bars()->BeginUpdate();
    F.Bars()->Clear();
    // The last of 17 names a field the dataset lacks.
    for (Integer I = 1; I <= C.Named; ++I) F.Bars()->Add()->SetFieldName(I == 17 ? String(L"GHOST") : L"F" + IntToStr(I));
    F.Bars()->EndUpdate();
    F.Grid->SetDataSource(F.Source);
    TAxisGridDataLinkKv* Link = F.Grid->GetDataLink();
    EXPECT_EQ(Link->GetFieldCount(), C.Named) << C.Named;
    EXPECT_EQ(Link->GetFieldMapSize(), C.MapSize) << C.Named;
    EXPECT_TRUE(Link->GetSparseMap());
    EXPECT_EQ(Link->GetMappedIndex(C.Named - 1), C.Named == 17 ? -1 : C.Named - 1);
    EXPECT_EQ(Link->GetMappedIndex(C.Named), -1);
    EXPECT_EQ(Link->GetFields(C.Named - 1) == nullptr, C.Named == 17);
    EXPECT_EQ(Link->GetDefaultFields(), C.Named != 17);
    if (C.Named == 17) {
      EXPECT_EQ(F.Bar(16)->GetField(), nullptr);
      EXPECT_EQ(F.Bar(16)->DisplayText(), L"");
      EXPECT_FALSE(F.Bar(16)->CanModify(false));
      EXPECT_FALSE(F.Grid->ValidFieldIndex(16));
    }
  }
}

TEST(AxisGridFieldMap, DefaultMapRefusesAMissingFieldByName) {
  TAxisGridFixture F;
  TAxisGridDataLinkKv* Link = F.Grid->GetDataLink();
  Integer Before = Link->GetFieldCount();
  EXPECT_THROW(Link->AddMapping(L"GHOST"), EDatabaseError);
  EXPECT_EQ(Link->GetFieldCount(), Before);
  EXPECT_EQ(Link->GetFields(-1), nullptr);
  EXPECT_EQ(Link->GetFields(Before), nullptr);
}

TEST(AxisGridLocks, LayoutChangesInsideAnUpdateRunOnePass) {
  TAxisGridFixture F;
  F.Grid->LayoutPasses = 0;
  F.Grid->BeginUpdate();
  F.Grid->BeginUpdate();
  for (Integer I = 0; I < 3; ++I) F.Grid->LayoutChanged();
  F.Grid->EndUpdate();
  EXPECT_EQ(F.Grid->LayoutPasses, 0);
  F.Grid->EndUpdate();
  EXPECT_EQ(F.Grid->LayoutPasses, 1);
  // Inside a layout block: the block's own pass, no second one.
  F.Grid->BeginLayout();
  F.Grid->LayoutChanged();
  F.Grid->EndLayout();
  EXPECT_EQ(F.Grid->LayoutPasses, 2);
  // Unbalanced ends stop at zero.
  F.Grid->EndUpdate();
  F.Grid->EndLayout();
  EXPECT_EQ(F.Grid->GetUpdateLock(), 0);
  EXPECT_EQ(F.Grid->GetLayoutLock(), 0);
}

TEST(AxisGridLocks, NestingDeeperThanAByteStillBalances) {
  TAxisGridFixture F;
  F.Grid->LayoutPasses = 0;
  for (Integer I = 0; I < 300; ++I) F.Grid->BeginLayout();
  for (Integer I = 0; I < 299; ++I) F.Grid->EndLayout();
  EXPECT_EQ(F.Grid->LayoutPasses, 0);
  F.Grid->EndLayout();
  EXPECT_EQ(F.Grid->LayoutPasses, 1);
  EXPECT_EQ(F.Grid->GetLayoutLock(), 0);
}

TEST(AxisGridLocks, DeferredLayoutQueuesOneMessage) {
  TAxisGridFixture F;
  Application->ProcessMessages();
  F.Grid->LayoutPasses = 0;
  for (Integer I = 0; I < 2; ++I) {
    F.Grid->BeginLayout();
    F.Grid->EndLayoutDeferred();
  }
  EXPECT_EQ(F.Grid->LayoutPasses, 0);
  EXPECT_EQ(F.Grid->GetLayoutLock(), 0);
  EXPECT_EQ(AxisGridQueuedLayoutMessages(F.Grid), 1);
  Application->ProcessMessages();
  EXPECT_EQ(F.Grid->LayoutPasses, 1);
  EXPECT_EQ(AxisGridQueuedLayoutMessages(F.Grid), 0);
  // A pass run directly takes a queued message with it.
  F.Grid->BeginLayout();
  F.Grid->EndLayoutDeferred();
  F.Grid->LayoutChanged();
  EXPECT_EQ(AxisGridQueuedLayoutMessages(F.Grid), 0);
}

TEST(AxisGridLocks, LoadedLaysOutAndQueuesOneDeferredPass) {
  TAxisGridFixture F;
  Application->ProcessMessages();
  F.Grid->LayoutPasses = 0;
  F.Grid->Loaded();
  EXPECT_EQ(F.Grid->LayoutPasses, 1);
  EXPECT_EQ(AxisGridQueuedLayoutMessages(F.Grid), 1);
  Application->ProcessMessages();
  EXPECT_EQ(F.Grid->LayoutPasses, 2);
  EXPECT_EQ(F.Grid->GetUpdateLock(), 0);
  EXPECT_EQ(F.Grid->GetLayoutLock(), 0);
}

TEST(AxisGridLocks, AFailingPassStillClosesTheBlock) {
  TAxisGridFixture F;
  F.Grid->FailNextLayout = true;
  F.Grid->BeginLayout();
  EXPECT_THROW(F.Grid->EndLayout(), Exception);
  EXPECT_EQ(F.Grid->GetLayoutLock(), 0);
  EXPECT_EQ(F.Grid->GetUpdateLock(), 0);
  EXPECT_EQ(F.Bars()->GetUpdateCount(), 0);
  F.Grid->LayoutPasses = 0;
  F.Grid->LayoutChanged();
  EXPECT_EQ(F.Grid->LayoutPasses, 1);
}

TEST(AxisGridCore, TextsOfTheOperationsDescendantsSupply) {
  TAxisGridFixture F;
  TCustomDBAxisGridKv Bare(nullptr);
  EXPECT_EQ(Bare.GetSelectedIndex(), -1);
  EXPECT_EQ(Bare.GetSelectedField(), nullptr);
  EXPECT_EQ(CaughtMessage([&] { Bare.SetSelectedIndex(0); }),
            L" TCustomDBAxisGridKv.SetSelectedIndex must be realized in the inherited class.");
  EXPECT_EQ(CaughtMessage([&] { Bare.GetTitleFont(); }), L"Write TCustomDBAxisGridKv.GetTitleFont in the inherited class");
  EXPECT_EQ(CaughtMessage([&] { F.Bar(0)->SetTextArea(TRect(0, 0, 1, 1)); }),
            L" TAxisBarKv.SetTextArea must be realized in the inherited class.");
  EXPECT_EQ(Bare.GetAxisBarsPropertyName(), L"<Define property Name>");
  EXPECT_TRUE(Bare.IsSidePropertyName(L"DataSource"));
  EXPECT_FALSE(Bare.IsSidePropertyName(L"DataSet"));
  EXPECT_TRUE(Bare.CanSideOwnComponent(F.Source));
  EXPECT_FALSE(Bare.CanSideOwnComponent(F.DS));
}

TEST(AxisGridCore, FieldAxisBarsByName) {
  TAxisGridFixture F;
  EXPECT_EQ(F.Grid->FindFieldColumn(L"name"), F.Bar(1));
  EXPECT_EQ(F.Grid->GetFieldAxisBars(L"PRICE"), F.Bar(2));
  EXPECT_EQ(F.Grid->FindFieldColumn(L"Nope"), nullptr);
  EXPECT_EQ(CaughtMessage([&] { F.Grid->GetFieldAxisBars(L"Nope"); }), L"Alan 'Nope' bulunamadı");
  EXPECT_THROW(F.Grid->GetFieldAxisBars(L"Nope"), EInvalidGridOperationKv);
  // The selected field follows the current column; a field no bar shows changes nothing.
  F.Grid->SetSelectedField(F.DS->FieldByName(L"PRICE"));
  EXPECT_EQ(F.Grid->GetSelectedField(), F.DS->FieldByName(L"PRICE"));
  F.Grid->SetSelectedField(F.DS->FieldByName(L"NOTE"));
  F.Grid->SetSelectedField(nullptr);
  EXPECT_EQ(F.Grid->GetSelectedField(), F.DS->FieldByName(L"PRICE"));
}

TEST(AxisGridCore, FocusControlSelectsTheFieldsBar) {
  TAxisGridFixture F;
  F.DS->FieldByName(L"PRICE")->FocusControl();
  EXPECT_EQ(F.Grid->GetSelectedField(), F.DS->FieldByName(L"PRICE"));
  // A field no bar shows leaves the selection as it is.
  F.DS->FieldByName(L"NOTE")->FocusControl();
  EXPECT_EQ(F.Grid->GetSelectedField(), F.DS->FieldByName(L"PRICE"));
}

TEST(AxisGridCore, SameDataSourceAgainChangesNothing) {
  TAxisGridFixture F;
  F.Grid->LayoutPasses = 0;
  F.Grid->SetDataSource(F.Source);
  EXPECT_EQ(F.Grid->LayoutPasses, 0);
  EXPECT_TRUE(F.Grid->DataSetActive());
  F.DS->Close();
  EXPECT_FALSE(F.Grid->DataSetActive());
}

TEST(AxisGridRemoval, ComponentsThatGoAreDroppedByEveryBar) {
  TAxisGridFixture F;
  auto* Images = new TImageList(F.Form.Form);
  auto* Menu = new TPopupMenu(F.Form.Form);
  auto* ListSource = new TDataSource(F.Form.Form);
  for (Integer I = 0; I < 2; ++I) {
    F.Bar(I)->SetImageList(Images);
    F.Bar(I)->SetPopupMenu(Menu);
    F.Bar(I)->GetTitle()->SetPopupMenu(Menu);
    F.Bar(I)->GetDropDownBox()->SetListSource(ListSource);
  }
  delete Images;
  delete Menu;
  delete ListSource;
  for (Integer I = 0; I < 2; ++I) {
    EXPECT_EQ(F.Bar(I)->GetImageList(), nullptr);
    EXPECT_EQ(F.Bar(I)->GetPopupMenu(), nullptr);
    EXPECT_EQ(F.Bar(I)->GetTitle()->GetPopupMenu(), nullptr);
    EXPECT_EQ(F.Bar(I)->GetDropDownBox()->GetListSource(), nullptr);
  }
  // The grid's own data source going: the grid lets go of it.
  delete F.Source;
  EXPECT_EQ(F.Grid->GetDataSource(), nullptr);
  EXPECT_EQ(F.Bars()->GetCount(), 1);
}

TEST(AxisGridRemoval, FieldsFreedUnderCustomizedBars) {
  TAxisGridFixture F;
  F.Bars()->SetState(csCustomized);
  ASSERT_EQ(F.Bars()->GetCount(), 4);
  EXPECT_EQ(F.Bar(3)->GetFieldRef(), F.DS->FieldByName(L"NOTE"));
  // Closing frees the dataset's default fields: no bar may keep one.
  F.DS->Close();
  for (Integer I = 0; I < 4; ++I) {
    EXPECT_EQ(F.Bar(I)->GetFieldRef(), nullptr) << I;
    EXPECT_EQ(F.Bar(I)->DisplayText(), L"") << I;
  }
  EXPECT_EQ(F.Bar(1)->GetFieldName(), L"NAME");
  F.DS->Open();
  EXPECT_EQ(F.Bar(1)->GetField(), F.DS->FieldByName(L"NAME"));
}

TEST(AxisGridCore, RecordChangeRefreshesTheEditorOnlyWhenItsTextDiffers) {
  TAxisGridFixture F;
  ASSERT_TRUE(F.Go(1));
  F.Grid->SetSelectedIndex(1);
  F.Grid->SetEditTextValue(L"Elma");
  F.DS->Edit();
  F.Grid->EditorInvalidations = 0;
  F.DS->FieldByName(L"PRICE")->SetAsFloat(3);  // another field: the editor's text is the same
  EXPECT_EQ(F.Grid->EditorInvalidations, 0);
  F.DS->FieldByName(L"NAME")->SetAsString(L"Kiraz");
  EXPECT_EQ(F.Grid->EditorInvalidations, 1);
  F.DS->Cancel();
}

TEST(AxisGridCore, ScalingScalesOnlyAssignedBarFonts) {
  TAxisGridFixture F;
  F.Bar(1)->GetFont()->SetHeight(-20);
  F.Grid->ChangeScale(3, 2, false);
  EXPECT_EQ(F.Bar(1)->GetFont()->GetHeight(), -30);
  EXPECT_TRUE(F.Bar(1)->GetAssignedValues().Contains(cvFont));
  EXPECT_FALSE(F.Bar(0)->GetAssignedValues().Contains(cvFont));
  EXPECT_EQ(F.Bar(0)->GetFont()->GetHeight(), F.Grid->GetFont()->GetHeight());
}
