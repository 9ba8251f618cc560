// Parameters, field definitions and index definitions.

#include <gtest/gtest.h>

#include "framework/DB.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

TEST(Params, FindByNameTypeFromValueAndListValues) {
  TParams P;
  P.CreateParam(ftInteger, L"Id", ptInput)->SetValue(5);
  TParam* Name = P.AddParameter();
  Name->SetName(L"Name");
  Name->SetValue(L"Şule");
  EXPECT_EQ(Name->GetDataType(), ftWideString);
  EXPECT_TRUE(Name->GetBound());
  EXPECT_EQ(P.FindParam(L"ID"), P[0]);
  EXPECT_EQ(P.FindParam(L"none"), nullptr);
  try {
    P.ParamByName(L"none");
    ADD_FAILURE();
  } catch (const EDatabaseError& E) {
    EXPECT_EQ(E.Message(), L"Parameter 'none' not found");
  }
  Variant Both = P.GetParamValues(L"Id;Name");
  EXPECT_EQ(Variant(Both[0]).AsInteger(), 5);
  EXPECT_EQ(Variant(Both[1]).AsString(), L"Şule");
  TParams Copy;
  Copy.Assign(&P);
  EXPECT_TRUE(Copy.IsEqual(&P));
  Copy.ParamByName(L"Id")->SetAsInteger(6);
  EXPECT_FALSE(Copy.IsEqual(&P));
  P.AssignValues(&Copy);
  EXPECT_EQ(P.ParamByName(L"Id")->GetAsInteger(), 6);
}

TEST(FieldDefsAndIndexDefs, NumbersNamesAndLookups) {
  TArrayDataSet DS(nullptr);
  DS.GetFieldDefs()->Add(L"A", ftInteger);
  DS.GetFieldDefs()->Add(L"B", ftString, 10, true);
  EXPECT_THROW(DS.GetFieldDefs()->Add(L"", ftInteger), EDatabaseError);
  DS.Open();
  EXPECT_TRUE(DS.GetDefaultFields());
  ASSERT_EQ(DS.GetFieldCount(), 2);
  EXPECT_EQ(DS.FieldByName(L"B")->GetFieldNo(), 2);
  EXPECT_TRUE(DS.FieldByName(L"B")->GetRequired());
  EXPECT_EQ(DS.FieldByName(L"B")->GetSize(), 10);
  DS.Close();
  EXPECT_EQ(DS.GetFieldCount(), 0);  // default fields go with the cursor

  TIndexDefs Indexes(&DS);
  Indexes.Add(L"ByAB", L"A;B", {ixUnique});
  Indexes.Add(L"ByB", L"B", {ixCaseInsensitive});
  EXPECT_EQ(Indexes.GetIndexForFields(L"A", false)->GetName(), L"ByAB");
  EXPECT_EQ(Indexes.GetIndexForFields(L"B", true)->GetName(), L"ByB");
  EXPECT_EQ(Indexes.GetIndexForFields(L"C", false), nullptr);
  EXPECT_THROW(Indexes.Add(L"byb", L"A", {}), EDatabaseError);
  EXPECT_THROW(Indexes.Find(L"none"), EDatabaseError);
}

}  // namespace
