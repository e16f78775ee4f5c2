// The flowchart command's commands.  Each returns the exit code; results
// go to standard output, problems to standard error.
#pragma once

#include <cstdint>
#include <cstdio>

#include "cli/command_line.h"
#include "flowdraw/pages.h"
#include "pipeline/parsed_source.h"
#include "pipeline/problem.h"

namespace cli {

// The language the drawings' texts are in, as the drawing host takes it.
inline constexpr uint16_t kUsEnglish = 1033;

int runList(const ListRequest& request);
int runDraw(const DrawRequest& request);
int runSequence(const SequenceRequest& request);
int runBatch(const BatchRequest& request);
int runCheck(const CheckRequest& request);
int runIndex(const IndexRequest& request);

// Input that cannot be read is wrong usage; anything else a failure.
inline int exitCodeFor(const pipeline::Problem& problem) {
  return problem.kind == pipeline::Problem::Kind::Unreadable ? kExitUsage : kExitSomeFailed;
}

inline flowdraw::Fold foldFor(FoldMode mode) {
  switch (mode) {
    case FoldMode::None: return flowdraw::Fold::None;
    case FoldMode::All: return flowdraw::Fold::All;
    default: return flowdraw::Fold::Auto;
  }
}

// The source a command works on, parsed; when it cannot be, the problem
// is reported as FILE:LINE: message and exitCode says how the command ends.
std::optional<pipeline::ParsedSource> parseSource(const std::string& path, int languageLevel, int& exitCode);

// A --src DIR that is no folder is reported and ends the command with
// kExitUsage; 0 when it is a folder or not given.
int checkSourceTree(const std::string& tree);

}  // namespace cli
