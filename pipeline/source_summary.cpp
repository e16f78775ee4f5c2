#include "pipeline/source_summary.h"

#include <charconv>

namespace pipeline {
std::string recordedText(std::string_view escaped) {
  static constexpr std::pair<std::string_view, char> kEscapes[] = {
      {"&quot;", '"'}, {"&amp;", '&'}, {"&apos;", '\''}, {"&lt;", '<'}, {"&gt;", '>'}};
  std::string text;
  text.reserve(escaped.size());
  for (size_t i = 0; i < escaped.size(); ++i) {
    const char c = escaped[i];
    if (c == '&') {
      bool replaced = false;
      for (const auto& [entity, byte] : kEscapes) {
        if (escaped.substr(i, entity.size()) != entity) continue;
        text += byte;
        i += entity.size() - 1;
        replaced = true;
        break;
      }
      if (!replaced) text += c;
    } else if (c == '\r') {
      text += ' ';
      if (i + 1 < escaped.size() && escaped[i + 1] == '\n') ++i;
    } else if (c == '\n' || c == '\t') {
      text += ' ';
    } else {
      text += c;
    }
  }
  return text;
}

namespace {

// A measure of the file as the parser recorded it, as a whole number.
std::optional<int64_t> fileMeasure(const java::Metrics& metrics, std::string_view id) {
  for (const java::Measure& each : metrics.fileMeasures()) {
    if (each.id != id) continue;
    double number = 0;
    const auto [end, error] = std::from_chars(each.value.data(), each.value.data() + each.value.size(), number);
    if (error != std::errc() || end == each.value.data()) return std::nullopt;
    return static_cast<int64_t>(number);
  }
  return std::nullopt;
}

// A class record still to read, with the name of what encloses it.
struct Pending {
  size_t record;
  std::string prefix;
};

class SummaryReader {
 public:
  explicit SummaryReader(const java::Metrics& metrics) : metrics_(metrics) {}

  FileSummary read() {
    summary_.nloc = fileMeasure(metrics_, "NLOC_FIL");
    summary_.halsteadVolume = fileMeasure(metrics_, "HV_FIL");
    summary_.halsteadEffort = fileMeasure(metrics_, "HE_FIL");
    summary_.commentLines = fileMeasure(metrics_, "CL_MTD_FIL");
    // Classes in document order, with an explicit stack: classes nest in
    // methods and classes as deep as the source does.
    std::vector<Pending> pending;
    const std::vector<size_t>& top = metrics_.fileClasses();
    for (auto it = top.rbegin(); it != top.rend(); ++it) pending.push_back({*it, ""});
    while (!pending.empty()) {
      const Pending next = pending.back();
      pending.pop_back();
      std::vector<Pending> inner;
      readClass(next.record, next.prefix, inner);
      for (auto it = inner.rbegin(); it != inner.rend(); ++it) pending.push_back(*it);
    }
    return std::move(summary_);
  }

 private:
  // Measures exist only for a class or function the parser closed; an
  // interface's methods have no complexity, so the interface no WMC.
  void readClass(size_t index, const std::string& prefix, std::vector<Pending>& inner) {
    const java::ClassRecord& record = metrics_.classes()[index];
    ClassSummary cls;
    cls.name = recordedText(record.name);
    cls.type = record.type;
    cls.qualifiedName = prefix + (cls.type == "AIC" ? "new " + cls.name : cls.name);
    cls.line = record.startLine;
    cls.endLine = record.closed ? record.endLine : 0;
    if (record.closed) cls.nloc = record.lines.nloc;
    const size_t classIndex = summary_.classes.size();
    const std::string qualified = cls.qualifiedName;
    summary_.classes.push_back(std::move(cls));
    for (size_t function : record.functions) {
      const java::FunctionRecord& func = metrics_.functions()[function];
      MethodSummary method;
      method.classIndex = classIndex;
      method.name = recordedText(func.name);
      method.signature = recordedText(func.signature);
      method.line = func.startLine;
      method.endLine = func.closed ? func.endLine : 0;
      method.documentOrder = function;  // the parser records functions as it opens them
      if (func.closed) {
        method.nloc = func.lines.nloc;
        method.commentLines = func.lines.commentLines;
        if (metrics_.methodVolumes() && func.name != java::Metrics::kBlockName) method.halsteadVolume = func.volume;
      }
      for (size_t local : func.classes) inner.push_back({local, qualified + "." + method.name + "."});
      summary_.methods.push_back(std::move(method));
    }
    for (size_t nested : record.nestedClasses) inner.push_back({nested, qualified + "."});
  }

  const java::Metrics& metrics_;
  FileSummary summary_;
};

}  // namespace

const char* ClassSummary::kind() const {
  if (type == "IFC") return "interface";
  if (type == "ENM") return "enum";
  if (type == "AIC") return "anonymous class";
  return "class";
}

std::string initializerName(const MethodSummary& method) { return method.isStaticInitializer ? "static {}" : "{}"; }

std::string shownName(const MethodSummary& method) {
  return method.isInitializer() ? initializerName(method) : method.name;
}

std::string FileSummary::displayName(const MethodSummary& method) const {
  return classes[method.classIndex].qualifiedName + "." + shownName(method);
}

FileSummary summaryOf(const java::Metrics& metrics) { return SummaryReader(metrics).read(); }

}  // namespace pipeline
