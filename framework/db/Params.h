#pragma once
// TParam/TParams: named values handed to a dataset or a command (query parameters, provider
// parameters), each with its data type and direction.

#include "framework/TypInfo.h"
#include "framework/Variants.h"
#include "framework/classes/Collection.h"
#include "framework/db/DBTypes.h"

class TField;

DECLARE_ENUM(TParamType, ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult)

class TParam : public TCollectionItem {
  DECLARE_CLASS(TParam, TCollectionItem)
 public:
  explicit TParam(TCollection* Collection) : TCollectionItem(Collection) {}
  void Assign(TPersistent* Source) override;
  // Takes the field's name, type and value.
  void AssignField(TField* Field);
  void AssignFieldValue(TField* Field, const Variant& Value);
  void Clear();
  bool IsNull() const { return FValue.IsNull() || FValue.IsEmpty(); }
  String GetDisplayName() const override { return FName.empty() ? TCollectionItem::GetDisplayName() : FName; }

  const String& GetName() const { return FName; }
  void SetName(const String& Value) { FName = Value; }
  TFieldType GetDataType() const { return FDataType; }
  void SetDataType(TFieldType Value);
  TParamType GetParamType() const { return FParamType; }
  void SetParamType(TParamType Value) { FParamType = Value; }
  bool GetBound() const { return FBound; }
  void SetBound(bool Value) { FBound = Value; }
  Integer GetSize() const { return FSize; }
  void SetSize(Integer Value) { FSize = Value; }
  Integer GetPrecision() const { return FPrecision; }
  void SetPrecision(Integer Value) { FPrecision = Value; }
  Integer GetNumericScale() const { return FNumericScale; }
  void SetNumericScale(Integer Value) { FNumericScale = Value; }

  Variant GetValue() const { return FValue; }
  // Sets the value; an unknown data type is taken from the value's kind.
  void SetValue(const Variant& Value);
  String GetAsString() const { return VarToStr(FValue); }
  void SetAsString(const String& Value) { Set(ftString, Value); }
  WideString GetAsWideString() const { return VarToStr(FValue); }
  void SetAsWideString(const WideString& Value) { Set(ftWideString, Value); }
  Integer GetAsInteger() const { return IsNull() ? 0 : FValue.AsInteger(); }
  void SetAsInteger(Integer Value) { Set(ftInteger, Value); }
  Int64 GetAsLargeInt() const { return IsNull() ? 0 : FValue.AsInt64(); }
  void SetAsLargeInt(Int64 Value) { Set(ftLargeint, (long long)Value); }
  Double GetAsFloat() const { return IsNull() ? 0 : FValue.AsDouble(); }
  void SetAsFloat(Double Value) { Set(ftFloat, Value); }
  Currency GetAsCurrency() const { return IsNull() ? Currency() : FValue.AsCurrency(); }
  void SetAsCurrency(Currency Value) { Set(ftCurrency, Value); }
  bool GetAsBoolean() const { return !IsNull() && FValue.AsBoolean(); }
  void SetAsBoolean(bool Value) { Set(ftBoolean, Value); }
  TDateTime GetAsDateTime() const { return IsNull() ? TDateTime() : FValue.AsDateTime(); }
  void SetAsDateTime(TDateTime Value) { Set(ftDateTime, Value); }
  void SetAsDate(TDateTime Value) { Set(ftDate, Value); }
  void SetAsTime(TDateTime Value) { Set(ftTime, Value); }

  PUBLISHED_DECL(TParam);

 private:
  void Set(TFieldType Type, const Variant& Value);
  String FName;
  TFieldType FDataType = ftUnknown;
  TParamType FParamType = ptUnknown;
  bool FBound = false;
  Integer FSize = 0, FPrecision = 0, FNumericScale = 0;
  Variant FValue;
};

class TParams : public TOwnedCollection {
  DECLARE_CLASS(TParams, TOwnedCollection)
 public:
  explicit TParams(TPersistent* AOwner = nullptr) : TOwnedCollection(AOwner, TParam::StaticClass()) {}
  TParam* AddParameter() { return static_cast<TParam*>(Add()); }
  TParam* CreateParam(TFieldType FldType, const String& ParamName, TParamType ParamType);
  TParam* FindParam(const String& Value) const;  // case-insensitive; null when none
  TParam* ParamByName(const String& Value) const;  // raises "Parameter '%s' not found"
  TParam* GetItem(Integer Index) const { return static_cast<TParam*>(TCollection::GetItem(Index)); }
  TParam* operator[](Integer Index) const { return GetItem(Index); }
  // Copies the values of the parameters of the same name.
  void AssignValues(TParams* Value);
  // One value, or a variant array for a ";"-separated list of names.
  Variant GetParamValues(const String& ParamName) const;
  void SetParamValues(const String& ParamName, const Variant& Value);
  bool IsEqual(TParams* Value) const;
};
