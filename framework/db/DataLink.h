#pragma once
// TDataSource connects a dataset to the data links of controls; TDataLink is the controls'
// side: it follows the dataset's state and records through virtual notifications and keeps a
// window of BufferCount records of its own within the dataset's buffers.

#include "framework/TypInfo.h"
#include "framework/classes/Component.h"
#include "framework/db/DBTypes.h"

class TDataSet;
class TDataLink;
class TField;

class TDataSource : public TComponent {
  DECLARE_CLASS(TDataSource, TComponent)
 public:
  explicit TDataSource(TComponent* AOwner);
  ~TDataSource() override;

  // Opens the dataset for editing when AutoEdit allows it.
  void Edit();
  bool IsLinkedTo(TDataSet* DataSet);
  TDataSet* GetDataSet() const { return FDataSet; }
  void SetDataSet(TDataSet* ADataSet);
  bool GetAutoEdit() const { return FAutoEdit; }
  void SetAutoEdit(bool Value) { FAutoEdit = Value; }
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  TDataSetState GetState() const { return FState; }
  Integer GetDataLinkCount() const { return Integer(FDataLinks.size()); }
  TDataLink* GetDataLink(Integer Index) const { return FDataLinks[Index]; }

  TNotifyEvent GetOnStateChange() const { return FOnStateChange; }
  void SetOnStateChange(const TNotifyEvent& Value) { FOnStateChange = Value; }
  TNotifyEvent GetOnDataChange() const { return FOnDataChange; }
  void SetOnDataChange(const TNotifyEvent& Value) { FOnDataChange = Value; }
  TNotifyEvent GetOnUpdateData() const { return FOnUpdateData; }
  void SetOnUpdateData(const TNotifyEvent& Value) { FOnUpdateData = Value; }

  PUBLISHED_DECL(TDataSource);

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  virtual void DataEvent(TDataEvent Event, NativeInt Info);

 private:
  friend class TDataSet;
  friend class TDataLink;
  void AddDataLink(TDataLink* DataLink);
  void RemoveDataLink(TDataLink* DataLink);
  void NotifyDataLinks(TDataEvent Event, NativeInt Info);
  void SetState(TDataSetState Value);
  void UpdateState();
  TComponentRef<TDataSet> FDataSet;
  std::vector<TDataLink*> FDataLinks;
  bool FEnabled = true;
  bool FAutoEdit = true;
  TDataSetState FState = dsInactive;
  TNotifyEvent FOnStateChange, FOnDataChange, FOnUpdateData;
};

class TDataLink : public TPersistent {
  DECLARE_CLASS(TDataLink, TPersistent)
 public:
  TDataLink();
  ~TDataLink() override;

  // Puts the dataset into edit mode when the source allows; answers whether it is editing.
  bool Edit();
  // Asks the control to write its pending value (UpdateData) unless already doing so.
  void UpdateRecord();
  virtual bool ExecuteAction(class TBasicAction*) { return false; }
  virtual bool UpdateAction(class TBasicAction*) { return false; }
  // Scrolls the dataset; answers the distance moved.
  Integer MoveBy(Integer Distance);

  TDataSource* GetDataSource() const { return FDataSource; }
  void SetDataSource(TDataSource* ADataSource);
  TDataSet* GetDataSet() const;
  bool GetActive() const { return FActive; }
  bool GetEditing() const { return FEditing; }
  bool GetReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  bool GetDataSourceFixed() const { return FDataSourceFixed; }
  void SetDataSourceFixed(bool Value) { FDataSourceFixed = Value; }
  bool GetVisualControl() const { return FVisualControl; }
  void SetVisualControl(bool Value) { FVisualControl = Value; }
  // The row of the link's window the dataset's active buffer is; setting it switches the
  // active buffer without scrolling, so field values read that row.
  Integer GetActiveRecord() const;
  void SetActiveRecord(Integer Value);
  Integer GetBufferCount() const { return FBufferCount; }
  void SetBufferCount(Integer Value);
  // Records in the link's window (at most BufferCount).
  Integer GetRecordCount() const;
  bool GetBOF() const;
  bool GetEOF() const;

 protected:
  virtual void ActiveChanged() {}
  virtual void CheckBrowseMode() {}
  virtual void DataEvent(TDataEvent Event, NativeInt Info);
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(Integer) { DataSetChanged(); }
  virtual void EditingChanged() {}
  virtual void FocusControl(TField*& /*Field*/) {}
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void RecordChanged(TField*) {}
  virtual void UpdateData() {}
  virtual TDataSet* GetDetailDataSet() { return nullptr; }

 private:
  friend class TDataSource;
  friend class TDataSet;
  void SetActive(bool Value);
  void SetEditing(bool Value);
  void UpdateState();
  // Keeps the link's first row such that the active record lies in the window.
  void UpdateRange();
  TDataSource* FDataSource = nullptr;
  Integer FFirstRecord = 0;
  Integer FBufferCount = 1;
  bool FActive = false;
  bool FEditing = false;
  bool FReadOnly = false;
  bool FUpdating = false;
  bool FDataSourceFixed = false;
  bool FVisualControl = false;
};

// The base of the link a detail dataset keeps to its master's data source. A descendant answers
// the detail dataset, so that a source leading back to it through its masters is refused
// ("Circular datalinks are not allowed"), and follows the master through the notifications.
class TDetailDataLink : public TDataLink {
  DECLARE_CLASS(TDetailDataLink, TDataLink)
 public:
  TDataSet* GetDetailDataSet() override { return nullptr; }
};
