#include "framework/TypInfo.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <unordered_map>

namespace {

String Upper(const String& S) {
  String R = S;
  for (auto& C : R) C = UpCase(C);
  return R;
}

// Identifiers (property, method and value names) compare as ASCII without case.
bool SameName(const String& A, const String& B) {
  return SameIdent(A, B);
}

bool LessName(const String& A, const String& B) {
  size_t N = std::min(A.size(), B.size());
  for (size_t I = 0; I < N; ++I)
    if (UpCase(A[I]) != UpCase(B[I])) return UpCase(A[I]) < UpCase(B[I]);
  return A.size() < B.size();
}

struct TNameHash {
  size_t operator()(const String& S) const {
    size_t H = 14695981039346656037ull;
    for (Char C : S) H = (H ^ size_t(UpCase(C))) * 1099511628211ull;
    return H;
  }
};
struct TNameEqual {
  bool operator()(const String& A, const String& B) const { return SameName(A, B); }
};

// Type information lives as long as the program (nothing frees it, so destructors that run at
// exit may still look properties up); the registry owns it.
struct TTypeStore {
  std::mutex Lock;
  std::vector<std::unique_ptr<TTypeInfo>> Infos;
  std::vector<std::unique_ptr<TTypeData>> Datas;
  std::vector<std::unique_ptr<fw_typinfo::TClassIndex>> Indexes;
  std::map<TClass, TTypeInfo*> ByClass;
};
TTypeStore& Store() {
  static auto* S = new TTypeStore;
  return *S;
}

TTypeInfo* NewInfoLocked(TTypeStore& S, TTypeKind Kind, const String& Name) {
  S.Infos.push_back(std::make_unique<TTypeInfo>());
  S.Datas.push_back(std::make_unique<TTypeData>());
  TTypeInfo* I = S.Infos.back().get();
  I->Kind = Kind;
  I->Name = Name;
  I->Data = S.Datas.back().get();
  return I;
}

TTypeInfo* NewInfo(TTypeKind Kind, const String& Name) {
  auto& S = Store();
  std::lock_guard<std::mutex> G(S.Lock);
  return NewInfoLocked(S, Kind, Name);
}

[[noreturn]] void RaiseProp(const String& Msg) { throw EPropertyError(Msg); }

PPropInfo Need(const TObject* Instance, const String& PropName) {
  PPropInfo P = GetPropInfo(Instance, PropName);
  if (!P) RaiseProp(L"Property " + PropName + L" does not exist");
  return P;
}

[[noreturn]] void RaiseNotReadable(PPropInfo P) { RaiseProp(L"Property " + P->Name + L" is write-only"); }
[[noreturn]] void RaiseReadOnly(PPropInfo P) { RaiseProp(L"Property " + P->Name + L" is read-only"); }
[[noreturn]] void RaiseWrongKind(PPropInfo P) { RaiseProp(L"Property " + P->Name + L" is not of this kind"); }

}  // namespace

namespace fw_typinfo {

PTypeInfo MakeEnumInfo(const wchar_t* Name, const wchar_t* Names, Integer Count) {
  TTypeInfo* I = NewInfo(tkEnumeration, Name);
  // The names arrive as the stringized value list "alNone, alTop, TFoo::alBottom".
  String All = Names, Cur;
  auto Flush = [&] {
    size_t Q = Cur.rfind(L"::");
    if (Q != String::npos) Cur = Cur.substr(Q + 2);
    I->Data->NameList.push_back(Cur);
    Cur.clear();
  };
  for (Char C : All) {
    if (C == L',')
      Flush();
    else if (C != L' ' && C != L'\t' && C != L'\n' && C != L'\r')
      Cur += C;
  }
  Flush();
  I->Data->OrdType = otUByte;
  I->Data->MinValue = 0;
  I->Data->MaxValue = Count - 1;
  return I;
}

PTypeInfo MakeSetInfo(PTypeInfo Element) {
  TTypeInfo* I = NewInfo(tkSet, L"set of " + Element->Name);
  I->Data->CompType = Element;
  return I;
}

PTypeInfo MakeSimpleInfo(TTypeKind Kind, const wchar_t* Name, TOrdType OrdType, Int64 Min, Int64 Max,
                         TFloatType FloatType) {
  TTypeInfo* I = NewInfo(Kind, Name);
  I->Data->OrdType = OrdType;
  I->Data->MinValue = Min;
  I->Data->MaxValue = Max;
  I->Data->FloatType = FloatType;
  return I;
}

PTypeInfo BooleanInfo() {
  static const PTypeInfo I = [] {
    TTypeInfo* R = NewInfo(tkEnumeration, L"Boolean");
    R->Data->NameList = {L"False", L"True"};
    R->Data->MaxValue = 1;
    R->Data->OrdType = otUByte;
    return R;
  }();
  return I;
}

// A class's name lookup, built with its flattened property list.
struct TClassIndex {
  std::once_flag Built;
  TTypeInfo* Info = nullptr;
  std::unordered_map<String, PPropInfo, TNameHash, TNameEqual> Props;
  std::unordered_map<String, const TMethodEntry*, TNameHash, TNameEqual> Methods;
};

PTypeInfo ClassInfoOf(TClass AClass) {
  if (!AClass) return nullptr;
  auto& S = Store();
  std::lock_guard<std::mutex> G(S.Lock);
  auto It = S.ByClass.find(AClass);
  if (It != S.ByClass.end()) return It->second;
  TTypeInfo* I = NewInfoLocked(S, tkClass, AClass->ClassName());
  I->Data->ClassType = AClass;
  S.Indexes.push_back(std::make_unique<TClassIndex>());
  I->Data->Index = S.Indexes.back().get();
  I->Data->Index->Info = I;
  S.ByClass.emplace(AClass, I);
  return I;
}

Int64 OrdInRange(PTypeInfo TypeInfo, Int64 Value) {
  if (!TypeInfo || (TypeInfo->Kind != tkInteger && TypeInfo->Kind != tkChar && TypeInfo->Kind != tkWChar))
    return Value;
  switch (TypeInfo->Data->OrdType) {
    case otSByte: return std::int8_t(Value);
    case otUByte: return std::uint8_t(Value);
    case otSWord: return std::int16_t(Value);
    case otUWord: return std::uint16_t(Value);
    case otSLong: return std::int32_t(Value);
    case otULong: return std::uint32_t(Value);
  }
  return Value;
}

}  // namespace fw_typinfo

namespace {

void BuildClassTables(TClass AClass, TTypeData* D) {
  const TTypeData* Parent = AClass->ClassParent() ? GetTypeData(ClassTypeInfo(AClass->ClassParent())) : nullptr;
  if (auto Define = AClass->PublishedDef()) {
    try {
      Define(D);
    } catch (...) {
      D->OwnProps.clear();
      D->OwnMethods.clear();
      throw;
    }
  }
  fw_typinfo::TClassIndex& X = *D->Index;
  if (Parent) {
    D->PropList = Parent->PropList;
    X.Props = Parent->Index->Props;
    X.Methods = Parent->Index->Methods;
  }
  for (size_t I = 0; I < D->OwnProps.size(); ++I) {
    TPropInfo* P = D->OwnProps[I].get();
    P->NameIndex = Integer(I);
    auto [It, Added] = X.Props.try_emplace(P->Name, P);
    if (Added) {
      D->PropList.push_back(P);
    } else {
      // A descendant redeclaring a property (a new default, say) replaces it in place.
      *std::find(D->PropList.begin(), D->PropList.end(), It->second) = P;
      It->second = P;
    }
  }
  for (auto& E : D->OwnMethods) X.Methods.insert_or_assign(E->Name, E.get());
}

// The class's tables, built the first time anybody asks: the ancestors' first, then its own.
TTypeData* ClassData(TClass AClass) {
  if (!AClass) return nullptr;
  if (TTypeData* D = AClass->TypeData.load(std::memory_order_acquire)) return D;
  TTypeData* D = fw_typinfo::ClassInfoOf(AClass)->Data;
  std::call_once(D->Index->Built, [AClass, D] {
    BuildClassTables(AClass, D);
    AClass->TypeData.store(D, std::memory_order_release);
  });
  return D;
}

}  // namespace

namespace fw_typinfo {

TMethod FindMethodOf(TObject* Obj, bool (*Matches)(const TMethodEntry*, TObject*, const void*), const void* C) {
  if (!Obj) return TMethod{};  // a callable that is not a bound method has no name
  for (TClass K = Obj->ClassType(); K; K = K->ClassParent()) {
    for (auto& E : ClassData(K)->OwnMethods)
      if (Matches(E.get(), Obj, C)) return TMethod{E.get(), Obj};
  }
  return TMethod{nullptr, Obj};
}

}  // namespace fw_typinfo

PTypeInfo ClassTypeInfo(TClass AClass) {
  TTypeData* D = ClassData(AClass);
  return D ? D->Index->Info : nullptr;
}

TTypeData* GetTypeData(PTypeInfo TypeInfo) {
  if (!TypeInfo) return nullptr;
  if (TypeInfo->Kind == tkClass) ClassData(TypeInfo->Data->ClassType);
  return TypeInfo->Data;
}

const TPropList& GetPropList(TClass AClass) {
  static const auto* Empty = new TPropList;
  TTypeData* D = ClassData(AClass);
  return D ? D->PropList : *Empty;
}

const TPropList& GetPropList(const TObject* Instance) { return GetPropList(Instance ? Instance->ClassType() : nullptr); }

Integer GetPropList(TClass AClass, TTypeKinds Filter, TPropList& List, bool SortList) {
  List.clear();
  for (PPropInfo P : GetPropList(AClass))
    if (Filter.Contains(P->PropType->Kind)) List.push_back(P);
  if (SortList)
    std::stable_sort(List.begin(), List.end(), [](PPropInfo A, PPropInfo B) { return LessName(A->Name, B->Name); });
  return Integer(List.size());
}

PPropInfo GetPropInfo(TClass AClass, const String& PropName) {
  TTypeData* D = ClassData(AClass);
  if (!D) return nullptr;
  auto It = D->Index->Props.find(PropName);
  return It == D->Index->Props.end() ? nullptr : It->second;
}

PPropInfo GetPropInfo(const TObject* Instance, const String& PropName) {
  return Instance ? GetPropInfo(Instance->ClassType(), PropName) : nullptr;
}

PPropInfo GetPropInfo(const TObject* Instance, const String& PropName, TTypeKinds AKinds) {
  PPropInfo P = GetPropInfo(Instance, PropName);
  return P && (AKinds.Empty() || AKinds.Contains(P->PropType->Kind)) ? P : nullptr;
}

bool IsPublishedProp(TClass AClass, const String& PropName) { return GetPropInfo(AClass, PropName) != nullptr; }
bool IsPublishedProp(const TObject* Instance, const String& PropName) { return GetPropInfo(Instance, PropName) != nullptr; }

bool IsStoredProp(TObject* Instance, PPropInfo PropInfo) {
  if (!PropInfo->StoredConst) return false;
  return PropInfo->StoredProc ? PropInfo->StoredProc(Instance) : true;
}

bool PropIsType(const TObject* Instance, const String& PropName, TTypeKind TypeKind) {
  return Need(Instance, PropName)->PropType->Kind == TypeKind;
}
TTypeKind PropType(const TObject* Instance, const String& PropName) { return Need(Instance, PropName)->PropType->Kind; }
TTypeKind PropType(TClass AClass, const String& PropName) {
  PPropInfo P = GetPropInfo(AClass, PropName);
  if (!P) RaiseProp(L"Property " + PropName + L" does not exist");
  return P->PropType->Kind;
}

// ---- Ordinals ---------------------------------------------------------------------------------

Int64 GetOrdProp(TObject* Instance, PPropInfo P) {
  if (!P->GetOrd) P->IsReadable() ? RaiseWrongKind(P) : RaiseNotReadable(P);
  return P->GetOrd(Instance);
}
Int64 GetOrdProp(TObject* Instance, const String& PropName) { return GetOrdProp(Instance, Need(Instance, PropName)); }
void SetOrdProp(TObject* Instance, PPropInfo P, Int64 Value) {
  if (!P->SetOrd) P->IsWritable() ? RaiseWrongKind(P) : RaiseReadOnly(P);
  P->SetOrd(Instance, Value);
}
void SetOrdProp(TObject* Instance, const String& PropName, Int64 Value) { SetOrdProp(Instance, Need(Instance, PropName), Value); }
Int64 GetInt64Prop(TObject* Instance, PPropInfo P) { return GetOrdProp(Instance, P); }
void SetInt64Prop(TObject* Instance, PPropInfo P, Int64 Value) { SetOrdProp(Instance, P, Value); }

String GetEnumName(PTypeInfo TypeInfo, Integer Value) {
  if (!TypeInfo) return String();
  const auto& N = TypeInfo->Data->NameList;
  if (Value >= 0 && Value < Integer(N.size())) return N[Value];
  return std::to_wstring(Value);
}

Integer GetEnumValue(PTypeInfo TypeInfo, const String& Name) {
  if (!TypeInfo) return -1;
  const auto& N = TypeInfo->Data->NameList;
  for (size_t I = 0; I < N.size(); ++I)
    if (SameIdent(N[I], Name)) return Integer(I);
  return -1;
}

String GetEnumProp(TObject* Instance, PPropInfo P) { return GetEnumName(P->PropType, Integer(GetOrdProp(Instance, P))); }
String GetEnumProp(TObject* Instance, const String& PropName) { return GetEnumProp(Instance, Need(Instance, PropName)); }
void SetEnumProp(TObject* Instance, PPropInfo P, const String& Value) {
  Integer V = GetEnumValue(P->PropType, Value);
  if (V < 0) throw EPropertyConvertError(L"Invalid enumeration name: " + Value);
  SetOrdProp(Instance, P, V);
}
void SetEnumProp(TObject* Instance, const String& PropName, const String& Value) {
  SetEnumProp(Instance, Need(Instance, PropName), Value);
}

String SetToString(PTypeInfo SetTypeInfo, Int64 Value, bool Brackets) {
  PTypeInfo E = SetTypeInfo ? SetTypeInfo->Data->CompType : nullptr;
  String R;
  for (Integer I = 0; I < 64; ++I)
    if ((std::uint64_t(Value) >> I) & 1) {
      if (!R.empty()) R += L',';
      R += GetEnumName(E, I);
    }
  return Brackets ? L"[" + R + L"]" : R;
}

Int64 StringToSet(PTypeInfo SetTypeInfo, const String& Value) {
  PTypeInfo E = SetTypeInfo ? SetTypeInfo->Data->CompType : nullptr;
  std::uint64_t R = 0;
  String Cur;
  auto Flush = [&] {
    if (Cur.empty()) return;
    Integer V = GetEnumValue(E, Cur);
    if (V < 0 || V >= 64) throw EPropertyConvertError(L"Invalid set element: " + Cur);
    R |= std::uint64_t(1) << V;
    Cur.clear();
  };
  for (Char C : Value) {
    if (C == L',' || C == L'[' || C == L']')
      Flush();
    else if (C != L' ')
      Cur += C;
  }
  Flush();
  return Int64(R);
}

String GetSetProp(TObject* Instance, PPropInfo P, bool Brackets) {
  return SetToString(P->PropType, GetOrdProp(Instance, P), Brackets);
}
String GetSetProp(TObject* Instance, const String& PropName, bool Brackets) {
  return GetSetProp(Instance, Need(Instance, PropName), Brackets);
}
void SetSetProp(TObject* Instance, PPropInfo P, const String& Value) { SetOrdProp(Instance, P, StringToSet(P->PropType, Value)); }
void SetSetProp(TObject* Instance, const String& PropName, const String& Value) {
  SetSetProp(Instance, Need(Instance, PropName), Value);
}

// ---- Strings, floats, objects, methods, variants, interfaces -----------------------------------

String GetStrProp(TObject* Instance, PPropInfo P) {
  if (!P->GetStr) P->IsReadable() ? RaiseWrongKind(P) : RaiseNotReadable(P);
  return P->GetStr(Instance);
}
String GetStrProp(TObject* Instance, const String& PropName) { return GetStrProp(Instance, Need(Instance, PropName)); }
void SetStrProp(TObject* Instance, PPropInfo P, const String& Value) {
  if (!P->SetStr) P->IsWritable() ? RaiseWrongKind(P) : RaiseReadOnly(P);
  P->SetStr(Instance, Value);
}
void SetStrProp(TObject* Instance, const String& PropName, const String& Value) {
  SetStrProp(Instance, Need(Instance, PropName), Value);
}

Extended GetFloatProp(TObject* Instance, PPropInfo P) {
  if (!P->GetFloat) P->IsReadable() ? RaiseWrongKind(P) : RaiseNotReadable(P);
  return P->GetFloat(Instance);
}
Extended GetFloatProp(TObject* Instance, const String& PropName) { return GetFloatProp(Instance, Need(Instance, PropName)); }
void SetFloatProp(TObject* Instance, PPropInfo P, Extended Value) {
  if (!P->SetFloat) P->IsWritable() ? RaiseWrongKind(P) : RaiseReadOnly(P);
  P->SetFloat(Instance, Value);
}
void SetFloatProp(TObject* Instance, const String& PropName, Extended Value) {
  SetFloatProp(Instance, Need(Instance, PropName), Value);
}

TObject* GetObjectProp(TObject* Instance, PPropInfo P, TClass MinClass) {
  if (!P->GetObj) P->IsReadable() ? RaiseWrongKind(P) : RaiseNotReadable(P);
  TObject* R = P->GetObj(Instance);
  return R && MinClass && !R->InheritsFrom(MinClass) ? nullptr : R;
}
TObject* GetObjectProp(TObject* Instance, const String& PropName, TClass MinClass) {
  return GetObjectProp(Instance, Need(Instance, PropName), MinClass);
}
void SetObjectProp(TObject* Instance, PPropInfo P, TObject* Value) {
  if (!P->SetObj) P->IsWritable() ? RaiseWrongKind(P) : RaiseReadOnly(P);
  P->SetObj(Instance, Value);
}
void SetObjectProp(TObject* Instance, const String& PropName, TObject* Value) {
  SetObjectProp(Instance, Need(Instance, PropName), Value);
}
TClass GetObjectPropClass(PPropInfo P) { return P && P->PropType->Kind == tkClass ? P->PropType->Data->ClassType : nullptr; }

TMethod GetMethodProp(TObject* Instance, PPropInfo P) {
  if (!P->GetMethod) P->IsReadable() ? RaiseWrongKind(P) : RaiseNotReadable(P);
  return P->GetMethod(Instance);
}
TMethod GetMethodProp(TObject* Instance, const String& PropName) { return GetMethodProp(Instance, Need(Instance, PropName)); }
void SetMethodProp(TObject* Instance, PPropInfo P, const TMethod& Value) {
  if (!P->SetMethod) P->IsWritable() ? RaiseWrongKind(P) : RaiseReadOnly(P);
  if (Value.Code && *Value.Code->ClosureType != *P->ClosureType)
    RaiseProp(L"Method " + Value.Code->Name + L" does not match the type of event " + P->Name);
  P->SetMethod(Instance, Value);
}
void SetMethodProp(TObject* Instance, const String& PropName, const TMethod& Value) {
  SetMethodProp(Instance, Need(Instance, PropName), Value);
}

void GetVariantPropTo(TObject* Instance, PPropInfo P, Variant& Value) {
  if (!P->GetVar) P->IsReadable() ? RaiseWrongKind(P) : RaiseNotReadable(P);
  P->GetVar(Instance, Value);
}
void SetVariantProp(TObject* Instance, PPropInfo P, const Variant& Value) {
  if (!P->SetVar) P->IsWritable() ? RaiseWrongKind(P) : RaiseReadOnly(P);
  P->SetVar(Instance, Value);
}
void SetVariantProp(TObject* Instance, const String& PropName, const Variant& Value) {
  SetVariantProp(Instance, Need(Instance, PropName), Value);
}

IInterface* GetInterfaceProp(TObject* Instance, PPropInfo P) {
  if (!P->GetIntf) P->IsReadable() ? RaiseWrongKind(P) : RaiseNotReadable(P);
  return P->GetIntf(Instance);
}
void SetInterfaceProp(TObject* Instance, PPropInfo P, IInterface* Value) {
  if (!P->SetIntf) P->IsWritable() ? RaiseWrongKind(P) : RaiseReadOnly(P);
  P->SetIntf(Instance, Value);
}

// ---- Published methods ------------------------------------------------------------------------

const TMethodEntry* MethodAddress(TClass AClass, const String& Name) {
  TTypeData* D = ClassData(AClass);
  if (!D) return nullptr;
  auto It = D->Index->Methods.find(Name);
  return It == D->Index->Methods.end() ? nullptr : It->second;
}

String MethodName(TClass AClass, const TMethodEntry* Code) {
  if (!Code) return String();
  for (TClass K = AClass; K; K = K->ClassParent())
    for (auto& E : ClassData(K)->OwnMethods)
      if (E.get() == Code) return E->Name;
  return String();
}
