#include "pipeline/method_flowchart.h"

#include "flowdraw/legend.h"
#include "pipeline/drawing_templates.h"
#include "pipeline/method_flow.h"
#include "render/host/template_file.h"

namespace pipeline {
namespace {

flowdraw::DrawOptions optionsFor(const ParsedSource& source, flowdraw::Fold fold) {
  flowdraw::DrawOptions options;
  options.fold = fold;
  options.utf8 = source.charset() == flowgraph::Charset::Utf8;
  return options;
}

const std::string& legend() {
  static const std::string html = flowdraw::legendHtml(flowchartMasters());
  return html;
}

}  // namespace

const flowdraw::Masters& flowchartMasters() {
  static const flowdraw::Masters masters = [] {
    flowdraw::Masters result;
    std::optional<host::TemplateContent> content = host::parseTemplateText(kFlowdrawTemplate);
    if (!content) return result;
    for (auto& master : content->masters) result.push_back(std::shared_ptr<const host::MasterDef>(std::move(master)));
    return result;
  }();
  return masters;
}

std::optional<MethodFlowchart> drawMethodFlowchart(ParsedSource& source, const MethodSummary& method,
                                                   Problem& problem, flowdraw::Fold fold) {
  std::optional<cfg::MethodFlow> flow = methodFlow(source, method, problem);
  if (!flow) return std::nullopt;
  std::string error;
  flowdraw::FlowDrawing drawn = flowdraw::drawMethodFlow(*flow, flowchartMasters(), optionsFor(source, fold), &error);
  if (!drawn.drawing) {
    problem.set(Problem::Kind::Failed, error, method.line);
    return std::nullopt;
  }
  drawn.drawing->legendHtml = legend();
  return MethodFlowchart{std::move(drawn.drawing), drawn.boxes, drawn.arrows};
}

std::optional<std::string> methodFlowchartDot(ParsedSource& source, const MethodSummary& method, Problem& problem,
                                              flowdraw::Fold fold) {
  std::optional<cfg::MethodFlow> flow = methodFlow(source, method, problem);
  if (!flow) return std::nullopt;
  std::string error;
  std::string dot = flowdraw::methodFlowDot(*flow, optionsFor(source, fold), &error);
  if (dot.empty()) {
    problem.set(Problem::Kind::Failed, error, method.line);
    return std::nullopt;
  }
  return dot;
}

}  // namespace pipeline
