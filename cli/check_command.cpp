// flowchart check: measures every method of the sources given and reports
// those over a threshold, as text, JSON, SARIF 2.1.0 or Code Climate JSON.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "cli/changed_lines.h"
#include "cli/commands.h"
#include "site/write_failure.h"
#include "site/index_page.h"
#include "cli/method_choice.h"
#include "cli/method_measures.h"
#include "text/json_string.h"
#include "text/text_output.h"
#include "files/atomic_file.h"
#include "site/java_files.h"

namespace cli {

using site::urlPath;
using text::jsonString;
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

struct CheckedFile {
  std::string path;  // as given or found, for messages
  MeasuredSource measured;
  std::vector<CheckedMethod> methods;
};

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
  const site::JavaFiles found = site::javaFilesBelow(site::realSiteFiles(), root);
  for (const site::UnreadableFolder& folder : found.unreadable) {
    const std::string why = std::generic_category().message(folder.systemError);
    unreadable.push_back({folder.folder.generic_string(), 0,
                          folder.partly ? "cannot be read completely: " + why + "; some of its sources are not checked"
                                        : "cannot be read: " + why + "; its sources are not checked (make it readable)"});
  }
  for (const site::JavaFile& file : found.files) files.push_back(file.path.generic_string());
}

// The .java files of the sources: files as given, folders searched, in
// order of their paths.  Empty with the error for a source that is neither.
std::vector<std::string> sourceFiles(const std::vector<std::string>& sources, std::vector<Failure>& unreadable,
                                     std::string& error) {
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
      error = source + ": " + (why == "no such file" ? "no such file or folder" : why);
      return {};
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

std::string jsonOptional(const std::optional<int64_t>& value) {
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
  for (const CheckedFile& file : files)
    for (const CheckedMethod& method : file.methods) {
      if (!anyThreshold) {
        if (!method.measures) continue;
        out += located(file.path, method.line,
                       method.name + ": cyclomatic complexity " + std::to_string(method.measures->cyclomatic) +
                           ", cognitive complexity " + std::to_string(method.measures->cognitive) + ", NLOC " +
                           jsonOptional(method.nloc)) +
               "\n";
        continue;
      }
      for (const Violation& violation : method.violations)
        out += located(file.path, method.line, violationText(method, violation)) + "\n";
    }
  return out;
}

std::string jsonReport(const CheckRequest& request, const std::vector<CheckedFile>& files,
                       const std::vector<Failure>& failures, size_t violations) {
  std::string out = "{\"thresholds\":{";
  for (Measure measure : kMeasures)
    out += std::string(measure == Measure::Cyclomatic ? "" : ",") + jsonString(ruleId(measure)) + ":" +
           jsonOptional(maximumOf(request, measure));
  out += "},\"violations\":" + std::to_string(violations) + ",\"files\":[";
  for (size_t f = 0; f < files.size(); ++f) {
    const CheckedFile& file = files[f];
    out += std::string(f > 0 ? "," : "") + "{\"file\":" + jsonString(file.path) + ",\"methods\":[";
    for (size_t m = 0; m < file.methods.size(); ++m) {
      const CheckedMethod& method = file.methods[m];
      out += std::string(m > 0 ? "," : "") + "{\"name\":" + jsonString(method.name) +
             ",\"line\":" + std::to_string(method.line) + ",\"endLine\":" + std::to_string(method.endLine) +
             ",\"nloc\":" + jsonOptional(method.nloc) + measuresJson(method.measures) + ",\"over\":[";
      for (size_t v = 0; v < method.violations.size(); ++v)
        out += std::string(v > 0 ? "," : "") + jsonString(ruleId(method.violations[v].measure));
      out += "]}";
    }
    out += "]}";
  }
  out += "],\"failures\":[";
  for (size_t i = 0; i < failures.size(); ++i)
    out += std::string(i > 0 ? "," : "") + "{\"file\":" + jsonString(failures[i].path) +
           ",\"line\":" + std::to_string(failures[i].line) + ",\"message\":" + jsonString(failures[i].message) + "}";
  return out + "]}\n";
}

std::string sarifRegion(int32_t line, int32_t endLine) {
  std::string region = "{\"startLine\":" + std::to_string(std::max(1, line));
  if (endLine >= line && endLine > 0) region += ",\"endLine\":" + std::to_string(endLine);
  return region + "}";
}

std::string sarifReport(const std::vector<CheckedFile>& files, const std::vector<Failure>& failures) {
  std::string out =
      "{\"$schema\":\"https://json.schemastore.org/sarif-2.1.0.json\",\"version\":\"2.1.0\",\"runs\":[{\"tool\":{"
      "\"driver\":{\"name\":\"flowchart\",\"rules\":[";
  for (Measure measure : kMeasures)
    out += std::string(measure == Measure::Cyclomatic ? "" : ",") + "{\"id\":" + jsonString(ruleId(measure)) +
           ",\"shortDescription\":{\"text\":" + jsonString(std::string(measureText(measure)) + " over its maximum") +
           "},\"fullDescription\":{\"text\":" + jsonString(ruleDescription(measure)) +
           "},\"defaultConfiguration\":{\"level\":\"warning\"}}";
  out += "]}},\"invocations\":[{\"executionSuccessful\":" + std::string(failures.empty() ? "true" : "false") +
         ",\"toolExecutionNotifications\":[";
  for (size_t i = 0; i < failures.size(); ++i)
    out += std::string(i > 0 ? "," : "") + "{\"level\":\"error\",\"message\":{\"text\":" +
           jsonString(failures[i].message) + "},\"locations\":[{\"physicalLocation\":{\"artifactLocation\":{\"uri\":" +
           jsonString(artifactUri(failures[i].path)) + "}" +
           (failures[i].line > 0 ? ",\"region\":" + sarifRegion(failures[i].line, 0) : std::string()) + "}}]}";
  out += "]}],\"results\":[";
  bool first = true;
  for (const CheckedFile& file : files)
    for (const CheckedMethod& method : file.methods)
      for (const Violation& violation : method.violations) {
        out += std::string(first ? "" : ",") + "{\"ruleId\":" + jsonString(ruleId(violation.measure)) +
               ",\"ruleIndex\":" + std::to_string(static_cast<int>(violation.measure)) +
               ",\"level\":\"warning\",\"message\":{\"text\":" + jsonString(violationText(method, violation)) +
               "},\"locations\":[{\"physicalLocation\":{\"artifactLocation\":{\"uri\":" +
               jsonString(artifactUri(file.path)) + "},\"region\":" + sarifRegion(method.line, method.endLine) +
               "},\"logicalLocations\":[{\"fullyQualifiedName\":" + jsonString(method.name) +
               ",\"kind\":\"function\"}]}],\"properties\":{\"value\":" + std::to_string(violation.value) +
               ",\"maximum\":" + std::to_string(violation.maximum) +
               ",\"cyclomaticComplexity\":" + jsonOptional(method.value(Measure::Cyclomatic)) +
               ",\"cognitiveComplexity\":" + jsonOptional(method.value(Measure::Cognitive)) +
               ",\"nloc\":" + jsonOptional(method.nloc) + "}}";
        first = false;
      }
  return out + "]}]}\n";
}

// A fingerprint that stays while the method keeps its file, name and
// parameter types (so that overloads differ), and its rule.
std::string fingerprint(const std::string& path, const std::string& method, Measure measure,
                        std::optional<int32_t> line = std::nullopt) {
  std::vector<std::string> parts = {path, method, ruleId(measure)};
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
// parameter types (initialisers of one class) are told apart by line.
std::string codeClimateReport(const std::vector<CheckedFile>& files) {
  struct Issue {
    const CheckedFile* file;
    const CheckedMethod* method;
    const Violation* violation;
    std::string fingerprint;
  };
  std::vector<Issue> issues;
  std::map<std::string, size_t> uses;
  for (const CheckedFile& file : files)
    for (const CheckedMethod& method : file.methods)
      for (const Violation& violation : method.violations) {
        issues.push_back({&file, &method, &violation, fingerprint(file.path, method.label, violation.measure)});
        ++uses[issues.back().fingerprint];
      }
  std::string out = "[";
  for (size_t i = 0; i < issues.size(); ++i) {
    const Issue& issue = issues[i];
    const CheckedMethod& method = *issue.method;
    const std::string print = uses[issue.fingerprint] > 1
                                  ? fingerprint(issue.file->path, method.label, issue.violation->measure, method.line)
                                  : issue.fingerprint;
    out += std::string(i > 0 ? "," : "") + "{\"type\":\"issue\",\"check_name\":" +
           jsonString(ruleId(issue.violation->measure)) + ",\"description\":" +
           jsonString(violationText(method, *issue.violation)) + ",\"categories\":[\"Complexity\"]," +
           "\"severity\":\"minor\",\"fingerprint\":\"" + print +
           "\",\"location\":{\"path\":" + jsonString(fs::path(issue.file->path).generic_string()) +
           ",\"lines\":{\"begin\":" + std::to_string(method.line) +
           ",\"end\":" + std::to_string(std::max(method.line, method.endLine)) + "}}}";
  }
  return out + "]\n";
}

}  // namespace

CommandResult runCheck(const CheckRequest& request) {
  std::string error;
  std::vector<Failure> failures;
  const std::vector<std::string> paths = sourceFiles(request.sources, failures, error);
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return reported(errors::Problem::Kind::Usage);
  }
  if (!request.output.empty() && isOneOf(request.output, request.sources, paths)) {
    std::fprintf(stderr, "%s: is one of the sources checked; the report would replace it (name another file with -o)\n",
                 request.output.c_str());
    return reported(errors::Problem::Kind::Usage);
  }
  std::optional<ChangedLines> changed;
  if (!request.changedSince.empty()) {
    changed = ChangedLines::since(request.changedSince, request.sources, error);
    if (!changed) {
      std::fprintf(stderr, "flowchart: %s\n", error.c_str());
      return reported(errors::Problem::Kind::Usage);
    }
  }
  for (const Failure& failure : failures)
    std::fprintf(stderr, "%s\n", located(failure.path, failure.line, failure.message).c_str());
  bool anyThreshold = false;
  for (Measure measure : kMeasures) anyThreshold = anyThreshold || maximumOf(request, measure).has_value();

  std::vector<CheckedFile> files;
  size_t violations = 0;
  for (const std::string& path : paths) {
    if (changed && !changed->touchesFile(path)) continue;
    pipeline::Problem problem;
    CheckedFile file;
    file.path = path;
    std::optional<pipeline::ParsedSource> parsed = pipeline::ParsedSource::parse(path, request.languageLevel, problem);
    if (!parsed) {
      std::fprintf(stderr, "%s\n", located(path, problem.line, problem.message).c_str());
      failures.push_back({path, problem.line, problem.message});
      continue;
    }
    file.measured = measureSource(*parsed);
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
      violations += method.violations.size();
      file.methods.push_back(std::move(method));
    }
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
  if (!failures.empty()) return reported(errors::Problem::Kind::Failed);
  return Finished{violations > 0, 0};
}

}  // namespace cli
