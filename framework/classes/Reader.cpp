#include "framework/classes/Reader.h"

#include <algorithm>
#include <cwctype>
#include <mutex>

#include "framework/classes/Collection.h"
#include "framework/classes/Streams.h"
#include "framework/classes/Strings.h"
#include "framework/sysutils/Encoding.h"
#include "framework/Variants.h"

namespace {

String InstanceName(TPersistent* P) {
  if (auto* C = dynamic_cast<TComponent*>(P)) return C->GetName().empty() ? C->ClassName() : C->GetName();
  return P->GetNamePath();
}

// These three are never freed: a component freed at exit (by the application's end, or a
// static destructor) still reaches them.
std::vector<TFindGlobalComponent>& GlobalProcs() {
  static auto& P = *new std::vector<TFindGlobalComponent>;
  return P;
}

}  // namespace

// A reference read by name that is set once the whole stream (or its target's root) is loaded.
struct TReader::TFixup {
  TPersistent* Instance;
  PPropInfo Prop;
  TComponent* Root;
  String Name;
};

namespace {
// A reference waiting for another root to load. Guard is the component that holds the
// instance (the instance itself, or the control whose sub-object it is): freeing it or the
// root drops the wait.
struct TPendingFixup {
  TPersistent* Instance;
  PPropInfo Prop;
  TComponent* Root;
  TComponent* Guard;
  String Name;
};
}  // namespace

static std::vector<TPendingFixup>& GlobalList() {
  static auto& L = *new std::vector<TPendingFixup>;
  return L;
}
static std::recursive_mutex& GlobalLock() {
  static auto& M = *new std::recursive_mutex;
  return M;
}

void RegisterFindGlobalComponentProc(TFindGlobalComponent Proc) {
  auto& P = GlobalProcs();
  if (std::find(P.begin(), P.end(), Proc) == P.end()) P.push_back(Proc);
}

void UnregisterFindGlobalComponentProc(TFindGlobalComponent Proc) {
  auto& P = GlobalProcs();
  P.erase(std::remove(P.begin(), P.end(), Proc), P.end());
}

TComponent* FindGlobalComponent(const String& Name) {
  for (auto It = GlobalProcs().rbegin(); It != GlobalProcs().rend(); ++It)
    if (TComponent* C = (*It)(Name)) return C;
  return nullptr;
}

TComponent* FindNestedComponent(TComponent* Root, const String& NamePath) {
  TComponent* Cur = Root;
  size_t Start = 0;
  bool First = true;
  while (Start <= NamePath.size()) {
    size_t Dot = NamePath.find(L'.', Start);
    String Part = NamePath.substr(Start, Dot == String::npos ? String::npos : Dot - Start);
    TComponent* Next = nullptr;
    if (SameIdent(Part, L"Owner") && Cur)
      Next = First ? Root : Cur->GetOwner();
    if (!Next && Cur) Next = Cur->FindComponent(Part);
    if (!Next && First && Root && SameIdent(Root->GetName(), Part)) Next = Root;
    if (!Next && First) Next = FindGlobalComponent(Part);
    if (!Next && Cur && !First) {
      // A sub-component reached through a published property of the same name.
      if (PPropInfo P = GetPropInfo(Cur, Part); P && P->PropType->Kind == tkClass && P->GetObj)
        Next = dynamic_cast<TComponent*>(P->GetObj(Cur));
    }
    if (!Next) return nullptr;
    Cur = Next;
    First = false;
    if (Dot == String::npos) break;
    Start = Dot + 1;
  }
  return Cur;
}

namespace {
bool TrySetReference(TPersistent* Instance, PPropInfo Prop, TComponent* Root, const String& Name) {
  TComponent* Target = FindNestedComponent(Root, Name);
  if (!Target) return false;
  if (Prop->PropType->Kind == tkInterface)
    SetInterfaceProp(Instance, Prop, dynamic_cast<IInterface*>(Target));
  else
    SetObjectProp(Instance, Prop, Target);
  return true;
}
}  // namespace

void GlobalFixupReferences() {
  std::lock_guard<std::recursive_mutex> G(GlobalLock());
  auto& L = GlobalList();
  for (size_t I = 0; I < L.size();) {
    if (TrySetReference(L[I].Instance, L[I].Prop, L[I].Root, L[I].Name)) {
      L.erase(L.begin() + I);
      continue;
    }
    ++I;
  }
  // A root with nothing left to wait for is no longer marked.
}

void RemoveFixupReferences(TComponent* Root, const String& RootName) {
  std::lock_guard<std::recursive_mutex> G(GlobalLock());
  auto& L = GlobalList();
  L.erase(std::remove_if(L.begin(), L.end(),
                         [&](const TPendingFixup& F) {
                           bool ByRoot = Root && (F.Root == Root || F.Guard == Root);
                           bool ByName = !RootName.empty() && SameIdent(F.Name.substr(0, F.Name.find(L'.')), RootName);
                           return ByRoot || ByName;
                         }),
          L.end());
}

// ---- TReader ----------------------------------------------------------------------------------

class TReader::TNestingGuard {
 public:
  explicit TNestingGuard(TReader* R) : FReader(R) {
    if (++R->FNesting > MaxStreamNesting) {
      --R->FNesting;
      R->ReadError(L"The component stream nests too deeply");
    }
  }
  ~TNestingGuard() { --FReader->FNesting; }
  TNestingGuard(const TNestingGuard&) = delete;
  TNestingGuard& operator=(const TNestingGuard&) = delete;

 private:
  TReader* FReader;
};

TReader::TReader(TStream* Stream, Integer) : TFiler(Stream) {}

TReader::~TReader() { delete FFixups; }

Int64 TReader::GetPosition() const { return FStream->GetPosition(); }
void TReader::SetPosition(Int64 Value) { FStream->SetPosition(Value); }

void TReader::ReadBytes(void* Buffer, Integer Count) {
  if (Count <= 0) return;
  if (FStream->Read(Buffer, Count) != Count) ReadError(L"Stream read error: the component stream ends too early");
}

Byte TReader::ReadByte() {
  Byte B;
  ReadBytes(&B, 1);
  return B;
}

void TReader::Read(void* Buffer, Integer Count) { ReadBytes(Buffer, Count); }

void TReader::ReadError(const String& Message) { throw EReadError(Message); }

void TReader::PropValueError() { ReadError(L"Invalid property value"); }

bool TReader::Error(const String& Message) {
  bool Handled = false;
  DoEvent(FOnError, this, Message, Handled);
  return Handled;
}

TValueType TReader::ReadValue() {
  Byte B = ReadByte();
  if (B > vaDouble) ReadError(L"Invalid property value: unknown value tag " + std::to_wstring(B));
  return TValueType(B);
}

TValueType TReader::NextValue() {
  TValueType V = ReadValue();
  FStream->Seek(-1, soCurrent);
  return V;
}

void TReader::CheckValue(TValueType Value) {
  if (ReadValue() != Value) {
    FStream->Seek(-1, soCurrent);
    SkipValue();
    PropValueError();
  }
}

bool TReader::EndOfList() {
  // Raw, not through ReadValue: a component's flags prefix (0xFn) may come next.
  Byte B = ReadByte();
  FStream->Seek(-1, soCurrent);
  return B == vaNull;
}

void TReader::CheckAvailable(Int64 Count) {
  // A damaged length must not make us allocate gigabytes before the read fails.
  if (Count < 0 || Count > FStream->GetSize() - FStream->GetPosition())
    ReadError(L"Stream read error: the component stream ends too early");
}

String TReader::ReadAnsiBytes(Integer Len) {
  CheckAvailable(Len);
  std::string S(size_t(std::max(Len, 0)), '\0');
  ReadBytes(S.data(), Len);
  return UTF8ToString(S);
}

String TReader::ReadCodePageBytes(Integer Len) {
  CheckAvailable(Len);
  TBytes B(size_t(std::max(Len, 0)));
  ReadBytes(B.data(), Len);
  return B.empty() ? String() : TEncoding::Default()->GetString(B.data(), Len);
}

String TReader::ReadStr() {
  Byte L = ReadByte();
  return ReadAnsiBytes(L);
}

void TReader::ReadSignature() {
  char Sig[4];
  ReadBytes(Sig, 4);
  if (std::memcmp(Sig, "TPF0", 4) != 0) throw EInvalidImage(L"Invalid stream format: no TPF0 signature");
}

void TReader::ReadPrefix(TFilerFlags& Flags, Integer& AChildPos) {
  Flags.Clear();
  AChildPos = 0;
  Byte B = ReadByte();
  if ((B & 0xF0) == 0xF0) {
    Flags = TFilerFlags::FromInt(B & 0x0F);
    if (Flags.Contains(ffChildPos)) AChildPos = ReadInteger();
  } else {
    FStream->Seek(-1, soCurrent);
  }
}

bool TReader::ReadBoolean() {
  TValueType V = ReadValue();
  if (V == vaTrue) return true;
  if (V == vaFalse) return false;
  FStream->Seek(-1, soCurrent);
  SkipValue();
  PropValueError();
}

Char TReader::ReadChar() {
  TValueType V = NextValue();
  if (V == vaInt8 || V == vaInt16 || V == vaInt32) return Char(ReadInteger());
  String S = ReadString();
  if (S.size() != 1) PropValueError();
  return S[0];
}

Int64 TReader::ReadInt64() {
  switch (ReadValue()) {
    case vaInt8: {
      std::int8_t X;
      ReadBytes(&X, 1);
      return X;
    }
    case vaInt16: {
      std::int16_t X;
      ReadBytes(&X, 2);
      return X;
    }
    case vaInt32: {
      std::int32_t X;
      ReadBytes(&X, 4);
      return X;
    }
    case vaInt64: {
      Int64 X;
      ReadBytes(&X, 8);
      return X;
    }
    default:
      FStream->Seek(-1, soCurrent);
      SkipValue();
      PropValueError();
  }
}

Integer TReader::ReadInteger() {
  Int64 V = ReadInt64();
  if (V < INT32_MIN || V > UINT32_MAX) PropValueError();
  return Integer(V);
}

Extended TReader::ReadFloat() {
  switch (NextValue()) {
    case vaExtended: {
      ReadValue();
      long double X = 0;
      ReadBytes(&X, 10);
      return X;
    }
    case vaDouble:
      return ReadDouble();
    case vaSingle:
      return ReadSingle();
    case vaCurrency:
      return ReadCurrency().ToExtended();
    case vaDate:
      return ReadDate().Val;
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64:
      return Extended(ReadInt64());
    default:
      SkipValue();
      PropValueError();
  }
}

Single TReader::ReadSingle() {
  TValueType V = NextValue();
  if (V != vaSingle) return Single(ReadFloat());
  ReadValue();
  Single X;
  ReadBytes(&X, 4);
  return X;
}

Double TReader::ReadDouble() {
  TValueType V = NextValue();
  if (V != vaDouble) return Double(ReadFloat());
  ReadValue();
  Double X;
  ReadBytes(&X, 8);
  return X;
}

Currency TReader::ReadCurrency() {
  TValueType V = NextValue();
  if (V != vaCurrency) return Currency(ReadFloat());
  ReadValue();
  Int64 X;
  ReadBytes(&X, 8);
  return Currency::FromRaw(X);
}

TDateTime TReader::ReadDate() {
  TValueType V = NextValue();
  if (V != vaDate) return TDateTime(double(ReadFloat()));
  ReadValue();
  double X;
  ReadBytes(&X, 8);
  return TDateTime(X);
}

String TReader::ReadIdent() {
  switch (ReadValue()) {
    case vaIdent:
      return ReadStr();
    case vaFalse:
      return L"False";
    case vaTrue:
      return L"True";
    case vaNil:
      return L"nil";
    case vaNull:
      return L"Null";
    default:
      FStream->Seek(-1, soCurrent);
      SkipValue();
      PropValueError();
  }
}

String TReader::ReadString() {
  switch (ReadValue()) {
    case vaString:
      return ReadCodePageBytes(ReadByte());
    case vaLString: {
      Integer L;
      ReadBytes(&L, 4);
      if (L < 0) PropValueError();
      return ReadCodePageBytes(L);
    }
    case vaUTF8String: {
      Integer L;
      ReadBytes(&L, 4);
      if (L < 0) PropValueError();
      return ReadAnsiBytes(L);
    }
    case vaWString: {
      Integer L;
      ReadBytes(&L, 4);
      if (L < 0 || L > 0x3FFFFFFF) PropValueError();
      CheckAvailable(Int64(L) * 2);
      String S(size_t(L), L'\0');
      ReadBytes(S.data(), L * 2);
      return S;
    }
    default:
      FStream->Seek(-1, soCurrent);
      SkipValue();
      PropValueError();
  }
}

Int64 TReader::ReadSet(PTypeInfo SetType) {
  CheckValue(vaSet);
  PTypeInfo E = SetType ? SetType->Data->CompType : nullptr;
  std::uint64_t R = 0;
  for (;;) {
    String S = ReadStr();
    if (S.empty()) break;
    Integer V = GetEnumValue(E, S);
    if (V < 0 || V >= 64) ReadError(L"Invalid property value: " + S + L" is not an element of this set");
    R |= std::uint64_t(1) << V;
  }
  return Int64(R);
}

TBytes TReader::ReadBinary() {
  CheckValue(vaBinary);
  Integer L;
  ReadBytes(&L, 4);
  if (L < 0) PropValueError();
  CheckAvailable(L);
  TBytes B(static_cast<size_t>(L));
  ReadBytes(B.data(), L);
  return B;
}

void TReader::SkipValue() {
  switch (ReadValue()) {
    case vaNull:
    case vaFalse:
    case vaTrue:
    case vaNil:
      break;
    case vaList: {
      TNestingGuard Guard(this);
      while (!EndOfList()) SkipValue();
      ReadListEnd();
      break;
    }
    case vaInt8:
      ReadByte();
      break;
    case vaInt16: {
      Byte B[2];
      ReadBytes(B, 2);
      break;
    }
    case vaInt32:
    case vaSingle: {
      Byte B[4];
      ReadBytes(B, 4);
      break;
    }
    case vaExtended: {
      Byte B[10];
      ReadBytes(B, 10);
      break;
    }
    case vaInt64:
    case vaCurrency:
    case vaDate:
    case vaDouble: {
      Byte B[8];
      ReadBytes(B, 8);
      break;
    }
    case vaString:
    case vaIdent:
      ReadStr();
      break;
    case vaLString:
    case vaUTF8String:
    case vaBinary: {
      Integer L;
      ReadBytes(&L, 4);
      if (L < 0) PropValueError();
      FStream->Seek(L, soCurrent);
      if (FStream->GetPosition() > FStream->GetSize()) ReadError(L"Stream read error: the component stream ends too early");
      break;
    }
    case vaWString: {
      Integer L;
      ReadBytes(&L, 4);
      if (L < 0) PropValueError();
      FStream->Seek(Int64(L) * 2, soCurrent);
      if (FStream->GetPosition() > FStream->GetSize()) ReadError(L"Stream read error: the component stream ends too early");
      break;
    }
    case vaSet:
      while (!ReadStr().empty()) {
      }
      break;
    case vaCollection: {
      TNestingGuard Guard(this);
      while (!EndOfList()) {
        if (TValueType V = NextValue(); V == vaInt8 || V == vaInt16 || V == vaInt32) ReadInteger();
        CheckValue(vaList);
        while (!EndOfList()) {
          ReadStr();
          SkipValue();
        }
        ReadListEnd();
      }
      ReadListEnd();
      break;
    }
  }
}

// ---- Components -------------------------------------------------------------------------------

void TReader::AddLoaded(TComponent* C) {
  if (std::find(FLoaded.begin(), FLoaded.end(), C) == FLoaded.end()) FLoaded.push_back(C);
}

TComponentClass TReader::FindComponentClass(const String& ClassName) {
  TComponentClass C = nullptr;
  TClass K = GetClass(ClassName);
  if (K && K->InheritsFrom(TComponent::StaticClass())) C = K;
  DoEvent(FOnFindComponentClass, this, ClassName, C);
  if (!C) throw EClassNotFound(L"Class " + ClassName + L" not found");
  return C;
}

void TReader::SetName(TComponent* Component, String& Name) {
  DoEvent(FOnSetName, this, Component, Name);
  Component->SetName(Name);
}

void TReader::ReferenceName(String& Name) { DoEvent(FOnReferenceName, this, Name); }

const TMethodEntry* TReader::FindMethod(TComponent* Root, const String& MethodName) {
  const TMethodEntry* Address = MethodAddress(Root->ClassType(), MethodName);
  bool Err = Address == nullptr;
  DoEvent(FOnFindMethod, this, MethodName, Address, Err);
  if (Err) ReadError(L"Method '" + MethodName + L"' not found in " + Root->ClassName());
  return Address;
}

TComponent* TReader::ReadRootComponent(TComponent* Root) {
  ReadSignature();
  TComponent* Result = nullptr;
  bool Created = false;
  FLoaded.clear();
  delete FFixups;
  FFixups = new std::vector<TFixup>();
  try {
    TFilerFlags Flags;
    Integer Pos;
    ReadPrefix(Flags, Pos);
    String ClassName = ReadStr();
    if (!Root) {
      Result = FindComponentClass(ClassName).Create(nullptr);
      Created = true;
    } else {
      Result = Root;
    }
    String Name = ReadStr();
    if (!Result->GetComponentState().Contains(csDesigning)) {
      // Two roots of one name (a form created twice) get Name_1, Name_2...
      String Unique = Name;
      for (Integer I = 1; !Unique.empty(); ++I) {
        TComponent* Other = FindGlobalComponent(Unique);
        if (!Other || Other == Result) break;
        Unique = Name + L"_" + std::to_wstring(I);
      }
      Result->SetName(Unique);
    }
    FRoot = Result;
    FLookupRoot = Result;
    FOwner = Result;
    Result->SetState(csLoading, true);
    Result->SetState(csReading, true);
    AddLoaded(Result);
    Result->ReadState(this);
    Result->SetState(csReading, false);
    FixupReferences();
    GlobalFixupReferences();
    std::vector<TComponent*> Loaded;
    Loaded.swap(FLoaded);
    for (TComponent* C : Loaded) C->Loaded();
  } catch (...) {
    for (TComponent* C : FLoaded) {
      C->SetState(csLoading, false);
      C->SetState(csReading, false);
    }
    FLoaded.clear();
    if (FFixups) FFixups->clear();
    if (Result) RemoveFixupReferences(Result, String());
    if (Created) delete Result;
    throw;
  }
  return Result;
}

void TReader::ReadComponents(TComponent* AOwner, TComponent* AParent, TGetChildProc Proc) {
  TComponent* SaveOwner = FOwner;
  TComponent* SaveParent = FParent;
  TComponent* SaveRoot = FRoot;
  TComponent* SaveLookup = FLookupRoot;
  FOwner = AOwner;
  FParent = AParent;
  FRoot = AOwner;
  FLookupRoot = AOwner;
  bool OwnFixups = !FFixups;
  if (OwnFixups) FFixups = new std::vector<TFixup>();
  try {
    while (!EndOfList()) {
      ReadSignature();
      TComponent* C = ReadComponent(nullptr);
      DoEvent(Proc, C);
    }
    ReadListEnd();
    FixupReferences();
  } catch (...) {
    FOwner = SaveOwner, FParent = SaveParent, FRoot = SaveRoot, FLookupRoot = SaveLookup;
    throw;
  }
  FOwner = SaveOwner, FParent = SaveParent, FRoot = SaveRoot, FLookupRoot = SaveLookup;
  if (OwnFixups) {
    delete FFixups;
    FFixups = nullptr;
  }
}

TComponent* TReader::ReadComponent(TComponent* Component) {
  TNestingGuard Guard(this);
  TFilerFlags Flags;
  Integer Position;
  ReadPrefix(Flags, Position);
  String CompClassName = ReadStr();
  String CompName = ReadStr();
  TComponent* Result = Component;
  bool Created = false;
  if (!Result) {
    if (Flags.Contains(ffInherited)) {
      // The ancestor made it already: find it by name in the owner.
      TComponentClass Cls = nullptr;
      if (TClass K = GetClass(CompClassName)) Cls = K;
      Result = FOwner ? FOwner->FindComponent(CompName) : nullptr;
      if (Result && Cls && !Result->InheritsFrom(Cls)) Result = nullptr;
      if (!Result) DoEvent(FOnAncestorNotFound, this, CompName, Cls, Result);
      if (!Result) ReadError(L"Ancestor for '" + CompName + L"' not found");
    } else {
      TComponentClass Cls = FindComponentClass(CompClassName);
      DoEvent(FOnCreateComponent, this, Cls, Result);
      if (!Result) {
        Result = Cls.Create(FOwner);
        Created = true;
      }
    }
  }
  try {
    Result->SetState(csLoading, true);
    if (!Flags.Contains(ffInherited)) SetName(Result, CompName);
    Result->SetState(csReading, true);
    if (Flags.Contains(ffInline)) Result->SetInline(true);
    if (FParent && FParent != Result && Result->HasParent()) Result->SetParentComponent(FParent);
    AddLoaded(Result);
    Result->ReadState(this);
    Result->SetState(csReading, false);
    if (Flags.Contains(ffChildPos)) {
      if (TComponent* P = FParent ? FParent : FRoot) P->SetChildOrder(Result, Position);
    }
  } catch (...) {
    if (Created) {
      FLoaded.erase(std::remove(FLoaded.begin(), FLoaded.end(), Result), FLoaded.end());
      if (FFixups)
        FFixups->erase(std::remove_if(FFixups->begin(), FFixups->end(),
                                      [&](const TFixup& F) {
                                        auto* C = dynamic_cast<TComponent*>(F.Instance);
                                        for (; C; C = C->GetOwner())
                                          if (C == Result) return true;
                                        return false;
                                      }),
                       FFixups->end());
      delete Result;
    } else {
      Result->SetState(csReading, false);
    }
    throw;
  }
  return Result;
}

void TReader::ReadData(TComponent* Instance) {
  bool OwnFixups = !FFixups;
  if (OwnFixups) FFixups = new std::vector<TFixup>();
  if (!FRoot) {
    FRoot = Instance;
    FLookupRoot = Instance;
  }
  while (!EndOfList()) ReadProperty(Instance);
  ReadListEnd();
  TComponent* SaveOwner = FOwner;
  TComponent* SaveParent = FParent;
  try {
    FOwner = Instance->GetChildOwner();
    if (!FOwner) FOwner = FRoot;
    FParent = Instance->GetChildParent();
    while (!EndOfList()) ReadComponent(nullptr);
    ReadListEnd();
  } catch (...) {
    FOwner = SaveOwner;
    FParent = SaveParent;
    throw;
  }
  FOwner = SaveOwner;
  FParent = SaveParent;
  if (OwnFixups) {
    FixupReferences();
    delete FFixups;
    FFixups = nullptr;
  }
}

void TComponent::ReadState(TReader* Reader) { Reader->ReadData(this); }

// ---- Properties -------------------------------------------------------------------------------

void TReader::PropertyNotFound(const String& Name) {
  if (Error(L"Property " + Name + L" does not exist")) {
    SkipValue();
    return;
  }
  ReadError(L"Property " + Name + L" does not exist");
}

void TReader::ReadProperty(TPersistent* AInstance) {
  String Path = ReadStr();
  try {
    TPersistent* Instance = AInstance;
    size_t Start = 0;
    for (size_t Dot; (Dot = Path.find(L'.', Start)) != String::npos; Start = Dot + 1) {
      String Part = Path.substr(Start, Dot - Start);
      PPropInfo P = GetPropInfo(Instance, Part);
      TPersistent* Sub = nullptr;
      if (P && P->PropType->Kind == tkClass && P->GetObj) Sub = dynamic_cast<TPersistent*>(P->GetObj(Instance));
      if (!Sub) {
        PropertyNotFound(Path);
        return;
      }
      Instance = Sub;
    }
    String Name = Path.substr(Start);
    if (PPropInfo P = GetPropInfo(Instance, Name)) {
      ReadPropValue(Instance, P);
      return;
    }
    if (auto* S = dynamic_cast<TStrings*>(Instance); S && SameIdent(Name, L"Strings")) {
      S->BeginUpdate();
      try {
        S->Clear();
        ReadListBegin();
        while (!EndOfList()) S->Add(ReadString());
        ReadListEnd();
      } catch (...) {
        S->EndUpdate();
        throw;
      }
      S->EndUpdate();
      return;
    }
    FPropName = Name;
    FPropDefined = false;
    Instance->DefineProperties(this);
    FPropName.clear();
    if (!FPropDefined) PropertyNotFound(Path);
  } catch (const EReadError& E) {
    if (E.Message().rfind(L"Error reading ", 0) == 0) throw;
    throw EReadError(L"Error reading " + InstanceName(AInstance) + L"." + Path + L": " + E.Message());
  } catch (const EClassNotFound&) {
    throw;
  } catch (const Exception& E) {
    throw EReadError(L"Error reading " + InstanceName(AInstance) + L"." + Path + L": " + E.Message());
  } catch (const std::bad_alloc&) {
    throw EReadError(L"Error reading " + InstanceName(AInstance) + L"." + Path + L": Out of memory");
  }
}

void TReader::ReadPropValue(TPersistent* Instance, PPropInfo P) {
  TTypeKind Kind = P->PropType->Kind;
  if (!P->IsWritable() && !(Kind == tkClass && P->GetObj)) ReadError(L"Property " + P->Name + L" is read-only");
  switch (Kind) {
    case tkInteger:
      if (NextValue() == vaIdent) {
        String Ident = ReadIdent();
        Integer V;
        if (!P->IdentToInt || !P->IdentToInt(Ident, V)) ReadError(L"Invalid property value: " + Ident);
        SetOrdProp(Instance, P, V);
      } else {
        SetOrdProp(Instance, P, ReadInteger());
      }
      break;
    case tkChar:
    case tkWChar:
      SetOrdProp(Instance, P, ReadChar());
      break;
    case tkEnumeration: {
      String Ident = ReadIdent();
      Integer V = GetEnumValue(P->PropType, Ident);
      if (V < 0) ReadError(L"Invalid property value: " + Ident + L" is not a value of " + P->PropType->Name);
      SetOrdProp(Instance, P, V);
      break;
    }
    case tkSet:
      SetOrdProp(Instance, P, ReadSet(P->PropType));
      break;
    case tkInt64:
      SetOrdProp(Instance, P, ReadInt64());
      break;
    case tkFloat:
      SetFloatProp(Instance, P, ReadFloat());
      break;
    case tkString:
    case tkLString:
    case tkWString:
    case tkUString:
      SetStrProp(Instance, P, ReadString());
      break;
    case tkVariant:
      SetVariantProp(Instance, P, ReadVariant());
      break;
    case tkMethod: {
      if (NextValue() == vaNil) {
        ReadValue();
        SetMethodProp(Instance, P, TMethod{});
      } else {
        String Name = ReadIdent();
        const TMethodEntry* M = FindMethod(FLookupRoot, Name);
        SetMethodProp(Instance, P, TMethod{M, FLookupRoot});
      }
      break;
    }
    case tkClass:
    case tkInterface: {
      TValueType V = NextValue();
      if (V == vaNil) {
        ReadValue();
        if (Kind == tkClass)
          SetObjectProp(Instance, P, nullptr);
        else
          SetInterfaceProp(Instance, P, nullptr);
      } else if (V == vaCollection && Kind == tkClass) {
        ReadValue();
        auto* C = dynamic_cast<TCollection*>(GetObjectProp(Instance, P));
        if (!C) PropValueError();
        ReadCollection(C);
      } else if (V == vaIdent) {
        String Name = ReadIdent();
        ReferenceName(Name);
        if (!P->IsWritable()) ReadError(L"Property " + P->Name + L" is read-only");
        FFixups->push_back(TFixup{Instance, P, FRoot, Name});
      } else {
        SkipValue();
        PropValueError();
      }
      break;
    }
    default:
      SkipValue();
      PropValueError();
  }
}

void TReader::ReadCollection(TCollection* Collection) {
  TNestingGuard Guard(this);
  Collection->BeginUpdate();
  try {
    if (!EndOfList()) Collection->Clear();
    while (!EndOfList()) {
      if (TValueType V = NextValue(); V == vaInt8 || V == vaInt16 || V == vaInt32) ReadInteger();
      TCollectionItem* Item = Collection->Add();
      ReadListBegin();
      while (!EndOfList()) ReadProperty(Item);
      ReadListEnd();
    }
    ReadListEnd();
  } catch (...) {
    Collection->EndUpdate();
    throw;
  }
  Collection->EndUpdate();
}

void TReader::DefineProperty(const String& Name, TReaderProc ReadData, TWriterProc, bool) {
  if (!FPropDefined && ReadData && SameIdent(Name, FPropName)) {
    FPropDefined = true;
    ReadData(this);
  }
}

void TReader::DefineBinaryProperty(const String& Name, TStreamProc ReadData, TStreamProc, bool) {
  if (!FPropDefined && ReadData && SameIdent(Name, FPropName)) {
    FPropDefined = true;
    TBytes B = ReadBinary();
    TMemoryStream M;
    if (!B.empty()) M.Write(B.data(), Integer(B.size()));
    M.SetPosition(0);
    ReadData(&M);
  }
}

void TReader::FixupReferences() {
  if (!FFixups) return;
  std::vector<TFixup> Pending;
  Pending.swap(*FFixups);
  for (auto& F : Pending) {
    if (TrySetReference(F.Instance, F.Prop, F.Root, F.Name)) continue;
    // The target's root is not loaded yet: wait for it in the global list.
    std::lock_guard<std::recursive_mutex> G(GlobalLock());
    TComponent* Guard = nullptr;
    for (TPersistent* P = F.Instance; P && !Guard; P = P->GetOwner()) Guard = dynamic_cast<TComponent*>(P);
    GlobalList().push_back(TPendingFixup{F.Instance, F.Prop, F.Root, Guard, F.Name});
    if (F.Root) F.Root->SetState(csFixups, true);
    if (Guard) Guard->SetState(csFixups, true);
  }
}

Variant TReader::ReadVariant() {
  switch (NextValue()) {
    case vaNil:
      ReadValue();
      return Variant();
    case vaNull:
      ReadValue();
      return Null;
    case vaInt8:
    case vaInt16:
    case vaInt32:
      return Variant(ReadInteger());
    case vaInt64:
      return Variant(static_cast<long long>(ReadInt64()));
    case vaExtended:
    case vaDouble:
      return Variant(double(ReadFloat()));
    case vaSingle:
      return Variant(ReadSingle());
    case vaCurrency:
      return Variant(ReadCurrency());
    case vaDate:
      return Variant(ReadDate());
    case vaString:
    case vaLString:
    case vaWString:
    case vaUTF8String:
      return Variant(ReadString());
    case vaFalse:
    case vaTrue:
      return Variant(ReadBoolean());
    default:
      SkipValue();
      PropValueError();
  }
}
