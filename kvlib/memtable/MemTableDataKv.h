#pragma once
// The storage of the in-memory table: field descriptors and the data structure, stored records
// with their value versions, the records list with its change log and notifications, indexes,
// and the storage object that owns them and streams them as a component.
//
// A change of a stored record travels synchronously: to the indexes of the records list first
// (they may refuse it by raising), then to the storage object, which computes calculated
// fields, then to every attached notificator in attachment order.

#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/Contnrs.h"
#include "framework/DB.h"
#include "framework/Variants.h"
#include "framework/controls/ControlTypes.h"
#include "kvlib/foundation/KvLibVCL.h"

class TMTDataStructKv;
class TMemoryRecordKv;
class TRecordsListKv;
class TRecordsListNotificatorKv;
class TMemTableDataKv;
class TMTIndexKv;
class TMTIndexesKv;

// Blocks for the records and their values, carved from large chunks: a table holds a great many
// small blocks, and the system heap (Wine's above all) spends microseconds on each one. Freed
// blocks are kept for reuse. Any thread may allocate.
void* MemTableAllocKv(size_t Size);
void MemTableFreeKv(void* P, size_t Size) noexcept;
// Bytes the pool has taken from the system so far.
Int64 MemTablePoolBytesKv();

template <class T>
struct TMemTableAllocatorKv {
  using value_type = T;
  TMemTableAllocatorKv() = default;
  template <class U>
  TMemTableAllocatorKv(const TMemTableAllocatorKv<U>&) {}
  T* allocate(size_t N) { return static_cast<T*>(MemTableAllocKv(N * sizeof(T))); }
  void deallocate(T* P, size_t N) noexcept { MemTableFreeKv(P, N * sizeof(T)); }
  template <class U>
  bool operator==(const TMemTableAllocatorKv<U>&) const { return true; }
};

using TRecDataValues = std::vector<Variant, TMemTableAllocatorKv<Variant>>;
using TIntArray = std::vector<Integer>;
using TVariantArrayKv = std::vector<Variant>;

// ---- Stored value conversion and streaming ------------------------------------------------------

// Converts Source for storing under AVarType: Null and Empty stay, varVariant copies, a byte
// array meets varString as the 8-bit string of its bytes, anything else the variant cast.
void CastDataValue(Variant& Dest, const Variant& Source, TVarType AVarType);
void StringVarToByteArrayVar(const Variant& Source, Variant& Dest);
void ByteArrayVarToVarType(const Variant& Source, Variant& Dest, TVarType AVarType);
// "2021-03-04T05:06:07.089" (milliseconds only when not 0), with "+03:00" for an offset.
String SQLTimeStampVarToText(const Variant& Value);
String SQLTimeStampOffsetVarToText(const Variant& Value);
Variant TextToSQLTimeStampVar(const String& Text);
Variant TextToSQLTimeStampOffsetVar(const String& Text);

// The variant type code of a one-dimensional byte array and of a Unicode string, set when the
// unit starts.
extern TVarType varByteArrayKv;
extern TVarType varUStringKv;

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
  void UpdateVarDataType() { FVarDataType = GetVarDataType(); }
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

// ---- Update errors ------------------------------------------------------------------------------

// Attaches the error of a record change that failed to apply to the record; owns the exception.
class TUpdateErrorKv : public TPersistent {
  DECLARE_CLASS(TUpdateErrorKv, TPersistent)
 public:
  explicit TUpdateErrorKv(std::exception_ptr AException);
  // The exception the holder keeps, or null when it is not one of the framework's.
  const Exception* GetExceptionObject() const { return FObject; }
  std::exception_ptr GetException() const { return FException; }

 private:
  std::exception_ptr FException;
  const Exception* FObject = nullptr;
};

// ---- The memory record --------------------------------------------------------------------------

enum TRecordEditStateKv { resBrowseKv, resEditKv, resInsertKv, resEditForRefresh };
enum TDataValueVersionKv { dvvOldValueKv, dvvCurValueKv, dvvEditValueKv, dvvValueKv, dvvOldestValue, dvvRefreshValue };

class TMemoryRecordKv : public TPersistent {
  DECLARE_CLASS(TMemoryRecordKv, TPersistent)
 public:
  TMemoryRecordKv();
  ~TMemoryRecordKv() override;
  static void* operator new(size_t Size) { return MemTableAllocKv(Size); }
  static void operator delete(void* P, size_t Size) noexcept { MemTableFreeKv(P, Size); }

  void Edit();
  void EditForRefresh();
  void Post();
  // Ends an edit; a record being inserted frees itself (the caller must not use it afterwards).
  void Cancel();
  TRecordEditStateKv EditState() const { return TRecordEditStateKv(FEditState); }
  void MergeChanges();
  void RevertRecord();
  void RefreshRecord(TMemoryRecordKv* Rec);
  void UpdateCalculatedFields();

  Variant GetDataValue(Integer FieldIndex, TDataValueVersionKv DataValueVersion);
  void SetDataValue(Integer FieldIndex, TDataValueVersionKv DataValueVersion, const Variant& Value);
  Variant GetDataValues(const String& FieldNames, TDataValueVersionKv DataValueVersion);
  void SetDataValues(const String& FieldNames, TDataValueVersionKv DataValueVersion, const Variant& VarValue);
  Variant GetDataIndexValues(const TIntArray& FieldIndexes, TDataValueVersionKv DataValueVersion);
  void SetDataIndexValues(const TIntArray& FieldIndexes, TDataValueVersionKv DataValueVersion, const Variant& VarValue);
  void ReadRecordData(TReader* Reader);
  void WriteRecordData(TWriter* Writer);

  Integer GetIndex() const { return FIndex; }
  bool GetAttached() const { return FIndex != -1; }
  TMTDataStructKv* GetDataStruct() const { return FDataStruct; }
  // Never reused within a list, so an identity kept elsewhere never finds another record.
  UInt64 GetHashCode() const { return FHashCode; }
  const TRecDataValues& GetData() const { return FData; }
  const TRecDataValues& GetOldData() const;
  TRecordsListKv* GetRecordsList() const { return FRecordsList; }
  TUpdateErrorKv* GetUpdateError() const { return FChanges ? FChanges->UpdateError.get() : nullptr; }
  void SetUpdateError(TUpdateErrorKv* Value);
  Integer GetUpdateIndex() const { return FUpdateIndex; }
  void SetUpdateIndex(Integer Value) { FUpdateIndex = Value; }
  TUpdateStatus GetUpdateStatus() const { return TUpdateStatus(FUpdateStatus); }
  void SetUpdateStatus(TUpdateStatus Value) { FUpdateStatus = Byte(Value); }

 private:
  friend class TRecordsListKv;
  friend class TMTDataStructKv;
  // What a record keeps only while it is edited, changed under cached updates or refused by an
  // applier: made when first needed, so that a record that is only browsed stays small.
  struct TChanges {
    static void* operator new(size_t Size) { return MemTableAllocKv(Size); }
    static void operator delete(void* P, size_t Size) noexcept { MemTableFreeKv(P, Size); }
    TRecDataValues OldData;
    TRecDataValues TmpOldRecValue;
    bool HasTmpOld = false;  // a pre-edit copy exists (a structure of no fields has an empty one)
    std::unique_ptr<TUpdateErrorKv> UpdateError;
  };
  TChanges& Changes();
  // Lets the changes go once they keep nothing.
  void ReleaseChanges();
  bool HasTmpOld() const { return FChanges && FChanges->HasTmpOld; }
  // Takes a pre-edit copy of the values, or drops it.
  void SetTmpOld(const TRecDataValues& Values);
  void DropTmpOld();
  void SetOldData(const TRecDataValues& Values);
  void ClearOldData();
  TRecDataValues& ValuesFor(TDataValueVersionKv DataValueVersion, bool Writing);
  void CheckFieldIndex(Integer FieldIndex) const;
  void MergeChangesInList(bool Batch);

  TRecDataValues FData;
  TMTDataStructKv* FDataStruct = nullptr;
  TRecordsListKv* FRecordsList = nullptr;
  UInt64 FHashCode = 0;
  std::unique_ptr<TChanges> FChanges;
  Integer FIndex = -1;
  Integer FUpdateIndex = -1;
  Byte FEditState = resInsertKv;        // a TRecordEditStateKv
  Byte FUpdateStatus = usUnmodified;    // a TUpdateStatus
  bool FEditChanged = false;
};

using TMemoryRecordKvClass = TClassRef<TMemoryRecordKv>;

// ---- Records list and notification --------------------------------------------------------------

enum TRecordsListNotification {
  rlnRecAddingKv, rlnRecAddedKv, rlnRecChangingKv, rlnRecChangedKv, rlnRecDeletingKv, rlnRecDeletedKv,
  rlnListChangingKv, rlnListChangedKv, rlnRecMarkingForDelKv, rlnRecMarkedForDelKv
};

struct TRecordsRangeKv {
  Integer LowIndex = 0;
  Integer HighIndex = 0;
};

using TCompareRecords = Closure<Integer(TMemoryRecordKv* Rec1, TMemoryRecordKv* Rec2, TObject* ParamSort)>;

class TRecordsListKv : public TComponent {
  DECLARE_CLASS(TRecordsListKv, TComponent)
 public:
  // AOwner must be a storage object or null; the list is not owned as a component.
  explicit TRecordsListKv(TComponent* AOwner);
  ~TRecordsListKv() override;

  TMemoryRecordKv* NewRecord();
  Integer AddRecord(TMemoryRecordKv* Rec);
  void InsertRecord(Integer Index, TMemoryRecordKv* Rec);
  Integer FetchRecord(TMemoryRecordKv* Rec);
  void DeleteRecord(Integer Index);
  void DeleteRecords(const std::vector<TRecordsRangeKv>& RecordsRanges);
  void PersistDeleteRecord(Integer Index);
  void PersistDeleteRecords(const std::vector<TRecordsRangeKv>& RecordsRanges);
  void PersistRemoveRecord(Integer Index);
  void Move(Integer CurIndex, Integer NewIndex);
  Integer IndexOf(TMemoryRecordKv* Item) const;
  TMemoryRecordKv* GetRec(Integer Index) const { return static_cast<TMemoryRecordKv*>(FRecList.GetItems(Index)); }
  void SetRec(Integer Index, TMemoryRecordKv* Value) { FRecList.SetItems(Index, Value); }
  TMemoryRecordKv* operator[](Integer Index) const { return GetRec(Index); }
  Variant GetValue(Integer RecNo, Integer ValNo) const;
  void SetValue(Integer RecNo, Integer ValNo, const Variant& Value);
  void SortData(const TCompareRecords& Compare, TObject* ParamSort);
  virtual void QuickSort(Integer L, Integer R, const TCompareRecords& Compare, TObject* ParamSort);
  void Clear();
  virtual void BeginUpdate() { ++FUpdateCount; }
  virtual void EndUpdate();

  bool GetCachedUpdates() const { return FCachedUpdates; }
  void SetCachedUpdates(bool Value) { FCachedUpdates = Value; }
  // Some change waits in the delta list (emptied slots do not count).
  bool HasCachedChanges() const;
  void MergeChangeLog();
  void CancelUpdates();
  void RevertRecord(Integer Index);
  void RefreshRecord(Integer Index, TMemoryRecordKv* FromRec);
  void CleanupChangedRecs();
  void SetAutoIncValue(TMemoryRecordKv* Rec);
  // Replaces the records with those of another list (read from a stream), fetched in order.
  void AdoptRecords(TRecordsListKv* From);

  Integer GetCount() const { return FRecList.GetCount(); }
  TMTDataStructKv* GetDataStruct() const;
  TObjectListKv* GetDeltaList() { return &FDeltaList; }
  TObjectListKv* GetDeletedList() { return &FDeletedList; }
  TMTIndexesKv* GetIndexes() const { return FIndexes.get(); }
  TMemTableDataKv* GetMemTableData() const { return FMemTableData; }
  Integer GetRecValCount() const;

  virtual void Notify(TMemoryRecordKv* Rec, Integer Index, TRecordsListNotification Action);
  virtual void RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex);

 protected:
  void DefineProperties(TFiler* Filer) override;

 private:
  friend class TMemoryRecordKv;
  friend class TMemTableDataKv;
  class TReadRecords;
  void InternalAddRecord(TMemoryRecordKv* Rec, Integer Index, bool Fetching, bool Append);
  void Renumber(Integer From);
  void TakeDeltaSlot(TMemoryRecordKv* Rec);
  void EmptyDeltaSlot(TMemoryRecordKv* Rec);
  enum TApplyKind { akInsert, akModify, akDelete };
  bool HasApplier() const;
  void ApplyImmediately(TMemoryRecordKv* Rec, TApplyKind Kind);
  void PersistRemoveRecordInBatch(TMemoryRecordKv* Rec);
  // Makes a change of the record's values and announces it (rlnRecChangingKv) with the new values
  // in place; a listener's refusal puts the former values back and reaches the caller.
  void ChangeValues(TMemoryRecordKv* Rec, Integer Index, const std::function<void()>& Change);
  void ReadData(TReader* Reader);
  void WriteData(TWriter* Writer);

  bool FCachedUpdates = false;
  TObjectListKv FDeletedList{true};
  TObjectListKv FDeltaList;
  std::unique_ptr<TMTIndexesKv> FIndexes;
  TMemTableDataKv* FMemTableData = nullptr;
  UInt64 FNewHashCode = 1;
  TObjectListKv FRecList{true};
  Integer FUpdateCount = 0;
  bool FIndexesCurrent = false;  // the indexes already follow the list-wide change being announced
  // The scratch list a stream is read into keeps the records read for AdoptRecords instead of
  // fetching them itself.
  bool FKeepRead = false;
  std::unique_ptr<TReadRecords> FKeptRead;
};

using TRecordsListNotificatorDataEventKv =
    Closure<void(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action)>;
using TRecordsListApplyUpdatesEventKv = Closure<void(TMemTableDataKv* AMemTableData)>;
using TRecordsListFetchRecordsEventKv = Closure<Integer(Integer Count)>;
using TRecordsListRecordMovedEventKv = Closure<void(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex)>;

class TRecordsListNotificatorKv : public TComponent {
  DECLARE_CLASS(TRecordsListNotificatorKv, TComponent)
 public:
  explicit TRecordsListNotificatorKv(TComponent* AOwner);
  ~TRecordsListNotificatorKv() override;

  virtual Integer FetchRecords(Integer Count);
  virtual void AfterDataEvent(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action);
  virtual void DataEvent(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action);
  virtual void RecordAdded(TMemoryRecordKv*, Integer) {}
  virtual void RecordChanged(TMemoryRecordKv*, Integer) {}
  virtual void RecordDeleted(TMemoryRecordKv*, Integer) {}
  virtual void RecordListChanged() {}
  virtual void RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex);
  virtual void StructChanged(TMemTableDataKv* AMemTableData);
  void CallApplyUpdates(TMemTableDataKv* AMemTableData);
  bool HasApplyUpdatesHandler() const { return bool(FOnApplyUpdates); }

  TComponent* GetDataObject() const { return FDataObject; }
  void SetDataObject(TComponent* Value);
  TMemTableDataKv* GetMemTableData() const { return FMemTableData; }

  TRecordsListNotificatorDataEventKv GetOnAfterDataEvent() const { return FOnAfterDataEvent; }
  void SetOnAfterDataEvent(TRecordsListNotificatorDataEventKv Value) { FOnAfterDataEvent = Value; }
  TRecordsListApplyUpdatesEventKv GetOnApplyUpdates() const { return FOnApplyUpdates; }
  void SetOnApplyUpdates(TRecordsListApplyUpdatesEventKv Value) { FOnApplyUpdates = Value; }
  TRecordsListNotificatorDataEventKv GetOnDataEvent() const { return FOnDataEvent; }
  void SetOnDataEvent(TRecordsListNotificatorDataEventKv Value) { FOnDataEvent = Value; }
  TRecordsListFetchRecordsEventKv GetOnFetchRecords() const { return FOnFetchRecords; }
  void SetOnFetchRecords(TRecordsListFetchRecordsEventKv Value) { FOnFetchRecords = Value; }
  TRecordsListRecordMovedEventKv GetOnRecordMoved() const { return FOnRecordMoved; }
  void SetOnRecordMoved(TRecordsListRecordMovedEventKv Value) { FOnRecordMoved = Value; }
  TRecordsListApplyUpdatesEventKv GetOnStructChanged() const { return FOnStructChanged; }
  void SetOnStructChanged(TRecordsListApplyUpdatesEventKv Value) { FOnStructChanged = Value; }

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void DestroyContents() override;
  // Attaching to another kind of data object (a records view) is its own business.
  virtual bool AttachTo(TComponent* ADataObject);
  virtual void DetachFrom(TComponent* ADataObject);

 private:
  TMemTableDataKv* FMemTableData = nullptr;
  TRecordsListNotificatorDataEventKv FOnAfterDataEvent;
  TRecordsListApplyUpdatesEventKv FOnApplyUpdates;
  TRecordsListNotificatorDataEventKv FOnDataEvent;
  TRecordsListFetchRecordsEventKv FOnFetchRecords;
  TRecordsListRecordMovedEventKv FOnRecordMoved;
  TComponent* FDataObject = nullptr;  // a free notification clears it
  TRecordsListApplyUpdatesEventKv FOnStructChanged;
};

// ---- Indexes ------------------------------------------------------------------------------------

// A collation key; one of up to 15 bytes (a name's key is about as long as the name) is kept in
// place, a longer one in a block of the storage's pool.
class TSortKeyKv {
 public:
  TSortKeyKv() = default;
  TSortKeyKv(const TSortKeyKv& Other) { Assign(Other.Data(), Other.Size()); }
  TSortKeyKv(TSortKeyKv&& Other) noexcept {
    std::memcpy(FBytes, Other.FBytes, sizeof(FBytes));
    Other.FBytes[Tag] = 0;
  }
  TSortKeyKv& operator=(const TSortKeyKv& Other);
  TSortKeyKv& operator=(TSortKeyKv&& Other) noexcept;
  ~TSortKeyKv() { Clear(); }
  void Assign(const char* P, size_t N);
  void Clear() noexcept;
  const char* Data() const { return IsLong() ? LongData() : FBytes; }
  size_t Size() const { return IsLong() ? LongSize() : FBytes[Tag]; }
  // As the bytes compare (unsigned), then the lengths.
  int Compare(const TSortKeyKv& Other) const;

 private:
  static constexpr size_t Tag = 15;      // the length of a key in place, or Long
  static constexpr char Long = char(0xFF);
  bool IsLong() const { return FBytes[Tag] == Long; }
  char* LongData() const {
    char* P;
    std::memcpy(&P, FBytes, sizeof(P));
    return P;
  }
  Cardinal LongSize() const {
    Cardinal N;
    std::memcpy(&N, FBytes + sizeof(char*), sizeof(N));
    return N;
  }
  alignas(8) char FBytes[16] = {};
};

class TIndexItemKv {
 public:
  Variant Value;
  Integer RecIndex = 0;
  // The collation key of a text key while the index compares by keys (empty for Null).
  TSortKeyKv SortKey;
};

class EUniqueKeyViolationKv : public EDatabaseError {
  DECLARE_CLASS(EUniqueKeyViolationKv, EDatabaseError)
 public:
  EUniqueKeyViolationKv(const String& AFieldNames, const Variant& AValue);
  String FieldNames;
  Variant Value;
};

class TMTIndexKv : public TCollectionItem {
  DECLARE_CLASS(TMTIndexKv, TCollectionItem)
 public:
  explicit TMTIndexKv(TCollection* Collection);
  // A detached index over ARecordsList, in no collection.
  static TMTIndexKv* CreateApart(TRecordsListKv* ARecordsList);
  ~TMTIndexKv() override;

  TRecordsListKv* RecordsList() const;
  bool GetActive() const { return FActive; }
  void SetActive(bool Value);
  const String& GetFields() const { return FFields; }
  void SetFields(const String& Value);
  bool GetPrimary() const { return FPrimary; }
  void SetPrimary(bool Value);
  bool GetUnique() const { return FUnique; }
  void SetUnique(bool Value);

  void RebuildIndex();
  void ClearIndex();
  void QuickSort(Integer L, Integer R);
  void CheckUnique();
  Integer GetCount() const { return FCount; }
  TIndexItemKv* GetItems(Integer Index) { return &Entry(Index); }
  Variant GetKeyValue(Integer Index) const { return const_cast<TMTIndexKv*>(this)->Entry(Index).Value; }
  void SetKeyValue(Integer Index, const Variant& Value) { Entry(Index).Value = Value; }
  bool FindKeyValueIndex(const Variant& Value, Integer& Index) const;
  bool FindRecordIndexByKey(const Variant& Value, Integer& Index) const;
  void FillMatchedKeyList(const Variant& Value, std::vector<TIndexItemKv*>& List);
  void FillMatchedRecsList(const Variant& Value, TList* List);
  void Notify(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action);
  virtual void RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex);
  virtual void InsertItem(Integer Index, const Variant& Value, Integer RecIndexValue);
  // Records left the list at once: NewIndex maps each former position to the new one, -1 for a
  // record that went. Keeps the entries without sorting them again.
  void RecordsRemoved(const std::vector<Integer>& NewIndex);
  // Entries shifted, split off or renumbered so far: what the index's changes cost, so that a
  // test can tell local changes from ones that rework the whole list.
  Int64 GetEntryMoves() const { return FEntryMoves; }

 private:
  // The entries are kept in runs, in order: a change shifts the entries of one run only. A
  // rebuild leaves a single run; a change to a run longer than RunMax splits it first.
  using TEntryRun = std::vector<TIndexItemKv>;
  static constexpr size_t RunMax = 256;
  struct TSlot {
    size_t Run = 0;
    size_t At = 0;
  };
  TIndexItemKv& Entry(Integer Index);
  TIndexItemKv& EntryAt(TSlot S) { return FRuns[S.Run][S.At]; }
  // The run and place of a position; Index = Count gives the place behind the last entry.
  TSlot SlotOf(Integer Index) const;
  Integer PositionOf(TSlot S) const;
  // Counts the runs' entries anew after runs came or went.
  void IndexRuns();
  void RunResized(size_t Run, Integer Delta);
  void SplitRun(size_t Run);
  // All the entries in one run, for sorting.
  void JoinRuns();
  void InsertAt(TSlot S, TIndexItemKv&& E);
  void EraseAt(TSlot S);
  // The slot after S, or false at the end.
  bool Next(TSlot& S) const;
  bool Prev(TSlot& S) const;
  // Adds Delta to the record position of every entry at or behind From (a record came or went).
  void ShiftRecIndexes(Integer From, Integer Delta);
  Variant KeyOf(TMemoryRecordKv* Rec, TDataValueVersionKv Version) const;
  // The collation key of a key value; false when it has none (not a text, or a character the
  // key does not know).
  static bool MakeSortKey(const Variant& Value, TSortKeyKv& Key);
  // Compares an entry with a key value (and its collation key, when it has one).
  TVariantRelationship CompareEntry(const TIndexItemKv& Entry, const Variant& Value, const TSortKeyKv* Key) const;
  // The index's order: by key, and equal keys by record position, so that the entry of a record
  // is found by bisection however many records share its key.
  TVariantRelationship CompareEntries(const TIndexItemKv& A, const TIndexItemKv& B) const;
  // A bisection for Value: an entry with an equal key, or where Value would go.
  bool FindKey(const Variant& Value, const TSortKeyKv* Key, TSlot& S) const;
  // A bisection for the place of (Value, RecIndexValue) in the index's order; true when the entry
  // there is that record's.
  bool FindPlace(const Variant& Value, const TSortKeyKv* Key, Integer RecIndexValue, TSlot& S) const;
  bool FindKeyValueSlot(const Variant& Value, TSlot& S) const;
  // Stops comparing by collation keys (a key could not be made for a new value).
  void DropSortKeys();
  // Before Value is looked up or entered: drops the collation keys when Value has none, else
  // makes Value's into Key. Answers what the comparisons take: &Key, or null without keys.
  const TSortKeyKv* AdmitKey(const Variant& Value, TSortKeyKv& Key);
  TIndexItemKv MakeEntry(const Variant& Value, Integer RecIndexValue);
  // The entry of the record at RecIndexValue under Key; false when it has none there.
  bool FindEntryOfRecord(const Variant& Key, Integer RecIndexValue, TSlot& S) const;
  // The entry of a record by its position alone, with a walk over the entries (for a record whose
  // entry is not under its key: one changed behind the index's back).
  bool ScanForRecord(Integer RecIndexValue, TSlot& S) const;
  // Enters the record's entry at its place in the index's order (Key admitted).
  void EnterRecord(const Variant& Key, const TSortKeyKv* SortKey, Integer RecIndexValue);
  bool IsUniqueKind() const { return FUnique || FPrimary; }

  bool FActive = false;
  String FFields;
  Variant FOldValue;
  TMemoryRecordKv* FAnnounced = nullptr;  // the record whose change FOldValue is from
  bool FReturning = false;                // it comes back from a deletion mark
  bool FPrimary = false;
  std::vector<TEntryRun> FRuns;
  std::vector<Integer> FRunSums;  // Fenwick sums of the runs' sizes, from 1
  Integer FCount = 0;
  Int64 FEntryMoves = 0;
  TRecordsListKv* FRecordsList = nullptr;
  bool FUnique = false;
  bool FKeyed = false;  // text keys compare by their collation keys
  // The key fields' positions, for the structure and layout they were resolved in.
  mutable TIntArray FKeyFields;
  mutable const TMTDataStructKv* FKeyStruct = nullptr;
  mutable Int64 FKeyLayout = -1;
  mutable String FKeyFieldNames;
};

class TMTIndexesKv : public TCollection {
  DECLARE_CLASS(TMTIndexesKv, TCollection)
 public:
  explicit TMTIndexesKv(TRecordsListKv* ARecList);
  TMTIndexKv* Add() { return static_cast<TMTIndexKv*>(TCollection::Add()); }
  TMTIndexKv* GetItems(Integer Index) const { return static_cast<TMTIndexKv*>(GetItem(Index)); }
  TMTIndexKv* GetIndexForFields(const String& Fields) const;
  void UpdateIndexes();
  void Notify(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action);
  virtual void RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex);
  TRecordsListKv* GetRecList() const { return FRecList; }

 private:
  TRecordsListKv* FRecList;
};

// ---- The storage object -------------------------------------------------------------------------

class TAutoIncrementKv : public TPersistent {
  DECLARE_CLASS(TAutoIncrementKv, TPersistent)
 public:
  TAutoIncrementKv();
  void Assign(TPersistent* Source) override;
  Integer Promote();
  void Reset() { FCurValue = FInitValue; }
  Integer GetInitValue() const { return FInitValue; }
  void SetInitValue(Integer Value);
  Integer GetStep() const { return FStep; }
  void SetStep(Integer Value) { FStep = Value; }
  Integer GetCurValue() const { return FCurValue; }
  void SetCurValue(Integer Value) { FCurValue = Value; }
  PUBLISHED_DECL(TAutoIncrementKv);

 private:
  Integer FStep = -1;
  Integer FInitValue = -1;
  Integer FCurValue = -1;
};

using TMemoryRecordEventKv = Closure<void(TMemoryRecordKv* MemRec, TVariantArrayKv& FieldValues)>;

class TMemTableDataKv : public TComponent {
  DECLARE_CLASS(TMemTableDataKv, TComponent)
 public:
  explicit TMemTableDataKv(TComponent* AOwner);
  ~TMemTableDataKv() override;

  virtual TRecordsListKv* CreateRecordsList();
  TAutoIncrementKv* GetAutoIncrement() const { return FAutoIncrement.get(); }
  virtual TMTDataStructKv* GetDataStruct() const { return FDataStruct; }
  TRecordsListKv* GetRecordsList() const { return FRecordsList; }
  virtual void AddNotificator(TRecordsListNotificatorKv* Notificator);
  void RemoveNotificator(TRecordsListNotificatorKv* Notificator);
  Integer NotificatorCount() const { return FNotificators.GetCount(); }
  virtual void ApplyUpdates(TMemTableDataKv* AMemTableData);
  virtual void FieldNameChanging(TMTDataFieldKv*, const String&) {}
  virtual void Notify(TMemoryRecordKv* Rec, Integer Index, TRecordsListNotification Action);
  virtual void RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex);
  virtual void SetAutoIncrement(TAutoIncrementKv* Value);
  virtual void SetAutoIncValue(TMemoryRecordKv* Rec);
  virtual void StructChanged();
  virtual TMTDataStructKv* BeginRestruct();
  virtual Integer FetchRecords(Integer Count);
  virtual void CancelRestruct();
  // Applies the prepared structure: the records' values are laid out anew for it.
  virtual void CommitRestruct();
  virtual void DestroyTable();
  virtual void ResetRecords();
  void CalcRecordFields(TMemoryRecordKv* Rec);
  bool HasApplier() const;

  bool IsEmpty() const { return GetDataStruct()->GetCount() == 0; }
  bool GetRestructMode() const { return FRestructMode; }
  bool GetStoreStructInStream() const { return FStoreStructInStream; }
  void SetStoreStructInStream(bool Value) { FStoreStructInStream = Value; }
  bool GetStoreRecordsInStream() const { return FStoreRecordsInStream; }
  void SetStoreRecordsInStream(bool Value) { FStoreRecordsInStream = Value; }
  TMemoryRecordEventKv GetOnFieldCalculation() const { return FOnFieldCalculation; }
  void SetOnFieldCalculation(TMemoryRecordEventKv Value);
  const TIntArray& GetIncFieldIndexes() const { return FIncFieldIndexes; }

  void ReadState(TReader* Reader) override;
  void GetChildren(TGetChildProc Proc, TComponent* Root) override;

 protected:
  void DefineProperties(TFiler* Filer) override;
  void DestroyContents() override;

 private:
  void ReaderCreateComponent(TReader* Reader, TComponentClass ComponentClass, TComponent*& Component);
  void ReaderAncestorNotFound(TReader* Reader, const String& ComponentName, TComponentClass ComponentClass,
                              TComponent*& Component);

  std::unique_ptr<TAutoIncrementKv> FAutoIncrement;
  TMemTableDataKv* FReadInto = nullptr;  // the scratch storage a stream is read into
  std::unique_ptr<TMemTableDataKv> FScratch;
  bool FReadStruct = false;
  bool FReadRecords = false;
  TMTDataStructKv* FDataStruct = nullptr;  // owned as a component
  TIntArray FIncFieldIndexes;
  std::unique_ptr<TMTDataStructKv> FNewDataStruct;
  TObjectListKv FNotificators;
  TRecordsListKv* FRecordsList = nullptr;  // no component owner; freed in DestroyContents
  bool FRestructMode = false;
  bool FStoreStructInStream = false;
  bool FStoreRecordsInStream = false;
  TMemoryRecordEventKv FOnFieldCalculation;
};

// A throw-away storage object over another's structure, used to hand one change to the appliers.
class TMemTableDataShadowKv : public TMemTableDataKv {
  DECLARE_CLASS(TMemTableDataShadowKv, TMemTableDataKv)
 public:
  explicit TMemTableDataShadowKv(TMemTableDataKv* AMasterTable);
  TMTDataStructKv* GetDataStruct() const override;
  void SetAutoIncValue(TMemoryRecordKv*) override {}
  TMemTableDataKv* GetMasterTable() const { return FMasterTable; }

 private:
  TMemTableDataKv* FMasterTable;
};

// Registers the storage classes for streaming and sets the unit's type codes; counted, so each
// pair runs once however many units ask. The test main and the program call them.
void MemTableDataKvStartup();
void MemTableDataKvShutdown();

// A key whose byte order is the Turkish collation's order of the texts (letters by the Turkish
// alphabet ignoring case, then circumflexes, then lower before upper case), made once per value
// so that an index compares bytes instead of asking the system per comparison. Answers false for
// a text with a character outside the Turkish and English letters (â, î, û included), the digits
// and the blank. An index on one text field compares by these keys under a Turkish user.
bool TurkishSortKeyKv(const String& S, std::string& Key);
