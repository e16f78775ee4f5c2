// Where a batch run's site puts things below its output folder:
//
//   index.html                      the methods and files of the tree
//   files/<path>/index.html         a source file's page (its classes,
//                                   methods and source)
//   files/<path>/<stem>.html        a method's flowchart
//   site/site.css, site/site.js     shared by the index and the files' pages
//   site/methods.js, methods-2.js.. every method's and file's row of the
//                                   index, as data, in parts
//   site/drawing.css, drawing.js    shared by the drawings
//   site/legend.svg                 the flowcharts' legend, shared too
//   site/records/<path>/record.json what was drawn of each source file
//   site/site.json                  the site's title
//
// The source tree is mirrored below files/ only, so no source folder
// (not even one named index.html or site) meets the site's own files; and
// a record in a folder named after its source, as no source folder can be
// named as a source file beside it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace site {

inline constexpr const char* kFilesFolder = "files";
inline constexpr const char* kSiteFolder = "site";
inline constexpr const char* kFilePageName = "index.html";
inline constexpr const char* kRecordName = "record.json";
// The legend of the flowcharts' shapes, which every drawing shows.
inline constexpr const char* kLegendName = "legend.svg";

inline std::filesystem::path fileOutputFolder(const std::filesystem::path& root, std::string_view relative) {
  return root / kFilesFolder / std::filesystem::path(relative);
}

inline std::filesystem::path recordPath(const std::filesystem::path& root, std::string_view relative) {
  return root / kSiteFolder / "records" / std::filesystem::path(relative) / kRecordName;
}

inline std::filesystem::path siteInfoPath(const std::filesystem::path& root) {
  return root / kSiteFolder / "site.json";
}

// The relative URL from a source file's folder of pages back to the root,
// ending in '/'.
inline std::string rootUrlFrom(std::string_view relative) {
  std::string up = "../";  // out of files/
  for (char c : relative) up += c == '/' ? "../" : "";
  return up + "../";
}

}  // namespace site
