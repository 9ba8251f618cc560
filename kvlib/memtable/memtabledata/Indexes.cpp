#include "kvlib/memtable/memtabledata/Indexes.h"

#include <algorithm>
#include <cstring>

#include "framework/SysUtils.h"
#include "kvlib/foundation/DBUtilsKv.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/memtable/memtabledata/Collation.h"
#include "kvlib/memtable/memtabledata/DataFields.h"
#include "kvlib/memtable/memtabledata/Internal.h"
#include "kvlib/memtable/memtabledata/RecordLayout.h"

namespace {

const wchar_t* const SIndexNotComparable = L"TMTIndexKv.FindKeyValueIndex: values is not comparable.";

// Keys are read into a few parts on the stack.
constexpr size_t IndexInlineParts = 8;

// Runs a rebuild leaves: half the most a run holds, so the first changes split none.
constexpr size_t IndexBuiltRun = 128;

// An order-keeping number for a value of one of the kinds read by value; false for the others.
bool IndexPrefixOf(const TMTValueRefKv& V, bool Keyed, UInt64& Prefix, bool& Whole) {
  auto Flip = [](Int64 X) { return UInt64(X) ^ (UInt64(1) << 63); };
  Whole = true;
  switch (V.Kind) {
    case mvkIntegerKv: case mvkCurrencyKv:
      Prefix = Flip(V.Int);
      return true;
    case mvkFloatKv: case mvkDateKv: {
      if (V.Float != V.Float) return false;  // NaN compares with nothing
      Double D = V.Float == 0 ? 0.0 : V.Float;
      UInt64 Bits;
      std::memcpy(&Bits, &D, sizeof(Bits));
      Prefix = Bits >> 63 ? ~Bits : Bits | (UInt64(1) << 63);
      return true;
    }
    case mvkBooleanKv:
      Prefix = V.Bool ? 1 : 0;
      return true;
    case mvkTextKv:
      if (!Keyed) return false;
      Prefix = TurkishSortPrefixKv(V.Text, size_t(V.Length));
      Whole = false;
      return true;
    default:
      return false;
  }
}


}  // namespace

EUniqueKeyViolationKv::EUniqueKeyViolationKv(const String& AFieldNames, const Variant& AValue)
    : EDatabaseError(L"Unique key violation \r\n FieldNames: " + AFieldNames + L"\r\n Value: \"" +
                     (VarIsArray(AValue) ? VarArrayToStrKv(AValue) : VarToStr(AValue)) + L"\""),
      FieldNames(AFieldNames),
      Value(AValue) {}

TMTIndexKv::TMTIndexKv(TCollection* Collection) : TCollectionItem(Collection) {}

TMTIndexKv* TMTIndexKv::CreateApart(TRecordsListKv* ARecordsList) {
  auto* I = new TMTIndexKv(nullptr);
  I->FRecordsList = ARecordsList;
  return I;
}

TMTIndexKv::~TMTIndexKv() = default;

TRecordsListKv* TMTIndexKv::RecordsList() const {
  if (FRecordsList) return FRecordsList;
  auto* C = dynamic_cast<TMTIndexesKv*>(GetCollection());
  return C ? C->GetRecList() : nullptr;
}

void TMTIndexKv::SetActive(bool Value) {
  if (FActive == Value) return;
  FActive = Value;
  if (Value) RebuildIndex();
  else ClearIndex();
}

void TMTIndexKv::SetFields(const String& Value) {
  if (FFields == Value) return;
  FFields = Value;
  RebuildIndex();
}

void TMTIndexKv::SetPrimary(bool Value) {
  if (FPrimary == Value) return;
  FPrimary = Value;
  RebuildIndex();
}

void TMTIndexKv::SetUnique(bool Value) {
  if (FUnique == Value) return;
  FUnique = Value;
  RebuildIndex();
}

void TMTIndexKv::ClearIndex() {
  FRuns.clear();
  FRuns.shrink_to_fit();
  FRunSums.clear();
  FFences.clear();
  FCount = 0;
  FStale = false;
  Changed();
}

void TMTIndexKv::Sync() {
  if (FStale) RebuildIndex();
}

// ---- Keys ---------------------------------------------------------------------------------------

const TIntArray& TMTIndexKv::KeyFields(const TMTDataStructKv* S) {
  if (S == FKeyStruct && S->GetLayoutVersion() == FKeyLayout && FKeyFieldNames == FFields) return FKeyFields;
  // Resolved once per layout: names are looked up the way the record looks them up, so an
  // unknown name raises the same error.
  TIntArray Fields;
  if (Pos(L";", FFields) > 0) {
    TList List;
    const_cast<TMTDataStructKv*>(S)->GetFieldList(&List, FFields);
    for (Integer I = 0; I < List.GetCount(); ++I) Fields.push_back(static_cast<TMTDataFieldKv*>(List[I])->GetIndex());
  } else {
    Integer I = S->FieldIndex(FFields);
    if (I < 0) DatabaseErrorFmt(SFieldNotFound, {FFields});
    Fields.push_back(I);
  }
  FKeyFields = std::move(Fields);
  FKeyStruct = S;
  FKeyLayout = S->GetLayoutVersion();
  FKeyFieldNames = FFields;
  return FKeyFields;
}

bool TMTIndexKv::UsesField(Integer Field) {
  if (!IsMaintained()) return false;
  TRecordsListKv* L = RecordsList();
  const TMTDataStructKv* S = L ? L->GetDataStruct() : nullptr;
  if (!S) return false;
  try {
    const TIntArray& F = KeyFields(S);
    return std::find(F.begin(), F.end(), Field) != F.end();
  } catch (const Exception&) {
    return false;  // an index on no field of the structure keys none
  }
}

Variant TMTIndexKv::KeyOf(TMemoryRecordKv* Rec, TDataValueVersionKv Version) {
  const TMTDataStructKv* S = Rec->GetDataStruct();
  if (!S) return Rec->GetDataValues(FFields, Version);
  const TIntArray& F = KeyFields(S);
  if (F.size() == 1) return Rec->GetDataValue(F[0], Version);
  if (Version == dvvOldValueKv && !Rec->HasOldData())
    throw Exception(L"TMemoryRecordKv.GetDataValues: Old values is not accessible.");
  Variant R = VarArrayCreate({0, Integer(F.size()) - 1}, varVariant);
  for (size_t I = 0; I < F.size(); ++I) R[Integer(I)] = Rec->GetDataValue(F[I], Version);
  return R;
}

void TMTIndexKv::ReadKey(TMemoryRecordKv* Rec, TMTValueRefKv* Parts) {
  const TIntArray& F = KeyFields(Rec->GetDataStruct());
  TMemoryRecordKv::TValueSet Set;
  TPackedValuesKv V = Rec->IndexValues(Set);
  for (size_t I = 0; I < F.size(); ++I) Parts[I] = Rec->RefIn(V, Set, F[I]);
}

Variant TMTIndexKv::EntryKeyOf(TMemoryRecordKv* Rec) {
  const TIntArray& F = KeyFields(Rec->GetDataStruct());
  TMTValueRefKv Parts[IndexInlineParts];
  std::vector<TMTValueRefKv> More(F.size() > IndexInlineParts ? F.size() : 0);
  TMTValueRefKv* P = More.empty() ? Parts : More.data();
  ReadKey(Rec, P);
  if (F.size() == 1) return P[0].ToVariant();
  Variant R = VarArrayCreate({0, Integer(F.size()) - 1}, varVariant);
  for (size_t I = 0; I < F.size(); ++I) R[Integer(I)] = P[I].ToVariant();
  return R;
}

TMTIndexKv::TProbe TMTIndexKv::MakeProbe(const Variant& Value) {
  TProbe P;
  TRecordsListKv* L = RecordsList();
  size_t N = L && L->GetDataStruct() ? KeyFields(L->GetDataStruct()).size() : 1;
  // A key of several fields is an array of as many values; anything else compares with nothing.
  if (N == 1) {
    if (VarIsArray(Value)) {
      P.Comparable = false;
      return P;
    }
    // Read in place: Value outlives the probe.
    P.Resize(1);
    P.Parts()[0] = TMTValueRefKv::Of(Value);
    P.HasPrefix = FFenced && FencePrefix(P.Parts()[0], P.Prefix);
    return P;
  } else {
    if (!VarIsArray(Value) || VarArrayDimCount(Value) != 1 ||
        VarArrayHighBound(Value, 1) - VarArrayLowBound(Value, 1) + 1 != Integer(N)) {
      P.Comparable = false;
      return P;
    }
    for (Integer I = VarArrayLowBound(Value, 1); I <= VarArrayHighBound(Value, 1); ++I) P.Held.push_back(Value[I]);
  }
  P.Resize(P.Held.size());
  for (size_t I = 0; I < P.Held.size(); ++I) P.Parts()[I] = TMTValueRefKv::Of(P.Held[I]);
  return P;
}

TVariantRelationship TMTIndexKv::ComparePart(const TMTValueRefKv& A, const TMTValueRefKv& B) const {
  if (FKeyed && A.Kind == mvkTextKv && B.Kind == mvkTextKv) {
    Integer C = TurkishCompareKv(A.Text, A.Length, B.Text, B.Length);
    return C < 0 ? vrLessThan : C > 0 ? vrGreaterThan : vrEqual;
  }
  return CompareValueRefsKv(A, B);
}

TVariantRelationship TMTIndexKv::CompareEntry(TMemoryRecordKv* Rec, const TProbe& Key) {
  if (!Key.Comparable) return vrNotEqual;
  const TProbe* Own = Rec == FOverride ? FOverrideKey : nullptr;
  TMTValueRefKv Parts[IndexInlineParts];
  std::vector<TMTValueRefKv> More;
  const TMTValueRefKv* P = Parts;
  size_t N = Key.Count;
  if (Own) {
    P = Own->Parts();
  } else {
    if (N > IndexInlineParts) {
      More.resize(N);
      P = More.data();
    }
    ReadKey(Rec, const_cast<TMTValueRefKv*>(P));
  }
  for (size_t I = 0; I < N; ++I) {
    TVariantRelationship R = ComparePart(P[I], Key.Parts()[I]);
    if (R != vrEqual) return R;
  }
  return vrEqual;
}

TMTIndexKv::TProbe TMTIndexKv::ProbeOfRecord(TMemoryRecordKv* Rec) {
  TProbe P;
  P.Resize(KeyFields(Rec->GetDataStruct()).size());
  ReadKey(Rec, P.Parts());
  P.HasPrefix = FFenced && P.Count == 1 && FencePrefix(P.Parts()[0], P.Prefix);
  return P;
}

TVariantRelationship TMTIndexKv::CompareRecordKeys(TMemoryRecordKv* A, TMemoryRecordKv* B) {
  size_t N = KeyFields(A->GetDataStruct()).size();
  if (N > IndexInlineParts) return CompareEntry(A, ProbeOfRecord(B));
  TMTValueRefKv PA[IndexInlineParts], PB[IndexInlineParts];
  ReadKey(A, PA);
  ReadKey(B, PB);
  for (size_t I = 0; I < N; ++I) {
    TVariantRelationship R = ComparePart(PA[I], PB[I]);
    if (R != vrEqual) return R;
  }
  return vrEqual;
}

bool TMTIndexKv::FencePrefix(const TMTValueRefKv& Part, UInt64& Prefix) const {
  if (Part.IsNull()) {
    Prefix = 0;
    return true;
  }
  bool Whole;
  return Part.Kind == FFenceKind && IndexPrefixOf(Part, FKeyed, Prefix, Whole);
}

UInt64 TMTIndexKv::EntryPrefix(TMemoryRecordKv* Rec) {
  TMTValueRefKv Part;
  if (Rec == FOverride && FOverrideKey && FOverrideKey->Count == 1) Part = FOverrideKey->Parts()[0];
  else ReadKey(Rec, &Part);
  UInt64 Prefix = 0;
  // A key of another kind (a value written raw) ends the fences until the next rebuild.
  if (!FencePrefix(Part, Prefix)) FFenced = false;
  return Prefix;
}

void TMTIndexKv::SetFence(size_t Run) {
  if (FFenced) FFences[Run] = EntryPrefix(FRuns[Run].back());
}

TVariantRelationship TMTIndexKv::CompareLast(size_t Run, const TProbe& Key) {
  if (FFenced && Key.HasPrefix && FFences[Run] != Key.Prefix) return FFences[Run] < Key.Prefix ? vrLessThan : vrGreaterThan;
  return CompareEntry(FRuns[Run].back(), Key);
}

Int64 TMTIndexKv::PositionKey(TMemoryRecordKv* Rec) const {
  if (Rec == FGone) return FGonePosition;
  return Int64(Rec->GetIndex()) * 2;
}

// ---- The runs of entries ------------------------------------------------------------------------

TMemoryRecordKv* TMTIndexKv::Entry(Integer Index) {
  Sync();
  if (Index < 0 || Index >= FCount) TList::Error(SListIndexError, Index);
  return EntryAt(SlotOf(Index));
}

TMTIndexKv::TSlot TMTIndexKv::SlotOf(Integer Index) const {
  if (FRuns.empty()) return {};
  if (Index >= FCount) return {FRuns.size() - 1, FRuns.back().size()};
  if (FRuns.size() == 1) return {0, size_t(Index)};
  // Down the Fenwick sums: the last run whose entries before it are not more than Index.
  size_t N = FRuns.size(), Run = 0, Step = 1;
  while (Step * 2 <= N) Step *= 2;
  Integer Rest = Index;
  for (; Step; Step >>= 1)
    if (Run + Step <= N && FRunSums[Run + Step] <= Rest) {
      Run += Step;
      Rest -= FRunSums[Run];
    }
  return {Run, size_t(Rest)};
}

Integer TMTIndexKv::PositionOf(TSlot S) const {
  Integer P = Integer(S.At);
  for (size_t I = S.Run; I > 0; I -= I & (~I + 1)) P += FRunSums[I];
  return P;
}

void TMTIndexKv::IndexRuns() {
  size_t N = FRuns.size();
  if (FFences.size() != N) {
    FFences.assign(N, 0);
    for (size_t I = 0; I < N && FFenced; ++I) SetFence(I);
  }
  FRunSums.assign(N + 1, 0);
  FCount = 0;
  for (size_t I = 1; I <= N; ++I) {
    Integer Size = Integer(FRuns[I - 1].size());
    FCount += Size;
    FRunSums[I] += Size;
    size_t Up = I + (I & (~I + 1));
    if (Up <= N) FRunSums[Up] += FRunSums[I];
  }
}

void TMTIndexKv::RunResized(size_t Run, Integer Delta) {
  for (size_t I = Run + 1; I < FRunSums.size(); I += I & (~I + 1)) FRunSums[I] += Delta;
  FCount += Delta;
}

void TMTIndexKv::SplitRun(size_t Run) {
  const size_t Half = RunMax / 2;
  TEntryRun& Long = FRuns[Run];
  size_t Pieces = (Long.size() + Half - 1) / Half;
  // Everything that may fail to allocate comes before the first entry moves.
  std::vector<TEntryRun> Parts(Pieces);
  for (size_t P = 0; P < Pieces; ++P) Parts[P].assign(Long.begin() + ptrdiff_t(P * Half),
                                                      Long.begin() + ptrdiff_t(std::min(Long.size(), (P + 1) * Half)));
  FRuns.reserve(FRuns.size() + Pieces - 1);
  FEntryMoves += Int64(FRuns[Run].size());
  FFences.reserve(FFences.size() + Pieces - 1);
  FRuns.erase(FRuns.begin() + ptrdiff_t(Run));
  FRuns.insert(FRuns.begin() + ptrdiff_t(Run), std::make_move_iterator(Parts.begin()), std::make_move_iterator(Parts.end()));
  FFences.insert(FFences.begin() + ptrdiff_t(Run), Pieces - 1, 0);
  for (size_t P = 0; P < Pieces; ++P) SetFence(Run + P);
  IndexRuns();
}

void TMTIndexKv::JoinRuns() {
  if (FRuns.size() <= 1) return;
  TEntryRun All;
  All.reserve(size_t(FCount));
  for (TEntryRun& R : FRuns) All.insert(All.end(), R.begin(), R.end());
  FEntryMoves += FCount;
  FRuns.clear();
  FRuns.push_back(std::move(All));
  FFences.assign(1, 0);
  SetFence(0);
  IndexRuns();
}

void TMTIndexKv::InsertAt(TSlot S, TMemoryRecordKv* Rec) {
  Changed();
  if (FRuns.empty()) {
    FRuns.emplace_back();
    FRuns[0].push_back(Rec);
    FFences.assign(1, 0);
    SetFence(0);
    IndexRuns();
    return;
  }
  if (FRuns[S.Run].size() >= RunMax) {
    const size_t Half = RunMax / 2;
    size_t Last = (FRuns[S.Run].size() - 1) / Half, Piece = std::min(S.At / Half, Last);
    SplitRun(S.Run);
    S = {S.Run + Piece, S.At - Piece * Half};
  }
  TEntryRun& R = FRuns[S.Run];
  FEntryMoves += Int64(R.size() - S.At);
  R.insert(R.begin() + ptrdiff_t(S.At), Rec);
  if (S.At + 1 == R.size()) SetFence(S.Run);
  RunResized(S.Run, 1);
}

void TMTIndexKv::EraseAt(TSlot S) {
  Changed();
  if (FRuns[S.Run].size() > RunMax) {
    const size_t Half = RunMax / 2;
    size_t Piece = S.At / Half;
    SplitRun(S.Run);
    S = {S.Run + Piece, S.At - Piece * Half};
  }
  TEntryRun& R = FRuns[S.Run];
  FEntryMoves += Int64(R.size() - S.At - 1);
  bool Last = S.At + 1 == R.size();
  R.erase(R.begin() + ptrdiff_t(S.At));
  if (R.empty()) {
    FRuns.erase(FRuns.begin() + ptrdiff_t(S.Run));
    FFences.erase(FFences.begin() + ptrdiff_t(S.Run));
    IndexRuns();
  } else {
    if (Last) SetFence(S.Run);
    RunResized(S.Run, -1);
  }
}

bool TMTIndexKv::Next(TSlot& S) const {
  if (S.At + 1 < FRuns[S.Run].size()) {
    ++S.At;
    return true;
  }
  if (S.Run + 1 >= FRuns.size()) return false;
  S = {S.Run + 1, 0};
  return true;
}

bool TMTIndexKv::Prev(TSlot& S) const {
  if (S.At > 0) {
    --S.At;
    return true;
  }
  if (S.Run == 0) return false;
  --S.Run;
  S.At = FRuns[S.Run].size() - 1;
  return true;
}

// ---- Building -----------------------------------------------------------------------------------

namespace {

// An entry being sorted: its record and position, and a number whose order is the key's as far
// as it goes (Rank first: Null before values).
struct TIndexSortEntry {
  UInt64 Prefix;
  TMemoryRecordKv* Rec;
  Integer Pos;
  Byte Rank;
  bool Whole;  // the prefix is the whole key: equal prefixes are equal keys
};

}  // namespace

void TMTIndexKv::RebuildIndex() {
  ClearIndex();
  TRecordsListKv* L = RecordsList();
  if (!IsMaintained() || !L) return;
  TMTDataStructKv* S = L->GetDataStruct();
  const TIntArray& F = S ? KeyFields(S) : FKeyFields;
  // Under a Turkish user a text key compares by the Turkish collation, made once per character:
  // the order of the system's comparison without a system call per comparison.
  FKeyed = false;
  if (SysLocale.PriLangID == 0x1F && S && F.size() == 1) {
    TVarType T = S->GetDataField(F[0])->VarDataType();
    FKeyed = T == varString || T == varUString || T == varOleStr;
  }
  std::vector<TIndexSortEntry> All;
  All.reserve(size_t(L->GetCount()));
  // Prefixes serve while every key is one value of one kind (Nulls aside).
  bool Prefixed = S && F.size() == 1;
  TMTValueKindKv Kind = mvkNullKv;
  for (Integer I = 0; I < L->GetCount(); ++I) {
    TMemoryRecordKv* Rec = L->GetRec(I);
    // A record marked deleted has no entry, as when it was marked.
    if (Rec->GetUpdateStatus() == usDeleted) continue;
    TIndexSortEntry E{0, Rec, I, 0, true};
    if (Prefixed) {
      TMTValueRefKv Part;
      ReadKey(Rec, &Part);
      if (!Part.IsNull()) {
        E.Rank = 1;
        if (Kind == mvkNullKv) Kind = Part.Kind;
        Prefixed = Part.Kind == Kind && IndexPrefixOf(Part, FKeyed, E.Prefix, E.Whole);
      }
    }
    All.push_back(E);
  }
  auto Compare = [&](const TIndexSortEntry& A, const TIndexSortEntry& B) {
    if (Prefixed) {
      if (A.Rank != B.Rank) return A.Rank < B.Rank ? vrLessThan : vrGreaterThan;
      if (A.Prefix != B.Prefix) return A.Prefix < B.Prefix ? vrLessThan : vrGreaterThan;
    }
    TVariantRelationship R = vrEqual;
    if (!Prefixed || (A.Rank != 0 && !A.Whole)) R = CompareRecordKeys(A.Rec, B.Rec);
    if (R != vrEqual) return R;
    return A.Pos < B.Pos ? vrLessThan : A.Pos > B.Pos ? vrGreaterThan : vrEqual;
  };
  // Texts of equal prefixes compare whole: their keys are made once for the pair.
  auto Less = [&](const TIndexSortEntry& A, const TIndexSortEntry& B) {
    if (Prefixed && !FKeyed) {
      if (A.Rank != B.Rank) return A.Rank < B.Rank;
      if (A.Prefix != B.Prefix) return A.Prefix < B.Prefix;
      return A.Pos < B.Pos;
    }
    return Compare(A, B) == vrLessThan;
  };
  if (Prefixed && !FKeyed) {
    // Numbers, dates and Booleans: the prefix is the key.
    std::sort(All.begin(), All.end(), Less);
  } else {
    // The classic partition, which stops at entries that do not compare.
    std::function<void(Integer, Integer)> Sort = [&](Integer Lo, Integer Hi) {
      while (Lo < Hi) {
        Integer I = Lo, J = Hi, P = (Lo + Hi) >> 1;
        do {
          while (I < Hi && Compare(All[size_t(I)], All[size_t(P)]) == vrLessThan) ++I;
          while (J > Lo && Compare(All[size_t(J)], All[size_t(P)]) == vrGreaterThan) --J;
          if (I <= J) {
            if (I != J) {
              std::swap(All[size_t(I)], All[size_t(J)]);
              if (P == I) P = J;
              else if (P == J) P = I;
            }
            ++I;
            --J;
          }
        } while (I <= J);
        if (Lo < J) Sort(Lo, J);
        Lo = I;
      }
    };
    if (All.size() > 1) Sort(0, Integer(All.size()) - 1);
  }
  // The fences serve keys of one field of a kind read by value (texts under the Turkish order).
  FFenced = false;
  if (S && F.size() == 1) {
    switch (S->GetDataField(F[0])->VarDataType()) {
      case varShortInt: case varByte: case varSmallint: case varWord: case varInteger: case varLongWord: case varInt64:
        FFenceKind = mvkIntegerKv;
        FFenced = true;
        break;
      case varSingle: case varDouble: FFenceKind = mvkFloatKv; FFenced = true; break;
      case varDate: FFenceKind = mvkDateKv; FFenced = true; break;
      case varCurrency: FFenceKind = mvkCurrencyKv; FFenced = true; break;
      case varBoolean: FFenceKind = mvkBooleanKv; FFenced = true; break;
      case varString: case varUString: case varOleStr: FFenceKind = mvkTextKv; FFenced = FKeyed; break;
      default: break;
    }
  }
  for (size_t At = 0; At < All.size(); At += IndexBuiltRun) {
    size_t End = std::min(All.size(), At + IndexBuiltRun);
    FRuns.emplace_back();
    FRuns.back().reserve(IndexBuiltRun);
    for (size_t I = At; I < End; ++I) FRuns.back().push_back(All[I].Rec);
  }
  FFences.assign(FRuns.size(), 0);
  for (size_t R = 0; R < FRuns.size() && FFenced; ++R) SetFence(R);
  IndexRuns();
  if (IsUniqueKind()) CheckUnique();
}

void TMTIndexKv::QuickSort(Integer L, Integer R) {
  Sync();
  JoinRuns();
  if (FRuns.empty() || L < 0 || R >= FCount || L >= R) return;
  Changed();
  TEntryRun& E = FRuns[0];
  auto Before = [&](TMemoryRecordKv* A, TMemoryRecordKv* B) {
    TVariantRelationship C = CompareRecordKeys(A, B);
    if (C != vrEqual) return C;
    Int64 PA = PositionKey(A), PB = PositionKey(B);
    return PA < PB ? vrLessThan : PA > PB ? vrGreaterThan : vrEqual;
  };
  std::function<void(Integer, Integer)> Sort = [&](Integer Lo, Integer Hi) {
    while (Lo < Hi) {
      Integer I = Lo, J = Hi;
      TMemoryRecordKv* P = E[size_t((Lo + Hi) >> 1)];
      do {
        while (I < Hi && Before(E[size_t(I)], P) == vrLessThan) ++I;
        while (J > Lo && Before(E[size_t(J)], P) == vrGreaterThan) --J;
        if (I <= J) {
          std::swap(E[size_t(I)], E[size_t(J)]);
          ++I;
          --J;
        }
      } while (I <= J);
      if (Lo < J) Sort(Lo, J);
      Lo = I;
    }
  };
  Sort(L, R);
  SetFence(0);
}

void TMTIndexKv::CheckUnique() {
  TMemoryRecordKv* Prev = nullptr;
  for (const TEntryRun& R : FRuns)
    for (TMemoryRecordKv* Rec : R) {
      // Several Null keys are allowed here (a key of several fields is never Null).
      if (Prev && CompareRecordKeys(Prev, Rec) == vrEqual) {
        Variant PrevKey = EntryKeyOf(Prev);
        if (!PrevKey.IsNull()) throw EUniqueKeyViolationKv(FFields, PrevKey);
      }
      Prev = Rec;
    }
}

// ---- Lookups ------------------------------------------------------------------------------------

bool TMTIndexKv::FindKey(const TProbe& Key, TSlot& S) {
  if (FRuns.empty()) {
    S = {};
    return false;
  }
  auto Compare = [&](TMemoryRecordKv* Rec) {
    TVariantRelationship C = CompareEntry(Rec, Key);
    if (C == vrNotEqual) throw Exception(SIndexNotComparable);
    return C;
  };
  // The run: the first whose last entry is not less than Key.
  size_t Lo = 0, Hi = FRuns.size();
  while (Lo < Hi) {
    size_t Mid = (Lo + Hi) >> 1;
    TVariantRelationship C = CompareLast(Mid, Key);
    if (C == vrNotEqual) throw Exception(SIndexNotComparable);
    if (C == vrLessThan) Lo = Mid + 1;
    else Hi = Mid;
  }
  if (Lo == FRuns.size()) {
    S = {Lo - 1, FRuns.back().size()};
    return false;
  }
  // In the run, the bisection stops at the first equal entry it meets.
  const TEntryRun& Run = FRuns[Lo];
  Integer L = 0, H = Integer(Run.size()) - 1;
  bool Found = false;
  while (L <= H) {
    Integer Mid = (L + H) >> 1;
    switch (Compare(Run[size_t(Mid)])) {
      case vrLessThan:
        L = Mid + 1;
        break;
      case vrGreaterThan:
        H = Mid - 1;
        break;
      default:
        Found = true;
        L = Mid;
        H = L - 1;
        break;
    }
  }
  S = {Lo, size_t(L)};
  return Found;
}

bool TMTIndexKv::FindPlace(const TProbe& Key, TMemoryRecordKv* Rec, TSlot& S) {
  if (FRuns.empty()) {
    S = {};
    return false;
  }
  Int64 Position = PositionKey(Rec);
  auto Before = [&](TMemoryRecordKv* Entry) {
    TVariantRelationship C = CompareEntry(Entry, Key);
    if (C == vrNotEqual) throw Exception(SIndexNotComparable);
    return C == vrLessThan || (C == vrEqual && Entry != Rec && PositionKey(Entry) < Position);
  };
  size_t Lo = 0, Hi = FRuns.size();
  while (Lo < Hi) {
    size_t Mid = (Lo + Hi) >> 1;
    // A fence that differs from the key decides without the record.
    bool LastBefore;
    if (FFenced && Key.HasPrefix && FFences[Mid] != Key.Prefix) LastBefore = FFences[Mid] < Key.Prefix;
    else LastBefore = Before(FRuns[Mid].back());
    if (LastBefore) Lo = Mid + 1;
    else Hi = Mid;
  }
  if (Lo == FRuns.size()) {
    S = {Lo - 1, FRuns.back().size()};
    return false;
  }
  const TEntryRun& Run = FRuns[Lo];
  size_t L = 0, H = Run.size();
  while (L < H) {
    size_t Mid = (L + H) >> 1;
    if (Before(Run[Mid])) L = Mid + 1;
    else H = Mid;
  }
  S = {Lo, L};
  return Run[L] == Rec;
}

bool TMTIndexKv::FindEntryOfRecord(const TProbe& Key, TMemoryRecordKv* Rec, TSlot& S) {
  // The record's entry counts with the key it was placed under while it is looked for.
  const TProbe* SavedKey = FOverrideKey;
  TMemoryRecordKv* Saved = FOverride;
  FOverride = Rec;
  FOverrideKey = &Key;
  TMTScopeExitKv Restore([&] {
    FOverride = Saved;
    FOverrideKey = SavedKey;
  });
  bool Found = false;
  try {
    Found = FindPlace(Key, Rec, S);
  } catch (const Exception&) {
    Found = false;  // a key that compares with nothing: the walk below finds the entry
  }
  if (Found) return true;
  for (size_t R = 0; R < FRuns.size(); ++R)
    for (size_t I = 0; I < FRuns[R].size(); ++I)
      if (FRuns[R][I] == Rec) {
        S = {R, I};
        return true;
      }
  return false;
}

void TMTIndexKv::EnterRecord(TMemoryRecordKv* Rec, const Variant* Key) {
  TProbe Probe = Key ? MakeProbe(*Key) : ProbeOfRecord(Rec);
  const TProbe* SavedKey = FOverrideKey;
  TMemoryRecordKv* Saved = FOverride;
  FOverride = Rec;
  FOverrideKey = &Probe;
  TMTScopeExitKv Restore([&] {
    FOverride = Saved;
    FOverrideKey = SavedKey;
  });
  TSlot S;
  FindPlace(Probe, Rec, S);
  InsertAt(S, Rec);
}

Integer TMTIndexKv::GetCount() {
  Sync();
  return FCount;
}

TIndexItemKv* TMTIndexKv::GetItems(Integer Index) {
  TMemoryRecordKv* Rec = Entry(Index);
  TIndexItemKv& It = FHanded[Index];
  It.Value = EntryKeyOf(Rec);
  It.RecIndex = Rec->GetIndex();
  return &It;
}

Variant TMTIndexKv::GetKeyValue(Integer Index) { return EntryKeyOf(Entry(Index)); }

void TMTIndexKv::SetKeyValue(Integer Index, const Variant& Value) {
  TMemoryRecordKv* Rec = Entry(Index);
  if (DBVarCompareValue(EntryKeyOf(Rec), Value) != vrEqual)
    throw Exception(L"TMTIndexKv.SetKeyValue: an entry's key is its record's; change the record instead.");
}

bool TMTIndexKv::FindKeyValueIndex(const Variant& Value, Integer& Index) {
  Sync();
  TSlot S;
  bool Found = FindKey(MakeProbe(Value), S);
  Index = PositionOf(S);
  return Found;
}

bool TMTIndexKv::FindRecordIndexByKey(const Variant& Value, Integer& Index) {
  Sync();
  TSlot S;
  if (!FindKey(MakeProbe(Value), S)) return false;
  Index = EntryAt(S)->GetIndex();
  return true;
}

void TMTIndexKv::FillMatchedKeyList(const Variant& Value, std::vector<TIndexItemKv*>& List) {
  Sync();
  TProbe Key = MakeProbe(Value);
  TSlot Found;
  if (!FindKey(Key, Found)) return;
  Integer At = PositionOf(Found);
  Integer Before = 0;
  for (TSlot S = Found; Prev(S) && CompareEntry(EntryAt(S), Key) == vrEqual;) List.push_back(GetItems(At - ++Before));
  TSlot S = Found;
  Integer K = 0;
  do {
    if (CompareEntry(EntryAt(S), Key) != vrEqual) break;
    List.push_back(GetItems(At + K++));
  } while (Next(S));
}

void TMTIndexKv::FillMatchedRecsList(const Variant& Value, TList* List) {
  Sync();
  TProbe Key = MakeProbe(Value);
  TSlot Found;
  if (!FindKey(Key, Found)) return;
  for (TSlot S = Found; Prev(S) && CompareEntry(EntryAt(S), Key) == vrEqual;) List->Add(EntryAt(S));
  TSlot S = Found;
  do {
    if (CompareEntry(EntryAt(S), Key) != vrEqual) break;
    List->Add(EntryAt(S));
  } while (Next(S));
}

void TMTIndexKv::InsertItem(Integer Index, const Variant&, Integer RecIndexValue) {
  Sync();
  if (Index < 0 || Index > FCount) TList::Error(SListIndexError, Index);
  TRecordsListKv* L = RecordsList();
  InsertAt(SlotOf(Index), L->GetRec(RecIndexValue));
}

// ---- Following the records list ------------------------------------------------------------------

void TMTIndexKv::Notify(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action) {
  if (!IsMaintained()) return;
  if (Action == rlnListChangedKv) {
    RebuildIndex();
    return;
  }
  // A unique index must refuse from a whole list; otherwise a stale one is rebuilt when used.
  if (Action == rlnRecAddingKv || Action == rlnRecChangingKv) {
    if (IsUniqueKind()) Sync();
  }
  if (FStale) return;
  switch (Action) {
    case rlnRecAddingKv: {
      if (!IsUniqueKind()) break;
      Variant Key = KeyOf(MemRec, dvvValueKv);
      TSlot S;
      if (FindKey(MakeProbe(Key), S)) throw EUniqueKeyViolationKv(FFields, Key);
      break;
    }
    case rlnRecAddedKv:
      EnterRecord(MemRec);
      break;
    case rlnRecChangingKv: {
      FOldValue = EntryKeyOf(MemRec);
      FAnnounced = MemRec;
      // A record marked deleted has no entry: one that comes back is entered anew.
      FReturning = MemRec->GetUpdateStatus() == usDeleted;
      if (IsUniqueKind()) {
        Variant Key = KeyOf(MemRec, dvvValueKv);
        TSlot S;
        // One that comes back must not meet its key either.
        if ((FReturning || DBVarCompareValue(Key, FOldValue) != vrEqual) && FindKey(MakeProbe(Key), S))
          throw EUniqueKeyViolationKv(FFields, Key);
      }
      break;
    }
    case rlnRecChangedKv: {
      bool Announced = FAnnounced == MemRec;
      FAnnounced = nullptr;
      // The entry under the announced former key, or under the key the record had before a
      // refresh (a change nobody announced).
      Variant Old = Announced ? FOldValue : EntryKeyOf(MemRec);
      Variant Key = KeyOf(MemRec, dvvValueKv);
      TSlot P;
      bool Has = !(Announced && FReturning) && FindEntryOfRecord(MakeProbe(Old), MemRec, P);
      if (MemRec->GetUpdateStatus() == usDeleted) {
        // Still marked deleted: it keeps no entry.
        if (Has) EraseAt(P);
        break;
      }
      // An entry whose key keeps its place (a change of other fields) stays as it is.
      if (Has && DBVarCompareValue(Old, Key) == vrEqual) break;
      if (Has) EraseAt(P);
      EnterRecord(MemRec, &Key);
      break;
    }
    case rlnRecDeletingKv:
      break;
    case rlnRecDeletedKv: {
      // The record has left: it counts where it was, before the one that took its place.
      FGone = MemRec;
      FGonePosition = Int64(Index) * 2 - 1;
      TMTScopeExitKv Forget([this] { FGone = nullptr; });
      TSlot P;
      if (FindEntryOfRecord(ProbeOfRecord(MemRec), MemRec, P)) EraseAt(P);
      break;
    }
    case rlnRecMarkedForDelKv: {
      TSlot P;
      if (FindEntryOfRecord(ProbeOfRecord(MemRec), MemRec, P)) EraseAt(P);
      break;
    }
    default:
      break;
  }
}

void TMTIndexKv::BeginRekey(TMemoryRecordKv* Rec) {
  if (!IsMaintained() || FStale) return;
  FRekeyOld = EntryKeyOf(Rec);
}

void TMTIndexKv::EndRekey(TMemoryRecordKv* Rec) {
  if (!IsMaintained() || FStale) return;
  Variant Key = EntryKeyOf(Rec);
  if (DBVarCompareValue(Key, FRekeyOld) == vrEqual) return;
  TSlot P;
  if (FindEntryOfRecord(MakeProbe(FRekeyOld), Rec, P)) EraseAt(P);
  EnterRecord(Rec, &Key);
}

void TMTIndexKv::RecordsRemoved() {
  if (!IsMaintained() || FStale) return;
  Changed();
  // The records that stay keep their order, and so their entries theirs.
  size_t Kept = 0;
  for (size_t Run = 0; Run < FRuns.size(); ++Run) {
    TEntryRun& R = FRuns[Run];
    R.erase(std::remove_if(R.begin(), R.end(), [](TMemoryRecordKv* Rec) { return !Rec->GetAttached(); }), R.end());
    if (R.empty()) continue;
    if (Kept != Run) FRuns[Kept] = std::move(R);
    ++Kept;
  }
  FRuns.erase(FRuns.begin() + ptrdiff_t(Kept), FRuns.end());
  FEntryMoves += FCount;
  FFences.assign(FRuns.size(), 0);
  for (size_t R = 0; R < FRuns.size() && FFenced; ++R) SetFence(R);
  IndexRuns();
}

void TMTIndexKv::RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex) {
  if (!IsMaintained() || FStale) return;
  // Among equal keys the entry takes its place by its new position; until then it counts where it
  // was among the records around it.
  FGone = Item;
  FGonePosition = NewIndex < OldIndex ? Int64(OldIndex) * 2 + 1 : Int64(OldIndex) * 2 - 1;
  TSlot P;
  bool Has;
  {
    TMTScopeExitKv Forget([this] { FGone = nullptr; });
    Has = FindEntryOfRecord(ProbeOfRecord(Item), Item, P);
  }
  if (!Has) return;
  EraseAt(P);
  EnterRecord(Item);
}

// ---- The collection -------------------------------------------------------------------------------

TMTIndexesKv::TMTIndexesKv(TRecordsListKv* ARecList) : TCollection(TMTIndexKv::StaticClass()), FRecList(ARecList) {}

TMTIndexKv* TMTIndexesKv::GetIndexForFields(const String& Fields) const {
  for (Integer I = 0; I < GetCount(); ++I)
    if (AnsiSameText(GetItems(I)->GetFields(), Fields)) return GetItems(I);
  return nullptr;
}

void TMTIndexesKv::UpdateIndexes() { Notify(nullptr, -1, rlnListChangedKv); }

void TMTIndexesKv::Notify(TMemoryRecordKv* MemRec, Integer Index, TRecordsListNotification Action) {
  for (Integer I = 0; I < GetCount(); ++I) GetItems(I)->Notify(MemRec, Index, Action);
}

void TMTIndexesKv::RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex) {
  for (Integer I = 0; I < GetCount(); ++I) GetItems(I)->RecordMoved(Item, OldIndex, NewIndex);
}

void TMTIndexesKv::MarkStale() {
  for (Integer I = 0; I < GetCount(); ++I) GetItems(I)->MarkStale();
}

void TMTIndexesKv::BeginRekey(TMemoryRecordKv* Rec) {
  for (Integer I = 0; I < GetCount(); ++I) GetItems(I)->BeginRekey(Rec);
}

void TMTIndexesKv::EndRekey(TMemoryRecordKv* Rec) {
  for (Integer I = 0; I < GetCount(); ++I) GetItems(I)->EndRekey(Rec);
}
