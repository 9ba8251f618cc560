#pragma once
// The in-memory table's filter and aggregate expressions (TDataSetExprParserKv): the framework's
// parser compiles the text into byte code (framework/db/ExprParser.h), and the evaluator here
// reads that byte code against one record (a filter) or over the accountable records of a records
// view (an aggregate).
//
// Every function call and IN list reads its arguments from its own frame of the argument list, so
// nested calls (SUBSTRING(Name, 1, YEAR(D)), X IN ('a', TRIM(Y))) see only their own arguments.
// A filter whose value is Null or not a truth value does not accept the record; it raises nothing.
// Byte code is read with every offset checked: hand-made or damaged code raises, never reads
// outside the array.

#include <vector>

#include "framework/DB.h"
#include "framework/Variants.h"
#include "framework/db/ExprParser.h"

class TMemoryRecordKv;
class TRecordsViewKv;

enum TDataSetExprParserTypeKv { dsptFilterKv, dsptAggregateKv };

class TDataSetExprParserKv {
 public:
  TDataSetExprParserKv(TDataSet* ADataSet, TDataSetExprParserTypeKv AExprParserType);
  ~TDataSetExprParserKv();
  TDataSetExprParserKv(const TDataSetExprParserKv&) = delete;
  TDataSetExprParserKv& operator=(const TDataSetExprParserKv&) = delete;

  // Compiles Expr for the dataset's fields; an error leaves the previous expression in force.
  void ParseExpression(const String& Expr);
  // Takes byte code made elsewhere (for tests and for code compiled once and shared).
  void SetExprData(const TExprData& Data);
  bool HasData() const { return FExprDataSize > 0; }
  const TExprData& GetExprData() const { return FExprData; }
  TDataSet* GetDataSet() const { return FDataSet; }
  TDataSetExprParserTypeKv GetExprParserType() const { return FExprParserType; }

  // False without an expression, and for a value that is Null or no truth value.
  bool IsCurRecordInFilter(TMemoryRecordKv* Rec);
  // Record buffers are not evaluated.
  bool IsCurRecordBufInFilter(TRecordBuffer) { return true; }
  // The expression's value over the view's accountable records; false without an expression.
  Variant CalcAggregateValue(TRecordsViewKv* RecordsView);
  // The value for one record, as it is (for tests and value lists).
  Variant Evaluate(TMemoryRecordKv* Rec);

 private:
  class TEvaluator;
  friend class TEvaluator;
  void ResetCache();

  TDataSet* FDataSet;
  TExprData FExprData;
  Integer FExprDataSize = 0;
  TDataSetExprParserTypeKv FExprParserType;
  // Constants decoded once (by node offset), so a filter allocates nothing per record for them.
  std::vector<Variant> FConstants;
  std::vector<Byte> FConstantKnown;
  // The argument list, kept between evaluations so its slots are reused.
  std::vector<Variant> FArgs;
  bool FBusy = false;
};

// 'ab' LIKE 'ab_': "%" any run, "_" one character, no escape; see the unit for the normalised
// wildcards and the tail that is matched at the end of the text.
bool IsLikeMatch(const String& Text, const String& Pattern, bool IgnoreCase);
// -1, 0 or 1 by the user's collation over the first PartialLength characters (0: whole texts).
Integer CompareVarStrings(const Variant& A, const Variant& B, Integer PartialLength, bool IgnoreCase);
