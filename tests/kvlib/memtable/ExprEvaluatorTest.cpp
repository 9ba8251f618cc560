// The in-memory table's filter and aggregate expressions: LIKE, the functions and operators over
// stored records, nested calls with their own arguments, aggregates over a view, the errors of
// hand-made byte code, and hostile filter texts and byte code.

#include <gtest/gtest.h>

#include <cstring>

#include "framework/SysUtils.h"
#include "kvlib/memtable/MemTableDataKv.h"
#include "tests/framework/FuzzHarness.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

struct TExprField {
  const wchar_t* Name;
  TFieldType DataType;
  Integer Size;
};

const TExprField ExprFields[] = {{L"ID", ftInteger, 0},   {L"NAME", ftWideString, 30}, {L"QTY", ftInteger, 0},
                                 {L"PRICE", ftFloat, 0},  {L"D", ftDateTime, 0},        {L"CITY", ftWideString, 30},
                                 {L"CODE", ftWideString, 20}, {L"CODE2", ftWideString, 20}, {L"FLAG", ftBoolean, 0}};
constexpr Integer ExprFieldCount = Integer(std::size(ExprFields));

// A dataset whose fields the parser resolves, and a storage of the same fields in the same order.
class ExprEvaluatorFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    DS = new TArrayDataSet(nullptr);
    for (const TExprField& F : ExprFields) DS->GetFieldDefs()->Add(F.Name, F.DataType, F.Size);
    for (TFieldDef* D : DS->GetFieldDefList()) D->CreateField(DS);
    DS->Open();
    Data = new TMemTableDataKv(nullptr);
    for (const TExprField& F : ExprFields) Data->GetDataStruct()->BuildDataFieldForDef(F.Name, F.DataType, F.Size, 0);
    View = new TRecordsViewKv(DS);
    View->SetMemTableData(Data);
  }
  void TearDown() override {
    delete View;
    delete Data;
    delete DS;
  }
  TMemoryRecordKv* Add(std::initializer_list<Variant> Values) {
    TRecordsListKv* L = Data->GetRecordsList();
    TMemoryRecordKv* Rec = L->NewRecord();
    Integer I = 0;
    for (const Variant& V : Values) Rec->SetDataValue(I++, dvvValueKv, V);
    for (; I < ExprFieldCount; ++I) Rec->SetDataValue(I, dvvValueKv, Null);
    L->AddRecord(Rec);
    return Rec;
  }
  // The record of the usual cases.
  TMemoryRecordKv* Kalem() {
    TDateTime D(EncodeDate(2021, 3, 4).Val + EncodeTime(5, 6, 7, 500).Val);
    return Add({Variant(1), Variant(L"Kalem"), Variant(5), Variant(2.5), Variant(D), Variant(L"Şişli"),
                Variant(L"xxabxx"), Variant(L" b "), Null});
  }
  Variant Eval(const String& Text, TMemoryRecordKv* Rec) {
    TDataSetExprParserKv P(DS, dsptFilterKv);
    P.ParseExpression(Text);
    return P.Evaluate(Rec);
  }
  String ErrorOf(const std::function<void()>& F) {
    try {
      F();
    } catch (const Exception& E) {
      return E.Message();
    }
    return L"(no error)";
  }
  TArrayDataSet* DS = nullptr;
  TMemTableDataKv* Data = nullptr;
  TRecordsViewKv* View = nullptr;
};

TEST(ExprEvaluatorLike, Cases) {
  const struct {
    const wchar_t* Text;
    const wchar_t* Pattern;
    bool IgnoreCase;
    bool Match;
  } Cases[] = {
      {L"Ankara", L"An%", false, true},      {L"Ankara", L"%kar_", false, true},   {L"Ankara", L"A_k%a", false, true},
      {L"ab", L"ab_", false, true},          {L"abc", L"ab", false, false},        {L"", L"%", false, true},
      {L"", L"_", false, false},             {L"abc", L"ab%bc", false, true},      {L"xxxxabcdzz", L"xxxx%cd%ab%", false, false},
      {L"ankara", L"AN%", false, false},     {L"ankara", L"AN%", true, true},      {L"abc", L"a_%", false, true},
      {L"abc", L"abc", false, true},         {L"ab", L"abcd%", false, false},      {L"abcd", L"%", false, true},
      {L"abc", L"%d", false, false},         {L"abc", L"x%", false, false},        {L"ab", L"%abc", false, false},
      {L"İstanbul", L"İst%", false, true},   {L"a%b", L"a%b", false, true},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(IsLikeMatch(C.Text, C.Pattern, C.IgnoreCase), C.Match) << C.Text << L" LIKE " << C.Pattern;
}

TEST_F(ExprEvaluatorFixture, FunctionsAndOperatorsOverARecord) {
  TMemoryRecordKv* K = Kalem();
  TMemoryRecordKv* Nulls = Add({Variant(2), Variant(L"   ")});
  const struct {
    const wchar_t* Text;
    bool OnNulls;
    const wchar_t* Expected;  // the value's text, or "(null)"
  } Cases[] = {
      {L"SUBSTRING(NAME, 2)", false, L"alem"},
      {L"SUBSTRING(NAME, 2, 2)", false, L"al"},
      {L"SUBSTRING(NAME, 9)", false, L""},
      {L"SUBSTRING(CODE, 1, 2)", true, L"(null)"},
      {L"TRIM(CODE, 'x')", false, L"ab"},
      {L"TRIMLEFT(CODE, 'x')", false, L"abxx"},
      {L"TRIMRIGHT(CODE, 'x')", false, L"xxab"},
      {L"TRIM(CODE, 'xx')", false, L"xxabxx"},
      {L"TRIMRIGHT(NAME)", true, L""},
      {L"UPPER(NAME)", false, L"KALEM"},
      {L"LOWER(CITY)", false, L"şişli"},
      {L"'A' + QTY", false, L"A5"},
      {L"QTY + PRICE", true, L"(null)"},
      {L"QTY * 2 - 1", false, L"9"},
      {L"QTY / 2 * 4", false, L"10"},
      {L"YEAR(D)", false, L"2021"},
      {L"MONTH(D) + DAY(D)", false, L"7"},
      {L"HOUR(D) * 100 + MINUTE(D)", false, L"506"},
      {L"SECOND(D)", false, L"7"},
      {L"YEAR(D)", true, L"(null)"},
      {L"SUBSTRING(NAME, 1, MONTH(D))", false, L"Kal"},
      {L"SUBSTRING(NAME, DAY(D) - 2, YEAR(D) - 2019)", false, L"al"},
  };
  for (const auto& C : Cases) {
    Variant V;
    ASSERT_NO_THROW(V = Eval(C.Text, C.OnNulls ? Nulls : K)) << C.Text;
    EXPECT_EQ(V.IsNull() ? String(L"(null)") : VarToStr(V), C.Expected) << C.Text;
  }
}

// Each case: the filter, then whether it accepts the record Kalem.
TEST_F(ExprEvaluatorFixture, FiltersOverARecord) {
  TMemoryRecordKv* K = Kalem();
  const struct {
    const wchar_t* Text;
    bool Accepted;
  } Cases[] = {
      {L"NAME = 'Kalem'", true},
      {L"NAME = 'KALEM'", false},
      {L"CITY = 'Şişli'", true},
      {L"CITY IN ('İstanbul', 'Şişli')", true},
      {L"CITY = 'Sisli'", false},
      {L"QTY + PRICE IS NULL", false},
      {L"D = '2021-03-04 05:06:07'", true},   // equality drops the milliseconds
      {L"D <> '2021-03-04 05:06:07'", true},  // the other comparisons keep them
      {L"D > '2021-03-04 05:06:07'", true},
      {L"'a' IN ('a', TRIM(CODE2))", true},
      {L"'b' IN ('a', TRIM(CODE2))", true},
      {L"TRIM(CODE2) IN ('a', TRIM(CODE2), UPPER(NAME))", true},
      {L"'a' IN (TRIM(CODE2), 'a')", true},
      {L"'x' IN ('a', TRIM(CODE2))", false},
      {L"NAME LIKE 'Ka%' and QTY > 4", true},
      {L"NOT (QTY > 4) or PRICE < 1", false},
      {L"FLAG", false},  // a Null field as the whole filter is no truth value
      {L"not FLAG", false},
      {L"CODE IS NULL", false},
      {L"CODE IS NOT NULL", true},
  };
  for (const auto& C : Cases) {
    TDataSetExprParserKv P(DS, dsptFilterKv);
    P.ParseExpression(C.Text);
    bool In = false;
    ASSERT_NO_THROW(In = P.IsCurRecordInFilter(K)) << C.Text;
    EXPECT_EQ(In, C.Accepted) << C.Text;
  }
  DS->SetFilterOptions({foCaseInsensitive});
  TDataSetExprParserKv P(DS, dsptFilterKv);
  P.ParseExpression(L"NAME = 'KALEM'");
  EXPECT_TRUE(P.IsCurRecordInFilter(K));
}

TEST_F(ExprEvaluatorFixture, NoExpressionAndAFailedParseKeepingThePreviousOne) {
  TMemoryRecordKv* K = Kalem();
  TDataSetExprParserKv P(DS, dsptFilterKv);
  EXPECT_FALSE(P.HasData());
  EXPECT_FALSE(P.IsCurRecordInFilter(K));
  EXPECT_TRUE(P.IsCurRecordBufInFilter(0));
  Variant A = P.CalcAggregateValue(View);
  EXPECT_EQ(VarType(A), varBoolean);
  EXPECT_FALSE(A.AsBoolean());
  P.ParseExpression(L"QTY = 5");
  for (const wchar_t* Bad : {L"QTY = ", L"NOSUCH = 1", L"SUM(QTY) > 1", L"QTY = (1"}) {
    EXPECT_THROW(P.ParseExpression(Bad), Exception) << Bad;
    EXPECT_TRUE(P.IsCurRecordInFilter(K)) << Bad;
  }
}

TEST_F(ExprEvaluatorFixture, AggregatesOverTheView) {
  auto Aggr = [&](const String& Text) {
    TDataSetExprParserKv P(DS, dsptAggregateKv);
    P.ParseExpression(Text);
    return P.CalcAggregateValue(View);
  };
  EXPECT_EQ(Aggr(L"COUNT(*)").AsInteger(), 0);
  EXPECT_TRUE(Aggr(L"SUM(QTY)").IsNull());
  EXPECT_TRUE(Aggr(L"MIN(NAME)").IsNull());
  EXPECT_EQ(View->CalcAggrFieldFunc(L"*", L"COUNT").AsInteger(), 0);
  Add({Variant(1), Variant(L"b"), Variant(10)});
  Add({Variant(2), Variant(L"a"), Variant(20)});
  Add({Variant(3), Null, Null});
  const struct {
    const wchar_t* Text;
    const wchar_t* Expected;
  } Cases[] = {
      {L"AVG(QTY)", L"10"},   {L"SUM(QTY)", L"30"},      {L"COUNT(QTY)", L"2"},  {L"COUNT(*)", L"3"},
      {L"MIN(QTY)", L"10"},   {L"MAX(QTY)", L"20"},      {L"MIN(NAME)", L"a"},   {L"MAX(NAME)", L"b"},
      {L"SUM(QTY * 2)", L"60"}, {L"SUM(QTY) / COUNT(*)", L"10"}, {L"MAX(ID) + MIN(ID)", L"4"},
  };
  for (const auto& C : Cases) EXPECT_EQ(VarToStr(Aggr(C.Text)), C.Expected) << C.Text;
  EXPECT_EQ(VarToStr(View->CalcAggrFieldFunc(L"QTY", L"AVG")), L"10");
  EXPECT_EQ(VarToStr(View->CalcAggrFieldFunc(L"QTY", L"COUNT")), L"2");
  EXPECT_EQ(VarToStr(View->CalcAggrFieldFunc(L"QTY", L"MAX")), L"20");
  EXPECT_EQ(VarToStr(View->CalcAggrFieldFunc(L"*", L"COUNT")), L"3");
  EXPECT_EQ(ErrorOf([&] { View->CalcAggrFieldFunc(L"X", L"SUM"); }), L"Invalid field name: X");
  EXPECT_EQ(ErrorOf([&] { View->CalcAggrFieldFunc(L"QTY", L"MEDIAN"); }), L"Unsupported aggrigate function: MEDIAN");
}

// Byte code made by hand (or damaged): each fault raises its own text.
TEST_F(ExprEvaluatorFixture, ErrorsOfHandMadeByteCode) {
  TMemoryRecordKv* K = Kalem();
  auto Compiled = [&](const String& Text, TParserOptions Options = {poExtSyntax}) {
    TExprParser Parser(DS, Text, {}, Options, String(), nullptr, DefaultFieldMap);
    return Parser.GetFilterData();
  };
  auto Run = [&](const TExprData& Code) {
    return ErrorOf([&] {
      TDataSetExprParserKv P(DS, dsptFilterKv);
      P.SetExprData(Code);
      P.Evaluate(K);
    });
  };
  auto Literal = [](TExprData& Code, const char* From, const char* To) {
    auto It = std::search(Code.begin(), Code.end(), From, From + std::strlen(From));
    ASSERT_NE(It, Code.end());
    std::memcpy(&*It, To, std::strlen(To));
  };
  TExprData Code = Compiled(L"TRIM(NAME) = 'a'");
  Literal(Code, "TRIM", "TRIX");
  EXPECT_EQ(Run(Code), L"Unsupported function: TRIX");

  Code = Compiled(L"SUBSTRING(NAME, 1, 2, 3) = 'a'");
  EXPECT_EQ(Run(Code), L"Incorrect number of arguments in function <SUBSTRING>");
  Code = Compiled(L"UPPER(NAME) = 'A'");
  EXPECT_EQ(Run(Code), L"(no error)");

  // The constant's type code: operand 0 of the constant node, the third node of QTY = 5.
  Code = Compiled(L"QTY = 5");
  const size_t ConstType = 10 + 24 + 8;
  ASSERT_EQ(Code[10 + 24], 5);
  for (const auto& [TypeCode, Mapped] : std::vector<std::pair<Word, Integer>>{{9, 12}, {3, 15}, {15, 13}, {23, 29}, {36, 36}}) {
    Code[ConstType] = Byte(TypeCode);
    Code[ConstType + 1] = Byte(TypeCode >> 8);
    EXPECT_EQ(Run(Code), L"Unsupported data type: [" + IntToStr(Mapped) + L"].") << TypeCode;
  }
  Code[ConstType] = 0;  // Null: QTY = Null is no error
  EXPECT_EQ(Run(Code), L"(no error)");

  Code = Compiled(L"QTY = 5");
  Code[10 + 4] = Byte(coNOT);  // a binary node with an operator it does not take
  EXPECT_EQ(Run(Code), L"Operator <2:9> not supported.");
  Code = Compiled(L"QTY = 5");
  Code[10 + 12 + 4] = Byte(coCONST2);
  EXPECT_EQ(Run(Code), L"Operator <4:14> not supported.");

  Code = Compiled(L"QTY = 5");
  Code[10 + 12 + 8] = 0;  // field number 0 reads no slot
  EXPECT_EQ(Run(Code), L"Field 'QTY' cannot be used in a filter expression");

  // A node that names itself as its operand ends with an error, not a stack overflow.
  Code = Compiled(L"NOT (QTY = 5)");
  Code[10 + 8] = 0;
  Code[10 + 9] = 0;
  EXPECT_EQ(Run(Code), L"Filter byte code nests too deep");

  // Aggregates without a view.
  Code = Compiled(L"SUM(QTY)", {poExtSyntax, poAggregate});
  EXPECT_EQ(Run(Code), L"Aggregate function SUM needs a records view");
}

TEST_F(ExprEvaluatorFixture, FuzzFilterTexts) {
  Kalem();
  Add({Variant(2)});
  TFuzzSuite Suite;
  Suite.Name = "MemTableFilterText";
  Suite.Cases = 3000;
  Suite.Seed = 47;
  for (const char* S : {"NAME = 'Kalem' and QTY > 4", "SUBSTRING(NAME, 1, YEAR(D)) LIKE 'K%'",
                        "CODE2 IN ('a', TRIM(CODE2), 'b')", "not (PRICE * 2 >= QTY / 3) or D = '2021-03-04'",
                        "UPPER(CITY) <> 'X' and TRIMLEFT(CODE, 'x') IS NOT NULL"})
    Suite.Seeds.push_back(FuzzBytes(S));
  Suite.Tokens = {"(", ")", "'", ",", " and ", " or ", " not ", " IN (", " LIKE ", "%", "_", "SUBSTRING(", "TRIM(",
                  "YEAR(", "NAME", "QTY", "D", "''", "-", "/", "0", "1e308"};
  Suite.Hostile = {FuzzBytes(std::string(5000, '(')), FuzzBytes("QTY / 0 = 1"), FuzzBytes("SUBSTRING(NAME, -5, -1) = ''"),
                   FuzzBytes("YEAR(PRICE * 1e300) = 1"), FuzzBytes("D IN (D, D, D)")};
  Fuzz(Suite, [&](const TBytes& In) {
    String Text;
    for (Byte B : In) Text += Char(B);
    TDataSetExprParserKv P(DS, dsptFilterKv);
    P.ParseExpression(Text);
    for (Integer I = 0; I < Data->GetRecordsList()->GetCount(); ++I) P.IsCurRecordInFilter(Data->GetRecordsList()->GetRec(I));
  });
}

TEST_F(ExprEvaluatorFixture, FuzzByteCode) {
  Kalem();
  Add({Variant(2)});
  auto Compiled = [&](const String& Text, TParserOptions Options) {
    TExprParser Parser(DS, Text, {}, Options, String(), nullptr, DefaultFieldMap);
    return Parser.GetFilterData();
  };
  TFuzzSuite Suite;
  Suite.Name = "MemTableFilterByteCode";
  Suite.Cases = 3000;
  Suite.Seed = 4747;
  for (const wchar_t* S : {L"NAME = 'Kalem' and QTY > 4", L"SUBSTRING(NAME, 1, YEAR(D)) LIKE 'K%'",
                           L"CODE2 IN ('a', TRIM(CODE2), 'b')", L"SUM(QTY) + AVG(PRICE) - COUNT(*)"})
    Suite.Seeds.push_back(Compiled(S, {poExtSyntax, poAggregate}));
  Suite.Hostile = {TBytes(), TBytes(10, 0), TBytes(10, 0xFF), FuzzHex("0200FFFFFFFF0A00FFFF0100000001000000")};
  Fuzz(Suite, [&](const TBytes& In) {
    TDataSetExprParserKv P(DS, dsptAggregateKv);
    P.SetExprData(In);
    // Field nodes read the view's rows; filters and aggregates alike.
    P.CalcAggregateValue(View);
  });
}

}  // namespace
