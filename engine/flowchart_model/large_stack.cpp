#include "engine/flowchart_model/large_stack.h"

#include <exception>

#if defined(__has_include)
#if __has_include(<pthread.h>)
#include <pthread.h>
#define FLOWCHART_HAVE_PTHREAD 1
#endif
#endif

namespace flowchart {
namespace {

struct Job {
  const std::function<void()>* work;
  std::exception_ptr failure;
};

#ifdef FLOWCHART_HAVE_PTHREAD
void* runJob(void* argument) {
  Job* job = static_cast<Job*>(argument);
  try {
    (*job->work)();
  } catch (...) {
    job->failure = std::current_exception();
  }
  return nullptr;
}

// False when no such thread can be made; the work has then not run.
bool runOnThread(Job& job, size_t stackBytes) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  bool started = pthread_attr_setstacksize(&attributes, stackBytes) == 0;
  pthread_t thread;
  if (started) started = pthread_create(&thread, &attributes, runJob, &job) == 0;
  pthread_attr_destroy(&attributes);
  if (!started) return false;
  pthread_join(thread, nullptr);
  return true;
}
#endif

}  // namespace

void runWithLargeStack(const std::function<void()>& work, size_t stackBytes) {
  Job job{&work, nullptr};
#ifdef FLOWCHART_HAVE_PTHREAD
  // Halve the request while the system refuses it, down to a sane floor.
  bool ran = false;
  for (size_t bytes = stackBytes; !ran && bytes >= (size_t{8} << 20); bytes /= 2)
    ran = runOnThread(job, bytes);
  if (!ran) work();
#else
  work();
#endif
  if (job.failure) std::rethrow_exception(job.failure);
}

}  // namespace flowchart
