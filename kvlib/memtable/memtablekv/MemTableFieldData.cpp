// The table's field data: values kept as variants converted to and from the dataset's native
// layouts, the checks on writing, calculated, lookup and internal-calculated fields, aggregates
// and the blob stream.

#include <cmath>
#include <cstring>

#include "framework/FMTBcd.h"
#include "framework/SqlTimSt.h"
#include "framework/db/DBConsts.h"
#include "framework/sysutils/Encoding.h"
#include "kvlib/foundation/KvLibCore.h"
#include "kvlib/foundation/KvLibLangConsts.h"
#include "kvlib/memtable/memtablekv/MemTable.h"

namespace MemTableFieldDataKv {

AnsiString ToAnsi(const String& S) {
  TBytes B = TEncoding::ANSI()->GetBytes(S);
  return AnsiString(B.begin(), B.end());
}

String FromAnsi(const char* P, size_t N) {
  return TEncoding::ANSI()->GetString(reinterpret_cast<const Byte*>(P), Integer(N));
}

[[noreturn]] void Unsupported(TField* Field) {
  DatabaseError(Format(KvLibLanguageConsts()->GetUnsupportedFieldTypeKv(),
                       {String(FieldTypeNames[Field->GetDataType()]), Field->GetDisplayName()}));
}

bool IsByteArray(const Variant& V) { return VarIsArray(V) && (V.Type() & varTypeMask) == varByte; }

TBytes BytesOf(const Variant& V) {
  if (V.IsNull() || V.IsEmpty()) return TBytes();
  if (IsByteArray(V)) {
    Integer Lo = VarArrayLowBound(V, 1), Hi = VarArrayHighBound(V, 1);
    TBytes B(size_t(std::max(Hi - Lo + 1, 0)));
    Variant Copy = V;
    if (!B.empty()) {
      std::memcpy(B.data(), VarArrayLock(Copy), B.size());
      VarArrayUnlock(Copy);
    }
    return B;
  }
  if (V.Type() == varString) {
    AnsiString A = V.AsAnsiString();
    return TBytes(A.begin(), A.end());
  }
  String S = VarToStr(V);
  TBytes B(S.size() * sizeof(wchar_t));
  if (!B.empty()) std::memcpy(B.data(), S.data(), B.size());
  return B;
}

Variant ByteArrayOf(const Byte* Data, size_t Count) {
  Variant V = VarArrayCreate({0, Integer(Count) - 1}, varByte);
  if (Count) {
    std::memcpy(VarArrayLock(V), Data, Count);
    VarArrayUnlock(V);
  }
  return V;
}

template <class T>
void Put(TValueBuffer& Buffer, const T& Value, Integer DataSize) {
  Buffer.assign(size_t(std::max<Integer>(DataSize, Integer(sizeof(T)))), 0);
  std::memcpy(Buffer.data(), &Value, sizeof(T));
}

template <class T>
T Get(const Byte* Data, size_t Size) {
  T V{};
  std::memcpy(&V, Data, std::min(sizeof(T), Size));
  return V;
}

// A variant placed in the buffer, as variant and blob fields take it out (and destroy it).
void PutVariant(TValueBuffer& Buffer, const Variant& Value) {
  Buffer.assign(sizeof(Variant), 0);
  new (Buffer.data()) Variant(Value);
}

bool IsStringType(TFieldType T) {
  return T == ftString || T == ftMemo || T == ftFmtMemo || T == ftFixedChar || T == ftWideString ||
         T == ftFixedWideChar || T == ftWideMemo;
}

// Currency raw value (value x 10000) rounded to Decimals places, halves to even.
Int64 RoundCurrencyRaw(Int64 Raw, Integer Decimals) {
  Int64 Div = 1;
  for (Integer I = Decimals; I < 4; ++I) Div *= 10;
  if (Div == 1) return Raw;
  Int64 Q = Raw / Div, R = Raw % Div;
  Int64 Twice = 2 * (R < 0 ? -R : R);
  if (Twice > Div || (Twice == Div && (Q % 2 != 0))) Q += Raw < 0 ? -1 : 1;
  return Q * Div;
}

}  // namespace MemTableFieldDataKv

// ---- The buffer field access uses ---------------------------------------------------------------------

bool TCustomMemTableKv::GetActiveRecBuf(TRecordBuffer& Buffer, bool IgnoreInstantRead) {
  Buffer = 0;
  if (FInstantReadDepth > 0 && !IgnoreInstantRead) {
    Buffer = InstantBuffer();
    return Buffer != 0;
  }
  switch (GetState()) {
    case dsBrowse:
    case dsBlockRead:
      if (!IsEmpty()) Buffer = GetActiveBuffer();
      break;
    case dsEdit:
    case dsInsert:
    case dsNewValue:
      Buffer = GetActiveBuffer();
      break;
    case dsCalcFields:
      Buffer = GetCalcBuffer();
      break;
    case dsFilter:
      Buffer = GetTempBuffer();
      break;
    case dsOldValue:
    case dsCurValue: {
      TMTRecBuf* A = RecBuf(GetActiveBuffer());
      if (!A || A->BookmarkFlag != bfCurrent) break;
      UpdateCursorPos();
      if (FRecordPos >= 0 && FRecordPos < FRecordsView->ViewItemsCount() && GetTempBuffer()) {
        Buffer = GetTempBuffer();
        TMTRecBuf* T = RecBuf(Buffer);
        T->SetLength(GetFields()->GetCount());
        T->MemRec = FRecordsView->Rec(FRecordPos);
        T->RecView = FRecordsView->RecordView(FRecordPos);
        T->RecordNumber = FRecordPos;
        T->UseMemRec = true;
      } else {
        Buffer = GetActiveBuffer();
      }
      break;
    }
    case dsInternalCalc:
      Buffer = InstantBuffer();
      break;
    default:
      break;
  }
  return Buffer != 0;
}

TRecordBuffer TCustomMemTableKv::InstantBuffer() { return FInstantBuffers.empty() ? 0 : FInstantBuffers.back(); }

void TCustomMemTableKv::InstantReadEnter(TMemoryRecordKv* MemRec, Integer Row) {
  TRecordBuffer B = AllocRecBuf();
  FInstantBuffers.push_back(B);
  ++FInstantReadDepth;
  TMTRecBuf* R = RecBuf(B);
  R->RecordNumber = Row;
  R->BookmarkFlag = bfCurrent;
  R->MemRec = MemRec;
  R->BookmarkData.RecId = MemRec ? MemRec->GetHashCode() : 0;
  R->UseMemRec = true;
}

void TCustomMemTableKv::InstantReadLeave() {
  if (FInstantBuffers.empty()) return;
  TRecordBuffer B = FInstantBuffers.back();
  FInstantBuffers.pop_back();
  --FInstantReadDepth;
  FreeRecBuf(B);
}

// ---- Reading ---------------------------------------------------------------------------------------------

bool TCustomMemTableKv::ReadFieldVar(TField* Field, Variant& Value) {
  TRecordBuffer Buffer = 0;
  if (!GetActiveRecBuf(Buffer)) return false;
  if (Field->GetFieldKind() == fkAggregate) {
    Value = GetAggregateValue(Field);
    return true;
  }
  TMTRecBuf* B = RecBuf(Buffer);
  Value = GetState() == dsOldValue ? B->GetOldValue(Field, DataIndexOf(Field)) : B->GetValue(Field, DataIndexOf(Field));
  if (FOnGetFieldValue) FOnGetFieldValue(this, Field, Value);
  return true;
}

void TCustomMemTableKv::VarValueToValueBuffer(TField* Field, Variant& Value, TValueBuffer& Buffer, bool NativeFormat) {
  using namespace MemTableFieldDataKv;
  const Integer Size = Field->GetDataSize();
  bool Convert = false;
  switch (Field->GetDataType()) {
    case ftString: case ftFixedChar: case ftGuid: {
      AnsiString A = ToAnsi(VarToStr(Value));
      size_t N = std::min<size_t>(A.size(), size_t(std::max<Integer>(Field->GetSize(), 0)));
      Buffer.assign(size_t(std::max<Integer>(Size, Integer(N) + 1)), 0);
      std::memcpy(Buffer.data(), A.data(), N);
      break;
    }
    case ftWideString: {
      String S = VarToStr(Value);
      size_t N = std::min<size_t>(S.size(), size_t(std::max<Integer>(Field->GetSize(), 0)));
      Buffer.assign(std::max<size_t>(size_t(Size), (N + 1) * 2), 0);
      std::memcpy(Buffer.data(), S.data(), N * 2);
      break;
    }
    case ftSmallint: Put<SmallInt>(Buffer, SmallInt(Value.IsEmpty() ? 0 : Value.AsInteger()), Size); break;
    case ftInteger: case ftAutoInc: Put<Integer>(Buffer, Value.IsEmpty() ? 0 : Value.AsInteger(), Size); break;
    case ftWord: Put<Word>(Buffer, Word(Value.IsEmpty() ? 0 : Value.AsInteger()), Size); break;
    case ftBoolean: Put<Word>(Buffer, Word(!Value.IsEmpty() && Value.AsBoolean() ? 0xFFFF : 0), Size); break;
    case ftFloat: case ftCurrency: Put<double>(Buffer, Value.IsEmpty() ? 0.0 : Value.AsDouble(), Size); break;
    case ftBCD: {
      Int64 Raw = Value.IsEmpty() ? 0 : Value.AsCurrency().Raw();
      Put<Int64>(Buffer, Raw, 8);
      Buffer.resize(8);
      Convert = NativeFormat;
      break;
    }
    case ftDate: case ftTime: case ftDateTime: {
      Put<double>(Buffer, Value.IsEmpty() ? 0.0 : Value.AsDateTime().Val, 8);
      Buffer.resize(8);
      Convert = NativeFormat;
      break;
    }
    case ftBytes: {
      TBytes B = BytesOf(Value);
      Buffer.assign(size_t(std::max<Integer>(Size, 0)), 0);
      std::memcpy(Buffer.data(), B.data(), std::min(B.size(), Buffer.size()));
      break;
    }
    case ftVarBytes: {
      TBytes B = BytesOf(Value);
      Word N = Word(std::min<size_t>(B.size(), size_t(std::max<Integer>(Field->GetSize(), 0))));
      Buffer.assign(std::max<size_t>(size_t(Size), size_t(N) + 2), 0);
      std::memcpy(Buffer.data(), &N, 2);
      std::memcpy(Buffer.data() + 2, B.data(), N);
      break;
    }
    case ftBlob: case ftMemo: case ftGraphic: case ftOraBlob: case ftOraClob: case ftVariant: case ftWideMemo:
    case ftFmtMemo: case ftParadoxOle: case ftDBaseOle: case ftTypedBinary:
      PutVariant(Buffer, Value);
      break;
    case ftLargeint: Put<Int64>(Buffer, Value.IsEmpty() ? 0 : Value.AsInt64(), Size); break;
    case ftInterface: case ftIDispatch: {
      Buffer.assign(sizeof(IPtr<IInterface>), 0);
      new (Buffer.data()) IPtr<IInterface>(Value.AsInterface());
      break;
    }
    case ftTimeStamp: case ftOraTimeStamp:
      Put<TSQLTimeStamp>(Buffer, Value.IsEmpty() ? TSQLTimeStamp{} : VarToSQLTimeStamp(Value), Size);
      break;
    case ftFMTBcd: Put<TBcd>(Buffer, Value.IsEmpty() ? TBcd{} : VarToBcd(Value), Size); break;
    case ftLongWord: Put<Cardinal>(Buffer, Value.IsEmpty() ? 0 : Value.AsCardinal(), Size); break;
    case ftShortint: Put<ShortInt>(Buffer, ShortInt(Value.IsEmpty() ? 0 : Value.AsInteger()), Size); break;
    case ftByte: Put<Byte>(Buffer, Byte(Value.IsEmpty() ? 0 : Value.AsInteger()), Size); break;
    case ftExtended: {
      Extended E = Value.IsEmpty() ? 0 : Extended(Value.AsDouble());
      Buffer.assign(size_t(std::max<Integer>(Size, 10)), 0);
      std::memcpy(Buffer.data(), &E, std::min<size_t>(sizeof(E), Buffer.size()));
      break;
    }
    case ftTimeStampOffset:
      Put<TSQLTimeStampOffset>(Buffer, Value.IsEmpty() ? TSQLTimeStampOffset{} : VarToSQLTimeStampOffset(Value), Size);
      break;
    case ftSingle: Put<float>(Buffer, float(Value.IsEmpty() ? 0.0 : Value.AsDouble()), Size); break;
    default:
      Unsupported(Field);
  }
  if (Convert) {
    TValueBuffer Native;
    DataConvert(Field, Buffer, Native, true);
    Buffer.swap(Native);
  }
}

void TCustomMemTableKv::VarValueToPointerBuffer(TField* Field, Variant& Value, Pointer Buffer, bool NativeFormat) {
  switch (Field->GetDataType()) {
    case ftExtended: case ftTimeStampOffset: case ftSingle:
      MemTableFieldDataKv::Unsupported(Field);
    default:
      break;
  }
  TValueBuffer V;
  VarValueToValueBuffer(Field, Value, V, NativeFormat);
  if (Buffer && !V.empty()) std::memcpy(Buffer, V.data(), V.size());
}

bool TCustomMemTableKv::GetFieldData(TField* Field, TValueBuffer& Buffer) { return GetFieldData(Field, Buffer, true); }

bool TCustomMemTableKv::GetFieldData(Integer FieldNo, TValueBuffer& Buffer) {
  TField* F = FieldByNumber(FieldNo);
  return F && GetFieldData(F, Buffer, true);
}

bool TCustomMemTableKv::GetFieldData(TField* Field, TValueBuffer& Buffer, bool NativeFormat) {
  Variant V;
  if (!ReadFieldVar(Field, V)) return false;
  if (V.IsNull() || V.IsEmpty()) return false;
  VarValueToValueBuffer(Field, V, Buffer, NativeFormat);
  return true;
}

bool TCustomMemTableKv::GetFieldData(TField* Field, Pointer Buffer) { return GetFieldData(Field, Buffer, true); }

bool TCustomMemTableKv::GetFieldData(TField* Field, Pointer Buffer, bool NativeFormat) {
  Variant V;
  if (!ReadFieldVar(Field, V)) return false;
  // An unassigned value reads as an empty one here; only Null answers false.
  if (V.IsNull()) return false;
  if (Buffer) VarValueToPointerBuffer(Field, V, Buffer, NativeFormat);
  return true;
}

// ---- Writing ---------------------------------------------------------------------------------------------

Variant TCustomMemTableKv::ValueBufferToVar(TField* Field, const Byte* P, size_t N, bool NativeFormat, bool PointerForm) {
  using namespace MemTableFieldDataKv;
  TValueBuffer Working;
  switch (Field->GetDataType()) {
    case ftBCD: case ftDate: case ftTime: case ftDateTime:
      if (NativeFormat) {
        DataConvert(Field, TValueBuffer(P, P + N), Working, false);
        P = Working.data();
        N = Working.size();
      }
      break;
    default:
      break;
  }
  switch (Field->GetDataType()) {
    case ftString: case ftFixedChar: case ftGuid: {
      size_t L = 0;
      while (L < N && P[L]) ++L;
      AnsiString A(reinterpret_cast<const char*>(P), L);
      return PointerForm ? Variant(A) : Variant(FromAnsi(A.data(), A.size()));
    }
    case ftWideString: {
      const wchar_t* W = reinterpret_cast<const wchar_t*>(P);
      size_t L = 0;
      while (L < N / 2 && W[L]) ++L;
      return Variant(String(W, L));
    }
    case ftSmallint: return Variant(Get<SmallInt>(P, N));
    case ftInteger: case ftAutoInc: return Variant(Get<Integer>(P, N));
    case ftWord: return Variant(Get<Word>(P, N));
    case ftBoolean: return Variant(Get<Word>(P, N) != 0);
    case ftFloat: case ftCurrency: return Variant(Get<double>(P, N));
    case ftBCD: return Variant(Currency::FromRaw(Get<Int64>(P, N)));
    case ftDate: case ftTime: case ftDateTime: {
      double D = Get<double>(P, N);
      return PointerForm ? Variant(TDateTime(D)) : Variant(D);
    }
    case ftBytes: return ByteArrayOf(P, std::min(N, size_t(std::max<Integer>(Field->GetSize(), 0))));
    case ftVarBytes: {
      Word L = N >= 2 ? Get<Word>(P, N) : 0;
      return ByteArrayOf(P + 2, std::min<size_t>(L, N >= 2 ? N - 2 : 0));
    }
    case ftBlob: case ftMemo: case ftGraphic: case ftOraBlob: case ftOraClob: case ftVariant: case ftWideMemo:
      if (N < sizeof(Variant)) return Variant(Null);
      return *std::launder(reinterpret_cast<const Variant*>(P));
    case ftLargeint: return Variant(Get<Int64>(P, N));
    case ftInterface: case ftIDispatch:
      if (N < sizeof(IPtr<IInterface>)) return Variant(Null);
      return Variant(*std::launder(reinterpret_cast<const IPtr<IInterface>*>(P)));
    case ftTimeStamp: case ftOraTimeStamp: return VarSQLTimeStampCreate(Get<TSQLTimeStamp>(P, N));
    case ftFMTBcd: return VarFMTBcdCreate(Get<TBcd>(P, N));
    case ftLongWord: return Variant(Get<Cardinal>(P, N));
    case ftShortint: return Variant(Get<ShortInt>(P, N));
    case ftByte: return Variant(Get<Byte>(P, N));
    case ftExtended:
      if (PointerForm) Unsupported(Field);
      {
        Extended E = 0;
        std::memcpy(&E, P, std::min(N, sizeof(E)));
        return Variant(double(E));
      }
    case ftTimeStampOffset:
      if (PointerForm) Unsupported(Field);
      return VarSQLTimeStampOffsetCreate(Get<TSQLTimeStampOffset>(P, N));
    case ftSingle:
      if (PointerForm) Unsupported(Field);
      return Variant(double(Get<float>(P, N)));
    default:
      Unsupported(Field);
  }
}

void TCustomMemTableKv::CheckFieldWriteState(TField* Field, bool PointerForm) {
  TFieldKind K = Field->GetFieldKind();
  TDataSetState S = GetState();
  bool Checked = K == fkData || K == fkAggregate || (PointerForm && K == fkInternalCalc);
  if (Checked && !dsWriteModes.Contains(S)) DatabaseError(SNotEditing, this);
  if ((K == fkData || K == fkInternalCalc) && Field->GetReadOnly() && S != dsSetKey && S != dsFilter &&
      S != dsCalcFields && S != dsInternalCalc)
    DatabaseErrorFmt(SFieldReadOnly, {Field->GetDisplayName()}, this);
}

void TCustomMemTableKv::StoreFieldValue(TField* Field, Variant& Value, bool) {
  TRecordBuffer Buffer = 0;
  if (!GetActiveRecBuf(Buffer, true)) return;
  CheckFieldDataVarValue(Field, Value);
  // A value the stored field cannot take is refused here, before anything is kept.
  Integer DataIndex = DataIndexOf(Field);
  if (DataIndex >= 0 && !Value.IsNull() && !Value.IsEmpty()) {
    TMTDataFieldKv* DF = GetMemTableData()->GetDataStruct()->GetDataField(DataIndex);
    if (Value.Type() != DF->VarDataType() && DF->VarDataType() != varEmpty) {
      Variant Converted;
      try {
        CastDataValue(Converted, Value, DF->VarDataType());
      } catch (const EVariantError& E) {
        DatabaseError(Format(SFieldValueError, {DF->GetFieldName()}) + L": " + E.Message());
      } catch (const EConvertError& E) {
        DatabaseError(Format(SFieldValueError, {DF->GetFieldName()}) + L": " + E.Message());
      }
    }
  }
  if (FOnSetFieldValue) FOnSetFieldValue(this, Field, Value);
  RecBuf(Buffer)->SetValue(Field, DataIndex, Value, FDataIndexes, GetFields());
  TDataSetState S = GetState();
  if (S != dsCalcFields && S != dsFilter && S != dsNewValue && S != dsInternalCalc)
    DataEvent(deFieldChange, reinterpret_cast<NativeInt>(Field));
}

void TCustomMemTableKv::SetFieldData(TField* Field, const TValueBuffer* Buffer) { SetFieldData(Field, Buffer, true); }

void TCustomMemTableKv::SetFieldData(TField* Field, const TValueBuffer* Buffer, bool NativeFormat) {
  CheckFieldWriteState(Field, false);
  TRecordBuffer Target = 0;
  if (!GetActiveRecBuf(Target, true)) return;
  Field->Validate(Buffer);
  Variant V = Null;
  if (Buffer && !Buffer->empty()) V = ValueBufferToVar(Field, Buffer->data(), Buffer->size(), NativeFormat, false);
  StoreFieldValue(Field, V, false);
}

void TCustomMemTableKv::SetFieldData(TField* Field, Pointer Buffer) { SetFieldData(Field, Buffer, true); }

void TCustomMemTableKv::SetFieldData(TField* Field, Pointer Buffer, bool NativeFormat) {
  CheckFieldWriteState(Field, true);
  TRecordBuffer Target = 0;
  if (!GetActiveRecBuf(Target, true)) return;
  Integer Size = Field->GetDataSize();
  if (!NativeFormat) {
    switch (Field->GetDataType()) {
      case ftDate: case ftTime: case ftDateTime: case ftBCD: Size = 8; break;
      default: break;
    }
  }
  TValueBuffer Copy;
  if (Buffer) Copy.assign(static_cast<const Byte*>(Buffer), static_cast<const Byte*>(Buffer) + Size);
  Field->Validate(Buffer ? &Copy : nullptr);
  Variant V = Null;
  if (Buffer) V = ValueBufferToVar(Field, Copy.data(), Copy.size(), NativeFormat, true);
  StoreFieldValue(Field, V, false);
}

void TCustomMemTableKv::CheckFieldDataVarValue(TField* Field, Variant& VarValue) {
  if (VarValue.IsNull() || VarValue.IsEmpty()) return;
  if (Field->GetDataType() == ftBCD) {
    auto* F = dynamic_cast<TBCDField*>(Field);
    Integer Precision = F ? F->GetPrecision() : 0;
    if (Precision <= 0) return;
    Currency C = VarValue.AsCurrency();
    Int64 Raw = C.Raw();
    // The limit is on the magnitude: a large negative value overflows as a large positive one.
    double Limit = std::pow(10.0, double(Precision - Field->GetSize()));
    if (std::fabs(double(Raw) / 10000.0) > Limit) throw EBcdOverflowException(L"BCD overflow");
    if (Field->GetSize() < 4)
      VarValue = Variant(Currency::FromRaw(MemTableFieldDataKv::RoundCurrencyRaw(Raw, Field->GetSize())));
  } else if (Field->GetDataType() == ftFMTBcd) {
    auto* F = dynamic_cast<TFMTBCDField*>(Field);
    Integer Precision = F ? F->GetPrecision() : 0;
    if (Precision <= 0) return;
    TBcd B = VarToBcd(VarValue);
    if (IsBcdZero(B)) return;
    if (Integer(BcdPrecision(B)) > Precision - Field->GetSize()) throw EBcdOverflowException(L"BCD overflow");
    TBcd N;
    if (!NormalizeBcd(B, N, Word(Precision), Word(Field->GetSize()))) throw EBcdOverflowException(L"BCD overflow");
    VarValue = VarFMTBcdCreate(N);
  }
}

// ---- Other readers and writers ---------------------------------------------------------------------------

bool TCustomMemTableKv::GetFieldValue(TField* Field, Variant& Value) {
  Value = Null;
  TRecordBuffer Buffer = 0;
  if (!GetActiveRecBuf(Buffer)) return false;
  Variant V = RecBuf(Buffer)->GetValue(Field, DataIndexOf(Field));
  if (FOnGetFieldValue) FOnGetFieldValue(this, Field, V);
  if (V.IsNull()) return false;
  Value = V;
  return true;
}

String TCustomMemTableKv::GetFieldDisplayText(TField* Field) {
  if (Field->GetOnGetText()) return Field->GetDisplayText();
  if (MemTableFieldDataKv::IsStringType(Field->GetDataType())) {
    TRecordBuffer Buffer = 0;
    if (!GetActiveRecBuf(Buffer)) return String();
    Variant V = RecBuf(Buffer)->GetValue(Field, DataIndexOf(Field));
    return V.IsNull() || V.IsEmpty() ? String() : VarToStr(V);
  }
  return Field->GetDisplayText();
}

bool TCustomMemTableKv::GetFieldDataAsObject(TField* Field, TObject*& Value) {
  Value = nullptr;
  Variant V;
  if (!GetFieldValue(Field, V)) return false;
  Value = RefObjectFromVariant(V);
  return true;
}

void TCustomMemTableKv::SetFieldDataAsObject(TField* Field, TObject* Value) {
  TDataSetState S = GetState();
  if (!dsWriteModes.Contains(S)) DatabaseError(SNotEditing, this);
  Variant V = Null;
  if (Value) RefObjectToVariant(Value, V);
  StoreFieldValue(Field, V, true);
}

// ---- Calculated and lookup fields ---------------------------------------------------------------------

void TCustomMemTableKv::ClearCalcFields(TRecordBuffer Buffer) {
  if (GetCalcFieldsSize() <= 0) return;
  TMTRecBuf* B = RecBuf(Buffer);
  if (!B) return;
  for (TField* F : *GetFields())
    if (F->GetFieldKind() == fkCalculated || F->GetFieldKind() == fkLookup)
      B->SetValue(F, -1, Variant(Null), FDataIndexes, GetFields());
}

void TCustomMemTableKv::GetCalcFields(TRecordBuffer Buffer) {
  TMTRecBuf* B = RecBuf(Buffer);
  if (!B) return;
  // The values kept in the row's node stand until something asks for them anew.
  if (B->UseMemRec && !B->NeedUpdateCalcFields && B->RecView && B->RecView->HasLookupBuffer()) return;
  ClearCalcFields(Buffer);
  for (TField* F : *GetFields())
    if (F->GetFieldKind() == fkLookup) F->SetAsVariant(CalcLookupValue(F));
  DoOnCalcFields();
  B->NeedUpdateCalcFields = false;
}

Variant TCustomMemTableKv::CalcLookupValue(TField* AField) {
  if (AField->GetLookupCache()) return AField->GetLookupList()->ValueOfKey(GetFieldValues(AField->GetKeyFields()));
  TDataSet* L = AField->GetLookupDataSet();
  if (L && L->GetActive())
    return L->Lookup(AField->GetLookupKeyFields(), GetFieldValues(AField->GetKeyFields()),
                     AField->GetLookupResultField());
  return Null;
}

void TCustomMemTableKv::ViewCalcLookupBuffer(TMemoryRecordKv* Item, TMemRecViewKv* RecView) {
  if (GetCalcFieldsSize() <= 0 || !FActive || !GetTempBuffer()) return;
  TDataSetState Old = SetTempState(dsFilter);
  try {
    RecView->SetLookupBufferLength(GetFields()->GetCount());
    TRecordBuffer T = GetTempBuffer();
    FillRecBufFromRecord(Item, -1, T, false);
    TMTRecBuf* B = RecBuf(T);
    B->RecView = RecView;
    B->NeedUpdateCalcFields = true;
    B->RecordNumber = FRecordsView->IndexOfRec(Item);
    CalculateFields(T);
  } catch (...) {
    RestoreState(Old);
    throw;
  }
  RestoreState(Old);
}

void TCustomMemTableKv::InternalCalcRecord(TMemoryRecordKv* MemRec, TVariantArrayKv& FieldValues) {
  TDataSetState Old = SetTempState(dsInternalCalc);
  InstantReadEnter(MemRec, -1);
  try {
    TRecordBuffer B = InstantBuffer();
    RecBuf(B)->NeedUpdateCalcFields = true;
    TRecordBuffer SavedCalc = FCalcBuffer;
    FCalcBuffer = B;
    try {
      GetCalcFields(B);
    } catch (...) {
      FCalcBuffer = SavedCalc;
      throw;
    }
    FCalcBuffer = SavedCalc;
    TMTRecBuf* R = RecBuf(B);
    for (TField* F : *GetFields()) {
      Integer DI = DataIndexOf(F);
      if (F->GetFieldNo() > 0 && F->GetFieldKind() == fkInternalCalc && DI >= 0 && DI < Integer(FieldValues.size()))
        FieldValues[size_t(DI)] = R->GetValue(F, DI);
    }
  } catch (...) {
    InstantReadLeave();
    RestoreState(Old);
    throw;
  }
  InstantReadLeave();
  RestoreState(Old);
}

// ---- Aggregates ------------------------------------------------------------------------------------------

bool TCustomMemTableKv::GetAggregatesActive() const { return FRecordsView->GetAggregates()->GetActive(); }

void TCustomMemTableKv::SetAggregatesActive(bool Value) {
  if (Value == GetAggregatesActive()) return;
  FRecordsView->GetAggregates()->SetActive(Value);
  if (GetActive() && GetAggFields()->GetCount() > 0) {
    UpdateCursorPos();
    Resync({});
  }
}

Variant TCustomMemTableKv::GetAggregateValue(TField* Field) {
  auto* A = dynamic_cast<TAggregateField*>(Field);
  if (!A || !A->GetHandle() || !GetAggregatesActive()) return Null;
  TRecordBuffer B = 0;
  if (!GetActiveRecBuf(B) && !(GetActive() && GetBufferRecordCount() == 0)) return Null;
  return static_cast<TMTAggregateKv*>(A->GetHandle())->GetValue();
}

void TCustomMemTableKv::ResetAggField(TField* Field) {
  auto* A = dynamic_cast<TAggregateField*>(Field);
  if (!A || !A->GetHandle()) return;
  auto* Item = static_cast<TMTAggregateKv*>(A->GetHandle());
  TMTAggregatesKv* All = FRecordsView->GetAggregates();
  All->BeginUpdate();
  try {
    Item->Assign(A);
    Item->Reset();
    Item->Recalc();
  } catch (...) {
    All->EndUpdate();
    throw;
  }
  All->EndUpdate();
  if (GetActive()) DataEvent(deDataSetChange, 0);
}

// ---- Blobs -------------------------------------------------------------------------------------------------

TStream* TCustomMemTableKv::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
  auto* Blob = dynamic_cast<TBlobField*>(Field);
  if (!Blob) return TDataSet::CreateBlobStream(Field, Mode);
  return new TMemBlobStreamKv(Blob, Mode);
}

TMemBlobStreamKv::TMemBlobStreamKv(TBlobField* Field, TBlobStreamMode Mode)
    : FField(Field), FDataSet(static_cast<TCustomMemTableKv*>(Field->GetDataSet())), FFieldNo(Field->GetFieldNo() - 1) {
  if (!FDataSet || !FDataSet->GetActiveRecBuf(FBuffer)) {
    FReady = true;
    return;
  }
  if (Mode != bmRead) {
    if (Field->GetReadOnly()) DatabaseErrorFmt(SFieldReadOnly, {Field->GetDisplayName()}, FDataSet);
    if (FDataSet->GetState() != dsEdit && FDataSet->GetState() != dsInsert) DatabaseError(SNotEditing, FDataSet);
  }
  if (Mode == bmWrite) {
    FReady = true;
    Truncate();
  } else {
    ReadBlobData();
    FReady = true;
  }
}

void TMemBlobStreamKv::ReadBlobData() {
  Variant V;
  if (!FDataSet->GetFieldValue(FField, V) || V.IsNull()) return;
  TBytes B;
  if (FField->GetBlobType() == ftWideMemo && VarIsStr(V)) {
    String S = VarToStr(V);
    B.resize(S.size() * 2);
    if (!B.empty()) std::memcpy(B.data(), S.data(), B.size());
  } else if (V.Type() == varString || (VarIsStr(V) && FField->GetBlobType() != ftWideMemo)) {
    AnsiString A = V.Type() == varString ? V.AsAnsiString() : MemTableFieldDataKv::ToAnsi(VarToStr(V));
    B.assign(A.begin(), A.end());
  } else {
    B = MemTableFieldDataKv::BytesOf(V);
  }
  if (!B.empty()) TMemoryStream::Write(B.data(), Integer(B.size()));
  SetPosition(0);
}

Integer TMemBlobStreamKv::Write(const void* Buffer, Integer Count) {
  Integer R = TMemoryStream::Write(Buffer, Count);
  if (FReady) FModified = true;
  return R;
}

void TMemBlobStreamKv::SetSize(Int64 NewSize) {
  TMemoryStream::SetSize(NewSize);
  if (FReady) FModified = true;
}

void TMemBlobStreamKv::Truncate() {
  TMemoryStream::SetSize(0);
  FModified = true;
}

TMemBlobStreamKv::~TMemBlobStreamKv() {
  if (FModified && FDataSet) {
    try {
      const Byte* P = static_cast<const Byte*>(GetMemory());
      size_t N = size_t(GetSize());
      Variant V;
      switch (FField->GetBlobType()) {
        case ftMemo: case ftFmtMemo: case ftFixedChar: case ftOraClob:
          V = Variant(AnsiString(reinterpret_cast<const char*>(P), N));
          break;
        case ftFixedWideChar: case ftWideMemo:
          V = Variant(String(reinterpret_cast<const wchar_t*>(P), N / 2));
          break;
        default:
          V = MemTableFieldDataKv::ByteArrayOf(P, N);
          break;
      }
      TValueBuffer B;
      MemTableFieldDataKv::PutVariant(B, V);
      try {
        FDataSet->SetFieldData(FField, &B);
      } catch (...) {
        std::launder(reinterpret_cast<Variant*>(B.data()))->~Variant();
        throw;
      }
      std::launder(reinterpret_cast<Variant*>(B.data()))->~Variant();
    } catch (...) {
      // A destructor cannot raise: the application's handler hears of it.
      try {
        FDataSet->InternalHandleException();
      } catch (...) {
      }
    }
  }
  Clear();
}
