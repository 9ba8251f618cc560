#include "framework/db/FieldDefs.h"

#include "framework/db/DBConsts.h"
#include "framework/db/DataSet.h"
#include "framework/db/Fields.h"
#include "framework/sysutils/Strings.h"

// ---- TFieldDef -------------------------------------------------------------------------------------

PUBLISHED_DEF(TFieldDef) {
  PROP(Name);
  PROP(Attributes).Default(TFieldAttributes{});
  PROP(DataType).Default(ftUnknown);
  PROP(Precision).Default(0);
  PROP(Size).Default(0);
}

TFieldDef::TFieldDef(TCollection* Collection) : TCollectionItem(Collection) {
  if (auto* Defs = dynamic_cast<TFieldDefs*>(Collection)) FParentDef = Defs->FParentDef;
}

TFieldDef::TFieldDef(TFieldDefs* Owner, const String& Name, TFieldType DataType, Integer Size, bool Required,
                     Integer FieldNo)
    : TCollectionItem(nullptr) {
  FName = Name;
  FDataType = DataType;
  FSize = Size;
  if (Required) FAttributes << faRequired;
  FFieldNo = FieldNo;
  FParentDef = Owner->FParentDef;
  SetCollection(Owner);
}

TFieldDef::~TFieldDef() = default;

void TFieldDef::Assign(TPersistent* Source) {
  if (auto* S = dynamic_cast<TFieldDef*>(Source)) {
    FName = S->FName;
    FDataType = S->FDataType;
    FSize = S->FSize;
    FPrecision = S->FPrecision;
    FAttributes = S->FAttributes;
    FInternalCalcField = S->FInternalCalcField;
    if (S->HasChildDefs()) GetChildDefs()->Assign(S->FChildDefs.get());
    Changed(false);
    return;
  }
  TCollectionItem::Assign(Source);
}

void TFieldDef::SetName(const String& Value) {
  if (FName == Value) return;
  if (auto* Defs = dynamic_cast<TFieldDefs*>(GetCollection())) {
    Integer I = Defs->IndexOf(Value);
    if (I >= 0 && Defs->GetItem(I) != this) DatabaseErrorFmt(SDuplicateFieldName, {Value}, Defs->GetDataSet());
  }
  FName = Value;
  Changed(false);
}

void TFieldDef::SetDataType(TFieldType Value) {
  FDataType = Value;
  // The sizes that only one value makes sense for.
  switch (Value) {
    case ftGuid: FSize = 38; break;
    case ftBCD: if (FSize == 0) FSize = 4; break;
    default: break;
  }
  Changed(false);
}

void TFieldDef::SetSize(Integer Value) {
  FSize = Value;
  Changed(false);
}

void TFieldDef::SetPrecision(Integer Value) {
  FPrecision = Value;
  Changed(false);
}

void TFieldDef::SetAttributes(TFieldAttributes Value) {
  FAttributes = Value;
  Changed(false);
}

void TFieldDef::SetRequired(bool Value) {
  if (Value) FAttributes << faRequired;
  else FAttributes >> faRequired;
  Changed(false);
}

void TFieldDef::SetInternalCalcField(bool Value) {
  FInternalCalcField = Value;
  Changed(false);
}

Integer TFieldDef::GetFieldNo() const { return FFieldNo > 0 ? FFieldNo : GetIndex() + 1; }

TFieldDefs* TFieldDef::GetChildDefs() {
  if (!FChildDefs) {
    FChildDefs = std::make_unique<TFieldDefs>(this);
    FChildDefs->FParentDef = this;
    if (auto* Defs = dynamic_cast<TFieldDefs*>(GetCollection())) FChildDefs->FDataSet = Defs->FDataSet;
  }
  return FChildDefs.get();
}

bool TFieldDef::HasChildDefs() const { return FChildDefs && FChildDefs->GetCount() > 0; }

TClass TFieldDef::GetFieldClass() const {
  auto* Defs = dynamic_cast<TFieldDefs*>(const_cast<TFieldDef*>(this)->GetCollection());
  if (Defs && Defs->GetDataSet()) return Defs->GetDataSet()->GetFieldClass(FDataType);
  return DefaultFieldClass(FDataType);
}

TField* TFieldDef::CreateField(TComponent* Owner, TField* /*ParentField*/, const String& FieldName, bool) {
  TFieldClass Cls = GetFieldClass();
  if (!Cls) DatabaseErrorFmt(SUnknownFieldType, {FName});
  TField* F = Cls.Create(Owner);
  try {
    F->CheckTypeSize(FSize);
    F->SetSize(FSize);
    F->SetFieldName(FieldName.empty() ? FName : FieldName);
    F->SetRequired(FAttributes.Contains(faRequired));
    F->SetReadOnly(FAttributes.Contains(faReadonly));
    if (FInternalCalcField) F->SetFieldKind(fkInternalCalc);
    if (auto* B = dynamic_cast<TBCDField*>(F)) B->SetPrecision(FPrecision);
    else if (auto* FB = dynamic_cast<TFMTBCDField*>(F)) FB->SetPrecision(FPrecision);
    else if (auto* Fl = dynamic_cast<TFloatField*>(F); Fl && FPrecision > 0) Fl->SetPrecision(FPrecision);
    if (auto* Defs = dynamic_cast<TFieldDefs*>(GetCollection())) F->SetDataSet(Defs->GetDataSet());
  } catch (...) {
    delete F;
    throw;
  }
  return F;
}

// ---- TFieldDefs ------------------------------------------------------------------------------------

TFieldDefs::TFieldDefs(TPersistent* AOwner) : TOwnedCollection(AOwner, TFieldDef::StaticClass()) {
  FDataSet = dynamic_cast<TDataSet*>(AOwner);
}

TFieldDef* TFieldDefs::AddFieldDef() { return static_cast<TFieldDef*>(TCollection::Add()); }

TFieldDef* TFieldDefs::Add(const String& Name, TFieldType DataType, Integer Size, bool Required) {
  if (Name.empty()) DatabaseError(SFieldNameMissing, FDataSet);
  if (IndexOf(Name) >= 0) DatabaseErrorFmt(SDuplicateFieldName, {Name}, FDataSet);
  BeginUpdate();
  TFieldDef* D;
  try {
    D = AddFieldDef();
    D->FName = Name;
    D->SetDataType(DataType);
    if (Size != 0 || DataType != ftGuid) D->FSize = DataType == ftGuid ? 38 : Size;
    D->SetRequired(Required);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  return D;
}

Integer TFieldDefs::IndexOf(const String& Name) const {
  for (Integer I = 0; I < GetCount(); ++I)
    if (AnsiCompareText(GetItem(I)->GetName(), Name) == 0) return I;
  return -1;
}

TFieldDef* TFieldDefs::Find(const String& Name) {
  Integer I = IndexOf(Name);
  if (I < 0) DatabaseErrorFmt(SFieldNotFound, {Name}, FDataSet);
  return GetItem(I);
}

void TFieldDefs::Update() {
  if (FDataSet && !FUpdated) {
    FDataSet->InitFieldDefs();
    FUpdated = true;
  }
}

std::vector<TFieldDef*> TFieldDefs::FlatList() {
  std::vector<TFieldDef*> Result;
  for (Integer I = 0; I < GetCount(); ++I) {
    TFieldDef* D = GetItem(I);
    Result.push_back(D);
    if (D->HasChildDefs())
      for (TFieldDef* C : D->GetChildDefs()->FlatList()) Result.push_back(C);
  }
  return Result;
}

void TFieldDefs::Update(TCollectionItem* Item) {
  TCollection::Update(Item);
  if (FDataSet) FDataSet->DefChanged(this);
}

void TFieldDefs::SetItemName(TCollectionItem* Item) {
  auto* D = static_cast<TFieldDef*>(Item);
  if (D->FName.empty()) {
    for (Integer N = 1;; ++N) {
      String Name = L"Field" + IntToStr(N);
      if (IndexOf(Name) < 0) {
        D->FName = Name;
        break;
      }
    }
  }
}

// ---- TIndexDef(s) ----------------------------------------------------------------------------------

PUBLISHED_DEF(TIndexDef) {
  PROP(Name);
  PROP(CaseInsFields);
  PROP(DescFields);
  PROP(Expression);
  PROP(Fields);
  PROP(Options).Default(TIndexOptions{});
  PROP(Source);
  PROP(GroupingLevel).Default(0);
}

void TIndexDef::Assign(TPersistent* Source) {
  if (auto* S = dynamic_cast<TIndexDef*>(Source)) {
    FName = S->FName;
    FFields = S->FFields;
    FCaseInsFields = S->FCaseInsFields;
    FDescFields = S->FDescFields;
    FExpression = S->FExpression;
    FOptions = S->FOptions;
    FSource = S->FSource;
    FGroupingLevel = S->FGroupingLevel;
    return;
  }
  TCollectionItem::Assign(Source);
}

TIndexDefs::TIndexDefs(TDataSet* ADataSet) : TOwnedCollection(ADataSet, TIndexDef::StaticClass()), FDataSet(ADataSet) {}

TIndexDef* TIndexDefs::AddIndexDef() { return static_cast<TIndexDef*>(TCollection::Add()); }

TIndexDef* TIndexDefs::Add(const String& Name, const String& Fields, TIndexOptions Options) {
  if (!Name.empty() && IndexOf(Name) >= 0) DatabaseErrorFmt(SDuplicateIndexName, {Name}, FDataSet);
  TIndexDef* D = AddIndexDef();
  D->SetName(Name);
  D->SetFields(Fields);
  D->SetOptions(Options);
  return D;
}

Integer TIndexDefs::IndexOf(const String& Name) const {
  for (Integer I = 0; I < GetCount(); ++I)
    if (AnsiCompareText(GetItem(I)->GetName(), Name) == 0) return I;
  return -1;
}

TIndexDef* TIndexDefs::Find(const String& Name) {
  Integer I = IndexOf(Name);
  if (I < 0) DatabaseErrorFmt(SIndexNotFound, {Name}, FDataSet);
  return GetItem(I);
}

TIndexDef* TIndexDefs::GetIndexForFields(const String& Fields, bool CaseInsensitive) {
  Integer L = Length(Fields);
  for (Integer I = 0; I < GetCount(); ++I) {
    TIndexDef* D = GetItem(I);
    if (D->GetOptions().Contains(ixExpression)) continue;
    if (CaseInsensitive && !D->GetOptions().Contains(ixCaseInsensitive)) continue;
    const String& F = D->GetFields();
    if (AnsiCompareText(Copy(F, 1, L), Fields) == 0 && (Length(F) == L || F[L] == L';')) return D;
  }
  return nullptr;
}

void TIndexDefs::Update() {
  if (FDataSet && !FUpdated) {
    FDataSet->UpdateIndexDefs();
    FUpdated = true;
  }
}
