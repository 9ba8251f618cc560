#pragma once
// Drop-down forms and the parameters an edit button opens them with.

#include "framework/Classes.h"
#include "framework/controls/ControlTypes.h"

class TCustomForm;

// Which values travel to a drop-down form: the named fields, the edit's own value, every field
// of the record, or none (the open procedure or the form fills the set itself).
DECLARE_ENUM(TDropDownPassParamsKv, pspByFieldNamesKv, pspFieldValueKv, pspRecordValuesKv, pspCustomValuesKv)

// The DropDownFormParams of an edit button: the form to open (an instance or a registered class
// name), what to pass in and assign back, the size kept between calls and the alignment.
class TDropDownFormCallParamsKv : public TPersistent {
  DECLARE_CLASS(TDropDownFormCallParamsKv, TPersistent)
 public:
  TDropDownFormCallParamsKv();
  ~TDropDownFormCallParamsKv() override;
  void Assign(TPersistent* Source) override;

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

  TNotifyEvent GetOnChanged() const { return FOnChanged; }
  void SetOnChanged(const TNotifyEvent& Value) { FOnChanged = Value; }

  PUBLISHED_DECL(TDropDownFormCallParamsKv);

 protected:
  // Fires OnChanged.
  virtual void Changed();

 private:
  TDropDownAlign FAlign = daCenter;
  String FAssignBackFieldNames;
  TComponentRef<TCustomForm> FDropDownForm;
  String FDropDownFormClassName;
  Integer FFormHeight = -1;
  Integer FFormWidth = -1;
  String FPassFieldNames;
  TDropDownPassParamsKv FPassParams = pspFieldValueKv;
  bool FSaveFormSize = true;
  TNotifyEvent FOnChanged;
};
