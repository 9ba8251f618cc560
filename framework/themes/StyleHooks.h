#pragma once
// Style hooks: while a custom style is active, each control window offers its messages to the
// hook registered for its class (TStyleManager::RegisterStyleHook), which paints the control in
// the style. A hook sees a message before the control's own handlers and answers whether it took
// it; CallDefaultProc runs the control's own handling from inside a hook.
//
// The control's StyleElements choose what the hook restyles: seClient the surface, seFont the
// text colour, seBorder the frame. A control with none of them paints as without the style.

#include <memory>

#include "framework/Messages.h"
#include "framework/themes/StyleManager.h"

class TWinControl;

class TStyleHook : public TObject {
  DECLARE_CLASS(TStyleHook, TObject)
 public:
  using TCtorArgs = ::TCtorArgs<TWinControl*>;
  explicit TStyleHook(TWinControl* AControl);
  ~TStyleHook() override;
  // The control's entry: true when the hook handled Message and the control must not.
  bool HandleMessage(TMessage& Message);
  TWinControl* GetControl() const { return FControl; }
  // True while the hook is inside one of its own handlers (it must not be freed then).
  bool Busy() const { return FBusy > 0; }

 protected:
  // Override to take messages; return true when handled.
  virtual bool WndProc(TMessage& Message);
  // The control's own handling of Message, without the hook.
  void CallDefaultProc(TMessage& Message);
  // False after CallDefaultProc when the control was freed meanwhile (a click closed its form).
  bool Alive(const std::shared_ptr<bool>& Token) const { return *Token; }
  std::shared_ptr<bool> AliveToken() const { return FAlive; }
  HWND Handle() const;
  bool StyleClient() const;
  bool StyleFont() const;
  bool StyleBorder() const;
  // The control's colour as the style shows it (its own colour without seClient).
  TColor ClientColor() const;
  // A font colour: the style's when seFont, else the control font's.
  TColor FontColor(TStyleFont Font) const;
  // Paints the control's windowless children on DC (the hook has painted the window itself).
  void PaintChildren(HDC DC);
  // A brush of Color that lives as long as the hook, for WM_CTLCOLOR answers.
  HBRUSH Brush(TColor Color);
  // Paints through Paint in a WM_PAINT (with BeginPaint) or a WM_PRINTCLIENT (with its DC).
  void HandlePaint(TMessage& Message);
  virtual void Paint(HDC DC) {}
  // Paints now on the window's DC: after the system control drew its new state itself.
  void PaintNow();

  TWinControl* FControl;
  bool FMouseInControl = false;

 private:
  TMessage* FDefaulted = nullptr;
  Integer FBusy = 0;
  std::shared_ptr<bool> FAlive;
  HBRUSH FBrush = nullptr;
  TColor FBrushColor = clNone;
};

// A window frame and caption drawn in the style, and the client background.
class TFormStyleHook : public TStyleHook {
  DECLARE_CLASS(TFormStyleHook, TStyleHook)
 public:
  using TStyleHook::TStyleHook;
  // Paints the non-client area (frame and caption) on a DC of the whole window.
  void PaintNC(HDC DC);

 protected:
  bool WndProc(TMessage& Message) override;

 private:
  bool FActive = true;
};

// Push buttons, painted whole.
class TButtonStyleHook : public TStyleHook {
  DECLARE_CLASS(TButtonStyleHook, TStyleHook)
 public:
  using TStyleHook::TStyleHook;

 protected:
  bool WndProc(TMessage& Message) override;
  void Paint(HDC DC) override;
  // Whether the system control draws itself after Msg, so the hook paints over it.
  virtual bool RepaintsAfter(Cardinal Msg) const;
};

class TCheckBoxStyleHook : public TButtonStyleHook {
  DECLARE_CLASS(TCheckBoxStyleHook, TButtonStyleHook)
 public:
  using TButtonStyleHook::TButtonStyleHook;

 protected:
  void Paint(HDC DC) override;
  virtual bool IsRadio() const { return false; }
};

class TRadioButtonStyleHook : public TCheckBoxStyleHook {
  DECLARE_CLASS(TRadioButtonStyleHook, TCheckBoxStyleHook)
 public:
  using TCheckBoxStyleHook::TCheckBoxStyleHook;

 protected:
  bool IsRadio() const override { return true; }
};

// Group boxes and radio groups: surface, frame and caption.
class TGroupBoxStyleHook : public TStyleHook {
  DECLARE_CLASS(TGroupBoxStyleHook, TStyleHook)
 public:
  using TStyleHook::TStyleHook;

 protected:
  bool WndProc(TMessage& Message) override;
  void Paint(HDC DC) override;
};

class TPanelStyleHook : public TStyleHook {
  DECLARE_CLASS(TPanelStyleHook, TStyleHook)
 public:
  using TStyleHook::TStyleHook;

 protected:
  bool WndProc(TMessage& Message) override;
  void Paint(HDC DC) override;
};

// Windows with system scroll bars in their frame: the frame and the scroll bars in the style.
class TScrollingStyleHook : public TStyleHook {
  DECLARE_CLASS(TScrollingStyleHook, TStyleHook)
 public:
  using TStyleHook::TStyleHook;
  // Paints the border and the scroll bars on a DC of the whole window.
  void PaintNC(HDC DC);

 protected:
  bool WndProc(TMessage& Message) override;
  virtual void PaintBorder(HDC DC, const TRect& WindowRect);
  // Whether the system may have redrawn the scroll bars after Msg.
  virtual bool ScrollBarsChangeAfter(Cardinal Msg) const;
  void RepaintNC();
};

// Edits and memos: the system draws the text; the hook gives it the style's colours and frame.
class TEditStyleHook : public TScrollingStyleHook {
  DECLARE_CLASS(TEditStyleHook, TScrollingStyleHook)
 public:
  using TScrollingStyleHook::TScrollingStyleHook;

 protected:
  bool WndProc(TMessage& Message) override;
  void PaintBorder(HDC DC, const TRect& WindowRect) override;
  virtual TColor SurfaceColor() const;
  virtual TColor TextColor() const;
};

class TMemoStyleHook : public TEditStyleHook {
  DECLARE_CLASS(TMemoStyleHook, TEditStyleHook)
 public:
  using TEditStyleHook::TEditStyleHook;
};

class TListBoxStyleHook : public TEditStyleHook {
  DECLARE_CLASS(TListBoxStyleHook, TEditStyleHook)
 public:
  using TEditStyleHook::TEditStyleHook;

 protected:
  bool ScrollBarsChangeAfter(Cardinal Msg) const override;
  TColor SurfaceColor() const override;
  TColor TextColor() const override;
};

class TComboBoxStyleHook : public TEditStyleHook {
  DECLARE_CLASS(TComboBoxStyleHook, TEditStyleHook)
 public:
  using TEditStyleHook::TEditStyleHook;

 protected:
  TColor SurfaceColor() const override;
  TColor TextColor() const override;
};

// Scroll boxes: the background and the frame's scroll bars.
class TScrollBoxStyleHook : public TScrollingStyleHook {
  DECLARE_CLASS(TScrollBoxStyleHook, TScrollingStyleHook)
 public:
  using TScrollingStyleHook::TScrollingStyleHook;

 protected:
  bool WndProc(TMessage& Message) override;
};

// The scroll-bar control, painted whole.
class TScrollBarStyleHook : public TButtonStyleHook {
  DECLARE_CLASS(TScrollBarStyleHook, TButtonStyleHook)
 public:
  using TButtonStyleHook::TButtonStyleHook;

 protected:
  void Paint(HDC DC) override;
  bool RepaintsAfter(Cardinal Msg) const override;
};

class THintStyleHook : public TStyleHook {
  DECLARE_CLASS(THintStyleHook, TStyleHook)
 public:
  using TStyleHook::TStyleHook;

 protected:
  bool WndProc(TMessage& Message) override;
  void Paint(HDC DC) override;
};

// Draws one scroll bar (arrows, track and thumb) from the system's description of it: R in DC's
// coordinates, the thumb from R's top (left) as SCROLLBARINFO gives it.
void DrawStyledScrollBar(HDC DC, const TRect& R, bool Vertical, Integer ThumbTop, Integer ThumbBottom, bool Enabled);

// The hooks for the framework's standard controls; the style engine registers them once.
// The common controls' hooks (CommonStyleHooks.h) are registered with them.
void RegisterStandardStyleHooks(TStyleEngine* Engine);
