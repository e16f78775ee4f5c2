// A file of the site drawn through a disk that fills up at every one of
// its writes in turn: the machine's trouble is said as such, the file is
// left for the next run without a record, and what an earlier run wrote
// stays byte for byte; then the site's index on a full disk.
#include "site/file_drawing.h"

#include <gtest/gtest.h>

#include <map>

#include "site/site_run.h"
#include "tests/support/faulty_disk.h"
#include "tests/support/test_support.h"

namespace site {
namespace {

namespace fs = std::filesystem;
using testing_support::FaultyDisk;
using testing_support::readFile;
using testing_support::TempDir;

const char* kTill =
    "class Till {\n"
    "  int change(int paid, int price) {\n"
    "    if (paid < price) return -1;\n"
    "    return paid - price;\n"
    "  }\n"
    "  void count(int[] coins) { for (int c : coins) { total += c; } }\n"
    "  int total;\n"
    "}\n";

// Every file below the folder with its bytes.
std::map<std::string, std::string> filesBelow(const fs::path& folder) {
  std::map<std::string, std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) found[entry.path().lexically_relative(folder).generic_string()] = readFile(entry.path());
  return found;
}

// The events of drawing every file of the plan, one line each.
std::string drawAll(files::FileSystem& disk, RunPlan& plan, const DrawingRequest& request) {
  std::string told;
  for (const size_t i : plan.toDraw)
    drawFile(disk, plan.files[i], request, nullptr, [&](const FileEvent& event) { told += eventLine(event) + "\n"; },
             nullptr);
  return told;
}

TEST(FileDrawing, AFullDiskAtAnyWriteLeavesTheFileForTheNextRun) {
  TempDir dir;
  fs::create_directories(dir.path() / "src");
  testing_support::writeFile(dir.path() / "src/Till.java", kTill);
  const fs::path out = dir.path() / "out";
  DrawingRequest request;
  request.languageLevel = 17;
  request.sequence = true;
  request.formats = {"md", "puml"};
  RunPlan plan = planRun(files::realFileSystem(), dir.path() / "src", out, request, nullptr);
  ASSERT_EQ(plan.toDraw.size(), 1u);
  EXPECT_EQ(drawAll(files::realFileSystem(), plan, request), "m\t1\nm\t1\n");
  std::map<std::string, std::string> drawn = filesBelow(out);
  ASSERT_EQ(drawn.size(), 10u);  // two pages, sequences, Markdown and PlantUML each, the file's page, the record
  // Without its record, which a file cut short must not get.
  const std::string recordName = "site/records/Till.java/record.json";
  const std::string record = drawn.at(recordName);
  drawn.erase(recordName);
  fs::remove(out / recordName);

  // Drawn again (forced) on a disk that is full from write `at` on.
  request.force = true;
  for (size_t at = 1;; ++at) {
    FaultyDisk full;
    full.failAt = at;
    full.failAll = true;
    RunPlan again = planRun(full, dir.path() / "src", out, request, nullptr);
    const std::string told = drawAll(full, again, request);
    if (full.writes < at) {
      EXPECT_EQ(told, "m\t1\nm\t1\n");
      drawn[recordName] = record;
      EXPECT_EQ(filesBelow(out), drawn);
      break;
    }
    EXPECT_EQ(filesBelow(out), drawn) << "full from write " << at;
    const size_t cut = told.find("\nr\t");
    ASSERT_NE(cut, std::string::npos) << "full from write " << at << ":\n" << told;
    EXPECT_TRUE(told.find(": no space left in ", cut) != std::string::npos ||
                told.find(": No space left on device", cut) != std::string::npos)
        << told;
    EXPECT_EQ(told.find('\n', cut + 1), told.size() - 1) << "the cut is the last word: " << told;
    settleFile(full, again.files[0], request, "", told.substr(cut + 3, told.size() - cut - 4));
    EXPECT_EQ(again.files[0].record->status, FileRecord::Status::Failed);
  }

  // The index of a site whose disk is full says so of the output folder.
  FaultyDisk full;
  full.failAt = 1;
  full.failAll = true;
  settleFile(files::realFileSystem(), plan.files[0], request, "", std::nullopt);
  const errors::Result<RunIndex> index = writeRunIndex(full, dir.path() / "src", out, request, plan.files);
  ASSERT_FALSE(index);
  EXPECT_EQ(index.problem().message, out.string() + ": the site cannot be written: no space left in " + out.string());
  const errors::Result<RunIndex> written = writeRunIndex(files::realFileSystem(), dir.path() / "src", out, request,
                                                         plan.files);
  ASSERT_TRUE(written);
  EXPECT_EQ(written->files, 1u);
  EXPECT_EQ(written->methods, 2u);
}

}  // namespace
}  // namespace site
