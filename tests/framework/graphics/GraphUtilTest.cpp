#include <gtest/gtest.h>

#include "framework/GraphUtil.h"
#include "framework/Graphics.h"

namespace {

struct HlsCase {
  TColorRef Rgb;
  Word H, L, S;
  TColorRef Back;  // 240 steps cannot hold every grey
};

TEST(GraphUtil, HlsUsesTheZeroTo240Scale) {
  const HlsCase Cases[] = {
      {0x0000FF, 0, 120, 240, 0x0000FF}, {0x00FF00, 80, 120, 240, 0x00FF00}, {0xFF0000, 160, 120, 240, 0xFF0000},
      {0xFFFFFF, 160, 240, 0, 0xFFFFFF}, {0x000000, 160, 0, 0, 0x000000},    {0x808080, 160, 120, 0, 0x7F7F7F},
  };
  for (const auto& C : Cases) {
    Word H, L, S;
    ColorRGBToHLS(C.Rgb, H, L, S);
    EXPECT_EQ(H, C.H) << std::hex << C.Rgb;
    EXPECT_EQ(L, C.L) << std::hex << C.Rgb;
    EXPECT_EQ(S, C.S) << std::hex << C.Rgb;
    EXPECT_EQ(ColorHLSToRGB(C.H, C.L, C.S), C.Back);
  }
}

TEST(GraphUtil, RoundTripStaysCloseForEveryColourStep) {
  for (Cardinal R = 0; R < 256; R += 15)
    for (Cardinal G = 0; G < 256; G += 15)
      for (Cardinal B = 0; B < 256; B += 15) {
        Word H, L, S;
        ColorRGBToHLS(R | G << 8 | B << 16, H, L, S);
        TColorRef Back = ColorHLSToRGB(H, L, S);
        EXPECT_NEAR(int(Back & 0xFF), int(R), 4);
        EXPECT_NEAR(int((Back >> 8) & 0xFF), int(G), 4);
        EXPECT_NEAR(int((Back >> 16) & 0xFF), int(B), 4);
      }
}

TEST(GraphUtil, HighlightIsLighterAndShadowDarker) {
  Word H, L0, S, L1;
  ColorRGBToHLS(ColorToRGB(clBtnFace), H, L0, S);
  ColorRGBToHLS(TColorRef(GetHighLightColor(clBtnFace)), H, L1, S);
  EXPECT_GT(L1, L0);
  ColorRGBToHLS(TColorRef(GetShadowColor(clBtnFace)), H, L1, S);
  EXPECT_LT(L1, L0);
  EXPECT_EQ(ColorAdjustLuma(0xFFFFFF, 50, false), clWhite);  // clamped
}

TEST(GraphUtil, GradientRunsFromStartToEndColour) {
  TBitmap B;
  B.SetPixelFormat(pf24bit);
  B.SetSize(10, 20);
  GradientFillCanvas(B.GetCanvas(), clBlack, clWhite, Rect(0, 0, 10, 20), gdVertical);
  TColorRef Top = ColorToRGB(B.GetCanvas()->GetPixel(5, 0)), Bottom = ColorToRGB(B.GetCanvas()->GetPixel(5, 19));
  EXPECT_LT(Top & 0xFF, 20u);
  EXPECT_GT(Bottom & 0xFF, 230u);
  EXPECT_EQ(B.GetCanvas()->GetPixel(0, 10), B.GetCanvas()->GetPixel(9, 10));  // uniform across
}

}  // namespace
