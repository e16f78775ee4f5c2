// The parse tree and results file of two small classes, byte for byte,
// and the shipped example.
#include <gtest/gtest.h>

#include "tests/java/java_run.h"

using namespace javatest;
using testing_support::fixture;
using testing_support::readFile;
using testing_support::TempDir;

TEST(WorkedExamples, ParseTreeOfAnIfElseMethod) {
  TempDir dir;
  ParseRun run = parseSource(dir, readFile(fixture("java/if_else_return.java")));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, "<ParseSuccess/>");
  EXPECT_EQ(run.tree, readFile(fixture("java/if_else_return.expected")));
}

TEST(WorkedExamples, ResultsFileWithCommentsAndMetrics) {
  TempDir dir;
  ParsePaths paths(dir.path());
  testing_support::writeFile(paths.source, readFile(fixture("java/sample_results.java")));
  setModificationTime(paths.source, 1180000000);
  ParseRun run = parsePaths(paths);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.results, readFile(fixture("java/sample_results.expected")));
  EXPECT_EQ(run.comments,
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><preprocessor>\r\n"
            "<cmt l=\"1\" t=\"// Sample\"/>\r\r\n"
            "<cmt l=\"5\" t=\"// positive\"/>\r\r\n"
            "</preprocessor>\r\n");
}

TEST(WorkedExamples, ShippedExampleParses) {
  TempDir dir;
  ParseRun run = parseSource(dir, readFile(fixture("examples/java/Inventory.java")));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.status, "<ParseSuccess/>");
  ASSERT_TRUE(run.results);
  for (const char* method : {"add", "take", "itemsToReorder", "total", "describe", "parseAmount", "drain", "render"})
    EXPECT_NE(run.results->find(std::string("<func name=\"") + method + "\""), std::string::npos) << method;
  ASSERT_TRUE(run.tree);
  EXPECT_EQ(run.tree->rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Program>\n", 0), 0u);
}
