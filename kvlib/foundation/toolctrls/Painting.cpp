#include "kvlib/foundation/toolctrls/Painting.h"

#include "framework/WinApi.h"
#include <uxtheme.h>

#include <algorithm>
#include <cmath>

#include "framework/GraphUtil.h"
#include "framework/ImgList.h"
#include "framework/WinApi.h"
#include "framework/sysutils/OSVersion.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/foundation/toolctrls/Pictures.h"

namespace {

Byte ClampChannel(Double V) { return Byte(std::clamp(V, 0.0, 255.0)); }
Integer R(TColorRef C) { return Integer(C & 0xFF); }
Integer G(TColorRef C) { return Integer((C >> 8) & 0xFF); }
Integer B(TColorRef C) { return Integer((C >> 16) & 0xFF); }
TColor MakeColor(Integer Red, Integer Green, Integer Blue) {
  return TColor(Red | (Green << 8) | (Blue << 16));
}
TColorRef StyledRGB(TColor Color) { return ColorToRGB(GetStyledSystemColor(Color)); }

// Keeps a DC's clip region and puts it back when it goes.
class TSavedClip {
 public:
  explicit TSavedClip(HDC DC) : FDC(DC), FRegion(CreateRectRgn(0, 0, 0, 0)) {
    if (GetClipRgn(DC, FRegion) != 1) {
      DeleteObject(FRegion);
      FRegion = nullptr;
    }
  }
  ~TSavedClip() {
    SelectClipRgn(FDC, FRegion);
    if (FRegion) DeleteObject(FRegion);
  }
  TSavedClip(const TSavedClip&) = delete;
  TSavedClip& operator=(const TSavedClip&) = delete;

 private:
  HDC FDC;
  HRGN FRegion;
};

void IntersectClip(HDC DC, const TRect& R) { IntersectClipRect(DC, R.Left, R.Top, R.Right, R.Bottom); }

TRect Inflated(TRect R, Integer D) {
  InflateRect(R, D, D);
  return R;
}

void FrameRectColor(HDC DC, const TRect& R, TColor Color) {
  HBRUSH Brush = CreateSolidBrush(ColorToRGB(Color));
  RECT Win = {R.Left, R.Top, R.Right, R.Bottom};
  FrameRect(DC, &Win, Brush);
  DeleteObject(Brush);
}

void DrawThinEdge(HDC DC, const TRect& R, bool Sunken) {
  RECT Win = {R.Left, R.Top, R.Right, R.Bottom};
  DrawEdge(DC, &Win, Sunken ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
}

// The state offset of the four-state element families: normal, hot, pressed, disabled.
Integer ElementState(bool Enabled, bool Pressed, bool Hot) {
  if (!Enabled) return 3;
  if (Pressed) return 2;
  if (Hot) return 1;
  return 0;
}

// A glyph as horizontal runs (pairs of points, the end excluded), painted in the glyph colours:
// classic in one colour (disabled: an embossed highlight first), themed as a gradient.
void PaintGlyphRuns(TCanvas* Canvas, const std::vector<TPoint>& Runs, bool Enabled, bool ArrowColors) {
  if (Runs.empty()) return;
  if (ThemesEnabledKv()) {
    TColor Start = GetStyledSystemColor(Enabled ? cl3DDkShadow : clGrayText);
    TColor End = MixColorsByPercent(Start, Enabled ? clBlack : clWhite, 30);
    DrawGradientLines(Canvas, TPoint(0, 0), Runs, Start, End);
    return;
  }
  if (ArrowColors) {
    TColor C = GetStyledSystemColor(Enabled ? clWindowText : clGrayText);
    DrawGradientLines(Canvas, TPoint(0, 0), Runs, C, C);
    return;
  }
  if (!Enabled) {
    TColor Light = GetStyledSystemColor(clBtnHighlight);
    DrawGradientLines(Canvas, TPoint(1, 1), Runs, Light, Light);
  }
  TColor C = GetStyledSystemColor(Enabled ? clBtnText : clBtnShadow);
  DrawGradientLines(Canvas, TPoint(0, 0), Runs, C, C);
}

void AddBox(std::vector<TPoint>& Runs, Integer X, Integer Y, Integer W, Integer H) {
  for (Integer Row = 0; Row < H; ++Row) {
    Runs.push_back(TPoint(X, Y + Row));
    Runs.push_back(TPoint(X + W, Y + Row));
  }
}

void DrawDropDownButton(TCanvas* Canvas, const TRect& R, bool Enabled, bool Flat, bool Active, bool Pressed,
                        bool DrawBack) {
  if (!DrawBack) {
    Canvas->FillRect(R);
    return;
  }
  HDC DC = Canvas->GetHandle();
  if (ThemesEnabledKv()) {
    auto E = TThemedComboBox(tcDropDownButtonNormal + ElementState(Enabled, Pressed, Active));
    StyleServices()->DrawElement(DC, StyleServices()->GetElementDetails(E), R);
    return;
  }
  RECT Win = {R.Left, R.Top, R.Right, R.Bottom};
  UINT State = DFCS_SCROLLCOMBOBOX | (Pressed ? DFCS_PUSHED : 0) | (Flat ? DFCS_FLAT : 0) | (Enabled ? 0 : DFCS_INACTIVE);
  DrawFrameControl(DC, &Win, DFC_SCROLL, State);
}

void DrawUpDownHalf(TCanvas* Canvas, const TRect& R, bool Enabled, bool Flat, bool Active, bool Pressed,
                    bool DownDirect, bool DrawBack) {
  if (!DrawBack) {
    Canvas->FillRect(R);
    return;
  }
  HDC DC = Canvas->GetHandle();
  if (ThemesEnabledKv()) {
    auto E = TThemedSpin((DownDirect ? tsDownNormal : tsUpNormal) + ElementState(Enabled, Pressed, Active));
    StyleServices()->DrawElement(DC, StyleServices()->GetElementDetails(E), R);
    return;
  }
  RECT Win = {R.Left, R.Top, R.Right, R.Bottom};
  UINT State = (DownDirect ? DFCS_SCROLLDOWN : DFCS_SCROLLUP) | (Pressed ? DFCS_PUSHED : 0) | (Flat ? DFCS_FLAT : 0) |
               (Enabled ? 0 : DFCS_INACTIVE);
  DrawFrameControl(DC, &Win, DFC_SCROLL, State);
}

void DrawEllipsisGlyph(TCanvas* Canvas, const TRect& R, bool Enabled, bool Flat, bool Active, bool Pressed,
                       bool DrawBack) {
  if (DrawBack) DrawButtonBackgroundKv(Canvas, R, clNone, Enabled, Active, Flat, Pressed);
  Integer W = R.Width();
  Integer Dot = W > 7 ? 2 : 1;
  Integer Gap = W < 12 ? 1 : 2;
  Integer X = R.Left + W / 2 - Dot / 2;
  Integer Y = R.Top + R.Height() / 2 - Dot / 2;
  if (Pressed) {
    ++X;
    ++Y;
  }
  std::vector<TPoint> Runs;
  for (Integer Row = 0; Row < Dot; ++Row)
    for (Integer I = -1; I <= 1; ++I) {
      Integer DX = X + I * (Gap + Dot);
      Runs.push_back(TPoint(DX, Y + Row));
      Runs.push_back(TPoint(DX + Dot, Y + Row));
    }
  PaintGlyphRuns(Canvas, Runs, Enabled, false);
}

void DrawPlusMinusGlyph(TCanvas* Canvas, TRect R, bool Plus, bool Enabled, bool Flat, bool Active, bool Pressed,
                        bool DrawBack) {
  bool Themed = ThemesEnabledKv();
  if (DrawBack)
    DrawButtonBackgroundKv(Canvas, R, clNone, Enabled, Active, Flat, Pressed);
  else
    R = Inflated(R, Flat && !Themed ? -1 : -2);
  Integer W = R.Width(), H = R.Height();
  Integer E = std::min(W, H);
  Integer F = std::max(1, E * 4 / 7);
  Integer T = std::max(1, F / 3);
  F = F + (Flat ? 0 : 1) - ((((F - (Flat ? 1 : 0)) ^ E) & 1) == 0 ? 1 : 0);
  if (Plus && ((F ^ T) & 1)) F = E < 12 ? F + 1 : F - 1;
  Integer Shift = Pressed ? 1 : 0;
  Integer HX = R.Left + (W - F) / 2 + Shift, HY = R.Top + (H - T) / 2 + Shift;
  Integer VX = R.Left + (W - T) / 2 + Shift, VY = R.Top + (H - F) / 2 + Shift;
  std::vector<TPoint> Runs;
  if (!Plus) {
    AddBox(Runs, HX, HY, F, T);
  } else {
    // Top to bottom, so a themed gradient runs down the whole cross.
    for (Integer Y = std::min(HY, VY); Y < std::max(HY + T, VY + F); ++Y) {
      if (Y >= HY && Y < HY + T) {
        Runs.push_back(TPoint(HX, Y));
        Runs.push_back(TPoint(HX + F, Y));
      } else {
        Runs.push_back(TPoint(VX, Y));
        Runs.push_back(TPoint(VX + T, Y));
      }
    }
  }
  PaintGlyphRuns(Canvas, Runs, Enabled, false);
}

void DrawArrowGlyph(TCanvas* Canvas, TRect R, bool Down, bool AltUpDown, bool Enabled, bool Flat, bool Active,
                    bool Pressed, bool DrawBack) {
  bool Themed = ThemesEnabledKv();
  if (AltUpDown && Themed) {
    if (Down)
      --R.Top;
    else
      ++R.Bottom;
  }
  if (DrawBack) {
    if (Themed) {
      DrawButtonBackgroundKv(Canvas, R, clNone, Enabled, Active, Flat, Pressed);
      R = Inflated(R, -2);
    } else {
      HDC DC = Canvas->GetHandle();
      Canvas->GetBrush()->SetColor(GetStyledSystemColor(clBtnFace));
      if (Flat) {
        Canvas->FillRect(R);
        R = Inflated(R, -1);
      } else {
        RECT Win = {R.Left, R.Top, R.Right, R.Bottom};
        DrawEdge(DC, &Win, Pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE);
        R = Inflated(R, -2);
      }
    }
  }
  Integer E = std::min(R.Width(), R.Height());
  Integer Width = E >= 19 ? 9 : E >= 16 ? 7 : (E > 11 || Themed) ? 5 : 3;
  Integer Rows = Width / 2 + 1;
  Integer X = R.Left + (R.Width() - Width) / 2, Y = R.Top + (R.Height() - Rows) / 2;
  if (Pressed) {
    ++X;
    ++Y;
  }
  std::vector<TPoint> Runs;
  for (Integer I = 0; I < Rows; ++I) {
    if (Down) {
      Runs.push_back(TPoint(X + I, Y + I));
      Runs.push_back(TPoint(X + Width - I, Y + I));
    } else {
      Runs.push_back(TPoint(X + Width / 2 - I, Y + I));
      Runs.push_back(TPoint(X + Width / 2 + I + 1, Y + I));
    }
  }
  PaintGlyphRuns(Canvas, Runs, Enabled, true);
}

void DrawAltArrowGlyph(TCanvas* Canvas, const TRect& R, bool Enabled, bool Flat, bool Active, bool Pressed,
                       bool DrawBack) {
  DrawArrowGlyph(Canvas, R, true, false, Enabled, Flat, Active, Pressed, DrawBack);
}

// The glyph of one cache key painted into a bitmap of its size.
void PaintCachedBitmap(TBitmap* Bitmap, const TButtonBitmapInfoKv& Info) {
  TRect R(0, 0, Bitmap->GetWidth(), Bitmap->GetHeight());
  TCanvas* C = Bitmap->GetCanvas();
  C->GetBrush()->SetColor(GetStyledSystemColor(clBtnFace));
  C->FillRect(R);
  if (Info.BitmapType == bcsCheckboxKv)
    DrawClassicCheckBox(C->GetHandle(), R, Info.CheckState, Info.Enabled, Info.Flat, Info.Pressed, Info.Active);
  else if (Info.BitmapType >= bcsDropDownKv && Info.BitmapType <= bcsAltUpDownKv)
    DrawButtonGlyph(C, Info.BitmapType, R, Info.Enabled, Info.Flat, Info.Active, Info.Pressed, Info.DownDirect,
                    Info.DrawBack);
}

std::unique_ptr<TButtonsBitmapCache>& SharedCache() {
  static std::unique_ptr<TButtonsBitmapCache> Cache;
  return Cache;
}

}  // namespace

Integer RoundEvenKv(Double V) { return Integer(std::nearbyint(V)); }

// ---- Colours ----------------------------------------------------------------------------------

TColor GetStyledSystemColor(TColor Color) { return StyleServices()->GetSystemColor(Color); }

TColor MixColors(TColor C1, TColor C2, Double Amount) {
  TColorRef A = StyledRGB(C1), Z = StyledRGB(C2);
  auto Mix = [Amount](Integer From, Integer To) {
    return ClampChannel(From + std::trunc(Double(To - From) / 255.0 * Amount));
  };
  return MakeColor(Mix(R(A), R(Z)), Mix(G(A), G(Z)), Mix(B(A), B(Z)));
}

TColor MixColorsByPercent(TColor C1, TColor C2, Double Percent) {
  TColorRef A = ColorToRGB(C1), Z = ColorToRGB(C2);
  auto Mix = [Percent](Integer From, Integer To) {
    return ClampChannel(RoundEvenKv(From + Percent * (To - From) / 100.0));
  };
  return MakeColor(Mix(R(A), R(Z)), Mix(G(A), G(Z)), Mix(B(A), B(Z)));
}

Integer ColorLuminance(TColor Color) {
  TColorRef C = ColorToRGB(Color);
  return (77 * R(C) + 150 * G(C) + 29 * B(C)) / 256;
}

TColor GrayColor(TColor Color) {
  Integer L = ColorLuminance(Color);
  return MakeColor(L, L, L);
}

TColor DarkerColor(TColor C1, TColor C2) { return ColorLuminance(C2) < ColorLuminance(C1) ? C2 : C1; }

TColor ChangeColorLuminance(TColor Color, Integer L) {
  Word Hue = 0, Lum = 0, Sat = 0;
  ColorRGBToHLS(ColorToRGB(Color), Hue, Lum, Sat);
  Lum = Word(std::clamp(RoundEvenKv(L * Double(HLSMax) / 256.0), 0, Integer(HLSMax)));
  return TColor(ColorHLSToRGB(Hue, Lum, Sat));
}

// ---- Themes -----------------------------------------------------------------------------------

bool ThemesEnabledKv() { return StyleServices()->Enabled(); }

bool ThemesEnabledVistaKv() { return ThemesEnabledKv() && TOSVersion::Check(6); }

bool IsCustomStyleActiveKv() { return !StyleServices()->IsSystemStyle(); }

bool IsThemeElementDefinedKv(const TThemedElementDetails& Details) {
  if (IsCustomStyleActiveKv() || !ThemesEnabledKv()) return false;
  if (Details.Part == 0) return true;
  HANDLE Theme = StyleServices()->Theme(Details.Element);
  if (!Theme) return true;
  return IsThemePartDefined(HTHEME(Theme), Details.Part, 0);
}

// ---- Gradients --------------------------------------------------------------------------------

void FillGradientRect(TCanvas* Canvas, const TRect& Rect, TColor C1, TColor C2) {
  Integer Rows = Rect.Height();
  if (Rows <= 0 || Rect.Width() <= 0) return;
  TColorRef A = ColorToRGB(C1), Z = ColorToRGB(C2);
  TBrush* Brush = Canvas->GetBrush();
  TColor Saved = Brush->GetColor();
  for (Integer Row = 0; Row < Rows; ++Row) {
    // One row takes C1 alone: there is no second row to run toward.
    auto Channel = [&](Integer From, Integer To) {
      return Rows == 1 ? From : RoundEvenKv(From - Row * Double(From - To) / (Rows - 1));
    };
    Brush->SetColor(MakeColor(Channel(R(A), R(Z)), Channel(G(A), G(Z)), Channel(B(A), B(Z))));
    Canvas->FillRect(TRect(Rect.Left, Rect.Top + Row, Rect.Right, Rect.Top + Row + 1));
  }
  Brush->SetColor(Saved);
}

void DrawGradientLines(TCanvas* Canvas, const TPoint& Origin, const std::vector<TPoint>& Lines, TColor StartColor,
                       TColor EndColor) {
  Integer Count = Integer(Lines.size() / 2);
  if (Count == 0) return;
  TColorRef A = ColorToRGB(StartColor), Z = ColorToRGB(EndColor);
  TCacheAlphaBitmapKv* Alpha = IsCacheAlphaBitmapCaptured() ? CacheAlphaBitmapIfAny() : nullptr;
  TPen* Pen = Canvas->GetPen();
  TColor Saved = Pen->GetColor();
  for (Integer I = 0; I < Count; ++I) {
    auto Channel = [&](Integer From, Integer To) {
      return Count == 1 ? From : RoundEvenKv(From + I * Double(To - From) / (Count - 1));
    };
    TColor C = MakeColor(Channel(R(A), R(Z)), Channel(G(A), G(Z)), Channel(B(A), B(Z)));
    TPoint P1(Lines[2 * I].X + Origin.X, Lines[2 * I].Y + Origin.Y);
    TPoint P2(Lines[2 * I + 1].X + Origin.X, Lines[2 * I + 1].Y + Origin.Y);
    if (Alpha) {
      Alpha->DrawHorzLine(P1, P2.X - P1.X, C);
    } else {
      Pen->SetColor(C);
      Canvas->MoveTo(P1.X, P1.Y);
      Canvas->LineTo(P2.X, P2.Y);
    }
  }
  Pen->SetColor(Saved);
}

// ---- Images -----------------------------------------------------------------------------------

namespace {
COLORREF ColorToImageListColor(TColor Color) {
  if (Color == clNone) return CLR_NONE;
  if (Color == clDefault) return CLR_DEFAULT;
  return ColorToRGB(Color);
}
}  // namespace

void DrawImageListCenteredDC(HDC DC, const TRect& Rect, TCustomImageList* Images, Integer ImageIndex, bool Selected) {
  if (!Images || ImageIndex < 0 || ImageIndex >= Images->GetCount()) return;
  Integer W = Images->GetWidth(), H = Images->GetHeight();
  Integer X = (Rect.Left + Rect.Right - W) / 2, Y = (Rect.Top + Rect.Bottom - H) / 2;
  bool Fits = X >= Rect.Left && Y >= Rect.Top && X + W <= Rect.Right && Y + H <= Rect.Bottom;
  std::unique_ptr<TSavedClip> Clip;
  if (!Fits) {
    Clip = std::make_unique<TSavedClip>(DC);
    IntersectClip(DC, Rect);
  }
  UINT Style = Images->GetImageType() == itMask ? ILD_MASK : ILD_NORMAL;
  if (Selected) Style |= ILD_SELECTED;
  COLORREF Blend = Selected ? ColorToRGB(clHighlight) : ColorToImageListColor(Images->GetBlendColor());
  ImageList_DrawEx(Images->GetHandle(), ImageIndex, DC, X, Y, 0, 0, ColorToImageListColor(Images->GetBkColor()),
                   Blend, Style);
}

void DrawImageListCentered(TCanvas* Canvas, const TRect& Rect, TCustomImageList* Images, Integer ImageIndex,
                           bool Selected) {
  Canvas->RequiredState(TCanvasState{csHandleValid});
  DrawImageListCenteredDC(Canvas->GetHandle(), Rect, Images, ImageIndex, Selected);
}

void DrawImageInRect(TCustomImageList* Images, TGraphic* Graphic, TCanvas* Canvas, const TRect& DestRect,
                     Integer ImageIndex, Integer DX, Integer DY, TAlignment HorzAlign, const TRect& PaintRect,
                     Double Zoom, bool Enabled) {
  TRect Visible;
  if (!IntersectRect(Visible, DestRect, PaintRect)) return;
  if (!Images && !Graphic) return;
  Integer W = Images ? Images->GetWidth() : Graphic->GetWidth();
  Integer H = Images ? Images->GetHeight() : Graphic->GetHeight();
  bool Zoomed = Zoom != 1.0 && Zoom > 0;
  if (Zoomed) {
    W = RoundEvenKv(W * Zoom);
    H = RoundEvenKv(H * Zoom);
  }
  Integer X = DX + DestRect.Left;
  if (HorzAlign == taRightJustify)
    X = DX + DestRect.Right - W;
  else if (HorzAlign == taCenter)
    X = DX + (DestRect.Left + DestRect.Right - W) / 2;
  Integer Y = DY + (DestRect.Top + DestRect.Bottom - H) / 2;
  bool Inside = X >= DestRect.Left && Y >= DestRect.Top && X + W <= DestRect.Right && Y + H <= DestRect.Bottom;
  Canvas->RequiredState(TCanvasState{csHandleValid});
  // The clip is set before the transform, so it is in the caller's (device) coordinates.
  HRGN Saved = nullptr;
  bool Clipped = !Inside;
  if (Clipped) Saved = SetClipRectKv(Canvas, DestRect);
  if (Zoomed) {
    SetWorldTransformRotation(Canvas, Zoom, 0, 0, 0);
    X = RoundEvenKv(X / Zoom);
    Y = RoundEvenKv(Y / Zoom);
  }
  if (Images)
    Images->Draw(Canvas, X, Y, ImageIndex, Enabled);
  else
    Canvas->Draw(X, Y, Graphic);
  if (Zoomed) ResetWorldTransformKv(Canvas);
  if (Clipped) RestoreClipRgnKv(Canvas, Saved);
}

// ---- Check boxes ------------------------------------------------------------------------------

TSize MeasureCheckBoxSize() {
  if (ThemesEnabledKv()) {
    TSize S;
    HDC DC = GetDC(nullptr);
    bool Got =
        StyleServices()->GetElementSize(DC, StyleServices()->GetElementDetails(tbCheckBoxCheckedNormal), esActual, S);
    ReleaseDC(nullptr, DC);
    if (Got && S.cx > 0 && S.cy > 0) return S;
  }
  // The system's check-box bitmap holds four columns and three rows of glyphs.
  HBITMAP Bmp = LoadBitmapW(nullptr, MAKEINTRESOURCEW(32759));
  BITMAP Info = {};
  TSize S(13, 13);
  if (Bmp && GetObjectW(Bmp, sizeof(Info), &Info) && Info.bmWidth >= 4 && Info.bmHeight >= 3)
    S = TSize(Info.bmWidth / 4, Info.bmHeight / 3);
  if (Bmp) DeleteObject(Bmp);
  return S;
}

TSize CheckBoxSizeKv() {
  static const TSize Size = MeasureCheckBoxSize();
  return Size;
}

TRect AlignCheckBoxRect(const TRect& CellRect, TAlignment HorzAlign, TVerticalAlignment VertAlign) {
  TSize Glyph = CheckBoxSizeKv();
  Integer CW = CellRect.Width(), CH = CellRect.Height();
  Integer W = std::min<Integer>(Glyph.cx, CW), H = std::min<Integer>(Glyph.cy, CH);
  Integer X = CellRect.Left, Y = CellRect.Top;
  if (W < CW) {
    if (HorzAlign == taRightJustify)
      X = CellRect.Right - W;
    else if (HorzAlign == taCenter)
      X = CellRect.Left + (CW >> 1) - (W >> 1);
  }
  if (H < CH) {
    if (VertAlign == taAlignBottom)
      Y = CellRect.Bottom - H;
    else if (VertAlign == taVerticalCenter)
      Y = CellRect.Top + (CH >> 1) - (H >> 1);
  }
  return TRect(X, Y, X + W, Y + H);
}

void DrawClassicCheckBox(HDC DC, const TRect& Rect, TCheckBoxState State, bool Enabled, bool Flat, bool Pressed,
                         bool Hot) {
  TRect Square = Rect;
  Integer W = Rect.Width(), H = Rect.Height();
  if (W > H) {
    Square.Left += (W - H) / 2;
    Square.Right = Square.Left + H;
  } else if (H > W) {
    Square.Top += (H - W) / 2;
    Square.Bottom = Square.Top + W;
  }
  bool Themed = ThemesEnabledKv();
  std::unique_ptr<TSavedClip> Clip;
  if (Flat) {
    Clip = std::make_unique<TSavedClip>(DC);
    IntersectClip(DC, Inflated(Square, Themed ? -2 : -1));
    if (!Themed) Square = Inflated(Square, 1);
  }
  if (Themed) {
    Integer Base = State == cbChecked ? tbCheckBoxCheckedNormal : State == cbGrayed ? tbCheckBoxMixedNormal
                                                                                   : tbCheckBoxUncheckedNormal;
    auto E = TThemedButton(Base + ElementState(Enabled, Pressed, Hot));
    StyleServices()->DrawElement(DC, StyleServices()->GetElementDetails(E), Square);
  } else {
    UINT Flags = DFCS_BUTTONCHECK;
    if (State == cbChecked) Flags |= DFCS_CHECKED;
    if (State == cbGrayed) Flags |= DFCS_BUTTON3STATE | DFCS_CHECKED;
    if (!Enabled) Flags |= DFCS_INACTIVE;
    if (Pressed) Flags |= DFCS_PUSHED;
    RECT Win = {Square.Left, Square.Top, Square.Right, Square.Bottom};
    DrawFrameControl(DC, &Win, DFC_BUTTON, Flags);
  }
  if (Flat) {
    Clip.reset();
    TColor Frame = Themed ? clBtnShadow : Hot ? clBtnFace : clBtnShadow;
    FrameRectColor(DC, Inflated(Square, -1), GetStyledSystemColor(Frame));
  }
}

// ---- Buttons ----------------------------------------------------------------------------------

bool UseButtonsBitmapCacheKv = false;

bool CompareButtonBitmapInfo(const TButtonBitmapInfoKv& A, const TButtonBitmapInfoKv& B) {
  return A.Size == B.Size && A.BitmapType == B.BitmapType && A.Flat == B.Flat && A.Pressed == B.Pressed &&
         A.Active == B.Active && A.Enabled == B.Enabled && A.DownDirect == B.DownDirect &&
         A.CheckState == B.CheckState && A.DrawBack == B.DrawBack;
}

TButtonsBitmapCache::~TButtonsBitmapCache() { Clear(); }

namespace {
// Equal exactly when CompareButtonBitmapInfo holds.
std::pair<std::pair<Integer, Integer>, UInt64> ButtonBitmapKey(const TButtonBitmapInfoKv& Info) {
  UInt64 Flags = UInt64(Byte(Info.BitmapType));
  for (bool B : {Info.Flat, Info.Pressed, Info.Active, Info.Enabled, Info.DownDirect, Info.DrawBack})
    Flags = (Flags << 8) | UInt64(B);
  Flags = (Flags << 8) | UInt64(Byte(Info.CheckState));
  return {{Info.Size.X, Info.Size.Y}, Flags};
}
}  // namespace

TBitmap* TButtonsBitmapCache::GetButtonBitmap(const TButtonBitmapInfoKv& Info) {
  const auto Key = ButtonBitmapKey(Info);
  auto Found = FIndex.find(Key);
  if (Found != FIndex.end()) return FItems[Found->second]->Bitmap.get();
  auto Item = std::make_unique<TButtonBitmapInfoBitmapKv>();
  Item->BitmapInfo = Info;
  Item->Bitmap = std::make_unique<TBitmap>();
  Item->Bitmap->SetSize(std::max<Integer>(Info.Size.X, 0), std::max<Integer>(Info.Size.Y, 0));
  if (Info.Size.X > 0 && Info.Size.Y > 0) PaintCachedBitmap(Item->Bitmap.get(), Info);
  FItems.push_back(std::move(Item));
  FIndex.emplace(Key, FItems.size() - 1);
  return FItems.back()->Bitmap.get();
}

void TButtonsBitmapCache::Clear() {
  FIndex.clear();
  FItems.clear();
}

TButtonsBitmapCache* ButtonsBitmapCache() {
  auto& Cache = SharedCache();
  if (!Cache) Cache = std::make_unique<TButtonsBitmapCache>();
  return Cache.get();
}

void ClearButtonsBitmapCache() {
  if (SharedCache()) SharedCache()->Clear();
}

void DrawButtonBackgroundKv(TCanvas* Canvas, const TRect& Rect, TColor FillColor, bool Enabled, bool Active, bool Flat,
                            bool Pressed) {
  HDC DC = Canvas->GetHandle();
  if (ThemesEnabledKv()) {
    Integer State = ElementState(Enabled, Pressed, Active);
    TCustomStyleServices* S = StyleServices();
    TThemedElementDetails D = S->GetElementDetails(TThemedComboBox(tcReadOnlyNormal + State));
    if (!IsThemeElementDefinedKv(D))
      D = Flat ? S->GetElementDetails(TThemedToolBar(ttbButtonNormal + State))
               : S->GetElementDetails(TThemedButton(tbPushButtonNormal + State));
    if (FillColor != clNone) {
      Canvas->GetBrush()->SetColor(FillColor);
      if (S->HasTransparentParts(D)) Canvas->FillRect(Rect);
    }
    S->DrawElement(Canvas->GetHandle(), D, Rect);
    return;
  }
  bool Clipped = Flat && Active;
  std::unique_ptr<TSavedClip> Clip;
  if (Clipped) {
    Clip = std::make_unique<TSavedClip>(DC);
    IntersectClip(DC, Inflated(Rect, -1));
  }
  TRect R = Rect;
  if (Flat) R = Inflated(R, Active ? 1 : 2);
  Canvas->GetBrush()->SetColor(GetStyledSystemColor(clBtnFace));
  if (Flat) {
    Canvas->FillRect(R);
  } else {
    RECT Win = {R.Left, R.Top, R.Right, R.Bottom};
    DrawEdge(Canvas->GetHandle(), &Win, Pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE);
  }
  if (Clipped) {
    Clip.reset();
    DrawThinEdge(Canvas->GetHandle(), Rect, Pressed);
  }
}

void DrawButtonGlyph(TCanvas* Canvas, TDrawButtonControlStyleKv Style, const TRect& Rect, bool Enabled, bool Flat,
                     bool Active, bool Pressed, bool DownDirect, bool DrawBack) {
  Canvas->RequiredState(TCanvasState{csHandleValid});
  HDC DC = Canvas->GetHandle();
  bool Themed = ThemesEnabledKv();
  bool Clipped = Flat && Active && !Themed;
  std::unique_ptr<TSavedClip> Clip;
  if (Clipped) {
    Clip = std::make_unique<TSavedClip>(DC);
    IntersectClip(DC, Inflated(Rect, -1));
  }
  TRect R = Rect;
  if (Flat && !Themed) R = Inflated(R, Active ? 1 : 2);
  switch (Style) {
    case bcsDropDownKv: DrawDropDownButton(Canvas, R, Enabled, Flat, Active, Pressed, DrawBack); break;
    case bcsEllipsisKv: DrawEllipsisGlyph(Canvas, R, Enabled, Flat, Active, Pressed, DrawBack); break;
    case bcsUpDownKv: DrawUpDownHalf(Canvas, R, Enabled, Flat, Active, Pressed, DownDirect, DrawBack); break;
    case bcsPlusKv:
    case bcsMinusKv:
      DrawPlusMinusGlyph(Canvas, R, Style == bcsPlusKv, Enabled, Flat, Active, Pressed, DrawBack);
      break;
    case bcsAltDropDownKv: DrawAltArrowGlyph(Canvas, R, Enabled, Flat, Active, Pressed, DrawBack); break;
    case bcsAltUpDownKv: DrawArrowGlyph(Canvas, R, DownDirect, true, Enabled, Flat, Active, Pressed, DrawBack); break;
    case bcsCheckboxKv: break;
  }
  if (Clipped) {
    Clip.reset();
    if (DrawBack) DrawThinEdge(DC, Rect, Pressed);
  }
}

namespace {
// One glyph into R, through the shared cache when it is in use.
void PaintOneGlyph(TCanvas* Canvas, const TRect& R, TDrawButtonControlStyleKv Style, bool Flat, bool Active,
                   bool Enabled, bool Pressed, bool DownDirect, bool DrawBack) {
  if (UseButtonsBitmapCacheKv) {
    TButtonBitmapInfoKv Info;
    Info.Size = TPoint(R.Width(), R.Height());
    Info.BitmapType = Style;
    Info.Flat = Flat;
    Info.Pressed = Pressed;
    Info.Active = Active;
    Info.Enabled = Enabled;
    Info.DownDirect = DownDirect;
    Info.DrawBack = DrawBack;
    Canvas->StretchDraw(R, ButtonsBitmapCache()->GetButtonBitmap(Info));
  } else {
    DrawButtonGlyph(Canvas, Style, R, Enabled, Flat, Active, Pressed, DownDirect, DrawBack);
  }
}
}  // namespace

void PaintButtonControlKv(TCanvas* Canvas, const TRect& Rect, TColor BorderColor, TDrawButtonControlStyleKv Style,
                          Integer DownButton, bool Flat, bool Active, bool Enabled, TCheckBoxState CheckState,
                          Double ScaleFactor, bool DrawBack) {
  (void)ScaleFactor;
  Canvas->RequiredState(TCanvasState{csHandleValid});
  HDC DC = Canvas->GetHandle();
  bool Themed = ThemesEnabledKv();
  TRect R = Rect;
  if (Style == bcsCheckboxKv) {
    Integer W = R.Width(), H = R.Height();
    if (W > H) {
      R.Left += (W - H) / 2;
      R.Right = R.Left + H;
    } else if (H > W) {
      R.Top += (H - W) / 2;
      R.Bottom = R.Top + W;
    }
    if (Flat && !Themed) R = Inflated(R, -1);
    if (UseButtonsBitmapCacheKv) {
      TButtonBitmapInfoKv Info;
      Info.Size = TPoint(R.Width(), R.Height());
      Info.BitmapType = bcsCheckboxKv;
      Info.Flat = Flat;
      Info.Pressed = DownButton != 0;
      Info.Active = Active;
      Info.Enabled = Enabled;
      Info.CheckState = CheckState;
      Info.DrawBack = DrawBack;
      Canvas->StretchDraw(R, ButtonsBitmapCache()->GetButtonBitmap(Info));
    } else {
      DrawClassicCheckBox(DC, R, CheckState, Enabled, Flat, DownButton != 0, Active);
    }
    if (!Flat) return;
    if (!Themed) {
      R = Inflated(R, 1);
      if (Active) {
        DrawThinEdge(DC, R, true);
        return;
      }
    }
    if (BorderColor != clNone) FrameRectColor(DC, R, GetStyledSystemColor(BorderColor));
    return;
  }

  bool FlatClip = Flat && !Active && !Themed;
  std::unique_ptr<TSavedClip> Clip;
  if (FlatClip) {
    R = Inflated(R, -1);
    if (!UseButtonsBitmapCacheKv) {
      Clip = std::make_unique<TSavedClip>(DC);
      IntersectClip(DC, R);
    }
  }
  if (Style == bcsUpDownKv || Style == bcsAltUpDownKv) {
    Integer Half = R.Height() / 2;
    PaintOneGlyph(Canvas, TRect(R.Left, R.Top, R.Right, R.Top + Half), Style, Flat, Active, Enabled, DownButton == 1,
                  false, DrawBack);
    PaintOneGlyph(Canvas, TRect(R.Left, R.Bottom - Half, R.Right, R.Bottom), Style, Flat, Active, Enabled,
                  DownButton == 2, true, DrawBack);
    if (BorderColor != clNone && ((R.Height() & 1) || FlatClip)) {
      Integer M = (R.Top + R.Bottom) / 2;
      TRect Sep(R.Left, M, R.Right, (R.Height() & 1) ? M + 1 : M);
      if (FlatClip) {
        --Sep.Top;
        ++Sep.Bottom;
      }
      Canvas->GetBrush()->SetColor(BorderColor);
      Canvas->FillRect(Sep);
    }
  } else {
    PaintOneGlyph(Canvas, R, Style, Flat, Active, Enabled, DownButton != 0, true, DrawBack);
  }
  if (FlatClip) {
    R = Inflated(R, 1);
    Clip.reset();
    if (BorderColor != clNone) FrameRectColor(DC, R, GetStyledSystemColor(BorderColor));
  }
}

// ---- Trees ------------------------------------------------------------------------------------

void DrawDottedLine(TCanvas* Canvas, const TPoint& Start, Integer Length, bool Horizontal, bool Phase) {
  Integer Step = 2 * std::max<Integer>(1, Canvas->GetPen()->GetWidth());
  TPoint P = Start;
  bool OddCell = ((Start.X ^ Start.Y) & 1) != 0;
  if (Phase != OddCell) {
    if (Horizontal)
      ++P.X;
    else
      ++P.Y;
    --Length;
  }
  if (Length < 0 || Length / Step < 0) return;
  Integer Dots = Length / Step + (Length & 1);
  if (Dots <= 0) return;
  std::vector<POINT> Points;
  std::vector<DWORD> Counts(size_t(Dots), 2);
  Points.reserve(size_t(Dots) * 2);
  for (Integer I = 0; I < Dots; ++I) {
    Integer X = P.X + (Horizontal ? I * Step : 0), Y = P.Y + (Horizontal ? 0 : I * Step);
    Points.push_back(POINT{X, Y});
    Points.push_back(POINT{X + (Horizontal ? 1 : 0), Y + (Horizontal ? 0 : 1)});
  }
  Canvas->RequiredState(TCanvasState{csHandleValid, csPenValid});
  PolyPolyline(Canvas->GetHandle(), Points.data(), Counts.data(), DWORD(Counts.size()));
}

namespace {
// The explorer look of tree glyphs, opened on first use (the plain tree-view theme where the
// explorer one is missing) and closed when the program ends.
struct TExplorerTreeTheme {
  HTHEME Handle = nullptr;
  bool Opened = false;
  ~TExplorerTreeTheme() {
    if (Handle) CloseThemeData(Handle);
  }
};
HTHEME ExplorerTreeTheme() {
  static TExplorerTreeTheme Theme;
  if (!Theme.Opened) {
    Theme.Opened = true;
    Theme.Handle = OpenThemeData(nullptr, L"Explorer::Treeview");
    if (!Theme.Handle) Theme.Handle = OpenThemeData(nullptr, L"Treeview");
  }
  return Theme.Handle;
}
}  // namespace

void DrawTreeElementKv(TCanvas* Canvas, const TRect& Rect, Integer Element, bool LinePhase, Double HorzScale,
                       Double VertScale, bool RightToLeftShift, bool DefaultColors, TTreeViewGlyphStyleKv GlyphStyle) {
  if (Element < 0 || Element > 14) return;
  Integer CX = (Rect.Left + Rect.Right) / 2, CY = (Rect.Top + Rect.Bottom) / 2;
  Integer HX = Integer(std::trunc(4 * HorzScale)), HY = Integer(std::trunc(4 * VertScale));
  Integer InsetX = Integer(std::trunc(2 * HorzScale)), InsetY = Integer(std::trunc(2 * VertScale));
  TBrush* Brush = Canvas->GetBrush();
  TPen* Pen = Canvas->GetPen();
  TColor SavedBrush = Brush->GetColor();
  TColor Shadow = GetStyledSystemColor(clBtnShadow);
  auto VLine = [&](Integer Y1, Integer Y2) {
    if (Y2 > Y1) DrawDottedLine(Canvas, TPoint(CX, Y1), Y2 - Y1, false, LinePhase);
  };
  auto HLine = [&](Integer X1, Integer X2) {
    if (X2 > X1) DrawDottedLine(Canvas, TPoint(X1, CY), X2 - X1, true, LinePhase);
  };
  if (Element >= 10) {
    if (DefaultColors) Pen->SetColor(Shadow);
    switch (Element) {
      case 10: VLine(Rect.Top, Rect.Bottom); HLine(CX, Rect.Right); break;
      case 11: VLine(Rect.Top, CY); HLine(CX, Rect.Right); break;
      case 12: VLine(CY, Rect.Bottom); HLine(CX, Rect.Right); break;
      case 13: VLine(Rect.Top, Rect.Bottom); break;
      default: HLine(CX, Rect.Right); break;
    }
    return;
  }
  bool Expanded = Element <= 4;
  Integer Code = Element % 5;
  if (DefaultColors) {
    Brush->SetColor(GetStyledSystemColor(clWindow));
    Pen->SetColor(Shadow);
  }
  TRect Button(CX - HX, CY - HY, CX + HX + 1, CY + HY + 1);
  bool ThemedGlyph = (GlyphStyle == tvgsThemedKv || GlyphStyle == tvgsExplorerThemedKv) && ThemesEnabledKv();
  if (ThemedGlyph) {
    TRect Glyph = Button;
    std::unique_ptr<TSavedClip> Clip;
    HDC DC = Canvas->GetHandle();
    if (Rect.Height() < 16) {
      Clip = std::make_unique<TSavedClip>(DC);
      IntersectClip(DC, Rect);
      Glyph = Inflated(Glyph, (17 - Rect.Height()) / 2);
    }
    auto D = StyleServices()->GetElementDetails(Expanded ? ttGlyphOpened : ttGlyphClosed);
    HTHEME Explorer = GlyphStyle == tvgsExplorerThemedKv && !IsCustomStyleActiveKv() ? ExplorerTreeTheme() : nullptr;
    if (Explorer) {
      RECT Win = {Glyph.Left, Glyph.Top, Glyph.Right, Glyph.Bottom};
      DrawThemeBackground(Explorer, DC, D.Part, D.State, &Win, nullptr);
    } else {
      StyleServices()->DrawElement(DC, D, Glyph);
    }
  } else {
    TRect Box = Button;
    if (RightToLeftShift) OffsetRect(Box, -1, 0);
    Canvas->Rectangle(Box);
    TColor Text = GetStyledSystemColor(clWindowText);
    Pen->SetColor(Text);
    Canvas->MoveTo(Box.Left + InsetX, CY);
    Canvas->LineTo(Box.Right - InsetX, CY);
    if (!Expanded) {
      Canvas->MoveTo(CX, Button.Top + InsetY);
      Canvas->LineTo(CX, Button.Bottom - InsetY);
    }
  }
  Pen->SetColor(Shadow);
  if (Code != 4) HLine(Button.Right, Rect.Right);
  if (Code == 0 || Code == 1) VLine(Rect.Top, Button.Top);
  if (Code == 0 || Code == 2) VLine(Button.Bottom, Rect.Bottom);
  Brush->SetColor(SavedBrush);
}
