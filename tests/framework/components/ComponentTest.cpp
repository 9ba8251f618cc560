#include <gtest/gtest.h>

#include "framework/Classes.h"

namespace {

class TWatcher : public TComponent {
  DECLARE_CLASS(TWatcher, TComponent)
 public:
  using TComponent::TComponent;
  TComponent* Watched = nullptr;
  std::vector<String>* Log = nullptr;
  void Notification(TComponent* AComponent, TOperation Operation) override {
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == Watched) Watched = nullptr;
  }
  ~TWatcher() override {
    if (Log) Log->push_back(GetName());
  }
};

TEST(Component, OwnerFreesOwnedComponentsLastFirst) {
  std::vector<String> Log;
  auto* Owner = new TComponent(nullptr);
  for (const wchar_t* N : {L"A", L"B", L"C"}) {
    auto* W = new TWatcher(Owner);
    W->SetName(N);
    W->Log = &Log;
  }
  EXPECT_EQ(Owner->GetComponentCount(), 3);
  EXPECT_EQ(Owner->FindComponent(L"b")->GetName(), L"B");
  EXPECT_EQ(Owner->FindComponent(L"x"), nullptr);
  delete Owner;
  EXPECT_EQ(Log, (std::vector<String>{L"C", L"B", L"A"}));
}

TEST(Component, NamesAreValidatedAndUniqueWithinTheOwner) {
  TComponent Owner(nullptr);
  auto* A = new TComponent(&Owner);
  auto* B = new TComponent(&Owner);
  A->SetName(L"Button1");
  try {
    B->SetName(L"BUTTON1");
    FAIL();
  } catch (const EComponentError& E) {
    EXPECT_EQ(E.Message(), L"A component named BUTTON1 already exists");
  }
  EXPECT_THROW(B->SetName(L"1abc"), EComponentError);
  EXPECT_THROW(B->SetName(L"a b"), EComponentError);
  B->SetName(L"_Düğme2");  // letters beyond ASCII are letters
  EXPECT_EQ(B->GetName(), L"_Düğme2");
  A->SetName(L"");
  B->SetName(L"Button1");  // the name is free again
}

TEST(Component, FreeNotificationClearsReferencesAcrossOwners) {
  auto* OwnerA = new TComponent(nullptr);
  auto* OwnerB = new TComponent(nullptr);
  auto* W = new TWatcher(OwnerA);
  auto* Target = new TComponent(OwnerB);
  W->Watched = Target;
  Target->FreeNotification(W);
  EXPECT_TRUE(Target->GetComponentState().Contains(csFreeNotification));
  delete OwnerB;
  EXPECT_EQ(W->Watched, nullptr);
  // The watcher's own death must not reach the freed target.
  delete OwnerA;
}

TEST(Component, DestroyingMarksOwnedComponents) {
  TComponent Owner(nullptr);
  auto* C = new TComponent(&Owner);
  Owner.Destroying();
  EXPECT_TRUE(C->GetComponentState().Contains(csDestroying));
}

TEST(Component, ComponentsOwnedBySiblingsHearRemovals) {
  auto* Owner = new TComponent(nullptr);
  auto* W = new TWatcher(Owner);
  auto* T = new TComponent(Owner);
  W->Watched = T;
  delete T;
  EXPECT_EQ(W->Watched, nullptr);
  delete Owner;
}

// ---- Collections ----

class TColItem : public TCollectionItem {
  DECLARE_CLASS(TColItem, TCollectionItem)
 public:
  using TCollectionItem::TCollectionItem;
  String GetCaption() const { return FCaption; }
  void SetCaption(const String& V) {
    FCaption = V;
    Changed(false);
  }
  void Assign(TPersistent* Source) override {
    if (auto* S = dynamic_cast<TColItem*>(Source)) {
      FCaption = S->FCaption;
      return;
    }
    inherited::Assign(Source);
  }
  PUBLISHED_DECL(TColItem);

 private:
  String FCaption;
};

PUBLISHED_DEF(TColItem) { PROP(Caption); }

class TLoggingCollection : public TCollection {
  DECLARE_CLASS(TLoggingCollection, TCollection)
 public:
  TLoggingCollection() : TCollection(TColItem::StaticClass()) {}
  std::vector<String> Log;

 protected:
  void Update(TCollectionItem* Item) override {
    Log.push_back(Item ? L"item " + std::to_wstring(Item->GetID()) : String(L"all"));
  }
  void Notify(TCollectionItem* Item, TCollectionNotification Action) override {
    const wchar_t* N = Action == cnAdded ? L"added" : Action == cnExtracting ? L"extracting" : L"deleting";
    Log.push_back(String(N) + L" " + std::to_wstring(Item->GetID()));
    inherited::Notify(Item, Action);
  }
};

TEST(Collection, ReportsChangesAndNotifications) {
  TLoggingCollection C;
  auto* A = static_cast<TColItem*>(C.Add());
  auto* B = static_cast<TColItem*>(C.Add());
  EXPECT_EQ(C.Log, (std::vector<String>{L"added 0", L"all", L"added 1", L"all"}));
  C.Log.clear();
  B->SetCaption(L"x");
  C.Delete(0);
  EXPECT_EQ(C.Log, (std::vector<String>{L"item 1", L"deleting 0", L"extracting 0", L"all"}));
  (void)A;
}

TEST(Collection, UpdatesNestAndReportOnceAtTheEnd) {
  TLoggingCollection C;
  C.BeginUpdate();
  C.BeginUpdate();
  C.Add();
  static_cast<TColItem*>(C.Add())->SetCaption(L"a");
  C.EndUpdate();
  C.Log.clear();
  C.EndUpdate();
  EXPECT_EQ(C.Log, std::vector<String>{L"all"});
  EXPECT_EQ(C.GetUpdateCount(), 0);
}

TEST(Collection, MovesItemsByIndexAndBetweenCollections) {
  TLoggingCollection C, D;
  for (const wchar_t* S : {L"a", L"b", L"c"}) static_cast<TColItem*>(C.Add())->SetCaption(S);
  auto* Cc = C.GetItem(2);
  Cc->SetIndex(0);
  EXPECT_EQ(static_cast<TColItem*>(C.GetItem(0))->GetCaption(), L"c");
  EXPECT_EQ(C.GetItem(1)->GetIndex(), 1);
  EXPECT_THROW(Cc->SetIndex(3), EListError);
  EXPECT_EQ(C.FindItemID(2), Cc);
  Cc->SetCollection(&D);
  EXPECT_EQ(C.GetCount(), 2);
  EXPECT_EQ(D.GetCount(), 1);
  EXPECT_EQ(Cc->GetCollection(), &D);
  EXPECT_EQ(Cc->GetID(), 0);  // a new ID in the new collection
  auto* Ins = C.Insert(0);
  EXPECT_EQ(C.GetItem(0), Ins);
  EXPECT_THROW(C.Insert(9), EListError);
}

TEST(Collection, AssignRebuildsTheItems) {
  TLoggingCollection C, D;
  for (const wchar_t* S : {L"ı", L"ğ"}) static_cast<TColItem*>(C.Add())->SetCaption(S);
  D.Add();
  D.Add();
  D.Add();
  D.Log.clear();
  D.Assign(&C);
  ASSERT_EQ(D.GetCount(), 2);
  EXPECT_EQ(static_cast<TColItem*>(D.GetItem(1))->GetCaption(), L"ğ");
  EXPECT_EQ(D.Log.back(), L"all");
  EXPECT_EQ(std::count(D.Log.begin(), D.Log.end(), String(L"all")), 1);
  TComponent NotAColl(nullptr);
  EXPECT_THROW(D.Assign(&NotAColl), EConvertError);
}

}  // namespace
