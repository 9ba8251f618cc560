#pragma once
// TWinControl: a control with a window of its own. The handle is made on demand (CreateParams,
// CreateWnd, CreateWindowHandle) and may be recreated; one window procedure routes every message
// of every control window to the control's WindowProc. It holds children, lays them out
// (alignment, anchors, AdjustClientRect), keeps the tab order and carries focus and the keyboard.

#include <memory>
#include <vector>

#include "framework/controls/Control.h"

class TStyleHook;

class TWinControl : public TControl {
  DECLARE_CLASS(TWinControl, TControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_WINDOWPOSCHANGED, TWMWindowPosChanged, WMWindowPosChanged)
    MESSAGE_HANDLER(WM_SIZE, TWMSize, WMSize)
    MESSAGE_HANDLER(WM_SETFOCUS, TWMSetFocus, WMSetFocus)
    MESSAGE_HANDLER(WM_KILLFOCUS, TWMKillFocus, WMKillFocus)
    MESSAGE_HANDLER(WM_KEYDOWN, TWMKeyDown, WMKeyDown)
    MESSAGE_HANDLER(WM_SYSKEYDOWN, TWMSysKeyDown, WMSysKeyDown)
    MESSAGE_HANDLER(WM_KEYUP, TWMKeyUp, WMKeyUp)
    MESSAGE_HANDLER(WM_SYSKEYUP, TWMSysKeyUp, WMSysKeyUp)
    MESSAGE_HANDLER(WM_CHAR, TWMChar, WMChar)
    MESSAGE_HANDLER(WM_MOUSEWHEEL, TWMMouseWheel, WMMouseWheel)
    MESSAGE_HANDLER(WM_COMMAND, TWMCommand, WMCommand)
    MESSAGE_HANDLER(WM_NOTIFY, TWMNotify, WMNotify)
    MESSAGE_HANDLER(WM_HSCROLL, TWMHScroll, WMHScroll)
    MESSAGE_HANDLER(WM_VSCROLL, TWMVScroll, WMVScroll)
    MESSAGE_HANDLER(WM_CTLCOLORBTN, TWMCtlColor, WMCtlColor)
    MESSAGE_HANDLER(WM_CTLCOLOREDIT, TWMCtlColor, WMCtlColor)
    MESSAGE_HANDLER(WM_CTLCOLORLISTBOX, TWMCtlColor, WMCtlColor)
    MESSAGE_HANDLER(WM_CTLCOLORSTATIC, TWMCtlColor, WMCtlColor)
    MESSAGE_HANDLER(WM_CTLCOLORSCROLLBAR, TWMCtlColor, WMCtlColor)
    MESSAGE_HANDLER(WM_DRAWITEM, TWMDrawItem, WMDrawItem)
    MESSAGE_HANDLER(WM_MEASUREITEM, TWMMeasureItem, WMMeasureItem)
    MESSAGE_HANDLER(WM_SETCURSOR, TWMSetCursor, WMSetCursor)
    MESSAGE_HANDLER(WM_MOUSELEAVE, TMessage, WMMouseLeave)
    MESSAGE_HANDLER(WM_NCDESTROY, TWMNoParams, WMNCDestroy)
    MESSAGE_HANDLER(CN_KEYDOWN, TWMKeyDown, CNKeyDown)
    MESSAGE_HANDLER(CN_SYSKEYDOWN, TWMKeyDown, CNKeyDown)
    MESSAGE_HANDLER(CN_CHAR, TWMChar, CNChar)
    MESSAGE_HANDLER(CN_SYSCHAR, TWMChar, CNSysChar)
    MESSAGE_HANDLER(CM_CHILDKEY, TCMChildKey, CMChildKey)
    MESSAGE_HANDLER(CM_DIALOGKEY, TCMDialogKey, CMDialogKey)
    MESSAGE_HANDLER(CM_DIALOGCHAR, TCMDialogChar, CMDialogChar)
    MESSAGE_HANDLER(CM_ENTER, TCMEnter, CMEnter)
    MESSAGE_HANDLER(CM_EXIT, TCMExit, CMExit)
    MESSAGE_HANDLER(CM_FOCUSCHANGED, TCMFocusChanged, CMFocusChanged)
    MESSAGE_HANDLER(CM_VISIBLECHANGED, TMessage, CMVisibleChanged)
    MESSAGE_HANDLER(CM_ENABLEDCHANGED, TMessage, CMEnabledChanged)
    MESSAGE_HANDLER(CM_SHOWINGCHANGED, TMessage, CMShowingChanged)
    MESSAGE_HANDLER(CM_RECREATEWND, TMessage, CMRecreateWnd)
    MESSAGE_HANDLER(CM_SHOWHINTCHANGED, TMessage, CMShowHintChanged)
    MESSAGE_HANDLER(CM_BIDIMODECHANGED, TMessage, CMBiDiModeChanged)
    MESSAGE_HANDLER(CM_FONTCHANGED, TMessage, CMFontChanged)
    MESSAGE_HANDLER(CM_COLORCHANGED, TMessage, CMColorChanged)
    MESSAGE_HANDLER(WM_ERASEBKGND, TWMEraseBkgnd, WMEraseBkgnd)
    MESSAGE_HANDLER(WM_PAINT, TWMPaint, WMPaint)
    MESSAGE_HANDLER(WM_GESTURE, TMessage, WMGesture)
  END_MESSAGE_MAP

 public:
  explicit TWinControl(TComponent* AOwner);
  // A control parented to a window that is not a framework control (a host window).
  static TWinControl* CreateParented(HWND ParentWindow);
  ~TWinControl() override;

  void DefaultHandler(void* Message) override;
  void WndProc(TMessage& Message) override;
  // The window procedure's entry: exceptions stop here and go to the application's handler.
  void MainWndProc(TMessage& Message);

  // ---- The window
  HWND GetHandle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  void HandleNeeded();
  void DestroyHandle();
  void RecreateWnd();
  HWND GetParentWindow() const { return FParentWindow; }
  void SetParentWindow(HWND Value);
  // The control's own window procedure address for subclassed standard windows.
  WNDPROC GetDefWndProc() const { return FDefWndProc; }

  // ---- Children
  Integer GetControlCount() const { return Integer(FControls.size()); }
  TControl* GetControl(Integer Index) const { return FControls.at(Index); }
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  // The child controls this root owns, as the stream writer asks for them.
  void GetChildren(TGetChildProc Proc, TComponent* Root) override;
  void SetChildOrder(TComponent* Child, Integer Order) override;
  bool ContainsControl(TControl* Control) const;
  TControl* ControlAtPos(const TPoint& Pos, bool AllowDisabled, bool AllowWinControls = false,
                         bool AllLevels = false);
  TWinControl* FindChildControl(const String& ControlName) const;
  void Broadcast(TMessage& Message);
  void NotifyControls(Cardinal Msg);
  void DisableAlign();
  void EnableAlign();
  void Realign();
  bool AlignDisabled() const { return FAlignLevel != 0; }
  TPadding* GetPadding() const { return FPadding.get(); }
  void SetPadding(TPadding* Value) { FPadding->Assign(Value); }
  TRect GetClientRect() override;
  TPoint GetClientOrigin() override;
  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;
  void SetZOrder(bool TopMost) override;

  // ---- Focus and tab order
  virtual bool CanFocus();
  virtual bool Focused();
  virtual void SetFocus();
  Integer GetTabOrder() const;
  void SetTabOrder(Integer Value);
  bool GetTabStop() const { return FTabStop; }
  void SetTabStop(bool Value);
  void GetTabOrderList(std::vector<TWinControl*>& List);
  TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop, bool CheckParent);
  void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);

  // ---- Painting
  void Invalidate() override;
  void Update() override;
  void Repaint() override;
  void PaintTo(HDC DC, Integer X, Integer Y);
  HDC GetDeviceContext(HWND& WindowHandle) override;
  TBrush* GetBrush() const { return FBrush.get(); }
  bool GetDoubleBuffered() const { return FDoubleBuffered; }
  void SetDoubleBuffered(bool Value) { FDoubleBuffered = Value; }
  bool GetCtl3D() const { return FCtl3D; }
  void SetCtl3D(bool Value);
  bool GetParentCtl3D() const { return FParentCtl3D; }
  void SetParentCtl3D(bool Value) { FParentCtl3D = Value; }

  // ---- Events
  TNotifyEvent GetOnEnter() const { return FOnEnter; }
  void SetOnEnter(const TNotifyEvent& Value) { FOnEnter = Value; }
  TNotifyEvent GetOnExit() const { return FOnExit; }
  void SetOnExit(const TNotifyEvent& Value) { FOnExit = Value; }
  TKeyEvent GetOnKeyDown() const { return FOnKeyDown; }
  void SetOnKeyDown(const TKeyEvent& Value) { FOnKeyDown = Value; }
  TKeyEvent GetOnKeyUp() const { return FOnKeyUp; }
  void SetOnKeyUp(const TKeyEvent& Value) { FOnKeyUp = Value; }
  TKeyPressEvent GetOnKeyPress() const { return FOnKeyPress; }
  void SetOnKeyPress(const TKeyPressEvent& Value) { FOnKeyPress = Value; }

  PUBLISHED_DECL(TWinControl);

  // The key paths: a form with KeyPreview sees the key first; true when the key was consumed.
  bool DoKeyDown(TWMKey& Message);
  bool DoKeyUp(TWMKey& Message);
  bool DoKeyPress(TWMKey& Message);
  void PaintHandler(TWMPaint& Message);

 protected:
  virtual void CreateParams(TCreateParams& Params);
  // Offers Message to the hook of the active custom style for this control's class; true when
  // the hook handled it. An override may withhold messages from the hook.
  virtual bool DoHandleStyleMessage(TMessage& Message);
  // Superclasses a standard window class (EDIT, BUTTON...) so its messages pass through us.
  void CreateSubClass(TCreateParams& Params, const wchar_t* ControlClassName);
  virtual void CreateWnd();
  virtual void CreateWindowHandle(const TCreateParams& Params);
  virtual void DestroyWnd();
  virtual void DestroyWindowHandle();
  virtual void CreateHandle();
  virtual void AlignControls(TControl* AControl, TRect& Rect);
  virtual void AdjustClientRect(TRect& Rect);
  void DestroyContents() override;
  bool HasChild(TControl* Control) const;
  virtual void AlignControl(TControl* AControl);
  virtual void DoEnter();
  virtual void DoExit();
  virtual void KeyDown(Word& Key, TShiftState Shift);
  virtual void KeyUp(Word& Key, TShiftState Shift);
  virtual void KeyPress(Char& Key);
  virtual void PaintWindow(HDC DC);
  void PaintControls(HDC DC, TControl* First);
  void UpdateBounds();
  // The control's bounds from its window's rectangle (in its parent's coordinates).
  virtual void WindowRectToBounds(RECT& R) {}
  void UpdateShowing();
  void SetClientSize(const TSize& Value) override;
  void ChangeScale(Integer M, Integer D, bool IsDpiChange) override;
  void Loaded() override;
  // Routes a mouse message to the windowless child under it (or holding the capture).
  bool IsControlMouseMsg(TWMMouse& Message);

  void WMWindowPosChanged(TWMWindowPosChanged& Message);
  void WMSize(TWMSize& Message);
  void WMSetFocus(TWMSetFocus& Message);
  void WMKillFocus(TWMKillFocus& Message);
  void WMKeyDown(TWMKeyDown& Message);
  void WMSysKeyDown(TWMSysKeyDown& Message);
  void WMKeyUp(TWMKeyUp& Message);
  void WMSysKeyUp(TWMSysKeyUp& Message);
  void WMChar(TWMChar& Message);
  void WMMouseWheel(TWMMouseWheel& Message);
  void WMCommand(TWMCommand& Message);
  void WMNotify(TWMNotify& Message);
  void WMHScroll(TWMHScroll& Message);
  void WMVScroll(TWMVScroll& Message);
  void WMCtlColor(TWMCtlColor& Message);
  void WMDrawItem(TWMDrawItem& Message);
  void WMMeasureItem(TWMMeasureItem& Message);
  void WMSetCursor(TWMSetCursor& Message);
  void WMMouseLeave(TMessage& Message);
  void WMNCDestroy(TWMNoParams& Message);
  void CNKeyDown(TWMKeyDown& Message);
  // A shortcut of the popup menu of this control or a parent, or of the form's menu, fires its
  // item; true when one did.
  bool IsMenuKey(TWMKey& Message);
  void CNChar(TWMChar& Message);
  void CNSysChar(TWMChar& Message);
  void CMChildKey(TCMChildKey& Message);
  void CMDialogKey(TCMDialogKey& Message);
  void CMDialogChar(TCMDialogChar& Message);
  void CMEnter(TCMEnter& Message);
  void CMExit(TCMExit& Message);
  void CMFocusChanged(TCMFocusChanged& Message);
  void CMVisibleChanged(TMessage& Message);
  void CMEnabledChanged(TMessage& Message);
  void CMShowingChanged(TMessage& Message);
  void CMRecreateWnd(TMessage& Message);
  void CMShowHintChanged(TMessage& Message);
  void CMBiDiModeChanged(TMessage& Message);
  void CMFontChanged(TMessage& Message);
  void CMColorChanged(TMessage& Message);
  void WMEraseBkgnd(TWMEraseBkgnd& Message);
  void WMPaint(TWMPaint& Message);
  void WMGesture(TMessage& Message);

  friend class TControl;
  HWND FHandle = nullptr;
  HWND FParentWindow = nullptr;
  WNDPROC FDefWndProc = nullptr;
  std::vector<TControl*> FControls;  // in z-order, bottom first
  std::vector<TWinControl*> FTabList;
  std::unique_ptr<TPadding> FPadding;
  std::unique_ptr<TBrush> FBrush;
  Integer FAlignLevel = 0;
  bool FTabStop = false;
  bool FShowing = false;
  bool FDoubleBuffered = false;
  bool FCtl3D = true;
  bool FParentCtl3D = true;
  TSize FPendingClientSize{-1, -1};
  Cardinal FRemovals = 0;  // lets a loop over a copy of FControls see that one went

 private:
  static LRESULT CALLBACK StdWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) noexcept;
  std::unique_ptr<TStyleHook> FStyleHook;
  // The style manager's generation and the class the hook was chosen for (a message that comes
  // while a descendant is still being constructed sees an ancestor's class).
  Cardinal FStyleHookGeneration = 0;
  TClass FStyleHookClass = nullptr;
  void ReflectNotification(HWND Child, TMessage& Message);
  TNotifyEvent FOnEnter, FOnExit;
  TKeyEvent FOnKeyDown, FOnKeyUp;
  TKeyPressEvent FOnKeyPress;
};

using TWinControlClass = TClassRef<TWinControl>;

// Moves a DC's origin by DX, DY (children paint in their own coordinates).
void MoveWindowOrg(HDC DC, Integer DX, Integer DY);
