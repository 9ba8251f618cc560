#include "framework/classes/Component.h"

#include "framework/classes/Reader.h"

#include <algorithm>
#include <cwctype>

namespace {
bool SameName(const String& A, const String& B) {
  if (A.size() != B.size()) return false;
  for (size_t I = 0; I < A.size(); ++I)
    if (std::towupper(A[I]) != std::towupper(B[I])) return false;
  return true;
}
}  // namespace

bool IsValidComponentName(const String& Name) {
  if (Name.empty()) return false;
  for (size_t I = 0; I < Name.size(); ++I) {
    Char C = Name[I];
    bool Ok = C == L'_' || std::iswalpha(C) || (I > 0 && C >= L'0' && C <= L'9');
    if (!Ok) return false;
  }
  return true;
}

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Tell everyone who asked, then forget them; a receiver may remove itself meanwhile.
  while (!FFreeNotifies.empty()) {
    TComponent* C = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    C->RemoveNotification(this);
    C->Notification(this, opRemove);
  }
  DestroyComponents();
  if (FComponentState.Contains(csFixups)) RemoveFixupReferences(this, String());
  if (FOwner) FOwner->RemoveComponent(this);
}

PUBLISHED_DEF(TComponent) {
  PROP(Name).Stored(false);  // the stream carries it in the component's header
  PROP(Tag).Default(0);
}

TComponent* TComponent::GetComponents(Integer Index) const {
  if (Index < 0 || Index >= GetComponentCount())
    throw EListError(L"List index out of bounds (" + std::to_wstring(Index) + L")");
  return FComponents[Index];
}

Integer TComponent::GetComponentIndex() const {
  if (!FOwner) return -1;
  auto& L = FOwner->FComponents;
  auto It = std::find(L.begin(), L.end(), this);
  return It == L.end() ? -1 : Integer(It - L.begin());
}

void TComponent::SetComponentIndex(Integer Value) {
  if (!FOwner) return;
  Integer I = GetComponentIndex();
  if (I < 0) return;
  auto& L = FOwner->FComponents;
  Value = std::clamp(Value, 0, Integer(L.size()) - 1);
  if (Value == I) return;
  L.erase(L.begin() + I);
  L.insert(L.begin() + Value, this);
}

void TComponent::SetName(const String& NewName) {
  if (FName == NewName) return;
  if (!NewName.empty() && !IsValidComponentName(NewName))
    throw EComponentError(L"'" + NewName + L"' is not a valid component name");
  if (FOwner)
    FOwner->ValidateRename(this, FName, NewName);
  else
    ValidateRename(nullptr, FName, NewName);
  ChangeName(NewName);
}

void TComponent::ValidateRename(TComponent* AComponent, const String& CurName, const String& NewName) {
  if (AComponent && !SameName(CurName, NewName) && AComponent->FOwner == this) {
    TComponent* Other = FindComponent(NewName);
    if (Other && Other != AComponent) throw EComponentError(L"A component named " + NewName + L" already exists");
  }
}

TComponent* TComponent::FindComponent(const String& AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* C : FComponents)
    if (SameName(C->FName, AName)) return C;
  return nullptr;
}

void TComponent::ValidateContainer(TComponent* AComponent) { AComponent->ValidateContainerInsert(this); }

void TComponent::ValidateInsert(TComponent*) {}

void TComponent::InsertComponent(TComponent* AComponent) {
  AComponent->ValidateContainer(this);
  ValidateRename(AComponent, String(), AComponent->FName);
  Insert(AComponent);
  if (FComponentState.Contains(csDesigning)) AComponent->SetDesigning(true);
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  ValidateRename(AComponent, AComponent->FName, String());
  Notification(AComponent, opRemove);
  Remove(AComponent);
}

void TComponent::Insert(TComponent* AComponent) {
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
}

void TComponent::Remove(TComponent* AComponent) {
  auto It = std::find(FComponents.begin(), FComponents.end(), AComponent);
  if (It != FComponents.end()) FComponents.erase(It);
  AComponent->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* C = FComponents.back();
    Remove(C);
    delete C;
  }
}

void TComponent::Destroying() {
  if (FComponentState.Contains(csDestroying)) return;
  FComponentState << csDestroying;
  for (TComponent* C : FComponents) C->Destroying();
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  if (FOwner && AComponent->FOwner == FOwner) return;  // siblings are told through the owner
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end()) {
    FFreeNotifies.push_back(AComponent);
    AComponent->FreeNotification(this);
  }
  FComponentState << csFreeNotification;
}

void TComponent::RemoveNotification(TComponent* AComponent) {
  auto It = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
  if (It != FFreeNotifies.end()) FFreeNotifies.erase(It);
  if (FFreeNotifies.empty()) FComponentState >> csFreeNotification;
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent) return;
  RemoveNotification(AComponent);
  AComponent->RemoveNotification(this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent) RemoveFreeNotification(AComponent);
  // Owned components hear of each other's insertion and removal.
  Integer I = Integer(FComponents.size()) - 1;
  while (I >= 0) {
    FComponents[I]->Notification(AComponent, Operation);
    --I;
    if (I >= Integer(FComponents.size())) I = Integer(FComponents.size()) - 1;  // a handler freed some
  }
}

void TComponent::SetSubComponent(bool IsSubComponent) {
  if (IsSubComponent)
    FComponentStyle << csSubComponent;
  else
    FComponentStyle >> csSubComponent;
}

String TComponent::GetNamePath() { return FName; }

void TComponent::GetChildren(TGetChildProc, TComponent*) {}
TComponent* TComponent::GetChildOwner() { return nullptr; }
TComponent* TComponent::GetChildParent() { return this; }
void TComponent::SetChildOrder(TComponent*, Integer) {}
void TComponent::Loaded() { FComponentState >> csLoading; }
void TComponent::Updating() { FComponentState << csUpdating; }
void TComponent::Updated() { FComponentState >> csUpdating; }

void TComponent::SetAncestor(bool Value) {
  SetState(csAncestor, Value);
  for (TComponent* C : FComponents) C->SetAncestor(Value);
}

void TComponent::SetDesigning(bool Value, bool SetChildren) {
  SetState(csDesigning, Value);
  if (SetChildren)
    for (TComponent* C : FComponents) C->SetDesigning(Value);
}

void TComponent::SetInline(bool Value) { SetState(csInline, Value); }
void TComponent::SetDesignInstance(bool Value) { SetState(csDesignInstance, Value); }

void TComponent::SetState(TComponentStateItem Item, bool On) {
  if (On)
    FComponentState << Item;
  else
    FComponentState >> Item;
}
