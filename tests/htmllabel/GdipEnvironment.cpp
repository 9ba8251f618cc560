// GDI+ runs for the whole test program, started and ended as the program starts and ends it.
#include <gtest/gtest.h>

#include "htmllabel/GdipObjects.h"

namespace {
class TGdipEnvironment : public testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(InitializeGdipObjects(), Ok); }
  void TearDown() override { FinalizeGdipObjects(); }
};

testing::Environment* const GdipEnvironment = testing::AddGlobalTestEnvironment(new TGdipEnvironment);
}  // namespace
