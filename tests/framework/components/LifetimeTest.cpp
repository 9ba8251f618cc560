#include <gtest/gtest.h>

#include <memory>

#include "framework/Classes.h"
#include "framework/Controls.h"
#include "tests/framework/components/StreamingFixture.h"

namespace {

// Records what Notification(opRemove) shows of the component going: its class and whether it
// is still a control.
class TRemoveSpy : public TComponent {
  DECLARE_CLASS(TRemoveSpy, TComponent)
 public:
  using TComponent::TComponent;
  std::vector<String> Seen;
  void Notification(TComponent* AComponent, TOperation Operation) override {
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove)
      Seen.push_back(AComponent->ClassName() + (dynamic_cast<TControl*>(AComponent) ? L"/control" : L""));
  }
};

TEST(Destruction, ARemovedComponentShowsItsRealClassToThoseNotified) {
  TComponent Owner(nullptr);
  auto* Sibling = new TRemoveSpy(&Owner);
  TRemoveSpy Watcher(nullptr);  // another owner's component, told through a free notification
  auto* C = new TCustomControl(&Owner);
  C->FreeNotification(&Watcher);
  delete C;
  EXPECT_EQ(Sibling->Seen, std::vector<String>{L"TCustomControl/control"});
  EXPECT_EQ(Watcher.Seen, std::vector<String>{L"TCustomControl/control"});
}

// An owner whose owned components call back into it while they go.
class TBackOwner : public TComponent {
  DECLARE_CLASS(TBackOwner, TComponent)
 public:
  using TComponent::TComponent;
  virtual String Kind() const { return L"whole"; }
};
class TBaseOwner : public TComponent {
  DECLARE_CLASS(TBaseOwner, TComponent)
};
class TCallsBack : public TComponent {
  DECLARE_CLASS(TCallsBack, TComponent)
 public:
  TCallsBack(TBackOwner* AOwner, String* Out) : TComponent(AOwner), FBack(AOwner), FOut(Out) {}
  ~TCallsBack() override { *FOut = FBack->Kind(); }

 private:
  TBackOwner* FBack;
  String* FOut;
};

TEST(Destruction, OwnedComponentsGoWhileTheOwnerIsWhole) {
  String Out;
  auto* Owner = new TBackOwner(nullptr);
  new TCallsBack(Owner, &Out);
  delete Owner;  // no DestroyComponents() in TBackOwner's destructor
  EXPECT_EQ(Out, L"whole");
}

TEST(Destruction, AComponentOnTheStackStillFreesWhatItOwnsAndTellsItsWatchers) {
  TRemoveSpy Watcher(nullptr);
  TComponentRef<TComponent> Ref;
  Integer Live = DemoLiveCount();
  {
    TComponent Stack(nullptr);
    new TDemoControl(&Stack);
    Stack.FreeNotification(&Watcher);
    Ref = &Stack;
    EXPECT_EQ(DemoLiveCount(), Live + 1);
  }
  EXPECT_EQ(DemoLiveCount(), Live);
  EXPECT_EQ(Watcher.Seen.size(), 1u);
  EXPECT_EQ(Ref.Get(), nullptr);
}

// ---- Guarded references --------------------------------------------------------------------

TEST(ComponentRef, BecomesNullWhenItsComponentGoesHoweverItGoes) {
  // Deleted directly, with its owner, as a child of a freed container, on the stack.
  auto* A = new TComponent(nullptr);
  auto* Owner = new TComponent(nullptr);
  auto* B = new TComponent(Owner);
  TComponentRef<TComponent> RA(A), RB(B), RB2;
  RB2 = RB;  // a copy is guarded too
  EXPECT_EQ(RA.Get(), A);
  EXPECT_EQ(RB2.Get(), B);
  delete A;
  EXPECT_EQ(RA.Get(), nullptr);
  EXPECT_EQ(RB.Get(), B);
  delete Owner;
  EXPECT_EQ(RB.Get(), nullptr);
  EXPECT_EQ(RB2.Get(), nullptr);
  // A reference that goes first leaves nothing behind in its component.
  auto* C = new TComponent(nullptr);
  { TComponentRef<TComponent> Gone(C); }
  TComponentRef<TComponent> Kept(C);
  Kept = nullptr;
  delete C;
}

TEST(ComponentRef, ANotificationReceiverStillSeesTheReferenceItCompares) {
  // Notification(opRemove) comes first, the references are cleared after it.
  struct THolder : TComponent {
    using TComponent::TComponent;
    TComponentRef<TComponent> Target;
    bool Matched = false;
    void Notification(TComponent* AComponent, TOperation Operation) override {
      TComponent::Notification(AComponent, Operation);
      if (Operation == opRemove && AComponent == Target.Get()) Matched = true;
    }
  };
  THolder H(nullptr);
  auto* T = new TComponent(nullptr);
  H.Target = T;
  T->FreeNotification(&H);
  delete T;
  EXPECT_TRUE(H.Matched);
  EXPECT_EQ(H.Target.Get(), nullptr);
}

TEST(ComponentRef, AStreamedReferenceToAFreedSiblingDoesNotDangle) {
  RegisterDemoClasses();
  std::unique_ptr<TDemoForm> F(new TDemoForm(nullptr));
  auto* A = new TDemoControl(F.get());
  auto* B = new TDemoControl(F.get());
  A->SetBuddy(B);
  delete B;  // a sibling: no free notification was asked for
  EXPECT_EQ(A->GetBuddy(), nullptr);
}

// ---- The owner's notification loop ---------------------------------------------------------

class TFreesSibling : public TComponent {
  DECLARE_CLASS(TFreesSibling, TComponent)
 public:
  using TComponent::TComponent;
  TComponent* Victim = nullptr;
  std::vector<String>* Log = nullptr;
  void Notification(TComponent* AComponent, TOperation Operation) override {
    inherited::Notification(AComponent, Operation);
    if (Operation != opInsert || !Log) return;
    Log->push_back(GetName());
    if (Victim) {
      TComponent* V = Victim;
      Victim = nullptr;
      delete V;
    }
  }
};

TEST(Notification, EveryOwnedComponentHearsOnceWhenAHandlerFreesASibling) {
  // Told the last first: d frees b, then c and a hear it once each; b, freed, never.
  std::vector<String> Log;
  TComponent Owner(nullptr);
  TFreesSibling* C[4];
  for (int I = 0; I < 4; ++I) {
    C[I] = new TFreesSibling(&Owner);
    C[I]->SetName(String(1, Char(L'a' + I)));
    C[I]->Log = &Log;
  }
  C[3]->Victim = C[1];
  Log.clear();
  new TComponent(&Owner);
  EXPECT_EQ(Log, (std::vector<String>{L"d", L"c", L"a"}));
  EXPECT_EQ(Owner.GetComponentCount(), 4);
}

// ---- Deleting a component inside its own handler -----------------------------------------------

class TFiring : public TComponent {
  DECLARE_CLASS(TFiring, TComponent)
 public:
  using TComponent::TComponent;
  ~TFiring() override { ++Destroyed; }
  TNotifyEvent OnPing;
  Integer Pings = 0;
  static inline Integer Destroyed = 0;
  // Framework code that goes on after firing: it touches its own members only while alive.
  bool Ping() {
    if (!Fire(this, OnPing, this)) return false;
    ++Pings;
    return true;
  }
};

TEST(Fire, AnswersWhetherTheSenderSurvivedItsHandler) {
  TFiring::Destroyed = 0;
  TComponent Owner(nullptr);
  auto* Keeps = new TFiring(&Owner);
  Keeps->OnPing = [](TObject*) {};
  EXPECT_TRUE(Keeps->Ping());
  EXPECT_EQ(Keeps->Pings, 1);

  // Freed by its handler directly, and through its owner: destroyed at once, memory kept until
  // the handler returns, Fire answers false.
  for (bool ThroughOwner : {false, true}) {
    auto* Owner2 = new TComponent(nullptr);
    auto* Frees = new TFiring(Owner2);
    bool LiveInside = true;
    Frees->OnPing = [&, Frees, Owner2](TObject*) {
      if (ThroughOwner)
        delete Owner2;
      else
        delete Frees;
      LiveInside = IsLive(Frees);
    };
    Integer Before = TFiring::Destroyed;
    EXPECT_FALSE(Frees->Ping()) << ThroughOwner;
    EXPECT_EQ(TFiring::Destroyed, Before + 1);
    EXPECT_FALSE(LiveInside);
    if (!ThroughOwner) delete Owner2;
  }
}

}  // namespace
