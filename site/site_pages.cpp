#include "flowdraw/legend.h"
#include "pipeline/method_flowchart.h"
#include "pipeline/method_sequence.h"
#include "drawing/theme.h"
#include "site/site_pages.h"

#include <map>

#include "formats/output_formats.h"
#include "site/index_page.h"
#include "site/site_assets.h"
#include "site/site_layout.h"
#include "text/text_output.h"
#include "files/atomic_file.h"
#include "files/latin1.h"

namespace site {

using text::counted;
using text::htmlEscaped;
using text::located;
using text::numberText;
using text::splitText;

namespace {

std::string cell(const std::string& html, const char* cls = nullptr) {
  return std::string("<td") + (cls ? std::string(" class=\"") + cls + "\"" : "") + ">" + html + "</td>";
}

std::string numberCell(const std::optional<int64_t>& value) { return cell(numberText(value), "n"); }

// A method's name without its class in front.
std::string ownName(const FileRecord& record, const MethodRecord& method) {
  const std::string& owner = record.classes.size() > method.classIndex ? record.classes[method.classIndex].name : "";
  if (!owner.empty() && method.name.rfind(owner + ".", 0) == 0) return method.name.substr(owner.size() + 1);
  return method.name;
}

bool validUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const size_t length = byte < 0x80 ? 1 : (byte >> 5) == 6 ? 2 : (byte >> 4) == 14 ? 3 : (byte >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

}  // namespace

std::string asciiHtml(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x80) {
      out += htmlEscaped(utf8.substr(i, 1));
      ++i;
      continue;
    }
    const size_t length = (byte >> 5) == 6 ? 2 : (byte >> 4) == 14 ? 3 : (byte >> 3) == 30 ? 4 : 1;
    uint32_t code = length == 2 ? byte & 0x1F : length == 3 ? byte & 0x0F : length == 4 ? byte & 0x07 : 0xFFFD;
    bool whole = length > 1 && i + length <= utf8.size();
    for (size_t k = 1; whole && k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) whole = false;
      else code = (code << 6) | (next & 0x3F);
    }
    if (!whole) code = 0xFFFD;
    out += "&#" + std::to_string(code) + ";";
    i += whole ? length : 1;
  }
  return out;
}

std::string crumbsHtml(const std::vector<Crumb>& crumbs) {
  std::string out = "<ol class=\"crumbs\">";
  for (const Crumb& crumb : crumbs) {
    if (crumb.url.empty()) out += "<li aria-current=\"page\">" + asciiHtml(crumb.text) + "</li>";
    else out += "<li><a href=\"" + htmlEscaped(crumb.url) + "\">" + asciiHtml(crumb.text) + "</a></li>";
  }
  return out + "</ol>\n";
}

std::vector<Crumb> fileCrumbs(std::string_view relative, bool linkFile) {
  const std::string root = rootUrlFrom(relative);
  std::vector<Crumb> crumbs = {{"index", root + "index.html"}};
  const size_t slash = relative.rfind('/');
  if (slash != std::string_view::npos) {
    const std::string folder(relative.substr(0, slash));
    crumbs.push_back({folder, root + "index.html#q=" + urlPath("file:" + folder + "/")});
  }
  crumbs.push_back({std::string(slash == std::string_view::npos ? relative : relative.substr(slash + 1)),
                    linkFile ? kFilePageName : ""});
  return crumbs;
}

drawing::HtmlFrame methodFrame(std::string_view relative, const FileRecord& record, const MethodRecord& method,
                            std::string_view kind) {
  std::vector<Crumb> crumbs = fileCrumbs(relative, true);
  const std::string owner = record.classes.size() > method.classIndex ? record.classes[method.classIndex].name : "";
  if (!owner.empty())
    crumbs.push_back({owner, std::string(kFilePageName) + "#class-" + std::to_string(method.classIndex + 1)});
  const std::string own = ownName(record, method);
  crumbs.push_back({own + (kind.empty() ? "" : " (" + std::string(kind) + ")"), ""});
  drawing::HtmlFrame frame;
  frame.headerHtml = crumbsHtml(crumbs);
  // The method's other forms, for people who put them in documents.
  if (kind.empty() && !method.exports.empty()) {
    frame.headerHtml += "<p class=\"exports\">Also as:";
    for (size_t i = 0; i < method.exports.size(); ++i) {
      const std::string& name = method.exports[i];
      const formats::Format* form = formats::formatOf(name, formats::kSiteForm);
      const std::string label = form ? std::string(form->label) : name;
      frame.headerHtml += std::string(i ? " &#183;" : "") + " <a href=\"" + htmlEscaped(urlPath(name)) + "\">" +
                          label + "</a>";
    }
    frame.headerHtml += "</p>\n";
  }
  const std::string dot = " \xC2\xB7 ";  // a middle dot between the parts
  const std::string what = own + (kind.empty() ? "" : " " + std::string(kind));
  frame.titleHtml = asciiHtml(what + dot + owner + dot + std::string(relative));
  frame.assetsUrl = rootUrlFrom(relative) + kSiteFolder + "/";
  return frame;
}

std::string sourceAsUtf8(std::string_view bytes) {
  return validUtf8(bytes) ? std::string(bytes) : files::latin1ToUtf8(bytes);
}

std::string siteHead(std::string_view titleUtf8, std::string_view rootUrl) {
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"UTF-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
         htmlEscaped(titleUtf8) + "</title>\n<link rel=\"stylesheet\" href=\"" + std::string(rootUrl) + kSiteFolder +
         "/site.css\">\n<link rel=\"stylesheet\" href=\"" + std::string(rootUrl) + kSiteFolder +
         "/theme.css\">\n</head>\n<body>\n";
}

std::string siteScriptTag(std::string_view rootUrl) {
  return "<script src=\"" + std::string(rootUrl) + kSiteFolder + "/site.js\"></script>\n<script src=\"" +
         std::string(rootUrl) + kSiteFolder + "/access.js\"></script>\n";
}

std::string filePage(std::string_view relative, const FileRecord& record, std::string_view sourceUtf8) {
  const std::string root = rootUrlFrom(relative);
  const size_t slash = relative.rfind('/');
  const std::string name(slash == std::string_view::npos ? relative : relative.substr(slash + 1));
  bool sequences = false;
  for (const MethodRecord& method : record.methods) sequences = sequences || !method.sequence.empty();

  std::string out = siteHead(name + " \xC2\xB7 " + std::string(relative), root);
  out += "<header>" + crumbsHtml(fileCrumbs(relative, false)) + "<h1>" + htmlEscaped(name) + "</h1><p>" +
         htmlEscaped(relative) + ": " + counted(record.classes.size(), "class") + ", " +
         counted(record.methods.size(), "method");
  if (record.nloc) out += ", NLOC " + numberText(record.nloc);
  if (record.halsteadVolume) out += ", Halstead volume " + numberText(record.halsteadVolume);
  out += "</p></header>\n<main>\n";
  if (record.status != FileRecord::Status::Parsed)
    out += "<p class=\"problem\">" +
           htmlEscaped(located(name, record.problemLine, record.problem.empty() ? "not drawn" : record.problem)) +
           (record.problemLine > 0 ? " (<a href=\"#L" + std::to_string(record.problemLine) + "\">line " +
                                         std::to_string(record.problemLine) + "</a>)"
                                   : std::string()) +
           "</p>\n";

  if (!record.classes.empty()) {
    out += "<h2 id=\"classes\">Classes</h2>\n<table class=\"sortable\" id=\"class-table\">\n<thead><tr>"
           "<th>Class</th><th>Kind</th><th class=\"n\">Line</th><th class=\"n\">NLOC</th>"
           "<th class=\"n\">Methods</th></tr></thead>\n<tbody>\n";
    for (size_t c = 0; c < record.classes.size(); ++c) {
      const ClassRecord& cls = record.classes[c];
      size_t methods = 0;
      for (const MethodRecord& method : record.methods) methods += method.classIndex == c ? 1 : 0;
      out += "<tr id=\"class-" + std::to_string(c + 1) + "\">" + cell(htmlEscaped(cls.name), "name") +
             cell(htmlEscaped(cls.kind)) +
             cell("<a href=\"#L" + std::to_string(cls.line) + "\">" + std::to_string(cls.line) + "</a>", "n") +
             numberCell(cls.nloc) + cell(std::to_string(methods), "n") + "</tr>\n";
    }
    out += "</tbody>\n</table>\n";
  }
  if (!record.methods.empty()) {
    out += "<h2 id=\"method-list\">Methods</h2>\n<table class=\"sortable\" id=\"file-methods\">\n<thead><tr>"
           "<th>Class</th><th>Method</th><th class=\"n\">Line</th><th class=\"n\">NLOC</th>"
           "<th class=\"n\" title=\"cyclomatic complexity, as checkstyle counts it\">CC</th>"
           "<th class=\"n\" title=\"cognitive complexity, as SonarSource defines it\">Cognitive</th>"
           "<th class=\"n\" title=\"Halstead volume: length times log2 of the vocabulary\">HV</th>" +
           std::string(sequences ? "<th>Sequence</th>" : "") + "</tr></thead>\n<tbody>\n";
    for (const MethodRecord& method : record.methods) {
      const std::string owner = record.classes.size() > method.classIndex ? record.classes[method.classIndex].name : "";
      const std::string own = ownName(record, method);
      const std::string link =
          method.drawing.empty()
              ? htmlEscaped(own) + " <span class=\"problem\">(" + htmlEscaped(method.problem) + ")</span>"
              : "<a href=\"" + htmlEscaped(urlPath(method.drawing)) + "\">" + htmlEscaped(own) + "</a>";
      out += "<tr>" + cell(htmlEscaped(owner), "name") + cell(link, "name") +
             cell("<a href=\"#L" + std::to_string(method.line) + "\">" + std::to_string(method.line) + "</a>", "n") +
             numberCell(method.nloc) + numberCell(method.complexity) + numberCell(method.cognitive) +
             numberCell(method.halsteadVolume);
      if (sequences)
        out += cell(method.sequence.empty()
                        ? std::string()
                        : "<a href=\"" + htmlEscaped(urlPath(method.sequence)) + "\">sequence</a>");
      out += "</tr>\n";
    }
    out += "</tbody>\n</table>\n";
  }
  // Each method's first line links to its drawing; the link's words come
  // from the style sheet, so that copying the source copies only source.
  std::multimap<int32_t, const MethodRecord*> startingOn;
  for (const MethodRecord& method : record.methods)
    if (!method.drawing.empty()) startingOn.emplace(method.line, &method);
  out += "<h2 id=\"source\">Source</h2>\n<ol class=\"source\">\n";
  const std::vector<std::string_view> lines = splitText(sourceUtf8, '\n');
  const size_t count = !lines.empty() && lines.back().empty() ? lines.size() - 1 : lines.size();
  for (size_t i = 0; i < count; ++i) {
    std::string_view line = lines[i];
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const bool problem =
        record.status != FileRecord::Status::Parsed && record.problemLine == static_cast<int32_t>(i + 1);
    out += "<li id=\"L" + std::to_string(i + 1) + "\"" + (problem ? " class=\"problem\"" : "") + ">" +
           htmlEscaped(line);
    const auto [first, last] = startingOn.equal_range(static_cast<int32_t>(i + 1));
    for (auto it = first; it != last; ++it)
      out += "<a class=\"drawing\" href=\"" + htmlEscaped(urlPath(it->second->drawing)) + "\" data-name=\"" +
             htmlEscaped(ownName(record, *it->second)) + "\" aria-label=\"flowchart of " +
             htmlEscaped(ownName(record, *it->second)) + "\"></a>";
    out += "</li>\n";
  }
  out += "</ol>\n</main>\n" + siteScriptTag(root) + "</body>\n</html>\n";
  return out;
}

namespace {

// The pages' colours, with the dark palette of every master a site's
// drawings use.
std::string siteThemeStyleSheet() {
  std::vector<std::shared_ptr<const drawing::Master>> masters = pipeline::flowchartMasters();
  for (auto& master : pipeline::sequenceDrawingMasters()) masters.push_back(std::move(master));
  return std::string(drawing::themeStyleSheet()) + drawing::darkDrawingCss(masters);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> siteAssets() {
  return {{"site.css", std::string(kSiteStyle)},
          {"site.js", std::string(kSiteScript)},
          {"drawing.css", drawing::drawingStyleSheet()},
          {"drawing.js", std::string(drawing::drawingScript())},
          {"theme.css", siteThemeStyleSheet()},
          {"access.js", std::string(drawing::accessScript())},
          {kLegendName, flowdraw::legendSvg(pipeline::flowchartMasters(), true)}};
}

errors::Status writeSiteAssets(files::FileSystem& disk, const std::filesystem::path& root) {
  const std::filesystem::path site = root / kSiteFolder;
  if (errors::Status made = disk.makeFolders(site); !made) return made;
  for (const auto& [name, text] : siteAssets())
    if (errors::Status written = disk.replaceFile(site / name, text); !written) return written;
  return {};
}

}  // namespace site
