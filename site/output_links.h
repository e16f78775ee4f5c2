// The symbolic links below a batch run's output folder where its site is
// written (index.html, files/ and site/, and everything below them): a
// site restored from a cache may hold `files/A.java -> elsewhere` or
// `site -> other`, and batch writes through none of them.
#pragma once

#include <filesystem>
#include <vector>

#include "files/file_system.h"

namespace site {

// In path order.  A folder that cannot be listed is passed over: writing
// into it fails later, and says so.
std::vector<std::filesystem::path> linksWhereTheSiteIsWritten(files::FileSystem& files, const std::filesystem::path& output);

}  // namespace site
