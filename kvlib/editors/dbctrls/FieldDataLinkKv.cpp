#include "kvlib/editors/dbctrls/FieldDataLinkKv.h"

#include <algorithm>

#include "framework/ActnList.h"
#include "framework/Controls.h"
#include "framework/DB.h"
#include "framework/DBCtrls.h"
#include "kvlib/foundation/DBUtilsKv.h"

TFieldDataLinkKv::TFieldDataLinkKv() : DataIndependentValue(Null) { SetVisualControl(true); }

bool TFieldDataLinkKv::Edit() {
  if (FDataIndepended) {
    if (!FEditing && !GetReadOnly()) {
      FEditing = true;
      FModified = false;
      DoEvent(FOnEditingChange, this);
    }
  } else if (GetCanModify()) {
    TDataLink::Edit();
  }
  return FEditing;
}

void TFieldDataLinkKv::SetText(const String& Text) {
  if (FDataIndepended) {
    DataIndependentValue = Variant(Text);
    RecordChanged(nullptr);
    return;
  }
  TField* Field = GetField();
  if (!Field) return;
  if (Field->IsBlob()) Field->SetAsString(Text);
  else Field->SetText(Text);
}

void TFieldDataLinkKv::SetValue(const Variant& Value) {
  if (FDataIndepended) {
    DataIndependentValue = Value;
    RecordChanged(nullptr);
  } else if (FFields.size() > 1) {
    if (DBVarValuesEqual(Value, Variant(Null))) {
      for (TField* Field : FFields) Field->SetAsVariant(Variant(Null));
      return;
    }
    // Every element is read before the first field is written, so a value of the wrong shape
    // raises with the record as it was.
    std::vector<Variant> Elements;
    for (size_t I = 0; I < FFields.size(); ++I) Elements.push_back(Value[Integer(I)]);
    for (size_t I = 0; I < FFields.size(); ++I) FFields[I]->SetAsVariant(Elements[I]);
  } else if (TField* Field = GetField()) {
    Field->SetAsVariant(Value);
  }
}

void TFieldDataLinkKv::UpdateField() {
  TFieldsArrKv List;
  if (TDataLink::GetActive() && !FFieldName.empty()) {
    TDataSet* DataSet = GetDataSet();
    if (FMultiFields) {
      if (FControl) FieldsArrByNames(DataSet, FControl, FFieldName, List);
      else DataSet->GetFieldList(List, FFieldName);
    } else if (FControl) {
      List.push_back(GetFieldProperty(DataSet, FControl, FFieldName));
    } else {
      List.push_back(DataSet->FieldByName(FFieldName));
    }
  }
  SetFields(List);
}

void TFieldDataLinkKv::SetFields(const TFieldsArrKv& Fields) {
  FFields = Fields;
  EditingChanged();
  RecordChanged(nullptr);
  UpdateRightToLeft();
}

void TFieldDataLinkKv::UpdateDataIndepended() {
  bool Independent = IsDataIndepended();
  if (Independent == FDataIndepended) return;
  FDataIndepended = Independent;
  DataIndependentValue = Null;
  LayoutChanged();
  if (Independent) RecordChanged(nullptr);
}

void TFieldDataLinkKv::UpdateRightToLeft() {
  auto* Control = dynamic_cast<TWinControl*>(FControl);
  if (!Control || Control->GetComponentState().Contains(csDestroying) || !Control->IsRightToLeft()) return;
  if (!Control->HandleAllocated()) return;
  bool RightAligned = (GetWindowLongW(Control->GetHandle(), GWL_EXSTYLE) & WS_EX_RIGHT) != 0;
  if (RightAligned != DBUseRightToLeftAlignment(Control, GetField())) Control->Perform(CM_RECREATEWND, 0, 0);
}

bool TFieldDataLinkKv::IsDataIndepended() { return !GetDataSource() && FFieldName.empty(); }

bool TFieldDataLinkKv::GetActive() const { return FDataIndepended || (TDataLink::GetActive() && GetField()); }

bool TFieldDataLinkKv::GetDataSetActive() const {
  TDataSet* DataSet = GetDataSet();
  return DataSet && DataSet->GetActive();
}

bool TFieldDataLinkKv::GetCanModify() const {
  TField* Field = GetField();
  return (Field && Field->CanModify()) || FDataIndepended;
}

void TFieldDataLinkKv::SetDataSource(TDataSource* Value) {
  if (Value == GetDataSource()) return;
  TDataLink::SetDataSource(Value);
  UpdateDataIndepended();
}

TField* TFieldDataLinkKv::GetFieldsField(Integer Index) const {
  if (FFields.empty()) return nullptr;
  return FFields.at(size_t(Index));
}

void TFieldDataLinkKv::SetFieldName(const String& Value) {
  if (FFieldName == Value) return;
  FFieldName = Value;
  UpdateField();
  UpdateDataIndepended();
}

void TFieldDataLinkKv::SetMultiFields(bool Value) {
  if (FMultiFields == Value) return;
  FMultiFields = Value;
  UpdateField();
}

void TFieldDataLinkKv::SetEditing(bool Value) {
  if (FEditing == Value) return;
  FEditing = Value;
  FModified = false;
  DoEvent(FOnEditingChange, this);
}

bool TFieldDataLinkKv::HoldsField(TField* Field) const {
  return std::find(FFields.begin(), FFields.end(), Field) != FFields.end();
}

void TFieldDataLinkKv::ActiveChanged() {
  UpdateField();
  DoEvent(FOnActiveChange, this);
}

void TFieldDataLinkKv::DataEvent(TDataEvent Event, NativeInt Info) {
  TDataLink::DataEvent(Event, Info);
  if (Event != deDisabledStateChange) return;
  // The controls were enabled again (Info true) or disabled: the fields follow.
  if (Info) UpdateField();
  else FFields.clear();
}

void TFieldDataLinkKv::EditingChanged() { SetEditing(TDataLink::GetEditing() && GetCanModify()); }

void TFieldDataLinkKv::FocusControl(TField*& Field) {
  if (!Field || !HoldsField(Field)) return;
  auto* Control = dynamic_cast<TWinControl*>(FControl);
  if (!Control || !Control->CanFocus()) return;
  Field = nullptr;
  Control->SetFocus();
}

void TFieldDataLinkKv::LayoutChanged() { UpdateField(); }

void TFieldDataLinkKv::RecordChanged(TField* Field) {
  if (Field && !HoldsField(Field)) return;
  DoEvent(FOnDataChange, this);
  FModified = false;
}

void TFieldDataLinkKv::UpdateData() {
  if (FDataIndepended) {
    if (FModified) DoEvent(FOnUpdateData, this);
    SetEditing(false);
    FModified = false;
  } else if (FModified) {
    if (GetField()) DoEvent(FOnUpdateData, this);
    FModified = false;
  }
}

bool ExecuteDataControlActionKv(TObject* Control, TDataLink* Link, TBasicAction* Action) {
  if (Action->HandlesTarget(Control)) {
    Action->ExecuteTarget(Control);
    return true;
  }
  return Link->ExecuteAction(Action);
}

bool UpdateDataControlActionKv(TObject* Control, TDataLink* Link, TBasicAction* Action) {
  if (Action->HandlesTarget(Control)) {
    Action->UpdateTarget(Control);
    return true;
  }
  return Link->UpdateAction(Action);
}
