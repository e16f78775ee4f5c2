#include "engine/flowchart_model/comment_lines.h"

#include <gtest/gtest.h>

#include "tests/support/flowchart_model/lookup_queries.h"

namespace flowchart {
namespace {

std::unique_ptr<xml::Document> comments(const std::string& entries) {
  return xml::Document::loadText("<preprocessor>" + entries + "</preprocessor>");
}

// The index gives what the query gives, sorted or not, for every range.
TEST(CommentLines, BetweenAgreesWithTheQuery) {
  const char* files[] = {
      "<cmt l=\"2\" t=\"// a\"/><cmt l=\"4\" t=\"/* b\"/><cmt l=\"5\" t=\"\"/><cmt l=\"5\" t=\" c */\"/>"
      "<cmt l=\"9\" t=\"// d &lt;1&gt;\"/>",
      "<cmt l=\"9\" t=\"late\"/><cmt l=\"3\" t=\"early\"/><cmt l=\"x\" t=\"no line\"/><cmt t=\"none\"/>"
      "<other l=\"4\" t=\"not a cmt\"/><cmt l=\" 4 \" t=\"blank\"/>",
      ""};
  for (const char* file : files) {
    auto doc = comments(file);
    ASSERT_TRUE(doc);
    CommentLines lines(doc.get());
    for (int a = 0; a < 11; ++a)
      for (int b = 0; b < 11; ++b) EXPECT_EQ(lines.between(a, b), testing::commentsBetweenQuery(doc.get(), a, b)) << file << a << b;
  }
  auto doc = comments(files[0]);
  CommentLines lines(doc.get());
  EXPECT_EQ(lines.between(1, 6), "// a\\n/* b\\n c */");
  EXPECT_EQ(lines.between(8, 10), "// d <1>");
}

TEST(CommentLines, AbsentDocumentAndMissingTexts) {
  CommentLines none(nullptr);
  EXPECT_EQ(none.between(0, 100), "");
  auto doc = comments("<cmt l=\"3\"/><cmt l=\"7\" t=\"ok\"/>");
  CommentLines lines(doc.get());
  EXPECT_EQ(lines.between(5, 9), "ok");
  EXPECT_THROW(lines.between(2, 4), xml::Error);
}

}  // namespace
}  // namespace flowchart
