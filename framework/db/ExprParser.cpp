// The filter-expression compiler.
//
// Byte code layout (all numbers little-endian, offsets in bytes):
//
//   header, 10 bytes:  u16 version (2) | u16 total size | u16 node count (0xFFFF, unused)
//                      | u16 start of the node area (10) | u16 start of the literal area
//   node area:         variable-length nodes; a node is addressed by its offset from the start
//                      of the node area, and the root is at offset 0
//   literal area:      field and function names (zero-terminated bytes) and constant values;
//                      a literal is addressed by its offset from the start of this area
//
//   node:  u32 class (TNodeClass) | u32 operator (TCANOperator) | u16 operands...
//     1 unary      ISBLANK NOTBLANK NOT UPPER LOWER   operand node
//     2 binary     EQ NE GT LT GE LE AND OR ADD SUB    left node, right node (for IN: the first
//                  MUL DIV LIKE IN                     list element)
//     4 field      FIELD2                              field number (from 1), name literal
//     5 constant   CONST2                              type code, value size, value literal
//    10 function   FUNC2                               name literal, first list element (0: none)
//    11 list elem  LISTELEM2                           expression node, next element (0: end)
//
//   constants: a literal compared with a field (or listed in an IN against one) takes the
//   field's type code from the field map and is converted to that type; otherwise integers are
//   6 (18 beyond 32 bits), decimals 7, TRUE/FALSE 4. Every string constant is written as type
//   4103 (byte length, UTF-16), so text keeps its letters whatever the code page.
//
// Offsets are 16 bits, so byte code above 65,535 bytes is refused: the parser counts the nodes'
// bytes as it makes them and stops there, so a long chain (20,000 ORs) never reaches the writer,
// whose walk recurses. Brackets, NOTs, signs, function arguments and IN lists may nest 256 deep;
// the parser recurses on them. Calculated and lookup fields have no record slot and are refused;
// aggregate functions need poAggregate.

#include "framework/db/ExprParser.h"

#include <cmath>
#include <memory>

#include "framework/FMTBcd.h"
#include "framework/SqlTimSt.h"
#include "framework/db/DBConsts.h"
#include "framework/db/DataSet.h"
#include "framework/sysutils/DateTime.h"
#include "framework/sysutils/Encoding.h"
#include "framework/sysutils/Strings.h"

const TFieldMap DefaultFieldMap = {0, 1, 5,  6,  12, 4,  7,  7,  8, 2, 10, 11, 9, 15, 6, 3, 3, 3,
                                   3, 3, 3,  3,  17, 1,  1,  18, 20, 21, 22, 23, 3, 3, 0, 0, 0, 1,
                                   24, 25, 26, 3, 24, 1, 6,  28, 29, 7,  0,  0,  0, 36, 0, 27};

namespace {

const wchar_t* const SExprSyntax = L"Filter expression error at position %d: %s";
const wchar_t* const SExprTooLong = L"Filter expression is too long: %d bytes of byte code, the limit is 65535";
const wchar_t* const SExprAggregate = L"Aggregate function %s cannot be used in a filter expression";
const wchar_t* const SExprUnknownFunction = L"Unknown function %s in filter expression";

constexpr Integer MaxExprNesting = 256;
constexpr size_t MaxExprCode = 65535;
constexpr size_t ExprHeaderSize = 10;

enum TTokenKind { tkEnd, tkName, tkQuotedName, tkString, tkNumber, tkSymbol };

struct TToken {
  TTokenKind Kind = tkEnd;
  String Text;
  Integer Pos = 0;  // 1-based
};

struct TNode {
  TNodeClass Class = nodeNULL;
  TCANOperator Op = coNOTDEFINED;
  std::vector<std::unique_ptr<TNode>> Args;  // operands; for IN and functions, the list
  // Fields.
  TField* Field = nullptr;
  // Constants.
  enum TConstKind { ckNull, ckString, ckInteger, ckFloat, ckBoolean } ConstKind = ckNull;
  String Str;      // string text, or the number as written
  Int64 IntValue = 0;
  double FloatValue = 0;
  // Functions.
  String FuncName;
  bool CountStar = false;
  Integer Pos = 0;
};
using PNode = std::unique_ptr<TNode>;

const wchar_t* const Aggregates[] = {L"SUM", L"MIN", L"MAX", L"AVG", L"COUNT"};
const wchar_t* const Functions[] = {L"SUBSTRING", L"UPPER",  L"LOWER",  L"TRIM",    L"TRIMLEFT", L"TRIMRIGHT",
                                    L"YEAR",      L"MONTH",  L"DAY",    L"HOUR",    L"MINUTE",   L"SECOND",
                                    L"GETDATE",   L"DATE",   L"TIME",   L"SUM",     L"MIN",      L"MAX",
                                    L"AVG",       L"COUNT"};

bool IsAggregate(const String& Name) {
  for (const wchar_t* A : Aggregates)
    if (SameText(Name, A)) return true;
  return false;
}

class TParser {
 public:
  TParser(TDataSet* DataSet, const String& Text, TParserOptions Options)
      : FDataSet(DataSet), FText(Text), FOptions(Options) {
    Next();
  }

  PNode ParseAll() {
    PNode N = ParseOr();
    if (FTok.Kind != tkEnd) Error(FTok.Pos, L"unexpected '" + FTok.Text + L"'");
    return N;
  }

 private:
  [[noreturn]] void Error(Integer Pos, const String& What) { DatabaseErrorFmt(SExprSyntax, {Pos, What}); }

  bool IsKeyword(const wchar_t* K) const { return FTok.Kind == tkName && SameText(FTok.Text, K); }
  bool IsSymbol(const wchar_t* S) const { return FTok.Kind == tkSymbol && FTok.Text == S; }
  void Expect(const wchar_t* S) {
    if (!IsSymbol(S)) Error(FTok.Pos, String(L"'") + S + L"' expected");
    Next();
  }

  void Next() {
    Integer L = Length(FText);
    while (FPos <= L && (FText[FPos - 1] == L' ' || FText[FPos - 1] == L'\t' || FText[FPos - 1] == L'\r' ||
                         FText[FPos - 1] == L'\n'))
      ++FPos;
    FTok = TToken();
    FTok.Pos = FPos;
    if (FPos > L) return;
    Char C = FText[FPos - 1];
    auto At = [&](Integer P) -> Char { return P <= L ? FText[P - 1] : Char(0); };
    if (C == L'\'') {
      String S;
      Integer P = FPos + 1;
      for (;;) {
        if (P > L) Error(FPos, L"missing closing quote");
        if (At(P) == L'\'') {
          if (At(P + 1) == L'\'') {
            S += L'\'';
            P += 2;
            continue;
          }
          break;
        }
        S += At(P++);
      }
      FTok.Kind = tkString;
      FTok.Text = S;
      FPos = P + 1;
    } else if (C == L'[' || C == L'"') {
      Char Close = C == L'[' ? L']' : L'"';
      Integer P = FPos + 1;
      while (P <= L && At(P) != Close) ++P;
      if (P > L) Error(FPos, String(L"missing '") + Close + L"'");
      FTok.Kind = tkQuotedName;
      FTok.Text = Copy(FText, FPos + 1, P - FPos - 1);
      FPos = P + 1;
    } else if ((C >= L'0' && C <= L'9') || (C == L'.' && At(FPos + 1) >= L'0' && At(FPos + 1) <= L'9')) {
      Integer P = FPos;
      while (P <= L && At(P) >= L'0' && At(P) <= L'9') ++P;
      if (At(P) == L'.') {
        ++P;
        while (P <= L && At(P) >= L'0' && At(P) <= L'9') ++P;
      }
      if ((At(P) == L'e' || At(P) == L'E') &&
          ((At(P + 1) >= L'0' && At(P + 1) <= L'9') ||
           ((At(P + 1) == L'+' || At(P + 1) == L'-') && At(P + 2) >= L'0' && At(P + 2) <= L'9'))) {
        P += 2;
        while (P <= L && At(P) >= L'0' && At(P) <= L'9') ++P;
      }
      FTok.Kind = tkNumber;
      FTok.Text = Copy(FText, FPos, P - FPos);
      FPos = P;
    } else if (IsLetter(C)) {
      Integer P = FPos;
      while (P <= L && (IsLetter(At(P)) || (At(P) >= L'0' && At(P) <= L'9') || At(P) == L'.')) ++P;
      FTok.Kind = tkName;
      FTok.Text = Copy(FText, FPos, P - FPos);
      FPos = P;
    } else {
      static const wchar_t* const Two[] = {L"<>", L"<=", L">=", L"!="};
      for (const wchar_t* T : Two)
        if (C == T[0] && At(FPos + 1) == T[1]) {
          FTok.Kind = tkSymbol;
          FTok.Text = T;
          FPos += 2;
          return;
        }
      if (String(L"=<>+-*/(),").find(C) == String::npos) Error(FPos, String(L"unexpected '") + C + L"'");
      FTok.Kind = tkSymbol;
      FTok.Text = String(1, C);
      ++FPos;
    }
  }

  static bool IsLetter(Char C) { return C == L'_' || (C >= L'a' && C <= L'z') || (C >= L'A' && C <= L'Z') || C >= 0xC0; }

  // Every node made counts at least its fixed part of the byte code (literals come on top).
  PNode Make(TNodeClass Class, TCANOperator Op, Integer Pos) {
    static const size_t Sizes[] = {8, 10, 12, 16, 12, 14, 8, 8, 8, 8, 12, 12};
    CountCode(Sizes[Class]);
    auto N = std::make_unique<TNode>();
    N->Class = Class;
    N->Op = Op;
    N->Pos = Pos;
    return N;
  }
  // A list element of IN or of a function's arguments.
  void CountListElement() { CountCode(12); }
  void CountCode(size_t Bytes) {
    FCode += Bytes;
    if (ExprHeaderSize + FCode > MaxExprCode) DatabaseErrorFmt(SExprTooLong, {Integer(ExprHeaderSize + FCode)});
  }
  PNode Unary(TCANOperator Op, PNode A, Integer Pos) {
    PNode N = Make(nodeUNARY, Op, Pos);
    N->Args.push_back(std::move(A));
    return N;
  }
  PNode Binary(TCANOperator Op, PNode A, PNode B, Integer Pos) {
    PNode N = Make(nodeBINARY, Op, Pos);
    N->Args.push_back(std::move(A));
    N->Args.push_back(std::move(B));
    return N;
  }

  // Held while a rule that recurses is inside another.
  class TNesting {
   public:
    explicit TNesting(TParser& P) : FParser(P) {
      if (++P.FNesting > MaxExprNesting) P.Error(P.FTok.Pos, L"expression nests too deeply");
    }
    ~TNesting() { --FParser.FNesting; }
    TNesting(const TNesting&) = delete;
    TNesting& operator=(const TNesting&) = delete;

   private:
    TParser& FParser;
  };

  PNode ParseOr() {
    TNesting Nested(*this);
    PNode L = ParseAnd();
    while (IsKeyword(L"OR")) {
      Integer P = FTok.Pos;
      Next();
      L = Binary(coOR, std::move(L), ParseAnd(), P);
    }
    return L;
  }

  PNode ParseAnd() {
    PNode L = ParseNot();
    while (IsKeyword(L"AND")) {
      Integer P = FTok.Pos;
      Next();
      L = Binary(coAND, std::move(L), ParseNot(), P);
    }
    return L;
  }

  PNode ParseNot() {
    if (IsKeyword(L"NOT")) {
      TNesting Nested(*this);
      Integer P = FTok.Pos;
      Next();
      return Unary(coNOT, ParseNot(), P);
    }
    return ParseCompare();
  }

  static bool IsNullConst(const TNode* N) { return N->Class == nodeCONST && N->ConstKind == TNode::ckNull; }

  PNode ParseCompare() {
    PNode L = ParseAdditive();
    static const struct {
      const wchar_t* Sym;
      TCANOperator Op;
    } Ops[] = {{L"=", coEQ}, {L"<>", coNE}, {L"!=", coNE}, {L"<", coLT}, {L">", coGT}, {L"<=", coLE}, {L">=", coGE}};
    for (const auto& O : Ops)
      if (IsSymbol(O.Sym)) {
        Integer P = FTok.Pos;
        Next();
        PNode R = ParseAdditive();
        // "x = NULL" and "x <> NULL" are the blank tests, as the grid's filter builder writes them.
        if ((O.Op == coEQ || O.Op == coNE) && (IsNullConst(R.get()) || IsNullConst(L.get()))) {
          FCode -= 14;  // the NULL goes, and its node with it
          return Unary(O.Op == coEQ ? coISBLANK : coNOTBLANK, IsNullConst(R.get()) ? std::move(L) : std::move(R), P);
        }
        return Binary(O.Op, std::move(L), std::move(R), P);
      }
    bool Negate = false;
    Integer NotPos = FTok.Pos;
    if (IsKeyword(L"NOT")) {
      Next();
      Negate = true;
      if (!IsKeyword(L"LIKE") && !IsKeyword(L"IN")) Error(FTok.Pos, L"LIKE or IN expected after NOT");
    }
    if (IsKeyword(L"LIKE")) {
      Integer P = FTok.Pos;
      Next();
      PNode N = Binary(coLIKE, std::move(L), ParseAdditive(), P);
      return Negate ? Unary(coNOT, std::move(N), NotPos) : std::move(N);
    }
    if (IsKeyword(L"IN")) {
      Integer P = FTok.Pos;
      Next();
      Expect(L"(");
      PNode N = Make(nodeBINARY, coIN, P);
      N->Args.push_back(std::move(L));
      for (;;) {
        CountListElement();
        N->Args.push_back(ParseOr());
        if (IsSymbol(L",")) {
          Next();
          continue;
        }
        break;
      }
      Expect(L")");
      return Negate ? Unary(coNOT, std::move(N), NotPos) : std::move(N);
    }
    if (IsKeyword(L"IS")) {
      Integer P = FTok.Pos;
      Next();
      bool Not = false;
      if (IsKeyword(L"NOT")) {
        Not = true;
        Next();
      }
      if (!IsKeyword(L"NULL")) Error(FTok.Pos, L"NULL expected");
      Next();
      return Unary(Not ? coNOTBLANK : coISBLANK, std::move(L), P);
    }
    return L;
  }

  PNode ParseAdditive() {
    PNode L = ParseMultiplicative();
    while (IsSymbol(L"+") || IsSymbol(L"-")) {
      TCANOperator Op = IsSymbol(L"+") ? coADD : coSUB;
      Integer P = FTok.Pos;
      Next();
      L = Binary(Op, std::move(L), ParseMultiplicative(), P);
    }
    return L;
  }

  PNode ParseMultiplicative() {
    PNode L = ParseUnary();
    while (IsSymbol(L"*") || IsSymbol(L"/")) {
      TCANOperator Op = IsSymbol(L"*") ? coMUL : coDIV;
      Integer P = FTok.Pos;
      Next();
      L = Binary(Op, std::move(L), ParseUnary(), P);
    }
    return L;
  }

  PNode ParseUnary() {
    if (IsSymbol(L"-") || IsSymbol(L"+")) {
      TNesting Nested(*this);
      bool Minus = IsSymbol(L"-");
      Integer P = FTok.Pos;
      Next();
      PNode N = ParseUnary();
      if (!Minus) return N;
      if (N->Class == nodeCONST && N->ConstKind == TNode::ckInteger) {
        N->IntValue = -N->IntValue;
        N->Str = L"-" + N->Str;
        return N;
      }
      if (N->Class == nodeCONST && N->ConstKind == TNode::ckFloat) {
        N->FloatValue = -N->FloatValue;
        N->Str = L"-" + N->Str;
        return N;
      }
      PNode Zero = Make(nodeCONST, coCONST2, P);
      Zero->ConstKind = TNode::ckInteger;
      Zero->Str = L"0";
      return Binary(coSUB, std::move(Zero), std::move(N), P);
    }
    return ParsePrimary();
  }

  PNode ParsePrimary() {
    TToken T = FTok;
    switch (T.Kind) {
      case tkEnd:
        Error(T.Pos, L"expression expected");
      case tkString: {
        Next();
        PNode N = Make(nodeCONST, coCONST2, T.Pos);
        N->ConstKind = TNode::ckString;
        N->Str = T.Text;
        return N;
      }
      case tkNumber: {
        Next();
        PNode N = Make(nodeCONST, coCONST2, T.Pos);
        N->Str = T.Text;
        Int64 I = 0;
        if (T.Text.find_first_of(L".eE") == String::npos && TryStrToInt64(T.Text, I)) {
          N->ConstKind = TNode::ckInteger;
          N->IntValue = I;
        } else {
          N->ConstKind = TNode::ckFloat;
          Double D = 0;
          if (!TryStrToFloat(T.Text, D, TFormatSettings::Invariant())) Error(T.Pos, L"invalid number " + T.Text);
          N->FloatValue = D;
        }
        return N;
      }
      case tkSymbol:
        if (T.Text == L"(") {
          Next();
          PNode N = ParseOr();
          Expect(L")");
          return N;
        }
        Error(T.Pos, L"unexpected '" + T.Text + L"'");
      case tkQuotedName:
        Next();
        return FieldNode(T.Text, T.Pos);
      case tkName:
        break;
    }
    if (SameText(T.Text, L"NULL")) {
      Next();
      return Make(nodeCONST, coCONST2, T.Pos);
    }
    if (SameText(T.Text, L"TRUE") || SameText(T.Text, L"FALSE")) {
      Next();
      PNode N = Make(nodeCONST, coCONST2, T.Pos);
      N->ConstKind = TNode::ckBoolean;
      N->IntValue = SameText(T.Text, L"TRUE") ? 1 : 0;
      N->Str = T.Text;
      return N;
    }
    Next();
    if (IsSymbol(L"(")) return FunctionNode(T.Text, T.Pos);
    return FieldNode(T.Text, T.Pos);
  }

  PNode FunctionNode(const String& Name, Integer Pos) {
    Next();  // past "("
    bool Known = false;
    for (const wchar_t* F : Functions) Known = Known || SameText(Name, F);
    if (!Known) DatabaseErrorFmt(SExprUnknownFunction, {Name});
    if (IsAggregate(Name) && !FOptions.Contains(poAggregate)) DatabaseErrorFmt(SExprAggregate, {UpperCase(Name)});
    PNode N;
    if ((SameText(Name, L"UPPER") || SameText(Name, L"LOWER"))) {
      PNode A = ParseOr();
      Expect(L")");
      return Unary(SameText(Name, L"UPPER") ? coUPPER : coLOWER, std::move(A), Pos);
    }
    N = Make(nodeFUNC, coFUNC2, Pos);
    N->FuncName = UpperCase(Name);
    if (SameText(Name, L"COUNT") && IsSymbol(L"*")) {
      Next();
      N->CountStar = true;
      Expect(L")");
      return N;
    }
    if (IsSymbol(L")")) {
      Next();
      return N;
    }
    for (;;) {
      CountListElement();
      N->Args.push_back(ParseOr());
      if (IsSymbol(L",")) {
        Next();
        continue;
      }
      break;
    }
    Expect(L")");
    return N;
  }

  PNode FieldNode(const String& Name, Integer Pos) {
    TField* F = FDataSet ? FDataSet->FindField(Name) : nullptr;
    if (!F) DatabaseErrorFmt(SFieldNotFound, {Name}, FDataSet);
    // The interpreter reads a record's value by field number; computed fields have none.
    if (F->GetFieldNo() <= 0 || F->GetFieldKind() != fkData)
      if (F->GetFieldKind() != fkInternalCalc || F->GetFieldNo() <= 0)
        DatabaseErrorFmt(SFieldNotInFilter, {F->GetDisplayName()}, FDataSet);
    PNode N = Make(nodeFIELD, coFIELD2, Pos);
    N->Field = F;
    return N;
  }

  TDataSet* FDataSet;
  String FText;
  TParserOptions FOptions;
  Integer FPos = 1;
  TToken FTok;
  Integer FNesting = 0;
  size_t FCode = 0;  // bytes of nodes made so far
};

// ---- Writing the byte code ----

class TCodeWriter {
 public:
  explicit TCodeWriter(const TFieldMap& Map) : FMap(Map) {}

  TExprData Build(TNode* Root) {
    Emit(Root, nullptr);
    size_t Total = 10 + FNodes.size() + FLiterals.size();
    if (Total > 65535) DatabaseErrorFmt(SExprTooLong, {Integer(Total)});
    TExprData D;
    D.reserve(Total);
    auto W16 = [&D](size_t V) {
      D.push_back(Byte(V & 0xFF));
      D.push_back(Byte((V >> 8) & 0xFF));
    };
    W16(2);
    W16(Total);
    W16(0xFFFF);
    W16(10);
    W16(10 + FNodes.size());
    D.insert(D.end(), FNodes.begin(), FNodes.end());
    D.insert(D.end(), FLiterals.begin(), FLiterals.end());
    return D;
  }

 private:
  static void Put(TBytes& B, const void* P, size_t N) {
    const Byte* S = static_cast<const Byte*>(P);
    B.insert(B.end(), S, S + N);
  }
  // Offsets are checked when the whole is done; a wrap here is caught there.
  Word Literal(const void* P, size_t N) {
    size_t Off = FLiterals.size();
    Put(FLiterals, P, N);
    return Word(Off);
  }
  Word Name(const String& S) {
    TBytes B = TEncoding::ANSI()->GetBytes(S);
    B.push_back(0);
    return Literal(B.data(), B.size());
  }
  // Reserves a node with Operands operand words; answers its offset.
  size_t NewNode(TNodeClass Class, TCANOperator Op, Integer Operands) {
    size_t Off = FNodes.size();
    Cardinal C = Class, O = Op;
    Put(FNodes, &C, 4);
    Put(FNodes, &O, 4);
    FNodes.resize(FNodes.size() + 2 * Operands, 0);
    return Off;
  }
  void SetOperand(size_t Node, Integer Index, size_t Value) {
    Word W = Word(Value);
    std::memcpy(&FNodes[Node + 8 + 2 * Index], &W, 2);
  }

  // Typed: the field the constant is compared with, if any.
  size_t Emit(TNode* N, TField* TypedBy) {
    switch (N->Class) {
      case nodeFIELD: {
        size_t Off = NewNode(nodeFIELD, coFIELD2, 2);
        SetOperand(Off, 0, size_t(N->Field->GetFieldNo()));
        SetOperand(Off, 1, Name(N->Field->GetFieldName()));
        return Off;
      }
      case nodeCONST:
        return EmitConst(N, TypedBy);
      case nodeUNARY: {
        size_t Off = NewNode(nodeUNARY, N->Op, 1);
        SetOperand(Off, 0, Emit(N->Args[0].get(), nullptr));
        return Off;
      }
      case nodeBINARY: {
        size_t Off = NewNode(nodeBINARY, N->Op, 2);
        bool Compares = (N->Op >= coEQ && N->Op <= coLE) || N->Op == coIN;
        TNode* L = N->Args[0].get();
        TField* LeftField = Compares && L->Class == nodeFIELD ? L->Field : nullptr;
        if (N->Op == coIN) {
          SetOperand(Off, 0, Emit(L, nullptr));
          std::vector<TNode*> Items;
          for (size_t I = 1; I < N->Args.size(); ++I) Items.push_back(N->Args[I].get());
          SetOperand(Off, 1, EmitList(Items, LeftField));
          return Off;
        }
        TNode* R = N->Args[1].get();
        TField* RightField = Compares && R->Class == nodeFIELD ? R->Field : nullptr;
        SetOperand(Off, 0, Emit(L, RightField));
        SetOperand(Off, 1, Emit(R, LeftField));
        return Off;
      }
      case nodeFUNC: {
        size_t Off = NewNode(nodeFUNC, coFUNC2, 2);
        SetOperand(Off, 0, Name(N->FuncName));
        std::vector<TNode*> Items;
        for (auto& A : N->Args) Items.push_back(A.get());
        SetOperand(Off, 1, Items.empty() ? 0 : EmitList(Items, nullptr));
        return Off;
      }
      default:
        return NewNode(nodeNULL, coNOTDEFINED, 0);
    }
  }

  size_t EmitList(const std::vector<TNode*>& Items, TField* TypedBy) {
    size_t First = 0, Prev = 0;
    for (size_t I = 0; I < Items.size(); ++I) {
      size_t Elem = NewNode(nodeLISTELEM, coLISTELEM2, 2);
      if (I == 0) First = Elem;
      else SetOperand(Prev, 1, Elem);
      SetOperand(Elem, 0, Emit(Items[I], TypedBy));
      Prev = Elem;
    }
    return First;
  }

  size_t Const(Word Type, const void* P, size_t Size) {
    size_t Off = NewNode(nodeCONST, coCONST2, 3);
    SetOperand(Off, 0, Type);
    SetOperand(Off, 1, Size);
    SetOperand(Off, 2, Size ? Literal(P, Size) : Word(FLiterals.size()));
    return Off;
  }

  size_t WideString(const String& S) {
    TBytes B;
    Word Len = Word(std::min<size_t>(S.size() * 2, 65535));
    Put(B, &Len, 2);
    Put(B, S.data(), Len);
    return Const(ExprWideStringType, B.data(), B.size());
  }

  // The constant in its own type when it is compared with nothing.
  size_t Natural(TNode* N) {
    switch (N->ConstKind) {
      case TNode::ckNull:
        return Const(0, nullptr, 0);
      case TNode::ckString:
        return WideString(N->Str);
      case TNode::ckBoolean: {
        Word V = Word(N->IntValue ? 1 : 0);
        return Const(4, &V, 2);
      }
      case TNode::ckInteger:
        if (N->IntValue >= INT32_MIN && N->IntValue <= INT32_MAX) {
          Integer V = Integer(N->IntValue);
          return Const(6, &V, 4);
        } else {
          Int64 V = N->IntValue;
          return Const(18, &V, 8);
        }
      case TNode::ckFloat: {
        double V = N->FloatValue;
        return Const(7, &V, 8);
      }
    }
    return Const(0, nullptr, 0);
  }

  [[noreturn]] void BadConstant(TNode* N, TField* F) {
    DatabaseErrorFmt(SInvalidFilterValue, {N->ConstKind == TNode::ckString ? N->Str : N->Str, F->GetDisplayName()});
  }

  double AsNumber(TNode* N, TField* F) {
    switch (N->ConstKind) {
      case TNode::ckInteger: return double(N->IntValue);
      case TNode::ckFloat: return N->FloatValue;
      case TNode::ckBoolean: return double(N->IntValue);
      case TNode::ckString: {
        Double D = 0;
        if (TryStrToFloat(Trim(N->Str), D) || TryStrToFloat(Trim(N->Str), D, TFormatSettings::Invariant())) return D;
        BadConstant(N, F);
      }
      default: BadConstant(N, F);
    }
  }

  TDateTime AsDateTime(TNode* N, TField* F) {
    if (N->ConstKind != TNode::ckString) return TDateTime(AsNumber(N, F));
    TDateTime D;
    String S = Trim(N->Str);
    if (TryStrToDateTime(S, D)) return D;
    TFormatSettings Iso = TFormatSettings::Invariant();
    Iso.DateSeparator = L'-';
    Iso.ShortDateFormat = L"yyyy-mm-dd";
    Iso.TimeSeparator = L':';
    if (TryStrToDateTime(S, D, Iso)) return D;
    if (TryStrToTime(S, D)) return D;
    BadConstant(N, F);
  }

  size_t EmitConst(TNode* N, TField* F) {
    if (!F || N->ConstKind == TNode::ckNull) return Natural(N);
    Word Code = FMap[F->GetDataType()];
    switch (Code) {
      case 1: case 26:
        return WideString(N->ConstKind == TNode::ckString ? N->Str : N->Str);
      case 4: {
        Word V;
        if (N->ConstKind == TNode::ckString) {
          if (SameText(N->Str, L"True")) V = 1;
          else if (SameText(N->Str, L"False")) V = 0;
          else BadConstant(N, F);
        } else {
          V = AsNumber(N, F) != 0 ? 1 : 0;
        }
        return Const(4, &V, 2);
      }
      case 5: case 6: case 12: case 18: case 28: case 29: {
        double D = AsNumber(N, F);
        if (D != std::floor(D)) return Natural(N);  // a fraction keeps its own type
        Int64 I = Int64(D);
        struct {
          Word Code;
          Int64 Min, Max;
          size_t Size;
        } const Kinds[] = {{5, -32768, 32767, 2}, {6, INT32_MIN, INT32_MAX, 4}, {12, 0, 65535, 2},
                           {18, INT64_MIN, INT64_MAX, 8}, {28, -128, 127, 1}, {29, 0, 255, 1}};
        for (const auto& K : Kinds)
          if (K.Code == Code) {
            // A value outside the field's range keeps a type wide enough for it.
            if (I < K.Min || I > K.Max) {
              if (N->ConstKind == TNode::ckString) {
                TNode Tmp;
                Tmp.ConstKind = TNode::ckInteger;
                Tmp.IntValue = I;
                return Natural(&Tmp);
              }
              return Natural(N);
            }
            return Const(Code, &I, K.Size);
          }
        return Natural(N);
      }
      case 7: {
        double D = AsNumber(N, F);
        return Const(7, &D, 8);
      }
      case 27: {
        float S = float(AsNumber(N, F));
        return Const(27, &S, 4);
      }
      case 8: case 25: {
        TBcd B;
        if (N->ConstKind == TNode::ckString) {
          if (!TryStrToBcd(Trim(N->Str), B) && !TryStrToBcd(Trim(N->Str), B, TFormatSettings::Invariant()))
            BadConstant(N, F);
        } else if (N->ConstKind == TNode::ckFloat) {
          if (!TryStrToBcd(N->Str, B, TFormatSettings::Invariant())) B = DoubleToBcd(N->FloatValue);
        } else {
          B = Int64ToBcd(N->IntValue);
        }
        return Const(Code, &B, sizeof(B));
      }
      case 2: {
        Integer Day = DateTimeToTimeStamp(AsDateTime(N, F)).Date;
        return Const(2, &Day, 4);
      }
      case 10: {
        Integer MS = DateTimeToTimeStamp(AsDateTime(N, F)).Time;
        return Const(10, &MS, 4);
      }
      case 11: {
        double MS = double(TimeStampToMSecs(DateTimeToTimeStamp(AsDateTime(N, F))));
        return Const(11, &MS, 8);
      }
      case 24: {
        TSQLTimeStamp T = DateTimeToSQLTimeStamp(AsDateTime(N, F));
        return Const(24, &T, sizeof(T));
      }
      default:
        // Types whose constants the interpreter cannot decode (blobs, bytes, variants...):
        // the literal keeps its own type and compares as what it is.
        return Natural(N);
    }
  }

  const TFieldMap& FMap;
  TBytes FNodes;
  TBytes FLiterals;
};

}  // namespace

TExprParser::TExprParser(TDataSet* DataSet, const String& Text, TFilterOptions, TParserOptions ParserOptions,
                         const String&, void*, const TFieldMap& FieldMap, bool) {
  if (Trim(Text).empty()) return;
  TParser P(DataSet, Text, ParserOptions);
  PNode Root = P.ParseAll();
  TCodeWriter W(FieldMap);
  FData = W.Build(Root.get());
}

TExprParser::~TExprParser() = default;

// ---- The listing ----

String ExprDataDump(const TExprData& Data) {
  if (Data.size() < 10) return L"(empty)\n";
  auto U16 = [&Data](size_t At) -> Word {
    if (At + 2 > Data.size()) return 0;
    return Word(Data[At] | (Data[At + 1] << 8));
  };
  auto U32 = [&Data](size_t At) -> Cardinal {
    Cardinal V = 0;
    if (At + 4 <= Data.size()) std::memcpy(&V, &Data[At], 4);
    return V;
  };
  size_t Lit = U16(8);
  String Out = Format(L"version %d, size %d, literals at %d\n", {Integer(U16(0)), Integer(U16(2)), Integer(Lit)});
  static const wchar_t* const OpNames[] = {
      L"NOTDEFINED", L"ISBLANK", L"NOTBLANK", L"EQ", L"NE", L"GT", L"LT", L"GE", L"LE", L"NOT", L"AND", L"OR",
      L"TUPLE2", L"FIELD2", L"CONST2", L"MINUS", L"ADD", L"SUB", L"MUL", L"DIV", L"MOD", L"REM", L"SUM", L"COUNT",
      L"MIN", L"MAX", L"AVG", L"CONT", L"UDF2", L"CONTINUE2", L"LIKE", L"IN", L"LIST2", L"UPPER", L"LOWER",
      L"FUNC2", L"LISTELEM2", L"ASSIGN"};
  auto Name = [&](size_t Off) {
    String S;
    for (size_t I = Lit + Off; I < Data.size() && Data[I]; ++I) S += Char(Data[I]);
    return S;
  };
  size_t At = 10;
  while (At + 8 <= Lit) {
    Cardinal Cls = U32(At), Op = U32(At + 4);
    String OpName = Op < sizeof(OpNames) / sizeof(OpNames[0]) ? OpNames[Op] : IntToStr(Integer(Op));
    String Line = Format(L"@%d ", {Integer(At - 10)});
    Integer Operands = 0;
    switch (Cls) {
      case nodeUNARY:
        Operands = 1;
        Line += Format(L"unary %s @%d", {OpName, Integer(U16(At + 8))});
        break;
      case nodeBINARY:
        Operands = 2;
        Line += Format(L"binary %s @%d @%d", {OpName, Integer(U16(At + 8)), Integer(U16(At + 10))});
        break;
      case nodeCOMPARE:
        Operands = 4;
        Line += Format(L"compare %s case %d partial %d @%d @%d",
                       {OpName, Integer(U16(At + 8)), Integer(U16(At + 10)), Integer(U16(At + 12)), Integer(U16(At + 14))});
        break;
      case nodeFIELD:
        Operands = 2;
        Line += Format(L"field #%d %s", {Integer(U16(At + 8)), Name(U16(At + 10))});
        break;
      case nodeCONST: {
        Operands = 3;
        Word Type = U16(At + 8), Size = U16(At + 10);
        size_t V = Lit + U16(At + 12);
        String Value;
        auto Get = [&](void* P, size_t N) {
          std::memset(P, 0, N);
          if (V + N <= Data.size()) std::memcpy(P, &Data[V], N);
        };
        switch (Type) {
          case ExprWideStringType: {
            Word L = 0;
            Get(&L, 2);
            Value = L"'";
            for (size_t I = 0; I + 1 < L && V + 2 + I + 1 < Data.size(); I += 2)
              Value += Char(Data[V + 2 + I] | (Data[V + 3 + I] << 8));
            Value += L"'";
            break;
          }
          case 4: case 12: { Word W; Get(&W, 2); Value = IntToStr(Integer(W)); break; }
          case 5: { SmallInt S; Get(&S, 2); Value = IntToStr(Integer(S)); break; }
          case 2: case 6: case 10: case 13: { Integer I; Get(&I, 4); Value = IntToStr(I); break; }
          case 18: case 19: { Int64 I; Get(&I, 8); Value = IntToStr(I); break; }
          case 28: { ShortInt I; Get(&I, 1); Value = IntToStr(Integer(I)); break; }
          case 29: { Byte I; Get(&I, 1); Value = IntToStr(Integer(I)); break; }
          case 7: case 11: { double D; Get(&D, 8); Value = FloatToStr(D, TFormatSettings::Invariant()); break; }
          case 27: { float F; Get(&F, 4); Value = FloatToStr(F, TFormatSettings::Invariant()); break; }
          case 8: case 25: { TBcd B; Get(&B, sizeof(B)); Value = BcdToStr(B, TFormatSettings::Invariant()); break; }
          case 24: {
            TSQLTimeStamp T;
            Get(&T, sizeof(T));
            Value = Format(L"%.4d-%.2d-%.2d %.2d:%.2d:%.2d.%.3d", {Integer(T.Year), Integer(T.Month), Integer(T.Day),
                                                                    Integer(T.Hour), Integer(T.Minute), Integer(T.Second),
                                                                    Integer(T.Fractions)});
            break;
          }
          case 0: Value = L"Null"; break;
          default: Value = L"?"; break;
        }
        Line += Format(L"const type %d size %d %s", {Integer(Type), Integer(Size), Value});
        break;
      }
      case nodeFUNC:
        Operands = 2;
        Line += Format(L"func %s args @%d", {Name(U16(At + 8)), Integer(U16(At + 10))});
        break;
      case nodeLISTELEM:
        Operands = 2;
        Line += Format(L"elem @%d next @%d", {Integer(U16(At + 8)), Integer(U16(At + 10))});
        break;
      default:
        Line += Format(L"class %d %s", {Integer(Cls), OpName});
        break;
    }
    if (Cls != nodeCONST && Cls != nodeFIELD && Cls != nodeFUNC && Cls != nodeLISTELEM && Cls != nodeUNARY &&
        Cls != nodeBINARY && Cls != nodeCOMPARE)
      Operands = 0;
    Out += Line + L"\n";
    At += 8 + 2 * Operands;
  }
  return Out;
}
