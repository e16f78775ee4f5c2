// Runs the built engine: the mode table, silence, and the archive modes.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/test_support.h"

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::runEngine;
using testing_support::runShell;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

size_t entriesIn(const fs::path& dir) {
  return static_cast<size_t>(std::distance(fs::recursive_directory_iterator(dir),
                                           fs::recursive_directory_iterator()));
}

std::vector<std::string> args(const std::string& mode, int argc, const TempDir& dir) {
  std::vector<std::string> out{mode};
  for (int i = 2; i < argc; ++i) out.push_back(dir.file("arg" + std::to_string(i)));
  return out;
}

}  // namespace

TEST(EngineModes, ProbeAndUnknownModes) {
  TempDir dir;
  auto none = runEngine({}, dir.path());
  EXPECT_EQ(none.exitCode, 0);
  EXPECT_EQ(runEngine({"16"}, dir.path()).exitCode, 1);
  EXPECT_EQ(runEngine({"16", "a", "b", "c"}, dir.path()).exitCode, 1);
  for (const char* mode : {"0", "9", "10", "19", "abc", "-16"}) {
    auto run = runEngine({mode, "x"}, dir.path());
    EXPECT_EQ(run.exitCode, 0) << mode;
    EXPECT_EQ(run.out + run.err, "") << mode;
  }
  // The XML component is part of the engine: the probe succeeds for any argc.
  EXPECT_EQ(runEngine({"15"}, dir.path()).exitCode, 1);
  EXPECT_EQ(runEngine({"15", "a.dll", "b.dll"}, dir.path()).exitCode, 1);
  EXPECT_EQ(entriesIn(dir.path()), 0u);
}

TEST(EngineModes, WrongArgumentCountsWriteNothing) {
  TempDir dir;
  const std::pair<const char*, int> counts[] = {{"7", 9}, {"8", 13}, {"11", 3}, {"12", 3}, {"17", 7}, {"18", 7}};
  for (auto [mode, argc] : counts) {
    for (int wrong : {argc - 1, argc + 1}) {
      auto run = runEngine(args(mode, wrong, dir), dir.path());
      EXPECT_EQ(run.exitCode, 0) << mode << " with argc " << wrong;
      EXPECT_EQ(run.out + run.err, "") << mode;
    }
  }
  EXPECT_EQ(entriesIn(dir.path()), 0u);
}

TEST(EngineModes, PackAndUnpackThroughTheEngine) {
  TempDir dir;
  const fs::path proj = dir.path() / "proj";
  fs::create_directories(proj / "src" / "pkg");
  writeFile(proj / "README", "read me\n");
  writeFile(proj / "src" / "pkg" / "A.java", "class A {}\n");
  auto pack = runEngine({"11", proj.string()}, dir.path());
  EXPECT_EQ(pack.exitCode, 1);
  EXPECT_EQ(pack.out + pack.err, "");
  ASSERT_EQ(runShell("unzip -tq '" + (dir.path() / "proj.zip").string() + "' >/dev/null"), 0);

  fs::rename(proj, dir.path() / "original");
  auto unpack = runEngine({"12", (dir.path() / "proj.zip").string()}, dir.path());
  EXPECT_EQ(unpack.exitCode, 1);
  EXPECT_EQ(unpack.out + unpack.err, "");
  EXPECT_EQ(readFile(proj / "src" / "pkg" / "A.java"), "class A {}\n");
  EXPECT_EQ(readFile(proj / "README"), "read me\n");

  // Bad input: still 1, still silent.
  for (const std::string& bad : {dir.file("missing"), dir.file("proj/README")}) {
    auto run = runEngine({"11", bad}, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out + run.err, "");
    run = runEngine({"12", bad}, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out + run.err, "");
  }
}

// Files are written through temporary names beside them; those names do
// not grow with the target's, so names as long as the file system allows
// (255 bytes here) can still be written by every mode.
TEST(EngineModes, NamesAsLongAsTheFileSystemAllows) {
  TempDir dir;
  const std::string name(250, 'n');
  // Mode 7: all four outputs.
  writeFile(dir.path() / "A.java", "class A { void f() { } }\n");
  const std::string tree = dir.file(name + "-st"), comments = dir.file(name + "-c"),
                    status = dir.file(name + "-s"), results = dir.file(name + ".xml");
  EXPECT_EQ(runEngine({"7", dir.file("A.java"), tree, comments, status, results, "1", "x"}).exitCode, 0);
  for (const std::string& path : {tree, comments, status, results}) EXPECT_TRUE(fs::exists(path)) << path;
  EXPECT_EQ(readFile(status), "<ParseSuccess/>");

  // Mode 11: the archive's name is the folder's plus ".zip", 255 bytes.
  const fs::path folder = dir.path() / std::string(251, 'f');
  fs::create_directories(folder);
  writeFile(folder / name, "long\n");
  EXPECT_EQ(runEngine({"11", folder.string()}).exitCode, 1);
  const fs::path archive = folder.string() + ".zip";
  ASSERT_TRUE(fs::exists(archive));

  // Mode 12: an entry with a long name comes out.
  fs::rename(archive, dir.path() / "p.zip");
  EXPECT_EQ(runEngine({"12", dir.file("p.zip")}).exitCode, 1);
  EXPECT_EQ(readFile(dir.path() / "p" / name), "long\n");
}
