#include "cli/command_result.h"

#include "cli/command_line.h"

namespace cli {

int exitCodeFor(errors::Problem::Kind kind) {
  using Kind = errors::Problem::Kind;
  switch (kind) {
    case Kind::None: return kExitDone;
    case Kind::Usage:
    case Kind::Unreadable: return kExitUsage;
    case Kind::Syntax:
    case Kind::Failed:
    case Kind::NoBody:
    case Kind::Resource: return kExitSomeFailed;
  }
  return kExitSomeFailed;
}

int exitCode(const CommandResult& result) {
  if (!result) return exitCodeFor(result.problem().kind);
  if (result->stoppedBy != 0) return 128 + result->stoppedBy;
  return result->overThreshold ? kExitOverThreshold : kExitDone;
}

}  // namespace cli
