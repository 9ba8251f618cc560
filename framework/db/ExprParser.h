#pragma once
// TExprParser: compiles the text of a dataset filter or aggregate ("Name = 'abc' and Amount >
// 10", "UPPER(City) LIKE 'AN%'", "SUM(Amount)") into byte code that a dataset's own
// interpreter evaluates record by record. The layout is described at the top of
// ExprParser.cpp; ExprDataDump prints it node by node.

#include <array>

#include "framework/db/DBTypes.h"

class TDataSet;
class TField;

DECLARE_ENUM(TParserOption, poExtSyntax, poAggregate, poDefaultExpr, poUseOrigNames, poFieldNameGiven,
             poFieldDepend)
using TParserOptions = Set<TParserOption, 8>;

// The compiled expression.
using TExprData = TBytes;
// The constant type code the byte code gives each field type.
using TFieldMap = std::array<Byte, FieldTypeCount>;
// The map the in-memory table hands the parser.
extern const TFieldMap DefaultFieldMap;

enum TCANOperator {
  coNOTDEFINED, coISBLANK, coNOTBLANK, coEQ, coNE, coGT, coLT, coGE, coLE, coNOT, coAND, coOR, coTUPLE2,
  coFIELD2, coCONST2, coMINUS, coADD, coSUB, coMUL, coDIV, coMOD, coREM, coSUM, coCOUNT, coMIN, coMAX, coAVG,
  coCONT, coUDF2, coCONTINUE2, coLIKE, coIN, coLIST2, coUPPER, coLOWER, coFUNC2, coLISTELEM2, coASSIGN
};

enum TNodeClass {
  nodeNULL, nodeUNARY, nodeBINARY, nodeCOMPARE, nodeFIELD, nodeCONST, nodeTUPLE, nodeCONTINUE, nodeUDF,
  nodeLIST, nodeFUNC, nodeLISTELEM
};

// Constant type codes beyond the field-type codes.
constexpr Word ExprWideStringType = 4103;  // 16-bit byte length, then UTF-16 text

class TExprParser {
 public:
  // Parses Text (an empty text compiles to nothing: DataSize 0). Fields are found in DataSet.
  // Raises EDatabaseError naming the position for text that does not parse.
  TExprParser(TDataSet* DataSet, const String& Text, TFilterOptions FilterOptions, TParserOptions ParserOptions,
              const String& FieldName, void* DependentFields, const TFieldMap& FieldMap, bool UnicodeConstants = true);
  ~TExprParser();
  TExprParser(const TExprParser&) = delete;
  TExprParser& operator=(const TExprParser&) = delete;

  const TExprData& GetFilterData() const { return FData; }
  Integer GetDataSize() const { return Integer(FData.size()); }

 private:
  TExprData FData;
};

// A readable listing of compiled byte code, one node a line, for tests and diagnostics.
String ExprDataDump(const TExprData& Data);
