// flowchart index's merge through a disk that fills up, or is stopped, at
// every one of its writes in turn: the previous site stays whole every
// time, and nothing is left beside it.
#include "site/site_merge.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>

#include "site/file_record.h"
#include "site/site_layout.h"
#include "tests/support/faulty_disk.h"
#include "tests/support/test_support.h"

namespace site {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;

using testing_support::FaultyDisk;

// Writes a file, making its folders first.
void writeFile(const fs::path& path, std::string_view text) {
  fs::create_directories(path.parent_path());
  testing_support::writeFile(path, text);
}

// A batch output holding the files given, each with one drawn method.
void makeOutput(const fs::path& root, uint32_t shard, uint32_t shards, const std::vector<std::string>& files,
                const std::string& drawingText) {
  SiteInfo info;
  info.title = "Flowcharts of src";
  info.shards = shards;
  info.covered = {shard};
  for (const std::string& relative : files) {
    FileRecord record;
    record.shard = shard;
    record.shards = shards;
    record.classes.push_back(ClassRecord{"C", "class", 1, 3, 3});
    MethodRecord method;
    method.name = "C.m()";
    method.line = 2;
    method.endLine = 2;
    method.drawing = "C.m-L2.html";
    record.methods.push_back(method);
    writeFile(recordPath(root, relative), recordText(record));
    writeFile(fileOutputFolder(root, relative) / kFilePageName, "page of " + relative);
    writeFile(fileOutputFolder(root, relative) / method.drawing, drawingText + relative);
    info.files.push_back(relative);
  }
  writeFile(siteInfoPath(root), siteInfoText(info));
}

// Every file below the folder, with its bytes.
std::map<std::string, std::string> contentOf(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files[entry.path().lexically_relative(folder).generic_string()] = readFile(entry.path());
  return files;
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SiteMerge, AFullDiskOrAStopAnywhereLeavesThePreviousSiteWhole) {
  TempDir dir;
  const fs::path work = dir.path() / "work";
  makeOutput(work / "one", 1, 2, {"a/A.java", "B.java"}, "first ");
  makeOutput(work / "two", 2, 2, {"c/C.java"}, "first ");
  const std::vector<std::string> outputs = {(work / "one").string(), (work / "two").string()};
  const std::string siteDir = (work / "site").string();
  std::atomic<bool> never{false};
  const MergeResult first = mergeSites(outputs, siteDir, files::realFileSystem(), never);
  ASSERT_EQ(first.failure, errors::Problem::Kind::None);
  EXPECT_EQ(first.summary, siteDir + "/index.html: 3 files, 3 methods from 2 output folders");
  const std::map<std::string, std::string> previous = contentOf(work / "site");
  EXPECT_EQ(previous.size(), 3 * 3 + 10u);  // each file's page, drawing and record; the index, its method data and shared files

  // The shards drawn again: new drawings, and a file more.
  makeOutput(work / "one", 1, 2, {"a/A.java", "B.java", "D.java"}, "second ");
  const std::vector<std::string> beside = namesIn(work);
  size_t writes = 0;
  for (size_t at = 1;; ++at) {
    FaultyDisk full;
    full.failAt = at;
    const MergeResult result = mergeSites(outputs, siteDir, full, full.stop);
    writes = full.writes;
    if (at > writes) {
      ASSERT_EQ(result.failure, errors::Problem::Kind::None);
      break;
    }
    ASSERT_EQ(result.failure, errors::Problem::Kind::Failed) << at;
    ASSERT_EQ(result.messages.size(), 1u);
    if (at < writes)
      EXPECT_EQ(result.messages[0], siteDir + ": cannot build the merged site beside it in " + work.string() +
                                        ": no space left on the device; the site is left as it was");
    EXPECT_EQ(contentOf(work / "site"), previous) << "a full disk at write " << at;
    EXPECT_EQ(namesIn(work), beside) << at;
  }
  EXPECT_GT(writes, 20u);
  const std::map<std::string, std::string> merged = contentOf(work / "site");
  EXPECT_EQ(merged.size(), 4 * 3 + 10u);
  EXPECT_EQ(merged.at("files/B.java/C.m-L2.html"), "second B.java");

  // Stopped at any write before the switch, the site is as it was; at the
  // switch, the new one is whole.
  makeOutput(work / "two", 2, 2, {"c/C.java"}, "third ");
  for (size_t at = 1; at <= writes; ++at) {
    FaultyDisk stopping;
    stopping.stopAt = at;
    const MergeResult result = mergeSites(outputs, siteDir, stopping, stopping.stop);
    EXPECT_EQ(namesIn(work), beside) << at;
    if (at < writes) {
      EXPECT_TRUE(result.interrupted) << at;
      EXPECT_EQ(contentOf(work / "site"), merged) << "stopped at write " << at;
    } else {
      EXPECT_FALSE(result.interrupted);
      EXPECT_EQ(contentOf(work / "site").at("files/c/C.java/C.m-L2.html"), "third c/C.java");
    }
  }
}

}  // namespace
}  // namespace site
