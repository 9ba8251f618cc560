// The records view in tree mode at two sizes in one run: 10,000 records and 1,000,000 (by default),
// each record under a random earlier one (a few at the top), without an index of the storage's
// (the tree keeps its own). Times the tree's build, then 2,000 of each change, one at a time, the
// view's rows read after each: a leaf added under a random record, a record's parent changed,
// an amount changed so that a filtered record shows or hides, a record deleted (its children
// placed anew), a node collapsed and expanded again. Prints microseconds per change at both sizes
// and their ratio: a change must cost about the same at a million records as at ten thousand.
//   memtable_tree_bench [small] [large]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "framework/Classes.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "kvlib/memtable/MemTableDataKv.h"

namespace {

double Seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

struct TTreeTimes {
  double Build = 0;
  double Step[5] = {0, 0, 0, 0, 0};  // microseconds per change
  Integer Rows = 0;
};

const char* const TreeBenchSteps[5] = {"add a leaf", "change a parent", "show/hide by filter", "delete a record",
                                       "collapse + expand"};

TTreeTimes RunTree(Integer Count) {
  TTreeTimes T;
  TMemTableDataKv Data(nullptr);
  Data.GetDataStruct()->BuildDataFieldForDef(L"ID", ftInteger, 0, 0);
  Data.GetDataStruct()->BuildDataFieldForDef(L"PARENT", ftInteger, 0, 0);
  Data.GetDataStruct()->BuildDataFieldForDef(L"AMOUNT", ftInteger, 0, 0);
  TRecordsListKv* L = Data.GetRecordsList();
  std::mt19937 Rng(8122);
  auto Add = [&](Integer Id, Integer Parent) {
    TMemoryRecordKv* R = L->NewRecord();
    R->SetDataValue(0, dvvValueKv, Variant(Id));
    R->SetDataValue(1, dvvValueKv, Parent > 0 ? Variant(Parent) : Variant(Null));
    R->SetDataValue(2, dvvValueKv, Variant(Integer(Rng() % 100)));
    L->AddRecord(R);
  };
  for (Integer Id = 1; Id <= Count; ++Id) Add(Id, Id <= 10 ? 0 : Integer(1 + Rng() % unsigned(Id - 1)));
  TRecordsViewKv V(nullptr);
  V.SetOnFilterRecord([](TMemoryRecordKv* R, TMemRecViewKv*) { return R->GetDataValue(2, dvvValueKv).AsInteger() % 3 != 0; });
  V.GetMemoryTreeList()->SetDefaultNodeExpanded(true);
  V.SetTreeViewKeyFieldName(L"ID");
  V.SetTreeViewRefParentFieldName(L"PARENT");
  V.SetMemTableData(&Data);
  double S = Seconds();
  V.SetViewAsTreeList(true);
  T.Build = Seconds() - S;
  const Integer Steps = 2000;
  Integer NextId = Count + 1;
  volatile Integer Sink = 0;
  // A record from the latest tenth: mostly leaves or small subtrees, as an edit touches.
  auto Late = [&] { Integer N = L->GetCount(); return N - 1 - Integer(Rng() % unsigned(std::max(1, N / 10))); };
  for (int K = 0; K < 5; ++K) {
    S = Seconds();
    for (Integer I = 0; I < Steps; ++I) {
      Integer N = L->GetCount();
      switch (K) {
        case 0: {
          Integer Parent = Integer(1 + Rng() % unsigned(NextId - 1));
          Add(NextId++, Parent);
          break;
        }
        case 1: {
          Integer At = Late();
          Integer Id = L->GetRec(At)->GetDataValue(0, dvvValueKv).AsInteger();
          try {
            L->SetValue(At, 1, Variant(Integer(1 + Rng() % unsigned(Id))));
          } catch (const Exception&) {
          }  // a loop refused
          break;
        }
        case 2: L->SetValue(Integer(Rng() % unsigned(N)), 2, Variant(Integer(Rng() % 100))); break;
        case 3: L->DeleteRecord(Late()); break;
        case 4: {
          TMemRecViewKv* Node = V.RecordView(Integer(Rng() % unsigned(V.Count())));
          V.GetMemoryTreeList()->Collapse(Node, false);
          V.GetMemoryTreeList()->Expand(Node, false);
          break;
        }
      }
      Integer Row = V.Count() / 2;
      Sink = Sink + V.Count() + (V.Rec(Row) ? 1 : 0) + V.IndexOfRec(V.Rec(Row));
    }
    T.Step[K] = (Seconds() - S) * 1e6 / Steps;
  }
  T.Rows = V.Count();
  return T;
}

}  // namespace

int main(int argc, char** argv) {
  FrameworkStartup();
  MemTableDataKvStartup();
  Integer Small = argc > 1 ? std::atoi(argv[1]) : 10000;
  Integer Large = argc > 2 ? std::atoi(argv[2]) : 1000000;
  TTreeTimes A = RunTree(Small), B = RunTree(Large);
  std::printf("records view in tree mode, no storage index on the key or parent fields\n");
  std::printf("%-22s %14d %14d %8s\n", "records", Small, Large, "ratio");
  std::printf("%-22s %12.3f s %12.3f s %8.1f   (per record: %.2f / %.2f us)\n", "build the tree", A.Build, B.Build,
              B.Build / A.Build, A.Build * 1e6 / Small, B.Build * 1e6 / Large);
  for (int K = 0; K < 5; ++K)
    std::printf("%-22s %11.1f us %11.1f us %8.2f\n", TreeBenchSteps[K], A.Step[K], B.Step[K], B.Step[K] / A.Step[K]);
  std::printf("rows shown at the end: %d / %d\n", A.Rows, B.Rows);
  MemTableDataKvShutdown();
  FrameworkShutdown();
  return 0;
}
