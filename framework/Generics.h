#pragma once
// Generics.Collections and Generics.Defaults: comparers, TDictionary, TObjectDictionary, the
// typed lists and TArray's sorting.
//
// C++ cannot give a class template the name of the pointer list TList, so the typed lists are
// Generics::TList<T> and Generics::TObjectList<T>; everything else is also in the global scope.
//
// A descendant that overrides KeyNotify/ValueNotify/Notify clears the container in its own
// destructor: by the time the base destructor clears it, the override no longer runs.

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <vector>

#include "framework/classes/Lists.h"

namespace Generics {

// ---- Comparers --------------------------------------------------------------------------------

// An interface implementation without reference counting: a shared comparer lives for ever.
class TSingletonImplementation : public TObject, public virtual IInterface {
  DECLARE_CLASS(TSingletonImplementation, TObject)
 public:
  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }
};

template <class T>
class IComparer : public virtual IInterface {
 public:
  virtual Integer Compare(const T& Left, const T& Right) const = 0;
};

template <class T>
class IEqualityComparer : public virtual IInterface {
 public:
  virtual bool Equals(const T& Left, const T& Right) const = 0;
  virtual Integer GetHashCode(const T& Value) const = 0;
};

namespace detail {
template <class T>
Integer DefaultCompare(const T& L, const T& R) {
  if constexpr (std::is_same_v<T, String>)
    return L.compare(R) < 0 ? -1 : L.compare(R) > 0 ? 1 : 0;  // ordinal: UTF-16 code units
  else
    return L < R ? -1 : R < L ? 1 : 0;
}
template <class T>
Integer DefaultHash(const T& V) {
  return static_cast<Integer>(std::hash<T>{}(V));
}

template <class T>
class TDelegatedComparer : public TInterfacedObject, public IComparer<T> {
 public:
  explicit TDelegatedComparer(std::function<Integer(const T&, const T&)> F) : FCompare(std::move(F)) {}
  Integer Compare(const T& L, const T& R) const override { return FCompare(L, R); }
  Integer _AddRef() override { return TInterfacedObject::_AddRef(); }
  Integer _Release() override { return TInterfacedObject::_Release(); }

 private:
  std::function<Integer(const T&, const T&)> FCompare;
};

template <class T>
class TDefaultComparer : public TSingletonImplementation, public IComparer<T>, public IEqualityComparer<T> {
 public:
  Integer Compare(const T& L, const T& R) const override { return DefaultCompare(L, R); }
  bool Equals(const T& L, const T& R) const override { return L == R; }
  Integer GetHashCode(const T& V) const override { return DefaultHash(V); }
  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }
};
template <class T>
TDefaultComparer<T>* DefaultComparer() {
  static TDefaultComparer<T> C;
  return &C;
}
}  // namespace detail

// The default order: ordinal (case-sensitive, by code unit) for strings, `<` for the rest.
template <class T>
class TComparer {
 public:
  static IComparer<T>* Default() { return detail::DefaultComparer<T>(); }
  // A counted comparer over a function: keep it in an IPtr.
  static IPtr<IComparer<T>> Construct(std::function<Integer(const T&, const T&)> Comparison) {
    return IPtr<IComparer<T>>(new detail::TDelegatedComparer<T>(std::move(Comparison)));
  }
};

// The default equality: exact, case-sensitive for strings.
template <class T>
class TEqualityComparer {
 public:
  static IEqualityComparer<T>* Default() { return detail::DefaultComparer<T>(); }
};

// A comparer object for both orders and equality; descendants are shared instances.
template <class T>
class TCustomComparer : public TSingletonImplementation, public IComparer<T>, public IEqualityComparer<T> {
 public:
  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }
};

// ---- TPair / TDictionary ----------------------------------------------------------------------

template <class K, class V>
struct TPair {
  K Key;
  V Value;
  TPair() = default;
  TPair(const K& AKey, const V& AValue) : Key(AKey), Value(AValue) {}
};

template <class T>
using TCollectionNotifyEvent = Closure<void(TObject* Sender, const T& Item, TCollectionNotification Action)>;

enum TDictionaryOwnership { doOwnsKeys, doOwnsValues };
using TDictionaryOwnerships = Set<TDictionaryOwnership>;

template <class K, class V>
class TDictionary : public TObject {
  DECLARE_CLASS(TDictionary, TObject)
  struct Hasher {
    IEqualityComparer<K>* C;
    size_t operator()(const K& Key) const { return static_cast<size_t>(static_cast<Cardinal>(C->GetHashCode(Key))); }
  };
  struct Equal {
    IEqualityComparer<K>* C;
    bool operator()(const K& L, const K& R) const { return C->Equals(L, R); }
  };
  using TMap = std::unordered_map<K, V, Hasher, Equal>;

 public:
  using TPairType = TPair<K, V>;
  // The comparer is the caller's; it must outlive the dictionary (the defaults do).
  explicit TDictionary(IEqualityComparer<K>* AComparer = nullptr)
      : FComparer(AComparer ? AComparer : TEqualityComparer<K>::Default()),
        FItems(16, Hasher{FComparer}, Equal{FComparer}) {}
  TDictionary(const TDictionary&) = delete;
  TDictionary& operator=(const TDictionary&) = delete;
  ~TDictionary() override { Clear(); }

  // Raises EListError "Duplicates not allowed" when Key is present; the first value stays.
  void Add(const K& Key, const V& Value) {
    if (FItems.find(Key) != FItems.end()) throw EListError(L"Duplicates not allowed");
    FItems.emplace(Key, Value);
    KeyNotify(Key, cnAdded);
    ValueNotify(Value, cnAdded);
  }
  void AddOrSetValue(const K& Key, const V& Value) {
    auto It = FItems.find(Key);
    if (It == FItems.end())
      Add(Key, Value);
    else
      Replace(It, Value);
  }
  void Remove(const K& Key) {
    auto It = FItems.find(Key);
    if (It == FItems.end()) return;
    K OldKey = It->first;
    V OldValue = It->second;
    FItems.erase(It);
    KeyNotify(OldKey, cnRemoved);
    ValueNotify(OldValue, cnRemoved);
  }
  // Takes the pair out without the removal's consequences (an owning dictionary frees nothing);
  // a missing key gives Key and a default value.
  TPairType ExtractPair(const K& Key) {
    auto It = FItems.find(Key);
    if (It == FItems.end()) return TPairType(Key, V());
    TPairType P(It->first, It->second);
    FItems.erase(It);
    KeyNotify(P.Key, cnExtracted);
    ValueNotify(P.Value, cnExtracted);
    return P;
  }
  void Clear() {
    TMap Old(16, Hasher{FComparer}, Equal{FComparer});
    Old.swap(FItems);
    for (auto& [Key, Value] : Old) {
      KeyNotify(Key, cnRemoved);
      ValueNotify(Value, cnRemoved);
    }
  }
  bool TryGetValue(const K& Key, V& Value) const {
    auto It = FItems.find(Key);
    if (It == FItems.end()) {
      Value = V();
      return false;
    }
    Value = It->second;
    return true;
  }
  bool ContainsKey(const K& Key) const { return FItems.find(Key) != FItems.end(); }
  bool ContainsValue(const V& Value) const {
    for (auto& [Key, Item] : FItems)
      if (Item == Value) return true;
    return false;
  }
  // Raises EListError "Item not found" for a missing key.
  V GetItems(const K& Key) const {
    auto It = FItems.find(Key);
    if (It == FItems.end()) throw EListError(L"Item not found");
    return It->second;
  }
  void SetItems(const K& Key, const V& Value) {
    auto It = FItems.find(Key);
    if (It == FItems.end()) throw EListError(L"Item not found");
    Replace(It, Value);
  }
  V operator[](const K& Key) const { return GetItems(Key); }
  Integer GetCount() const { return static_cast<Integer>(FItems.size()); }
  // Pairs, keys and values in the dictionary's own order.
  std::vector<TPairType> ToArray() const {
    std::vector<TPairType> R;
    R.reserve(FItems.size());
    for (auto& [Key, Value] : FItems) R.emplace_back(Key, Value);
    return R;
  }
  std::vector<K> GetKeys() const {
    std::vector<K> R;
    for (auto& [Key, Value] : FItems) R.push_back(Key);
    return R;
  }
  std::vector<V> GetValues() const {
    std::vector<V> R;
    for (auto& [Key, Value] : FItems) R.push_back(Value);
    return R;
  }
  // for (const auto& [Key, Value] : Dictionary)
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

  TCollectionNotifyEvent<K> GetOnKeyNotify() const { return FOnKeyNotify; }
  void SetOnKeyNotify(const TCollectionNotifyEvent<K>& Value) { FOnKeyNotify = Value; }
  TCollectionNotifyEvent<V> GetOnValueNotify() const { return FOnValueNotify; }
  void SetOnValueNotify(const TCollectionNotifyEvent<V>& Value) { FOnValueNotify = Value; }

 protected:
  virtual void KeyNotify(const K& Key, TCollectionNotification Action) { DoEvent(FOnKeyNotify, this, Key, Action); }
  virtual void ValueNotify(const V& Value, TCollectionNotification Action) {
    DoEvent(FOnValueNotify, this, Value, Action);
  }

 private:
  void Replace(typename TMap::iterator It, const V& Value) {
    V OldValue = It->second;
    It->second = Value;
    if constexpr (std::is_pointer_v<V>)
      if (OldValue == Value) return;  // the same object again: nothing left, nothing to free
    ValueNotify(OldValue, cnRemoved);
    ValueNotify(Value, cnAdded);
  }

  IEqualityComparer<K>* FComparer;
  TMap FItems;
  TCollectionNotifyEvent<K> FOnKeyNotify;
  TCollectionNotifyEvent<V> FOnValueNotify;
};

// Frees the keys and/or values it owns when they are removed (Remove, Clear, a replaced value,
// its destruction), not when they are extracted.
template <class K, class V>
class TObjectDictionary : public TDictionary<K, V> {
  using TBaseDictionary = TDictionary<K, V>;  // the class macro takes no commas
  DECLARE_CLASS(TObjectDictionary, TBaseDictionary)

 public:
  explicit TObjectDictionary(TDictionaryOwnerships Ownerships, IEqualityComparer<K>* AComparer = nullptr)
      : TDictionary<K, V>(AComparer), FOwnerships(Ownerships) {}
  ~TObjectDictionary() override { this->Clear(); }

 protected:
  void KeyNotify(const K& Key, TCollectionNotification Action) override {
    TDictionary<K, V>::KeyNotify(Key, Action);
    if constexpr (std::is_pointer_v<K>)
      if (Action == cnRemoved && FOwnerships.Contains(doOwnsKeys)) delete Key;
  }
  void ValueNotify(const V& Value, TCollectionNotification Action) override {
    TDictionary<K, V>::ValueNotify(Value, Action);
    if constexpr (std::is_pointer_v<V>)
      if (Action == cnRemoved && FOwnerships.Contains(doOwnsValues)) delete Value;
  }

 private:
  TDictionaryOwnerships FOwnerships;
};

// ---- Typed lists ------------------------------------------------------------------------------

template <class T>
class TList : public TObject {
  DECLARE_CLASS(TList, TObject)
 public:
  explicit TList(IComparer<T>* AComparer = nullptr) : FComparer(AComparer ? AComparer : TComparer<T>::Default()) {}
  TList(const TList&) = delete;
  TList& operator=(const TList&) = delete;
  ~TList() override { Clear(); }

  Integer Add(const T& Value) {
    FItems.push_back(Value);
    Notify(Value, cnAdded);
    return GetCount() - 1;
  }
  void AddRange(const std::vector<T>& Values) {
    for (const T& V : Values) Add(V);
  }
  void Insert(Integer Index, const T& Value) {
    if (Index < 0 || Index > GetCount()) RangeError();
    FItems.insert(FItems.begin() + Index, Value);
    Notify(Value, cnAdded);
  }
  void Delete(Integer Index) {
    Check(Index);
    T Old = FItems[Index];
    FItems.erase(FItems.begin() + Index);
    Notify(Old, cnRemoved);
  }
  Integer Remove(const T& Value) {
    Integer I = IndexOf(Value);
    if (I >= 0) Delete(I);
    return I;
  }
  T Extract(const T& Value) {
    Integer I = IndexOf(Value);
    if (I < 0) return T();
    T Old = FItems[I];
    FItems.erase(FItems.begin() + I);
    Notify(Old, cnExtracted);
    return Old;
  }
  void Clear() {
    while (!FItems.empty()) Delete(GetCount() - 1);
  }
  Integer IndexOf(const T& Value) const {
    for (Integer I = 0; I < GetCount(); ++I)
      if (FComparer->Compare(FItems[I], Value) == 0) return I;
    return -1;
  }
  bool Contains(const T& Value) const { return IndexOf(Value) >= 0; }
  void Exchange(Integer Index1, Integer Index2) {
    Check(Index1);
    Check(Index2);
    std::swap(FItems[Index1], FItems[Index2]);
  }
  void Move(Integer CurIndex, Integer NewIndex) {
    if (CurIndex == NewIndex) return;
    Check(CurIndex);
    Check(NewIndex);
    T Item = FItems[CurIndex];
    FItems.erase(FItems.begin() + CurIndex);
    FItems.insert(FItems.begin() + NewIndex, Item);
  }
  void Reverse() { std::reverse(FItems.begin(), FItems.end()); }
  void Sort() { Sort(FComparer); }
  void Sort(IComparer<T>* AComparer) {
    std::stable_sort(FItems.begin(), FItems.end(),
                     [AComparer](const T& L, const T& R) { return AComparer->Compare(L, R) < 0; });
  }
  T First() const { return GetItems(0); }
  T Last() const { return GetItems(GetCount() - 1); }
  std::vector<T> ToArray() const { return FItems; }

  Integer GetCount() const { return static_cast<Integer>(FItems.size()); }
  T GetItems(Integer Index) const {
    Check(Index);
    return FItems[Index];
  }
  void SetItems(Integer Index, const T& Value) {
    Check(Index);
    T Old = FItems[Index];
    FItems[Index] = Value;
    Notify(Old, cnRemoved);
    Notify(Value, cnAdded);
  }
  T operator[](Integer Index) const { return GetItems(Index); }
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }
  TCollectionNotifyEvent<T> GetOnNotify() const { return FOnNotify; }
  void SetOnNotify(const TCollectionNotifyEvent<T>& Value) { FOnNotify = Value; }

 protected:
  virtual void Notify(const T& Item, TCollectionNotification Action) { DoEvent(FOnNotify, this, Item, Action); }

 private:
  [[noreturn]] static void RangeError() { throw EArgumentOutOfRangeException(L"Argument out of range"); }
  void Check(Integer Index) const {
    if (Index < 0 || Index >= GetCount()) RangeError();
  }
  IComparer<T>* FComparer;
  std::vector<T> FItems;
  TCollectionNotifyEvent<T> FOnNotify;
};

// Owns its objects by default: frees them when they are removed, not when extracted.
template <class T>
class TObjectList : public TList<T*> {
  DECLARE_CLASS(TObjectList, TList<T*>)
 public:
  explicit TObjectList(bool AOwnsObjects = true) : FOwnsObjects(AOwnsObjects) {}
  ~TObjectList() override { this->Clear(); }
  bool GetOwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }

 protected:
  void Notify(T* const& Item, TCollectionNotification Action) override {
    TList<T*>::Notify(Item, Action);
    if (FOwnsObjects && Action == cnRemoved) delete Item;
  }

 private:
  bool FOwnsObjects;
};

// ---- TArray -----------------------------------------------------------------------------------

class TArray {
 public:
  template <class T>
  static void Sort(std::vector<T>& Values) {
    Sort(Values, TComparer<T>::Default());
  }
  template <class T>
  static void Sort(std::vector<T>& Values, const IComparer<T>* Comparer) {
    std::stable_sort(Values.begin(), Values.end(),
                     [Comparer](const T& L, const T& R) { return Comparer->Compare(L, R) < 0; });
  }
  template <class T>
  static void Sort(std::vector<T>& Values, const IPtr<IComparer<T>>& Comparer) {
    Sort(Values, Comparer.Get());
  }
  // Bisection over sorted Values: true when found; Index is the match or where Item belongs.
  template <class T>
  static bool BinarySearch(const std::vector<T>& Values, const T& Item, Integer& Index,
                           const IComparer<T>* Comparer = TComparer<T>::Default()) {
    Integer L = 0, H = Integer(Values.size()) - 1;
    bool Found = false;
    while (L <= H) {
      Integer M = (L + H) / 2;
      Integer C = Comparer->Compare(Values[M], Item);
      if (C < 0) {
        L = M + 1;
      } else {
        H = M - 1;
        if (C == 0) Found = true;
      }
    }
    Index = L;
    return Found;
  }
};

}  // namespace Generics

using Generics::IComparer;
using Generics::IEqualityComparer;
using Generics::TArray;
using Generics::TCollectionNotifyEvent;
using Generics::TComparer;
using Generics::TCustomComparer;
using Generics::TDictionary;
using Generics::TDictionaryOwnership;
using Generics::TDictionaryOwnerships;
using Generics::TEqualityComparer;
using Generics::TObjectDictionary;
using Generics::TPair;
using Generics::TSingletonImplementation;
using Generics::doOwnsKeys;
using Generics::doOwnsValues;
