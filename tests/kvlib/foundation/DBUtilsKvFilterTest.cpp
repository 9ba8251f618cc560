// The column filter: what a user types under a column title, parsed into conditions, and the
// dataset filter text built back from the columns' filters.

#include <gtest/gtest.h>

#include "framework/DB.h"
#include "framework/SysUtils.h"
#include "kvlib/foundation/DBUtilsKv.h"
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

// A dataset of A (float), B (text) and C (integer), with a grid over it.
class FilterGrid {
 public:
  FilterGrid() : DS(new TArrayDataSet(nullptr)) {
    DS->GetFieldDefs()->Add(L"A", ftFloat);
    DS->GetFieldDefs()->Add(L"B", ftWideString, 20);
    DS->GetFieldDefs()->Add(L"C", ftInteger);
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
