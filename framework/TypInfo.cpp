#include "framework/TypInfo.h"

#include <map>
#include <mutex>

namespace {

String Upper(const String& S) {
  String R = S;
  for (auto& C : R) C = UpCase(C);
  return R;
}

// Type information lives as long as the program; the registry owns it.
struct TTypeStore {
  std::recursive_mutex Lock;
  std::vector<std::unique_ptr<TTypeInfo>> Infos;
  std::vector<std::unique_ptr<TTypeData>> Datas;
  std::map<TClass, TTypeInfo*> ByClass;
};
TTypeStore& Store() {
  static TTypeStore S;
  return S;
}

TTypeInfo* NewInfo(TTypeKind Kind, const String& Name) {
  auto& S = Store();
  std::lock_guard<std::recursive_mutex> G(S.Lock);
  S.Infos.push_back(std::make_unique<TTypeInfo>());
  S.Datas.push_back(std::make_unique<TTypeData>());
  TTypeInfo* I = S.Infos.back().get();
  I->Kind = Kind;
  I->Name = Name;
  I->Data = S.Datas.back().get();
  return I;
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

void RegisterPublished(TClass AClass, void (*Define)(void*), void* (*MakePublisher)(TTypeData*),
                       void (*FreePublisher)(void*)) {
  TTypeData* D = GetTypeData(ClassTypeInfo(AClass));
  std::lock_guard<std::recursive_mutex> G(Store().Lock);
  if (!D->OwnProps.empty() || !D->OwnMethods.empty()) return;  // registered once
  void* P = MakePublisher(D);
  try {
    Define(P);
  } catch (...) {
    FreePublisher(P);
    throw;
  }
  FreePublisher(P);
  for (size_t I = 0; I < D->OwnProps.size(); ++I) D->OwnProps[I]->NameIndex = Integer(I);
}

TMethod FindMethodOf(TObject* Obj, bool (*Matches)(const TMethodEntry*, TObject*, const void*), const void* C) {
  if (!Obj) return TMethod{};  // a callable that is not a bound method has no name
  for (TClass K = Obj->ClassType(); K; K = K->ClassParent()) {
    if (!K->TypeData) continue;
    for (auto& E : K->TypeData->OwnMethods)
      if (Matches(E.get(), Obj, C)) return TMethod{E.get(), Obj};
  }
  return TMethod{nullptr, Obj};
}

}  // namespace fw_typinfo

PTypeInfo ClassTypeInfo(TClass AClass) {
  if (!AClass) return nullptr;
  auto& S = Store();
  std::lock_guard<std::recursive_mutex> G(S.Lock);
  auto It = S.ByClass.find(AClass);
  if (It != S.ByClass.end()) return It->second;
  TTypeInfo* I = NewInfo(tkClass, AClass->ClassName());
  I->Data->ClassType = AClass;
  AClass->TypeData = I->Data;
  S.ByClass.emplace(AClass, I);
  return I;
}

TTypeData* GetTypeData(PTypeInfo TypeInfo) { return TypeInfo ? TypeInfo->Data : nullptr; }

TPropList GetPropList(TClass AClass) {
  std::vector<TClass> Chain;
  for (TClass K = AClass; K; K = K->ClassParent()) Chain.push_back(K);
  TPropList R;
  for (auto It = Chain.rbegin(); It != Chain.rend(); ++It) {
    if (!(*It)->TypeData) continue;
    for (auto& P : (*It)->TypeData->OwnProps) {
      // A descendant redeclaring a property (a new default, say) replaces it in place.
      bool Replaced = false;
      for (auto& Q : R)
        if (SameIdent(Q->Name, P->Name)) {
          Q = P.get();
          Replaced = true;
          break;
        }
      if (!Replaced) R.push_back(P.get());
    }
  }
  return R;
}

TPropList GetPropList(const TObject* Instance) { return Instance ? GetPropList(Instance->ClassType()) : TPropList(); }

Integer GetPropList(TClass AClass, TTypeKinds Filter, TPropList& List, bool SortList) {
  List.clear();
  for (PPropInfo P : GetPropList(AClass))
    if (Filter.Contains(P->PropType->Kind)) List.push_back(P);
  if (SortList)
    std::stable_sort(List.begin(), List.end(), [](PPropInfo A, PPropInfo B) { return Upper(A->Name) < Upper(B->Name); });
  return Integer(List.size());
}

PPropInfo GetPropInfo(TClass AClass, const String& PropName) {
  for (TClass K = AClass; K; K = K->ClassParent()) {
    if (!K->TypeData) continue;
    for (auto& P : K->TypeData->OwnProps)
      if (SameIdent(P->Name, PropName)) return P.get();
  }
  return nullptr;
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
  for (TClass K = AClass; K; K = K->ClassParent()) {
    if (!K->TypeData) continue;
    for (auto& E : K->TypeData->OwnMethods)
      if (SameIdent(E->Name, Name)) return E.get();
  }
  return nullptr;
}

String MethodName(TClass AClass, const TMethodEntry* Code) {
  if (!Code) return String();
  for (TClass K = AClass; K; K = K->ClassParent()) {
    if (!K->TypeData) continue;
    for (auto& E : K->TypeData->OwnMethods)
      if (E.get() == Code) return E->Name;
  }
  return String();
}
