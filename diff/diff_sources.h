// The two sides flowchart diff compares, read into diff's typed methods:
// from git (a revision's files read as blobs, in memory; the working tree
// from the disk) or from two files or two folders.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "diff/model.h"
#include "errors/problem.h"

namespace diff {

struct DiffFailure {
  std::string side;  // the side's name
  std::string path;
  int32_t line = 0;
  std::string message;
};

struct DiffSides {
  diff::Side base, head;
  std::map<std::string, std::string> renamedFiles;  // base path -> head path
  std::vector<DiffFailure> failures;                 // files not compared, with why
  size_t files = 0;                                  // Java files compared
};

struct DiffReading {
  int languageLevel = 0;
  bool messages = false;  // read each method's sequence-diagram calls too
};

// Between two revisions of the repository holding the current folder
// (head: none for the working tree), below the paths; a usage problem for
// no repository, an unknown revision or git missing.  With
// namesBeforeSeparator (no "--" was given), a head that is no revision but
// a file or folder here is the first path instead, against the working
// tree, and every name that is neither, or a path that is not here, is
// refused as git refuses one.
errors::Result<DiffSides> readRevisions(const std::string& base, const std::optional<std::string>& head,
                                        const std::vector<std::string>& paths, const DiffReading& reading,
                                        bool namesBeforeSeparator = false);

// Between two .java files, or two folders (their files matched by path
// below them); a usage problem when they are neither.
errors::Result<DiffSides> readPaths(const std::string& oldPath, const std::string& newPath,
                                    const DiffReading& reading);

}  // namespace diff
