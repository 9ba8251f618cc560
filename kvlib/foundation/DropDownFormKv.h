#pragma once
// Drop-down forms and the parameters an edit button opens them with.
//
// A drop-down form (calendar, calculator, memo and rich-text windows, filter drop-downs) opens
// under or above the control that called it, takes its values from a dynamic-variable set and
// returns them through a callback when it closes. An edit button's TDropDownFormCallParamsKv
// finds the form (by instance, by registered class name, or as a class's shared instance), packs
// the values, opens it and, when it closes with OK, writes the values back to the field or the
// edit and posts the edit WM_USER (WParam its window, LParam the edit button or the edit).
//
// Ownership: the values and system parameters of a call belong to the call, not to the edit or
// the form. When the call parameters go before the form closed (the edit was freed while its
// drop-down was up), the form is closed without calling back and forgets the call.

#include <memory>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "kvlib/foundation/DynVarsKv.h"

class TDataLink;
class TEditButtonControlKv;
class TEditButtonKv;
class TField;
class TSizeGripKv;
class TSpeedButtonKv;

DECLARE_ENUM(TDropLayoutKv, dlAboveControlKv, dlUnderControlKv)
DECLARE_ENUM(TDropDownFormElementKv, ddfeLeftGripKv, ddfeRightGripKv, ddfeCloseButtonKv, ddfeSizingBarKv)
using TDropDownFormElementsKv = Set<TDropDownFormElementKv, 8>;

// ---- System parameters of a call --------------------------------------------------------------

class TDropDownFormSysParams : public TPersistent {
  DECLARE_CLASS(TDropDownFormSysParams, TPersistent)
 public:
  TDropDownFormSysParams() = default;
  // The form was made for this call and is freed when it closes.
  bool GetFreeFormOnClose() const { return FFreeFormOnClose; }
  void SetFreeFormOnClose(bool Value) { FFreeFormOnClose = Value; }

 private:
  bool FFreeFormOnClose = false;
};

class TEditControlDropDownFormSysParams : public TDropDownFormSysParams {
  DECLARE_CLASS(TEditControlDropDownFormSysParams, TDropDownFormSysParams)
 public:
  TEditControlDropDownFormSysParams() = default;
  TWinControl* GetEditControl() const { return FEditControl; }
  void SetEditControl(TWinControl* Value) { FEditControl = Value; }
  TEditButtonKv* GetEditButton() const { return FEditButton; }
  void SetEditButton(TEditButtonKv* Value) { FEditButton = Value; }
  // For descendants.
  TObject* GetEditButtonObj() const { return FEditButtonObj; }
  void SetEditButtonObj(TObject* Value) { FEditButtonObj = Value; }

 private:
  TComponentRef<TWinControl> FEditControl;
  TEditButtonKv* FEditButton = nullptr;  // the button owns the call these travel with
  TObject* FEditButtonObj = nullptr;
};

using TDropDownFormCallbackProcKv =
    Closure<void(TCustomForm* DropDownForm, bool Accept, TDynVarsKv* DynParams, TDropDownFormSysParams* SysParams)>;

// The interface of every drop-down form.
class IDropDownFormKv : public virtual IInterface {
 public:
  // Modal: answers whether the form closed with OK (the values are then returned in DynParams).
  virtual bool Execute(TControl* RelativePosControl, TControl* DownStateControl, TDynVarsKv* DynParams,
                       TDropDownAlign Align) = 0;
  virtual bool GetReadOnly() = 0;
  // Non-modal: opens against RelativePosRect (screen coordinates) and returns at once;
  // CallbackProc hears the close once.
  virtual void ExecuteNomodal(const TRect& RelativePosRect, TControl* DownStateControl,
                              const TDropDownFormCallbackProcKv& CallbackProc, TDropDownFormSysParams* SysParams,
                              TDynVarsKv* DynParams, TDropDownAlign Align) = 0;
  virtual void Close() = 0;
  virtual void SetReadOnly(bool Value) = 0;
};

// ---- Drop-down form ---------------------------------------------------------------------------

class TCustomDropDownFormKv;
using TInitDropDownFormEventKv = Closure<void(TCustomDropDownFormKv* Sender, TDynVarsKv* DynParams)>;
using TPutBackFormParamsEventKv = Closure<void(TCustomDropDownFormKv* Sender, TDynVarsKv* DynParams)>;

// The close button of a drop-down form: a speed button that closes the form.
class TDDFCloseButtonKv : public TCustomControl {
  DECLARE_CLASS(TDDFCloseButtonKv, TCustomControl)
 public:
  explicit TDDFCloseButtonKv(TComponent* AOwner);
  TSpeedButtonKv* GetButton() const { return FButton; }

 private:
  void ButtonPaint(TObject* Sender);
  void ButtonClick(TObject* Sender);
  TSpeedButtonKv* FButton;  // a child, freed with this control
};

// The bar at the drop-down form's free edge whose outer strip resizes the host by dragging.
class TDDFSizingBarKv : public TCustomPanel {
  DECLARE_CLASS(TDDFSizingBarKv, TCustomPanel)
 public:
  explicit TDDFSizingBarKv(TComponent* AOwner);
  TWinControl* GetHostControl() const { return FHostControl; }
  void SetHostControl(TWinControl* Value) { FHostControl = Value; }
  // 10 pixels for a bar higher than 9, else half its height.
  Integer GetSizingAreaDepth() const { return FHeight > 9 ? 10 : FHeight / 2; }
  bool InSizingArea(Integer Y) const;

 protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;

 private:
  TComponentRef<TWinControl> FHostControl;
  TPoint FMouseDownPoint{-1, -1};
};

// The base of every drop-down form: borderless and stay-on-top with a thin border, an optional
// sizing bar, two optional size grips and an optional close button. Clicking elsewhere closes a
// non-modal drop-down (Accept false unless the modal result was OK). Show and ShowModal run it
// as an ordinary form or dialog.
class TCustomDropDownFormKv : public TForm, public IDynParamsInteractableKv, public IDropDownFormKv {
  DECLARE_CLASS(TCustomDropDownFormKv, TForm)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_PAINT, TWMPaint, WMPaint)
    MESSAGE_HANDLER(WM_SIZE, TWMSize, WMSize)
    MESSAGE_HANDLER(WM_WINDOWPOSCHANGED, TWMWindowPosChanged, WMWindowPosChanged)
  END_MESSAGE_MAP

 public:
  // Streams the form's resource.
  explicit TCustomDropDownFormKv(TComponent* AOwner);
  // A form built in code.
  TCustomDropDownFormKv(TComponent* AOwner, Integer Dummy);
  ~TCustomDropDownFormKv() override;
  void AfterConstruction() override;

  bool Execute(TControl* RelativePosControl, TControl* DownStateControl, TDynVarsKv* DynParams,
               TDropDownAlign Align) override;
  void ExecuteNomodal(const TRect& RelativePosRect, TControl* DownStateControl,
                      const TDropDownFormCallbackProcKv& CallbackProc, TDropDownFormSysParams* SysParams,
                      TDynVarsKv* DynParams, TDropDownAlign Align) override;
  // Closes once at a time and gives the focus back to the control that had it, unless the form
  // closes because it lost the activation.
  void Close() override;
  bool GetReadOnly() override { return FReadOnly; }
  void SetReadOnly(bool Value) override { FReadOnly = Value; }
  TDynVarsKv* GetDynParams() override { return FDynParams; }
  void SetDynParams(TDynVarsKv* Value) override { FDynParams = Value; }
  // Forgets the call in progress without calling back, and hides the form: its caller is gone.
  void CancelCall();

  // An ordinary form: drop-down mode off.
  void Show();
  // A dialog: drop-down mode off, dialog border, centred; InitForm before and ReturnParams after OK.
  Integer ShowModal() override;
  // The client rectangle inside the border.
  TRect GetControlClientRect();

  // The shared instance a class keeps (nil when it keeps none), which the call parameters reuse.
  virtual TCustomDropDownFormKv* GetGlobalRef();
  static TCustomDropDownFormKv* GetGlobalRef(TClass FormClass);

  bool GetDropDownMode() const { return FDropDownMode; }
  // Makes the window again when it changes.
  void SetDropDownMode(bool Value);
  TDropDownFormElementsKv GetFormElements() const { return FFormElements; }
  void SetFormElements(TDropDownFormElementsKv Value) { FFormElements = Value; }
  bool GetKeepFormVisible() const { return FKeepFormVisible; }
  void SetKeepFormVisible(bool Value) { FKeepFormVisible = Value; }
  bool GetModalMode() const { return FModalMode; }
  Integer GetBorderWidth() const { return FBorderWidth; }
  TDropLayoutKv GetDropLayout() const { return FDropLayout; }
  TDropDownFormSysParams* GetSysParams() const { return FSysParams; }
  bool HasCallback() const { return bool(FCallbackProc); }
  TWinControl* GetMasterFocusControl() const { return FMasterFocusControl; }
  TCustomForm* GetMasterForm() const { return FMasterForm; }
  TSizeGripKv* GetSizeGrip() const { return FSizeGrip; }
  TSizeGripKv* GetSizeGrip2() const { return FSizeGrip2; }
  TDDFCloseButtonKv* GetCloseButton() const { return FCloseButton; }
  TDDFSizingBarKv* GetSizingBar() const { return FSizingBar; }
  TCanvas* GetCanvas() const { return FCanvas.get(); }

  TInitDropDownFormEventKv GetOnInitForm() const { return FOnInitForm; }
  void SetOnInitForm(const TInitDropDownFormEventKv& Value) { FOnInitForm = Value; }
  TPutBackFormParamsEventKv GetOnReturnParams() const { return FOnReturnParams; }
  void SetOnReturnParams(const TPutBackFormParamsEventKv& Value) { FOnReturnParams = Value; }

  PUBLISHED_DECL(TCustomDropDownFormKv);

 protected:
  virtual void PaintFormBorder(const TRect& Rect);
  virtual void InitElements();
  // OnInitForm: descendants read their values from DynParams here.
  virtual void InitForm(TWinControl* Host, TDynVarsKv* DynParams);
  // OnReturnParams: descendants write their values back here.
  virtual void ReturnParams(TWinControl* Host, TDynVarsKv* DynParams);
  // Before a non-modal drop-down is placed.
  virtual void UpdateSize() {}
  virtual void Paint();
  // Makes this form its class's shared instance (for descendants that keep one).
  void SetAsGlobalRef();

  void Loaded() override;
  void AdjustClientRect(TRect& Rect) override;
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void PaintWindow(HDC DC) override;
  void DoClose(TCloseAction& Action) override;
  void Deactivate() override;
  bool DoHandleStyleMessage(TMessage& Message) override;
  void GetChildren(TGetChildProc Proc, TComponent* Root) override;
  void WMPaint(TWMPaint& Message);
  void WMSize(TWMSize& Message);
  void WMWindowPosChanged(TWMWindowPosChanged& Message);

 private:
  void InitNew();
  void SetMinimumSize();
  // Hides a visible form; a non-modal call still open on it is closed first, without OK.
  void EndShownCall();
  // Places the form against R inside the nearest work area; true when it went under R.
  bool PlaceAgainst(const TRect& R, TDropDownAlign Align);
  void SetGripCorners(bool Under);
  void UpdateGrips(bool TakeVisibility);

  Integer FBorderWidth = 2;
  TDropDownFormCallbackProcKv FCallbackProc;
  bool FDropDownMode = true;
  bool FKeepFormVisible = false;
  bool FReadOnly = false;
  bool FModalMode = false;
  bool FClosing = false;
  bool FActivateClosing = false;
  bool FActivateShowing = false;
  TDropDownFormElementsKv FFormElements{ddfeLeftGripKv, ddfeRightGripKv, ddfeCloseButtonKv, ddfeSizingBarKv};
  TInitDropDownFormEventKv FOnInitForm;
  TPutBackFormParamsEventKv FOnReturnParams;
  // The form's own controls, owned through its component list.
  TSizeGripKv* FSizeGrip = nullptr;
  TSizeGripKv* FSizeGrip2 = nullptr;
  TDDFCloseButtonKv* FCloseButton = nullptr;
  TDDFSizingBarKv* FSizingBar = nullptr;
  TDropLayoutKv FDropLayout = dlUnderControlKv;
  TDynVarsKv* FDynParams = nullptr;              // the call's, not owned
  TDropDownFormSysParams* FSysParams = nullptr;  // the call's, not owned
  TComponentRef<TWinControl> FMasterFocusControl;
  TComponentRef<TCustomForm> FMasterForm;
  std::unique_ptr<TCanvas> FCanvas;
};

// ---- Call parameters --------------------------------------------------------------------------

// Which values travel to a drop-down form: the named fields, the edit's own value, every field
// of the record, or none (the open procedure or the form fills the set itself).
DECLARE_ENUM(TDropDownPassParamsKv, pspByFieldNamesKv, pspFieldValueKv, pspRecordValuesKv, pspCustomValuesKv)

using TEditControlShowDropDownFormEventKv =
    Closure<void(TWinControl* EditControl, TEditButtonKv* Button, TCustomForm*& DropDownForm, TDynVarsKv* DynParams)>;
using TEditControlCloseDropDownFormEventKv = Closure<void(TWinControl* EditControl, TEditButtonKv* Button,
                                                          bool Accept, TCustomForm* DropDownForm, TDynVarsKv* DynParams)>;
using TGetDropDownFormEventKv = Closure<void(TCustomForm*& DropDownForm, bool& FreeFormOnClose)>;
using TGetVarValueProcKv = Closure<void(Variant& VarValue)>;
using TSetVarValueProcKv = Closure<void(const Variant& VarValue)>;
using TCheckDataIsReadOnlyEventKv = Closure<void(bool& ReadOnly)>;

struct TDropDownCallKv;

// The DropDownFormParams of an edit button: the form to open (an instance or a registered class
// name), what to pass in and assign back, the size kept between calls and the alignment. The
// calling control fills in the run-time fields before each call.
class TDropDownFormCallParamsKv : public TPersistent {
  DECLARE_CLASS(TDropDownFormCallParamsKv, TPersistent)
 public:
  TDropDownFormCallParamsKv();
  // Closes a drop-down this object still has open, without calling back.
  ~TDropDownFormCallParamsKv() override;
  void Assign(TPersistent* Source) override;

  // Opens the form; Handled becomes true when one opened.
  virtual void CheckShowDropDownForm(bool& Handled);
  // The callback of the open form.
  virtual void DoCloseDropDownForm(TCustomForm* DropDownForm, bool Accept, TDynVarsKv* DynParams,
                                   TDropDownFormSysParams* SysParams);
  // The form of the call in progress (nil when none is open).
  TCustomForm* GetOpenForm() const;

  virtual TWinControl* GetEditControl() { return FEditControl; }
  virtual TEditButtonKv* GetEditButton() { return FEditButton; }
  virtual TEditButtonControlKv* GetEditButtonControl() { return FEditButtonControl; }
  // The form to show and whether the call made it (it is then freed when it closes).
  virtual TCustomForm* GetActualDropDownForm(bool& FreeFormOnClose);
  virtual TEditControlShowDropDownFormEventKv GetOnOpenDropDownFormProc() { return FOnOpenDropDownFormProc; }
  virtual TEditControlCloseDropDownFormEventKv GetOnCloseDropDownFormProc() { return FOnCloseDropDownFormProc; }
  virtual TSetVarValueProcKv GetOnSetVarValueProc() { return FOnSetVarValueProc; }
  virtual TGetVarValueProcKv GetOnGetVarValueProc() { return FOnGetVarValueProc; }
  virtual TDataLink* GetDataLink() { return FDataLink; }
  virtual TField* GetField();
  // OnGetVarValueProc, else Null.
  virtual void GetVarValue(Variant& VarValue);
  // The field's read-only flag, then OnCheckDataIsReadOnly.
  virtual bool CheckDataIsReadOnly();
  // The edit control's screen rectangle, else EditControlScreenRect.
  virtual TRect GetEditControlScreenRect();

  // Design-time settings.
  TDropDownAlign GetAlign() const { return FAlign; }
  void SetAlign(TDropDownAlign Value) { FAlign = Value; }
  // Field names separated by ";".
  String GetAssignBackFieldNames() const { return FAssignBackFieldNames; }
  void SetAssignBackFieldNames(const String& Value) { FAssignBackFieldNames = Value; }
  TCustomForm* GetDropDownForm() const { return FDropDownForm; }
  void SetDropDownForm(TCustomForm* Value);
  String GetDropDownFormClassName() const { return FDropDownFormClassName; }
  void SetDropDownFormClassName(const String& Value);
  // -1: the form's own height.
  Integer GetFormHeight() const { return FFormHeight; }
  void SetFormHeight(Integer Value) { FFormHeight = Value; }
  Integer GetFormWidth() const { return FFormWidth; }
  void SetFormWidth(Integer Value) { FFormWidth = Value; }
  String GetPassFieldNames() const { return FPassFieldNames; }
  void SetPassFieldNames(const String& Value) { FPassFieldNames = Value; }
  TDropDownPassParamsKv GetPassParams() const { return FPassParams; }
  void SetPassParams(TDropDownPassParamsKv Value) { FPassParams = Value; }
  bool GetSaveFormSize() const { return FSaveFormSize; }
  void SetSaveFormSize(bool Value) { FSaveFormSize = Value; }

  // Run-time fields, references the calling control fills in before each call.
  void SetEditControl(TWinControl* Value) { FEditControl = Value; }
  void SetEditButton(TEditButtonKv* Value) { FEditButton = Value; }
  void SetEditButtonControl(TEditButtonControlKv* Value);
  void SetEditControlScreenRect(const TRect& Value) { FEditControlScreenRect = Value; }
  void SetDataLink(TDataLink* Value) { FDataLink = Value; }
  void SetField(TField* Value);
  void SetOnOpenDropDownFormProc(const TEditControlShowDropDownFormEventKv& Value) { FOnOpenDropDownFormProc = Value; }
  void SetOnCloseDropDownFormProc(const TEditControlCloseDropDownFormEventKv& Value) {
    FOnCloseDropDownFormProc = Value;
  }
  TGetDropDownFormEventKv GetOnGetActualDropDownFormProc() const { return FOnGetActualDropDownFormProc; }
  void SetOnGetActualDropDownFormProc(const TGetDropDownFormEventKv& Value) { FOnGetActualDropDownFormProc = Value; }
  void SetOnGetVarValueProc(const TGetVarValueProcKv& Value) { FOnGetVarValueProc = Value; }
  void SetOnSetVarValueProc(const TSetVarValueProcKv& Value) { FOnSetVarValueProc = Value; }
  TCheckDataIsReadOnlyEventKv GetOnCheckDataIsReadOnly() const { return FOnCheckDataIsReadOnly; }
  void SetOnCheckDataIsReadOnly(const TCheckDataIsReadOnlyEventKv& Value) { FOnCheckDataIsReadOnly = Value; }
  TNotifyEvent GetOnChanged() const { return FOnChanged; }
  void SetOnChanged(const TNotifyEvent& Value) { FOnChanged = Value; }

  PUBLISHED_DECL(TDropDownFormCallParamsKv);

 protected:
  virtual TDropDownFormSysParams* CreateSysParams();
  // Empty: a hook after a close (the grids release their buttons here).
  virtual void DropDownFormClosed(bool Accept, TCustomForm* DropDownForm, TDropDownFormSysParams* SysParams,
                                  TDynVarsKv* DynParams) {}
  // Holds the button control down and gives the form the data's read-only state.
  virtual void PrepareDropDownForm(TCustomForm* DropDownForm, TDynVarsKv* DynParams, TDropDownFormSysParams* SysParams);
  // Fires OnChanged.
  virtual void Changed();
  virtual void AssignPassParams(TDynVarsKv* DynParams);
  // Writes the returned values to the fields or through OnSetVarValueProc. An edit this step
  // began is posted, or cancelled when a value is refused.
  virtual void AssignBackValues(TDynVarsKv* DynParams);
  // OnOpenDropDownFormProc, which may replace the form.
  virtual void DoOpenDropDownForm(TCustomForm*& DropDownForm, TDynVarsKv* DynParams, TDropDownFormSysParams* SysParams);
  virtual void FillSysParams(TDropDownFormSysParams* SysParams);
  // OnSetVarValueProc.
  virtual void SetVarValue(const Variant& VarValue);

 private:
  // Closes a form still open from an earlier call through its own close, so that call ends.
  void EndPreviousCall();
  // Forgets the call in progress; with Abandon the form is told to drop it without calling back.
  void ReleaseCall(bool Abandon);

  TDropDownAlign FAlign = daCenter;
  String FAssignBackFieldNames;
  TComponentRef<TCustomForm> FDropDownForm;
  String FDropDownFormClassName;
  Integer FFormHeight = -1;
  Integer FFormWidth = -1;
  String FPassFieldNames;
  TDropDownPassParamsKv FPassParams = pspFieldValueKv;
  bool FSaveFormSize = true;

  TComponentRef<TWinControl> FEditControl;
  TEditButtonKv* FEditButton = nullptr;  // the button owns these parameters
  TComponentRef<TEditButtonControlKv> FEditButtonControl;
  TRect FEditControlScreenRect;
  TDataLink* FDataLink = nullptr;  // the edit's, which owns the button and so these parameters
  TComponentRef<TField> FField;
  TEditControlShowDropDownFormEventKv FOnOpenDropDownFormProc;
  TEditControlCloseDropDownFormEventKv FOnCloseDropDownFormProc;
  TGetDropDownFormEventKv FOnGetActualDropDownFormProc;
  TGetVarValueProcKv FOnGetVarValueProc;
  TSetVarValueProcKv FOnSetVarValueProc;
  TCheckDataIsReadOnlyEventKv FOnCheckDataIsReadOnly;
  TNotifyEvent FOnChanged;
  Integer FOldFormWidth = -1;
  Integer FOldFormHeight = -1;
  std::shared_ptr<TDropDownCallKv> FCall;
};
