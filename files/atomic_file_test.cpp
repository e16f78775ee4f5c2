#include "files/atomic_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

size_t entriesIn(const fs::path& dir) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(AtomicFile, TargetsWithTheLongestNamesCanBeWritten) {
  // The temporary name beside a target does not grow with the target's.
  TempDir dir;
  for (const size_t length : {200u, 240u, 255u}) {
    const std::string target = dir.file(std::string(length, 'n'));
    ASSERT_TRUE(files::writeAtomically(target, "first").ok()) << length;
    ASSERT_TRUE(files::writeAtomically(target, "second").ok()) << length;
    EXPECT_EQ(readFile(target), "second");
    const std::string reserved = files::reserveTemporaryFile(target);
    ASSERT_FALSE(reserved.empty()) << length;
    EXPECT_EQ(fs::path(reserved).parent_path(), dir.path());
    fs::remove(reserved);
    fs::remove(target);
  }
  EXPECT_EQ(entriesIn(dir.path()), 0u);
}

TEST(AtomicFile, AFailedWriteSaysTheSystemsReason) {
  TempDir dir;
  fs::create_directory(dir.path() / "folder");
  const errors::Status written = files::writeAtomically(dir.file("folder"), "text");
  ASSERT_FALSE(written.ok());
  EXPECT_EQ(written.problem().systemError, EISDIR);
  EXPECT_EQ(written.problem().message, dir.file("folder") + ": " + std::generic_category().message(EISDIR));
  EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(AtomicFile, ClosedFilesReplaceTheirTargetsOnlyOnCommit) {
  TempDir dir;
  const std::string target = dir.file("t.xml");
  writeFile(target, "old");
  {
    files::AtomicFile file(target);
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(file.write("new"));
    ASSERT_TRUE(file.close());
    EXPECT_FALSE(file.write("more"));
    EXPECT_EQ(readFile(target), "old");
    ASSERT_TRUE(file.commit());
  }
  EXPECT_EQ(readFile(target), "new");
  {
    files::AtomicFile file(target);
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(file.write("never"));
    ASSERT_TRUE(file.close());
  }
  EXPECT_EQ(readFile(target), "new");
  EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(StagedFiles, TargetsAreReplacedTogetherOrNotAtAll) {
  TempDir dir;
  const std::string a = dir.file("a"), b = dir.file("b");
  writeFile(a, "old a");
  writeFile(b, "old b");
  fs::create_directory(dir.path() / "folder");
  {
    files::StagedFiles files;
    const std::string stagedA = files.stage(a);
    const std::string stagedB = files.stage(b);
    ASSERT_FALSE(stagedA.empty());
    ASSERT_FALSE(stagedB.empty());
    EXPECT_TRUE(files.stage(dir.file("folder")).empty());
    EXPECT_TRUE(files.stage(dir.file("missing/c")).empty());
    ASSERT_TRUE(files::writeAtomically(stagedA, "new a").ok());
    ASSERT_TRUE(files::writeAtomically(stagedB, "new b").ok());
    EXPECT_EQ(readFile(a), "old a");
    // Given up: the staging files go, the targets stay.
  }
  EXPECT_EQ(readFile(a), "old a");
  EXPECT_EQ(readFile(b), "old b");
  EXPECT_EQ(entriesIn(dir.path()), 3u);
  {
    files::StagedFiles files;
    ASSERT_TRUE(files::writeAtomically(files.stage(a), "new a").ok());
    ASSERT_TRUE(files::writeAtomically(files.stage(b), "new b").ok());
    ASSERT_TRUE(files.commit());
  }
  EXPECT_EQ(readFile(a), "new a");
  EXPECT_EQ(readFile(b), "new b");
  EXPECT_EQ(entriesIn(dir.path()), 3u);
}

}  // namespace
