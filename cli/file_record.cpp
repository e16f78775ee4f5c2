#include "cli/file_record.h"

#include <charconv>

#include "cli/text_output.h"

namespace cli {
namespace {

constexpr std::string_view kHeader = "flowchart-record 6";

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
         std::to_string(record.sourceSize) + "\t" + std::to_string(record.sourceTime) + "\n";
  for (const ClassRecord& cls : record.classes)
    out += "class\t" + field(cls.name) + "\t" + field(cls.kind) + "\t" + std::to_string(cls.line) + "\t" +
           std::to_string(cls.endLine) + "\t" + number(cls.nloc) + "\n";
  for (const MethodRecord& method : record.methods)
    out += "method\t" + std::to_string(method.classIndex) + "\t" + field(method.name) + "\t" +
           std::to_string(method.line) + "\t" + std::to_string(method.endLine) + "\t" + number(method.nloc) +
           "\t" + number(method.complexity) + "\t" + field(method.drawing) + "\t" + field(method.problem) + "\t" +
           field(method.sequence) + "\t" + number(method.halsteadVolume) + "\t" + number(method.cognitive) + "\n";
  return out;
}

std::optional<FileRecord> parseRecord(std::string_view text) {
  std::vector<std::string_view> lines = splitText(text, '\n');
  if (lines.empty() || lines[0] != kHeader) return std::nullopt;
  FileRecord record;
  bool sawFile = false;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    const std::vector<std::string_view> f = splitText(lines[i], '\t');
    if (f[0] == "file" && f.size() == 10 && (f[7] == "0" || f[7] == "1")) {
      const std::optional<FileRecord::Status> status = statusNamed(f[1]);
      if (!status || !readInt(f[2], record.problemLine) || !readOptional(f[4], record.nloc) ||
          !readOptional(f[5], record.halsteadVolume) || !readInt(f[6], record.languageLevel) ||
          !readInt(f[8], record.sourceSize) || !readInt(f[9], record.sourceTime))
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
      // Drawings are file names beside the record, never paths.
      if (!isPlainFileName(f[7]) || !isPlainFileName(f[9])) return std::nullopt;
      method.drawing = f[7];
      method.problem = f[8];
      method.sequence = f[9];
      record.methods.push_back(std::move(method));
    } else {
      return std::nullopt;
    }
  }
  if (!sawFile) return std::nullopt;
  return record;
}

}  // namespace cli
