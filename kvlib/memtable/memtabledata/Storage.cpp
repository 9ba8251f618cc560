#include "kvlib/memtable/memtabledata/Storage.h"

#include <algorithm>
#include <cstring>

#include "framework/SysUtils.h"
#include "kvlib/memtable/MemTableDataKv.h"
#include "kvlib/memtable/memtabledata/Indexes.h"
#include "kvlib/memtable/memtabledata/Internal.h"
#include "kvlib/memtable/memtabledata/RecordLayout.h"

// ---- The storage object -------------------------------------------------------------------------

TAutoIncrementKv::TAutoIncrementKv() { Reset(); }

void TAutoIncrementKv::Assign(TPersistent* Source) {
  if (auto* Src = dynamic_cast<TAutoIncrementKv*>(Source)) {
    SetStep(Src->GetStep());
    SetInitValue(Src->GetInitValue());
    return;
  }
  TPersistent::Assign(Source);
}

Integer TAutoIncrementKv::Promote() {
  Integer R = FCurValue;
  FCurValue += FStep;
  return R;
}

void TAutoIncrementKv::SetInitValue(Integer Value) {
  if (FCurValue == FInitValue) FCurValue = Value;
  FInitValue = Value;
}

PUBLISHED_DEF(TAutoIncrementKv) {
  PROP(InitValue).Default(-1);
  PROP(Step).Default(-1);
}

TMemTableDataKv::TMemTableDataKv(TComponent* AOwner) : TComponent(AOwner) {
  MemTableDataKvStartup();
  FDataStruct = new TMTDataStructKv(this);
  FDataStruct->SetName(L"DataStruct");
  FNewDataStruct.reset(TMTDataStructKv::CreateFor(nullptr));
  FRecordsList.reset(CreateRecordsList());
  FRecordsList->SetName(L"RecordsList");
  FAutoIncrement = std::make_unique<TAutoIncrementKv>();
}

TMemTableDataKv::~TMemTableDataKv() {
  // One on the stack is torn down after its derived parts are gone, so DestroyContents never
  // reached this class: its listeners and records go here.
  while (FNotificators.GetCount() > 0)
    static_cast<TRecordsListNotificatorKv*>(FNotificators.GetItems(0))->SetDataObject(nullptr);
  FRecordsList.reset();
  MemTableDataKvShutdown();
}

void TMemTableDataKv::DestroyContents() {
  while (FNotificators.GetCount() > 0)
    static_cast<TRecordsListNotificatorKv*>(FNotificators.GetItems(0))->SetDataObject(nullptr);
  FRecordsList.reset();
  FNewDataStruct.reset();
  FScratch.reset();
  TComponent::DestroyContents();
  FDataStruct = nullptr;
}

TRecordsListKv* TMemTableDataKv::CreateRecordsList() { return new TRecordsListKv(this); }

void TMemTableDataKv::AddNotificator(TRecordsListNotificatorKv* Notificator) { FNotificators.Add(Notificator); }

void TMemTableDataKv::RemoveNotificator(TRecordsListNotificatorKv* Notificator) { FNotificators.Remove(Notificator); }

bool TMemTableDataKv::HasApplier() const {
  for (Pointer O : FNotificators)
    if (static_cast<TRecordsListNotificatorKv*>(O)->HasApplyUpdatesHandler()) return true;
  return false;
}

void TMemTableDataKv::ApplyUpdates(TMemTableDataKv* AMemTableData) {
  std::vector<Pointer> List(FNotificators.begin(), FNotificators.end());
  for (Pointer O : List) static_cast<TRecordsListNotificatorKv*>(O)->CallApplyUpdates(AMemTableData);
}

void TMemTableDataKv::Notify(TMemoryRecordKv* Rec, Integer Index, TRecordsListNotification Action) {
  if (Rec && FOnFieldCalculation && (Action == rlnRecAddedKv || Action == rlnRecChangedKv)) CalcRecordFields(Rec);
  // A table read or loaded with nobody attached tells nobody, at no cost per record.
  if (FNotificators.GetCount() == 0) return;
  std::vector<Pointer> List(FNotificators.begin(), FNotificators.end());
  for (Pointer O : List)
    if (FNotificators.IndexOf(static_cast<TObject*>(O)) >= 0) static_cast<TRecordsListNotificatorKv*>(O)->DataEvent(Rec, Index, Action);
}

void TMemTableDataKv::RecordMoved(TMemoryRecordKv* Item, Integer OldIndex, Integer NewIndex) {
  std::vector<Pointer> List(FNotificators.begin(), FNotificators.end());
  for (Pointer O : List) static_cast<TRecordsListNotificatorKv*>(O)->RecordMoved(Item, OldIndex, NewIndex);
}

void TMemTableDataKv::SetAutoIncrement(TAutoIncrementKv* Value) { FAutoIncrement->Assign(Value); }

void TMemTableDataKv::SetAutoIncValue(TMemoryRecordKv* Rec) {
  TMTDataStructKv* S = GetDataStruct();
  bool Have = false;
  Integer Value = 0;
  for (Integer I = 0; I < S->GetCount(); ++I) {
    TMTDataFieldKv* F = S->GetDataField(I);
    if (F->GetDataType() != ftAutoInc && !F->GetAutoIncrement()) continue;
    if (!Have) {
      Value = FAutoIncrement->Promote();
      Have = true;
    }
    Rec->SetDataValue(I, dvvValueKv, Variant(Value));
  }
}

void TMemTableDataKv::StructChanged() {
  FIncFieldIndexes.clear();
  TMTDataStructKv* S = GetDataStruct();
  for (Integer I = 0; I < S->GetCount(); ++I)
    if (S->GetDataField(I)->GetDataType() == ftAutoInc) FIncFieldIndexes.push_back(I);
  std::vector<Pointer> List(FNotificators.begin(), FNotificators.end());
  for (Pointer O : List) static_cast<TRecordsListNotificatorKv*>(O)->StructChanged(this);
}

void TMemTableDataKv::CalcRecordFields(TMemoryRecordKv* Rec) {
  if (!FOnFieldCalculation) return;
  TMTDataStructKv* S = GetDataStruct();
  TVariantArrayKv Values(size_t(S->GetCount()));
  FOnFieldCalculation(Rec, Values);
  for (Integer I = 0; I < S->GetCount(); ++I)
    if (S->GetDataField(I)->GetCalculated()) {
      const Variant& V = size_t(I) < Values.size() ? Values[size_t(I)] : Unassigned;
      Rec->SetDataValue(I, dvvValueKv, V.IsEmpty() ? Null : V);
    }
}

void TMemTableDataKv::SetOnFieldCalculation(TMemoryRecordEventKv Value) {
  if (FOnFieldCalculation == Value) return;
  FOnFieldCalculation = Value;
  for (Integer I = 0; I < FRecordsList->GetCount(); ++I) CalcRecordFields(FRecordsList->GetRec(I));
}

Integer TMemTableDataKv::FetchRecords(Integer Count) {
  Integer Sum = 0;
  std::vector<Pointer> List(FNotificators.begin(), FNotificators.end());
  for (Pointer O : List) Sum += static_cast<TRecordsListNotificatorKv*>(O)->FetchRecords(Count);
  return Sum;
}

TMTDataStructKv* TMemTableDataKv::BeginRestruct() {
  if (FRestructMode) throw Exception(L"MemTableData already in RestructMode.");
  FNewDataStruct.reset(GetDataStruct()->GetCopy());
  FRestructMode = true;
  return FNewDataStruct.get();
}

void TMemTableDataKv::CancelRestruct() {
  FRestructMode = false;
  FNewDataStruct->Clear();
}

void TMemTableDataKv::CommitRestruct() {
  // The prepared structure takes effect: a commit that dropped it would report success and lose it.
  FRestructMode = false;
  std::unique_ptr<TMTDataStructKv> Prepared(FNewDataStruct.release());
  FNewDataStruct.reset(TMTDataStructKv::CreateFor(nullptr));
  GetDataStruct()->Assign(Prepared.get());
  FRecordsList->GetIndexes()->UpdateIndexes();
}

void TMemTableDataKv::DestroyTable() {
  FRecordsList->GetIndexes()->Clear();
  FRecordsList->Clear();
  FAutoIncrement->Reset();
  GetDataStruct()->Clear();
}

void TMemTableDataKv::ResetRecords() {
  FRecordsList->GetIndexes()->Clear();
  FRecordsList->Clear();
  FAutoIncrement->Reset();
}

void TMemTableDataKv::GetChildren(TGetChildProc Proc, TComponent*) {
  if (FStoreStructInStream) Proc(FDataStruct);
  if (FStoreRecordsInStream) Proc(FRecordsList.get());
}

void TMemTableDataKv::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  Filer->DefineProperty(
      L"AutoIncCurValue", [this](TReader* R) { FAutoIncrement->SetCurValue(R->ReadInteger()); },
      [this](TWriter* W) { W->WriteInteger(FAutoIncrement->GetCurValue()); },
      FAutoIncrement->GetCurValue() != FAutoIncrement->GetInitValue());
}

void TMemTableDataKv::ReaderCreateComponent(TReader*, TComponentClass ComponentClass, TComponent*& Component) {
  TMemTableDataKv* Into = FReadInto ? FReadInto : this;
  if (ComponentClass && ComponentClass->InheritsFrom(TMTDataStructKv::StaticClass())) {
    Component = Into->FDataStruct;
    FReadStruct = true;
  } else if (ComponentClass && ComponentClass->InheritsFrom(TRecordsListKv::StaticClass())) {
    Component = Into->FRecordsList.get();
    FReadRecords = true;
  }
}

void TMemTableDataKv::ReaderAncestorNotFound(TReader* Reader, const String& ComponentName, TComponentClass ComponentClass,
                                             TComponent*& Component) {
  if (!Reader->GetRoot()) return;
  if (SameIdent(ComponentName, L"DataStruct")) ReaderCreateComponent(Reader, TMTDataStructKv::StaticClass(), Component);
  else if (SameIdent(ComponentName, L"RecordsList")) ReaderCreateComponent(Reader, TRecordsListKv::StaticClass(), Component);
  (void)ComponentClass;
}

void TMemTableDataKv::ReadState(TReader* Reader) {
  // The stream is read into a scratch storage object (its structure a copy of this one, for records
  // stored without one); only a complete read replaces this object's structure and records, so a
  // damaged stream leaves the table as it was.
  // The reader calls Loaded on what it read after this returns: the scratch lives until the next read.
  FScratch.reset(new TMemTableDataKv(nullptr));
  TMemTableDataKv* Scratch = FScratch.get();
  Scratch->FRecordsList->FKeepRead = true;
  Scratch->GetDataStruct()->Assign(GetDataStruct());
  TCreateComponentEvent SavedCreate = Reader->GetOnCreateComponent();
  TAncestorNotFoundEvent SavedAncestor = Reader->GetOnAncestorNotFound();
  Integer SavedCurValue = FAutoIncrement->GetCurValue();
  FReadInto = Scratch;
  FReadStruct = FReadRecords = false;
  Reader->SetOnCreateComponent({this, &TMemTableDataKv::ReaderCreateComponent});
  Reader->SetOnAncestorNotFound({this, &TMemTableDataKv::ReaderAncestorNotFound});
  {
    TMTScopeExitKv Restore([&] {
      Reader->SetOnCreateComponent(SavedCreate);
      Reader->SetOnAncestorNotFound(SavedAncestor);
      FReadInto = nullptr;
    });
    TMTScopeExitKv Counter([&] { FAutoIncrement->SetCurValue(SavedCurValue); });
    TComponent::ReadState(Reader);
    Counter.Dismiss();
  }
  if (FReadStruct) {
    // Records of the former structure cannot be read under the stored one.
    FRecordsList->Clear();
    GetDataStruct()->TakeFieldsFrom(Scratch->GetDataStruct());
  }
  if (FReadRecords) FRecordsList->AdoptRecords(Scratch->GetRecordsList());
}

TMemTableDataShadowKv::TMemTableDataShadowKv(TMemTableDataKv* AMasterTable)
    : TMemTableDataKv(AMasterTable), FMasterTable(AMasterTable) {}

TMTDataStructKv* TMemTableDataShadowKv::GetDataStruct() const { return FMasterTable->GetDataStruct(); }

// ---- The records' values in a stream ------------------------------------------------------------
//
// The records list writes and reads the plain values of its records itself, in large pieces: the
// same bytes as the descriptors' WriteDataToWriter and ReadDataFromReader, without a stream call
// per byte. A value that is not plain (binary, BCD and time-stamp fields, descriptors of other
// classes, values that need a conversion, damaged bytes) takes the descriptor's own way.

namespace {

// How the values of a descriptor stream: each by the descriptor, plain tagged values of one type,
// or plain tagged values of any type (a variant field, whose values of other types the descriptor
// writes with their type).
enum TValueStreamKind : char { vskOwn, vskPlain, vskAnyType };


// The descriptor classes of this unit stream plain tagged values.
TValueStreamKind ValueStreamKindOf(const TMTDataFieldKv* F) {
  TClass C = F->ClassType();
  bool Own = C == TMTStringDataFieldKv::StaticClass() || C == TMTNumericDataFieldKv::StaticClass() ||
             C == TMTDateTimeDataFieldKv::StaticClass() || C == TMTBooleanDataFieldKv::StaticClass() ||
             C == TMTVariantDataFieldKv::StaticClass();
  if (!Own || MTIsBinaryFieldType(F->GetDataType())) return vskOwn;
  return F->VarDataType() == varVariant ? vskAnyType : vskPlain;
}

// The descriptors of a structure and whether each streams plain values, resolved once per structure.
class TValueStreamFields {
 public:
  void For(const TMTDataStructKv* S) {
    if (S == FStruct) return;
    FStruct = S;
    Fields.clear();
    Plain.clear();
    for (Integer I = 0; S && I < S->GetCount(); ++I) {
      Fields.push_back(S->GetDataField(I));
      Plain.push_back(ValueStreamKindOf(Fields.back()));
    }
  }
  const TMTDataStructKv* Struct() const { return FStruct; }
  std::vector<TMTDataFieldKv*> Fields;
  std::vector<TValueStreamKind> Plain;

 private:
  const TMTDataStructKv* FStruct = nullptr;
};

// Bytes gathered for a writer and handed to it in large pieces.
class TStreamPieceWriter {
 public:
  explicit TStreamPieceWriter(TWriter* Writer) : FWriter(Writer), FBuf(new Byte[Size]) {}
  // Inline: a table's values are put a few bytes at a time, millions of times.
  [[gnu::always_inline]] void Put(Byte B) {
    if (FLen == Size) [[unlikely]] Flush();
    FBuf[FLen++] = B;
  }
  [[gnu::always_inline]] void Put(const void* P, size_t N) {
    if (FLen + N > Size) [[unlikely]] {
      PutLong(P, N);
      return;
    }
    std::memcpy(FBuf.get() + FLen, P, N);
    FLen += N;
  }
  [[gnu::noinline]] void PutLong(const void* P, size_t N) {
    Flush();
    if (N > Size) {
      FWriter->Write(P, Integer(N));
      return;
    }
    std::memcpy(FBuf.get(), P, N);
    FLen = N;
  }
  // ASCII characters as single bytes.
  void PutNarrow(const Char* P, size_t N) {
    while (N > 0) {
      if (FLen == Size) Flush();
      size_t K = std::min(N, Size - FLen);
      for (size_t I = 0; I < K; ++I) FBuf[FLen + I] = Byte(P[I]);
      FLen += K;
      P += K;
      N -= K;
    }
  }
  [[gnu::noinline]] void Flush() {
    if (FLen) FWriter->Write(FBuf.get(), Integer(FLen));
    FLen = 0;
  }

 private:
  static constexpr size_t Size = 64 * 1024;
  TWriter* FWriter;
  std::unique_ptr<Byte[]> FBuf;
  size_t FLen = 0;
};

// Counts what a TStreamPieceWriter would be given.
struct TStreamByteCounter {
  void Put(Byte) { ++Count; }
  void Put(const void*, size_t N) { Count += Int64(N); }
  void PutNarrow(const Char*, size_t N) { Count += Int64(N); }
  Int64 Count = 0;
};

// As TWriter::WriteInteger.
template <class TSink>
void StreamPutInteger(Int64 Value, TSink& Out) {
  if (Value >= -128 && Value <= 127) {
    Out.Put(Byte(vaInt8));
    Out.Put(Byte(std::int8_t(Value)));
  } else if (Value >= -32768 && Value <= 32767) {
    std::int16_t X = std::int16_t(Value);
    Out.Put(Byte(vaInt16));
    Out.Put(&X, 2);
  } else if (Value >= INT32_MIN && Value <= INT32_MAX) {
    std::int32_t X = std::int32_t(Value);
    Out.Put(Byte(vaInt32));
    Out.Put(&X, 4);
  } else {
    Out.Put(Byte(vaInt64));
    Out.Put(&Value, 8);
  }
}

// As TWriter::WriteString: ASCII text as a byte string, anything else as UTF-16.
template <class TSink>
void StreamPutString(std::wstring_view S, TSink& Out) {
  bool Ascii = std::all_of(S.begin(), S.end(), [](Char C) { return C <= 0x7F; });
  Integer L = Integer(S.size());
  if (!Ascii) {
    Out.Put(Byte(vaWString));
    Out.Put(&L, 4);
    Out.Put(S.data(), size_t(L) * 2);
    return;
  }
  if (L <= 255) {
    Out.Put(Byte(vaString));
    Out.Put(Byte(L));
  } else {
    Out.Put(Byte(vaLString));
    Out.Put(&L, 4);
  }
  Out.PutNarrow(S.data(), S.size());
}

// A value of a plain descriptor as its WriteDataToWriter writes it; false (nothing written) for a
// value the descriptor must write itself.
template <class TSink>
bool PutPlainValue(const TMTValueRefKv& V, TValueStreamKind Kind, TSink& Out) {
  if (Kind == vskAnyType && MTTypeTagOf(V.VarType)) return false;
  switch (V.Kind) {
    case mvkNullKv:
      Out.Put(Byte(vaNil));
      return true;
    case mvkIntegerKv:
      StreamPutInteger(V.Int, Out);
      return true;
    case mvkFloatKv:
      if (V.VarType == varSingle) {
        Single X = Single(V.Float);
        Out.Put(Byte(vaSingle));
        Out.Put(&X, 4);
      } else {
        Extended X = V.Float;
        Byte B[16] = {};
        std::memcpy(B, &X, std::min(sizeof(X), sizeof(B)));
        Out.Put(Byte(vaExtended));
        Out.Put(B, 10);  // the 80-bit extended format
      }
      return true;
    case mvkCurrencyKv:
      Out.Put(Byte(vaCurrency));
      Out.Put(&V.Int, 8);
      return true;
    case mvkDateKv:
      Out.Put(Byte(vaDate));
      Out.Put(&V.Float, 8);
      return true;
    case mvkBooleanKv:
      Out.Put(Byte(V.Bool ? vaTrue : vaFalse));
      return true;
    case mvkTextKv:
      StreamPutString(V.TextView(), Out);
      return true;
    default:
      return false;
  }
}

// The bytes of a memory stream, read in place.
struct TStreamPieceReader {
  const Byte* Data;
  Int64 Size;
  Int64 Pos;
  bool Has(Int64 N) const { return N >= 0 && Size - Pos >= N; }
  Byte Peek() const { return Data[Pos]; }
};

template <class T>
T StreamRaw(const Byte* P) {
  T X;
  std::memcpy(&X, P, sizeof(X));
  return X;
}

TMTValueRefKv StreamPlainInteger(Int64 X, TVarType T) {
  TMTValueRefKv R;
  R.Kind = mvkIntegerKv;
  R.VarType = T;
  R.Int = X;
  return R;
}

TMTValueRefKv StreamPlainFloat(Double X, TVarType T, TMTValueKindKv Kind) {
  TMTValueRefKv R;
  R.Kind = Kind;
  R.VarType = T;
  R.Float = X;
  return R;
}

TMTValueRefKv StreamPlainText(const std::wstring& S) {
  TMTValueRefKv R;
  R.Kind = mvkTextKv;
  R.VarType = varUString;
  R.Text = S.data();
  R.Length = Integer(S.size());
  return R;
}

// A value for a plain descriptor whose values take AVarType, as its ReadDataFromReader reads it;
// false (nothing read) for what the descriptor must read itself.
bool GetPlainValue(TStreamPieceReader& In, TVarType AVarType, TMTValueRefKv& Value, std::wstring& Narrow) {
  if (!In.Has(1)) return false;
  const Byte* P = In.Data + In.Pos;
  auto Takes = [AVarType](TVarType T) { return AVarType == T || AVarType == varVariant; };
  Int64 Len;
  switch (P[0]) {
    case vaNil: case vaNull:
      Value = TMTValueRefKv();
      Len = 1;
      break;
    case vaInt8:
      if (!Takes(varInteger) || !In.Has(2)) return false;
      Value = StreamPlainInteger(std::int8_t(P[1]), varInteger);
      Len = 2;
      break;
    case vaInt16:
      if (!Takes(varInteger) || !In.Has(3)) return false;
      Value = StreamPlainInteger(StreamRaw<std::int16_t>(P + 1), varInteger);
      Len = 3;
      break;
    case vaInt32:
      if (!Takes(varInteger) || !In.Has(5)) return false;
      Value = StreamPlainInteger(StreamRaw<std::int32_t>(P + 1), varInteger);
      Len = 5;
      break;
    case vaInt64:
      if (!Takes(varInt64) || !In.Has(9)) return false;
      Value = StreamPlainInteger(StreamRaw<Int64>(P + 1), varInt64);
      Len = 9;
      break;
    case vaExtended: {
      if (!Takes(varDouble) || !In.Has(11)) return false;
      long double X = 0;
      std::memcpy(&X, P + 1, 10);
      Value = StreamPlainFloat(double(X), varDouble, mvkFloatKv);
      Len = 11;
      break;
    }
    case vaDouble:
      if (!Takes(varDouble) || !In.Has(9)) return false;
      Value = StreamPlainFloat(StreamRaw<double>(P + 1), varDouble, mvkFloatKv);
      Len = 9;
      break;
    case vaSingle:
      if (!Takes(varSingle) || !In.Has(5)) return false;
      Value = StreamPlainFloat(StreamRaw<Single>(P + 1), varSingle, mvkFloatKv);
      Len = 5;
      break;
    case vaCurrency:
      if (!Takes(varCurrency) || !In.Has(9)) return false;
      Value = StreamPlainInteger(StreamRaw<Int64>(P + 1), varCurrency);
      Value.Kind = mvkCurrencyKv;
      Len = 9;
      break;
    case vaDate:
      if (!Takes(varDate) || !In.Has(9)) return false;
      Value = StreamPlainFloat(StreamRaw<double>(P + 1), varDate, mvkDateKv);
      Len = 9;
      break;
    case vaFalse: case vaTrue:
      if (!Takes(varBoolean)) return false;
      Value = TMTValueRefKv();
      Value.Kind = mvkBooleanKv;
      Value.VarType = varBoolean;
      Value.Bool = P[0] == vaTrue;
      Len = 1;
      break;
    case vaWString: {
      if (!Takes(varUString) || !In.Has(5)) return false;
      Integer L = StreamRaw<Integer>(P + 1);
      if (L < 0 || L > 0x3FFFFFFF || !In.Has(5 + Int64(L) * 2)) return false;
      Narrow.resize(size_t(L));
      if (L) std::memcpy(Narrow.data(), P + 5, size_t(L) * 2);
      Value = StreamPlainText(Narrow);
      Len = 5 + Int64(L) * 2;
      break;
    }
    case vaString: case vaLString: {
      // Only ASCII: other bytes are text of the ANSI code page, which the reader converts.
      Int64 Head = P[0] == vaString ? 2 : 5;
      if (!Takes(varUString) || !In.Has(Head)) return false;
      Integer L = P[0] == vaString ? Integer(P[1]) : StreamRaw<Integer>(P + 1);
      if (L < 0 || !In.Has(Head + L)) return false;
      const Byte* T = P + Head;
      if (!std::all_of(T, T + L, [](Byte B) { return B < 0x80; })) return false;
      Narrow.assign(T, T + L);
      Value = StreamPlainText(Narrow);
      Len = Head + L;
      break;
    }
    default:
      return false;
  }
  In.Pos += Len;
  return true;
}

}  // namespace

void TRecordsListKv::WriteData(TWriter* Writer) {
  TValueStreamFields F;
  // A memory stream takes the size at once, as measured on a few thousand records spread over the
  // list and an eighth more: grown piece by piece, a large table would be copied again and again.
  Integer Count = FCount;
  auto* M = dynamic_cast<TMemoryStream*>(Writer->GetStream());
  if (M && Count > 0) {
    Integer Step = std::max(1, Count / 4096), Sampled = 0;
    TStreamByteCounter Size;
    for (Integer R = 0; R < Count; R += Step, ++Sampled) {
      TMemoryRecordKv* Rec = GetRec(R);
      Rec->CheckLayout();
      F.For(Rec->GetDataStruct());
      TPackedValuesKv V = Rec->Current();
      Size.Count += 2;
      for (size_t I = 0; I < F.Fields.size(); ++I)
        if (!F.Plain[I] || !PutPlainValue(Rec->RefIn(V, TMemoryRecordKv::vsCurrent, Integer(I)), F.Plain[I], Size))
          Size.Count += 16;
    }
    Int64 Estimate = Int64(double(Size.Count) * Count / Sampled);
    Int64 Need = Writer->GetPosition() + 2 + Estimate + Estimate / 8;
    if (Need > M->GetCapacity()) M->SetCapacity(NativeInt(Need));
  }
  TStreamPieceWriter Out(Writer);
  Out.Put(Byte(vaList));
  for (const TChunk* C : FChunks)
    for (Integer K = 0; K < C->Count; ++K) {
      // The walk over the records is bound by memory: the records ahead are fetched.
      if (K + 8 < C->Count) {
        __builtin_prefetch(C->Items[K + 8]);
        __builtin_prefetch(reinterpret_cast<const char*>(C->Items[K + 8]) + 64);
      }
      TMemoryRecordKv* Rec = C->Items[K];
      Rec->CheckLayout();
      if (!Rec->GetDataStruct()) {
        Out.Flush();
        Rec->WriteRecordData(Writer);
        continue;
      }
      if (Rec->GetDataStruct() != F.Struct()) F.For(Rec->GetDataStruct());
      TPackedValuesKv V = Rec->Current();
      Out.Put(Byte(vaList));
      for (size_t I = 0; I < F.Fields.size(); ++I) {
        TMTValueRefKv Ref = Rec->RefIn(V, TMemoryRecordKv::vsCurrent, Integer(I));
        if (F.Plain[I] && PutPlainValue(Ref, F.Plain[I], Out)) continue;
        Out.Flush();
        F.Fields[I]->WriteDataToWriter(Ref.ToVariant(), Writer);
      }
      Out.Put(Byte(vaNull));
    }
  Out.Put(Byte(vaNull));
  Out.Flush();
}

void TRecordsListKv::ReadData(TReader* Reader) {
  // Everything is read before anything is replaced: a damaged stream leaves the records as they were.
  auto Owned = std::make_unique<TReadRecords>();
  TReadRecords& Read = *Owned;
  Reader->ReadListBegin();
  auto* M = dynamic_cast<TCustomMemoryStream*>(Reader->GetStream());
  TMTDataStructKv* S = GetDataStruct();
  if (M && S) {
    // The values are taken from the stream's memory in place; the reader steps in for whatever
    // is not plain, from the position reached.
    TValueStreamFields F;
    F.For(S);
    std::wstring Narrow;
    TStreamPieceReader In{static_cast<const Byte*>(M->GetMemory()), M->GetSize(), Reader->GetPosition()};
    auto Sync = [&] { Reader->SetPosition(In.Pos); };
    auto Resume = [&] { In.Pos = Reader->GetPosition(); };
    for (;;) {
      if (!In.Has(1)) {
        Sync();
        if (Reader->EndOfList()) break;
        Resume();
      }
      if (In.Peek() == vaNull) break;
      std::unique_ptr<TMemoryRecordKv> Rec(NewRecord());
      TPackedValuesKv V = Rec->Current();
      if (In.Peek() == vaList) {
        ++In.Pos;
      } else {
        Sync();
        Reader->ReadListBegin();
        Resume();
      }
      for (size_t I = 0; I < F.Fields.size(); ++I) {
        TMTValueRefKv Ref;
        if (F.Plain[I] && GetPlainValue(In, F.Fields[I]->VarDataType(), Ref, Narrow)) {
          if (V.PutRef(Integer(I), Ref)) continue;
          Rec->StoreIn(V, TMemoryRecordKv::vsCurrent, Integer(I), Ref.ToVariant());
          continue;
        }
        Sync();
        Variant Value;
        F.Fields[I]->ReadDataFromReader(Value, Reader);
        Rec->StoreIn(V, TMemoryRecordKv::vsCurrent, Integer(I), Value);
        Resume();
      }
      if (In.Has(1) && In.Peek() == vaNull) {
        ++In.Pos;
      } else {
        Sync();
        Reader->ReadListEnd();
        Resume();
      }
      NoteTexts(Rec.get());
      Read.Add(Rec);
    }
    Sync();
  } else {
    while (!Reader->EndOfList()) {
      std::unique_ptr<TMemoryRecordKv> Rec(NewRecord());
      Rec->ReadRecordData(Reader);
      Read.Add(Rec);
    }
  }
  Reader->ReadListEnd();
  Clear();
  if (FKeepRead) {
    FKeptRead = std::move(Owned);
    return;
  }
  for (size_t I = 0; I < Read.Count(); ++I) {
    std::unique_ptr<TMemoryRecordKv> Rec(Read.Take(I));
    FetchRecord(Rec.get());
    Rec.release();  // the list has it
  }
}

namespace {

// What a list's "Data" writes, through a writer of its own with a 1024-byte buffer.
TBytes RecordsWrittenData(const Closure<void(TWriter*)>& Write) {
  TMemoryStream S;
  {
    TWriter W(&S, 1024);
    Write(&W);
    W.FlushBuffer();
  }
  TBytes B(size_t(S.GetSize()));
  if (!B.empty()) std::memcpy(B.data(), S.GetMemory(), B.size());
  return B;
}

}  // namespace

void TRecordsListKv::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  bool HasData;
  if (auto* Ancestor = dynamic_cast<TRecordsListKv*>(Filer->GetAncestor())) {
    HasData = Ancestor->ClassType() != ClassType() ||
              RecordsWrittenData({this, &TRecordsListKv::WriteData}) != RecordsWrittenData({Ancestor, &TRecordsListKv::WriteData});
  } else {
    HasData = Filer->GetAncestor() ? true : FCount > 0;
  }
  Filer->DefineProperty(L"Data", {this, &TRecordsListKv::ReadData}, {this, &TRecordsListKv::WriteData}, HasData);
}
