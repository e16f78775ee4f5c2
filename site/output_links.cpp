#include "site/output_links.h"

#include <algorithm>

#include "site/site_layout.h"

namespace site {

namespace fs = std::filesystem;

std::vector<fs::path> linksWhereTheSiteIsWritten(files::FileSystem& files, const fs::path& output) {
  std::vector<fs::path> links;
  std::vector<fs::path> folders;
  if (errors::Result<files::FolderListing> top = files.listFolder(output))
    for (const files::FolderEntry& entry : top->entries) {
      const fs::path name = entry.path.filename();
      if (name != kFilesFolder && name != kSiteFolder && name != kFilePageName) continue;
      if (entry.type == fs::file_type::symlink) links.push_back(entry.path);
      else if (entry.type == fs::file_type::directory) folders.push_back(entry.path);
    }
  while (!folders.empty()) {
    const fs::path folder = std::move(folders.back());
    folders.pop_back();
    errors::Result<files::FolderListing> listing = files.listFolder(folder);
    if (!listing) continue;
    for (const files::FolderEntry& entry : listing->entries) {
      if (entry.type == fs::file_type::symlink) links.push_back(entry.path);
      else if (entry.type == fs::file_type::directory) folders.push_back(entry.path);
    }
  }
  std::sort(links.begin(), links.end(),
            [](const fs::path& a, const fs::path& b) { return a.generic_string() < b.generic_string(); });
  return links;
}

}  // namespace site
