#include "metrics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "files/atomic_file.h"

namespace java {
namespace {

std::string decimal(int64_t value) { return std::to_string(value); }

void appendMeasure(std::string& out, std::string_view tag, std::string_view id, std::string_view value) {
  out += '<';
  out += tag;
  out += " id=\"";
  out += id;
  out += "\" value=\"";
  out += value;
  out += "\"/>";
}

void appendMeasures(std::string& out, const std::vector<Measure>& measures, std::string_view tag) {
  for (const Measure& measure : measures) appendMeasure(out, tag, measure.id, measure.value);
}

// A carriage return written before a text-mode line end.
constexpr std::string_view kBreak = "\r\r\n";

// Above this much text the results file is handed on to the file.
constexpr size_t kOutputChunk = 1 << 16;

}  // namespace

// Collects the results text, and when it writes a file hands it on in
// chunks, so that a file of many classes is never held whole.
class Metrics::Output {
 public:
  explicit Output(files::AtomicFile* file) : file_(file) {}
  std::string& text() { return text_; }
  // Called between entries.
  void entryDone() {
    if (file_ && text_.size() >= kOutputChunk) {
      file_->write(text_);
      text_.clear();
    }
  }
  bool finish() {
    if (!file_) return true;
    const bool written = file_->write(text_);
    text_.clear();
    return written && file_->commit();
  }

 private:
  files::AtomicFile* file_;
  std::string text_;
};

void LineList::add(int line) {
  if (lines_.empty() || line > lines_.back()) {
    lines_.push_back(line);
    return;
  }
  if (!distinct_ && line == lines_.back()) {
    lines_.push_back(line);
    return;
  }
  // Out of order: keep the list sorted.
  auto at = std::upper_bound(lines_.begin(), lines_.end(), line);
  if (distinct_ && at != lines_.begin() && *(at - 1) == line) return;
  lines_.insert(at, line);
}

int64_t LineList::count(int first, int last) const {
  if (last < first) return 0;
  auto from = std::lower_bound(lines_.begin(), lines_.end(), first);
  auto to = std::upper_bound(from, lines_.end(), last);
  return to - from;
}

std::string percentText(int64_t part, int64_t whole) {
  const double value = whole == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(whole) * 100;
  char text[64];
  std::snprintf(text, sizeof text, "%f", value);
  return text;
}

int64_t roundHalfUp(double value) {
  if (!(value == value)) return 0;  // not a number
  constexpr double kLimit = 9.2e18;
  if (value >= kLimit) return std::numeric_limits<int64_t>::max();
  if (value <= -kLimit) return std::numeric_limits<int64_t>::min();
  int64_t whole = static_cast<int64_t>(value);
  if (value - static_cast<double>(whole) >= 0.5) ++whole;
  return whole;
}

void Metrics::start(int64_t modificationTime) {
  const bool methodVolumes = methodVolumes_;
  std::string implicitClassName = std::move(implicitClassName_);
  *this = Metrics();
  methodVolumes_ = methodVolumes;
  implicitClassName_ = std::move(implicitClassName);
  fileHints_.push_back({"LAST_MOD_TIME", decimal(modificationTime)});
}

void Metrics::countOperator(std::string_view name) {
  if (operators_.find(name) == operators_.end()) operators_.emplace(name);
  ++totalOperators_;
  // A method's own volume counts what is met while it is the scope: its
  // body, from the reduction of its header to its end.
  if (methodVolumes_ && scopeKind_ == ScopeKind::Function && !openFunctionNames_.empty()) {
    ++functions_[scopeIndex_].operators;
    NameSet& names = openFunctionNames_.back().operators;
    if (names.find(name) == names.end()) names.emplace(name);
  }
}

void Metrics::countOperand(std::string_view name) {
  if (operands_.find(name) == operands_.end()) operands_.emplace(name);
  ++totalOperands_;
  if (methodVolumes_ && scopeKind_ == ScopeKind::Function && !openFunctionNames_.empty()) {
    ++functions_[scopeIndex_].operands;
    NameSet& names = openFunctionNames_.back().operands;
    if (names.find(name) == names.end()) names.emplace(name);
  }
}

void Metrics::countDecision() {
  if (scopeKind_ == ScopeKind::Function)
    ++functions_[scopeIndex_].cc;
  else
    ++looseDecisions_;
}

void Metrics::noteCommentLine(int line) {
  comments_.add(line);
  physical_.add(line);
}

void Metrics::tokenLine(int line) {
  if (line == lastTokenLine_) return;
  lastTokenLine_ = line;
  ++fileNloc_;
  code_.add(line);
  physical_.add(line);
}

int64_t Metrics::nloc(int first, int last) const {
  if (first == last) return 1;
  const int64_t lines = code_.count(first, last);
  return lines == 0 ? 1 : lines;
}

void Metrics::openClass(std::string name, int firstLine, std::string_view type) {
  ClassRecord record;
  record.name = std::move(name);
  record.startLine = firstLine;
  record.type = type;
  const size_t index = classes_.size();
  if (scopeKind_ == ScopeKind::Class) {
    classes_[scopeIndex_].nestedClasses.push_back(index);
    record.enclosingClass = static_cast<int64_t>(scopeIndex_);
  } else if (scopeKind_ == ScopeKind::Function) {
    functions_[scopeIndex_].classes.push_back(index);
    record.enclosingFunction = static_cast<int64_t>(scopeIndex_);
  } else {
    fileClasses_.push_back(index);
  }
  classes_.push_back(std::move(record));
  scopeKind_ = ScopeKind::Class;
  scopeIndex_ = index;
}

LineCounts Metrics::countLines(int first, int last) const {
  return LineCounts{commentLines(first, last), physical(first, last), nloc(first, last)};
}

void Metrics::closeClass(int lastLine) {
  if (scopeKind_ != ScopeKind::Class) return;
  ClassRecord& record = classes_[scopeIndex_];
  record.endLine = lastLine;
  record.closed = true;
  record.wmc1 = static_cast<int64_t>(record.functions.size());
  record.lines = countLines(record.startLine, lastLine);
  if (record.enclosingClass >= 0) {
    scopeIndex_ = static_cast<size_t>(record.enclosingClass);
  } else if (record.enclosingFunction >= 0) {
    scopeKind_ = ScopeKind::Function;
    scopeIndex_ = static_cast<size_t>(record.enclosingFunction);
  } else {
    scopeKind_ = ScopeKind::File;
  }
}

void Metrics::openFunction(std::string name, int firstLine, std::string signature) {
  FunctionRecord record;
  record.name = std::move(name);
  record.startLine = firstLine;
  record.signature = std::move(signature);
  const size_t index = functions_.size();
  if (scopeKind_ == ScopeKind::Class) {
    classes_[scopeIndex_].functions.push_back(index);
    record.enclosingClass = static_cast<int64_t>(scopeIndex_);
  } else {
    fileFunctions_.push_back(index);
  }
  functions_.push_back(std::move(record));
  scopeKind_ = ScopeKind::Function;
  scopeIndex_ = index;
  if (methodVolumes_) openFunctionNames_.push_back({index, {}, {}});
}

void Metrics::closeFunction(int lastLine) {
  if (scopeKind_ != ScopeKind::Function) return;
  FunctionRecord& record = functions_[scopeIndex_];
  if (record.name == kBlockName) {
    // Initialiser blocks are reduced after their body: their decision
    // points were collected outside any function.
    record.cc = looseDecisions_ + 1;
    looseDecisions_ = 0;
  }
  record.endLine = lastLine;
  record.closed = true;
  record.lines = countLines(record.startLine, lastLine);
  if (!openFunctionNames_.empty() && openFunctionNames_.back().function == scopeIndex_) {
    // The volume as the file's: length times the natural logarithm of the
    // vocabulary.
    const FunctionNames& names = openFunctionNames_.back();
    const double vocabulary = static_cast<double>(names.operators.size() + names.operands.size());
    const double length = static_cast<double>(record.operators + record.operands);
    record.volume = roundHalfUp(vocabulary > 0 ? length * std::log(vocabulary) : 0.0);
    openFunctionNames_.pop_back();
  }
  if (record.enclosingClass >= 0) {
    ClassRecord& owner = classes_[static_cast<size_t>(record.enclosingClass)];
    owner.wmc2 += record.cc;
    scopeKind_ = ScopeKind::Class;
    scopeIndex_ = static_cast<size_t>(record.enclosingClass);
  } else {
    scopeKind_ = ScopeKind::File;
  }
}

// An interface's methods have no CC, so it has no WMC2.  This holds at
// every level for the default, static and private methods of later Java
// too: an interface with static methods is Java 5 syntax, and its results
// are the same at every level.
bool Metrics::writesCc(const FunctionRecord& record) const {
  if (record.enclosingClass < 0) return true;
  return writesWmc2(classes_[static_cast<size_t>(record.enclosingClass)]);
}

bool Metrics::writesWmc2(const ClassRecord& record) const { return record.type != "IFC"; }

void Metrics::finishFile(int currentLine) {
  if (!implicitClassName_.empty() && !fileFunctions_.empty() && scopeKind_ == ScopeKind::File) {
    const int first = functions_[fileFunctions_.front()].startLine;
    const int last = functions_[fileFunctions_.back()].endLine;
    openClass(implicitClassName_, first, "CLS");
    const size_t index = scopeIndex_;
    for (size_t function : fileFunctions_) {
      functions_[function].enclosingClass = static_cast<int64_t>(index);
      classes_[index].wmc2 += functions_[function].cc;
    }
    classes_[index].functions = std::move(fileFunctions_);
    fileFunctions_.clear();
    closeClass(last);
    // The implicit class holds the whole file: it comes first.
    std::rotate(fileClasses_.begin(), fileClasses_.end() - 1, fileClasses_.end());
  }
  const int64_t cl = commentLines(1, currentLine);
  const int64_t lines = physical(1, currentLine);
  fileMeasures_.push_back({"CL_MTD_FIL", decimal(cl)});
  fileMeasures_.push_back({"POC_MTD_FIL", percentText(cl, lines)});
  fileHints_.push_back({"PHYSICAL_LINES", decimal(lines)});
  fileHints_.push_back({"TOTAL_OPERANDS", decimal(totalOperands_)});
  fileHints_.push_back({"TOTAL_OPERATORS", decimal(totalOperators_)});
  fileHints_.push_back({"DIST_OPERANDS", decimal(static_cast<int64_t>(operands_.size()))});
  fileHints_.push_back({"DIST_OPERATORS", decimal(static_cast<int64_t>(operators_.size()))});
  fileHints_.push_back({"NLOC", decimal(fileNloc_)});

  const double distinctOperators = static_cast<double>(operators_.size());
  const double distinctOperands = static_cast<double>(operands_.size());
  const double vocabulary = distinctOperators + distinctOperands;
  const double length = static_cast<double>(totalOperators_ + totalOperands_);
  // The natural logarithm; an empty vocabulary has no volume.
  const double volume = vocabulary > 0 ? length * std::log(vocabulary) : 0.0;
  const double difficulty =
      distinctOperands > 0 ? (static_cast<double>(totalOperands_) / distinctOperands) * (distinctOperators * 0.5)
                           : 0.0;
  const double effort = difficulty * volume;
  fileMeasures_.push_back({"NLOC_FIL", decimal(fileNloc_)});
  fileMeasures_.push_back({"HV_FIL", decimal(roundHalfUp(volume))});
  fileMeasures_.push_back({"HE_FIL", decimal(roundHalfUp(effort))});
}

void Metrics::writeClass(Output& output, size_t index) const {
  // Nesting is written with an explicit stack: a file may nest classes
  // and methods far deeper than the call stack allows.
  struct Step {
    bool isClass;
    size_t index;
    bool closing;
  };
  std::vector<Step> steps{{true, index, false}};
  std::string& out = output.text();
  while (!steps.empty()) {
    const Step step = steps.back();
    steps.pop_back();
    if (step.closing) {
      out += step.isClass ? "</rclass>" : "</func>";
      out += kBreak;
      output.entryDone();
      continue;
    }
    if (step.isClass) {
      const ClassRecord& record = classes_[step.index];
      out += "<rclass name=\"";
      out += record.name;
      out += "\" sl=\"";
      out += decimal(record.startLine);
      out += "\" el=\"";
      if (record.closed) out += decimal(record.endLine);
      out += "\" type=\"";
      out += record.type;
      out += "\">";
      out += kBreak;
      out += "<result><metrics>";
      if (record.closed) {
        const LineCounts& lines = record.lines;
        if (writesWmc2(record)) appendMeasure(out, "measure", "WMC2_CLS", decimal(record.wmc2));
        appendMeasure(out, "measure", "WMC1_CLS", decimal(record.wmc1));
        appendMeasure(out, "measure", "CL_MTD_CLS", decimal(lines.commentLines));
        appendMeasure(out, "measure", "POC_MTD_CLS", percentText(lines.commentLines, lines.physicalLines));
        appendMeasure(out, "measure", "NLOC_CLS", decimal(lines.nloc));
      }
      out += "</metrics><bpv/><hints>";
      if (record.closed) appendMeasure(out, "hint", "PHYSICAL_LINES", decimal(record.lines.physicalLines));
      out += "</hints></result>";
      steps.push_back({true, step.index, true});
      for (auto it = record.nestedClasses.rbegin(); it != record.nestedClasses.rend(); ++it)
        steps.push_back({true, *it, false});
      for (auto it = record.functions.rbegin(); it != record.functions.rend(); ++it)
        steps.push_back({false, *it, false});
    } else {
      const FunctionRecord& record = functions_[step.index];
      out += "<func name=\"";
      out += record.name;
      out += "\" sl=\"";
      out += decimal(record.startLine);
      out += "\" el=\"";
      if (record.closed) out += decimal(record.endLine);
      out += "\" sign=\"";
      out += record.signature;
      out += "\">";
      out += kBreak;
      out += "<result><metrics>";
      if (record.closed) {
        const LineCounts& lines = record.lines;
        appendMeasure(out, "measure", "CL_MTD", decimal(lines.commentLines));
        appendMeasure(out, "measure", "POC_MTD", percentText(lines.commentLines, lines.physicalLines));
        appendMeasure(out, "measure", "NLOC_MTD", decimal(lines.nloc));
        if (writesCc(record)) appendMeasure(out, "measure", "CC_MTD", decimal(record.cc));
        // An initialiser is reduced after its body, which it therefore
        // has not counted: it has no volume of its own.
        if (methodVolumes_ && record.name != kBlockName)
          appendMeasure(out, "measure", "HV_MTD", decimal(record.volume));
      }
      out += "</metrics><bpv/><hints>";
      if (record.closed) appendMeasure(out, "hint", "PHYSICAL_LINES", decimal(record.lines.physicalLines));
      out += "</hints></result>";
      steps.push_back({false, step.index, true});
      for (auto it = record.classes.rbegin(); it != record.classes.rend(); ++it)
        steps.push_back({true, *it, false});
    }
  }
}

void Metrics::writeResults(Output& output) const {
  std::string& out = output.text();
  out += "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><results>";
  out += kBreak;
  out += "<result><metrics>";
  appendMeasures(out, fileMeasures_, "measure");
  out += "</metrics><bpv/><hints>";
  appendMeasures(out, fileHints_, "hint");
  out += "</hints></result>";
  // Functions outside any class are collected but not written.
  for (size_t index : fileClasses_) writeClass(output, index);
  out += "</results>";
  out += kBreak;
}

std::string Metrics::resultsText() const {
  Output output(nullptr);
  writeResults(output);
  return std::move(output.text());
}

bool Metrics::writeResults(const std::string& path) const {
  files::AtomicFile file(path);
  if (!file.open()) return false;
  Output output(&file);
  writeResults(output);
  return output.finish();
}

}  // namespace java
