#include "test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace testing_support {
namespace fs = std::filesystem;

TempDir::TempDir() {
  std::random_device device;
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = fs::temp_directory_path() /
                         ("flowchart-test-" + std::to_string(device()) + "-" +
                          std::to_string(counter++));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests may make files read-only; make everything removable first.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::end(it);
       it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path.string());
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool fileExists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

fs::path sourceDir() {
  const char* dir = std::getenv("FLOWCHART_SOURCE_DIR");
  if (!dir) throw std::runtime_error("FLOWCHART_SOURCE_DIR is not set (run the tests through ctest)");
  return dir;
}

fs::path fixture(std::string_view relative) { return sourceDir() / "tests" / "fixtures" / relative; }

std::string shellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

int runShell(const std::string& command) {
  int status = std::system(command.c_str());
  if (status == -1) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return -1;
}

std::string engineCommand(const std::vector<std::string>& args) {
  const char* engine = std::getenv("FLOWCHART_ENGINE");
  if (!engine) throw std::runtime_error("FLOWCHART_ENGINE is not set (run the tests through ctest)");
  std::string command = shellQuote(engine);
  for (const std::string& arg : args) command += " " + shellQuote(arg);
  return command;
}

RunResult runEngine(const std::vector<std::string>& args, const fs::path& workingDir,
                    int timeLimitSeconds) {
  const char* engine = std::getenv("FLOWCHART_ENGINE");
  if (!engine) throw std::runtime_error("FLOWCHART_ENGINE is not set (run the tests through ctest)");
  return runProgram(engine, args, workingDir, timeLimitSeconds);
}

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const fs::path& workingDir, int timeLimitSeconds) {
  TempDir capture;
  std::string command;
  if (!workingDir.empty()) command += "cd " + shellQuote(workingDir.string()) + " && ";
  if (timeLimitSeconds > 0) command += "timeout -k 5 " + std::to_string(timeLimitSeconds) + " ";
  command += shellQuote(program);
  for (const std::string& arg : args) command += " " + shellQuote(arg);
  command += " >" + shellQuote(capture.file("out")) + " 2>" + shellQuote(capture.file("err"));
  RunResult result;
  result.exitCode = runShell(command);
  result.out = readFile(capture.file("out"));
  result.err = readFile(capture.file("err"));
  return result;
}

SmallDisk::SmallDisk(uintmax_t bytes) {
  if (geteuid() != 0) return;
  mounted_ = runShell("mount -t tmpfs -o size=" + std::to_string(bytes) + " tmpfs " +
                      shellQuote(dir_.path().string()) + " 2>/dev/null") == 0;
}

SmallDisk::~SmallDisk() {
  if (mounted_) runShell("umount " + shellQuote(dir_.path().string()) + " 2>/dev/null");
}

uintmax_t SmallDisk::available() const { return fs::space(dir_.path()).available; }

void SmallDisk::fill(uintmax_t free) {
  unfill();
  const uintmax_t room = available();
  if (room <= free) return;
  std::ofstream out(dir_.path() / ".filler", std::ios::binary);
  const std::string block(1 << 16, 'f');
  for (uintmax_t left = room - free; left > 0 && out;) {
    const uintmax_t piece = std::min<uintmax_t>(left, block.size());
    out.write(block.data(), static_cast<std::streamsize>(piece));
    left -= piece;
  }
}

void SmallDisk::unfill() {
  std::error_code ec;
  fs::remove(dir_.path() / ".filler", ec);
}

}  // namespace testing_support
