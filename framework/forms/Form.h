#pragma once
// TCustomForm/TForm: a top-level window that owns its controls, keeps the focus among them,
// shows modelessly or modally (with a loop of its own), closes through OnCloseQuery/OnClose
// and the close action, and frees itself safely after the current message (Release).
// TDataModule: a non-visual container streamed from its resource like a form.

#include "framework/controls/ScrollingWinControl.h"

DECLARE_ENUM(TFormStyle, fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop)
DECLARE_ENUM(TBorderIcon, biSystemMenu, biMinimize, biMaximize, biHelp)
using TBorderIcons = Set<TBorderIcon, 8>;
DECLARE_ENUM(TPosition, poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
             poMainFormCenter, poOwnerFormCenter)
DECLARE_ENUM(TWindowState, wsNormal, wsMinimized, wsMaximized)
enum TCloseAction { caNone, caHide, caFree, caMinimize };
DECLARE_ENUM(TPopupMode, pmNone, pmAuto, pmExplicit)
enum TFormStateItem { fsCreating, fsVisible, fsShowing, fsModal, fsCreatedMDIChild, fsActivated };
using TFormState = Set<TFormStateItem, 8>;
DECLARE_ENUM(TDefaultMonitor, dmDesktop, dmPrimary, dmMainForm, dmActiveForm)

using TCloseEvent = Closure<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = Closure<void(TObject* Sender, bool& CanClose)>;

class TMonitor;

class TCustomForm : public TScrollingWinControl {
  DECLARE_CLASS(TCustomForm, TScrollingWinControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_CLOSE, TWMClose, WMClose)
    MESSAGE_HANDLER(WM_ACTIVATE, TWMActivate, WMActivate)
    MESSAGE_HANDLER(WM_SYSCOMMAND, TWMSysCommand, WMSysCommand)
    MESSAGE_HANDLER(WM_GETMINMAXINFO, TWMGetMinMaxInfo, WMGetMinMaxInfo)
    MESSAGE_HANDLER(WM_ERASEBKGND, TWMEraseBkgnd, WMEraseBkgnd)
    MESSAGE_HANDLER(WM_DPICHANGED, TMessage, WMDpiChanged)
    MESSAGE_HANDLER(CM_ACTIVATE, TMessage, CMActivate)
    MESSAGE_HANDLER(CM_DEACTIVATE, TMessage, CMDeactivate)
    MESSAGE_HANDLER(CM_DIALOGKEY, TCMDialogKey, CMDialogKey)
    MESSAGE_HANDLER(CM_RELEASE, TCMRelease, CMRelease)
    MESSAGE_HANDLER(CM_SHOWINGCHANGED, TMessage, CMShowingChanged)
    MESSAGE_HANDLER(WM_COMMAND, TWMCommand, WMCommand)
    MESSAGE_HANDLER(WM_INITMENUPOPUP, TMessage, WMInitMenuPopup)
    MESSAGE_HANDLER(WM_MENUSELECT, TMessage, WMMenuSelect)
    MESSAGE_HANDLER(WM_DRAWITEM, TWMDrawItem, WMDrawItem)
    MESSAGE_HANDLER(WM_MEASUREITEM, TWMMeasureItem, WMMeasureItem)
    MESSAGE_HANDLER(WM_DESTROY, TWMDestroy, WMDestroy)
  END_MESSAGE_MAP

 public:
  // Creates the form from its form resource (the one stored under its class name).
  explicit TCustomForm(TComponent* AOwner);
  // CreateNew: a form with no resource, built in code.
  TCustomForm(TComponent* AOwner, Integer Dummy);
  ~TCustomForm() override;
  void AfterConstruction() override;
  void BeforeDestruction() override;

  void Show();
  void Hide();
  void Close();
  virtual bool CloseQuery();
  virtual Integer ShowModal();
  // Frees the form once the message being handled now (and any before it) is done.
  void Release();
  void FocusControl(TWinControl* Control);
  bool SetFocusedControl(TWinControl* Control);
  void DefocusControl(TControl* Control, bool Removing);
  void SendCancelMode(TControl* Sender);
  bool CanFocus() override;
  void SetFocus() override;

  bool GetActive() const { return FActive; }
  TWinControl* GetActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* Control);
  TBorderIcons GetBorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons Value);
  TFormBorderStyle GetBorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value);
  TFormStyle GetFormStyle() const { return FFormStyle; }
  void SetFormStyle(TFormStyle Value);
  TPosition GetPosition() const { return FPosition; }
  void SetPosition(TPosition Value) { FPosition = Value; }
  TWindowState GetWindowState() const { return FWindowState; }
  void SetWindowState(TWindowState Value);
  // The menu bar; the window shows its Win32 menu and its items get the window's commands.
  TMainMenu* GetMenu() const { return FMenu; }
  void SetMenu(TMainMenu* Value);
  // A key that is a shortcut of the form's menu fires the item; true when one did.
  virtual bool IsShortCut(TWMKey& Message);
  bool GetKeyPreview() const { return FKeyPreview; }
  void SetKeyPreview(bool Value) { FKeyPreview = Value; }
  TModalResult GetModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  bool GetScaled() const { return FScaled; }
  void SetScaled(bool Value) { FScaled = Value; }
  Integer GetPixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(Integer Value);
  TPopupMode GetPopupMode() const { return FPopupMode; }
  void SetPopupMode(TPopupMode Value);
  TCustomForm* GetPopupParent() const { return FPopupParent; }
  void SetPopupParent(TCustomForm* Value);
  TFormState GetFormState() const { return FFormState; }
  bool GetAlphaBlend() const { return FAlphaBlend; }
  void SetAlphaBlend(bool Value);
  Byte GetAlphaBlendValue() const { return FAlphaBlendValue; }
  void SetAlphaBlendValue(Byte Value);
  // A colour key: pixels of TransparentColorValue show what lies beneath the form.
  bool GetTransparentColor() const { return FTransparentColor; }
  void SetTransparentColor(bool Value);
  TColor GetTransparentColorValue() const { return FTransparentColorValue; }
  void SetTransparentColorValue(TColor Value);
  TMonitor* GetMonitor();
  TDefaultMonitor GetDefaultMonitor() const { return FDefaultMonitor; }
  void SetDefaultMonitor(TDefaultMonitor Value) { FDefaultMonitor = Value; }
  // Design-time hooks: this program has no designer.
  void* GetDesigner() const { return nullptr; }

  // Stored by form designers; kept so their resources read.
  Integer GetTextHeight() const { return FTextHeight; }
  void SetTextHeight(Integer Value) { FTextHeight = Value; }
  bool GetOldCreateOrder() const { return false; }
  void SetOldCreateOrder(bool) {}
  void SetClientWidth(Integer Value);
  void SetClientHeight(Integer Value);

  TNotifyEvent GetOnCreate() const { return FOnCreate; }
  void SetOnCreate(const TNotifyEvent& Value) { FOnCreate = Value; }
  TNotifyEvent GetOnDestroy() const { return FOnDestroy; }
  void SetOnDestroy(const TNotifyEvent& Value) { FOnDestroy = Value; }
  TNotifyEvent GetOnShow() const { return FOnShow; }
  void SetOnShow(const TNotifyEvent& Value) { FOnShow = Value; }
  TNotifyEvent GetOnHide() const { return FOnHide; }
  void SetOnHide(const TNotifyEvent& Value) { FOnHide = Value; }
  TNotifyEvent GetOnActivate() const { return FOnActivate; }
  void SetOnActivate(const TNotifyEvent& Value) { FOnActivate = Value; }
  TNotifyEvent GetOnDeactivate() const { return FOnDeactivate; }
  void SetOnDeactivate(const TNotifyEvent& Value) { FOnDeactivate = Value; }
  TCloseEvent GetOnClose() const { return FOnClose; }
  void SetOnClose(const TCloseEvent& Value) { FOnClose = Value; }
  TCloseQueryEvent GetOnCloseQuery() const { return FOnCloseQuery; }
  void SetOnCloseQuery(const TCloseQueryEvent& Value) { FOnCloseQuery = Value; }

  PUBLISHED_DECL(TCustomForm);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Loaded() override;
  void ChangeScale(Integer M, Integer D, bool IsDpiChange) override;
  // The child controls and then the owned components that have no parent (timers, actions...).
  void GetChildren(TGetChildProc Proc, TComponent* Root) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void AdjustClientRect(TRect& Rect) override;
  virtual void DoCreate();
  virtual void DoDestroy();
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& Action);
  virtual void Activate();
  virtual void Deactivate();
  void CloseModal();
  void SetWindowFocus();
  void SetActive(bool Value);
  void ApplyPosition();
  bool IsResourceLoaded() const { return FResourceLoaded; }

  void WMClose(TWMClose& Message);
  void WMActivate(TWMActivate& Message);
  void WMSysCommand(TWMSysCommand& Message);
  void WMGetMinMaxInfo(TWMGetMinMaxInfo& Message);
  void WMEraseBkgnd(TWMEraseBkgnd& Message);
  void WMDpiChanged(TMessage& Message);
  void CMActivate(TMessage& Message);
  void CMDeactivate(TMessage& Message);
  void CMDialogKey(TCMDialogKey& Message);
  void CMRelease(TCMRelease& Message);
  void CMShowingChanged(TMessage& Message);
  void WMCommand(TWMCommand& Message);
  void WMInitMenuPopup(TMessage& Message);
  void WMMenuSelect(TMessage& Message);
  void WMDrawItem(TWMDrawItem& Message);
  void WMMeasureItem(TWMMeasureItem& Message);
  void WMDestroy(TWMDestroy& Message);

  TComponentRef<TWinControl> FActiveControl;
  TComponentRef<TWinControl> FFocusedControl;
  TComponentRef<TMainMenu> FMenu;
  TFormState FFormState;
  bool FActive = false;
  TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
  TFormBorderStyle FBorderStyle = bsSizeable;
  TFormStyle FFormStyle = fsNormal;
  TPosition FPosition = poDefaultPosOnly;
  TWindowState FWindowState = wsNormal;
  bool FKeyPreview = false;
  TModalResult FModalResult = mrNone;
  bool FScaled = true;
  Integer FPixelsPerInch = 96;
  TPopupMode FPopupMode = pmNone;
  TComponentRef<TCustomForm> FPopupParent;
  bool FAlphaBlend = false;
  Byte FAlphaBlendValue = 255;
  bool FTransparentColor = false;
  TColor FTransparentColorValue = clBlack;
  TDefaultMonitor FDefaultMonitor = dmActiveForm;
  bool FCreatedNew = false;
  bool FResourceLoaded = false;
  bool FConstructing = false;  // AfterConstruction has begun: the form may make its window
  bool FPositioned = false;
  bool FReleasePosted = false;
  Integer FTextHeight = 13;

 private:
  void InitForm();
  void ApplyLayeredAttributes();
  TNotifyEvent FOnCreate, FOnDestroy, FOnShow, FOnHide, FOnActivate, FOnDeactivate;
  TCloseEvent FOnClose;
  TCloseQueryEvent FOnCloseQuery;
};

class TForm : public TCustomForm {
  DECLARE_CLASS(TForm, TCustomForm)
 public:
  using TCustomForm::TCustomForm;
};

using TFormClass = TClassRef<TCustomForm>;
using TCustomFormClass = TClassRef<TCustomForm>;

class TDataModule : public TComponent {
  DECLARE_CLASS(TDataModule, TComponent)
 public:
  explicit TDataModule(TComponent* AOwner);
  TDataModule(TComponent* AOwner, Integer Dummy);
  ~TDataModule() override;
  void AfterConstruction() override;
  void BeforeDestruction() override;
  // The owned components (the stream writer writes these inside the module).
  void GetChildren(TGetChildProc Proc, TComponent* Root) override;
  TNotifyEvent GetOnCreate() const { return FOnCreate; }
  void SetOnCreate(const TNotifyEvent& Value) { FOnCreate = Value; }
  TNotifyEvent GetOnDestroy() const { return FOnDestroy; }
  void SetOnDestroy(const TNotifyEvent& Value) { FOnDestroy = Value; }
  // Stored by designers; kept so their resources read.
  Integer GetHorizontalOffset() const { return FHorizontalOffset; }
  void SetHorizontalOffset(Integer Value) { FHorizontalOffset = Value; }
  Integer GetVerticalOffset() const { return FVerticalOffset; }
  void SetVerticalOffset(Integer Value) { FVerticalOffset = Value; }
  Integer GetHeight() const { return FHeight; }
  void SetHeight(Integer Value) { FHeight = Value; }
  Integer GetWidth() const { return FWidth; }
  void SetWidth(Integer Value) { FWidth = Value; }
  bool GetOldCreateOrder() const { return false; }
  void SetOldCreateOrder(bool) {}

  PUBLISHED_DECL(TDataModule);

 private:
  Integer FHorizontalOffset = 0, FVerticalOffset = 0, FHeight = 150, FWidth = 215;
  bool FCreatedNew = false;
  TNotifyEvent FOnCreate, FOnDestroy;
};

