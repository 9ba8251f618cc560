#pragma once
// The family's check box (part of the unit DBCtrlsKv), bound to a field through a
// TFieldDataLinkKv or holding its own value while unbound. Field values map to checked, unchecked
// and grayed through two ";"-separated lists of accepted texts (ValueChecked, ValueUnchecked);
// Boolean fields with the default lists are read directly. Assigning Checked or State posts at
// once; a click only changes the box, which posts on exit or when the dataset updates its record.
// It paints its own glyph and caption, flat or not, with hot tracking. The header stays free of
// the dataset layer, so that a form holding boxes needs none of it.

#include <memory>

#include "framework/StdCtrls.h"

class TBasicAction;
class TControlCanvas;
class TDataSource;
class TDynVarsKv;
class TField;
class TFieldDataLinkKv;
class TReader;
class TWriter;

// Handled true: the handler wrote the data itself.
using TUpdateDataEventKv = Closure<void(TObject* Sender, bool& Handled)>;

class TCustomDBCheckBoxKv : public TCustomCheckBox {
  DECLARE_CLASS(TCustomDBCheckBoxKv, TCustomCheckBox)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_PAINT, TWMPaint, WMPaint)
    MESSAGE_HANDLER(WM_ERASEBKGND, TWMEraseBkgnd, WMEraseBkgnd)
    MESSAGE_HANDLER(WM_LBUTTONDOWN, TWMMouse, WMLButtonDown)
    MESSAGE_HANDLER(WM_LBUTTONUP, TMessage, RepaintAfter)
    MESSAGE_HANDLER(WM_SETFOCUS, TMessage, RepaintAfter)
    MESSAGE_HANDLER(WM_KILLFOCUS, TMessage, RepaintAfter)
    MESSAGE_HANDLER(WM_SIZE, TMessage, RepaintAfter)
    MESSAGE_HANDLER(CM_ENABLEDCHANGED, TMessage, RepaintAfter)
    MESSAGE_HANDLER(CM_TEXTCHANGED, TMessage, RepaintAfter)
    MESSAGE_HANDLER(CM_MOUSEENTER, TCMMouseEnter, CMMouseEnter)
    MESSAGE_HANDLER(CM_MOUSELEAVE, TCMMouseLeave, CMMouseLeave)
    MESSAGE_HANDLER(CM_CTL3DCHANGED, TMessage, CMCtl3DChanged)
    MESSAGE_HANDLER(CN_COMMAND, TWMCommand, CNCommand)
    MESSAGE_HANDLER(CM_WANTSPECIALKEY, TCMWantSpecialKey, CMWantSpecialKey)
    MESSAGE_HANDLER(CM_EXIT, TCMExit, CMExit)
    MESSAGE_HANDLER(CM_GETDATALINK, TMessage, CMGetDataLink)
  END_MESSAGE_MAP

 public:
  explicit TCustomDBCheckBoxKv(TComponent* AOwner);
  ~TCustomDBCheckBoxKv() override;

  bool GetChecked() const override { return FState == cbChecked; }
  void SetChecked(bool Value) override { SetState(Value ? cbChecked : cbUnchecked); }
  TCheckBoxState GetState() const override { return FState; }
  // Posts at once: a bound box first puts its dataset into edit state (raising what the dataset
  // raises); a value the field refuses reloads the box and the error passes on.
  void SetState(TCheckBoxState Value) override;
  // Right-justified, except left-justified for a right-to-left box whose Alignment is right.
  TLeftRight GetControlsAlignment() const override;
  // The component's own handling, then the data link's.
  bool ExecuteAction(TBasicAction* Action);
  bool UpdateAction(TBasicAction* Action);

  bool GetAlwaysShowBorder() const { return FAlwaysShowBorder; }
  void SetAlwaysShowBorder(bool Value);
  String GetDataField() const;
  void SetDataField(const String& Value);
  TDataSource* GetDataSource() const;
  void SetDataSource(TDataSource* Value);
  TDynVarsKv* GetDynProps() const { return FDynProps.get(); }
  void SetDynProps(TDynVarsKv* Value);
  TField* GetField() const;
  TFieldDataLinkKv* GetDataLink() const { return FDataLink.get(); }
  bool GetFlat() const { return FFlat; }
  void SetFlat(bool Value);
  // The state changed since it was last loaded.
  bool GetModified() const { return FModified; }
  bool GetReadOnly() const;
  void SetReadOnly(bool Value);
  const String& GetValueChecked() const { return FValueCheck; }
  void SetValueChecked(const String& Value);
  const String& GetValueUnchecked() const { return FValueUncheck; }
  void SetValueUnchecked(const String& Value);
  TUpdateDataEventKv GetOnUpdateData() const { return FOnUpdateData; }
  void SetOnUpdateData(const TUpdateDataEventKv& Value) { FOnUpdateData = Value; }
  bool IsStateStored() const;

  virtual bool DataIndepended() const;

 protected:
  virtual void DrawCaption(const TRect& Rect, bool IsFocused, bool IsHot, bool IsPressed);
  virtual void DrawCheckBoxGlyph(const TRect& Rect, TCheckBoxState AState, bool IsPressed, bool IsHot,
                                 bool IsFocused);
  virtual void DrawCheckBoxAndCaption(TCheckBoxState AState, bool IsFocused, bool IsHot, bool IsPressed);
  // Stores the state and tells the window; unless clicks are disabled, fires OnClick. Does not post.
  virtual void InternalSetState(TCheckBoxState Value);
  // Writes the state into the field, or the link's own value while unbound.
  virtual void InternalUpdatePostData();
  virtual void Paint();
  // OnUpdateData, then InternalUpdatePostData unless the handler wrote the data itself.
  virtual void UpdateData();

  // Unchecked, grayed (with AllowGrayed), checked; only when the link can start an edit.
  void Toggle() override;
  void Click() override;
  void DefineProperties(TFiler* Filer) override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(Char& Key) override;
  void KeyUp(Word& Key, TShiftState Shift) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void PaintWindow(HDC DC) override;

  // The state the data says.
  TCheckBoxState GetFieldState();
  void DataChange(TObject* Sender);
  TControlCanvas* GetCanvas() const { return FCanvas.get(); }

  void WMPaint(TWMPaint& Message);
  void WMEraseBkgnd(TWMEraseBkgnd& Message);
  // A double click arrives here too: the box takes no double clicks, so each click toggles.
  void WMLButtonDown(TWMMouse& Message);
  void RepaintAfter(TMessage& Message);
  void CMMouseEnter(TCMMouseEnter& Message);
  void CMMouseLeave(TCMMouseLeave& Message);
  void CMCtl3DChanged(TMessage& Message);
  void CNCommand(TWMCommand& Message);
  void CMWantSpecialKey(TCMWantSpecialKey& Message);
  void CMExit(TCMExit& Message);
  void CMGetDataLink(TMessage& Message);

 private:
  void LinkUpdateData(TObject* Sender) { UpdateData(); }
  void ReadValueChecked(TReader* Reader);
  void WriteValueChecked(TWriter* Writer);
  void ReadValueUnchecked(TReader* Reader);
  void WriteValueUnchecked(TWriter* Writer);

  bool FAlwaysShowBorder = false;
  std::unique_ptr<TControlCanvas> FCanvas;
  std::unique_ptr<TFieldDataLinkKv> FDataLink;
  std::unique_ptr<TDynVarsKv> FDynProps;
  bool FFlat = false;
  bool FModified = false;
  bool FMouseAboveControl = false;
  TCheckBoxState FState = cbUnchecked;
  String FValueCheck;
  String FValueUncheck;
  TUpdateDataEventKv FOnUpdateData;
  bool FDataPosting = false;
  bool FToggleKeyDown = false;
};

class TDBCheckBoxKv : public TCustomDBCheckBoxKv {
  DECLARE_CLASS(TDBCheckBoxKv, TCustomDBCheckBoxKv)
 public:
  using TCustomDBCheckBoxKv::TCustomDBCheckBoxKv;
  PUBLISHED_DECL(TDBCheckBoxKv);
};
