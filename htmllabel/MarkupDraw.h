#pragma once
// MarkupDraw: the engine that lays marked-up text (MarkupText) out in a rectangle of a canvas,
// draws it, measures it and finds the anchor under a point (HTMLDrawEx), and the drawing helpers
// it shares with the label.

#include "framework/Graphics.h"
#include "htmllabel/MarkupText.h"

class TCustomImageList;
class THTMLPictureCache;
class TPictureStore;

enum class THTMLBiDiMode { LeftToRight, RightToLeft, RightToLeftNoAlign, RightToLeftReadingOnly };

struct THTMLDrawParams {
  TCustomImageList* Images = nullptr;  // "IDX:n" pictures
  Integer HitX = -1, HitY = -1;        // canvas point tested against anchors
  Integer FocusAnchor = -1;            // anchor number FocusAnchor + 1 gets a focus rectangle
  Integer HoverAnchor = -1;            // anchor drawn in hover style
  Integer ShadowOffset = 1;
  bool AnchorTestOnly = false;  // second pass lays out without painting
  bool HeightOnly = false;      // second pass skipped; layout continues below the rectangle
  bool ScalePictures = false;   // image-list pictures and shell icons drawn at PictureScale
  bool KeepColors = false;      // tags change no font or brush colour
  bool BlinkPhase = true;       // <BLINK> text is visible only while this is on
  bool HoverMode = false;       // only the hover anchor is underlined and hover-coloured
  bool WordWrap = true;         // off: no wrapping, an end ellipsis
  bool FormScaled = false;      // absolute font sizes follow ScaleFactor
  double PictureScale = 1.0;
  TColor AnchorColor = clBlue;
  TColor HoverColor = clNone;      // brush of hovered anchors
  TColor HoverFontColor = clNone;  // font colour of hovered anchors
  TColor ShadowColor = clGray;
  THTMLPictureCache* PictureCache = nullptr;  // pictures named by address ("://")
  TPictureStore* PictureStore = nullptr;      // pictures named by a plain name
  Integer LineSpacing = 0;
  THTMLBiDiMode BiDiMode = THTMLBiDiMode::LeftToRight;
  TColor HighlightColor = clHighlight;
  TColor HighlightTextColor = clHighlightText;
  TFontStyles HighlightStyle;
  // <IN> positions, picture room and absolute font sizes; not above 0: the device's pixels per
  // inch / 96 (for font sizes, -1 means the device's pixels per inch themselves).
  float ScaleFactor = 1.0f;
};

struct THTMLDrawResult {
  String AnchorRef;        // reference of the anchor at the hit point
  String AnchorTitle;      // its title (when drawing a focus anchor: that anchor's reference)
  Integer TextWidth = 0;   // widest line + 2; 0 for no text
  Integer TextHeight = 0;  // sum of the line heights; the height of "gh" when that is 0
  Integer AnchorAtPoint = -1;
  TRect AnchorRect;        // rectangle of the anchor at the hit point, on the line of the point
  Integer LineCount = 0;   // lines that took room
};

// Lays Text out in Rect of Canvas and, unless measuring only, draws it; true when the hit point
// lies on an anchor with a reference (on its text or on a picture inside it). The canvas's font is
// the starting font; font and brush are restored at the end. Never raises, and always finishes,
// whatever the text and the rectangle.
bool HTMLDrawEx(TCanvas* Canvas, const String& Text, const TRect& Rect, const THTMLDrawParams& Params,
                THTMLDrawResult& Result);

// Fills R with Steps bands blending From into To (left to right when Horizontal, else top to
// bottom); system colours are resolved first, 0 steps count as 1.
void DrawGradientCanvas(TCanvas* Canvas, TColor From, TColor To, Integer Steps, const TRect& R, bool Horizontal);
// The same, then R framed in FrameColor unless that is clNone.
void DrawGradientRect(TCanvas* Canvas, TColor From, TColor To, Integer Steps, const TRect& R, bool Horizontal,
                      TColor FrameColor);
// Stretches Bitmap into R of Canvas; the bitmap's transparent colour stays transparent.
void StretchBitmapToRect(TCanvas* Canvas, const TRect& R, TBitmap* Bitmap);

// Text-drawing flags (DT_*) for a bidirectional mode. They change only on a system with a
// Middle-Eastern locale: right-to-left mode flips right alignment (adding it unless the text is
// centred), and every mode but left-to-right adds right-to-left reading.
Cardinal GetBiDiDrawFlags(Cardinal Flags, THTMLBiDiMode Mode, bool Centered, bool MiddleEast);
// Whether the system's locale is a Middle-Eastern one; tests put their own answer in its place
// and get the previous one back.
using TMiddleEastQuery = bool (*)();
TMiddleEastQuery SetMiddleEastQuery(TMiddleEastQuery Value);
