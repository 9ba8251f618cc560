// A data-aware edit in miniature: a link that shows one field's text, puts the dataset into
// edit mode when the user types, and writes the text back when the dataset asks for it.

#include <gtest/gtest.h>

#include "framework/DB.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

class TTextLink : public TDataLink {
 public:
  String FieldName;
  String Text;          // what the control shows
  bool Modified = false;

  // The user types: the dataset goes into edit mode when the source allows it.
  bool Type(const String& S) {
    if (!Edit()) return false;
    Text = S;
    Modified = true;
    return true;
  }

 protected:
  TField* Field() { return GetDataSet() ? GetDataSet()->FindField(FieldName) : nullptr; }
  void ActiveChanged() override { RecordChanged(nullptr); }
  void RecordChanged(TField* F) override {
    if (F && F != Field()) return;
    TField* Own = Field();
    Text = GetActive() && Own ? Own->GetDisplayText() : String();
    Modified = false;
  }
  void UpdateData() override {
    if (Modified && Field()) Field()->SetAsString(Text);
    Modified = false;
  }
};

TEST(FieldLink, FollowsTheDataSetThroughEveryFlow) {
  TArrayDataSet DS(nullptr);
  DS.GetFieldDefs()->Add(L"NAME", ftWideString, 20);
  TDataSource Source(nullptr);
  Source.SetDataSet(&DS);
  TTextLink Link;
  Link.FieldName = L"NAME";
  Link.SetDataSource(&Source);
  EXPECT_EQ(Link.Text, L"");
  DS.Open();
  DS.AppendRecord({L"Ali"});
  DS.AppendRecord({L"Ayşe"});
  DS.First();
  EXPECT_EQ(Link.Text, L"Ali");
  DS.Next();
  EXPECT_EQ(Link.Text, L"Ayşe");

  // Typing starts an edit; scrolling away posts it.
  EXPECT_TRUE(Link.Type(L"Ayşegül"));
  EXPECT_EQ(DS.GetState(), dsEdit);
  DS.Prior();
  EXPECT_EQ(DS.GetState(), dsBrowse);
  EXPECT_EQ(Link.Text, L"Ali");
  DS.Next();
  EXPECT_EQ(Link.Text, L"Ayşegül");

  // Cancel brings the stored text back.
  Link.Type(L"X");
  DS.Cancel();
  EXPECT_EQ(Link.Text, L"Ayşegül");

  // Insert shows an empty record; post keeps what was typed.
  DS.Insert();
  EXPECT_EQ(Link.Text, L"");
  Link.Type(L"Can");
  DS.Post();
  EXPECT_EQ(Link.Text, L"Can");
  EXPECT_EQ(DS.GetRecordCount(), 3);

  // Delete moves the control to the record that takes its place.
  DS.Delete();
  EXPECT_EQ(Link.Text, L"Ayşegül");

  // Without AutoEdit, typing is refused.
  Source.SetAutoEdit(false);
  EXPECT_FALSE(Link.Type(L"Z"));
  EXPECT_EQ(DS.GetState(), dsBrowse);

  DS.Close();
  EXPECT_EQ(Link.Text, L"");
  Link.SetDataSource(nullptr);
}

}  // namespace
