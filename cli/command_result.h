// How a command ends, and the one place that turns it into the exit code
// the README documents (### Exit codes).
#pragma once

#include "errors/problem.h"

namespace cli {

// A command that ran to its end: with every method under its thresholds
// or not (flowchart check), or stopped by a signal (batch, index).
struct Finished {
  bool overThreshold = false;
  int stoppedBy = 0;  // SIGINT or SIGTERM
};

// Finished, or the problem that made the command fail; the command has
// said what went wrong on standard error, as FILE:LINE: message.
using CommandResult = errors::Result<Finished>;

// A problem of this kind, already said on standard error.
inline errors::Problem reported(errors::Problem::Kind kind) { return errors::Problem(kind, "said on standard error"); }

// 0 done; 1 some files or methods failed (or the machine ran short);
// 2 wrong usage or input that cannot be read.
int exitCodeFor(errors::Problem::Kind kind);

// The above, 3 for a method over a threshold, 128 + the signal for a
// run that was stopped.
int exitCode(const CommandResult& result);

}  // namespace cli
