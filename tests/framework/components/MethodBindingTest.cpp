#include <gtest/gtest.h>

#include "framework/Classes.h"
#include "framework/ExtCtrls.h"
#include "framework/TypInfo.h"

namespace {

// A root whose TObject part does not start at the object's address: the writer must still find
// the class of the handler's receiver and name the method.
struct TSettingsMixin {
  virtual ~TSettingsMixin() = default;
  int Filler = 0x41414141;
};

class TMixedRoot : public TSettingsMixin, public TComponent {
  DECLARE_CLASS(TMixedRoot, TComponent)
 public:
  using TComponent::TComponent;
  int Ticks = 0;
  void TimerFired(TObject*) { ++Ticks; }
  void GetChildren(TGetChildProc Proc, TComponent*) override {
    for (Integer I = 0; I < GetComponentCount(); ++I) Proc(GetComponents(I));
  }
  PUBLISHED_DECL(TMixedRoot);
};

PUBLISHED_DEF(TMixedRoot) { METHOD(TimerFired); }

std::string WriteText(TComponent* Root) {
  TMemoryStream Bin, Text;
  Bin.WriteComponent(Root);
  Bin.SetPosition(0);
  ObjectBinaryToText(&Bin, &Text);
  return std::string(static_cast<const char*>(Text.GetMemory()), size_t(Text.GetSize()));
}

TEST(MethodBinding, AHandlerOnAReceiverWithAnOffsetTObjectIsNamedWrittenAndReadBack) {
  RegisterClasses({TTimer::StaticClass(), TMixedRoot::StaticClass()});
  TMixedRoot Root(nullptr);
  Root.SetName(L"dmMain");
  auto* Timer = new TTimer(&Root);
  Timer->SetName(L"tmrPoll");
  Timer->SetEnabled(false);
  Timer->SetOnTimer({&Root, &TMixedRoot::TimerFired});

  TMethod M = GetMethodProp(Timer, L"OnTimer");
  ASSERT_TRUE(M.Code);
  EXPECT_EQ(M.Code->Name, L"TimerFired");
  EXPECT_EQ(M.Data, static_cast<TObject*>(&Root));

  std::string T = WriteText(&Root);
  EXPECT_NE(T.find("    OnTimer = TimerFired\r\n"), std::string::npos) << T;

  TMemoryStream Bin;
  Bin.WriteComponent(&Root);
  Bin.SetPosition(0);
  TMixedRoot Copy(nullptr);
  Bin.ReadComponent(&Copy);
  auto* Read = static_cast<TTimer*>(Copy.FindComponent(L"tmrPoll"));
  ASSERT_TRUE(Read);
  EXPECT_EQ(Read->GetOnTimer(), TNotifyEvent(&Copy, &TMixedRoot::TimerFired));
  DoEvent(Read->GetOnTimer(), Read);
  EXPECT_EQ(Copy.Ticks, 1);
  EXPECT_EQ(Root.Ticks, 0);
}

TEST(MethodBinding, OnlyBoundMethodsHaveNames) {
  TMixedRoot Root(nullptr);
  auto* Timer = new TTimer(&Root);
  Timer->SetEnabled(false);
  struct {
    const char* Case;
    TNotifyEvent Handler;
    bool Named;
  } Cases[] = {
      {"a published method", {&Root, &TMixedRoot::TimerFired}, true},
      {"a lambda", [](TObject*) {}, false},
      {"nothing", {}, false},
  };
  for (auto& C : Cases) {
    Timer->SetOnTimer(C.Handler);
    TMethod M = GetMethodProp(Timer, L"OnTimer");
    EXPECT_EQ(M.Code != nullptr, C.Named) << C.Case;
    EXPECT_EQ(M.Data, C.Named ? static_cast<TObject*>(&Root) : nullptr) << C.Case;
  }
}

}  // namespace
