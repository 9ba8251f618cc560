#include "FuzzHarness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <typeinfo>

#include "framework/WinApi.h"

TBytes FuzzMutate(const TBytes& Seed, TFuzzRandom& R, const std::vector<TBytes>& Seeds,
                  const std::vector<std::string>& Tokens) {
  TBytes B = Seed;
  size_t Steps = 1 + R.Below(4);
  for (size_t S = 0; S < Steps; ++S) {
    size_t N = B.size();
    size_t At = R.Below(N + 1);
    switch (R.Below(Tokens.empty() ? 9 : 10)) {
      case 0:
        if (N) B[R.Below(N)] ^= Byte(1u << R.Below(8));
        break;
      case 1: {
        static const Byte Interesting[] = {0, 1, 0x7F, 0x80, 0xFF, 0x0E, 0x10, 0x20};
        if (N) B[R.Below(N)] = Interesting[R.Below(std::size(Interesting))];
        break;
      }
      case 2: {
        // A length field made hostile.
        static const std::uint32_t Sizes[] = {0x7FFFFFFF, 0xFFFFFFFF, 0x80000000, 0x40000000, 0x10000000, 0xFFFF, 0};
        if (N >= 4) {
          std::uint32_t V = Sizes[R.Below(std::size(Sizes))];
          std::memcpy(B.data() + R.Below(N - 3), &V, 4);
        }
        break;
      }
      case 3:
        B.resize(R.Below(N + 1));
        break;
      case 4: {
        size_t Len = std::min(N - std::min(At, N), 1 + R.Below(16));
        B.erase(B.begin() + At, B.begin() + At + Len);
        break;
      }
      case 5: {
        TBytes Ins(1 + R.Below(8));
        for (auto& X : Ins) X = Byte(R.Next());
        B.insert(B.begin() + At, Ins.begin(), Ins.end());
        break;
      }
      case 6: {
        if (!N) break;
        size_t From = R.Below(N), Len = std::min(N - From, 1 + R.Below(64));
        TBytes Block(B.begin() + From, B.begin() + From + Len);
        B.insert(B.begin() + At, Block.begin(), Block.end());
        break;
      }
      case 7: {
        // A short slice repeated many times: deep nesting, many frames, many sections.
        if (!N) break;
        size_t From = R.Below(N), Len = std::min(N - From, 1 + R.Below(16));
        TBytes Block(B.begin() + From, B.begin() + From + Len), Run;
        for (size_t I = 0, Times = 1 + R.Below(300); I < Times; ++I) Run.insert(Run.end(), Block.begin(), Block.end());
        B.insert(B.begin() + At, Run.begin(), Run.end());
        break;
      }
      case 8: {
        const TBytes& Other = Seeds[R.Below(Seeds.size())];
        size_t From = R.Below(Other.size() + 1);
        B.resize(At);
        B.insert(B.end(), Other.begin() + From, Other.end());
        break;
      }
      case 9: {
        const std::string& T = Tokens[R.Below(Tokens.size())];
        B.insert(B.begin() + At, T.begin(), T.end());
        break;
      }
    }
  }
  return B;
}

TBytes FuzzHex(const char* Hex) {
  TBytes B;
  for (; Hex[0] && Hex[1]; Hex += 2) B.push_back(Byte(std::stoi(std::string(Hex, 2), nullptr, 16)));
  return B;
}

namespace {

// ---- Probe mode --------------------------------------------------------------------------------

struct TFuzzProbe {
  const char* Name = "";
  std::atomic<int> Case{0};
  std::atomic<DWORD> Started{0};  // tick count of the running case's start, 0 between cases
};
TFuzzProbe FuzzProbeState;

void FuzzProbeSay(const char* Text) {
  DWORD Written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), Text, DWORD(std::strlen(Text)), &Written, nullptr);
}

// Runs on the faulting thread's last stack: formats into a static buffer, calls nothing heavy.
LONG WINAPI FuzzProbeFault(EXCEPTION_POINTERS* Info) {
  const DWORD Code = Info->ExceptionRecord->ExceptionCode;
  if (Code != EXCEPTION_STACK_OVERFLOW && Code != EXCEPTION_ACCESS_VIOLATION && Code != EXCEPTION_INT_DIVIDE_BY_ZERO &&
      Code != EXCEPTION_ILLEGAL_INSTRUCTION)
    return EXCEPTION_CONTINUE_SEARCH;
  static char Line[160];
  std::snprintf(Line, sizeof Line, "FUZZ %s crash case %d (0x%08lx)\n", FuzzProbeState.Name, FuzzProbeState.Case.load(),
                Code);
  FuzzProbeSay(Line);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_CONTINUE_SEARCH;
}

DWORD WINAPI FuzzProbeWatch(void*) {
  for (;;) {
    Sleep(200);
    const DWORD Start = FuzzProbeState.Started.load();
    if (Start && GetTickCount() - Start > 5000) {
      char Line[160];
      std::snprintf(Line, sizeof Line, "FUZZ %s hang case %d\n", FuzzProbeState.Name, FuzzProbeState.Case.load());
      FuzzProbeSay(Line);
      TerminateProcess(GetCurrentProcess(), 4);
    }
  }
}

bool FuzzProbing() {
  static const bool On = [] {
    if (!GetEnvironmentVariableW(L"QAL_FUZZ_PROBE", nullptr, 0)) return false;
    ULONG Guarantee = 64 * 1024;
    SetThreadStackGuarantee(&Guarantee);
    AddVectoredExceptionHandler(1, FuzzProbeFault);
    CloseHandle(CreateThread(nullptr, 0, FuzzProbeWatch, nullptr, 0, nullptr));
    return true;
  }();
  return On;
}

int FuzzFirstCase(int HandMade) {
  wchar_t Buf[32] = {};
  if (!FuzzProbing() || !GetEnvironmentVariableW(L"QAL_FUZZ_FROM", Buf, 32)) return -HandMade;
  return std::max(-HandMade, int(std::wcstol(Buf, nullptr, 10)));
}

int FuzzFailureCount() {
  const testing::TestInfo* Info = testing::UnitTest::GetInstance()->current_test_info();
  return Info ? Info->result()->total_part_count() : 0;
}

}  // namespace

void Fuzz(const TFuzzSuite& Suite, const std::function<void(const TBytes&)>& Parse) {
  ASSERT_FALSE(Suite.Seeds.empty());
  const bool Probe = FuzzProbing();
  for (const TBytes& S : Suite.Seeds) EXPECT_NO_THROW(Parse(S)) << Suite.Name << ": a seed does not load";
  TFuzzRandom R(Suite.Seed);
  const int HandMade = int(Suite.Hostile.size());
  const int First = FuzzFirstCase(HandMade);
  int Failures = 0, Ok = 0, Errors = 0, Huge = 0, Foreign = 0, Wrong = 0;
  FuzzProbeState.Name = Suite.Name;
  for (int I = -HandMade; I < Suite.Cases && (Probe || Failures < 5); ++I) {
    // The generator runs for the cases skipped too, so that case N is the same whatever the start.
    TBytes Input = I < 0 ? Suite.Hostile[size_t(I + HandMade)]
                         : FuzzMutate(Suite.Seeds[size_t(I) % Suite.Seeds.size()], R, Suite.Seeds, Suite.Tokens);
    if (I < First) continue;
    if (Probe) {
      char Line[120];
      std::snprintf(Line, sizeof Line, "FUZZ %s case %d\n", Suite.Name, I);
      FuzzProbeSay(Line);
      FuzzProbeState.Case = I;
      FuzzProbeState.Started = GetTickCount() | 1;
    }
    const int Checks = FuzzFailureCount();
    bool Threw = false;
    try {
      Parse(Input);
      ++Ok;
    } catch (const Exception&) {
      ++Errors;
    } catch (const std::bad_alloc&) {
      Threw = true;
      ++Huge;
      ADD_FAILURE() << Suite.Name << " case " << I << ": an allocation taken on trust (std::bad_alloc)";
    } catch (const std::exception& E) {
      Threw = true;
      ++Foreign;
      ADD_FAILURE() << Suite.Name << " case " << I << ": " << typeid(E).name() << " " << E.what();
    } catch (...) {
      Threw = true;
      ++Foreign;
      ADD_FAILURE() << Suite.Name << " case " << I << ": an unknown exception";
    }
    FuzzProbeState.Started = 0;
    // A check of the parse's own that failed: a wrong success.
    const bool Checked = FuzzFailureCount() > Checks + (Threw ? 1 : 0);
    if (Checked) ++Wrong;
    if (Threw || Checked) ++Failures;
    if (Probe && (Threw || Checked)) {
      char Line[120];
      std::snprintf(Line, sizeof Line, "FUZZ %s %s case %d\n", Suite.Name, Checked ? "wrong" : "defect", I);
      FuzzProbeSay(Line);
    }
  }
  if (Probe) {
    char Line[200];
    std::snprintf(Line, sizeof Line,
                  "FUZZ %s tally from %d: ok %d, errors %d, huge allocations %d, other exceptions %d, "
                  "wrong successes %d\n",
                  Suite.Name, First, Ok, Errors, Huge, Foreign, Wrong);
    FuzzProbeSay(Line);
  }
}
