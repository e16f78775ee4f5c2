#include "site/file_record.h"

#include <charconv>
#include <cstdio>

#include "site/output_names.h"
#include "site/site_layout.h"
#include "text/text_output.h"

namespace site {

using text::splitText;
namespace {

constexpr std::string_view kHeader = "flowchart-record 7";
constexpr std::string_view kHeaderStart = "flowchart-record ";
constexpr std::string_view kSiteHeader = "flowchart-site 2";
constexpr std::string_view kEndStart = "end\t";


std::string endLine(std::string_view body) {
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(stableHash(body)));
  return std::string(kEndStart) + hex + "\n";
}

// The text before its end line, when the end line is there and matches;
// else nullopt and why.
std::optional<std::string_view> checkedBody(std::string_view text, std::string* why) {
  const auto fail = [&](const char* reason) -> std::optional<std::string_view> {
    if (why) *why = reason;
    return std::nullopt;
  };
  if (text.empty() || text.back() != '\n') return fail("cut short");
  const size_t start = text.rfind('\n', text.size() - 2);
  const size_t lineStart = start == std::string_view::npos ? 0 : start + 1;
  const std::string_view last = text.substr(lineStart);
  if (last.rfind(kEndStart, 0) != 0) return fail("cut short (it has no end line)");
  const std::string_view body = text.substr(0, lineStart);
  if (last != endLine(body)) return fail("damaged (its checksum does not match)");
  return body;
}

// Paths in the site's file list: backslash, tab, line feed and carriage
// return escaped, as a file name may hold any of them.
std::string escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

std::optional<std::string> unescaped(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\': out += '\\'; break;
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default: return std::nullopt;
    }
  }
  return out;
}

// Fields are separated by tabs and records by line feeds, so neither may
// appear inside a field.
std::string field(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return out;
}

std::string number(const std::optional<int64_t>& value) { return value ? std::to_string(*value) : "-"; }

template <typename Int>
bool readInt(std::string_view text, Int& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

bool readOptional(std::string_view text, std::optional<int64_t>& value) {
  if (text == "-") {
    value.reset();
    return true;
  }
  int64_t number = 0;
  if (!readInt(text, number)) return false;
  value = number;
  return true;
}

bool isPlainFileName(std::string_view name) {
  return name.find_first_of("/\\") == std::string_view::npos && name != "." && name != "..";
}

bool isDrawingOrNone(std::string_view name) { return name.empty() || isDrawingName(name); }

const char* statusName(FileRecord::Status status) {
  switch (status) {
    case FileRecord::Status::Parsed: return "parsed";
    case FileRecord::Status::Syntax: return "syntax";
    case FileRecord::Status::Unreadable: return "unreadable";
    case FileRecord::Status::Failed: return "failed";
  }
  return "failed";
}

std::optional<FileRecord::Status> statusNamed(std::string_view name) {
  for (FileRecord::Status status : {FileRecord::Status::Parsed, FileRecord::Status::Syntax,
                                    FileRecord::Status::Unreadable, FileRecord::Status::Failed})
    if (name == statusName(status)) return status;
  return std::nullopt;
}

}  // namespace

bool isDrawingName(std::string_view name) {
  return name.size() > 5 && isPlainFileName(name) && name.ends_with(".html") && name != kFilePageName;
}

bool isSourcePath(std::string_view relative) {
  if (relative.empty() || relative.front() == '/' || !relative.ends_with(".java")) return false;
  for (std::string_view part : splitText(relative, '/'))
    if (part.empty() || part == "." || part == "..") return false;
  return true;
}

size_t FileRecord::failedMethods() const {
  size_t failed = 0;
  for (const MethodRecord& method : methods) failed += method.drawing.empty() ? 1 : 0;
  return failed;
}

std::string recordText(const FileRecord& record) {
  std::string out(kHeader);
  out += "\nfile\t" + std::string(statusName(record.status)) + "\t" + std::to_string(record.problemLine) +
         "\t" + field(record.problem) + "\t" + number(record.nloc) + "\t" + number(record.halsteadVolume) + "\t" +
         std::to_string(record.languageLevel) + "\t" + (record.partial ? "1" : "0") + "\t" +
         std::to_string(record.sourceSize) + "\t" + std::to_string(record.sourceTime) + "\t" +
         std::to_string(record.shard) + "\t" + std::to_string(record.shards) + "\n";
  for (const ClassRecord& cls : record.classes)
    out += "class\t" + field(cls.name) + "\t" + field(cls.kind) + "\t" + std::to_string(cls.line) + "\t" +
           std::to_string(cls.endLine) + "\t" + number(cls.nloc) + "\n";
  for (const MethodRecord& method : record.methods)
    out += "method\t" + std::to_string(method.classIndex) + "\t" + field(method.name) + "\t" +
           std::to_string(method.line) + "\t" + std::to_string(method.endLine) + "\t" + number(method.nloc) +
           "\t" + number(method.complexity) + "\t" + field(method.drawing) + "\t" + field(method.problem) + "\t" +
           field(method.sequence) + "\t" + number(method.halsteadVolume) + "\t" + number(method.cognitive) + "\n";
  return out + endLine(out);
}

std::optional<FileRecord> parseRecord(std::string_view text, std::string* why) {
  if (text.rfind(kHeaderStart, 0) == 0 && text.rfind(kHeader, 0) != 0) {
    if (why) *why = "written by an older version of flowchart";
    return std::nullopt;
  }
  if (text.rfind(kHeader, 0) != 0) {
    if (why) *why = "not a record of flowchart batch";
    return std::nullopt;
  }
  const std::optional<std::string_view> body = checkedBody(text, why);
  if (!body) return std::nullopt;
  if (why) *why = "damaged (a line is not what a record holds)";
  std::vector<std::string_view> lines = splitText(*body, '\n');
  if (lines.empty() || lines[0] != kHeader) return std::nullopt;
  FileRecord record;
  bool sawFile = false;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    const std::vector<std::string_view> f = splitText(lines[i], '\t');
    if (f[0] == "file" && f.size() == 12 && (f[7] == "0" || f[7] == "1")) {
      const std::optional<FileRecord::Status> status = statusNamed(f[1]);
      if (!status || !readInt(f[2], record.problemLine) || !readOptional(f[4], record.nloc) ||
          !readOptional(f[5], record.halsteadVolume) || !readInt(f[6], record.languageLevel) ||
          !readInt(f[8], record.sourceSize) || !readInt(f[9], record.sourceTime) || !readInt(f[10], record.shard) ||
          !readInt(f[11], record.shards) || record.shards == 0 || record.shard == 0 || record.shard > record.shards)
        return std::nullopt;
      record.status = *status;
      record.problem = f[3];
      record.partial = f[7] == "1";
      sawFile = true;
    } else if (f[0] == "class" && f.size() == 6) {
      ClassRecord cls;
      cls.name = f[1];
      cls.kind = f[2];
      if (!readInt(f[3], cls.line) || !readInt(f[4], cls.endLine) || !readOptional(f[5], cls.nloc))
        return std::nullopt;
      record.classes.push_back(std::move(cls));
    } else if (f[0] == "method" && f.size() == 12) {
      MethodRecord method;
      if (!readInt(f[1], method.classIndex) || method.classIndex >= record.classes.size() ||
          !readInt(f[3], method.line) || !readInt(f[4], method.endLine) || !readOptional(f[5], method.nloc) ||
          !readOptional(f[6], method.complexity) || !readOptional(f[10], method.halsteadVolume) || !readOptional(f[11], method.cognitive))
        return std::nullopt;
      method.name = f[2];
      // Drawings are pages beside the file's own page, never paths nor
      // that page itself.
      if (!isDrawingOrNone(f[7]) || !isDrawingOrNone(f[9])) return std::nullopt;
      method.drawing = f[7];
      method.problem = f[8];
      method.sequence = f[9];
      record.methods.push_back(std::move(method));
    } else {
      return std::nullopt;
    }
  }
  if (!sawFile) return std::nullopt;
  if (why) why->clear();
  return record;
}

std::string siteInfoText(const SiteInfo& info) {
  std::string out(kSiteHeader);
  out += "\ntitle\t" + field(info.title) + "\nshards\t" + std::to_string(info.shards) + "\t";
  for (size_t i = 0; i < info.covered.size(); ++i) out += (i ? "," : "") + std::to_string(info.covered[i]);
  out += "\n";
  for (const std::string& file : info.files) out += "file\t" + escaped(file) + "\n";
  return out + endLine(out);
}

std::optional<SiteInfo> parseSiteInfo(std::string_view text, std::string* why) {
  if (text.rfind(kSiteHeader, 0) != 0) {
    if (why) *why = "written by an older version of flowchart, or not by flowchart";
    return std::nullopt;
  }
  const std::optional<std::string_view> body = checkedBody(text, why);
  if (!body) return std::nullopt;
  if (why) *why = "damaged (a line is not what the file holds)";
  SiteInfo info;
  info.covered.clear();
  bool sawShards = false;
  const std::vector<std::string_view> lines = splitText(*body, '\n');
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    const std::vector<std::string_view> f = splitText(lines[i], '\t');
    if (f[0] == "title" && f.size() == 2) {
      info.title = f[1];
    } else if (f[0] == "shards" && f.size() == 3) {
      if (!readInt(f[1], info.shards) || info.shards == 0) return std::nullopt;
      for (std::string_view share : splitText(f[2], ',')) {
        uint32_t k = 0;
        if (!readInt(share, k) || k == 0 || k > info.shards || (!info.covered.empty() && k <= info.covered.back()))
          return std::nullopt;
        info.covered.push_back(k);
      }
      sawShards = true;
    } else if (f[0] == "file" && f.size() == 2) {
      std::optional<std::string> path = unescaped(f[1]);
      if (!path || !isSourcePath(*path)) return std::nullopt;
      info.files.push_back(std::move(*path));
    } else {
      return std::nullopt;
    }
  }
  if (!sawShards) return std::nullopt;
  if (why) why->clear();
  return info;
}

}  // namespace site
