// The axis bar over the test grid: its type, display and edit texts from pick and key lists,
// image indexes, defaults taken from the field and the grid, the modify tests, and writing a
// value back through UpdateDataValues and the grid's UpdateData.

#include <gtest/gtest.h>

#include "framework/ImgList.h"
#include "tests/kvlib/axisgrid/AxisGridTestUtil.h"

using namespace axisgridtest;

namespace {

void AxisBarSetLists(TAxisBarKv* Bar, std::initializer_list<const wchar_t*> Keys,
                     std::initializer_list<const wchar_t*> Picks) {
  TStringList K, P;
  for (const wchar_t* S : Keys) K.Add(S);
  for (const wchar_t* S : Picks) P.Add(S);
  Bar->SetKeyList(Keys.size() ? &K : nullptr);
  Bar->SetPickList(Picks.size() ? &P : nullptr);
}

}  // namespace

TEST(AxisBarText, KeyAndPickLists) {
  TAxisGridFixture F;
  TAxisBarKv* Bar = F.Bar(0);  // ID
  AxisBarSetLists(Bar, {L"1", L"2"}, {L"One", L"Two"});
  struct TCase {
    Integer Id;
    Integer NotInKeyListIndex;
    const wchar_t* Text;
    Integer ImageIndex;
  };
  for (const TCase& C : {TCase{2, -1, L"Two", 1}, TCase{1, -1, L"One", 0}, TCase{3, -1, L"", -1},
                         TCase{3, 0, L"One", 0}, TCase{3, 5, L"", 5}}) {
    ASSERT_TRUE(F.Go(C.Id));
    Bar->SetNotInKeyListIndex(C.NotInKeyListIndex);
    EXPECT_EQ(Bar->GetBarType(), ctKeyPickList);
    EXPECT_EQ(Bar->DisplayText(), C.Text) << C.Id << " " << C.NotInKeyListIndex;
    EXPECT_EQ(Bar->EditText(), C.Text);
    EXPECT_EQ(Bar->GetImageIndex(), C.ImageIndex) << C.Id << " " << C.NotInKeyListIndex;
  }
}

TEST(AxisBarText, ImageListBarShowsNoText) {
  TAxisGridFixture F;
  TAxisBarKv* Bar = F.Bar(0);
  AxisBarSetLists(Bar, {L"1", L"2"}, {L"One", L"Two"});
  TImageList Images(nullptr);
  Bar->SetImageList(&Images);
  ASSERT_TRUE(F.Go(2));
  EXPECT_EQ(Bar->GetBarType(), ctKeyImageList);
  EXPECT_EQ(Bar->DisplayText(), L"");
  EXPECT_EQ(Bar->EditText(), L"");
  EXPECT_EQ(Bar->GetImageIndex(), 1);
  EXPECT_FALSE(Bar->GetTextEditing());
  Bar->SetShowImageAndText(true);
  EXPECT_EQ(Bar->GetBarType(), ctKeyPickList);
  EXPECT_EQ(Bar->DisplayText(), L"Two");
  Bar->SetImageList(nullptr);
}

TEST(AxisBarText, BarTypesInOrder) {
  TAxisGridFixture F;
  TAxisBarKv* Bar = F.Bar(1);  // NAME
  EXPECT_EQ(Bar->GetBarType(), ctCommon);
  AxisBarSetLists(Bar, {}, {L"Elma", L"Armut"});
  EXPECT_EQ(Bar->GetBarType(), ctPickList);
  Bar->SetCheckboxes(true);
  EXPECT_EQ(Bar->GetBarType(), ctCheckboxes);
  Bar->GetCellButtons()->Add()->SetHorzPlacement(ebhpInContentKv);
  EXPECT_EQ(Bar->GetBarType(), ctInContentCellButton);
}

TEST(AxisBarText, BooleanFieldIsACheckBoxBar) {
  ctltest::TFormHolder Form;
  auto* DS = new TArrayDataSet(Form.Form);
  DS->GetFieldDefs()->Add(L"DONE", ftBoolean);
  DS->Open();
  DS->AppendRecord({true});
  auto* Source = new TDataSource(Form.Form);
  Source->SetDataSet(DS);
  auto* Grid = new TTestAxisGridKv(Form.Form);
  Grid->SetParent(Form.Form);
  Grid->SetDataSource(Source);
  TAxisBarKv* Bar = Grid->GetAxisBars()->GetAxisBar(0);
  EXPECT_EQ(Bar->GetBarType(), ctCheckboxes);
  EXPECT_TRUE(Bar->GetCheckboxes());
  Bar->SetCheckboxes(false);
  EXPECT_EQ(Bar->GetBarType(), ctCommon);
  EXPECT_TRUE(Bar->GetAssignedValues().Contains(cvCheckboxes));
}

TEST(AxisBarText, FormattedValues) {
  TAxisGridFixture F;
  TAxisBarKv* Price = F.Bar(2);
  ASSERT_TRUE(F.Go(3));
  Price->SetDisplayFormat(L"0.000");
  EXPECT_EQ(Price->DisplayText(), L"6" + String(1, FormatSettings.DecimalSeparator) + L"250");
  EXPECT_EQ(Price->EditValue().AsDouble(), 6.25);
  // Closing drops the default bars for one empty one.
  F.DS->Close();
  ASSERT_EQ(F.Bars()->GetCount(), 1);
  EXPECT_EQ(F.Bar(0)->DisplayText(), L"");
}

TEST(AxisBarDefaults, FollowFieldAndGridUntilSet) {
  TAxisGridFixture F;
  TAxisBarKv* Name = F.Bar(1);
  EXPECT_EQ(Name->GetColor(), F.Grid->GetColor());
  EXPECT_TRUE(Name->GetWordWrap());
  EXPECT_FALSE(F.Bar(0)->GetWordWrap());
  EXPECT_EQ(Name->GetLayout(), tlTop);
  F.Grid->GetAxisBarDefValues()->SetLayout(tlCenter);
  EXPECT_EQ(Name->GetLayout(), tlCenter);
  // A default bar with an active link hands alignment and read-only to its field.
  Name->SetAlignment(taRightJustify);
  Name->SetReadOnly(true);
  EXPECT_EQ(F.DS->FieldByName(L"NAME")->GetAlignment(), taRightJustify);
  EXPECT_TRUE(F.DS->FieldByName(L"NAME")->GetReadOnly());
  EXPECT_EQ(Name->GetAlignment(), taRightJustify);
  EXPECT_TRUE(Name->GetReadOnly());
  EXPECT_TRUE(Name->GetAssignedValues().Empty());
  // The grid's font reaches bars whose font was not set.
  F.Grid->GetFont()->SetSize(14);
  EXPECT_EQ(Name->GetFont()->GetSize(), 14);
  EXPECT_FALSE(Name->GetAssignedValues().Contains(cvFont));
  Name->GetFont()->SetSize(9);
  F.Grid->GetFont()->SetSize(16);
  EXPECT_EQ(Name->GetFont()->GetSize(), 9);
  EXPECT_TRUE(Name->GetAssignedValues().Contains(cvFont));
}

TEST(AxisBarModify, CanModifyAndInplaceEditing) {
  TAxisGridFixture F;
  TAxisBarKv* Name = F.Bar(1);
  EXPECT_TRUE(Name->CanModify(false));
  EXPECT_TRUE(CanEditInplace(Name));
  EXPECT_TRUE(Name->CanModify(true));
  EXPECT_EQ(F.DS->GetState(), dsEdit);
  EXPECT_TRUE(F.Grid->GetDataLink()->GetModified());
  F.DS->Cancel();
  F.Grid->SetReadOnly(true);
  EXPECT_FALSE(Name->CanModify(false));
  EXPECT_FALSE(CanEditInplace(Name));
  F.Grid->SetReadOnly(false);
  F.DS->SetReadOnly(true);
  EXPECT_FALSE(Name->CanModify(true));
  EXPECT_EQ(F.DS->GetState(), dsBrowse);
}

TEST(AxisBarModify, AcceptedKeys) {
  TAxisGridFixture F;
  EXPECT_TRUE(F.Bar(0)->CanEditAcceptKey(L'7'));
  EXPECT_FALSE(F.Bar(0)->CanEditAcceptKey(0));
  // Without a field only a bar that writes the value itself takes keys.
  TAxisBarKv* Ghost = F.Bars()->Add();
  Ghost->SetFieldName(L"GHOST");
  EXPECT_FALSE(Ghost->CanEditAcceptKey(L'a'));
  EXPECT_EQ(Ghost->GetAcceptableEditText(L"abc"), L"");
  Ghost->SetOnUpdateData([](TObject*, String&, Variant&, bool&, bool&) {});
  EXPECT_TRUE(Ghost->CanEditAcceptKey(L'a'));
  EXPECT_EQ(Ghost->GetAcceptableEditText(L"abc"), L"abc");
}

TEST(AxisBarUpdate, WritesThroughTheFieldAndClearsTheInUpdateFlag) {
  TAxisGridFixture F;
  TAxisGridDataLinkKv* Link = F.Grid->GetDataLink();
  ASSERT_TRUE(F.Go(1));
  F.DS->Edit();
  F.Bar(1)->SetValueAsText(L"Kiraz");
  EXPECT_EQ(F.DS->FieldByName(L"NAME")->GetAsString(), L"Kiraz");
  F.Bar(2)->SetValueAsVariant(9.5);
  EXPECT_EQ(F.DS->FieldByName(L"PRICE")->GetAsFloat(), 9.5);
  EXPECT_FALSE(Link->GetInUpdateData());
  // The field's own refusal passes on, and the flag is still cleared.
  EXPECT_THROW(F.Bar(0)->SetValueAsText(L"abc"), Exception);
  EXPECT_FALSE(Link->GetInUpdateData());
  // So is a failure in the handler.
  F.Bar(1)->SetOnUpdateData([](TObject*, String&, Variant&, bool&, bool&) { throw Exception(L"refused"); });
  EXPECT_EQ(CaughtMessage([&] { F.Bar(1)->SetValueAsText(L"X"); }), L"refused");
  EXPECT_FALSE(Link->GetInUpdateData());
  // A handler may rewrite the value, or take it over.
  F.Bar(1)->SetOnUpdateData([](TObject*, String& Text, Variant&, bool&, bool&) { Text = L"[" + Text + L"]"; });
  F.Bar(1)->SetValueAsText(L"Nar");
  EXPECT_EQ(F.DS->FieldByName(L"NAME")->GetAsString(), L"[Nar]");
  F.Bar(1)->SetOnUpdateData([](TObject*, String&, Variant&, bool&, bool& Handled) { Handled = true; });
  F.Bar(1)->SetValueAsText(L"Dut");
  EXPECT_EQ(F.DS->FieldByName(L"NAME")->GetAsString(), L"[Nar]");
  F.DS->Cancel();
}

TEST(AxisBarUpdate, GridUpdateDataByBarType) {
  struct TCase {
    const char* Name;
    Integer Col;
    bool KeyPick;
    const wchar_t* EditText;
    Variant EditKey;
    const wchar_t* Expected;
    Integer NotInListCalls;
  };
  const TCase Cases[] = {
      {"plain", 1, false, L"Kiraz", Null, L"Kiraz", 0},
      {"pick list, text in the list", 1, false, L"Armut", Null, L"Armut", 0},
      {"pick list, text not in the list", 1, false, L"Kavun", Null, L"Kavun", 1},
      {"key pick list writes the key", 0, true, L"Two", Variant(L"2"), L"2", 0},
  };
  for (const TCase& C : Cases) {
    TAxisGridFixture F;
    TAxisBarKv* Bar = F.Bar(C.Col);
    Integer Calls = 0;
    String Seen;
    Bar->SetOnNotInList([&](TObject*, const String& Text, bool&) {
      ++Calls;
      Seen = Text;
    });
    if (C.KeyPick)
      AxisBarSetLists(Bar, {L"1", L"2"}, {L"One", L"Two"});
    else if (std::string(C.Name) != "plain")
      AxisBarSetLists(Bar, {}, {L"Elma", L"Armut"});
    ASSERT_TRUE(F.Go(3));
    F.Grid->SetSelectedIndex(C.Col);
    ASSERT_EQ(F.Grid->GetSelectedIndex(), C.Col);
    F.DS->Edit();
    F.Grid->SetEditTextValue(C.EditText);
    F.Grid->SetEditKeyValue(C.EditKey);
    F.Grid->GetDataLink()->Modified();
    F.DS->Post();
    EXPECT_EQ(F.DS->FieldByName(C.Col == 0 ? L"ID" : L"NAME")->GetAsString(), C.Expected) << C.Name;
    EXPECT_EQ(Calls, C.NotInListCalls) << C.Name;
    if (C.NotInListCalls) EXPECT_EQ(Seen, C.EditText);
  }
}

TEST(AxisBarText, EditorStartingTextAndKey) {
  TAxisGridFixture F;
  ASSERT_TRUE(F.Go(2));
  EXPECT_EQ(GetAxisBarEditText(F.Bar(1)), L"Armut");
  EXPECT_EQ(F.Grid->GetEditTextValue(), L"Armut");
  EXPECT_TRUE(F.Grid->GetEditKeyValue().IsNull());
  AxisBarSetLists(F.Bar(0), {L"1", L"2"}, {L"One", L"Two"});
  EXPECT_EQ(GetAxisBarEditText(F.Bar(0)), L"Two");
  EXPECT_EQ(VarToStr(F.Grid->GetEditKeyValue()), L"2");
  // The mask: the bar's own, else the field's unless the bar has a key list.
  F.DS->FieldByName(L"NAME")->SetEditMask(L">L<l;0;_");
  EXPECT_EQ(GetAxisBarEditMask(F.Bar(1)), L">L<l;0;_");
  F.Bar(1)->SetEditMask(L"00;0;_");
  EXPECT_EQ(GetAxisBarEditMask(F.Bar(1)), L"00;0;_");
  EXPECT_EQ(GetAxisBarEditMask(F.Bar(0)), L"");
}

TEST(AxisBarText, WordWrapOfTheCurrentLine) {
  TAxisGridFixture F;
  TAxisBarKv* Name = F.Bar(1);
  Name->GetFont()->SetHeight(-12);
  struct TCase {
    Integer RowHeight;
    bool Wraps;
  };
  for (const TCase& C : {TCase{100, true}, TCase{10, false}}) EXPECT_EQ(Name->CurLineWordWrap(C.RowHeight), C.Wraps);
  Name->SetWordWrap(false);
  EXPECT_FALSE(Name->CurLineWordWrap(100));
}
