// A file written through a temporary file beside its target and renamed
// over the target only when complete, so that a failed or interrupted
// write never destroys the previous content.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "errors/problem.h"

namespace files {

class AtomicFile {
 public:
  explicit AtomicFile(std::string target);
  ~AtomicFile();  // discards the temporary file unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file; false when it cannot be created.
  bool open();
  std::FILE* stream() const { return file_; }
  bool write(std::string_view bytes);
  // Flushes and closes the temporary file without renaming it; false (and
  // the temporary file gone) when any write failed.  commit() afterwards
  // only renames, so a caller can finish several files before replacing
  // any of their targets.
  bool close();
  // Closes if still open, then renames over the target; false (and the
  // target untouched) when any write failed or the rename is refused.
  bool commit();
  // After a failure: the system's error number of the step that failed
  // (EISDIR for a target that is a folder), else 0.
  int systemError() const { return error_; }

 private:
  void discard();

  std::string target_;
  std::string temp_;
  // The stream's buffer, larger than stdio's page: most files (a method's
  // page, a record) then go to the file system in one write.
  std::unique_ptr<char[]> buffer_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
  bool closed_ = false;
  int error_ = 0;
};

// Files that replace their targets together: each is written in full to a
// staging file beside its target, and only when every one is complete are
// they renamed over their targets, in the order they were staged.
class StagedFiles {
 public:
  StagedFiles() = default;
  ~StagedFiles();  // removes the staging files not renamed
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // Creates an empty staging file for target and returns its path, for the
  // caller to write (atomically or not); empty when none can be created
  // there or target is a folder.
  std::string stage(const std::string& target);
  // Renames every staging file over its target; false when a rename is
  // refused (the files renamed before it stay replaced).
  bool commit();
  // Removes every staging file not yet renamed.
  void discard();

 private:
  std::vector<std::pair<std::string, std::string>> files_;  // staging path, target
};

// Creates an empty temporary file beside target under a name no other file
// has, for writers that need a path rather than a stream; empty when none
// can be made.  The caller renames or removes it.  The name's length does
// not depend on the target's, so a target whose name is as long as the
// file system allows can still be written.
std::string reserveTemporaryFile(const std::string& target);

// Writes the whole text to path atomically; when it fails, a problem
// "PATH: the system's reason" with the system's error number
// (errors::Problem::fromSystem).
errors::Status writeAtomically(const std::string& path, std::string_view bytes);

}  // namespace files
