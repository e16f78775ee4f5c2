// flowchart index: the outputs of several batch runs (the shards of one
// tree, drawn on several machines) merged into one site.
//
// The merge takes from each output the files its own index shows (the
// list in site/site.json), and of each file only its page and the drawings
// its record names, never through a symbolic link.  The new site is built
// in a folder beside SITE and put in SITE's place in one step, so that a
// full disk, Ctrl-C or SIGTERM at any point leaves the previous site whole.
#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "errors/problem.h"
#include "files/file_system.h"

namespace site {

struct MergeResult {
  // Usage when the outputs cannot be merged at all, Failed when a file or
  // the site could not be taken or written (the previous site then stays
  // as it was), else None.
  errors::Problem::Kind failure = errors::Problem::Kind::None;
  bool interrupted = false;           // stopped by stop; the previous site stays as it was
  std::vector<std::string> messages;  // for standard error, in order
  std::string summary;                // for standard output, on success
};

// Merges the outputs into the site folder through disk; stops (and leaves
// the previous site as it was) when stop turns true before the switch.
MergeResult mergeSites(const std::vector<std::string>& outputDirs, const std::string& siteDir, files::FileSystem& disk,
                       const std::atomic<bool>& stop);

}  // namespace site
