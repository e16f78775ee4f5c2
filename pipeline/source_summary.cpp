#include "pipeline/source_summary.h"

#include <charconv>

namespace pipeline {
namespace {

const xml::ChildPath kMeasures{"result/metrics/measure"};
const xml::ChildPath kClasses{"rclass"};

std::string attribute(const xml::Node& element, const char* name) {
  const xml::Node attr = element.attributeNamed(name);
  return attr ? attr.value() : std::string();
}

int32_t lineOf(const std::string& text) {
  int32_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

std::optional<int64_t> measure(const xml::Node& element, std::string_view id) {
  for (const xml::Node& each : element.selectNodes(kMeasures)) {
    if (attribute(each, "id") != id) continue;
    const std::string value = attribute(each, "value");
    double number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end == value.data()) return std::nullopt;
    return static_cast<int64_t>(number);
  }
  return std::nullopt;
}

// A class element still to read, with the name of what encloses it.
struct Pending {
  xml::Node element;
  std::string prefix;
};

class SummaryReader {
 public:
  FileSummary read(const xml::Node& results) {
    summary_.nloc = measure(results, "NLOC_FIL");
    summary_.halsteadVolume = measure(results, "HV_FIL");
    summary_.halsteadEffort = measure(results, "HE_FIL");
    summary_.commentLines = measure(results, "CL_MTD_FIL");
    // Classes in document order, with an explicit stack: classes nest in
    // methods and classes as deep as the source does.
    std::vector<Pending> pending;
    const xml::NodeList top = results.selectNodes(kClasses);
    for (auto it = top.rbegin(); it != top.rend(); ++it) pending.push_back({*it, ""});
    while (!pending.empty()) {
      const Pending next = pending.back();
      pending.pop_back();
      std::vector<Pending> inner;
      readClass(next.element, next.prefix, inner);
      for (auto it = inner.rbegin(); it != inner.rend(); ++it) pending.push_back(*it);
    }
    return std::move(summary_);
  }

 private:
  void readClass(const xml::Node& element, const std::string& prefix, std::vector<Pending>& inner) {
    ClassSummary cls;
    cls.name = attribute(element, "name");
    cls.type = attribute(element, "type");
    cls.qualifiedName = prefix + (cls.type == "AIC" ? "new " + cls.name : cls.name);
    cls.line = lineOf(attribute(element, "sl"));
    cls.endLine = lineOf(attribute(element, "el"));
    cls.nloc = measure(element, "NLOC_CLS");
    cls.wmc = measure(element, "WMC2_CLS");
    const size_t classIndex = summary_.classes.size();
    const std::string qualified = cls.qualifiedName;
    summary_.classes.push_back(std::move(cls));
    for (const xml::Node& func : element.selectNodes(xml::ChildPath("func"))) {
      MethodSummary method;
      method.classIndex = classIndex;
      method.name = attribute(func, "name");
      method.signature = attribute(func, "sign");
      method.line = lineOf(attribute(func, "sl"));
      method.endLine = lineOf(attribute(func, "el"));
      method.nloc = measure(func, "NLOC_MTD");
      method.complexity = measure(func, "CC_MTD");
      method.commentLines = measure(func, "CL_MTD");
      method.halsteadVolume = measure(func, "HV_MTD");
      for (const xml::Node& local : func.selectNodes(kClasses))
        inner.push_back({local, qualified + "." + method.name + "."});
      summary_.methods.push_back(std::move(method));
    }
    for (const xml::Node& nested : element.selectNodes(kClasses))
      inner.push_back({nested, qualified + "."});
  }

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

std::optional<FileSummary> readSummary(xml::Document& results) {
  const xml::Node root = results.documentElement();
  if (!root || root.name() != "results") return std::nullopt;
  return SummaryReader().read(root);
}

}  // namespace pipeline
