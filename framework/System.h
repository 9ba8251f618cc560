#pragma once
// The runtime core: basic types, 1-based text routines, the object model (TObject, class
// references, interfaces), closures for events, sets, Currency and TDateTime, and the
// exception hierarchy. Lean on purpose: nearly every header of the system includes it.

#include <atomic>
#include <cstdint>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

// ---- Basic types ------------------------------------------------------------------------------

using String = std::wstring;  // UTF-16: wchar_t is 16 bits on Windows
using Char = wchar_t;
using WideChar = wchar_t;
using PChar = wchar_t*;
using PWideChar = wchar_t*;
using AnsiChar = char;
using AnsiString = std::string;
using RawByteString = std::string;
using UTF8String = std::string;
using WideString = std::wstring;
using UnicodeString = std::wstring;

using Byte = std::uint8_t;
using ShortInt = std::int8_t;
using SmallInt = std::int16_t;
using Word = std::uint16_t;
using Integer = std::int32_t;
using LongInt = std::int32_t;
using Cardinal = std::uint32_t;
using LongWord = std::uint32_t;
using Int64 = std::int64_t;
using UInt64 = std::uint64_t;
using NativeInt = std::intptr_t;  // anything that may hold a pointer
using NativeUInt = std::uintptr_t;
using Single = float;
using Double = double;
using Extended = long double;
using Boolean = bool;
using Pointer = void*;
using TBytes = std::vector<Byte>;
using TArrayOfString = std::vector<String>;

// ---- 1-based text routines --------------------------------------------------------------------

inline Integer Length(const String& S) { return static_cast<Integer>(S.size()); }
// Copy from the 1-based Index at most Count characters; out-of-range parts are clipped.
String Copy(const String& S, Integer Index, Integer Count = 0x7FFFFFFF);
// 1-based position of SubStr in S, searching from Offset; 0 when absent.
Integer Pos(const String& SubStr, const String& S, Integer Offset = 1);
Integer Pos(Char C, const String& S, Integer Offset = 1);
inline Integer PosEx(const String& SubStr, const String& S, Integer Offset = 1) { return Pos(SubStr, S, Offset); }
void Delete(String& S, Integer Index, Integer Count);
void Insert(const String& Source, String& S, Integer Index);
String StringOfChar(Char C, Integer Count);
inline void SetLength(String& S, Integer NewLength) { S.resize(NewLength < 0 ? 0 : NewLength); }
// ASCII upper case, as the framework's UpCase does.
inline Char UpCase(Char C) { return (C >= L'a' && C <= L'z') ? static_cast<Char>(C - 32) : C; }

// Names of components, properties, methods, classes, enumeration values and colours: equal when
// they differ only in the case of 'A'..'Z'. Every other character compares exactly, so a name
// means the same under every user locale (a Turkish one included).
inline bool SameIdent(std::wstring_view A, std::wstring_view B) {
  if (A.size() != B.size()) return false;
  for (size_t I = 0; I < A.size(); ++I)
    if (A[I] != B[I] && UpCase(A[I]) != UpCase(B[I])) return false;
  return true;
}
// The order that goes with SameIdent: negative, zero or positive.
Integer CompareIdent(std::wstring_view A, std::wstring_view B);

// Digits of numbers in streams, ini files and form text: ASCII only (a Unicode digit such as
// U+0663 is not a digit here). HexDigitValue answers -1 for a character that is not one.
inline bool IsAsciiDigit(Char C) { return C >= L'0' && C <= L'9'; }
inline int HexDigitValue(Char C) {
  if (C >= L'0' && C <= L'9') return C - L'0';
  if (C >= L'A' && C <= L'F') return C - L'A' + 10;
  if (C >= L'a' && C <= L'f') return C - L'a' + 10;
  return -1;
}
inline Char Chr(Integer Code) { return static_cast<Char>(Code); }
inline Integer Ord(Char C) { return static_cast<Integer>(C); }

// UTF-16 <-> UTF-8 and the ANSI code page, used wherever text leaves the program.
std::string UTF8Encode(const String& S);
String UTF8ToString(const std::string& S);
inline String UTF8Decode(const std::string& S) { return UTF8ToString(S); }

// ---- Numerics ---------------------------------------------------------------------------------

// Halves go to the even neighbour, as the framework rounds.
Int64 Round(Extended X);
Int64 Trunc(Extended X);
Extended Frac(Extended X);
Extended Int(Extended X);
inline bool Odd(Int64 X) { return (X & 1) != 0; }

// ---- Sets -------------------------------------------------------------------------------------

// A set of enumeration values (at most 256 elements, as the framework's sets). Written as
// `Set<TFontStyle>{fsBold, fsItalic}`; `S.Contains(fsBold)`, `S << fsBold`, `S + T`, `S * T`, `S - T`.
template <class E, unsigned N = 256>
class Set {
  static_assert(N > 0 && N <= 256, "a set holds at most 256 elements");
  static constexpr unsigned Words = (N + 63) / 64;
  std::uint64_t FBits[Words] = {};

  static unsigned Bit(E Value) { return static_cast<unsigned>(Value); }

 public:
  using Element = E;
  constexpr Set() = default;
  Set(std::initializer_list<E> Values) {
    for (E V : Values) Include(V);
  }

  bool Contains(E Value) const {
    unsigned B = Bit(Value);
    return B < N && (FBits[B / 64] >> (B % 64)) & 1;
  }
  Set& Include(E Value) {
    unsigned B = Bit(Value);
    if (B < N) FBits[B / 64] |= std::uint64_t(1) << (B % 64);
    return *this;
  }
  Set& Exclude(E Value) {
    unsigned B = Bit(Value);
    if (B < N) FBits[B / 64] &= ~(std::uint64_t(1) << (B % 64));
    return *this;
  }
  Set& operator<<(E Value) { return Include(Value); }
  Set& operator>>(E Value) { return Exclude(Value); }
  bool Empty() const {
    for (auto W : FBits)
      if (W) return false;
    return true;
  }
  void Clear() {
    for (auto& W : FBits) W = 0;
  }

  Set operator+(const Set& R) const {
    Set S;
    for (unsigned I = 0; I < Words; ++I) S.FBits[I] = FBits[I] | R.FBits[I];
    return S;
  }
  Set operator*(const Set& R) const {
    Set S;
    for (unsigned I = 0; I < Words; ++I) S.FBits[I] = FBits[I] & R.FBits[I];
    return S;
  }
  Set operator-(const Set& R) const {
    Set S;
    for (unsigned I = 0; I < Words; ++I) S.FBits[I] = FBits[I] & ~R.FBits[I];
    return S;
  }
  Set& operator+=(const Set& R) { return *this = *this + R; }
  Set& operator*=(const Set& R) { return *this = *this * R; }
  Set& operator-=(const Set& R) { return *this = *this - R; }
  bool operator==(const Set& R) const {
    for (unsigned I = 0; I < Words; ++I)
      if (FBits[I] != R.FBits[I]) return false;
    return true;
  }
  bool operator!=(const Set& R) const { return !(*this == R); }
  // Subset and superset, as Pascal's <= and >= on sets.
  bool operator<=(const Set& R) const { return (*this - R).Empty(); }
  bool operator>=(const Set& R) const { return (R - *this).Empty(); }

  // The low 64 elements as bits, for sets stored as ordinal values.
  std::uint64_t ToInt() const { return FBits[0]; }
  static Set FromInt(std::uint64_t Bits) {
    Set S;
    S.FBits[0] = N < 64 ? (Bits & ((std::uint64_t(1) << N) - 1)) : Bits;
    return S;
  }
};

// ---- Currency and TDateTime -------------------------------------------------------------------

// Fixed point with four decimals in 64 bits.
class Currency {
  Int64 FValue = 0;  // the amount times 10000

 public:
  constexpr Currency() = default;
  Currency(int V) : FValue(Int64(V) * 10000) {}
  Currency(Int64 V) : FValue(V * 10000) {}
  Currency(double V);
  Currency(long double V);
  static Currency FromRaw(Int64 Raw) {
    Currency C;
    C.FValue = Raw;
    return C;
  }
  Int64 Raw() const { return FValue; }
  double ToDouble() const { return double(FValue) / 10000.0; }
  long double ToExtended() const { return (long double)FValue / 10000.0L; }
  explicit operator double() const { return ToDouble(); }

  Currency operator-() const { return FromRaw(-FValue); }
  Currency operator+(Currency R) const { return FromRaw(FValue + R.FValue); }
  Currency operator-(Currency R) const { return FromRaw(FValue - R.FValue); }
  Currency operator*(Currency R) const;
  Currency operator/(Currency R) const;
  Currency& operator+=(Currency R) { return *this = *this + R; }
  Currency& operator-=(Currency R) { return *this = *this - R; }
  Currency& operator*=(Currency R) { return *this = *this * R; }
  Currency& operator/=(Currency R) { return *this = *this / R; }
  bool operator==(const Currency& R) const { return FValue == R.FValue; }
  auto operator<=>(const Currency& R) const { return FValue <=> R.FValue; }
};

// Days since 1899-12-30 with the time of day as the fraction; a distinct type so that a
// Variant built from it is a date, not a double.
struct TDateTime {
  double Val = 0;
  constexpr TDateTime() = default;
  constexpr TDateTime(double V) : Val(V) {}
  constexpr operator double() const { return Val; }
};
using TDate = TDateTime;
using TTime = TDateTime;

// ---- Object model -----------------------------------------------------------------------------

class TObject;
struct TTypeData;  // published-property and method tables, filled by the streaming layer

// The metaclass behind a class reference: name, parent, and a factory that makes class
// references act as virtual constructors.
class TMetaClass {
 public:
  using TFactory = void (*)();  // cast back to the real signature by TClassRef::Create
  using TPublishedDef = void (*)(TTypeData*);  // fills the class's own published members

  TMetaClass(const wchar_t* Name, const TMetaClass* Parent, TFactory Factory,
             const std::type_info* FactoryArgs, const std::type_info& CppType,
             TPublishedDef Published = nullptr)
      : FName(Name), FParent(Parent), FFactory(Factory), FFactoryArgs(FactoryArgs), FCppType(&CppType),
        FPublished(Published) {}
  TMetaClass(const TMetaClass&) = delete;
  TMetaClass& operator=(const TMetaClass&) = delete;

  String ClassName() const { return FName; }
  const wchar_t* ClassNameP() const { return FName; }
  const TMetaClass* ClassParent() const { return FParent; }
  bool InheritsFrom(const TMetaClass* AClass) const;
  TFactory Factory() const { return FFactory; }
  const std::type_info* FactoryArgs() const { return FFactoryArgs; }
  const std::type_info& CppType() const { return *FCppType; }
  // The class's own published-member table (PUBLISHED_DECL/PUBLISHED_DEF); null when it declares none.
  TPublishedDef PublishedDef() const { return FPublished; }

  // The class's published tables, set by TypInfo once they are complete (built on first use).
  mutable std::atomic<TTypeData*> TypeData{nullptr};

 private:
  const wchar_t* FName;
  const TMetaClass* FParent;
  TFactory FFactory;
  const std::type_info* FFactoryArgs;
  const std::type_info* FCppType;
  TPublishedDef FPublished;
};
using TClass = const TMetaClass*;

template <class... A>
struct TCtorArgs {};

namespace fw_detail {
template <class... P, class... A>
TObject* CallFactory(void (*F)(), TCtorArgs<P...>*, A&&... Args) {
  return reinterpret_cast<TObject* (*)(P...)>(F)(std::forward<A>(Args)...);
}
template <class T, class Args>
struct Factory;
template <class T, class... A>
struct Factory<T, TCtorArgs<A...>> {
  static TObject* Make(A... Args) { return new T(Args...); }
  static TMetaClass::TFactory Get() {
    if constexpr (!std::is_abstract_v<T> && std::is_constructible_v<T, A...>)
      return reinterpret_cast<TMetaClass::TFactory>(&Make);
    else
      return nullptr;
  }
};
// The define function of T's own published table: PUBLISHED_DECL names the class in
// FwPublishedSelf_, so a class that only inherits one is told apart from one that declares its own.
template <class T>
constexpr TMetaClass::TPublishedDef PublishedDef() {
  if constexpr (requires { typename T::FwPublishedSelf_; }) {
    if constexpr (std::is_same_v<typename T::FwPublishedSelf_, T>) return &T::FwDefinePublished_;
  }
  return nullptr;
}
#define FW_WIDEN2(x) L##x
#define FW_WIDEN(x) FW_WIDEN2(x)
}  // namespace fw_detail

// Declares a class's metadata: put it first in the class body.
//   class TFoo : public TBar { DECLARE_CLASS(TFoo, TBar) public: ... };
// A class whose descendants are made through class references names the constructor
// arguments once: `using TCtorArgs = ::TCtorArgs<TComponent*>;`, and its descendants keep them.
#define DECLARE_CLASS(T, Parent)                                                                       \
 public:                                                                                               \
  using inherited = Parent;                                                                            \
  using FwClassSelf_ = T;                                                                              \
  static TClass StaticClass() {                                                                        \
    static const TMetaClass Meta(FW_WIDEN(#T), Parent::StaticClass(),                                  \
                                 ::fw_detail::Factory<T, typename T::TCtorArgs>::Get(),                \
                                 &typeid(typename T::TCtorArgs), typeid(T),                            \
                                 ::fw_detail::PublishedDef<T>());                                      \
    return &Meta;                                                                                      \
  }                                                                                                    \
  TClass ClassType() const override { return StaticClass(); }                                          \
                                                                                                       \
 private:

class TObject {
 public:
  using TCtorArgs = ::TCtorArgs<>;
  TObject() = default;
  virtual ~TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;

  static TClass StaticClass();
  virtual TClass ClassType() const { return StaticClass(); }
  String ClassName() const { return ClassType()->ClassName(); }
  TClass ClassParent() const { return ClassType()->ClassParent(); }
  bool InheritsFrom(TClass AClass) const { return ClassType()->InheritsFrom(AClass); }
  virtual String ToString() const { return ClassName(); }
  // Message dispatch: a class handles the messages it knows and passes the rest to its parent.
  virtual void Dispatch(void* Message) { DefaultHandler(Message); }
  virtual void DefaultHandler(void* /*Message*/) {}
  virtual void AfterConstruction() {}
  virtual void BeforeDestruction() {}
};

// A class reference typed by the base it creates: `TClassRef<TComponent>` is TComponentClass.
template <class Base>
class TClassRef {
  TClass FClass = nullptr;

 public:
  TClassRef() = default;
  TClassRef(TClass C) : FClass(C) {}
  TClassRef(std::nullptr_t) {}
  operator TClass() const { return FClass; }
  TClass operator->() const { return FClass; }
  explicit operator bool() const { return FClass != nullptr; }
  template <class... A>
  Base* Create(A&&... Args) const;
};

void RaiseAbstractClass(TClass AClass);      // "Cannot create instance of abstract class X"
void RaiseFactoryMismatch(TClass AClass);

template <class Base>
template <class... A>
Base* TClassRef<Base>::Create(A&&... Args) const {
  using Want = typename Base::TCtorArgs;
  if (!FClass || !FClass->Factory()) RaiseAbstractClass(FClass);
  if (*FClass->FactoryArgs() != typeid(Want)) RaiseFactoryMismatch(FClass);
  return static_cast<Base*>(
      fw_detail::CallFactory(FClass->Factory(), static_cast<Want*>(nullptr), std::forward<A>(Args)...));
}

template <class T>
inline void FreeAndNil(T*& Obj) {
  T* P = Obj;
  Obj = nullptr;
  delete P;
}

// `is` and `as`: dynamic casts; As raises EInvalidCast as the framework's `as` does.
template <class T, class U>
inline bool Is(const U* Obj) {
  return dynamic_cast<const T*>(Obj) != nullptr;
}
[[noreturn]] void RaiseInvalidCast();
template <class T, class U>
inline T* As(U* Obj) {
  if (!Obj) return nullptr;
  T* R = dynamic_cast<T*>(Obj);
  if (!R) RaiseInvalidCast();
  return R;
}

// ---- Interfaces -------------------------------------------------------------------------------

// Interfaces are abstract classes deriving virtually from IInterface; no GUIDs, Supports is a
// dynamic cast. Reference counting is the object's own business: TInterfacedObject frees itself
// on the last release, components answer -1 and are freed by their owner.
class IInterface {
 public:
  virtual ~IInterface() = default;
  virtual Integer _AddRef() = 0;
  virtual Integer _Release() = 0;
};
using IUnknownKv = IInterface;

class TInterfacedObject : public TObject, public virtual IInterface {
  DECLARE_CLASS(TInterfacedObject, TObject)
 public:
  Integer _AddRef() override;
  Integer _Release() override;
  Integer RefCount() const { return FRefCount; }

 protected:
  std::atomic<Integer> FRefCount{0};
};

// A counted reference to an interface (the framework's interface variables).
template <class I>
class IPtr {
  I* FPtr = nullptr;

 public:
  IPtr() = default;
  IPtr(std::nullptr_t) {}
  IPtr(I* P) : FPtr(P) {
    if (FPtr) FPtr->_AddRef();
  }
  IPtr(const IPtr& R) : IPtr(R.FPtr) {}
  IPtr(IPtr&& R) noexcept : FPtr(R.FPtr) { R.FPtr = nullptr; }
  template <class J, class = std::enable_if_t<std::is_convertible_v<J*, I*>>>
  IPtr(const IPtr<J>& R) : IPtr(static_cast<I*>(R.Get())) {}
  ~IPtr() { Reset(); }
  IPtr& operator=(IPtr R) {
    std::swap(FPtr, R.FPtr);
    return *this;
  }
  void Reset() {
    I* P = FPtr;
    FPtr = nullptr;
    if (P) P->_Release();
  }
  I* Get() const { return FPtr; }
  I* operator->() const { return FPtr; }
  I& operator*() const { return *FPtr; }
  explicit operator bool() const { return FPtr != nullptr; }
  bool operator==(const IPtr& R) const { return FPtr == R.FPtr; }
  bool operator==(std::nullptr_t) const { return FPtr == nullptr; }
};

template <class I, class T>
inline bool Supports(T* Obj, I*& Intf) {
  Intf = Obj ? dynamic_cast<I*>(Obj) : nullptr;
  return Intf != nullptr;
}
template <class I, class T>
inline bool Supports(T* Obj) {
  return Obj && dynamic_cast<I*>(Obj) != nullptr;
}
template <class I, class T>
inline bool Supports(const IPtr<T>& Obj, IPtr<I>& Intf) {
  Intf = IPtr<I>(Obj ? dynamic_cast<I*>(Obj.Get()) : nullptr);
  return bool(Intf);
}
// The interface as-cast: raises EIntfCastError when the object does not support it.
[[noreturn]] void RaiseIntfCast();
template <class I, class T>
inline I* AsIntf(T* Obj) {
  I* R = Obj ? dynamic_cast<I*>(Obj) : nullptr;
  if (!R && Obj) RaiseIntfCast();
  return R;
}

// ---- Closures (method pointers for events) ----------------------------------------------------

// A Delphi "procedure of object": the receiver and the method, or any callable. Two closures
// bound to the same method of the same object compare equal, so handlers can be found by name
// and recognised when they are swapped back.
//
// A bound method is a plain 32-byte value (receiver, invoker, the member pointer's bytes): binding
// and copying never allocate. Any other callable lives in one counted block shared by the
// closure's copies; it equals only its copies, and a call keeps the block alive until it returns,
// so a handler may free its sender or clear the event that is running it.
template <class Sig>
class Closure;

namespace fw_closure {
struct TBlock {
  std::atomic<long> Refs{1};
  void (*Free)(TBlock*) = nullptr;
};
template <class F>
struct TBlockOf final : TBlock {
  F Func;
  explicit TBlockOf(F&& X) : Func(std::move(X)) {
    Free = [](TBlock* B) { delete static_cast<TBlockOf*>(B); };
  }
};
inline void AddRef(TBlock* B) { B->Refs.fetch_add(1, std::memory_order_relaxed); }
inline void Release(TBlock* B) {
  if (B->Refs.fetch_sub(1, std::memory_order_acq_rel) == 1) B->Free(B);
}
struct TPin {
  TBlock* B;
  explicit TPin(TBlock* X) : B(X) { AddRef(B); }
  TPin(const TPin&) = delete;
  TPin& operator=(const TPin&) = delete;
  ~TPin() { Release(B); }
};

// The closure's whole state. Data is the receiver's TObject for a bound method and null for
// another callable, whose block pointer then sits in Code.
template <class R, class... A>
struct TDelegate {
  void* Data = nullptr;
  R (*Invoke)(const TDelegate&, A...) = nullptr;  // null when empty
  alignas(8) unsigned char Code[16] = {};

  bool Owning() const { return Invoke && !Data; }
  TBlock* Block() const {
    TBlock* B;
    std::memcpy(&B, Code, sizeof(B));
    return B;
  }
};

// K is the class the receiver is cast to before the call; MP the member pointer's type.
template <class K, class MP, class R, class... A>
R CallMethod(const TDelegate<R, A...>& D, A... Args) {
  MP Method;
  std::memcpy(&Method, D.Code, sizeof(MP));
  K* Obj = static_cast<K*>(static_cast<TObject*>(D.Data));
  if constexpr (std::is_void_v<R>)
    (Obj->*Method)(std::forward<A>(Args)...);
  else
    return (Obj->*Method)(std::forward<A>(Args)...);
}
template <class F, class R, class... A>
R CallCallable(const TDelegate<R, A...>& D, A... Args) {
  auto* B = static_cast<TBlockOf<F>*>(D.Block());
  TPin Pin(B);
  if constexpr (std::is_void_v<R>)
    B->Func(std::forward<A>(Args)...);
  else
    return B->Func(std::forward<A>(Args)...);
}
[[noreturn]] void RaiseEmptyClosure();
}  // namespace fw_closure

template <class R, class... A>
class Closure<R(A...)> {
  using TDelegate = fw_closure::TDelegate<R, A...>;
  static_assert(std::is_trivially_copyable_v<TDelegate> && sizeof(TDelegate) == 4 * sizeof(void*));

 public:
  Closure() = default;
  Closure(std::nullptr_t) {}
  // A method of no object is no handler: the closure stays empty.
  template <class O, class C, class M>
    requires std::is_base_of_v<TObject, O>
  Closure(O* Obj, M C::*Method) {
    static_assert(std::is_member_function_pointer_v<M C::*>, "a closure binds a method");
    static_assert(std::is_base_of_v<C, O>, "the method belongs to the object's class");
    static_assert(sizeof(Method) <= sizeof(FD.Code), "member pointer too large");
    if (!Obj || !Method) return;
    // Cast back to the method's own class when it is a TObject, so the same method of the same
    // object gives the same invoker whatever pointer type it was bound through.
    using K = std::conditional_t<std::is_base_of_v<TObject, C>, C, O>;
    FD.Data = const_cast<TObject*>(static_cast<const TObject*>(Obj));
    FD.Invoke = &fw_closure::CallMethod<K, M C::*, R, A...>;
    std::memcpy(FD.Code, &Method, sizeof(Method));
  }
  // Streams name a handler by its receiver's class, so the receiver must be a TObject.
  template <class O, class C, class M>
    requires(!std::is_base_of_v<TObject, O>)
  Closure(O* Obj, M C::*Method) = delete;
  template <class F, class = std::enable_if_t<std::is_invocable_r_v<R, std::decay_t<F>&, A...> &&
                                              !std::is_same_v<std::decay_t<F>, Closure>>>
  Closure(F Func) {
    using D = std::decay_t<F>;
    if constexpr (std::is_pointer_v<D> || std::is_member_pointer_v<D>)
      if (!Func) return;
    fw_closure::TBlock* B = new fw_closure::TBlockOf<D>(std::move(Func));
    FD.Invoke = &fw_closure::CallCallable<D, R, A...>;
    std::memcpy(FD.Code, &B, sizeof(B));
  }
  Closure(const Closure& Other) : FD(Other.FD) {
    if (FD.Owning()) fw_closure::AddRef(FD.Block());
  }
  Closure(Closure&& Other) noexcept : FD(Other.FD) { Other.FD = TDelegate(); }
  Closure& operator=(const Closure& Other) {
    Closure(Other).Swap(*this);
    return *this;
  }
  Closure& operator=(Closure&& Other) noexcept {
    Closure(std::move(Other)).Swap(*this);
    return *this;
  }
  ~Closure() {
    if (FD.Owning()) fw_closure::Release(FD.Block());
  }

  explicit operator bool() const { return FD.Invoke != nullptr; }
  R operator()(A... Args) const {
    if (!FD.Invoke) fw_closure::RaiseEmptyClosure();
    return FD.Invoke(FD, std::forward<A>(Args)...);
  }
  void Clear() { Closure().Swap(*this); }
  // The receiver of a bound method (TMethod.Data); null for other callables.
  TObject* Data() const { return static_cast<TObject*>(FD.Data); }
  bool operator==(const Closure& Other) const {
    return FD.Data == Other.FD.Data && FD.Invoke == Other.FD.Invoke &&
           std::memcmp(FD.Code, Other.FD.Code, sizeof(FD.Code)) == 0;
  }
  bool operator!=(const Closure& Other) const { return !(*this == Other); }
  bool operator==(std::nullptr_t) const { return !FD.Invoke; }

 private:
  void Swap(Closure& Other) noexcept {
    TDelegate T = FD;
    FD = Other.FD;
    Other.FD = T;
  }
  TDelegate FD;
};

using TNotifyEvent = Closure<void(TObject* Sender)>;

// Fires an event only when it is assigned. The call runs on a copy, so a handler that frees the
// sender (and with it the event it was bound through) returns into memory that is still valid.
template <class E, class... A>
inline void DoEvent(const E& Event, A&&... Args) {
  if (!Event) return;
  const E Copy(Event);
  Copy(std::forward<A>(Args)...);
}

// ---- Format arguments -------------------------------------------------------------------------

class Variant;

// One argument of Format's "array of const".
struct TVarRec {
  enum TKind : Byte { vtInteger, vtInt64, vtExtended, vtCurrency, vtString, vtChar, vtPointer, vtBoolean, vtObject, vtVariant };
  TKind Kind;
  union {
    Int64 VInt64;
    Extended VExtended;
    Int64 VCurrency;  // raw currency, ten thousandths
    wchar_t VChar;
    const void* VPointer;
    bool VBoolean;
    const TObject* VObject;
    const Variant* VVariant;
  };
  String VString;

  TVarRec(int V) : Kind(vtInteger), VInt64(V) {}
  TVarRec(unsigned V) : Kind(vtInt64), VInt64(V) {}
  TVarRec(long V) : Kind(vtInteger), VInt64(V) {}
  TVarRec(unsigned long V) : Kind(vtInt64), VInt64(static_cast<Int64>(V)) {}
  TVarRec(long long V) : Kind(vtInt64), VInt64(V) {}
  TVarRec(unsigned long long V) : Kind(vtInt64), VInt64(static_cast<Int64>(V)) {}
  TVarRec(short V) : Kind(vtInteger), VInt64(V) {}
  TVarRec(unsigned short V) : Kind(vtInteger), VInt64(V) {}
  TVarRec(signed char V) : Kind(vtInteger), VInt64(V) {}
  TVarRec(unsigned char V) : Kind(vtInteger), VInt64(V) {}
  TVarRec(float V) : Kind(vtExtended), VExtended(V) {}
  TVarRec(double V) : Kind(vtExtended), VExtended(V) {}
  TVarRec(long double V) : Kind(vtExtended), VExtended(V) {}
  TVarRec(TDateTime V) : Kind(vtExtended), VExtended(V.Val) {}
  TVarRec(Currency V) : Kind(vtCurrency), VCurrency(V.Raw()) {}
  TVarRec(const String& V) : Kind(vtString), VInt64(0), VString(V) {}
  TVarRec(const wchar_t* V) : Kind(vtString), VInt64(0), VString(V ? V : L"") {}
  TVarRec(wchar_t V) : Kind(vtChar), VChar(V) {}
  TVarRec(bool V) : Kind(vtBoolean), VBoolean(V) {}
  TVarRec(const void* V) : Kind(vtPointer), VPointer(V) {}
  TVarRec(const TObject* V) : Kind(vtObject), VObject(V) {}
  TVarRec(const Variant& V) : Kind(vtVariant), VVariant(&V) {}
};
using TVarRecs = std::initializer_list<TVarRec>;

// Defined with SysUtils; declared here so that exceptions can format their messages.
String Format(const String& Fmt, TVarRecs Args);

// ---- Exceptions -------------------------------------------------------------------------------

// Thrown by value, caught by reference: `throw EConvertError(L"...")`, `catch (const Exception& E)`.
class Exception : public TObject, public std::exception {
  DECLARE_CLASS(Exception, TObject)
 public:
  Exception() = default;
  explicit Exception(const String& Msg) : FMessage(Msg) {}
  // CreateFmt
  Exception(const String& Fmt, TVarRecs Args) : FMessage(Format(Fmt, Args)) {}

  const String& Message() const { return FMessage; }
  void SetMessage(const String& Value) { FMessage = Value; }
  Integer HelpContext() const { return FHelpContext; }
  void SetHelpContext(Integer Value) { FHelpContext = Value; }
  String ToString() const override { return FMessage; }
  const char* what() const noexcept override;

 private:
  String FMessage;
  Integer FHelpContext = 0;
  mutable std::string FWhat;
};

// Declares an exception class that only renames its parent.
#define DECLARE_EXCEPTION(T, Parent)   \
  class T : public Parent {            \
    DECLARE_CLASS(T, Parent)           \
   public:                             \
    using Parent::Parent;              \
    T() = default;                     \
  };

DECLARE_EXCEPTION(EAbort, Exception)
DECLARE_EXCEPTION(EHeapException, Exception)
DECLARE_EXCEPTION(EOutOfMemory, EHeapException)
DECLARE_EXCEPTION(EInvalidPointer, EHeapException)
DECLARE_EXCEPTION(EConvertError, Exception)
DECLARE_EXCEPTION(EExternal, Exception)
DECLARE_EXCEPTION(EIntError, EExternal)
DECLARE_EXCEPTION(EDivByZero, EIntError)
DECLARE_EXCEPTION(ERangeError, EIntError)
DECLARE_EXCEPTION(EIntOverflow, EIntError)
DECLARE_EXCEPTION(EMathError, EExternal)
DECLARE_EXCEPTION(EInvalidOp, EMathError)
DECLARE_EXCEPTION(EZeroDivide, EMathError)
DECLARE_EXCEPTION(EOverflow, EMathError)
DECLARE_EXCEPTION(EUnderflow, EMathError)
DECLARE_EXCEPTION(EAccessViolation, EExternal)
DECLARE_EXCEPTION(EInvalidCast, Exception)
DECLARE_EXCEPTION(EIntfCastError, Exception)
DECLARE_EXCEPTION(EAssertionFailed, Exception)
DECLARE_EXCEPTION(EAbstractError, Exception)
DECLARE_EXCEPTION(EInvalidOperation, Exception)
DECLARE_EXCEPTION(ENotSupportedException, Exception)
DECLARE_EXCEPTION(ENotImplemented, Exception)
DECLARE_EXCEPTION(EArgumentException, Exception)
DECLARE_EXCEPTION(EArgumentOutOfRangeException, EArgumentException)
DECLARE_EXCEPTION(EArgumentNilException, EArgumentException)
DECLARE_EXCEPTION(EEncodingError, Exception)
DECLARE_EXCEPTION(EListError, Exception)
DECLARE_EXCEPTION(EStringListError, Exception)
DECLARE_EXCEPTION(EStreamError, Exception)
DECLARE_EXCEPTION(EFCreateError, EStreamError)
DECLARE_EXCEPTION(EFOpenError, EStreamError)
DECLARE_EXCEPTION(EFilerError, EStreamError)
DECLARE_EXCEPTION(EReadError, EFilerError)
DECLARE_EXCEPTION(EWriteError, EFilerError)
DECLARE_EXCEPTION(EClassNotFound, EFilerError)
DECLARE_EXCEPTION(EMethodNotFound, EFilerError)
DECLARE_EXCEPTION(EInvalidImage, EFilerError)
DECLARE_EXCEPTION(EResNotFound, Exception)
DECLARE_EXCEPTION(EParserError, Exception)
DECLARE_EXCEPTION(EPropertyError, Exception)
DECLARE_EXCEPTION(EPropertyConvertError, Exception)
DECLARE_EXCEPTION(EComponentError, Exception)
DECLARE_EXCEPTION(EOutOfResources, Exception)
DECLARE_EXCEPTION(EInvalidGraphic, Exception)
DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception)
DECLARE_EXCEPTION(EThread, Exception)
DECLARE_EXCEPTION(EMenuError, Exception)
DECLARE_EXCEPTION(EPrinter, Exception)
DECLARE_EXCEPTION(EVariantError, Exception)
DECLARE_EXCEPTION(EVariantInvalidOpError, EVariantError)
DECLARE_EXCEPTION(EVariantTypeCastError, EVariantError)
DECLARE_EXCEPTION(EVariantOverflowError, EVariantError)
DECLARE_EXCEPTION(EVariantInvalidArgError, EVariantError)
DECLARE_EXCEPTION(EVariantBadVarTypeError, EVariantError)
DECLARE_EXCEPTION(EVariantBadIndexError, EVariantError)
DECLARE_EXCEPTION(EVariantArrayLockedError, EVariantError)
DECLARE_EXCEPTION(EVariantArrayCreateError, EVariantError)
DECLARE_EXCEPTION(EVariantNotImplError, EVariantError)
DECLARE_EXCEPTION(EVariantOutOfMemoryError, EVariantError)
DECLARE_EXCEPTION(EBcdException, Exception)
DECLARE_EXCEPTION(EBcdOverflowException, EBcdException)
DECLARE_EXCEPTION(ESQLTimeStampException, Exception)
DECLARE_EXCEPTION(EDatabaseError, Exception)

// Exceptions that carry a system error code.
class EInOutError : public Exception {
  DECLARE_CLASS(EInOutError, Exception)
 public:
  using Exception::Exception;
  EInOutError() = default;
  Integer ErrorCode = 0;
};
class EOSError : public Exception {
  DECLARE_CLASS(EOSError, Exception)
 public:
  using Exception::Exception;
  EOSError() = default;
  Cardinal ErrorCode = 0;
};
class EOleError : public Exception {
  DECLARE_CLASS(EOleError, Exception)
 public:
  using Exception::Exception;
  EOleError() = default;
};
class EOleSysError : public EOleError {
  DECLARE_CLASS(EOleSysError, EOleError)
 public:
  EOleSysError() = default;
  EOleSysError(const String& Msg, Integer Code) : EOleError(Msg), ErrorCode(Code) {}
  Integer ErrorCode = 0;
};
class EOleException : public EOleSysError {
  DECLARE_CLASS(EOleException, EOleSysError)
 public:
  EOleException() = default;
  EOleException(const String& Msg, Integer Code, const String& Src = String())
      : EOleSysError(Msg, Code), Source(Src) {}
  String Source;
};

// Raises the silent exception: the application's handler shows nothing for it.
[[noreturn]] void Abort();
// Raises EOSError with the system's text for GetLastError (or for Code).
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseLastOSError(Cardinal Code);
// Raises EAbstractError naming the operation a base class leaves to its descendants.
[[noreturn]] void AbstractError(const String& Operation);

// The module that holds the program's resources (this executable) as a handle value.
NativeUInt HInstance();
NativeUInt MainInstance();
// True in a DLL; the system is one executable, so always false.
inline bool IsLibrary() { return false; }

// The running program's arguments: ParamStr(0) is the executable's full path.
String ParamStr(Integer Index);
Integer ParamCount();

// ---- Class registry ---------------------------------------------------------------------------

void RegisterClass(TClass AClass);
void RegisterClasses(std::initializer_list<TClass> Classes);
void UnRegisterClass(TClass AClass);
TClass GetClass(const String& ClassName);   // null when not registered
TClass FindClass(const String& ClassName);  // raises EClassNotFound
