#include "site/file_drawing.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "flowdraw/legend.h"
#include "formats/output_formats.h"
#include "mermaid/flowchart_text.h"
#include "pipeline/method_flow.h"
#include "pipeline/method_flowchart.h"
#include "pipeline/method_markdown.h"
#include "pipeline/method_measures.h"
#include "pipeline/method_sequence.h"
#include "pipeline/method_signature.h"
#include "pipeline/parsed_source.h"
#include "plantuml/activity_text.h"
#include "raster/raster.h"
#include "drawing/drawing_svg.h"
#include "site/index_page.h"
#include "site/java_files.h"
#include "site/output_names.h"
#include "site/site_layout.h"
#include "site/site_pages.h"
#include "site/write_failure.h"
#include "text/text_output.h"

namespace site {
namespace {

namespace fs = std::filesystem;

using errors::Problem;
using text::located;

// What the record says of a method without a body.
constexpr const char* kNoBody = kWithoutBody;

// A site's sequence pages fold onto pages of their own past three screens.
pipeline::SequenceOptions pagedSequence() {
  pipeline::SequenceOptions options;
  options.screens = 3;
  return options;
}

std::string readWhole(files::FileSystem& disk, const fs::path& path) {
  errors::Result<std::string> text = disk.readFile(path);
  return text ? std::move(*text) : std::string();
}

// The size and modification time of a source as it is now; zeros when
// it cannot be read, which no record matches.
void stampSource(files::FileSystem& disk, const fs::path& source, FileRecord& record) {
  const std::optional<files::FileStamp> stamp = disk.stamp(source);
  record.sourceSize = stamp ? stamp->size : 0;
  record.sourceTime = stamp ? stamp->modified : 0;
}

// Whether a method's record has every form --format asks for, made or
// recorded as one that cannot be (a PNG too tall), and no other.
bool hasFormats(const MethodRecord& method, const DrawingRequest& request) {
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

FileRecord::Status statusFor(Problem::Kind kind) {
  switch (kind) {
    case Problem::Kind::Syntax: return FileRecord::Status::Syntax;
    case Problem::Kind::Unreadable: return FileRecord::Status::Unreadable;
    default: return FileRecord::Status::Failed;
  }
}

// A method's other forms beside its page, as --format asks: Markdown and
// Mermaid, PlantUML from the method's graph (made once, when first
// asked), PNG and PDF from its drawing.
class OtherForms {
 public:
  OtherForms(pipeline::ParsedSource& parsed, const pipeline::MethodSummary& method,
             const pipeline::MethodFlowchart& chart, const metrics::MethodMeasures* measures)
      : parsed_(parsed), method_(method), chart_(chart), measures_(measures) {}

  static bool isPicture(formats::Writer writer) { return writer == formats::Writer::Png || writer == formats::Writer::Pdf; }

  errors::Result<std::string> picture(formats::Writer writer) {
    if (svg_.empty()) svg_ = drawing::drawingSvg(*chart_.drawing);
    return writer == formats::Writer::Png ? raster::pngFromSvg(svg_) : raster::pdfFromSvg(svg_);
  }

  // The graph's problem when it cannot be made.
  errors::Status makeFlow() {
    if (flow_) return {};
    errors::Result<cfg::MethodFlow> made = pipeline::methodFlow(parsed_, method_);
    if (!made) return std::move(made).problem();
    flow_ = std::move(*made);
    return {};
  }

  // After makeFlow succeeded.
  std::string fromFlow(formats::Writer writer) const {
    const bool latin1 = parsed_.charset() == text::Charset::Latin1;
    switch (writer) {
      // The same section as draw -o OUT.md writes.
      case formats::Writer::Markdown:
        return mermaid::methodMarkdown(pipeline::markdownSection(parsed_, method_, measures_, &*flow_), "m1");
      case formats::Writer::Mermaid: return mermaid::flowchartText(*flow_, nullptr, latin1);
      default: return plantuml::activityText(*flow_, latin1);
    }
  }

 private:
  pipeline::ParsedSource& parsed_;
  const pipeline::MethodSummary& method_;
  const pipeline::MethodFlowchart& chart_;
  const metrics::MethodMeasures* measures_;
  std::optional<cfg::MethodFlow> flow_;
  std::string svg_;
};

// The work on one file: its state while it is drawn.
class FileDrawing {
 public:
  FileDrawing(files::FileSystem& disk, const SourceFile& file, const DrawingRequest& request,
              const git::ChangedLines* changed, const FileEvents& report, const std::function<bool()>& stop)
      : disk_(disk), file_(file), request_(request), changed_(changed), report_(report), stop_(stop) {}

  void run();

 private:
  // Why the work stopped short of the record; nothing when it went on.
  using Stop = std::optional<Problem>;

  void say(int32_t line, const std::string& message) { report_(Said{located(file_.source.string(), line, message)}); }
  // A file whose work the machine cut short (a full disk, a work folder
  // that cannot be written, no memory): reported as such and left without
  // a new record, so that the next run draws it again, while the drawings
  // and record of an earlier run stay as they were.
  void leaveForNextRun(const Problem& problem) {
    say(problem.line, problem.message);
    report_(FileCutShort{problem.message});
  }
  void writeUnparsedPage(const Problem& problem);
  Stop drawMethods(pipeline::ParsedSource& parsed);
  Stop drawMethod(pipeline::ParsedSource& parsed, size_t m, const std::string& stem);
  bool keepUnchanged(MethodRecord& entry, const std::string& stem);
  Stop writeFlowchart(pipeline::ParsedSource& parsed, const pipeline::MethodSummary& method,
                      const metrics::MethodMeasures* measures, const std::string& stem, MethodRecord& entry);
  Stop writeSequence(const pipeline::MethodSummary& method, const std::string& stem, MethodRecord& entry,
                     bool& drawn);
  Problem writeOtherForms(pipeline::ParsedSource& parsed, const pipeline::MethodSummary& method,
                          const metrics::MethodMeasures* measures, const pipeline::MethodFlowchart& chart,
                          const std::string& stem, MethodRecord& entry);
  void removeStaleDrawings();
  void writeRecord();

  files::FileSystem& disk_;
  const SourceFile& file_;
  const DrawingRequest& request_;
  const git::ChangedLines* changed_;
  const FileEvents& report_;
  const std::function<bool()>& stop_;
  FileRecord record_;
  std::optional<FileRecord> previous_;
  std::optional<pipeline::SequenceSources> sequenceSources_;
};

void FileDrawing::run() {
  if (errors::Status made = disk_.makeFolders(file_.outputFolder); !made || !disk_.isFolder(file_.outputFolder)) {
    const int error = made ? 0 : made.problem().systemError;
    leaveForNextRun(Problem(Problem::Kind::Resource, "cannot make the output folder " + file_.outputFolder.string() +
                                                         (error ? ": " + std::generic_category().message(error) : "")));
    return;
  }
  // What is read is stamped first: a change made while the file is drawn
  // leaves a stamp that no longer matches, and the next run draws it again.
  stampSource(disk_, file_.source, record_);
  errors::Result<pipeline::ParsedSource> parsed =
      pipeline::ParsedSource::parse(file_.source.string(), request_.languageLevel);
  record_.languageLevel = request_.languageLevel;
  record_.shard = request_.shard;
  record_.shards = request_.shards;
  // Of a file drawn before, a run of the changed methods keeps the
  // drawings of the others where they still stand (same name, same lines,
  // same page name) and draws the rest, so the file stays whole; of a
  // file new to the site it draws the changed methods only.
  if (changed_ && !request_.force) previous_ = earlierRecord(disk_, file_, nullptr);
  if (previous_ && (previous_->languageLevel != request_.languageLevel || !drawingsThere(disk_, file_, *previous_)))
    previous_.reset();
  record_.partial = changed_ != nullptr && !previous_;
  if (!parsed && parsed.problem().kind == Problem::Kind::Resource) return leaveForNextRun(parsed.problem());
  if (!parsed) {
    writeUnparsedPage(parsed.problem());
  } else if (Stop stopped = drawMethods(*parsed)) {
    if (*stopped) leaveForNextRun(*stopped);
    return;
  }
  removeStaleDrawings();
  writeRecord();
}

void FileDrawing::writeUnparsedPage(const Problem& problem) {
  record_.status = statusFor(problem.kind);
  record_.problemLine = problem.line;
  record_.problem = problem.message;
  say(problem.line, problem.message);
  report_(FileFailed{});
  const std::string source = record_.status == FileRecord::Status::Unreadable ? "" : readWhole(disk_, file_.source);
  const fs::path page = file_.outputFolder / kFilePageName;
  if (!disk_.replaceFile(page, filePage(file_.relative, record_, sourceAsUtf8(source))))
    report_(Said{located(page.string(), 0, "cannot be written")});
}

FileDrawing::Stop FileDrawing::drawMethods(pipeline::ParsedSource& parsed) {
  const pipeline::FileSummary& summary = parsed.summary();
  const text::Charset charset = parsed.charset();
  const pipeline::MeasuredSource measured = pipeline::measureSource(parsed);
  record_.nloc = summary.nloc;
  record_.halsteadVolume = std::llround(measured.file.halstead.volume());
  for (const pipeline::ClassSummary& cls : summary.classes)
    record_.classes.push_back(
        ClassRecord{utf8Text(cls.qualifiedName, charset), cls.kind(), cls.line, cls.endLine, cls.nloc});
  // Sequence diagrams follow calls within the file only, at depth 1.
  if (request_.sequence) sequenceSources_.emplace(parsed, std::string());
  // Every method's page name, whichever are drawn, so that names stay
  // the same from run to run.
  std::vector<NamedMethod> named;
  for (const pipeline::MethodSummary& method : summary.methods)
    named.push_back(
        NamedMethod{utf8Text(summary.displayName(method), charset), utf8Text(method.signature, charset), method.line});
  const std::vector<std::string> stems = methodPageStems(named);
  for (size_t m = 0; m < summary.methods.size(); ++m) {
    // Asked to stop: the file is left unrecorded, to be drawn whole by
    // the next run.
    if (stop_ && stop_()) return Problem();
    const pipeline::MethodSummary& method = summary.methods[m];
    const bool unchanged = changed_ && !changed_->touches(file_.source.string(), method.line, method.endLine);
    if (unchanged && !previous_) continue;
    MethodRecord entry;
    entry.classIndex = method.classIndex;
    entry.name = utf8Text(pipeline::methodLabel(summary, method), charset);
    entry.line = method.line;
    entry.endLine = method.endLine;
    entry.nloc = method.nloc;
    if (const metrics::MethodMeasures* measures = measured.withBody(m)) {
      entry.complexity = measures->cyclomatic;
      entry.cognitive = measures->cognitive;
      entry.halsteadVolume = std::llround(measures->halstead.volume());
    }
    if (unchanged && keepUnchanged(entry, stems[m])) {
      record_.methods.push_back(std::move(entry));
      continue;
    }
    if (Stop stopped = writeFlowchart(parsed, method, measured.withBody(m), stems[m], entry)) return stopped;
    bool sequenceDrawn = true;
    if (sequenceSources_)
      if (Stop stopped = writeSequence(method, stems[m], entry, sequenceDrawn)) return stopped;
    report_(MethodDone{methodFailed(entry) || !sequenceDrawn});
    record_.methods.push_back(std::move(entry));
  }
  const fs::path page = file_.outputFolder / kFilePageName;
  if (!disk_.replaceFile(page, filePage(file_.relative, record_, utf8Text(readWhole(disk_, file_.source), charset))))
    report_(Said{located(page.string(), 0, "cannot be written")});
  return std::nullopt;
}

// Of a method the change does not touch, the drawings of the previous
// run kept as they were, failures and all (said again); false when they
// no longer stand.
bool FileDrawing::keepUnchanged(MethodRecord& entry, const std::string& stem) {
  const std::string name = stem + ".html";
  const auto same = std::find_if(previous_->methods.begin(), previous_->methods.end(), [&](const MethodRecord& old) {
    return old.name == entry.name && old.line == entry.line && old.endLine == entry.endLine &&
           (old.drawing == name || (old.drawing.empty() && old.problem == kNoBody)) &&
           (!request_.sequence || !old.sequence.empty() || old.drawing.empty()) && hasFormats(old, request_);
  });
  if (same == previous_->methods.end()) return false;
  entry.drawing = same->drawing;
  entry.problem = same->problem;
  entry.sequence = same->sequence;
  entry.exports = same->exports;
  entry.failedExports = same->failedExports;
  entry.exportProblem = same->exportProblem;
  if (methodFailed(entry)) {
    say(entry.line, entry.exportProblem);
    report_(MethodDone{true});
  }
  return true;
}

FileDrawing::Stop FileDrawing::writeFlowchart(pipeline::ParsedSource& parsed, const pipeline::MethodSummary& method,
                                              const metrics::MethodMeasures* measures, const std::string& stem,
                                              MethodRecord& entry) {
  errors::Result<pipeline::MethodFlowchart> chart = pipeline::drawMethodFlowchart(parsed, method, request_.fold);
  Problem methodProblem = chart ? Problem() : chart.problem();
  if (chart)
    chart->drawing->legendHtml =
        flowdraw::linkedLegendHtml(rootUrlFrom(file_.relative) + kSiteFolder + "/" + kLegendName);
  // A box opens the file's page at its lines rather than a panel of its
  // own.
  if (chart && chart->drawing->readerAids) {
    drawing::ReaderAids& aids = *chart->drawing->readerAids;
    aids.sourceLines.clear();
    aids.sourcePageUrl = kFilePageName;
    if (!request_.editor.empty()) {
      std::error_code ec;
      const fs::path absolute = fs::absolute(file_.source, ec);
      aids.editorUrl = request_.editor;
      aids.sourcePath = ec ? file_.source.string() : absolute.lexically_normal().string();
    }
  }
  const std::string name = stem + ".html";
  // The other forms first, so that the page links the ones written.
  if (chart && !request_.formats.empty()) {
    const Problem failed = writeOtherForms(parsed, method, measures, *chart, stem, entry);
    if (failed.kind == Problem::Kind::Resource) return failed;
    if (failed) say(method.line, failed.message);
  }
  const fs::path path = file_.outputFolder / name;
  const errors::Status saved =
      chart ? disk_.replaceFile(path, drawing::drawingHtml(*chart->drawing,
                                                        methodFrame(file_.relative, record_, entry, "")))
            : errors::Status(methodProblem);
  if (saved) {
    entry.drawing = name;
  } else if (methodProblem.kind == Problem::Kind::NoBody) {
    // Listed in the index as such; nothing to draw is no failure.
    entry.problem = kNoBody;
  } else {
    methodProblem = chart ? saveFailure(path.string(), saved.problem()) : methodProblem;
    methodProblem.line = method.line;
    if (methodProblem.kind == Problem::Kind::Resource) return methodProblem;
    entry.problem = methodProblem.message;
    say(method.line, entry.problem);
  }
  return std::nullopt;
}

FileDrawing::Stop FileDrawing::writeSequence(const pipeline::MethodSummary& method, const std::string& stem,
                                             MethodRecord& entry, bool& drawn) {
  errors::Result<pipeline::MethodSequence> sequence =
      pipeline::drawMethodSequence(*sequenceSources_, method, pagedSequence());
  if (sequence && sequence->drawing->readerAids) {
    sequence->drawing->readerAids->sourceLines.clear();
    sequence->drawing->readerAids->sourcePageUrl = kFilePageName;
  }
  const std::string name = stem + "-sequence.html";
  const fs::path path = file_.outputFolder / name;
  const errors::Status saved =
      sequence ? disk_.replaceFile(path, drawing::drawingHtml(*sequence->drawing,
                                                           methodFrame(file_.relative, record_, entry,
                                                                       "sequence diagram")))
               : errors::Status(sequence.problem());
  if (saved) {
    entry.sequence = name;
    return std::nullopt;
  }
  drawn = false;
  Problem problem = sequence ? saveFailure(path.string(), saved.problem()) : saved.problem();
  problem.line = method.line;
  if (problem.kind == Problem::Kind::Resource) return problem;
  say(method.line, "sequence diagram: " + problem.message);
  return std::nullopt;
}

// The names written go into the record, as do those that could not be
// made, with the first one's problem (said with its name); the first
// problem is returned.
Problem FileDrawing::writeOtherForms(pipeline::ParsedSource& parsed, const pipeline::MethodSummary& method,
                                     const metrics::MethodMeasures* measures, const pipeline::MethodFlowchart& chart,
                                     const std::string& stem, MethodRecord& entry) {
  Problem first;
  OtherForms forms(parsed, method, chart, measures);
  for (const std::string& format : request_.formats) {
    const std::string name = stem + "." + format;
    errors::Result<std::string> text = std::string();
    const formats::Format* form = formats::siteForm(format);
    if (!form) continue;  // the command line takes only the site's forms
    const formats::Writer writer = form->writer;
    if (OtherForms::isPicture(writer)) {
      text = forms.picture(writer);
    } else if (errors::Status flow = forms.makeFlow(); !flow) {
      // No graph: the form is neither made nor recorded as failed.
      if (!first) first = flow.problem();
      continue;
    } else {
      text = forms.fromFlow(writer);
    }
    const fs::path path = file_.outputFolder / name;
    const errors::Status saved = text ? disk_.replaceFile(path, *text) : errors::Status(text.problem());
    if (saved) {
      entry.exports.push_back(name);
      continue;
    }
    Problem failed = text ? saveFailure(path.string(), saved.problem()) : saved.problem();
    if (!text) failed.message = name + ": " + failed.message;
    entry.failedExports.push_back(name);
    if (entry.exportProblem.empty()) entry.exportProblem = failed.message;
    if (!first) first = failed;
  }
  return first;
}

// Removes the drawings of an earlier run that the new record no longer has.
void FileDrawing::removeStaleDrawings() {
  const errors::Result<FileRecord> old = parseRecord(readWhole(disk_, file_.recordFile));
  if (!old) return;
  std::set<std::string> keep;
  for (const MethodRecord& method : record_.methods) {
    keep.insert(method.drawing);
    keep.insert(method.sequence);
    keep.insert(method.exports.begin(), method.exports.end());
  }
  for (const MethodRecord& method : old->methods) {
    for (const std::string& drawing : {method.drawing, method.sequence})
      if (isDrawingName(drawing) && !keep.count(drawing)) disk_.remove(file_.outputFolder / drawing);
    for (const std::string& name : method.exports)
      if (isExportName(name) && !keep.count(name)) disk_.remove(file_.outputFolder / name);
  }
}

// The record goes last: a run cut short leaves the file to be redone.
void FileDrawing::writeRecord() {
  errors::Status saved = disk_.makeFolders(file_.recordFile.parent_path());
  if (saved) saved = disk_.replaceFile(file_.recordFile, recordText(record_));
  if (!saved) leaveForNextRun(saveFailure(file_.recordFile.string(), saved.problem()));
}

}  // namespace

std::vector<SourceFile> findSources(files::FileSystem& disk, const fs::path& root, const fs::path& output,
                                    TreeProblems& problems) {
  const JavaFiles found = javaFilesBelow(disk, root, output);
  for (const UnreadableFolder& folder : found.unreadable)
    problems.unreadable.push_back(located(folder.folder.string(), 0,
                                          (folder.partly ? "cannot be read completely: " : "cannot be read: ") +
                                              std::generic_category().message(folder.systemError)));
  for (const SkippedEntry& entry : found.skipped)
    problems.skipped.push_back(located(entry.path.string(), 0, "skipped: " + entry.why));
  std::vector<SourceFile> sources;
  for (const JavaFile& source : found.files) {
    SourceFile file;
    file.source = source.path;
    file.relative = source.path.lexically_relative(root).generic_string();
    file.outputFolder = fileOutputFolder(output, file.relative);
    file.recordFile = recordPath(output, file.relative);
    file.size = source.size;
    sources.push_back(std::move(file));
  }
  std::sort(sources.begin(), sources.end(),
            [](const SourceFile& a, const SourceFile& b) { return a.relative < b.relative; });
  std::sort(problems.unreadable.begin(), problems.unreadable.end());
  std::sort(problems.skipped.begin(), problems.skipped.end());
  return sources;
}

std::optional<FileRecord> earlierRecord(files::FileSystem& disk, const SourceFile& file, std::string* damaged) {
  if (!disk.exists(file.recordFile)) return std::nullopt;
  errors::Result<FileRecord> record = parseRecord(readWhole(disk, file.recordFile));
  if (record) return std::move(*record);
  const std::string& why = record.problem().message;
  if (damaged && why.rfind("written by", 0) != 0)
    *damaged = located(file.recordFile.string(), 0, why + "; " + file.relative + " is drawn again");
  return std::nullopt;
}

bool drawingsThere(files::FileSystem& disk, const SourceFile& file, const FileRecord& record) {
  if (!disk.exists(file.outputFolder / kFilePageName)) return false;
  for (const MethodRecord& method : record.methods) {
    if (!method.drawing.empty() && !disk.exists(file.outputFolder / method.drawing)) return false;
    if (!method.sequence.empty() && !disk.exists(file.outputFolder / method.sequence)) return false;
    for (const std::string& name : method.exports)
      if (!disk.exists(file.outputFolder / name)) return false;
  }
  return true;
}

std::optional<FileRecord> keptRecord(files::FileSystem& disk, const SourceFile& file, const DrawingRequest& request,
                                     std::string& damaged) {
  std::optional<FileRecord> record = earlierRecord(disk, file, &damaged);
  FileRecord now;
  stampSource(disk, file.source, now);
  if (!record || now.sourceTime == 0 || record->sourceSize != now.sourceSize ||
      record->sourceTime != now.sourceTime)
    return std::nullopt;
  // A record of another language level may tell another story; one of
  // only the changed methods is redone.  A source that could not be read
  // is tried again: being let read changes no stamp.
  if (record->partial || record->languageLevel != request.languageLevel ||
      record->status == FileRecord::Status::Unreadable)
    return std::nullopt;
  if (!drawingsThere(disk, file, *record)) return std::nullopt;
  for (const MethodRecord& method : record->methods)
    if ((request.sequence && method.sequence.empty()) || !hasFormats(method, request)) return std::nullopt;
  return record;
}

bool methodFailed(const MethodRecord& method) {
  return (method.drawing.empty() && method.problem != kNoBody) || !method.failedExports.empty();
}

// Lines are tab-separated: "m" and 1 or 0 for a method drawn or not, "p"
// and a message for the user, "x" for a file that failed, "r" and why for
// one the machine cut short.
std::string eventLine(const FileEvent& event) {
  if (const MethodDone* done = std::get_if<MethodDone>(&event)) return done->failed ? "m\t0" : "m\t1";
  if (const Said* said = std::get_if<Said>(&event)) return "p\t" + said->message;
  if (const FileCutShort* cut = std::get_if<FileCutShort>(&event)) return "r\t" + cut->why;
  return "x";
}

std::optional<FileEvent> eventFromLine(std::string_view line) {
  if (line == "m\t0" || line == "m\t1") return MethodDone{line == "m\t0"};
  if (line == "x") return FileFailed{};
  if (line.rfind("p\t", 0) == 0) return Said{std::string(line.substr(2))};
  if (line.rfind("r\t", 0) == 0) return FileCutShort{std::string(line.substr(2))};
  return std::nullopt;
}

void drawFile(files::FileSystem& disk, const SourceFile& file, const DrawingRequest& request,
              const git::ChangedLines* changed, const FileEvents& report, const std::function<bool()>& stopRequested) {
  FileDrawing(disk, file, request, changed, report, stopRequested).run();
}

}  // namespace site
