#include "engine/flowchart_model/folder_lock.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/support/test_support.h"

namespace flowchart {
namespace {

using namespace std::chrono_literals;
using State = FolderLock::State;

TEST(FolderLock, OneHolderAtATimeWithinAProcess) {
  testing_support::TempDir dir;
  {
    FolderLock first(dir.path().string(), 0ms);
    ASSERT_EQ(first.state(), State::Held);
    // Another handle, even in this process, waits and then gives up.
    FolderLock second(dir.path().string(), 50ms);
    EXPECT_EQ(second.state(), State::TimedOut);
  }
  FolderLock again(dir.path().string(), 0ms);
  EXPECT_EQ(again.state(), State::Held);
  // A folder that is not there has no lock; the build fails on its own.
  EXPECT_EQ(FolderLock(dir.file("missing"), 0ms).state(), State::NotLocked);
}

TEST(FolderLock, AnotherProcessHoldingTheLockIsWaitedFor) {
  testing_support::TempDir dir;
  const std::string folder = testing_support::shellQuote(dir.path().string());
  const std::string held = testing_support::shellQuote(dir.file("held"));
  ASSERT_EQ(testing_support::runShell("(flock " + folder + " sh -c 'touch " + held +
                                      "; sleep 3') >/dev/null 2>&1 &"),
            0);
  for (int i = 0; i < 500 && !testing_support::fileExists(dir.file("held")); ++i)
    std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(testing_support::fileExists(dir.file("held")));
  EXPECT_EQ(FolderLock(dir.path().string(), 0ms).state(), State::TimedOut);
  // Released when the holder ends.
  EXPECT_EQ(FolderLock(dir.path().string(), 30s).state(), State::Held);
}

}  // namespace
}  // namespace flowchart
