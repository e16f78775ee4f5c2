#include "pipeline/write_trouble.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace pipeline {
namespace {

namespace fs = std::filesystem;

// Below this a drawing's work files (layouts, trees of a large method)
// no longer fit: a failed write there is put down to the full disk.
constexpr uintmax_t kLeastRoom = uintmax_t{1} << 20;
// What the probe writes: about one small layout.
constexpr size_t kProbeBytes = 64 << 10;

}  // namespace

std::optional<std::string> writeTrouble(const fs::path& folder, const std::string& named) {
  std::error_code ec;
  const fs::space_info space = fs::space(folder, ec);
  if (!ec && space.available < kLeastRoom) return "no space left in " + named;
  const fs::path probe = folder / (".flowchart-probe-" + std::to_string(std::random_device()()));
  std::FILE* file = std::fopen(probe.string().c_str(), "wb");
  if (!file) return "cannot write in " + named + ": " + std::strerror(errno);
  const std::string bytes(kProbeBytes, ' ');
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  written = std::fflush(file) == 0 && written;
  const int error = errno;
  written = std::fclose(file) == 0 && written;
  fs::remove(probe, ec);
  if (written) return std::nullopt;
  if (error == ENOSPC || error == EDQUOT) return "no space left in " + named;
  return "cannot write in " + named + ": " + std::strerror(error);
}

}  // namespace pipeline
