#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/commands.h"
#include "cli/failure_reason.h"
#include "cli/method_choice.h"
#include "cli/output_names.h"
#include "cli/text_output.h"
#include "files/atomic_file.h"
#include "pipeline/method_sequence.h"
#include "pipeline/parsed_source.h"
#include "render/host/save.h"

namespace cli {
namespace {

std::string counted(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

int checkSourceTree(const std::string& tree) {
  std::error_code ec;
  if (tree.empty() || std::filesystem::is_directory(tree, ec)) return 0;
  std::fprintf(stderr, "%s: %s\n", tree.c_str(), std::filesystem::exists(tree, ec) ? "is not a folder" : "no such folder");
  return kExitUsage;
}

int runSequence(const SequenceRequest& request) {
  if (const int refused = checkSourceTree(request.sourceTree)) return refused;
  int exitCode = kExitDone;
  std::optional<pipeline::ParsedSource> parsed = parseSource(request.source, request.languageLevel, exitCode);
  if (!parsed) return exitCode;
  const std::optional<size_t> chosen = pickMethod(*parsed, request.method, "sequence");
  if (!chosen) return kExitUsage;
  const pipeline::MethodSummary& method = parsed->summary().methods[*chosen];
  const std::string name = utf8Text(parsed->summary().displayName(method), parsed->charset());
  const std::string output = request.output.empty() ? fittedFileName(name) + "-sequence.html" : request.output;

  pipeline::SequenceSources sources(*parsed, request.sourceTree);
  const pipeline::SequenceOptions options{request.depth, request.maxMessages, request.sourceTree,
                                          request.followImplementations};
  const bool graphOnly = hasExtension(output, ".dot");
  errors::Result<pipeline::MethodSequence> sequence = graphOnly
                                                         ? pipeline::planMethodSequence(sources, method, options)
                                                         : pipeline::drawMethodSequence(sources, method, options);
  if (!sequence) {
    const pipeline::Problem& problem = sequence.problem();
    std::fprintf(stderr, "%s\n", located(parsed->sourcePath(), problem.line, problem.message).c_str());
    return kExitSomeFailed;
  }
  const bool saved = graphOnly ? files::writeFileAtomically(output, pipeline::methodSequenceDot(*sequence))
                               : host::saveDrawing(*sequence->drawing, kUsEnglish, output);
  if (!saved) {
    const std::string why = whyNotWritten(output);
    std::fprintf(stderr, "%s: cannot write the %s%s\n", output.c_str(), graphOnly ? "graph" : "drawing",
                 why.empty() ? "" : (": " + why).c_str());
    return kExitSomeFailed;
  }
  std::printf("%s: %s, %s, %s\n", output.c_str(), name.c_str(),
              counted(sequence->diagram.lifelines.size(), "lifeline").c_str(),
              counted(sequence->diagram.messages.size(), "message").c_str());
  for (const std::string& note : sequence->diagram.notes)
    std::printf("  note: %s\n", utf8Text(note, parsed->charset()).c_str());
  return kExitDone;
}

}  // namespace cli
