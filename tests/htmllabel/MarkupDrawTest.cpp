#include <gtest/gtest.h>

#include <random>

#include "framework/Graphics.h"
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
      {L"aaa bbb", Pg.W(L"aaa bbb"), true, 1},
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

// Mutated markup never raises, loops or recurses without bound, whatever the rectangle.
TEST(MarkupLayout, FuzzedMarkupAlwaysFinishes) {
  TPage Pg(120, 80);
  const String Seeds[] = {
      L"<b>bold</b> <i>x <a href=\"h\" title=\"t\">link text</a> &amp; &#65; &eacute;<br>",
      L"<OL><LI>a<LI TYPE=\"SQUARE\">b<UL><LI>c</UL></OL><HR COLOR=\"clred\">",
      L"<P ALIGN=\"CENTER\" INDENT=\"5\" LINE-HEIGHT=\"1,5\" BGCOLOR=\"#FF0000\" BGCOLORTO=\"#00FF00\">p</P>",
      L"<FONT SIZE=\"3\" FACE=\"Arial\" STYLE=\"FONT-SIZE:12PT\">f</FONT><SUB>s</SUB><SUP>u</SUP><Z>h</Z>",
      L"<IND x=\"30\">i<OF x=\"10\">o<R a=\"90\">r</R><SHAD>s</SHAD><E>e</E><HI>h</HI><SPAN STYLE=\"BACKGROUND-COLOR:#00FF00\">",
  };
  const wchar_t Alphabet[] = L"<>/&#;\"= abAPLIUOZRSEHBFX0123456789\r\n";
  std::mt19937 Rng(12345);
  auto Pick = [&](size_t N) { return size_t(Rng() % N); };
  Integer Runs = 0;
  for (int I = 0; I < 3000; ++I) {
    String T = Seeds[I % 5];
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
    THTMLDrawResult R;
    HTMLDrawEx(Pg.C(), T, Rect(0, 0, Wd, Integer(Pick(100))), P, R);
    EXPECT_LE(R.LineCount, Integer(T.size()) + 1);
    EXPECT_GT(R.TextHeight, 0);
    ++Runs;
  }
  EXPECT_EQ(Runs, 3000);
}

}  // namespace
