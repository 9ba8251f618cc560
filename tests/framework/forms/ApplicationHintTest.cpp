#include <gtest/gtest.h>

#include "framework/controls/ControlsTestUtil.h"
#include "framework/forms/TestControls.h"

using namespace ctltest;

namespace {

void MoveOver(TControl* Control) { Control->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5)); }

TEST(HintParts, ShortBeforeTheBarLongAfterIt) {
  struct Case {
    const wchar_t* Hint;
    const wchar_t* Short;
    const wchar_t* Long;
  };
  const Case Cases[] = {
      {L"Kaydet|Belgeyi diske yazar", L"Kaydet", L"Belgeyi diske yazar"},
      {L"Yalnız", L"Yalnız", L"Yalnız"},
      {L"|Yalnız uzun", L"", L"Yalnız uzun"},
      {L"Kısa|", L"Kısa", L""},
      {L"a|b|c", L"a", L"b|c"},
      {L"", L"", L""},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(GetShortHint(C.Hint), C.Short) << C.Hint;
    EXPECT_EQ(GetLongHint(C.Hint), C.Long) << C.Hint;
  }
}

TEST(ApplicationHint, FollowsTheControlUnderTheMouseWithItsLongHint) {
  TFormHolder F;
  auto* A = new TTestPanel(F.Form);
  A->SetParent(F.Form);
  A->SetHint(L"Kaydet|Belgeyi diske yazar");
  auto* B = new TTestPanel(F.Form);
  B->SetParent(F.Form);
  B->SetBounds(0, 50, 100, 100);
  B->SetHint(L"Yalnız");
  auto* Inner = new TTestButton(F.Form);  // no hint of its own: its parent's
  Inner->SetParent(B);
  F->Show();
  Application->SetHint(L"");
  std::vector<String> Seen;
  Application->SetOnHint([&](TObject*) { Seen.push_back(Application->GetHint()); });
  MoveOver(A);
  MoveOver(A);  // no change, no event
  MoveOver(Inner);
  MoveOver(F.Form);
  Application->SetOnHint(nullptr);
  EXPECT_EQ(Seen, (std::vector<String>{L"Belgeyi diske yazar", L"Yalnız", L""}));
  EXPECT_EQ(Application->GetHint(), L"");
}

TEST(ApplicationHint, TheHintWindowTakesHintColor) {
  TFormHolder F;
  EXPECT_EQ(Application->GetHintColor(), clInfoBk);
  auto* A = new TTestPanel(F.Form);
  A->SetParent(F.Form);
  A->SetHint(L"Kaydet|Belgeyi diske yazar");
  A->SetShowHint(true);
  F->Show();
  Pump();
  Application->SetHintColor(clYellow);
  MoveOver(A);
  Application->ActivateHint(A->ClientToScreen({5, 5}));
  THintWindow* W = Application->GetHintWindow();
  ASSERT_NE(W, nullptr);
  EXPECT_EQ(W->GetColor(), clYellow);
  EXPECT_EQ(W->GetCaption(), L"Kaydet");
  Application->CancelHint();
  Application->SetHintColor(clInfoBk);
}

}  // namespace
