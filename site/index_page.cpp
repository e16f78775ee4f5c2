#include "site/index_page.h"

#include <cstdio>

#include "site/site_layout.h"
#include "site/site_pages.h"
#include "site/write_failure.h"
#include "files/atomic_file.h"
#include "text/text_output.h"

namespace site {

using text::counted;
using text::htmlEscaped;
using text::numberText;

namespace {

std::string cell(const std::string& html, const char* cls = nullptr) {
  return std::string("<td") + (cls ? std::string(" class=\"") + cls + "\"" : "") + ">" + html + "</td>";
}

std::string numberCell(const std::optional<int64_t>& value) { return cell(numberText(value), "n"); }

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

std::string indexPage(const std::string& title, const std::vector<IndexedFile>& files) {
  size_t classes = 0, methods = 0, drawn = 0, sequences = 0, brokenFiles = 0;
  for (const IndexedFile& file : files) {
    classes += file.record->classes.size();
    methods += file.record->methods.size();
    drawn += file.record->methods.size() - file.record->failedMethods();
    for (const MethodRecord& method : file.record->methods) sequences += method.sequence.empty() ? 0 : 1;
    if (file.record->status != FileRecord::Status::Parsed) ++brokenFiles;
  }
  std::string out = siteHead(title, "");
  out += "<header><ol class=\"crumbs\"><li aria-current=\"page\">index</li></ol><h1>" + htmlEscaped(title) +
         "</h1><p>" + counted(files.size(), "file") + ", " + counted(classes, "class") + ", " +
         counted(methods, "method") + ", " + counted(drawn, "flowchart");
  if (sequences > 0) out += ", " + counted(sequences, "sequence diagram");
  if (brokenFiles > 0) out += "; " + counted(brokenFiles, "file") + " did not parse";
  if (methods > drawn) out += "; " + counted(methods - drawn, "method") + " could not be drawn";
  out += " &#8226; <a href=\"#method-list\">methods</a> &#8226; <a href=\"#files\">files</a>";
  if (brokenFiles > 0) out += " &#8226; <a href=\"#problems\">problems</a>";
  out += "</p></header>\n<main>\n";

  const auto pageLink = [](const IndexedFile& file, const std::string& anchor, const std::string& text) {
    if (!file.hasPage) return htmlEscaped(text);
    return "<a href=\"" + htmlEscaped(urlPath(file.folder + kFilePageName) + anchor) + "\">" + htmlEscaped(text) +
           "</a>";
  };

  out += "<h2 id=\"method-list\">Methods</h2>\n"
         "<div class=\"filter\"><input type=\"search\" id=\"filter\" "
         "placeholder=\"put  class:HashMap  file:java/util/  method:get  cc&gt;10\" "
         "title=\"Words match where a name or a word of it starts; class:, method: and file: look in one column; "
         "cc, cog, nloc, hv and line compare with &gt;, &gt;=, &lt;, &lt;= or =\">"
         "<small id=\"filter-count\">" + counted(methods, "method") + "</small></div>\n"
         "<table class=\"sortable\" id=\"methods\">\n<thead><tr><th data-key=\"file\">File</th>"
         "<th data-key=\"class\">Class</th><th data-key=\"method\">Method</th>"
         "<th class=\"n\" data-key=\"line\">Line</th><th class=\"n\" data-key=\"nloc\">NLOC</th>"
         "<th class=\"n\" data-key=\"cc\" title=\"cyclomatic complexity, as checkstyle counts it\">CC</th>"
         "<th class=\"n\" data-key=\"cog\" title=\"cognitive complexity, as SonarSource defines it\">Cognitive</th>"
         "<th class=\"n\" data-key=\"hv\" title=\"Halstead volume: length times log2 of the vocabulary\">HV</th>" +
         std::string(sequences > 0 ? "<th>Sequence</th>" : "") + "</tr></thead>\n<tbody>\n";
  for (const IndexedFile& file : files) {
    const FileRecord& record = *file.record;
    for (const MethodRecord& method : record.methods) {
      const std::string owner = record.classes.size() > method.classIndex ? record.classes[method.classIndex].name : "";
      std::string name = method.name;
      if (!owner.empty() && name.rfind(owner + ".", 0) == 0) name.erase(0, owner.size() + 1);
      const std::string link =
          method.drawing.empty()
              ? htmlEscaped(name) + " <span class=\"problem\">(" + htmlEscaped(method.problem) + ")</span>"
              : "<a href=\"" + htmlEscaped(urlPath(file.folder + method.drawing)) + "\">" + htmlEscaped(name) + "</a>";
      out += "<tr>" + cell(pageLink(file, "", file.path), "name") +
             cell(pageLink(file, "#class-" + std::to_string(method.classIndex + 1), owner), "name") +
             cell(link, "name") + cell(std::to_string(method.line), "n") + numberCell(method.nloc) +
             numberCell(method.complexity) + numberCell(method.cognitive) + numberCell(method.halsteadVolume);
      if (sequences > 0)
        out += cell(method.sequence.empty()
                        ? std::string()
                        : "<a href=\"" + htmlEscaped(urlPath(file.folder + method.sequence)) + "\">sequence</a>");
      out += "</tr>\n";
    }
  }
  out += "</tbody>\n</table>\n";

  out += "<h2 id=\"files\">Files</h2>\n<table class=\"sortable\" id=\"file-table\">\n<thead><tr><th>File</th>"
         "<th class=\"n\">Classes</th><th class=\"n\">Methods</th><th class=\"n\">NLOC</th>"
         "<th class=\"n\">Halstead volume</th><th class=\"n\">Not drawn</th></tr></thead>\n<tbody>\n";
  for (const IndexedFile& file : files) {
    const FileRecord& record = *file.record;
    out += "<tr>" + cell(pageLink(file, "", file.path), "name") + cell(std::to_string(record.classes.size()), "n") +
           cell(std::to_string(record.methods.size()), "n") + numberCell(record.nloc) +
           numberCell(record.halsteadVolume) + cell(std::to_string(record.failedMethods()), "n") + "</tr>\n";
  }
  out += "</tbody>\n</table>\n";

  if (brokenFiles > 0) {
    out += "<h2 id=\"problems\">Files that did not parse</h2>\n<table class=\"sortable\" id=\"broken\">\n"
           "<thead><tr><th>File</th><th class=\"n\">Line</th><th>Problem</th></tr></thead>\n<tbody>\n";
    for (const IndexedFile& file : files) {
      const FileRecord& record = *file.record;
      if (record.status == FileRecord::Status::Parsed) continue;
      const std::string line = record.problemLine > 0 ? std::to_string(record.problemLine) : "";
      out += "<tr>" + cell(pageLink(file, "", file.path), "name") +
             cell(line.empty() ? line : pageLink(file, "#L" + line, line), "n") +
             cell(htmlEscaped(record.problem.empty() ? statusText(record) : record.problem), "problem") + "</tr>\n";
    }
    out += "</tbody>\n</table>\n";
  }
  out += "</main>\n" + siteScriptTag("") + "</body>\n</html>\n";
  return out;
}

errors::Status writeSite(const std::filesystem::path& root, SiteInfo info, const std::vector<IndexedFile>& files) {
  const std::filesystem::path indexPath = root / "index.html";
  info.files.clear();
  for (const IndexedFile& file : files) info.files.push_back(file.path);
  std::error_code ec;
  // Present though no file was drawn: an empty shard is an output too.
  std::filesystem::create_directories(root / kSiteFolder / "records", ec);
  errors::Status written = writeSiteAssets(root);
  if (written) written = files::writeAtomically(siteInfoPath(root).string(), siteInfoText(info));
  if (written) written = files::writeAtomically(indexPath.string(), indexPage(info.title, files));
  if (written) return {};
  // Said of the output folder, the one the user named.
  const std::string why = whyNotWritten(indexPath.string(), written.problem().systemError);
  errors::Problem problem = saveFailure(indexPath.string(), written.problem());
  problem.message = root.string() + ": the site cannot be written" + (why.empty() ? "" : ": " + why);
  return problem;
}

}  // namespace site
