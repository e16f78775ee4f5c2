// The index page of a batch run's site: every method with its measures
// and a link to its drawing, filtered by name, file, class and measure
// (its rows made by the script from data files, a page of them at a
// time); every folder with its counts; every source file with a link to
// its page (made from the same data); and the files that did not parse
// with their error line.  Its tables sort by any column; its style and
// script are the site's shared ones (site_layout.h).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "errors/problem.h"
#include "files/file_system.h"
#include "site/file_record.h"

namespace site {

struct IndexedFile {
  std::string path;    // the source's path below the source folder, UTF-8, with '/'
  std::string folder;  // the relative URL of its drawings' folder, ending in '/'
  const FileRecord* record = nullptr;
  bool hasPage = true;  // its folder holds the file's page
};

// What a method's record says of it when it has no body (abstract,
// interface or native): not drawn, and not a failure either.
inline constexpr const char* kWithoutBody = "no body";

// The script file below the site folder that holds the first methods' and
// files' rows of the index, for the index's script to show, filter and
// sort; the rest are in methods-2.js, methods-3.js ..., which the script
// loads once the first rows are shown.
inline constexpr const char* kMethodDataName = "methods.js";
// About how many methods' rows the first of those files holds (whole
// files' methods): the first page of rows, so that any index opens on as
// little as a small one does.
inline constexpr size_t kFirstPartMethods = 500;
// About how many each other one holds: fewer, larger parts load sooner in
// all, and each is read while the rows already shown can be used.
inline constexpr size_t kMethodsPerPart = 2000;
// The name of the n-th of those files (from 0).
std::string methodDataName(size_t part);

std::string indexPage(const std::string& title, const std::vector<IndexedFile>& files);
// The texts of those scripts.  Each part is {files: [[path, folder URL or
// "" without a page, classes, methods, nloc, hv, methods not drawn]],
// methods: [[file, class number, class, method, drawing, problem, line,
// nloc, cc, cog, hv, sequence]]}, URLs percent-encoded, a method's file an
// index into its part's files.  The first is window.flowchartMethods =
// JSON.parse('...') of its part with `parts` (how many there are), `total`
// (methods in all of them) and `totalFiles`; each other calls
// window.flowchartAddMethods(JSON.parse('...')) with its part.
std::vector<std::string> methodData(const std::vector<IndexedFile>& files, size_t firstPart = kFirstPartMethods,
                                    size_t methodsPerPart = kMethodsPerPart);

// Writes the index, what the site holds (info, with the files' list made
// from files) and its shared files under root (site_layout.h); when they
// cannot be, the problem "ROOT: the site cannot be written: why".
errors::Status writeSite(files::FileSystem& disk, const std::filesystem::path& root, SiteInfo info,
                         const std::vector<IndexedFile>& files);

// A relative URL path: each byte outside the unreserved set and '/' as %XX.
std::string urlPath(std::string_view path);

}  // namespace site
