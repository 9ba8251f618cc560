#include "kvlib/axisgrid/DBSumLst.h"

#include <algorithm>
#include <cmath>

#include "framework/DB.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"
#include "kvlib/foundation/MemTableIntfKv.h"

namespace dbsumlst {

TBcd Int128ToBcd(__int128 Value, Integer Scale) {
  bool Neg = Value < 0;
  unsigned __int128 U = Neg ? (unsigned __int128)0 - (unsigned __int128)Value : (unsigned __int128)Value;
  std::wstring Digits;
  do {
    Digits.insert(Digits.begin(), wchar_t(L'0' + Integer(U % 10)));
    U /= 10;
  } while (U != 0);
  if (Scale > 0) {
    while (Integer(Digits.size()) <= Scale) Digits.insert(Digits.begin(), L'0');
    Digits.insert(Digits.end() - Scale, L'.');
  }
  if (Neg) Digits.insert(Digits.begin(), L'-');
  TFormatSettings Settings;
  Settings.DecimalSeparator = L'.';
  return StrToBcd(String(Digits.c_str()), Settings);
}

// A float as FMTBcd when BCD can hold it, else as it is.
Variant FloatResult(Double Value) {
  if (!std::isfinite(Value)) return Variant(Value);
  try {
    return VarFMTBcdCreate(DoubleToBcd(Value));
  } catch (const EBcdException&) {
    return Variant(Value);
  }
}

constexpr Integer CurrencyScale = 4;

using TGetEvent = TDataSetNotifyEvent (TDataSet::*)() const;
using TSetEvent = void (TDataSet::*)(const TDataSetNotifyEvent&);
struct TEventAccess {
  TGetEvent Get;
  TSetEvent Set;
};
// By THookEvent; the master's AfterScroll last.
const TEventAccess EventAccess[] = {
    {&TDataSet::GetAfterOpen, &TDataSet::SetAfterOpen},     {&TDataSet::GetAfterPost, &TDataSet::SetAfterPost},
    {&TDataSet::GetAfterScroll, &TDataSet::SetAfterScroll}, {&TDataSet::GetAfterDelete, &TDataSet::SetAfterDelete},
    {&TDataSet::GetAfterClose, &TDataSet::SetAfterClose},   {&TDataSet::GetBeforePost, &TDataSet::SetBeforePost},
    {&TDataSet::GetBeforeDelete, &TDataSet::SetBeforeDelete}, {&TDataSet::GetAfterScroll, &TDataSet::SetAfterScroll},
};

bool Destroying(TComponent* C) { return C->GetComponentState().Contains(csDestroying); }

// The aggregate function the table computes for each group operation.
const TAggrFunctionKv TableAggrFunction[] = {agfSumKv, agfAvg, agfCountKv, agfMin, agfMax};

// A table's aggregate as the walk would give it: numbers as FMTBcd when they fit, floats that do
// not fit as they are.
Variant TableAggrResult(const Variant& V) {
  if (V.IsNull() || V.IsEmpty()) return Null;
  if (VarIsFMTBcd(V)) return V;
  switch (V.Type() & varTypeMask) {
    case varSingle: case varDouble: return FloatResult(V.AsDouble());
    default: break;
  }
  try {
    return VarFMTBcdCreate(VarToBcd(V));
  } catch (const Exception&) {
    return V;
  }
}

}  // namespace dbsumlst

// ---- TDBSumAccumulatorKv -----------------------------------------------------------------------

TDBSumAccumulatorKv::TKind TDBSumAccumulatorKv::KindOf(TField* Field) {
  switch (Field->GetDataType()) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint: case ftLongWord:
    case ftShortint: case ftByte:
      return akInt;
    case ftCurrency:
      return akCurrency;
    case ftFloat: case ftExtended: case ftSingle:
      return akFloat;
    default:
      return akBcd;
  }
}

TDBSumAccumulatorKv::TValue TDBSumAccumulatorKv::Read(TKind Kind, TField* Field) {
  TValue V;
  if (Field->IsNull()) return V;
  V.IsNull = false;
  switch (Kind) {
    case akInt: V.I = Field->GetAsLargeInt(); break;
    case akCurrency: V.I = Field->GetAsCurrency().Raw(); break;
    case akFloat: V.F = Field->GetAsFloat(); break;
    case akBcd:
      // Anything else goes through the variant's BCD conversion, which refuses a text that is
      // no number.
      if (Field->GetDataType() == ftBCD || Field->GetDataType() == ftFMTBcd)
        V.B = Field->GetAsBCD();
      else
        V.B = VarToBcd(Field->GetAsVariant());
      break;
  }
  return V;
}

TDBSumAccumulatorKv::TValue TDBSumAccumulatorKv::FromVariant(TKind Kind, const Variant& Source) {
  TValue V;
  if (Source.IsNull() || Source.IsEmpty()) return V;
  V.IsNull = false;
  switch (Kind) {
    case akInt: V.I = Source.AsInt64(); break;
    case akCurrency: V.I = Source.AsCurrency().Raw(); break;
    case akFloat: V.F = Source.AsDouble(); break;
    case akBcd: V.B = VarToBcd(Source); break;
  }
  return V;
}

Integer TDBSumAccumulatorKv::Compare(TKind Kind, const TValue& A, const TValue& B) {
  switch (Kind) {
    case akInt:
    case akCurrency: return A.I < B.I ? -1 : A.I > B.I ? 1 : 0;
    case akFloat: return A.F < B.F ? -1 : A.F > B.F ? 1 : 0;
    case akBcd: return BcdCompare(A.B, B.B);
  }
  return 0;
}

void TDBSumAccumulatorKv::Reset(TKind AKind) { *this = TDBSumAccumulatorKv{.Kind = AKind}; }

void TDBSumAccumulatorKv::AddSum(const TValue& V) {
  if (V.IsNull) return;
  ++NotNullCount;
  switch (Kind) {
    case akInt: case akCurrency: SumI += V.I; break;
    case akFloat: SumF += V.F; break;
    case akBcd: {
      TBcd R;
      BcdAdd(SumB, V.B, R);
      SumB = R;
      break;
    }
  }
}

bool TDBSumAccumulatorKv::RemoveSum(const TValue& V) {
  if (V.IsNull) return true;
  switch (Kind) {
    case akInt: case akCurrency: SumI -= V.I; break;
    case akFloat:
      // inf - inf is no way back to the finite sum of the others.
      if (!std::isfinite(SumF) || !std::isfinite(V.F)) return false;
      SumF -= V.F;
      break;
    case akBcd: {
      TBcd R;
      BcdSubtract(SumB, V.B, R);
      SumB = R;
      break;
    }
  }
  --NotNullCount;
  return true;
}

void TDBSumAccumulatorKv::AddExtreme(const TValue& V, Integer Sign) {
  if (V.IsNull) return;
  ++NotNullCount;
  if (!HasExtreme) {
    HasExtreme = true;
    Extreme = V;
    ExtremeHolders = 1;
    return;
  }
  Integer C = Compare(Kind, V, Extreme) * Sign;
  if (C > 0) {
    Extreme = V;
    ExtremeHolders = 1;
  } else if (C == 0) {
    ++ExtremeHolders;
  }
}

bool TDBSumAccumulatorKv::RemoveExtreme(const TValue& V) {
  if (V.IsNull) return true;
  --NotNullCount;
  if (!HasExtreme || Compare(Kind, V, Extreme) != 0) return true;
  if (ExtremeHolders <= 1) return false;
  --ExtremeHolders;
  return true;
}

Variant TDBSumAccumulatorKv::ToResult(TKind Kind, const TValue& V) {
  if (V.IsNull) return Null;
  switch (Kind) {
    case akInt: return VarFMTBcdCreate(dbsumlst::Int128ToBcd(V.I, 0));
    case akCurrency: return VarFMTBcdCreate(dbsumlst::Int128ToBcd(V.I, dbsumlst::CurrencyScale));
    case akFloat: return dbsumlst::FloatResult(V.F);
    case akBcd: return VarFMTBcdCreate(V.B);
  }
  return Null;
}

Variant TDBSumAccumulatorKv::SumResult() const {
  if (NotNullCount == 0) return Null;
  TValue S;
  S.IsNull = false;
  S.I = SumI;
  S.F = SumF;
  S.B = SumB;
  return ToResult(Kind, S);
}

Variant TDBSumAccumulatorKv::AvgResult() const {
  if (NotNullCount == 0) return 0;
  if (Kind == akFloat) return dbsumlst::FloatResult(SumF / NotNullCount);
  TBcd Sum = Kind == akBcd ? SumB : dbsumlst::Int128ToBcd(SumI, Kind == akCurrency ? dbsumlst::CurrencyScale : 0);
  TBcd R;
  BcdDivide(Sum, NotNullCount, R);
  return VarFMTBcdCreate(R);
}

Variant TDBSumAccumulatorKv::ExtremeResult() const { return HasExtreme ? ToResult(Kind, Extreme) : Variant(Null); }

// ---- TDBSum ------------------------------------------------------------------------------------

PUBLISHED_DEF(TDBSum) {
  PROP(FieldName);
  PROP(GroupOperation);
}

TDBSum::TDBSum(TCollection* Collection)
    : TCollectionItem(Collection), Value(Null), FSumValueAsSum(Null), VarValue(Null), SumValue(Null) {}

void TDBSum::Assign(TPersistent* Source) {
  if (auto* S = dynamic_cast<TDBSum*>(Source)) {
    SetGroupOperation(S->FGroupOperation);
    SetFieldName(S->FFieldName);
    Value = S->Value;
    SumValue = S->SumValue;
    return;
  }
  TCollectionItem::Assign(Source);
}

void TDBSum::SetFieldName(const String& Value) {
  if (FFieldName == Value) return;
  FFieldName = Value;
  Changed(false);
}

void TDBSum::SetGroupOperation(TGroupOperation Value) {
  if (FGroupOperation == Value) return;
  FGroupOperation = Value;
  Changed(false);
}

// ---- TDBSumCollection --------------------------------------------------------------------------

TDBSumCollection::TDBSumCollection(TDBSumListProducer* AOwner) : TCollection(TDBSum::StaticClass()), FOwner(AOwner) {}

TPersistent* TDBSumCollection::GetOwner() { return FOwner; }

TDBSum* TDBSumCollection::GetSumByOpAndFName(TGroupOperation AGroupOperation, const String& AFieldName) const {
  for (Integer I = 0; I < GetCount(); ++I) {
    TDBSum* S = GetItem(I);
    if (S->GetGroupOperation() == AGroupOperation && AnsiSameText(S->GetFieldName(), AFieldName)) return S;
  }
  return nullptr;
}

void TDBSumCollection::Update(TCollectionItem*) {
  if (!FOwner) return;
  TComponent* Owner = FOwner->GetOwner();
  if (Owner && (Owner->GetComponentState().Contains(csLoading) || dbsumlst::Destroying(Owner))) return;
  FOwner->RecalcAll();
}

// ---- TSLBookmarkListKv -------------------------------------------------------------------------

TDataSet* TSLBookmarkListKv::GetDataSet() { return FSumListProducer->GetDataSet(); }

// ---- TDBSumListProducer ------------------------------------------------------------------------

// Tells the producer when its dataset or master dataset is freed.
class TDBSumListProducer::TWatcher : public TComponent {
 public:
  explicit TWatcher(TDBSumListProducer* AProducer) : TComponent(nullptr), FProducer(AProducer) {}

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove) FProducer->DataSetFreed(AComponent);
  }

 private:
  TDBSumListProducer* FProducer;
};

// What a hooked event calls: the producer while it is attached, else straight the handler it
// replaced, for a link left inside a chain that another component hooked on top of it.
struct TDBSumListProducer::THookLink {
  TDBSumListProducer* Producer = nullptr;
  THookEvent Event = heAfterOpen;
  TDataSetNotifyEvent Old;
};

TDBSumListProducer::TDBSumListProducer(TComponent* AOwner)
    : FOwner(AOwner),
      FSumCollection(std::make_unique<TDBSumCollection>(this)),
      FVirtualRecList(std::make_unique<TSLBookmarkListKv>(this)),
      FWatcher(std::make_unique<TWatcher>(this)) {}

TDBSumListProducer::~TDBSumListProducer() {
  // Unhook whatever the owner's state, so no hook keeps calling into freed memory.
  FActive = false;
  ResetDataSetEvents();
  Unwatch(FDataSet);
  FDataSet = nullptr;
  FWatcher.reset();
  FVirtualRecList.reset();
  FSumCollection.reset();
}

void TDBSumListProducer::Assign(TPersistent* Source) {
  if (auto* S = dynamic_cast<TDBSumListProducer*>(Source)) {
    SetActive(S->FActive);
    SetDataSet(S->FDataSet);
    SetExternalRecalc(S->FExternalRecalc);
    FSumCollection->Assign(S->FSumCollection.get());
    FSumListChanged = S->FSumListChanged;
    SetVirtualRecords(S->FVirtualRecords);
    FOnAfterRecalcAll = S->FOnAfterRecalcAll;
    FOnRecalcAll = S->FOnRecalcAll;
    return;
  }
  TPersistent::Assign(Source);
}

bool TDBSumListProducer::OwnerLoading() const {
  return FOwner && FOwner->GetComponentState().Contains(csLoading);
}

bool TDBSumListProducer::OwnerDesignIdle() const {
  return FOwner && FOwner->GetComponentState().Contains(csDesigning) && !FDesignTimeWork;
}

void TDBSumListProducer::DoSumListChanged() {
  if (!FRecalcAllSilently) DoEvent(FSumListChanged, this);
}

void TDBSumListProducer::SetActive(bool Value) {
  if (Value == FActive) return;
  if (Value)
    Activate(true);
  else
    Deactivate(true);
}

void TDBSumListProducer::Activate(bool ARecalcAll) {
  FActive = true;
  if (OwnerLoading() || OwnerDesignIdle()) return;
  SetDataSetEvents();
  if (ARecalcAll) RecalcAll();
}

void TDBSumListProducer::Deactivate(bool AClearSumValues) {
  FActive = false;
  if (OwnerLoading() || OwnerDesignIdle()) return;
  ResetDataSetEvents();
  if (AClearSumValues && !FDataSetChanging) ClearSumValues();
}

void TDBSumListProducer::ActivateIfReady() {
  if (FDataSet && FActive) Activate(true);
}

void TDBSumListProducer::Watch(TDataSet* Target) {
  if (Target) FWatcher->FreeNotification(Target);
}

void TDBSumListProducer::Unwatch(TDataSet* Target) {
  // The same component may be both the dataset and the master.
  if (!Target || !FWatcher || (Target == FDataSet && FEventsOverloaded) || Target == FMasterDataset) return;
  FWatcher->RemoveFreeNotification(Target);
}

void TDBSumListProducer::SetDataSet(TDataSet* Value) {
  if (Value == FDataSet) {
    if (Value && dbsumlst::Destroying(Value)) {
      ResetDataSetEvents();
      FDataSet = nullptr;
    }
    return;
  }
  if (OwnerLoading() || OwnerDesignIdle()) {
    TDataSet* Old = FDataSet;
    FDataSet = Value;
    Unwatch(Old);
    Watch(Value);
    return;
  }
  struct TChangingScope {
    bool& Flag;
    explicit TChangingScope(bool& F) : Flag(F) { Flag = true; }
    ~TChangingScope() { Flag = false; }
  } Scope(FDataSetChanging);
  bool WasActive = FActive;
  Deactivate(true);
  TDataSet* Old = FDataSet;
  FDataSet = Value;
  Unwatch(Old);
  Watch(Value);
  if (WasActive)
    Activate(true);
  else
    ClearSumValues();
}

void TDBSumListProducer::DataSetFreed(TComponent* AComponent) {
  if (FMasterDataset && AComponent == FMasterDataset) {
    Unhook(FMasterDataset, heMasterAfterScroll, false);
    FMasterDataset = nullptr;
  }
  if (FDataSet && AComponent == FDataSet) {
    ResetDataSetEvents();
    FDataSet = nullptr;
  }
}

void TDBSumListProducer::SetExternalRecalc(bool Value) {
  if (Value == FExternalRecalc) return;
  FExternalRecalc = Value;
  RecalcAll();
}

void TDBSumListProducer::SetVirtualRecords(bool Value) {
  if (Value == FVirtualRecords) return;
  FVirtualRecords = Value;
  if (Value) RecalcAll();
}

void TDBSumListProducer::SetSumCollection(TDBSumCollection* Value) { FSumCollection->Assign(Value); }

// ---- Hooking ----

void TDBSumListProducer::Hook(TDataSet* Target, THookEvent Event) {
  const auto& A = dbsumlst::EventAccess[Event];
  auto Link = std::make_shared<THookLink>();
  Link->Producer = this;
  Link->Event = Event;
  Link->Old = (Target->*A.Get)();
  FHooks[Event] = Link;
  (Target->*A.Set)(TDataSetNotifyEvent([Link](TDataSet* DataSet) {
    TDBSumListProducer* P = Link->Producer;
    if (!P) {
      DoEvent(Link->Old, DataSet);
      return;
    }
    switch (Link->Event) {
      case heAfterOpen: P->DataSetAfterOpen(DataSet); break;
      case heAfterPost: P->DataSetAfterPost(DataSet); break;
      case heAfterScroll: P->DataSetAfterScroll(DataSet); break;
      case heAfterDelete: P->DataSetAfterDelete(DataSet); break;
      case heAfterClose: P->DataSetAfterClose(DataSet); break;
      case heBeforePost: P->DataSetBeforePost(DataSet); break;
      case heBeforeDelete: P->DataSetBeforeDelete(DataSet); break;
      case heMasterAfterScroll: P->MasterDataSetAfterScroll(DataSet); break;
      case heCount: break;
    }
  }));
  FInstalled[Event] = (Target->*A.Get)();
}

void TDBSumListProducer::Unhook(TDataSet* Target, THookEvent Event, bool Restore) {
  std::shared_ptr<THookLink> Link = std::move(FHooks[Event]);
  TDataSetNotifyEvent Installed = std::move(FInstalled[Event]);
  FHooks[Event].reset();
  FInstalled[Event].Clear();
  if (!Link) return;
  const auto& A = dbsumlst::EventAccess[Event];
  // Someone who hooked after the producer still calls the link: it passes calls on from now.
  if (Restore && Target && (Target->*A.Get)() == Installed) (Target->*A.Set)(Link->Old);
  Link->Producer = nullptr;
}

void TDBSumListProducer::CallOld(THookEvent Event, TDataSet* DataSet) {
  if (FHooks[Event]) DoEvent(FHooks[Event]->Old, DataSet);
}

void TDBSumListProducer::SetDataSetEvents() {
  if (!FDataSet || FEventsOverloaded) return;
  FMasterDataset = nullptr;
  if (PPropInfo P = GetPropInfo(FDataSet, L"MasterSource"); P && P->PropType->Kind == tkClass)
    if (auto* Source = dynamic_cast<TDataSource*>(GetObjectProp(FDataSet, P))) FMasterDataset = Source->GetDataSet();
  for (THookEvent E : {heAfterOpen, heAfterPost, heAfterScroll, heAfterDelete, heAfterClose, heBeforePost,
                       heBeforeDelete})
    Hook(FDataSet, E);
  if (FMasterDataset) {
    Hook(FMasterDataset, heMasterAfterScroll);
    Watch(FMasterDataset);
  }
  FEventsOverloaded = true;
}

void TDBSumListProducer::ResetDataSetEvents() {
  if (!FDataSet || !FEventsOverloaded) return;
  bool DataSetAlive = !dbsumlst::Destroying(FDataSet);
  for (THookEvent E : {heAfterOpen, heAfterPost, heAfterScroll, heAfterDelete, heAfterClose, heBeforePost,
                       heBeforeDelete})
    Unhook(FDataSet, E, DataSetAlive);
  TDataSet* Master = FMasterDataset;
  if (Master) Unhook(Master, heMasterAfterScroll, !dbsumlst::Destroying(Master));
  FMasterDataset = nullptr;
  FEventsOverloaded = false;
  Unwatch(Master);
  FVirtualRecList->Clear();
  FPending = TPendingChange();
  FValuesComplete = false;
}

// ---- The hooked handlers ----

void TDBSumListProducer::DataSetAfterOpen(TDataSet* DataSet) {
  if (FActive) RecalcAll();
  CallOld(heAfterOpen, DataSet);
}

void TDBSumListProducer::DataSetAfterPost(TDataSet* DataSet) {
  // The application's own handler runs whatever the producer's state.
  CallOld(heAfterPost, DataSet);
  ChangeRecalc(TPendingChange::pcEdit);
}

void TDBSumListProducer::DataSetAfterScroll(TDataSet* DataSet) {
  CallOld(heAfterScroll, DataSet);
  if (!FActive || Changing || !FDataSet) return;
  if ((FDataSet->GetFiltered() && FDataSet->GetFilter() != Filter) || FDataSet->GetFiltered() != Filtered) RecalcAll();
}

void TDBSumListProducer::DataSetAfterDelete(TDataSet* DataSet) {
  CallOld(heAfterDelete, DataSet);
  ChangeRecalc(TPendingChange::pcDelete);
}

void TDBSumListProducer::DataSetAfterClose(TDataSet* DataSet) {
  if (FActive) {
    ClearSumValues();
    DoSumListChanged();
    Changing = false;
  }
  FVirtualRecList->Clear();
  CallOld(heAfterClose, DataSet);
}

void TDBSumListProducer::MasterDataSetAfterScroll(TDataSet* DataSet) {
  CallOld(heMasterAfterScroll, DataSet);
  if (FActive && !Changing) RecalcAll();
}

void TDBSumListProducer::DataSetBeforePost(TDataSet* DataSet) {
  CallOld(heBeforePost, DataSet);
  FPending = TPendingChange();
  if (!FActive || !IncrementalPossible()) return;
  TDataSetState State = FDataSet->GetState();
  if (State == dsInsert) {
    FPending.Kind = TPendingChange::pcInsert;
    return;
  }
  if (State != dsEdit) return;
  // A dataset may have to look its stored record up for an old value: once per field.
  std::vector<std::pair<TField*, Variant>> Read;
  std::vector<TDBSumAccumulatorKv::TValue> Before;
  for (Integer I = 0; I < FSumCollection->GetCount(); ++I) {
    TDBSum* S = FSumCollection->GetItem(I);
    if (!S->FField) {
      Before.emplace_back();
      continue;
    }
    auto It = std::find_if(Read.begin(), Read.end(), [S](const auto& R) { return R.first == S->FField; });
    if (It == Read.end()) It = Read.insert(Read.end(), {S->FField, S->FField->GetOldValue()});
    Before.push_back(TDBSumAccumulatorKv::FromVariant(S->FAcc.Kind, It->second));
  }
  FPending.Before = std::move(Before);
  FPending.Kind = TPendingChange::pcEdit;
}

void TDBSumListProducer::DataSetBeforeDelete(TDataSet* DataSet) {
  CallOld(heBeforeDelete, DataSet);
  FPending = TPendingChange();
  if (!FActive || !IncrementalPossible() || FDataSet->IsEmpty()) return;
  std::vector<TDBSumAccumulatorKv::TValue> Before;
  for (Integer I = 0; I < FSumCollection->GetCount(); ++I) {
    TDBSum* S = FSumCollection->GetItem(I);
    Before.push_back(S->FField ? TDBSumAccumulatorKv::Read(S->FAcc.Kind, S->FField) : TDBSumAccumulatorKv::TValue());
  }
  FPending.Before = std::move(Before);
  FPending.Kind = TPendingChange::pcDelete;
}

// ---- Recalculation ----

bool TDBSumListProducer::IncrementalPossible() {
  if (FFullRecalcOnly || !FValuesComplete || FExternalRecalc || FVirtualRecords || FMasterDataset || !FDataSet ||
      !FEventsOverloaded || !FDataSet->GetActive() || FDataSet->GetFiltered() || Filtered)
    return false;
  // The fields the last pass read must still be the dataset's, holding stored data.
  for (Integer I = 0; I < FSumCollection->GetCount(); ++I) {
    TDBSum* S = FSumCollection->GetItem(I);
    if (S->FFieldName.empty()) continue;
    if (!S->FField || FDataSet->FindField(S->FFieldName) != S->FField || S->FField->GetFieldKind() != fkData)
      return false;
  }
  return true;
}

void TDBSumListProducer::ChangeRecalc(TPendingChange::TKind Kind) {
  TPendingChange Pending = std::move(FPending);
  FPending = TPendingChange();
  bool Matches = Kind == TPendingChange::pcDelete
                     ? Pending.Kind == TPendingChange::pcDelete
                     : Pending.Kind == TPendingChange::pcInsert || Pending.Kind == TPendingChange::pcEdit;
  if (FActive && Matches && IncrementalPossible()) {
    // Work on copies: a change that needs a full pass leaves the items as they were.
    Integer Count = FSumCollection->GetCount();
    std::vector<TDBSumAccumulatorKv> Accs;
    Accs.reserve(Count);
    bool Done = Integer(Pending.Before.size()) == Count || Pending.Kind == TPendingChange::pcInsert;
    for (Integer I = 0; Done && I < Count; ++I) {
      TDBSum* S = FSumCollection->GetItem(I);
      TDBSumAccumulatorKv A = S->FAcc;
      TDBSumAccumulatorKv::TValue Before, After;
      if (Pending.Kind == TPendingChange::pcEdit || Pending.Kind == TPendingChange::pcDelete) Before = Pending.Before[I];
      if (Pending.Kind != TPendingChange::pcDelete && S->FField) After = TDBSumAccumulatorKv::Read(A.Kind, S->FField);
      switch (S->FGroupOperation) {
        case goSum:
        case goAvg:
          A.AddSum(After);
          Done = A.RemoveSum(Before);
          break;
        case goCount:
          if (S->FField) {
            A.NotNullCount += (After.IsNull ? 0 : 1) - (Before.IsNull ? 0 : 1);
          } else if (Pending.Kind == TPendingChange::pcInsert) {
            ++A.RecordCount;
          } else if (Pending.Kind == TPendingChange::pcDelete) {
            --A.RecordCount;
          }
          break;
        case goMin:
        case goMax:
          A.AddExtreme(After, S->FGroupOperation == goMax ? 1 : -1);
          Done = A.RemoveExtreme(Before);
          break;
      }
      Accs.push_back(A);
    }
    if (Done) {
      FOldRecNo = -1;
      DoEvent(FOnRecalcAll, this);
      for (Integer I = 0; I < Count; ++I) FSumCollection->GetItem(I)->FAcc = Accs[I];
      FinishResults();
      RememberFilter();
      DoEvent(FOnAfterRecalcAll, this);
      DoSumListChanged();
      return;
    }
  }
  RecalcAll();
}

void TDBSumListProducer::RememberFilter() {
  if (!FDataSet) return;
  Filtered = FDataSet->GetFiltered();
  Filter = FDataSet->GetFilter();
}

void TDBSumListProducer::FinishResults() {
  for (Integer I = 0; I < FSumCollection->GetCount(); ++I) {
    TDBSum* S = FSumCollection->GetItem(I);
    const TDBSumAccumulatorKv& A = S->FAcc;
    switch (S->FGroupOperation) {
      case goSum:
        if (!S->FField) break;
        S->SumValue = A.SumResult();
        break;
      case goAvg:
        if (!S->FField) break;
        S->FNotNullRecordCount = A.NotNullCount;
        S->FSumValueAsSum = A.SumResult();
        S->SumValue = A.AvgResult();
        break;
      case goCount:
        S->SumValue = S->FField ? A.NotNullCount : A.RecordCount;
        break;
      case goMin:
      case goMax:
        if (!S->FField) break;
        S->VarValue = A.ExtremeResult();
        S->SumValue = S->VarValue;
        break;
    }
  }
}

void TDBSumListProducer::ClearSumValues() {
  FValuesComplete = false;
  for (Integer I = 0; I < FSumCollection->GetCount(); ++I) {
    TDBSum* S = FSumCollection->GetItem(I);
    S->SumValue = S->FGroupOperation == goCount ? Variant(0) : Variant(Null);
    S->Value = Null;
    S->FSumValueAsSum = Null;
    S->VarValue = Null;
    S->FNotNullRecordCount = 0;
    S->FAcc.Reset(S->FAcc.Kind);
  }
  DoSumListChanged();
}

void TDBSumListProducer::RecalcAllSilently() {
  bool Old = FRecalcAllSilently;
  FRecalcAllSilently = true;
  try {
    RecalcAll();
  } catch (...) {
    FRecalcAllSilently = Old;
    throw;
  }
  FRecalcAllSilently = Old;
}

IMemTableKv* TDBSumListProducer::IntMemTable() const {
  IMemTableKv* Table = nullptr;
  if (!FDataSet || dbsumlst::Destroying(FDataSet) || !Supports(FDataSet, Table)) return nullptr;
  return Table;
}

bool TDBSumListProducer::IntMemTablePathPossible() {
  if (OwnerLoading() || !FActive || !FDataSet || !FDataSet->GetActive() || FVirtualRecords || !IntMemTable())
    return false;
  // The table aggregates stored values only.
  for (Integer I = 0; I < FSumCollection->GetCount(); ++I) {
    const String& Name = FSumCollection->GetItem(I)->FFieldName;
    if (Name.empty()) continue;
    TField* Field = FDataSet->FindField(Name);
    if (Field && Field->GetCalculated()) return false;
  }
  return true;
}

void TDBSumListProducer::RecalcAllForIntMemTable() {
  IMemTableKv* Table = IntMemTable();
  if (OwnerLoading() || !FActive || !FDataSet || !FDataSet->GetActive() || !Table) return;
  FPending = TPendingChange();
  // The accumulators stay empty: every later change asks the table again.
  FValuesComplete = false;
  Integer Count = FSumCollection->GetCount();
  for (Integer I = 0; I < Count; ++I) {
    TDBSum* S = FSumCollection->GetItem(I);
    S->FField = nullptr;
    S->FAcc.Reset(S->FAcc.Kind);
    S->FNotNullRecordCount = 0;
    S->FSumValueAsSum = Null;
    S->VarValue = Null;
    S->SumValue = S->FGroupOperation == goCount || S->FGroupOperation == goAvg ? Variant(0) : Variant(Null);
  }
  Table->FetchRecords(-1);
  DoEvent(FOnRecalcAll, this);
  for (Integer I = 0; I < Count; ++I) {
    TDBSum* S = FSumCollection->GetItem(I);
    if (S->FGroupOperation != goCount && S->FFieldName.empty()) continue;
    TAggrFunctionKv Func = dbsumlst::TableAggrFunction[S->FGroupOperation];
    TAggrResultArr Results;
    Results.fill(Null);
    Table->GetAggregatedValuesForRange(TBookmark(), TBookmark(), S->FFieldName, Results, TAggrFunctionsKv{Func});
    Variant V = dbsumlst::TableAggrResult(Results[Func]);
    // Without values: Null for sum, minimum and maximum, 0 for count and average, as the walk gives.
    if (V.IsNull()) continue;
    S->SumValue = V;
    if (S->FGroupOperation == goMin || S->FGroupOperation == goMax) S->VarValue = V;
  }
  DoEvent(FOnAfterRecalcAll, this);
  DoSumListChanged();
}

void TDBSumListProducer::RecalcAll() {
  if (IntMemTablePathPossible()) {
    RecalcAllForIntMemTable();
    RememberFilter();
    return;
  }
  if (OwnerDesignIdle() || OwnerLoading() || !FActive || !FDataSet || !FDataSet->GetActive() || !FEventsOverloaded)
    return;
  FPending = TPendingChange();
  ClearSumValues();
  FOldRecNo = -1;
  // However the pass ends, the filter it saw is remembered and the change is told.
  auto Finish = [this] {
    RememberFilter();
    Changing = false;
    DoSumListChanged();
  };
  try {
    DoEvent(FOnRecalcAll, this);
    Integer Count = FSumCollection->GetCount();
    if (!FExternalRecalc && Count > 0) {
      // Every field is found before the dataset moves.
      for (Integer I = 0; I < Count; ++I) {
        TDBSum* S = FSumCollection->GetItem(I);
        S->FField = S->FFieldName.empty() ? nullptr : FDataSet->FieldByName(S->FFieldName);
        S->FAcc.Reset(S->FField ? TDBSumAccumulatorKv::KindOf(S->FField) : TDBSumAccumulatorKv::akInt);
      }
      std::vector<TDBSum*> Items;
      for (Integer I = 0; I < Count; ++I) {
        TDBSum* S = FSumCollection->GetItem(I);
        if (S->FGroupOperation == goCount || S->FField) Items.push_back(S);
      }
      TBookmark Saved = FDataSet->IsEmpty() ? TBookmark() : FDataSet->GetBookmark();
      Integer OldActive = FDataSet->GetActiveRecord();
      FDataSet->DisableControls();
      auto RestoreWindow = [this, OldActive] {
        Integer Now = FDataSet->GetActiveRecord();
        if (Now > OldActive) {
          Integer D = FDataSet->GetBufferCount() - 1 - OldActive;
          FDataSet->MoveBy(D);
          FDataSet->MoveBy(-D);
        } else if (Now < OldActive) {
          FDataSet->MoveBy(-OldActive);
          FDataSet->MoveBy(OldActive);
        }
      };
      try {
        FVirtualRecList->Clear();
        FVirtualRecList->BeginUpdate();
        Changing = true;
        FDataSet->First();
        while (!FDataSet->Eof()) {
          for (TDBSum* S : Items) {
            TDBSumAccumulatorKv& A = S->FAcc;
            if (!S->FField) {
              ++A.RecordCount;
              continue;
            }
            TDBSumAccumulatorKv::TValue V = TDBSumAccumulatorKv::Read(A.Kind, S->FField);
            switch (S->FGroupOperation) {
              case goSum: case goAvg: A.AddSum(V); break;
              case goCount: A.NotNullCount += V.IsNull ? 0 : 1; break;
              case goMin: A.AddExtreme(V, -1); break;
              case goMax: A.AddExtreme(V, 1); break;
            }
          }
          if (FVirtualRecords) FVirtualRecList->AppendItem(FDataSet->GetBookmark());
          FDataSet->Next();
        }
        FVirtualRecList->EndUpdate();
        if (Saved && BookmarkInVisibleView(Saved))
          FDataSet->GotoBookmark(Saved);
        else
          FDataSet->First();
        FinishResults();
        RestoreWindow();
      } catch (...) {
        if (FVirtualRecList->Updating()) FVirtualRecList->EndUpdate();
        // The values read so far are no summary: they go back to cleared.
        for (Integer I = 0; I < Count; ++I) FSumCollection->GetItem(I)->FAcc.Reset(FSumCollection->GetItem(I)->FAcc.Kind);
        // The user stays on the record he was on, as after a pass that succeeds.
        try {
          if (Saved && BookmarkInVisibleView(Saved)) FDataSet->GotoBookmark(Saved);
          RestoreWindow();
        } catch (...) {
        }
        FDataSet->EnableControls();
        throw;
      }
      FDataSet->EnableControls();
      FValuesComplete = true;
      DoEvent(FOnAfterRecalcAll, this);
    } else if (!FExternalRecalc) {
      FValuesComplete = true;
      DoEvent(FOnAfterRecalcAll, this);
    }
  } catch (...) {
    Finish();
    throw;
  }
  Finish();
}

// ---- Record numbers ----

bool TDBSumListProducer::BookmarkInVisibleView(const TBookmark& Bookmark) {
  if (IMemTableKv* Table = IntMemTable()) return Table->BookmarkInVisibleView(Bookmark);
  return FDataSet && FDataSet->BookmarkValid(Bookmark);
}

Integer TDBSumListProducer::GetRecNo() {
  if (!FDataSet) return 0;
  if (FVirtualRecords && FActive) return FindVirtualRecord(FDataSet->GetBookmark()) + 1;
  return FDataSet->GetRecNo();
}

void TDBSumListProducer::SetRecNo(Integer Value) {
  if (!FDataSet) return;
  if (FVirtualRecords && FActive) {
    if (Value >= 1 && Value <= FVirtualRecList->GetCount()) FDataSet->GotoBookmark(FVirtualRecList->GetItem(Value - 1));
    return;
  }
  FDataSet->SetRecNo(Value);
}

Integer TDBSumListProducer::RecordCount() {
  if (!FDataSet) return 0;
  if (FVirtualRecords && FActive) return FVirtualRecList->GetCount();
  return FDataSet->GetRecordCount();
}

bool TDBSumListProducer::IsSequenced() {
  if (!FDataSet) return false;
  if (FDataSet->IsSequenced()) return true;
  if (FVirtualRecords && FActive) return FVirtualRecList->GetCount() > 0 || (FDataSet->Bof() && FDataSet->Eof());
  return false;
}

Integer TDBSumListProducer::FindVirtualRecord(const TBookmark& Bookmark) {
  Integer Count = FVirtualRecList->GetCount();
  if (Count == 0 || !FDataSet) return -1;
  Integer I = FOldRecNo < 0 || FOldRecNo >= Count ? 0 : FOldRecNo;
  Integer C = FDataSet->CompareBookmarks(FVirtualRecList->GetItem(I), Bookmark);
  if (C == 0) {
    FOldRecNo = I;
    return I;
  }
  Integer Step = C > 0 ? -1 : 1;
  for (I += Step; I >= 0 && I < Count; I += Step)
    if (FDataSet->CompareBookmarks(FVirtualRecList->GetItem(I), Bookmark) == 0) {
      FOldRecNo = I;
      return I;
    }
  return -1;
}
