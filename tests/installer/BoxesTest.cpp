#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "framework/Graphics.h"
#include "framework/SysUtils.h"
#include "framework/Themes.h"
#include "htmllabel/MarkupLabel.h"
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

// Both boxes show their texts in markup labels; Show hands the caller's text over as it is.
TEST_F(QalBoxes, MessageAndPromptAreMarkupLabels) {
  std::unique_ptr<TMessageBox> Box(TComponent::Create<TMessageBox>(nullptr));
  std::unique_ptr<TInputBox> Input(TComponent::Create<TInputBox>(nullptr));
  const struct {
    TMarkupLabel* Label;
    Integer Width, Height, Size;
    bool Styled;
  } Labels[] = {{Box->lbMessage, 403, 96, 10, true}, {Input->lbPrompt, 381, 43, 9, false}};
  for (const auto& C : Labels) {
    EXPECT_EQ(C.Label->GetWidth(), C.Width);
    EXPECT_EQ(C.Label->GetHeight(), C.Height);
    EXPECT_EQ(C.Label->GetFont()->GetName(), L"Tahoma");
    EXPECT_EQ(C.Label->GetFont()->GetSize(), C.Size);
    EXPECT_EQ(C.Label->GetFont()->GetColor(), TColor(clWhite));
    EXPECT_TRUE(C.Label->GetTransparent());
    EXPECT_EQ(C.Label->GetVAlignment(), tvaCenter);
    EXPECT_EQ(C.Label->GetStyleElements().Contains(seClient), C.Styled);  // the input box turns it off
    EXPECT_EQ(C.Label->GetHTMLText()->GetCount(), 0);
  }
  ASSERT_NE(Box->Image1->GetPicture()->GetGraphic(), nullptr);
  EXPECT_EQ(Box->Image1->GetPicture()->GetWidth(), 150);
  EXPECT_EQ(Box->Image1->GetPicture()->GetHeight(), 130);

  const String Message = L"<b>Zelkor-PG10</b> veritabanı hizmeti <font color=\"clRed\">durdurulamadı</font>.";
  String Shown, Plain;
  {
    TBoxDriver Driver({L"TMessageBox", L"TInputBox"}, [&](HWND Wnd) {
      if (auto* M = dynamic_cast<TMessageBox*>(FindControl(Wnd))) {
        Shown = M->lbMessage->GetHTMLText()->GetText();
        Plain = M->lbMessage->GetText();
      }
      PostKey(Wnd, VK_ESCAPE);
    });
    TMessageBox::Show(L"Uyarı", Message);
  }
  EXPECT_EQ(Shown, Message + L"\r\n");
  EXPECT_EQ(Plain, L"Zelkor-PG10 veritabanı hizmeti durdurulamadı.");
  {
    TBoxDriver Driver({L"TMessageBox", L"TInputBox"}, [&](HWND Wnd) {
      if (auto* I = dynamic_cast<TInputBox*>(FindControl(Wnd))) Plain = I->lbPrompt->GetText();
      PostKey(Wnd, VK_ESCAPE);
    });
    String Result;
    TInputBox::Show(L"Zelkor", L"<b>Şube</b> adı:", Result, L"");
  }
  EXPECT_EQ(Plain, L"Şube adı:");
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

// ---- On a real screen ----

// The columns of the screen rectangle R (screen coordinates) where light text lies on the dark
// style background, in the first line of text: its first column, and the first column after the
// first word (the first gap of at least Gap empty columns); the first and last rows with text.
struct TInk {
  Integer Left = -1, WordEnd = -1, Top = -1, Bottom = -1;
};

TInk ReadScreen(const TRect& R, Integer Gap) {
  TBitmap Shot;
  Shot.SetPixelFormat(pf24bit);
  Shot.SetSize(R.Width(), R.Height());
  HDC Screen = GetDC(nullptr);
  BitBlt(Shot.GetCanvas()->GetHandle(), 0, 0, R.Width(), R.Height(), Screen, R.Left, R.Top, SRCCOPY);
  ReleaseDC(nullptr, Screen);
  auto Light = [&](Integer X, Integer Y) {
    TColorRef C = ColorToRGB(Shot.GetCanvas()->GetPixel(X, Y));
    return GetRValue(C) + GetGValue(C) + GetBValue(C) > 3 * 150;
  };
  TInk Ink;
  std::vector<bool> Rows(size_t(R.Height()));
  for (Integer Y = 0; Y < R.Height(); ++Y)
    for (Integer X = 0; X < R.Width() && !Rows[size_t(Y)]; ++X) Rows[size_t(Y)] = Light(X, Y);
  for (Integer Y = 0; Y < R.Height(); ++Y)
    if (Rows[size_t(Y)]) {
      if (Ink.Top < 0) Ink.Top = Y;
      Ink.Bottom = Y;
    }
  if (Ink.Top < 0) return Ink;
  Integer LineEnd = Ink.Top;
  while (LineEnd < R.Height() && Rows[size_t(LineEnd)]) ++LineEnd;
  Integer Empty = 0;
  for (Integer X = 0; X < R.Width() && Ink.WordEnd < 0; ++X) {
    bool Any = false;
    for (Integer Y = Ink.Top; Y < LineEnd && !Any; ++Y) Any = Light(X, Y);
    if (Any) {
      if (Ink.Left < 0) Ink.Left = X;
      Empty = 0;
    } else if (Ink.Left >= 0 && ++Empty >= Gap) {
      Ink.WordEnd = X - Empty + 1;
    }
  }
  return Ink;
}

// The wizard's question when a database service does not stop: the service name is bold, and the
// text stands in the middle of the label under the wizard's style.
TEST(QalBoxesOnScreen, StopFailureQuestionShowsTheServiceNameBold) {
  RegisterQalClasses();
  ASSERT_TRUE(TStyleManager::TrySetStyle(L"Material Black Pearl", false));
  struct TBack {
    ~TBack() { TStyleManager::TrySetStyle(TStyleManager::SystemStyleName, false); }
  } Back;
  const String Name = L"Zelkor-PG10";
  const String Rest = L" veritabanı hizmeti durdurulamadı. Bu durumda alınacak yedek bozuk/eksik olabilir. "
                      L"Yine de devam etmek istiyor musunuz?";
  TBitmap Measure;
  TFont* F = Measure.GetCanvas()->GetFont();
  F->SetName(L"Tahoma");
  F->SetHeight(-13);
  const Integer Plain = Measure.GetCanvas()->TextWidth(Name), Space = Measure.GetCanvas()->TextWidth(L" ");
  F->SetStyle({fsBold});
  const Integer Bold = Measure.GetCanvas()->TextWidth(Name);
  ASSERT_GT(Bold, Plain);

  auto Show = [&](const String& Message) {
    TInk Ink;
    Integer Height = 0;
    TBoxDriver Driver({L"TMessageBox", L"TInputBox"}, [&](HWND Wnd) {
      RedrawWindow(Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
      if (auto* M = dynamic_cast<TMessageBox*>(FindControl(Wnd))) {
        TMarkupLabel* L = M->lbMessage;
        const TPoint P = M->ClientToScreen(TPoint(L->GetLeft(), L->GetTop()));
        Height = L->GetHeight();
        Ink = ReadScreen(TRect(P.X, P.Y, P.X + L->GetWidth(), P.Y + Height), std::max<Integer>(Space - 1, 2));
      }
      PostKey(Wnd, VK_ESCAPE);
    });
    EXPECT_EQ(TMessageBox::Show(L"Uyarı", Message), 7);
    EXPECT_GE(Ink.Top, 0) << "no text on the screen";
    // Three lines in a label of 96 pixels: the free rows above and below are alike.
    EXPECT_GT(Ink.Top, 6);
    EXPECT_LE(std::abs(Ink.Top - (Height - 1 - Ink.Bottom)), 8) << Ink.Top << " " << Ink.Bottom;
    return Ink.WordEnd - Ink.Left;
  };
  const Integer BoldInk = Show(L"<b>" + Name + L"</b>" + Rest);
  const Integer PlainInk = Show(Name + Rest);
  EXPECT_GT(BoldInk, PlainInk);
  EXPECT_NEAR(BoldInk, Bold, 3);
  EXPECT_NEAR(PlainInk, Plain, 3);
}

}  // namespace
