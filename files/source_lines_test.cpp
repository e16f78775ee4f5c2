#include "files/source_lines.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace files {
namespace {

TEST(SourceLines, SpansWithinAndAcrossLines) {
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

TEST(SourceLines, ReadingStopsAtTheCountAndDropsLineEnds) {
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

}  // namespace
}  // namespace files
