// The bars collection: its state from the first bar, adding a bar per field, names that follow
// positions, restoring defaults, copying inside one layout, and the plain bar list.

#include <gtest/gtest.h>

#include "tests/kvlib/axisgrid/AxisGridTestUtil.h"

using namespace axisgridtest;

TEST(AxisBarsCollection, StateFollowsTheFirstBar) {
  TAxisGridFixture F;
  EXPECT_EQ(F.Bars()->GetState(), csDefault);
  F.Bars()->SetState(csCustomized);
  // Every field, the hidden one too, as stored bars.
  EXPECT_EQ(F.BarNames(),
            (std::vector<String>{L"Column_0_ID", L"Column_1_NAME", L"Column_2_PRICE", L"Column_3_NOTE"}));
  EXPECT_EQ(F.Bars()->GetState(), csCustomized);
  for (Integer I = 0; I < 4; ++I) EXPECT_TRUE(F.Bar(I)->GetStored());
  EXPECT_EQ(F.Bar(3)->GetField(), F.DS->FieldByName(L"NOTE"));
  // Back to default: empty, and the grid's next pass makes default bars again.
  F.Bars()->SetState(csDefault);
  EXPECT_EQ(F.Bars()->GetState(), csDefault);
  EXPECT_EQ(F.Bars()->GetCount(), 0);
  F.Grid->LayoutChanged();
  EXPECT_EQ(F.BarNames(), (std::vector<String>{L"Column_0_ID", L"Column_1_NAME", L"Column_2_PRICE"}));
}

TEST(AxisBarsCollection, CustomizingWithoutADataSourceAddsNothing) {
  TAxisGridFixture F(false);
  F.Bars()->SetState(csCustomized);
  EXPECT_EQ(F.Bars()->GetState(), csDefault);
  EXPECT_EQ(F.Bars()->GetCount(), 0);
}

TEST(AxisBarsCollection, NamesFollowPositions) {
  TAxisGridFixture F;
  F.Bars()->SetState(csCustomized);
  TAxisBarKv* Note = F.Bar(3);
  Note->SetIndex(0);
  EXPECT_EQ(Note->GetName(), L"Column_0_NOTE");
  EXPECT_EQ(F.Bars()->FindBarByName(L"Column_0_NOTE"), Note);
  EXPECT_EQ(F.Bars()->FindBarByName(L"Column_3_NOTE"), nullptr);
  EXPECT_EQ(F.Bars()->FindBarByName(L"column_0_note"), nullptr);
  TStringList Names;
  F.Bars()->GetBarNames(&Names);
  EXPECT_EQ(Names.GetText(), L"Column_0_NOTE\r\nColumn_1_ID\r\nColumn_2_NAME\r\nColumn_3_PRICE\r\n");
  EXPECT_TRUE(F.Bars()->CheckItemInList(Note));
  TAxisGridFixture Other;
  EXPECT_FALSE(Other.Bars()->CheckItemInList(Note));
}

TEST(AxisBarsCollection, RestoreDefaultsClearsAssignedValues) {
  TAxisGridFixture F;
  F.Bars()->SetState(csCustomized);
  F.Bar(1)->SetColor(clRed);
  F.Bar(1)->GetFont()->SetSize(20);
  TStringList Picks;
  Picks.Add(L"Elma");
  F.Bar(1)->SetPickList(&Picks);
  ASSERT_TRUE(F.Bar(1)->GetAssignedValues().Contains(cvColor));
  F.Bars()->RestoreDefaults();
  EXPECT_TRUE(F.Bar(1)->GetAssignedValues().Empty());
  EXPECT_EQ(F.Bar(1)->GetColor(), F.Grid->GetColor());
  EXPECT_EQ(F.Bar(1)->GetFont()->GetSize(), F.Grid->GetFont()->GetSize());
  EXPECT_FALSE(F.Bar(1)->HasPickList());
  EXPECT_EQ(F.Bars()->GetUpdateCount(), 0);
}

TEST(AxisBarsCollection, AddingBarsOutsideAnUpdateLaysOutOnceEach) {
  TAxisGridFixture F;
  F.Grid->LayoutPasses = 0;
  F.Bars()->Add()->SetFieldName(L"PRICE");
  // A stored bar after default ones: the defaults go.
  EXPECT_EQ(F.Grid->LayoutPasses, 1);
  EXPECT_EQ(F.BarNames(), (std::vector<String>{L"Column_0_PRICE"}));
  F.Grid->LayoutPasses = 0;
  F.Bars()->BeginUpdate();
  F.Bars()->Add()->SetFieldName(L"ID");
  F.Bars()->Add()->SetFieldName(L"NAME");
  F.Bars()->EndUpdate();
  EXPECT_EQ(F.Grid->LayoutPasses, 0);
  F.Grid->LayoutChanged();
  EXPECT_EQ(F.Bar(2)->GetField(), F.DS->FieldByName(L"NAME"));
}

TEST(AxisBarsCollection, DeletingABarReachesTheGridHookFirst) {
  struct TRecordingBars : TGridAxisBarsKv {
    using TGridAxisBarsKv::TGridAxisBarsKv;
    std::vector<Integer> Kinds;
    void AxisBarChanged(TAxisBarKv*, Integer Kind) override { Kinds.push_back(Kind); }
  };
  TAxisGridFixture F;
  TRecordingBars Bars(F.Grid, TTestColumnKv::StaticClass());
  Bars.BeginUpdate();
  Bars.Add();
  Bars.Add();
  Bars.Add();
  Bars.GetAxisBar(2)->SetIndex(0);
  Bars.Delete(1);
  Bars.EndUpdate();
  EXPECT_EQ(Bars.Kinds, (std::vector<Integer>{2, 1, 0}));
}

TEST(AxisBarsCollection, PlainListAssign) {
  TAxisGridFixture F;
  TAxisBarsKvList A, B;
  A.Add(F.Bar(0));
  A.Add(F.Bar(2));
  B.Add(F.Bar(1));
  B.Assign(&A);
  ASSERT_EQ(B.GetCount(), 2);
  EXPECT_EQ(B.GetAxisBar(0), F.Bar(0));
  EXPECT_EQ(B.GetAxisBar(1), F.Bar(2));
}
