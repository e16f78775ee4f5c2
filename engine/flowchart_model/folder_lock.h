// An advisory lock on a folder, taken by every build that reads, changes
// and replaces the results file in it, so that two builds into one file
// take turns instead of one overwriting the other's model.  The lock
// belongs to an open handle: separate processes and separate threads
// exclude each other alike, and the system releases it when a process
// dies.  The folder itself is locked because the results file is replaced
// by a rename and so is not the same file from one build to the next.
#pragma once

#include <chrono>
#include <string>

namespace flowchart {

class FolderLock {
 public:
  enum class State {
    Held,       // this object holds the lock
    NotLocked,  // the folder or its file system offers no lock: not held
    TimedOut,   // someone else held it for the whole wait
  };

  // Takes the lock, waiting up to timeout while another holder has it.
  FolderLock(const std::string& folder, std::chrono::milliseconds timeout);
  ~FolderLock();  // releases it
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  State state() const { return state_; }

 private:
  int handle_ = -1;
  State state_ = State::NotLocked;
};

}  // namespace flowchart
