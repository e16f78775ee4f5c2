#include "flowchart/source_text.h"

#include <gtest/gtest.h>

#include "tests/support/flowchart_model/lookup_queries.h"
#include "tests/support/flowchart_model/tree_notation.h"
#include "tests/support/test_support.h"

namespace flowchart {
namespace {

TEST(SourceText, SpansWithinAndAcrossLines) {
  SourceLines lines = SourceLines::fromText("  if (a &&\n\tb ||\n   c) {\n", 10);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines.span(1, 3, 1, 5), "if");
  EXPECT_EQ(lines.span(1, 7, 3, 5), "a &&\\n\tb ||\\n   c");
  EXPECT_EQ(lines.span(2, 2, 3, 1), "b ||\\n");
  // Cut to what the lines hold, never failing.
  EXPECT_EQ(lines.span(1, 9, 1, 40), "&&");
  EXPECT_EQ(lines.span(1, 30, 1, 40), "");
  EXPECT_EQ(lines.span(1, 5, 1, 2), "");
  EXPECT_EQ(lines.span(0, 0, 0, 5), "");
  EXPECT_EQ(lines.span(2, 1, 9, 4), "\tb ||\\n   c) {");  // the source ends on line 3
  EXPECT_EQ(lines.span(2, 1, 2000000000, 4), "\tb ||\\n   c) {");
  EXPECT_EQ(lines.span(7, 1, 9, 4), "");
}

TEST(SourceText, ReadingStopsAtTheCountAndDropsLineEnds) {
  testing_support::TempDir dir;
  testing_support::writeFile(dir.file("A.java"), "one\r\ntwo\n\xe9t\xe9\r\nfour");
  SourceLines lines = SourceLines::read(dir.file("A.java"), 3).value();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines.line(1), "one");
  EXPECT_EQ(lines.line(2), "two");
  EXPECT_EQ(lines.line(3), "\xe9t\xe9");
  EXPECT_EQ(lines.line(4), "");
  EXPECT_EQ(SourceLines::read(dir.file("A.java"), 2000000000)->size(), 4u);
  EXPECT_EQ(SourceLines::read(dir.file("A.java"), 0)->size(), 0u);
  // A source that cannot be read is not taken for an empty one.
  EXPECT_FALSE(SourceLines::read(dir.file("missing.java"), 5));
  EXPECT_FALSE(SourceLines::read(dir.path().string(), 5));
}

TEST(SourceText, TextOfANodeRunsToTheEndOfItsLastToken) {
  testing::NotatedTree tree = testing::notate(
      "Stmt(SelStmt(IF OPR Expr(Qlid(IDEN:a) GT / NUMLIT:10 LAND STRLIT:'\"x\"') CPR))");
  auto doc = xml::Document::loadText(tree.xml);
  ASSERT_TRUE(doc);
  SourceLines lines = SourceLines::fromText(tree.source, 100);
  xml::Node expr = doc->root().selectSingleNode("//Expr");
  EXPECT_EQ(sourceTextOf(expr, lines), "a >\\n10 && \"x\"");
  EXPECT_EQ(sourceTextOf(expr, lines), testing::sourceTextOfQuery(expr, lines));
  EXPECT_EQ(sourceTextOf(expr, SourceLines()), "");
}

}  // namespace
}  // namespace flowchart
