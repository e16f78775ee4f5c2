#include "site/index_page.h"

#include <array>
#include <cstdio>
#include <map>

#include "site/site_layout.h"
#include "site/site_pages.h"
#include "site/write_failure.h"
#include "files/atomic_file.h"
#include "text/json_text.h"
#include "text/text_output.h"

namespace site {

using text::counted;
using text::htmlEscaped;

namespace {

std::string cell(const std::string& html, const char* cls = nullptr) {
  return std::string("<td") + (cls ? std::string(" class=\"") + cls + "\"" : "") + ">" + html + "</td>";
}

std::string statusText(const FileRecord& record) {
  switch (record.status) {
    case FileRecord::Status::Syntax: return "does not parse";
    case FileRecord::Status::Unreadable: return "cannot be read";
    case FileRecord::Status::Failed: return "failed";
    case FileRecord::Status::Parsed: return "";
  }
  return "";
}

}  // namespace

std::string urlPath(std::string_view path) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.' || c == '~' || c == '/';
    if (plain) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
  }
  return out;
}

bool withoutBody(const MethodRecord& method) { return method.drawing.empty() && method.problem == kWithoutBody; }

namespace {

// What the site holds, as its index counts it.
struct SiteCounts {
  size_t classes = 0, methods = 0, drawn = 0, bodiless = 0, sequences = 0, brokenFiles = 0;
  size_t failed() const { return methods - drawn - bodiless; }
};

SiteCounts countsOf(const std::vector<IndexedFile>& files) {
  SiteCounts counts;
  for (const IndexedFile& file : files) {
    counts.classes += file.record->classes.size();
    counts.methods += file.record->methods.size();
    for (const MethodRecord& method : file.record->methods) {
      counts.drawn += method.drawing.empty() ? 0 : 1;
      counts.bodiless += withoutBody(method) ? 1 : 0;
      counts.sequences += method.sequence.empty() ? 0 : 1;
    }
    if (file.record->status != FileRecord::Status::Parsed) ++counts.brokenFiles;
  }
  return counts;
}

// The title, what the site holds and the links to the index's parts.
std::string indexHeader(const std::string& title, size_t fileCount, const SiteCounts& counts) {
  std::string out = "<header><ol class=\"crumbs\"><li aria-current=\"page\">index</li></ol><h1>" +
                    htmlEscaped(title) + "</h1><p>" + counted(fileCount, "file") + ", " +
                    counted(counts.classes, "class") + ", " + counted(counts.methods, "method") + ", " +
                    counted(counts.drawn, "flowchart");
  if (counts.sequences > 0) out += ", " + counted(counts.sequences, "sequence diagram");
  if (counts.bodiless > 0) out += ", " + std::to_string(counts.bodiless) + " without a body";
  if (counts.brokenFiles > 0) out += "; " + counted(counts.brokenFiles, "file") + " did not parse";
  if (counts.failed() > 0) out += "; " + counted(counts.failed(), "method") + " could not be drawn";
  out += " &#8226; <a href=\"#method-list\">methods</a> &#8226; <a href=\"#folders\">folders</a> &#8226; "
         "<a href=\"#files\">files</a>";
  if (counts.brokenFiles > 0) out += " &#8226; <a href=\"#problems\">problems</a>";
  return out + "</p></header>\n";
}

// The methods' table, its rows made by the script from the site's method
// data: a page of thousands of rows in HTML takes seconds to open, and the
// filter and the sorting work over every method all the same.
std::string methodTable(const SiteCounts& counts) {
  return "<h2 id=\"method-list\">Methods</h2>\n"
         "<div class=\"filter\"><input type=\"search\" id=\"filter\" "
         "placeholder=\"put  class:HashMap  file:java/util/  method:get  cc&gt;10\" "
         "title=\"Words match where a name or a word of it starts; class:, method: and file: look in one column; "
         "cc, cog, nloc, hv and line compare with &gt;, &gt;=, &lt;, &lt;= or =\" aria-label=\"filter the methods\">"
         "<small id=\"filter-count\">" + counted(counts.methods, "method") + "</small></div>\n"
         "<table class=\"sortable\" id=\"methods\">\n<thead><tr><th data-key=\"file\">File</th>"
         "<th data-key=\"class\">Class</th><th data-key=\"method\">Method</th>"
         "<th class=\"n\" data-key=\"line\">Line</th><th class=\"n\" data-key=\"nloc\">NLOC</th>"
         "<th class=\"n\" data-key=\"cc\" title=\"cyclomatic complexity, as checkstyle counts it\">CC</th>"
         "<th class=\"n\" data-key=\"cog\" title=\"cognitive complexity, as SonarSource defines it\">Cognitive</th>"
         "<th class=\"n\" data-key=\"hv\" title=\"Halstead volume: length times log2 of the vocabulary\">HV</th>" +
         std::string(counts.sequences > 0 ? "<th data-key=\"sequence\">Sequence</th>" : "") +
         "</tr></thead>\n<tbody>\n</tbody>\n</table>\n"
         "<p id=\"more-methods\" hidden><button type=\"button\" id=\"show-more\">show more</button> "
         "<button type=\"button\" id=\"show-all\">show all</button></p>\n"
         "<noscript><p>The tables of methods and files are made by the page's script.</p></noscript>\n";
}

// Each folder with how much it holds, leading to its methods.
std::string folderTable(const std::vector<IndexedFile>& files) {
  std::map<std::string, std::array<size_t, 3>> folders;  // files, methods, without a body
  for (const IndexedFile& file : files) {
    const size_t slash = file.path.rfind('/');
    auto& counts = folders[slash == std::string::npos ? std::string() : file.path.substr(0, slash + 1)];
    ++counts[0];
    counts[1] += file.record->methods.size();
    for (const MethodRecord& method : file.record->methods) counts[2] += withoutBody(method) ? 1 : 0;
  }
  std::string out = "<h2 id=\"folders\">Folders</h2>\n<table class=\"sortable\" id=\"folder-table\">\n<thead><tr>"
                    "<th>Folder</th><th class=\"n\">Files</th><th class=\"n\">Methods</th>"
                    "<th class=\"n\">Without a body</th></tr></thead>\n<tbody>\n";
  for (const auto& [folder, counts] : folders) {
    const std::string shown = folder.empty() ? "(top)" : folder;
    const std::string link = folder.empty() ? htmlEscaped(shown)
                                            : "<a href=\"#q=" + htmlEscaped(urlPath("file:" + folder)) + "\">" +
                                                  htmlEscaped(shown) + "</a>";
    out += "<tr>" + cell(link, "name") + cell(std::to_string(counts[0]), "n") + cell(std::to_string(counts[1]), "n") +
           cell(std::to_string(counts[2]), "n") + "</tr>\n";
  }
  return out + "</tbody>\n</table>\n";
}

// The files' table, made by the script from the method data as well, a
// page of rows at a time: a big tree's files in HTML were most of what the
// index opened on.
std::string fileTable(size_t fileCount) {
  return "<h2 id=\"files\">Files</h2>\n<p class=\"filter\"><small id=\"file-count\">" + counted(fileCount, "file") +
         "</small></p>\n<table class=\"sortable\" id=\"file-table\">\n<thead><tr><th data-key=\"path\">File</th>"
         "<th class=\"n\" data-key=\"classes\">Classes</th><th class=\"n\" data-key=\"methods\">Methods</th>"
         "<th class=\"n\" data-key=\"nloc\">NLOC</th><th class=\"n\" data-key=\"hv\">Halstead volume</th>"
         "<th class=\"n\" data-key=\"notDrawn\">Not drawn</th></tr></thead>\n<tbody>\n</tbody>\n</table>\n"
         "<p id=\"more-files\" hidden><button type=\"button\" id=\"show-more-files\">show more</button> "
         "<button type=\"button\" id=\"show-all-files\">show all</button></p>\n";
}

// The files that did not parse, each with its line and problem.
std::string problemTable(const std::vector<IndexedFile>& files) {
  const auto pageLink = [](const IndexedFile& file, const std::string& anchor, const std::string& text) {
    if (!file.hasPage) return htmlEscaped(text);
    return "<a href=\"" + htmlEscaped(urlPath(file.folder + kFilePageName) + anchor) + "\">" + htmlEscaped(text) +
           "</a>";
  };
  std::string out = "<h2 id=\"problems\">Files that did not parse</h2>\n<table class=\"sortable\" id=\"broken\">\n"
                    "<thead><tr><th>File</th><th class=\"n\">Line</th><th>Problem</th></tr></thead>\n<tbody>\n";
  for (const IndexedFile& file : files) {
    const FileRecord& record = *file.record;
    if (record.status == FileRecord::Status::Parsed) continue;
    const std::string line = record.problemLine > 0 ? std::to_string(record.problemLine) : "";
    out += "<tr>" + cell(pageLink(file, "", file.path), "name") +
           cell(line.empty() ? line : pageLink(file, "#L" + line, line), "n") +
           cell(htmlEscaped(record.problem.empty() ? statusText(record) : record.problem), "problem") + "</tr>\n";
  }
  return out + "</tbody>\n</table>\n";
}

}  // namespace

std::string indexPage(const std::string& title, const std::vector<IndexedFile>& files) {
  const SiteCounts counts = countsOf(files);
  std::string out = siteHead(title, "") + indexHeader(title, files.size(), counts) + "<main>\n" + methodTable(counts);
  // What lies below the methods is laid out only once scrolled to.
  out += "<div class=\"later\">\n" + folderTable(files) + fileTable(files.size());
  if (counts.brokenFiles > 0) out += problemTable(files);
  out += "</div>\n</main>\n<script src=\"" + std::string(kSiteFolder) + "/" + kMethodDataName + "\"></script>\n" +
         siteScriptTag("") + "</body>\n</html>\n";
  return out;
}

std::string methodDataName(size_t part) {
  return part == 0 ? std::string(kMethodDataName) : "methods-" + std::to_string(part + 1) + ".js";
}

std::vector<std::string> methodData(const std::vector<IndexedFile>& files, size_t firstPart, size_t methodsPerPart) {
  // Compact rows, one array a method, the file and its links once per file
  // of a part.  A file's methods stay in one part.
  std::vector<text::Json> parts;
  size_t total = 0;
  for (const IndexedFile& file : files) {
    if (parts.empty() || parts.back()["methods"].size() >= (parts.size() == 1 ? firstPart : methodsPerPart))
      parts.push_back({{"files", text::Json::array()}, {"methods", text::Json::array()}});
    text::Json& fileRows = parts.back()["files"];
    text::Json& methodRows = parts.back()["methods"];
    const size_t f = fileRows.size();
    const FileRecord& record = *file.record;
    size_t notDrawn = 0;
    for (const MethodRecord& method : record.methods) notDrawn += method.drawing.empty() && !withoutBody(method) ? 1 : 0;
    fileRows.push_back(text::Json::array({file.path, file.hasPage ? urlPath(file.folder) : std::string(),
                                          record.classes.size(), record.methods.size(), text::jsonNumber(record.nloc),
                                          text::jsonNumber(record.halsteadVolume), notDrawn}));
    for (const MethodRecord& method : record.methods) {
      const std::string owner = record.classes.size() > method.classIndex ? record.classes[method.classIndex].name : "";
      std::string name = method.name;
      if (!owner.empty() && name.rfind(owner + ".", 0) == 0) name.erase(0, owner.size() + 1);
      methodRows.push_back(text::Json::array(
          {f, method.classIndex + 1, owner, name, urlPath(method.drawing), method.drawing.empty() ? method.problem : "",
           method.line, text::jsonNumber(method.nloc), text::jsonNumber(method.complexity),
           text::jsonNumber(method.cognitive), text::jsonNumber(method.halsteadVolume), urlPath(method.sequence)}));
    }
    total += record.methods.size();
  }
  if (parts.empty()) parts.push_back({{"files", text::Json::array()}, {"methods", text::Json::array()}});
  parts.front()["parts"] = parts.size();
  parts.front()["total"] = total;
  parts.front()["totalFiles"] = files.size();
  std::vector<std::string> texts;
  for (size_t p = 0; p < parts.size(); ++p) {
    // Read as a JSON string: browsers parse JSON several times faster than
    // the same data written as script.
    std::string literal;
    for (const char c : text::jsonLine(parts[p])) {
      if (c == '\\' || c == '\'') literal += '\\';
      literal += c;
    }
    texts.push_back(p == 0 ? "window.flowchartMethods=JSON.parse('" + literal + "');\n"
                           : "window.flowchartAddMethods(JSON.parse('" + literal + "'));\n");
  }
  return texts;
}

errors::Status writeSite(files::FileSystem& disk, const std::filesystem::path& root, SiteInfo info,
                         const std::vector<IndexedFile>& files) {
  const std::filesystem::path indexPath = root / "index.html";
  info.files.clear();
  for (const IndexedFile& file : files) info.files.push_back(file.path);
  // Present though no file was drawn: an empty shard is an output too.
  errors::Status written = disk.makeFolders(root / kSiteFolder / "records");
  if (written) written = writeSiteAssets(disk, root);
  if (written) written = disk.replaceFile(siteInfoPath(root), siteInfoText(info));
  const std::vector<std::string> parts = methodData(files);
  for (size_t p = 0; written && p < parts.size(); ++p)
    written = disk.replaceFile(root / kSiteFolder / methodDataName(p), parts[p]);
  // Parts of an earlier, larger run of the site are no longer read.
  for (size_t p = parts.size(); written && disk.remove(root / kSiteFolder / methodDataName(p)); ++p) {
  }
  if (written) written = disk.replaceFile(indexPath, indexPage(info.title, files));
  if (written) return {};
  // Said of the output folder, the one the user named.
  const std::string why = whyNotWritten(indexPath.string(), written.problem().systemError);
  errors::Problem problem = saveFailure(indexPath.string(), written.problem());
  problem.message = root.string() + ": the site cannot be written" + (why.empty() ? "" : ": " + why);
  return problem;
}

}  // namespace site
