#include "files/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <system_error>
#include <thread>

namespace files {
namespace {

namespace fs = std::filesystem;

uint64_t randomBits() {
  thread_local std::mt19937_64 generator = [] {
    static std::atomic<uint64_t> counter{0};
    uint64_t seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    seed ^= std::hash<std::thread::id>()(std::this_thread::get_id()) + (counter++ << 32);
    try {
      std::random_device device;
      seed ^= (static_cast<uint64_t>(device()) << 32) | device();
    } catch (...) {
      // No random device: the clock, thread and counter still differ.
    }
    return std::mt19937_64(seed);
  }();
  return generator();
}

// A hidden name of fixed length in the target's folder: a target whose
// own name is as long as the file system allows can still get one.
std::string temporaryNameFor(const std::string& target) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string name = ".~";
  uint64_t bits = randomBits();
  for (int i = 0; i < 16; ++i, bits >>= 4) name += kHex[bits & 0xF];
  name += ".tmp";
  const fs::path folder = fs::path(target).parent_path();
  return folder.empty() ? name : (folder / name).string();
}

// Creates a new empty file under a fresh temporary name; the open stream,
// or nullptr (and name cleared) when none can be created.
std::FILE* createTemporary(const std::string& target, std::string& name) {
  for (unsigned attempt = 0; attempt < 16; ++attempt) {
    name = temporaryNameFor(target);
    // "x": fail rather than reuse a file that happens to exist.
    if (std::FILE* file = std::fopen(name.c_str(), "wbx")) return file;
    if (errno != EEXIST) break;
  }
  name.clear();
  return nullptr;
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open() {
  if (file_) return true;
  std::error_code ec;
  if (fs::is_directory(target_, ec)) {
    error_ = EISDIR;
    return false;
  }
  file_ = createTemporary(target_, temp_);
  if (!file_) {
    error_ = errno;
    return false;
  }
  constexpr size_t kBufferBytes = 64 * 1024;
  if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferBytes);
  std::setvbuf(file_, buffer_.get(), _IOFBF, kBufferBytes);
  return true;
}

bool AtomicFile::write(std::string_view bytes) {
  if (!file_ || failed_) return false;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    failed_ = true;
    error_ = errno;
  }
  return !failed_;
}

bool AtomicFile::close() {
  if (closed_) return true;
  if (!file_) return false;
  bool ok = !failed_ && std::fflush(file_) == 0 && !std::ferror(file_);
  if (!ok && error_ == 0) error_ = errno;
  const bool closedWell = std::fclose(file_) == 0;
  if (!closedWell && ok) error_ = errno;
  ok = closedWell && ok;
  file_ = nullptr;
  if (!ok) {
    failed_ = true;
    discard();
    return false;
  }
  closed_ = true;
  return true;
}

bool AtomicFile::commit() {
  if (!close()) return false;
  closed_ = false;
  std::error_code ec;
  fs::rename(temp_, target_, ec);
  if (ec) {
    error_ = ec.value();
    discard();
    return false;
  }
  temp_.clear();
  return true;
}

void AtomicFile::discard() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temp_.empty()) {
    std::error_code ec;
    fs::remove(temp_, ec);
    temp_.clear();
  }
}

StagedFiles::~StagedFiles() { discard(); }

std::string StagedFiles::stage(const std::string& target) {
  std::error_code ec;
  if (fs::is_directory(target, ec)) return std::string();
  std::string staging = reserveTemporaryFile(target);
  if (!staging.empty()) files_.emplace_back(staging, target);
  return staging;
}

bool StagedFiles::commit() {
  while (!files_.empty()) {
    std::error_code ec;
    fs::rename(files_.front().first, files_.front().second, ec);
    if (ec) return false;
    files_.erase(files_.begin());
  }
  return true;
}

void StagedFiles::discard() {
  for (const auto& [staging, target] : files_) {
    std::error_code ec;
    fs::remove(staging, ec);
  }
  files_.clear();
}

std::string reserveTemporaryFile(const std::string& target) {
  std::string name;
  std::FILE* file = createTemporary(target, name);
  if (file) std::fclose(file);
  return name;
}

errors::Status writeAtomically(const std::string& path, std::string_view bytes) {
  AtomicFile file(path);
  if (file.open() && file.write(bytes) && file.commit()) return {};
  return errors::Problem::fromSystem(path, file.systemError());
}

}  // namespace files
