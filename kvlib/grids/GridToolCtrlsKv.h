#pragma once
// The small windows a grid shows beside its cells: the panel that carries one of its scroll bars,
// the panel that shows a size grip in a corner, the translucent drag windows and the move line
// that marks where a moved row or column lands. The drag box and the move line are shared by
// every grid and never take activation, so the edit under them keeps typing.

#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/foundation/toolctrls/PopupForms.h"

class TCustomGridKv;
class TGridScrollBarPanelControlKv;

// The bar inside a grid's scroll-bar panel: it never activates a window, takes a press only when
// the grid may take the focus, and ignores a cancel-mode message while its panel disables it.
class TControlScrollBarKv : public TScrollBar {
  DECLARE_CLASS(TControlScrollBarKv, TScrollBar)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_LBUTTONDOWN, TWMMouse, WMButtonDown)
    MESSAGE_HANDLER(WM_RBUTTONDOWN, TWMMouse, WMButtonDown)
    MESSAGE_HANDLER(WM_MBUTTONDOWN, TWMMouse, WMButtonDown)
    MESSAGE_HANDLER(WM_MOUSEACTIVATE, TMessage, WMMouseActivate)
    MESSAGE_HANDLER(WM_CANCELMODE, TWMCancelMode, WMCancelMode)
    MESSAGE_HANDLER(CM_DESIGNHITTEST, TCMDesignHitTest, CMDesignHitTest)
  END_MESSAGE_MAP
 public:
  using TScrollBar::TScrollBar;

 protected:
  void WMButtonDown(TWMMouse& Message);
  void WMMouseActivate(TMessage& Message);
  void WMCancelMode(TWMCancelMode& Message);
  void CMDesignHitTest(TCMDesignHitTest& Message);

 private:
  TGridScrollBarPanelControlKv* Panel() const;
};

class TGridScrollBarPanelControlKv : public TCustomPanel {
  DECLARE_CLASS(TGridScrollBarPanelControlKv, TCustomPanel)
 public:
  // AOwner is the grid.
  TGridScrollBarPanelControlKv(TComponent* AOwner, TScrollBarKind AKind);

  // A maximum below the minimum is taken as the minimum; a range that leaves nothing to scroll
  // disables the bar.
  void SetParams(Integer APosition, Integer AMin, Integer AMax, Integer APageSize);
  void GetParams(Integer& APosition, Integer& AMin, Integer& AMax, Integer& APageSize) const;
  // The room left for an extra panel beside the bar when its two arrow buttons keep their size.
  Integer MaxSizeForExtraPanel();
  void Invalidate() override;
  // Negative sizes are taken as 0.
  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;
  // Asks the grid to take the focus; a bar press goes on only when it answers true.
  virtual bool ScrollBarTakeFocus(TControlScrollBarKv* ScrollBar);

  TControlScrollBarKv* GetScrollBar() const { return FScrollBar; }
  TScrollEvent GetOnScroll() const { return FScrollBar->GetOnScroll(); }
  void SetOnScroll(const TScrollEvent& Value) { FScrollBar->SetOnScroll(Value); }
  TScrollBarKind GetKind() const { return FKind; }
  bool GetKeepMaxSizeInDefault() const { return FKeepMaxSizeInDefault; }
  void SetKeepMaxSizeInDefault(bool Value);
  bool GetIgnoreCancelMode() const { return FIgnoreCancelMode; }

 protected:
  void Resize() override;
  TCustomGridKv* Grid() const;

 private:
  void BarScroll(TObject* Sender, TScrollCode ScrollCode, Integer& ScrollPos);
  bool FIgnoreCancelMode = false;
  TControlScrollBarKv* FScrollBar = nullptr;  // owned and parented by the panel
  bool FKeepMaxSizeInDefault = true;
  TScrollBarKind FKind;
};

DECLARE_ENUM(TGripActiveStatusKv, gasNeverKv, gasAutoKv, gasAlwaysKv)

// A corner grip that, while dragged, resizes the top-level window holding the grid.
class TSizeGripPanelKv : public TCustomPanel {
  DECLARE_CLASS(TSizeGripPanelKv, TCustomPanel)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_ERASEBKGND, TWMEraseBkgnd, WMEraseBkgnd)
    MESSAGE_HANDLER(WM_WINDOWPOSCHANGED, TWMWindowPosChanged, WMWindowPosChanged)
  END_MESSAGE_MAP
 public:
  explicit TSizeGripPanelKv(TComponent* AOwner);
  // Negative sizes are taken as 0.
  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;

  bool GetTriangleWindow() const { return FTriangleWindow; }
  void SetTriangleWindow(bool Value);
  TGripActiveStatusKv GetGripActiveStatus() const { return FGripActiveStatus; }
  void SetGripActiveStatus(TGripActiveStatusKv Value);
  TSizeGripPosition GetPosition() const { return FPosition; }
  void SetPosition(TSizeGripPosition Value);
  // The top-level window a drag resizes; nil when there is none or it is minimised or maximised.
  TWinControl* GetSizingWindow();
  bool IsGripActive();

 protected:
  void CreateWnd() override;
  void Resize() override;
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void WMEraseBkgnd(TWMEraseBkgnd& Message);
  void WMWindowPosChanged(TWMWindowPosChanged& Message);

 private:
  void UpdateCursor();
  void UpdateRegion();
  bool FTriangleWindow = false;
  TGripActiveStatusKv FGripActiveStatus = gasAutoKv;
  TSizeGripPosition FPosition = sgpBottomRight;
  TSize FInitFormSize;
  TPoint FInitFormPos;
  TPoint FMouseMousePos{-1, -1};
};

// A layered, topmost popup that never takes activation: the translucent image of a drag.
class TGridDragWinKv : public TCustomControl {
  DECLARE_CLASS(TGridDragWinKv, TCustomControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_MOUSEACTIVATE, TMessage, WMMouseActivate)
  END_MESSAGE_MAP
 public:
  explicit TGridDragWinKv(TComponent* AOwner);

  // Raises: the window shows only through StartShow.
  void Show();
  // Shows at screen position Pos without activating, topmost.
  virtual void StartShow(const TPoint& Pos, Integer AWidth, Integer AHeight);
  virtual void StartShow(const TPoint& Pos, Integer AHeight);
  virtual void MoveToFor(const TPoint& NewPos);
  virtual void MoveToFor(const TPoint& NewPos, Integer NewWidth, Integer NewHeight);
  // Shrinks to nothing where it stands.
  void TemporaryHide();

  Byte GetAlphaBlendValue() const { return FAlphaBlendValue; }
  void SetAlphaBlendValue(Byte Value);
  // clNone: no colour key.
  TColor GetTransparentColorValue() const { return FTransparentColorValue; }
  void SetTransparentColorValue(TColor Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void WMMouseActivate(TMessage& Message);
  void ApplyLayeredAttributes();

 private:
  Byte FAlphaBlendValue = 200;
  TColor FTransparentColorValue = clNone;
};

// The shared gray drag box.
class TGridDragBoxKv : public TGridDragWinKv {
  DECLARE_CLASS(TGridDragBoxKv, TGridDragWinKv)
 public:
  using TGridDragWinKv::TGridDragWinKv;

 protected:
  void Paint() override;
};

// A drag window built on the inactive popup form, with alpha blending.
class TGridDragFormKv : public TPopupInactiveFormKv {
  DECLARE_CLASS(TGridDragFormKv, TPopupInactiveFormKv)
 public:
  explicit TGridDragFormKv(TComponent* AOwner);

  virtual void MoveToFor(const TPoint& NewPos);
  virtual void MoveToFor(const TPoint& NewPos, Integer NewWidth, Integer NewHeight);
  virtual void StartShow(const TPoint& Pos, Integer AWidth, Integer AHeight);
  virtual void StartShow(const TPoint& Pos, Integer AHeight);
  void Show() { TPopupInactiveFormKv::Show(); }
  // Nothing: the form keeps its size.
  void TemporaryHide() {}
  // Any value but 255 switches the blending on.
  void SetAlphaBlendValue(Byte Value);
};

// A red line with an arrowhead at each end; white is see-through.
class TGridMoveLineKv : public TGridDragFormKv {
  DECLARE_CLASS(TGridMoveLineKv, TGridDragFormKv)
 public:
  explicit TGridMoveLineKv(TComponent* AOwner);

  using TGridDragFormKv::StartShow;
  // Pos is where the line starts; the window reaches 3 pixels left and 4 up of it.
  // ACaptureControl is not used.
  virtual void StartShow(const TPoint& Pos, bool AIsVert, Integer Size, TWinControl* ACaptureControl);
  using TGridDragFormKv::MoveToFor;
  void MoveToFor(const TPoint& NewPos) override;

  bool GetIsVert() const { return FIsVert; }
  void SetIsVert(bool Value) { FIsVert = Value; }
  TColor GetLineColor() const { return FLineColor; }
  void SetLineColor(TColor Value) { FLineColor = Value; }

 protected:
  void Paint() override;

 private:
  TColor FLineColor = TColor(0x0000FF);
  bool FIsVert = true;
};

// One drag box and one move line for every grid, made on first use, owned by the application.
TGridDragBoxKv* GetGridDragBox();
TGridMoveLineKv* GetGridMoveLine();
