// Mode 7 on sources and paths that are broken: each gets a defined answer,
// nothing on the terminal, and no output beyond what the answer allows.
#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "tests/java/java_run.h"

using namespace javatest;
using testing_support::TempDir;

namespace fs = std::filesystem;

namespace {

void expectOnlyParseError(const ParseRun& run, int line, std::string_view what) {
  EXPECT_EQ(run.exitCode, 1) << what;
  EXPECT_EQ(run.err, "") << what;
  EXPECT_EQ(run.status, "<ParseError line=\"" + std::to_string(line) + "\"/>") << what;
  EXPECT_FALSE(run.tree) << what;
  EXPECT_FALSE(run.results) << what;
  EXPECT_FALSE(run.comments) << what;
}

}  // namespace

TEST(BadJavaInput, SourcesThatHoldNoProgram) {
  const std::pair<std::string, int> cases[] = {
      {"", 1},
      {"\"", 1},
      {"\\", 1},
      {"'", 1},
      {"\n\n\n", 4},
      {"class A { /* never closed\n\n", 3},
      {"class A { String s = \"abc\\q\"; }\n", 1},
      {std::string("\0\0\0class\0A", 10), 1},
      {"class A { void f() { int x = 1 +; } }\n", 1},
  };
  for (const auto& [source, line] : cases) {
    TempDir dir;
    expectOnlyParseError(parseSource(dir, source), line, source);
  }
}

TEST(BadJavaInput, LoneQuotesAreSkippedBytes) {
  // An opening quote without its closer is skipped, so what follows it
  // scans as ordinary tokens and the class is still valid.
  TempDir dir;
  ParseRun run = parseSource(dir, "class A { String s = \"abc; }\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.status, "<ParseSuccess/>");
  ASSERT_TRUE(run.tree);
  EXPECT_EQ(run.tree->find("STRLIT"), std::string::npos);
  EXPECT_NE(run.tree->find("<IDEN l=\"1\" c=\"22\" t=\"abc\"/>"), std::string::npos) << *run.tree;
}

TEST(BadJavaInput, RandomBytesNeverCrash) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    std::string bytes(4096, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
    TempDir dir;
    ParseRun run = parseSource(dir, bytes);
    EXPECT_EQ(run.exitCode, 1) << round;
    EXPECT_EQ(run.err, "") << round;
    ASSERT_TRUE(run.status) << round;
    EXPECT_EQ(run.status->rfind("<ParseError line=\"", 0), 0u) << round;
  }
}

TEST(BadJavaInput, PathsThatCannotBeUsed) {
  {
    // Source missing, or a folder: nothing is written at all.
    for (const bool folder : {false, true}) {
      TempDir dir;
      ParsePaths paths(dir.path());
      if (folder) fs::create_directory(paths.source);
      ParseRun run = parsePaths(paths);
      EXPECT_EQ(run.exitCode, 1) << folder;
      EXPECT_EQ(run.err, "");
      EXPECT_EQ(entriesIn(dir.path()), folder ? 1u : 0u) << folder;
    }
  }
  {
    // Status not writable: the parse fails before anything is written.
    TempDir dir;
    ParsePaths paths(dir.path());
    testing_support::writeFile(paths.source, "class A { }\n");
    paths.status = (dir.path() / "missing" / "status.xml").string();
    ParseRun run = parsePaths(paths);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
  }
  {
    // Tree not writable: the status says the parse failed.
    TempDir dir;
    ParsePaths paths(dir.path());
    testing_support::writeFile(paths.source, "class A { }\n");
    paths.tree = (dir.path() / "missing" / "st.tmp").string();
    ParseRun run = parsePaths(paths);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.status, "<ParseError line=\"2\"/>");
    EXPECT_FALSE(run.results);
  }
}

TEST(BadJavaInput, AFailedParseKeepsNoHalfWrittenFiles) {
  // Outputs of an earlier successful parse are not touched by a failing one
  // except the status, and no temporary files are left beside them.
  TempDir dir;
  ParsePaths paths(dir.path());
  testing_support::writeFile(paths.source, "class A { }\n");
  ASSERT_EQ(parsePaths(paths).exitCode, 0);
  const std::string tree = testing_support::readFile(paths.tree);
  testing_support::writeFile(paths.source, "class A {\n");
  ParseRun run = parsePaths(paths);
  EXPECT_EQ(run.status, "<ParseError line=\"2\"/>");
  EXPECT_EQ(testing_support::readFile(paths.tree), tree);
  EXPECT_EQ(entriesIn(dir.path()), 5u);
}

TEST(BadJavaInput, SourcesThatAreNotRegularFilesAreNotRead) {
  // A pipe would block the read for good and a device might never end:
  // they get the answer a folder gets, and nothing is written.
  TempDir dir;
  ParsePaths paths(dir.path());
  ASSERT_EQ(testing_support::runShell("mkfifo '" + paths.source + "'"), 0);
  for (const std::string& source : {paths.source, std::string("/dev/zero"), std::string("/dev/null")}) {
    const testing_support::RunResult run = testing_support::runEngine(
        {"7", source, paths.tree, paths.comments, paths.status, paths.results, "1", "x"}, {}, 10);
    EXPECT_EQ(run.exitCode, 1) << source;
    EXPECT_EQ(run.out + run.err, "") << source;
    EXPECT_EQ(entriesIn(dir.path()), 1u) << source;  // the pipe itself
  }
}

// The outputs of a run are one unit: on a disk that fills up part-way,
// either all four files are new and the run succeeds, or the tree,
// results and comments of the run before stay and the status does not
// claim success.  Runs on a small tmpfs, so only as root.
TEST(BadJavaInput, AFullDiskNeverMixesTheOutputsOfTwoRuns) {
  testing_support::SmallDisk disk(2 << 20);
  if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small file system";
  TempDir sources;
  auto javaClass = [](const std::string& name, int methods) {
    std::string text = "// class " + name + "\nclass " + name + " {\n";
    for (int i = 0; i < methods; ++i)
      text += "  /* method " + std::to_string(i) + " */\n  int m" + std::to_string(i) +
              "(int a) { if (a > " + std::to_string(i) + ") return a * " + std::to_string(i) +
              "; return -a; }\n";
    return text + "}\n";
  };
  const std::string oldSource = sources.file("Old.java"), newSource = sources.file("New.java");
  testing_support::writeFile(oldSource, javaClass("Old", 20));
  testing_support::writeFile(newSource, javaClass("New", 600));

  // What the new run writes where there is room.
  ParsePaths roomy(sources.path());
  roomy.source = newSource;
  const ParseRun expected = parsePaths(roomy);
  ASSERT_EQ(expected.exitCode, 0);

  ParsePaths paths(disk.path());
  paths.source = oldSource;
  const ParseRun old = parsePaths(paths);
  ASSERT_EQ(old.exitCode, 0);
  paths.source = newSource;
  std::vector<std::pair<std::string, std::string>> oldFiles;
  for (const std::string& path : {paths.tree, paths.status, paths.results, paths.comments})
    oldFiles.emplace_back(path, testing_support::readFile(path));

  auto restoreOld = [&] {
    for (const auto& [path, bytes] : oldFiles) testing_support::writeFile(path, bytes);
  };
  int failures = 0, successes = 0;
  for (uintmax_t free = 0; free < (400u << 10); free += 4096) {
    restoreOld();
    disk.fill(free);
    const ParseRun run = parsePaths(paths);
    disk.unfill();
    // Compared whole, but reported briefly: the files are large.
    auto same = [](const std::optional<std::string>& a, const std::optional<std::string>& b) { return a == b; };
    if (run.exitCode == 0) {
      ++successes;
      EXPECT_TRUE(same(run.status, expected.status)) << free;
      EXPECT_TRUE(same(run.tree, expected.tree)) << free;
      EXPECT_TRUE(same(run.results, expected.results)) << free;
      EXPECT_TRUE(same(run.comments, expected.comments)) << free;
    } else {
      ++failures;
      EXPECT_EQ(run.exitCode, 1) << free;
      EXPECT_TRUE(same(run.tree, old.tree)) << free;
      EXPECT_TRUE(same(run.results, old.results)) << free;
      EXPECT_TRUE(same(run.comments, old.comments)) << free;
      EXPECT_TRUE(!run.status || run.status->rfind("<ParseError line=", 0) == 0) << free << " " << *run.status;
    }
    EXPECT_EQ(entriesIn(disk.path()), run.status ? 4u : 3u) << free;  // no temporary file left
  }
  // The sweep reaches from too little room to enough.
  EXPECT_GT(failures, 0);
  EXPECT_GT(successes, 0);
}
