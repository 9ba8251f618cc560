// The column filter: what a user types under a column title, parsed into conditions, and the
// dataset filter text built back from the columns' filters.

#include <gtest/gtest.h>

#include <limits>

#include "framework/DB.h"
#include "framework/SysUtils.h"
#include "kvlib/foundation/DBUtilsKv.h"
#include "tests/framework/FuzzHarness.h"
#include "tests/framework/db/ArrayDataSet.h"
#include "tests/kvlib/foundation/FakeDBGridKv.h"

namespace {

class ScopedSettings {
 public:
  explicit ScopedSettings(const TFormatSettings& S) : FSaved(FormatSettings) { FormatSettings = S; }
  ~ScopedSettings() { FormatSettings = FSaved; }

 private:
  TFormatSettings FSaved;
};

// "-" absent, "null", "n:5", "s:abc", "d:<days>", "[...]" for a list.
String Describe(const Variant& V) {
  if (VarIsEmptyParam(V)) return L"-";
  if (VarIsNull(V)) return L"null";
  if (VarIsArray(V)) {
    String S = L"[";
    for (Integer I = VarArrayLowBound(V, 1); I <= VarArrayHighBound(V, 1); ++I)
      S += (I ? L"," : L"") + Describe(V[I]);
    return S + L"]";
  }
  TVarType T = VarType(V) & varTypeMask;
  if (T == varDouble) return L"n:" + FloatToStr(V.AsDouble(), TFormatSettings::Invariant());
  if (T == varDate) return L"d:" + FloatToStr(V.AsDouble(), TFormatSettings::Invariant());
  return L"s:" + VarToStr(V);
}

// "op operand" for each condition, the relation between them, and the answer.
String Describe(const TSTFilterExpressionKv& E, bool Result) {
  String S = String(STFilterOperatorsSQLStrMapKv[E.Operator1]) + L" " + Describe(E.Operand1);
  if (E.Relation != foNon)
    S += String(L" ") + STFilterOperatorsSQLStrMapKv[E.Relation] + L" " + STFilterOperatorsSQLStrMapKv[E.Operator2] +
         L" " + Describe(E.Operand2);
  return S + (Result ? L" (2)" : L"");
}

String Parse(TSTOperandTypeKv Type, const String& Text, TSTFilterDefaultOperatorKv Default = fdoAuto) {
  TSTFilterExpressionKv E;
  E.ExpressionType = Type;
  bool Result = ParseSTFilterExpression(Text, E, Default);
  EXPECT_EQ(E.ExpressionType, Type);
  return Describe(E, Result);
}

struct ParseCase {
  TSTOperandTypeKv Type;
  const wchar_t* Text;
  TSTFilterDefaultOperatorKv Default;
  const wchar_t* Expected;
};

}  // namespace

TEST(ColumnFilterParse, TextsIntoConditions) {
  ScopedSettings Scope(TFormatSettings::Invariant());
  const ParseCase Cases[] = {
      {botNumber, L">5 AND <10", fdoAuto, L"> n:5 AND < n:10 (2)"},
      {botNumber, L"  = 7 ", fdoAuto, L"= n:7"},
      {botNumber, L"7", fdoAuto, L"= n:7"},
      {botNumber, L"-2.5", fdoAuto, L"= n:-2.5"},
      {botString, L"abc", fdoAuto, L"LIKE s:abc"},
      {botString, L"abc", fdoContains, L"LIKE s:%abc%"},
      {botString, L"abc", fdoDoesntBeginWith, L"NOT LIKE s:abc%"},
      {botString, L"abc", fdoEndsWith, L"LIKE s:%abc"},
      {botString, L"%x", fdoBeginsWith, L"LIKE s:%x"},
      {botString, L"abc", fdoNotEqual, L"<> s:abc"},
      {botNumber, L"IN (1,2,3)", fdoAuto, L"IN [n:1,n:2,n:3]"},
      {botNumber, L"in(1, 2)", fdoAuto, L"IN [n:1,n:2]"},
      {botString, L"IN ('a','b')", fdoAuto, L"IN [s:a,s:b]"},
      {botString, L"IN ('a', 'b')", fdoAuto, L"IN [s:a,s:b]"},
      {botString, L"IN (a, b)", fdoAuto, L"IN [s:a,s: b]"},
      {botNumber, L"!In (1,2)", fdoAuto, L"NOT IN [n:1,n:2]"},
      {botNumber, L"not in (1,null)", fdoAuto, L"NOT IN [n:1,-]"},
      {botNumber, L"IN (1, NULL)", fdoAuto, L"IN [n:1,-]"},
      {botNumber, L"IN (1,2", fdoAuto, L"LIKE s:IN (1,2"},
      {botString, L"abc and def", fdoAuto, L"LIKE s:abc AND LIKE s:def (2)"},
      {botString, L"abc & def", fdoAuto, L"LIKE s:abc AND LIKE s:def (2)"},
      {botNumber, L"=1 | =2", fdoAuto, L"= n:1 OR = n:2 (2)"},
      {botNumber, L"<0 or = null", fdoAuto, L"< n:0 OR IS NULL - (2)"},
      {botString, L"= NULL", fdoAuto, L"IS NULL -"},
      {botString, L"<> null", fdoAuto, L"IS NOT NULL -"},
      {botString, L"!= NULL", fdoAuto, L"IS NOT NULL -"},
      {botString, L"> NULL", fdoAuto, L"LIKE s:> NULL"},
      {botString, L"'it''s'", fdoAuto, L"LIKE s:it's"},
      {botString, L"= 'a or b'", fdoAuto, L"= s:a or b"},
      {botString, L"~ab%", fdoAuto, L"LIKE s:ab%"},
      {botString, L"!~ab", fdoAuto, L"NOT LIKE s:ab"},
      {botString, L"NOT LIKE ab", fdoAuto, L"NOT LIKE s:ab"},
      {botString, L"abc def", fdoAuto, L"LIKE s:abc def"},
      {botString, L"do not touch", fdoAuto, L"LIKE s:do not touch"},
      {botString, L"abc ) x", fdoAuto, L"LIKE s:abc ) x"},
      {botDateTime, L">= NOW", fdoAuto, L">= s:NOW"},
      {botDateTime, L"<now", fdoAuto, L"< s:NOW"},
      {botBoolean, L"true", fdoAuto, L"= s:true"},
      {botString, L"", fdoAuto, L" -"},
      {botString, L"   ", fdoContains, L" -"},
  };
  for (const ParseCase& C : Cases) EXPECT_EQ(Parse(C.Type, C.Text, C.Default), C.Expected) << C.Text;
}

TEST(ColumnFilterParse, DatesAndNumbersFollowTheUsersLocale) {
  ScopedSettings Scope(TFormatSettings::Create(L"tr-TR"));
  EXPECT_EQ(Parse(botNumber, L"=1,5"), L"= n:1.5");
  EXPECT_EQ(Parse(botNumber, L">-0,25 and <=3"), L"> n:-0.25 AND <= n:3 (2)");
  TDateTime Day = EncodeDate(2024, 1, 31);
  EXPECT_EQ(Parse(botDateTime, L">= " + DateToStr(Day)), L">= d:" + FloatToStr(Day.Val, TFormatSettings::Invariant()));
  EXPECT_THROW(Parse(botNumber, L"=abc"), EConvertError);
}

TEST(ColumnFilterParse, ATextThatDoesNotParseRaisesAndKeepsTheFilter) {
  const struct {
    const wchar_t* Text;
    const wchar_t* Message;  // the whole trimmed text follows
  } Cases[] = {
      {L"'abc", L"Tek tırnak yok sayıldı: "},
      {L"= 'abc", L"Tek tırnak yok sayıldı: "},
      {L"sign in here", L"'(' gerekli: "},
      {L"(abc", L"İfade de hata var:  "},
      {L"NOT abc", L"İfade de hata var:  "},
      {L"abc and", L"İfade de hata var:  "},
      {L"NULL", L"İşlemciden sonra gereksiz ifade var: "},
      {L"not null", L"İşlemciden sonra gereksiz ifade var: "},
      {L">", L"İşlemciden sonra gereksiz ifade var: "},
      {L"abc or <", L"İşlemciden sonra gereksiz ifade var: "},
      {L"abc or > null", L" Null' den önce gereksz ifade : "},
      {L"abc and (x", L"Hatalı ifade : "},
      {L"=5 <3", L"Gereksiz AND veya OR: "},
      {L"and x", L"Gereksiz AND veya OR: "},
      {L"x or or y", L"Gereksiz AND veya OR: "},
  };
  for (const auto& C : Cases) {
    TSTFilterExpressionKv E;
    E.ExpressionType = botString;
    E.Operator1 = foEqual;
    E.Operand1 = L"kept";
    try {
      ParseSTFilterExpression(String(L"  ") + C.Text + L" ", E, fdoAuto);
      ADD_FAILURE() << "no exception for " << C.Text;
    } catch (const EFilterExpressionErrorKv& X) {
      EXPECT_EQ(X.Message(), String(C.Message) + C.Text);
      EXPECT_GT(X.GetPosition(), 0);
    }
    EXPECT_EQ(E.Operator1, foEqual) << C.Text;
    EXPECT_EQ(VarToStr(E.Operand1), L"kept") << C.Text;
  }
}

TEST(ColumnFilterParse, CharAtPosIsZeroOutsideTheText) {
  EXPECT_EQ(CharAtPos(L"ab", 1), L'a');
  EXPECT_EQ(CharAtPos(L"ab", 2), L'b');
  EXPECT_EQ(CharAtPos(L"ab", 3), Char(0));
  EXPECT_EQ(CharAtPos(L"ab", 0), Char(0));
}

namespace {

String Repeat(const String& S, size_t N) {
  String R;
  R.reserve(S.size() * N);
  for (size_t I = 0; I < N; ++I) R += S;
  return R;
}

String ParseOrError(const String& Text) {
  try {
    return Parse(botString, Text);
  } catch (const Exception& E) {
    return L"! " + E.Message();
  }
}

}  // namespace

// Long runs that once recursed once per character or rescanned the rest of the text at every
// blank: each is read in one pass (a rescan at these sizes would outlast the test's time).
TEST(ColumnFilterParse, LongRunsOfOperatorsAndBlanksAreReadInOnePass) {
  const struct {
    const char* What;
    String Text;
    const wchar_t* Expected;  // the parse, or the start of the error
  } Cases[] = {
      {"15,000 exclamation marks", Repeat(L"!", 15000) + L"x", L"İfade de hata var:  "},
      {"100,000 exclamation marks after a value", L"x " + Repeat(L"!", 100000), nullptr},
      {"25,000 nots after a value", L"x " + Repeat(L"not ", 25000) + L"y", nullptr},
      {"25,000 nots before like", L"x " + Repeat(L"not ", 25000) + L"like y", L"Gereksiz AND veya OR: "},
      {"25,000 nots before in", L"x " + Repeat(L"not ", 25000) + L"in y", L"'(' gerekli: "},
      {"200,000 blanks inside a value", L"a" + Repeat(L" ", 200000) + L"b", nullptr},
      {"blanks and words", Repeat(L"a ", 100000) + L"= 1", L"Gereksiz AND veya OR: "},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    TSTFilterExpressionKv E;
    E.ExpressionType = botString;
    try {
      ParseSTFilterExpression(C.Text, E, fdoAuto);
      EXPECT_EQ(C.Expected, nullptr) << "no error";
      EXPECT_NE(E.Operator1, foNon);
    } catch (const EFilterExpressionErrorKv& X) {
      ASSERT_NE(C.Expected, nullptr) << UTF8Encode(X.Message().substr(0, 60));
      EXPECT_EQ(X.Message().substr(0, wcslen(C.Expected)), C.Expected);
    }
  }
  // A NOT that reads a NOT reads no operator; one NOT before LIKE, IN or NULL is theirs.
  const struct {
    const wchar_t* Text;
    const wchar_t* Read;  // the parse, or "! " and the error
  } Chains[] = {
      {L"x ! ! like y", L"! Gereksiz AND veya OR: x ! ! like y"},
      {L"x !!like y", L"LIKE s:x !!like y"},
      {L"x not like y", L"! Gereksiz AND veya OR: x not like y"},
      {L"x not not like y", L"! Gereksiz AND veya OR: x not not like y"},
      {L"x not not in y", L"! '(' gerekli: x not not in y"},
      {L"x !!in y", L"! '(' gerekli: x !!in y"},
      {L"x ! in (1)", L"! Gereksiz AND veya OR: x ! in (1)"},
      {L"not not x", L"! İfade de hata var:  not not x"},
      {L"x !! null", L"! Gereksiz AND veya OR: x !! null"},
      {L"x ! null", L"! Gereksiz AND veya OR: x ! null"},
      {L"x not  null or y", L"! Gereksiz AND veya OR: x not  null or y"},
      {L"x   not   not   null", L"! Gereksiz AND veya OR: x   not   not   null"},
      {L"! ! !", L"! İfade de hata var:  ! ! !"},
      {L"x ! ! !", L"LIKE s:x ! ! !"},
      {L"x not in(y", L"! Gereksiz AND veya OR: x not in(y"},
      {L"x !!!in (y)", L"LIKE s:x !!!in (y)"},
      {L"a  b   c", L"LIKE s:a  b   c"},
      {L"a  = 1", L"! Gereksiz AND veya OR: a  = 1"},
      {L"a   and b", L"LIKE s:a AND LIKE s:b (2)"},
      {L"a  !  = 1", L"! Gereksiz AND veya OR: a  !  = 1"},
      {L"x ! like", L"! Gereksiz AND veya OR: x ! like"},
      {L"x ! like y ! like z", L"! Gereksiz AND veya OR: x ! like y ! like z"},
  };
  for (const auto& C : Chains) EXPECT_EQ(ParseOrError(C.Text), C.Read) << UTF8Encode(C.Text);
}

TEST(ColumnFilterParse, ANumberTooLargeForTheColumnIsAConversionError) {
  ScopedSettings Scope(TFormatSettings::Invariant());
  for (const String& Text : std::vector<String>{L"= " + Repeat(L"9", 400), L"1e400", L"IN (1, -1e999)",
                                                L"=1 or =" + Repeat(L"9", 310)}) {
    SCOPED_TRACE(UTF8Encode(Text));
    TSTFilterExpressionKv E;
    E.ExpressionType = botNumber;
    EXPECT_THROW(ParseSTFilterExpression(Text, E, fdoAuto), EConvertError);
    EXPECT_EQ(E.Operator1, foNon);
  }
  EXPECT_EQ(Parse(botNumber, L"= 1e300"), L"= n:1E300");
}

// ---- Building -----------------------------------------------------------------------------------

namespace {

String Condition(TSTFilterOperatorKv Op, const Variant& Value, const String& Field, bool Like = true,
                 bool NullAsComparison = false, bool In = false,
                 const TDateValueToDatasetDateStringEventKv& DateProc = nullptr) {
  String Result;
  DefaultFilterConditionText(Op, Value, Field, nullptr, DateProc, Like, NullAsComparison, In, Result);
  return Result;
}

}  // namespace

TEST(ColumnFilterBuild, ConditionTexts) {
  ScopedSettings Scope(TFormatSettings::Create(L"tr-TR"));
  const struct {
    TSTFilterOperatorKv Op;
    Variant Value;
    const wchar_t* Field;
    bool Like, NullAsComparison, In;
    const wchar_t* Expected;
  } Cases[] = {
      {foEqual, 1.0, L"A", true, false, false, L" [A] = 1"},
      {foGreaterThan, 2.5, L"A", true, false, false, L" [A] > 2.5"},  // "." whatever the locale
      {foLessOrEqual, L"x", L"A", true, false, false, L" [A] <= 'x'"},
      {foEqual, L"it's", L"A", true, false, false, L" [A] = 'it''s'"},
      {foLike, L"x%", L"B", true, false, false, L" [B] Like 'x%'"},
      {foNotLike, L"x%", L"B", true, false, false, L" Not ( [B] Like 'x%')"},
      {foLike, L"x", L"B", false, false, false, L" [B] = 'x'"},
      {foNotLike, L"x", L"B", false, false, false, L" [B] <> 'x'"},
      {foNull, EmptyParam, L"A", true, false, false, L" [A] IS NULL"},
      {foNotNull, EmptyParam, L"A", true, false, false, L" [A] IS NOT NULL"},
      {foNull, EmptyParam, L"A", true, true, false, L" [A] = NULL"},
      {foNotNull, EmptyParam, L"A", true, true, false, L" [A] <> NULL"},
      {foIn, VarArrayOf({1.0, 2.0}), L"A", true, false, false, L" ([A] = 1 OR [A] = 2)"},
      {foIn, VarArrayOf({1.0, 2.0}), L"A", true, false, true, L" ([A] In(1 ,  2) )"},
      {foNotIn, VarArrayOf({1.0, 2.0}), L"A", true, false, true, L" ([A] Not In(1 ,  2) )"},
      {foNotIn, VarArrayOf({1.0, 2.0}), L"A", true, false, false, L" ( NOT ([A] = 1 OR [A] = 2))"},
      {foIn, VarArrayOf({1.0, EmptyParam}), L"A", true, false, true, L" ([A] In(1)  OR [A] Is Null )"},
      {foIn, VarArrayOf({1.0, Null}), L"A", true, false, false, L" ([A] = 1 OR [A] Is Null)"},
      {foIn, VarArrayOf({EmptyParam, Null}), L"A", true, false, true, L" ([A] Is Null )"},
      {foNotIn, VarArrayOf({1.0, EmptyParam}), L"A", true, false, true, L" ([A] Not In(1)  AND [A] Is Not Null )"},
      {foIn, 3.0, L"A", true, false, true, L" ([A] = 3)"},
      {foIn, VarArrayOf({L"a'b", L"c"}), L"S", true, false, true, L" ([S] In('a''b' ,  'c') )"},
      {foEqual, VarArrayOf({1.0, L"x"}), L"A;B", true, false, false, L"(  [A] = 1 AND  [B] = 'x' )"},
      {foNull, EmptyParam, L"A;B", true, false, false, L"(  [A] IS NULL AND  [B] IS NULL )"},
      {foIn, VarArrayOf({VarArrayOf({1.0, 2.0}), VarArrayOf({3.0, 4.0})}), L"A;B", true, false, true,
       L" ((  [A] = 1 AND  [B] = 2 ) OR (  [A] = 3 AND  [B] = 4 ))"},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(Condition(C.Op, C.Value, C.Field, C.Like, C.NullAsComparison, C.In), C.Expected) << C.Expected;
}

TEST(ColumnFilterBuild, DatesGoThroughTheDatasetsRoutineWhenGiven) {
  TDateTime Day = EncodeDate(2024, 1, 31);
  EXPECT_EQ(Condition(foEqual, Variant(Day), L"D"), L" [D] = " + QuotedStr(DateTimeToStr(Day)));
  auto Iso = [](TDataSet*, const Variant& V, String& Text) { Text = L"'" + FormatDateTime(L"yyyy-mm-dd", V.AsDateTime()) + L"'"; };
  EXPECT_EQ(Condition(foGreaterThan, Variant(Day), L"D", true, false, false, Iso), L" [D] > '2024-01-31'");
}

namespace {

// A dataset of A (float), B (text), C (integer) and on request D (date and time), with a grid over it.
class FilterGrid {
 public:
  explicit FilterGrid(bool WithDate = false) : DS(new TArrayDataSet(nullptr)) {
    DS->GetFieldDefs()->Add(L"A", ftFloat);
    DS->GetFieldDefs()->Add(L"B", ftWideString, 20);
    DS->GetFieldDefs()->Add(L"C", ftInteger);
    if (WithDate) DS->GetFieldDefs()->Add(L"D", ftDateTime);
    DS->Open();
    Grid = std::make_unique<TFakeDBGrid>(DS);
  }
  ~FilterGrid() {
    Grid.reset();
    delete DS;
  }
  void SetFilter(Integer Column, TSTOperandTypeKv Type, const String& Text,
                 TSTFilterDefaultOperatorKv Default = fdoAuto) {
    TSTFilterExpressionKv& E = Grid->Col(Column)->Filter.Expression;
    E.ExpressionType = Type;
    ParseSTFilterExpression(Text, E, Default);
  }
  String Build(bool In = false) {
    String Result;
    BuildGridFilterString(Grid.get(), DefaultFilterConditionText, nullptr, false, true, false, In, Result);
    return Result;
  }
  TArrayDataSet* DS;
  std::unique_ptr<TFakeDBGrid> Grid;
};

}  // namespace

TEST(ColumnFilterBuild, GridTextJoinsTheColumnsFilters) {
  FilterGrid F;
  EXPECT_EQ(F.Build(), L"");
  F.SetFilter(0, botNumber, L"1");
  F.SetFilter(1, botString, L"x", fdoBeginsWith);
  EXPECT_EQ(F.Build(), L" [A] = 1 AND  [B] Like 'x%' ");
  F.SetFilter(1, botString, L"");
  F.SetFilter(0, botNumber, L"=1 or =2");
  EXPECT_EQ(F.Build(), L"( [A] = 1 OR [A] = 2) ");
  F.SetFilter(0, botNumber, L">1 and <2");
  EXPECT_EQ(F.Build(), L" [A] > 1 AND [A] < 2 ");
  // The second condition of a column never uses In(.
  F.SetFilter(0, botNumber, L"in (1,2) or in (3,4)");
  EXPECT_EQ(F.Build(true), L"( ([A] In(1 ,  2) ) OR ([A] = 3 OR [A] = 4)) ");
  F.Grid->Col(0)->Filter.Expression.ExpressionType = botNon;
  EXPECT_EQ(F.Build(), L"");
  F.SetFilter(2, botNumber, L"5");
  F.Grid->HasSource = false;
  EXPECT_EQ(F.Build(), L"");
}

TEST(ColumnFilterBuild, FieldNameFromLookupOriginOrFilter) {
  FilterGrid F;
  F.SetFilter(1, botNumber, L"3");
  F.Grid->Col(1)->Filter.FilterFieldName = L"B_ID";
  EXPECT_EQ(F.Build(), L" [B_ID] = 3 ");
  F.DS->FieldByName(L"B")->SetOrigin(L"T.B");
  String Result;
  BuildGridFilterString(F.Grid.get(), nullptr, nullptr, true, true, false, false, Result);
  EXPECT_EQ(Result, L" [T.B] = 3 ");
  F.Grid->Col(1)->Filter.DataField = L"B";  // a data field of the filter's own wins over the origin
  BuildGridFilterString(F.Grid.get(), nullptr, nullptr, true, true, false, false, Result);
  EXPECT_EQ(Result, L" [B_ID] = 3 ");
  // A column without a field contributes nothing, unless an active lookup gives its key field.
  TFakeLookup Lookup;
  F.Grid->Col(1)->Field = nullptr;
  EXPECT_EQ(F.Build(), L"");
  Lookup.Keys = {F.DS->FieldByName(L"C")};
  F.Grid->Col(1)->Lookup = &Lookup;
  EXPECT_EQ(F.Build(), L" [B_ID] = 3 ");
  Lookup.Active = false;
  EXPECT_EQ(F.Build(), L"");
}

TEST(ColumnFilterBuild, BuiltTextsFilterTheDatasetAsTyped) {
  ScopedSettings Scope(TFormatSettings::Create(L"tr-TR"));
  FilterGrid F;
  for (Integer I = 1; I <= 6; ++I) F.DS->AppendRecord({I * 0.5, String(L"it's ") + IntToStr(I), I});
  F.DS->AppendRecord({Null, Null, Null});
  const struct {
    Integer Column;
    TSTOperandTypeKv Type;
    const wchar_t* Text;
    Integer Count;
  } Cases[] = {
      {0, botNumber, L"=1,5", 1},
      {0, botNumber, L">1 and <=2,5", 3},
      {2, botNumber, L"!In (1,2)", 4},
      {2, botNumber, L"In (1, NULL)", 2},
      {2, botNumber, L"=null", 1},
      {2, botNumber, L"<>null or <0", 6},
      {1, botString, L"='it''s 3'", 1},
      {1, botString, L"<> 'it''s 3'", 5},
  };
  for (const auto& C : Cases) {
    for (Integer I = 0; I < 3; ++I) F.SetFilter(I, botNon, L"");
    F.SetFilter(C.Column, C.Type, C.Text);
    try {
      F.DS->SetFilter(F.Build());
      F.DS->SetFiltered(true);
      EXPECT_EQ(F.DS->GetRecordCount(), C.Count) << C.Text << " => " << F.DS->GetFilter();
    } catch (const Exception& E) {
      ADD_FAILURE() << C.Text << " => " << F.DS->GetFilter() << ": " << E.Message();
    }
    F.DS->SetFiltered(false);
  }
}

TEST(ColumnFilterBuild, OperandsTheDatasetCannotReadAreRefused) {
  FilterGrid F(true);
  // NOW stays a text for a condition builder of the caller's own; the standard one cannot write it.
  const String Day = DateToStr(EncodeDate(2020, 1, 1));
  for (const String& Text : {String(L">= NOW"), String(L"= now"), L"in (" + Day + L", now)"}) {
    SCOPED_TRACE(UTF8Encode(Text));
    F.SetFilter(3, botDateTime, Text);
    try {
      F.Build();
      ADD_FAILURE() << "built " << UTF8Encode(F.Build());
    } catch (const EDatabaseError& E) {
      EXPECT_EQ(E.Message(), L"'NOW' is not a valid value for field 'D'");
    }
  }
  F.SetFilter(3, botNon, L"");
  // A number that does not fit reaches the builder only from a program: refused the same way.
  TSTFilterExpressionKv& E = F.Grid->Col(0)->Filter.Expression;
  E.ExpressionType = botNumber;
  E.Operator1 = foGreaterThan;
  E.Operand1 = std::numeric_limits<double>::infinity();
  EXPECT_THROW(F.Build(), EDatabaseError);
  E.Operand1 = std::numeric_limits<double>::quiet_NaN();
  EXPECT_THROW(F.Build(), EDatabaseError);
}

// Whatever a user types that parses, the standard builder either refuses with an error or writes
// a filter that the dataset reads; for every operand type and with and without In(. A dataset may
// still find a filter too long for it (this one's byte code holds 64 KB): a limit of the dataset
// that the builder cannot know, refused with its own clear error.
TEST(ColumnFilterFuzz, WhatParsesBuildsAFilterTheDatasetReads) {
  FilterGrid F(true);
  std::vector<TBytes> Seeds;
  for (const wchar_t* T : {L">5 AND <10", L"IN (1,2,3)", L"abc", L"abc and def", L"= NULL", L"<> null", L"'it''s'",
                           L">= NOW", L"~ab%", L"!~ab", L"=1 | =2", L"not in (1,null)", L"-2.5", L"= 'a or b'",
                           L"<0 or = null", L"in ('a', 'b')", L"1.1.2020", L"> 31.12.1999 10:00"})
    Seeds.push_back(FuzzBytes(UTF8Encode(T)));
  TFuzzSuite Suite{"column filter", Seeds, 6000, 0x9B05688C2B3E6C1FULL,
                   {" and ", " or ", "!", "not ", "(", ")", ",", "'", "null", "in (", "like ", "=", "<>", "  ", "now",
                    "1e400", "99999", "-", "%", "~", "|", "&"}};
  Suite.Hostile = {FuzzBytes(std::string(15000, '!')), FuzzBytes("x " + UTF8Encode(Repeat(L"not ", 3200))),
                   FuzzBytes("a" + std::string(40000, ' ') + "b"), FuzzBytes("= " + std::string(400, '9')),
                   FuzzBytes("now")};
  const TSTOperandTypeKv Types[] = {botNumber, botString, botNumber, botDateTime};
  Fuzz(Suite, [&](const TBytes& B) {
    const String Text = UTF8ToString(std::string(B.begin(), B.end()));
    for (Integer Column = 0; Column < 4; ++Column) {
      for (Integer I = 0; I < 4; ++I) F.SetFilter(I, botNon, L"");
      try {
        F.SetFilter(Column, Types[Column], Text);
      } catch (const Exception&) {
        continue;  // refused as typed
      }
      for (bool In : {false, true}) {
        String Built;
        try {
          Built = F.Build(In);
        } catch (const EDatabaseError&) {
          continue;  // refused when built
        }
        try {
          F.DS->SetFilter(Built);
        } catch (const EDatabaseError& X) {
          if (X.Message().rfind(L"Filter expression is too long", 0) != 0)
            ADD_FAILURE() << "column " << Column << ": " << UTF8Encode(Text) << " built " << UTF8Encode(Built)
                          << ", which the dataset refuses: " << UTF8Encode(X.Message());
        } catch (const Exception& X) {
          ADD_FAILURE() << "column " << Column << ": " << UTF8Encode(Text) << " built " << UTF8Encode(Built)
                        << ", which the dataset refuses: " << UTF8Encode(X.Message());
        }
        F.DS->SetFilter(L"");
      }
    }
  });
}

TEST(ColumnFilterTables, OperandTypesOfFieldTypes) {
  EXPECT_EQ(STFldTypeMapKv[ftInteger], botNumber);
  EXPECT_EQ(STFldTypeMapKv[ftFMTBcd], botNumber);
  EXPECT_EQ(STFldTypeMapKv[ftSingle], botNumber);
  EXPECT_EQ(STFldTypeMapKv[ftTimeStamp], botDateTime);
  EXPECT_EQ(STFldTypeMapKv[ftBoolean], botBoolean);
  EXPECT_EQ(STFldTypeMapKv[ftWideMemo], botString);
  EXPECT_EQ(STFldTypeMapKv[ftBlob], botNon);
  EXPECT_EQ(STFldTypeMapKv[ftTimeStampOffset], botNon);
  EXPECT_STREQ(STFilterOperatorsStrMapKv[foNotIn], L"!In");
  EXPECT_STREQ(STFilterOperatorsSQLStrMapKv[foNotEqualToNull], L"<> NULL");
}
