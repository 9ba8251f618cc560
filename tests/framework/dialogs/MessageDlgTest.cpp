#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "framework/Dialogs.h"
#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"
#include "framework/StdCtrls.h"
#include "framework/SysUtils.h"
#include "framework/graphics/Bitmap.h"
#include "framework/controls/ControlsTestUtil.h"
#include "framework/dialogs/DialogDriver.h"
#include "framework/themes/ThemesTestUtil.h"

using namespace dlgtest;

namespace {

// The dialog form shown now, once its control Name exists and it has the focus.
TCustomForm* ShownDialog(const wchar_t* Name) {
  TCustomForm* F = Screen->GetActiveForm();
  if (!F || !F->GetVisible() || !F->FindComponent(Name) || !GetFocus()) return nullptr;
  return F;
}

std::vector<String> ButtonCaptions(TForm* F) {
  std::vector<String> Captions;
  for (Integer I = 0; I < F->GetComponentCount(); ++I)
    if (auto* B = dynamic_cast<TButton*>(F->GetComponents(I))) Captions.push_back(B->GetCaption());
  return Captions;
}

TEST(MessageDlg, ButtonSetsGiveCaptionsDefaultAndCancelButtons) {
  struct Case {
    TMsgDlgButtons Buttons;
    std::vector<String> Captions;
    TModalResult Default;
    TModalResult Cancel;  // mrNone: no button cancels
  };
  const Case Cases[] = {
      {mbYesNo, {L"&Yes", L"&No"}, mrYes, mrNo},
      {mbYesNoCancel, {L"&Yes", L"&No", L"Cancel"}, mrYes, mrCancel},
      {{mbOK}, {L"OK"}, mrOk, mrOk},
      {mbOKCancel, {L"OK", L"Cancel"}, mrOk, mrCancel},
      {mbAbortRetryIgnore, {L"&Abort", L"&Retry", L"&Ignore"}, mrAbort, mrNone},
      {mbYesAllNoAllCancel, {L"&Yes", L"&No", L"Cancel", L"N&o to All", L"Yes to &All"}, mrYes, mrCancel},
      {{mbAll, mbHelp, mbClose}, {L"&All", L"&Help", L"&Close"}, mrAll, mrClose},
      {{}, {L"OK"}, mrOk, mrOk},
  };
  for (const Case& C : Cases) {
    std::unique_ptr<TForm> F(CreateMessageDialog(L"Devam edilsin mi?", mtConfirmation, C.Buttons));
    EXPECT_EQ(ButtonCaptions(F.get()), C.Captions);
    TModalResult Default = mrNone, Cancel = mrNone;
    for (Integer I = 0; I < F->GetComponentCount(); ++I)
      if (auto* B = dynamic_cast<TButton*>(F->GetComponents(I))) {
        if (B->GetDefault()) Default = B->GetModalResult();
        if (B->GetCancel()) Cancel = B->GetModalResult();
        // Each button's window id is the result it answers (the help button's is mrHelp).
        TModalResult Id = B->GetModalResult() != mrNone ? B->GetModalResult() : mrHelp;
        EXPECT_EQ(GetDlgItem(F->GetHandle(), Id), B->GetHandle()) << B->GetCaption();
      }
    EXPECT_EQ(Default, C.Default) << C.Captions[0];
    EXPECT_EQ(Cancel, C.Cancel) << C.Captions[0];
    // A close box only where a button cancels.
    bool CloseBox = (GetWindowLongPtrW(F->GetHandle(), GWL_STYLE) & WS_SYSMENU) != 0;
    EXPECT_EQ(CloseBox, C.Cancel != mrNone) << C.Captions[0];
  }
}

TEST(MessageDlg, TypeGivesCaptionAndIcon) {
  struct Case {
    TMsgDlgType Type;
    String Caption;
    bool Icon;
  };
  const Case Cases[] = {
      {mtWarning, L"Warning", true},     {mtError, L"Error", true},
      {mtInformation, L"Information", true}, {mtConfirmation, L"Confirm", true},
      {mtCustom, Application->GetTitle(), false},
  };
  for (const Case& C : Cases) {
    std::unique_ptr<TForm> F(CreateMessageDialog(L"İşlem tamamlandı", C.Type, {mbOK}));
    EXPECT_EQ(F->GetCaption(), C.Caption);
    auto* Image = dynamic_cast<TImage*>(F->FindComponent(L"Image"));
    EXPECT_EQ(Image != nullptr, C.Icon) << C.Caption;
    if (Image) EXPECT_EQ(Image->GetPicture()->GetWidth(), 32);
    auto* Label = dynamic_cast<TLabel*>(F->FindComponent(L"Message"));
    ASSERT_NE(Label, nullptr);
    EXPECT_EQ(Label->GetCaption(), L"İşlem tamamlandı");
  }
}

TEST(MessageDlg, LongTextWrapsAndEverythingFitsInTheForm) {
  String Long;
  for (int I = 0; I < 60; ++I) Long += L"kelime ";
  std::unique_ptr<TForm> F(CreateMessageDialog(Long, mtWarning, mbYesNoCancel));
  auto* Label = dynamic_cast<TLabel*>(F->FindComponent(L"Message"));
  ASSERT_NE(Label, nullptr);
  EXPECT_LE(Label->GetWidth(), Screen->GetWidth() / 2 + 1);
  EXPECT_GT(Label->GetHeight(), 2 * std::abs(Label->GetFont()->GetHeight()));  // several lines
  for (Integer I = 0; I < F->GetControlCount(); ++I) {
    TControl* C = F->GetControl(I);
    EXPECT_GE(C->GetLeft(), 0);
    EXPECT_LE(C->GetLeft() + C->GetWidth(), F->GetClientWidth()) << C->GetName();
    EXPECT_LE(C->GetTop() + C->GetHeight(), F->GetClientHeight()) << C->GetName();
  }
  // The buttons stand below the text.
  auto* Yes = dynamic_cast<TControl*>(F->FindComponent(L"Yes"));
  ASSERT_NE(Yes, nullptr);
  EXPECT_GT(Yes->GetTop(), Label->GetTop() + Label->GetHeight());
}

enum TAction { aEnter, aEscape, aCharN, aCloseBox };

TEST(MessageDlg, AnsweredByPostedKeysReturnsThePressedButton) {
  struct Case {
    TMsgDlgButtons Buttons;
    TMsgDlgBtn DefaultButton;
    TAction Action;
    TModalResult Expected;
  };
  const Case Cases[] = {
      {mbYesNo, mbOK, aEnter, mrYes},
      {mbYesNo, mbOK, aEscape, mrNo},
      {mbYesNoCancel, mbOK, aEscape, mrCancel},
      {mbOKCancel, mbCancel, aEnter, mrCancel},  // the chosen default button
      {mbYesNoCancel, mbOK, aCharN, mrNo},        // the accelerator of "&No"
      {{mbOK}, mbOK, aEscape, mrOk},
      {mbYesNo, mbOK, aCloseBox, mrNo},
      {mbYesNoCancel, mbOK, aCloseBox, mrCancel},
  };
  for (const Case& C : Cases) {
    TAction Action = C.Action;
    TDialogDriver Driver({[Action] {
      if (!ShownDialog(L"Message")) return false;
      HWND Focus = GetFocus();
      switch (Action) {
        case aEnter: PostKey(Focus, VK_RETURN); break;
        case aEscape: PostKey(Focus, VK_ESCAPE); break;
        case aCharN: PostText(Focus, L"n"); break;
        case aCloseBox: PostMessageW(Screen->GetActiveForm()->GetHandle(), WM_CLOSE, 0, 0); break;
      }
      return true;
    }});
    EXPECT_EQ(MessageDlg(L"Kurulum devam etsin mi?", mtConfirmation, C.Buttons, 0, C.DefaultButton), C.Expected)
        << int(C.Action);
    EXPECT_TRUE(Driver.Finished());
  }
}

TEST(MessageDlg, MessageDlgPosPlacesTheDialog) {
  RECT Seen{};
  TDialogDriver Driver({[&] {
    TCustomForm* F = ShownDialog(L"Message");
    if (!F) return false;
    GetWindowRect(F->GetHandle(), &Seen);
    PostKey(GetFocus(), VK_RETURN);
    return true;
  }});
  EXPECT_EQ(MessageDlgPos(L"Konum", mtInformation, {mbOK}, 0, 40, 30), mrOk);
  EXPECT_EQ(Seen.left, 40);
  EXPECT_EQ(Seen.top, 30);
}

TEST(ShowMessage, PlainBoxWithTheApplicationTitleAndOneButton) {
  String Caption;
  std::vector<String> Buttons;
  TDialogDriver Driver({[&] {
    TCustomForm* F = ShownDialog(L"Message");
    if (!F) return false;
    Caption = F->GetCaption();
    Buttons = ButtonCaptions(static_cast<TForm*>(F));
    PostKey(GetFocus(), VK_RETURN);
    return true;
  }});
  ShowMessage(L"Lütfen alanları doldurunuz");
  EXPECT_TRUE(Driver.Finished());
  EXPECT_EQ(Caption, Application->GetTitle());
  EXPECT_EQ(Buttons, std::vector<String>{L"OK"});
}

// ---- The user's language and the active style --------------------------------------------------

// The tests run under an English and a Turkish user (tr_suites): the expected text follows the
// user's locale.
bool MessageDlgTestTurkishUser() { return SysLocale.PriLangID == LANG_TURKISH; }

TEST(MessageDlgTexts, ButtonsAndCaptionsSpeakTheUsersLanguage) {
  struct Case {
    TMsgDlgBtn Button;
    const wchar_t* English;
    const wchar_t* Turkish;
  };
  const Case Cases[] = {
      {mbYes, L"&Yes", L"&Evet"},           {mbNo, L"&No", L"&Hayır"},
      {mbOK, L"OK", L"Tamam"},              {mbCancel, L"Cancel", L"İptal"},
      {mbAbort, L"&Abort", L"&Durdur"},     {mbRetry, L"&Retry", L"&Yeniden Dene"},
      {mbIgnore, L"&Ignore", L"&Yoksay"},   {mbAll, L"&All", L"&Tümü"},
      {mbNoToAll, L"N&o to All", L"Tümüne H&ayır"}, {mbYesToAll, L"Yes to &All", L"Tümüne E&vet"},
      {mbHelp, L"&Help", L"&Yardım"},       {mbClose, L"&Close", L"&Kapat"},
  };
  bool Turkish = MessageDlgTestTurkishUser();
  TMsgDlgButtons Every;
  std::vector<String> Expected;
  for (const Case& C : Cases) {
    EXPECT_EQ(MsgDlgButtonCaption(C.Button), C.*(Turkish ? &Case::Turkish : &Case::English));
    Every.Include(C.Button);
    Expected.push_back(Turkish ? C.Turkish : C.English);
  }
  // The buttons the dialog makes carry the same texts.
  std::unique_ptr<TForm> F(CreateMessageDialog(L"Devam edilsin mi?", mtConfirmation, Every));
  EXPECT_EQ(ButtonCaptions(F.get()), Expected);

  const struct {
    TMsgDlgType Type;
    const wchar_t* English;
    const wchar_t* Turkish;
  } Types[] = {
      {mtWarning, L"Warning", L"Uyarı"},
      {mtError, L"Error", L"Hata"},
      {mtInformation, L"Information", L"Bilgi"},
      {mtConfirmation, L"Confirm", L"Onay"},
  };
  for (const auto& T : Types) {
    std::unique_ptr<TForm> D(CreateMessageDialog(L"İşlem tamamlandı", T.Type, {mbOK}));
    EXPECT_EQ(D->GetCaption(), Turkish ? T.Turkish : T.English);
  }
  EXPECT_EQ(MsgDlgTypeCaption(mtCustom), Application->GetTitle());
}

TEST(MessageDlgTexts, TheExceptionBoxIsAMessageFormWithTheTitle) {
  String Caption, Text;
  std::vector<String> Buttons;
  bool Icon = false;
  TDialogDriver Driver({[&] {
    TCustomForm* F = ShownDialog(L"Message");
    if (!F) return false;
    Caption = F->GetCaption();
    Text = static_cast<TLabel*>(F->FindComponent(L"Message"))->GetCaption();
    Buttons = ButtonCaptions(static_cast<TForm*>(F));
    Icon = F->FindComponent(L"Image") != nullptr;
    PostKey(GetFocus(), VK_RETURN);
    return true;
  }});
  Exception E(L"Dosya bulunamadı");
  Application->ShowException(&E);
  EXPECT_TRUE(Driver.Finished());
  EXPECT_EQ(Caption, Application->GetTitle());
  EXPECT_EQ(Text, L"Dosya bulunamadı.");
  EXPECT_EQ(Buttons, std::vector<String>{MessageDlgTestTurkishUser() ? L"Tamam" : L"OK"});
  EXPECT_TRUE(Icon);
}

// The lightest pixel of R on a bitmap.
Integer MessageDlgTestLightest(TBitmap& B, const TRect& R) {
  Integer Light = 0;
  for (Integer Y = R.Top; Y < R.Bottom; ++Y)
    for (Integer X = R.Left; X < R.Right; ++X)
      Light = std::max(Light, themetest::Luminance(B.GetCanvas()->GetPixel(X, Y)));
  return Light;
}

TEST(MessageDlgStyle, TheDialogWearsTheActiveStyle) {
  themetest::TPearlStyle Pearl;
  std::unique_ptr<TForm> F(CreateMessageDialog(L"Kurulum tamamlandı", mtInformation, mbOKCancel));
  F->HandleNeeded();
  TBitmap Surface(F->GetClientWidth(), F->GetClientHeight());
  F->Perform(WM_ERASEBKGND, WPARAM(Surface.GetCanvas()->GetHandle()), 0);
  EXPECT_EQ(Surface.GetCanvas()->GetPixel(2, 2), themetest::Hex(0x17181C));

  auto* Ok = static_cast<TButton*>(F->FindComponent(L"OK"));
  ASSERT_NE(Ok, nullptr);
  TBitmap B(Ok->GetWidth(), Ok->GetHeight());
  B.GetCanvas()->GetBrush()->SetColor(clWhite);
  B.GetCanvas()->FillRect(TRect(0, 0, Ok->GetWidth(), Ok->GetHeight()));
  Ok->Perform(WM_PAINT, WPARAM(B.GetCanvas()->GetHandle()), 0);
  EXPECT_LT(themetest::Luminance(B.GetCanvas()->GetPixel(4, Ok->GetHeight() / 2)), 90) << "button face";
  EXPECT_GT(MessageDlgTestLightest(B, TRect(0, 0, Ok->GetWidth(), Ok->GetHeight())), 180) << "button text";

  // The message itself: light text on the dark surface.
  F->Perform(WM_PAINT, WPARAM(Surface.GetCanvas()->GetHandle()), 0);
  auto* Label = static_cast<TLabel*>(F->FindComponent(L"Message"));
  EXPECT_GT(MessageDlgTestLightest(Surface, Label->GetBoundsRect()), 180) << "message text";
}

// ---- Input query ----------------------------------------------------------------------------------

TEST(InputQuery, AnsweredByPostedKeysReturnsTheTypedText) {
  struct Case {
    String Default;
    String Typed;
    Word Key;
    bool Result;
    String Value;
  };
  const Case Cases[] = {
      {L"abc", L"Zelkor", VK_RETURN, true, L"Zelkor"},  // typing replaces the selected default
      {L"abc", L"", VK_RETURN, true, L"abc"},
      {L"", L"İstanbul ş ğ", VK_RETURN, true, L"İstanbul ş ğ"},
      {L"abc", L"x", VK_ESCAPE, false, L"abc"},        // cancelled: the value stays
  };
  for (const Case& C : Cases) {
    String Prompt;
    TDialogDriver Driver({[&] {
                            TCustomForm* F = ShownDialog(L"Value");
                            if (!F) return false;
                            Prompt = static_cast<TLabel*>(F->FindComponent(L"Prompt"))->GetCaption();
                            PostText(GetFocus(), C.Typed);
                            return true;
                          },
                          [&] {
                            PostKey(GetFocus(), C.Key);
                            return true;
                          }});
    String Value = C.Default;
    EXPECT_EQ(InputQuery(L"Sunucu", L"Sunucu adı:", Value), C.Result) << C.Typed;
    EXPECT_EQ(Value, C.Value);
    EXPECT_EQ(Prompt, L"Sunucu adı:");
  }
}

TEST(InputBox, CancelledAnswersTheDefault) {
  TDialogDriver Driver({[] {
    if (!ShownDialog(L"Value")) return false;
    PostText(GetFocus(), L"yeni");
    PostKey(GetFocus(), VK_ESCAPE);
    return true;
  }});
  EXPECT_EQ(InputBox(L"Sunucu", L"Ad:", L"eski"), L"eski");
}

}  // namespace
