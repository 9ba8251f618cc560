#include <gtest/gtest.h>

#include <functional>

#include "framework/Classes.h"
#include "framework/Controls.h"
#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"
#include "framework/controls/ControlsTestUtil.h"
#include "framework/graphics/Bitmap.h"
#include "framework/themes/ThemesTestUtil.h"

using namespace ctltest;
using namespace themetest;

namespace {

// ---- The hook registry ------------------------------------------------------------------------

constexpr Cardinal ProbeMessage = WM_USER + 77;

class TProbeControl : public TCustomControl {
  DECLARE_CLASS(TProbeControl, TCustomControl)
 public:
  using TCustomControl::TCustomControl;
};

class TProbeChild : public TProbeControl {
  DECLARE_CLASS(TProbeChild, TProbeControl)
 public:
  using TProbeControl::TProbeControl;
};

class TProbeHook : public TStyleHook {
  DECLARE_CLASS(TProbeHook, TStyleHook)
 public:
  using TStyleHook::TStyleHook;

 protected:
  bool WndProc(TMessage& Message) override {
    if (Message.Msg != ProbeMessage) return false;
    Message.Result = 42;
    return true;
  }
};

TEST(StyleHooks, ARegisteredHookTakesTheMessagesOfItsClassAndDescendantsUnderACustomStyle) {
  TFormHolder F;
  auto* C = new TProbeChild(F.Form);
  C->SetParent(F.Form);
  C->HandleNeeded();
  TStyleManager::RegisterStyleHook(TProbeControl::StaticClass(), TProbeHook::StaticClass());
  EXPECT_EQ(C->Perform(ProbeMessage), 0) << "the system style has no hooks";
  {
    TPearlStyle Pearl;
    EXPECT_EQ(C->Perform(ProbeMessage), 42);
    C->SetStyleElements({});
    EXPECT_EQ(C->Perform(ProbeMessage), 0) << "a control that opted out of every element";
    C->SetStyleElements({seFont});
    EXPECT_EQ(C->Perform(ProbeMessage), 42);
    TStyleManager::UnRegisterStyleHook(TProbeControl::StaticClass(), TProbeHook::StaticClass());
    EXPECT_EQ(C->Perform(ProbeMessage), 0);
  }
  EXPECT_FALSE(TStyleManager::Engine()->FindStyleHook(TProbeChild::StaticClass()));
  EXPECT_EQ(TClass(TStyleManager::Engine()->FindStyleHook(TCheckBox::StaticClass())),
            TCheckBoxStyleHook::StaticClass());
}

class TStyleListener : public TCustomControl {
  DECLARE_CLASS(TStyleListener, TCustomControl)
 public:
  using TCustomControl::TCustomControl;
  Integer Heard = 0;
  void WndProc(TMessage& Message) override {
    if (Message.Msg == CM_STYLECHANGED) ++Heard;
    inherited::WndProc(Message);
  }
};

TEST(StyleHooks, ChangingTheStyleTellsEveryControlOfEveryForm) {
  TFormHolder F;
  auto* Panel = new TPanel(F.Form);
  Panel->SetParent(F.Form);
  auto* L = new TStyleListener(F.Form);
  L->SetParent(Panel);
  L->HandleNeeded();
  {
    TPearlStyle Pearl;
    EXPECT_EQ(L->Heard, 1);
    TStyleManager::SetStyle(PearlName);  // already active: nothing changes
    EXPECT_EQ(L->Heard, 1);
  }
  EXPECT_EQ(L->Heard, 2);
}

// ---- Edits take the style's colours -----------------------------------------------------------

TEST(StyleHooks, EditsAnswerTheirColourQuestionWithTheStyle) {
  TFormHolder F;
  auto* E = new TEdit(F.Form);
  E->SetParent(F.Form);
  E->HandleNeeded();
  TPearlStyle Pearl;
  struct Case {
    const wchar_t* Name;
    TStyleElements Elements;
    bool Enabled;
    TColor Text, Back;
  };
  const Case Cases[] = {
      {L"styled", {seFont, seClient, seBorder}, true, Hex(0xE6E6E8), Hex(0x222429)},
      {L"disabled", {seFont, seClient, seBorder}, false, Hex(0x6E717A), Hex(0x1A1B1F)},
      {L"own font colour", {seClient, seBorder}, true, TColor(GetSysColor(COLOR_WINDOWTEXT)), Hex(0x222429)},
      {L"own surface", {seFont, seBorder}, true, Hex(0xE6E6E8), TColor(GetSysColor(COLOR_WINDOW))},
  };
  for (const Case& C : Cases) {
    E->SetStyleElements(C.Elements);
    E->SetEnabled(C.Enabled);
    HDC DC = CreateCompatibleDC(nullptr);
    auto Brush = HBRUSH(E->Perform(C.Enabled ? CN_CTLCOLOREDIT : CN_CTLCOLORSTATIC, WPARAM(DC), LPARAM(E->GetHandle())));
    EXPECT_EQ(TColor(GetTextColor(DC)), C.Text) << C.Name;
    EXPECT_EQ(TColor(GetBkColor(DC)), C.Back) << C.Name;
    LOGBRUSH LB{};
    ASSERT_TRUE(GetObjectW(Brush, sizeof(LB), &LB)) << C.Name;
    EXPECT_EQ(TColor(LB.lbColor), C.Back) << C.Name;
    DeleteDC(DC);
  }
}

TEST(StyleHooks, ListAndComboBoxesTakeTheStylesColours) {
  TFormHolder F;
  auto* L = new TListBox(F.Form);
  L->SetParent(F.Form);
  L->HandleNeeded();
  auto* C = new TComboBox(F.Form);
  C->SetParent(F.Form);
  C->HandleNeeded();
  TPearlStyle Pearl;
  for (auto [Control, Msg] : {std::pair<TWinControl*, Cardinal>{L, CN_CTLCOLORLISTBOX}, {C, CN_CTLCOLOREDIT}}) {
    HDC DC = CreateCompatibleDC(nullptr);
    Control->Perform(Msg, WPARAM(DC), LPARAM(Control->GetHandle()));
    EXPECT_EQ(TColor(GetTextColor(DC)), Hex(0xE6E6E8)) << Control->ClassName();
    EXPECT_EQ(TColor(GetBkColor(DC)), Hex(0x222429)) << Control->ClassName();
    DeleteDC(DC);
  }
}

// ---- Each standard control painted in the style -----------------------------------------------

struct TShot {
  std::vector<TColor> Pixels;
  Integer W, H;
  TColor At(Integer X, Integer Y) const { return Pixels[size_t(Y * W + X)]; }
  Integer MaxLuminance() const {
    Integer M = 0;
    for (TColor C : Pixels) M = std::max(M, Luminance(C));
    return M;
  }
};

TShot PaintOf(TControl* C) {
  TBitmap B(C->GetWidth(), C->GetHeight());
  B.GetCanvas()->GetBrush()->SetColor(clFuchsia);
  B.GetCanvas()->FillRect(TRect(0, 0, C->GetWidth(), C->GetHeight()));
  if (auto* W = dynamic_cast<TWinControl*>(C)) W->Perform(WM_ERASEBKGND, WPARAM(B.GetCanvas()->GetHandle()), 0);
  C->Perform(WM_PAINT, WPARAM(B.GetCanvas()->GetHandle()), 0);
  TShot S{{}, C->GetWidth(), C->GetHeight()};
  for (Integer Y = 0; Y < S.H; ++Y)
    for (Integer X = 0; X < S.W; ++X) S.Pixels.push_back(B.GetCanvas()->GetPixel(X, Y));
  return S;
}

struct TControlCase {
  const wchar_t* Name;
  std::function<TControl*(TForm*)> Make;
  TPoint Surface;  // a point of the control's surface, away from its text
};

TControl* Place(TControl* C, TForm* Form, const String& Caption, Integer W = 120, Integer H = 40) {
  C->SetParent(Form);
  C->SetBounds(0, 0, W, H);
  C->SetCaption(Caption);
  if (auto* Win = dynamic_cast<TWinControl*>(C)) Win->HandleNeeded();
  return C;
}

const TControlCase ControlCases[] = {
    {L"button", [](TForm* F) { return Place(new TButton(F), F, L"Kapat"); }, {10, 20}},
    {L"check box", [](TForm* F) { auto* C = new TCheckBox(F); Place(C, F, L"Veritabanı Sunucusu", 160, 20);
       C->SetChecked(true); return C; }, {150, 2}},
    {L"radio button", [](TForm* F) { return Place(new TRadioButton(F), F, L"İstemci", 120, 20); }, {110, 2}},
    {L"group box", [](TForm* F) { return Place(new TGroupBox(F), F, L"Bileşenler", 160, 60); }, {80, 40}},
    {L"radio group", [](TForm* F) { auto* R = new TRadioGroup(F); Place(R, F, L"Kurulum Tipi", 160, 70);
       R->GetItems()->Add(L"Yeni Kurulum"); R->GetItems()->Add(L"Güncelleme"); return R; }, {150, 60}},
    {L"panel", [](TForm* F) { return Place(new TPanel(F), F, L"Sürüm 7.8", 160, 40); }, {5, 5}},
    {L"label", [](TForm* F) { auto* L = new TLabel(F); L->SetAutoSize(false); Place(L, F, L"Zelkor SQL", 100, 20);
       L->SetTransparent(false); return L; }, {95, 18}},
    {L"hint", [](TForm* F) { auto* H = new THintWindow(F); H->SetBounds(0, 0, 140, 24); H->SetCaption(L"Kurulum konumu");
       H->HandleNeeded(); return H; }, {135, 20}},
    {L"scroll bar", [](TForm* F) { return Place(new TScrollBar(F), F, L"", 160, 17); }, {80, 8}},
};

TEST(StyleHooks, StandardControlsPaintDarkSurfacesAndLightText) {
  TFormHolder F;
  for (const TControlCase& Case : ControlCases) {
    TControl* C = Case.Make(F.Form);
    TShot Plain = PaintOf(C);
    TShot Styled;
    {
      TPearlStyle Pearl;
      Styled = PaintOf(C);
    }
    EXPECT_GT(Luminance(Plain.At(Case.Surface.X, Case.Surface.Y)), 90) << String(Case.Name);
    EXPECT_LT(Luminance(Styled.At(Case.Surface.X, Case.Surface.Y)), 70) << String(Case.Name);
    if (!C->GetText().empty()) {
      EXPECT_GT(Styled.MaxLuminance(), 180) << String(Case.Name);
    }
    delete C;
  }
}

TEST(StyleHooks, ButtonsAndCheckBoxesPaintTheElementOfTheirState) {
  TFormHolder F;
  auto* B = new TButton(F.Form);
  Place(B, F.Form, L"Qal", 100, 30);
  auto* C = new TCheckBox(F.Form);
  Place(C, F.Form, L"AnyDesk", 100, 20);
  C->SetAllowGrayed(true);
  TPearlStyle Pearl;
  struct Case {
    const wchar_t* Name;
    std::function<void()> Set;
    TControl* Control;
    TPoint At;
    TColor Expected;
  };
  const Case Cases[] = {
      {L"button", [&] {}, B, {5, 5}, Hex(0x2A2C33)},
      {L"button pressed", [&] { B->Perform(BM_SETSTATE, TRUE); }, B, {5, 5}, Hex(0x1F2126)},
      {L"button pressed border", [&] {}, B, {50, 0}, Hex(0x3A8EE6)},
      {L"button disabled", [&] { B->Perform(BM_SETSTATE, FALSE); B->SetEnabled(false); }, B, {5, 5}, Hex(0x1E1F24)},
      {L"default button border", [&] { B->SetEnabled(true); B->SetDefault(true); }, B, {50, 0}, Hex(0x3A8EE6)},
      {L"unchecked box", [&] {}, C, {6, 10}, Hex(0x222429)},
      {L"checked box", [&] { C->SetState(cbChecked); }, C, {1, 10}, Hex(0x3A8EE6)},
      {L"grayed box", [&] { C->SetState(cbGrayed); }, C, {6, 10}, Hex(0x3A8EE6)},
      {L"disabled box", [&] { C->SetState(cbUnchecked); C->SetEnabled(false); }, C, {6, 10}, Hex(0x1A1B1F)},
  };
  for (const Case& K : Cases) {
    K.Set();
    EXPECT_EQ(PaintOf(K.Control).At(K.At.X, K.At.Y), K.Expected) << String(K.Name);
  }
}

TEST(StyleHooks, ControlsBehaveAsWithoutTheStyle) {
  TFormHolder F;
  auto* B = new TButton(F.Form);
  Place(B, F.Form, L"Qal", 100, 30);
  auto* C = new TCheckBox(F.Form);
  Place(C, F.Form, L"AnyDesk", 100, 20);
  C->SetTop(40);
  auto* E = new TEdit(F.Form);
  Place(E, F.Form, L"", 100, 24);
  E->SetTop(70);
  F->Show();
  Pump();
  TPearlStyle Pearl;
  Integer Clicks = 0, Checks = 0;
  B->SetOnClick([&](TObject*) { ++Clicks; });
  C->SetOnClick([&](TObject*) { ++Checks; });
  SendMessageW(B->GetHandle(), BM_CLICK, 0, 0);
  SendMessageW(C->GetHandle(), BM_CLICK, 0, 0);
  SendMessageW(E->GetHandle(), WM_CHAR, L'ş', 0);
  EXPECT_EQ(Clicks, 1);
  EXPECT_EQ(Checks, 1);
  EXPECT_TRUE(C->GetChecked());
  EXPECT_EQ(E->GetText(), L"ş");
  // A click that frees its own button returns through the hook without touching it again.
  B->SetOnClick([&](TObject*) {
    delete B;
    B = nullptr;
  });
  SendMessageW(B->GetHandle(), BM_CLICK, 0, 0);
  EXPECT_EQ(B, nullptr);
  Pump();
  F->Hide();
}

TEST(StyleHooks, OptingOutOfTheFontKeepsTheControlsOwnTextColour) {
  TFormHolder F;
  auto* L = new TLabel(F.Form);
  L->SetAutoSize(false);
  Place(L, F.Form, L"Sürüm", 60, 20);
  L->SetTransparent(false);
  L->GetFont()->SetColor(clRed);
  TPearlStyle Pearl;
  auto Count = [](const TShot& S, TColor C) { return std::count(S.Pixels.begin(), S.Pixels.end(), C); };
  EXPECT_EQ(Count(PaintOf(L), clRed), 0);
  L->SetStyleElements({seClient, seBorder});
  TShot Own = PaintOf(L);
  EXPECT_GT(Count(Own, clRed), 5);
  EXPECT_EQ(Own.At(58, 18), Hex(0x17181C));  // the surface stays styled
}

TEST(StyleHooks, FormsPaintTheirFrameAndCaptionInTheStyle) {
  TFormHolder F(300, 200);
  F->SetBorderStyle(bsSingle);
  F->SetCaption(L"Zelkor SQL (Kurulum Sihirbazı)");
  F->HandleNeeded();
  TPearlStyle Pearl;
  RECT W;
  GetWindowRect(F->GetHandle(), &W);
  TBitmap B(W.right - W.left, W.bottom - W.top);
  F->Perform(WM_PRINT, WPARAM(B.GetCanvas()->GetHandle()), PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);
  Integer CaptionY = GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
  EXPECT_EQ(B.GetCanvas()->GetPixel(40 + 60, CaptionY - 6), Hex(0x1B1C21)) << "caption";
  EXPECT_EQ(B.GetCanvas()->GetPixel(1, (W.bottom - W.top) / 2), Hex(0x1B1C21)) << "frame";
  EXPECT_EQ(B.GetCanvas()->GetPixel((W.right - W.left) / 2, (W.bottom - W.top) / 2), Hex(0x17181C)) << "client";
  Integer Light = 0;  // the caption's text
  for (Integer X = 0; X < 200; ++X)
    for (Integer Y = 0; Y < CaptionY * 2; ++Y) Light = std::max(Light, Luminance(B.GetCanvas()->GetPixel(X, Y)));
  EXPECT_GT(Light, 180);
}

// ---- On a real screen -------------------------------------------------------------------------

TEST(StyleHooks, OnScreenFormWithEveryStandardControlIsDarkWithLightText) {
  TPearlStyle Pearl;
  TFormHolder F(560, 320);
  F->SetCaption(L"Zelkor SQL");
  struct Sample {
    const wchar_t* Name;
    TControl* Control;
    TPoint Surface;     // dark
    bool HasText;       // light somewhere inside
  };
  std::vector<Sample> Samples;
  auto Add = [&](const wchar_t* Name, TControl* C, Integer X, Integer Y, Integer W, Integer H, TPoint Surface,
                 bool HasText) {
    C->SetParent(F.Form);
    C->SetBounds(X, Y, W, H);
    Samples.push_back({Name, C, Surface, HasText});
    return C;
  };
  auto* Btn = new TButton(F.Form);
  Btn->SetCaption(L"Kapat");
  Add(L"button", Btn, 10, 10, 100, 30, {6, 15}, true);
  auto* Chk = new TCheckBox(F.Form);
  Chk->SetCaption(L"Veritabanı Sunucusu");
  Chk->SetChecked(true);
  Add(L"check box", Chk, 130, 15, 180, 20, {175, 3}, true);
  auto* Rb = new TRadioButton(F.Form);
  Rb->SetCaption(L"İstemci");
  Add(L"radio button", Rb, 330, 15, 150, 20, {145, 3}, true);
  auto* Edit = new TEdit(F.Form);
  Add(L"edit", Edit, 10, 60, 200, 24, {190, 12}, true);
  Edit->SetText(L"C:\\Zelkor");
  auto* Memo = new TMemo(F.Form);
  Add(L"memo", Memo, 230, 60, 300, 80, {150, 60}, true);
  Memo->SetScrollBars(ssVertical);
  Memo->SetText(L"- [10:00:00] Kurulum başladı\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8");
  auto* Gb = new TGroupBox(F.Form);
  Gb->SetCaption(L"Kurulum Konumu");
  Add(L"group box", Gb, 10, 150, 200, 80, {100, 50}, true);
  auto* Rg = new TRadioGroup(F.Form);
  Rg->SetCaption(L"Versiyon");
  Rg->GetItems()->Add(L"5.0 (PostgreSQL)");
  Rg->GetItems()->Add(L"6.0 (PostgreSQL)");
  Rg->SetItemIndex(1);
  Add(L"radio group", Rg, 230, 150, 200, 80, {195, 75}, true);
  auto* Pnl = new TPanel(F.Form);
  Pnl->SetCaption(L"Sürüm 7.8");
  Add(L"panel", Pnl, 10, 250, 200, 40, {5, 5}, true);
  auto* Lbl = new TLabel(F.Form);
  Lbl->SetAutoSize(false);
  Lbl->SetCaption(L"Güncelleme kontrol ediliyor");
  Add(L"label", Lbl, 230, 250, 200, 20, {190, 10}, true);
  auto* Sb = new TScrollBar(F.Form);
  Add(L"scroll bar", Sb, 230, 280, 200, 17, {100, 8}, false);
  F->Show();
  SetWindowPos(F->GetHandle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  PumpUntil([] { return false; }, 300);
  RedrawWindow(F->GetHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpUntil([] { return false; }, 200);
  GdiFlush();
  PumpUntil([] { return false; }, 300);

  // What the screen shows, read back from the screen itself.
  TPoint Origin = F->ClientToScreen(TPoint(0, 0));
  Integer W = F->GetClientWidth(), H = F->GetClientHeight();
  TBitmap Shot(W, H);
  HDC Screen = GetDC(nullptr);
  BitBlt(Shot.GetCanvas()->GetHandle(), 0, 0, W, H, Screen, Origin.X, Origin.Y, SRCCOPY);
  ReleaseDC(nullptr, Screen);

  EXPECT_LT(Luminance(Shot.GetCanvas()->GetPixel(540, 300)), 50) << "form";
  for (const Sample& S : Samples) {
    TControl* C = S.Control;
    EXPECT_LT(Luminance(Shot.GetCanvas()->GetPixel(C->GetLeft() + S.Surface.X, C->GetTop() + S.Surface.Y)), 70)
        << String(S.Name);
    if (!S.HasText) continue;
    Integer Light = 0;
    for (Integer Y = C->GetTop(); Y < C->GetTop() + C->GetHeight(); ++Y)
      for (Integer X = C->GetLeft(); X < C->GetLeft() + C->GetWidth(); ++X)
        Light = std::max(Light, Luminance(Shot.GetCanvas()->GetPixel(X, Y)));
    EXPECT_GT(Light, 180) << String(S.Name);
  }
  if (HasFailure()) Shot.SaveToFile(L"StyleHooksOnScreen.bmp");  // to look at what went wrong
  F->Hide();
  Pump();
}

}  // namespace
