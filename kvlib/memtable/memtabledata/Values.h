#pragma once
// Stored values of the in-memory table: the pool their records come from, the conversion every
// stored value passes through, and a stored value read in place (TMTValueRefKv), which the layers
// above compare and read without building a variant per record.

#include <cstring>
#include <string_view>
#include <vector>

#include "framework/Variants.h"

// Blocks for the records and their values, carved from large chunks: a table holds a great many
// small blocks, and the system heap (Wine's above all) spends microseconds on each one. Freed
// blocks are kept for reuse. Blocks are 8-byte aligned. Any thread may allocate.
void* MemTableAllocKv(size_t Size);
void MemTableFreeKv(void* P, size_t Size) noexcept;
// Bytes the pool has taken from the system so far.
Int64 MemTablePoolBytesKv();

template <class T>
struct TMemTableAllocatorKv {
  using value_type = T;
  TMemTableAllocatorKv() = default;
  template <class U>
  TMemTableAllocatorKv(const TMemTableAllocatorKv<U>&) {}
  T* allocate(size_t N) { return static_cast<T*>(MemTableAllocKv(N * sizeof(T))); }
  void deallocate(T* P, size_t N) noexcept { MemTableFreeKv(P, N * sizeof(T)); }
  template <class U>
  bool operator==(const TMemTableAllocatorKv<U>&) const { return true; }
};

using TRecDataValues = std::vector<Variant, TMemTableAllocatorKv<Variant>>;
using TIntArray = std::vector<Integer>;
using TVariantArrayKv = std::vector<Variant>;

// ---- Stored value conversion ------------------------------------------------------------------

// Converts Source for storing under AVarType: Null and Empty stay, varVariant copies, a byte
// array meets varString as the 8-bit string of its bytes, anything else the variant cast.
void CastDataValue(Variant& Dest, const Variant& Source, TVarType AVarType);
void StringVarToByteArrayVar(const Variant& Source, Variant& Dest);
void ByteArrayVarToVarType(const Variant& Source, Variant& Dest, TVarType AVarType);
// "2021-03-04T05:06:07.089" (milliseconds only when not 0), with "+03:00" for an offset.
String SQLTimeStampVarToText(const Variant& Value);
String SQLTimeStampOffsetVarToText(const Variant& Value);
Variant TextToSQLTimeStampVar(const String& Text);
Variant TextToSQLTimeStampOffsetVar(const String& Text);

// The variant type code of a one-dimensional byte array and of a Unicode string, set when the
// unit starts.
extern TVarType varByteArrayKv;
extern TVarType varUStringKv;

// ---- A stored value read in place ---------------------------------------------------------------

// How a stored value reads: by value for numbers, dates and Booleans, as a view of the stored
// characters for a text, as the stored variant for any other kind.
enum TMTValueKindKv : Byte {
  mvkNullKv, mvkEmptyKv, mvkIntegerKv, mvkFloatKv, mvkCurrencyKv, mvkDateKv, mvkBooleanKv, mvkTextKv, mvkVariantKv
};

// One stored value, read without a copy: valid until the record's values change. VarType is the
// type the value has as a variant (GetDataValue answers a variant of that type).
struct TMTValueRefKv {
  TMTValueKindKv Kind = mvkNullKv;
  TVarType VarType = varNull;
  union {
    Int64 Int;          // mvkIntegerKv (any width, signed or not), mvkCurrencyKv (the raw value, 1/10000)
    Double Float;       // mvkFloatKv, mvkDateKv
    bool Bool;          // mvkBooleanKv
    const Variant* Value;  // mvkVariantKv
  };
  const Char* Text = nullptr;  // mvkTextKv
  Integer Length = 0;

  TMTValueRefKv() : Int(0) {}
  bool IsNull() const { return Kind == mvkNullKv; }
  bool IsEmpty() const { return Kind == mvkEmptyKv; }
  std::wstring_view TextView() const { return {Text, size_t(Length)}; }
  // The value as a number: integers, floats, dates and currency (Booleans as -1 and 0); a text
  // or a variant through the variant's conversion.
  Double AsDouble() const;
  Variant ToVariant() const;
  // A reference to a variant's value (which must outlive it); a text variant reads in place.
  static TMTValueRefKv Of(const Variant& V);
};

// The order of DBVarCompareValue on the two values' variants (Null equals Null and comes first;
// texts by the user's collation; numbers of any kinds by value), without making the variants when
// both are of the kinds read in place.
TVariantRelationship CompareValueRefsKv(const TMTValueRefKv& A, const TMTValueRefKv& B);
