// The list box's filter as the combo and the MRU list run it: 10,000 and 100,000 Turkish names,
// filtered by begins-with and by contains, case-insensitive, one keystroke at a time ("k", "ka",
// "kar", ...). Beside it, in the same run, a plain loop that upper-cases every item with the
// locale on every keystroke and tests it. Prints the median time per keystroke of each and their
// ratio, plus the one-off cost of the first filter after the items changed (the cache of
// upper-cased texts is made there).
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "kvlib/grids/GridsKv.h"

namespace {

double ListFilterNowUs() {
  static LARGE_INTEGER Freq{};
  if (!Freq.QuadPart) QueryPerformanceFrequency(&Freq);
  LARGE_INTEGER C;
  QueryPerformanceCounter(&C);
  return double(C.QuadPart) * 1e6 / double(Freq.QuadPart);
}

double ListFilterMedian(std::vector<double> V) {
  std::sort(V.begin(), V.end());
  return V[V.size() / 2];
}

// Names of two or three syllables with the Turkish letters in them.
String ListFilterName(std::mt19937& Rng) {
  static const wchar_t* const Syllables[] = {L"ka", L"ya", L"şe", L"gül", L"İn", L"ır", L"öz", L"çe", L"ğa",
                                             L"mu", L"Ay", L"li", L"Üm", L"tı", L"san", L"Kar", L"dağ", L"ip"};
  String S;
  for (int I = 0, N = 2 + int(Rng() % 2); I < N; ++I) S += Syllables[Rng() % std::size(Syllables)];
  return S;
}

}  // namespace

int main() {
  FrameworkStartup();
  std::mt19937 Rng(1211);
  const String Typed = L"karı";
  std::printf("%-8s %-12s %14s %14s %8s %14s\n", "items", "filter", "list ms/key", "loop ms/key", "ratio",
              "first ms");
  for (Integer Count : {10000, 100000}) {
    TForm* Form = new TForm(nullptr, 0);
    Form->AfterConstruction();
    Form->SetBounds(0, 0, 300, 400);
    auto* List = new TCustomListboxKv(Form);
    List->SetBounds(0, 0, 280, 380);
    List->SetParent(Form);
    List->HandleNeeded();
    List->GetItems()->BeginUpdate();
    for (Integer I = 0; I < Count; ++I) List->GetItems()->Add(ListFilterName(Rng));
    List->GetItems()->EndUpdate();
    for (TLSAutoFilterTypeKv Type : {lsftBeginsWithKv, lsftContainsKv}) {
      const bool Begins = Type == lsftBeginsWithKv;
      // The first filter after a change of the items builds the cache.
      List->GetItems()->SetStrings(0, List->GetItems()->GetStrings(0) + L"x");
      double T0 = ListFilterNowUs();
      List->ApplyFilter(Typed.substr(0, 1), Type, true);
      double First = ListFilterNowUs() - T0;
      std::vector<double> ListTimes, LoopTimes;
      size_t Hits = 0;
      for (int Round = 0; Round < 5; ++Round)
        for (size_t Len = 1; Len <= Typed.size(); ++Len) {
          String F = Typed.substr(0, Len);
          T0 = ListFilterNowUs();
          List->ApplyFilter(F, Type, true);
          ListTimes.push_back(ListFilterNowUs() - T0);
          // The filter read literally: every item upper-cased on every keystroke.
          T0 = ListFilterNowUs();
          String UF = AnsiUpperCase(F);
          size_t N = 0;
          for (Integer I = 0; I < Count; ++I) {
            String U = AnsiUpperCase(List->GetItems()->GetStrings(I));
            size_t P = U.find(UF);
            if (Begins ? P == 0 : P != String::npos) ++N;
          }
          LoopTimes.push_back(ListFilterNowUs() - T0);
          if (N != size_t(List->GetVisibleCount())) std::printf("MISMATCH %zu %d\n", N, List->GetVisibleCount());
          Hits += N;
        }
      double L = ListFilterMedian(ListTimes) / 1000, R = ListFilterMedian(LoopTimes) / 1000;
      std::printf("%-8d %-12s %14.3f %14.3f %8.3f %14.3f\n", Count, Begins ? "begins-with" : "contains", L, R,
                  L / R, First / 1000);
      (void)Hits;
    }
    delete Form;
  }
  return 0;
}
