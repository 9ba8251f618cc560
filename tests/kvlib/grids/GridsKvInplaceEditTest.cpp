// The cell editor: shown by F2, Enter, a typed character and a press on the current cell; what it
// refuses when the cell may not be changed; Enter inside it; the dialog codes of the grid, the
// frame and the edit; the quick second click as a double click; and putting it away.

#include <gtest/gtest.h>

#include "framework/Clipbrd.h"
#include "framework/WinApi.h"
#include "kvlib/grids/gridskv/InplaceEdit.h"
#include "tests/kvlib/grids/GridsKvInputTestUtil.h"
#include "tests/kvlib/grids/GridsKvTestUtil.h"

using namespace gridinputtest;
using ctltest::Pump;

namespace {

struct TEditorGrid : TInputGrid {
  TEditorGrid() {
    Grid->Texts[{2, 2}] = L"abc";
    Grid->Texts[{3, 2}] = L"def";
    Grid->FocusCell(2, 2, true);
  }
  TInplaceEdit* Editor() const { return Grid->GetInplaceEditor(); }
  bool Shown() const { return Editor() && Editor()->IsShown(); }
  HWND EditWnd() const { return Editor()->GetEditCoreControl()->GetHandle(); }
};

TEST(GridEditor, ShownByF2EnterAndATypedCharacter) {
  {
    TEditorGrid G;
    PostKey(G->GetHandle(), VK_F2);
    ASSERT_TRUE(G.Shown());
    EXPECT_EQ(G.Editor()->GetText(), L"abc");
    EXPECT_EQ(G.Editor()->GetSelLength(), 3);
    // F2 in the editor leaves the caret at the start with nothing selected.
    PostKey(G.EditWnd(), VK_F2);
    EXPECT_EQ(G.Editor()->GetSelStart(), 0);
    EXPECT_EQ(G.Editor()->GetSelLength(), 0);
  }
  {
    TEditorGrid G;
    PostChar(G->GetHandle(), 13);
    ASSERT_TRUE(G.Shown());
    EXPECT_TRUE(G->GetEditorMode());
    // Enter again, in the editor, puts it away.
    PostChar(G.EditWnd(), 13);
    EXPECT_FALSE(G.Shown());
    EXPECT_FALSE(G->GetEditorMode());
  }
  {
    TEditorGrid G;
    PostChar(G->GetHandle(), L'x');
    Pump();
    ASSERT_TRUE(G.Shown());
    // The whole text was selected, so the letter replaces it and reaches the cell.
    EXPECT_EQ(G.Editor()->GetText(), L"x");
    EXPECT_EQ((G->Texts[{2, 2}]), L"x");
  }
}

TEST(GridEditor, PressingTheCurrentCellShowsItAndItFollowsTheCurrentCell) {
  TEditorGrid G;
  HWND H = G->GetHandle();
  PostMouse(H, WM_LBUTTONDOWN, 125, 50, MK_LBUTTON);
  PostMouse(H, WM_LBUTTONUP, 125, 50);
  ASSERT_TRUE(G.Shown());
  EXPECT_EQ(G.Editor()->GetText(), L"abc");
  PostChar(G.EditWnd(), L'z');
  // Another cell: the text is stored and the editor put away.
  PostMouse(H, WM_LBUTTONDOWN, 175, 50, MK_LBUTTON);
  PostMouse(H, WM_LBUTTONUP, 175, 50);
  EXPECT_EQ(G->GetCurCell(), MakeGridCoord(3, 2));
  EXPECT_EQ((G->Texts[{2, 2}]), L"z");
  EXPECT_FALSE(G.Shown());
  // Always shown, it follows the current cell and loads it.
  G->SetOptions(G->GetOptions() + TGridOptionsKv{goAlwaysShowEditorKv});
  PostMouse(H, WM_LBUTTONDOWN, 125, 50, MK_LBUTTON);
  PostMouse(H, WM_LBUTTONUP, 125, 50);
  ASSERT_TRUE(G.Shown());
  EXPECT_EQ(G.Editor()->GetText(), L"z");
  PostMouse(H, WM_LBUTTONDOWN, 175, 50, MK_LBUTTON);
  PostMouse(H, WM_LBUTTONUP, 175, 50);
  ASSERT_TRUE(G.Shown());
  EXPECT_EQ(G.Editor()->GetText(), L"def");
  TRect R;
  G->GetCellContentRect(3, 2, R);
  EXPECT_EQ(G.Editor()->GetLeft(), R.Left);
  EXPECT_EQ(G.Editor()->GetTop(), R.Top);
}

TEST(GridEditor, NothingChangesWhenTheCellMayNotBeModified) {
  TEditorGrid G;
  G->ReadOnlyCells = true;
  PostKey(G->GetHandle(), VK_F2);
  ASSERT_TRUE(G.Shown());
  HWND E = G.EditWnd();
  G.Editor()->SetSel(1, 1);
  PostChar(E, L'q');
  PostKey(E, VK_BACK);
  PostChar(E, 8);
  PostKey(E, VK_DELETE);
  PostKey(E, VK_INSERT, true);
  PostKey(E, 'X', false, true);
  PostChar(E, 24);
  PostKey(E, 'V', false, true);
  PostChar(E, 22);
  SendMessageW(E, WM_CUT, 0, 0);
  SendMessageW(E, WM_PASTE, 0, 0);
  SendMessageW(E, WM_CLEAR, 0, 0);
  EXPECT_EQ(G.Editor()->GetText(), L"abc");
  // Arrows move the caret and copying still works.
  G.Editor()->SetSel(1, 0);
  PostKey(E, VK_RIGHT);
  EXPECT_EQ(G.Editor()->GetSelStart(), 2);
  EXPECT_EQ(G.Editor()->GetSelLength(), 0);
  G.Editor()->SetSel(0, 3);
  SendMessageW(E, WM_COPY, 0, 0);
  EXPECT_EQ(Clipboard()->GetAsText(), L"abc");
  EXPECT_EQ((G->Texts[{2, 2}]), L"abc");
}

TEST(GridEditor, EnterTwiceTogglesTheSelection) {
  TEditorGrid G;
  G->SetOptions(G->GetOptions() + TGridOptionsKv{goAlwaysShowEditorKv});
  G->SetFocus();
  Pump();
  ASSERT_TRUE(G.Shown());
  G.Editor()->SelectAll();
  HWND E = G.EditWnd();
  PostChar(E, 13);
  EXPECT_EQ(G.Editor()->GetSelStart(), 0);
  EXPECT_EQ(G.Editor()->GetSelLength(), 0);
  PostChar(E, 13);
  EXPECT_EQ(G.Editor()->GetSelLength(), 3);
  EXPECT_EQ(G.Editor()->GetText(), L"abc");
  EXPECT_TRUE(G.Shown());
}

struct TDlgCase {
  const char* Name;
  TGridOptionsKv Add, Remove;
  LRESULT Grid, Frame;
};

TEST(GridEditor, DialogCodes) {
  const TDlgCase Cases[] = {
      {"editing", {}, {}, DLGC_WANTARROWS | DLGC_WANTCHARS, 0x81},
      {"editing with tabs", {goTabsKv}, {}, DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB, 0x83},
      {"row select", {goRowSelectKv, goTabsKv}, {}, DLGC_WANTARROWS, 0x83},
      {"not editing", {}, {goEditingKv}, DLGC_WANTARROWS, 0x81},
  };
  for (const TDlgCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TEditorGrid G;
    PostKey(G->GetHandle(), VK_F2);
    ASSERT_TRUE(G.Shown());
    G->SetOptions(G->GetOptions() + C.Add - C.Remove);
    EXPECT_EQ(SendMessageW(G->GetHandle(), WM_GETDLGCODE, 0, 0), C.Grid);
    EXPECT_EQ(SendMessageW(G.Editor()->GetHandle(), WM_GETDLGCODE, 0, 0), C.Frame);
    bool EditWantsTab = (SendMessageW(G.EditWnd(), WM_GETDLGCODE, 0, 0) & DLGC_WANTTAB) != 0;
    EXPECT_EQ(EditWantsTab, C.Add.Contains(goTabsKv));
  }
  // The grid claims Enter while it edits.
  TEditorGrid G;
  EXPECT_NE(G->Perform(CM_WANTSPECIALKEY, VK_RETURN, 0), 0);
}

TEST(GridEditor, AQuickSecondClickIsADoubleClick) {
  TEditorGrid G;
  PostKey(G->GetHandle(), VK_F2);
  ASSERT_TRUE(G.Shown());
  // As the press on the grid that showed it leaves it.
  G.Editor()->FClickTime = Cardinal(GetTickCount());
  PostMouse(G.EditWnd(), WM_LBUTTONDOWN, 3, 3, MK_LBUTTON);
  PostMouse(G.EditWnd(), WM_LBUTTONUP, 3, 3);
  EXPECT_EQ(G->DblClicks, 1);
  EXPECT_EQ(G.Editor()->FClickTime, 0u);
  // A later click is a plain one.
  G.Editor()->FClickTime = Cardinal(GetTickCount()) - 5000;
  PostMouse(G.EditWnd(), WM_LBUTTONDOWN, 3, 3, MK_LBUTTON);
  PostMouse(G.EditWnd(), WM_LBUTTONUP, 3, 3);
  EXPECT_EQ(G->DblClicks, 1);
}

TEST(GridEditor, FocusBetweenTheGridAndTheEditKeepsItShown) {
  TEditorGrid G;
  PostKey(G->GetHandle(), VK_F2);
  ASSERT_TRUE(G.Shown());
  ::SetFocus(G->GetHandle());
  Pump();
  EXPECT_TRUE(G.Shown());
  ::SetFocus(G.EditWnd());
  Pump();
  EXPECT_TRUE(G.Shown());
  EXPECT_EQ(GetFocus(), G.EditWnd());
}

TEST(GridEditor, UpOrDownInTheEditorMovesTheCurrentCell) {
  TEditorGrid G;
  PostKey(G->GetHandle(), VK_F2);
  ASSERT_TRUE(G.Shown());
  PostKey(G.EditWnd(), VK_DOWN);
  EXPECT_EQ(G->GetCurCell(), MakeGridCoord(2, 3));
}

TEST(GridEditor, HideEditForgetsTheCellWhenStoringRaises) {
  TEditorGrid G;
  ctltest::TExceptionLog Log;
  PostKey(G->GetHandle(), VK_F2);
  ASSERT_TRUE(G.Shown());
  G->RaiseOnSetEditText = true;
  EXPECT_EQ(gridtest::CaughtMessage([&] { G->HideEditor(); }), L"refused");
  EXPECT_FALSE(G.Shown());
  EXPECT_EQ(G->InplaceCol(), -1);
}

TEST(GridEditor, FrameWithoutACellRectangle) {
  TEditorGrid G;
  TInplaceEdit* E = new TInplaceEdit(G.Form.Form);
  E->Move(TRect(0, 0, 0, 20));
  EXPECT_FALSE(E->HandleAllocated());
  E->SetFocus();
  EXPECT_FALSE(E->HandleAllocated());
  E->SetParent(G.Form.Form);
  // Visible does not show it; Move does.
  E->SetVisible(true);
  E->HandleNeeded();
  EXPECT_FALSE(E->IsShown());
  E->Move(TRect(10, 10, 60, 30));
  EXPECT_TRUE(E->IsShown());
  EXPECT_EQ(E->GetEditCoreControl()->GetWidth(), 46);
  EXPECT_EQ(E->GetEditCoreControl()->GetHeight(), 16);
}

}  // namespace
