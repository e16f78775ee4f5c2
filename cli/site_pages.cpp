#include "flowdraw/legend.h"
#include "pipeline/method_flowchart.h"
#include "cli/site_pages.h"

#include <map>

#include "cli/index_page.h"
#include "cli/site_layout.h"
#include "cli/text_output.h"
#include "files/atomic_file.h"
#include "files/latin1.h"

namespace cli {
namespace {

// The index and the files' pages: long names wrap rather than push the
// measures out of sight.
constexpr const char* kSiteStyle = R"CSS([hidden]{display:none}
body{margin:0;font-family:"DejaVu Sans",Arial,Helvetica,sans-serif;background:#f4f5f7;color:#222}
header{background:#2f3b4c;color:#fff;padding:10px 20px}
header h1{font-size:20px;margin:0 0 4px;overflow-wrap:anywhere}
header p{margin:0;color:#cfd8e3}
header a{color:#cfe3ff}
ol.crumbs{margin:0 0 6px;padding:0;list-style:none;display:flex;flex-wrap:wrap;gap:4px 8px;font-size:13px;color:#cfd8e3}
ol.crumbs li{overflow-wrap:anywhere}
ol.crumbs li+li::before{content:"\203A";margin-right:8px;color:#8fa1b8}
main{padding:12px 20px}
h2{font-size:16px;margin:20px 0 8px}
table{border-collapse:collapse;background:#fff;box-shadow:0 1px 3px rgba(0,0,0,.2);font-size:13px;max-width:100%}
th,td{padding:4px 10px;border-bottom:1px solid #e3e6ea;text-align:left;vertical-align:top}
td{overflow-wrap:anywhere}
td.name{min-width:12em}
th{background:#e8ecf1;cursor:pointer;user-select:none;white-space:nowrap}
th[aria-sort=ascending]::after{content:" \25B2"}
th[aria-sort=descending]::after{content:" \25BC"}
td.n{text-align:right;font-variant-numeric:tabular-nums;overflow-wrap:normal;white-space:nowrap}
td.problem,span.problem{color:#a12c2c}
.filter{display:flex;flex-wrap:wrap;align-items:baseline;gap:4px 12px;margin-bottom:8px}
.filter input{font-size:14px;padding:4px 8px;width:min(420px,90vw)}
.filter small{color:#555}
a{color:#1f5fa8}
ol.source{font-family:"DejaVu Sans Mono",Consolas,monospace;font-size:12px;background:#fff;margin:0;
padding:6px 0 6px 5em;box-shadow:0 1px 3px rgba(0,0,0,.2);overflow-x:auto}
ol.source li{white-space:pre;padding-left:8px;border-left:1px solid #e3e6ea;color:#222}
ol.source li::marker{color:#8a94a3}
ol.source li:target,ol.source li.problem{background:#fff3c4}
ol.source a.drawing{font-family:"DejaVu Sans",Arial,sans-serif;font-size:11px;margin-left:2em;text-decoration:none}
ol.source a.drawing::after{content:"\25B8  flowchart of " attr(data-name)}
)CSS";

// Sorts a table when one of its headers is clicked (numbers as numbers),
// and filters the methods' table: words match where a name or a word of
// it starts ("put" finds put and HashMap.putAll, not compute); class:,
// method: and file: look in one column, where a name starts (after '.',
// '/', '$'...: "method:transfer" is not helpTransfer); and cc>10, cog>=5,
// nloc<20, hv and line compare a measure.  "#q=..." in the address fills
// the filter.
constexpr const char* kSiteScript = R"JS((() => {
  'use strict';
  document.querySelectorAll('table.sortable').forEach(table => {
    table.querySelectorAll('th').forEach((th, column) => {
      th.addEventListener('click', () => {
        const ascending = th.getAttribute('aria-sort') !== 'ascending';
        table.querySelectorAll('th').forEach(h => h.removeAttribute('aria-sort'));
        th.setAttribute('aria-sort', ascending ? 'ascending' : 'descending');
        const body = table.tBodies[0], rows = [...body.rows];
        const key = row => {
          const c = row.cells[column], v = c.getAttribute('data-v');
          return v !== null ? v : c.textContent;
        };
        const numeric = th.classList.contains('n');
        rows.sort((a, b) => {
          let x = key(a), y = key(b);
          if (numeric) {
            x = x === '' ? -Infinity : +x;
            y = y === '' ? -Infinity : +y;
            return ascending ? x - y : y - x;
          }
          return ascending ? x.localeCompare(y) : y.localeCompare(x);
        });
        rows.forEach(r => body.appendChild(r));
      });
    });
  });
  const filter = document.getElementById('filter');
  if (!filter) return;
  const count = document.getElementById('filter-count');
  const table = document.getElementById('methods');
  const rows = [...table.tBodies[0].rows];
  // The columns by the keys their headers carry.
  const column = {};
  [...table.tHead.rows[0].cells].forEach((th, i) => { if (th.dataset.key) column[th.dataset.key] = i; });
  const value = (row, key) => column[key] === undefined ? '' : row.cells[column[key]].textContent;
  const measures = {cc: 'cc', cog: 'cog', cognitive: 'cog', nloc: 'nloc', hv: 'hv', line: 'line'};
  const fields = {class: 'class', method: 'method', file: 'file'};
  // Where a name of the text starts: its beginning or after a character
  // that is no letter or digit; with words, also a capital after a small
  // letter (the Map of HashMap).
  const startsAt = (text, word, words) => {
    const lower = text.toLowerCase();
    for (let i = lower.indexOf(word); i >= 0; i = lower.indexOf(word, i + 1)) {
      const before = text[i - 1];
      if (i === 0 || !/[A-Za-z0-9]/.test(before) || (words && /[A-Z]/.test(text[i]) && /[a-z0-9]/.test(before)))
        return true;
    }
    return false;
  };
  const compare = {'>': (a, b) => a > b, '>=': (a, b) => a >= b, '<': (a, b) => a < b, '<=': (a, b) => a <= b,
                   '=': (a, b) => a === b};
  const test = term => {
    const measure = /^([a-z]+)(>=|<=|>|<|=)(\d+(?:\.\d+)?)$/.exec(term);
    if (measure && measures[measure[1]]) {
      const name = measures[measure[1]], op = compare[measure[2]], limit = +measure[3];
      return row => { const v = value(row, name); return v !== '' && op(+v, limit); };
    }
    const field = /^([a-z]+):(.*)$/.exec(term);
    if (field && fields[field[1]]) {
      const name = fields[field[1]], word = field[2].toLowerCase();
      return row => startsAt(value(row, name), word, false);
    }
    const word = term.toLowerCase();
    return row => startsAt(value(row, 'method'), word, true) || startsAt(value(row, 'class'), word, true) ||
                  startsAt(value(row, 'file'), word, true);
  };
  const apply = () => {
    const tests = filter.value.trim().split(/\s+/).filter(Boolean).map(test);
    let shown = 0;
    for (const row of rows) {
      row.hidden = !tests.every(t => t(row));
      if (!row.hidden) ++shown;
    }
    if (count) count.textContent = tests.length ? shown + ' of ' + rows.length + ' methods' : rows.length + ' methods';
  };
  filter.addEventListener('input', () => {
    apply();
    history.replaceState(null, '', filter.value ? '#q=' + encodeURIComponent(filter.value) : location.pathname);
  });
  const fromAddress = () => {
    if (!location.hash.startsWith('#q=')) return;
    const text = location.hash.slice(3);
    try { filter.value = decodeURIComponent(text); } catch (e) { filter.value = text; }
    apply();
  };
  window.addEventListener('hashchange', fromAddress);
  fromAddress();
  apply();
})();
)JS";

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

host::HtmlFrame methodFrame(std::string_view relative, const FileRecord& record, const MethodRecord& method,
                            std::string_view kind) {
  std::vector<Crumb> crumbs = fileCrumbs(relative, true);
  const std::string owner = record.classes.size() > method.classIndex ? record.classes[method.classIndex].name : "";
  if (!owner.empty())
    crumbs.push_back({owner, std::string(kFilePageName) + "#class-" + std::to_string(method.classIndex + 1)});
  const std::string own = ownName(record, method);
  crumbs.push_back({own + (kind.empty() ? "" : " (" + std::string(kind) + ")"), ""});
  host::HtmlFrame frame;
  frame.headerHtml = crumbsHtml(crumbs);
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
         "/site.css\">\n</head>\n<body>\n";
}

std::string siteScriptTag(std::string_view rootUrl) {
  return "<script src=\"" + std::string(rootUrl) + kSiteFolder + "/site.js\"></script>\n";
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
             htmlEscaped(ownName(record, *it->second)) + "\"></a>";
    out += "</li>\n";
  }
  out += "</ol>\n</main>\n" + siteScriptTag(root) + "</body>\n</html>\n";
  return out;
}

std::vector<std::pair<std::string, std::string>> siteAssets() {
  return {{"site.css", kSiteStyle},
          {"site.js", kSiteScript},
          {"drawing.css", host::drawingStyleSheet()},
          {"drawing.js", std::string(host::drawingScript())},
          {kLegendName, flowdraw::legendSvg(pipeline::flowchartMasters())}};
}

bool writeSiteAssets(const std::filesystem::path& root) {
  const std::filesystem::path site = root / kSiteFolder;
  std::error_code ec;
  std::filesystem::create_directories(site, ec);
  for (const auto& [name, text] : siteAssets())
    if (!files::writeFileAtomically((site / name).string(), text)) return false;
  return true;
}

}  // namespace cli
