#include "pipeline/work_folder.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>

namespace pipeline {

namespace fs = std::filesystem;

namespace {

// The folder to work in: TMPDIR when the user set it; else a file system
// in memory where the system has one (a method's drawing writes and reads
// a dozen small files, which a disk under load makes slow); else the
// system's temporary folder.
fs::path workBase(std::error_code& ec) {
  const char* chosen = std::getenv("TMPDIR");
  if (chosen && *chosen) return fs::path(chosen);
  const fs::path memory = "/dev/shm";
  std::error_code ignored;
  if (fs::is_directory(memory, ignored) &&
      (fs::status(memory, ignored).permissions() & fs::perms::others_write) != fs::perms::none)
    return memory;
  return fs::temp_directory_path(ec);
}

}  // namespace

std::optional<WorkFolder> WorkFolder::create(std::string* error) {
  std::error_code ec;
  const fs::path base = workBase(ec);
  if (ec) {
    if (error) *error = "no temporary folder: " + ec.message();
    return std::nullopt;
  }
  static std::atomic<unsigned> counter{0};
  std::random_device entropy;
  std::mt19937_64 random(entropy() ^ static_cast<uint64_t>(
                             std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate =
        base / ("flowchart-" + std::to_string(random() % 1000000000) + "-" + std::to_string(counter++));
    // create_directory reports false when the name is taken: try another.
    if (fs::create_directory(candidate, ec)) {
      fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, ec);
      return WorkFolder(candidate);
    }
    if (ec) break;
  }
  if (error) *error = "cannot make a work folder in " + base.string() + (ec ? ": " + ec.message() : "");
  return std::nullopt;
}

WorkFolder::WorkFolder(WorkFolder&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }

WorkFolder& WorkFolder::operator=(WorkFolder&& other) noexcept {
  if (this != &other) {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
    path_ = std::move(other.path_);
    other.path_.clear();
  }
  return *this;
}

WorkFolder::~WorkFolder() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

}  // namespace pipeline
