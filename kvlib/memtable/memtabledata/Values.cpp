#include "kvlib/memtable/memtabledata/Values.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>

#include "framework/FMTBcd.h"
#include "framework/SqlTimSt.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/memtable/memtabledata/Internal.h"

TVarType varByteArrayKv = varArray | varByte;
TVarType varUStringKv = varUString;

// ---- Blocks for records and values --------------------------------------------------------------

namespace {

// Size classes of 8 bytes up to 1 KB; larger blocks go to the system heap. A record is sized to
// its values, so a fine grain wastes little.
constexpr size_t MemPoolGrain = 8, MemPoolLimit = 1024, MemPoolChunk = 4 * 1024 * 1024;

// A spin lock: taken for a few instructions, and far cheaper than a mutex under Wine.
class TMemPoolLock {
 public:
  void lock() {
    while (FFlag.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  }
  void unlock() { FFlag.clear(std::memory_order_release); }

 private:
  std::atomic_flag FFlag = ATOMIC_FLAG_INIT;
};

struct TMemBlockPool {
  TMemPoolLock Lock;
  void* Free[MemPoolLimit / MemPoolGrain + 1] = {};
  char* Next = nullptr;
  char* End = nullptr;
  Int64 Taken = 0;
};

TMemBlockPool& MemPool() {
  static TMemBlockPool* P = new TMemBlockPool();  // never freed: blocks may outlive static destruction
  return *P;
}

}  // namespace

void* MemTableAllocKv(size_t Size) {
  if (Size == 0) Size = 1;
  if (Size > MemPoolLimit) return ::operator new(Size);
  size_t Class = (Size + MemPoolGrain - 1) / MemPoolGrain;
  size_t Bytes = Class * MemPoolGrain;
  TMemBlockPool& P = MemPool();
  std::lock_guard<TMemPoolLock> Guard(P.Lock);
  if (void* Block = P.Free[Class]) {
    P.Free[Class] = *static_cast<void**>(Block);
    // The next block of the class is read (and written) by the next request: fetched meanwhile.
    if (char* Next = static_cast<char*>(P.Free[Class])) {
      __builtin_prefetch(Next, 1);
      if (Bytes > 64) __builtin_prefetch(Next + 64, 1);
    }
    return Block;
  }
  if (size_t(P.End - P.Next) < Bytes) {
    // Straight from the system in large pieces: the heap is slow to grow by many medium blocks.
    P.Next = static_cast<char*>(VirtualAlloc(nullptr, MemPoolChunk, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!P.Next) throw std::bad_alloc();
    P.Taken += Int64(MemPoolChunk);
    P.End = P.Next + MemPoolChunk;
  }
  void* Block = P.Next;
  P.Next += Bytes;
  return Block;
}

Int64 MemTablePoolBytesKv() {
  TMemBlockPool& P = MemPool();
  std::lock_guard<TMemPoolLock> Guard(P.Lock);
  return P.Taken;
}

void MemTableFreeKv(void* Block, size_t Size) noexcept {
  if (!Block) return;
  if (Size == 0) Size = 1;
  if (Size > MemPoolLimit) {
    ::operator delete(Block);
    return;
  }
  size_t Class = (Size + MemPoolGrain - 1) / MemPoolGrain;
  TMemBlockPool& P = MemPool();
  std::lock_guard<TMemPoolLock> Guard(P.Lock);
  *static_cast<void**>(Block) = P.Free[Class];
  P.Free[Class] = Block;
}

// ---- Stored value conversion --------------------------------------------------------------------

bool MTIsByteArray(const Variant& V) { return V.Type() == (varArray | varByte); }

TBytes MTByteArrayBytes(const Variant& V) {
  Variant Copy = V;
  Integer Low = VarArrayLowBound(Copy, 1), High = VarArrayHighBound(Copy, 1);
  TBytes Result(size_t(std::max(0, High - Low + 1)));
  if (!Result.empty()) {
    const Byte* P = static_cast<const Byte*>(VarArrayLock(Copy));
    std::copy(P, P + Result.size(), Result.begin());
    VarArrayUnlock(Copy);
  }
  return Result;
}

Variant MTBytesToByteArray(const Byte* Data, size_t Count) {
  Variant Result = VarArrayCreate({0, Integer(Count) - 1}, varByte);
  if (Count) {
    Byte* P = static_cast<Byte*>(VarArrayLock(Result));
    std::copy(Data, Data + Count, P);
    VarArrayUnlock(Result);
  }
  return Result;
}

namespace {

Integer StampTextNumber(const String& Text, Integer Pos, Integer Len) { return StrToInt(Copy(Text, Pos, Len)); }

String StampText(Integer Year, Integer Month, Integer Day, Integer Hour, Integer Minute, Integer Second,
                 Integer Fractions) {
  if (Fractions != 0)
    return Format(L"%.4d-%.2d-%.2dT%.2d:%.2d:%.2d.%.3d", {Year, Month, Day, Hour, Minute, Second, Fractions});
  return Format(L"%.4d-%.2d-%.2dT%.2d:%.2d:%.2d", {Year, Month, Day, Hour, Minute, Second});
}

// Parses the fixed layout, the zone included.
TSQLTimeStampOffset ParseStampText(const String& Text) {
  TSQLTimeStampOffset T;
  Integer Len = Integer(Text.size());
  T.Year = SmallInt(StampTextNumber(Text, 1, 4));
  T.Month = Word(StampTextNumber(Text, 6, 2));
  T.Day = Word(StampTextNumber(Text, 9, 2));
  T.Hour = Len >= 13 ? Word(StampTextNumber(Text, 12, 2)) : 0;
  T.Minute = Len >= 16 ? Word(StampTextNumber(Text, 15, 2)) : 0;
  T.Second = Len >= 19 ? Word(StampTextNumber(Text, 18, 2)) : 0;
  Integer Zone = 20;
  if (Len >= 20 && Text[19] == L'.') {
    T.Fractions = LongWord(StampTextNumber(Text, 21, 3));
    Zone = 24;
  }
  if (Len >= Zone && (Text[size_t(Zone - 1)] == L'+' || Text[size_t(Zone - 1)] == L'-')) {
    Integer Sign = Text[size_t(Zone - 1)] == L'-' ? -1 : 1;
    T.TimeZoneHour = SmallInt(Sign * StampTextNumber(Text, Zone + 1, 2));
    T.TimeZoneMinute = SmallInt(Sign * StampTextNumber(Text, Zone + 4, 2));
  }
  return T;
}

}  // namespace

void CastDataValue(Variant& Dest, const Variant& Source, TVarType AVarType) {
  if (Source.IsNull() || Source.IsEmpty()) {
    Dest = Source;
  } else if (AVarType == varVariant) {
    Dest = Source;
  } else if (MTIsByteArray(Source) && AVarType == varString) {
    ByteArrayVarToVarType(Source, Dest, varString);
  } else if (Source.Type() == varString && AVarType == (varArray | varByte)) {
    StringVarToByteArrayVar(Source, Dest);
  } else if (Source.Type() == AVarType) {
    Dest = Source;
  } else {
    Variant Result;
    VarCast(Result, Source, AVarType);
    Dest = std::move(Result);
  }
}

Variant MTConvertOrNull(const Variant& Source, TVarType AVarType) {
  Variant R;
  try {
    CastDataValue(R, Source, AVarType);
  } catch (const EVariantError&) {
    return Null;
  } catch (const EConvertError&) {
    return Null;
  }
  return R;
}

void StringVarToByteArrayVar(const Variant& Source, Variant& Dest) {
  if (MTIsByteArray(Source)) {
    Dest = Source;
  } else if (Source.Type() == varString) {
    AnsiString S = Source.AsAnsiString();
    Dest = MTBytesToByteArray(reinterpret_cast<const Byte*>(S.data()), S.size());
  }
}

void ByteArrayVarToVarType(const Variant& Source, Variant& Dest, TVarType AVarType) {
  if (AVarType == (varArray | varByte)) {
    Dest = Source;
  } else if (AVarType == varString) {
    TBytes B = MTByteArrayBytes(Source);
    Dest = Variant(AnsiString(B.begin(), B.end()));
  }
}

String SQLTimeStampVarToText(const Variant& Value) {
  TSQLTimeStamp T = VarToSQLTimeStamp(Value);
  return StampText(T.Year, T.Month, T.Day, T.Hour, T.Minute, T.Second, Integer(T.Fractions));
}

String SQLTimeStampOffsetVarToText(const Variant& Value) {
  TSQLTimeStampOffset T = VarToSQLTimeStampOffset(Value);
  String S = StampText(T.Year, T.Month, T.Day, T.Hour, T.Minute, T.Second, Integer(T.Fractions));
  if (T.TimeZoneHour != 0 || T.TimeZoneMinute != 0) {
    Integer Total = T.TimeZoneHour * 60 + T.TimeZoneMinute;
    S += Format(L"%s%.2d:%.2d", {String(Total < 0 ? L"-" : L"+"), std::abs(Integer(T.TimeZoneHour)),
                                 std::abs(Integer(T.TimeZoneMinute))});
  }
  return S;
}

Variant TextToSQLTimeStampVar(const String& Text) {
  return VarSQLTimeStampCreate(SQLTimeStampOffsetToSQLTimeStamp(ParseStampText(Text)));
}

Variant TextToSQLTimeStampOffsetVar(const String& Text) { return VarSQLTimeStampOffsetCreate(ParseStampText(Text)); }

// ---- A stored value read in place -----------------------------------------------------------------

TMTValueRefKv TMTValueRefKv::Of(const Variant& V) {
  TMTValueRefKv R;
  R.VarType = V.Type();
  switch (V.Type()) {
    case varNull: R.Kind = mvkNullKv; break;
    case varEmpty: R.Kind = mvkEmptyKv; break;
    case varShortInt: case varByte: case varSmallint: case varWord: case varInteger: case varLongWord: case varInt64:
      R.Kind = mvkIntegerKv;
      R.Int = V.AsInt64();
      break;
    case varSingle: case varDouble:
      R.Kind = mvkFloatKv;
      R.Float = V.AsDouble();
      break;
    case varDate:
      R.Kind = mvkDateKv;
      R.Float = V.AsDateTime().Val;
      break;
    case varCurrency:
      R.Kind = mvkCurrencyKv;
      R.Int = V.AsCurrency().Raw();
      break;
    case varBoolean:
      R.Kind = mvkBooleanKv;
      R.Bool = V.AsBoolean();
      break;
    case varOleStr: case varString: case varUString: {
      const String* S = V.StringData();
      R.Kind = mvkTextKv;
      R.Text = S->data();
      R.Length = Integer(S->size());
      break;
    }
    default:
      R.Kind = mvkVariantKv;
      R.Value = &V;
      break;
  }
  return R;
}

Variant TMTValueRefKv::ToVariant() const {
  switch (Kind) {
    case mvkNullKv: return Null;
    case mvkEmptyKv: return Unassigned;
    case mvkIntegerKv:
      switch (VarType) {
        case varShortInt: return Variant(static_cast<signed char>(Int));
        case varByte: return Variant(static_cast<unsigned char>(Int));
        case varSmallint: return Variant(static_cast<short>(Int));
        case varWord: return Variant(static_cast<unsigned short>(Int));
        case varLongWord: return Variant(static_cast<unsigned>(Int));
        case varInt64: return Variant(static_cast<long long>(Int));
        default: return Variant(static_cast<int>(Int));
      }
    case mvkFloatKv: return VarType == varSingle ? Variant(static_cast<float>(Float)) : Variant(Float);
    case mvkDateKv: return Variant(TDateTime(Float));
    case mvkCurrencyKv: return Variant(Currency::FromRaw(Int));
    case mvkBooleanKv: return Variant(Bool);
    case mvkTextKv: {
      Variant V(String(Text, size_t(Length)));
      return VarType == varUString ? V : VarAsType(V, VarType);
    }
    case mvkVariantKv: return *Value;
  }
  return Null;
}

Double TMTValueRefKv::AsDouble() const {
  switch (Kind) {
    case mvkIntegerKv: return Double(Int);
    case mvkFloatKv: case mvkDateKv: return Float;
    case mvkCurrencyKv: return Double(Int) / 10000;
    case mvkBooleanKv: return Bool ? -1 : 0;
    default: return ToVariant().AsDouble();
  }
}

namespace {

template <class T>
TVariantRelationship ValuesOrderOf(T A, T B) {
  return A < B ? vrLessThan : B < A ? vrGreaterThan : vrEqual;
}

}  // namespace

TVariantRelationship CompareValueRefsKv(const TMTValueRefKv& A, const TMTValueRefKv& B) {
  if (A.Kind == mvkNullKv || B.Kind == mvkNullKv)
    return A.Kind == B.Kind ? vrEqual : A.Kind == mvkNullKv ? vrLessThan : vrGreaterThan;
  switch (A.Kind) {
    case mvkTextKv:
      if (B.Kind == mvkTextKv) {
        int R = CompareStringW(LOCALE_USER_DEFAULT, 0, A.Text, A.Length, B.Text, B.Length);
        if (R == 0) return ValuesOrderOf(A.TextView(), B.TextView());
        return R == CSTR_LESS_THAN ? vrLessThan : R == CSTR_GREATER_THAN ? vrGreaterThan : vrEqual;
      }
      break;
    case mvkIntegerKv:
      if (B.Kind == mvkIntegerKv) return ValuesOrderOf(A.Int, B.Int);
      if (B.Kind == mvkCurrencyKv && A.Int > -(Int64(1) << 49) && A.Int < (Int64(1) << 49))
        return ValuesOrderOf(A.Int * 10000, B.Int);
      if (B.Kind == mvkFloatKv || B.Kind == mvkDateKv) {
        if (std::isnan(B.Float)) return vrNotEqual;
        return ValuesOrderOf(Double(A.Int), B.Float);
      }
      break;
    case mvkCurrencyKv:
      if (B.Kind == mvkCurrencyKv) return ValuesOrderOf(A.Int, B.Int);
      if (B.Kind == mvkIntegerKv && B.Int > -(Int64(1) << 49) && B.Int < (Int64(1) << 49))
        return ValuesOrderOf(A.Int, B.Int * 10000);
      break;
    case mvkFloatKv: case mvkDateKv:
      if (B.Kind == mvkFloatKv || B.Kind == mvkDateKv || B.Kind == mvkIntegerKv) {
        Double X = A.Float, Y = B.Kind == mvkIntegerKv ? Double(B.Int) : B.Float;
        if (std::isnan(X) || std::isnan(Y)) return vrNotEqual;
        return ValuesOrderOf(X, Y);
      }
      break;
    case mvkBooleanKv:
      if (B.Kind == mvkBooleanKv) return ValuesOrderOf(A.Bool, B.Bool);
      break;
    default:
      break;
  }
  // Mixed kinds, and kinds kept as variants, compare as their variants.
  return DBVarCompareValue(A.Kind == mvkVariantKv ? *A.Value : A.ToVariant(),
                           B.Kind == mvkVariantKv ? *B.Value : B.ToVariant());
}
