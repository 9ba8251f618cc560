#include "framework/db/DataLink.h"

#include <algorithm>

#include "framework/db/DBConsts.h"
#include "framework/db/DataSet.h"

// ---- TDataSource ---------------------------------------------------------------------------------

PUBLISHED_DEF(TDataSource) {
  PROP(AutoEdit).Default(true);
  PROP(DataSet);
  PROP(Enabled).Default(true);
  EVENT(OnStateChange);
  EVENT(OnDataChange);
  EVENT(OnUpdateData);
}

TDataSource::TDataSource(TComponent* AOwner) : TComponent(AOwner) {}

TDataSource::~TDataSource() {
  Destroying();
  while (!FDataLinks.empty()) FDataLinks.back()->SetDataSource(nullptr);
  SetDataSet(nullptr);
}

void TDataSource::Edit() {
  if (FAutoEdit && FState == dsBrowse && FDataSet) FDataSet->Edit();
}

bool TDataSource::IsLinkedTo(TDataSet* DataSet) {
  // Walk from DataSet through the datasets its links feed (detail links answer them).
  for (TDataLink* L : FDataLinks) {
    TDataSet* D = L->GetDetailDataSet();
    if (D && (D == DataSet || D->IsLinkedTo(this))) return true;
  }
  return false;
}

void TDataSource::SetDataSet(TDataSet* ADataSet) {
  if (ADataSet == FDataSet) return;
  if (ADataSet && IsLinkedTo(ADataSet)) DatabaseError(SCircularDataLink, this);
  if (FDataSet) {
    FDataSet->RemoveDataSource(this);
    FDataSet->RemoveFreeNotification(this);
  }
  FDataSet = ADataSet;
  if (FDataSet) {
    FDataSet->FreeNotification(this);
    FDataSet->AddDataSource(this);
  }
  UpdateState();
}

// The reference clears itself; the notification is heard to leave the dataset's list and to take
// the links to the inactive state while the dataset is still whole.
void TDataSource::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FDataSet) SetDataSet(nullptr);
}

void TDataSource::SetEnabled(bool Value) {
  FEnabled = Value;
  UpdateState();
}

void TDataSource::UpdateState() {
  if (FEnabled && FDataSet) SetState(FDataSet->GetState());
  else SetState(dsInactive);
}

void TDataSource::SetState(TDataSetState Value) {
  if (FState == Value) return;
  TDataSetState Prior = FState;
  FState = Value;
  NotifyDataLinks(deUpdateState, 0);
  if (!GetComponentState().Contains(csDestroying)) {
    DoEvent(FOnStateChange, this);
    if (Prior == dsInactive) DoEvent(FOnDataChange, this);
  }
}

void TDataSource::AddDataLink(TDataLink* DataLink) {
  FDataLinks.push_back(DataLink);
  DataLink->FDataSource = this;
  if (FDataSet) FDataSet->UpdateBufferCount();
  DataLink->UpdateState();
}

void TDataSource::RemoveDataLink(TDataLink* DataLink) {
  DataLink->FDataSource = nullptr;
  FDataLinks.erase(std::remove(FDataLinks.begin(), FDataLinks.end(), DataLink), FDataLinks.end());
  DataLink->UpdateState();
  if (FDataSet) FDataSet->UpdateBufferCount();
}

void TDataSource::NotifyDataLinks(TDataEvent Event, NativeInt Info) {
  // Links that show records are told first, so that a field link's edit sees the grid settled.
  std::vector<TDataLink*> Links(FDataLinks);
  for (TDataLink* L : Links)
    if (L->FBufferCount > 1 && std::find(FDataLinks.begin(), FDataLinks.end(), L) != FDataLinks.end())
      L->DataEvent(Event, Info);
  for (TDataLink* L : Links)
    if (L->FBufferCount <= 1 && std::find(FDataLinks.begin(), FDataLinks.end(), L) != FDataLinks.end())
      L->DataEvent(Event, Info);
}

void TDataSource::DataEvent(TDataEvent Event, NativeInt Info) {
  if (Event == deUpdateState) {
    UpdateState();
    return;
  }
  if (FState == dsInactive) return;
  NotifyDataLinks(Event, Info);
  switch (Event) {
    case deFieldChange:
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
      DoEvent(FOnDataChange, this);
      break;
    case deUpdateRecord:
      DoEvent(FOnUpdateData, this);
      break;
    default:
      break;
  }
}

// ---- TDataLink -----------------------------------------------------------------------------------

TDataLink::TDataLink() = default;

TDataLink::~TDataLink() {
  if (FDataSource) FDataSource->RemoveDataLink(this);
}

TDataSet* TDataLink::GetDataSet() const { return FDataSource ? FDataSource->GetDataSet() : nullptr; }

void TDataLink::SetDataSource(TDataSource* ADataSource) {
  if (ADataSource == FDataSource) return;
  if (FDataSourceFixed) DatabaseError(SNotAllowedInDBCtrlGrid);
  if (ADataSource && GetDetailDataSet() && GetDetailDataSet()->IsLinkedTo(ADataSource))
    DatabaseError(SCircularDataLink);
  if (FDataSource) FDataSource->RemoveDataLink(this);
  if (ADataSource) ADataSource->AddDataLink(this);
}

void TDataLink::UpdateState() {
  SetActive(FDataSource && FDataSource->GetState() != dsInactive);
  SetEditing(FDataSource && dsEditModes.Contains(FDataSource->GetState()) && !FReadOnly);
}

void TDataLink::SetActive(bool Value) {
  if (FActive == Value) return;
  FActive = Value;
  if (Value) UpdateRange();
  else FFirstRecord = 0;
  ActiveChanged();
}

void TDataLink::SetEditing(bool Value) {
  if (FEditing == Value) return;
  FEditing = Value;
  EditingChanged();
}

void TDataLink::SetReadOnly(bool Value) {
  if (FReadOnly == Value) return;
  FReadOnly = Value;
  UpdateState();
}

bool TDataLink::Edit() {
  if (!FReadOnly && FDataSource) FDataSource->Edit();
  return FEditing;
}

void TDataLink::UpdateRecord() {
  if (FUpdating) return;
  FUpdating = true;
  try {
    UpdateData();
  } catch (...) {
    FUpdating = false;
    throw;
  }
  FUpdating = false;
}

Integer TDataLink::MoveBy(Integer Distance) { return GetDataSet()->MoveBy(Distance); }

void TDataLink::UpdateRange() {
  TDataSet* D = GetDataSet();
  if (!D || !FActive) {
    FFirstRecord = 0;
    return;
  }
  Integer Min = D->FActiveRecord - FBufferCount + 1;
  if (Min < 0) Min = 0;
  Integer Max = D->FBufferCount - FBufferCount;
  if (Max < 0) Max = 0;
  if (Max > D->FActiveRecord) Max = D->FActiveRecord;
  if (FFirstRecord < Min) FFirstRecord = Min;
  if (FFirstRecord > Max) FFirstRecord = Max;
  // A window that runs past the filled buffers moves up to show as many records as it can.
  if (FFirstRecord != 0 && FFirstRecord + FBufferCount > D->FRecordCount) {
    Integer Best = D->FRecordCount - FBufferCount;
    if (Best < Min) Best = Min;
    if (Best < 0) Best = 0;
    if (Best < FFirstRecord) FFirstRecord = Best;
  }
}

Integer TDataLink::GetActiveRecord() const {
  TDataSet* D = GetDataSet();
  if (!D || !FActive || D->GetState() == dsSetKey) return 0;
  return D->FActiveRecord - FFirstRecord;
}

void TDataLink::SetActiveRecord(Integer Value) {
  TDataSet* D = GetDataSet();
  if (D && FActive && D->GetState() != dsSetKey) D->SetActiveRecordIndex(Value + FFirstRecord);
}

void TDataLink::SetBufferCount(Integer Value) {
  if (Value < 1) Value = 1;
  if (FBufferCount == Value) return;
  FBufferCount = Value;
  if (TDataSet* D = GetDataSet()) {
    if (D->GetActive()) D->UpdateBufferCount();
    UpdateRange();
  }
}

Integer TDataLink::GetRecordCount() const {
  TDataSet* D = GetDataSet();
  if (!D || !FActive) return 0;
  if (D->GetState() == dsSetKey) return 1;
  Integer Result = D->FRecordCount - FFirstRecord;
  if (Result > FBufferCount) Result = FBufferCount;
  return Result < 0 ? 0 : Result;
}

bool TDataLink::GetBOF() const { return GetDataSet() && GetDataSet()->Bof(); }
bool TDataLink::GetEOF() const { return GetDataSet() && GetDataSet()->Eof(); }

void TDataLink::DataEvent(TDataEvent Event, NativeInt Info) {
  if (Event == deUpdateState) {
    UpdateState();
    return;
  }
  if (!FActive) return;
  switch (Event) {
    case deFieldChange:
    case deRecordChange:
      if (!FUpdating) RecordChanged(reinterpret_cast<TField*>(Info));
      break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
      Integer Distance = 0;
      if (FDataSource->GetState() != dsSetKey) {
        // The records moved by Info rows within the dataset's buffers; follow them, then keep
        // the active record in view. What the window moved beyond that is the scroll.
        Integer Shifted = FFirstRecord + (Event == deDataSetScroll ? Integer(Info) : 0);
        FFirstRecord = Shifted;
        UpdateRange();
        Distance = FFirstRecord - Shifted;
      }
      if (Event == deDataSetChange) DataSetChanged();
      else if (Event == deDataSetScroll) DataSetScrolled(Distance);
      else LayoutChanged();
      break;
    }
    case deUpdateRecord:
      UpdateRecord();
      break;
    case deCheckBrowseMode:
      CheckBrowseMode();
      break;
    case deFocusControl:
      FocusControl(*reinterpret_cast<TField**>(Info));
      break;
    default:
      break;
  }
}
