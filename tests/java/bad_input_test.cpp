// Mode 7 on sources and paths that are broken: each gets a defined answer,
// nothing on the terminal, and no output beyond what the answer allows.
#include <gtest/gtest.h>

#include <random>

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
