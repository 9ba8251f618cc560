#pragma once
// Buttons: TSpeedButton, a windowless button with a glyph that can stay down alone or in a
// group, and DrawButtonFace, the push-button frame it is drawn with.

#include "framework/ExtCtrls.h"

class TBitmap;

DECLARE_ENUM(TButtonLayout, blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom)
DECLARE_ENUM(TButtonState, bsUp, bsDisabled, bsDown, bsExclusive)
DECLARE_ENUM(TButtonStyle, bsAutoDetect, bsWin31, bsNew)
using TNumGlyphs = Integer;

// Paints a push button's face and frame into Client (sunken when IsDown, with a dark ring when
// IsFocused) and answers the rectangle left inside the frame.
TRect DrawButtonFace(TCanvas* Canvas, const TRect& Client, Integer BevelWidth, TButtonStyle Style, bool IsRounded,
                     bool IsDown, bool IsFocused);

class TSpeedButton : public TGraphicControl {
  DECLARE_CLASS(TSpeedButton, TGraphicControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CM_BUTTONPRESSED, TMessage, CMButtonPressed)
    MESSAGE_HANDLER(CM_MOUSEENTER, TCMMouseEnter, CMMouseEnter)
    MESSAGE_HANDLER(CM_MOUSELEAVE, TCMMouseLeave, CMMouseLeave)
    MESSAGE_HANDLER(CM_DIALOGCHAR, TCMDialogChar, CMDialogChar)
    MESSAGE_HANDLER(CM_TEXTCHANGED, TMessage, CMTextChanged)
  END_MESSAGE_MAP

 public:
  explicit TSpeedButton(TComponent* AOwner);
  ~TSpeedButton() override;

  bool GetAllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool Value);
  bool GetDown() const { return FDown; }
  void SetDown(bool Value);
  bool GetFlat() const { return FFlat; }
  void SetFlat(bool Value);
  TBitmap* GetGlyph() const { return FGlyph.get(); }
  void SetGlyph(TBitmap* Value);
  Integer GetGroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(Integer Value);
  TButtonLayout GetLayout() const { return FLayout; }
  void SetLayout(TButtonLayout Value);
  Integer GetMargin() const { return FMargin; }
  void SetMargin(Integer Value);
  TNumGlyphs GetNumGlyphs() const { return FNumGlyphs; }
  void SetNumGlyphs(TNumGlyphs Value);
  Integer GetSpacing() const { return FSpacing; }
  void SetSpacing(Integer Value);
  TButtonState GetState() const { return FState; }
  bool GetMouseInControl() const { return FMouseInControl; }
  PUBLISHED_DECL(TSpeedButton);

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void CMButtonPressed(TMessage& Message);
  void CMMouseEnter(TCMMouseEnter& Message);
  void CMMouseLeave(TCMMouseLeave& Message);
  void CMDialogChar(TCMDialogChar& Message);
  void CMTextChanged(TMessage& Message);

 private:
  void UpdateExclusive();
  void GlyphChanged(TObject* Sender);
  void DrawGlyphAndText(TRect Client, Integer Offset);
  std::unique_ptr<TBitmap> FGlyph;
  bool FAllowAllUp = false;
  bool FDown = false;
  bool FDragging = false;
  bool FFlat = false;
  bool FMouseInControl = false;
  Integer FGroupIndex = 0;
  TButtonLayout FLayout = blGlyphLeft;
  Integer FMargin = -1;
  TNumGlyphs FNumGlyphs = 1;
  Integer FSpacing = 4;
  TButtonState FState = bsUp;
};

void RegisterButtonControls();
