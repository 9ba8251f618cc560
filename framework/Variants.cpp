#include "framework/Variants.h"

#include <atomic>
#include <cfloat>
#include <cmath>
#include <mutex>
#include <thread>

#include "framework/FMTBcd.h"
#include "framework/SysUtils.h"
#include "framework/WinShell.h"

// ---- Access to the representation -------------------------------------------------------------

namespace {

using Int128 = __int128;

struct TVarStr : Variant::TPayload {
  explicit TVarStr(String V) : S(std::move(V)) {}
  String S;
};

// A string's payload (with its shared count) takes a block of its own size from large pieces,
// and freed blocks are kept for reuse: a table of texts takes and gives back a great many, and the
// system heap (Wine's above all) is slow with each, the more so after it gave its pages back to
// the system. The pieces come from operator new and are never given back.
class TPayloadBlocks {
 public:
  explicit TPayloadBlocks(size_t Size) : FSize(Size) {}
  void* Take() {
    Lock();
    void* Block = FFree;
    if (Block) {
      FFree = *static_cast<void**>(Block);
      if (FFree) {  // read and written by the next request: fetched meanwhile
        __builtin_prefetch(FFree, 1);
        __builtin_prefetch(static_cast<char*>(FFree) + FSize - 1, 1);
      }
    } else {
      if (size_t(FEnd - FNext) < FSize) {
        try {
          FNext = static_cast<char*>(::operator new(PieceSize));
        } catch (...) {
          Unlock();
          throw;
        }
        FEnd = FNext + PieceSize;
      }
      Block = FNext;
      FNext += FSize;
    }
    Unlock();
    return Block;
  }
  void Give(void* Block) noexcept {
    Lock();
    *static_cast<void**>(Block) = FFree;
    FFree = Block;
    Unlock();
  }

 private:
  static constexpr size_t PieceSize = 256 * 1024;
  // Held for a few instructions: a spin lock is far cheaper than a mutex under Wine.
  void Lock() noexcept {
    while (FLock.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  }
  void Unlock() noexcept { FLock.clear(std::memory_order_release); }
  std::atomic_flag FLock = ATOMIC_FLAG_INIT;
  size_t FSize;
  void* FFree = nullptr;
  char* FNext = nullptr;
  char* FEnd = nullptr;
};

template <size_t Size>
TPayloadBlocks& PayloadBlocks() {
  static_assert(Size % alignof(void*) == 0 && Size >= sizeof(void*));
  static TPayloadBlocks* Blocks = new TPayloadBlocks(Size);  // never freed: values may outlive static destruction
  return *Blocks;
}

template <class T>
struct TPayloadAllocator {
  using value_type = T;
  TPayloadAllocator() = default;
  template <class U>
  TPayloadAllocator(const TPayloadAllocator<U>&) {}
  T* allocate(size_t N) {
    if (N == 1) return static_cast<T*>(PayloadBlocks<sizeof(T)>().Take());
    return static_cast<T*>(::operator new(N * sizeof(T)));
  }
  void deallocate(T* P, size_t N) noexcept {
    if (N == 1) PayloadBlocks<sizeof(T)>().Give(P);
    else ::operator delete(P);
  }
  template <class U>
  bool operator==(const TPayloadAllocator<U>&) const { return true; }
};

template <class... A>
std::shared_ptr<const Variant::TPayload> MakeStrPayload(A&&... Args) {
  return std::allocate_shared<TVarStr>(TPayloadAllocator<TVarStr>(), std::forward<A>(Args)...);
}

struct TVarIntf : Variant::TPayload {
  explicit TVarIntf(IPtr<IInterface> V) : P(std::move(V)) {}
  IPtr<IInterface> P;
};

// Elements are stored leftmost index fastest, as a SAFEARRAY keeps them: raw values for the
// simple kinds, Variants for the rest.
struct TVarArrayData : Variant::TPayload {
  TVarType ElemType = varVariant;
  std::vector<TVarArrayBound> Bounds;
  size_t ElemSize = 0;  // 0: the elements are Variants
  std::vector<Byte> Raw;
  std::vector<Variant> Items;
  Integer LockCount = 0;

  size_t Count() const {
    size_t N = 1;
    for (const auto& B : Bounds) N *= size_t(B.ElementCount);
    return Bounds.empty() ? 0 : N;
  }
  void Resize(size_t N) {
    if (ElemSize) Raw.resize(N * ElemSize);
    else Items.resize(N);
  }
};

// A COM object inside a variant; the framework's interfaces are not COM interfaces.
class TOleInterfaceHolder : public TInterfacedObject {
  DECLARE_CLASS(TOleInterfaceHolder, TInterfacedObject)
 public:
  TOleInterfaceHolder(IUnknown* Intf, bool IsDispatch) : FIntf(Intf), FIsDispatch(IsDispatch) {
    if (FIntf) FIntf->AddRef();
  }
  ~TOleInterfaceHolder() override {
    if (FIntf) FIntf->Release();
  }
  IUnknown* Intf() const { return FIntf; }
  bool IsDispatch() const { return FIsDispatch; }

 private:
  IUnknown* FIntf;
  bool FIsDispatch;
};

size_t ElementSize(TVarType T) {
  switch (T) {
    case varShortInt: case varByte: return 1;
    case varSmallint: case varWord: case varBoolean: return 2;
    case varInteger: case varLongWord: case varSingle: case varError: return 4;
    case varDouble: case varCurrency: case varDate: case varInt64: case varUInt64: return 8;
    default: return 0;
  }
}

bool IsValidArrayElemType(TVarType T) {
  return ElementSize(T) != 0 || T == varVariant || T == varOleStr || T == varUString || T == varString ||
         T == varUnknown || T == varDispatch;
}

bool IsIntType(TVarType T) {
  switch (T) {
    case varSmallint: case varInteger: case varShortInt: case varByte: case varWord: case varLongWord:
    case varInt64: case varUInt64: return true;
    default: return false;
  }
}
bool IsStrType(TVarType T) { return T == varOleStr || T == varString || T == varUString; }
bool IsFloatType(TVarType T) { return T == varSingle || T == varDouble; }
bool IsCustomType(TVarType T) { return T >= CFirstUserType && T < varArray; }
bool IsIntfType(TVarType T) { return T == varUnknown || T == varDispatch; }

std::mutex& RegistryLock() {
  static std::mutex M;
  return M;
}
std::vector<TCustomVariantType*>& VariantTypeRegistry() {
  static std::vector<TCustomVariantType*> R;
  return R;
}

TCustomVariantType* Handler(TVarType T) {
  TCustomVariantType* H = nullptr;
  if (!FindCustomVariantType(T, H)) throw EVariantBadVarTypeError(L"Invalid variant type");
  return H;
}

}  // namespace

struct VariantAccess {
  static const Variant NullValue, UnassignedValue, EmptyParamValue;
  static Int64 I64(const Variant& V) { return V.FValue.I64; }
  static UInt64 U64(const Variant& V) { return V.FValue.U64; }
  static Double D(const Variant& V) { return V.FValue.D; }
  static Single F(const Variant& V) { return V.FValue.F; }
  static bool B(const Variant& V) { return V.FValue.B; }
  static const String& Str(const Variant& V) { return static_cast<const TVarStr*>(V.FRef.get())->S; }
  static const IPtr<IInterface>& Intf(const Variant& V) { return static_cast<const TVarIntf*>(V.FRef.get())->P; }
  static const TVarArrayData& Arr(const Variant& V) {
    if (!(V.FVType & varArray)) throw EVariantInvalidArgError(L"Invalid argument: not a variant array");
    return *static_cast<const TVarArrayData*>(V.FRef.get());
  }
  static TVarArrayData& MutArr(Variant& V) { return const_cast<TVarArrayData&>(Arr(V)); }
  static Variant MakeStr(String S, TVarType T) {
    Variant V;
    V.FVType = T;
    V.FRef = MakeStrPayload(std::move(S));
    return V;
  }
  static Variant MakeIntf(IPtr<IInterface> P, TVarType T) {
    Variant V;
    V.FVType = T;
    V.FRef = std::make_shared<TVarIntf>(std::move(P));
    return V;
  }
  static Variant MakeArray(std::shared_ptr<TVarArrayData> A) {
    Variant V;
    V.FVType = varArray | A->ElemType;
    V.FRef = std::move(A);
    return V;
  }
  static Variant MakeInt(TVarType T, Int64 Bits) { return Variant(T, Bits); }
  static Variant MakeFloat(TVarType T, double D) {
    Variant V(T, 0);
    if (T == varSingle) V.FValue.F = static_cast<float>(D);
    else V.FValue.D = D;
    return V;
  }
  static void SetCustom(Variant& V, TVarType T, std::shared_ptr<const Variant::TPayload> P) {
    V.FVType = T;
    V.FValue.I64 = 0;
    V.FRef = std::move(P);
  }
};

using VA = VariantAccess;

constinit const Variant VariantAccess::NullValue{varNull, 0};
constinit const Variant VariantAccess::UnassignedValue{varEmpty, 0};
constinit const Variant VariantAccess::EmptyParamValue{varError, Int64(Integer(0x80020004))};  // DISP_E_PARAMNOTFOUND
constinit const Variant& Null = VariantAccess::NullValue;
constinit const Variant& Unassigned = VariantAccess::UnassignedValue;
constinit const Variant& EmptyParam = VariantAccess::EmptyParamValue;

// ---- Errors -----------------------------------------------------------------------------------

String VarTypeAsText(TVarType AVarType) {
  static const wchar_t* const Names[] = {L"Empty",    L"Null",    L"Smallint", L"Integer", L"Single",  L"Double",
                                         L"Currency", L"Date",    L"OleStr",   L"Dispatch", L"Error",  L"Boolean",
                                         L"Variant",  L"Unknown", L"Decimal",  L"$000F",    L"ShortInt", L"Byte",
                                         L"Word",     L"LongWord", L"Int64",   L"UInt64"};
  TVarType T = AVarType & varTypeMask;
  String Name;
  if (T < std::size(Names)) Name = Names[T];
  else if (T == varString) Name = L"String";
  else if (T == varAny) Name = L"Any";
  else if (T == varUString) Name = L"UnicodeString";
  else {
    TCustomVariantType* H = nullptr;
    if (FindCustomVariantType(T, H)) Name = H->Name();
    else {
      wchar_t Buf[8];
      swprintf(Buf, 8, L"$%04X", unsigned(T));
      Name = Buf;
    }
  }
  if (AVarType & varArray) Name = L"Array " + Name;
  if (AVarType & varByRef) Name = L"ByRef " + Name;
  return Name;
}

void VarCastError(TVarType SourceType, TVarType DestType) {
  throw EVariantTypeCastError(L"Could not convert variant of type (" + VarTypeAsText(SourceType) + L") into type (" +
                              VarTypeAsText(DestType) + L")");
}

void VarInvalidOp() { throw EVariantInvalidOpError(L"Invalid variant operation"); }

void VarOverflowError(TVarType SourceType, TVarType DestType) {
  throw EVariantOverflowError(L"Overflow while converting variant of type (" + VarTypeAsText(SourceType) +
                              L") into type (" + VarTypeAsText(DestType) + L")");
}

namespace {
[[noreturn]] void RaiseBadIndex() { throw EVariantBadIndexError(L"Variant or safe array index out of bounds"); }
[[noreturn]] void RaiseBadType() { throw EVariantBadVarTypeError(L"Invalid variant type"); }
[[noreturn]] void RaiseOverflow() { throw EVariantOverflowError(L"Variant overflow"); }
}  // namespace

// ---- Construction -----------------------------------------------------------------------------

namespace {
std::shared_ptr<const Variant::TPayload> CloneArray(const std::shared_ptr<const Variant::TPayload>& P) {
  auto A = std::make_shared<TVarArrayData>(*static_cast<const TVarArrayData*>(P.get()));
  A->LockCount = 0;
  return A;
}
}  // namespace

Variant::Variant(const Variant& Source) : FVType(Source.FVType), FValue(Source.FValue), FRef(Source.FRef) {
  if (FVType & varArray) FRef = CloneArray(Source.FRef);
}

Variant::Variant(Variant&& Source) noexcept
    : FVType(Source.FVType), FValue(Source.FValue), FRef(std::move(Source.FRef)) {
  Source.FVType = varEmpty;
  Source.FValue.I64 = 0;
}

Variant& Variant::operator=(const Variant& Source) {
  if (this != &Source) {
    Variant Tmp(Source);
    *this = std::move(Tmp);
  }
  return *this;
}

Variant& Variant::operator=(Variant&& Source) noexcept {
  if (this != &Source) {
    FVType = Source.FVType;
    FValue = Source.FValue;
    FRef = std::move(Source.FRef);
    Source.FVType = varEmpty;
    Source.FValue.I64 = 0;
  }
  return *this;
}

Variant::~Variant() = default;

Variant::Variant(const String& V) : FVType(varUString), FRef(MakeStrPayload(V)) {}
Variant::Variant(String&& V) : FVType(varUString), FRef(MakeStrPayload(std::move(V))) {}
Variant::Variant(const wchar_t* V) : Variant(String(V ? V : L"")) {}
Variant::Variant(wchar_t V) : Variant(String(1, V)) {}

Variant::Variant(const AnsiString& V) : FVType(varString) {
  String W;
  if (!V.empty()) {
    int N = MultiByteToWideChar(CP_ACP, 0, V.data(), int(V.size()), nullptr, 0);
    W.resize(N);
    MultiByteToWideChar(CP_ACP, 0, V.data(), int(V.size()), W.data(), N);
  }
  FRef = MakeStrPayload(std::move(W));
}

Variant::Variant(const IPtr<IInterface>& V) : FVType(varUnknown), FRef(std::make_shared<TVarIntf>(V)) {}

void Variant::Clear() { *this = Variant(); }

const String* Variant::StringData() const { return IsStrType(FVType) ? &VA::Str(*this) : nullptr; }

Variant Variant::FromCustom(TVarType AVarType, std::shared_ptr<const TPayload> Data) {
  if (!IsCustomType(AVarType)) RaiseBadType();
  Variant V;
  VA::SetCustom(V, AVarType, std::move(Data));
  return V;
}

Variant Variant::FromError(Integer Code) { return VA::MakeInt(varError, Code); }

Variant Variant::FromOleUnknown(::IUnknown* Intf) {
  return VA::MakeIntf(IPtr<IInterface>(Intf ? new TOleInterfaceHolder(Intf, false) : nullptr), varUnknown);
}

Variant Variant::FromOleDispatch(::IDispatch* Intf) {
  return VA::MakeIntf(IPtr<IInterface>(Intf ? new TOleInterfaceHolder(Intf, true) : nullptr), varDispatch);
}

// ---- Conversions ------------------------------------------------------------------------------

namespace {

Int128 IntValue(const Variant& V) {
  return V.Type() == varUInt64 ? Int128(VA::U64(V)) : Int128(VA::I64(V));
}

Int128 RoundToInt(long double X, TVarType From, TVarType To) {
  if (!std::isfinite(X) || std::fabs(X) > 1.9e19L) VarOverflowError(From, To);
  return static_cast<Int128>(std::nearbyint(X));  // the default rounding mode sends halves to even
}

Variant CastViaHandler(const Variant& V, TVarType To) {
  Variant R;
  Handler(V.Type())->CastTo(R, V, To);
  return R;
}

// Any value as a wide integer, for a conversion into the integer kind To.
Int128 ToInt128(const Variant& V, TVarType To) {
  TVarType T = V.Type();
  if (IsIntType(T)) return IntValue(V);
  switch (T) {
    case varEmpty: return 0;
    case varBoolean: return VA::B(V) ? -1 : 0;
    case varSingle: return RoundToInt(VA::F(V), T, To);
    case varDouble: case varDate: return RoundToInt(VA::D(V), T, To);
    case varCurrency: {
      Int128 Raw = VA::I64(V), Q = Raw / 10000, Rm = Raw % 10000;
      if (Rm > 5000 || (Rm == 5000 && (Q & 1))) ++Q;
      else if (Rm < -5000 || (Rm == -5000 && (Q & 1))) --Q;
      return Q;
    }
    case varOleStr: case varString: case varUString: {
      const String& S = VA::Str(V);
      Int64 I;
      if (TryStrToInt64(S, I)) return I;
      Extended E;
      if (TryStrToFloat(S, E)) return RoundToInt(E, T, To);
      bool B;
      if (TryStrToBool(S, B)) return B ? -1 : 0;
      VarCastError(T, To);
    }
    default:
      if (IsCustomType(T)) return ToInt128(CastViaHandler(V, varInt64), To);
      VarCastError(T, To);
  }
}

Int128 CheckedInt(const Variant& V, TVarType To, Int128 Lo, Int128 Hi) {
  Int128 I = ToInt128(V, To);
  if (I < Lo || I > Hi) VarOverflowError(V.Type(), To);
  return I;
}

double ToDouble(const Variant& V, TVarType To = varDouble) {
  TVarType T = V.Type();
  if (IsIntType(T)) return static_cast<double>(IntValue(V));
  switch (T) {
    case varEmpty: return 0;
    case varBoolean: return VA::B(V) ? -1 : 0;
    case varSingle: return VA::F(V);
    case varDouble: case varDate: return VA::D(V);
    case varCurrency: return Currency::FromRaw(VA::I64(V)).ToDouble();
    case varOleStr: case varString: case varUString: {
      Double D;
      if (TryStrToFloat(VA::Str(V), D)) return D;
      VarCastError(T, To);
    }
    default:
      if (IsCustomType(T)) return ToDouble(CastViaHandler(V, varDouble), To);
      VarCastError(T, To);
  }
}

constexpr Int64 MaxCurrencyUnits = 922337203685477;

Currency ToCurrency(const Variant& V) {
  TVarType T = V.Type();
  if (IsIntType(T) || T == varBoolean || T == varEmpty) {
    Int128 I = T == varEmpty ? 0 : T == varBoolean ? (VA::B(V) ? -1 : 0) : IntValue(V);
    if (I > MaxCurrencyUnits || I < -MaxCurrencyUnits) VarOverflowError(T, varCurrency);
    return Currency::FromRaw(Int64(I) * 10000);
  }
  if (T == varCurrency) return Currency::FromRaw(VA::I64(V));
  if (IsStrType(T)) {
    Currency C;
    if (TryStrToCurr(VA::Str(V), C)) return C;
  }
  if (IsCustomType(T)) return ToCurrency(CastViaHandler(V, varCurrency));
  double D = ToDouble(V, varCurrency);
  if (!std::isfinite(D) || std::fabs(D) >= 922337203685477.5807) VarOverflowError(T, varCurrency);
  return Currency(D);
}

double ToDate(const Variant& V) {
  TVarType T = V.Type();
  if (IsStrType(T)) {
    TDateTime D;
    if (TryStrToDateTime(VA::Str(V), D)) return D.Val;
    VarCastError(T, varDate);
  }
  if (IsCustomType(T)) return ToDate(CastViaHandler(V, varDate));
  return ToDouble(V, varDate);
}

bool ToBool(const Variant& V) {
  TVarType T = V.Type();
  if (IsIntType(T)) return IntValue(V) != 0;
  switch (T) {
    case varEmpty: return false;
    case varBoolean: return VA::B(V);
    case varSingle: return VA::F(V) != 0;
    case varDouble: case varDate: return VA::D(V) != 0;
    case varCurrency: return VA::I64(V) != 0;
    case varOleStr: case varString: case varUString: {
      bool B;
      if (TryStrToBool(VA::Str(V), B)) return B;
      VarCastError(T, varBoolean);
    }
    default:
      if (IsCustomType(T)) return ToBool(CastViaHandler(V, varBoolean));
      VarCastError(T, varBoolean);
  }
}

String ToStr(const Variant& V, TVarType To = varUString) {
  TVarType T = V.Type();
  switch (T) {
    case varEmpty: return String();
    case varSmallint: case varInteger: case varShortInt: case varByte: case varWord: case varLongWord:
    case varInt64: return IntToStr(VA::I64(V));
    case varUInt64: return UIntToStr(VA::U64(V));
    case varSingle: return FloatToStrF(VA::F(V), ffGeneral, 7, 0);
    case varDouble: return FloatToStr(VA::D(V));
    case varCurrency: return CurrToStr(Currency::FromRaw(VA::I64(V)));
    case varDate: return DateTimeToStr(TDateTime(VA::D(V)));
    case varBoolean: return BoolToStr(VA::B(V), true);
    case varOleStr: case varString: case varUString: return VA::Str(V);
    default:
      if (IsCustomType(T)) return ToStr(CastViaHandler(V, varUString), To);
      VarCastError(T, To);
  }
}

IPtr<IInterface> ToIntf(const Variant& V, TVarType To) {
  TVarType T = V.Type();
  if (IsIntfType(T)) return VA::Intf(V);
  if (T == varEmpty || T == varNull) return nullptr;
  VarCastError(T, To);
}

}  // namespace

Integer Variant::AsInteger() const { return Integer(CheckedInt(*this, varInteger, INT32_MIN, INT32_MAX)); }
Int64 Variant::AsInt64() const { return Int64(CheckedInt(*this, varInt64, INT64_MIN, INT64_MAX)); }
UInt64 Variant::AsUInt64() const { return UInt64(CheckedInt(*this, varUInt64, 0, Int128(UINT64_MAX))); }
Cardinal Variant::AsCardinal() const { return Cardinal(CheckedInt(*this, varLongWord, 0, UINT32_MAX)); }
Double Variant::AsDouble() const { return ToDouble(*this); }
Currency Variant::AsCurrency() const { return ToCurrency(*this); }
TDateTime Variant::AsDateTime() const { return TDateTime(ToDate(*this)); }
bool Variant::AsBoolean() const { return ToBool(*this); }
String Variant::AsString() const { return ToStr(*this); }
IPtr<IInterface> Variant::AsInterface() const { return ToIntf(*this, varUnknown); }

AnsiString Variant::AsAnsiString() const {
  String W = ToStr(*this, varString);
  AnsiString A;
  if (!W.empty()) {
    int N = WideCharToMultiByte(CP_ACP, 0, W.data(), int(W.size()), nullptr, 0, nullptr, nullptr);
    A.resize(N);
    WideCharToMultiByte(CP_ACP, 0, W.data(), int(W.size()), A.data(), N, nullptr, nullptr);
  }
  return A;
}

Integer Variant::ErrorCode() const {
  if (FVType != varError) VarCastError(FVType, varError);
  return Integer(FValue.I64);
}

Variant VarAsType(const Variant& V, TVarType AVarType) {
  TVarType T = V.Type();
  if (T == AVarType) return V;
  if ((T | AVarType) & varArray) VarCastError(T, AVarType);
  if (IsCustomType(AVarType)) {
    if (T == varNull) VarCastError(T, AVarType);
    Variant R;
    Handler(AVarType)->Cast(R, V);
    return R;
  }
  if (IsCustomType(T)) return CastViaHandler(V, AVarType);
  if (AVarType == varNull && T == varEmpty) return Null;
  if (AVarType == varEmpty && T == varNull) return Unassigned;
  if (T == varNull) VarCastError(T, AVarType);
  switch (AVarType) {
    case varEmpty: VarCastError(T, AVarType);
    case varSmallint: return VA::MakeInt(varSmallint, Int64(CheckedInt(V, AVarType, INT16_MIN, INT16_MAX)));
    case varInteger: return VA::MakeInt(varInteger, Int64(CheckedInt(V, AVarType, INT32_MIN, INT32_MAX)));
    case varShortInt: return VA::MakeInt(varShortInt, Int64(CheckedInt(V, AVarType, INT8_MIN, INT8_MAX)));
    case varByte: return VA::MakeInt(varByte, Int64(CheckedInt(V, AVarType, 0, UINT8_MAX)));
    case varWord: return VA::MakeInt(varWord, Int64(CheckedInt(V, AVarType, 0, UINT16_MAX)));
    case varLongWord: return VA::MakeInt(varLongWord, Int64(CheckedInt(V, AVarType, 0, UINT32_MAX)));
    case varInt64: return VA::MakeInt(varInt64, Int64(CheckedInt(V, AVarType, INT64_MIN, INT64_MAX)));
    case varUInt64: return Variant(static_cast<unsigned long long>(CheckedInt(V, AVarType, 0, Int128(UINT64_MAX))));
    case varSingle: {
      double D = ToDouble(V, varSingle);
      if (std::isfinite(D) && std::fabs(D) > FLT_MAX) VarOverflowError(T, varSingle);
      return VA::MakeFloat(varSingle, D);
    }
    case varDouble: return VA::MakeFloat(varDouble, ToDouble(V));
    case varDate: return VA::MakeFloat(varDate, ToDate(V));
    case varCurrency: return Variant(ToCurrency(V));
    case varBoolean: return Variant(ToBool(V));
    case varOleStr: case varString: case varUString: return VA::MakeStr(ToStr(V, AVarType), AVarType);
    case varUnknown: case varDispatch: {
      if (T == varEmpty) return VA::MakeIntf(nullptr, AVarType);
      if (!IsIntfType(T)) VarCastError(T, AVarType);
      auto* H = dynamic_cast<TOleInterfaceHolder*>(VA::Intf(V).Get());
      if (AVarType == varDispatch && !(H && H->IsDispatch())) VarCastError(T, AVarType);
      return VA::MakeIntf(VA::Intf(V), AVarType);
    }
    default: VarCastError(T, AVarType);
  }
}

void VarCast(Variant& Dest, const Variant& Source, TVarType AVarType) { Dest = VarAsType(Source, AVarType); }
void VarClear(Variant& V) { V.Clear(); }

String VarToStrDef(const Variant& V, const String& ADefault) { return V.IsNull() ? ADefault : ToStr(V); }
String VarToStr(const Variant& V) { return VarToStrDef(V, String()); }
String VarToWideStr(const Variant& V) { return VarToStr(V); }
TDateTime VarToDateTime(const Variant& V) { return V.AsDateTime(); }
Variant VarFromDateTime(TDateTime DateTime) { return Variant(DateTime); }

// ---- Kinds ------------------------------------------------------------------------------------

TVarType VarType(const Variant& V) { return V.Type(); }
bool VarIsType(const Variant& V, TVarType AVarType) { return V.Type() == AVarType; }
bool VarIsType(const Variant& V, std::initializer_list<TVarType> AVarTypes) {
  for (TVarType T : AVarTypes)
    if (V.Type() == T) return true;
  return false;
}
bool VarIsNull(const Variant& V) { return V.Type() == varNull; }
bool VarIsEmpty(const Variant& V) { return V.Type() == varEmpty; }
bool VarIsEmptyParam(const Variant& V) { return V.Type() == varError && VA::I64(V) == VA::I64(EmptyParam); }
bool VarIsError(const Variant& V) { return V.Type() == varError; }
bool VarIsArray(const Variant& V) { return V.IsArray(); }
bool VarIsOrdinal(const Variant& V) { return IsIntType(V.Type()) || V.Type() == varBoolean; }
bool VarIsFloat(const Variant& V) { return IsFloatType(V.Type()) || V.Type() == varCurrency; }
bool VarIsNumeric(const Variant& V) { return VarIsOrdinal(V) || VarIsFloat(V); }
bool VarIsStr(const Variant& V) { return IsStrType(V.Type()); }
bool VarIsCustom(const Variant& V) { return IsCustomType(V.Type()); }

bool VarIsClear(const Variant& V) {
  TVarType T = V.Type();
  if (T == varEmpty) return true;
  if (IsIntfType(T)) return !VA::Intf(V);
  if (IsCustomType(T)) return Handler(T)->IsClear(V);
  return false;
}

// ---- Operations -------------------------------------------------------------------------------

namespace {

bool IsWideInt(TVarType T) { return T == varInt64 || T == varUInt64; }

Variant IntResult(Int128 R, TVarType LT, TVarType RT) {
  if (!IsWideInt(LT) && !IsWideInt(RT) && R >= INT32_MIN && R <= INT32_MAX) return Variant(Integer(R));
  if (R >= INT64_MIN && R <= INT64_MAX) return Variant(static_cast<long long>(R));
  if (R >= 0 && R <= Int128(UINT64_MAX)) return Variant(static_cast<unsigned long long>(R));
  RaiseOverflow();
}

Int128 IntOperand(const Variant& V) { return ToInt128(V, IsWideInt(V.Type()) ? V.Type() : varInteger); }

// The zero of R's kind, standing in for an Unassigned operand.
Variant ZeroLike(const Variant& R) {
  if (IsStrType(R.Type())) return VA::MakeStr(String(), R.Type());
  if (R.Type() == varBoolean) return Variant(false);
  if (IsIntfType(R.Type())) return VA::MakeIntf(nullptr, R.Type());
  return Variant(0);
}

Variant CustomBinaryOp(const Variant& L, const Variant& R, TVarOp Op) {
  TVarType Req;
  if (IsCustomType(L.Type()) && (R.Type() == L.Type() || Handler(L.Type())->RightPromotion(R, Op, Req))) {
    Variant Left = L;
    Handler(L.Type())->BinaryOp(Left, R.Type() == L.Type() ? R : VarAsType(R, Req), Op);
    return Left;
  }
  if (!IsCustomType(R.Type()) || !Handler(R.Type())->LeftPromotion(L, Op, Req)) VarInvalidOp();
  Variant Left = VarAsType(L, Req);
  if (!IsCustomType(Left.Type())) VarInvalidOp();
  Handler(Left.Type())->BinaryOp(Left, Left.Type() == R.Type() ? R : VarAsType(R, Left.Type()), Op);
  return Left;
}

Variant LogicalOp(const Variant& L, const Variant& R, TVarOp Op) {
  TVarType LT = L.Type(), RT = R.Type();
  bool LB = LT == varBoolean || IsStrType(LT), RB = RT == varBoolean || IsStrType(RT);
  if (LB && RB && (LT == varBoolean || RT == varBoolean)) {
    bool A = ToBool(L), B = ToBool(R);
    return Variant(Op == opAnd ? (A && B) : Op == opOr ? (A || B) : (A != B));
  }
  Int128 A = IntOperand(L), B = IntOperand(R);
  Int128 X = Op == opAnd ? (A & B) : Op == opOr ? (A | B) : (A ^ B);
  return IntResult(X, LT, RT);
}

Variant DoBinaryOp(const Variant& L0, const Variant& R0, TVarOp Op) {
  TVarType LT = L0.Type(), RT = R0.Type();
  if ((LT | RT) & varArray) VarInvalidOp();
  if (LT == varNull || RT == varNull) return Null;
  if (IsCustomType(LT) || IsCustomType(RT)) return CustomBinaryOp(L0, R0, Op);
  if (LT == varEmpty && RT == varEmpty) return Unassigned;
  const Variant L = LT == varEmpty ? ZeroLike(R0) : L0;
  const Variant R = RT == varEmpty ? ZeroLike(L0) : R0;
  LT = L.Type();
  RT = R.Type();
  if (IsIntfType(LT) || IsIntfType(RT) || LT == varError || RT == varError) VarInvalidOp();

  if (IsStrType(LT) && IsStrType(RT) && Op == opAdd)
    return VA::MakeStr(VA::Str(L) + VA::Str(R), LT == RT ? LT : varUString);
  if (Op == opAnd || Op == opOr || Op == opXor) return LogicalOp(L, R, Op);

  // A string meets the other operand as a number (as currency beside currency).
  if (IsStrType(LT) || IsStrType(RT)) {
    auto Num = [](const Variant& S, TVarType Other) {
      if (!IsStrType(S.Type())) return S;
      return Other == varCurrency ? Variant(ToCurrency(S)) : Variant(ToDouble(S));
    };
    return DoBinaryOp(Num(L, RT), Num(R, LT), Op);
  }

  if (Op == opIntDivide || Op == opModulus) {
    Int128 A = IntOperand(L), B = IntOperand(R);
    if (B == 0) throw EDivByZero(L"Division by zero");
    return IntResult(Op == opIntDivide ? A / B : A % B, LT, RT);
  }

  bool HasDate = LT == varDate || RT == varDate;
  bool HasFloat = IsFloatType(LT) || IsFloatType(RT);
  if (HasDate || HasFloat) {
    double A = ToDouble(L), B = ToDouble(R), X = 0;
    switch (Op) {
      case opAdd: X = A + B; break;
      case opSubtract: X = A - B; break;
      case opMultiply: X = A * B; break;
      case opDivide:
        if (B == 0) {
          if (A == 0 || std::isnan(A)) throw EInvalidOp(L"Invalid floating point operation");
          throw EZeroDivide(L"Floating point division by zero");
        }
        X = A / B;
        break;
      default: VarInvalidOp();
    }
    if (std::isinf(X) && std::isfinite(A) && std::isfinite(B)) throw EOverflow(L"Floating point overflow");
    bool DateResult = HasDate && (Op == opAdd || Op == opSubtract) && !(LT == varDate && RT == varDate && Op == opSubtract);
    return VA::MakeFloat(DateResult ? varDate : varDouble, X);
  }

  if (LT == varCurrency || RT == varCurrency) {
    Currency A = ToCurrency(L), B = ToCurrency(R);
    switch (Op) {
      case opAdd: case opSubtract: {
        Int128 X = Op == opAdd ? Int128(A.Raw()) + B.Raw() : Int128(A.Raw()) - B.Raw();
        if (X > INT64_MAX || X < INT64_MIN) RaiseOverflow();
        return Variant(Currency::FromRaw(Int64(X)));
      }
      case opMultiply: return Variant(A * B);
      case opDivide: return Variant(A / B);
      default: VarInvalidOp();
    }
  }

  // Integers and Booleans.
  Int128 A = IntOperand(L), B = IntOperand(R);
  switch (Op) {
    case opAdd: return IntResult(A + B, LT, RT);
    case opSubtract: return IntResult(A - B, LT, RT);
    case opMultiply: return IntResult(A * B, LT, RT);
    case opDivide:
      if (B == 0) {
        if (A == 0) throw EInvalidOp(L"Invalid floating point operation");
        throw EZeroDivide(L"Floating point division by zero");
      }
      return Variant(double(A) / double(B));
    default: VarInvalidOp();
  }
}

enum TOrder { ordLess, ordEqual, ordGreater, ordUnordered };

template <class T>
TOrder OrderOf(const T& A, const T& B) {
  return A < B ? ordLess : B < A ? ordGreater : ordEqual;
}

TOrder FromCompareResult(TVarCompareResult R) {
  return R == crLessThan ? ordLess : R == crGreaterThan ? ordGreater : ordEqual;
}

TOrder CompareStrings(const String& A, const String& B) {
  int R = CompareStringW(LOCALE_USER_DEFAULT, 0, A.data(), int(A.size()), B.data(), int(B.size()));
  if (R == 0) return OrderOf(A, B);
  return R == CSTR_LESS_THAN ? ordLess : R == CSTR_GREATER_THAN ? ordGreater : ordEqual;
}

TOrder DoCompare(const Variant& L0, const Variant& R0) {
  TVarType LT = L0.Type(), RT = R0.Type();
  if ((LT | RT) & varArray) VarInvalidOp();
  if (LT == varNull || RT == varNull) return LT == RT ? ordEqual : LT == varNull ? ordLess : ordGreater;
  TVarType Req;
  TVarCompareResult CR = crEqual;
  if (IsCustomType(LT) && (RT == LT || (Handler(LT)->RightPromotion(R0, opCompare, Req) && Req == LT))) {
    Handler(LT)->Compare(L0, RT == LT ? R0 : VarAsType(R0, LT), CR);
    return FromCompareResult(CR);
  }
  if (IsCustomType(RT) && Handler(RT)->LeftPromotion(L0, opCompare, Req) && Req == RT) {
    Handler(RT)->Compare(VarAsType(L0, RT), R0, CR);
    return FromCompareResult(CR);
  }
  if (IsCustomType(LT) || IsCustomType(RT)) VarInvalidOp();
  if (LT == varEmpty && RT == varEmpty) return ordEqual;
  const Variant L = LT == varEmpty ? ZeroLike(R0) : L0;
  const Variant R = RT == varEmpty ? ZeroLike(L0) : R0;
  LT = L.Type();
  RT = R.Type();

  if (IsIntfType(LT) || IsIntfType(RT)) {
    if (!IsIntfType(LT) || !IsIntfType(RT)) VarCastError(IsIntfType(LT) ? RT : LT, IsIntfType(LT) ? LT : RT);
    auto Raw = [](const Variant& V) -> const void* {
      const IPtr<IInterface>& P = VA::Intf(V);
      if (auto* H = dynamic_cast<TOleInterfaceHolder*>(P.Get())) return H->Intf();
      return P.Get() ? dynamic_cast<const void*>(P.Get()) : nullptr;
    };
    return Raw(L) == Raw(R) ? ordEqual : ordUnordered;
  }
  if (LT == varError || RT == varError) {
    if (LT != RT) VarCastError(LT == varError ? RT : LT, varError);
    return VA::I64(L) == VA::I64(R) ? ordEqual : ordUnordered;
  }

  if (IsStrType(LT) && IsStrType(RT)) return CompareStrings(VA::Str(L), VA::Str(R));
  if (IsStrType(LT) || IsStrType(RT)) {
    TVarType Other = IsStrType(LT) ? RT : LT;
    TVarType As = Other == varBoolean || Other == varDate || Other == varCurrency ? Other : varDouble;
    return DoCompare(IsStrType(LT) ? VarAsType(L, As) : L, IsStrType(RT) ? VarAsType(R, As) : R);
  }
  if (LT == varBoolean && RT == varBoolean) return OrderOf(VA::B(L), VA::B(R));

  bool LI = IsIntType(LT) || LT == varBoolean, RI = IsIntType(RT) || RT == varBoolean;
  if (LI && RI) return OrderOf(ToInt128(L, varInt64), ToInt128(R, varInt64));
  if ((LT == varCurrency || LI) && (RT == varCurrency || RI)) {
    auto Scaled = [](const Variant& V, bool IsInt) { return IsInt ? ToInt128(V, varInt64) * 10000 : Int128(VA::I64(V)); };
    return OrderOf(Scaled(L, LI), Scaled(R, RI));
  }
  double A = ToDouble(L), B = ToDouble(R);
  if (std::isnan(A) || std::isnan(B)) return ordUnordered;
  return OrderOf(A, B);
}

}  // namespace

Variant operator+(const Variant& L, const Variant& R) { return DoBinaryOp(L, R, opAdd); }
Variant operator-(const Variant& L, const Variant& R) { return DoBinaryOp(L, R, opSubtract); }
Variant operator*(const Variant& L, const Variant& R) { return DoBinaryOp(L, R, opMultiply); }
Variant operator/(const Variant& L, const Variant& R) { return DoBinaryOp(L, R, opDivide); }
Variant operator%(const Variant& L, const Variant& R) { return DoBinaryOp(L, R, opModulus); }
Variant Div(const Variant& L, const Variant& R) { return DoBinaryOp(L, R, opIntDivide); }
Variant Mod(const Variant& L, const Variant& R) { return DoBinaryOp(L, R, opModulus); }
Variant operator&(const Variant& L, const Variant& R) { return DoBinaryOp(L, R, opAnd); }
Variant operator|(const Variant& L, const Variant& R) { return DoBinaryOp(L, R, opOr); }
Variant operator^(const Variant& L, const Variant& R) { return DoBinaryOp(L, R, opXor); }

Variant operator-(const Variant& V) {
  TVarType T = V.Type();
  if (T & varArray) VarInvalidOp();
  if (T == varNull || T == varEmpty) return V;
  if (IsCustomType(T)) {
    Variant R = V;
    Handler(T)->UnaryOp(R, opNegate);
    return R;
  }
  if (IsIntType(T) || T == varBoolean) return IntResult(-IntOperand(V), T, T);
  if (T == varCurrency) return Variant(-Currency::FromRaw(VA::I64(V)));
  if (T == varSingle || T == varDouble || T == varDate) return VA::MakeFloat(T, -ToDouble(V));
  if (IsStrType(T)) return Variant(-ToDouble(V));
  VarInvalidOp();
}

Variant operator~(const Variant& V) {
  TVarType T = V.Type();
  if (T & varArray) VarInvalidOp();
  if (T == varNull) return V;
  if (IsCustomType(T)) {
    Variant R = V;
    Handler(T)->UnaryOp(R, opNot);
    return R;
  }
  if (T == varBoolean) return Variant(!VA::B(V));
  if (IsStrType(T)) {
    Int64 I;
    bool B;
    if (!TryStrToInt64(VA::Str(V), I) && TryStrToBool(VA::Str(V), B)) return Variant(!B);
  }
  if (T == varEmpty) return Variant(-1);
  return IntResult(~IntOperand(V), T, T);
}

bool operator==(const Variant& L, const Variant& R) {
  if (L.IsNull() || R.IsNull()) return L.IsNull() && R.IsNull();
  return DoCompare(L, R) == ordEqual;
}
bool operator<(const Variant& L, const Variant& R) { return DoCompare(L, R) == ordLess; }
bool operator<=(const Variant& L, const Variant& R) {
  TOrder O = DoCompare(L, R);
  return O == ordLess || O == ordEqual;
}
bool operator>=(const Variant& L, const Variant& R) {
  TOrder O = DoCompare(L, R);
  return O == ordGreater || O == ordEqual;
}

TVariantRelationship VarCompareValue(const Variant& A, const Variant& B) {
  TVarType AT = A.Type(), BT = B.Type();
  if (AT == varEmpty || AT == varNull) return AT == BT ? vrEqual : vrNotEqual;
  if (BT == varEmpty || BT == varNull) return vrNotEqual;
  switch (DoCompare(A, B)) {
    case ordLess: return vrLessThan;
    case ordEqual: return vrEqual;
    case ordGreater: return vrGreaterThan;
    default: return vrNotEqual;
  }
}

bool VarSameValue(const Variant& A, const Variant& B) {
  TVarType AT = A.Type(), BT = B.Type();
  if (AT == varEmpty || AT == varNull) return AT == BT;
  if (BT == varEmpty || BT == varNull) return false;
  return DoCompare(A, B) == ordEqual;
}

// ---- Arrays -----------------------------------------------------------------------------------

namespace {

Variant ReadRaw(const TVarArrayData& A, size_t I) {
  const Byte* P = A.Raw.data() + I * A.ElemSize;
  auto Get = [P](auto Sample) {
    decltype(Sample) X;
    std::memcpy(&X, P, sizeof X);
    return X;
  };
  switch (A.ElemType) {
    case varShortInt: return Variant(Get((signed char)0));
    case varByte: return Variant(Get((unsigned char)0));
    case varSmallint: return Variant(Get((short)0));
    case varWord: return Variant(Get((unsigned short)0));
    case varBoolean: return Variant(Get((short)0) != 0);
    case varInteger: return Variant(Get(0));
    case varLongWord: return Variant(Get(0u));
    case varError: return Variant::FromError(Get(0));
    case varSingle: return Variant(Get(0.0f));
    case varDouble: return Variant(Get(0.0));
    case varDate: return Variant(TDateTime(Get(0.0)));
    case varCurrency: return Variant(Currency::FromRaw(Get(Int64(0))));
    case varInt64: return Variant(static_cast<long long>(Get(Int64(0))));
    case varUInt64: return Variant(static_cast<unsigned long long>(Get(UInt64(0))));
    default: RaiseBadType();
  }
}

void WriteRaw(TVarArrayData& A, size_t I, const Variant& Value) {
  Byte* P = A.Raw.data() + I * A.ElemSize;
  Variant V = VarAsType(Value, A.ElemType);
  auto Put = [P](auto X) { std::memcpy(P, &X, sizeof X); };
  switch (A.ElemType) {
    case varShortInt: case varByte: case varSmallint: case varWord: case varInteger: case varLongWord:
    case varInt64: case varUInt64: case varCurrency: case varError: {
      Int64 Bits = VA::I64(V);
      std::memcpy(P, &Bits, A.ElemSize);  // little-endian: the low bytes hold the value
      break;
    }
    case varBoolean: Put(short(VA::B(V) ? -1 : 0)); break;
    case varSingle: Put(VA::F(V)); break;
    case varDouble: case varDate: Put(VA::D(V)); break;
    default: RaiseBadType();
  }
}

size_t LinearIndex(const TVarArrayData& A, const Integer* Indices, size_t N) {
  if (N != A.Bounds.size()) RaiseBadIndex();
  size_t Linear = 0, Stride = 1;
  for (size_t D = 0; D < N; ++D) {
    Int64 Off = Int64(Indices[D]) - A.Bounds[D].LowBound;
    if (Off < 0 || Off >= A.Bounds[D].ElementCount) RaiseBadIndex();
    Linear += size_t(Off) * Stride;
    Stride *= size_t(A.Bounds[D].ElementCount);
  }
  return Linear;
}

Variant GetElement(const TVarArrayData& A, size_t I) { return A.ElemSize ? ReadRaw(A, I) : A.Items[I]; }

void PutElement(TVarArrayData& A, size_t I, const Variant& Value) {
  if (A.ElemSize) WriteRaw(A, I, Value);
  else if (A.ElemType == varVariant) A.Items[I] = Value;
  else A.Items[I] = VarAsType(Value, A.ElemType);
}

std::shared_ptr<TVarArrayData> NewArray(const Integer* Bounds, size_t N, TVarType ElemType) {
  if (N == 0 || N % 2 != 0) throw EVariantArrayCreateError(L"Error creating variant or safe array");
  if (!IsValidArrayElemType(ElemType)) RaiseBadType();
  auto A = std::make_shared<TVarArrayData>();
  A->ElemType = ElemType;
  A->ElemSize = ElementSize(ElemType);
  for (size_t I = 0; I < N; I += 2) {
    Int64 Count = Int64(Bounds[I + 1]) - Bounds[I] + 1;
    if (Count < 0) throw EVariantArrayCreateError(L"Error creating variant or safe array");
    A->Bounds.push_back({Integer(Count), Bounds[I]});
  }
  A->Resize(A->Count());
  if (!A->ElemSize && ElemType != varVariant)
    for (auto& E : A->Items) E = VarAsType(Unassigned, ElemType == varDispatch ? varUnknown : ElemType);
  if (ElemType == varDispatch)
    for (auto& E : A->Items) E = VA::MakeIntf(nullptr, varDispatch);
  return A;
}

}  // namespace

Variant VarArrayCreate(std::initializer_list<Integer> Bounds, TVarType AVarType) {
  return VA::MakeArray(NewArray(Bounds.begin(), Bounds.size(), AVarType));
}

Variant VarArrayCreate(const std::vector<Integer>& Bounds, TVarType AVarType) {
  return VA::MakeArray(NewArray(Bounds.data(), Bounds.size(), AVarType));
}

Variant VarArrayOf(const std::vector<Variant>& Values) {
  Integer B[2] = {0, Integer(Values.size()) - 1};
  auto A = NewArray(B, 2, varVariant);
  A->Items = Values;
  return VA::MakeArray(A);
}

Variant VarArrayOf(std::initializer_list<Variant> Values) { return VarArrayOf(std::vector<Variant>(Values)); }

Integer VarArrayDimCount(const Variant& A) { return A.IsArray() ? Integer(VA::Arr(A).Bounds.size()) : 0; }

namespace {
const TVarArrayBound& DimBound(const Variant& A, Integer Dim) {
  const TVarArrayData& D = VA::Arr(A);
  if (Dim < 1 || Dim > Integer(D.Bounds.size())) RaiseBadIndex();
  return D.Bounds[Dim - 1];
}
}  // namespace

Integer VarArrayLowBound(const Variant& A, Integer Dim) { return DimBound(A, Dim).LowBound; }
Integer VarArrayHighBound(const Variant& A, Integer Dim) {
  const TVarArrayBound& B = DimBound(A, Dim);
  return B.LowBound + B.ElementCount - 1;
}

void VarArrayRedim(Variant& A, Integer HighBound) {
  TVarArrayData& D = VA::MutArr(A);
  if (D.LockCount > 0) throw EVariantArrayLockedError(L"Variant or safe array is locked");
  TVarArrayBound& Last = D.Bounds.back();
  Int64 Count = Int64(HighBound) - Last.LowBound + 1;
  if (Count < 0) throw EVariantArrayCreateError(L"Error creating variant or safe array");
  size_t Old = D.Count();
  Last.ElementCount = Integer(Count);
  D.Resize(D.Count());
  if (!D.ElemSize && D.ElemType != varVariant)
    for (size_t I = Old; I < D.Items.size(); ++I)
      D.Items[I] = D.ElemType == varDispatch ? VA::MakeIntf(nullptr, varDispatch) : VarAsType(Unassigned, D.ElemType);
}

Variant VarArrayGet(const Variant& A, std::initializer_list<Integer> Indices) {
  const TVarArrayData& D = VA::Arr(A);
  return GetElement(D, LinearIndex(D, Indices.begin(), Indices.size()));
}

void VarArrayPut(Variant& A, const Variant& Value, std::initializer_list<Integer> Indices) {
  TVarArrayData& D = VA::MutArr(A);
  PutElement(D, LinearIndex(D, Indices.begin(), Indices.size()), Value);
}

Pointer VarArrayLock(Variant& A) {
  TVarArrayData& D = VA::MutArr(A);
  ++D.LockCount;
  return D.ElemSize ? static_cast<Pointer>(D.Raw.data()) : static_cast<Pointer>(D.Items.data());
}

void VarArrayUnlock(Variant& A) {
  TVarArrayData& D = VA::MutArr(A);
  if (D.LockCount <= 0) throw EVariantNotImplError(L"Variant or safe array is not locked");
  --D.LockCount;
}

TVarType VarArrayElementType(const Variant& A) { return VA::Arr(A).ElemType; }

Variant Variant::operator[](Integer Index) const { return VarArrayGet(*this, {Index}); }
TVarArrayElement Variant::operator[](Integer Index) { return TVarArrayElement(*this, Index); }
TVarArrayElement::operator Variant() const { return VarArrayGet(FOwner, {FIndex}); }
TVarArrayElement& TVarArrayElement::operator=(const Variant& Value) {
  VarArrayPut(FOwner, Value, {FIndex});
  return *this;
}

// ---- Custom kinds -----------------------------------------------------------------------------

TCustomVariantType::TCustomVariantType(const String& AName) : FName(AName) {
  std::lock_guard<std::mutex> G(RegistryLock());
  auto& R = VariantTypeRegistry();
  FVarType = TVarType(CFirstUserType + R.size());
  R.push_back(this);
}

TCustomVariantType::~TCustomVariantType() {
  std::lock_guard<std::mutex> G(RegistryLock());
  auto& R = VariantTypeRegistry();
  size_t I = FVarType - CFirstUserType;
  if (I < R.size() && R[I] == this) R[I] = nullptr;
}

bool FindCustomVariantType(TVarType AVarType, TCustomVariantType*& CustomVariantType) {
  std::lock_guard<std::mutex> G(RegistryLock());
  auto& R = VariantTypeRegistry();
  size_t I = size_t(AVarType) - CFirstUserType;
  CustomVariantType = AVarType >= CFirstUserType && I < R.size() ? R[I] : nullptr;
  return CustomVariantType != nullptr;
}

bool TCustomVariantType::IsClear(const Variant&) const { return false; }
void TCustomVariantType::Cast(Variant&, const Variant& Source) const { RaiseCastError(Source.Type(), FVarType); }
void TCustomVariantType::CastTo(Variant&, const Variant& Source, TVarType AVarType) const {
  RaiseCastError(Source.Type(), AVarType);
}
void TCustomVariantType::BinaryOp(Variant&, const Variant&, TVarOp) const { RaiseInvalidOp(); }
void TCustomVariantType::UnaryOp(Variant&, TVarOp) const { RaiseInvalidOp(); }
void TCustomVariantType::Compare(const Variant&, const Variant&, TVarCompareResult&) const { RaiseInvalidOp(); }
bool TCustomVariantType::LeftPromotion(const Variant&, TVarOp, TVarType& RequiredVarType) const {
  RequiredVarType = FVarType;
  return true;
}
bool TCustomVariantType::RightPromotion(const Variant&, TVarOp, TVarType& RequiredVarType) const {
  RequiredVarType = FVarType;
  return true;
}
void TCustomVariantType::RaiseCastError(TVarType From, TVarType To) const { VarCastError(From, To); }
void TCustomVariantType::RaiseInvalidOp() const { VarInvalidOp(); }

// ---- OLE --------------------------------------------------------------------------------------

namespace {

VARTYPE OleElemType(TVarType T) { return IsStrType(T) ? VT_BSTR : T == varVariant ? VT_VARIANT : VARTYPE(T); }

BSTR AllocBStr(const String& S) {
  BSTR B = SysAllocStringLen(S.data(), UINT(S.size()));
  if (!B) throw EVariantOutOfMemoryError(L"Out of memory");
  return B;
}

IUnknown* OleIntf(const Variant& V) {
  const IPtr<IInterface>& P = VA::Intf(V);
  if (!P) return nullptr;
  auto* H = dynamic_cast<TOleInterfaceHolder*>(P.Get());
  if (!H) VarCastError(V.Type(), varDispatch);
  return H->Intf();
}

struct TSafeArrayAccess {
  SAFEARRAY* Psa;
  void* Data = nullptr;
  explicit TSafeArrayAccess(SAFEARRAY* P) : Psa(P) {
    if (FAILED(SafeArrayAccessData(Psa, &Data))) throw EVariantError(L"Variant or safe array is locked");
  }
  ~TSafeArrayAccess() { SafeArrayUnaccessData(Psa); }
};

SAFEARRAY* ArrayToOle(const Variant& Source) {
  const TVarArrayData& A = VA::Arr(Source);
  VARTYPE Vt = OleElemType(A.ElemType);
  std::vector<SAFEARRAYBOUND> B;
  for (const auto& Bd : A.Bounds) B.push_back({ULONG(Bd.ElementCount), LONG(Bd.LowBound)});
  SAFEARRAY* Psa = SafeArrayCreate(Vt, UINT(B.size()), B.data());
  if (!Psa) throw EVariantArrayCreateError(L"Error creating variant or safe array");
  try {
    TSafeArrayAccess Acc(Psa);
    size_t N = A.Count();
    if (A.ElemSize) std::memcpy(Acc.Data, A.Raw.data(), A.Raw.size());
    else
      for (size_t I = 0; I < N; ++I) {
        if (Vt == VT_BSTR) static_cast<BSTR*>(Acc.Data)[I] = AllocBStr(VA::Str(A.Items[I]));
        else if (Vt == VT_VARIANT) VariantToOle(A.Items[I], static_cast<VARIANT*>(Acc.Data)[I]);
        else if (IUnknown* U = OleIntf(A.Items[I])) {
          U->AddRef();
          static_cast<IUnknown**>(Acc.Data)[I] = U;
        }
      }
  } catch (...) {
    SafeArrayDestroy(Psa);
    throw;
  }
  return Psa;
}

Variant DecimalToVariant(const DECIMAL& D) {
  unsigned __int128 M = (unsigned __int128)D.Hi32 << 64 | D.Lo64;
  String Digits;
  do {
    Digits.insert(Digits.begin(), wchar_t(L'0' + int(M % 10)));
    M /= 10;
  } while (M);
  if (D.scale > 0) {
    while (Digits.size() <= D.scale) Digits.insert(Digits.begin(), L'0');
    Digits.insert(Digits.size() - D.scale, 1, L'.');
  }
  if (D.sign & DECIMAL_NEG) Digits.insert(Digits.begin(), L'-');
  TBcd Bcd;
  if (!TryStrToBcd(Digits, Bcd, TFormatSettings::Invariant())) VarCastError(14, VarFMTBcd());
  return VarFMTBcdCreate(Bcd);
}

Variant ScalarFromOle(VARTYPE Vt, const void* P) {
  auto Get = [P](auto Sample) {
    decltype(Sample) X;
    std::memcpy(&X, P, sizeof X);
    return X;
  };
  switch (Vt) {
    case VT_EMPTY: return Unassigned;
    case VT_NULL: return Null;
    case VT_I2: return Variant(Get((short)0));
    case VT_I4: case VT_INT: return Variant(Get(0));
    case VT_R4: return Variant(Get(0.0f));
    case VT_R8: return Variant(Get(0.0));
    case VT_CY: return Variant(Currency::FromRaw(Get(Int64(0))));
    case VT_DATE: return Variant(TDateTime(Get(0.0)));
    case VT_BSTR: {
      BSTR B = Get(BSTR(nullptr));
      return VA::MakeStr(B ? String(B, SysStringLen(B)) : String(), varOleStr);
    }
    case VT_DISPATCH: return Variant::FromOleDispatch(Get((IDispatch*)nullptr));
    case VT_UNKNOWN: return Variant::FromOleUnknown(Get((IUnknown*)nullptr));
    case VT_ERROR: return Variant::FromError(Get(0));
    case VT_BOOL: return Variant(Get(VARIANT_BOOL(0)) != 0);
    case VT_VARIANT: return OleToVariant(*static_cast<const VARIANT*>(P));
    case VT_DECIMAL: return DecimalToVariant(*static_cast<const DECIMAL*>(P));
    case VT_I1: return Variant(Get((signed char)0));
    case VT_UI1: return Variant(Get((unsigned char)0));
    case VT_UI2: return Variant(Get((unsigned short)0));
    case VT_UI4: case VT_UINT: return Variant(Get(0u));
    case VT_I8: return Variant(static_cast<long long>(Get(Int64(0))));
    case VT_UI8: return Variant(static_cast<unsigned long long>(Get(UInt64(0))));
    default: RaiseBadType();
  }
}

Variant ArrayFromOle(VARTYPE Vt, SAFEARRAY* Psa) {
  if (!Psa) return Unassigned;
  TVarType ElemType;
  switch (Vt) {
    case VT_BSTR: ElemType = varOleStr; break;
    case VT_VARIANT: case VT_DECIMAL: ElemType = varVariant; break;
    case VT_INT: ElemType = varInteger; break;
    case VT_UINT: ElemType = varLongWord; break;
    default:
      ElemType = TVarType(Vt);
      if (!IsValidArrayElemType(ElemType) || IsStrType(ElemType)) RaiseBadType();
  }
  UINT Dims = SafeArrayGetDim(Psa);
  std::vector<Integer> Bounds;
  for (UINT D = 1; D <= Dims; ++D) {
    LONG Lo = 0, Hi = -1;
    SafeArrayGetLBound(Psa, D, &Lo);
    SafeArrayGetUBound(Psa, D, &Hi);
    Bounds.push_back(Lo);
    Bounds.push_back(Hi);
  }
  auto A = NewArray(Bounds.data(), Bounds.size(), ElemType);
  size_t N = A->Count();
  if (N == 0) return VA::MakeArray(A);
  TSafeArrayAccess Acc(Psa);
  if (A->ElemSize) std::memcpy(A->Raw.data(), Acc.Data, A->Raw.size());
  else
    for (size_t I = 0; I < N; ++I) {
      if (Vt == VT_BSTR) A->Items[I] = ScalarFromOle(VT_BSTR, static_cast<BSTR*>(Acc.Data) + I);
      else if (Vt == VT_VARIANT) A->Items[I] = OleToVariant(static_cast<VARIANT*>(Acc.Data)[I]);
      else if (Vt == VT_DECIMAL) A->Items[I] = DecimalToVariant(static_cast<DECIMAL*>(Acc.Data)[I]);
      else A->Items[I] = ScalarFromOle(Vt, static_cast<IUnknown**>(Acc.Data) + I);
    }
  return VA::MakeArray(A);
}

}  // namespace

void VariantToOle(const Variant& Source, tagVARIANT& Dest) {
  VariantInit(&Dest);
  TVarType T = Source.Type();
  if (T & varArray) {
    SAFEARRAY* Psa = ArrayToOle(Source);
    Dest.vt = VT_ARRAY | OleElemType(T & varTypeMask);
    Dest.parray = Psa;
    return;
  }
  if (IsCustomType(T)) {
    Dest.bstrVal = AllocBStr(VarToStr(Source));
    Dest.vt = VT_BSTR;
    return;
  }
  switch (T) {
    case varEmpty: case varNull: break;
    case varSmallint: Dest.iVal = SHORT(VA::I64(Source)); break;
    case varInteger: Dest.lVal = LONG(VA::I64(Source)); break;
    case varSingle: Dest.fltVal = VA::F(Source); break;
    case varDouble: Dest.dblVal = VA::D(Source); break;
    case varCurrency: Dest.cyVal.int64 = VA::I64(Source); break;
    case varDate: Dest.date = VA::D(Source); break;
    case varOleStr: case varString: case varUString:
      Dest.bstrVal = AllocBStr(VA::Str(Source));
      Dest.vt = VT_BSTR;
      return;
    case varDispatch: case varUnknown: {
      IUnknown* U = OleIntf(Source);
      if (U) U->AddRef();
      Dest.punkVal = U;
      break;
    }
    case varError: Dest.scode = SCODE(VA::I64(Source)); break;
    case varBoolean: Dest.boolVal = VA::B(Source) ? VARIANT_TRUE : VARIANT_FALSE; break;
    case varShortInt: Dest.cVal = CHAR(VA::I64(Source)); break;
    case varByte: Dest.bVal = BYTE(VA::I64(Source)); break;
    case varWord: Dest.uiVal = USHORT(VA::I64(Source)); break;
    case varLongWord: Dest.ulVal = ULONG(VA::I64(Source)); break;
    case varInt64: Dest.llVal = VA::I64(Source); break;
    case varUInt64: Dest.ullVal = VA::U64(Source); break;
    default: VarCastError(T, varVariant);
  }
  Dest.vt = VARTYPE(T);
}

Variant OleToVariant(const tagVARIANT& Source) {
  VARTYPE Vt = Source.vt;
  VARTYPE Base = Vt & VT_TYPEMASK;
  if (Vt & VT_ARRAY) return ArrayFromOle(Base, (Vt & VT_BYREF) ? *Source.pparray : Source.parray);
  if (Vt & VT_BYREF) {
    if (!Source.byref) return Null;
    return ScalarFromOle(Base, Source.byref);
  }
  if (Base == VT_VARIANT) RaiseBadType();
  if (Base == VT_DECIMAL) return DecimalToVariant(Source.decVal);
  return ScalarFromOle(Base, &Source.llVal);
}

::IUnknown* VarToOleUnknown(const Variant& V) {
  if (!IsIntfType(V.Type())) return nullptr;
  auto* H = dynamic_cast<TOleInterfaceHolder*>(VA::Intf(V).Get());
  return H ? H->Intf() : nullptr;
}

::IDispatch* VarToOleDispatch(const Variant& V) {
  if (!IsIntfType(V.Type())) return nullptr;
  auto* H = dynamic_cast<TOleInterfaceHolder*>(VA::Intf(V).Get());
  return H && H->IsDispatch() ? static_cast<IDispatch*>(H->Intf()) : nullptr;
}

// ---- Format's variant arguments ---------------------------------------------------------------

namespace {
String FormatVariantArg(const Variant& V) { return VarToStr(V); }
const bool FormatHookSet = (FormatVariantArgHook = &FormatVariantArg, true);
}  // namespace
