#pragma once
// TComponent: an object with an owner that frees it, a name unique among its owner's components,
// free notifications, and the hooks the component streaming calls while reading and writing.

#include <new>

#include "framework/TypInfo.h"
#include "framework/classes/Persistent.h"

class TReader;
class TWriter;
class TComponent;
class TComponentRefBase;

enum TComponentStateItem {
  csLoading, csReading, csWriting, csDestroying, csDesigning, csAncestor, csUpdating, csFixups,
  csFreeNotification, csInline, csDesignInstance
};
using TComponentState = Set<TComponentStateItem, 32>;
enum TComponentStyleItem { csInheritable, csCheckPropAvail, csSubComponent, csTransient };
using TComponentStyle = Set<TComponentStyleItem, 32>;
enum TOperation { opInsert, opRemove };

using TGetChildProc = Closure<void(TComponent* Child)>;
using TComponentClass = TClassRef<TComponent>;

class TComponent : public TPersistent, public virtual IInterface {
  DECLARE_CLASS(TComponent, TPersistent)
 public:
  using TCtorArgs = ::TCtorArgs<TComponent*>;
  explicit TComponent(TComponent* AOwner);
  // Runs the teardown (see Teardown) when nothing ran it before, as for a component on the stack.
  ~TComponent() override;
  // Deleting a component destroys it in two phases: BeforeDestruction and Teardown while it is
  // still whole (a receiver of its opRemove notification sees its real class), then the
  // destructors. Its memory stays while one of its own handlers runs (a TDispatchScope is open on
  // it) and goes when the outermost one returns.
  static void operator delete(TComponent* P, std::destroying_delete_t);

  // Makes a component and completes it (AfterConstruction: a form reads its resource and fires
  // OnCreate there); the one way to create forms and data modules in code.
  template <class T, class... A>
  static T* Create(A&&... Args) {
    T* Instance = new T(std::forward<A>(Args)...);
    try {
      Instance->AfterConstruction();
    } catch (...) {
      delete Instance;
      throw;
    }
    return Instance;
  }

  // Components do not count references: their owner frees them.
  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }

  TComponent* GetOwner() override { return FOwner; }
  TComponent* GetComponents(Integer Index) const;
  Integer GetComponentCount() const { return Integer(FComponents.size()); }
  Integer GetComponentIndex() const;
  void SetComponentIndex(Integer Value);
  const String& GetName() const { return FName; }
  virtual void SetName(const String& NewName);
  NativeInt GetTag() const { return FTag; }
  void SetTag(NativeInt Value) { FTag = Value; }
  TComponentState GetComponentState() const { return FComponentState; }
  TComponentStyle GetComponentStyle() const { return FComponentStyle; }
  Integer GetDesignInfo() const { return FDesignInfo; }
  void SetDesignInfo(Integer Value) { FDesignInfo = Value; }

  // The owned component of that name (case-insensitive); null when there is none.
  TComponent* FindComponent(const String& AName) const;
  // Asks AComponent to tell this component when it is freed (Notification with opRemove).
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);
  // Frees the owned components, the last first.
  void DestroyComponents();
  // Marks this component and its owned ones as being destroyed.
  void Destroying();
  void SetSubComponent(bool IsSubComponent);
  String GetNamePath() override;

  virtual void GetChildren(TGetChildProc Proc, TComponent* Root);
  virtual TComponent* GetChildOwner();
  virtual TComponent* GetChildParent();
  virtual bool HasParent() const { return false; }
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual void SetParentComponent(TComponent*) {}
  virtual void SetChildOrder(TComponent* Child, Integer Order);
  virtual void ReadState(TReader* Reader);
  virtual void WriteState(TWriter* Writer);
  virtual void Loaded();
  virtual void Updating();
  virtual void Updated();
  virtual void ValidateRename(TComponent* AComponent, const String& CurName, const String& NewName);
  virtual void ValidateContainer(TComponent* AComponent);
  virtual void ValidateInsert(TComponent* AComponent);
  virtual void Notification(TComponent* AComponent, TOperation Operation);

  // State changes the streaming makes.
  void SetAncestor(bool Value);
  void SetDesigning(bool Value, bool SetChildren = true);
  void SetInline(bool Value);
  void SetDesignInstance(bool Value);
  void SetState(TComponentStateItem Item, bool On);

  PUBLISHED_DECL(TComponent);

 protected:
  virtual void ChangeName(const String& NewName) { FName = NewName; }
  // The first phase of the destruction, once, while the object is whole: marks it destroying,
  // tells those that asked for free notification, frees what it holds (DestroyContents), forgets
  // pending fixups, leaves its owner and last clears the guarded references to it. A class that
  // overrides DestroyContents, or whose contents reach back into it as they go, calls it first in
  // its destructor: for a component on the stack that is where it runs with the class still
  // whole (after delete it has run already and does nothing).
  void Teardown();
  // Frees what the component holds; a descendant that holds more (a windowed control's child
  // controls) frees that here and then calls inherited, and calls Teardown in its destructor.
  // TComponent frees its owned components.
  virtual void DestroyContents();
  virtual void ValidateContainerInsert(TComponent*) {}

  TComponentState FComponentState;
  TComponentStyle FComponentStyle{csInheritable};

 private:
  void Insert(TComponent* AComponent);
  void Remove(TComponent* AComponent);
  void RemoveNotification(TComponent* AComponent);
  friend class TComponentRefBase;

  TComponent* FOwner = nullptr;
  TComponentRefBase* FRefs = nullptr;  // the guarded references to this component
  bool FTornDown = false;
  Cardinal FRemovals = 0;  // lets a loop over a copy of FComponents see that one went
  String FName;
  NativeInt FTag = 0;
  Integer FDesignInfo = 0;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
};

// The component that Owner's resource made under Name, as a T: how a form reaches its controls
// after reading itself. Raises EComponentError when the resource has none of that name and class.
template <class T>
T* RequireComponent(const TComponent* Owner, const String& Name) {
  auto* C = dynamic_cast<T*>(Owner->FindComponent(Name));
  if (!C) throw EComponentError(L"The form resource has no " + Name);
  return C;
}

// A reference to a component that becomes null when the component is destroyed, like a free
// notification built in: one member per reference property, no Notification override.
//   TComponentRef<TPopupMenu> FPopupMenu;   ...   FPopupMenu = Value;   return FPopupMenu;
// T may be incomplete where the member is declared; assigning needs it complete. Main thread only.
class TComponentRefBase {
 public:
  TComponentRefBase() = default;
  TComponentRefBase(const TComponentRefBase& Other) { Attach(Other.FTarget, Other.FPointer); }
  TComponentRefBase& operator=(const TComponentRefBase& Other) {
    if (this != &Other) Attach(Other.FTarget, Other.FPointer);
    return *this;
  }
  ~TComponentRefBase() { Detach(); }

 protected:
  void Attach(TComponent* Target, void* Pointer);
  void Detach();
  void* FPointer = nullptr;  // the target as the referring type sees it

 private:
  friend class TComponent;
  TComponent* FTarget = nullptr;
  TComponentRefBase* FPrev = nullptr;
  TComponentRefBase* FNext = nullptr;
};

template <class T>
class TComponentRef : public TComponentRefBase {
 public:
  TComponentRef() = default;
  TComponentRef(std::nullptr_t) {}
  explicit TComponentRef(T* Value) { Attach(Value, Value); }
  TComponentRef& operator=(T* Value) {
    Attach(Value, Value);
    return *this;
  }
  TComponentRef& operator=(std::nullptr_t) {
    Detach();
    return *this;
  }
  T* Get() const { return static_cast<T*>(FPointer); }
  operator T*() const { return Get(); }
  T* operator->() const { return Get(); }
};

// Keeps an object's memory while one of its handlers runs: deleting it meanwhile runs the
// destructors at once and releases the memory when the outermost scope on it closes.
class TDispatchScope {
 public:
  explicit TDispatchScope(const TObject* Object);
  ~TDispatchScope();
  TDispatchScope(const TDispatchScope&) = delete;
  TDispatchScope& operator=(const TDispatchScope&) = delete;
  // True once the object was deleted inside this scope (or an inner one).
  bool Deleted() const;

 private:
  const TObject* FObject;
};

// Whether Object was deleted; true for one in its destructor's first phase too. Only for objects
// whose memory is still there (inside a dispatch scope on them).
bool IsLive(const TObject* Object);

// Fires an event for framework code that goes on afterwards: the handler may free Self (the
// sender). Answers whether Self is still alive; touch nothing of Self when it answers false.
template <class E, class... A>
bool Fire(TObject* Self, const E& Event, A&&... Args) {
  TDispatchScope Scope(Self);
  const E Handler = Event;  // the event lives in Self, which the handler may free
  DoEvent(Handler, std::forward<A>(Args)...);
  return !Scope.Deleted();
}

// True for a valid Pascal identifier: a letter or underscore, then letters, digits, underscores.
bool IsValidComponentName(const String& Name);
