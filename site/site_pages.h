// The pages of a batch run's site besides the index: each source file's
// page, the frame round each method's drawing (breadcrumb and title), and
// the style sheets and scripts every page shares (see site_layout.h).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "errors/problem.h"
#include "files/file_system.h"
#include "site/file_record.h"
#include "drawing/drawing_svg.h"

namespace site {

// UTF-8 text as HTML in plain ASCII: escaped, and every other character
// as a character reference, so that it reads the same in a page of any
// encoding.
std::string asciiHtml(std::string_view utf8);

// One step of a breadcrumb: index › folder › file › class › method.  The
// last has no URL: it is the page itself.
struct Crumb {
  std::string text;  // UTF-8
  std::string url;   // relative, ready for an href; empty for the page itself
};
std::string crumbsHtml(const std::vector<Crumb>& crumbs);

// The crumbs to a source file's page (index, its folder, the file), from
// a page in its folder; the file's crumb links to its page unless it is
// the page itself.
std::vector<Crumb> fileCrumbs(std::string_view relative, bool linkFile);

// The frame of a method's drawing: the breadcrumb down to the method and
// the title "method(types) · Class · path/File.java".
drawing::HtmlFrame methodFrame(std::string_view relative, const FileRecord& record, const MethodRecord& method,
                            std::string_view kind);

// A source file's page: its classes, methods with their measures and
// links to their drawings, and its source with line numbers.
std::string filePage(std::string_view relative, const FileRecord& record, std::string_view sourceUtf8);

// Source text as UTF-8: as it is when it is valid UTF-8, else read as
// ISO-8859-1.
std::string sourceAsUtf8(std::string_view bytes);

// The HTML head of a site page: title and the shared style sheet.
std::string siteHead(std::string_view titleUtf8, std::string_view rootUrl);
// The shared script, at the end of a site page.
std::string siteScriptTag(std::string_view rootUrl);

// The shared style sheets and scripts, by their names under root/site/.
std::vector<std::pair<std::string, std::string>> siteAssets();

// Writes the shared style sheets and scripts under root/site/; the
// problem when one cannot be written.
errors::Status writeSiteAssets(files::FileSystem& disk, const std::filesystem::path& root);

}  // namespace site
