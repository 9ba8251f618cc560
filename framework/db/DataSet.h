#pragma once
// TDataSet: the base of every dataset. It keeps the state, the window of record buffers the
// data links show (BufferCount records around the cursor), navigation, editing and their
// events, bookmarks, fields, calculated and lookup fields, and search. Descendants supply
// the records through the virtual record-buffer operations (AllocRecBuf, GetRecord,
// InternalFirst, InternalPost, GetFieldData...). Buffers are opaque handles: the base only
// moves handles within its window and never reads, sizes or copies what they stand for.

#include <memory>

#include "framework/TypInfo.h"
#include "framework/Variants.h"
#include "framework/classes/Component.h"
#include "framework/db/DBTypes.h"
#include "framework/db/ExprParser.h"
#include "framework/db/FieldDefs.h"
#include "framework/db/Fields.h"

class TDataSource;
class TDataLink;
class TParams;
class TStream;
class TList;
class TDataSet;

using TDataSetNotifyEvent = Closure<void(TDataSet* DataSet)>;
using TDataSetErrorEvent = Closure<void(TDataSet* DataSet, EDatabaseError& E, TDataAction& Action)>;
using TFilterRecordEvent = Closure<void(TDataSet* DataSet, bool& Accept)>;

class TDataSet : public TComponent {
  DECLARE_CLASS(TDataSet, TComponent)
 public:
  explicit TDataSet(TComponent* AOwner);
  // Closes the dataset and frees its fields; a descendant with its own cursor closes itself
  // in its own destructor (Close()), while its overrides still exist.
  ~TDataSet() override;

  // ---- Opening and closing ----
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  bool GetActive() const { return FState != dsInactive && FState != dsOpening; }
  virtual void SetActive(bool Value);
  TDataSetState GetState() const { return FState; }
  void CheckActive();
  void CheckInactive();
  void CheckBrowseMode();
  bool ControlsDisabled() const { return FDisableCount != 0; }
  void DisableControls();
  void EnableControls();
  bool IsLinkedTo(TDataSource* DataSource);
  virtual TDataSource* GetDataSource() { return nullptr; }
  bool GetDefaultFields() const { return FDefaultFields; }
  bool GetAutoCalcFields() const { return FAutoCalcFields; }
  void SetAutoCalcFields(bool Value) { FAutoCalcFields = Value; }
  bool GetObjectView() const { return FObjectView; }
  void SetObjectView(bool Value) { FObjectView = Value; }

  // ---- Navigation ----
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  virtual Integer MoveBy(Integer Distance);
  bool GetBof() const { return FBOF; }
  bool GetEof() const { return FEOF; }
  bool Bof() const { return FBOF; }
  bool Eof() const { return FEOF; }
  bool IsEmpty();
  // 1-based number of the active record; -1 when the dataset cannot tell.
  virtual Integer GetRecNo() { return -1; }
  virtual void SetRecNo(Integer) {}
  virtual Integer GetRecordCount() { return -1; }
  virtual bool IsSequenced() { return true; }
  virtual void Resync(TResyncMode Mode);
  void Refresh();
  void UpdateCursorPos();
  void CursorPosChanged() { FCurrentRecord = -1; }

  // ---- Editing ----
  void Insert();
  void Append();
  void Edit();
  void Post();
  void Cancel();
  void Delete();
  void InsertRecord(const std::vector<Variant>& Values) { AddRecordValues(Values, false); }
  void AppendRecord(const std::vector<Variant>& Values) { AddRecordValues(Values, true); }
  void SetFields(const std::vector<Variant>& Values);
  void UpdateRecord();
  void ClearFields();
  bool GetModified() const { return FModified; }
  bool GetCanModify() { return CanModify(); }
  virtual bool CanModify() { return true; }
  virtual TUpdateStatus UpdateStatus();

  // ---- Bookmarks ----
  virtual TBookmark GetBookmark();
  virtual void GotoBookmark(const TBookmark& Bookmark);
  TBookmark GetBookmarkValue() { return GetBookmark(); }
  void SetBookmarkValue(const TBookmark& Value) { GotoBookmark(Value); }
  virtual bool BookmarkValid(const TBookmark&) { return false; }
  // Negative, 0 or positive in dataset order; empty bookmarks come first.
  virtual Integer CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2);
  void FreeBookmark(TBookmark& Bookmark) { Bookmark = TBookmark(); }
  Integer GetBookmarkSize() const { return FBookmarkSize; }
  virtual TBookmarkStr GetBookmarkStr();
  virtual void SetBookmarkStr(const TBookmarkStr& Value);

  // ---- Search ----
  virtual bool Locate(const String& KeyFields, const Variant& KeyValues, TLocateOptions Options);
  virtual Variant Lookup(const String& KeyFields, const Variant& KeyValues, const String& ResultFields);
  bool FindFirst() { return FindRecord(true, true); }
  bool FindLast() { return FindRecord(true, false); }
  bool FindNext() { return FindRecord(false, true); }
  bool FindPrior() { return FindRecord(false, false); }
  virtual bool FindRecord(bool Restart, bool GoForward);
  bool GetFound() const { return FFound; }

  // ---- Filtering ----
  const String& GetFilter() const { return FFilterText; }
  void SetFilter(const String& Value) { SetFilterText(Value); }
  bool GetFiltered() const { return FFiltered; }
  virtual void SetFiltered(bool Value);
  TFilterOptions GetFilterOptions() const { return FFilterOptions; }
  virtual void SetFilterOptions(TFilterOptions Value);
  virtual void SetFilterText(const String& Value);
  TFilterRecordEvent GetOnFilterRecord() const { return FOnFilterRecord; }
  virtual void SetOnFilterRecord(const TFilterRecordEvent& Value);
  // The byte code of Filter while the dataset is open; empty when there is no text or the
  // dataset does not evaluate filter text.
  const TExprData& GetFilterExpr() const { return FFilterExpr; }

  virtual void UpdateIndexDefs() {}

  // ---- Provider support: what a dataset serving as a provider tells its consumer ----
  // The dataset's own index definitions (the caller does not own them); null when it keeps none.
  virtual TIndexDefs* PSGetIndexDefs() { return nullptr; }
  // The key field names, ";"-separated: the fields flagged pfInKey, else the fields of the
  // primary index of PSGetIndexDefs; empty when neither names a key.
  virtual String PSGetKeyFields();
  // The parameters the dataset reads with (the caller does not own them); null when it has none.
  virtual TParams* PSGetParams() { return nullptr; }

  // ---- Fields ----
  TFields* GetFields() const { return FFields.get(); }
  Integer GetFieldCount() const { return FFields->GetCount(); }
  TFields* GetAggFields() const { return FAggFields.get(); }
  TFieldDefs* GetFieldDefs() const { return FFieldDefs.get(); }
  void SetFieldDefs(TFieldDefs* Value);
  // Definitions and their children, depth first.
  std::vector<TFieldDef*> GetFieldDefList() { return FFieldDefs->FlatList(); }
  TField* FindField(const String& FieldName);
  TField* FieldByName(const String& FieldName);
  TField* FieldByNumber(Integer FieldNo) { return FFields->FieldByNumber(FieldNo); }
  // The fields named in a ";"-separated list, in its order; raises for a missing one.
  void GetFieldList(std::vector<TField*>& List, const String& FieldNames);
  void GetFieldNames(std::vector<String>& List);
  // One field's value, or a variant array for a ";"-separated list.
  Variant GetFieldValues(const String& FieldName);
  void SetFieldValues(const String& FieldName, const Variant& Value);
  Integer GetCalcFieldsSize() const { return FCalcFieldsSize; }
  bool GetInternalCalcFields() const { return FInternalCalcFields; }

  // Field data in the native layout of the field's type; false when the value is Null.
  virtual bool GetFieldData(TField* Field, TValueBuffer& Buffer) = 0;
  virtual bool GetFieldData(Integer FieldNo, TValueBuffer& Buffer);
  virtual bool GetFieldData(TField* Field, TValueBuffer& Buffer, bool NativeFormat);
  virtual bool GetFieldData(TField* Field, Pointer Buffer);
  virtual bool GetFieldData(TField* Field, Pointer Buffer, bool NativeFormat);
  // Writes a field value (Buffer null: Null) in the native layout.
  virtual void SetFieldData(TField* Field, const TValueBuffer* Buffer) = 0;
  virtual void SetFieldData(TField* Field, const TValueBuffer* Buffer, bool NativeFormat);
  virtual void SetFieldData(TField* Field, Pointer Buffer);
  virtual void SetFieldData(TField* Field, Pointer Buffer, bool NativeFormat);
  // Native to the field's working form (ToNative false) and back.
  virtual void DataConvert(TField* Field, const TValueBuffer& Source, TValueBuffer& Dest, bool ToNative);
  virtual TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode);
  virtual void CloseBlob(TField*) {}
  virtual Variant GetAggregateValue(TField*) { return Null; }
  virtual void ResetAggField(TField*) {}

  // ---- The buffer window, for data links and descendants ----
  Integer GetBufferCount() const { return FBufferCount; }
  Integer GetActiveRecord() const { return FActiveRecord; }
  Integer GetCurrentRecord() const { return FCurrentRecord; }
  Integer GetBufferRecordCount() const { return FRecordCount; }
  TRecordBuffer GetActiveBuffer() const;
  TRecordBuffer GetBuffer(Integer Index) const { return FBuffers[Index]; }
  TRecordBuffer GetTempBuffer() const { return FTempBuffer; }
  TRecordBuffer GetCalcBuffer() const { return FCalcBuffer; }

  // Sends an event to the data sources (and so the links); the dataset's own bookkeeping first.
  virtual void DataEvent(TDataEvent Event, NativeInt Info);

  // ---- Events ----
#define FW_DS_EVENT(Name)                                                         \
  TDataSetNotifyEvent Get##Name() const { return F##Name; }                       \
  void Set##Name(const TDataSetNotifyEvent& Value) { F##Name = Value; }
  FW_DS_EVENT(BeforeOpen) FW_DS_EVENT(AfterOpen) FW_DS_EVENT(BeforeClose) FW_DS_EVENT(AfterClose)
  FW_DS_EVENT(BeforeInsert) FW_DS_EVENT(AfterInsert) FW_DS_EVENT(BeforeEdit) FW_DS_EVENT(AfterEdit)
  FW_DS_EVENT(BeforePost) FW_DS_EVENT(AfterPost) FW_DS_EVENT(BeforeCancel) FW_DS_EVENT(AfterCancel)
  FW_DS_EVENT(BeforeDelete) FW_DS_EVENT(AfterDelete) FW_DS_EVENT(BeforeScroll) FW_DS_EVENT(AfterScroll)
  FW_DS_EVENT(BeforeRefresh) FW_DS_EVENT(AfterRefresh) FW_DS_EVENT(OnCalcFields) FW_DS_EVENT(OnNewRecord)
#undef FW_DS_EVENT
  TDataSetErrorEvent GetOnEditError() const { return FOnEditError; }
  void SetOnEditError(const TDataSetErrorEvent& Value) { FOnEditError = Value; }
  TDataSetErrorEvent GetOnPostError() const { return FOnPostError; }
  void SetOnPostError(const TDataSetErrorEvent& Value) { FOnPostError = Value; }
  TDataSetErrorEvent GetOnDeleteError() const { return FOnDeleteError; }
  void SetOnDeleteError(const TDataSetErrorEvent& Value) { FOnDeleteError = Value; }

  PUBLISHED_DECL(TDataSet);

 protected:
  // ---- What a descendant supplies ----
  virtual TRecordBuffer AllocRecBuf() = 0;
  virtual void FreeRecBuf(TRecordBuffer& Buffer) = 0;
  virtual TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) = 0;
  virtual Integer GetRecordSize() { return 0; }
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual bool IsCursorOpen() = 0;
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void InternalInitFieldDefs() {}
  virtual void InternalHandleException();
  virtual void InternalInitRecord(TRecordBuffer) {}
  virtual void InitRecord(TRecordBuffer Buffer);
  virtual void InternalInsert() {}
  virtual void InternalEdit() {}
  // The base checks the required fields.
  virtual void InternalPost();
  virtual void InternalCancel() {}
  virtual void InternalDelete() {}
  virtual void InternalRefresh() {}
  virtual void InternalAddRecord(const std::vector<Variant>& Values, bool Append);
  virtual void InternalGotoBookmark(const TBookmark& Bookmark);
  virtual void InternalSetToRecord(TRecordBuffer) {}
  virtual void GetBookmarkData(TRecordBuffer, TBookmark&) {}
  virtual void SetBookmarkData(TRecordBuffer, const TBookmark&) {}
  virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer) { return bfCurrent; }
  virtual void SetBookmarkFlag(TRecordBuffer, TBookmarkFlag) {}

  // ---- Opening, fields ----
  virtual void OpenCursor(bool InfoQuery);
  virtual void CloseCursor();
  void DoInternalOpen();
  void InitFieldDefs();
  virtual void InitFieldDefsFromFields();
  virtual void CreateFields();
  virtual void DestroyFields();
  virtual void BindFields(bool Binding);
  virtual TFieldClass GetFieldClass(TFieldType FieldType) { return DefaultFieldClass(FieldType); }
  virtual void DefChanged(TObject*) {}
  void SetDefaultFields(bool Value) { FDefaultFields = Value; }
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  virtual void SetBufListSize(Integer Value);
  virtual void SetFieldListChanged() { DataEvent(deFieldListChange, 0); }

  // ---- Filter text ----
  // A descendant that evaluates Filter text answers true. The base then compiles the text
  // when the dataset opens and whenever Filter or FilterOptions change while it is open, and
  // keeps the byte code (FilterExpr) for the descendant's interpreter. A text that does not
  // compile raises before anything changes, so the previous filter stays in force.
  virtual bool EvaluatesFilterText() { return false; }
  virtual const TFieldMap& GetFilterFieldMap() { return DefaultFieldMap; }
  // Compiles Text against this dataset's fields (empty for empty text, a closed cursor or a
  // dataset that does not evaluate text).
  virtual TExprData CompileFilter(const String& Text, TFilterOptions Options);

  // ---- The window ----
  void SetBufferCount(Integer Value);
  void UpdateBufferCount();
  void ClearBuffers();
  void ActivateBuffers();
  bool GetNextRecord();
  bool GetPriorRecord();
  Integer GetNextRecords();
  Integer GetPriorRecords();
  void SetCurrentRecord(Integer Index);
  void SetActiveRecordIndex(Integer Value);  // switches the active buffer without scrolling

  // ---- States ----
  void SetState(TDataSetState Value);
  TDataSetState SetTempState(TDataSetState Value);
  void RestoreState(TDataSetState Value);
  void SetModified(bool Value) { FModified = Value; }
  void CheckCanModify();
  void SetBookmarkSize(Integer Value) { FBookmarkSize = Value; }
  void SetFound(bool Value) { FFound = Value; }

  // ---- Calculated fields ----
  void CalculateFields(TRecordBuffer Buffer);
  virtual void GetCalcFields(TRecordBuffer Buffer);
  virtual void ClearCalcFields(TRecordBuffer) {}
  virtual void RefreshInternalCalcFields(TRecordBuffer) {}
  void CalcLookupValue(TField* Field);
  virtual Variant GetStateFieldValue(TDataSetState State, TField* Field);
  virtual void SetStateFieldValue(TDataSetState State, TField* Field, const Variant& Value);

  // ---- Events ----
  virtual void DoBeforeOpen() { DoEvent(FBeforeOpen, this); }
  virtual void DoAfterOpen() { DoEvent(FAfterOpen, this); }
  virtual void DoBeforeClose() { DoEvent(FBeforeClose, this); }
  virtual void DoAfterClose() { DoEvent(FAfterClose, this); }
  virtual void DoBeforeInsert() { DoEvent(FBeforeInsert, this); }
  virtual void DoAfterInsert() { DoEvent(FAfterInsert, this); }
  virtual void DoBeforeEdit() { DoEvent(FBeforeEdit, this); }
  virtual void DoAfterEdit() { DoEvent(FAfterEdit, this); }
  virtual void DoBeforePost() { DoEvent(FBeforePost, this); }
  virtual void DoAfterPost() { DoEvent(FAfterPost, this); }
  virtual void DoBeforeCancel() { DoEvent(FBeforeCancel, this); }
  virtual void DoAfterCancel() { DoEvent(FAfterCancel, this); }
  virtual void DoBeforeDelete() { DoEvent(FBeforeDelete, this); }
  virtual void DoAfterDelete() { DoEvent(FAfterDelete, this); }
  virtual void DoBeforeScroll() { DoEvent(FBeforeScroll, this); }
  virtual void DoAfterScroll() { DoEvent(FAfterScroll, this); }
  virtual void DoBeforeRefresh() { DoEvent(FBeforeRefresh, this); }
  virtual void DoAfterRefresh() { DoEvent(FAfterRefresh, this); }
  virtual void DoOnCalcFields() { DoEvent(FOnCalcFields, this); }
  virtual void DoOnNewRecord() { DoEvent(FOnNewRecord, this); }

  TDataSetState FState = dsInactive;
  TRecordBuffer FCalcBuffer = 0;
  TRecordBuffer FTempBuffer = 0;
  std::vector<TRecordBuffer> FBuffers;  // BufferCount + 1: the last is the spare a fetch fills
  Integer FBufferCount = 0;
  Integer FRecordCount = 0;     // filled buffers
  Integer FActiveRecord = 0;
  Integer FCurrentRecord = -1;  // the buffer the descendant's cursor stands on; -1 unknown
  bool FBOF = false;
  bool FEOF = false;
  bool FFiltered = false;
  String FFilterText;
  TFilterOptions FFilterOptions;
  TFilterRecordEvent FOnFilterRecord;
  TExprData FFilterExpr;

 private:
  friend class TDataSource;
  friend class TDataLink;
  friend class TField;
  friend class TFields;
  friend class TFieldDef;
  friend class TFieldDefs;
  friend class TIndexDefs;
  void AddDataSource(TDataSource* DataSource);
  void RemoveDataSource(TDataSource* DataSource);
  void AddRecordValues(const std::vector<Variant>& Values, bool Append);
  void BeginInsertAppend();
  void EndInsertAppend();
  void FreeBuffers();
  void ShiftBuffersDown(Integer From, Integer To);  // moves the handle at From to To
  void CheckOperation(void (TDataSet::*Operation)(), const TDataSetErrorEvent& ErrorEvent);
  void UpdateCalcFieldsInfo();
  void DoCalcOnFieldChange(TField* Field);
  bool LocateRecord(const String& KeyFields, const Variant& KeyValues, TLocateOptions Options, bool SyncCursor);

  std::unique_ptr<TFields> FFields;
  std::unique_ptr<TFields> FAggFields;
  std::unique_ptr<TFieldDefs> FFieldDefs;
  std::vector<TDataSource*> FDataSources;
  Integer FBookmarkSize = 0;
  Integer FDisableCount = 0;
  TDataSetState FDisableState = dsInactive;
  TDataEvent FEnableEvent = deDataSetChange;
  Integer FCalcFieldsSize = 0;
  bool FInternalCalcFields = false;
  bool FDefaultFields = false;
  bool FAutoCalcFields = true;
  bool FObjectView = false;
  bool FModified = false;
  bool FFound = false;
  bool FStreamedActive = false;
  bool FInternalOpenComplete = false;
  Integer FScrollShift = 0;  // how far the window's records moved since it was last read

  TDataSetNotifyEvent FBeforeOpen, FAfterOpen, FBeforeClose, FAfterClose, FBeforeInsert, FAfterInsert,
      FBeforeEdit, FAfterEdit, FBeforePost, FAfterPost, FBeforeCancel, FAfterCancel, FBeforeDelete,
      FAfterDelete, FBeforeScroll, FAfterScroll, FBeforeRefresh, FAfterRefresh, FOnCalcFields, FOnNewRecord;
  TDataSetErrorEvent FOnEditError, FOnPostError, FOnDeleteError;
};
