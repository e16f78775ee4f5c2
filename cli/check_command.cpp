// flowchart check: measures every method of the sources given and reports
// those over a threshold, as text, JSON, SARIF 2.1.0, Code Climate JSON or
// a Markdown summary.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <span>

#include "findings/reports.h"
#include "git/changed_lines.h"
#include "git/git_run.h"
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

using text::located;

namespace {

namespace fs = std::filesystem;

using findings::CheckedFile;
using findings::CheckedMethod;
using findings::Failure;
using findings::Finding;
using findings::Place;

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

// The file's methods (those the change touches, when one is given) with
// their measures over the thresholds and the code hidden in them, and
// the code hidden outside them.
CheckedFile checkedFile(const std::string& path, pipeline::ParsedSource& parsed,
                        const findings::Thresholds& thresholds, const git::ChangedLines* changed) {
  CheckedFile file;
  file.path = path;
  const pipeline::MeasuredSource measured = pipeline::measureSource(parsed);
  const pipeline::FileSummary& summary = parsed.summary();
  for (size_t m = 0; m < summary.methods.size(); ++m) {
    const pipeline::MethodSummary& summaryMethod = summary.methods[m];
    if (changed && !changed->touches(path, summaryMethod.line, summaryMethod.endLine)) continue;
    CheckedMethod method;
    Place& place = method.place;
    place.path = path;
    place.method = utf8Text(summary.displayName(summaryMethod), parsed.charset());
    place.signature = utf8Text(methodLabel(summary, summaryMethod), parsed.charset());
    const metrics::MethodMeasures* found = measured.byMethod[m];
    place.line = found ? found->nameLine : summaryMethod.line;
    place.endLine = summaryMethod.endLine;
    place.measures.nloc = summaryMethod.nloc;
    if (const metrics::MethodMeasures* measures = measured.withBody(m)) {
      method.measures = *measures;
      place.measures.cyclomatic = measures->cyclomatic;
      place.measures.cognitive = measures->cognitive;
      method.found = findings::measuresOver(place, thresholds);
    }
    for (java::HiddenCode& code : parsed.hiddenCodeOf(summaryMethod))
      method.found.push_back(findings::hiddenCode(place, std::move(code)));
    file.methods.push_back(std::move(method));
  }
  for (const pipeline::ParsedSource::LooseHiddenCode& loose : parsed.hiddenCodeOutsideMethods()) {
    if (changed && !changed->touches(path, loose.code->line, loose.code->line)) continue;
    Place holder;
    holder.path = path;
    holder.method = utf8Text(loose.classIndex ? summary.classes[*loose.classIndex].qualifiedName
                                              : fs::path(path).filename().string(),
                             parsed.charset());
    holder.signature = holder.method;
    holder.inMethod = false;
    file.outside.push_back(findings::hiddenCode(holder, *loose.code));
  }
  return file;
}

// The top folder the uploaded reports' paths are relative to: the git
// repository's top when the current folder is in one, else the current
// folder.
fs::path sourceRoot() {
  std::error_code ec;
  const fs::path here = fs::current_path(ec);
  if (const std::optional<std::string> top = git::topFolder(here.string())) return fs::path(*top).lexically_normal();
  return here;
}

}  // namespace

CommandResult runCheck(const CheckRequest& request) {
  std::vector<Failure> failures;
  const errors::Result<std::vector<std::string>> found = sourceFiles(request.sources, failures);
  if (!found) {
    std::fprintf(stderr, "%s\n", found.problem().message.c_str());
    return found.problem();
  }
  // The settings' excluded paths are left out, named or found alike (the
  // pre-commit hook names the staged files).
  std::vector<std::string> paths;
  for (const std::string& path : *found)
    if (!request.settings.excludes(path)) paths.push_back(path);
  if (!request.output.empty() && isOneOf(request.output, request.sources, *found)) {
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
  const findings::Thresholds& thresholds = request.thresholds;
  std::vector<CheckedFile> files;
  size_t findingCount = 0;
  for (const std::string& path : paths) {
    if (changed && !changed->touchesFile(path)) continue;
    errors::Result<pipeline::ParsedSource> parsed = pipeline::ParsedSource::parse(path, request.languageLevel);
    if (!parsed) {
      const errors::Problem& problem = parsed.problem();
      std::fprintf(stderr, "%s\n", located(path, problem.line, problem.message).c_str());
      failures.push_back({path, problem.line, problem.message});
      continue;
    }
    files.push_back(checkedFile(path, *parsed, thresholds, changed ? &*changed : nullptr));
    findingCount += files.back().findings();
  }

  std::string report;
  switch (request.format) {
    case CheckRequest::Format::Text: report = findings::textReport(files, thresholds.any()); break;
    case CheckRequest::Format::Json: report = findings::jsonReport(thresholds, files, failures); break;
    case CheckRequest::Format::Sarif: report = findings::sarifReport(files, failures, sourceRoot()); break;
    case CheckRequest::Format::CodeClimate: report = findings::codeClimateReport(files, sourceRoot()); break;
    case CheckRequest::Format::Markdown: report = findings::markdownReport(thresholds, files, failures); break;
  }
  if (request.output.empty()) {
    std::fputs(report.c_str(), stdout);
  } else if (errors::Status saved = files::writeAtomically(request.output, report); !saved) {
    const std::string why = site::whyNotWritten(request.output, saved.problem().systemError);
    std::fprintf(stderr, "%s: cannot write the report%s\n", request.output.c_str(),
                 why.empty() ? "" : (": " + why).c_str());
    return reported(errors::Problem::Kind::Failed);
  }
  std::fputs(findings::summaryLine(files, failures.size()).c_str(), stderr);
  if (!failures.empty()) return reported(errors::Problem::Kind::Failed);
  return Finished{findingCount > 0, 0};
}

}  // namespace cli
