#pragma once
// MarkupLabel: the small HTML-like markup that labels show (string routines that work on marked-up
// text without drawing it) and the engine that lays it out, draws it and finds the anchor under a
// point (HTMLDrawEx), and the label control TMarkupLabel that shows it.

#include <memory>

#include "framework/Classes.h"
#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"
#include "framework/ImgList.h"
#include "framework/StdCtrls.h"
#include "htmllabel/PictureStore.h"

// ---- Markup routines (positions are 1-based) ----

// Plain text: <BR> and <HR> become CR LF, <z>...</z> blocks are cut out, other tags removed.
String HTMLStrip(const String& Text);
// Removes every "<...>"; stops at a "<" without a later ">" and keeps the rest as it stands.
String StripTags(const String& Text);
// String position of the N-th character outside tags; length + 1 for one past the last; else 0.
Integer VisibleCharPos(const String& Text, Integer N);
// Position (Offset + position within Text after its first Offset characters) of Search, 0 when
// absent or when Search is empty. Pos receives the same value.
Integer FindVisibleText(const String& Search, const String& Text, Integer Offset, bool CaseSensitive,
                        Integer& Pos);
// Wraps every occurrence of Search (found in the tag-free view) in <Tag>...</Tag>. An empty
// Search leaves the text unchanged.
String InsertTagAroundText(const String& Text, const String& Search, const String& Tag, bool CaseSensitive);
// Removes every <Tag> and </Tag>, in any letter case.
String RemoveTagPair(const String& Text, const String& Tag);

// Lower-case colour name ("clred", "clhighlight") to a colour; 0 for an unknown name.
TColor ColorNameToColor(const String& Name);
// "#RRGGBB" in either letter case; a short or invalid pair counts 0.
TColor HexColorToColor(const String& Value);
// A "#" value through HexColorToColor, anything else lower-cased through ColorNameToColor.
TColor MarkupColor(const String& Value);

// Named character references, each name replaced where it occurs with exactly its letter case.
String DecodeNamedEntities(const String& Text);
// "&#n;" and "&#n" followed by a non-digit become the character n (surrogate pairs above 0xFFFF);
// 0, surrogates, values above 0x10FFFF and malformed references stay as written.
String DecodeNumericEntities(const String& Text);
// "<#abc>" becomes "#abc".
String UnwrapHashTags(const String& Text);
// CR becomes "<BR>" when Breaks is set (else it is removed); LF is removed.
String TextToHtmlBreaks(const String& Text, bool Breaks);
// The whole normalisation that precedes layout. Prefix processing is off when the text contains
// " & "; "&amp;" then reads as a plain "&", otherwise as "&&" (one shown ampersand).
String NormalizeMarkup(const String& Text);

// Leading blanks, optional sign, decimal digits or "$"/"0x" hexadecimal; 0 without digits.
// A value beyond the integer range saturates.
Integer StrToIntOrZero(const String& Text);
// The value with "," read as "." and the invariant decimal point; 0 when the text is no number.
double StrToFloatAnySep(const String& Text);

// The quoted value of an attribute of a tag: the name must stand as a whole word (after a blank)
// followed by optional blanks and "="; the value lies between the next two double quotes.
// Found is false when the tag has no such attribute.
String TagAttribute(const String& Tag, const String& Name, bool* Found = nullptr);

// ---- Layout and drawing ----

enum class THTMLBiDiMode { LeftToRight, RightToLeft, RightToLeftNoAlign, RightToLeftReadingOnly };

struct THTMLDrawParams {
  TCustomImageList* Images = nullptr;
  Integer HitX = -1, HitY = -1;
  Integer FocusAnchor = -1;  // anchor number FocusAnchor + 1 gets a focus rectangle
  Integer HoverAnchor = -1;
  Integer ShadowOffset = 1;
  bool AnchorTestOnly = false;  // second pass lays out without painting
  bool HeightOnly = false;      // second pass skipped; layout continues below the rectangle
  bool ScalePictures = false;
  bool KeepColors = false;
  bool BlinkPhase = true;
  bool HoverMode = false;
  bool WordWrap = true;
  bool FormScaled = false;
  double PictureScale = 1.0;
  TColor AnchorColor = clBlue;
  TColor HoverColor = clNone;
  TColor HoverFontColor = clNone;
  TColor ShadowColor = clGray;
  THTMLPictureCache* PictureCache = nullptr;
  TPictureStore* PictureStore = nullptr;
  Integer LineSpacing = 0;
  THTMLBiDiMode BiDiMode = THTMLBiDiMode::LeftToRight;
  TColor HighlightColor = clHighlight;
  TColor HighlightTextColor = clHighlightText;
  TFontStyles HighlightStyle;
  float ScaleFactor = 1.0f;  // not above 0: the device's pixels per inch / 96
};

struct THTMLDrawResult {
  String AnchorRef;       // reference of the anchor at the hit point
  String AnchorTitle;     // its title
  Integer TextWidth = 0;  // widest line + 2
  Integer TextHeight = 0; // sum of the line heights; the height of "gh" when that is 0
  Integer AnchorAtPoint = -1;
  TRect AnchorRect;       // rectangle of the anchor at the hit point on its last line
  Integer LineCount = 0;
};

// Lays out and (unless measuring only) draws Text into Rect of Canvas; true when the hit point
// lies on an anchor with a reference. Never raises for any text.
bool HTMLDrawEx(TCanvas* Canvas, const String& Text, const TRect& Rect, const THTMLDrawParams& Params,
                THTMLDrawResult& Result);

// ---- The label control ----


DECLARE_ENUM(TAutoSizeType, asVertical, asHorizontal, asBoth)
DECLARE_ENUM(TGradientType, gtFullHorizontal, gtFullVertical, gtBottomLine, gtCenterLine, gtTopLine)
DECLARE_ENUM(TVAlignment, tvaTop, tvaCenter, tvaBottom)

using TAnchorClick = Closure<void(TObject* Sender, const String& Anchor)>;
using TAnchorHintEvent = Closure<void(TObject* Sender, String& Anchor)>;
using TNewSizeEvent = Closure<void(TObject* Sender, Integer NewWidth, Integer NewHeight)>;

// True for references that the shell may open from a click: http://, https://, ftp:// and
// mailto: at the start, in any letter case. Anything else (file:, paths, script schemes, a "://"
// further in) could start a program, so it only reaches OnAnchorClick.
bool IsWebReference(const String& Reference);
// Hands a web reference to the shell ("open", normal show). Tests put a recorder in its place;
// the previous function is returned.
using TShellOpenReference = void (*)(const String& Reference);
TShellOpenReference SetShellOpenReference(TShellOpenReference Value);

// A windowless label that lays out and draws its HTMLText through HTMLDrawEx, with a solid or
// gradient background, bevels and a border, sizing to its text, and anchors that answer the mouse.
class TMarkupLabel : public TCustomLabel {
  DECLARE_CLASS(TMarkupLabel, TCustomLabel)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CM_DIALOGCHAR, TCMDialogChar, CMDialogChar)
    MESSAGE_HANDLER(CM_HINTSHOW, TCMHintShow, CMHintShow)
    MESSAGE_HANDLER(CM_STYLECHANGED, TMessage, CMStyleChanged)
    MESSAGE_HANDLER(CM_MOUSEENTER, TCMMouseEnter, CMMouseEnter)
    MESSAGE_HANDLER(CM_MOUSELEAVE, TCMMouseLeave, CMMouseLeave)
  END_MESSAGE_MAP

 public:
  explicit TMarkupLabel(TComponent* AOwner);
  ~TMarkupLabel() override;

  TStrings* GetHTMLText() const;
  void SetHTMLText(TStrings* Value);
  bool GetAnchorHint() const { return FAnchorHint; }
  void SetAnchorHint(bool Value) { FAnchorHint = Value; }
  bool GetAutoSizing() const { return FAutoSizing; }
  void SetAutoSizing(bool Value);
  TAutoSizeType GetAutoSizeType() const { return FAutoSizeType; }
  void SetAutoSizeType(TAutoSizeType Value);
  TBevelCut GetBevelInner() const { return FBevelInner; }
  void SetBevelInner(TBevelCut Value);
  TBevelCut GetBevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut Value);
  Integer GetBevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(Integer Value);
  Integer GetBorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(Integer Value);
  TBorderStyle GetBorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  TColor GetBorderColor() const { return FBorderColor; }
  void SetBorderColor(TColor Value);
  TColor GetColorTo() const { return FColorTo; }
  void SetColorTo(TColor Value);
  bool GetEllipsis() const { return FEllipsis; }
  void SetEllipsis(bool Value);
  TGradientType GetGradientType() const { return FGradientType; }
  void SetGradientType(TGradientType Value);
  bool GetHintShowFull() const { return FHintShowFull; }
  void SetHintShowFull(bool Value) { FHintShowFull = Value; }
  bool GetHover() const { return FHover; }
  void SetHover(bool Value) { FHover = Value; }
  TColor GetHoverColor() const { return FHoverColor; }
  void SetHoverColor(TColor Value) { FHoverColor = Value; }
  TColor GetHoverFontColor() const { return FHoverFontColor; }
  void SetHoverFontColor(TColor Value) { FHoverFontColor = Value; }
  bool GetHTMLHint() const { return FHTMLHint; }
  void SetHTMLHint(bool Value) { FHTMLHint = Value; }
  TCustomImageList* GetImages() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  Integer GetLineWidth() const { return FLineWidth; }
  void SetLineWidth(Integer Value);
  Integer GetLineSpacing() const { return FLineSpacing; }
  void SetLineSpacing(Integer Value);
  TPictureStore* GetPictureStore() const { return FPictureStore; }
  void SetPictureStore(TPictureStore* Value);
  TColor GetShadowColor() const { return FShadowColor; }
  void SetShadowColor(TColor Value);
  Integer GetShadowOffset() const { return FShadowOffset; }
  void SetShadowOffset(Integer Value);
  TColor GetURLColor() const { return FURLColor; }
  void SetURLColor(TColor Value);
  TVAlignment GetVAlignment() const { return FVAlignment; }
  void SetVAlignment(TVAlignment Value);
  String GetVersion() const;
  void SetVersion(const String&) {}

  TAnchorClick GetOnAnchorClick() const { return FOnAnchorClick; }
  void SetOnAnchorClick(const TAnchorClick& Value) { FOnAnchorClick = Value; }
  TAnchorClick GetOnAnchorEnter() const { return FOnAnchorEnter; }
  void SetOnAnchorEnter(const TAnchorClick& Value) { FOnAnchorEnter = Value; }
  TAnchorClick GetOnAnchorExit() const { return FOnAnchorExit; }
  void SetOnAnchorExit(const TAnchorClick& Value) { FOnAnchorExit = Value; }
  TAnchorHintEvent GetOnAnchorHint() const { return FOnAnchorHint; }
  void SetOnAnchorHint(const TAnchorHintEvent& Value) { FOnAnchorHint = Value; }
  TNewSizeEvent GetOnNewSize() const { return FOnNewSize; }
  void SetOnNewSize(const TNewSizeEvent& Value) { FOnNewSize = Value; }

  // Size the text needs when wrapped to AMaxWidth.
  TSize GetSizeWithMaxWidth(Integer AMaxWidth);
  void BeginUpdate();
  void EndUpdate();
  // Paints at once.
  void Doit();
  // Draws the text into R of another canvas (a printer's).
  void HTMLPrint(TCanvas* Canvas, const TRect& R);
  void HilightText(const String& HiText, bool DoCase);
  void UnHilightText();
  void MarkText(const String& HiText, bool DoCase);
  void UnMarkText();
  void SetDPIScale(float ADPIScale);
  float GetDPIScaleFactor() const { return FScaleFactor; }
  // Plain text of the joined lines.
  String GetText();
  Integer GetTextWidth() const { return FTextWidth; }
  Integer GetTextHeight() const { return FTextHeight; }
  Integer GetUpdateCount() const { return FUpdateCount; }

  PUBLISHED_DECL(TMarkupLabel);

 protected:
  virtual Integer GetVersionNr() const;
  // The lines joined into one text (one blank between lines, none between "...>" and "<...").
  virtual String GetDisplayHTML();
  virtual void AnchorClick(const String& Anchor);
  virtual void HTMLChanged();
  // HTMLDrawEx with the caller's part of Params; adds the label's own settings and keeps the
  // text width and height.
  virtual bool DrawHTML(TCanvas* Canvas, const String& Text, const TRect& R, THTMLDrawParams Params,
                        THTMLDrawResult& Result);

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Paint() override;
  void ChangeScale(Integer M, Integer D, bool IsDpiChange) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void CMDialogChar(TCMDialogChar& Message);
  void CMHintShow(TCMHintShow& Message);
  void CMStyleChanged(TMessage& Message);
  void CMMouseEnter(TCMMouseEnter& Message);
  void CMMouseLeave(TCMMouseLeave& Message);

 private:
  bool GetAnchorAt(Integer X, Integer Y, String& Anchor, bool UseTitle, TRect& AnchorRect);
  TSize MeasureHTMLSize();
  TRect LayoutRect();
  float GetDPIScale();
  void ApplyStyleColors();
  void ApplyAutoSizing();
  void SetTagged(const String& Text);
  void HTMLTextChanged(TObject* Sender);
  void ImagesChanged(TObject* Sender);
  void InvalidateOnParent(const TRect& R);
  void PaintBackground(TCanvas* C, const TRect& R);
  bool HoverRectValid() const { return FHoverRect.Left != -1; }

  std::unique_ptr<TStringList> FHTMLText;
  std::unique_ptr<THTMLPictureCache> FPictureCache;
  std::unique_ptr<TChangeLink> FImageChangeLink;
  TComponentRef<TCustomImageList> FImages;
  TComponentRef<TPictureStore> FPictureStore;
  bool FAnchorHint = false;
  bool FAutoSizing = false;
  TAutoSizeType FAutoSizeType = asVertical;
  TBevelCut FBevelInner = bvNone;
  TBevelCut FBevelOuter = bvNone;
  Integer FBevelWidth = 1;
  Integer FBorderWidth = 0;
  TBorderStyle FBorderStyle = bsNone;
  TColor FBorderColor = clBlack;
  TColor FColorTo = clNone;
  bool FEllipsis = false;
  TGradientType FGradientType = gtFullHorizontal;
  bool FHintShowFull = false;
  bool FHover = false;
  TColor FHoverColor = clNone;
  TColor FHoverFontColor = clNone;
  bool FHTMLHint = false;
  Integer FLineWidth = 2;
  Integer FLineSpacing = 0;
  TColor FShadowColor = clGray;
  Integer FShadowOffset = 2;
  TColor FURLColor = clBlue;
  TVAlignment FVAlignment = tvaTop;
  TAnchorClick FOnAnchorClick, FOnAnchorEnter, FOnAnchorExit;
  TAnchorHintEvent FOnAnchorHint;
  TNewSizeEvent FOnNewSize;

  String FAnchor;           // reference under the mouse
  Integer FHoverAnchor = -1;
  Integer FOldHoverAnchor = -1;
  TRect FHoverRect{-1, -1, -1, -1};
  Integer FUpdateCount = 0;
  Integer FTextWidth = 0;
  Integer FTextHeight = 0;
  bool FFormScaled = false;
  float FScaleFactor = 1.0f;
  bool FIsStyled = false;
  TColor FStyleFontColor = clWindowText;
};
