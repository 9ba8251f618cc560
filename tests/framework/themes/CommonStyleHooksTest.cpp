#include <gtest/gtest.h>

#include <richedit.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "framework/Classes.h"
#include "framework/ComCtrls.h"
#include "framework/Menus.h"
#include "framework/SysUtils.h"
#include "framework/controls/ControlsTestUtil.h"
#include "framework/graphics/Bitmap.h"
#include "framework/themes/ThemesTestUtil.h"

using namespace ctltest;
using namespace themetest;

namespace {

const TColor Accent = Hex(0x3A8EE6);

// A control's client area painted into a bitmap that starts magenta.
struct TPaintShot {
  std::unique_ptr<TBitmap> B;
  TPaintShot(Integer W, Integer H) : B(std::make_unique<TBitmap>(W, H)) {
    B->GetCanvas()->GetBrush()->SetColor(clFuchsia);
    B->GetCanvas()->FillRect(TRect(0, 0, W, H));
  }
  HDC DC() const { return B->GetCanvas()->GetHandle(); }
  TColor At(Integer X, Integer Y) const { return B->GetCanvas()->GetPixel(X, Y); }
  Integer Count(const TRect& R, TColor C) const {
    Integer N = 0;
    for (Integer Y = R.Top; Y < R.Bottom; ++Y)
      for (Integer X = R.Left; X < R.Right; ++X) N += At(X, Y) == C;
    return N;
  }
  Integer MaxLuminance(const TRect& R) const {
    Integer M = 0;
    for (Integer Y = R.Top; Y < R.Bottom; ++Y)
      for (Integer X = R.Left; X < R.Right; ++X) M = std::max(M, Luminance(At(X, Y)));
    return M;
  }
};

TPaintShot PaintOf(TWinControl* C) {
  TPaintShot P(C->GetClientWidth(), C->GetClientHeight());
  C->Perform(WM_ERASEBKGND, WPARAM(P.DC()), 0);
  C->Perform(WM_PAINT, WPARAM(P.DC()), 0);
  return P;
}

// ---- Progress bar -----------------------------------------------------------------------------

TEST(CommonStyleHooks, ProgressBarFillsItsChunkInTheAccentUpToThePosition) {
  TFormHolder F;
  auto* Bar = new TProgressBar(F.Form);
  Bar->SetParent(F.Form);
  Bar->SetBounds(0, 0, 202, 18);
  Bar->HandleNeeded();
  TPearlStyle Pearl;
  struct Case {
    Integer Position;
    Integer X;
    TColor Expected;
  };
  const Case Cases[] = {
      {0, 3, Hex(0x222429)},   {50, 50, Accent},  {50, 150, Hex(0x222429)},
      {100, 198, Accent},      {25, 48, Accent},  {25, 54, Hex(0x222429)},
  };
  for (const Case& K : Cases) {
    Bar->SetPosition(K.Position);
    TPaintShot P = PaintOf(Bar);
    EXPECT_EQ(P.At(K.X, 9), K.Expected) << "position " << K.Position << " at " << K.X;
    EXPECT_EQ(P.At(100, 0), Hex(0x3A3D45)) << "the bar's border";
  }
  // Another range: the same share of the bar.
  Bar->SetMax(400);
  Bar->SetPosition(200);
  EXPECT_EQ(PaintOf(Bar).At(90, 9), Accent);
  EXPECT_EQ(PaintOf(Bar).At(110, 9), Hex(0x222429));
}

TEST(CommonStyleHooks, ProgressBarMarqueeBlockMovesWithTheControlsTimer) {
  TFormHolder F;
  auto* Bar = new TProgressBar(F.Form);
  Bar->SetParent(F.Form);
  Bar->SetBounds(0, 0, 202, 18);
  Bar->SetStyle(pbstMarquee);
  Bar->HandleNeeded();
  TPearlStyle Pearl;
  auto BlockStart = [&] {
    TPaintShot P = PaintOf(Bar);
    for (Integer X = 0; X < 202; ++X)
      if (P.At(X, 9) == Accent) return X;
    return -1;
  };
  for (Integer I = 0; I < 20; ++I) Bar->Perform(WM_TIMER, 1, 0);
  Integer First = BlockStart();
  ASSERT_GE(First, 0) << "the block is shown";
  for (Integer I = 0; I < 5; ++I) Bar->Perform(WM_TIMER, 1, 0);
  EXPECT_GT(BlockStart(), First);
  // It runs off the end and comes back in from the start.
  for (Integer I = 0; I < 60; ++I) Bar->Perform(WM_TIMER, 1, 0);
  Integer Again = BlockStart();
  EXPECT_GE(Again, 0);
  EXPECT_LT(Again, First + 5 * 4);
}

// ---- Status bar -------------------------------------------------------------------------------

TEST(CommonStyleHooks, StatusBarPaintsPanelsTextAndSizeGripInTheStyle) {
  TFormHolder F(400, 200);
  auto* Bar = new TStatusBar(F.Form);
  Bar->SetParent(F.Form);
  Bar->SetBounds(0, 0, 400, 22);
  Bar->GetPanels()->Add()->SetText(L"Hazır");
  Bar->GetPanels()->GetItem(0)->SetWidth(150);
  TStatusPanel* Drawn = Bar->GetPanels()->Add();
  Drawn->SetStyle(psOwnerDraw);
  Drawn->SetWidth(100);
  TRect DrawnRect;
  Bar->SetOnDrawPanel([&](TStatusBar* Sender, TStatusPanel* Panel, const TRect& R) {
    DrawnRect = R;
    Sender->GetCanvas()->GetBrush()->SetColor(clRed);
    Sender->GetCanvas()->FillRect(R);
  });
  Bar->GetPanels()->Add()->SetText(L"Sürüm 7.8");
  Bar->HandleNeeded();
  TPaintShot Plain = PaintOf(Bar);
  TPearlStyle Pearl;
  TPaintShot P = PaintOf(Bar);
  EXPECT_EQ(P.At(140, 11), Hex(0x17181C)) << "the first panel's surface";
  EXPECT_GT(P.Count(TRect(140, 0, 141, 22), Hex(0x2A2C32)), 0) << "the first panel's frame";
  EXPECT_GT(P.MaxLuminance(TRect(0, 0, 150, 22)), 150) << "its text, light";
  EXPECT_GT(P.Count(TRect(150, 0, 250, 22), clRed), 500) << "the owner-drawn panel";
  EXPECT_GT(DrawnRect.Width(), 80);
  EXPECT_GT(P.MaxLuminance(TRect(250, 0, 370, 22)), 150) << "the last panel's text";
  EXPECT_GT(P.Count(TRect(380, 4, 400, 22), Hex(0x5A5E68)), 6) << "the size grip";
  EXPECT_GT(Luminance(Plain.At(140, 11)), 90) << "without the style, the system's light bar";
}

// ---- Tool bar ---------------------------------------------------------------------------------

TEST(CommonStyleHooks, ToolBarPaintsItsSurfaceAndButtonsInTheStyle) {
  TFormHolder F;
  auto* Tools = new TToolBar(F.Form);
  Tools->SetParent(F.Form);
  Tools->SetShowCaptions(true);
  Tools->SetBounds(0, 0, 300, 30);
  auto* Save = new TToolButton(F.Form);
  Save->SetParent(Tools);
  Save->SetCaption(L"Kaydet");
  Save->SetStyle(tbsCheck);
  Save->SetDown(true);
  Tools->HandleNeeded();
  RECT R{};
  SendMessageW(Tools->GetHandle(), TB_GETITEMRECT, 0, LPARAM(&R));
  ASSERT_GT(R.right - R.left, 10);
  TPearlStyle Pearl;
  TPaintShot P = PaintOf(Tools);
  EXPECT_EQ(P.At(290, 15), Hex(0x1E1F24)) << "the bar's surface";
  EXPECT_EQ(P.At(R.left + 2, (R.top + R.bottom) / 2), Hex(0x263445)) << "the pressed check button";
  EXPECT_GT(P.MaxLuminance(TRect(R.left, R.top, R.right, R.bottom)), 180) << "its caption, light";
}

// ---- Rich edit --------------------------------------------------------------------------------

TColor CharColor(TRichEdit* Memo, Integer Line) {
  Integer Start = Integer(SendMessageW(Memo->GetHandle(), EM_LINEINDEX, WPARAM(Line), 0));
  SendMessageW(Memo->GetHandle(), EM_SETSEL, WPARAM(Start), LPARAM(Start + 1));
  CHARFORMAT2W F{};
  F.cbSize = sizeof(F);
  SendMessageW(Memo->GetHandle(), EM_GETCHARFORMAT, SCF_SELECTION, LPARAM(&F));
  return (F.dwEffects & CFE_AUTOCOLOR) ? TColor(clWindowText) : TColor(F.crTextColor);
}

// EM_SETBKGNDCOLOR answers the colour it replaces: set it to itself to read it.
TColor Background(TRichEdit* Memo) {
  COLORREF Old = COLORREF(SendMessageW(Memo->GetHandle(), EM_SETBKGNDCOLOR, 0, 0));
  SendMessageW(Memo->GetHandle(), EM_SETBKGNDCOLOR, 0, LPARAM(Old));
  return TColor(Old);
}

TEST(CommonStyleHooks, RichEditLogTakesTheStylesSurfaceAndKeepsItsColouredLines) {
  TFormHolder F;
  auto* Memo = new TRichEdit(F.Form);
  Memo->SetParent(F.Form);
  Memo->SetBounds(0, 0, 300, 120);
  Memo->HandleNeeded();
  Memo->GetSelAttributes()->SetColor(clRed);
  Memo->GetLines()->Add(L"- [12:00:01] Hata: hizmet başlatılamadı");
  Memo->GetSelAttributes()->SetColor(clGreen);
  Memo->GetLines()->Add(L"- [12:00:02] Kurulum tamamlandı");
  EXPECT_EQ(Background(Memo), ColorToRGB(clWindow));
  {
    TPearlStyle Pearl;
    EXPECT_EQ(Background(Memo), Hex(0x222429));
    CHARFORMAT2W D{};
    D.cbSize = sizeof(D);
    SendMessageW(Memo->GetHandle(), EM_GETCHARFORMAT, SCF_DEFAULT, LPARAM(&D));
    EXPECT_FALSE(D.dwEffects & CFE_AUTOCOLOR);
    EXPECT_EQ(TColor(D.crTextColor), Hex(0xE6E6E8)) << "text without a colour of its own is light";
    EXPECT_EQ(CharColor(Memo, 0), clRed);
    EXPECT_EQ(CharColor(Memo, 1), clGreen);
    // A window made again under the style takes it too.
    Memo->RecreateWnd();
    Memo->HandleNeeded();
    EXPECT_EQ(Background(Memo), Hex(0x222429));
    EXPECT_EQ(CharColor(Memo, 0), clRed);
  }
  EXPECT_EQ(Background(Memo), ColorToRGB(clWindow));
  EXPECT_EQ(CharColor(Memo, 1), clGreen);
  // A colour of the control's own stays under the style.
  Memo->SetColor(clYellow);
  TPearlStyle Pearl;
  EXPECT_EQ(Background(Memo), ColorToRGB(clYellow));
}

// The log's scroll bar on the screen, as the wizard's log uses it: coloured lines added and the
// view moved to the last, scrolled, resized and focused. The bar stays in the style, and both
// arrows keep their squares whatever the thumb's size (a short log has a long thumb, which once
// covered them).
struct TLogScrollShot {
  std::vector<Integer> Lum;  // luminance of the bar's pixels, row by row
  Integer W = 0, H = 0;
  Integer At(Integer X, Integer Y) const { return Lum[Y * W + X]; }
  // Pixels of rows [Top, Bottom) lighter than Min.
  Integer Light(Integer Top, Integer Bottom, Integer Min) const {
    Integer N = 0;
    for (Integer Y = std::max(0, Top); Y < std::min(H, Bottom); ++Y)
      for (Integer X = 0; X < W; ++X) N += At(X, Y) > Min;
    return N;
  }
};

TLogScrollShot ShootLogScrollBar(TRichEdit* Memo) {
  TLogScrollShot S;
  SCROLLBARINFO SBI{sizeof(SBI)};
  if (!GetScrollBarInfo(Memo->GetHandle(), OBJID_VSCROLL, &SBI) || (SBI.rgstate[0] & STATE_SYSTEM_INVISIBLE))
    return S;
  RECT R = SBI.rcScrollBar;
  S.W = R.right - R.left;
  S.H = R.bottom - R.top;
  TBitmap Shot(S.W, S.H);
  HDC Screen = GetDC(nullptr);
  BitBlt(Shot.GetCanvas()->GetHandle(), 0, 0, S.W, S.H, Screen, R.left, R.top, SRCCOPY);
  ReleaseDC(nullptr, Screen);
  for (Integer Y = 0; Y < S.H; ++Y)
    for (Integer X = 0; X < S.W; ++X) S.Lum.push_back(Luminance(Shot.GetCanvas()->GetPixel(X, Y)));
  return S;
}

TEST(CommonStyleHooks, OnScreenLogScrollBarStaysStyledWithBothArrows) {
  TPearlStyle Pearl;
  TFormHolder F(420, 200);
  auto* Memo = new TRichEdit(F.Form);
  Memo->SetParent(F.Form);
  Memo->SetBounds(8, 8, 400, 108);
  Memo->SetColor(TColor(2696226));
  Memo->SetReadOnly(true);
  Memo->SetScrollBars(ssVertical);
  Memo->SetStyleElements(TStyleElements{seClient, seBorder});
  F->Show();
  SetWindowPos(F->GetHandle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  PumpUntil([] { return false; }, 300);
  Integer N = 0;
  auto Log = [&](Integer Count) {
    for (Integer I = 0; I < Count; ++I) {
      Memo->GetSelAttributes()->SetColor(++N % 2 ? clWhite : clGreen);
      Memo->GetLines()->Add(L"- [10:00:00] diger/postgresql.zip genişletiliyor... " + IntToStr(N));
      Integer Lines = Memo->GetLines()->GetCount();
      if (Lines > 7) SendMessageW(Memo->GetHandle(), EM_LINESCROLL, 0, LPARAM(Lines - 3));
      Pump();
    }
  };
  struct Step {
    const char* Name;
    std::function<void()> Do;
  };
  const Step Steps[] = {
      {"a few lines", [&] { Log(9); }},
      {"many lines", [&] { Log(40); }},
      {"scrolled to the top", [&] { Memo->ScrollToLine(0); }},
      {"caret at the end", [&] { Memo->SetSelStart(Memo->GetTextLen()); }},
      {"wheel", [&] { SendMessageW(Memo->GetHandle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0); }},
      {"focused", [&] { Memo->SetFocus(); }},
      {"taller", [&] { Memo->SetHeight(160); }},
      {"shorter", [&] { Memo->SetHeight(90); }},
      {"colour of the selection", [&] { Memo->GetSelAttributes()->SetColor(clRed); }},
      {"scrolled to a line", [&] { Memo->ScrollToLine(20); }},
  };
  // Looked at at once, as the message left it (the system draws on the window straight away),
  // and again once the queue has been pumped.
  for (const Step& S : Steps) {
    S.Do();
    for (bool Pumped : {false, true}) {
      if (Pumped) PumpUntil([] { return false; }, 150);
      // Wine puts what was drawn on the screen while a thread waits; nothing is dispatched here.
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 60, 0);
      TLogScrollShot Bar = ShootLogScrollBar(Memo);
      SCOPED_TRACE(testing::Message() << S.Name << (Pumped ? ", pumped" : ""));
      ASSERT_GT(Bar.H, 0);
      Integer Arrow = std::min(Bar.W, Bar.H / 2);
      // The system's bar is light; the style's dark with lighter glyphs.
      EXPECT_EQ(Bar.Light(0, Bar.H, 200), 0);
      Integer Up = Bar.Light(0, Arrow, 120), Down = Bar.Light(Bar.H - Arrow, Bar.H, 120);
      EXPECT_GT(Up, 0);
      EXPECT_EQ(Down, Up) << "the down arrow as the up arrow";
      if (HasFailure()) {
        std::string Dump;
        for (Integer Y = 0; Y < Bar.H; ++Y) {
          for (Integer X = 0; X < Bar.W; ++X) Dump += " .:-=+*#%@"[std::min(9, Bar.At(X, Y) / 26)];
          Dump += '\n';
        }
        FAIL() << "\n" << Dump;
      }
    }
  }
  F->Hide();
  Pump();
}

// ---- Menus ------------------------------------------------------------------------------------

struct TMenuForm {
  TFormHolder F;
  TMainMenu* Menu = new TMainMenu(F.Form);
  TMenuItem* File = new TMenuItem(Menu);
  TMenuItem* Open = new TMenuItem(Menu);
  TMenuItem* Line = new TMenuItem(Menu);
  TMenuItem* Quit = new TMenuItem(Menu);
  TMenuForm() {
    File->SetCaption(L"&Dosya");
    Open->SetCaption(L"&Aç");
    Open->SetShortCut(ShortCut(L'O', {ssCtrl}));
    Line->SetCaption(L"-");
    Quit->SetCaption(L"Çıkış");
    Quit->SetEnabled(false);
    File->Add(Open);
    File->Add(Line);
    File->Add(Quit);
    Menu->GetItems()->Add(File);
    F->SetMenu(Menu);
    F->HandleNeeded();
  }
  // The item drawn through the form's owner-draw route into a bitmap.
  TPaintShot Draw(TMenuItem* Item, bool Selected, Integer W = 160, Integer H = 20) {
    TPaintShot P(W, H);
    DRAWITEMSTRUCT DI{};
    DI.CtlType = ODT_MENU;
    DI.itemID = Item->GetCommand();
    DI.itemState = Selected ? ODS_SELECTED : 0;
    DI.hDC = P.DC();
    DI.rcItem = RECT{0, 0, W, H};
    SendMessageW(F->GetHandle(), WM_DRAWITEM, 0, LPARAM(&DI));
    return P;
  }
};

bool OwnerDrawn(HMENU Menu, Integer Index) {
  MENUITEMINFOW MII{};
  MII.cbSize = sizeof(MII);
  MII.fMask = MIIM_FTYPE;
  GetMenuItemInfoW(Menu, UINT(Index), TRUE, &MII);
  return MII.fType & MFT_OWNERDRAW;
}

HBRUSH MenuBackground(HMENU Menu) {
  MENUINFO MI{};
  MI.cbSize = sizeof(MI);
  MI.fMask = MIM_BACKGROUND;
  GetMenuInfo(Menu, &MI);
  return MI.hbrBack;
}

TEST(CommonStyleHooks, MenusAreDrawnByTheStyleWhileItIsActive) {
  TMenuForm M;
  HMENU Sub = M.File->GetHandle();
  EXPECT_FALSE(OwnerDrawn(Sub, 0));
  {
    TPearlStyle Pearl;
    for (Integer I = 0; I < 3; ++I) EXPECT_TRUE(OwnerDrawn(Sub, I)) << "entry " << I;
    EXPECT_TRUE(OwnerDrawn(M.Menu->GetHandle(), 0)) << "the bar's entry";
    EXPECT_TRUE(MenuBackground(Sub));
    EXPECT_TRUE(MenuBackground(M.Menu->GetHandle()));
  }
  EXPECT_FALSE(OwnerDrawn(Sub, 0)) << "the system draws them again";
  EXPECT_FALSE(OwnerDrawn(M.Menu->GetHandle(), 0));
  EXPECT_FALSE(MenuBackground(Sub));
}

TEST(CommonStyleHooks, MenuEntriesPaintBackgroundTextHighlightAndSeparator) {
  TMenuForm M;
  TPearlStyle Pearl;
  const TRect All(0, 0, 160, 20);
  TPaintShot Normal = M.Draw(M.Open, false);
  EXPECT_EQ(Normal.At(2, 2), Hex(0x1E1F24));
  EXPECT_GT(Normal.Count(All, Hex(0xE6E6E8)), 5) << "caption and shortcut";
  TPaintShot Hot = M.Draw(M.Open, true);
  EXPECT_EQ(Hot.At(2, 2), Accent);
  EXPECT_GT(Hot.Count(All, clWhite), 5);
  TPaintShot Disabled = M.Draw(M.Quit, true);
  EXPECT_EQ(Disabled.At(2, 2), Hex(0x1E1F24)) << "a disabled entry is not highlighted";
  EXPECT_GT(Disabled.Count(All, Hex(0x6E717A)), 5);
  TPaintShot Line = M.Draw(M.Line, false, 160, 8);
  EXPECT_EQ(Line.At(80, 4), Hex(0x34363D));
  EXPECT_EQ(Line.At(80, 1), Hex(0x1E1F24));
  TPaintShot Bar = M.Draw(M.File, false, 60, 20);
  EXPECT_EQ(Bar.At(2, 2), Hex(0x17181C));
  EXPECT_GT(Bar.MaxLuminance(TRect(0, 0, 60, 20)), 180);
  EXPECT_EQ(M.Draw(M.File, true, 60, 20).At(2, 2), Accent) << "the bar's open entry";
}

// Wine fills the bar with the system's menu colour, whatever background the menu was given.
TEST(CommonStyleHooks, TheMenuBarBesideItsEntriesTakesTheStylesColour) {
  TMenuForm M;
  TPearlStyle Pearl;
  HWND Wnd = M.F->GetHandle();
  MENUBARINFO Bar{};
  Bar.cbSize = sizeof(Bar);
  RECT Entry, Window;
  ASSERT_TRUE(GetMenuBarInfo(Wnd, OBJID_MENU, 0, &Bar));
  ASSERT_TRUE(GetMenuItemRect(Wnd, GetMenu(Wnd), 0, &Entry));
  GetWindowRect(Wnd, &Window);
  TPaintShot P(Window.right - Window.left, Window.bottom - Window.top);
  M.F->Perform(WM_PRINT, WPARAM(P.DC()), PRF_NONCLIENT);
  Integer Y = (Bar.rcBar.top + Bar.rcBar.bottom) / 2 - Window.top;
  EXPECT_EQ(P.At(Entry.right + 10 - Window.left, Y), Hex(0x17181C));
  EXPECT_EQ(P.At(Bar.rcBar.right - 3 - Window.left, Y), Hex(0x17181C));
  EXPECT_EQ(P.At((Entry.left + Entry.right) / 2 - Window.left, Y), clFuchsia) << "the entry draws itself";
}

TEST(CommonStyleHooks, PopupMenuEntriesAreDrawnThroughThePopupList) {
  TFormHolder F;
  auto* Popup = new TPopupMenu(F.Form);
  auto* Copy = new TMenuItem(Popup);
  Copy->SetCaption(L"Kopyala");
  Popup->GetItems()->Add(Copy);
  Popup->GetHandle();
  TPearlStyle Pearl;
  EXPECT_TRUE(OwnerDrawn(Popup->GetHandle(), 0));
  TPaintShot P(120, 20);
  DRAWITEMSTRUCT DI{};
  DI.CtlType = ODT_MENU;
  DI.itemID = Copy->GetCommand();
  DI.itemState = ODS_SELECTED;
  DI.hDC = P.DC();
  DI.rcItem = RECT{0, 0, 120, 20};
  SendMessageW(GetPopupList()->GetWindow(), WM_DRAWITEM, 0, LPARAM(&DI));
  EXPECT_EQ(P.At(2, 2), Accent);
}

// ---- Theme changes ----------------------------------------------------------------------------

TEST(CommonStyleHooks, ThemeChangeReachesTheSystemStyleThroughTheApplication) {
  TCustomStyleServices* S = StyleServices();
  if (!S->Enabled()) GTEST_SKIP() << "the system theme is off";
  ASSERT_TRUE(S->Theme(teButton));
  SendMessageW(Application->GetHandle(), WM_THEMECHANGED, 0, 0);
  EXPECT_TRUE(S->Theme(teButton)) << "opened again for the new theme";
  TPaintShot P(40, 20);
  EXPECT_TRUE(S->DrawElement(P.DC(), S->GetElementDetails(tbPushButtonNormal), TRect(0, 0, 40, 20)));
  EXPECT_NE(P.At(20, 10), clFuchsia);
}

}  // namespace
