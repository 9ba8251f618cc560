#pragma once
// TCollection: an ordered list of items of one class that a component streams as a property;
// TCollectionItem: one item, which knows its collection, index and stable ID.

#include "framework/TypInfo.h"
#include "framework/classes/Lists.h"
#include "framework/classes/Persistent.h"

class TCollection;

class TCollectionItem : public TPersistent {
  DECLARE_CLASS(TCollectionItem, TPersistent)
 public:
  using TCtorArgs = ::TCtorArgs<TCollection*>;
  // Adds the item to Collection (when given).
  explicit TCollectionItem(TCollection* Collection);
  // Leaves the collection.
  ~TCollectionItem() override;

  TCollection* GetCollection() const { return FCollection; }
  // Moves the item to another collection (or out of any, with null).
  virtual void SetCollection(TCollection* Value);
  Integer GetID() const { return FID; }
  Integer GetIndex() const;
  // Moves the item within its collection; EListError for an index outside it.
  virtual void SetIndex(Integer Value);
  virtual String GetDisplayName() const;
  virtual void SetDisplayName(const String& Value);
  String GetNamePath() override;

 protected:
  TPersistent* GetOwner() override;
  // Tells the collection the item (or, with AllItems, the whole collection) changed.
  void Changed(bool AllItems);

 private:
  friend class TCollection;
  TCollection* FCollection = nullptr;
  Integer FID = 0;
};

using TCollectionItemClass = TClassRef<TCollectionItem>;

class TCollection : public TPersistent {
  DECLARE_CLASS(TCollection, TPersistent)
 public:
  explicit TCollection(TCollectionItemClass ItemClass);
  ~TCollection() override;

  TCollectionItem* Add();
  TCollectionItem* Insert(Integer Index);
  void Delete(Integer Index);
  void Clear();
  TCollectionItem* GetItem(Integer Index) const;
  void SetItem(Integer Index, TCollectionItem* Value);  // assigns Value to the item there
  Integer GetCount() const { return Integer(FItems.size()); }
  TCollectionItemClass GetItemClass() const { return FItemClass; }
  TCollectionItem* FindItemID(Integer ID) const;
  // Repeated BeginUpdate/EndUpdate pairs nest; the outermost EndUpdate reports one change.
  virtual void BeginUpdate();
  virtual void EndUpdate();
  Integer GetUpdateCount() const { return FUpdateCount; }
  // Rebuilds the items as copies of a source collection's.
  void Assign(TPersistent* Source) override;
  String GetNamePath() override;
  // The name of the owner's property that holds this collection, found through the owner's
  // published properties; used in name paths.
  String GetPropName();

 protected:
  TPersistent* GetOwner() override { return nullptr; }
  // Update(nil) unless updating: the whole collection changed.
  void Changed();
  // Item is the changed item, or null when the collection as a whole changed.
  virtual void Update(TCollectionItem* Item);
  virtual void Notify(TCollectionItem* Item, TCollectionNotification Action);
  virtual void Added(TCollectionItem*) {}
  virtual void Deleting(TCollectionItem*) {}
  virtual void SetItemName(TCollectionItem*) {}

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* Item, bool CheckClass);
  void RemoveItem(TCollectionItem* Item);

  TCollectionItemClass FItemClass;
  std::vector<TCollectionItem*> FItems;
  Integer FUpdateCount = 0;
  Integer FNextID = 0;
  String FPropName;
};

// A collection that answers its owner, as a component's collection property does.
class TOwnedCollection : public TCollection {
  DECLARE_CLASS(TOwnedCollection, TCollection)
 public:
  TOwnedCollection(TPersistent* AOwner, TCollectionItemClass ItemClass) : TCollection(ItemClass), FOwner(AOwner) {}
  TPersistent* Owner() { return FOwner; }

 protected:
  TPersistent* GetOwner() override { return FOwner; }

 private:
  TPersistent* FOwner;
};
