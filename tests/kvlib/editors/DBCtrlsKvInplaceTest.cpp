// The data-aware edit as a holder's cell editor: a refused holder, hiding without Visible, the
// holder seeing messages and keys first, and a quick second press as a double click.

#include "kvlib/editors/DBCtrlsKv.h"

#include <gtest/gtest.h>

#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"
#include "kvlib/foundation/ButtonsKvTestUtil.h"

using namespace ctltest;

namespace {

// A holder that counts what the edit asks and can swallow characters.
class TTestHolderKv : public TCustomControl, public IInplaceEditHolderKv {
 public:
  using TCustomControl::TCustomControl;
  bool CanEditorModify(TCustomDBEditKv*) override { return Modify; }
  void GetMouseDownInfo(TPoint& Pt, Cardinal& Time) override {
    Pt = PressPoint;
    Time = PressTime;
    PressTime = 0;
  }
  void EditorWndProc(TCustomDBEditKv*, TMessage& Message) override {
    ++Messages;
    if (SwallowChars && Message.Msg == WM_CHAR) Message.Result = 1;
  }
  void EditorKeyDown(TCustomDBEditKv*, Word& Key, TShiftState) override {
    if (Key == ZeroKey) Key = 0;
  }
  void EditorKeyPress(TCustomDBEditKv*, Char&) override {}
  void EditorKeyUp(TCustomDBEditKv*, Word&, TShiftState) override {}
  void SetFocusToControl(HWND Window) override { ::SetFocus(Window); }

  bool Modify = false;
  bool SwallowChars = false;
  Word ZeroKey = 0;
  Integer Messages = 0;
  TPoint PressPoint;
  Cardinal PressTime = 0;
};

struct TInplaceForm {
  TFormHolder F{300, 150};
  TTestHolderKv* Holder;
  TDBEditKv* Edit;
  TExceptionLog Errors;
  TInplaceForm() {
    Holder = new TTestHolderKv(F.Form);
    Holder->SetParent(F.Form);
    Holder->SetBounds(0, 0, 300, 150);
    Holder->SetTabStop(true);
    Edit = new TDBEditKv(F.Form);
    Edit->SetParent(Holder);
    F->Show();
    Edit->SetInplaceEditHolder(Holder);
    Pump();
  }
};

TEST(DBEditInplace, RefusedHolderLeavesTheOldOne) {
  TInplaceForm T;
  TPanel Plain(T.F.Form);
  try {
    T.Edit->SetInplaceEditHolder(&Plain);
    ADD_FAILURE() << "no error";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), L"InplaceEditHolder have to support IInplaceEditHolderKv interface");
  }
  EXPECT_EQ(T.Edit->GetInplaceEditHolder(), T.Holder);
  EXPECT_TRUE(T.Edit->GetInplaceMode());
  Integer Before = T.Holder->Messages;
  T.Edit->Perform(WM_NULL);
  EXPECT_GT(T.Holder->Messages, Before);  // the old holder still sees every message

  TDBEditKv Fresh(nullptr);
  EXPECT_THROW(Fresh.SetInplaceEditHolder(&Plain), Exception);
  EXPECT_EQ(Fresh.GetInplaceEditHolder(), nullptr);
  EXPECT_FALSE(Fresh.GetInplaceMode());
}

TEST(DBEditInplace, HidingLeavesVisibleAlone) {
  TInplaceForm T;
  T.Edit->Move(TRect(10, 10, 110, 31));
  EXPECT_TRUE(T.Edit->GetVisible());
  EXPECT_TRUE(IsWindowVisible(T.Edit->GetHandle()));
  T.Edit->SetVisible(false);
  EXPECT_FALSE(T.Edit->GetVisible());
  EXPECT_FALSE(IsWindowVisible(T.Edit->GetHandle()));
  EXPECT_TRUE(T.Edit->TControl::GetVisible());
  T.Edit->UpdateLoc(TRect(10, 40, 110, 61));
  EXPECT_TRUE(T.Edit->GetVisible());
  T.Edit->Move(TRect());  // an empty rectangle hides
  EXPECT_FALSE(T.Edit->GetVisible());
  T.Edit->SetInplaceEditHolder(nullptr);
  EXPECT_TRUE(T.Edit->GetVisible());  // the property again
}

TEST(DBEditInplace, MoveTakesTheFocusFromAFocusedHolder) {
  TInplaceForm T;
  T.Holder->SetFocus();
  Pump();
  T.Edit->Move(TRect(10, 10, 110, 31));
  Pump();
  EXPECT_EQ(GetFocus(), T.Edit->GetHandle());
  T.Edit->Hide();
  EXPECT_EQ(GetFocus(), T.Holder->GetHandle());
}

TEST(DBEditInplace, HolderSeesMessagesAndKeysFirst) {
  TInplaceForm T;
  T.Edit->Move(TRect(10, 10, 110, 31));
  T.Holder->Modify = true;
  T.Edit->UpdateReadOnlyState();
  T.Edit->SetFocus();
  Pump();
  EXPECT_EQ(GetWindowLongW(T.Edit->GetHandle(), GWL_STYLE) & ES_READONLY, 0);  // the holder allows it
  PostMessageW(T.Edit->GetHandle(), WM_CHAR, 'a', 0);
  Pump();
  EXPECT_EQ(T.Edit->GetText(), L"a");
  T.Holder->SwallowChars = true;
  PostMessageW(T.Edit->GetHandle(), WM_CHAR, 'b', 0);
  Pump();
  EXPECT_EQ(T.Edit->GetText(), L"a");
  T.Holder->ZeroKey = VK_ESCAPE;
  T.Edit->SetText(L"kayıt");
  T.Edit->SetSelStart(1);
  T.Edit->SetSelLength(0);
  T.Edit->Perform(WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(T.Edit->GetSelLength(), 0);  // the edit's Escape (reload, select all) never ran
}

// A press soon after the holder's own, at the same place, is a double click for the edit.
TEST(DBEditInplace, QuickSecondPressIsADoubleClick) {
  struct TCase {
    Integer Before;  // ms between the holder's press and the edit's
    Integer Dx;
    bool Expected;
  };
  const TCase Cases[] = {{10, 0, true}, {10, 50, false}, {Integer(GetDoubleClickTime()) + 200, 0, false}};
  for (const TCase& C : Cases) {
    TInplaceForm T;
    T.Edit->Move(TRect(10, 10, 110, 31));
    Integer DblClicks = 0;
    T.Edit->SetOnDblClick([&](TObject*) { ++DblClicks; });
    T.Holder->PressPoint = T.Edit->ClientToScreen(TPoint(5 + C.Dx, 5));
    T.Holder->PressTime = Cardinal(GetMessageTime()) - Cardinal(C.Before);
    // Perform keeps the current message time, the time the holder's press is measured against.
    T.Edit->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    T.Edit->Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Pump();
    EXPECT_EQ(DblClicks, C.Expected ? 1 : 0) << C.Before << " " << C.Dx;
    EXPECT_EQ(T.Holder->PressTime, 0u);
  }
}

}  // namespace
