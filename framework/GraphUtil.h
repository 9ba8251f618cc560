#pragma once
// Colour arithmetic in hue, luminance and saturation (each on the 0..240 scale the system's
// colour dialog uses), derived highlight and shadow colours, and gradient fills.

#include "framework/Types.h"
#include "framework/graphics/Colors.h"

class TCanvas;

enum TGradientDirection { gdHorizontal, gdVertical };

constexpr Word HLSMax = 240;

void ColorRGBToHLS(TColorRef clrRGB, Word& Hue, Word& Luminance, Word& Saturation);
TColorRef ColorHLSToRGB(Word Hue, Word Luminance, Word Saturation);
// Moves the luminance by n (in 1/1000 of the scale when fScale), clamped to 0..240.
TColor ColorAdjustLuma(TColorRef clrRGB, Integer n, bool fScale);
TColor GetHighLightColor(TColor Color, Integer Luminance = 19);
TColor GetShadowColor(TColor Color, Integer Luminance = -50);
// Fills ARect from AStartColor to AEndColor: left to right (gdHorizontal) or top to bottom.
void GradientFillCanvas(TCanvas* ACanvas, TColor AStartColor, TColor AEndColor, const TRect& ARect,
                        TGradientDirection Direction);
