// The lookup cache of the axis grid's bars: 100,000 random keys (a tenth of them absent) looked up
// over lookup tables of 1,000, 100,000 and 1,000,000 rows, against a sorted std::vector of
// (key, text) searched by std::lower_bound in the same run. The cache's fill (a First/Next walk
// reading key and text, then the sort) is set beside a plain First/Next read of the same two
// fields; the cache-off path (the dataset's Lookup, a scan per key) is timed over fewer keys.
// The answers of the cache, the vector and Lookup are compared.
//   lookup_bench [largest rows] [keys]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <random>
#include <utility>
#include <vector>

#include "framework/DB.h"
#include "framework/SysUtils.h"
#include "kvlib/axisgrid/dbaxisgrids/DBLookupUtilsKv.h"
#include "kvlib/foundation/DBUtilsKv.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

double LookupBenchSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

int LookupBenchRun(Integer Rows, Integer Keys) {
  std::mt19937 Rng(Rows);
  std::vector<Integer> Order(static_cast<size_t>(Rows));
  std::iota(Order.begin(), Order.end(), 0);
  std::shuffle(Order.begin(), Order.end(), Rng);
  TArrayDataSet DS(nullptr);
  DS.GetFieldDefs()->Add(L"LK", ftInteger);
  DS.GetFieldDefs()->Add(L"TXT", ftWideString, 24);
  DS.Open();
  // Every other number is a key, so that absent keys fall between present ones.
  for (Integer K : Order) DS.AppendRecord({K * 2, L"Ad " + IntToStr(K * 2)});
  TField* KeyField = DS.FieldByName(L"LK");
  TField* TextField = DS.FieldByName(L"TXT");

  double T0 = LookupBenchSeconds();
  std::vector<std::pair<Integer, String>> Ref;
  Ref.reserve(size_t(Rows));
  DS.DisableControls();
  for (DS.First(); !DS.GetEof(); DS.Next()) Ref.emplace_back(KeyField->GetAsInteger(), TextField->GetAsString());
  DS.EnableControls();
  double Read = LookupBenchSeconds() - T0;
  std::sort(Ref.begin(), Ref.end(), [](const auto& A, const auto& B) { return A.first < B.first; });

  T0 = LookupBenchSeconds();
  TLookupListKv Cache;
  TFieldsArrKv KeyFields{KeyField};
  DS.DisableControls();
  Cache.Reserve(DS.GetRecordCount());
  Variant Key;
  // As the lookup data fills its cache.
  for (DS.First(); !DS.GetEof(); DS.Next()) {
    GetFieldsValues(KeyFields, Key);
    Cache.Add(std::move(Key), TextField->GetAsVariant());
  }
  DS.EnableControls();
  double Walk = LookupBenchSeconds() - T0;
  Cache.SortData();
  double Fill = LookupBenchSeconds() - T0;

  std::vector<Integer> Probe(static_cast<size_t>(Keys));
  std::uniform_int_distribution<Integer> Pick(0, Rows - 1);
  for (Integer& K : Probe) K = Pick(Rng) * 2 + (Pick(Rng) % 10 == 0 ? 1 : 0);

  T0 = LookupBenchSeconds();
  size_t RefFound = 0, RefLen = 0;
  for (Integer K : Probe) {
    auto It = std::lower_bound(Ref.begin(), Ref.end(), K, [](const auto& P, Integer V) { return P.first < V; });
    if (It != Ref.end() && It->first == K) {
      // Handed out as the cache hands out its value: a copy.
      String Text = It->second;
      ++RefFound;
      RefLen += Text.size();
    }
  }
  double RefTime = LookupBenchSeconds() - T0;

  T0 = LookupBenchSeconds();
  size_t CacheFound = 0, CacheLen = 0;
  Variant Display;
  for (Integer K : Probe)
    if (Cache.FindValue(Variant(K), Display)) {
      ++CacheFound;
      CacheLen += VarToStr(Display).size();
    }
  double CacheTime = LookupBenchSeconds() - T0;

  // Lookup scans: a few keys at the large sizes keep the run short.
  Integer OffKeys = std::max<Integer>(20, std::min<Integer>(Keys, Integer(20000000LL / Rows)));
  T0 = LookupBenchSeconds();
  Integer OffWrong = 0;
  for (Integer I = 0; I < OffKeys; ++I) {
    Integer K = Probe[size_t(I)];
    Variant V = DS.Lookup(L"LK", K, L"TXT");
    Variant C;
    Cache.FindValue(Variant(K), C);
    if (VarToStr(V) != VarToStr(C)) ++OffWrong;
  }
  double OffTime = LookupBenchSeconds() - T0;

  bool Same = RefFound == CacheFound && RefLen == CacheLen && OffWrong == 0;
  double Ratio = CacheTime / std::max(RefTime, 1e-9);
  double FillRatio = Fill / std::max(Read, 1e-9);
  std::printf("%9d rows  look-up: cache %8.3f us  vector %8.3f us  (x%.2f, goal <= 4)  off %10.2f us/key (%d keys)\n",
              Rows, CacheTime * 1e6 / Keys, RefTime * 1e6 / Keys, Ratio, OffTime * 1e6 / OffKeys, OffKeys);
  std::printf("%9s       fill %8.3f s (walk %.3f, sort %.3f)  First/Next read %8.3f s  (x%.2f, goal <= 2)  answers %s\n",
              "", Fill, Walk, Fill - Walk, Read, FillRatio, Same ? "equal" : "DIFFER");
  return Same ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Integer Largest = argc > 1 ? Integer(std::atoi(argv[1])) : 1000000;
  Integer Keys = argc > 2 ? Integer(std::atoi(argv[2])) : 100000;
  int Rc = 0;
  for (Integer Rows : {1000, 100000, 1000000})
    if (Rows <= Largest) Rc |= LookupBenchRun(Rows, Keys);
  return Rc;
}
