#include "findings/reports.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <map>

#include "pipeline/method_measures.h"
#include "pipeline/parsed_source.h"
#include "site/index_page.h"
#include "text/json_text.h"
#include "text/text_output.h"

namespace findings {
namespace {

namespace fs = std::filesystem;

using text::Json;
using text::jsonNumber;
using text::jsonText;
using site::urlPath;

constexpr const char* kEscapeRuleHelp =
    "Write the characters the escapes stand for as themselves, or keep escapes inside string and character "
    "literals, where they stay part of the literal. The finding says what javac reads at the escape and what "
    "it does there; the flowchart shows the code javac compiles.";

const char* ruleId(Rule rule) { return ruleText(rule).id; }

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

Json sarifRegion(int32_t line, int32_t endLine) {
  Json region = {{"startLine", std::max(1, line)}};
  if (endLine >= line && endLine > 0) region["endLine"] = endLine;
  return region;
}

// The path relative to the top folder of the sources, '/'-separated;
// nullopt for a path outside it.
std::optional<std::string> belowRoot(const std::string& path, const fs::path& root) {
  std::error_code ec;
  const std::string relative = fs::absolute(path, ec).lexically_normal().lexically_relative(root).generic_string();
  if (relative.empty() || relative == "." || relative.rfind("..", 0) == 0) return std::nullopt;
  return relative;
}

// The name the uploaded reports give a path: below the root, else as given.
std::string uploadedPath(const std::string& path, const fs::path& root) {
  return belowRoot(path, root).value_or(fs::path(path).generic_string());
}

constexpr const char* kSourceRootId = "%SRCROOT%";

Json sarifLocation(const std::string& path, Json region, const fs::path& root) {
  Json artifact;
  if (const std::optional<std::string> relative = belowRoot(path, root))
    artifact = {{"uri", jsonText(urlPath(*relative))}, {"uriBaseId", kSourceRootId}};
  else
    artifact = {{"uri", jsonText(artifactUri(path))}};
  Json physical = {{"artifactLocation", std::move(artifact)}};
  if (!region.is_null()) physical["region"] = std::move(region);
  return {{"physicalLocation", std::move(physical)}};
}

// The SARIF report's runs: one per category of findings, as code scanning
// keeps one analysis per tool and category (a later upload of a category
// replaces its alerts) and refuses two runs of one category in an upload.
struct SarifCategory {
  const char* id;  // the run's automationDetails.id: "category/" and no run id
  bool escapes;    // the hidden code; else the measures over their maxima
};
constexpr SarifCategory kSarifCategories[] = {{"flowchart/measures/", false}, {"flowchart/unicode-escapes/", true}};

Json sarifRules(bool escapes) {
  Json rules = Json::array();
  if (!escapes) {
    for (Rule rule : kMeasureRules)
      rules.push_back({{"id", ruleId(rule)},
                       {"shortDescription", {{"text", std::string(ruleText(rule).text) + " over its maximum"}}},
                       {"fullDescription", {{"text", ruleText(rule).description}}},
                       {"defaultConfiguration", {{"level", "warning"}}}});
    return rules;
  }
  const RuleText& escape = ruleText(Rule::UnicodeEscape);
  rules.push_back({{"id", escape.id},
                   {"shortDescription", {{"text", escape.text}}},
                   {"fullDescription", {{"text", escape.description}}},
                   {"help", {{"text", kEscapeRuleHelp}}},
                   {"defaultConfiguration", {{"level", "error"}}}});
  return rules;
}

// A result; its fingerprint under the key code scanning matches alerts by
// (given, the uploader computes no line-based one of its own).
Json sarifResult(const Finding& finding, const std::string& print, const fs::path& root) {
  const Place& place = finding.place;
  const Json logical = Json::array(
      {{{"fullyQualifiedName", jsonText(place.signature)}, {"kind", place.inMethod ? "function" : "type"}}});
  const Json fingerprints = {{"primaryLocationLineHash", print}};
  if (!finding.hidden) {
    Json location = sarifLocation(place.path, sarifRegion(place.line, place.endLine), root);
    location["logicalLocations"] = logical;
    return {{"ruleId", ruleId(finding.rule)},
            {"ruleIndex", static_cast<int>(finding.rule)},
            {"level", "warning"},
            {"message", {{"text", jsonText(finding.signedMessage())}}},
            {"locations", Json::array({std::move(location)})},
            {"partialFingerprints", fingerprints},
            {"properties",
             {{"value", finding.value},
              {"maximum", finding.threshold},
              {"cyclomaticComplexity", jsonNumber(place.measures.cyclomatic)},
              {"cognitiveComplexity", jsonNumber(place.measures.cognitive)},
              {"nloc", jsonNumber(place.measures.nloc)}}}};
  }
  const java::HiddenCode& code = *finding.hidden;
  Json region = {
      {"startLine", code.line}, {"startColumn", code.column}, {"endLine", code.line}, {"endColumn", code.endColumn}};
  Json location = sarifLocation(place.path, std::move(region), root);
  location["logicalLocations"] = logical;
  return {{"ruleId", ruleId(finding.rule)},
          {"ruleIndex", 0},  // the one rule of its run
          {"level", "error"},
          {"message", {{"text", jsonText(finding.signedMessage())}}},
          {"locations", Json::array({std::move(location)})},
          {"partialFingerprints", fingerprints},
          {"properties", {{"escape", code.written}}}};
}

// A fingerprint that stays while the method keeps its file, name and
// parameter types (so that overloads differ), and its rule.
std::string fingerprint(const std::string& path, const std::string& method, std::string_view rule,
                        std::string_view detail) {
  std::vector<std::string> parts = {path, method, std::string(rule)};
  if (!detail.empty()) parts.emplace_back(detail);
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const std::string& part : parts) {
    for (unsigned char c : part) hash = (hash ^ c) * 1099511628211ull;
    hash = (hash ^ 0xff) * 1099511628211ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

// "3,188": a count with its thousands set apart, for people.
std::string grouped(size_t count) {
  std::string digits = std::to_string(count);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// Every finding of the files, each file's methods' first and then those
// outside the methods.
template <class Visit>
void eachFinding(const std::vector<CheckedFile>& files, Visit visit) {
  for (const CheckedFile& file : files) {
    for (const CheckedMethod& method : file.methods)
      for (const Finding& finding : method.found) visit(finding);
    for (const Finding& finding : file.outside) visit(finding);
  }
}

// Each finding's fingerprint.  Findings alike in all that a fingerprint is
// made of (initialisers of one class, escapes written alike in one
// method) are told apart by their order among themselves, not by line.
std::map<const Finding*, std::string> fingerprints(const std::vector<CheckedFile>& files, const fs::path& root) {
  std::map<const Finding*, std::string> prints;
  std::map<std::string, int> seen;
  eachFinding(files, [&](const Finding& finding) {
    const std::string path = uploadedPath(finding.place.path, root);
    const std::string detail = finding.hidden ? finding.hidden->written : "";
    std::string print = fingerprint(path, finding.place.signature, ruleId(finding.rule), detail);
    if (const int earlier = seen[print]++; earlier > 0)
      print = fingerprint(path, finding.place.signature, ruleId(finding.rule), detail + "#" + std::to_string(earlier));
    prints[&finding] = print;
  });
  return prints;
}

}  // namespace

size_t CheckedFile::findings() const {
  size_t count = outside.size();
  for (const CheckedMethod& method : methods) count += method.found.size();
  return count;
}

std::string textReport(const std::vector<CheckedFile>& files, bool anyThreshold) {
  std::string out;
  for (const CheckedFile& file : files) {
    // Code hidden outside the methods, in line order among them.
    auto outside = file.outside.begin();
    const auto outsideBefore = [&](int32_t line) {
      for (; outside != file.outside.end() && outside->line() < line; ++outside)
        out += outside->reportLine(true) + "\n";
    };
    for (const CheckedMethod& method : file.methods) {
      const Place& place = method.place;
      outsideBefore(place.line);
      if (!anyThreshold && method.measures)
        out += text::located(file.path, place.line,
                             place.signature + ": cyclomatic complexity " + std::to_string(method.measures->cyclomatic) +
                                 ", cognitive complexity " + std::to_string(method.measures->cognitive) + ", NLOC " +
                                 optionalText(place.measures.nloc)) +
               "\n";
      for (const Finding& finding : method.found) out += finding.reportLine(true) + "\n";
    }
    outsideBefore(INT32_MAX);
  }
  return out;
}

std::string jsonReport(const Thresholds& thresholds, const std::vector<CheckedFile>& files,
                       const std::vector<Failure>& failures) {
  Json maxima = Json::object();
  for (Rule rule : kMeasureRules) maxima[ruleId(rule)] = jsonNumber(thresholds.of(rule));
  size_t count = 0;
  for (const CheckedFile& file : files) count += file.findings();
  Json out = {{"thresholds", std::move(maxima)}, {"violations", count}};
  Json& checked = out["files"] = Json::array();
  for (const CheckedFile& file : files) {
    Json methods = Json::array();
    for (const CheckedMethod& method : file.methods) {
      const Place& place = method.place;
      Json entry = {{"name", jsonText(place.method)},
                    {"signature", jsonText(place.signature)},
                    {"line", place.line},
                    {"endLine", place.endLine},
                    {"nloc", jsonNumber(place.measures.nloc)}};
      pipeline::addMeasures(entry, method.measures ? &*method.measures : nullptr);
      Json& over = entry["over"] = Json::array();
      Json hidden = Json::array();
      for (const Finding& finding : method.found) {
        if (finding.hidden) hidden.push_back(pipeline::hiddenCodeJson(*finding.hidden));
        else over.push_back(ruleId(finding.rule));
      }
      if (!hidden.empty()) {
        over.push_back(ruleId(Rule::UnicodeEscape));
        entry["unicodeEscapes"] = std::move(hidden);
      }
      methods.push_back(std::move(entry));
    }
    Json entry = {{"file", jsonText(file.path)}, {"methods", std::move(methods)}};
    if (!file.outside.empty()) {
      Json& hidden = entry["unicodeEscapes"] = Json::array();
      for (const Finding& outside : file.outside) {
        Json code = pipeline::hiddenCodeJson(*outside.hidden);
        code["name"] = jsonText(outside.place.method);
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

std::string sarifReport(const std::vector<CheckedFile>& files, const std::vector<Failure>& failures,
                        const fs::path& sourceRoot) {
  const std::map<const Finding*, std::string> prints = fingerprints(files, sourceRoot);
  Json notifications = Json::array();
  for (const Failure& failure : failures)
    notifications.push_back(
        {{"level", "error"},
         {"message", {{"text", jsonText(failure.message)}}},
         {"locations",
          Json::array({sarifLocation(failure.path, failure.line > 0 ? sarifRegion(failure.line, 0) : Json(nullptr),
                                     sourceRoot)})}});
  // The top folder as a file URI ending in '/', as a base URI must.
  std::string rootUri = artifactUri(sourceRoot.generic_string());
  if (rootUri.back() != '/') rootUri += '/';
  Json runs = Json::array();
  for (const SarifCategory& category : kSarifCategories) {
    Json results = Json::array();
    eachFinding(files, [&](const Finding& finding) {
      if (finding.isEscape() == category.escapes) results.push_back(sarifResult(finding, prints.at(&finding), sourceRoot));
    });
    // A source not checked leaves every category's results incomplete.
    runs.push_back({{"tool", {{"driver", {{"name", "flowchart"}, {"rules", sarifRules(category.escapes)}}}}},
                    {"automationDetails", {{"id", category.id}}},
                    {"originalUriBaseIds", {{kSourceRootId, {{"uri", jsonText(rootUri)}}}}},
                    {"invocations", Json::array({{{"executionSuccessful", failures.empty()},
                                                  {"toolExecutionNotifications", notifications}}})},
                    {"results", std::move(results)}});
  }
  const Json out = {{"$schema", "https://json.schemastore.org/sarif-2.1.0.json"},
                    {"version", "2.1.0"},
                    {"runs", std::move(runs)}};
  return text::jsonLine(out) + "\n";
}

// Code Climate's issue format, as GitLab's code quality report reads it:
// paths relative to the repository's top, one issue per fingerprint.
std::string codeClimateReport(const std::vector<CheckedFile>& files, const fs::path& sourceRoot) {
  const std::map<const Finding*, std::string> prints = fingerprints(files, sourceRoot);
  Json out = Json::array();
  eachFinding(files, [&](const Finding& finding) {
    const int32_t begin = finding.line();
    const int32_t end = finding.hidden ? begin : std::max(begin, finding.place.endLine);
    out.push_back({{"type", "issue"},
                   {"check_name", ruleId(finding.rule)},
                   {"description", jsonText(finding.signedMessage())},
                   {"categories", Json::array({finding.hidden ? "Security" : "Complexity"})},
                   {"severity", finding.hidden ? "critical" : "minor"},
                   {"fingerprint", prints.at(&finding)},
                   {"location",
                    {{"path", jsonText(uploadedPath(finding.place.path, sourceRoot))},
                     {"lines", {{"begin", begin}, {"end", end}}}}}});
  });
  return text::jsonLine(out) + "\n";
}

std::string summaryLine(const std::vector<CheckedFile>& files, size_t failed) {
  size_t methods = 0, withoutBody = 0, over = 0, hidden = 0;
  for (const CheckedFile& file : files) {
    for (const CheckedMethod& method : file.methods) {
      ++methods;
      if (!method.measures) ++withoutBody;
      if (std::any_of(method.found.begin(), method.found.end(), [](const Finding& f) { return !f.isEscape(); })) ++over;
      hidden += std::count_if(method.found.begin(), method.found.end(), [](const Finding& f) { return f.isEscape(); });
    }
    hidden += file.outside.size();
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

}  // namespace findings
