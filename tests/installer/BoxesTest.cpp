#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "framework/Graphics.h"
#include "framework/SysUtils.h"
#include "installer/InputBoxU.h"
#include "installer/MessageBoxU.h"
#include "installer/QalMain.h"
#include "installer/BoxDriver.h"

namespace {

class QalBoxes : public testing::Test {
 protected:
  void SetUp() override { RegisterQalClasses(); }
};

TEST_F(QalBoxes, YesUnlocksOnlyAfterTenTicks) {
  std::unique_ptr<TMessageBox> Box(TComponent::Create<TMessageBox>(nullptr));
  Box->Timer->SetEnabled(false);  // the test ticks by itself
  EXPECT_EQ(Box->cmdEvet->GetCaption(), L"10");
  EXPECT_FALSE(Box->cmdEvet->GetEnabled());
  EXPECT_TRUE(Box->cmdHayir->GetCancel());
  const wchar_t* Seen[] = {L"9", L"8", L"7", L"6", L"5", L"4", L"3", L"2", L"1"};
  for (const wchar_t* Caption : Seen) {
    Box->TimerTimer(Box->Timer);
    EXPECT_EQ(Box->cmdEvet->GetCaption(), Caption);
    EXPECT_FALSE(Box->cmdEvet->GetEnabled()) << Caption;
  }
  Box->TimerTimer(Box->Timer);
  EXPECT_EQ(Box->cmdEvet->GetCaption(), L"&Evet");
  EXPECT_TRUE(Box->cmdEvet->GetEnabled());
  EXPECT_FALSE(Box->Timer->GetEnabled());
}

TEST_F(QalBoxes, MessageShowsWithoutItsTags) {
  std::unique_ptr<TMessageBox> Box(TComponent::Create<TMessageBox>(nullptr));
  SetMarkupText(Box->lbMessage, L"<b>Dikkat</b><br>Hizmetler <font color=\"red\">durdurulacak</font>.");
  EXPECT_EQ(Box->lbMessage->GetCaption(), L"Dikkat\r\nHizmetler durdurulacak.");
  ASSERT_NE(Box->Image1->GetPicture()->GetGraphic(), nullptr);
  EXPECT_EQ(Box->Image1->GetPicture()->GetWidth(), 150);
  EXPECT_EQ(Box->Image1->GetPicture()->GetHeight(), 130);
}

TEST_F(QalBoxes, EscapeAndAltF4AnswerNo) {
  const struct {
    const char* Way;
    std::function<void(HWND)> Act;
  } Cases[] = {
      {"Escape", [](HWND Box) { PostKey(Box, VK_ESCAPE); }},
      {"Alt+F4", [](HWND Box) { PostMessageW(Box, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"Hayır", [](HWND Box) { PostKey(Box, VK_SPACE); }},
  };
  for (const auto& C : Cases) {
    TBoxDriver Driver({L"TMessageBox", L"TInputBox"}, C.Act);
    EXPECT_EQ(TMessageBox::Show(L"Zelkor", L"Devam edilsin mi?"), 7) << C.Way;
    EXPECT_TRUE(Driver.Acted) << C.Way;
  }
}

TEST_F(QalBoxes, InputBoxAnswersTheTypedTextOnlyAfterTamam) {
  const struct {
    const char* Way;
    const wchar_t* Default;
    std::function<void(HWND)> Act;
    const wchar_t* Result;
  } Cases[] = {
      {"Enter", L"ana depo", [](HWND Box) { PostKey(Box, VK_RETURN); }, L"ANA DEPO"},
      {"Escape", L"ana depo", [](HWND Box) { PostKey(Box, VK_ESCAPE); }, L""},
      {"Alt+F4", L"ana depo", [](HWND Box) { PostMessageW(Box, WM_SYSCOMMAND, SC_CLOSE, 0); }, L""},
  };
  for (const auto& C : Cases) {
    TBoxDriver Driver({L"TMessageBox", L"TInputBox"}, C.Act);
    String Result = L"eski";
    TInputBox::Show(L"Zelkor", L"<b>Şube</b> adı:", Result, C.Default);
    EXPECT_EQ(Result, C.Result) << C.Way;
  }
}

TEST_F(QalBoxes, TamamRefusesBlanks) {
  std::unique_ptr<TInputBox> Box(TComponent::Create<TInputBox>(nullptr));
  Box->Show();
  Box->txInput->SetText(L"   ");
  Box->cmdVazgec->SetFocus();
  Box->cmdTamamClick(Box->cmdTamam);
  EXPECT_EQ(Box->GetModalResult(), mrNone);
  EXPECT_EQ(Box->GetActiveControl(), Box->txInput);
  Box->txInput->SetText(L" A ");
  Box->cmdTamamClick(Box->cmdTamam);
  EXPECT_EQ(Box->GetModalResult(), mrOk);
  EXPECT_EQ(Box->txInput->GetMaxLength(), 50);
}

}  // namespace
