// flowchart: from Java source to flowchart pictures in one step.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "files/file_system.h"

namespace {

constexpr const char* kVersion = "flowchart " FLOWCHART_VERSION;

template <class... Handlers>
struct Overloaded : Handlers... {
  using Handlers::operator()...;
};
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const cli::ParseResult parsed = cli::parseCommandLine(arguments);
  if (!parsed) {
    // A command's own usage is the shorter read.
    const bool known = !arguments.empty() && cli::isCommand(arguments[0]);
    std::fprintf(stderr, "flowchart: %s\nRun 'flowchart %s' for usage.\n", parsed.problem().message.c_str(),
                 known ? ("help " + arguments[0]).c_str() : "--help");
    return cli::exitCodeFor(parsed.problem().kind);
  }
  cli::Request request = *parsed;
  std::error_code ec;
  const std::filesystem::path here = std::filesystem::current_path(ec);
  if (!ec) {
    if (errors::Status settled = cli::applySettings(request, files::realFileSystem(), here); !settled) {
      std::fprintf(stderr, "flowchart: %s\n", settled.problem().message.c_str());
      return cli::exitCodeFor(settled.problem().kind);
    }
  }
  return std::visit(
      Overloaded{
          [](const cli::HelpRequest& help) {
            std::fputs(cli::helpText(help.topic).c_str(), stdout);
            return cli::exitCode(cli::Finished{});
          },
          [](const cli::VersionRequest&) {
            std::printf("%s\n", kVersion);
            return cli::exitCode(cli::Finished{});
          },
          [](const cli::ListRequest& request) { return cli::exitCode(cli::runList(request)); },
          [](const cli::DrawRequest& request) { return cli::exitCode(cli::runDraw(request)); },
          [](const cli::SequenceRequest& request) { return cli::exitCode(cli::runSequence(request)); },
          [](const cli::BatchRequest& request) { return cli::exitCode(cli::runBatch(request)); },
          [](const cli::CheckRequest& request) { return cli::exitCode(cli::runCheck(request)); },
          [](const cli::DiffRequest& request) { return cli::exitCode(cli::runDiff(request)); },
          [](const cli::IndexRequest& request) { return cli::exitCode(cli::runIndex(request)); },
          [](const cli::ConfigRequest& request) { return cli::exitCode(cli::runConfig(request)); },
          [](const cli::LspRequest&) { return cli::runLsp(FLOWCHART_VERSION); },
      },
      request);
}
