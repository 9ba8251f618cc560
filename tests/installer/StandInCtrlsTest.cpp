#include <gtest/gtest.h>

#include <memory>

#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "installer/StandInCtrls.h"

namespace {

void StandInPump() { Application->ProcessMessages(); }

// An edit with one ellipsis button on F2, as the wizard's folder edit has it.
class QalStandInButtonEdit : public testing::Test {
 protected:
  void SetUp() override {
    Form.reset(TComponent::Create<TForm>(nullptr, 0));
    Form->SetBounds(0, 0, 300, 100);
    Edit = new TStandInButtonEdit(Form.get());
    Edit->SetParent(Form.get());
    Edit->SetBounds(10, 10, 200, 21);
    Other = new TEdit(Form.get());
    Other->SetParent(Form.get());
    Other->SetBounds(10, 40, 200, 21);
    TStandInEditButton* B = Edit->GetEditButtons()->Add();
    B->SetShortCut(ShortCut(VK_F2, {}));
    B->SetHint(L"F2");
    B->SetOnClick([this, B](TObject* Sender, bool&) {
      EXPECT_EQ(Sender, B);
      ++Clicks;
    });
    Form->Show();
    StandInPump();
  }
  void PressKey(HWND Window, WORD Key) {
    PostMessageW(Window, WM_KEYDOWN, Key, 1);
    PostMessageW(Window, WM_KEYUP, Key, 0xC0000001);
    StandInPump();
  }
  std::unique_ptr<TForm> Form;
  TStandInButtonEdit* Edit = nullptr;
  TEdit* Other = nullptr;
  int Clicks = 0;
};

TEST_F(QalStandInButtonEdit, ButtonAndShortcutClickIt) {
  const struct {
    const char* Action;
    int Clicks;
  } Cases[] = {{"F2 in the edit", 1}, {"F3 in the edit", 0}, {"F2 in another edit", 0}, {"the button pressed", 1}};
  for (const auto& C : Cases) {
    Clicks = 0;
    std::string Action = C.Action;
    if (Action == "F2 in the edit") PressKey(Edit->GetHandle(), VK_F2);
    if (Action == "F3 in the edit") PressKey(Edit->GetHandle(), VK_F3);
    if (Action == "F2 in another edit") PressKey(Other->GetHandle(), VK_F2);
    if (Action == "the button pressed") {
      SendMessageW(Edit->GetButtonControl(0)->GetHandle(), BM_CLICK, 0, 0);
      StandInPump();
    }
    EXPECT_EQ(Clicks, C.Clicks) << C.Action;
  }
}

// The button sits inside the edit's right edge, and the text stops before it.
TEST_F(QalStandInButtonEdit, TextStopsBeforeTheButton) {
  TButton* Button = Edit->GetButtonControl(0);
  ASSERT_NE(Button, nullptr);
  EXPECT_EQ(Button->GetParent(), Edit);
  EXPECT_EQ(Button->GetLeft() + Button->GetWidth(), Edit->GetClientWidth());
  EXPECT_EQ(Button->GetHint(), L"F2");
  LRESULT Margins = SendMessageW(Edit->GetHandle(), EM_GETMARGINS, 0, 0);
  EXPECT_GE(Integer(HIWORD(Margins)), Button->GetWidth());
  Edit->SetWidth(300);
  StandInPump();
  EXPECT_EQ(Button->GetLeft() + Button->GetWidth(), Edit->GetClientWidth());
  Edit->GetEditButtons()->Clear();
  EXPECT_EQ(Edit->GetButtonControl(0), nullptr);
}

}  // namespace
