#include "archive.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <vector>

#include <unzip.h>
#include <zip.h>

#include "flowchart/xml/atomic_file.h"

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

bool addFile(zipFile zip, const fs::path& file, const std::string& storedName) {
  std::FILE* in = std::fopen(file.string().c_str(), "rb");
  if (!in) return false;
  zip_fileinfo info = fileInfoFor(file);
  if (zipOpenNewFileInZip64(zip, storedName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                            Z_DEFLATED, Z_DEFAULT_COMPRESSION, 1) != ZIP_OK) {
    std::fclose(in);
    return false;
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
  return zipCloseFileInZip(zip) == ZIP_OK && ok;
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

bool extractCurrent(unzFile zip, const std::string& target, std::time_t stamp) {
  if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
  xml::AtomicFile out(target);
  bool ok = out.open();
  std::vector<char> buffer(kChunk);
  while (ok) {
    const int got = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
    if (got < 0) ok = false;
    if (got <= 0) break;
    ok = out.write(std::string_view(buffer.data(), static_cast<size_t>(got)));
  }
  // A damaged entry fails its check here and is not kept.
  if (unzCloseCurrentFile(zip) != UNZ_OK) ok = false;
  if (!ok || !out.commit()) return false;
  std::error_code ec;
  fs::last_write_time(target, fromTimeT(stamp), ec);
  return true;
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
  // Written beside the archive and renamed over it when complete.
  const std::string stagingPath = xml::reserveTemporaryFile(archivePath);
  if (stagingPath.empty()) return 1;
  zipFile zip = zipOpen64(stagingPath.c_str(), APPEND_STATUS_CREATE);
  if (!zip) {
    fs::remove(stagingPath, ec);
    return 1;
  }
  for (const fs::path& file : files) {
    const std::string full = withSlashes(file.string());
    // The stored name is the path below the folder: the folder is removed
    // only as the leading prefix, never where its text recurs deeper.
    std::string stored = full.substr(root.size());
    while (!stored.empty() && stored.front() == '/') stored.erase(0, 1);
    if (stored.empty()) continue;
    addFile(zip, file, stored);
  }
  if (zipClose(zip, nullptr) != ZIP_OK) {
    fs::remove(stagingPath, ec);
    return 1;
  }
  fs::rename(stagingPath, archivePath, ec);
  if (ec) fs::remove(stagingPath, ec);
  return 1;
}

std::string unpackTargetFolder(std::string_view archive) {
  const size_t dot = archive.rfind('.');
  std::string folder(dot == std::string_view::npos ? archive : archive.substr(0, dot));
  return folder + "/";
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
  const std::string targetFolder = unpackTargetFolder(archive);
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
              fs::create_directories(target.parent_path(), ec);
              if (staysInside(targetFolder, target)) extractCurrent(zip, target.string(), entryTime(info));
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
