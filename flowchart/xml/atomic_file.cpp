#include "atomic_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>

namespace xml {
namespace {

std::string temporaryNameFor(const std::string& target, unsigned attempt) {
  static std::atomic<unsigned> counter{0};
  const auto stamp = static_cast<unsigned long long>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  return target + ".tmp~" + std::to_string(stamp % 1000000007ULL) + "-" +
         std::to_string(counter++) + "-" + std::to_string(attempt);
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open() {
  if (file_) return true;
  std::error_code ec;
  if (std::filesystem::is_directory(target_, ec)) return false;
  for (unsigned attempt = 0; attempt < 16; ++attempt) {
    temp_ = temporaryNameFor(target_, attempt);
    // "x": fail rather than reuse a file that happens to exist.
    file_ = std::fopen(temp_.c_str(), "wbx");
    if (file_) return true;
    if (errno != EEXIST) break;
  }
  temp_.clear();
  return false;
}

bool AtomicFile::write(std::string_view bytes) {
  if (!file_ || failed_) return false;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
    failed_ = true;
  return !failed_;
}

bool AtomicFile::commit() {
  if (!file_) return false;
  bool ok = !failed_ && std::fflush(file_) == 0 && !std::ferror(file_);
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  if (!ok) {
    discard();
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(temp_, target_, ec);
  if (ec) {
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
    std::filesystem::remove(temp_, ec);
    temp_.clear();
  }
}

std::string reserveTemporaryFile(const std::string& target) {
  for (unsigned attempt = 0; attempt < 16; ++attempt) {
    std::string name = temporaryNameFor(target, attempt);
    if (std::FILE* file = std::fopen(name.c_str(), "wbx")) {
      std::fclose(file);
      return name;
    }
    if (errno != EEXIST) break;
  }
  return std::string();
}

bool writeFileAtomically(const std::string& path, std::string_view bytes) {
  AtomicFile file(path);
  return file.open() && file.write(bytes) && file.commit();
}

}  // namespace xml
