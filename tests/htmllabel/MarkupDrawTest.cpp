#include <gtest/gtest.h>

#include <random>

#include "framework/Graphics.h"
#include "framework/ImgList.h"
#include "framework/WinApi.h"
#include "htmllabel/MarkupDraw.h"
#include "htmllabel/PictureFixtures.h"
#include "htmllabel/PictureStore.h"

namespace {

// An off-screen canvas; every expected figure is measured on it, never taken from elsewhere.
struct TPage {
  TBitmap Bmp;
  TPage(Integer W = 400, Integer H = 300) {
    Bmp.SetPixelFormat(pf24bit);
    Bmp.SetSize(W, H);
    C()->GetBrush()->SetColor(clWhite);
    C()->FillRect(Rect(0, 0, W, H));
    C()->GetFont()->SetName(L"Arial");
    C()->GetFont()->SetSize(10);
    C()->GetFont()->SetColor(clBlack);
  }
  TCanvas* C() { return Bmp.GetCanvas(); }
  Integer W(const String& T, TFontStyles Style = TFontStyles()) {
    TFontStyles Old = C()->GetFont()->GetStyle();
    C()->GetFont()->SetStyle(Style);
    Integer R = C()->TextWidth(T);
    C()->GetFont()->SetStyle(Old);
    return R;
  }
  Integer Gh() { return C()->TextHeight(L"gh"); }
  bool Draw(const String& Text, const TRect& R, THTMLDrawResult& Out, THTMLDrawParams P = THTMLDrawParams()) {
    return HTMLDrawEx(C(), Text, R, P, Out);
  }
};

bool Inked(TCanvas* C, const TRect& R, TColor Background = clWhite);

TEST(MarkupLayout, MeasuresRunsWithTheCanvasFont) {
  TPage Pg;
  const Integer Gh = Pg.Gh();
  struct {
    const wchar_t* Text;
    Integer Width;  // expected text width (widest line + 2)
    Integer Lines;
  } Cases[] = {
      {L"", 0, 0},
      {L"Hello", Pg.W(L"Hello") + 2, 1},
      {L"<b>Hello</b>", Pg.W(L"Hello", {fsBold}) + 2, 1},
      {L"a<br>bb", Pg.W(L"bb") + 2, 2},
      {L"one\r\ntwo", std::max(Pg.W(L"one"), Pg.W(L"two")) + 2, 2},
      {L"<x>plain<C>", Pg.W(L"plain") + 2, 1},             // unknown tags are dropped
      {L"cut<b here", Pg.W(L"cut") + 2, 1},                 // an unclosed "<" drops the rest
      {L"a&lt;b&gt;&nbsp;c", Pg.W(L"a<b> c") + 2, 1},
      {L"x<z>hidden</z>y", Pg.W(L"x") + Pg.W(L"y") + 2, 1},
  };
  for (const auto& C : Cases) {
    THTMLDrawResult R;
    Pg.Draw(C.Text, Rect(0, 0, 400, 300), R);
    EXPECT_EQ(R.TextWidth, C.Width) << C.Text;
    EXPECT_EQ(R.LineCount, C.Lines) << C.Text;
    EXPECT_EQ(R.TextHeight, std::max<Integer>(C.Lines, 1) * Gh) << C.Text;
  }
}

// Plain text escaped for the markup is drawn exactly as the system draws it without any markup
// or prefix processing: same pixels, same width.
TEST(MarkupLayout, EscapedPlainTextShowsAsTyped) {
  const wchar_t* Texts[] = {
      L"a<b",           L"x > y",        L"&#65;",         L"&amp;",          L"&lt;b&gt;",
      L"Tom & Jerry",   L"a&&b",         L"&nbsp;x",       L"<b>kalın</b>",   L"<#abc> &#x41;",
      L"%s &#60; 100%", L"&",            L"C:\\Zelkor 6.0\\Pelmo60.cfg",    L"İstanbul ığüşöç <br>",
      L"&quot;q&Eacute;", L"&#38;&#38;",
  };
  for (const wchar_t* T : Texts) {
    SCOPED_TRACE(testing::Message() << String(T));
    TPage Engine, System;
    const Integer Gh = Engine.Gh();
    THTMLDrawResult R;
    Engine.Draw(HtmlEscape(T), Rect(0, 0, 400, 300), R);
    EXPECT_EQ(R.LineCount, 1);
    EXPECT_EQ(R.TextWidth, System.W(T) + 2);
    RECT Line = {0, 0, 400, Gh};
    DrawTextW(System.C()->GetHandle(), T, Integer(wcslen(T)), &Line,
              DT_NOPREFIX | DT_SINGLELINE | DT_BOTTOM | DT_EXPANDTABS | DT_NOCLIP);
    Integer Different = 0;
    for (Integer Y = 0; Y < 2 * Gh; ++Y)
      for (Integer X = 0; X < 400; ++X)
        if (Engine.C()->GetPixel(X, Y) != System.C()->GetPixel(X, Y)) ++Different;
    EXPECT_EQ(Different, 0);
  }
  // Line ends stay line ends.
  THTMLDrawResult R;
  TPage Pg;
  Pg.Draw(HtmlEscape(L"bir\r\niki\nüç\rdört"), Rect(0, 0, 400, 300), R);
  EXPECT_EQ(R.LineCount, 4);
}

TEST(MarkupLayout, WrapsAtBlanks) {
  TPage Pg;
  const Integer Gh = Pg.Gh();
  const Integer One = std::max(Pg.W(L"aaa"), Pg.W(L"bbb"));
  struct {
    const wchar_t* Text;
    Integer RectWidth;
    bool Wrap;
    Integer Lines;
  } Cases[] = {
      {L"aaa bbb", One, true, 2},
      {L"aaa bbb", Pg.W(L"aaa bbb") + 1, true, 1},
      {L"aaa bbb", Pg.W(L"aaa bbb"), true, 2},  // a line must stay below the width, not reach it
      {L"aaa bbb", Pg.W(L"bbb"), true, 2},      // a word as wide as the line gets a line of its own
      {L"aaa bbb", One, false, 1},
      {L"abcdefghijklmnop", 5, true, 1},  // a word wider than the rectangle keeps its own line
      {L"aaa bbb ccc", 0, true, 3},
      {L"aaa bbb", -50, true, 2},
  };
  for (const auto& C : Cases) {
    THTMLDrawParams P;
    P.WordWrap = C.Wrap;
    THTMLDrawResult R;
    Pg.Draw(C.Text, Rect(10, 0, 10 + C.RectWidth, 300), R, P);
    EXPECT_EQ(R.LineCount, C.Lines) << C.Text << L" " << C.RectWidth;
    EXPECT_EQ(R.TextHeight, C.Lines * Gh) << C.Text;
  }
  // The blank after a word counts: "bbb " does not fit where "bbb" alone would.
  THTMLDrawResult R;
  Pg.Draw(L"aaa bbb ccc", Rect(0, 0, Pg.W(L"aaa bbb") + 1, 300), R);
  EXPECT_LT(R.TextWidth, Pg.W(L"aaa bbb") + 2);
}

TEST(MarkupLayout, CutsBelowTheRectangleUnlessMeasuringHeight) {
  TPage Pg;
  const Integer Gh = Pg.Gh();
  THTMLDrawResult R;
  Pg.Draw(L"a<br>b<br>c", Rect(0, 0, 200, Gh + 1), R);
  EXPECT_EQ(R.LineCount, 1);
  THTMLDrawParams P;
  P.HeightOnly = true;
  Pg.Draw(L"a<br>b<br>c", Rect(0, 0, 200, Gh + 1), R, P);
  EXPECT_EQ(R.LineCount, 3);
  EXPECT_EQ(R.TextHeight, 3 * Gh);
}

// Measuring the height also tests the point against the anchors, below the rectangle too, and
// paints nothing.
TEST(MarkupLayout, HeightOnlyFindsTheAnchorAtThePoint) {
  TPage Pg;
  const Integer Gh = Pg.Gh();
  const struct {
    Integer HitY;
    bool Found;
  } Cases[] = {{2 * Gh + Gh / 2, true}, {Gh / 2, false}, {-1, false}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.HitY);
    THTMLDrawParams P;
    P.HeightOnly = true;
    P.HitX = 2;
    P.HitY = C.HitY;
    THTMLDrawResult R;
    EXPECT_EQ(Pg.Draw(L"a<br>b<br><a href=\"c\" title=\"t\">ccc</a>", Rect(0, 0, 200, Gh + 1), R, P), C.Found);
    EXPECT_EQ(R.AnchorRef, C.Found ? L"c" : L"");
    EXPECT_EQ(R.AnchorAtPoint, C.Found ? 1 : -1);
    EXPECT_EQ(R.TextHeight, 3 * Gh);
    EXPECT_FALSE(Inked(Pg.C(), TRect(0, 0, 200, 3 * Gh)));
  }
}

TEST(MarkupLayout, ListsStartALinePerItem) {
  TPage Pg;
  struct {
    const wchar_t* Text;
    Integer Lines;
  } Cases[] = {
      {L"<OL><LI>a<LI>b<LI>c</OL>", 3},
      {L"<UL><LI>a</LI><LI>b</LI></UL>", 2},
      {L"intro<UL><LI>a</UL>", 2},
      {L"<LI>a<LI>b", 2},
  };
  for (const auto& C : Cases) {
    THTMLDrawResult R;
    Pg.Draw(C.Text, Rect(0, 0, 400, 300), R);
    EXPECT_EQ(R.LineCount, C.Lines) << C.Text;
  }
}

TEST(MarkupLayout, FindsTheAnchorUnderThePoint) {
  TPage Pg;
  const Integer Gh = Pg.Gh();
  const String Text = L"xx <a href=\"Go\" title=\"Tip\">link</a> yy <a>nohref</a>";
  const Integer L = 5, LinkLeft = L + Pg.W(L"xx "), LinkRight = LinkLeft + Pg.W(L"link");
  const Integer NoRefLeft = LinkRight + Pg.W(L" yy ");
  struct {
    Integer X, Y;
    bool Hit;
    Integer Anchor;
  } Cases[] = {
      {(LinkLeft + LinkRight) / 2, Gh / 2, true, 1},
      {LinkLeft, Gh / 2, true, 1},
      {LinkLeft - 3, Gh / 2, false, -1},
      {(LinkLeft + LinkRight) / 2, Gh + 3, false, -1},  // below the line
      {NoRefLeft + 3, Gh / 2, false, -1},               // an anchor without a reference is not a target
  };
  for (const auto& C : Cases) {
    THTMLDrawParams P;
    P.HitX = C.X;
    P.HitY = C.Y;
    P.AnchorTestOnly = true;
    THTMLDrawResult R;
    EXPECT_EQ(Pg.Draw(Text, Rect(L, 0, 400, 300), R, P), C.Hit) << C.X << L"," << C.Y;
    EXPECT_EQ(R.AnchorAtPoint, C.Anchor) << C.X;
    if (C.Hit) {
      EXPECT_EQ(R.AnchorRef, L"Go");
      EXPECT_EQ(R.AnchorTitle, L"Tip");
      EXPECT_EQ(R.AnchorRect, TRect(LinkLeft, 0, LinkRight, Gh));
    }
  }
}

TEST(MarkupLayout, HitTestFollowsAlignmentAndWrapping) {
  TPage Pg;
  const Integer Gh = Pg.Gh();
  const Integer Wd = Pg.W(L"link");
  {
    THTMLDrawParams P;
    P.AnchorTestOnly = true;
    P.HitX = 100;
    P.HitY = Gh / 2;
    THTMLDrawResult R;
    EXPECT_TRUE(Pg.Draw(L"<P ALIGN=\"CENTER\"><a href=\"c\">link</a></P>", Rect(0, 0, 200, 300), R, P));
    EXPECT_EQ(R.AnchorRect.Left, (200 - Wd) / 2);
    EXPECT_EQ(R.AnchorRect.Right, (200 - Wd) / 2 + Wd);
  }
  {
    THTMLDrawParams P;
    P.AnchorTestOnly = true;
    P.HitX = 195;
    P.HitY = Gh / 2;
    THTMLDrawResult R;
    EXPECT_TRUE(Pg.Draw(L"<P ALIGN=\"RIGHT\"><a href=\"r\">link</a>", Rect(0, 0, 200, 300), R, P));
    EXPECT_EQ(R.AnchorRect.Left, 200 - Wd);
  }
  {
    // An anchor wrapped onto its second line reports its rectangle on that line.
    const Integer One = std::max(Pg.W(L"aaa"), Pg.W(L"bbb"));
    THTMLDrawParams P;
    P.AnchorTestOnly = true;
    P.HitX = 2;
    P.HitY = Gh + Gh / 2;
    THTMLDrawResult R;
    EXPECT_TRUE(Pg.Draw(L"<a href=\"w\">aaa bbb</a>", Rect(0, 0, One, 300), R, P));
    EXPECT_EQ(R.AnchorRect, TRect(0, Gh, Pg.W(L"bbb"), 2 * Gh));
  }
}

TEST(MarkupLayout, PicturesTakeTheirRoom) {
  TPage Pg;
  wchar_t Dir[MAX_PATH];
  GetTempPathW(MAX_PATH, Dir);
  const String Path = String(Dir) + L"markup-layout-64x32.png";
  {
    const fixtures::TData D = fixtures::Png(64, 32);
    TFileStream F(Path, fmCreate);
    F.WriteBuffer(D.data(), Integer(D.size()));
  }
  const Integer Gh = Pg.Gh(), A = Pg.W(L"a");
  const String Src = L"FILE://" + Path;
  struct {
    String Img;
    float Scale;
    Integer RoomW, RoomH;  // 0: no room at all
  } Cases[] = {
      {L"<img src=\"" + Src + L"\">", 1.0f, 64, 32},
      {L"<img src=\"" + Src + L"\" width=\"32\">", 1.0f, 32, 16},
      {L"<img src=\"" + Src + L"\" width=\"32\">", 1.5f, 48, 24},
      {L"<img src=\"" + Src + L"\" height=\"8\">", 1.0f, 16, 8},
      {L"<img src=\"FILE://" + String(Dir) + L"no-such-picture.png\">", 1.0f, 0, 0},
      {L"<img src=\"IDX:3\">", 1.0f, 0, 0},
      {L"<img src=\"NoSuchName\">", 1.0f, 0, 0},
  };
  for (const auto& C : Cases) {
    THTMLPictureCache Cache;
    THTMLDrawParams P;
    P.PictureCache = &Cache;
    P.ScaleFactor = C.Scale;
    THTMLDrawResult R;
    Pg.Draw(L"a" + C.Img, Rect(0, 0, 400, 300), R, P);
    EXPECT_EQ(R.TextWidth, A + (C.RoomW ? C.RoomW + 2 : 0) + 2) << C.Img;
    EXPECT_EQ(R.TextHeight, std::max(Gh, C.RoomH)) << C.Img;
  }
  {
    // A picture inside an anchor is a hit target.
    THTMLPictureCache Cache;
    THTMLDrawParams P;
    P.PictureCache = &Cache;
    P.AnchorTestOnly = true;
    P.HitX = 10;
    P.HitY = 20;
    THTMLDrawResult R;
    EXPECT_TRUE(Pg.Draw(L"<a href=\"pic\"><img src=\"" + Src + L"\"></a>", Rect(0, 0, 400, 300), R, P));
    EXPECT_EQ(R.AnchorRef, L"pic");
    EXPECT_EQ(Cache.GetCount(), 1);  // loaded once, kept in the cache
  }
  DeleteFileW(Path.c_str());
}

bool IsNear(TColor Pixel, TColor Want) {
  TColorRef A = ColorToRGB(Pixel), B = ColorToRGB(Want);
  for (int S = 0; S < 24; S += 8)
    if (std::abs(int((A >> S) & 0xFF) - int((B >> S) & 0xFF)) > 8) return false;
  return true;
}

TEST(MarkupLayout, PaintsColoursAndBackgrounds) {
  {
    TPage Pg(100, 60);
    THTMLDrawResult R;
    Pg.Draw(L"<body bgcolor=\"#00ff00\">x", Rect(10, 10, 90, 50), R);
    EXPECT_TRUE(IsNear(Pg.C()->GetPixel(80, 45), 0x00FF00));
    EXPECT_TRUE(IsNear(Pg.C()->GetPixel(95, 45), clWhite));  // only the rectangle
  }
  {
    TPage Pg(100, 60);
    THTMLDrawResult R;
    Pg.Draw(L"<body bgcolor=\"#FF0000\" bgcolorto=\"#0000FF\">", Rect(0, 0, 64, 10), R);
    EXPECT_TRUE(IsNear(Pg.C()->GetPixel(0, 5), 0x0000FF));   // starts red
    EXPECT_TRUE(IsNear(Pg.C()->GetPixel(63, 5), TColor(0xFB0004)));  // ends one step short of blue
  }
  {
    TPage Pg(200, 40);
    THTMLDrawResult R;
    Pg.Draw(L"<font color=\"#ff0000\">MMMM</font>", Rect(0, 0, 200, 40), R);
    bool Red = false;
    for (Integer X = 0; X < Pg.W(L"MMMM") && !Red; ++X)
      for (Integer Y = 0; Y < Pg.Gh() && !Red; ++Y) {
        TColorRef C = ColorToRGB(Pg.C()->GetPixel(X, Y));
        Red = GetRValue(C) > 160 && GetGValue(C) < 90 && GetBValue(C) < 90;
      }
    EXPECT_TRUE(Red);
  }
  {
    // An opaque font background fills the text cell.
    TPage Pg(200, 40);
    THTMLDrawResult R;
    Pg.Draw(L"<font bgcolor=\"#0000FF\">....</font>", Rect(0, 0, 200, 40), R);
    EXPECT_TRUE(IsNear(Pg.C()->GetPixel(1, 1), 0xFF0000));
    EXPECT_TRUE(IsNear(Pg.C()->GetPixel(Pg.W(L"....") + 3, 1), clWhite));
  }
}

TEST(MarkupLayout, RestoresTheCanvas) {
  TPage Pg;
  Pg.C()->GetFont()->SetColor(clGreen);
  THTMLDrawResult R;
  Pg.Draw(L"<b><i><font face=\"Courier New\" color=\"clred\" size=\"5\">x", Rect(0, 0, 100, 100), R);
  EXPECT_EQ(Pg.C()->GetFont()->GetName(), L"Arial");
  EXPECT_EQ(Pg.C()->GetFont()->GetSize(), 10);
  EXPECT_EQ(Pg.C()->GetFont()->GetColor(), clGreen);
  EXPECT_TRUE(Pg.C()->GetFont()->GetStyle().Empty());
}

// ---- Pictures beside text, floats, backgrounds ----

void Load(THTMLPicture& Pic, const fixtures::TData& D) {
  TMemoryStream M;
  M.WriteBuffer(D.data(), Integer(D.size()));
  M.SetPosition(0);
  Pic.LoadFromStream(&M);
}

// A store with "Tall" (16 x 40), "Wide" (64 x 32), "Dot" (1 x 1) and "Anim" (three frames on a
// 16 x 12 screen).
struct TStore {
  TPictureStore Store{nullptr};
  TStore() {
    auto Add = [&](const wchar_t* Name, const fixtures::TData& D) {
      TPictureItem* I = Store.GetItems()->Add();
      I->SetName(Name);
      Load(*I->GetPicture(), D);
    };
    Add(L"Tall", fixtures::Png(16, 40, 0xFF0000FF));
    Add(L"Wide", fixtures::Png(64, 32, 0xFF00FF00));
    Add(L"Dot", fixtures::Png(1, 1, 0xFFFF0000));
    Add(L"Anim", fixtures::ThreeFrameGif());
  }
};

THTMLDrawParams HitAt(Integer X, Integer Y, TPictureStore* Store = nullptr) {
  THTMLDrawParams P;
  P.AnchorTestOnly = true;
  P.HitX = X;
  P.HitY = Y;
  P.PictureStore = Store;
  return P;
}

// The line is as high as its 40-pixel picture; where its text stands decides where the anchor is.
TEST(MarkupLayout, TextStandsAtTheBottomTopOrMiddleOfATallerPicture) {
  TPage Pg;
  TStore St;
  const Integer Gh = Pg.Gh();
  ASSERT_LT(Gh, 30);
  struct {
    const wchar_t* Img;
    Integer TextBottom;  // bottom of the anchor's text band
    Integer Height;      // text height of the whole layout
  } Cases[] = {
      {L"<img src=\"Tall\">", 40, 40},
      {L"<img src=\"Tall\" align=\"TOP\">", Gh, 40},
      {L"<img src=\"Tall\" align=\"MIDDLE\">", Gh + (40 - Gh) / 2, 40},
      {L"<img src=\"Tall\" wrap>", Gh, Gh},  // the line keeps the text's height
  };
  for (const auto& C : Cases) {
    const String Text = String(L"<a href=\"x\">aaa</a>") + C.Img;
    for (Integer Dy : {1, -1}) {
      const Integer Y = Dy > 0 ? C.TextBottom - 2 : C.TextBottom - Gh - 2;  // inside, just above
      THTMLDrawResult R;
      const THTMLDrawParams P = HitAt(3, Y, &St.Store);
      EXPECT_EQ(Pg.Draw(Text, Rect(0, 0, 400, 300), R, P), Dy > 0) << C.Img << L" y " << Y;
    }
    THTMLDrawResult R;
    THTMLDrawParams P;
    P.PictureStore = &St.Store;
    Pg.Draw(Text, Rect(0, 0, 400, 300), R, P);
    EXPECT_EQ(R.TextHeight, C.Height) << C.Img;
  }
}

// A floating picture keeps its side of the following lines until its bottom.
TEST(MarkupLayout, TextRunsBesideAFloatingPicture) {
  TPage Pg;
  TStore St;
  const Integer Gh = Pg.Gh(), Wd = Pg.W(L"bbb");
  ASSERT_LT(Gh, 32);
  {
    // Left: the second line starts right of the picture; below its 32 pixels the text returns.
    const String Text = L"<img src=\"Wide\" float=\"LEFT\">aaa<br><a href=\"b\">bbb</a><br><br>c<br>d<br><a href=\"e\">bbb</a>";
    THTMLDrawResult R;
    EXPECT_TRUE(Pg.Draw(Text, Rect(0, 0, 300, 300), R, HitAt(70, Gh + Gh / 2, &St.Store)));
    EXPECT_EQ(R.AnchorRect, TRect(66, Gh, 66 + Wd, 2 * Gh));
    EXPECT_TRUE(Pg.Draw(Text, Rect(0, 0, 300, 300), R, HitAt(2, 4 * Gh + Gh / 2, &St.Store)));
    EXPECT_EQ(R.AnchorRef, L"e");
    EXPECT_EQ(R.AnchorRect.Left, 0);
  }
  {
    // Right: right-aligned lines end left of the picture.
    const String Text = L"aaa<img src=\"Wide\" float=\"RIGHT\"><P ALIGN=\"RIGHT\"><a href=\"b\">bbb</a></P>";
    THTMLDrawResult R;
    EXPECT_TRUE(Pg.Draw(Text, Rect(0, 0, 300, 300), R, HitAt(300 - 66 - Wd / 2, Gh + Gh / 2, &St.Store)));
    EXPECT_EQ(R.AnchorRect, TRect(300 - 66 - Wd, Gh, 300 - 66, 2 * Gh));
  }
  {
    // Two short lines beside a 32-pixel picture still measure the picture's height.
    THTMLDrawParams P;
    P.PictureStore = &St.Store;
    P.HeightOnly = true;
    THTMLDrawResult R;
    Pg.Draw(L"<img src=\"Wide\" float=\"LEFT\">a", Rect(0, 0, 300, 300), R, P);
    EXPECT_EQ(R.TextHeight, 32);
  }
}

// A floating paragraph stands at its side; the text goes on beside it from the same top.
TEST(MarkupLayout, FloatingParagraphStandsBesideTheText) {
  TPage Pg;
  const Integer Gh = Pg.Gh(), Price = Pg.W(L"Fiyat"), Word = Pg.W(L"metin");
  const String Text = L"<P FLOAT=\"RIGHT\"><a href=\"f\">Fiyat</a></P><a href=\"m\">metin</a>";
  THTMLDrawResult R;
  EXPECT_TRUE(Pg.Draw(Text, Rect(0, 0, 300, 300), R, HitAt(300 - Price / 2, Gh / 2)));
  EXPECT_EQ(R.AnchorRef, L"f");
  EXPECT_EQ(R.AnchorRect, TRect(300 - Price, 0, 300, Gh));
  EXPECT_TRUE(Pg.Draw(Text, Rect(0, 0, 300, 300), R, HitAt(Word / 2, Gh / 2)));
  EXPECT_EQ(R.AnchorRef, L"m");
  EXPECT_EQ(R.AnchorRect, TRect(0, 0, Word, Gh));
  EXPECT_EQ(R.TextHeight, Gh);
}

// The line height factor reads "," and "." alike, whatever the user's locale; a bad one is 1.
TEST(MarkupLayout, LineHeightFactorStretchesTheParagraphOnly) {
  TPage Pg;
  const Integer Gh = Pg.Gh();
  struct {
    const wchar_t* Factor;
    double Value;
  } Cases[] = {{L"2", 2.0}, {L"1.5", 1.5}, {L"1,5", 1.5}, {L"x", 1.0}, {L"0", 1.0}};
  for (const auto& C : Cases) {
    THTMLDrawResult R;
    Pg.Draw(String(L"<P LINE-HEIGHT=\"") + C.Factor + L"\">a</P>b", Rect(0, 0, 300, 300), R);
    EXPECT_EQ(R.TextHeight, Integer(std::lround(Gh * C.Value)) + Gh) << C.Factor;
  }
  // The text of a stretched line stands at its bottom, and only there is the anchor.
  const String Text = L"<P LINE-HEIGHT=\"3\"><a href=\"x\">aaa</a></P>";
  THTMLDrawResult R;
  EXPECT_FALSE(Pg.Draw(Text, Rect(0, 0, 300, 300), R, HitAt(3, Gh / 2)));
  EXPECT_TRUE(Pg.Draw(Text, Rect(0, 0, 300, 300), R, HitAt(3, 3 * Gh - Gh / 2)));
}

TEST(MarkupLayout, ShellIconsTakeTheSystemIconSize) {
  TPage Pg;
  const Integer A = Pg.W(L"a");
  wchar_t Windows[MAX_PATH];
  GetWindowsDirectoryW(Windows, MAX_PATH);
  struct {
    String Src;
    bool Large, Found;
  } Cases[] = {
      {L"SSYS:" + String(Windows), false, true},          // a folder
      {L"lsys:" + String(Windows), true, true},
      {L"SSYS:no-such-file.txt", false, true},            // known by its type alone
      {L"SSYS:0", false, true},                           // an index of the system list
      {L"SSYS:99999", false, false},
      {L"SSYS:", false, false},
  };
  for (const auto& C : Cases) {
    int W = 0, H = 0;
    ImageList_GetIconSize(GetSystemImageList(!C.Large), &W, &H);
    THTMLDrawResult R;
    Pg.Draw(L"a<img src=\"" + C.Src + L"\">", Rect(0, 0, 400, 300), R);
    EXPECT_EQ(R.TextWidth, A + (C.Found ? W + 2 : 0) + 2) << C.Src;
    EXPECT_EQ(R.TextHeight, std::max(Pg.Gh(), C.Found ? Integer(H) : 0)) << C.Src;
  }
}

bool Inked(TCanvas* C, const TRect& R, TColor Background) {
  for (Integer Y = R.Top; Y < R.Bottom; ++Y)
    for (Integer X = R.Left; X < R.Right; ++X)
      if (C->GetPixel(X, Y) != Background) return true;
  return false;
}

// Image-list pictures and shell icons scaled for printing take the room they are drawn in.
TEST(MarkupLayout, ScaledListPicturesTakeTheirScaledRoom) {
  TPage Pg;
  TImageList List(nullptr);
  TBitmap Img;
  Img.SetPixelFormat(pf24bit);
  Img.SetSize(16, 16);
  Img.GetCanvas()->GetBrush()->SetColor(clNavy);
  Img.GetCanvas()->FillRect(TRect(0, 0, 16, 16));
  ASSERT_EQ(List.Add(&Img, nullptr), 0);
  const Integer A = Pg.W(L"a");
  struct {
    bool ScalePictures;
    double Factor;
    Integer Room;
  } Cases[] = {{false, 2.0, 16}, {true, 2.0, 32}, {true, 0.5, 8}};
  for (const auto& C : Cases) {
    TPage Page;
    THTMLDrawParams P;
    P.Images = &List;
    P.ScalePictures = C.ScalePictures;
    P.PictureScale = C.Factor;
    THTMLDrawResult R;
    Page.Draw(L"a<img src=\"IDX:0\">", Rect(0, 0, 400, 300), R, P);
    EXPECT_EQ(R.TextWidth, A + C.Room + 2 + 2) << C.Room;
    EXPECT_EQ(Page.C()->GetPixel(A + C.Room - 1, std::max(R.TextHeight - C.Room, 0) + C.Room / 2), TColor(clNavy)) << C.Room;
    EXPECT_EQ(Page.C()->GetPixel(A + C.Room + 1, R.TextHeight - 1), TColor(clWhite)) << C.Room;
  }
}

// An animation takes the room of its screen and shows its frame at the frame's place.
TEST(MarkupLayout, AnimatedPictureShowsItsFrameInItsScreen) {
  TStore St;
  THTMLPicture* Anim = St.Store.FindPicture(L"Anim");
  ASSERT_EQ(Anim->GetFrameCount(), 3);
  Anim->SetFrame(2);  // 8 x 5 at (2, 3), green
  TPage Pg(200, 60);
  Pg.C()->GetBrush()->SetColor(clYellow);  // the background the frame's screen is cleared to
  THTMLDrawParams P;
  P.PictureStore = &St.Store;
  THTMLDrawResult R;
  Pg.Draw(L"<img src=\"Anim\">", Rect(10, 10, 200, 60), R, P);
  EXPECT_EQ(R.TextWidth, 16 + 2 + 2);
  const Integer Top = 10 + std::max(Pg.Gh() - 12, 0);
  EXPECT_TRUE(IsNear(Pg.C()->GetPixel(10 + 2 + 4, Top + 3 + 2), 0x00FF00));
  EXPECT_TRUE(IsNear(Pg.C()->GetPixel(10 + 1, Top + 1), clYellow));
  EXPECT_TRUE(IsNear(Pg.C()->GetPixel(10 + 15, Top + 11), clYellow));
}

TEST(MarkupLayout, BodyPicturesTileTheRectangle) {
  TStore St;
  struct {
    const wchar_t* Body;
    TPoint Covered[2];
    TPoint Bare[2];
  } Cases[] = {
      {L"<body background=\"Wide\">", {{6, 6}, {94, 54}}, {{3, 3}, {97, 57}}},
      {L"<body bgtopleft=\"Wide\">", {{70, 40}, {94, 54}}, {{3, 3}, {97, 57}}},
      {L"<body bgtopright=\"Tall\">", {{90, 6}, {80, 54}}, {{78, 30}, {50, 30}}},
      {L"<body background=\"Dot\">", {{6, 6}, {94, 54}}, {{3, 3}, {97, 57}}},
  };
  const TColor Colour[] = {0x00FF00, 0x00FF00, 0xFF0000, 0x0000FF};
  Integer I = 0;
  for (const auto& C : Cases) {
    TPage Pg(100, 60);
    THTMLDrawParams P;
    P.PictureStore = &St.Store;
    THTMLDrawResult R;
    Pg.Draw(C.Body, Rect(5, 5, 95, 55), R, P);
    for (const TPoint& Pt : C.Covered) EXPECT_TRUE(IsNear(Pg.C()->GetPixel(Pt.X, Pt.Y), Colour[I])) << C.Body << Pt.X;
    for (const TPoint& Pt : C.Bare) EXPECT_TRUE(IsNear(Pg.C()->GetPixel(Pt.X, Pt.Y), clWhite)) << C.Body << Pt.X;
    ++I;
  }
  // A one-pixel picture over a huge rectangle ends at once: only what can show is drawn.
  TPage Pg(100, 60);
  THTMLDrawParams P;
  P.PictureStore = &St.Store;
  THTMLDrawResult R;
  const DWORD T0 = GetTickCount();
  Pg.Draw(L"<body background=\"Dot\">", Rect(0, 0, 100000, 100000), R, P);
  EXPECT_LT(GetTickCount() - T0, 3000u);
  EXPECT_TRUE(IsNear(Pg.C()->GetPixel(99, 59), 0x0000FF));
}

// Outside hover mode every anchor takes the hover colours; in it only the hovered one does.
TEST(MarkupLayout, HoverColoursFollowTheHoverMode) {
  TPage Pg0;
  const Integer Wd = Pg0.W(L"MMM"), Gap = Pg0.W(L" ");
  struct {
    bool HoverMode;
    Integer HoverAnchor;
    bool First, Second;
  } Cases[] = {{false, -1, true, true}, {true, 2, false, true}, {true, -1, false, false}};
  for (const auto& C : Cases) {
    TPage Pg;
    THTMLDrawParams P;
    P.HoverMode = C.HoverMode;
    P.HoverAnchor = C.HoverAnchor;
    P.HoverColor = clLime;
    THTMLDrawResult R;
    Pg.Draw(L"<a href=\"1\">MMM</a> <a href=\"2\">MMM</a>", Rect(0, 0, 400, 300), R, P);
    EXPECT_EQ(Pg.C()->GetPixel(1, 1) == TColor(clLime), C.First) << C.HoverMode << C.HoverAnchor;
    EXPECT_EQ(Pg.C()->GetPixel(Wd + Gap + 1, 1) == TColor(clLime), C.Second) << C.HoverMode << C.HoverAnchor;
  }
}

TEST(MarkupLayout, FocusAnchorIsFramedAndNamed) {
  TPage Pg;
  THTMLDrawParams P;
  P.FocusAnchor = 1;  // the second anchor
  THTMLDrawResult R;
  Pg.Draw(L"<a href=\"1\" title=\"t\">one</a> <a href=\"two\">two</a>", Rect(0, 0, 400, 300), R, P);
  EXPECT_EQ(R.AnchorTitle, L"two");
  const Integer Left = Pg.W(L"one ");
  EXPECT_TRUE(Inked(Pg.C(), TRect(Left - 1, 0, Left, Pg.Gh())));  // the frame left of the text
}

TEST(MarkupLayout, RotatedTextRunsUpwards) {
  TPage Pg(200, 200);
  THTMLDrawResult R;
  Pg.Draw(L"<r a=\"90\">MMMMMMMM</r>", Rect(0, 150, 200, 200), R);
  Integer MinX = 200, MaxX = -1, MinY = 200, MaxY = -1;
  for (Integer Y = 0; Y < 200; ++Y)
    for (Integer X = 0; X < 200; ++X)
      if (Pg.C()->GetPixel(X, Y) != TColor(clWhite)) {
        MinX = std::min(MinX, X), MaxX = std::max(MaxX, X);
        MinY = std::min(MinY, Y), MaxY = std::max(MaxY, Y);
      }
  ASSERT_GE(MaxX, 0);
  EXPECT_GT(MaxY - MinY, 2 * (MaxX - MinX));
}

// Whether Colour shows anywhere in R.
bool HasColour(TCanvas* C, const TRect& R, TColor Colour) {
  for (Integer Y = R.Top; Y < R.Bottom; ++Y)
    for (Integer X = R.Left; X < R.Right; ++X)
      if (C->GetPixel(X, Y) == Colour) return true;
  return false;
}

// The layout tags drawn into a bitmap, each checked where its effect must show and where it must
// not: shadow, error mark, highlight, span background, rule, positions, list numbers and bullets.
TEST(MarkupLayout, LayoutTagsDrawWhereTheyShould) {
  TPage Probe;
  const Integer Gh = Probe.Gh(), Wm = Probe.W(L"MMMM"), Bullet = 12;
  const struct {
    const wchar_t* Text;
    TRect Area;     // where to look
    TColor Colour;  // clNone: any ink
    bool Expected;
  } Cases[] = {
      {L"<SHAD>MMMM</SHAD>", TRect(0, 0, Wm + 4, Gh + 4), clRed, true},
      {L"MMMM", TRect(0, 0, Wm + 4, Gh + 4), clRed, false},
      {L"<E>MMMM</E>", TRect(0, Gh - 3, Wm, Gh + 2), clRed, true},
      {L"<HI>MMMM</HI>", TRect(0, 0, Wm, Gh), clLime, true},
      {L"<SPAN STYLE=\"BACKGROUND-COLOR:#FF0000\">MMMM</SPAN>", TRect(0, 0, Wm, Gh), clRed, true},
      {L"<SPAN STYLE=\"BACKGROUND-COLOR:#FF0000\">MMMM</SPAN>MMMM", TRect(Wm + 2, 0, 2 * Wm, Gh), clRed, false},
      {L"a<HR COLOR=\"clred\">b", TRect(300, 0, 400, 2 * Gh), clRed, true},
      {L"a<HR>b", TRect(300, 0, 400, 2 * Gh), clNone, true},
      {L"a<IN x=\"200\">M", TRect(Probe.W(L"a") + 2, 0, 199, Gh), clNone, false},
      {L"a<IN x=\"200\">M", TRect(200, 0, 200 + Probe.W(L"M") + 2, Gh), clNone, true},
      {L"<OF x=\"150\">M", TRect(0, 0, 149, Gh), clNone, false},
      {L"<OF x=\"150\">M", TRect(150, 0, 150 + Probe.W(L"M") + 2, Gh), clNone, true},
      {L"<OL><LI>M</OL>", TRect(0, 0, Bullet, Gh), clNone, true},
      {L"<UL><LI>M</UL>", TRect(0, 0, Bullet, Gh), clNone, true},
      {L"<UL><LI TYPE=\"SQUARE\" COLOR=\"clred\">M</UL>", TRect(0, 2, 8, 10), clRed, true},
      {L"<UL><LI TYPE=\"CIRCLE\" COLOR=\"clred\">M</UL>", TRect(0, 2, 8, 10), clRed, true},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << String(C.Text));
    TPage Pg;
    THTMLDrawParams P;
    P.ShadowColor = clRed;
    P.ShadowOffset = 2;
    P.HighlightColor = clLime;
    P.HighlightTextColor = clBlack;
    THTMLDrawResult R;
    Pg.Draw(C.Text, Rect(0, 0, 400, 300), R, P);
    const bool Seen = C.Colour == clNone ? Inked(Pg.C(), C.Area) : HasColour(Pg.C(), C.Area, C.Colour);
    EXPECT_EQ(Seen, C.Expected);
  }
  // The span's own background is its colour, the text beside it none.
  TPage Pg;
  THTMLDrawResult R;
  Pg.Draw(L"<SPAN STYLE=\"BACKGROUND-COLOR:#FF0000\">MMMM</SPAN>", Rect(0, 0, 400, 300), R);
  EXPECT_EQ(Pg.C()->GetPixel(1, 1), TColor(clRed));
}

// Subscript and superscript lower and raise their runs, and the line makes room for them.
TEST(MarkupLayout, SubscriptAndSuperscriptTakeRoom) {
  TPage Probe;
  const Integer Gh = Probe.Gh();
  const struct {
    const wchar_t* Text;
    Integer Height;
  } Cases[] = {{L"aMMMM", Gh}, {L"a<SUB>MMMM</SUB>", Gh + Gh / 4}, {L"a<SUP>MMMM</SUP>", Gh + Gh / 4}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << String(C.Text));
    TPage Pg;
    THTMLDrawResult R;
    Pg.Draw(C.Text, Rect(0, 0, 400, 300), R);
    EXPECT_EQ(R.TextHeight, C.Height);
  }
  // The ink of a subscript reaches lower than that of a superscript.
  auto Lowest = [&](const wchar_t* Text) {
    TPage Pg;
    THTMLDrawResult R;
    Pg.Draw(Text, Rect(0, 0, 400, 300), R);
    for (Integer Y = 2 * Gh; Y >= 0; --Y)
      if (Inked(Pg.C(), TRect(0, Y, 400, Y + 1))) return Y;
    return -1;
  };
  EXPECT_GT(Lowest(L"<SUB>MMMM</SUB>"), Lowest(L"<SUP>MMMM</SUP>"));
}

// Over a background colour and over none (a transparent label's canvas).
TEST(MarkupLayout, BlinkingTextShowsOnlyInItsPhase) {
  for (bool Transparent : {false, true})
    for (bool Phase : {true, false}) {
      SCOPED_TRACE(testing::Message() << "transparent " << Transparent << " phase " << Phase);
      TPage Pg;
      if (Transparent) Pg.C()->GetBrush()->SetColor(clNone);
      THTMLDrawParams P;
      P.BlinkPhase = Phase;
      THTMLDrawResult R;
      Pg.Draw(L"<blink>MMMM</blink>MMMM", Rect(0, 0, 400, 300), R, P);
      const Integer W = Pg.W(L"MMMM");
      EXPECT_EQ(Inked(Pg.C(), TRect(0, 0, W, Pg.Gh())), Phase);
      EXPECT_TRUE(Inked(Pg.C(), TRect(W, 0, 2 * W, Pg.Gh())));  // after </blink> the text shows
      EXPECT_EQ(R.TextWidth, 2 * W + 2);                         // the room stays
    }
}

// Relative sizes add points to the base font; other sizes are absolute points (pixels at 96 per inch).
TEST(MarkupLayout, FontSizesAreRelativeOrAbsolute) {
  TPage Pg;  // Arial 10 pt
  auto WidthAt = [&](Integer Height) {
    TFont Keep;
    Keep.Assign(Pg.C()->GetFont());
    Pg.C()->GetFont()->SetHeight(Height);
    const Integer W = Pg.C()->TextWidth(L"MMMMMMMM");
    Pg.C()->GetFont()->Assign(&Keep);
    return W;
  };
  TFont Fourteen;
  Fourteen.SetSize(14);
  struct {
    const wchar_t* Tag;
    Integer Height;
  } Cases[] = {
      {L"<font size=\"3\">", Fourteen.GetHeight()},
      {L"<font size=\"12\">", -16},
      {L"<font style=\"font-size:12pt\">", -16},
      {L"<font style=\"color:red\" size=\"12\">", Pg.C()->GetFont()->GetHeight()},  // SIZE only without STYLE
      {L"<font size=\"x\">", Pg.C()->GetFont()->GetHeight()},
  };
  for (const auto& C : Cases) {
    THTMLDrawResult R;
    Pg.Draw(String(C.Tag) + L"MMMMMMMM</font>", Rect(0, 0, 400, 300), R);
    EXPECT_EQ(R.TextWidth, WidthAt(C.Height) + 2) << C.Tag;
  }
}

// Without wrapping a long line is cut at the rectangle's edge.
TEST(MarkupLayout, UnwrappedTextStaysInsideTheRectangle) {
  TPage Pg;
  THTMLDrawParams P;
  P.WordWrap = false;
  THTMLDrawResult R;
  Pg.Draw(L"MMMM MMMM <b>MMMM</b> MMMM MMMM MMMM", Rect(0, 0, 100, 300), R, P);
  EXPECT_EQ(R.LineCount, 1);
  EXPECT_TRUE(Inked(Pg.C(), TRect(0, 0, 100, Pg.Gh())));
  EXPECT_FALSE(Inked(Pg.C(), TRect(100, 0, 400, Pg.Gh())));
}

// ---- Right to left ----

TEST(MarkupLayout, BiDiFlagsChangeOnlyOnMiddleEasternSystems) {
  struct {
    Cardinal In;
    THTMLBiDiMode Mode;
    bool Centered, MiddleEast;
    Cardinal Out;
  } Cases[] = {
      {DT_BOTTOM, THTMLBiDiMode::RightToLeft, false, false, DT_BOTTOM},
      {DT_BOTTOM, THTMLBiDiMode::RightToLeft, false, true, DT_BOTTOM | DT_RIGHT | DT_RTLREADING},
      {DT_BOTTOM | DT_RIGHT, THTMLBiDiMode::RightToLeft, false, true, DT_BOTTOM | DT_RTLREADING},
      {DT_CENTER, THTMLBiDiMode::RightToLeft, true, true, DT_CENTER | DT_RTLREADING},
      {DT_BOTTOM, THTMLBiDiMode::RightToLeftNoAlign, false, true, DT_BOTTOM | DT_RTLREADING},
      {DT_BOTTOM, THTMLBiDiMode::RightToLeftReadingOnly, false, true, DT_BOTTOM | DT_RTLREADING},
      {DT_BOTTOM, THTMLBiDiMode::LeftToRight, false, true, DT_BOTTOM},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(GetBiDiDrawFlags(C.In, C.Mode, C.Centered, C.MiddleEast), C.Out) << C.In << " " << int(C.Mode);
}

// On a Middle-Eastern system a right-to-left text runs from the right edge leftwards.
TEST(MarkupLayout, RightToLeftTextRunsFromTheRightEdge) {
  struct TMiddleEast {
    TMiddleEastQuery Old = SetMiddleEastQuery([] { return true; });
    ~TMiddleEast() { SetMiddleEastQuery(Old); }
  } Guard;
  TPage Pg;
  const Integer Gh = Pg.Gh(), A = Pg.W(L"ab "), L = Pg.W(L"link");
  struct {
    THTMLBiDiMode Mode;
    TRect Anchor;
  } Cases[] = {
      {THTMLBiDiMode::RightToLeft, TRect(300 - A - L, 0, 300 - A, Gh)},
      {THTMLBiDiMode::RightToLeftReadingOnly, TRect(A, 0, A + L, Gh)},
  };
  for (const auto& C : Cases) {
    THTMLDrawParams P = HitAt((C.Anchor.Left + C.Anchor.Right) / 2, Gh / 2);
    P.BiDiMode = C.Mode;
    THTMLDrawResult R;
    EXPECT_TRUE(Pg.Draw(L"ab <a href=\"x\">link</a>", Rect(0, 0, 300, 300), R, P)) << int(C.Mode);
    EXPECT_EQ(R.AnchorRect, C.Anchor) << int(C.Mode);
  }
}

// Mutated markup never raises, loops or recurses without bound, whatever the rectangle.
TEST(MarkupLayout, FuzzedMarkupAlwaysFinishes) {
  TPage Pg(120, 80);
  TStore Store;
  const String Seeds[] = {
      L"<b>bold</b> <i>x <a href=\"h\" title=\"t\">link text</a> &amp; &#65; &eacute;<br>",
      L"<OL><LI>a<LI TYPE=\"SQUARE\">b<UL><LI>c</UL></OL><HR COLOR=\"clred\">",
      L"<P ALIGN=\"CENTER\" INDENT=\"5\" LINE-HEIGHT=\"1,5\" BGCOLOR=\"#FF0000\" BGCOLORTO=\"#00FF00\">p</P>",
      L"<FONT SIZE=\"3\" FACE=\"Arial\" STYLE=\"FONT-SIZE:12PT\">f</FONT><SUB>s</SUB><SUP>u</SUP><Z>h</Z>",
      L"<IND x=\"30\">i<OF x=\"10\">o<R a=\"90\">r</R><SHAD>s</SHAD><E>e</E><HI>h</HI><SPAN STYLE=\"BACKGROUND-COLOR:#00FF00\">",
      L"<BODY BACKGROUND=\"Dot\" BGTOPRIGHT=\"Tall\"><IMG SRC=\"Wide\" FLOAT=\"LEFT\">a b<IMG SRC=\"Tall\" ALIGN=\"TOP\" WRAP>"
      L"<P FLOAT=\"RIGHT\">f</P><IMG SRC=\"SSYS:7\"><IMG SRC=\"Anim\" WIDTH=\"9\"><BLINK>k</BLINK>",
  };
  const wchar_t Alphabet[] = L"<>/&#;\"= abAPLIUOZRSEHBFX0123456789\r\n";
  std::mt19937 Rng(12345);
  auto Pick = [&](size_t N) { return size_t(Rng() % N); };
  Integer Runs = 0;
  for (int I = 0; I < 3000; ++I) {
    String T = Seeds[I % 6];
    const int Edits = 1 + int(Pick(8));
    for (int E = 0; E < Edits && !T.empty(); ++E) {
      size_t At = Pick(T.size());
      switch (Pick(3)) {
        case 0: T.insert(At, 1, Alphabet[Pick(sizeof(Alphabet) / sizeof(wchar_t) - 1)]); break;
        case 1: T.erase(At, 1 + Pick(4)); break;
        default: T[At] = Alphabet[Pick(sizeof(Alphabet) / sizeof(wchar_t) - 1)]; break;
      }
    }
    const Integer Wd = Integer(Pick(5)) == 0 ? 0 : Integer(Pick(200)) - 20;
    THTMLDrawParams P;
    P.WordWrap = Pick(4) != 0;
    P.HeightOnly = Pick(5) == 0;
    P.AnchorTestOnly = Pick(2) == 0;
    P.HitX = Integer(Pick(120));
    P.HitY = Integer(Pick(80));
    P.PictureStore = &Store.Store;
    P.BiDiMode = Pick(4) == 0 ? THTMLBiDiMode::RightToLeft : THTMLBiDiMode::LeftToRight;
    const TMiddleEastQuery Old = SetMiddleEastQuery(I % 2 ? +[] { return true; } : +[] { return false; });
    THTMLDrawResult R;
    HTMLDrawEx(Pg.C(), T, Rect(0, 0, Wd, Integer(Pick(100))), P, R);
    SetMiddleEastQuery(Old);
    EXPECT_LE(R.LineCount, Integer(T.size()) + 1);
    EXPECT_GT(R.TextHeight, 0);
    ++Runs;
  }
  EXPECT_EQ(Runs, 3000);
}

}  // namespace
