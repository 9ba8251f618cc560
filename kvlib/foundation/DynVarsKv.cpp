#include "kvlib/foundation/DynVarsKv.h"

#include <unordered_set>
#include <vector>

#include "framework/SysUtils.h"
#include "kvlib/foundation/KvLibLangConsts.h"
#include "kvlib/foundation/KvLibCore.h"

namespace {

// A name as names compare here: ASCII letters without case, everything else as it is.
String DynVarNameKey(const String& Name) {
  String Key = Name;
  for (auto& C : Key)
    if (C >= L'a' && C <= L'z') C = Char(C - 32);
  return Key;
}

}  // namespace

// ---- TCustomDynVarKv ----------------------------------------------------------------------------

TCustomDynVarKv::TCustomDynVarKv(TCollection* Collection) : TCollectionItem(Collection), FData(Null) {
  // The collection heard of the item before it was one of its variables.
  if (auto* Members = dynamic_cast<TCustomDynVarsKv*>(GetCollection())) Members->IndexName(this);
}

TCustomDynVarKv::~TCustomDynVarKv() { SetCollection(nullptr); }

TCustomDynVarKv* TCustomDynVarKv::CreateAsDummy(TClassRef<TCustomDynVarKv> VarClass, TCustomDynVarsKv* AOwnerWhenDummy) {
  TCustomDynVarKv* V = VarClass.Create(static_cast<TCollection*>(nullptr));
  V->FIsDummy = true;
  V->FOwnerWhenDummy = AOwnerWhenDummy;
  V->FData = Unassigned;
  return V;
}

void TCustomDynVarKv::Assign(TPersistent* Source) {
  if (auto* Src = dynamic_cast<TCustomDynVarKv*>(Source)) {
    SetName(Src->FName);
    SetValue(Src->FData);
    return;
  }
  inherited::Assign(Source);
}

String TCustomDynVarKv::GetDisplayName() const {
  String Text;
  bool Converted = true;
  try {
    Text = VarToStr(FData);
  } catch (const Exception&) {
    Converted = false;
  }
  if (FName.empty() && Converted && Text.empty()) return inherited::GetDisplayName();
  if (VarIsEmpty(FData))
    Text = L"(Empty)";
  else if (VarIsNull(FData))
    Text = L"(Null)";
  else if (!Converted)
    Text = L"?";
  return (FName.empty() ? String(L"(EmptyName)") : FName) + L"=" + Text;
}

void TCustomDynVarKv::Clear() { FData = Null; }

TCustomDynVarsKv* TCustomDynVarKv::VarCollection() const { return static_cast<TCustomDynVarsKv*>(GetCollection()); }

bool TCustomDynVarKv::IsEqual(TCustomDynVarKv* Value) const {
  if (!Value) return false;
  if (VarType(FData) != VarType(Value->FData)) return false;
  if (FName != Value->FName) return false;
  if (GetIsNull() != Value->GetIsNull()) return false;
  if (VarIsEmpty(FData) || GetIsNull()) return true;
  try {
    return FData == Value->FData;
  } catch (const Exception&) {
    return false;
  }
}

void TCustomDynVarKv::SetName(const String& Value) {
  TCustomDynVarsKv* Owner = FIsDummy ? FOwnerWhenDummy : VarCollection();
  if (Owner) {
    TCustomDynVarKv* Other = Owner->FindDynVar(Value);
    if (Other && Other != this) TCustomDynVarsKv::RaiseDuplicateName(Value);
  }
  if (FIsDummy) AttachDummy();
  TCustomDynVarsKv* Members = VarCollection();
  if (Members) Members->UnindexName(this);
  FName = Value;
  if (Members) Members->IndexName(this);
  Changed(false);
}

void TCustomDynVarKv::SetValue(const Variant& Value) {
  if (FIsDummy) AttachDummy();
  FData = Value;
  Changed(false);
}

void TCustomDynVarKv::SetAsStringValue(const String& Value) {
  if (FIsDummy) AttachDummy();
  FData = Value;
}

bool TCustomDynVarKv::GetIsNull() const { return VarIsNull(FData) || VarIsEmpty(FData); }

void TCustomDynVarKv::AttachDummy() {
  if (FOwnerWhenDummy) FOwnerWhenDummy->AttachDummyVar(this);
}

// ---- TDynVarKv ----------------------------------------------------------------------------------

PUBLISHED_DEF(TDynVarKv) {
  PROP(Name);
  PROP(Value);
}

bool TDynVarKv::GetAsBoolean() const { return GetIsNull() ? false : FData.AsBoolean(); }
void TDynVarKv::SetAsBoolean(bool Value) { SetValue(Variant(Value)); }
Currency TDynVarKv::GetAsCurrency() const { return GetIsNull() ? Currency(0) : FData.AsCurrency(); }
void TDynVarKv::SetAsCurrency(Currency Value) { SetValue(Variant(Value)); }
TDateTime TDynVarKv::GetAsDateTime() const { return GetIsNull() ? TDateTime(0.0) : FData.AsDateTime(); }
void TDynVarKv::SetAsDateTime(TDateTime Value) { SetValue(Variant(Value)); }
Double TDynVarKv::GetAsFloat() const { return GetIsNull() ? 0.0 : FData.AsDouble(); }
void TDynVarKv::SetAsFloat(Double Value) { SetValue(Variant(Value)); }
Integer TDynVarKv::GetAsInteger() const { return GetIsNull() ? 0 : FData.AsInteger(); }
void TDynVarKv::SetAsInteger(Integer Value) { SetValue(Variant(Value)); }

TObject* TDynVarKv::GetAsRefObject() const { return GetIsNull() ? nullptr : RefObjectFromVariant(FData); }

void TDynVarKv::SetAsRefObject(TObject* Value) {
  Variant V;
  RefObjectToVariant(Value, V);
  SetValue(V);
}

String TDynVarKv::GetAsString() const { return VarToStr(FData); }
void TDynVarKv::SetAsString(const String& Value) { SetAsStringValue(Value); }

// ---- TStringVarKv -------------------------------------------------------------------------------

PUBLISHED_DEF(TStringVarKv) {
  PROP(Name);
  PROP(Value);
}

String TStringVarKv::GetValue() const { return VarToStr(FData); }
void TStringVarKv::SetValue(const String& Value) { TCustomDynVarKv::SetValue(Variant(Value)); }

// ---- TCustomDynVarsKv ---------------------------------------------------------------------------

TCustomDynVarsKv::TCustomDynVarsKv(TPersistent* Owner) : TCustomDynVarsKv(Owner, TCustomDynVarKv::StaticClass()) {}

TCustomDynVarsKv::TCustomDynVarsKv(TPersistent* Owner, TCustomDynVarClassKv ItemClass)
    : TCollection(TClass(ItemClass)), FOwner(Owner) {
  FDummyVar.reset(TCustomDynVarKv::CreateAsDummy(ItemClass, this));
}

TCustomDynVarsKv::~TCustomDynVarsKv() {
  // The items go first, while the collection is still whole, then the dummy.
  BeginUpdate();
  Clear();
  FDummyVar.reset();
}

void TCustomDynVarsKv::RaiseDuplicateName(const String& VarName) {
  throw Exception(Format(KvLibLanguageConsts()->GetDuplicateVarNameKv(), {VarName}));
}

void TCustomDynVarsKv::Update(TCollectionItem*) { DoEvent(FOnChange, this); }

void TCustomDynVarsKv::Notify(TCollectionItem* Item, TCollectionNotification Action) {
  if (auto* Var = dynamic_cast<TCustomDynVarKv*>(Item)) {
    if (Action == cnAdded)
      IndexName(Var);
    else
      UnindexName(Var);
  }
  inherited::Notify(Item, Action);
}

void TCustomDynVarsKv::IndexName(TCustomDynVarKv* Var) { FNameIndex.emplace(DynVarNameKey(Var->FName), Var); }

void TCustomDynVarsKv::UnindexName(TCustomDynVarKv* Var) {
  auto [First, Last] = FNameIndex.equal_range(DynVarNameKey(Var->FName));
  for (auto It = First; It != Last; ++It)
    if (It->second == Var) {
      FNameIndex.erase(It);
      return;
    }
}

TCustomDynVarKv* TCustomDynVarsKv::FindDynVar(const String& VarName) const {
  auto [First, Last] = FNameIndex.equal_range(DynVarNameKey(VarName));
  if (First == Last) return nullptr;
  // Names are unique but for variables added without one: the first of those in order.
  TCustomDynVarKv* Found = First->second;
  for (auto It = std::next(First); It != Last; ++It)
    if (It->second->GetIndex() < Found->GetIndex()) Found = It->second;
  return Found;
}

TCustomDynVarKv* TCustomDynVarsKv::GetDummyVarFor(const String& VarName) {
  FDummyVar->FName = VarName;
  return FDummyVar.get();
}

TCustomDynVarKv* TCustomDynVarsKv::GetDynVar(const String& VarName) {
  if (TCustomDynVarKv* V = FindDynVar(VarName)) return V;
  return GetDummyVarFor(VarName);
}

TCustomDynVarKv* TCustomDynVarsKv::CreateDynVar(const String& VarName, const Variant& AValue) {
  if (VarExists(VarName)) RaiseDuplicateName(VarName);
  auto* V = static_cast<TCustomDynVarKv*>(Add());
  V->SetName(VarName);
  V->SetValue(AValue);
  return V;
}

TCustomDynVarKv* TCustomDynVarsKv::CreateDynVar(const String& VarName, TObject* AValue) {
  Variant V;
  RefObjectToVariant(AValue, V);
  return CreateDynVar(VarName, V);
}

void TCustomDynVarsKv::DeleteDynVar(const String& VarName) {
  if (TCustomDynVarKv* V = FindDynVar(VarName)) FreeDynVar(V);
}

void TCustomDynVarsKv::AddDynVar(TCustomDynVarKv* Value) {
  TCustomDynVarKv* Other = FindDynVar(Value->FName);
  if (Other && Other != Value) RaiseDuplicateName(Value->FName);
  Value->SetCollection(this);
}

void TCustomDynVarsKv::RemoveDynVar(TCustomDynVarKv* Value) {
  if (Value && Value->GetCollection() == this) Value->SetCollection(nullptr);
}

void TCustomDynVarsKv::AssignValues(TCustomDynVarsKv* Value) {
  for (Integer I = 0; I < Value->GetCount(); ++I) {
    TCustomDynVarKv* Source = Value->GetItem(I);
    if (TCustomDynVarKv* Target = FindDynVar(Source->FName)) Target->Assign(Source);
  }
}

bool TCustomDynVarsKv::IsEqual(TCustomDynVarsKv* Value) const {
  if (!Value || Value->GetCount() != GetCount()) return false;
  for (Integer I = 0; I < GetCount(); ++I)
    if (!GetItem(I)->IsEqual(Value->GetItem(I))) return false;
  return true;
}

TCustomDynVarKv* TCustomDynVarsKv::GetItem(Integer Index) const {
  return static_cast<TCustomDynVarKv*>(TCollection::GetItem(Index));
}

void TCustomDynVarsKv::SetItem(Integer Index, TCustomDynVarKv* Value) { TCollection::SetItem(Index, Value); }

void TCustomDynVarsKv::AttachDummyVar(TCustomDynVarKv* DummyVar) {
  if (DummyVar != FDummyVar.get()) throw Exception(L"DummyVar must be same as collection DummyVar");
  AddDynVar(DummyVar);
  FDummyVar.release();
  DummyVar->FIsDummy = false;
  DummyVar->FOwnerWhenDummy = nullptr;
  FDummyVar.reset(TCustomDynVarKv::CreateAsDummy(GetDynVarClass(), this));
}

// ---- TStringVarsKv ------------------------------------------------------------------------------

TStringVarKv* TStringVarsKv::CreateDynVar(const String& VarName, const String& AValue) {
  return static_cast<TStringVarKv*>(TCustomDynVarsKv::CreateDynVar(VarName, Variant(AValue)));
}

String TStringVarsKv::GetVarValue(const String& VarName) const {
  TStringVarKv* V = FindDynVar(VarName);
  if (!V) throw Exception(Format(L"A Variable named '%s' doesn't exist in the Collection '%s'", {VarName, ClassName()}));
  return V->GetValue();
}

void TStringVarsKv::SetVarValue(const String& VarName, const String& Value) {
  TStringVarKv* V = FindDynVar(VarName);
  if (!V) throw Exception(Format(L"A Variable named '%s' doesn't exist in the Collection '%s'", {VarName, ClassName()}));
  V->SetValue(Value);
}

String TStringVarsKv::GetAsTextString() const {
  String Text;
  for (Integer I = 0; I < GetCount(); ++I) {
    TStringVarKv* V = GetItem(I);
    Text += V->GetName() + L"=" + V->GetValue() + L"\r\n";
  }
  return Text;
}

void TStringVarsKv::SetFromTextString(const String& TextString) {
  // The whole text is checked before anything is replaced, so a bad text loses nothing.
  TStringList Lines;
  Lines.SetText(TextString);
  std::vector<std::pair<String, String>> Vars;
  std::unordered_set<String> Seen;
  for (Integer I = 0; I < Lines.GetCount(); ++I) {
    const String Line = Lines.GetStrings(I);
    const size_t Eq = Line.find(L'=');
    String Name = Eq == String::npos ? String() : Line.substr(0, Eq);
    String Value = Eq == String::npos ? String() : Line.substr(Eq + 1);
    if (!Seen.insert(DynVarNameKey(Name)).second) RaiseDuplicateName(Name);
    Vars.emplace_back(std::move(Name), std::move(Value));
  }
  BeginUpdate();
  try {
    TCollection::Clear();
    for (auto& [Name, Value] : Vars) CreateDynVar(Name, Value);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}
