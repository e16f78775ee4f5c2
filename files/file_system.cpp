#include "files/file_system.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "files/atomic_file.h"
#include "files/file_text.h"

namespace files {
namespace {

namespace fs = std::filesystem;

using errors::Problem;
using errors::Status;

// What the system refused, with errno, about path.
Problem refused(const fs::path& path, int error = errno) { return Problem::fromSystem(path.string(), error); }
Problem refused(const fs::path& path, const std::error_code& ec) { return refused(path, ec.value()); }

// Every byte written, or errno of the write that failed.
int writeAll(int file, const char* bytes, size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(file, bytes, size);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return errno;
    bytes += put;
    size -= static_cast<size_t>(put);
  }
  return 0;
}

// Closes the file; the first error of the writes or the close.
int closed(int file, int error) {
  if (::close(file) != 0 && error == 0) error = errno;
  return error;
}

class RealFileSystem final : public FileSystem {
 public:
  errors::Result<FolderListing> listFolder(const fs::path& folder) override {
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    if (ec) return refused(folder, ec);
    FolderListing listing;
    for (; !ec && it != end; it.increment(ec)) {
      std::error_code kind;
      FolderEntry entry;
      entry.path = it->path();
      entry.type = it->symlink_status(kind).type();
      entry.target = it->status(kind).type();
      if (entry.target == fs::file_type::regular) entry.size = it->file_size(kind);
      listing.entries.push_back(std::move(entry));
    }
    listing.stoppedBy = ec.value();
    return listing;
  }

  bool sameFile(const fs::path& a, const fs::path& b) override {
    std::error_code ec;
    return fs::equivalent(a, b, ec);
  }

  bool exists(const fs::path& path) override {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
  }

  bool isFolder(const fs::path& path) override {
    std::error_code ec;
    return fs::is_directory(path, ec);
  }

  bool canWriteIn(const fs::path& folder) override { return ::access(folder.c_str(), W_OK | X_OK) == 0; }

  std::optional<FileStamp> stamp(const fs::path& path) override {
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    if (ec) return std::nullopt;
    const fs::file_time_type time = fs::last_write_time(path, ec);
    if (ec) return std::nullopt;
    return FileStamp{size, static_cast<int64_t>(time.time_since_epoch().count())};
  }

  errors::Result<std::string> readFile(const fs::path& path) override { return readFileBytes(path.string()); }

  Status makeFolders(const fs::path& folder) override {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return refused(folder, ec);
    return {};
  }

  Status writeFile(const fs::path& path, std::string_view bytes) override {
    const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (out < 0) return refused(path);
    if (const int error = closed(out, writeAll(out, bytes.data(), bytes.size()))) return refused(path, error);
    return {};
  }

  Status replaceFile(const fs::path& path, std::string_view bytes) override { return writeAtomically(path.string(), bytes); }

  // Read and written here, so that a link is never followed and a full
  // disk is reported as such.
  Status copyFile(const fs::path& from, const fs::path& to) override {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0) return refused(from);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (out < 0) {
      const int error = errno;
      ::close(in);
      return refused(to, error);
    }
    int error = 0;
    char buffer[1 << 16];
    for (;;) {
      const ssize_t got = ::read(in, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) error = errno;
      if (got <= 0) break;
      error = writeAll(out, buffer, static_cast<size_t>(got));
      if (error) break;
    }
    ::close(in);
    if ((error = closed(out, error))) return refused(to, error);
    return {};
  }

  Status switchFolders(const fs::path& fresh, const fs::path& target, fs::path& old) override {
    std::error_code ec;
    old.clear();
    if (!fs::exists(fs::symlink_status(target, ec))) {
      fs::rename(fresh, target, ec);
      if (ec) return refused(target, ec);
      return {};
    }
    if (::renameat2(AT_FDCWD, fresh.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
      old = fresh;
      return {};
    }
    if (errno != EINVAL && errno != ENOSYS) return refused(target);
    // A file system that cannot exchange: two renames, the old site aside
    // until the new one is in place.
    const fs::path aside = fresh.string() + "-old";
    fs::rename(target, aside, ec);
    if (ec) return refused(target, ec);
    fs::rename(fresh, target, ec);
    if (ec) {
      std::error_code back;
      fs::rename(aside, target, back);
      return refused(target, ec);
    }
    old = aside;
    return {};
  }

  bool remove(const fs::path& path) override {
    std::error_code ec;
    return fs::remove(path, ec);
  }

  void removeAll(const fs::path& path) override {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

}  // namespace

FileSystem& realFileSystem() {
  static RealFileSystem files;
  return files;
}

}  // namespace files
