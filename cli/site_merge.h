// flowchart index: the outputs of several batch runs (the shards of one
// tree, drawn on several machines) merged into one site.
//
// The merge takes from each output the files its own index shows (the
// list in site/site.tsv), and of each file only its page and the drawings
// its record names, never through a symbolic link.  The new site is built
// in a folder beside SITE and put in SITE's place in one step, so that a
// full disk, Ctrl-C or SIGTERM at any point leaves the previous site whole.
#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cli/command_line.h"

namespace cli {

// The writes a merge makes, behind an interface so that a test can make
// any one of them fail as a full disk does.
class SiteDisk {
 public:
  virtual ~SiteDisk() = default;
  virtual std::error_code makeFolders(const std::filesystem::path& folder) = 0;
  virtual std::error_code writeFile(const std::filesystem::path& path, std::string_view bytes) = 0;
  // A copy of a regular file.  Never a hard link: an output's files may
  // be written over in place (an artifact unpacked over them), which
  // would change the published site.
  virtual std::error_code copyFile(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  // Puts the folder fresh in target's place in one step; the previous
  // target, if there was one, is then at old (for the caller to remove).
  virtual std::error_code switchFolders(const std::filesystem::path& fresh, const std::filesystem::path& target,
                                        std::filesystem::path& old) = 0;
  virtual void removeAll(const std::filesystem::path& path) = 0;
};

// The machine's own disk.
SiteDisk& realSiteDisk();

struct MergeResult {
  int exitCode = kExitDone;
  bool interrupted = false;           // stopped by stop; the previous site stays as it was
  std::vector<std::string> messages;  // for standard error, in order
  std::string summary;                // for standard output, on success
};

// Merges request.outputDirs into request.site through disk; stops (and
// leaves the previous site as it was) when stop turns true before the
// switch.
MergeResult mergeSites(const IndexRequest& request, SiteDisk& disk, const std::atomic<bool>& stop);

}  // namespace cli
