// flowchart check: measures every method of the sources given and reports
// those over a threshold, as text, JSON, SARIF 2.1.0 or Code Climate JSON.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <span>

#include "git/changed_lines.h"
#include "cli/commands.h"
#include "site/write_failure.h"
#include "site/index_page.h"
#include "cli/method_choice.h"
#include "pipeline/method_measures.h"
#include "text/json_text.h"
#include "text/text_output.h"
#include "files/atomic_file.h"
#include "site/java_files.h"

namespace cli {

using site::urlPath;
using text::Json;
using text::jsonNumber;
using text::jsonText;
using text::located;

namespace {

namespace fs = std::filesystem;

// The measures a threshold can be set for, in the order of the rules.
enum class Measure { Cyclomatic, Cognitive, Nloc };
constexpr Measure kMeasures[] = {Measure::Cyclomatic, Measure::Cognitive, Measure::Nloc};

struct MeasureRule {
  const char* id;
  const char* text;
  const char* description;
};

const MeasureRule& ruleOf(Measure measure) {
  static const MeasureRule kRules[] = {
      {"cyclomatic-complexity", "cyclomatic complexity",
       "Cyclomatic complexity as checkstyle's CyclomaticComplexity counts it: 1 + if, while, do, for, case, "
       "catch, ?:, &&, || and when."},
      {"cognitive-complexity", "cognitive complexity",
       "Cognitive complexity as SonarSource's whitepaper defines it: breaks in the linear flow, weighted by "
       "their nesting."},
      {"nloc", "NLOC", "Lines of the method that hold code (not blank, not only comments)."},
  };
  return kRules[static_cast<int>(measure)];
}

const char* ruleId(Measure measure) { return ruleOf(measure).id; }
const char* measureText(Measure measure) { return ruleOf(measure).text; }
const char* ruleDescription(Measure measure) { return ruleOf(measure).description; }

// Code hidden behind Unicode escapes: a finding whatever the thresholds.
constexpr const char* kEscapeRule = "unicode-escape";
constexpr int kEscapeRuleIndex = 3;  // after the measures' rules
constexpr const char* kEscapeRuleText = "Unicode escape that hides code";
constexpr const char* kEscapeRuleDescription =
    "javac translates Unicode escapes (\\uXXXX) before anything else, in comments and literals too, so an escape "
    "can end a comment or a string literal, break a line or spell a keyword where the file as written shows none: "
    "code a reader takes for a comment or a string is compiled, or the other way round.";
constexpr const char* kEscapeRuleHelp =
    "Write the characters the escapes stand for as themselves, or keep escapes inside string and character "
    "literals, where they stay part of the literal. The finding says what javac reads at the escape and what "
    "it does there; the flowchart shows the code javac compiles.";

std::optional<int64_t> maximumOf(const CheckRequest& request, Measure measure) {
  switch (measure) {
    case Measure::Cyclomatic: return request.maxCyclomatic;
    case Measure::Cognitive: return request.maxCognitive;
    case Measure::Nloc: return request.maxNloc;
  }
  return std::nullopt;
}

struct Violation {
  Measure measure;
  int64_t value = 0;
  int64_t maximum = 0;
};

// One measured method of one file.
struct CheckedMethod {
  std::string name;   // Class.method, UTF-8
  std::string label;  // Class.method(int, String), UTF-8
  int32_t line = 0;  // the line of its name
  int32_t endLine = 0;
  std::optional<int64_t> nloc;
  const metrics::MethodMeasures* measures = nullptr;  // nullptr: no body
  std::vector<Violation> violations;

  std::optional<int64_t> value(Measure measure) const {
    if (measure == Measure::Nloc) return nloc;
    if (!measures) return std::nullopt;
    return measure == Measure::Cyclomatic ? measures->cyclomatic : measures->cognitive;
  }
};

// Code hidden outside every method (a field's initialiser, say), with
// what holds it: its class, else the file.
struct LooseHiddenCode {
  std::string holder;  // UTF-8
  java::HiddenCode code;
};

// Code hidden in one of a file's methods (an index into its methods).
struct MethodHiddenCode {
  size_t method = 0;
  java::HiddenCode code;
};

struct CheckedFile {
  std::string path;  // as given or found, for messages
  pipeline::MeasuredSource measured;
  std::vector<CheckedMethod> methods;
  // Kept here rather than with each method: nearly every method has none.
  std::vector<MethodHiddenCode> hiddenCode;  // in the order of the methods
  std::vector<LooseHiddenCode> looseHiddenCode;

  std::span<const MethodHiddenCode> hiddenCodeOf(size_t method) const {
    const auto [first, end] = std::equal_range(hiddenCode.begin(), hiddenCode.end(), MethodHiddenCode{method, {}},
                                               [](const MethodHiddenCode& a, const MethodHiddenCode& b) {
                                                 return a.method < b.method;
                                               });
    return {first, end};
  }
};

// "Hidden.java:4:14: Hidden.tidy: Unicode escape \u000a is ...".
std::string hiddenCodeLine(const std::string& path, const std::string& holder, const java::HiddenCode& code) {
  return located(path, code.line, code.column, holder + ": " + code.message()) + "\n";
}

struct Failure {
  std::string path;
  int32_t line = 0;
  std::string message;
};

// The .java files below a folder, in order of their paths.  Folders are
// walked one by one, so that each one that cannot be read is reported
// (its sources would otherwise pass the gate unchecked); links to folders
// are not followed.
void javaFilesBelow(const fs::path& root, std::vector<std::string>& files, std::vector<Failure>& unreadable) {
  const site::JavaFiles found = site::javaFilesBelow(files::realFileSystem(), root);
  for (const site::UnreadableFolder& folder : found.unreadable) {
    const std::string why = std::generic_category().message(folder.systemError);
    unreadable.push_back({folder.folder.generic_string(), 0,
                          folder.partly ? "cannot be read completely: " + why + "; some of its sources are not checked"
                                        : "cannot be read: " + why + "; its sources are not checked (make it readable)"});
  }
  for (const site::JavaFile& file : found.files) files.push_back(file.path.generic_string());
}

// The .java files of the sources: files as given, folders searched, in
// order of their paths; a usage problem for a source that is neither.
errors::Result<std::vector<std::string>> sourceFiles(const std::vector<std::string>& sources,
                                                     std::vector<Failure>& unreadable) {
  std::vector<std::string> files;
  for (const std::string& source : sources) {
    std::error_code ec;
    const fs::file_status status = fs::status(source, ec);
    if (fs::is_directory(status)) {
      javaFilesBelow(source, files, unreadable);
    } else if (fs::exists(status)) {
      files.push_back(source);
    } else {
      const std::string why = pipeline::missingPathText(ec);
      return errors::Problem(errors::Problem::Kind::Usage,
                             source + ": " + (why == "no such file" ? "no such file or folder" : why));
    }
  }
  return files;
}

// Whether the report would be written over one of the sources.
bool isOneOf(const std::string& output, const std::vector<std::string>& sources,
             const std::vector<std::string>& files) {
  std::error_code ec;
  if (!fs::exists(output, ec)) return false;
  for (const std::vector<std::string>* paths : {&sources, &files})
    for (const std::string& path : *paths)
      if (fs::equivalent(output, path, ec)) return true;
  return false;
}

std::string optionalText(const std::optional<int64_t>& value) {
  return value ? std::to_string(*value) : "null";
}

// A SARIF artifact URI: a relative reference with '/' for a relative
// path (':' is escaped there, so "x:y/K.java" reads as no scheme), or a
// file URI for an absolute one.
std::string artifactUri(const std::string& path) {
  const fs::path given(path);
  const std::string generic = given.generic_string();
  if (!given.is_absolute()) return urlPath(generic);
#ifdef _WIN32
  // "C:/src/K.java": the drive letter keeps its colon.
  if (generic.size() > 1 && generic[1] == ':') return "file:///" + generic.substr(0, 2) + urlPath(generic.substr(2));
#endif
  return "file://" + urlPath(generic);
}

std::string violationText(const CheckedMethod& method, const Violation& violation) {
  return method.name + ": " + measureText(violation.measure) + " " + std::to_string(violation.value) + " > " +
         std::to_string(violation.maximum);
}

std::string textReport(const std::vector<CheckedFile>& files, bool anyThreshold) {
  std::string out;
  for (const CheckedFile& file : files) {
    // Code hidden outside the methods, in line order among them.
    auto loose = file.looseHiddenCode.begin();
    const auto looseBefore = [&](int32_t line) {
      for (; loose != file.looseHiddenCode.end() && loose->code.line < line; ++loose)
        out += hiddenCodeLine(file.path, loose->holder, loose->code);
    };
    for (size_t m = 0; m < file.methods.size(); ++m) {
      const CheckedMethod& method = file.methods[m];
      looseBefore(method.line);
      if (!anyThreshold && method.measures)
        out += located(file.path, method.line,
                       method.name + ": cyclomatic complexity " + std::to_string(method.measures->cyclomatic) +
                           ", cognitive complexity " + std::to_string(method.measures->cognitive) + ", NLOC " +
                           optionalText(method.nloc)) +
               "\n";
      for (const Violation& violation : method.violations)
        out += located(file.path, method.line, violationText(method, violation)) + "\n";
      for (const MethodHiddenCode& hidden : file.hiddenCodeOf(m))
        out += hiddenCodeLine(file.path, method.name, hidden.code);
    }
    looseBefore(INT32_MAX);
  }
  return out;
}

std::string jsonReport(const CheckRequest& request, const std::vector<CheckedFile>& files,
                       const std::vector<Failure>& failures, size_t violations) {
  Json thresholds = Json::object();
  for (Measure measure : kMeasures) thresholds[ruleId(measure)] = jsonNumber(maximumOf(request, measure));
  Json out = {{"thresholds", std::move(thresholds)}, {"violations", violations}};
  Json& checked = out["files"] = Json::array();
  for (const CheckedFile& file : files) {
    Json methods = Json::array();
    for (size_t m = 0; m < file.methods.size(); ++m) {
      const CheckedMethod& method = file.methods[m];
      Json entry = {{"name", jsonText(method.name)},
                    {"line", method.line},
                    {"endLine", method.endLine},
                    {"nloc", jsonNumber(method.nloc)}};
      pipeline::addMeasures(entry, method.measures);
      Json& over = entry["over"] = Json::array();
      for (const Violation& violation : method.violations) over.push_back(ruleId(violation.measure));
      if (const std::span<const MethodHiddenCode> hiddenCode = file.hiddenCodeOf(m); !hiddenCode.empty()) {
        over.push_back(kEscapeRule);
        Json& hidden = entry["unicodeEscapes"] = Json::array();
        for (const MethodHiddenCode& each : hiddenCode) hidden.push_back(pipeline::hiddenCodeJson(each.code));
      }
      methods.push_back(std::move(entry));
    }
    Json entry = {{"file", jsonText(file.path)}, {"methods", std::move(methods)}};
    if (!file.looseHiddenCode.empty()) {
      Json& hidden = entry["unicodeEscapes"] = Json::array();
      for (const LooseHiddenCode& loose : file.looseHiddenCode) {
        Json code = pipeline::hiddenCodeJson(loose.code);
        code["name"] = jsonText(loose.holder);
        hidden.push_back(std::move(code));
      }
    }
    checked.push_back(std::move(entry));
  }
  Json& failed = out["failures"] = Json::array();
  for (const Failure& failure : failures)
    failed.push_back({{"file", jsonText(failure.path)}, {"line", failure.line}, {"message", jsonText(failure.message)}});
  return text::jsonLine(out) + "\n";
}

Json sarifRegion(int32_t line, int32_t endLine) {
  Json region = {{"startLine", std::max(1, line)}};
  if (endLine >= line && endLine > 0) region["endLine"] = endLine;
  return region;
}

Json sarifLocation(const std::string& path, Json region) {
  Json physical = {{"artifactLocation", {{"uri", jsonText(artifactUri(path))}}}};
  if (!region.is_null()) physical["region"] = std::move(region);
  return {{"physicalLocation", std::move(physical)}};
}

std::string sarifReport(const std::vector<CheckedFile>& files, const std::vector<Failure>& failures) {
  Json rules = Json::array();
  for (Measure measure : kMeasures)
    rules.push_back({{"id", ruleId(measure)},
                     {"shortDescription", {{"text", std::string(measureText(measure)) + " over its maximum"}}},
                     {"fullDescription", {{"text", ruleDescription(measure)}}},
                     {"defaultConfiguration", {{"level", "warning"}}}});
  rules.push_back({{"id", kEscapeRule},
                   {"shortDescription", {{"text", kEscapeRuleText}}},
                   {"fullDescription", {{"text", kEscapeRuleDescription}}},
                   {"help", {{"text", kEscapeRuleHelp}}},
                   {"defaultConfiguration", {{"level", "error"}}}});
  Json notifications = Json::array();
  for (const Failure& failure : failures)
    notifications.push_back(
        {{"level", "error"},
         {"message", {{"text", jsonText(failure.message)}}},
         {"locations", Json::array({sarifLocation(failure.path, failure.line > 0 ? sarifRegion(failure.line, 0)
                                                                                 : Json(nullptr))})}});
  Json results = Json::array();
  for (const CheckedFile& file : files)
    for (const CheckedMethod& method : file.methods)
      for (const Violation& violation : method.violations) {
        Json location = sarifLocation(file.path, sarifRegion(method.line, method.endLine));
        location["logicalLocations"] =
            Json::array({{{"fullyQualifiedName", jsonText(method.name)}, {"kind", "function"}}});
        results.push_back({{"ruleId", ruleId(violation.measure)},
                           {"ruleIndex", static_cast<int>(violation.measure)},
                           {"level", "warning"},
                           {"message", {{"text", jsonText(violationText(method, violation))}}},
                           {"locations", Json::array({std::move(location)})},
                           {"properties",
                            {{"value", violation.value},
                             {"maximum", violation.maximum},
                             {"cyclomaticComplexity", jsonNumber(method.value(Measure::Cyclomatic))},
                             {"cognitiveComplexity", jsonNumber(method.value(Measure::Cognitive))},
                             {"nloc", jsonNumber(method.nloc)}}}});
      }
  const auto hiddenResult = [&](const std::string& path, const std::string& holder, const char* kind,
                                const java::HiddenCode& code) {
    Json region = {{"startLine", code.line},
                   {"startColumn", code.column},
                   {"endLine", code.line},
                   {"endColumn", code.endColumn}};
    Json location = sarifLocation(path, std::move(region));
    location["logicalLocations"] = Json::array({{{"fullyQualifiedName", jsonText(holder)}, {"kind", kind}}});
    results.push_back({{"ruleId", kEscapeRule},
                       {"ruleIndex", kEscapeRuleIndex},
                       {"level", "error"},
                       {"message", {{"text", jsonText(holder + ": " + code.message())}}},
                       {"locations", Json::array({std::move(location)})},
                       {"properties", {{"escape", code.written}}}});
  };
  for (const CheckedFile& file : files) {
    for (const MethodHiddenCode& hidden : file.hiddenCode)
      hiddenResult(file.path, file.methods[hidden.method].name, "function", hidden.code);
    for (const LooseHiddenCode& loose : file.looseHiddenCode) hiddenResult(file.path, loose.holder, "type", loose.code);
  }
  const Json run = {{"tool", {{"driver", {{"name", "flowchart"}, {"rules", std::move(rules)}}}}},
                    {"invocations", Json::array({{{"executionSuccessful", failures.empty()},
                                                  {"toolExecutionNotifications", std::move(notifications)}}})},
                    {"results", std::move(results)}};
  const Json out = {{"$schema", "https://json.schemastore.org/sarif-2.1.0.json"},
                    {"version", "2.1.0"},
                    {"runs", Json::array({run})}};
  return text::jsonLine(out) + "\n";
}

// A fingerprint that stays while the method keeps its file, name and
// parameter types (so that overloads differ), and its rule.
std::string fingerprint(const std::string& path, const std::string& method, std::string_view rule,
                        std::optional<int32_t> line = std::nullopt, std::string_view detail = {}) {
  std::vector<std::string> parts = {path, method, std::string(rule)};
  if (!detail.empty()) parts.emplace_back(detail);
  if (line) parts.push_back(std::to_string(*line));
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const std::string& part : parts) {
    for (unsigned char c : part) hash = (hash ^ c) * 1099511628211ull;
    hash = (hash ^ 0xff) * 1099511628211ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

// Code Climate's issue format, as GitLab's code quality report reads it.
// GitLab shows one issue per fingerprint: methods that share a name and
// parameter types (initialisers of one class) are told apart by line, as
// are escapes written alike in one method.
std::string codeClimateReport(const std::vector<CheckedFile>& files) {
  struct Issue {
    const CheckedFile* file;
    std::string label;  // what the fingerprint names
    const char* rule;
    std::string detail;  // of the fingerprint, besides the rule
    std::string place;   // of the fingerprint that tells apart issues alike, besides the line
    std::string description;
    const char* category;
    const char* severity;
    int32_t begin, end;
    std::string fingerprint;
  };
  std::vector<Issue> issues;
  std::map<std::string, size_t> uses;
  const auto add = [&](Issue issue) {
    issue.fingerprint = fingerprint(issue.file->path, issue.label, issue.rule, std::nullopt, issue.detail);
    ++uses[issue.fingerprint];
    issues.push_back(std::move(issue));
  };
  for (const CheckedFile& file : files) {
    for (size_t m = 0; m < file.methods.size(); ++m) {
      const CheckedMethod& method = file.methods[m];
      for (const Violation& violation : method.violations)
        add({&file, method.label, ruleId(violation.measure), "", "", violationText(method, violation), "Complexity",
             "minor", method.line, std::max(method.line, method.endLine), ""});
      for (const MethodHiddenCode& hidden : file.hiddenCodeOf(m)) {
        const java::HiddenCode& code = hidden.code;
        add({&file, method.label, kEscapeRule, code.written, code.written + "@" + std::to_string(code.column),
             method.name + ": " + code.message(), "Security", "critical", code.line, code.line, ""});
      }
    }
    for (const LooseHiddenCode& loose : file.looseHiddenCode)
      add({&file, loose.holder, kEscapeRule, loose.code.written,
           loose.code.written + "@" + std::to_string(loose.code.column), loose.holder + ": " + loose.code.message(),
           "Security", "critical", loose.code.line, loose.code.line, ""});
  }
  Json out = Json::array();
  for (const Issue& issue : issues) {
    const std::string print = uses[issue.fingerprint] > 1
                                  ? fingerprint(issue.file->path, issue.label, issue.rule, issue.begin, issue.place)
                                  : issue.fingerprint;
    out.push_back({{"type", "issue"},
                   {"check_name", issue.rule},
                   {"description", jsonText(issue.description)},
                   {"categories", Json::array({issue.category})},
                   {"severity", issue.severity},
                   {"fingerprint", print},
                   {"location",
                    {{"path", jsonText(fs::path(issue.file->path).generic_string())},
                     {"lines", {{"begin", issue.begin}, {"end", issue.end}}}}}});
  }
  return text::jsonLine(out) + "\n";
}

// "3,188": a count with its thousands set apart, for people.
std::string grouped(size_t count) {
  std::string digits = std::to_string(count);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// The closing line: what was checked and what was found, said whether or
// not anything is over a threshold, whatever the report's format.
std::string summaryLine(const std::vector<CheckedFile>& files, size_t failed) {
  size_t methods = 0, withoutBody = 0, over = 0, hidden = 0;
  for (const CheckedFile& file : files) {
    for (const CheckedMethod& method : file.methods) {
      ++methods;
      if (!method.measures) ++withoutBody;
      if (!method.violations.empty()) ++over;
    }
    hidden += file.hiddenCode.size() + file.looseHiddenCode.size();
  }
  std::string line = "checked " + grouped(methods) + (methods == 1 ? " method" : " methods") + " in " +
                     grouped(files.size()) + (files.size() == 1 ? " file" : " files");
  if (withoutBody > 0) line += " (" + grouped(withoutBody) + " without a body)";
  line += "; " + grouped(over) + " over a threshold";
  if (hidden > 0)
    line += "; " + grouped(hidden) + (hidden == 1 ? " place" : " places") + " where Unicode escapes hide code";
  if (failed > 0) line += "; " + grouped(failed) + (failed == 1 ? " source" : " sources") + " could not be checked";
  return line + "\n";
}

}  // namespace

CommandResult runCheck(const CheckRequest& request) {
  std::vector<Failure> failures;
  const errors::Result<std::vector<std::string>> found = sourceFiles(request.sources, failures);
  if (!found) {
    std::fprintf(stderr, "%s\n", found.problem().message.c_str());
    return found.problem();
  }
  const std::vector<std::string>& paths = *found;
  if (!request.output.empty() && isOneOf(request.output, request.sources, paths)) {
    std::fprintf(stderr, "%s: is one of the sources checked; the report would replace it (name another file with -o)\n",
                 request.output.c_str());
    return reported(errors::Problem::Kind::Usage);
  }
  std::optional<git::ChangedLines> changed;
  if (!request.changedSince.empty()) {
    errors::Result<git::ChangedLines> since = git::ChangedLines::since(request.changedSince, request.sources);
    if (!since) {
      std::fprintf(stderr, "flowchart: %s\n", since.problem().message.c_str());
      return std::move(since).problem();
    }
    changed = std::move(*since);
  }
  for (const Failure& failure : failures)
    std::fprintf(stderr, "%s\n", located(failure.path, failure.line, failure.message).c_str());
  bool anyThreshold = false;
  for (Measure measure : kMeasures) anyThreshold = anyThreshold || maximumOf(request, measure).has_value();

  std::vector<CheckedFile> files;
  size_t violations = 0;
  for (const std::string& path : paths) {
    if (changed && !changed->touchesFile(path)) continue;
    CheckedFile file;
    file.path = path;
    errors::Result<pipeline::ParsedSource> parsed = pipeline::ParsedSource::parse(path, request.languageLevel);
    if (!parsed) {
      const pipeline::Problem& problem = parsed.problem();
      std::fprintf(stderr, "%s\n", located(path, problem.line, problem.message).c_str());
      failures.push_back({path, problem.line, problem.message});
      continue;
    }
    file.measured = pipeline::measureSource(*parsed);
    const pipeline::FileSummary& summary = parsed->summary();
    for (size_t m = 0; m < summary.methods.size(); ++m) {
      const pipeline::MethodSummary& summaryMethod = summary.methods[m];
      if (changed && !changed->touches(path, summaryMethod.line, summaryMethod.endLine)) continue;
      CheckedMethod method;
      method.name = utf8Text(summary.displayName(summaryMethod), parsed->charset());
      method.label = utf8Text(methodLabel(summary, summaryMethod), parsed->charset());
      method.measures = file.measured.withBody(m);
      const metrics::MethodMeasures* found = file.measured.byMethod[m];
      method.line = found ? found->nameLine : summaryMethod.line;
      method.endLine = summaryMethod.endLine;
      method.nloc = summaryMethod.nloc;
      if (method.measures)
        for (Measure measure : kMeasures) {
          const std::optional<int64_t> maximum = maximumOf(request, measure);
          const std::optional<int64_t> value = method.value(measure);
          if (maximum && value && *value > *maximum) method.violations.push_back({measure, *value, *maximum});
        }
      for (java::HiddenCode& code : parsed->hiddenCodeOf(summaryMethod))
        file.hiddenCode.push_back({file.methods.size(), std::move(code)});
      violations += method.violations.size();
      file.methods.push_back(std::move(method));
    }
    for (const pipeline::ParsedSource::LooseHiddenCode& loose : parsed->hiddenCodeOutsideMethods()) {
      if (changed && !changed->touches(path, loose.code->line, loose.code->line)) continue;
      const std::string holder = loose.classIndex ? summary.classes[*loose.classIndex].qualifiedName
                                                  : fs::path(path).filename().string();
      file.looseHiddenCode.push_back({utf8Text(holder, parsed->charset()), *loose.code});
      ++violations;
    }
    violations += file.hiddenCode.size();
    files.push_back(std::move(file));
  }

  std::string report;
  switch (request.format) {
    case CheckRequest::Format::Text: report = textReport(files, anyThreshold); break;
    case CheckRequest::Format::Json: report = jsonReport(request, files, failures, violations); break;
    case CheckRequest::Format::Sarif: report = sarifReport(files, failures); break;
    case CheckRequest::Format::CodeClimate: report = codeClimateReport(files); break;
  }
  if (request.output.empty()) {
    std::fputs(report.c_str(), stdout);
  } else if (errors::Status saved = files::writeAtomically(request.output, report); !saved) {
    const std::string why = site::whyNotWritten(request.output, saved.problem().systemError);
    std::fprintf(stderr, "%s: cannot write the report%s\n", request.output.c_str(),
                 why.empty() ? "" : (": " + why).c_str());
    return reported(errors::Problem::Kind::Failed);
  }
  std::fputs(summaryLine(files, failures.size()).c_str(), stderr);
  if (!failures.empty()) return reported(errors::Problem::Kind::Failed);
  return Finished{violations > 0, 0};
}

}  // namespace cli
