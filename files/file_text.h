// Reading a whole file into memory: the one reader of the programs' input
// files (sources, records, trees, templates).
#pragma once

#include <optional>
#include <string>

namespace files {

// The file's bytes; nullopt when it cannot be opened or read (a missing
// file, a folder, a read error) or memory runs out.  Pipes and devices are
// read as files are: callers that must not block check the kind first.
std::optional<std::string> readFileText(const std::string& path);

}  // namespace files
