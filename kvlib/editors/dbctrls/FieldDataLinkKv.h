#pragma once
// The field data link every data-aware control of the family reads and writes through (part of
// the unit DBCtrlsKv). It binds one field, every field of a ";"-separated list (MultiFields), or,
// while neither a data source nor a field name is set, a value of its own (DataIndependentValue):
// an unbound control still enters edit mode, posts and reloads, against that value.

#include "framework/Variants.h"
#include "framework/db/DataLink.h"
#include "kvlib/foundation/ToolCtrlsKv.h"

class TComponent;
class TDataSource;
class TField;

class TFieldDataLinkKv : public TDataLink {
  DECLARE_CLASS(TFieldDataLinkKv, TDataLink)
 public:
  TFieldDataLinkKv();

  // Starts an edit; answers Editing afterwards. Unbound: unless already editing or read-only,
  // Editing becomes true. Bound: the dataset goes into edit state when the field can be modified.
  bool Edit();
  // The control changed the data.
  void Modified() { FModified = true; }
  void SetModified(bool Value) { FModified = Value; }
  // The control loads its data again.
  void Reset() { RecordChanged(nullptr); }
  // Unbound: the value becomes Text and the control reloads. Bound: the field's Text takes it (a
  // blob field its AsString), with the field's own conversion and checks; what they raise passes on.
  void SetText(const String& Text);
  // Unbound: the value becomes Value and the control reloads. Several fields: Null clears them
  // all, otherwise field i takes element i of Value (a one-dimensional array from 0). One field:
  // its AsVariant takes Value.
  void SetValue(const Variant& Value);
  // Resolves FieldName into Fields. An unknown name raises the lookup's error, and Fields stay.
  virtual void UpdateField();
  void SetFields(const TFieldsArrKv& Fields);
  // Switches between bound and unbound when the data source or field name says so; the value
  // becomes Null on every switch.
  void UpdateDataIndepended();
  // Recreates the control's window when its right-alignment no longer matches the field.
  void UpdateRightToLeft();
  // Unbound: no data source and no field name.
  virtual bool IsDataIndepended();

  // Unbound, or the dataset link is active and a field is bound.
  bool GetActive() const;
  // A data source whose dataset is open.
  bool GetDataSetActive() const;
  // A bound field that can be modified, or unbound. The link's own read-only flag is not part of it.
  bool GetCanModify() const;
  TComponent* GetControl() const { return FControl; }
  void SetControl(TComponent* Value) { FControl = Value; }
  bool GetDataIndepended() const { return FDataIndepended; }
  TDataSource* GetDataSource() const { return TDataLink::GetDataSource(); }
  void SetDataSource(TDataSource* Value);
  bool GetEditing() const { return FEditing; }
  bool GetModified() const { return FModified; }
  // The first bound field, nil when there is none.
  TField* GetField() const { return FFields.empty() ? nullptr : FFields.front(); }
  const TFieldsArrKv& GetFields() const { return FFields; }
  Integer GetFieldsCount() const { return Integer(FFields.size()); }
  // Entry Index of Fields; nil while there are none.
  TField* GetFieldsField(Integer Index) const;
  const String& GetFieldName() const { return FFieldName; }
  void SetFieldName(const String& Value);
  bool GetMultiFields() const { return FMultiFields; }
  void SetMultiFields(bool Value);

  TNotifyEvent GetOnDataChange() const { return FOnDataChange; }
  void SetOnDataChange(const TNotifyEvent& Value) { FOnDataChange = Value; }
  TNotifyEvent GetOnEditingChange() const { return FOnEditingChange; }
  void SetOnEditingChange(const TNotifyEvent& Value) { FOnEditingChange = Value; }
  TNotifyEvent GetOnUpdateData() const { return FOnUpdateData; }
  void SetOnUpdateData(const TNotifyEvent& Value) { FOnUpdateData = Value; }
  TNotifyEvent GetOnActiveChange() const { return FOnActiveChange; }
  void SetOnActiveChange(const TNotifyEvent& Value) { FOnActiveChange = Value; }

  // The unbound value: Null after construction and after every switch between bound and unbound.
  Variant DataIndependentValue;

 protected:
  void ActiveChanged() override;
  void DataEvent(TDataEvent Event, NativeInt Info) override;
  void EditingChanged() override;
  void FocusControl(TField*& Field) override;
  void LayoutChanged() override;
  void RecordChanged(TField* Field) override;
  void UpdateData() override;
  void SetEditing(bool Value);

 private:
  bool HoldsField(TField* Field) const;

  TFieldsArrKv FFields;
  String FFieldName;
  TComponent* FControl = nullptr;  // the control owns its link
  bool FMultiFields = false;
  bool FDataIndepended = true;
  bool FEditing = false;
  bool FModified = false;
  TNotifyEvent FOnDataChange, FOnEditingChange, FOnUpdateData, FOnActiveChange;
};

class TBasicAction;

// The data-aware controls' action routing: an action aimed at the control itself runs there,
// any other goes to the dataset through the link.
bool ExecuteDataControlActionKv(TObject* Control, TDataLink* Link, TBasicAction* Action);
bool UpdateDataControlActionKv(TObject* Control, TDataLink* Link, TBasicAction* Action);
