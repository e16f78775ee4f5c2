// Helpers shared by the unit and end-to-end tests: temporary folders,
// whole-file reads and writes, and running the built engine.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// A fresh folder under the system temporary folder, removed with its
// content when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, std::string_view bytes);
bool fileExists(const std::filesystem::path& path);

// The source tree (FLOWCHART_SOURCE_DIR, set by CTest).
std::filesystem::path sourceDir();
// A file under tests/fixtures.
std::filesystem::path fixture(std::string_view relative);

struct RunResult {
  int exitCode = -1;  // the engine's exit status (0..255), -1 if it did not exit
  std::string out;    // standard output
  std::string err;    // standard error
};

// Runs the built engine (FLOWCHART_ENGINE, set by CTest) with the given
// arguments in the given working folder.
RunResult runEngine(const std::vector<std::string>& args,
                    const std::filesystem::path& workingDir = {});
// Runs any program the same way.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::filesystem::path& workingDir = {});

// Runs a shell command; returns its exit status.
int runShell(const std::string& command);

}  // namespace testing_support
