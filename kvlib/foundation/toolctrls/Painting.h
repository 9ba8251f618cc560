#pragma once
// Colours, themes and the small glyphs of the component family (part of the unit ToolCtrlsKv):
// colour mixing and luminance, style-aware system colours, theme queries, gradients, image-list
// drawing, the check box, the edit-button face and the glyphs of the edit-button styles with an
// optional cache of painted glyph bitmaps, and the expand/collapse buttons and dotted lines of
// tree views inside grid cells.

#include <map>
#include <memory>
#include <vector>

#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"
#include "framework/Themes.h"
#include "framework/controls/ControlTypes.h"
#include "framework/stdctrls/StdTypes.h"

class TCustomImageList;

// ---- Colours ----------------------------------------------------------------------------------

// Halves to even, as the colour routines and the scaled sizes round.
Integer RoundEvenKv(Double V);

// The colour as the active visual style resolves it: system colours through the style, others
// unchanged.
TColor GetStyledSystemColor(TColor Color);
// Amount runs from 0 (C1) to 255 (C2); both colours are resolved through the style first.
TColor MixColors(TColor C1, TColor C2, Double Amount);
// Percent runs from 0 (C1) to 100 (C2); channels round halves to even.
TColor MixColorsByPercent(TColor C1, TColor C2, Double Percent);
// (77 red + 150 green + 29 blue) div 256.
Integer ColorLuminance(TColor Color);
TColor GrayColor(TColor Color);
// C2 when it is darker than C1, else C1.
TColor DarkerColor(TColor C1, TColor C2);
// The colour with its lightness set to L / 256, hue and saturation kept.
TColor ChangeColorLuminance(TColor Color, Integer L);

// ---- Themes -----------------------------------------------------------------------------------

bool ThemesEnabledKv();
bool ThemesEnabledVistaKv();
bool IsCustomStyleActiveKv();
// Whether the system theme defines the element's part; false under a custom style or without
// themes, true for families the system has no class for and for part 0.
bool IsThemeElementDefinedKv(const TThemedElementDetails& Details);

// ---- Gradients --------------------------------------------------------------------------------

// One line a row, from C1 at the top to C2 at the bottom; one row is filled with C1.
void FillGradientRect(TCanvas* Canvas, const TRect& Rect, TColor C1, TColor C2);
// Lines holds pairs of points (start, end, relative to Origin), each a segment drawn as LineTo
// draws it (the end excluded); the first in StartColor, the last in EndColor, evenly between.
// While the shared alpha bitmap is captured the segments go into it as opaque horizontal runs.
void DrawGradientLines(TCanvas* Canvas, const TPoint& Origin, const std::vector<TPoint>& Lines, TColor StartColor,
                       TColor EndColor);

// ---- Images -----------------------------------------------------------------------------------

// The image centred in Rect, clipped to it when it does not fit.
void DrawImageListCentered(TCanvas* Canvas, const TRect& Rect, TCustomImageList* Images, Integer ImageIndex,
                           bool Selected);
void DrawImageListCenteredDC(HDC DC, const TRect& Rect, TCustomImageList* Images, Integer ImageIndex, bool Selected);
// An image-list image (when Images is given) or Graphic in DestRect, aligned horizontally by
// HorzAlign and centred vertically, moved by DX, DY and scaled by Zoom; clipped to DestRect when
// it does not fit; nothing when DestRect is outside PaintRect.
void DrawImageInRect(TCustomImageList* Images, TGraphic* Graphic, TCanvas* Canvas, const TRect& DestRect,
                     Integer ImageIndex, Integer DX, Integer DY, TAlignment HorzAlign, const TRect& PaintRect,
                     Double Zoom, bool Enabled);

// ---- Check boxes ------------------------------------------------------------------------------

// The system check-box glyph: the themed checked box's size, else a cell of the system's
// check-box bitmap. CheckBoxSizeKv measures it once and keeps it.
TSize MeasureCheckBoxSize();
TSize CheckBoxSizeKv();
// A rectangle of the glyph size (each side at most the cell's) aligned in the cell.
TRect AlignCheckBoxRect(const TRect& CellRect, TAlignment HorzAlign, TVerticalAlignment VertAlign);
void DrawClassicCheckBox(HDC DC, const TRect& Rect, TCheckBoxState State, bool Enabled, bool Flat, bool Pressed,
                         bool Hot);

// ---- Buttons ----------------------------------------------------------------------------------

DECLARE_ENUM(TDrawButtonControlStyleKv, bcsDropDownKv, bcsEllipsisKv, bcsUpDownKv, bcsCheckboxKv, bcsPlusKv,
             bcsMinusKv, bcsAltDropDownKv, bcsAltUpDownKv)

// The key of a cached glyph bitmap.
struct TButtonBitmapInfoKv {
  TPoint Size;
  TDrawButtonControlStyleKv BitmapType = bcsDropDownKv;
  bool Flat = false;
  bool Pressed = false;
  bool Active = false;
  bool Enabled = false;
  bool DownDirect = false;
  TCheckBoxState CheckState = cbUnchecked;
  bool DrawBack = false;
};
bool CompareButtonBitmapInfo(const TButtonBitmapInfoKv& A, const TButtonBitmapInfoKv& B);

class TButtonBitmapInfoBitmapKv {
 public:
  TButtonBitmapInfoKv BitmapInfo;
  std::unique_ptr<TBitmap> Bitmap;
};

// Painted glyph bitmaps by key, found through an ordered index (grids ask for one per painted
// button); grows until Clear.
class TButtonsBitmapCache {
 public:
  TButtonsBitmapCache() = default;
  ~TButtonsBitmapCache();
  TButtonsBitmapCache(const TButtonsBitmapCache&) = delete;
  TButtonsBitmapCache& operator=(const TButtonsBitmapCache&) = delete;

  TBitmap* GetButtonBitmap(const TButtonBitmapInfoKv& Info);
  TButtonBitmapInfoBitmapKv* Get(Integer Index) const { return FItems[size_t(Index)].get(); }
  Integer Count() const { return Integer(FItems.size()); }
  void Clear();

 private:
  std::vector<std::unique_ptr<TButtonBitmapInfoBitmapKv>> FItems;
  // Key (size, then the eight flag values packed) to the entry's position in FItems.
  std::map<std::pair<std::pair<Integer, Integer>, UInt64>, size_t> FIndex;
};

// The family's shared cache, made on first use.
TButtonsBitmapCache* ButtonsBitmapCache();
void ClearButtonsBitmapCache();
// Makes PaintButtonControlKv paint glyphs through the cache.
extern bool UseButtonsBitmapCacheKv;

void DrawButtonBackgroundKv(TCanvas* Canvas, const TRect& Rect, TColor FillColor, bool Enabled, bool Active, bool Flat,
                            bool Pressed);
// One glyph of Style (not the check box) into Rect; DownDirect picks the half of the up/down styles.
void DrawButtonGlyph(TCanvas* Canvas, TDrawButtonControlStyleKv Style, const TRect& Rect, bool Enabled, bool Flat,
                     bool Active, bool Pressed, bool DownDirect, bool DrawBack);
// BorderColor clNone draws no border. DownButton: 0 none pressed, 1 the (upper) button, 2 the
// lower half. ScaleFactor is accepted for callers and not used.
void PaintButtonControlKv(TCanvas* Canvas, const TRect& Rect, TColor BorderColor, TDrawButtonControlStyleKv Style,
                          Integer DownButton, bool Flat, bool Active, bool Enabled, TCheckBoxState CheckState,
                          Double ScaleFactor, bool DrawBack);

// ---- Trees ------------------------------------------------------------------------------------

DECLARE_ENUM(TTreeViewGlyphStyleKv, tvgsDefaultKv, tvgsClassicKv, tvgsThemedKv, tvgsExplorerThemedKv)

// Element codes: 0-4 an expanded button, 5-9 a collapsed one, each group with lines up, down
// and right; up and right; down and right; right only; none. 10-14 lines only: vertical through
// and right; upper half and right; lower half and right; vertical only; right only.
void DrawTreeElementKv(TCanvas* Canvas, const TRect& Rect, Integer Element, bool LinePhase, Double HorzScale,
                       Double VertScale, bool RightToLeftShift, bool DefaultColors, TTreeViewGlyphStyleKv GlyphStyle);
// One-pixel dots every two pen widths; Phase picks dots on cells whose x + y is odd.
void DrawDottedLine(TCanvas* Canvas, const TPoint& Start, Integer Length, bool Horizontal, bool Phase);
