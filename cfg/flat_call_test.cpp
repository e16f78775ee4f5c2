// Calls that nest a million deep run on the heap: a plain recursion this
// deep would overflow the machine stack.  Results and exceptions come back
// through every level.
#include "cfg/flat_call.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace cfg {
namespace {

FlatCall<long> sumDown(long n, long failAt) {
  if (n == failAt) throw std::runtime_error("failed at " + std::to_string(n));
  if (n == 0) co_return 0;
  const long below = co_await sumDown(n - 1, failAt);
  co_return n + below;
}

FlatCall<> count(int n, int& reached) {
  if (n == 0) co_return;
  co_await count(n - 1, reached);
  ++reached;
}

TEST(FlatCall, NestsAMillionDeep) {
  EXPECT_EQ(sumDown(1000000, -1).run(), 500000500000L);
  int reached = 0;
  count(1000000, reached).run();
  EXPECT_EQ(reached, 1000000);
  try {  // rethrown at each of the thousand levels
    sumDown(1000, 7).run();
    FAIL() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "failed at 7");
  }
}

}  // namespace
}  // namespace cfg
