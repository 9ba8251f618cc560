#include "kvlib/memtable/memtabledata/RecordLayout.h"

#include <algorithm>
#include <cstring>

#include "kvlib/memtable/memtabledata/DataFields.h"

namespace {

constexpr Word PackedLongText = 0xFFFF;  // an inline length that does not fit: texts out of line
constexpr Byte PackedTextsOut = 1;

TPackedSlotKindKv PackedKindOf(TVarType T) {
  switch (T) {
    case varShortInt: return pskShortInt;
    case varByte: return pskByte;
    case varSmallint: return pskSmallint;
    case varWord: return pskWord;
    case varInteger: return pskInteger;
    case varLongWord: return pskLongWord;
    case varInt64: return pskInt64;
    case varSingle: return pskSingle;
    case varDouble: return pskDouble;
    case varCurrency: return pskCurrency;
    case varDate: return pskDate;
    case varBoolean: return pskBoolean;
    case varOleStr: case varString: case varUString: return pskText;
    default: return pskVariant;
  }
}

Word PackedSlotBytes(TPackedSlotKindKv K) {
  switch (K) {
    case pskShortInt: case pskByte: case pskBoolean: return 1;
    case pskSmallint: case pskWord: case pskText: return 2;
    case pskInteger: case pskLongWord: case pskSingle: return 4;
    case pskVariant: return sizeof(Variant);
    default: return 8;
  }
}

template <class T>
T PackedLoad(const Byte* P) {
  T X;
  std::memcpy(&X, P, sizeof(X));
  return X;
}

template <class T>
void PackedStore(Byte* P, T X) {
  std::memcpy(P, &X, sizeof(X));
}

// A block of texts held out of line: its size, then each text's length, then the characters.
struct TPackedTextBlock {
  Cardinal Bytes;
  Cardinal Count;
  Cardinal* Lengths() { return reinterpret_cast<Cardinal*>(this + 1); }
  Char* Chars() { return reinterpret_cast<Char*>(Lengths() + Count); }
  static size_t BytesFor(size_t Count, size_t Chars) {
    return sizeof(TPackedTextBlock) + Count * sizeof(Cardinal) + Chars * sizeof(Char);
  }
};

}  // namespace

// ---- The layout ---------------------------------------------------------------------------------

TRecordLayoutKv::TRecordLayoutKv(TRecordsListKv* AList, TMTDataStructKv* AStruct, Word ATextRoom)
    : List(AList), Struct(AStruct), Version(AStruct ? AStruct->GetLayoutVersion() : 0) {
  Integer N = AStruct ? AStruct->GetCount() : 0;
  Fields.resize(size_t(N));
  for (Integer I = 0; I < N; ++I) {
    TMTDataFieldKv* F = AStruct->GetDataField(I);
    TPackedFieldKv& P = Fields[size_t(I)];
    P.VarType = F->VarDataType();
    P.Kind = PackedKindOf(P.VarType);
    P.GUID = F->GetGUID();
    if (P.Kind == pskVariant) ++VariantCount;
    if (P.Kind == pskText) {
      P.TextNo = Word(TextFields.size());
      TextFields.push_back(Word(I));
    }
  }
  // A set of values starts 4 bytes past an 8-byte boundary: the variants begin at the next one.
  Word At = VariantCount ? 4 : 0;
  VariantsAt = At;
  for (TPackedFieldKv& P : Fields)
    if (P.Kind == pskVariant) {
      P.Offset = At;
      At = Word(At + sizeof(Variant));
    }
  FlagsAt = At;
  if (HasTexts()) ++At;
  StatesAt = At;
  At = Word(At + (N + 3) / 4);
  for (TPackedFieldKv& P : Fields)
    if (P.Kind != pskVariant) {
      P.Offset = At;
      At = Word(At + PackedSlotBytes(P.Kind));
    }
  TextRoomAt = At;
  TextRoom = HasTexts() ? std::max<Word>(ATextRoom, sizeof(void*)) : 0;
  Size = Word(At + TextRoom);
}

bool TRecordLayoutKv::Current() const { return !Struct || Struct->GetLayoutVersion() == Version; }

// ---- A set of values ----------------------------------------------------------------------------

void TPackedValuesKv::Init() {
  std::memset(V, 0, L->Size);
  for (const TPackedFieldKv& P : L->Fields)
    if (P.Kind == pskVariant) new (V + P.Offset) Variant();
  // Two bits a field, 01: Null.
  std::memset(V + L->StatesAt, 0x55, size_t((L->Count() + 3) / 4));
}

void TPackedValuesKv::Done() {
  if (TextsOutOfLine()) {
    auto* B = PackedLoad<TPackedTextBlock*>(V + L->TextRoomAt);
    MemTableFreeKv(B, B->Bytes);
    V[L->FlagsAt] = 0;
  }
  if (L->VariantCount)
    for (const TPackedFieldKv& P : L->Fields)
      if (P.Kind == pskVariant) VariantAt(Integer(&P - L->Fields.data())).~Variant();
}

void TPackedValuesKv::CopyFrom(const TPackedValuesKv& Source) {
  // The fixed part byte for byte; variants and texts by their own rules.
  Done();
  Init();
  std::memcpy(V + L->FlagsAt, Source.V + L->FlagsAt, size_t(L->TextRoomAt - L->FlagsAt));
  if (L->HasTexts()) V[L->FlagsAt] = 0;
  for (Integer I = 0; I < L->Count(); ++I) {
    const TPackedFieldKv& P = L->Fields[size_t(I)];
    if (P.Kind == pskVariant && Source.State(I) == pstValueKv) VariantAt(I) = Source.VariantAt(I);
  }
  if (L->HasTexts()) {
    for (Word T = 0; T < L->TextFields.size(); ++T) PackedStore<Word>(V + L->Fields[L->TextFields[T]].Offset, 0);
    for (Word T = 0; T < L->TextFields.size(); ++T) PutText(T, Source.Text(L->TextFields[T]));
  }
}

size_t TPackedValuesKv::TextChars() const {
  size_t N = 0;
  for (Word F : L->TextFields) N += Text(F).size();
  return N;
}

Word TPackedValuesKv::InlineLength(Integer TextNo) const {
  return PackedLoad<Word>(V + L->Fields[L->TextFields[size_t(TextNo)]].Offset);
}

std::wstring_view TPackedValuesKv::Text(Integer Field) const {
  const TPackedFieldKv& P = L->Fields[size_t(Field)];
  if (TextsOutOfLine()) {
    auto* B = PackedLoad<TPackedTextBlock*>(V + L->TextRoomAt);
    size_t At = 0;
    for (Word T = 0; T < P.TextNo; ++T) At += B->Lengths()[T];
    return {B->Chars() + At, B->Lengths()[P.TextNo]};
  }
  size_t At = 0;
  for (Word T = 0; T < P.TextNo; ++T) At += InlineLength(T);
  return {reinterpret_cast<const Char*>(V + L->TextRoomAt) + At, InlineLength(P.TextNo)};
}

void TPackedValuesKv::PutText(Integer TextNo, std::wstring_view S) {
  size_t N = L->TextFields.size();
  // The texts as they will be: every other one stays.
  size_t Total = S.size();
  bool Fits = S.size() < PackedLongText;
  for (size_t T = 0; T < N; ++T)
    if (Integer(T) != TextNo) {
      size_t Len = Text(L->TextFields[T]).size();
      Total += Len;
      Fits = Fits && Len < PackedLongText;
    }
  Fits = Fits && Total * sizeof(Char) <= L->TextRoom;
  bool WasOut = TextsOutOfLine();
  if (Fits && !WasOut) {
    // In place: the texts after this one move by the change in its length.
    Char* Room = reinterpret_cast<Char*>(V + L->TextRoomAt);
    size_t At = 0, After = 0;
    for (Integer T = 0; T < TextNo; ++T) At += InlineLength(T);
    size_t Old = InlineLength(TextNo);
    for (size_t T = size_t(TextNo) + 1; T < N; ++T) After += InlineLength(Integer(T));
    std::memmove(Room + At + S.size(), Room + At + Old, After * sizeof(Char));
    if (!S.empty()) std::memcpy(Room + At, S.data(), S.size() * sizeof(Char));
    PackedStore<Word>(V + L->Fields[L->TextFields[size_t(TextNo)]].Offset, Word(S.size()));
    return;
  }
  // Gathered anew: in the room when they fit, else in a block of their own.
  std::vector<std::wstring_view> Texts(N);
  for (size_t T = 0; T < N; ++T) Texts[T] = Integer(T) == TextNo ? S : Text(L->TextFields[T]);
  if (Fits) {
    // Leaving a block of their own: S is never in it.
    auto* Old = PackedLoad<TPackedTextBlock*>(V + L->TextRoomAt);
    Char* Room = reinterpret_cast<Char*>(V + L->TextRoomAt);
    size_t At = 0;
    for (size_t T = 0; T < N; ++T) {
      std::memmove(Room + At, Texts[T].data(), Texts[T].size() * sizeof(Char));
      PackedStore<Word>(V + L->Fields[L->TextFields[T]].Offset, Word(Texts[T].size()));
      At += Texts[T].size();
    }
    V[L->FlagsAt] &= Byte(~PackedTextsOut);
    MemTableFreeKv(Old, Old->Bytes);
    return;
  }
  size_t Bytes = TPackedTextBlock::BytesFor(N, Total);
  if (Bytes > 0xFFFFFFFFu) throw std::bad_alloc();
  auto* B = static_cast<TPackedTextBlock*>(MemTableAllocKv(Bytes));
  B->Bytes = Cardinal(Bytes);
  B->Count = Cardinal(N);
  size_t At = 0;
  for (size_t T = 0; T < N; ++T) {
    B->Lengths()[T] = Cardinal(Texts[T].size());
    std::memcpy(B->Chars() + At, Texts[T].data(), Texts[T].size() * sizeof(Char));
    At += Texts[T].size();
  }
  TPackedTextBlock* Old = WasOut ? PackedLoad<TPackedTextBlock*>(V + L->TextRoomAt) : nullptr;
  PackedStore(V + L->TextRoomAt, B);
  V[L->FlagsAt] |= PackedTextsOut;
  if (Old) MemTableFreeKv(Old, Old->Bytes);
}

TMTValueRefKv TPackedValuesKv::Ref(Integer Field, const Variant* Odd) const {
  TMTValueRefKv R;
  switch (State(Field)) {
    case pstNullKv:
      return R;
    case pstEmptyKv:
      R.Kind = mvkEmptyKv;
      R.VarType = varEmpty;
      return R;
    case pstOddKv:
      return Odd ? TMTValueRefKv::Of(*Odd) : R;
    case pstValueKv:
      break;
  }
  const TPackedFieldKv& P = L->Fields[size_t(Field)];
  const Byte* S = V + P.Offset;
  R.VarType = P.VarType;
  switch (P.Kind) {
    case pskShortInt: R.Kind = mvkIntegerKv; R.Int = PackedLoad<std::int8_t>(S); break;
    case pskByte: R.Kind = mvkIntegerKv; R.Int = PackedLoad<std::uint8_t>(S); break;
    case pskSmallint: R.Kind = mvkIntegerKv; R.Int = PackedLoad<std::int16_t>(S); break;
    case pskWord: R.Kind = mvkIntegerKv; R.Int = PackedLoad<std::uint16_t>(S); break;
    case pskInteger: R.Kind = mvkIntegerKv; R.Int = PackedLoad<std::int32_t>(S); break;
    case pskLongWord: R.Kind = mvkIntegerKv; R.Int = PackedLoad<std::uint32_t>(S); break;
    case pskInt64: R.Kind = mvkIntegerKv; R.Int = PackedLoad<Int64>(S); break;
    case pskSingle: R.Kind = mvkFloatKv; R.Float = PackedLoad<Single>(S); break;
    case pskDouble: R.Kind = mvkFloatKv; R.Float = PackedLoad<Double>(S); break;
    case pskDate: R.Kind = mvkDateKv; R.Float = PackedLoad<Double>(S); break;
    case pskCurrency: R.Kind = mvkCurrencyKv; R.Int = PackedLoad<Int64>(S); break;
    case pskBoolean: R.Kind = mvkBooleanKv; R.Bool = *S != 0; break;
    case pskText: {
      std::wstring_view T = Text(Field);
      R.Kind = mvkTextKv;
      R.Text = T.data();
      R.Length = Integer(T.size());
      break;
    }
    case pskVariant:
      R = TMTValueRefKv::Of(VariantAt(Field));
      break;
  }
  return R;
}

void TPackedValuesKv::SetNullLike(Integer Field, TPackedStateKv S) {
  const TPackedFieldKv& P = L->Fields[size_t(Field)];
  if (P.Kind == pskText && State(Field) == pstValueKv) PutText(P.TextNo, {});
  else if (P.Kind == pskVariant) VariantAt(Field).Clear();
  SetState(Field, S);
}

bool TPackedValuesKv::Put(Integer Field, const Variant& Value) {
  if (Value.IsNull()) {
    PutNull(Field);
    return true;
  }
  if (Value.IsEmpty()) {
    PutEmpty(Field);
    return true;
  }
  const TPackedFieldKv& P = L->Fields[size_t(Field)];
  if (Value.Type() != P.VarType && P.VarType != varVariant) return false;
  Byte* S = V + P.Offset;
  switch (P.Kind) {
    case pskShortInt: PackedStore<std::int8_t>(S, std::int8_t(Value.AsInteger())); break;
    case pskByte: PackedStore<std::uint8_t>(S, std::uint8_t(Value.AsInteger())); break;
    case pskSmallint: PackedStore<std::int16_t>(S, std::int16_t(Value.AsInteger())); break;
    case pskWord: PackedStore<std::uint16_t>(S, std::uint16_t(Value.AsInteger())); break;
    case pskInteger: PackedStore<std::int32_t>(S, Value.AsInteger()); break;
    case pskLongWord: PackedStore<std::uint32_t>(S, std::uint32_t(Value.AsInt64())); break;
    case pskInt64: PackedStore<Int64>(S, Value.AsInt64()); break;
    case pskSingle: PackedStore<Single>(S, Single(Value.AsDouble())); break;
    case pskDouble: PackedStore<Double>(S, Value.AsDouble()); break;
    case pskDate: PackedStore<Double>(S, Value.AsDateTime().Val); break;
    case pskCurrency: PackedStore<Int64>(S, Value.AsCurrency().Raw()); break;
    case pskBoolean: *S = Value.AsBoolean() ? 1 : 0; break;
    case pskText: {
      const String* T = Value.StringData();
      PutText(P.TextNo, *T);
      break;
    }
    case pskVariant:
      VariantAt(Field) = Value;
      break;
  }
  SetState(Field, pstValueKv);
  return true;
}

bool TPackedValuesKv::PutRef(Integer Field, const TMTValueRefKv& R) {
  const TPackedFieldKv& P = L->Fields[size_t(Field)];
  switch (R.Kind) {
    case mvkNullKv:
      PutNull(Field);
      return true;
    case mvkEmptyKv:
      PutEmpty(Field);
      return true;
    case mvkVariantKv:
      return Put(Field, *R.Value);
    default:
      break;
  }
  if (P.Kind == pskVariant) return Put(Field, R.ToVariant());
  if (R.VarType != P.VarType) return false;
  Byte* S = V + P.Offset;
  switch (P.Kind) {
    case pskShortInt: PackedStore<std::int8_t>(S, std::int8_t(R.Int)); break;
    case pskByte: PackedStore<std::uint8_t>(S, std::uint8_t(R.Int)); break;
    case pskSmallint: PackedStore<std::int16_t>(S, std::int16_t(R.Int)); break;
    case pskWord: PackedStore<std::uint16_t>(S, std::uint16_t(R.Int)); break;
    case pskInteger: PackedStore<std::int32_t>(S, std::int32_t(R.Int)); break;
    case pskLongWord: PackedStore<std::uint32_t>(S, std::uint32_t(R.Int)); break;
    case pskInt64: case pskCurrency: PackedStore<Int64>(S, R.Int); break;
    case pskSingle: PackedStore<Single>(S, Single(R.Float)); break;
    case pskDouble: case pskDate: PackedStore<Double>(S, R.Float); break;
    case pskBoolean: *S = R.Bool ? 1 : 0; break;
    case pskText: PutText(P.TextNo, R.TextView()); break;
    case pskVariant: break;
  }
  SetState(Field, pstValueKv);
  return true;
}

// ---- A copy of a set of values --------------------------------------------------------------------

TValuesCopyKv* TValuesCopyKv::Make(const TRecordLayoutKv* ALayout, const TPackedValuesKv* Source) {
  void* Block = MemTableAllocKv(Lead + ALayout->Size);
  TValuesCopyPtrKv C(new (Block) TValuesCopyKv(ALayout));
  TPackedValuesKv V = C->Values();
  V.Init();
  if (Source) V.CopyFrom(*Source);
  return C.release();
}

TValuesCopyKv::~TValuesCopyKv() { Values().Done(); }

void TValuesCopyKv::operator delete(TValuesCopyKv* P, std::destroying_delete_t) noexcept {
  size_t Bytes = Lead + P->FLayout->Size;
  P->~TValuesCopyKv();
  MemTableFreeKv(P, Bytes);
}
