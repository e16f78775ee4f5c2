// The flowchart command's commands.  Each returns the exit code; results
// go to standard output, problems to standard error.
#pragma once

#include <cstdio>

#include "cli/command_line.h"
#include "pipeline/problem.h"

namespace cli {

int runList(const ListRequest& request);
int runDraw(const DrawRequest& request);
int runBatch(const BatchRequest& request);

// Input that cannot be read is wrong usage; anything else a failure.
inline int exitCodeFor(const pipeline::Problem& problem) {
  return problem.kind == pipeline::Problem::Kind::Unreadable ? kExitUsage : kExitSomeFailed;
}

}  // namespace cli
