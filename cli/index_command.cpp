// flowchart index: the outputs of several batch runs merged into one site
// (site_merge.h); Ctrl-C and SIGTERM stop it as they stop batch, leaving
// the previous site as it was.
#include <signal.h>

#include <atomic>
#include <cstdio>

#include "cli/commands.h"
#include "site/site_merge.h"

namespace cli {
namespace {

std::atomic<bool> stopRequested{false};
std::atomic<int> stoppingSignal{0};

extern "C" void onStop(int signal) {
  stoppingSignal.store(signal);
  stopRequested.store(true);
}

}  // namespace

CommandResult runIndex(const IndexRequest& request) {
  struct sigaction handler {}, previousInt{}, previousTerm{};
  handler.sa_handler = onStop;
  ::sigaction(SIGINT, &handler, &previousInt);
  ::sigaction(SIGTERM, &handler, &previousTerm);
  const site::MergeResult result =
      site::mergeSites(request.outputDirs, request.site, files::realFileSystem(), stopRequested);
  ::sigaction(SIGINT, &previousInt, nullptr);
  ::sigaction(SIGTERM, &previousTerm, nullptr);
  for (const std::string& message : result.messages) std::fprintf(stderr, "%s\n", message.c_str());
  if (result.interrupted) return Finished{false, stoppingSignal.load() == SIGTERM ? SIGTERM : SIGINT};
  if (!result.summary.empty()) std::printf("%s\n", result.summary.c_str());
  if (result.failure != errors::Problem::Kind::None) return reported(result.failure);
  return Finished{};
}

}  // namespace cli
