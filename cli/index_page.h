// The index page of a batch run: every source file with its measures,
// every method with a link to its drawing, and the files that did not
// parse with their error line.  One self-contained HTML page whose tables
// sort by any column.
#pragma once

#include <string>
#include <vector>

#include "cli/file_record.h"

namespace cli {

struct IndexedFile {
  std::string path;    // the source's path below the source folder, UTF-8, with '/'
  std::string folder;  // the relative URL of its drawings' folder, ending in '/'
  const FileRecord* record = nullptr;
};

std::string indexPage(const std::string& title, const std::vector<IndexedFile>& files);

// A relative URL path: each byte outside the unreserved set and '/' as %XX.
std::string urlPath(std::string_view path);

}  // namespace cli
