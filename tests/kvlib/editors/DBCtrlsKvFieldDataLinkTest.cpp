// The field data link: its own value while unbound, one field or a list of fields while bound,
// the switch between the two, the errors of a bad name or value, and the notices it passes on.

#include "kvlib/editors/DBCtrlsKv.h"

#include <gtest/gtest.h>

#include "framework/DB.h"
#include "framework/StdCtrls.h"
#include "framework/controls/ControlsTestUtil.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

// A dataset of two records with a text and two integer fields, a source and a link with its
// notices counted.
struct TFieldLinkFixture {
  TArrayDataSet DS{nullptr};
  TDataSource Source{nullptr};
  TFieldDataLinkKv Link;
  Integer DataChanges = 0, EditingChanges = 0, UpdateDatas = 0;

  TFieldLinkFixture() {
    DS.GetFieldDefs()->Add(L"NAME", ftWideString, 20);
    DS.GetFieldDefs()->Add(L"A", ftInteger);
    DS.GetFieldDefs()->Add(L"B", ftInteger);
    DS.Open();
    DS.AppendRecord({L"Ali", 1, 2});
    DS.AppendRecord({L"Veli", 3, 4});
    DS.First();
    Source.SetDataSet(&DS);
    Link.SetOnDataChange([this](TObject*) { ++DataChanges; });
    Link.SetOnEditingChange([this](TObject*) { ++EditingChanges; });
    Link.SetOnUpdateData([this](TObject*) { ++UpdateDatas; });
  }
  ~TFieldLinkFixture() { Link.SetDataSource(nullptr); }
  void Bind(const String& Names, bool Multi = false) {
    Link.SetMultiFields(Multi);
    Link.SetDataSource(&Source);
    Link.SetFieldName(Names);
  }
  Variant Value(const String& Field) { return DS.FieldByName(Field)->GetValue(); }
};

TEST(FieldDataLink, NewLinkHoldsItsOwnNullValue) {
  TFieldDataLinkKv Link;
  EXPECT_TRUE(Link.GetActive());
  EXPECT_TRUE(Link.GetDataIndepended());
  EXPECT_TRUE(Link.GetCanModify());
  EXPECT_TRUE(VarIsNull(Link.DataIndependentValue));
  EXPECT_EQ(Link.GetField(), nullptr);
  EXPECT_EQ(Link.GetFieldsField(0), nullptr);
}

// Every switch between bound and unbound drops the value; a name without a source is bound but
// inactive.
TEST(FieldDataLink, SwitchingBetweenBoundAndUnboundResetsTheValue) {
  TFieldLinkFixture F;
  struct TStep {
    const char* Name;
    std::function<void()> Act;
    bool Independent, Active;
  };
  const TStep Steps[] = {
      {"a field name alone", [&] { F.Link.SetFieldName(L"NAME"); }, false, false},
      {"the name cleared again", [&] { F.Link.SetFieldName(L""); }, true, true},
      {"a source alone", [&] { F.Link.SetDataSource(&F.Source); }, false, false},
      {"a field on the source", [&] { F.Link.SetFieldName(L"NAME"); }, false, true},
      {"both cleared", [&] { F.Link.SetFieldName(L""); F.Link.SetDataSource(nullptr); }, true, true},
  };
  for (const TStep& S : Steps) {
    F.Link.DataIndependentValue = 7;
    bool Was = F.Link.GetDataIndepended();
    S.Act();
    EXPECT_EQ(F.Link.GetDataIndepended(), S.Independent) << S.Name;
    EXPECT_EQ(F.Link.GetActive(), S.Active) << S.Name;
    if (Was != S.Independent) EXPECT_TRUE(VarIsNull(F.Link.DataIndependentValue)) << S.Name;
    else EXPECT_EQ(F.Link.DataIndependentValue.AsInteger(), 7) << S.Name;
  }
}

TEST(FieldDataLink, UnboundValueReloadsTheControlAndEditsWithoutADataset) {
  TFieldDataLinkKv Link;
  Integer Changes = 0, Editing = 0, Updates = 0;
  Link.SetOnDataChange([&](TObject*) { ++Changes; });
  Link.SetOnEditingChange([&](TObject*) { ++Editing; });
  Link.SetOnUpdateData([&](TObject*) { ++Updates; });
  Link.SetText(L"ışık");
  EXPECT_EQ(VarToStr(Link.DataIndependentValue), L"ışık");
  Link.SetValue(42);
  EXPECT_EQ(Link.DataIndependentValue.AsInteger(), 42);
  EXPECT_EQ(Changes, 2);

  EXPECT_TRUE(Link.Edit());
  EXPECT_TRUE(Link.Edit());  // already editing: no second notice
  EXPECT_EQ(Editing, 1);
  Link.UpdateRecord();  // nothing modified: nothing to write
  EXPECT_EQ(Updates, 0);
  EXPECT_FALSE(Link.GetEditing());

  Link.Edit();
  Link.Modified();
  Link.UpdateRecord();
  EXPECT_EQ(Updates, 1);
  EXPECT_FALSE(Link.GetEditing());
  EXPECT_FALSE(Link.GetModified());

  Link.SetReadOnly(true);
  Integer Before = Editing;
  EXPECT_FALSE(Link.Edit());
  EXPECT_EQ(Editing, Before);
}

TEST(FieldDataLink, BoundLinkEditsTheDatasetAndWritesThroughTheField) {
  TFieldLinkFixture F;
  F.Bind(L"A");
  ASSERT_EQ(F.Link.GetField(), F.DS.FieldByName(L"A"));
  EXPECT_TRUE(F.Link.GetActive());
  EXPECT_TRUE(F.Link.GetDataSetActive());
  EXPECT_TRUE(F.Link.Edit());
  EXPECT_EQ(F.DS.GetState(), dsEdit);
  F.Link.SetText(L"12");
  EXPECT_EQ(F.Value(L"A").AsInteger(), 12);
  // The field's own conversion refuses the text; the error passes on and the value stays.
  EXPECT_THROW(F.Link.SetText(L"on iki"), Exception);
  EXPECT_EQ(F.Value(L"A").AsInteger(), 12);

  // The dataset asks for the pending value only when the control changed it.
  F.Link.Modified();
  F.DS.Post();
  EXPECT_EQ(F.UpdateDatas, 1);
  F.DS.Edit();
  F.DS.Post();
  EXPECT_EQ(F.UpdateDatas, 1);
}

TEST(FieldDataLink, MultiFieldsWriteElementByElementOrClearAll) {
  TFieldLinkFixture F;
  F.Bind(L"A;B", true);
  ASSERT_EQ(F.Link.GetFieldsCount(), 2);
  EXPECT_EQ(F.Link.GetFieldsField(1), F.DS.FieldByName(L"B"));
  F.DS.Edit();
  F.Link.SetValue(VarArrayOf({10, 20}));
  EXPECT_EQ(F.Value(L"A").AsInteger(), 10);
  EXPECT_EQ(F.Value(L"B").AsInteger(), 20);
  // A value of the wrong shape raises before any field is written.
  EXPECT_THROW(F.Link.SetValue(VarArrayOf({30})), Exception);
  EXPECT_EQ(F.Value(L"A").AsInteger(), 10);
  F.Link.SetValue(Null);
  EXPECT_TRUE(VarIsNull(F.Value(L"A")));
  EXPECT_TRUE(VarIsNull(F.Value(L"B")));
}

// An unknown name raises the lookup's error, naming the control, and the bound fields stay.
TEST(FieldDataLink, UnknownFieldNameRaisesAndKeepsTheFields) {
  for (bool Multi : {false, true}) {
    TFieldLinkFixture F;
    TEdit Control(nullptr);
    Control.SetName(L"edAd");
    F.Link.SetControl(&Control);
    F.Bind(Multi ? L"A;B" : L"A", Multi);
    TField* Before = F.Link.GetField();
    try {
      F.Link.SetFieldName(Multi ? L"A;SOYAD" : L"SOYAD");
      ADD_FAILURE() << "no error";
    } catch (const EDatabaseError& E) {
      EXPECT_EQ(E.Message(), L"edAd: Field 'SOYAD' not found") << Multi;
    }
    EXPECT_EQ(F.Link.GetField(), Before) << Multi;
    EXPECT_EQ(F.Link.GetFieldsCount(), Multi ? 2 : 1);
  }
}

TEST(FieldDataLink, ChangeOfAnotherFieldIsNotPassedOn) {
  TFieldLinkFixture F;
  F.Bind(L"A");
  F.DS.Edit();
  Integer Before = F.DataChanges;
  F.DS.FieldByName(L"NAME")->SetAsString(L"Ayşe");
  EXPECT_EQ(F.DataChanges, Before);
  F.DS.FieldByName(L"A")->SetAsInteger(5);
  EXPECT_EQ(F.DataChanges, Before + 1);
}

// Disabled controls hold no fields; enabling them binds the fields again and reloads.
TEST(FieldDataLink, DisabledControlsDropTheFieldsUntilEnabled) {
  TFieldLinkFixture F;
  F.Bind(L"NAME");
  F.DS.DisableControls();
  EXPECT_EQ(F.Link.GetField(), nullptr);
  F.DS.Next();
  F.DS.EnableControls();
  ASSERT_EQ(F.Link.GetField(), F.DS.FieldByName(L"NAME"));
  EXPECT_EQ(F.Link.GetField()->GetAsString(), L"Veli");
}

TEST(FieldDataLink, ClosingAndOpeningTheDatasetRebindsTheField) {
  TFieldLinkFixture F;
  Integer Actives = 0;
  F.Link.SetOnActiveChange([&](TObject*) { ++Actives; });
  F.Bind(L"NAME");
  EXPECT_EQ(Actives, 1);
  F.DS.Close();
  EXPECT_FALSE(F.Link.GetActive());
  EXPECT_EQ(F.Link.GetField(), nullptr);
  EXPECT_FALSE(F.Link.GetCanModify());
  F.DS.Open();
  EXPECT_TRUE(F.Link.GetActive());
  EXPECT_EQ(F.Link.GetField(), F.DS.FieldByName(L"NAME"));
  EXPECT_EQ(Actives, 3);
}

TEST(FieldDataLink, FocusingAFieldFocusesItsControl) {
  ctltest::TFormHolder Form;
  auto* Edit = new TEdit(Form.Form);
  Edit->SetParent(Form.Form);
  auto* Other = new TEdit(Form.Form);
  Other->SetParent(Form.Form);
  Other->SetTop(40);
  Form->Show();
  Other->SetFocus();
  TFieldLinkFixture F;
  F.Link.SetControl(Edit);
  F.Bind(L"NAME");
  F.DS.FieldByName(L"A")->FocusControl();  // not its field
  EXPECT_TRUE(Other->Focused());
  F.DS.FieldByName(L"NAME")->FocusControl();
  EXPECT_TRUE(Edit->Focused());
}

}  // namespace
