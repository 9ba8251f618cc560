#include <gtest/gtest.h>

#include "framework/controls/ControlsTestUtil.h"
#include "framework/forms/TestControls.h"

using namespace ctltest;

namespace {

// Bytes in use in every heap of the process (the C++ heap and the system's own allocations).
SIZE_T HeapBytesInUse() {
  HANDLE Heaps[64];
  DWORD N = GetProcessHeaps(64, Heaps);
  SIZE_T Total = 0;
  for (DWORD I = 0; I < N && I < 64; ++I) {
    if (!HeapLock(Heaps[I])) continue;
    PROCESS_HEAP_ENTRY E{};
    while (HeapWalk(Heaps[I], &E))
      if (E.wFlags & PROCESS_HEAP_ENTRY_BUSY) Total += E.cbData;
    HeapUnlock(Heaps[I]);
  }
  return Total;
}

void ShowAndFreeForm() {
  auto* F = TComponent::Create<TForm>(nullptr, 0);
  F->SetPosition(poDesigned);
  F->SetBorderStyle(bsNone);
  F->SetBounds(10, 10, 200, 100);
  for (int I = 0; I < 4; ++I) {
    auto* B = new TTestButton(F);  // painted: its canvas is locked
    B->SetParent(F);
    B->SetBounds(5, 5 + 22 * I, 75, 20);
  }
  F->Show();
  Pump();
  delete F;
  Pump();
}

TEST(FormMemory, ShowingAndFreeingFormsDoesNotGrowTheHeap) {
  for (int I = 0; I < 10; ++I) ShowAndFreeForm();
  SIZE_T Before = HeapBytesInUse();
  for (int I = 0; I < 60; ++I) ShowAndFreeForm();
  long long Growth = (long long)HeapBytesInUse() - (long long)Before;
  EXPECT_LT(Growth, 2048) << "bytes over 60 forms";  // was 24 bytes a painted control
}

}  // namespace
