#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Forms.h"
#include "framework/ImgList.h"
#include "framework/StdCtrls.h"
#include "framework/SysUtils.h"
#include "framework/Themes.h"
#include "framework/classes/ObjectText.h"
#include "framework/controls/ControlsTestUtil.h"
#include "htmllabel/MarkupLabel.h"
#include "htmllabel/PictureFixtures.h"
#include "htmllabel/PictureStore.h"

namespace {

using ctltest::Pump;
using ctltest::PumpUntil;

class TLabelForm : public TForm {
  DECLARE_CLASS(TLabelForm, TForm)
 public:
  using TForm::TForm;
  std::vector<String> Log;
  void LinkClick(TObject*, const String& Anchor) { Log.push_back(L"click " + Anchor); }
  void LinkEnter(TObject*, const String& Anchor) { Log.push_back(L"enter " + Anchor); }
  void LinkExit(TObject*, const String& Anchor) { Log.push_back(L"exit " + Anchor); }
  void LinkHint(TObject*, String& Anchor) { Anchor = L"[" + Anchor + L"]"; }
  void LabelNewSize(TObject*, Integer W, Integer H) { Log.push_back(L"size " + IntToStr(W) + L"x" + IntToStr(H)); }
  PUBLISHED_DECL(TLabelForm);
};

PUBLISHED_DEF(TLabelForm) {
  METHOD(LinkClick);
  METHOD(LinkEnter);
  METHOD(LinkExit);
  METHOD(LinkHint);
  METHOD(LabelNewSize);
}

void RegisterAll() {
  RegisterClasses({TLabelForm::StaticClass(), TMarkupLabel::StaticClass(), TImageList::StaticClass(),
                   TPictureStore::StaticClass()});
}

// A shown borderless form with one label at (10, 10).
struct TLabelHolder {
  TLabelForm* Form;
  TMarkupLabel* Label;
  TLabelHolder() {
    RegisterAll();
    Form = new TLabelForm(nullptr, 0);
    Form->AfterConstruction();
    Form->SetName(L"LabelForm");
    Form->SetPosition(poDesigned);
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(20, 20, 400, 300);
    Label = new TMarkupLabel(Form);
    Label->SetName(L"Label1");
    Label->SetParent(Form);
    Label->SetBounds(10, 10, 300, 200);
    Form->Show();
    Pump();
  }
  ~TLabelHolder() {
    delete Form;
    Pump();
  }
};

std::string FormText(TComponent* Root) {
  TMemoryStream M, Out;
  M.WriteComponent(Root);
  M.SetPosition(0);
  ObjectBinaryToText(&M, &Out);
  return std::string(static_cast<const char*>(Out.GetMemory()), size_t(Out.GetSize()));
}

void ReadFormText(const std::string& Text, TComponent* Root) {
  TMemoryStream S;
  S.WriteBuffer(Text.data(), Integer(Text.size()));
  S.SetPosition(0);
  ReadComponentFromStream(&S, Root);
}

std::vector<String> ShellCalls;
void RecordShellOpen(const String& Reference) { ShellCalls.push_back(Reference); }

struct TShellRecorder {
  TShellOpenReference Old;
  TShellRecorder() : Old(SetShellOpenReference(&RecordShellOpen)) { ShellCalls.clear(); }
  ~TShellRecorder() { SetShellOpenReference(Old); }
};

LPARAM At(TMarkupLabel* L, Integer X, Integer Y) { return MAKELPARAM(L->GetLeft() + X, L->GetTop() + Y); }

// ---- Text ----

TEST(MarkupLabel, AssignedLinesBecomeOneLineAndStreamedLinesAreJoinedWithBlanks) {
  TLabelHolder H;
  TStringList Two;
  Two.Add(L"a");
  Two.Add(L"b");
  H.Label->SetHTMLText(&Two);
  ASSERT_EQ(H.Label->GetHTMLText()->GetCount(), 1);
  EXPECT_EQ(H.Label->GetHTMLText()->GetStrings(0), L"ab");

  struct {
    const char* Lines;
    const wchar_t* Plain;
  } Cases[] = {
      {"'a'\n      'b'", L"a b"},
      {"'<b>x</b>'\n      '<i>y</i>'", L"xy"},  // tag against tag: joined directly
      {"'x</b>'\n      'y'", L"x y"},
  };
  for (const auto& C : Cases) {
    RegisterAll();
    auto* F = new TLabelForm(nullptr, 0);
    std::unique_ptr<TLabelForm> Hold(F);
    F->AfterConstruction();
    ReadFormText(std::string("object LabelForm: TLabelForm\n  object Label1: TMarkupLabel\n    HTMLText.Strings = (\n      ") +
                     C.Lines + ")\n  end\nend\n",
                 F);
    auto* L = dynamic_cast<TMarkupLabel*>(F->FindComponent(L"Label1"));
    ASSERT_NE(L, nullptr);
    EXPECT_EQ(L->GetHTMLText()->GetCount(), 2);
    EXPECT_EQ(L->GetText(), C.Plain) << C.Lines;
  }
}

TEST(MarkupLabel, VersionScaleAndUpdateCounter) {
  TLabelHolder H;
  TMarkupLabel* L = H.Label;
  EXPECT_EQ(L->GetVersion(), L"2.2.1.2");
  L->SetVersion(L"9.9");
  EXPECT_EQ(L->GetVersion(), L"2.2.1.2");
  L->SetDPIScale(1.5f);
  L->SetDPIScale(0);
  L->SetDPIScale(-2);
  EXPECT_FLOAT_EQ(L->GetDPIScaleFactor(), 1.5f);
  L->EndUpdate();  // without BeginUpdate: stays at 0
  EXPECT_EQ(L->GetUpdateCount(), 0);
  L->BeginUpdate();
  L->BeginUpdate();
  L->EndUpdate();
  EXPECT_EQ(L->GetUpdateCount(), 1);
  L->EndUpdate();
  EXPECT_EQ(L->GetUpdateCount(), 0);
}

TEST(MarkupLabel, HighlightAndMarkWrapEveryHitAndComeOffAgain) {
  TLabelHolder H;
  TStringList S;
  S.Add(L"Kurulum kurulum");
  H.Label->SetHTMLText(&S);
  H.Label->HilightText(L"kurulum", false);
  EXPECT_EQ(H.Label->GetHTMLText()->GetStrings(0), L"<hi>Kurulum</hi> <hi>kurulum</hi>");
  H.Label->UnHilightText();
  H.Label->MarkText(L"kurulum", true);
  EXPECT_EQ(H.Label->GetHTMLText()->GetStrings(0), L"Kurulum <e>kurulum</e>");
  H.Label->UnMarkText();
  EXPECT_EQ(H.Label->GetHTMLText()->GetStrings(0), L"Kurulum kurulum");
}

// ---- Sizing ----

TEST(MarkupLabel, AutoSizingFollowsTheTextAndReportsEachNewSizeOnce) {
  TLabelHolder H;
  TMarkupLabel* L = H.Label;
  L->SetOnNewSize({H.Form, &TLabelForm::LabelNewSize});
  TStringList S;
  S.Add(L"Bir");
  L->SetHTMLText(&S);
  const TSize One = L->GetSizeWithMaxWidth(4096);
  S.Clear();
  S.Add(L"Bir<br>iki satır<br>üç");
  L->SetHTMLText(&S);
  const TSize Three = L->GetSizeWithMaxWidth(4096);
  EXPECT_GT(Three.cy, 2 * One.cy);  // the breaks give lines of their own

  L->SetAutoSizeType(asBoth);
  L->SetAutoSizing(true);
  L->Doit();
  Pump();
  EXPECT_EQ(L->GetWidth(), Three.cx + 6);
  EXPECT_EQ(L->GetHeight(), Three.cy + 6);
  L->Doit();  // same size: no second report
  Pump();
  EXPECT_EQ(H.Form->Log, std::vector<String>{L"size " + IntToStr(Three.cx + 6) + L"x" + IntToStr(Three.cy + 6)});

  H.Form->Log.clear();
  S.Clear();
  S.Add(L"Bir");
  L->SetHTMLText(&S);
  L->Doit();
  Pump();
  EXPECT_EQ(L->GetHeight(), One.cy + 6);
  EXPECT_EQ(H.Form->Log.size(), 1u);
}

// A picture of the label's store gives its line the picture's height; the label sizes to both.
TEST(MarkupLabel, AutoSizingCountsPicturesOfTheStore) {
  TLabelHolder H;
  auto* Store = new TPictureStore(H.Form);
  TPictureItem* Item = Store->GetItems()->Add();
  Item->SetName(L"Logo");
  {
    const fixtures::TData D = fixtures::Png(64, 32);
    TMemoryStream M;
    M.WriteBuffer(D.data(), Integer(D.size()));
    M.SetPosition(0);
    Item->GetPicture()->LoadFromStream(&M);
  }
  TMarkupLabel* L = H.Label;
  L->SetPictureStore(Store);
  EXPECT_EQ(Store->RegisteredControlCount(), 1);  // the store's changes repaint the label
  TStringList S;
  S.Add(L"Bir<br><img src=\"logo\"> iki");
  L->SetHTMLText(&S);
  TBitmap Measure;
  Measure.GetCanvas()->GetFont()->Assign(L->GetFont());
  const Integer Gh = Measure.GetCanvas()->TextHeight(L"gh");
  const Integer Second = 64 + 2 + Measure.GetCanvas()->TextWidth(L" iki");
  L->SetAutoSizeType(asBoth);
  L->SetAutoSizing(true);
  L->Doit();
  Pump();
  EXPECT_EQ(L->GetWidth(), std::max(Second, Measure.GetCanvas()->TextWidth(L"Bir")) + 2 + 6);
  EXPECT_EQ(L->GetHeight(), Gh + 32 + 6);
  // Without the store the picture takes no room.
  L->SetPictureStore(nullptr);
  L->Doit();
  Pump();
  EXPECT_EQ(L->GetHeight(), 2 * Gh + 6);
}

// A label that takes another store leaves the old one, which then neither repaints it nor holds
// it: the label, the old and the new store may go in any order.
TEST(MarkupLabel, ChangingTheStoreLeavesTheOldOne) {
  const struct {
    const char* Order;  // L label, A old store, B new store
  } Cases[] = {{"LAB"}, {"ALB"}, {"ABL"}, {"BAL"}, {"BLA"}, {"LBA"}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Order);
    auto* L = new TMarkupLabel(nullptr);
    auto* A = new TPictureStore(nullptr);
    auto* B = new TPictureStore(nullptr);
    L->SetPictureStore(A);
    L->SetPictureStore(B);
    EXPECT_EQ(A->RegisteredControlCount(), 0);
    EXPECT_EQ(B->RegisteredControlCount(), 1);
    L->SetPictureStore(B);
    EXPECT_EQ(B->RegisteredControlCount(), 1);
    for (const char* P = C.Order; *P; ++P) {
      if (*P == 'L') {
        delete L;
        L = nullptr;
        if (A) {
          EXPECT_EQ(A->RegisteredControlCount(), 0);
        }
        if (B) {
          EXPECT_EQ(B->RegisteredControlCount(), 0);
        }
      } else if (*P == 'A') {
        delete A;
        A = nullptr;
        if (L) {
          EXPECT_EQ(L->GetPictureStore(), B);
        }
      } else {
        delete B;
        B = nullptr;
        if (L) {
          EXPECT_EQ(L->GetPictureStore(), nullptr);
        }
      }
      if (A) A->Changed();  // would reach a freed label if it still held one
    }
  }
}

// ---- Anchors ----

TEST(MarkupLabel, OnlyWebReferencesAreForTheShell) {
  struct {
    const wchar_t* Ref;
    bool Web;
  } Cases[] = {
      {L"http://127.0.0.1/a", true}, {L"HTTPS://127.0.0.1", true}, {L"mailto:x", true},
      {L"ftp://127.0.0.1/f", true},  {L"page2", false},            {L"file:///c:/windows/notepad.exe", false},
      {L"c:\\x.exe", false},         {L"javascript:alert(1)", false}, {L"cmd /c x ://", false},
      {L" http://127.0.0.1", false}, {L"", false},                 {L"\\\\host\\share\\x.exe", false},
  };
  for (const auto& C : Cases) EXPECT_EQ(IsWebReference(C.Ref), C.Web) << C.Ref;
}

// One anchor per line, so line I's middle is on anchor I.
struct TAnchorLabel : TLabelHolder {
  Integer LineH = 0;
  TAnchorLabel() {
    TStringList S;
    S.Add(L"<a href=\"page2\">Sayfa iki</a><br><a href=\"mailto:x\">Posta</a><br>"
          L"<a href=\"file:///c:/windows/notepad.exe\">Dosya</a><br><a href=\"javascript:alert(1)\">Betik</a><br>"
          L"<a href=\"http://127.0.0.1/\">Ağ</a><br><a href=\"c:\\x.exe\">Yol</a>");
    Label->SetHTMLText(&S);
    Label->SetOnAnchorClick({Form, &TLabelForm::LinkClick});
    Label->SetOnAnchorEnter({Form, &TLabelForm::LinkEnter});
    Label->SetOnAnchorExit({Form, &TLabelForm::LinkExit});
    LineH = Label->GetSizeWithMaxWidth(4096).cy / 6;
    Label->Doit();
    Pump();
  }
  Integer Y(Integer Line) const { return Line * LineH + LineH / 2; }
  void Post(UINT Msg, WPARAM W, Integer X, Integer Yc) { PostMessageW(Form->GetHandle(), Msg, W, At(Label, X, Yc)); }
};

TEST(MarkupLabel, ClickFiresTheEventForEveryAnchorAndOpensOnlyWebOnes) {
  TShellRecorder Shell;
  TAnchorLabel H;
  for (Integer I = 0; I < 6; ++I) {
    H.Post(WM_LBUTTONDOWN, MK_LBUTTON, 5, H.Y(I));
    H.Post(WM_LBUTTONUP, 0, 5, H.Y(I));
  }
  H.Post(WM_LBUTTONDOWN, MK_LBUTTON, 280, H.Y(0));  // beside the text: no anchor
  H.Post(WM_LBUTTONUP, 0, 280, H.Y(0));
  PumpUntil([&] { return H.Form->Log.size() >= 6; });
  Pump();
  std::vector<String> Clicks;
  for (const String& E : H.Form->Log)
    if (E.rfind(L"click ", 0) == 0) Clicks.push_back(E);
  EXPECT_EQ(Clicks, (std::vector<String>{L"click page2", L"click mailto:x", L"click file:///c:/windows/notepad.exe",
                                         L"click javascript:alert(1)", L"click http://127.0.0.1/", L"click c:\\x.exe"}));
  EXPECT_EQ(ShellCalls, (std::vector<String>{L"mailto:x", L"http://127.0.0.1/"}));
}

TEST(MarkupLabel, HoverEntersOnceWithTheHandAndLeavesWithAnEmptyReference) {
  TShellRecorder Shell;
  TAnchorLabel H;
  H.Post(WM_MOUSEMOVE, 0, 4, H.Y(0));
  H.Post(WM_MOUSEMOVE, 0, 6, H.Y(0));  // still on the same anchor
  PumpUntil([&] { return !H.Form->Log.empty(); });
  Pump();
  EXPECT_EQ(H.Form->Log, std::vector<String>{L"enter page2"});
  EXPECT_EQ(H.Label->GetCursor(), crHandPoint);
  H.Post(WM_MOUSEMOVE, 0, 4, H.Y(1));
  H.Post(WM_MOUSEMOVE, 0, 280, H.Y(1));
  H.Post(WM_MOUSEMOVE, 0, 281, H.Y(1));
  PumpUntil([&] { return H.Form->Log.size() >= 3; });
  Pump();
  EXPECT_EQ(H.Form->Log, (std::vector<String>{L"enter page2", L"enter mailto:x", L"exit "}));
  EXPECT_EQ(H.Label->GetCursor(), crDefault);
  EXPECT_TRUE(ShellCalls.empty());
}

TEST(MarkupLabel, HintShowsTheAnchorOrTheWholeText) {
  TAnchorLabel H;
  TMarkupLabel* L = H.Label;
  L->SetHint(L"sıradan");
  struct {
    bool AnchorHint, ShowFull, HTMLHint;
    Integer X;
    const wchar_t* Expected;
  } Cases[] = {
      {true, false, false, 5, L"[page2]"},
      {true, false, false, 280, L"sıradan"},
      {false, false, false, 5, L"sıradan"},
      {true, true, false, 280, nullptr},  // the plain text
      {false, true, true, 5, nullptr},    // the marked-up text
  };
  L->SetOnAnchorHint({H.Form, &TLabelForm::LinkHint});
  for (const auto& C : Cases) {
    L->SetAnchorHint(C.AnchorHint);
    L->SetHintShowFull(C.ShowFull);
    L->SetHTMLHint(C.HTMLHint);
    THintInfo Info;
    Info.HintControl = L;
    Info.CursorPos = {C.X, H.Y(0)};
    Info.HintStr = L->GetHint();
    L->Perform(CM_HINTSHOW, 0, LPARAM(&Info));
    String Expected = C.Expected ? String(C.Expected) : C.HTMLHint ? L->GetHTMLText()->GetStrings(0) : L->GetText();
    EXPECT_EQ(Info.HintStr, Expected) << C.AnchorHint << C.ShowFull << C.HTMLHint << C.X;
  }
}

// A bottom-aligned text lies at the bottom of the label: the anchor is found there, not at the top.
TEST(MarkupLabel, VerticalAlignmentMovesTheAnchors) {
  TShellRecorder Shell;
  struct {
    TVAlignment Align;
    bool HitAtTop, HitAtBottom;
  } Cases[] = {{tvaTop, true, false}, {tvaBottom, false, true}};
  for (const auto& C : Cases) {
    TLabelHolder H;
    TStringList S;
    S.Add(L"<a href=\"page2\">Sayfa iki</a>");
    H.Label->SetHTMLText(&S);
    H.Label->SetVAlignment(C.Align);
    H.Label->SetOnAnchorClick({H.Form, &TLabelForm::LinkClick});
    Integer LineH = H.Label->GetSizeWithMaxWidth(4096).cy;
    for (Integer Y : {LineH / 2, H.Label->GetHeight() - LineH / 2}) {
      PostMessageW(H.Form->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, At(H.Label, 5, Y));
      PostMessageW(H.Form->GetHandle(), WM_LBUTTONUP, 0, At(H.Label, 5, Y));
    }
    PumpUntil([&] { return !H.Form->Log.empty(); }, 500);
    Pump();
    std::vector<String> Expected;
    if (C.HitAtTop) Expected.push_back(L"click page2");
    if (C.HitAtBottom) Expected.push_back(L"click page2");
    EXPECT_EQ(H.Form->Log, Expected) << C.Align;
  }
}

TEST(MarkupLabel, AcceleratorInTheTextFocusesTheFocusControl) {
  TLabelHolder H;
  auto* Edit = new TEdit(H.Form);
  Edit->SetParent(H.Form);
  Edit->SetBounds(10, 250, 100, 21);
  auto* Other = new TEdit(H.Form);
  Other->SetParent(H.Form);
  Other->SetBounds(150, 250, 100, 21);
  TStringList S;
  S.Add(L"<b>&Ad</b> ve soyad");
  H.Label->SetHTMLText(&S);
  H.Label->SetFocusControl(Edit);
  Other->SetFocus();
  EXPECT_EQ(H.Label->Perform(CM_DIALOGCHAR, L'S', 0), 0);  // no "&" before S
  EXPECT_TRUE(Other->Focused());
  EXPECT_EQ(H.Label->Perform(CM_DIALOGCHAR, L'A', 0), 1);
  EXPECT_TRUE(Edit->Focused());
}

// Under the wizard's style the label takes the style's face, text and border colours; a label
// that leaves the client to itself keeps its own.
TEST(MarkupLabel, StyleColoursFollowTheActiveStyle) {
  ASSERT_TRUE(TStyleManager::TrySetStyle(L"Material Black Pearl"));
  struct TBack {
    ~TBack() { TStyleManager::TrySetStyle(TStyleManager::SystemStyleName); }
  } Back;
  TLabelHolder H;
  TCustomStyleServices* S = StyleServices();
  EXPECT_EQ(H.Label->GetColor(), S->GetSystemColor(clBtnFace));
  EXPECT_EQ(H.Label->GetBorderColor(), S->GetStyleColor(scBorder));
  EXPECT_NE(H.Label->GetColor(), TColor(clBtnFace));

  auto* Own = new TMarkupLabel(H.Form);
  Own->SetParent(H.Form);
  Own->SetStyleElements(TStyleElements{seFont, seBorder});
  Own->SetColor(clYellow);
  Own->SetBorderColor(clBlack);
  Own->Perform(CM_STYLECHANGED);
  EXPECT_EQ(Own->GetColor(), TColor(clYellow));
  EXPECT_EQ(Own->GetBorderColor(), TColor(clBlack));
}

// The label painted with its form into a bitmap: gradient background and the single border.
TEST(MarkupLabel, PaintsGradientBandsAndTheBorder) {
  TLabelHolder H;
  TMarkupLabel* L = H.Label;
  L->SetBounds(10, 10, 200, 40);
  L->SetTransparent(false);
  L->SetColor(clRed);
  L->SetColorTo(clBlue);
  auto PixelAt = [&](Integer X, Integer Y) {
    TBitmap Bmp;
    Bmp.SetPixelFormat(pf24bit);
    Bmp.SetSize(H.Form->GetClientWidth(), H.Form->GetClientHeight());
    H.Form->PaintTo(Bmp.GetCanvas()->GetHandle(), 0, 0);
    return Bmp.GetCanvas()->GetPixel(L->GetLeft() + X, L->GetTop() + Y);
  };
  // 200 / 4 = 50 bands: the last one stands one step short of blue.
  const TColor Last = TColor(0xFA0005);
  EXPECT_EQ(PixelAt(1, 20), TColor(clRed));
  EXPECT_EQ(PixelAt(198, 20), Last);
  L->SetGradientType(gtFullVertical);
  EXPECT_EQ(PixelAt(100, 0), TColor(clRed));
  EXPECT_EQ(PixelAt(100, 39), Last);
  L->SetGradientType(gtBottomLine);
  L->SetLineWidth(4);
  EXPECT_EQ(PixelAt(100, 20), TColor(clRed));   // above the band: the plain colour
  EXPECT_EQ(PixelAt(198, 38), Last);  // the band's end
  L->SetBorderStyle(bsSingle);
  L->SetBorderWidth(2);
  L->SetBorderColor(clLime);
  EXPECT_EQ(PixelAt(0, 20), TColor(clLime));
  EXPECT_EQ(PixelAt(199, 20), TColor(clLime));
  EXPECT_EQ(PixelAt(100, 0), TColor(clLime));
  EXPECT_EQ(PixelAt(100, 39), TColor(clLime));
  EXPECT_NE(PixelAt(2, 20), TColor(clLime));  // two pixels wide, no more
}

// Printing draws into any canvas; a bottom-aligned text leaves the top of the rectangle blank.
TEST(MarkupLabel, PrintsIntoAnotherCanvasWithItsAlignment) {
  TLabelHolder H;
  TStringList S;
  S.Add(L"<b>Yazdır</b>");
  H.Label->SetHTMLText(&S);
  auto Rows = [&](TVAlignment A) {
    H.Label->SetVAlignment(A);
    TBitmap Bmp;
    Bmp.SetPixelFormat(pf24bit);
    Bmp.SetSize(200, 100);
    TCanvas* C = Bmp.GetCanvas();
    C->GetBrush()->SetColor(clWhite);
    C->FillRect(TRect(0, 0, 200, 100));
    C->GetFont()->SetName(L"Tahoma");
    H.Label->HTMLPrint(C, TRect(0, 0, 200, 100));
    std::pair<Integer, Integer> Inked{100, -1};  // first and last row with ink
    for (Integer Y = 0; Y < 100; ++Y)
      for (Integer X = 0; X < 200; ++X)
        if (C->GetPixel(X, Y) != TColor(clWhite)) {
          Inked.first = std::min(Inked.first, Y);
          Inked.second = std::max(Inked.second, Y);
        }
    return Inked;
  };
  auto Top = Rows(tvaTop), Bottom = Rows(tvaBottom);
  ASSERT_GE(Top.second, 0);
  EXPECT_LT(Top.second, 50);
  EXPECT_GT(Bottom.first, 50);
}

// ---- Streaming ----

TEST(MarkupLabel, EveryPublishedPropertyIsWrittenAndReadBack) {
  TLabelHolder H;
  auto* Images = new TImageList(H.Form);
  Images->SetName(L"ImageList1");
  auto* Store = new TPictureStore(H.Form);
  Store->SetName(L"PictureStore1");
  TMarkupLabel* L = H.Label;
  TStringList S;
  S.Add(L"<b>Kurulum</b> ş");
  L->SetHTMLText(&S);
  L->GetHTMLText()->Add(L"<a href=\"http://127.0.0.1/\">ikinci</a>");
  L->SetTransparent(false);
  L->SetAnchorHint(true);
  L->SetAutoSizeType(asHorizontal);
  L->SetBevelInner(bvRaised);
  L->SetBevelOuter(bvLowered);
  L->SetBevelWidth(3);
  L->SetBorderWidth(2);
  L->SetBorderStyle(bsSingle);
  L->SetBorderColor(clRed);
  L->SetColorTo(TColor(0x00FFEEDD));
  L->SetEllipsis(true);
  L->SetGradientType(gtCenterLine);
  L->SetHintShowFull(true);
  L->SetHover(true);
  L->SetHoverColor(clYellow);
  L->SetHoverFontColor(clNavy);
  L->SetHTMLHint(true);
  L->SetImages(Images);
  L->SetLineWidth(5);
  L->SetLineSpacing(4);
  L->SetPictureStore(Store);
  L->SetShadowColor(clSilver);
  L->SetShadowOffset(3);
  L->SetURLColor(clGreen);
  L->SetVAlignment(tvaBottom);
  L->SetAutoSizing(true);
  L->SetOnAnchorClick({H.Form, &TLabelForm::LinkClick});
  L->SetOnAnchorEnter({H.Form, &TLabelForm::LinkEnter});
  L->SetOnAnchorExit({H.Form, &TLabelForm::LinkExit});
  L->SetOnAnchorHint({H.Form, &TLabelForm::LinkHint});
  L->SetOnNewSize({H.Form, &TLabelForm::LabelNewSize});

  const std::string Written = FormText(H.Form);
  for (const char* Part :
       {"Transparent = False", "AnchorHint = True", "AutoSizeType = asHorizontal", "BevelInner = bvRaised",
        "BevelOuter = bvLowered", "BevelWidth = 3", "BorderWidth = 2", "BorderStyle = bsSingle", "BorderColor = clRed",
        "ColorTo = 16772829", "Ellipsis = True", "GradientType = gtCenterLine", "HintShowFull = True", "Hover = True",
        "HoverColor = clYellow", "HoverFontColor = clNavy", "HTMLHint = True", "HTMLText.Strings = (", "Images = ImageList1",
        "LineWidth = 5", "LineSpacing = 4", "PictureStore = PictureStore1", "ShadowColor = clSilver", "ShadowOffset = 3",
        "URLColor = clGreen", "VAlignment = tvaBottom", "AutoSizing = True", "Version = '2.2.1.2'",
        "OnAnchorClick = LinkClick", "OnAnchorEnter = LinkEnter", "OnAnchorExit = LinkExit", "OnAnchorHint = LinkHint",
        "OnNewSize = LabelNewSize"})
    EXPECT_NE(Written.find(Part), std::string::npos) << Part << "\n" << Written;

  auto* Copy = new TLabelForm(nullptr, 0);
  std::unique_ptr<TLabelForm> Hold(Copy);
  Copy->AfterConstruction();
  ReadFormText(Written, Copy);
  auto LabelPart = [](const std::string& T) { return T.substr(T.find("object Label1")); };
  EXPECT_EQ(LabelPart(FormText(Copy)), LabelPart(Written));
  auto* C = dynamic_cast<TMarkupLabel*>(Copy->FindComponent(L"Label1"));
  ASSERT_NE(C, nullptr);
  EXPECT_EQ(C->GetHTMLText()->GetCount(), 2);
  EXPECT_EQ(C->GetImages(), Copy->FindComponent(L"ImageList1"));
  EXPECT_EQ(C->GetPictureStore(), Copy->FindComponent(L"PictureStore1"));

  // A label with nothing changed writes none of its own properties.
  auto* Plain = new TMarkupLabel(Copy);
  Plain->SetName(L"Plain");
  Plain->SetParent(Copy);
  std::string Fresh = FormText(Copy);
  ASSERT_NE(Fresh.find("object Plain: TMarkupLabel"), std::string::npos) << Fresh;
  std::string PlainPart = Fresh.substr(Fresh.find("object Plain: TMarkupLabel"));
  for (const char* Absent : {"Transparent", "BevelWidth", "URLColor", "ShadowOffset", "LineWidth", "ColorTo", "AutoSizing"})
    EXPECT_EQ(PlainPart.find(Absent), std::string::npos) << Absent << "\n" << PlainPart;
}

TEST(MarkupLabel, FreedImageListAndStoreAreForgotten) {
  TLabelHolder H;
  auto* Images = new TImageList(H.Form);
  auto* Other = new TImageList(H.Form);
  auto* Store = new TPictureStore(H.Form);
  H.Label->SetImages(Images);
  H.Label->SetImages(Other);
  H.Label->SetPictureStore(Store);
  delete Images;  // no longer linked: nothing reaches the label
  delete Other;
  delete Store;
  EXPECT_EQ(H.Label->GetImages(), nullptr);
  EXPECT_EQ(H.Label->GetPictureStore(), nullptr);
  H.Label->Doit();
}

}  // namespace
