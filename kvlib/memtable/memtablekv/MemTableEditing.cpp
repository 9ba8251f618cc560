// The table's editing: insert, edit, post, cancel and delete through the records view, the change
// log with cached updates, applying through the data driver and refreshing from it.

#include "framework/db/DBConsts.h"
#include "kvlib/memtable/memtablekv/MemTable.h"

namespace MemTableEditingKv {
const wchar_t* const SAppendBeforeAllRead =
    L"Attempt to append a record before all records have been read from DataDriver.";
const wchar_t* const SNoRecords = L"There are no records.";
const wchar_t* const SCachedUpdatesPending =
    L"Cached updates cannot be turned off while changes are pending; apply or cancel them first";
const wchar_t* const SRefreshPending = L"Cannot refresh while cached changes are pending; apply or cancel them first";

// Runs the bracket's closing half whatever happens inside.
class TViewUpdate {
 public:
  explicit TViewUpdate(TCustomMemTableKv* Table) : FTable(Table) { Table->BeginRecordsViewUpdate(); }
  ~TViewUpdate() { FTable->EndRecordsViewUpdate(false); }
  TViewUpdate(const TViewUpdate&) = delete;
  TViewUpdate& operator=(const TViewUpdate&) = delete;

 private:
  TCustomMemTableKv* FTable;
};
}  // namespace MemTableEditingKv

void TCustomMemTableKv::SetReadOnly(bool Value) {
  if (Value == FReadOnly) return;
  FReadOnly = Value;
  DataEvent(deDataSetChange, 0);
}

bool TCustomMemTableKv::GetCachedUpdates() const { return GetMemTableData()->GetRecordsList()->GetCachedUpdates(); }

void TCustomMemTableKv::SetCachedUpdates(bool Value) {
  TRecordsListKv* L = GetMemTableData()->GetRecordsList();
  if (Value == L->GetCachedUpdates()) return;
  // Without the log the pending changes could only be thrown away by the next cancel.
  if (!Value && L->HasCachedChanges()) DatabaseError(MemTableEditingKv::SCachedUpdatesPending, this);
  L->SetCachedUpdates(Value);
}

bool TCustomMemTableKv::HasCachedChanges() const { return GetMemTableData()->GetRecordsList()->HasCachedChanges(); }

void TCustomMemTableKv::SetStatusFilter(TUpdateStatusSetKv Value) {
  if (Value == FRecordsView->GetStatusFilter()) return;
  if (GetActive()) CheckBrowseMode();
  FRecordsView->SetStatusFilter(Value);
  if (GetActive()) RefilterView();
}

void TCustomMemTableKv::CopyBufferToRecord(TRecordBuffer Buffer, TMemoryRecordKv* Rec) {
  if (GetState() == dsFilter) DatabaseError(SNotEditing, this);
  TMTRecBuf* B = RecBuf(Buffer);
  for (TField* F : *GetFields()) {
    Integer DI = DataIndexOf(F);
    if (F->GetFieldNo() <= 0 || DI < 0) continue;
    Rec->SetDataValue(DI, dvvValueKv, B->GetValue(F, DI));
  }
}

void TCustomMemTableKv::InternalInsert() {
  TMTRecBuf* B = RecBuf(GetActiveBuffer());
  if (B && B->BookmarkFlag == bfEOF) {
    if (FDataDriver && !FDataDriver->ProviderEOF()) {
      Resync({});
      throw Exception(MemTableEditingKv::SAppendBeforeAllRead);
    }
    FInstantReadCurRowNum = FRecordsView->ViewItemsCount();
  }
}

void TCustomMemTableKv::DoOnNewRecord() {
  for (TField* F : *GetFields())
    if (!F->GetDefaultExpression().empty() && F->CanModify()) F->SetText(F->GetDefaultExpression());
  TDataSet::DoOnNewRecord();
}

void TCustomMemTableKv::InternalEdit() {
  if (TMTRecBuf* B = RecBuf(GetActiveBuffer())) B->NeedUpdateCalcFields = true;
}

void TCustomMemTableKv::InternalPost() {
  TDataSet::InternalPost();
  {
    MemTableEditingKv::TViewUpdate Bracket(this);
    UpdateCursorPos();
    if (GetState() == dsEdit) {
      if (FRecordPos < 0 || FRecordPos >= FRecordsView->ViewItemsCount()) DatabaseError(SRecordNotFound, this);
      TMemoryRecordKv* Rec = FRecordsView->Rec(FRecordPos);
      Rec->Edit();
      try {
        CopyBufferToRecord(GetActiveBuffer(), Rec);
        Rec->Post();
      } catch (...) {
        // Nothing of a refused post stays in the record.
        if (Rec->EditState() == resEditKv) Rec->Cancel();
        throw;
      }
      if (!GetCachedUpdates()) InternalApplyUpdates(GetMemTableData(), -1);
      FRecordPos = FRecordsView->IndexOfRec(Rec);
    } else {
      InternalAddRecordBuffer(GetActiveBuffer(), GetEof());
    }
  }
}

void TCustomMemTableKv::InternalAddRecordBuffer(TRecordBuffer Buffer, bool Append) {
  TMemoryRecordKv* Rec = FRecordsView->NewRecord();
  bool Added = false;
  try {
    CopyBufferToRecord(Buffer, Rec);
    if (Append) FRecordsView->AddRecord(Rec);
    else FRecordsView->InsertRecord(FRecordPos < 0 ? 0 : FRecordPos, Rec);
    Added = true;
  } catch (...) {
    if (!Added) Rec->Cancel();  // a record never added frees itself
    throw;
  }
  if (!GetCachedUpdates()) InternalApplyUpdates(GetMemTableData(), -1);
  FRecordPos = FRecordsView->IndexOfRec(Rec);
}

void TCustomMemTableKv::InternalCancel() {
  {
    MemTableEditingKv::TViewUpdate Bracket(this);
    // Only the record being edited goes back: the change log of the others stays as it is.
    if (GetState() == dsEdit && FRecordPos >= 0 && FRecordPos < FRecordsView->ViewItemsCount()) {
      TMemoryRecordKv* Rec = FRecordsView->Rec(FRecordPos);
      if (Rec->EditState() == resEditKv) Rec->Cancel();
    }
  }
  if (GetState() == dsEdit)
    if (TMTRecBuf* B = RecBuf(GetActiveBuffer())) {
      B->UseMemRec = true;
      B->NeedUpdateCalcFields = true;
    }
}

void TCustomMemTableKv::InternalDelete() {
  MemTableEditingKv::TViewUpdate Bracket(this);
  if (FRecordPos < 0 || FRecordPos >= FRecordsView->ViewItemsCount()) DatabaseError(SRecordNotFound, this);
  FRecordsView->DeleteRecord(FRecordPos);
  if (!GetCachedUpdates()) InternalApplyUpdates(GetMemTableData(), -1);
  if (FRecordPos >= FRecordsView->ViewItemsCount()) --FRecordPos;
}

// ---- Applying ---------------------------------------------------------------------------------------------

Integer TCustomMemTableKv::InternalApplyUpdates(TMemTableDataKv* MemTableData, Integer) {
  if (FDataDriver) return FDataDriver->ApplyUpdates(MemTableData);
  if (MemTableData->GetRecordsList()->HasCachedChanges()) FRecordsView->MergeChangeLog();
  return 0;
}

void TCustomMemTableKv::ViewApplyUpdates(TMemTableDataKv* AMemTableData) { InternalApplyUpdates(AMemTableData, -1); }

Integer TCustomMemTableKv::ApplyUpdates(Integer MaxErrors) {
  CheckActive();
  Integer R = InternalApplyUpdates(GetMemTableData(), MaxErrors);
  UpdateCursorPos();
  Resync({});
  return R;
}

void TCustomMemTableKv::CancelUpdates() {
  CheckActive();
  CheckBrowseMode();
  FRecordsView->CancelUpdates();
  Resync({});
}

void TCustomMemTableKv::MergeChangeLog() { FRecordsView->MergeChangeLog(); }

void TCustomMemTableKv::RevertRecord() {
  Cancel();
  CheckBrowseMode();
  UpdateCursorPos();
  if (IsEmpty()) throw Exception(MemTableEditingKv::SNoRecords);
  // Tree mode keeps the record's changes (its rows are nodes of the tree, not of the view).
  FRecordsView->RevertRecord(GetRecNo() - 1);
  Resync({});
}

TUpdateStatus TCustomMemTableKv::UpdateStatus() {
  CheckActive();
  Integer R = GetRecNo();
  if (R < 1 || R > FRecordsView->ViewItemsCount()) return usUnmodified;
  return FRecordsView->Rec(R - 1)->GetUpdateStatus();
}

TUpdateErrorKv* TCustomMemTableKv::GetUpdateError() {
  CheckActive();
  TMTRecBuf* B = RecBuf(GetActiveBuffer());
  if (!B || B->RecordNumber < 0 || B->RecordNumber >= FRecordsView->ViewItemsCount()) return nullptr;
  return FRecordsView->Rec(B->RecordNumber)->GetUpdateError();
}

// ---- Refreshing -------------------------------------------------------------------------------------------

void TCustomMemTableKv::InternalRefresh() {
  // Emptying the records for the provider's would lose what has not been applied.
  if (FDataDriver && HasCachedChanges()) DatabaseError(MemTableEditingKv::SRefreshPending, this);
  DisableControls();
  try {
    if (FDataDriver) {
      FDataDriver->RefreshReader();
      FDataSetReader = FDataDriver->GetDataReader();
      if (FDataSetReader) FDataSetReader->FreeNotification(this);
      MemTableEditingKv::TViewUpdate Bracket(this);
      GetMemTableData()->GetRecordsList()->Clear();
      GetMemTableData()->GetAutoIncrement()->Reset();
      FRecordPos = -1;
      GetMemTableData()->FetchRecords(FFetchAllOnOpen ? -1 : 1);
    }
    RefilterView();
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
}

void TCustomMemTableKv::RefreshRecord() {
  CheckActive();
  UpdateCursorPos();
  if (!FDataDriver || FRecordsView->ViewItemsCount() == 0) return;
  if (FRecordPos < 0 || FRecordPos >= FRecordsView->ViewItemsCount()) return;
  TMemoryRecordKv* Rec = FRecordsView->Rec(FRecordPos);
  FDataDriver->RefreshRecord(Rec);
  Rec->UpdateCalculatedFields();
  TRecordBuffer B = GetActiveBuffer();
  if (TMTRecBuf* R = RecBuf(B)) R->NeedUpdateCalcFields = true;
  CalculateFields(B);
  RefreshInternalCalcFields(B);
  Resync({});
}
