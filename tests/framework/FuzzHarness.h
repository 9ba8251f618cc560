#pragma once
// Mutation fuzzing of parsers of outside input, shared by the test programs. Each parser gets
// hand-made hostile inputs first, then a few thousand inputs made from valid seeds by a seeded
// generator, so every run sees the same cases and a failure names the case that shows it. The only
// acceptable outcomes are success and a framework exception: a crash ends the test program, a hang
// meets the test's time-out, and anything else thrown (such as std::bad_alloc from a size field
// taken on trust, which the test allocator raises for one allocation over 512 MB) is reported.
// A parse may also check its own result with EXPECT_...: a failed check is a wrong success.
//
// QAL_FUZZ_PROBE=1 runs a suite for measuring rather than testing: every case is announced on
// stderr, a case over 5 s or a crash (a stack overflow too) is named there and ends the process,
// QAL_FUZZ_FROM=N starts at case N, and a tally line closes each parser.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/System.h"

// xorshift64*: small, and the same sequence on every compiler.
class TFuzzRandom {
 public:
  explicit TFuzzRandom(std::uint64_t Seed) : FState(Seed ? Seed : 1) {}
  std::uint64_t Next() {
    FState ^= FState >> 12;
    FState ^= FState << 25;
    FState ^= FState >> 27;
    return FState * 0x2545F4914F6CDD1DULL;
  }
  size_t Below(size_t N) { return N ? size_t(Next() % N) : 0; }

 private:
  std::uint64_t FState;
};

// One to four mutations of Seed: bit flips, hostile bytes and 32-bit lengths, cuts, deletions,
// insertions, duplicated blocks, a short slice repeated many times, a splice with another seed,
// and for text (Tokens not empty) one of Tokens inserted.
TBytes FuzzMutate(const TBytes& Seed, TFuzzRandom& R, const std::vector<TBytes>& Seeds,
                  const std::vector<std::string>& Tokens = {});

struct TFuzzSuite {
  const char* Name;
  std::vector<TBytes> Seeds;
  int Cases = 0;
  std::uint64_t Seed = 0;
  std::vector<std::string> Tokens;  // text parsers: tokens worth inserting
  std::vector<TBytes> Hostile;      // run first, as cases -N .. -1
};

void Fuzz(const TFuzzSuite& Suite, const std::function<void(const TBytes&)>& Parse);

inline TBytes FuzzBytes(const std::string& S) { return TBytes(S.begin(), S.end()); }
TBytes FuzzHex(const char* Hex);
