// flowchart diff: how a change alters the control flow of each method,
// for code review, as JSON, a Markdown comment, an HTML site or a summary.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <numeric>
#include <thread>

#include "cli/commands.h"
#include "diff/diff_sources.h"
#include "cli/worker_pool.h"
#include "diff/gate.h"
#include "diff/reports.h"
#include "files/atomic_file.h"
#include "formats/output_formats.h"
#include "git/git_run.h"
#include "site/write_failure.h"
#include "text/json_text.h"
#include "text/text_output.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

enum class Form { Summary, Json, Markdown, Site };

Form formOf(const std::string& output) {
  if (output.empty()) return Form::Summary;
  const formats::Format* form = formats::formatOf(output, formats::kDiffReport);
  if (form && form->writer == formats::Writer::DiffJson) return Form::Json;
  if (form && form->writer == formats::Writer::DiffMarkdown) return Form::Markdown;
  return Form::Site;
}

// The gate: each finding on the methods of HEAD that changed or are new
// said on standard error; true when there was any.
bool gateHolds(const DiffRequest& request, const diff::Diff& result) {
  const std::vector<findings::Finding> found = diff::gateFindings(result, request.thresholds);
  for (const findings::Finding& finding : found) std::fprintf(stderr, "%s\n", finding.reportLine().c_str());
  return !found.empty();
}

CommandResult written(const std::string& output, errors::Status saved) {
  if (saved) return Finished{};
  const std::string why = site::whyNotWritten(output, saved.problem().systemError);
  std::fprintf(stderr, "%s: cannot write the report%s\n", text::quotedName(output).c_str(),
               why.empty() ? "" : (": " + why).c_str());
  return reported(saved.problem().kind == errors::Problem::Kind::Resource ? errors::Problem::Kind::Resource
                                                                            : errors::Problem::Kind::Failed);
}

// The site: its pages drawn by as many worker processes as batch uses
// (the layout library is not thread-safe), then its index.  The first
// page that failed says why, as one write would.
errors::Status writeSite(const diff::Diff& result, const std::string& folder) {
  if (errors::Status started = diff::startDiffSite(folder); !started) return started;
  std::optional<errors::Problem> first;
  const auto fail = [&](errors::Problem::Kind kind, int systemError, std::string message) {
    if (first) return;
    first = errors::Problem(kind, std::move(message));
    first->systemError = systemError;
  };
  // The largest drawings first, so that no worker is left with a large one at the end.
  std::vector<size_t> order(result.methods.size());
  std::iota(order.begin(), order.end(), size_t{0});
  const auto size = [&](size_t k) { return result.methods[k].nodes.size() + result.methods[k].edges.size(); };
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return size(a) > size(b); });
  WorkerPoolCallbacks callbacks;
  callbacks.work = [&](size_t job, const JobReport& report) {
    const errors::Status saved = diff::writeMethodPage(result, order[job], folder);
    if (!saved)
      report.now(std::to_string(static_cast<int>(saved.problem().kind)) + "\t" +
             std::to_string(saved.problem().systemError) + "\t" + saved.problem().message);
  };
  callbacks.onLine = [&](size_t, std::string_view line) {
    const std::vector<std::string_view> parts = text::splitText(line, '\t');
    if (parts.size() < 3) return;
    fail(static_cast<errors::Problem::Kind>(std::stoi(std::string(parts[0]))), std::stoi(std::string(parts[1])),
         std::string(line.substr(parts[0].size() + parts[1].size() + 2)));
  };
  callbacks.onDone = [&](size_t job, const std::string& lost) {
    if (!lost.empty())
      fail(errors::Problem::Kind::Failed, 0,
           "the page of method " + std::to_string(order[job] + 1) + " was lost: " + lost);
  };
  static const std::atomic<bool> kNeverStopped{false};
  WorkerLimits limits;
  limits.jobsPerWorker = 200;
  limits.peakResidentBytes = size_t{128} << 20;
  const unsigned workers = std::max(1u, std::thread::hardware_concurrency());
  const errors::Result<PoolEnd> ran = runWorkerPool(result.methods.size(), workers, callbacks, kNeverStopped, limits);
  if (!ran) return ran.problem();
  if (first) return *first;
  return diff::finishDiffSite(result, folder);
}

// Holds a value to the end of the process, never freeing it.  What diff
// read and compared is let go with the process: once the site's workers
// are forked, every page that freeing touches takes a fault of its own,
// and freeing it all took longer than writing the site's index.
template <typename T>
T& keptToTheEnd(T value) {
  static auto* kept = new std::deque<T>();
  return kept->emplace_back(std::move(value));
}

// The settings' excluded paths left out of both sides of a change between
// revisions: a repository's file is where the working tree has it.
void leaveOutExcluded(diff::DiffSides& sides, const config::Settings& settings) {
  if (settings.exclude.value.empty()) return;
  const std::optional<std::string> top = git::topFolder(".");
  if (!top) return;
  const auto excluded = [&](const std::string& file) { return settings.excludes(fs::path(*top) / file); };
  for (diff::Side* side : {&sides.base, &sides.head})
    std::erase_if(side->methods, [&](const diff::MethodVersion& method) { return excluded(method.file); });
  std::erase_if(sides.failures, [&](const diff::DiffFailure& failure) { return excluded(failure.path); });
}

}  // namespace

CommandResult runDiff(const DiffRequest& request) {
  const Form form = formOf(request.output);
  if (!request.link.empty() && form != Form::Markdown) {
    std::fprintf(stderr, "flowchart: diff: --link is for the Markdown report (-o OUT.md)\n");
    return reported(errors::Problem::Kind::Usage);
  }
  diff::DiffReading reading;
  reading.languageLevel = request.languageLevel;
  reading.messages = form == Form::Site;
  // Two files or two folders are compared as they are; else the names
  // are revisions, and a second name that is no revision is a path.
  errors::Result<diff::DiffSides>& sides =
      keptToTheEnd<errors::Result<diff::DiffSides>>(errors::Problem(errors::Problem::Kind::Usage, ""));
  sides.ignore();  // a place for the sides read below
  const std::vector<std::string>& names = request.names;
  std::error_code ec;
  const auto bothAre = [&](auto test) { return names.size() == 2 && test(names[0]) && test(names[1]); };
  const bool pathsCompared =
      !request.pathsMarked && (bothAre([&](const std::string& name) { return fs::is_directory(name, ec); }) ||
                               bothAre([&](const std::string& name) { return fs::is_regular_file(name, ec); }));
  if (pathsCompared) {
    sides = diff::readPaths(names[0], names[1], reading);
  } else {
    std::optional<std::string> head;
    if (names.size() >= 2) head = names[1];
    std::vector<std::string> paths(names.begin() + std::min<size_t>(names.size(), 2), names.end());
    paths.insert(paths.end(), request.paths.begin(), request.paths.end());
    sides = diff::readRevisions(names[0], head, paths, reading, !request.pathsMarked);
    if (sides) leaveOutExcluded(*sides, request.settings);
  }
  if (!sides) {
    std::fprintf(stderr, "flowchart: %s\n", sides.problem().message.c_str());
    return std::move(sides).problem();
  }
  for (const diff::DiffFailure& failure : sides->failures)
    std::fprintf(stderr, "%s\n",
                 text::located(failure.path, failure.line, failure.message + " (in " + text::quotedName(failure.side) + ")")
                     .c_str());
  diff::Diff& result = keptToTheEnd(diff::compare(sides->base, sides->head, sides->renamedFiles));
  for (const diff::DiffFailure& failure : sides->failures)
    result.failures.push_back({failure.side, text::validUtf8(failure.path), failure.line, failure.message});

  CommandResult outcome = Finished{};
  switch (form) {
    case Form::Summary: std::fputs(diff::diffSummary(result).c_str(), stdout); break;
    case Form::Json: outcome = written(request.output, files::writeAtomically(request.output, diff::diffJson(result))); break;
    case Form::Markdown:
      outcome = written(request.output,
                        files::writeAtomically(request.output, diff::diffMarkdown(result, request.link)));
      break;
    case Form::Site: outcome = written(request.output, writeSite(result, request.output)); break;
  }
  if (!outcome) return outcome;
  if (form != Form::Summary)
    std::fprintf(stderr, "%s: %zu method%s listed, %zu unchanged\n", text::quotedName(request.output).c_str(),
                 result.methods.size(),
                 result.methods.size() == 1 ? "" : "s", result.unchanged);
  const bool held = gateHolds(request, result);
  if (!sides->failures.empty()) return reported(errors::Problem::Kind::Failed);
  return Finished{held, 0};
}

}  // namespace cli
