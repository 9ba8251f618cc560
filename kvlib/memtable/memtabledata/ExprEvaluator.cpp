// The interpreter of filter and aggregate byte code. The layout is the one ExprParser.cpp writes:
// a 10-byte header whose bytes 8-9 give the start of the literal area, nodes addressed by their
// offset from byte 10, literals by their offset from the literal area.

#include "kvlib/memtable/memtabledata/ExprEvaluator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/FMTBcd.h"
#include "framework/SqlTimSt.h"
#include "framework/SysUtils.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/memtable/memtabledata/Records.h"
#include "kvlib/memtable/memtabledata/RecordsView.h"

namespace ExprEvaluatorKv {

const wchar_t* const SOperatorNotSupported = L"Operator <%d:%d> not supported.";
const wchar_t* const SUnsupportedFunction = L"Unsupported function: %s";
const wchar_t* const SIncorrectArgCount = L"Incorrect number of arguments in function <%s>";
const wchar_t* const SUnsupportedDataType = L"Unsupported data type: [%d].";
const wchar_t* const SBadByteCode = L"Invalid filter byte code at offset %d";
const wchar_t* const SBadFieldNumber = L"Field '%s' cannot be used in a filter expression";
const wchar_t* const SAggregateNeedsView = L"Aggregate function %s needs a records view";
const wchar_t* const STooDeep = L"Filter byte code nests too deep";

constexpr size_t HeaderSize = 10;
// The parser nests at most 256 levels; hand-made code that loops on itself stops here.
constexpr Integer MaxDepth = 2048;

// Field-type numbers that the unsupported constant codes map to.
Integer UnsupportedTypeOf(Word Code) {
  switch (Code) {
    case 3: return 15;
    case 9: return 12;
    case 15: return 13;
    case 20: return 26;
    case 21: return 27;
    case 22: return 28;
    case 23: return 29;
    default: return Code;
  }
}

bool IsNumericVar(const Variant& V) {
  switch (VarType(V)) {
    case varSmallint: case varInteger: case varSingle: case varDouble: case varCurrency: case varDate:
    case varBoolean: case varShortInt: case varByte: case varWord: case varLongWord: case varInt64:
      return true;
    default:
      return false;
  }
}

Variant DateVar(TDateTime D) { return Variant(DateTimeWithoutMSec(D)); }

// Text of a value for the string operations: Null gives ''.
String TextOf(const Variant& V) { return VarIsStr(V) ? V.AsString() : VarToStr(V); }

String TrimChars(const String& S, const String& TrimText, bool Left, bool Right) {
  if (TrimText.size() != 1) return S;
  Char C = TrimText[0];
  size_t B = 0, E = S.size();
  if (Left)
    while (B < E && S[B] == C) ++B;
  if (Right)
    while (E > B && S[E - 1] == C) --E;
  return S.substr(B, E - B);
}

}  // namespace ExprEvaluatorKv

Integer CompareVarStrings(const Variant& A, const Variant& B, Integer PartialLength, bool IgnoreCase) {
  String SA = ExprEvaluatorKv::TextOf(A), SB = ExprEvaluatorKv::TextOf(B);
  if (PartialLength > 0) {
    if (Integer(SA.size()) > PartialLength) SA.resize(size_t(PartialLength));
    if (Integer(SB.size()) > PartialLength) SB.resize(size_t(PartialLength));
  }
  Integer R = IgnoreCase ? AnsiCompareText(SA, SB) : AnsiCompareStr(SA, SB);
  return R < 0 ? -1 : (R > 0 ? 1 : 0);
}

namespace ExprEvaluatorKv {

void ReplaceAllRepeated(String& S, const wchar_t* From, const wchar_t* To) {
  size_t FromLen = std::wcslen(From);
  for (;;) {
    size_t P = S.find(From);
    if (P == String::npos) return;
    while (P != String::npos) {
      S.replace(P, FromLen, To);
      P = S.find(From, P);
    }
  }
}

bool SegmentAt(const String& Text, size_t At, const String& Seg) {
  if (At + Seg.size() > Text.size()) return false;
  for (size_t K = 0; K < Seg.size(); ++K)
    if (Seg[K] != L'_' && Seg[K] != Text[At + K]) return false;
  return true;
}

}  // namespace ExprEvaluatorKv

bool IsLikeMatch(const String& AText, const String& APattern, bool IgnoreCase) {
  if (AText == APattern) return true;
  String Pattern = APattern;
  // The wildcards are normalised first, so a_% means a% (kept as the table has always done).
  ExprEvaluatorKv::ReplaceAllRepeated(Pattern, L"%%", L"%");
  ExprEvaluatorKv::ReplaceAllRepeated(Pattern, L"_%", L"%");
  ExprEvaluatorKv::ReplaceAllRepeated(Pattern, L"%_", L"%");
  if (Pattern == L"%") return true;
  if (AText.empty() || Pattern.empty()) return false;
  String Text = AText;
  if (IgnoreCase) {
    Text = AnsiUpperCase(Text);
    Pattern = AnsiUpperCase(Pattern);
  }
  size_t I = 0, J = 0;
  while (I < Text.size() && J < Pattern.size()) {
    Char P = Pattern[J];
    if (P == L'%') {
      size_t Next = Pattern.find(L'%', J + 1);
      if (Next == String::npos) {
        // The tail is matched against the end of the text.
        String Tail = Pattern.substr(J + 1);
        if (Tail.empty()) return true;
        if (Tail.size() > Text.size()) return false;
        return ExprEvaluatorKv::SegmentAt(Text, Text.size() - Tail.size(), Tail);
      }
      String Seg = Pattern.substr(J + 1, Next - J - 1);
      size_t Found = String::npos;
      for (size_t At = I; At + Seg.size() <= Text.size(); ++At)
        if (ExprEvaluatorKv::SegmentAt(Text, At, Seg)) {
          Found = At;
          break;
        }
      if (Found == String::npos) return false;
      I = Found + Seg.size();
      J = Next;
    } else if (P == L'_' || P == Text[I]) {
      ++I;
      ++J;
    } else {
      return false;
    }
  }
  if (I < Text.size()) return false;
  for (; J < Pattern.size(); ++J)
    if (Pattern[J] != L'%' && Pattern[J] != L'_') return false;
  return true;
}

// ---- The interpreter ----------------------------------------------------------------------------

class TDataSetExprParserKv::TEvaluator {
 public:
  TEvaluator(TDataSetExprParserKv& Owner, TRecordsViewKv* View, TMemoryRecordKv* Rec)
      : FOwner(Owner), FData(Owner.FExprData), FView(View), FRec(Rec), FBase(Owner.FArgs.size()) {
    FLiterals = U16(8);
  }
  ~TEvaluator() { FOwner.FArgs.resize(FBase); }

  Variant Node(Integer NodeOffset) {
    if (++FDepth > ExprEvaluatorKv::MaxDepth) throw Exception(ExprEvaluatorKv::STooDeep);
    struct TDepth {
      Integer& D;
      ~TDepth() { --D; }
    } Depth{FDepth};
    size_t At = size_t(NodeOffset) + ExprEvaluatorKv::HeaderSize;
    Cardinal Class = U32(At);
    Cardinal Op = U32(At + 4);
    switch (Class & 0x7F) {
      case 1: return Unary(At, Class, Op);
      case 2: return Binary(At, Class, Op);
      case 3: return Compare(At, Class, Op);
      case 4:
        CheckOp(Class, Op, coFIELD2);
        return Field(At);
      case 5:
        CheckOp(Class, Op, coCONST2);
        return Constant(NodeOffset, At);
      case 10:
        CheckOp(Class, Op, coFUNC2);
        return Function(At);
      case 11: {
        CheckOp(Class, Op, coLISTELEM2);
        AppendList(NodeOffset);
        return Variant(true);
      }
      default:
        return Null;
    }
  }

 private:
  // ---- Reading the byte code, every offset checked ----
  [[noreturn]] void Bad(size_t At) const { throw Exception(ExprEvaluatorKv::SBadByteCode, {Integer(At)}); }
  Word U16(size_t At) const {
    if (At + 2 > FData.size()) Bad(At);
    return Word(FData[At] | FData[At + 1] << 8);
  }
  Cardinal U32(size_t At) const {
    if (At + 4 > FData.size()) Bad(At);
    Cardinal V;
    std::memcpy(&V, &FData[At], 4);
    return V;
  }
  Word Operand(size_t At, Integer I) const { return U16(At + 8 + size_t(I) * 2); }
  // The zero-terminated byte string at a literal offset.
  String LiteralName(Word Offset) const {
    size_t At = size_t(FLiterals) + Offset;
    String S;
    for (;; ++At) {
      if (At >= FData.size()) Bad(At);
      if (FData[At] == 0) return S;
      S += Char(FData[At]);
    }
  }
  void CheckOp(Cardinal Class, Cardinal Op, Cardinal Allowed) const {
    if (Op != Allowed) throw Exception(ExprEvaluatorKv::SOperatorNotSupported, {Integer(Class), Integer(Op)});
  }
  bool IgnoreCase() const {
    return FOwner.FDataSet && FOwner.FDataSet->GetFilterOptions().Contains(foCaseInsensitive);
  }

  // ---- Node classes ----
  Variant Unary(size_t At, Cardinal Class, Cardinal Op) {
    switch (Op) {
      case coISBLANK: case coNOTBLANK: case coNOT: case coUPPER: case coLOWER: break;
      default: throw Exception(ExprEvaluatorKv::SOperatorNotSupported, {Integer(Class), Integer(Op)});
    }
    Variant V = Node(Operand(At, 0));
    switch (Op) {
      case coISBLANK:
        return Variant(VarIsStr(V) ? V.AsString().empty() : VarIsNull(V));
      case coNOTBLANK:
        return Variant(VarIsStr(V) ? !V.AsString().empty() : !VarIsNull(V));
      case coNOT:
        // NOT of Null stays Null: not a truth value, so a filter does not accept it.
        if (VarIsNull(V) || VarIsEmpty(V)) return Null;
        return Variant(!V.AsBoolean());
      default:
        if (VarIsNull(V)) return Null;
        return Variant(Op == coUPPER ? AnsiUpperCase(ExprEvaluatorKv::TextOf(V)) : AnsiLowerCase(ExprEvaluatorKv::TextOf(V)));
    }
  }

  static bool Relation(Cardinal Op, Integer C) {
    switch (Op) {
      case coEQ: return C == 0;
      case coNE: return C != 0;
      case coGT: return C > 0;
      case coLT: return C < 0;
      case coGE: return C >= 0;
      default: return C <= 0;
    }
  }

  // Equality as IN tests it: texts by the collation, dates without their milliseconds.
  bool ValuesEqual(const Variant& L, const Variant& R) {
    if (VarIsStr(L) || VarIsStr(R)) return CompareVarStrings(L, R, 0, IgnoreCase()) == 0;
    if (VarType(L) == varDate && VarType(R) == varDate)
      return DateTimeWithoutMSec(L.AsDateTime()).Val == DateTimeWithoutMSec(R.AsDateTime()).Val;
    return L == R;
  }

  Variant Binary(size_t At, Cardinal Class, Cardinal Op) {
    switch (Op) {
      case coEQ: case coNE: case coGT: case coLT: case coGE: case coLE: case coAND: case coOR: case coADD:
      case coSUB: case coMUL: case coDIV: case coLIKE: case coIN:
        break;
      default:
        throw Exception(ExprEvaluatorKv::SOperatorNotSupported, {Integer(Class), Integer(Op)});
    }
    Variant L = Node(Operand(At, 0));
    if (Op == coIN) {
      size_t Base = FOwner.FArgs.size();
      TFrame Frame(FOwner.FArgs, Base);
      AppendList(Operand(At, 1));
      for (size_t I = Base; I < FOwner.FArgs.size(); ++I)
        if (ValuesEqual(L, FOwner.FArgs[I])) return Variant(true);
      return Variant(false);
    }
    Variant R = Node(Operand(At, 1));
    switch (Op) {
      case coEQ: case coNE: case coGT: case coLT: case coGE: case coLE: {
        if (VarIsStr(L) || VarIsStr(R)) return Variant(Relation(Op, CompareVarStrings(L, R, 0, IgnoreCase())));
        if (Op == coEQ && VarType(L) == varDate && VarType(R) == varDate)
          return Variant(DateTimeWithoutMSec(L.AsDateTime()).Val == DateTimeWithoutMSec(R.AsDateTime()).Val);
        switch (Op) {
          case coEQ: return Variant(L == R);
          case coNE: return Variant(L != R);
          case coGT: return Variant(L > R);
          case coLT: return Variant(L < R);
          case coGE: return Variant(L >= R);
          default: return Variant(L <= R);
        }
      }
      case coAND: return L & R;
      case coOR: return L | R;
      case coADD:
        if (VarIsNull(L) && VarIsNull(R)) return Null;
        if (VarIsStr(L) || VarIsStr(R)) return Variant(ExprEvaluatorKv::TextOf(L) + ExprEvaluatorKv::TextOf(R));
        return L + R;
      case coSUB: return L - R;
      case coMUL: return L * R;
      case coDIV: return L / R;
      default:
        return Variant(IsLikeMatch(ExprEvaluatorKv::TextOf(L), ExprEvaluatorKv::TextOf(R), IgnoreCase()));
    }
  }

  Variant Compare(size_t At, Cardinal Class, Cardinal Op) {
    if (Op != coEQ && Op != coNE && Op != coLIKE)
      throw Exception(ExprEvaluatorKv::SOperatorNotSupported, {Integer(Class), Integer(Op)});
    bool Case = Operand(At, 0) == 1;
    Integer Partial = Operand(At, 1);
    Variant L = Node(Operand(At, 2));
    Variant R = Node(Operand(At, 3));
    if (Op == coLIKE) return Variant(IsLikeMatch(ExprEvaluatorKv::TextOf(L), ExprEvaluatorKv::TextOf(R), Case));
    Integer C = CompareVarStrings(L, R, Partial, Case);
    return Variant(Op == coEQ ? C == 0 : C != 0);
  }

  Variant Field(size_t At) {
    Integer No = Integer(SmallInt(Operand(At, 0)));
    Word NameAt = Operand(At, 1);
    TMemoryRecordKv* Rec = FRec;
    if (!Rec && FView) {
      if (FView->AccountableItemsCount() < 1) return Null;
      Rec = FView->AccountableRecord(FAggRow);
    }
    if (Rec) {
      if (No < 1) throw Exception(ExprEvaluatorKv::SBadFieldNumber, {LiteralName(NameAt)});
      return Rec->GetDataValue(No - 1, dvvValueKv);
    }
    String Name = LiteralName(NameAt);
    if (!FOwner.FDataSet) throw Exception(ExprEvaluatorKv::SBadFieldNumber, {Name});
    return FOwner.FDataSet->GetFieldValues(Name);
  }

  Variant Constant(Integer NodeOffset, size_t At) {
    size_t Slot = size_t(NodeOffset);
    if (Slot < FOwner.FConstantKnown.size() && FOwner.FConstantKnown[Slot]) return FOwner.FConstants[Slot];
    Variant V = DecodeConstant(At);
    if (Slot < FOwner.FConstantKnown.size()) {
      FOwner.FConstants[Slot] = V;
      FOwner.FConstantKnown[Slot] = 1;
    }
    return V;
  }

  Variant DecodeConstant(size_t At) {
    Word Code = Operand(At, 0);
    Word Size = Operand(At, 1);
    size_t V = size_t(FLiterals) + Operand(At, 2);
    auto Get = [&](void* P, size_t N) {
      if (N > Size || V + N > FData.size()) Bad(V);
      std::memcpy(P, &FData[V], N);
    };
    if (Code == ExprWideStringType) {
      Word L = 0;
      Get(&L, 2);
      if (V + 2 + L > FData.size()) Bad(V);
      String S(L / 2, L'\0');
      for (size_t I = 0; I < S.size(); ++I) S[I] = Char(FData[V + 2 + 2 * I] | FData[V + 3 + 2 * I] << 8);
      return Variant(S);
    }
    if (Code > ExprWideStringType) return Null;
    switch (Code) {
      case 0: case 14: case 16: case 17: case 30: case 31:
        return Null;
      case 1: case 26: {
        if (Size < 1 || V + Size > FData.size()) Bad(V);
        return Variant(AnsiString(reinterpret_cast<const char*>(&FData[V]), Size - 1));
      }
      case 2: {
        Integer Day = 0;
        Get(&Day, 4);
        TTimeStamp T;
        T.Date = Day;
        if (Day < 1) return Null;
        return ExprEvaluatorKv::DateVar(TimeStampToDateTime(T));
      }
      case 4: {
        Word W = 0;
        Get(&W, 2);
        return Variant(W != 0);
      }
      case 5: {
        SmallInt S = 0;
        Get(&S, 2);
        return Variant(S);
      }
      case 6: case 13: {
        Integer I = 0;
        Get(&I, 4);
        return Variant(I);
      }
      case 7: {
        double D = 0;
        Get(&D, 8);
        return Variant(D);
      }
      case 8: case 25: {
        TBcd B;
        Get(&B, sizeof(B));
        Currency C;
        try {
          if (!BCDToCurr(B, C)) return Null;
        } catch (const Exception&) {
          return Null;
        }
        return Variant(C);
      }
      case 10: {
        Integer MS = 0;
        Get(&MS, 4);
        return ExprEvaluatorKv::DateVar(TDateTime(double(MS) / MSecsPerDay));
      }
      case 11: {
        double MS = 0;
        Get(&MS, 8);
        if (!std::isfinite(MS) || MS < double(MSecsPerDay) || MS > 3.2e14) return Null;
        return ExprEvaluatorKv::DateVar(TimeStampToDateTime(MSecsToTimeStamp(Int64(std::llround(MS)))));
      }
      case 12: {
        Word W = 0;
        Get(&W, 2);
        return Variant(W);
      }
      case 18: case 19: {
        Int64 I = 0;
        Get(&I, 8);
        return Variant(I);
      }
      case 24: {
        TSQLTimeStamp T;
        Get(&T, sizeof(T));
        return VarSQLTimeStampCreate(T);
      }
      case 27: {
        float F = 0;
        Get(&F, 4);
        return Variant(F);
      }
      case 28: {
        signed char I = 0;
        Get(&I, 1);
        return Variant(I);
      }
      case 29: {
        unsigned char I = 0;
        Get(&I, 1);
        return Variant(I);
      }
      default:
        throw Exception(ExprEvaluatorKv::SUnsupportedDataType, {ExprEvaluatorKv::UnsupportedTypeOf(Code)});
    }
  }

  // Appends the value of every element of the list that starts at ListOffset.
  void AppendList(Integer ListOffset) {
    // A list longer than the code has nodes can only be a loop.
    size_t Limit = FData.size() / 12 + 1;
    for (Integer Elem = ListOffset;; ) {
      size_t At = size_t(Elem) + ExprEvaluatorKv::HeaderSize;
      Cardinal Class = U32(At);
      if ((Class & 0x7F) != 11) {
        // A plain expression where an element is expected counts as one element.
        FOwner.FArgs.push_back(Node(Elem));
        return;
      }
      CheckOp(Class, U32(At + 4), coLISTELEM2);
      FOwner.FArgs.push_back(Node(Operand(At, 0)));
      Integer Next = Integer(SmallInt(Operand(At, 1)));
      if (Next < 1) return;
      if (--Limit == 0) Bad(At);
      Elem = Next;
    }
  }

  // The part of the argument list a call owns; given back when the call ends, error or not.
  struct TFrame {
    std::vector<Variant>& Args;
    size_t Base;
    TFrame(std::vector<Variant>& A, size_t B) : Args(A), Base(B) {}
    ~TFrame() { Args.resize(Base); }
    Integer Count() const { return Integer(Args.size() - Base); }
    const Variant& operator[](Integer I) const { return Args[Base + size_t(I)]; }
  };

  Variant Function(size_t At) {
    String Name = LiteralName(Operand(At, 0));
    Word First = Operand(At, 1);
    String U = UpperCase(Name);
    static const wchar_t* const Known[] = {L"SUBSTRING", L"UPPER",   L"LOWER", L"TRIM",   L"TRIMLEFT",
                                           L"TRIMRIGHT", L"YEAR",    L"MONTH", L"DAY",    L"HOUR",
                                           L"MINUTE",    L"SECOND",  L"GETDATE", L"DATE", L"TIME",
                                           L"SUM",       L"MIN",     L"MAX",   L"AVG",    L"COUNT"};
    if (std::none_of(std::begin(Known), std::end(Known), [&](const wchar_t* K) { return U == K; }))
      throw Exception(ExprEvaluatorKv::SUnsupportedFunction, {Name});
    if (U == L"SUM" || U == L"MIN" || U == L"MAX" || U == L"AVG" || U == L"COUNT") return Aggregate(U, Name, First);
    TFrame A(FOwner.FArgs, FOwner.FArgs.size());
    if (First != 0) AppendList(First);
    Integer N = A.Count();
    auto Need = [&](Integer Lo, Integer Hi) {
      if (N < Lo || N > Hi) throw Exception(ExprEvaluatorKv::SIncorrectArgCount, {Name});
    };
    if (U == L"SUBSTRING") {
      Need(2, 3);
      if (VarIsNull(A[0])) return Null;
      String S = ExprEvaluatorKv::TextOf(A[0]);
      Int64 From = A[1].AsInt64();
      Int64 Len = N == 3 ? A[2].AsInt64() : Int64(S.size());
      if (From < 1) From = 1;
      if (Len < 0 || From > Int64(S.size())) return Variant(String());
      return Variant(S.substr(size_t(From - 1), size_t(std::min<Int64>(Len, Int64(S.size()) - From + 1))));
    }
    if (U == L"UPPER" || U == L"LOWER") {
      Need(1, 1);
      if (VarIsNull(A[0])) return Null;
      return Variant(U == L"UPPER" ? AnsiUpperCase(ExprEvaluatorKv::TextOf(A[0])) : AnsiLowerCase(ExprEvaluatorKv::TextOf(A[0])));
    }
    if (U == L"TRIM" || U == L"TRIMLEFT" || U == L"TRIMRIGHT") {
      Need(1, 2);
      if (VarIsNull(A[0])) return Null;
      String T = N == 2 ? ExprEvaluatorKv::TextOf(A[1]) : String(L" ");
      return Variant(ExprEvaluatorKv::TrimChars(ExprEvaluatorKv::TextOf(A[0]), T, U != L"TRIMRIGHT", U != L"TRIMLEFT"));
    }
    if (U == L"GETDATE") {
      Need(0, 0);
      return Variant(Now());
    }
    Need(1, 1);
    if (VarIsNull(A[0])) return Null;
    TDateTime D(A[0].AsDouble());
    if (U == L"DATE") return Variant(TDateTime(std::trunc(D.Val)));
    if (U == L"TIME") return Variant(TDateTime(std::fabs(D.Val - std::trunc(D.Val))));
    if (!std::isfinite(D.Val) || std::fabs(D.Val) > 2958466.0) throw EConvertError(L"Invalid date value");
    Word Y, M, Dd, H, Mi, S, MS;
    DecodeDate(D, Y, M, Dd);
    DecodeTime(D, H, Mi, S, MS);
    if (U == L"YEAR") return Variant(Y);
    if (U == L"MONTH") return Variant(M);
    if (U == L"DAY") return Variant(Dd);
    if (U == L"HOUR") return Variant(H);
    if (U == L"MINUTE") return Variant(Mi);
    return Variant(S);
  }

  // One value of the aggregate's argument at the current row.
  Variant RowValue(const String& Name, Word First) {
    TFrame A(FOwner.FArgs, FOwner.FArgs.size());
    if (First != 0) AppendList(First);
    if (A.Count() != 1) throw Exception(ExprEvaluatorKv::SIncorrectArgCount, {Name});
    return A[0];
  }

  Variant Aggregate(const String& U, const String& Name, Word First) {
    if (!FView) throw Exception(ExprEvaluatorKv::SAggregateNeedsView, {Name});
    Integer Count = FView->AccountableItemsCount();
    if (U == L"COUNT" && First == 0) return Variant(Count);
    if (Count < 1) return Null;
    Variant Sum(0), Running;
    Integer Counted = 0;
    bool First1 = true;
    for (Integer Row = 0; Row < Count; ++Row) {
      FAggRow = Row;
      Variant V = RowValue(Name, First);
      if (U == L"SUM" || U == L"AVG") {
        if (!VarIsNull(V) && ExprEvaluatorKv::IsNumericVar(V)) Sum = First1 ? V : Sum + V;
        else if (First1) Sum = Variant(0);
      } else if (U == L"COUNT") {
        if (!VarIsNull(V)) ++Counted;
      } else if (!VarIsNull(V)) {
        // Nulls take no part: a Null first row does not hide the values after it.
        if (Running.IsEmpty()) {
          Running = V;
        } else {
          bool Texts = VarType(V) == varString || VarType(Running) == varString;
          Integer C = Texts ? AnsiCompareStr(ExprEvaluatorKv::TextOf(V), ExprEvaluatorKv::TextOf(Running))
                            : (V < Running ? -1 : (Running < V ? 1 : 0));
          if (U == L"MIN" ? C < 0 : C > 0) Running = V;
        }
      }
      First1 = false;
    }
    if (U == L"COUNT") return Variant(Counted);
    if (U == L"MIN" || U == L"MAX") return Running.IsEmpty() ? Variant(Null) : Running;
    if (U == L"SUM") return Sum;
    // AVG divides by every accountable record, those without a value included.
    return Sum / Variant(Count);
  }

  TDataSetExprParserKv& FOwner;
  const TExprData& FData;
  TRecordsViewKv* FView;
  TMemoryRecordKv* FRec;
  size_t FBase;
  Word FLiterals = 0;
  Integer FAggRow = 0;
  Integer FDepth = 0;
};

// ---- The expression object ----------------------------------------------------------------------

TDataSetExprParserKv::TDataSetExprParserKv(TDataSet* ADataSet, TDataSetExprParserTypeKv AExprParserType)
    : FDataSet(ADataSet), FExprParserType(AExprParserType) {}

TDataSetExprParserKv::~TDataSetExprParserKv() = default;

void TDataSetExprParserKv::ParseExpression(const String& Expr) {
  TParserOptions Options = {poExtSyntax};
  if (FExprParserType == dsptAggregateKv) Options.Include(poAggregate);
  TFilterOptions FilterOptions = FDataSet ? FDataSet->GetFilterOptions() : TFilterOptions();
  TExprParser Parser(FDataSet, Expr, FilterOptions, Options, String(), nullptr, DefaultFieldMap, false);
  SetExprData(Parser.GetFilterData());
}

void TDataSetExprParserKv::SetExprData(const TExprData& Data) {
  FExprData = Data;
  FExprDataSize = Integer(Data.size());
  ResetCache();
}

void TDataSetExprParserKv::ResetCache() {
  size_t Nodes = FExprData.size() > ExprEvaluatorKv::HeaderSize ? FExprData.size() - ExprEvaluatorKv::HeaderSize : 0;
  FConstants.assign(Nodes, Variant());
  FConstantKnown.assign(Nodes, 0);
}

Variant TDataSetExprParserKv::Evaluate(TMemoryRecordKv* Rec) {
  if (!HasData()) return Null;
  TEvaluator E(*this, nullptr, Rec);
  return E.Node(0);
}

bool TDataSetExprParserKv::IsCurRecordInFilter(TMemoryRecordKv* Rec) {
  if (!HasData()) return false;
  Variant V = Evaluate(Rec);
  switch (VarType(V)) {
    case varBoolean:
      return V.AsBoolean();
    case varSmallint: case varInteger: case varSingle: case varDouble: case varCurrency: case varShortInt:
    case varByte: case varWord: case varLongWord: case varInt64: case varUInt64:
      return V.AsDouble() != 0;
    default:
      // Null, texts and anything else are no truth value: the record is not accepted.
      return false;
  }
}

Variant TDataSetExprParserKv::CalcAggregateValue(TRecordsViewKv* RecordsView) {
  if (!HasData()) return Variant(false);
  TEvaluator E(*this, RecordsView, nullptr);
  return E.Node(0);
}
