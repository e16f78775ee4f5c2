// Runs mode 7 of the built engine on a Java source in a temporary folder
// and collects everything it left behind.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "tests/support/test_support.h"

namespace javatest {

struct ParseRun {
  int exitCode = -1;
  std::string err;  // standard error
  std::optional<std::string> status;
  std::optional<std::string> tree;  // decompressed tree file
  std::optional<std::string> results;
  std::optional<std::string> comments;
};

// The paths mode 7 is given inside a folder.
struct ParsePaths {
  explicit ParsePaths(const std::filesystem::path& folder);
  std::string source, tree, comments, status, results;
};

// Writes source as Source.java into dir and parses it at a language level
// (0 is passed as "x", as callers of the Java 5 grammar do).
ParseRun parseSource(const testing_support::TempDir& dir, std::string_view source, int enumSwitch = 1,
                     int level = 0);
// Parses with explicit paths and collects whatever exists afterwards.
ParseRun parsePaths(const ParsePaths& paths, int enumSwitch = 1, int level = 0);

// Sets a file's modification time in seconds since 1970.
void setModificationTime(const std::filesystem::path& path, long long seconds);

// The decompressed content of a compressed tree file.
std::string decompressed(const std::filesystem::path& path);

// Entries under a folder, recursively.
size_t entriesIn(const std::filesystem::path& dir);

}  // namespace javatest
