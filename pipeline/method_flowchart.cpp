#include "pipeline/method_flowchart.h"

#include <filesystem>

#include "flowchart/build_operation.h"
#include "flowchart/xml/atomic_file.h"
#include "flowgraph/dot_text.h"
#include "flowgraph/method_model.h"
#include "flowgraph/page_graphs.h"
#include "graphviz/dot_layout.h"
#include "pipeline/drawing_templates.h"
#include "render/flowchart_drawing.h"

namespace pipeline {
namespace {

namespace fs = std::filesystem;

void appendAttribute(std::string& out, const char* name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  for (char c : value) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  out += '"';
}

// A results file holding only the method and its class, so that each
// build reads and writes a file of the same small size however many
// methods the source has, and finds exactly this method.
std::string resultsForOneMethod(const ClassSummary& cls, const MethodSummary& method, int32_t line) {
  std::string out = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><results>\n<rclass";
  appendAttribute(out, "name", cls.name);
  appendAttribute(out, "sl", std::to_string(cls.line));
  appendAttribute(out, "el", std::to_string(cls.endLine));
  appendAttribute(out, "type", cls.type);
  out += ">\n<func";
  appendAttribute(out, "name", method.name);
  appendAttribute(out, "sl", std::to_string(line));
  appendAttribute(out, "el", std::to_string(method.endLine));
  appendAttribute(out, "sign", method.signature);
  out += ">\n</func>\n</rclass>\n</results>\n";
  return out;
}

std::optional<flowgraph::MethodModel> buildModel(ParsedSource& source, const MethodSummary& method,
                                                  const std::string& folder, Problem& problem) {
  const ClassSummary& cls = source.summary().classes[method.classIndex];
  const std::string resultsPath = folder + "/results.xml";
  // The builder finds the method by the line of its name.
  const int32_t line = source.nameLine(method);
  if (!xml::writeFileAtomically(resultsPath, resultsForOneMethod(cls, method, line))) {
    problem.set(Problem::Kind::Failed, "cannot write in the work folder " + folder);
    return std::nullopt;
  }
  const int built = flowchart::buildFlowchartModel(folder, source.tree(), cls.name, cls.line, method.name, line,
                                                   source.sourcePath(), source.comments());
  const std::unique_ptr<xml::Document> results = built == 1 ? xml::Document::loadFile(resultsPath) : nullptr;
  const xml::Node blocks = results ? results->root().selectSingleNode("//func/blocks") : xml::Node();
  if (!blocks) {
    problem.set(Problem::Kind::Failed, "no flowchart model could be built for " + method.name, method.line);
    return std::nullopt;
  }
  std::string error;
  std::optional<flowgraph::MethodModel> model = flowgraph::readMethodModel(blocks, &error);
  if (!model) problem.set(Problem::Kind::Failed, "the flowchart model of " + method.name + " is damaged: " + error,
                          method.line);
  return model;
}

}  // namespace

std::optional<MethodGraphs> methodGraphs(ParsedSource& source, const MethodSummary& method, Problem& problem) {
  // Each method gets a folder of its own inside the source's work folder.
  const std::string folder = source.work().file("method-" + std::to_string(method.line));
  std::error_code ec;
  fs::remove_all(folder, ec);
  if (!fs::create_directories(folder + "/layout", ec)) {
    problem.set(Problem::Kind::Failed, "cannot make a work folder in " + source.work().path().string());
    return std::nullopt;
  }
  std::optional<flowgraph::MethodModel> model = buildModel(source, method, folder, problem);
  if (!model) return std::nullopt;
  MethodGraphs result{std::move(*model), {}, folder};
  result.dot = flowgraph::flowchartDot(result.model, flowgraph::pageGraphs(result.model), source.lines(),
                                       source.charset());
  return result;
}

std::optional<MethodFlowchart> drawMethodFlowchart(ParsedSource& source, const MethodSummary& method,
                                                   Problem& problem) {
  std::optional<MethodGraphs> graphs = methodGraphs(source, method, problem);
  if (!graphs) return std::nullopt;
  const flowgraph::FlowchartDot& dot = graphs->dot;
  const std::string& folder = graphs->folder;
  const std::string methodLayout = folder + "/layout/method.dot";
  for (size_t page = 0; page < dot.graphs.size(); ++page) {
    const graphviz::LayoutResult layout = graphviz::layOut(dot.graphs[page]);
    if (!layout.ok) {
      problem.set(Problem::Kind::Failed, "Graphviz refused the layout: " + layout.error, method.line);
      return std::nullopt;
    }
    const std::string path =
        page == 0 ? methodLayout : folder + "/layout/" + dot.foldedNames[page - 1] + ".tmp";
    if (!xml::writeFileAtomically(path, layout.text)) {
      problem.set(Problem::Kind::Failed, "cannot write in the work folder " + folder);
      return std::nullopt;
    }
  }
  const std::string templatePath = writeFlowchartTemplate(source.work());
  MethodFlowchart result;
  result.drawing = render::drawFlowchartDocument(methodLayout, folder, dot.foldedList(), templatePath);
  if (!result.drawing || result.drawing->pages.empty()) {
    problem.set(Problem::Kind::Failed, "the flowchart could not be drawn", method.line);
    return std::nullopt;
  }
  for (const auto& page : result.drawing->pages)
    for (const auto& shape : page->shapes) {
      const auto tooltip = dot.tooltips.find(shape->name);
      if (tooltip != dot.tooltips.end()) shape->comment = tooltip->second;
    }
  result.drawing->encoding = source.charset() == flowgraph::Charset::Utf8 ? host::TextEncoding::Utf8
                                                                          : host::TextEncoding::Latin1;
  result.blocks = graphs->model.blocks.size();
  result.successors = graphs->model.successorCount();
  return result;
}

}  // namespace pipeline
