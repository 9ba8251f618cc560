// Start-up time of programs with a window: from starting the process to its window being shown,
// ready (enabled) and the program idle, waiting for input. The programs are started in turn, so
// that a change of the machine's load falls on each alike; the first start of each is not counted.
//   startup_bench RUNS EXE SELECTOR [EXE SELECTOR...]
// SELECTOR names the window that must be shown and enabled (see tools/uidriver/UiDriver.h).
// Prints one line per program: the median in milliseconds and every run.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "UiDriver.h"

namespace {

double Now() {
  LARGE_INTEGER C, F;
  QueryPerformanceCounter(&C);
  QueryPerformanceFrequency(&F);
  return double(C.QuadPart) * 1000.0 / double(F.QuadPart);
}

// Milliseconds to ready, or a negative number when the program did not get there.
double OneStart(const std::wstring& Exe, const std::wstring& Selector) {
  using namespace UiDriver;
  // Whatever the program asks of the network stays on this machine.
  double Start = Now();
  TProgram P = TProgram::Start(Exe, L"", L"", {L"http_proxy=http://127.0.0.1:9", L"https_proxy=http://127.0.0.1:9"});
  // The window is looked up once and then watched: a look-up walks every window of the program
  // and asks each candidate for its text across processes, and done every millisecond it slowed
  // the program it measured. It is looked up again to confirm the match when it is ready.
  HWND Ready = nullptr, Seen = nullptr;
  while (!Ready && Now() - Start < 60000) {
    if (!Seen || !IsWindow(Seen)) Seen = Find(Selector, P.Id());
    if (Seen && Visible(Seen) && Enabled(Seen)) {
      if (Find(Selector, P.Id()) == Seen) Ready = Seen;
      else Seen = nullptr;  // no longer the match
    }
    if (!Ready) Sleep(1);
  }
  double Took = Ready && P.WaitIdle(60000) ? Now() - Start : -1;
  HWND Top = Ready ? GetAncestor(Ready, GA_ROOT) : nullptr;
  if (Top) PostMessageW(Top, WM_CLOSE, 0, 0);
  if (!P.WaitExit(10000)) P.Kill();
  return Took;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4 || argc % 2 != 0) {
    std::fprintf(stderr, "usage: startup_bench RUNS EXE SELECTOR [EXE SELECTOR...]\n");
    return 2;
  }
  int Runs = _wtoi(argv[1]);
  size_t N = size_t(argc - 2) / 2;
  std::vector<std::vector<double>> Times(N);
  for (int Run = 0; Run <= Runs; ++Run)
    for (size_t I = 0; I < N; ++I) {
      double T = OneStart(argv[2 + 2 * I], argv[3 + 2 * I]);
      if (T < 0) {
        std::fprintf(stderr, "%ls did not show %ls\n", argv[2 + 2 * I], argv[3 + 2 * I]);
        return 1;
      }
      if (Run > 0) Times[I].push_back(T);
    }
  for (size_t I = 0; I < N; ++I) {
    std::vector<double> S = Times[I];
    std::sort(S.begin(), S.end());
    double Median = S.size() % 2 ? S[S.size() / 2] : (S[S.size() / 2 - 1] + S[S.size() / 2]) / 2;
    std::printf("%.1f", Median);
    for (double T : Times[I]) std::printf(" %.1f", T);
    std::printf("\n");
  }
  return 0;
}
