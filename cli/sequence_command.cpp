#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/commands.h"
#include "cli/method_choice.h"
#include "site/output_names.h"
#include "text/text_output.h"
#include "files/atomic_file.h"
#include "pipeline/method_sequence.h"
#include "pipeline/parsed_source.h"
#include "site/site_pages.h"
#include "site/write_failure.h"
#include "mermaid/markdown.h"
#include "mermaid/sequence_text.h"
#include "plantuml/sequence_text.h"

namespace cli {

using site::fittedFileName;
using text::hasExtension;
using text::located;

namespace {

std::string counted(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

errors::Status checkSourceTree(const std::string& tree) {
  std::error_code ec;
  if (tree.empty() || std::filesystem::is_directory(tree, ec)) return {};
  std::fprintf(stderr, "%s: %s\n", tree.c_str(), std::filesystem::exists(tree, ec) ? "is not a folder" : "no such folder");
  return reported(errors::Problem::Kind::Usage);
}

CommandResult runSequence(const SequenceRequest& request) {
  if (errors::Status tree = checkSourceTree(request.sourceTree); !tree) return tree.problem();
  errors::Result<pipeline::ParsedSource> parsed = parseSource(request.source, request.languageLevel);
  if (!parsed) return parsed.problem();
  const errors::Result<size_t> chosen = pickMethod(*parsed, request.method, "sequence");
  if (!chosen) return chosen.problem();
  const pipeline::MethodSummary& method = parsed->summary().methods[*chosen];
  const std::string name = utf8Text(parsed->summary().displayName(method), parsed->charset());
  const bool named = request.output.empty();
  const std::string output = named ? defaultOutputStem(*parsed, *chosen) + "-sequence.html" : request.output;
  const bool replacing = named && std::filesystem::exists(output);

  pipeline::SequenceSources sources(*parsed, request.sourceTree);
  // The text forms need the diagram only, not its layout, and have no
  // pages to fold it onto.
  const formats::Writer writer = writerOf(output, formats::kSequence);
  const bool mermaidText = writer == formats::Writer::Mermaid || writer == formats::Writer::Markdown ||
                           writer == formats::Writer::PlantUml;
  const bool graphOnly = writer == formats::Writer::Dot || mermaidText;
  const pipeline::SequenceOptions options{request.depth, request.maxMessages, request.sourceTree,
                                          request.followImplementations, graphOnly ? 0.0 : 3.0};
  drawing::HtmlFrame frame;
  frame.titleHtml = site::asciiHtml(methodPlace(*parsed, *chosen) + " \xC2\xB7 sequence diagram");
  errors::Result<pipeline::MethodSequence> sequence = graphOnly
                                                         ? pipeline::planMethodSequence(sources, method, options)
                                                         : pipeline::drawMethodSequence(sources, method, options);
  if (!sequence) {
    const errors::Problem& problem = sequence.problem();
    std::fprintf(stderr, "%s\n", located(parsed->sourcePath(), problem.line, problem.message).c_str());
    return reported(errors::Problem::Kind::Failed);
  }
  const bool latin1 = parsed->charset() == text::Charset::Latin1;
  const errors::Status saved =
      writer == formats::Writer::PlantUml
          ? files::writeAtomically(output, plantuml::sequenceText(sequence->diagram, latin1))
      : writer == formats::Writer::Mermaid
          ? files::writeAtomically(output, mermaid::sequenceText(sequence->diagram, latin1))
      : writer == formats::Writer::Markdown
          ? files::writeAtomically(output, mermaid::sequenceMarkdown(name, sequence->diagram, latin1))
      : graphOnly ? files::writeAtomically(output, pipeline::methodSequenceDot(*sequence))
                  : saveDrawing(*sequence->drawing, output, &frame);
  if (!saved) {
    const std::string why = saved.problem().systemError == 0
                                ? saved.problem().message
                                : site::whyNotWritten(output, saved.problem().systemError);
    std::fprintf(stderr, "%s: cannot write the %s%s\n", output.c_str(), mermaidText ? "diagram" : graphOnly ? "graph" : "drawing",
                 why.empty() ? "" : (": " + why).c_str());
    return reported(errors::Problem::Kind::Failed);
  }
  // The first page's counts; the pages a large diagram is folded onto after.
  const size_t pages = graphOnly ? 1 : sequence->pages.size();
  std::printf("%s: %s, %s, %s%s%s\n", output.c_str(), name.c_str(),
              counted(sequence->diagram.lifelines.size(), "lifeline").c_str(),
              counted(sequence->diagram.messages.size(), "message").c_str(),
              pages > 1 ? (", " + counted(pages, "page")).c_str() : "",
              replacing ? " (replacing the earlier drawing)" : "");
  for (const std::string& note : sequence->diagram.notes)
    std::printf("  note: %s\n", utf8Text(note, parsed->charset()).c_str());
  return Finished{};
}

}  // namespace cli
