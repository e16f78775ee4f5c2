// Runs numbered jobs in worker processes.  Graphviz's library keeps
// global state and is not thread-safe, so parallel work needs processes;
// a worker that crashes loses only its current job, which is reported,
// and a new worker takes its place.  A worker also retires after a number
// of jobs or once it has grown past a memory limit: the layout library
// does not give back everything it takes, and a long-lived worker would
// grow with the size of the whole tree rather than of one file.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "errors/problem.h"

namespace cli {

// How a job tells the calling process what it does, a line at a time.
// `now` sends the line, and any waiting before it, at once.  `soon` lets
// it wait in the worker for a moment with the lines after it, so that a
// job of many small steps does not wake the caller at each: for progress
// only, which a worker dying loses with no harm.  Lines keep their order.
struct JobReport {
  std::function<void(std::string_view line)> now;
  std::function<void(std::string_view line)> soon;
};

struct WorkerPoolCallbacks {
  // Runs in a worker: does the job and reports lines through report.
  std::function<void(size_t job, const JobReport& report)> work;
  // Runs in the calling process for each line a worker reported.
  std::function<void(size_t job, std::string_view line)> onLine;
  // Runs in the calling process when a job is finished, or lost with its
  // worker (lost holds why).
  std::function<void(size_t job, const std::string& lost)> onDone;
};

// When a worker hands its place to a fresh one; 0 means no limit.
struct WorkerLimits {
  size_t jobsPerWorker = 0;
  size_t peakResidentBytes = 0;  // retire once the peak resident size passes this
};

// How a pool ends when it can: every job handed out, or stopped.  When
// jobs were left and no worker could be started for them, at the
// beginning or in place of one that ended, the problem says why.
enum class PoolEnd { Finished, Interrupted };

// Runs jobs 0 to jobCount - 1 in order of handing out, on at most
// `workers` processes.  Once *stop is set (by a signal handler, say) no
// more jobs are handed out and the busy workers are asked to stop
// (SIGTERM, which workerStopRequested() sees); a worker still busy
// kStopGraceMilliseconds later is killed and its job reported lost.  A
// worker never outlives the calling process: it is killed when it ends.
errors::Result<PoolEnd> runWorkerPool(size_t jobCount, unsigned workers, const WorkerPoolCallbacks& callbacks,
                                      const std::atomic<bool>& stop, const WorkerLimits& limits = {});

inline constexpr int kStopGraceMilliseconds = 1500;

// In a worker: whether it was asked to stop (Ctrl-C, or the caller
// stopping).  A long job checks it between its steps and ends early,
// leaving what it did unrecorded.
bool workerStopRequested();

}  // namespace cli
