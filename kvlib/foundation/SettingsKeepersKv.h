#pragma once
// An in-memory tree of settings: string keys (exact case) holding a string, an integer or a
// nested keeper. The keeper owns every value, nested keepers included. It reads and writes no
// file of its own: the grids store the tree elsewhere.

#include <memory>
#include <vector>

#include "framework/Generics.h"

class TStringObject : public TObject {
  DECLARE_CLASS(TStringObject, TObject)
 public:
  explicit TStringObject(const String& AValue) : Value(AValue) {}
  String ToString() const override { return Value; }
  String Value;
};

class TIntegerObject : public TObject {
  DECLARE_CLASS(TIntegerObject, TObject)
 public:
  explicit TIntegerObject(Integer AValue) : Value(AValue) {}
  String ToString() const override;
  Integer Value;
};

// Frees each value when it leaves the dictionary (removed, cleared or destroyed).
class TSettingsKeeperDicKv : public TDictionary<String, TObject*> {
  using TBaseDictionary = TDictionary<String, TObject*>;
  DECLARE_CLASS(TSettingsKeeperDicKv, TBaseDictionary)
 public:
  TSettingsKeeperDicKv() = default;
  ~TSettingsKeeperDicKv() override { Clear(); }

 protected:
  void ValueNotify(TObject* const& Value, TCollectionNotification Action) override;
};

class TSettingsKeeperKv : public TObject {
  DECLARE_CLASS(TSettingsKeeperKv, TObject)
 public:
  using TPairType = TPair<String, TObject*>;

  TSettingsKeeperKv();
  ~TSettingsKeeperKv() override;

  // A key already present raises EListError and keeps the first value; a nested keeper passed
  // in is then freed, since the caller handed it over.
  void Add(const String& Key, const String& Value);
  void Add(const String& Key, Integer Value);
  void Add(const String& Key, TSettingsKeeperKv* Value);
  // The pairs in the dictionary's own order.
  std::vector<TPairType> ToArray() const { return FDic->ToArray(); }
  Integer GetCount() const { return FDic->GetCount(); }

  bool TryGetValue(const String& Key, TObject*& Value) const;
  // True only for a nested keeper; Value is left alone otherwise.
  bool TryGetSubsettingsValue(const String& Key, TSettingsKeeperKv*& Value) const;
  // An integer entry, or a string entry that reads as a 32-bit integer.
  bool TryGetIntegerValue(const String& Key, Integer& Value) const;
  // Clears Value; true only for a string entry.
  bool TryGetStringValue(const String& Key, String& Value) const;

 private:
  void AddOwned(const String& Key, std::unique_ptr<TObject> Value);
  std::unique_ptr<TSettingsKeeperDicKv> FDic;
};

// Orders (key, keeper) pairs by the nested keepers' "ColIndex" integers (0 when absent); a value
// that is not a keeper raises EInvalidCast.
class TSettingsKeeperKvCollectionByIndexComparer : public TCustomComparer<TPair<String, TObject*>> {
  using TBaseComparer = TCustomComparer<TPair<String, TObject*>>;
  DECLARE_CLASS(TSettingsKeeperKvCollectionByIndexComparer, TBaseComparer)
 public:
  using TPairType = TPair<String, TObject*>;
  static TSettingsKeeperKvCollectionByIndexComparer* Ordinal();
  Integer Compare(const TPairType& Left, const TPairType& Right) const override;
  bool Equals(const TPairType& Left, const TPairType& Right) const override { return Compare(Left, Right) == 0; }
  Integer GetHashCode(const TPairType&) const override { return 0; }
};
