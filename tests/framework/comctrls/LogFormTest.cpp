#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/ComCtrls.h"
#include "framework/Menus.h"
#include "framework/SysUtils.h"
#include "framework/controls/ControlsTestUtil.h"

using namespace ctltest;

namespace {

// A log window as the wizard has one: menu bar, progress bars, a coloured log with its popup menu
// and a status bar, all from one form resource.
class TLogForm : public TForm {
  DECLARE_CLASS(TLogForm, TForm)
 public:
  using TForm::TForm;
  std::vector<String> Log;
  std::vector<WPARAM> KeysOnPopup;
  void mnuTemizleClick(TObject*) { Log.push_back(L"mnuTemizle"); }
  void pmKopyalaClick(TObject*) { Log.push_back(L"pmKopyala"); }
  void PopupMenu1Popup(TObject*) {
    for (WPARAM Key : KeysOnPopup) PostMessageW(GetPopupList()->GetWindow(), WM_KEYDOWN, Key, 1);
  }
  template <class T>
  T* Find(const wchar_t* Name) {
    auto* C = dynamic_cast<T*>(FindComponent(Name));
    EXPECT_NE(C, nullptr) << Name;
    return C;
  }
  PUBLISHED_DECL(TLogForm);
};

PUBLISHED_DEF(TLogForm) {
  METHOD(mnuTemizleClick);
  METHOD(pmKopyalaClick);
  METHOD(PopupMenu1Popup);
}

void AddLine(TRichEdit* R, const String& Text, TColor Color) {
  R->SetSelStart(R->GetTextLen());
  R->SetSelLength(0);
  R->GetSelAttributes()->SetColor(Color);
  R->SetSelText(Text + L"\r\n");
  R->ScrollToCaret();
}

TEST(LogForm, OneResourceGivesMenuProgressLogAndStatusThatWork) {
  RegisterComControls();
  RegisterMenus();
  RegisterClasses({TLogForm::StaticClass()});
  auto* F = new TLogForm(nullptr);
  F->AfterConstruction();
  std::unique_ptr<TLogForm> Holder(F);
  F->Show();
  Pump();

  EXPECT_NE(GetMenu(F->GetHandle()), nullptr) << "the menu bar is on the window";
  auto* Status = F->Find<TStatusBar>(L"StatusBar1");
  wchar_t B[64] = {};
  SendMessageW(Status->GetHandle(), SB_GETTEXTW, 1, LPARAM(B));
  EXPECT_EQ(String(B), L"Sürüm 7.8");

  auto* Main = F->Find<TProgressBar>(L"pbMain");
  auto* Wait = F->Find<TProgressBar>(L"pbWait");
  EXPECT_TRUE(GetWindowLongPtrW(Wait->GetHandle(), GWL_STYLE) & PBS_MARQUEE);
  EXPECT_FALSE(GetWindowLongPtrW(Main->GetHandle(), GWL_STYLE) & PBS_MARQUEE);
  Main->StepIt();
  Main->StepIt();
  EXPECT_EQ(SendMessageW(Main->GetHandle(), PBM_GETPOS, 0, 0), 2);

  auto* Log = F->Find<TRichEdit>(L"reLog");
  const TColor Colors[] = {clWhite, clLime, clRed};
  for (int I = 0; I < 30; ++I) AddLine(Log, L"- [12:00:0" + IntToStr(I % 10) + L"] satır " + IntToStr(I), Colors[I % 3]);
  EXPECT_GT(Log->GetFirstVisibleLine(), 0) << "the view follows the last line";
  Log->SetSelStart(Log->FindText(L"satır 29", 0, Log->GetTextLen(), true, false));
  Log->SetSelLength(1);
  EXPECT_EQ(Log->GetSelAttributes()->GetColor(), clRed);

  // The log's popup menu, chosen by keys; the main menu's item by its shortcut.
  F->KeysOnPopup = {VK_DOWN, VK_RETURN};
  Log->GetPopupMenu()->Popup(40, 40);
  EXPECT_EQ(F->Log, (std::vector<String>{L"pmKopyala"}));
  F->Log.clear();
  Log->SetFocus();
  Pump();
  BYTE Keys[256] = {};
  GetKeyboardState(Keys);
  Keys[VK_CONTROL] = 0x80;
  SetKeyboardState(Keys);
  PostMessageW(Log->GetHandle(), WM_KEYDOWN, 'L', 1);
  Pump();
  Keys[VK_CONTROL] = 0;
  SetKeyboardState(Keys);
  EXPECT_EQ(F->Log, (std::vector<String>{L"mnuTemizle"}));
}

}  // namespace
