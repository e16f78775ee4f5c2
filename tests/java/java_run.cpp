#include "java_run.h"

#include <chrono>

#include "xml/tree_file.h"

namespace fs = std::filesystem;

namespace javatest {
namespace {

std::optional<std::string> readIfPresent(const std::string& path) {
  if (!fs::exists(path)) return std::nullopt;
  return testing_support::readFile(path);
}

}  // namespace

ParsePaths::ParsePaths(const fs::path& folder)
    : source((folder / "Source.java").string()),
      tree((folder / "st.tmp").string()),
      comments((folder / "comments.xml").string()),
      status((folder / "status.xml").string()),
      results((folder / "results.xml").string()) {}

ParseRun parsePaths(const ParsePaths& paths, int enumSwitch, int level) {
  auto run = testing_support::runEngine(
      {"7", paths.source, paths.tree, paths.comments, paths.status, paths.results,
       std::to_string(enumSwitch), level == 0 ? "x" : std::to_string(level)});
  ParseRun result;
  result.exitCode = run.exitCode;
  result.err = run.err + run.out;
  result.status = readIfPresent(paths.status);
  if (fs::exists(paths.tree)) result.tree = decompressed(paths.tree);
  result.results = readIfPresent(paths.results);
  result.comments = readIfPresent(paths.comments);
  return result;
}

ParseRun parseSource(const testing_support::TempDir& dir, std::string_view source, int enumSwitch,
                     int level) {
  ParsePaths paths(dir.path());
  testing_support::writeFile(paths.source, source);
  return parsePaths(paths, enumSwitch, level);
}

void setModificationTime(const fs::path& path, long long seconds) {
  const auto system = std::chrono::system_clock::time_point(std::chrono::seconds(seconds));
  fs::last_write_time(path, std::chrono::file_clock::from_sys(system));
}

std::string decompressed(const fs::path& path) {
  return xml::decompressFile(path.string(), uint64_t{1} << 32).value_or("");
}

size_t entriesIn(const fs::path& dir) {
  return static_cast<size_t>(std::distance(fs::recursive_directory_iterator(dir),
                                           fs::recursive_directory_iterator()));
}

}  // namespace javatest
