// One million records through the in-memory table's storage and through SQLite's in-memory
// database, the same work in the same process: load, an index on the name, 100,000 lookups
// through it, 10% deleted at random, the storage written to memory and read back. Prints each
// step's time, the ratio to SQLite and the memory per record, for a round on fresh memory and a
// second one on memory the first gave back.
//   memtable_bench [records]
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>
#include <chrono>
#include <cstdio>
#include <cstring>
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
// The heap is counted in the first round only, which gives the memory figure: counting costs two
// heap calls for each block the storage takes or gives back (SQLite's blocks are not counted),
// which the second round's times should not carry.
bool Counting = true;
}  // namespace

void* operator new(size_t Size) {
  void* P = std::malloc(Size ? Size : 1);
  if (!P) throw std::bad_alloc();
  if (Counting) Counter() += Int64(_msize(P));
  return P;
}
void operator delete(void* P) noexcept {
  if (!P) return;
  if (Counting) Counter() -= Int64(_msize(P));
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


struct TWork {
  std::vector<TRow> Rows;
  std::vector<Integer> Probe;
  std::vector<Integer> Gone;
};

struct TOutcome {
  Integer Found = 0;
  Integer Left = 0;
  Int64 Stored = 0;
  Int64 Memory = 0;  // heap and pool bytes taken by the loaded and indexed table
};

TOutcome RunStorage(const TWork& W, TStep* Steps) {
  TOutcome Out;
  Int64 MemBefore = PrivateBytes();
  auto* Data = new TMemTableDataKv(nullptr);
  TMTDataStructKv* S = Data->GetDataStruct();
  S->BuildDataFieldForDef(L"Id", ftInteger, 0, 0);
  S->BuildDataFieldForDef(L"Name", ftWideString, 10, 0);
  S->BuildDataFieldForDef(L"Amount", ftCurrency, 0, 0);
  S->BuildDataFieldForDef(L"Born", ftDate, 0, 0);
  TRecordsListKv* L = Data->GetRecordsList();
  double T0 = Seconds();
  for (const TRow& R : W.Rows) {
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
  Out.Memory = PrivateBytes() - MemBefore;
  T0 = Seconds();
  for (Integer P : W.Probe) {
    Integer At;
    if (Index->FindRecordIndexByKey(Variant(W.Rows[size_t(P)].Name), At)) ++Out.Found;
  }
  Steps[2].Ours = Seconds() - T0;
  T0 = Seconds();
  std::vector<TRecordsRangeKv> Ranges;
  for (Integer G : W.Gone) {
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
  Out.Left = Back->GetRecordsList()->GetCount();
  Out.Stored = Stored.GetSize();
  delete Back;
  delete Data;
  return Out;
}

TOutcome RunSQLite(const TWork& W, TStep* Steps) {
  TOutcome Out;
  sqlite3* Db;
  Check(sqlite3_open(":memory:", &Db), Db);
  Check(sqlite3_exec(Db, "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, amount NUMERIC, born INTEGER)", nullptr,
                     nullptr, nullptr),
        Db);
  sqlite3_stmt* Ins;
  Check(sqlite3_prepare_v2(Db, "INSERT INTO t VALUES(?, ?, ?, ?)", -1, &Ins, nullptr), Db);
  double T0 = Seconds();
  Check(sqlite3_exec(Db, "BEGIN", nullptr, nullptr, nullptr), Db);
  for (const TRow& R : W.Rows) {
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
  T0 = Seconds();
  for (Integer P : W.Probe) {
    const String& Name = W.Rows[size_t(P)].Name;
    sqlite3_bind_text16(Sel, 1, Name.c_str(), Integer(Name.size() * 2), SQLITE_STATIC);
    if (sqlite3_step(Sel) == SQLITE_ROW) ++Out.Found;
    sqlite3_reset(Sel);
  }
  Steps[2].SQLite = Seconds() - T0;
  sqlite3_finalize(Sel);
  sqlite3_stmt* Del;
  Check(sqlite3_prepare_v2(Db, "DELETE FROM t WHERE id = ?", -1, &Del, nullptr), Db);
  T0 = Seconds();
  Check(sqlite3_exec(Db, "BEGIN", nullptr, nullptr, nullptr), Db);
  for (Integer G : W.Gone) {
    sqlite3_bind_int(Del, 1, G + 1);
    Check(sqlite3_step(Del), Db, SQLITE_DONE);
    sqlite3_reset(Del);
  }
  Check(sqlite3_exec(Db, "COMMIT", nullptr, nullptr, nullptr), Db);
  Steps[3].SQLite = Seconds() - T0;
  sqlite3_finalize(Del);
  // Stored: the database's image serialised into memory. Read back: the image copied out of
  // that memory into a database of its own, as reading a stream takes the bytes, and counted.
  sqlite3_int64 Size = 0;
  T0 = Seconds();
  unsigned char* Image = sqlite3_serialize(Db, "main", &Size, 0);
  Steps[4].SQLite = Seconds() - T0;
  sqlite3* Db2;
  Check(sqlite3_open(":memory:", &Db2), Db2);
  T0 = Seconds();
  auto* Copy = static_cast<unsigned char*>(sqlite3_malloc64(sqlite3_uint64(Size)));
  std::memcpy(Copy, Image, size_t(Size));
  Check(sqlite3_deserialize(Db2, "main", Copy, Size, Size, SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE),
        Db2);
  sqlite3_stmt* Cnt;
  Check(sqlite3_prepare_v2(Db2, "SELECT count(*) FROM t", -1, &Cnt, nullptr), Db2);
  sqlite3_step(Cnt);
  Out.Left = sqlite3_column_int(Cnt, 0);
  sqlite3_finalize(Cnt);
  Steps[5].SQLite = Seconds() - T0;
  Out.Stored = Size;
  sqlite3_free(Image);
  sqlite3_close(Db2);
  sqlite3_close(Db);
  return Out;
}

}  // namespace

int main(int argc, char** argv) {
  FrameworkStartup();
  MemTableDataKvStartup();
  Integer Count = argc > 1 ? std::atoi(argv[1]) : 1000000;
  const Integer Lookups = 100000, Deletes = Count / 10;
  TWork W;
  W.Rows = MakeRows(Count);
  std::mt19937 Rng(1453);
  W.Probe.resize(size_t(Lookups));
  for (Integer& P : W.Probe) P = Integer(Rng() % unsigned(Count));
  W.Gone.resize(size_t(Count));
  for (Integer I = 0; I < Count; ++I) W.Gone[size_t(I)] = I;
  std::shuffle(W.Gone.begin(), W.Gone.end(), Rng);
  W.Gone.resize(size_t(Deletes));
  std::sort(W.Gone.begin(), W.Gone.end());

  std::printf("%d records; Turkish name order (SysLocale %04x); SQLite %s with its binary collation\n", Count,
              unsigned(SysLocale.DefaultLCID), sqlite3_libversion());
  // The first round takes all its memory fresh from the system; the second reuses what the
  // first gave back (the storage's pool keeps its blocks, the heap its pages), which shows the
  // work apart from the cost of fresh pages (high on some virtual machines).
  for (Integer Round = 1; Round <= 2; ++Round) {
    TStep Steps[] = {{"load"}, {"index on the name"}, {"100,000 lookups"}, {"delete 10%"}, {"store"}, {"read back"}};
    TOutcome Ours = RunStorage(W, Steps);
    TOutcome Lite = RunSQLite(W, Steps);
    std::printf("\nround %d (%s)\n", Round, Round == 1 ? "fresh memory" : "memory reused");
    std::printf("%-20s %10s %10s %8s\n", "step", "storage s", "SQLite s", "ratio");
    double SumOurs = 0, SumLite = 0;
    for (const TStep& St : Steps) {
      std::printf("%-20s %10.3f %10.3f %8.2f\n", St.Name, St.Ours, St.SQLite, St.Ours / St.SQLite);
      SumOurs += St.Ours;
      SumLite += St.SQLite;
    }
    std::printf("%-20s %10.3f %10.3f %8.2f\n", "all steps", SumOurs, SumLite, SumOurs / SumLite);
    std::printf("found %d / %d (SQLite %d); left %d (SQLite %d); stored %lld bytes (SQLite image %lld)\n", Ours.Found,
                Lookups, Lite.Found, Ours.Left, Lite.Left, (long long)Ours.Stored, (long long)Lite.Stored);
    if (Round == 1) {
      double ValueBytes = 4 + 10 * 2 + 8 + 8;
      double PerRecord = Double(Ours.Memory) / Count;
      std::printf("memory per record after load and index: %.0f bytes for %.0f bytes of values (%.1fx)\n", PerRecord,
                  ValueBytes, PerRecord / ValueBytes);
      // What the storage's footprint costs in first touches of fresh pages alone.
      size_t Bytes = size_t(Ours.Memory);
      double T0 = Seconds();
      char* M = static_cast<char*>(VirtualAlloc(nullptr, Bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
      for (size_t I = 0; M && I < Bytes; I += 4096) M[I] = 1;
      std::printf("first touch of %lld MB of fresh memory alone: %.3f s\n", (long long)(Bytes >> 20), Seconds() - T0);
      if (M) VirtualFree(M, 0, MEM_RELEASE);
      Counting = false;
    }
  }
  MemTableDataKvShutdown();
  FrameworkShutdown();
  return 0;
}
