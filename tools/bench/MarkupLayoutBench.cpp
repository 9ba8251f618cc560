// Lays out marked-up texts of 1 KB, 10 KB and 100 KB with word wrap (measuring and drawing) and
// prints the time per KB; layout is linear in the text, so the per-KB figure stays flat.
#include <chrono>
#include <cstdio>

#include "framework/Graphics.h"
#include "htmllabel/MarkupDraw.h"

namespace {

String MarkedUpText(size_t Chars) {
  const String Piece =
      L"Some <b>bold</b> words, <i>italic</i> ones, a <a href=\"go\">link here</a> and "
      L"<font color=\"#FF0000\">red &amp; plain</font> text.<br>";
  String T;
  while (T.size() < Chars) T += Piece;
  return T;
}

double Layout(TCanvas* Canvas, const String& Text, bool HeightOnly, Integer& Height) {
  THTMLDrawParams P;
  P.HeightOnly = HeightOnly;
  THTMLDrawResult R;
  auto T0 = std::chrono::steady_clock::now();
  HTMLDrawEx(Canvas, Text, Rect(0, 0, 300, 200000), P, R);
  Height = R.TextHeight;
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - T0).count();
}

}  // namespace

int main() {
  TBitmap Page;
  Page.SetPixelFormat(pf24bit);
  Page.SetSize(300, 2000);
  Page.GetCanvas()->GetFont()->SetName(L"Arial");
  std::printf("word-wrapped layout into a 300 pixel wide rectangle\n");
  for (size_t Kb : {1, 10, 100}) {
    const String Text = MarkedUpText(Kb * 1024);
    auto N0 = std::chrono::steady_clock::now();
    const String Normal = NormalizeMarkup(Text);
    std::printf("  %4zu KB normalising   %9.2f ms\n", Kb,
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - N0).count());
    for (bool HeightOnly : {true, false}) {
      Integer Height = 0;
      Layout(Page.GetCanvas(), Text, HeightOnly, Height);  // warm-up
      double Best = 1e300;
      const int Rounds = Kb >= 100 ? 3 : 10;
      for (int I = 0; I < Rounds; ++I) Best = std::min(Best, Layout(Page.GetCanvas(), Text, HeightOnly, Height));
      std::printf("  %4zu KB %-13s %9.2f ms  %7.3f ms/KB  height %d\n", Kb, HeightOnly ? "measure only" : "measure+draw",
                  Best, Best / Kb, Height);
    }
  }
  return 0;
}
