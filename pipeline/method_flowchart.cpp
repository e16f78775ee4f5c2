#include "pipeline/method_flowchart.h"

#include <algorithm>

#include "files/source_lines.h"
#include "flowdraw/legend.h"
#include "pipeline/drawing_templates.h"
#include "pipeline/method_flow.h"
#include "drawing/template_file.h"

namespace pipeline {
namespace {

// The comments inside the method, each shown beside its statement.
std::vector<flowdraw::SourceComment> methodComments(ParsedSource& source, const MethodSummary& method) {
  std::vector<flowdraw::SourceComment> comments;
  const std::vector<ParsedSource::LineComment>& all = source.lineComments();
  const auto first = std::lower_bound(all.begin(), all.end(), method.line,
                                      [](const ParsedSource::LineComment& c, int32_t line) { return c.line < line; });
  for (auto it = first; it != all.end() && it->line <= method.endLine; ++it) {
    const int32_t line = it->line;
    std::string text = it->text;
    for (size_t at = text.find(files::kLineSeparator); at != std::string::npos;
         at = text.find(files::kLineSeparator, at))
      text.replace(at, files::kLineSeparator.size(), "\n");
    if (!text.empty()) comments.push_back({line, std::move(text)});
  }
  return comments;
}

flowdraw::DrawOptions optionsFor(ParsedSource& source, const MethodSummary& method, flowdraw::Fold fold) {
  flowdraw::DrawOptions options;
  options.fold = fold;
  options.utf8 = source.charset() == text::Charset::Utf8;
  options.comments = methodComments(source, method);
  return options;
}

const std::string& legend() {
  static const std::string html = flowdraw::legendHtml(flowchartMasters());
  return html;
}

}  // namespace

const errors::Result<flowdraw::Masters>& flowchartTemplate() {
  static const errors::Result<flowdraw::Masters> masters = []() -> errors::Result<flowdraw::Masters> {
    errors::Result<drawing::TemplateContent> content = drawing::parseTemplateText(kFlowdrawTemplate);
    if (!content)
      return errors::Problem(errors::Problem::Kind::Failed,
                     "the flowchart template built into the program is broken: " + content.problem().message);
    flowdraw::Masters result;
    for (auto& master : content->masters) result.push_back(std::shared_ptr<const drawing::Master>(std::move(master)));
    return result;
  }();
  return masters;
}

const flowdraw::Masters& flowchartMasters() {
  static const flowdraw::Masters none;
  return flowchartTemplate() ? *flowchartTemplate() : none;
}

std::string hiddenCodeNote(const std::vector<java::HiddenCode>& hidden) {
  if (hidden.empty()) return {};
  std::string note =
      "Warning: Unicode escapes hide code here. javac reads them first, and this chart shows the code it compiles, "
      "not what the source seems to say.";
  for (const java::HiddenCode& code : hidden)
    note += " Line " + std::to_string(code.line) + ": " + code.message() + ".";
  return note;
}

errors::Result<MethodFlowchart> drawMethodFlowchart(ParsedSource& source, const MethodSummary& method, flowdraw::Fold fold,
                                            SequenceSources* classes) {
  errors::Result<cfg::MethodFlow> flow = methodFlow(source, method, classes);
  if (!flow) return std::move(flow).problem();
  if (!flowchartTemplate()) return errors::Problem(flowchartTemplate().problem().kind, flowchartTemplate().problem().message, method.line);
  errors::Result<flowdraw::FlowDrawing> drawn = flowdraw::drawMethodFlow(*flow, flowchartMasters(), optionsFor(source, method, fold));
  if (!drawn) return errors::Problem(errors::Problem::Kind::Failed, drawn.problem().message, method.line);
  drawn->drawing->legendHtml = legend();
  // The method's lines, shown beside the drawing when a box is opened.
  if (drawn->drawing->readerAids) {
    drawing::ReaderAids& aids = *drawn->drawing->readerAids;
    aids.firstLine = method.line;
    for (int32_t line = method.line; line > 0 && line <= method.endLine; ++line)
      aids.sourceLines.emplace_back(source.lines().line(line));
    // Hidden code is said above the drawing and first in each page's description.
    if (const std::string note = hiddenCodeNote(source.hiddenCodeOf(method)); !note.empty()) {
      aids.notes.push_back(note);
      for (const std::unique_ptr<drawing::Page>& page : drawn->drawing->pages)
        if (!page->description.empty()) page->description = note + " " + page->description;
    }
  }
  return MethodFlowchart{std::move(drawn->drawing), drawn->boxes, drawn->arrows};
}

errors::Result<std::string> methodFlowchartDot(ParsedSource& source, const MethodSummary& method, flowdraw::Fold fold,
                                       SequenceSources* classes) {
  errors::Result<cfg::MethodFlow> flow = methodFlow(source, method, classes);
  if (!flow) return std::move(flow).problem();
  errors::Result<std::string> dot = flowdraw::methodFlowDot(*flow, optionsFor(source, method, fold));
  if (!dot) return errors::Problem(errors::Problem::Kind::Failed, dot.problem().message, method.line);
  return dot;
}

}  // namespace pipeline
