#include "framework/GraphUtil.h"

#include <algorithm>

#include "framework/WinApi.h"
#include "framework/graphics/Canvas.h"

namespace {

constexpr Integer RGBMax = 255;
constexpr Integer HMax = HLSMax;
constexpr Integer Undefined = HMax * 2 / 3;

Integer HueToRGB(Integer N1, Integer N2, Integer Hue) {
  if (Hue < 0) Hue += HMax;
  if (Hue > HMax) Hue -= HMax;
  if (Hue < HMax / 6) return N1 + ((N2 - N1) * Hue + HMax / 12) / (HMax / 6);
  if (Hue < HMax / 2) return N2;
  if (Hue < HMax * 2 / 3) return N1 + ((N2 - N1) * (HMax * 2 / 3 - Hue) + HMax / 12) / (HMax / 6);
  return N1;
}

}  // namespace

void ColorRGBToHLS(TColorRef clrRGB, Word& Hue, Word& Luminance, Word& Saturation) {
  Integer R = clrRGB & 0xFF, G = (clrRGB >> 8) & 0xFF, B = (clrRGB >> 16) & 0xFF;
  Integer Max = std::max({R, G, B}), Min = std::min({R, G, B});
  Integer L = ((Max + Min) * HMax + RGBMax) / (2 * RGBMax);
  Integer H, S;
  if (Max == Min) {
    S = 0;
    H = Undefined;
  } else {
    if (L <= HMax / 2) S = ((Max - Min) * HMax + (Max + Min) / 2) / (Max + Min);
    else S = ((Max - Min) * HMax + (2 * RGBMax - Max - Min) / 2) / (2 * RGBMax - Max - Min);
    Integer RD = ((Max - R) * (HMax / 6) + (Max - Min) / 2) / (Max - Min);
    Integer GD = ((Max - G) * (HMax / 6) + (Max - Min) / 2) / (Max - Min);
    Integer BD = ((Max - B) * (HMax / 6) + (Max - Min) / 2) / (Max - Min);
    if (R == Max) H = BD - GD;
    else if (G == Max) H = HMax / 3 + RD - BD;
    else H = HMax * 2 / 3 + GD - RD;
    if (H < 0) H += HMax;
    if (H > HMax) H -= HMax;
  }
  Hue = Word(H);
  Luminance = Word(L);
  Saturation = Word(S);
}

TColorRef ColorHLSToRGB(Word Hue, Word Luminance, Word Saturation) {
  Integer H = Hue, L = std::min<Integer>(Luminance, HMax), S = std::min<Integer>(Saturation, HMax);
  Integer R, G, B;
  if (S == 0) {
    R = G = B = L * RGBMax / HMax;
  } else {
    Integer M2 = L <= HMax / 2 ? (L * (HMax + S) + HMax / 2) / HMax : L + S - (L * S + HMax / 2) / HMax;
    Integer M1 = 2 * L - M2;
    R = (HueToRGB(M1, M2, H + HMax / 3) * RGBMax + HMax / 2) / HMax;
    G = (HueToRGB(M1, M2, H) * RGBMax + HMax / 2) / HMax;
    B = (HueToRGB(M1, M2, H - HMax / 3) * RGBMax + HMax / 2) / HMax;
  }
  auto C = [](Integer V) { return TColorRef(std::clamp(V, 0, 255)); };
  return C(R) | C(G) << 8 | C(B) << 16;
}

TColor ColorAdjustLuma(TColorRef clrRGB, Integer n, bool fScale) {
  Word H, L, S;
  ColorRGBToHLS(clrRGB, H, L, S);
  if (fScale) n = MulDiv(n, HMax, 1000);
  return TColor(ColorHLSToRGB(H, Word(std::clamp<Integer>(L + n, 0, HMax)), S));
}

TColor GetHighLightColor(TColor Color, Integer Luminance) {
  return ColorAdjustLuma(ColorToRGB(Color), Luminance, false);
}

TColor GetShadowColor(TColor Color, Integer Luminance) { return ColorAdjustLuma(ColorToRGB(Color), Luminance, false); }

void GradientFillCanvas(TCanvas* ACanvas, TColor AStartColor, TColor AEndColor, const TRect& ARect,
                        TGradientDirection Direction) {
  if (ARect.IsEmpty()) return;
  TColorRef A = ColorToRGB(AStartColor), B = ColorToRGB(AEndColor);
  TRIVERTEX V[2] = {{ARect.Left, ARect.Top, COLOR16((A & 0xFF) << 8), COLOR16(A & 0xFF00), COLOR16((A >> 8) & 0xFF00), 0},
                    {ARect.Right, ARect.Bottom, COLOR16((B & 0xFF) << 8), COLOR16(B & 0xFF00), COLOR16((B >> 8) & 0xFF00), 0}};
  GRADIENT_RECT R{0, 1};
  GradientFill(ACanvas->GetHandle(), V, 2, &R, 1, Direction == gdHorizontal ? GRADIENT_FILL_RECT_H : GRADIENT_FILL_RECT_V);
}
