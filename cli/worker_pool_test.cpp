#include "cli/worker_pool.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>
#include <set>

namespace {

// How the pool ended; a problem fails the test.
cli::PoolEnd ending(const errors::Result<cli::PoolEnd>& end) {
  EXPECT_TRUE(end) << (end ? "" : end.problem().message);
  return end ? *end : cli::PoolEnd::Interrupted;
}

// Every job is done once, in worker processes; a worker that dies loses
// only its job, which is reported, and another worker finishes the rest.
TEST(WorkerPool, FinishesEveryJobAndReportsALostOne) {
  std::map<size_t, std::string> lines;
  std::map<size_t, std::string> done;
  cli::WorkerPoolCallbacks callbacks;
  callbacks.work = [](size_t job, const cli::JobReport& report) {
    if (job == 3) std::abort();
    report.now("job " + std::to_string(job) + "\nsquared " + std::to_string(job * job));
  };
  callbacks.onLine = [&](size_t job, std::string_view line) { lines[job] += std::string(line); };
  callbacks.onDone = [&](size_t job, const std::string& lost) { done[job] = lost; };
  const std::atomic<bool> stop{false};
  EXPECT_EQ(ending(cli::runWorkerPool(20, 3, callbacks, stop)), cli::PoolEnd::Finished);
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
  callbacks.work = [](size_t, const cli::JobReport&) {};
  callbacks.onLine = [](size_t, std::string_view) {};
  callbacks.onDone = [&](size_t, const std::string&) {
    if (++finished == 2) stop.store(true);
  };
  EXPECT_EQ(ending(cli::runWorkerPool(1000, 1, callbacks, stop)), cli::PoolEnd::Interrupted);
  EXPECT_EQ(finished, 2u);
  EXPECT_EQ(ending(cli::runWorkerPool(0, 4, callbacks, stop)), cli::PoolEnd::Finished);
}

// A worker retires after its share of jobs; a fresh one takes the rest
// and no job is lost or reported twice.
TEST(WorkerPool, RetiredWorkersAreReplaced) {
  std::map<size_t, std::string> worker;
  size_t finished = 0;
  cli::WorkerPoolCallbacks callbacks;
  callbacks.work = [](size_t, const cli::JobReport& report) {
    report.soon(std::to_string(::getpid()));
  };
  callbacks.onLine = [&](size_t job, std::string_view line) { worker[job] = std::string(line); };
  callbacks.onDone = [&](size_t, const std::string& lost) {
    EXPECT_EQ(lost, "");
    ++finished;
  };
  const std::atomic<bool> stop{false};
  cli::WorkerLimits limits;
  limits.jobsPerWorker = 3;
  EXPECT_EQ(ending(cli::runWorkerPool(10, 2, callbacks, stop, limits)), cli::PoolEnd::Finished);
  EXPECT_EQ(finished, 10u);
  ASSERT_EQ(worker.size(), 10u);
  std::map<std::string, size_t> jobsOf;
  for (const auto& [job, pid] : worker) ++jobsOf[pid];
  EXPECT_GE(jobsOf.size(), 4u);
  for (const auto& [pid, jobs] : jobsOf) EXPECT_LE(jobs, 3u);

  // Past the memory limit a worker retires after every job.
  worker.clear();
  finished = 0;
  limits = {};
  limits.peakResidentBytes = 1;
  EXPECT_EQ(ending(cli::runWorkerPool(4, 1, callbacks, stop, limits)), cli::PoolEnd::Finished);
  EXPECT_EQ(finished, 4u);
  EXPECT_EQ(std::set<std::string>({worker[0], worker[1], worker[2], worker[3]}).size(), 4u);
}

// Stopping does not wait for busy workers: one that looks at the request
// between its steps ends its job at once, one deep in a single long step
// is killed after the grace period and its job reported lost.
TEST(WorkerPool, StopEndsBusyWorkersWithinTheGracePeriod) {
  std::atomic<bool> stop{false};
  std::map<size_t, std::string> lines, done;
  cli::WorkerPoolCallbacks callbacks;
  callbacks.work = [](size_t job, const cli::JobReport& report) {
    report.now("started");
    for (int step = 0; step < 6000; ++step) {
      if (job == 0 && cli::workerStopRequested()) return report.now("stopped");
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  };
  callbacks.onLine = [&](size_t job, std::string_view line) {
    lines[job] = std::string(line);
    if (lines.size() == 2) stop.store(true);
  };
  callbacks.onDone = [&](size_t job, const std::string& lost) { done[job] = lost; };
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ending(cli::runWorkerPool(5, 2, callbacks, stop)), cli::PoolEnd::Interrupted);
  EXPECT_LT(std::chrono::steady_clock::now() - start,
            std::chrono::milliseconds(cli::kStopGraceMilliseconds + 1500));
  EXPECT_EQ(lines[0], "stopped");
  EXPECT_EQ(done[0], "");
  EXPECT_EQ(done[1], "the worker was killed by signal 9 (Killed)");
  EXPECT_EQ(done.size(), 2u);
}

}  // namespace
