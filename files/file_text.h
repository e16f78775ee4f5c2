// Reading a whole file into memory: the one reader of the programs' input
// files (sources, records, trees, templates).
#pragma once

#include <optional>
#include <string>

#include "errors/problem.h"

namespace files {

// The file's bytes, or why they cannot be had: the system's reason for a
// file that cannot be opened or read (a missing file, a folder, a read
// error), ENOMEM when memory runs out.  Pipes and devices are read as
// files are: callers that must not block check the kind first.
errors::Result<std::string> readFileBytes(const std::string& path);

// The same, for readers that only tell whether the file could be read.
std::optional<std::string> readFileText(const std::string& path);

}  // namespace files
