#include "kvlib/memtable/memtabledata/DataFields.h"

#include <algorithm>

#include "framework/FMTBcd.h"
#include "framework/SqlTimSt.h"
#include "framework/SysUtils.h"
#include "kvlib/foundation/DBUtilsKv.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/memtable/memtabledata/Internal.h"
#include "kvlib/memtable/memtabledata/Records.h"
#include "kvlib/memtable/memtabledata/RecordsList.h"
#include "kvlib/memtable/memtabledata/Storage.h"

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

void TMTDataFieldKv::UpdateVarDataType() {
  TVarType T = GetVarDataType();
  if (T == FVarDataType) return;
  FVarDataType = T;
  if (FDataStruct) ++FDataStruct->FLayoutVersion;
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

String FieldCleanIdent(const String& S) {
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
  String Base = FieldCleanIdent(AFieldName);
  if (Base.empty() || (Base[0] >= L'0' && Base[0] <= L'9')) {
    String Cls = ClassName();
    if (!Cls.empty() && Cls[0] == L'T') Cls.erase(0, 1);
    Base = FieldCleanIdent(Cls + Base);
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

// A value of a variant field whose type the stream's own tags would not bring back (a BCD, a time
// stamp, an integer or text of another width, a byte array) is written as a list of the type's
// name and the value, and read back as that type; any other value is written plain.
const wchar_t* MTTypeTagOf(TVarType T) {
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

bool MTIsBinaryFieldType(TFieldType T) {
  switch (T) {
    case ftBytes: case ftVarBytes: case ftBlob: case ftGraphic: case ftParadoxOle: case ftDBaseOle: case ftTypedBinary:
    case ftOraBlob:
      return true;
    default:
      return false;
  }
}

namespace {

bool FieldTypeOfTag(const String& Tag, TVarType& T) {
  const TVarType Tagged[] = {varSmallint, varShortInt,  varByte,     varWord,         varLongWord,
                             varInt64,    varUInt64,    varOleStr,   varString,       varArray | varByte,
                             VarFMTBcd(), VarSQLTimeStampOffset(),   VarSQLTimeStamp()};
  for (TVarType Candidate : Tagged)
    if (Tag == MTTypeTagOf(Candidate)) {
      T = Candidate;
      return true;
    }
  return false;
}

void FieldWriteTypedValue(const Variant& Value, const wchar_t* Tag, TWriter* Writer) {
  Writer->WriteListBegin();
  Writer->WriteString(Tag);
  if (VarIsFMTBcd(Value)) {
    Writer->WriteString(VarToStrFixedFormat(Value));
  } else if (VarIsSQLTimeStampOffset(Value)) {
    Writer->WriteString(SQLTimeStampOffsetVarToText(Value));
  } else if (VarIsSQLTimeStamp(Value)) {
    Writer->WriteString(SQLTimeStampVarToText(Value));
  } else if (MTIsByteArray(Value)) {
    TBytes B = MTByteArrayBytes(Value);
    Writer->WriteBinary(B.data(), Integer(B.size()));
  } else if (Value.Type() == varUInt64) {
    Writer->WriteInteger(Int64(Value.AsUInt64()));  // the bits: a stream's integers are signed
  } else {
    Writer->WriteVariant(Value);
  }
  Writer->WriteListEnd();
}

Variant FieldReadTypedValue(TReader* Reader) {
  auto Refuse = [] { throw EReadError(L"Invalid property value"); };
  Reader->ReadListBegin();
  TValueType Next = Reader->NextValue();
  if (Next != vaString && Next != vaLString && Next != vaWString && Next != vaUTF8String) Refuse();
  TVarType T = varEmpty;
  if (!FieldTypeOfTag(Reader->ReadString(), T)) Refuse();
  Variant V;
  if (T == (varArray | varByte)) {
    if (Reader->NextValue() != vaBinary) Refuse();
    TBytes B = Reader->ReadBinary();
    V = MTBytesToByteArray(B.data(), B.size());
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
  if (MTIsBinaryFieldType(T)) {
    // Null stays Null through a stream: the empty value, not an empty byte array.
    if (Value.IsNull() || Value.IsEmpty()) {
      Writer->WriteValue(vaNil);
      return;
    }
    Variant Bytes;
    StringVarToByteArrayVar(Value, Bytes);
    if (!MTIsByteArray(Bytes))
      throw EWriteError(Format(L"Field '%s': a value of type %s cannot be stored as binary data",
                               {GetFieldName(), VarTypeAsText(Value.Type())}));
    TBytes B = MTByteArrayBytes(Bytes);
    Writer->WriteBinary(B.data(), Integer(B.size()));
    return;
  }
  if (Value.IsNull()) {
    Writer->WriteValue(vaNil);
  } else if (Value.IsEmpty()) {
    throw Exception(L"\"TMemoryRecordKv.WriteData\" - Invalid variant type - varEmpty");
  } else if (const wchar_t* Tag = FVarDataType == varVariant ? MTTypeTagOf(Value.Type()) : nullptr) {
    FieldWriteTypedValue(Value, Tag, Writer);
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
  if (MTIsBinaryFieldType(T)) {
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
    Variant Bytes = MTBytesToByteArray(B.data(), B.size());
    Value = Null;
    ByteArrayVarToVarType(Bytes, Value, FVarDataType);
    return;
  }
  if (FVarDataType == varVariant && Reader->NextValue() == vaList) {
    Value = FieldReadTypedValue(Reader);
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

namespace {

// The display properties every typed descriptor publishes after its own: alignment (unless the
// class places it among its own), label, width, required, visible, and the default expression and
// edit mask where the class has them.
template <class TField>
void PublishDisplayPropsKv(TTypeData* FwD_, bool WithAlignment, bool WithExpression, bool WithEditMask) {
  using FwPublishedSelf_ = TField;
  if (WithAlignment) PROP(Alignment).Default(taLeftJustify);
  PROP(DisplayLabel);
  PROP(DisplayWidth).Stored(&TMTDataFieldKv::IsDisplayWidthStored);
  PROP(Required).Default(false);
  PROP(Visible).Default(true);
  if (WithExpression) PROP(DefaultExpression);
  if (WithEditMask) PROP(EditMask);
}

}  // namespace

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
  PublishDisplayPropsKv<TMTStringDataFieldKv>(FwD_, true, true, true);
}

// -- Numbers

namespace {
const TFieldType FieldNumericTypes[] = {ftSmallint, ftInteger, ftWord,     ftFloat,    ftCurrency, ftBCD,      ftAutoInc,
                                   ftLargeint, ftFMTBcd,  ftLongWord, ftShortint, ftByte,     ftExtended, ftSingle};
}

TMTNumericDataFieldKv::TMTNumericDataFieldKv(TComponent* AOwner) : TMTDataFieldKv(AOwner) {
  SetAlignment(taRightJustify);
  UpdateVarDataType();
}

TFieldType TMTNumericDataFieldKv::GetDataType() const { return FieldNumericTypes[FNumericDataType]; }

Integer TMTNumericDataFieldKv::GetDefaultDisplayWidth() const {
  if (FNumericDataType == fdtLargeintKv) return 15;
  if ((FNumericDataType == fdtBCDKv || FNumericDataType == fdtFMTBcdKv) && FPrecision > 0) return FPrecision + 1;
  return 10;
}

void TMTNumericDataFieldKv::AssignDataType(TFieldType FieldType) {
  for (Integer I = 0; I < Integer(std::size(FieldNumericTypes)); ++I)
    if (FieldNumericTypes[I] == FieldType) {
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
  PublishDisplayPropsKv<TMTNumericDataFieldKv>(FwD_, false, true, true);
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
  PublishDisplayPropsKv<TMTDateTimeDataFieldKv>(FwD_, true, true, true);
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
  PublishDisplayPropsKv<TMTBlobDataFieldKv>(FwD_, true, true, true);
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
  PublishDisplayPropsKv<TMTBooleanDataFieldKv>(FwD_, true, true, true);
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
  PublishDisplayPropsKv<TMTInterfaceDataFieldKv>(FwD_, true, true, false);
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
  PublishDisplayPropsKv<TMTVariantDataFieldKv>(FwD_, true, true, false);
}

// -- Object references

TMTRefObjectFieldKv::TMTRefObjectFieldKv(TComponent* AOwner) : TMTDataFieldKv(AOwner) { UpdateVarDataType(); }

void TMTRefObjectFieldKv::AssignDataType(TFieldType FieldType) {
  if (FieldType != ftUnknown) throw Exception(L"Can not assign DataType from Field");
  UpdateVarDataType();
}

PUBLISHED_DEF(TMTRefObjectFieldKv) {
  PublishDisplayPropsKv<TMTRefObjectFieldKv>(FwD_, true, false, false);
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
  PublishDisplayPropsKv<TMTSQLTimeStampDataFieldKv>(FwD_, true, true, true);
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
  TMTScopeExitKv Done([this] { EndUpdate(true); });
  TMTDataFieldKv* New = CreateField(FieldClass);
  FList.Move(FList.IndexOf(New), At);
  ++FLayoutVersion;
  RemoveField(Old);
  std::unique_ptr<TMTDataFieldKv> Gone(Old);
  String Name = Old->GetFieldName();
  Old->FFieldName.clear();
  New->Assign(Old);
  if (New->DefaultAlignment() != Old->DefaultAlignment()) New->SetAlignment(New->DefaultAlignment());
  // The same identity: the records' values follow the field to its new type.
  New->FGUID = Old->FGUID;
  Gone.reset();
  New->SetFieldName(Name);
  return New;
}

TMTDataFieldKv* TMTDataStructKv::BuildDataFieldForDef(const String& Name, TFieldType DataType, Integer Size,
                                                      Integer Precision) {
  TMTDataFieldClassKv Cls = DataFieldClassForType(DataType);
  if (!Cls) DatabaseErrorFmt(SUnknownFieldType, {Name}, this);
  TMTDataFieldKv* F = CreateField(Cls);
  TMTScopeExitKv Undo([this, F] {
    RemoveField(F);
    delete F;
  });
  F->AssignDataType(DataType);
  F->SetFieldName(Name);
  if (auto* N = dynamic_cast<TMTNumericDataFieldKv*>(F))
    if (Precision != 0) N->SetPrecision(Precision);
  if (F->CanDinaSize()) F->SetSize(Size);
  if (DataType == ftAutoInc) F->SetAutoIncrement(true);
  Undo.Dismiss();
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
  TMTScopeExitKv Done([this] { EndUpdate(true); });
  for (Integer I = 0; I < FieldDefs->GetCount(); ++I) BuildDataFieldForFieldDef(FieldDefs->GetItem(I));
}

void TMTDataStructKv::BuildStructFromFields(TFields* Fields) {
  if (FMemTableData) FMemTableData->DestroyTable();
  BeginUpdate();
  TMTScopeExitKv Done([this] { EndUpdate(true); });
  for (Integer I = 0; I < Fields->GetCount(); ++I) {
    TField* F = Fields->GetField(I);
    if (F->GetFieldKind() != fkData && F->GetFieldKind() != fkInternalCalc) continue;
    TDatasetFeaturesKv* Provider = GetDatasetFeatureProvider(F->GetDataSet());
    if (!Provider || !Provider->AddDataField(this, F)) BuildAndCopyDataFieldForField(F);
  }
}

void TMTDataStructKv::BuildFieldDefsFromStruct(TFieldDefs* FieldDefs) {
  FieldDefs->BeginUpdate();
  TMTScopeExitKv Done([FieldDefs] { FieldDefs->EndUpdate(); });
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
}

namespace {

// One old value converted for a new descriptor; a value the new type cannot take becomes Null.
Variant FieldConvertForField(const Variant& Old, TMTDataFieldKv* OldField, TMTDataFieldKv* NewField) {
  Variant R = MTConvertOrNull(Old, NewField->VarDataType());
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
  TMTScopeExitKv Done([this] { EndUpdate(true); });
  TRecordsListKv* Recs = FMemTableData ? FMemTableData->GetRecordsList() : nullptr;
  TLaidValuesKv Laid;
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
          New[size_t(I)] = FieldConvertForField(Old[size_t(P)], Match[size_t(I)], Src->GetDataField(I));
      }
      return New;
    };
    Laid.resize(size_t(Recs->GetCount()));
    for (Integer R = 0; R < Recs->GetCount(); ++R) {
      TMemoryRecordKv* Rec = Recs->GetRec(R);
      Laid[size_t(R)].first = Relay(Rec->GetCurrentValues());
      if (Rec->HasOldData()) Laid[size_t(R)].second = Relay(Rec->GetOldData());
    }
  }
  Clear();
  for (Integer I = 0; I < Src->GetCount(); ++I) {
    TMTDataFieldKv* S = Src->GetDataField(I);
    TMTDataFieldKv* D = CreateField(S->ClassType());
    D->Assign(S);
  }
  if (!Laid.empty()) Recs->TakeLaidValues(Laid);
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
  TMTScopeExitKv Done([this] { EndUpdate(true); });
  Clear();
  TComponent::ReadState(Reader);
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

#undef MT_SETTER
