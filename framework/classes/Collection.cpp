#include "framework/classes/Collection.h"

#include <algorithm>

namespace {
[[noreturn]] void IndexError(Integer Index) {
  throw EListError(L"List index out of bounds (" + std::to_wstring(Index) + L")");
}
}  // namespace

// ---- TCollectionItem ----------------------------------------------------------------------------

TCollectionItem::TCollectionItem(TCollection* Collection) {
  // The item's class is not known yet while its base is built: the class check waits for Add
  // and SetCollection.
  if (Collection) Collection->InsertItem(this, false);
}

TCollectionItem::~TCollectionItem() {
  if (FCollection) FCollection->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* Value) {
  if (FCollection == Value) return;
  if (FCollection) FCollection->RemoveItem(this);
  if (Value) Value->InsertItem(this, true);
}

Integer TCollectionItem::GetIndex() const {
  if (!FCollection) return -1;
  auto& L = FCollection->FItems;
  auto It = std::find(L.begin(), L.end(), this);
  return It == L.end() ? -1 : Integer(It - L.begin());
}

void TCollectionItem::SetIndex(Integer Value) {
  Integer Cur = GetIndex();
  if (Cur < 0 || Cur == Value) return;
  auto& L = FCollection->FItems;
  if (Value < 0 || Value >= Integer(L.size())) IndexError(Value);
  L.erase(L.begin() + Cur);
  L.insert(L.begin() + Value, this);
  Changed(true);
}

String TCollectionItem::GetDisplayName() const { return ClassName(); }

void TCollectionItem::SetDisplayName(const String&) { Changed(false); }

TPersistent* TCollectionItem::GetOwner() { return FCollection; }

String TCollectionItem::GetNamePath() {
  if (!FCollection) return ClassName();
  return FCollection->GetNamePath() + L"[" + std::to_wstring(GetIndex()) + L"]";
}

void TCollectionItem::Changed(bool AllItems) {
  if (FCollection && FCollection->FUpdateCount == 0) FCollection->Update(AllItems ? nullptr : this);
}

// ---- TCollection --------------------------------------------------------------------------------

TCollection::TCollection(TCollectionItemClass ItemClass) : FItemClass(ItemClass) {}

TCollection::~TCollection() {
  FUpdateCount = 1;  // no change reports from a dying collection
  while (!FItems.empty()) delete FItems.back();
}

TCollectionItem* TCollection::Add() {
  // Made outside and inserted whole, so that Notify and Update see a finished item.
  TCollectionItem* Item = FItemClass.Create(nullptr);
  try {
    InsertItem(Item, true);
  } catch (...) {
    delete Item;
    throw;
  }
  Added(Item);
  return Item;
}

TCollectionItem* TCollection::Insert(Integer Index) {
  if (Index < 0 || Index > GetCount()) IndexError(Index);
  TCollectionItem* Item = Add();
  Item->SetIndex(Index);
  return Item;
}

void TCollection::Delete(Integer Index) {
  TCollectionItem* Item = GetItem(Index);
  Notify(Item, cnDeleting);
  delete Item;
}

void TCollection::Clear() {
  if (FItems.empty()) return;
  BeginUpdate();
  try {
    while (!FItems.empty()) delete FItems.back();
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

TCollectionItem* TCollection::GetItem(Integer Index) const {
  if (Index < 0 || Index >= GetCount()) IndexError(Index);
  return FItems[Index];
}

void TCollection::SetItem(Integer Index, TCollectionItem* Value) { GetItem(Index)->Assign(Value); }

TCollectionItem* TCollection::FindItemID(Integer ID) const {
  for (TCollectionItem* I : FItems)
    if (I->FID == ID) return I;
  return nullptr;
}

void TCollection::BeginUpdate() { ++FUpdateCount; }

void TCollection::EndUpdate() {
  if (FUpdateCount > 0) --FUpdateCount;
  Changed();
}

void TCollection::Changed() {
  if (FUpdateCount == 0) Update(nullptr);
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Notify(TCollectionItem* Item, TCollectionNotification Action) {
  if (Action == cnDeleting) Deleting(Item);
}

void TCollection::InsertItem(TCollectionItem* Item, bool CheckClass) {
  if (CheckClass && FItemClass && !Item->InheritsFrom(FItemClass))
    throw EListError(L"A " + Item->ClassName() + L" cannot be an item of a collection of " + FItemClass->ClassName());
  FItems.push_back(Item);
  Item->FCollection = this;
  Item->FID = FNextID++;
  SetItemName(Item);
  Notify(Item, cnAdded);
  Changed();
}

void TCollection::RemoveItem(TCollectionItem* Item) {
  Notify(Item, cnExtracting);
  // From the end: Clear and the destructor free the items last first, each then found at once.
  auto It = std::find(FItems.rbegin(), FItems.rend(), Item);
  if (It != FItems.rend()) FItems.erase(std::next(It).base());
  Item->FCollection = nullptr;
  Changed();
}

void TCollection::Assign(TPersistent* Source) {
  if (auto* Src = dynamic_cast<TCollection*>(Source)) {
    if (Src == this) return;
    BeginUpdate();
    try {
      Clear();
      for (TCollectionItem* I : Src->FItems) Add()->Assign(I);
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  inherited::Assign(Source);
}

String TCollection::GetPropName() {
  TPersistent* Owner = GetOwner();
  if (!Owner) return String();
  for (PPropInfo P : GetPropList(Owner))
    if (P->PropType->Kind == tkClass && P->GetObj && P->GetObj(Owner) == this) return P->Name;
  return String();
}

String TCollection::GetNamePath() {
  String S = ClassName();
  TPersistent* Owner = GetOwner();
  if (!Owner) return S;
  String OwnerPath = Owner->GetNamePath();
  if (OwnerPath.empty()) return S;
  String Prop = GetPropName();
  return Prop.empty() ? S : OwnerPath + L"." + Prop;
}
