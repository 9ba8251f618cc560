#pragma once
// TField and its typed descendants, and TFields, a dataset's list of fields. A field keeps no
// value of its own: every read and write goes through its dataset's GetFieldData/SetFieldData
// in the native layout of its type (see DataSize and the comments of each class).

#include "framework/FMTBcd.h"
#include "framework/SqlTimSt.h"
#include "framework/TypInfo.h"
#include "framework/Variants.h"
#include "framework/classes/Component.h"
#include "framework/controls/Alignment.h"
#include "framework/db/DBTypes.h"
#include "framework/sysutils/DateTime.h"
#include "framework/sysutils/Strings.h"

class TDataSet;
class TField;
class TFields;
class TStream;

using TFieldNotifyEvent = Closure<void(TField* Sender)>;
using TFieldGetTextEvent = Closure<void(TField* Sender, String& Text, bool DisplayText)>;
using TFieldSetTextEvent = Closure<void(TField* Sender, const String& Text)>;

// The key-to-result cache of a lookup field with LookupCache set.
class TLookupList : public TObject {
  DECLARE_CLASS(TLookupList, TObject)
 public:
  void Add(const Variant& AKey, const Variant& AValue);
  void Clear() { FList.clear(); }
  // Null when the key is not in the list.
  Variant ValueOfKey(const Variant& AKey) const;
  Integer Count() const { return Integer(FList.size()); }

 private:
  std::vector<std::pair<Variant, Variant>> FList;
};

class TField : public TComponent {
  DECLARE_CLASS(TField, TComponent)
 public:
  explicit TField(TComponent* AOwner);
  ~TField() override;

  void Assign(TPersistent* Source) override;
  // Tells the dataset's controls to focus the control that shows this field.
  void FocusControl();
  // Runs the checks of the type and OnValidate on a value about to be written (null: Null).
  virtual void Validate(const TValueBuffer* Buffer);
  virtual bool IsValidChar(Char InputChar);
  virtual void Clear();
  bool IsNull();
  bool IsBlob() const { return ftBlobTypes.Contains(FDataType); }
  bool CanModify();
  virtual void Bind(bool Binding);
  // Sends OnChange; the dataset calls it after a value changed.
  virtual void Change();

  // The value in the native layout (GetData false: the field is Null) and writing one (null: Null).
  bool GetData(TValueBuffer& Buffer, bool NativeFormat = true);
  void SetData(const TValueBuffer* Buffer, bool NativeFormat = true);

  // ---- Values ----
  Variant GetValue() { return GetAsVariant(); }
  void SetValue(const Variant& Value) { SetAsVariant(Value); }
  virtual Variant GetAsVariant();
  virtual void SetAsVariant(const Variant& Value);
  virtual String GetAsString();
  virtual void SetAsString(const String& Value);
  virtual Integer GetAsInteger();
  virtual void SetAsInteger(Integer Value);
  virtual Int64 GetAsLargeInt();
  virtual void SetAsLargeInt(Int64 Value);
  virtual Cardinal GetAsLongWord();
  virtual void SetAsLongWord(Cardinal Value);
  virtual Double GetAsFloat();
  virtual void SetAsFloat(Double Value);
  virtual Single GetAsSingle();
  virtual void SetAsSingle(Single Value);
  virtual Extended GetAsExtended();
  virtual void SetAsExtended(Extended Value);
  virtual Currency GetAsCurrency();
  virtual void SetAsCurrency(Currency Value);
  virtual TBcd GetAsBCD();
  virtual void SetAsBCD(const TBcd& Value);
  virtual TDateTime GetAsDateTime();
  virtual void SetAsDateTime(TDateTime Value);
  virtual TSQLTimeStamp GetAsSQLTimeStamp();
  virtual void SetAsSQLTimeStamp(const TSQLTimeStamp& Value);
  virtual bool GetAsBoolean();
  virtual void SetAsBoolean(bool Value);
  virtual AnsiString GetAsAnsiString();
  virtual void SetAsAnsiString(const AnsiString& Value);
  virtual WideString GetAsWideString() { return GetAsString(); }
  virtual void SetAsWideString(const WideString& Value) { SetAsString(Value); }
  virtual TBytes GetAsBytes();
  virtual void SetAsBytes(const TBytes& Value);
  virtual TGUID GetAsGuid();
  virtual void SetAsGuid(const TGUID& Value);

  // The text shown (DisplayText) and edited (Text); both through OnGetText when assigned.
  String GetText();
  void SetText(const String& Value);
  String GetDisplayText();
  // The value before the edit, the value in the database, the value being written.
  Variant GetOldValue();
  Variant GetCurValue();
  Variant GetNewValue();
  void SetNewValue(const Variant& Value);

  // ---- Properties ----
  TDataSet* GetDataSet() const { return FDataSet; }
  virtual void SetDataSet(TDataSet* ADataSet);
  const String& GetFieldName() const { return FFieldName; }
  void SetFieldName(const String& Value);
  String GetFullName() const { return FFieldName; }
  TFieldType GetDataType() const { return FDataType; }
  TFieldKind GetFieldKind() const { return FFieldKind; }
  void SetFieldKind(TFieldKind Value);
  bool GetCalculated() const { return FFieldKind == fkCalculated; }
  void SetCalculated(bool Value);
  bool GetLookup() const { return FFieldKind == fkLookup; }
  void SetLookup(bool Value);
  // 1-based number of a physical field; 0 (or less) for calculated, lookup and aggregate fields.
  Integer GetFieldNo() const { return FFieldNo; }
  void SetFieldNo(Integer Value) { FFieldNo = Value; }
  // Position in the dataset's field list; setting it moves the field.
  Integer GetIndex() const;
  void SetIndex(Integer Value);
  Integer GetSize() const { return FSize; }
  void SetSize(Integer Value);
  // Bytes of the native value: e.g. Size + 1 for a string, 4 for an integer.
  virtual Integer GetDataSize() const { return 0; }
  Integer GetOffset() const { return FOffset; }
  void SetOffset(Integer Value) { FOffset = Value; }
  bool GetRequired() const { return FRequired; }
  void SetRequired(bool Value) { FRequired = Value; }
  bool GetReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value);
  String GetDisplayLabel() const { return FDisplayLabel.empty() ? FFieldName : FDisplayLabel; }
  void SetDisplayLabel(const String& Value);
  bool IsDisplayLabelStored() const { return !FDisplayLabel.empty(); }
  String GetDisplayName() const { return GetDisplayLabel(); }
  Integer GetDisplayWidth() const { return FDisplayWidth > 0 ? FDisplayWidth : GetDefaultWidth(); }
  void SetDisplayWidth(Integer Value);
  bool IsDisplayWidthStored() const { return FDisplayWidth > 0; }
  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  const String& GetEditMask() const { return FEditMask; }
  void SetEditMask(const String& Value) { FEditMask = Value; }
  const String& GetDefaultExpression() const { return FDefaultExpression; }
  void SetDefaultExpression(const String& Value) { FDefaultExpression = Value; }
  const String& GetOrigin() const { return FOrigin; }
  void SetOrigin(const String& Value) { FOrigin = Value; }
  const String& GetConstraintErrorMessage() const { return FConstraintErrorMessage; }
  void SetConstraintErrorMessage(const String& Value) { FConstraintErrorMessage = Value; }
  TAutoRefreshFlag GetAutoGenerateValue() const { return FAutoGenerateValue; }
  void SetAutoGenerateValue(TAutoRefreshFlag Value) { FAutoGenerateValue = Value; }
  TProviderFlags GetProviderFlags() const { return FProviderFlags; }
  void SetProviderFlags(TProviderFlags Value) { FProviderFlags = Value; }
  bool GetModified() const { return FModified; }
  void SetModified(bool Value) { FModified = Value; }
  bool GetHasConstraints() const { return false; }

  // ---- Lookup ----
  TDataSet* GetLookupDataSet() const { return FLookupDataSet; }
  void SetLookupDataSet(TDataSet* Value);
  const String& GetKeyFields() const { return FKeyFields; }
  void SetKeyFields(const String& Value);
  const String& GetLookupKeyFields() const { return FLookupKeyFields; }
  void SetLookupKeyFields(const String& Value);
  const String& GetLookupResultField() const { return FLookupResultField; }
  void SetLookupResultField(const String& Value);
  bool GetLookupCache() const { return FLookupCache; }
  void SetLookupCache(bool Value);
  TLookupList* GetLookupList();
  // Refills the lookup cache from the lookup dataset.
  void RefreshLookupList();

  // ---- Events ----
  TFieldNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TFieldNotifyEvent& Value) { FOnChange = Value; }
  TFieldGetTextEvent GetOnGetText() const { return FOnGetText; }
  void SetOnGetText(const TFieldGetTextEvent& Value) { FOnGetText = Value; }
  TFieldSetTextEvent GetOnSetText() const { return FOnSetText; }
  void SetOnSetText(const TFieldSetTextEvent& Value) { FOnSetText = Value; }
  TFieldNotifyEvent GetOnValidate() const { return FOnValidate; }
  void SetOnValidate(const TFieldNotifyEvent& Value) { FOnValidate = Value; }

  // Sizes a field class accepts; EDatabaseError "Invalid field size" otherwise.
  virtual void CheckTypeSize(Integer Value);

  PUBLISHED_DECL(TField);

 protected:
  void SetDataType(TFieldType Value) { FDataType = Value; }
  virtual Integer GetDefaultWidth() const { return 10; }
  // Fills Text for display (DisplayText true) or editing; the default is AsString.
  virtual void GetText(String& Text, bool DisplayText);
  virtual void SetTextValue(const String& Value) { SetAsString(Value); }
  virtual void FreeBuffers() {}
  [[noreturn]] void AccessError(const String& TypeName);
  [[noreturn]] void RangeError(const String& Value, const String& Min, const String& Max);
  // Raw helpers for the typed classes: read the native bytes, write them (null: Null).
  bool ReadNative(void* Dest, Integer Size, bool NativeFormat = true);
  void WriteNative(const void* Source, Integer Size, bool NativeFormat = true);
  void PropertyChanged(bool LayoutAffected);

 private:
  friend class TFields;
  friend class TDataSet;
  Variant ValueInState(TDataSetState AState);
  TDataSet* FDataSet = nullptr;
  String FFieldName;
  TFieldType FDataType = ftUnknown;
  TFieldKind FFieldKind = fkData;
  Integer FFieldNo = 0;
  Integer FSize = 0;
  Integer FOffset = 0;
  bool FRequired = false;
  bool FReadOnly = false;
  bool FVisible = true;
  bool FModified = false;
  String FDisplayLabel;
  Integer FDisplayWidth = 0;
  TAlignment FAlignment = taLeftJustify;
  String FEditMask, FDefaultExpression, FOrigin, FConstraintErrorMessage;
  TAutoRefreshFlag FAutoGenerateValue = arNone;
  TProviderFlags FProviderFlags{pfInUpdate, pfInWhere};
  TComponentRef<TDataSet> FLookupDataSet;
  String FKeyFields, FLookupKeyFields, FLookupResultField;
  bool FLookupCache = false;
  std::unique_ptr<TLookupList> FLookupList;
  const TValueBuffer* FValidating = nullptr;  // the buffer being validated, read by AsXxx in OnValidate
  TFieldNotifyEvent FOnChange, FOnValidate;
  TFieldGetTextEvent FOnGetText;
  TFieldSetTextEvent FOnSetText;
};
using TFieldClass = TClassRef<TField>;

// ---- Text fields ----

// ANSI text, zero-terminated, at most Size characters (DataSize = Size + 1).
class TStringField : public TField {
  DECLARE_CLASS(TStringField, TField)
 public:
  explicit TStringField(TComponent* AOwner);
  Integer GetDataSize() const override { return GetSize() + 1; }
  String GetAsString() override;
  void SetAsString(const String& Value) override;
  AnsiString GetAsAnsiString() override;
  void SetAsAnsiString(const AnsiString& Value) override;
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
  Integer GetAsInteger() override;
  void SetAsInteger(Integer Value) override { SetAsString(IntToStr(Value)); }
  Int64 GetAsLargeInt() override;
  void SetAsLargeInt(Int64 Value) override { SetAsString(IntToStr(Value)); }
  Double GetAsFloat() override;
  void SetAsFloat(Double Value) override { SetAsString(FloatToStr(Value)); }
  bool GetAsBoolean() override;
  void SetAsBoolean(bool Value) override { SetAsString(Value ? L"T" : L"F"); }
  TDateTime GetAsDateTime() override { return StrToDateTime(GetAsString()); }
  void SetAsDateTime(TDateTime Value) override { SetAsString(DateTimeToStr(Value)); }
  void CheckTypeSize(Integer Value) override;
  bool GetFixedChar() const { return FFixedChar; }
  void SetFixedChar(bool Value) { FFixedChar = Value; }
  bool GetTransliterate() const { return FTransliterate; }
  void SetTransliterate(bool Value) { FTransliterate = Value; }
  PUBLISHED_DECL(TStringField);

 protected:
  Integer GetDefaultWidth() const override { return GetSize(); }
  virtual bool GetValue(String& Value);

 private:
  bool FFixedChar = false;
  bool FTransliterate = true;
};

// UTF-16 text, zero-terminated (DataSize = (Size + 1) * 2).
class TWideStringField : public TStringField {
  DECLARE_CLASS(TWideStringField, TStringField)
 public:
  explicit TWideStringField(TComponent* AOwner);
  Integer GetDataSize() const override { return (GetSize() + 1) * 2; }
  String GetAsString() override;
  void SetAsString(const String& Value) override;
  AnsiString GetAsAnsiString() override;
  void SetAsAnsiString(const AnsiString& Value) override;
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;

 protected:
  bool GetValue(String& Value) override;
};

// A GUID as its 38-character text "{...}".
class TGuidField : public TStringField {
  DECLARE_CLASS(TGuidField, TStringField)
 public:
  explicit TGuidField(TComponent* AOwner);
  void CheckTypeSize(Integer Value) override;
  TGUID GetAsGuid() override;
  void SetAsGuid(const TGUID& Value) override;
};
constexpr Integer GuidSize = 38;

// ---- Numbers ----

class TNumericField : public TField {
  DECLARE_CLASS(TNumericField, TField)
 public:
  explicit TNumericField(TComponent* AOwner);
  const String& GetDisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(const String& Value);
  const String& GetEditFormat() const { return FEditFormat; }
  void SetEditFormat(const String& Value);
  PUBLISHED_DECL(TNumericField);

 private:
  String FDisplayFormat, FEditFormat;
};

// 32-bit signed (ftInteger); the descendants narrow or widen it.
class TIntegerField : public TNumericField {
  DECLARE_CLASS(TIntegerField, TNumericField)
 public:
  using TField::GetText;
  explicit TIntegerField(TComponent* AOwner);
  Integer GetDataSize() const override { return 4; }
  Integer GetAsInteger() override;
  void SetAsInteger(Integer Value) override;
  Int64 GetAsLargeInt() override { return GetAsInteger(); }
  void SetAsLargeInt(Int64 Value) override;
  Double GetAsFloat() override { return GetAsInteger(); }
  void SetAsFloat(Double Value) override;
  String GetAsString() override;
  void SetAsString(const String& Value) override;
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
  bool GetAsBoolean() override { return GetAsInteger() != 0; }
  void SetAsBoolean(bool Value) override { SetAsInteger(Value ? 1 : 0); }
  Integer GetMinValue() const { return FMinValue; }
  void SetMinValue(Integer Value) { FMinValue = Value; }
  Integer GetMaxValue() const { return FMaxValue; }
  void SetMaxValue(Integer Value) { FMaxValue = Value; }
  PUBLISHED_DECL(TIntegerField);

 protected:
  void GetText(String& Text, bool DisplayText) override;
  // The stored value; false for Null.
  virtual bool GetValue(Int64& Value);
  virtual void SetValue64(Int64 Value);
  void CheckRange(Int64 Value, Int64 Min, Int64 Max);
  Integer FMinValue = 0, FMaxValue = 0;
};

class TSmallintField : public TIntegerField {  // 16-bit signed
  DECLARE_CLASS(TSmallintField, TIntegerField)
 public:
  explicit TSmallintField(TComponent* AOwner);
  Integer GetDataSize() const override { return 2; }

 protected:
  bool GetValue(Int64& Value) override;
  void SetValue64(Int64 Value) override;
};

class TShortintField : public TIntegerField {  // 8-bit signed
  DECLARE_CLASS(TShortintField, TIntegerField)
 public:
  explicit TShortintField(TComponent* AOwner);
  Integer GetDataSize() const override { return 1; }

 protected:
  bool GetValue(Int64& Value) override;
  void SetValue64(Int64 Value) override;
};

class TByteField : public TIntegerField {  // 8-bit unsigned
  DECLARE_CLASS(TByteField, TIntegerField)
 public:
  explicit TByteField(TComponent* AOwner);
  Integer GetDataSize() const override { return 1; }

 protected:
  bool GetValue(Int64& Value) override;
  void SetValue64(Int64 Value) override;
};

class TWordField : public TIntegerField {  // 16-bit unsigned
  DECLARE_CLASS(TWordField, TIntegerField)
 public:
  explicit TWordField(TComponent* AOwner);
  Integer GetDataSize() const override { return 2; }

 protected:
  bool GetValue(Int64& Value) override;
  void SetValue64(Int64 Value) override;
};

class TAutoIncField : public TIntegerField {
  DECLARE_CLASS(TAutoIncField, TIntegerField)
 public:
  explicit TAutoIncField(TComponent* AOwner);
};

class TLongWordField : public TIntegerField {  // 32-bit unsigned
  DECLARE_CLASS(TLongWordField, TIntegerField)
 public:
  explicit TLongWordField(TComponent* AOwner);
  Cardinal GetAsLongWord() override;
  void SetAsLongWord(Cardinal Value) override { SetAsLargeInt(Value); }
  Int64 GetAsLargeInt() override;
  Double GetAsFloat() override { return Double(GetAsLargeInt()); }
  Variant GetAsVariant() override;

 protected:
  bool GetValue(Int64& Value) override;
  void SetValue64(Int64 Value) override;
};

class TLargeintField : public TIntegerField {  // 64-bit signed
  DECLARE_CLASS(TLargeintField, TIntegerField)
 public:
  explicit TLargeintField(TComponent* AOwner);
  Integer GetDataSize() const override { return 8; }
  Int64 GetAsLargeInt() override;
  Double GetAsFloat() override { return Double(GetAsLargeInt()); }
  Variant GetAsVariant() override;
  Int64 GetLargeMinValue() const { return FLargeMin; }
  void SetLargeMinValue(Int64 Value) { FLargeMin = Value; }
  Int64 GetLargeMaxValue() const { return FLargeMax; }
  void SetLargeMaxValue(Int64 Value) { FLargeMax = Value; }

 protected:
  Integer GetDefaultWidth() const override { return 15; }
  bool GetValue(Int64& Value) override;
  void SetValue64(Int64 Value) override;

 private:
  Int64 FLargeMin = 0, FLargeMax = 0;
};

// 64-bit double (ftFloat); Currency shows it as money; Precision is used by the general format.
class TFloatField : public TNumericField {
  DECLARE_CLASS(TFloatField, TNumericField)
 public:
  using TField::GetText;
  explicit TFloatField(TComponent* AOwner);
  Integer GetDataSize() const override { return 8; }
  Double GetAsFloat() override;
  void SetAsFloat(Double Value) override;
  Extended GetAsExtended() override { return GetAsFloat(); }
  void SetAsExtended(Extended Value) override { SetAsFloat(Double(Value)); }
  Single GetAsSingle() override { return Single(GetAsFloat()); }
  void SetAsSingle(Single Value) override { SetAsFloat(Value); }
  Integer GetAsInteger() override;
  void SetAsInteger(Integer Value) override { SetAsFloat(Value); }
  Int64 GetAsLargeInt() override { return Int64(Round(GetAsFloat())); }
  void SetAsLargeInt(Int64 Value) override { SetAsFloat(Double(Value)); }
  Currency GetAsCurrency() override { return Currency(GetAsFloat()); }
  void SetAsCurrency(Currency Value) override { SetAsFloat(Value.ToDouble()); }
  String GetAsString() override;
  void SetAsString(const String& Value) override;
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
  bool GetCurrency() const { return FCurrency; }
  void SetCurrency(bool Value);
  Integer GetPrecision() const { return FPrecision; }
  void SetPrecision(Integer Value);
  Double GetMinValue() const { return FMinValue; }
  void SetMinValue(Double Value) { FMinValue = Value; }
  Double GetMaxValue() const { return FMaxValue; }
  void SetMaxValue(Double Value) { FMaxValue = Value; }
  PUBLISHED_DECL(TFloatField);

 protected:
  void GetText(String& Text, bool DisplayText) override;
  virtual bool GetValue(Double& Value);
  virtual void StoreValue(Double Value);
  bool FCurrency = false;
  Integer FPrecision = 15;
  Double FMinValue = 0, FMaxValue = 0;
};

class TCurrencyField : public TFloatField {
  DECLARE_CLASS(TCurrencyField, TFloatField)
 public:
  explicit TCurrencyField(TComponent* AOwner);
};

class TSingleField : public TFloatField {  // 32-bit single
  DECLARE_CLASS(TSingleField, TFloatField)
 public:
  explicit TSingleField(TComponent* AOwner);
  Integer GetDataSize() const override { return 4; }
  Variant GetAsVariant() override;

 protected:
  bool GetValue(Double& Value) override;
  void StoreValue(Double Value) override;
};

class TExtendedField : public TFloatField {  // 80-bit extended, stored in 10 bytes
  DECLARE_CLASS(TExtendedField, TFloatField)
 public:
  explicit TExtendedField(TComponent* AOwner);
  Integer GetDataSize() const override { return 10; }
  Extended GetAsExtended() override;
  void SetAsExtended(Extended Value) override;

 protected:
  bool GetValue(Double& Value) override;
  void StoreValue(Double Value) override;
};

// Native: TBcd; the field itself works in Currency (Size = decimals, at most 4).
class TBCDField : public TNumericField {
  DECLARE_CLASS(TBCDField, TNumericField)
 public:
  using TField::GetText;
  explicit TBCDField(TComponent* AOwner);
  Integer GetDataSize() const override { return Integer(sizeof(TBcd)); }
  Currency GetAsCurrency() override;
  void SetAsCurrency(Currency Value) override;
  Double GetAsFloat() override { return GetAsCurrency().ToDouble(); }
  void SetAsFloat(Double Value) override { SetAsCurrency(Currency(Value)); }
  Integer GetAsInteger() override { return Integer(Round(GetAsCurrency().ToExtended())); }
  void SetAsInteger(Integer Value) override { SetAsCurrency(Currency(Value)); }
  Int64 GetAsLargeInt() override { return Round(GetAsCurrency().ToExtended()); }
  TBcd GetAsBCD() override;
  void SetAsBCD(const TBcd& Value) override;
  String GetAsString() override;
  void SetAsString(const String& Value) override;
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
  void CheckTypeSize(Integer Value) override;
  bool GetCurrency() const { return FCurrency; }
  void SetCurrency(bool Value) { FCurrency = Value; }
  Integer GetPrecision() const { return FPrecision; }
  void SetPrecision(Integer Value) { FPrecision = Value; }
  Currency GetMinValue() const { return FMinValue; }
  void SetMinValue(Currency Value) { FMinValue = Value; }
  Currency GetMaxValue() const { return FMaxValue; }
  void SetMaxValue(Currency Value) { FMaxValue = Value; }
  PUBLISHED_DECL(TBCDField);

 protected:
  void GetText(String& Text, bool DisplayText) override;
  bool GetValue(Currency& Value);
  bool FCurrency = false;
  Integer FPrecision = 0;
  Currency FMinValue, FMaxValue;
};

// Native and working form: TBcd (Size = decimals).
class TFMTBCDField : public TNumericField {
  DECLARE_CLASS(TFMTBCDField, TNumericField)
 public:
  using TField::GetText;
  explicit TFMTBCDField(TComponent* AOwner);
  Integer GetDataSize() const override { return Integer(sizeof(TBcd)); }
  TBcd GetAsBCD() override;
  void SetAsBCD(const TBcd& Value) override;
  Currency GetAsCurrency() override;
  void SetAsCurrency(Currency Value) override;
  Double GetAsFloat() override { return BcdToDouble(GetAsBCD()); }
  void SetAsFloat(Double Value) override { SetAsBCD(DoubleToBcd(Value)); }
  Integer GetAsInteger() override { return BcdToInteger(GetAsBCD()); }
  void SetAsInteger(Integer Value) override { SetAsBCD(IntegerToBcd(Value)); }
  Int64 GetAsLargeInt() override { return BcdToInt64(GetAsBCD()); }
  void SetAsLargeInt(Int64 Value) override { SetAsBCD(Int64ToBcd(Value)); }
  String GetAsString() override;
  void SetAsString(const String& Value) override;
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
  void CheckTypeSize(Integer Value) override;
  bool GetCurrency() const { return FCurrency; }
  void SetCurrency(bool Value) { FCurrency = Value; }
  Integer GetPrecision() const { return FPrecision; }
  void SetPrecision(Integer Value) { FPrecision = Value; }
  const String& GetMinValue() const { return FMinValue; }
  void SetMinValue(const String& Value) { FMinValue = Value; }
  const String& GetMaxValue() const { return FMaxValue; }
  void SetMaxValue(const String& Value) { FMaxValue = Value; }
  PUBLISHED_DECL(TFMTBCDField);

 protected:
  void GetText(String& Text, bool DisplayText) override;
  bool GetValue(TBcd& Value);
  bool FCurrency = false;
  Integer FPrecision = 0;
  String FMinValue, FMaxValue;
};

// 16-bit, 0 false; DisplayValues "Yes;No" names the texts of true and false.
class TBooleanField : public TField {
  DECLARE_CLASS(TBooleanField, TField)
 public:
  using TField::GetText;
  explicit TBooleanField(TComponent* AOwner);
  Integer GetDataSize() const override { return 2; }
  bool GetAsBoolean() override;
  void SetAsBoolean(bool Value) override;
  String GetAsString() override;
  void SetAsString(const String& Value) override;
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
  Integer GetAsInteger() override { return GetAsBoolean() ? 1 : 0; }
  void SetAsInteger(Integer Value) override { SetAsBoolean(Value != 0); }
  const String& GetDisplayValues() const { return FDisplayValues; }
  void SetDisplayValues(const String& Value);
  PUBLISHED_DECL(TBooleanField);

 protected:
  void GetText(String& Text, bool DisplayText) override;
  Integer GetDefaultWidth() const override;

 private:
  String FDisplayValues;
  String FTextValues[2];  // false, true
};

// ---- Dates and times ----

// Native: ftDateTime a double of milliseconds since 0001-01-01 (day 1), ftDate a 32-bit day
// number of the same calendar, ftTime 32-bit milliseconds since midnight; the field itself
// works in TDateTime (the non-native form, a double).
class TDateTimeField : public TField {
  DECLARE_CLASS(TDateTimeField, TField)
 public:
  using TField::GetText;
  explicit TDateTimeField(TComponent* AOwner);
  Integer GetDataSize() const override { return 8; }
  TDateTime GetAsDateTime() override;
  void SetAsDateTime(TDateTime Value) override;
  Double GetAsFloat() override { return GetAsDateTime().Val; }
  void SetAsFloat(Double Value) override { SetAsDateTime(TDateTime(Value)); }
  TSQLTimeStamp GetAsSQLTimeStamp() override { return DateTimeToSQLTimeStamp(GetAsDateTime()); }
  void SetAsSQLTimeStamp(const TSQLTimeStamp& Value) override { SetAsDateTime(SQLTimeStampToDateTime(Value)); }
  String GetAsString() override;
  void SetAsString(const String& Value) override;
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
  const String& GetDisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(const String& Value);
  PUBLISHED_DECL(TDateTimeField);

 protected:
  void GetText(String& Text, bool DisplayText) override;
  Integer GetDefaultWidth() const override { return 18; }
  bool GetValue(TDateTime& Value);

 private:
  String FDisplayFormat;
};

class TDateField : public TDateTimeField {
  DECLARE_CLASS(TDateField, TDateTimeField)
 public:
  explicit TDateField(TComponent* AOwner);
  Integer GetDataSize() const override { return 4; }

 protected:
  Integer GetDefaultWidth() const override { return 10; }
};

class TTimeField : public TDateTimeField {
  DECLARE_CLASS(TTimeField, TDateTimeField)
 public:
  explicit TTimeField(TComponent* AOwner);
  Integer GetDataSize() const override { return 4; }

 protected:
  Integer GetDefaultWidth() const override { return 10; }
};

// Native and working form: TSQLTimeStamp.
class TSQLTimeStampField : public TField {
  DECLARE_CLASS(TSQLTimeStampField, TField)
 public:
  using TField::GetText;
  explicit TSQLTimeStampField(TComponent* AOwner);
  Integer GetDataSize() const override { return Integer(sizeof(TSQLTimeStamp)); }
  TSQLTimeStamp GetAsSQLTimeStamp() override;
  void SetAsSQLTimeStamp(const TSQLTimeStamp& Value) override;
  TDateTime GetAsDateTime() override { return SQLTimeStampToDateTime(GetAsSQLTimeStamp()); }
  void SetAsDateTime(TDateTime Value) override { SetAsSQLTimeStamp(DateTimeToSQLTimeStamp(Value)); }
  String GetAsString() override;
  void SetAsString(const String& Value) override;
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
  const String& GetDisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(const String& Value);
  PUBLISHED_DECL(TSQLTimeStampField);

 protected:
  void GetText(String& Text, bool DisplayText) override;
  Integer GetDefaultWidth() const override { return 20; }

 private:
  String FDisplayFormat;
};

class TSQLTimeStampOffsetField : public TSQLTimeStampField {
  DECLARE_CLASS(TSQLTimeStampOffsetField, TSQLTimeStampField)
 public:
  explicit TSQLTimeStampOffsetField(TComponent* AOwner);
  Integer GetDataSize() const override { return Integer(sizeof(TSQLTimeStampOffset)); }
  TSQLTimeStamp GetAsSQLTimeStamp() override;
  void SetAsSQLTimeStamp(const TSQLTimeStamp& Value) override;
  TSQLTimeStampOffset GetAsSQLTimeStampOffset();
  void SetAsSQLTimeStampOffset(const TSQLTimeStampOffset& Value);
  String GetAsString() override;
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
};

// ---- Binary ----

// Fixed-size bytes (ftBytes, DataSize = Size); TVarBytesField keeps a 16-bit length first.
class TBinaryField : public TField {
  DECLARE_CLASS(TBinaryField, TField)
 public:
  using TField::GetText;
  explicit TBinaryField(TComponent* AOwner);
  TBytes GetAsBytes() override;
  void SetAsBytes(const TBytes& Value) override;
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
  String GetAsString() override;
  void SetAsString(const String& Value) override;
  void CheckTypeSize(Integer Value) override;

 protected:
  void GetText(String& Text, bool DisplayText) override;
};

class TBytesField : public TBinaryField {
  DECLARE_CLASS(TBytesField, TBinaryField)
 public:
  explicit TBytesField(TComponent* AOwner);
  Integer GetDataSize() const override { return GetSize(); }
};

class TVarBytesField : public TBinaryField {
  DECLARE_CLASS(TVarBytesField, TBinaryField)
 public:
  explicit TVarBytesField(TComponent* AOwner);
  Integer GetDataSize() const override { return GetSize() + 2; }
};

// Blob fields read and write their whole value through the dataset's blob stream.
class TBlobField : public TField {
  DECLARE_CLASS(TBlobField, TField)
 public:
  using TField::GetText;
  explicit TBlobField(TComponent* AOwner);
  void Clear() override;
  static bool IsBlob() { return true; }
  void LoadFromStream(TStream* Stream);
  void SaveToStream(TStream* Stream);
  void LoadFromFile(const String& FileName);
  void SaveToFile(const String& FileName);
  Integer GetBlobSize();
  TBytes GetAsBytes() override;
  void SetAsBytes(const TBytes& Value) override;
  String GetAsString() override;
  void SetAsString(const String& Value) override;
  AnsiString GetAsAnsiString() override;
  void SetAsAnsiString(const AnsiString& Value) override;
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
  void CheckTypeSize(Integer Value) override;
  TBlobType GetBlobType() const { return GetDataType(); }
  void SetBlobType(TBlobType Value);
  bool GetGraphicHeader() const { return FGraphicHeader; }
  void SetGraphicHeader(bool Value) { FGraphicHeader = Value; }
  bool GetTransliterate() const { return FTransliterate; }
  void SetTransliterate(bool Value) { FTransliterate = Value; }
  PUBLISHED_DECL(TBlobField);

 protected:
  void GetText(String& Text, bool DisplayText) override;
  TBytes ReadAll();
  void WriteAll(const TBytes& Data);

 private:
  bool FGraphicHeader = true;
  bool FTransliterate = false;
};

// ANSI text in a blob.
class TMemoField : public TBlobField {
  DECLARE_CLASS(TMemoField, TBlobField)
 public:
  explicit TMemoField(TComponent* AOwner);
  String GetAsString() override;
  void SetAsString(const String& Value) override;
  Variant GetAsVariant() override;
};

// UTF-16 text in a blob.
class TWideMemoField : public TBlobField {
  DECLARE_CLASS(TWideMemoField, TBlobField)
 public:
  explicit TWideMemoField(TComponent* AOwner);
  String GetAsString() override;
  void SetAsString(const String& Value) override;
  Variant GetAsVariant() override;
};

class TGraphicField : public TBlobField {
  DECLARE_CLASS(TGraphicField, TBlobField)
 public:
  explicit TGraphicField(TComponent* AOwner);
};

// ---- Other kinds ----

// Native: a Variant object in place (DataSize = sizeof(Variant)).
class TVariantField : public TField {
  DECLARE_CLASS(TVariantField, TField)
 public:
  explicit TVariantField(TComponent* AOwner);
  Integer GetDataSize() const override { return Integer(sizeof(Variant)); }
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
  String GetAsString() override { return VarToStr(GetAsVariant()); }
  void SetAsString(const String& Value) override { SetAsVariant(Value); }
  Integer GetAsInteger() override { return GetAsVariant().AsInteger(); }
  void SetAsInteger(Integer Value) override { SetAsVariant(Value); }
  Double GetAsFloat() override { return GetAsVariant().AsDouble(); }
  void SetAsFloat(Double Value) override { SetAsVariant(Value); }
  bool GetAsBoolean() override { return GetAsVariant().AsBoolean(); }
  void SetAsBoolean(bool Value) override { SetAsVariant(Value); }
  TDateTime GetAsDateTime() override { return GetAsVariant().AsDateTime(); }
  void SetAsDateTime(TDateTime Value) override { SetAsVariant(Value); }
  void CheckTypeSize(Integer) override {}
};

// Native: an interface pointer (pointer-sized).
class TInterfaceField : public TField {
  DECLARE_CLASS(TInterfaceField, TField)
 public:
  explicit TInterfaceField(TComponent* AOwner);
  Integer GetDataSize() const override { return Integer(sizeof(void*)); }
  IPtr<IInterface> GetAsInterface();
  void SetAsInterface(const IPtr<IInterface>& Value);
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
  void CheckTypeSize(Integer) override {}
};

class TIDispatchField : public TInterfaceField {
  DECLARE_CLASS(TIDispatchField, TInterfaceField)
 public:
  explicit TIDispatchField(TComponent* AOwner);
};

// A value the dataset computes over its records (Expression); read with GetAggregateValue.
class TAggregateField : public TField {
  DECLARE_CLASS(TAggregateField, TField)
 public:
  using TField::GetText;
  explicit TAggregateField(TComponent* AOwner);
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant&) override;
  String GetAsString() override;
  Double GetAsFloat() override { return GetAsVariant().AsDouble(); }
  Currency GetAsCurrency() override { return GetAsVariant().AsCurrency(); }
  Integer GetAsInteger() override { return GetAsVariant().AsInteger(); }
  const String& GetExpression() const { return FExpression; }
  void SetExpression(const String& Value);
  bool GetActive() const { return FActive; }
  void SetActive(bool Value);
  Pointer GetHandle() const { return FHandle; }
  void SetHandle(Pointer Value) { FHandle = Value; }
  TFieldType GetResultType() const { return FResultType; }
  void SetResultType(TFieldType Value) { FResultType = Value; }
  bool GetCurrency() const { return FCurrency; }
  void SetCurrency(bool Value) { FCurrency = Value; }
  const String& GetDisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(const String& Value) { FDisplayFormat = Value; }
  Integer GetPrecision() const { return FPrecision; }
  void SetPrecision(Integer Value) { FPrecision = Value; }
  void CheckTypeSize(Integer) override {}
  PUBLISHED_DECL(TAggregateField);

 protected:
  void GetText(String& Text, bool DisplayText) override;

 private:
  String FExpression, FDisplayFormat;
  bool FActive = false;
  Pointer FHandle = nullptr;
  TFieldType FResultType = ftUnknown;
  bool FCurrency = false;
  Integer FPrecision = 15;
};

// ---- The list of a dataset's fields ----

class TFields : public TObject {
  DECLARE_CLASS(TFields, TObject)
 public:
  explicit TFields(TDataSet* ADataSet) : FDataSet(ADataSet) {}
  ~TFields() override;
  void Add(TField* Field);
  void Remove(TField* Field);
  // Frees the fields (they are components: freeing one removes it from the list).
  void Clear();
  TField* FindField(const String& FieldName) const;
  TField* FieldByName(const String& FieldName) const;  // raises "Field '%s' not found"
  TField* FieldByNumber(Integer FieldNo) const;
  Integer IndexOf(TField* Field) const;
  Integer GetCount() const { return Integer(FList.size()); }
  TField* GetField(Integer Index) const;
  TField* operator[](Integer Index) const { return GetField(Index); }
  void SetFieldIndex(TField* Field, Integer Value);
  TDataSet* GetDataSet() const { return FDataSet; }
  auto begin() const { return FList.begin(); }
  auto end() const { return FList.end(); }

 private:
  TDataSet* FDataSet;
  std::vector<TField*> FList;
};

// The field class for a type (nullptr for types without one).
TFieldClass DefaultFieldClass(TFieldType FieldType);

// Whether a control may mirror the field's alignment for right-to-left reading: false for the
// numeric and date-time types, whose digits keep their side.
bool OkToChangeFieldAlignment(TField* AField, TAlignment Alignment);
