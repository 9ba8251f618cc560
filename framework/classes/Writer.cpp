#include "framework/classes/Writer.h"

#include <algorithm>
#include <cmath>
#include <cwctype>

#include "framework/classes/Collection.h"
#include "framework/classes/Streams.h"
#include "framework/classes/Strings.h"
#include "framework/Variants.h"

namespace {
bool SameName(const String& A, const String& B) {
  if (A.size() != B.size()) return false;
  for (size_t I = 0; I < A.size(); ++I)
    if (std::towupper(A[I]) != std::towupper(B[I])) return false;
  return true;
}

bool IsAscii(const String& S) {
  for (Char C : S)
    if (C > 0x7F) return false;
  return true;
}
}  // namespace

TWriter::TWriter(TStream* Stream, Integer) : TFiler(Stream) {}

Int64 TWriter::GetPosition() const { return FStream->GetPosition(); }

void TWriter::Write(const void* Buffer, Integer Count) {
  if (Count > 0) FStream->WriteBuffer(Buffer, Count);
}

void TWriter::WriteValue(TValueType Value) {
  Byte B = Value;
  Write(&B, 1);
}

void TWriter::WriteSignature() { Write("TPF0", 4); }

void TWriter::WritePrefix(TFilerFlags Flags, Integer AChildPos) {
  if (Flags.Empty()) return;
  Byte B = Byte(0xF0 | Flags.ToInt());
  Write(&B, 1);
  if (Flags.Contains(ffChildPos)) WriteInteger(AChildPos);
}

void TWriter::WriteStr(const String& Value) {
  std::string U = UTF8Encode(Value);
  if (U.size() > 255) throw EWriteError(L"Name too long for a component stream: " + Value);
  Byte L = Byte(U.size());
  Write(&L, 1);
  Write(U.data(), Integer(U.size()));
}

void TWriter::WriteBoolean(bool Value) { WriteValue(Value ? vaTrue : vaFalse); }

void TWriter::WriteChar(Char Value) { WriteString(String(1, Value)); }

void TWriter::WriteInteger(Int64 Value) {
  if (Value >= -128 && Value <= 127) {
    WriteValue(vaInt8);
    std::int8_t X = std::int8_t(Value);
    Write(&X, 1);
  } else if (Value >= -32768 && Value <= 32767) {
    WriteValue(vaInt16);
    std::int16_t X = std::int16_t(Value);
    Write(&X, 2);
  } else if (Value >= INT32_MIN && Value <= INT32_MAX) {
    WriteValue(vaInt32);
    std::int32_t X = std::int32_t(Value);
    Write(&X, 4);
  } else {
    WriteValue(vaInt64);
    Write(&Value, 8);
  }
}

void TWriter::WriteFloat(Extended Value) {
  WriteValue(vaExtended);
  Byte B[16] = {};
  std::memcpy(B, &Value, sizeof(Value) < 16 ? sizeof(Value) : 16);
  Write(B, 10);  // the 80-bit extended format
}

void TWriter::WriteSingle(Single Value) {
  WriteValue(vaSingle);
  Write(&Value, 4);
}

void TWriter::WriteDouble(Double Value) {
  WriteValue(vaDouble);
  Write(&Value, 8);
}

void TWriter::WriteCurrency(Currency Value) {
  WriteValue(vaCurrency);
  Int64 R = Value.Raw();
  Write(&R, 8);
}

void TWriter::WriteDate(TDateTime Value) {
  WriteValue(vaDate);
  Write(&Value.Val, 8);
}

void TWriter::WriteIdent(const String& Ident) {
  if (SameName(Ident, L"False"))
    WriteValue(vaFalse);
  else if (SameName(Ident, L"True"))
    WriteValue(vaTrue);
  else if (SameName(Ident, L"nil"))
    WriteValue(vaNil);
  else if (SameName(Ident, L"Null"))
    WriteValue(vaNull);
  else {
    WriteValue(vaIdent);
    WriteStr(Ident);
  }
}

void TWriter::WriteString(const String& Value) {
  if (!IsAscii(Value)) {
    WriteWideString(Value);
    return;
  }
  std::string A(Value.begin(), Value.end());
  if (A.size() <= 255) {
    WriteValue(vaString);
    Byte L = Byte(A.size());
    Write(&L, 1);
  } else {
    WriteValue(vaLString);
    Integer L = Integer(A.size());
    Write(&L, 4);
  }
  Write(A.data(), Integer(A.size()));
}

void TWriter::WriteWideString(const String& Value) {
  WriteValue(vaWString);
  Integer L = Integer(Value.size());
  Write(&L, 4);
  Write(Value.data(), L * 2);
}

void TWriter::WriteUTF8String(const String& Value) {
  std::string U = UTF8Encode(Value);
  WriteValue(vaUTF8String);
  Integer L = Integer(U.size());
  Write(&L, 4);
  Write(U.data(), L);
}

void TWriter::WriteSet(PTypeInfo SetType, Int64 Value) {
  WriteValue(vaSet);
  PTypeInfo E = SetType ? SetType->Data->CompType : nullptr;
  for (Integer I = 0; I < 64; ++I)
    if ((std::uint64_t(Value) >> I) & 1) WriteStr(GetEnumName(E, I));
  WriteStr(String());
}

void TWriter::WriteBinary(const void* Data, Integer Count) {
  WriteValue(vaBinary);
  Write(&Count, 4);
  Write(Data, Count);
}

void TWriter::WriteVariant(const Variant& Value) {
  switch (Value.Type()) {
    case varEmpty:
      WriteValue(vaNil);
      break;
    case varNull:
      WriteValue(vaNull);
      break;
    case varShortInt:
    case varByte:
    case varSmallint:
    case varWord:
    case varInteger:
    case varLongWord:
    case varInt64:
      WriteInteger(Value.AsInt64());
      break;
    case varSingle:
      WriteSingle(Single(Value.AsDouble()));
      break;
    case varDouble:
      WriteFloat(Value.AsDouble());  // exact in the extended form, and so through the text form
      break;
    case varCurrency:
      WriteCurrency(Value.AsCurrency());
      break;
    case varDate:
      WriteDate(Value.AsDateTime());
      break;
    case varBoolean:
      WriteBoolean(Value.AsBoolean());
      break;
    case varOleStr:
    case varString:
    case varUString:
      WriteString(Value.AsString());
      break;
    default:
      throw EWriteError(L"A variant of type " + std::to_wstring(Value.Type()) + L" cannot be written to a component stream");
  }
}

// ---- Components -------------------------------------------------------------------------------

void TWriter::WriteRootComponent(TComponent* Root) { WriteDescendent(Root, nullptr); }

void TWriter::WriteDescendent(TComponent* Root, TComponent* AAncestor) {
  FRootAncestor = AAncestor;
  FAncestor = AAncestor;
  FRoot = Root;
  FLookupRoot = Root;
  WriteSignature();
  WriteComponent(Root);
}

TComponent* TWriter::FindAncestorOf(TComponent* Component) {
  if (!FRootAncestor || Component == FRoot) return FRootAncestor && Component == FRoot ? FRootAncestor : nullptr;
  if (Component->GetOwner() != FRoot) return nullptr;
  return FRootAncestor->FindComponent(Component->GetName());
}

void TWriter::WriteComponent(TComponent* Component) {
  TPersistent* SaveAncestor = FAncestor;
  FAncestor = FindAncestorOf(Component);
  bool WasWriting = Component->GetComponentState().Contains(csWriting);
  Component->SetState(csWriting, true);
  try {
    Component->WriteState(this);
  } catch (...) {
    if (!WasWriting) Component->SetState(csWriting, false);
    FAncestor = SaveAncestor;
    throw;
  }
  if (!WasWriting) Component->SetState(csWriting, false);
  FAncestor = SaveAncestor;
}

void TComponent::WriteState(TWriter* Writer) { Writer->WriteData(this); }

void TWriter::WriteData(TComponent* Instance) {
  TFilerFlags Flags;
  Integer ChildPos = 0;
  auto* Ancestor = dynamic_cast<TComponent*>(FAncestor);
  if (Ancestor && Instance != FRoot) {
    Flags << ffInherited;
    // A child the ancestor has at another place carries its position.
    std::vector<TComponent*> Mine;
    FRoot->GetChildren([&](TComponent* C) { Mine.push_back(C); }, FRoot);
    std::vector<TComponent*> Theirs;
    FRootAncestor->GetChildren([&](TComponent* C) { Theirs.push_back(C); }, FRootAncestor);
    Integer MyPos = Integer(std::find(Mine.begin(), Mine.end(), Instance) - Mine.begin());
    Integer TheirPos = Integer(std::find(Theirs.begin(), Theirs.end(), Ancestor) - Theirs.begin());
    if (MyPos < Integer(Mine.size()) && MyPos != TheirPos) {
      Flags << ffChildPos;
      ChildPos = MyPos;
    }
  } else if (Ancestor && Instance == FRoot && FRootAncestor) {
    Flags << ffInherited;
  }
  if (Instance->GetComponentState().Contains(csInline)) Flags << ffInline;
  WritePrefix(Flags, ChildPos);
  WriteStr(Instance->ClassName());
  WriteStr(Instance->GetName());
  WriteProperties(Instance);
  WriteListEnd();
  if (!FIgnoreChildren) {
    TComponent* SaveLookup = FLookupRoot;
    Instance->GetChildren([this](TComponent* C) { WriteComponent(C); }, FRoot);
    FLookupRoot = SaveLookup;
  }
  WriteListEnd();
}

void TWriter::WriteProperties(TPersistent* Instance) {
  for (PPropInfo P : GetPropList(Instance)) {
    if (!P->IsReadable() || !IsStoredProp(Instance, P)) continue;
    // Read-only properties are written only as sub-objects (their own properties).
    if (!P->IsWritable() && P->PropType->Kind != tkClass) continue;
    WriteProperty(Instance, P);
  }
  if (auto* S = dynamic_cast<TStrings*>(Instance)) {
    // A string list writes its lines as the list "Strings".
    auto* A = dynamic_cast<TStrings*>(FAncestor);
    if (A ? !S->Equals(A) : S->GetCount() > 0) {
      WritePropName(L"Strings");
      WriteListBegin();
      for (Integer I = 0; I < S->GetCount(); ++I) WriteString(S->GetStrings(I));
      WriteListEnd();
    }
  }
  Instance->DefineProperties(this);
}

void TWriter::WritePropName(const String& Name) { WriteStr(FPropPath + Name); }

String TWriter::ComponentReference(TComponent* C) {
  if (C->GetOwner() == FLookupRoot && FLookupRoot) return C->GetName();
  if (C == FLookupRoot) return L"Owner";
  if (C->GetOwner() && !C->GetOwner()->GetName().empty() && !C->GetName().empty())
    return C->GetOwner()->GetName() + L"." + C->GetName();
  if (!C->GetName().empty()) return C->GetName() + L".Owner";
  return String();
}

void TWriter::WriteProperty(TPersistent* Instance, PPropInfo P) {
  TPersistent* Ancestor = FAncestor && FAncestor->ClassType() == Instance->ClassType() ? FAncestor : nullptr;
  if (FAncestor && !Ancestor && FAncestor->InheritsFrom(P->DeclaringClass)) Ancestor = FAncestor;
  switch (TTypeKind Kind = P->PropType->Kind) {
    case tkInteger:
    case tkChar:
    case tkWChar:
    case tkEnumeration:
    case tkSet:
    case tkInt64: {
      Int64 V = GetOrdProp(Instance, P);
      if (Ancestor) {
        if (V == GetOrdProp(Ancestor, P)) return;
      } else if (Kind == tkInt64) {
        if (P->HasDefault64 ? V == P->Default64 : V == 0) return;
      } else if (P->Default != NoDefault && V == Int64(P->Default)) {
        return;
      }
      WritePropName(P->Name);
      String Ident;
      if (Kind == tkInteger && P->IntToIdent && P->IntToIdent(Integer(V), Ident))
        WriteIdent(Ident);
      else if (Kind == tkInteger || Kind == tkInt64)
        WriteInteger(V);
      else if (Kind == tkChar || Kind == tkWChar)
        WriteChar(Char(V));
      else if (Kind == tkSet)
        WriteSet(P->PropType, V);
      else if (P->PropType == TypeInfo<bool>())
        WriteBoolean(V != 0);
      else
        WriteIdent(GetEnumName(P->PropType, Integer(V)));
      break;
    }
    case tkFloat: {
      Extended V = GetFloatProp(Instance, P);
      if (Ancestor ? V == GetFloatProp(Ancestor, P) : V == 0) return;
      WritePropName(P->Name);
      if (P->PropType->Data->FloatType == ftFloatSingle)
        WriteSingle(Single(V));
      else if (P->PropType->Data->FloatType == ftFloatCurr)
        WriteCurrency(Currency(V));
      else if (P->PropType == TypeInfo<TDateTime>())
        WriteDate(TDateTime(double(V)));
      else
        WriteFloat(V);
      break;
    }
    case tkString:
    case tkLString:
    case tkWString:
    case tkUString: {
      String V = GetStrProp(Instance, P);
      if (Ancestor ? V == GetStrProp(Ancestor, P) : V.empty()) return;
      WritePropName(P->Name);
      WriteString(V);
      break;
    }
    case tkMethod: {
      TMethod V = GetMethodProp(Instance, P);
      // Only handlers the root publishes can be named in the stream.
      String Name = V.Code && V.Data == FLookupRoot ? MethodName(FLookupRoot->ClassType(), V.Code) : String();
      String AncName;
      if (Ancestor) {
        TMethod A = GetMethodProp(Ancestor, P);
        if (A.Code && A.Data) AncName = MethodName(A.Data->ClassType(), A.Code);
      }
      if (SameName(Name, AncName)) return;
      WritePropName(P->Name);
      if (Name.empty())
        WriteValue(vaNil);
      else
        WriteIdent(Name);
      break;
    }
    case tkClass:
    case tkInterface: {
      TObject* V = Kind == tkClass ? GetObjectProp(Instance, P) : dynamic_cast<TObject*>(GetInterfaceProp(Instance, P));
      TObject* A = nullptr;
      if (Ancestor)
        A = Kind == tkClass ? GetObjectProp(Ancestor, P) : dynamic_cast<TObject*>(GetInterfaceProp(Ancestor, P));
      auto* Comp = dynamic_cast<TComponent*>(V);
      bool IsReference = Kind == tkInterface || (Comp && !Comp->GetComponentStyle().Contains(csSubComponent));
      if (!V || IsReference) {
        if (!P->IsWritable()) return;
        String Ref = Comp ? ComponentReference(Comp) : String();
        String AncRef;
        if (auto* AC = dynamic_cast<TComponent*>(A)) {
          // The ancestor's reference names its own root; compare by name.
          AncRef = AC->GetOwner() == FRootAncestor ? AC->GetName() : AC == FRootAncestor ? L"Owner" : ComponentReference(AC);
        }
        if (Ref == AncRef) return;
        if (V && Ref.empty()) return;  // an unnamed component cannot be found again
        WritePropName(P->Name);
        if (Ref.empty())
          WriteValue(vaNil);
        else
          WriteIdent(Ref);
        return;
      }
      if (auto* Coll = dynamic_cast<TCollection*>(V)) {
        if (auto* AColl = dynamic_cast<TCollection*>(A); AColl && CollectionsEqual(Coll, AColl)) return;
        WritePropName(P->Name);
        WriteCollection(Coll);
        return;
      }
      if (auto* Sub = dynamic_cast<TPersistent*>(V)) {
        String SavePath = FPropPath;
        TPersistent* SaveAncestor = FAncestor;
        FPropPath += P->Name + L".";
        FAncestor = dynamic_cast<TPersistent*>(A);
        try {
          WriteProperties(Sub);
        } catch (...) {
          FPropPath = SavePath;
          FAncestor = SaveAncestor;
          throw;
        }
        FPropPath = SavePath;
        FAncestor = SaveAncestor;
      }
      break;
    }
    case tkVariant: {
      Variant V = GetVariantProp(Instance, P);
      if (Ancestor) {
        Variant A = GetVariantProp(Ancestor, P);
        if (A.Type() == V.Type() && (V.IsEmpty() || V.IsNull() || VarToStr(A) == VarToStr(V))) return;
      } else if (V.IsEmpty()) {
        return;
      }
      WritePropName(P->Name);
      WriteVariant(V);
      break;
    }
    default:
      break;
  }
}

bool CollectionsEqual(TCollection* C1, TCollection* C2) {
  if (C1 == C2) return true;
  if (!C1 || !C2 || C1->ClassType() != C2->ClassType() || C1->GetCount() != C2->GetCount()) return false;
  TMemoryStream S1, S2;
  TWriter W1(&S1), W2(&S2);
  W1.WriteCollection(C1);
  W2.WriteCollection(C2);
  return S1.GetSize() == S2.GetSize() && std::memcmp(S1.GetMemory(), S2.GetMemory(), size_t(S1.GetSize())) == 0;
}

void TWriter::WriteCollection(TCollection* Value) {
  WriteValue(vaCollection);
  if (Value) {
    String SavePath = FPropPath;
    TPersistent* SaveAncestor = FAncestor;
    FPropPath.clear();
    FAncestor = nullptr;
    try {
      for (Integer I = 0; I < Value->GetCount(); ++I) {
        WriteListBegin();
        WriteProperties(Value->GetItem(I));
        WriteListEnd();
      }
    } catch (...) {
      FPropPath = SavePath;
      FAncestor = SaveAncestor;
      throw;
    }
    FPropPath = SavePath;
    FAncestor = SaveAncestor;
  }
  WriteListEnd();
}

void TWriter::DefineProperty(const String& Name, TReaderProc, TWriterProc WriteData, bool HasData) {
  if (HasData && WriteData) {
    WritePropName(Name);
    WriteData(this);
  }
}

void TWriter::DefineBinaryProperty(const String& Name, TStreamProc, TStreamProc WriteData, bool HasData) {
  if (HasData && WriteData) {
    TMemoryStream M;
    WriteData(&M);
    WritePropName(Name);
    WriteBinary(M.GetMemory(), Integer(M.GetSize()));
  }
}
