#include "engine/flowchart_model/source_text.h"

#include <gtest/gtest.h>

#include "tests/support/flowchart_model/lookup_queries.h"
#include "tests/support/flowchart_model/tree_notation.h"
#include "tests/support/test_support.h"

namespace flowchart {
namespace {

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
