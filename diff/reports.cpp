#include "diff/reports.h"

#include "pipeline/parsed_source.h"
#include "text/json_text.h"
#include "text/text_output.h"

namespace diff {
namespace {

using text::Json;
using text::jsonText;

Json measuresJson(const MethodVersion* method) {
  if (!method || !method->measures) return nullptr;
  return {{"complexity", method->measures->complexity},
          {"cognitive", method->measures->cognitive},
          {"nloc", method->measures->nloc}};
}

Json linesJson(const std::vector<int32_t>& lines) {
  Json out = Json::array();
  for (int32_t line : lines) out.push_back(line);
  return out;
}

std::string measureText(const MethodDiff& method, bool cognitive) {
  const auto value = [&](const MethodVersion* side) -> std::string {
    if (!side || !side->measures) return "-";
    return std::to_string(cognitive ? side->measures->cognitive : side->measures->complexity);
  };
  return value(method.base) + " \u2192 " + value(method.head);
}

}  // namespace

std::string hiddenLines(const MethodVersion& method) {
  std::string out = method.hiddenCode.size() == 1 ? "line " : "lines ";
  for (size_t k = 0; k < method.hiddenCode.size(); ++k)
    out += (k ? ", " : "") + std::to_string(method.hiddenCode[k].line);
  return out;
}

std::string diffJson(const Diff& diff) {
  Json methods = Json::array();
  for (const MethodDiff& method : diff.methods) {
    const MethodVersion& shown = method.shown();
    Json nodes = Json::array();
    for (const NodeDiff& node : method.nodes)
      nodes.push_back({{"id", node.id},
                       {"change", changeName(node.change)},
                       {"kind", cfg::kindName(node.kind)},
                       {"text", jsonText(node.text)},
                       {"baseText", node.baseText ? jsonText(*node.baseText) : Json(nullptr)},
                       {"baseLines", linesJson(node.baseLines)},
                       {"headLines", linesJson(node.headLines)}});
    Json edges = Json::array();
    for (const EdgeDiff& edge : method.edges) {
      Json entry = {{"from", method.nodes[edge.from].id},
                    {"to", method.nodes[edge.to].id},
                    {"kind", cfg::kindName(edge.kind)},
                    {"label", jsonText(edge.label)},
                    {"change", changeName(edge.change)}};
      if (edge.back) entry["back"] = true;
      edges.push_back(std::move(entry));
    }
    Json entry = {{"change", changeName(method.change)},
                  {"file", jsonText(shown.file)},
                  {"baseFile", method.base ? jsonText(method.base->file) : Json(nullptr)},
                  {"class", jsonText(shown.className)},
                  {"baseClass", method.base ? jsonText(method.base->className) : Json(nullptr)},
                  {"method", jsonText(shown.method)},
                  {"signature", jsonText(shown.signature)},
                  {"baseMethod", method.base ? jsonText(method.base->signature) : Json(nullptr)},
                  {"baseLine", method.base ? Json(method.base->line) : Json(nullptr)},
                  {"headLine", method.head ? Json(method.head->line) : Json(nullptr)},
                  {"measures", {{"base", measuresJson(method.base)}, {"head", measuresJson(method.head)}}},
                  {"nodes", std::move(nodes)},
                  {"edges", std::move(edges)}};
    if (method.head && !method.head->hiddenCode.empty()) {
      Json& hidden = entry["unicodeEscapes"] = Json::array();
      for (const java::HiddenCode& code : method.head->hiddenCode) hidden.push_back(pipeline::hiddenCodeJson(code));
    }
    methods.push_back(std::move(entry));
  }
  Json failures = Json::array();
  for (const FileFailure& failure : diff.failures)
    failures.push_back({{"side", jsonText(failure.side)},
                        {"file", jsonText(failure.file)},
                        {"line", failure.line},
                        {"message", jsonText(failure.message)}});
  const Json out = {{"base", jsonText(diff.base)},
                    {"head", jsonText(diff.head)},
                    {"methods", std::move(methods)},
                    {"unchanged", diff.unchanged},
                    {"failures", std::move(failures)}};
  return text::jsonLine(out) + "\n";
}

std::string diffSummary(const Diff& diff) {
  std::string out;
  for (const MethodDiff& method : diff.methods) {
    const MethodVersion& shown = method.shown();
    out += text::quotedName(shown.file) + ":" + std::to_string(shown.line) + " " + method.name() + " " +
           std::string(changeName(method.change));
    if (method.withClass) out += " with its class from " + method.base->className;
    else if (method.change == Change::Renamed) out += " from " + method.base->signature;
    else if (method.base && method.head && method.base->signature != method.head->signature)
      out += " (was " + method.base->signature + ")";
    std::string counts;
    const size_t added = method.count(Change::Added), removed = method.count(Change::Removed),
                 changed = method.count(Change::Changed);
    const auto part = [&](const char* mark, size_t count, const char* noun) {
      if (count == 0) return;
      counts += std::string(counts.empty() ? "" : ", ") + mark + std::to_string(count) + noun;
    };
    if (method.change == Change::Changed || method.change == Change::Renamed) {
      part("+", added, added == 1 ? " node" : " nodes");
      part("\u2212", removed, removed == 1 ? " node" : " nodes");
      part("~", changed, "");
      if (counts.empty() && method.edgesChanged()) counts = std::to_string(method.edgesChanged()) + " edges";
      if (counts.empty()) counts = "the same flow";
    } else {
      counts = std::to_string(method.nodes.size()) + " nodes";
    }
    out += ": " + counts + "; CC " + measureText(method, false);
    if (method.head && !method.head->hiddenCode.empty())
      out += "; Unicode escapes hide code at " + hiddenLines(*method.head);
    out += "\n";
  }
  for (const FileFailure& failure : diff.failures)
    out += text::quotedName(failure.file) + (failure.line > 0 ? ":" + std::to_string(failure.line) : std::string()) +
           " not compared (" + text::quotedName(failure.side) + "): " +
           failure.message + "\n";
  out += std::to_string(diff.methods.size()) + (diff.methods.size() == 1 ? " method" : " methods") + " listed, " +
         std::to_string(diff.unchanged) + " unchanged\n";
  return out;
}

}  // namespace diff
