// One million records through the in-memory table's storage and through SQLite's in-memory
// database, the same work in the same process: load, an index on the name in Turkish order (SQLite
// with a collation of ours registered, its rollback journal off), the two orders checked equal,
// 100,000 lookups through the index, 10,000 records deleted one by one from the middle, 10% deleted
// at random, the table written to memory and read back. One name in a thousand holds punctuation
// or an accented letter. Before the deletions, a records view over the table sorts by the name
// (SQLite: ORDER BY without its index, the two orders checked equal) and takes the filter
// Amount > 500 and Born >= '2020-01-01' (SQLite: the same WHERE on unindexed columns, the same ids
// checked); the view's own memory per record is counted, and refreshes must not grow the pool.
//
// The first round touches fresh memory; the rounds after it reuse what the first gave back, with
// the two sides taking turns to go first, and their medians are printed. Memory per record is
// counted after load and index on both sides: the process's committed private memory for the storage,
// SQLite's own count for SQLite.
//   memtable_bench [records] [rounds]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "kvlib/memtable/MemTableDataKv.h"
#include "sqlite3.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

// The process's committed private memory (heap and the storage's pool alike), before and after the table
// is loaded and indexed on fresh memory: what the table takes, at no cost to the times.
Int64 PrivateBytes() {
  // Committed private memory, region by region (Wine answers no private usage of its own).
  Int64 Sum = 0;
  MEMORY_BASIC_INFORMATION M;
  for (char* P = nullptr; VirtualQuery(P, &M, sizeof(M)) == sizeof(M); P = static_cast<char*>(M.BaseAddress) + M.RegionSize) {
    if (M.State == MEM_COMMIT && M.Type == MEM_PRIVATE) Sum += Int64(M.RegionSize);
    if (static_cast<char*>(M.BaseAddress) + M.RegionSize <= P) break;
  }
  return Sum;
}

double Seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

struct TRow {
  Integer Id;
  String Name;
  Int64 Cents;
  Integer Day;  // days since 1899-12-30
};

std::vector<TRow> MakeRows(Integer Count) {
  const String Lower = L"abcçdefgğhıijklmnoöprsştuüvyz";
  const String Upper = L"ABCÇDEFGĞHIİJKLMNOÖPRSŞTUÜVYZ";
  // What one name in a thousand holds: a hyphen, an apostrophe, a full stop, accents.
  const wchar_t* Odd[] = {L"-", L"'", L".", L"é", L"â", L"Ê", L" ", L"ß"};
  std::mt19937 Rng(1071);
  std::vector<TRow> Rows(static_cast<size_t>(Count));
  for (Integer I = 0; I < Count; ++I) {
    TRow& R = Rows[size_t(I)];
    R.Id = I + 1;
    R.Name.resize(10);
    R.Name[0] = Upper[Rng() % Upper.size()];
    for (Integer C = 1; C < 10; ++C) R.Name[size_t(C)] = Lower[Rng() % Lower.size()];
    if (I % 1000 == 500) R.Name[1 + Rng() % 8] = Odd[(I / 1000) % std::size(Odd)][0];
    R.Cents = Int64(Rng() % 10000000);
    R.Day = 36526 + Integer(Rng() % 9000);  // 2000-01-01 onwards
  }
  return Rows;
}

// The Turkish order our index keeps: SQLite compares through the same routine, with the texts
// it keeps as UTF-8 turned into UTF-16 on the way.
Integer CompareTurkish(const Char* A, Integer NA, const Char* B, Integer NB) {
  return TurkishCompareKv(A, NA, B, NB);
}

size_t Utf8ToUtf16(const unsigned char* S, int N, std::wstring& Out) {
  Out.clear();
  for (int I = 0; I < N;) {
    unsigned C = S[I];
    if (C < 0x80) {
      Out += wchar_t(C);
      ++I;
      continue;
    }
    int More = C >= 0xF0 ? 3 : C >= 0xE0 ? 2 : 1;
    unsigned Code = C & (0x3F >> More);
    for (int K = 1; K <= More && I + K < N; ++K) Code = (Code << 6) | (S[I + K] & 0x3F);
    I += More + 1;
    if (Code >= 0x10000) {
      Code -= 0x10000;
      Out += wchar_t(0xD800 + (Code >> 10));
      Out += wchar_t(0xDC00 + (Code & 0x3FF));
    } else {
      Out += wchar_t(Code);
    }
  }
  return Out.size();
}

int CollateTR(void*, int NA, const void* A, int NB, const void* B) {
  static thread_local std::wstring WA, WB;
  Utf8ToUtf16(static_cast<const unsigned char*>(A), NA, WA);
  Utf8ToUtf16(static_cast<const unsigned char*>(B), NB, WB);
  return CompareTurkish(WA.data(), Integer(WA.size()), WB.data(), Integer(WB.size()));
}

void Check(int Rc, sqlite3* Db, int Expected = SQLITE_OK) {
  if (Rc != Expected) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(Db));
    std::exit(2);
  }
}

enum TStepNo { stLoad, stIndex, stLookups, stViewSort, stViewFilter, stMiddle, stRandom, stStore, stReadBack, stCount };
const char* const StepNames[stCount] = {"load", "index on the name", "100,000 lookups", "view sort by name",
                                        "view filter", "delete 10,000 (middle)", "delete 10% (random)", "store",
                                        "read back"};
const wchar_t* const ViewFilter = L"Amount > 500 and Born >= '2020-01-01'";
const Integer FilterDay = 43831;  // 2020-01-01

struct TTimes {
  double At[stCount] = {};
  bool Estimated[stCount] = {};
};

struct TWork {
  std::vector<TRow> Rows;
  std::vector<Integer> Probe;   // rows looked up
  Integer MiddleAt = 0;         // the position deleted from, 10,000 times
  std::vector<Integer> Gone;    // ids deleted at random, ascending
};

struct TOutcome {
  Integer Found = 0;
  Integer Left = 0;
  Int64 Stored = 0;
  Int64 Memory = 0;  // bytes taken by the loaded and indexed table
  std::vector<String> Order;  // the names in index order
  Integer Scanned = 0;  // values read back
  std::vector<Integer> Sorted;    // ids in the view's name order
  std::vector<Integer> Filtered;  // ids the filter kept
  Int64 ViewMemory = 0;   // bytes the flat view took
  Int64 PoolGrowth = -1;  // bytes the pool grew by over repeated refreshes
  double RefreshSeconds = 0;  // one refresh of the plain view
};

// A dataset of the table's fields, for the filter parser.
TArrayDataSet* MakeFieldsDataSet() {
  auto* DS = new TArrayDataSet(nullptr);
  DS->GetFieldDefs()->Add(L"Id", ftInteger);
  DS->GetFieldDefs()->Add(L"Name", ftWideString, 10);
  DS->GetFieldDefs()->Add(L"Amount", ftCurrency);
  DS->GetFieldDefs()->Add(L"Born", ftDate);
  for (TFieldDef* D : DS->GetFieldDefList()) D->CreateField(DS);
  DS->Open();
  return DS;
}

std::vector<Integer> ViewIds(TRecordsViewKv* V) {
  std::vector<Integer> R;
  R.reserve(size_t(V->Count()));
  for (Integer I = 0; I < V->Count(); ++I) R.push_back(V->Rec(I)->GetValueRef(0).Int);
  return R;
}

// The view steps: memory of a plain flat view, the sort by name, the filter.
void RunView(TMemTableDataKv* Data, TOutcome& Out, TTimes& T, bool Check) {
  Int64 Before = PrivateBytes();
  auto* V = new TRecordsViewKv(nullptr);
  V->SetMemTableData(Data);
  Out.ViewMemory = PrivateBytes() - Before;
  Int64 Pool = MemTablePoolBytesKv();
  double T0 = Seconds();
  for (int I = 0; I < 3; ++I) V->RefreshFilteredRecsList(false);
  Out.RefreshSeconds = (Seconds() - T0) / 3;
  Out.PoolGrowth = MemTablePoolBytesKv() - Pool;
  T0 = Seconds();
  V->SetSortOrder(L"Name");
  T.At[stViewSort] = Seconds() - T0;
  if (Check) Out.Sorted = ViewIds(V);
  delete V;
  TArrayDataSet* DS = MakeFieldsDataSet();
  TDataSetExprParserKv Filter(DS, dsptFilterKv);
  Filter.ParseExpression(ViewFilter);
  // The table's one view takes a filter: the view refreshed with it.
  V = new TRecordsViewKv(DS);
  V->SetMemTableData(Data);
  V->SetOnFilterRecord([&Filter](TMemoryRecordKv* Rec, TMemRecViewKv*) { return Filter.IsCurRecordInFilter(Rec); });
  T0 = Seconds();
  V->RefreshFilteredRecsList(true);
  T.At[stViewFilter] = Seconds() - T0;
  if (Check) Out.Filtered = ViewIds(V);
  delete V;
  delete DS;
}

const Integer MiddleDeletes = 10000;
// A step that would take longer than this is stopped and its time estimated from the part done.
const double StepBudget = 15;

TOutcome RunStorage(const TWork& W, TTimes& T, bool CheckOrder) {
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
  T.At[stLoad] = Seconds() - T0;
  T0 = Seconds();
  TMTIndexKv* Index = L->GetIndexes()->Add();
  Index->SetFields(L"Name");
  Index->SetActive(true);
  T.At[stIndex] = Seconds() - T0;
  Out.Memory = PrivateBytes() - MemBefore;
  if (CheckOrder) {
    Out.Order.reserve(size_t(Index->GetCount()));
    for (Integer I = 0; I < Index->GetCount(); ++I) Out.Order.push_back(Index->GetKeyValue(I).AsString());
  }
  T0 = Seconds();
  for (Integer P : W.Probe) {
    Integer At;
    if (Index->FindRecordIndexByKey(Variant(W.Rows[size_t(P)].Name), At)) ++Out.Found;
  }
  T.At[stLookups] = Seconds() - T0;
  RunView(Data, Out, T, CheckOrder);
  T0 = Seconds();
  Integer Done = 0;
  for (; Done < MiddleDeletes; ++Done) {
    L->DeleteRecord(W.MiddleAt);
    if ((Done & 63) == 63 && Seconds() - T0 > StepBudget) break;
  }
  T.At[stMiddle] = Seconds() - T0;
  if (Done < MiddleDeletes) {
    // The rest of the deletions, at the cost of those made, so the table goes on as the other's.
    T.At[stMiddle] *= Double(MiddleDeletes) / (Done + 1);
    T.Estimated[stMiddle] = true;
    std::vector<TRecordsRangeKv> Rest{{W.MiddleAt, W.MiddleAt + MiddleDeletes - Done - 2}};
    L->DeleteRecords(Rest);
  }
  // The ids deleted at random, as positions now: the records stay in id order.
  std::vector<TRecordsRangeKv> Ranges;
  Integer MiddleFirst = W.MiddleAt + 1;  // the first id the middle deletions took
  for (Integer Id : W.Gone) {
    Integer At = Id - 1 - (Id > MiddleFirst ? MiddleDeletes : 0);
    if (!Ranges.empty() && Ranges.back().HighIndex == At - 1) Ranges.back().HighIndex = At;
    else Ranges.push_back({At, At});
  }
  // The ranges are positions before any of them goes, as the list takes them.
  T0 = Seconds();
  L->DeleteRecords(Ranges);
  T.At[stRandom] = Seconds() - T0;
  Data->SetStoreStructInStream(true);
  Data->SetStoreRecordsInStream(true);
  TMemoryStream Stored;
  T0 = Seconds();
  Stored.WriteComponent(Data);
  T.At[stStore] = Seconds() - T0;
  auto* Back = new TMemTableDataKv(nullptr);
  T0 = Seconds();
  Stored.SetPosition(0);
  Stored.ReadComponent(Back);
  T.At[stReadBack] = Seconds() - T0;
  Out.Left = Back->GetRecordsList()->GetCount();
  Out.Scanned = Out.Left * Back->GetDataStruct()->GetCount();
  Out.Stored = Stored.GetSize();
  delete Back;
  delete Data;
  return Out;
}

TOutcome RunSQLite(const TWork& W, TTimes& T, bool CheckOrder) {
  TOutcome Out;
  sqlite3_int64 MemBefore = sqlite3_memory_used();
  sqlite3* Db;
  Check(sqlite3_open(":memory:", &Db), Db);
  Check(sqlite3_create_collation_v2(Db, "TR", SQLITE_UTF8, nullptr, CollateTR, nullptr), Db);
  Check(sqlite3_exec(Db, "PRAGMA journal_mode=OFF", nullptr, nullptr, nullptr), Db);
  Check(sqlite3_exec(Db, "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT COLLATE TR, amount NUMERIC, born INTEGER)",
                     nullptr, nullptr, nullptr),
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
  T.At[stLoad] = Seconds() - T0;
  sqlite3_finalize(Ins);
  T0 = Seconds();
  Check(sqlite3_exec(Db, "CREATE INDEX t_name ON t(name)", nullptr, nullptr, nullptr), Db);
  T.At[stIndex] = Seconds() - T0;
  Out.Memory = sqlite3_memory_used() - MemBefore;
  if (CheckOrder) {
    sqlite3_stmt* Ord;
    Check(sqlite3_prepare_v2(Db, "SELECT name FROM t ORDER BY name", -1, &Ord, nullptr), Db);
    while (sqlite3_step(Ord) == SQLITE_ROW)
      Out.Order.push_back(String(static_cast<const Char*>(sqlite3_column_text16(Ord, 0)),
                                 size_t(sqlite3_column_bytes16(Ord, 0)) / sizeof(Char)));
    sqlite3_finalize(Ord);
  }
  sqlite3_stmt* Sel;
  Check(sqlite3_prepare_v2(Db, "SELECT id FROM t WHERE name = ?", -1, &Sel, nullptr), Db);
  T0 = Seconds();
  for (Integer P : W.Probe) {
    const String& Name = W.Rows[size_t(P)].Name;
    sqlite3_bind_text16(Sel, 1, Name.c_str(), Integer(Name.size() * 2), SQLITE_STATIC);
    if (sqlite3_step(Sel) == SQLITE_ROW) ++Out.Found;
    sqlite3_reset(Sel);
  }
  T.At[stLookups] = Seconds() - T0;
  sqlite3_finalize(Sel);
  // The view's steps: a sort without the index, and a filter on unindexed columns.
  auto Ids = [&](const char* Sql, TStepNo Step, std::vector<Integer>* Keep) {
    sqlite3_stmt* Q;
    Check(sqlite3_prepare_v2(Db, Sql, -1, &Q, nullptr), Db);
    double Start = Seconds();
    std::vector<Integer> R;
    while (sqlite3_step(Q) == SQLITE_ROW) R.push_back(sqlite3_column_int(Q, 0));
    T.At[Step] = Seconds() - Start;
    sqlite3_finalize(Q);
    if (Keep) *Keep = std::move(R);
  };
  Ids("SELECT id FROM t NOT INDEXED ORDER BY name COLLATE TR", stViewSort, CheckOrder ? &Out.Sorted : nullptr);
  char Where[120];
  std::snprintf(Where, sizeof Where, "SELECT id FROM t WHERE amount > 500 AND born >= %d", FilterDay);
  Ids(Where, stViewFilter, CheckOrder ? &Out.Filtered : nullptr);
  sqlite3_stmt* Del;
  Check(sqlite3_prepare_v2(Db, "DELETE FROM t WHERE id = ?", -1, &Del, nullptr), Db);
  // The same records as the storage deletes from its middle, one statement each.
  T0 = Seconds();
  Check(sqlite3_exec(Db, "BEGIN", nullptr, nullptr, nullptr), Db);
  for (Integer I = 0; I < MiddleDeletes; ++I) {
    sqlite3_bind_int(Del, 1, W.MiddleAt + 1 + I);
    Check(sqlite3_step(Del), Db, SQLITE_DONE);
    sqlite3_reset(Del);
  }
  Check(sqlite3_exec(Db, "COMMIT", nullptr, nullptr, nullptr), Db);
  T.At[stMiddle] = Seconds() - T0;
  T0 = Seconds();
  Check(sqlite3_exec(Db, "BEGIN", nullptr, nullptr, nullptr), Db);
  for (Integer Id : W.Gone) {
    sqlite3_bind_int(Del, 1, Id);
    Check(sqlite3_step(Del), Db, SQLITE_DONE);
    sqlite3_reset(Del);
  }
  Check(sqlite3_exec(Db, "COMMIT", nullptr, nullptr, nullptr), Db);
  T.At[stRandom] = Seconds() - T0;
  sqlite3_finalize(Del);
  // Stored: the database's image serialised into memory. Read back: a database of its own made
  // from a copy of that image, and every value of every row read once, as the storage decodes
  // every value it reads.
  sqlite3_int64 Size = 0;
  T0 = Seconds();
  unsigned char* Image = sqlite3_serialize(Db, "main", &Size, 0);
  T.At[stStore] = Seconds() - T0;
  sqlite3* Db2;
  Check(sqlite3_open(":memory:", &Db2), Db2);
  Check(sqlite3_create_collation_v2(Db2, "TR", SQLITE_UTF8, nullptr, CollateTR, nullptr), Db2);
  T0 = Seconds();
  auto* Copy = static_cast<unsigned char*>(sqlite3_malloc64(sqlite3_uint64(Size)));
  std::memcpy(Copy, Image, size_t(Size));
  Check(sqlite3_deserialize(Db2, "main", Copy, Size, Size, SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE),
        Db2);
  sqlite3_stmt* Scan;
  Check(sqlite3_prepare_v2(Db2, "SELECT id, name, amount, born FROM t", -1, &Scan, nullptr), Db2);
  Int64 Sum = 0;
  while (sqlite3_step(Scan) == SQLITE_ROW) {
    ++Out.Left;
    Sum += sqlite3_column_int(Scan, 0) + sqlite3_column_bytes16(Scan, 1) + sqlite3_column_int64(Scan, 3) +
           Int64(sqlite3_column_double(Scan, 2));
    Out.Scanned += 4;
  }
  sqlite3_finalize(Scan);
  T.At[stReadBack] = Seconds() - T0;
  if (Sum == 42) std::printf(" ");  // the values read are used
  Out.Stored = Size;
  sqlite3_free(Image);
  sqlite3_close(Db2);
  sqlite3_close(Db);
  return Out;
}

double Median(std::vector<double> V) {
  std::sort(V.begin(), V.end());
  size_t N = V.size();
  return N % 2 ? V[N / 2] : (V[N / 2 - 1] + V[N / 2]) / 2;
}

void PrintTable(const char* Title, const TTimes* Ours, const TTimes* Lite, size_t Rounds) {
  std::printf("\n%s\n%-24s %10s %10s %8s\n", Title, "step", "storage s", "SQLite s", "ratio");
  double SumOurs = 0, SumLite = 0;
  for (Integer S = 0; S < stCount; ++S) {
    std::vector<double> A, B;
    bool Estimated = false;
    for (size_t R = 0; R < Rounds; ++R) {
      A.push_back(Ours[R].At[S]);
      B.push_back(Lite[R].At[S]);
      Estimated = Estimated || Ours[R].Estimated[S];
    }
    double O = Median(A), L = Median(B);
    SumOurs += O;
    SumLite += L;
    std::printf("%-24s %9.3f%s %10.3f %8.2f\n", StepNames[S], O, Estimated ? "~" : " ", L, O / L);
  }
  std::printf("%-24s %9.3f  %10.3f %8.2f\n", "all steps", SumOurs, SumLite, SumOurs / SumLite);
}

}  // namespace

int main(int argc, char** argv) {
  FrameworkStartup();
  MemTableDataKvStartup();
  Integer Count = argc > 1 ? std::atoi(argv[1]) : 1000000;
  Integer Rounds = argc > 2 ? std::max(2, std::atoi(argv[2])) : 5;
  const Integer Lookups = 100000;
  TWork W;
  W.Rows = MakeRows(Count);
  std::mt19937 Rng(1453);
  W.Probe.resize(size_t(Lookups));
  for (Integer& P : W.Probe) P = Integer(Rng() % unsigned(Count));
  W.MiddleAt = Count / 2;
  // 10% of the ids left after the middle deletions, at random.
  std::vector<Integer> Ids;
  for (Integer Id = 1; Id <= Count; ++Id)
    if (Id <= W.MiddleAt || Id > W.MiddleAt + MiddleDeletes) Ids.push_back(Id);
  std::shuffle(Ids.begin(), Ids.end(), Rng);
  Ids.resize(size_t(Count / 10));
  std::sort(Ids.begin(), Ids.end());
  W.Gone = Ids;

  std::printf("%d records, one name in a thousand with punctuation or an accent; SysLocale %04x; SQLite %s with a "
              "Turkish collation, journal off\n",
              Count, unsigned(SysLocale.DefaultLCID), sqlite3_libversion());
  std::vector<TTimes> Ours(static_cast<size_t>(Rounds)), Lite(static_cast<size_t>(Rounds));
  for (Integer Round = 0; Round < Rounds; ++Round) {
    bool First = Round == 0;
    TOutcome O, L;
    // Round 1: the storage first, both on fresh memory. Then the sides take turns to go first.
    if (Round % 2 == 0) {
      O = RunStorage(W, Ours[size_t(Round)], First);
      L = RunSQLite(W, Lite[size_t(Round)], First);
    } else {
      L = RunSQLite(W, Lite[size_t(Round)], First);
      O = RunStorage(W, Ours[size_t(Round)], First);
    }
    if (O.Found != L.Found || O.Left != L.Left || O.Scanned != L.Scanned) {
      std::printf("the two sides disagree: found %d / %d, left %d / %d, values read back %d / %d\n", O.Found,
                  L.Found, O.Left, L.Left, O.Scanned, L.Scanned);
      return 1;
    }
    if (First) {
      std::printf("found %d / %d; left %d; stored %lld bytes (SQLite image %lld)\n", O.Found, Lookups, O.Left,
                  (long long)O.Stored, (long long)L.Stored);
      size_t Same = 0;
      while (Same < O.Order.size() && Same < L.Order.size() && O.Order[Same] == L.Order[Same]) ++Same;
      if (Same == O.Order.size() && O.Order.size() == L.Order.size()) {
        std::printf("name order: the same %zu names on both sides\n", Same);
      } else {
        std::printf("name order differs at row %zu of %zu / %zu\n", Same, O.Order.size(), L.Order.size());
        if (Same < O.Order.size() && Same < L.Order.size())
          std::printf("  storage '%ls', SQLite '%ls'\n", O.Order[Same].c_str(), L.Order[Same].c_str());
      }
      std::printf("view sort by name: %s (%zu rows); filter %ls: %s (%zu / %zu ids)\n",
                  O.Sorted == L.Sorted ? "the same order as SQLite" : "ORDER DIFFERS FROM SQLITE", O.Sorted.size(),
                  ViewFilter, O.Filtered == L.Filtered ? "the same ids" : "IDS DIFFER", O.Filtered.size(),
                  L.Filtered.size());
      std::printf("records view (flat, no calculated fields): %.0f bytes per record beside the storage's %.0f; "
                  "pool growth over 3 refreshes: %lld bytes; a refresh without filter %.3f s\n",
                  Double(O.ViewMemory) / Count, Double(O.Memory) / Count, (long long)O.PoolGrowth, O.RefreshSeconds);
      if (O.Sorted != L.Sorted || O.Filtered != L.Filtered) return 1;
      double ValueBytes = 4 + 10 * 2 + 8 + 8;
      std::printf("memory per record after load and index: storage %.0f bytes, SQLite %.0f bytes (values: %.0f)\n",
                  Double(O.Memory) / Count, Double(L.Memory) / Count, ValueBytes);
    }
  }
  PrintTable("round 1 (fresh memory: first touch)", Ours.data(), Lite.data(), 1);
  char Title[80];
  std::snprintf(Title, sizeof Title, "rounds 2-%d (memory reused, sides in turn first): medians", Rounds);
  PrintTable(Title, Ours.data() + 1, Lite.data() + 1, size_t(Rounds - 1));
  std::printf("(~ estimated from the part done within %.0f s)\n", StepBudget);
  MemTableDataKvShutdown();
  FrameworkShutdown();
  return 0;
}
