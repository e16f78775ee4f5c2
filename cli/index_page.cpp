#include "cli/index_page.h"

#include <cstdio>

#include "cli/text_output.h"

namespace cli {
namespace {

constexpr const char* kStyle =
    "body{margin:0;font-family:\"DejaVu Sans\",Arial,Helvetica,sans-serif;background:#f4f5f7;color:#222}\n"
    "header{background:#2f3b4c;color:#fff;padding:12px 20px}\n"
    "header h1{font-size:20px;margin:0 0 4px}\n"
    "header p{margin:0;color:#cfd8e3}\n"
    "main{padding:12px 20px}\n"
    "h2{font-size:16px;margin:20px 0 8px}\n"
    "table{border-collapse:collapse;background:#fff;box-shadow:0 1px 3px rgba(0,0,0,.2);font-size:13px}\n"
    "th,td{padding:4px 10px;border-bottom:1px solid #e3e6ea;text-align:left;vertical-align:top}\n"
    "th{background:#e8ecf1;cursor:pointer;user-select:none;white-space:nowrap}\n"
    "th[aria-sort=ascending]::after{content:\" \\25B2\"}\n"
    "th[aria-sort=descending]::after{content:\" \\25BC\"}\n"
    "td.n{text-align:right;font-variant-numeric:tabular-nums}\n"
    "td.problem{color:#a12c2c}\n"
    "input[type=search]{font-size:14px;padding:4px 8px;width:320px;margin-bottom:8px}\n"
    "a{color:#1f5fa8}\n";

// Sorts a table when one of its headers is clicked; numbers as numbers.
constexpr const char* kScript =
    "document.querySelectorAll('table.sortable').forEach(function(table){\n"
    "  table.querySelectorAll('th').forEach(function(th,column){\n"
    "    th.addEventListener('click',function(){\n"
    "      var ascending=th.getAttribute('aria-sort')!=='ascending';\n"
    "      table.querySelectorAll('th').forEach(function(h){h.removeAttribute('aria-sort');});\n"
    "      th.setAttribute('aria-sort',ascending?'ascending':'descending');\n"
    "      var body=table.tBodies[0],rows=Array.prototype.slice.call(body.rows);\n"
    "      function key(row){var cell=row.cells[column];var v=cell.getAttribute('data-v');\n"
    "        return v!==null?v:cell.textContent;}\n"
    "      var numeric=th.classList.contains('n');\n"
    "      rows.sort(function(a,b){var x=key(a),y=key(b);\n"
    "        if(numeric){x=x===''?-Infinity:+x;y=y===''?-Infinity:+y;return ascending?x-y:y-x;}\n"
    "        return ascending?x.localeCompare(y):y.localeCompare(x);});\n"
    "      rows.forEach(function(r){body.appendChild(r);});\n"
    "    });\n"
    "  });\n"
    "});\n"
    "var filter=document.getElementById('filter');\n"
    "if(filter)filter.addEventListener('input',function(){\n"
    "  var words=filter.value.toLowerCase().split(/\\s+/).filter(Boolean);\n"
    "  document.querySelectorAll('#methods tbody tr').forEach(function(row){\n"
    "    var text=row.textContent.toLowerCase();\n"
    "    row.hidden=!words.every(function(w){return text.indexOf(w)>=0;});\n"
    "  });\n"
    "});\n";

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
  std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"UTF-8\">\n<title>" +
                    htmlEscaped(title) + "</title>\n<style>\n" + kStyle + "</style>\n</head>\n<body>\n";
  out += "<header><h1>" + htmlEscaped(title) + "</h1><p>" + counted(files.size(), "file") + ", " +
         counted(classes, "class") + ", " + counted(methods, "method") + ", " + counted(drawn, "flowchart");
  if (sequences > 0) out += ", " + counted(sequences, "sequence diagram");
  if (brokenFiles > 0) out += "; " + counted(brokenFiles, "file") + " did not parse";
  if (methods > drawn) out += "; " + counted(methods - drawn, "method") + " could not be drawn";
  out += "</p></header>\n<main>\n";

  if (brokenFiles > 0) {
    out += "<h2 id=\"problems\">Files that did not parse</h2>\n<table class=\"sortable\" id=\"broken\">\n"
           "<thead><tr><th>File</th><th class=\"n\">Line</th><th>Problem</th></tr></thead>\n<tbody>\n";
    for (const IndexedFile& file : files) {
      const FileRecord& record = *file.record;
      if (record.status == FileRecord::Status::Parsed) continue;
      out += "<tr>" + cell(htmlEscaped(file.path)) +
             cell(record.problemLine > 0 ? std::to_string(record.problemLine) : "", "n") +
             cell(htmlEscaped(record.problem.empty() ? statusText(record) : record.problem), "problem") + "</tr>\n";
    }
    out += "</tbody>\n</table>\n";
  }

  out += "<h2 id=\"files\">Files</h2>\n<table class=\"sortable\" id=\"file-table\">\n<thead><tr><th>File</th>"
         "<th class=\"n\">Classes</th><th class=\"n\">Methods</th><th class=\"n\">NLOC</th>"
         "<th class=\"n\">Halstead volume</th><th class=\"n\">Not drawn</th></tr></thead>\n<tbody>\n";
  for (const IndexedFile& file : files) {
    const FileRecord& record = *file.record;
    out += "<tr>" + cell(htmlEscaped(file.path)) + cell(std::to_string(record.classes.size()), "n") +
           cell(std::to_string(record.methods.size()), "n") + numberCell(record.nloc) +
           numberCell(record.halsteadVolume) + cell(std::to_string(record.failedMethods()), "n") + "</tr>\n";
  }
  out += "</tbody>\n</table>\n";

  out += "<h2 id=\"method-list\">Methods</h2>\n"
         "<input type=\"search\" id=\"filter\" placeholder=\"Filter by file, class or method\">\n"
         "<table class=\"sortable\" id=\"methods\">\n<thead><tr><th>File</th><th>Class</th><th>Method</th>"
         "<th class=\"n\">Line</th><th class=\"n\">NLOC</th>"
         "<th class=\"n\" title=\"cyclomatic complexity, as checkstyle counts it\">CC</th>"
         "<th class=\"n\" title=\"cognitive complexity, as SonarSource defines it\">Cognitive</th>"
         "<th class=\"n\" title=\"Halstead volume: length times log2 of the vocabulary\">HV</th>" +
         std::string(sequences > 0 ? "<th>Sequence</th>" : "") + "</tr></thead>\n<tbody>\n";
  for (const IndexedFile& file : files) {
    const FileRecord& record = *file.record;
    for (const MethodRecord& method : record.methods) {
      const std::string& owner = record.classes[method.classIndex].name;
      std::string name = method.name;
      if (name.rfind(owner + ".", 0) == 0) name.erase(0, owner.size() + 1);
      const std::string link =
          method.drawing.empty()
              ? htmlEscaped(name) + " <span class=\"problem\">(" + htmlEscaped(method.problem) + ")</span>"
              : "<a href=\"" + htmlEscaped(urlPath(file.folder + method.drawing)) + "\">" + htmlEscaped(name) + "</a>";
      out += "<tr>" + cell(htmlEscaped(file.path)) + cell(htmlEscaped(owner)) + cell(link) +
             cell(std::to_string(method.line), "n") + numberCell(method.nloc) + numberCell(method.complexity) +
             numberCell(method.cognitive) + numberCell(method.halsteadVolume);
      if (sequences > 0)
        out += cell(method.sequence.empty()
                        ? std::string()
                        : "<a href=\"" + htmlEscaped(urlPath(file.folder + method.sequence)) + "\">sequence</a>");
      out += "</tr>\n";
    }
  }
  out += "</tbody>\n</table>\n</main>\n<script>\n" + std::string(kScript) + "</script>\n</body>\n</html>\n";
  return out;
}

}  // namespace cli
