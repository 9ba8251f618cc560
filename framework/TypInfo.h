#pragma once
// Published-property metadata: what the framework's streaming and the TypInfo routines need to
// list, read and write a class's published properties by name, and to find published methods
// (the event handlers a component stream names).
//
// A class declares its published members once, one line each, inside its body:
//
//   class TPanelKv : public TComponent {
//     DECLARE_CLASS(TPanelKv, TComponent)
//    public:
//     ...
//     PUBLISHED(TPanelKv) {
//       PROP(Width).Default(64);                        // GetWidth/SetWidth, type deduced
//       PROP(Color).Default(clWindow).Stored(&TPanelKv::IsColorStored);
//       PROP(Caption);
//       EVENT(OnClick);                                 // GetOnClick/SetOnClick, a Closure
//       METHOD(PanelClick);                             // a handler a stream may name
//     }
//   };
//
// Enumerations and sets stream by their value names, so an enumeration used by a published
// property registers them beside its declaration: DECLARE_ENUM(TAlign, alNone, alTop, ...)
// declares the enumeration with its names; ENUM_NAMES(TAlign, alNone, alTop, ...) names one
// declared elsewhere (the list is checked at compile time against the values).

#include <limits>
#include <memory>

#include "framework/System.h"

class IInterface;

enum TTypeKind {
  tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod, tkWChar,
  tkLString, tkWString, tkVariant, tkArray, tkRecord, tkInterface, tkInt64, tkDynArray, tkUString,
  tkClassRef, tkPointer, tkProcedure
};
using TTypeKinds = Set<TTypeKind, 32>;
enum TOrdType { otSByte, otUByte, otSWord, otUWord, otSLong, otULong };
enum TFloatType { ftFloatSingle, ftFloatDouble, ftFloatExtended, ftFloatComp, ftFloatCurr };

struct TTypeInfo;
struct TPropInfo;
struct TMethodEntry;
using PTypeInfo = const TTypeInfo*;
using PPropInfo = const TPropInfo*;
using TPropList = std::vector<PPropInfo>;

// The value of a method property: the published method (Code) and its receiver (Data).
struct TMethod {
  const TMethodEntry* Code = nullptr;
  TObject* Data = nullptr;
  bool operator==(const TMethod&) const = default;
};

// A property without a default value is always written.
constexpr Integer NoDefault = Integer(0x80000000);

struct TTypeData {
  // Ordinals
  TOrdType OrdType = otSLong;
  Int64 MinValue = 0, MaxValue = 0;
  std::vector<String> NameList;  // enumerations: the value names, in order
  PTypeInfo CompType = nullptr;  // sets: the element enumeration
  // Floats
  TFloatType FloatType = ftFloatExtended;
  // Classes: the class and its own published members (inherited ones come from the parents)
  TClass ClassType = nullptr;
  std::vector<std::unique_ptr<TPropInfo>> OwnProps;
  std::vector<std::unique_ptr<TMethodEntry>> OwnMethods;
};

struct TTypeInfo {
  TTypeKind Kind = tkUnknown;
  String Name;
  TTypeData* Data = nullptr;  // owned by the registry of type information
};

// One published property and the type-erased accessors the streaming calls.
struct TPropInfo {
  PTypeInfo PropType = nullptr;
  String Name;
  Integer Default = NoDefault;  // ordinals; NoDefault when absent
  bool HasDefault64 = false;    // Int64 properties with a declared default
  Int64 Default64 = 0;
  Integer NameIndex = 0;
  TClass DeclaringClass = nullptr;
  bool StoredConst = true;
  std::function<bool(TObject*)> StoredProc;  // the IsXxxStored predicate, when there is one
  const std::type_info* ClosureType = nullptr;  // method properties: the event's Closure type
  // Integer properties whose values have names in streams ("clWindow" for a colour).
  bool (*IdentToInt)(const String& Ident, Integer& Value) = nullptr;
  bool (*IntToIdent)(Integer Value, String& Ident) = nullptr;

  // Set for the kind of the property; a missing setter means read-only, a missing getter write-only.
  Int64 (*GetOrd)(TObject*) = nullptr;
  void (*SetOrd)(TObject*, Int64) = nullptr;
  Extended (*GetFloat)(TObject*) = nullptr;
  void (*SetFloat)(TObject*, Extended) = nullptr;
  String (*GetStr)(TObject*) = nullptr;
  void (*SetStr)(TObject*, const String&) = nullptr;
  TObject* (*GetObj)(TObject*) = nullptr;
  void (*SetObj)(TObject*, TObject*) = nullptr;
  TMethod (*GetMethod)(TObject*) = nullptr;
  void (*SetMethod)(TObject*, const TMethod&) = nullptr;
  void (*GetVar)(TObject*, Variant&) = nullptr;
  void (*SetVar)(TObject*, const Variant&) = nullptr;
  IInterface* (*GetIntf)(TObject*) = nullptr;
  void (*SetIntf)(TObject*, IInterface*) = nullptr;

  bool IsReadable() const { return GetOrd || GetFloat || GetStr || GetObj || GetMethod || GetVar || GetIntf; }
  bool IsWritable() const { return SetOrd || SetFloat || SetStr || SetObj || SetMethod || SetVar || SetIntf; }
};

// A published method: a handler a component stream can name. Bind makes the event's Closure.
struct TMethodEntry {
  String Name;
  const std::type_info* ClosureType = nullptr;
  TClass DeclaringClass = nullptr;
  void (*Bind)(TObject* Data, void* ClosureOut) = nullptr;
};

// ---- Lookup routines --------------------------------------------------------------------------

PTypeInfo ClassTypeInfo(TClass AClass);  // the type information of a class, made on first use
TTypeData* GetTypeData(PTypeInfo TypeInfo);
PPropInfo GetPropInfo(TClass AClass, const String& PropName);  // case-insensitive; null when absent
PPropInfo GetPropInfo(const TObject* Instance, const String& PropName);
PPropInfo GetPropInfo(const TObject* Instance, const String& PropName, TTypeKinds AKinds);
bool IsPublishedProp(TClass AClass, const String& PropName);
bool IsPublishedProp(const TObject* Instance, const String& PropName);
bool IsStoredProp(TObject* Instance, PPropInfo PropInfo);
bool PropIsType(const TObject* Instance, const String& PropName, TTypeKind TypeKind);
TTypeKind PropType(const TObject* Instance, const String& PropName);
TTypeKind PropType(TClass AClass, const String& PropName);
// The published properties, the ancestors' first, each name once.
TPropList GetPropList(TClass AClass);
TPropList GetPropList(const TObject* Instance);
Integer GetPropList(TClass AClass, TTypeKinds Filter, TPropList& List, bool SortList = true);

// The by-PropInfo accessors raise EPropertyError on a read-only or write-only property.
Int64 GetOrdProp(TObject* Instance, PPropInfo PropInfo);
Int64 GetOrdProp(TObject* Instance, const String& PropName);
void SetOrdProp(TObject* Instance, PPropInfo PropInfo, Int64 Value);
void SetOrdProp(TObject* Instance, const String& PropName, Int64 Value);
Int64 GetInt64Prop(TObject* Instance, PPropInfo PropInfo);
void SetInt64Prop(TObject* Instance, PPropInfo PropInfo, Int64 Value);
String GetEnumProp(TObject* Instance, PPropInfo PropInfo);
String GetEnumProp(TObject* Instance, const String& PropName);
void SetEnumProp(TObject* Instance, PPropInfo PropInfo, const String& Value);
void SetEnumProp(TObject* Instance, const String& PropName, const String& Value);
// Sets as text: "[fsBold,fsItalic]" (with brackets when Brackets).
String GetSetProp(TObject* Instance, PPropInfo PropInfo, bool Brackets = false);
String GetSetProp(TObject* Instance, const String& PropName, bool Brackets = false);
void SetSetProp(TObject* Instance, PPropInfo PropInfo, const String& Value);
void SetSetProp(TObject* Instance, const String& PropName, const String& Value);
String GetStrProp(TObject* Instance, PPropInfo PropInfo);
String GetStrProp(TObject* Instance, const String& PropName);
void SetStrProp(TObject* Instance, PPropInfo PropInfo, const String& Value);
void SetStrProp(TObject* Instance, const String& PropName, const String& Value);
Extended GetFloatProp(TObject* Instance, PPropInfo PropInfo);
Extended GetFloatProp(TObject* Instance, const String& PropName);
void SetFloatProp(TObject* Instance, PPropInfo PropInfo, Extended Value);
void SetFloatProp(TObject* Instance, const String& PropName, Extended Value);
TObject* GetObjectProp(TObject* Instance, PPropInfo PropInfo, TClass MinClass = nullptr);
TObject* GetObjectProp(TObject* Instance, const String& PropName, TClass MinClass = nullptr);
void SetObjectProp(TObject* Instance, PPropInfo PropInfo, TObject* Value);
void SetObjectProp(TObject* Instance, const String& PropName, TObject* Value);
TClass GetObjectPropClass(PPropInfo PropInfo);
TMethod GetMethodProp(TObject* Instance, PPropInfo PropInfo);
TMethod GetMethodProp(TObject* Instance, const String& PropName);
void SetMethodProp(TObject* Instance, PPropInfo PropInfo, const TMethod& Value);
void SetMethodProp(TObject* Instance, const String& PropName, const TMethod& Value);
// Variant properties; the caller includes Variants.h for the type.
void GetVariantPropTo(TObject* Instance, PPropInfo PropInfo, Variant& Value);
void SetVariantProp(TObject* Instance, PPropInfo PropInfo, const Variant& Value);
void SetVariantProp(TObject* Instance, const String& PropName, const Variant& Value);
template <class V = Variant>
V GetVariantProp(TObject* Instance, PPropInfo PropInfo) {
  V R;
  GetVariantPropTo(Instance, PropInfo, R);
  return R;
}
template <class V = Variant>
V GetVariantProp(TObject* Instance, const String& PropName) {
  return GetVariantProp<V>(Instance, GetPropInfo(Instance, PropName));
}
IInterface* GetInterfaceProp(TObject* Instance, PPropInfo PropInfo);
void SetInterfaceProp(TObject* Instance, PPropInfo PropInfo, IInterface* Value);

// Enumeration names; GetEnumValue answers -1 for an unknown name (case-insensitive).
String GetEnumName(PTypeInfo TypeInfo, Integer Value);
Integer GetEnumValue(PTypeInfo TypeInfo, const String& Name);
String SetToString(PTypeInfo SetTypeInfo, Int64 Value, bool Brackets = false);
Int64 StringToSet(PTypeInfo SetTypeInfo, const String& Value);  // EPropertyConvertError on a bad name

// Published methods of a class and its ancestors, by name (case-insensitive) and back.
const TMethodEntry* MethodAddress(TClass AClass, const String& Name);
String MethodName(TClass AClass, const TMethodEntry* Code);

// ---- Type information of C++ types --------------------------------------------------------------

namespace fw_typinfo {
PTypeInfo MakeEnumInfo(const wchar_t* Name, const wchar_t* Names, Integer Count);
PTypeInfo MakeSetInfo(PTypeInfo Element);
PTypeInfo MakeSimpleInfo(TTypeKind Kind, const wchar_t* Name, TOrdType OrdType, Int64 Min, Int64 Max,
                         TFloatType FloatType = ftFloatExtended);
PTypeInfo BooleanInfo();
void RegisterPublished(TClass AClass, void (*Define)(void* Publisher), void* (*MakePublisher)(TTypeData*),
                       void (*FreePublisher)(void*));
[[noreturn]] void RaiseNoEnumNames(const char* TypeName);

template <class E, size_t N>
constexpr bool Sequential(const E (&Values)[N]) {
  for (size_t I = 0; I < N; ++I)
    if (static_cast<long long>(Values[I]) != static_cast<long long>(I)) return false;
  return true;
}

template <class T>
struct IsSet : std::false_type {};
template <class E, unsigned N>
struct IsSet<Set<E, N>> : std::true_type {
  using Element = E;
};
template <class T>
struct IsClosure : std::false_type {};
template <class Sig>
struct IsClosure<Closure<Sig>> : std::true_type {};
template <class T>
struct IsIPtr : std::false_type {};
template <class I>
struct IsIPtr<IPtr<I>> : std::true_type {
  using Intf = I;
};
}  // namespace fw_typinfo

// The type information of a C++ type used by a published property (or asked for directly).
// Enumerations answer the names registered with DECLARE_ENUM/ENUM_NAMES.
template <class T>
PTypeInfo TypeInfo();

// Found by argument-dependent lookup: ENUM_NAMES defines one beside the enumeration.
template <class E>
PTypeInfo EnumTypeInfo(E*) = delete;

#define FW_ENUM_NAMES_BODY(T, ...)                                                              \
  inline PTypeInfo EnumTypeInfo(T*) {                                                           \
    static constexpr T FwValues_[] = {__VA_ARGS__};                                             \
    static_assert(::fw_typinfo::Sequential(FwValues_), "list every value of " #T " in order");  \
    static const PTypeInfo Info = ::fw_typinfo::MakeEnumInfo(                                   \
        FW_WIDEN(#T), FW_WIDEN(#__VA_ARGS__), Integer(sizeof(FwValues_) / sizeof(T)));          \
    return Info;                                                                                \
  }
// Names the values of an enumeration declared elsewhere, in the enumeration's namespace.
#define ENUM_NAMES(T, ...) FW_ENUM_NAMES_BODY(T, __VA_ARGS__)
// Declares an enumeration together with its value names.
#define DECLARE_ENUM(T, ...) \
  enum T { __VA_ARGS__ };    \
  FW_ENUM_NAMES_BODY(T, __VA_ARGS__)

template <class T>
PTypeInfo TypeInfo() {
  using namespace fw_typinfo;
  if constexpr (std::is_same_v<T, bool>)
    return BooleanInfo();
  else if constexpr (std::is_enum_v<T>)
    return EnumTypeInfo(static_cast<T*>(nullptr));
  else if constexpr (IsSet<T>::value)
    return [] {
      static const PTypeInfo I = MakeSetInfo(TypeInfo<typename IsSet<T>::Element>());
      return I;
    }();
  else if constexpr (std::is_same_v<T, wchar_t>) {
    static const PTypeInfo I = MakeSimpleInfo(tkWChar, L"Char", otUWord, 0, 0xFFFF);
    return I;
  } else if constexpr (std::is_same_v<T, char>) {
    static const PTypeInfo I = MakeSimpleInfo(tkChar, L"AnsiChar", otUByte, 0, 0xFF);
    return I;
  } else if constexpr (std::is_integral_v<T> && sizeof(T) == 8) {
    static const PTypeInfo I = MakeSimpleInfo(tkInt64, std::is_signed_v<T> ? L"Int64" : L"UInt64", otSLong,
                                              std::is_signed_v<T> ? INT64_MIN : 0, INT64_MAX);
    return I;
  } else if constexpr (std::is_integral_v<T>) {
    constexpr TOrdType O = sizeof(T) == 1 ? (std::is_signed_v<T> ? otSByte : otUByte)
                           : sizeof(T) == 2 ? (std::is_signed_v<T> ? otSWord : otUWord)
                                            : (std::is_signed_v<T> ? otSLong : otULong);
    static const PTypeInfo I = MakeSimpleInfo(tkInteger, L"Integer", O, Int64(std::numeric_limits<T>::min()),
                                              Int64(std::numeric_limits<T>::max()));
    return I;
  } else if constexpr (std::is_same_v<T, float>) {
    static const PTypeInfo I = MakeSimpleInfo(tkFloat, L"Single", otSLong, 0, 0, ftFloatSingle);
    return I;
  } else if constexpr (std::is_same_v<T, double>) {
    static const PTypeInfo I = MakeSimpleInfo(tkFloat, L"Double", otSLong, 0, 0, ftFloatDouble);
    return I;
  } else if constexpr (std::is_same_v<T, long double>) {
    static const PTypeInfo I = MakeSimpleInfo(tkFloat, L"Extended", otSLong, 0, 0, ftFloatExtended);
    return I;
  } else if constexpr (std::is_same_v<T, TDateTime>) {
    static const PTypeInfo I = MakeSimpleInfo(tkFloat, L"TDateTime", otSLong, 0, 0, ftFloatDouble);
    return I;
  } else if constexpr (std::is_same_v<T, Currency>) {
    static const PTypeInfo I = MakeSimpleInfo(tkFloat, L"Currency", otSLong, 0, 0, ftFloatCurr);
    return I;
  } else if constexpr (std::is_same_v<T, String>) {
    static const PTypeInfo I = MakeSimpleInfo(tkUString, L"string", otSLong, 0, 0);
    return I;
  } else if constexpr (std::is_same_v<T, Variant>) {
    static const PTypeInfo I = MakeSimpleInfo(tkVariant, L"Variant", otSLong, 0, 0);
    return I;
  } else if constexpr (IsClosure<T>::value) {
    static const PTypeInfo I = MakeSimpleInfo(tkMethod, L"TMethod", otSLong, 0, 0);
    return I;
  } else if constexpr (IsIPtr<T>::value) {
    static const PTypeInfo I = MakeSimpleInfo(tkInterface, L"IInterface", otSLong, 0, 0);
    return I;
  } else if constexpr (std::is_pointer_v<T> && std::is_base_of_v<IInterface, std::remove_pointer_t<T>> &&
                       !std::is_base_of_v<TObject, std::remove_pointer_t<T>>) {
    static const PTypeInfo I = MakeSimpleInfo(tkInterface, L"IInterface", otSLong, 0, 0);
    return I;
  } else if constexpr (std::is_pointer_v<T> && std::is_base_of_v<TObject, std::remove_pointer_t<T>>)
    return ClassTypeInfo(std::remove_pointer_t<T>::StaticClass());
  else
    static_assert(sizeof(T) == 0, "this type cannot be a published property");
}

// ---- Declaring published members --------------------------------------------------------------

namespace fw_typinfo {
template <class M>
struct MemberFn;
template <class C, class R, class... A>
struct MemberFn<R (C::*)(A...)> {
  using Class = C;
  using Result = R;
  using Sig = R(A...);
};
template <class C, class R, class... A>
struct MemberFn<R (C::*)(A...) const> {
  using Class = C;
  using Result = R;
  using Sig = R(A...);
};
template <class S>
struct SetterArg;
template <class C, class V>
struct SetterArg<void (C::*)(V)> {
  using Class = C;
  using Value = std::decay_t<V>;
};

template <auto Getter>
auto Get(TObject* Obj) {
  using F = MemberFn<decltype(Getter)>;
  return (static_cast<typename F::Class*>(Obj)->*Getter)();
}
template <auto Setter, class V>
void Put(TObject* Obj, V&& Value) {
  using F = SetterArg<decltype(Setter)>;
  (static_cast<typename F::Class*>(Obj)->*Setter)(std::forward<V>(Value));
}

TMethod FindMethodOf(const void* Data, bool (*Matches)(const TMethodEntry*, TObject*, const void*), const void* C);

template <class Cl>
bool ClosureMatches(const TMethodEntry* E, TObject* Data, const void* C) {
  if (*E->ClosureType != typeid(Cl)) return false;
  Cl Tmp;
  E->Bind(Data, &Tmp);
  return Tmp == *static_cast<const Cl*>(C);
}
}  // namespace fw_typinfo

// Builds the property and method tables of class T; PUBLISHED hands one to the class.
template <class T>
class TPublisher {
 public:
  explicit TPublisher(TTypeData* Data) : FData(Data) {}

  // Chained after PROP: the default value of an ordinal property, nodefault, the stored rule.
  class TPropBuilder {
   public:
    explicit TPropBuilder(TPropInfo* P) : FProp(P) {}
    template <class V>
    TPropBuilder& Default(V Value) {
      Int64 D;
      if constexpr (fw_typinfo::IsSet<V>::value)
        D = Int64(Value.ToInt());
      else
        D = Int64(Value);
      if (FProp->PropType->Kind == tkInt64) {
        FProp->HasDefault64 = true;
        FProp->Default64 = D;
      } else {
        FProp->Default = Integer(D);
      }
      return *this;
    }
    // Names for some values of an integer property, used by the component streams.
    TPropBuilder& Idents(bool (*IdentToInt)(const String&, Integer&), bool (*IntToIdent)(Integer, String&)) {
      FProp->IdentToInt = IdentToInt;
      FProp->IntToIdent = IntToIdent;
      return *this;
    }
    TPropBuilder& NoDefault() {
      FProp->Default = ::NoDefault;
      return *this;
    }
    TPropBuilder& Stored(bool Value) {
      FProp->StoredConst = Value;
      return *this;
    }
    template <class C>
    TPropBuilder& Stored(bool (C::*Pred)() const) {
      return StoredPred<C>(Pred);
    }
    template <class C>
    TPropBuilder& Stored(bool (C::*Pred)()) {
      return StoredPred<C>(Pred);
    }

   private:
    template <class C, class P>
    TPropBuilder& StoredPred(P Pred) {
      FProp->StoredProc = [Pred](TObject* Obj) { return (static_cast<C*>(Obj)->*Pred)(); };
      return *this;
    }
    TPropInfo* FProp;
  };

  // A read-write (Setter given) or read-only (Setter nullptr) property.
  template <auto Getter, auto Setter>
  TPropBuilder Prop(const wchar_t* Name) {
    using namespace fw_typinfo;
    using V = std::decay_t<typename MemberFn<decltype(Getter)>::Result>;
    constexpr bool HasSetter = !std::is_same_v<decltype(Setter), std::nullptr_t>;
    auto P = std::make_unique<TPropInfo>();
    P->Name = Name;
    P->PropType = ::TypeInfo<V>();
    P->DeclaringClass = T::StaticClass();
    if constexpr (std::is_same_v<V, bool> || std::is_enum_v<V> || std::is_integral_v<V>) {
      P->GetOrd = [](TObject* O) { return Int64(Get<Getter>(O)); };
      if constexpr (HasSetter) P->SetOrd = [](TObject* O, Int64 X) { Put<Setter>(O, static_cast<V>(X)); };
    } else if constexpr (IsSet<V>::value) {
      P->GetOrd = [](TObject* O) { return Int64(Get<Getter>(O).ToInt()); };
      if constexpr (HasSetter) P->SetOrd = [](TObject* O, Int64 X) { Put<Setter>(O, V::FromInt(std::uint64_t(X))); };
    } else if constexpr (std::is_floating_point_v<V> || std::is_same_v<V, TDateTime>) {
      P->GetFloat = [](TObject* O) { return Extended(double(Get<Getter>(O))); };
      if constexpr (std::is_same_v<V, long double>) P->GetFloat = [](TObject* O) { return Get<Getter>(O); };
      if constexpr (HasSetter) P->SetFloat = [](TObject* O, Extended X) { Put<Setter>(O, V(X)); };
    } else if constexpr (std::is_same_v<V, Currency>) {
      P->GetFloat = [](TObject* O) { return Get<Getter>(O).ToExtended(); };
      if constexpr (HasSetter) P->SetFloat = [](TObject* O, Extended X) { Put<Setter>(O, Currency(X)); };
    } else if constexpr (std::is_same_v<V, String>) {
      P->GetStr = [](TObject* O) { return String(Get<Getter>(O)); };
      if constexpr (HasSetter) P->SetStr = [](TObject* O, const String& X) { Put<Setter>(O, X); };
    } else if constexpr (std::is_same_v<V, Variant>) {
      P->GetVar = [](TObject* O, Variant& Out) { Out = Get<Getter>(O); };
      if constexpr (HasSetter) P->SetVar = [](TObject* O, const Variant& X) { Put<Setter>(O, X); };
    } else if constexpr (IsClosure<V>::value) {
      P->ClosureType = &typeid(V);
      P->GetMethod = [](TObject* O) {
        V C = Get<Getter>(O);
        if (!C) return TMethod{};
        return FindMethodOf(C.Data(), &ClosureMatches<V>, &C);
      };
      if constexpr (HasSetter)
        P->SetMethod = [](TObject* O, const TMethod& M) {
          V C;
          if (M.Code) M.Code->Bind(M.Data, &C);
          Put<Setter>(O, C);
        };
    } else if constexpr (IsIPtr<V>::value) {
      using I = typename IsIPtr<V>::Intf;
      P->GetIntf = [](TObject* O) -> IInterface* { return Get<Getter>(O).Get(); };
      if constexpr (HasSetter)
        P->SetIntf = [](TObject* O, IInterface* X) { Put<Setter>(O, V(X ? dynamic_cast<I*>(X) : nullptr)); };
    } else if constexpr (std::is_pointer_v<V> && std::is_base_of_v<IInterface, std::remove_pointer_t<V>> &&
                         !std::is_base_of_v<TObject, std::remove_pointer_t<V>>) {
      P->GetIntf = [](TObject* O) -> IInterface* { return Get<Getter>(O); };
      if constexpr (HasSetter)
        P->SetIntf = [](TObject* O, IInterface* X) { Put<Setter>(O, X ? dynamic_cast<V>(X) : nullptr); };
    } else if constexpr (std::is_pointer_v<V> && std::is_base_of_v<TObject, std::remove_pointer_t<V>>) {
      P->GetObj = [](TObject* O) -> TObject* { return Get<Getter>(O); };
      if constexpr (HasSetter)
        P->SetObj = [](TObject* O, TObject* X) {
          V Typed = X ? dynamic_cast<V>(X) : nullptr;
          if (X && !Typed) RaiseInvalidCast();
          Put<Setter>(O, Typed);
        };
    }
    TPropInfo* Raw = P.get();
    FData->OwnProps.push_back(std::move(P));
    return TPropBuilder(Raw);
  }

  // A handler that a component stream may name in an event property.
  template <auto Method>
  void PublishMethod(const wchar_t* Name) {
    using F = fw_typinfo::MemberFn<decltype(Method)>;
    using Cl = Closure<typename F::Sig>;
    auto E = std::make_unique<TMethodEntry>();
    E->Name = Name;
    E->ClosureType = &typeid(Cl);
    E->DeclaringClass = T::StaticClass();
    E->Bind = [](TObject* Data, void* Out) {
      *static_cast<Cl*>(Out) = Cl(static_cast<typename F::Class*>(Data), Method);
    };
    FData->OwnMethods.push_back(std::move(E));
  }

 private:
  TTypeData* FData;
};

namespace fw_typinfo {
template <class T>
bool Publish() {
  RegisterPublished(
      T::StaticClass(), [](void* P) { T::FwDefinePublished_(*static_cast<TPublisher<T>*>(P)); },
      [](TTypeData* D) -> void* { return new TPublisher<T>(D); },
      [](void* P) { delete static_cast<TPublisher<T>*>(P); });
  return true;
}
}  // namespace fw_typinfo

// Opens the class's published-member list; the braces that follow hold one line a member.
#define PUBLISHED(T)                                                                    \
 public:                                                                                \
  using FwPublishedSelf_ = T;                                                           \
  static inline const bool FwPublishedRegistered_ = ::fw_typinfo::Publish<T>();        \
  static void FwDefinePublished_([[maybe_unused]] ::TPublisher<T>& FwP_)

// The same table split in two, so that it is compiled once, in the class's own source file:
// PUBLISHED_DECL(TFoo) in the class body, PUBLISHED_DEF(TFoo) { PROP(...); ... } in the .cpp.
#define PUBLISHED_DECL(T)                                                               \
 public:                                                                                \
  using FwPublishedSelf_ = T;                                                           \
  static inline const bool FwPublishedRegistered_ = ::fw_typinfo::Publish<T>();        \
  static void FwDefinePublished_(::TPublisher<T>& FwP_)
#define PUBLISHED_DEF(T) void T::FwDefinePublished_([[maybe_unused]] ::TPublisher<T>& FwP_)

// Property Name through GetName/SetName.
#define PROP(Name) FwP_.Prop<&FwPublishedSelf_::Get##Name, &FwPublishedSelf_::Set##Name>(FW_WIDEN(#Name))
// A read-only published property (a sub-object that is changed, never replaced).
#define PROP_READONLY(Name) FwP_.Prop<&FwPublishedSelf_::Get##Name, nullptr>(FW_WIDEN(#Name))
// Property Name through explicitly named accessors.
#define PROP_RW(Name, Getter, Setter) FwP_.Prop<&FwPublishedSelf_::Getter, &FwPublishedSelf_::Setter>(FW_WIDEN(#Name))
// An event: GetOnXxx/SetOnXxx with a Closure value.
#define EVENT(Name) PROP(Name)
// A published method, findable by name when a stream binds events.
#define METHOD(Name) FwP_.PublishMethod<&FwPublishedSelf_::Name>(FW_WIDEN(#Name))
