#include "pipeline/work_folder.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <random>

#include "pipeline/write_trouble.h"

namespace pipeline {

namespace fs = std::filesystem;

namespace {

// The folder to work in: TMPDIR when the user set it; else a file system
// in memory where the system has one (a method's drawing writes and reads
// a dozen small files, which a disk under load makes slow); else the
// system's temporary folder.
fs::path workBase(std::string& place, std::error_code& ec) {
  const char* chosen = std::getenv("TMPDIR");
  if (chosen && *chosen) {
    place = "TMPDIR (" + std::string(chosen) + ")";
    return fs::path(chosen);
  }
  const fs::path memory = "/dev/shm";
  std::error_code ignored;
  if (fs::is_directory(memory, ignored) &&
      (fs::status(memory, ignored).permissions() & fs::perms::others_write) != fs::perms::none) {
    place = memory.string();
    return memory;
  }
  fs::path system = fs::temp_directory_path(ec);
  place = "the temporary folder " + system.string();
  return system;
}

constexpr std::string_view kPrefix = "flowchart-p";

// The process a work folder is named for; 0 for another name.
pid_t ownerProcess(const std::string& name) {
  if (name.rfind(kPrefix, 0) != 0) return 0;
  const size_t dash = name.find('-', kPrefix.size());
  if (dash == std::string::npos || dash == kPrefix.size()) return 0;
  pid_t pid = 0;
  for (size_t i = kPrefix.size(); i < dash; ++i) {
    if (name[i] < '0' || name[i] > '9' || pid > 100000000) return 0;
    pid = pid * 10 + (name[i] - '0');
  }
  return pid;
}

bool isRunning(pid_t pid) { return ::kill(pid, 0) == 0 || errno != ESRCH; }

}  // namespace

size_t WorkFolder::removeStale() {
  std::error_code ec;
  std::string place;
  const fs::path base = workBase(place, ec);
  if (ec) return 0;
  const auto quiet = fs::file_time_type::clock::now() - std::chrono::minutes(1);
  size_t removed = 0;
  for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
    const pid_t pid = ownerProcess(it->path().filename().string());
    std::error_code entryError;
    if (pid <= 0 || isRunning(pid) || !it->is_directory(entryError)) continue;
    struct stat info {};
    if (::lstat(it->path().c_str(), &info) != 0 || info.st_uid != ::geteuid()) continue;
    if (fs::last_write_time(it->path(), entryError) > quiet || entryError) continue;
    if (fs::remove_all(it->path(), entryError) > 0 && !entryError) ++removed;
  }
  return removed;
}

std::optional<WorkFolder> WorkFolder::create(std::string* error) {
  std::error_code ec;
  std::string place;
  const fs::path base = workBase(place, ec);
  if (ec) {
    if (error) *error = "no temporary folder: " + ec.message();
    return std::nullopt;
  }
  static std::atomic<unsigned> counter{0};
  std::random_device entropy;
  std::mt19937_64 random(entropy() ^ static_cast<uint64_t>(
                             std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Named for this process, so that one left behind by a killed process
    // can be told from one in use.
    const fs::path candidate = base / (std::string(kPrefix) + std::to_string(::getpid()) + "-" +
                                       std::to_string(random() % 1000000000) + "-" + std::to_string(counter++));
    // create_directory reports false when the name is taken: try another.
    if (fs::create_directory(candidate, ec)) {
      fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, ec);
      return WorkFolder(candidate, place);
    }
    if (ec) break;
  }
  if (error) {
    if (ec == std::errc::no_space_on_device) *error = "no space left in " + place;
    else *error = "cannot make a work folder in " + place + (ec ? ": " + ec.message() : "");
  }
  return std::nullopt;
}

WorkFolder::WorkFolder(WorkFolder&& other) noexcept
    : path_(std::move(other.path_)), place_(std::move(other.place_)) {
  other.path_.clear();
}

WorkFolder& WorkFolder::operator=(WorkFolder&& other) noexcept {
  if (this != &other) {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
    path_ = std::move(other.path_);
    place_ = std::move(other.place_);
    other.path_.clear();
  }
  return *this;
}

std::optional<std::string> WorkFolder::writeTrouble() const {
  return pipeline::writeTrouble(path_, place_);
}

WorkFolder::~WorkFolder() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

}  // namespace pipeline
