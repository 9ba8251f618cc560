#pragma once
// Field descriptors and the data structure of the in-memory table's storage: one descriptor per
// column, of a class chosen by the column's field type, which fixes the variant type its values
// take and how they are written to and read from a component stream.

#include "framework/Classes.h"
#include "framework/DB.h"
#include "kvlib/foundation/KvLibCore.h"
#include "kvlib/memtable/memtabledata/Values.h"

class TMemTableDataKv;
class TMTDataStructKv;

// ---- Field descriptors --------------------------------------------------------------------------

DECLARE_ENUM(TStringDataFieldTypesKv, fdtStringKv, fdtFixedCharKv, fdtWideStringKv, fdtGuidKv, fdtFixedWideCharKv,
             fdtOraIntervalKv)
DECLARE_ENUM(TNumericDataFieldTypesKv, fdtSmallintKv, fdtIntegerKv, fdtWordKv, fdtFloatKv, fdtCurrencyKv, fdtBCDKv,
             fdtAutoIncKv, fdtLargeintKv, fdtFMTBcdKv, fdtLongWordKv, fdtShortintKv, fdtByteKv, fdtExtendedKv,
             fdtSingleKv)
DECLARE_ENUM(TDateTimeDataFieldTypesKv, fdtDateKv, fdtTimeKv, fdtDateTimeKv)
DECLARE_ENUM(TInterfaceDataFieldTypesKv, fdtInterfaceKv, fdtIDispatchKv)
DECLARE_ENUM(TVariantDataFieldTypesKv, fdtVariant, fdtBytes, fdtVarBytes)
DECLARE_ENUM(TSQLTimeStampDataFieldTypesKv, fdtTimeStampKv, fdtOraTimeStampKv, fdtTimeStampOffsetKv)

class TMTDataFieldKv : public TComponent {
  DECLARE_CLASS(TMTDataFieldKv, TComponent)
 public:
  explicit TMTDataFieldKv(TComponent* AOwner);

  void Assign(TPersistent* Source) override;
  virtual Integer DefaultSize() const { return 0; }
  virtual TAlignment DefaultAlignment() const { return taLeftJustify; }
  virtual Integer GetDefaultDisplayWidth() const { return 10; }

  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  bool GetAutoIncrement() const { return FAutoIncrement; }
  void SetAutoIncrement(bool Value);
  virtual TFieldType GetDataType() const { return ftUnknown; }
  const String& GetDefaultExpression() const { return FDefaultExpression; }
  void SetDefaultExpression(const String& Value);
  String GetDisplayLabel() const { return FDisplayLabel; }
  void SetDisplayLabel(const String& Value);
  Integer GetDisplayWidth() const { return FDisplayWidth > 0 ? FDisplayWidth : GetDefaultDisplayWidth(); }
  void SetDisplayWidth(Integer Value);
  bool IsDisplayWidthStored() const { return FDisplayWidth > 0; }
  const String& GetEditMask() const { return FEditMask; }
  void SetEditMask(const String& Value);
  const String& GetFieldName() const { return FFieldName; }
  void SetFieldName(const String& Value);
  bool GetReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  bool GetRequired() const { return FRequired; }
  void SetRequired(bool Value);
  Integer GetSize() const { return FSize; }
  void SetSize(Integer Value);
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value);
  bool GetCalculated() const { return FCalculated; }
  void SetCalculated(bool Value);
  Int64 GetFieldId() const { return FFieldId; }
  const String& GetGUID() const { return FGUID; }
  Integer GetIndex() const;
  void SetIndex(Integer Value);
  TMTDataStructKv* GetDataStruct() const { return FDataStruct; }
  void SetDataStruct(TMTDataStructKv* Value);
  TVarType VarDataType() const { return FVarDataType; }

  virtual bool CanDinaSize() const { return false; }
  // The variant type the values of the current data type take.
  virtual TVarType GetVarDataType() const;
  // Selects the subtype of DataType; a type outside the class's list raises.
  virtual void AssignDataType(TFieldType FieldType);
  virtual void AssignProps(TField* Field);
  virtual void AssignPropsTo(TField* Field);
  virtual void WriteDataToWriter(const Variant& Value, TWriter* Writer);
  virtual void ReadDataFromReader(Variant& Value, TReader* Reader);

  void ReadState(TReader* Reader) override;
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* Value) override;
  bool HasParent() const override { return true; }

  PUBLISHED_DECL(TMTDataFieldKv);

 protected:
  // A property changed: the structure reports a structure change unless an update is open.
  void Changed();
  // Takes the variant type of the current data type; the structure's layout moves on when it
  // changes, so that stored values are laid out anew for it.
  void UpdateVarDataType();
  // The variant type of a field type.
  static TVarType VarTypeOfFieldType(TFieldType DataType);

 private:
  friend class TMTDataStructKv;
  String BuildComponentName(const String& AFieldName);

  TAlignment FAlignment = taLeftJustify;
  bool FAutoIncrement = false;
  TMTDataStructKv* FDataStruct = nullptr;  // the structure's list holds it; the structure owns it
  String FDefaultExpression;
  String FDisplayLabel;
  Integer FDisplayWidth = 0;
  String FEditMask;
  Int64 FFieldId = 0;
  String FFieldName;
  String FGUID;
  bool FReadOnly = false;
  bool FRequired = false;
  Integer FSize = 0;
  bool FVisible = true;
  bool FCalculated = false;

 protected:
  TVarType FVarDataType = varEmpty;
};

using TMTDataFieldClassKv = TClassRef<TMTDataFieldKv>;

class TMTStringDataFieldKv : public TMTDataFieldKv {
  DECLARE_CLASS(TMTStringDataFieldKv, TMTDataFieldKv)
 public:
  explicit TMTStringDataFieldKv(TComponent* AOwner);
  void Assign(TPersistent* Source) override;
  Integer DefaultSize() const override { return FStringDataType == fdtGuidKv ? 38 : 20; }
  Integer GetDefaultDisplayWidth() const override { return GetSize() < 100 ? GetSize() : 100; }
  TFieldType GetDataType() const override;
  bool CanDinaSize() const override { return true; }
  void AssignDataType(TFieldType FieldType) override;
  void AssignProps(TField* Field) override;
  void AssignPropsTo(TField* Field) override;

  TStringDataFieldTypesKv GetStringDataType() const { return FStringDataType; }
  void SetStringDataType(TStringDataFieldTypesKv Value);
  bool GetFixedChar() const { return FFixedChar; }
  void SetFixedChar(bool Value);
  bool GetTransliterate() const { return FTransliterate; }
  void SetTransliterate(bool Value);
  PUBLISHED_DECL(TMTStringDataFieldKv);

 private:
  bool FFixedChar = false;
  bool FTransliterate = false;
  TStringDataFieldTypesKv FStringDataType = fdtStringKv;
};

class TMTNumericDataFieldKv : public TMTDataFieldKv {
  DECLARE_CLASS(TMTNumericDataFieldKv, TMTDataFieldKv)
 public:
  explicit TMTNumericDataFieldKv(TComponent* AOwner);
  void Assign(TPersistent* Source) override;
  Integer DefaultSize() const override { return CanDinaSize() ? 4 : 0; }
  TAlignment DefaultAlignment() const override { return taRightJustify; }
  Integer GetDefaultDisplayWidth() const override;
  TFieldType GetDataType() const override;
  bool CanDinaSize() const override { return FNumericDataType == fdtBCDKv || FNumericDataType == fdtFMTBcdKv; }
  void AssignDataType(TFieldType FieldType) override;
  void AssignProps(TField* Field) override;
  void AssignPropsTo(TField* Field) override;

  TNumericDataFieldTypesKv GetNumericDataType() const { return FNumericDataType; }
  void SetNumericDataType(TNumericDataFieldTypesKv Value);
  const String& GetDisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(const String& Value);
  const String& GetEditFormat() const { return FEditFormat; }
  void SetEditFormat(const String& Value);
  bool Getcurrency() const { return FCurrency; }
  void Setcurrency(bool Value);
  Double GetMaxValue() const { return FMaxValue; }
  void SetMaxValue(Double Value);
  Double GetMinValue() const { return FMinValue; }
  void SetMinValue(Double Value);
  Integer GetPrecision() const { return FPrecision; }
  void SetPrecision(Integer Value);
  Integer GetScale() const { return GetSize(); }
  void SetScale(Integer Value) { SetSize(Value); }
  bool IsScaleStored() const { return CanDinaSize(); }
  PUBLISHED_DECL(TMTNumericDataFieldKv);

 private:
  String FDisplayFormat;
  String FEditFormat;
  bool FCurrency = false;
  Double FMaxValue = 0;
  Double FMinValue = 0;
  Integer FPrecision = 15;
  TNumericDataFieldTypesKv FNumericDataType = fdtSmallintKv;
};

class TMTDateTimeDataFieldKv : public TMTDataFieldKv {
  DECLARE_CLASS(TMTDateTimeDataFieldKv, TMTDataFieldKv)
 public:
  explicit TMTDateTimeDataFieldKv(TComponent* AOwner);
  void Assign(TPersistent* Source) override;
  Integer GetDefaultDisplayWidth() const override { return 18; }
  TFieldType GetDataType() const override;
  void AssignDataType(TFieldType FieldType) override;
  void AssignProps(TField* Field) override;
  void AssignPropsTo(TField* Field) override;

  TDateTimeDataFieldTypesKv GetDateTimeDataType() const { return FDateTimeDataType; }
  void SetDateTimeDataType(TDateTimeDataFieldTypesKv Value);
  const String& GetDisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(const String& Value);
  PUBLISHED_DECL(TMTDateTimeDataFieldKv);

 private:
  String FDisplayFormat;
  TDateTimeDataFieldTypesKv FDateTimeDataType = fdtDateKv;
};

class TMTBlobDataFieldKv : public TMTDataFieldKv {
  DECLARE_CLASS(TMTBlobDataFieldKv, TMTDataFieldKv)
 public:
  explicit TMTBlobDataFieldKv(TComponent* AOwner);
  void Assign(TPersistent* Source) override;
  TFieldType GetDataType() const override { return FBlobType; }
  void AssignDataType(TFieldType FieldType) override;
  void AssignProps(TField* Field) override;
  void AssignPropsTo(TField* Field) override;

  TBlobType GetBlobType() const { return FBlobType; }
  void SetBlobType(TBlobType Value);
  bool GetGraphicHeader() const { return FGraphicHeader; }
  void SetGraphicHeader(bool Value);
  bool GetTransliterate() const { return FTransliterate; }
  void SetTransliterate(bool Value);
  PUBLISHED_DECL(TMTBlobDataFieldKv);

 private:
  bool FGraphicHeader = true;
  bool FTransliterate = false;
  TBlobType FBlobType = ftBlob;
};

class TMTBooleanDataFieldKv : public TMTDataFieldKv {
  DECLARE_CLASS(TMTBooleanDataFieldKv, TMTDataFieldKv)
 public:
  explicit TMTBooleanDataFieldKv(TComponent* AOwner);
  void Assign(TPersistent* Source) override;
  Integer GetDefaultDisplayWidth() const override;
  TFieldType GetDataType() const override { return ftBoolean; }
  void AssignDataType(TFieldType FieldType) override;
  void AssignProps(TField* Field) override;
  void AssignPropsTo(TField* Field) override;

  const String& GetDisplayValues() const { return FDisplayValues; }
  void SetDisplayValues(const String& Value);
  PUBLISHED_DECL(TMTBooleanDataFieldKv);

 private:
  String FDisplayValues;
};

class TMTInterfaceDataFieldKv : public TMTDataFieldKv {
  DECLARE_CLASS(TMTInterfaceDataFieldKv, TMTDataFieldKv)
 public:
  explicit TMTInterfaceDataFieldKv(TComponent* AOwner);
  TFieldType GetDataType() const override;
  void AssignDataType(TFieldType FieldType) override;
  TInterfaceDataFieldTypesKv GetInterfaceDataType() const { return FInterfaceDataType; }
  void SetInterfaceDataType(TInterfaceDataFieldTypesKv Value);
  PUBLISHED_DECL(TMTInterfaceDataFieldKv);

 private:
  TInterfaceDataFieldTypesKv FInterfaceDataType = fdtInterfaceKv;
};

class TMTVariantDataFieldKv : public TMTDataFieldKv {
  DECLARE_CLASS(TMTVariantDataFieldKv, TMTDataFieldKv)
 public:
  explicit TMTVariantDataFieldKv(TComponent* AOwner);
  Integer GetDefaultDisplayWidth() const override { return 15; }
  TFieldType GetDataType() const override;
  bool CanDinaSize() const override { return FVariantDataType == fdtBytes || FVariantDataType == fdtVarBytes; }
  void AssignDataType(TFieldType FieldType) override;
  TVariantDataFieldTypesKv GetVariantDataType() const { return FVariantDataType; }
  void SetVariantDataType(TVariantDataFieldTypesKv Value);
  bool IsSizeStored() const { return CanDinaSize() && GetSize() != 16; }
  PUBLISHED_DECL(TMTVariantDataFieldKv);

 private:
  TVariantDataFieldTypesKv FVariantDataType = fdtVariant;
};

class TMTRefObjectFieldKv : public TMTDataFieldKv {
  DECLARE_CLASS(TMTRefObjectFieldKv, TMTDataFieldKv)
 public:
  explicit TMTRefObjectFieldKv(TComponent* AOwner);
  TFieldType GetDataType() const override { return ftUnknown; }
  TVarType GetVarDataType() const override { return varUnknown; }
  bool CanDinaSize() const override { return true; }
  void AssignDataType(TFieldType FieldType) override;
  PUBLISHED_DECL(TMTRefObjectFieldKv);
};

class TMTSQLTimeStampDataFieldKv : public TMTDataFieldKv {
  DECLARE_CLASS(TMTSQLTimeStampDataFieldKv, TMTDataFieldKv)
 public:
  explicit TMTSQLTimeStampDataFieldKv(TComponent* AOwner);
  void Assign(TPersistent* Source) override;
  TFieldType GetDataType() const override;
  void AssignDataType(TFieldType FieldType) override;
  void AssignProps(TField* Field) override;
  void AssignPropsTo(TField* Field) override;
  TSQLTimeStampDataFieldTypesKv GetSQLTimeStampDataFieldType() const { return FSQLTimeStampDataFieldType; }
  void SetSQLTimeStampDataFieldType(TSQLTimeStampDataFieldTypesKv Value);
  const String& GetDisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(const String& Value);
  PUBLISHED_DECL(TMTSQLTimeStampDataFieldKv);

 private:
  String FDisplayFormat;
  TSQLTimeStampDataFieldTypesKv FSQLTimeStampDataFieldType = fdtTimeStampKv;
};

// The descriptor class that stores values of a field type; null for the types that cannot be stored.
TMTDataFieldClassKv DataFieldClassForType(TFieldType DataType);

// ---- The data structure -------------------------------------------------------------------------

class TMTDataStructKv : public TComponent {
  DECLARE_CLASS(TMTDataStructKv, TComponent)
 public:
  explicit TMTDataStructKv(TComponent* AOwner);
  // A structure of a storage object (AMemTableData), or a detached copy (null).
  static TMTDataStructKv* CreateFor(TMemTableDataKv* AMemTableData);
  ~TMTDataStructKv() override;

  TMTDataFieldKv* CreateField(TMTDataFieldClassKv FieldClass);
  void InsertField(TMTDataFieldKv* Field);
  void RemoveField(TMTDataFieldKv* Field);
  void Clear();
  TMTDataFieldKv* GetDataField(Integer Index) const;
  TMTDataFieldKv* operator[](Integer Index) const { return GetDataField(Index); }
  Integer GetCount() const { return FList.GetCount(); }
  TMemTableDataKv* GetMemTableData() const { return FMemTableData; }

  TMTDataFieldKv* FindField(const String& FieldName) const;
  TMTDataFieldKv* FieldByName(const String& FieldName);
  Integer FieldIndex(const String& FieldName) const;
  TMTDataFieldKv* FindFieldByGIUD(const String& GUID) const;
  TIntArray FieldsIndex(const String& FieldNames);
  void GetFieldList(TList* List, const String& FieldNames);
  void CheckFieldName(const String& FieldName);
  TMTDataFieldKv* ChangeFieldType(const String& FieldName, TMTDataFieldClassKv FieldClass);

  void BuildStructFromFieldDefs(TFieldDefs* FieldDefs);
  void BuildStructFromFields(TFields* Fields);
  void BuildFieldDefsFromStruct(TFieldDefs* FieldDefs);
  TMTDataFieldKv* BuildDataFieldForFieldDef(TFieldDef* AFieldDef);
  TMTDataFieldKv* BuildDataFieldForDef(const String& Name, TFieldType DataType, Integer Size, Integer Precision);
  TMTDataFieldKv* BuildDataFieldForField(TField* AField);
  TMTDataFieldKv* BuildAndCopyDataFieldForField(TField* AField);

  // From another structure the values of the storage object's records are laid out anew.
  void Assign(TPersistent* Source) override;
  TMTDataStructKv* GetCopy();
  TMTDataStructKv* BeginRestructure() { return GetCopy(); }
  void EndRestructure(TMTDataStructKv* NewStrcuture, bool ApplyNewStrcuture);

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate(bool AStructChanged);
  bool InUpdate() const { return FUpdateCount > 0; }
  void StructChanged();
  bool GetStructChangedFlag() const { return FStructChanged; }
  // Grows with every change of the descriptors' list, so positions cached elsewhere can be checked.
  Int64 GetLayoutVersion() const { return FLayoutVersion; }
  void ClearStructChanged() { FStructChanged = false; }
  TNotifyEvent GetOnStructChanged() const { return FOnStructChanged; }
  void SetOnStructChanged(TNotifyEvent Value) { FOnStructChanged = Value; }

  void GetChildren(TGetChildProc Proc, TComponent* Root) override;
  TComponent* GetChildOwner() override { return this; }
  // A stored structure replaces the descriptors.
  void ReadState(TReader* Reader) override;
  // Replaces the descriptors with Other's, which moves them over as they are.
  void TakeFieldsFrom(TMTDataStructKv* Other);

 protected:
  void DestroyContents() override;

 private:
  friend class TMTDataFieldKv;
  friend class TMemTableDataKv;
  TObjectListKv FList;
  TMemTableDataKv* FMemTableData = nullptr;
  Int64 FNextFieldId = 0;
  Int64 FLayoutVersion = 0;
  bool FStructChanged = false;
  TNotifyEvent FOnStructChanged;
  Integer FUpdateCount = 0;
};
