#include "kvlib/memtable/MemTableDataKv.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

#include "framework/FMTBcd.h"
#include "framework/SqlTimSt.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "kvlib/foundation/DBUtilsKv.h"
#include "kvlib/foundation/ToolCtrlsKv.h"

TVarType varByteArrayKv = varArray | varByte;

// ---- Blocks for records and values --------------------------------------------------------------

namespace {

// Size classes of 16 bytes up to 1 KB; larger blocks go to the system heap.
constexpr size_t PoolGrain = 16, PoolLimit = 1024, PoolChunk = 4 * 1024 * 1024;

// A spin lock: taken for a few instructions, and far cheaper than a mutex under Wine.
class TPoolLock {
 public:
  void lock() {
    while (FFlag.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  }
  void unlock() { FFlag.clear(std::memory_order_release); }

 private:
  std::atomic_flag FFlag = ATOMIC_FLAG_INIT;
};

struct TBlockPool {
  TPoolLock Lock;
  void* Free[PoolLimit / PoolGrain + 1] = {};
  char* Next = nullptr;
  char* End = nullptr;
  Int64 Taken = 0;
};

TBlockPool& Pool() {
  static TBlockPool* P = new TBlockPool();  // never freed: blocks may outlive static destruction
  return *P;
}

}  // namespace

void* MemTableAllocKv(size_t Size) {
  if (Size == 0) Size = 1;
  if (Size > PoolLimit) return ::operator new(Size);
  size_t Class = (Size + PoolGrain - 1) / PoolGrain;
  size_t Bytes = Class * PoolGrain;
  TBlockPool& P = Pool();
  std::lock_guard<TPoolLock> Guard(P.Lock);
  if (void* Block = P.Free[Class]) {
    P.Free[Class] = *static_cast<void**>(Block);
    // The next block of the class is read (and written) by the next request: fetched meanwhile.
    if (char* Next = static_cast<char*>(P.Free[Class])) {
      __builtin_prefetch(Next, 1);
      if (Bytes > 64) __builtin_prefetch(Next + 64, 1);
    }
    return Block;
  }
  if (size_t(P.End - P.Next) < Bytes) {
    // Straight from the system in large pieces: the heap is slow to grow by many medium blocks.
    P.Next = static_cast<char*>(VirtualAlloc(nullptr, PoolChunk, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!P.Next) throw std::bad_alloc();
    P.Taken += Int64(PoolChunk);
    P.End = P.Next + PoolChunk;
  }
  void* Block = P.Next;
  P.Next += Bytes;
  return Block;
}

Int64 MemTablePoolBytesKv() {
  TBlockPool& P = Pool();
  std::lock_guard<TPoolLock> Guard(P.Lock);
  return P.Taken;
}

void MemTableFreeKv(void* Block, size_t Size) noexcept {
  if (!Block) return;
  if (Size == 0) Size = 1;
  if (Size > PoolLimit) {
    ::operator delete(Block);
    return;
  }
  size_t Class = (Size + PoolGrain - 1) / PoolGrain;
  TBlockPool& P = Pool();
  std::lock_guard<TPoolLock> Guard(P.Lock);
  *static_cast<void**>(Block) = P.Free[Class];
  P.Free[Class] = Block;
}
TVarType varUStringKv = varUString;

// ---- Stored value conversion --------------------------------------------------------------------

namespace {

bool IsByteArray(const Variant& V) { return V.Type() == (varArray | varByte); }

TBytes ByteArrayBytes(const Variant& V) {
  Variant Copy = V;
  Integer Low = VarArrayLowBound(Copy, 1), High = VarArrayHighBound(Copy, 1);
  TBytes Result(size_t(std::max(0, High - Low + 1)));
  if (!Result.empty()) {
    const Byte* P = static_cast<const Byte*>(VarArrayLock(Copy));
    std::copy(P, P + Result.size(), Result.begin());
    VarArrayUnlock(Copy);
  }
  return Result;
}

Variant BytesToByteArray(const Byte* Data, size_t Count) {
  Variant Result = VarArrayCreate({0, Integer(Count) - 1}, varByte);
  if (Count) {
    Byte* P = static_cast<Byte*>(VarArrayLock(Result));
    std::copy(Data, Data + Count, P);
    VarArrayUnlock(Result);
  }
  return Result;
}

// Oracle blobs keep byte arrays as the others do, which the variant encoding cannot carry: they
// are written as binary too.
bool IsBinaryFieldType(TFieldType T) {
  switch (T) {
    case ftBytes: case ftVarBytes: case ftBlob: case ftGraphic: case ftParadoxOle: case ftDBaseOle: case ftTypedBinary:
    case ftOraBlob:
      return true;
    default:
      return false;
  }
}

Integer TextNumber(const String& Text, Integer Pos, Integer Len) { return StrToInt(Copy(Text, Pos, Len)); }

}  // namespace

void CastDataValue(Variant& Dest, const Variant& Source, TVarType AVarType) {
  if (Source.IsNull() || Source.IsEmpty()) {
    Dest = Source;
  } else if (AVarType == varVariant) {
    Dest = Source;
  } else if (IsByteArray(Source) && AVarType == varString) {
    ByteArrayVarToVarType(Source, Dest, varString);
  } else if (Source.Type() == varString && AVarType == (varArray | varByte)) {
    StringVarToByteArrayVar(Source, Dest);
  } else if (Source.Type() == AVarType) {
    Dest = Source;
  } else {
    Variant Result;
    VarCast(Result, Source, AVarType);
    Dest = std::move(Result);
  }
}

void StringVarToByteArrayVar(const Variant& Source, Variant& Dest) {
  if (IsByteArray(Source)) {
    Dest = Source;
  } else if (Source.Type() == varString) {
    AnsiString S = Source.AsAnsiString();
    Dest = BytesToByteArray(reinterpret_cast<const Byte*>(S.data()), S.size());
  }
}

void ByteArrayVarToVarType(const Variant& Source, Variant& Dest, TVarType AVarType) {
  if (AVarType == (varArray | varByte)) {
    Dest = Source;
  } else if (AVarType == varString) {
    TBytes B = ByteArrayBytes(Source);
    Dest = Variant(AnsiString(B.begin(), B.end()));
  }
}

namespace {

String StampText(Integer Year, Integer Month, Integer Day, Integer Hour, Integer Minute, Integer Second,
                 Integer Fractions) {
  if (Fractions != 0)
    return Format(L"%.4d-%.2d-%.2dT%.2d:%.2d:%.2d.%.3d", {Year, Month, Day, Hour, Minute, Second, Fractions});
  return Format(L"%.4d-%.2d-%.2dT%.2d:%.2d:%.2d", {Year, Month, Day, Hour, Minute, Second});
}

// Parses the fixed layout; Zone answers the offset parts.
TSQLTimeStampOffset ParseStampText(const String& Text) {
  TSQLTimeStampOffset T;
  Integer Len = Integer(Text.size());
  T.Year = SmallInt(TextNumber(Text, 1, 4));
  T.Month = Word(TextNumber(Text, 6, 2));
  T.Day = Word(TextNumber(Text, 9, 2));
  T.Hour = Len >= 13 ? Word(TextNumber(Text, 12, 2)) : 0;
  T.Minute = Len >= 16 ? Word(TextNumber(Text, 15, 2)) : 0;
  T.Second = Len >= 19 ? Word(TextNumber(Text, 18, 2)) : 0;
  Integer Zone = 20;
  if (Len >= 20 && Text[19] == L'.') {
    T.Fractions = LongWord(TextNumber(Text, 21, 3));
    Zone = 24;
  }
  if (Len >= Zone && (Text[size_t(Zone - 1)] == L'+' || Text[size_t(Zone - 1)] == L'-')) {
    Integer Sign = Text[size_t(Zone - 1)] == L'-' ? -1 : 1;
    T.TimeZoneHour = SmallInt(Sign * TextNumber(Text, Zone + 1, 2));
    T.TimeZoneMinute = SmallInt(Sign * TextNumber(Text, Zone + 4, 2));
  }
  return T;
}

}  // namespace

String SQLTimeStampVarToText(const Variant& Value) {
  TSQLTimeStamp T = VarToSQLTimeStamp(Value);
  return StampText(T.Year, T.Month, T.Day, T.Hour, T.Minute, T.Second, Integer(T.Fractions));
}

String SQLTimeStampOffsetVarToText(const Variant& Value) {
  TSQLTimeStampOffset T = VarToSQLTimeStampOffset(Value);
  String S = StampText(T.Year, T.Month, T.Day, T.Hour, T.Minute, T.Second, Integer(T.Fractions));
  if (T.TimeZoneHour != 0 || T.TimeZoneMinute != 0) {
    Integer Total = T.TimeZoneHour * 60 + T.TimeZoneMinute;
    S += Format(L"%s%.2d:%.2d", {String(Total < 0 ? L"-" : L"+"), std::abs(Integer(T.TimeZoneHour)),
                                 std::abs(Integer(T.TimeZoneMinute))});
  }
  return S;
}

Variant TextToSQLTimeStampVar(const String& Text) {
  return VarSQLTimeStampCreate(SQLTimeStampOffsetToSQLTimeStamp(ParseStampText(Text)));
}

Variant TextToSQLTimeStampOffsetVar(const String& Text) { return VarSQLTimeStampOffsetCreate(ParseStampText(Text)); }

// ---- Field descriptors --------------------------------------------------------------------------

TMTDataFieldKv::TMTDataFieldKv(TComponent* AOwner) : TComponent(AOwner) {
  TGUID G;
  CreateGUID(G);
  FGUID = GUIDToString(G);
  FAlignment = DefaultAlignment();
}

TVarType TMTDataFieldKv::VarTypeOfFieldType(TFieldType DataType) {
  switch (DataType) {
    case ftString: case ftMemo: case ftFmtMemo: case ftFixedChar: case ftOraClob: case ftGuid: case ftOraInterval:
      return varString;
    case ftWideString: return varUString;
    case ftFixedWideChar: case ftWideMemo: return varOleStr;
    case ftSmallint: return varSmallint;
    case ftInteger: case ftWord: case ftAutoInc: return varInteger;
    case ftLargeint: return varInt64;
    case ftLongWord: return varUInt32;
    case ftShortint: return varShortInt;
    case ftByte: return varByte;
    case ftFloat: case ftExtended: return varDouble;
    case ftSingle: return varSingle;
    case ftCurrency: case ftBCD: return varCurrency;
    case ftFMTBcd: return VarFMTBcd();
    case ftBoolean: return varBoolean;
    case ftDate: case ftTime: case ftDateTime: return varDate;
    case ftTimeStamp: case ftOraTimeStamp: return VarSQLTimeStamp();
    case ftTimeStampOffset: return VarSQLTimeStampOffset();
    case ftBytes: case ftVarBytes: case ftBlob: case ftGraphic: case ftParadoxOle: case ftDBaseOle: case ftTypedBinary:
    case ftOraBlob:
      return varArray | varByte;
    case ftVariant: return varVariant;
    case ftInterface: return varUnknown;
    case ftIDispatch: return varDispatch;
    case ftObject: return varEmpty;
    default: return varError;
  }
}

TVarType TMTDataFieldKv::GetVarDataType() const { return VarTypeOfFieldType(GetDataType()); }

void TMTDataFieldKv::AssignDataType(TFieldType) { throw Exception(L"Can't assign DataType from Field"); }

void TMTDataFieldKv::Changed() {
  if (FDataStruct && !FDataStruct->InUpdate()) FDataStruct->StructChanged();
}

#define MT_SETTER(Cls, Name, Type)          \
  void Cls::Set##Name(Type Value) {         \
    if (F##Name == Value) return;           \
    F##Name = Value;                        \
    Changed();                              \
  }

MT_SETTER(TMTDataFieldKv, Alignment, TAlignment)
MT_SETTER(TMTDataFieldKv, AutoIncrement, bool)
MT_SETTER(TMTDataFieldKv, DefaultExpression, const String&)
MT_SETTER(TMTDataFieldKv, DisplayLabel, const String&)
MT_SETTER(TMTDataFieldKv, DisplayWidth, Integer)
MT_SETTER(TMTDataFieldKv, EditMask, const String&)
MT_SETTER(TMTDataFieldKv, ReadOnly, bool)
MT_SETTER(TMTDataFieldKv, Required, bool)
MT_SETTER(TMTDataFieldKv, Visible, bool)
MT_SETTER(TMTDataFieldKv, Calculated, bool)

void TMTDataFieldKv::SetSize(Integer Value) {
  if (!CanDinaSize()) DatabaseError(SInvalidFieldSize, this);
  if (FSize == Value) return;
  FSize = Value;
  Changed();
}

Integer TMTDataFieldKv::GetIndex() const { return FDataStruct ? FDataStruct->FList.IndexOf(const_cast<TMTDataFieldKv*>(this)) : -1; }

void TMTDataFieldKv::SetIndex(Integer Value) {
  if (!FDataStruct) return;
  Integer Cur = GetIndex();
  if (Cur >= 0 && Value >= 0 && Value < FDataStruct->GetCount() && Value != Cur) FDataStruct->FList.Move(Cur, Value);
  ++FDataStruct->FLayoutVersion;
  FDataStruct->StructChanged();
}

void TMTDataFieldKv::SetDataStruct(TMTDataStructKv* Value) {
  if (FDataStruct == Value) return;
  if (FDataStruct) FDataStruct->RemoveField(this);
  if (Value) Value->InsertField(this);
}

void TMTDataFieldKv::SetFieldName(const String& Value) {
  if (FFieldName == Value) return;
  TMTDataStructKv* Struct = FDataStruct;
  if (Struct && Struct->FMemTableData) Struct->FMemTableData->FieldNameChanging(this, Value);
  if (Struct && !AnsiSameText(FFieldName, Value)) Struct->CheckFieldName(Value);
  FFieldName = Value;
  // A descriptor being read keeps the component name its stream gives.
  if (!GetComponentState().Contains(csReading)) {
    String NewName = BuildComponentName(Value);
    if (!SameIdent(NewName, GetName())) SetName(NewName);
  }
  Changed();
}

namespace {

String CleanIdent(const String& S) {
  String R;
  for (size_t I = 0; I < S.size(); ++I) {
    wchar_t C = S[I];
    if ((C >= L'a' && C <= L'z') || (C >= L'A' && C <= L'Z') || (C >= L'0' && C <= L'9') || C == L'_') {
      R += C;
    } else if (C >= 0xD800 && C <= 0xDBFF) {
      ++I;  // the trailing unit of the pair goes with it
    }
  }
  return R;
}

}  // namespace

String TMTDataFieldKv::BuildComponentName(const String& AFieldName) {
  String Base = CleanIdent(AFieldName);
  if (Base.empty() || (Base[0] >= L'0' && Base[0] <= L'9')) {
    String Cls = ClassName();
    if (!Cls.empty() && Cls[0] == L'T') Cls.erase(0, 1);
    Base = CleanIdent(Cls + Base);
  }
  TComponent* Scope = dynamic_cast<TMTDataStructKv*>(GetOwner());
  if (!Scope) Scope = FDataStruct;
  for (Integer Try = 1;; ++Try) {
    String Candidate = Try == 1 ? Base : Base + IntToStr(Try);
    if (!Scope) return Candidate;
    bool Taken = false;
    for (Integer I = 0; I < Scope->GetComponentCount() && !Taken; ++I)
      Taken = SameIdent(Scope->GetComponents(I)->GetName(), Candidate);  // component names are identifiers
    if (!Taken) return Candidate;
  }
}

void TMTDataFieldKv::Assign(TPersistent* Source) {
  auto* Src = dynamic_cast<TMTDataFieldKv*>(Source);
  if (!Src) {
    TComponent::Assign(Source);
    return;
  }
  SetFieldName(Src->GetFieldName());
  if (CanDinaSize() && Src->CanDinaSize()) SetSize(Src->GetSize());
  SetAlignment(Src->GetAlignment());
  SetDefaultExpression(Src->GetDefaultExpression());
  SetDisplayLabel(Src->GetDisplayLabel());
  SetDisplayWidth(Src->GetDisplayWidth());
  SetEditMask(Src->GetEditMask());
  SetRequired(Src->GetRequired());
  SetVisible(Src->GetVisible());
  SetAutoIncrement(Src->GetAutoIncrement());
  SetCalculated(Src->GetCalculated());
}

void TMTDataFieldKv::AssignProps(TField* Field) {
  SetAlignment(Field->GetAlignment());
  SetDefaultExpression(Field->GetDefaultExpression());
  SetDisplayLabel(Field->GetDisplayLabel());
  SetDisplayWidth(Field->GetDisplayWidth());
  SetEditMask(Field->GetEditMask());
  SetRequired(Field->GetRequired());
  SetVisible(Field->GetVisible());
  if (CanDinaSize()) SetSize(Field->GetSize());
  if (Field->GetAutoGenerateValue() == arAutoInc) SetAutoIncrement(true);
  SetCalculated(Field->GetFieldKind() == fkInternalCalc);
}

void TMTDataFieldKv::AssignPropsTo(TField* Field) {
  Field->SetAlignment(GetAlignment());
  Field->SetDefaultExpression(GetDefaultExpression());
  Field->SetDisplayLabel(GetDisplayLabel());
  Field->SetDisplayWidth(GetDisplayWidth());
  Field->SetEditMask(GetEditMask());
  Field->SetRequired(GetRequired());
  Field->SetVisible(GetVisible());
  if (CanDinaSize()) Field->SetSize(GetSize());
  if (GetAutoIncrement()) Field->SetAutoGenerateValue(arAutoInc);
}

namespace {

// A value of a variant field whose type the stream's own tags would not bring back (a BCD, a time
// stamp, an integer or text of another width, a byte array) is written as a list of the type's
// name and the value, and read back as that type; any other value is written plain.
const wchar_t* TypeTagOf(TVarType T) {
  switch (T) {
    case varSmallint: return L"Smallint";
    case varShortInt: return L"ShortInt";
    case varByte: return L"Byte";
    case varWord: return L"Word";
    case varLongWord: return L"LongWord";
    case varInt64: return L"Int64";
    case varUInt64: return L"UInt64";
    case varOleStr: return L"OleStr";
    case varString: return L"String";
    case varArray | varByte: return L"Bytes";
    default: break;
  }
  if (T == VarFMTBcd()) return L"FMTBcd";
  if (T == VarSQLTimeStampOffset()) return L"SQLTimeStampOffset";
  if (T == VarSQLTimeStamp()) return L"SQLTimeStamp";
  return nullptr;
}

bool TypeOfTag(const String& Tag, TVarType& T) {
  const TVarType Tagged[] = {varSmallint, varShortInt,  varByte,     varWord,         varLongWord,
                             varInt64,    varUInt64,    varOleStr,   varString,       varArray | varByte,
                             VarFMTBcd(), VarSQLTimeStampOffset(),   VarSQLTimeStamp()};
  for (TVarType Candidate : Tagged)
    if (Tag == TypeTagOf(Candidate)) {
      T = Candidate;
      return true;
    }
  return false;
}

void WriteTypedValue(const Variant& Value, const wchar_t* Tag, TWriter* Writer) {
  Writer->WriteListBegin();
  Writer->WriteString(Tag);
  if (VarIsFMTBcd(Value)) {
    Writer->WriteString(VarToStrFixedFormat(Value));
  } else if (VarIsSQLTimeStampOffset(Value)) {
    Writer->WriteString(SQLTimeStampOffsetVarToText(Value));
  } else if (VarIsSQLTimeStamp(Value)) {
    Writer->WriteString(SQLTimeStampVarToText(Value));
  } else if (IsByteArray(Value)) {
    TBytes B = ByteArrayBytes(Value);
    Writer->WriteBinary(B.data(), Integer(B.size()));
  } else if (Value.Type() == varUInt64) {
    Writer->WriteInteger(Int64(Value.AsUInt64()));  // the bits: a stream's integers are signed
  } else {
    Writer->WriteVariant(Value);
  }
  Writer->WriteListEnd();
}

Variant ReadTypedValue(TReader* Reader) {
  auto Refuse = [] { throw EReadError(L"Invalid property value"); };
  Reader->ReadListBegin();
  TValueType Next = Reader->NextValue();
  if (Next != vaString && Next != vaLString && Next != vaWString && Next != vaUTF8String) Refuse();
  TVarType T = varEmpty;
  if (!TypeOfTag(Reader->ReadString(), T)) Refuse();
  Variant V;
  if (T == (varArray | varByte)) {
    if (Reader->NextValue() != vaBinary) Refuse();
    TBytes B = Reader->ReadBinary();
    V = BytesToByteArray(B.data(), B.size());
  } else {
    Variant Raw = Reader->ReadVariant();
    bool Text = T == varOleStr || T == varString || T == VarFMTBcd() || T == VarSQLTimeStamp() ||
                T == VarSQLTimeStampOffset();
    bool Whole = Raw.Type() == varInteger || Raw.Type() == varInt64;
    if (Text ? !VarIsStr(Raw) : !Whole) Refuse();
    try {
      if (T == VarFMTBcd()) V = StrToVarFixedFormat(Raw.AsString(), VarFMTBcd());
      else if (T == VarSQLTimeStampOffset()) V = TextToSQLTimeStampOffsetVar(Raw.AsString());
      else if (T == VarSQLTimeStamp()) V = TextToSQLTimeStampVar(Raw.AsString());
      else if (T == varUInt64) V = Variant(static_cast<unsigned long long>(UInt64(Raw.AsInt64())));
      else V = VarAsType(Raw, T);
    } catch (const Exception&) {
      Refuse();  // text that is no value of the type, or a number out of its range: damaged
    }
  }
  Reader->ReadListEnd();
  return V;
}

}  // namespace

void TMTDataFieldKv::WriteDataToWriter(const Variant& Value, TWriter* Writer) {
  TFieldType T = GetDataType();
  if (IsBinaryFieldType(T)) {
    // Null stays Null through a stream: the empty value, not an empty byte array.
    if (Value.IsNull() || Value.IsEmpty()) {
      Writer->WriteValue(vaNil);
      return;
    }
    Variant Bytes;
    StringVarToByteArrayVar(Value, Bytes);
    if (!IsByteArray(Bytes))
      throw EWriteError(Format(L"Field '%s': a value of type %s cannot be stored as binary data",
                               {GetFieldName(), VarTypeAsText(Value.Type())}));
    TBytes B = ByteArrayBytes(Bytes);
    Writer->WriteBinary(B.data(), Integer(B.size()));
    return;
  }
  if (Value.IsNull()) {
    Writer->WriteValue(vaNil);
  } else if (Value.IsEmpty()) {
    throw Exception(L"\"TMemoryRecordKv.WriteData\" - Invalid variant type - varEmpty");
  } else if (const wchar_t* Tag = FVarDataType == varVariant ? TypeTagOf(Value.Type()) : nullptr) {
    WriteTypedValue(Value, Tag, Writer);
  } else if (VarIsSQLTimeStampOffset(Value)) {
    Writer->WriteString(SQLTimeStampOffsetVarToText(Value));
  } else if (VarIsSQLTimeStamp(Value)) {
    Writer->WriteString(SQLTimeStampVarToText(Value));
  } else if (VarIsFMTBcd(Value)) {
    Writer->WriteString(VarToStrFixedFormat(Value));
  } else {
    Writer->WriteVariant(Value);
  }
}

void TMTDataFieldKv::ReadDataFromReader(Variant& Value, TReader* Reader) {
  TFieldType T = GetDataType();
  if (IsBinaryFieldType(T)) {
    TValueType Next = Reader->NextValue();
    if (Next == vaNil) {
      Reader->ReadValue();
      Value = Null;
      return;
    }
    if (Next != vaBinary) {
      Reader->SkipValue();
      throw EReadError(L"Invalid property value");
    }
    TBytes B = Reader->ReadBinary();
    Variant Bytes = BytesToByteArray(B.data(), B.size());
    Value = Null;
    ByteArrayVarToVarType(Bytes, Value, FVarDataType);
    return;
  }
  if (FVarDataType == varVariant && Reader->NextValue() == vaList) {
    Value = ReadTypedValue(Reader);
    return;
  }
  Variant V = Reader->ReadVariant();
  if (V.IsEmpty()) V = Null;
  if (!V.IsNull()) {
    if (FVarDataType == VarFMTBcd()) {
      V = StrToVarFixedFormat(V.AsString(), VarFMTBcd());
    } else if (VarIsStr(V) && FVarDataType == VarSQLTimeStamp()) {
      V = TextToSQLTimeStampVar(V.AsString());
    } else if (VarIsStr(V) && FVarDataType == VarSQLTimeStampOffset()) {
      V = TextToSQLTimeStampOffsetVar(V.AsString());
    }
  }
  if (FVarDataType == varVariant) {
    Value = V;
  } else {
    CastDataValue(Value, V, FVarDataType);
  }
}

void TMTDataFieldKv::ReadState(TReader* Reader) {
  TComponent::ReadState(Reader);
  if (auto* Struct = dynamic_cast<TMTDataStructKv*>(Reader->GetParent())) {
    if (FDataStruct != Struct || Struct->FList.IndexOf(this) < 0) {
      FDataStruct = nullptr;
      Struct->InsertField(this);
    }
  }
}

TComponent* TMTDataFieldKv::GetParentComponent() const { return FDataStruct; }

void TMTDataFieldKv::SetParentComponent(TComponent* Value) { FDataStruct = dynamic_cast<TMTDataStructKv*>(Value); }

PUBLISHED_DEF(TMTDataFieldKv) {
  PROP(FieldName);
  PROP(Calculated).Default(false);
}

// -- Strings

TMTStringDataFieldKv::TMTStringDataFieldKv(TComponent* AOwner) : TMTDataFieldKv(AOwner) {
  if (GetSize() == 0) SetSize(20);
  UpdateVarDataType();
}

TFieldType TMTStringDataFieldKv::GetDataType() const {
  static const TFieldType Map[] = {ftString, ftFixedChar, ftWideString, ftGuid, ftFixedWideChar, ftOraInterval};
  return Map[FStringDataType];
}

void TMTStringDataFieldKv::AssignDataType(TFieldType FieldType) {
  switch (FieldType) {
    case ftString: SetStringDataType(fdtStringKv); break;
    case ftFixedChar: SetStringDataType(fdtFixedCharKv); break;
    case ftWideString: SetStringDataType(fdtWideStringKv); break;
    case ftGuid: SetStringDataType(fdtGuidKv); break;
    case ftFixedWideChar: SetStringDataType(fdtFixedWideCharKv); break;
    case ftOraInterval: SetStringDataType(fdtOraIntervalKv); break;
    default: throw Exception(L"Can not assign DataType from Field");
  }
  UpdateVarDataType();
}

void TMTStringDataFieldKv::SetStringDataType(TStringDataFieldTypesKv Value) {
  if (FStringDataType == Value) return;
  FStringDataType = Value;
  if (Value == fdtGuidKv) SetSize(38);
  UpdateVarDataType();
  Changed();
}

MT_SETTER(TMTStringDataFieldKv, FixedChar, bool)
MT_SETTER(TMTStringDataFieldKv, Transliterate, bool)

void TMTStringDataFieldKv::Assign(TPersistent* Source) {
  TMTDataFieldKv::Assign(Source);
  if (auto* Src = dynamic_cast<TMTStringDataFieldKv*>(Source)) {
    SetStringDataType(Src->GetStringDataType());
    SetSize(Src->GetSize());
    SetFixedChar(Src->GetFixedChar());
    SetTransliterate(Src->GetTransliterate());
  }
}

void TMTStringDataFieldKv::AssignProps(TField* Field) {
  TMTDataFieldKv::AssignProps(Field);
  if (auto* F = dynamic_cast<TStringField*>(Field)) {
    SetFixedChar(F->GetFixedChar());
    SetTransliterate(F->GetTransliterate());
  }
}

void TMTStringDataFieldKv::AssignPropsTo(TField* Field) {
  TMTDataFieldKv::AssignPropsTo(Field);
  if (auto* F = dynamic_cast<TStringField*>(Field)) {
    F->SetFixedChar(GetFixedChar());
    F->SetTransliterate(GetTransliterate());
  }
}

PUBLISHED_DEF(TMTStringDataFieldKv) {
  PROP(StringDataType).Default(fdtStringKv);
  PROP(FixedChar).Default(false);
  PROP(Size).Default(20);
  PROP(Transliterate).Default(false);
  PROP(Alignment).Default(taLeftJustify);
  PROP(DisplayLabel);
  PROP(DisplayWidth).Stored(&TMTDataFieldKv::IsDisplayWidthStored);
  PROP(Required).Default(false);
  PROP(Visible).Default(true);
  PROP(DefaultExpression);
  PROP(EditMask);
}

// -- Numbers

namespace {
const TFieldType NumericTypes[] = {ftSmallint, ftInteger, ftWord,     ftFloat,    ftCurrency, ftBCD,      ftAutoInc,
                                   ftLargeint, ftFMTBcd,  ftLongWord, ftShortint, ftByte,     ftExtended, ftSingle};
}

TMTNumericDataFieldKv::TMTNumericDataFieldKv(TComponent* AOwner) : TMTDataFieldKv(AOwner) {
  SetAlignment(taRightJustify);
  UpdateVarDataType();
}

TFieldType TMTNumericDataFieldKv::GetDataType() const { return NumericTypes[FNumericDataType]; }

Integer TMTNumericDataFieldKv::GetDefaultDisplayWidth() const {
  if (FNumericDataType == fdtLargeintKv) return 15;
  if ((FNumericDataType == fdtBCDKv || FNumericDataType == fdtFMTBcdKv) && FPrecision > 0) return FPrecision + 1;
  return 10;
}

void TMTNumericDataFieldKv::AssignDataType(TFieldType FieldType) {
  for (Integer I = 0; I < Integer(std::size(NumericTypes)); ++I)
    if (NumericTypes[I] == FieldType) {
      SetNumericDataType(TNumericDataFieldTypesKv(I));
      UpdateVarDataType();
      return;
    }
  throw Exception(L"Can not assign DataType from Field");
}

void TMTNumericDataFieldKv::SetNumericDataType(TNumericDataFieldTypesKv Value) {
  if (FNumericDataType == Value) return;
  FNumericDataType = Value;
  if (CanDinaSize() && GetSize() == 0) SetSize(DefaultSize());
  UpdateVarDataType();
  Changed();
}

MT_SETTER(TMTNumericDataFieldKv, DisplayFormat, const String&)
MT_SETTER(TMTNumericDataFieldKv, EditFormat, const String&)
MT_SETTER(TMTNumericDataFieldKv, MaxValue, Double)
MT_SETTER(TMTNumericDataFieldKv, MinValue, Double)
MT_SETTER(TMTNumericDataFieldKv, Precision, Integer)

void TMTNumericDataFieldKv::Setcurrency(bool Value) {
  if (FCurrency == Value) return;
  FCurrency = Value;
  Changed();
}

void TMTNumericDataFieldKv::Assign(TPersistent* Source) {
  TMTDataFieldKv::Assign(Source);
  if (auto* Src = dynamic_cast<TMTNumericDataFieldKv*>(Source)) {
    SetNumericDataType(Src->GetNumericDataType());
    SetDisplayFormat(Src->GetDisplayFormat());
    SetEditFormat(Src->GetEditFormat());
    Setcurrency(Src->Getcurrency());
    SetMaxValue(Src->GetMaxValue());
    SetMinValue(Src->GetMinValue());
    SetPrecision(Src->GetPrecision());
    if (CanDinaSize()) SetScale(Src->GetScale());
  }
}

void TMTNumericDataFieldKv::AssignProps(TField* Field) {
  TMTDataFieldKv::AssignProps(Field);
  if (auto* F = dynamic_cast<TNumericField*>(Field)) {
    SetDisplayFormat(F->GetDisplayFormat());
    SetEditFormat(F->GetEditFormat());
  }
  if (auto* F = dynamic_cast<TIntegerField*>(Field)) {
    SetMaxValue(F->GetMaxValue());
    SetMinValue(F->GetMinValue());
  } else if (auto* F = dynamic_cast<TLargeintField*>(Field)) {
    SetMaxValue(Double(F->GetMaxValue()));
    SetMinValue(Double(F->GetMinValue()));
  } else if (auto* F = dynamic_cast<TFloatField*>(Field)) {
    Setcurrency(F->GetCurrency());
    SetMaxValue(F->GetMaxValue());
    SetMinValue(F->GetMinValue());
    SetPrecision(F->GetPrecision());
  } else if (auto* F = dynamic_cast<TBCDField*>(Field)) {
    Setcurrency(F->GetCurrency());
    SetMaxValue(F->GetMaxValue().ToDouble());
    SetMinValue(F->GetMinValue().ToDouble());
    SetPrecision(F->GetPrecision());
    if (CanDinaSize()) SetScale(F->GetSize());
  } else if (auto* F = dynamic_cast<TFMTBCDField*>(Field)) {
    Setcurrency(F->GetCurrency());
    SetPrecision(F->GetPrecision());
    if (CanDinaSize()) SetScale(F->GetSize());
  }
}

void TMTNumericDataFieldKv::AssignPropsTo(TField* Field) {
  TMTDataFieldKv::AssignPropsTo(Field);
  if (auto* F = dynamic_cast<TNumericField*>(Field)) {
    F->SetDisplayFormat(GetDisplayFormat());
    F->SetEditFormat(GetEditFormat());
  }
  if (auto* F = dynamic_cast<TIntegerField*>(Field)) {
    F->SetMaxValue(Integer(GetMaxValue()));
    F->SetMinValue(Integer(GetMinValue()));
  } else if (auto* F = dynamic_cast<TLargeintField*>(Field)) {
    F->SetMaxValue(Int64(GetMaxValue()));
    F->SetMinValue(Int64(GetMinValue()));
  } else if (auto* F = dynamic_cast<TFloatField*>(Field)) {
    F->SetCurrency(Getcurrency());
    F->SetMaxValue(GetMaxValue());
    F->SetMinValue(GetMinValue());
    F->SetPrecision(GetPrecision());
  } else if (auto* F = dynamic_cast<TBCDField*>(Field)) {
    F->SetCurrency(Getcurrency());
    F->SetMaxValue(Currency(GetMaxValue()));
    F->SetMinValue(Currency(GetMinValue()));
    F->SetPrecision(GetPrecision());
    F->SetSize(GetScale());
  } else if (auto* F = dynamic_cast<TFMTBCDField*>(Field)) {
    F->SetCurrency(Getcurrency());
    F->SetPrecision(GetPrecision());
    F->SetSize(GetScale());
  }
}

PUBLISHED_DEF(TMTNumericDataFieldKv) {
  PROP(NumericDataType).Default(fdtSmallintKv);
  PROP(AutoIncrement).Default(false);
  PROP(Alignment).Default(taRightJustify);
  PROP(DisplayFormat);
  PROP(EditFormat);
  PROP(currency).Default(false);
  PROP(MaxValue);
  PROP(MinValue);
  PROP(Precision).Default(15);
  PROP(Scale).Stored(&TMTNumericDataFieldKv::IsScaleStored);
  PROP(DisplayLabel);
  PROP(DisplayWidth).Stored(&TMTDataFieldKv::IsDisplayWidthStored);
  PROP(Required).Default(false);
  PROP(Visible).Default(true);
  PROP(DefaultExpression);
  PROP(EditMask);
}

// -- Dates and times

TMTDateTimeDataFieldKv::TMTDateTimeDataFieldKv(TComponent* AOwner) : TMTDataFieldKv(AOwner) { UpdateVarDataType(); }

TFieldType TMTDateTimeDataFieldKv::GetDataType() const {
  static const TFieldType Map[] = {ftDate, ftTime, ftDateTime};
  return Map[FDateTimeDataType];
}

void TMTDateTimeDataFieldKv::AssignDataType(TFieldType FieldType) {
  switch (FieldType) {
    case ftDate: SetDateTimeDataType(fdtDateKv); break;
    case ftTime: SetDateTimeDataType(fdtTimeKv); break;
    case ftDateTime: SetDateTimeDataType(fdtDateTimeKv); break;
    default: throw Exception(L"Can not assign DataType from Field");
  }
  UpdateVarDataType();
}

void TMTDateTimeDataFieldKv::SetDateTimeDataType(TDateTimeDataFieldTypesKv Value) {
  if (FDateTimeDataType == Value) return;
  FDateTimeDataType = Value;
  UpdateVarDataType();
  Changed();
}

MT_SETTER(TMTDateTimeDataFieldKv, DisplayFormat, const String&)

void TMTDateTimeDataFieldKv::Assign(TPersistent* Source) {
  TMTDataFieldKv::Assign(Source);
  if (auto* Src = dynamic_cast<TMTDateTimeDataFieldKv*>(Source)) {
    SetDateTimeDataType(Src->GetDateTimeDataType());
    SetDisplayFormat(Src->GetDisplayFormat());
  }
}

void TMTDateTimeDataFieldKv::AssignProps(TField* Field) {
  TMTDataFieldKv::AssignProps(Field);
  if (auto* F = dynamic_cast<TDateTimeField*>(Field)) SetDisplayFormat(F->GetDisplayFormat());
}

void TMTDateTimeDataFieldKv::AssignPropsTo(TField* Field) {
  TMTDataFieldKv::AssignPropsTo(Field);
  if (auto* F = dynamic_cast<TDateTimeField*>(Field)) F->SetDisplayFormat(GetDisplayFormat());
}

PUBLISHED_DEF(TMTDateTimeDataFieldKv) {
  PROP(DateTimeDataType).Default(fdtDateKv);
  PROP(DisplayFormat);
  PROP(Alignment).Default(taLeftJustify);
  PROP(DisplayLabel);
  PROP(DisplayWidth).Stored(&TMTDataFieldKv::IsDisplayWidthStored);
  PROP(Required).Default(false);
  PROP(Visible).Default(true);
  PROP(DefaultExpression);
  PROP(EditMask);
}

// -- Blobs

TMTBlobDataFieldKv::TMTBlobDataFieldKv(TComponent* AOwner) : TMTDataFieldKv(AOwner) { UpdateVarDataType(); }

void TMTBlobDataFieldKv::AssignDataType(TFieldType FieldType) {
  // Any type from ftBlob to ftWideMemo is taken; others leave the type as it is.
  if (FieldType >= ftBlob && FieldType <= ftWideMemo) SetBlobType(FieldType);
  UpdateVarDataType();
}

void TMTBlobDataFieldKv::SetBlobType(TBlobType Value) {
  if (FBlobType == Value) return;
  FBlobType = Value;
  UpdateVarDataType();
  Changed();
}

MT_SETTER(TMTBlobDataFieldKv, GraphicHeader, bool)
MT_SETTER(TMTBlobDataFieldKv, Transliterate, bool)

void TMTBlobDataFieldKv::Assign(TPersistent* Source) {
  TMTDataFieldKv::Assign(Source);
  if (auto* Src = dynamic_cast<TMTBlobDataFieldKv*>(Source)) {
    SetBlobType(Src->GetBlobType());
    SetGraphicHeader(Src->GetGraphicHeader());
    SetTransliterate(Src->GetTransliterate());
  }
}

void TMTBlobDataFieldKv::AssignProps(TField* Field) {
  TMTDataFieldKv::AssignProps(Field);
  if (auto* F = dynamic_cast<TBlobField*>(Field)) {
    SetBlobType(F->GetBlobType());
    SetGraphicHeader(F->GetGraphicHeader());
    SetTransliterate(F->GetTransliterate());
  }
}

void TMTBlobDataFieldKv::AssignPropsTo(TField* Field) {
  TMTDataFieldKv::AssignPropsTo(Field);
  if (auto* F = dynamic_cast<TBlobField*>(Field)) {
    F->SetBlobType(GetBlobType());
    F->SetGraphicHeader(GetGraphicHeader());
    F->SetTransliterate(GetTransliterate());
  }
}

PUBLISHED_DEF(TMTBlobDataFieldKv) {
  PROP(BlobType).Default(ftBlob);
  PROP(GraphicHeader).Default(true);
  PROP(Transliterate).Default(false);
  PROP(Alignment).Default(taLeftJustify);
  PROP(DisplayLabel);
  PROP(DisplayWidth).Stored(&TMTDataFieldKv::IsDisplayWidthStored);
  PROP(Required).Default(false);
  PROP(Visible).Default(true);
  PROP(DefaultExpression);
  PROP(EditMask);
}

// -- Booleans

TMTBooleanDataFieldKv::TMTBooleanDataFieldKv(TComponent* AOwner) : TMTDataFieldKv(AOwner) { UpdateVarDataType(); }

Integer TMTBooleanDataFieldKv::GetDefaultDisplayWidth() const {
  return Integer(std::max(String(STextTrue).size(), String(STextFalse).size()));
}

void TMTBooleanDataFieldKv::AssignDataType(TFieldType FieldType) {
  if (FieldType != ftBoolean) throw Exception(L"Can not assign DataType from Field");
  UpdateVarDataType();
}

MT_SETTER(TMTBooleanDataFieldKv, DisplayValues, const String&)

void TMTBooleanDataFieldKv::Assign(TPersistent* Source) {
  TMTDataFieldKv::Assign(Source);
  if (auto* Src = dynamic_cast<TMTBooleanDataFieldKv*>(Source)) SetDisplayValues(Src->GetDisplayValues());
}

void TMTBooleanDataFieldKv::AssignProps(TField* Field) {
  TMTDataFieldKv::AssignProps(Field);
  if (auto* F = dynamic_cast<TBooleanField*>(Field)) SetDisplayValues(F->GetDisplayValues());
}

void TMTBooleanDataFieldKv::AssignPropsTo(TField* Field) {
  TMTDataFieldKv::AssignPropsTo(Field);
  if (auto* F = dynamic_cast<TBooleanField*>(Field))
    if (!GetDisplayValues().empty()) F->SetDisplayValues(GetDisplayValues());
}

PUBLISHED_DEF(TMTBooleanDataFieldKv) {
  PROP(DisplayValues);
  PROP(Alignment).Default(taLeftJustify);
  PROP(DisplayLabel);
  PROP(DisplayWidth).Stored(&TMTDataFieldKv::IsDisplayWidthStored);
  PROP(Required).Default(false);
  PROP(Visible).Default(true);
  PROP(DefaultExpression);
  PROP(EditMask);
}

// -- Interfaces

TMTInterfaceDataFieldKv::TMTInterfaceDataFieldKv(TComponent* AOwner) : TMTDataFieldKv(AOwner) { UpdateVarDataType(); }

TFieldType TMTInterfaceDataFieldKv::GetDataType() const {
  return FInterfaceDataType == fdtInterfaceKv ? ftInterface : ftIDispatch;
}

void TMTInterfaceDataFieldKv::AssignDataType(TFieldType FieldType) {
  if (FieldType == ftInterface) SetInterfaceDataType(fdtInterfaceKv);
  else if (FieldType == ftIDispatch) SetInterfaceDataType(fdtIDispatchKv);
  else throw Exception(L"Can not assign DataType from Field");
  UpdateVarDataType();
}

void TMTInterfaceDataFieldKv::SetInterfaceDataType(TInterfaceDataFieldTypesKv Value) {
  if (FInterfaceDataType == Value) return;
  FInterfaceDataType = Value;
  UpdateVarDataType();
  Changed();
}

PUBLISHED_DEF(TMTInterfaceDataFieldKv) {
  PROP(InterfaceDataType).Default(fdtInterfaceKv);
  PROP(Alignment).Default(taLeftJustify);
  PROP(DisplayLabel);
  PROP(DisplayWidth).Stored(&TMTDataFieldKv::IsDisplayWidthStored);
  PROP(Required).Default(false);
  PROP(Visible).Default(true);
  PROP(DefaultExpression);
}

// -- Variants

TMTVariantDataFieldKv::TMTVariantDataFieldKv(TComponent* AOwner) : TMTDataFieldKv(AOwner) { UpdateVarDataType(); }

TFieldType TMTVariantDataFieldKv::GetDataType() const {
  static const TFieldType Map[] = {ftVariant, ftBytes, ftVarBytes};
  return Map[FVariantDataType];
}

void TMTVariantDataFieldKv::AssignDataType(TFieldType FieldType) {
  if (FieldType == ftVariant) SetVariantDataType(fdtVariant);
  else if (FieldType == ftBytes) SetVariantDataType(fdtBytes);
  else if (FieldType == ftVarBytes) SetVariantDataType(fdtVarBytes);
  else throw Exception(L"Can not assign DataType from Field");
  UpdateVarDataType();
}

void TMTVariantDataFieldKv::SetVariantDataType(TVariantDataFieldTypesKv Value) {
  if (FVariantDataType == Value) return;
  FVariantDataType = Value;
  UpdateVarDataType();
  Changed();
}

PUBLISHED_DEF(TMTVariantDataFieldKv) {
  PROP(VariantDataType).Default(fdtVariant);
  PROP(Size).Stored(&TMTVariantDataFieldKv::IsSizeStored);
  PROP(Alignment).Default(taLeftJustify);
  PROP(DisplayLabel);
  PROP(DisplayWidth).Stored(&TMTDataFieldKv::IsDisplayWidthStored);
  PROP(Required).Default(false);
  PROP(Visible).Default(true);
  PROP(DefaultExpression);
}

// -- Object references

TMTRefObjectFieldKv::TMTRefObjectFieldKv(TComponent* AOwner) : TMTDataFieldKv(AOwner) { UpdateVarDataType(); }

void TMTRefObjectFieldKv::AssignDataType(TFieldType FieldType) {
  if (FieldType != ftUnknown) throw Exception(L"Can not assign DataType from Field");
  UpdateVarDataType();
}

PUBLISHED_DEF(TMTRefObjectFieldKv) {
  PROP(Alignment).Default(taLeftJustify);
  PROP(DisplayLabel);
  PROP(DisplayWidth).Stored(&TMTDataFieldKv::IsDisplayWidthStored);
  PROP(Required).Default(false);
  PROP(Visible).Default(true);
}

// -- SQL time stamps

TMTSQLTimeStampDataFieldKv::TMTSQLTimeStampDataFieldKv(TComponent* AOwner) : TMTDataFieldKv(AOwner) {
  UpdateVarDataType();
}

TFieldType TMTSQLTimeStampDataFieldKv::GetDataType() const {
  static const TFieldType Map[] = {ftTimeStamp, ftOraTimeStamp, ftTimeStampOffset};
  return Map[FSQLTimeStampDataFieldType];
}

void TMTSQLTimeStampDataFieldKv::AssignDataType(TFieldType FieldType) {
  if (FieldType == ftTimeStamp) SetSQLTimeStampDataFieldType(fdtTimeStampKv);
  else if (FieldType == ftOraTimeStamp) SetSQLTimeStampDataFieldType(fdtOraTimeStampKv);
  else if (FieldType == ftTimeStampOffset) SetSQLTimeStampDataFieldType(fdtTimeStampOffsetKv);
  else throw Exception(L"Can not assign DataType from Field");
  UpdateVarDataType();
}

void TMTSQLTimeStampDataFieldKv::SetSQLTimeStampDataFieldType(TSQLTimeStampDataFieldTypesKv Value) {
  if (FSQLTimeStampDataFieldType == Value) return;
  FSQLTimeStampDataFieldType = Value;
  UpdateVarDataType();
}

MT_SETTER(TMTSQLTimeStampDataFieldKv, DisplayFormat, const String&)

void TMTSQLTimeStampDataFieldKv::Assign(TPersistent* Source) {
  TMTDataFieldKv::Assign(Source);
  if (auto* Src = dynamic_cast<TMTSQLTimeStampDataFieldKv*>(Source)) {
    SetSQLTimeStampDataFieldType(Src->GetSQLTimeStampDataFieldType());
    SetDisplayFormat(Src->GetDisplayFormat());
  }
}

void TMTSQLTimeStampDataFieldKv::AssignProps(TField* Field) {
  TMTDataFieldKv::AssignProps(Field);
  if (auto* F = dynamic_cast<TSQLTimeStampField*>(Field)) SetDisplayFormat(F->GetDisplayFormat());
}

void TMTSQLTimeStampDataFieldKv::AssignPropsTo(TField* Field) {
  TMTDataFieldKv::AssignPropsTo(Field);
  if (auto* F = dynamic_cast<TSQLTimeStampField*>(Field)) F->SetDisplayFormat(GetDisplayFormat());
}

PUBLISHED_DEF(TMTSQLTimeStampDataFieldKv) {
  PROP(SQLTimeStampDataFieldType).Default(fdtTimeStampKv);
  PROP(DisplayFormat);
  PROP(Alignment).Default(taLeftJustify);
  PROP(DisplayLabel);
  PROP(DisplayWidth).Stored(&TMTDataFieldKv::IsDisplayWidthStored);
  PROP(Required).Default(false);
  PROP(Visible).Default(true);
  PROP(DefaultExpression);
  PROP(EditMask);
}

TMTDataFieldClassKv DataFieldClassForType(TFieldType DataType) {
  switch (DataType) {
    case ftUnknown: return TMTRefObjectFieldKv::StaticClass();
    case ftString: case ftFixedChar: case ftWideString: case ftGuid: case ftFixedWideChar: case ftOraInterval:
      return TMTStringDataFieldKv::StaticClass();
    case ftSmallint: case ftInteger: case ftWord: case ftFloat: case ftCurrency: case ftBCD: case ftAutoInc:
    case ftLargeint: case ftFMTBcd: case ftLongWord: case ftShortint: case ftByte: case ftExtended: case ftSingle:
      return TMTNumericDataFieldKv::StaticClass();
    case ftBoolean: return TMTBooleanDataFieldKv::StaticClass();
    case ftDate: case ftTime: case ftDateTime: return TMTDateTimeDataFieldKv::StaticClass();
    case ftBytes: case ftVarBytes: case ftVariant: return TMTVariantDataFieldKv::StaticClass();
    case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftParadoxOle: case ftDBaseOle: case ftTypedBinary:
    case ftOraBlob: case ftOraClob: case ftWideMemo:
      return TMTBlobDataFieldKv::StaticClass();
    case ftInterface: case ftIDispatch: return TMTInterfaceDataFieldKv::StaticClass();
    case ftTimeStamp: case ftOraTimeStamp: case ftTimeStampOffset: return TMTSQLTimeStampDataFieldKv::StaticClass();
    default: return nullptr;
  }
}


// ---- The data structure -------------------------------------------------------------------------

TMTDataStructKv::TMTDataStructKv(TComponent* AOwner) : TComponent(AOwner) {
  FMemTableData = dynamic_cast<TMemTableDataKv*>(AOwner);
}

TMTDataStructKv* TMTDataStructKv::CreateFor(TMemTableDataKv* AMemTableData) {
  auto* S = new TMTDataStructKv(nullptr);
  S->FMemTableData = AMemTableData;
  return S;
}

TMTDataStructKv::~TMTDataStructKv() = default;

void TMTDataStructKv::DestroyContents() {
  // The descriptors are owned components; forget them before the owner frees them.
  FList.Clear();
  TComponent::DestroyContents();
}

TMTDataFieldKv* TMTDataStructKv::CreateField(TMTDataFieldClassKv FieldClass) {
  TMTDataFieldKv* F = FieldClass.Create(static_cast<TComponent*>(this));
  F->FFieldId = FNextFieldId++;
  InsertField(F);
  return F;
}

void TMTDataStructKv::InsertField(TMTDataFieldKv* Field) {
  if (FList.IndexOf(Field) >= 0) return;
  FList.Add(Field);
  ++FLayoutVersion;
  Field->FDataStruct = this;
  if (!InUpdate()) StructChanged();
}

void TMTDataStructKv::RemoveField(TMTDataFieldKv* Field) {
  if (Field->FDataStruct != this) return;
  FList.Remove(Field);
  ++FLayoutVersion;
  Field->FDataStruct = nullptr;
  if (Field->GetOwner() == this) RemoveComponent(Field);
  if (!InUpdate()) StructChanged();
}

void TMTDataStructKv::Clear() {
  ++FLayoutVersion;
  while (FList.GetCount() > 0) {
    auto* F = static_cast<TMTDataFieldKv*>(FList.GetItems(FList.GetCount() - 1));
    FList.Delete(FList.GetCount() - 1);
    F->FDataStruct = nullptr;
    delete F;
  }
  if (!InUpdate()) StructChanged();
}

TMTDataFieldKv* TMTDataStructKv::GetDataField(Integer Index) const {
  return static_cast<TMTDataFieldKv*>(FList.GetItems(Index));
}

TMTDataFieldKv* TMTDataStructKv::FindField(const String& FieldName) const {
  for (Integer I = 0; I < GetCount(); ++I)
    if (AnsiSameText(GetDataField(I)->GetFieldName(), FieldName)) return GetDataField(I);
  return nullptr;
}

TMTDataFieldKv* TMTDataStructKv::FieldByName(const String& FieldName) {
  TMTDataFieldKv* F = FindField(FieldName);
  if (!F) DatabaseErrorFmt(SFieldNotFound, {FieldName}, this);
  return F;
}

Integer TMTDataStructKv::FieldIndex(const String& FieldName) const {
  for (Integer I = 0; I < GetCount(); ++I)
    if (SameText(GetDataField(I)->GetFieldName(), FieldName)) return I;
  return -1;
}

TMTDataFieldKv* TMTDataStructKv::FindFieldByGIUD(const String& GUID) const {
  for (Integer I = 0; I < GetCount(); ++I)
    if (GetDataField(I)->GetGUID() == GUID) return GetDataField(I);
  return nullptr;
}

TIntArray TMTDataStructKv::FieldsIndex(const String& FieldNames) {
  TIntArray Result;
  if (Pos(L";", FieldNames) > 0) {
    Integer P = 1;
    while (P <= Integer(FieldNames.size())) {
      String Name = ExtractFieldName(FieldNames, P);
      Result.push_back(FieldByName(Name)->GetIndex());
    }
  } else {
    Integer I = FieldIndex(FieldNames);
    if (I >= 0) Result.push_back(I);
  }
  return Result;
}

void TMTDataStructKv::GetFieldList(TList* List, const String& FieldNames) {
  Integer P = 1;
  while (P <= Integer(FieldNames.size())) {
    TMTDataFieldKv* F = FieldByName(ExtractFieldName(FieldNames, P));
    if (List) List->Add(F);
  }
}

void TMTDataStructKv::CheckFieldName(const String& FieldName) {
  if (FieldName.empty()) DatabaseError(SFieldNameMissing, FMemTableData);
  if (FindField(FieldName)) DatabaseErrorFmt(SDuplicateFieldName, {FieldName}, FMemTableData);
}

TMTDataFieldKv* TMTDataStructKv::ChangeFieldType(const String& FieldName, TMTDataFieldClassKv FieldClass) {
  TMTDataFieldKv* Old = FieldByName(FieldName);
  Integer At = Old->GetIndex();
  BeginUpdate();
  TMTDataFieldKv* New;
  try {
    New = CreateField(FieldClass);
    FList.Move(FList.IndexOf(New), At);
    ++FLayoutVersion;
    RemoveField(Old);
    String Name = Old->GetFieldName();
    Old->FFieldName.clear();
    New->Assign(Old);
    if (New->DefaultAlignment() != Old->DefaultAlignment()) New->SetAlignment(New->DefaultAlignment());
    New->FGUID = Old->FGUID;
    delete Old;
    New->SetFieldName(Name);
  } catch (...) {
    EndUpdate(true);
    throw;
  }
  EndUpdate(true);
  return New;
}

TMTDataFieldKv* TMTDataStructKv::BuildDataFieldForDef(const String& Name, TFieldType DataType, Integer Size,
                                                      Integer Precision) {
  TMTDataFieldClassKv Cls = DataFieldClassForType(DataType);
  if (!Cls) DatabaseErrorFmt(SUnknownFieldType, {Name}, this);
  TMTDataFieldKv* F = CreateField(Cls);
  try {
    F->AssignDataType(DataType);
    F->SetFieldName(Name);
    if (auto* N = dynamic_cast<TMTNumericDataFieldKv*>(F))
      if (Precision != 0) N->SetPrecision(Precision);
    if (F->CanDinaSize()) F->SetSize(Size);
    if (DataType == ftAutoInc) F->SetAutoIncrement(true);
  } catch (...) {
    RemoveField(F);
    delete F;
    throw;
  }
  return F;
}

TMTDataFieldKv* TMTDataStructKv::BuildDataFieldForFieldDef(TFieldDef* AFieldDef) {
  TMTDataFieldKv* F = BuildDataFieldForDef(AFieldDef->GetName(), AFieldDef->GetDataType(), AFieldDef->GetSize(),
                                           AFieldDef->GetPrecision());
  F->SetRequired(AFieldDef->GetRequired());
  F->SetCalculated(AFieldDef->GetInternalCalcField());
  return F;
}

TMTDataFieldKv* TMTDataStructKv::BuildDataFieldForField(TField* AField) {
  TMTDataFieldClassKv Cls = DataFieldClassForType(AField->GetDataType());
  if (!Cls) DatabaseErrorFmt(SUnknownFieldType, {AField->GetFieldName()}, this);
  TMTDataFieldKv* F = CreateField(Cls);
  F->AssignDataType(AField->GetDataType());
  return F;
}

TMTDataFieldKv* TMTDataStructKv::BuildAndCopyDataFieldForField(TField* AField) {
  TMTDataFieldKv* F = BuildDataFieldForField(AField);
  F->SetFieldName(AField->GetFieldName());
  F->AssignProps(AField);
  return F;
}

void TMTDataStructKv::BuildStructFromFieldDefs(TFieldDefs* FieldDefs) {
  if (FMemTableData) FMemTableData->DestroyTable();
  BeginUpdate();
  try {
    for (Integer I = 0; I < FieldDefs->GetCount(); ++I) BuildDataFieldForFieldDef(FieldDefs->GetItem(I));
  } catch (...) {
    EndUpdate(true);
    throw;
  }
  EndUpdate(true);
}

void TMTDataStructKv::BuildStructFromFields(TFields* Fields) {
  if (FMemTableData) FMemTableData->DestroyTable();
  BeginUpdate();
  try {
    for (Integer I = 0; I < Fields->GetCount(); ++I) {
      TField* F = Fields->GetField(I);
      if (F->GetFieldKind() != fkData && F->GetFieldKind() != fkInternalCalc) continue;
      TDatasetFeaturesKv* Provider = GetDatasetFeatureProvider(F->GetDataSet());
      if (!Provider || !Provider->AddDataField(this, F)) BuildAndCopyDataFieldForField(F);
    }
  } catch (...) {
    EndUpdate(true);
    throw;
  }
  EndUpdate(true);
}

void TMTDataStructKv::BuildFieldDefsFromStruct(TFieldDefs* FieldDefs) {
  FieldDefs->BeginUpdate();
  try {
    FieldDefs->Clear();
    for (Integer I = 0; I < GetCount(); ++I) {
      TMTDataFieldKv* F = GetDataField(I);
      TFieldDef* D = FieldDefs->AddFieldDef();
      D->SetName(F->GetFieldName());
      D->SetDataType(F->GetDataType());
      D->SetSize(F->GetSize());
      D->SetInternalCalcField(F->GetCalculated());
      if (F->GetRequired()) D->SetAttributes(D->GetAttributes() + TFieldAttributes{faRequired});
      if (auto* N = dynamic_cast<TMTNumericDataFieldKv*>(F)) D->SetPrecision(N->GetPrecision());
    }
  } catch (...) {
    FieldDefs->EndUpdate();
    throw;
  }
  FieldDefs->EndUpdate();
}

namespace {

// One old value converted for a new descriptor; a value the new type cannot take becomes Null.
Variant ConvertForField(const Variant& Old, TMTDataFieldKv* OldField, TMTDataFieldKv* NewField) {
  Variant R;
  try {
    CastDataValue(R, Old, NewField->VarDataType());
  } catch (const EVariantError&) {
    return Null;
  } catch (const EConvertError&) {
    return Null;
  }
  auto* NewStr = dynamic_cast<TMTStringDataFieldKv*>(NewField);
  if (NewStr && !R.IsNull() && !R.IsEmpty()) {
    auto* OldStr = dynamic_cast<TMTStringDataFieldKv*>(OldField);
    if (!OldStr || OldStr->GetSize() > NewStr->GetSize()) {
      TVarType T = NewField->VarDataType();
      if (T == varString || T == varOleStr || T == varUString) {
        String S = R.AsString();
        if (Integer(S.size()) > NewStr->GetSize()) S.resize(size_t(std::max(0, NewStr->GetSize())));
        if (T == varString) R = VarAsType(Variant(S), varString);
        else R = Variant(S);
      }
    }
  }
  return R;
}

}  // namespace

void TMTDataStructKv::Assign(TPersistent* Source) {
  auto* Src = dynamic_cast<TMTDataStructKv*>(Source);
  if (!Src) {
    TComponent::Assign(Source);
    return;
  }
  if (Src == this) return;
  BeginUpdate();
  try {
    TRecordsListKv* Recs = FMemTableData ? FMemTableData->GetRecordsList() : nullptr;
    if (Recs && Recs->GetCount() > 0) {
      Integer N = Src->GetCount();
      std::vector<TMTDataFieldKv*> Match(static_cast<size_t>(N), nullptr);
      std::vector<Integer> OldPos(static_cast<size_t>(N), -1);
      for (Integer I = 0; I < N; ++I) {
        Match[size_t(I)] = FindFieldByGIUD(Src->GetDataField(I)->GetGUID());
        if (Match[size_t(I)]) OldPos[size_t(I)] = Match[size_t(I)]->GetIndex();
      }
      // Convert everything first, so a failure leaves the records as they were.
      auto Relay = [&](const TRecDataValues& Old) {
        TRecDataValues New(size_t(N), Null);
        for (Integer I = 0; I < N; ++I) {
          Integer P = OldPos[size_t(I)];
          if (P >= 0 && P < Integer(Old.size()))
            New[size_t(I)] = ConvertForField(Old[size_t(P)], Match[size_t(I)], Src->GetDataField(I));
        }
        return New;
      };
      std::vector<std::pair<TRecDataValues, TRecDataValues>> Laid(size_t(Recs->GetCount()));
      for (Integer R = 0; R < Recs->GetCount(); ++R) {
        TMemoryRecordKv* Rec = Recs->GetRec(R);
        Laid[size_t(R)].first = Relay(Rec->FData);
        if (!Rec->GetOldData().empty()) Laid[size_t(R)].second = Relay(Rec->GetOldData());
      }
      for (Integer R = 0; R < Recs->GetCount(); ++R) {
        TMemoryRecordKv* Rec = Recs->GetRec(R);
        Rec->FData = std::move(Laid[size_t(R)].first);
        if (!Rec->GetOldData().empty()) Rec->FChanges->OldData = std::move(Laid[size_t(R)].second);
      }
    }
    Clear();
    for (Integer I = 0; I < Src->GetCount(); ++I) {
      TMTDataFieldKv* S = Src->GetDataField(I);
      TMTDataFieldKv* D = CreateField(S->ClassType());
      D->Assign(S);
    }
  } catch (...) {
    EndUpdate(true);
    throw;
  }
  EndUpdate(true);
}

TMTDataStructKv* TMTDataStructKv::GetCopy() {
  std::unique_ptr<TMTDataStructKv> Copy(CreateFor(nullptr));
  Copy->BeginUpdate();
  for (Integer I = 0; I < GetCount(); ++I) {
    TMTDataFieldKv* S = GetDataField(I);
    TMTDataFieldKv* D = Copy->CreateField(S->ClassType());
    D->Assign(S);
    D->FGUID = S->FGUID;
  }
  Copy->EndUpdate(false);
  Copy->ClearStructChanged();
  return Copy.release();
}

void TMTDataStructKv::EndRestructure(TMTDataStructKv* NewStrcuture, bool ApplyNewStrcuture) {
  std::unique_ptr<TMTDataStructKv> Holder(NewStrcuture);
  if (ApplyNewStrcuture) Assign(NewStrcuture);
}

void TMTDataStructKv::EndUpdate(bool AStructChanged) {
  if (FUpdateCount == 0) return;
  if (--FUpdateCount == 0 && AStructChanged) StructChanged();
}

void TMTDataStructKv::StructChanged() {
  if (FMemTableData) FMemTableData->StructChanged();
  else FStructChanged = true;
  DoEvent(FOnStructChanged, this);
}

void TMTDataStructKv::ReadState(TReader* Reader) {
  BeginUpdate();
  try {
    Clear();
    TComponent::ReadState(Reader);
  } catch (...) {
    EndUpdate(true);
    throw;
  }
  EndUpdate(true);
}

void TMTDataStructKv::TakeFieldsFrom(TMTDataStructKv* Other) {
  BeginUpdate();
  Clear();
  ++Other->FLayoutVersion;
  while (Other->GetCount() > 0) {
    TMTDataFieldKv* F = Other->GetDataField(0);
    Other->FList.Delete(0);
    if (F->GetOwner()) F->GetOwner()->RemoveComponent(F);
    InsertComponent(F);
    FList.Add(F);
    F->FDataStruct = this;
    F->FFieldId = FNextFieldId++;
  }
  EndUpdate(true);
}

void TMTDataStructKv::GetChildren(TGetChildProc Proc, TComponent*) {
  for (Integer I = 0; I < GetCount(); ++I) Proc(GetDataField(I));
}

// ---- Update errors ------------------------------------------------------------------------------

TUpdateErrorKv::TUpdateErrorKv(std::exception_ptr AException) : FException(std::move(AException)) {
  if (!FException) return;
  try {
    std::rethrow_exception(FException);
  } catch (const Exception& E) {
    FObject = &E;
  } catch (...) {
  }
}

// ---- The memory record --------------------------------------------------------------------------

TMemoryRecordKv::TMemoryRecordKv() = default;
TMemoryRecordKv::~TMemoryRecordKv() = default;

namespace {
const TRecDataValues& NoValues() {
  static const TRecDataValues None;
  return None;
}
}  // namespace

TMemoryRecordKv::TChanges& TMemoryRecordKv::Changes() {
  if (!FChanges) FChanges.reset(new TChanges());
  return *FChanges;
}

void TMemoryRecordKv::ReleaseChanges() {
  if (FChanges && FChanges->OldData.empty() && !FChanges->HasTmpOld && !FChanges->UpdateError) FChanges.reset();
}

const TRecDataValues& TMemoryRecordKv::GetOldData() const { return FChanges ? FChanges->OldData : NoValues(); }

void TMemoryRecordKv::SetUpdateError(TUpdateErrorKv* Value) {
  if (Value) {
    Changes().UpdateError.reset(Value);
  } else if (FChanges) {
    FChanges->UpdateError.reset();
    ReleaseChanges();
  }
}

void TMemoryRecordKv::SetTmpOld(const TRecDataValues& Values) {
  TChanges& C = Changes();
  C.TmpOldRecValue = Values;
  C.HasTmpOld = true;
}

void TMemoryRecordKv::DropTmpOld() {
  if (!FChanges) return;
  FChanges->TmpOldRecValue.clear();
  FChanges->HasTmpOld = false;
  ReleaseChanges();
}

void TMemoryRecordKv::SetOldData(const TRecDataValues& Values) {
  if (Values.empty()) ClearOldData();
  else Changes().OldData = Values;
}

void TMemoryRecordKv::ClearOldData() {
  if (!FChanges) return;
  FChanges->OldData.clear();
  ReleaseChanges();
}

void TMemoryRecordKv::CheckFieldIndex(Integer FieldIndex) const {
  Integer Count = FDataStruct ? FDataStruct->GetCount() : Integer(FData.size());
  if (FieldIndex < 0 || FieldIndex >= Count) TList::Error(SListIndexError, FieldIndex);
}

TRecDataValues& TMemoryRecordKv::ValuesFor(TDataValueVersionKv DataValueVersion, bool) {
  switch (DataValueVersion) {
    case dvvOldValueKv:
      if (GetOldData().empty()) throw Exception(L"TMemoryRecordKv.GetDataValues: Old values is not accessible.");
      return FChanges->OldData;
    case dvvCurValueKv:
      return HasTmpOld() ? FChanges->TmpOldRecValue : FData;
    case dvvEditValueKv:
      if (!HasTmpOld()) throw Exception(L"TMemoryRecordKv.GetDataValues: Edit values is not accessible.");
      return FData;
    case dvvOldestValue:
      if (!GetOldData().empty()) return FChanges->OldData;
      return HasTmpOld() ? FChanges->TmpOldRecValue : FData;
    case dvvRefreshValue:
      return GetOldData().empty() ? FData : FChanges->OldData;
    case dvvValueKv:
    default:
      return FData;
  }
}

Variant TMemoryRecordKv::GetDataValue(Integer FieldIndex, TDataValueVersionKv DataValueVersion) {
  CheckFieldIndex(FieldIndex);
  TRecDataValues& V = ValuesFor(DataValueVersion, false);
  return size_t(FieldIndex) < V.size() ? V[size_t(FieldIndex)] : Null;
}

void TMemoryRecordKv::SetDataValue(Integer FieldIndex, TDataValueVersionKv DataValueVersion, const Variant& Value) {
  CheckFieldIndex(FieldIndex);
  TRecDataValues& V = ValuesFor(DataValueVersion, true);
  Variant Converted;
  if (FDataStruct) {
    TMTDataFieldKv* F = FDataStruct->GetDataField(FieldIndex);
    // A value of the field's own type is stored as it is, as the conversion would store it.
    if (Value.Type() == F->VarDataType() && size_t(FieldIndex) < V.size()) {
      V[size_t(FieldIndex)] = Value;
      return;
    }
    try {
      CastDataValue(Converted, Value, F->VarDataType());
    } catch (const EVariantError& E) {
      // The field's name tells which of the record's values was refused; nothing is stored.
      DatabaseError(Format(SFieldValueError, {F->GetFieldName()}) + L": " + E.Message());
    } catch (const EConvertError& E) {
      DatabaseError(Format(SFieldValueError, {F->GetFieldName()}) + L": " + E.Message());
    }
  } else {
    Converted = Value;
  }
  if (size_t(FieldIndex) >= V.size()) V.resize(size_t(FieldIndex) + 1, Null);
  V[size_t(FieldIndex)] = std::move(Converted);
}

Variant TMemoryRecordKv::GetDataValues(const String& FieldNames, TDataValueVersionKv DataValueVersion) {
  if (DataValueVersion == dvvOldValueKv && GetOldData().empty())
    throw Exception(L"TMemoryRecordKv.GetDataValues: Old values is not accessible.");
  if (Pos(L";", FieldNames) > 0) {
    TList List;
    FDataStruct->GetFieldList(&List, FieldNames);
    Variant R = VarArrayCreate({0, List.GetCount() - 1}, varVariant);
    for (Integer I = 0; I < List.GetCount(); ++I)
      R[I] = GetDataValue(static_cast<TMTDataFieldKv*>(List[I])->GetIndex(), DataValueVersion);
    return R;
  }
  Integer I = FDataStruct->FieldIndex(FieldNames);
  if (I < 0) DatabaseErrorFmt(SFieldNotFound, {FieldNames});
  return GetDataValue(I, DataValueVersion);
}

void TMemoryRecordKv::SetDataValues(const String& FieldNames, TDataValueVersionKv DataValueVersion,
                                    const Variant& VarValue) {
  if (Pos(L";", FieldNames) > 0) {
    TList List;
    FDataStruct->GetFieldList(&List, FieldNames);
    for (Integer I = 0; I < List.GetCount(); ++I)
      SetDataValue(static_cast<TMTDataFieldKv*>(List[I])->GetIndex(), DataValueVersion, VarValue[I]);
    return;
  }
  Integer I = FDataStruct->FieldIndex(FieldNames);
  if (I < 0) DatabaseErrorFmt(SFieldNotFound, {FieldNames});
  SetDataValue(I, DataValueVersion, VarValue);
}

Variant TMemoryRecordKv::GetDataIndexValues(const TIntArray& FieldIndexes, TDataValueVersionKv DataValueVersion) {
  if (FieldIndexes.empty()) return Variant(String());
  if (FieldIndexes.size() == 1) return GetDataValue(FieldIndexes[0], DataValueVersion);
  Variant R = VarArrayCreate({0, Integer(FieldIndexes.size()) - 1}, varVariant);
  for (size_t I = 0; I < FieldIndexes.size(); ++I) R[Integer(I)] = GetDataValue(FieldIndexes[I], DataValueVersion);
  return R;
}

void TMemoryRecordKv::SetDataIndexValues(const TIntArray& FieldIndexes, TDataValueVersionKv DataValueVersion,
                                         const Variant& VarValue) {
  if (FieldIndexes.empty()) return;
  if (FieldIndexes.size() == 1) {
    SetDataValue(FieldIndexes[0], DataValueVersion, VarValue);
    return;
  }
  for (size_t I = 0; I < FieldIndexes.size(); ++I) SetDataValue(FieldIndexes[I], DataValueVersion, VarValue[Integer(I)]);
}

void TMemoryRecordKv::Edit() {
  if (FEditState != resBrowseKv) return;
  FEditState = resEditKv;
  FEditChanged = false;
  SetTmpOld(FData);
}

void TMemoryRecordKv::EditForRefresh() {
  if (FEditState == resEditKv || FEditState == resInsertKv)
    throw Exception(L"procedure TMemoryRecordKv.EditForRefresh: The MemoryRecord is in resEditKv state.");
  FEditState = resEditForRefresh;
  FEditChanged = false;
}

void TMemoryRecordKv::Post() {
  switch (FEditState) {
    case resBrowseKv:
      DatabaseError(SNotEditing);
    case resInsertKv:
      FRecordsList->AddRecord(this);
      return;
    case resEditKv: {
      TRecordsListKv* L = FRecordsList;
      L->Notify(this, FIndex, rlnRecChangingKv);
      if (L->GetCachedUpdates()) {
        if (FUpdateStatus == usUnmodified) FUpdateStatus = usModified;
        if (FUpdateIndex < 0) L->TakeDeltaSlot(this);
        if (FUpdateStatus == usModified && GetOldData().empty() && HasTmpOld()) SetOldData(FChanges->TmpOldRecValue);
      } else if (L->HasApplier()) {
        L->ApplyImmediately(this, TRecordsListKv::akModify);
      }
      DropTmpOld();
      FEditState = resBrowseKv;
      L->Notify(this, FIndex, rlnRecChangedKv);
      return;
    }
    case resEditForRefresh:
      FEditState = resBrowseKv;
      FRecordsList->Notify(this, FIndex, rlnRecChangedKv);
      return;
  }
}

void TMemoryRecordKv::Cancel() {
  switch (FEditState) {
    case resBrowseKv:
      DatabaseError(SNotEditing);
    case resInsertKv:
      delete this;
      return;
    case resEditKv:
      if (HasTmpOld()) FData = FChanges->TmpOldRecValue;
      else FData.clear();
      DropTmpOld();
      FEditState = resBrowseKv;
      return;
    case resEditForRefresh:
      // No pre-edit copy exists: the values written so far stay.
      FEditState = resBrowseKv;
      return;
  }
}

void TMemoryRecordKv::MergeChangesInList(bool Batch) {
  if (FUpdateStatus == usUnmodified) return;
  if (FUpdateStatus == usDeleted) {
    if (Batch) FRecordsList->PersistRemoveRecordInBatch(this);
    else FRecordsList->PersistRemoveRecord(FIndex);
  }
  FUpdateStatus = usUnmodified;
  if (FRecordsList) FRecordsList->EmptyDeltaSlot(this);
  if (FChanges) {
    FChanges->OldData.clear();
    FChanges->UpdateError.reset();
    ReleaseChanges();
  }
}

void TMemoryRecordKv::MergeChanges() { MergeChangesInList(false); }

void TMemoryRecordKv::RevertRecord() {
  if (FUpdateStatus == usModified || FUpdateStatus == usDeleted) {
    // The values come back before the listeners are asked, as with a posted edit, so a unique
    // index sees the key the record returns to and can refuse it.
    if (!GetOldData().empty()) {
      FRecordsList->ChangeValues(this, FIndex, [this] { FData = FChanges->OldData; });
      ClearOldData();
    } else {
      FRecordsList->ChangeValues(this, FIndex, [] {});
    }
    FUpdateStatus = usUnmodified;
    FRecordsList->Notify(this, FIndex, rlnRecChangedKv);
  }
  SetUpdateError(nullptr);
}

void TMemoryRecordKv::RefreshRecord(TMemoryRecordKv* Rec) {
  if (FUpdateStatus == usModified) SetOldData(Rec->FData);
  else FData = Rec->FData;
}

void TMemoryRecordKv::UpdateCalculatedFields() {
  if (FRecordsList && FRecordsList->GetMemTableData()) FRecordsList->GetMemTableData()->CalcRecordFields(this);
}

void TMemoryRecordKv::WriteRecordData(TWriter* Writer) {
  Writer->WriteListBegin();
  for (Integer I = 0; I < FDataStruct->GetCount(); ++I)
    FDataStruct->GetDataField(I)->WriteDataToWriter(size_t(I) < FData.size() ? FData[size_t(I)] : Null, Writer);
  Writer->WriteListEnd();
}

void TMemoryRecordKv::ReadRecordData(TReader* Reader) {
  Reader->ReadListBegin();
  FData.resize(size_t(FDataStruct->GetCount()), Null);
  for (size_t I = 0; I < FData.size(); ++I) FDataStruct->GetDataField(Integer(I))->ReadDataFromReader(FData[I], Reader);
  Reader->ReadListEnd();
}

// ---- The records list ---------------------------------------------------------------------------

TRecordsListKv::TRecordsListKv(TComponent* AOwner) : TComponent(nullptr) {
  if (AOwner) {
    FMemTableData = dynamic_cast<TMemTableDataKv*>(AOwner);
    if (!FMemTableData) throw Exception(AOwner->ClassName());
  }
  FIndexes = std::make_unique<TMTIndexesKv>(this);
}

// Records read and not yet in a list, in blocks of the storage's pool: a pointer array as large
// as a big table's would be fresh memory, slow to touch, on every read. Frees what it still holds.
class TRecordsListKv::TReadRecords {
 public:
  TReadRecords() = default;
  TReadRecords(const TReadRecords&) = delete;
  TReadRecords& operator=(const TReadRecords&) = delete;
  ~TReadRecords() {
    for (size_t I = 0; I < FCount; ++I) delete Slot(I);
    for (TMemoryRecordKv** Chunk : FChunks) MemTableFreeKv(Chunk, ChunkBytes);
  }
  void Add(std::unique_ptr<TMemoryRecordKv>& Rec) {
    Add(Rec.get());
    Rec.release();
  }
  // Rec's owner lets it go once all are added.
  void Add(TMemoryRecordKv* Rec) {
    if (FCount % ChunkSize == 0) {
      auto* Chunk = static_cast<TMemoryRecordKv**>(MemTableAllocKv(ChunkBytes));
      try {
        FChunks.push_back(Chunk);
      } catch (...) {
        MemTableFreeKv(Chunk, ChunkBytes);
        throw;
      }
    }
    Slot(FCount++) = Rec;
  }
  size_t Count() const { return FCount; }
  TMemoryRecordKv* Peek(size_t I) { return Slot(I); }
  // Lets the records go unfreed: their owner still has them.
  void Forget() { FCount = 0; }
  // Hands the record over: this no longer frees it.
  TMemoryRecordKv* Take(size_t I) { return std::exchange(Slot(I), nullptr); }

 private:
  static constexpr size_t ChunkSize = 128, ChunkBytes = ChunkSize * sizeof(TMemoryRecordKv*);
  TMemoryRecordKv*& Slot(size_t I) { return FChunks[I / ChunkSize][I % ChunkSize]; }
  std::vector<TMemoryRecordKv**> FChunks;
  size_t FCount = 0;
};

TRecordsListKv::~TRecordsListKv() {
  // The indexes go first: their entries share the records' values, and values freed in the
  // records' order are taken again in that order, close together, by the next table.
  FIndexes.reset();
  for (Pointer O : FDeltaList)
    if (O) static_cast<TMemoryRecordKv*>(O)->FUpdateIndex = -1;
  FDeltaList.Clear();
  FDeletedList.Clear();
  for (Integer I = 0; I < FRecList.GetCount(); ++I) GetRec(I)->FIndex = -1;
  FRecList.Clear();
}

TMTDataStructKv* TRecordsListKv::GetDataStruct() const {
  return FMemTableData ? FMemTableData->GetDataStruct() : nullptr;
}

Integer TRecordsListKv::GetRecValCount() const {
  TMTDataStructKv* S = GetDataStruct();
  return S ? S->GetCount() : 0;
}

TMemoryRecordKv* TRecordsListKv::NewRecord() {
  auto* Rec = new TMemoryRecordKv();
  Rec->FHashCode = FNewHashCode++;
  Rec->FData.assign(size_t(GetRecValCount()), Null);
  Rec->FRecordsList = this;
  Rec->FDataStruct = GetDataStruct();
  return Rec;
}

void TRecordsListKv::Notify(TMemoryRecordKv* Rec, Integer Index, TRecordsListNotification Action) {
  if (FUpdateCount > 0) return;
  if (!FIndexesCurrent && FIndexes->GetCount() > 0) FIndexes->Notify(Rec, Index, Action);
  if (FMemTableData) FMemTableData->Notify(Rec, Index, Action);
}

void TRecordsListKv::RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex) {
  FIndexes->RecordMoved(Item, OldIndex, NewIndex);
  if (FMemTableData) FMemTableData->RecordMoved(Item, OldIndex, NewIndex);
}

void TRecordsListKv::EndUpdate() {
  if (FUpdateCount == 0) return;
  if (--FUpdateCount == 0) Notify(nullptr, -1, rlnListChangedKv);
}

void TRecordsListKv::Renumber(Integer From) {
  for (Integer I = std::max(0, From); I < FRecList.GetCount(); ++I) GetRec(I)->FIndex = I;
}

void TRecordsListKv::TakeDeltaSlot(TMemoryRecordKv* Rec) { Rec->FUpdateIndex = FDeltaList.Add(Rec); }

void TRecordsListKv::EmptyDeltaSlot(TMemoryRecordKv* Rec) {
  if (Rec->FUpdateIndex >= 0 && Rec->FUpdateIndex < FDeltaList.GetCount() &&
      FDeltaList.GetItems(Rec->FUpdateIndex) == Rec)
    FDeltaList.SetItems(Rec->FUpdateIndex, nullptr);
  Rec->FUpdateIndex = -1;
}

bool TRecordsListKv::HasApplier() const { return FMemTableData && FMemTableData->HasApplier(); }

void TRecordsListKv::SetAutoIncValue(TMemoryRecordKv* Rec) {
  if (FMemTableData) FMemTableData->SetAutoIncValue(Rec);
}

void TRecordsListKv::InternalAddRecord(TMemoryRecordKv* Rec, Integer Index, bool Fetching, bool Append) {
  if (Rec->FRecordsList != this) throw Exception(L"Record.RecordsList is not the same.");
  if (Rec->FIndex != -1) throw Exception(L"The record is already attached to RecordsList.");
  Integer At = Append ? FRecList.GetCount() : Index;
  if (At < 0 || At > FRecList.GetCount()) TList::Error(SListIndexError, At);
  Notify(Rec, At, rlnRecAddingKv);
  if (!Fetching) SetAutoIncValue(Rec);
  if (!FCachedUpdates && !Fetching && HasApplier()) ApplyImmediately(Rec, akInsert);
  // The list doubles when full: grown by a quarter at a time, a large list would be copied (and
  // its fresh memory touched) many times over.
  if (FRecList.GetCount() == FRecList.GetCapacity())
    FRecList.SetCapacity(Integer(std::min<Int64>(INT32_MAX, std::max<Int64>(16, Int64(FRecList.GetCapacity()) * 2))));
  if (Append) {
    FRecList.Add(Rec);
    Rec->FIndex = At;
  } else {
    FRecList.Insert(At, Rec);
    Renumber(At);
  }
  Rec->FRecordsList = this;
  if (FCachedUpdates) {
    Rec->FUpdateStatus = usInserted;
    if (Rec->FUpdateIndex < 0) TakeDeltaSlot(Rec);
  } else {
    Rec->FUpdateStatus = usUnmodified;
  }
  Rec->FEditState = resBrowseKv;
  Notify(Rec, At, rlnRecAddedKv);
}

Integer TRecordsListKv::AddRecord(TMemoryRecordKv* Rec) {
  InternalAddRecord(Rec, -1, false, true);
  return Rec->FIndex;
}

void TRecordsListKv::InsertRecord(Integer Index, TMemoryRecordKv* Rec) { InternalAddRecord(Rec, Index, false, false); }

Integer TRecordsListKv::FetchRecord(TMemoryRecordKv* Rec) {
  bool Saved = FCachedUpdates;
  FCachedUpdates = false;
  try {
    InternalAddRecord(Rec, -1, true, true);
  } catch (...) {
    FCachedUpdates = Saved;
    throw;
  }
  FCachedUpdates = Saved;
  return Rec->FIndex;
}

void TRecordsListKv::DeleteRecord(Integer Index) {
  TMemoryRecordKv* Rec = GetRec(Index);
  if (!FCachedUpdates) {
    PersistDeleteRecord(Index);
    return;
  }
  if (Rec->FUpdateStatus == usDeleted) throw Exception(L"Can't MarkDel the Deleted record");
  if (Rec->FUpdateStatus == usInserted) {
    EmptyDeltaSlot(Rec);
    PersistDeleteRecord(Index);
    return;
  }
  // A modified record keeps the values it had before its first change, so cancelling the
  // deletion gives back the original record rather than its edited form.
  Rec->SetUpdateError(nullptr);
  Rec->FUpdateStatus = usDeleted;
  if (Rec->FUpdateIndex < 0) TakeDeltaSlot(Rec);
  Notify(Rec, Index, rlnRecMarkedForDelKv);
}

void TRecordsListKv::PersistDeleteRecord(Integer Index) {
  TMemoryRecordKv* Rec = GetRec(Index);
  Notify(Rec, Index, rlnRecDeletingKv);
  if (!FCachedUpdates && HasApplier()) ApplyImmediately(Rec, akDelete);
  FRecList.SetOwnsObjects(false);
  FRecList.Delete(Index);
  FRecList.SetOwnsObjects(true);
  Renumber(Index);
  Rec->FIndex = -1;
  EmptyDeltaSlot(Rec);
  try {
    Notify(Rec, Index, rlnRecDeletedKv);
  } catch (...) {
    delete Rec;
    throw;
  }
  delete Rec;
}

void TRecordsListKv::DeleteRecords(const std::vector<TRecordsRangeKv>& RecordsRanges) {
  if (FCachedUpdates) throw Exception(L"Delete a range of record in CachedUpdates mode is not supported");
  PersistDeleteRecords(RecordsRanges);
}

void TRecordsListKv::PersistDeleteRecords(const std::vector<TRecordsRangeKv>& RecordsRanges) {
  for (const TRecordsRangeKv& R : RecordsRanges)
    if (R.LowIndex < 0 || R.HighIndex >= FRecList.GetCount() || R.LowIndex > R.HighIndex)
      TList::Error(SListIndexError, R.LowIndex < 0 ? R.LowIndex : R.HighIndex);
  bool Apply = !FCachedUpdates && HasApplier();
  std::vector<TMemoryRecordKv*> Gone;
  for (const TRecordsRangeKv& R : RecordsRanges)
    for (Integer I = R.LowIndex; I <= R.HighIndex; ++I) {
      TMemoryRecordKv* Rec = GetRec(I);
      if (!Rec) continue;
      if (Apply) ApplyImmediately(Rec, akDelete);
      FRecList.SetOwnsObjects(false);
      FRecList.SetItems(I, nullptr);
      FRecList.SetOwnsObjects(true);
      Gone.push_back(Rec);
    }
  std::vector<Integer> NewIndex(static_cast<size_t>(FRecList.GetCount()), -1);
  for (Integer I = 0, Kept = 0; I < FRecList.GetCount(); ++I)
    if (FRecList.GetItems(I)) NewIndex[size_t(I)] = Kept++;
  for (TMemoryRecordKv* Rec : Gone) {
    Rec->FIndex = -1;
    EmptyDeltaSlot(Rec);
    delete Rec;
  }
  FRecList.Pack();
  Renumber(0);
  // The indexes drop the entries of the records that went in one pass instead of sorting anew.
  for (Integer I = 0; I < FIndexes->GetCount(); ++I) FIndexes->GetItems(I)->RecordsRemoved(NewIndex);
  FIndexesCurrent = true;
  try {
    Notify(nullptr, -1, rlnListChangedKv);
  } catch (...) {
    FIndexesCurrent = false;
    throw;
  }
  FIndexesCurrent = false;
}

void TRecordsListKv::PersistRemoveRecord(Integer Index) {
  TMemoryRecordKv* Rec = GetRec(Index);
  Notify(Rec, Index, rlnRecDeletingKv);
  FRecList.SetOwnsObjects(false);
  FRecList.Delete(Index);
  FRecList.SetOwnsObjects(true);
  FDeletedList.Add(Rec);
  Renumber(Index);
  Rec->FIndex = -1;
  Notify(Rec, Index, rlnRecDeletedKv);
}

void TRecordsListKv::PersistRemoveRecordInBatch(TMemoryRecordKv* Rec) {
  Integer Index = Rec->FIndex;
  Notify(Rec, Index, rlnRecDeletingKv);
  FRecList.SetOwnsObjects(false);
  FRecList.SetItems(Index, nullptr);
  FRecList.SetOwnsObjects(true);
  FDeletedList.Add(Rec);
  Rec->FIndex = -1;
  Notify(Rec, Index, rlnRecDeletedKv);
}

void TRecordsListKv::Move(Integer CurIndex, Integer NewIndex) {
  if (CurIndex == NewIndex) return;
  TMemoryRecordKv* Rec = GetRec(CurIndex);
  if (NewIndex < 0 || NewIndex >= FRecList.GetCount()) TList::Error(SListIndexError, NewIndex);
  FRecList.Move(CurIndex, NewIndex);
  Renumber(std::min(CurIndex, NewIndex));
  RecordMoved(Rec, CurIndex, NewIndex);
}

Integer TRecordsListKv::IndexOf(TMemoryRecordKv* Item) const {
  if (Item && Item->FRecordsList == this && Item->FIndex >= 0 && Item->FIndex < FRecList.GetCount() &&
      GetRec(Item->FIndex) == Item)
    return Item->FIndex;
  return FRecList.IndexOf(Item);
}

Variant TRecordsListKv::GetValue(Integer RecNo, Integer ValNo) const {
  TMemoryRecordKv* Rec = GetRec(RecNo);
  if (ValNo < 0 || size_t(ValNo) >= Rec->FData.size()) TList::Error(SListIndexError, ValNo);
  return Rec->FData[size_t(ValNo)];
}

void TRecordsListKv::SetValue(Integer RecNo, Integer ValNo, const Variant& Value) {
  TMemoryRecordKv* Rec = GetRec(RecNo);
  if (ValNo < 0 || size_t(ValNo) >= Rec->FData.size()) TList::Error(SListIndexError, ValNo);
  ChangeValues(Rec, RecNo, [&] { Rec->FData[size_t(ValNo)] = Value; });
  Notify(Rec, RecNo, rlnRecChangedKv);
}

void TRecordsListKv::ChangeValues(TMemoryRecordKv* Rec, Integer Index, const std::function<void()>& Change) {
  // The new values are in place while the listeners are asked, so a unique index sees the new
  // key and can refuse it; the values before stand as the record's current ones meanwhile (an
  // open edit keeps its own copy). A refusal puts the values back.
  bool OwnCopy = !Rec->HasTmpOld();
  TRecDataValues Before = Rec->FData;
  if (OwnCopy) Rec->SetTmpOld(Before);
  auto DropCopy = [&] {
    if (OwnCopy) Rec->DropTmpOld();
  };
  try {
    Change();
    Notify(Rec, Index, rlnRecChangingKv);
  } catch (...) {
    Rec->FData = std::move(Before);
    DropCopy();
    throw;
  }
  DropCopy();
}

void TRecordsListKv::SortData(const TCompareRecords& Compare, TObject* ParamSort) {
  if (FRecList.GetCount() > 1) QuickSort(0, FRecList.GetCount() - 1, Compare, ParamSort);
  Renumber(0);
  Notify(nullptr, -1, rlnListChangedKv);
}

void TRecordsListKv::QuickSort(Integer L, Integer R, const TCompareRecords& Compare, TObject* ParamSort) {
  Pointer* Items = FRecList.GetList();
  auto At = [&](Integer I) { return static_cast<TMemoryRecordKv*>(Items[I]); };
  while (L < R) {
    Integer I = L, J = R;
    TMemoryRecordKv* P = At((L + R) >> 1);
    do {
      while (Compare(At(I), P, ParamSort) < 0) ++I;
      while (Compare(At(J), P, ParamSort) > 0) --J;
      if (I <= J) {
        if (I != J) std::swap(Items[I], Items[J]);
        ++I;
        --J;
      }
    } while (I <= J);
    if (L < J) QuickSort(L, J, Compare, ParamSort);
    L = I;
  }
}

void TRecordsListKv::Clear() {
  FKeptRead.reset();
  FDeletedList.Clear();
  for (Pointer O : FDeltaList)
    if (O) static_cast<TMemoryRecordKv*>(O)->FUpdateIndex = -1;
  FDeltaList.Clear();
  for (Integer I = 0; I < FIndexes->GetCount(); ++I) FIndexes->GetItems(I)->ClearIndex();
  for (Integer I = 0; I < FRecList.GetCount(); ++I) GetRec(I)->FIndex = -1;
  FRecList.Clear();
  Notify(nullptr, -1, rlnListChangedKv);
}

bool TRecordsListKv::HasCachedChanges() const {
  for (Pointer O : FDeltaList)
    if (O) return true;
  return false;
}

void TRecordsListKv::MergeChangeLog() {
  Integer Live = 0;
  TMemoryRecordKv* Single = nullptr;
  for (Pointer O : FDeltaList)
    if (O) {
      ++Live;
      Single = static_cast<TMemoryRecordKv*>(O);
    }
  if (FDeltaList.GetCount() == 0) return;
  if (Live == 1) {
    Single->MergeChanges();
  } else if (Live > 1) {
    BeginUpdate();
    try {
      std::vector<TMemoryRecordKv*> Recs;
      for (Pointer O : FDeltaList)
        if (O) Recs.push_back(static_cast<TMemoryRecordKv*>(O));
      for (TMemoryRecordKv* Rec : Recs) Rec->MergeChangesInList(true);
    } catch (...) {
      FRecList.Pack();
      Renumber(0);
      EndUpdate();
      throw;
    }
    FDeletedList.Clear();
    Integer Before = FRecList.GetCount();
    FRecList.Pack();
    if (FRecList.GetCount() != Before) Renumber(0);
    FDeltaList.Clear();
    EndUpdate();
    return;
  }
  FDeletedList.Clear();
  FDeltaList.Clear();
}

void TRecordsListKv::CancelUpdates() {
  for (Integer I = FRecList.GetCount() - 1; I >= 0; --I) {
    TMemoryRecordKv* Rec = GetRec(I);
    switch (Rec->FUpdateStatus) {
      case usModified:
      case usDeleted:
        if (!Rec->GetOldData().empty()) Rec->FData = Rec->FChanges->OldData;
        Rec->ClearOldData();
        Rec->FUpdateStatus = usUnmodified;
        Rec->FUpdateIndex = -1;
        Rec->SetUpdateError(nullptr);
        break;
      case usInserted:
        EmptyDeltaSlot(Rec);
        FRecList.SetOwnsObjects(false);
        FRecList.Delete(I);
        FRecList.SetOwnsObjects(true);
        Rec->FIndex = -1;
        delete Rec;
        Renumber(I);
        break;
      default:
        break;
    }
  }
  FDeltaList.Clear();
  Notify(nullptr, -1, rlnListChangedKv);
}

void TRecordsListKv::RevertRecord(Integer Index) {
  TMemoryRecordKv* Rec = GetRec(Index);
  if (Rec->FUpdateStatus == usInserted) {
    EmptyDeltaSlot(Rec);
    PersistDeleteRecord(Index);
  } else {
    Rec->RevertRecord();
  }
}

void TRecordsListKv::RefreshRecord(Integer Index, TMemoryRecordKv* FromRec) { GetRec(Index)->RefreshRecord(FromRec); }

void TRecordsListKv::CleanupChangedRecs() {
  FDeletedList.Clear();
  FDeltaList.Pack();
  // The slots moved: each record learns its new one.
  for (Integer I = 0; I < FDeltaList.GetCount(); ++I) static_cast<TMemoryRecordKv*>(FDeltaList.GetItems(I))->FUpdateIndex = I;
}

void TRecordsListKv::ApplyImmediately(TMemoryRecordKv* Rec, TApplyKind Kind) {
  std::unique_ptr<TMemTableDataShadowKv> Shadow(new TMemTableDataShadowKv(FMemTableData));
  TRecordsListKv* SL = Shadow->GetRecordsList();
  SL->SetCachedUpdates(true);
  TMemoryRecordKv* S = SL->NewRecord();
  try {
    switch (Kind) {
      case akModify:
        S->FData = Rec->ValuesFor(dvvOldestValue, false);
        SL->FetchRecord(S);
        S->Edit();
        S->FData = Rec->FData;
        S->Post();
        break;
      case akInsert:
        S->FData = Rec->FData;
        S->Post();
        break;
      case akDelete:
        S->FData = Rec->ValuesFor(dvvOldestValue, false);
        SL->FetchRecord(S);
        SL->DeleteRecord(S->FIndex);
        break;
    }
  } catch (...) {
    if (S->FIndex < 0) delete S;
    throw;
  }
  FMemTableData->ApplyUpdates(Shadow.get());
  if (Kind != akDelete) Rec->FData = S->FData;
}

void TRecordsListKv::AdoptRecords(TRecordsListKv* From) {
  // The records a scratch list kept from its read, or those in its list.
  std::unique_ptr<TReadRecords> Kept = std::move(From->FKeptRead);
  TReadRecords Listed;
  TReadRecords& Recs = Kept ? *Kept : Listed;
  try {
    for (Integer I = 0; I < From->GetCount(); ++I) Recs.Add(From->GetRec(I));
  } catch (...) {
    Recs.Forget();
    throw;
  }
  From->FRecList.SetOwnsObjects(false);
  From->FRecList.Clear();
  From->FRecList.SetOwnsObjects(true);
  Clear();
  FRecList.SetCapacity(Integer(Recs.Count()));
  TMTDataStructKv* S = GetDataStruct();
  size_t Values = size_t(GetRecValCount());
  for (size_t I = 0; I < Recs.Count(); ++I) {
    if (I + 8 < Recs.Count()) __builtin_prefetch(Recs.Peek(I + 8), 1);
    TMemoryRecordKv* Rec = Recs.Take(I);
    Rec->FIndex = -1;
    Rec->FUpdateIndex = -1;
    Rec->FRecordsList = this;
    Rec->FDataStruct = S;
    Rec->FHashCode = FNewHashCode++;
    if (Rec->FData.size() != Values) Rec->FData.resize(Values, Null);
    try {
      FetchRecord(Rec);
    } catch (...) {
      if (Rec->FIndex == -1) delete Rec;  // refused before it joined the list; the rest go with Recs
      throw;
    }
  }
}

// ---- The records' values in a stream ------------------------------------------------------------
//
// The records list writes and reads the plain values of its records itself, in large pieces: the
// same bytes as the descriptors' WriteDataToWriter and ReadDataFromReader, without a stream call
// per byte. A value that is not plain (binary, BCD and time-stamp fields, descriptors of other
// classes, values that need a conversion, damaged bytes) takes the descriptor's own way.

namespace {

// How the values of a descriptor stream: each by the descriptor, plain tagged values of one type,
// or plain tagged values of any type (a variant field, whose values of other types the descriptor
// writes with their type).
enum TStreamKind : char { skOwn, skPlain, skAnyType };

// The descriptor classes of this unit stream plain tagged values.
TStreamKind StreamKindOf(const TMTDataFieldKv* F) {
  TClass C = F->ClassType();
  bool Own = C == TMTStringDataFieldKv::StaticClass() || C == TMTNumericDataFieldKv::StaticClass() ||
             C == TMTDateTimeDataFieldKv::StaticClass() || C == TMTBooleanDataFieldKv::StaticClass() ||
             C == TMTVariantDataFieldKv::StaticClass();
  if (!Own || IsBinaryFieldType(F->GetDataType())) return skOwn;
  return F->VarDataType() == varVariant ? skAnyType : skPlain;
}

// The descriptors of a structure and whether each streams plain values, resolved once per structure.
class TStreamFields {
 public:
  void For(const TMTDataStructKv* S) {
    if (S == FStruct) return;
    FStruct = S;
    Fields.clear();
    Plain.clear();
    for (Integer I = 0; S && I < S->GetCount(); ++I) {
      Fields.push_back(S->GetDataField(I));
      Plain.push_back(StreamKindOf(Fields.back()));
    }
  }
  const TMTDataStructKv* Struct() const { return FStruct; }
  std::vector<TMTDataFieldKv*> Fields;
  std::vector<TStreamKind> Plain;

 private:
  const TMTDataStructKv* FStruct = nullptr;
};

// Bytes gathered for a writer and handed to it in large pieces.
class TPieceWriter {
 public:
  explicit TPieceWriter(TWriter* Writer) : FWriter(Writer), FBuf(new Byte[Size]) {}
  // Inline: a table's values are put a few bytes at a time, millions of times.
  [[gnu::always_inline]] void Put(Byte B) {
    if (FLen == Size) [[unlikely]] Flush();
    FBuf[FLen++] = B;
  }
  [[gnu::always_inline]] void Put(const void* P, size_t N) {
    if (FLen + N > Size) [[unlikely]] {
      PutLong(P, N);
      return;
    }
    std::memcpy(FBuf.get() + FLen, P, N);
    FLen += N;
  }
  [[gnu::noinline]] void PutLong(const void* P, size_t N) {
    Flush();
    if (N > Size) {
      FWriter->Write(P, Integer(N));
      return;
    }
    std::memcpy(FBuf.get(), P, N);
    FLen = N;
  }
  // ASCII characters as single bytes.
  void PutNarrow(const Char* P, size_t N) {
    while (N > 0) {
      if (FLen == Size) Flush();
      size_t K = std::min(N, Size - FLen);
      for (size_t I = 0; I < K; ++I) FBuf[FLen + I] = Byte(P[I]);
      FLen += K;
      P += K;
      N -= K;
    }
  }
  [[gnu::noinline]] void Flush() {
    if (FLen) FWriter->Write(FBuf.get(), Integer(FLen));
    FLen = 0;
  }

 private:
  static constexpr size_t Size = 64 * 1024;
  TWriter* FWriter;
  std::unique_ptr<Byte[]> FBuf;
  size_t FLen = 0;
};

// Counts what a TPieceWriter would be given.
struct TByteCounter {
  void Put(Byte) { ++Count; }
  void Put(const void*, size_t N) { Count += Int64(N); }
  void PutNarrow(const Char*, size_t N) { Count += Int64(N); }
  Int64 Count = 0;
};

// As TWriter::WriteInteger.
template <class TSink>
void PutInteger(Int64 Value, TSink& Out) {
  if (Value >= -128 && Value <= 127) {
    Out.Put(Byte(vaInt8));
    Out.Put(Byte(std::int8_t(Value)));
  } else if (Value >= -32768 && Value <= 32767) {
    std::int16_t X = std::int16_t(Value);
    Out.Put(Byte(vaInt16));
    Out.Put(&X, 2);
  } else if (Value >= INT32_MIN && Value <= INT32_MAX) {
    std::int32_t X = std::int32_t(Value);
    Out.Put(Byte(vaInt32));
    Out.Put(&X, 4);
  } else {
    Out.Put(Byte(vaInt64));
    Out.Put(&Value, 8);
  }
}

// As TWriter::WriteString: ASCII text as a byte string, anything else as UTF-16.
template <class TSink>
void PutString(const String& S, TSink& Out) {
  bool Ascii = std::all_of(S.begin(), S.end(), [](Char C) { return C <= 0x7F; });
  Integer L = Integer(S.size());
  if (!Ascii) {
    Out.Put(Byte(vaWString));
    Out.Put(&L, 4);
    Out.Put(S.data(), size_t(L) * 2);
    return;
  }
  if (L <= 255) {
    Out.Put(Byte(vaString));
    Out.Put(Byte(L));
  } else {
    Out.Put(Byte(vaLString));
    Out.Put(&L, 4);
  }
  Out.PutNarrow(S.data(), S.size());
}

// A value of a plain descriptor as its WriteDataToWriter writes it; false (nothing written) for a
// value the descriptor must write itself.
template <class TSink>
bool PutPlainValue(const Variant& V, TStreamKind Kind, TSink& Out) {
  if (Kind == skAnyType && TypeTagOf(V.Type())) return false;
  switch (V.Type()) {
    case varNull:
      Out.Put(Byte(vaNil));
      return true;
    case varShortInt: case varByte: case varSmallint: case varWord: case varInteger: case varLongWord: case varInt64:
      PutInteger(V.AsInt64(), Out);
      return true;
    case varSingle: {
      Single X = Single(V.AsDouble());
      Out.Put(Byte(vaSingle));
      Out.Put(&X, 4);
      return true;
    }
    case varDouble: {
      Extended X = V.AsDouble();
      Byte B[16] = {};
      std::memcpy(B, &X, std::min(sizeof(X), sizeof(B)));
      Out.Put(Byte(vaExtended));
      Out.Put(B, 10);  // the 80-bit extended format
      return true;
    }
    case varCurrency: {
      Int64 Raw = V.AsCurrency().Raw();
      Out.Put(Byte(vaCurrency));
      Out.Put(&Raw, 8);
      return true;
    }
    case varDate: {
      Double D = V.AsDateTime().Val;
      Out.Put(Byte(vaDate));
      Out.Put(&D, 8);
      return true;
    }
    case varBoolean:
      Out.Put(Byte(V.AsBoolean() ? vaTrue : vaFalse));
      return true;
    case varOleStr: case varString: case varUString:
      PutString(*V.StringData(), Out);
      return true;
    default:
      return false;
  }
}

// The bytes of a memory stream, read in place.
struct TPieceReader {
  const Byte* Data;
  Int64 Size;
  Int64 Pos;
  bool Has(Int64 N) const { return N >= 0 && Size - Pos >= N; }
  Byte Peek() const { return Data[Pos]; }
};

template <class T>
T Raw(const Byte* P) {
  T X;
  std::memcpy(&X, P, sizeof(X));
  return X;
}

// A value for a plain descriptor whose values take AVarType, as its ReadDataFromReader reads it;
// false (nothing read) for what the descriptor must read itself.
bool GetPlainValue(TPieceReader& In, TVarType AVarType, Variant& Value) {
  if (!In.Has(1)) return false;
  const Byte* P = In.Data + In.Pos;
  auto Takes = [AVarType](TVarType T) { return AVarType == T || AVarType == varVariant; };
  Int64 Len;
  switch (P[0]) {
    case vaNil: case vaNull:
      Value = Null;
      Len = 1;
      break;
    case vaInt8:
      if (!Takes(varInteger) || !In.Has(2)) return false;
      Value = Variant(Integer(std::int8_t(P[1])));
      Len = 2;
      break;
    case vaInt16:
      if (!Takes(varInteger) || !In.Has(3)) return false;
      Value = Variant(Integer(Raw<std::int16_t>(P + 1)));
      Len = 3;
      break;
    case vaInt32:
      if (!Takes(varInteger) || !In.Has(5)) return false;
      Value = Variant(Integer(Raw<std::int32_t>(P + 1)));
      Len = 5;
      break;
    case vaInt64:
      if (!Takes(varInt64) || !In.Has(9)) return false;
      Value = Variant(static_cast<long long>(Raw<Int64>(P + 1)));
      Len = 9;
      break;
    case vaExtended: {
      if (!Takes(varDouble) || !In.Has(11)) return false;
      long double X = 0;
      std::memcpy(&X, P + 1, 10);
      Value = Variant(double(X));
      Len = 11;
      break;
    }
    case vaDouble:
      if (!Takes(varDouble) || !In.Has(9)) return false;
      Value = Variant(Raw<double>(P + 1));
      Len = 9;
      break;
    case vaSingle:
      if (!Takes(varSingle) || !In.Has(5)) return false;
      Value = Variant(Raw<Single>(P + 1));
      Len = 5;
      break;
    case vaCurrency:
      if (!Takes(varCurrency) || !In.Has(9)) return false;
      Value = Variant(Currency::FromRaw(Raw<Int64>(P + 1)));
      Len = 9;
      break;
    case vaDate:
      if (!Takes(varDate) || !In.Has(9)) return false;
      Value = Variant(TDateTime(Raw<double>(P + 1)));
      Len = 9;
      break;
    case vaFalse: case vaTrue:
      if (!Takes(varBoolean)) return false;
      Value = Variant(P[0] == vaTrue);
      Len = 1;
      break;
    case vaWString: {
      if (!Takes(varUString) || !In.Has(5)) return false;
      Integer L = Raw<Integer>(P + 1);
      if (L < 0 || L > 0x3FFFFFFF || !In.Has(5 + Int64(L) * 2)) return false;
      String S(size_t(L), L'\0');
      if (L) std::memcpy(S.data(), P + 5, size_t(L) * 2);
      Value = Variant(std::move(S));
      Len = 5 + Int64(L) * 2;
      break;
    }
    case vaString: case vaLString: {
      // Only ASCII: other bytes are text of the ANSI code page, which the reader converts.
      Int64 Head = P[0] == vaString ? 2 : 5;
      if (!Takes(varUString) || !In.Has(Head)) return false;
      Integer L = P[0] == vaString ? Integer(P[1]) : Raw<Integer>(P + 1);
      if (L < 0 || !In.Has(Head + L)) return false;
      const Byte* T = P + Head;
      if (!std::all_of(T, T + L, [](Byte B) { return B < 0x80; })) return false;
      Value = Variant(String(T, T + L));
      Len = Head + L;
      break;
    }
    default:
      return false;
  }
  In.Pos += Len;
  return true;
}

}  // namespace

void TRecordsListKv::WriteData(TWriter* Writer) {
  TStreamFields F;
  // A memory stream takes the size at once, as measured on a few thousand records spread over the
  // list and an eighth more: grown piece by piece, a large table would be copied again and again.
  Integer Count = FRecList.GetCount();
  auto* M = dynamic_cast<TMemoryStream*>(Writer->GetStream());
  if (M && Count > 0) {
    Integer Step = std::max(1, Count / 4096), Sampled = 0;
    TByteCounter Size;
    for (Integer R = 0; R < Count; R += Step, ++Sampled) {
      TMemoryRecordKv* Rec = GetRec(R);
      F.For(Rec->FDataStruct);
      Size.Count += 2;
      for (size_t I = 0; I < F.Fields.size(); ++I) {
        const Variant& V = I < Rec->FData.size() ? Rec->FData[I] : Null;
        if (!F.Plain[I] || !PutPlainValue(V, F.Plain[I], Size)) Size.Count += 16;
      }
    }
    Int64 Estimate = Int64(double(Size.Count) * Count / Sampled);
    Int64 Need = Writer->GetPosition() + 2 + Estimate + Estimate / 8;
    if (Need > M->GetCapacity()) M->SetCapacity(NativeInt(Need));
  }
  TPieceWriter Out(Writer);
  Out.Put(Byte(vaList));
  Pointer* Recs = FRecList.GetList();
  for (Integer R = 0; R < FRecList.GetCount(); ++R) {
    // The walk over the records is bound by memory: the records and values ahead are fetched.
    if (R + 16 < Count) __builtin_prefetch(Recs[R + 16]);
    if (R + 8 < Count) __builtin_prefetch(static_cast<TMemoryRecordKv*>(Recs[R + 8])->FData.data());
    auto* Rec = static_cast<TMemoryRecordKv*>(Recs[R]);
    if (!Rec->FDataStruct) {
      Out.Flush();
      Rec->WriteRecordData(Writer);
      continue;
    }
    if (Rec->FDataStruct != F.Struct()) F.For(Rec->FDataStruct);
    Out.Put(Byte(vaList));
    for (size_t I = 0; I < F.Fields.size(); ++I) {
      const Variant& V = I < Rec->FData.size() ? Rec->FData[I] : Null;
      if (F.Plain[I] && PutPlainValue(V, F.Plain[I], Out)) continue;
      Out.Flush();
      F.Fields[I]->WriteDataToWriter(V, Writer);
    }
    Out.Put(Byte(vaNull));
  }
  Out.Put(Byte(vaNull));
  Out.Flush();
}

void TRecordsListKv::ReadData(TReader* Reader) {
  // Everything is read before anything is replaced: a damaged stream leaves the records as they were.
  auto Owned = std::make_unique<TReadRecords>();
  TReadRecords& Read = *Owned;
  Reader->ReadListBegin();
  auto* M = dynamic_cast<TCustomMemoryStream*>(Reader->GetStream());
  TMTDataStructKv* S = GetDataStruct();
  if (M && S) {
    // The values are taken from the stream's memory in place; the reader steps in for whatever
    // is not plain, from the position reached.
    TStreamFields F;
    F.For(S);
    TPieceReader In{static_cast<const Byte*>(M->GetMemory()), M->GetSize(), Reader->GetPosition()};
    auto Sync = [&] { Reader->SetPosition(In.Pos); };
    auto Resume = [&] { In.Pos = Reader->GetPosition(); };
    for (;;) {
      if (!In.Has(1)) {
        Sync();
        if (Reader->EndOfList()) break;
        Resume();
      }
      if (In.Peek() == vaNull) break;
      // Each value is read into its place: none is filled in beforehand.
      std::unique_ptr<TMemoryRecordKv> Rec(new TMemoryRecordKv());
      Rec->FHashCode = FNewHashCode++;
      Rec->FRecordsList = this;
      Rec->FDataStruct = S;
      Rec->FData.resize(F.Fields.size());
      if (In.Peek() == vaList) {
        ++In.Pos;
      } else {
        Sync();
        Reader->ReadListBegin();
        Resume();
      }
      for (size_t I = 0; I < F.Fields.size(); ++I) {
        if (F.Plain[I] && GetPlainValue(In, F.Fields[I]->VarDataType(), Rec->FData[I])) continue;
        Sync();
        F.Fields[I]->ReadDataFromReader(Rec->FData[I], Reader);
        Resume();
      }
      if (In.Has(1) && In.Peek() == vaNull) {
        ++In.Pos;
      } else {
        Sync();
        Reader->ReadListEnd();
        Resume();
      }
      Read.Add(Rec);
    }
    Sync();
  } else {
    while (!Reader->EndOfList()) {
      std::unique_ptr<TMemoryRecordKv> Rec(NewRecord());
      Rec->ReadRecordData(Reader);
      Read.Add(Rec);
    }
  }
  Reader->ReadListEnd();
  Clear();
  if (FKeepRead) {
    FKeptRead = std::move(Owned);
    return;
  }
  FRecList.SetCapacity(Integer(Read.Count()));
  for (size_t I = 0; I < Read.Count(); ++I) {
    TMemoryRecordKv* Rec = Read.Take(I);
    try {
      FetchRecord(Rec);
    } catch (...) {
      if (Rec->FIndex == -1) delete Rec;  // refused before it joined the list
      throw;
    }
  }
}

namespace {

// What a list's "Data" writes, through a writer of its own with a 1024-byte buffer.
TBytes WrittenData(const Closure<void(TWriter*)>& Write) {
  TMemoryStream S;
  {
    TWriter W(&S, 1024);
    Write(&W);
    W.FlushBuffer();
  }
  TBytes B(size_t(S.GetSize()));
  if (!B.empty()) std::memcpy(B.data(), S.GetMemory(), B.size());
  return B;
}

}  // namespace

void TRecordsListKv::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  bool HasData;
  if (auto* Ancestor = dynamic_cast<TRecordsListKv*>(Filer->GetAncestor())) {
    HasData = Ancestor->ClassType() != ClassType() ||
              WrittenData({this, &TRecordsListKv::WriteData}) != WrittenData({Ancestor, &TRecordsListKv::WriteData});
  } else {
    HasData = Filer->GetAncestor() ? true : FRecList.GetCount() > 0;
  }
  Filer->DefineProperty(L"Data", {this, &TRecordsListKv::ReadData}, {this, &TRecordsListKv::WriteData}, HasData);
}

// ---- Notificators -------------------------------------------------------------------------------

TRecordsListNotificatorKv::TRecordsListNotificatorKv(TComponent* AOwner) : TComponent(AOwner) {}

TRecordsListNotificatorKv::~TRecordsListNotificatorKv() {
  // One on the stack is torn down after its derived parts are gone: it detaches here, quietly.
  if (FDataObject) {
    TRecordsListNotificatorKv::DetachFrom(FDataObject);
    FDataObject->RemoveFreeNotification(this);
    FDataObject = nullptr;
  }
}

void TRecordsListNotificatorKv::DestroyContents() {
  // Detached while whole, so a descendant's own detaching runs.
  SetDataObject(nullptr);
  TComponent::DestroyContents();
}

Integer TRecordsListNotificatorKv::FetchRecords(Integer Count) { return FOnFetchRecords ? FOnFetchRecords(Count) : 0; }

void TRecordsListNotificatorKv::AfterDataEvent(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action) {
  DoEvent(FOnAfterDataEvent, MemRec, Index, Action);
}

void TRecordsListNotificatorKv::DataEvent(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action) {
  DoEvent(FOnDataEvent, MemRec, Index, Action);
  switch (Action) {
    case rlnRecAddedKv: RecordAdded(MemRec, Index); break;
    case rlnRecChangedKv: RecordChanged(MemRec, Index); break;
    case rlnRecDeletedKv: RecordDeleted(MemRec, Index); break;
    case rlnListChangedKv: RecordListChanged(); break;
    default: break;
  }
}

void TRecordsListNotificatorKv::RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex) {
  DoEvent(FOnRecordMoved, Item, OldIndex, NewIndex);
}

void TRecordsListNotificatorKv::StructChanged(TMemTableDataKv* AMemTableData) { DoEvent(FOnStructChanged, AMemTableData); }

void TRecordsListNotificatorKv::CallApplyUpdates(TMemTableDataKv* AMemTableData) { DoEvent(FOnApplyUpdates, AMemTableData); }

bool TRecordsListNotificatorKv::AttachTo(TComponent* ADataObject) {
  if (auto* M = dynamic_cast<TMemTableDataKv*>(ADataObject)) {
    M->AddNotificator(this);
    FMemTableData = M;
    return true;
  }
  return false;
}

void TRecordsListNotificatorKv::DetachFrom(TComponent* ADataObject) {
  if (auto* M = dynamic_cast<TMemTableDataKv*>(ADataObject)) M->RemoveNotificator(this);
  FMemTableData = nullptr;
}

void TRecordsListNotificatorKv::SetDataObject(TComponent* Value) {
  if (FDataObject == Value) return;
  DataEvent(nullptr, -1, rlnListChangingKv);
  if (FDataObject) {
    DetachFrom(FDataObject);
    FDataObject->RemoveFreeNotification(this);
    FDataObject = nullptr;
  }
  if (Value) {
    AttachTo(Value);
    Value->FreeNotification(this);
  }
  FDataObject = Value;
  DataEvent(nullptr, -1, rlnListChangedKv);
}

void TRecordsListNotificatorKv::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FDataObject) SetDataObject(nullptr);
}

// ---- Indexes ------------------------------------------------------------------------------------

EUniqueKeyViolationKv::EUniqueKeyViolationKv(const String& AFieldNames, const Variant& AValue)
    : EDatabaseError(L"Unique key violation \r\n FieldNames: " + AFieldNames + L"\r\n Value: \"" +
                     (VarIsArray(AValue) ? VarArrayToStrKv(AValue) : VarToStr(AValue)) + L"\""),
      FieldNames(AFieldNames),
      Value(AValue) {}

TMTIndexKv::TMTIndexKv(TCollection* Collection) : TCollectionItem(Collection) {}

TMTIndexKv* TMTIndexKv::CreateApart(TRecordsListKv* ARecordsList) {
  auto* I = new TMTIndexKv(nullptr);
  I->FRecordsList = ARecordsList;
  return I;
}

TMTIndexKv::~TMTIndexKv() = default;

TRecordsListKv* TMTIndexKv::RecordsList() const {
  if (FRecordsList) return FRecordsList;
  auto* C = dynamic_cast<TMTIndexesKv*>(GetCollection());
  return C ? C->GetRecList() : nullptr;
}

void TMTIndexKv::SetActive(bool Value) {
  if (FActive == Value) return;
  FActive = Value;
  if (Value) RebuildIndex();
  else ClearIndex();
}

void TMTIndexKv::SetFields(const String& Value) {
  if (FFields == Value) return;
  FFields = Value;
  RebuildIndex();
}

void TMTIndexKv::SetPrimary(bool Value) {
  if (FPrimary == Value) return;
  FPrimary = Value;
  RebuildIndex();
}

void TMTIndexKv::SetUnique(bool Value) {
  if (FUnique == Value) return;
  FUnique = Value;
  RebuildIndex();
}

void TMTIndexKv::ClearIndex() {
  FRuns.clear();
  FRuns.shrink_to_fit();
  FRunSums.clear();
  FCount = 0;
}

Variant TMTIndexKv::KeyOf(TMemoryRecordKv* Rec, TDataValueVersionKv Version) const {
  const TMTDataStructKv* S = Rec->GetDataStruct();
  if (!S) return Rec->GetDataValues(FFields, Version);
  if (S != FKeyStruct || S->GetLayoutVersion() != FKeyLayout || FKeyFieldNames != FFields) {
    // Resolved once per layout: names are looked up the way the record looks them up, so an
    // unknown name raises the same error.
    TIntArray Fields;
    if (Pos(L";", FFields) > 0) {
      TList List;
      const_cast<TMTDataStructKv*>(S)->GetFieldList(&List, FFields);
      for (Integer I = 0; I < List.GetCount(); ++I) Fields.push_back(static_cast<TMTDataFieldKv*>(List[I])->GetIndex());
    } else {
      Integer I = S->FieldIndex(FFields);
      if (I < 0) return Rec->GetDataValues(FFields, Version);
      Fields.push_back(I);
    }
    FKeyFields = std::move(Fields);
    FKeyStruct = S;
    FKeyLayout = S->GetLayoutVersion();
    FKeyFieldNames = FFields;
  }
  if (FKeyFields.size() == 1) return Rec->GetDataValue(FKeyFields[0], Version);
  if (Version == dvvOldValueKv && Rec->GetOldData().empty())
    throw Exception(L"TMemoryRecordKv.GetDataValues: Old values is not accessible.");
  Variant R = VarArrayCreate({0, Integer(FKeyFields.size()) - 1}, varVariant);
  for (size_t I = 0; I < FKeyFields.size(); ++I) R[Integer(I)] = Rec->GetDataValue(FKeyFields[I], Version);
  return R;
}

TSortKeyKv& TSortKeyKv::operator=(const TSortKeyKv& Other) {
  if (this != &Other) Assign(Other.Data(), Other.Size());
  return *this;
}

TSortKeyKv& TSortKeyKv::operator=(TSortKeyKv&& Other) noexcept {
  if (this != &Other) {
    Clear();
    std::memcpy(FBytes, Other.FBytes, sizeof(FBytes));
    Other.FBytes[Tag] = 0;
  }
  return *this;
}

void TSortKeyKv::Assign(const char* P, size_t N) {
  if (N <= Tag) {
    char Copy[Tag];
    if (N) std::memcpy(Copy, P, N);
    Clear();
    std::memcpy(FBytes, Copy, N);
    FBytes[Tag] = char(N);
    return;
  }
  auto* Block = static_cast<char*>(MemTableAllocKv(N));
  std::memcpy(Block, P, N);
  Clear();
  Cardinal Len = Cardinal(N);
  std::memcpy(FBytes, &Block, sizeof(Block));
  std::memcpy(FBytes + sizeof(Block), &Len, sizeof(Len));
  FBytes[Tag] = Long;
}

void TSortKeyKv::Clear() noexcept {
  if (IsLong()) MemTableFreeKv(LongData(), LongSize());
  FBytes[Tag] = 0;
}

int TSortKeyKv::Compare(const TSortKeyKv& Other) const {
  // Eight bytes at a time, most significant first: an index compares keys millions of times.
  auto* A = reinterpret_cast<const Byte*>(Data());
  auto* B = reinterpret_cast<const Byte*>(Other.Data());
  size_t N = Size(), M = Other.Size(), K = std::min(N, M), I = 0;
  for (; I + 8 <= K; I += 8) {
    UInt64 X, Y;
    std::memcpy(&X, A + I, 8);
    std::memcpy(&Y, B + I, 8);
    if (X != Y) return __builtin_bswap64(X) < __builtin_bswap64(Y) ? -1 : 1;
  }
  for (; I < K; ++I)
    if (A[I] != B[I]) return A[I] < B[I] ? -1 : 1;
  return N < M ? -1 : N > M ? 1 : 0;
}

bool TMTIndexKv::MakeSortKey(const Variant& Value, TSortKeyKv& Key) {
  if (Value.IsNull()) {
    Key.Clear();
    return true;
  }
  const String* Text = Value.StringData();
  std::string Bytes;
  if (!Text || !TurkishSortKeyKv(*Text, Bytes)) return false;
  Key.Assign(Bytes.data(), Bytes.size());
  return true;
}

TVariantRelationship TMTIndexKv::CompareEntry(const TIndexItemKv& Entry, const Variant& Value, const TSortKeyKv* Key) const {
  if (FKeyed && Key) {
    int C = Entry.SortKey.Compare(*Key);
    return C < 0 ? vrLessThan : C > 0 ? vrGreaterThan : vrEqual;
  }
  return DBVarCompareValue(Entry.Value, Value);
}

TVariantRelationship TMTIndexKv::CompareEntries(const TIndexItemKv& A, const TIndexItemKv& B) const {
  TVariantRelationship R = CompareEntry(A, B.Value, FKeyed ? &B.SortKey : nullptr);
  if (R != vrEqual) return R;
  return A.RecIndex < B.RecIndex ? vrLessThan : A.RecIndex > B.RecIndex ? vrGreaterThan : vrEqual;
}

// ---- The runs of entries

TIndexItemKv& TMTIndexKv::Entry(Integer Index) {
  if (Index < 0 || Index >= FCount) TList::Error(SListIndexError, Index);
  return EntryAt(SlotOf(Index));
}

TMTIndexKv::TSlot TMTIndexKv::SlotOf(Integer Index) const {
  if (FRuns.empty()) return {};
  if (Index >= FCount) return {FRuns.size() - 1, FRuns.back().size()};
  if (FRuns.size() == 1) return {0, size_t(Index)};
  // Down the Fenwick sums: the last run whose entries before it are not more than Index.
  size_t N = FRuns.size(), Run = 0, Step = 1;
  while (Step * 2 <= N) Step *= 2;
  Integer Rest = Index;
  for (; Step; Step >>= 1)
    if (Run + Step <= N && FRunSums[Run + Step] <= Rest) {
      Run += Step;
      Rest -= FRunSums[Run];
    }
  return {Run, size_t(Rest)};
}

Integer TMTIndexKv::PositionOf(TSlot S) const {
  Integer P = Integer(S.At);
  for (size_t I = S.Run; I > 0; I -= I & (~I + 1)) P += FRunSums[I];
  return P;
}

void TMTIndexKv::IndexRuns() {
  size_t N = FRuns.size();
  FRunSums.assign(N + 1, 0);
  FCount = 0;
  for (size_t I = 1; I <= N; ++I) {
    Integer Size = Integer(FRuns[I - 1].size());
    FCount += Size;
    FRunSums[I] += Size;
    size_t Up = I + (I & (~I + 1));
    if (Up <= N) FRunSums[Up] += FRunSums[I];
  }
}

void TMTIndexKv::RunResized(size_t Run, Integer Delta) {
  for (size_t I = Run + 1; I < FRunSums.size(); I += I & (~I + 1)) FRunSums[I] += Delta;
  FCount += Delta;
}

void TMTIndexKv::SplitRun(size_t Run) {
  const size_t Half = RunMax / 2;
  TEntryRun& Long = FRuns[Run];
  size_t Pieces = (Long.size() + Half - 1) / Half;
  // Everything that may fail to allocate comes before the first entry moves.
  std::vector<TEntryRun> Parts(Pieces);
  for (size_t P = 0; P < Pieces; ++P) Parts[P].reserve(std::min(Half, Long.size() - P * Half));
  FRuns.reserve(FRuns.size() + Pieces - 1);
  TEntryRun& From = FRuns[Run];
  for (size_t I = 0; I < From.size(); ++I) Parts[I / Half].push_back(std::move(From[I]));
  FEntryMoves += Int64(From.size());
  FRuns.erase(FRuns.begin() + ptrdiff_t(Run));
  FRuns.insert(FRuns.begin() + ptrdiff_t(Run), std::make_move_iterator(Parts.begin()), std::make_move_iterator(Parts.end()));
  IndexRuns();
}

void TMTIndexKv::JoinRuns() {
  if (FRuns.size() <= 1) return;
  TEntryRun All;
  All.reserve(size_t(FCount));
  for (TEntryRun& R : FRuns)
    for (TIndexItemKv& It : R) All.push_back(std::move(It));
  FEntryMoves += FCount;
  FRuns.clear();
  FRuns.push_back(std::move(All));
  IndexRuns();
}

void TMTIndexKv::InsertAt(TSlot S, TIndexItemKv&& E) {
  if (FRuns.empty()) {
    FRuns.emplace_back();
    FRuns[0].push_back(std::move(E));
    IndexRuns();
    return;
  }
  if (FRuns[S.Run].size() >= RunMax) {
    const size_t Half = RunMax / 2;
    size_t Last = (FRuns[S.Run].size() - 1) / Half, Piece = std::min(S.At / Half, Last);
    SplitRun(S.Run);
    S = {S.Run + Piece, S.At - Piece * Half};
  }
  TEntryRun& R = FRuns[S.Run];
  FEntryMoves += Int64(R.size() - S.At);
  R.insert(R.begin() + ptrdiff_t(S.At), std::move(E));
  RunResized(S.Run, 1);
}

void TMTIndexKv::EraseAt(TSlot S) {
  if (FRuns[S.Run].size() > RunMax) {
    const size_t Half = RunMax / 2;
    size_t Piece = S.At / Half;
    SplitRun(S.Run);
    S = {S.Run + Piece, S.At - Piece * Half};
  }
  TEntryRun& R = FRuns[S.Run];
  FEntryMoves += Int64(R.size() - S.At - 1);
  R.erase(R.begin() + ptrdiff_t(S.At));
  if (R.empty()) {
    FRuns.erase(FRuns.begin() + ptrdiff_t(S.Run));
    IndexRuns();
  } else {
    RunResized(S.Run, -1);
  }
}

bool TMTIndexKv::Next(TSlot& S) const {
  if (S.At + 1 < FRuns[S.Run].size()) {
    ++S.At;
    return true;
  }
  if (S.Run + 1 >= FRuns.size()) return false;
  S = {S.Run + 1, 0};
  return true;
}

bool TMTIndexKv::Prev(TSlot& S) const {
  if (S.At > 0) {
    --S.At;
    return true;
  }
  if (S.Run == 0) return false;
  --S.Run;
  S.At = FRuns[S.Run].size() - 1;
  return true;
}

void TMTIndexKv::ShiftRecIndexes(Integer From, Integer Delta) {
  for (TEntryRun& R : FRuns)
    for (TIndexItemKv& It : R)
      if (It.RecIndex >= From) It.RecIndex += Delta;
  FEntryMoves += FCount;
}

// ----

void TMTIndexKv::DropSortKeys() {
  FKeyed = false;
  for (TEntryRun& R : FRuns)
    for (TIndexItemKv& It : R) It.SortKey.Clear();
  // The system's comparison may order a few letters otherwise than the keys did: sorted anew,
  // so the bisections that follow see one order. (A rebuild counts its entries, and sorts them,
  // only once they are all made.)
  if (FCount > 1) QuickSort(0, FCount - 1);
}

const TSortKeyKv* TMTIndexKv::AdmitKey(const Variant& Value, TSortKeyKv& Key) {
  if (FKeyed && !MakeSortKey(Value, Key)) DropSortKeys();
  return FKeyed ? &Key : nullptr;
}

TIndexItemKv TMTIndexKv::MakeEntry(const Variant& Value, Integer RecIndexValue) {
  TIndexItemKv E{Value, RecIndexValue, {}};
  if (FKeyed && !MakeSortKey(Value, E.SortKey)) {
    E.SortKey.Clear();
    DropSortKeys();
  }
  return E;
}

void TMTIndexKv::RebuildIndex() {
  ClearIndex();
  TRecordsListKv* L = RecordsList();
  if (!FActive || FFields.empty() || !L) return;
  // Under a Turkish user a text key is compared by its collation key, made once per value: the
  // same order as the system's comparison without a system call per comparison.
  FKeyed = false;
  if (SysLocale.PriLangID == 0x1F && Pos(L";", FFields) == 0) {
    TMTDataStructKv* S = L->GetDataStruct();
    TMTDataFieldKv* F = S ? S->FindField(FFields) : nullptr;
    TVarType T = F ? F->VarDataType() : varEmpty;
    FKeyed = T == varString || T == varUString || T == varOleStr;
  }
  FRuns.emplace_back();
  TEntryRun& All = FRuns[0];
  All.reserve(size_t(L->GetCount()));
  for (Integer I = 0; I < L->GetCount(); ++I) {
    TMemoryRecordKv* Rec = L->GetRec(I);
    // A record marked deleted has no entry, as when it was marked.
    if (Rec->GetUpdateStatus() == usDeleted) continue;
    All.push_back(MakeEntry(KeyOf(Rec, dvvValueKv), I));
  }
  if (All.empty()) FRuns.clear();
  IndexRuns();
  if (FCount > 1) QuickSort(0, FCount - 1);
  if (IsUniqueKind()) CheckUnique();
}

void TMTIndexKv::QuickSort(Integer L, Integer R) {
  JoinRuns();
  if (FRuns.empty()) return;
  TEntryRun& E = FRuns[0];
  while (L < R) {
    Integer I = L, J = R, P = (L + R) >> 1;
    do {
      while (I < R && CompareEntries(E[size_t(I)], E[size_t(P)]) == vrLessThan) ++I;
      while (J > L && CompareEntries(E[size_t(J)], E[size_t(P)]) == vrGreaterThan) --J;
      if (I <= J) {
        if (I != J) {
          std::swap(E[size_t(I)], E[size_t(J)]);
          if (P == I) P = J;
          else if (P == J) P = I;
        }
        ++I;
        --J;
      }
    } while (I <= J);
    if (L < J) QuickSort(L, J);
    L = I;
  }
}

void TMTIndexKv::CheckUnique() {
  const TIndexItemKv* Prev = nullptr;
  for (const TEntryRun& R : FRuns)
    for (const TIndexItemKv& It : R) {
      if (Prev && !Prev->Value.IsNull() && CompareEntry(*Prev, It.Value, FKeyed ? &It.SortKey : nullptr) == vrEqual)
        throw EUniqueKeyViolationKv(FFields, Prev->Value);
      Prev = &It;
    }
}

bool TMTIndexKv::FindKey(const Variant& Value, const TSortKeyKv* Key, TSlot& S) const {
  if (FRuns.empty()) {
    S = {};
    return false;
  }
  auto Compare = [&](const TIndexItemKv& Entry) {
    TVariantRelationship C = CompareEntry(Entry, Value, Key);
    if (C == vrNotEqual) throw Exception(L"TMTIndexKv.FindKeyValueIndex: values is not comparable.");
    return C;
  };
  // The run: the first whose last entry is not less than Value.
  size_t Lo = 0, Hi = FRuns.size();
  while (Lo < Hi) {
    size_t Mid = (Lo + Hi) >> 1;
    if (Compare(FRuns[Mid].back()) == vrLessThan) Lo = Mid + 1;
    else Hi = Mid;
  }
  if (Lo == FRuns.size()) {
    S = {Lo - 1, FRuns.back().size()};
    return false;
  }
  // In the run, the bisection stops at the first equal entry it meets.
  const TEntryRun& Run = FRuns[Lo];
  Integer L = 0, H = Integer(Run.size()) - 1;
  bool Found = false;
  while (L <= H) {
    Integer Mid = (L + H) >> 1;
    switch (Compare(Run[size_t(Mid)])) {
      case vrLessThan:
        L = Mid + 1;
        break;
      case vrGreaterThan:
        H = Mid - 1;
        break;
      default:
        Found = true;
        L = Mid;
        H = L - 1;
        break;
    }
  }
  S = {Lo, size_t(L)};
  return Found;
}

bool TMTIndexKv::FindPlace(const Variant& Value, const TSortKeyKv* Key, Integer RecIndexValue, TSlot& S) const {
  if (FRuns.empty()) {
    S = {};
    return false;
  }
  auto Before = [&](const TIndexItemKv& Entry) {
    TVariantRelationship C = CompareEntry(Entry, Value, Key);
    if (C == vrNotEqual) throw Exception(L"TMTIndexKv.FindKeyValueIndex: values is not comparable.");
    return C == vrLessThan || (C == vrEqual && Entry.RecIndex < RecIndexValue);
  };
  size_t Lo = 0, Hi = FRuns.size();
  while (Lo < Hi) {
    size_t Mid = (Lo + Hi) >> 1;
    if (Before(FRuns[Mid].back())) Lo = Mid + 1;
    else Hi = Mid;
  }
  if (Lo == FRuns.size()) {
    S = {Lo - 1, FRuns.back().size()};
    return false;
  }
  const TEntryRun& Run = FRuns[Lo];
  size_t L = 0, H = Run.size();
  while (L < H) {
    size_t Mid = (L + H) >> 1;
    if (Before(Run[Mid])) L = Mid + 1;
    else H = Mid;
  }
  S = {Lo, L};
  return Run[L].RecIndex == RecIndexValue && CompareEntry(Run[L], Value, Key) == vrEqual;
}

bool TMTIndexKv::FindKeyValueSlot(const Variant& Value, TSlot& S) const {
  TSortKeyKv Key;
  bool HasKey = FKeyed && MakeSortKey(Value, Key);
  return FindKey(Value, HasKey ? &Key : nullptr, S);
}

bool TMTIndexKv::FindKeyValueIndex(const Variant& Value, Integer& Index) const {
  TSlot S;
  bool Found = FindKeyValueSlot(Value, S);
  Index = PositionOf(S);
  return Found;
}

bool TMTIndexKv::FindRecordIndexByKey(const Variant& Value, Integer& Index) const {
  TSlot S;
  if (!FindKeyValueSlot(Value, S)) return false;
  Index = FRuns[S.Run][S.At].RecIndex;
  return true;
}

void TMTIndexKv::FillMatchedKeyList(const Variant& Value, std::vector<TIndexItemKv*>& List) {
  TSortKeyKv Key;
  const TSortKeyKv* K = FKeyed && MakeSortKey(Value, Key) ? &Key : nullptr;
  TSlot Found;
  if (!FindKey(Value, K, Found)) return;
  for (TSlot S = Found; Prev(S) && CompareEntry(EntryAt(S), Value, K) == vrEqual;) List.push_back(&EntryAt(S));
  TSlot S = Found;
  do {
    if (CompareEntry(EntryAt(S), Value, K) != vrEqual) break;
    List.push_back(&EntryAt(S));
  } while (Next(S));
}

void TMTIndexKv::FillMatchedRecsList(const Variant& Value, TList* List) {
  std::vector<TIndexItemKv*> Items;
  FillMatchedKeyList(Value, Items);
  TRecordsListKv* L = RecordsList();
  for (TIndexItemKv* It : Items) List->Add(L->GetRec(It->RecIndex));
}

bool TMTIndexKv::FindEntryOfRecord(const Variant& Key, Integer RecIndexValue, TSlot& S) const {
  TSortKeyKv SortKey;
  const TSortKeyKv* K = FKeyed && MakeSortKey(Key, SortKey) ? &SortKey : nullptr;
  return FindPlace(Key, K, RecIndexValue, S);
}

bool TMTIndexKv::ScanForRecord(Integer RecIndexValue, TSlot& S) const {
  for (size_t R = 0; R < FRuns.size(); ++R)
    for (size_t I = 0; I < FRuns[R].size(); ++I)
      if (FRuns[R][I].RecIndex == RecIndexValue) {
        S = {R, I};
        return true;
      }
  return false;
}

void TMTIndexKv::EnterRecord(const Variant& Key, const TSortKeyKv* SortKey, Integer RecIndexValue) {
  TSlot S;
  FindPlace(Key, SortKey, RecIndexValue, S);
  InsertItem(PositionOf(S), Key, RecIndexValue);
}

void TMTIndexKv::InsertItem(Integer Index, const Variant& Value, Integer RecIndexValue) {
  if (Index < 0 || Index > FCount) TList::Error(SListIndexError, Index);
  // Index was found for Value, which the index has already admitted: making the entry keeps the order.
  TIndexItemKv E = MakeEntry(Value, RecIndexValue);
  InsertAt(SlotOf(Index), std::move(E));
}

void TMTIndexKv::Notify(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action) {
  if (!FActive || FFields.empty()) return;
  switch (Action) {
    case rlnRecAddingKv: {
      if (!IsUniqueKind()) break;
      Variant Key = KeyOf(MemRec, dvvValueKv);
      TSlot S;
      if (FindKeyValueSlot(Key, S)) throw EUniqueKeyViolationKv(FFields, Key);
      break;
    }
    case rlnRecAddedKv: {
      Variant Key = KeyOf(MemRec, dvvValueKv);
      TSortKeyKv SortKey;
      const TSortKeyKv* K = AdmitKey(Key, SortKey);
      // A record put before others moves them on; one added at the end moves nobody.
      if (Index < MemRec->GetRecordsList()->GetCount() - 1) ShiftRecIndexes(Index, 1);
      EnterRecord(Key, K, Index);
      break;
    }
    case rlnRecChangingKv: {
      FOldValue = KeyOf(MemRec, dvvCurValueKv);
      FAnnounced = MemRec;
      // A record marked deleted has no entry: one that comes back is entered anew.
      FReturning = MemRec->GetUpdateStatus() == usDeleted;
      if (IsUniqueKind()) {
        Variant Key = KeyOf(MemRec, dvvValueKv);
        TSlot S;
        // One that comes back must not meet its key either.
        if ((FReturning || DBVarCompareValue(Key, FOldValue) != vrEqual) && FindKeyValueSlot(Key, S))
          throw EUniqueKeyViolationKv(FFields, Key);
      }
      break;
    }
    case rlnRecChangedKv: {
      bool Announced = FAnnounced == MemRec;
      FAnnounced = nullptr;
      Variant Key = KeyOf(MemRec, dvvValueKv);
      TSortKeyKv SortKey;
      const TSortKeyKv* K = AdmitKey(Key, SortKey);
      TSlot P;
      // The entry under the announced former key; a change nobody announced (a refresh) leaves
      // only the record's position to find it by.
      bool Has = Announced && FindEntryOfRecord(FOldValue, Index, P);
      if (!Has && !(Announced && FReturning)) Has = ScanForRecord(Index, P);
      if (MemRec->GetUpdateStatus() == usDeleted) {
        // Still marked deleted: it keeps no entry.
        if (Has) EraseAt(P);
        break;
      }
      if (Has) {
        TIndexItemKv& E = EntryAt(P);
        if (CompareEntry(E, Key, K) == vrEqual) {
          // The key keeps its place (a change of other fields): the entry takes the value there.
          E.Value = Key;
          if (K) E.SortKey = *K;
          break;
        }
        EraseAt(P);
      }
      EnterRecord(Key, K, Index);
      break;
    }
    case rlnRecDeletedKv: {
      TSlot P;
      // The entry holds the key from before an edit that is still open.
      if (FindEntryOfRecord(KeyOf(MemRec, dvvCurValueKv), Index, P) || ScanForRecord(Index, P)) EraseAt(P);
      TRecordsListKv* L = MemRec->GetRecordsList();
      if (!L || Index < L->GetCount()) ShiftRecIndexes(Index, -1);
      break;
    }
    case rlnRecMarkedForDelKv: {
      TSlot P;
      if (FindEntryOfRecord(KeyOf(MemRec, dvvCurValueKv), Index, P) || ScanForRecord(Index, P)) EraseAt(P);
      break;
    }
    case rlnListChangedKv:
      RebuildIndex();
      break;
    default:
      break;
  }
}

void TMTIndexKv::RecordsRemoved(const std::vector<Integer>& NewIndex) {
  if (!FActive || FFields.empty()) return;
  // The positions keep their order, and so the entries theirs.
  size_t Kept = 0;
  for (size_t Run = 0; Run < FRuns.size(); ++Run) {
    TEntryRun& R = FRuns[Run];
    size_t Out = 0;
    for (size_t I = 0; I < R.size(); ++I) {
      Integer Was = R[I].RecIndex;
      Integer To = Was >= 0 && size_t(Was) < NewIndex.size() ? NewIndex[size_t(Was)] : -1;
      if (To < 0) continue;
      R[I].RecIndex = To;
      if (Out != I) R[Out] = std::move(R[I]);
      ++Out;
    }
    R.erase(R.begin() + ptrdiff_t(Out), R.end());
    if (R.empty()) continue;
    if (Kept != Run) FRuns[Kept] = std::move(R);
    ++Kept;
  }
  FRuns.erase(FRuns.begin() + ptrdiff_t(Kept), FRuns.end());
  FEntryMoves += FCount;
  IndexRuns();
}

void TMTIndexKv::RecordMoved(TMemoryRecordKv*, Integer OldIndex, Integer NewIndex) {
  TSlot Moved;
  bool Has = false;
  for (size_t R = 0; R < FRuns.size(); ++R)
    for (size_t I = 0; I < FRuns[R].size(); ++I) {
      Integer& At = FRuns[R][I].RecIndex;
      if (At == OldIndex) {
        Moved = {R, I};
        Has = true;
      } else if (NewIndex < OldIndex && At >= NewIndex && At < OldIndex) {
        ++At;
      } else if (NewIndex > OldIndex && At > OldIndex && At <= NewIndex) {
        --At;
      }
    }
  FEntryMoves += FCount;
  if (!Has) return;
  // Among equal keys the entry takes its place by its new position.
  TIndexItemKv E = std::move(EntryAt(Moved));
  EraseAt(Moved);
  E.RecIndex = NewIndex;
  TSlot S;
  FindPlace(E.Value, FKeyed ? &E.SortKey : nullptr, NewIndex, S);
  InsertAt(S, std::move(E));
}

TMTIndexesKv::TMTIndexesKv(TRecordsListKv* ARecList) : TCollection(TMTIndexKv::StaticClass()), FRecList(ARecList) {}

TMTIndexKv* TMTIndexesKv::GetIndexForFields(const String& Fields) const {
  for (Integer I = 0; I < GetCount(); ++I)
    if (AnsiSameText(GetItems(I)->GetFields(), Fields)) return GetItems(I);
  return nullptr;
}

void TMTIndexesKv::UpdateIndexes() { Notify(nullptr, -1, rlnListChangedKv); }

void TMTIndexesKv::Notify(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action) {
  for (Integer I = 0; I < GetCount(); ++I) GetItems(I)->Notify(MemRec, Index, Action);
}

void TMTIndexesKv::RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex) {
  for (Integer I = 0; I < GetCount(); ++I) GetItems(I)->RecordMoved(Item, OldIndex, NewIndex);
}

// ---- The storage object -------------------------------------------------------------------------

TAutoIncrementKv::TAutoIncrementKv() { Reset(); }

void TAutoIncrementKv::Assign(TPersistent* Source) {
  if (auto* Src = dynamic_cast<TAutoIncrementKv*>(Source)) {
    SetStep(Src->GetStep());
    SetInitValue(Src->GetInitValue());
    return;
  }
  TPersistent::Assign(Source);
}

Integer TAutoIncrementKv::Promote() {
  Integer R = FCurValue;
  FCurValue += FStep;
  return R;
}

void TAutoIncrementKv::SetInitValue(Integer Value) {
  if (FCurValue == FInitValue) FCurValue = Value;
  FInitValue = Value;
}

PUBLISHED_DEF(TAutoIncrementKv) {
  PROP(InitValue).Default(-1);
  PROP(Step).Default(-1);
}

TMemTableDataKv::TMemTableDataKv(TComponent* AOwner) : TComponent(AOwner) {
  MemTableDataKvStartup();
  FDataStruct = new TMTDataStructKv(this);
  FDataStruct->SetName(L"DataStruct");
  FNewDataStruct.reset(TMTDataStructKv::CreateFor(nullptr));
  FRecordsList = CreateRecordsList();
  FRecordsList->SetName(L"RecordsList");
  FAutoIncrement = std::make_unique<TAutoIncrementKv>();
}

TMemTableDataKv::~TMemTableDataKv() {
  // One on the stack is torn down after its derived parts are gone, so DestroyContents never
  // reached this class: its listeners and records go here.
  while (FNotificators.GetCount() > 0)
    static_cast<TRecordsListNotificatorKv*>(FNotificators.GetItems(0))->SetDataObject(nullptr);
  delete FRecordsList;
  FRecordsList = nullptr;
  MemTableDataKvShutdown();
}

void TMemTableDataKv::DestroyContents() {
  while (FNotificators.GetCount() > 0)
    static_cast<TRecordsListNotificatorKv*>(FNotificators.GetItems(0))->SetDataObject(nullptr);
  delete FRecordsList;
  FRecordsList = nullptr;
  FNewDataStruct.reset();
  FScratch.reset();
  TComponent::DestroyContents();
  FDataStruct = nullptr;
}

TRecordsListKv* TMemTableDataKv::CreateRecordsList() { return new TRecordsListKv(this); }

void TMemTableDataKv::AddNotificator(TRecordsListNotificatorKv* Notificator) { FNotificators.Add(Notificator); }

void TMemTableDataKv::RemoveNotificator(TRecordsListNotificatorKv* Notificator) { FNotificators.Remove(Notificator); }

bool TMemTableDataKv::HasApplier() const {
  for (Pointer O : FNotificators)
    if (static_cast<TRecordsListNotificatorKv*>(O)->HasApplyUpdatesHandler()) return true;
  return false;
}

void TMemTableDataKv::ApplyUpdates(TMemTableDataKv* AMemTableData) {
  std::vector<Pointer> List(FNotificators.begin(), FNotificators.end());
  for (Pointer O : List) static_cast<TRecordsListNotificatorKv*>(O)->CallApplyUpdates(AMemTableData);
}

void TMemTableDataKv::Notify(TMemoryRecordKv* Rec, Integer Index, TRecordsListNotification Action) {
  if (Rec && FOnFieldCalculation && (Action == rlnRecAddedKv || Action == rlnRecChangedKv)) CalcRecordFields(Rec);
  // A table read or loaded with nobody attached tells nobody, at no cost per record.
  if (FNotificators.GetCount() == 0) return;
  std::vector<Pointer> List(FNotificators.begin(), FNotificators.end());
  for (Pointer O : List)
    if (FNotificators.IndexOf(static_cast<TObject*>(O)) >= 0) static_cast<TRecordsListNotificatorKv*>(O)->DataEvent(Rec, Index, Action);
}

void TMemTableDataKv::RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex) {
  std::vector<Pointer> List(FNotificators.begin(), FNotificators.end());
  for (Pointer O : List) static_cast<TRecordsListNotificatorKv*>(O)->RecordMoved(Item, OldIndex, NewIndex);
}

void TMemTableDataKv::SetAutoIncrement(TAutoIncrementKv* Value) { FAutoIncrement->Assign(Value); }

void TMemTableDataKv::SetAutoIncValue(TMemoryRecordKv* Rec) {
  TMTDataStructKv* S = GetDataStruct();
  bool Have = false;
  Integer Value = 0;
  for (Integer I = 0; I < S->GetCount(); ++I) {
    TMTDataFieldKv* F = S->GetDataField(I);
    if (F->GetDataType() != ftAutoInc && !F->GetAutoIncrement()) continue;
    if (!Have) {
      Value = FAutoIncrement->Promote();
      Have = true;
    }
    Rec->SetDataValue(I, dvvValueKv, Variant(Value));
  }
}

void TMemTableDataKv::StructChanged() {
  FIncFieldIndexes.clear();
  TMTDataStructKv* S = GetDataStruct();
  for (Integer I = 0; I < S->GetCount(); ++I)
    if (S->GetDataField(I)->GetDataType() == ftAutoInc) FIncFieldIndexes.push_back(I);
  std::vector<Pointer> List(FNotificators.begin(), FNotificators.end());
  for (Pointer O : List) static_cast<TRecordsListNotificatorKv*>(O)->StructChanged(this);
}

void TMemTableDataKv::CalcRecordFields(TMemoryRecordKv* Rec) {
  if (!FOnFieldCalculation) return;
  TMTDataStructKv* S = GetDataStruct();
  TVariantArrayKv Values(size_t(S->GetCount()));
  FOnFieldCalculation(Rec, Values);
  for (Integer I = 0; I < S->GetCount(); ++I)
    if (S->GetDataField(I)->GetCalculated()) {
      const Variant& V = size_t(I) < Values.size() ? Values[size_t(I)] : Unassigned;
      Rec->SetDataValue(I, dvvValueKv, V.IsEmpty() ? Null : V);
    }
}

void TMemTableDataKv::SetOnFieldCalculation(TMemoryRecordEventKv Value) {
  if (FOnFieldCalculation == Value) return;
  FOnFieldCalculation = Value;
  for (Integer I = 0; I < FRecordsList->GetCount(); ++I) CalcRecordFields(FRecordsList->GetRec(I));
}

Integer TMemTableDataKv::FetchRecords(Integer Count) {
  Integer Sum = 0;
  std::vector<Pointer> List(FNotificators.begin(), FNotificators.end());
  for (Pointer O : List) Sum += static_cast<TRecordsListNotificatorKv*>(O)->FetchRecords(Count);
  return Sum;
}

TMTDataStructKv* TMemTableDataKv::BeginRestruct() {
  if (FRestructMode) throw Exception(L"MemTableData already in RestructMode.");
  FNewDataStruct.reset(GetDataStruct()->GetCopy());
  FRestructMode = true;
  return FNewDataStruct.get();
}

void TMemTableDataKv::CancelRestruct() {
  FRestructMode = false;
  FNewDataStruct->Clear();
}

void TMemTableDataKv::CommitRestruct() {
  // The prepared structure takes effect: a commit that dropped it would report success and lose it.
  FRestructMode = false;
  std::unique_ptr<TMTDataStructKv> Prepared(FNewDataStruct.release());
  FNewDataStruct.reset(TMTDataStructKv::CreateFor(nullptr));
  GetDataStruct()->Assign(Prepared.get());
  FRecordsList->GetIndexes()->UpdateIndexes();
}

void TMemTableDataKv::DestroyTable() {
  FRecordsList->GetIndexes()->Clear();
  FRecordsList->Clear();
  FAutoIncrement->Reset();
  GetDataStruct()->Clear();
}

void TMemTableDataKv::ResetRecords() {
  FRecordsList->GetIndexes()->Clear();
  FRecordsList->Clear();
  FAutoIncrement->Reset();
}

void TMemTableDataKv::GetChildren(TGetChildProc Proc, TComponent*) {
  if (FStoreStructInStream) Proc(FDataStruct);
  if (FStoreRecordsInStream) Proc(FRecordsList);
}

void TMemTableDataKv::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  Filer->DefineProperty(
      L"AutoIncCurValue", [this](TReader* R) { FAutoIncrement->SetCurValue(R->ReadInteger()); },
      [this](TWriter* W) { W->WriteInteger(FAutoIncrement->GetCurValue()); },
      FAutoIncrement->GetCurValue() != FAutoIncrement->GetInitValue());
}

void TMemTableDataKv::ReaderCreateComponent(TReader*, TComponentClass ComponentClass, TComponent*& Component) {
  TMemTableDataKv* Into = FReadInto ? FReadInto : this;
  if (ComponentClass && ComponentClass->InheritsFrom(TMTDataStructKv::StaticClass())) {
    Component = Into->FDataStruct;
    FReadStruct = true;
  } else if (ComponentClass && ComponentClass->InheritsFrom(TRecordsListKv::StaticClass())) {
    Component = Into->FRecordsList;
    FReadRecords = true;
  }
}

void TMemTableDataKv::ReaderAncestorNotFound(TReader* Reader, const String& ComponentName, TComponentClass ComponentClass,
                                             TComponent*& Component) {
  if (!Reader->GetRoot()) return;
  if (SameIdent(ComponentName, L"DataStruct")) ReaderCreateComponent(Reader, TMTDataStructKv::StaticClass(), Component);
  else if (SameIdent(ComponentName, L"RecordsList")) ReaderCreateComponent(Reader, TRecordsListKv::StaticClass(), Component);
  (void)ComponentClass;
}

void TMemTableDataKv::ReadState(TReader* Reader) {
  // The stream is read into a scratch storage object (its structure a copy of this one, for records
  // stored without one); only a complete read replaces this object's structure and records, so a
  // damaged stream leaves the table as it was.
  // The reader calls Loaded on what it read after this returns: the scratch lives until the next read.
  FScratch.reset(new TMemTableDataKv(nullptr));
  TMemTableDataKv* Scratch = FScratch.get();
  Scratch->FRecordsList->FKeepRead = true;
  Scratch->GetDataStruct()->Assign(GetDataStruct());
  TCreateComponentEvent SavedCreate = Reader->GetOnCreateComponent();
  TAncestorNotFoundEvent SavedAncestor = Reader->GetOnAncestorNotFound();
  Integer SavedCurValue = FAutoIncrement->GetCurValue();
  auto Restore = [&] {
    Reader->SetOnCreateComponent(SavedCreate);
    Reader->SetOnAncestorNotFound(SavedAncestor);
    FReadInto = nullptr;
  };
  FReadInto = Scratch;
  FReadStruct = FReadRecords = false;
  Reader->SetOnCreateComponent({this, &TMemTableDataKv::ReaderCreateComponent});
  Reader->SetOnAncestorNotFound({this, &TMemTableDataKv::ReaderAncestorNotFound});
  try {
    TComponent::ReadState(Reader);
  } catch (...) {
    Restore();
    FAutoIncrement->SetCurValue(SavedCurValue);
    throw;
  }
  Restore();
  if (FReadStruct) {
    // Records of the former structure cannot be read under the stored one.
    FRecordsList->Clear();
    GetDataStruct()->TakeFieldsFrom(Scratch->GetDataStruct());
  }
  if (FReadRecords) FRecordsList->AdoptRecords(Scratch->GetRecordsList());
}

TMemTableDataShadowKv::TMemTableDataShadowKv(TMemTableDataKv* AMasterTable)
    : TMemTableDataKv(AMasterTable), FMasterTable(AMasterTable) {}

TMTDataStructKv* TMemTableDataShadowKv::GetDataStruct() const { return FMasterTable->GetDataStruct(); }

// ---- Unit start-up ------------------------------------------------------------------------------

namespace {
Integer StartupCount = 0;

std::vector<TClass> StorageClasses() {
  return {TMemTableDataKv::StaticClass(),        TMTDataStructKv::StaticClass(),         TRecordsListKv::StaticClass(),
          TMTDataFieldKv::StaticClass(),         TMTStringDataFieldKv::StaticClass(),    TMTNumericDataFieldKv::StaticClass(),
          TMTDateTimeDataFieldKv::StaticClass(), TMTBlobDataFieldKv::StaticClass(),      TMTBooleanDataFieldKv::StaticClass(),
          TMTInterfaceDataFieldKv::StaticClass(), TMTVariantDataFieldKv::StaticClass(),  TMTRefObjectFieldKv::StaticClass(),
          TMTSQLTimeStampDataFieldKv::StaticClass()};
}
}  // namespace

void MemTableDataKvStartup() {
  if (StartupCount++ > 0) return;
  for (TClass C : StorageClasses()) RegisterClass(C);
  varByteArrayKv = VarType(VarArrayCreate({0, 1}, varByte));
  varUStringKv = varUString;
}

void MemTableDataKvShutdown() {
  if (StartupCount == 0 || --StartupCount > 0) return;
  for (TClass C : StorageClasses()) UnRegisterClass(C);
}

// ---- Turkish sort keys --------------------------------------------------------------------------

namespace {

struct TLetterWeight {
  Byte Primary = 0;    // 0: not a letter we know
  Byte Secondary = 2;  // 2 plain, 3 with a circumflex
  Byte Tertiary = 2;   // 2 lower case, 3 upper case
};

// The letters' places in the Turkish alphabet, with q, w and x where the Latin alphabet has them.
const std::array<TLetterWeight, 0x180>& LetterWeights() {
  static const std::array<TLetterWeight, 0x180> Table = [] {
    std::array<TLetterWeight, 0x180> T{};
    const wchar_t* Lower = L"abcçdefgğhıijklmnoöpqrsştuüvwxyz";
    const wchar_t* Upper = L"ABCÇDEFGĞHIİJKLMNOÖPQRSŞTUÜVWXYZ";
    for (Integer I = 0; Lower[I]; ++I) {
      Byte P = Byte(0x20 + I);
      T[Lower[I]] = {P, 2, 2};
      T[Upper[I]] = {P, 2, 3};
    }
    // A blank orders before the digits and the digits before the letters.
    T[L' '] = {0x03, 2, 2};
    for (Integer D = 0; D < 10; ++D) T[L'0' + D] = {Byte(0x05 + D), 2, 2};
    T[L'â'] = {T[L'a'].Primary, 3, 2};
    T[L'Â'] = {T[L'a'].Primary, 3, 3};
    T[L'î'] = {T[L'i'].Primary, 3, 2};
    T[L'Î'] = {T[L'i'].Primary, 3, 3};
    T[L'û'] = {T[L'u'].Primary, 3, 2};
    T[L'Û'] = {T[L'u'].Primary, 3, 3};
    return T;
  }();
  return Table;
}

}  // namespace

bool TurkishSortKeyKv(const String& S, std::string& Key) {
  const auto& W = LetterWeights();
  Key.clear();
  Key.reserve(S.size() + 4);
  Key += char(1);
  size_t LastSecondary = 0, LastTertiary = 0;
  for (size_t I = 0; I < S.size(); ++I) {
    wchar_t C = S[I];
    if (C >= W.size() || !W[C].Primary) return false;
    Key += char(W[C].Primary);
    if (W[C].Secondary != 2) LastSecondary = I + 1;
    if (W[C].Tertiary != 2) LastTertiary = I + 1;
  }
  // Each later level runs over the text only as far as its last weight that is not the plain one.
  Key += char(1);
  for (size_t I = 0; I < LastSecondary; ++I) Key += char(W[S[I]].Secondary);
  Key += char(1);
  for (size_t I = 0; I < LastTertiary; ++I) Key += char(W[S[I]].Tertiary);
  return true;
}
