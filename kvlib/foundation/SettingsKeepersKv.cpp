#include "kvlib/foundation/SettingsKeepersKv.h"

#include "framework/SysUtils.h"

String TIntegerObject::ToString() const { return IntToStr(Value); }

void TSettingsKeeperDicKv::ValueNotify(TObject* const& Value, TCollectionNotification Action) {
  inherited::ValueNotify(Value, Action);
  if (Action == cnRemoved) delete Value;
}

TSettingsKeeperKv::TSettingsKeeperKv() : FDic(std::make_unique<TSettingsKeeperDicKv>()) {}

TSettingsKeeperKv::~TSettingsKeeperKv() = default;

void TSettingsKeeperKv::AddOwned(const String& Key, std::unique_ptr<TObject> Value) {
  // Held here until the dictionary has it: a refused key frees the value instead of losing it.
  FDic->Add(Key, Value.get());
  Value.release();
}

void TSettingsKeeperKv::Add(const String& Key, const String& Value) { AddOwned(Key, std::make_unique<TStringObject>(Value)); }

void TSettingsKeeperKv::Add(const String& Key, Integer Value) { AddOwned(Key, std::make_unique<TIntegerObject>(Value)); }

void TSettingsKeeperKv::Add(const String& Key, TSettingsKeeperKv* Value) { AddOwned(Key, std::unique_ptr<TObject>(Value)); }

bool TSettingsKeeperKv::TryGetValue(const String& Key, TObject*& Value) const { return FDic->TryGetValue(Key, Value); }

bool TSettingsKeeperKv::TryGetSubsettingsValue(const String& Key, TSettingsKeeperKv*& Value) const {
  TObject* V = nullptr;
  if (!FDic->TryGetValue(Key, V)) return false;
  auto* Keeper = dynamic_cast<TSettingsKeeperKv*>(V);
  if (!Keeper) return false;
  Value = Keeper;
  return true;
}

bool TSettingsKeeperKv::TryGetIntegerValue(const String& Key, Integer& Value) const {
  TObject* V = nullptr;
  if (!FDic->TryGetValue(Key, V)) return false;
  if (auto* I = dynamic_cast<TIntegerObject*>(V)) {
    Value = I->Value;
    return true;
  }
  if (auto* S = dynamic_cast<TStringObject*>(V)) return TryStrToInt(S->Value, Value);
  return false;
}

bool TSettingsKeeperKv::TryGetStringValue(const String& Key, String& Value) const {
  Value.clear();
  TObject* V = nullptr;
  if (!FDic->TryGetValue(Key, V)) return false;
  auto* S = dynamic_cast<TStringObject*>(V);
  if (!S) return false;
  Value = S->Value;
  return true;
}

TSettingsKeeperKvCollectionByIndexComparer* TSettingsKeeperKvCollectionByIndexComparer::Ordinal() {
  static TSettingsKeeperKvCollectionByIndexComparer Instance;
  return &Instance;
}

Integer TSettingsKeeperKvCollectionByIndexComparer::Compare(const TPairType& Left, const TPairType& Right) const {
  auto ColIndex = [](TObject* Value) {
    auto* Keeper = As<TSettingsKeeperKv>(Value);
    if (!Keeper) RaiseInvalidCast();
    Integer Index = 0;
    if (!Keeper->TryGetIntegerValue(L"ColIndex", Index)) Index = 0;
    return Index;
  };
  const Integer L = ColIndex(Left.Value), R = ColIndex(Right.Value);
  return L < R ? -1 : L > R ? 1 : 0;
}
