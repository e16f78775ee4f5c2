#include "site/java_files.h"

#include <algorithm>

namespace site {
namespace {

namespace fs = std::filesystem;

// Why an entry named like a source is no source to read.
std::string notASource(fs::file_type target) {
  switch (target) {
    case fs::file_type::fifo: return "a FIFO";
    case fs::file_type::character:
    case fs::file_type::block: return "a device";
    case fs::file_type::socket: return "a socket";
    default: return "not a regular file";
  }
}

}  // namespace

JavaFiles javaFilesBelow(files::FileSystem& files, const fs::path& root, const fs::path& leaveOut) {
  JavaFiles found;
  std::vector<fs::path> folders{root};
  while (!folders.empty()) {
    const fs::path folder = std::move(folders.back());
    folders.pop_back();
    errors::Result<files::FolderListing> listing = files.listFolder(folder);
    if (!listing) {
      found.unreadable.push_back({folder, listing.problem().systemError, false});
      continue;
    }
    for (const files::FolderEntry& entry : listing->entries) {
      if (entry.type == fs::file_type::directory) {
        if (leaveOut.empty() || !files.sameFile(entry.path, leaveOut)) folders.push_back(entry.path);
        continue;
      }
      const bool dangling = entry.type == fs::file_type::symlink && entry.target == fs::file_type::not_found;
      if (dangling) {
        found.skipped.push_back({entry.path, "a dangling symbolic link"});
        continue;
      }
      if (entry.path.extension() != ".java" || entry.target == fs::file_type::directory) continue;
      if (entry.target != fs::file_type::regular) {
        found.skipped.push_back({entry.path, notASource(entry.target)});
        continue;
      }
      found.files.push_back({entry.path, entry.size});
    }
    if (listing->stoppedBy != 0) found.unreadable.push_back({folder, listing->stoppedBy, true});
  }
  std::sort(found.files.begin(), found.files.end(), [](const JavaFile& a, const JavaFile& b) {
    return a.path.generic_string() < b.path.generic_string();
  });
  return found;
}

}  // namespace site
