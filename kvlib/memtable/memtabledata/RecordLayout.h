#pragma once
// Inside the storage unit only: how a record's values are packed, by field type, in one block.
//
// A set of values (a record's current values, or a copy of them kept for an edit or a change)
// is laid out by its layout, which the records list makes for its structure:
//   - the variant slots (values of kinds not packed: variant fields, BCDs, time stamps, byte
//     arrays, interfaces), 8-byte aligned;
//   - a flags byte (texts held out of line) when the structure has texts;
//   - two state bits a field: a value, Null, Empty, or a value of another type than the field's
//     (written raw by SetValue; kept beside the record);
//   - the fixed slots, unaligned: 1 to 8 bytes for a number, a date or a Boolean, 2 for a text's
//     length;
//   - the text room: the texts' characters one after another, or, when they do not fit, a pointer
//     to a block of their own.
// A set of values starts 4 bytes past an 8-byte boundary, where a record's values begin.

#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "kvlib/memtable/memtabledata/Internal.h"
#include "kvlib/memtable/memtabledata/Records.h"
#include "kvlib/memtable/memtabledata/RecordsList.h"
#include "kvlib/memtable/memtabledata/Values.h"

class TMTDataStructKv;
class TRecordsListKv;
class TMemoryRecordKv;

enum TPackedSlotKindKv : Byte {
  pskShortInt, pskByte, pskSmallint, pskWord, pskInteger, pskLongWord, pskInt64, pskSingle, pskDouble,
  pskCurrency, pskDate, pskBoolean, pskText, pskVariant
};

enum TPackedStateKv : Byte { pstValueKv = 0, pstNullKv = 1, pstEmptyKv = 2, pstOddKv = 3 };

struct TPackedFieldKv {
  TPackedSlotKindKv Kind = pskVariant;
  TVarType VarType = varVariant;
  Word Offset = 0;  // of the slot in a set of values
  Word TextNo = 0;  // for a text: its place among the texts
  String GUID;      // the descriptor's identity, by which values follow their fields
};

class TRecordLayoutKv {
 public:
  // A layout of AStruct's fields (none for a null structure), keeping ATextRoom bytes for texts.
  TRecordLayoutKv(TRecordsListKv* AList, TMTDataStructKv* AStruct, Word ATextRoom);

  TRecordsListKv* List;
  TMTDataStructKv* Struct;
  Int64 Version;  // the structure's layout version it was made for
  std::vector<TPackedFieldKv> Fields;
  std::vector<Word> TextFields;  // field indexes of the texts, in order
  Word VariantsAt = 0;  // the first variant slot
  Word VariantCount = 0;
  Word FlagsAt = 0;   // the flags byte, when there are texts
  Word StatesAt = 0;
  Word TextRoomAt = 0;
  Word TextRoom = 0;  // at least 8 bytes when there are texts
  Word Size = 0;      // of a set of values

  Integer Count() const { return Integer(Fields.size()); }
  bool HasTexts() const { return !TextFields.empty(); }
  bool Current() const;
};

// A set of values laid out by Layout at V. The operations never notify anybody.
class TPackedValuesKv {
 public:
  TPackedValuesKv(const TRecordLayoutKv* ALayout, Byte* AV) : L(ALayout), V(AV) {}

  // Fills fresh memory: every value Null.
  void Init();
  // Frees what the set holds outside itself (out-of-line texts) and ends its variants.
  void Done();
  // Copies Source (of the same layout) into this initialised set.
  void CopyFrom(const TPackedValuesKv& Source);

  TPackedStateKv State(Integer Field) const {
    return TPackedStateKv((V[L->StatesAt + Field / 4] >> ((Field % 4) * 2)) & 3);
  }
  void SetState(Integer Field, TPackedStateKv S) {
    Byte& B = V[L->StatesAt + Field / 4];
    B = Byte((B & ~(3 << ((Field % 4) * 2))) | (S << ((Field % 4) * 2)));
  }
  // The stored value in place; an odd one reads as Odd (the caller has it beside the record).
  TMTValueRefKv Ref(Integer Field, const Variant* Odd = nullptr) const;
  std::wstring_view Text(Integer Field) const;
  // Stores a value of the field's own type (or Null, or Empty). False for another type: the
  // caller keeps it beside the record and marks the field odd.
  bool Put(Integer Field, const Variant& Value);
  // The same for a value read in place (a text's characters are copied).
  bool PutRef(Integer Field, const TMTValueRefKv& Value);
  void PutNull(Integer Field) { SetNullLike(Field, pstNullKv); }
  void PutEmpty(Integer Field) { SetNullLike(Field, pstEmptyKv); }
  // The field holds a value kept elsewhere.
  void MarkOdd(Integer Field) { SetNullLike(Field, pstOddKv); }

  const TRecordLayoutKv* Layout() const { return L; }
  Byte* Data() const { return V; }
  bool TextsOutOfLine() const { return L->HasTexts() && (V[L->FlagsAt] & 1); }
  // Characters of text this set holds.
  size_t TextChars() const;

 private:
  Variant& VariantAt(Integer Field) const { return *reinterpret_cast<Variant*>(V + L->Fields[size_t(Field)].Offset); }
  void SetNullLike(Integer Field, TPackedStateKv S);
  // Replaces text TextNo with S (the other texts stay).
  void PutText(Integer TextNo, std::wstring_view S);
  Word InlineLength(Integer TextNo) const;

  const TRecordLayoutKv* L;
  Byte* V;
};

// A set of values of its own (a copy kept for an edit or a change): one block of the pool, its
// layout first and the values 4 bytes past an 8-byte boundary, as in a record.
class TValuesCopyKv {
 public:
  // A copy of Source, or a set of Nulls when Source is null.
  static TValuesCopyKv* Make(const TRecordLayoutKv* ALayout, const TPackedValuesKv* Source);
  static void operator delete(TValuesCopyKv* P, std::destroying_delete_t) noexcept;
  TValuesCopyKv(const TValuesCopyKv&) = delete;
  TValuesCopyKv& operator=(const TValuesCopyKv&) = delete;
  TPackedValuesKv Values() const { return {FLayout, reinterpret_cast<Byte*>(const_cast<TValuesCopyKv*>(this)) + Lead}; }
  const TRecordLayoutKv* Layout() const { return FLayout; }

 private:
  static constexpr size_t Lead = sizeof(void*) + 4;  // to the values, past the layout
  explicit TValuesCopyKv(const TRecordLayoutKv* ALayout) : FLayout(ALayout) {}
  ~TValuesCopyKv();
  const TRecordLayoutKv* FLayout;
};
struct TValuesCopyDeleteKv {
  void operator()(TValuesCopyKv* P) const noexcept { delete P; }
};
using TValuesCopyPtrKv = std::unique_ptr<TValuesCopyKv, TValuesCopyDeleteKv>;

// What a record keeps only while it is edited, changed under cached updates, refused by an applier
// or holding a value of another type than its field's: made when first needed, so that a record
// that is only browsed stays small. Its records list keeps it for the record.
struct TMemoryRecordKv::TChanges {
  struct TOdd {
    TValueSet Set;
    Integer Field;
    Variant Value;
  };
  TValuesCopyPtrKv TmpOld;      // the pre-edit copy
  TValuesCopyPtrKv Old;         // the values before the first cached modification
  TValuesCopyPtrKv RefreshOld;  // the values before a refresh, for the indexes alone
  std::unique_ptr<TUpdateErrorKv> UpdateError;
  Integer UpdateIndex = -1;
  std::vector<TOdd> Odd;
  bool Empty() const { return !TmpOld && !Old && !RefreshOld && !UpdateError && UpdateIndex < 0 && Odd.empty(); }
};

// Records read and not yet in a list, in blocks of the storage's pool: a pointer array as large
// as a big table's would be fresh memory, slow to touch, on every read. Frees what it still holds.
class TRecordsListKv::TReadRecords {
 public:
  TReadRecords() = default;
  TReadRecords(const TReadRecords&) = delete;
  TReadRecords& operator=(const TReadRecords&) = delete;
  ~TReadRecords() {
    for (size_t I = 0; I < FCount; ++I) delete Slot(I);
    for (TMemoryRecordKv** Chunk : FChunks) MemTableFreeKv(Chunk, ChunkBytes);
  }
  // Takes the record over.
  void Add(std::unique_ptr<TMemoryRecordKv>& Rec) {
    Reserve();
    Slot(FCount++) = Rec.release();
  }
  size_t Count() const { return FCount; }
  TMemoryRecordKv* Peek(size_t I) { return Slot(I); }
  // Hands the record over: this no longer frees it.
  TMemoryRecordKv* Take(size_t I) { return std::exchange(Slot(I), nullptr); }

 private:
  static constexpr size_t ChunkSize = 128, ChunkBytes = ChunkSize * sizeof(TMemoryRecordKv*);
  void Reserve() {
    if (FCount % ChunkSize != 0) return;
    auto* Chunk = static_cast<TMemoryRecordKv**>(MemTableAllocKv(ChunkBytes));
    TMTScopeExitKv Undo([Chunk] { MemTableFreeKv(Chunk, ChunkBytes); });
    FChunks.push_back(Chunk);
    Undo.Dismiss();
  }
  TMemoryRecordKv*& Slot(size_t I) { return FChunks[I / ChunkSize][I % ChunkSize]; }
  std::vector<TMemoryRecordKv**> FChunks;
  size_t FCount = 0;
};

// A run of records in order; records know their chunk by its number.
struct TRecordsListKv::TChunk {
  static constexpr Integer Capacity = 124;  // a chunk fills one block of the pool's largest class
  Integer Ordinal = 0;
  Cardinal Id = 0;
  Integer Count = 0;
  TMemoryRecordKv* Items[Capacity];
  static void* operator new(size_t Size) { return MemTableAllocKv(Size); }
  static void operator delete(void* P, size_t Size) noexcept { MemTableFreeKv(P, Size); }
};
