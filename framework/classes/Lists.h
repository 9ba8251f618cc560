#pragma once
// TList: a growable list of untyped pointers that tells descendants about every item that
// enters or leaves it (Notify), so that owning lists can free what they drop.

#include <functional>

#include "framework/System.h"

enum TListNotification { lnAdded, lnExtracted, lnDeleted };

// The notifications of collections: TCollection's items and the generic containers share it.
enum TCollectionNotification { cnAdding, cnAdded, cnExtracting, cnExtracted, cnDeleting, cnRemoved };

enum TDuplicates { dupIgnore, dupAccept, dupError };

using TListSortCompare = Integer (*)(Pointer Item1, Pointer Item2);
using TListSortCompareFunc = std::function<Integer(Pointer Item1, Pointer Item2)>;

class TList : public TObject {
  DECLARE_CLASS(TList, TObject)
 public:
  TList() = default;
  TList(const TList&) = delete;
  TList& operator=(const TList&) = delete;
  // Frees the slots only: Notify no longer reaches a descendant here, so an owning descendant
  // clears itself in its own destructor.
  ~TList() override;

  Integer Add(Pointer Item);
  void Insert(Integer Index, Pointer Item);
  void Delete(Integer Index);
  Integer Remove(Pointer Item);
  // Takes Item out without deleting it; nil when absent.
  Pointer Extract(Pointer Item);
  Integer IndexOf(Pointer Item) const;
  virtual void Clear();
  void Exchange(Integer Index1, Integer Index2);
  void Move(Integer CurIndex, Integer NewIndex);
  // Drops the nil slots.
  void Pack();
  void Sort(TListSortCompare Compare);
  void SortList(const TListSortCompareFunc& Compare);
  // Copies the items of Source (this list's notifications fire).
  void Assign(TList* Source);
  Pointer First() const;
  Pointer Last() const;
  TList* Expand();

  Integer GetCount() const { return static_cast<Integer>(FList.size()); }
  void SetCount(Integer NewCount);
  Integer GetCapacity() const { return FCapacity; }
  void SetCapacity(Integer NewCapacity);
  Pointer GetItems(Integer Index) const { return Get(Index); }
  void SetItems(Integer Index, Pointer Item) { Put(Index, Item); }
  Pointer operator[](Integer Index) const { return Get(Index); }
  Pointer* GetList() { return FList.data(); }

  auto begin() const { return FList.begin(); }
  auto end() const { return FList.end(); }

  // Raises EListError with Msg, whose %d takes Data.
  [[noreturn]] static void Error(const String& Msg, NativeInt Data);

 protected:
  Pointer Get(Integer Index) const;
  void Put(Integer Index, Pointer Item);
  virtual void Grow();
  virtual void Notify(Pointer Ptr, TListNotification Action);

 private:
  std::vector<Pointer> FList;
  Integer FCapacity = 0;
};

// The framework's standard list messages.
extern const wchar_t* const SListIndexError;     // "List index out of bounds (%d)"
extern const wchar_t* const SListCapacityError;  // "List capacity out of bounds (%d)"
extern const wchar_t* const SListCountError;     // "List count out of bounds (%d)"
