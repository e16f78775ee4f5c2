#include "site/site_run.h"

#include <algorithm>

#include "site/index_page.h"
#include "site/output_names.h"
#include "site/site_layout.h"

namespace site {

namespace fs = std::filesystem;

RunPlan planRun(files::FileSystem& disk, const fs::path& sourceDir, const fs::path& outputDir,
                const DrawingRequest& request, const git::ChangedLines* changed) {
  RunPlan plan;
  std::vector<SourceFile> found = findSources(disk, sourceDir, outputDir, plan.treeProblems);
  for (SourceFile& file : found) {
    if (request.shards > 1 && !inShard(file.relative, request.shard, request.shards)) continue;
    if (request.leavesOut && request.leavesOut(file.source)) continue;
    std::string damaged;
    bool leftOut = false;
    if (changed) {
      std::optional<FileRecord> earlier = earlierRecord(disk, file, &damaged);
      if (earlier && !drawingsThere(disk, file, *earlier)) earlier.reset();
      const bool touched = changed->touchesFile(file.source.string());
      // A file drawn before whose record cannot be built on (damaged, of
      // an older version or level, drawings missing), or any with
      // --force, is drawn whole.
      file.drawWhole = disk.exists(file.recordFile) &&
                       (request.force || !earlier || earlier->languageLevel != request.languageLevel);
      if (!touched) file.record = std::move(earlier);
      leftOut = !touched && !file.record && !file.drawWhole;
    } else if (!request.force) {
      file.record = keptRecord(disk, file, request, damaged);
    }
    if (!damaged.empty()) plan.damagedRecords.push_back(damaged);
    if (leftOut) continue;
    plan.files.push_back(std::move(file));
  }
  for (size_t i = 0; i < plan.files.size(); ++i) {
    if (plan.files[i].record) continue;
    plan.toDraw.push_back(i);
    plan.bytesToDraw += plan.files[i].size;
  }
  return plan;
}

void settleFile(files::FileSystem& disk, SourceFile& file, const DrawingRequest& request, const std::string& lost,
                const std::optional<std::string>& cutShort) {
  if (!lost.empty()) {
    FileRecord failed;
    failed.status = FileRecord::Status::Failed;
    failed.problem = "not drawn: " + lost;
    failed.shard = request.shard;
    failed.shards = request.shards;
    file.record = failed;
    // Kept where the other records are, for the index and for merging;
    // a disk too full for it leaves the file to the next run all the same.
    if (disk.makeFolders(file.recordFile.parent_path())) disk.replaceFile(file.recordFile, recordText(failed)).ignore();
  } else if (cutShort) {
    // Listed as not drawn in this run's index, with the reason; nothing
    // on disk says so, and the next run draws the file again.
    FileRecord failed;
    failed.status = FileRecord::Status::Failed;
    failed.problem = *cutShort;
    file.record = failed;
  } else if (errors::Result<std::string> text = disk.readFile(file.recordFile)) {
    if (errors::Result<FileRecord> record = parseRecord(*text)) file.record = std::move(*record);
  }
}

errors::Result<RunIndex> writeRunIndex(files::FileSystem& disk, const fs::path& sourceDir, const fs::path& outputDir,
                                       const DrawingRequest& request, const std::vector<SourceFile>& files) {
  std::vector<IndexedFile> indexed;
  RunIndex counts;
  for (const SourceFile& file : files) {
    if (!file.record) continue;
    indexed.push_back(IndexedFile{file.relative, std::string(kFilesFolder) + "/" + file.relative + "/", &*file.record,
                                  disk.exists(file.outputFolder / kFilePageName)});
    counts.methods += file.record->methods.size() - file.record->failedMethods();
  }
  counts.files = indexed.size();
  const fs::path folder = fs::absolute(sourceDir).lexically_normal();
  std::string folderName = folder.filename().string();
  if (folderName.empty()) folderName = folder.parent_path().filename().string();
  SiteInfo info;
  info.title = request.title.empty() ? "Flowcharts of " + folderName : request.title;
  info.shards = request.shards;
  info.covered = {request.shard};
  if (errors::Status written = writeSite(disk, outputDir, info, indexed); !written) return std::move(written).problem();
  return counts;
}

}  // namespace site
