#pragma once
// The in-memory table as a dataset (TCustomMemTableKv, published as TMemTableKv): records live in
// a storage object (TMemTableDataKv) and are seen through a records view (TRecordsViewKv) that
// filters and sorts them; the cursor is a row of that view. Record buffers are TMTRecBuf objects
// of the table's record cache, handed to the dataset base as their 1-based cache index. A buffer
// reads data values from its stored record until the first write (copy on write); calculated and
// lookup values of a row are computed once and kept in the row's view node.
//
// Bookmarks are 16 bytes (TBookmarkDataKv): the record's never-reused identity, its view row and
// its place in the sorted list as hints. A bookmark resolves through the hint, else through the
// view's identity map; an identity whose record is gone never resolves.

#include <memory>
#include <vector>

#include "framework/DB.h"
#include "kvlib/memtable/MemTableDataKv.h"
#include "kvlib/memtable/memtablekv/DataDriver.h"

class TCustomMemTableKv;
class TParams;

DECLARE_ENUM(TMemTableOptionKv, mtoPersistentStructKv, mtoTextFieldsCaseInsensitive)
using TMemTableOptionsKv = Set<TMemTableOptionKv, 8>;

using TMemTableChangeFieldValueEventKv = Closure<void(TCustomMemTableKv* MemTable, TField* Field, Variant& Value)>;

#pragma pack(push, 4)
struct TBookmarkDataKv {
  UInt64 RecId = 0;               // the record's GetHashCode; 0 for none
  Integer RecViewIndex = -1;      // view row, -1 when not resolved
  Integer InSortedListIndex = -1;  // place in the view's sorted list, -1 when not resolved
};
#pragma pack(pop)
static_assert(sizeof(TBookmarkDataKv) == 16, "a bookmark is 16 bytes");

// One record buffer of the table.
class TMTRecBuf {
 public:
  bool InUse = false;
  TBookmarkDataKv BookmarkData;
  TBookmarkFlag BookmarkFlag = bfCurrent;
  Integer RecordStatus = -2;
  Integer RecordNumber = -2;  // the view row the buffer was filled from; -1 new or released
  bool NewTreeNodeExpanded = false;
  bool NewTreeNodeHasChildren = false;
  TMemRecViewKv* RecView = nullptr;
  TMemoryRecordKv* MemRec = nullptr;
  std::vector<Variant> Values;  // by the field's Index
  bool UseMemRec = false;
  bool NeedUpdateCalcFields = false;

  // DataIndex: the field's index in the storage structure, -1 for a field the storage lacks.
  Variant GetValue(TField* Field, Integer DataIndex) const;
  void SetValue(TField* Field, Integer DataIndex, const Variant& Value, const std::vector<Integer>& DataIndexes,
                TFields* Fields);
  Variant GetOldValue(TField* Field, Integer DataIndex) const;
  void SetLength(Integer N);
  void Clear();
  Integer ReadValueCount() const { return Integer(Values.size()); }
};

class TCustomMemTableKv : public TDataSet {
  DECLARE_CLASS(TCustomMemTableKv, TDataSet)
 public:
  explicit TCustomMemTableKv(TComponent* AOwner);
  ~TCustomMemTableKv() override;

  // ---- Opening, structure
  void SetActive(bool Value) override;
  void CreateDataSet();
  void EmptyTable();
  TRecordsViewKv* GetRecordsView() const { return FRecordsView.get(); }
  TMemTableDataKv* GetMemTableData() const;
  TMemTableDataKv* GetInternMemTableData() const { return FInternMemTableData; }
  TCustomMemTableKv* GetExternalMemData() const { return FExternalMemData; }
  void SetExternalMemData(TCustomMemTableKv* Value);
  TMemTableOptionsKv GetOptions() const { return FOptions; }
  void SetOptions(TMemTableOptionsKv Value) { FOptions = Value; }
  TIndexDefs* GetIndexDefs();
  void SetIndexDefs(TIndexDefs* Value);
  bool GetStoreDefs() const { return FStoreDefs; }
  void SetStoreDefs(bool Value) { FStoreDefs = Value; }
  TParams* GetParams() const { return FParams.get(); }
  void SetParams(TParams* Value);
  void FetchParams() {}
  TAutoIncrementKv* GetAutoIncrement() const { return GetMemTableData()->GetAutoIncrement(); }
  void SetAutoIncrement(TAutoIncrementKv* Value) { GetMemTableData()->SetAutoIncrement(Value); }
  void UpdateIndexDefs() override;
  TIndexDefs* PSGetIndexDefs() override { return GetIndexDefs(); }

  // ---- Navigation and bookmarks
  Integer GetRecordCount() override;
  Integer GetRecNo() override;
  void SetRecNo(Integer Value) override;
  bool IsSequenced() override { return true; }
  bool GotoRec(TMemoryRecordKv* Rec);
  TMemoryRecordKv* BookmarkToRec(const TBookmark& Bookmark);
  TBookmark RecToBookmark(TMemoryRecordKv* Rec);
  bool BookmarkValid(const TBookmark& Bookmark) override;
  bool UniBookmarkValid(const TBytes& Bookmark);
  bool BookmarkStrValid(const AnsiString& Bookmark);
  Integer BookmarkToRecNo(const TBookmark& Bookmark);
  Integer UniBookmarkToRecNo(const TBytes& Bookmark);
  Integer BookmarkStrToRecNo(const AnsiString& Bookmark);
  bool BookmarkInVisibleView(const TBookmark& Bookmark);
  Integer CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) override;
  void Resync(TResyncMode Mode) override;
  void BeginRecordsViewUpdate() { ++FRecordsViewUpdating; }
  void EndRecordsViewUpdate(bool DoResync);
  virtual void RefilterView();
  void DataEvent(TDataEvent Event, NativeInt Info) override;
  virtual void NotifyEventReceivers(Integer RowNum, Integer EventType, Integer OldRowNum);
  // The current record (null when there is none).
  TMemoryRecordKv* GetRec();
  TMemRecViewKv* GetRecView();

  // ---- Field data
  bool GetFieldData(TField* Field, TValueBuffer& Buffer) override;
  bool GetFieldData(Integer FieldNo, TValueBuffer& Buffer) override;
  bool GetFieldData(TField* Field, TValueBuffer& Buffer, bool NativeFormat) override;
  bool GetFieldData(TField* Field, Pointer Buffer) override;
  bool GetFieldData(TField* Field, Pointer Buffer, bool NativeFormat) override;
  void SetFieldData(TField* Field, const TValueBuffer* Buffer) override;
  void SetFieldData(TField* Field, const TValueBuffer* Buffer, bool NativeFormat) override;
  void SetFieldData(TField* Field, Pointer Buffer) override;
  void SetFieldData(TField* Field, Pointer Buffer, bool NativeFormat) override;
  void VarValueToValueBuffer(TField* Field, Variant& Value, TValueBuffer& Buffer, bool NativeFormat);
  void VarValueToPointerBuffer(TField* Field, Variant& Value, Pointer Buffer, bool NativeFormat);
  virtual bool GetFieldValue(TField* Field, Variant& Value);
  virtual String GetFieldDisplayText(TField* Field);
  virtual bool GetFieldDataAsObject(TField* Field, TObject*& Value);
  virtual void SetFieldDataAsObject(TField* Field, TObject* Value);
  void CheckFieldDataVarValue(TField* Field, Variant& VarValue);
  Variant CalcLookupValue(TField* AField);
  TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;
  void CloseBlob(TField*) override {}
  Variant GetAggregateValue(TField* Field) override;
  void ResetAggField(TField* Field) override;
  bool GetAggregatesActive() const;
  void SetAggregatesActive(bool Value);
  TMemTableChangeFieldValueEventKv GetOnGetFieldValue() const { return FOnGetFieldValue; }
  void SetOnGetFieldValue(const TMemTableChangeFieldValueEventKv& Value) { FOnGetFieldValue = Value; }
  TMemTableChangeFieldValueEventKv GetOnSetFieldValue() const { return FOnSetFieldValue; }
  void SetOnSetFieldValue(const TMemTableChangeFieldValueEventKv& Value) { FOnSetFieldValue = Value; }
  // The buffer field access uses in the current state; false when there is none.
  virtual bool GetActiveRecBuf(TRecordBuffer& Buffer, bool IgnoreInstantRead = false);

  // ---- Editing and the change log
  bool CanModify() override { return !FReadOnly; }
  bool GetReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  TUpdateStatus UpdateStatus() override;
  TUpdateErrorKv* GetUpdateError();
  bool GetCachedUpdates() const;
  void SetCachedUpdates(bool Value);
  TUpdateStatusSetKv GetStatusFilter() const { return FRecordsView->GetStatusFilter(); }
  void SetStatusFilter(TUpdateStatusSetKv Value);
  virtual Integer ApplyUpdates(Integer MaxErrors);
  void CancelUpdates();
  void MergeChangeLog();
  void RevertRecord();
  void RefreshRecord();
  bool HasCachedChanges() const;
  Integer FetchRecords(Integer Count);
  void DriverStructChanged() { DataEvent(dePropertyChange, 0); }
  virtual void CopyBufferToRecord(TRecordBuffer Buffer, TMemoryRecordKv* Rec);
  virtual Integer InternalApplyUpdates(TMemTableDataKv* MemTableData, Integer MaxErrors);
  bool GetFetchAllOnOpen() const { return FFetchAllOnOpen; }
  void SetFetchAllOnOpen(bool Value) { FFetchAllOnOpen = Value; }
  TDataDriverKv* GetDataDriver() const { return FDataDriver; }
  void SetDataDriver(TDataDriverKv* Value);

 protected:
  // ---- What the dataset base asks for
  TRecordBuffer AllocRecBuf() override;
  void FreeRecBuf(TRecordBuffer& Buffer) override;
  TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override;
  Integer GetRecordSize() override { return FRecBufSize & 0xFFFF; }
  void OpenCursor(bool InfoQuery) override;
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() override { return FActive; }
  void InternalFirst() override;
  void InternalLast() override;
  void InternalInitFieldDefs() override;
  void InternalHandleException() override;
  void InitRecord(TRecordBuffer Buffer) override;
  void InternalInitRecord(TRecordBuffer Buffer) override;
  void InternalInsert() override;
  void InternalEdit() override;
  void InternalPost() override;
  void InternalCancel() override;
  void InternalDelete() override;
  void InternalRefresh() override;
  void InternalGotoBookmark(const TBookmark& Bookmark) override;
  void InternalSetToRecord(TRecordBuffer Buffer) override;
  void GetBookmarkData(TRecordBuffer Buffer, TBookmark& Bookmark) override;
  void SetBookmarkData(TRecordBuffer Buffer, const TBookmark& Bookmark) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) override;
  void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override;
  void CreateFields() override;
  TFieldClass GetFieldClass(TFieldType FieldType) override;
  void DefChanged(TObject*) override { FStoreDefs = true; }
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void DoOnNewRecord() override;
  void ClearCalcFields(TRecordBuffer Buffer) override;
  void GetCalcFields(TRecordBuffer Buffer) override;
  void RefreshInternalCalcFields(TRecordBuffer Buffer) override { GetCalcFields(Buffer); }

  // ---- The table's own
  virtual TMemTableDataKv* CreateMemTableData();
  virtual void InternalCreateIndexes();
  TMTRecBuf* RecBuf(TRecordBuffer Buffer) const;

 private:
  friend class TMemBlobStreamKv;
  void FillRecBufFromRecord(TMemoryRecordKv* Rec, Integer Row, TRecordBuffer Buffer, bool Calculate = true);
  // The bookmark's hints made true for the view as it is now, written into the bookmark itself.
  void RefreshBookmark(TBookmarkDataKv& Data, TMemRecViewKv*& Node);
  TMemRecViewKv* ResolveBookmark(const TBookmark& Bookmark, TBookmarkDataKv* Data = nullptr);
  Integer GotoBookmarkData(const TBookmark& Bookmark);
  Integer DataIndexOf(TField* Field) const;
  void RebuildFieldMaps();
  void FetchMore(bool All);
  Integer ViewFetchRecords(Integer Count);
  void ViewApplyUpdates(TMemTableDataKv* AMemTableData);
  void ViewStructChanged(TMemTableDataKv* AMemTableData);
  void ViewCalcLookupBuffer(TMemoryRecordKv* Item, TMemRecViewKv* RecView);
  void InternalCalcRecord(TMemoryRecordKv* MemRec, TVariantArrayKv& FieldValues);
  void InternalAddRecordBuffer(TRecordBuffer Buffer, bool Append);
  void CheckFieldWriteState(TField* Field, bool PointerForm);
  void StoreFieldValue(TField* Field, Variant& Value, bool AllowAnyState);
  Variant ValueBufferToVar(TField* Field, const Byte* Data, size_t Size, bool NativeFormat, bool PointerForm);
  bool ReadFieldVar(TField* Field, Variant& Value);
  TRecordBuffer InstantBuffer();
  void InstantReadEnter(TMemoryRecordKv* MemRec, Integer Row);
  void InstantReadLeave();

  std::vector<std::unique_ptr<TMTRecBuf>> FRecordCache;
  bool FActive = false;
  Integer FAutoInc = 1;
  std::vector<Integer> FCalcFieldIndexes;
  std::vector<Integer> FDataIndexes;  // by the field's Index: its storage field, -1 for none
  TDataDriverKv* FDataDriver = nullptr;
  TDataSet* FDataSetReader = nullptr;
  bool FFetchAllOnOpen = false;
  std::vector<TRecordBuffer> FInstantBuffers;  // handles, pushed while reading in place
  Integer FInstantReadDepth = 0;
  Integer FInstantReadCurRowNum = -1;
  std::unique_ptr<TParams> FParams;
  bool FReadOnly = false;
  Integer FRecBufSize = 0;
  Integer FRecordPos = -1;
  std::unique_ptr<TRecordsViewKv> FRecordsView;
  std::unique_ptr<TIndexDefs> FIndexDefs;
  bool FStoreDefs = false;
  TMemTableDataKv* FInternMemTableData = nullptr;  // owned as a component
  TCustomMemTableKv* FExternalMemData = nullptr;
  Integer FRecordsViewUpdating = 0;
  bool FRecordsViewUpdated = false;
  TMemTableChangeFieldValueEventKv FOnGetFieldValue, FOnSetFieldValue;
  TMemTableOptionsKv FOptions;
  String FAutoIncrementFieldName;
  bool FInLoaded = false;
  bool FRestoringDriver = false;
};

class TMemTableKv : public TCustomMemTableKv {
  DECLARE_CLASS(TMemTableKv, TCustomMemTableKv)
 public:
  explicit TMemTableKv(TComponent* AOwner) : TCustomMemTableKv(AOwner) {}
  PUBLISHED_DECL(TMemTableKv);
};

// The stream a blob field of the table reads and writes: the field's stored value as bytes;
// written bytes replace the value when the stream is freed.
class TMemBlobStreamKv : public TMemoryStream {
  DECLARE_CLASS(TMemBlobStreamKv, TMemoryStream)
 public:
  TMemBlobStreamKv(TBlobField* Field, TBlobStreamMode Mode);
  ~TMemBlobStreamKv() override;
  Integer Write(const void* Buffer, Integer Count) override;
  void SetSize(Int64 NewSize) override;
  void Truncate();

 private:
  void ReadBlobData();
  TBlobField* FField;
  TCustomMemTableKv* FDataSet;
  TRecordBuffer FBuffer = 0;
  Integer FFieldNo;
  bool FModified = false;
  bool FReady = false;  // construction done: size changes from now on are the user's
};
