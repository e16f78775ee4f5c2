#include "engine/flowchart_model/large_stack.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace flowchart {
namespace {

// About 80 MB of frames at the deepest point: far beyond a default stack.
int depthOf(int n) {
  volatile char frame[4096];
  frame[0] = static_cast<char>(n);
  return n == 0 ? frame[0] : 1 + depthOf(n - 1);
}

TEST(LargeStack, DeepRecursionRunsAndFailuresComeBack) {
  int depth = 0;
  runWithLargeStack([&] { depth = depthOf(20000); });
  EXPECT_EQ(depth, 20000);
  EXPECT_THROW(runWithLargeStack([] { throw std::runtime_error("stop"); }), std::runtime_error);
}

}  // namespace
}  // namespace flowchart
