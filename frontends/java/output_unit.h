// The files an accepted parse writes (tree, results, comments, status),
// replaced as one unit: every new file is written in full beside its
// target before any old one is replaced, and the status goes last, so a
// run that fails part-way leaves the previous outputs as they were.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "files/atomic_file.h"

namespace java {

class OutputUnit {
 public:
  // status: the status file, opened before the parse began.
  explicit OutputUnit(files::AtomicFile& status) : status_(status) {}

  // Writes one output through write(path of its staging file).  False
  // when the unit cannot be complete: the output could not be written, or
  // its staging file could not be made where an earlier run's file stands
  // (that file would be left stale beside the new ones).  An optional
  // output whose target cannot be made at all, with nothing there, is left
  // out as before.
  bool add(const std::string& target, bool required,
           const std::function<bool(const std::string& path)>& write);
  // Writes the status text and replaces every target, the status last.
  bool commit(std::string_view statusText);
  // Removes every staged file (freeing their room for the status).
  void discard() { staged_.discard(); }

 private:
  files::AtomicFile& status_;
  files::StagedFiles staged_;
};

}  // namespace java
