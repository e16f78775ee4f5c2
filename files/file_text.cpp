#include "files/file_text.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>

namespace files {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

errors::Result<std::string> readFileBytes(const std::string& path) {
  const auto refused = [&path](int error) { return errors::Problem::fromSystem(path, error); };
  try {
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(path.c_str(), "rb"));
    if (!in) return refused(errno);
    std::string bytes;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec) bytes.reserve(static_cast<size_t>(size));
    char chunk[1 << 16];
    size_t got;
    errno = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, in.get())) > 0) bytes.append(chunk, got);
    // A folder opens, and fails on the first read.
    if (std::ferror(in.get()) != 0) return refused(errno != 0 ? errno : EIO);
    return bytes;
  } catch (const std::bad_alloc&) {
    return refused(ENOMEM);
  } catch (const std::length_error&) {
    return refused(ENOMEM);
  }
}

std::optional<std::string> readFileText(const std::string& path) {
  errors::Result<std::string> bytes = readFileBytes(path);
  if (!bytes) return std::nullopt;
  return std::move(*bytes);
}

}  // namespace files
