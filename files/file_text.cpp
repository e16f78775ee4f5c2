#include "files/file_text.h"

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

std::optional<std::string> readFileText(const std::string& path) {
  try {
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(path.c_str(), "rb"));
    if (!in) return std::nullopt;
    std::string bytes;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec) bytes.reserve(static_cast<size_t>(size));
    char chunk[1 << 16];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in.get())) > 0) bytes.append(chunk, got);
    // A folder opens, and fails on the first read.
    if (std::ferror(in.get()) != 0) return std::nullopt;
    return bytes;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  } catch (const std::length_error&) {
    return std::nullopt;
  }
}

}  // namespace files
