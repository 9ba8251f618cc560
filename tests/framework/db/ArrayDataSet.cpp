#include "tests/framework/db/ArrayDataSet.h"

#include <cstring>

#include "framework/classes/Streams.h"
#include "framework/sysutils/Strings.h"

TArrayDataSet::TArrayDataSet(TComponent* AOwner) : TDataSet(AOwner) {}

TArrayDataSet::~TArrayDataSet() {
  Destroying();
  Close();
}

TRecordBuffer TArrayDataSet::AllocRecBuf() {
  auto* B = new TBuf;
  B->Values.resize(GetFieldDefs()->GetCount());
  B->Calc.resize(GetFieldCount());
  ++FLiveBuffers;
  return reinterpret_cast<TRecordBuffer>(B);
}

void TArrayDataSet::FreeRecBuf(TRecordBuffer& Buffer) {
  delete Buf(Buffer);
  Buffer = 0;
  --FLiveBuffers;
}

void TArrayDataSet::InternalOpen() {
  if (GetFieldDefs()->GetCount() == 0) InitFieldDefsFromFields();
  if (GetFieldDefs()->GetCount() == 0) DatabaseError(SNoFieldsDefined);
  if (GetDefaultFields()) CreateFields();
  BindFields(true);
  SetBookmarkSize(16);
  for (TRecord& R : FRecords) R.Values.resize(GetFieldDefs()->GetCount());
  FCursor = -1;
  FOpen = true;
}

void TArrayDataSet::InternalClose() {
  BindFields(false);
  if (GetDefaultFields()) DestroyFields();
  FOpen = false;
}

Integer TArrayDataSet::IndexOfId(Int64 Id) const {
  for (size_t I = 0; I < FRecords.size(); ++I)
    if (FRecords[I].Id == Id) return Integer(I);
  return -1;
}

void TArrayDataSet::Fill(TRecordBuffer Buffer, Integer Index) {
  TBuf* B = Buf(Buffer);
  B->Id = FRecords[Index].Id;
  B->Flag = bfCurrent;
  B->Values = FRecords[Index].Values;
  B->Calc.assign(GetFieldCount(), std::nullopt);
  if (GetCalcFieldsSize() > 0) CalculateFields(Buffer);
}

bool TArrayDataSet::Accepted(TRecordBuffer Buffer) {
  if (!GetFiltered() || (!FOnFilterRecord && GetFilterExpr().empty())) return true;
  TRecordBuffer Old = FFilterBuffer;
  FFilterBuffer = Buffer;
  TDataSetState S = SetTempState(dsFilter);
  bool Accept = true;
  try {
    if (FOnFilterRecord) FOnFilterRecord(this, Accept);
    if (Accept && !GetFilterExpr().empty()) {
      Variant V = Evaluate(0);
      Accept = !V.IsNull() && V.AsBoolean();
    }
  } catch (...) {
    RestoreState(S);
    FFilterBuffer = Old;
    throw;
  }
  RestoreState(S);
  FFilterBuffer = Old;
  return Accept;
}

TGetResult TArrayDataSet::GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) {
  Integer Count = Integer(FRecords.size());
  switch (GetMode) {
    case gmCurrent:
      if (FCursor >= 0 && FCursor < Count) {
        Fill(Buffer, FCursor);
        if (Accepted(Buffer)) return grOK;
      }
      if (DoCheck) DatabaseError(SNoDataFound, this);
      return grError;
    case gmNext:
      for (;;) {
        if (FCursor >= Count - 1) {
          FCursor = Count;
          return grEOF;
        }
        ++FCursor;
        Fill(Buffer, FCursor);
        if (Accepted(Buffer)) return grOK;
      }
    case gmPrior:
      for (;;) {
        if (FCursor <= 0) {
          FCursor = -1;
          return grBOF;
        }
        --FCursor;
        Fill(Buffer, FCursor);
        if (Accepted(Buffer)) return grOK;
      }
  }
  return grError;
}

TArrayDataSet::TBuf* TArrayDataSet::ActiveRecBuf() {
  switch (GetState()) {
    case dsBrowse:
      return IsEmpty() ? nullptr : Buf(GetActiveBuffer());
    case dsEdit:
    case dsInsert:
    case dsNewValue:
      return Buf(GetActiveBuffer());
    case dsCalcFields:
      return Buf(GetCalcBuffer());
    case dsFilter:
      return Buf(FFilterBuffer ? FFilterBuffer : GetTempBuffer());
    case dsOldValue:
    case dsCurValue: {
      TBuf* A = Buf(GetActiveBuffer());
      if (!A || A->Flag != bfCurrent) return nullptr;
      Integer I = IndexOfId(A->Id);
      if (I < 0) return nullptr;
      // The stored record: unchanged by the edit in progress, as the database holds it.
      TBuf* T = Buf(GetTempBuffer());
      T->Id = FRecords[I].Id;
      T->Values = FRecords[I].Values;
      T->Calc.assign(GetFieldCount(), std::nullopt);
      return T;
    }
    default:
      return nullptr;
  }
}

bool TArrayDataSet::GetFieldData(TField* Field, TValueBuffer& Buffer) {
  TBuf* B = ActiveRecBuf();
  if (!B) return false;
  const std::optional<TBytes>* V = nullptr;
  if (Field->GetFieldNo() > 0) V = &B->Values[Field->GetFieldNo() - 1];
  else if (Field->GetIndex() >= 0 && Field->GetIndex() < Integer(B->Calc.size())) V = &B->Calc[Field->GetIndex()];
  if (!V || !*V) return false;
  Buffer = **V;
  return true;
}

void TArrayDataSet::SetFieldData(TField* Field, const TValueBuffer* Buffer) {
  TBuf* B = ActiveRecBuf();
  if (!B) return;
  Field->Validate(Buffer);
  std::optional<TBytes> V;
  if (Buffer) V = *Buffer;
  if (Field->GetFieldNo() > 0) {
    B->Values[Field->GetFieldNo() - 1] = V;
  } else {
    if (Integer(B->Calc.size()) < GetFieldCount()) B->Calc.resize(GetFieldCount());
    B->Calc[Field->GetIndex()] = V;
  }
  TDataSetState S = GetState();
  if (S != dsCalcFields && S != dsFilter && S != dsNewValue && S != dsInternalCalc)
    DataEvent(deFieldChange, reinterpret_cast<NativeInt>(Field));
}

void TArrayDataSet::PokeStored(Integer RecIndex, TField* Field, const Variant& Value) {
  // Through the edit machinery of a second buffer would be heavier; write the bytes directly.
  TValueBuffer Saved;
  TBuf* A = Buf(GetActiveBuffer());
  TValues Keep = A->Values;
  A->Values = FRecords[RecIndex].Values;
  TDataSetState S = SetTempState(dsNewValue);
  try {
    Field->SetAsVariant(Value);
  } catch (...) {
    RestoreState(S);
    A->Values = Keep;
    throw;
  }
  RestoreState(S);
  FRecords[RecIndex].Values = A->Values;
  A->Values = Keep;
}

namespace {
// A blob opened for writing puts its bytes back into the field when it is freed.
class TArrayBlobStream : public TMemoryStream {
 public:
  TArrayBlobStream(TArrayDataSet* DataSet, TField* Field, TBlobStreamMode Mode)
      : FDataSet(DataSet), FField(Field), FMode(Mode) {}
  ~TArrayBlobStream() override {
    if (FMode != bmRead) {
      TValueBuffer B(static_cast<Byte*>(GetMemory()), static_cast<Byte*>(GetMemory()) + GetSize());
      try {
        FDataSet->SetFieldData(FField, &B);
      } catch (...) {
      }
    }
    Clear();
  }

 private:
  TArrayDataSet* FDataSet;
  TField* FField;
  TBlobStreamMode FMode;
};
}  // namespace

TStream* TArrayDataSet::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
  if (Mode != bmRead) {
    if (!dsWriteModes.Contains(GetState())) DatabaseError(SNotEditing, this);
    if (Field->GetReadOnly()) DatabaseErrorFmt(SFieldReadOnly, {Field->GetDisplayName()}, this);
  }
  auto* S = new TArrayBlobStream(this, Field, Mode);
  if (Mode != bmWrite) {
    TValueBuffer B;
    if (GetFieldData(Field, B) && !B.empty()) S->WriteBuffer(B.data(), Integer(B.size()));
    S->SetPosition(0);
  }
  return S;
}

void TArrayDataSet::InternalInitRecord(TRecordBuffer Buffer) {
  TBuf* B = Buf(Buffer);
  B->Values.assign(GetFieldDefs()->GetCount(), std::nullopt);
  B->Calc.assign(GetFieldCount(), std::nullopt);
  B->Id = 0;
}

void TArrayDataSet::ClearCalcFields(TRecordBuffer Buffer) { Buf(Buffer)->Calc.assign(GetFieldCount(), std::nullopt); }

void TArrayDataSet::InternalEdit() {}

void TArrayDataSet::InternalPost() {
  TDataSet::InternalPost();
  TBuf* B = Buf(GetActiveBuffer());
  if (GetState() == dsEdit) {
    Integer I = IndexOfId(B->Id);
    if (I < 0) DatabaseError(SRecordNotFound, this);
    FRecords[I].Values = B->Values;
    FCursor = I;
    return;
  }
  TRecord R;
  R.Id = FNextId++;
  R.Values = B->Values;
  Integer At = B->Flag == bfEOF ? -1 : IndexOfId(B->Id);
  if (At < 0) At = Integer(FRecords.size());
  FRecords.insert(FRecords.begin() + At, R);
  FCursor = At;
}

void TArrayDataSet::InternalDelete() {
  if (FCursor < 0 || FCursor >= Integer(FRecords.size())) DatabaseError(SRecordNotFound, this);
  FRecords.erase(FRecords.begin() + FCursor);
}

void TArrayDataSet::InternalGotoBookmark(const TBookmark& Bookmark) {
  Int64 Id = 0;
  std::memcpy(&Id, Bookmark.Data(), sizeof(Id));
  Integer I = IndexOfId(Id);
  if (I < 0) DatabaseError(SRecordNotFound, this);
  FCursor = I;
}

void TArrayDataSet::InternalSetToRecord(TRecordBuffer Buffer) {
  Integer I = IndexOfId(Buf(Buffer)->Id);
  if (I >= 0) FCursor = I;
}

void TArrayDataSet::GetBookmarkData(TRecordBuffer Buffer, TBookmark& Bookmark) {
  std::memcpy(Bookmark.Data(), &Buf(Buffer)->Id, sizeof(Int64));
}

void TArrayDataSet::SetBookmarkData(TRecordBuffer Buffer, const TBookmark& Bookmark) {
  Int64 Id = 0;
  if (!Bookmark.IsEmpty()) std::memcpy(&Id, Bookmark.Data(), sizeof(Id));
  Buf(Buffer)->Id = Id;
}

TBookmarkFlag TArrayDataSet::GetBookmarkFlag(TRecordBuffer Buffer) { return Buf(Buffer)->Flag; }
void TArrayDataSet::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) { Buf(Buffer)->Flag = Value; }

bool TArrayDataSet::BookmarkValid(const TBookmark& Bookmark) {
  if (Bookmark.IsEmpty()) return false;
  Int64 Id = 0;
  std::memcpy(&Id, Bookmark.Data(), sizeof(Id));
  return IndexOfId(Id) >= 0;
}

Integer TArrayDataSet::CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
  if (Bookmark1.IsEmpty() || Bookmark2.IsEmpty()) return TDataSet::CompareBookmarks(Bookmark1, Bookmark2);
  Int64 A = 0, B = 0;
  std::memcpy(&A, Bookmark1.Data(), sizeof(A));
  std::memcpy(&B, Bookmark2.Data(), sizeof(B));
  Integer IA = IndexOfId(A), IB = IndexOfId(B);
  if (IA != IB) return IA < IB ? -1 : 1;
  return A < B ? -1 : A > B ? 1 : 0;
}

Integer TArrayDataSet::GetRecordCount() {
  CheckActive();
  if (!GetFiltered() || (!FOnFilterRecord && GetFilterExpr().empty())) return Integer(FRecords.size());
  Integer N = 0;
  TRecordBuffer T = GetTempBuffer();
  for (Integer I = 0; I < Integer(FRecords.size()); ++I) {
    Fill(T, I);
    if (Accepted(T)) ++N;
  }
  return N;
}

Integer TArrayDataSet::GetRecNo() {
  CheckActive();
  TBuf* B = Buf(GetActiveBuffer());
  if (IsEmpty() || !B) return -1;
  if (B->Flag != bfCurrent) return 0;
  return IndexOfId(B->Id) + 1;
}

void TArrayDataSet::SetRecNo(Integer Value) {
  CheckBrowseMode();
  if (Value < 1 || Value > Integer(FRecords.size())) return;
  DoBeforeScroll();
  FCursor = Value - 1;
  Resync({rmCenter});
  DoAfterScroll();
}

Variant TArrayDataSet::Evaluate(Integer Node) {
  const TExprData& D = GetFilterExpr();
  auto W16 = [&D](size_t At) {
    Word W = 0;
    std::memcpy(&W, &D[At], 2);
    return W;
  };
  auto U32 = [&D](size_t At) {
    Cardinal C = 0;
    std::memcpy(&C, &D[At], 4);
    return C;
  };
  const size_t Nodes = W16(6), Literals = W16(8);
  const size_t At = Nodes + size_t(Node);
  const Cardinal Class = U32(At), Op = U32(At + 4);
  auto Operand = [&](Integer I) { return W16(At + 8 + 2 * I); };
  switch (Class) {
    case nodeFIELD:
      return FieldByNumber(Operand(0))->GetAsVariant();
    case nodeCONST: {
      const Word Type = Operand(0);
      const Byte* P = &D[Literals + Operand(2)];
      switch (Type) {
        case 0: return Null;
        case 4: { Word V; std::memcpy(&V, P, 2); return Variant(V != 0); }
        case 6: { Integer V; std::memcpy(&V, P, 4); return Variant(V); }
        case 7: { double V; std::memcpy(&V, P, 8); return Variant(V); }
        case ExprWideStringType: {
          Word Len; std::memcpy(&Len, P, 2);
          String S(Len / 2, L'\0');
          std::memcpy(S.data(), P + 2, Len);
          return Variant(S);
        }
      }
      throw EDatabaseError(L"constant type not handled by the test dataset");
    }
    case nodeUNARY: {
      Variant V = Evaluate(Operand(0));
      if (Op == coISBLANK) return Variant(V.IsNull());
      if (Op == coNOTBLANK) return Variant(!V.IsNull());
      if (Op == coNOT) return V.IsNull() ? Variant(Null) : Variant(!V.AsBoolean());
      break;
    }
    case nodeBINARY: {
      Variant L = Evaluate(Operand(0));
      if (Op == coAND && !L.IsNull() && !L.AsBoolean()) return Variant(false);
      if (Op == coOR && !L.IsNull() && L.AsBoolean()) return Variant(true);
      Variant R = Evaluate(Operand(1));
      if (Op == coAND || Op == coOR) return R.IsNull() ? Variant(Null) : Variant(R.AsBoolean());
      if (L.IsNull() || R.IsNull()) return Null;
      TVariantRelationship Rel;
      if (VarIsStr(L) || VarIsStr(R)) {
        Integer C = (GetFilterOptions().Contains(foCaseInsensitive) ? AnsiCompareText : AnsiCompareStr)(
            VarToStr(L), VarToStr(R));
        Rel = C == 0 ? vrEqual : C < 0 ? vrLessThan : vrGreaterThan;
      } else {
        Rel = VarCompareValue(L, R);
      }
      switch (Op) {
        case coEQ: return Variant(Rel == vrEqual);
        case coNE: return Variant(Rel != vrEqual);
        case coLT: return Variant(Rel == vrLessThan);
        case coGT: return Variant(Rel == vrGreaterThan);
        case coLE: return Variant(Rel == vrLessThan || Rel == vrEqual);
        case coGE: return Variant(Rel == vrGreaterThan || Rel == vrEqual);
      }
      break;
    }
  }
  throw EDatabaseError(L"node not handled by the test dataset");
}
