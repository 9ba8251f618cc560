#include "framework/db/DataSet.h"

#include <algorithm>

#include "framework/StrUtils.h"
#include "framework/classes/Streams.h"
#include "framework/db/DBConsts.h"
#include "framework/db/DataLink.h"
#include "framework/sysutils/Strings.h"

const TDataSetStates dsEditModes{dsEdit, dsInsert, dsSetKey};
const TDataSetStates dsWriteModes{dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue, dsInternalCalc};

PUBLISHED_DEF(TDataSet) {
  PROP_RW(Active, GetActive, SetActive).Default(false);
  PROP(AutoCalcFields).Default(true);
  EVENT(BeforeOpen);
  EVENT(AfterOpen);
  EVENT(BeforeClose);
  EVENT(AfterClose);
  EVENT(BeforeInsert);
  EVENT(AfterInsert);
  EVENT(BeforeEdit);
  EVENT(AfterEdit);
  EVENT(BeforePost);
  EVENT(AfterPost);
  EVENT(BeforeCancel);
  EVENT(AfterCancel);
  EVENT(BeforeDelete);
  EVENT(AfterDelete);
  EVENT(BeforeScroll);
  EVENT(AfterScroll);
  EVENT(BeforeRefresh);
  EVENT(AfterRefresh);
  EVENT(OnCalcFields);
  EVENT(OnNewRecord);
}

// The data sources to tell of an event; a handler may free one of them meanwhile.
static std::vector<TComponentRef<TDataSource>> SourcesSnapshot(const std::vector<TDataSource*>& Sources) {
  return std::vector<TComponentRef<TDataSource>>(Sources.begin(), Sources.end());
}

TDataSet::TDataSet(TComponent* AOwner)
    : TComponent(AOwner),
      FFields(std::make_unique<TFields>(this)),
      FAggFields(std::make_unique<TFields>(this)),
      FFieldDefs(std::make_unique<TFieldDefs>(this)) {
  FBuffers.assign(1, 0);
}

TDataSet::~TDataSet() {
  Destroying();
  // A descendant has closed itself already; what is left here must not call its overrides.
  FState = dsInactive;
  while (!FDataSources.empty()) {
    TDataSource* Source = FDataSources.back();
    Source->SetDataSet(nullptr);
    // A source whose reference has already let go cannot leave by itself.
    if (!FDataSources.empty() && FDataSources.back() == Source) FDataSources.pop_back();
  }
  DestroyComponents();
  FFields->Clear();
  FAggFields->Clear();
}

void TDataSet::Loaded() {
  TComponent::Loaded();
  try {
    if (FStreamedActive) SetActive(true);
  } catch (...) {
    if (GetComponentState().Contains(csDesigning)) InternalHandleException();
    else throw;
  }
}

void TDataSet::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
}

void TDataSet::InternalHandleException() { throw; }

// ---- Opening and closing ----------------------------------------------------------------------

void TDataSet::SetActive(bool Value) {
  if (GetComponentState().Contains(csReading) || GetComponentState().Contains(csLoading)) {
    if (Value) FStreamedActive = true;
    else FStreamedActive = false;
    return;
  }
  if (GetActive() == Value) return;
  if (Value) {
    DoBeforeOpen();
    FInternalOpenComplete = false;
    try {
      OpenCursor(false);
    } catch (...) {
      if (FState != dsInactive) FState = dsInactive;
      CloseCursor();
      throw;
    }
    if (!FInternalOpenComplete) {
      CloseCursor();
      return;
    }
    SetState(dsBrowse);
    DoAfterOpen();
    if (!IsEmpty()) DoAfterScroll();
  } else {
    if (!GetComponentState().Contains(csDestroying)) DoBeforeClose();
    SetState(dsInactive);
    CloseCursor();
    if (!GetComponentState().Contains(csDestroying)) DoAfterClose();
  }
}

void TDataSet::OpenCursor(bool InfoQuery) {
  if (InfoQuery) InternalInitFieldDefs();
  else DoInternalOpen();
}

void TDataSet::DoInternalOpen() {
  FDefaultFields = FFields->GetCount() == 0;
  InternalOpen();
  FInternalOpenComplete = true;
  // Before the window is filled: the descendant's GetRecord already filters with it.
  FFilterExpr = CompileFilter(FFilterText, FFilterOptions);
  UpdateCalcFieldsInfo();
  UpdateBufferCount();
  FBOF = true;
  FEOF = false;
}

void TDataSet::CloseCursor() {
  FreeBuffers();
  FFilterExpr.clear();  // names fields that go with the cursor
  if (IsCursorOpen() || FInternalOpenComplete) {
    FInternalOpenComplete = false;
    InternalClose();
  }
  FBOF = false;
  FEOF = false;
}

void TDataSet::InitFieldDefs() {
  if (IsCursorOpen()) InternalInitFieldDefs();
  else {
    try {
      OpenCursor(true);
    } catch (...) {
      CloseCursor();
      throw;
    }
    CloseCursor();
  }
}

void TDataSet::InitFieldDefsFromFields() {
  if (FFieldDefs->GetCount() != 0) return;
  FFieldDefs->BeginUpdate();
  try {
    for (TField* F : *FFields)
      if (F->GetFieldKind() == fkData || F->GetFieldKind() == fkInternalCalc) {
        TFieldDef* D = FFieldDefs->AddFieldDef();
        D->SetName(F->GetFieldName());
        D->SetDataType(F->GetDataType());
        D->SetSize(F->GetSize());
        D->SetRequired(F->GetRequired());
        D->SetInternalCalcField(F->GetFieldKind() == fkInternalCalc);
      }
  } catch (...) {
    FFieldDefs->EndUpdate();
    throw;
  }
  FFieldDefs->EndUpdate();
}

void TDataSet::CreateFields() {
  for (TFieldDef* D : FFieldDefs->FlatList()) {
    if (D->GetParentDef()) continue;
    if (D->GetAttributes().Contains(faHiddenCol) && !FFieldDefs->GetHiddenFields()) continue;
    if (D->GetDataType() == ftUnknown && !GetFieldClass(ftUnknown)) continue;
    D->CreateField(this);
  }
}

void TDataSet::DestroyFields() { FFields->Clear(); }

void TDataSet::BindFields(bool Binding) {
  Integer FieldIndex = 0;
  for (TField* F : *FFields) {
    if (Binding) {
      if (F->GetFieldKind() == fkCalculated || F->GetFieldKind() == fkLookup || F->GetFieldKind() == fkAggregate) {
        F->FFieldNo = -1;
      } else {
        Integer I = FFieldDefs->IndexOf(F->GetFieldName());
        if (I < 0) DatabaseErrorFmt(SFieldNotFound, {F->GetDisplayName()}, this);
        TFieldDef* D = FFieldDefs->GetItem(I);
        if (F->GetDataType() != D->GetDataType() &&
            !(F->GetDataType() == ftAutoInc && D->GetDataType() == ftInteger) &&
            !(F->GetDataType() == ftInteger && D->GetDataType() == ftAutoInc))
          DatabaseErrorFmt(SFieldTypeMismatch,
                           {F->GetDisplayName(), String(FieldTypeNames[F->GetDataType()]),
                            String(FieldTypeNames[D->GetDataType()])},
                           this);
        F->FFieldNo = D->GetFieldNo();
      }
      ++FieldIndex;
    }
    F->Bind(Binding);
  }
}

void TDataSet::SetFieldDefs(TFieldDefs* Value) { FFieldDefs->Assign(Value); }

void TDataSet::UpdateCalcFieldsInfo() {
  FCalcFieldsSize = 0;
  FInternalCalcFields = false;
  for (TField* F : *FFields) {
    if (F->GetFieldKind() == fkCalculated || F->GetFieldKind() == fkLookup) {
      F->SetOffset(FCalcFieldsSize);
      FCalcFieldsSize += std::max<Integer>(F->GetDataSize(), 1) + 1;
    }
    if (F->GetFieldKind() == fkInternalCalc) FInternalCalcFields = true;
  }
}

void TDataSet::CheckActive() {
  if (FState == dsInactive) DatabaseError(SDataSetClosed, this);
}

void TDataSet::CheckInactive() {
  if (GetActive()) DatabaseError(SDataSetOpen, this);
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(deCheckBrowseMode, 0);
  switch (FState) {
    case dsEdit:
    case dsInsert:
      UpdateRecord();
      if (FModified) Post();
      else Cancel();
      break;
    case dsSetKey:
      Post();
      break;
    default:
      break;
  }
}

void TDataSet::CheckCanModify() {
  if (!CanModify()) DatabaseError(SDataSetReadOnly, this);
}

// ---- States and events -------------------------------------------------------------------------

void TDataSet::SetState(TDataSetState Value) {
  if (FState == Value) return;
  FState = Value;
  FModified = false;
  DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState Value) {
  TDataSetState Old = FState;
  FState = Value;
  ++FDisableCount;
  return Old;
}

void TDataSet::RestoreState(TDataSetState Value) {
  FState = Value;
  --FDisableCount;
}

void TDataSet::DisableControls() {
  if (FDisableCount == 0) {
    FDisableState = FState;
    FEnableEvent = deDataSetChange;
  }
  ++FDisableCount;
  // The event's Info is whether the controls are enabled now.
  if (FDisableCount == 1)
    for (TDataSource* S : SourcesSnapshot(FDataSources))
      if (S) S->DataEvent(deDisabledStateChange, 0);
}

void TDataSet::EnableControls() {
  if (FDisableCount == 0) return;
  if (--FDisableCount != 0) return;
  for (TDataSource* S : SourcesSnapshot(FDataSources))
    if (S) S->DataEvent(deDisabledStateChange, 1);
  if (FDisableState != FState) DataEvent(deUpdateState, 0);
  if (FDisableState != dsInactive && FState != dsInactive) DataEvent(FEnableEvent, 0);
}

void TDataSet::DataEvent(TDataEvent Event, NativeInt Info) {
  switch (Event) {
    case deFieldChange: {
      TField* F = reinterpret_cast<TField*>(Info);
      if (F->GetFieldKind() == fkData || F->GetFieldKind() == fkInternalCalc) FModified = true;
      DoCalcOnFieldChange(F);
      break;
    }
    case deFieldListChange:
      UpdateCalcFieldsInfo();
      break;
    case dePropertyChange:
      FFieldDefs->SetUpdated(false);
      break;
    default:
      break;
  }
  if (FDisableCount == 0 || Event == deDisabledStateChange) {
    for (TDataSource* S : SourcesSnapshot(FDataSources))
      if (S) S->DataEvent(Event, Info);
  } else if (Event == deUpdateState && FState == dsInactive) {
    // Closing while controls are disabled: the enable must refresh the layout, not just data.
    FEnableEvent = deLayoutChange;
  } else if (Event == deLayoutChange || Event == deFieldListChange) {
    FEnableEvent = deLayoutChange;
  }
}

void TDataSet::DoCalcOnFieldChange(TField* Field) {
  if (FState == dsSetKey) return;
  if (Field->GetFieldKind() == fkData) {
    if (FInternalCalcFields) RefreshInternalCalcFields(GetActiveBuffer());
    else if (FCalcFieldsSize != 0 && FAutoCalcFields) CalculateFields(GetActiveBuffer());
  }
  Field->Change();
}

void TDataSet::AddDataSource(TDataSource* DataSource) {
  FDataSources.push_back(DataSource);
  UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource* DataSource) {
  FDataSources.erase(std::remove(FDataSources.begin(), FDataSources.end(), DataSource), FDataSources.end());
  UpdateBufferCount();
}

bool TDataSet::IsLinkedTo(TDataSource* DataSource) {
  for (TDataSource* S = DataSource; S; ) {
    TDataSet* D = S->GetDataSet();
    if (!D) return false;
    if (D == this) return true;
    S = D->GetDataSource();
  }
  return false;
}

// ---- The buffer window --------------------------------------------------------------------------

TRecordBuffer TDataSet::GetActiveBuffer() const {
  if (FActiveRecord < 0 || FActiveRecord >= Integer(FBuffers.size())) return 0;
  return FBuffers[FActiveRecord];
}

void TDataSet::SetBufListSize(Integer Value) {
  // Value is the buffer count; one spare more is kept for fetching.
  Integer Have = Integer(FBuffers.size());
  if (!IsCursorOpen() && !FInternalOpenComplete) return;
  if (Value + 1 > Have) {
    for (Integer I = Have; I < Value + 1; ++I) FBuffers.push_back(AllocRecBuf());
  } else {
    for (Integer I = Have - 1; I >= Value + 1; --I) {
      FreeRecBuf(FBuffers[I]);
      FBuffers.pop_back();
    }
  }
}

void TDataSet::UpdateBufferCount() {
  // While the dataset is destroyed its descendant's overrides are gone.
  if (GetComponentState().Contains(csDestroying)) return;
  if (!IsCursorOpen() && !FInternalOpenComplete) return;
  Integer Count = 1;
  for (TDataSource* S : FDataSources)
    for (TDataLink* L : S->FDataLinks)
      if (L->GetBufferCount() > Count) Count = L->GetBufferCount();
  SetBufferCount(Count);
}

void TDataSet::SetBufferCount(Integer Value) {
  if (Value < 1) Value = 1;
  if (Value == FBufferCount && FTempBuffer) return;
  if (FBuffers.size() == 1 && FBuffers[0] == 0) FBuffers.clear();
  if (!FTempBuffer) FTempBuffer = AllocRecBuf();
  if (FBuffers.empty()) FBuffers.push_back(AllocRecBuf());  // the spare
  if (Value < FBufferCount) {
    // Keep the active record: drop records from the front until it fits.
    Integer Drop = FActiveRecord - (Value - 1);
    for (Integer I = 0; I < Drop; ++I) {
      ShiftBuffersDown(0, FRecordCount);  // the first record becomes the spare
      --FRecordCount;
      --FActiveRecord;
      if (FCurrentRecord >= 0) --FCurrentRecord;
    }
    if (FRecordCount > Value) FRecordCount = Value;
    if (FCurrentRecord >= FRecordCount) FCurrentRecord = -1;
    // Free the buffers past the new window and its spare.
    while (Integer(FBuffers.size()) > Value + 1) {
      FreeRecBuf(FBuffers.back());
      FBuffers.pop_back();
    }
    FBufferCount = Value;
  } else {
    while (Integer(FBuffers.size()) < Value + 1) FBuffers.push_back(AllocRecBuf());
    bool Grow = Value > FBufferCount;
    FBufferCount = Value;
    if (Grow && FRecordCount > 0) {
      FScrollShift = 0;
      GetNextRecords();
      Integer Before = FRecordCount;
      GetPriorRecords();
      (void)Before;
    } else if (FRecordCount == 0 && FState == dsInactive && FInternalOpenComplete) {
      GetNextRecords();
    }
  }
  for (TDataSource* S : FDataSources)
    for (TDataLink* L : S->FDataLinks) L->UpdateRange();
}

void TDataSet::FreeBuffers() {
  for (TRecordBuffer& B : FBuffers)
    if (B) FreeRecBuf(B);
  FBuffers.assign(1, 0);
  if (FTempBuffer) FreeRecBuf(FTempBuffer);
  FTempBuffer = 0;
  FBufferCount = 0;
  FRecordCount = 0;
  FActiveRecord = 0;
  FCurrentRecord = -1;
}

void TDataSet::ShiftBuffersDown(Integer From, Integer To) {
  TRecordBuffer B = FBuffers[From];
  if (From < To) std::move(FBuffers.begin() + From + 1, FBuffers.begin() + To + 1, FBuffers.begin() + From);
  else if (From > To) std::move_backward(FBuffers.begin() + To, FBuffers.begin() + From, FBuffers.begin() + From + 1);
  FBuffers[To] = B;
}

void TDataSet::ClearBuffers() {
  FRecordCount = 0;
  FActiveRecord = 0;
  FCurrentRecord = -1;
  FBOF = true;
  FEOF = true;
}

void TDataSet::ActivateBuffers() {
  FRecordCount = 1;
  FActiveRecord = 0;
  FCurrentRecord = 0;
  FBOF = false;
  FEOF = false;
}

void TDataSet::SetCurrentRecord(Integer Index) {
  if (FCurrentRecord == Index) return;
  TRecordBuffer Buffer = FBuffers[Index];
  switch (GetBookmarkFlag(Buffer)) {
    case bfCurrent:
    case bfInserted:
      InternalSetToRecord(Buffer);
      break;
    case bfBOF:
      InternalFirst();
      break;
    case bfEOF:
      InternalLast();
      break;
  }
  FCurrentRecord = Index;
}

void TDataSet::UpdateCursorPos() {
  if (FRecordCount > 0) SetCurrentRecord(FActiveRecord);
}

void TDataSet::SetActiveRecordIndex(Integer Value) {
  if (Value >= 0 && Value < std::max(FRecordCount, 1)) FActiveRecord = Value;
}

bool TDataSet::GetNextRecord() {
  if (FRecordCount > 0) SetCurrentRecord(FRecordCount - 1);
  bool Result = GetRecord(FBuffers[FRecordCount], gmNext, true) == grOK;
  if (Result) {
    if (FRecordCount == 0) {
      ActivateBuffers();
    } else if (FRecordCount < FBufferCount) {
      ++FRecordCount;
    } else {
      // Window full: the first record leaves, the others move up one.
      ShiftBuffersDown(0, FRecordCount);
      if (FActiveRecord > 0) --FActiveRecord;
      --FScrollShift;
    }
    FCurrentRecord = FRecordCount - 1;
  } else {
    CursorPosChanged();
  }
  return Result;
}

bool TDataSet::GetPriorRecord() {
  if (FRecordCount > 0) SetCurrentRecord(0);
  bool Result = GetRecord(FBuffers[FRecordCount], gmPrior, true) == grOK;
  if (Result) {
    if (FRecordCount == 0) {
      ActivateBuffers();
    } else {
      ShiftBuffersDown(FRecordCount, 0);
      if (FRecordCount < FBufferCount) {
        ++FRecordCount;
        ++FActiveRecord;
      } else if (FActiveRecord < FRecordCount - 1) {
        ++FActiveRecord;
      }
      ++FScrollShift;
    }
    FCurrentRecord = 0;
  } else {
    CursorPosChanged();
  }
  return Result;
}

Integer TDataSet::GetNextRecords() {
  Integer Result = 0;
  while (FRecordCount < FBufferCount && GetNextRecord()) ++Result;
  return Result;
}

Integer TDataSet::GetPriorRecords() {
  Integer Result = 0;
  while (FRecordCount < FBufferCount && GetPriorRecord()) ++Result;
  return Result;
}

// ---- Navigation ---------------------------------------------------------------------------------

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    InternalFirst();
    GetNextRecord();
    GetNextRecords();
  } catch (...) {
    FBOF = true;
    DataEvent(deDataSetChange, 0);
    throw;
  }
  FBOF = true;
  DataEvent(deDataSetChange, 0);
  DoAfterScroll();
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    InternalLast();
    GetPriorRecord();
    GetPriorRecords();
  } catch (...) {
    FEOF = true;
    DataEvent(deDataSetChange, 0);
    throw;
  }
  FEOF = true;
  DataEvent(deDataSetChange, 0);
  DoAfterScroll();
}

Integer TDataSet::MoveBy(Integer Distance) {
  CheckBrowseMode();
  Integer Result = 0;
  DoBeforeScroll();
  if ((Distance > 0 && !FEOF) || (Distance < 0 && !FBOF)) {
    FBOF = false;
    FEOF = false;
    Integer OldRecordCount = FRecordCount;
    FScrollShift = 0;
    auto Finish = [&] {
      if (FRecordCount != OldRecordCount) DataEvent(deDataSetChange, 0);
      else DataEvent(deDataSetScroll, FScrollShift);
    };
    try {
      while (Distance > 0) {
        if (FActiveRecord < FRecordCount - 1) {
          ++FActiveRecord;
        } else if (GetNextRecord()) {
          ++FActiveRecord;
          if (FActiveRecord > FRecordCount - 1) FActiveRecord = FRecordCount - 1;
        } else {
          FEOF = true;
          break;
        }
        --Distance;
        ++Result;
      }
      while (Distance < 0) {
        if (FActiveRecord > 0) {
          --FActiveRecord;
        } else if (GetPriorRecord()) {
          --FActiveRecord;
          if (FActiveRecord < 0) FActiveRecord = 0;
        } else {
          FBOF = true;
          break;
        }
        ++Distance;
        --Result;
      }
    } catch (...) {
      Finish();
      throw;
    }
    Finish();
    DoAfterScroll();
  }
  return Result;
}

bool TDataSet::IsEmpty() { return FActiveRecord >= FRecordCount && FState != dsInsert; }

void TDataSet::Resync(TResyncMode Mode) {
  if (FState == dsInactive) return;
  TRecordBuffer Spare = FBuffers[FRecordCount];
  if (Mode.Contains(rmExact)) {
    CursorPosChanged();
    if (GetRecord(Spare, gmCurrent, true) != grOK) DatabaseError(SRecordNotFound, this);
  } else if (GetRecord(Spare, gmCurrent, false) != grOK && GetRecord(Spare, gmNext, false) != grOK &&
             GetRecord(Spare, gmPrior, false) != grOK) {
    ClearBuffers();
    DataEvent(deDataSetChange, 0);
    return;
  }
  Integer Count = Mode.Contains(rmCenter) ? (FBufferCount - 1) / 2 : FActiveRecord;
  ShiftBuffersDown(FRecordCount, 0);
  ActivateBuffers();
  try {
    while (Count > 0 && GetPriorRecord()) --Count;
    GetNextRecords();
    GetPriorRecords();
  } catch (...) {
    DataEvent(deDataSetChange, 0);
    throw;
  }
  DataEvent(deDataSetChange, 0);
}

void TDataSet::Refresh() {
  DoBeforeRefresh();
  CheckBrowseMode();
  UpdateCursorPos();
  try {
    InternalRefresh();
  } catch (...) {
    Resync({});
    throw;
  }
  Resync({});
  DoAfterRefresh();
}

// ---- Editing ------------------------------------------------------------------------------------

void TDataSet::CheckOperation(void (TDataSet::*Operation)(), const TDataSetErrorEvent& ErrorEvent) {
  for (;;) {
    try {
      UpdateCursorPos();
      (this->*Operation)();
      return;
    } catch (EDatabaseError& E) {
      TDataAction Action = daFail;
      if (ErrorEvent) ErrorEvent(this, E, Action);
      if (Action == daFail) throw;
      if (Action == daAbort) Abort();
    }
  }
}

void TDataSet::InitRecord(TRecordBuffer Buffer) {
  InternalInitRecord(Buffer);
  ClearCalcFields(Buffer);
  SetBookmarkFlag(Buffer, bfInserted);
}

void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeInsert();
  DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
  SetState(dsInsert);
  try {
    DoOnNewRecord();
  } catch (...) {
    UpdateCursorPos();
    SetState(dsBrowse);
    Resync({});
    throw;
  }
  FModified = false;
  DataEvent(deDataSetChange, 0);
  DoAfterInsert();
  DoAfterScroll();
}

void TDataSet::Insert() {
  BeginInsertAppend();
  TBookmark OldCurrent = GetBookmark();
  ShiftBuffersDown(FRecordCount, FActiveRecord);
  TRecordBuffer Buffer = GetActiveBuffer();
  InitRecord(Buffer);
  if (FRecordCount == 0) SetBookmarkFlag(Buffer, bfBOF);
  else SetBookmarkData(Buffer, OldCurrent);
  if (FRecordCount < FBufferCount) ++FRecordCount;
  InternalInsert();
  FCurrentRecord = -1;
  EndInsertAppend();
}

void TDataSet::Append() {
  BeginInsertAppend();
  ClearBuffers();
  TRecordBuffer Buffer = FBuffers[0];
  InitRecord(Buffer);
  SetBookmarkFlag(Buffer, bfEOF);
  FRecordCount = 1;
  FBOF = false;
  FEOF = true;
  GetPriorRecords();
  FActiveRecord = FRecordCount - 1;
  InternalInsert();
  FEOF = true;
  EndInsertAppend();
}

void TDataSet::Edit() {
  if (FState == dsEdit || FState == dsInsert) return;
  if (FRecordCount == 0) {
    Insert();
    return;
  }
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeEdit();
  CheckOperation(&TDataSet::InternalEdit, FOnEditError);
  SetState(dsEdit);
  DataEvent(deRecordChange, 0);
  DoAfterEdit();
}

void TDataSet::UpdateRecord() {
  if (!dsWriteModes.Contains(FState)) DatabaseError(SNotEditing, this);
  DataEvent(deUpdateRecord, 0);
}

void TDataSet::Post() {
  UpdateRecord();
  if (FState == dsEdit || FState == dsInsert) {
    DataEvent(deCheckBrowseMode, 0);
    DoBeforePost();
    CheckOperation(&TDataSet::InternalPost, FOnPostError);
    SetState(dsBrowse);
    Resync({});
    DoAfterPost();
  }
}

void TDataSet::InternalPost() {
  for (TField* F : *FFields)
    if (F->GetRequired() && !F->GetReadOnly() && (F->GetFieldKind() == fkData || F->GetFieldKind() == fkInternalCalc) &&
        F->IsNull()) {
      F->FocusControl();
      DatabaseErrorFmt(SFieldRequired, {F->GetDisplayName()}, this);
    }
}

void TDataSet::Cancel() {
  if (FState != dsEdit && FState != dsInsert) return;
  DataEvent(deCheckBrowseMode, 0);
  DoBeforeCancel();
  bool DoScroll = FState == dsInsert;
  UpdateCursorPos();
  InternalCancel();
  SetState(dsBrowse);
  Resync({});
  DoAfterCancel();
  if (DoScroll) DoAfterScroll();
}

void TDataSet::Delete() {
  CheckActive();
  if (FState == dsInsert || FState == dsSetKey) {
    Cancel();
    return;
  }
  if (FRecordCount == 0) DatabaseError(SDataSetEmpty, this);
  DataEvent(deCheckBrowseMode, 0);
  DoBeforeDelete();
  DoBeforeScroll();
  CheckOperation(&TDataSet::InternalDelete, FOnDeleteError);
  SetState(dsBrowse);
  Resync({});
  DoAfterDelete();
  DoAfterScroll();
}

void TDataSet::SetFields(const std::vector<Variant>& Values) {
  for (size_t I = 0; I < Values.size() && Integer(I) < FFields->GetCount(); ++I) {
    TField* F = FFields->GetField(Integer(I));
    if (Values[I].IsEmpty()) continue;  // a gap in the list leaves the field alone
    F->SetAsVariant(Values[I]);
  }
}

void TDataSet::ClearFields() {
  if (!dsEditModes.Contains(FState)) DatabaseError(SNotEditing, this);
  DataEvent(deCheckBrowseMode, 0);
  InternalInitRecord(GetActiveBuffer());
  if (FState != dsSetKey) GetCalcFields(GetActiveBuffer());
  DataEvent(deRecordChange, 0);
}

void TDataSet::AddRecordValues(const std::vector<Variant>& Values, bool Append) {
  BeginInsertAppend();
  ClearBuffers();
  InternalAddRecord(Values, Append);
  SetState(dsBrowse);
  Resync({});
  DoAfterInsert();
  DoAfterScroll();
}

void TDataSet::InternalAddRecord(const std::vector<Variant>& Values, bool Append) {
  // The general path: a new record through the buffer, filled and posted.
  FState = dsBrowse;
  if (Append) this->Append();
  else Insert();
  SetFields(Values);
  Post();
}

TUpdateStatus TDataSet::UpdateStatus() {
  if (FState == dsInsert) return usInserted;
  return usUnmodified;
}

// ---- Bookmarks -----------------------------------------------------------------------------------

TBookmark TDataSet::GetBookmark() {
  if (FRecordCount == 0 || FActiveRecord >= FRecordCount) return TBookmark();
  TRecordBuffer B = GetActiveBuffer();
  if (GetBookmarkFlag(B) != bfCurrent || FBookmarkSize <= 0) return TBookmark();
  TBookmark Result(FBookmarkSize);
  GetBookmarkData(B, Result);
  return Result;
}

void TDataSet::GotoBookmark(const TBookmark& Bookmark) {
  if (Bookmark.IsEmpty()) return;
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(Bookmark);
  Resync({rmExact, rmCenter});
  DoAfterScroll();
}

void TDataSet::InternalGotoBookmark(const TBookmark&) {}

Integer TDataSet::CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
  bool E1 = Bookmark1.IsEmpty(), E2 = Bookmark2.IsEmpty();
  if (E1 && E2) return 0;
  if (E1) return -1;
  if (E2) return 1;
  return 0;
}

TBookmarkStr TDataSet::GetBookmarkStr() {
  TBookmark B = GetBookmark();
  return TBookmarkStr(reinterpret_cast<const char*>(B.Data()), size_t(B.Size()));
}

void TDataSet::SetBookmarkStr(const TBookmarkStr& Value) {
  GotoBookmark(TBookmark(TBytes(Value.begin(), Value.end())));
}

// ---- Fields -------------------------------------------------------------------------------------

TField* TDataSet::FindField(const String& FieldName) {
  TField* F = FFields->FindField(FieldName);
  if (!F) F = FAggFields->FindField(FieldName);
  return F;
}

TField* TDataSet::FieldByName(const String& FieldName) {
  TField* F = FindField(FieldName);
  if (!F) DatabaseErrorFmt(SFieldNotFound, {FieldName}, this);
  return F;
}

void TDataSet::GetFieldList(std::vector<TField*>& List, const String& FieldNames) {
  Integer Pos = 1;
  while (Pos <= Length(FieldNames)) {
    String Name = ExtractFieldName(FieldNames, Pos);
    if (!Name.empty()) List.push_back(FieldByName(Name));
  }
}

void TDataSet::GetFieldNames(std::vector<String>& List) {
  for (TField* F : *FFields) List.push_back(F->GetFieldName());
}

Variant TDataSet::GetFieldValues(const String& FieldName) {
  std::vector<TField*> List;
  GetFieldList(List, FieldName);
  if (List.size() == 1) return List[0]->GetAsVariant();
  Variant Result = VarArrayCreate({0, Integer(List.size()) - 1}, varVariant);
  for (size_t I = 0; I < List.size(); ++I) Result[Integer(I)] = List[I]->GetAsVariant();
  return Result;
}

void TDataSet::SetFieldValues(const String& FieldName, const Variant& Value) {
  if (VarIsArray(Value)) {
    std::vector<TField*> List;
    GetFieldList(List, FieldName);
    for (size_t I = 0; I < List.size(); ++I) List[I]->SetAsVariant(Value[Integer(I)]);
  } else {
    FieldByName(FieldName)->SetAsVariant(Value);
  }
}

bool TDataSet::GetFieldData(Integer FieldNo, TValueBuffer& Buffer) {
  TField* F = FieldByNumber(FieldNo);
  return F && GetFieldData(F, Buffer);
}

bool TDataSet::GetFieldData(TField* Field, TValueBuffer& Buffer, bool NativeFormat) {
  if (NativeFormat) return GetFieldData(Field, Buffer);
  TValueBuffer Native(Field->GetDataSize());
  bool Result = GetFieldData(Field, Native);
  if (Result) DataConvert(Field, Native, Buffer, false);
  return Result;
}

bool TDataSet::GetFieldData(TField* Field, Pointer Buffer) { return GetFieldData(Field, Buffer, true); }

bool TDataSet::GetFieldData(TField* Field, Pointer Buffer, bool NativeFormat) {
  TValueBuffer V(Field->GetDataSize());
  bool Result = GetFieldData(Field, V, NativeFormat);
  if (Result && Buffer && !V.empty()) std::memcpy(Buffer, V.data(), V.size());
  return Result;
}

void TDataSet::SetFieldData(TField* Field, const TValueBuffer* Buffer, bool NativeFormat) {
  if (NativeFormat || !Buffer) {
    SetFieldData(Field, Buffer);
    return;
  }
  TValueBuffer Native(Field->GetDataSize());
  DataConvert(Field, *Buffer, Native, true);
  SetFieldData(Field, &Native);
}

void TDataSet::SetFieldData(TField* Field, Pointer Buffer) { SetFieldData(Field, Buffer, true); }

void TDataSet::SetFieldData(TField* Field, Pointer Buffer, bool NativeFormat) {
  if (!Buffer) {
    SetFieldData(Field, static_cast<const TValueBuffer*>(nullptr), NativeFormat);
    return;
  }
  // The working form's size is the native size except for the converted kinds.
  Integer Size = Field->GetDataSize();
  if (!NativeFormat) {
    switch (Field->GetDataType()) {
      case ftDate: case ftTime: case ftDateTime: Size = 8; break;
      case ftBCD: Size = 8; break;
      default: break;
    }
  }
  const Byte* P = static_cast<const Byte*>(Buffer);
  TValueBuffer V(P, P + Size);
  SetFieldData(Field, &V, NativeFormat);
}

TStream* TDataSet::CreateBlobStream(TField*, TBlobStreamMode) { return nullptr; }

// ---- Calculated and lookup fields ---------------------------------------------------------------

void TDataSet::CalculateFields(TRecordBuffer Buffer) {
  FCalcBuffer = Buffer;
  TDataSetState Old = SetTempState(dsCalcFields);
  try {
    GetCalcFields(Buffer);
  } catch (...) {
    RestoreState(Old);
    throw;
  }
  RestoreState(Old);
}

void TDataSet::GetCalcFields(TRecordBuffer Buffer) {
  if (FCalcFieldsSize == 0 && !FInternalCalcFields) return;
  ClearCalcFields(Buffer);
  for (TField* F : *FFields)
    if (F->GetFieldKind() == fkLookup) CalcLookupValue(F);
  DoOnCalcFields();
}

void TDataSet::CalcLookupValue(TField* Field) {
  Variant V = Null;
  if (Field->GetLookupCache()) {
    V = Field->GetLookupList()->ValueOfKey(GetFieldValues(Field->GetKeyFields()));
  } else if (TDataSet* L = Field->GetLookupDataSet(); L && L->GetActive()) {
    V = L->Lookup(Field->GetLookupKeyFields(), GetFieldValues(Field->GetKeyFields()), Field->GetLookupResultField());
  }
  Field->SetAsVariant(V);
}

Variant TDataSet::GetStateFieldValue(TDataSetState State, TField* Field) {
  if (!GetActive()) return Null;
  TDataSetState Old = SetTempState(State);
  Variant Result;
  try {
    Result = Field->GetAsVariant();
  } catch (...) {
    RestoreState(Old);
    throw;
  }
  RestoreState(Old);
  return Result;
}

void TDataSet::SetStateFieldValue(TDataSetState State, TField* Field, const Variant& Value) {
  TDataSetState Old = SetTempState(State);
  try {
    Field->SetAsVariant(Value);
  } catch (...) {
    RestoreState(Old);
    throw;
  }
  RestoreState(Old);
}

// ---- Filters and search -------------------------------------------------------------------------

void TDataSet::SetFiltered(bool Value) {
  if (FFiltered == Value) return;
  FFiltered = Value;
  if (GetActive()) {
    CheckBrowseMode();
    First();
  }
}

void TDataSet::SetFilterOptions(TFilterOptions Value) {
  if (FFilterOptions == Value) return;
  TExprData Expr = CompileFilter(FFilterText, Value);  // the options shape constant comparisons
  FFilterOptions = Value;
  FFilterExpr = std::move(Expr);
  if (GetActive() && FFiltered) First();
}

void TDataSet::SetFilterText(const String& Value) {
  if (FFilterText == Value) return;
  TExprData Expr = CompileFilter(Value, FFilterOptions);
  FFilterText = Value;
  FFilterExpr = std::move(Expr);
  if (GetActive() && FFiltered) First();
}

TExprData TDataSet::CompileFilter(const String& Text, TFilterOptions Options) {
  // While closed the text is only stored: the fields it names may not exist yet.
  if (!EvaluatesFilterText() || !FInternalOpenComplete || Trim(Text).empty()) return {};
  TExprParser Parser(this, Text, Options, {}, String(), nullptr, GetFilterFieldMap());
  return Parser.GetFilterData();
}

void TDataSet::SetOnFilterRecord(const TFilterRecordEvent& Value) {
  FOnFilterRecord = Value;
  if (GetActive() && FFiltered) First();
}

String TDataSet::PSGetKeyFields() {
  String Result;
  for (TField* Field : *FFields) {
    if (!Field->GetProviderFlags().Contains(pfInKey)) continue;
    if (!Result.empty()) Result += L';';
    Result += Field->GetFieldName();
  }
  if (!Result.empty()) return Result;
  if (TIndexDefs* Defs = PSGetIndexDefs())
    for (Integer I = 0; I < Defs->GetCount(); ++I)
      if ((*Defs)[I]->GetOptions().Contains(ixPrimary)) return (*Defs)[I]->GetFields();
  return Result;
}

bool TDataSet::FindRecord(bool, bool) {
  DatabaseError(SFindRecordNotSupported, this);
}

namespace {
bool FieldValueMatches(TField* Field, const Variant& Key, TLocateOptions Options) {
  Variant V = Field->GetAsVariant();
  if (Key.IsNull() || Key.IsEmpty()) return V.IsNull() || V.IsEmpty();
  if (V.IsNull() || V.IsEmpty()) return false;
  bool TextCompare = VarIsStr(Key) || Field->GetDataType() == ftString || Field->GetDataType() == ftWideString ||
                     Field->GetDataType() == ftFixedChar || Field->GetDataType() == ftFixedWideChar ||
                     Field->GetDataType() == ftMemo || Field->GetDataType() == ftWideMemo;
  if (!TextCompare) {
    try {
      return VarCompareValue(V, Key) == vrEqual;
    } catch (const EVariantError&) {
      return false;
    }
  }
  String S = VarToStr(V), K = VarToStr(Key);
  if (Options.Contains(loPartialKey)) S = Copy(S, 1, Length(K));
  return Options.Contains(loCaseInsensitive) ? AnsiCompareText(S, K) == 0 : AnsiCompareStr(S, K) == 0;
}
}  // namespace

bool TDataSet::LocateRecord(const String& KeyFields, const Variant& KeyValues, TLocateOptions Options,
                            bool SyncCursor) {
  CheckBrowseMode();
  std::vector<TField*> Fields;
  GetFieldList(Fields, KeyFields);
  auto KeyOf = [&](size_t I) -> Variant {
    if (Fields.size() == 1 && !VarIsArray(KeyValues)) return KeyValues;
    return KeyValues[Integer(I)];
  };
  // Scan with the cursor into the temporary buffer; the window and the controls see nothing
  // until a record is found.
  CursorPosChanged();
  InternalFirst();
  bool Found = false;
  TDataSetState Old = SetTempState(dsFilter);
  try {
    while (!Found && GetRecord(FTempBuffer, gmNext, false) == grOK) {
      bool All = true;
      for (size_t I = 0; I < Fields.size() && All; ++I) All = FieldValueMatches(Fields[I], KeyOf(I), Options);
      Found = All;
    }
  } catch (...) {
    RestoreState(Old);
    throw;
  }
  RestoreState(Old);
  return Found;
}

bool TDataSet::Locate(const String& KeyFields, const Variant& KeyValues, TLocateOptions Options) {
  bool Found = LocateRecord(KeyFields, KeyValues, Options, true);
  if (Found) {
    DoBeforeScroll();
    Resync({rmExact, rmCenter});
    DoAfterScroll();
  }
  FFound = Found;
  return Found;
}

Variant TDataSet::Lookup(const String& KeyFields, const Variant& KeyValues, const String& ResultFields) {
  Variant Result = Null;
  if (LocateRecord(KeyFields, KeyValues, {}, false)) {
    TDataSetState Old = SetTempState(dsFilter);
    try {
      Result = GetFieldValues(ResultFields);
    } catch (...) {
      RestoreState(Old);
      throw;
    }
    RestoreState(Old);
  }
  return Result;
}

// ---- Native conversions --------------------------------------------------------------------------

void TDataSet::DataConvert(TField* Field, const TValueBuffer& Source, TValueBuffer& Dest, bool ToNative) {
  auto Put = [&Dest](const void* P, size_t N) {
    Dest.assign(static_cast<const Byte*>(P), static_cast<const Byte*>(P) + N);
  };
  switch (Field->GetDataType()) {
    case ftDate:
    case ftTime:
    case ftDateTime: {
      if (ToNative) {
        double D = 0;
        std::memcpy(&D, Source.data(), std::min<size_t>(8, Source.size()));
        TTimeStamp TS = DateTimeToTimeStamp(TDateTime(D));
        if (Field->GetDataType() == ftDate) Put(&TS.Date, 4);
        else if (Field->GetDataType() == ftTime) Put(&TS.Time, 4);
        else {
          double MS = double(TimeStampToMSecs(TS));
          Put(&MS, 8);
        }
      } else {
        double D = 0;
        if (Field->GetDataType() == ftDateTime) {
          double MS = 0;
          std::memcpy(&MS, Source.data(), std::min<size_t>(8, Source.size()));
          D = TimeStampToDateTime(MSecsToTimeStamp(Int64(MS))).Val;
        } else {
          Integer V = 0;
          std::memcpy(&V, Source.data(), std::min<size_t>(4, Source.size()));
          TTimeStamp TS;
          if (Field->GetDataType() == ftDate) {
            TS.Date = V;
            TS.Time = 0;
          } else {
            TS.Date = DateDelta;
            TS.Time = V;
          }
          D = TimeStampToDateTime(TS).Val;
        }
        Put(&D, 8);
      }
      break;
    }
    case ftBCD: {
      if (ToNative) {
        Int64 Raw = 0;
        std::memcpy(&Raw, Source.data(), std::min<size_t>(8, Source.size()));
        TBcd B;
        CurrToBCD(Currency::FromRaw(Raw), B, 32, Field->GetSize());
        Put(&B, sizeof(B));
      } else {
        TBcd B;
        std::memcpy(&B, Source.data(), std::min(sizeof(B), Source.size()));
        Currency C;
        if (!BCDToCurr(B, C)) throw EBcdOverflowException(L"BCD overflow");
        Int64 Raw = C.Raw();
        Put(&Raw, 8);
      }
      break;
    }
    default:
      Dest = Source;
      break;
  }
}
