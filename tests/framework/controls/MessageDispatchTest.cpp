#include <gtest/gtest.h>

#include "framework/controls/ControlsTestUtil.h"

namespace {

constexpr Cardinal WM_TEST_A = WM_USER + 101;
constexpr Cardinal WM_TEST_B = WM_USER + 102;

std::vector<String> Trace;

class TBaseCtl : public TCustomControl {
  DECLARE_CLASS(TBaseCtl, TCustomControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_TEST_A, TMessage, WMTestA)
    MESSAGE_HANDLER(WM_TEST_B, TMessage, WMTestB)
  END_MESSAGE_MAP

 public:
  using TCustomControl::TCustomControl;
  void DefaultHandler(void* Message) override {
    auto* M = static_cast<TMessage*>(Message);
    if (M->Msg == WM_TEST_A || M->Msg == WM_TEST_B) Trace.push_back(L"default");
    inherited::DefaultHandler(Message);
  }

 protected:
  void WMTestA(TMessage& Message) {
    Trace.push_back(L"base A");
    inherited::Dispatch(&Message);  // the default handler answers 0 for a message it does not know
    Message.Result += 10;
  }
  void WMTestB(TMessage& Message) {
    Trace.push_back(L"base B");
    Message.Result = 7;
  }
};

class TDerivedCtl : public TBaseCtl {
  DECLARE_CLASS(TDerivedCtl, TBaseCtl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_TEST_A, TMessage, WMTestA)
    MESSAGE_HANDLER(WM_KEYDOWN, TWMKeyDown, WMKeyDown)
  END_MESSAGE_MAP

 public:
  using TBaseCtl::TBaseCtl;

 protected:
  void WMTestA(TMessage& Message) {
    Trace.push_back(L"derived A");
    inherited::Dispatch(&Message);
    Message.Result += 1;
  }
  void WMKeyDown(TWMKeyDown& Message) {
    Trace.push_back(L"derived key " + std::to_wstring(Message.CharCode));
    inherited::Dispatch(&Message);
  }
};

TEST(MessageDispatch, SubclassHandlerRunsFirstAndPassesToInherited) {
  ctltest::TFormHolder Form;
  auto* C = new TDerivedCtl(Form.Form);
  C->SetParent(Form.Form);
  Trace.clear();
  EXPECT_EQ(C->Perform(WM_TEST_A), 11);
  EXPECT_EQ(Trace, (std::vector<String>{L"derived A", L"base A", L"default"}));

  // A message only the base class maps reaches the base handler, which does not go on.
  Trace.clear();
  EXPECT_EQ(C->Perform(WM_TEST_B), 7);
  EXPECT_EQ(Trace, (std::vector<String>{L"base B"}));
}

TEST(MessageDispatch, SentWindowMessagesGoThroughTheWindowProcedure) {
  ctltest::TFormHolder Form;
  auto* C = new TDerivedCtl(Form.Form);
  C->SetParent(Form.Form);
  Trace.clear();
  EXPECT_EQ(SendMessageW(C->GetHandle(), WM_TEST_A, 0, 0), 11);
  EXPECT_EQ(Trace.size(), 3u);
}

TEST(MessageDispatch, InheritedKeyHandlerStillFiresOnKeyDown) {
  ctltest::TFormHolder Form;
  auto* C = new TDerivedCtl(Form.Form);
  C->SetParent(Form.Form);
  Word Seen = 0;
  C->SetOnKeyDown([&](TObject*, Word& Key, TShiftState) { Seen = Key; });
  Trace.clear();
  C->Perform(WM_KEYDOWN, 'Q', 0);
  EXPECT_EQ(Trace.front(), L"derived key 81");
  EXPECT_EQ(Seen, 'Q');
}

TEST(MessageDispatch, RecordsAreViewsOfTheSame32Bytes) {
  TMessage M;
  M.Msg = WM_KEYDOWN;
  M.WParam = 0x41;
  M.LParam = 0x20000001;
  auto& K = reinterpret_cast<TWMKey&>(M);
  EXPECT_EQ(K.CharCode, 0x41);
  EXPECT_EQ(K.KeyData, 0x20000001);
  K.Result = -5;
  EXPECT_EQ(M.Result, -5);
  M.LParam = MAKELPARAM(Word(-3), Word(-7));
  EXPECT_EQ(LParamToPoint(M.LParam), TPoint(-3, -7));
  auto& Mouse = reinterpret_cast<TWMMouse&>(M);
  EXPECT_EQ(Mouse.XPos, -3);
  EXPECT_EQ(Mouse.YPos, -7);
}

// ---- Component notices sent when the framework's state changes ---------------------------------

class TNoticeLog : public TCustomControl {
  DECLARE_CLASS(TNoticeLog, TCustomControl)
 public:
  using TCustomControl::TCustomControl;
  std::vector<Cardinal> Seen;

 protected:
  void WndProc(TMessage& Message) override {
    if (Message.Msg >= CM_BASE && Message.Msg < CM_BASE + 0x100) Seen.push_back(Message.Msg);
    inherited::WndProc(Message);
  }
};

TEST(ComponentMessages, StateChangesSendTheirNotices) {
  ctltest::TFormHolder Form;
  auto* Parent = new TNoticeLog(Form.Form);
  Parent->SetParent(Form.Form);
  auto* C = new TNoticeLog(Form.Form);
  C->SetParent(Parent);
  struct Case {
    const char* Name;
    std::function<void()> Change;
    TNoticeLog* Target;
    Cardinal Expected;
  };
  const Case Cases[] = {
      {"enabled", [&] { C->SetEnabled(false); }, C, CM_ENABLEDCHANGED},
      {"visible", [&] { C->SetVisible(false); }, C, CM_VISIBLECHANGED},
      {"text", [&] { C->SetText(L"abc"); }, C, CM_TEXTCHANGED},
      {"cursor", [&] { C->SetCursor(crHandPoint); }, C, CM_CURSORCHANGED},
      {"show hint", [&] { C->SetShowHint(true); }, C, CM_SHOWHINTCHANGED},
      {"parent show hint", [&] { Parent->SetShowHint(true); }, C, CM_PARENTSHOWHINTCHANGED},
      {"bidi", [&] { Parent->SetBiDiMode(bdRightToLeft); }, C, CM_PARENTBIDIMODECHANGED},
      {"style elements", [&] { C->SetStyleElements({seFont}); }, C, CM_STYLECHANGED},
      {"tab stop", [&] { C->SetTabStop(true); }, C, CM_TABSTOPCHANGED},
      {"recreate", [&] { C->SetVisible(true); C->HandleNeeded(); C->RecreateWnd(); }, C, CM_RECREATEWND},
      {"child added", [&] { (new TNoticeLog(Form.Form))->SetParent(Parent); }, Parent, CM_CONTROLCHANGE},
  };
  for (const auto& K : Cases) {
    K.Target->Seen.clear();
    K.Change();
    EXPECT_NE(std::find(K.Target->Seen.begin(), K.Target->Seen.end(), K.Expected), K.Target->Seen.end()) << K.Name;
  }
  // Setting a value it already has sends nothing.
  C->Seen.clear();
  C->SetEnabled(false);
  C->SetText(L"abc");
  EXPECT_TRUE(C->Seen.empty());
}

TEST(ComponentMessages, ParentShowHintFollowsTheParentUntilSetOwnValue) {
  ctltest::TFormHolder Form;
  auto* Parent = new TNoticeLog(Form.Form);
  Parent->SetParent(Form.Form);
  auto* C = new TNoticeLog(Form.Form);
  C->SetParent(Parent);
  Parent->SetShowHint(true);
  EXPECT_TRUE(C->GetShowHint());
  C->SetShowHint(false);
  EXPECT_FALSE(C->GetParentShowHint());
  Parent->SetShowHint(false);
  Parent->SetShowHint(true);
  EXPECT_FALSE(C->GetShowHint());
}

TEST(ComponentMessages, ChildNotificationsAreReflectedToTheChild) {
  ctltest::TFormHolder Form;
  auto* C = new TNoticeLog(Form.Form);
  C->SetParent(Form.Form);
  struct TReflect : public TCustomControl {
    using TCustomControl::TCustomControl;
    Cardinal Got = 0;
    void WndProc(TMessage& M) override {
      if (M.Msg == CN_COMMAND) {
        Got = M.Msg;
        M.Result = 42;
        return;
      }
      TCustomControl::WndProc(M);
    }
  };
  auto* R = new TReflect(Form.Form);
  R->SetParent(Form.Form);
  LRESULT Res = SendMessageW(Form->GetHandle(), WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), LPARAM(R->GetHandle()));
  EXPECT_EQ(R->Got, CN_COMMAND);
  EXPECT_EQ(Res, 42);
}

}  // namespace
