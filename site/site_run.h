// A batch run's share of the site's work before and after the files are
// drawn: which files are kept and which drawn, the record of a file whose
// worker was lost, and the index written over all of them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "errors/problem.h"
#include "files/file_system.h"
#include "git/changed_lines.h"
#include "site/file_drawing.h"

namespace site {

struct RunPlan {
  std::vector<SourceFile> files;  // by path; those kept hold their record
  std::vector<size_t> toDraw;     // the indexes of the files to draw
  uint64_t bytesToDraw = 0;
  TreeProblems treeProblems;
  std::vector<std::string> damagedRecords;  // said, and the files drawn again
};

// The .java files below sourceDir in the run's shard.  A run of the
// changed methods (changed given) keeps what it does not redraw: a file
// without changes keeps its record and drawings and stays in the index
// (one whose record is damaged or lacks drawings is drawn whole); a file
// never drawn is left out.  Any other run keeps the files whose records
// still stand, unless forced.
RunPlan planRun(files::FileSystem& disk, const std::filesystem::path& sourceDir,
                const std::filesystem::path& outputDir, const DrawingRequest& request,
                const git::ChangedLines* changed);

// Once a file's work ended: its record read back; when its worker was
// lost (lost says why), a record saying so, kept where the others are for
// the index and for merging; when the machine cut it short, a record for
// this run's index only, so that the next run draws it again.
void settleFile(files::FileSystem& disk, SourceFile& file, const DrawingRequest& request, const std::string& lost,
                const std::optional<std::string>& cutShort);

struct RunIndex {
  size_t files = 0;    // in the index
  size_t methods = 0;  // drawn
};

// The site's index, data and shared files over the files with a record.
errors::Result<RunIndex> writeRunIndex(files::FileSystem& disk, const std::filesystem::path& sourceDir,
                                       const std::filesystem::path& outputDir, const DrawingRequest& request,
                                       const std::vector<SourceFile>& files);

}  // namespace site
