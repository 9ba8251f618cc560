#pragma once
// Contnrs: typed lists over TList. TObjectList frees the objects it owns when they leave it
// (Delete, Remove, Clear, a replaced item, its own destruction); Extract hands one back alive.

#include "framework/classes/Lists.h"

class TObjectList : public TList {
  DECLARE_CLASS(TObjectList, TList)
 public:
  explicit TObjectList(bool AOwnsObjects = true) : FOwnsObjects(AOwnsObjects) {}
  ~TObjectList() override;

  Integer Add(TObject* AObject) { return TList::Add(AObject); }
  void Insert(Integer Index, TObject* AObject) { TList::Insert(Index, AObject); }
  Integer Remove(TObject* AObject) { return TList::Remove(AObject); }
  TObject* Extract(TObject* Item) { return static_cast<TObject*>(TList::Extract(Item)); }
  Integer IndexOf(TObject* AObject) const { return TList::IndexOf(AObject); }
  // The index of the first object of AClass (or of a descendant unless AExact) from AStartAt; -1.
  Integer FindInstanceOf(TClass AClass, bool AExact = true, Integer AStartAt = 0) const;
  TObject* First() const { return static_cast<TObject*>(TList::First()); }
  TObject* Last() const { return static_cast<TObject*>(TList::Last()); }

  TObject* GetItems(Integer Index) const { return static_cast<TObject*>(Get(Index)); }
  void SetItems(Integer Index, TObject* AObject) { Put(Index, AObject); }
  TObject* operator[](Integer Index) const { return GetItems(Index); }
  bool GetOwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }

 protected:
  void Notify(Pointer Ptr, TListNotification Action) override;

 private:
  bool FOwnsObjects;
};

// A list of class references.
class TClassList : public TList {
  DECLARE_CLASS(TClassList, TList)
 public:
  Integer Add(TClass AClass) { return TList::Add(const_cast<TMetaClass*>(AClass)); }
  void Insert(Integer Index, TClass AClass) { TList::Insert(Index, const_cast<TMetaClass*>(AClass)); }
  Integer Remove(TClass AClass) { return TList::Remove(const_cast<TMetaClass*>(AClass)); }
  TClass Extract(TClass Item) { return static_cast<TClass>(TList::Extract(const_cast<TMetaClass*>(Item))); }
  Integer IndexOf(TClass AClass) const { return TList::IndexOf(const_cast<TMetaClass*>(AClass)); }
  TClass First() const { return static_cast<TClass>(TList::First()); }
  TClass Last() const { return static_cast<TClass>(TList::Last()); }
  TClass GetItems(Integer Index) const { return static_cast<TClass>(Get(Index)); }
  void SetItems(Integer Index, TClass AClass) { Put(Index, const_cast<TMetaClass*>(AClass)); }
  TClass operator[](Integer Index) const { return GetItems(Index); }
};
