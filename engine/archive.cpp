#include "archive.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <set>
#include <system_error>
#include <vector>

#include <unzip.h>
#include <zip.h>
#include <zlib.h>

#include "files/atomic_file.h"

namespace engine {
namespace fs = std::filesystem;
namespace {

constexpr size_t kChunk = 16384;

std::string withSlashes(std::string_view path) {
  std::string out(path);
  std::replace(out.begin(), out.end(), '\\', '/');
  return out;
}

// Every regular file below root, in name order, depth first.
void collectFiles(const fs::path& folder, std::vector<fs::path>& files) {
  std::error_code ec;
  std::vector<fs::directory_entry> entries;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    entries.push_back(*it);
  std::sort(entries.begin(), entries.end(),
            [](const fs::directory_entry& a, const fs::directory_entry& b) {
              return a.path().filename().string() < b.path().filename().string();
            });
  for (const fs::directory_entry& entry : entries) {
    std::error_code typeError;
    if (entry.is_symlink(typeError)) continue;  // never follow links out of the folder
    if (entry.is_directory(typeError))
      collectFiles(entry.path(), files);
    else if (entry.is_regular_file(typeError))
      files.push_back(entry.path());
  }
}

std::time_t toTimeT(fs::file_time_type stamp) {
  auto system = std::chrono::file_clock::to_sys(stamp);
  return std::chrono::system_clock::to_time_t(system);
}

fs::file_time_type fromTimeT(std::time_t stamp) {
  return std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(stamp));
}

zip_fileinfo fileInfoFor(const fs::path& file) {
  zip_fileinfo info{};
  std::error_code ec;
  const fs::file_time_type stamp = fs::last_write_time(file, ec);
  if (ec) return info;
  const std::time_t seconds = toTimeT(stamp);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  info.tmz_date.tm_sec = static_cast<uInt>(local.tm_sec);
  info.tmz_date.tm_min = static_cast<uInt>(local.tm_min);
  info.tmz_date.tm_hour = static_cast<uInt>(local.tm_hour);
  info.tmz_date.tm_mday = static_cast<uInt>(local.tm_mday);
  info.tmz_date.tm_mon = static_cast<uInt>(local.tm_mon);
  info.tmz_date.tm_year = static_cast<uInt>(local.tm_year + 1900);
  return info;
}

enum class Added { Whole, Skipped, Broken };

// Adds one file.  Skipped: nothing went into the archive (the file cannot
// be opened).  Broken: an entry went in that is not the file (a read or a
// write failed part-way); the archive must then be made again without it.
Added addFile(zipFile zip, const fs::path& file, const std::string& storedName) {
  std::FILE* in = std::fopen(file.string().c_str(), "rb");
  if (!in) return Added::Skipped;
  zip_fileinfo info = fileInfoFor(file);
  if (zipOpenNewFileInZip64(zip, storedName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                            Z_DEFLATED, Z_DEFAULT_COMPRESSION, 1) != ZIP_OK) {
    std::fclose(in);
    return Added::Broken;
  }
  std::vector<char> buffer(kChunk);
  bool ok = true;
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) {
    if (zipWriteInFileInZip(zip, buffer.data(), static_cast<unsigned>(got)) != ZIP_OK) {
      ok = false;
      break;
    }
  }
  if (std::ferror(in)) ok = false;
  std::fclose(in);
  return zipCloseFileInZip(zip) == ZIP_OK && ok ? Added::Whole : Added::Broken;
}

// Writes the archive of files (but those left out) to path; false when an
// entry broke, with the file added to leftOut.
bool writeArchive(const std::string& path, const std::string& root, const std::vector<fs::path>& files,
                  std::set<fs::path>& leftOut) {
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (!zip) return false;
  bool whole = true;
  for (const fs::path& file : files) {
    if (leftOut.count(file)) continue;
    const std::string full = withSlashes(file.string());
    // The stored name is the path below the folder: the folder is removed
    // only as the leading prefix, never where its text recurs deeper.
    std::string stored = full.substr(root.size());
    while (!stored.empty() && stored.front() == '/') stored.erase(0, 1);
    if (stored.empty()) continue;
    if (addFile(zip, file, stored) == Added::Broken) {
      leftOut.insert(file);
      whole = false;
    }
  }
  return zipClose(zip, nullptr) == ZIP_OK && whole;
}

// Refuses paths that reach outside root through a link already on disk.
bool staysInside(const fs::path& root, const fs::path& target) {
  std::error_code ec;
  const fs::path base = fs::weakly_canonical(root, ec);
  if (ec) return false;
  const fs::path resolved = fs::weakly_canonical(target, ec);
  if (ec) return false;
  auto mismatch = std::mismatch(base.begin(), base.end(), resolved.begin(), resolved.end());
  return mismatch.first == base.end();
}

// Extracts the current entry to target.  It replaces target only when it
// reads back whole: as many bytes as the archive states, with its CRC
// (minizip checks the CRC only of an entry read to its stated end, so an
// entry whose data ends early would otherwise come out short).
bool extractCurrent(unzFile zip, const std::string& target, const unz_file_info64& info,
                    std::time_t stamp) {
  if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
  files::AtomicFile out(target);
  bool ok = out.open();
  std::vector<char> buffer(kChunk);
  uLong crc = crc32(0L, Z_NULL, 0);
  uint64_t total = 0;
  while (ok) {
    const int got = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
    if (got < 0) ok = false;
    if (got <= 0) break;
    crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), static_cast<uInt>(got));
    total += static_cast<uint64_t>(got);
    ok = total <= info.uncompressed_size &&
         out.write(std::string_view(buffer.data(), static_cast<size_t>(got)));
  }
  if (total != info.uncompressed_size || crc != info.crc) ok = false;
  if (unzCloseCurrentFile(zip) != UNZ_OK) ok = false;
  if (!ok || !out.commit()) return false;
  std::error_code ec;
  fs::last_write_time(target, fromTimeT(stamp), ec);
  return true;
}

// Whether an entry of this many bytes leaves the disk its reserve: a
// thirty-second of it, at most 64 MiB.  When the room cannot be learnt,
// the entry is tried (its write fails cleanly if the disk fills).
bool fitsOnDisk(const fs::path& folder, uint64_t bytes) {
  std::error_code ec;
  const fs::space_info space = fs::space(folder, ec);
  if (ec || space.available == static_cast<uintmax_t>(-1)) return true;
  const uintmax_t reserve = std::min<uintmax_t>(space.capacity / 32, uintmax_t{64} << 20);
  return space.available >= reserve && bytes <= space.available - reserve;
}

std::time_t entryTime(const unz_file_info64& info) {
  std::tm local{};
  local.tm_sec = static_cast<int>(info.tmu_date.tm_sec);
  local.tm_min = static_cast<int>(info.tmu_date.tm_min);
  local.tm_hour = static_cast<int>(info.tmu_date.tm_hour);
  local.tm_mday = static_cast<int>(info.tmu_date.tm_mday);
  local.tm_mon = static_cast<int>(info.tmu_date.tm_mon);
  local.tm_year = static_cast<int>(info.tmu_date.tm_year) - 1900;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

}  // namespace

int packFolder(const std::string& folder) {
  std::string root = withSlashes(folder);
  // A trailing separator must not put the archive inside the folder.
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  std::error_code ec;
  if (root.empty() || !fs::is_directory(root, ec)) return 1;

  std::vector<fs::path> files;
  collectFiles(root, files);

  const std::string archivePath = root + ".zip";
  // Written beside the archive and renamed over it when complete.  A file
  // whose reads fail part-way has already put a short entry in; the archive
  // is then made again without it (a few times at most: each pass leaves
  // out at least one more file).
  std::set<fs::path> leftOut;
  for (int pass = 0; pass < 4; ++pass) {
    const std::string stagingPath = files::reserveTemporaryFile(archivePath);
    if (stagingPath.empty()) return 1;
    if (writeArchive(stagingPath, root, files, leftOut)) {
      fs::rename(stagingPath, archivePath, ec);
      if (ec) fs::remove(stagingPath, ec);
      return 1;
    }
    fs::remove(stagingPath, ec);
  }
  return 1;
}

std::optional<std::string> unpackTargetFolder(std::string_view archive) {
  const size_t slash = archive.find_last_of("/\\");
  const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const std::string_view name = archive.substr(nameStart);
  const std::string_view stem = name.substr(0, std::min(name.rfind('.'), name.size()));
  if (stem.empty() || stem == "." || stem == "..") return std::nullopt;
  return std::string(archive.substr(0, nameStart)) + std::string(stem) + "/";
}

std::optional<std::string> cleanStoredName(std::string_view stored) {
  std::string name(stored);
  static constexpr std::string_view kClimbs[] = {"\\..\\", "\\../", "/../", "/..\\"};
  bool changed = true;
  while (changed) {
    changed = false;
    if (name.size() >= 2 && name[1] == ':') {
      name.erase(0, 2);
      changed = true;
      continue;
    }
    if (!name.empty() && (name[0] == '/' || name[0] == '\\')) {
      name.erase(0, 1);
      changed = true;
      continue;
    }
    for (std::string_view climb : kClimbs) {
      const size_t at = name.find(climb);
      if (at != std::string::npos) {
        name.erase(0, at + climb.size());
        changed = true;
        break;
      }
    }
  }
  // Rebuild from its segments: "." goes, ".." anywhere refuses the name.
  std::string clean;
  size_t start = 0;
  const std::string normal = withSlashes(name);
  while (start <= normal.size()) {
    size_t end = normal.find('/', start);
    if (end == std::string::npos) end = normal.size();
    const std::string_view segment(normal.data() + start, end - start);
    if (segment == "..") return std::nullopt;
    if (!segment.empty() && segment != ".") {
      if (!clean.empty()) clean += '/';
      clean.append(segment);
    }
    start = end + 1;
  }
  if (clean.empty()) return std::nullopt;
  if (!normal.empty() && normal.back() == '/') clean += '/';
  return clean;
}

int unpackArchive(const std::string& archive) {
  const std::optional<std::string> folder = unpackTargetFolder(archive);
  if (!folder) return 1;
  const std::string& targetFolder = *folder;
  unzFile zip = unzOpen64(archive.c_str());
  if (!zip) return 1;
  std::error_code ec;
  fs::create_directories(targetFolder, ec);
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(zip, &global) == UNZ_OK && global.number_entry > 0) {
    int status = unzGoToFirstFile(zip);
    for (ZPOS64_T i = 0; i < global.number_entry && status == UNZ_OK; ++i) {
      unz_file_info64 info{};
      char name[4096];
      if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) == UNZ_OK &&
          info.size_filename < sizeof name) {
        std::optional<std::string> clean = cleanStoredName(name);
        if (clean) {
          const bool isFolder = clean->back() == '/';
          const fs::path target = fs::path(targetFolder) / *clean;
          if (staysInside(targetFolder, target)) {
            if (isFolder) {
              fs::create_directories(target, ec);
            } else {
              // Stop before an entry that would fill the disk; the files
              // written so far are whole.
              if (!fitsOnDisk(targetFolder, info.uncompressed_size)) break;
              fs::create_directories(target.parent_path(), ec);
              if (staysInside(targetFolder, target)) extractCurrent(zip, target.string(), info, entryTime(info));
            }
          }
        }
      }
      status = unzGoToNextFile(zip);
    }
  }
  unzClose(zip);
  return 1;
}

}  // namespace engine
