#pragma once
// Allocation counting in the framework's test program (TestAllocator.cpp replaces operator new).

// Counts the heap allocations this thread makes while it points somewhere.
extern thread_local long* AllocationCounter;

// Counts while open.
struct TAllocations {
  long Count = 0;
  TAllocations() { AllocationCounter = &Count; }
  ~TAllocations() { AllocationCounter = nullptr; }
};
