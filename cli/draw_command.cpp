#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "formats/output_formats.h"
#include "cli/method_choice.h"
#include "pipeline/method_markdown.h"
#include "pipeline/method_measures.h"
#include "site/output_names.h"
#include "text/text_output.h"
#include "cfg/json.h"
#include "pipeline/method_flow.h"
#include "pipeline/method_flowchart.h"
#include "pipeline/parsed_source.h"
#include "drawing/drawing_svg.h"
#include "drawing/drawing_xml.h"
#include "drawing/save.h"
#include "site/site_pages.h"
#include "site/write_failure.h"
#include "files/atomic_file.h"
#include "mermaid/flowchart_text.h"
#include "mermaid/markdown.h"
#include "plantuml/activity_text.h"
#include "raster/raster.h"

namespace cli {

using site::fittedFileName;
using text::fileSafeName;
using text::hasExtension;
using text::htmlEscaped;
using text::located;
using text::numberText;

namespace {

std::string fileStem(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

// Says why an output was not written, and how the command ends.
CommandResult cannotWrite(const std::string& output, const char* what, const errors::Problem& refused) {
  // A picture that cannot be made says why itself; a file that cannot be
  // written, through the system's reason.
  const std::string why =
      refused.systemError == 0 ? refused.message : site::whyNotWritten(output, refused.systemError);
  std::fprintf(stderr, "%s: cannot write %s%s\n", output.c_str(), what, why.empty() ? "" : (": " + why).c_str());
  return reported(errors::Problem::Kind::Failed);
}

// The page's table of methods.  Its measures are the ones list, check and
// the batch site show (cli/method_measures.h), not the engine's.
std::string methodIndex(pipeline::ParsedSource& parsed, const std::vector<size_t>& methods,
                        const std::vector<std::string>& anchors) {
  const pipeline::FileSummary& summary = parsed.summary();
  const pipeline::MeasuredSource measured = pipeline::measureSource(parsed);
  std::string out =
      "<table class=\"methods\">\n<thead><tr><th>Method</th><th>Lines</th><th>NLOC</th>"
      "<th title=\"cyclomatic complexity, as checkstyle counts it\">CC</th>"
      "<th title=\"cognitive complexity, as SonarSource defines it\">Cognitive</th></tr></thead>\n"
      "<tbody>\n";
  for (size_t k = 0; k < methods.size(); ++k) {
    const pipeline::MethodSummary& method = summary.methods[methods[k]];
    const metrics::MethodMeasures* measures = measured.withBody(methods[k]);
    const std::string name = htmlEscaped(methodLabel(summary, method));
    out += "<tr><td>" + (anchors[k].empty() ? name : "<a href=\"#" + anchors[k] + "\">" + name + "</a>") +
           "</td><td>" + std::to_string(method.line) + "-" + std::to_string(method.endLine) + "</td><td>" +
           numberText(method.nloc) + "</td><td>" + (measures ? std::to_string(measures->cyclomatic) : "") +
           "</td><td>" + (measures ? std::to_string(measures->cognitive) : "") + "</td></tr>\n";
  }
  return out + "</tbody>\n</table>\n";
}

// The graphs of every page, before layout, in one file that Graphviz
// reads whole: the method's first, then its folded constructs' and lambdas'.
CommandResult writeGraphs(pipeline::ParsedSource& parsed, const pipeline::MethodSummary& method, const std::string& output,
                FoldMode fold, pipeline::SequenceSources& classes) {
  errors::Result<std::string> text = pipeline::methodFlowchartDot(parsed, method, foldFor(fold), &classes);
  if (!text) {
    const errors::Problem& problem = text.problem();
    std::fprintf(stderr, "%s\n", located(parsed.sourcePath(), problem.line, problem.message).c_str());
    return reported(errors::Problem::Kind::Failed);
  }
  if (errors::Status saved = files::writeAtomically(output, *text); !saved)
    return cannotWrite(output, "the graphs", saved.problem());
  size_t graphs = 0;
  for (size_t at = text->find("// page: "); at != std::string::npos; at = text->find("\n// page: ", at + 1)) ++graphs;
  std::printf("%s: %s, %zu graph%s\n", output.c_str(),
              utf8Text(parsed.summary().displayName(method), parsed.charset()).c_str(), graphs,
              graphs == 1 ? "" : "s");
  return Finished{};
}

// The method's control-flow graph as JSON, for tools.
CommandResult writeFlowJson(pipeline::ParsedSource& parsed, const pipeline::MethodSummary& method, const std::string& output,
                  pipeline::SequenceSources& classes) {
  const errors::Result<cfg::MethodFlow> flow = pipeline::methodFlow(parsed, method, &classes);
  if (!flow) {
    const errors::Problem& problem = flow.problem();
    std::fprintf(stderr, "%s\n", located(parsed.sourcePath(), problem.line, problem.message).c_str());
    return reported(errors::Problem::Kind::Failed);
  }
  const bool latin1 = parsed.charset() == text::Charset::Latin1;
  if (errors::Status saved = files::writeAtomically(output, cfg::methodFlowJson(*flow, latin1)); !saved)
    return cannotWrite(output, "the graph", saved.problem());
  size_t nodes = 0;
  for (const cfg::Graph& graph : flow->graphs) nodes += graph.nodes.size();
  std::printf("%s: %s, %zu nodes\n", output.c_str(),
              utf8Text(parsed.summary().displayName(method), parsed.charset()).c_str(), nodes);
  return Finished{};
}

// Boxes open the reader's editor at their lines, given its URL.
void linkEditor(drawing::Document& drawing, const std::string& editor, const std::string& sourcePath) {
  if (editor.empty() || !drawing.readerAids) return;
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(sourcePath, ec);
  drawing.readerAids->editorUrl = editor;
  drawing.readerAids->sourcePath = ec ? sourcePath : absolute.lexically_normal().string();
}

// Text for the places people write: one method's flowchart as Mermaid
// (.mmd) or a PlantUML activity diagram (.puml), or a Markdown document of
// the given methods (.md).
CommandResult writeMermaid(pipeline::ParsedSource& parsed, const std::vector<const pipeline::MethodSummary*>& methods,
                           const std::string& output, pipeline::SequenceSources& classes) {
  const pipeline::FileSummary& summary = parsed.summary();
  const bool latin1 = parsed.charset() == text::Charset::Latin1;
  const formats::Writer writer = writerOf(output, formats::kFlowchart);
  const bool markdown = writer == formats::Writer::Markdown;
  const pipeline::MeasuredSource measured = pipeline::measureSource(parsed);
  std::vector<std::unique_ptr<cfg::MethodFlow>> flows;
  std::vector<mermaid::MarkdownMethod> sections;
  CommandResult ending = Finished{};
  for (const pipeline::MethodSummary* method : methods) {
    errors::Result<cfg::MethodFlow> flow = pipeline::methodFlow(parsed, *method, &classes);
    if (!flow) {
      const errors::Problem& problem = flow.problem();
      const bool noBody = problem.kind == errors::Problem::Kind::NoBody;
      if (noBody && methods.size() > 1) {
        sections.push_back(pipeline::markdownSection(parsed, *method, nullptr, nullptr));
        continue;
      }
      const std::string message = noBody ? utf8Text(summary.displayName(*method), parsed.charset()) +
                                               " has no body (abstract, interface or native): nothing to draw"
                                         : problem.message;
      std::fprintf(stderr, "%s\n", located(parsed.sourcePath(), problem.line, message).c_str());
      if (methods.size() == 1) return reported(errors::Problem::Kind::Failed);
      ending = reported(errors::Problem::Kind::Failed);
      continue;
    }
    flows.push_back(std::make_unique<cfg::MethodFlow>(std::move(*flow)));
    const size_t index = static_cast<size_t>(method - summary.methods.data());
    sections.push_back(pipeline::markdownSection(parsed, *method, measured.withBody(index), flows.back().get()));
  }
  std::string text;
  if (writer == formats::Writer::PlantUml) text = plantuml::activityText(*flows.front(), latin1);
  else if (!markdown) text = mermaid::flowchartText(*flows.front(), nullptr, latin1);
  else if (methods.size() == 1) text = mermaid::methodMarkdown(sections.front(), "m1");
  else text = mermaid::fileMarkdown(fileStem(parsed.sourcePath()) + ".java", sections);
  if (errors::Status saved = files::writeAtomically(output, text); !saved)
    return cannotWrite(output, markdown ? "the document" : "the diagram", saved.problem());
  if (methods.size() == 1)
    std::printf("%s: %s, %zu diagram%s\n", output.c_str(),
                utf8Text(summary.displayName(*methods.front()), parsed.charset()).c_str(),
                markdown ? mermaid::flowBlocks(*flows.front(), latin1).size() : size_t{1},
                markdown && mermaid::flowBlocks(*flows.front(), latin1).size() != 1 ? "s" : "");
  else
    std::printf("%s: %zu of %zu methods drawn\n", output.c_str(), flows.size(), methods.size());
  return ending;
}

CommandResult drawOne(pipeline::ParsedSource& parsed, size_t index, std::string output, FoldMode fold,
                      pipeline::SequenceSources& classes, const std::string& editor) {
  const pipeline::FileSummary& summary = parsed.summary();
  const pipeline::MethodSummary& method = summary.methods[index];
  // Overloads get names of their own, as batch names them; a name too
  // long for a file name is cut and given a hash.
  const bool named = output.empty();
  if (named) output = defaultOutputStem(parsed, index) + ".html";
  switch (writerOf(output, formats::kFlowchart)) {
    case formats::Writer::Dot: return writeGraphs(parsed, method, output, fold, classes);
    case formats::Writer::FlowJson: return writeFlowJson(parsed, method, output, classes);
    case formats::Writer::Mermaid:
    case formats::Writer::Markdown:
    case formats::Writer::PlantUml: return writeMermaid(parsed, {&method}, output, classes);
    default: break;
  }
  errors::Result<pipeline::MethodFlowchart> chart =
      pipeline::drawMethodFlowchart(parsed, method, foldFor(fold), &classes);
  if (!chart) {
    const errors::Problem& problem = chart.problem();
    const std::string message = problem.kind == errors::Problem::Kind::NoBody
                                    ? utf8Text(summary.displayName(method), parsed.charset()) +
                                          " has no body (abstract, interface or native): nothing to draw"
                                    : problem.message;
    std::fprintf(stderr, "%s\n", located(parsed.sourcePath(), problem.line, message).c_str());
    return reported(errors::Problem::Kind::Failed);
  }
  const bool replacing = named && std::filesystem::exists(output);
  linkEditor(*chart->drawing, editor, parsed.sourcePath());
  // The page says which method of which class and file it shows.
  drawing::HtmlFrame frame;
  frame.titleHtml = site::asciiHtml(methodPlace(parsed, index));
  if (errors::Status saved = saveDrawing(*chart->drawing, output, &frame); !saved)
    return cannotWrite(output, "the drawing", saved.problem());
  std::printf("%s: %s, %zu page%s%s\n", output.c_str(), utf8Text(summary.displayName(method), parsed.charset()).c_str(),
              chart->drawing->pages.size(), chart->drawing->pages.size() == 1 ? "" : "s",
              replacing ? " (replacing the earlier drawing)" : "");
  return Finished{};
}

CommandResult drawAll(pipeline::ParsedSource& parsed, std::string output, FoldMode fold,
            pipeline::SequenceSources& classes, const std::string& editor) {
  const pipeline::FileSummary& summary = parsed.summary();
  if (output.empty()) output = fileSafeName(fileStem(parsed.sourcePath())) + ".html";
  const formats::Writer writer = writerOf(output, formats::kFlowchart);
  if (writer == formats::Writer::Markdown) {
    std::vector<const pipeline::MethodSummary*> all;
    for (const pipeline::MethodSummary& method : summary.methods) all.push_back(&method);
    return writeMermaid(parsed, all, output, classes);
  }
  if (writer != formats::Writer::Html) {
    std::fprintf(stderr, "draw: every method of a file goes into one HTML page or Markdown document; name a .html "
                         "or .md output\n");
    return reported(errors::Problem::Kind::Usage);
  }
  std::vector<size_t> methods;
  for (size_t i = 0; i < summary.methods.size(); ++i) methods.push_back(i);
  std::vector<std::unique_ptr<drawing::Document>> drawings;
  std::vector<drawing::NamedDrawing> sections;
  std::vector<std::string> anchors;
  CommandResult ending = Finished{};
  for (size_t i : methods) {
    const pipeline::MethodSummary& method = summary.methods[i];
    errors::Result<pipeline::MethodFlowchart> chart =
        pipeline::drawMethodFlowchart(parsed, method, foldFor(fold), &classes);
    if (!chart) {
      const errors::Problem& problem = chart.problem();
      anchors.emplace_back();
      // A method without a body is listed, with nothing to draw.
      if (problem.kind == errors::Problem::Kind::NoBody) continue;
      std::fprintf(stderr, "%s\n", located(parsed.sourcePath(), problem.line, problem.message).c_str());
      ending = reported(errors::Problem::Kind::Failed);
      continue;
    }
    const std::string prefix = "m" + std::to_string(i + 1) + "-";
    anchors.push_back(prefix + "page-1");
    linkEditor(*chart->drawing, editor, parsed.sourcePath());
    drawings.push_back(std::move(chart->drawing));
    // The page is written in the source's encoding, like the drawings' texts.
    sections.push_back(drawing::NamedDrawing{prefix, summary.displayName(method),
                                          drawings.back().get()});
  }
  const std::string title = fileStem(parsed.sourcePath()) + ".java";
  const text::Charset encoding = parsed.charset();
  const std::string page =
      drawing::drawingsHtml(title, methodIndex(parsed, methods, anchors), sections, encoding, kDrawingLanguage);
  if (errors::Status saved = files::writeAtomically(output, page); !saved)
    return cannotWrite(output, "the drawing", saved.problem());
  std::printf("%s: %zu of %zu methods drawn\n", output.c_str(), drawings.size(), methods.size());
  return ending;
}

}  // namespace

errors::Status saveDrawing(const drawing::Document& drawing, const std::string& path, const drawing::HtmlFrame* frame) {
  const formats::Writer writer = writerOf(path, formats::kFlowchart | formats::kSequence);
  switch (writer) {
    case formats::Writer::Png:
    case formats::Writer::Pdf: {
      const std::string svg = drawing::drawingSvg(drawing);
      const errors::Result<std::string> picture =
          writer == formats::Writer::Png ? raster::pngFromSvg(svg) : raster::pdfFromSvg(svg);
      if (!picture) return picture.problem();
      return files::writeAtomically(path, *picture);
    }
    case formats::Writer::Svg: return files::writeAtomically(path, drawing::drawingSvg(drawing));
    case formats::Writer::Html:
      return files::writeAtomically(path, frame ? drawing::drawingHtml(drawing, *frame) : drawing::drawingHtml(drawing));
    default: return files::writeAtomically(path, drawing::drawingXml(drawing));
  }
}

formats::Writer writerOf(const std::string& path, unsigned serving) {
  const formats::Format* form = formats::formatOf(path, static_cast<formats::Serves>(serving));
  return form ? form->writer : formats::Writer::DrawingXml;
}

CommandResult runDraw(const DrawRequest& request) {
  if (errors::Status tree = checkSourceTree(request.sourceTree); !tree) return tree.problem();
  errors::Result<pipeline::ParsedSource> parsed = parseSource(request.source, request.languageLevel);
  if (!parsed) return parsed.problem();
  // The classes of the file and the tree, for the exception classes the
  // program declares itself.
  pipeline::SequenceSources classes(*parsed, request.sourceTree);
  if (request.method.empty()) return drawAll(*parsed, request.output, request.fold, classes, request.editor);

  const errors::Result<size_t> method = pickMethod(*parsed, request.method, "draw");
  if (!method) return method.problem();
  return drawOne(*parsed, *method, request.output, request.fold, classes, request.editor);
}

}  // namespace cli
