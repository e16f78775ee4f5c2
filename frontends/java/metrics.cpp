#include "metrics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "flowchart/xml/atomic_file.h"

namespace java {
namespace {

std::string decimal(int64_t value) { return std::to_string(value); }

void appendMeasures(std::string& out, const std::vector<Measure>& measures, std::string_view tag,
                    std::string_view skipId = {}) {
  for (const Measure& measure : measures) {
    if (!skipId.empty() && measure.id == skipId) continue;
    out += '<';
    out += tag;
    out += " id=\"";
    out += measure.id;
    out += "\" value=\"";
    out += measure.value;
    out += "\"/>";
  }
}

void appendResult(std::string& out, const std::vector<Measure>& measures,
                  const std::vector<Measure>& hints, std::string_view skipId = {}) {
  out += "<result><metrics>";
  appendMeasures(out, measures, "measure", skipId);
  out += "</metrics><bpv/><hints>";
  appendMeasures(out, hints, "hint");
  out += "</hints></result>";
}

// A carriage return written before a text-mode line end.
constexpr std::string_view kBreak = "\r\r\n";

}  // namespace

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
  *this = Metrics();
  fileHints_.push_back({"LAST_MOD_TIME", decimal(modificationTime)});
}

void Metrics::countOperator(std::string_view name) {
  if (operators_.find(name) == operators_.end()) operators_.emplace(name);
  ++totalOperators_;
}

void Metrics::countOperand(std::string_view name) {
  if (operands_.find(name) == operands_.end()) operands_.emplace(name);
  ++totalOperands_;
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
  record.startLine = decimal(firstLine);
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

void Metrics::closeClass(int lastLine) {
  if (scopeKind_ != ScopeKind::Class) return;
  ClassRecord& record = classes_[scopeIndex_];
  const int first = std::atoi(record.startLine.c_str());
  record.endLine = decimal(lastLine);
  const int64_t cl = commentLines(first, lastLine);
  const int64_t lines = physical(first, lastLine);
  record.measures.push_back({"WMC2_CLS", decimal(record.wmc2)});
  record.measures.push_back({"WMC1_CLS", decimal(static_cast<int64_t>(record.functions.size()))});
  record.measures.push_back({"CL_MTD_CLS", decimal(cl)});
  record.measures.push_back({"POC_MTD_CLS", percentText(cl, lines)});
  record.measures.push_back({"NLOC_CLS", decimal(nloc(first, lastLine))});
  record.hints.push_back({"PHYSICAL_LINES", decimal(lines)});
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
  record.startLine = decimal(firstLine);
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
  const int first = std::atoi(record.startLine.c_str());
  record.endLine = decimal(lastLine);
  const int64_t cl = commentLines(first, lastLine);
  const int64_t lines = physical(first, lastLine);
  record.measures.push_back({"CL_MTD", decimal(cl)});
  record.measures.push_back({"POC_MTD", percentText(cl, lines)});
  record.measures.push_back({"NLOC_MTD", decimal(nloc(first, lastLine))});
  const bool inInterface =
      record.enclosingClass >= 0 && classes_[static_cast<size_t>(record.enclosingClass)].type == "IFC";
  if (!inInterface) record.measures.push_back({"CC_MTD", decimal(record.cc)});
  record.hints.push_back({"PHYSICAL_LINES", decimal(lines)});
  if (record.enclosingClass >= 0) {
    ClassRecord& owner = classes_[static_cast<size_t>(record.enclosingClass)];
    owner.wmc2 += record.cc;
    scopeKind_ = ScopeKind::Class;
    scopeIndex_ = static_cast<size_t>(record.enclosingClass);
  } else {
    scopeKind_ = ScopeKind::File;
  }
}

void Metrics::finishFile(int currentLine) {
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

void Metrics::writeClass(std::string& out, size_t index) const {
  // Nesting is written with an explicit stack: a file may nest classes
  // and methods far deeper than the call stack allows.
  struct Step {
    bool isClass;
    size_t index;
    bool closing;
  };
  std::vector<Step> steps{{true, index, false}};
  while (!steps.empty()) {
    const Step step = steps.back();
    steps.pop_back();
    if (step.closing) {
      out += step.isClass ? "</rclass>" : "</func>";
      out += kBreak;
      continue;
    }
    if (step.isClass) {
      const ClassRecord& record = classes_[step.index];
      out += "<rclass name=\"";
      out += record.name;
      out += "\" sl=\"";
      out += record.startLine;
      out += "\" el=\"";
      out += record.endLine;
      out += "\" type=\"";
      out += record.type;
      out += "\">";
      out += kBreak;
      appendResult(out, record.measures, record.hints, record.type == "IFC" ? "WMC2_CLS" : "");
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
      out += record.startLine;
      out += "\" el=\"";
      out += record.endLine;
      out += "\" sign=\"";
      out += record.signature;
      out += "\">";
      out += kBreak;
      appendResult(out, record.measures, record.hints);
      steps.push_back({false, step.index, true});
      for (auto it = record.classes.rbegin(); it != record.classes.rend(); ++it)
        steps.push_back({true, *it, false});
    }
  }
}

std::string Metrics::resultsText() const {
  std::string out = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><results>";
  out += kBreak;
  appendResult(out, fileMeasures_, fileHints_);
  // Functions outside any class are collected but not written.
  for (size_t index : fileClasses_) writeClass(out, index);
  out += "</results>";
  out += kBreak;
  return out;
}

bool Metrics::writeResults(const std::string& path) const {
  return xml::writeFileAtomically(path, resultsText());
}

}  // namespace java
