#include "framework/classes/Component.h"

#include "framework/classes/Reader.h"

#include <algorithm>
#include <cwctype>
#include <unordered_map>

// ---- Deferred release -------------------------------------------------------------------------

namespace {
// Keyed by the object's TObject part: reaching it needs no look at the object itself, which may be
// destroyed already (only its memory kept).
struct TLiveEntry {
  Integer Depth = 0;
  void* Memory = nullptr;  // set once the object was deleted inside the scope
};
// Components live on the main thread. The maps are never freed: components may still be freed
// by static destructors, after a function-local static made during the run would be gone.
std::unordered_map<const TObject*, TLiveEntry>& ScopeMap() {
  static auto* Map = new std::unordered_map<const TObject*, TLiveEntry>;
  return *Map;
}
std::unordered_map<const TObject*, bool>& DestroyedMap() {
  static auto* Map = new std::unordered_map<const TObject*, bool>;
  return *Map;
}

// Frees the memory of a destroyed object now, or when the outermost dispatch scope on it closes.
void ReleaseMemory(const TObject* Key, void* Memory) {
  auto& Map = ScopeMap();
  auto It = Map.find(Key);
  if (It != Map.end() && It->second.Depth > 0) {
    It->second.Memory = Memory;
    return;
  }
  DestroyedMap().erase(Key);
  ::operator delete(Memory);
}
}  // namespace

TDispatchScope::TDispatchScope(const TObject* Object) : FObject(Object) { ++ScopeMap()[FObject].Depth; }

TDispatchScope::~TDispatchScope() {
  auto& Map = ScopeMap();
  auto It = Map.find(FObject);
  if (It == Map.end() || --It->second.Depth > 0) return;
  void* Memory = It->second.Memory;
  Map.erase(It);
  if (Memory) {
    DestroyedMap().erase(FObject);
    ::operator delete(Memory);
  }
}

bool TDispatchScope::Deleted() const {
  auto It = ScopeMap().find(FObject);
  return It != ScopeMap().end() && It->second.Memory;
}

bool IsLive(const TObject* Object) { return !DestroyedMap().count(Object); }

// ---- Guarded references -----------------------------------------------------------------------

void TComponentRefBase::Attach(TComponent* Target, void* Pointer) {
  if (Target == FTarget) return;
  Detach();
  if (!Target || Target->FTornDown) return;
  FTarget = Target;
  FPointer = Pointer;
  FNext = Target->FRefs;
  if (FNext) FNext->FPrev = this;
  Target->FRefs = this;
}

void TComponentRefBase::Detach() {
  if (FTarget) {
    if (FPrev)
      FPrev->FNext = FNext;
    else
      FTarget->FRefs = FNext;
    if (FNext) FNext->FPrev = FPrev;
  }
  FTarget = nullptr;
  FPointer = nullptr;
  FPrev = FNext = nullptr;
}

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
  Teardown();
  while (FRefs) FRefs->Detach();  // references made during the teardown
}

void TComponent::operator delete(TComponent* P, std::destroying_delete_t) {
  void* Memory = dynamic_cast<void*>(P);
  const TObject* Key = P;
  P->BeforeDestruction();
  DestroyedMap()[Key] = true;
  P->Teardown();
  P->~TComponent();
  ReleaseMemory(Key, Memory);
}

void TComponent::Teardown() {
  if (FTornDown) return;
  FTornDown = true;
  Destroying();
  // Tell everyone who asked, then forget them; a receiver may remove itself meanwhile.
  while (!FFreeNotifies.empty()) {
    TComponent* C = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    C->RemoveNotification(this);
    C->Notification(this, opRemove);
  }
  DestroyContents();
  if (FComponentState.Contains(csFixups)) RemoveFixupReferences(this, String());
  // The owner tells the siblings, whose free notifications it stands for: they still see their
  // references to this component set, so they can leave it as a free notification would.
  if (FOwner) FOwner->RemoveComponent(this);
  while (FRefs) FRefs->Detach();
}

PUBLISHED_DEF(TComponent) {
  PROP(Name).Stored(false);  // the stream carries it in the component's header
  PROP(Tag).Default(0);
}

void TComponent::DestroyContents() { DestroyComponents(); }

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
  if (AComponent && !SameIdent(CurName, NewName) && AComponent->FOwner == this) {
    TComponent* Other = FindComponent(NewName);
    if (Other && Other != AComponent) throw EComponentError(L"A component named " + NewName + L" already exists");
  }
}

TComponent* TComponent::FindComponent(const String& AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* C : FComponents)
    if (SameIdent(C->FName, AName)) return C;
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
  ++FRemovals;
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
  // Owned components hear of each other's insertion and removal, the last first. A handler may
  // free or add components: each one still owned is told once; one freed meanwhile is skipped.
  if (FComponents.empty()) return;
  std::vector<TComponent*> List(FComponents);
  Cardinal Removals = FRemovals;
  for (auto It = List.rbegin(); It != List.rend(); ++It) {
    if (FRemovals != Removals && std::find(FComponents.begin(), FComponents.end(), *It) == FComponents.end())
      continue;
    (*It)->Notification(AComponent, Operation);
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
