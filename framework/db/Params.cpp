#include "framework/db/Params.h"

#include "framework/db/DBConsts.h"
#include "framework/db/Fields.h"
#include "framework/sysutils/Strings.h"

PUBLISHED_DEF(TParam) {
  PROP(Name);
  PROP(DataType).Default(ftUnknown);
  PROP(ParamType).Default(ptUnknown);
  PROP(Precision).Default(0);
  PROP(NumericScale).Default(0);
  PROP(Size).Default(0);
  PROP(Value);
}

void TParam::Assign(TPersistent* Source) {
  if (auto* P = dynamic_cast<TParam*>(Source)) {
    FName = P->FName;
    FDataType = P->FDataType;
    FParamType = P->FParamType;
    FBound = P->FBound;
    FSize = P->FSize;
    FPrecision = P->FPrecision;
    FNumericScale = P->FNumericScale;
    FValue = P->FValue;
    return;
  }
  if (auto* F = dynamic_cast<TField*>(Source)) {
    AssignField(F);
    return;
  }
  TCollectionItem::Assign(Source);
}

void TParam::AssignField(TField* Field) {
  if (!Field) return;
  FName = Field->GetFieldName();
  AssignFieldValue(Field, Field->GetAsVariant());
}

void TParam::AssignFieldValue(TField* Field, const Variant& Value) {
  if (!Field) return;
  FDataType = Field->GetDataType() == ftAutoInc ? ftInteger : Field->GetDataType();
  FSize = Field->GetSize();
  FValue = Value;
  FBound = true;
}

void TParam::Clear() { FValue = Null; }

void TParam::SetDataType(TFieldType Value) {
  FDataType = Value;
  if (!IsNull()) {
    // Keep the value in the kind the new type reads it as.
    try {
      switch (Value) {
        case ftString: case ftFixedChar: case ftWideString: case ftMemo: FValue = VarToStr(FValue); break;
        case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: FValue = FValue.AsInteger(); break;
        case ftFloat: FValue = FValue.AsDouble(); break;
        case ftCurrency: case ftBCD: FValue = FValue.AsCurrency(); break;
        case ftBoolean: FValue = FValue.AsBoolean(); break;
        case ftDate: case ftTime: case ftDateTime: FValue = FValue.AsDateTime(); break;
        default: break;
      }
    } catch (const EVariantError&) {
      FValue = Null;
    }
  }
}

void TParam::SetValue(const Variant& Value) {
  if (FDataType == ftUnknown) {
    switch (VarType(Value) & varTypeMask) {
      case varSmallint: case varShortInt: case varByte: FDataType = ftSmallint; break;
      case varInteger: case varWord: FDataType = ftInteger; break;
      case varLongWord: case varInt64: case varUInt64: FDataType = ftLargeint; break;
      case varSingle: case varDouble: FDataType = ftFloat; break;
      case varCurrency: FDataType = ftCurrency; break;
      case varDate: FDataType = ftDateTime; break;
      case varBoolean: FDataType = ftBoolean; break;
      case varOleStr: case varUString: FDataType = ftWideString; break;
      case varString: FDataType = ftString; break;
      default: break;
    }
  }
  FValue = Value;
  FBound = !Value.IsEmpty();
}

void TParam::Set(TFieldType Type, const Variant& Value) {
  FDataType = Type;
  FValue = Value;
  FBound = true;
}

TParam* TParams::CreateParam(TFieldType FldType, const String& ParamName, TParamType ParamType) {
  TParam* P = AddParameter();
  P->SetName(ParamName);
  P->SetDataType(FldType);
  P->SetParamType(ParamType);
  return P;
}

TParam* TParams::FindParam(const String& Value) const {
  for (Integer I = 0; I < GetCount(); ++I)
    if (AnsiCompareText(GetItem(I)->GetName(), Value) == 0) return GetItem(I);
  return nullptr;
}

TParam* TParams::ParamByName(const String& Value) const {
  TParam* P = FindParam(Value);
  if (!P) DatabaseErrorFmt(SParameterNotFound, {Value});
  return P;
}

void TParams::AssignValues(TParams* Value) {
  for (Integer I = 0; I < Value->GetCount(); ++I)
    if (TParam* P = FindParam(Value->GetItem(I)->GetName())) P->Assign(Value->GetItem(I));
}

Variant TParams::GetParamValues(const String& ParamName) const {
  if (Pos(L';', ParamName) == 0) return ParamByName(ParamName)->GetValue();
  std::vector<Variant> Values;
  Integer P = 1;
  while (P <= Length(ParamName)) {
    String N = ExtractFieldName(ParamName, P);
    if (!N.empty()) Values.push_back(ParamByName(N)->GetValue());
  }
  return VarArrayOf(Values);
}

void TParams::SetParamValues(const String& ParamName, const Variant& Value) {
  if (Pos(L';', ParamName) == 0) {
    ParamByName(ParamName)->SetValue(Value);
    return;
  }
  Integer P = 1, I = 0;
  while (P <= Length(ParamName)) {
    String N = ExtractFieldName(ParamName, P);
    if (!N.empty()) ParamByName(N)->SetValue(Value[I++]);
  }
}

bool TParams::IsEqual(TParams* Value) const {
  if (!Value || Value->GetCount() != GetCount()) return false;
  for (Integer I = 0; I < GetCount(); ++I) {
    TParam* A = GetItem(I);
    TParam* B = Value->GetItem(I);
    if (A->GetName() != B->GetName() || A->GetDataType() != B->GetDataType() || A->GetParamType() != B->GetParamType() ||
        !VarSameValue(A->GetValue(), B->GetValue()))
      return false;
  }
  return true;
}
