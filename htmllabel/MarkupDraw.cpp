// HTMLDrawEx: lays out marked-up text line by line. Each line is read twice from the same state: a
// measuring pass decides where it ends and how wide and high it is, then a second pass draws (or
// only lays out, for hit tests) exactly that content inside the aligned line box. The text is read
// through a moving index, never copied per run, so layout is linear in the text.

#include "htmllabel/MarkupDraw.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>

#include "framework/ImgList.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "htmllabel/PictureStore.h"

namespace {

wchar_t Up(wchar_t C) { return (C >= L'a' && C <= L'z') ? wchar_t(C - 32) : C; }

bool StartsNoCase(const String& S, size_t At, const wchar_t* Prefix) {
  for (size_t I = 0; Prefix[I]; ++I)
    if (At + I >= S.size() || Up(S[At + I]) != Up(Prefix[I])) return false;
  return true;
}

bool AllDigits(const String& S) {
  return !S.empty() && std::all_of(S.begin(), S.end(), [](wchar_t C) { return C >= L'0' && C <= L'9'; });
}

// "&nbsp;", "&lt;" and "&gt;" inside a run; they never start a tag.
String DecodeRunEntities(const String& S, size_t From, size_t To) {
  String R;
  R.reserve(To - From);
  for (size_t I = From; I < To;) {
    if (S[I] == L'&') {
      if (StartsNoCase(S, I, L"&nbsp;") && I + 6 <= To) { R += L' '; I += 6; continue; }
      if (StartsNoCase(S, I, L"&lt;") && I + 4 <= To) { R += L'<'; I += 4; continue; }
      if (StartsNoCase(S, I, L"&gt;") && I + 4 <= To) { R += L'>'; I += 4; continue; }
    }
    R += S[I++];
  }
  return R;
}

bool SystemIsMiddleEast() { return GetSystemMetrics(SM_MIDEASTENABLED) != 0; }
TMiddleEastQuery MiddleEastQuery = &SystemIsMiddleEast;

// A colour key for pictures copied into bitmaps before stretching.
constexpr TColor KeyColor = TColor(0xFF00FF);

// An icon of the shell's system image list, named by an index, a path, or a name whose type the
// shell knows.
struct TShellIcon {
  HIMAGELIST List = nullptr;
  Integer Index = -1;
  Integer Width = 0, Height = 0;
};

TShellIcon FindShellIcon(const String& Name, bool Large) {
  TShellIcon R;
  // The system image lists live as long as the process.
  static const HIMAGELIST Lists[2] = {GetSystemImageList(true), GetSystemImageList(false)};
  HIMAGELIST List = Lists[Large ? 1 : 0];
  if (!List) return R;
  Integer Index = -1;
  if (AllDigits(Name)) {
    Index = Name.size() < 10 ? StrToIntOrZero(Name) : -1;
  } else {
    String N = Name;
    // Never reach out to another machine for an icon: a network path is asked for by its name alone.
    if (N.size() >= 2 && (N[0] == L'\\' || N[0] == L'/') && (N[1] == L'\\' || N[1] == L'/')) N = ExtractFileName(N);
    if (N.empty()) return R;
    Index = GetShellIconIndex(N, !Large);
  }
  if (Index < 0 || Index >= ImageList_GetImageCount(List)) return R;
  int W = 0, H = 0;
  ImageList_GetIconSize(List, &W, &H);
  R.List = List;
  R.Index = Index;
  R.Width = W;
  R.Height = H;
  return R;
}

// A picture named by IMG SRC or by a BODY background: an image-list image, a shell icon, or a
// picture of the store or the cache. Width and height are its natural size (for an animation,
// the size of its logical screen); 0 when there is nothing to draw.
struct TPictureSource {
  TCustomImageList* List = nullptr;
  TShellIcon Shell;
  Integer Index = -1;
  THTMLPicture* Picture = nullptr;
  bool Animated = false;
  Integer Width = 0, Height = 0;
  bool Found() const { return Width > 0 && Height > 0; }
  bool Listed() const { return List || Shell.List; }
};

enum class TPass { Measure, Draw, LayoutOnly };
enum class TLineAlign { Left, Right, Center };
enum class TFloat { None, Left, Right };

// Everything a tag can change; saved at the start of a line so that both passes start alike.
struct TState {
  TFontData Font;
  TColor FontColor = clBlack;
  TColor Brush = clNone;
  TFontName BaseName;
  Integer BaseHeight = 0;
  TColor BaseColor = clBlack;
  bool InAnchor = false, Hidden = false, ErrorMark = false, Shadow = false, Sub = false, Sup = false;
  bool BlinkHidden = false;  // blinking text in its off phase over no background: room, no ink
  bool ParaBg = false, Ordered = false;
  Integer ListLevel = 0, ItemNo = 1, AnchorNo = 0, ListIndent = 0, Rotation = 0;
  String AnchorRef, AnchorTitle;
  TLineAlign Align = TLineAlign::Left;
  TFloat ParaFloat = TFloat::None;
  Integer ParaIndent = 0;
  double LineFactor = 1.0;
  TColor ParaBgFrom = clNone, ParaBgTo = clNone;
  TColor FontBrushSave = clNone, SpanBrushSave = clNone, ParaBrushSave = clNone;
  TColor HiColorSave = clBlack, HiBrushSave = clNone, HoverBrushSave = clNone, HoverFontSave = clNone;
  TFontStyles HiStyleSave;
  bool HoverBrushSet = false, HoverFontSet = false;
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
  UINT Flags = 0;
  bool RtlFlow = false;  // runs flow from the right edge leftwards
  double Scale = 1.0, RoomScale = 1.0;
  Integer BulletIndent = 12, LWidth = 0;
  TFontData SpaceFont;
  Integer SpaceWidth = -1;
  std::map<String, TShellIcon> ShellIcons;  // both passes ask for the same icons

  // The line being laid out; the measuring pass sets the values that the second pass reuses.
  TRect Box;
  Integer X = 0, RX = 0;  // next free position (RX: right edge when runs flow leftwards)
  Integer LineWidth = 0, LineHeight = 0, TextHeightOfLine = 0, SubExtra = 0, SupExtra = 0, TrailBlank = 0;
  Integer TextOffset = 0;  // text moved up against a taller picture
  double LineFactorUsed = 1.0;
  TFloat ParaFloatUsed = TFloat::None;  // the float mode of the line's paragraph, kept past its </P>
  bool LineEnd = false, TextHit = false, HasContent = false;
  Integer ItemsOnLine = 0;
  Integer FloatLeftW = 0, FloatRightW = 0, FloatPictureBottom = 0;  // a floating picture on this line
  bool WrapText = false;  // the line keeps the height of its text beside a picture
  // The anchor under the point: where it starts on this line, and whether the point hit it.
  bool AnchorHitOpen = false;
  Integer AnchorStartX = 0, AnchorStartTop = 0, FocusStartX = 0;
  bool Result = false;

  void Restore(const TState& T);
  void SyncFont();
  // <R a>: the font turned by a degrees for the runs up to </R>, which turns it back.
  void SelectRotatedFont(Integer Angle);
  void RestoreRotatedFont();
  void DrawShellIcon(const TPictureSource& Src, const TRect& Room);
  TSize Measure(const String& Text);
  Integer BlankWidth();
  Integer Place(Integer Width);  // left edge of the next item of that width; moves the position
  Integer Position() const { return RtlFlow ? RX : X; }
  Integer RunBottom() const;
  void DrawRun(const String& Text, Integer Left, Integer W);
  void HitRun(Integer Left, Integer W, Integer H);
  void FillBand(const TRect& R, TColor Color);
  // One line of the text from From: consumed in measuring mode, then drawn (or laid out) as consumed.
  size_t HTMLDrawLine(size_t From, size_t Limit, const TRect& LineRect, TPass Pass);
  // Applies the tag S[From..To]; false when the line must end before the tag (tag not consumed).
  bool ApplyTag(size_t From, size_t To, TPass Pass, bool& EndsLine);
  TPictureSource Resolve(const String& Src);
  void DrawSource(const TPictureSource& Src, const TRect& Room, bool Sized);
  void TileSource(const TPictureSource& Src, const TRect& Area);
  bool Picture(const String& Tag, TPass Pass);
  void Body(const String& Tag);
  void OpenAnchor(const String& Tag, TPass Pass);
  void CloseAnchor(TPass Pass);
  void ListItem(const String& Tag, TPass Pass);
  void Rule(const String& Tag);
  Integer FontSizeToHeight(Integer N);
};

void TEngine::Restore(const TState& T) {
  St = T;
  SyncFont();
}

// The rotated copy of the font is the canvas font itself, with escapement and orientation set:
// the canvas selects it and frees the one it replaces.
void TEngine::SyncFont() {
  TFont* F = C->GetFont();
  TFontData D = St.Font;
  D.Orientation = St.Rotation * 10;
  F->SetData(D);
  F->SetColor(St.FontColor);
}

void TEngine::SelectRotatedFont(Integer Angle) {
  St.Rotation = Angle % 360;
  SyncFont();
}

void TEngine::RestoreRotatedFont() {
  St.Rotation = 0;
  SyncFont();
}

TSize TEngine::Measure(const String& Text) {
  SyncFont();
  C->RequiredState({csHandleValid, csFontValid});
  RECT R{0, 0, 0, 0};
  UINT F = DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS | (Flags & (DT_NOPREFIX | DT_RTLREADING));
  DrawTextW(C->GetHandle(), Text.c_str(), Integer(Text.size()), &R, F);
  return TSize(R.right - R.left, R.bottom - R.top);
}

Integer TEngine::BlankWidth() {
  if (SpaceWidth < 0 || !(SpaceFont == St.Font)) {
    SpaceFont = St.Font;
    SpaceWidth = Measure(L" ").cx;
  }
  return SpaceWidth;
}

Integer TEngine::Place(Integer Width) {
  if (RtlFlow) {
    RX -= Width;
    return RX;
  }
  Integer Left = X;
  X += Width;
  return Left;
}

Integer TEngine::RunBottom() const {
  Integer B = Box.Bottom - SubExtra - TextOffset;
  if (St.Sup) B -= SupExtra;
  if (St.Sub) B += SubExtra;
  return B;
}

void TEngine::FillBand(const TRect& R, TColor Color) {
  if (Color == clNone || R.Right <= R.Left || R.Bottom <= R.Top) return;
  HBRUSH B = CreateSolidBrush(ColorToRGB(Color));
  C->RequiredState({csHandleValid});
  RECT W = {R.Left, R.Top, R.Right, R.Bottom};
  ::FillRect(C->GetHandle(), &W, B);
  DeleteObject(B);
}

void TEngine::DrawRun(const String& Text, Integer Left, Integer W) {
  if (St.BlinkHidden) return;
  if (!P.WordWrap && !RtlFlow && Left >= Box.Right - LWidth) return;
  const Integer Italic = St.Font.Style.Contains(fsItalic) ? 2 : 0;
  TRect R = RtlFlow ? TRect(Box.Left, Box.Top, Left + W + Italic, RunBottom())
                    : TRect(Left, Box.Top, Box.Right + Italic, RunBottom());
  UINT F = (Flags & ~UINT(DT_EXTERNALLEADING)) | (P.WordWrap ? UINT(DT_NOCLIP) : 0);
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
    // A red zigzag two pixels high in segments two pixels wide, phased by the x position.
    C->RequiredState({csHandleValid});
    HDC Dc = C->GetHandle();
    HPEN Pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HGDIOBJ Old = SelectObject(Dc, Pen);
    const Integer X0 = Left & ~1, Base = Box.Bottom - SubExtra - TextOffset - 1;
    Integer D = (X0 % 4 == 0) ? 2 : 0;
    MoveToEx(Dc, X0, Base + D, nullptr);
    for (Integer Xi = X0 + 2; Xi <= Left + W; Xi += 2) {
      D = 2 - D;
      LineTo(Dc, Xi, Base + D);
    }
    SelectObject(Dc, Old);
    DeleteObject(Pen);
  }
}

// A text run inside an anchor with a reference is a target where it is drawn: its extent across,
// its text height up from its bottom.
void TEngine::HitRun(Integer Left, Integer W, Integer H) {
  if (!St.InAnchor || St.AnchorRef.empty()) return;
  if (P.HitX < Left || P.HitX > Left + W) return;
  const Integer Bottom = RunBottom();
  if (P.HitY <= Bottom - std::max(H, TextHeightOfLine) || P.HitY >= Bottom) return;
  TextHit = true;
  Res.AnchorRef = St.AnchorRef;
  Res.AnchorTitle = St.AnchorTitle;
  Res.AnchorAtPoint = St.AnchorNo;
  AnchorHitOpen = true;
}

Integer TEngine::FontSizeToHeight(Integer N) {
  double Factor = 96.0;
  if (P.FormScaled) {
    C->RequiredState({csHandleValid});
    Factor = P.ScaleFactor == -1.0f ? double(GetDeviceCaps(C->GetHandle(), LOGPIXELSX)) : 96.0 * P.ScaleFactor;
  }
  return -Integer(std::lround(N * Factor / 72.0));
}

void TEngine::OpenAnchor(const String& Tag, TPass Pass) {
  ++St.AnchorNo;
  bool HasHref = false;
  St.AnchorRef = TagAttribute(Tag, L"HREF", &HasHref);
  St.AnchorTitle = TagAttribute(Tag, L"TITLE");
  St.InAnchor = true;
  St.BaseColor = St.FontColor;
  if (St.AnchorNo == P.FocusAnchor + 1) {
    FocusStartX = Position();
    if (Pass == TPass::Draw) Res.AnchorTitle = St.AnchorRef;
  }
  // Outside hover mode every anchor takes the hover colours; in it only the hovered one does.
  const bool IsHover = St.AnchorNo == P.HoverAnchor;
  St.HoverBrushSet = St.HoverFontSet = false;
  if (!P.HoverMode || IsHover) {
    St.Font.Style.Include(fsUnderline);
    if (!P.KeepColors && P.HoverColor != clNone) {
      St.HoverBrushSave = St.Brush;
      St.Brush = P.HoverColor;
      St.HoverBrushSet = true;
    }
    if (!P.KeepColors && P.HoverFontColor != clNone) {
      St.HoverFontSave = St.FontColor;
      St.FontColor = P.HoverFontColor;
      St.HoverFontSet = true;
    }
  }
  if (!P.KeepColors && (P.HoverFontColor == clNone || !IsHover || !P.HoverMode)) St.FontColor = P.AnchorColor;
  AnchorStartX = Position();
  AnchorStartTop = Box.Top;
}

void TEngine::CloseAnchor(TPass Pass) {
  St.Font.Style.Exclude(fsUnderline);
  if (St.HoverBrushSet) St.Brush = St.HoverBrushSave;
  St.HoverBrushSet = St.HoverFontSet = false;
  St.FontColor = St.BaseColor;
  St.InAnchor = false;
  if (Pass == TPass::Draw && St.AnchorNo == P.FocusAnchor + 1) {
    SyncFont();
    const Integer A = std::min(FocusStartX, Position()), B = std::max(FocusStartX, Position());
    C->DrawFocusRect(TRect(A - 1, Box.Top, B + 1, Box.Top + TextHeightOfLine));
  }
  if (AnchorHitOpen) {
    Res.AnchorRect = TRect(std::min(AnchorStartX, Position()), AnchorStartTop, std::max(AnchorStartX, Position()),
                           Box.Bottom);
    AnchorHitOpen = false;
  }
}

void TEngine::ListItem(const String& Tag, TPass Pass) {
  LineWidth += BulletIndent * St.ListLevel;
  Place(BulletIndent * std::max(St.ListLevel - 1, 0));
  if (Pass == TPass::Draw && !St.Hidden) {
    const String UType = UpperAscii(TagAttribute(Tag, L"TYPE"));
    bool HasColor = false;
    const String ColorText = TagAttribute(Tag, L"COLOR", &HasColor);
    const TColor Color = HasColor ? MarkupColor(ColorText) : St.FontColor;
    const Integer Left = Position() - (RtlFlow ? BulletIndent : 0);
    if (UType == L"SQUARE" || UType == L"CIRCLE") {
      C->RequiredState({csHandleValid});
      HDC Dc = C->GetHandle();
      HBRUSH B = CreateSolidBrush(ColorToRGB(Color));
      HPEN Pn = CreatePen(PS_SOLID, 1, ColorToRGB(Color));
      HGDIOBJ OB = SelectObject(Dc, B), OP = SelectObject(Dc, Pn);
      if (UType == L"SQUARE") ::Rectangle(Dc, Left, Box.Top + 2, Left + 8, Box.Top + 10);
      else ::Ellipse(Dc, Left, Box.Top + 2, Left + 8, Box.Top + 10);
      SelectObject(Dc, OB);
      SelectObject(Dc, OP);
      DeleteObject(B);
      DeleteObject(Pn);
    } else {
      const TState Saved = St;
      St.Font.Name = L"Symbol";
      St.FontColor = Color;
      const String Bullet = St.Ordered ? IntToStr(St.ItemNo) + L". "
                                       : (St.ListLevel % 2 == 1 ? String(1, wchar_t(0xB7)) : String(L"o"));
      SyncFont();
      C->RequiredState({csHandleValid, csFontValid});
      HDC Dc = C->GetHandle();
      SetBkMode(Dc, TRANSPARENT);
      SetTextColor(Dc, ColorToRGB(Color));
      TextOutW(Dc, Left, Box.Top, Bullet.c_str(), Integer(Bullet.size()));
      const Integer Wd = Measure(Bullet).cx;
      St = Saved;
      SyncFont();
      if (St.Ordered) Place(Wd - 12);
    }
  }
  if (St.Ordered) ++St.ItemNo;
  Place(BulletIndent);
}

void TEngine::Rule(const String& Tag) {
  bool Has = false;
  const String V = TagAttribute(Tag, L"COLOR", &Has);
  C->RequiredState({csHandleValid});
  HDC Dc = C->GetHandle();
  HPEN Pn = CreatePen(PS_SOLID, 1, ColorToRGB(Has ? MarkupColor(V) : clBlack));
  HGDIOBJ Old = SelectObject(Dc, Pn);
  const Integer Y = Box.Bottom - SubExtra - TextOffset + 1;
  MoveToEx(Dc, Layout.Left, Y, nullptr);
  LineTo(Dc, Layout.Right, Y);
  SelectObject(Dc, Old);
  DeleteObject(Pn);
}

TPictureSource TEngine::Resolve(const String& Src) {
  TPictureSource R;
  if (StartsNoCase(Src, 0, L"IDX:")) {
    const Integer Index = StrToIntOrZero(Src.substr(4));
    if (P.Images && Index >= 0 && Index < P.Images->GetCount()) {
      R.List = P.Images;
      R.Index = Index;
      R.Width = P.Images->GetWidth();
      R.Height = P.Images->GetHeight();
    }
  } else if (StartsNoCase(Src, 0, L"SSYS:") || StartsNoCase(Src, 0, L"LSYS:")) {
    auto Known = ShellIcons.find(Src);
    if (Known == ShellIcons.end()) Known = ShellIcons.emplace(Src, FindShellIcon(Src.substr(5), Up(Src[0]) == L'L')).first;
    R.Shell = Known->second;
    R.Width = R.Shell.Width;
    R.Height = R.Shell.Height;
  } else if (Src.find(L':') == String::npos) {
    if (P.PictureStore) R.Picture = P.PictureStore->FindPicture(Src);
  } else if (Src.find(L"://") != String::npos && P.PictureCache) {
    R.Picture = P.PictureCache->FindPicture(Src);
    if (!R.Picture) {
      R.Picture = P.PictureCache->AddPicture();
      R.Picture->SetID(Src);
      R.Picture->LoadFromURL(Src);
    }
  }
  if (R.Listed() && P.ScalePictures) {
    R.Width = Integer(std::lround(R.Width * P.PictureScale));
    R.Height = Integer(std::lround(R.Height * P.PictureScale));
  }
  if (R.Picture && !R.Picture->GetEmpty()) {
    R.Width = R.Picture->GetWidth();
    R.Height = R.Picture->GetHeight();
    // An animation takes the room of its whole screen, whichever frame is showing.
    if (R.Picture->GetFrameCount() > 1 && R.Picture->GetAnimMaxX() > 0 && R.Picture->GetAnimMaxY() > 0) {
      R.Animated = true;
      R.Width = R.Picture->GetAnimMaxX();
      R.Height = R.Picture->GetAnimMaxY();
    }
  }
  return R;
}

void TEngine::DrawSource(const TPictureSource& Src, const TRect& Room, bool Sized) {
  if (Src.Listed() && !Src.List) {
    DrawShellIcon(Src, Room);
    return;
  }
  if (Src.Listed()) {
    if (P.ScalePictures) {
      const Integer W = Src.List->GetWidth(), H = Src.List->GetHeight();
      TBitmap B;
      B.SetPixelFormat(pf24bit);
      B.SetSize(W, H);
      B.GetCanvas()->GetBrush()->SetColor(KeyColor);
      B.GetCanvas()->FillRect(TRect(0, 0, W, H));
      Src.List->Draw(B.GetCanvas(), 0, 0, Src.Index);
      B.SetTransparentColor(KeyColor);
      B.SetTransparent(true);
      StretchBitmapToRect(C, Room, &B);
    } else {
      Src.List->Draw(C, Room.Left, Room.Top, Src.Index);
    }
    return;
  }
  if (Sized) {
    C->StretchDraw(Room, Src.Picture);
  } else if (Src.Animated) {
    FillBand(Room, StartBrush);
    C->Draw(Room.Left + Src.Picture->GetFrameXPos(), Room.Top + Src.Picture->GetFrameYPos(), Src.Picture);
  } else {
    C->Draw(Room.Left, Room.Top, Src.Picture);
  }
}

// A system image list's icon: straight from the list, or through a bitmap of icon size stretched
// by the picture scale when pictures are scaled.
void TEngine::DrawShellIcon(const TPictureSource& Src, const TRect& Room) {
  if (P.ScalePictures) {
    TBitmap B;
    B.SetPixelFormat(pf24bit);
    B.SetSize(Src.Shell.Width, Src.Shell.Height);
    B.GetCanvas()->GetBrush()->SetColor(KeyColor);
    B.GetCanvas()->FillRect(TRect(0, 0, Src.Shell.Width, Src.Shell.Height));
    ImageList_Draw(Src.Shell.List, Src.Shell.Index, B.GetCanvas()->GetHandle(), 0, 0, ILD_TRANSPARENT);
    B.SetTransparentColor(KeyColor);
    B.SetTransparent(true);
    StretchBitmapToRect(C, Room, &B);
  } else {
    C->RequiredState({csHandleValid});
    ImageList_Draw(Src.Shell.List, Src.Shell.Index, C->GetHandle(), Room.Left, Room.Top, ILD_TRANSPARENT);
  }
}

// Tiles Area from its top-left corner, clipped to it. Only the tiles that can show are drawn; a
// tiny picture is first gathered into a larger tile, so no picture size makes this slow.
void TEngine::TileSource(const TPictureSource& Src, const TRect& Area) {
  C->RequiredState({csHandleValid});
  HDC Dc = C->GetHandle();
  RECT Clip{};
  if (GetClipBox(Dc, &Clip) == ERROR) return;
  const TRect Show(std::max(Area.Left, Integer(Clip.left)), std::max(Area.Top, Integer(Clip.top)),
                   std::min(Area.Right, Integer(Clip.right)), std::min(Area.Bottom, Integer(Clip.bottom)));
  if (Show.Right <= Show.Left || Show.Bottom <= Show.Top) return;
  Integer W = Src.Width, H = Src.Height;
  const Int64 Tiles = (Int64(Show.Width()) / W + 2) * (Int64(Show.Height()) / H + 2);
  std::unique_ptr<TBitmap> Gathered;
  if (Tiles > 64) {
    // Draw the picture once and double the copies across and down to a tile of 64 pixels or more.
    Integer TW = W, TH = H;
    while (TW < 64) TW *= 2;
    while (TH < 64) TH *= 2;
    Gathered = std::make_unique<TBitmap>();
    Gathered->SetPixelFormat(pf24bit);
    Gathered->SetSize(TW, TH);
    TCanvas* G = Gathered->GetCanvas();
    G->GetBrush()->SetColor(KeyColor);
    G->FillRect(TRect(0, 0, TW, TH));
    G->Draw(0, 0, Src.Picture);
    HDC Gd = G->GetHandle();
    for (Integer Have = W; Have < TW; Have *= 2) BitBlt(Gd, Have, 0, Have, H, Gd, 0, 0, SRCCOPY);
    for (Integer Have = H; Have < TH; Have *= 2) BitBlt(Gd, 0, Have, TW, Have, Gd, 0, 0, SRCCOPY);
    Gathered->SetTransparentColor(KeyColor);
    Gathered->SetTransparent(true);
    W = TW;
    H = TH;
  }
  const int Saved = SaveDC(Dc);
  IntersectClipRect(Dc, Area.Left, Area.Top, Area.Right, Area.Bottom);
  const Integer Y0 = Area.Top + (Show.Top - Area.Top) / H * H, X0 = Area.Left + (Show.Left - Area.Left) / W * W;
  for (Integer Y = Y0; Y < Show.Bottom; Y += H)
    for (Integer Xi = X0; Xi < Show.Right; Xi += W) {
      if (Gathered) C->Draw(Xi, Y, Gathered.get());
      else C->Draw(Xi, Y, Src.Picture);
    }
  RestoreDC(Dc, Saved);
}

// BODY paints the layout rectangle: a colour or a gradient, then background pictures.
void TEngine::Body(const String& Tag) {
  bool HasBg = false, HasTo = false, HasDir = false;
  const String Bg = TagAttribute(Tag, L"BGCOLOR", &HasBg), BgTo = TagAttribute(Tag, L"BGCOLORTO", &HasTo);
  const String Dir = UpperAscii(TagAttribute(Tag, L"DIR", &HasDir));
  if (HasBg && !Bg.empty()) {
    if (HasTo && !BgTo.empty())
      DrawGradientCanvas(C, MarkupColor(Bg), MarkupColor(BgTo), 64, Layout, !HasDir || Dir == L"H");
    else
      FillBand(TRect(Layout.Left - 2, Layout.Top, Layout.Right, Layout.Bottom), MarkupColor(Bg));
  }
  for (const wchar_t* Name : {L"BACKGROUND", L"BGTOPLEFT", L"BGTOPRIGHT"}) {
    bool Has = false;
    const String Src = TagAttribute(Tag, Name, &Has);
    if (!Has || Src.empty()) continue;
    const TPictureSource Pic = Resolve(Src);
    if (!Pic.Found()) continue;
    const bool Right = Name[2] == L'T' && Name[5] == L'R';
    if (Pic.Listed()) {
      // Image-list images and shell icons are drawn once where the tag stands.
      const Integer Left = Right ? Box.Right - Pic.Width : Position();
      DrawSource(Pic, TRect(Left, Box.Top, Left + Pic.Width, Box.Top + Pic.Height), false);
    } else if (Right) {
      TileSource(Pic, TRect(Layout.Right - Pic.Width, Layout.Top, Layout.Right, Layout.Bottom));
    } else {
      TileSource(Pic, Layout);
    }
  }
}

// An IMG. False when it must start the next line.
bool TEngine::Picture(const String& Tag, TPass Pass) {
  const TPictureSource Src = Resolve(TagAttribute(Tag, L"SRC"));
  if (!Src.Found()) return true;  // nothing to show takes no room
  Integer W = 0, H = 0;
  if (!Src.Listed()) {
    W = std::clamp(StrToIntOrZero(TagAttribute(Tag, L"WIDTH")), 0, 100000);
    H = std::clamp(StrToIntOrZero(TagAttribute(Tag, L"HEIGHT")), 0, 100000);
  }
  const bool Sized = W > 0 || H > 0;
  if (W > 0 && H <= 0) H = std::max(1, Integer(std::lround(double(Src.Height) * W / Src.Width)));
  else if (H > 0 && W <= 0) W = std::max(1, Integer(std::lround(double(Src.Width) * H / Src.Height)));
  Integer RoomW = Src.Width, RoomH = Src.Height;
  if (Sized) {
    RoomW = Integer(std::lround(W * RoomScale));
    RoomH = Integer(std::lround(H * RoomScale));
  }
  const String UFloat = UpperAscii(TagAttribute(Tag, L"FLOAT"));
  const TFloat Float = UFloat == L"LEFT" ? TFloat::Left : UFloat == L"RIGHT" ? TFloat::Right : TFloat::None;
  const Integer Avail = Box.Right - Box.Left - St.ListIndent;
  if (Pass == TPass::Measure && (HasContent || LineWidth > 0) && RoomW > Avail - LineWidth && RoomW < Avail)
    return false;  // the picture starts the next line

  // Against a lower picture the line's text stands at its bottom, middle or top.
  const String Align = UpperAscii(TagAttribute(Tag, L"ALIGN"));
  Integer Offset = 0;
  if (Float != TFloat::Left && (!Sized || Src.Listed()) && RoomH < TextHeightOfLine) {
    if (Align == L"MIDDLE") Offset = (TextHeightOfLine - RoomH) / 2;
    else if (Align != L"TOP") Offset = TextHeightOfLine - RoomH;
  }
  Integer Left;
  if (Float == TFloat::Right) Left = Box.Right - RoomW;
  else if (Float == TFloat::Left) Left = Layout.Left;
  else Left = Position() - (RtlFlow ? RoomW : 0);
  const TRect Room(Left, Box.Top + Offset, Left + RoomW, Box.Top + Offset + RoomH);
  if (Pass == TPass::Draw && !St.Hidden) DrawSource(Src, Room, Sized);
  if (Pass != TPass::Measure && St.InAnchor && !St.AnchorRef.empty() && Room.Contains(TPoint(P.HitX, P.HitY))) {
    TextHit = true;
    Res.AnchorRef = St.AnchorRef;
    if (!St.AnchorTitle.empty()) Res.AnchorTitle = St.AnchorTitle;
    Res.AnchorAtPoint = St.AnchorNo;
    AnchorHitOpen = true;
  }
  if (Float != TFloat::Right) Place(RoomW + 2);
  LineWidth += RoomW + 2;
  LineHeight = std::max(LineHeight, RoomH);
  HasContent = true;
  if (Pass == TPass::Measure) {
    // A picture taller than the text: the text moves up to its top or middle, or the line keeps
    // the text's height and the picture reaches down into the next lines ("WRAP").
    const String U = UpperAscii(Tag);
    const Integer Free = std::max(0, LineHeight - TextHeightOfLine);
    if (!Align.empty() && U.find(L"\"TOP") != String::npos) TextOffset = Free;
    else if (!Align.empty() && U.find(L"\"MIDDLE") != String::npos) TextOffset = Free / 2;
    bool Wrap = false;
    for (size_t K = U.find(L"WRAP"); K != String::npos && !Wrap; K = U.find(L"WRAP", K + 1)) {
      auto Edge = [](wchar_t Ch) { return Ch == L' ' || Ch == L'"' || Ch == L'<' || Ch == L'>' || Ch == L'='; };
      Wrap = K > 0 && Edge(U[K - 1]) && K + 4 < U.size() && Edge(U[K + 4]);
    }
    if (Wrap) {
      WrapText = true;
      LineHeight = TextHeightOfLine;
      TextOffset = 0;
    }
    if (Float != TFloat::None) {
      // Following lines run beside the picture down to its bottom.
      TextOffset = Free;
      (Float == TFloat::Left ? FloatLeftW : FloatRightW) = RoomW + 2;
      FloatPictureBottom = std::max(FloatPictureBottom, Offset + RoomH);
    }
  }
  if (Float == TFloat::Right) LineEnd = true;
  return true;
}

bool TEngine::ApplyTag(size_t From, size_t To, TPass Pass, bool& EndsLine) {
  const String Tag = S.substr(From, To - From + 1);
  const bool Draw = Pass == TPass::Draw;
  const bool Closing = Tag.size() > 3 && Tag[1] == L'/';
  const size_t N = Closing ? 2 : 1;
  auto At = [&](size_t I) { return N + I < Tag.size() ? Up(Tag[N + I]) : L'\0'; };
  const wchar_t C0 = At(0), C1 = At(1), C2 = At(2);
  const bool Exact1 = C1 == L'>';  // a one-letter tag such as <B> or </U>
  EndsLine = false;
  if (!Closing) {
    switch (C0) {
      case L'A':
        OpenAnchor(Tag, Pass);
        break;
      case L'B':
        if (Exact1) St.Font.Style.Include(fsBold);
        else if (C1 == L'L') {
          // Blinking text takes the background's colour while the phase is off; over no
          // background (a transparent label) there is no colour to take: it is not drawn.
          if (!P.BlinkPhase) {
            if (StartBrush == clNone) St.BlinkHidden = true;
            else St.FontColor = StartBrush;
          }
        } else if (C1 == L'R') {
          EndsLine = true;
        } else if (C1 == L'O') {
          if (Draw) Body(Tag);
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
          const String U = UpperAscii(V);
          const size_t K = U.find(L"FONT-SIZE:");
          if (K != String::npos && U.find(L"PT", K) != String::npos) {
            const Integer Pt = StrToIntOrZero(U.substr(K + 10));
            if (Pt > 0 && Pt < 1000) St.Font.Height = FontSizeToHeight(Pt);
          }
        } else {
          V = TagAttribute(Tag, L"SIZE", &Has);
          if (Has) {
            const Integer Sz = StrToIntOrZero(V);
            static const Integer Rel[] = {1, 2, 4, 6, 8};
            if (Sz >= 1 && Sz <= 5) {
              TFont Base;
              Base.SetHeight(St.BaseHeight);
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
          if (Draw) Rule(Tag);
          EndsLine = true;
        }
        break;
      case L'I':
        if (Exact1) St.Font.Style.Include(fsItalic);
        else if (C1 == L'M') {
          if (!Picture(Tag, Pass)) return false;
        } else if (C1 == L'N') {
          const String V = TagAttribute(Tag, L"X");
          if (AllDigits(V) && V.size() < 7) {
            const Integer D = Integer(std::lround(StrToIntOrZero(V) * Scale));
            if (RtlFlow) {
              if (Box.Right - D < RX) {
                LineWidth += RX - (Box.Right - D);
                RX = Box.Right - D;
              }
            } else if (Box.Left + D > X) {
              LineWidth += Box.Left + D - X;
              X = Box.Left + D;
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
          const Integer V = std::clamp(StrToIntOrZero(TagAttribute(Tag, L"X")), 0, 100000);
          St.ListIndent = V;
          if (RtlFlow) RX = std::min(RX, Box.Right - V);
          else X = std::max(X, Box.Left + V);
        }
        break;
      case L'P': {
        St.ParaBrushSave = St.Brush;
        const String Al = UpperAscii(TagAttribute(Tag, L"ALIGN"));
        if (Al.find(L"RIGHT") != String::npos) St.Align = TLineAlign::Right;
        if (Al.find(L"LEFT") != String::npos) St.Align = TLineAlign::Left;
        if (Al.find(L"CENTER") != String::npos) St.Align = TLineAlign::Center;
        bool Has = false;
        String V = TagAttribute(Tag, L"INDENT", &Has);
        if (Has) St.ParaIndent = std::clamp(StrToIntOrZero(V), -100000, 100000);
        V = TagAttribute(Tag, L"LINE-HEIGHT", &Has);
        if (Has) {
          const double F = StrToFloatAnySep(V);
          St.LineFactor = (F > 0 && F < 100) ? F : 1.0;
          LineFactorUsed = St.LineFactor;
        }
        const String Fl = UpperAscii(TagAttribute(Tag, L"FLOAT"));
        if (Fl == L"LEFT") St.ParaFloat = TFloat::Left;
        else if (Fl == L"RIGHT") St.ParaFloat = TFloat::Right;
        if (Pass == TPass::Measure) ParaFloatUsed = St.ParaFloat;
        const String Bg = TagAttribute(Tag, L"BGCOLOR", &Has);
        if (Has && !Bg.empty()) {
          St.ParaBg = true;
          St.ParaBgFrom = MarkupColor(Bg);
          const String To = TagAttribute(Tag, L"BGCOLORTO");
          St.ParaBgTo = To.empty() ? clNone : MarkupColor(To);
        }
        break;
      }
      case L'R':
        SelectRotatedFont(StrToIntOrZero(TagAttribute(Tag, L"A")));
        break;
      case L'S':
        if (Exact1) St.Font.Style.Include(fsStrikeOut);
        else if (C1 == L'T' && C2 == L'R' && At(3) == L'O') St.Font.Style.Include(fsBold);
        else if (C1 == L'T') St.Font.Style.Include(fsStrikeOut);
        else if (C1 == L'H') St.Shadow = true;
        else if (C1 == L'P') {
          const String U = UpperAscii(TagAttribute(Tag, L"STYLE"));
          const size_t K = U.find(L"BACKGROUND-COLOR:");
          if (K != String::npos && !P.KeepColors) {
            const size_t H = U.find(L'#', K);
            if (H != String::npos) {
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
  switch (C0) {
    case L'A':
      CloseAnchor(Pass);
      break;
    case L'B':
      if (Exact1) {
        St.Font.Style.Exclude(fsBold);
      } else {
        St.FontColor = St.BaseColor;
        St.BlinkHidden = false;
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
      if (Exact1 || St.ListLevel <= 0) {
        St.ListIndent = 0;
      } else {
        --St.ListLevel;
        St.Ordered = false;
      }
      break;
    case L'P':
      // The line that ends the paragraph keeps its factor; the following ones are plain.
      St.LineFactor = 1.0;
      St.ParaBg = false;
      St.ParaFloat = TFloat::None;
      St.Brush = St.ParaBrushSave;
      EndsLine = true;
      break;
    case L'R':
      RestoreRotatedFont();
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

size_t TEngine::HTMLDrawLine(size_t From, size_t Limit, const TRect& LineRect, TPass Pass) {
  const bool Measuring = Pass == TPass::Measure;
  const Integer DefaultHeight = LineHeight > 0 ? LineHeight : TextHeightOfLine;
  Box = LineRect;
  LineWidth = 0;
  LineHeight = 0;
  TrailBlank = 0;
  LineEnd = false;
  TextHit = false;
  HasContent = false;
  ItemsOnLine = 0;
  if (Measuring) {
    SubExtra = SupExtra = TextOffset = 0;
    FloatLeftW = FloatRightW = FloatPictureBottom = 0;
    WrapText = false;
    LineFactorUsed = St.LineFactor;
    ParaFloatUsed = St.ParaFloat;
  }
  X = Box.Left + (Measuring ? 0 : St.ListIndent);
  RX = Box.Right - (Measuring ? 0 : St.ListIndent);
  AnchorStartX = Position();
  AnchorStartTop = Box.Top;
  if (St.ParaBg && Pass == TPass::Draw) {
    const TRect Band(Layout.Left, Box.Top, Layout.Right, Box.Top + DefaultHeight);
    if (St.ParaBgTo != clNone)
      DrawGradientCanvas(C, St.ParaBgFrom, St.ParaBgTo, 64, TRect(Band.Left, Band.Top, Band.Right, Box.Bottom + 2), true);
    else
      FillBand(Band, St.ParaBgFrom);
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
      const String Run = DecodeRunEntities(S, Pos, End);
      const TSize Sz = Measure(Run);
      if (LineHeight == 0) LineHeight = DefaultHeight;
      LineHeight = std::max(LineHeight, Sz.cy);
      if (Measuring && St.Sub) SubExtra = std::max(SubExtra, Sz.cy / 4);
      if (Measuring && St.Sup) SupExtra = std::max(SupExtra, Sz.cy / 4);
      if (!St.Hidden) {
        const bool First = !HasContent && LineWidth == 0;
        const Integer Blank = Run.back() == L' ' ? BlankWidth() : 0;
        // A run fits while the line, its blank included, stays below the width. The line's first
        // run always stays (one at least as wide as the line has nowhere better to go); after
        // others it would overrun a line it could have had to itself.
        if (Measuring && P.WordWrap && !First && LineWidth + Sz.cx >= Avail) {
          LineEnd = true;
          break;
        }
        const Integer Left = Place(Sz.cx);
        if (Pass == TPass::Draw) DrawRun(Run, Left, Sz.cx);
        if (!Measuring) HitRun(Left, Sz.cx, Sz.cy);
        LineWidth += Sz.cx;
        TrailBlank = Blank;
        HasContent = true;
      }
      Pos = End;
    }
    if (Pos < Limit && S[Pos] == L'<' && !LineEnd) {
      const size_t G = S.find(L'>', Pos);
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
  if (AnchorHitOpen && !Measuring) {
    // The anchor under the point goes on to the next line: its rectangle is the part on this one.
    Res.AnchorRect = TRect(std::min(AnchorStartX, Position()), AnchorStartTop, std::max(AnchorStartX, Position()),
                           Box.Bottom);
    AnchorHitOpen = false;
  }
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
  StartBrush = C->GetBrush()->GetColor();
  const TBrushStyle StartBrushStyle = C->GetBrush()->GetStyle();
  C->RequiredState({csHandleValid, csFontValid});
  const Integer PpiX = GetDeviceCaps(C->GetHandle(), LOGPIXELSX), PpiY = GetDeviceCaps(C->GetHandle(), LOGPIXELSY);
  Scale = P.ScaleFactor > 0 ? P.ScaleFactor : PpiY / 96.0;
  RoomScale = P.ScaleFactor > 0 ? P.ScaleFactor : PpiX / 96.0;
  BulletIndent = 12 * PpiX / 96;
  Flags = DT_BOTTOM | DT_SINGLELINE | DT_EXPANDTABS | DT_EXTERNALLEADING;
  Flags = GetBiDiDrawFlags(Flags, P.BiDiMode, false, MiddleEastQuery());
  RtlFlow = (Flags & DT_RIGHT) != 0;
  if (Text.find(L" & ") != String::npos) Flags |= DT_NOPREFIX;
  if (!P.WordWrap) Flags |= DT_END_ELLIPSIS;
  S = NormalizeMarkup(Text);
  St = TState();
  St.Font = StartFont;
  St.FontColor = StartFontColor;
  St.BaseName = StartFont.Name;
  St.BaseHeight = StartFont.Height;
  St.BaseColor = StartFontColor;
  const Integer StartGh = C->TextHeight(L"gh");
  LWidth = C->TextWidth(L"l");
  TRect LineRect = Layout;
  Integer FloatLeft = 0, FloatRight = 0, FloatBottom = INT_MIN;
  TFloat PrevParaFloat = TFloat::None;
  size_t Pos = 0;
  Integer Lines = 0;
  Int64 Height = 0;
  while (Pos < S.size()) {
    while (Pos < S.size() && (S[Pos] == L' ' || S[Pos] == L'\t')) ++Pos;
    if (Pos >= S.size()) break;
    const TState Start = St;
    TextHeightOfLine = Measure(L"gh").cy;
    LineHeight = 0;
    size_t End = HTMLDrawLine(Pos, S.size(), LineRect, TPass::Measure);
    if (End <= Pos) End = Pos + 1;  // never reached: the first run or tag always stays on a line
    const Integer Width = LineWidth;
    const Integer LineH = std::max(0, Integer(std::lround((LineHeight + P.LineSpacing) * LineFactorUsed)));
    const Integer Sub = SubExtra, Sup = SupExtra;
    const TFloat ParaFloat = ParaFloatUsed;
    const bool FloatPara = ParaFloat != TFloat::None && ParaFloat != PrevParaFloat;
    TRect LBox = LineRect;
    if (FloatPara) {
      if (ParaFloat == TFloat::Right && LBox.Right - Width > LBox.Left) LBox.Left = LBox.Right - Width;
    } else if (St.Align == TLineAlign::Right && LBox.Right - Width > LBox.Left) {
      LBox.Left = LBox.Right - Width;
    } else if (St.Align == TLineAlign::Center && LBox.Right - LBox.Left - Width > 0) {
      LBox.Left += (LBox.Right - LBox.Left - Width) / 2;
    }
    LBox.Left += St.ParaIndent;
    LBox.Bottom = LBox.Top + LineH + Sub + Sup;
    const Integer FloatLW = FloatLeftW, FloatRW = FloatRightW, FloatPicBottom = FloatPictureBottom;
    const bool Wrapped = WrapText;
    const Integer Offset = TextOffset, TextH = TextHeightOfLine;
    // Measuring the height still finds the anchor at a point given: the line is laid out again
    // where it stands, without painting.
    const bool HitTest = P.HitX >= 0 && P.HitY >= 0;
    if (!P.HeightOnly || HitTest) {
      Restore(Start);
      LineHeight = LineH;
      HTMLDrawLine(Pos, End, LBox, P.AnchorTestOnly || P.HeightOnly ? TPass::LayoutOnly : TPass::Draw);
      SubExtra = Sub;
      SupExtra = Sup;
      TextOffset = Offset;
      if (TextHit) Result = true;
    }
    if (Width > 0 || LineH + Sub + Sup > 0)
      Res.TextWidth = std::max(Res.TextWidth, Width + (LineRect.Left - Layout.Left) + 2);  // beside a left float
    St.Sub = St.Sup = false;
    Pos = End;
    if (LineH + Sub + Sup > 0) ++Lines;  // a line of tags alone takes no room
    // Beside a floating picture (or with WRAP) the line keeps the height of its text.
    Integer Advance = LineH + Sub + Sup;
    if (FloatLW > 0 || FloatRW > 0 || Wrapped) Advance = std::min(Advance, TextH + Sub + Sup);
    if (FloatLW > 0 || FloatRW > 0) {
      FloatLeft = std::max(FloatLeft, FloatLW);
      FloatRight = std::max(FloatRight, FloatRW);
      FloatBottom = std::max(FloatBottom, LBox.Top + FloatPicBottom);
    }
    if (FloatPara) {
      // A floating paragraph's line stands at its side; the text goes on beside it from the same top.
      (ParaFloat == TFloat::Left ? FloatLeft : FloatRight) = Width + St.ParaIndent + 2;
      FloatBottom = std::max(FloatBottom, LBox.Bottom);
    } else {
      LineRect.Top += Advance;
      Height += Advance;
    }
    PrevParaFloat = ParaFloat;
    if (LineRect.Top >= FloatBottom) FloatLeft = FloatRight = 0;
    LineRect.Left = Layout.Left + FloatLeft;
    LineRect.Right = Layout.Right - FloatRight;
    if (!P.HeightOnly && LineRect.Top + StartGh > Layout.Bottom) break;
  }
  if (FloatBottom != INT_MIN) Height = std::max<Int64>(Height, Int64(FloatBottom) - Layout.Top);
  Res.TextHeight = Height > 0 ? Integer(std::min<Int64>(Height, INT_MAX)) : StartGh;
  if (Lines == 0) Res.TextWidth = 0;
  Res.LineCount = Lines;
  F->SetData(StartFont);
  F->SetColor(StartFontColor);
  C->GetBrush()->SetColor(StartBrush);
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

void DrawGradientCanvas(TCanvas* Canvas, TColor From, TColor To, Integer Steps, const TRect& R, bool Horizontal) {
  if (!Canvas || R.Right <= R.Left || R.Bottom <= R.Top) return;
  if (Steps <= 0) Steps = 1;
  const TColorRef A = ColorToRGB(From), B = ColorToRGB(To);
  const Integer Span = Horizontal ? R.Right - R.Left : R.Bottom - R.Top;
  const double Step = double(Span) / Steps;
  Canvas->RequiredState({csHandleValid});
  HDC Dc = Canvas->GetHandle();
  for (Integer I = 0; I < Steps; ++I) {
    auto Mix = [&](int Shift) {
      const int F = (A >> Shift) & 0xFF, T = (B >> Shift) & 0xFF;
      return F + int(std::lround(double(I) * (T - F) / Steps));
    };
    const Integer O = Integer(std::lround(I * Step)), E = O + Integer(Step) + 1;
    RECT W = Horizontal ? RECT{R.Left + O, R.Top, std::min(R.Left + E, R.Right), R.Bottom}
                        : RECT{R.Left, R.Top + O, R.Right, std::min(R.Top + E, R.Bottom)};
    if (W.right <= W.left || W.bottom <= W.top) continue;
    HBRUSH Br = CreateSolidBrush(RGB(Mix(0), Mix(8), Mix(16)));
    ::FillRect(Dc, &W, Br);
    DeleteObject(Br);
  }
}

void DrawGradientRect(TCanvas* Canvas, TColor From, TColor To, Integer Steps, const TRect& R, bool Horizontal,
                      TColor FrameColor) {
  DrawGradientCanvas(Canvas, From, To, Steps, R, Horizontal);
  if (!Canvas || FrameColor == clNone || R.Right <= R.Left || R.Bottom <= R.Top) return;
  HBRUSH Br = CreateSolidBrush(ColorToRGB(FrameColor));
  RECT W{R.Left, R.Top, R.Right, R.Bottom};
  ::FrameRect(Canvas->GetHandle(), &W, Br);
  DeleteObject(Br);
}

void StretchBitmapToRect(TCanvas* Canvas, const TRect& R, TBitmap* Bitmap) {
  if (!Canvas || !Bitmap || R.Right <= R.Left || R.Bottom <= R.Top) return;
  Canvas->StretchDraw(R, Bitmap);
}

Cardinal GetBiDiDrawFlags(Cardinal Flags, THTMLBiDiMode Mode, bool Centered, bool MiddleEast) {
  if (!MiddleEast) return Flags;
  if (Mode == THTMLBiDiMode::RightToLeft) {
    if (Flags & DT_RIGHT) Flags &= ~Cardinal(DT_RIGHT);
    else if (!Centered) Flags |= DT_RIGHT;
  }
  if (Mode != THTMLBiDiMode::LeftToRight) Flags |= DT_RTLREADING;
  return Flags;
}

TMiddleEastQuery SetMiddleEastQuery(TMiddleEastQuery Value) {
  TMiddleEastQuery Old = MiddleEastQuery;
  MiddleEastQuery = Value ? Value : &SystemIsMiddleEast;
  return Old;
}
