#include <gtest/gtest.h>

#include "framework/Contnrs.h"

namespace {

class TCounted : public TObject {
  DECLARE_CLASS(TCounted, TObject)
 public:
  explicit TCounted(int& Freed) : FFreed(Freed) {}
  ~TCounted() override { ++FFreed; }

 private:
  int& FFreed;
};

class TOtherCounted : public TCounted {
  DECLARE_CLASS(TOtherCounted, TCounted)
 public:
  using TCounted::TCounted;
};

TEST(ObjectList, OwningListFreesWhatLeavesItButNotWhatIsExtracted) {
  struct Case {
    const char* Name;
    std::function<void(TObjectList&, TObject* A, TObject* B)> Op;
    int FreedOwning;
  };
  const Case Cases[] = {
      {"Delete", [](TObjectList& L, TObject*, TObject*) { L.Delete(0); }, 1},
      {"Remove", [](TObjectList& L, TObject*, TObject* B) { L.Remove(B); }, 1},
      {"Clear", [](TObjectList& L, TObject*, TObject*) { L.Clear(); }, 2},
      {"Replace", [](TObjectList& L, TObject*, TObject*) { L.SetItems(0, nullptr); }, 1},
      {"Extract", [](TObjectList& L, TObject* A, TObject*) { EXPECT_EQ(L.Extract(A), A); }, 0},
      {"Pack", [](TObjectList& L, TObject*, TObject*) { L.Add(nullptr), L.Pack(); }, 0},
  };
  for (const auto& C : Cases) {
    int Freed = 0;
    auto* A = new TCounted(Freed);
    auto* B = new TCounted(Freed);
    {
      TObjectList L;
      L.Add(A), L.Add(B);
      C.Op(L, A, B);
      EXPECT_EQ(Freed, C.FreedOwning) << C.Name;
    }
    if (std::string(C.Name) == "Extract") delete A;
    EXPECT_EQ(Freed, 2) << C.Name << ": every object freed once";
  }
  for (const auto& C : Cases) {
    int Freed = 0;
    auto* A = new TCounted(Freed);
    auto* B = new TCounted(Freed);
    {
      TObjectList L(false);
      L.Add(A), L.Add(B);
      C.Op(L, A, B);
    }
    EXPECT_EQ(Freed, 0) << C.Name << ": a list that does not own frees nothing";
    delete A;
    delete B;
  }
}

TEST(ObjectList, OwnsObjectsByDefaultAndFreesOnDestruction) {
  int Freed = 0;
  {
    TObjectList L;
    EXPECT_TRUE(L.GetOwnsObjects());
    L.Add(new TCounted(Freed));
  }
  EXPECT_EQ(Freed, 1);
}

TEST(ObjectList, FindInstanceOfHonoursExactness) {
  int Freed = 0;
  TObjectList L;
  L.Add(new TOtherCounted(Freed));
  L.Add(new TCounted(Freed));
  EXPECT_EQ(L.FindInstanceOf(TCounted::StaticClass()), 1);
  EXPECT_EQ(L.FindInstanceOf(TCounted::StaticClass(), false), 0);
  EXPECT_EQ(L.FindInstanceOf(TOtherCounted::StaticClass(), true, 1), -1);
}

TEST(ClassList, HoldsClassReferences) {
  TClassList L;
  L.Add(TObjectList::StaticClass());
  L.Add(TList::StaticClass());
  EXPECT_EQ(L.IndexOf(TList::StaticClass()), 1);
  EXPECT_EQ(L[0]->ClassName(), L"TObjectList");
  EXPECT_EQ(L.Remove(TObjectList::StaticClass()), 0);
  EXPECT_EQ(L.First(), TList::StaticClass());
}

}  // namespace
