#pragma once
// ExtCtrls: TTimer, the panel, the radio group, the image, the shape and the bevel, and the
// Frame3D routine that draws their bevels.

#include "framework/StdCtrls.h"
#include "framework/classes/Component.h"
#include "framework/TypInfo.h"

class TPicture;
class TStringList;

// Fires OnTimer every Interval milliseconds on the UI thread while Enabled. Changing Interval,
// Enabled or OnTimer restarts it; an Interval of 0 stops it.
class TTimer : public TComponent {
  DECLARE_CLASS(TTimer, TComponent)
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  Cardinal GetInterval() const { return FInterval; }
  void SetInterval(Cardinal Value);
  TNotifyEvent GetOnTimer() const { return FOnTimer; }
  void SetOnTimer(const TNotifyEvent& Value);

  PUBLISHED_DECL(TTimer);

 protected:
  virtual void Timer();

 private:
  static NativeInt __stdcall WndProc(void* Wnd, Cardinal Msg, NativeUInt WParam, NativeInt LParam);
  void UpdateTimer();
  void* FWindowHandle = nullptr;
  bool FEnabled = true;
  Cardinal FInterval = 1000;
  TNotifyEvent FOnTimer;
};

DECLARE_ENUM(TBevelCut, bvNone, bvLowered, bvRaised, bvSpace)
DECLARE_ENUM(TVerticalAlignment, taAlignTop, taAlignBottom, taVerticalCenter)
DECLARE_ENUM(TShapeType, stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle)
DECLARE_ENUM(TBevelStyle, bsLowered, bsRaised)
DECLARE_ENUM(TBevelKind, bkNone, bkTile, bkSoft, bkFlat)
DECLARE_ENUM(TBevelEdge, beLeft, beTop, beRight, beBottom)
using TBevelEdges = Set<TBevelEdge, 8>;
DECLARE_ENUM(TBevelShape, bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer)

// Draws Width rings inside Rect, TopColor on the top and left edges and BottomColor on the
// others, and shrinks Rect by them.
void Frame3D(TCanvas* Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, Integer Width);

class TCustomPanel : public TCustomControl {
  DECLARE_CLASS(TCustomPanel, TCustomControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CM_TEXTCHANGED, TMessage, CMTextChanged)
    MESSAGE_HANDLER(WM_NCCALCSIZE, TWMNCCalcSize, WMNCCalcSize)
    MESSAGE_HANDLER(WM_NCPAINT, TWMNCPaint, WMNCPaint)
  END_MESSAGE_MAP

 public:
  explicit TCustomPanel(TComponent* AOwner);
  // A bevel drawn in the window's frame on the chosen edges, outside the client area.
  TBevelKind GetBevelKind() const { return FBevelKind; }
  void SetBevelKind(TBevelKind Value);
  TBevelEdges GetBevelEdges() const { return FBevelEdges; }
  void SetBevelEdges(TBevelEdges Value);
  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  TVerticalAlignment GetVerticalAlignment() const { return FVerticalAlignment; }
  void SetVerticalAlignment(TVerticalAlignment Value);
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
  bool GetShowCaption() const { return FShowCaption; }
  void SetShowCaption(bool Value);
  bool GetParentBackground() const { return FControlStyle.Contains(csParentBackground); }
  void SetParentBackground(bool Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AdjustClientRect(TRect& Rect) override;
  void Paint() override;
  void CMTextChanged(TMessage& Message);
  void WMNCCalcSize(TWMNCCalcSize& Message);
  void WMNCPaint(TWMNCPaint& Message);

 private:
  void Changed();
  void FrameChanged();
  Integer EdgeSize() const { return FBevelKind == bkNone ? 0 : FBevelKind == bkFlat ? 1 : 2; }
  TBevelKind FBevelKind = bkNone;
  TBevelEdges FBevelEdges{beLeft, beTop, beRight, beBottom};
  TAlignment FAlignment = taCenter;
  TVerticalAlignment FVerticalAlignment = taVerticalCenter;
  TBevelCut FBevelInner = bvNone;
  TBevelCut FBevelOuter = bvRaised;
  Integer FBevelWidth = 1;
  Integer FBorderWidth = 0;
  TBorderStyle FBorderStyle = bsNone;
  bool FShowCaption = true;
};

class TPanel : public TCustomPanel {
  DECLARE_CLASS(TPanel, TCustomPanel)
 public:
  using TCustomPanel::TCustomPanel;
  PUBLISHED_DECL(TPanel);
};

// A group box holding one radio button per item; the buttons are made again whenever the
// items change.
class TCustomRadioGroup : public TCustomGroupBox {
  DECLARE_CLASS(TCustomRadioGroup, TCustomGroupBox)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CM_ENABLEDCHANGED, TMessage, CMEnabledChanged)
    MESSAGE_HANDLER(CM_FONTCHANGED, TMessage, CMFontChanged)
    MESSAGE_HANDLER(WM_SIZE, TWMSize, WMSize)
  END_MESSAGE_MAP

 public:
  explicit TCustomRadioGroup(TComponent* AOwner);
  ~TCustomRadioGroup() override;
  TStrings* GetItems() const;
  void SetItems(TStrings* Value);
  Integer GetItemIndex() const { return FItemIndex; }
  void SetItemIndex(Integer Value);
  Integer GetColumns() const { return FColumns; }
  void SetColumns(Integer Value);
  // The radio button of item Index; null when somebody freed that button.
  TRadioButton* GetButtons(Integer Index) const { return FButtons.at(Index); }
  Integer GetButtonCount() const { return Integer(FButtons.size()); }
  void FlipChildren(bool AllLevels);

 protected:
  void Loaded() override;
  void CMEnabledChanged(TMessage& Message);
  void CMFontChanged(TMessage& Message);
  void WMSize(TWMSize& Message);

 private:
  friend class TGroupButton;
  void ItemsChange(TObject* Sender);
  void UpdateButtons();
  void ArrangeButtons();
  void ButtonClick(TRadioButton* Button);
  std::unique_ptr<TStringList> FItems;
  std::vector<TComponentRef<TRadioButton>> FButtons;
  Integer FItemIndex = -1;
  Integer FColumns = 1;
  bool FUpdating = false;
};

class TRadioGroup : public TCustomRadioGroup {
  DECLARE_CLASS(TRadioGroup, TCustomRadioGroup)
 public:
  using TCustomRadioGroup::TCustomRadioGroup;
  PUBLISHED_DECL(TRadioGroup);
};

class TImage : public TGraphicControl {
  DECLARE_CLASS(TImage, TGraphicControl)
 public:
  explicit TImage(TComponent* AOwner);
  ~TImage() override;
  TPicture* GetPicture() const { return FPicture.get(); }
  void SetPicture(TPicture* Value);
  bool GetAutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  bool GetCenter() const { return FCenter; }
  void SetCenter(bool Value);
  bool GetProportional() const { return FProportional; }
  void SetProportional(bool Value);
  bool GetStretch() const { return FStretch; }
  void SetStretch(bool Value);
  bool GetTransparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  // Where the picture is drawn in the client area.
  TRect DestRect();
  PUBLISHED_DECL(TImage);

 protected:
  void Paint() override;

 private:
  void PictureChanged(TObject* Sender);
  std::unique_ptr<TPicture> FPicture;
  bool FAutoSize = false;
  bool FCenter = false;
  bool FProportional = false;
  bool FStretch = false;
  bool FTransparent = false;
};

class TShape : public TGraphicControl {
  DECLARE_CLASS(TShape, TGraphicControl)
 public:
  explicit TShape(TComponent* AOwner);
  ~TShape() override;
  TBrush* GetBrush() const { return FBrush.get(); }
  void SetBrush(TBrush* Value);
  TPen* GetPen() const { return FPen.get(); }
  void SetPen(TPen* Value);
  TShapeType GetShape() const { return FShape; }
  void SetShape(TShapeType Value);
  PUBLISHED_DECL(TShape);

 protected:
  void Paint() override;

 private:
  void StyleChanged(TObject* Sender) { Invalidate(); }
  std::unique_ptr<TPen> FPen;
  std::unique_ptr<TBrush> FBrush;
  TShapeType FShape = stRectangle;
};

class TBevel : public TGraphicControl {
  DECLARE_CLASS(TBevel, TGraphicControl)
 public:
  explicit TBevel(TComponent* AOwner);
  TBevelShape GetShape() const { return FShape; }
  void SetShape(TBevelShape Value);
  TBevelStyle GetStyle() const { return FStyle; }
  void SetStyle(TBevelStyle Value);
  PUBLISHED_DECL(TBevel);

 protected:
  void Paint() override;

 private:
  TBevelShape FShape = bsBox;
  TBevelStyle FStyle = bsLowered;
};

// Registers the unit's components for the component streams.
void RegisterExtControls();
