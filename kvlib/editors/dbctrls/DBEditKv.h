#pragma once
// The family's data-aware single-line edit (part of the unit DBCtrlsKv): a masked edit bound to
// one field through a TFieldDataLinkKv, or holding its own value while unbound. It adds a strip of
// edit buttons, an image at the left, an attached label, a placeholder while empty, a tooltip for
// text that does not fit, a dotted red line for a missing required value, a flat border, and the
// role of an in-place editor inside a grid-like holder. Assigning Text or Value posts at once.
// Its parts live in DBEditKv.cpp (data), DBEditInputKv.cpp (keys, clipboard, focus),
// DBEditPaintKv.cpp (painting, height, border) and DBEditInplaceKv.cpp (the in-place role).

#include <memory>

#include "framework/Mask.h"
#include "framework/Variants.h"
#include "framework/controls/Hint.h"
#include "kvlib/editors/dbctrls/ControlLabelKv.h"
#include "kvlib/editors/dbctrls/DBCheckBoxKv.h"
#include "kvlib/editors/dbctrls/EditButtonsBoxKv.h"
#include "kvlib/editors/dbctrls/EditImageKv.h"
#include "kvlib/editors/dbctrls/EmptyDataInfoKv.h"
#include "kvlib/editors/dbctrls/InplaceEditKv.h"
#include "kvlib/foundation/ButtonsKv.h"
#include "kvlib/foundation/DropDownFormKv.h"
#include "kvlib/foundation/ToolCtrlsKv.h"

class TBasicAction;
class TControlCanvas;
class TCustomDBEditKv;
class TDataLink;
class TDataSource;
class TDynVarsKv;
class TField;
class TFieldDataLinkKv;
class TMRUListKv;
class TMRUListboxKv;
class TReader;
class TWriter;

// Handled true: Value is the text to show, the field is not read.
using TGetFieldDataEventKv = Closure<void(TObject* Sender, Variant& Value, bool& Handled)>;
using TOnCheckDrawRequiredStateEventKv = Closure<void(TObject* Sender, bool& DrawState)>;
using TGetImageIndexEventKv = Closure<void(TObject* Sender, Integer& ImageIndex)>;

DECLARE_ENUM(TDBEditKvValue, evAlignmentKv, evEditMaskKv)
using TDBEditKvValues = Set<TDBEditKvValue>;

// Trailing CR and LF removed, then every CR LF, LF CR, LF and CR one space.
String FlattenLineBreaksKv(const String& Text);

// The family-wide action of an edit button that nothing else handled: IsMouseDown true for the
// press, false for the click. EditControl must be a TCustomDBEditKv.
using TEditButtonDefaultActionProcKv = void (*)(TWinControl* EditControl, TEditButtonKv* EditButton,
                                                TEditButtonControlKv* EditButtonControl, bool IsMouseDown,
                                                bool& Handled);
// Drop-down buttons open their DropDownFormParams (the shared memo editor when they name no
// form) on a press; ellipsis and glyph buttons show the memo editor modally on a click.
void DefaultEditButtonAction(TWinControl* EditControl, TEditButtonKv* EditButton,
                             TEditButtonControlKv* EditButtonControl, bool IsMouseDown, bool& Handled);
// Installed when the editors' unit starts; nil leaves unhandled buttons doing nothing.
extern TEditButtonDefaultActionProcKv DBEditDefaultEditButtonActionProc;
// The class of the shared memo editor window, whose shared instance plain edits and the grids'
// text columns drop down; set when the editors' unit starts.
extern TClass DefaultTextDropDownFormClass;

// Opens the button's own form (DropDownFormParams' form or class name) under EditControl with
// Value passed in; Handled true when it opened, or when this press is the one that closed it
// (the edit-closed marker for Button is still queued). Nothing happens while ButtonControl is
// held down by an open form. CloseProc hears the close after the values were assigned back.
void ShowButtonDropDownForm(TWinControl* EditControl, TDataLink* DataLink, TField* Field, bool& Handled,
                            const TEditControlCloseDropDownFormEventKv& CloseProc,
                            const TEditControlShowDropDownFormEventKv& OnOpenDropDownForm,
                            TEditButtonControlKv* ButtonControl, TEditButtonKv* Button,
                            const TSetVarValueProcKv& SetValueProc, const Variant& Value);
// Whether the edit-closed marker of EditControl for Button (WM_USER, WParam the edit's window,
// LParam the button) waits in the queue.
bool EditClosedMarkerQueuedKv(TWinControl* EditControl, TEditButtonKv* Button);

// The hint window of an edit's tooltip: it measures with the edit's font.
class TToolTipsWindow : public THintWindow {
  DECLARE_CLASS(TToolTipsWindow, THintWindow)
 public:
  using THintWindow::THintWindow;
  TRect CalcHintRect(Integer MaxWidth, const String& AHint, void* AData) override;
};

class TCustomDBEditKv : public TCustomMaskEdit,
                        public IControlLabelOwnerKv,
                        public IComboEditKv,
                        public IInplaceEditKv,
                        public IEmptyDataInfoEditKv {
  DECLARE_CLASS(TCustomDBEditKv, TCustomMaskEdit)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CM_ENTER, TCMEnter, CMEnter)
    MESSAGE_HANDLER(CM_EXIT, TCMExit, CMExit)
    MESSAGE_HANDLER(WM_PASTE, TMessage, WMPaste)
    MESSAGE_HANDLER(WM_CUT, TMessage, WMCut)
    MESSAGE_HANDLER(WM_CLEAR, TMessage, WMClear)
    MESSAGE_HANDLER(WM_UNDO, TMessage, WMUndo)
    MESSAGE_HANDLER(EM_UNDO, TMessage, WMUndo)
    MESSAGE_HANDLER(WM_CHAR, TWMChar, WMChar)
    MESSAGE_HANDLER(WM_GETDLGCODE, TWMGetDlgCode, WMGetDlgCode)
    MESSAGE_HANDLER(WM_SETCURSOR, TWMSetCursor, WMSetCursor)
    MESSAGE_HANDLER(WM_PAINT, TWMPaint, WMPaint)
    MESSAGE_HANDLER(WM_NCPAINT, TMessage, WMNCPaint)
    MESSAGE_HANDLER(WM_SIZE, TWMSize, WMSize)
    MESSAGE_HANDLER(CM_HINTSHOW, TCMHintShow, CMHintShow)
    MESSAGE_HANDLER(CM_MOUSEENTER, TCMMouseEnter, CMMouseEnter)
    MESSAGE_HANDLER(CM_MOUSELEAVE, TCMMouseLeave, CMMouseLeave)
    MESSAGE_HANDLER(CM_FONTCHANGED, TMessage, CMFontChanged)
    MESSAGE_HANDLER(CM_COLORCHANGED, TMessage, CMColorChanged)
    MESSAGE_HANDLER(CM_ENABLEDCHANGED, TMessage, CMEnabledChanged)
    MESSAGE_HANDLER(CM_SYSCOLORCHANGE, TMessage, CMSysColorChange)
    MESSAGE_HANDLER(CM_SHOWINGCHANGED, TMessage, CMShowingChanged)
    MESSAGE_HANDLER(CM_GETDATALINK, TMessage, CMGetDataLink)
    MESSAGE_HANDLER(CM_EDITIMAGECHANGEDKV, TMessage, CMEditImageChanged)
    MESSAGE_HANDLER(CM_CANCELMODE, TCMCancelMode, CMCancelMode)
  END_MESSAGE_MAP

 public:
  explicit TCustomDBEditKv(TComponent* AOwner);
  ~TCustomDBEditKv() override;

  // ---- Text and value: an assignment posts at once; a value the field refuses reloads the edit
  // and the error passes on.
  String GetText() { return TCustomMaskEdit::GetText(); }
  void SetText(const String& Value);
  Variant GetValue() { return GetVariantValue(); }
  void SetValue(const Variant& Value) { SetVarValue(Value); }
  virtual void Clear() { SetText(L""); }
  void Undo();
  // The link reloads, all text selected.
  void Reset();
  // Nothing selected: the selection runs from the maximum position to the end.
  void Deselect();
  bool EditCanModify() override;
  void ValidateEdit() override;

  // ---- Properties
  TAlignment GetAlignment();
  void SetAlignment(TAlignment Value);
  bool IsAlignmentStored() const { return FAssignedValues.Contains(evAlignmentKv); }
  bool GetAlwaysShowBorder() const { return FAlwaysShowBorder; }
  void SetAlwaysShowBorder(bool Value);
  TControlLabelKv* GetControlLabel() const { return FControlLabel; }
  void SetControlLabel(TControlLabelKv* Value);
  TControlLabelLocationKv* GetControlLabelLocation() const { return FControlLabelLocation.get(); }
  void SetControlLabelLocation(TControlLabelLocationKv* Value);
  String GetDataField() { return GetDataFieldSlot(); }
  void SetDataField(const String& Value) { SetDataFieldSlot(Value); }
  TDataSource* GetDataSource() { return GetDataSourceSlot(); }
  void SetDataSource(TDataSource* Value) { SetDataSourceSlot(Value); }
  TDynVarsKv* GetDynProps() const { return FDynProps.get(); }
  void SetDynProps(TDynVarsKv* Value);
  String GetEditMask() const { return TCustomMaskEdit::GetEditMask(); }
  void SetEditMask(const String& Value);
  bool IsEditMaskStored() const { return FAssignedValues.Contains(evEditMaskKv); }
  TEditButtonKv* GetEditButton() const { return FEditButton.get(); }
  void SetEditButton(TEditButtonKv* Value) { FEditButton->Assign(Value); }
  TEditButtonsKv* GetEditButtons() const { return FEditButtons.get(); }
  void SetEditButtons(TEditButtonsKv* Value) { FEditButtons->Assign(Value); }
  TEditButtonsBoxKv* GetButtonsBox() const { return FButtonsBox; }
  TEditImageKv* GetEditImageObj() const { return FEditImage.get(); }
  TControlEmptyDataInfoKv* GetEmptyDataInfo() const { return FEmptyDataInfo.get(); }
  void SetEmptyDataInfo(TControlEmptyDataInfoKv* Value);
  TField* GetField();
  TFieldDataLinkKv* GetDataLink() const { return FDataLink.get(); }
  bool GetFlat() const { return FFlat; }
  void SetFlat(bool Value);
  bool GetHighlightRequired() const { return FHighlightRequired; }
  void SetHighlightRequired(bool Value);
  TCustomImageList* GetImages() const;
  void SetImages(TCustomImageList* Value);
  TMRUListKv* GetMRUList() const { return FMRUList.get(); }
  void SetMRUList(TMRUListKv* Value);
  bool GetReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  bool GetOwnShowHint() const { return FShowHint; }
  void SetOwnShowHint(bool Value);
  bool GetTooltips() const { return FTooltips; }
  void SetTooltips(bool Value);
  bool GetWantReturns() const { return FWantReturns; }
  void SetWantReturns(bool Value) { FWantReturns = Value; }
  bool GetWantTabs() const { return FWantTabs; }
  void SetWantTabs(bool Value) { FWantTabs = Value; }
  bool GetWordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  void SetPasswordChar(Char Value);
  bool GetBorderActive() const { return FBorderActive; }
  bool IsTextStored();
  bool IsValueStored();

  // In in-place mode: whether the window exists and is shown; otherwise the property.
  bool GetVisible();
  // False in in-place mode hides the window and leaves the property.
  void SetVisible(bool Value);
  void Hide();
  void SetFocus() override;
  void SetParent(TWinControl* AParent) override;
  // The strip and its button controls are the edit's own making: never streamed.
  void GetChildren(TGetChildProc Proc, TComponent* Root) override {}
  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;
  void Move(const TRect& Loc);
  void UpdateLoc(const TRect& Loc);
  bool GetInplaceMode() const { return FInplaceMode; }
  TWinControl* GetInplaceEditHolder() const { return FInplaceEditHolder; }

  bool ExecuteAction(TBasicAction* Action);
  bool UpdateAction(TBasicAction* Action);

  // ---- Events
  TButtonClickEventKv GetOnButtonClick() const { return FOnButtonClick; }
  void SetOnButtonClick(const TButtonClickEventKv& Value) { FOnButtonClick = Value; }
  TEditButtonDownEventKv GetOnButtonDown() const { return FOnButtonDown; }
  void SetOnButtonDown(const TEditButtonDownEventKv& Value) { FOnButtonDown = Value; }
  TOnCheckDrawRequiredStateEventKv GetOnCheckDrawRequiredState() const { return FOnCheckDrawRequiredState; }
  void SetOnCheckDrawRequiredState(const TOnCheckDrawRequiredStateEventKv& Value) { FOnCheckDrawRequiredState = Value; }
  TEditControlShowDropDownFormEventKv GetOnOpenDropDownForm() const { return FOnOpenDropDownForm; }
  void SetOnOpenDropDownForm(const TEditControlShowDropDownFormEventKv& Value) { FOnOpenDropDownForm = Value; }
  TEditControlCloseDropDownFormEventKv GetOnCloseDropDownForm() const { return FOnCloseDropDownForm; }
  void SetOnCloseDropDownForm(const TEditControlCloseDropDownFormEventKv& Value) { FOnCloseDropDownForm = Value; }
  TGetFieldDataEventKv GetOnGetFieldData() const { return FOnGetFieldData; }
  void SetOnGetFieldData(const TGetFieldDataEventKv& Value) { FOnGetFieldData = Value; }
  TGetImageIndexEventKv GetOnGetImageIndex() const { return FOnGetImageIndex; }
  void SetOnGetImageIndex(const TGetImageIndexEventKv& Value) { FOnGetImageIndex = Value; }
  TUpdateDataEventKv GetOnUpdateData() const { return FOnUpdateData; }
  void SetOnUpdateData(const TUpdateDataEventKv& Value) { FOnUpdateData = Value; }

  // ---- IInplaceEditKv
  TFont* GetFont() override { return TControl::GetFont(); }
  void SetInplaceEditHolder(TWinControl* AInplaceEditHolder) override;
  void SetBorderStyle(TBorderStyle Value) override { TCustomMaskEdit::SetBorderStyle(Value); }
  void SetFont(TFont* Value) override { TControl::SetFont(Value); }
  void SetColor(TColor Value) override { TControl::SetColor(Value); }
  void SetOnKeyPress(const TKeyPressEvent& Value) override { TWinControl::SetOnKeyPress(Value); }
  void SetOnExit(const TNotifyEvent& Value) override { TWinControl::SetOnExit(Value); }

  // ---- IComboEditKv: nothing here; descendants close their drop-downs.
  void CloseUp(bool Accept) override {}

  // ---- IControlLabelOwnerKv
  String GetFieldDisplayName() override;
  Integer GetTextBaseline() override;
  void UpdateLabelPos() override;
  void LabelPositionChanged() override;

  // ---- IEmptyDataInfoEditKv
  TAlignment GetEditTextAlignment() override { return GetAlignment(); }
  bool IsEditEmpty() override { return IsEmpty(); }
  TEditImageKv* GetEditImage() override { return FEditImage.get(); }
  Integer GetEditButtonsWidth() override;
  void GetEditTextMargins(Integer& Horz, Integer& Vert) override { GetTextMargins(Horz, Vert); }
  TColor GetEditActualColor() override { return GetActualBackColor(); }
  TCanvas* GetEditCanvas() override;

  // ---- Virtual operations, in slot order
  virtual bool CanDropDown();
  virtual TFieldDataLinkKv* CreateDataLink();
  virtual TEditButtonKv* CreateEditButton();
  virtual TEditButtonsKv* CreateEditButtons();
  virtual TEditImageKv* CreateEditImage();
  // The MRU pop-up list, owned by the edit: hidden, flat, sorted.
  virtual TMRUListboxKv* CreateMRUListControl();
  virtual bool DataIndepended();
  virtual TAlignment DefaultAlignment();
  virtual String DefaultEditMask();
  virtual Integer DefaultImageIndex() { return -1; }
  // The main button while visible; a collection button that has nothing else to do.
  virtual bool IsButtonDefaultAction(TEditButtonKv* EditButton);
  virtual String FlattenLineBreaks(const String& Text) { return FlattenLineBreaksKv(Text); }
  virtual String GetDataFieldSlot();
  virtual TDataSource* GetDataSourceSlot();
  virtual String GetDisplayTextForPaintCopy();
  virtual TColor GetActualBackColor();
  virtual TColor GetActualFontColor();
  virtual Variant GetVariantValue();
  virtual bool IsValidChar(Char InputChar);
  virtual void UpdateMaxLengthAndFlags();
  virtual void AdjustHeight();
  virtual TRect GetEditRect(const TRect& ClientRect);
  // The strip's events: a press goes through the down event, the button's own form, its menu
  // and the default action; a click through the button's click, OnButtonClick (main button
  // only) and the default action.
  virtual void EditButtonClick(TObject* Sender);
  virtual void EditButtonDown(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled);
  virtual void EditButtonMouseMove(TObject* Sender, TShiftState Shift, Integer X, Integer Y);
  virtual void EditButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {}
  virtual void CreateEditButtonControl(TEditButtonControlKv*& EditButtonControl);
  // Closes an open MRU list; the date-time and number edits open their popups here.
  virtual void EditButtonDropDown(TEditButtonKv* EditButton, TEditButtonControlKv* EditButtonControl, bool& Handled);
  virtual void DefaultEditButtonClick(TEditButtonKv* EditButton, TEditButtonControlKv* EditButtonControl,
                                      bool& Handled);
  virtual void DefaultEditButtonDown(TEditButtonKv* EditButton, TEditButtonControlKv* EditButtonControl,
                                     bool& Handled, bool AutoRepeat, bool TopButton);
  // A drop-down form's ReadOnly follows the edit's, then OnOpenDropDownForm may replace the form.
  virtual void DoOpenDropDownForm(TWinControl* EditControl, TEditButtonKv* Button, TCustomForm*& DropDownForm,
                                  TDynVarsKv* DynParams);
  // The form a drop-down button without one of its own opens: the shared memo editor here.
  virtual void GetMemoEditWindow(TCustomForm*& DropDownForm, bool& FreeFormOnClose);
  virtual void GetValueForDropDown(Variant& VarValue) { VarValue = GetValue(); }
  virtual void SetValueFromDropDown(const Variant& VarValue) { SetVarValue(VarValue); }
  // Every strip control released, then OnCloseDropDownForm.
  virtual void DefaultDropDownFormClosed(TWinControl* EditControl, TEditButtonKv* Button, bool Accept,
                                         TCustomForm* DropDownForm, TDynVarsKv* DynParams);
  // Fills the MRU list's items from the field's values when a dataset-feature provider serves
  // the field's dataset; no provider of this program does.
  virtual void FillMRUAutogenItems(TMRUListKv* Sender, TStrings* AutogenItems);
  // After a change of the text by the user: the MRU list drops down filtered by the text, or
  // closes on a blank text (unless Backspace made it blank).
  virtual void UpdateMRUList();
  virtual void SetDroppedDownButton(TEditButtonKv* EditButton, TEditButtonControlKv* EditButtonControl);
  virtual void ClearDroppedDownButton();
  virtual void EditingChanged() { UpdateReadOnlyState(); }
  virtual void InternalSetText(const String& AText);
  virtual void InternalSetValue(const Variant& AValue);
  virtual void InternalUpdatePostData();
  virtual void DrawRequiredState(TCanvas* Canvas);
  virtual void UpdateMaxLengthFromField();
  virtual void SetDataFieldSlot(const String& Value);
  virtual void SetDataSourceSlot(TDataSource* Value);
  virtual void SetFocused(bool Value);
  virtual void SetVarValue(const Variant& Value);
  virtual void UpdateReadOnlyState();
  virtual void UpdateHeightStyle();
  virtual void UpdateHintShowing();
  virtual void RefreshEditImageIndex();
  virtual bool IsEmpty();
  virtual void UpdateData();
  virtual void DataChanged();

  // The text area's margins: X from its left edge (right for right to left), Y from the top.
  void GetTextMargins(Integer& X, Integer& Y);
  void UpdateEditRect();
  void UpdateBorderActive();
  // The strip: one entry for the main button and one for each collection button.
  void UpdateEditButtonsBox();
  void UpdateEditButtonsState();
  // Lets every strip control go.
  void ReleaseButtonControls();
  // The MRU pop-up list, made on first use.
  TMRUListboxKv* GetMRUListControl();
  // The strip's control that shows EditButton, nil when none does.
  TEditButtonControlKv* GetEditButtonControlByEditButton(TEditButtonKv* EditButton);
  // The main button when its DefaultAction is set and it is visible, else the first such visible
  // collection button, else nil.
  TEditButtonKv* GetFirstDefaultActionEditButton();
  bool GetDroppedDown() const { return FDroppedDown; }
  TEditButtonKv* GetDroppedDownButton() const { return FDroppedDownButton; }
  // The first button whose ShortCut is Key with Shift: the main one, then the collection's.
  TEditButtonKv* GetEditButtonByShortCut(TShortCut ShortCut);
  // True while the edit paints its text itself (unfocused, not left-aligned, no word wrap).
  bool OwnPainting();
  bool GetFixedHeight();

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void ChangeScale(Integer M, Integer D, bool IsDpiChange) override;
  void Change() override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(Char& Key) override;
  void KeyUp(Word& Key, TShiftState Shift) override;
  void WndProc(TMessage& Message) override;
  void DefaultHandler(void* Message) override;
  void PaintWindow(HDC DC) override;
  void DefineProperties(TFiler* Filer) override;
  bool UseRightToLeftAlignment() const override;

  void LinkDataChanged(TObject* Sender);
  void LinkEditingChanged(TObject* Sender) { EditingChanged(); }
  void LinkUpdateData(TObject* Sender);
  void LinkActiveChanged(TObject* Sender) { UpdateMaxLengthAndFlags(); }
  void EditButtonsChanged(TObject* Sender);
  // Repaints and asks for the free notice of a new image list.
  void EditButtonImagesChanged(TObject* Sender, TComponent* RefComponent);
  // A freed image list or menu leaves every button that refers to it.
  void ForgetButtonsReference(TComponent* AComponent);
  void MRUListDropDown(TObject* Sender);
  void MRUListCloseUp(TObject* Sender, bool Accept);
  void MRUListMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, Integer X, Integer Y);
  // Keys, Enter and Escape and the wheel while the MRU list is open; true when the list took it.
  bool MRUListMessage(TMessage& Message);
  // The window procedure of the edit itself, with its holder first in in-place mode.
  void EditWndProc(TMessage& Message);
  void CMCancelMode(TCMCancelMode& Message);
  void InplaceMoveTo(const TRect& Loc, bool Redraw);
  // Posts unless a post is running; a refused value reloads the edit and the error passes on.
  void PostOrReload();
  // Puts a bound edit's dataset into edit state.
  void EditDataSet();
  // The text of a value; a value that does not convert gives an empty text.
  static String ValueToTextKv(const Variant& Value);
  TRect ButtonsRect();
  TRect ImageRect();
  void PaintOwnText(TCanvas* Canvas);

  void CMEnter(TCMEnter& Message);
  void CMExit(TCMExit& Message);
  void WMPaste(TMessage& Message);
  void WMCut(TMessage& Message);
  void WMClear(TMessage& Message);
  void WMUndo(TMessage& Message);
  void WMChar(TWMChar& Message);
  void WMGetDlgCode(TWMGetDlgCode& Message);
  void WMSetCursor(TWMSetCursor& Message);
  void WMPaint(TWMPaint& Message);
  void WMNCPaint(TMessage& Message);
  void WMSize(TWMSize& Message);
  void CMHintShow(TCMHintShow& Message);
  void CMMouseEnter(TCMMouseEnter& Message);
  void CMMouseLeave(TCMMouseLeave& Message);
  void CMFontChanged(TMessage& Message);
  void CMColorChanged(TMessage& Message);
  void CMEnabledChanged(TMessage& Message);
  void CMSysColorChange(TMessage& Message);
  void CMShowingChanged(TMessage& Message);
  void CMGetDataLink(TMessage& Message);
  void CMEditImageChanged(TMessage& Message);

  bool FAlwaysShowBorder = false;
  TDBEditKvValues FAssignedValues;
  std::unique_ptr<TControlCanvas> FCanvas;
  String FCompleteKeyPress;
  TComponentRef<TControlLabelKv> FControlLabel;  // owned through the component list
  std::unique_ptr<TControlLabelLocationKv> FControlLabelLocation;
  std::unique_ptr<TDynVarsKv> FDynProps;
  std::unique_ptr<TEditButtonKv> FEditButton;
  std::unique_ptr<TEditButtonsKv> FEditButtons;
  std::unique_ptr<TEditImageKv> FEditImage;
  std::unique_ptr<TControlEmptyDataInfoKv> FEmptyDataInfo;
  bool FFlat = false;
  bool FHighlightRequired = false;
  std::unique_ptr<TMRUListKv> FMRUList;
  TMRUListboxKv* FMRUListControl = nullptr;  // owned through the component list
  bool FKeepMRUList = false;
  Integer FWndProcDepth = 0;
  bool FReadOnly = false;
  bool FShowHint = false;
  bool FTooltips = false;
  bool FWantReturns = false;
  bool FWantTabs = false;
  bool FWordWrap = false;
  TButtonClickEventKv FOnButtonClick;
  TEditButtonDownEventKv FOnButtonDown;
  TEditControlShowDropDownFormEventKv FOnOpenDropDownForm;
  TEditControlCloseDropDownFormEventKv FOnCloseDropDownForm;
  TOnCheckDrawRequiredStateEventKv FOnCheckDrawRequiredState;
  TGetFieldDataEventKv FOnGetFieldData;
  TGetImageIndexEventKv FOnGetImageIndex;
  TUpdateDataEventKv FOnUpdateData;
  TAlignment FAlignment = taLeftJustify;
  bool FBorderActive = false;
  TComponentRef<TEditButtonsBoxKv> FButtonsBox;  // a child control, owned through the component list
  std::unique_ptr<TFieldDataLinkKv> FDataLink;
  bool FDataPosting = false;
  bool FDroppedDown = false;
  TEditButtonKv* FDroppedDownButton = nullptr;  // one of the edit's own buttons
  TComponentRef<TEditButtonControlKv> FDroppedDownButtonControl;
  bool FFocused = false;
  Integer FImageWidth = 0;
  TWinControl* FInplaceEditHolder = nullptr;  // the holder's, not owned
  bool FInplaceMode = false;
  TDataSource* FInternalDataSourceRef = nullptr;  // free-notified
  bool FInternalTextSetting = false;
  IInplaceEditHolderKv* FIntfInplaceEditHolder = nullptr;
  bool FMouseAboveControl = false;
  bool FNoClickCloseUp = false;
  bool FUserTextChanged = false;
};

class TDBEditKv : public TCustomDBEditKv {
  DECLARE_CLASS(TDBEditKv, TCustomDBEditKv)
 public:
  using TCustomDBEditKv::TCustomDBEditKv;
  PUBLISHED_DECL(TDBEditKv);
};
