// HTMLDrawEx: lays out marked-up text line by line. Each line is read twice from the same state: a
// measuring pass decides where it ends and how wide and high it is, then a second pass draws (or
// only lays out, for hit tests) exactly that content inside the aligned line box. The text is read
// through a moving index, never copied per run, so layout is linear in the text.

#include <algorithm>
#include <cmath>

#include "framework/ImgList.h"
#include "framework/WinApi.h"
#include "htmllabel/PictureStore.h"
#include "framework/SysUtils.h"
#include "htmllabel/MarkupLabel.h"

namespace {

wchar_t Up(wchar_t C) { return (C >= L'a' && C <= L'z') ? wchar_t(C - 32) : C; }

bool StartsNoCase(const String& S, size_t At, const wchar_t* Prefix) {
  for (size_t I = 0; Prefix[I]; ++I)
    if (At + I >= S.size() || Up(S[At + I]) != Up(Prefix[I])) return false;
  return true;
}

// "&nbsp;", "&lt;" and "&gt;" inside a run; they never start a tag.
String DecodeRunEntities(const wchar_t* P, size_t N) {
  String R;
  R.reserve(N);
  String S(P, N);
  for (size_t I = 0; I < N;) {
    if (S[I] == L'&') {
      if (StartsNoCase(S, I, L"&nbsp;")) { R += L' '; I += 6; continue; }
      if (StartsNoCase(S, I, L"&lt;")) { R += L'<'; I += 4; continue; }
      if (StartsNoCase(S, I, L"&gt;")) { R += L'>'; I += 4; continue; }
    }
    R += S[I++];
  }
  return R;
}

enum class TPass { Measure, Draw, LayoutOnly };
enum class TAlign { Left, Right, Center };

// Everything a tag can change; saved at the start of a line so that both passes start alike.
struct TState {
  TFontData Font;
  TColor FontColor = clBlack;
  TColor Brush = clNone;
  TFontName BaseName;
  Integer BaseHeight = 0;
  TColor BaseColor = clBlack;
  bool InAnchor = false, Hidden = false, ErrorMark = false, Shadow = false, Sub = false, Sup = false;
  bool ParaBg = false, Ordered = false, Blinking = false;
  Integer ListLevel = 0, ItemNo = 1, AnchorNo = 0, ListIndent = 0, Rotation = 0;
  String AnchorRef, AnchorTitle;
  TAlign Align = TAlign::Left;
  Integer ParaIndent = 0;
  double LineFactor = 1.0;
  TColor ParaBgFrom = clNone, ParaBgTo = clNone;
  TColor FontBrushSave = clNone, SpanBrushSave = clNone, ParaBrushSave = clNone;
  TColor HiColorSave = clBlack, HiBrushSave = clNone, HoverBrushSave = clNone, HoverFontSave = clNone;
  TFontStyles HiStyleSave;
  bool HoverApplied = false;
};

class TEngine {
 public:
  TEngine(TCanvas* C, const THTMLDrawParams& P, THTMLDrawResult& R) : C(C), P(P), Res(R) {}
  bool Run(const String& Text, const TRect& Rect);

 private:
  TCanvas* C;
  const THTMLDrawParams& P;
  THTMLDrawResult& Res;
  String S;
  TRect Layout;
  TState St;
  TColor StartBrush = clNone;
  bool NoPrefix = false;
  double Scale = 1.0;
  Integer GhHeight = 0, BulletIndent = 12, LWidth = 0, SpaceWidth = 0;

  // Per line.
  Integer LineWidth = 0, LineHeight = 0, SubExtra = 0, SupExtra = 0, TrailBlank = 0;
  bool LineEnd = false, TextHit = false, HasContent = false;
  Integer ItemsOnLine = 0;
  Integer X = 0;
  TRect Box;
  // Anchor under the point.
  bool AnchorHitOpen = false;
  TPoint AnchorStart;
  Integer AnchorStartX = 0, AnchorStartTop = 0, FocusStartX = 0;
  bool Result = false;

  void Restore(const TState& T);
  void SyncFont();
  TSize Measure(const String& Text);
  void DrawRun(const String& Text, Integer W, Integer H);
  void FillBand(const TRect& R, TColor Color);
  size_t Line(size_t From, size_t Limit, const TRect& LineRect, TPass Pass);
  // Applies the tag S[From..To]; false when the line must end before the tag (tag not consumed).
  bool ApplyTag(size_t From, size_t To, TPass Pass, bool& EndsLine);
  bool Picture(const String& Tag, TPass Pass);
  void OpenAnchor(const String& Tag, TPass Pass);
  void CloseAnchor(TPass Pass);
  void ListItem(const String& Tag, TPass Pass);
  Integer FontSizeToHeight(Integer N);
};

void TEngine::Restore(const TState& T) {
  St = T;
  SyncFont();
}

void TEngine::SyncFont() {
  TFont* F = C->GetFont();
  TFontData D = St.Font;
  D.Orientation = St.Rotation * 10;
  F->SetData(D);
  F->SetColor(St.FontColor);
}

TSize TEngine::Measure(const String& Text) {
  SyncFont();
  C->RequiredState({csHandleValid, csFontValid});
  RECT R{0, 0, 0, 0};
  UINT F = DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS | (NoPrefix ? DT_NOPREFIX : 0);
  DrawTextW(C->GetHandle(), Text.c_str(), Integer(Text.size()), &R, F);
  return TSize(R.right - R.left, R.bottom - R.top);
}

void TEngine::FillBand(const TRect& R, TColor Color) {
  if (Color == clNone || R.Right <= R.Left || R.Bottom <= R.Top) return;
  HBRUSH B = CreateSolidBrush(ColorToRGB(Color));
  C->RequiredState({csHandleValid});
  RECT W = {R.Left, R.Top, R.Right, R.Bottom};
  ::FillRect(C->GetHandle(), &W, B);
  DeleteObject(B);
}

void DrawGradient(TCanvas* C, const TRect& R, TColor From, TColor To, bool Horizontal, Integer Steps) {
  if (R.Right <= R.Left || R.Bottom <= R.Top) return;
  if (Steps <= 0) Steps = 1;
  TColorRef A = ColorToRGB(From), B = ColorToRGB(To);
  const Integer Span = Horizontal ? R.Right - R.Left : R.Bottom - R.Top;
  const double Step = double(Span) / Steps;
  C->RequiredState({csHandleValid});
  for (Integer I = 0; I < Steps; ++I) {
    auto Mix = [&](int Shift) {
      int F = (A >> Shift) & 0xFF, T = (B >> Shift) & 0xFF;
      return F + int(std::lround(double(I) * (T - F) / Steps));
    };
    HBRUSH Br = CreateSolidBrush(RGB(Mix(0), Mix(8), Mix(16)));
    Integer O = Integer(std::lround(I * Step)), E = O + Integer(Step) + 1;
    RECT W = Horizontal ? RECT{R.Left + O, R.Top, std::min(R.Left + E, R.Right), R.Bottom}
                        : RECT{R.Left, R.Top + O, R.Right, std::min(R.Top + E, R.Bottom)};
    ::FillRect(C->GetHandle(), &W, Br);
    DeleteObject(Br);
  }
}

void TEngine::DrawRun(const String& Text, Integer W, Integer H) {
  (void)H;
  if (!P.WordWrap && X >= Box.Right - LWidth) return;
  TRect R(X, Box.Top, Box.Right + (St.Font.Style.Contains(fsItalic) ? 2 : 0), Box.Bottom - SubExtra);
  if (St.Sup) R.Bottom -= SupExtra;
  if (St.Sub) R.Bottom += SubExtra;
  UINT F = DT_BOTTOM | DT_SINGLELINE | DT_EXPANDTABS | (NoPrefix ? DT_NOPREFIX : 0) |
           (P.WordWrap ? 0 : DT_END_ELLIPSIS) | DT_NOCLIP;
  if (!P.WordWrap) F &= ~UINT(DT_NOCLIP);
  auto Out = [&](Integer Dx, TColor Color, bool Opaque) {
    SyncFont();
    C->RequiredState({csHandleValid, csFontValid});
    HDC Dc = C->GetHandle();
    SetTextColor(Dc, ColorToRGB(Color));
    if (Opaque && St.Brush != clNone) {
      SetBkMode(Dc, OPAQUE);
      SetBkColor(Dc, ColorToRGB(St.Brush));
    } else {
      SetBkMode(Dc, TRANSPARENT);
    }
    RECT Wr = {R.Left + Dx, R.Top + Dx, R.Right + Dx, R.Bottom + Dx};
    DrawTextW(Dc, Text.c_str(), Integer(Text.size()), &Wr, F);
  };
  if (St.Shadow) Out(P.ShadowOffset, P.ShadowColor, false);
  Out(0, St.FontColor, true);
  if (St.ErrorMark && W > 0) {
    C->RequiredState({csHandleValid});
    HDC Dc = C->GetHandle();
    HPEN Pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HGDIOBJ Old = SelectObject(Dc, Pen);
    Integer X0 = X & ~1, Base = Box.Bottom - 1;
    Integer D = (X0 % 4 == 0) ? 2 : 0;
    MoveToEx(Dc, X0, Base + D, nullptr);
    for (Integer Xi = X0 + 2; Xi <= X + W; Xi += 2) {
      D = 2 - D;
      LineTo(Dc, Xi, Base + D);
    }
    SelectObject(Dc, Old);
    DeleteObject(Pen);
  }
}

Integer TEngine::FontSizeToHeight(Integer N) {
  double Factor = 96.0;
  if (P.FormScaled) Factor = P.ScaleFactor == -1.0f ? double(GetDeviceCaps(C->GetHandle(), LOGPIXELSX)) : 96.0 * P.ScaleFactor;
  return -Integer(std::lround(N * Factor / 72.0));
}

void TEngine::OpenAnchor(const String& Tag, TPass Pass) {
  ++St.AnchorNo;
  bool HasHref = false;
  St.AnchorRef = TagAttribute(Tag, L"HREF", &HasHref);
  if (!HasHref) St.AnchorRef.clear();
  St.AnchorTitle = TagAttribute(Tag, L"TITLE");
  St.InAnchor = true;
  St.BaseColor = St.FontColor;
  if (St.AnchorNo == P.FocusAnchor + 1) FocusStartX = X;
  const bool IsHover = St.AnchorNo == P.HoverAnchor;
  St.HoverApplied = false;
  if (!P.HoverMode || IsHover) {
    St.Font.Style.Include(fsUnderline);
    if (IsHover && Pass == TPass::Draw) {
      St.HoverApplied = true;
      St.HoverBrushSave = St.Brush;
      St.HoverFontSave = St.FontColor;
      if (P.HoverColor != clNone) St.Brush = P.HoverColor;
      if (P.HoverFontColor != clNone) St.FontColor = P.HoverFontColor;
    }
  }
  if (!P.KeepColors && (P.HoverFontColor == clNone || !IsHover || !P.HoverMode)) St.FontColor = P.AnchorColor;
  if (Pass != TPass::Measure && !St.AnchorRef.empty()) {
    AnchorStartX = X;
    AnchorStartTop = Box.Top;
  }
}

void TEngine::CloseAnchor(TPass Pass) {
  St.Font.Style.Exclude(fsUnderline);
  if (St.HoverApplied) St.Brush = St.HoverBrushSave;
  St.HoverApplied = false;
  St.FontColor = St.BaseColor;
  St.InAnchor = false;
  if (Pass == TPass::Draw && St.AnchorNo == P.FocusAnchor + 1 && !P.AnchorTestOnly) {
    SyncFont();
    C->DrawFocusRect(TRect(FocusStartX - 1, Box.Top, X + 1, Box.Top + GhHeight));
  }
  if (AnchorHitOpen) {
    Res.AnchorRect = TRect(AnchorStartX, AnchorStartTop, X, Box.Bottom);
    AnchorHitOpen = false;
  }
}

void TEngine::ListItem(const String& Tag, TPass Pass) {
  LineWidth += BulletIndent * St.ListLevel;
  X += BulletIndent * std::max(St.ListLevel - 1, 0);
  if (Pass == TPass::Draw && !St.Hidden) {
    const String Type = TagAttribute(Tag, L"TYPE");
    bool HasColor = false;
    const String ColorText = TagAttribute(Tag, L"COLOR", &HasColor);
    const TColor Color = HasColor ? MarkupColor(ColorText) : St.FontColor;
    const String UType = UpperCase(Type);
    if (UType == L"SQUARE" || UType == L"CIRCLE") {
      C->RequiredState({csHandleValid});
      HDC Dc = C->GetHandle();
      HBRUSH B = CreateSolidBrush(ColorToRGB(Color));
      HPEN Pn = CreatePen(PS_SOLID, 1, ColorToRGB(Color));
      HGDIOBJ OB = SelectObject(Dc, B), OP = SelectObject(Dc, Pn);
      if (UType == L"SQUARE") ::Rectangle(Dc, X, Box.Top + 2, X + 8, Box.Top + 10);
      else ::Ellipse(Dc, X, Box.Top + 2, X + 8, Box.Top + 10);
      SelectObject(Dc, OB);
      SelectObject(Dc, OP);
      DeleteObject(B);
      DeleteObject(Pn);
    } else {
      const TState Saved = St;
      St.Font.Name = L"Symbol";
      St.FontColor = Color;
      String Bullet;
      if (St.Ordered) Bullet = IntToStr(Saved.ItemNo) + L". ";
      else Bullet = (St.ListLevel % 2 == 1) ? String(1, wchar_t(0xB7)) : String(L"o");
      SyncFont();
      C->RequiredState({csHandleValid, csFontValid});
      HDC Dc = C->GetHandle();
      SetBkMode(Dc, TRANSPARENT);
      SetTextColor(Dc, ColorToRGB(Color));
      TextOutW(Dc, X, Box.Top, Bullet.c_str(), Integer(Bullet.size()));
      TSize Sz = Measure(Bullet);
      St = Saved;
      SyncFont();
      if (St.Ordered) X += Sz.cx - 12;
    }
  }
  if (St.Ordered) ++St.ItemNo;
  X += BulletIndent;
}

bool TEngine::ApplyTag(size_t From, size_t To, TPass Pass, bool& EndsLine) {
  const String Tag = S.substr(From, To - From + 1);
  const bool Draw = Pass == TPass::Draw;
  const bool Closing = Tag.size() > 3 && Tag[1] == L'/';
  const size_t N = Closing ? 2 : 1;
  auto At = [&](size_t I) { return N + I < Tag.size() ? Up(Tag[N + I]) : L'\0'; };
  const wchar_t C0 = At(0), C1 = At(1), C2 = At(2);
  const bool Exact1 = At(1) == L'>';  // a one-letter tag such as <B> or </U>
  EndsLine = false;
  if (!Closing) {
    switch (C0) {
      case L'A':
        OpenAnchor(Tag, Pass);
        break;
      case L'B':
        if (Exact1) St.Font.Style.Include(fsBold);
        else if (C1 == L'L') {
          if (!P.BlinkPhase) St.Blinking = true;
        } else if (C1 == L'R') {
          EndsLine = true;
        } else if (C1 == L'O') {
          if (Draw) {
            const String Bg = TagAttribute(Tag, L"BGCOLOR"), BgTo = TagAttribute(Tag, L"BGCOLORTO");
            if (!Bg.empty() && !BgTo.empty())
              DrawGradient(C, Layout, MarkupColor(Bg), MarkupColor(BgTo), UpperCase(TagAttribute(Tag, L"DIR")) != L"V", 64);
            else if (!Bg.empty())
              FillBand(TRect(Layout.Left - 2, Layout.Top, Layout.Right, Layout.Bottom), MarkupColor(Bg));
          }
        }
        break;
      case L'E':
        St.ErrorMark = true;
        break;
      case L'F': {
        St.FontBrushSave = St.Brush;
        bool Has = false;
        String V = TagAttribute(Tag, L"FACE", &Has);
        if (Has && !V.empty()) St.Font.Name = V;
        V = TagAttribute(Tag, L"COLOR", &Has);
        if (Has && !P.KeepColors) {
          if (!St.InAnchor) St.BaseColor = St.FontColor;
          St.FontColor = MarkupColor(V);
        }
        V = TagAttribute(Tag, L"BGCOLOR", &Has);
        if (Has && !P.KeepColors) St.Brush = V.empty() ? clNone : MarkupColor(V);
        bool HasStyle = false;
        V = TagAttribute(Tag, L"STYLE", &HasStyle);
        if (HasStyle) {
          String U = UpperCase(V);
          size_t K = U.find(L"FONT-SIZE:");
          if (K != String::npos && U.find(L"PT", K) != String::npos) {
            Integer Pt = StrToIntOrZero(U.substr(K + 10));
            if (Pt > 0 && Pt < 1000) St.Font.Height = FontSizeToHeight(Pt);
          }
        } else {
          V = TagAttribute(Tag, L"SIZE", &Has);
          if (Has) {
            Integer Sz = StrToIntOrZero(V);
            static const Integer Rel[] = {1, 2, 4, 6, 8};
            TFont Base;
            Base.SetHeight(St.BaseHeight);
            if (Sz >= 1 && Sz <= 5) {
              Base.SetSize(Base.GetSize() + Rel[Sz - 1]);
              St.Font.Height = Base.GetHeight();
            } else if (Sz > 0 && Sz < 1000) {
              St.Font.Height = FontSizeToHeight(Sz);
            }
          }
        }
        break;
      }
      case L'H':
        if (C1 == L'I') {
          St.HiColorSave = St.FontColor;
          St.HiStyleSave = St.Font.Style;
          St.HiBrushSave = St.Brush;
          St.FontColor = P.HighlightTextColor;
          St.Brush = P.HighlightColor;
          St.Font.Style = P.HighlightStyle;
        } else if (C1 == L'R') {
          if (Draw) {
            bool Has = false;
            String V = TagAttribute(Tag, L"COLOR", &Has);
            TColor Col = Has ? MarkupColor(V) : clBlack;
            C->RequiredState({csHandleValid});
            HDC Dc = C->GetHandle();
            HPEN Pn = CreatePen(PS_SOLID, 1, ColorToRGB(Col));
            HGDIOBJ Old = SelectObject(Dc, Pn);
            MoveToEx(Dc, Layout.Left, Box.Bottom + 1, nullptr);
            LineTo(Dc, Layout.Right, Box.Bottom + 1);
            SelectObject(Dc, Old);
            DeleteObject(Pn);
          }
          EndsLine = true;
        }
        break;
      case L'I':
        if (Exact1) St.Font.Style.Include(fsItalic);
        else if (C1 == L'M') {
          if (!Picture(Tag, Pass)) return false;
        } else if (C1 == L'N') {
          String V = TagAttribute(Tag, L"X");
          bool Clean = !V.empty() && std::all_of(V.begin(), V.end(), [](wchar_t Ch) { return Ch >= L'0' && Ch <= L'9'; }) && V.size() < 7;
          if (Clean) {
            Integer Nx = Box.Left + Integer(std::lround(StrToIntOrZero(V) * Scale));
            if (Nx > X) {
              LineWidth += Nx - X;
              X = Nx;
            }
          }
        }
        break;
      case L'L':
        if (ItemsOnLine > 0) return false;
        ++ItemsOnLine;
        ListItem(Tag, Pass);
        break;
      case L'O':
        if (C1 == L'L') {
          if (HasContent) return false;
          ++St.ListLevel;
          St.Ordered = true;
          St.ItemNo = 1;
        } else if (C1 == L'F') {
          Integer V = std::clamp(StrToIntOrZero(TagAttribute(Tag, L"X")), 0, 100000);
          St.ListIndent = V;
          X = std::max(X, Layout.Left + V);
        }
        break;
      case L'P': {
        St.ParaBrushSave = St.Brush;
        const String Al = UpperCase(TagAttribute(Tag, L"ALIGN"));
        if (Al.find(L"RIGHT") != String::npos) St.Align = TAlign::Right;
        if (Al.find(L"LEFT") != String::npos) St.Align = TAlign::Left;
        if (Al.find(L"CENTER") != String::npos) St.Align = TAlign::Center;
        bool Has = false;
        String V = TagAttribute(Tag, L"INDENT", &Has);
        if (Has) St.ParaIndent = std::clamp(StrToIntOrZero(V), -100000, 100000);
        V = TagAttribute(Tag, L"LINE-HEIGHT", &Has);
        if (Has) {
          double F = StrToFloatAnySep(V);
          St.LineFactor = (F > 0 && F < 100) ? F : 1.0;
        }
        const String Bg = TagAttribute(Tag, L"BGCOLOR", &Has);
        if (Has && !Bg.empty()) {
          St.ParaBg = true;
          St.ParaBgFrom = MarkupColor(Bg);
          const String To = TagAttribute(Tag, L"BGCOLORTO");
          St.ParaBgTo = To.empty() ? clNone : MarkupColor(To);
        }
        break;
      }
      case L'R': {
        Integer A = StrToIntOrZero(TagAttribute(Tag, L"A"));
        St.Rotation = A % 360;
        break;
      }
      case L'S':
        if (Exact1) St.Font.Style.Include(fsStrikeOut);
        else if (C1 == L'T' && C2 == L'R' && At(3) == L'O') St.Font.Style.Include(fsBold);
        else if (C1 == L'T') St.Font.Style.Include(fsStrikeOut);
        else if (C1 == L'H') St.Shadow = true;
        else if (C1 == L'P') {
          String U = UpperCase(TagAttribute(Tag, L"STYLE"));
          size_t K = U.find(L"BACKGROUND-COLOR:");
          if (K != String::npos) {
            size_t H = U.find(L'#', K);
            if (H != String::npos && !P.KeepColors) {
              St.SpanBrushSave = St.Brush;
              St.Brush = HexColorToColor(U.substr(H, 7));
            }
          }
        } else if (C1 == L'U' && C2 == L'B') St.Sub = true;
        else if (C1 == L'U' && C2 == L'P') St.Sup = true;
        break;
      case L'U':
        if (Exact1) St.Font.Style.Include(fsUnderline);
        else {
          if (HasContent) return false;
          ++St.ListLevel;
          St.Ordered = false;
        }
        break;
      case L'Z':
        St.Hidden = true;
        break;
      default:
        break;  // unknown tags have no effect
    }
    return true;
  }
  // Closing tags.
  switch (C0) {
    case L'A':
      CloseAnchor(Pass);
      break;
    case L'B':
      if (Exact1) St.Font.Style.Exclude(fsBold);
      else {
        St.FontColor = St.BaseColor;
        St.Blinking = false;
      }
      break;
    case L'E':
      St.ErrorMark = false;
      break;
    case L'F':
      St.Font.Name = St.BaseName;
      St.Font.Height = St.BaseHeight;
      if (!P.KeepColors) {
        St.FontColor = St.BaseColor;
        St.Brush = St.FontBrushSave;
      }
      break;
    case L'H':
      if (C1 == L'I') {
        St.FontColor = St.HiColorSave;
        St.Font.Style = St.HiStyleSave;
        St.Brush = St.HiBrushSave;
      }
      break;
    case L'I':
      St.Font.Style.Exclude(fsItalic);
      break;
    case L'L':
      EndsLine = true;
      break;
    case L'O':
      if (Tag == L"</O>" || Tag == L"</o>" || St.ListLevel <= 0) St.ListIndent = 0;
      else {
        --St.ListLevel;
        St.Ordered = false;
      }
      break;
    case L'P':
      St.LineFactor = 1.0;
      St.ParaBg = false;
      St.Brush = St.ParaBrushSave;
      EndsLine = true;
      break;
    case L'R':
      St.Rotation = 0;
      break;
    case L'S':
      if (C1 == L'T' && C2 == L'R' && At(3) == L'O') St.Font.Style.Exclude(fsBold);
      else if (C1 == L'U') St.Sub = St.Sup = false;
      else if (C1 == L'P') {
        St.Brush = St.SpanBrushSave;
        St.SpanBrushSave = clNone;
      } else if (C1 == L'H') St.Shadow = false;
      else St.Font.Style.Exclude(fsStrikeOut);
      break;
    case L'U':
      if (Exact1 || St.ListLevel <= 0) St.Font.Style.Exclude(fsUnderline);
      else --St.ListLevel;
      break;
    case L'Z':
      St.Hidden = false;
      break;
    default:
      break;
  }
  return true;
}

// An IMG: image-list pictures ("IDX:n"), named pictures of the store and pictures loaded by address
// into the cache. A missing or empty picture takes no room. False when it must start the next line.
bool TEngine::Picture(const String& Tag, TPass Pass) {
  const String Src = TagAttribute(Tag, L"SRC");
  const String USrc = UpperCase(Src);
  TCustomImageList* List = nullptr;
  Integer Index = -1;
  TGraphic* Pic = nullptr;
  if (USrc.rfind(L"IDX:", 0) == 0) {
    Index = StrToIntOrZero(Src.substr(4));
    if (P.Images && Index >= 0 && Index < P.Images->GetCount()) List = P.Images;
  } else if (Src.find(L"://") != String::npos) {
    if (P.PictureCache) {
      THTMLPicture* Found = P.PictureCache->FindPicture(Src);
      if (!Found) {
        Found = P.PictureCache->AddPicture();
        Found->SetID(Src);
        Found->LoadFromURL(Src);
      }
      Pic = Found;
    }
  } else if (Src.find(L':') == String::npos && P.PictureStore) {
    Pic = P.PictureStore->FindPicture(Src);
  }
  Integer NatW = 0, NatH = 0;
  if (List) {
    NatW = List->GetWidth();
    NatH = List->GetHeight();
  } else if (Pic && !Pic->GetEmpty()) {
    NatW = Pic->GetWidth();
    NatH = Pic->GetHeight();
  }
  if (NatW <= 0 || NatH <= 0) return true;
  Integer W = std::clamp(StrToIntOrZero(TagAttribute(Tag, L"WIDTH")), 0, 100000);
  Integer H = std::clamp(StrToIntOrZero(TagAttribute(Tag, L"HEIGHT")), 0, 100000);
  const bool Sized = W > 0 || H > 0;
  if (W > 0 && H <= 0) H = Integer(std::lround(double(NatH) * W / NatW));
  else if (H > 0 && W <= 0) W = Integer(std::lround(double(NatW) * H / NatH));
  else if (!Sized) {
    W = NatW;
    H = NatH;
  }
  Integer RoomW = W, RoomH = H;
  if (Sized) {
    const double F = P.ScaleFactor > 0 ? P.ScaleFactor : Scale;
    RoomW = Integer(std::lround(W * F));
    RoomH = Integer(std::lround(H * F));
  }
  const Integer Avail = Box.Right - Box.Left - St.ListIndent;
  if (Pass == TPass::Measure && (HasContent || LineWidth > 0) && LineWidth + RoomW > Avail && RoomW < Avail)
    return false;  // the picture starts the next line
  const String Align = UpperCase(TagAttribute(Tag, L"ALIGN"));
  Integer Top = Box.Top;
  if (!Sized && H < GhHeight) {
    if (Align == L"TOP") Top += 0;
    else if (Align == L"MIDDLE") Top += (GhHeight - H) / 2;
    else Top += GhHeight - H;
  }
  if (Pass == TPass::Draw && !St.Hidden) {
    if (List) List->Draw(C, X, Top, Index);
    else if (Sized) C->StretchDraw(TRect(X, Top, X + RoomW, Top + RoomH), Pic);
    else C->Draw(X, Top, Pic);
  }
  if (Pass != TPass::Measure && St.InAnchor && !St.AnchorRef.empty() && P.HitX >= X && P.HitX < X + RoomW &&
      P.HitY >= Top && P.HitY < Top + RoomH) {
    TextHit = true;
    Res.AnchorRef = St.AnchorRef;
    if (!St.AnchorTitle.empty()) Res.AnchorTitle = St.AnchorTitle;
    Res.AnchorAtPoint = St.AnchorNo;
    AnchorHitOpen = true;
  }
  X += RoomW + 2;
  LineWidth += RoomW + 2;
  LineHeight = std::max(LineHeight, RoomH);
  HasContent = true;
  return true;
}

size_t TEngine::Line(size_t From, size_t Limit, const TRect& LineRect, TPass Pass) {
  const Integer DefaultHeight = LineHeight > 0 ? LineHeight : GhHeight;
  Box = LineRect;
  LineWidth = 0;
  LineHeight = 0;
  TrailBlank = 0;
  LineEnd = false;
  TextHit = false;
  HasContent = false;
  ItemsOnLine = 0;
  if (Pass == TPass::Measure) SubExtra = SupExtra = 0;
  X = Box.Left;
  if (Pass != TPass::Measure) X += St.ListIndent;
  if (St.InAnchor && Pass != TPass::Measure && !St.AnchorRef.empty()) {
    AnchorStartX = Box.Left;
    AnchorStartTop = Box.Top;
  }
  if (St.ParaBg && Pass == TPass::Draw) {
    TRect Band(Layout.Left, Box.Top, Layout.Right, Box.Top + DefaultHeight);
    if (St.ParaBgTo != clNone) DrawGradient(C, TRect(Band.Left, Band.Top, Band.Right, Box.Bottom + 2), St.ParaBgFrom, St.ParaBgTo, true, 64);
    else FillBand(Band, St.ParaBgFrom);
  }
  const Integer Avail = LineRect.Right - LineRect.Left - St.ListIndent;
  size_t Pos = From;
  while (Pos < Limit && !LineEnd) {
    // The run: text before the next "<", or up to and including a blank when wrapping.
    size_t End = Pos;
    while (End < Limit && S[End] != L'<') {
      if (P.WordWrap && S[End] == L' ') {
        ++End;
        break;
      }
      ++End;
    }
    if (End > Pos) {
      const String Run = DecodeRunEntities(S.data() + Pos, End - Pos);
      if (St.Hidden) {
        TSize Sz = Measure(Run);
        LineHeight = std::max(LineHeight, Sz.cy);
        Pos = End;
      } else {
        TSize Sz = Measure(Run);
        if (LineHeight == 0) LineHeight = DefaultHeight;
        LineHeight = std::max(LineHeight, Sz.cy);
        if (St.Sub) SubExtra = std::max(SubExtra, Sz.cy / 4);
        if (St.Sup) SupExtra = std::max(SupExtra, Sz.cy / 4);
        const bool WasEmpty = !HasContent && LineWidth == 0;
        const Integer Blank = Run.back() == L' ' ? SpaceWidth : 0;
        LineWidth += Sz.cx;
        // The first run of a line always stays on it, so every line makes progress.
        if (Pass == TPass::Measure && P.WordWrap && !WasEmpty && LineWidth - Blank > Avail) {
          LineWidth -= Sz.cx;  // the run starts the next line
          LineEnd = true;
          break;
        }
        if (Pass == TPass::Draw && !St.Blinking) DrawRun(Run, Sz.cx, Sz.cy);
        // The hit test works on the aligned line box of the second pass.
        if (Pass != TPass::Measure && St.InAnchor && !St.AnchorRef.empty() && P.HitX >= X && P.HitX <= X + Sz.cx &&
            P.HitY > Box.Top && P.HitY < Box.Bottom) {
          TextHit = true;
          Res.AnchorRef = St.AnchorRef;
          Res.AnchorTitle = St.AnchorTitle;
          Res.AnchorAtPoint = St.AnchorNo;
          AnchorHitOpen = true;
        }
        X += Sz.cx;
        TrailBlank = Blank;
        HasContent = true;
        Pos = End;
      }
    }
    if (Pos < Limit && S[Pos] == L'<' && !LineEnd) {
      size_t G = S.find(L'>', Pos);
      if (G == String::npos || G >= Limit) {
        Pos = Limit;  // an unclosed "<" drops the rest
        break;
      }
      bool EndsLine = false;
      if (!ApplyTag(Pos, G, Pass, EndsLine)) break;  // the tag starts the next line
      Pos = G + 1;
      if (EndsLine) LineEnd = true;
    }
  }
  if (AnchorHitOpen && Pass != TPass::Measure) Res.AnchorRect = TRect(AnchorStartX, AnchorStartTop, X, Box.Bottom);
  LineWidth -= TrailBlank;
  if (LineHeight == 0) LineHeight = HasContent ? DefaultHeight : 0;
  return Pos;
}

bool TEngine::Run(const String& Text, const TRect& Rect) {
  Res = THTMLDrawResult();
  Layout = Rect;
  TFont* F = C->GetFont();
  const TFontData StartFont = F->GetData();
  const TColor StartFontColor = F->GetColor();
  StartBrush = C->GetBrush()->GetStyle() == bsClear ? clNone : C->GetBrush()->GetColor();
  const TBrushStyle StartBrushStyle = C->GetBrush()->GetStyle();
  C->RequiredState({csHandleValid, csFontValid});
  const Integer PpiX = GetDeviceCaps(C->GetHandle(), LOGPIXELSX), PpiY = GetDeviceCaps(C->GetHandle(), LOGPIXELSY);
  Scale = P.ScaleFactor > 0 ? P.ScaleFactor : PpiY / 96.0;
  BulletIndent = 12 * PpiX / 96;
  NoPrefix = Text.find(L" & ") != String::npos;
  S = NormalizeMarkup(Text);
  St = TState();
  St.Font = StartFont;
  St.FontColor = StartFontColor;
  St.Brush = clNone;
  St.BaseName = StartFont.Name;
  St.BaseHeight = StartFont.Height;
  St.BaseColor = StartFontColor;
  GhHeight = C->TextHeight(L"gh");
  LWidth = C->TextWidth(L"l");
  SpaceWidth = C->TextWidth(L" ");
  TRect LineRect = Layout;
  size_t Pos = 0;
  Integer Lines = 0;
  while (Pos < S.size()) {
    while (Pos < S.size() && (S[Pos] == L' ' || S[Pos] == L'\t')) ++Pos;
    if (Pos >= S.size()) break;
    const TState Start = St;
    LineHeight = 0;
    size_t End = Line(Pos, S.size(), LineRect, TPass::Measure);
    if (End <= Pos) End = std::min(S.size(), Pos + 1);  // always make progress
    const Integer MeasuredWidth = LineWidth;
    const Integer Height = Integer(std::lround((LineHeight + P.LineSpacing) * St.LineFactor));
    const TAlign Align = St.Align;
    const Integer Indent = St.ParaIndent;
    const Integer Sub = SubExtra, Sup = SupExtra;
    TRect LBox = LineRect;
    if (Align == TAlign::Right && LBox.Right - MeasuredWidth > LBox.Left) LBox.Left = LBox.Right - MeasuredWidth;
    else if (Align == TAlign::Center && (LBox.Right - LBox.Left - MeasuredWidth) > 0)
      LBox.Left += (LBox.Right - LBox.Left - MeasuredWidth) / 2;
    LBox.Left += Indent;
    LBox.Bottom = LBox.Top + Height + Sub + Sup;
    if (!P.HeightOnly) {
      Restore(Start);
      LineHeight = Height;
      Line(Pos, End, LBox, P.AnchorTestOnly ? TPass::LayoutOnly : TPass::Draw);
      SubExtra = Sub;
      SupExtra = Sup;
      if (TextHit) Result = true;
    }
    Res.TextWidth = std::max(Res.TextWidth, MeasuredWidth + 2);
    St.Sub = St.Sup = false;
    Pos = End;
    if (Height + Sub + Sup > 0) ++Lines;  // a line of tags alone takes no room
    LineRect.Top += Height + Sub + Sup;
    Res.TextHeight += Height + Sub + Sup;
    if (!P.HeightOnly && LineRect.Top + GhHeight > Layout.Bottom) break;
  }
  if (Res.TextHeight == 0) Res.TextHeight = GhHeight;
  if (Lines == 0) Res.TextWidth = 0;
  Res.LineCount = Lines;
  F->SetData(StartFont);
  F->SetColor(StartFontColor);
  C->GetBrush()->SetColor(StartBrush == clNone ? C->GetBrush()->GetColor() : StartBrush);
  C->GetBrush()->SetStyle(StartBrushStyle);
  return Result;
}

}  // namespace

bool HTMLDrawEx(TCanvas* Canvas, const String& Text, const TRect& Rect, const THTMLDrawParams& Params,
                THTMLDrawResult& Result) {
  Result = THTMLDrawResult();
  if (!Canvas) return false;
  TEngine E(Canvas, Params, Result);
  return E.Run(Text, Rect);
}
