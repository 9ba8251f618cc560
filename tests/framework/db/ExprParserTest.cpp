// The filter-expression compiler: the byte code of each filter form, node by node, and the
// expressions it refuses.

#include <gtest/gtest.h>

#include "framework/DB.h"
#include "tests/framework/FuzzHarness.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

class ExprParserFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    DS = new TArrayDataSet(nullptr);
    DS->SetName(L"Items");
    auto* Defs = DS->GetFieldDefs();
    Defs->Add(L"ID", ftInteger);        // #1
    Defs->Add(L"NAME", ftString, 20);   // #2
    Defs->Add(L"AMOUNT", ftFloat);      // #3
    Defs->Add(L"BORN", ftDate);         // #4
    Defs->Add(L"ACTIVE", ftBoolean);    // #5
    Defs->Add(L"CITY", ftWideString, 20);  // #6
    Defs->Add(L"NOTES", ftMemo);        // #7
    Defs->Add(L"SMALL", ftSmallint);    // #8
    Defs->Add(L"PRICE", ftBCD, 2);      // #9
    for (TFieldDef* D : DS->GetFieldDefList()) D->CreateField(DS);
    auto* Calc = new TIntegerField(DS);
    Calc->SetFieldName(L"TOTAL");
    Calc->SetFieldKind(fkCalculated);
    Calc->SetDataSet(DS);
    DS->Open();
  }
  void TearDown() override { delete DS; }
  String Dump(const String& Text, TParserOptions Options = {poExtSyntax}) {
    TExprParser P(DS, Text, {}, Options, String(), nullptr, DefaultFieldMap);
    return ExprDataDump(P.GetFilterData());
  }
  String ErrorOf(const String& Text, TParserOptions Options = {poExtSyntax}) {
    try {
      TExprParser P(DS, Text, {}, Options, String(), nullptr, DefaultFieldMap);
    } catch (const EDatabaseError& E) {
      return E.Message();
    }
    return L"(no error)";
  }
  TArrayDataSet* DS = nullptr;
};

TEST_F(ExprParserFixture, HeaderNodesAndLiteralsOfOneComparison) {
  TExprParser P(DS, L"NAME = 'ab'", {}, {poExtSyntax}, String(), nullptr, DefaultFieldMap);
  const TExprData& D = P.GetFilterData();
  // Header, a binary node, a field node, a constant node, then the name and the UTF-16 text.
  const TExprData Expected = {
      2, 0, 59, 0, 0xFF, 0xFF, 10, 0, 48, 0,              // version, size, count, nodes, literals
      2, 0, 0, 0, 3, 0, 0, 0, 12, 0, 24, 0,               // @0 binary EQ @12 @24
      4, 0, 0, 0, 13, 0, 0, 0, 2, 0, 0, 0,                // @12 field #2, name at 0
      5, 0, 0, 0, 14, 0, 0, 0, 0x07, 0x10, 6, 0, 5, 0,    // @24 const 4103, 6 bytes at 5
      'N', 'A', 'M', 'E', 0,                              // literal 0
      4, 0, 'a', 0, 'b', 0};                              // literal 5
  EXPECT_EQ(D, Expected);
  EXPECT_EQ(P.GetDataSize(), 59);
}

TEST_F(ExprParserFixture, ByteCodeOfEachFilterForm) {
  struct TCase {
    const wchar_t* Text;
    const wchar_t* Dump;
  } Cases[] = {
      {L"NAME = 'abc' and AMOUNT > 10",
       L"version 2, size 126, literals at 98\n"
       L"@0 binary AND @12 @50\n"
       L"@12 binary EQ @24 @36\n"
       L"@24 field #2 NAME\n"
       L"@36 const type 4103 size 8 'abc'\n"
       L"@50 binary GT @62 @74\n"
       L"@62 field #3 AMOUNT\n"
       L"@74 const type 7 size 8 10\n"},
      {L"[CITY] Like 'İst%'",
       L"version 2, size 63, literals at 48\n"
       L"@0 binary LIKE @12 @24\n"
       L"@12 field #6 CITY\n"
       L"@24 const type 4103 size 10 'İst%'\n"},
      {L" Not ([NAME] Like 'x')",
       L"version 2, size 67, literals at 58\n"
       L"@0 unary NOT @10\n"
       L"@10 binary LIKE @22 @34\n"
       L"@22 field #2 NAME\n"
       L"@34 const type 4103 size 4 'x'\n"},
      {L"[ID] In(1 ,  2)",
       L"version 2, size 97, literals at 86\n"
       L"@0 binary IN @12 @24\n"
       L"@12 field #1 ID\n"
       L"@24 elem @36 next @50\n"
       L"@36 const type 6 size 4 1\n"
       L"@50 elem @62 next @0\n"
       L"@62 const type 6 size 4 2\n"},
      {L"[NAME] Is Null OR [AMOUNT] IS NOT NULL",
       L"version 2, size 78, literals at 66\n"
       L"@0 binary OR @12 @34\n"
       L"@12 unary ISBLANK @22\n"
       L"@22 field #2 NAME\n"
       L"@34 unary NOTBLANK @44\n"
       L"@44 field #3 AMOUNT\n"},
      {L"[NAME] = NULL",
       L"version 2, size 37, literals at 32\n"
       L"@0 unary ISBLANK @10\n"
       L"@10 field #2 NAME\n"},
      {L"[ACTIVE] = True",
       L"version 2, size 57, literals at 48\n"
       L"@0 binary EQ @12 @24\n"
       L"@12 field #5 ACTIVE\n"
       L"@24 const type 4 size 2 1\n"},
      {L"BORN = '2021-03-04'",
       L"version 2, size 57, literals at 48\n"
       L"@0 binary EQ @12 @24\n"
       L"@12 field #4 BORN\n"
       L"@24 const type 2 size 4 737853\n"},
      {L"SMALL >= -5",
       L"version 2, size 56, literals at 48\n"
       L"@0 binary GE @12 @24\n"
       L"@12 field #8 SMALL\n"
       L"@24 const type 5 size 2 -5\n"},
      {L"SMALL < 70000",  // beyond the field's range: the constant keeps a wide type
       L"version 2, size 58, literals at 48\n"
       L"@0 binary LT @12 @24\n"
       L"@12 field #8 SMALL\n"
       L"@24 const type 6 size 4 70000\n"},
      {L"PRICE = 1.25",
       L"version 2, size 88, literals at 48\n"
       L"@0 binary EQ @12 @24\n"
       L"@12 field #9 PRICE\n"
       L"@24 const type 8 size 34 1.25\n"},
      {L"NOTES LIKE '%x%'",  // a memo keeps the text type the interpreter can read
       L"version 2, size 62, literals at 48\n"
       L"@0 binary LIKE @12 @24\n"
       L"@12 field #7 NOTES\n"
       L"@24 const type 4103 size 8 '%x%'\n"},
      {L"UPPER(CITY) LIKE 'AN%'",
       L"version 2, size 71, literals at 58\n"
       L"@0 binary LIKE @12 @34\n"
       L"@12 unary UPPER @22\n"
       L"@22 field #6 CITY\n"
       L"@34 const type 4103 size 8 'AN%'\n"},
      {L"SUBSTRING(NAME, 2, 2) = 'al'",
       L"version 2, size 153, literals at 124\n"
       L"@0 binary EQ @12 @100\n"
       L"@12 func SUBSTRING args @24\n"
       L"@24 elem @36 next @48\n"
       L"@36 field #2 NAME\n"
       L"@48 elem @60 next @74\n"
       L"@60 const type 6 size 4 2\n"
       L"@74 elem @86 next @0\n"
       L"@86 const type 6 size 4 2\n"
       L"@100 const type 4103 size 6 'al'\n"},
      {L"GETDATE() > BORN",
       L"version 2, size 59, literals at 46\n"
       L"@0 binary GT @12 @24\n"
       L"@12 func GETDATE args @0\n"
       L"@24 field #4 BORN\n"},
      {L"'A' + ID * (2 - AMOUNT)",
       L"version 2, size 116, literals at 98\n"
       L"@0 binary ADD @12 @26\n"
       L"@12 const type 4103 size 4 'A'\n"
       L"@26 binary MUL @38 @50\n"
       L"@38 field #1 ID\n"
       L"@50 binary SUB @62 @76\n"
       L"@62 const type 6 size 4 2\n"
       L"@76 field #3 AMOUNT\n"},
      {L"NAME != 'Şişli'",
       L"version 2, size 65, literals at 48\n"
       L"@0 binary NE @12 @24\n"
       L"@12 field #2 NAME\n"
       L"@24 const type 4103 size 12 'Şişli'\n"},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Text);
    EXPECT_EQ(Dump(C.Text), C.Dump);
  }
}

TEST_F(ExprParserFixture, AggregatesCompileOnlyWithTheAggregateOption) {
  EXPECT_EQ(Dump(L"SUM(AMOUNT)", {poExtSyntax, poAggregate}),
            L"version 2, size 57, literals at 46\n"
            L"@0 func SUM args @12\n"
            L"@12 elem @24 next @0\n"
            L"@24 field #3 AMOUNT\n");
  EXPECT_EQ(Dump(L"COUNT(*)", {poExtSyntax, poAggregate}),
            L"version 2, size 28, literals at 22\n"
            L"@0 func COUNT args @0\n");
  EXPECT_EQ(ErrorOf(L"SUM(AMOUNT) > 3"), L"Aggregate function SUM cannot be used in a filter expression");
}

TEST_F(ExprParserFixture, RefusedExpressions) {
  struct TCase {
    const wchar_t* Text;
    const wchar_t* Message;
  } Cases[] = {
      {L"NOPE = 1", L"Items: Field 'NOPE' not found"},
      {L"TOTAL > 1", L"Items: Field 'TOTAL' cannot be used in a filter expression"},
      {L"NAME = 'abc", L"Filter expression error at position 8: missing closing quote"},
      {L"NAME = ", L"Filter expression error at position 8: expression expected"},
      {L"(ID = 1", L"Filter expression error at position 8: ')' expected"},
      {L"ID = 1 ID", L"Filter expression error at position 8: unexpected 'ID'"},
      {L"ID # 1", L"Filter expression error at position 4: unexpected '#'"},
      {L"FOO(ID)", L"Unknown function FOO in filter expression"},
      {L"BORN = 'yesterday'", L"'yesterday' is not a valid value for field 'BORN'"},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Text);
    EXPECT_EQ(ErrorOf(C.Text), C.Message);
  }
}

TEST_F(ExprParserFixture, EmptyTextCompilesToNothing) {
  TExprParser P(DS, L"  ", {}, {poExtSyntax}, String(), nullptr, DefaultFieldMap);
  EXPECT_EQ(P.GetDataSize(), 0);
}

TEST_F(ExprParserFixture, ByteCodeBeyondSixteenBitOffsetsIsRefused) {
  String Text = L"NAME IN (";
  for (Integer I = 0; I < 4000; ++I) Text += (I ? L", '" : L"'") + IntToStr(I) + L"'";
  Text += L")";
  EXPECT_EQ(ErrorOf(Text).substr(0, 30), L"Filter expression is too long:");
  // A list that fits compiles.
  String Small = L"NAME IN ('a', 'b', 'c')";
  EXPECT_EQ(ErrorOf(Small), L"(no error)");
}

String Repeat(const String& S, size_t N) {
  String R;
  R.reserve(S.size() * N);
  for (size_t I = 0; I < N; ++I) R += S;
  return R;
}

TEST_F(ExprParserFixture, DeepOrLongExpressionsAreRefusedBeforeTheStackRunsOut) {
  const struct {
    const char* What;
    String Text;
    const wchar_t* Message;  // the start of the error
  } Cases[] = {
      {"800 brackets", Repeat(L"(", 800) + L"ID = 1" + Repeat(L")", 800), L"Filter expression error at position "},
      {"20,000 NOTs", Repeat(L"NOT ", 20000) + L"ID = 1", L"Filter expression error at position "},
      {"20,000 minus signs", L"ID = " + Repeat(L"-", 20000) + L"1", L"Filter expression error at position "},
      {"20,000 minus signs on a field", L"ID = " + Repeat(L"-", 20000) + L"SMALL",
       L"Filter expression error at position "},
      {"1,000 nested UPPERs", Repeat(L"UPPER(", 1000) + L"NAME" + Repeat(L")", 1000) + L" = 'A'",
       L"Filter expression error at position "},
      {"nested IN lists", L"ID IN (" + Repeat(L"ID IN (", 1000) + L"1" + Repeat(L")", 1001),
       L"Filter expression error at position "},
      {"20,000 ORs", L"ID = 1" + Repeat(L" OR ID = 1", 20000), L"Filter expression is too long: "},
      {"20,000 additions", L"ID = 1" + Repeat(L" + 1", 20000), L"Filter expression is too long: "},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    const String Error = ErrorOf(C.Text);
    EXPECT_EQ(Error.substr(0, wcslen(C.Message)), C.Message) << UTF8Encode(Error);
    if (Error.rfind(L"Filter expression error", 0) == 0) {
      EXPECT_NE(Error.find(L"nests too deeply"), String::npos) << UTF8Encode(Error);
    }
  }
  // What a user writes, however long a list of alternatives, compiles up to the size limit.
  EXPECT_EQ(ErrorOf(Repeat(L"(", 100) + L"ID = 1" + Repeat(L")", 100)), L"(no error)");
  EXPECT_EQ(ErrorOf(L"ID = 1" + Repeat(L" OR ID = 1", 1000)), L"(no error)");
  EXPECT_EQ(ErrorOf(L"NOT NOT NOT ID = -(-(-1))"), L"(no error)");
}

class FilterExpressionFuzz : public ExprParserFixture {};

TEST_F(FilterExpressionFuzz, TextsCompileOrFailCleanly) {
  std::vector<TBytes> Seeds;
  for (const char* T : {"ID = 1 AND NAME = 'abc'", "UPPER(CITY) LIKE 'AN%'", "NOT (AMOUNT > 10.5 OR ID IN (1, 2, 3))",
                        "BORN >= '2024-01-31' AND ACTIVE = TRUE", "SMALL - -2 * ID / 3 <> 7", "NAME IS NOT NULL",
                        "SUBSTRING(NAME, 1, 2) = 'ab'", "[CITY] = 'İstanbul' OR \"NAME\" <> ''", "PRICE = 12.34"})
    Seeds.push_back(FuzzBytes(UTF8Encode(UTF8ToString(T))));
  TFuzzSuite Suite{"filter expression", Seeds, 10000, 0x510E527FADE682D1ULL,
                   {"(", ")", "NOT ", " OR ", " AND ", "-", "+", "'", "[", "]", "UPPER(", " IN (", " LIKE ", "NULL",
                    " IS ", ",", "1E400", "99999999999999999999", "COUNT(*)", "GETDATE()"}};
  Suite.Hostile = {FuzzBytes(UTF8Encode(Repeat(L"(", 800) + L"ID = 1")), FuzzBytes(UTF8Encode(Repeat(L"NOT ", 20000))),
                   FuzzBytes(UTF8Encode(L"ID = " + Repeat(L"-", 20000) + L"1")),
                   FuzzBytes(UTF8Encode(L"ID = 1" + Repeat(L" OR ID = 1", 20000)))};
  Fuzz(Suite, [this](const TBytes& B) {
    TExprParser P(DS, UTF8ToString(std::string(B.begin(), B.end())), {}, {poExtSyntax}, String(), nullptr,
                  DefaultFieldMap);
    EXPECT_LE(P.GetDataSize(), 65535);
    ExprDataDump(P.GetFilterData());
  });
}

}  // namespace
