#pragma once
// MarkupLabel: the label control that shows marked-up text (MarkupText) through the layout engine
// (MarkupDraw), with backgrounds, bevels, sizing to the text, and anchors that answer the mouse.

#include <memory>

#include "framework/Classes.h"
#include "framework/ExtCtrls.h"
#include "framework/ImgList.h"
#include "framework/StdCtrls.h"
#include "htmllabel/MarkupDraw.h"
#include "htmllabel/PictureStore.h"

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
