// The popup lists: height snapping, the size the user gave the list, hot tracking by mouse,
// closing on a release, keys sent to the form, and on a real screen an edit that keeps typing
// under an open list.

#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "framework/controls/ControlsTestUtil.h"
#include "kvlib/grids/GridsKv.h"
#include "kvlib/grids/gridskv/PopupListboxForm.h"

namespace {

// A popup list form with 10 items, rows 16 pixels high, its windows made.
struct TPopupForm {
  TPopupListboxFormKv* Form;
  explicit TPopupForm(Integer ItemHeight = 16) : Form(TComponent::Create<TPopupListboxFormKv>(nullptr)) {
    for (Integer I = 0; I < 10; ++I) Form->GetItems()->Add(L"item " + IntToStr(I));
    Form->SetItemHeight(ItemHeight);
    Form->HandleNeeded();
  }
  ~TPopupForm() {
    delete Form;
    ctltest::Pump();
  }
  TPopupListboxFormKv* operator->() const { return Form; }
};

TEST(PopupListboxForm, HeightSnapsToWholeRows) {
  struct {
    Integer ItemHeight;
    double Rows;  // the height asked, in rows of the effective item height
    Integer ExpectedRows;
  } const Cases[] = {{16, 3.5, 3}, {16, 0.4, 1}, {16, 0, 1}, {16, 7, 7}, {16, -2, 1}, {0, 3.5, 3}, {0, 0.2, 1}};
  for (const auto& C : Cases) {
    TPopupForm F(C.ItemHeight);
    const Integer Item = F->GetListGrid()->GetEffectiveItemHeight();
    ASSERT_GT(Item, 0);
    if (C.ItemHeight > 0) EXPECT_EQ(Item, C.ItemHeight);
    const Integer Border = F->GetBorderSize();
    F->SetInternalResizing(true);
    F->SetBounds(10, 10, 120, Border + Integer(C.Rows * Item));
    EXPECT_EQ(F->GetRowCount(), C.ExpectedRows) << C.ItemHeight << " " << C.Rows;
    EXPECT_EQ(F->GetHeight(), Border + C.ExpectedRows * Item);
    F->SetRowCount(C.ExpectedRows + 1);
    EXPECT_EQ(F->GetHeight(), Border + (C.ExpectedRows + 1) * Item);
  }
}

TEST(PopupListbox, HeightSnapsWithTheTextHeightWhileItemHeightIsNotSet) {
  TPopupListboxKv L(nullptr);
  ASSERT_EQ(L.GetItemHeight(), 0);
  const Integer Item = L.GetEffectiveItemHeight();
  EXPECT_EQ(Item, L.GetTextHeight());
  const Integer Border = L.GetBorderSize();
  L.SetBounds(0, 0, 100, Border + Item * 7 / 2);
  EXPECT_EQ(L.GetRowCount(), 3);
  EXPECT_EQ(L.GetHeight(), Border + 3 * Item);
  // The rows are as high as the snap assumed.
  EXPECT_EQ(L.GetDefaultRowHeight(), Item);
}

TEST(PopupListboxForm, RemembersASizeTheUserGave) {
  TPopupForm F;
  const Integer Border = F->GetBorderSize();
  F->SetInternalResizing(true);
  F->SetBounds(0, 0, 120, Border + 5 * 16);
  F->SetInternalResizing(false);
  EXPECT_FALSE(F->GetSizeGripResized());
  F->Show();
  ctltest::Pump();
  EXPECT_FALSE(F->GetSizeGripResized());
  // The user drags the grip: the form's size changes from outside.
  F->SetBounds(0, 0, 180, Border + 8 * 16 + 5);
  EXPECT_TRUE(F->GetSizeGripResized());
  EXPECT_EQ(F->GetResizedRowCount(), 8);
  EXPECT_EQ(F->GetResizedWidth(), 180);
  // An owner's later sizing leaves the remembered size alone.
  F->SetInternalResizing(true);
  F->SetBounds(0, 0, 100, Border + 2 * 16);
  EXPECT_EQ(F->GetResizedRowCount(), 8);
  EXPECT_EQ(F->GetResizedWidth(), 180);
  F->SetVisible(false);
}

TEST(PopupListboxForm, MouseMovesSelectTheRowUnderTheMouse) {
  TPopupForm F;
  F->SetInternalResizing(true);
  F->SetBounds(0, 0, 150, F->GetBorderSize() + 6 * 16);
  TPopupListboxGridKv* G = F->GetListGrid();
  HWND W = G->GetHandle();
  struct {
    Integer Y;
    WPARAM Keys;
    Integer ItemIndex, HotTracked;
  } const Steps[] = {
      {20, 0, 1, 1},            // row 1
      {40, 0, 2, 2},            // row 2
      {60, MK_LBUTTON, 3, 2},   // a held button selects, the hot-tracked row stays
      {5, MK_LBUTTON, 0, 2},
      {70, 0, 4, 4},
  };
  for (const auto& S : Steps) {
    SendMessageW(W, WM_MOUSEMOVE, S.Keys, MAKELPARAM(10, S.Y));
    EXPECT_EQ(F->GetItemIndex(), S.ItemIndex) << S.Y;
    EXPECT_EQ(G->GetMouseVisibleIndex(), S.HotTracked) << S.Y;
  }
  // Under a filter the rows are visible indexes.
  F->ApplyFilter(L"item 5", lsftBeginsWithKv, false);
  SendMessageW(W, WM_MOUSEMOVE, 0, MAKELPARAM(10, 3));
  EXPECT_EQ(F->GetItemIndex(), 5);
}

class TSeparatorItem : public TPopupListboxItemKv {
 public:
  bool CloseOnExecute(TCustomListboxKv*, Integer) override { return false; }
};

TEST(PopupListboxForm, AReleaseClosesExceptOnASeparator) {
  TPopupForm F;
  TSeparatorItem Separator;
  TPopupListboxItemKv Plain;
  F->GetItems()->SetObjects(2, &Separator);
  F->GetItems()->SetObjects(3, &Plain);
  F->SetUseItemObjects(true);
  F->SetInternalResizing(true);
  F->SetBounds(0, 0, 150, F->GetBorderSize() + 6 * 16);
  std::vector<TObject*> Senders;
  F->SetOnMouseUp([&](TObject* Sender, TMouseButton, TShiftState, Integer, Integer) { Senders.push_back(Sender); });
  HWND W = F->GetListGrid()->GetHandle();
  struct {
    Integer Y;
    bool Close;
  } const Cases[] = {{2 * 16 + 4, false}, {3 * 16 + 4, true}, {1 * 16 + 4, true}};
  for (const auto& C : Cases) {
    SendMessageW(W, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, C.Y));
    SendMessageW(W, WM_LBUTTONUP, 0, MAKELPARAM(10, C.Y));
    EXPECT_EQ(F->GetIsMouseUpCloseListbox(), C.Close) << C.Y;
    EXPECT_EQ(F->GetListGrid()->GetGridState(), gsNormalKv);
  }
  EXPECT_EQ(Senders, (std::vector<TObject*>(3, F.Form)));
}

TEST(PopupListboxForm, KeysThatReachTheFormGoToTheList) {
  TPopupForm F;
  ASSERT_EQ(F->GetItemIndex(), -1);
  SendMessageW(F->GetHandle(), WM_KEYDOWN, VK_DOWN, 1);
  EXPECT_EQ(F->GetItemIndex(), 0);
  SendMessageW(F->GetHandle(), WM_KEYDOWN, VK_DOWN, 1);
  EXPECT_EQ(F->GetItemIndex(), 1);
}

TEST(PopupListboxForm, ExtraItemsStandInForItems) {
  TPopupForm F;
  TStringList Extra;
  Extra.Add(L"x");
  Extra.Add(L"y");
  F->SetExtItems(&Extra);
  EXPECT_TRUE(F->GetListGrid()->GetVirtualItems());
  EXPECT_EQ(F->GetItems(), &Extra);
  EXPECT_EQ(F->GetListGrid()->GetVisibleCount(), 2);
  F->ApplyFilter(L"y", lsftBeginsWithKv, false);
  String Text;
  F->GetListGrid()->GetItemText(0, Text);
  EXPECT_EQ(Text, L"y");
  F->SetExtItems(nullptr);
  EXPECT_FALSE(F->GetListGrid()->GetVirtualItems());
  EXPECT_EQ(F->GetItems()->GetCount(), 10);
}

TEST(PopupListbox, SizeGripFollowsTheWayTheListOpened) {
  TPopupListboxKv L(nullptr);
  struct {
    TSizeGripPosition From;
    TSizeGripChangePosition Change;
    TSizeGripPosition To;
  } const Cases[] = {
      {sgpBottomRight, sgcpToLeft, sgpBottomLeft}, {sgpTopRight, sgcpToLeft, sgpTopLeft},
      {sgpBottomLeft, sgcpToRight, sgpBottomRight}, {sgpBottomRight, sgcpToTop, sgpTopRight},
      {sgpTopLeft, sgcpToBottom, sgpBottomLeft},   {sgpTopLeft, sgcpToLeft, sgpTopLeft},
  };
  for (const auto& C : Cases) {
    L.SetSizeGripPostion(C.From);
    L.Perform(CM_SIZEGRIPCHANGEPOSITION, WPARAM(C.Change), 0);
    EXPECT_EQ(L.GetSizeGripPostion(), C.To);
  }
  L.Perform(CM_SIZEGRIPCHANGEPOSITION, 77, 0);  // not a direction: ignored
  EXPECT_EQ(L.GetSizeGripPostion(), sgpTopLeft);
}

TEST(PopupListbox, ShowsAsATopmostWindowWithoutBeingActivated) {
  ctltest::TFormHolder Host;
  Host->Show();
  ctltest::Pump();
  TPopupListboxKv L(nullptr);
  for (const wchar_t* S : {L"a", L"b"}) L.GetItems()->Add(S);
  L.SetBounds(50, 50, 100, 80);
  L.Show();
  ctltest::Pump();
  EXPECT_TRUE(IsWindowVisible(L.GetHandle()));
  EXPECT_TRUE(GetWindowLongW(L.GetHandle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_NE(GetActiveWindow(), L.GetHandle());
  EXPECT_EQ(L.Perform(CM_HINTSHOW, 0, 0), 1);
  L.Hide();
  EXPECT_FALSE(IsWindowVisible(L.GetHandle()));
}

TEST(PopupListboxFormOnScreen, AnOpenListLeavesTheEditTyping) {
  ctltest::TFormHolder Host;
  auto* Edit = new TEdit(Host.Form);
  Edit->SetParent(Host.Form);
  Edit->SetBounds(10, 10, 150, 24);
  Host->Show();
  SetForegroundWindow(Host->GetHandle());
  Edit->SetFocus();
  ctltest::Pump();
  ASSERT_EQ(GetFocus(), Edit->GetHandle());
  TPopupForm F;
  F->SetInternalResizing(true);
  TPoint P = Edit->ClientToScreen(TPoint(0, Edit->GetHeight()));
  F->SetBounds(P.X, P.Y, 150, F->GetBorderSize() + 5 * 16);
  F->Show();
  ctltest::Pump();
  EXPECT_EQ(GetForegroundWindow(), Host->GetHandle());
  EXPECT_EQ(GetFocus(), Edit->GetHandle());
  // A click on the list neither activates it nor takes the focus.
  TPoint Q = F->GetListGrid()->ClientToScreen(TPoint(10, 20));
  SetCursorPos(Q.X, Q.Y);
  mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
  mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
  ctltest::PumpUntil([] { return false; }, 200);
  EXPECT_EQ(F->GetItemIndex(), 1);
  EXPECT_EQ(GetForegroundWindow(), Host->GetHandle());
  EXPECT_EQ(GetFocus(), Edit->GetHandle());
  PostMessageW(Edit->GetHandle(), WM_CHAR, L'k', 1);
  ctltest::Pump();
  EXPECT_EQ(Edit->GetText(), L"k");
  F->SetVisible(false);
}

}  // namespace
