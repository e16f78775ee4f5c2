#include "site/file_record.h"

#include <cstdio>
#include <limits>

#include "site/output_names.h"
#include "site/site_layout.h"
#include "errors/problem.h"
#include "formats/output_formats.h"
#include "text/json_text.h"
#include "text/text_output.h"

namespace site {

using text::splitText;

namespace {

using text::Json;

// What each file says it is, first in its object; a record or site file
// of another version is drawn again (or refused) rather than misread.
constexpr std::string_view kRecordFormat = "flowchart 8";
constexpr std::string_view kSiteFormat = "flowchart 3";
// The first words of the records and site files of versions before JSON.
constexpr std::string_view kOldRecordStart = "flowchart-record ";

// A record or site file that cannot be read back, and why.
errors::Problem refused(std::string why) { return errors::Problem(errors::Problem::Kind::Unreadable, std::move(why)); }

std::string checksum(const Json& body) {
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(stableHash(text::jsonLine(body))));
  return hex;
}

// The object with its checksum last, on one line.
std::string sealed(Json body) {
  const std::string sum = checksum(body);
  body["checksum"] = sum;
  return text::jsonLine(body) + "\n";
}

// The object of a sealed text whose format member is format, when it is
// whole and its checksum matches; else why not.
errors::Result<Json> unsealed(std::string_view text, std::string_view formatKey, std::string_view format,
                              const char* notOurs) {
  if (text.empty() || text.back() != '\n') return refused("cut short");
  Json body = Json::parse(text, nullptr, false);
  if (body.is_discarded()) return refused(text.front() == '{' ? "cut short or damaged (it is not whole JSON)" : notOurs);
  if (!body.is_object() || !body.contains(formatKey) || !body[formatKey].is_string()) return refused(notOurs);
  if (body[formatKey].get<std::string>() != format) return refused("written by another version of flowchart");
  if (!body.contains("checksum") || !body["checksum"].is_string()) return refused("cut short (it has no checksum)");
  const std::string sum = body["checksum"].get<std::string>();
  body.erase("checksum");
  if (checksum(body) != sum) return refused("damaged (its checksum does not match)");
  return body;
}

// A file system path: a string when its bytes are UTF-8, else the array
// of its bytes, so that any name the file system allows reads back.
Json pathJson(std::string_view path) {
  if (text::validUtf8(path) == path) return Json(std::string(path));
  Json bytes = Json::array();
  for (char c : path) bytes.push_back(static_cast<unsigned char>(c));
  return bytes;
}

std::optional<std::string> pathFrom(const Json& json) {
  if (json.is_string()) return json.get<std::string>();
  if (!json.is_array()) return std::nullopt;
  std::string path;
  for (const Json& byte : json) {
    if (!byte.is_number_unsigned() || byte.get<uint64_t>() > 255) return std::nullopt;
    path += static_cast<char>(byte.get<uint64_t>());
  }
  return path;
}

Json optionalJson(const std::optional<int64_t>& value) { return text::jsonNumber(value); }

// Reads the object's members into typed fields; stays false from the
// first member that is missing or of another type.
class Fields {
 public:
  explicit Fields(const Json& object) : object_(object), ok_(object.is_object()) {}
  bool ok() const { return ok_; }

  template <typename Int>
  void integer(const char* key, Int& value) {
    const Json* member = find(key);
    if (!member || !member->is_number_integer()) return refuse();
    constexpr uint64_t kMost = static_cast<uint64_t>(std::numeric_limits<Int>::max());
    if (member->is_number_unsigned()) {
      const uint64_t number = member->get<uint64_t>();
      if (number > kMost) return refuse();
      value = static_cast<Int>(number);
      return;
    }
    const int64_t number = member->get<int64_t>();
    if (number < static_cast<int64_t>(std::numeric_limits<Int>::min()) ||
        (number > 0 && static_cast<uint64_t>(number) > kMost))
      return refuse();
    value = static_cast<Int>(number);
  }
  void optional(const char* key, std::optional<int64_t>& value) {
    const Json* member = find(key);
    if (!member) return refuse();
    if (member->is_null()) value.reset();
    else if (member->is_number_integer()) value = member->get<int64_t>();
    else refuse();
  }
  void string(const char* key, std::string& value) {
    const Json* member = find(key);
    if (!member || !member->is_string()) return refuse();
    value = member->get<std::string>();
  }
  void flag(const char* key, bool& value) {
    const Json* member = find(key);
    if (!member || !member->is_boolean()) return refuse();
    value = member->get<bool>();
  }
  const Json& array(const char* key) {
    static const Json kNone = Json::array();
    const Json* member = find(key);
    if (!member || !member->is_array()) {
      refuse();
      return kNone;
    }
    return *member;
  }

 private:
  const Json* find(const char* key) {
    if (!ok_) return nullptr;
    const auto found = object_.find(key);
    return found == object_.end() ? nullptr : &*found;
  }
  void refuse() { ok_ = false; }

  const Json& object_;
  bool ok_;
};

bool isPlainFileName(std::string_view name) {
  return name.find_first_of("/\\") == std::string_view::npos && name != "." && name != "..";
}

bool isDrawingOrNone(std::string_view name) { return name.empty() || isDrawingName(name); }

Json exportsJson(const std::vector<std::string>& names) {
  Json out = Json::array();
  for (const std::string& name : names) out.push_back(text::jsonText(name));
  return out;
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

bool isExportName(std::string_view name) {
  if (!isPlainFileName(name)) return false;
  const formats::Format* form = formats::formatOf(name, formats::kSiteForm);
  return form && name.size() > form->extension.size() && name.ends_with(form->extension);
}

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
  Json body = {{"record", kRecordFormat},
               {"status", statusName(record.status)},
               {"problemLine", record.problemLine},
               {"problem", text::jsonText(record.problem)},
               {"nloc", optionalJson(record.nloc)},
               {"halsteadVolume", optionalJson(record.halsteadVolume)},
               {"languageLevel", record.languageLevel},
               {"partial", record.partial},
               {"sourceSize", record.sourceSize},
               {"sourceTime", record.sourceTime},
               {"shard", record.shard},
               {"shards", record.shards}};
  Json& classes = body["classes"] = Json::array();
  for (const ClassRecord& cls : record.classes)
    classes.push_back({{"name", text::jsonText(cls.name)},
                       {"kind", text::jsonText(cls.kind)},
                       {"line", cls.line},
                       {"endLine", cls.endLine},
                       {"nloc", optionalJson(cls.nloc)}});
  Json& methods = body["methods"] = Json::array();
  for (const MethodRecord& method : record.methods) {
    methods.push_back({{"class", method.classIndex},
                       {"name", text::jsonText(method.name)},
                       {"line", method.line},
                       {"endLine", method.endLine},
                       {"nloc", optionalJson(method.nloc)},
                       {"complexity", optionalJson(method.complexity)},
                       {"cognitive", optionalJson(method.cognitive)},
                       {"halsteadVolume", optionalJson(method.halsteadVolume)},
                       {"drawing", text::jsonText(method.drawing)},
                       {"problem", text::jsonText(method.problem)},
                       {"sequence", text::jsonText(method.sequence)}});
    // Only a run with --format has other forms: records without stay as they were.
    if (!method.exports.empty()) methods.back()["exports"] = exportsJson(method.exports);
    if (!method.failedExports.empty()) {
      methods.back()["failedExports"] = exportsJson(method.failedExports);
      methods.back()["exportProblem"] = text::jsonText(method.exportProblem);
    }
  }
  return sealed(std::move(body));
}

errors::Result<FileRecord> parseRecord(std::string_view text) {
  if (text.starts_with(kOldRecordStart)) return refused("written by an older version of flowchart");
  errors::Result<Json> body = unsealed(text, "record", kRecordFormat, "not a record of flowchart batch");
  if (!body) return std::move(body).problem();
  const std::string damaged = "damaged (a member is not what a record holds)";
  FileRecord record;
  Fields file(*body);
  std::string status;
  file.string("status", status);
  file.integer("problemLine", record.problemLine);
  file.string("problem", record.problem);
  file.optional("nloc", record.nloc);
  file.optional("halsteadVolume", record.halsteadVolume);
  file.integer("languageLevel", record.languageLevel);
  file.flag("partial", record.partial);
  file.integer("sourceSize", record.sourceSize);
  file.integer("sourceTime", record.sourceTime);
  file.integer("shard", record.shard);
  file.integer("shards", record.shards);
  const std::optional<FileRecord::Status> named = statusNamed(status);
  if (!file.ok() || !named || record.shards == 0 || record.shard == 0 || record.shard > record.shards)
    return refused(damaged);
  record.status = *named;
  for (const Json& entry : file.array("classes")) {
    ClassRecord cls;
    Fields fields(entry);
    fields.string("name", cls.name);
    fields.string("kind", cls.kind);
    fields.integer("line", cls.line);
    fields.integer("endLine", cls.endLine);
    fields.optional("nloc", cls.nloc);
    if (!fields.ok()) return refused(damaged);
    record.classes.push_back(std::move(cls));
  }
  for (const Json& entry : file.array("methods")) {
    MethodRecord method;
    Fields fields(entry);
    fields.integer("class", method.classIndex);
    fields.string("name", method.name);
    fields.integer("line", method.line);
    fields.integer("endLine", method.endLine);
    fields.optional("nloc", method.nloc);
    fields.optional("complexity", method.complexity);
    fields.optional("cognitive", method.cognitive);
    fields.optional("halsteadVolume", method.halsteadVolume);
    fields.string("drawing", method.drawing);
    fields.string("problem", method.problem);
    fields.string("sequence", method.sequence);
    // Records of runs before batch --format have none.
    if (entry.is_object() && entry.contains("exports"))
      for (const Json& name : fields.array("exports")) {
        if (!name.is_string() || !isExportName(name.get<std::string>())) return refused(damaged);
        method.exports.push_back(name.get<std::string>());
      }
    if (entry.is_object() && entry.contains("failedExports")) {
      for (const Json& name : fields.array("failedExports")) {
        if (!name.is_string() || !isExportName(name.get<std::string>())) return refused(damaged);
        method.failedExports.push_back(name.get<std::string>());
      }
      fields.string("exportProblem", method.exportProblem);
    }
    // Drawings are pages beside the file's own page, never paths nor
    // that page itself.
    if (!fields.ok() || method.classIndex >= record.classes.size() || !isDrawingOrNone(method.drawing) ||
        !isDrawingOrNone(method.sequence))
      return refused(damaged);
    record.methods.push_back(std::move(method));
  }
  if (!file.ok()) return refused(damaged);
  return record;
}

std::string siteInfoText(const SiteInfo& info) {
  Json files = Json::array();
  for (const std::string& file : info.files) files.push_back(pathJson(file));
  return sealed({{"site", kSiteFormat},
                 {"title", text::jsonText(info.title)},
                 {"shards", info.shards},
                 {"covered", info.covered},
                 {"files", std::move(files)}});
}

errors::Result<SiteInfo> parseSiteInfo(std::string_view text) {
  const char* notOurs = "written by an older version of flowchart, or not by flowchart";
  if (text.empty() || text.front() != '{') return refused(notOurs);
  errors::Result<Json> body = unsealed(text, "site", kSiteFormat, notOurs);
  if (!body) return std::move(body).problem();
  const std::string damaged = "damaged (a member is not what the file holds)";
  SiteInfo info;
  info.covered.clear();
  Fields fields(*body);
  fields.string("title", info.title);
  fields.integer("shards", info.shards);
  if (!fields.ok() || info.shards == 0) return refused(damaged);
  for (const Json& share : fields.array("covered")) {
    if (!share.is_number_unsigned()) return refused(damaged);
    const uint64_t k = share.get<uint64_t>();
    if (k == 0 || k > info.shards || (!info.covered.empty() && k <= info.covered.back()))
      return refused(damaged);
    info.covered.push_back(static_cast<uint32_t>(k));
  }
  for (const Json& file : fields.array("files")) {
    std::optional<std::string> path = pathFrom(file);
    if (!path || !isSourcePath(*path)) return refused(damaged);
    info.files.push_back(std::move(*path));
  }
  if (!fields.ok()) return refused(damaged);
  return info;
}

}  // namespace site
