#pragma once
// TControl: a visual component with a parent, bounds, alignment and anchors, visibility,
// enabling, text, hints, the mouse events and the message plumbing every control shares
// (WindowProc -> WndProc -> Dispatch -> the message map -> DefaultHandler).

#include <memory>
#include <new>

#include "framework/controls/ControlTypes.h"
#include "framework/Menus.h"
#include "framework/graphics/GraphicsObjects.h"
#include "framework/graphics/Canvas.h"
#include "framework/controls/Touch.h"

class TBasicAction;
class TControlActionLink;
class TCustomForm;

// Left/top/right/bottom insets with a change notice: Margins (outside) and Padding (inside).
class TMargins : public TPersistent {
  DECLARE_CLASS(TMargins, TPersistent)
 public:
  explicit TMargins(TControl* Control, Integer Default = 3);
  void Assign(TPersistent* Source) override;
  Integer GetLeft() const { return FLeft; }
  Integer GetTop() const { return FTop; }
  Integer GetRight() const { return FRight; }
  Integer GetBottom() const { return FBottom; }
  void SetLeft(Integer Value) { SetMargins(Value, FTop, FRight, FBottom); }
  void SetTop(Integer Value) { SetMargins(FLeft, Value, FRight, FBottom); }
  void SetRight(Integer Value) { SetMargins(FLeft, FTop, Value, FBottom); }
  void SetBottom(Integer Value) { SetMargins(FLeft, FTop, FRight, Value); }
  void SetMargins(Integer ALeft, Integer ATop, Integer ARight, Integer ABottom);
  TControl* GetControl() const { return FControl; }
  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }
  PUBLISHED_DECL(TMargins);

 private:
  TControl* FControl;
  Integer FLeft, FTop, FRight, FBottom;
  TNotifyEvent FOnChange;
};

class TPadding : public TMargins {
  DECLARE_CLASS(TPadding, TMargins)
 public:
  explicit TPadding(TControl* Control) : TMargins(Control, 0) {}
  PUBLISHED_DECL(TPadding);
};

// Minimum and maximum size; 0 means no limit.
class TSizeConstraints : public TPersistent {
  DECLARE_CLASS(TSizeConstraints, TPersistent)
 public:
  explicit TSizeConstraints(TControl* Control) : FControl(Control) {}
  void Assign(TPersistent* Source) override;
  Integer GetMinWidth() const { return FMinWidth; }
  Integer GetMinHeight() const { return FMinHeight; }
  Integer GetMaxWidth() const { return FMaxWidth; }
  Integer GetMaxHeight() const { return FMaxHeight; }
  void SetMinWidth(Integer Value);
  void SetMinHeight(Integer Value);
  void SetMaxWidth(Integer Value);
  void SetMaxHeight(Integer Value);
  // Scales the non-zero limits by M/D without clamping the control on the way.
  void ChangeScale(Integer M, Integer D);
  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }
  PUBLISHED_DECL(TSizeConstraints);

 private:
  void Change();
  TControl* FControl;
  Integer FMinWidth = 0, FMinHeight = 0, FMaxWidth = 0, FMaxHeight = 0;
  TNotifyEvent FOnChange;
};

class TControl : public TComponent {
  DECLARE_CLASS(TControl, TComponent)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_LBUTTONDOWN, TWMMouse, WMLButtonDown)
    MESSAGE_HANDLER(WM_RBUTTONDOWN, TWMMouse, WMRButtonDown)
    MESSAGE_HANDLER(WM_MBUTTONDOWN, TWMMouse, WMMButtonDown)
    MESSAGE_HANDLER(WM_LBUTTONDBLCLK, TWMMouse, WMLButtonDblClk)
    MESSAGE_HANDLER(WM_RBUTTONDBLCLK, TWMMouse, WMRButtonDblClk)
    MESSAGE_HANDLER(WM_MBUTTONDBLCLK, TWMMouse, WMMButtonDblClk)
    MESSAGE_HANDLER(WM_LBUTTONUP, TWMMouse, WMLButtonUp)
    MESSAGE_HANDLER(WM_RBUTTONUP, TWMMouse, WMRButtonUp)
    MESSAGE_HANDLER(WM_MBUTTONUP, TWMMouse, WMMButtonUp)
    MESSAGE_HANDLER(WM_MOUSEMOVE, TWMMouse, WMMouseMove)
    MESSAGE_HANDLER(WM_CANCELMODE, TWMCancelMode, WMCancelMode)
    MESSAGE_HANDLER(WM_CONTEXTMENU, TWMContextMenu, WMContextMenu)
    MESSAGE_HANDLER(CM_MOUSEENTER, TCMMouseEnter, CMMouseEnter)
    MESSAGE_HANDLER(CM_MOUSELEAVE, TCMMouseLeave, CMMouseLeave)
    MESSAGE_HANDLER(CM_MOUSEWHEEL, TCMMouseWheel, CMMouseWheel)
    MESSAGE_HANDLER(CM_HITTEST, TCMHitTest, CMHitTest)
    MESSAGE_HANDLER(CM_PARENTSHOWHINTCHANGED, TMessage, CMParentShowHintChanged)
    MESSAGE_HANDLER(CM_PARENTBIDIMODECHANGED, TMessage, CMParentBiDiModeChanged)
    MESSAGE_HANDLER(CM_VISIBLECHANGED, TMessage, CMVisibleChanged)
    MESSAGE_HANDLER(CM_ENABLEDCHANGED, TMessage, CMEnabledChanged)
    MESSAGE_HANDLER(CM_PARENTFONTCHANGED, TMessage, CMParentFontChanged)
    MESSAGE_HANDLER(CM_PARENTCOLORCHANGED, TMessage, CMParentColorChanged)
    MESSAGE_HANDLER(CM_FONTCHANGED, TMessage, CMFontChanged)
    MESSAGE_HANDLER(CM_COLORCHANGED, TMessage, CMColorChanged)
  END_MESSAGE_MAP

 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  // ---- Messages
  LRESULT Perform(Cardinal Msg, WPARAM WParam = 0, LPARAM LParam = 0);
  LRESULT Perform(TMessage& Message);
  TWndMethod GetWindowProc() const { return FWindowProc; }
  void SetWindowProc(const TWndMethod& Value) { FWindowProc = Value; }
  void DefaultHandler(void* Message) override;
  // Sends Message to the control and returns its Result; the control may be a subclass.
  virtual void WndProc(TMessage& Message);

  // ---- Parent and geometry
  TWinControl* GetParent() const { return FParent; }
  virtual void SetParent(TWinControl* AParent);
  void SetParentComponent(TComponent* Value) override;
  TComponent* GetParentComponent() const override;
  bool HasParent() const override { return true; }
  Integer GetLeft() const { return FLeft; }
  Integer GetTop() const { return FTop; }
  Integer GetWidth() const { return FWidth; }
  Integer GetHeight() const { return FHeight; }
  void SetLeft(Integer Value) { SetBounds(Value, FTop, FWidth, FHeight); }
  void SetTop(Integer Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
  void SetWidth(Integer Value) { SetBounds(FLeft, FTop, Value, FHeight); }
  void SetHeight(Integer Value) { SetBounds(FLeft, FTop, FWidth, Value); }
  virtual void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight);
  TRect GetBoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
  virtual TRect GetClientRect();
  Integer GetClientWidth() { return GetClientRect().Width(); }
  Integer GetClientHeight() { return GetClientRect().Height(); }
  void SetClientWidth(Integer Value) { SetClientSize({Value, GetClientHeight()}); }
  void SetClientHeight(Integer Value) { SetClientSize({GetClientWidth(), Value}); }
  virtual TPoint GetClientOrigin();
  TPoint ClientToScreen(const TPoint& P) { TPoint O = GetClientOrigin(); return {P.X + O.X, P.Y + O.Y}; }
  TPoint ScreenToClient(const TPoint& P) { TPoint O = GetClientOrigin(); return {P.X - O.X, P.Y - O.Y}; }
  TPoint ClientToParent(const TPoint& P, TWinControl* AParent = nullptr);
  TPoint ParentToClient(const TPoint& P, TWinControl* AParent = nullptr);
  TAlign GetAlign() const { return FAlign; }
  void SetAlign(TAlign Value);
  TAnchors GetAnchors() const { return FAnchors; }
  void SetAnchors(TAnchors Value);
  bool GetAlignWithMargins() const { return FAlignWithMargins; }
  void SetAlignWithMargins(bool Value);
  TMargins* GetMargins() const { return FMargins.get(); }
  void SetMargins(TMargins* Value) { FMargins->Assign(Value); }
  TSizeConstraints* GetConstraints() const { return FConstraints.get(); }
  void SetConstraints(TSizeConstraints* Value) { FConstraints->Assign(Value); }
  void BringToFront() { SetZOrder(true); }
  void SendToBack() { SetZOrder(false); }
  virtual void SetZOrder(bool TopMost);

  // ---- State
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  virtual bool GetEnabled() const { return FEnabled; }
  virtual void SetEnabled(bool Value);
  // True when the control and every parent are visible (and, for windows, shown).
  bool IsShowing() const;
  String GetText();
  void SetText(const String& Value);
  String GetCaption() { return GetText(); }
  void SetCaption(const String& Value) { SetText(Value); }
  String GetHint() const { return FHint; }
  void SetHint(const String& Value) { FHint = Value; }
  bool GetShowHint() const { return FShowHint; }
  void SetShowHint(bool Value);
  bool GetParentShowHint() const { return FParentShowHint; }
  bool IsShowHintStored() const { return !FParentShowHint; }
  void SetParentShowHint(bool Value);
  TCursor GetCursor() const { return FCursor; }
  void SetCursor(TCursor Value);
  TPopupMenu* GetPopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* Value);
  TBiDiMode GetBiDiMode() const { return FBiDiMode; }
  void SetBiDiMode(TBiDiMode Value);
  bool GetParentBiDiMode() const { return FParentBiDiMode; }
  void SetParentBiDiMode(bool Value);
  bool IsRightToLeft() const { return FBiDiMode != bdLeftToRight; }
  virtual bool UseRightToLeftAlignment() const { return FBiDiMode == bdRightToLeft; }
  virtual bool UseRightToLeftReading() const { return FBiDiMode != bdLeftToRight; }
  virtual bool UseRightToLeftScrollBar() const {
    return FBiDiMode == bdRightToLeft || FBiDiMode == bdRightToLeftNoAlign;
  }
  LongInt DrawTextBiDiModeFlags(LongInt Flags) const;
  LongInt DrawTextBiDiModeFlagsReadingOnly() const;
  TControlStyle GetControlStyle() const { return FControlStyle; }
  void SetControlStyle(TControlStyle Value) { FControlStyle = Value; }
  TControlState GetControlState() const { return FControlState; }
  void SetControlState(TControlState Value) { FControlState = Value; }
  TStyleElements GetStyleElements() const { return FStyleElements; }
  void SetStyleElements(TStyleElements Value);
  bool GetMouseCapture();
  void SetMouseCapture(bool Value);
  TDragMode GetDragMode() const { return FDragMode; }
  virtual void SetDragMode(TDragMode Value) { FDragMode = Value; }
  TDragKind GetDragKind() const { return FDragKind; }
  void SetDragKind(TDragKind Value) { FDragKind = Value; }
  TCursor GetDragCursor() const { return FDragCursor; }
  void SetDragCursor(TCursor Value) { FDragCursor = Value; }
  bool Dragging() const;
  void BeginDrag(bool Immediate, Integer Threshold = -1);
  void EndDrag(bool Drop);
  Single GetScaleFactor() const { return FScaleFactor; }
  Integer GetCurrentPPI() const { return FCurrentPPI; }
  // The DPI the control's sizes are in; set without scaling (a form read from a resource).
  void SetCurrentPPI(Integer Value) { if (Value > 0) FCurrentPPI = Value; }
  void ScaleForPPI(Integer NewPPI);

  TFont* GetFont() const { return FFont.get(); }
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  bool GetParentFont() const { return FParentFont; }
  void SetParentFont(bool Value);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value);
  // Made on first use.
  TTouchManager* GetTouch();
  void SetTouch(TTouchManager* Value) { GetTouch()->Assign(Value); }
  // Whether a touch setting differs from the control's default and goes into the form.
  virtual bool IsTouchPropertyStored(TTouchProperty AProperty);
  bool GetParentColor() const { return FParentColor; }
  void SetParentColor(bool Value);
  // A DC for drawing on the control (a windowless one draws on its parent's, moved and clipped).
  virtual HDC GetDeviceContext(HWND& WindowHandle);

  // ---- Actions
  TBasicAction* GetAction() const;
  void SetAction(TBasicAction* Value);
  TControlActionLink* GetActionLink() const { return FActionLink.get(); }
  virtual void InitiateAction();

  // ---- Painting
  virtual void Invalidate();
  virtual void Update();
  virtual void Repaint();
  void Refresh() { Repaint(); }

  // ---- Events
  TNotifyEvent GetOnClick() const { return FOnClick; }
  void SetOnClick(const TNotifyEvent& Value) { FOnClick = Value; }
  TNotifyEvent GetOnDblClick() const { return FOnDblClick; }
  void SetOnDblClick(const TNotifyEvent& Value) { FOnDblClick = Value; }
  TMouseEvent GetOnMouseDown() const { return FOnMouseDown; }
  void SetOnMouseDown(const TMouseEvent& Value) { FOnMouseDown = Value; }
  TMouseEvent GetOnMouseUp() const { return FOnMouseUp; }
  void SetOnMouseUp(const TMouseEvent& Value) { FOnMouseUp = Value; }
  TMouseMoveEvent GetOnMouseMove() const { return FOnMouseMove; }
  void SetOnMouseMove(const TMouseMoveEvent& Value) { FOnMouseMove = Value; }
  TNotifyEvent GetOnMouseEnter() const { return FOnMouseEnter; }
  void SetOnMouseEnter(const TNotifyEvent& Value) { FOnMouseEnter = Value; }
  TNotifyEvent GetOnMouseLeave() const { return FOnMouseLeave; }
  void SetOnMouseLeave(const TNotifyEvent& Value) { FOnMouseLeave = Value; }
  TMouseWheelEvent GetOnMouseWheel() const { return FOnMouseWheel; }
  void SetOnMouseWheel(const TMouseWheelEvent& Value) { FOnMouseWheel = Value; }
  TMouseWheelUpDownEvent GetOnMouseWheelDown() const { return FOnMouseWheelDown; }
  void SetOnMouseWheelDown(const TMouseWheelUpDownEvent& Value) { FOnMouseWheelDown = Value; }
  TMouseWheelUpDownEvent GetOnMouseWheelUp() const { return FOnMouseWheelUp; }
  void SetOnMouseWheelUp(const TMouseWheelUpDownEvent& Value) { FOnMouseWheelUp = Value; }
  TNotifyEvent GetOnResize() const { return FOnResize; }
  void SetOnResize(const TNotifyEvent& Value) { FOnResize = Value; }
  TContextPopupEvent GetOnContextPopup() const { return FOnContextPopup; }
  void SetOnContextPopup(const TContextPopupEvent& Value) { FOnContextPopup = Value; }
  TCanResizeEvent GetOnCanResize() const { return FOnCanResize; }
  void SetOnCanResize(const TCanResizeEvent& Value) { FOnCanResize = Value; }
  TDragOverEvent GetOnDragOver() const { return FOnDragOver; }
  void SetOnDragOver(const TDragOverEvent& Value) { FOnDragOver = Value; }
  TDragDropEvent GetOnDragDrop() const { return FOnDragDrop; }
  void SetOnDragDrop(const TDragDropEvent& Value) { FOnDragDrop = Value; }
  TStartDragEvent GetOnStartDrag() const { return FOnStartDrag; }
  void SetOnStartDrag(const TStartDragEvent& Value) { FOnStartDrag = Value; }
  TEndDragEvent GetOnEndDrag() const { return FOnEndDrag; }
  void SetOnEndDrag(const TEndDragEvent& Value) { FOnEndDrag = Value; }

  // The drag-and-drop virtuals, public so the drag manager can reach them.
  virtual void DragOver(TObject* Source, Integer X, Integer Y, TDragState State, bool& Accept);
  virtual void DragDrop(TObject* Source, Integer X, Integer Y);
  virtual void DoStartDrag(TDragObject*& DragObject);
  virtual void DoEndDrag(TObject* Target, Integer X, Integer Y);

  virtual void Click();

  PUBLISHED_DECL(TControl);

  // Records the bounds and the parent's client size that anchors are kept against.
  void UpdateAnchorRules();
  // Moves and sizes without recording new anchor rules (alignment, anchors and scrolling).
  void SetBoundsByLayout(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight);

 protected:
  virtual void SetClientSize(const TSize& Value);
  virtual void DblClick();
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y);
  virtual void MouseMove(TShiftState Shift, Integer X, Integer Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y);
  virtual bool DoMouseWheel(TShiftState Shift, Integer WheelDelta, const TPoint& MousePos);
  virtual bool DoMouseWheelDown(TShiftState Shift, const TPoint& MousePos);
  virtual bool DoMouseWheelUp(TShiftState Shift, const TPoint& MousePos);
  virtual void DoContextPopup(const TPoint& MousePos, bool& Handled);
  // An interactive gesture over the control; Handled keeps it from the system's default.
  virtual void DoGesture(const TGestureEventInfo& EventInfo, bool& Handled) {}
  virtual void Resize();
  virtual bool CanResize(Integer& NewWidth, Integer& NewHeight);
  virtual void ConstrainedResize(Integer& MinWidth, Integer& MinHeight, Integer& MaxWidth, Integer& MaxHeight) {}
  virtual void ChangeScale(Integer M, Integer D, bool IsDpiChange);
  virtual void ActionChange(TObject* Sender, bool CheckDefaults);
  virtual void VisibleChanging() {}
  virtual void Loaded() override;
  // Asks the parent to lay its children out again because this control moved or changed.
  void RequestAlign();
  void SendCancelMode(TControl* Sender);
  void DoMouseDown(TWMMouse& Message, TMouseButton Button, TShiftState Shift);
  void DoMouseUp(TWMMouse& Message, TMouseButton Button);
  void InvalidateControl(bool IsVisible, bool IsOpaque);
  void ApplyConstraints(Integer& AWidth, Integer& AHeight);

  void WMLButtonDown(TWMMouse& Message);
  void WMRButtonDown(TWMMouse& Message);
  void WMMButtonDown(TWMMouse& Message);
  void WMLButtonDblClk(TWMMouse& Message);
  void WMRButtonDblClk(TWMMouse& Message);
  void WMMButtonDblClk(TWMMouse& Message);
  void WMLButtonUp(TWMMouse& Message);
  void WMRButtonUp(TWMMouse& Message);
  void WMMButtonUp(TWMMouse& Message);
  void WMMouseMove(TWMMouse& Message);
  void WMCancelMode(TWMCancelMode& Message);
  void WMContextMenu(TWMContextMenu& Message);
  void CMMouseEnter(TCMMouseEnter& Message);
  void CMMouseLeave(TCMMouseLeave& Message);
  void CMMouseWheel(TCMMouseWheel& Message);
  void CMHitTest(TCMHitTest& Message);
  void CMParentShowHintChanged(TMessage& Message);
  void CMParentBiDiModeChanged(TMessage& Message);
  void CMVisibleChanged(TMessage& Message);
  void CMEnabledChanged(TMessage& Message);
  void CMParentFontChanged(TMessage& Message);
  void CMParentColorChanged(TMessage& Message);
  void CMFontChanged(TMessage& Message);
  void CMColorChanged(TMessage& Message);
  void FontChanged(TObject* Sender);

  TWinControl* FParent = nullptr;
  Integer FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  TAlign FAlign = alNone;
  TAnchors FAnchors{akLeft, akTop};
  bool FAlignWithMargins = false;
  bool FVisible = true;
  bool FEnabled = true;
  String FText;
  String FHint;
  bool FShowHint = false;
  bool FParentShowHint = true;
  TCursor FCursor = crDefault;
  TComponentRef<TPopupMenu> FPopupMenu;
  TBiDiMode FBiDiMode = bdLeftToRight;
  bool FParentBiDiMode = true;
  TControlStyle FControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  TControlState FControlState;
  TStyleElements FStyleElements{seFont, seClient, seBorder};
  TDragMode FDragMode = dmManual;
  TDragKind FDragKind = dkDrag;
  TCursor FDragCursor = crDrag;
  Single FScaleFactor = 1.0f;
  Integer FCurrentPPI = 96;
  std::unique_ptr<TMargins> FMargins;
  std::unique_ptr<TSizeConstraints> FConstraints;
  std::unique_ptr<TControlActionLink> FActionLink;
  Integer FWheelAccumulator = 0;
  std::unique_ptr<TFont> FFont;
  std::unique_ptr<TTouchManager> FTouch;
  bool FParentFont = true;
  TColor FColor = clWindow;
  bool FParentColor = false;
  bool FSettingParentFont = false;

 private:
  friend class TWinControl;
  TWndMethod FWindowProc;
  // Anchor rules: the bounds and the parent's client size they were last set against.
  TRect FAnchorOrigin;
  TSize FOriginalParentSize;
  bool FAnchorRulesValid = false;
  bool FLayoutMove = false;
  TNotifyEvent FOnClick, FOnDblClick, FOnMouseEnter, FOnMouseLeave, FOnResize;
  TMouseEvent FOnMouseDown, FOnMouseUp;
  TMouseMoveEvent FOnMouseMove;
  TMouseWheelEvent FOnMouseWheel;
  TMouseWheelUpDownEvent FOnMouseWheelDown, FOnMouseWheelUp;
  TContextPopupEvent FOnContextPopup;
  TCanResizeEvent FOnCanResize;
  TDragOverEvent FOnDragOver;
  TDragDropEvent FOnDragDrop;
  TStartDragEvent FOnStartDrag;
  TEndDragEvent FOnEndDrag;
};

using TControlClass = TClassRef<TControl>;

// Capture on behalf of a control; a windowless control's parent window holds the real capture.
TControl* GetCaptureControl();
void SetCaptureControl(TControl* Control);
// The parts of a hint "short|long": the short one for the hint window, the long one for a status
// line; a hint without "|" is both.
String GetShortHint(const String& Hint);
String GetLongHint(const String& Hint);
// The framework control that owns a window, or null.
TWinControl* FindControl(HWND Handle);
// The innermost control under a screen point (windowless ones included when AllowDisabled or enabled).
TControl* FindDragTarget(const TPoint& Pos, bool AllowDisabled);
// The top-level form a control lives on, or null.
TCustomForm* GetParentForm(TControl* Control, bool TopForm = true);
TCustomForm* ValidParentForm(TControl* Control, bool TopForm = true);
// Always true: the framework targets windows with the new-style controls.
extern bool NewStyleControls;
