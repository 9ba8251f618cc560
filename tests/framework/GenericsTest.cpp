#include <gtest/gtest.h>

#include "framework/Generics.h"

namespace {

class TValueObject : public TObject {
  DECLARE_CLASS(TValueObject, TObject)
 public:
  TValueObject(int V, int* Freed = nullptr) : Value(V), FFreed(Freed) {}
  ~TValueObject() override {
    if (FFreed) ++*FFreed;
  }
  int Value;

 private:
  int* FFreed;
};

// A dictionary that owns its values through the value notification, as a settings keeper does.
class TOwningDic : public TDictionary<String, TObject*> {
  DECLARE_CLASS(TOwningDic, TDictionary)
 public:
  String Log;
  ~TOwningDic() override { Clear(); }

 protected:
  void ValueNotify(TObject* const& Value, TCollectionNotification Action) override {
    TDictionary::ValueNotify(Value, Action);
    Log += Action == cnAdded ? L'+' : Action == cnRemoved ? L'-' : L'~';
    Log += std::to_wstring(static_cast<TValueObject*>(Value)->Value);
    if (Action == cnRemoved) delete Value;
  }
};

TEST(Dictionary, ValueNotificationsOnAddRemoveExtractClearAndDestroy) {
  int Freed = 0;
  String Log;
  {
    TOwningDic D;
    D.Add(L"a", new TValueObject(1, &Freed));
    D.Add(L"b", new TValueObject(2, &Freed));
    D.Add(L"c", new TValueObject(3, &Freed));
    EXPECT_EQ(D.Log, L"+1+2+3");
    D.Remove(L"a");
    D.Remove(L"missing");
    EXPECT_EQ(D.Log, L"+1+2+3-1");
    EXPECT_EQ(Freed, 1);
    auto P = D.ExtractPair(L"b");
    EXPECT_EQ(P.Key, L"b");
    EXPECT_EQ(D.Log, L"+1+2+3-1~2");
    EXPECT_EQ(Freed, 1) << "extracted values stay alive";
    delete P.Value;
    D.AddOrSetValue(L"c", new TValueObject(4, &Freed));
    EXPECT_EQ(D.Log, L"+1+2+3-1~2-3+4");
    D.Add(L"d", new TValueObject(5, &Freed));
    D.Clear();
    EXPECT_EQ(D.GetCount(), 0);
    EXPECT_EQ(Freed, 5);
    D.Add(L"e", new TValueObject(6, &Freed));
  }
  EXPECT_EQ(Freed, 6) << "destroying frees the rest";
}

TEST(Dictionary, DuplicateKeysAndMissingKeysRaiseListErrors) {
  TDictionary<String, Integer> D;
  D.Add(L"Key", 1);
  try {
    D.Add(L"Key", 2);
    FAIL();
  } catch (const EListError& E) {
    EXPECT_EQ(E.Message(), L"Duplicates not allowed");
  }
  EXPECT_EQ(D[L"Key"], 1) << "the first value stays";
  D.Add(L"key", 3);  // the default equality is exact
  EXPECT_EQ(D.GetCount(), 2);
  Integer V = 99;
  EXPECT_FALSE(D.TryGetValue(L"KEY", V));
  EXPECT_EQ(V, 0);
  EXPECT_TRUE(D.TryGetValue(L"key", V));
  EXPECT_EQ(V, 3);
  try {
    D.GetItems(L"none");
    FAIL();
  } catch (const EListError& E) {
    EXPECT_EQ(E.Message(), L"Item not found");
  }
  EXPECT_THROW(D.SetItems(L"none", 1), EListError);
  D.SetItems(L"Key", 5);
  EXPECT_TRUE(D.ContainsValue(5));
  EXPECT_TRUE(D.ContainsKey(L"key"));
  EXPECT_EQ(D.ToArray().size(), 2u);
  EXPECT_EQ(D.GetKeys().size(), 2u);
}

TEST(Dictionary, EventsSeeKeysAndValuesLeave) {
  String Log;
  {
    TDictionary<Integer, Integer> D;
    D.SetOnKeyNotify([&](TObject*, const Integer& K, TCollectionNotification A) {
      Log += (A == cnAdded ? L"+k" : A == cnRemoved ? L"-k" : L"~k") + std::to_wstring(K);
    });
    D.Add(1, 10);
    D.ExtractPair(1);
    D.Add(2, 20);
  }
  EXPECT_EQ(Log, L"+k1~k1+k2-k2");
}

TEST(ObjectDictionary, FreesOwnedValuesButNotExtractedOrReassignedOnes) {
  int Freed = 0;
  auto* Same = new TValueObject(1, &Freed);
  {
    TObjectDictionary<String, TValueObject*> D({doOwnsValues});
    D.Add(L"a", Same);
    D.AddOrSetValue(L"a", Same);
    EXPECT_EQ(Freed, 0) << "storing the same object again keeps it";
    D.AddOrSetValue(L"a", new TValueObject(2, &Freed));
    EXPECT_EQ(Freed, 1);
    D.Add(L"b", new TValueObject(3, &Freed));
    auto P = D.ExtractPair(L"b");
    EXPECT_EQ(Freed, 1);
    delete P.Value;
    D.Remove(L"a");
    EXPECT_EQ(Freed, 3);
    D.Add(L"c", new TValueObject(4, &Freed));
  }
  EXPECT_EQ(Freed, 4);
}

class TByValueComparer : public TCustomComparer<TPair<String, TObject*>> {
 public:
  Integer Compare(const TPair<String, TObject*>& L, const TPair<String, TObject*>& R) const override {
    return static_cast<TValueObject*>(L.Value)->Value - static_cast<TValueObject*>(R.Value)->Value;
  }
  bool Equals(const TPair<String, TObject*>& L, const TPair<String, TObject*>& R) const override {
    return Compare(L, R) == 0;
  }
  Integer GetHashCode(const TPair<String, TObject*>&) const override { return 0; }
};

TEST(ArraySort, SortsPairsWithACustomComparer) {
  TOwningDic D;
  D.Add(L"x", new TValueObject(3));
  D.Add(L"y", new TValueObject(1));
  D.Add(L"z", new TValueObject(2));
  auto Pairs = D.ToArray();
  TByValueComparer C;
  TArray::Sort(Pairs, static_cast<IComparer<TPair<String, TObject*>>*>(&C));
  ASSERT_EQ(Pairs.size(), 3u);
  EXPECT_EQ(Pairs[0].Key, L"y");
  EXPECT_EQ(Pairs[2].Key, L"x");
  std::vector<String> Names = {L"b", L"B", L"a"};
  TArray::Sort(Names);
  EXPECT_EQ(Names, (std::vector<String>{L"B", L"a", L"b"})) << "ordinal by default";
  Integer Index;
  EXPECT_TRUE(TArray::BinarySearch(Names, String(L"a"), Index));
  EXPECT_EQ(Index, 1);
  TArray::Sort(Names, TComparer<String>::Construct([](const String& L, const String& R) { return R.compare(L); }));
  EXPECT_EQ(Names[0], L"b");
}

TEST(GenericList, OwningObjectListAndRangeChecks) {
  int Freed = 0;
  {
    Generics::TObjectList<TValueObject> L;
    L.Add(new TValueObject(1, &Freed));
    auto* Kept = new TValueObject(2, &Freed);
    L.Add(Kept);
    L.Add(new TValueObject(3, &Freed));
    L.Delete(0);
    EXPECT_EQ(Freed, 1);
    EXPECT_EQ(L.Extract(Kept), Kept);
    EXPECT_EQ(Freed, 1);
    delete Kept;
    EXPECT_THROW(L.GetItems(5), EArgumentOutOfRangeException);
    EXPECT_EQ(L.GetCount(), 1);
  }
  EXPECT_EQ(Freed, 3);
  Generics::TList<Integer> Numbers;
  for (Integer I : {5, 3, 9}) Numbers.Add(I);
  Numbers.Sort();
  EXPECT_EQ(Numbers.ToArray(), (std::vector<Integer>{3, 5, 9}));
  Numbers.Move(0, 2);
  EXPECT_EQ(Numbers.IndexOf(3), 2);
  EXPECT_THROW(Numbers.Insert(4, 1), EArgumentOutOfRangeException);
}

}  // namespace
