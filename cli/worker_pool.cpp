#include "cli/worker_pool.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace cli {
namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void onStopRequest(int) { stopRequested = 1; }

// Mark the end of a job in a worker's output, the second also saying
// that the worker ends after it; reported lines never hold a line feed,
// so they cannot hold these either.
constexpr std::string_view kJobDone = "\x01";
constexpr std::string_view kJobDoneRetiring = "\x02";

// How long progress may wait in a worker: the caller's progress line
// still moves several times a second.
constexpr int kProgressMilliseconds = 50;

bool writeAll(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool readAll(int fd, void* data, size_t size) {
  char* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t got = ::read(fd, bytes, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

size_t peakResidentBytes() {
  rusage usage{};
  if (::getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return static_cast<size_t>(usage.ru_maxrss) * 1024;  // Linux counts kilobytes
}

bool shouldRetire(size_t jobsDone, const WorkerLimits& limits) {
  if (limits.jobsPerWorker > 0 && jobsDone >= limits.jobsPerWorker) return true;
  return limits.peakResidentBytes > 0 && peakResidentBytes() > limits.peakResidentBytes;
}

// The worker's side: take job numbers until the pipe closes or it retires.
[[noreturn]] void workerMain(int jobs, int results, const WorkerPoolCallbacks& callbacks,
                             const WorkerLimits& limits) {
  // Ctrl-C reaches the whole process group, the caller's SIGTERM only
  // this worker: either asks the job under way to end early.
  struct sigaction onStop {};
  onStop.sa_handler = onStopRequest;
  ::sigaction(SIGINT, &onStop, nullptr);
  ::sigaction(SIGTERM, &onStop, nullptr);
  uint64_t job = 0;
  std::string waiting;  // lines not yet sent
  auto sentAt = std::chrono::steady_clock::now();
  const auto send = [&] {
    const bool sent = writeAll(results, waiting.data(), waiting.size());
    waiting.clear();
    sentAt = std::chrono::steady_clock::now();
    return sent;
  };
  const auto hold = [&waiting](std::string_view line) {
    const size_t start = waiting.size();
    waiting += line;
    for (size_t i = start; i < waiting.size(); ++i)
      if (waiting[i] == '\n' || waiting[i] == '\x01' || waiting[i] == '\x02') waiting[i] = ' ';
    waiting += '\n';
  };
  JobReport report;
  report.now = [&](std::string_view line) {
    hold(line);
    send();
  };
  report.soon = [&](std::string_view line) {
    hold(line);
    if (std::chrono::steady_clock::now() - sentAt >= std::chrono::milliseconds(kProgressMilliseconds)) send();
  };
  size_t jobsDone = 0;
  while (readAll(jobs, &job, sizeof job)) {
    callbacks.work(static_cast<size_t>(job), report);
    const bool retiring = shouldRetire(++jobsDone, limits);
    waiting += retiring ? kJobDoneRetiring : kJobDone;
    waiting += '\n';
    if (!send() || retiring) break;
  }
  ::close(jobs);
  ::close(results);
  std::fflush(nullptr);
  ::_exit(0);
}

struct Worker {
  pid_t pid = -1;
  bool askedToStop = false;
  bool killed = false;
  int jobs = -1;     // we write job numbers here
  int results = -1;  // and read its lines here
  std::optional<size_t> job;
  bool retiring = false;  // said it ends after its last job
  std::string pending;    // a line not yet complete
};

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

errors::Problem cannotStart(int error) {
  return errors::Problem::fromSystem("cannot start worker processes", error, errors::Problem::Kind::Failed);
}

errors::Result<Worker> startWorker(const WorkerPoolCallbacks& callbacks, const WorkerLimits& limits,
                                   const std::vector<Worker>& others) {
  int toWorker[2], fromWorker[2];
  if (::pipe(toWorker) != 0) return cannotStart(errno);
  if (::pipe(fromWorker) != 0) {
    const int error = errno;
    ::close(toWorker[0]);
    ::close(toWorker[1]);
    return cannotStart(error);
  }
  std::fflush(nullptr);  // nothing buffered may be written twice
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) {
    const int error = errno;
    for (int fd : {toWorker[0], toWorker[1], fromWorker[0], fromWorker[1]}) ::close(fd);
    return cannotStart(error);
  }
  if (pid == 0) {
    // Killed with the caller, however it ends; a caller gone already
    // (before the request took effect) ends the worker at once.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(1);
    ::close(toWorker[1]);
    ::close(fromWorker[0]);
    // The other workers' pipes stay with the caller: a worker holding
    // them would keep them open after the caller closes its ends.
    for (const Worker& other : others) {
      if (other.jobs >= 0) ::close(other.jobs);
      if (other.results >= 0) ::close(other.results);
    }
    workerMain(toWorker[0], fromWorker[1], callbacks, limits);
  }
  ::close(toWorker[0]);
  ::close(fromWorker[1]);
  Worker worker;
  worker.pid = pid;
  worker.jobs = toWorker[1];
  worker.results = fromWorker[0];
  return worker;
}

std::string exitDescription(int status) {
  if (WIFSIGNALED(status)) return std::string("the worker was killed by signal ") + std::to_string(WTERMSIG(status)) +
                                  " (" + ::strsignal(WTERMSIG(status)) + ")";
  if (WIFEXITED(status)) return "the worker stopped with exit code " + std::to_string(WEXITSTATUS(status));
  return "the worker stopped";
}

// Asks the busy workers to end their jobs, and kills those that have
// not once the grace period since the stop is over.
void stopBusyWorkers(std::vector<Worker>& workers, std::optional<std::chrono::steady_clock::time_point>& stoppedAt) {
  const auto now = std::chrono::steady_clock::now();
  if (!stoppedAt) stoppedAt = now;
  const bool graceOver = now - *stoppedAt > std::chrono::milliseconds(kStopGraceMilliseconds);
  for (Worker& worker : workers) {
    if (!worker.job || worker.pid < 0) continue;
    if (!worker.askedToStop) {
      ::kill(worker.pid, SIGTERM);
      worker.askedToStop = true;
    } else if (graceOver && !worker.killed) {
      ::kill(worker.pid, SIGKILL);
      worker.killed = true;
    }
  }
}

// The whole lines a worker has written: its job's reports, and the end of
// its job (the next one handed out, or none to a worker retiring).
template <class HandOut>
void takeLines(Worker& worker, const WorkerPoolCallbacks& callbacks, HandOut& handOut) {
  size_t end;
  while ((end = worker.pending.find('\n')) != std::string::npos) {
    const std::string line = worker.pending.substr(0, end);
    worker.pending.erase(0, end + 1);
    if (!worker.job) continue;
    if (line != kJobDone && line != kJobDoneRetiring) {
      callbacks.onLine(*worker.job, line);
      continue;
    }
    const size_t job = *worker.job;
    worker.job.reset();
    callbacks.onDone(job, {});
    if (line == kJobDone) {
      handOut(worker);
    } else {
      worker.retiring = true;
      closeFd(worker.jobs);
    }
  }
}

}  // namespace

bool workerStopRequested() { return stopRequested != 0; }

errors::Result<PoolEnd> runWorkerPool(size_t jobCount, unsigned workerCount, const WorkerPoolCallbacks& callbacks,
                         const std::atomic<bool>& stop, const WorkerLimits& limits) {
  // A worker that dies while we hand it a job must not end this process.
  struct sigaction ignore {}, previous{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &previous);

  std::vector<Worker> workers;
  size_t nextJob = 0;
  errors::Problem lastStartProblem = cannotStart(0);
  auto handOut = [&](Worker& worker) {
    if (stop.load() || nextJob >= jobCount) {
      closeFd(worker.jobs);  // no more: the worker ends
      return;
    }
    const uint64_t job = nextJob;
    if (!writeAll(worker.jobs, &job, sizeof job)) return;  // it died; its pipe will say so
    worker.job = nextJob++;
  };

  const size_t wanted = std::min<size_t>(workerCount == 0 ? 1 : workerCount, std::max<size_t>(jobCount, 1));
  for (size_t i = 0; i < wanted && nextJob < jobCount; ++i) {
    errors::Result<Worker> worker = startWorker(callbacks, limits, workers);
    if (!worker) {
      lastStartProblem = std::move(worker).problem();
      break;
    }
    workers.push_back(std::move(*worker));
    handOut(workers.back());
  }
  if (workers.empty() && jobCount > 0) {
    ::sigaction(SIGPIPE, &previous, nullptr);
    return lastStartProblem;
  }

  std::optional<std::chrono::steady_clock::time_point> stoppedAt;
  while (!workers.empty()) {
    // Once stopped, busy workers are asked to end their jobs, and killed
    // when they have not after the grace period.
    if (stop.load()) stopBusyWorkers(workers, stoppedAt);
    std::vector<pollfd> fds;
    for (const Worker& worker : workers) fds.push_back(pollfd{worker.results, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), 100) < 0 && errno != EINTR) break;
    // Once stopped, idle workers get no more jobs.
    for (Worker& worker : workers)
      if (stop.load() && !worker.job) closeFd(worker.jobs);

    for (size_t i = 0; i < workers.size(); ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      Worker& worker = workers[i];
      char buffer[4096];
      const ssize_t got = ::read(worker.results, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got > 0) {
        worker.pending.append(buffer, static_cast<size_t>(got));
        takeLines(worker, callbacks, handOut);
        continue;
      }
      // End of its output: the worker has ended, by our closing its job
      // pipe or by dying.
      closeFd(worker.jobs);
      closeFd(worker.results);
      int status = 0;
      while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
      }
      if (worker.job || worker.retiring) {
        if (worker.job) {
          const size_t job = *worker.job;
          worker.job.reset();
          callbacks.onDone(job, exitDescription(status));
        }
        // Its place is taken by a new worker while jobs remain.
        if (!stop.load() && nextJob < jobCount) {
          errors::Result<Worker> replacement = startWorker(callbacks, limits, workers);
          if (replacement) {
            worker = std::move(*replacement);
            handOut(worker);
            continue;
          }
          lastStartProblem = std::move(replacement).problem();
        }
      }
      worker.pid = -1;
    }
    std::erase_if(workers, [](const Worker& worker) { return worker.pid < 0; });
  }
  ::sigaction(SIGPIPE, &previous, nullptr);
  if (nextJob >= jobCount) return PoolEnd::Finished;
  // Jobs are left: either we were asked to stop, or no worker could be
  // started in place of the last one that ended.
  if (stop.load()) return PoolEnd::Interrupted;
  return lastStartProblem;
}

}  // namespace cli
