#include "kvlib/memtable/memtabledata/Records.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "framework/SysUtils.h"
#include "kvlib/memtable/memtabledata/DataFields.h"
#include "kvlib/memtable/memtabledata/Internal.h"
#include "kvlib/memtable/memtabledata/RecordLayout.h"
#include "kvlib/memtable/memtabledata/RecordsList.h"
#include "kvlib/memtable/memtabledata/Storage.h"

static_assert(sizeof(TMemoryRecordKv) == 32, "a record's values begin right after its place word");

// ---- Update errors ------------------------------------------------------------------------------

TUpdateErrorKv::TUpdateErrorKv(std::exception_ptr AException) : FException(std::move(AException)) {
  if (!FException) return;
  try {
    std::rethrow_exception(FException);
  } catch (const Exception& E) {
    FObject = &E;
  } catch (...) {
  }
}

// ---- The memory record --------------------------------------------------------------------------

namespace {

const wchar_t* const SOldValuesNotAccessible = L"TMemoryRecordKv.GetDataValues: Old values is not accessible.";
const wchar_t* const SEditValuesNotAccessible = L"TMemoryRecordKv.GetDataValues: Edit values is not accessible.";

// Where a record's values went when laid out anew for a larger structure: the values' block and
// the size of the record's own block.
struct TOutValuesKv {
  Byte* Block;
  Cardinal RecordBytes;
};

}  // namespace

// The changes of records without a list (made apart, never listed): rare, and kept here.
struct TMemoryRecordKv::TLonelyChanges {
  std::mutex Lock;
  std::unordered_map<const TMemoryRecordKv*, std::unique_ptr<TChanges>> Map;
};

TMemoryRecordKv::TLonelyChanges& TMemoryRecordKv::LonelyChanges() {
  static TLonelyChanges* L = new TLonelyChanges();  // never freed: records may outlive static destruction
  return *L;
}

TMemoryRecordKv::TMemoryRecordKv() = default;

TMemoryRecordKv::~TMemoryRecordKv() {
  if (HasChanges()) {
    if (TRecordsListKv* L = GetRecordsList()) {
      L->FChanges.erase(this);
    } else {
      TLonelyChanges& C = LonelyChanges();
      std::lock_guard<std::mutex> Guard(C.Lock);
      C.Map.erase(this);
    }
  }
  if (FLayout) {
    Current().Done();
    if (ValuesOut()) {
      TOutValuesKv Out;
      std::memcpy(&Out, InlineValues(), sizeof(Out));
      MemTableFreeKv(Out.Block, 4 + FLayout->Size);
    }
  }
}

void* TMemoryRecordKv::operator new(size_t Size) { return MemTableAllocKv(Size); }

void TMemoryRecordKv::operator delete(TMemoryRecordKv* P, std::destroying_delete_t) noexcept {
  size_t Bytes = BlockSize(P->FLayout);
  if (P->ValuesOut()) {
    TOutValuesKv Out;
    std::memcpy(&Out, P->InlineValues(), sizeof(Out));
    Bytes = Out.RecordBytes;
  }
  P->~TMemoryRecordKv();
  MemTableFreeKv(P, Bytes);
}

size_t TMemoryRecordKv::BlockSize(const TRecordLayoutKv* Layout) {
  if (!Layout) return sizeof(TMemoryRecordKv);
  // Room enough for the address of values laid out anew elsewhere.
  return std::max(ValuesOffset + std::max<size_t>(Layout->Size, sizeof(TOutValuesKv)), sizeof(TMemoryRecordKv));
}

TMemoryRecordKv* TMemoryRecordKv::Make(TRecordLayoutKv* Layout) {
  void* Block = MemTableAllocKv(BlockSize(Layout));
  auto* Rec = ::new (Block) TMemoryRecordKv();
  Rec->FLayout = Layout;
  Rec->Current().Init();
  return Rec;
}

Byte* TMemoryRecordKv::ValuesData() const {
  if (!ValuesOut()) return InlineValues();
  TOutValuesKv Out;
  std::memcpy(&Out, InlineValues(), sizeof(Out));
  return Out.Block + 4;
}

TPackedValuesKv TMemoryRecordKv::Current() const { return {FLayout, ValuesData()}; }

TRecordsListKv* TMemoryRecordKv::GetRecordsList() const { return FLayout ? FLayout->List : nullptr; }

TMTDataStructKv* TMemoryRecordKv::GetDataStruct() const { return FLayout ? FLayout->Struct : nullptr; }

Integer TMemoryRecordKv::GetIndex() const { return GetAttached() ? FLayout->List->PositionOf(this) : -1; }

Integer TMemoryRecordKv::FieldCount() const {
  TMTDataStructKv* S = GetDataStruct();
  return S ? S->GetCount() : 0;
}

void TMemoryRecordKv::CheckFieldIndex(Integer FieldIndex) const {
  if (FieldIndex < 0 || FieldIndex >= FieldCount()) TList::Error(SListIndexError, FieldIndex);
}

void TMemoryRecordKv::CheckLayout() {
  if (!FLayout || FLayout->Current()) return;
  TRecordsListKv* L = FLayout->List;
  if (GetAttached()) L->RelayoutAll();
  else Relayout(L->CurrentLayout());
}

// ---- The changes kept beside the record

TMemoryRecordKv::TChanges* TMemoryRecordKv::FindChanges() const {
  if (!HasChanges()) return nullptr;
  if (TRecordsListKv* L = GetRecordsList()) return L->FChanges.find(this)->second.get();
  TLonelyChanges& C = LonelyChanges();
  std::lock_guard<std::mutex> Guard(C.Lock);
  return C.Map.find(this)->second.get();
}

TMemoryRecordKv::TChanges& TMemoryRecordKv::Changes() {
  if (TChanges* C = FindChanges()) return *C;
  auto Made = std::make_unique<TChanges>();
  TChanges* Result = Made.get();
  if (TRecordsListKv* L = GetRecordsList()) {
    L->FChanges.emplace(this, std::move(Made));
  } else {
    TLonelyChanges& C = LonelyChanges();
    std::lock_guard<std::mutex> Guard(C.Lock);
    C.Map.emplace(this, std::move(Made));
  }
  SetBits(HasChangesBit, 1, 1);
  return *Result;
}

void TMemoryRecordKv::ReleaseChanges() {
  TChanges* C = FindChanges();
  if (!C || !C->Empty()) return;
  if (TRecordsListKv* L = GetRecordsList()) {
    L->FChanges.erase(this);
  } else {
    TLonelyChanges& Lonely = LonelyChanges();
    std::lock_guard<std::mutex> Guard(Lonely.Lock);
    Lonely.Map.erase(this);
  }
  SetBits(HasChangesBit, 1, 0);
}

bool TMemoryRecordKv::HasTmpOld() const {
  TChanges* C = FindChanges();
  return C && C->TmpOld;
}

bool TMemoryRecordKv::HasOldData() const {
  TChanges* C = FindChanges();
  return C && C->Old && FLayout && FLayout->Count() > 0;
}

const Variant* TMemoryRecordKv::OddValue(TValueSet Set, Integer Field) const {
  if (TChanges* C = FindChanges())
    for (const TChanges::TOdd& O : C->Odd)
      if (O.Set == Set && O.Field == Field) return &O.Value;
  return nullptr;
}

void TMemoryRecordKv::DropOdd(TValueSet Set, Integer Field) {
  TChanges* C = FindChanges();
  if (!C) return;
  auto& Odd = C->Odd;
  Odd.erase(std::remove_if(Odd.begin(), Odd.end(), [&](const TChanges::TOdd& O) { return O.Set == Set && O.Field == Field; }),
            Odd.end());
  ReleaseChanges();
}

void TMemoryRecordKv::DropOddSet(TValueSet Set) {
  TChanges* C = FindChanges();
  if (!C) return;
  auto& Odd = C->Odd;
  Odd.erase(std::remove_if(Odd.begin(), Odd.end(), [&](const TChanges::TOdd& O) { return O.Set == Set; }), Odd.end());
}

TMTValueRefKv TMemoryRecordKv::RefIn(const TPackedValuesKv& Values, TValueSet Set, Integer Field) const {
  if (Values.State(Field) == pstOddKv) return Values.Ref(Field, OddValue(Set, Field));
  return Values.Ref(Field);
}

void TMemoryRecordKv::StoreIn(TPackedValuesKv& Values, TValueSet Set, Integer Field, const Variant& Value) {
  bool WasOdd = Values.State(Field) == pstOddKv;
  if (Values.Put(Field, Value)) {
    if (WasOdd) DropOdd(Set, Field);
    return;
  }
  // A value of another type than the field's is kept as it is, beside the record.
  TChanges& C = Changes();
  if (WasOdd) {
    for (TChanges::TOdd& O : C.Odd)
      if (O.Set == Set && O.Field == Field) O.Value = Value;
  } else {
    C.Odd.push_back({Set, Field, Value});
  }
  Values.MarkOdd(Field);
}

void TMemoryRecordKv::CopySet(TPackedValuesKv& To, TValueSet ToSet, const TPackedValuesKv& From, TValueSet FromSet) {
  To.CopyFrom(From);
  TChanges* C = FindChanges();
  if (!C) return;
  DropOddSet(ToSet);
  std::vector<TChanges::TOdd> Copied;
  for (const TChanges::TOdd& O : C->Odd)
    if (O.Set == FromSet) Copied.push_back({ToSet, O.Field, O.Value});
  C->Odd.insert(C->Odd.end(), Copied.begin(), Copied.end());
  ReleaseChanges();
}

void TMemoryRecordKv::TakeTmpOld() {
  TPackedValuesKv Cur = Current();
  TValuesCopyPtrKv Copy(TValuesCopyKv::Make(FLayout, nullptr));
  TPackedValuesKv To = Copy->Values();
  TChanges& C = Changes();
  C.TmpOld = std::move(Copy);
  CopySet(To, vsTmpOld, Cur, vsCurrent);
}

void TMemoryRecordKv::DropTmpOld() {
  TChanges* C = FindChanges();
  if (!C || !C->TmpOld) return;
  C->TmpOld.reset();
  DropOddSet(vsTmpOld);
  ReleaseChanges();
}

void TMemoryRecordKv::TakeRefreshOld() {
  TPackedValuesKv Cur = Current();
  TValuesCopyPtrKv Copy(TValuesCopyKv::Make(FLayout, nullptr));
  TPackedValuesKv To = Copy->Values();
  TChanges& C = Changes();
  C.RefreshOld = std::move(Copy);
  CopySet(To, vsRefreshOld, Cur, vsCurrent);
}

void TMemoryRecordKv::DropRefreshOld() {
  TChanges* C = FindChanges();
  if (!C || !C->RefreshOld) return;
  C->RefreshOld.reset();
  DropOddSet(vsRefreshOld);
  ReleaseChanges();
}

void TMemoryRecordKv::SetOldFromTmpOld() {
  TChanges& C = Changes();
  if (!C.TmpOld) return;
  TPackedValuesKv From = C.TmpOld->Values();
  TValuesCopyPtrKv Copy(TValuesCopyKv::Make(FLayout, nullptr));
  TPackedValuesKv To = Copy->Values();
  C.Old = std::move(Copy);
  CopySet(To, vsOld, From, vsTmpOld);
}

void TMemoryRecordKv::ClearOldData() {
  TChanges* C = FindChanges();
  if (!C || !C->Old) return;
  C->Old.reset();
  DropOddSet(vsOld);
  ReleaseChanges();
}

TRecDataValues TMemoryRecordKv::GetOldData() const {
  TRecDataValues Result;
  if (!HasOldData()) return Result;
  TPackedValuesKv Old = FindChanges()->Old->Values();
  Result.reserve(size_t(FLayout->Count()));
  for (Integer I = 0; I < FLayout->Count(); ++I) Result.push_back(RefIn(Old, vsOld, I).ToVariant());
  return Result;
}

TUpdateErrorKv* TMemoryRecordKv::GetUpdateError() const {
  TChanges* C = FindChanges();
  return C ? C->UpdateError.get() : nullptr;
}

void TMemoryRecordKv::SetUpdateError(TUpdateErrorKv* Value) {
  if (Value) {
    std::unique_ptr<TUpdateErrorKv> Owned(Value);
    Changes().UpdateError = std::move(Owned);
  } else if (TChanges* C = FindChanges()) {
    C->UpdateError.reset();
    ReleaseChanges();
  }
}

Integer TMemoryRecordKv::GetUpdateIndex() const {
  TChanges* C = FindChanges();
  return C ? C->UpdateIndex : -1;
}

void TMemoryRecordKv::SetUpdateIndex(Integer Value) {
  if (Value >= 0) {
    Changes().UpdateIndex = Value;
  } else if (TChanges* C = FindChanges()) {
    C->UpdateIndex = -1;
    ReleaseChanges();
  }
}

// ---- Values

TPackedValuesKv TMemoryRecordKv::ValuesFor(TDataValueVersionKv DataValueVersion, TValueSet& Set) {
  TChanges* C = FindChanges();
  auto Use = [&](const TValuesCopyPtrKv& Copy, TValueSet S) {
    Set = S;
    return Copy->Values();
  };
  switch (DataValueVersion) {
    case dvvOldValueKv:
      if (!HasOldData()) throw Exception(SOldValuesNotAccessible);
      return Use(C->Old, vsOld);
    case dvvCurValueKv:
      if (C && C->TmpOld) return Use(C->TmpOld, vsTmpOld);
      break;
    case dvvEditValueKv:
      if (!C || !C->TmpOld) throw Exception(SEditValuesNotAccessible);
      break;
    case dvvOldestValue:
      if (HasOldData()) return Use(C->Old, vsOld);
      if (C && C->TmpOld) return Use(C->TmpOld, vsTmpOld);
      break;
    case dvvRefreshValue:
      if (HasOldData()) return Use(C->Old, vsOld);
      break;
    case dvvValueKv:
    default:
      break;
  }
  Set = vsCurrent;
  return Current();
}

TPackedValuesKv TMemoryRecordKv::IndexValues(TValueSet& Set) {
  CheckLayout();
  if (TChanges* C = FindChanges()) {
    if (C->RefreshOld) {
      Set = vsRefreshOld;
      return C->RefreshOld->Values();
    }
    if (C->TmpOld) {
      Set = vsTmpOld;
      return C->TmpOld->Values();
    }
  }
  Set = vsCurrent;
  return Current();
}

TMTValueRefKv TMemoryRecordKv::GetValueRef(Integer FieldIndex, TDataValueVersionKv DataValueVersion) {
  CheckFieldIndex(FieldIndex);
  CheckLayout();
  TValueSet Set;
  TPackedValuesKv V = ValuesFor(DataValueVersion, Set);
  return RefIn(V, Set, FieldIndex);
}

TVariantRelationship TMemoryRecordKv::CompareDataValue(Integer FieldIndex, const TMTValueRefKv& Value,
                                                        TDataValueVersionKv DataValueVersion) {
  return CompareValueRefsKv(GetValueRef(FieldIndex, DataValueVersion), Value);
}

Variant TMemoryRecordKv::GetDataValue(Integer FieldIndex, TDataValueVersionKv DataValueVersion) {
  return GetValueRef(FieldIndex, DataValueVersion).ToVariant();
}

void TMemoryRecordKv::SetDataValue(Integer FieldIndex, TDataValueVersionKv DataValueVersion, const Variant& Value) {
  CheckFieldIndex(FieldIndex);
  CheckLayout();
  TValueSet Set;
  TPackedValuesKv V = ValuesFor(DataValueVersion, Set);
  TMTDataFieldKv* F = GetDataStruct()->GetDataField(FieldIndex);
  Variant Converted;
  const Variant* Stored = &Value;
  // A value of the field's own type is stored as it is, as the conversion would store it.
  if (Value.Type() != F->VarDataType()) {
    try {
      CastDataValue(Converted, Value, F->VarDataType());
    } catch (const EVariantError& E) {
      // The field's name tells which of the record's values was refused; nothing is stored.
      DatabaseError(Format(SFieldValueError, {F->GetFieldName()}) + L": " + E.Message());
    } catch (const EConvertError& E) {
      DatabaseError(Format(SFieldValueError, {F->GetFieldName()}) + L": " + E.Message());
    }
    Stored = &Converted;
  }
  // A listed record's posted values change behind the listeners' backs: the indexes follow.
  if (Set == vsCurrent && GetAttached() && EditState() == resBrowseKv && FLayout->List->KeysField(FieldIndex)) {
    FLayout->List->Rekey(this, [&] { StoreIn(V, Set, FieldIndex, *Stored); });
    return;
  }
  StoreIn(V, Set, FieldIndex, *Stored);
}

Variant TMemoryRecordKv::GetDataValues(const String& FieldNames, TDataValueVersionKv DataValueVersion) {
  if (DataValueVersion == dvvOldValueKv && !HasOldData()) throw Exception(SOldValuesNotAccessible);
  TMTDataStructKv* S = GetDataStruct();
  if (Pos(L";", FieldNames) > 0) {
    TList List;
    S->GetFieldList(&List, FieldNames);
    Variant R = VarArrayCreate({0, List.GetCount() - 1}, varVariant);
    for (Integer I = 0; I < List.GetCount(); ++I)
      R[I] = GetDataValue(static_cast<TMTDataFieldKv*>(List[I])->GetIndex(), DataValueVersion);
    return R;
  }
  Integer I = S ? S->FieldIndex(FieldNames) : -1;
  if (I < 0) DatabaseErrorFmt(SFieldNotFound, {FieldNames});
  return GetDataValue(I, DataValueVersion);
}

void TMemoryRecordKv::SetDataValues(const String& FieldNames, TDataValueVersionKv DataValueVersion,
                                    const Variant& VarValue) {
  TMTDataStructKv* S = GetDataStruct();
  if (Pos(L";", FieldNames) > 0) {
    TList List;
    S->GetFieldList(&List, FieldNames);
    for (Integer I = 0; I < List.GetCount(); ++I)
      SetDataValue(static_cast<TMTDataFieldKv*>(List[I])->GetIndex(), DataValueVersion, VarValue[I]);
    return;
  }
  Integer I = S ? S->FieldIndex(FieldNames) : -1;
  if (I < 0) DatabaseErrorFmt(SFieldNotFound, {FieldNames});
  SetDataValue(I, DataValueVersion, VarValue);
}

Variant TMemoryRecordKv::GetDataIndexValues(const TIntArray& FieldIndexes, TDataValueVersionKv DataValueVersion) {
  if (FieldIndexes.empty()) return Variant(String());
  if (FieldIndexes.size() == 1) return GetDataValue(FieldIndexes[0], DataValueVersion);
  Variant R = VarArrayCreate({0, Integer(FieldIndexes.size()) - 1}, varVariant);
  for (size_t I = 0; I < FieldIndexes.size(); ++I) R[Integer(I)] = GetDataValue(FieldIndexes[I], DataValueVersion);
  return R;
}

void TMemoryRecordKv::SetDataIndexValues(const TIntArray& FieldIndexes, TDataValueVersionKv DataValueVersion,
                                         const Variant& VarValue) {
  if (FieldIndexes.empty()) return;
  if (FieldIndexes.size() == 1) {
    SetDataValue(FieldIndexes[0], DataValueVersion, VarValue);
    return;
  }
  for (size_t I = 0; I < FieldIndexes.size(); ++I) SetDataValue(FieldIndexes[I], DataValueVersion, VarValue[Integer(I)]);
}

TRecDataValues TMemoryRecordKv::GetCurrentValues() {
  CheckLayout();
  TRecDataValues Result;
  if (!FLayout) return Result;
  TPackedValuesKv Cur = Current();
  Result.reserve(size_t(FLayout->Count()));
  for (Integer I = 0; I < FLayout->Count(); ++I) Result.push_back(RefIn(Cur, vsCurrent, I).ToVariant());
  return Result;
}

void TMemoryRecordKv::SetCurrentValues(const TRecDataValues& Values) {
  CheckLayout();
  TPackedValuesKv Cur = Current();
  for (Integer I = 0; I < FLayout->Count() && size_t(I) < Values.size(); ++I) StoreIn(Cur, vsCurrent, I, Values[size_t(I)]);
}

void TMemoryRecordKv::SetOldValues(const TRecDataValues& Values) {
  CheckLayout();
  TChanges& C = Changes();
  if (!C.Old) C.Old.reset(TValuesCopyKv::Make(FLayout, nullptr));
  TPackedValuesKv Old = C.Old->Values();
  for (Integer I = 0; I < FLayout->Count() && size_t(I) < Values.size(); ++I) StoreIn(Old, vsOld, I, Values[size_t(I)]);
}

void TMemoryRecordKv::Relayout(TRecordLayoutKv* To) {
  const TRecordLayoutKv* From = FLayout;
  if (To == From || !From) return;
  // Each field of the new layout takes the value of the field with its identity, converted.
  std::vector<Integer> Source(To->Fields.size(), -1);
  for (size_t I = 0; I < To->Fields.size(); ++I)
    for (size_t J = 0; J < From->Fields.size(); ++J)
      if (From->Fields[J].GUID == To->Fields[I].GUID) {
        Source[I] = Integer(J);
        break;
      }
  auto Move = [&](const TPackedValuesKv& Old, TValueSet Set, TPackedValuesKv New) {
    for (size_t I = 0; I < To->Fields.size(); ++I) {
      if (Source[I] < 0) continue;
      TMTValueRefKv R = RefIn(Old, Set, Source[I]);
      if (R.IsNull()) continue;
      Variant V = R.ToVariant();
      TVarType T = To->Fields[I].VarType;
      if (V.Type() != T && T != varVariant) V = MTConvertOrNull(V, T);
      if (!New.Put(Integer(I), V)) New.PutNull(Integer(I));
    }
  };
  TValuesCopyPtrKv NewCurrent(TValuesCopyKv::Make(To, nullptr));
  Move(Current(), vsCurrent, NewCurrent->Values());
  TChanges* C = FindChanges();
  TValuesCopyPtrKv Copies[3];
  TValueSet Sets[3] = {vsTmpOld, vsOld, vsRefreshOld};
  if (C) {
    TValuesCopyPtrKv* Have[3] = {&C->TmpOld, &C->Old, &C->RefreshOld};
    for (Integer K = 0; K < 3; ++K)
      if (*Have[K]) {
        Copies[K].reset(TValuesCopyKv::Make(To, nullptr));
        Move((*Have[K])->Values(), Sets[K], Copies[K]->Values());
      }
  }
  // Everything is made: now the record changes over, which cannot fail.
  if (C) {
    C->TmpOld = std::move(Copies[0]);
    C->Old = std::move(Copies[1]);
    C->RefreshOld = std::move(Copies[2]);
    C->Odd.clear();  // values of other types came over converted
  }
  size_t RecordBytes = BlockSize(From);
  if (ValuesOut()) {
    TOutValuesKv Out;
    std::memcpy(&Out, InlineValues(), sizeof(Out));
    RecordBytes = Out.RecordBytes;
  }
  TPackedValuesKv Old = Current();
  Byte* OldBlock = ValuesOut() ? Old.Data() - 4 : nullptr;
  if (!ValuesOut() && To->Size == From->Size) {
    Old.Done();
    FLayout = To;
  } else {
    auto* Block = static_cast<Byte*>(MemTableAllocKv(4 + To->Size));
    Old.Done();
    if (OldBlock) MemTableFreeKv(OldBlock, 4 + From->Size);
    TOutValuesKv Out{Block, Cardinal(RecordBytes)};
    std::memcpy(InlineValues(), &Out, sizeof(Out));
    SetBits(ValuesOutBit, 1, 1);
    FLayout = To;
  }
  TPackedValuesKv New = Current();
  New.Init();
  New.CopyFrom(NewCurrent->Values());
  ReleaseChanges();
}

// ---- The edit protocol

void TMemoryRecordKv::Edit() {
  if (EditState() != resBrowseKv) return;
  CheckLayout();
  TakeTmpOld();
  SetEditState(resEditKv);
  SetEditChanged(false);
}

void TMemoryRecordKv::EditForRefresh() {
  if (EditState() == resEditKv || EditState() == resInsertKv)
    throw Exception(L"procedure TMemoryRecordKv.EditForRefresh: The MemoryRecord is in resEditKv state.");
  // The indexes keep the record's key from before the refresh to find its entry by.
  if (GetAttached() && FLayout->List->HasActiveIndexes()) {
    CheckLayout();
    TakeRefreshOld();
  }
  SetEditState(resEditForRefresh);
  SetEditChanged(false);
}

void TMemoryRecordKv::Post() {
  switch (EditState()) {
    case resBrowseKv:
      DatabaseError(SNotEditing);
    case resInsertKv:
      FLayout->List->AddRecord(this);
      return;
    case resEditKv: {
      TRecordsListKv* L = FLayout->List;
      L->Notify(this, GetIndex(), rlnRecChangingKv);
      if (L->GetCachedUpdates()) {
        if (GetUpdateStatus() == usUnmodified) SetUpdateStatus(usModified);
        if (GetUpdateIndex() < 0) L->TakeDeltaSlot(this);
        if (GetUpdateStatus() == usModified && !HasOldData()) SetOldFromTmpOld();
      } else if (L->HasApplier()) {
        L->ApplyImmediately(this, TRecordsListKv::akModify);
      }
      DropTmpOld();
      SetEditState(resBrowseKv);
      L->Notify(this, GetIndex(), rlnRecChangedKv);
      return;
    }
    case resEditForRefresh: {
      TRecordsListKv* L = FLayout->List;
      SetEditState(resBrowseKv);
      TMTScopeExitKv Drop([this] { DropRefreshOld(); });
      L->Notify(this, GetIndex(), rlnRecChangedKv);
      return;
    }
  }
}

void TMemoryRecordKv::Cancel() {
  switch (EditState()) {
    case resBrowseKv:
      DatabaseError(SNotEditing);
    case resInsertKv:
      delete this;
      return;
    case resEditKv:
      if (TChanges* C = FindChanges(); C && C->TmpOld) {
        TPackedValuesKv Cur = Current();
        CopySet(Cur, vsCurrent, C->TmpOld->Values(), vsTmpOld);
      }
      DropTmpOld();
      SetEditState(resBrowseKv);
      return;
    case resEditForRefresh:
      // No pre-edit copy exists: the values written so far stay, and the indexes follow them.
      SetEditState(resBrowseKv);
      if (GetAttached() && FindChanges() && FindChanges()->RefreshOld) {
        TMTScopeExitKv Drop([this] { DropRefreshOld(); });
        FLayout->List->ReplaceInIndexes(this);
      }
      return;
  }
}

void TMemoryRecordKv::MergeChangesInList(bool Batch) {
  if (GetUpdateStatus() == usUnmodified) return;
  TRecordsListKv* L = GetRecordsList();
  if (GetUpdateStatus() == usDeleted) {
    if (Batch) L->PersistRemoveRecordInBatch(this);
    else L->PersistRemoveRecord(GetIndex());
  }
  SetUpdateStatus(usUnmodified);
  if (L) L->EmptyDeltaSlot(this);
  if (TChanges* C = FindChanges()) {
    C->UpdateError.reset();
    ClearOldData();
    ReleaseChanges();
  }
}

void TMemoryRecordKv::MergeChanges() { MergeChangesInList(false); }

void TMemoryRecordKv::RevertRecord() {
  if (GetUpdateStatus() == usModified || GetUpdateStatus() == usDeleted) {
    TRecordsListKv* L = FLayout->List;
    // The values come back before the listeners are asked, as with a posted edit, so a unique
    // index sees the key the record returns to and can refuse it.
    if (HasOldData()) {
      L->ChangeValues(this, GetIndex(), [this] {
        TPackedValuesKv Cur = Current();
        CopySet(Cur, vsCurrent, FindChanges()->Old->Values(), vsOld);
      });
      ClearOldData();
    } else {
      L->ChangeValues(this, GetIndex(), [] {});
    }
    SetUpdateStatus(usUnmodified);
    L->Notify(this, GetIndex(), rlnRecChangedKv);
  }
  SetUpdateError(nullptr);
}

void TMemoryRecordKv::RefreshRecord(TMemoryRecordKv* Rec) {
  TRecDataValues Values = Rec->GetCurrentValues();
  if (GetUpdateStatus() == usModified) {
    SetOldValues(Values);
    return;
  }
  if (GetAttached() && EditState() == resBrowseKv && !HasTmpOld() && FLayout->List->HasActiveIndexes())
    FLayout->List->Rekey(this, [&] { SetCurrentValues(Values); });
  else
    SetCurrentValues(Values);
}

void TMemoryRecordKv::UpdateCalculatedFields() {
  TRecordsListKv* L = GetRecordsList();
  if (L && L->GetMemTableData()) L->GetMemTableData()->CalcRecordFields(this);
}

void TMemoryRecordKv::WriteRecordData(TWriter* Writer) {
  TMTDataStructKv* S = GetDataStruct();
  Writer->WriteListBegin();
  for (Integer I = 0; S && I < S->GetCount(); ++I) S->GetDataField(I)->WriteDataToWriter(GetDataValue(I, dvvValueKv), Writer);
  Writer->WriteListEnd();
}

void TMemoryRecordKv::ReadRecordData(TReader* Reader) {
  TMTDataStructKv* S = GetDataStruct();
  CheckLayout();
  Reader->ReadListBegin();
  for (Integer I = 0; S && I < S->GetCount(); ++I) {
    Variant V;
    S->GetDataField(I)->ReadDataFromReader(V, Reader);
    TPackedValuesKv Cur = Current();
    StoreIn(Cur, vsCurrent, I, V);
  }
  Reader->ReadListEnd();
}
