#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <thread>

#include "flowdraw/legend.h"
#include "git/changed_lines.h"
#include "cli/commands.h"
#include "site/file_record.h"
#include "site/index_page.h"
#include "cli/method_choice.h"
#include "pipeline/method_measures.h"
#include "pipeline/method_signature.h"
#include "site/output_links.h"
#include "site/output_names.h"
#include "cli/progress_line.h"
#include "site/site_layout.h"
#include "site/site_pages.h"
#include "site/write_failure.h"
#include "text/text_output.h"
#include "cli/worker_pool.h"
#include "files/atomic_file.h"
#include "site/java_files.h"
#include "files/file_text.h"
#include "pipeline/method_flowchart.h"
#include "pipeline/method_sequence.h"
#include "pipeline/method_flow.h"
#include "mermaid/flowchart_text.h"
#include "mermaid/markdown.h"
#include "plantuml/activity_text.h"
#include "raster/raster.h"
#include "render/host/drawing_svg.h"
#include "pipeline/parsed_source.h"
#include "render/host/save.h"

namespace cli {

using site::kFilesFolder;

using site::ClassRecord;
using site::FileRecord;
using site::IndexedFile;
using site::MethodRecord;
using site::NamedMethod;
using site::SiteInfo;
using site::fileOutputFolder;
using site::filePage;
using site::inShard;
using site::indexPage;
using site::isDrawingName;
using site::kFilePageName;
using site::kLegendName;
using site::kSiteFolder;
using site::methodFrame;
using site::methodPageStems;
using site::parseRecord;
using site::recordPath;
using site::recordText;
using site::rootUrlFrom;
using site::siteInfoPath;
using site::siteInfoText;
using site::sourceAsUtf8;
using site::saveFailure;
using site::writeSite;
using text::counted;
using text::located;

namespace {

// A site's sequence pages fold onto pages of their own past three screens.
pipeline::SequenceOptions pagedSequence() {
  pipeline::SequenceOptions options;
  options.screens = 3;
  return options;
}

namespace fs = std::filesystem;

// What the record says of a method without a body.
constexpr const char* kNoBody = site::kWithoutBody;

// One source file of the tree and where its drawings go.
struct SourceFile {
  fs::path source;
  std::string relative;  // below the source folder, with '/'
  fs::path outputFolder;  // OUT_DIR/files/<relative>/: its page and its drawings
  fs::path recordFile;    // OUT_DIR/site/records/<relative>/record.json
  uint64_t size = 0;
  bool upToDate = false;
  bool drawWhole = false;  // in a run of the changed methods, drawn whole all the same
  std::optional<FileRecord> record;  // the kept record, or the new one
};

std::atomic<bool> interrupted{false};
std::atomic<int> stoppingSignal{0};

extern "C" void onInterrupt(int signal) {
  stoppingSignal.store(signal);
  interrupted.store(true);
}

std::string readWhole(const fs::path& path) { return files::readFileText(path.string()).value_or(std::string()); }

// What the walk of the source tree met besides sources: folders and
// files it cannot read (failures of the run) and entries it skips, such
// as FIFOs, devices and dangling symbolic links (said, not failures).
struct TreeProblems {
  std::vector<std::string> unreadable;
  std::vector<std::string> skipped;
};

// Every .java file below the folder, by path; the output folder is left
// out when it lies inside.
std::vector<SourceFile> findSources(const fs::path& root, const fs::path& output, TreeProblems& problems) {
  const site::JavaFiles found = site::javaFilesBelow(files::realFileSystem(), root, output);
  for (const site::UnreadableFolder& folder : found.unreadable)
    problems.unreadable.push_back(located(folder.folder.string(), 0,
                                          (folder.partly ? "cannot be read completely: " : "cannot be read: ") +
                                              std::generic_category().message(folder.systemError)));
  for (const site::SkippedEntry& entry : found.skipped)
    problems.skipped.push_back(located(entry.path.string(), 0, "skipped: " + entry.why));
  std::vector<SourceFile> files;
  for (const site::JavaFile& source : found.files) {
    SourceFile file;
    file.source = source.path;
    file.relative = source.path.lexically_relative(root).generic_string();
    file.outputFolder = fileOutputFolder(output, file.relative);
    file.recordFile = recordPath(output, file.relative);
    file.size = source.size;
    files.push_back(std::move(file));
  }
  std::sort(files.begin(), files.end(),
            [](const SourceFile& a, const SourceFile& b) { return a.relative < b.relative; });
  std::sort(problems.unreadable.begin(), problems.unreadable.end());
  std::sort(problems.skipped.begin(), problems.skipped.end());
  return files;
}

// The size and modification time of a source as it is now; zeros when
// it cannot be read, which no record matches.
void stampSource(const fs::path& source, FileRecord& record) {
  std::error_code ec;
  record.sourceSize = 0;
  record.sourceTime = 0;
  const uintmax_t size = fs::file_size(source, ec);
  if (ec) return;
  const fs::file_time_type time = fs::last_write_time(source, ec);
  if (ec) return;
  record.sourceSize = size;
  record.sourceTime = time.time_since_epoch().count();
}

// The record an earlier run left of the file, when it is whole; a record
// cut short or damaged is said in damaged (the file is then drawn again),
// one of an older version is drawn again without a word.
std::optional<FileRecord> earlierRecord(const SourceFile& file, std::string* damaged) {
  std::error_code ec;
  if (!fs::exists(file.recordFile, ec)) return std::nullopt;
  errors::Result<FileRecord> record = parseRecord(readWhole(file.recordFile));
  if (record) return std::move(*record);
  const std::string& why = record.problem().message;
  if (damaged && why.rfind("written by", 0) != 0)
    *damaged = located(file.recordFile.string(), 0, why + "; " + file.relative + " is drawn again");
  return std::nullopt;
}

// Whether the drawings a record names are all there, with the file's page.
bool drawingsThere(const SourceFile& file, const FileRecord& record) {
  std::error_code ec;
  if (!fs::exists(file.outputFolder / kFilePageName, ec)) return false;
  for (const MethodRecord& method : record.methods) {
    if (!method.drawing.empty() && !fs::exists(file.outputFolder / method.drawing, ec)) return false;
    if (!method.sequence.empty() && !fs::exists(file.outputFolder / method.sequence, ec)) return false;
    for (const std::string& name : method.exports)
      if (!fs::exists(file.outputFolder / name, ec)) return false;
  }
  return true;
}

// Whether a method's record has every form --format asks for, made or
// recorded as one that cannot be (a PNG too tall), and no other.
bool hasFormats(const MethodRecord& method, const BatchRequest& request) {
  if (method.drawing.empty()) return true;
  const std::string stem = method.drawing.substr(0, method.drawing.size() - 5);
  const auto recorded = [](const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  for (const std::string& format : request.formats)
    if (!recorded(method.exports, stem + "." + format) && !recorded(method.failedExports, stem + "." + format))
      return false;
  return method.exports.size() + method.failedExports.size() == request.formats.size();
}

// A method fails when its drawing, its sequence diagram (when asked for)
// or one of its other forms could not be made.
bool methodFailed(const MethodRecord& method) {
  return (method.drawing.empty() && method.problem != kNoBody) || !method.failedExports.empty();
}

// A record made from the source as it is now (its size and modification
// time as they were before it was read), whose drawings are all there
// (with the sequence diagrams when they are asked for), is kept.
std::optional<FileRecord> keptRecord(const SourceFile& file, const BatchRequest& request, std::string& damaged) {
  std::optional<FileRecord> record = earlierRecord(file, &damaged);
  FileRecord now;
  stampSource(file.source, now);
  if (!record || now.sourceTime == 0 || record->sourceSize != now.sourceSize ||
      record->sourceTime != now.sourceTime)
    return std::nullopt;
  // A record of another language level may tell another story; one of
  // only the changed methods is redone.
  // A source that could not be read is tried again: being let read
  // changes no stamp.
  if (!record || record->partial || record->languageLevel != request.languageLevel ||
      record->status == FileRecord::Status::Unreadable)
    return std::nullopt;
  if (!drawingsThere(file, *record)) return std::nullopt;
  for (const MethodRecord& method : record->methods)
    if ((request.sequence && method.sequence.empty()) || !hasFormats(method, request)) return std::nullopt;
  return record;
}

// Reports are tab-separated: "m" and 1 or 0 for a method drawn or not,
// "p" and a message for the user.
void reportMethod(const std::function<void(std::string_view)>& report, bool drawn) {
  report(drawn ? "m\t1" : "m\t0");
}

void reportProblem(const std::function<void(std::string_view)>& report, const std::string& message) {
  report("p\t" + message);
}

FileRecord::Status statusFor(pipeline::Problem::Kind kind) {
  switch (kind) {
    case pipeline::Problem::Kind::Syntax: return FileRecord::Status::Syntax;
    case pipeline::Problem::Kind::Unreadable: return FileRecord::Status::Unreadable;
    default: return FileRecord::Status::Failed;
  }
}

// Removes the drawings of an earlier run that the new record no longer has.
void removeStaleDrawings(const SourceFile& file, const FileRecord& fresh) {
  std::error_code ec;
  const errors::Result<FileRecord> old = parseRecord(readWhole(file.recordFile));
  if (!old) return;
  std::set<std::string> keep;
  for (const MethodRecord& method : fresh.methods) {
    keep.insert(method.drawing);
    keep.insert(method.sequence);
    keep.insert(method.exports.begin(), method.exports.end());
  }
  for (const MethodRecord& method : old->methods) {
    for (const std::string& drawing : {method.drawing, method.sequence})
      if (isDrawingName(drawing) && !keep.count(drawing)) fs::remove(file.outputFolder / drawing, ec);
    for (const std::string& name : method.exports)
      if (site::isExportName(name) && !keep.count(name)) fs::remove(file.outputFolder / name, ec);
  }
}

// A file whose work the machine cut short (a full disk, a work folder
// that cannot be written, no memory): reported as such and left without a
// new record, so that the next run draws it again, while the drawings and
// record of an earlier run stay as they were.
void leaveForNextRun(const SourceFile& file, const pipeline::Problem& problem,
                     const std::function<void(std::string_view)>& report) {
  reportProblem(report, located(file.source.string(), problem.line, problem.message));
  report("r\t" + problem.message);
  report("x");
}

// A method's other forms beside its page, as --format asks: Markdown and
// Mermaid, PlantUML, PNG and PDF.  The names written go into the record,
// as do those that could not be made, with the first one's problem (said
// with its name); the first problem is returned.
pipeline::Problem writeExports(pipeline::ParsedSource& parsed, const pipeline::MethodSummary& method,
                               const pipeline::MethodFlowchart& chart, const std::string& stem,
                               const SourceFile& file, const BatchRequest& request, MethodRecord& entry) {
  pipeline::Problem first;
  const bool latin1 = parsed.charset() == text::Charset::Latin1;
  std::optional<cfg::MethodFlow> flow;
  std::string svg;
  for (const std::string& format : request.formats) {
    const std::string name = stem + "." + format;
    errors::Result<std::string> text = std::string();
    if (format == "png" || format == "pdf") {
      if (svg.empty()) svg = host::drawingSvg(*chart.drawing);
      text = format == "png" ? raster::pngFromSvg(svg) : raster::pdfFromSvg(svg);
    } else {
      if (!flow) {
        errors::Result<cfg::MethodFlow> made = pipeline::methodFlow(parsed, method);
        if (!made) {
          if (!first) first = made.problem();
          continue;
        }
        flow = std::move(*made);
      }
      if (format == "md") {
        const mermaid::MarkdownMethod section{entry.name, "", &*flow, latin1,
                                              pipeline::hiddenCodeNote(parsed.hiddenCodeOf(method))};
        text = mermaid::methodMarkdown(section, "m1");
      } else if (format == "mmd") {
        text = mermaid::flowchartText(*flow, nullptr, latin1);
      } else {
        text = plantuml::activityText(*flow, latin1);
      }
    }
    const errors::Status saved = text ? files::writeAtomically((file.outputFolder / name).string(), *text)
                                      : errors::Status(text.problem());
    if (saved) {
      entry.exports.push_back(name);
      continue;
    }
    pipeline::Problem failed = text ? saveFailure((file.outputFolder / name).string(), saved.problem()) : saved.problem();
    if (!text) failed.message = name + ": " + failed.message;
    entry.failedExports.push_back(name);
    if (entry.exportProblem.empty()) entry.exportProblem = failed.message;
    if (!first) first = failed;
  }
  return first;
}

// The work of one file, in a worker process.
void drawFile(const SourceFile& file, const BatchRequest& request, const git::ChangedLines* changed,
              const std::function<void(std::string_view)>& report) {
  FileRecord record;
  std::error_code ec;
  fs::create_directories(file.outputFolder, ec);
  if (!fs::is_directory(file.outputFolder, ec)) {
    pipeline::Problem cannotMake;
    cannotMake.set(pipeline::Problem::Kind::Resource, "cannot make the output folder " + file.outputFolder.string() +
                                                          (ec ? ": " + ec.message() : ""));
    leaveForNextRun(file, cannotMake, report);
    return;
  }
  // What is read is stamped first: a change made while the file is drawn
  // leaves a stamp that no longer matches, and the next run draws it again.
  stampSource(file.source, record);
  errors::Result<pipeline::ParsedSource> parsed =
      pipeline::ParsedSource::parse(file.source.string(), request.languageLevel);
  const pipeline::Problem problem = parsed ? pipeline::Problem() : parsed.problem();
  record.languageLevel = request.languageLevel;
  record.shard = request.shard;
  record.shards = request.shards;
  // Of a file drawn before, a run of the changed methods keeps the
  // drawings of the others where they still stand (same name, same lines,
  // same page name) and draws the rest, so the file stays whole; of a
  // file new to the site it draws the changed methods only.
  std::optional<FileRecord> previous;
  if (changed && !request.force) previous = earlierRecord(file, nullptr);
  if (previous && (previous->languageLevel != request.languageLevel || !drawingsThere(file, *previous)))
    previous.reset();
  record.partial = changed != nullptr && !previous;
  if (!parsed && problem.kind == pipeline::Problem::Kind::Resource) return leaveForNextRun(file, problem, report);
  if (!parsed) {
    record.status = statusFor(problem.kind);
    record.problemLine = problem.line;
    record.problem = problem.message;
    reportProblem(report, located(file.source.string(), problem.line, problem.message));
    report("x");
    const std::string source = record.status == FileRecord::Status::Unreadable ? "" : readWhole(file.source);
    if (!files::writeFileAtomically((file.outputFolder / kFilePageName).string(),
                                  filePage(file.relative, record, sourceAsUtf8(source))))
      reportProblem(report, located((file.outputFolder / kFilePageName).string(), 0, "cannot be written"));
  } else {
    const pipeline::FileSummary& summary = parsed->summary();
    const text::Charset charset = parsed->charset();
    const pipeline::MeasuredSource measured = pipeline::measureSource(*parsed);
    record.nloc = summary.nloc;
    record.halsteadVolume = std::llround(measured.file.halstead.volume());
    for (const pipeline::ClassSummary& cls : summary.classes)
      record.classes.push_back(ClassRecord{utf8Text(cls.qualifiedName, charset), cls.kind(), cls.line,
                                           cls.endLine, cls.nloc});
    // Sequence diagrams follow calls within the file only, at depth 1.
    std::optional<pipeline::SequenceSources> sequenceSources;
    if (request.sequence) sequenceSources.emplace(*parsed, std::string());
    // Every method's page name, whichever are drawn, so that names stay
    // the same from run to run.
    std::vector<NamedMethod> named;
    for (const pipeline::MethodSummary& method : summary.methods)
      named.push_back(NamedMethod{utf8Text(summary.displayName(method), charset),
                                  utf8Text(method.signature, charset), method.line});
    const std::vector<std::string> stems = methodPageStems(named);
    for (size_t m = 0; m < summary.methods.size(); ++m) {
      // Asked to stop: the file is left unrecorded, to be drawn whole by
      // the next run.
      if (workerStopRequested()) return;
      const pipeline::MethodSummary& method = summary.methods[m];
      const bool unchanged = changed && !changed->touches(file.source.string(), method.line, method.endLine);
      if (unchanged && !previous) continue;
      MethodRecord entry;
      entry.classIndex = method.classIndex;
      entry.name = utf8Text(methodLabel(summary, method), charset);
      entry.line = method.line;
      entry.endLine = method.endLine;
      entry.nloc = method.nloc;
      if (const metrics::MethodMeasures* measures = measured.withBody(m)) {
        entry.complexity = measures->cyclomatic;
        entry.cognitive = measures->cognitive;
        entry.halsteadVolume = std::llround(measures->halstead.volume());
      }
      if (unchanged) {
        const std::string name = stems[m] + ".html";
        const auto same = std::find_if(previous->methods.begin(), previous->methods.end(), [&](const MethodRecord& old) {
          return old.name == entry.name && old.line == entry.line && old.endLine == entry.endLine &&
                 (old.drawing == name || (old.drawing.empty() && old.problem == kNoBody)) &&
                 (!request.sequence || !old.sequence.empty() || old.drawing.empty()) && hasFormats(old, request);
        });
        if (same != previous->methods.end()) {
          entry.drawing = same->drawing;
          entry.problem = same->problem;
          entry.sequence = same->sequence;
          entry.exports = same->exports;
          entry.failedExports = same->failedExports;
          entry.exportProblem = same->exportProblem;
          // Kept as it was, failures and all, and said again.
          if (methodFailed(entry)) {
            reportProblem(report, located(file.source.string(), method.line, entry.exportProblem));
            reportMethod(report, false);
          }
          record.methods.push_back(std::move(entry));
          continue;
        }
      }
      errors::Result<pipeline::MethodFlowchart> chart =
          pipeline::drawMethodFlowchart(*parsed, method, foldFor(request.fold));
      pipeline::Problem methodProblem = chart ? pipeline::Problem() : chart.problem();
      if (chart)
        chart->drawing->legendHtml =
            flowdraw::linkedLegendHtml(rootUrlFrom(file.relative) + kSiteFolder + "/" + kLegendName);
      // A box opens the file's page at its lines rather than a panel of
      // its own.
      if (chart && chart->drawing->readerAids) {
        host::ReaderAids& aids = *chart->drawing->readerAids;
        aids.sourceLines.clear();
        aids.sourcePageUrl = kFilePageName;
        if (!request.editor.empty()) {
          std::error_code ec;
          const std::filesystem::path absolute = std::filesystem::absolute(file.source, ec);
          aids.editorUrl = request.editor;
          aids.sourcePath = ec ? file.source.string() : absolute.lexically_normal().string();
        }
      }
      const std::string name = stems[m] + ".html";
      // The other forms first, so that the page links the ones written.
      if (chart && !request.formats.empty()) {
        const pipeline::Problem failed = writeExports(*parsed, method, *chart, stems[m], file, request, entry);
        if (failed.kind == pipeline::Problem::Kind::Resource) return leaveForNextRun(file, failed, report);
        if (failed) reportProblem(report, located(file.source.string(), method.line, failed.message));
      }
      const errors::Status saved =
          chart ? files::writeAtomically((file.outputFolder / name).string(),
                                         host::drawingHtml(*chart->drawing, kUsEnglish,
                                                           methodFrame(file.relative, record, entry, "")))
                : errors::Status(methodProblem);
      if (saved) {
        entry.drawing = name;
      } else if (methodProblem.kind == pipeline::Problem::Kind::NoBody) {
        // Listed in the index as such; nothing to draw is no failure.
        entry.problem = kNoBody;
      } else {
        methodProblem = chart ? saveFailure((file.outputFolder / name).string(), saved.problem()) : methodProblem;
        methodProblem.line = method.line;
        if (methodProblem.kind == pipeline::Problem::Kind::Resource) return leaveForNextRun(file, methodProblem, report);
        entry.problem = methodProblem.message;
        reportProblem(report, located(file.source.string(), method.line, entry.problem));
      }
      bool sequenceDrawn = true;
      if (sequenceSources) {
        errors::Result<pipeline::MethodSequence> sequence = pipeline::drawMethodSequence(*sequenceSources, method, pagedSequence());
        if (sequence && sequence->drawing->readerAids) {
          sequence->drawing->readerAids->sourceLines.clear();
          sequence->drawing->readerAids->sourcePageUrl = kFilePageName;
        }
        const std::string sequenceName = stems[m] + "-sequence.html";
        const errors::Status saved =
            sequence ? files::writeAtomically(
                           (file.outputFolder / sequenceName).string(),
                           host::drawingHtml(*sequence->drawing, kUsEnglish,
                                             methodFrame(file.relative, record, entry, "sequence diagram")))
                     : errors::Status(sequence.problem());
        if (saved) {
          entry.sequence = sequenceName;
        } else {
          sequenceDrawn = false;
          methodProblem = sequence ? saveFailure((file.outputFolder / sequenceName).string(), saved.problem())
                                   : saved.problem();
          methodProblem.line = method.line;
          if (methodProblem.kind == pipeline::Problem::Kind::Resource)
            return leaveForNextRun(file, methodProblem, report);
          reportProblem(report, located(file.source.string(), method.line, "sequence diagram: " + methodProblem.message));
        }
      }
      reportMethod(report, !methodFailed(entry) && sequenceDrawn);
      record.methods.push_back(std::move(entry));
    }
    if (!files::writeFileAtomically((file.outputFolder / kFilePageName).string(),
                                  filePage(file.relative, record, utf8Text(readWhole(file.source), charset))))
      reportProblem(report, located((file.outputFolder / kFilePageName).string(), 0, "cannot be written"));
  }
  removeStaleDrawings(file, record);
  // The record goes last: a run cut short leaves the file to be redone.
  fs::create_directories(file.recordFile.parent_path(), ec);
  if (errors::Status saved = files::writeAtomically(file.recordFile.string(), recordText(record)); !saved) {
    const pipeline::Problem cannotWrite = saveFailure(file.recordFile.string(), saved.problem());
    reportProblem(report, located(file.source.string(), 0, cannotWrite.message));
    report("r\t" + cannotWrite.message);
    report("x");
  }
}

void reportKept(const SourceFile& file, ProgressLine& progress) {
  const FileRecord& record = *file.record;
  if (record.status != FileRecord::Status::Parsed) {
    progress.fileFailed();
    progress.message(located(file.source.string(), record.problemLine, record.problem));
  }
  for (const MethodRecord& method : record.methods) {
    progress.methodDone(methodFailed(method));
    if (method.drawing.empty() && method.problem != kNoBody)
      progress.message(located(file.source.string(), method.line, method.problem));
    else if (!method.failedExports.empty())
      progress.message(located(file.source.string(), method.line, method.exportProblem));
  }
}

}  // namespace

CommandResult runBatch(const BatchRequest& request) {
  std::error_code ec;
  const fs::path sourceDir = fs::path(request.sourceDir);
  if (!fs::is_directory(sourceDir, ec)) {
    std::fprintf(stderr, "%s: %s\n", request.sourceDir.c_str(),
                 fs::exists(sourceDir, ec) ? "is not a folder" : "no such folder");
    return reported(errors::Problem::Kind::Usage);
  }
  const fs::path outputDir = fs::path(request.outputDir);
  fs::create_directories(outputDir, ec);
  if (!fs::is_directory(outputDir, ec)) {
    std::fprintf(stderr, "%s: cannot make the output folder%s\n", request.outputDir.c_str(),
                 ec ? (": " + ec.message()).c_str() : "");
    return reported(errors::Problem::Kind::Usage);
  }
  // A folder we cannot write in is found out before any work is done.
  if (::access(outputDir.c_str(), W_OK | X_OK) != 0) {
    std::fprintf(stderr, "%s: the output folder cannot be written\n", request.outputDir.c_str());
    return reported(errors::Problem::Kind::Usage);
  }
  // Nothing is written through a symbolic link where the site goes (a
  // site restored from a cache holding `files/A.java -> elsewhere`).
  if (const std::vector<fs::path> links = site::linksWhereTheSiteIsWritten(files::realFileSystem(), outputDir);
      !links.empty()) {
    for (const fs::path& link : links)
      std::fprintf(stderr, "%s\n",
                   located(link.string(), 0,
                           "is a symbolic link, which batch would write through; remove it or give another output folder")
                       .c_str());
    return reported(errors::Problem::Kind::Usage);
  }

  const auto started = std::chrono::steady_clock::now();
  TreeProblems treeProblems;
  std::vector<SourceFile> files = findSources(sourceDir, outputDir, treeProblems);
  if (request.shards > 1)
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&](const SourceFile& file) {
                                 return !inShard(file.relative, request.shard, request.shards);
                               }),
                files.end());
  std::optional<git::ChangedLines> changed;
  if (!request.changedSince.empty()) {
    errors::Result<git::ChangedLines> since = git::ChangedLines::since(request.changedSince, {request.sourceDir});
    if (!since) {
      std::fprintf(stderr, "flowchart: %s\n", since.problem().message.c_str());
      return std::move(since).problem();
    }
    changed = std::move(*since);
  }
  // A run of the changed methods keeps what it does not redraw: a file
  // without changes keeps its record and drawings and stays in the index
  // (one whose record is damaged or lacks drawings is drawn whole); a
  // file never drawn is left out.
  std::vector<std::string> damagedRecords;
  std::vector<SourceFile> left;
  for (SourceFile& file : files) {
    if (changed) {
      std::string damaged;
      std::optional<FileRecord> earlier = earlierRecord(file, &damaged);
      if (!damaged.empty()) damagedRecords.push_back(damaged);
      if (earlier && !drawingsThere(file, *earlier)) earlier.reset();
      const bool touched = changed->touchesFile(file.source.string());
      // A file drawn before whose record cannot be built on (damaged, of
      // an older version or level, drawings missing), or any with
      // --force, is drawn whole.
      file.drawWhole = fs::exists(file.recordFile, ec) &&
                       (request.force || !earlier || earlier->languageLevel != request.languageLevel);
      if (!touched) file.record = std::move(earlier);
      if (!touched && !file.record && !file.drawWhole) continue;
    } else if (!request.force) {
      std::string damaged;
      file.record = keptRecord(file, request, damaged);
      if (!damaged.empty()) damagedRecords.push_back(damaged);
    }
    left.push_back(std::move(file));
  }
  files = std::move(left);
  std::vector<size_t> toDraw;
  uint64_t bytesToDraw = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    if (files[i].record) continue;
    toDraw.push_back(i);
    bytesToDraw += files[i].size;
  }

  const bool showProgress = !request.quiet && ::isatty(STDERR_FILENO);
  ProgressLine progress(showProgress, toDraw.size(), bytesToDraw);
  for (const std::string& unreadable : treeProblems.unreadable) {
    progress.fileFailed();
    progress.message(unreadable);
  }
  for (const std::string& skipped : treeProblems.skipped) progress.message(skipped);
  for (const std::string& damaged : damagedRecords) progress.message(damaged);
  for (const SourceFile& file : files)
    if (file.record) reportKept(file, progress);
  progress.draw(true);

  // Ctrl-C and SIGTERM (kill, timeout) stop the run within seconds.
  struct sigaction onStop {}, previousInt{}, previousTerm{};
  onStop.sa_handler = onInterrupt;
  ::sigaction(SIGINT, &onStop, &previousInt);
  ::sigaction(SIGTERM, &onStop, &previousTerm);
  const unsigned workers = request.jobs > 0 ? request.jobs : std::max(1u, std::thread::hardware_concurrency());

  WorkerPoolCallbacks callbacks;
  callbacks.work = [&](size_t job, const std::function<void(std::string_view)>& report) {
    const SourceFile& file = files[toDraw[job]];
    drawFile(file, request, changed && !file.drawWhole ? &*changed : nullptr, report);
  };
  // Files the machine cut short, by job: why (they get no record).
  std::vector<std::string> cutShort(toDraw.size());
  callbacks.onLine = [&](size_t job, std::string_view line) {
    if (line.rfind("m\t", 0) == 0) progress.methodDone(line == "m\t0");
    else if (line == "x") progress.fileFailed();
    else if (line.rfind("r\t", 0) == 0) cutShort[job] = std::string(line.substr(2));
    else if (line.rfind("p\t", 0) == 0) progress.message(std::string(line.substr(2)));
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
      FileRecord failed;
      failed.status = FileRecord::Status::Failed;
      failed.problem = "not drawn: " + lost;
      failed.shard = request.shard;
      failed.shards = request.shards;
      file.record = failed;
      // Kept where the other records are, for the index and for merging.
      fs::create_directories(file.recordFile.parent_path(), ec);
      files::writeFileAtomically(file.recordFile.string(), recordText(failed));
    } else if (!cutShort[job].empty()) {
      // Listed as not drawn in this run's index, with the reason; nothing
      // on disk says so, and the next run draws the file again.
      FileRecord failed;
      failed.status = FileRecord::Status::Failed;
      failed.problem = cutShort[job];
      file.record = failed;
    } else {
      if (errors::Result<FileRecord> record = parseRecord(readWhole(file.recordFile))) file.record = std::move(*record);
    }
    progress.draw();
  };
  // A worker grows with every file it lays out (the layout library keeps
  // some of what it takes), so it hands over to a fresh one now and then.
  WorkerLimits limits;
  limits.jobsPerWorker = 200;
  limits.peakResidentBytes = size_t{128} << 20;
  const errors::Result<PoolEnd> result = runWorkerPool(toDraw.size(), workers, callbacks, interrupted, limits);
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

  std::vector<IndexedFile> indexed;
  size_t drawn = 0;
  for (const SourceFile& file : files) {
    if (!file.record) continue;
    indexed.push_back(IndexedFile{file.relative, std::string(kFilesFolder) + "/" + file.relative + "/", &*file.record,
                                  fs::exists(file.outputFolder / kFilePageName, ec)});
    drawn += file.record->methods.size() - file.record->failedMethods();
  }
  std::string folderName = fs::absolute(sourceDir).lexically_normal().filename().string();
  if (folderName.empty()) folderName = fs::absolute(sourceDir).lexically_normal().parent_path().filename().string();
  SiteInfo info;
  info.title = "Flowcharts of " + folderName;
  info.shards = request.shards;
  info.covered = {request.shard};
  const fs::path indexPath = outputDir / "index.html";
  if (errors::Status written = writeSite(outputDir, info, indexed); !written) {
    std::fprintf(stderr, "%s\n", written.problem().message.c_str());
    return written.problem();
  }
  if (!request.quiet) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const size_t kept = files.size() - toDraw.size();
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "%.1f", seconds);
    std::fprintf(stderr, "drew %s of %s in %s s%s; %zu failed; index: %s\n", counted(drawn, "method").c_str(),
                 counted(indexed.size(), "file").c_str(), elapsed,
                 kept > 0 ? (" (" + counted(kept, "file") + " up to date, kept)").c_str() : "",
                 progress.failures(), indexPath.string().c_str());
  }
  if (progress.failures() > 0) return reported(errors::Problem::Kind::Failed);
  return Finished{};
}

}  // namespace cli
