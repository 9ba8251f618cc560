#pragma once
// TFieldDef/TFieldDefs: the description of a dataset's physical fields, from which default
// TField objects are created. TIndexDef/TIndexDefs: the indexes a dataset offers.

#include "framework/TypInfo.h"
#include "framework/classes/Collection.h"
#include "framework/db/DBTypes.h"

class TDataSet;
class TField;
class TComponent;
class TFieldDefs;

class TFieldDef : public TCollectionItem {
  DECLARE_CLASS(TFieldDef, TCollectionItem)
 public:
  explicit TFieldDef(TCollection* Collection);
  // Adds itself to Owner with the values given.
  TFieldDef(TFieldDefs* Owner, const String& Name, TFieldType DataType, Integer Size, bool Required,
            Integer FieldNo);
  ~TFieldDef() override;

  void Assign(TPersistent* Source) override;
  String GetDisplayName() const override { return FName; }
  // A new field of the class the dataset gives for the type, named after the definition.
  TField* CreateField(TComponent* Owner, TField* ParentField = nullptr, const String& FieldName = String(),
                      bool CreateChildren = true);
  TFieldDefs* GetChildDefs();
  bool HasChildDefs() const;
  TFieldDef* GetParentDef() const { return FParentDef; }
  TClass GetFieldClass() const;

  const String& GetName() const { return FName; }
  void SetName(const String& Value);
  TFieldType GetDataType() const { return FDataType; }
  void SetDataType(TFieldType Value);
  Integer GetSize() const { return FSize; }
  void SetSize(Integer Value);
  Integer GetPrecision() const { return FPrecision; }
  void SetPrecision(Integer Value);
  TFieldAttributes GetAttributes() const { return FAttributes; }
  void SetAttributes(TFieldAttributes Value);
  bool GetRequired() const { return FAttributes.Contains(faRequired); }
  void SetRequired(bool Value);
  bool GetInternalCalcField() const { return FInternalCalcField; }
  void SetInternalCalcField(bool Value);
  // 1-based position among the physical fields; set by the definitions list unless given.
  Integer GetFieldNo() const;
  void SetFieldNo(Integer Value) { FFieldNo = Value; }

  PUBLISHED_DECL(TFieldDef);

 private:
  friend class TFieldDefs;
  String FName;
  TFieldType FDataType = ftUnknown;
  Integer FSize = 0;
  Integer FPrecision = 0;
  TFieldAttributes FAttributes;
  bool FInternalCalcField = false;
  Integer FFieldNo = 0;
  TFieldDef* FParentDef = nullptr;
  std::unique_ptr<TFieldDefs> FChildDefs;
};

class TFieldDefs : public TOwnedCollection {
  DECLARE_CLASS(TFieldDefs, TOwnedCollection)
 public:
  explicit TFieldDefs(TPersistent* AOwner);

  TFieldDef* AddFieldDef();
  // Raises "Duplicate field name" for a name already present (case-insensitive).
  TFieldDef* Add(const String& Name, TFieldType DataType, Integer Size = 0, bool Required = false);
  TFieldDef* Find(const String& Name);     // raises "Field '%s' not found"
  Integer IndexOf(const String& Name) const;
  TFieldDef* GetItem(Integer Index) const { return static_cast<TFieldDef*>(TCollection::GetItem(Index)); }
  TFieldDef* operator[](Integer Index) const { return GetItem(Index); }
  TDataSet* GetDataSet() const { return FDataSet; }
  TFieldDef* GetParentDef() const { return FParentDef; }
  // Asks the dataset to (re)build the list when it is not up to date.
  void Update();
  bool GetUpdated() const { return FUpdated; }
  void SetUpdated(bool Value) { FUpdated = Value; }
  bool GetHiddenFields() const { return FHiddenFields; }
  void SetHiddenFields(bool Value) { FHiddenFields = Value; }
  // The definitions and their children, depth first.
  std::vector<TFieldDef*> FlatList();

 protected:
  void Update(TCollectionItem* Item) override;
  void SetItemName(TCollectionItem* Item) override;

 private:
  friend class TFieldDef;
  TDataSet* FDataSet = nullptr;
  TFieldDef* FParentDef = nullptr;
  bool FUpdated = false;
  bool FHiddenFields = false;
};

class TIndexDef : public TCollectionItem {
  DECLARE_CLASS(TIndexDef, TCollectionItem)
 public:
  explicit TIndexDef(TCollection* Collection) : TCollectionItem(Collection) {}
  void Assign(TPersistent* Source) override;
  String GetDisplayName() const override { return FName; }
  const String& GetName() const { return FName; }
  void SetName(const String& Value) { FName = Value; }
  const String& GetFields() const { return FFields; }
  void SetFields(const String& Value) { FFields = Value; }
  const String& GetCaseInsFields() const { return FCaseInsFields; }
  void SetCaseInsFields(const String& Value) { FCaseInsFields = Value; }
  const String& GetDescFields() const { return FDescFields; }
  void SetDescFields(const String& Value) { FDescFields = Value; }
  const String& GetExpression() const { return FExpression; }
  void SetExpression(const String& Value) { FExpression = Value; }
  TIndexOptions GetOptions() const { return FOptions; }
  void SetOptions(TIndexOptions Value) { FOptions = Value; }
  const String& GetSource() const { return FSource; }
  void SetSource(const String& Value) { FSource = Value; }
  Integer GetGroupingLevel() const { return FGroupingLevel; }
  void SetGroupingLevel(Integer Value) { FGroupingLevel = Value; }

  PUBLISHED_DECL(TIndexDef);

 private:
  String FName, FFields, FCaseInsFields, FDescFields, FExpression, FSource;
  TIndexOptions FOptions;
  Integer FGroupingLevel = 0;
};

class TIndexDefs : public TOwnedCollection {
  DECLARE_CLASS(TIndexDefs, TOwnedCollection)
 public:
  explicit TIndexDefs(TDataSet* ADataSet);
  TIndexDef* AddIndexDef();
  TIndexDef* Add(const String& Name, const String& Fields, TIndexOptions Options);
  TIndexDef* Find(const String& Name);  // raises "Index '%s' not found"
  Integer IndexOf(const String& Name) const;
  TIndexDef* GetItem(Integer Index) const { return static_cast<TIndexDef*>(TCollection::GetItem(Index)); }
  TIndexDef* operator[](Integer Index) const { return GetItem(Index); }
  // The first index whose fields begin with Fields (case-insensitive); null when none.
  TIndexDef* GetIndexForFields(const String& Fields, bool CaseInsensitive);
  void Update();
  bool GetUpdated() const { return FUpdated; }
  void SetUpdated(bool Value) { FUpdated = Value; }
  TDataSet* GetDataSet() const { return FDataSet; }

 private:
  TDataSet* FDataSet;
  bool FUpdated = false;
};
