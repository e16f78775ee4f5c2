// The source lines that changed since a git revision, for gating a pull
// request on the methods it touched.  Read with the git command: it is
// what checked the sources out, it knows the repository's configuration
// (worktrees, attributes, replace refs), and it needs no library here.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "errors/problem.h"

namespace git {

class ChangedLines {
 public:
  // Whether any line from first to last changed, or lines between two of
  // them were deleted.  A file git does not track yet is new throughout.
  bool touches(const std::string& path, int32_t first, int32_t last) const;
  // Whether anything in the file changed.
  bool touchesFile(const std::string& path) const;

  // Reads `git diff` of the working tree against the revision, below each
  // of the paths (files or folders); a usage problem saying why when git
  // cannot say (not a repository, an unknown revision, git missing).
  static errors::Result<ChangedLines> since(const std::string& revision, const std::vector<std::string>& paths);

  // What one diff in git's patch format changed, by file below root;
  // public for the tests.
  void addPatch(const std::string& root, const std::string& patch);

 private:
  struct FileChanges {
    bool whole = false;
    std::vector<std::pair<int32_t, int32_t>> lines;  // first and last line of each added part
    std::vector<int32_t> deletedAfter;               // lines after which lines were deleted
  };
  const FileChanges* find(const std::string& path) const;
  std::map<std::string, FileChanges> files_;  // by canonical path
};

}  // namespace git
