// Helpers shared by the unit and end-to-end tests: temporary folders,
// whole-file reads and writes, and running the built engine.
#pragma once

#include <cstdint>
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
// arguments in the given working folder.  With a time limit, a run that
// takes longer is killed and reported with exit code 124.
RunResult runEngine(const std::vector<std::string>& args,
                    const std::filesystem::path& workingDir = {}, int timeLimitSeconds = 0);
// Runs any program the same way.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::filesystem::path& workingDir = {}, int timeLimitSeconds = 0);
// The shell command runEngine runs, without redirections.
std::string engineCommand(const std::vector<std::string>& args);

// A small file system (tmpfs) mounted on a fresh folder, for tests of
// what happens when a disk is full.  Mounting needs root; elsewhere
// mounted() is false and the test should skip.
class SmallDisk {
 public:
  explicit SmallDisk(uintmax_t bytes);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  bool mounted() const { return mounted_; }
  const std::filesystem::path& path() const { return dir_.path(); }
  uintmax_t available() const;
  // Takes room with a filler file so that about free bytes stay available
  // (whole pages); unfill() gives it back.
  void fill(uintmax_t free);
  void unfill();

 private:
  TempDir dir_;
  bool mounted_ = false;
};

// Runs a shell command; returns its exit status.
int runShell(const std::string& command);
// Quotes a text for the shell.
std::string shellQuote(const std::string& text);

}  // namespace testing_support
