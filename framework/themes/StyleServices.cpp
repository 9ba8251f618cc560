#include "framework/themes/StyleServices.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>

#include "framework/Controls.h"
#include "framework/themes/StyleManager.h"
#include "framework/themes/StylePaint.h"

namespace {
const wchar_t* const ThemeClasses[ThemedElementCount] = {
    L"BUTTON", L"COMBOBOX", L"EDIT", L"HEADER", L"LISTVIEW", L"MENU", L"PROGRESS", L"SCROLLBAR", L"SPIN",
    L"STATUS", L"TOOLBAR", L"TOOLTIP", L"TREEVIEW", L"WINDOW", L"MONTHCAL", nullptr, nullptr, nullptr};

RECT ToRECT(const TRect& R) { return RECT{R.Left, R.Top, R.Right, R.Bottom}; }

// A GDI object selected into a DC for one drawing, deleted after.
class TSelected {
 public:
  TSelected(HDC DC, HGDIOBJ Obj) : FDC(DC), FObj(Obj), FOld(SelectObject(DC, Obj)) {}
  ~TSelected() {
    SelectObject(FDC, FOld);
    DeleteObject(FObj);
  }
  TSelected(const TSelected&) = delete;
  TSelected& operator=(const TSelected&) = delete;

 private:
  HDC FDC;
  HGDIOBJ FObj, FOld;
};

void Line(HDC DC, Integer X1, Integer Y1, Integer X2, Integer Y2, TColor Color, Integer Width = 1) {
  TSelected Pen(DC, CreatePen(PS_SOLID, Width, ColorToRGB(Color)));
  MoveToEx(DC, X1, Y1, nullptr);
  LineTo(DC, X2, Y2);
}

// A filled triangle of half-width Size pointing Dir (0 up, 1 down, 2 left, 3 right) centred in R.
void Arrow(HDC DC, const RECT& R, Integer Dir, TColor Color) {
  Integer CX = (R.left + R.right) / 2, CY = (R.top + R.bottom) / 2;
  Integer S = std::max<Integer>(2, std::min(R.right - R.left, R.bottom - R.top) / 4);
  POINT P[3];
  switch (Dir) {
    case 0: P[0] = {CX - S, CY + S / 2}; P[1] = {CX + S, CY + S / 2}; P[2] = {CX, CY - S / 2 - 1}; break;
    case 1: P[0] = {CX - S, CY - S / 2}; P[1] = {CX + S, CY - S / 2}; P[2] = {CX, CY + S / 2 + 1}; break;
    case 2: P[0] = {CX + S / 2, CY - S}; P[1] = {CX + S / 2, CY + S}; P[2] = {CX - S / 2 - 1, CY}; break;
    default: P[0] = {CX - S / 2, CY - S}; P[1] = {CX - S / 2, CY + S}; P[2] = {CX + S / 2 + 1, CY}; break;
  }
  TSelected Pen(DC, CreatePen(PS_SOLID, 1, ColorToRGB(Color)));
  TSelected Brush(DC, CreateSolidBrush(ColorToRGB(Color)));
  Polygon(DC, P, 3);
}

// The flat look of custom styles: a fill (a vertical gradient when Fill2 is set) and a border.
void FillShape(HDC DC, const RECT& R, const TElementStyle& S) {
  if (R.right <= R.left || R.bottom <= R.top) return;
  if (S.Fill2 != clNone && S.Fill != clNone && S.Radius == 0) {
    TColorRef A = ColorToRGB(S.Fill), B = ColorToRGB(S.Fill2);
    Integer H = std::max<Integer>(1, R.bottom - R.top - 1);
    for (Integer Y = R.top; Y < R.bottom; ++Y) {
      Integer T = Y - R.top;
      auto Mix = [&](Integer Shift) {
        Integer CA = (A >> Shift) & 0xFF, CB = (B >> Shift) & 0xFF;
        return Byte(CA + (CB - CA) * T / H);
      };
      StyleFillRect(DC, RECT{R.left, Y, R.right, Y + 1}, RGB(Mix(0), Mix(8), Mix(16)));
    }
  } else if (S.Fill != clNone && S.Radius == 0) {
    StyleFillRect(DC, R, S.Fill);
  }
  if (S.Radius > 0 && (S.Fill != clNone || S.Border != clNone)) {
    TSelected Pen(DC, S.Border != clNone ? CreatePen(PS_SOLID, 1, ColorToRGB(S.Border)) : CreatePen(PS_NULL, 0, 0));
    LOGBRUSH LB{BS_NULL, 0, 0};
    TSelected Brush(DC, S.Fill != clNone ? CreateSolidBrush(ColorToRGB(S.Fill)) : CreateBrushIndirect(&LB));
    RoundRect(DC, R.left, R.top, R.right + (S.Border == clNone), R.bottom + (S.Border == clNone), S.Radius * 2,
              S.Radius * 2);
  } else if (S.Border != clNone) {
    StyleFrameRect(DC, R, S.Border);
  }
}

RECT CenteredSquare(const RECT& R, Integer Side) {
  Integer W = R.right - R.left, H = R.bottom - R.top;
  Side = std::min({Side, W, H});
  Integer L = R.left + (W - Side) / 2, T = R.top + (H - Side) / 2;
  return RECT{L, T, L + Side, T + Side};
}

void CheckMark(HDC DC, const RECT& Box, TColor Color) {
  Integer W = Box.right - Box.left;
  Integer X = Box.left + W / 4, Y = Box.top + W / 2;
  TSelected Pen(DC, CreatePen(PS_SOLID, std::max<Integer>(2, W / 7), ColorToRGB(Color)));
  POINT P[3] = {{X, Y}, {X + W / 5, Y + W / 5}, {Box.right - W / 4, Box.top + W / 4}};
  Polyline(DC, P, 3);
}

void Cross(HDC DC, const RECT& R, TColor Color) {
  RECT S = CenteredSquare(R, (std::min(R.right - R.left, R.bottom - R.top) * 2) / 5);
  Line(DC, S.left, S.top, S.right, S.bottom, Color, 2);
  Line(DC, S.right, S.top, S.left, S.bottom, Color, 2);
}

bool IsWindowsVistaOrLater() {
  OSVERSIONINFOW V{sizeof(V)};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExW(&V);
#pragma GCC diagnostic pop
  return V.dwMajorVersion >= 6;
}

// Draws one element in the flat look with parameters S; the shape comes from the element.
void FlatDrawElement(HDC DC, const TThemedElementDetails& D, const RECT& R, const TElementStyle& S) {
  TColor Glyph = S.Glyph != clNone ? S.Glyph : S.Text != clNone ? S.Text : S.Border;
  switch (D.Element) {
    case teButton:
      if (D.Part == 2) {  // radio button
        RECT B = CenteredSquare(R, 13);
        TSelected Pen(DC, CreatePen(PS_SOLID, 1, ColorToRGB(S.Border != clNone ? S.Border : S.Fill)));
        {
          TSelected Brush(DC, CreateSolidBrush(ColorToRGB(S.Fill != clNone ? S.Fill : clWhite)));
          Ellipse(DC, B.left, B.top, B.right, B.bottom);
        }
        if (D.State >= 5 && Glyph != clNone) {
          RECT Dot = CenteredSquare(B, (B.right - B.left) / 2);
          TSelected DotBrush(DC, CreateSolidBrush(ColorToRGB(Glyph)));
          TSelected DotPen(DC, CreatePen(PS_SOLID, 1, ColorToRGB(Glyph)));
          Ellipse(DC, Dot.left, Dot.top, Dot.right, Dot.bottom);
        }
        return;
      }
      if (D.Part == 3) {  // check box
        RECT B = CenteredSquare(R, 13);
        FillShape(DC, B, S);
        if (D.State >= 5 && D.State <= 8 && Glyph != clNone) CheckMark(DC, B, Glyph);
        if (D.State >= 9 && Glyph != clNone) StyleFillRect(DC, CenteredSquare(B, (B.right - B.left) / 2), Glyph);
        return;
      }
      if (D.Part == 4) {  // group box: the frame only
        TElementStyle F = S;
        F.Fill = F.Fill2 = clNone;
        FillShape(DC, R, F);
        return;
      }
      FillShape(DC, R, S);
      return;
    case teScrollBar:
      if (D.Part == 2 || D.Part == 3) {  // a thumb, slimmer than the track
        RECT T = R;
        if (D.Part == 3) InflateRect(&T, -2, 0);
        else InflateRect(&T, 0, -2);
        FillShape(DC, T, S);
        return;
      }
      FillShape(DC, R, S);
      if (D.Part == 1 && Glyph != clNone) Arrow(DC, R, (D.State - 1) / 4, Glyph);
      if (D.Part == 10 && Glyph != clNone) {
        // Dots in a triangle toward the grip's corner: three along its edge, one at the tip.
        bool Left = D.State == 2 || D.State == 4, Top = D.State >= 3;
        for (Integer I = 0; I < 3; ++I)
          for (Integer J = 0; J <= I; ++J) {
            Integer X = Left ? R.left + 2 + J * 4 : R.right - 4 - J * 4;
            Integer Y = Top ? R.top + 2 + (2 - I) * 4 : R.bottom - 4 - (2 - I) * 4;
            StyleFillRect(DC, RECT{X, Y, X + 2, Y + 2}, Glyph);
          }
      }
      return;
    case teSpin:
      FillShape(DC, R, S);
      if (Glyph != clNone) Arrow(DC, R, D.Part == 1 ? 0 : 1, Glyph);
      return;
    case teComboBox:
      FillShape(DC, R, S);
      if (D.Part == 1 && Glyph != clNone) Arrow(DC, R, 1, Glyph);
      return;
    case teHeader:
      if (D.Part == 4) {
        if (Glyph != clNone) Arrow(DC, R, D.State == 1 ? 0 : 1, Glyph);
        return;
      }
      FillShape(DC, R, S);
      return;
    case teTreeview:
      if (D.Part == 2 || D.Part == 4) {
        RECT B = CenteredSquare(R, 9);
        FillShape(DC, B, S);
        Integer CX = (B.left + B.right) / 2, CY = (B.top + B.bottom) / 2;
        if (Glyph != clNone) {
          Line(DC, B.left + 2, CY, B.right - 2, CY, Glyph);
          if (D.State == 1) Line(DC, CX, B.top + 2, CX, B.bottom - 2, Glyph);
        }
        return;
      }
      FillShape(DC, R, S);
      return;
    case teWindow:
      FillShape(DC, R, S);
      if (Glyph == clNone) return;
      if (D.Part == 18 || D.Part == 19) Cross(DC, R, Glyph);
      if (D.Part == 15) {
        RECT G = CenteredSquare(R, (std::min(R.right - R.left, R.bottom - R.top) * 2) / 5);
        Line(DC, G.left, G.bottom - 1, G.right, G.bottom - 1, Glyph, 2);
      }
      if (D.Part == 17) StyleFrameRect(DC, CenteredSquare(R, (std::min(R.right - R.left, R.bottom - R.top) * 2) / 5), Glyph);
      return;
    case teToolBar:
      FillShape(DC, R, S);
      if (D.Part == 4 && Glyph != clNone) Arrow(DC, R, 1, Glyph);
      return;
    case teMenu:
      if (D.Part == 15) {
        Integer Y = (R.top + R.bottom) / 2;
        Line(DC, R.left, Y, R.right, Y, S.Border != clNone ? S.Border : Glyph);
        return;
      }
      FillShape(DC, R, S);
      return;
    case teStatus:
      FillShape(DC, R, S);
      if (D.Part == 3 && Glyph != clNone)
        for (Integer I = 0; I < 3; ++I)
          for (Integer J = 0; J <= I; ++J)
            StyleFillRect(DC, RECT{R.right - 4 - J * 4, R.bottom - 4 - (2 - I) * 4, R.right - 2 - J * 4, R.bottom - 2 - (2 - I) * 4},
                 Glyph);
      return;
    default:
      FillShape(DC, R, S);
      return;
  }
}

// The classic look, for the system style while themes are off.
void ClassicDrawElement(HDC DC, const TThemedElementDetails& D, const RECT& Bounds) {
  RECT R = Bounds;
  auto State4 = [&](Integer S) { return (S - 1) % 4; };  // 0 normal, 1 hot, 2 pressed, 3 disabled
  switch (D.Element) {
    case teButton: {
      if (D.Part == 4) {
        ::DrawEdge(DC, &R, EDGE_ETCHED, BF_RECT);
        return;
      }
      UINT Flags = D.Part == 1 ? DFCS_BUTTONPUSH : D.Part == 2 ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK;
      if (D.Part == 1) {
        if (D.State == 3) Flags |= DFCS_PUSHED;
        if (D.State == 4) Flags |= DFCS_INACTIVE;
        if (D.State == 5) {
          StyleFrameRect(DC, R, clWindowFrame);
          InflateRect(&R, -1, -1);
        }
      } else {
        Integer S = State4(D.State);
        if (D.State >= 5) Flags |= DFCS_CHECKED;
        if (D.Part == 3 && D.State >= 9) Flags = DFCS_BUTTON3STATE | DFCS_CHECKED;
        if (S == 2) Flags |= DFCS_PUSHED;
        if (S == 3) Flags |= DFCS_INACTIVE;
        R = CenteredSquare(R, 13);
      }
      DrawFrameControl(DC, &R, DFC_BUTTON, Flags);
      return;
    }
    case teScrollBar:
      if (D.Part == 1) {
        static const UINT Dirs[] = {DFCS_SCROLLUP, DFCS_SCROLLDOWN, DFCS_SCROLLLEFT, DFCS_SCROLLRIGHT};
        UINT Flags = Dirs[(D.State - 1) / 4];
        if (State4(D.State) == 2) Flags |= DFCS_PUSHED | DFCS_FLAT;
        if (State4(D.State) == 3) Flags |= DFCS_INACTIVE;
        DrawFrameControl(DC, &R, DFC_SCROLL, Flags);
      } else if (D.Part == 2 || D.Part == 3) {
        DrawFrameControl(DC, &R, DFC_BUTTON, DFCS_BUTTONPUSH);
      } else if (D.Part == 10) {
        StyleFillRect(DC, R, clBtnFace);
        DrawFrameControl(DC, &R, DFC_SCROLL, D.State == 2 || D.State == 4 ? DFCS_SCROLLSIZEGRIPRIGHT : DFCS_SCROLLSIZEGRIP);
      } else {
        StyleFillRect(DC, R, clScrollBar);
      }
      return;
    case teSpin: {
      UINT Flags = D.Part == 1 ? DFCS_SCROLLUP : DFCS_SCROLLDOWN;
      if (State4(D.State) == 2) Flags |= DFCS_PUSHED;
      if (State4(D.State) == 3) Flags |= DFCS_INACTIVE;
      DrawFrameControl(DC, &R, DFC_SCROLL, Flags);
      return;
    }
    case teComboBox:
      if (D.Part == 1) {
        UINT Flags = DFCS_SCROLLCOMBOBOX;
        if (D.State == 3) Flags |= DFCS_PUSHED;
        if (D.State == 4) Flags |= DFCS_INACTIVE;
        DrawFrameControl(DC, &R, DFC_SCROLL, Flags);
      } else {
        StyleFillRect(DC, R, D.State == 4 ? clBtnFace : clWindow);
        ::DrawEdge(DC, &R, EDGE_SUNKEN, BF_RECT);
      }
      return;
    case teEdit:
      StyleFillRect(DC, R, D.State == 4 || D.State == 6 ? clBtnFace : clWindow);
      if (D.Part == 6) ::DrawEdge(DC, &R, EDGE_SUNKEN, BF_RECT);
      return;
    case teHeader:
      if (D.Part == 4) {
        Arrow(DC, R, D.State == 1 ? 0 : 1, clBtnShadow);
        return;
      }
      StyleFillRect(DC, R, clBtnFace);
      ::DrawEdge(DC, &R, D.State == 3 ? BDR_SUNKENOUTER : EDGE_RAISED, BF_RECT | (D.State == 3 ? BF_FLAT : 0));
      return;
    case teListView:
    case teTreeview:
      if (D.Element == teTreeview && (D.Part == 2 || D.Part == 4)) {
        RECT B = CenteredSquare(R, 9);
        StyleFillRect(DC, B, clWindow);
        StyleFrameRect(DC, B, clBtnShadow);
        Integer CX = (B.left + B.right) / 2, CY = (B.top + B.bottom) / 2;
        Line(DC, B.left + 2, CY, B.right - 2, CY, clWindowText);
        if (D.State == 1) Line(DC, CX, B.top + 2, CX, B.bottom - 2, clWindowText);
        return;
      }
      StyleFillRect(DC, R, D.State == 3 || D.State == 11 ? clHighlight
                  : D.State == 5 || D.State == 13 ? clBtnFace : clWindow);
      return;
    case teWindow:
      if (D.Part == 15 || D.Part == 17 || D.Part == 18 || D.Part == 19) {
        UINT Flags = D.Part == 15 ? DFCS_CAPTIONMIN : D.Part == 17 ? DFCS_CAPTIONMAX : DFCS_CAPTIONCLOSE;
        if (D.State == 3) Flags |= DFCS_PUSHED;
        if (D.State == 4) Flags |= DFCS_INACTIVE;
        DrawFrameControl(DC, &R, DFC_CAPTION, Flags);
      } else if (D.Part == 1) {
        StyleFillRect(DC, R, D.State == 1 ? clActiveCaption : clInactiveCaption);
      } else if (D.Part >= 7 && D.Part <= 9) {
        StyleFillRect(DC, R, D.State == 1 ? clActiveBorder : clInactiveBorder);
      } else {
        StyleFillRect(DC, R, clBtnFace);
      }
      return;
    case teToolBar:
      StyleFillRect(DC, R, clBtnFace);
      if (D.State == 2) ::DrawEdge(DC, &R, BDR_RAISEDINNER, BF_RECT);
      if (D.State == 3 || D.State >= 5) ::DrawEdge(DC, &R, BDR_SUNKENOUTER, BF_RECT);
      if (D.Part == 4) Arrow(DC, R, 1, D.State == 4 ? clGrayText : clBtnText);
      return;
    case teMenu:
      if (D.Part == 15) {
        RECT L{R.left, (R.top + R.bottom) / 2 - 1, R.right, (R.top + R.bottom) / 2 + 1};
        ::DrawEdge(DC, &L, EDGE_ETCHED, BF_TOP);
      } else if (D.Part == 10) {
        ::DrawEdge(DC, &R, EDGE_RAISED, BF_RECT);
      } else {
        StyleFillRect(DC, R, D.Part == 14 && D.State == 2 ? clHighlight : clMenu);
      }
      return;
    case teProgress:
      if (D.Part <= 2) {
        StyleFillRect(DC, R, clBtnFace);
        ::DrawEdge(DC, &R, BDR_SUNKENOUTER, BF_RECT);
      } else {
        StyleFillRect(DC, R, clHighlight);
      }
      return;
    case teStatus:
      if (D.Part == 3) DrawFrameControl(DC, &R, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
      else ::DrawEdge(DC, &R, BDR_SUNKENOUTER, BF_RECT);
      return;
    case teToolTip:
    case teHint:
      StyleFillRect(DC, R, clInfoBk);
      StyleFrameRect(DC, R, clWindowFrame);
      return;
    case teMonthCal:
      if (D.Part == 5) {
        if (D.State == 5) StyleFrameRect(DC, R, clHotLight);
        else StyleFillRect(DC, R, D.State == 2 ? clBtnFace : clHighlight);
      } else {
        StyleFillRect(DC, R, clWindow);
      }
      return;
    case teGrid:
      if (D.Part % 2 == 1) {  // data cells
        StyleFillRect(DC, R, D.State == 2 ? clHighlight : clWindow);
      } else {
        StyleFillRect(DC, R, clBtnFace);
        if (D.Part == 6) ::DrawEdge(DC, &R, D.State == 3 ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
        else {
          Line(DC, R.left, R.bottom - 1, R.right, R.bottom - 1, clBtnShadow);
          Line(DC, R.right - 1, R.top, R.right - 1, R.bottom, clBtnShadow);
        }
      }
      return;
    case tePanel:
      StyleFillRect(DC, R, clBtnFace);
      if (D.Part == 2) ::DrawEdge(DC, &R, BDR_RAISEDINNER, BF_RECT);
      return;
  }
}

UINT EdgeBits(TElementEdge Edge) {
  static const UINT Bits[] = {BDR_RAISEDOUTER, BDR_SUNKENOUTER, BDR_RAISEDINNER, BDR_SUNKENINNER,
                              EDGE_SUNKEN,     EDGE_ETCHED,     EDGE_BUMP,       EDGE_RAISED};
  return Bits[Edge];
}

UINT EdgeFlagBits(TElementEdgeFlags Flags) {
  static const UINT Bits[] = {BF_LEFT, BF_TOP, BF_RIGHT, BF_BOTTOM, BF_DIAGONAL, BF_MIDDLE, BF_SOFT, BF_ADJUST, BF_FLAT, BF_MONO};
  UINT Result = 0;
  for (Integer I = 0; I < Integer(std::size(Bits)); ++I)
    if (Flags.Contains(TElementEdgeFlag(I))) Result |= Bits[I];
  return Result;
}

Integer ThemeColorId(TElementColor C) {
  static const Integer Ids[] = {TMT_BORDERCOLOR,        TMT_FILLCOLOR,       TMT_TEXTCOLOR,      TMT_EDGEHIGHLIGHTCOLOR,
                                TMT_EDGESHADOWCOLOR,    TMT_GRADIENTCOLOR1,  TMT_GRADIENTCOLOR2, TMT_GLYPHTEXTCOLOR};
  return Ids[C];
}

// The natural size of the small elements, for styles that draw them themselves.
bool NaturalSize(const TThemedElementDetails& D, TSize& Result) {
  switch (D.Element) {
    case teButton:
      if (D.Part == 2 || D.Part == 3) {
        Result = TSize(13, 13);
        return true;
      }
      return false;
    case teScrollBar:
      if (D.Part == 1) {
        Result = TSize(GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYVSCROLL));
        return true;
      }
      if (D.Part == 10) {
        Result = TSize(GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYHSCROLL));
        return true;
      }
      return false;
    case teTreeview:
      if (D.Part == 2 || D.Part == 4) {
        Result = TSize(9, 9);
        return true;
      }
      return false;
    case teHeader:
      if (D.Part == 4) {
        Result = TSize(9, 5);
        return true;
      }
      return false;
    case teWindow:
      if (D.Part >= 15 && D.Part <= 19) {
        Result = TSize(GetSystemMetrics(SM_CXSIZE), GetSystemMetrics(SM_CYSIZE));
        return true;
      }
      return false;
    case teStatus:
      if (D.Part == 3) {
        Result = TSize(GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYHSCROLL));
        return true;
      }
      return false;
    default:
      return false;
  }
}

// The padding inside an element's border where its content goes.
Integer ContentInset(const TThemedElementDetails& D) {
  switch (D.Element) {
    case teButton: return D.Part == 1 ? 3 : 0;
    case teEdit: case teComboBox: case teHeader: case teToolBar: return 2;
    case teToolTip: case teHint: case teMenu: return 2;
    default: return 0;
  }
}

// With one clip rectangle in force for the drawing, restored after.
template <class F>
void WithClip(HDC DC, const TRect* ClipRect, F&& Draw) {
  if (!ClipRect) {
    Draw();
    return;
  }
  Integer Saved = SaveDC(DC);
  IntersectClipRect(DC, ClipRect->Left, ClipRect->Top, ClipRect->Right, ClipRect->Bottom);
  Draw();
  RestoreDC(DC, Saved);
}
}  // namespace

// ---- TCustomStyleServices: the system style ---------------------------------------------------

TCustomStyleServices::TCustomStyleServices() = default;

TCustomStyleServices::~TCustomStyleServices() { UpdateThemes(); }

bool TCustomStyleServices::Enabled() const {
  return IsThemeActive() && IsAppThemed() && (GetThemeAppProperties() & STAP_ALLOW_CONTROLS);
}

bool TCustomStyleServices::ThemedSystem() const { return IsSystemStyle() && Enabled(); }

String TCustomStyleServices::Name() const { return TStyleManager::SystemStyleName; }

TColor TCustomStyleServices::GetSystemColor(TColor Color) const { return Color; }

TColor TCustomStyleServices::GetStyleColor(TStyleColor Color) const { return SystemStyleColor(Color); }

TColor TCustomStyleServices::GetStyleFontColor(TStyleFont Font) const { return SystemStyleFontColor(Font); }

HANDLE TCustomStyleServices::Theme(TThemedElement Element) const {
  if (!ThemedSystem() || !ThemeClasses[Element]) return nullptr;
  if (!FThemesOpened[Element]) {
    FThemesOpened[Element] = true;
    FThemes[Element] = OpenThemeData(nullptr, ThemeClasses[Element]);
  }
  return FThemes[Element];
}

void TCustomStyleServices::UpdateThemes() {
  for (Integer I = 0; I < ThemedElementCount; ++I) {
    if (FThemes[I]) CloseThemeData(HTHEME(FThemes[I]));
    FThemes[I] = nullptr;
    FThemesOpened[I] = false;
  }
}

bool TCustomStyleServices::ThemeControl(TControl* Control) const {
  if (!Control || !Enabled()) return false;
  return IsSystemStyle() || !Control->GetStyleElements().Empty();
}

bool TCustomStyleServices::GetElementColor(const TThemedElementDetails& Details, TElementColor ElementColor,
                                           TColor& Color) const {
  Color = clNone;
  HANDLE T = Theme(Details.Element);
  if (!T) return false;
  COLORREF C;
  if (FAILED(GetThemeColor(HTHEME(T), Details.Part, Details.State, ThemeColorId(ElementColor), &C))) return false;
  Color = TColor(C);
  return true;
}

bool TCustomStyleServices::GetElementSize(HDC DC, const TThemedElementDetails& Details, TElementSize ElementSize,
                                          TSize& Result) const {
  if (HANDLE T = Theme(Details.Element)) {
    static const THEMESIZE Sizes[] = {TS_MIN, TS_TRUE, TS_DRAW};
    SIZE S;
    if (SUCCEEDED(GetThemePartSize(HTHEME(T), DC, Details.Part, Details.State, nullptr, Sizes[ElementSize], &S))) {
      Result = TSize(S.cx, S.cy);
      return true;
    }
    return false;
  }
  return NaturalSize(Details, Result);
}

bool TCustomStyleServices::GetElementContentRect(HDC DC, const TThemedElementDetails& Details,
                                                 const TRect& BoundingRect, TRect& ContentRect) const {
  if (HANDLE T = Theme(Details.Element)) {
    RECT B = ToRECT(BoundingRect), C;
    if (FAILED(GetThemeBackgroundContentRect(HTHEME(T), DC, Details.Part, Details.State, &B, &C))) return false;
    ContentRect = TRect(C.left, C.top, C.right, C.bottom);
    return true;
  }
  Integer I = ContentInset(Details);
  ContentRect = TRect(BoundingRect.Left + I, BoundingRect.Top + I, BoundingRect.Right - I, BoundingRect.Bottom - I);
  return true;
}

bool TCustomStyleServices::HasTransparentParts(const TThemedElementDetails& Details) const {
  if (HANDLE T = Theme(Details.Element))
    return IsThemeBackgroundPartiallyTransparent(HTHEME(T), Details.Part, Details.State);
  TSize S;
  return NaturalSize(Details, S) && Details.Element != teScrollBar;
}

bool TCustomStyleServices::DrawElement(HDC DC, const TThemedElementDetails& Details, const TRect& R,
                                       const TRect* ClipRect) const {
  RECT Bounds = ToRECT(R);
  if (HANDLE T = Theme(Details.Element)) {
    RECT Clip = ClipRect ? ToRECT(*ClipRect) : Bounds;
    return SUCCEEDED(DrawThemeBackground(HTHEME(T), DC, Details.Part, Details.State, &Bounds, ClipRect ? &Clip : nullptr));
  }
  WithClip(DC, ClipRect, [&] { ClassicDrawElement(DC, Details, Bounds); });
  return true;
}

bool TCustomStyleServices::DrawEdge(HDC DC, const TThemedElementDetails& Details, const TRect& R, TElementEdge Edge,
                                    TElementEdgeFlags Flags, TRect* ContentRect) const {
  RECT B = ToRECT(R), C = B;
  if (HANDLE T = Theme(Details.Element)) {
    if (FAILED(DrawThemeEdge(HTHEME(T), DC, Details.Part, Details.State, &B, EdgeBits(Edge), EdgeFlagBits(Flags), &C)))
      return false;
  } else {
    ::DrawEdge(DC, &C, EdgeBits(Edge), EdgeFlagBits(Flags) | BF_ADJUST);
  }
  if (ContentRect) *ContentRect = TRect(C.left, C.top, C.right, C.bottom);
  return true;
}

bool TCustomStyleServices::DrawText(HDC DC, const TThemedElementDetails& Details, const String& S, TRect& R,
                                    Cardinal Flags, TColor Color, Integer GlowSize) const {
  RECT B = ToRECT(R);
  if (HANDLE T = Theme(Details.Element); T && IsWindowsVistaOrLater()) {
    DTTOPTS O{sizeof(O)};
    if (Color != clNone) {
      O.dwFlags |= DTT_TEXTCOLOR;
      O.crText = ColorToRGB(Color);
    }
    if (GlowSize > 0) {
      O.dwFlags |= DTT_GLOWSIZE;
      O.iGlowSize = GlowSize;
    }
    if (Flags & DT_CALCRECT) O.dwFlags |= DTT_CALCRECT;
    if (FAILED(DrawThemeTextEx(HTHEME(T), DC, Details.Part, Details.State, S.c_str(), Integer(S.size()), Flags, &B, &O)))
      return false;
  } else {
    Integer OldMode = SetBkMode(DC, TRANSPARENT);
    COLORREF OldColor = 0;
    bool SetColor = Color != clNone;
    if (SetColor) OldColor = ::SetTextColor(DC, ColorToRGB(Color));
    DrawTextW(DC, S.c_str(), Integer(S.size()), &B, Flags);
    if (SetColor) ::SetTextColor(DC, OldColor);
    SetBkMode(DC, OldMode);
  }
  R = TRect(B.left, B.top, B.right, B.bottom);
  return true;
}

bool TCustomStyleServices::DrawIcon(HDC DC, const TThemedElementDetails& Details, const TRect& R, HIMAGELIST Images,
                                    Integer Index) const {
  RECT B = ToRECT(R);
  if (HANDLE T = Theme(Details.Element))
    return SUCCEEDED(DrawThemeIcon(HTHEME(T), DC, Details.Part, Details.State, &B, Images, Index));
  return ImageList_Draw(Images, Index, DC, R.Left, R.Top, ILD_TRANSPARENT);
}

bool TCustomStyleServices::DrawParentBackground(HWND Window, HDC DC, const TThemedElementDetails* Details,
                                                bool OnlyIfTransparent, const TRect* Bounds) const {
  if (OnlyIfTransparent && Details && !HasTransparentParts(*Details)) return false;
  if (ThemedSystem()) {
    RECT B = Bounds ? ToRECT(*Bounds) : RECT{};
    return SUCCEEDED(DrawThemeParentBackground(Window, DC, Bounds ? &B : nullptr));
  }
  RECT B;
  if (Bounds) B = ToRECT(*Bounds);
  else ::GetClientRect(Window, &B);
  TColor Color = clBtnFace;
  if (TWinControl* Parent = FindControl(::GetParent(Window))) Color = Parent->GetColor();
  StyleFillRect(DC, B, GetSystemColor(Color));
  return true;
}

// ---- TCustomStyle -----------------------------------------------------------------------------

TCustomStyle::TCustomStyle(std::unique_ptr<TStyleData> Data) : FData(std::move(Data)) {}

TCustomStyle::~TCustomStyle() = default;

TColor TCustomStyle::GetSystemColor(TColor Color) const {
  if ((Cardinal(Color) & 0xFF000000u) != Cardinal(clSystemColor)) return Color;
  Integer Index = Color & 0xFF;
  if (Index < Integer(std::size(FData->SystemColors)) && FData->SystemColors[Index] != clNone)
    return FData->SystemColors[Index];
  return Color;
}

TColor TCustomStyle::GetStyleColor(TStyleColor Color) const {
  TColor C = FData->StyleColors[Color];
  return C != clNone ? C : GetSystemColor(SystemStyleColor(Color));
}

TColor TCustomStyle::GetStyleFontColor(TStyleFont Font) const {
  TColor C = FData->FontColors[Font];
  return C != clNone ? C : GetSystemColor(SystemStyleFontColor(Font));
}

TElementStyle TCustomStyle::ElementStyle(const TThemedElementDetails& Details) const {
  if (const TElementStyle* S = FData->FindElement(Details)) return *S;
  // An element the style leaves out is drawn flat in its colours for the classic system colours.
  TElementStyle S;
  S.Fill = GetSystemColor(Details.Element == teEdit || Details.Element == teListView || Details.Element == teTreeview ||
                                  (Details.Element == teGrid && Details.Part % 2 == 1)
                              ? clWindow
                              : clBtnFace);
  S.Border = GetSystemColor(clBtnShadow);
  S.Text = GetSystemColor(clWindowText);
  return S;
}

bool TCustomStyle::GetElementColor(const TThemedElementDetails& Details, TElementColor ElementColor,
                                   TColor& Color) const {
  Color = clNone;
  const TElementStyle* S = FData->FindElement(Details);
  if (!S) return false;
  switch (ElementColor) {
    case ecBorderColor: Color = S->Border; break;
    case ecFillColor: Color = S->Fill; break;
    case ecTextColor: Color = S->Text; break;
    case ecEdgeHighLightColor: Color = S->EdgeHighlight; break;
    case ecEdgeShadowColor: Color = S->EdgeShadow; break;
    case ecGradientColor1: Color = S->Fill; break;
    case ecGradientColor2: Color = S->Fill2 != clNone ? S->Fill2 : S->Fill; break;
    case ecGlyphColor: Color = S->Glyph; break;
  }
  return Color != clNone;
}

bool TCustomStyle::GetElementSize(HDC, const TThemedElementDetails& Details, TElementSize, TSize& Result) const {
  return NaturalSize(Details, Result);
}

bool TCustomStyle::GetElementContentRect(HDC, const TThemedElementDetails& Details, const TRect& BoundingRect,
                                         TRect& ContentRect) const {
  Integer I = ContentInset(Details);
  if (I == 0 && FData->FindElement(Details) && FData->FindElement(Details)->Border != clNone) I = 1;
  ContentRect = TRect(BoundingRect.Left + I, BoundingRect.Top + I, BoundingRect.Right - I, BoundingRect.Bottom - I);
  return true;
}

bool TCustomStyle::HasTransparentParts(const TThemedElementDetails& Details) const {
  TSize S;
  if (NaturalSize(Details, S) && Details.Element != teScrollBar) return true;
  const TElementStyle* E = FData->FindElement(Details);
  return !E || E->Radius > 0 || E->Fill == clNone;
}

bool TCustomStyle::DrawElement(HDC DC, const TThemedElementDetails& Details, const TRect& R,
                               const TRect* ClipRect) const {
  RECT Bounds = ToRECT(R);
  TElementStyle S = ElementStyle(Details);
  WithClip(DC, ClipRect, [&] { FlatDrawElement(DC, Details, Bounds, S); });
  return true;
}

bool TCustomStyle::DrawEdge(HDC DC, const TThemedElementDetails&, const TRect& R, TElementEdge Edge,
                            TElementEdgeFlags Flags, TRect* ContentRect) const {
  // The two rings of a classic edge, each a light and a dark side, in the style's colours.
  UINT Bits = EdgeBits(Edge);
  RECT B = ToRECT(R);
  auto Ring = [&](TColor TopLeft, TColor BottomRight) {
    if (Flags.Contains(efTop)) Line(DC, B.left, B.top, B.right, B.top, TopLeft);
    if (Flags.Contains(efLeft)) Line(DC, B.left, B.top, B.left, B.bottom, TopLeft);
    if (Flags.Contains(efBottom)) Line(DC, B.left, B.bottom - 1, B.right, B.bottom - 1, BottomRight);
    if (Flags.Contains(efRight)) Line(DC, B.right - 1, B.top, B.right - 1, B.bottom, BottomRight);
    if (Flags.Contains(efLeft)) ++B.left;
    if (Flags.Contains(efTop)) ++B.top;
    if (Flags.Contains(efRight)) --B.right;
    if (Flags.Contains(efBottom)) --B.bottom;
  };
  if (Bits & BDR_RAISEDOUTER) Ring(GetSystemColor(cl3DLight), GetSystemColor(cl3DDkShadow));
  else if (Bits & BDR_SUNKENOUTER) Ring(GetSystemColor(clBtnShadow), GetSystemColor(clBtnHighlight));
  if (Bits & BDR_RAISEDINNER) Ring(GetSystemColor(clBtnHighlight), GetSystemColor(clBtnShadow));
  else if (Bits & BDR_SUNKENINNER) Ring(GetSystemColor(cl3DDkShadow), GetSystemColor(cl3DLight));
  if (ContentRect) *ContentRect = TRect(B.left, B.top, B.right, B.bottom);
  return true;
}

bool TCustomStyle::DrawText(HDC DC, const TThemedElementDetails& Details, const String& S, TRect& R, Cardinal Flags,
                            TColor Color, Integer) const {
  if (Color == clNone && !GetElementColor(Details, ecTextColor, Color)) Color = GetStyleFontColor(sfWindowTextNormal);
  RECT B = ToRECT(R);
  Integer OldMode = SetBkMode(DC, TRANSPARENT);
  COLORREF OldColor = ::SetTextColor(DC, ColorToRGB(Color));
  DrawTextW(DC, S.c_str(), Integer(S.size()), &B, Flags);
  ::SetTextColor(DC, OldColor);
  SetBkMode(DC, OldMode);
  R = TRect(B.left, B.top, B.right, B.bottom);
  return true;
}

bool TCustomStyle::DrawIcon(HDC DC, const TThemedElementDetails&, const TRect& R, HIMAGELIST Images,
                            Integer Index) const {
  return ImageList_Draw(Images, Index, DC, R.Left, R.Top, ILD_TRANSPARENT);
}

bool TCustomStyle::DrawParentBackground(HWND Window, HDC DC, const TThemedElementDetails* Details,
                                        bool OnlyIfTransparent, const TRect* Bounds) const {
  return TCustomStyleServices::DrawParentBackground(Window, DC, Details, OnlyIfTransparent, Bounds);
}

TCustomStyleServices* StyleServices() { return TStyleManager::ActiveStyle(); }
