// The summary producer's sum, average, count, minimum and maximum of an amount (currency, two
// decimals) over 1,000 to 1,000,000 records while single records are edited and posted, against
// the full pass after every post (the producer's test switch) and against SQLite's in-memory
// database doing UPDATE plus one aggregate SELECT, in one process on the same edits.
//
// The dataset is the framework's test dataset (the in-memory table is not there yet): finding a
// record to post costs it a scan of its records, so the producer's own share of a post, the time
// spent in its BeforePost and AfterPost hooks, is measured by handlers chained on top of them and
// printed beside the whole post. The values of both sides are compared after every step, and the
// updated values against a fresh full pass at the end of each size.
//   sumlist_bench [largest records] [posts]
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "framework/DB.h"
#include "framework/FMTBcd.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "kvlib/axisgrid/DBSumLst.h"
#include "sqlite3.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

double Seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void Check(int Rc, sqlite3* Db) {
  if (Rc != SQLITE_OK && Rc != SQLITE_DONE && Rc != SQLITE_ROW) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(Db));
    std::exit(2);
  }
}

using TFive = std::array<double, 5>;

double AsNumber(const Variant& V) {
  if (V.IsNull()) return NAN;
  return VarIsFMTBcd(V) ? BcdToDouble(VarToBcd(V)) : V.AsDouble();
}

TFive Values(TDBSumListProducer& P) {
  TFive R;
  for (Integer I = 0; I < 5; ++I) R[size_t(I)] = AsNumber(P.GetSumCollection()->GetItem(I)->SumValue);
  return R;
}

bool Close(const TFive& A, const TFive& B) {
  for (size_t I = 0; I < 5; ++I)
    if (std::fabs(A[I] - B[I]) > 1e-9 * std::max(1.0, std::fabs(B[I]))) return false;
  return true;
}

struct TEdit {
  Integer RecNo;
  Int64 Cents;
};

struct TResult {
  double HookSeconds = 0;  // per post, in the producer's hooks
  double PostSeconds = 0;  // per post, the whole Post
  double FullSeconds = 0;  // per post with the full pass
  double OldValueSeconds = 0;  // per post, the dataset finding the stored record's value
  double FirstPassSeconds = 0;
  double SqliteSeconds = 0;  // per UPDATE + SELECT
  double SqliteSelectSeconds = 0;
  bool Equal = true;
};

void Post(TDataSet* DS, TField* Amount, const TEdit& E) {
  DS->SetRecNo(E.RecNo);
  DS->Edit();
  Amount->SetAsCurrency(Currency::FromRaw(E.Cents * 100));
  DS->Post();
}

TResult Run(Integer Count, Integer Posts, std::mt19937& Rng) {
  TResult R;
  std::vector<Int64> Cents(static_cast<size_t>(Count));
  for (Int64& C : Cents) C = Int64(Rng() % 100000000);
  std::vector<TEdit> Edits(static_cast<size_t>(Posts));
  for (TEdit& E : Edits) E = {Integer(Rng() % unsigned(Count)) + 1, Int64(Rng() % 100000000)};

  TArrayDataSet DS(nullptr);
  DS.GetFieldDefs()->Add(L"ID", ftInteger);
  DS.GetFieldDefs()->Add(L"AMOUNT", ftCurrency);
  DS.Open();
  for (Integer I = 0; I < Count; ++I) DS.AppendRecord({I + 1, Currency::FromRaw(Cents[size_t(I)] * 100)});
  TField* Amount = DS.FieldByName(L"AMOUNT");

  TDBSumListProducer P(nullptr);
  for (TGroupOperation Op : {goSum, goAvg, goCount, goMin, goMax}) {
    TDBSum* S = P.GetSumCollection()->Add();
    S->SetGroupOperation(Op);
    S->SetFieldName(L"AMOUNT");
  }
  double T0 = Seconds();
  P.SetDataSet(&DS);
  R.FirstPassSeconds = Seconds() - T0;
  // Chained on top of the producer's hooks: the time inside them is the producer's.
  double InHooks = 0;
  TDataSetNotifyEvent Before = DS.GetBeforePost(), After = DS.GetAfterPost();
  DS.SetBeforePost([&](TDataSet* D) {
    double T = Seconds();
    Before(D);
    InHooks += Seconds() - T;
  });
  DS.SetAfterPost([&](TDataSet* D) {
    double T = Seconds();
    After(D);
    InHooks += Seconds() - T;
  });

  std::vector<TFive> Ours;
  double PostTotal = 0, OldValueTotal = 0;
  for (const TEdit& E : Edits) {
    // What the producer's BeforePost asks of the dataset once, timed apart.
    DS.SetRecNo(E.RecNo);
    DS.Edit();
    double T = Seconds();
    Variant Old = Amount->GetOldValue();
    OldValueTotal += Seconds() - T;
    DS.Cancel();
    T = Seconds();
    Post(&DS, Amount, E);
    PostTotal += Seconds() - T;
    Ours.push_back(Values(P));
  }
  R.OldValueSeconds = OldValueTotal / Posts;
  R.HookSeconds = InHooks / Posts;
  R.PostSeconds = PostTotal / Posts;
  // The updated values against a fresh pass.
  TFive Updated = Values(P);
  P.RecalcAll();
  if (!Close(Updated, Values(P))) R.Equal = false;

  // The full pass after every post: a few posts at the largest sizes.
  P.SetFullRecalcOnly(true);
  Integer FullPosts = std::max(3, std::min(Posts, Integer(20000000 / Count)));
  InHooks = 0;
  for (Integer I = 0; I < FullPosts; ++I) {
    TEdit E = Edits[size_t(I)];
    E.Cents += 1;
    Post(&DS, Amount, E);
  }
  R.FullSeconds = InHooks / FullPosts;
  DS.SetBeforePost(nullptr);
  DS.SetAfterPost(nullptr);

  sqlite3* Db;
  Check(sqlite3_open(":memory:", &Db), Db);
  Check(sqlite3_exec(Db, "PRAGMA journal_mode=OFF", nullptr, nullptr, nullptr), Db);
  Check(sqlite3_exec(Db, "CREATE TABLE t(id INTEGER PRIMARY KEY, amount REAL)", nullptr, nullptr, nullptr), Db);
  Check(sqlite3_exec(Db, "BEGIN", nullptr, nullptr, nullptr), Db);
  sqlite3_stmt* Ins;
  Check(sqlite3_prepare_v2(Db, "INSERT INTO t VALUES(?, ?)", -1, &Ins, nullptr), Db);
  for (Integer I = 0; I < Count; ++I) {
    sqlite3_bind_int(Ins, 1, I + 1);
    sqlite3_bind_double(Ins, 2, double(Cents[size_t(I)]) / 100);
    Check(sqlite3_step(Ins), Db);
    sqlite3_reset(Ins);
  }
  sqlite3_finalize(Ins);
  Check(sqlite3_exec(Db, "COMMIT", nullptr, nullptr, nullptr), Db);
  sqlite3_stmt *Upd, *Sel;
  Check(sqlite3_prepare_v2(Db, "UPDATE t SET amount = ? WHERE id = ?", -1, &Upd, nullptr), Db);
  Check(sqlite3_prepare_v2(Db, "SELECT sum(amount), avg(amount), count(amount), min(amount), max(amount) FROM t", -1,
                           &Sel, nullptr),
        Db);
  double SqlTotal = 0, SelectTotal = 0;
  for (size_t I = 0; I < Edits.size(); ++I) {
    double T = Seconds();
    sqlite3_bind_double(Upd, 1, double(Edits[I].Cents) / 100);
    sqlite3_bind_int(Upd, 2, Edits[I].RecNo);
    Check(sqlite3_step(Upd), Db);
    sqlite3_reset(Upd);
    double TS = Seconds();
    Check(sqlite3_step(Sel), Db);
    TFive Lite;
    for (int C = 0; C < 5; ++C) Lite[size_t(C)] = sqlite3_column_double(Sel, C);
    sqlite3_reset(Sel);
    double TE = Seconds();
    SqlTotal += TE - T;
    SelectTotal += TE - TS;
    if (!Close(Ours[I], Lite)) R.Equal = false;
  }
  R.SqliteSeconds = SqlTotal / Posts;
  R.SqliteSelectSeconds = SelectTotal / Posts;
  sqlite3_finalize(Upd);
  sqlite3_finalize(Sel);
  sqlite3_close(Db);
  return R;
}

}  // namespace

int main(int argc, char** argv) {
  FrameworkStartup();
  Integer Largest = argc > 1 ? std::atoi(argv[1]) : 1000000;
  Integer Posts = argc > 2 ? std::max(10, std::atoi(argv[2])) : 200;
  std::mt19937 Rng(1071);
  std::printf("sum, average, count, minimum and maximum of a currency amount; %d posts of one edited record; "
              "SQLite %s in memory, journal off\n",
              Posts, sqlite3_libversion());
  std::printf("%10s %14s %14s %14s %14s %14s %14s %14s %6s\n", "records", "update us", "old value us", "whole post us", "full pass ms",
              "first pass ms", "SQLite upd+sel", "SQLite sel ms", "equal");
  double UpdateAt1k = 0, UpdateAtTop = 0;
  for (Integer Count = 1000; Count <= Largest; Count *= 10) {
    TResult R = Run(Count, Posts, Rng);
    std::printf("%10d %14.2f %14.2f %14.2f %14.3f %14.3f %14.3f %14.3f %6s\n", Count, R.HookSeconds * 1e6,
                R.OldValueSeconds * 1e6, R.PostSeconds * 1e6, R.FullSeconds * 1e3, R.FirstPassSeconds * 1e3, R.SqliteSeconds * 1e3,
                R.SqliteSelectSeconds * 1e3, R.Equal ? "yes" : "NO");
    std::fflush(stdout);
    // The producer's own share: its hooks less the dataset's old-value look-up.
    double Own = R.HookSeconds - R.OldValueSeconds;
    if (Count == 1000) UpdateAt1k = Own;
    UpdateAtTop = Own;
  }
  std::printf("update less the dataset's old-value read, at %d records / at 1,000: %.2f\n", Largest, UpdateAt1k > 0 ? UpdateAtTop / UpdateAt1k : 0.0);
  return 0;
}
