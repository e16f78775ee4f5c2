#include "piece_tree.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class StringSink : public parsetree::TextSink {
 public:
  bool write(std::string_view bytes) override {
    text.append(bytes);
    return true;
  }
  std::string text;
};

std::string render(const parsetree::PieceTree& tree, parsetree::PieceList list) {
  StringSink sink;
  EXPECT_TRUE(tree.write(list, sink));
  EXPECT_EQ(tree.textLength(list), sink.text.size());
  return sink.text;
}

}  // namespace

TEST(PieceTree, WritesElementsTokensAndTransparentRuns) {
  parsetree::PieceTree tree;
  auto ret = tree.token("RETURN", 3, 18, "return");
  auto x = tree.element("Qlid", tree.token("IDEN", 3, 25, "x"));
  auto expr = tree.element("Expr", x);
  auto semi = tree.token("SEMI", 3, 26, ";");
  // A transparent symbol contributes its children directly.
  auto body = tree.join(tree.join(ret, expr), semi);
  auto stmt = tree.element("JumpStmt", body);
  EXPECT_EQ(render(tree, stmt),
            "<JumpStmt>\n<RETURN l=\"3\" c=\"18\" t=\"return\"/><Expr>\n<Qlid>\n"
            "<IDEN l=\"3\" c=\"25\" t=\"x\"/></Qlid>\n</Expr>\n"
            "<SEMI l=\"3\" c=\"26\" t=\";\"/></JumpStmt>\n");
}

TEST(PieceTree, EscapesTokenTextAndOmitsMissingColumn) {
  parsetree::PieceTree tree;
  auto token = tree.token("STR_CON", 2, -1, "a\"&'<>\xE9");
  EXPECT_EQ(render(tree, token), "<STR_CON l=\"2\" t=\"a&quot;&amp;&apos;&lt;&gt;\xE9\"/>");
  EXPECT_EQ(tree.tokenValue(tree.piece(token.head)), "a&quot;&amp;&apos;&lt;&gt;\xE9");
}

TEST(PieceTree, EmptyElementAndEmptyRun) {
  parsetree::PieceTree tree;
  EXPECT_EQ(render(tree, tree.element("opt_port", {})), "<opt_port>\n</opt_port>\n");
  EXPECT_EQ(render(tree, parsetree::PieceList{}), "");
  auto a = tree.token("A", 1, 1, "a");
  EXPECT_EQ(tree.join(a, {}).head, a.head);
  EXPECT_EQ(tree.join({}, a).tail, a.tail);
}

TEST(PieceTree, DeepNestingNeedsNoDeepRecursion) {
  parsetree::PieceTree tree;
  constexpr int kDepth = 2000000;
  auto list = tree.token("IDEN", 1, 1, "x");
  for (int i = 0; i < kDepth; ++i) list = tree.element("Expr", list);
  StringSink sink;
  ASSERT_TRUE(tree.write(list, sink));
  EXPECT_EQ(sink.text.size(), static_cast<size_t>(kDepth) * 15 + 25);
  EXPECT_EQ(sink.text.substr(0, 14), "<Expr>\n<Expr>\n");
}
