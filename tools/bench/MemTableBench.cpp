// One million records through the in-memory table's storage and through SQLite's in-memory
// database, the same work in the same process: load, an index on the name, 100,000 lookups
// through it, 10% deleted at random, the storage written to memory and read back. Prints each
// step's time, the ratio to SQLite and the memory per record.
//   memtable_bench [records]
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "framework/Classes.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "kvlib/memtable/MemTableDataKv.h"
#include "sqlite3.h"


namespace {
std::atomic<Int64>& Counter();
}

void* operator new(size_t Size) {
  void* P = std::malloc(Size ? Size : 1);
  if (!P) throw std::bad_alloc();
  Counter() += Int64(_msize(P));
  return P;
}
void operator delete(void* P) noexcept {
  if (!P) return;
  Counter() -= Int64(_msize(P));
  std::free(P);
}
void operator delete(void* P, size_t) noexcept { operator delete(P); }
void* operator new[](size_t Size) { return operator new(Size); }
void operator delete[](void* P) noexcept { operator delete(P); }
void operator delete[](void* P, size_t) noexcept { operator delete(P); }

namespace {

struct TRow {
  Integer Id;
  String Name;
  Int64 Cents;
  Integer Day;  // days since 1899-12-30
};

double Seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Bytes the program holds from the heap, counted by the allocation operators below, and the
// storage's pool.
std::atomic<Int64> HeapBytes{0};

Int64 PrivateBytes() { return HeapBytes.load() + MemTablePoolBytesKv(); }

std::atomic<Int64>& Counter() { return HeapBytes; }

std::vector<TRow> MakeRows(Integer Count) {
  const String Lower = L"abcçdefgğhıijklmnoöprsştuüvyz";
  const String Upper = L"ABCÇDEFGĞHIİJKLMNOÖPRSŞTUÜVYZ";
  std::mt19937 Rng(1071);
  std::vector<TRow> Rows(static_cast<size_t>(Count));
  for (Integer I = 0; I < Count; ++I) {
    TRow& R = Rows[size_t(I)];
    R.Id = I + 1;
    R.Name.resize(10);
    R.Name[0] = Upper[Rng() % Upper.size()];
    for (Integer C = 1; C < 10; ++C) R.Name[size_t(C)] = Lower[Rng() % Lower.size()];
    R.Cents = Int64(Rng() % 10000000);
    R.Day = 36526 + Integer(Rng() % 9000);  // 2000-01-01 onwards
  }
  return Rows;
}

struct TStep {
  const char* Name;
  double Ours = 0;
  double SQLite = 0;
};

void Check(int Rc, sqlite3* Db, int Expected = SQLITE_OK) {
  if (Rc != Expected) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(Db));
    std::exit(2);
  }
}

}  // namespace

int main(int argc, char** argv) {
  FrameworkStartup();
  MemTableDataKvStartup();
  Integer Count = argc > 1 ? std::atoi(argv[1]) : 1000000;
  const Integer Lookups = 100000, Deletes = Count / 10;
  std::vector<TRow> Rows = MakeRows(Count);
  std::mt19937 Rng(1453);
  std::vector<Integer> Probe(static_cast<size_t>(Lookups));
  for (Integer& P : Probe) P = Integer(Rng() % unsigned(Count));
  std::vector<Integer> Gone(static_cast<size_t>(Count));
  for (Integer I = 0; I < Count; ++I) Gone[size_t(I)] = I;
  std::shuffle(Gone.begin(), Gone.end(), Rng);
  Gone.resize(size_t(Deletes));
  std::sort(Gone.begin(), Gone.end());

  TStep Steps[] = {{"load"}, {"index on the name"}, {"100,000 lookups"}, {"delete 10%"}, {"store"}, {"read back"}};
  Integer Found = 0;

  // ---- The storage ----
  Int64 MemBefore = PrivateBytes();
  auto* Data = new TMemTableDataKv(nullptr);
  TMTDataStructKv* S = Data->GetDataStruct();
  S->BuildDataFieldForDef(L"Id", ftInteger, 0, 0);
  S->BuildDataFieldForDef(L"Name", ftWideString, 10, 0);
  S->BuildDataFieldForDef(L"Amount", ftCurrency, 0, 0);
  S->BuildDataFieldForDef(L"Born", ftDate, 0, 0);
  TRecordsListKv* L = Data->GetRecordsList();
  double T0 = Seconds();
  for (const TRow& R : Rows) {
    TMemoryRecordKv* Rec = L->NewRecord();
    Rec->SetDataValue(0, dvvValueKv, Variant(R.Id));
    Rec->SetDataValue(1, dvvValueKv, Variant(R.Name));
    Rec->SetDataValue(2, dvvValueKv, Variant(Currency::FromRaw(R.Cents * 100)));
    Rec->SetDataValue(3, dvvValueKv, Variant(TDateTime(Double(R.Day))));
    L->FetchRecord(Rec);
  }
  Steps[0].Ours = Seconds() - T0;
  T0 = Seconds();
  TMTIndexKv* Index = L->GetIndexes()->Add();
  Index->SetFields(L"Name");
  Index->SetActive(true);
  Steps[1].Ours = Seconds() - T0;
  Int64 MemAfter = PrivateBytes();
  T0 = Seconds();
  for (Integer P : Probe) {
    Integer At;
    if (Index->FindRecordIndexByKey(Variant(Rows[size_t(P)].Name), At)) ++Found;
  }
  Steps[2].Ours = Seconds() - T0;
  T0 = Seconds();
  std::vector<TRecordsRangeKv> Ranges;
  for (Integer G : Gone) {
    if (!Ranges.empty() && Ranges.back().HighIndex == G - 1) Ranges.back().HighIndex = G;
    else Ranges.push_back({G, G});
  }
  L->DeleteRecords(Ranges);
  Steps[3].Ours = Seconds() - T0;
  Data->SetStoreStructInStream(true);
  Data->SetStoreRecordsInStream(true);
  TMemoryStream Stored;
  T0 = Seconds();
  Stored.WriteComponent(Data);
  Steps[4].Ours = Seconds() - T0;
  auto* Back = new TMemTableDataKv(nullptr);
  T0 = Seconds();
  Stored.SetPosition(0);
  Stored.ReadComponent(Back);
  Steps[5].Ours = Seconds() - T0;
  Integer OursLeft = Back->GetRecordsList()->GetCount();
  Int64 OursStored = Stored.GetSize();
  delete Back;
  delete Data;

  // ---- SQLite ----
  sqlite3* Db;
  Check(sqlite3_open(":memory:", &Db), Db);
  Check(sqlite3_exec(Db, "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, amount NUMERIC, born INTEGER)", nullptr,
                     nullptr, nullptr),
        Db);
  sqlite3_stmt* Ins;
  Check(sqlite3_prepare_v2(Db, "INSERT INTO t VALUES(?, ?, ?, ?)", -1, &Ins, nullptr), Db);
  T0 = Seconds();
  Check(sqlite3_exec(Db, "BEGIN", nullptr, nullptr, nullptr), Db);
  for (const TRow& R : Rows) {
    sqlite3_bind_int(Ins, 1, R.Id);
    sqlite3_bind_text16(Ins, 2, R.Name.c_str(), Integer(R.Name.size() * 2), SQLITE_STATIC);
    sqlite3_bind_double(Ins, 3, Double(R.Cents) / 100);
    sqlite3_bind_int(Ins, 4, R.Day);
    Check(sqlite3_step(Ins), Db, SQLITE_DONE);
    sqlite3_reset(Ins);
  }
  Check(sqlite3_exec(Db, "COMMIT", nullptr, nullptr, nullptr), Db);
  Steps[0].SQLite = Seconds() - T0;
  sqlite3_finalize(Ins);
  T0 = Seconds();
  Check(sqlite3_exec(Db, "CREATE INDEX t_name ON t(name)", nullptr, nullptr, nullptr), Db);
  Steps[1].SQLite = Seconds() - T0;
  sqlite3_stmt* Sel;
  Check(sqlite3_prepare_v2(Db, "SELECT id FROM t WHERE name = ?", -1, &Sel, nullptr), Db);
  Integer SqlFound = 0;
  T0 = Seconds();
  for (Integer P : Probe) {
    sqlite3_bind_text16(Sel, 1, Rows[size_t(P)].Name.c_str(), Integer(Rows[size_t(P)].Name.size() * 2), SQLITE_STATIC);
    if (sqlite3_step(Sel) == SQLITE_ROW) ++SqlFound;
    sqlite3_reset(Sel);
  }
  Steps[2].SQLite = Seconds() - T0;
  sqlite3_finalize(Sel);
  sqlite3_stmt* Del;
  Check(sqlite3_prepare_v2(Db, "DELETE FROM t WHERE id = ?", -1, &Del, nullptr), Db);
  T0 = Seconds();
  Check(sqlite3_exec(Db, "BEGIN", nullptr, nullptr, nullptr), Db);
  for (Integer G : Gone) {
    sqlite3_bind_int(Del, 1, G + 1);
    Check(sqlite3_step(Del), Db, SQLITE_DONE);
    sqlite3_reset(Del);
  }
  Check(sqlite3_exec(Db, "COMMIT", nullptr, nullptr, nullptr), Db);
  Steps[3].SQLite = Seconds() - T0;
  sqlite3_finalize(Del);
  sqlite3_int64 Size = 0;
  T0 = Seconds();
  unsigned char* Image = sqlite3_serialize(Db, "main", &Size, 0);
  Steps[4].SQLite = Seconds() - T0;
  sqlite3* Db2;
  Check(sqlite3_open(":memory:", &Db2), Db2);
  T0 = Seconds();
  Check(sqlite3_deserialize(Db2, "main", Image, Size, Size, SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE),
        Db2);
  sqlite3_stmt* Cnt;
  Check(sqlite3_prepare_v2(Db2, "SELECT count(*) FROM t", -1, &Cnt, nullptr), Db2);
  sqlite3_step(Cnt);
  Integer SqlLeft = sqlite3_column_int(Cnt, 0);
  sqlite3_finalize(Cnt);
  Steps[5].SQLite = Seconds() - T0;
  sqlite3_close(Db2);
  sqlite3_close(Db);

  std::printf("%d records; Turkish name order (SysLocale %04x); SQLite %s with its binary collation\n", Count,
              unsigned(SysLocale.DefaultLCID), sqlite3_libversion());
  std::printf("%-20s %10s %10s %8s\n", "step", "storage s", "SQLite s", "ratio");
  for (const TStep& St : Steps) std::printf("%-20s %10.3f %10.3f %8.2f\n", St.Name, St.Ours, St.SQLite, St.Ours / St.SQLite);
  double ValueBytes = 4 + 10 * 2 + 8 + 8;
  double PerRecord = Double(MemAfter - MemBefore) / Count;
  std::printf("heap per record after load and index: %.0f bytes for %.0f bytes of values (%.1fx)\n", PerRecord,
              ValueBytes, PerRecord / ValueBytes);
  std::printf("found %d / %d (SQLite %d); left %d (SQLite %d); stored %lld bytes (SQLite image %lld)\n", Found, Lookups,
              SqlFound, OursLeft, SqlLeft, (long long)OursStored, (long long)Size);
  // Memory touched for the first time is slow to come by here: what the storage's footprint
  // costs in page faults alone.
  {
    size_t Bytes = size_t(MemAfter - MemBefore);
    T0 = Seconds();
    char* M = static_cast<char*>(VirtualAlloc(nullptr, Bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    for (size_t I = 0; M && I < Bytes; I += 4096) M[I] = 1;
    std::printf("first touch of %lld MB of fresh memory alone: %.3f s\n", (long long)(Bytes >> 20), Seconds() - T0);
    if (M) VirtualFree(M, 0, MEM_RELEASE);
  }
  MemTableDataKvShutdown();
  FrameworkShutdown();
  return 0;
}
