// The framework's test program replaces the global allocator once, for two checks:
// - a single allocation over 512 MB is refused with std::bad_alloc. No test needs that much, and a
//   parser that takes a hostile size field on trust then shows as an exception the framework let
//   escape, instead of a machine committing gigabytes;
// - a test can count the allocations its own thread makes (TestAllocator.h).

#include "TestAllocator.h"

#include <cstdlib>
#include <new>

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
constexpr std::size_t MaxAllocation = std::size_t(512) << 20;
}

thread_local long* AllocationCounter = nullptr;

void* operator new(std::size_t Size) {
  if (Size > MaxAllocation) throw std::bad_alloc();
  if (AllocationCounter) ++*AllocationCounter;
  if (void* P = std::malloc(Size ? Size : 1)) return P;
  throw std::bad_alloc();
}

void operator delete(void* P) noexcept { std::free(P); }
void operator delete(void* P, std::size_t) noexcept { std::free(P); }
