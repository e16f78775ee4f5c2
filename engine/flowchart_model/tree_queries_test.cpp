#include "engine/flowchart_model/tree_queries.h"

#include <gtest/gtest.h>

#include "tests/support/flowchart_model/lookup_queries.h"
#include "tests/support/flowchart_model/tree_notation.h"

namespace flowchart {
namespace {

// Every walk gives what its query gives, on every element of a tree with
// tokens on several lines, one without a column and an empty nonterminal.
TEST(TreeQueries, WalksAgreeWithTheirQueriesEverywhere) {
  testing::NotatedTree tree = testing::notate(
      "Program(Stmt(SelStmt(IF OPR Expr(Qlid(IDEN:a) LAND / Qlid(IDEN:b)) CPR / Stmt(Blk(OBR Empty() / CBR)))) "
      "Stmt(ExprStmt(Expr(MtdCall(MtdAcc(Qlid(IDEN:f)) OPR CPR))) SEMI))");
  std::string text = tree.xml;
  text.replace(text.find(" c=\"1\" t=\"}\""), 6, "");  // the closing brace loses its column
  auto doc = xml::Document::loadText(text);
  ASSERT_TRUE(doc);
  for (const xml::Node& node : doc->root().selectNodes("//*")) {
    SCOPED_TRACE(node.name());
    EXPECT_EQ(firstLineOf(node), testing::firstLineOfQuery(node));
    EXPECT_EQ(lastLineOf(node), testing::lastLineOfQuery(node));
    EXPECT_EQ(firstColumnOf(node), testing::firstColumnOfQuery(node));
    EXPECT_EQ(lastLinedElement(node, true), testing::lastLinedElementQuery(node, true));
    EXPECT_EQ(lastLinedElement(node, false), testing::lastLinedElementQuery(node, false));
  }
  EXPECT_EQ(lastSourceLine(*doc), "4");
  EXPECT_EQ(lastSourceLine(*doc), testing::lastSourceLineQuery(*doc));
  xml::Node empty = doc->root().selectSingleNode("//Empty");
  EXPECT_EQ(firstLineOf(empty), "");
  EXPECT_TRUE(lastLinedElement(empty, true).isNull());
}

TEST(TreeQueries, TreeWithoutLinesAndAbsentNodes) {
  auto doc = xml::Document::loadText("<Program><A/></Program>");
  ASSERT_TRUE(doc);
  EXPECT_EQ(lastSourceLine(*doc), "");
  EXPECT_THROW(firstLineOf(xml::Node()), xml::Error);
  EXPECT_THROW(lastLineOf(xml::Node()), xml::Error);
  EXPECT_THROW(lastLinedElement(xml::Node(), false), xml::Error);
}

}  // namespace
}  // namespace flowchart
