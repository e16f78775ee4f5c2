#include "engine/flowchart_model/folder_lock.h"

#include <algorithm>
#include <thread>

#if defined(__unix__) || defined(__APPLE__)
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#define FLOWCHART_HAS_FLOCK 1
#endif

namespace flowchart {

#if defined(FLOWCHART_HAS_FLOCK)

FolderLock::FolderLock(const std::string& folder, std::chrono::milliseconds timeout) {
  handle_ = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A folder that cannot be opened is left to the build to fail on.
  if (handle_ < 0) return;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    if (::flock(handle_, LOCK_EX | LOCK_NB) == 0) {
      state_ = State::Held;
      return;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) break;  // no locks on this file system
    if (std::chrono::steady_clock::now() >= deadline) {
      state_ = State::TimedOut;
      break;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  ::close(handle_);
  handle_ = -1;
}

FolderLock::~FolderLock() {
  if (handle_ >= 0) ::close(handle_);  // closing the handle releases the lock
}

#else

// No advisory locks on this platform: builds go on unlocked.
FolderLock::FolderLock(const std::string&, std::chrono::milliseconds) {}
FolderLock::~FolderLock() = default;

#endif

}  // namespace flowchart
