#pragma once
// TComponent: an object with an owner that frees it, a name unique among its owner's components,
// free notifications, and the hooks the component streaming calls while reading and writing.

#include "framework/TypInfo.h"
#include "framework/classes/Persistent.h"

class TReader;
class TWriter;
class TComponent;

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
  // Notifies, frees the owned components (the last first) and leaves the owner.
  ~TComponent() override;

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
  // Frees the owned components, the last first. A descendant whose components refer back to
  // it calls this first thing in its destructor, while it is still whole.
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
  virtual void ValidateContainerInsert(TComponent*) {}

  TComponentState FComponentState;
  TComponentStyle FComponentStyle{csInheritable};

 private:
  void Insert(TComponent* AComponent);
  void Remove(TComponent* AComponent);
  void RemoveNotification(TComponent* AComponent);

  TComponent* FOwner = nullptr;
  String FName;
  NativeInt FTag = 0;
  Integer FDesignInfo = 0;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
};

// True for a valid Pascal identifier: a letter or underscore, then letters, digits, underscores.
bool IsValidComponentName(const String& Name);
