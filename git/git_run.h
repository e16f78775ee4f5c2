// Running git for the commands that read a repository (--changed-since,
// diff): by argv, never through a shell, so that no path or revision is
// ever read as shell syntax.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace git {

// What a run of git gave: its exit status (nullopt when git could not be
// started at all) and its outputs.
struct GitRun {
  std::optional<int> status;
  std::string out, err;
  bool succeeded() const { return status && *status == 0; }
};

// Runs git with the arguments and the input on its standard input (empty:
// none).
GitRun runGit(const std::vector<std::string>& arguments, std::string_view input = {});

// Runs git as runGit does, but hands its standard output to onOutput piece
// by piece as it comes, instead of keeping it in the run's out, so that
// the caller can start on the first part of a long answer.
GitRun streamGit(const std::vector<std::string>& arguments, std::string_view input,
                 const std::function<void(std::string_view piece)>& onOutput);

// The top folder of the repository holding the folder, as git names it;
// nullopt outside a repository or when git cannot be run.
std::optional<std::string> topFolder(const std::string& folder);

// The first line git wrote on standard error, as " (git: ...)" for a
// message; empty when it wrote nothing.
std::string gitSays(const GitRun& run);

}  // namespace git
