#include "cli/worker_pool.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace {

// Every job is done once, in worker processes; a worker that dies loses
// only its job, which is reported, and another worker finishes the rest.
TEST(WorkerPool, FinishesEveryJobAndReportsALostOne) {
  std::map<size_t, std::string> lines;
  std::map<size_t, std::string> done;
  cli::WorkerPoolCallbacks callbacks;
  callbacks.work = [](size_t job, const std::function<void(std::string_view)>& report) {
    if (job == 3) std::abort();
    report("job " + std::to_string(job) + "\nsquared " + std::to_string(job * job));
  };
  callbacks.onLine = [&](size_t job, std::string_view line) { lines[job] += std::string(line); };
  callbacks.onDone = [&](size_t job, const std::string& lost) { done[job] = lost; };
  const std::atomic<bool> stop{false};
  EXPECT_EQ(cli::runWorkerPool(20, 3, callbacks, stop), cli::PoolResult::Finished);
  ASSERT_EQ(done.size(), 20u);
  for (size_t job = 0; job < 20; ++job) {
    if (job == 3) {
      EXPECT_EQ(done[job], "the worker was killed by signal 6 (Aborted)");
      EXPECT_FALSE(lines.count(job));
      continue;
    }
    EXPECT_EQ(done[job], "");
    // A reported line keeps no line feed.
    EXPECT_EQ(lines[job], "job " + std::to_string(job) + " squared " + std::to_string(job * job));
  }
}

TEST(WorkerPool, StopsHandingOutJobsWhenAsked) {
  std::atomic<bool> stop{false};
  size_t finished = 0;
  cli::WorkerPoolCallbacks callbacks;
  callbacks.work = [](size_t, const std::function<void(std::string_view)>&) {};
  callbacks.onLine = [](size_t, std::string_view) {};
  callbacks.onDone = [&](size_t, const std::string&) {
    if (++finished == 2) stop.store(true);
  };
  EXPECT_EQ(cli::runWorkerPool(1000, 1, callbacks, stop), cli::PoolResult::Interrupted);
  EXPECT_EQ(finished, 2u);
  EXPECT_EQ(cli::runWorkerPool(0, 4, callbacks, stop), cli::PoolResult::Finished);
}

}  // namespace
