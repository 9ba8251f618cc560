#pragma once
// Variants: a value of any simple kind (numbers, currency, dates, Booleans, strings, interfaces),
// Null and Unassigned, arrays of them with any bounds, and custom kinds registered at start-up
// (the FMT BCD and SQL time-stamp kinds), with the framework's coercing arithmetic and comparison.
//
// A Variant is a value: copying one copies an array it holds. Conversions are named methods
// (V.AsInteger(), V.AsString(), ...) or the Var... routines; they raise EVariantTypeCastError
// "Could not convert variant of type (X) into type (Y)" when the value does not convert.
// Null converts to nothing (VarToStr alone maps it to ''); Unassigned converts to 0, '' or False.
// Operators: + - * / % (mod), Div(A, B), & | ^ ~ (and, or, xor, not), and the six comparisons.
// Arithmetic with Null gives Null; a string meets a number as a number.

#include <memory>

#include "framework/System.h"

struct tagVARIANT;
struct IUnknown;
struct IDispatch;

using TVarType = Word;

constexpr TVarType varEmpty = 0x0000;
constexpr TVarType varNull = 0x0001;
constexpr TVarType varSmallint = 0x0002;
constexpr TVarType varInteger = 0x0003;
constexpr TVarType varSingle = 0x0004;
constexpr TVarType varDouble = 0x0005;
constexpr TVarType varCurrency = 0x0006;
constexpr TVarType varDate = 0x0007;
constexpr TVarType varOleStr = 0x0008;
constexpr TVarType varDispatch = 0x0009;
constexpr TVarType varError = 0x000A;
constexpr TVarType varBoolean = 0x000B;
constexpr TVarType varVariant = 0x000C;
constexpr TVarType varUnknown = 0x000D;
constexpr TVarType varShortInt = 0x0010;
constexpr TVarType varByte = 0x0011;
constexpr TVarType varWord = 0x0012;
constexpr TVarType varLongWord = 0x0013;
constexpr TVarType varUInt32 = 0x0013;
constexpr TVarType varInt64 = 0x0014;
constexpr TVarType varUInt64 = 0x0015;
constexpr TVarType varString = 0x0100;  // 8-bit text in the ANSI code page
constexpr TVarType varAny = 0x0101;
constexpr TVarType varUString = 0x0102;  // String
constexpr TVarType varTypeMask = 0x0FFF;
constexpr TVarType varArray = 0x2000;
constexpr TVarType varByRef = 0x4000;
constexpr TVarType CFirstUserType = 0x010F;  // custom kinds take codes from here on

enum TVariantRelationship { vrEqual, vrLessThan, vrGreaterThan, vrNotEqual };
enum TVarCompareResult { crLessThan, crEqual, crGreaterThan };
enum TVarOp {
  opAdd, opSubtract, opMultiply, opDivide, opIntDivide, opModulus, opShiftLeft, opShiftRight,
  opAnd, opOr, opXor, opCompare, opNegate, opNot, opCmpEQ, opCmpNE, opCmpLT, opCmpLE, opCmpGT, opCmpGE
};

struct TVarArrayBound {
  Integer ElementCount = 0;
  Integer LowBound = 0;
};

class Variant;
class TVarArrayElement;

class Variant {
 public:
  // What a string, array, interface or custom value keeps on the heap.
  struct TPayload {
    virtual ~TPayload() = default;
  };

  constexpr Variant() noexcept {}
  Variant(const Variant& Source);
  Variant(Variant&& Source) noexcept;
  Variant& operator=(const Variant& Source);
  Variant& operator=(Variant&& Source) noexcept;
  ~Variant();

  Variant(bool V) : FVType(varBoolean) { FValue.B = V; }
  Variant(signed char V) : FVType(varShortInt) { FValue.I64 = V; }
  Variant(unsigned char V) : FVType(varByte) { FValue.I64 = V; }
  Variant(short V) : FVType(varSmallint) { FValue.I64 = V; }
  Variant(unsigned short V) : FVType(varWord) { FValue.I64 = V; }
  Variant(int V) : FVType(varInteger) { FValue.I64 = V; }
  Variant(unsigned V) : FVType(varLongWord) { FValue.I64 = V; }
  Variant(long V) : FVType(varInteger) { FValue.I64 = V; }
  Variant(unsigned long V) : FVType(varLongWord) { FValue.I64 = static_cast<Int64>(V); }
  Variant(long long V) : FVType(varInt64) { FValue.I64 = V; }
  Variant(unsigned long long V) : FVType(varUInt64) { FValue.U64 = V; }
  Variant(float V) : FVType(varSingle) { FValue.F = V; }
  Variant(double V) : FVType(varDouble) { FValue.D = V; }
  Variant(long double V) : FVType(varDouble) { FValue.D = static_cast<double>(V); }
  Variant(Currency V) : FVType(varCurrency) { FValue.I64 = V.Raw(); }
  Variant(TDateTime V) : FVType(varDate) { FValue.D = V.Val; }
  Variant(const String& V);
  Variant(String&& V);
  Variant(const wchar_t* V);
  Variant(wchar_t V);  // a one-character string, as a Char in a variant
  Variant(const AnsiString& V);  // varString
  Variant(const IPtr<IInterface>& V);  // varUnknown
  template <class I, class = std::enable_if_t<std::is_base_of_v<IInterface, I> && !std::is_same_v<I, IInterface>>>
  Variant(const IPtr<I>& V) : Variant(IPtr<IInterface>(V)) {}
  Variant(const char*) = delete;  // say L"..." or AnsiString(...)
  Variant(std::nullptr_t) = delete;

  // The kind, as VarType answers it.
  TVarType Type() const { return FVType; }
  bool IsNull() const { return FVType == varNull; }
  bool IsEmpty() const { return FVType == varEmpty; }
  bool IsArray() const { return (FVType & varArray) != 0; }
  void Clear();

  // Conversions (each raises EVariantTypeCastError or EVariantOverflowError when it cannot).
  Integer AsInteger() const;
  Int64 AsInt64() const;
  UInt64 AsUInt64() const;
  Cardinal AsCardinal() const;
  Double AsDouble() const;
  Currency AsCurrency() const;
  TDateTime AsDateTime() const;
  bool AsBoolean() const;
  String AsString() const;
  AnsiString AsAnsiString() const;
  // The text of a string kind (varOleStr, varString, varUString) in place, for a reader that
  // would otherwise copy it; null for the other kinds. Valid while the variant keeps the value.
  const String* StringData() const;
  IPtr<IInterface> AsInterface() const;  // Unassigned and Null give nil
  Integer ErrorCode() const;  // of a varError

  // Elements of a one-dimensional array (the const form reads a copy; the other reads and writes).
  Variant operator[](Integer Index) const;
  TVarArrayElement operator[](Integer Index);

  // The value of a custom kind and its payload, for the handlers of custom kinds.
  static Variant FromCustom(TVarType AVarType, std::shared_ptr<const TPayload> Data);
  const TPayload* CustomData() const { return FVType >= CFirstUserType && !(FVType & varArray) ? FRef.get() : nullptr; }

  // A varError with the code; EmptyParam is the one with DISP_E_PARAMNOTFOUND.
  static Variant FromError(Integer Code);
  // A COM object held as varUnknown or varDispatch; the variant keeps its own reference.
  static Variant FromOleUnknown(::IUnknown* Intf);
  static Variant FromOleDispatch(::IDispatch* Intf);

  // Late binding to the automation object the value holds (defined with ComObj, which raises
  // its EOleError family): a property read, with index arguments for a parameterised one; a
  // property write, whose last argument is the value; a method call answering its result,
  // and one without. Arguments are any values a Variant takes; EmptyParam skips an optional one.
  enum TDispatchKind { dkPropertyGet, dkPropertyPut, dkFunction, dkProcedure };
  template <class... A>
  Variant OlePropertyGet(const String& Name, const A&... Args) const {
    return OleInvoke(dkPropertyGet, Name, {Variant(Args)...});
  }
  template <class... A>
  void OlePropertySet(const String& Name, const A&... ArgsAndValue) const {
    static_assert(sizeof...(A) > 0, "OlePropertySet needs the value");
    OleInvoke(dkPropertyPut, Name, {Variant(ArgsAndValue)...});
  }
  template <class... A>
  Variant OleFunction(const String& Name, const A&... Args) const {
    return OleInvoke(dkFunction, Name, {Variant(Args)...});
  }
  template <class... A>
  void OleProcedure(const String& Name, const A&... Args) const {
    OleInvoke(dkProcedure, Name, {Variant(Args)...});
  }
  Variant OleInvoke(TDispatchKind Kind, const String& Name, std::initializer_list<Variant> Args) const;

 private:
  friend struct VariantAccess;
  constexpr Variant(TVarType AVarType, Int64 Bits) noexcept : FVType(AVarType), FValue{Bits} {}
  union TValue {
    Int64 I64;
    UInt64 U64;
    Double D;
    Single F;
    bool B;
  };
  TVarType FVType = varEmpty;
  TValue FValue{0};
  std::shared_ptr<const TPayload> FRef;  // strings, interfaces and custom values are shared, arrays owned
};

using OleVariant = Variant;

// One element of an array variant: reads as a Variant, and assigning to it writes the element.
class TVarArrayElement {
 public:
  TVarArrayElement(Variant& Owner, Integer Index) : FOwner(Owner), FIndex(Index) {}
  operator Variant() const;
  TVarArrayElement& operator=(const Variant& Value);
  TVarArrayElement& operator=(const TVarArrayElement& Other) { return *this = Variant(Other); }
  Variant operator[](Integer Index) const { return Variant(*this)[Index]; }

 private:
  Variant& FOwner;
  Integer FIndex;
};

// ---- The special values ------------------------------------------------------------------------

extern const Variant& Null;
extern const Variant& Unassigned;
extern const Variant& EmptyParam;  // an absent optional argument: varError DISP_E_PARAMNOTFOUND

// ---- Operators --------------------------------------------------------------------------------

Variant operator+(const Variant& L, const Variant& R);
Variant operator-(const Variant& L, const Variant& R);
Variant operator*(const Variant& L, const Variant& R);
Variant operator/(const Variant& L, const Variant& R);  // real division
Variant operator%(const Variant& L, const Variant& R);  // mod
Variant Div(const Variant& L, const Variant& R);       // integer division
Variant Mod(const Variant& L, const Variant& R);
Variant operator&(const Variant& L, const Variant& R);  // and
Variant operator|(const Variant& L, const Variant& R);  // or
Variant operator^(const Variant& L, const Variant& R);  // xor
Variant operator-(const Variant& V);
Variant operator~(const Variant& V);  // not
inline Variant& operator+=(Variant& L, const Variant& R) { return L = L + R; }
inline Variant& operator-=(Variant& L, const Variant& R) { return L = L - R; }
inline Variant& operator*=(Variant& L, const Variant& R) { return L = L * R; }
inline Variant& operator/=(Variant& L, const Variant& R) { return L = L / R; }

// Coercing comparisons: Null equals only Null and orders before everything; Unassigned meets
// another kind as its 0 or ''; a string meets a number as a number. Arrays raise
// EVariantInvalidOpError; text that is no number raises EVariantTypeCastError.
bool operator==(const Variant& L, const Variant& R);
bool operator<(const Variant& L, const Variant& R);
inline bool operator!=(const Variant& L, const Variant& R) { return !(L == R); }
inline bool operator>(const Variant& L, const Variant& R) { return R < L; }
bool operator<=(const Variant& L, const Variant& R);
bool operator>=(const Variant& L, const Variant& R);

// ---- Kinds ------------------------------------------------------------------------------------

TVarType VarType(const Variant& V);
bool VarIsType(const Variant& V, TVarType AVarType);
bool VarIsType(const Variant& V, std::initializer_list<TVarType> AVarTypes);
bool VarIsNull(const Variant& V);
bool VarIsEmpty(const Variant& V);
bool VarIsClear(const Variant& V);  // Unassigned, a nil interface, or a cleared custom value
bool VarIsEmptyParam(const Variant& V);
bool VarIsError(const Variant& V);
bool VarIsArray(const Variant& V);
bool VarIsOrdinal(const Variant& V);  // the integer kinds and Boolean
bool VarIsFloat(const Variant& V);    // Single, Double and Currency
bool VarIsNumeric(const Variant& V);  // ordinal or float
bool VarIsStr(const Variant& V);      // varOleStr, varString, varUString
bool VarIsCustom(const Variant& V);
// "Integer", "UnicodeString", "Array Variant", a custom kind's name...
String VarTypeAsText(TVarType AVarType);

// ---- Conversions ------------------------------------------------------------------------------

Variant VarAsType(const Variant& V, TVarType AVarType);
void VarCast(Variant& Dest, const Variant& Source, TVarType AVarType);
void VarClear(Variant& V);
// Text of the value; Null gives ''. Dates as DateTimeToStr, floats as FloatToStr, Booleans
// as 'True'/'False'. EmptyParam, arrays and interfaces raise EVariantTypeCastError.
String VarToStr(const Variant& V);
String VarToStrDef(const Variant& V, const String& ADefault);
String VarToWideStr(const Variant& V);
TDateTime VarToDateTime(const Variant& V);
Variant VarFromDateTime(TDateTime DateTime);

// ---- Comparison -------------------------------------------------------------------------------

// vrNotEqual when exactly one side is Unassigned or Null, or when the two cannot be ordered
// (two different interfaces); else the coercing comparison. Arrays raise EVariantInvalidOpError.
TVariantRelationship VarCompareValue(const Variant& A, const Variant& B);
// True when both are Unassigned, both Null, or neither and they compare equal.
bool VarSameValue(const Variant& A, const Variant& B);

// ---- Arrays -----------------------------------------------------------------------------------

// Bounds in pairs, low and high, one pair per dimension: VarArrayCreate({0, N - 1}, varVariant).
Variant VarArrayCreate(std::initializer_list<Integer> Bounds, TVarType AVarType);
Variant VarArrayCreate(const std::vector<Integer>& Bounds, TVarType AVarType);
// A one-dimensional array of variants indexed from 0.
Variant VarArrayOf(std::initializer_list<Variant> Values);
Variant VarArrayOf(const std::vector<Variant>& Values);
Integer VarArrayDimCount(const Variant& A);  // 0 for a non-array
Integer VarArrayLowBound(const Variant& A, Integer Dim);   // Dim from 1
Integer VarArrayHighBound(const Variant& A, Integer Dim);
// Changes the high bound of the last dimension; kept elements keep their values.
void VarArrayRedim(Variant& A, Integer HighBound);
Variant VarArrayGet(const Variant& A, std::initializer_list<Integer> Indices);
void VarArrayPut(Variant& A, const Variant& Value, std::initializer_list<Integer> Indices);
// The elements in place, leftmost index varying fastest (as a SAFEARRAY): raw values for the
// simple kinds (a Boolean takes two bytes, -1 for True), Variant objects for the others.
// The array cannot be resized while locked.
Pointer VarArrayLock(Variant& A);
void VarArrayUnlock(Variant& A);
TVarType VarArrayElementType(const Variant& A);

// ---- Custom kinds -----------------------------------------------------------------------------

// The behaviour of a custom kind. One instance per kind, made at start-up; it takes the next
// free type code. Handlers decide how values of other kinds join their operations: a
// promotion answers the kind the other operand is cast to first.
class TCustomVariantType : public TObject {
  DECLARE_CLASS(TCustomVariantType, TObject)
 public:
  explicit TCustomVariantType(const String& AName);
  ~TCustomVariantType() override;
  TVarType VarType() const { return FVarType; }
  const String& Name() const { return FName; }

  virtual bool IsClear(const Variant& V) const;
  // Source (of another kind) into this kind.
  virtual void Cast(Variant& Dest, const Variant& Source) const;
  // Source (of this kind) into AVarType.
  virtual void CastTo(Variant& Dest, const Variant& Source, TVarType AVarType) const;
  // Left is of this kind, Right already promoted.
  virtual void BinaryOp(Variant& Left, const Variant& Right, TVarOp Operator) const;
  virtual void UnaryOp(Variant& Right, TVarOp Operator) const;
  virtual void Compare(const Variant& Left, const Variant& Right, TVarCompareResult& Relationship) const;
  virtual bool LeftPromotion(const Variant& V, TVarOp Operator, TVarType& RequiredVarType) const;
  virtual bool RightPromotion(const Variant& V, TVarOp Operator, TVarType& RequiredVarType) const;

 protected:
  [[noreturn]] void RaiseCastError(TVarType From, TVarType To) const;
  [[noreturn]] void RaiseInvalidOp() const;

 private:
  TVarType FVarType;
  String FName;
};

bool FindCustomVariantType(TVarType AVarType, TCustomVariantType*& CustomVariantType);

// ---- Errors -----------------------------------------------------------------------------------

[[noreturn]] void VarCastError(TVarType SourceType, TVarType DestType);
[[noreturn]] void VarInvalidOp();
[[noreturn]] void VarOverflowError(TVarType SourceType, TVarType DestType);

// ---- OLE --------------------------------------------------------------------------------------

// Into a Win32 VARIANT that the caller owns and frees with VariantClear: strings become BSTRs,
// arrays SAFEARRAYs of the same element kind, COM objects pass through, custom kinds travel
// as text. A framework interface that is not a COM object raises EVariantTypeCastError.
void VariantToOle(const Variant& Source, tagVARIANT& Dest);
// Out of a Win32 VARIANT (by-reference values are read through); BSTR gives varOleStr,
// VT_DECIMAL an FMT BCD value.
Variant OleToVariant(const tagVARIANT& Source);
// The COM object of a varUnknown or varDispatch that came from COM, else nil (not AddRef'd).
::IUnknown* VarToOleUnknown(const Variant& V);
::IDispatch* VarToOleDispatch(const Variant& V);
