// Running git for the commands that read a repository (--changed-since,
// diff): by argv, never through a shell, so that no path or revision is
// ever read as shell syntax.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "errors/problem.h"

namespace git {

// What git answered: its exit status and its outputs.
struct GitRun {
  int status = 0;
  std::string out, err;
  bool succeeded() const { return status == 0; }
};

// A run of git, or the problem that kept it from starting (no git on the
// PATH, no pipes or processes left).
using GitOutcome = errors::Result<GitRun>;

// Runs git with the arguments and the input on its standard input (empty:
// none).
GitOutcome runGit(const std::vector<std::string>& arguments, std::string_view input = {});

// Runs git as runGit does, but hands its standard output to onOutput piece
// by piece as it comes, instead of keeping it in the run's out, so that
// the caller can start on the first part of a long answer.
GitOutcome streamGit(const std::vector<std::string>& arguments, std::string_view input,
                     const std::function<void(std::string_view piece)>& onOutput);

// Whether git started and exited 0.
inline bool succeeded(const GitOutcome& run) { return run.ok() && run->succeeded(); }

// The top folder of the repository holding the folder, as git names it;
// nullopt outside a repository or when git cannot be run.
std::optional<std::string> topFolder(const std::string& folder);

// The first line git wrote on standard error, as " (git: ...)" for a
// message; empty when it wrote nothing or did not start.
std::string gitSays(const GitOutcome& run);

}  // namespace git
