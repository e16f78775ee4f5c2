#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <variant>
#include <thread>

#include "cli/commands.h"
#include "cli/progress_line.h"
#include "cli/worker_pool.h"
#include "files/file_system.h"
#include "git/changed_lines.h"
#include "site/file_drawing.h"
#include "site/file_record.h"
#include "site/index_page.h"
#include "site/output_links.h"
#include "site/site_run.h"
#include "text/text_output.h"

namespace cli {

using site::FileRecord;
using site::MethodRecord;
using text::counted;
using text::located;

namespace {

namespace fs = std::filesystem;

using site::SourceFile;

std::atomic<bool> interrupted{false};
std::atomic<int> stoppingSignal{0};

extern "C" void onInterrupt(int signal) {
  stoppingSignal.store(signal);
  interrupted.store(true);
}

// What each file is asked for.
site::DrawingRequest drawingRequest(const BatchRequest& request) {
  site::DrawingRequest drawing;
  drawing.languageLevel = request.languageLevel;
  drawing.shard = request.shard;
  drawing.shards = request.shards;
  drawing.force = request.force;
  drawing.sequence = request.sequence;
  drawing.formats = request.formats;
  drawing.fold = foldFor(request.fold);
  drawing.editor = request.editor;
  drawing.title = request.settings.siteTitle.value;
  if (!request.settings.exclude.value.empty())
    drawing.leavesOut = [settings = request.settings](const std::filesystem::path& source) {
      return settings.excludes(source);
    };
  return drawing;
}

void reportKept(const SourceFile& file, ProgressLine& progress) {
  const FileRecord& record = *file.record;
  if (record.status != FileRecord::Status::Parsed) {
    progress.fileFailed();
    progress.message(located(file.source.string(), record.problemLine, record.problem));
  }
  for (const MethodRecord& method : record.methods) {
    progress.methodDone(site::methodFailed(method));
    if (method.drawing.empty() && method.problem != site::kWithoutBody)
      progress.message(located(file.source.string(), method.line, method.problem));
    else if (!method.failedExports.empty())
      progress.message(located(file.source.string(), method.line, method.exportProblem));
  }
}

}  // namespace

// Whether the source folder is one and the output folder can be made and
// written, through no symbolic link; each reason it cannot is said.
bool foldersUsable(files::FileSystem& disk, const BatchRequest& request, const fs::path& sourceDir,
                   const fs::path& outputDir) {
  if (!disk.isFolder(sourceDir)) {
    std::fprintf(stderr, "%s: %s\n", request.sourceDir.c_str(),
                 disk.exists(sourceDir) ? "is not a folder" : "no such folder");
    return false;
  }
  const errors::Status made = disk.makeFolders(outputDir);
  const int error = made ? 0 : made.problem().systemError;
  if (!disk.isFolder(outputDir)) {
    std::fprintf(stderr, "%s: cannot make the output folder%s\n", request.outputDir.c_str(),
                 error ? (": " + std::generic_category().message(error)).c_str() : "");
    return false;
  }
  // A folder we cannot write in is found out before any work is done.
  if (!disk.canWriteIn(outputDir)) {
    std::fprintf(stderr, "%s: the output folder cannot be written\n", request.outputDir.c_str());
    return false;
  }
  // Nothing is written through a symbolic link where the site goes (a
  // site restored from a cache holding `files/A.java -> elsewhere`).
  if (const std::vector<fs::path> links = site::linksWhereTheSiteIsWritten(disk, outputDir);
      !links.empty()) {
    for (const fs::path& link : links)
      std::fprintf(stderr, "%s\n",
                   located(link.string(), 0,
                           "is a symbolic link, which batch would write through; remove it or give another output folder")
                       .c_str());
    return false;
  }
  return true;
}

// Draws the files the plan leaves to draw in worker processes, each
// file's events told across its worker's pipe; a file's record read back
// (or made) once its work ends.
errors::Result<PoolEnd> drawInWorkers(files::FileSystem& disk, const site::DrawingRequest& drawing,
                                      const git::ChangedLines* changed, site::RunPlan& plan, unsigned workers,
                                      ProgressLine& progress) {
  std::vector<SourceFile>& files = plan.files;
  const std::vector<size_t>& toDraw = plan.toDraw;
  WorkerPoolCallbacks callbacks;
  callbacks.work = [&](size_t job, const JobReport& report) {
    const SourceFile& file = files[toDraw[job]];
    // Told across the worker's pipe a line each; a method's end is only
    // progress, and may wait a moment for others.
    const site::FileEvents events = [&](const site::FileEvent& event) {
      if (std::holds_alternative<site::MethodDone>(event)) return report.soon(site::eventLine(event));
      report.now(site::eventLine(event));
    };
    site::drawFile(disk, file, drawing, changed && !file.drawWhole ? changed : nullptr, events,
                   workerStopRequested);
  };
  // Files the machine cut short, by job: why (they get no record).
  std::vector<std::optional<std::string>> cutShort(toDraw.size());
  callbacks.onLine = [&](size_t job, std::string_view line) {
    const std::optional<site::FileEvent> event = site::eventFromLine(line);
    if (!event) return;
    if (const auto* done = std::get_if<site::MethodDone>(&*event)) {
      progress.methodDone(done->failed);
    } else if (const auto* said = std::get_if<site::Said>(&*event)) {
      progress.message(said->message);
    } else if (const auto* cut = std::get_if<site::FileCutShort>(&*event)) {
      cutShort[job] = cut->why;
      progress.fileFailed();
    } else {
      progress.fileFailed();
    }
    progress.draw();
  };
  callbacks.onDone = [&](size_t job, const std::string& lost) {
    SourceFile& file = files[toDraw[job]];
    progress.fileDone(file.size);
    // A worker killed because the run was stopped leaves its file for
    // the next run, unrecorded, as one that stopped in time does.
    if (!lost.empty() && interrupted.load()) return;
    if (!lost.empty()) {
      progress.fileFailed();
      progress.message(located(file.source.string(), 0, "not drawn: " + lost));
    }
    site::settleFile(disk, file, drawing, lost, cutShort[job]);
    progress.draw();
  };
  // A worker grows with every file it lays out (the layout library keeps
  // some of what it takes), so it hands over to a fresh one now and then.
  WorkerLimits limits;
  limits.jobsPerWorker = 200;
  limits.peakResidentBytes = size_t{128} << 20;
  return runWorkerPool(toDraw.size(), workers, callbacks, interrupted, limits);
}

CommandResult runBatch(const BatchRequest& request) {
  files::FileSystem& disk = files::realFileSystem();
  const fs::path sourceDir = fs::path(request.sourceDir);
  const fs::path outputDir = fs::path(request.outputDir);
  if (!foldersUsable(disk, request, sourceDir, outputDir)) return reported(errors::Problem::Kind::Usage);

  const auto started = std::chrono::steady_clock::now();
  std::optional<git::ChangedLines> changed;
  if (!request.changedSince.empty()) {
    errors::Result<git::ChangedLines> since = git::ChangedLines::since(request.changedSince, {request.sourceDir});
    if (!since) {
      std::fprintf(stderr, "flowchart: %s\n", since.problem().message.c_str());
      return std::move(since).problem();
    }
    changed = std::move(*since);
  }
  const site::DrawingRequest drawing = drawingRequest(request);
  site::RunPlan plan = site::planRun(disk, sourceDir, outputDir, drawing, changed ? &*changed : nullptr);
  std::vector<SourceFile>& files = plan.files;
  const std::vector<size_t>& toDraw = plan.toDraw;

  const bool showProgress = !request.quiet && ::isatty(STDERR_FILENO);
  ProgressLine progress(showProgress, toDraw.size(), plan.bytesToDraw);
  for (const std::string& unreadable : plan.treeProblems.unreadable) {
    progress.fileFailed();
    progress.message(unreadable);
  }
  for (const std::string& skipped : plan.treeProblems.skipped) progress.message(skipped);
  for (const std::string& damaged : plan.damagedRecords) progress.message(damaged);
  for (const SourceFile& file : files)
    if (file.record) reportKept(file, progress);
  progress.draw(true);

  // Ctrl-C and SIGTERM (kill, timeout) stop the run within seconds.
  struct sigaction onStop {}, previousInt{}, previousTerm{};
  onStop.sa_handler = onInterrupt;
  ::sigaction(SIGINT, &onStop, &previousInt);
  ::sigaction(SIGTERM, &onStop, &previousTerm);
  const unsigned workers = request.jobs > 0 ? request.jobs : std::max(1u, std::thread::hardware_concurrency());

  const errors::Result<PoolEnd> result =
      drawInWorkers(disk, drawing, changed ? &*changed : nullptr, plan, workers, progress);
  ::sigaction(SIGINT, &previousInt, nullptr);
  ::sigaction(SIGTERM, &previousTerm, nullptr);
  progress.finish();
  if (!result) {
    std::fprintf(stderr, "flowchart: %s\n", result.problem().message.c_str());
    return reported(errors::Problem::Kind::Failed);
  }
  // A stop that came with the last jobs under way cut them short too.
  if (*result == PoolEnd::Interrupted || interrupted.load()) {
    std::fprintf(stderr, "flowchart: interrupted; run again to finish (finished files are kept)\n");
    return Finished{false, stoppingSignal.load() == SIGTERM ? SIGTERM : SIGINT};
  }

  const fs::path indexPath = outputDir / "index.html";
  const errors::Result<site::RunIndex> index = site::writeRunIndex(disk, sourceDir, outputDir, drawing, files);
  if (!index) {
    std::fprintf(stderr, "%s\n", index.problem().message.c_str());
    return index.problem();
  }
  if (!request.quiet) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const size_t kept = files.size() - toDraw.size();
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "%.1f", seconds);
    std::fprintf(stderr, "drew %s of %s in %s s%s; %zu failed; index: %s\n", counted(index->methods, "method").c_str(),
                 counted(index->files, "file").c_str(), elapsed,
                 kept > 0 ? (" (" + counted(kept, "file") + " up to date, kept)").c_str() : "",
                 progress.failures(), indexPath.string().c_str());
  }
  if (progress.failures() > 0) return reported(errors::Problem::Kind::Failed);
  return Finished{};
}

}  // namespace cli
