// The bookmark list and the tree list at 1k, 10k and 100k entries: time per operation, and for
// the bookmark search the bookmark comparisons per search. A search on the sorted list is
// O(log n) (the comparisons grow by about 3.3 per tenfold), the tree's walks are linear (the
// time per node stays flat).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <random>

#include "framework/DB.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "kvlib/foundation/DBUtilsKv.h"
#include "kvlib/foundation/MemTreeKv.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point Since) { return std::chrono::duration<double, std::milli>(Clock::now() - Since).count(); }

// The array dataset answers a bookmark comparison by looking both records up, linearly; records
// appended to it keep their ids in order, so comparing the ids directly is the same order at
// the cost a real dataset has. The comparisons are counted.
class TBenchDataSet : public TArrayDataSet {
 public:
  TBenchDataSet() : TArrayDataSet(nullptr) {}
  Integer CompareBookmarks(const TBookmark& B1, const TBookmark& B2) override {
    ++Comparisons;
    Int64 A = 0, B = 0;
    std::memcpy(&A, B1.Data(), sizeof(A));
    std::memcpy(&B, B2.Data(), sizeof(B));
    return A < B ? -1 : A > B ? 1 : 0;
  }
  long long Comparisons = 0;
};

class TBenchBMList : public TBMListKv {
 public:
  explicit TBenchBMList(TDataSet* ADataSet) : FDataSet(ADataSet) { SetLinkActive(true); }
  ~TBenchBMList() override { Clear(); }

 protected:
  TDataSet* GetDataSet() override { return FDataSet; }

 private:
  TDataSet* FDataSet;
};

void BenchBookmarks(Integer N) {
  TBenchDataSet DS;
  DS.GetFieldDefs()->Add(L"ID", ftInteger);
  DS.Open();
  for (Integer I = 0; I < N; ++I) DS.AppendRecord({I});
  std::vector<TBookmark> Marks;
  for (DS.First(); !DS.Eof(); DS.Next()) Marks.push_back(DS.GetBookmark());

  TBenchBMList List(&DS);
  auto T0 = Clock::now();
  List.BeginUpdate();
  for (const TBookmark& B : Marks) List.AppendItem(B);
  List.EndUpdate();
  double Fill = Ms(T0);

  std::vector<TBookmark> Order = Marks;
  std::shuffle(Order.begin(), Order.end(), std::mt19937(7));
  DS.Comparisons = 0;
  T0 = Clock::now();
  Integer Found = 0, Index;
  for (const TBookmark& B : Order) Found += List.Find(B, Index) ? 1 : 0;
  double Find = Ms(T0);
  double ComparisonsPerFind = double(DS.Comparisons) / N;

  // A thousand bookmarks searched for and removed: a search plus a shift of the tail (linear).
  const Integer Deletes = std::min<Integer>(N / 2, 1000);
  T0 = Clock::now();
  for (Integer I = 0; I < Deletes; ++I) List.DeleteBookmark(Order[size_t(I)]);
  double Delete = Ms(T0);

  // Put back at the end, out of order, and sorted again.
  for (Integer I = 0; I < Deletes; ++I) List.AppendItem(Order[size_t(I)]);
  T0 = Clock::now();
  List.SortByBookmarks();
  double Sort = Ms(T0);

  std::printf("  %7d bookmarks  fill %8.1f ns/op  find %8.1f ns/op (%5.1f comparisons)  delete %8.1f ns/op"
              "  sort %8.1f ns/entry  (%d found)\n",
              N, Fill * 1e6 / N, Find * 1e6 / N, ComparisonsPerFind, Delete * 1e6 / Deletes, Sort * 1e6 / N, Found);
}

void BenchTree(Integer N) {
  TTreeListKv Tree(TBaseTreeNodeKv::StaticClass());
  // Ten children a node, breadth first: about log10(N) levels.
  std::vector<TBaseTreeNodeKv*> Nodes;
  Nodes.reserve(size_t(N));
  auto T0 = Clock::now();
  for (Integer I = 0; I < N; ++I) {
    TBaseTreeNodeKv* Parent = I < 10 ? nullptr : Nodes[size_t(I / 10 - 1)];
    Nodes.push_back(Tree.AddChild(IntToStr((I * 7919) % N), Parent, reinterpret_cast<TObject*>(NativeInt(I + 1))));
  }
  double Build = Ms(T0);
  Tree.Expand(nullptr, true);

  auto Time = [&](auto&& Walk) {
    auto Start = Clock::now();
    Integer Count = Walk();
    double Per = Ms(Start) * 1e6 / N;
    return std::make_pair(Per, Count);
  };
  auto Next = Time([&] {
    Integer C = 0;
    for (TBaseTreeNodeKv* Node = Tree.GetFirst(); Node; Node = Tree.GetNext(Node)) ++C;
    return C;
  });
  auto Previous = Time([&] {
    Integer C = 0;
    for (TBaseTreeNodeKv* Node = Tree.GetLast(nullptr); Node; Node = Tree.GetPrevious(Node)) ++C;
    return C;
  });
  // Every seventh node hidden: the visible walk skips them with their branches.
  for (Integer I = 0; I < N; I += 7) Nodes[size_t(I)]->SetVisible(false);
  auto Visible = Time([&] {
    Integer C = 0;
    for (TBaseTreeNodeKv* Node = Tree.GetFirstVisible(); Node; Node = Tree.GetNextVisible(Node, true)) ++C;
    return C;
  });
  auto FindData = Time([&] { return Tree.FindNodeByData(nullptr, reinterpret_cast<TObject*>(NativeInt(N))) ? 1 : 0; });
  auto Sort = Time([&] {
    Tree.SortData(nullptr, true, [](TBaseTreeNodeKv* A, TBaseTreeNodeKv* B, TObject*) {
      return CompareStr(A->GetText(), B->GetText());
    });
    return 1;
  });
  std::printf("  %7d nodes  add %7.1f ns/op  next %6.1f ns/node  previous %6.1f ns/node  next visible %6.1f ns/node"
              " (%d shown)  find by data %6.1f ns/node  sort %7.1f ns/node\n",
              N, Build * 1e6 / N, Next.first, Previous.first, Visible.first, Visible.second, FindData.first, Sort.first);
}

}  // namespace

int main() {
  FrameworkStartup();
  std::printf("bookmark list (sorted, searched by bisection)\n");
  for (Integer N : {1000, 10000, 100000}) BenchBookmarks(N);
  std::printf("tree list (ten children a node)\n");
  for (Integer N : {1000, 10000, 100000}) BenchTree(N);
  FrameworkShutdown();
  return 0;
}
