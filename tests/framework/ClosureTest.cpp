#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <new>

#include "TestAllocator.h"
#include "framework/System.h"

namespace {

class TTarget : public TObject {
  DECLARE_CLASS(TTarget, TObject)
 public:
  int Count = 0;
  void Tick(TObject*) { ++Count; }
  void Tock(TObject*) { Count += 10; }
  virtual void Poke(TObject*) { Count += 100; }
};

class TDerivedTarget : public TTarget {
  DECLARE_CLASS(TDerivedTarget, TTarget)
 public:
  void Poke(TObject*) override { Count += 1000; }
};

// A receiver whose TObject part is not at its start address.
struct TMixin {
  virtual ~TMixin() = default;
  int Filler = 0x41414141;
};
class TMixedTarget : public TMixin, public TTarget {
  DECLARE_CLASS(TMixedTarget, TTarget)
 public:
  void Own(TObject*) { Count += 7; }
};

struct THelper {
  void Tick(TObject*) {}
};

using TTick = void (THelper::*)(TObject*);
static_assert(!std::is_constructible_v<TNotifyEvent, THelper*, TTick>,
              "a handler's receiver must be a TObject");
static_assert(std::is_constructible_v<TNotifyEvent, TTarget*, decltype(&TTarget::Tick)>);
static_assert(sizeof(TNotifyEvent) == 4 * sizeof(void*));

TEST(Closures, BoundMethodsNeverAllocate) {
  TTarget A;
  TAllocations Heap;
  TNotifyEvent E(&A, &TTarget::Tick);
  TNotifyEvent Copy = E, Other;
  Other = Copy;
  Other = TNotifyEvent(&A, &TTarget::Tock);
  DoEvent(E, nullptr);
  Other(nullptr);
  Other.Clear();
  EXPECT_EQ(Heap.Count, 0);
  EXPECT_EQ(A.Count, 11);
}

TEST(Closures, OtherCallablesAllocateOnceAndShareItWithTheirCopies) {
  int Calls = 0;
  std::array<int, 16> Payload{};  // too large for any small-buffer
  TAllocations Heap;
  TNotifyEvent L = [&Calls, Payload](TObject*) { Calls += 1 + Payload[0]; };
  EXPECT_EQ(Heap.Count, 1);
  TNotifyEvent Copy = L, Assigned;
  Assigned = Copy;
  DoEvent(Assigned, nullptr);
  Copy(nullptr);
  EXPECT_EQ(Heap.Count, 1);
  EXPECT_EQ(Calls, 2);
}

TEST(Closures, CompareByReceiverAndMethodOrByIdentity) {
  TTarget A, B;
  TDerivedTarget D;
  TMixedTarget M;
  std::vector<TNotifyEvent> Lambdas;
  for (int I = 0; I < 2; ++I) Lambdas.push_back([](TObject*) {});  // one type, two bindings
  TNotifyEvent LambdaCopy = Lambdas[0];
  struct {
    const char* Case;
    TNotifyEvent X, Y;
    bool Equal;
  } Cases[] = {
      {"same method, same object", {&A, &TTarget::Tick}, {&A, &TTarget::Tick}, true},
      {"same object through its base", {&D, &TTarget::Tick}, {static_cast<TTarget*>(&D), &TTarget::Tick}, true},
      {"mixed receiver through its base", {&M, &TTarget::Tick}, {static_cast<TTarget*>(&M), &TTarget::Tick}, true},
      {"another object", {&A, &TTarget::Tick}, {&B, &TTarget::Tick}, false},
      {"another method", {&A, &TTarget::Tick}, {&A, &TTarget::Tock}, false},
      {"a virtual method", {&D, &TTarget::Poke}, {&D, &TTarget::Poke}, true},
      {"a callable and its copy", Lambdas[0], LambdaCopy, true},
      {"two bindings of one lambda", Lambdas[0], Lambdas[1], false},
      {"a method and nothing", {&A, &TTarget::Tick}, nullptr, false},
      {"a method of no object is nothing", {static_cast<TTarget*>(nullptr), &TTarget::Tick}, nullptr, true},
      {"a callable and nothing", Lambdas[0], {}, false},
      {"nothing and nothing", {}, nullptr, true},
  };
  for (auto& C : Cases) {
    EXPECT_EQ(C.X == C.Y, C.Equal) << C.Case;
    EXPECT_EQ(C.Y == C.X, C.Equal) << C.Case;
    EXPECT_EQ(C.X != C.Y, !C.Equal) << C.Case;
  }
}

TEST(Closures, CallTheBoundMethodOnTheReceiverAsATObject) {
  TDerivedTarget D;
  TMixedTarget M;
  TNotifyEvent Virtual(&D, &TTarget::Poke), Mixed(&M, &TMixedTarget::Own), Lambda = [](TObject*) {};
  Virtual(nullptr);
  Mixed(nullptr);
  EXPECT_EQ(D.Count, 1000);  // the override runs
  EXPECT_EQ(M.Count, 7);
  EXPECT_EQ(Virtual.Data(), &D);
  EXPECT_EQ(Mixed.Data(), static_cast<TObject*>(&M));
  EXPECT_NE(static_cast<void*>(Mixed.Data()), static_cast<void*>(&M));  // the fixture shows the offset
  EXPECT_EQ(Lambda.Data(), nullptr);
  TNotifyEvent Empty;
  EXPECT_FALSE(Empty);
  EXPECT_THROW(Empty(nullptr), std::bad_function_call);
  DoEvent(Empty, nullptr);  // unassigned events are skipped
}

// A sender whose handler may free it: the event's storage goes with it.
class TSender : public TObject {
  DECLARE_CLASS(TSender, TObject)
 public:
  TNotifyEvent FOnFire;
};

int LiveProbes = 0;
struct TProbe {
  TProbe() { ++LiveProbes; }
  TProbe(const TProbe&) { ++LiveProbes; }
  ~TProbe() { --LiveProbes; }
};

TEST(Closures, AHandlerMayFreeTheClosureItRunsFrom) {
  enum TAction { Delete, Clear, Reassign };
  for (bool ThroughDoEvent : {true, false}) {
    for (TAction Action : {Delete, Clear, Reassign}) {
      SCOPED_TRACE(testing::Message() << "DoEvent " << ThroughDoEvent << ", action " << Action);
      LiveProbes = 0;
      auto* S = new TSender;
      std::array<int, 16> Payload;
      for (int I = 0; I < 16; ++I) Payload[I] = I * I;
      int ProbesSeen = -1, Sum = 0;
      {
        TProbe Probe;
        S->FOnFire = [&, Action, Probe, Payload](TObject* Sender) {
          auto* Self = static_cast<TSender*>(Sender);
          if (Action == Delete) delete Self;
          if (Action == Clear) Self->FOnFire.Clear();
          if (Action == Reassign) Self->FOnFire = [](TObject*) {};
          ProbesSeen = LiveProbes;  // the captures are still alive
          for (int V : Payload) Sum += V;
        };
      }
      ASSERT_EQ(LiveProbes, 1);
      if (ThroughDoEvent)
        DoEvent(S->FOnFire, S);
      else
        S->FOnFire(S);
      EXPECT_EQ(ProbesSeen, 1);
      EXPECT_EQ(Sum, 1240);
      EXPECT_EQ(LiveProbes, 0);  // and freed once the call returned
      if (Action != Delete) delete S;
    }
  }
}

class THandler : public TObject {
  DECLARE_CLASS(THandler, TObject)
 public:
  String Name = L"işleyici";
  std::vector<String> Seen;
  void FreeSender(TObject* Sender) {
    delete Sender;
    Seen.push_back(Name);
  }
};

TEST(Closures, ABoundMethodMayFreeItsSender) {
  THandler H;
  for (bool ThroughDoEvent : {true, false}) {
    auto* S = new TSender;
    S->FOnFire = {&H, &THandler::FreeSender};
    if (ThroughDoEvent)
      DoEvent(S->FOnFire, S);
    else
      S->FOnFire(S);
  }
  EXPECT_EQ(H.Seen, (std::vector<String>{L"işleyici", L"işleyici"}));
}

}  // namespace
